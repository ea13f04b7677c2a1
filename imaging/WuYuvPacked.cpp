// Packed 4:2:2 converters, v210 to UYVY, RGBA to YUYV rows, gamma ratio.
#include "imaging/WuYuvPacked.h"

#include <emmintrin.h>

#include <cstddef>
#include <cstdlib>

#include "foundation/WuSystem.h"
#include "imaging/WuYuvPackedRows.h"
#include "imaging/WuYuvSamples.h"

namespace wu_yuvpacked {

namespace {

// round(w * scale), adding 1.5e-8 first so that exact halves round up.
int RoundWeight(double w, double scale) {
  return _mm_cvtsd_si32(_mm_set_sd(w * scale + 1.5e-8));
}

}  // namespace

Weights MakeWeights(const WUYUVMATRIX* m) {
  const double* r = m->rgbToYuv;
  return {RoundWeight(r[0], 4096),       RoundWeight(r[1], 4096),      RoundWeight(r[2], 4096),
          RoundWeight(r[3], 2048),       RoundWeight(r[4], 2048),      RoundWeight(r[5], 2048),
          RoundWeight(r[6], 2048),       RoundWeight(r[7], 2048),      RoundWeight(r[8], 2048),
          RoundWeight(m->rFromCr, 4096), RoundWeight(m->gFromCr, 4096),
          RoundWeight(m->gFromCb, 4096), RoundWeight(m->bFromCb, 4096)};
}

void UyvyToRgbRow(const BYTE* s, BYTE* d, int width, int bpp, const Weights& w) {
  for (int x = 0; x < width; x += 2, s += 4) {
    const int u = s[0] - 128, v = s[2] - 128;
    const int tB = w.uToB * u, tG = w.uToG * u + w.vToG * v, tR = w.vToR * v;
    for (int i = 0; i < 2; ++i, d += bpp) {
      const int y = s[1 + 2 * i] * 4096 + 2048;
      d[0] = static_cast<BYTE>(Clamp((y + tB) >> 12, 0, 255));
      d[1] = static_cast<BYTE>(Clamp((y + tG) >> 12, 0, 255));
      d[2] = static_cast<BYTE>(Clamp((y + tR) >> 12, 0, 255));
      if (bpp == 4) d[3] = 255;
    }
  }
}

void RgbToUyvyRow(const BYTE* s, BYTE* d, int width, int bpp, const Weights& w) {
  for (int x = 0; x < width; x += 2, s += 2 * bpp, d += 4) {
    const BYTE* p0 = s;
    const BYTE* p1 = s + bpp;
    const int y0 = (w.yR * p0[2] + w.yG * p0[1] + w.yB * p0[0] + 2048) >> 12;
    const int y1 = (w.yR * p1[2] + w.yG * p1[1] + w.yB * p1[0] + 2048) >> 12;
    const int sr = p0[2] + p1[2], sg = p0[1] + p1[1], sb = p0[0] + p1[0];
    const int u = (w.uR * sr + w.uG * sg + w.uB * sb + 526336) >> 12;
    const int v = (w.vR * sr + w.vG * sg + w.vB * sb + 526336) >> 12;
    d[0] = static_cast<BYTE>(Clamp(u, 1, 254));
    d[1] = static_cast<BYTE>(Clamp(y0, 1, 254));
    d[2] = static_cast<BYTE>(Clamp(v, 1, 254));
    d[3] = static_cast<BYTE>(Clamp(y1, 1, 254));
  }
}

}  // namespace wu_yuvpacked

using namespace wu_yuvpacked;

namespace {

typedef void (*RowFn)(const BYTE*, BYTE*, int, int, const Weights&);

HRESULT CheckArgs(const void* a, const void* b, LONG stride, int width, int height, int bpp) {
  if (!a || !b) return E_POINTER;
  if (height <= 0 || width <= 0 || (width & 1) != 0) return E_INVALIDARG;
  if (std::llabs(static_cast<long long>(stride)) < static_cast<long long>(bpp) * width)
    return E_INVALIDARG;
  return S_OK;
}

bool UseSse2() { return WuGetCPUSupport(0x40) != 0; }

HRESULT FromUyvy(BYTE* dst, const BYTE* uyvy, LONG stride, int width, int height,
                 LONG matrixCode, int bpp) {
  const HRESULT hr = CheckArgs(dst, uyvy, stride, width, height, bpp);
  if (FAILED(hr)) return hr;
  const Weights w = MakeWeights(WuYUV_GetMatrixTable(matrixCode, height));
  const RowFn row = UseSse2() ? UyvyToRgbRowSse2 : UyvyToRgbRow;
  for (int r = 0; r < height; ++r)
    row(uyvy + static_cast<ptrdiff_t>(r) * 2 * width, dst + static_cast<ptrdiff_t>(r) * stride,
        width, bpp, w);
  return S_OK;
}

HRESULT ToUyvy(BYTE* uyvy, const BYTE* src, LONG stride, int width, int height,
               LONG matrixCode, int bpp) {
  const HRESULT hr = CheckArgs(uyvy, src, stride, width, height, bpp);
  if (FAILED(hr)) return hr;
  const Weights w = MakeWeights(WuYUV_GetMatrixTable(matrixCode, height));
  const RowFn row = UseSse2() ? RgbToUyvyRowSse2 : RgbToUyvyRow;
  for (int r = 0; r < height; ++r)
    row(src + static_cast<ptrdiff_t>(r) * stride, uyvy + static_cast<ptrdiff_t>(r) * 2 * width,
        width, bpp, w);
  return S_OK;
}

}  // namespace

HRESULT WuUYVY2RGBA(BYTE* dst, const BYTE* uyvy, LONG stride, int width, int height,
                    LONG matrixCode) {
  return FromUyvy(dst, uyvy, stride, width, height, matrixCode, 4);
}

HRESULT WuUYVY2RGB(BYTE* dst, const BYTE* uyvy, LONG stride, int width, int height,
                   LONG matrixCode) {
  return FromUyvy(dst, uyvy, stride, width, height, matrixCode, 3);
}

HRESULT WuRGBA2UYVY(BYTE* uyvy, const BYTE* src, LONG stride, int width, int height,
                    LONG matrixCode) {
  return ToUyvy(uyvy, src, stride, width, height, matrixCode, 4);
}

HRESULT WuRGB2UYVY(BYTE* uyvy, const BYTE* src, LONG stride, int width, int height,
                   LONG matrixCode) {
  return ToUyvy(uyvy, src, stride, width, height, matrixCode, 3);
}

// ---- v210 ------------------------------------------------------------------------------

namespace {

using wu_yuv::ReadLE32;
// The 8-bit form of the 10-bit field at bit `shift` of a word.
inline BYTE Field8(DWORD word, int shift) { return static_cast<BYTE>((word >> (shift + 2)) & 0xFF); }

}  // namespace

HRESULT WuYUV_v210_TO_UYVY(BYTE* dst, const BYTE* v210, LONG dstStride, LONG srcStride,
                           int width, int height) {
  if (!dst || !v210) return E_POINTER;
  if (dstStride <= 0 || srcStride <= 0 || width <= 0 || (width & 1) != 0 || height <= 0)
    return E_INVALIDARG;
  if (static_cast<long long>(dstStride) < 2LL * width ||
      static_cast<long long>(srcStride) < ((width + 5LL) / 6) * 16)
    return E_INVALIDARG;
  const int groups = width / 6, rest = width % 6;
  for (int r = 0; r < height; ++r) {
    const BYTE* s = v210 + static_cast<ptrdiff_t>(r) * srcStride;
    BYTE* d = dst + static_cast<ptrdiff_t>(r) * dstStride;
    for (int g = 0; g < groups; ++g, s += 16, d += 12) {
      const DWORD w0 = ReadLE32(s), w1 = ReadLE32(s + 4), w2 = ReadLE32(s + 8),
                  w3 = ReadLE32(s + 12);
      const BYTE out[12] = {Field8(w0, 0),  Field8(w0, 10), Field8(w0, 20), Field8(w1, 0),
                            Field8(w1, 10), Field8(w1, 20), Field8(w2, 0),  Field8(w2, 10),
                            Field8(w2, 20), Field8(w3, 0),  Field8(w3, 10), Field8(w3, 20)};
      for (int i = 0; i < 12; ++i) d[i] = out[i];
    }
    if (rest >= 2) {
      const DWORD w0 = ReadLE32(s), w1 = ReadLE32(s + 4);
      d[0] = Field8(w0, 0);
      d[1] = Field8(w0, 10);
      d[2] = Field8(w0, 20);
      d[3] = Field8(w1, 0);
      if (rest >= 4) {
        const DWORD w2 = ReadLE32(s + 8);
        d[4] = Field8(w1, 10);
        d[5] = Field8(w1, 20);
        d[6] = Field8(w2, 0);
        d[7] = Field8(w2, 10);
      }
    }
  }
  return S_OK;
}

// ---- RGBA to YUYV rows -------------------------------------------------------------------

namespace {

struct YuyvWeights {
  int yR, yG, yB, uR, uG, uB, vR, vG, vB;
};
constexpr YuyvWeights kYuyv601 = {4899, 9617, 1868, -2903, -5699, 8602, 8602, -7203, -1399};
constexpr YuyvWeights kYuyv709 = {3482, 11721, 1181, -1876, -6316, 8192, 8192, -7442, -750};

inline BYTE Sat8(int v) { return static_cast<BYTE>(Clamp(v, 0, 255)); }
inline int Chroma(int c) { return 128 + (((c >> 9) + 32) >> 6); }

// Luma (32-bit lanes) and chroma (lanes U0 U1 V0 V1) of four pixels with
// SSE2: the same integer steps as the plain loop, before saturation.
inline void YuyvSamples4(__m128i wY, __m128i wU, __m128i wV, const BYTE* s, __m128i* y,
                         __m128i* uv) {
  __m128i p01, p23, ySum, c;
  LoadBgr4(s, &p01, &p23);
  WeighPixels4(p01, p23, wY, wU, wV, &ySum, &c);
  *y = _mm_srai_epi32(_mm_add_epi32(ySum, _mm_set1_epi32(8192)), 14);
  // U = 128 + (((c >> 9) + 32) >> 6).
  *uv = _mm_add_epi32(_mm_set1_epi32(128),
                      _mm_srai_epi32(_mm_add_epi32(_mm_srai_epi32(c, 9), _mm_set1_epi32(32)), 6));
}

// Eight pixels (four pairs) of a row with SSE2.
inline void YuyvPairsSse2(__m128i wY, __m128i wU, __m128i wV, const BYTE* s, BYTE* d) {
  __m128i y0, uv0, y1, uv1;
  YuyvSamples4(wY, wU, wV, s, &y0, &uv0);
  YuyvSamples4(wY, wU, wV, s + 16, &y1, &uv1);
  __m128i uv = _mm_packs_epi32(uv0, uv1);  // U0 U1 V0 V1 U2 U3 V2 V3
  uv = _mm_shufflehi_epi16(_mm_shufflelo_epi16(uv, _MM_SHUFFLE(3, 1, 2, 0)),
                           _MM_SHUFFLE(3, 1, 2, 0));  // U0 V0 U1 V1 U2 V2 U3 V3
  const __m128i y = _mm_packs_epi32(y0, y1);
  const __m128i out = _mm_packus_epi16(_mm_unpacklo_epi16(y, uv), _mm_unpackhi_epi16(y, uv));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), out);  // Y0 U0 Y1 V0 ...
}

void YuyvRows(const YuyvWeights& w, BYTE* dst, int width, int rows, const BYTE* src,
              LONG srcStride) {
  const int pairs = width / 2;
  const bool wide = WuGetCPUSupport(0x40) != 0;
  const __m128i wY = WeightsBgr0(w.yB, w.yG, w.yR);
  const __m128i wU = WeightsBgr0(w.uB, w.uG, w.uR);
  const __m128i wV = WeightsBgr0(w.vB, w.vG, w.vR);
  for (int r = 0; r < rows; ++r, src += srcStride) {
    const BYTE* s = src;
    int k = 0;
    if (wide)
      for (; k + 4 <= pairs; k += 4, s += 32, dst += 16) YuyvPairsSse2(wY, wU, wV, s, dst);
    for (; k < pairs; ++k, s += 8, dst += 4) {
      const int y0 = (w.yR * s[2] + w.yG * s[1] + w.yB * s[0] + 8192) >> 14;
      const int y1 = (w.yR * s[6] + w.yG * s[5] + w.yB * s[4] + 8192) >> 14;
      const int sr = s[2] + s[6], sg = s[1] + s[5], sb = s[0] + s[4];
      dst[0] = Sat8(y0);
      dst[1] = Sat8(Chroma(w.uB * sb + w.uG * sg + w.uR * sr));
      dst[2] = Sat8(y1);
      dst[3] = Sat8(Chroma(w.vB * sb + w.vG * sg + w.vR * sr));
    }
  }
}

}  // namespace

void WuYUV_RGBAToYUYVRows(BYTE* dst, int width, int rows, const BYTE* src, LONG srcStride) {
  YuyvRows(kYuyv601, dst, width, rows, src, srcStride);
}

void WuYUV_RGBAToYUYVRows709(BYTE* dst, int width, int rows, const BYTE* src, LONG srcStride) {
  YuyvRows(kYuyv709, dst, width, rows, src, srcStride);
}

// ---- Gamma ratio --------------------------------------------------------------------------

namespace {

double LimitGamma(double g) {
  if (g == 0.0) g = 2.2222222222222223;
  if (g < 0.5) return 0.5;
  if (g > 4.0) return 4.0;
  return g;
}

}  // namespace

BOOL WuYUV_GetGammaRatio(double a, double b, double* ratio) {
  const double r = LimitGamma(a) / LimitGamma(b);
  *ratio = r;
  return (r < 0.999 || r > 1.001) ? TRUE : FALSE;
}
