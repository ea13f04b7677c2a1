// The exports: initialisation, the mappings, the clock and the dispatch of
// every table-driven operation to the selected variant's entry.
#include "dsp/WuPerf.h"

#include "dsp/AlignedAlloc.h"
#include "dsp/CpuDetect.h"
#include "dsp/Dispatch.h"

using wuperf::CurrentVariant;

// ---- Set-up and mappings ---------------------------------------------------

HRESULT WuPerf_Initialize() { return WuPerfMapStatus(wuperf::WuPerfCpu_SelectVariant()); }

HRESULT WuPerfMapStatus(int32_t status) {
  if (status == WuPerfStatusFoldedTo255) {
    status = -255;
  } else if (status == WuPerfStatusFoldedTo256) {
    status = -256;
  }
  // Unsigned 32-bit arithmetic throughout, so no status can overflow.
  uint32_t magnitude =
      status < 0 ? 0u - static_cast<uint32_t>(status) : static_cast<uint32_t>(status);
  uint32_t code = magnitude + 0x4E600u;
  code |= status < 0 ? 0x80040000u : 0x40000u;
  return static_cast<HRESULT>(code);
}

HRESULT WuPerfStatusToHRESULT(WuPerfStatus status) { return WuPerfMapStatus(status); }

int32_t WuPerfMapHintAlgorithm(WuPerfHintAlgorithm hint) {
  static const int32_t kHints[3] = {0, 1, 2};
  if (hint < 0 || hint > 2) return kHints[0];
  return kHints[hint];
}

uint64_t WuPerfGetCpuClocks() { return wuperf::WuPerfCpu_ReadTsc(); }

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
