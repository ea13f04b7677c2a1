#include "audio/WuSampleType.h"

#include <cstring>

#include "audio/SampleTypeTable.h"
#include "audio/WuWfx.h"

namespace {

// The whole base identifier 00000000-0000-0010-8000-00AA00389B71 of the
// platform sub-formats. A sub-format of the base form carries its 16-bit
// format tag in bytes 0 and 1 (the low half of the first field), so
// WuAudio_IsBaseFormGuid compares bytes 2..15 with this constant's.
constexpr GUID kBaseGuid = {0x00000000, 0x0000, 0x0010,
                            {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

}  // namespace

WUSAMPLETYPE WuAudio_GetSampleType2(UINT tag, UINT bits) {
  switch (tag) {
    case WAVE_FORMAT_PCM:
      switch (bits) {
        case 8: return WUSAMPLE_PCM8;
        case 16: return WUSAMPLE_PCM16;
        case 20:
        case 24: return WUSAMPLE_PCM24;
        case 32: return WUSAMPLE_PCM32;
      }
      break;
    case WAVE_FORMAT_IEEE_FLOAT:
      if (bits == 32) return WUSAMPLE_FLOAT32;
      if (bits == 64) return WUSAMPLE_FLOAT64;
      break;
    case WAVE_FORMAT_WU_PCM24IN32:
      if (bits == 24 || bits == 32) return WUSAMPLE_PCM24IN32;
      break;
    case WAVE_FORMAT_WU_PCMSIGNED:
      switch (bits) {
        case 8: return WUSAMPLE_PCM8S;
        case 16: return WUSAMPLE_PCM16;
        case 20:
        case 24: return WUSAMPLE_PCM24;
        case 32: return WUSAMPLE_PCM32;
      }
      break;
    case WAVE_FORMAT_WU_PCMBE:
      switch (bits) {
        case 8: return WUSAMPLE_PCM8;
        case 16: return WUSAMPLE_PCM16BE;
        case 24: return WUSAMPLE_PCM24BE;
        case 32: return WUSAMPLE_PCM32BE;
      }
      break;
    case WAVE_FORMAT_WU_FE03:
      if (bits == 16) return WUSAMPLE_FE03_16;
      if (bits == 24) return WUSAMPLE_FE03_24;
      break;
  }
  return WUSAMPLE_NONE;
}

WUSAMPLETYPE WuAudio_GetSampleType(const WAVEFORMATEX* wfx) {
  if (wfx->wFormatTag != WAVE_FORMAT_EXTENSIBLE)
    return WuAudio_GetSampleType2(wfx->wFormatTag, wfx->wBitsPerSample);
  WuWfxExtensibleFields ext;
  WuAudio_ReadExtensibleFields(wfx, &ext);
  if (!WuAudio_IsBaseFormGuid(ext.sub_format)) return WUSAMPLE_NONE;
  WUSAMPLETYPE type = WuAudio_GetSampleType2(ext.sub_format.Data1 & 0xFFFF, wfx->wBitsPerSample);
  if (type == WUSAMPLE_PCM32 && ext.valid_bits == 24) type = WUSAMPLE_PCM24IN32;
  return type;
}

UINT WuAudio_FormatTagFromSampleType(WUSAMPLETYPE type) {
  const wuaudio::SampleTypeRow* row = wuaudio::FindSampleType(type);
  return row ? row->tag : 0;
}

UINT WuAudio_BitsFromSampleType(WUSAMPLETYPE type) {
  const wuaudio::SampleTypeRow* row = wuaudio::FindSampleType(type);
  return row ? row->bits : 0;
}

UINT WuAudio_BytesFromSampleType(WUSAMPLETYPE type) { return wuaudio::BytesOf(type); }

double WuAudio_GetNormalizeFactor(UINT bits) {
  switch (bits) {
    case 8: return 128.0;
    case 16: return 32768.0;
    case 24: return 8388608.0;
    case 32: return 2147483648.0;
  }
  return 1.0;
}

bool WuAudio_IsBaseFormGuid(const GUID& guid) {
  unsigned char a[16];
  unsigned char b[16];
  std::memcpy(a, &guid, 16);
  std::memcpy(b, &kBaseGuid, 16);
  return std::memcmp(a + 2, b + 2, 14) == 0;
}

GUID WuAudio_BaseGuid(DWORD tag) {
  GUID guid = kBaseGuid;
  guid.Data1 = tag;
  return guid;
}
