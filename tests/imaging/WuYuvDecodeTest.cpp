// YUV to RGB decoding kernels: rounding, 10-bit luma, the floating-point
// ranges and re-gamma, sample positions of the reduced pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "YuvFixture.h"
#include "foundation/WuSystem.h"
#include "imaging/WuYuvConvert.h"
#include "imaging/WuYuvKernels.h"
#include "imaging/WuYuvPacked.h"

namespace {

using yuvtest::Guarded;
using yuvtest::RgbHeader;
using yuvtest::YuvHeader;

using yuvtest::Options;

// Decodes `yuv` (FOURCC, w x h) into a bitmap of `type` at `step`; returns
// the rows top row first, each row's pixels as stored.
std::vector<BYTE> Decode(DWORD fourcc, LONG w, LONG h, const std::vector<BYTE>& yuv,
                         WUPIXELTYPE type, int step, const WUYUVCONVERTOPTIONS& o,
                         double gamma) {
  BITMAPINFOHEADER yh = YuvHeader(fourcc, w, h);
  WUYUVPLANELAYOUT layout{};
  EXPECT_EQ(WuYUVImageBytesAndOffsets(&yh, &layout), yuv.size());
  BITMAPINFOHEADER rh = RgbHeader(type, w >> step, h >> step);
  const LONG stride = (type == 32 ? 16 : 4) * (w >> step);
  Guarded rows(static_cast<size_t>(stride) * (h >> step));
  EXPECT_EQ(WuYUV_YUVToRGB(&rh, gamma, rows.data(), stride, &yh, &o, yuv.data(), &layout, step, 0),
            S_OK);
  EXPECT_TRUE(rows.GuardsIntact());
  std::vector<BYTE> top(rows.size());
  const int n = h >> step;
  for (int r = 0; r < n; ++r)
    std::copy(rows.data() + stride * (n - 1 - r), rows.data() + stride * (n - r),
              top.begin() + stride * r);
  return top;
}

std::vector<BYTE> PackedFrame(DWORD fourcc, LONG w, LONG h, BYTE y, BYTE u, BYTE v) {
  std::vector<BYTE> f(2 * w * h);
  for (size_t i = 0; i < f.size(); i += 4) {
    if (fourcc == WU_FOURCC_UYVY) {
      f[i] = u, f[i + 1] = y, f[i + 2] = v, f[i + 3] = y;
    } else {
      f[i] = y, f[i + 1] = u, f[i + 2] = y, f[i + 3] = v;
    }
  }
  return f;
}

TEST(YuvDecode, ChannelRounding) {
  EXPECT_EQ(WuYUV_ClampRoundByte(127.5f), 128);
  EXPECT_EQ(WuYUV_ClampRoundByte(126.5f), 127);
  EXPECT_EQ(WuYUV_ClampRoundByte(127.49f), 127);
  EXPECT_EQ(WuYUV_ClampRoundByte(-3.0f), 0);
  EXPECT_EQ(WuYUV_ClampRoundByte(300.0f), 255);
  BYTE px[4];
  WuYUV_StoreBGRA8FromY10(64, 0, 0, 0, px);
  EXPECT_EQ(px[0], 16);
  EXPECT_EQ(px[3], 255);
  WuYUV_StoreBGRA8FromY10(1019, 2.0f, -1.0f, 0.5f, px);
  EXPECT_EQ(px[0], 255);  // 254.75 + 0.5
  EXPECT_EQ(px[1], 254);  // 253.75
  EXPECT_EQ(px[2], 255);
}

TEST(YuvDecode, ThirtyTwoBitColoursOfEveryPackedLayout) {
  struct Case {
    BYTE y, u, v;
    BYTE bgr[3];
  } cases[] = {{16, 128, 128, {16, 16, 16}}, {235, 128, 128, {235, 235, 235}},
               {16, 128, 255, {16, 0, 190}}};
  for (const Case& c : cases)
    for (DWORD fourcc : {WU_FOURCC_UYVY, WU_FOURCC_YUYV})
      for (int step : {0, 1}) {
        const auto out = Decode(fourcc, 4, 2, PackedFrame(fourcc, 4, 2, c.y, c.u, c.v), 28, step,
                                Options(515, 0), 0);
        for (size_t i = 0; i < out.size(); i += 4) {
          EXPECT_EQ(out[i], c.bgr[0]);
          EXPECT_EQ(out[i + 1], c.bgr[1]);
          EXPECT_EQ(out[i + 2], c.bgr[2]);
          EXPECT_EQ(out[i + 3], 255);
        }
      }
}

// A v210 row of w pixels (w a multiple of 2) where pixel p has luma luma(p)
// and every chroma sample is neutral.
std::vector<BYTE> V210Rows(LONG w, LONG h, int (*luma)(int)) {
  const LONG pitch = ((w + 5) / 6) * 16;
  std::vector<BYTE> f(pitch * h, 0);
  for (LONG r = 0; r < h; ++r)
    for (LONG g = 0; g * 6 < w; ++g) {
      BYTE* p = &f[r * pitch + 16 * g];
      const int b = 6 * g;
      yuvtest::WriteLE32(p, yuvtest::V210Word(512, luma(b), 512));
      yuvtest::WriteLE32(p + 4, yuvtest::V210Word(luma(b + 1), 512, luma(b + 2)));
      yuvtest::WriteLE32(p + 8, yuvtest::V210Word(512, luma(b + 3), 512));
      yuvtest::WriteLE32(p + 12, yuvtest::V210Word(luma(b + 4), 512, luma(b + 5)));
    }
  return f;
}

TEST(YuvDecode, V210FullRowsAndPartialGroup) {
  // 1280 pixels: 213 whole groups and pixels 1278, 1279 from the next one.
  auto luma = [](int p) { return 64 + 4 * (p % 200); };
  const auto out = Decode(WU_FOURCC_V210, 1280, 2, V210Rows(1280, 2, luma), 28, 0,
                          Options(0, 0), 0);
  for (int p : {0, 1, 5, 1277, 1278, 1279})
    EXPECT_EQ(out[4 * p], 16 + p % 200) << "pixel " << p;
  EXPECT_EQ(out[4 * 1280 + 4 * 1279 + 1], 16 + 1279 % 200);
}

TEST(YuvDecode, ReducedPicturesSampleEvenPixels) {
  // UYVY 720 x 576 at step 3: 90 x 72; output (1, 1) is source (8, 8) with
  // the chroma of pair 4 of row 8.
  std::vector<BYTE> f = PackedFrame(WU_FOURCC_UYVY, 720, 576, 100, 128, 128);
  BYTE* pair = &f[8 * 1440 + 4 * 4];
  pair[0] = 200, pair[1] = 100, pair[2] = 50, pair[3] = 7;
  const auto out = Decode(WU_FOURCC_UYVY, 720, 576, f, 28, 3, Options(516, 0), 0);
  ASSERT_EQ(out.size(), 90u * 72 * 4);
  const BYTE* px = &out[(1 * 90 + 1) * 4];
  EXPECT_EQ(px[0], 231);  // Y 100, U 200, V 50 with BT.709-type weights
  EXPECT_EQ(px[1], 123);
  EXPECT_EQ(px[2], 0);
  EXPECT_EQ(out[0], 100);

  // v210 at every step: output x is source pixel x << step.
  auto luma = [](int p) { return 64 + 4 * p; };
  for (int step = 1; step <= 3; ++step) {
    const auto v = Decode(WU_FOURCC_V210, 48, 8, V210Rows(48, 8, luma), 28, step, Options(0, 0), 0);
    for (int x = 0; x < (48 >> step); ++x) EXPECT_EQ(v[4 * x], 16 + (x << step)) << step;
  }
}

TEST(YuvDecode, FloatRangesAndGamma) {
  struct Case {
    BYTE y;
    double imageGamma, bitmapGamma;
    float expected;
  } cases[] = {
      {16, 1.0, 1.0, 0.0f},  {235, 1.0, 1.0, 1.0f}, {240, 1.0, 1.0, 224.0f / 219.0f},
      {255, 0.0, 0.0, 1.0f}, {0, 0.0, 0.0, 0.0f},
  };
  for (const Case& c : cases)
    for (DWORD fourcc : {WU_FOURCC_UYVY, WU_FOURCC_YUYV}) {
      const auto out = Decode(fourcc, 4, 2, PackedFrame(fourcc, 4, 2, c.y, 128, 128), 32, 0,
                              Options(0, c.imageGamma), c.bitmapGamma);
      const float* px = reinterpret_cast<const float*>(out.data());
      for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(px[ch], c.expected, 1e-6) << int(c.y);
      EXPECT_EQ(px[3], 1.0f);
    }
  // Image gamma 2.2 against 2.2222...: the ratio 0.99 builds a curve, so
  // mid-grey moves; 0 against 0 is the same as no curve.
  const auto plain = Decode(WU_FOURCC_YUYV, 4, 2, PackedFrame(WU_FOURCC_YUYV, 4, 2, 128, 128, 128),
                            32, 0, Options(0, 2.2222222222222223), 2.2222222222222223);
  const auto curved = Decode(WU_FOURCC_YUYV, 4, 2, PackedFrame(WU_FOURCC_YUYV, 4, 2, 128, 128, 128),
                             32, 0, Options(0, 2.2), 2.2222222222222223);
  const float a = reinterpret_cast<const float*>(plain.data())[0];
  const float b = reinterpret_cast<const float*>(curved.data())[0];
  EXPECT_NEAR(a, 112.0f / 219.0f, 1e-6);
  EXPECT_GT(std::abs(a - b), 1e-4);
  EXPECT_NEAR(b, std::pow(a, 0.99f), 2e-3);
}

TEST(YuvDecode, MatrixOfAReducedFrameFollowsTheReducedHeight) {
  const auto f = PackedFrame(WU_FOURCC_YUYV, 2, 1080, 100, 200, 50);
  const auto reduced = Decode(WU_FOURCC_YUYV, 2, 1080, f, 28, 1, Options(0, 0), 0);
  const auto bt601 = Decode(WU_FOURCC_YUYV, 2, 1080, f, 28, 1, Options(515, 0), 0);
  const auto bt709 = Decode(WU_FOURCC_YUYV, 2, 1080, f, 28, 1, Options(516, 0), 0);
  EXPECT_EQ(reduced, bt601);
  EXPECT_NE(reduced, bt709);
}

TEST(YuvDecode, I420FloatInterlacedPairsAndReducedChromaRows) {
  // Six lines; chroma rows 0, 1, 2 with distinct Cb. Interlaced: lines
  // (0, 2) row 0, (1, 3) row 1, (4, 5) row 2.
  const LONG w = 4, h = 6;
  std::vector<BYTE> f(w * h + 2 * (w * h / 4), 128);
  BYTE* u = &f[w * h];
  const BYTE cb[3] = {60, 150, 240};
  for (int r = 0; r < 3; ++r) u[2 * r] = u[2 * r + 1] = cb[r];
  const auto out = Decode(WU_FOURCC_I420, w, h, f, 32, 0, Options(515, 1.0, 2), 1.0);
  const int rowOf[6] = {0, 1, 0, 1, 2, 2};
  for (int line = 0; line < 6; ++line) {
    const float blue = reinterpret_cast<const float*>(out.data())[line * 16];
    EXPECT_NEAR(blue, (112.0f + 1.772f * (cb[rowOf[line]] - 128) / 224.0f * 219.0f) / 219.0f,
                1e-4)
        << line;
  }
  // 8 lines at step 1, interlaced: output rows 0..3 read chroma rows 0, 0, 2, 2.
  std::vector<BYTE> g(8 * 8 + 2 * 16, 128);
  for (int r = 0; r < 4; ++r) g[64 + 4 * r] = static_cast<BYTE>(50 + 40 * r);
  const auto half = Decode(WU_FOURCC_I420, 8, 8, g, 28, 1, Options(515, 0, 1), 0);
  const auto halfProgressive = Decode(WU_FOURCC_I420, 8, 8, g, 28, 1, Options(515, 0, 0), 0);
  EXPECT_EQ(half[0], half[16]);
  EXPECT_EQ(half[32], half[48]);
  EXPECT_NE(half[0], half[32]);
  EXPECT_NE(halfProgressive[0], halfProgressive[16]);
}

}  // namespace

namespace {

TEST(YuvDecode, WidePackedRowsEqualPlain) {
  for (LONG w = 2; w <= 40; w += 2)
    for (DWORD fourcc : {WU_FOURCC_YUYV, WU_FOURCC_UYVY}) {
      std::vector<BYTE> f(2 * w * 3);
      yuvtest::FillRandom(f.data(), f.size(), static_cast<uint32_t>(w));
      // Channel values on exact halves and far outside 0..255 occur.
      WuDisallowCPUSupport(0x40);
      const auto plain = Decode(fourcc, w, 3, f, 28, 0, Options(0, 0), 0);
      WuAllowCPUSupport(0x40);
      const auto wide = Decode(fourcc, w, 3, f, 28, 0, Options(0, 0), 0);
      ASSERT_EQ(plain, wide) << w;
    }
}

}  // namespace

namespace {

// Every (Y, U, V) combination through the wide and the plain 32-bit YUYV
// decoder: the wide path's whole-number offsets must never round apart.
TEST(YuvDecode, WidePackedRowsEqualPlainForEverySample) {
  const LONG w = 256, h = 256;  // a row per V, luma 0..255 along the row
  std::vector<BYTE> f(2 * w * h);
  for (LONG code : {515, 516})
    for (int u = 0; u < 256; u += (code == 515 ? 1 : 3)) {
      for (LONG v = 0; v < h; ++v)
        for (LONG k = 0; k < w / 2; ++k) {
          BYTE* p = &f[2 * w * v + 4 * k];
          p[0] = static_cast<BYTE>(2 * k);
          p[1] = static_cast<BYTE>(u);
          p[2] = static_cast<BYTE>(2 * k + 1);
          p[3] = static_cast<BYTE>(v);
        }
      WuDisallowCPUSupport(0x40);
      const auto plain = Decode(WU_FOURCC_YUYV, w, h, f, 28, 0, Options(code, 0), 0);
      WuAllowCPUSupport(0x40);
      ASSERT_EQ(Decode(WU_FOURCC_YUYV, w, h, f, 28, 0, Options(code, 0), 0), plain) << u;
    }
}

}  // namespace
