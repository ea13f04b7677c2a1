// Frame conversion entry points: the checks, the kernel tables, the matrix
// rule and the bitmap defaults.
#include "imaging/WuYuvConvert.h"

#include <gtest/gtest.h>

#include <vector>

#include "YuvFixture.h"
#include "imaging/WuDib.h"
#include "imaging/WuGammaCurve.h"
#include "imaging/WuYuvKernels.h"
#include "platform/kernel/memory.h"

namespace {

using yuvtest::Guarded;
using yuvtest::RgbHeader;
using yuvtest::YuvHeader;

constexpr DWORD kFourccs[] = {WU_FOURCC_UYVY, WU_FOURCC_YUYV, WU_FOURCC_V210, WU_FOURCC_I420};

using yuvtest::Options;

// A YUV image of a FOURCC with its layout and a guarded buffer.
struct YuvImage {
  BITMAPINFOHEADER header;
  WUYUVPLANELAYOUT layout{};
  Guarded buffer;
  YuvImage(DWORD fourcc, LONG w, LONG h, BYTE fill = Guarded::kFill)
      : header(YuvHeader(fourcc, w, h)), buffer(Size(fourcc, w, h, &layout), fill) {}
  static size_t Size(DWORD fourcc, LONG w, LONG h, WUYUVPLANELAYOUT* layout) {
    BITMAPINFOHEADER hdr = YuvHeader(fourcc, w, h);
    return WuYUVImageBytesAndOffsets(&hdr, layout);
  }
};

// A bitmap of a type with a guarded row buffer.
struct Bitmap {
  BITMAPINFOHEADER header;
  LONG stride;
  Guarded rows;
  Bitmap(WUPIXELTYPE type, LONG w, LONG h)
      : header(RgbHeader(type, w, h)),
        stride(WuDibGetStride(&header, 0)),
        rows(static_cast<size_t>(stride) * h) {}
};

TEST(YuvConvert, UnknownFourccAndEmptySlotsFail) {
  YuvImage y41b(WU_FOURCC_Y41B, 8, 8);
  Bitmap rgb(28, 8, 8);
  const WUYUVCONVERTOPTIONS o = Options(0);
  EXPECT_EQ(WuYUV_YUVToRGB(&rgb.header, 0, rgb.rows.data(), 0, &y41b.header, &o,
                           y41b.buffer.data(), &y41b.layout, 0, 0),
            E_FAIL);
  EXPECT_EQ(WuYUV_RGBToYUV(&y41b.header, &o, y41b.buffer.data(), &y41b.layout, &rgb.header, 0,
                           rgb.rows.data(), 0, 0, 0),
            E_FAIL);
  for (DWORD fourcc : kFourccs)
    for (WUPIXELTYPE type : {28, 32})
      for (int step = 1; step <= 3; ++step) {
        YuvImage yuv(fourcc, 16, 16);
        Bitmap small(type, 16 >> step, 16 >> step);
        EXPECT_EQ(WuYUV_RGBToYUV(&yuv.header, &o, yuv.buffer.data(), &yuv.layout, &small.header,
                                 1.0, small.rows.data(), 0, step, 0),
                  E_FAIL);
        EXPECT_TRUE(yuv.buffer.AllEqual(Guarded::kFill));
      }
  EXPECT_TRUE(rgb.rows.AllEqual(Guarded::kFill));
  EXPECT_TRUE(y41b.buffer.AllEqual(Guarded::kFill));
}

// One refusal: a valid 16 x 8 conversion with one thing changed.
struct Refusal {
  const char* what;
  DWORD fourcc;
  WUPIXELTYPE type;
  LONG rgbW, rgbH, yuvW, yuvH;
  int step;
  LONG stride;       // 0: natural
  int layoutChange;  // 0 none, 1 null layout, 2 short luma pitch, 3 short chroma pitch
  int nullArg;       // 0 none, 1 rgb header, 2 yuv header, 3 options, 4 yuv buffer
  HRESULT expected;
};
const Refusal kRefusals[] = {
    {"null rgb header", WU_FOURCC_UYVY, 28, 16, 8, 16, 8, 0, 0, 0, 1, E_POINTER},
    {"null yuv header", WU_FOURCC_YUYV, 28, 16, 8, 16, 8, 0, 0, 0, 2, E_POINTER},
    {"null options", WU_FOURCC_V210, 28, 16, 8, 16, 8, 0, 0, 0, 3, E_POINTER},
    {"null buffer", WU_FOURCC_I420, 28, 16, 8, 16, 8, 0, 0, 0, 4, E_POINTER},
    {"null layout read", WU_FOURCC_YUYV, 32, 16, 8, 16, 8, 0, 0, 1, 0, E_POINTER},
    {"null layout read i420", WU_FOURCC_I420, 28, 16, 8, 16, 8, 0, 0, 1, 0, E_POINTER},
    {"step 4", WU_FOURCC_UYVY, 28, 1, 1, 16, 8, 4, 0, 0, 0, E_INVALIDARG},
    {"step -1", WU_FOURCC_I420, 28, 16, 8, 16, 8, -1, 0, 0, 0, E_INVALIDARG},
    {"24-bit bitmap", WU_FOURCC_UYVY, 27, 16, 8, 16, 8, 0, 0, 0, 0, E_INVALIDARG},
    {"16-bit bitmap", WU_FOURCC_V210, 26, 16, 8, 16, 8, 0, 0, 0, 0, E_INVALIDARG},
    {"top-down bitmap", WU_FOURCC_YUYV, 28, 16, -8, 16, 8, 0, 0, 0, 0, E_INVALIDARG},
    {"zero yuv height", WU_FOURCC_I420, 28, 16, 8, 16, 0, 0, 0, 0, 0, E_INVALIDARG},
    {"negative yuv width", WU_FOURCC_V210, 28, 16, 8, -16, 8, 0, 0, 0, 0, E_INVALIDARG},
    {"rgb size differs", WU_FOURCC_YUYV, 28, 16, 4, 16, 8, 0, 0, 0, 0, E_INVALIDARG},
    {"rgb size at step", WU_FOURCC_UYVY, 32, 16, 8, 16, 8, 1, 0, 0, 0, E_INVALIDARG},
    {"odd width uyvy", WU_FOURCC_UYVY, 28, 15, 8, 15, 8, 0, 0, 0, 0, E_INVALIDARG},
    {"odd width v210", WU_FOURCC_V210, 32, 15, 8, 15, 8, 0, 0, 0, 0, E_INVALIDARG},
    {"width not 2^s", WU_FOURCC_YUYV, 28, 2, 1, 10, 4, 2, 0, 0, 0, E_INVALIDARG},
    {"height not 2^s", WU_FOURCC_V210, 28, 2, 1, 16, 12, 3, 0, 0, 0, E_INVALIDARG},
    {"i420 odd height", WU_FOURCC_I420, 28, 16, 7, 16, 7, 0, 0, 0, 0, E_INVALIDARG},
    {"i420 2^(s+1)", WU_FOURCC_I420, 28, 3, 2, 12, 8, 2, 0, 0, 0, E_INVALIDARG},
    {"short stride", WU_FOURCC_UYVY, 28, 16, 8, 16, 8, 0, 60, 0, 0, E_INVALIDARG},
    {"short negative stride", WU_FOURCC_I420, 32, 16, 8, 16, 8, 0, -252, 0, 0, E_INVALIDARG},
    {"short luma pitch", WU_FOURCC_V210, 28, 16, 8, 16, 8, 0, 0, 2, 0, E_INVALIDARG},
    {"short chroma pitch", WU_FOURCC_I420, 32, 16, 8, 16, 8, 0, 0, 3, 0, E_INVALIDARG},
};

TEST(YuvConvert, RefusalsLeaveEveryByteAlone) {
  for (const Refusal& r : kRefusals)
    for (bool encoding : {false, true}) {
      if (encoding && r.step != 0 && r.step >= 0 && r.step <= 3) continue;  // E_FAIL there
      const LONG yw = r.yuvW > 0 ? r.yuvW : 16, yh = r.yuvH > 0 ? r.yuvH : 8;
      YuvImage yuv(r.fourcc, yw, yh);
      yuv.header.biWidth = r.yuvW;
      yuv.header.biHeight = r.yuvH;
      const LONG rh = r.rgbH > 0 ? r.rgbH : -r.rgbH;
      Bitmap rgb(r.type, r.rgbW, rh);
      rgb.header.biHeight = r.rgbH;
      WUYUVPLANELAYOUT layout = yuv.layout;
      if (r.layoutChange == 2) layout.lumaStride -= 1;
      if (r.layoutChange == 3) layout.vStride = yw / 2 - 1;
      const WUYUVPLANELAYOUT* lp = r.layoutChange == 1 ? nullptr : &layout;
      const WUYUVCONVERTOPTIONS o = Options(0);
      const BITMAPINFOHEADER* rh_ = r.nullArg == 1 ? nullptr : &rgb.header;
      const BITMAPINFOHEADER* yh_ = r.nullArg == 2 ? nullptr : &yuv.header;
      const WUYUVCONVERTOPTIONS* op = r.nullArg == 3 ? nullptr : &o;
      BYTE* buf = r.nullArg == 4 ? nullptr : yuv.buffer.data();
      const HRESULT hr =
          encoding ? WuYUV_RGBToYUV(yh_, op, buf, lp, rh_, 1.0, rgb.rows.data(), r.stride, r.step, 0)
                   : WuYUV_YUVToRGB(rh_, 1.0, rgb.rows.data(), r.stride, yh_, op, buf, lp,
                                    r.step, 0);
      EXPECT_EQ(hr, r.expected) << r.what << (encoding ? " encoding" : " decoding");
      EXPECT_TRUE(rgb.rows.AllEqual(Guarded::kFill)) << r.what;
      EXPECT_TRUE(yuv.buffer.AllEqual(Guarded::kFill)) << r.what;
    }
}

TEST(YuvConvert, EveryValidShapeConvertsInsideItsBuffers) {
  for (DWORD fourcc : kFourccs)
    for (WUPIXELTYPE type : {28, 29, 32})
      for (int step = 0; step <= 3; ++step) {
        const LONG w = fourcc == WU_FOURCC_I420 ? 32 : 24, h = 16;
        YuvImage yuv(fourcc, w, h, 0x80);
        Bitmap rgb(type, w >> step, h >> step);
        const WUYUVCONVERTOPTIONS o = Options(0, 2.2, 1);
        EXPECT_EQ(WuYUV_YUVToRGB(&rgb.header, 1.0, rgb.rows.data(), 0, &yuv.header, &o,
                                 yuv.buffer.data(), &yuv.layout, step, 0),
                  S_OK);
        EXPECT_TRUE(rgb.rows.GuardsIntact());
        if (step == 0) {
          EXPECT_EQ(WuYUV_RGBToYUV(&yuv.header, &o, yuv.buffer.data(), &yuv.layout, &rgb.header,
                                   1.0, rgb.rows.data(), 0, 0, 0),
                    S_OK);
          EXPECT_TRUE(yuv.buffer.GuardsIntact());
        }
      }
}

TEST(YuvConvert, V210IntoFloatAtStepTwoRunsTheQuarterKernel) {
  // 24 x 8 neutral v210 with luma 64 * 4 = 256 (8-bit 64): a 6 x 2 picture.
  YuvImage yuv(WU_FOURCC_V210, 24, 8, 0);
  for (size_t g = 0; g < yuv.buffer.size(); g += 16) {
    yuvtest::WriteLE32(&yuv.buffer[g], yuvtest::V210Word(512, 256, 512));
    yuvtest::WriteLE32(&yuv.buffer[g + 4], yuvtest::V210Word(256, 512, 256));
    yuvtest::WriteLE32(&yuv.buffer[g + 8], yuvtest::V210Word(512, 256, 512));
    yuvtest::WriteLE32(&yuv.buffer[g + 12], yuvtest::V210Word(256, 512, 256));
  }
  Bitmap rgb(32, 6, 2);
  const WUYUVCONVERTOPTIONS o = Options(0, 1.0);
  ASSERT_EQ(WuYUV_YUVToRGB(&rgb.header, 1.0, rgb.rows.data(), 0, &yuv.header, &o,
                           yuv.buffer.data(), &yuv.layout, 2, 0),
            S_OK);
  const float* px = reinterpret_cast<const float*>(rgb.rows.data());
  for (int i = 0; i < 12; ++i) {
    EXPECT_FLOAT_EQ(px[4 * i], 48.0f / 219.0f) << i;
    EXPECT_EQ(px[4 * i + 3], 1.0f);
  }
  EXPECT_TRUE(rgb.rows.GuardsIntact());
}

// Decodes a one-colour YUYV frame (Y 100, U 200, V 50) 2 pixels wide.
std::vector<BYTE> DecodeYuyv(LONG h, int step, LONG code) {
  YuvImage yuv(WU_FOURCC_YUYV, 2, h, 0);
  for (size_t i = 0; i < yuv.buffer.size(); i += 4) {
    yuv.buffer[i] = 100;
    yuv.buffer[i + 1] = 200;
    yuv.buffer[i + 2] = 100;
    yuv.buffer[i + 3] = 50;
  }
  Bitmap rgb(28, 2 >> step, h >> step);
  const WUYUVCONVERTOPTIONS o = Options(code);
  EXPECT_EQ(WuYUV_YUVToRGB(&rgb.header, 0, rgb.rows.data(), 0, &yuv.header, &o,
                           yuv.buffer.data(), &yuv.layout, step, 0),
            S_OK);
  return std::vector<BYTE>(rgb.rows.data(), rgb.rows.data() + 4);
}

TEST(YuvConvert, MatrixByCodeOrDecodedHeight) {
  const auto bt601 = DecodeYuyv(480, 0, 515), bt709 = DecodeYuyv(480, 0, 516);
  ASSERT_NE(bt601, bt709);
  EXPECT_EQ(DecodeYuyv(1080, 0, 0), bt709);
  EXPECT_EQ(DecodeYuyv(576, 0, 0), bt601);
  EXPECT_EQ(DecodeYuyv(1080, 0, 515), bt601);
  EXPECT_EQ(DecodeYuyv(1080, 1, 0), bt601) << "the reduced height (540) decides";
  EXPECT_EQ(DecodeYuyv(1080, 1, 516), bt709);
}

TEST(YuvConvert, NullBitsAndZeroStrideUseTheBlock) {
  BITMAPINFOHEADER* dib = nullptr;
  ASSERT_EQ(WuDibAlloc(&dib, 28, 722, 2, nullptr, 0, 0), S_OK);
  EXPECT_EQ(WuDibGetStride(dib, 0), 2888);
  YuvImage yuv(WU_FOURCC_UYVY, 722, 2, 0);
  for (size_t i = 0; i < yuv.buffer.size(); i += 4) {
    yuv.buffer[i] = yuv.buffer[i + 2] = 128;
    yuv.buffer[i + 1] = yuv.buffer[i + 3] = i < 2 * 722 ? 40 : 200;  // row 0 dark, row 1 light
  }
  const WUYUVCONVERTOPTIONS o = Options(0);
  ASSERT_EQ(WuYUV_YUVToRGB(dib, 0, nullptr, 0, &yuv.header, &o, yuv.buffer.data(), &yuv.layout,
                           0, 0),
            S_OK);
  const BYTE* bits = WuDibGetBits(dib);
  EXPECT_EQ(bits[0], 200) << "the picture's top row is the last in memory";
  EXPECT_EQ(bits[2888 + 4 * 721], 40);
  EXPECT_EQ(bits[2888 + 4 * 721 + 3], 255);
  WuDibFree(dib, 0);
}

TEST(YuvConvert, I420SourceRowZeroIsTheLastBitmapRow) {
  for (int step = 0; step <= 2; ++step) {
    YuvImage yuv(WU_FOURCC_I420, 16, 8, 128);
    for (int x = 0; x < 16; ++x) yuv.buffer[x] = 30;  // source row 0
    Bitmap rgb(28, 16 >> step, 8 >> step);
    const WUYUVCONVERTOPTIONS o = Options(515);
    ASSERT_EQ(WuYUV_YUVToRGB(&rgb.header, 0, rgb.rows.data(), 0, &yuv.header, &o,
                             yuv.buffer.data(), &yuv.layout, step, 0),
              S_OK);
    const BYTE* last = rgb.rows.data() + rgb.stride * ((8 >> step) - 1);
    const int expected = step == 0 ? 30 : (step == 1 ? (30 * 2 + 128 * 2) / 4 : (30 * 4 + 128 * 12 + 8) / 16);  // + the rounding term
    EXPECT_EQ(last[0], expected) << "step " << step;
    EXPECT_EQ(rgb.rows[0], 128) << "step " << step;
  }
}

}  // namespace

namespace {

// A table builder that fails as an allocation would: no table.
void NoTable(WuGammaCurve* curve, int) { WuGammaCurve_FreeTables(curve); }

TEST(YuvConvert, GammaTableThatCannotBeAllocatedWritesNothing) {
  WuYUV_SetGammaTableBuilder(NoTable);
  for (DWORD fourcc : kFourccs)
    for (int step : {0, 1}) {
      const LONG w = 24, h = 8;
      YuvImage yuv(fourcc, w, h, 0x80);
      Bitmap rgb(32, w >> step, h >> step);
      // Image gamma 2.2 against the bitmap's 1.0: a curve is needed.
      const WUYUVCONVERTOPTIONS o = yuvtest::Options(0, 2.2);
      EXPECT_EQ(WuYUV_YUVToRGB(&rgb.header, 1.0, rgb.rows.data(), 0, &yuv.header, &o,
                               yuv.buffer.data(), &yuv.layout, step, 0),
                E_OUTOFMEMORY);
      EXPECT_TRUE(rgb.rows.AllEqual(Guarded::kFill));
      if (step == 0) {
        EXPECT_EQ(WuYUV_RGBToYUV(&yuv.header, &o, yuv.buffer.data(), &yuv.layout, &rgb.header,
                                 1.0, rgb.rows.data(), 0, 0, 0),
                  E_OUTOFMEMORY);
        EXPECT_TRUE(yuv.buffer.AllEqual(0x80));
      }
    }
  WuYUV_SetGammaTableBuilder(nullptr);
  YuvImage yuv(WU_FOURCC_UYVY, 8, 2, 0x80);
  Bitmap rgb(32, 8, 2);
  const WUYUVCONVERTOPTIONS o = yuvtest::Options(0, 2.2);
  EXPECT_EQ(WuYUV_YUVToRGB(&rgb.header, 1.0, rgb.rows.data(), 0, &yuv.header, &o,
                           yuv.buffer.data(), &yuv.layout, 0, 0),
            S_OK);
}

}  // namespace
