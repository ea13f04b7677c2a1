// The cubic weight tables.
#include "imaging/WuScaleWeights.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(CubicWeights, KnownPhasesAndSums) {
  const WUCUBICWEIGHTS& w = WuCubicWeights();
  const LONG phase0[4] = {0, 16384, 0, 0};
  const LONG half[4] = {-1024, 9216, 9216, -1024};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(w.q[0][k], phase0[k]);
    EXPECT_EQ(w.q[2048][k], half[k]);
    EXPECT_FLOAT_EQ(w.f[2048][k], half[k] / 16384.0f);
  }
  // Phase 1024 (t = 1/4): K(1.25), K(0.25), K(0.75), K(1.75).
  EXPECT_FLOAT_EQ(w.f[1024][0], -0.0703125f);
  EXPECT_FLOAT_EQ(w.f[1024][1], 0.8671875f);
  EXPECT_FLOAT_EQ(w.f[1024][2], 0.2265625f);
  EXPECT_FLOAT_EQ(w.f[1024][3], -0.0234375f);
  for (int p = 0; p < WU_CUBIC_PHASES; ++p) {
    const double fs = double(w.f[p][0]) + w.f[p][1] + w.f[p][2] + w.f[p][3];
    const LONG qs = w.q[p][0] + w.q[p][1] + w.q[p][2] + w.q[p][3];
    ASSERT_NEAR(fs, 1.0, 1e-6) << p;
    // Truncated toward zero, not renormalised: a few units off 1.0.
    ASSERT_LE(std::abs(qs - 16384), 4) << p;
    // Mirror symmetry of the kernel.
    if (p > 0) {
      ASSERT_EQ(w.f[p][1], w.f[WU_CUBIC_PHASES - p][2]) << p;
    }
  }
}

}  // namespace
