// Images for the scaler tests: tightly allocated pixel buffers (so that
// AddressSanitizer sees any access past them), top-down or bottom-up, with
// 4-byte or float pixels, and the four scalers as a table.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/WuSystem.h"
#include "imaging/WuDibScale.h"

namespace scaletest {

constexpr LONG kPx = 0x4000;  // one pixel in Q14

using ScaleFn = HRESULT (*)(void*, const SIZE*, LONG, const RECT*, const void*, const SIZE*, LONG,
                            const RECT*, int, int, int);

struct Scaler {
  const char* name;
  ScaleFn fn;
  bool subPixel;  // rectangles in Q14 rather than whole pixels
};
inline const Scaler kScalers[] = {
    {"BiCubic", WuDibScale_BiCubic, false},
    {"BiCubicSubPixel", WuDibScale_BiCubicSubPixel, true},
    {"Bilinear", WuDibScale_Bilinear, false},
    {"BilinearSubPixel", WuDibScale_BilinearSubPixel, true},
};

// A pixel buffer of exactly width * height * bpp bytes. Row 0 is the top
// line; a bottom-up image stores it last and has a negative stride.
struct Image {
  int w = 0;
  int h = 0;
  int bpp = 4;
  bool bottomUp = false;
  std::vector<BYTE> data;

  Image(int width, int height, int bytesPerPixel = 4, bool bottomUpRows = false)
      : w(width), h(height), bpp(bytesPerPixel), bottomUp(bottomUpRows),
        data(static_cast<size_t>(width) * height * bytesPerPixel) {}

  SIZE Size() const { return SIZE{w, h}; }
  LONG Stride() const { return bottomUp ? -w * bpp : w * bpp; }
  BYTE* Bits() { return bottomUp ? data.data() + static_cast<size_t>(h - 1) * w * bpp : data.data(); }
  const BYTE* Bits() const { return const_cast<Image*>(this)->Bits(); }
  BYTE* At(int x, int y) { return Bits() + static_cast<ptrdiff_t>(y) * Stride() + x * bpp; }
  const BYTE* At(int x, int y) const { return const_cast<Image*>(this)->At(x, y); }
  const float* F(int x, int y) const { return reinterpret_cast<const float*>(At(x, y)); }
  float* F(int x, int y) { return reinterpret_cast<float*>(At(x, y)); }

  void FillBytes(BYTE v) { std::memset(data.data(), v, data.size()); }
  void FillPixel(const BYTE px[4]) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) std::memcpy(At(x, y), px, 4);
  }
  void FillFloat(float v) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c) F(x, y)[c] = v;
  }
  void Random(uint32_t seed) {
    std::mt19937 gen(seed);
    if (bpp == 16) {
      std::uniform_real_distribution<float> d(0.0f, 1.0f);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int c = 0; c < 4; ++c) F(x, y)[c] = d(gen);
    } else {
      for (BYTE& b : data) b = static_cast<BYTE>(gen());
    }
  }
};

// Scales src into dst with the given scaler and rectangles.
inline HRESULT Scale(const Scaler& s, Image& dst, const RECT* dstRect, const Image& src,
                     const RECT* srcRect, int area = 0, int overwrite = 0) {
  const SIZE ds = dst.Size();
  const SIZE ss = src.Size();
  return s.fn(dst.Bits(), &ds, dst.Stride(), dstRect, src.Bits(), &ss, src.Stride(), srcRect,
              dst.bpp, area, overwrite);
}
inline HRESULT Scale(ScaleFn fn, Image& dst, const RECT* dstRect, const Image& src,
                     const RECT* srcRect, int area = 0, int overwrite = 0) {
  return Scale(Scaler{"", fn, true}, dst, dstRect, src, srcRect, area, overwrite);
}

// Scales `src` as bytes and as floats (byte / 255) with the same call, both
// with and without the overwrite flag over a destination of 40, and
// expects every byte result within `tolerance` of the float result times
// 255.
inline void ExpectBytesFollowFloats(ScaleFn fn, const Image& src, int dstW, int dstH,
                                    const RECT* dstQ, const RECT* srcQ, int area,
                                    double tolerance) {
  Image fsrc(src.w, src.h, 16);
  for (int y = 0; y < src.h; ++y)
    for (int x = 0; x < src.w; ++x)
      for (int ch = 0; ch < 4; ++ch) fsrc.F(x, y)[ch] = src.At(x, y)[ch] / 255.0f;
  for (int overwrite = 0; overwrite <= 1; ++overwrite) {
    Image dst(dstW, dstH);
    dst.FillBytes(40);
    Image fdst(dstW, dstH, 16);
    fdst.FillFloat(40 / 255.0f);
    ASSERT_EQ(Scale(fn, dst, dstQ, src, srcQ, area, overwrite), 0);
    ASSERT_EQ(Scale(fn, fdst, dstQ, fsrc, srcQ, area, overwrite), 0);
    for (int y = 0; y < dstH; ++y)
      for (int x = 0; x < dstW; ++x)
        for (int ch = 0; ch < 4; ++ch)
          ASSERT_NEAR(dst.At(x, y)[ch], fdst.F(x, y)[ch] * 255.0f, tolerance)
              << src.w << "x" << src.h << " to " << dstW << "x" << dstH << " at " << x << ","
              << y << " overwrite " << overwrite;
  }
}

// Random bytes of 64..191, so that cubic overshoot stays inside 0..255
// (the integer forms clamp, the float ones do not).
inline Image MidRangePicture(int w, int h, uint32_t seed) {
  Image img(w, h);
  img.Random(seed);
  for (BYTE& b : img.data) b = static_cast<BYTE>(64 + b / 2);
  return img;
}

// Forces the interior rows of the integer linear worker to one form while
// it lives: 0x40 hidden gives the "MMX" formula, 0x50 hidden the scalar form.
class CpuMask {
 public:
  explicit CpuMask(DWORD hidden) : hidden_(hidden) { WuDisallowCPUSupport(hidden); }
  ~CpuMask() { WuAllowCPUSupport(hidden_); }
  CpuMask(const CpuMask&) = delete;
  CpuMask& operator=(const CpuMask&) = delete;

 private:
  DWORD hidden_;
};
constexpr DWORD kScalarForm = WUCPU_SSE2 | WUCPU_MMX;
constexpr DWORD kMmxForm = WUCPU_SSE2;

}  // namespace scaletest
