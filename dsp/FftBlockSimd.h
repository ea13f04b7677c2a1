// Block kernels of the split FFTs, variants 1 to 4 (SSE2 intrinsics): row
// gather and scatter between a strided array and a contiguous work block,
// block bit reversal, and single radix-4 and radix-2 passes in forward and
// inverse (conjugate) form, for complex floats and complex doubles.
//
// Complex floats in a pass use the record layout: four points as one 32-byte
// record re0..re3, im0..im3. Complex doubles use the pair layout: two points
// as Re a, Re b, Im a, Im b. A product P*W takes both products of each part
// rounded, then their difference or sum (no fused operations).
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "dsp/FftBitRevWalk.h"

namespace wuperf {
namespace {

// ---- Gather, scatter, bit reversal -------------------------------------------------

// Copies `rows` rows of rowBytes bytes from src + r*strideBytes to the
// block (rows back to back), 16 bytes a move.
inline void GatherRows(const uint8_t* src, uint8_t* block, size_t strideBytes, int32_t rows,
                       size_t rowBytes) {
  for (int32_t r = 0; r < rows; ++r, src += strideBytes)
    for (size_t i = 0; i < rowBytes; i += 16, block += 16)
      _mm_store_si128(reinterpret_cast<__m128i*>(block),
                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
}

// The inverse of GatherRows; with `interleave`, each 32-byte unit of two
// 16-byte halves (lo, hi) is written as the lane-wise interleave of its
// halves' elements (floats: re/im records to points; doubles: pair layout
// to interleaved).
template <bool kFloatLanes>
void ScatterRows(uint8_t* dst, const uint8_t* block, size_t strideBytes, int32_t rows,
                 size_t rowBytes, bool interleave) {
  for (int32_t r = 0; r < rows; ++r, dst += strideBytes) {
    for (size_t i = 0; i < rowBytes; i += 32, block += 32) {
      __m128i lo = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
      __m128i hi = _mm_load_si128(reinterpret_cast<const __m128i*>(block + 16));
      if (interleave) {
        __m128i a = kFloatLanes ? _mm_unpacklo_epi32(lo, hi) : _mm_unpacklo_epi64(lo, hi);
        __m128i b = kFloatLanes ? _mm_unpackhi_epi32(lo, hi) : _mm_unpackhi_epi64(lo, hi);
        lo = a, hi = b;
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), lo);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 16), hi);
    }
  }
}

// Block bit reversal of 8-byte points (complex floats).
inline void BlockBitRev8(uint8_t* p, int32_t count, const uint32_t* pairs) {
  WalkBitRevPairs(count, pairs, [p](uint32_t i, uint32_t j) {
    __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 8 * size_t{i}));
    __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 8 * size_t{j}));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 8 * size_t{i}), b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 8 * size_t{j}), a);
  });
}

// Block bit reversal of 16-byte points (complex doubles).
inline void BlockBitRev16(uint8_t* p, int32_t count, const uint32_t* pairs) {
  WalkBitRevPairs(count, pairs, [p](uint32_t i, uint32_t j) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * size_t{i}));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * size_t{j}));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * size_t{i}), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * size_t{j}), a);
  });
}

// ---- Complex float passes (record layout) --------------------------------------------

// Four complex values as real and imaginary lanes.
struct Lanes4f {
  __m128 re;  // real parts
  __m128 im;  // imaginary parts
};
inline Lanes4f LoadRecord(const float* p) { return {_mm_load_ps(p), _mm_load_ps(p + 4)}; }
inline void StoreRecord(float* p, Lanes4f v) {
  _mm_store_ps(p, v.re);
  _mm_store_ps(p + 4, v.im);
}
// P * W, or P * conj(W) when kInverse.
template <bool kInverse>
Lanes4f MulTwiddle(Lanes4f p, __m128 wr, __m128 wi) {
  __m128 rr = _mm_mul_ps(p.re, wr), ii = _mm_mul_ps(p.im, wi);
  __m128 ir = _mm_mul_ps(p.im, wr), ri = _mm_mul_ps(p.re, wi);
  if (kInverse) return {_mm_add_ps(rr, ii), _mm_sub_ps(ir, ri)};
  return {_mm_sub_ps(rr, ii), _mm_add_ps(ir, ri)};
}
inline Lanes4f Add(Lanes4f a, Lanes4f b) { return {_mm_add_ps(a.re, b.re), _mm_add_ps(a.im, b.im)}; }
inline Lanes4f Sub(Lanes4f a, Lanes4f b) { return {_mm_sub_ps(a.re, b.re), _mm_sub_ps(a.im, b.im)}; }
// d1 - i*d2 (kMinus) or d1 + i*d2.
template <bool kMinus>
Lanes4f RotateAdd(Lanes4f d1, Lanes4f d2) {
  if (kMinus) return {_mm_add_ps(d1.re, d2.im), _mm_sub_ps(d1.im, d2.re)};
  return {_mm_sub_ps(d1.re, d2.im), _mm_add_ps(d1.im, d2.re)};
}

// Where a float pass writes: records on 16-byte boundaries, records
// anywhere, or interleaved points anywhere.
enum class PassOut { kRecords, kRecordsUnaligned, kPoints };

template <PassOut kOut>
inline void StoreOut(float* p, Lanes4f v) {
  if constexpr (kOut == PassOut::kRecords) {
    StoreRecord(p, v);
  } else if constexpr (kOut == PassOut::kRecordsUnaligned) {
    _mm_storeu_ps(p, v.re);
    _mm_storeu_ps(p + 4, v.im);
  } else {
    _mm_storeu_ps(p, _mm_unpacklo_ps(v.re, v.im));
    _mm_storeu_ps(p + 4, _mm_unpackhi_ps(v.re, v.im));
  }
}

// One radix-4 pass over `groups` groups of 4 * quarter points from the
// records at src: the quarter at 2f carries the angle-k twiddle, the quarter
// at f the angle-2k twiddle, the one at 3f the angle-3k twiddle;
// X[k] = a + b + c + d, X[k + s] = (a - b) - i(c - d) (inverse + i),
// X[k + 2s] = (a + b) - (c + d), X[k + 3s] = (a - b) + i(c - d).
template <bool kInverse, PassOut kOut = PassOut::kRecords>
void Radix4Pass32fc(const float* src, float* dst, size_t quarter, size_t groups,
                    const float* tw) {
  const size_t f = 2 * quarter;  // floats per quarter
  for (size_t g = 0; g < groups; ++g, src += 4 * f, dst += 4 * f) {
    const float* w = tw;
    for (size_t r = 0; r < f; r += 8, w += 24) {
      Lanes4f p0 = LoadRecord(src + r), p1 = LoadRecord(src + f + r);
      Lanes4f p2 = LoadRecord(src + 2 * f + r), p3 = LoadRecord(src + 3 * f + r);
      Lanes4f y2 = MulTwiddle<kInverse>(p2, _mm_load_ps(w), _mm_load_ps(w + 4));
      Lanes4f y1 = MulTwiddle<kInverse>(p1, _mm_load_ps(w + 8), _mm_load_ps(w + 12));
      Lanes4f y3 = MulTwiddle<kInverse>(p3, _mm_load_ps(w + 16), _mm_load_ps(w + 20));
      Lanes4f s1 = Add(p0, y1), s2 = Add(y2, y3), d1 = Sub(p0, y1), d2 = Sub(y2, y3);
      StoreOut<kOut>(dst + r, Add(s2, s1));
      StoreOut<kOut>(dst + 2 * f + r, Sub(s1, s2));
      StoreOut<kOut>(dst + f + r, RotateAdd<!kInverse>(d1, d2));
      StoreOut<kOut>(dst + 3 * f + r, RotateAdd<kInverse>(d1, d2));
    }
  }
}

// One radix-2 pass over `groups` groups of 2 * half points: X[k] = a + W^k b,
// X[k + half] = a - W^k b.
template <bool kInverse, PassOut kOut = PassOut::kRecords>
void Radix2Pass32fc(const float* src, float* dst, size_t half, size_t groups, const float* tw) {
  const size_t f = 2 * half;
  for (size_t g = 0; g < groups; ++g, src += 2 * f, dst += 2 * f) {
    const float* w = tw;
    for (size_t r = 0; r < f; r += 8, w += 8) {
      Lanes4f p0 = LoadRecord(src + r), p1 = LoadRecord(src + f + r);
      Lanes4f y = MulTwiddle<kInverse>(p1, _mm_load_ps(w), _mm_load_ps(w + 4));
      StoreOut<kOut>(dst + r, Add(p0, y));
      StoreOut<kOut>(dst + f + r, Sub(p0, y));
    }
  }
}

// ---- Complex double passes (pair layout) ----------------------------------------------

struct Lanes2d {
  __m128d re;  // Re a, Re b
  __m128d im;  // Im a, Im b
};
inline Lanes2d LoadPair(const double* p) { return {_mm_load_pd(p), _mm_load_pd(p + 2)}; }
inline void StorePair(double* p, Lanes2d v) {
  _mm_store_pd(p, v.re);
  _mm_store_pd(p + 2, v.im);
}
template <bool kInverse>
Lanes2d MulTwiddle(Lanes2d z, __m128d c, __m128d s) {
  __m128d rc = _mm_mul_pd(z.re, c), is = _mm_mul_pd(z.im, s);
  __m128d ic = _mm_mul_pd(z.im, c), rs = _mm_mul_pd(z.re, s);
  if (kInverse) return {_mm_add_pd(rc, is), _mm_sub_pd(ic, rs)};
  return {_mm_sub_pd(rc, is), _mm_add_pd(ic, rs)};
}
inline Lanes2d Add(Lanes2d a, Lanes2d b) { return {_mm_add_pd(a.re, b.re), _mm_add_pd(a.im, b.im)}; }
inline Lanes2d Sub(Lanes2d a, Lanes2d b) { return {_mm_sub_pd(a.re, b.re), _mm_sub_pd(a.im, b.im)}; }
template <bool kMinus>
Lanes2d RotateAdd(Lanes2d u, Lanes2d q) {
  if (kMinus) return {_mm_add_pd(u.re, q.im), _mm_sub_pd(u.im, q.re)};
  return {_mm_sub_pd(u.re, q.im), _mm_add_pd(u.im, q.re)};
}

// One radix-4 pass over groups of 4L values; records of 12 doubles per two
// positions: F1, F2, F3 with F2 applied to the value at offset L and F1 to
// the value at 2L.
template <bool kInverse>
void Radix4Pass64f(const double* src, double* dst, int32_t quarter, int32_t groups,
                   const double* tw) {
  const size_t f = 2 * static_cast<size_t>(quarter);  // doubles per quarter
  for (int32_t g = 0; g < groups; ++g, src += 4 * f, dst += 4 * f) {
    const double* w = tw;
    for (size_t p = 0; p < f; p += 4, w += 12) {
      Lanes2d a0 = LoadPair(src + p), a1 = LoadPair(src + f + p);
      Lanes2d a2 = LoadPair(src + 2 * f + p), a3 = LoadPair(src + 3 * f + p);
      Lanes2d t1 = MulTwiddle<kInverse>(a1, _mm_load_pd(w + 4), _mm_load_pd(w + 6));
      Lanes2d t2 = MulTwiddle<kInverse>(a2, _mm_load_pd(w), _mm_load_pd(w + 2));
      Lanes2d t3 = MulTwiddle<kInverse>(a3, _mm_load_pd(w + 8), _mm_load_pd(w + 10));
      Lanes2d u0 = Add(a0, t1), u1 = Sub(a0, t1), q0 = Add(t2, t3), q1 = Sub(t2, t3);
      StorePair(dst + p, Add(u0, q0));
      StorePair(dst + 2 * f + p, Sub(u0, q0));
      StorePair(dst + f + p, RotateAdd<!kInverse>(u1, q1));
      StorePair(dst + 3 * f + p, RotateAdd<kInverse>(u1, q1));
    }
  }
}

// One radix-2 pass over groups of 2H values; one pair factor per two
// positions.
template <bool kInverse>
void Radix2Pass64f(const double* src, double* dst, int32_t half, int32_t groups,
                   const double* tw) {
  const size_t f = 2 * static_cast<size_t>(half);
  for (int32_t g = 0; g < groups; ++g, src += 2 * f, dst += 2 * f) {
    const double* w = tw;
    for (size_t p = 0; p < f; p += 4, w += 4) {
      Lanes2d a = LoadPair(src + p), z = LoadPair(src + f + p);
      Lanes2d t = MulTwiddle<kInverse>(z, _mm_load_pd(w), _mm_load_pd(w + 2));
      StorePair(dst + p, Add(a, t));
      StorePair(dst + f + p, Sub(a, t));
    }
  }
}

}  // namespace
}  // namespace wuperf

// The block kernels of SIMD variant V.
#define WU_DEFINE_FFT_BLOCK_KERNELS(V)                                                          \
  void WuPerfFFT32fc_BlockGather_##V(const void* src, void* dst, int32_t stride, int32_t rows,  \
                                     int32_t len) {                                             \
    GatherRows(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst),                    \
               8 * static_cast<size_t>(stride), rows, 8 * static_cast<size_t>(len));            \
  }                                                                                             \
  void WuPerfFFT32fc_BlockScatter_##V(void* dst, const void* src, int32_t stride, int32_t rows, \
                                      int32_t len, int32_t mode) {                              \
    ScatterRows<true>(static_cast<uint8_t*>(dst), static_cast<const uint8_t*>(src),             \
                      8 * static_cast<size_t>(stride), rows, 8 * static_cast<size_t>(len),      \
                      mode == 1);                                                               \
  }                                                                                             \
  void WuPerfFFT32fc_BlockBitRev_##V(void* data, int32_t count, const uint32_t* pairs) {        \
    BlockBitRev8(static_cast<uint8_t*>(data), count, pairs);                                    \
  }                                                                                             \
  void WuPerfFFTFwd32fc_Radix4Pass_##V(const float* src, float* dst, int32_t quarter,           \
                                       int32_t groups, const float* twiddles) {                 \
    Radix4Pass32fc<false>(src, dst, quarter, groups, twiddles);                                 \
  }                                                                                             \
  void WuPerfFFTInv32fc_Radix4Pass_##V(const float* src, float* dst, int32_t quarter,           \
                                       int32_t groups, const float* twiddles) {                 \
    Radix4Pass32fc<true>(src, dst, quarter, groups, twiddles);                                  \
  }                                                                                             \
  void WuPerfFFTFwd32fc_Radix2Pass_##V(const float* src, float* dst, int32_t half,              \
                                       int32_t groups, const float* twiddles) {                 \
    Radix2Pass32fc<false>(src, dst, half, groups, twiddles);                                    \
  }                                                                                             \
  void WuPerfFFTInv32fc_Radix2Pass_##V(const float* src, float* dst, int32_t half,              \
                                       int32_t groups, const float* twiddles) {                 \
    Radix2Pass32fc<true>(src, dst, half, groups, twiddles);                                     \
  }                                                                                             \
  void WuPerfFFT64f_BlockGather_##V(const double* src, double* dst, int32_t stride,             \
                                    int32_t rows, int32_t len) {                                \
    GatherRows(reinterpret_cast<const uint8_t*>(src), reinterpret_cast<uint8_t*>(dst),          \
               16 * static_cast<size_t>(stride), rows, 16 * static_cast<size_t>(len));          \
  }                                                                                             \
  void WuPerfFFT64f_BlockScatter_##V(double* dst, const double* src, int32_t stride,            \
                                     int32_t rows, int32_t len, int32_t mode) {                 \
    ScatterRows<false>(reinterpret_cast<uint8_t*>(dst), reinterpret_cast<const uint8_t*>(src),  \
                       16 * static_cast<size_t>(stride), rows, 16 * static_cast<size_t>(len),   \
                       mode == 1);                                                              \
  }                                                                                             \
  void WuPerfFFT64f_BlockBitRev_##V(double* data, int32_t count, const uint32_t* pairs) {       \
    BlockBitRev16(reinterpret_cast<uint8_t*>(data), count, pairs);                              \
  }                                                                                             \
  void WuPerfFFTFwd64f_Radix4Pass_##V(const double* src, double* dst, int32_t quarter,          \
                                      int32_t groups, const double* twiddles) {                 \
    Radix4Pass64f<false>(src, dst, quarter, groups, twiddles);                                  \
  }                                                                                             \
  void WuPerfFFTInv64f_Radix4Pass_##V(const double* src, double* dst, int32_t quarter,          \
                                      int32_t groups, const double* twiddles) {                 \
    Radix4Pass64f<true>(src, dst, quarter, groups, twiddles);                                   \
  }                                                                                             \
  void WuPerfFFTFwd64f_Radix2Pass_##V(const double* src, double* dst, int32_t half,             \
                                      int32_t groups, const double* twiddles) {                 \
    Radix2Pass64f<false>(src, dst, half, groups, twiddles);                                     \
  }                                                                                             \
  void WuPerfFFTInv64f_Radix2Pass_##V(const double* src, double* dst, int32_t half,             \
                                      int32_t groups, const double* twiddles) {                 \
    Radix2Pass64f<true>(src, dst, half, groups, twiddles);                                      \
  }
