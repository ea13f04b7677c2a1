// The real double-precision FFT of variants 1 to 4 (SSE2), both
// directions: the half-size complex transform by radix-4 decimation in time
// (a radix-4 or radix-8 first stage by the parity of the half-order, fused
// with the bit reversal in the direct routine; stages blocked in
// cache-sized blocks; a last stage that writes the result, in the forward
// direction below the split with the post-pass's steps), its bit
// reversals by 4 x 4 blocks, the split of large half-orders into sub-blocks
// and column stages, the scale routine, the post-pass and the pre-pass.
//
// Inside the stages the data is in the pair layout: points 2j and 2j + 1 as
// Re a, Re b, Im a, Im b. Twiddles W = e^(-i theta) are stored as (cos
// theta, -sin theta); radix records hold twelve doubles per two positions
// (W^p, W^2p, W^3p for both). Every variant runs the same butterflies in the
// same order, so variants differing only in blocking, walks and store
// widths give equal bits. The stages work on a 16-byte boundary (the data,
// else the work buffer); only a split leaf too large for the work buffer
// runs in place with unaligned accesses.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <type_traits>

#include "dsp/FftSplitTables.h"
#include "dsp/FftContext.h"
#include "dsp/FftReal.h"
#include "dsp/FftRealKernels.h"
#include "dsp/FftRealPrePass.h"
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
  int64_t copyWalkMax;      // bit-reversal copy walks the source runs up to here
  int64_t lastVectorFrom;   // last stage stores whole vectors from this many points
  bool radix8SecondWord;    // radix-8 first stage: second start from the next table word
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

inline bool Aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

// Two doubles from or to p; kAligned: p lies on a 16-byte boundary.
template <bool kAligned>
inline __m128d Load2(const double* p) {
  if constexpr (kAligned) return _mm_load_pd(p);
  else return _mm_loadu_pd(p);
}
template <bool kAligned>
inline void Store2(double* p, __m128d v) {
  if constexpr (kAligned) _mm_store_pd(p, v);
  else _mm_storeu_pd(p, v);
}

// Flips the sign of both lanes (an exact negation, as unary minus).
inline __m128d Negate2(__m128d v) { return _mm_xor_pd(v, _mm_set1_pd(-0.0)); }

// The outputs y0..y3 of a radix-4 butterfly on two positions: real parts
// and imaginary parts of the two positions each.
struct Quad {
  __m128d r[4], i[4];
};

// t = a W = (re c - im s, re s + im c) for the stored factor (c, s);
// kConj: with the conjugate factor, (re c + im s, im c - re s).
template <bool kConj>
inline void MulFactor(__m128d ar, __m128d ai, __m128d c, __m128d s, __m128d& tr, __m128d& ti) {
  if constexpr (kConj) {
    tr = _mm_add_pd(_mm_mul_pd(ar, c), _mm_mul_pd(ai, s));
    ti = _mm_sub_pd(_mm_mul_pd(ai, c), _mm_mul_pd(ar, s));
  } else {
    tr = _mm_sub_pd(_mm_mul_pd(ar, c), _mm_mul_pd(ai, s));
    ti = _mm_add_pd(_mm_mul_pd(ai, c), _mm_mul_pd(ar, s));
  }
}

// One radix-4 butterfly on positions p, p + 1 of the four quarters q0,
// q0 + f, q0 + 2f, q0 + 3f (f doubles apart) with the twelve-double record
// w: t1 = a1 W2, t2 = a2 W1, t3 = a3 W3, then y0 = (a0 + t1) + (t2 + t3),
// y1 = (a0 - t1) - i (t2 - t3), y2 = (a0 + t1) - (t2 + t3), y3 = (a0 - t1)
// + i (t2 - t3). kInverse conjugates every factor and exchanges the
// rotations of y1 and y3.
template <bool kInverse, bool kAligned>
inline void Radix4Butterfly(const double* q0, int64_t f, const double* w, Quad& y) {
  const double* q1 = q0 + f;
  const double* q2 = q1 + f;
  const double* q3 = q2 + f;
  const __m128d a0r = Load2<kAligned>(q0), a0i = Load2<kAligned>(q0 + 2);
  const __m128d a1r = Load2<kAligned>(q1), a1i = Load2<kAligned>(q1 + 2);
  const __m128d a2r = Load2<kAligned>(q2), a2i = Load2<kAligned>(q2 + 2);
  const __m128d a3r = Load2<kAligned>(q3), a3i = Load2<kAligned>(q3 + 2);
  const __m128d c1 = _mm_loadu_pd(w), c2 = _mm_loadu_pd(w + 4), c3 = _mm_loadu_pd(w + 8);
  const __m128d s1 = _mm_loadu_pd(w + 2), s2 = _mm_loadu_pd(w + 6), s3 = _mm_loadu_pd(w + 10);
  __m128d t1r, t1i, t2r, t2i, t3r, t3i;
  MulFactor<kInverse>(a1r, a1i, c2, s2, t1r, t1i);
  MulFactor<kInverse>(a2r, a2i, c1, s1, t2r, t2i);
  MulFactor<kInverse>(a3r, a3i, c3, s3, t3r, t3i);
  const __m128d u0r = _mm_add_pd(a0r, t1r), u0i = _mm_add_pd(a0i, t1i);
  const __m128d u1r = _mm_sub_pd(a0r, t1r), u1i = _mm_sub_pd(a0i, t1i);
  const __m128d v0r = _mm_add_pd(t2r, t3r), v0i = _mm_add_pd(t2i, t3i);
  const __m128d v1r = _mm_sub_pd(t2r, t3r), v1i = _mm_sub_pd(t2i, t3i);
  y.r[0] = _mm_add_pd(u0r, v0r), y.i[0] = _mm_add_pd(u0i, v0i);
  y.r[2] = _mm_sub_pd(u0r, v0r), y.i[2] = _mm_sub_pd(u0i, v0i);
  const int m = kInverse ? 3 : 1, p = kInverse ? 1 : 3;
  y.r[m] = _mm_add_pd(u1r, v1i), y.i[m] = _mm_sub_pd(u1i, v1r);
  y.r[p] = _mm_sub_pd(u1r, v1i), y.i[p] = _mm_add_pd(u1i, v1r);
}

// One radix-4 stage in the pair layout over `groups` groups of 4*quarter
// points, in place.
template <bool kInverse, bool kAligned>
void Radix4Stage(double* data, int64_t quarter, int64_t groups, const double* tw) {
  const int64_t f = 2 * quarter;  // doubles per quarter
  for (int64_t g = 0; g < groups; ++g, data += 4 * f) {
    const double* w = tw;
    for (int64_t p = 0; p < f; p += 4, w += 12) {
      double* q0 = data + p;
      Quad y;
      Radix4Butterfly<kInverse, kAligned>(q0, f, w, y);
      for (int k = 0; k < 4; ++k) {
        Store2<kAligned>(q0 + k * f, y.r[k]);
        Store2<kAligned>(q0 + k * f + 2, y.i[k]);
      }
    }
  }
}

// The last stage (one group of span m) from the pair-layout working array a
// into out at the same offsets: interleaved points (kWhole) or the pair
// layout. kVectors: whole two-double stores (out on a 16-byte boundary);
// else one double at a time. The values are the same either way. kScale:
// every output multiplied by the factor as it is stored (the bits of a
// scaling pass after the stage).
template <bool kInverse, bool kAligned, bool kWhole, bool kVectors, bool kScale = false>
void LastStageLoop(const double* a, double* out, int64_t m, const double* tw, double factor = 1.0) {
  const int64_t f = m / 2;  // doubles per quarter
  const __m128d sf = _mm_set1_pd(factor);
  for (int64_t p = 0; p < f; p += 4, tw += 12) {
    Quad y;
    Radix4Butterfly<kInverse, kAligned>(a + p, f, tw, y);
    if constexpr (kScale) {
      for (int k = 0; k < 4; ++k) y.r[k] = _mm_mul_pd(y.r[k], sf), y.i[k] = _mm_mul_pd(y.i[k], sf);
    }
    for (int k = 0; k < 4; ++k) {
      double* o = out + p + k * f;
      if constexpr (kWhole) {
        if constexpr (kVectors) {
          _mm_store_pd(o, _mm_unpacklo_pd(y.r[k], y.i[k]));
          _mm_store_pd(o + 2, _mm_unpackhi_pd(y.r[k], y.i[k]));
        } else {
          _mm_storel_pd(o, y.r[k]), _mm_storel_pd(o + 1, y.i[k]);
          _mm_storeh_pd(o + 2, y.r[k]), _mm_storeh_pd(o + 3, y.i[k]);
        }
      } else if constexpr (kVectors) {
        _mm_store_pd(o, y.r[k]), _mm_store_pd(o + 2, y.i[k]);
      } else {
        _mm_storel_pd(o, y.r[k]), _mm_storeh_pd(o + 1, y.r[k]);
        _mm_storel_pd(o + 2, y.i[k]), _mm_storeh_pd(o + 3, y.i[k]);
      }
    }
  }
}

// The last stage with the store choice: vectors when out lies on a 16-byte
// boundary and m reaches vectorFrom. kAligned: a lies on one. scale (whole
// only): the factor the outputs are multiplied by, or null.
template <bool kInverse, bool kAligned>
void LastStage(const double* a, double* out, int64_t m, const double* tw, bool whole,
               int64_t vectorFrom, const double* scale = nullptr) {
  const bool vectors = Aligned16(out) && m >= vectorFrom;
  if (whole && scale != nullptr) {
    if (vectors) LastStageLoop<kInverse, kAligned, true, true, true>(a, out, m, tw, *scale);
    else LastStageLoop<kInverse, kAligned, true, false, true>(a, out, m, tw, *scale);
  } else if (whole) {
    if (vectors) LastStageLoop<kInverse, kAligned, true, true>(a, out, m, tw);
    else LastStageLoop<kInverse, kAligned, true, false>(a, out, m, tw);
  } else {
    if (vectors) LastStageLoop<kInverse, kAligned, false, true>(a, out, m, tw);
    else LastStageLoop<kInverse, kAligned, false, false>(a, out, m, tw);
  }
}

// The radix-4 DFT without factors of four inputs per lane (real vectors vr,
// imaginary vectors vi): y0 = (x0 + x1) + (x2 + x3), y1 = (x0 - x1) - i (x2
// - x3), y2 = (x0 + x1) - (x2 + x3), y3 = (x0 - x1) + i (x2 - x3); kInverse
// rotates by +i where the forward one rotates by -i.
template <bool kInverse>
inline void Radix4Lanes(const __m128d* vr, const __m128d* vi, __m128d* yr, __m128d* yi) {
  const __m128d s0r = _mm_add_pd(vr[0], vr[1]), s0i = _mm_add_pd(vi[0], vi[1]);
  const __m128d d0r = _mm_sub_pd(vr[0], vr[1]), d0i = _mm_sub_pd(vi[0], vi[1]);
  const __m128d s1r = _mm_add_pd(vr[2], vr[3]), s1i = _mm_add_pd(vi[2], vi[3]);
  const __m128d d1r = _mm_sub_pd(vr[2], vr[3]), d1i = _mm_sub_pd(vi[2], vi[3]);
  const int m = kInverse ? 3 : 1, p = kInverse ? 1 : 3;
  yr[0] = _mm_add_pd(s0r, s1r), yi[0] = _mm_add_pd(s0i, s1i);
  yr[m] = _mm_add_pd(d0r, d1i), yi[m] = _mm_sub_pd(d0i, d1r);
  yr[2] = _mm_sub_pd(s0r, s1r), yi[2] = _mm_sub_pd(s0i, s1i);
  yr[p] = _mm_sub_pd(d0r, d1i), yi[p] = _mm_add_pd(d0i, d1r);
}

// Points y0 .. y(2 kUnits - 1) of lane 0 to outA and of lane 1 to outB as
// kUnits pair units (Re y2u, Re y2u+1, Im y2u, Im y2u+1).
template <bool kAligned, int kUnits>
inline void StoreUnits(const __m128d* yr, const __m128d* yi, double* outA, double* outB) {
  for (int u = 0; u < kUnits; ++u) {
    Store2<kAligned>(outA + 4 * u, _mm_unpacklo_pd(yr[2 * u], yr[2 * u + 1]));
    Store2<kAligned>(outA + 4 * u + 2, _mm_unpacklo_pd(yi[2 * u], yi[2 * u + 1]));
    Store2<kAligned>(outB + 4 * u, _mm_unpackhi_pd(yr[2 * u], yr[2 * u + 1]));
    Store2<kAligned>(outB + 4 * u + 2, _mm_unpackhi_pd(yi[2 * u], yi[2 * u + 1]));
  }
}

// Radix-4 first stage of two groups at once, lane 0 the group written at
// outA, lane 1 the one at outB (four points each as two pair units);
// x[t] = (input t of lane 0, input t of lane 1).
template <bool kInverse, bool kAligned>
inline void FirstRadix4Pair(const __m128d (&xr)[4], const __m128d (&xi)[4], double* outA,
                            double* outB) {
  __m128d yr[4], yi[4];
  Radix4Lanes<kInverse>(xr, xi, yr, yi);
  StoreUnits<kAligned, 2>(yr, yi, outA, outB);
}

// v times -i ((re, im) to (im, -re)) and times +i ((-im, re)): exact.
inline __m128d TimesMinusI(__m128d v) {
  return _mm_xor_pd(_mm_shuffle_pd(v, v, 1), _mm_set_pd(-0.0, 0.0));
}
inline __m128d TimesPlusI(__m128d v) {
  return _mm_xor_pd(_mm_shuffle_pd(v, v, 1), _mm_set_pd(0.0, -0.0));
}

// Radix-8 first stage of one group of eight points x[t] (one point per
// vector, re and im), written as four pair units at out: E and O the
// radix-4 results of inputs 0..3 and 4..7, then y_k = E_k + w_k O_k and
// y_(k+4) = E_k - w_k O_k with w = 1, h (1 - i), -i, -h (1 + i), the
// products formed as (v + (-i) v) h and (v - (-i) v)(-h); kInverse takes
// the conjugate rotations h (1 + i), +i and -h (1 - i). Every component
// sees the operations of the scalar formulas, so the bits are theirs.
template <bool kInverse, bool kAligned>
inline void FirstRadix8One(const __m128d (&x)[8], double* out) {
  __m128d e[4], o[4];
  for (int half = 0; half < 2; ++half) {
    const __m128d* v = x + 4 * half;
    __m128d* y = half == 0 ? e : o;
    const __m128d s0 = _mm_add_pd(v[0], v[1]), d0 = _mm_sub_pd(v[0], v[1]);
    const __m128d s1 = _mm_add_pd(v[2], v[3]), d1 = TimesMinusI(_mm_sub_pd(v[2], v[3]));
    const int m = kInverse ? 3 : 1, p = kInverse ? 1 : 3;
    y[0] = _mm_add_pd(s0, s1), y[2] = _mm_sub_pd(s0, s1);
    y[m] = _mm_add_pd(d0, d1), y[p] = _mm_sub_pd(d0, d1);
  }
  const __m128d h = _mm_set1_pd(FirstStageH());
  const __m128d nh = _mm_set1_pd(-FirstStageH());
  __m128d w[4];
  w[0] = o[0];
  if constexpr (kInverse) {
    w[1] = _mm_mul_pd(_mm_add_pd(o[1], TimesPlusI(o[1])), h);
    w[2] = TimesPlusI(o[2]);
    w[3] = _mm_mul_pd(_mm_add_pd(o[3], TimesMinusI(o[3])), nh);
  } else {
    w[1] = _mm_mul_pd(_mm_add_pd(o[1], TimesMinusI(o[1])), h);
    w[2] = TimesMinusI(o[2]);
    w[3] = _mm_mul_pd(_mm_add_pd(o[3], TimesPlusI(o[3])), nh);
  }
  __m128d y[8];
  for (int k = 0; k < 4; ++k) y[k] = _mm_add_pd(e[k], w[k]), y[k + 4] = _mm_sub_pd(e[k], w[k]);
  for (int u = 0; u < 4; ++u) {
    Store2<kAligned>(out + 4 * u, _mm_unpacklo_pd(y[2 * u], y[2 * u + 1]));
    Store2<kAligned>(out + 4 * u + 2, _mm_unpackhi_pd(y[2 * u], y[2 * u + 1]));
  }
}

// The first stage on m consecutive bit-reversed interleaved points of src
// into the pair layout at dst (the same array or another), two groups per
// step.
template <bool kInverse, bool kAligned>
void FirstStageConsecutive(const double* src, double* dst, int h, int64_t m) {
  if (h & 1) {
    for (int64_t q = 0; q < 2 * m; q += 16) {
      __m128d x[8];
      for (int t = 0; t < 8; ++t) x[t] = _mm_loadu_pd(src + q + 2 * t);
      FirstRadix8One<kInverse, kAligned>(x, dst + q);
    }
  } else {
    for (int64_t q = 0; q < 2 * m; q += 16) {
      __m128d xr[4], xi[4];
      for (int t = 0; t < 4; ++t) LoadLanes(src + q + 2 * t, src + q + 8 + 2 * t, xr[t], xi[t]);
      FirstRadix4Pair<kInverse, kAligned>(xr, xi, dst + q, dst + q + 8);
    }
  }
}

// The first stage fused with the bit reversal, from src into the pair-layout
// array a (m >= 16): the group writing points 4q .. 4q + 3 (8q .. 8q + 7)
// takes the points the bit reversal would bring there, r, r + m/2, r + m/4,
// r + 3m/4 with r = rev(4q) (radix 8: then the same from the second start
// r + m/8). Radix 4: groups q and q + m/8 have the starts r and r + 1 and
// run together, writing the two halves of a, each in order; radix 8: one
// group after the other, in order. secondWord: the radix-8 second start
// read from the next table word.
template <bool kInverse>
void FirstStageGather(const double* src, double* a, int h, const uint32_t* table, bool secondWord) {
  const int64_t m = Pow2(h);
  const int64_t quarter = m / 4;
  static constexpr int kRev2[4] = {0, 2, 1, 3};
  if (h & 1) {
    for (int64_t q = 0; q < m / 8; ++q) {
      const int64_t r = table[2 * q] / 2;
      const int64_t r2 = secondWord ? table[2 * q + 1] / 2 : r + m / 8;
      __m128d x[8];
      for (int t = 0; t < 4; ++t) {
        x[t] = _mm_loadu_pd(src + 2 * (kRev2[t] * quarter + r));
        x[t + 4] = _mm_loadu_pd(src + 2 * (kRev2[t] * quarter + r2));
      }
      FirstRadix8One<kInverse, true>(x, a + 16 * q);
    }
  } else {
    for (int64_t q = 0; q < m / 8; ++q) {
      const int64_t r = table[q] / 2;
      __m128d xr[4], xi[4];
      for (int t = 0; t < 4; ++t) {
        const double* p = src + 2 * (kRev2[t] * quarter + r);
        LoadLanes(p, p + 2, xr[t], xi[t]);
      }
      FirstRadix4Pair<kInverse, true>(xr, xi, a + 8 * q, a + 8 * q + m);
    }
  }
}

// The radix-4 stages after the first on the pair-layout array a, up to but
// not including the last (span m): when m > block, block by block (each
// block first gets perBlock(first point, points), then its stages up to
// span `block`), then the remaining spans over the whole array; else
// perBlock over the whole array and every span below m. Returns the
// twiddle offset (doubles) of the last stage.
template <bool kInverse, bool kAligned, class PerBlock>
int64_t MiddleStages(double* a, int h, const double* tw, int64_t block, PerBlock perBlock) {
  const int64_t m = Pow2(h);
  int64_t span = (h & 1) ? 32 : 16;
  int64_t offset = 0;  // doubles of the table before the span
  if (m > block) {
    for (int64_t b = 0; b < m; b += block) {
      perBlock(b, block);
      int64_t off = 0;
      for (int64_t s = span; s <= block; s *= 4) {
        Radix4Stage<kInverse, kAligned>(a + 2 * b, s / 4, block / s, tw + off);
        off += 3 * s / 2;
      }
    }
    for (; span <= block; span *= 4) offset += 3 * span / 2;
  } else {
    perBlock(0, m);
  }
  for (; span < m; span *= 4) {
    Radix4Stage<kInverse, kAligned>(a, span / 4, m / span, tw + offset);
    offset += 3 * span / 2;
  }
  return offset;
}

// Pair layout to interleaved points, in place or into dst.
inline void PairsToPoints(const double* src, double* dst, int64_t m) {
  for (int64_t u = 0; u < 2 * m; u += 4) {
    double ra = src[u], rb = src[u + 1], ia = src[u + 2], ib = src[u + 3];
    dst[u] = ra, dst[u + 1] = ia, dst[u + 2] = rb, dst[u + 3] = ib;
  }
}

// One step of the post-pass on points z (two lanes) and their mirrors w
// with the factors A, B of each lane: g = (wi + zi) A + (zr - wr) B,
// h = B (wi + zi) - A (zr - wr); z becomes (wr + g, h - wi) and w
// (zr - g, h - zi).
inline void PostPassStep(__m128d& zr, __m128d& zi, __m128d& wr, __m128d& wi, __m128d ak,
                         __m128d bk) {
  const __m128d sum = _mm_add_pd(wi, zi), diff = _mm_sub_pd(zr, wr);
  const __m128d g = _mm_add_pd(_mm_mul_pd(sum, ak), _mm_mul_pd(diff, bk));
  const __m128d hh = _mm_sub_pd(_mm_mul_pd(bk, sum), _mm_mul_pd(ak, diff));
  const __m128d kr = _mm_add_pd(wr, g), ki = _mm_sub_pd(hh, wi);
  wr = _mm_sub_pd(zr, g), wi = _mm_sub_pd(hh, zi);
  zr = kr, zi = ki;
}

// The post-pass after the fold: records A_k, A_k+1, B_k, B_k+1 for k = 1,
// 2, then 3, 4 and so on (two points and their mirrors m - k per step); the
// step that reaches k = m/2 does only its first k; then the middle point's
// imaginary part changes sign.
inline void PostPassRecords(double* z, int64_t m, const double* table) {
  MirroredSteps(z, z, m, table, [](__m128d& zr, __m128d& zi, __m128d& wr, __m128d& wi,
                                   __m128d ak, __m128d bk) { PostPassStep(zr, zi, wr, wi, ak, bk); });
  z[m + 1] = -z[m + 1];
}

// The forward last stage (one group of span m >= 16, from the pair-layout
// array a, on a 16-byte boundary when kAligned) fused with the post-pass's
// steps: the interleaved result lands in out (which may be a) with every
// step of the post-pass applied, only the middle point's sign change left
// to do. The
// butterfly of unit u (positions 2u, 2u + 1 of each quarter; U = m/8 units
// per quarter) gives the points q m/4 + 2u + l. The step on the points
// k = q m/4 + 2u + 1 and k + 1 (q = 0, 1) takes lane 1 of unit u and lane 0
// of unit u + 1 (for u = U - 1 unit 0 of the next quarter); their mirrors
// m - k, m - k - 1 are the lanes of unit U - 1 - u of quarter 3 - q,
// exchanged. Units are computed from both ends towards the middle, so each
// step runs once the three units it needs are computed and writes only
// points that were read. Every point sees the arithmetic of the stage (the
// scaling when kScale), then of its step, so the bits are those of the two
// passes.
template <bool kScale, bool kAligned = true>
void LastStagePostPass(const double* a, double* out, int64_t m, const double* tw,
                       const double* table, double factor) {
  const int64_t f = m / 2;   // doubles per quarter
  const int64_t units = m / 8;
  const __m128d sf = _mm_set1_pd(factor);
  auto butterfly = [&](int64_t u, Quad& y) {
    Radix4Butterfly<false, kAligned>(a + 4 * u, f, tw + 12 * u, y);
    if constexpr (kScale) {
      for (int k = 0; k < 4; ++k) y.r[k] = _mm_mul_pd(y.r[k], sf), y.i[k] = _mm_mul_pd(y.i[k], sf);
    }
  };
  // The step (q, u): lo the unit u, hi the one after it (of quarter qh),
  // mir the mirrors' unit.
  auto step = [&](const Quad& lo, const Quad& hi, int qh, const Quad& mir, int q, int64_t u) {
    const int64_t k = q * 2 * units + 2 * u + 1, j = m - k;
    const double* rec = table + 4 * (q * units + u);
    __m128d zr = _mm_shuffle_pd(lo.r[q], hi.r[qh], 1), zi = _mm_shuffle_pd(lo.i[q], hi.i[qh], 1);
    __m128d wr = _mm_shuffle_pd(mir.r[3 - q], mir.r[3 - q], 1);
    __m128d wi = _mm_shuffle_pd(mir.i[3 - q], mir.i[3 - q], 1);
    PostPassStep(zr, zi, wr, wi, _mm_loadu_pd(rec), _mm_loadu_pd(rec + 2));
    _mm_storeu_pd(out + 2 * k, _mm_unpacklo_pd(zr, zi));
    _mm_storeu_pd(out + 2 * k + 2, _mm_unpackhi_pd(zr, zi));
    _mm_storeu_pd(out + 2 * j, _mm_unpacklo_pd(wr, wi));
    _mm_storeu_pd(out + 2 * j - 2, _mm_unpackhi_pd(wr, wi));
  };
  Quad front, back;  // units u and U - 1 - u
  butterfly(0, front);
  butterfly(units - 1, back);
  // Point 0 and the middle point pass unchanged.
  _mm_storeu_pd(out, _mm_unpacklo_pd(front.r[0], front.i[0]));
  _mm_storeu_pd(out + m, _mm_unpacklo_pd(front.r[2], front.i[2]));
  step(back, front, 1, front, 0, units - 1);
  {
    // The last step, k = m/2 - 1 alone (its k + 1 is the middle point).
    const int64_t k = m / 2 - 1, j = m - k;
    const double* rec = table + 4 * (2 * units - 1);
    __m128d zr = _mm_unpackhi_pd(back.r[1], back.r[1]), zi = _mm_unpackhi_pd(back.i[1], back.i[1]);
    __m128d wr = _mm_unpackhi_pd(front.r[2], front.r[2]);
    __m128d wi = _mm_unpackhi_pd(front.i[2], front.i[2]);
    PostPassStep(zr, zi, wr, wi, _mm_set1_pd(rec[0]), _mm_set1_pd(rec[2]));
    _mm_storeu_pd(out + 2 * k, _mm_unpacklo_pd(zr, zi));
    _mm_storeu_pd(out + 2 * j, _mm_unpacklo_pd(wr, wi));
  }
  for (int64_t u = 0;; ++u) {
    const int64_t fi = u + 1, bi = units - 2 - u;
    if (fi > bi) {  // the two ends met: unit u + 1 is `back`
      step(front, back, 0, back, 0, u);
      step(front, back, 1, back, 1, u);
      break;
    }
    // Each butterfly right before the steps that first need it: fewer
    // values live at once.
    Quad nf, nb;
    butterfly(fi, nf);
    step(front, nf, 0, back, 0, u);
    step(front, nf, 1, back, 1, u);
    butterfly(bi, nb);
    step(nb, back, 0, nf, 0, bi);
    step(nb, back, 1, nf, 1, bi);
    front = nf, back = nb;
  }
}

// The stage routine on m = 2^h bit-reversed points at data: the working
// array is the data on a 16-byte boundary, else the work buffer (when
// given; without one the stages run in place with unaligned accesses); the
// first stage runs block by block with the blocking, and the last stage
// writes back to the data, interleaved (whole) or in the pair layout. post
// (forward, whole): the post-pass records, whose steps then ride on the last
// stage (all but the middle point's sign change).
template <bool kInverse>
void StagePasses(double* data, int h, const double* tw, uint8_t* work, bool whole,
                 int64_t block, int64_t vectorFrom, const double* scale = nullptr,
                 const double* post = nullptr) {
  const int64_t m = Pow2(h);
  double* a = Aligned16(data) || work == nullptr ? data : reinterpret_cast<double*>(work);
  if (h < 4) {  // m = 4 or 8: the first stage is the whole transform
    if (h < 2) return;
    __m128d xr[8], xi[8];
    double pairs[16], spare[16];
    for (int t = 0; t < m; ++t) LoadLanes(data + 2 * t, data + 2 * t, xr[t], xi[t]);
    if (h == 3) {
      __m128d x[8];
      for (int t = 0; t < 8; ++t) x[t] = _mm_loadu_pd(data + 2 * t);
      FirstRadix8One<kInverse, false>(x, pairs);
    } else {
      const __m128d r4[4] = {xr[0], xr[1], xr[2], xr[3]}, i4[4] = {xi[0], xi[1], xi[2], xi[3]};
      FirstRadix4Pair<kInverse, false>(r4, i4, pairs, spare);
    }
    if (whole) PairsToPoints(pairs, data, m);
    else for (int64_t u = 0; u < 2 * m; ++u) data[u] = pairs[u];
    return;
  }
  auto run = [&](auto aligned) {
    constexpr bool kA = decltype(aligned)::value;
    const int64_t last = MiddleStages<kInverse, kA>(a, h, tw, block, [&](int64_t b, int64_t n) {
      FirstStageConsecutive<kInverse, kA>(data + 2 * b, a + 2 * b, h, n);
    });
    if constexpr (!kInverse) {
      if (post != nullptr && whole) {
        if (scale != nullptr) LastStagePostPass<true, kA>(a, data, m, tw + last, post, *scale);
        else LastStagePostPass<false, kA>(a, data, m, tw + last, post, 1.0);
        return;
      }
    }
    LastStage<kInverse, kA>(a, data, m, tw + last, whole, vectorFrom, scale);
  };
  if (Aligned16(a)) run(std::true_type{});
  else run(std::false_type{});
}

// The whole transform of m = 2^h points (m >= 32) with the bit reversal
// fused into the first stage: the stages run in the destination when it
// differs from the source and lies on a 16-byte boundary, else in the work
// buffer; the last stage writes the interleaved result into dst. post
// (forward only): the post-pass records, whose steps then ride on the last
// stage (all but the middle point's sign change).
template <bool kInverse>
void DirectTransform(const double* src, double* dst, int h, const double* tw, const uint32_t* table,
                     uint8_t* work, int64_t block, int64_t vectorFrom, bool secondWord,
                     const double* scale = nullptr, const double* post = nullptr) {
  const int64_t m = Pow2(h);
  double* a = (src != dst && Aligned16(dst)) ? dst : reinterpret_cast<double*>(work);
  FirstStageGather<kInverse>(src, a, h, table, secondWord);
  const int64_t last = MiddleStages<kInverse, true>(a, h, tw, block, [](int64_t, int64_t) {});
  if constexpr (!kInverse) {
    if (post != nullptr) {
      if (scale != nullptr) LastStagePostPass<true>(a, dst, m, tw + last, post, *scale);
      else LastStagePostPass<false>(a, dst, m, tw + last, post, 1.0);
      return;
    }
  }
  LastStage<kInverse, true>(a, dst, m, tw + last, true, vectorFrom, scale);
}

// The bit reversal by 4 x 4 blocks (m >= 16): with q = m/4 points per
// quarter, run k (points 4k .. 4k + 3 of every quarter, k < m/16) goes
// transposed to the run r = table[k] / 2 = 4 rev(k): point t q + 4k + s
// lands at rev2(s) q + r + rev2(t). Runs are walked from the last to the
// first; in place a block is swapped with its partner's when the partner's
// run lies at or after its own (a self-paired block is transposed alone).
inline void BitRevBlockInPlace(double* data, int64_t m, const uint32_t* table) {
  static constexpr int kRev2[4] = {0, 2, 1, 3};
  const int64_t q = m / 4;
  for (int64_t k = m / 16 - 1; k >= 0; --k) {
    const int64_t r = table[k] / 2;
    const int64_t e = r / 4;  // partner run
    if (e < k) continue;
    __m128d a[4][4], b[4][4];
    for (int t = 0; t < 4; ++t)
      for (int s = 0; s < 4; ++s) a[t][s] = _mm_loadu_pd(data + 2 * (t * q + 4 * k + s));
    if (e != k) {
      for (int t = 0; t < 4; ++t)
        for (int s = 0; s < 4; ++s) b[t][s] = _mm_loadu_pd(data + 2 * (t * q + 4 * e + s));
      for (int t = 0; t < 4; ++t)
        for (int s = 0; s < 4; ++s) _mm_storeu_pd(data + 2 * (kRev2[s] * q + 4 * k + kRev2[t]), b[t][s]);
    }
    for (int t = 0; t < 4; ++t)
      for (int s = 0; s < 4; ++s) _mm_storeu_pd(data + 2 * (kRev2[s] * q + r + kRev2[t]), a[t][s]);
  }
}

// The bit reversal by 4 x 4 blocks from src into dst: up to walkMax points
// the source runs are walked from the last to the first (sequential reads),
// above it the destination runs (sequential writes).
inline void BitRevBlockCopy(const double* src, double* dst, int64_t m, const uint32_t* table,
                            int64_t walkMax) {
  static constexpr int kRev2[4] = {0, 2, 1, 3};
  const int64_t q = m / 4;
  for (int64_t k = m / 16 - 1; k >= 0; --k) {
    const int64_t r = table[k] / 2;
    // Source run sr goes to destination run dr.
    const int64_t sr = m <= walkMax ? 4 * k : r, dr = m <= walkMax ? r : 4 * k;
    for (int t = 0; t < 4; ++t)
      for (int s = 0; s < 4; ++s)
        _mm_storeu_pd(dst + 2 * (kRev2[s] * q + dr + kRev2[t]), _mm_loadu_pd(src + 2 * (t * q + sr + s)));
  }
}

// The reverse of index j of h bits through the index table of order h
// (word q = 2 rev(q) over h - 2 bits); for arrays below 16 points.
inline int64_t ReverseIndex(int64_t j, int64_t m, const uint32_t* table) {
  static constexpr int kRev2[4] = {0, 2, 1, 3};
  return kRev2[j & 3] * (m / 4) + table[j >> 2] / 2;
}

inline void BitRevInPlaceRoute(double* data, int64_t m, const uint32_t* table) {
  if (m >= 16) return BitRevBlockInPlace(data, m, table);
  for (int64_t j = 0; m >= 4 && j < m; ++j) {
    const int64_t r = ReverseIndex(j, m, table);
    if (j < r) {
      double re = data[2 * j], im = data[2 * j + 1];
      data[2 * j] = data[2 * r], data[2 * j + 1] = data[2 * r + 1];
      data[2 * r] = re, data[2 * r + 1] = im;
    }
  }
}

inline void BitRevCopyRoute(const double* src, double* dst, int64_t m, const uint32_t* table,
                            int64_t walkMax) {
  if (m >= 16) return BitRevBlockCopy(src, dst, m, table, walkMax);
  for (int64_t j = 0; j < m; ++j) {
    const int64_t r = m >= 4 ? ReverseIndex(j, m, table) : j;
    dst[2 * r] = src[2 * j];
    dst[2 * r + 1] = src[2 * j + 1];
  }
}

// The smallest half-order whose forward half transform runs the post-pass's
// steps in its last stage (below it the separate pass costs less).
constexpr int kPostPassFusedFrom = 6;

// The scale factor a transform's last stage applies when the context scales
// this direction by a factor other than 1 and 0 (which the scale routine
// treats apart), else null.
inline const double* FusedScale(const FftSpecReal* ctx, bool scaled) {
  if (!scaled || ctx->scaleFactor == 1.0 || ctx->scaleFactor == 0.0) return nullptr;
  return &ctx->scaleFactor;
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
      // A leaf off a 16-byte boundary runs in the work buffer when it fits
      // there, else in place with unaligned accesses.
      uint8_t* leafWork = 16 * len <= ctx->workSize ? work : nullptr;
      if (kInverse)
        K::InvPasses(sub, static_cast<int32_t>(len), leafTw, leafWork, 0);
      else
        K::Passes(sub, static_cast<int32_t>(len), leafTw, leafWork, 0);
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
    BitRevInPlaceRoute(data, count, table);                                                     \
  }                                                                                             \
  void WuPerfFFT64f_BitRevCopy_##V(const double* src, double* dst, int32_t count,              \
                                   const uint32_t* table) {                                     \
    BitRevCopyRoute(src, dst, count, table, R.copyWalkMax);                                     \
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
    DirectTransform<false>(src, dst, Log2Of(count), twiddles, table, work, R.blockPoints,       \
                           R.lastVectorFrom, R.radix8SecondWord);                               \
  }                                                                                             \
  void WuPerfFFTFwd64f_Passes_##V(double* data, int32_t count, const double* twiddles,         \
                                  uint8_t* work, int32_t whole) {                               \
    StagePasses<false>(data, Log2Of(count), twiddles, work, whole == 1, R.blockPoints,          \
                       R.lastVectorFrom);                                                       \
  }                                                                                             \
  void WuPerfFFTInv64f_Passes_##V(double* data, int32_t count, const double* twiddles,         \
                                  uint8_t* work, int32_t whole) {                               \
    StagePasses<true>(data, Log2Of(count), twiddles, work, whole == 1, R.blockPoints,           \
                      R.lastVectorFrom);                                                        \
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
    DirectTransform<true>(src, dst, Log2Of(count), twiddles, table, work, R.blockPoints,        \
                          R.lastVectorFrom, R.radix8SecondWord);                                \
  }                                                                                             \
  void WuPerfFFTInv64f_RealPrePass_##V(const double* src, double* dst, int32_t count, int32_t,  \
                                       const double* table) {                                   \
    RealPrePassRecords(src, dst, count, table);                                                 \
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
      /* The scaling rides on the last stage's stores (the same bits as a pass after it), */  \
      /* and so do the post-pass's steps from kPostPassFusedFrom. */                            \
      const double* fused = FusedScale(ctx, ctx->scaleForward != 0);                            \
      const double* post = h >= kPostPassFusedFrom                                              \
                               ? static_cast<const double*>(ctx->forwardRealTwiddle)            \
                               : nullptr;                                                       \
      if (h <= R.directMax) {                                                                   \
        DirectTransform<false>(src, dst, h, tw, rev, work, R.blockPoints, R.lastVectorFrom,     \
                               R.radix8SecondWord, fused, post);                                \
      } else {                                                                                  \
        if (src == dst)                                                                         \
          WuPerfFFT64f_BitRevInPlace_##V(dst, m, rev);                                          \
        else                                                                                    \
          WuPerfFFT64f_BitRevCopy_##V(src, dst, m, rev);                                        \
        StagePasses<false>(dst, h, tw, work, true, R.blockPoints, R.lastVectorFrom, fused,      \
                           post);                                                               \
      }                                                                                         \
      if (ctx->scaleForward && fused == nullptr)                                                \
        WuPerfFFT64f_Scale_##V(ctx->scaleFactor, dst, 2 * m);                                   \
    }                                                                                           \
    /* The half transforms below the split have done the steps already. */                    \
    static void PostPass(double* d, int32_t m, int32_t dir, const double* t) {                  \
      if (m >= (int32_t{1} << kPostPassFusedFrom) && m <= (int32_t{1} << TR.directLimit))       \
        d[m + 1] = -d[m + 1];                                                                   \
      else                                                                                      \
        WuPerfFFTFwd64f_RealPostPass_##V(d, m, dir, t);                                         \
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
      const double* fused = FusedScale(ctx, ctx->scaleInverse != 0);                            \
      if (h <= R.directMax) {                                                                   \
        DirectTransform<true>(dst, dst, h, tw, rev, work, R.blockPoints, R.lastVectorFrom,      \
                              R.radix8SecondWord, fused);                                       \
      } else {                                                                                  \
        WuPerfFFT64f_BitRevInPlace_##V(dst, m, rev);                                            \
        StagePasses<true>(dst, h, tw, work, true, R.blockPoints, R.lastVectorFrom, fused);      \
      }                                                                                         \
      if (ctx->scaleInverse && fused == nullptr)                                                \
        WuPerfFFT64f_Scale_##V(ctx->scaleFactor, dst, 2 * m);                                   \
    }                                                                                           \
  };                                                                                            \
  }                                                                                             \
  WU_DEFINE_FFT_REAL_FIXED(V)                                                                   \
  WU_DEFINE_FFT_REAL_SIMD(V, R)                                                                 \
  WU_DEFINE_FFT_REAL_SETUP(V, RealOps##V)
