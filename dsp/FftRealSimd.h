// The forward real double-precision FFT of variants 1 to 4 (SSE2): the
// half-size complex transform by radix-4 decimation in time (a radix-4 or
// radix-8 first stage by the parity of the half-order, stages blocked in
// cache-sized blocks), its bit reversals, the split of large half-orders
// into sub-blocks and column stages, the scale routine and the post-pass.
//
// Inside the stages the data is in the pair layout: points 2j and 2j + 1 as
// Re a, Re b, Im a, Im b. Twiddles W = e^(-i theta) are stored as (cos
// theta, -sin theta); radix records hold twelve doubles per two positions
// (W^p, W^2p, W^3p for both). Every variant runs the same butterflies in the
// same order, so variants differing only in blocking give equal bits.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "dsp/FftSplitTables.h"
#include "dsp/FftContext.h"
#include "dsp/FftReal.h"
#include "dsp/FftRealKernels.h"
#include "dsp/FftRealSetup.h"
#include "dsp/FftTables.h"
#include "dsp/FftVariants.h"
#include "dsp/Variants.h"

namespace wuperf {
namespace {

// The routes of one variant's forward transform.
struct RealRouteTraits {
  const RealFftTraits* tr;  // split tables, split limit, two-level limit
  int directMax;            // largest half-order of the fused direct routine
  int64_t blockPoints;      // points of one stage block (no blocking: above any order)
  int copyRevMax;           // out of place, whole-array reversal by copy up to here
  int directTileMax;        // out of place, tiles gathered from the source up to here
};

// log2 of a power of two (a plain loop: no bit-scan instruction beyond the
// variant's set).
inline int Log2Of(int32_t count) {
  int h = 0;
  while ((int32_t{1} << h) < count) ++h;
  return h;
}

// The radix-8 first stage's 1/sqrt(2): one unit in the last place below the
// nearest double.
inline double FirstStageH() { return DoubleFromBits(0x3FE6A09E667F3BCCull); }

// One radix-4 stage in the pair layout over `groups` groups of 4*quarter
// points; any alignment. The butterflies of the foundation's block pass;
// kInverse conjugates every factor and exchanges the rotations of the
// outputs at offsets L and 3L.
template <bool kInverse = false>
void Radix4StagePairs(double* data, int64_t quarter, int64_t groups, const double* tw) {
  const int64_t f = 2 * quarter;  // doubles per quarter
  for (int64_t g = 0; g < groups; ++g, data += 4 * f) {
    const double* w = tw;
    for (int64_t p = 0; p < f; p += 4, w += 12) {
      double* q0 = data + p;
      double* q1 = q0 + f;
      double* q2 = q1 + f;
      double* q3 = q2 + f;
      __m128d a0r = _mm_loadu_pd(q0), a0i = _mm_loadu_pd(q0 + 2);
      __m128d a1r = _mm_loadu_pd(q1), a1i = _mm_loadu_pd(q1 + 2);
      __m128d a2r = _mm_loadu_pd(q2), a2i = _mm_loadu_pd(q2 + 2);
      __m128d a3r = _mm_loadu_pd(q3), a3i = _mm_loadu_pd(q3 + 2);
      __m128d c1 = _mm_loadu_pd(w), s1 = _mm_loadu_pd(w + 2);
      __m128d c2 = _mm_loadu_pd(w + 4), s2 = _mm_loadu_pd(w + 6);
      __m128d c3 = _mm_loadu_pd(w + 8), s3 = _mm_loadu_pd(w + 10);
      // t1 = a1 * W2, t2 = a2 * W1, t3 = a3 * W3
      if (kInverse) {
        const __m128d zero = _mm_setzero_pd();
        s1 = _mm_sub_pd(zero, s1), s2 = _mm_sub_pd(zero, s2), s3 = _mm_sub_pd(zero, s3);
      }
      __m128d t1r = _mm_sub_pd(_mm_mul_pd(a1r, c2), _mm_mul_pd(a1i, s2));
      __m128d t1i = _mm_add_pd(_mm_mul_pd(a1i, c2), _mm_mul_pd(a1r, s2));
      __m128d t2r = _mm_sub_pd(_mm_mul_pd(a2r, c1), _mm_mul_pd(a2i, s1));
      __m128d t2i = _mm_add_pd(_mm_mul_pd(a2i, c1), _mm_mul_pd(a2r, s1));
      __m128d t3r = _mm_sub_pd(_mm_mul_pd(a3r, c3), _mm_mul_pd(a3i, s3));
      __m128d t3i = _mm_add_pd(_mm_mul_pd(a3i, c3), _mm_mul_pd(a3r, s3));
      __m128d u0r = _mm_add_pd(a0r, t1r), u0i = _mm_add_pd(a0i, t1i);
      __m128d u1r = _mm_sub_pd(a0r, t1r), u1i = _mm_sub_pd(a0i, t1i);
      __m128d v0r = _mm_add_pd(t2r, t3r), v0i = _mm_add_pd(t2i, t3i);
      __m128d v1r = _mm_sub_pd(t2r, t3r), v1i = _mm_sub_pd(t2i, t3i);
      _mm_storeu_pd(q0, _mm_add_pd(u0r, v0r));
      _mm_storeu_pd(q0 + 2, _mm_add_pd(u0i, v0i));
      _mm_storeu_pd(q2, _mm_sub_pd(u0r, v0r));
      _mm_storeu_pd(q2 + 2, _mm_sub_pd(u0i, v0i));
      // y1 = u1 - i*v1, y3 = u1 + i*v1 (inverse: the other way round)
      double* qm = kInverse ? q3 : q1;
      double* qp = kInverse ? q1 : q3;
      _mm_storeu_pd(qm, _mm_add_pd(u1r, v1i));
      _mm_storeu_pd(qm + 2, _mm_sub_pd(u1i, v1r));
      _mm_storeu_pd(qp, _mm_sub_pd(u1r, v1i));
      _mm_storeu_pd(qp + 2, _mm_add_pd(u1i, v1r));
    }
  }
}

// Radix-4 first stage of four points (x0..x3 as re, im), written as two
// pair units at out; kInverse rotates by +i where the forward one rotates
// by -i.
template <bool kInverse = false>
void FirstRadix4(const double (&x)[4][2], double* out) {
  double s0r = x[0][0] + x[1][0], s0i = x[0][1] + x[1][1];
  double d0r = x[0][0] - x[1][0], d0i = x[0][1] - x[1][1];
  double s1r = x[2][0] + x[3][0], s1i = x[2][1] + x[3][1];
  double d1r = x[2][0] - x[3][0], d1i = x[2][1] - x[3][1];
  // y0 = s0 + s1, y1 = d0 - i d1, y2 = s0 - s1, y3 = d0 + i d1
  if (kInverse) d1r = -d1r, d1i = -d1i;
  out[0] = s0r + s1r, out[1] = d0r + d1i, out[2] = s0i + s1i, out[3] = d0i - d1r;
  out[4] = s0r - s1r, out[5] = d0r - d1i, out[6] = s0i - s1i, out[7] = d0i + d1r;
}

// Radix-8 first stage of eight points, four pair units at out; kInverse
// takes the conjugate rotations h (1 + i), +i and -h (1 - i).
template <bool kInverse = false>
void FirstRadix8(const double (&x)[8][2], double* out) {
  const double h = FirstStageH();
  double e[4][2], o[4][2];
  for (int half = 0; half < 2; ++half) {
    const double(*v)[2] = x + 4 * half;
    double(*y)[2] = half == 0 ? e : o;
    double s0r = v[0][0] + v[1][0], s0i = v[0][1] + v[1][1];
    double d0r = v[0][0] - v[1][0], d0i = v[0][1] - v[1][1];
    double s1r = v[2][0] + v[3][0], s1i = v[2][1] + v[3][1];
    double d1r = v[2][0] - v[3][0], d1i = v[2][1] - v[3][1];
    if (kInverse) d1r = -d1r, d1i = -d1i;
    y[0][0] = s0r + s1r, y[0][1] = s0i + s1i;
    y[1][0] = d0r + d1i, y[1][1] = d0i - d1r;
    y[2][0] = s0r - s1r, y[2][1] = s0i - s1i;
    y[3][0] = d0r - d1i, y[3][1] = d0i + d1r;
  }
  // w1 o = (o + (-i)o) h, w2 o = -i o, w3 o = (o - (-i)o)(-h)
  double w[4][2];
  w[0][0] = o[0][0], w[0][1] = o[0][1];
  if (kInverse) {
    // w1 o = (o + i o) h, w2 o = i o, w3 o = (o - i o)(-h)
    w[1][0] = (o[1][0] - o[1][1]) * h, w[1][1] = (o[1][1] + o[1][0]) * h;
    w[2][0] = -o[2][1], w[2][1] = o[2][0];
    w[3][0] = (o[3][0] + o[3][1]) * -h, w[3][1] = (o[3][1] - o[3][0]) * -h;
  } else {
    w[1][0] = (o[1][0] + o[1][1]) * h, w[1][1] = (o[1][1] - o[1][0]) * h;
    w[2][0] = o[2][1], w[2][1] = -o[2][0];
    w[3][0] = (o[3][0] - o[3][1]) * -h, w[3][1] = (o[3][1] + o[3][0]) * -h;
  }
  double y[8][2];
  for (int k = 0; k < 4; ++k) {
    y[k][0] = e[k][0] + w[k][0], y[k][1] = e[k][1] + w[k][1];
    y[k + 4][0] = e[k][0] - w[k][0], y[k + 4][1] = e[k][1] - w[k][1];
  }
  for (int u = 0; u < 4; ++u) {
    out[4 * u] = y[2 * u][0], out[4 * u + 1] = y[2 * u + 1][0];
    out[4 * u + 2] = y[2 * u][1], out[4 * u + 3] = y[2 * u + 1][1];
  }
}

// The radix-4 stages after the first (spans 16, 64, ... or 32, 128, ...
// up to m), on pair-layout data in place: first block by block on blocks of
// blockPoints points, then the remaining spans over the whole array.
template <bool kInverse = false>
void StagesAfterFirst(double* data, int h, const double* tw, int64_t blockPoints) {
  const int64_t m = Pow2(h);
  const int64_t firstSpan = (h & 1) ? 32 : 16;
  const int64_t inBlock = m <= blockPoints ? m : blockPoints;
  int64_t offset = 0;  // doubles of the table before the span
  int64_t span = firstSpan;
  const double* twAt = tw;
  if (m > inBlock) {
    for (int64_t b = 0; b < m; b += inBlock) {
      int64_t off = 0;
      for (int64_t s = firstSpan; s <= inBlock; s *= 4) {
        Radix4StagePairs<kInverse>(data + 2 * b, s / 4, inBlock / s, tw + off);
        off += 3 * s / 2;
      }
    }
    for (; span <= inBlock; span *= 4) offset += 3 * span / 2;
  }
  for (; span <= m; span *= 4) {
    twAt = tw + offset;
    Radix4StagePairs<kInverse>(data, span / 4, m / span, twAt);
    offset += 3 * span / 2;
  }
}

// Pair layout to interleaved points, in place or into dst.
inline void PairsToPoints(const double* src, double* dst, int64_t m) {
  for (int64_t u = 0; u < 2 * m; u += 4) {
    double ra = src[u], rb = src[u + 1], ia = src[u + 2], ib = src[u + 3];
    dst[u] = ra, dst[u + 1] = ia, dst[u + 2] = rb, dst[u + 3] = ib;
  }
}

// The reverse of index j of h bits through the index table of order h
// (word q = 2 rev(q) over h - 2 bits).
inline int64_t ReverseIndex(int64_t j, int64_t m, const uint32_t* table) {
  static constexpr int kRev2[4] = {0, 2, 1, 3};
  return kRev2[j & 3] * (m / 4) + table[j >> 2] / 2;
}

inline void BitRevInPlaceIndex(double* data, int64_t m, const uint32_t* table) {
  for (int64_t j = 0; j < m; ++j) {
    int64_t r = ReverseIndex(j, m, table);
    if (j < r) {
      double re = data[2 * j], im = data[2 * j + 1];
      data[2 * j] = data[2 * r], data[2 * j + 1] = data[2 * r + 1];
      data[2 * r] = re, data[2 * r + 1] = im;
    }
  }
}

inline void BitRevCopyIndex(const double* src, double* dst, int64_t m, const uint32_t* table) {
  for (int64_t j = 0; j < m; ++j) {
    int64_t r = ReverseIndex(j, m, table);
    dst[2 * r] = src[2 * j];
    dst[2 * r + 1] = src[2 * j + 1];
  }
}

// The first stage on bit-reversed interleaved data in place, into pairs.
template <bool kInverse = false>
void FirstStageInPlace(double* data, int h) {
  const int64_t m = Pow2(h);
  if (h & 1) {
    for (int64_t q = 0; q < m; q += 8) {
      double x[8][2];
      for (int t = 0; t < 8; ++t) x[t][0] = data[2 * (q + t)], x[t][1] = data[2 * (q + t) + 1];
      FirstRadix8<kInverse>(x, data + 2 * q);
    }
  } else {
    for (int64_t q = 0; q < m; q += 4) {
      double x[4][2];
      for (int t = 0; t < 4; ++t) x[t][0] = data[2 * (q + t)], x[t][1] = data[2 * (q + t) + 1];
      FirstRadix4<kInverse>(x, data + 2 * q);
    }
  }
}

// All stages of a bit-reversed m-point transform in place (kInverse: the
// unnormalised inverse).
template <bool kInverse = false>
void PassesPairs(double* data, int h, const double* tw, int64_t blockPoints, bool whole) {
  FirstStageInPlace<kInverse>(data, h);
  StagesAfterFirst<kInverse>(data, h, tw, blockPoints);
  if (whole) PairsToPoints(data, data, Pow2(h));
}

// The whole transform with the bit reversal fused into the first stage: the
// stages run in the destination when it differs from the source and lies on
// a 16-byte boundary, else in the work buffer. kInverse: the unnormalised
// inverse (conjugate first stages and passes).
template <bool kInverse = false>
void DirectTransform(const double* src, double* dst, int h, const double* tw,
                            const uint32_t* table, uint8_t* work, int64_t blockPoints) {
  const int64_t m = Pow2(h);
  double* a = (src != dst && (reinterpret_cast<uintptr_t>(dst) & 15) == 0)
                  ? dst
                  : reinterpret_cast<double*>(work);
  static constexpr int kRev2[4] = {0, 2, 1, 3};
  static constexpr int kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  if (h & 1) {
    for (int64_t q = 0; q < m / 8; ++q) {
      const int64_t r = table[2 * q] / 2;
      double x[8][2];
      for (int t = 0; t < 8; ++t) {
        const int64_t i = kRev3[t] * (m / 8) + r;
        x[t][0] = src[2 * i], x[t][1] = src[2 * i + 1];
      }
      FirstRadix8<kInverse>(x, a + 16 * q);
    }
  } else {
    for (int64_t q = 0; q < m / 4; ++q) {
      const int64_t r = table[q] / 2;
      double x[4][2];
      for (int t = 0; t < 4; ++t) {
        const int64_t i = kRev2[t] * (m / 4) + r;
        x[t][0] = src[2 * i], x[t][1] = src[2 * i + 1];
      }
      FirstRadix4<kInverse>(x, a + 8 * q);
    }
  }
  StagesAfterFirst<kInverse>(a, h, tw, blockPoints);
  PairsToPoints(a, dst, m);
}

// The post-pass after the fold: records A_k, A_k+1, B_k, B_k+1 for k = 1,
// 2, then 3, 4 and so on; the step that reaches k = m/2 does only its first
// k; then the middle point's imaginary part changes sign.
inline void PostPassRecords(double* z, int64_t m, const double* table) {
  const int64_t last = m / 2 - 1;
  for (int64_t k = 1; k <= last; k += 2, table += 4) {
    for (int t = 0; t < 2 && k + t <= last; ++t) {
      const int64_t i = k + t, j = m - i;
      const double ak = table[t], bk = table[2 + t];
      const double zr = z[2 * i], zi = z[2 * i + 1], wr = z[2 * j], wi = z[2 * j + 1];
      const double sum = wi + zi, diff = zr - wr;
      const double g = sum * ak + diff * bk;
      const double hh = bk * sum - ak * diff;
      z[2 * i] = wr + g, z[2 * i + 1] = hh - wi;
      z[2 * j] = zr - g, z[2 * j + 1] = hh - zi;
    }
  }
  z[m + 1] = -z[m + 1];
}

// The split of a large half-size transform, over the variant's kernels K
// (Gather, Scatter, BlockBitRev, Radix4, Radix2, Copy, Passes, Scale,
// BitRevInPlace, BitRevCopy).

// One split level of order l at `depth` in place: 2^s sub-blocks of 2^(l-s)
// points transformed (by the passes and the scaling, or a lower level),
// then the last s stages across the sub-blocks, column group by column
// group through the work buffer. The result stays in the pair layout unless
// `interleave` (the top level). kInverse: the inverse passes and column
// stages, scaled by the inverse flag.
template <class K, bool kInverse = false>
void SplitLevel(const RealRouteTraits& rt, const FftSpecReal* ctx, double* data, int l, int depth,
                uint8_t* work, bool interleave) {
  const int s = rt.tr->split[l];
  const int d = l - s;
  const int64_t len = Pow2(d), rows = Pow2(s);
  for (int64_t r = 0; r < rows; ++r) {
    double* sub = data + 2 * len * r;
    if (d > rt.tr->directLimit) {
      SplitLevel<K, kInverse>(rt, ctx, sub, d, depth + 1, work, false);
    } else {
      const double* leafTw = static_cast<const double*>(ctx->twiddleTable);
      if (kInverse)
        K::InvPasses(sub, static_cast<int32_t>(len), leafTw, work, 0);
      else
        K::Passes(sub, static_cast<int32_t>(len), leafTw, work, 0);
      if (kInverse ? ctx->scaleInverse : ctx->scaleForward)
        K::Scale(ctx->scaleFactor, sub, static_cast<int32_t>(2 * len));
    }
  }
  const int64_t g = Pow2(rt.tr->block[l] - s);
  CheckDepth(depth);
  const double* tw = static_cast<const double*>(ctx->levelTwiddle[depth]);
  double* blk = reinterpret_cast<double*>(work);
  for (int64_t first = 0; first < len; first += g) {
    K::Gather(data + 2 * first, blk, static_cast<int32_t>(len), static_cast<int32_t>(rows),
              static_cast<int32_t>(g));
    int64_t quarter = g;
    for (int k = 0; k < s / 2; ++k) {
      const int32_t groups = static_cast<int32_t>(rows * g / (4 * quarter));
      if (kInverse)
        K::InvRadix4(blk, blk, static_cast<int32_t>(quarter), groups, tw);
      else
        K::Radix4(blk, blk, static_cast<int32_t>(quarter), groups, tw);
      tw += 6 * quarter;
      quarter *= 4;
    }
    if (s & 1) {
      if (kInverse)
        K::InvRadix2(blk, blk, static_cast<int32_t>(quarter), 1, tw);
      else
        K::Radix2(blk, blk, static_cast<int32_t>(quarter), 1, tw);
      tw += 2 * quarter;
    }
    K::Scatter(data + 2 * first, blk, static_cast<int32_t>(len), static_cast<int32_t>(rows),
               static_cast<int32_t>(g), interleave ? 1 : 0);
  }
}

// Tile bit reversal with the two-level table of tile order 5 (row words
// rev(i) << 5 over c - 10 bits, then the pair table of order 10): tile i
// holds the 32 rows of 32 points whose middle bits are i; it and its
// partner tile go through the work buffer, each reversed over 10 bits.
// In place, or (src != dst) each destination tile gathered from the source.
template <class K>
void TileBitRev(const double* src, double* dst, int c, const uint32_t* table, double* w) {
  const int64_t m = Pow2(c);
  const int64_t tiles = Pow2(c - 10);
  const uint32_t* pairs = table + tiles;
  const int32_t stride = static_cast<int32_t>(m / 32);
  double* w2 = w + 2 * 1024;
  for (int64_t i = 0; i < tiles; ++i) {
    const int64_t e = table[i];
    const int64_t self = 32 * i;
    if (src != dst) {
      K::Gather(src + 2 * e, w, stride, 32, 32);
      K::BlockBitRev(w, 1024, pairs);
      K::Scatter(dst + 2 * self, w, stride, 32, 32, 0);
    } else if (e > self) {
      K::Gather(dst + 2 * self, w, stride, 32, 32);
      K::Gather(dst + 2 * e, w2, stride, 32, 32);
      K::BlockBitRev(w, 1024, pairs);
      K::BlockBitRev(w2, 1024, pairs);
      K::Scatter(dst + 2 * e, w, stride, 32, 32, 0);
      K::Scatter(dst + 2 * self, w2, stride, 32, 32, 0);
    } else if (e == self) {
      K::Gather(dst + 2 * self, w, stride, 32, 32);
      K::BlockBitRev(w, 1024, pairs);
      K::Scatter(dst + 2 * self, w, stride, 32, 32, 0);
    }
  }
}

// The whole split transform of half-order c (scaling included): the bit
// reversal by the variant's routes, then the top split level (kInverse:
// the inverse one).
template <class K, bool kInverse = false>
void LargeTransform(const RealRouteTraits& rt, const FftSpecReal* ctx, const double* src,
                    double* dst, int c, uint8_t* work) {
  const int64_t m = Pow2(c);
  const uint32_t* table = static_cast<const uint32_t*>(ctx->bitRevTable);
  if (c < rt.tr->twoLevelFrom) {
    if (src == dst) {
      K::BitRevInPlace(dst, static_cast<int32_t>(m), table);
    } else if (c <= rt.copyRevMax) {
      K::BitRevCopy(src, dst, static_cast<int32_t>(m), table);
    } else {
      K::Copy(src, dst, static_cast<int32_t>(16 * m));
      K::BitRevInPlace(dst, static_cast<int32_t>(m), table);
    }
  } else {
    double* w = reinterpret_cast<double*>(work);
    if (src == dst || c <= rt.directTileMax) {
      TileBitRev<K>(src, dst, c, table, w);
    } else {
      K::Copy(src, dst, static_cast<int32_t>(16 * m));
      TileBitRev<K>(dst, dst, c, table, w);
    }
  }
  SplitLevel<K, kInverse>(rt, ctx, dst, c, 0, work, true);
}

}  // namespace
}  // namespace wuperf

// The kernels a split uses, by variant.
#define WU_FFT_REAL_SIMD_KERNELS(V)                                                             \
  struct RealKernels##V {                                                                       \
    static void Gather(const double* s, double* d, int32_t st, int32_t r, int32_t l) {          \
      WuPerfFFT64f_BlockGather_##V(s, d, st, r, l);                                             \
    }                                                                                           \
    static void Scatter(double* d, const double* s, int32_t st, int32_t r, int32_t l,           \
                        int32_t mode) {                                                         \
      WuPerfFFT64f_BlockScatter_##V(d, s, st, r, l, mode);                                      \
    }                                                                                           \
    static void BlockBitRev(double* d, int32_t n, const uint32_t* p) {                          \
      WuPerfFFT64f_BlockBitRev_##V(d, n, p);                                                    \
    }                                                                                           \
    static void Radix4(const double* s, double* d, int32_t q, int32_t g, const double* t) {     \
      WuPerfFFTFwd64f_Radix4Pass_##V(s, d, q, g, t);                                            \
    }                                                                                           \
    static void Radix2(const double* s, double* d, int32_t q, int32_t g, const double* t) {     \
      WuPerfFFTFwd64f_Radix2Pass_##V(s, d, q, g, t);                                            \
    }                                                                                           \
    static void InvRadix4(const double* s, double* d, int32_t q, int32_t g, const double* t) {  \
      WuPerfFFTInv64f_Radix4Pass_##V(s, d, q, g, t);                                            \
    }                                                                                           \
    static void InvRadix2(const double* s, double* d, int32_t q, int32_t g, const double* t) {  \
      WuPerfFFTInv64f_Radix2Pass_##V(s, d, q, g, t);                                            \
    }                                                                                           \
    static void InvPasses(double* d, int32_t n, const double* t, uint8_t* w, int32_t whole) {   \
      WuPerfFFTInv64f_Passes_##V(d, n, t, w, whole);                                            \
    }                                                                                           \
    static void Copy(const double* s, double* d, int32_t bytes) {                               \
      WuPerfCopy8u_Kernel_##V(s, d, bytes);                                                     \
    }                                                                                           \
    static void Passes(double* d, int32_t n, const double* t, uint8_t* w, int32_t whole) {      \
      WuPerfFFTFwd64f_Passes_##V(d, n, t, w, whole);                                            \
    }                                                                                           \
    static WuPerfStatus Scale(double f, double* d, int32_t n) {                                 \
      return WuPerfFFT64f_Scale_##V(f, d, n);                                                   \
    }                                                                                           \
    static void BitRevInPlace(double* d, int32_t n, const uint32_t* t) {                        \
      WuPerfFFT64f_BitRevInPlace_##V(d, n, t);                                                  \
    }                                                                                           \
    static void BitRevCopy(const double* s, double* d, int32_t n, const uint32_t* t) {          \
      WuPerfFFT64f_BitRevCopy_##V(s, d, n, t);                                                  \
    }                                                                                           \
  };

// The transform routines of SIMD variant V with route traits R (a
// RealRouteTraits) and the variant's split traits.
#define WU_DEFINE_FFT_REAL_SIMD(V, R)                                                           \
  void WuPerfFFT64f_BitRevInPlace_##V(double* data, int32_t count, const uint32_t* table) {    \
    BitRevInPlaceIndex(data, count, table);                                                     \
  }                                                                                             \
  void WuPerfFFT64f_BitRevCopy_##V(const double* src, double* dst, int32_t count,              \
                                   const uint32_t* table) {                                     \
    BitRevCopyIndex(src, dst, count, table);                                                    \
  }                                                                                             \
  WuPerfStatus WuPerfFFT64f_Scale_##V(double factor, double* data, int32_t n) {                 \
    if (data == nullptr) return WuPerfErrNullPointer;                                           \
    if (n <= 0) return WuPerfErrSize;                                                           \
    if (factor == 1.0) return WuPerfOk;                                                         \
    if (factor == 0.0) return WuPerfZero64f_##V(data, n);                                       \
    WuPerfScale64f_Kernel_##V(factor, data, n);                                                 \
    return WuPerfOk;                                                                            \
  }                                                                                             \
  void WuPerfFFTFwd64f_Direct_##V(const double* src, double* dst, int32_t count,               \
                                  const double* twiddles, const uint32_t* table,               \
                                  uint8_t* work) {                                              \
    DirectTransform(src, dst, Log2Of(count), twiddles, table,  \
                    work, R.blockPoints);                                                       \
  }                                                                                             \
  void WuPerfFFTFwd64f_Passes_##V(double* data, int32_t count, const double* twiddles,         \
                                  uint8_t*, int32_t whole) {                                    \
    PassesPairs(data, Log2Of(count), twiddles, R.blockPoints,  \
                whole == 1);                                                                    \
  }                                                                                             \
  void WuPerfFFTInv64f_Passes_##V(double* data, int32_t count, const double* twiddles,         \
                                  uint8_t*, int32_t whole) {                                    \
    PassesPairs<true>(data, Log2Of(count), twiddles,           \
                      R.blockPoints, whole == 1);                                               \
  }                                                                                             \
  void WuPerfFFTFwd64f_RealPostPass_##V(double* data, int32_t count, int32_t,                  \
                                        const double* table) {                                  \
    PostPassRecords(data, count, table);                                                        \
  }                                                                                             \
  void WuPerfFFTFwd64f_Large_##V(const FftSpecReal* ctx, const double* src, double* dst,        \
                                 int32_t h, uint8_t* work) {                                   \
    LargeTransform<RealKernels##V>(R, ctx, src, dst, h, work);                                 \
  }                                                                                             \
  void WuPerfFFTFwd64f_SplitRecurse_##V(const FftSpecReal* ctx, double* data, int32_t order,   \
                                        int32_t depth, uint8_t* work) {                         \
    SplitLevel<RealKernels##V>(R, ctx, data, order, depth, work, false);                       \
  }                                                                                             \
  void WuPerfFFTFwd64f_SplitTwiddlePass_##V(double* data, int32_t total, int32_t block,         \
                                            const double* quarter, int32_t chunk) {             \
    SplitTwiddlePass(data, total, block, quarter, chunk);                                       \
  }                                                                                             \
  void WuPerfFFTInv64f_Direct_##V(const double* src, double* dst, int32_t count,               \
                                  const double* twiddles, const uint32_t* table,               \
                                  uint8_t* work) {                                              \
    DirectTransform<true>(src, dst, Log2Of(count), twiddles, table, work, R.blockPoints);       \
  }                                                                                             \
  void WuPerfFFTInv64f_RealPrePass_##V(const double* src, double* dst, int32_t count, int32_t,  \
                                       const double* table) {                                   \
    /* Record (k - 1) / 2 serves bins k (odd) and k + 1. */                                     \
    InversePrePass(src, dst, count, [table](int64_t k, double& cs, double& ns) {                \
      const double* rec = table + 4 * ((k - 1) >> 1);                                           \
      const int64_t slot = (k - 1) & 1;                                                         \
      cs = rec[slot], ns = rec[2 + slot];                                                       \
    });                                                                                         \
  }                                                                                             \
  void WuPerfFFTInv64f_Large_##V(const FftSpecReal* ctx, const double* src, double* dst,        \
                                 int32_t h, uint8_t* work) {                                   \
    LargeTransform<RealKernels##V, true>(R, ctx, src, dst, h, work);                           \
  }                                                                                             \
  void WuPerfFFTInv64f_SplitRecurse_##V(const FftSpecReal* ctx, double* data, int32_t order,   \
                                        int32_t depth, uint8_t* work) {                         \
    SplitLevel<RealKernels##V, true>(R, ctx, data, order, depth, work, false);                 \
  }                                                                                             \
  void WuPerfFFTInv64f_SplitTwiddlePass_##V(double* data, int32_t total, int32_t block,         \
                                            const double* quarter, int32_t chunk) {             \
    SplitTwiddlePass<true>(data, total, block, quarter, chunk);                                 \
  }

// Everything of the forward real FFT in SIMD variant V (digit N): the
// route traits R, the variant's split traits TR, the fixed kernels, the
// transform routines, the set-up and the driver. Expanded inside the
// variant's namespace.
#define WU_DEFINE_FFT_REAL_VARIANT_SIMD(V, N, R, TR)                                             \
  namespace {                                                                                   \
  WU_FFT_REAL_SIMD_KERNELS(V)                                                                   \
  struct RealOps##V {                                                                           \
    static constexpr int kVariant = N;                                                          \
    static constexpr int kDirectLimit = TR.directLimit;                                         \
    static constexpr bool kPairTables = false;                                                  \
    static uint8_t* Malloc(int32_t n) { return WuPerfsMalloc_##V(n); }                          \
    static void Free(void* p) { WuPerfsFree_##V(p); }                                           \
    static void Zero8u(void* p, int32_t n) { WuPerfZero8u_Kernel_##V(p, n); }                   \
    static double* BaseTwiddle(int32_t o, double* d) { return WuPerfFFT64f_BaseTwiddle_##V(o, d); } \
    static uint32_t* BitRevTable(int32_t o, uint32_t* d) { return WuPerfFFT_BitRevTable_##V(o, d); } \
    static double* RadixTwiddle(int32_t h, const double* s, int32_t a, double* d) {             \
      return WuPerfFFT64f_RadixTwiddle_##V(h, s, a, d);                                         \
    }                                                                                           \
    static uint8_t* InitLarge(FftSpecReal* sp, int32_t h, const double* s, int32_t a,           \
                              uint8_t* d, uint8_t* scratch) {                                   \
      return WuPerfFFT64f_InitLarge_##V(sp, h, s, a, d, scratch);                               \
    }                                                                                           \
    static void GetSizesLarge(int32_t h, int32_t* s, int32_t* i, int32_t* w) {                  \
      WuPerfFFT64f_GetSizesLarge_##V(h, s, i, w);                                               \
    }                                                                                           \
    static double* FwdRealTwiddle(int32_t n, const double* s, int32_t a, double* d) {           \
      return WuPerfFFTFwd64f_RealTwiddle_##V(n, s, a, d);                                       \
    }                                                                                           \
    static double* InvRealTwiddle(int32_t n, const double* s, int32_t a, double* d) {           \
      return WuPerfFFTInv64f_RealTwiddle_##V(n, s, a, d);                                       \
    }                                                                                           \
    static void HalfTransform(const FftSpecReal* ctx, const double* src, double* dst, int h,   \
                              uint8_t* work) {                                                  \
      const int32_t m = static_cast<int32_t>(Pow2(h));                                          \
      const double* tw = static_cast<const double*>(ctx->twiddleTable);                        \
      const uint32_t* rev = static_cast<const uint32_t*>(ctx->bitRevTable);                    \
      if (h > TR.directLimit) {                                                                 \
        WuPerfFFTFwd64f_Large_##V(ctx, src, dst, h, work);                                     \
        return;                                                                                 \
      }                                                                                         \
      if (h <= R.directMax) {                                                                   \
        WuPerfFFTFwd64f_Direct_##V(src, dst, m, tw, rev, work);                                 \
      } else {                                                                                  \
        if (src == dst)                                                                         \
          WuPerfFFT64f_BitRevInPlace_##V(dst, m, rev);                                          \
        else                                                                                    \
          WuPerfFFT64f_BitRevCopy_##V(src, dst, m, rev);                                        \
        WuPerfFFTFwd64f_Passes_##V(dst, m, tw, work, 1);                                        \
      }                                                                                         \
      if (ctx->scaleForward) WuPerfFFT64f_Scale_##V(ctx->scaleFactor, dst, 2 * m);            \
    }                                                                                           \
    static void PostPass(double* d, int32_t m, int32_t dir, const double* t) {                  \
      WuPerfFFTFwd64f_RealPostPass_##V(d, m, dir, t);                                           \
    }                                                                                           \
    static void PrePass(const double* s, double* d, int32_t m, int32_t sign, const double* t) { \
      WuPerfFFTInv64f_RealPrePass_##V(s, d, m, sign, t);                                        \
    }                                                                                           \
    static void InvHalfTransform(const FftSpecReal* ctx, double* dst, int h, uint8_t* work) {  \
      const int32_t m = static_cast<int32_t>(Pow2(h));                                          \
      const double* tw = static_cast<const double*>(ctx->twiddleTable);                        \
      const uint32_t* rev = static_cast<const uint32_t*>(ctx->bitRevTable);                    \
      if (h > TR.directLimit) {                                                                 \
        WuPerfFFTInv64f_Large_##V(ctx, dst, dst, h, work);                                     \
        return;                                                                                 \
      }                                                                                         \
      if (h <= R.directMax) {                                                                   \
        WuPerfFFTInv64f_Direct_##V(dst, dst, m, tw, rev, work);                                 \
      } else {                                                                                  \
        WuPerfFFT64f_BitRevInPlace_##V(dst, m, rev);                                            \
        WuPerfFFTInv64f_Passes_##V(dst, m, tw, work, 1);                                        \
      }                                                                                         \
      if (ctx->scaleInverse) WuPerfFFT64f_Scale_##V(ctx->scaleFactor, dst, 2 * m);            \
    }                                                                                           \
  };                                                                                            \
  }                                                                                             \
  WU_DEFINE_FFT_REAL_FIXED(V)                                                                   \
  WU_DEFINE_FFT_REAL_SIMD(V, R)                                                                 \
  WU_DEFINE_FFT_REAL_SETUP(V, RealOps##V)
