// One integer sample in its type's own encoding.
#include "audio/SampleIo.h"

namespace wuaudio {

int32_t ReadIntSample(const unsigned char* p, WUSAMPLETYPE type) {
  auto u = [p](int i) { return static_cast<uint32_t>(p[i]); };
  switch (type) {
    case WUSAMPLE_PCM8:
      return p[0];
    case WUSAMPLE_PCM8S:
      return static_cast<int8_t>(p[0]);
    case WUSAMPLE_PCM16:
      return static_cast<int16_t>(u(0) | u(1) << 8);
    case WUSAMPLE_PCM16BE:
      return static_cast<int16_t>(u(1) | u(0) << 8);
    case WUSAMPLE_PCM24:
      return static_cast<int32_t>((u(0) | u(1) << 8 | u(2) << 16) << 8) >> 8;
    case WUSAMPLE_PCM24BE:
      return static_cast<int32_t>((u(2) | u(1) << 8 | u(0) << 16) << 8) >> 8;
    case WUSAMPLE_PCM32:
    case WUSAMPLE_PCM24IN32:
      return static_cast<int32_t>(u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24);
    case WUSAMPLE_PCM32BE:
      return static_cast<int32_t>(u(3) | u(2) << 8 | u(1) << 16 | u(0) << 24);
    default:
      return 0;
  }
}

void WriteIntSample(unsigned char* p, WUSAMPLETYPE type, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  auto put = [p, u](int i, int byte) { p[i] = static_cast<unsigned char>(u >> (8 * byte)); };
  switch (type) {
    case WUSAMPLE_PCM8:
    case WUSAMPLE_PCM8S:
      put(0, 0);
      break;
    case WUSAMPLE_PCM16:
      put(0, 0), put(1, 1);
      break;
    case WUSAMPLE_PCM16BE:
      put(1, 0), put(0, 1);
      break;
    case WUSAMPLE_PCM24:
      put(0, 0), put(1, 1), put(2, 2);
      break;
    case WUSAMPLE_PCM24BE:
      put(2, 0), put(1, 1), put(0, 2);
      break;
    case WUSAMPLE_PCM32:
    case WUSAMPLE_PCM24IN32:
      put(0, 0), put(1, 1), put(2, 2), put(3, 3);
      break;
    case WUSAMPLE_PCM32BE:
      put(3, 0), put(2, 1), put(1, 2), put(0, 3);
      break;
    default:
      break;
  }
}

}  // namespace wuaudio
