// The SSE4.1 variant of float32 from 16-bit: sign extension by the SSE4.1
// widening move.
#include <smmintrin.h>

#include "audio/KernelVariants.h"
#include "audio/Widen16Simd.h"

namespace wuaudio {
namespace a3 {

void Float32FromPcm16_Sse41(void* dest, const void* src, int32_t count, float gain) {
  Float32FromPcm16Loop<8>(dest, src, count, gain,
                          [](__m128i raw) { return _mm_cvtepi16_epi32(raw); });
}

}  // namespace a3
}  // namespace wuaudio
