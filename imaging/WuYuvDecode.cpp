// YUV to RGB decoding kernels of the frame conversion table, 32-bit and
// floating-point families, full size and reduced by 2, 4 or 8.
//
// Channel arithmetic is single precision. The 32-bit family folds 219/224
// into the four inverse weights once per call and rounds each channel to a
// byte; the floating-point family writes a 0..1 scale without clamping and
// re-gammas through a sampled curve when the bitmap's gamma differs from
// the image's.
#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <cstddef>

#include "foundation/WuSystem.h"
#include "imaging/WuGammaCurve.h"
#include "imaging/WuYuvKernels.h"
#include "imaging/WuYuvPacked.h"
#include "imaging/WuYuvSamples.h"

namespace {
std::atomic<WUYUVTABLEBUILDER> g_tableBuilder{nullptr};
}  // namespace

void WuYUV_BuildGammaTable(WuGammaCurve* curve, int count) {
  const WUYUVTABLEBUILDER builder = g_tableBuilder.load(std::memory_order_acquire);
  (builder ? builder : WuGammaCurve_BuildTable)(curve, count);
}

void WuYUV_SetGammaTableBuilder(WUYUVTABLEBUILDER builder) {
  g_tableBuilder.store(builder, std::memory_order_release);
}

BYTE WuYUV_ClampRoundByte(float value) {
  double v = value;
  if (value < 0.0f)
    v = 0.0;
  else if (value > 255.0f)
    v = 255.0;
  // Round to nearest in the default mode; the small bias lifts exact halves.
  return static_cast<BYTE>(_mm_cvtsd_si32(_mm_set_sd(v + 1.5e-8)));
}

void WuYUV_StoreBGRA8FromY10(int luma10, float redTerm, float greenTerm, float blueTerm,
                             BYTE* pixel) {
  const float y = static_cast<float>(luma10) * 0.25f;
  pixel[0] = WuYUV_ClampRoundByte(y + blueTerm);
  pixel[1] = WuYUV_ClampRoundByte(y + greenTerm);
  pixel[2] = WuYUV_ClampRoundByte(y + redTerm);
  pixel[3] = 255;
}

void WuYUV_StoreBGRAFloat(float luma, float offset, float scale, float redTerm, float greenTerm,
                          float blueTerm, float* pixel, const WuGammaCurve* curve) {
  const float l = (luma - offset) * scale;
  const float b = l + blueTerm, g = l + greenTerm, r = l + redTerm;
  if (curve) {
    pixel[0] = WuGammaCurve_Lookup(curve, b);
    pixel[1] = WuGammaCurve_Lookup(curve, g);
    pixel[2] = WuGammaCurve_Lookup(curve, r);
  } else {
    pixel[0] = b;
    pixel[1] = g;
    pixel[2] = r;
  }
  pixel[3] = 1.0f;
}

namespace {

using wu_yuv::Field10;
using wu_yuv::PackedOrder;
using wu_yuv::ReadLE32;
constexpr PackedOrder kUyvy = wu_yuv::kUyvyOrder;
constexpr PackedOrder kYuyv = wu_yuv::kYuyvOrder;

// One call's decoder: the weights and the pixel store of a family.
struct Decoder {
  bool isFloat;        // floating-point family
  float kR, kGb, kGr, kB;
  bool tenBit;         // v210 samples
  float lumaOffset;    // floating-point family
  float scale;         // floating-point family: luma scale
  int centre;          // chroma zero: 128 or 512
  const WuGammaCurve* curve;  // floating-point family re-gamma, or null
  int bytesPerPixel;   // 4 or 16
};

struct Terms {
  float r, g, b;
};
inline Terms MakeTerms(const Decoder& d, int cbSample, int crSample) {
  const float cb = static_cast<float>(cbSample - d.centre);
  const float cr = static_cast<float>(crSample - d.centre);
  return {d.kR * cr, d.kGr * cr + d.kGb * cb, d.kB * cb};
}
inline void Store(const Decoder& d, int luma, const Terms& t, BYTE* px) {
  if (d.isFloat) {
    WuYUV_StoreBGRAFloat(static_cast<float>(luma), d.lumaOffset, d.scale, t.r, t.g, t.b,
                         reinterpret_cast<float*>(px), d.curve);
  } else if (d.tenBit) {
    WuYUV_StoreBGRA8FromY10(luma, t.r, t.g, t.b, px);
  } else {
    const float y = static_cast<float>(luma);
    px[0] = WuYUV_ClampRoundByte(y + t.b);
    px[1] = WuYUV_ClampRoundByte(y + t.g);
    px[2] = WuYUV_ClampRoundByte(y + t.r);
    px[3] = 255;
  }
}

// The 32-bit family's weights: the matrix's inverse weights times 219/224.
Decoder Decoder32(const BITMAPINFOHEADER* rgbHeader, const WUYUVCONVERTOPTIONS* options,
                  bool tenBit) {
  const float* f = WuYUV_GetMatrixF(options->matrixCode, rgbHeader->biHeight)->weights;
  Decoder d{};
  d.kR = f[12] * 0.9776786f;
  d.kGb = f[13] * 0.9776786f;
  d.kGr = f[14] * 0.9776786f;
  d.kB = f[15] * 0.9776786f;
  d.centre = 128;
  if (tenBit) {
    d.kR *= 0.25f;
    d.kGb *= 0.25f;
    d.kGr *= 0.25f;
    d.kB *= 0.25f;
    d.tenBit = true;
    d.centre = 512;
  }
  d.bytesPerPixel = 4;
  return d;
}

// The floating-point family's set-up: range from the bitmap's gamma, the
// re-gamma curve when the two gammas differ. Owns the curve's tables.
class FloatDecoder {
 public:
  FloatDecoder(const BITMAPINFOHEADER* rgbHeader, double gamma,
               const WUYUVCONVERTOPTIONS* options, bool tenBit) {
    const float* f = WuYUV_GetMatrixF(options->matrixCode, rgbHeader->biHeight)->weights;
    const bool fullRange = gamma == 0.0;
    const float chroma = fullRange ? 0.0038340336f : 1.0f / 224.0f;
    d_.isFloat = true;
    d_.lumaOffset = fullRange ? 0.0f : 16.0f;
    d_.scale = fullRange ? 1.0f / 255.0f : 1.0f / 219.0f;
    d_.kR = f[12] * chroma;
    d_.kGb = f[13] * chroma;
    d_.kGr = f[14] * chroma;
    d_.kB = f[15] * chroma;
    d_.centre = 128;
    if (tenBit) {
      d_.lumaOffset *= 4.0f;
      d_.scale *= 0.25f;
      d_.kR *= 0.25f;
      d_.kGb *= 0.25f;
      d_.kGr *= 0.25f;
      d_.kB *= 0.25f;
      d_.centre = 512;
    }
    d_.bytesPerPixel = 16;
    WuGammaCurve_Init(&curve_);
    double ratio = 1.0;
    if (WuYUV_GetGammaRatio(options->imageGamma, gamma, &ratio)) {
      WuGammaCurve_SetGamma(&curve_, static_cast<float>(ratio));
      WuYUV_BuildGammaTable(&curve_, tenBit ? 1024 : 256);
      if (curve_.table)
        d_.curve = &curve_;
      else
        failed_ = true;
    }
  }
  ~FloatDecoder() { WuGammaCurve_FreeTables(&curve_); }
  FloatDecoder(const FloatDecoder&) = delete;
  FloatDecoder& operator=(const FloatDecoder&) = delete;

  // False when the curve's sample table could not be allocated.
  bool ok() const { return !failed_; }
  const Decoder& decoder() const { return d_; }

 private:
  Decoder d_{};
  WuGammaCurve curve_;
  bool failed_ = false;
};

// Output rows: row r (from the top) of a picture of `rows` rows.
struct Output {
  BYTE* bits;
  ptrdiff_t stride;
  int rows;
  BYTE* Row(int r) const { return bits + stride * (rows - 1 - r); }
};

// Whole-number offsets of four float terms: channel = clamp(y + offset).
// For integer luma y, rounding fl(y + t) half up gives y + round(t) unless
// t lies so near a half that the rounding of the sum (at most 2^-16 here)
// or the tie rule could decide it; `unsafe` then gets those lanes.
inline __m128i Offsets4(__m128 t, __m128* unsafe) {
  const __m128i nearest = _mm_cvtps_epi32(t);  // the default round-to-nearest mode
  const __m128 distance = _mm_and_ps(_mm_sub_ps(t, _mm_cvtepi32_ps(nearest)),
                                     _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
  *unsafe = _mm_or_ps(*unsafe, _mm_cmpge_ps(distance, _mm_set1_ps(0.5f - 1.0f / 4096.0f)));
  return nearest;
}

// The 32-bit family on 8-bit packed pairs, four pairs a step, giving the
// plain path's bytes: the terms are the same single-precision values, and
// each channel is luma plus the term's whole-number offset (groups where
// that could differ from rounding the float sum go through the plain
// path). Returns the pairs done.
int PackedRow32Sse2(const Decoder& d, const PackedOrder& o, const BYTE* s, BYTE* px,
                    int pairs) {
  const __m128i lowByte = _mm_set1_epi16(0x00FF);
  const __m128i lowWord = _mm_set1_epi32(0x0000FFFF);
  const __m128i centre = _mm_set1_epi32(d.centre);
  const __m128 kR = _mm_set1_ps(d.kR), kGb = _mm_set1_ps(d.kGb), kGr = _mm_set1_ps(d.kGr),
               kB = _mm_set1_ps(d.kB);
  const bool lumaFirst = o.y0 == 0;
  int k = 0;
  for (; k + 4 <= pairs; k += 4, s += 16, px += 32) {
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i y16 = lumaFirst ? _mm_and_si128(words, lowByte) : _mm_srli_epi16(words, 8);
    const __m128i c16 = lumaFirst ? _mm_srli_epi16(words, 8) : _mm_and_si128(words, lowByte);
    const __m128 cb = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_and_si128(c16, lowWord), centre));
    const __m128 cr = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_srli_epi32(c16, 16), centre));
    __m128 unsafe = _mm_setzero_ps();
    const __m128i oR = Offsets4(_mm_mul_ps(kR, cr), &unsafe);
    const __m128i oG = Offsets4(_mm_add_ps(_mm_mul_ps(kGr, cr), _mm_mul_ps(kGb, cb)), &unsafe);
    const __m128i oB = Offsets4(_mm_mul_ps(kB, cb), &unsafe);
    if (_mm_movemask_ps(unsafe)) break;
    const __m128i obg = _mm_packs_epi32(oB, oG), orr = _mm_packs_epi32(oR, oR);
    const __m128i b = _mm_adds_epi16(y16, _mm_unpacklo_epi16(obg, obg));
    const __m128i g = _mm_adds_epi16(y16, _mm_unpackhi_epi16(obg, obg));
    const __m128i r = _mm_adds_epi16(y16, _mm_unpacklo_epi16(orr, orr));
    const __m128i bg = _mm_unpacklo_epi8(_mm_packus_epi16(b, b), _mm_packus_epi16(g, g));
    const __m128i ra = _mm_unpacklo_epi8(_mm_packus_epi16(r, r), _mm_set1_epi8(-1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(px), _mm_unpacklo_epi16(bg, ra));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(px + 16), _mm_unpackhi_epi16(bg, ra));
  }
  return k;
}

void PackedFull(const Decoder& d, const PackedOrder& o, const Output& out,
                const BITMAPINFOHEADER* yuvHeader, const BYTE* yuv, ptrdiff_t pitch) {
  const int w = yuvHeader->biWidth, h = yuvHeader->biHeight;
  const int bpp = d.bytesPerPixel;
  const bool wide = !d.isFloat && WuGetCPUSupport(0x40) != 0;
  for (int r = 0; r < h; ++r) {
    const BYTE* s = yuv + pitch * r;
    BYTE* px = out.Row(r);
    int k = 0;
    while (k < w / 2) {
      // Wide groups while they are safe; then one group (or the row's
      // last pairs) the plain way.
      const int done = wide ? PackedRow32Sse2(d, o, s, px, w / 2 - k) : 0;
      k += done;
      s += 4 * done;
      px += 2 * bpp * done;
      for (const int end = std::min(w / 2, k + 4); k < end; ++k, s += 4, px += 2 * bpp) {
        const Terms t = MakeTerms(d, s[o.u], s[o.v]);
        Store(d, s[o.y0], t, px);
        Store(d, s[o.y1], t, px + bpp);
      }
    }
  }
}

void PackedReduced(const Decoder& d, const PackedOrder& o, const Output& out,
                   const BITMAPINFOHEADER* yuvHeader, const BYTE* yuv, ptrdiff_t pitch,
                   int step) {
  const int w = yuvHeader->biWidth >> step;
  for (int r = 0; r < out.rows; ++r) {
    const BYTE* s = yuv + pitch * (static_cast<ptrdiff_t>(r) << step);
    BYTE* px = out.Row(r);
    for (int x = 0; x < w; ++x, px += d.bytesPerPixel) {
      const BYTE* pair = s + 4 * ((x << step) / 2);
      Store(d, pair[o.y0], MakeTerms(d, pair[o.u], pair[o.v]), px);
    }
  }
}

// v210 pixel p of a row that carries its own chroma (p even): luma, Cb, Cr.
void V210EvenPixel(const BYTE* row, int p, int* y, int* cb, int* cr) {
  const BYTE* g = row + 16 * (p / 6);
  switch (p % 6) {
    case 0: {
      const DWORD w0 = ReadLE32(g);
      *cb = Field10(w0, 0), *y = Field10(w0, 1), *cr = Field10(w0, 2);
      break;
    }
    case 2: {
      const DWORD w1 = ReadLE32(g + 4), w2 = ReadLE32(g + 8);
      *cb = Field10(w1, 1), *y = Field10(w1, 2), *cr = Field10(w2, 0);
      break;
    }
    default: {
      const DWORD w2 = ReadLE32(g + 8), w3 = ReadLE32(g + 12);
      *cb = Field10(w2, 2), *y = Field10(w3, 0), *cr = Field10(w3, 1);
      break;
    }
  }
}

void V210Full(const Decoder& d, const Output& out, const BITMAPINFOHEADER* yuvHeader,
              const BYTE* yuv, ptrdiff_t pitch) {
  const int w = yuvHeader->biWidth, h = yuvHeader->biHeight;
  const int bpp = d.bytesPerPixel;
  for (int r = 0; r < h; ++r) {
    const BYTE* g = yuv + pitch * r;
    BYTE* px = out.Row(r);
    for (int k = 0; k < w / 6; ++k, g += 16, px += 6 * bpp) {
      const DWORD w0 = ReadLE32(g), w1 = ReadLE32(g + 4), w2 = ReadLE32(g + 8),
                  w3 = ReadLE32(g + 12);
      const Terms t0 = MakeTerms(d, Field10(w0, 0), Field10(w0, 2));
      Store(d, Field10(w0, 1), t0, px);
      Store(d, Field10(w1, 0), t0, px + bpp);
      const Terms t2 = MakeTerms(d, Field10(w1, 1), Field10(w2, 0));
      Store(d, Field10(w1, 2), t2, px + 2 * bpp);
      Store(d, Field10(w2, 1), t2, px + 3 * bpp);
      const Terms t4 = MakeTerms(d, Field10(w2, 2), Field10(w3, 1));
      Store(d, Field10(w3, 0), t4, px + 4 * bpp);
      Store(d, Field10(w3, 2), t4, px + 5 * bpp);
    }
    const int rest = w % 6;
    if (rest >= 2) {
      const DWORD w0 = ReadLE32(g), w1 = ReadLE32(g + 4);
      const Terms t0 = MakeTerms(d, Field10(w0, 0), Field10(w0, 2));
      Store(d, Field10(w0, 1), t0, px);
      Store(d, Field10(w1, 0), t0, px + bpp);
      if (rest >= 4) {
        const DWORD w2 = ReadLE32(g + 8);
        const Terms t2 = MakeTerms(d, Field10(w1, 1), Field10(w2, 0));
        Store(d, Field10(w1, 2), t2, px + 2 * bpp);
        Store(d, Field10(w2, 1), t2, px + 3 * bpp);
      }
    }
  }
}

void V210Reduced(const Decoder& d, const Output& out, const BITMAPINFOHEADER* yuvHeader,
                 const BYTE* yuv, ptrdiff_t pitch, int step) {
  const int w = yuvHeader->biWidth >> step;
  for (int r = 0; r < out.rows; ++r) {
    const BYTE* row = yuv + pitch * (static_cast<ptrdiff_t>(r) << step);
    BYTE* px = out.Row(r);
    for (int x = 0; x < w; ++x, px += d.bytesPerPixel) {
      int y, cb, cr;
      V210EvenPixel(row, x << step, &y, &cb, &cr);
      Store(d, y, MakeTerms(d, cb, cr), px);
    }
  }
}

// I420 planes of a call.
struct I420Planes {
  const BYTE* y;
  ptrdiff_t yPitch;
  const BYTE* u;
  ptrdiff_t uPitch;
  const BYTE* v;
  ptrdiff_t vPitch;
};
I420Planes PlanesOf(const BYTE* yuv, const WUYUVPLANELAYOUT* layout) {
  return {yuv, layout->lumaStride, yuv + layout->uOffset, layout->uStride,
          yuv + layout->vOffset, layout->vStride};
}

void I420Full(const Decoder& d, const Output& out, const BITMAPINFOHEADER* yuvHeader,
              const I420Planes& p, bool interlaced) {
  const int w = yuvHeader->biWidth, h = yuvHeader->biHeight;
  const int bpp = d.bytesPerPixel;
  for (int i = 0; i < h; i += 2) {
    int l0 = i, l1 = i + 1;
    if (interlaced && i < (h & ~2)) {
      if ((i & 2) == 0) {
        l1 = i + 2;
      } else {
        l0 = i - 1;
        l1 = i + 1;
      }
    }
    const BYTE* y0 = p.y + p.yPitch * l0;
    const BYTE* y1 = p.y + p.yPitch * l1;
    const BYTE* u = p.u + p.uPitch * (i / 2);
    const BYTE* v = p.v + p.vPitch * (i / 2);
    BYTE* d0 = out.Row(l0);
    BYTE* d1 = out.Row(l1);
    for (int j = 0; j < w; j += 2) {
      const Terms t = MakeTerms(d, u[j / 2], v[j / 2]);
      Store(d, y0[j], t, d0 + bpp * j);
      Store(d, y0[j + 1], t, d0 + bpp * (j + 1));
      Store(d, y1[j], t, d1 + bpp * j);
      Store(d, y1[j + 1], t, d1 + bpp * (j + 1));
    }
  }
}

void I420Reduced(const Decoder& d, const Output& out, const BITMAPINFOHEADER* yuvHeader,
                 const I420Planes& p, bool interlaced, int step) {
  const int w = yuvHeader->biWidth >> step;
  for (int r = 0; r < out.rows; ++r) {
    int chromaRow = r << (step - 1);
    if (interlaced) chromaRow &= ~1;
    const BYTE* yr = p.y + p.yPitch * (static_cast<ptrdiff_t>(r) << step);
    const BYTE* u = p.u + p.uPitch * chromaRow;
    const BYTE* v = p.v + p.vPitch * chromaRow;
    BYTE* px = out.Row(r);
    for (int x = 0; x < w; ++x, px += d.bytesPerPixel) {
      const int cx = x << (step - 1);
      Store(d, yr[x << step], MakeTerms(d, u[cx], v[cx]), px);
    }
  }
}

Output OutputOf(BYTE* bits, LONG stride, const BITMAPINFOHEADER* yuvHeader, int step) {
  return {bits, stride, yuvHeader->biHeight >> step};
}

}  // namespace

// ---- 32-bit family -----------------------------------------------------------------------

HRESULT WuYUV_UYVYToRGB32(WUYUV_DECODE_ARGS) {
  return WuUYVY2RGBA(bits + static_cast<ptrdiff_t>(stride) * (rgbHeader->biHeight - 1), yuv,
                     -stride, yuvHeader->biWidth, yuvHeader->biHeight,
                     WuYUV_MatrixCodeToPacked(options->matrixCode));
}

HRESULT WuYUV_UYVYToRGB32_Reduced(WUYUV_DECODE_ARGS) {
  PackedReduced(Decoder32(rgbHeader, options, false), kUyvy,
                OutputOf(bits, stride, yuvHeader, step), yuvHeader, yuv, layout->lumaStride,
                step);
  return S_OK;
}

HRESULT WuYUV_YUYVToRGB32(WUYUV_DECODE_ARGS) {
  PackedFull(Decoder32(rgbHeader, options, false), kYuyv, OutputOf(bits, stride, yuvHeader, 0),
             yuvHeader, yuv, layout->lumaStride);
  return S_OK;
}

HRESULT WuYUV_YUYVToRGB32_Reduced(WUYUV_DECODE_ARGS) {
  PackedReduced(Decoder32(rgbHeader, options, false), kYuyv,
                OutputOf(bits, stride, yuvHeader, step), yuvHeader, yuv, layout->lumaStride,
                step);
  return S_OK;
}

HRESULT WuYUV_v210ToRGB32(WUYUV_DECODE_ARGS) {
  V210Full(Decoder32(rgbHeader, options, true), OutputOf(bits, stride, yuvHeader, 0), yuvHeader,
           yuv, layout->lumaStride);
  return S_OK;
}

namespace {
HRESULT V210ToRGB32Reduced(WUYUV_DECODE_ARGS) {
  V210Reduced(Decoder32(rgbHeader, options, true), OutputOf(bits, stride, yuvHeader, step),
              yuvHeader, yuv, layout->lumaStride, step);
  return S_OK;
}
HRESULT V210ToRGBFloatReduced(WUYUV_DECODE_ARGS) {
  FloatDecoder fd(rgbHeader, gamma, options, true);
  if (!fd.ok()) return E_OUTOFMEMORY;
  V210Reduced(fd.decoder(), OutputOf(bits, stride, yuvHeader, step), yuvHeader, yuv,
              layout->lumaStride, step);
  return S_OK;
}
}  // namespace

// The v210 reduced kernels have their sample positions built in.
HRESULT WuYUV_v210ToRGB32_Half(WUYUV_DECODE_ARGS) {
  return V210ToRGB32Reduced(rgbHeader, gamma, bits, stride, yuvHeader, yuv, layout, options, 1,
                            reserved);
}
HRESULT WuYUV_v210ToRGB32_Quarter(WUYUV_DECODE_ARGS) {
  return V210ToRGB32Reduced(rgbHeader, gamma, bits, stride, yuvHeader, yuv, layout, options, 2,
                            reserved);
}
HRESULT WuYUV_v210ToRGB32_Eighth(WUYUV_DECODE_ARGS) {
  return V210ToRGB32Reduced(rgbHeader, gamma, bits, stride, yuvHeader, yuv, layout, options, 3,
                            reserved);
}

HRESULT WuYUV_I420ToRGB32_Eighth(WUYUV_DECODE_ARGS) {
  I420Reduced(Decoder32(rgbHeader, options, false), OutputOf(bits, stride, yuvHeader, 3),
              yuvHeader, PlanesOf(yuv, layout), WuYUV_IsInterlaced(options->interlaceType), 3);
  return S_OK;
}

// ---- Floating-point family ------------------------------------------------------------------

#define WUYUV_FLOAT_KERNEL(name, tenBit, body)                 \
  HRESULT name(WUYUV_DECODE_ARGS) {                            \
    FloatDecoder fd(rgbHeader, gamma, options, tenBit);        \
    if (!fd.ok()) return E_OUTOFMEMORY;                        \
    const Decoder& d = fd.decoder();                           \
    body;                                                      \
    return S_OK;                                               \
  }

WUYUV_FLOAT_KERNEL(WuYUV_UYVYToRGBFloat, false,
                   PackedFull(d, kUyvy, OutputOf(bits, stride, yuvHeader, 0), yuvHeader, yuv,
                              layout->lumaStride))
WUYUV_FLOAT_KERNEL(WuYUV_UYVYToRGBFloat_Reduced, false,
                   PackedReduced(d, kUyvy, OutputOf(bits, stride, yuvHeader, step), yuvHeader,
                                 yuv, layout->lumaStride, step))
WUYUV_FLOAT_KERNEL(WuYUV_YUYVToRGBFloat, false,
                   PackedFull(d, kYuyv, OutputOf(bits, stride, yuvHeader, 0), yuvHeader, yuv,
                              layout->lumaStride))
WUYUV_FLOAT_KERNEL(WuYUV_YUYVToRGBFloat_Reduced, false,
                   PackedReduced(d, kYuyv, OutputOf(bits, stride, yuvHeader, step), yuvHeader,
                                 yuv, layout->lumaStride, step))
WUYUV_FLOAT_KERNEL(WuYUV_v210ToRGBFloat, true,
                   V210Full(d, OutputOf(bits, stride, yuvHeader, 0), yuvHeader, yuv,
                            layout->lumaStride))
WUYUV_FLOAT_KERNEL(WuYUV_I420ToRGBFloat, false,
                   I420Full(d, OutputOf(bits, stride, yuvHeader, 0), yuvHeader,
                            PlanesOf(yuv, layout), WuYUV_IsInterlaced(options->interlaceType)))
WUYUV_FLOAT_KERNEL(WuYUV_I420ToRGBFloat_Reduced, false,
                   I420Reduced(d, OutputOf(bits, stride, yuvHeader, step), yuvHeader,
                               PlanesOf(yuv, layout),
                               WuYUV_IsInterlaced(options->interlaceType), step))

HRESULT WuYUV_v210ToRGBFloat_Half(WUYUV_DECODE_ARGS) {
  return V210ToRGBFloatReduced(rgbHeader, gamma, bits, stride, yuvHeader, yuv, layout, options,
                               1, reserved);
}
HRESULT WuYUV_v210ToRGBFloat_Quarter(WUYUV_DECODE_ARGS) {
  return V210ToRGBFloatReduced(rgbHeader, gamma, bits, stride, yuvHeader, yuv, layout, options,
                               2, reserved);
}
HRESULT WuYUV_v210ToRGBFloat_Eighth(WUYUV_DECODE_ARGS) {
  return V210ToRGBFloatReduced(rgbHeader, gamma, bits, stride, yuvHeader, yuv, layout, options,
                               3, reserved);
}
