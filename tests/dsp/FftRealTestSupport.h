// Test support of the real FFT: one transform run by variant, order, flag
// and placement (the export in place with or without the caller's buffer,
// or the variant's driver out of place), the size rule by variant, and an
// allocator that counts its blocks and fails a chosen allocation.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "dsp/WuPerfStatus.h"

namespace dsptest {

enum class RealPlacement {
  kExport,            // the in-place export, no buffer
  kExportWithBuffer,  // the in-place export with the caller's buffer
  kDriverOutOfPlace,  // the variant's driver, source and destination apart
};

struct RealCase {
  int variant;             // 0..4, forced for set-up and transform
  int order;               // 0..26
  int flag;                // 1, 2, 4 or 8
  RealPlacement placement; // how the transform is reached
  int bufferOffset;        // caller's buffer: bytes past a 64-byte boundary
  uint32_t seed;           // RealInput seed
};

// The forward transform of RealInput(order, seed) (fails the test on a
// non-zero status); out of place also checks that the source is unchanged.
std::vector<double> RealFwd(const RealCase& c);
// The forward transform of the given input through the export.
std::vector<double> RealFwdOf(int variant, int order, int flag, const std::vector<double>& in);

// The size rule of a variant: (order, flag, context, init, work) -> status.
std::function<WuPerfStatus(int, int, int32_t*, int32_t*, int32_t*)> RealSizesFor(int variant);

// Routes the dsp allocator through a counting heap for its lifetime; the
// failAt-th allocation (1-based; 0: none) fails.
class CountingAllocator {
 public:
  explicit CountingAllocator(int failAt);
  ~CountingAllocator();
  CountingAllocator(const CountingAllocator&) = delete;
  CountingAllocator& operator=(const CountingAllocator&) = delete;
  // Blocks allocated and not yet released.
  int Outstanding() const;
  // Allocations asked for so far (the failed one included).
  int Calls() const;
};

}  // namespace dsptest
