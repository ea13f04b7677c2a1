// The real double-precision FFT in the five processor variants: the set-up
// entries (create, size query, release), the size rule and the building of
// a context, the forward and inverse drivers and exported in-place entries,
// the routines of the half-size complex transform in both directions, the
// post-pass and the inverse pre-pass, and the fixed kernels of orders 0 to 5.
//
// The inverse unfolds element 0 and 1 into Z'[0] = (R0 + R(N/2), R0 -
// R(N/2)), folds the rest by the pre-pass into Z' = twice the half-size
// spectrum of z[n] = x[2n] + i x[2n+1], and runs the unnormalised inverse
// complex transform on it: point j then holds samples 2j and 2j + 1.
//
// A real transform of N = 2^m values reads the array as M = N/2 complex
// values, transforms them (half-order h = m - 1) and folds the result into
// the packed spectrum: element 0 = X[0], element 1 = X[N/2], elements 2k and
// 2k + 1 = Re and Im X[k]. Entries check their arguments in the documented
// order; the routines below them check nothing (except the scale routine).
//
// A context records the variant that built it; a size query, transform or
// release reached through another variant hands the call to the recorded
// variant's entry, so the tables always meet the code that can read them.
#pragma once

#include <cstdint>

#include "dsp/FftContext.h"
#include "dsp/WuPerfStatus.h"

namespace wuperf {

// Fixed kernels: real transforms of orders 0..5 (columns 0..11) and complex
// DFTs of 2^o complex doubles (columns 12..23). Unscaled members take
// (source, destination), scaled ones also the factor; source and
// destination may be the same array.
using FixedKernel = void (*)(const double* src, double* dst);
using FixedKernelScaled = void (*)(const double* src, double* dst, double factor);
// One table slot: the member of its column's kind, the other null.
struct FixedKernelSlot {
  FixedKernel plain;         // columns 0..5 and 12..17
  FixedKernelScaled scaled;  // columns 6..11 and 18..23
};
constexpr int kFixedKernelColumns = 24;
// Rows V4, V3, V2, V1, V0. Every slot is filled; of the complex columns
// only variant 0's 17 and 23 are called by a driver (its order-6
// transforms). Columns 0, 1, 6, 7, 12, 13, 18 and 19 are the same members
// in both tables.
extern const FixedKernelSlot WuPerfFFTFwd64f_FixedKernels[5][kFixedKernelColumns];
extern const FixedKernelSlot WuPerfFFTInv64f_FixedKernels[5][kFixedKernelColumns];

// Row of a variant in the fixed-kernel tables.
constexpr int FixedKernelRow(int variant) { return 4 - variant; }

}  // namespace wuperf

// Members every variant has.
#define WU_FFT_REAL_COMMON(V)                                                                  \
  /* Exports' entries. */                                                                      \
  WuPerfStatus WuPerfsFFTInitAlloc_R_64f_##V(void** ctx, int32_t order, int32_t flag,         \
                                             WuPerfHintAlgorithm hint);                        \
  WuPerfStatus WuPerfsFFTGetBufSize_R_64f_##V(void* ctx, int32_t* size);                      \
  WuPerfStatus WuPerfsFFTFree_R_64f_##V(void* ctx);                                           \
  WuPerfStatus WuPerfsFFTFwd_RToPerm_64f_I_##V(double* srcDst, const void* ctx,               \
                                               uint8_t* work);                                 \
  WuPerfStatus WuPerfsFFTInv_PermToR_64f_I_##V(double* srcDst, const void* ctx,               \
                                               uint8_t* work);                                 \
  /* Size rule and building. */                                                                \
  WuPerfStatus WuPerfFFT64f_GetSizes_##V(int32_t order, int32_t flag,                          \
                                         WuPerfHintAlgorithm hint, int32_t* specBytes,         \
                                         int32_t* initBytes, int32_t* workBytes);              \
  WuPerfStatus WuPerfFFT64f_InitSpec_##V(wuperf::FftSpecReal** ctx, int32_t order,           \
                                         int32_t flag, WuPerfHintAlgorithm hint,               \
                                         uint8_t* specBlock, uint8_t* initBuffer);             \
  /* Forward driver: out of place when src != dst. */                                          \
  WuPerfStatus WuPerfFFTFwd_RToPerm64f_##V(const double* src, double* dst, const void* ctx,   \
                                           uint8_t* work);                                     \
  /* Inverse driver: out of place when src != dst. */                                          \
  WuPerfStatus WuPerfFFTInv_PermToR64f_##V(const double* src, double* dst, const void* ctx,   \
                                           uint8_t* work);                                     \
  /* Packed spectrum (src) to points 1 .. count - 1 of the folded spectrum (dst). */           \
  void WuPerfFFTInv64f_RealPrePass_##V(const double* src, double* dst, int32_t count,          \
                                       int32_t sign, const double* table);                     \
  /* Inverse half-size transform above the split limit, scaling included. */                  \
  void WuPerfFFTInv64f_Large_##V(const wuperf::FftSpecReal* ctx, const double* src,           \
                                 double* dst, int32_t h, uint8_t* work);                       \
  void WuPerfFFTInv64f_SplitRecurse_##V(const wuperf::FftSpecReal* ctx, double* data,         \
                                        int32_t order, int32_t depth, uint8_t* work);          \
  void WuPerfFFTInv64f_SplitTwiddlePass_##V(double* data, int32_t total, int32_t block,        \
                                            const double* quarter, int32_t chunk);             \
  /* Roles of the half-size complex transform (counts in complex points). */                  \
  void WuPerfFFT64f_BitRevCopy_##V(const double* src, double* dst, int32_t count,              \
                                   const uint32_t* table);                                     \
  /* -8 null, -6 n <= 0; factor 1: nothing; 0: zero-fill; else multiply. */                    \
  WuPerfStatus WuPerfFFT64f_Scale_##V(double factor, double* data, int32_t n);                 \
  void WuPerfFFTFwd64f_Large_##V(const wuperf::FftSpecReal* ctx, const double* src,           \
                                 double* dst, int32_t h, uint8_t* work);                       \
  void WuPerfFFTFwd64f_SplitRecurse_##V(const wuperf::FftSpecReal* ctx, double* data,         \
                                        int32_t order, int32_t depth, uint8_t* work);          \
  /* Joins two transformed blocks of `block` points into one of `total`. */                    \
  void WuPerfFFTFwd64f_SplitTwiddlePass_##V(double* data, int32_t total, int32_t block,        \
                                            const double* quarter, int32_t chunk);             \
  void WuPerfFFTFwd64f_RealPostPass_##V(double* data, int32_t count, int32_t direction,        \
                                        const double* table);                                  \
  /* Fixed kernels. */                                                                         \
  void WuPerfFFT64f_RealOrder0_##V(const double* src, double* dst);                            \
  void WuPerfFFT64f_RealOrder1_##V(const double* src, double* dst);                            \
  void WuPerfFFTFwd64f_RealOrder2_##V(const double* src, double* dst);                         \
  void WuPerfFFTFwd64f_RealOrder3_##V(const double* src, double* dst);                         \
  void WuPerfFFTFwd64f_RealOrder4_##V(const double* src, double* dst);                         \
  void WuPerfFFTFwd64f_RealOrder5_##V(const double* src, double* dst);                         \
  void WuPerfFFT64f_RealOrder0Scaled_##V(const double* src, double* dst, double factor);       \
  void WuPerfFFT64f_RealOrder1Scaled_##V(const double* src, double* dst, double factor);       \
  void WuPerfFFTFwd64f_RealOrder2Scaled_##V(const double* src, double* dst, double factor);    \
  void WuPerfFFTFwd64f_RealOrder3Scaled_##V(const double* src, double* dst, double factor);    \
  void WuPerfFFTFwd64f_RealOrder4Scaled_##V(const double* src, double* dst, double factor);    \
  void WuPerfFFTFwd64f_RealOrder5Scaled_##V(const double* src, double* dst, double factor);    \
  void WuPerfFFTInv64f_RealOrder2_##V(const double* src, double* dst);                         \
  void WuPerfFFTInv64f_RealOrder3_##V(const double* src, double* dst);                         \
  void WuPerfFFTInv64f_RealOrder4_##V(const double* src, double* dst);                         \
  void WuPerfFFTInv64f_RealOrder5_##V(const double* src, double* dst);                         \
  void WuPerfFFTInv64f_RealOrder2Scaled_##V(const double* src, double* dst, double factor);    \
  void WuPerfFFTInv64f_RealOrder3Scaled_##V(const double* src, double* dst, double factor);    \
  void WuPerfFFTInv64f_RealOrder4Scaled_##V(const double* src, double* dst, double factor);    \
  void WuPerfFFTInv64f_RealOrder5Scaled_##V(const double* src, double* dst, double factor);

// Complex fixed kernels of every variant (columns 12 to 23): DFTs of 2^o
// interleaved complex doubles, natural order in and out; orders 0 and 1
// serve both directions.
#define WU_FFT_REAL_COMPLEX_FIXED(V)                                                           \
  void WuPerfFFT64fc_Order0_##V(const double* src, double* dst);                               \
  void WuPerfFFT64fc_Order1_##V(const double* src, double* dst);                               \
  void WuPerfFFTFwd64fc_Order2_##V(const double* src, double* dst);                            \
  void WuPerfFFTFwd64fc_Order3_##V(const double* src, double* dst);                            \
  void WuPerfFFTFwd64fc_Order4_##V(const double* src, double* dst);                            \
  void WuPerfFFTFwd64fc_Order5_##V(const double* src, double* dst);                            \
  void WuPerfFFT64fc_Order0Scaled_##V(const double* src, double* dst, double factor);          \
  void WuPerfFFT64fc_Order1Scaled_##V(const double* src, double* dst, double factor);          \
  void WuPerfFFTFwd64fc_Order2Scaled_##V(const double* src, double* dst, double factor);       \
  void WuPerfFFTFwd64fc_Order3Scaled_##V(const double* src, double* dst, double factor);       \
  void WuPerfFFTFwd64fc_Order4Scaled_##V(const double* src, double* dst, double factor);       \
  void WuPerfFFTFwd64fc_Order5Scaled_##V(const double* src, double* dst, double factor);       \
  void WuPerfFFTInv64fc_Order2_##V(const double* src, double* dst);                            \
  void WuPerfFFTInv64fc_Order3_##V(const double* src, double* dst);                            \
  void WuPerfFFTInv64fc_Order4_##V(const double* src, double* dst);                            \
  void WuPerfFFTInv64fc_Order5_##V(const double* src, double* dst);                            \
  void WuPerfFFTInv64fc_Order2Scaled_##V(const double* src, double* dst, double factor);       \
  void WuPerfFFTInv64fc_Order3Scaled_##V(const double* src, double* dst, double factor);       \
  void WuPerfFFTInv64fc_Order4Scaled_##V(const double* src, double* dst, double factor);       \
  void WuPerfFFTInv64fc_Order5Scaled_##V(const double* src, double* dst, double factor);

// Members of the SIMD variants 1 to 4 (pair layout inside the stages).
#define WU_FFT_REAL_SIMD(V)                                                                    \
  /* In-place bit reversal of count complex doubles with the index table. */                \
  void WuPerfFFT64f_BitRevInPlace_##V(double* data, int32_t count, const uint32_t* table);    \
  /* Whole DFT of count = 32 .. 16384 points, bit reversal fused in. */                        \
  void WuPerfFFTFwd64f_Direct_##V(const double* src, double* dst, int32_t count,               \
                                  const double* twiddles, const uint32_t* table, uint8_t* work); \
  /* The same for the unnormalised inverse. */                                                 \
  void WuPerfFFTInv64f_Direct_##V(const double* src, double* dst, int32_t count,               \
                                  const double* twiddles, const uint32_t* table, uint8_t* work); \
  /* All stages on bit-reversed data in place; whole 1: interleaved out, 0: pair layout.      \
     Data off the 16-byte grid runs in work (16 count bytes) when work is not null. */        \
  void WuPerfFFTFwd64f_Passes_##V(double* data, int32_t count, const double* twiddles,         \
                                  uint8_t* work, int32_t whole);                                \
  /* The same for the unnormalised inverse (conjugate factors and rotations). */               \
  void WuPerfFFTInv64f_Passes_##V(double* data, int32_t count, const double* twiddles,         \
                                  uint8_t* work, int32_t whole);

namespace wuperf {
namespace v0 {
WU_FFT_REAL_COMMON(V0)
// Columns 17 and 23 (the 32-point members) are the order-6 transforms'
// complex DFTs in both directions.
WU_FFT_REAL_COMPLEX_FIXED(V0)
// All stages of a count-point DFT on bit-reversed data (count 4 .. 2048),
// six-value radix records.
void WuPerfFFTFwd64f_Passes_V0(double* data, int32_t count, const double* twiddles);
// The same stages for the unnormalised inverse (conjugate factors).
void WuPerfFFTInv64f_Passes_V0(double* data, int32_t count, const double* twiddles);
}  // namespace v0
namespace v1 {
WU_FFT_REAL_COMMON(V1)
WU_FFT_REAL_SIMD(V1)
WU_FFT_REAL_COMPLEX_FIXED(V1)
}  // namespace v1
namespace v2 {
WU_FFT_REAL_COMMON(V2)
WU_FFT_REAL_SIMD(V2)
WU_FFT_REAL_COMPLEX_FIXED(V2)
}  // namespace v2
namespace v3 {
WU_FFT_REAL_COMMON(V3)
WU_FFT_REAL_SIMD(V3)
WU_FFT_REAL_COMPLEX_FIXED(V3)
}  // namespace v3
namespace v4 {
WU_FFT_REAL_COMMON(V4)
WU_FFT_REAL_SIMD(V4)
WU_FFT_REAL_COMPLEX_FIXED(V4)
}  // namespace v4
}  // namespace wuperf
