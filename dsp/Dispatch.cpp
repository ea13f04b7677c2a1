// The dispatch tables and the dispatched exports that read them: each export
// hands its arguments to the selected variant's entry and maps the result.
#include "dsp/Dispatch.h"

#include "dsp/FftComplex.h"
#include "dsp/FftReal.h"
#include "dsp/Variants.h"
#include "dsp/WuPerf.h"

namespace wuperf {

const MallocEntry kMallocTable[kVariantCount] = {
    v0::WuPerfsMalloc_V0, v1::WuPerfsMalloc_V1, v2::WuPerfsMalloc_V2,
    v3::WuPerfsMalloc_V3, v4::WuPerfsMalloc_V4};

const FreeEntry kFreeTable[kVariantCount] = {
    v0::WuPerfsFree_V0, v1::WuPerfsFree_V1, v2::WuPerfsFree_V2,
    v3::WuPerfsFree_V3, v4::WuPerfsFree_V4};

const RandUniformEntry kRandUniformTable[kVariantCount] = {
    v0::WuPerfsRandUniform_Direct_32f_V0, v1::WuPerfsRandUniform_Direct_32f_V1,
    v2::WuPerfsRandUniform_Direct_32f_V2, v3::WuPerfsRandUniform_Direct_32f_V3,
    v4::WuPerfsRandUniform_Direct_32f_V4};

const SqrtEntry kSqrtTable[kVariantCount] = {
    v0::WuPerfsSqrt_32f_V0, v1::WuPerfsSqrt_32f_V1, v2::WuPerfsSqrt_32f_V2,
    v3::WuPerfsSqrt_32f_V3, v4::WuPerfsSqrt_32f_V4};

const MulEntry kMulTable[kVariantCount] = {
    v0::WuPerfsMul_64fc_I_V0, v1::WuPerfsMul_64fc_I_V1, v2::WuPerfsMul_64fc_I_V2,
    v3::WuPerfsMul_64fc_I_V3, v4::WuPerfsMul_64fc_I_V4};

const ConjEntry kConjTable[kVariantCount] = {
    v0::WuPerfsConj_64fc_I_V0, v1::WuPerfsConj_64fc_I_V1, v2::WuPerfsConj_64fc_I_V2,
    v3::WuPerfsConj_64fc_I_V3, v4::WuPerfsConj_64fc_I_V4};

#define WU_FFT32FC_ROW(name)                                                      \
  {v0::name##_V0, v1::name##_V1, v2::name##_V2, v3::name##_V3, v4::name##_V4}
const FFTInitAllocEntry kFFTInitAllocCTable[kVariantCount] =
    WU_FFT32FC_ROW(WuPerfsFFTInitAlloc_C_32fc);
const FFTGetBufSizeCEntry kFFTGetBufSizeCTable[kVariantCount] =
    WU_FFT32FC_ROW(WuPerfsFFTGetBufSize_C_32fc);
const FFTTransformCEntry kFFTFwdCTable[kVariantCount] = WU_FFT32FC_ROW(WuPerfsFFTFwd_CToC_32fc);
const FFTTransformCEntry kFFTInvCTable[kVariantCount] = WU_FFT32FC_ROW(WuPerfsFFTInv_CToC_32fc);
const FFTFreeEntry kFFTFreeCTable[kVariantCount] = WU_FFT32FC_ROW(WuPerfsFFTFree_C_32fc);
#undef WU_FFT32FC_ROW


const FFTInitAllocEntry kFFTInitAllocRTable[kVariantCount] = {
    v0::WuPerfsFFTInitAlloc_R_64f_V0, v1::WuPerfsFFTInitAlloc_R_64f_V1,
    v2::WuPerfsFFTInitAlloc_R_64f_V2, v3::WuPerfsFFTInitAlloc_R_64f_V3,
    v4::WuPerfsFFTInitAlloc_R_64f_V4};
const FFTGetBufSizeREntry kFFTGetBufSizeRTable[kVariantCount] = {
    v0::WuPerfsFFTGetBufSize_R_64f_V0, v1::WuPerfsFFTGetBufSize_R_64f_V1,
    v2::WuPerfsFFTGetBufSize_R_64f_V2, v3::WuPerfsFFTGetBufSize_R_64f_V3,
    v4::WuPerfsFFTGetBufSize_R_64f_V4};
const FFTTransformREntry kFFTFwdRTable[kVariantCount] = {
    v0::WuPerfsFFTFwd_RToPerm_64f_I_V0, v1::WuPerfsFFTFwd_RToPerm_64f_I_V1,
    v2::WuPerfsFFTFwd_RToPerm_64f_I_V2, v3::WuPerfsFFTFwd_RToPerm_64f_I_V3,
    v4::WuPerfsFFTFwd_RToPerm_64f_I_V4};
const FFTTransformREntry kFFTInvRTable[kVariantCount] = {
    v0::WuPerfsFFTInv_PermToR_64f_I_V0, v1::WuPerfsFFTInv_PermToR_64f_I_V1,
    v2::WuPerfsFFTInv_PermToR_64f_I_V2, v3::WuPerfsFFTInv_PermToR_64f_I_V3,
    v4::WuPerfsFFTInv_PermToR_64f_I_V4};
const FFTFreeEntry kFFTFreeRTable[kVariantCount] = {
    v0::WuPerfsFFTFree_R_64f_V0, v1::WuPerfsFFTFree_R_64f_V1, v2::WuPerfsFFTFree_R_64f_V2,
    v3::WuPerfsFFTFree_R_64f_V3, v4::WuPerfsFFTFree_R_64f_V4};

}  // namespace wuperf

using wuperf::CurrentVariant;

// ---- Memory and vector operations --------------------------------------------

uint8_t* WuPerfsMalloc_8u(int32_t len) { return wuperf::kMallocTable[CurrentVariant()](len); }

void WuPerfsFree(void* block) { wuperf::kFreeTable[CurrentVariant()](block); }

HRESULT WuPerfsRandUniform_Direct_32f(float* dst, int32_t len, float low, float high,
                                      uint32_t* seed) {
  return WuPerfMapStatus(wuperf::kRandUniformTable[CurrentVariant()](dst, len, low, high, seed));
}

HRESULT WuPerfsSqrt_32f(const float* src, float* dst, int32_t len) {
  return WuPerfMapStatus(wuperf::kSqrtTable[CurrentVariant()](src, dst, len));
}

HRESULT WuPerfsMul_64fc_I(const void* src, void* srcDst, int32_t len) {
  return WuPerfMapStatus(wuperf::kMulTable[CurrentVariant()](src, srcDst, len));
}

HRESULT WuPerfsConj_64fc_I(void* srcDst, int32_t len) {
  return WuPerfMapStatus(wuperf::kConjTable[CurrentVariant()](srcDst, len));
}

// ---- FFT ---------------------------------------------------------------------

HRESULT WuPerfsFFTInitAlloc_C_32fc(void** ctx, int32_t order, int32_t flag,
                                   WuPerfHintAlgorithm hint) {
  return WuPerfMapStatus(wuperf::kFFTInitAllocCTable[CurrentVariant()](
      ctx, order, flag, WuPerfMapHintAlgorithm(hint)));
}

HRESULT WuPerfsFFTGetBufSize_C_32fc(const void* ctx, int32_t* size) {
  return WuPerfMapStatus(wuperf::kFFTGetBufSizeCTable[CurrentVariant()](ctx, size));
}

HRESULT WuPerfsFFTFwd_CToC_32fc(const void* src, void* dst, const void* ctx, uint8_t* work) {
  return WuPerfMapStatus(wuperf::kFFTFwdCTable[CurrentVariant()](src, dst, ctx, work));
}

HRESULT WuPerfsFFTInv_CToC_32fc(const void* src, void* dst, const void* ctx, uint8_t* work) {
  return WuPerfMapStatus(wuperf::kFFTInvCTable[CurrentVariant()](src, dst, ctx, work));
}

HRESULT WuPerfsFFTFree_C_32fc(void* ctx) {
  return WuPerfMapStatus(wuperf::kFFTFreeCTable[CurrentVariant()](ctx));
}

HRESULT WuPerfsFFTInitAlloc_R_64f(void** ctx, int32_t order, int32_t flag,
                                  WuPerfHintAlgorithm hint) {
  return WuPerfMapStatus(wuperf::kFFTInitAllocRTable[CurrentVariant()](ctx, order, flag, hint));
}

HRESULT WuPerfsFFTGetBufSize_R_64f(void* ctx, int32_t* size) {
  return WuPerfMapStatus(wuperf::kFFTGetBufSizeRTable[CurrentVariant()](ctx, size));
}

HRESULT WuPerfsFFTFwd_RToPerm_64f_I(double* srcDst, const void* ctx, uint8_t* work) {
  return WuPerfMapStatus(wuperf::kFFTFwdRTable[CurrentVariant()](srcDst, ctx, work));
}

HRESULT WuPerfsFFTInv_PermToR_64f_I(double* srcDst, const void* ctx, uint8_t* work) {
  return WuPerfMapStatus(wuperf::kFFTInvRTable[CurrentVariant()](srcDst, ctx, work));
}

HRESULT WuPerfsFFTFree_R_64f(void* ctx) {
  return WuPerfMapStatus(wuperf::kFFTFreeRTable[CurrentVariant()](ctx));
}
