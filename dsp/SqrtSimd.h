// Square-root kernel bodies for the SIMD variants.
//
// Exact roots use the full-precision square-root instruction (correctly
// rounded). The bulk of ordinary data instead starts from the processor's
// reciprocal-square-root estimate r (relative error up to 1.5 * 2^-12):
//   y = x*r; t = r*y - 3; y = y * -0.5; s = t*y       (one Newton step)
//   root = s + (x - s*s) * (r*0.5)                     (one residual step)
// The Newton step alone can be three units in the last place off; the
// residual step brings every root within one unit of the exact one on any
// processor whose estimate meets that bound. A block whose y has an
// all-ones exponent in any lane holds a special input (+-0, denormal,
// negative, +inf or NaN) and is computed exactly instead. Every operation
// is single precision, in this order, without fused forms.
//
// An input counts as negative when it compares below zero (NaN does not, and
// -0 does not). It gives the bits 0xFFC00000 and sets its bit in the flag
// word the kernel returns. A NaN input gives the same NaN, made quiet.
//
// Internal linkage: each variant file gets its own copy, compiled for its
// own instruction set (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace wuperf {
namespace {

constexpr int kNegativeRootBits = static_cast<int>(0xFFC00000u);  // result of a negative input

// Exact roots of four lanes; lanes below zero get the negative-input NaN and
// set their bits in *negative.
inline __m128 ExactRoot4(__m128 x, uint32_t* negative) {
  const __m128 negativeRoot = _mm_castsi128_ps(_mm_set1_epi32(kNegativeRootBits));
  __m128 below = _mm_cmplt_ps(x, _mm_setzero_ps());
  *negative |= static_cast<uint32_t>(_mm_movemask_ps(below));
  __m128 root = _mm_sqrt_ps(x);
  return _mm_or_ps(_mm_andnot_ps(below, root), _mm_and_ps(below, negativeRoot));
}

// Exact roots of n elements: groups of four, then a pair (upper lanes zero),
// then a single element.
inline void ExactRoots(const float* src, float* dst, int32_t n, uint32_t* negative) {
  for (; n >= 4; n -= 4, src += 4, dst += 4)
    _mm_storeu_ps(dst, ExactRoot4(_mm_loadu_ps(src), negative));
  if (n >= 2) {
    __m128 x = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_castps_si128(ExactRoot4(x, negative)));
    n -= 2, src += 2, dst += 2;
  }
  if (n == 1) _mm_store_ss(dst, ExactRoot4(_mm_load_ss(src), negative));
}

// The residual step: s + (x - s*s) * (r*0.5).
inline __m128 RefineRoot4(__m128 x, __m128 r, __m128 s) {
  __m128 residual = _mm_sub_ps(x, _mm_mul_ps(s, s));
  return _mm_add_ps(s, _mm_mul_ps(residual, _mm_mul_ps(r, _mm_set1_ps(0.5f))));
}

// Estimated roots of four lanes; *special gets all-ones lanes where y has an
// all-ones exponent.
inline __m128 NewtonRoot4(__m128 x, __m128i* special) {
  const __m128 three = _mm_set1_ps(3.0f);
  const __m128 minusHalf = _mm_set1_ps(-0.5f);
  const __m128i exponent = _mm_set1_epi32(0x7F800000);
  __m128 r = _mm_rsqrt_ps(x);
  __m128 y = _mm_mul_ps(x, r);
  __m128 t = _mm_mul_ps(r, y);
  t = _mm_sub_ps(t, three);
  y = _mm_mul_ps(y, minusHalf);
  *special = _mm_cmpeq_epi32(_mm_and_si128(_mm_castps_si128(y), exponent), exponent);
  return RefineRoot4(x, r, _mm_mul_ps(t, y));
}

// The kernel of variants 2 to 4. An exact head brings the destination to a
// 16-byte boundary; then blocks of 16 get estimated roots unless AnySpecial finds a
// special lane in the block's mask; the rest is exact. Returns the flag word.
template <bool (*AnySpecial)(__m128i)>
uint32_t SqrtBlocksOf16(const float* src, float* dst, int32_t len) {
  uint32_t negative = 0;
  int32_t i = 0;
  for (; i < len && (reinterpret_cast<uintptr_t>(dst + i) & 0xC) != 0; ++i)
    ExactRoots(src + i, dst + i, 1, &negative);
  for (; len - i >= 16; i += 16) {
    _mm_prefetch(reinterpret_cast<const char*>(src + i) + 96, _MM_HINT_T0);
    __m128i s0, s1, s2, s3;
    __m128 e0 = NewtonRoot4(_mm_loadu_ps(src + i), &s0);
    __m128 e1 = NewtonRoot4(_mm_loadu_ps(src + i + 4), &s1);
    __m128 e2 = NewtonRoot4(_mm_loadu_ps(src + i + 8), &s2);
    __m128 e3 = NewtonRoot4(_mm_loadu_ps(src + i + 12), &s3);
    __m128i any = _mm_or_si128(_mm_or_si128(s0, s1), _mm_or_si128(s2, s3));
    if (AnySpecial(any)) {
      ExactRoots(src + i, dst + i, 16, &negative);
      continue;
    }
    _mm_storeu_ps(dst + i, e0);
    _mm_storeu_ps(dst + i + 4, e1);
    _mm_storeu_ps(dst + i + 8, e2);
    _mm_storeu_ps(dst + i + 12, e3);
  }
  ExactRoots(src + i, dst + i, len - i, &negative);
  return negative;
}

}  // namespace
}  // namespace wuperf
