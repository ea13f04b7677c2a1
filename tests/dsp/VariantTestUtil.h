// Helpers shared by the signal-processing tests: which kernel variants this
// machine can run, and bit-level views of floating-point values.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/Dispatch.h"
#include "dsp/WuPerfTesting.h"

namespace dsptest {

// TRUE when this processor has the instruction set of the variant.
inline bool VariantSupported(int variant) {
  switch (variant) {
    case 0: return true;
    case 1: return __builtin_cpu_supports("sse2");
    case 2: return __builtin_cpu_supports("sse3");
    case 3: return __builtin_cpu_supports("ssse3");
    case 4: return __builtin_cpu_supports("sse4.1");
    default: return false;
  }
}

// The variants this machine can run, oldest first.
inline std::vector<int> SupportedVariants() {
  std::vector<int> out;
  for (int v = 0; v < wuperf::kVariantCount; ++v)
    if (VariantSupported(v)) out.push_back(v);
  return out;
}

inline std::string VariantName(int variant) { return "variant " + std::to_string(variant); }

inline uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}
inline float FloatFromBits(uint32_t b) {
  float f;
  std::memcpy(&f, &b, sizeof f);
  return f;
}
inline uint64_t Bits(double d) {
  uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}
inline double DoubleFromBits(uint64_t b) {
  double d;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

// Puts the process back to variant 0 with no cached processor features, at
// the start and the end of each test that uses it.
class DspTest : public ::testing::Test {
 protected:
  void SetUp() override { WuPerf_ResetForTesting(); }
  void TearDown() override { WuPerf_ResetForTesting(); }
};

}  // namespace dsptest
