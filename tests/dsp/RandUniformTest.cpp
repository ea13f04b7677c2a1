// The uniform random generator in every variant this machine runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/Dispatch.h"
#include "dsp/WuPerf.h"
#include "tests/dsp/VariantTestUtil.h"

namespace {

using dsptest::Bits;
using dsptest::SupportedVariants;
using dsptest::VariantName;

WuPerfStatus Rand(int variant, float* dst, int32_t len, float low, float high, uint32_t* seed) {
  return wuperf::kRandUniformTable[variant](dst, len, low, high, seed);
}

// Seed 0: the first five signed sums of the two sequences, and the lag word
// left behind after five values.
TEST(RandUniformTest, SeedZeroGivesTheKnownSequenceInEveryVariant) {
  const int32_t u[5] = {-2143376656, -1588453546, -1238212167, -415855842, -631588969};
  for (int v : SupportedVariants()) {
    SCOPED_TRACE(VariantName(v));
    float out[5];
    uint32_t seed = 0;
    ASSERT_EQ(Rand(v, out, 5, 0.0f, 1.0f, &seed), WuPerfOk);
    EXPECT_EQ(seed, 0x41C6296Bu);
    EXPECT_FLOAT_EQ(out[0], 0.0009562336f);
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(out[k], 0.5 + u[k] / 4294967296.0, 1e-7) << k;

    // One value leaves x(0) = u(0) - w(1) (w(1) = 2061989128) as the seed.
    seed = 0;
    ASSERT_EQ(Rand(v, out, 1, 0.0f, 1.0f, &seed), WuPerfOk);
    EXPECT_EQ(seed, static_cast<uint32_t>(u[0]) - 2061989128u);
  }
}

// Every variant gives the bits of variant 0 and leaves the same seed, for
// even and odd lengths, ordinary, equal, reversed and full-range bounds.
// Bounds near the float range stay finite: the sum and the difference of
// the bounds are formed in double precision in every variant.
TEST(RandUniformTest, VariantsAgreeBitForBitAndStayBetweenTheBounds) {
  struct Bounds {
    float low, high;
  } bounds[] = {{0.0f, 1.0f}, {-5.0f, 7.5f}, {3.0f, -2.0f}, {1.5f, 1.5f},
                {-3e38f, 3e38f}, {-FLT_MAX, FLT_MAX}};
  const int32_t lengths[] = {1, 2, 3, 4, 5, 16, 1001};
  const uint32_t seeds[] = {0u, 1u, 0xDEADBEEFu, 0xFFFFFFFFu};
  for (const Bounds& b : bounds) {
    for (int32_t len : lengths) {
      for (uint32_t seed0 : seeds) {
        SCOPED_TRACE(testing::Message() << b.low << ".." << b.high << " len " << len
                                        << " seed " << seed0);
        std::vector<float> expected(len);
        uint32_t expectedSeed = seed0;
        ASSERT_EQ(Rand(0, expected.data(), len, b.low, b.high, &expectedSeed), WuPerfOk);
        double lo = std::min(b.low, b.high), hi = std::max(b.low, b.high);
        double slack = (hi - lo) * 1e-7;
        for (float x : expected) {
          ASSERT_TRUE(std::isfinite(x));
          ASSERT_GE(x, lo - slack);
          ASSERT_LE(x, hi + slack);
        }
        for (int v : SupportedVariants()) {
          std::vector<float> out(len + 1, 42.0f);  // one guard element
          uint32_t seed = seed0;
          ASSERT_EQ(Rand(v, out.data(), len, b.low, b.high, &seed), WuPerfOk);
          EXPECT_EQ(seed, expectedSeed) << VariantName(v);
          for (int32_t k = 0; k < len; ++k)
            ASSERT_EQ(Bits(out[k]), Bits(expected[k])) << VariantName(v) << " at " << k;
          EXPECT_EQ(out[len], 42.0f) << VariantName(v);
        }
      }
    }
  }
}

TEST(RandUniformTest, ArgumentErrorsComeInOrderAndTouchNothing) {
  for (int v : SupportedVariants()) {
    SCOPED_TRACE(VariantName(v));
    float out[2] = {7.0f, 7.0f};
    uint32_t seed = 99;
    EXPECT_EQ(Rand(v, nullptr, 0, 0, 1, &seed), WuPerfErrNullPointer);
    EXPECT_EQ(Rand(v, out, 2, 0, 1, nullptr), WuPerfErrNullPointer);
    EXPECT_EQ(Rand(v, out, 0, 0, 1, &seed), WuPerfErrSize);
    EXPECT_EQ(Rand(v, out, -3, 0, 1, &seed), WuPerfErrSize);
    EXPECT_EQ(seed, 99u);
    EXPECT_EQ(out[0], 7.0f);
  }
  uint32_t seed = 0;
  EXPECT_EQ(static_cast<uint32_t>(WuPerfsRandUniform_Direct_32f(nullptr, -1, 0, 1, &seed)),
            0x8004E608u);
}

}  // namespace
