// Variant 4: up to SSE4.1.
#include <smmintrin.h>

#include <cstdint>

#include "dsp/AlignedAlloc.h"
#include "dsp/ArgChecks.h"
#include "dsp/FloatEnv.h"
#include "dsp/MulSimd.h"
#include "dsp/RandSimd.h"
#include "dsp/SqrtSimd.h"
#include "dsp/Variants.h"

namespace wuperf::v4 {

namespace {

// The block test in one vector test instruction.
bool AnySpecialLane(__m128i lanes) { return !_mm_testz_si128(lanes, lanes); }

}  // namespace

uint8_t* WuPerfsMalloc_V4(int32_t len) {
  if (len <= 0) return nullptr;
  return static_cast<uint8_t*>(WuPerfsAlignedMalloc(len));
}

void WuPerfsFree_V4(void* block) { WuPerfsAlignedFree(block); }

void WuPerfRandUniform32f_Kernel_V4(float* dst, int32_t len, float low, float high,
                                    uint32_t* seed) {
  RandUniformPairs(dst, len, low, high, seed);
}

WuPerfStatus WuPerfsRandUniform_Direct_32f_V4(float* dst, int32_t len, float low, float high,
                                              uint32_t* seed) {
  WuPerfStatus status = CheckVectorArgs(dst, seed, len);
  if (status != WuPerfOk) return status;
  WuPerfRandUniform32f_Kernel_V4(dst, len, low, high, seed);
  return WuPerfOk;
}

uint32_t WuPerfSqrt32f_Kernel_V4(const float* src, float* dst, int32_t len) {
  DWORD savedEnv = EnterExactFloatEnv();
  uint32_t negative = SqrtBlocksOf16<AnySpecialLane>(src, dst, len);
  LeaveExactFloatEnv(savedEnv);
  return negative;
}

WuPerfStatus WuPerfsSqrt_32f_V4(const float* src, float* dst, int32_t len) {
  WuPerfStatus status = CheckVectorArgs(src, dst, len);
  if (status != WuPerfOk) return status;
  return WuPerfSqrt32f_Kernel_V4(src, dst, len) ? WuPerfWarnSqrtNegative : WuPerfOk;
}

void WuPerfMul64fc_I_Kernel_V4(const void* src, void* srcDst, int32_t len) {
  MulKernelSse3(src, srcDst, len);
}

WuPerfStatus WuPerfsMul_64fc_I_V4(const void* src, void* srcDst, int32_t len) {
  WuPerfStatus status = CheckVectorArgs(src, srcDst, len);
  if (status != WuPerfOk) return status;
  WuPerfMul64fc_I_Kernel_V4(src, srcDst, len);
  return WuPerfOk;
}

void WuPerfConj64fc_I_Kernel_V4(void* srcDst, int32_t len) { ConjKernelSse3(srcDst, len); }

WuPerfStatus WuPerfsConj_64fc_I_V4(void* srcDst, int32_t len) {
  WuPerfStatus status = CheckVectorArgs(srcDst, len);
  if (status != WuPerfOk) return status;
  WuPerfConj64fc_I_Kernel_V4(srcDst, len);
  return WuPerfOk;
}

}  // namespace wuperf::v4
