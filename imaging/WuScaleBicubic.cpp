// The bicubic scalers and the two-dimensional cubic worker.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/WuColorMath.h"
#include "imaging/WuDibScale.h"
#include "imaging/WuScaleCommon.h"
#include "imaging/WuScaleWeights.h"
#include "imaging/WuScaleWorkers.h"

namespace wuscale {
namespace {

// The four source lines and the phase of one destination row or column.
struct CubicTap {
  LONG line[4];  // source lines for taps 0..3
  int phase;     // weight-table phase, 0..4095
};

// Sampling positions of one direction: start at the source edge plus half a
// ratio plus half a pixel, step by the ratio, by the coverage share of it at
// the first and the last pixel. `clampAlways` clamps the taps to the used
// lines everywhere; otherwise only within two pixels of the image border.
std::vector<CubicTap> CubicTaps(const Axis& axis, LONG srcLo, LONG srcHi, LONG ratio,
                                LONG imageSize, bool clampAlways) {
  const Lines lines(srcLo, srcHi);
  std::vector<CubicTap> taps(axis.count);
  int64_t pos = static_cast<int64_t>(srcLo) + ratio / 2 + 8192;
  for (LONG k = 0; k < axis.count; ++k) {
    CubicTap& t = taps[k];
    t.phase = static_cast<int>((pos & 0x3FFF) >> 2);
    // The centre itself is not clamped: at the last used line it sits one
    // past it (tap 1 is centre - 1), and the taps are clamped one by one.
    const int64_t centre = FloorPx(pos);
    const bool clamp = clampAlways || centre < 2 || centre > static_cast<int64_t>(imageSize) - 2;
    for (int n = 0; n < 4; ++n) {
      const int64_t v = centre - 2 + n;
      t.line[n] = clamp ? lines.Clamp(v) : static_cast<LONG>(v);
    }
    if (k == 0) {
      pos += MulQ14(axis.covFirst, ratio);
    } else if (k == axis.count - 2) {
      pos += MulQ14(axis.covLast, ratio);
    } else {
      pos += ratio;
    }
  }
  return taps;
}

// The integer passes in SSE2: four channels at once. A pass computes
// (sum + 8192) / 16384 truncated toward zero, with the sum of two products
// per madd; values travel as 16-bit lanes (a vertical result stays within
// about -330..585, the taps within -1,200..16,384).

// Two taps (a, b) repeated in every 32-bit lane, for madd on interleaved
// pairs.
inline __m128i TapPair(LONG a, LONG b) {
  return _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(b) << 16) |
                                         (static_cast<uint32_t>(a) & 0xFFFFu)));
}
// (sum + 8192) / 16384 truncated toward zero, per 32-bit lane.
inline __m128i RoundQ14(__m128i sum) {
  const __m128i t = _mm_add_epi32(sum, _mm_set1_epi32(8192));
  const __m128i bias = _mm_and_si128(_mm_srai_epi32(t, 31), _mm_set1_epi32(16383));
  return _mm_srai_epi32(_mm_add_epi32(t, bias), 14);
}
// Σ of four 16-bit vectors (channels in the low four lanes) weighted by
// the tap pairs w01 and w23, per channel, as 32-bit lanes.
inline __m128i FourTaps(__m128i v0, __m128i v1, __m128i v2, __m128i v3, __m128i w01,
                        __m128i w23) {
  return _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(v0, v1), w01),
                       _mm_madd_epi16(_mm_unpacklo_epi16(v2, v3), w23));
}
inline __m128i LoadPixel16(const BYTE* px) {
  int v;
  std::memcpy(&v, px, 4);
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), _mm_setzero_si128());
}

template <bool kFloat>
void CubicRows(const WUSUBPIXELPARAM& p, const SIZE& srcSize, bool overwrite) {
  // A ring entry: four floats, or four 16-bit lanes (8 bytes) in integer.
  using Value = std::conditional_t<kFloat, float, int16_t>;
  constexpr int bpp = kFloat ? 16 : 4;
  const WUCUBICWEIGHTS& w = WuCubicWeights();
  const Axis ax(p.dstClip.left, p.dstClip.right);
  const Axis ay(p.dstClip.top, p.dstClip.bottom);
  const std::vector<CubicTap> cols =
      CubicTaps(ax, p.srcUsed.left, p.srcUsed.right, p.ratioX, srcSize.cx, false);
  const std::vector<CubicTap> rows =
      CubicTaps(ay, p.srcUsed.top, p.srcUsed.bottom, p.ratioY, srcSize.cy, true);

  for (LONG r = 0; r < ay.count; ++r) {
    const CubicTap& ty = rows[r];
    const BYTE* srcRow[4];
    for (int n = 0; n < 4; ++n) srcRow[n] = SrcPixel(p, ty.line[n], 0, bpp);
    BYTE* out = DstRow(p, ay.first + r) + static_cast<ptrdiff_t>(ax.first) * bpp;
    const LONG covY = ay.Coverage(r);

    const __m128i wy01 = TapPair(w.q[ty.phase][0], w.q[ty.phase][1]);
    const __m128i wy23 = TapPair(w.q[ty.phase][2], w.q[ty.phase][3]);
    (void)wy01;
    (void)wy23;

    // The ring: four vertically filtered columns, tagged by source column.
    alignas(16) Value ring[4][4];
    LONG tag[4] = {-1, -1, -1, -1};
    bool ringValid = false;

    auto filterColumn = [&](LONG col, Value* v) {
      if constexpr (kFloat) {
        const float* wy = w.f[ty.phase];
        for (int c = 0; c < 4; ++c) {
          double s = 0.0;
          for (int n = 0; n < 4; ++n) {
            s += static_cast<double>(wy[n]) *
                 reinterpret_cast<const float*>(srcRow[n] + static_cast<ptrdiff_t>(col) * 16)[c];
          }
          v[c] = static_cast<float>(s);
        }
      } else {
        const ptrdiff_t at = static_cast<ptrdiff_t>(col) * 4;
        const __m128i sum = FourTaps(LoadPixel16(srcRow[0] + at), LoadPixel16(srcRow[1] + at),
                                     LoadPixel16(srcRow[2] + at), LoadPixel16(srcRow[3] + at),
                                     wy01, wy23);
        const __m128i q = RoundQ14(sum);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v), _mm_packs_epi32(q, q));
      }
    };

    for (LONG k = 0; k < ax.count; ++k, out += bpp) {
      const CubicTap& tx = cols[k];
      if (!ringValid || std::memcmp(tag, tx.line, sizeof(tag)) != 0) {
        // Keep what the ring already holds, filter only the new columns.
        alignas(16) Value next[4][4];
        for (int n = 0; n < 4; ++n) {
          int found = -1;
          if (ringValid) {
            for (int m = 0; m < 4; ++m) {
              if (tag[m] == tx.line[n]) {
                found = m;
                break;
              }
            }
          }
          if (found >= 0) {
            std::memcpy(next[n], ring[found], sizeof(next[n]));
          } else if (n > 0 && tx.line[n] == tx.line[n - 1]) {
            std::memcpy(next[n], next[n - 1], sizeof(next[n]));
          } else {
            filterColumn(tx.line[n], next[n]);
          }
        }
        std::memcpy(ring, next, sizeof(ring));
        std::memcpy(tag, tx.line, sizeof(tag));
        ringValid = true;
      }

      const bool edge = ax.Edge(k) || ay.Edge(r);
      const bool direct = !edge || overwrite;
      if constexpr (kFloat) {
        const float* wx = w.f[tx.phase];
        float v[4];
        for (int c = 0; c < 4; ++c) {
          double s = 0.0;
          for (int n = 0; n < 4; ++n) s += static_cast<double>(wx[n]) * ring[n][c];
          v[c] = static_cast<float>(s);
        }
        v[3] = WuClamp01(v[3]);
        PutFloat4(reinterpret_cast<float*>(out), v, direct,
                  direct ? 1.0 : BlendFactorF(ax.Coverage(k), covY));
      } else {
        const LONG* wx = w.q[tx.phase];
        const __m128i sum =
            FourTaps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(ring[0])),
                     _mm_loadl_epi64(reinterpret_cast<const __m128i*>(ring[1])),
                     _mm_loadl_epi64(reinterpret_cast<const __m128i*>(ring[2])),
                     _mm_loadl_epi64(reinterpret_cast<const __m128i*>(ring[3])),
                     TapPair(wx[0], wx[1]), TapPair(wx[2], wx[3]));
        const __m128i q = RoundQ14(sum);
        // Clamped to 0..255 by the two saturating packs.
        const __m128i q16 = _mm_packs_epi32(q, q);
        const int packed = _mm_cvtsi128_si32(_mm_packus_epi16(q16, q16));
        if (direct) {
          std::memcpy(out, &packed, 4);
          continue;
        }
        int v[4];
        for (int c = 0; c < 4; ++c) v[c] = (packed >> (8 * c)) & 0xFF;
        PutByte4(out, v, direct, direct ? 255 : BlendFactor8(ax.Coverage(k), covY));
      }
    }
  }
}

}  // namespace

void CubicWorker(const WUSUBPIXELPARAM& p, const SIZE& srcSize, bool isFloat, bool overwrite) {
  if (isFloat) {
    CubicRows<true>(p, srcSize, overwrite);
  } else {
    CubicRows<false>(p, srcSize, overwrite);
  }
}

}  // namespace wuscale

using namespace wuscale;

HRESULT WuDibScale_BiCubicSubPixel(void* dstBits, const SIZE* dstSize, LONG dstStride,
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
  if (!areaFlag || (p.ratioX <= kOne && p.ratioY <= kOne)) {
    CubicWorker(p, *srcSize, isFloat, overwrite);
  } else if (p.ratioX > kOne && p.ratioY > kOne) {
    return WuDibScale_BilinearSubPixel(dstBits, dstSize, dstStride, dstRect, srcBits, srcSize,
                                       srcStride, srcRect, bytesPerPixel, areaFlag, overwriteFlag);
  } else if (p.ratioY >= kOne && p.ratioX <= kOne) {
    AreaBoxCubicWorker(p, isFloat, true, OneWayBoxNeedsWideSums(p.ratioY, true), overwrite);
  } else {
    AreaBoxCubicWorker(p, isFloat, false, OneWayBoxNeedsWideSums(p.ratioX, false), overwrite);
  }
  return 0;
}

HRESULT WuDibScale_BiCubic(void* dstBits, const SIZE* dstSize, LONG dstStride, const RECT* dstRect,
                           const void* srcBits, const SIZE* srcSize, LONG srcStride,
                           const RECT* srcRect, int bytesPerPixel, int areaFlag,
                           int overwriteFlag) {
  return ScaleWholePixels(WuDibScale_BiCubicSubPixel, dstBits, dstSize, dstStride, dstRect,
                          srcBits, srcSize, srcStride, srcRect, bytesPerPixel, areaFlag,
                          overwriteFlag);
}
