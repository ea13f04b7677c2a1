// The bicubic scalers: phase-0 exactness, constant fills, edge blending,
// clamping, dispatch and the first calls from many threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <latch>
#include <thread>
#include <vector>

#include "ScaleFixture.h"

namespace {

using namespace scaletest;

TEST(BiCubic, SubPixelOneToOneReproducesTheSource) {
  for (int bpp : {4, 16}) {
    Image src(7, 5, bpp, true);
    src.Random(5);
    Image dst(7, 5, bpp);
    dst.FillBytes(0);
    ASSERT_EQ(Scale(WuDibScale_BiCubicSubPixel, dst, nullptr, src, nullptr), 0);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x)
        ASSERT_EQ(std::memcmp(dst.At(x, y), src.At(x, y), bpp), 0) << bpp << " " << x << "," << y;
  }
}

TEST(BiCubic, OnePixelSourceFillsTheDestination) {
  const BYTE px[4] = {0, 1, 128, 255};
  Image src(1, 1);
  src.FillPixel(px);
  for (ScaleFn fn : {WuDibScale_BiCubic, WuDibScale_BiCubicSubPixel}) {
    Image dst(6, 5);
    dst.FillBytes(9);
    ASSERT_EQ(Scale(fn, dst, nullptr, src, nullptr), 0);
    for (int y = 0; y < dst.h; ++y)
      for (int x = 0; x < dst.w; ++x) ASSERT_EQ(std::memcmp(dst.At(x, y), px, 4), 0);
  }
  Image fsrc(1, 1, 16);
  const float fpx[4] = {0.25f, -0.5f, 1.75f, 0.5f};
  std::memcpy(fsrc.F(0, 0), fpx, 16);
  Image fdst(4, 7, 16);
  ASSERT_EQ(Scale(WuDibScale_BiCubic, fdst, nullptr, fsrc, nullptr), 0);
  for (int y = 0; y < fdst.h; ++y)
    for (int x = 0; x < fdst.w; ++x)
      for (int c = 0; c < 4; ++c) ASSERT_NEAR(fdst.F(x, y)[c], fpx[c], 1e-6);
}

// A destination rect starting half a pixel in: its first column is covered
// by half and blends 50 % over what is there, unless overwritten.
TEST(DibScaleEdges, HalfPixelLeftEdgeBlendsOrOverwrites) {
  const BYTE px[4] = {200, 200, 200, 200};
  for (ScaleFn fn : {WuDibScale_BiCubicSubPixel, WuDibScale_BilinearSubPixel}) {
    for (int overwrite = 0; overwrite <= 1; ++overwrite) {
      Image src(4, 4);
      src.FillPixel(px);
      Image dst(4, 4);
      dst.FillBytes(40);
      const RECT dstRect{kPx / 2, 0, 4 * kPx, 4 * kPx};
      ASSERT_EQ(Scale(fn, dst, &dstRect, src, nullptr, 0, overwrite), 0);
      for (int y = 0; y < 4; ++y) {
        // 40 + (200 - 40) * 127 / 255, rounded by the byte blend.
        EXPECT_EQ(dst.At(0, y)[1], overwrite ? 200 : 120) << y;
        for (int x = 1; x < 4; ++x) EXPECT_EQ(dst.At(x, y)[1], 200) << x << "," << y;
      }
      Image fsrc(4, 4, 16);
      fsrc.FillFloat(0.8f);
      Image fdst(4, 4, 16);
      fdst.FillFloat(0.2f);
      ASSERT_EQ(Scale(fn, fdst, &dstRect, fsrc, nullptr, 0, overwrite), 0);
      EXPECT_NEAR(fdst.F(0, 2)[0], overwrite ? 0.8f : 0.5f, 1e-5);
      EXPECT_NEAR(fdst.F(2, 2)[0], 0.8f, 1e-5);
    }
  }
}

TEST(BiCubic, OvershootIsClampedInIntegerAndKeptInFloat) {
  // A 0 / max step, enlarged 4:1 across: the cubic rings on both sides.
  Image src(8, 2);
  Image fsrc(8, 2, 16);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 8; ++x) {
      const BYTE v = x < 4 ? 0 : 255;
      std::memset(src.At(x, y), v, 4);
      for (int c = 0; c < 4; ++c) fsrc.F(x, y)[c] = x < 4 ? 0.0f : 1.0f;
    }
  }
  Image dst(32, 2);
  Image fdst(32, 2, 16);
  ASSERT_EQ(Scale(WuDibScale_BiCubic, dst, nullptr, src, nullptr), 0);
  ASSERT_EQ(Scale(WuDibScale_BiCubic, fdst, nullptr, fsrc, nullptr), 0);
  int under = 0;
  int over = 0;
  for (int x = 0; x < 32; ++x) {
    const float f = fdst.F(x, 1)[0];
    if (f < 0.0f) {
      ++under;
      EXPECT_EQ(dst.At(x, 1)[0], 0) << x;
    }
    if (f > 1.0f) {
      ++over;
      EXPECT_EQ(dst.At(x, 1)[0], 255) << x;
    }
    // Alpha stays inside [0, 1] in float.
    EXPECT_GE(fdst.F(x, 1)[3], 0.0f);
    EXPECT_LE(fdst.F(x, 1)[3], 1.0f);
  }
  EXPECT_GT(under, 0);
  EXPECT_GT(over, 0);
}

TEST(BiCubic, AreaFlagIgnoredUnlessADirectionShrinks) {
  // ratioY 1:1 with ratioX enlarging takes the plain worker with or
  // without the area flag.
  Image src(4, 4);
  src.Random(21);
  Image a(8, 4);
  Image b(8, 4);
  ASSERT_EQ(Scale(WuDibScale_BiCubic, a, nullptr, src, nullptr, 0), 0);
  ASSERT_EQ(Scale(WuDibScale_BiCubic, b, nullptr, src, nullptr, 1), 0);
  EXPECT_EQ(a.data, b.data);
}

TEST(DibScaleForms, IntegerFollowsFloatInThePlainWorkers) {
  // Enlarging and shrinking without the area flag, fractional rects, with
  // and without overwrite: the integer cubic and linear workers stay within
  // two units of their float forms scaled to bytes.
  struct Case {
    ScaleFn fn;
    int srcW, srcH, dstW, dstH;
  } cases[] = {
      {WuDibScale_BiCubicSubPixel, 13, 9, 31, 22},
      {WuDibScale_BiCubicSubPixel, 31, 22, 13, 9},
      {WuDibScale_BilinearSubPixel, 13, 9, 31, 22},
      {WuDibScale_BilinearSubPixel, 31, 22, 13, 9},
  };
  CpuMask scalar(kScalarForm);
  for (const Case& c : cases) {
    const RECT dstQ{kPx / 3, kPx / 4, c.dstW * kPx - kPx / 2, c.dstH * kPx - kPx / 3};
    const RECT srcQ{kPx / 5, kPx / 7, c.srcW * kPx - 99, c.srcH * kPx - kPx / 2};
    ExpectBytesFollowFloats(c.fn, MidRangePicture(c.srcW, c.srcH, 17), c.dstW, c.dstH, &dstQ,
                            &srcQ, 0, 2.0);
  }
}

TEST(BiCubic, FirstCallsFromEightThreadsAgreeWithOneThread) {
  Image src(13, 11);
  src.Random(99);
  constexpr int kThreads = 8;
  std::vector<Image> out(kThreads, Image(29, 17));
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      Scale(WuDibScale_BiCubic, out[t], nullptr, src, nullptr);
    });
  }
  for (std::thread& th : threads) th.join();
  Image reference(29, 17);
  ASSERT_EQ(Scale(WuDibScale_BiCubic, reference, nullptr, src, nullptr), 0);
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(out[t].data, reference.data) << t;
}

}  // namespace
