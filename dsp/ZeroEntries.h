// The validating zero and copy entries, over a variant's own kernels.
//
// The byte count of a float or double vector is computed in size_t and
// handed to the zero kernel in pieces it accepts (a signed 32-bit count), so
// no count wraps and every byte is zeroed.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/WuPerfStatus.h"

namespace wuperf {
namespace {

// Largest piece handed to a zero kernel at once (a multiple of 64 bytes).
constexpr size_t kZeroPieceBytes = size_t{1} << 30;

using ZeroKernelFn = void* (*)(void* dst, int32_t n);
using CopyKernelFn = void* (*)(const void* src, void* dst, int32_t n);

// -8 for a null pointer (whatever n), -6 for n <= 0, else the n elements of
// elementBytes each are zeroed and 0.
[[maybe_unused]] WuPerfStatus ZeroElements(ZeroKernelFn kernel, void* dst, int32_t n,
                                           size_t elementBytes) {
  if (!dst) return WuPerfErrNullPointer;
  if (n <= 0) return WuPerfErrSize;
  uint8_t* p = static_cast<uint8_t*>(dst);
  size_t bytes = static_cast<size_t>(n) * elementBytes;
  while (bytes > 0) {
    size_t piece = bytes < kZeroPieceBytes ? bytes : kZeroPieceBytes;
    kernel(p, static_cast<int32_t>(piece));
    p += piece;
    bytes -= piece;
  }
  return WuPerfOk;
}

// -8 for a null source or destination, -6 for n <= 0, else the copy and 0.
[[maybe_unused]] WuPerfStatus CopyBytes(CopyKernelFn kernel, const void* src, void* dst,
                                        int32_t n) {
  if (!src || !dst) return WuPerfErrNullPointer;
  if (n <= 0) return WuPerfErrSize;
  kernel(src, dst, n);
  return WuPerfOk;
}

}  // namespace
}  // namespace wuperf

// The validating zero entries of variant V over its zero kernel.
#define WU_DEFINE_ZERO_ENTRIES(V)                                          \
  WuPerfStatus WuPerfZero8u_##V(void* dst, int32_t n) {                    \
    return ZeroElements(WuPerfZero8u_Kernel_##V, dst, n, 1);               \
  }                                                                        \
  WuPerfStatus WuPerfZero32f_##V(float* dst, int32_t n) {                  \
    return ZeroElements(WuPerfZero8u_Kernel_##V, dst, n, sizeof(float));   \
  }                                                                        \
  WuPerfStatus WuPerfZero64f_##V(double* dst, int32_t n) {                 \
    return ZeroElements(WuPerfZero8u_Kernel_##V, dst, n, sizeof(double));  \
  }

// The zero, copy and scale members of SIMD variant V: copy traits, and the
// value counts above which the float and double scale kernels prefetch.
#define WU_DEFINE_ZERO_COPY_SIMD(V, CopyTraits, kScale32fPrefetch, kScale64fPrefetch) \
  void* WuPerfZero8u_Kernel_##V(void* dst, int32_t n) { return ZeroKernelSse2(dst, n); } \
  void* WuPerfCopy8u_Kernel_##V(const void* src, void* dst, int32_t n) {               \
    return CopyKernelSse2<CopyTraits>(src, dst, n);                                     \
  }                                                                                     \
  WU_DEFINE_ZERO_ENTRIES(V)                                                             \
  WuPerfStatus WuPerfCopy8u_##V(const void* src, void* dst, int32_t n) {                \
    return CopyBytes(WuPerfCopy8u_Kernel_##V, src, dst, n);                             \
  }                                                                                     \
  void WuPerfScale32f_Kernel_##V(float factor, float* data, int32_t n) {                \
    Scale32fSse2<kScale32fPrefetch>(factor, data, n);                                   \
  }                                                                                     \
  void WuPerfScale64f_Kernel_##V(double factor, double* data, int32_t n) {              \
    Scale64fSse2<kScale64fPrefetch>(factor, data, n);                                   \
  }
