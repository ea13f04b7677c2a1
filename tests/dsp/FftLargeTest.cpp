// Cases too big for CI (ctest label "large"): zeroing past 2^31 bytes, the
// set-up tables of the largest orders, streaming blocks up to 64 MiB.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/dsp/FftComplexTestSupport.h"
#include "dsp/WuPerf.h"
#include "tests/dsp/FftLayouts.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

using dsptest::BuiltSpec;
using dsptest::Members;

class FftLargeTest : public dsptest::FftVariantTest {};

// Index of the first nonzero byte, or -1.
int64_t FirstNonzero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return static_cast<int64_t>(i);
  return -1;
}

// 2^29 + 3 floats are 2^31 + 12 bytes: a 32-bit byte count would wrap and
// leave most of the buffer as it was.
TEST_F(FftLargeTest, ZeroOfFloatsAndDoublesPastTwoGibibytesZeroesEverything) {
  const int32_t floats = (1 << 29) + 3;
  const int32_t doubles = (1 << 28) + 3;
  const size_t bytes = static_cast<size_t>(floats) * 4;
  const size_t doubleBytes = static_cast<size_t>(doubles) * 8;
  dsptest::GuardedBuffer buffer(doubleBytes, 0);
  ForEachVariant([&](int v) {
    std::memset(buffer.data(), 0x5A, doubleBytes);
    EXPECT_EQ(Members(v).zero32f(reinterpret_cast<float*>(buffer.data()), floats), 0);
    EXPECT_EQ(FirstNonzero(buffer.data(), bytes), -1);
    EXPECT_EQ(buffer.data()[bytes], 0x5A);
    std::memset(buffer.data(), 0x5A, doubleBytes);
    EXPECT_EQ(Members(v).zero64f(reinterpret_cast<double*>(buffer.data()), doubles), 0);
    EXPECT_EQ(FirstNonzero(buffer.data(), doubleBytes), -1);
    EXPECT_TRUE(buffer.GuardsIntact());
  });
}

TEST_F(FftLargeTest, LargestOrdersBuildWithinTheirSizes) {
  ForEachVariant([](int v) {
    for (int m = 23; m <= 27; ++m) {
      SCOPED_TRACE(testing::Message() << "complex order " << m);
      BuiltSpec b = dsptest::BuildComplexLarge(v, m, -1);
      EXPECT_TRUE(b.withinReservation);
      EXPECT_TRUE(b.guardsIntact);
      EXPECT_TRUE(b.tables);
    }
    for (int n = 23; n <= 26; ++n) {
      SCOPED_TRACE(testing::Message() << "real order " << n);
      BuiltSpec b = dsptest::BuildRealLarge(v, n, -1);
      EXPECT_TRUE(b.withinReservation);
      EXPECT_TRUE(b.guardsIntact);
      EXPECT_TRUE(b.tables);
    }
  });
  // Complex order 26, variant 4: levels at depths 0 and 1 (26 into 8 and 18,
  // 18 into 4 and 14). Real order 26, variant 4: level 25 over level 17.
  BuiltSpec c26 = dsptest::BuildComplexLarge(4, 26, -1);
  wuperf::FftSpec h;
  std::memcpy(&h, c26.head.data(), sizeof h);
  EXPECT_NE(h.levelTwiddle[0], nullptr);
  EXPECT_NE(h.levelTwiddle[1], nullptr);
  EXPECT_EQ(h.levelTwiddle[2], nullptr);
  BuiltSpec r26 = dsptest::BuildRealLarge(4, 26, -1);
  wuperf::FftSpecReal r;
  std::memcpy(&r, r26.head.data(), sizeof r);
  EXPECT_NE(r.levelTwiddle[1], nullptr);
  EXPECT_EQ(r.levelTwiddle[2], nullptr);
}

// Blocks of 8 to 64 MiB under a 512 KiB cache stream and give memset's and
// memcpy's bytes.
TEST_F(FftLargeTest, StreamingBlocksUpTo64MiBGiveThePlainBytes) {
  dsptest::CacheProcessor cpu = dsptest::MakeStreamingProcessor();
  dsptest::ScopedProcessor scoped(&cpu);
  for (int32_t n : {8 << 20, (32 << 20) + 13, 64 << 20}) {
    dsptest::GuardedBuffer src(n + 16, 0), dst(n, 3);
    src.FillPattern(n);
    ForEachSimdVariant([&](int v) {
      Members(v).copyKernel(src.data() + 1, dst.data(), n);
      ASSERT_EQ(std::memcmp(dst.data(), src.data() + 1, n), 0) << n;
      Members(v).zeroKernel(dst.data(), n);
      ASSERT_EQ(FirstNonzero(dst.data(), n), -1) << n;
      ASSERT_TRUE(dst.GuardsIntact());
    });
  }
}

// The complex transforms whose split goes one level deeper (each point
// still scaled once) against the oracle; one case per order, so that each
// process (ctest runs every case on its own) holds one order's oracle.
void CheckComplexLarge(int variant, int order, bool inverse) {
  if (!dsptest::VariantSupported(variant)) GTEST_SKIP();
  ASSERT_TRUE(WuPerf_ForceVariantForTesting(variant));
  dsptest::CfftRun run;
  run.order = order;
  run.inverse = inverse;
  run.flag = inverse ? 2 : 1;
  run.inPlace = inverse;
  run.bufOffset = inverse ? -1 : 3;
  EXPECT_TRUE(dsptest::MatchesOracle(run, dsptest::RunCfft(run)));
  WuPerf_ResetForTesting();
}
TEST_F(FftLargeTest, ComplexVariant0Order23) { CheckComplexLarge(0, 23, false); }
TEST_F(FftLargeTest, ComplexVariant1Order24) { CheckComplexLarge(1, 24, true); }
TEST_F(FftLargeTest, ComplexVariant2Order25) { CheckComplexLarge(2, 25, false); }
TEST_F(FftLargeTest, ComplexVariant3Order26) { CheckComplexLarge(3, 26, true); }
TEST_F(FftLargeTest, ComplexVariant4Order26) { CheckComplexLarge(4, 26, false); }

// Order 27 (1 GiB a buffer): forward unscaled, then inverse scaled by 1/N
// in place, returns the input within twice the bound of each transform.
void CheckComplexRoundTrip27(int variant) {
  if (!dsptest::VariantSupported(variant)) GTEST_SKIP();
  ASSERT_TRUE(WuPerf_ForceVariantForTesting(variant));
  constexpr int kOrder = 27;
  const size_t n = size_t{1} << kOrder;
  std::vector<float> x(2 * n), y(2 * n);
  uint32_t state = 12345;
  double sumSquares = 0;
  for (float& v : x) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    sumSquares += static_cast<double>(v) * v;
  }
  void* fwd = nullptr;
  ASSERT_EQ(WuPerfsFFTInitAlloc_C_32fc(&fwd, kOrder, 2, 0), dsptest::kCfftOk);
  ASSERT_EQ(WuPerfsFFTFwd_CToC_32fc(x.data(), y.data(), fwd, nullptr), dsptest::kCfftOk);
  ASSERT_EQ(WuPerfsFFTInv_CToC_32fc(y.data(), y.data(), fwd, nullptr), dsptest::kCfftOk);
  EXPECT_EQ(WuPerfsFFTFree_C_32fc(fwd), dsptest::kCfftOk);
  const double u = std::ldexp(1.0, -24);
  const double rms = std::sqrt(sumSquares / static_cast<double>(2 * n));
  double errSquares = 0, maxErr = 0;
  for (size_t i = 0; i < 2 * n; ++i) {
    double e = std::fabs(static_cast<double>(y[i]) - x[i]);
    errSquares += e * e;
    maxErr = std::max(maxErr, e);
  }
  const double relRms = std::sqrt(errSquares / static_cast<double>(2 * n)) / rms;
  EXPECT_LE(relRms, 2 * 2 * (kOrder + 2) * u);
  EXPECT_LE(maxErr, 2 * 16 * (kOrder + 2) * u * rms * std::sqrt(2.0));
  WuPerf_ResetForTesting();
}
TEST_F(FftLargeTest, ComplexVariant4Order27RoundTrip) { CheckComplexRoundTrip27(4); }
TEST_F(FftLargeTest, ComplexVariant0Order27RoundTrip) { CheckComplexRoundTrip27(0); }

}  // namespace
