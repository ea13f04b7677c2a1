// The portable kernels of all 117 pairs, by the conversion rule. They are
// also the scalar variants of the ten pairs that have others.
#include "audio/KernelVariants.h"
#include "audio/SampleCodec.h"

namespace wuaudio {
namespace a0 {

namespace {

// A row of the pair table: the types and the kernel instantiated for them.
template <WUSAMPLETYPE kD, Kind D, WUSAMPLETYPE kS, Kind S>
constexpr WuAudioCopyKernel Row() {
  return {kD, kS, WuAudioCopyVariant::kScalar, &ConvertByRule<D, S>};
}

// The rows of one destination: from the nine sources every destination
// converts, and from the two 32-bit word sources (24-in-32, 32-bit
// big-endian) that the 16- and 24-bit big-endian destinations lack.
#define WU_AUDIO_ROWS_FROM_ALL(kD, D)                                                  \
  Row<kD, D, WUSAMPLE_PCM8, Kind::kU8>(), Row<kD, D, WUSAMPLE_PCM8S, Kind::kS8>(),     \
      Row<kD, D, WUSAMPLE_PCM16, Kind::kS16>(),                                        \
      Row<kD, D, WUSAMPLE_PCM16BE, Kind::kS16BE>(),                                    \
      Row<kD, D, WUSAMPLE_PCM24, Kind::kS24>(),                                        \
      Row<kD, D, WUSAMPLE_PCM24BE, Kind::kS24BE>(),                                    \
      Row<kD, D, WUSAMPLE_PCM32, Kind::kS32>(),                                        \
      Row<kD, D, WUSAMPLE_FLOAT32, Kind::kF32>(), Row<kD, D, WUSAMPLE_FLOAT64, Kind::kF64>()
#define WU_AUDIO_ROWS_FROM_WORDS(kD, D)                        \
  Row<kD, D, WUSAMPLE_PCM24IN32, Kind::kS24In32>(),            \
      Row<kD, D, WUSAMPLE_PCM32BE, Kind::kS32BE>()

// 11 destinations x 11 sources, less the four pairs without a kernel.
constexpr WuAudioCopyKernel kPairs[] = {
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM8, Kind::kU8),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM8, Kind::kU8),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM8S, Kind::kS8),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM8S, Kind::kS8),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM16, Kind::kS16),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM16, Kind::kS16),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM16BE, Kind::kS16BE),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM24, Kind::kS24),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM24, Kind::kS24),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM24BE, Kind::kS24BE),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM32, Kind::kS32),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM32, Kind::kS32),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM24IN32, Kind::kS24In32),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM24IN32, Kind::kS24In32),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM32BE, Kind::kS32BE),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM32BE, Kind::kS32BE),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_FLOAT32, Kind::kF32),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_FLOAT32, Kind::kF32),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_FLOAT64, Kind::kF64),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_FLOAT64, Kind::kF64),
};
#undef WU_AUDIO_ROWS_FROM_ALL
#undef WU_AUDIO_ROWS_FROM_WORDS
static_assert(sizeof(kPairs) / sizeof(kPairs[0]) == 117);

}  // namespace

const WuAudioCopyKernel* PairKernels(int32_t* count) {
  *count = static_cast<int32_t>(sizeof(kPairs) / sizeof(kPairs[0]));
  return kPairs;
}

}  // namespace a0
}  // namespace wuaudio
