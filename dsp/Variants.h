// The entry functions and kernels of the five processor variants.
//
// Each variant lives in its own namespace and its own source file, compiled
// for its own instruction set (dsp/CMakeLists.txt):
//   v0  Generic_V0.cpp  portable C++, no intrinsics
//   v1  Sse2_V1.cpp     SSE and SSE2
//   v2  Sse3_V2.cpp     up to SSE3
//   v3  Ssse3_V3.cpp    up to SSSE3
//   v4  Sse41_V4.cpp    up to SSE4.1
// A variant file must not define functions with vague linkage (inline
// functions or templates visible to other files): the linker keeps one copy
// of such a function, and a copy built for a newer processor could then run
// on an older variant's path. Shared kernel bodies therefore live in headers
// with internal linkage (dsp/*Simd.h), one private copy per variant file.
//
// Entry functions check their arguments in the documented order and touch
// no memory before the checks pass. Kernels check nothing.
#pragma once

#include <cstdint>

#include "dsp/WuPerfStatus.h"

namespace wuperf {

namespace v0 {
uint8_t* WuPerfsMalloc_V0(int32_t len);
void WuPerfsFree_V0(void* block);
WuPerfStatus WuPerfsRandUniform_Direct_32f_V0(float* dst, int32_t len, float low, float high,
                                              uint32_t* seed);
WuPerfStatus WuPerfsSqrt_32f_V0(const float* src, float* dst, int32_t len);
WuPerfStatus WuPerfsMul_64fc_I_V0(const void* src, void* srcDst, int32_t len);
WuPerfStatus WuPerfsConj_64fc_I_V0(void* srcDst, int32_t len);
}  // namespace v0

namespace v1 {
uint8_t* WuPerfsMalloc_V1(int32_t len);
void WuPerfsFree_V1(void* block);
WuPerfStatus WuPerfsRandUniform_Direct_32f_V1(float* dst, int32_t len, float low, float high,
                                              uint32_t* seed);
WuPerfStatus WuPerfsSqrt_32f_V1(const float* src, float* dst, int32_t len);
WuPerfStatus WuPerfsMul_64fc_I_V1(const void* src, void* srcDst, int32_t len);
WuPerfStatus WuPerfsConj_64fc_I_V1(void* srcDst, int32_t len);
void WuPerfRandUniform32f_Kernel_V1(float* dst, int32_t len, float low, float high,
                                    uint32_t* seed);
uint32_t WuPerfSqrt32f_Kernel_V1(const float* src, float* dst, int32_t len);
void WuPerfMul64fc_I_Kernel_V1(const void* src, void* srcDst, int32_t len);
void WuPerfConj64fc_I_Kernel_V1(void* srcDst, int32_t len);
}  // namespace v1

namespace v2 {
uint8_t* WuPerfsMalloc_V2(int32_t len);
void WuPerfsFree_V2(void* block);
WuPerfStatus WuPerfsRandUniform_Direct_32f_V2(float* dst, int32_t len, float low, float high,
                                              uint32_t* seed);
WuPerfStatus WuPerfsSqrt_32f_V2(const float* src, float* dst, int32_t len);
WuPerfStatus WuPerfsMul_64fc_I_V2(const void* src, void* srcDst, int32_t len);
WuPerfStatus WuPerfsConj_64fc_I_V2(void* srcDst, int32_t len);
void WuPerfRandUniform32f_Kernel_V2(float* dst, int32_t len, float low, float high,
                                    uint32_t* seed);
uint32_t WuPerfSqrt32f_Kernel_V2(const float* src, float* dst, int32_t len);
void WuPerfMul64fc_I_Kernel_V2(const void* src, void* srcDst, int32_t len);
void WuPerfConj64fc_I_Kernel_V2(void* srcDst, int32_t len);
}  // namespace v2

namespace v3 {
uint8_t* WuPerfsMalloc_V3(int32_t len);
void WuPerfsFree_V3(void* block);
WuPerfStatus WuPerfsRandUniform_Direct_32f_V3(float* dst, int32_t len, float low, float high,
                                              uint32_t* seed);
WuPerfStatus WuPerfsSqrt_32f_V3(const float* src, float* dst, int32_t len);
WuPerfStatus WuPerfsMul_64fc_I_V3(const void* src, void* srcDst, int32_t len);
WuPerfStatus WuPerfsConj_64fc_I_V3(void* srcDst, int32_t len);
void WuPerfRandUniform32f_Kernel_V3(float* dst, int32_t len, float low, float high,
                                    uint32_t* seed);
uint32_t WuPerfSqrt32f_Kernel_V3(const float* src, float* dst, int32_t len);
void WuPerfMul64fc_I_Kernel_V3(const void* src, void* srcDst, int32_t len);
void WuPerfConj64fc_I_Kernel_V3(void* srcDst, int32_t len);
}  // namespace v3

namespace v4 {
uint8_t* WuPerfsMalloc_V4(int32_t len);
void WuPerfsFree_V4(void* block);
WuPerfStatus WuPerfsRandUniform_Direct_32f_V4(float* dst, int32_t len, float low, float high,
                                              uint32_t* seed);
WuPerfStatus WuPerfsSqrt_32f_V4(const float* src, float* dst, int32_t len);
WuPerfStatus WuPerfsMul_64fc_I_V4(const void* src, void* srcDst, int32_t len);
WuPerfStatus WuPerfsConj_64fc_I_V4(void* srcDst, int32_t len);
void WuPerfRandUniform32f_Kernel_V4(float* dst, int32_t len, float low, float high,
                                    uint32_t* seed);
uint32_t WuPerfSqrt32f_Kernel_V4(const float* src, float* dst, int32_t len);
void WuPerfMul64fc_I_Kernel_V4(const void* src, void* srcDst, int32_t len);
void WuPerfConj64fc_I_Kernel_V4(void* srcDst, int32_t len);
}  // namespace v4

}  // namespace wuperf
