// The selected kernel variant.
//
// Variant index: 0 generic C++, 1 SSE2, 2 SSE3, 3 SSSE3, 4 SSE4.1. It is 0
// until selection runs (dsp/CpuDetect.h), so every call before
// initialisation reaches the generic entries. The index is published with
// release and read with acquire, so a thread that sees a new index also sees
// everything written before it.
//
// The index lives apart from the dispatch tables (dsp/Dispatch.h): a
// program that only selects the variant links this and the processor
// detection, not the kernels the tables name.
#pragma once

#include <cstdint>

namespace wuperf {

constexpr int32_t kVariantCount = 5;

// The selected variant, 0..4.
int32_t CurrentVariant();
// Publishes a new variant (0..4; other values are ignored).
void StoreVariant(int32_t variant);

}  // namespace wuperf
