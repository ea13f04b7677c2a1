// A kernel file that reaches up into the window manager.
#include "platform/user/windows.h"
