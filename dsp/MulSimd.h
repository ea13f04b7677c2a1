// Complex multiply and conjugate bodies of variants 2 to 4 (SSE3).
//
// Multiply: srcDst[i] = src[i] * srcDst[i] with
//   re = a.re*b.re - a.im*b.im,  im = a.re*b.im + a.im*b.re,
// each product rounded to double before the sum or difference, the same bits
// as the scalar formula. Two elements per step, then one for an odd length.
// Large aligned vectors are written with streaming stores so they do not
// flush the cache.
//
// Conjugate: flips the sign bit of each imaginary part by an integer
// exclusive-or, so every other bit stays as it was.
//
// Internal linkage: each variant file gets its own copy, compiled for its
// own instruction set (see dsp/Variants.h).
#pragma once

#include <pmmintrin.h>

#include <cstddef>
#include <cstdint>

namespace wuperf {
namespace {

// Lengths from which a 16-byte-aligned destination gets streaming stores
// (more than 16384 pairs, about 512 KB per vector).
constexpr int32_t kStreamingMinLen = 32770;

// One complex product a*b.
inline __m128d ComplexMulSse3(__m128d a, __m128d b) {
  // (a.re*b.re, a.re*b.im) and (a.im*b.im, a.im*b.re)
  __m128d reTimesB = _mm_mul_pd(_mm_movedup_pd(a), b);
  __m128d imTimesSwapped = _mm_mul_pd(_mm_unpackhi_pd(a, a), _mm_shuffle_pd(b, b, 1));
  return _mm_addsub_pd(reTimesB, imTimesSwapped);
}

template <bool kStreaming>
void MulPairs(const uint8_t* a, uint8_t* b, int32_t pairs) {
  for (int32_t k = 0; k < pairs; ++k, a += 32, b += 32) {
    __m128d r0 = ComplexMulSse3(_mm_loadu_pd(reinterpret_cast<const double*>(a)),
                                _mm_loadu_pd(reinterpret_cast<const double*>(b)));
    __m128d r1 = ComplexMulSse3(_mm_loadu_pd(reinterpret_cast<const double*>(a + 16)),
                                _mm_loadu_pd(reinterpret_cast<const double*>(b + 16)));
    if (kStreaming) {
      _mm_stream_pd(reinterpret_cast<double*>(b), r0);
      _mm_stream_pd(reinterpret_cast<double*>(b + 16), r1);
    } else {
      _mm_storeu_pd(reinterpret_cast<double*>(b), r0);
      _mm_storeu_pd(reinterpret_cast<double*>(b + 16), r1);
    }
  }
}

inline void MulKernelSse3(const void* src, void* srcDst, int32_t len) {
  const uint8_t* a = static_cast<const uint8_t*>(src);
  uint8_t* b = static_cast<uint8_t*>(srcDst);
  int32_t pairs = len / 2;
  bool streaming = (reinterpret_cast<uintptr_t>(b) & 15) == 0 && len >= kStreamingMinLen;
  if (streaming) {
    MulPairs<true>(a, b, pairs);
    _mm_sfence();  // order the streaming stores before anything the caller does next
  } else {
    MulPairs<false>(a, b, pairs);
  }
  if (len & 1) {
    size_t last = static_cast<size_t>(pairs) * 32;
    __m128d r = ComplexMulSse3(_mm_loadu_pd(reinterpret_cast<const double*>(a + last)),
                               _mm_loadu_pd(reinterpret_cast<const double*>(b + last)));
    _mm_storeu_pd(reinterpret_cast<double*>(b + last), r);
  }
}

inline void ConjKernelSse3(void* srcDst, int32_t len) {
  const __m128i imaginarySign = _mm_set_epi32(static_cast<int>(0x80000000u), 0, 0, 0);
  uint8_t* p = static_cast<uint8_t*>(srcDst);
  int32_t i = 0;
  for (; len - i >= 4; i += 4, p += 64) {
    _mm_prefetch(reinterpret_cast<const char*>(p) + 256, _MM_HINT_T0);
    for (int j = 0; j < 4; ++j) {
      __m128i* e = reinterpret_cast<__m128i*>(p + 16 * j);
      _mm_storeu_si128(e, _mm_xor_si128(_mm_loadu_si128(e), imaginarySign));
    }
  }
  for (; i < len; ++i, p += 16) {
    __m128i* e = reinterpret_cast<__m128i*>(p);
    _mm_storeu_si128(e, _mm_xor_si128(_mm_loadu_si128(e), imaginarySign));
  }
}

}  // namespace
}  // namespace wuperf
