// The largest cache of the processor, read from its CPUID cache descriptors.
//
// The zero and copy kernels ask for it on every call that reaches their
// large-block path and write with streaming stores when the block is at
// least about that large. Nothing is kept between calls.
#pragma once

#include <cstdint>

namespace wuperf {

// Bytes of the largest cache that CPUID leaf 2 reports, or 0 when the size is
// unknown: another vendor than "GenuineIntel", a leaf 2 that takes more than
// one round, or no descriptor of a cache of 512 KiB or more. Leaves 0 and 2
// are read through WuPerfCpu_Cpuid, so an injected processor answers.
uint64_t WuPerfCpu_LargestCacheBytes();

}  // namespace wuperf
