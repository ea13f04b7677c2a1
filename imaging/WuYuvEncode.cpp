// RGB to YUV encoding kernels of the frame conversion table, and the
// floating-point YUYV row kernels.
//
// Chroma is the mean over the pixels that share a sample. The "I420",
// "v210" and floating-point encoders add a 4x4 ordered dither before
// truncating and keep samples inside 1..254 (8-bit) or 1..1019 (10-bit).
#include <emmintrin.h>

#include <atomic>
#include <cstddef>
#include <cstring>

#include "foundation/WuSystem.h"
#include "imaging/WuGammaCurve.h"
#include "imaging/WuYuvKernels.h"
#include "imaging/WuYuvPacked.h"
#include "imaging/WuYuvPlanarRows.h"
#include "imaging/WuYuvSamples.h"

namespace {

// Ordered dither, n / 16 by rows.
constexpr float kDither[4][4] = {{0 / 16.0f, 8 / 16.0f, 2 / 16.0f, 10 / 16.0f},
                                 {12 / 16.0f, 4 / 16.0f, 14 / 16.0f, 6 / 16.0f},
                                 {3 / 16.0f, 11 / 16.0f, 1 / 16.0f, 9 / 16.0f},
                                 {15 / 16.0f, 7 / 16.0f, 13 / 16.0f, 5 / 16.0f}};
inline float Dither(int row, int column) { return kDither[row & 3][column & 3]; }

// Truncation of a clamped sample: the integer nearest to v - 0.499999985.
const double kTruncateBias = 0.499999985;
inline int Truncate(float v) {
  return _mm_cvtsd_si32(_mm_set_sd(static_cast<double>(v) - kTruncateBias));
}
inline int ClampTruncate(float v, float hi) {
  if (v < 1.0f) v = 1.0f;
  if (v > hi) v = hi;
  return Truncate(v);
}

// Source pixels: line L of the frame (from the top) is bits + stride *
// (H - 1 - L); 32-bit bytes or floats blue, green, red, through the
// re-gamma curve when there is one.
struct Source {
  const BYTE* bits;
  ptrdiff_t stride;
  int height;
  bool isFloat;
  const WuGammaCurve* curve;

  void Pixel(int line, int x, float* r, float* g, float* b) const {
    const BYTE* row = bits + stride * (height - 1 - line);
    if (!isFloat) {
      const BYTE* p = row + 4 * x;
      *b = p[0];
      *g = p[1];
      *r = p[2];
      return;
    }
    const float* p = reinterpret_cast<const float*>(row) + 4 * x;
    if (curve) {
      *b = WuGammaCurve_Lookup(curve, p[0]);
      *g = WuGammaCurve_Lookup(curve, p[1]);
      *r = WuGammaCurve_Lookup(curve, p[2]);
    } else {
      *b = p[0];
      *g = p[1];
      *r = p[2];
    }
  }
};

// Weights and ranges of one call.
struct Params {
  float wY[3], wU[3], wV[3];  // R, G, B weights (times 4 for 10-bit)
  float lumaScale;            // 1 for 32-bit bitmaps
  float lumaOffset;           // 0 for 32-bit bitmaps
  float chromaFactor;         // chroma scale / pixels per sample (224/219 folded in)
  float centre;               // 128 or 512
  float top;                  // 254 or 1019

  float Luma(float r, float g, float b, float d) const {
    return (wY[0] * r + wY[1] * g + wY[2] * b) * lumaScale + lumaOffset + d;
  }
  float Cb(float r, float g, float b) const { return wU[0] * r + wU[1] * g + wU[2] * b; }
  float Cr(float r, float g, float b) const { return wV[0] * r + wV[1] * g + wV[2] * b; }
  int Sample(float v) const { return ClampTruncate(v, top); }
};

Params MakeParams(const WUYUVCONVERTOPTIONS* options, LONG height, bool tenBit) {
  const float* f = WuYUV_GetMatrixF(options->matrixCode, height)->weights;
  Params p{};
  const float m = tenBit ? 4.0f : 1.0f;
  for (int i = 0; i < 3; ++i) {
    p.wY[i] = f[i] * m;
    p.wU[i] = f[3 + i] * m;
    p.wV[i] = f[6 + i] * m;
  }
  p.lumaScale = 1.0f;
  p.lumaOffset = 0.0f;
  p.chromaFactor = tenBit ? 0.51141554f : 0.25570777f;
  p.centre = tenBit ? 512.0f : 128.0f;
  p.top = tenBit ? 1019.0f : 254.0f;
  return p;
}

// The floating-point encoders' set-up: range from the bitmap's gamma, the
// re-gamma curve when the gammas differ. Owns the curve's tables.
class FloatSetup {
 public:
  FloatSetup(const WUYUVCONVERTOPTIONS* options, LONG height, double gamma, bool tenBit,
             int pixelsPerChroma)
      : params_(MakeParams(options, height, tenBit)) {
    const bool fullRange = gamma == 0.0;
    const float chromaScale = fullRange ? 260.82193f : 224.0f;
    params_.lumaScale = fullRange ? 255.0f : 219.0f;
    params_.lumaOffset = (fullRange ? 0.0f : 16.0f) * (tenBit ? 4.0f : 1.0f);
    params_.chromaFactor = chromaScale / static_cast<float>(pixelsPerChroma);
    WuGammaCurve_Init(&curve_);
    double ratio = 1.0;
    if (WuYUV_GetGammaRatio(gamma, options->imageGamma, &ratio)) {
      WuGammaCurve_SetGamma(&curve_, static_cast<float>(ratio));
      WuYUV_BuildGammaTable(&curve_, tenBit ? 1024 : 256);
      failed_ = curve_.table == nullptr;
      useCurve_ = !failed_;
    }
  }
  ~FloatSetup() { WuGammaCurve_FreeTables(&curve_); }
  FloatSetup(const FloatSetup&) = delete;
  FloatSetup& operator=(const FloatSetup&) = delete;

  bool ok() const { return !failed_; }
  const Params& params() const { return params_; }
  const WuGammaCurve* curve() const { return useCurve_ ? &curve_ : nullptr; }

 private:
  Params params_;
  WuGammaCurve curve_;
  bool failed_ = false;
  bool useCurve_ = false;
};

// Four 32-bit pixels as float blue, green, red lanes.
inline void Load4Pixels(const BYTE* p, __m128* b, __m128* g, __m128* r) {
  const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i mask = _mm_set1_epi32(0xFF);
  *b = _mm_cvtepi32_ps(_mm_and_si128(px, mask));
  *g = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(px, 8), mask));
  *r = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(px, 16), mask));
}
// A call's weights and constants in lanes.
struct WideParams {
  __m128 wY[3], wU[3], wV[3];  // R, G, B weights
  __m128 chromaFactor, centre;
  __m128 bottom, top;  // sample range
  explicit WideParams(const Params& p)
      : chromaFactor(_mm_set1_ps(p.chromaFactor)),
        centre(_mm_set1_ps(p.centre)),
        bottom(_mm_set1_ps(1.0f)),
        top(_mm_set1_ps(p.top)) {
    for (int i = 0; i < 3; ++i) {
      wY[i] = _mm_set1_ps(p.wY[i]);
      wU[i] = _mm_set1_ps(p.wU[i]);
      wV[i] = _mm_set1_ps(p.wV[i]);
    }
  }
};
// (w0 * r + w1 * g) + w2 * b per lane.
inline __m128 Weigh(const __m128 w[3], __m128 r, __m128 g, __m128 b) {
  return _mm_add_ps(_mm_add_ps(_mm_mul_ps(w[0], r), _mm_mul_ps(w[1], g)), _mm_mul_ps(w[2], b));
}
// Clamped to 1..top and truncated: for values from 1 up, the integer
// nearest to v - 0.499999985 is the floor of v.
inline __m128i Samples4(__m128 v, const WideParams& p) {
  return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(v, p.bottom), p.top));
}
inline void Store4Bytes(BYTE* d, __m128i v) {
  const __m128i b = _mm_packus_epi16(_mm_packs_epi32(v, v), v);
  const int word = _mm_cvtsi128_si32(b);
  std::memcpy(d, &word, 4);
}

// The dither lanes of one row pair: luma of each line by column & 3, and
// chroma (Cb, Cb, Cr, Cr of two blocks) for blocks starting at a column
// whose half is 0 or 2 modulo 4.
struct PairDither {
  __m128 line0, line1;
  __m128 chroma[2];
  PairDither(int row0, int row1, int chromaRow) {
    line0 = _mm_loadu_ps(kDither[row0]);
    line1 = _mm_loadu_ps(kDither[row1]);
    const float* c = kDither[chromaRow];
    chroma[0] = _mm_setr_ps(c[0], c[1], c[0], c[1]);
    chroma[1] = _mm_setr_ps(c[2], c[3], c[2], c[3]);
  }
};

// Two 2x2 blocks (columns j .. j + 3, j a multiple of 4) of a 32-bit row
// pair with SSE2; the same single-precision operations, in the same order,
// as the plain loop.
void I420Blocks32(const WideParams& p, const PairDither& dither, const BYTE* row0,
                  const BYTE* row1, BYTE* y0, BYTE* y1, BYTE* u, BYTE* v, int j) {
  __m128 b0, g0, r0, b1, g1, r1;
  Load4Pixels(row0 + 4 * j, &b0, &g0, &r0);
  Load4Pixels(row1 + 4 * j, &b1, &g1, &r1);
  const __m128 l0 = _mm_add_ps(Weigh(p.wY, r0, g0, b0), dither.line0);
  const __m128 l1 = _mm_add_ps(Weigh(p.wY, r1, g1, b1), dither.line1);
  Store4Bytes(y0 + j, Samples4(l0, p));
  Store4Bytes(y1 + j, Samples4(l1, p));
  // Lanes (Cb of block 0, Cb of block 1, Cr of block 0, Cr of block 1),
  // summed pixel by pixel: ((a + b) + c) + d.
  const __m128 cb0 = Weigh(p.wU, r0, g0, b0), cr0 = Weigh(p.wV, r0, g0, b0);
  const __m128 cb1 = Weigh(p.wU, r1, g1, b1), cr1 = Weigh(p.wV, r1, g1, b1);
  const __m128 a = _mm_shuffle_ps(cb0, cr0, _MM_SHUFFLE(2, 0, 2, 0));
  const __m128 b = _mm_shuffle_ps(cb0, cr0, _MM_SHUFFLE(3, 1, 3, 1));
  const __m128 c = _mm_shuffle_ps(cb1, cr1, _MM_SHUFFLE(2, 0, 2, 0));
  const __m128 d = _mm_shuffle_ps(cb1, cr1, _MM_SHUFFLE(3, 1, 3, 1));
  const __m128 sum = _mm_add_ps(_mm_add_ps(_mm_add_ps(a, b), c), d);
  const __m128 chroma = _mm_add_ps(_mm_add_ps(_mm_mul_ps(sum, p.chromaFactor), p.centre),
                                   dither.chroma[(j / 2) & 2 ? 1 : 0]);
  const __m128i s16 = _mm_packs_epi32(Samples4(chroma, p), _mm_setzero_si128());
  const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(s16, s16));  // Cb0 Cb1 Cr0 Cr1
  const WORD cbs = static_cast<WORD>(bytes), crs = static_cast<WORD>(bytes >> 16);
  std::memcpy(u + j / 2, &cbs, 2);
  std::memcpy(v + j / 2, &crs, 2);
}

void EncodeI420(const Params& p, const Source& src, const BITMAPINFOHEADER* yuvHeader, BYTE* yuv,
                const WUYUVPLANELAYOUT* layout, bool interlaced) {
  const int w = yuvHeader->biWidth, h = yuvHeader->biHeight;
  // The SSE2 blocks serve 32-bit sources, whose luma has no scale or offset.
  const bool wide = !src.isFloat && WuGetCPUSupport(0x40) != 0;
  const WideParams wp(p);
  for (int i = 0; i < h; i += 2) {
    int lines[2] = {i, i + 1};
    if (interlaced && i < (h & ~2)) {
      if ((i & 2) == 0) {
        lines[1] = i + 2;
      } else {
        lines[0] = i - 1;
        lines[1] = i + 1;
      }
    }
    const int ditherRows[2] = {i & 3, (i + 1) & 3};
    const int chromaDither = (i / 2) & 3;
    BYTE* u = yuv + layout->uOffset + static_cast<ptrdiff_t>(layout->uStride) * (i / 2);
    BYTE* v = yuv + layout->vOffset + static_cast<ptrdiff_t>(layout->vStride) * (i / 2);
    int j = 0;
    if (wide) {
      const BYTE* row0 = src.bits + src.stride * (src.height - 1 - lines[0]);
      const BYTE* row1 = src.bits + src.stride * (src.height - 1 - lines[1]);
      BYTE* y0 = yuv + static_cast<ptrdiff_t>(layout->lumaStride) * lines[0];
      BYTE* y1 = yuv + static_cast<ptrdiff_t>(layout->lumaStride) * lines[1];
      const PairDither dither(ditherRows[0], ditherRows[1], chromaDither);
      for (; j + 4 <= w; j += 4) I420Blocks32(wp, dither, row0, row1, y0, y1, u, v, j);
    }
    for (; j < w; j += 2) {
      float cb = 0.0f, cr = 0.0f;
      for (int k = 0; k < 2; ++k) {
        BYTE* y = yuv + static_cast<ptrdiff_t>(layout->lumaStride) * lines[k];
        for (int x = j; x < j + 2; ++x) {
          float r, g, b;
          src.Pixel(lines[k], x, &r, &g, &b);
          y[x] = static_cast<BYTE>(p.Sample(p.Luma(r, g, b, Dither(ditherRows[k], x))));
          cb = cb + p.Cb(r, g, b);
          cr = cr + p.Cr(r, g, b);
        }
      }
      const float d = Dither(chromaDither, j / 2);
      u[j / 2] = static_cast<BYTE>(p.Sample(cb * p.chromaFactor + p.centre + d));
      v[j / 2] = static_cast<BYTE>(p.Sample(cr * p.chromaFactor + p.centre + d));
    }
  }
}

using wu_yuv::ReadLE32;
using wu_yuv::WriteLE32;
constexpr auto Pack3 = wu_yuv::PackField10;

void EncodeV210(const Params& p, const Source& src, const BITMAPINFOHEADER* yuvHeader, BYTE* yuv,
                ptrdiff_t pitch) {
  const int w = yuvHeader->biWidth, h = yuvHeader->biHeight;
  const int groups = w / 6, rest = w % 6;
  for (int row = 0; row < h; ++row) {
    BYTE* out = yuv + pitch * row;
    const int dr = row & 3;
    // Samples of pair k: Y0, Y1, Cb, Cr.
    auto pair = [&](int k, int s[4]) {
      float cb = 0.0f, cr = 0.0f;
      for (int i = 0; i < 2; ++i) {
        const int x = 2 * k + i;
        float r, g, b;
        src.Pixel(row, x, &r, &g, &b);
        s[i] = p.Sample(p.Luma(r, g, b, Dither(dr, x)));
        cb = cb + p.Cb(r, g, b);
        cr = cr + p.Cr(r, g, b);
      }
      const float d = Dither(dr, k);
      s[2] = p.Sample(cb * p.chromaFactor + p.centre + d);
      s[3] = p.Sample(cr * p.chromaFactor + p.centre + d);
    };
    for (int gi = 0; gi < groups; ++gi) {
      BYTE* g = out + 16 * gi;
      int a[4], b[4], c[4];
      pair(3 * gi, a);
      pair(3 * gi + 1, b);
      pair(3 * gi + 2, c);
      WriteLE32(g, Pack3(ReadLE32(g), a[2], a[0], a[3]));
      WriteLE32(g + 4, Pack3(ReadLE32(g + 4), a[1], b[2], b[0]));
      WriteLE32(g + 8, Pack3(ReadLE32(g + 8), b[3], b[1], c[2]));
      WriteLE32(g + 12, Pack3(ReadLE32(g + 12), c[0], c[3], c[1]));
    }
    if (rest) {
      BYTE* g = out + 16 * groups;
      for (int i = 0; i < 16; ++i) g[i] = 0;
      int a[4];
      pair(3 * groups, a);
      WriteLE32(g, Pack3(0, a[2], a[0], a[3]));
      DWORD w1 = static_cast<DWORD>(a[1]);
      if (rest > 2) {
        int b[4];
        pair(3 * groups + 1, b);
        w1 = Pack3(0, a[1], b[2], b[0]);
        WriteLE32(g + 8, Pack3(0, b[3], b[1], 0));
      }
      WriteLE32(g + 4, w1);
    }
  }
}

using wu_yuv::PackedOrder;
constexpr PackedOrder kUyvy = wu_yuv::kUyvyOrder;
constexpr PackedOrder kYuyv = wu_yuv::kYuyvOrder;

void EncodePacked(const Params& p, const Source& src, const PackedOrder& o,
                  const BITMAPINFOHEADER* yuvHeader, BYTE* yuv, ptrdiff_t pitch) {
  const int w = yuvHeader->biWidth, h = yuvHeader->biHeight;
  for (int row = 0; row < h; ++row) {
    BYTE* out = yuv + pitch * row;
    const int dr = row & 3;
    for (int k = 0; k < w / 2; ++k, out += 4) {
      float cb = 0.0f, cr = 0.0f;
      int y[2];
      for (int i = 0; i < 2; ++i) {
        const int x = 2 * k + i;
        float r, g, b;
        src.Pixel(row, x, &r, &g, &b);
        y[i] = p.Sample(p.Luma(r, g, b, Dither(dr, x)));
        cb = cb + p.Cb(r, g, b);
        cr = cr + p.Cr(r, g, b);
      }
      const float d = Dither(dr, k);
      out[o.y0] = static_cast<BYTE>(y[0]);
      out[o.y1] = static_cast<BYTE>(y[1]);
      out[o.u] = static_cast<BYTE>(p.Sample(cb * p.chromaFactor + p.centre + d));
      out[o.v] = static_cast<BYTE>(p.Sample(cr * p.chromaFactor + p.centre + d));
    }
  }
}

Source SourceOf(const BYTE* bits, LONG stride, const BITMAPINFOHEADER* yuvHeader, bool isFloat,
                const WuGammaCurve* curve) {
  return {bits, stride, yuvHeader->biHeight, isFloat, curve};
}

// ---- YUYV row kernels ---------------------------------------------------------------------

typedef void (*YuyvRowsFn)(BYTE*, int, int, const BYTE*, LONG);

// The BT.601-type row kernel, chosen once per process (null: not yet).
std::atomic<YuyvRowsFn> g_yuyvRows601{nullptr};

bool HasMmx() { return WuGetCPUSupport(0x10) != 0; }

struct FpuWeights {
  double kR, kG, kB, cU, cV;
};
constexpr FpuWeights kFpu601 = {0.299, 0.587, 0.114, 0.2962753950338601, 0.37446504992867335};
constexpr FpuWeights kFpu709 = {0.2125, 0.7154, 0.0721, 0.2697791445345261, 0.3173050041934582};

inline BYTE RoundByte(double v) {
  if (v < 0.0) v = 0.0;
  if (v > 255.0) v = 255.0;
  return static_cast<BYTE>(_mm_cvtsd_si32(_mm_set_sd(v)));
}

void FpuRows(const FpuWeights& w, BYTE* dst, int width, int rows, const BYTE* src,
             LONG srcStride) {
  const int pairs = width / 2;
  for (int r = 0; r < rows; ++r, src += srcStride) {
    const BYTE* s = src;
    for (int k = 0; k < pairs; ++k, s += 8, dst += 4) {
      const double y0 = w.kR * s[2] + w.kG * s[1] + w.kB * s[0];
      const double y1 = w.kR * s[6] + w.kG * s[5] + w.kB * s[4];
      const double sY = y0 + y1;
      const double sB = static_cast<double>(s[0] + s[4]);
      const double sR = static_cast<double>(s[2] + s[6]);
      dst[0] = RoundByte(y0);
      dst[1] = RoundByte((sB - sY) * w.cU + 128.0);
      dst[2] = RoundByte(y1);
      dst[3] = RoundByte((sR - sY) * w.cV + 128.0);
    }
  }
}

}  // namespace

void WuYUV_RGBAToYUYVRowsFPU(BYTE* dst, int width, int rows, const BYTE* src, LONG srcStride) {
  FpuRows(kFpu601, dst, width, rows, src, srcStride);
}

void WuYUV_RGBAToYUYVRowsFPU709(BYTE* dst, int width, int rows, const BYTE* src,
                                LONG srcStride) {
  FpuRows(kFpu709, dst, width, rows, src, srcStride);
}

void WuYUV_ResetKernelChoices() {
  WuYUV420_ResetKernels();
  g_yuyvRows601.store(nullptr, std::memory_order_release);
}

// ---- 32-bit encoders --------------------------------------------------------------------------

HRESULT WuYUV_RGB32ToUYVY(WUYUV_ENCODE_ARGS) {
  return WuRGBA2UYVY(yuv, bits + static_cast<ptrdiff_t>(stride) * (rgbHeader->biHeight - 1),
                     -stride, rgbHeader->biWidth, rgbHeader->biHeight,
                     WuYUV_MatrixCodeToPacked(options->matrixCode));
}

HRESULT WuYUV_RGB32ToYUYV(WUYUV_ENCODE_ARGS) {
  YuyvRowsFn rows;
  if (WuYUV_UsesBT709(options->matrixCode, rgbHeader->biHeight)) {
    rows = HasMmx() ? WuYUV_RGBAToYUYVRows709 : WuYUV_RGBAToYUYVRowsFPU709;
  } else {
    rows = g_yuyvRows601.load(std::memory_order_acquire);
    if (!rows) {
      rows = HasMmx() ? WuYUV_RGBAToYUYVRows : WuYUV_RGBAToYUYVRowsFPU;
      g_yuyvRows601.store(rows, std::memory_order_release);
    }
  }
  rows(yuv, rgbHeader->biWidth, rgbHeader->biHeight,
       bits + static_cast<ptrdiff_t>(stride) * (yuvHeader->biHeight - 1), -stride);
  return S_OK;
}

HRESULT WuYUV_RGB32ToI420(WUYUV_ENCODE_ARGS) {
  EncodeI420(MakeParams(options, yuvHeader->biHeight, false),
             SourceOf(bits, stride, yuvHeader, false, nullptr), yuvHeader, yuv, layout,
             WuYUV_IsInterlaced(options->interlaceType));
  return S_OK;
}

HRESULT WuYUV_RGB32Tov210(WUYUV_ENCODE_ARGS) {
  EncodeV210(MakeParams(options, yuvHeader->biHeight, true),
             SourceOf(bits, stride, yuvHeader, false, nullptr), yuvHeader, yuv,
             layout->lumaStride);
  return S_OK;
}

// ---- Floating-point encoders ------------------------------------------------------------------

HRESULT WuYUV_RGBFloatToUYVY(WUYUV_ENCODE_ARGS) {
  FloatSetup f(options, yuvHeader->biHeight, gamma, false, 2);
  if (!f.ok()) return E_OUTOFMEMORY;
  EncodePacked(f.params(), SourceOf(bits, stride, yuvHeader, true, f.curve()), kUyvy, yuvHeader,
               yuv, layout->lumaStride);
  return S_OK;
}

HRESULT WuYUV_RGBFloatToYUYV(WUYUV_ENCODE_ARGS) {
  FloatSetup f(options, yuvHeader->biHeight, gamma, false, 2);
  if (!f.ok()) return E_OUTOFMEMORY;
  EncodePacked(f.params(), SourceOf(bits, stride, yuvHeader, true, f.curve()), kYuyv, yuvHeader,
               yuv, layout->lumaStride);
  return S_OK;
}

HRESULT WuYUV_RGBFloatToI420(WUYUV_ENCODE_ARGS) {
  FloatSetup f(options, yuvHeader->biHeight, gamma, false, 4);
  if (!f.ok()) return E_OUTOFMEMORY;
  EncodeI420(f.params(), SourceOf(bits, stride, yuvHeader, true, f.curve()), yuvHeader, yuv,
             layout, WuYUV_IsInterlaced(options->interlaceType));
  return S_OK;
}

HRESULT WuYUV_RGBFloatTov210(WUYUV_ENCODE_ARGS) {
  FloatSetup f(options, yuvHeader->biHeight, gamma, true, 2);
  if (!f.ok()) return E_OUTOFMEMORY;
  EncodeV210(f.params(), SourceOf(bits, stride, yuvHeader, true, f.curve()), yuvHeader, yuv,
             layout->lumaStride);
  return S_OK;
}
