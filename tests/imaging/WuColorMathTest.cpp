// Fixed point, rounding, blends and conversions of the image code.
#include "imaging/WuColorMath.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "imaging/WuPixelTypes.h"

namespace {

TEST(FixedPoint, Q14Arithmetic) {
  EXPECT_EQ(WuFixedMulQ14(0x8000, 0x6000), 0xC000);  // 2 * 1.5
  EXPECT_EQ(WuFixedMulQ14(-0x4000, 1), -1);          // the shift is arithmetic
  EXPECT_EQ(WuFixedMulQ14(0x100000, 0x100000), 0x4000000);  // the product needs 64 bits
  EXPECT_EQ(WuFixedDivQ14(0x6000, 0x8000), 0x3000);
  EXPECT_EQ(WuFixedDivQ14(-7, 0x8000), -3);  // truncated toward zero
  EXPECT_EQ(WuFixedDivQ14(5, 0), 0);
  EXPECT_EQ(WuFixedCeilQ14(0x4001), 0x8000);
  EXPECT_EQ(WuFixedCeilQ14(0x4000), 0x4000);
  EXPECT_EQ(WuFixedCeilQ14(0), 0);
  EXPECT_EQ(WuFixedCeilQ14(-0x3FFF), 0);
  EXPECT_EQ(WuFixedFloorQ14(0x7FFF), 0x4000);
  EXPECT_EQ(WuFixedFloorQ14(-1), -0x4000);
  EXPECT_EQ(WuFixedExtentQ14(0x4000, 0xC000), 0xC000);
  EXPECT_EQ(WuFixedExtentQ14Reversed(0xC000, 0x4000), 0xC000);
  EXPECT_EQ(WuMulDiv(100000, 100000, 7), 1428571428);
  EXPECT_EQ(WuMulDiv(-7, 3, 2), -10);
  EXPECT_EQ(WuMulDiv(1, 2, 0), 0);
  const WULINEARMAP map = {2.5, -1.0};
  EXPECT_EQ(WuLinearMap(4.0, &map), 9.0);
}

TEST(FixedPoint, RoundDoubleToIntSendsHalvesUp) {
  const struct {
    double x;
    LONG expected;
  } cases[] = {{0.5, 1},     {-0.5, 0},     {1.4999999, 1}, {2.5, 3},
               {-2.5, -2},   {-2.6, -3},    {1e9 + 0.4, 1000000000},
               {-1e9 - 0.6, -1000000001},  {0.0, 0}};
  for (const auto& c : cases) EXPECT_EQ(WuRoundDoubleToInt(c.x), c.expected) << c.x;
}

TEST(ColorHelpers, BlendByte) {
  EXPECT_EQ(WuBlendByte(10, 200, 255), 200);
  EXPECT_EQ(WuBlendByte(10, 200, 0), 10);
  EXPECT_EQ(WuBlendByte(200, 10, 255), 10);
  EXPECT_EQ(WuBlendByte(0, 255, 128), 128);
  // The ends are exact for every pair, and the blend never leaves the
  // range between them.
  for (int a = 0; a < 256; a += 5)
    for (int b = 0; b < 256; b += 3) {
      ASSERT_EQ(WuBlendByte(BYTE(a), BYTE(b), 255), b);
      ASSERT_EQ(WuBlendByte(BYTE(a), BYTE(b), 0), a);
      const int mid = WuBlendByte(BYTE(a), BYTE(b), 100);
      ASSERT_GE(mid, std::min(a, b));
      ASSERT_LE(mid, std::max(a, b));
    }
}

TEST(ColorHelpers, FloatConversions) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float x;
    BYTE single;    // WuFloatToByte
    BYTE many;      // WuFloatsToBytes
    float clamped;  // WuClamp01
  } cases[] = {{0.0f, 0, 0, 0.0f},        {-0.5f, 0, 0, 0.0f},  {0.5f, 127, 127, 0.5f},
               {1.0f, 255, 255, 1.0f},    {1.0001f, 255, 255, 1.0f},
               {1e30f, 255, 255, 1.0f},   {-1e30f, 0, 0, 0.0f}, {nan, 0, 0, 0.0f}};
  for (const auto& c : cases) {
    EXPECT_EQ(WuFloatToByte(c.x), c.single) << c.x;
    EXPECT_EQ(WuClamp01(c.x), c.clamped) << c.x;
    BYTE out = 77;
    WuFloatsToBytes(&out, &c.x, 1);
    EXPECT_EQ(out, c.many) << c.x;
  }
  EXPECT_FLOAT_EQ(WuLerpFloat(1.0f, 3.0f, 0.25f), 1.5f);
  EXPECT_FLOAT_EQ(WuPowFloat(2.0f, 10.0f), 1024.0f);
}

TEST(ColorHelpers, RectsAndCompressionCodes) {
  RECT r = {1, 2, 3, 4};
  EXPECT_EQ(WuRectOffset(&r, 10, -20), &r);
  EXPECT_EQ(r.left, 11);
  EXPECT_EQ(r.top, -18);
  EXPECT_EQ(r.right, 13);
  EXPECT_EQ(r.bottom, -16);
  // Past the limits the coordinates wrap as 32-bit two's complement
  // numbers, each by the same amount, so the extents stay the same.
  r = {INT_MAX - 1, INT_MIN, INT_MAX, INT_MIN + 1};
  WuRectOffset(&r, 2, -2);
  EXPECT_EQ(r.left, INT_MIN);
  EXPECT_EQ(r.right, INT_MIN + 1);
  EXPECT_EQ(r.top, INT_MAX - 1);
  EXPECT_EQ(r.bottom, INT_MAX);
  r = {0, 0, 1, 1};
  WuRectOffset(&r, INT_MIN, INT_MAX);
  WuRectOffset(&r, INT_MIN, INT_MAX);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, 1);
  EXPECT_EQ(r.top, -2);
  EXPECT_EQ(r.bottom, -1);

  for (DWORD c : {BI_RGB, BI_BITFIELDS, WU_FOURCC_WUDB, WU_FOURCC_WUGS}) {
    EXPECT_FALSE(WuIsNonRGBCompression(c));
    EXPECT_FALSE(WuIsYUVFourCC(c));
  }
  for (DWORD c : {WU_FOURCC_UYVY, WU_FOURCC_YUYV, WU_FOURCC_V210, WU_FOURCC_I420}) {
    EXPECT_TRUE(WuIsNonRGBCompression(c));
    EXPECT_TRUE(WuIsYUVFourCC(c));
  }
  EXPECT_TRUE(WuIsNonRGBCompression(WU_FOURCC_Y41B));
  EXPECT_FALSE(WuIsYUVFourCC(WU_FOURCC_Y41B));
}

TEST(WorkingPixel, BlendMovesTowardTheOtherPixel) {
  // 16-bit lanes: c = w * 65535 / 0x4000; lane = other + ((this - other) * c >> 16).
  WORD pixel[4] = {60000, 1000, 30000, 65535};
  const WORD other[4] = {0, 65535, 30000, 0};
  WuXCHGPixel_Blend(pixel, other, 0x1000, WUXCHG_LANES16, FALSE);
  const int64_t c16 = 0x1000 * 65535 / 0x4000;
  EXPECT_EQ(pixel[0], (60000 * c16) >> 16);
  EXPECT_EQ(pixel[1], 65535 + (((1000 - 65535) * c16) >> 16));
  EXPECT_EQ(pixel[2], 30000);
  EXPECT_EQ(pixel[3], (65535 * c16) >> 16);

  // 8-bit lanes: c = w * 255 / 0x4000; byte = other + (this - other) * c / 256.
  BYTE bytes[8] = {200, 10, 128, 255, 1, 2, 3, 4};
  const BYTE otherBytes[8] = {0, 250, 128, 0, 9, 9, 9, 9};
  WuXCHGPixel_Blend(bytes, otherBytes, 0x2000, WUXCHG_LANES8, FALSE);
  const int c8 = 0x2000 * 255 / 0x4000;
  EXPECT_EQ(bytes[0], 200 * c8 / 256);
  EXPECT_EQ(bytes[1], 250 + (10 - 250) * c8 / 256);  // division truncates toward zero
  EXPECT_EQ(bytes[2], 128);
  EXPECT_EQ(bytes[4], 1);  // the unused half of the slot is not touched

  // Weight 0 gives the other pixel; skipping leaves the pixel alone.
  WORD full[4] = {1, 2, 3, 4};
  const WORD target[4] = {9, 8, 7, 6};
  WuXCHGPixel_Blend(full, target, 0x4000, WUXCHG_LANES16, TRUE);
  EXPECT_EQ(full[0], 1);
  WuXCHGPixel_Blend(full, target, 0, WUXCHG_LANES16, FALSE);
  EXPECT_EQ(full[0], 9);
  EXPECT_EQ(full[3], 6);
}

}  // namespace
