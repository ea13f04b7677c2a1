// Reading the older template generation and lifting it to the current one.
#include "fileio/WuFioTemplateV1.h"

#include <cstdlib>
#include <cstring>

#include "audio/WuWaveFormat.h"
#include "fileio/WuFioCommon.h"
#include "fileio/WuFioTemplate.h"
#include "foundation/WuStatus.h"

namespace {

HRESULT ReadWord(IStream* stream, DWORD* value) { return WuFio_ReadExact(stream, value, 4); }

// A stored length, refused above the cap before anything is allocated.
HRESULT ReadLength(IStream* stream, DWORD* length) {
  HRESULT hr = ReadWord(stream, length);
  if (FAILED(hr)) return hr;
  return *length > WUTEMPLATEV1_MAX_LENGTH ? WU_E_BAD_DATA : S_OK;
}

// Reads `length` bytes into a blob that is replaced (NULL when 0).
HRESULT ReadBlob(IStream* stream, DWORD length, BYTE** blob) {
  std::free(*blob);
  *blob = nullptr;
  if (length == 0) return S_OK;
  *blob = static_cast<BYTE*>(std::malloc(length));
  if (!*blob) return E_OUTOFMEMORY;
  return WuFio_ReadExact(stream, *blob, length);
}

// Reads private data into a buffer grown when too small, dropped at 0.
HRESULT ReadPrivate(IStream* stream, DWORD length, BYTE** data, DWORD* capacity) {
  if (length == 0) {
    std::free(*data);
    *data = nullptr;
    *capacity = 0;
    return S_OK;
  }
  if (length > *capacity || !*data) {
    std::free(*data);
    *capacity = 0;
    *data = static_cast<BYTE*>(std::malloc(length));
    if (!*data) return E_OUTOFMEMORY;
    *capacity = length;
  }
  return WuFio_ReadExact(stream, *data, length);
}

void FreeAudio(WUTEMPLATExV1_AUDIO* audio) {
  if (!audio) return;
  std::free(audio->format);
  std::free(audio->privateData);
  std::free(audio);
}

void FreeVideo(WUTEMPLATExV1_VIDEO* video) {
  if (!video) return;
  std::free(video->source);
  std::free(video->output);
  std::free(video->privateData);
  std::free(video);
}

HRESULT ReadAudio(IStream* stream, WUTEMPLATExV1_AUDIO* a) {
  HRESULT hr = WuFio_ReadExact(stream, &a->header, sizeof(a->header));
  if (SUCCEEDED(hr)) hr = ReadWord(stream, &a->attribute);
  if (SUCCEEDED(hr)) hr = ReadLength(stream, &a->formatLength);
  if (SUCCEEDED(hr)) hr = ReadBlob(stream, a->formatLength, &a->format);
  if (SUCCEEDED(hr)) hr = WuFio_ReadExact(stream, a->encoderSettings, sizeof(a->encoderSettings));
  if (SUCCEEDED(hr)) hr = ReadLength(stream, &a->privateLength);
  if (SUCCEEDED(hr)) hr = ReadPrivate(stream, a->privateLength, &a->privateData, &a->privateCapacity);
  return hr;
}

// A header length of 0 is E_UNEXPECTED.
HRESULT ReadHeaderBlob(IStream* stream, DWORD* length, BYTE** blob) {
  HRESULT hr = ReadLength(stream, length);
  if (FAILED(hr)) return hr;
  if (*length == 0) return E_UNEXPECTED;
  return ReadBlob(stream, *length, blob);
}

HRESULT ReadVideo(IStream* stream, WUTEMPLATExV1_VIDEO* v) {
  HRESULT hr = ReadHeaderBlob(stream, &v->sourceLength, &v->source);
  if (SUCCEEDED(hr)) hr = ReadWord(stream, &v->sourceAttribute);
  if (SUCCEEDED(hr)) hr = WuFio_ReadExact(stream, v->sourceSettings, sizeof(v->sourceSettings));
  if (SUCCEEDED(hr)) hr = ReadHeaderBlob(stream, &v->outputLength, &v->output);
  if (SUCCEEDED(hr)) hr = ReadWord(stream, &v->outputAttribute);
  if (SUCCEEDED(hr)) hr = WuFio_ReadExact(stream, v->outputSettings, sizeof(v->outputSettings));
  if (SUCCEEDED(hr)) hr = ReadLength(stream, &v->privateLength);
  if (SUCCEEDED(hr)) hr = ReadPrivate(stream, v->privateLength, &v->privateData, &v->privateCapacity);
  return hr;
}

HRESULT ReadParts(WUTEMPLATExV1* record, IStream* stream) {
  HRESULT hr = WuFio_ReadExact(stream, record->name, sizeof(record->name));
  if (SUCCEEDED(hr)) hr = WuFio_ReadExact(stream, record->notes, sizeof(record->notes));
  if (FAILED(hr)) return hr;
  // Texts end at unit 259 whatever was stored.
  record->name[WUTEMPLATEV1_TEXT_UNITS - 1] = 0;
  record->notes[WUTEMPLATEV1_TEXT_UNITS - 1] = 0;

  DWORD present = 0;
  hr = ReadWord(stream, &present);
  if (FAILED(hr)) return hr;
  if (present) {
    if (!record->audio) {
      record->audio = static_cast<WUTEMPLATExV1_AUDIO*>(std::calloc(1, sizeof(WUTEMPLATExV1_AUDIO)));
      if (!record->audio) return E_OUTOFMEMORY;
    }
    hr = ReadAudio(stream, record->audio);
    if (FAILED(hr)) return hr;
  } else {
    FreeAudio(record->audio);
    record->audio = nullptr;
  }

  hr = ReadWord(stream, &present);
  if (FAILED(hr)) return hr;
  if (present) {
    if (!record->video) {
      record->video = static_cast<WUTEMPLATExV1_VIDEO*>(std::calloc(1, sizeof(WUTEMPLATExV1_VIDEO)));
      if (!record->video) return E_OUTOFMEMORY;
    }
    hr = ReadVideo(stream, record->video);
  } else {
    FreeVideo(record->video);
    record->video = nullptr;
  }
  return hr;
}

// The source format at 72 from the 18-byte header. The header's extra-byte
// count is taken as 0: only 18 bytes of it were stored.
void LiftHeader(const WAVEFORMATEX& stored, tagWUTEMPLATExV2* r) {
  WAVEFORMATEX header = stored;
  if (header.wFormatTag == WAVE_FORMAT_EXTENSIBLE)
    header.wFormatTag = header.wBitsPerSample >= 32 ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
  header.cbSize = 0;
  reinterpret_cast<_wuwaveformat*>(r->audio.format)->Init(sizeof(r->audio.format), header);
}

// The encoded format at 144 from the full wave-format record of L bytes.
HRESULT LiftEncodedFormat(const BYTE* format, DWORD length, tagWUTEMPLATExV2* r) {
  if (length == 0) return S_OK;  // no encoded format
  if (length < 16) return WU_E_BAD_DATA;
  auto* target = reinterpret_cast<_wuwaveformat*>(r->audio.encodedFormat);
  WORD tag = static_cast<WORD>(format[0] | format[1] << 8);
  if (tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_IEEE_FLOAT) {
    // A 16-byte record has no extra-byte count; Init reads 18 bytes.
    WAVEFORMATEX plain{};
    std::memcpy(&plain, format, length < sizeof(plain) ? length : sizeof(plain));
    if (length < sizeof(plain)) plain.cbSize = 0;
    target->Init(sizeof(r->audio.encodedFormat), plain);
    return S_OK;
  }
  if (length < sizeof(WAVEFORMATEX)) return WU_E_BAD_DATA;
  WAVEFORMATEX header;
  std::memcpy(&header, format, sizeof(header));
  DWORD need = sizeof(WAVEFORMATEX) + header.cbSize;
  if (need > length || need > sizeof(r->audio.encodedFormat)) return WU_E_BAD_DATA;
  target->Init(sizeof(r->audio.encodedFormat), *reinterpret_cast<const WAVEFORMATEX*>(format));
  return S_OK;
}

}  // namespace

void WuFio_FreeTemplateDataV1(WUTEMPLATExV1* record) {
  if (!record) return;
  FreeAudio(record->audio);
  FreeVideo(record->video);
  record->audio = nullptr;
  record->video = nullptr;
}

HRESULT WuFio_LoadTemplateDataV1(WUTEMPLATExV1* record, IStream* stream, DWORD highestVersion,
                                 BOOL headerRead) {
  if (!record || !stream) return E_POINTER;
  HRESULT hr = S_OK;
  if (!headerRead) {
    hr = ReadWord(stream, &record->totalSize);
    if (SUCCEEDED(hr)) hr = ReadWord(stream, &record->version);
    if (FAILED(hr)) {
      WuFio_FreeTemplateDataV1(record);
      return hr;
    }
  }
  DWORD generation = record->version >> 24;
  if (generation > (highestVersion >> 24) || generation > 0x02) {
    WuFio_FreeTemplateDataV1(record);
    return WU_E_BAD_DATA;
  }
  hr = ReadParts(record, stream);
  if (FAILED(hr)) WuFio_FreeTemplateDataV1(record);
  return hr;
}

HRESULT WuFio_LiftTemplateV1(tagWUTEMPLATExV2** out, const WUTEMPLATExV1* v1,
                             IWuRenderFileClass* cls) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!v1) return E_POINTER;
  const WUTEMPLATExV1_AUDIO* a = v1->audio;
  const WUTEMPLATExV1_VIDEO* v = v1->video;
  DWORD audioPrivate = a ? a->privateLength : 0;
  DWORD videoPrivate = v ? v->privateLength : 0;
  if (audioPrivate > WUTEMPLATEV1_MAX_LENGTH || videoPrivate > WUTEMPLATEV1_MAX_LENGTH)
    return WU_E_BAD_DATA;
  if (v && (v->sourceLength < sizeof(BITMAPINFOHEADER) || v->outputLength < sizeof(BITMAPINFOHEADER)))
    return WU_E_BAD_DATA;

  // Texts are bounded by their arrays even if a caller left them unterminated.
  WCHAR name[WUTEMPLATEV1_TEXT_UNITS], notes[WUTEMPLATEV1_TEXT_UNITS];
  std::memcpy(name, v1->name, sizeof(name));
  std::memcpy(notes, v1->notes, sizeof(notes));
  name[WUTEMPLATEV1_TEXT_UNITS - 1] = notes[WUTEMPLATEV1_TEXT_UNITS - 1] = 0;
  tagWUTEMPLATExV2* r =
      WuFio_NewTemplate(name, notes, static_cast<LONG>(audioPrivate + videoPrivate), nullptr);
  if (!r) return E_OUTOFMEMORY;
  r->version = (v1->version & 0x00FFFFFF) | WUTEMPLATE_VERSION_V2;

  if (a) {
    r->audio.blockSize = WUTEMPLATE_BLOCK_SIZE;
    r->audio.streamCount = a->attribute;
    LiftHeader(a->header, r);
    std::memcpy(r->audio.encoderSettings, a->encoderSettings, sizeof(r->audio.encoderSettings));
    HRESULT hr = LiftEncodedFormat(a->format, a->format ? a->formatLength : 0, r);
    if (FAILED(hr)) {
      WuFio_ReleaseTemplate(r);
      return hr;
    }
    if (audioPrivate) std::memcpy(r->PrivateData(), a->privateData, audioPrivate);
  }
  if (v) {
    r->video.blockSize = WUTEMPLATE_BLOCK_SIZE;
    r->video.streamCount = v->sourceAttribute;
    std::memcpy(&r->video.source, v->source, sizeof(BITMAPINFOHEADER));
    std::memcpy(r->video.settings, v->sourceSettings, sizeof(r->video.settings));
    std::memcpy(&r->video.output, v->output, sizeof(BITMAPINFOHEADER));
    if (videoPrivate) std::memcpy(r->PrivateData() + audioPrivate, v->privateData, videoPrivate);
  }

  if (r->privateSize > 0 && cls) {
    GUID id{};
    if (SUCCEEDED(cls->GetClassId(&id))) r->classId = id;
    r->guid = WuFio_MakeUpliftedV1TemplateGuid(r);
    tagWUTEMPLATExV2* converted = nullptr;
    HRESULT hr = cls->ConvertTemplate(&converted, r, 1);
    if (hr != E_NOTIMPL) {
      if (FAILED(hr)) {
        if (converted != r) WuFio_ReleaseTemplate(converted);
        WuFio_ReleaseTemplate(r);
        return hr;
      }
      if (converted && converted != r) {
        WuFio_ReleaseTemplate(r);
        r = converted;
      }
    }
  }
  *out = r;
  return S_OK;
}

HRESULT WuFio_ReadAndLiftTemplateV1(tagWUTEMPLATExV2** out, IStream* stream, DWORD size,
                                    DWORD version, IWuRenderFileClass* cls) {
  if (!out) return E_POINTER;
  *out = nullptr;
  WUTEMPLATExV1 v1{};
  v1.totalSize = size;
  v1.version = version;
  HRESULT hr = WuFio_LoadTemplateDataV1(&v1, stream, WUTEMPLATE_VERSION_V2, TRUE);
  if (SUCCEEDED(hr)) hr = WuFio_LiftTemplateV1(out, &v1, cls);
  WuFio_FreeTemplateDataV1(&v1);
  return hr;
}
