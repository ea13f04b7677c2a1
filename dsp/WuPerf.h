// The exported interface of the vector signal-processing primitives.
//
// Sixteen exports do no work of their own: each hands its arguments to the
// entry function of the selected kernel variant (dsp/Dispatch.h) and turns
// the entry's WuPerfStatus into HRESULT form with WuPerfMapStatus. The
// others are initialisation, the two names of the status mapping, the hint
// mapping and the clock read.
//
// Before WuPerf_Initialize has run every dispatched export uses the generic
// variant 0; initialisation only selects a faster one. Complex vectors are
// untyped pointers to pairs of doubles (real part first, 16 bytes each).
#pragma once

#include <cstdint>

#include "dsp/WuPerfStatus.h"
#include "platform/kernel/types.h"

// ---- Set-up and mappings ---------------------------------------------------

// Detects the processor and selects the kernel variant. Returns 0x0004E600,
// or 0x0004E614 when the processor has no CPUID or another vendor; both are
// success and the variant is set in either case. May be called again.
HRESULT WuPerf_Initialize();

// The status in HRESULT form: 0x0004E600 + s for s >= 0, 0x8004E600 + |s|
// for s < 0 (-9999 and -9998 count as -255 and -256).
HRESULT WuPerfMapStatus(int32_t status);
HRESULT WuPerfStatusToHRESULT(WuPerfStatus status);

// The stored form of an algorithm hint: 0, 1 and 2 map to themselves, any
// other value to 0.
int32_t WuPerfMapHintAlgorithm(WuPerfHintAlgorithm hint);

// The processor's time-stamp counter, read once without serialising.
uint64_t WuPerfGetCpuClocks();

// ---- Memory ------------------------------------------------------------------

// A block of `len` bytes starting on a 32-byte boundary; null when `len` is
// zero or negative or the heap is exhausted. Contents are not initialised.
uint8_t* WuPerfsMalloc_8u(int32_t len);
// Releases a block of WuPerfsMalloc_8u; null does nothing.
void WuPerfsFree(void* block);

// ---- Vector operations ---------------------------------------------------------

// Fills dst[0..len) with uniform values between `low` and `high` and writes
// the generator's next state to *seed. Errors: -8 (dst, then seed null),
// -6 (len <= 0), mapped.
HRESULT WuPerfsRandUniform_Direct_32f(float* dst, int32_t len, float low, float high,
                                      uint32_t* seed);

// dst[i] = sqrt(src[i]). A negative input (below zero; -0 is not) gives the
// bits 0xFFC00000 and the warning 3. Errors: -8 (src, then dst null), -6.
HRESULT WuPerfsSqrt_32f(const float* src, float* dst, int32_t len);

// srcDst[i] = src[i] * srcDst[i] over `len` complex doubles. Errors: -8, -6.
HRESULT WuPerfsMul_64fc_I(const void* src, void* srcDst, int32_t len);

// Flips the sign of the imaginary part of `len` complex doubles in place.
// Errors: -8, -6.
HRESULT WuPerfsConj_64fc_I(void* srcDst, int32_t len);

// ---- FFT ---------------------------------------------------------------------

HRESULT WuPerfsFFTInitAlloc_C_32fc(void** ctx, int32_t order, int32_t flag,
                                   WuPerfHintAlgorithm hint);
HRESULT WuPerfsFFTGetBufSize_C_32fc(const void* ctx, int32_t* size);
HRESULT WuPerfsFFTFwd_CToC_32fc(const void* src, void* dst, const void* ctx, uint8_t* work);
HRESULT WuPerfsFFTInv_CToC_32fc(const void* src, void* dst, const void* ctx, uint8_t* work);
HRESULT WuPerfsFFTFree_C_32fc(void* ctx);
HRESULT WuPerfsFFTInitAlloc_R_64f(void** ctx, int32_t order, int32_t flag,
                                  WuPerfHintAlgorithm hint);
HRESULT WuPerfsFFTGetBufSize_R_64f(void* ctx, int32_t* size);
HRESULT WuPerfsFFTFwd_RToPerm_64f_I(double* srcDst, const void* ctx, uint8_t* work);
HRESULT WuPerfsFFTInv_PermToR_64f_I(double* srcDst, const void* ctx, uint8_t* work);
HRESULT WuPerfsFFTFree_R_64f(void* ctx);
