// The shared scaling geometry: ratios, the used source, end-to-end steps
// and the refusals.
#include "imaging/WuSubpixelParam.h"

#include <gtest/gtest.h>

namespace {

constexpr LONG kPx = 0x4000;

TEST(SubpixelParam, TwoByTwoToThreeByThree) {
  WUSUBPIXELPARAM p;
  BYTE dst[36] = {};
  BYTE src[16] = {};
  const SIZE dstSize{3, 3};
  const SIZE srcSize{2, 2};
  ASSERT_EQ(WuPrepareSubpixelParam(&p, dst, &dstSize, 12, nullptr, src, &srcSize, 8, nullptr), 1);
  EXPECT_EQ(p.ratioX, 0x2AAA);
  EXPECT_EQ(p.ratioY, 0x2AAA);
  EXPECT_EQ(p.srcUsed.left, 0);
  EXPECT_EQ(p.srcUsed.right, 0x7FFE);  // mapped back through the truncated ratio
  EXPECT_EQ(p.stepX, 0x1FFF);
  EXPECT_EQ(p.stepY, 0x1FFF);
  EXPECT_EQ(p.dstClip.right, 3 * kPx);
  EXPECT_EQ(p.srcClip.right, 2 * kPx);
  EXPECT_EQ(p.dstBits, dst);
  EXPECT_EQ(p.srcBits, src);
  EXPECT_EQ(p.dstStride, 12);
  EXPECT_EQ(p.srcStride, 8);
}

TEST(SubpixelParam, ClippingAndSteps) {
  WUSUBPIXELPARAM p;
  BYTE buf[4] = {};
  const SIZE dstSize{10, 10};
  const SIZE srcSize{20, 10};
  // A destination hanging off the left edge keeps the requested rect and
  // maps only the visible part back; a destination under 2 pixels high has
  // step 0.
  const RECT dstRect{-5 * kPx, 0, 5 * kPx, kPx + kPx / 2};
  ASSERT_EQ(WuPrepareSubpixelParam(&p, buf, &dstSize, 40, &dstRect, buf, &srcSize, 80, nullptr), 1);
  EXPECT_EQ(p.dstRect.left, -5 * kPx);
  EXPECT_EQ(p.dstClip.left, 0);
  EXPECT_EQ(p.dstClip.right, 5 * kPx);
  EXPECT_EQ(p.ratioX, 2 * kPx);
  EXPECT_EQ(p.srcUsed.left, 10 * kPx);
  EXPECT_EQ(p.srcUsed.right, 20 * kPx);
  EXPECT_EQ(p.stepY, 0);
  EXPECT_EQ(p.stepX, 9 * kPx / 4);
}

TEST(SubpixelParam, Refusals) {
  BYTE buf[4] = {};
  const SIZE small{4, 4};
  const SIZE huge{200000, 2};
  struct Case {
    const char* what;
    SIZE dstSize;
    RECT dstRect;
    bool hasDstRect;
    SIZE srcSize;
    RECT srcRect;
    bool hasSrcRect;
  } cases[] = {
      {"1/32-pixel destination", small, {0, 0, kPx / 32, kPx}, true, small, {}, false},
      {"source under one pixel", small, {}, false, small, {0, 0, kPx - 1, kPx}, true},
      {"clipped destination under 1/16 pixel", small,
       {4 * kPx - 0x200, 0, 8 * kPx, 4 * kPx}, true, small, {}, false},
      {"ratio 0", small, {0, 0, 16385 * kPx, kPx}, true, SIZE{1, 1}, {}, false},
      {"image bounds past 32 bits", huge, {}, false, small, {}, false},
      {"source bounds past 32 bits", small, {}, false, huge, {}, false},
      {"negative size", SIZE{-4, 4}, {}, false, small, {}, false},
      {"source rect outside the image", small, {}, false, small,
       {8 * kPx, 0, 12 * kPx, kPx}, true},
  };
  for (const Case& c : cases) {
    WUSUBPIXELPARAM p;
    p.ratioX = 77;
    EXPECT_EQ(WuPrepareSubpixelParam(&p, buf, &c.dstSize, 16, c.hasDstRect ? &c.dstRect : nullptr,
                                     buf, &c.srcSize, 16, c.hasSrcRect ? &c.srcRect : nullptr),
              0)
        << c.what;
    EXPECT_EQ(p.ratioX, 0) << c.what;  // zero-filled
  }
}

TEST(SubpixelParam, WholePixelRectsToQ14) {
  RECT q;
  const RECT ok{-131072, 0, 131071, 5};
  ASSERT_TRUE(WuRectPixelsToQ14(&q, &ok));
  EXPECT_EQ(q.left, -131072 * kPx);
  EXPECT_EQ(q.right, 131071 * kPx);
  const RECT wide{0, 0, 200000, 2};
  EXPECT_FALSE(WuRectPixelsToQ14(&q, &wide));
  const RECT low{0, -131073, 1, 1};
  EXPECT_FALSE(WuRectPixelsToQ14(&q, &low));
}

}  // namespace
