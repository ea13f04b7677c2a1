// The complex float FFT of variants 1 to 4 (SSE2 intrinsics): bit reversal,
// the radix passes in the split layout, the direct transform, scaling and
// the split transform of large orders, over a variant's traits `KT`
// (split tables, direct limit, radix-4-only odd orders, and the variant's
// block kernels of dsp/FftVariants.h).
//
// Passes run on 16-byte-aligned data in place; unaligned data is carried in
// the work buffer, the first stage reading the data and the last pass
// writing it. The first stage makes 4-point DFTs of the bit-reversed groups
// and combines them into 16-point DFTs (split records); radix-4 passes of
// span 16, 64, .. read the radix table in sequence; odd orders end with one
// radix-2 pass of span N/2 (variant 1 instead combines the 4-point DFTs
// into 8-point DFTs with the constants below and continues with radix-4
// passes from span 8). The last pass writes interleaved points (or split
// records for the split transform of large orders). The direct
// transform reads its source through the bit-reversal table in its first
// stage. The bit reversals walk runs of four points through the index
// table, and large orders exchange 64 x 64 blocks through the two-level
// table.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "dsp/FftBlockSimd.h"
#include "dsp/FftComplex.h"
#include "dsp/FftSmallKernels.h"

namespace wuperf {
namespace {

// exp(-2*pi*i*k/8), k = 0..3, as four real parts then four imaginary parts
// (c = 0x3F3504F4, one unit above the float nearest sqrt(1/2)): the
// twiddles of variant 1's 8-point stage.
alignas(16) const uint32_t kEighthRootsBits[8] = {0x3F800000, 0x3F3504F4, 0x00000000, 0xBF3504F4,
                                                  0x00000000, 0xBF3504F4, 0xBF800000, 0xBF3504F4};

inline bool Aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

// ---- Bit reversal by the index table ---------------------------------------------

// Moves of two 8-byte points: 16-byte moves on the aligned path, two 8-byte
// moves otherwise (the same bytes either way).
template <bool kAligned>
inline __m128d LoadPair8(const uint8_t* p) {
  if (kAligned) return _mm_load_pd(reinterpret_cast<const double*>(p));
  __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  __m128i hi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 8));
  return _mm_castsi128_pd(_mm_unpacklo_epi64(lo, hi));
}
template <bool kAligned>
inline void StorePair8(uint8_t* p, __m128d v) {
  if (kAligned) {
    _mm_store_pd(reinterpret_cast<double*>(p), v);
  } else {
    __m128i w = _mm_castpd_si128(v);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), w);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 8), _mm_unpackhi_epi64(w, w));
  }
}

// The 16 points of one run of four points in each quarter: v[2q], v[2q+1]
// hold points 0, 1 and 2, 3 of the run in quarter q.
struct Runs16 {
  __m128d v[8];
};
template <bool kAligned>
inline Runs16 LoadRuns(const uint8_t* run, size_t quarterBytes) {
  Runs16 r;
  for (int q = 0; q < 4; ++q) {
    r.v[2 * q] = LoadPair8<kAligned>(run + q * quarterBytes);
    r.v[2 * q + 1] = LoadPair8<kAligned>(run + q * quarterBytes + 16);
  }
  return r;
}
// Point u of the run in quarter q goes to quarter rev2(u), position rev2(q)
// of the run: a 4 x 4 transposition with both indices bit-reversed.
template <bool kAligned>
inline void StoreRunsReversed(uint8_t* run, size_t quarterBytes, const Runs16& r) {
  const __m128d* s = r.v;
  uint8_t* q0 = run;
  uint8_t* q1 = run + quarterBytes;
  uint8_t* q2 = run + 2 * quarterBytes;
  uint8_t* q3 = run + 3 * quarterBytes;
  StorePair8<kAligned>(q0, _mm_unpacklo_pd(s[0], s[4]));
  StorePair8<kAligned>(q0 + 16, _mm_unpacklo_pd(s[2], s[6]));
  StorePair8<kAligned>(q2, _mm_unpackhi_pd(s[0], s[4]));
  StorePair8<kAligned>(q2 + 16, _mm_unpackhi_pd(s[2], s[6]));
  StorePair8<kAligned>(q1, _mm_unpacklo_pd(s[1], s[5]));
  StorePair8<kAligned>(q1 + 16, _mm_unpacklo_pd(s[3], s[7]));
  StorePair8<kAligned>(q3, _mm_unpackhi_pd(s[1], s[5]));
  StorePair8<kAligned>(q3 + 16, _mm_unpackhi_pd(s[3], s[7]));
}

// Orders below 4: the permutation point by point (8 points: 0 4 2 6 1 5 3 7).
inline void BitRevSmall(const uint8_t* s, uint8_t* d, size_t n) {
  static constexpr uint8_t kRev8[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  uint64_t v[8];
  std::memcpy(v, s, 8 * n);
  for (size_t j = 0; j < n; ++j) std::memcpy(d + 8 * (kRev8[j] * n / 8), &v[j], 8);
}

// dst[rev(j)] = src[j]. Entry m < N/16 of the table, read as floats, is
// the start of run rev'(m) (rev' over order - 4 bits); one step moves run m
// of the four quarters to run rev'(m). Up to `seqWritesAbove` points the
// source is walked from its last run down, above it the destination from
// its first run up.
template <bool kAligned>
void BitRevCopyRuns(const uint8_t* s, uint8_t* d, size_t n, const uint32_t* table,
                    size_t seqWritesAbove) {
  const size_t qb = 2 * n, runs = n / 16;  // quarter bytes: 8 * n / 4
  if (n <= seqWritesAbove) {
    for (size_t m = runs; m-- > 0;)
      StoreRunsReversed<kAligned>(d + 4 * size_t{table[m]}, qb, LoadRuns<kAligned>(s + 32 * m, qb));
  } else {
    for (size_t m = 0; m < runs; ++m)
      StoreRunsReversed<kAligned>(d + 32 * m, qb, LoadRuns<kAligned>(s + 4 * size_t{table[m]}, qb));
  }
}

template <bool kAligned>
void BitRevInPlaceRuns(uint8_t* p, size_t n, const uint32_t* table) {
  const size_t qb = 2 * n;
  for (size_t m = n / 16; m-- > 0;) {
    const size_t rm = table[m] / 8;
    if (rm < m) continue;  // exchanged when its partner came by
    Runs16 a = LoadRuns<kAligned>(p + 32 * m, qb);
    if (rm != m) {
      Runs16 b = LoadRuns<kAligned>(p + 32 * rm, qb);
      StoreRunsReversed<kAligned>(p + 32 * m, qb, b);
    }
    StoreRunsReversed<kAligned>(p + 32 * rm, qb, a);
  }
}

inline void BitRevCopyTable(const void* src, void* dst, size_t n, const uint32_t* table,
                            size_t seqWritesAbove) {
  const uint8_t* s = static_cast<const uint8_t*>(src);
  uint8_t* d = static_cast<uint8_t*>(dst);
  if (n < 16) return BitRevSmall(s, d, n);
  if (Aligned16(s) && Aligned16(d))
    BitRevCopyRuns<true>(s, d, n, table, seqWritesAbove);
  else
    BitRevCopyRuns<false>(s, d, n, table, seqWritesAbove);
}

inline void BitRevInPlaceTable(void* data, size_t n, const uint32_t* table) {
  uint8_t* p = static_cast<uint8_t*>(data);
  if (n < 16) return BitRevSmall(p, p, n);
  if (Aligned16(p))
    BitRevInPlaceRuns<true>(p, n, table);
  else
    BitRevInPlaceRuns<false>(p, n, table);
}

// ---- First stage ------------------------------------------------------------------

// From the points a, b, c, d of four groups (lane = group, in memory order
// of the bit-reversed data), the 4-point DFTs X0 = (a + b) + (c + d),
// X1 = (a - b) - i(c - d) (inverse + i), X2 = (a + b) - (c + d),
// X3 = (a - b) + i(c - d), turned into the four groups' split records
// and finished by FirstCombine.
template <bool kInv, int kWidth>
inline void FirstCombine(Lanes4f q0, Lanes4f q1, Lanes4f q2, Lanes4f q3, float* out,
                         const float* tw16);
template <bool kInv, int kWidth>
inline void FirstButterflies(const __m128 re[4], const __m128 im[4], float* out,
                             const float* tw16) {
  __m128 s1r = _mm_add_ps(re[0], re[1]), s1i = _mm_add_ps(im[0], im[1]);
  __m128 d1r = _mm_sub_ps(re[0], re[1]), d1i = _mm_sub_ps(im[0], im[1]);
  __m128 s2r = _mm_add_ps(re[2], re[3]), s2i = _mm_add_ps(im[2], im[3]);
  __m128 cr = _mm_sub_ps(re[2], re[3]), ci = _mm_sub_ps(im[2], im[3]);
  const __m128 sign = _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN));
  // rot(c - d): forward (ci, -cr), inverse (-ci, cr).
  __m128 d2r = kInv ? _mm_xor_ps(ci, sign) : ci;
  __m128 d2i = kInv ? cr : _mm_xor_ps(cr, sign);
  __m128 xr0 = _mm_add_ps(s1r, s2r), xr1 = _mm_add_ps(d1r, d2r);
  __m128 xr2 = _mm_sub_ps(s1r, s2r), xr3 = _mm_sub_ps(d1r, d2r);
  __m128 xi0 = _mm_add_ps(s1i, s2i), xi1 = _mm_add_ps(d1i, d2i);
  __m128 xi2 = _mm_sub_ps(s1i, s2i), xi3 = _mm_sub_ps(d1i, d2i);
  _MM_TRANSPOSE4_PS(xr0, xr1, xr2, xr3);  // xr<k> = X0..X3 of group k
  _MM_TRANSPOSE4_PS(xi0, xi1, xi2, xi3);
  FirstCombine<kInv, kWidth>({xr0, xi0}, {xr1, xi1}, {xr2, xi2}, {xr3, xi3}, out, tw16);
}

// The records q0..q3 of four groups' 4-point DFTs, by kWidth stored as they
// are (4), combined in pairs by the radix-2 step of span 4 with
// exp(-2*pi*i*k/8) (8), or by the radix-4 step of span 4 with the first
// twiddle block (16: 16-point DFTs). `out` is 16-aligned.
template <bool kInv, int kWidth>
inline void FirstCombine(Lanes4f q0, Lanes4f q1, Lanes4f q2, Lanes4f q3, float* out,
                         const float* tw16) {
  if constexpr (kWidth == 16) {
    Lanes4f y2 = MulTwiddle<kInv>(q2, _mm_load_ps(tw16), _mm_load_ps(tw16 + 4));
    Lanes4f y1 = MulTwiddle<kInv>(q1, _mm_load_ps(tw16 + 8), _mm_load_ps(tw16 + 12));
    Lanes4f y3 = MulTwiddle<kInv>(q3, _mm_load_ps(tw16 + 16), _mm_load_ps(tw16 + 20));
    Lanes4f s1 = Add(q0, y1), s2 = Add(y2, y3), d1 = Sub(q0, y1), d2 = Sub(y2, y3);
    StoreRecord(out, Add(s2, s1));
    StoreRecord(out + 16, Sub(s1, s2));
    StoreRecord(out + 8, RotateAdd<!kInv>(d1, d2));
    StoreRecord(out + 24, RotateAdd<kInv>(d1, d2));
  } else if constexpr (kWidth == 8) {
    const float* w8 = reinterpret_cast<const float*>(kEighthRootsBits);
    const __m128 wr = _mm_load_ps(w8), wi = _mm_load_ps(w8 + 4);
    Lanes4f y1 = MulTwiddle<kInv>(q1, wr, wi), y3 = MulTwiddle<kInv>(q3, wr, wi);
    StoreRecord(out, Add(q0, y1));
    StoreRecord(out + 8, Sub(q0, y1));
    StoreRecord(out + 16, Add(q2, y3));
    StoreRecord(out + 24, Sub(q2, y3));
  } else {
    StoreRecord(out, q0);
    StoreRecord(out + 8, q1);
    StoreRecord(out + 16, q2);
    StoreRecord(out + 24, q3);
  }
}

// The first stage over `count` bit-reversed points at `in` (any 4-byte
// alignment), 16 points a step, into the records at `out`.
template <bool kInv, int kWidth>
void FirstStageFromPoints(const float* in, float* out, size_t count, const float* tw16) {
  for (size_t g = 0; g < count; g += 16, in += 32, out += 32) {
    __m128 re[4], im[4];
    for (int k = 0; k < 4; ++k) {
      __m128 v01 = _mm_loadu_ps(in + 8 * k), v23 = _mm_loadu_ps(in + 8 * k + 4);
      re[k] = _mm_shuffle_ps(v01, v23, _MM_SHUFFLE(2, 0, 2, 0));  // a b c d of group k
      im[k] = _mm_shuffle_ps(v01, v23, _MM_SHUFFLE(3, 1, 3, 1));
    }
    _MM_TRANSPOSE4_PS(re[0], re[1], re[2], re[3]);  // re[0] = a of groups 0..3, ..
    _MM_TRANSPOSE4_PS(im[0], im[1], im[2], im[3]);
    FirstButterflies<kInv, kWidth>(re, im, out, tw16);
  }
}

// The 4-point DFTs of one sixteenth's groups in both runs, on the points
// as loaded (lanes re, im of run 0, then re, im of run 1): a, b, c, d from
// quarters 0, 2, 1, 3; the same operations, lane by lane, as
// FirstButterflies. Returns X0..X3 in x.
template <bool kInv>
inline void FourPointPairs(const float* q, size_t quarterFloats, __m128 x[4]) {
  const __m128 a = _mm_loadu_ps(q), b = _mm_loadu_ps(q + 2 * quarterFloats);
  const __m128 c = _mm_loadu_ps(q + quarterFloats), d = _mm_loadu_ps(q + 3 * quarterFloats);
  __m128 s1 = _mm_add_ps(a, b), d1 = _mm_sub_ps(a, b);
  __m128 s2 = _mm_add_ps(c, d), cd = _mm_sub_ps(c, d);
  // rot(c - d): forward (ci, -cr), inverse (-ci, cr).
  const __m128 flip = kInv ? _mm_castsi128_ps(_mm_set_epi32(0, INT32_MIN, 0, INT32_MIN))
                           : _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0));
  __m128 d2 = _mm_xor_ps(_mm_shuffle_ps(cd, cd, _MM_SHUFFLE(2, 3, 0, 1)), flip);
  x[0] = _mm_add_ps(s1, s2);
  x[1] = _mm_add_ps(d1, d2);
  x[2] = _mm_sub_ps(s1, s2);
  x[3] = _mm_sub_ps(d1, d2);
}

// Two runs of the fused first stage: the points r[0], r[1] of each of the
// 16 streams r + s * e (s = 4 quarter + sixteenth of the quarter), runs
// rev'(v) and rev'(v + 1) written at out0 and out1. The 4-point DFTs run on
// the interleaved points; one transposition per group then makes its record.
template <bool kInv, int kWidth>
inline void FusedRunPair(const float* r, size_t e, float* out0, float* out1, const float* tw16) {
  // Group t of a run takes sixteenth rev2(t) of each quarter.
  static constexpr int kSixteenth[4] = {0, 2, 1, 3};
  Lanes4f g0[4], g1[4];
  for (int t = 0; t < 4; ++t) {
    __m128 x[4];
    FourPointPairs<kInv>(r + kSixteenth[t] * e, 4 * e, x);
    __m128 lo01 = _mm_unpacklo_ps(x[0], x[1]), lo23 = _mm_unpacklo_ps(x[2], x[3]);
    __m128 hi01 = _mm_unpackhi_ps(x[0], x[1]), hi23 = _mm_unpackhi_ps(x[2], x[3]);
    g0[t] = {_mm_movelh_ps(lo01, lo23), _mm_movehl_ps(lo23, lo01)};
    g1[t] = {_mm_movelh_ps(hi01, hi23), _mm_movehl_ps(hi23, hi01)};
  }
  FirstCombine<kInv, kWidth>(g0[0], g0[1], g0[2], g0[3], out0, tw16);
  FirstCombine<kInv, kWidth>(g1[0], g1[1], g1[2], g1[3], out1, tw16);
}

// The first stage fused with the bit reversal, over all n points of the
// natural-order source x. Output run h (16 points) holds groups 4h .. 4h+3;
// group 4h + t takes x[r], x[r + N/2], x[r + N/4], x[r + 3N/4] with
// r = rev'(h) + rev2(t) * N/16. The source is walked in sequence and run v
// goes to run rev'(v), whose records start at float 4 * table[v] (entry v,
// read as floats, is 8 rev'(v)). From 128 points on, eight runs a step: the
// 16 streams' next 64 bytes (a cache line each when the source is aligned)
// are first copied to a small block, since streams N/2 bytes apart share
// cache sets and would evict each other's lines between steps.
template <bool kInv, int kWidth>
void FirstStageFromTable(const float* x, float* out, size_t n, const uint32_t* table,
                         const float* tw16) {
  const size_t e = 2 * (n / 16);  // floats per sixteenth
  if (n < 128) {
    for (size_t v = 0; v < n / 16; v += 2)
      FusedRunPair<kInv, kWidth>(x + 2 * v, e, out + 4 * size_t{table[v]},
                                 out + 4 * size_t{table[v + 1]}, tw16);
    return;
  }
  alignas(64) float block[16][16];  // 8 points of each stream
  for (size_t v0 = 0; v0 < n / 16; v0 += 8) {
    const float* r = x + 2 * v0;
    for (int s = 0; s < 16; ++s)
      for (int i = 0; i < 16; i += 4) _mm_store_ps(&block[s][i], _mm_loadu_ps(r + s * e + i));
    for (size_t v = 0; v < 8; v += 2)
      FusedRunPair<kInv, kWidth>(&block[0][2 * v], 16, out + 4 * size_t{table[v0 + v]},
                                 out + 4 * size_t{table[v0 + v + 1]}, tw16);
  }
}

// ---- Radix passes -----------------------------------------------------------------

template <bool kInv, PassOut kOut>
void LastPass(bool radix2, const float* buf, float* out, size_t span, const float* tw) {
  if (radix2)
    Radix2Pass32fc<kInv, kOut>(buf, out, span, 1, tw);
  else
    Radix4Pass32fc<kInv, kOut>(buf, out, span, 1, tw);
}

// A whole transform of n >= 64 points in the 16-aligned records at buf,
// whose first stage `first(point, count, out, tw16, width)` writes the
// records of output points [point, point + count) at out (with
// kWholeFirst, called once for all points before the blocked passes). Then radix-4
// passes of span 16, 64, .. (cache blocked by KT::kBlockPoints up to span
// 256, the table read from its start for each block); the last pass (radix-2
// of span N/2 for odd orders, except variant 1) reads buf and writes out as
// interleaved points (interleave) or split records.
//
// width: 16 (fused 16-point stage), 8 (variant 1, odd orders) or 4 (the
// 4-point stage, then the radix-4 pass of span 4).
template <class KT, bool kInv, bool kWholeFirst, class First>
void RunPasses(First first, int width, float* buf, size_t n, const float* tw, float* out,
               bool interleave) {
  const size_t block = KT::kBlockPoints;
  size_t span;
  if (block != 0 && n > block) {
    if (kWholeFirst) first(0, n, buf, tw, 16);
    const float* blockTw = tw;
    for (size_t b = 0; b < n; b += block) {
      float* p = buf + 2 * b;
      if (!kWholeFirst) first(b, block, p, tw, 16);
      blockTw = tw + 24;
      for (size_t s = 16; s <= 256; s *= 4) {
        Radix4Pass32fc<kInv>(p, p, s, block / (4 * s), blockTw);
        blockTw += 6 * s;
      }
    }
    tw = blockTw;
    span = 1024;
  } else {
    first(0, n, buf, tw, width);
    if (width == 4) Radix4Pass32fc<kInv>(buf, buf, 4, n / 16, tw);
    if (width != 8) tw += 24;
    span = width == 8 ? 8 : 16;
  }
  const bool radix2 = !KT::kOddRadix4Only && (Log2(n) & 1);
  const size_t end = radix2 ? n / 2 : n / 4;  // span of the last pass
  for (; span < end; span *= 4) {
    Radix4Pass32fc<kInv>(buf, buf, span, n / (4 * span), tw);
    tw += 6 * span;
  }
  if (interleave)
    LastPass<kInv, PassOut::kPoints>(radix2, buf, out, end, tw);
  else if (Aligned16(out))
    LastPass<kInv, PassOut::kRecords>(radix2, buf, out, end, tw);
  else
    LastPass<kInv, PassOut::kRecordsUnaligned>(radix2, buf, out, end, tw);
}

// Calls f with the first-stage routine of the width.
template <bool kInv, class F>
void WithWidth(int width, F f) {
  if (width == 16)
    f(std::integral_constant<int, 16>{});
  else if (width == 8)
    f(std::integral_constant<int, 8>{});
  else
    f(std::integral_constant<int, 4>{});
}

// All passes over n points of data in bit-reversed order. On a 16-byte
// boundary the transform runs in the data; otherwise the first stage reads
// the data into the work buffer and the last pass writes the data again.
template <class KT, bool kInv>
void PassesSimd(void* data, size_t n, const float* tw, uint8_t* work, bool interleave) {
  float* d = static_cast<float*>(data);
  float* buf = Aligned16(d) ? d : reinterpret_cast<float*>(work);
  const int width = KT::kOddRadix4Only && (Log2(n) & 1) ? 8 : 16;
  auto first = [d](size_t point, size_t count, float* out, const float* tw16, int w) {
    WithWidth<kInv>(w, [&](auto kw) {
      FirstStageFromPoints<kInv, decltype(kw)::value>(d + 2 * point, out, count, tw16);
    });
  };
  RunPasses<KT, kInv, false>(first, width, buf, n, tw, d, interleave);
}

// The transform from natural order: the first stage reads the source
// through the bit-reversal table, so no separate permutation is made.
// Variant 1 makes 8-point DFTs at odd orders, 4-point DFTs at even orders
// below 14 and 16-point DFTs at order 14; the others 16-point DFTs.
template <class KT, bool kInv>
void DirectSimd(const void* src, void* dst, size_t n, const float* tw, const uint32_t* table,
                uint8_t* work) {
  float* out = static_cast<float*>(dst);
  float* buf = (src != dst && Aligned16(dst)) ? out : reinterpret_cast<float*>(work);
  const int order = Log2(n);
  int width = 16;
  if (KT::kOddRadix4Only) width = (order & 1) ? 8 : order < 14 ? 4 : 16;
  const float* x = static_cast<const float*>(src);
  auto first = [x, n, table](size_t, size_t, float* o, const float* tw16, int w) {
    WithWidth<kInv>(w, [&](auto kw) {
      FirstStageFromTable<kInv, decltype(kw)::value>(x, o, n, table, tw16);
    });
  };
  RunPasses<KT, kInv, true>(first, width, buf, n, tw, out, true);
}

// One split level on a bit-reversed block of order m at `depth`: the
// sub-blocks (recursively above the direct limit), each left in split
// records and scaled when asked, then the column passes block by block.
template <class KT, bool kInv>
void SplitLevelSimd(const FftSpec* s, float* p, int m, int depth, uint8_t* work) {
  const int split = KT::kSplit[m];
  const int sub = m - split;
  assert(split != 0);  // every order above the direct limit has a split entry
  // The split tables never nest deeper than the context has level tables;
  // saying so keeps the optimiser from unrolling the recursion past them.
  assert(depth < kFftSplitDepths);
  if (depth >= kFftSplitDepths) __builtin_unreachable();
  const size_t b = size_t{1} << sub, r = size_t{1} << split;
  const bool scaled = (kInv ? s->scaleInverse : s->scaleForward) == 1;
  for (size_t t = 0; t < r; ++t) {
    float* row = p + 2 * t * b;
    if (sub > KT::kDirectLimit) {
      SplitLevelSimd<KT, kInv>(s, row, sub, depth + 1, work);
    } else {
      PassesSimd<KT, kInv>(row, b, static_cast<const float*>(s->twiddleTable), work, false);
      if (scaled) KT::Scale(s->scaleFactor, row, static_cast<int32_t>(2 * b));
    }
  }
  const size_t g = size_t{1} << (KT::kBlock[m] - split);
  const float* tw = static_cast<const float*>(s->levelTwiddle[depth]);
  float* w = reinterpret_cast<float*>(work);
  for (size_t d = 0; d < b; d += g) {
    KT::Gather(p + 2 * d, w, static_cast<int32_t>(b), static_cast<int32_t>(r),
               static_cast<int32_t>(g));
    size_t quarter = g;
    for (int i = 2; i <= split; i += 2, quarter *= 4) {
      KT::template Radix4<kInv>(w, w, static_cast<int32_t>(quarter),
                                static_cast<int32_t>(r * g / (4 * quarter)), tw);
      tw += 6 * quarter;
    }
    if (split & 1) {
      KT::template Radix2<kInv>(w, w, static_cast<int32_t>(quarter), 1, tw);
      tw += 2 * quarter;
    }
    KT::Scatter(p + 2 * d, w, static_cast<int32_t>(b), static_cast<int32_t>(r),
                static_cast<int32_t>(g), depth == 0 ? 1 : 0);
  }
}

// The bit reversal of a large order through the two-level table: the
// array as 64 rows of N/64 points, cut into N/4096 blocks of 64 x 64 points;
// word i of the row table (64 rev(i)) is the point where block i's content
// goes, each block bit-reversed as 4096 points with the pair table that
// follows the row table. The blocks pass through the two 32 KB areas at the
// start of the work buffer.
template <class KT>
void BitRevTwoLevel(const void* src, void* dst, size_t n, int order, const uint32_t* table,
                    uint8_t* work) {
  const size_t blocks = n >> 12;
  const int32_t stride = static_cast<int32_t>(n / 64);
  const uint32_t* pairs = table + blocks;
  float* a = reinterpret_cast<float*>(work);
  float* b = reinterpret_cast<float*>(work + 0x8000);
  float* d = static_cast<float*>(dst);
  if (src != dst && order < KT::kGatherCopyBelow) {
    const float* s = static_cast<const float*>(src);
    for (size_t i = 0; i < blocks; ++i) {
      KT::Gather(s + 2 * size_t{table[i]}, a, stride, 64, 64);
      KT::BlockBitRev(a, 4096, pairs);
      KT::Scatter(d + 128 * i, a, stride, 64, 64, 0);
    }
    return;
  }
  if (src != dst) KT::Copy(src, dst, static_cast<int32_t>(8 * n));
  for (size_t i = 0; i < blocks; ++i) {
    const size_t to = table[i];
    if (64 * i > to) continue;  // exchanged when its partner came by
    KT::Gather(d + 128 * i, a, stride, 64, 64);
    if (64 * i != to) KT::Gather(d + 2 * to, b, stride, 64, 64);
    KT::BlockBitRev(a, 4096, pairs);
    if (64 * i != to) KT::BlockBitRev(b, 4096, pairs);
    KT::Scatter(d + 2 * to, a, stride, 64, 64, 0);
    if (64 * i != to) KT::Scatter(d + 128 * i, b, stride, 64, 64, 0);
  }
}

template <class KT, bool kInv>
void RecursiveSimd(const FftSpec* s, const void* src, void* dst, int order, uint8_t* work) {
  const size_t n = size_t{1} << order;
  const uint32_t* table = static_cast<const uint32_t*>(s->bitRevTable);
  if (order >= KT::kTwoLevelFrom) {
    BitRevTwoLevel<KT>(src, dst, n, order, table, work);
  } else {
    if (src != dst) KT::Copy(src, dst, static_cast<int32_t>(8 * n));
    BitRevInPlaceTable(dst, n, table);
  }
  SplitLevelSimd<KT, kInv>(s, static_cast<float*>(dst), order, 0, work);
}

template <void (*ScaleKernel)(float, float*, int32_t), WuPerfStatus (*Zero)(float*, int32_t)>
WuPerfStatus ScaleSimd(float factor, float* data, int32_t count) {
  if (!data) return WuPerfErrNullPointer;
  if (count <= 0) return WuPerfErrSize;
  if (factor == 1.0f) return WuPerfOk;
  if (factor == 0.0f) return Zero(data, count);
  ScaleKernel(factor, data, count);
  return WuPerfOk;
}

}  // namespace
}  // namespace wuperf

// The complex float FFT of SIMD variant V (index I) with its complex
// constants CT (dsp/FftSplitTables.h), split table S, block table B and
// the points of a cache block of the passes (0: no blocking).
#define WU_DEFINE_FFT32FC_SIMD(V, I, CT, S, B, BLOCK)                                                   \
  namespace {                                                                                     \
  struct Traits {                                                                                 \
    static constexpr int32_t kVariant = I;                                                        \
    static constexpr int kDirectLimit = CT.directLimit;                                          \
    static constexpr bool kGeneric = false;                                                       \
    static constexpr bool kOddRadix4Only = CT.oddRadix4Only;                                      \
    static constexpr size_t kBlockPoints = BLOCK;                                                \
    static constexpr int kTwoLevelFrom = CT.twoLevelFrom;                                        \
    /* out-of-place large bit reversal block by block below this order */                       \
    static constexpr int kGatherCopyBelow = I == 2 ? 0 : I == 1 ? 19 : 21;                       \
    /* BitRevCopy walks the destination in sequence above this */                                 \
    static constexpr size_t kSeqWritesAbove = I == 2 ? 65536 : 32768;                            \
    static void Copy(const void* s, void* d, int32_t n) { WuPerfCopy8u_##V(s, d, n); }            \
    static void BlockBitRev(float* p, int32_t n, const uint32_t* t) {                             \
      WuPerfFFT32fc_BlockBitRev_##V(p, n, t);                                                     \
    }                                                                                             \
    static constexpr const uint8_t* kSplit = S.v;                                                 \
    static constexpr const uint8_t* kBlock = B.v;                                                 \
    static uint8_t* Malloc(int32_t n) { return WuPerfsMalloc_##V(n); }                            \
    static void Free(void* p) { WuPerfsFree_##V(p); }                                             \
    static float* BaseTwiddle(int32_t o, float* d) { return WuPerfFFT32fc_BaseTwiddle_##V(o, d); } \
    static uint32_t* BitRevTable(int32_t o, uint32_t* d) { return WuPerfFFT_BitRevTable_##V(o, d); } \
    static float* RadixTwiddle(int32_t o, const float* s, int32_t a, float* d) {                  \
      return WuPerfFFT32fc_RadixTwiddle_##V(o, s, a, d);                                          \
    }                                                                                             \
    static void InitLarge(FftSpec* sp, int32_t o, const float* s, int32_t a, uint8_t* d,          \
                          uint8_t* scratch) {                                                     \
      WuPerfFFT32fc_InitLarge_##V(sp, o, s, a, d, scratch);                                       \
    }                                                                                             \
    static void GetSizesLarge(int32_t o, int32_t* s, int32_t* i, int32_t* w) {                    \
      WuPerfFFT32fc_GetSizesLarge_##V(o, s, i, w);                                                \
    }                                                                                             \
    static void Scale(float f, float* p, int32_t c) { WuPerfFFT32fc_Scale_##V(f, p, c); }         \
    static void Gather(const float* s, float* d, int32_t stride, int32_t rows, int32_t len) {     \
      WuPerfFFT32fc_BlockGather_##V(s, d, stride, rows, len);                                     \
    }                                                                                             \
    static void Scatter(float* d, const float* s, int32_t stride, int32_t rows, int32_t len,      \
                        int32_t mode) {                                                           \
      WuPerfFFT32fc_BlockScatter_##V(d, s, stride, rows, len, mode);                              \
    }                                                                                             \
    template <bool kInv>                                                                          \
    static void Radix4(const float* s, float* d, int32_t q, int32_t g, const float* tw) {         \
      if (kInv)                                                                                   \
        WuPerfFFTInv32fc_Radix4Pass_##V(s, d, q, g, tw);                                          \
      else                                                                                        \
        WuPerfFFTFwd32fc_Radix4Pass_##V(s, d, q, g, tw);                                          \
    }                                                                                             \
    template <bool kInv>                                                                          \
    static void Radix2(const float* s, float* d, int32_t h, int32_t g, const float* tw) {         \
      if (kInv)                                                                                   \
        WuPerfFFTInv32fc_Radix2Pass_##V(s, d, h, g, tw);                                          \
      else                                                                                        \
        WuPerfFFTFwd32fc_Radix2Pass_##V(s, d, h, g, tw);                                          \
    }                                                                                             \
    static void BitRevInPlace(void* p, int32_t n, const uint32_t* t) {                            \
      WuPerfFFT32fc_BitRevInPlace_##V(p, n, t);                                                   \
    }                                                                                             \
    static void BitRevCopy(const void* s, void* d, int32_t n, const uint32_t* t) {                \
      WuPerfFFT32fc_BitRevCopy_##V(s, d, n, t);                                                   \
    }                                                                                             \
    template <bool kInv>                                                                          \
    static void Direct(const void* s, void* d, int32_t n, const float* tw, const uint32_t* br,    \
                       uint8_t* w) {                                                              \
      if (kInv)                                                                                   \
        WuPerfFFTInv32fc_Direct_##V(s, d, n, tw, br, w);                                          \
      else                                                                                        \
        WuPerfFFTFwd32fc_Direct_##V(s, d, n, tw, br, w);                                          \
    }                                                                                             \
    template <bool kInv>                                                                          \
    static void Passes(void* p, int32_t n, const float* tw, uint8_t* w) {                         \
      if (kInv)                                                                                   \
        WuPerfFFTInv32fc_Passes_##V(p, n, tw, w, 1);                                              \
      else                                                                                        \
        WuPerfFFTFwd32fc_Passes_##V(p, n, tw, w, 1);                                              \
    }                                                                                             \
    template <bool kInv>                                                                          \
    static void Large(const FftSpec* sp, const void* s, void* d, int32_t o, uint8_t* w) {         \
      if (kInv)                                                                                   \
        WuPerfFFTInv32fc_Recursive_##V(sp, s, d, o, w);                                           \
      else                                                                                        \
        WuPerfFFTFwd32fc_Recursive_##V(sp, s, d, o, w);                                           \
    }                                                                                             \
  };                                                                                              \
  }                                                                                               \
  WU_DEFINE_FFT32FC_ENTRIES(V, Traits)                                                            \
  WU_FFT32FC_FIXED_KERNELS(V, false)                                                              \
  void WuPerfFFT32fc_BitRevCopy_##V(const void* src, void* dst, int32_t n, const uint32_t* t) {  \
    BitRevCopyTable(src, dst, static_cast<size_t>(n), t, Traits::kSeqWritesAbove);                \
  }                                                                                               \
  void WuPerfFFT32fc_BitRevInPlace_##V(void* data, int32_t n, const uint32_t* t) {                \
    BitRevInPlaceTable(data, static_cast<size_t>(n), t);                                          \
  }                                                                                               \
  WuPerfStatus WuPerfFFT32fc_Scale_##V(float factor, float* data, int32_t count) {                \
    return ScaleSimd<WuPerfScale32f_Kernel_##V, WuPerfZero32f_##V>(factor, data, count);         \
  }                                                                                               \
  WU_DEFINE_FFT32FC_SIMD_DIR(Fwd, false, V)                                                       \
  WU_DEFINE_FFT32FC_SIMD_DIR(Inv, true, V)

#define WU_DEFINE_FFT32FC_SIMD_DIR(D, kInv, V)                                                   \
  void WuPerfFFT##D##32fc_Passes_##V(void* data, int32_t n, const float* tw, uint8_t* work,      \
                                     int32_t interleave) {                                        \
    PassesSimd<Traits, kInv>(data, static_cast<size_t>(n), tw, work, interleave == 1);            \
  }                                                                                               \
  void WuPerfFFT##D##32fc_Direct_##V(const void* src, void* dst, int32_t n, const float* tw,      \
                                     const uint32_t* bitRev, uint8_t* work) {                     \
    DirectSimd<Traits, kInv>(src, dst, static_cast<size_t>(n), tw, bitRev, work);                 \
  }                                                                                               \
  void WuPerfFFT##D##32fc_Recursive_##V(const FftSpec* ctx, const void* src, void* dst,          \
                                        int32_t order, uint8_t* work) {                           \
    RecursiveSimd<Traits, kInv>(ctx, src, dst, order, work);                                     \
  }                                                                                               \
  void WuPerfFFT##D##32fc_SplitRecurse_##V(const FftSpec* ctx, void* block, int32_t order,       \
                                           int32_t depth, uint8_t* work) {                        \
    SplitLevelSimd<Traits, kInv>(ctx, static_cast<float*>(block), order, depth, work);           \
  }
