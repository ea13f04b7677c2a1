// Processor checks for the library's own code only; not part of the
// exported interface.
#pragma once

#include "platform/types.h"

// The CPU support word as the detection returned it (class and usable
// features, WUCPU_FTZ_DAZ included), before the allowed-feature mask and
// before WuSystem_ApplyCPUSupportMask narrows the cached word, ANDed with
// `mask` (0: all bits). Runs the detection if it has not run.
DWORD WuSystem_GetDetectedCPUSupport(DWORD mask);
