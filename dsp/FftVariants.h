// The FFT foundation members of the five processor variants: zero and copy
// kernels with their validating entries, scale kernels, the table builders
// and size walks of both FFT families, and the block kernels of the split
// transforms. The suffix names the variant (_V4 newest .. _V0 generic); a
// variant's transforms call only members of their own variant.
//
// Kernels check nothing and return no status; the validating entries
// (WuPerfZero8u, WuPerfZero32f, WuPerfZero64f, WuPerfCopy8u) check their
// pointers first, then the count. Table builders write at `dst` and return
// the address just past what they reserved, rounded up to 32 bytes.
#pragma once

#include <cstdint>

#include "dsp/FftContext.h"
#include "dsp/WuPerfStatus.h"

// Members every variant has.
#define WU_FFT_FOUNDATION_COMMON(V)                                                          \
  /* Zeroes n >= 1 bytes; returns dst. */                                                    \
  void* WuPerfZero8u_Kernel_##V(void* dst, int32_t n);                                       \
  /* -8 null, -6 n <= 0, else zero n bytes, n floats or n doubles and 0. */                  \
  WuPerfStatus WuPerfZero8u_##V(void* dst, int32_t n);                                       \
  WuPerfStatus WuPerfZero32f_##V(float* dst, int32_t n);                                     \
  WuPerfStatus WuPerfZero64f_##V(double* dst, int32_t n);                                    \
  /* Complex family: quarter-wave sine table of an order (floats). */                        \
  float* WuPerfFFT32fc_BaseTwiddle_##V(int32_t order, float* dst);                           \
  /* Bit-reversal table of an order (V0: the pair form). */                                  \
  uint32_t* WuPerfFFT_BitRevTable_##V(int32_t order, uint32_t* dst);                         \
  /* Radix twiddle table of an order from the sine table s of order a. */                    \
  float* WuPerfFFT32fc_RadixTwiddle_##V(int32_t order, const float* s, int32_t a,            \
                                         float* dst);                                        \
  /* The tables of an order above the direct limit, into ctx and from dst. */               \
  uint8_t* WuPerfFFT32fc_InitLarge_##V(wuperf::FftSpec* ctx, int32_t order, const float* s, \
                                       int32_t a, uint8_t* dst, uint8_t* scratch);           \
  /* One split level at a depth; returns the end of its level table. */                      \
  uint8_t* WuPerfFFT32fc_InitLevel_##V(wuperf::FftSpec* ctx, int32_t order, const float* s, \
                                       int32_t a, int32_t depth, uint8_t* dst,               \
                                       uint8_t* scratch);                                    \
  /* Spec, init and work bytes that an order above the direct limit adds. */                 \
  void WuPerfFFT32fc_GetSizesLarge_##V(int32_t order, int32_t* specBytes,                    \
                                       int32_t* initBytes, int32_t* workBytes);              \
  void WuPerfFFT32fc_GetSizesLevel_##V(int32_t order, int64_t* specBytes,                    \
                                       int64_t* initBytes, int64_t* workBytes);              \
  /* Real family: quarter-wave sine table of an order (doubles). */                          \
  double* WuPerfFFT64f_BaseTwiddle_##V(int32_t order, double* dst);                          \
  /* Radix twiddle table of a half-order h. */                                               \
  double* WuPerfFFT64f_RadixTwiddle_##V(int32_t h, const double* s, int32_t a, double* dst); \
  /* Forward post-pass and inverse pre-pass tables of order n. */                            \
  double* WuPerfFFTFwd64f_RealTwiddle_##V(int32_t n, const double* s, int32_t a,             \
                                          double* dst);                                      \
  double* WuPerfFFTInv64f_RealTwiddle_##V(int32_t n, const double* s, int32_t a,             \
                                          double* dst);                                      \
  /* The tables of a half-order above the direct limit. */                                   \
  uint8_t* WuPerfFFT64f_InitLarge_##V(wuperf::FftSpecReal* ctx, int32_t h, const double* s, \
                                      int32_t a, uint8_t* dst, uint8_t* scratch);            \
  uint8_t* WuPerfFFT64f_InitLevel_##V(wuperf::FftSpecReal* ctx, int32_t order,              \
                                      const double* s, int32_t a, int32_t depth,             \
                                      uint8_t* dst, uint8_t* scratch);                       \
  void WuPerfFFT64f_GetSizesLarge_##V(int32_t h, int32_t* specBytes, int32_t* initBytes,     \
                                      int32_t* workBytes);                                   \
  void WuPerfFFT64f_GetSizesLevel_##V(int32_t order, int64_t* specBytes,                     \
                                      int64_t* initBytes, int64_t* workBytes);

// Members of the SIMD variants 1 to 4.
#define WU_FFT_FOUNDATION_SIMD(V)                                                             \
  /* Copies n >= 1 bytes between buffers that do not overlap; returns dst. */                 \
  void* WuPerfCopy8u_Kernel_##V(const void* src, void* dst, int32_t n);                       \
  /* -8 either pointer null, -6 n <= 0, else the copy and 0. */                               \
  WuPerfStatus WuPerfCopy8u_##V(const void* src, void* dst, int32_t n);                       \
  /* data[i] *= factor for i < n. */                                                          \
  void WuPerfScale32f_Kernel_##V(float factor, float* data, int32_t n);                       \
  void WuPerfScale64f_Kernel_##V(double factor, double* data, int32_t n);                     \
  /* Bit-reversal pair table; two-level table with tile bits b. */                            \
  uint32_t* WuPerfFFT_BitRevPairs_##V(int32_t order, uint32_t* dst);                          \
  uint32_t* WuPerfFFT_BitRevTable2_##V(int32_t order, int32_t b, uint32_t* dst);              \
  /* Complex floats: rows to a block and back, block bit reversal, passes on */               \
  /* records of 4 real parts then 4 imaginary parts. Counts in points. */                     \
  void WuPerfFFT32fc_BlockGather_##V(const void* src, void* dst, int32_t stride,              \
                                     int32_t rows, int32_t len);                              \
  void WuPerfFFT32fc_BlockScatter_##V(void* dst, const void* src, int32_t stride,             \
                                      int32_t rows, int32_t len, int32_t mode);               \
  void WuPerfFFT32fc_BlockBitRev_##V(void* data, int32_t count, const uint32_t* pairs);       \
  void WuPerfFFTFwd32fc_Radix4Pass_##V(const float* src, float* dst, int32_t quarter,         \
                                       int32_t groups, const float* twiddles);                \
  void WuPerfFFTInv32fc_Radix4Pass_##V(const float* src, float* dst, int32_t quarter,         \
                                       int32_t groups, const float* twiddles);                \
  void WuPerfFFTFwd32fc_Radix2Pass_##V(const float* src, float* dst, int32_t half,            \
                                       int32_t groups, const float* twiddles);                \
  void WuPerfFFTInv32fc_Radix2Pass_##V(const float* src, float* dst, int32_t half,            \
                                       int32_t groups, const float* twiddles);                \
  /* Complex doubles: the same in the pair layout. */                                         \
  void WuPerfFFT64f_BlockGather_##V(const double* src, double* dst, int32_t stride,           \
                                    int32_t rows, int32_t len);                               \
  void WuPerfFFT64f_BlockScatter_##V(double* dst, const double* src, int32_t stride,          \
                                     int32_t rows, int32_t len, int32_t mode);                \
  void WuPerfFFT64f_BlockBitRev_##V(double* data, int32_t count, const uint32_t* pairs);      \
  void WuPerfFFTFwd64f_Radix4Pass_##V(const double* src, double* dst, int32_t quarter,        \
                                      int32_t groups, const double* twiddles);                \
  void WuPerfFFTInv64f_Radix4Pass_##V(const double* src, double* dst, int32_t quarter,        \
                                      int32_t groups, const double* twiddles);                \
  void WuPerfFFTFwd64f_Radix2Pass_##V(const double* src, double* dst, int32_t half,           \
                                      int32_t groups, const double* twiddles);                \
  void WuPerfFFTInv64f_Radix2Pass_##V(const double* src, double* dst, int32_t half,           \
                                      int32_t groups, const double* twiddles);

namespace wuperf {
namespace v0 {
WU_FFT_FOUNDATION_COMMON(V0)
// Permutes count interleaved complex floats in place into bit-reversed
// order with the pair table of order log2(count); counts below 4: nothing.
void WuPerfFFT32fc_BitRevInPlace_V0(void* data, int32_t count, const uint32_t* pairs);
// The same for count complex doubles.
void WuPerfFFT64f_BitRevInPlace_V0(double* data, int32_t count, const uint32_t* pairs);
}  // namespace v0
namespace v1 {
WU_FFT_FOUNDATION_COMMON(V1)
WU_FFT_FOUNDATION_SIMD(V1)
}  // namespace v1
namespace v2 {
WU_FFT_FOUNDATION_COMMON(V2)
WU_FFT_FOUNDATION_SIMD(V2)
}  // namespace v2
namespace v3 {
WU_FFT_FOUNDATION_COMMON(V3)
WU_FFT_FOUNDATION_SIMD(V3)
}  // namespace v3
namespace v4 {
WU_FFT_FOUNDATION_COMMON(V4)
WU_FFT_FOUNDATION_SIMD(V4)
}  // namespace v4
}  // namespace wuperf
