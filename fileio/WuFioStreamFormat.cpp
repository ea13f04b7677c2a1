#include "fileio/WuFioStreamFormat.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "audio/WuWaveFormat.h"
#include "foundation/WuStatus.h"
#include "imaging/WuPixelTypes.h"
#include "platform/com/mmreg.h"
#include "platform/gdi/gdi.h"

// The video extension is the imaging library's video format record.
static_assert(sizeof(tWUVIDEOEXTENSION) == sizeof(WUVIDEOFORMATINFO));
static_assert(offsetof(tWUVIDEOEXTENSION, size) == offsetof(WUVIDEOFORMATINFO, size));
static_assert(offsetof(tWUVIDEOEXTENSION, attributes) == offsetof(WUVIDEOFORMATINFO, attributes));
static_assert(offsetof(tWUVIDEOEXTENSION, interlace) == offsetof(WUVIDEOFORMATINFO, interlace));
static_assert(offsetof(tWUVIDEOEXTENSION, frameRate) == offsetof(WUVIDEOFORMATINFO, frameRate));
static_assert(offsetof(tWUVIDEOEXTENSION, pixelAspect) ==
              offsetof(WUVIDEOFORMATINFO, pixelAspect));
// The format area holds each of its records.
static_assert(sizeof(_WUFILESTREAMFORMATINFOv2::format) >= sizeof(BITMAPINFOHEADER));
static_assert(sizeof(_WUFILESTREAMFORMATINFOv2::format) >= sizeof(_wuwaveformat));

namespace {

constexpr DWORD kFormatRoom = sizeof(_WUFILESTREAMFORMATINFOv2::format);  // 96
constexpr DWORD kOtherFormatBytes = 20;
constexpr DWORD kOtherExtensionBytes = 40;
constexpr DWORD kPlainWaveBytes = 16;  // PCM and float headers without cbSize

// Zero-fills the record and writes its size, type and length.
void Begin(_WUFILESTREAMFORMATINFOv2* record, DWORD type, LONGLONG length) {
  std::memset(record, 0, sizeof(*record));
  record->size = WUFILESTREAMFORMATINFO_SIZE;
  record->streamType = type;
  record->length = length;
}

_wuwaveformat* WaveArea(_WUFILESTREAMFORMATINFOv2* record) {
  return reinterpret_cast<_wuwaveformat*>(record->format);
}

// A heap buffer of `bytes` zero bytes (none for 0).
struct Buffer {
  std::unique_ptr<BYTE[]> bytes;
  DWORD size = 0;
  bool Allocate(DWORD n) {
    size = n;
    if (n == 0) return true;
    bytes.reset(new (std::nothrow) BYTE[n]());
    return bytes != nullptr;
  }
  // Bytes the plug-in wrote that lie inside the buffer.
  DWORD Written(DWORD claimed) const { return bytes ? std::min(claimed, size) : 0; }
};

// Copies min(written, room) bytes into `dest` of `room` bytes already zero.
void CopyShort(BYTE* dest, DWORD room, const Buffer& from, DWORD written) {
  if (written > 0) std::memcpy(dest, from.bytes.get(), std::min(written, room));
}

}  // namespace

void WuFio_SetStreamFormatInfo(_WUFILESTREAMFORMATINFOv2* record, const _wuwaveformat* format,
                               const tWUAUDIOEXTENSION* extension, LONGLONG length) {
  if (!record) return;
  Begin(record, WUFILESTREAMTYPE_AUDIO, length);
  if (format) WuAudio_GeneralCopyWuWaveFormat(WaveArea(record), kFormatRoom, *format,
                                              WUCOPYDEST_ASSOURCE);
  if (extension) record->extension.audio = *extension;
}

void WuFio_SetStreamFormatInfo(_WUFILESTREAMFORMATINFOv2* record, const WAVEFORMATEX* format,
                               const tWUAUDIOEXTENSION* extension, LONGLONG length) {
  if (!record) return;
  Begin(record, WUFILESTREAMTYPE_AUDIO, length);
  if (format) WaveArea(record)->Init(kFormatRoom, *format);
  if (extension) record->extension.audio = *extension;
}

void WuFio_SetStreamFormatInfo(_WUFILESTREAMFORMATINFOv2* record, const BITMAPINFOHEADER* format,
                               const tWUVIDEOEXTENSION* extension, LONGLONG length) {
  if (!record) return;
  Begin(record, WUFILESTREAMTYPE_VIDEO, length);
  if (format) std::memcpy(record->format, format, sizeof(*format));
  if (extension) record->extension.video = *extension;
}

HRESULT WuFio_FillStreamFormatInfo(IWuReadStream* stream, DWORD type,
                                   _WUFILESTREAMFORMATINFOv2* record) {
  if (!stream || !record) return E_POINTER;
  const DWORD size = std::max(record->size, WUFILESTREAMFORMATINFO_SIZE);
  std::memset(record, 0, size);
  record->size = size;
  record->streamType = type;
  HRESULT hr;
  if (type == WUFILESTREAMTYPE_AUDIO) {
    IWuReadAudioStream* audio = nullptr;
    hr = stream->QueryInterface(IID_IWuReadAudioStream, reinterpret_cast<void**>(&audio));
    if (FAILED(hr)) return hr;
    hr = audio->GetStreamFormat(record);
    audio->Release();
  } else if (type == WUFILESTREAMTYPE_VIDEO) {
    IWuReadVideoStream* video = nullptr;
    hr = stream->QueryInterface(IID_IWuReadVideoStream, reinterpret_cast<void**>(&video));
    if (FAILED(hr)) return hr;
    hr = video->GetStreamFormat(record);
    video->Release();
  } else {
    hr = E_INVALIDARG;
  }
  return hr;
}

HRESULT WuFio_FillStreamFormatInfo(IWuReadStream* stream, DWORD type,
                                   _WUFILESTREAMFORMATINFOv1* record) {
  if (!stream || !record) return E_POINTER;
  std::memset(record, 0, sizeof(*record));
  record->streamType = type;
  HRESULT hr;
  if (type == WUFILESTREAMTYPE_AUDIO) {
    IWuReadAudioStreamV1* audio = nullptr;
    hr = stream->QueryInterface(IID_IWuReadAudioStreamV1, reinterpret_cast<void**>(&audio));
    if (FAILED(hr)) return hr;
    hr = audio->GetFormatV1(record->format, record->formatBytes, &record->formatNeeded,
                            record->extension, record->extensionBytes,
                            &record->extensionNeeded);
    audio->GetLengthV1(&record->length);
    audio->Release();
  } else if (type == WUFILESTREAMTYPE_VIDEO) {
    IWuReadVideoStreamV1* video = nullptr;
    hr = stream->QueryInterface(IID_IWuReadVideoStreamV1, reinterpret_cast<void**>(&video));
    if (FAILED(hr)) return hr;
    hr = video->GetFormatV1(record->format, record->formatBytes, &record->formatNeeded,
                            record->extension, record->extensionBytes,
                            &record->extensionNeeded);
    video->GetLengthV1(&record->length);
    video->Release();
  } else {
    hr = E_INVALIDARG;
  }
  return hr;
}

HRESULT WuFio_ConvertToV2ifV1(IWuReadFile* file, LONG stream, _WUFILESTREAMFORMATINFOv2* record,
                              DWORD expectedSize) {
  if (!record) return E_POINTER;
  const DWORD word0 = record->size;
  if (word0 == expectedSize || (word0 != WUFILESTREAMTYPE_AUDIO &&
                                word0 != WUFILESTREAMTYPE_VIDEO))
    return 1;
  if (!file) return E_POINTER;

  // The plug-in took the record for a version-1 one: its words 3 and 6
  // name the buffer sizes it needs.
  _WUFILESTREAMFORMATINFOv1 answer;
  std::memcpy(&answer, record, sizeof(answer));
  record->size = expectedSize;
  if (answer.formatNeeded > WUFIO_V1_BUFFER_LIMIT ||
      answer.extensionNeeded > WUFIO_V1_BUFFER_LIMIT)
    return WU_E_BAD_DATA;
  Buffer format, extension;
  if (!format.Allocate(answer.formatNeeded) || !extension.Allocate(answer.extensionNeeded))
    return E_OUTOFMEMORY;

  // The version-1 record sits in a zeroed version-2 one, so that a plug-in
  // that writes the newer record after all stays inside our memory.
  union {
    _WUFILESTREAMFORMATINFOv1 v1;
    _WUFILESTREAMFORMATINFOv2 room;
  } request{};
  _WUFILESTREAMFORMATINFOv1& v1 = request.v1;
  v1.format = format.bytes.get();
  v1.formatBytes = format.size;
  v1.extension = extension.bytes.get();
  v1.extensionBytes = extension.size;
  HRESULT hr = file->GetStreamFormat(&request.room, stream, 1);
  if (FAILED(hr)) return hr;

  const DWORD formatWritten = format.Written(v1.formatNeeded);
  const DWORD extensionWritten = extension.Written(v1.extensionNeeded);
  const BYTE* wave = format.bytes.get();

  // Check the format before the record is touched.
  WAVEFORMATEX plain{};  // a 16-byte header made whole (cbSize 0)
  if (v1.streamType == WUFILESTREAMTYPE_AUDIO && formatWritten > 0) {
    WORD tag = 0;
    if (formatWritten >= sizeof(tag)) std::memcpy(&tag, wave, sizeof(tag));
    if (tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_IEEE_FLOAT) {
      if (formatWritten < kPlainWaveBytes) return WU_E_BAD_DATA;
      std::memcpy(&plain, wave, kPlainWaveBytes);
      wave = reinterpret_cast<const BYTE*>(&plain);
    } else {
      if (formatWritten < sizeof(WAVEFORMATEX)) return WU_E_BAD_DATA;
      WAVEFORMATEX head;
      std::memcpy(&head, wave, sizeof(head));
      if (formatWritten < sizeof(WAVEFORMATEX) + head.cbSize) return WU_E_BAD_DATA;
    }
  } else if (v1.streamType == WUFILESTREAMTYPE_VIDEO && formatWritten > 0 &&
             formatWritten < sizeof(BITMAPINFOHEADER)) {
    return WU_E_BAD_DATA;
  }

  std::memset(record, 0, WUFILESTREAMFORMATINFO_SIZE);
  record->size = WUFILESTREAMFORMATINFO_SIZE;
  record->streamType = v1.streamType;
  record->length = v1.length;
  record->values[0] = v1.values[0];
  record->values[1] = v1.values[1];
  switch (v1.streamType) {
    case WUFILESTREAMTYPE_AUDIO:
      if (formatWritten > 0)
        WaveArea(record)->Init(kFormatRoom, *reinterpret_cast<const WAVEFORMATEX*>(wave));
      CopyShort(record->extension.audio.bytes, sizeof(tWUAUDIOEXTENSION), extension,
                extensionWritten);
      break;
    case WUFILESTREAMTYPE_VIDEO:
      CopyShort(record->format, sizeof(BITMAPINFOHEADER), format, formatWritten);
      CopyShort(record->extension.bytes, sizeof(tWUVIDEOEXTENSION), extension,
                extensionWritten);
      break;
    case WUFILESTREAMTYPE_OTHER:
      CopyShort(record->format, kOtherFormatBytes, format, formatWritten);
      CopyShort(record->extension.other, kOtherExtensionBytes, extension, extensionWritten);
      break;
    default:
      break;
  }
  record->size = expectedSize;
  return 0;
}
