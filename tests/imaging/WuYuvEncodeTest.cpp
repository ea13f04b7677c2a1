// RGB to YUV encoding kernels: clamps, dither, the v210 groups, the YUYV
// row-kernel choice, and round trips through the decoders.
#include <gtest/gtest.h>

#include <cstdlib>
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

// A 32-bit bitmap (rows bottom-up) whose picture pixel (x, line) is
// colour(x, line) as B, G, R.
template <typename Fn>
std::vector<BYTE> Bitmap32(LONG w, LONG h, Fn colour) {
  std::vector<BYTE> b(4 * w * h);
  for (LONG line = 0; line < h; ++line)
    for (LONG x = 0; x < w; ++x) {
      BYTE* p = &b[4 * (w * (h - 1 - line) + x)];
      colour(x, line, p);
      p[3] = 0;
    }
  return b;
}

// Encodes a bitmap into a fresh YUV image pre-filled with `fill`.
std::vector<BYTE> Encode(DWORD fourcc, LONG w, LONG h, const void* bits, WUPIXELTYPE type,
                         const WUYUVCONVERTOPTIONS& o, double gamma, BYTE fill = 0) {
  BITMAPINFOHEADER yh = YuvHeader(fourcc, w, h);
  WUYUVPLANELAYOUT layout{};
  Guarded yuv(WuYUVImageBytesAndOffsets(&yh, &layout), fill);
  BITMAPINFOHEADER rh = RgbHeader(type, w, h);
  EXPECT_EQ(WuYUV_RGBToYUV(&yh, &o, yuv.data(), &layout, &rh, gamma, bits, 0, 0, 0), S_OK);
  EXPECT_TRUE(yuv.GuardsIntact());
  return std::vector<BYTE>(yuv.data(), yuv.data() + yuv.size());
}

auto Solid(BYTE v) {
  return [v](LONG, LONG, BYTE* p) { p[0] = p[1] = p[2] = v; };
}

TEST(YuvEncode, LumaClampsAndNeutralGrey) {
  const LONG w = 8, h = 4;
  struct Case {
    BYTE grey;
    int i420Luma, v210Luma;
  } cases[] = {{0, 1, 1}, {255, 254, 1019}};
  for (const Case& c : cases) {
    const auto bmp = Bitmap32(w, h, Solid(c.grey));
    const auto i420 = Encode(WU_FOURCC_I420, w, h, bmp.data(), 28, Options(0), 0);
    for (int i = 0; i < w * h; ++i) EXPECT_EQ(i420[i], c.i420Luma) << i;
    const auto v210 = Encode(WU_FOURCC_V210, w, h, bmp.data(), 28, Options(0), 0);
    EXPECT_EQ((yuvtest::ReadLE32(&v210[0]) >> 10) & 0x3FF, static_cast<DWORD>(c.v210Luma));
    EXPECT_EQ(yuvtest::ReadLE32(&v210[4]) & 0x3FF, static_cast<DWORD>(c.v210Luma));
  }
  // Grey 128: the chroma weights sum to zero, every chroma sample is 128.
  for (LONG code : {515, 516}) {
    const auto grey = Encode(WU_FOURCC_I420, w, h, Bitmap32(w, h, Solid(128)).data(), 28,
                             Options(code), 0);
    for (int i = w * h; i < w * h + w * h / 2; ++i) EXPECT_EQ(grey[i], 128) << i;
  }
}

TEST(YuvEncode, FloatingPointYuyvRowsOnBlue) {
  const BYTE blue[8] = {255, 0, 0, 0, 255, 0, 0, 0};
  BYTE out[4];
  WuYUV_RGBAToYUYVRowsFPU(out, 2, 1, blue, 8);
  EXPECT_EQ(out[0], 29);
  EXPECT_EQ(out[1], 255);  // (510 - 58.14) * 0.296 + 128, clamped
  EXPECT_EQ(out[2], 29);
  // BT.709-type: Y = 0.0721 * 255 = 18.4; Cr below 128.
  WuYUV_RGBAToYUYVRowsFPU709(out, 2, 1, blue, 8);
  EXPECT_EQ(out[0], 18);
  EXPECT_LT(out[3], 128);
}

TEST(YuvEncode, FloatUyvyAtUnityGammas) {
  const LONG w = 8, h = 4;
  for (float v : {0.0f, 1.0f}) {
    std::vector<float> bmp(4 * w * h, v);
    const auto uyvy = Encode(WU_FOURCC_UYVY, w, h, bmp.data(), 32, Options(0, 1.0), 1.0);
    for (size_t i = 0; i < uyvy.size(); i += 2) EXPECT_EQ(uyvy[i + 1], v == 0 ? 16 : 235) << i;
    for (size_t i = 0; i < uyvy.size(); i += 2) EXPECT_EQ(uyvy[i], 128) << i;
  }
}

TEST(YuvEncode, V210GroupsKeepSpareBitsAndClearThePartialGroup) {
  const LONG w = 1280, h = 2;
  const auto bmp = Bitmap32(w, h, Solid(128));
  const auto v210 = Encode(WU_FOURCC_V210, w, h, bmp.data(), 28, Options(0), 0, 0xFF);
  const LONG pitch = 214 * 16;
  for (int row = 0; row < h; ++row) {
    for (int g = 0; g < 213; ++g)
      for (int k = 0; k < 4; ++k)
        ASSERT_EQ(yuvtest::ReadLE32(&v210[row * pitch + 16 * g + 4 * k]) >> 30, 3u)
            << "group " << g;
    const BYTE* part = &v210[row * pitch + 16 * 213];
    const DWORD w0 = yuvtest::ReadLE32(part), w1 = yuvtest::ReadLE32(part + 4);
    EXPECT_EQ(w0 >> 30, 0u);
    EXPECT_EQ((w0 >> 10) & 0x3FF, 512u);  // pixel 1278, luma 4 * 128
    EXPECT_EQ(w0 & 0x3FF, 512u);          // Cb
    EXPECT_EQ(w1, 512u) << "pixel 1279 only";
    EXPECT_EQ(yuvtest::ReadLE32(part + 8), 0u);
    EXPECT_EQ(yuvtest::ReadLE32(part + 12), 0u);
  }
}

TEST(YuvEncode, YuyvKernelFollowsMmxFlagAndMatrix) {
  const LONG w = 16;
  for (LONG h : {4, 720}) {
    std::vector<BYTE> bmp(4 * w * h);
    yuvtest::FillRandom(bmp.data(), bmp.size(), static_cast<uint32_t>(h));
    // Pairs where the integer and floating-point kernels round apart: blue
    // 20 (BT.601-type Cb) and red 3 (BT.709-type Cr).
    for (LONG r = 0; r < h; ++r) {
      BYTE* p = &bmp[4 * w * r];
      for (int i = 0; i < 16; ++i) p[i] = 0;
      p[0] = p[4] = 20;
      p[10] = p[14] = 3;
    }
    // The kernels run on the picture's top row first: the last in memory.
    const BYTE* top = bmp.data() + 4 * w * (h - 1);
    std::vector<BYTE> mmx(2 * w * h), fpu(2 * w * h);
    if (h == 4) {
      WuYUV_RGBAToYUYVRows(mmx.data(), w, h, top, -4 * w);
      WuYUV_RGBAToYUYVRowsFPU(fpu.data(), w, h, top, -4 * w);
    } else {
      WuYUV_RGBAToYUYVRows709(mmx.data(), w, h, top, -4 * w);
      WuYUV_RGBAToYUYVRowsFPU709(fpu.data(), w, h, top, -4 * w);
    }
    ASSERT_NE(mmx, fpu);
    WuYUV_ResetKernelChoices();
    EXPECT_EQ(Encode(WU_FOURCC_YUYV, w, h, bmp.data(), 29, Options(0), 0), mmx) << h;
    WuDisallowCPUSupport(0x10);
    if (h == 4) {
      EXPECT_EQ(Encode(WU_FOURCC_YUYV, w, h, bmp.data(), 29, Options(0), 0), mmx)
          << "the BT.601-type choice is kept until reset";
    }
    WuYUV_ResetKernelChoices();
    EXPECT_EQ(Encode(WU_FOURCC_YUYV, w, h, bmp.data(), 29, Options(0), 0), fpu) << h;
    WuAllowCPUSupport(0x10);
    WuYUV_ResetKernelChoices();
  }
  // Code 516 on a small frame takes the BT.709-type kernel.
  std::vector<BYTE> bmp(4 * 16 * 4);
  yuvtest::FillRandom(bmp.data(), bmp.size(), 9);
  std::vector<BYTE> k709(2 * 16 * 4);
  WuYUV_RGBAToYUYVRows709(k709.data(), 16, 4, bmp.data() + 4 * 16 * 3, -64);
  EXPECT_EQ(Encode(WU_FOURCC_YUYV, 16, 4, bmp.data(), 28, Options(516), 0), k709);
}

TEST(YuvEncode, InterlacedI420WritesEachFieldsChroma) {
  // Lines 0 and 2 blue, 1 and 3 red: interlaced, chroma row 0 is the blue
  // field's and row 1 the red field's; progressive both rows mix them.
  const LONG w = 4, h = 4;
  auto fields = [](LONG, LONG line, BYTE* p) {
    p[0] = line % 2 ? 0 : 200;
    p[1] = 0;
    p[2] = line % 2 ? 200 : 0;
  };
  const auto bmp = Bitmap32(w, h, fields);
  const auto il = Encode(WU_FOURCC_I420, w, h, bmp.data(), 28, Options(515, 0, 1), 0);
  const auto pr = Encode(WU_FOURCC_I420, w, h, bmp.data(), 28, Options(515, 0, 0), 0);
  const int u0 = 16, u1 = 18;
  EXPECT_GT(il[u0], 160);
  EXPECT_LT(il[u1], 100);
  EXPECT_NEAR(pr[u0], pr[u1], 1) << "only the dither differs";
  EXPECT_EQ(il[0], pr[0]) << "luma does not move";
}

// A gentle in-gamut ramp: neighbours differ by at most 1.
void Ramp(LONG x, LONG line, BYTE* p) {
  p[0] = static_cast<BYTE>(90 + (x + line) / 4);
  p[1] = static_cast<BYTE>(100 + x / 4);
  p[2] = static_cast<BYTE>(110 + line / 4);
}

TEST(YuvEncode, RoundTripsWithinThreeUnits) {
  const LONG w = 48, h = 32;
  const auto bmp = Bitmap32(w, h, Ramp);
  for (DWORD fourcc : {WU_FOURCC_I420, WU_FOURCC_UYVY, WU_FOURCC_V210})
    for (LONG code : {515, 516}) {
      const WUYUVCONVERTOPTIONS o = Options(code);
      const auto yuv = Encode(fourcc, w, h, bmp.data(), 28, o, 0);
      BITMAPINFOHEADER yh = YuvHeader(fourcc, w, h);
      WUYUVPLANELAYOUT layout{};
      WuYUVImageBytesAndOffsets(&yh, &layout);
      BITMAPINFOHEADER rh = RgbHeader(28, w, h);
      std::vector<BYTE> back(bmp.size());
      ASSERT_EQ(WuYUV_YUVToRGB(&rh, 0, back.data(), 0, &yh, &o, yuv.data(), &layout, 0, 0), S_OK);
      int worst = 0;
      for (size_t i = 0; i < back.size(); ++i)
        if (i % 4 != 3) worst = std::max(worst, std::abs(back[i] - bmp[i]));
      EXPECT_LE(worst, 3) << std::hex << fourcc << std::dec << " code " << code;
    }
}

TEST(YuvEncode, FloatEncodersMatchTheThirtyTwoBitOnesOnLimits) {
  // Full range (gamma 0): 1.0 is luma 254 (clamped), 0 is 1.
  const LONG w = 12, h = 2;
  for (DWORD fourcc : {WU_FOURCC_YUYV, WU_FOURCC_I420, WU_FOURCC_V210}) {
    std::vector<float> white(4 * w * h, 1.0f), black(4 * w * h, 0.0f);
    const auto a = Encode(fourcc, w, h, white.data(), 32, Options(0, 0), 0);
    const auto b = Encode(fourcc, w, h, black.data(), 32, Options(0, 0), 0);
    if (fourcc == WU_FOURCC_V210) {
      EXPECT_EQ((yuvtest::ReadLE32(&a[0]) >> 10) & 0x3FF, 1019u);
      EXPECT_EQ((yuvtest::ReadLE32(&b[0]) >> 10) & 0x3FF, 1u);
    } else {
      EXPECT_EQ(a[0], 254);
      EXPECT_EQ(b[0], 1);
    }
  }
}

}  // namespace

namespace {

TEST(YuvEncode, WideRowsEqualPlain) {
  for (LONG w = 2; w <= 38; w += 2)
    for (LONG code : {515, 516})
      for (WUINTERLACETYPE il : {0, 1}) {
        const LONG h = 6;
        std::vector<BYTE> bmp(4 * w * h);
        yuvtest::FillRandom(bmp.data(), bmp.size(), static_cast<uint32_t>(w * 3 + code));
        WuDisallowCPUSupport(0x40);
        const auto i420 = Encode(WU_FOURCC_I420, w, h, bmp.data(), 28, Options(code, 0, il), 0);
        const auto yuyv = Encode(WU_FOURCC_YUYV, w, h, bmp.data(), 28, Options(code, 0, il), 0);
        WuAllowCPUSupport(0x40);
        ASSERT_EQ(Encode(WU_FOURCC_I420, w, h, bmp.data(), 28, Options(code, 0, il), 0), i420)
            << w;
        ASSERT_EQ(Encode(WU_FOURCC_YUYV, w, h, bmp.data(), 28, Options(code, 0, il), 0), yuyv)
            << w;
      }
}

}  // namespace
