// The variant index and the dispatch tables.
#include "dsp/Dispatch.h"

#include <atomic>

#include "dsp/FftComplex.h"
#include "dsp/FftReal.h"
#include "dsp/Variants.h"

namespace wuperf {

namespace {
// The selected variant; 0 until selection runs. Written by the selection
// (and the test seam), read by every dispatched call.
std::atomic<int32_t> g_variant{0};
}  // namespace

int32_t CurrentVariant() { return g_variant.load(std::memory_order_acquire); }

void StoreVariant(int32_t variant) {
  if (variant < 0 || variant >= kVariantCount) return;
  g_variant.store(variant, std::memory_order_release);
}

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
