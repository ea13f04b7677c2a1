// The portable kernels of all 117 pairs, by the conversion rule. They are
// also the scalar variants of the ten pairs that have others.
#include "audio/KernelVariants.h"
#include "audio/SampleCodec.h"

namespace wuaudio {
namespace a0 {

namespace {

// A row of the pair table: the types and the kernel instantiated for them.
template <WUSAMPLETYPE D, WUSAMPLETYPE S>
constexpr WuAudioCopyKernel Row() {
  return {D, S, WuAudioCopyVariant::kScalar, &ConvertByRule<D, S>};
}

// The rows of one destination: from the nine sources every destination
// converts, and from the two 32-bit word sources (24-in-32, 32-bit
// big-endian) that the 16- and 24-bit big-endian destinations lack.
#define WU_AUDIO_ROWS_FROM_ALL(D)                                                          \
  Row<D, WUSAMPLE_PCM8>(), Row<D, WUSAMPLE_PCM8S>(), Row<D, WUSAMPLE_PCM16>(),               \
      Row<D, WUSAMPLE_PCM16BE>(), Row<D, WUSAMPLE_PCM24>(), Row<D, WUSAMPLE_PCM24BE>(),      \
      Row<D, WUSAMPLE_PCM32>(), Row<D, WUSAMPLE_FLOAT32>(), Row<D, WUSAMPLE_FLOAT64>()
#define WU_AUDIO_ROWS_FROM_WORDS(D) Row<D, WUSAMPLE_PCM24IN32>(), Row<D, WUSAMPLE_PCM32BE>()

// 11 destinations x 11 sources, less the four pairs without a kernel.
constexpr WuAudioCopyKernel kPairs[] = {
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM8),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM8),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM8S),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM8S),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM16),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM16),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM16BE),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM24),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM24),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM24BE),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM32),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM32),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM24IN32),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM24IN32),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_PCM32BE),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_PCM32BE),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_FLOAT32),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_FLOAT32),
    WU_AUDIO_ROWS_FROM_ALL(WUSAMPLE_FLOAT64),
    WU_AUDIO_ROWS_FROM_WORDS(WUSAMPLE_FLOAT64),
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
