// Uniform random kernel body of the SIMD variants (SSE2 and up).
//
// Two values per step: the two congruential words travel in two vector
// lanes and advance together by the two-step multiplier and increment; the
// two lag steps run one after the other (the borrow of the first feeds the
// second); both sums are converted, scaled and offset in double precision,
// narrowed to single and stored as one 8-byte pair. An odd length ends with
// one more value on its own. The integer sequence, the values and the seed
// word written back are those of the scalar variant.
//
// Internal linkage: each variant file gets its own copy, compiled for its
// own instruction set (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "dsp/RandCore.h"

namespace wuperf {
namespace {

inline void RandUniformPairs(float* dst, int32_t len, float low, float high, uint32_t* seed) {
  constexpr uint32_t kWord1 = NextWord(kRandFirstWord);  // w(1)
  constexpr uint32_t kWord2 = NextWord(kWord1);          // w(2)
  const __m128i multiplier = _mm_set_epi32(0, static_cast<int>(kRandTwoStepMultiplier), 0,
                                           static_cast<int>(kRandTwoStepMultiplier));
  const __m128i increment = _mm_set_epi32(0, static_cast<int>(kRandTwoStepIncrement), 0,
                                          static_cast<int>(kRandTwoStepIncrement));
  LagState lags = SeedLags(*seed);
  RandRange range = MakeRandRange(low, high);
  const __m128d mid = _mm_set1_pd(range.mid);
  const __m128d scale = _mm_set1_pd(range.scale);
  // Congruential words in lanes 0 and 2; lanes 1 and 3 are ignored.
  __m128i words = _mm_set_epi32(0, static_cast<int>(kWord2), 0, static_cast<int>(kWord1));
  uint32_t x = 0;
  int32_t k = 0;
  for (; len - k >= 2; k += 2) {
    uint32_t first = NextLag(&lags);
    x = NextLag(&lags);
    __m128i lagPair = _mm_set_epi32(0, static_cast<int>(x), 0, static_cast<int>(first));
    __m128i sums = _mm_shuffle_epi32(_mm_add_epi32(lagPair, words), _MM_SHUFFLE(3, 1, 2, 0));
    __m128d values = _mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(sums), scale), mid);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + k), _mm_castps_si128(_mm_cvtpd_ps(values)));
    words = _mm_add_epi32(_mm_mul_epu32(words, multiplier), increment);
  }
  if (k < len) {
    x = NextLag(&lags);
    int32_t u = static_cast<int32_t>(x + static_cast<uint32_t>(_mm_cvtsi128_si32(words)));
    __m128d value = _mm_add_sd(_mm_mul_sd(_mm_cvtsi32_sd(_mm_setzero_pd(), u), scale), mid);
    _mm_store_ss(dst + k, _mm_cvtsd_ss(_mm_setzero_ps(), value));
  }
  *seed = x;
}

}  // namespace
}  // namespace wuperf
