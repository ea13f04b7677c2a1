// The walk of a bit-reversal pair table (dsp/FftTables.h), shared by the
// block bit reversals of every variant.
//
// A point index of count = 2^m points has a top bit, m - 2 middle bits k and
// a low bit; its reverse is (low bit, rev k, top bit). Each pair (4k, 4 rev k)
// exchanges the four point pairs (2k, 2r), (2k+1, half+2r), (half+2k, 2r+1)
// and (half+2k+1, half+2r+1) with r = rev k; after the 0 that ends the pairs,
// that 0 (k = 0) and each self-reversed word 4k up to the next 0 exchange
// points 2k+1 and half+2k.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <cstdint>

namespace wuperf {
namespace {

// Calls swap(i, j) for every exchange; nothing for counts below 4.
template <class Swap>
void WalkBitRevPairs(int32_t count, const uint32_t* pairs, Swap swap) {
  if (count < 4) return;
  const uint32_t half = static_cast<uint32_t>(count) / 2;
  const uint32_t* w = pairs;
  for (; *w >= 2; w += 2) {
    uint32_t i = w[0] / 2;
    uint32_t j = w[1] / 2;
    swap(i, j);
    swap(i + 1, half + j);
    swap(half + i, j + 1);
    swap(half + i + 1, half + j + 1);
  }
  do {
    uint32_t i = *w / 2;
    swap(i + 1, half + i);
    ++w;
  } while (*w >= 2);
}

}  // namespace
}  // namespace wuperf
