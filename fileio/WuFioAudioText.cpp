#include "fileio/WuFioAudioText.h"

#include <cstring>

#include "fileio/WuFioBitRateText.h"
#include "fileio/WuFioFormatNames.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/com/msacm.h"

namespace {

bool IsSubFormat(const WAVEFORMATEX* wfx, const GUID& sub) {
  if (wfx->wFormatTag != WAVE_FORMAT_EXTENSIBLE || wfx->cbSize < 22) return false;
  const auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(wfx);
  return std::memcmp(&ext->SubFormat, &sub, sizeof(GUID)) == 0;
}

// A text built part by part within `size` characters: every part is cut
// cleanly at the end of the room.
struct Line {
  LPWSTR out;
  int size;
  void Add(LPCWSTR text) { WuStrCatN(out, text, size); }
  bool Empty() const { return out[0] == 0; }
};

}  // namespace

LPWSTR WuAudio_GetChannelsText(UINT channels, DWORD mask, LPWSTR out, int size) {
  if (!out || size <= 0) return out;
  if (channels == 1)
    WuStrCpyNLen2(out, WuLangText(WuLangRow_FioChannelsMono), size);
  else if (channels == 2)
    WuStrCpyNLen2(out, WuLangText(WuLangRow_FioChannelsStereo), size);
  else if (mask == 0x3F || mask == 0x60F)
    WuStrCpyNLen2(out, WuLangText(WuLangRow_FioChannels51), size);
  else if (mask == 0xFF || mask == 0x63F)
    WuStrCpyNLen2(out, WuLangText(WuLangRow_FioChannels71), size);
  else
    WuPrintFN(out, size, WuLangText(WuLangRow_FioChannelsCount), static_cast<int>(channels));
  return out;
}

LPWSTR WuAudio_GetSampleTypeText(WUSAMPLETYPE type, LPWSTR out, int size) {
  if (!out || size <= 0) return out;
  out[0] = 0;
  switch (type) {
    case WUSAMPLE_PCM8: case WUSAMPLE_PCM16: case WUSAMPLE_PCM24: case WUSAMPLE_PCM32:
      WuPrintFN(out, size, WuLangText(WuLangRow_FioSampleBits), 8 * (type - 15));
      break;
    case WUSAMPLE_FLOAT32: case WUSAMPLE_FLOAT64:
      WuPrintFN(out, size, WuLangText(WuLangRow_FioSampleFloat), type == WUSAMPLE_FLOAT32 ? 32 : 64);
      break;
    case WUSAMPLE_PCM24IN32:
      WuStrCpyNLen2(out, WuLangText(WuLangRow_FioSampleUnpacked), size);
      break;
    case WUSAMPLE_PCM8S:
      WuStrCpyNLen2(out, WuLangText(WuLangRow_FioSampleSigned), size);
      break;
    case WUSAMPLE_PCM16BE: case WUSAMPLE_PCM24BE: case WUSAMPLE_PCM32BE:
      WuPrintFN(out, size, WuLangText(WuLangRow_FioSampleBigEndian), 8 * (type - 62));
      break;
    case WUSAMPLE_FE03_16: case WUSAMPLE_FE03_24:
      WuPrintFN(out, size, WuLangText(WuLangRow_FioSampleRightAligned),
                type == WUSAMPLE_FE03_16 ? 16 : 24);
      break;
    default:
      break;
  }
  return out;
}

LPWSTR WuAudio_GetSampleTypeText(const _wuwaveformat& format, LPWSTR out, int size) {
  return WuAudio_GetSampleTypeText(format.SampleType, out, size);
}

LPWSTR WuAudio_GetBitDepthText(WUSAMPLETYPE type, LPWSTR out, int size, BOOL precision) {
  if (!out || size <= 0) return out;
  int bits = 0;
  switch (type) {
    case WUSAMPLE_PCM8: case WUSAMPLE_PCM16: case WUSAMPLE_PCM24: case WUSAMPLE_PCM32:
      bits = 8 * (type - 15);
      break;
    case WUSAMPLE_FLOAT32: bits = precision ? 24 : 32; break;
    case WUSAMPLE_FLOAT64: bits = precision ? 53 : 64; break;
    case WUSAMPLE_PCM24IN32: bits = 24; break;
    case WUSAMPLE_PCM8S: bits = 8; break;
    case WUSAMPLE_PCM16BE: case WUSAMPLE_PCM24BE: case WUSAMPLE_PCM32BE:
      bits = 8 * (type - 62);
      break;
    case WUSAMPLE_FE03_16: bits = precision ? 16 : 32; break;
    case WUSAMPLE_FE03_24: bits = precision ? 24 : 32; break;
    default: break;
  }
  out[0] = 0;
  if (bits) WuPrintFN(out, size, WuLangText(WuLangRow_FioSampleBits), bits);
  return out;
}

LPWSTR WuAudio_GetBitDepthText(const _wuwaveformat& format, LPWSTR out, int size,
                               BOOL precision) {
  return WuAudio_GetBitDepthText(format.SampleType, out, size, precision);
}

LPCWSTR WuVideo_GetInterlaceTypeName(int type, BOOL fallback) {
  switch (type) {
    case 0: return WuLangText(WuLangRow_FioInterlaceProgressive);
    case 1: return WuLangText(WuLangRow_FioInterlaceUpperFirst);
    case 2: return WuLangText(WuLangRow_FioInterlaceLowerFirst);
    case 3: return WuLangText(WuLangRow_FioInterlaceOneField);
    case 4: return WuLangText(WuLangRow_FioInterlaceOneFieldDoubled);
    default: return fallback ? WuLangText(WuLangRow_FioInterlaceUndefined) : nullptr;
  }
}

int WuAudio_GetFormatText(const _wuwaveformat& source, LPWSTR out, int size, DWORD flags) {
  if (!out || size <= 0) return 0;
  out[0] = 0;
  // The fields are read from a 32-byte copy: the extra bytes are not needed.
  _wuwaveformat format{};
  std::memcpy(&format, &source, kWuWaveFormatFieldBytes);
  format.cbStruct = kWuWaveFormatFieldBytes;
  if (format.IsCompressed() && (flags & WUFMTTEXT_ASPCM)) {
    const WUSAMPLETYPE type = format.BitsPerSample() > 16 ? WUSAMPLE_PCM24 : WUSAMPLE_PCM16;
    _wuwaveformat decoded{};
    decoded.Init(format.nSamplesPerSec, type, format.nChannels, 0, kWuWaveFormatFieldBytes);
    format = decoded;
  } else if (format.IsCompressed() && (flags & WUFMTTEXT_ATTRIBS)) {
    WuAudio_GetAttribsText(source, out, size);
    return 0;
  }

  WCHAR separator[8];
  WuPrintFN(separator, 8, u"$, ");
  WCHAR part[WUPRINTF_MAX];
  Line line{out, size};

  if ((flags & WUFMTTEXT_BITRATE) && format.IsCompressed() && format.nAvgBytesPerSec != 0 &&
      static_cast<ULONGLONG>(format.nAvgBytesPerSec) !=
          static_cast<ULONGLONG>(format.nBlockAlign) * format.nChannels * format.nSamplesPerSec) {
    WuFio_FormatScaledValueText(static_cast<LONGLONG>(format.nAvgBytesPerSec) * 8, part,
                                WUPRINTF_MAX);
    line.Add(part);
    line.Add(separator);
  }
  WuPrintFN(part, WUPRINTF_MAX, WuLangText(WuLangRow_FioSampleRate),
            static_cast<int>(format.nSamplesPerSec));
  line.Add(part);

  part[0] = 0;
  if (format.SampleType != WUSAMPLE_NONE) {
    if (flags & WUFMTTEXT_PRECISION)
      WuAudio_GetBitDepthText(format.SampleType, part, WUPRINTF_MAX, TRUE);
    else
      WuAudio_GetSampleTypeText(format.SampleType, part, WUPRINTF_MAX);
  } else if (format.BitsPerSample() != 0 && format.nBlockAlign != 0) {
    WuPrintFN(part, WUPRINTF_MAX, WuLangText(WuLangRow_FioSampleBits),
              static_cast<int>(format.BitsPerSample()));
  }
  if (part[0]) {
    line.Add(separator);
    line.Add(part);
  }

  const UINT channels = format.nChannels;
  DWORD mask = format.dwChannelMask;
  if (mask == 0) mask = channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1;
  WuAudio_GetChannelsText(channels, mask, part, WUPRINTF_MAX);
  line.Add(separator);
  line.Add(part);

  const WORD tag = format.FormatTag();
  if (flags & WUFMTTEXT_NONAME) return 0;
  if ((flags & WUFMTTEXT_PRECISION) && (tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_IEEE_FLOAT))
    return 0;
  if (WuAudio_GetCompressionTypeName(tag, part, WUPRINTF_MAX,
                                     (flags & WUFMTTEXT_LONGNAME) ? FALSE : TRUE) == 0) {
    line.Add(separator);
    line.Add(part);
  }
  return 0;
}

HRESULT WuAudio_GetTagText(DWORD tag, LPWSTR out, int size) {
  if (!out || size <= 0) return E_INVALIDARG;
  const WuLangStringRow* row = nullptr;
  switch (tag) {
    case 0x0001: row = &WuLangRow_FioTagPcm; break;
    case 0x0003: row = &WuLangRow_FioTagFloat; break;
    case 0xFE00: row = &WuLangRow_FioTagUnpacked; break;
    case 0xFE01: row = &WuLangRow_FioTagSigned; break;
    case 0xFE02: row = &WuLangRow_FioTagBigEndian; break;
    default: break;
  }
  if (row) {
    WuStrCpyNLen2(out, WuLangText(*row), size);
    return S_OK;
  }
  ACMFORMATTAGDETAILSW details{};
  details.cbStruct = sizeof(details);
  details.dwFormatTag = tag;
  if (acmFormatTagDetailsW(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG) ==
      MMSYSERR_NOERROR) {
    details.szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS - 1] = 0;
    WuStrCpyNLen2(out, details.szFormatTag, size);
    return S_OK;
  }
  WuStrCpyNLen2(out, WuLangText(WuLangRow_FioTagUnknown), size);
  return E_FAIL;
}

HRESULT WuAudio_GetAttribsText(const WAVEFORMATEX* wfx, LPWSTR out, int size) {
  if (!wfx || !out || size <= 0) return E_INVALIDARG;
  const bool isFloat =
      wfx->wFormatTag == WAVE_FORMAT_IEEE_FLOAT || IsSubFormat(wfx, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT);
  const bool isPcm = wfx->wFormatTag == WAVE_FORMAT_PCM || IsSubFormat(wfx, KSDATAFORMAT_SUBTYPE_PCM);
  if (!isFloat && !isPcm) {
    ACMFORMATDETAILSW details{};
    details.cbStruct = sizeof(details);
    details.dwFormatTag = wfx->wFormatTag;
    details.pwfx = const_cast<WAVEFORMATEX*>(wfx);
    details.cbwfx = 18u + wfx->cbSize;
    if (acmFormatDetailsW(nullptr, &details, ACM_FORMATDETAILSF_FORMAT) == MMSYSERR_NOERROR) {
      details.szFormat[ACMFORMATDETAILS_FORMAT_CHARS - 1] = 0;
      WuStrCpyNLen2(out, details.szFormat, size);
      return S_OK;
    }
    WuStrCpyNLen2(out, WuLangText(WuLangRow_FioTagUnknown), size);
    return E_FAIL;
  }
  // Masks name 5.1 and 7.1 only in an extensible record that carries one.
  DWORD mask = 0;
  if (wfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE && wfx->cbSize > 21 &&
      (wfx->nChannels == 6 || wfx->nChannels == 8))
    mask = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(wfx)->dwChannelMask;
  if (wfx->nChannels == 6 && mask != 0x3F && mask != 0x60F) mask = 0;
  if (wfx->nChannels == 8 && mask != 0xFF && mask != 0x63F) mask = 0;
  WCHAR channels[64];
  WuAudio_GetChannelsText(wfx->nChannels, mask, channels, 64);
  WCHAR text[WUPRINTF_MAX];
  WuPrintFN(text, WUPRINTF_MAX, WuLangText(isFloat ? WuLangRow_FioAttribsFloat : WuLangRow_FioAttribs),
            static_cast<int>(wfx->nSamplesPerSec), static_cast<int>(wfx->wBitsPerSample),
            channels);
  WuStrCpyNLen2(out, text, size);
  return S_OK;
}

HRESULT WuAudio_GetAttribsText(const _wuwaveformat& format, LPWSTR out, int size) {
  const _wuwaveformat_wfxplus wfx(format);
  return WuAudio_GetAttribsText(&wfx, out, size);
}

void WuAudio_CopyWfxToWfExt(const WAVEFORMATEX* source, WAVEFORMATEXTENSIBLE* out) {
  if (!source || !out) return;
  const size_t bytes = source->cbSize < 23 ? 18u + source->cbSize : sizeof(WAVEFORMATEXTENSIBLE);
  std::memcpy(out, source, bytes);
}

void WuAudio_CopyWfExtToWfx(const WAVEFORMATEXTENSIBLE* source, WAVEFORMATEX* out) {
  if (!source || !out) return;
  const WAVEFORMATEX* wfx = &source->Format;
  if (wfx->wFormatTag != WAVE_FORMAT_EXTENSIBLE) {
    std::memcpy(out, wfx, sizeof(WAVEFORMATEX));
    return;
  }
  WORD tag = 0;
  if (IsSubFormat(wfx, KSDATAFORMAT_SUBTYPE_PCM))
    tag = WAVE_FORMAT_PCM;
  else if (IsSubFormat(wfx, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT))
    tag = WAVE_FORMAT_IEEE_FLOAT;
  else
    return;
  std::memcpy(out, wfx, 16);
  out->wFormatTag = tag;
  out->cbSize = 0;
}
