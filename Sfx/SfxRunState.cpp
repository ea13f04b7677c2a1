// The process-wide run state (zero until the entry function fills it).
#include "Sfx/SfxRunState.h"

SfxRunState g_SfxRunState;
