// One integer sample in its type's own encoding, the type chosen at run
// time: the load and store of audio/SampleCodec.h (LoadInt, StoreInt) for
// the code that goes sample by sample through types it learns at run time
// (the self test, the channel operations). Values are signed:
// WUSAMPLE_PCM8 less its 128 offset, big-endian types in their byte order,
// WUSAMPLE_PCM24IN32 as the whole 32-bit word.
#pragma once

#include <cstdint>

#include "audio/WuSampleType.h"

namespace wuaudio {

// The signed value of the integer sample at p; 0 for a type that is not
// one of the nine integer types.
int32_t ReadIntSample(const unsigned char* p, WUSAMPLETYPE type);
// Writes v, a value within the type's range (of any other value the low
// bits of its encoding); nothing for a type that is not one of the nine
// integer types.
void WriteIntSample(unsigned char* p, WUSAMPLETYPE type, int32_t v);

}  // namespace wuaudio
