// The eleven plain sample types and their storage: format tag, bits, bytes
// and full scale. The one table of the library's sample code: the
// sample-type functions, the kernels, the dispatcher and the channel
// operations all read it.
//
// Everything here has internal linkage: the kernel-variant files include it
// (through audio/SampleCodec.h), and no function of theirs may become code
// shared between variant objects (see audio/KernelVariants.h).
#pragma once

#include "audio/WuSampleType.h"

namespace wuaudio {
namespace {

// One plain sample type.
struct SampleTypeRow {
  WUSAMPLETYPE type;  // the code
  UINT tag;           // its format tag
  UINT bits;          // bits per sample as a format record states them
  UINT bytes;         // bytes per sample
  double fullScale;   // F: an integer sample s stands for s / F; 1 for floats
};

// In the order of the dispatcher's pair table (SampleTypeIndex).
constexpr SampleTypeRow kSampleTypes[] = {
    {WUSAMPLE_PCM8, WAVE_FORMAT_PCM, 8, 1, 128.0},
    {WUSAMPLE_PCM8S, WAVE_FORMAT_WU_PCMSIGNED, 8, 1, 128.0},
    {WUSAMPLE_PCM16, WAVE_FORMAT_PCM, 16, 2, 32768.0},
    {WUSAMPLE_PCM16BE, WAVE_FORMAT_WU_PCMBE, 16, 2, 32768.0},
    {WUSAMPLE_PCM24, WAVE_FORMAT_PCM, 24, 3, 8388608.0},
    {WUSAMPLE_PCM24BE, WAVE_FORMAT_WU_PCMBE, 24, 3, 8388608.0},
    {WUSAMPLE_PCM32, WAVE_FORMAT_PCM, 32, 4, 2147483648.0},
    {WUSAMPLE_PCM24IN32, WAVE_FORMAT_WU_PCM24IN32, 32, 4, 8388608.0},
    {WUSAMPLE_PCM32BE, WAVE_FORMAT_WU_PCMBE, 32, 4, 2147483648.0},
    {WUSAMPLE_FLOAT32, WAVE_FORMAT_IEEE_FLOAT, 32, 4, 1.0},
    {WUSAMPLE_FLOAT64, WAVE_FORMAT_IEEE_FLOAT, 64, 8, 1.0},
};
constexpr int kSampleTypeCount = static_cast<int>(sizeof(kSampleTypes) / sizeof(kSampleTypes[0]));

// Index 0..10 of a plain type in kSampleTypes, or -1 for any other code.
constexpr int SampleTypeIndex(WUSAMPLETYPE type) {
  for (int i = 0; i < kSampleTypeCount; ++i)
    if (kSampleTypes[i].type == type) return i;
  return -1;
}

// The row of a plain type, or null.
constexpr const SampleTypeRow* FindSampleType(WUSAMPLETYPE type) {
  const int i = SampleTypeIndex(type);
  return i < 0 ? nullptr : &kSampleTypes[i];
}

// Bytes per sample of a plain type; 0 for any other code.
constexpr UINT BytesOf(WUSAMPLETYPE type) {
  const SampleTypeRow* row = FindSampleType(type);
  return row ? row->bytes : 0;
}

// Full scale F of a plain type (1 for the floats); 0 for any other code.
// The integer range of a type is [-F, F - 1].
constexpr double FullScale(WUSAMPLETYPE type) {
  const SampleTypeRow* row = FindSampleType(type);
  return row ? row->fullScale : 0.0;
}

constexpr bool IsFloat(WUSAMPLETYPE type) {
  return type == WUSAMPLE_FLOAT32 || type == WUSAMPLE_FLOAT64;
}

}  // namespace
}  // namespace wuaudio
