// The kernel table: every pair's kernel and every variant.
#include "audio/KernelVariants.h"
#include "audio/WuAudioCopy.h"

namespace {

using V = WuAudioCopyVariant;

// The variants beside each pair's kernel (which is the scalar variant).
constexpr WuAudioCopyKernel kVariants[] = {
    {WUSAMPLE_PCM8, WUSAMPLE_FLOAT32, V::kX87Store, &wuaudio::a1::Pcm8FromFloat32_X87},
    {WUSAMPLE_PCM8, WUSAMPLE_FLOAT32, V::kSse, &wuaudio::a2::Pcm8FromFloat32_Sse},
    {WUSAMPLE_PCM8, WUSAMPLE_FLOAT64, V::kX87Store, &wuaudio::a1::Pcm8FromFloat64_X87},
    {WUSAMPLE_PCM8, WUSAMPLE_FLOAT64, V::kSse2, &wuaudio::a2::Pcm8FromFloat64_Sse2},
    {WUSAMPLE_PCM16, WUSAMPLE_FLOAT32, V::kX87Store, &wuaudio::a1::Pcm16FromFloat32_X87},
    {WUSAMPLE_PCM16, WUSAMPLE_FLOAT32, V::kSse, &wuaudio::a2::Pcm16FromFloat32_Sse},
    {WUSAMPLE_PCM16, WUSAMPLE_FLOAT64, V::kX87Store, &wuaudio::a1::Pcm16FromFloat64_X87},
    {WUSAMPLE_PCM16, WUSAMPLE_FLOAT64, V::kSse2, &wuaudio::a2::Pcm16FromFloat64_Sse2},
    {WUSAMPLE_PCM24, WUSAMPLE_FLOAT32, V::kX87Store, &wuaudio::a1::Pcm24FromFloat32_X87},
    {WUSAMPLE_PCM24, WUSAMPLE_FLOAT32, V::kSse, &wuaudio::a2::Pcm24FromFloat32_Sse},
    {WUSAMPLE_PCM24, WUSAMPLE_FLOAT64, V::kX87Store, &wuaudio::a1::Pcm24FromFloat64_X87},
    {WUSAMPLE_PCM24, WUSAMPLE_FLOAT64, V::kSse2, &wuaudio::a2::Pcm24FromFloat64_Sse2},
    {WUSAMPLE_FLOAT32, WUSAMPLE_PCM16, V::kSse, &wuaudio::a2::Float32FromPcm16_Sse},
    {WUSAMPLE_FLOAT32, WUSAMPLE_PCM16, V::kSse2, &wuaudio::a2::Float32FromPcm16_Sse2},
    {WUSAMPLE_FLOAT32, WUSAMPLE_PCM16, V::kSse41, &wuaudio::a3::Float32FromPcm16_Sse41},
    {WUSAMPLE_FLOAT64, WUSAMPLE_PCM16, V::kSse2, &wuaudio::a2::Float64FromPcm16_Sse2},
    {WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64, V::kSse2, &wuaudio::a2::Float32FromFloat64_Sse2},
    {WUSAMPLE_FLOAT64, WUSAMPLE_FLOAT32, V::kSse2, &wuaudio::a2::Float64FromFloat32_Sse2},
};
constexpr int32_t kVariantCount = sizeof(kVariants) / sizeof(kVariants[0]);

// The pairs' kernels followed by the variants, filled on first use.
struct Table {
  WuAudioCopyKernel rows[117 + kVariantCount];
  int32_t count;
  Table() : rows(), count(0) {
    int32_t pairs = 0;
    const WuAudioCopyKernel* kernels = wuaudio::a0::PairKernels(&pairs);
    for (int32_t i = 0; i < pairs && count < 117; ++i) rows[count++] = kernels[i];
    for (const WuAudioCopyKernel& v : kVariants) rows[count++] = v;
  }
};

const Table& TheTable() {
  static const Table table;
  return table;
}

}  // namespace

const WuAudioCopyKernel* WuAudio_GetCopyKernelTable(int32_t* count) {
  const Table& table = TheTable();
  *count = table.count;
  return table.rows;
}

WuAudioCopyFunc WuAudio_FindCopyKernel(WUSAMPLETYPE dest, WUSAMPLETYPE src,
                                       WuAudioCopyVariant variant) {
  const Table& table = TheTable();
  for (int32_t i = 0; i < table.count; ++i) {
    const WuAudioCopyKernel& row = table.rows[i];
    if (row.dest == dest && row.src == src && row.variant == variant) return row.function;
  }
  return nullptr;
}
