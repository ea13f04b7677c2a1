#include "audio/WuWfx.h"

#include <bit>
#include <cstddef>
#include <cstring>

namespace {

// The bytes of an extensible record past the 18-byte header.
constexpr UINT kExtensibleCbSize = 22;

}  // namespace

DWORD WuAudio_DefaultChannelMask(DWORD channels) {
  if (channels >= 32) return 0xFFFFFFFF;
  return static_cast<DWORD>((uint64_t{1} << channels) - 1);
}

bool WuAudio_ReadExtensibleFields(const WAVEFORMATEX* wfx, WuWfxExtensibleFields* out) {
  out->valid_bits = 0;
  out->mask = 0;
  out->sub_format = GUID_NULL;
  if (wfx->wFormatTag != WAVE_FORMAT_EXTENSIBLE || wfx->cbSize < kExtensibleCbSize) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(wfx);
  std::memcpy(&out->valid_bits, bytes + offsetof(WAVEFORMATEXTENSIBLE, Samples), 2);
  std::memcpy(&out->mask, bytes + offsetof(WAVEFORMATEXTENSIBLE, dwChannelMask), 4);
  std::memcpy(&out->sub_format, bytes + offsetof(WAVEFORMATEXTENSIBLE, SubFormat), 16);
  return true;
}

void WuAudio_InitWfx(WAVEFORMATEX* wfx, DWORD rate, WUSAMPLETYPE type, DWORD channels) {
  WuAudio_InitWfxFlex(wfx, WuAudio_FormatTagFromSampleType(type), rate,
                      WuAudio_BitsFromSampleType(type), channels, 0, sizeof(WAVEFORMATEX));
}

void WuAudio_InitWfxFlex(WAVEFORMATEX* wfx, DWORD tag, DWORD rate, DWORD bits, DWORD channels,
                         DWORD mask, UINT room) {
  if (mask != 0) {
    DWORD written = static_cast<DWORD>(std::popcount(mask)) > channels ? 0 : mask;
    bool extensible = (channels > 2 || mask != WuAudio_DefaultChannelMask(channels)) &&
                      room >= sizeof(WAVEFORMATEXTENSIBLE);
    if (extensible) {
      WuAudio_InitWfExt(reinterpret_cast<WAVEFORMATEXTENSIBLE*>(wfx), WuAudio_BaseGuid(tag), rate,
                        bits, channels, bits, written);
      return;
    }
  }
  wfx->wFormatTag = static_cast<WORD>(tag);
  wfx->nChannels = static_cast<WORD>(channels);
  wfx->nSamplesPerSec = rate;
  wfx->wBitsPerSample = static_cast<WORD>(bits);
  wfx->nBlockAlign = static_cast<WORD>((bits / 8) * channels);
  wfx->nAvgBytesPerSec = static_cast<DWORD>(wfx->nBlockAlign) * rate;
  wfx->cbSize = 0;
}

void WuAudio_InitWfExt(WAVEFORMATEXTENSIBLE* dest, const GUID& sub_format, DWORD rate,
                       DWORD bits, DWORD channels, DWORD valid_bits, DWORD mask) {
  WAVEFORMATEXTENSIBLE ext;
  ext.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  ext.Format.nChannels = static_cast<WORD>(channels);
  ext.Format.nSamplesPerSec = rate;
  ext.Format.wBitsPerSample = static_cast<WORD>(bits);
  ext.Format.nBlockAlign = static_cast<WORD>((bits / 8) * channels);
  ext.Format.nAvgBytesPerSec = static_cast<DWORD>(ext.Format.nBlockAlign) * rate;
  ext.Format.cbSize = kExtensibleCbSize;
  ext.Samples.wValidBitsPerSample = static_cast<WORD>(valid_bits);
  ext.dwChannelMask = mask != 0 ? mask : WuAudio_DefaultChannelMask(channels);
  ext.SubFormat = sub_format;
  std::memcpy(dest, &ext, sizeof(ext));
}

BOOL WuAudio_IsEqualFormat(const WAVEFORMATEX* a, const WAVEFORMATEX* b) {
  return a->nChannels == b->nChannels && a->nSamplesPerSec == b->nSamplesPerSec &&
                 a->wFormatTag == b->wFormatTag && a->wBitsPerSample == b->wBitsPerSample
             ? TRUE
             : FALSE;
}

BOOL WuAudio_IsCompressed(const WAVEFORMATEX* wfx) {
  switch (wfx->wFormatTag) {
    case WAVE_FORMAT_EXTENSIBLE:
      return WuAudio_IsCompressedExtensible(reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(wfx));
    case WAVE_FORMAT_PCM:
    case WAVE_FORMAT_IEEE_FLOAT:
    case WAVE_FORMAT_WU_PCM24IN32:
    case WAVE_FORMAT_WU_PCMSIGNED:
    case WAVE_FORMAT_WU_PCMBE:
      return wfx->nBlockAlign != wfx->nChannels * (wfx->wBitsPerSample / 8) ? TRUE : FALSE;
  }
  return TRUE;
}

BOOL WuAudio_IsCompressedExtensible(const WAVEFORMATEXTENSIBLE* wfext) {
  // Below 22 bytes after the header there is no sub-format to read.
  if (wfext->Format.cbSize < kExtensibleCbSize) return TRUE;
  GUID sub_format;
  std::memcpy(&sub_format, reinterpret_cast<const unsigned char*>(wfext) +
                               offsetof(WAVEFORMATEXTENSIBLE, SubFormat),
              sizeof(GUID));
  if (sub_format == KSDATAFORMAT_SUBTYPE_PCM || sub_format == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT)
    return FALSE;
  return TRUE;
}

WORD WuAudio_GetWaveFormatTag(const WAVEFORMATEX* wfx) {
  if (!wfx) return 0;
  WuWfxExtensibleFields ext;
  if (!WuAudio_ReadExtensibleFields(wfx, &ext)) return wfx->wFormatTag;
  if (WuAudio_IsBaseFormGuid(ext.sub_format)) return static_cast<WORD>(ext.sub_format.Data1);
  return 0;
}

BOOL WuAudio_GetFormatTagExtensible(const WAVEFORMATEXTENSIBLE* wfext, DWORD* tag) {
  WuWfxExtensibleFields ext;
  if (!WuAudio_ReadExtensibleFields(&wfext->Format, &ext)) return FALSE;
  if (ext.sub_format == KSDATAFORMAT_SUBTYPE_PCM) {
    *tag = WAVE_FORMAT_PCM;
    return TRUE;
  }
  if (ext.sub_format == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT) {
    *tag = WAVE_FORMAT_IEEE_FLOAT;
    return TRUE;
  }
  return FALSE;
}

BOOL WuAudio_FixBadWfx(WAVEFORMATEX* wfx) {
  if (wfx->wFormatTag != WAVE_FORMAT_PCM) return FALSE;
  BOOL changed = FALSE;
  if (wfx->wBitsPerSample == 20) {
    wfx->wBitsPerSample = 24;
    changed = TRUE;
  }
  WORD block = static_cast<WORD>(wfx->nChannels * (wfx->wBitsPerSample / 8));
  if (wfx->nBlockAlign != block) {
    wfx->nBlockAlign = block;
    changed = TRUE;
  }
  return changed;
}
