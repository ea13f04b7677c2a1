// The inverse real FFT's pre-pass of variants 1 to 4: the packed spectrum
// folded into twice the half-size spectrum Z' of z[n] = x[2n] + i x[2n+1],
// two bins per step from one record of the inverse post-pass table
// (cos t(k), cos t(k+1), -sin t(k), -sin t(k+1) for bins k = 2j + 1, k + 1).
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace wuperf {
namespace {

// Points 1 .. m - 1 of Z' from the packed spectrum src (dst may be src):
// the middle bin m/2 first, Z'[m/2] = (2 R, -2 I); then for k = 1, 2, then
// 3, 4 and so on with bin j = m - k, Sr = Rk + Rj, Dr = Rk - Rj, Si = Ik +
// Ij, Di = Ik - Ij, cs = cos t, sn = sin t:
//   Z'[k] = (Sr - sn Dr - cs Si, Di - sn Si + cs Dr),
//   Z'[j] = (Sr + sn Dr + cs Si, -Di - sn Si + cs Dr);
// the step that reaches k = m/2 - 1 does only that bin. Every step reads its
// four bins before it writes them.
inline void RealPrePassRecords(const double* src, double* dst, int64_t m, const double* table) {
  dst[m] = 2.0 * src[m];
  dst[m + 1] = -2.0 * src[m + 1];
  const int64_t last = m / 2 - 1;
  int64_t k = 1;
  const __m128d sign = _mm_set1_pd(-0.0);
  for (; k + 1 <= last; k += 2, table += 4) {
    const int64_t j = m - k;
    const __m128d pk = _mm_loadu_pd(src + 2 * k), pk1 = _mm_loadu_pd(src + 2 * k + 2);
    const __m128d pj = _mm_loadu_pd(src + 2 * j), pj1 = _mm_loadu_pd(src + 2 * j - 2);
    const __m128d rk = _mm_unpacklo_pd(pk, pk1), ik = _mm_unpackhi_pd(pk, pk1);
    const __m128d rj = _mm_unpacklo_pd(pj, pj1), ij = _mm_unpackhi_pd(pj, pj1);
    const __m128d cs = _mm_loadu_pd(table);
    const __m128d sn = _mm_xor_pd(_mm_loadu_pd(table + 2), sign);
    const __m128d sr = _mm_add_pd(rk, rj), dr = _mm_sub_pd(rk, rj);
    const __m128d si = _mm_add_pd(ik, ij), di = _mm_sub_pd(ik, ij);
    const __m128d snDr = _mm_mul_pd(sn, dr), csSi = _mm_mul_pd(cs, si);
    const __m128d snSi = _mm_mul_pd(sn, si), csDr = _mm_mul_pd(cs, dr);
    const __m128d kr = _mm_sub_pd(_mm_sub_pd(sr, snDr), csSi);
    const __m128d ki = _mm_add_pd(_mm_sub_pd(di, snSi), csDr);
    const __m128d jr = _mm_add_pd(_mm_add_pd(sr, snDr), csSi);
    const __m128d ji = _mm_add_pd(_mm_sub_pd(_mm_xor_pd(di, sign), snSi), csDr);
    _mm_storeu_pd(dst + 2 * k, _mm_unpacklo_pd(kr, ki));
    _mm_storeu_pd(dst + 2 * k + 2, _mm_unpackhi_pd(kr, ki));
    _mm_storeu_pd(dst + 2 * j, _mm_unpacklo_pd(jr, ji));
    _mm_storeu_pd(dst + 2 * j - 2, _mm_unpackhi_pd(jr, ji));
  }
  if (k == last) {
    const int64_t j = m - k;
    const double cs = table[0], sn = -table[2];
    const double rk = src[2 * k], ik = src[2 * k + 1], rj = src[2 * j], ij = src[2 * j + 1];
    const double sr = rk + rj, dr = rk - rj, si = ik + ij, di = ik - ij;
    dst[2 * k] = sr - sn * dr - cs * si;
    dst[2 * k + 1] = di - sn * si + cs * dr;
    dst[2 * j] = sr + sn * dr + cs * si;
    dst[2 * j + 1] = -di - sn * si + cs * dr;
  }
}

}  // namespace
}  // namespace wuperf
