// The integer core of the uniform random generator, shared by all variants.
//
// A subtract-with-borrow sequence over three lags plus a congruential
// sequence; their wrapped sum, read as a signed 32-bit integer u, gives the
// value mid + u * scale. Everything is rebuilt from the caller's seed word
// on every call, and the last lag word is written back as the next seed.
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <cstdint>

namespace wuperf {
namespace {

constexpr uint32_t kRandMultiplier = 69069;           // congruential multiplier
constexpr uint32_t kRandIncrement = 1013904243;       // congruential increment
constexpr uint32_t kRandFirstWord = 1131199209;       // w(0), restarted every call
constexpr uint32_t kRandCorrection = 18;              // subtracted from a negative difference
constexpr uint32_t kRandTwoStepMultiplier = 475559465;  // 69069^2 mod 2^32
constexpr uint32_t kRandTwoStepIncrement = 924302730;   // (69069 + 1) * 1013904243 mod 2^32
constexpr uint64_t kRandScaleBits = 0x3DF0000000000007;  // just above 2^-32

// The three lag words and the borrow of one call.
struct LagState {
  uint32_t oldest;  // x(k-3)
  uint32_t middle;  // x(k-2)
  uint32_t newest;  // x(k-1)
  uint32_t borrow;  // 0 or 1
};

[[maybe_unused]] LagState SeedLags(uint32_t seed) {
  LagState s;
  s.newest = seed;
  s.middle = kRandMultiplier * seed + kRandIncrement;
  s.oldest = kRandMultiplier * s.middle + kRandIncrement;
  s.borrow = 1;
  return s;
}

// The next lag word x(k). The borrow comes from the sign of the difference
// before the correction.
[[maybe_unused]] uint32_t NextLag(LagState* s) {
  uint32_t d = s->middle - s->oldest - s->borrow;
  uint32_t x = d;
  s->borrow = 0;
  if (static_cast<int32_t>(d) < 0) {
    x = d - kRandCorrection;
    s->borrow = 1;
  }
  s->oldest = s->middle;
  s->middle = s->newest;
  s->newest = x;
  return x;
}

constexpr uint32_t NextWord(uint32_t w) { return kRandMultiplier * w + kRandIncrement; }

// mid and scale of a call, both formed in double precision so that bounds
// near the float range stay finite.
struct RandRange {
  double mid;    // (low + high) / 2
  double scale;  // (high - low) * just above 2^-32
};

[[maybe_unused]] RandRange MakeRandRange(float low, float high) {
  double scaleFactor;
  uint64_t bits = kRandScaleBits;
  __builtin_memcpy(&scaleFactor, &bits, sizeof scaleFactor);
  RandRange r;
  r.mid = (static_cast<double>(low) + static_cast<double>(high)) * 0.5;
  r.scale = (static_cast<double>(high) - static_cast<double>(low)) * scaleFactor;
  return r;
}

}  // namespace
}  // namespace wuperf
