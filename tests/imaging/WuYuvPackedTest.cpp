// Packed 4:2:2 converters, v210 to UYVY, the gamma ratio.
#include "imaging/WuYuvPacked.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "YuvFixture.h"
#include "foundation/WuSystem.h"

namespace {

using yuvtest::Guarded;

TEST(YuvPacked, UyvyToRgbColours) {
  struct Case {
    std::array<BYTE, 4> uyvy;
    LONG code;
    std::array<BYTE, 8> bgra;  // two pixels
  } cases[] = {
      {{128, 16, 128, 235}, 1, {16, 16, 16, 255, 235, 235, 235, 255}},
      {{128, 16, 128, 235}, 2, {16, 16, 16, 255, 235, 235, 235, 255}},
      {{200, 100, 50, 100}, 2, {231, 123, 0, 255, 231, 123, 0, 255}},
  };
  for (const Case& c : cases) {
    std::array<BYTE, 8> out{};
    ASSERT_EQ(WuUYVY2RGBA(out.data(), c.uyvy.data(), 8, 2, 1, c.code), S_OK);
    EXPECT_EQ(out, c.bgra);
    std::array<BYTE, 6> out24{};
    ASSERT_EQ(WuUYVY2RGB(out24.data(), c.uyvy.data(), 6, 2, 1, c.code), S_OK);
    EXPECT_EQ((std::array<BYTE, 6>{c.bgra[0], c.bgra[1], c.bgra[2], c.bgra[4], c.bgra[5],
                                   c.bgra[6]}),
              out24);
  }
}

TEST(YuvPacked, RgbToUyvyColours) {
  struct Case {
    std::array<BYTE, 3> bgr;  // both pixels
    LONG code;
    std::array<BYTE, 4> uyvy;
  } cases[] = {
      {{0, 0, 0}, 1, {128, 1, 128, 1}},       {{255, 255, 255}, 1, {128, 254, 128, 254}},
      {{0, 0, 255}, 1, {84, 76, 254, 76}},    {{50, 200, 10}, 2, {74, 149, 38, 149}},
      {{50, 200, 10}, 1, {84, 126, 43, 126}},
  };
  for (const Case& c : cases) {
    const std::array<BYTE, 8> bgra = {c.bgr[0], c.bgr[1], c.bgr[2], 9,
                                      c.bgr[0], c.bgr[1], c.bgr[2], 9};
    std::array<BYTE, 4> out{};
    ASSERT_EQ(WuRGBA2UYVY(out.data(), bgra.data(), 8, 2, 1, c.code), S_OK);
    EXPECT_EQ(out, c.uyvy) << int(c.bgr[0]) << "," << int(c.bgr[1]) << "," << int(c.bgr[2]);
    const std::array<BYTE, 6> bgr = {c.bgr[0], c.bgr[1], c.bgr[2], c.bgr[0], c.bgr[1], c.bgr[2]};
    ASSERT_EQ(WuRGB2UYVY(out.data(), bgr.data(), 6, 2, 1, c.code), S_OK);
    EXPECT_EQ(out, c.uyvy);
  }
}

TEST(YuvPacked, ChecksRefuseAndWriteNothing) {
  Guarded rgb(4 * 8 * 4), uyvy(2 * 8 * 4);
  struct Case {
    bool nullDst, nullSrc;
    LONG stride;
    int w, h;
    HRESULT expected;
  } cases[] = {
      {true, false, 32, 8, 4, E_POINTER}, {false, true, 32, 8, 4, E_POINTER},
      {true, true, 0, 3, 0, E_POINTER},   {false, false, 32, 3, 4, E_INVALIDARG},
      {false, false, 32, 8, 0, E_INVALIDARG}, {false, false, 32, 0, 4, E_INVALIDARG},
      {false, false, 32, -8, 4, E_INVALIDARG}, {false, false, 31, 8, 4, E_INVALIDARG},
      {false, false, -28, 8, 4, E_INVALIDARG},
  };
  for (const Case& c : cases) {
    BYTE* r = c.nullDst ? nullptr : rgb.data();
    BYTE* y = c.nullSrc ? nullptr : uyvy.data();
    EXPECT_EQ(WuUYVY2RGBA(r, y, c.stride, c.w, c.h, 0), c.expected);
    EXPECT_EQ(WuRGBA2UYVY(c.nullSrc ? nullptr : uyvy.data(), c.nullDst ? nullptr : rgb.data(),
                          c.stride, c.w, c.h, 0),
              c.expected);
    EXPECT_TRUE(rgb.AllEqual(Guarded::kFill));
    EXPECT_TRUE(uyvy.AllEqual(Guarded::kFill));
  }
  // 24-bit pixels need 3 * width.
  EXPECT_EQ(WuUYVY2RGB(rgb.data(), uyvy.data(), 23, 8, 4, 0), E_INVALIDARG);
  EXPECT_EQ(WuRGB2UYVY(uyvy.data(), rgb.data() + 3 * 24, -24, 8, 4, 0), S_OK);
}

TEST(YuvPacked, NegativeStrideWalksRowsUpward) {
  // Two rows: UYVY row 0 black, row 1 white; with stride -8 row 0 lands at
  // the pointer given and row 1 one stride below it in memory.
  const std::array<BYTE, 8> uyvy = {128, 16, 128, 16, 128, 235, 128, 235};
  std::array<BYTE, 16> out{};
  ASSERT_EQ(WuUYVY2RGBA(out.data() + 8, uyvy.data(), -8, 2, 2, 1), S_OK);
  EXPECT_EQ(out[8], 16);
  EXPECT_EQ(out[0], 235);
}

TEST(YuvPacked, Sse2RowsEqualPlainRows) {
  for (int w = 2; w <= 34; w += 2)
    for (LONG code : {1, 2}) {
      const int h = 3;
      std::vector<BYTE> rgba(4 * w * h), rgb(3 * w * h), uyvy(2 * w * h);
      yuvtest::FillRandom(rgba.data(), rgba.size(), w);
      yuvtest::FillRandom(rgb.data(), rgb.size(), w + 100);
      yuvtest::FillRandom(uyvy.data(), uyvy.size(), w + 200);
      std::vector<BYTE> out[2][4];
      for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0) WuDisallowCPUSupport(0x40);
        out[pass][0].assign(4 * w * h, 0);
        out[pass][1].assign(3 * w * h, 0);
        out[pass][2].assign(2 * w * h, 0);
        out[pass][3].assign(2 * w * h, 0);
        ASSERT_EQ(WuUYVY2RGBA(out[pass][0].data(), uyvy.data(), 4 * w, w, h, code), S_OK);
        ASSERT_EQ(WuUYVY2RGB(out[pass][1].data(), uyvy.data(), 3 * w, w, h, code), S_OK);
        ASSERT_EQ(WuRGBA2UYVY(out[pass][2].data(), rgba.data(), 4 * w, w, h, code), S_OK);
        ASSERT_EQ(WuRGB2UYVY(out[pass][3].data(), rgb.data(), 3 * w, w, h, code), S_OK);
        WuAllowCPUSupport(0x40);
      }
      for (int k = 0; k < 4; ++k) ASSERT_EQ(out[0][k], out[1][k]) << "form " << k << " w " << w;
    }
}

TEST(YuvPacked, V210ToUyvyGroupsAndPartialGroup) {
  // One whole group and a partial group of four pixels; samples s * 4 + 3
  // so that dropping the two low bits gives s.
  std::vector<BYTE> src(32, 0);
  auto s = [](int v) { return v * 4 + 3; };
  yuvtest::WriteLE32(&src[0], yuvtest::V210Word(s(10), s(11), s(12)));
  yuvtest::WriteLE32(&src[4], yuvtest::V210Word(s(13), s(14), s(15)));
  yuvtest::WriteLE32(&src[8], yuvtest::V210Word(s(16), s(17), s(18)));
  yuvtest::WriteLE32(&src[12], yuvtest::V210Word(s(19), s(20), s(21)));
  yuvtest::WriteLE32(&src[16], yuvtest::V210Word(s(30), s(31), s(32)));
  yuvtest::WriteLE32(&src[20], yuvtest::V210Word(s(33), s(34), s(35)));
  yuvtest::WriteLE32(&src[24], yuvtest::V210Word(s(36), s(37), s(38)));
  Guarded dst(20);
  ASSERT_EQ(WuYUV_v210_TO_UYVY(dst.data(), src.data(), 20, 32, 10, 1), S_OK);
  const BYTE expected[20] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                             20, 21, 30, 31, 32, 33, 34, 35, 36, 37};
  for (int i = 0; i < 20; ++i) EXPECT_EQ(dst[i], expected[i]) << i;
  EXPECT_TRUE(dst.GuardsIntact());
}

TEST(YuvPacked, V210WidthFourNeverReadsTheFourthWord) {
  // Twelve bytes on the heap: AddressSanitizer reports any read of word 3.
  std::unique_ptr<BYTE[]> src(new BYTE[12]);
  yuvtest::WriteLE32(&src[0], yuvtest::V210Word(512, 64, 512));
  yuvtest::WriteLE32(&src[4], yuvtest::V210Word(940, 512, 400));
  yuvtest::WriteLE32(&src[8], yuvtest::V210Word(512, 200, 0));
  std::array<BYTE, 8> dst{};
  ASSERT_EQ(WuYUV_v210_TO_UYVY(dst.data(), src.get(), 8, 16, 4, 1), S_OK);
  EXPECT_EQ(dst, (std::array<BYTE, 8>{128, 16, 128, 235, 128, 100, 128, 50}));
}

TEST(YuvPacked, V210ChecksRefuse) {
  Guarded src(64), dst(64);
  struct Case {
    bool nullDst, nullSrc;
    LONG dstStride, srcStride;
    int w, h;
    HRESULT expected;
  } cases[] = {
      {true, false, 12, 16, 6, 1, E_POINTER},   {false, true, 12, 16, 6, 1, E_POINTER},
      {false, false, 0, 16, 6, 1, E_INVALIDARG}, {false, false, 12, -16, 6, 1, E_INVALIDARG},
      {false, false, 11, 16, 6, 1, E_INVALIDARG}, {false, false, 16, 15, 6, 1, E_INVALIDARG},
      {false, false, 16, 16, 8, 1, E_INVALIDARG}, {false, false, 16, 32, 7, 1, E_INVALIDARG},
      {false, false, 16, 32, 0, 1, E_INVALIDARG}, {false, false, 16, 32, 6, 0, E_INVALIDARG},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WuYUV_v210_TO_UYVY(c.nullDst ? nullptr : dst.data(),
                                 c.nullSrc ? nullptr : src.data(), c.dstStride, c.srcStride, c.w,
                                 c.h),
              c.expected);
    EXPECT_TRUE(dst.AllEqual(Guarded::kFill));
  }
}

TEST(YuvPacked, GammaRatio) {
  struct Case {
    double a, b, ratio;
    BOOL needed;
  } cases[] = {
      {0, 2.2222222222222223, 1.0, FALSE}, {1.0, 2.0, 0.5, TRUE},  {10, 1, 4.0, TRUE},
      {0, 0, 1.0, FALSE},                  {0.1, 1.0, 0.5, TRUE},  {2.2, 2.2222222222222223, 0.99, TRUE},
      {1.0005, 1.0, 1.0005, FALSE},
  };
  for (const Case& c : cases) {
    double r = -1;
    EXPECT_EQ(WuYUV_GetGammaRatio(c.a, c.b, &r), c.needed) << c.a << " " << c.b;
    EXPECT_NEAR(r, c.ratio, 1e-12);
  }
}

}  // namespace
