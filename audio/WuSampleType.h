// Plain sample formats: the codes the library converts, copies and
// processes, the library's private format tags, and the mapping between a
// platform wave-format record and a sample type.
#pragma once

#include "platform/mmreg.h"
#include "platform/types.h"

// A plain sample format. Samples are interleaved by frame.
enum WUSAMPLETYPE : int32_t {
  WUSAMPLE_NONE = 0,         // not a plain format: described by tag
  WUSAMPLE_PCM8 = 16,        // 8-bit unsigned, silence 0x80
  WUSAMPLE_PCM16 = 17,       // 16-bit signed, little-endian
  WUSAMPLE_PCM24 = 18,       // 24-bit signed in 3 bytes, little-endian
  WUSAMPLE_PCM32 = 19,       // 32-bit signed, little-endian
  WUSAMPLE_FLOAT32 = 32,     // IEEE single, full scale +-1.0
  WUSAMPLE_FLOAT64 = 33,     // IEEE double, full scale +-1.0
  WUSAMPLE_PCM24IN32 = 48,   // sign-extended 24-bit value in a 32-bit word
  WUSAMPLE_PCM8S = 49,       // 8-bit signed, silence 0
  WUSAMPLE_PCM16BE = 64,     // 16-bit signed, big-endian
  WUSAMPLE_PCM24BE = 65,     // 24-bit signed in 3 bytes, big-endian
  WUSAMPLE_PCM32BE = 66,     // 32-bit signed, big-endian
  WUSAMPLE_FE03_16 = 128,    // private tag 0xFE03 at 16 bits (no tag/bits here)
  WUSAMPLE_FE03_24 = 129,    // private tag 0xFE03 at 24 bits (no tag/bits here)
};

// The library's private format tags.
constexpr WORD WAVE_FORMAT_WU_PCM24IN32 = 0xFE00;  // 24-bit samples in 32-bit containers
constexpr WORD WAVE_FORMAT_WU_PCMSIGNED = 0xFE01;  // signed PCM (8-bit signed)
constexpr WORD WAVE_FORMAT_WU_PCMBE = 0xFE02;      // big-endian PCM
constexpr WORD WAVE_FORMAT_WU_FE03 = 0xFE03;       // known only through types 128, 129

// The sample type of a format tag and bit count: PCM 8/16/20/24/32, float
// 32/64 and the private tags' accepted counts; 0 for anything else.
WUSAMPLETYPE WuAudio_GetSampleType2(UINT tag, UINT bits);

// The sample type of a platform record. An extensible record (tag 0xFFFE)
// is typed by its sub-format's tag when the sub-format has the base form;
// 32 bits with 24 valid bits give WUSAMPLE_PCM24IN32. The extensible fields
// are read only when `cbSize` is at least 22 (else the sub-format counts as
// GUID_NULL and the result is 0), so an 18-byte record is never read past.
WUSAMPLETYPE WuAudio_GetSampleType(const WAVEFORMATEX* wfx);

// Tag, bits and bytes per sample of a type; 0 for 0, 128, 129 and unknown
// codes.
UINT WuAudio_FormatTagFromSampleType(WUSAMPLETYPE type);
UINT WuAudio_BitsFromSampleType(WUSAMPLETYPE type);
UINT WuAudio_BytesFromSampleType(WUSAMPLETYPE type);

// Full scale of a bit count: 8 -> 128, 16 -> 32768, 24 -> 2^23, 32 -> 2^31;
// any other value (a sample type code included) -> 1.0.
double WuAudio_GetNormalizeFactor(UINT bits);

// TRUE when the sub-format's bytes 2..15 equal the base identifier's; its
// tag is then the low 16 bits of the first field.
bool WuAudio_IsBaseFormGuid(const GUID& guid);
// The base identifier carrying `tag` in its first field.
GUID WuAudio_BaseGuid(DWORD tag);
