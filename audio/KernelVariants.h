// The conversion kernels of each processor level.
//
// Each level lives in its own namespace and its own source file, compiled
// for its own instruction set and nothing newer (audio/CMakeLists.txt):
//   a0  Kernels_A0.cpp       portable C++: the kernels of all 117 pairs,
//                            which are also the scalar variants
//   a1  KernelsX87_A1.cpp    x87 store variants (x87 unit, inline assembly)
//   a2  KernelsSse2_A2.cpp   SSE and SSE2 variants
//   a3  KernelsSse41_A3.cpp  SSE4.1 variant
// A variant file must not define functions with vague linkage (inline
// functions or templates visible to other files): the linker keeps one copy
// of such a function, and a copy built for a newer processor could then run
// on an older variant's path. Shared loop bodies and helpers therefore live
// in headers with internal linkage (audio/SampleTypeTable.h,
// audio/SampleCodec.h, audio/Widen16Simd.h), one private copy per variant
// file; ctest checks the objects.
#pragma once

#include <cstdint>

#include "audio/WuAudioCopy.h"

namespace wuaudio {

namespace a0 {
// The kernels of the 117 pairs, each with variant kScalar.
const WuAudioCopyKernel* PairKernels(int32_t* count);
}  // namespace a0

namespace a1 {
void Pcm8FromFloat32_X87(void* dest, const void* src, int32_t count, float gain);
void Pcm16FromFloat32_X87(void* dest, const void* src, int32_t count, float gain);
void Pcm24FromFloat32_X87(void* dest, const void* src, int32_t count, float gain);
void Pcm8FromFloat64_X87(void* dest, const void* src, int32_t count, float gain);
void Pcm16FromFloat64_X87(void* dest, const void* src, int32_t count, float gain);
void Pcm24FromFloat64_X87(void* dest, const void* src, int32_t count, float gain);
}  // namespace a1

namespace a2 {
void Pcm8FromFloat32_Sse(void* dest, const void* src, int32_t count, float gain);
void Pcm16FromFloat32_Sse(void* dest, const void* src, int32_t count, float gain);
void Pcm24FromFloat32_Sse(void* dest, const void* src, int32_t count, float gain);
void Pcm8FromFloat64_Sse2(void* dest, const void* src, int32_t count, float gain);
void Pcm16FromFloat64_Sse2(void* dest, const void* src, int32_t count, float gain);
void Pcm24FromFloat64_Sse2(void* dest, const void* src, int32_t count, float gain);
void Float32FromPcm16_Sse(void* dest, const void* src, int32_t count, float gain);
void Float32FromPcm16_Sse2(void* dest, const void* src, int32_t count, float gain);
void Float64FromPcm16_Sse2(void* dest, const void* src, int32_t count, float gain);
void Float32FromFloat64_Sse2(void* dest, const void* src, int32_t count, float gain);
void Float64FromFloat32_Sse2(void* dest, const void* src, int32_t count, float gain);
}  // namespace a2

namespace a3 {
void Float32FromPcm16_Sse41(void* dest, const void* src, int32_t count, float gain);
}  // namespace a3

}  // namespace wuaudio
