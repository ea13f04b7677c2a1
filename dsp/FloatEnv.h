// The SIMD floating-point environment (MXCSR) around exact kernels.
//
// The square-root kernels must give true roots of denormal inputs and must
// not trap or leave flags behind. EnterExactFloatEnv installs a working
// control word for the calling thread: the caller's rounding mode, every
// exception masked, no flags, denormals-are-zero and flush-to-zero off.
// LeaveExactFloatEnv puts the caller's word back exactly as it was, so the
// invalid-operation flag of negative inputs never reaches the caller.
#pragma once

#include "platform/kernel/types.h"

namespace wuperf {

// Installs the working control word; returns the caller's word.
DWORD EnterExactFloatEnv();
// Restores the word EnterExactFloatEnv returned.
void LeaveExactFloatEnv(DWORD saved);

}  // namespace wuperf
