// Test seams of the signal-processing primitives. Not for production code.
//
// The processor itself is presented through platform::SetProcessorSource
// (platform/kernel/cpu.h); these functions reach the state the exports keep.
#pragma once

#include <cstdint>

#include "dsp/AlignedAlloc.h"
#include "platform/kernel/types.h"

// Makes every dispatched export use variant 0..4 from now on. FALSE (and no
// change) for any other value. The caller makes sure the processor has the
// instruction set of the variant.
BOOL WuPerf_ForceVariantForTesting(int32_t variant);
// The variant the dispatched exports use now.
int32_t WuPerf_CurrentVariantForTesting();
// Back to the state at process start: variant 0 and no cached feature mask.
void WuPerf_ResetForTesting();
// Routes the aligned allocator's heap calls through `functions` (null: the
// runtime heap again). Blocks must be released under the table that
// allocated them.
void WuPerf_SetAllocTableForTesting(const wuperf::WuPerfAllocFunctions* functions);
