// The bilinear scalers and the two-dimensional linear worker.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/WuSystem.h"
#include "imaging/WuDibScale.h"
#include "imaging/WuScaleCommon.h"
#include "imaging/WuScaleLinearTaps.h"
#include "imaging/WuScaleWorkers.h"

namespace wuscale {

std::vector<LinearTap> LinearTaps(const Axis& axis, LONG srcLo, LONG srcHi, LONG step,
                                  bool simple) {
  const Lines lines(srcLo, srcHi);
  std::vector<LinearTap> taps(axis.count);
  int64_t pos = srcLo;
  for (LONG k = 0; k < axis.count; ++k) {
    LinearTap& t = taps[k];
    t.lo = lines.Clamp(FloorPx(pos));
    t.hi = t.lo < lines.hi ? t.lo + 1 : t.lo;
    t.frac = static_cast<LONG>(pos & 0x3FFF);
    if (simple && FloorPx(pos) >= lines.hi) t.frac = 0;
    if (k == 0) {
      pos += MulQ14(axis.covFirst, step);
    } else if (!simple && k + 1 == axis.count - 1 && axis.count >= 3) {
      pos += MulQ14(axis.covLast, step);
    } else {
      pos += step;
    }
  }
  return taps;
}

namespace {

// The interior-row forms of the integer worker.
enum class RowForm { Scalar, Mmx, Sse2 };

RowForm ChooseRowForm() {
  const DWORD cpu = WuGetCPUSupport(0);
  if (cpu & WUCPU_SSE2) return RowForm::Sse2;
  if (cpu & WUCPU_MMX) return RowForm::Mmx;
  return RowForm::Scalar;
}

// The scalar form: Q24 weights, (sum + 0x800000) >> 24 in unsigned 32-bit
// arithmetic (white reaches 0xFF800000, past the signed range).
inline void BilinearScalar(const BYTE* tl, const BYTE* tr, const BYTE* bl, const BYTE* br, LONG fx,
                           LONG fy, int v[4]) {
  const uint32_t gx = kOne - fx;
  const uint32_t gy = kOne - fy;
  const uint32_t ux = static_cast<uint32_t>(fx);
  const uint32_t uy = static_cast<uint32_t>(fy);
  const uint32_t w00 = (gx * gy) >> 4;
  const uint32_t w01 = (ux * gy) >> 4;
  const uint32_t w10 = (gx * uy) >> 4;
  const uint32_t w11 = (ux * uy) >> 4;
  for (int c = 0; c < 4; ++c) {
    const uint32_t s = w00 * tl[c] + w01 * tr[c] + w10 * bl[c] + w11 * br[c] + 0x800000u;
    v[c] = static_cast<int>(s >> 24);
  }
}

// The vector formula one pixel at a time: weights (a * b) >> 14 from the
// factors 0x3FFF - f and f, terms (value * 32 * weight) >> 16 added with
// unsigned 16-bit saturation, then (sum + 4) >> 3, clamped to 0..255.
inline uint32_t AddSat16(uint32_t a, uint32_t b) { return std::min<uint32_t>(a + b, 0xFFFFu); }

inline void BilinearMmx(const BYTE* tl, const BYTE* tr, const BYTE* bl, const BYTE* br, LONG fx,
                        LONG fy, BYTE* out) {
  const uint32_t ax = 0x3FFF - fx;
  const uint32_t ay = 0x3FFF - fy;
  const uint32_t w00 = (ax * ay) >> 14;
  const uint32_t w01 = (static_cast<uint32_t>(fx) * ay) >> 14;
  const uint32_t w10 = (ax * static_cast<uint32_t>(fy)) >> 14;
  const uint32_t w11 = (static_cast<uint32_t>(fx) * static_cast<uint32_t>(fy)) >> 14;
  for (int c = 0; c < 4; ++c) {
    uint32_t s = ((tl[c] * 32u) * w00) >> 16;
    s = AddSat16(s, ((bl[c] * 32u) * w10) >> 16);
    s = AddSat16(s, ((tr[c] * 32u) * w01) >> 16);
    s = AddSat16(s, ((br[c] * 32u) * w11) >> 16);
    s = AddSat16(s, 4) >> 3;
    out[c] = static_cast<BYTE>(std::min<uint32_t>(s, 255));
  }
}

// Two horizontally adjacent source pixels (left, right) as 8 bytes.
inline __m128i LoadPair(const BYTE* row, const LinearTap& t) {
  if (t.hi == t.lo + 1) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + static_cast<ptrdiff_t>(t.lo) * 4));
  }
  int a;
  int b;
  std::memcpy(&a, row + static_cast<ptrdiff_t>(t.lo) * 4, 4);
  std::memcpy(&b, row + static_cast<ptrdiff_t>(t.hi) * 4, 4);
  return _mm_unpacklo_epi32(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b));
}

// The horizontal factors of two neighbouring destination pixels a and b,
// shifted left by 2, in 16-bit lanes: `left` holds (0x3FFF - fx) << 2 in
// the four lanes of a, then of b; `right` holds fx << 2 likewise. mulhi
// with a vertical factor then gives (f * g) >> 14 exactly.
struct PairFactors {
  __m128i left;   // factors of the left source pixel
  __m128i right;  // factors of the right source pixel
};
inline PairFactors MakePairFactors(LONG fxA, LONG fxB) {
  const short la = static_cast<short>((0x3FFF - fxA) << 2);
  const short lb = static_cast<short>((0x3FFF - fxB) << 2);
  const short ra = static_cast<short>(fxA << 2);
  const short rb = static_cast<short>(fxB << 2);
  return PairFactors{_mm_set_epi16(lb, lb, lb, lb, la, la, la, la),
                     _mm_set_epi16(rb, rb, rb, rb, ra, ra, ra, ra)};
}

// One term of the SSE2 form: (value * 32 * weight) >> 16 per lane.
inline __m128i Term(__m128i value16, __m128i factors, __m128i y) {
  return _mm_mulhi_epu16(_mm_slli_epi16(value16, 5), _mm_mulhi_epu16(factors, y));
}

void InteriorMmx(const BYTE* top, const BYTE* bot, LONG fy, const LinearTap* cols, LONG count,
                 BYTE* out) {
  for (LONG k = 0; k < count; ++k) {
    const LinearTap& a = cols[k];
    BilinearMmx(top + static_cast<ptrdiff_t>(a.lo) * 4, top + static_cast<ptrdiff_t>(a.hi) * 4,
                bot + static_cast<ptrdiff_t>(a.lo) * 4, bot + static_cast<ptrdiff_t>(a.hi) * 4,
                a.frac, fy, out + static_cast<ptrdiff_t>(k) * 4);
  }
}

void InteriorSse2(const BYTE* top, const BYTE* bot, LONG fy, const LinearTap* cols,
                  const PairFactors* factors, LONG count, BYTE* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i yTop = _mm_set1_epi16(static_cast<short>(0x3FFF - fy));
  const __m128i yBot = _mm_set1_epi16(static_cast<short>(fy));
  const __m128i four = _mm_set1_epi16(4);
  LONG k = 0;
  for (; k + 2 <= count; k += 2) {
    const LinearTap& a = cols[k];
    const LinearTap& b = cols[k + 1];
    const PairFactors& f = factors[k / 2];
    // [left a, left b, right a, right b] of each row.
    const __m128i t = _mm_unpacklo_epi32(LoadPair(top, a), LoadPair(top, b));
    const __m128i u = _mm_unpacklo_epi32(LoadPair(bot, a), LoadPair(bot, b));
    // No sum can saturate (each term is at most 2,039), so plain 16-bit
    // adds give the saturating adds' result.
    __m128i s = _mm_add_epi16(Term(_mm_unpacklo_epi8(t, zero), f.left, yTop),
                              Term(_mm_unpacklo_epi8(u, zero), f.left, yBot));
    s = _mm_add_epi16(s, Term(_mm_unpackhi_epi8(t, zero), f.right, yTop));
    s = _mm_add_epi16(s, Term(_mm_unpackhi_epi8(u, zero), f.right, yBot));
    s = _mm_srli_epi16(_mm_add_epi16(s, four), 3);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + static_cast<ptrdiff_t>(k) * 4),
                     _mm_packus_epi16(s, s));
  }
  // An odd last pixel by the same formula one pixel at a time.
  if (k < count) InteriorMmx(top, bot, fy, cols + k, count - k, out + static_cast<ptrdiff_t>(k) * 4);
}

void InteriorScalar(const BYTE* top, const BYTE* bot, LONG fy, const LinearTap* cols, LONG count,
                    BYTE* out) {
  for (LONG k = 0; k < count; ++k) {
    const LinearTap& a = cols[k];
    int v[4];
    BilinearScalar(top + static_cast<ptrdiff_t>(a.lo) * 4, top + static_cast<ptrdiff_t>(a.hi) * 4,
                   bot + static_cast<ptrdiff_t>(a.lo) * 4, bot + static_cast<ptrdiff_t>(a.hi) * 4,
                   a.frac, fy, v);
    BYTE* d = out + static_cast<ptrdiff_t>(k) * 4;
    for (int c = 0; c < 4; ++c) d[c] = static_cast<BYTE>(v[c]);
  }
}

// One float pixel: float weights, the four products summed in double.
inline void BilinearFloat(const float* tl, const float* tr, const float* bl, const float* br,
                          LONG fxq, LONG fyq, float v[4]) {
  const double fx = fxq / 16384.0;
  const double fy = fyq / 16384.0;
  const float w00 = static_cast<float>((1.0 - fy) * (1.0 - fx));
  const float w01 = static_cast<float>((1.0 - fy) * fx);
  const float w10 = static_cast<float>(fy * (1.0 - fx));
  const float w11 = static_cast<float>(fy * fx);
  for (int c = 0; c < 4; ++c) {
    const double s = static_cast<double>(w00) * tl[c] + static_cast<double>(w01) * tr[c] +
                     static_cast<double>(w10) * bl[c] + static_cast<double>(w11) * br[c];
    v[c] = static_cast<float>(s);
  }
}

// One edge pixel (first or last row or column), scalar, blended unless
// written directly.
void EdgePixel4(const BYTE* top, const BYTE* bot, const LinearTap& tx, LONG fy, bool vertOnly,
                BYTE* out, bool direct, int f8) {
  int v[4];
  const BYTE* tl = top + static_cast<ptrdiff_t>(tx.lo) * 4;
  const BYTE* bl = bot + static_cast<ptrdiff_t>(tx.lo) * 4;
  if (vertOnly) {
    for (int c = 0; c < 4; ++c) v[c] = (fy * bl[c] + (kOne - fy) * tl[c] + 8192) >> 14;
  } else {
    BilinearScalar(tl, top + static_cast<ptrdiff_t>(tx.hi) * 4, bl,
                   bot + static_cast<ptrdiff_t>(tx.hi) * 4, tx.frac, fy, v);
  }
  PutByte4(out, v, direct, f8);
}

void LinearRows4(const WUSUBPIXELPARAM& p, bool overwrite) {
  const Axis ax(p.dstClip.left, p.dstClip.right);
  const Axis ay(p.dstClip.top, p.dstClip.bottom);
  const Lines sx(p.srcUsed.left, p.srcUsed.right);
  const std::vector<LinearTap> cols = LinearTaps(ax, p.srcUsed.left, p.srcUsed.right, p.stepX);
  const std::vector<LinearTap> rows = LinearTaps(ay, p.srcUsed.top, p.srcUsed.bottom, p.stepY);
  const RowForm form = ChooseRowForm();
  const LONG last = ax.count - 1;
  // The SSE2 rows take the interior columns (from the second) in pairs.
  std::vector<PairFactors> factors;
  if (form == RowForm::Sse2) {
    for (LONG k = 1; k + 1 < last; k += 2) {
      factors.push_back(MakePairFactors(cols[k].frac, cols[k + 1].frac));
    }
  }

  for (LONG r = 0; r < ay.count; ++r) {
    const LinearTap& ty = rows[r];
    const BYTE* top = SrcPixel(p, ty.lo, 0, 4);
    const BYTE* bot = SrcPixel(p, ty.hi, 0, 4);
    BYTE* out = DstRow(p, ay.first + r) + static_cast<ptrdiff_t>(ax.first) * 4;
    const LONG covY = ay.Coverage(r);
    if (ay.Edge(r)) {
      // Edge row: every pixel blends by its coverage.
      for (LONG k = 0; k <= last; ++k) {
        EdgePixel4(top, bot, cols[k], ty.frac, false, out + static_cast<ptrdiff_t>(k) * 4,
                   overwrite, BlendFactor8(ax.Coverage(k), covY));
      }
      continue;
    }
    // Interior row: the first and the last pixel blend by their column
    // coverage; the pixels between take the chosen form.
    EdgePixel4(top, bot, cols[0], ty.frac, false, out, overwrite, BlendFactor8(ax.covFirst, kOne));
    if (last < 1) continue;
    const LONG middle = last - 1;
    if (middle > 0) {
      switch (form) {
        case RowForm::Sse2:
          InteriorSse2(top, bot, ty.frac, &cols[1], factors.data(), middle, out + 4);
          break;
        case RowForm::Mmx:
          InteriorMmx(top, bot, ty.frac, &cols[1], middle, out + 4);
          break;
        case RowForm::Scalar:
          InteriorScalar(top, bot, ty.frac, &cols[1], middle, out + 4);
          break;
      }
    }
    EdgePixel4(top, bot, cols[last], ty.frac, cols[last].lo == sx.hi,
               out + static_cast<ptrdiff_t>(last) * 4, overwrite, BlendFactor8(ax.covLast, kOne));
  }
}

void LinearRowsF(const WUSUBPIXELPARAM& p, bool overwrite) {
  const Axis ax(p.dstClip.left, p.dstClip.right);
  const Axis ay(p.dstClip.top, p.dstClip.bottom);
  const std::vector<LinearTap> cols = LinearTaps(ax, p.srcUsed.left, p.srcUsed.right, p.stepX);
  const std::vector<LinearTap> rows = LinearTaps(ay, p.srcUsed.top, p.srcUsed.bottom, p.stepY);
  for (LONG r = 0; r < ay.count; ++r) {
    const LinearTap& ty = rows[r];
    const float* top = reinterpret_cast<const float*>(SrcPixel(p, ty.lo, 0, 16));
    const float* bot = reinterpret_cast<const float*>(SrcPixel(p, ty.hi, 0, 16));
    float* out = reinterpret_cast<float*>(DstRow(p, ay.first + r) +
                                          static_cast<ptrdiff_t>(ax.first) * 16);
    const bool edgeRow = ay.Edge(r);
    const LONG covY = edgeRow ? ay.Coverage(r) : kOne;
    for (LONG k = 0; k < ax.count; ++k, out += 4) {
      const LinearTap& tx = cols[k];
      float v[4];
      BilinearFloat(top + static_cast<ptrdiff_t>(tx.lo) * 4, top + static_cast<ptrdiff_t>(tx.hi) * 4,
                    bot + static_cast<ptrdiff_t>(tx.lo) * 4, bot + static_cast<ptrdiff_t>(tx.hi) * 4,
                    tx.frac, ty.frac, v);
      const bool edge = edgeRow || ax.Edge(k);
      const double f = edge ? BlendFactorF(ax.Coverage(k), covY) : 1.0;
      PutFloat4(out, v, overwrite || f == 1.0, f);
    }
  }
}

}  // namespace

void LinearWorker(const WUSUBPIXELPARAM& p, bool isFloat, bool overwrite) {
  if (isFloat) {
    LinearRowsF(p, overwrite);
  } else {
    LinearRows4(p, overwrite);
  }
}

}  // namespace wuscale

using namespace wuscale;

HRESULT WuDibScale_BilinearSubPixel(void* dstBits, const SIZE* dstSize, LONG dstStride,
                                    const RECT* dstRect, const void* srcBits, const SIZE* srcSize,
                                    LONG srcStride, const RECT* srcRect, int bytesPerPixel,
                                    int areaFlag, int overwriteFlag) {
  WUSUBPIXELPARAM p;
  if (!PrepareScaling(&p, dstBits, dstSize, dstStride, dstRect, srcBits, srcSize, srcStride,
                      srcRect, bytesPerPixel)) {
    return 0;
  }
  const bool isFloat = bytesPerPixel == 16;
  const bool overwrite = overwriteFlag != 0;
  const double rx = p.ratioX;
  const double ry = p.ratioY;
  if (!areaFlag || (p.ratioX <= kOne && p.ratioY <= kOne)) {
    LinearWorker(p, isFloat, overwrite);
  } else if (p.ratioX > kOne && p.ratioY > kOne) {
    const bool wide =
        ((rx + 32768.0) / 16384.0) * ((ry + 32768.0) / 16384.0) * 16384.0 * 255.0 >= 536870911.0;
    AreaBoxWorker(p, isFloat, wide, overwrite);
  } else if (p.ratioX <= kOne && p.ratioY >= kOne) {
    AreaBoxLinearWorker(p, isFloat, true, OneWayBoxNeedsWideSums(p.ratioY, true), overwrite);
  } else {
    AreaBoxLinearWorker(p, isFloat, false, OneWayBoxNeedsWideSums(p.ratioX, false), overwrite);
  }
  return 0;
}

HRESULT WuDibScale_Bilinear(void* dstBits, const SIZE* dstSize, LONG dstStride, const RECT* dstRect,
                            const void* srcBits, const SIZE* srcSize, LONG srcStride,
                            const RECT* srcRect, int bytesPerPixel, int areaFlag,
                            int overwriteFlag) {
  return ScaleWholePixels(WuDibScale_BilinearSubPixel, dstBits, dstSize, dstStride, dstRect,
                          srcBits, srcSize, srcStride, srcRect, bytesPerPixel, areaFlag,
                          overwriteFlag);
}
