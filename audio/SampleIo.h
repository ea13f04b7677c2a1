// One integer sample read or written in its type's own encoding: the
// stored byte for WUSAMPLE_PCM8 (0..255, no offset removed), big-endian
// types in their byte order, WUSAMPLE_PCM24IN32 as the 32-bit word. Used
// by the self test and the channel operations, one sample at a time.
#pragma once

#include <cstdint>

#include "audio/WuSampleType.h"

namespace wuaudio {

// The value of the integer sample at p; 0 for a type that is not one of
// the nine integer types.
int32_t ReadIntSample(const unsigned char* p, WUSAMPLETYPE type);
// Writes the low bits of v as a sample of the type; nothing for a type
// that is not one of the nine integer types.
void WriteIntSample(unsigned char* p, WUSAMPLETYPE type, int32_t v);

}  // namespace wuaudio
