// The complex single-precision FFT of the five processor variants: the
// context set-up (InitAlloc, GetBufSize, Free, the size rule and the
// building), the transform drivers, the bit reversal, radix passes, direct
// transform and scaling, the split transforms of large orders and the fixed
// kernels of orders 0 to 5. The suffix names the variant (_V4 newest .. _V0
// generic); a variant's routines call only members of their own variant.
//
// A context records the variant that built it. GetBufSize, both transforms
// and Free check their arguments, then hand the call, arguments unchanged,
// to the entry of that variant when it is not their own, so a context
// always meets the routines that can read its tables.
//
// Data: N = 2^order complex floats, real part first, 8 bytes a point.
// Variants 1 to 4 work inside a transform in the split layout: every run of
// four points as their four real parts, then their four imaginary parts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/FftContext.h"
#include "dsp/WuPerfStatus.h"

namespace wuperf {

// Bytes the size rule reserves for the head of orders 0..5 (the head and
// 32 bytes of alignment slack), and the head part of larger orders (the
// head rounded up to 32 bytes and 32 bytes of slack).
constexpr int32_t kFftSpecSmallBytes = static_cast<int32_t>(sizeof(FftSpec)) + 32;
constexpr int32_t kFftSpecHeadBytes =
    static_cast<int32_t>((sizeof(FftSpec) + 31) / 32 * 32) + 32;
// Largest point count a context accepts (orders up to 27).
constexpr int64_t kFftMaxPoints32fc = 0x0FFFFFFF;

// A fixed kernel of orders 0..5, unscaled and scaled.
using FftFixedKernel = void (*)(const float* src, float* dst);
using FftFixedKernelScaled = void (*)(const float* src, float* dst, float scaleFactor);
// One row of the fixed-kernel table: columns 0..5 unscaled, 6..11 scaled.
struct FftFixedKernelRow {
  FftFixedKernel unscaled[6];        // columns 0..5, by order
  FftFixedKernelScaled scaled[6];    // columns 6..11, by order
};
// Rows 0..4: forward kernels of variants 4, 3, 2, 1, 0; rows 5..9 the
// inverse kernels in the same order (row 4 - variant forward, 9 - variant
// inverse). Orders 0 and 1 share the forward kernels in both rows.
extern const FftFixedKernelRow WuPerfFFT32fc_FixedKernels[10];

}  // namespace wuperf

// The fixed kernels of one variant and direction (D: Fwd or Inv).
#define WU_FFT32FC_FIXED_DIR(D, V)                                             \
  void WuPerfFFT##D##32fc_Order2_##V(const float* src, float* dst);            \
  void WuPerfFFT##D##32fc_Order3_##V(const float* src, float* dst);            \
  void WuPerfFFT##D##32fc_Order4_##V(const float* src, float* dst);            \
  void WuPerfFFT##D##32fc_Order5_##V(const float* src, float* dst);            \
  void WuPerfFFT##D##32fc_Order2Scaled_##V(const float* src, float* dst, float f); \
  void WuPerfFFT##D##32fc_Order3Scaled_##V(const float* src, float* dst, float f); \
  void WuPerfFFT##D##32fc_Order4Scaled_##V(const float* src, float* dst, float f); \
  void WuPerfFFT##D##32fc_Order5Scaled_##V(const float* src, float* dst, float f);

// Members every variant has.
#define WU_FFT32FC_COMMON(V)                                                                   \
  WuPerfStatus WuPerfsFFTInitAlloc_C_32fc_##V(void** ctx, int32_t order, int32_t flag,       \
                                              WuPerfHintAlgorithm hint);                      \
  WuPerfStatus WuPerfsFFTGetBufSize_C_32fc_##V(const void* ctx, int32_t* size);              \
  WuPerfStatus WuPerfsFFTFree_C_32fc_##V(void* ctx);                                         \
  WuPerfStatus WuPerfsFFTFwd_CToC_32fc_##V(const void* src, void* dst, const void* ctx,      \
                                           uint8_t* buf);                                     \
  WuPerfStatus WuPerfsFFTInv_CToC_32fc_##V(const void* src, void* dst, const void* ctx,      \
                                           uint8_t* buf);                                     \
  /* The size rule: ctx, init and work bytes (work before the 32 of slack */                 \
  /* that GetBufSize adds). */                                                                \
  WuPerfStatus WuPerfFFT32fc_GetSizes_##V(int32_t order, int32_t flag, int32_t hint,          \
                                          int32_t* specSize, int32_t* initSize,               \
                                          int32_t* workSize);                                 \
  /* Builds a context into specBlock (rounded up to 32) with the init buffer. */              \
  WuPerfStatus WuPerfFFT32fc_InitSpec_##V(wuperf::FftSpec** ctx, int32_t order, int32_t flag, \
                                          int32_t hint, uint8_t* specBlock,                   \
                                          uint8_t* initBuffer);                               \
  void WuPerfFFT32fc_BitRevCopy_##V(const void* src, void* dst, int32_t n,                    \
                                    const uint32_t* table);                                   \
  /* -8 null data, -6 count <= 0; 1.0 leaves the data, 0.0 zeroes it. */                      \
  WuPerfStatus WuPerfFFT32fc_Scale_##V(float factor, float* data, int32_t count);             \
  void WuPerfFFT32fc_Order0_##V(const float* src, float* dst);                                \
  void WuPerfFFT32fc_Order1_##V(const float* src, float* dst);                                \
  void WuPerfFFT32fc_Order0Scaled_##V(const float* src, float* dst, float f);                 \
  void WuPerfFFT32fc_Order1Scaled_##V(const float* src, float* dst, float f);                 \
  WU_FFT32FC_FIXED_DIR(Fwd, V)                                                                \
  WU_FFT32FC_FIXED_DIR(Inv, V)

// Members of the SIMD variants 1 to 4, per direction D.
#define WU_FFT32FC_SIMD_DIR(D, V)                                                              \
  /* All passes over n points in bit-reversed order; interleave 1: the */                     \
  /* result as points, else in the split layout. */                                           \
  void WuPerfFFT##D##32fc_Passes_##V(void* data, int32_t n, const float* twiddles,           \
                                     uint8_t* work, int32_t interleave);                      \
  void WuPerfFFT##D##32fc_Direct_##V(const void* src, void* dst, int32_t n,                   \
                                     const float* twiddles, const uint32_t* bitRev,           \
                                     uint8_t* work);                                          \
  void WuPerfFFT##D##32fc_Recursive_##V(const wuperf::FftSpec* ctx, const void* src,         \
                                        void* dst, int32_t order, uint8_t* work);             \
  void WuPerfFFT##D##32fc_SplitRecurse_##V(const wuperf::FftSpec* ctx, void* block,          \
                                           int32_t order, int32_t depth, uint8_t* work);

#define WU_FFT32FC_SIMD(V)                                                                     \
  void WuPerfFFT32fc_BitRevInPlace_##V(void* data, int32_t n, const uint32_t* table);         \
  WU_FFT32FC_SIMD_DIR(Fwd, V)                                                                  \
  WU_FFT32FC_SIMD_DIR(Inv, V)

// Members of variant 0, per direction D.
#define WU_FFT32FC_V0_DIR(D)                                                                   \
  void WuPerfFFT##D##32fc_Passes_V0(void* data, int32_t n, const float* twiddles);            \
  void WuPerfFFT##D##32fc_Large_V0(const wuperf::FftSpec* ctx, const void* src, void* dst,   \
                                   int32_t order, uint8_t* work);                             \
  void WuPerfFFT##D##32fc_SplitRecurse_V0(const wuperf::FftSpec* ctx, void* block,           \
                                          int32_t order, int32_t depth, uint8_t* work);       \
  void WuPerfFFT##D##32fc_SplitTwiddlePass_V0(void* data, int32_t n, int32_t size,            \
                                              const float* twiddles);

namespace wuperf {
namespace v0 {
WU_FFT32FC_COMMON(V0)
WU_FFT32FC_V0_DIR(Fwd)
WU_FFT32FC_V0_DIR(Inv)
}  // namespace v0
namespace v1 {
WU_FFT32FC_COMMON(V1)
WU_FFT32FC_SIMD(V1)
}  // namespace v1
namespace v2 {
WU_FFT32FC_COMMON(V2)
WU_FFT32FC_SIMD(V2)
}  // namespace v2
namespace v3 {
WU_FFT32FC_COMMON(V3)
WU_FFT32FC_SIMD(V3)
}  // namespace v3
namespace v4 {
WU_FFT32FC_COMMON(V4)
WU_FFT32FC_SIMD(V4)
}  // namespace v4
}  // namespace wuperf
