// One integer sample in its type's own encoding, the type chosen at run
// time.
#include "audio/SampleIo.h"

#include "audio/SampleCodec.h"

namespace wuaudio {

#define WU_AUDIO_INTEGER_TYPES(X)                                                           \
  X(WUSAMPLE_PCM8) X(WUSAMPLE_PCM8S) X(WUSAMPLE_PCM16) X(WUSAMPLE_PCM16BE) X(WUSAMPLE_PCM24) \
  X(WUSAMPLE_PCM24BE) X(WUSAMPLE_PCM32) X(WUSAMPLE_PCM24IN32) X(WUSAMPLE_PCM32BE)

int32_t ReadIntSample(const unsigned char* p, WUSAMPLETYPE type) {
  switch (type) {
#define WU_AUDIO_LOAD(T) \
  case T:                \
    return LoadInt<T>(p);
    WU_AUDIO_INTEGER_TYPES(WU_AUDIO_LOAD)
#undef WU_AUDIO_LOAD
    default:
      return 0;
  }
}

void WriteIntSample(unsigned char* p, WUSAMPLETYPE type, int32_t v) {
  switch (type) {
#define WU_AUDIO_STORE(T) \
  case T:                 \
    StoreInt<T>(p, v);    \
    break;
    WU_AUDIO_INTEGER_TYPES(WU_AUDIO_STORE)
#undef WU_AUDIO_STORE
    default:
      break;
  }
}

#undef WU_AUDIO_INTEGER_TYPES

}  // namespace wuaudio
