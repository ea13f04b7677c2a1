// The bilinear scalers: the 2 x 2 to 3 x 3 case, white without overflow,
// one-pixel sources and the three interior-row forms against each other.
#include <gtest/gtest.h>

#include <vector>

#include "ScaleFixture.h"

namespace {

using namespace scaletest;

TEST(Bilinear, TwoByTwoToThreeByThreeScalarForm) {
  CpuMask scalar(kScalarForm);
  Image src(2, 2);
  const BYTE tl[4] = {10, 0, 255, 255};
  const BYTE tr[4] = {200, 255, 0, 255};
  const BYTE bl[4] = {30, 0, 255, 0};
  const BYTE br[4] = {77, 255, 0, 0};
  std::memcpy(src.At(0, 0), tl, 4);
  std::memcpy(src.At(1, 0), tr, 4);
  std::memcpy(src.At(0, 1), bl, 4);
  std::memcpy(src.At(1, 1), br, 4);
  Image dst(3, 3);
  ASSERT_EQ(Scale(WuDibScale_Bilinear, dst, nullptr, src, nullptr), 0);
  EXPECT_EQ(std::memcmp(dst.At(0, 0), tl, 4), 0);
  EXPECT_EQ(std::memcmp(dst.At(2, 0), tr, 4), 0);
  EXPECT_EQ(std::memcmp(dst.At(0, 2), bl, 4), 0);
  EXPECT_EQ(std::memcmp(dst.At(2, 2), br, 4), 0);
  // Green runs 0 / 255 across every row: 127 in the middle column (the
  // sample sits just short of the half, at 0x1FFF); red runs 255 / 0: 128.
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(dst.At(1, y)[1], 127) << y;
    EXPECT_EQ(dst.At(1, y)[2], 128) << y;
  }
}

TEST(Bilinear, WhiteStaysWhiteInEveryForm) {
  // The scalar sums reach 0xFF800000 for white, past the signed range.
  for (DWORD hidden : {kScalarForm, kMmxForm, DWORD{0}}) {
    CpuMask form(hidden);
    Image src(5, 4);
    src.FillBytes(255);
    Image dst(17, 9);
    ASSERT_EQ(Scale(WuDibScale_Bilinear, dst, nullptr, src, nullptr), 0);
    if (hidden == kScalarForm) {
      for (BYTE b : dst.data) ASSERT_EQ(b, 255);
    } else {
      for (BYTE b : dst.data) ASSERT_GE(b, 254);
    }
  }
}

TEST(Bilinear, OnePixelSourceFillsTheDestinationInTheScalarForm) {
  CpuMask scalar(kScalarForm);
  const BYTE px[4] = {0, 1, 128, 255};
  Image src(1, 1);
  src.FillPixel(px);
  Image dst(5, 6);
  ASSERT_EQ(Scale(WuDibScale_Bilinear, dst, nullptr, src, nullptr), 0);
  for (int y = 0; y < dst.h; ++y)
    for (int x = 0; x < dst.w; ++x) ASSERT_EQ(std::memcmp(dst.At(x, y), px, 4), 0);
}

TEST(Bilinear, NarrowDestinationSamplesTheLeftEdge) {
  // Under 2 pixels wide, the step is 0: the one column samples srcUsed.left.
  Image src(6, 3);
  src.Random(4);
  Image dst(1, 3);
  CpuMask scalar(kScalarForm);
  ASSERT_EQ(Scale(WuDibScale_Bilinear, dst, nullptr, src, nullptr), 0);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(std::memcmp(dst.At(0, y), src.At(0, y), 4), 0) << y;
}

TEST(Bilinear, FloatMatchesTheWeightedSum) {
  Image src(2, 2, 16);
  const float v[4] = {0.0f, 1.0f, 2.0f, -1.0f};  // not clamped
  for (int i = 0; i < 4; ++i)
    for (int c = 0; c < 4; ++c) src.F(i % 2, i / 2)[c] = v[i] + c;
  Image dst(3, 3, 16);
  ASSERT_EQ(Scale(WuDibScale_Bilinear, dst, nullptr, src, nullptr), 0);
  // Centre: fx = fy = 0x1FFF / 0x4000.
  const double f = 8191.0 / 16384.0;
  const double expect = (1 - f) * (1 - f) * v[0] + (1 - f) * f * v[1] + f * (1 - f) * v[2] + f * f * v[3];
  EXPECT_NEAR(dst.F(1, 1)[0], expect, 1e-6);
  EXPECT_NEAR(dst.F(2, 2)[1], v[3] + 1, 1e-3);
}

TEST(BilinearForms, VectorRowsAgainstTheScalarForm) {
  if (!WuGetCPUSupport(WUCPU_SSE2) || !WuGetCPUSupport(WUCPU_MMX)) GTEST_SKIP() << "no SSE2 or MMX";
  struct Case {
    int srcW, srcH, dstW, dstH;
    RECT dstQ;
    bool hasRect;
  } cases[] = {
      {37, 23, 101, 57, {}, false},
      {37, 23, 20, 13, {}, false},
      {9, 9, 40, 40, {kPx / 3, kPx / 5, 39 * kPx + 7, 40 * kPx - kPx / 3}, true},
      {64, 3, 64, 9, {}, false},
  };
  for (const Case& c : cases) {
    Image src(c.srcW, c.srcH);
    src.Random(static_cast<uint32_t>(c.dstW));
    std::vector<BYTE> out[3];
    const DWORD hidden[3] = {kScalarForm, kMmxForm, 0};
    for (int f = 0; f < 3; ++f) {
      CpuMask form(hidden[f]);
      Image dst(c.dstW, c.dstH);
      dst.FillBytes(0);
      ASSERT_EQ(Scale(WuDibScale_BilinearSubPixel, dst, c.hasRect ? &c.dstQ : nullptr, src, nullptr),
                0);
      out[f] = dst.data;
    }
    EXPECT_EQ(out[1], out[2]) << "SSE2 differs from the MMX formula, " << c.dstW;
    int below = 0;
    for (size_t i = 0; i < out[0].size(); ++i) {
      ASSERT_LE(out[2][i], out[0][i]) << i;
      ASSERT_GE(out[2][i] + 1, out[0][i]) << i;
      below += out[2][i] < out[0][i];
    }
    EXPECT_GT(below, 0);  // the vector forms did run
  }
}

}  // namespace
