// Variant 1: SSE and SSE2.
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "dsp/AlignedAlloc.h"
#include "dsp/ArgChecks.h"
#include "dsp/FloatEnv.h"
#include "dsp/RandSimd.h"
#include "dsp/SqrtSimd.h"
#include "dsp/Variants.h"

namespace wuperf::v1 {

namespace {

// Lengths above which the multiply prefetches both vectors past the cache.
constexpr int32_t kPrefetchMinLen = 32769;

// Estimated roots of four lanes: the Newton step in the form
// (3 - (x*r)*r) * ((x*r)*0.5), which gives the same bits as the form of the
// newer variants, then the same residual step (dsp/SqrtSimd.h). *xrr gets
// (x*r)*r for the block test.
__m128 NewtonRoot4Sse2(__m128 x, __m128* xrr) {
  __m128 r = _mm_rsqrt_ps(x);
  __m128 xr = _mm_mul_ps(x, r);
  *xrr = _mm_mul_ps(xr, r);
  __m128 s = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(3.0f), *xrr), _mm_mul_ps(xr, _mm_set1_ps(0.5f)));
  return RefineRoot4(x, r, s);
}

// One complex product a*b: both products of each part rounded, then the
// difference for the real part and the sum for the imaginary part.
__m128d ComplexMulSse2(__m128d a, __m128d b) {
  // (a.re*b.re, a.re*b.im) and (a.im*b.im, a.im*b.re)
  __m128d reTimesB = _mm_mul_pd(_mm_unpacklo_pd(a, a), b);
  __m128d imTimesSwapped = _mm_mul_pd(_mm_unpackhi_pd(a, a), _mm_shuffle_pd(b, b, 1));
  return _mm_move_sd(_mm_add_pd(reTimesB, imTimesSwapped), _mm_sub_pd(reTimesB, imTimesSwapped));
}

}  // namespace

uint8_t* WuPerfsMalloc_V1(int32_t len) {
  if (len <= 0) return nullptr;
  return static_cast<uint8_t*>(WuPerfsAlignedMalloc(len));
}

void WuPerfsFree_V1(void* block) { WuPerfsAlignedFree(block); }

void WuPerfRandUniform32f_Kernel_V1(float* dst, int32_t len, float low, float high,
                                    uint32_t* seed) {
  RandUniformPairs(dst, len, low, high, seed);
}

WuPerfStatus WuPerfsRandUniform_Direct_32f_V1(float* dst, int32_t len, float low, float high,
                                              uint32_t* seed) {
  WuPerfStatus status = CheckVectorArgs(dst, seed, len);
  if (status != WuPerfOk) return status;
  WuPerfRandUniform32f_Kernel_V1(dst, len, low, high, seed);
  return WuPerfOk;
}

// An exact head brings the source to a 16-byte boundary; blocks of 8 get
// estimated roots unless, in some lane, the smaller of the two inputs is below the
// smallest normal float or (x*r)*r is NaN (the same inputs the newer
// variants single out); the rest is exact.
uint32_t WuPerfSqrt32f_Kernel_V1(const float* src, float* dst, int32_t len) {
  const __m128 smallestNormal = _mm_castsi128_ps(_mm_set1_epi32(0x00800000));
  DWORD savedEnv = EnterExactFloatEnv();
  uint32_t negative = 0;
  int32_t i = 0;
  for (; i < len && (reinterpret_cast<uintptr_t>(src + i) & 0xC) != 0; ++i)
    ExactRoots(src + i, dst + i, 1, &negative);
  for (; len - i >= 8; i += 8) {
    __m128 x0 = _mm_loadu_ps(src + i);
    __m128 x1 = _mm_loadu_ps(src + i + 4);
    __m128 xrr0, xrr1;
    __m128 e0 = NewtonRoot4Sse2(x0, &xrr0);
    __m128 e1 = NewtonRoot4Sse2(x1, &xrr1);
    __m128 special = _mm_or_ps(_mm_cmplt_ps(_mm_min_ps(x0, x1), smallestNormal),
                               _mm_or_ps(_mm_cmpunord_ps(xrr0, xrr0), _mm_cmpunord_ps(xrr1, xrr1)));
    if (_mm_movemask_ps(special) != 0) {
      ExactRoots(src + i, dst + i, 8, &negative);
      continue;
    }
    _mm_storeu_ps(dst + i, e0);
    _mm_storeu_ps(dst + i + 4, e1);
  }
  ExactRoots(src + i, dst + i, len - i, &negative);
  LeaveExactFloatEnv(savedEnv);
  return negative;
}

WuPerfStatus WuPerfsSqrt_32f_V1(const float* src, float* dst, int32_t len) {
  WuPerfStatus status = CheckVectorArgs(src, dst, len);
  if (status != WuPerfOk) return status;
  return WuPerfSqrt32f_Kernel_V1(src, dst, len) ? WuPerfWarnSqrtNegative : WuPerfOk;
}

// One element per step; long vectors prefetch both inputs two elements ahead
// with the non-temporal hint.
void WuPerfMul64fc_I_Kernel_V1(const void* src, void* srcDst, int32_t len) {
  const uint8_t* a = static_cast<const uint8_t*>(src);
  uint8_t* b = static_cast<uint8_t*>(srcDst);
  bool prefetch = len >= kPrefetchMinLen;
  for (int32_t i = 0; i < len; ++i, a += 16, b += 16) {
    if (prefetch) {
      _mm_prefetch(reinterpret_cast<const char*>(a) + 32, _MM_HINT_NTA);
      _mm_prefetch(reinterpret_cast<const char*>(b) + 32, _MM_HINT_NTA);
    }
    __m128d r = ComplexMulSse2(_mm_loadu_pd(reinterpret_cast<const double*>(a)),
                               _mm_loadu_pd(reinterpret_cast<const double*>(b)));
    _mm_storeu_pd(reinterpret_cast<double*>(b), r);
  }
}

WuPerfStatus WuPerfsMul_64fc_I_V1(const void* src, void* srcDst, int32_t len) {
  WuPerfStatus status = CheckVectorArgs(src, srcDst, len);
  if (status != WuPerfOk) return status;
  WuPerfMul64fc_I_Kernel_V1(src, srcDst, len);
  return WuPerfOk;
}

// Exclusive-or of each 16-byte element with a mask holding the sign bit of
// the imaginary part: four elements per step with aligned accesses when the
// vector is 16-byte aligned, else one element per step.
void WuPerfConj64fc_I_Kernel_V1(void* srcDst, int32_t len) {
  const __m128i mask = _mm_set_epi32(static_cast<int>(0x80000000u), 0, 0, 0);
  __m128i* e = static_cast<__m128i*>(srcDst);
  int32_t i = 0;
  if ((reinterpret_cast<uintptr_t>(srcDst) & 15) == 0) {
    for (; len - i >= 4; i += 4, e += 4) {
      _mm_store_si128(e, _mm_xor_si128(_mm_load_si128(e), mask));
      _mm_store_si128(e + 1, _mm_xor_si128(_mm_load_si128(e + 1), mask));
      _mm_store_si128(e + 2, _mm_xor_si128(_mm_load_si128(e + 2), mask));
      _mm_store_si128(e + 3, _mm_xor_si128(_mm_load_si128(e + 3), mask));
    }
  }
  for (; i < len; ++i, ++e) _mm_storeu_si128(e, _mm_xor_si128(_mm_loadu_si128(e), mask));
}

WuPerfStatus WuPerfsConj_64fc_I_V1(void* srcDst, int32_t len) {
  WuPerfStatus status = CheckVectorArgs(srcDst, len);
  if (status != WuPerfOk) return status;
  WuPerfConj64fc_I_Kernel_V1(srcDst, len);
  return WuPerfOk;
}

}  // namespace wuperf::v1
