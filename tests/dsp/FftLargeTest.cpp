// Cases too big for CI (ctest label "large"): zeroing past 2^31 bytes, the
// set-up tables of the largest orders, streaming blocks up to 64 MiB. The
// largest transforms against the oracle are in FftLargeOrdersTest.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

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

}  // namespace
