// In-place scale kernel bodies of variants 1 to 4 (SSE2 intrinsics): every
// value becomes the single product value * factor, whichever path handles it.
// Long vectors also prefetch ahead with the non-temporal hint, which changes
// no result. The prefetch threshold is the variant's template parameter.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace wuperf {
namespace {

// Floats: a plain loop below 11 values; else 8 values a step, unaligned when
// the data is not on a 4-byte boundary, otherwise after a scalar head up to a
// 16-byte boundary; then the rest one by one.
template <int32_t kPrefetchAbove>
void Scale32fSse2(float factor, float* data, int32_t n) {
  int32_t i = 0;
  if (n >= 11) {
    const __m128 f = _mm_set1_ps(factor);
    bool aligned = (reinterpret_cast<uintptr_t>(data) & 3) == 0;
    if (aligned)
      for (; (reinterpret_cast<uintptr_t>(data + i) & 15) != 0; ++i) data[i] *= factor;
    int32_t blocks = (n - i) / 8;
    bool prefetch = blocks * 8 > kPrefetchAbove;
    for (int32_t b = 0; b < blocks; ++b, i += 8) {
      if (prefetch) _mm_prefetch(reinterpret_cast<const char*>(data + i) + 64, _MM_HINT_NTA);
      if (aligned) {
        _mm_store_ps(data + i, _mm_mul_ps(_mm_load_ps(data + i), f));
        _mm_store_ps(data + i + 4, _mm_mul_ps(_mm_load_ps(data + i + 4), f));
      } else {
        _mm_storeu_ps(data + i, _mm_mul_ps(_mm_loadu_ps(data + i), f));
        _mm_storeu_ps(data + i + 4, _mm_mul_ps(_mm_loadu_ps(data + i + 4), f));
      }
    }
  }
  for (; i < n; ++i) data[i] *= factor;
}

// Doubles: a plain loop below 5 values; else 4 values a step, unaligned when
// the data is not on an 8-byte boundary, aligned after one scalar value when
// it is 8 but not 16 bytes aligned; then the rest one by one.
template <int32_t kPrefetchAbove>
void Scale64fSse2(double factor, double* data, int32_t n) {
  int32_t i = 0;
  if (n >= 5) {
    const __m128d f = _mm_set1_pd(factor);
    uintptr_t address = reinterpret_cast<uintptr_t>(data);
    bool aligned = (address & 7) == 0;
    if (aligned && (address & 15) != 0) data[i++] *= factor;
    int32_t blocks = (n - i) / 4;
    bool prefetch = blocks * 4 > kPrefetchAbove;
    for (int32_t b = 0; b < blocks; ++b, i += 4) {
      if (prefetch) _mm_prefetch(reinterpret_cast<const char*>(data + i) + 32, _MM_HINT_NTA);
      if (aligned) {
        _mm_store_pd(data + i, _mm_mul_pd(_mm_load_pd(data + i), f));
        _mm_store_pd(data + i + 2, _mm_mul_pd(_mm_load_pd(data + i + 2), f));
      } else {
        _mm_storeu_pd(data + i, _mm_mul_pd(_mm_loadu_pd(data + i), f));
        _mm_storeu_pd(data + i + 2, _mm_mul_pd(_mm_loadu_pd(data + i + 2), f));
      }
    }
  }
  for (; i < n; ++i) data[i] *= factor;
}

}  // namespace
}  // namespace wuperf
