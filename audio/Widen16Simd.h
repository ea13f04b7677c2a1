// The loop of the float32-from-16-bit variants: the scalar samples up to
// the destination's next 16-byte boundary, blocks of `kBlock` samples (a
// multiple of 4) sign-extended to 32 bits, converted and multiplied by
// gain * 2^-15, then the rest as scalar. In place (dest == src) the scalar
// kernel runs instead, from the last sample. `Widen` sign-extends the four
// 16-bit samples in the low half of a register; the including file supplies
// it for its own instruction set.
//
// Internal linkage: one private copy per variant file.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "audio/SampleCodec.h"
#include "platform/kernel/cpu.h"

namespace wuaudio {
namespace {

template <int32_t kBlock, typename Widen>
void Float32FromPcm16Loop(void* dest, const void* src, int32_t count, float gain, Widen widen) {
  static_assert(kBlock % 4 == 0);
  if (count <= 0) return;
  if (dest == src) {
    ConvertByRule<WUSAMPLE_FLOAT32, WUSAMPLE_PCM16>(dest, src, count, gain);
    return;
  }
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(src);
  const uintptr_t address = reinterpret_cast<uintptr_t>(d);
  if (address & 3) {
    ConvertRange<WUSAMPLE_FLOAT32, WUSAMPLE_PCM16>(d, s, 0, count, gain);
    return;
  }
  int32_t head = static_cast<int32_t>(((16 - (address & 15)) & 15) / 4);
  if (head > count) head = count;
  ConvertRange<WUSAMPLE_FLOAT32, WUSAMPLE_PCM16>(d, s, 0, head, gain);
  int32_t i = head;
  const int32_t end = head + (count - head) / kBlock * kBlock;
  if (i < end) {
    DWORD saved = WuAudio_SetSseRoundNearest(0);
    const __m128 k = _mm_set1_ps(gain * (1.0f / 32768.0f));
    for (; i < end; i += kBlock) {
      for (int32_t j = 0; j < kBlock; j += 4) {
        __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + 2 * (i + j)));
        __m128 f = _mm_mul_ps(_mm_cvtepi32_ps(widen(raw)), k);
        _mm_storeu_ps(reinterpret_cast<float*>(d + 4 * (i + j)), f);
      }
    }
    platform::SetMxcsr(saved);
  }
  ConvertRange<WUSAMPLE_FLOAT32, WUSAMPLE_PCM16>(d, s, i, count, gain);
}

}  // namespace
}  // namespace wuaudio
