// The table layouts of both FFT families as the set-up promises them,
// walked slot by slot (tests/dsp/FftTableCheck.h), and the set-up
// arrangement of a large-order context: head, bit-reversal region, tables,
// each builder within what its size walk reserved.
#pragma once

#include <cstdint>
#include <vector>

#include "dsp/FftContext.h"
#include "tests/dsp/FftTableCheck.h"

namespace dsptest {

// Split order, block order and limits of a variant (0..4), complex or real.
struct SplitInfo {
  int directLimit;       // largest order without split
  int twoLevelFrom;      // two-level bit reversal from here (0: never)
  const uint8_t* split;  // split order per order
  const uint8_t* block;  // block order per order (null for variant 0)
  bool oddRadix4Only;    // complex variant 1: odd orders without radix-2 run
};
SplitInfo ComplexSplit(int variant);
SplitInfo RealSplit(int variant);

// Result of building a large-order context in guarded buffers.
struct BuiltSpec {
  std::vector<uint8_t> head;   // copy of the head after building
  bool withinReservation;      // every builder ended within its reservation
  bool guardsIntact;           // no byte outside the buffers changed
  int32_t specBytes, initBytes, workBytes;  // the size walk's figures
  ::testing::AssertionResult tables = ::testing::AssertionSuccess();  // layout check
};

// Builds the complex tables of order m (above the variant's direct limit)
// as the set-up lays them out and checks every table against its layout;
// exactUlps >= 0 also compares with exact values.
BuiltSpec BuildComplexLarge(int variant, int m, int exactUlps);
// The same for the real tables of order n (half-order above the limit).
BuiltSpec BuildRealLarge(int variant, int n, int exactUlps);

// Layout walks of single tables; each calls sink(slot) per value.

template <class Sink>
void ComplexRadixLayout(int variant, int m, Sink& sink) {
  if (variant == 0) {
    for (uint64_t k = 0; k <= (uint64_t{1} << m) / 4; ++k)
      for (int f = 1; f <= 3; ++f) Interleaved(sink, f * k, m);
    return;
  }
  if (m < 4) return;
  const bool odd = m & 1;
  if (odd && variant == 1) {
    for (int l = 5; l <= m; l += 2)
      for (uint64_t k = 0; k < (uint64_t{1} << l) / 4; k += 4) FourLane(sink, k, l, 1, 3);
    return;
  }
  for (int i = 0; i < (m - 2) / 2; ++i)
    for (uint64_t k = 0; k < (uint64_t{1} << (2 * i + 4)) / 4; k += 4)
      FourLane(sink, k, 2 * i + 4, 1, 3);
  if (odd)
    for (uint64_t k = 0; k < (uint64_t{1} << m) / 2; k += 4) FourLane(sink, k, m, 1, 1);
}

template <class Sink>
void RealRadixLayout(int variant, int h, Sink& sink) {
  if (variant == 0) {
    for (uint64_t k = 0; k <= (uint64_t{1} << h) / 4; ++k)
      for (int f = 1; f <= 3; ++f) Interleaved(sink, f * k, h);
    return;
  }
  if (h <= 3) return;
  for (int l = (h & 1) ? 5 : 4; l <= h; l += 2)
    for (uint64_t p = 0; p < (uint64_t{1} << l) / 4; p += 2) PairOf(sink, p, l, 1, 3);
}


}  // namespace dsptest
