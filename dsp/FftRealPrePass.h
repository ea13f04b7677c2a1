// The walk over mirrored bins shared by the real FFT's post-pass and
// pre-pass of variants 1 to 4 (two bins and their mirrors per step, one
// table record each), and the inverse pre-pass: the packed spectrum folded
// into twice the half-size spectrum Z' of z[n] = x[2n] + i x[2n+1], from
// the records cos t(k), cos t(k+1), -sin t(k), -sin t(k+1) for bins k =
// 2j + 1, k + 1.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace wuperf {
namespace {

// Points pa and pb (two doubles each) as a real vector and an imaginary
// vector (lane 0 from pa).
inline void LoadLanes(const double* pa, const double* pb, __m128d& re, __m128d& im) {
  const __m128d a = _mm_loadu_pd(pa), b = _mm_loadu_pd(pb);
  re = _mm_unpacklo_pd(a, b), im = _mm_unpackhi_pd(a, b);
}

// One step over the bins k, k + 1 of src and their mirrors j = m - k,
// j - 1 with the step's record rec (lanes: two doubles for bins k, k + 1,
// then two more): step(rk, ik, rj, ij, rec0, rec1) turns the bins' real and
// imaginary vectors into the new ones, written to dst after every read.
// kPair false: bin k alone, in both lanes.
template <bool kPair, class Step>
inline void MirroredStep(const double* src, double* dst, int64_t m, int64_t k, const double* rec,
                         Step step) {
  const int64_t j = m - k;
  const int64_t next = kPair ? 2 : 0;
  __m128d rk, ik, rj, ij;
  LoadLanes(src + 2 * k, src + 2 * k + next, rk, ik);
  LoadLanes(src + 2 * j, src + 2 * j - next, rj, ij);
  const __m128d lo = kPair ? _mm_loadu_pd(rec) : _mm_set1_pd(rec[0]);
  const __m128d hi = kPair ? _mm_loadu_pd(rec + 2) : _mm_set1_pd(rec[2]);
  step(rk, ik, rj, ij, lo, hi);
  _mm_storeu_pd(dst + 2 * k, _mm_unpacklo_pd(rk, ik));
  _mm_storeu_pd(dst + 2 * j, _mm_unpacklo_pd(rj, ij));
  if (kPair) {
    _mm_storeu_pd(dst + 2 * k + 2, _mm_unpackhi_pd(rk, ik));
    _mm_storeu_pd(dst + 2 * j - 2, _mm_unpackhi_pd(rj, ij));
  }
}

// The steps over k = 1, 2, then 3, 4 and so on up to m/2 - 1 with their
// mirrors, one record of four doubles per step; the step that reaches
// m/2 - 1 does only that bin.
template <class Step>
inline void MirroredSteps(const double* src, double* dst, int64_t m, const double* table, Step step) {
  const int64_t last = m / 2 - 1;
  int64_t k = 1;
  for (; k + 1 <= last; k += 2, table += 4) MirroredStep<true>(src, dst, m, k, table, step);
  if (k == last) MirroredStep<false>(src, dst, m, k, table, step);
}

// Points 1 .. m - 1 of Z' from the packed spectrum src (dst may be src):
// the middle bin m/2 first, Z'[m/2] = (2 R, -2 I); then for each bin k
// with j = m - k, Sr = Rk + Rj, Dr = Rk - Rj, Si = Ik + Ij, Di = Ik - Ij,
// cs = cos t, sn = sin t:
//   Z'[k] = (Sr - sn Dr - cs Si, Di - sn Si + cs Dr),
//   Z'[j] = (Sr + sn Dr + cs Si, -Di - sn Si + cs Dr).
inline void RealPrePassRecords(const double* src, double* dst, int64_t m, const double* table) {
  dst[m] = 2.0 * src[m];
  dst[m + 1] = -2.0 * src[m + 1];
  MirroredSteps(src, dst, m, table, [](__m128d& rk, __m128d& ik, __m128d& rj, __m128d& ij,
                                       __m128d cs, __m128d ns) {
    // With ns = -sn the products ns Dr, ns Si are the exact negations of
    // sn Dr, sn Si, and x - y is x + (-y): the same bits without the sign
    // flips (-Di - sn Si is ns Si - Di).
    const __m128d sr = _mm_add_pd(rk, rj), dr = _mm_sub_pd(rk, rj);
    const __m128d si = _mm_add_pd(ik, ij), di = _mm_sub_pd(ik, ij);
    const __m128d nsDr = _mm_mul_pd(ns, dr), csSi = _mm_mul_pd(cs, si);
    const __m128d nsSi = _mm_mul_pd(ns, si), csDr = _mm_mul_pd(cs, dr);
    rk = _mm_sub_pd(_mm_add_pd(sr, nsDr), csSi);
    ik = _mm_add_pd(_mm_add_pd(di, nsSi), csDr);
    rj = _mm_add_pd(_mm_sub_pd(sr, nsDr), csSi);
    ij = _mm_add_pd(_mm_sub_pd(nsSi, di), csDr);
  });
}

}  // namespace
}  // namespace wuperf
