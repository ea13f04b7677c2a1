// The area-average workers reached through the scalers' area flag.
#include <gtest/gtest.h>

#include <vector>

#include "ScaleFixture.h"

namespace {

using namespace scaletest;

TEST(AreaScale, FourToOneBothWaysIsTheRoundedBlockMean) {
  Image src(16, 8, 4, true);
  src.Random(8);
  Image fsrc(16, 8, 16);
  fsrc.Random(9);
  for (ScaleFn fn : {WuDibScale_Bilinear, WuDibScale_BiCubic}) {
    Image dst(4, 2);
    ASSERT_EQ(Scale(fn, dst, nullptr, src, nullptr, 1), 0);
    Image fdst(4, 2, 16);
    ASSERT_EQ(Scale(fn, fdst, nullptr, fsrc, nullptr, 1), 0);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) {
        for (int c = 0; c < 4; ++c) {
          int sum = 0;
          double fsum = 0;
          for (int j = 0; j < 4; ++j) {
            for (int i = 0; i < 4; ++i) {
              sum += src.At(4 * x + i, 4 * y + j)[c];
              fsum += fsrc.F(4 * x + i, 4 * y + j)[c];
            }
          }
          EXPECT_EQ(dst.At(x, y)[c], (sum + 8) / 16) << x << "," << y << " " << c;
          EXPECT_NEAR(fdst.F(x, y)[c], fsum / 16, 1e-6);
        }
      }
    }
  }
}

TEST(AreaScale, FourToOneInHeightOnly) {
  Image src(3, 8);
  src.Random(12);
  Image cubic(3, 2);
  Image linear(3, 2);
  ASSERT_EQ(Scale(WuDibScale_BiCubic, cubic, nullptr, src, nullptr, 1), 0);
  ASSERT_EQ(Scale(WuDibScale_Bilinear, linear, nullptr, src, nullptr, 1), 0);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      for (int c = 0; c < 4; ++c) {
        int sum = 0;
        for (int j = 0; j < 4; ++j) sum += src.At(x, 4 * y + j)[c];
        // Cubic shape at phase 0: (sum * 16384 + 8192) / 65536.
        EXPECT_EQ(cubic.At(x, y)[c], (sum * 16384 + 8192) / 65536) << x << "," << y;
        // Linear shape: the truncated mean.
        EXPECT_EQ(linear.At(x, y)[c], sum / 4) << x << "," << y;
      }
    }
  }
}

TEST(AreaScale, BoxWithCubicFiltersTheGroupMeans) {
  // 4:1 in height while the width grows 4 -> 7: the same as averaging
  // groups of four rows first and scaling those cubically across.
  Image src(4, 8, 16);
  src.Random(13);
  Image means(4, 2, 16);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 4; ++c) {
        double s = 0;
        for (int j = 0; j < 4; ++j) s += src.F(x, 4 * y + j)[c];
        means.F(x, y)[c] = static_cast<float>(s / 4);
      }
  Image boxed(7, 2, 16);
  ASSERT_EQ(Scale(WuDibScale_BiCubic, boxed, nullptr, src, nullptr, 1), 0);
  Image direct(7, 2, 16);
  ASSERT_EQ(Scale(WuDibScale_BiCubic, direct, nullptr, means, nullptr, 0), 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 7; ++x)
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(boxed.F(x, y)[c], direct.F(x, y)[c], 1e-5) << x;
}

TEST(AreaScale, HalfCoveredLastRowOverwritesOrBlends) {
  // Six source rows onto 1.5 destination rows: 4:1, the second row covers
  // rows 4 and 5 only (value 200).
  Image src(2, 6);
  src.FillBytes(200);
  for (int x = 0; x < 2; ++x)
    for (int y = 0; y < 4; ++y) std::memset(src.At(x, y), 60, 4);
  const RECT dstRect{0, 0, 2 * kPx, kPx + kPx / 2};
  for (ScaleFn fn : {WuDibScale_BiCubicSubPixel, WuDibScale_BilinearSubPixel}) {
    for (int overwrite = 0; overwrite <= 1; ++overwrite) {
      Image dst(2, 3);
      dst.FillBytes(40);
      ASSERT_EQ(Scale(fn, dst, &dstRect, src, nullptr, 1, overwrite), 0);
      for (int x = 0; x < 2; ++x) {
        EXPECT_EQ(dst.At(x, 0)[0], 60);
        // Overwrite: the half footprint over a full one, 400 / 4. Blend:
        // the full average 200, 50 % over 40.
        EXPECT_EQ(dst.At(x, 1)[0], overwrite ? 100 : 120) << overwrite;
        EXPECT_EQ(dst.At(x, 2)[0], 40);
      }
    }
  }
}

TEST(AreaScale, HalfCoveredPixelsOfTheTwoWayBox) {
  Image src(8, 8);
  src.FillBytes(200);
  const RECT dstRect{0, 0, kPx + kPx / 2, 2 * kPx};  // 4:1 across, 4:1 down
  const RECT srcRect{0, 0, 6 * kPx, 8 * kPx};
  for (int overwrite = 0; overwrite <= 1; ++overwrite) {
    Image dst(2, 2);
    dst.FillBytes(40);
    ASSERT_EQ(Scale(WuDibScale_BilinearSubPixel, dst, &dstRect, src, &srcRect, 1, overwrite), 0);
    EXPECT_EQ(dst.At(0, 0)[0], 200);
    EXPECT_EQ(dst.At(1, 1)[0], overwrite ? 100 : 120);
  }
}

TEST(AreaScale, LargeShrinksUseWideSums) {
  // 32:1 both ways: the two-way box takes 64-bit sums.
  Image src(64, 64);
  src.FillBytes(255);
  Image fsrc(64, 64, 16);
  fsrc.FillFloat(1.0f);
  for (ScaleFn fn : {WuDibScale_Bilinear, WuDibScale_BiCubic}) {
    Image dst(2, 2);
    ASSERT_EQ(Scale(fn, dst, nullptr, src, nullptr, 1), 0);
    for (BYTE b : dst.data) ASSERT_EQ(b, 255);
    Image fdst(2, 2, 16);
    ASSERT_EQ(Scale(fn, fdst, nullptr, fsrc, nullptr, 1), 0);
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(fdst.F(1, 1)[c], 1.0f, 1e-6);
  }
  // 130:1 in height, 65:1 in width: past the box-with-cubic thresholds.
  Image tall(2, 260);
  tall.FillBytes(255);
  Image wide(130, 2);
  wide.FillBytes(255);
  for (ScaleFn fn : {WuDibScale_Bilinear, WuDibScale_BiCubic}) {
    Image d1(2, 2);
    ASSERT_EQ(Scale(fn, d1, nullptr, tall, nullptr, 1), 0);
    for (BYTE b : d1.data) ASSERT_EQ(b, 255);
    Image d2(2, 2);
    ASSERT_EQ(Scale(fn, d2, nullptr, wide, nullptr, 1), 0);
    for (BYTE b : d2.data) ASSERT_EQ(b, 255);
  }
}

}  // namespace

namespace {

using namespace scaletest;

TEST(AreaScale, OneWayBoxesFollowTheirFloatForms) {
  // Each one-direction shape, both directions, fractional rects: the
  // integer result stays within two units of the float one (it truncates
  // twice where the float form does not round).
  struct Case {
    ScaleFn fn;
    int srcW, srcH, dstW, dstH;
  } cases[] = {
      {WuDibScale_BiCubicSubPixel, 11, 40, 17, 6},   // height shrinks, cubic across
      {WuDibScale_BiCubicSubPixel, 40, 11, 6, 17},   // width shrinks, cubic down
      {WuDibScale_BilinearSubPixel, 11, 40, 17, 6},  // height shrinks, linear across
      {WuDibScale_BilinearSubPixel, 40, 11, 6, 17},  // width shrinks, linear down
  };
  for (const Case& c : cases) {
    const RECT dstQ{kPx / 3, kPx / 4, c.dstW * kPx - kPx / 2, c.dstH * kPx - kPx / 3};
    const RECT srcQ{kPx / 5, kPx / 7, c.srcW * kPx - 99, c.srcH * kPx - kPx / 2};
    ExpectBytesFollowFloats(c.fn, MidRangePicture(c.srcW, c.srcH, 31), c.dstW, c.dstH, &dstQ,
                            &srcQ, 1, 2.0);
  }
}

TEST(AreaScale, IntegerBoxFollowsTheFloatBox) {
  // Fractional spans, edge columns clamped at the image border and spans
  // of more than 128 columns: the integer two-way box stays within a unit
  // of the float one scaled to bytes.
  struct Case {
    int srcW, srcH, dstW, dstH;
    RECT dstQ, srcQ;
  } cases[] = {
      {50, 37, 15, 11, {0, 0, 15 * kPx, 11 * kPx}, {kPx / 3, kPx / 5, 49 * kPx + 77, 37 * kPx}},
      {47, 29, 9, 7, {kPx / 2, kPx / 4, 8 * kPx + kPx / 3, 7 * kPx - kPx / 5}, {0, 0, 47 * kPx, 29 * kPx}},
      {600, 6, 3, 2, {0, 0, 3 * kPx, 2 * kPx}, {0, 0, 600 * kPx, 6 * kPx}},
  };
  for (const Case& c : cases) {
    Image src(c.srcW, c.srcH);
    src.Random(static_cast<uint32_t>(c.srcW));
    ExpectBytesFollowFloats(WuDibScale_BilinearSubPixel, src, c.dstW, c.dstH, &c.dstQ, &c.srcQ, 1,
                            1.5);
  }
}

}  // namespace
