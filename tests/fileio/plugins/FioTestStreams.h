// The formats the test files answer, and their audio and video streams
// (each offering its current interface and the old version-1 one). See
// FioTestIds.h for the values.
#pragma once

#include <cstring>

#include "audio/WuWaveFormat.h"
#include "platform/com/mmreg.h"
#include "tests/fileio/kit/WuFioTestPlugin.h"
#include "tests/fileio/plugins/FioTestIds.h"

namespace fio_test {

// The 18-byte wave record of the audio stream (PCM, cbSize 0).
inline void WaveBytes(BYTE out[18]) {
  WAVEFORMATEX wave = {};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = kStreamChannels;
  wave.nSamplesPerSec = kStreamRate;
  wave.nBlockAlign = static_cast<WORD>(kStreamChannels * 2);
  wave.nAvgBytesPerSec = kStreamRate * wave.nBlockAlign;
  wave.wBitsPerSample = 16;
  std::memcpy(out, &wave, 18);
}

inline BITMAPINFOHEADER VideoHeader() {
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = kVideoWidth;
  header.biHeight = kVideoHeight;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<DWORD>(kVideoWidth * kVideoHeight * 3);
  return header;
}

inline tWUVIDEOEXTENSION VideoExtension() {
  tWUVIDEOEXTENSION extension = {};
  extension.size = sizeof(tWUVIDEOEXTENSION);
  extension.attributes = -1;
  extension.interlace = -1;
  extension.frameRate = kVideoRate;
  extension.pixelAspect = 1.0;
  return extension;
}

// A version-2 answer for `type` into a record whose size word the caller
// preset (E_INVALIDARG when it is below 184).
inline HRESULT AnswerV2(_WUFILESTREAMFORMATINFOv2* record, DWORD type) {
  if (record->size < WUFILESTREAMFORMATINFO_SIZE) return E_INVALIDARG;
  std::memset(reinterpret_cast<BYTE*>(record) + 4, 0, WUFILESTREAMFORMATINFO_SIZE - 4);
  record->streamType = type;
  if (type == WUFILESTREAMTYPE_AUDIO) {
    record->length = kAudioLength;
    // The library's wave record, filled field by field (a plug-in links
    // nothing of ours).
    _wuwaveformat wave = {};
    wave.cbStruct = 32;
    wave.SampleType = WUSAMPLE_PCM16;
    wave.nSamplesPerSec = kStreamRate;
    wave.nChannels = kStreamChannels;
    wave.nBlockAlign = static_cast<WORD>(kStreamChannels * 2);
    wave.nAvgBytesPerSec = kStreamRate * wave.nBlockAlign;
    std::memcpy(record->format, &wave, sizeof(wave));
    std::memset(record->extension.audio.bytes, kAudioExtensionByte, sizeof(tWUAUDIOEXTENSION));
  } else {
    record->length = kVideoLength;
    BITMAPINFOHEADER header = VideoHeader();
    std::memcpy(record->format, &header, sizeof(header));
    record->extension.video = VideoExtension();
  }
  return S_OK;
}

// A version-1 answer for `type`: the format (`waveBytes` of the wave record
// for audio) and the extension go into the buffers when they are large
// enough; the sizes needed or written are reported either way.
inline HRESULT AnswerV1(DWORD type, DWORD waveBytes, bool huge, void* format, DWORD formatBytes,
                        DWORD* formatNeeded, void* extension, DWORD extensionBytes,
                        DWORD* extensionNeeded) {
  BYTE formatData[40] = {};
  DWORD formatSize = 0;
  BYTE extensionData[64] = {};
  DWORD extensionSize = 0;
  if (type == WUFILESTREAMTYPE_AUDIO) {
    WaveBytes(formatData);
    formatSize = waveBytes;
    std::memset(extensionData, kAudioExtensionByte, 32);
    extensionSize = 32;
  } else {
    BITMAPINFOHEADER header = VideoHeader();
    std::memcpy(formatData, &header, sizeof(header));
    formatSize = sizeof(header);
    tWUVIDEOEXTENSION video = VideoExtension();
    std::memcpy(extensionData, &video, sizeof(video));
    extensionSize = sizeof(video);
  }
  *formatNeeded = huge ? (1u << 30) : formatSize;
  *extensionNeeded = extensionSize;
  if (format && formatBytes >= formatSize) std::memcpy(format, formatData, formatSize);
  if (extension && extensionBytes >= extensionSize)
    std::memcpy(extension, extensionData, extensionSize);
  return S_OK;
}

// A compressed answer for `type` (size word preset as for AnswerV2): an
// MPEG audio record of the stream's rate and channels, or an MJPG header of
// the video's size.
inline HRESULT AnswerCompressed(_WUFILESTREAMFORMATINFOv2* record, DWORD type) {
  HRESULT hr = AnswerV2(record, type);
  if (FAILED(hr)) return hr;
  if (type == WUFILESTREAMTYPE_AUDIO) {
    _wuwaveformat wave = {};
    wave.cbStruct = 32;
    wave.nSamplesPerSec = kStreamRate;
    wave.nChannels = kStreamChannels;
    wave.nBlockAlign = 1;
    wave.dwFlags = WUWAVEFORMAT_COMPRESSED;
    wave.wFormatTag = kAudioCompressedTag;
    wave.nAvgBytesPerSec = 16000;
    std::memcpy(record->format, &wave, sizeof(wave));
  } else {
    BITMAPINFOHEADER header = VideoHeader();
    header.biCompression = kVideoCompression;
    header.biSizeImage = 0;
    std::memcpy(record->format, &header, sizeof(header));
  }
  return S_OK;
}

// The 16 bytes a version-1 stream gives of its length.
inline void LengthV1(DWORD type, void* out) {
  LONGLONG length = type == WUFILESTREAMTYPE_AUDIO ? kAudioLength : kVideoLength;
  std::memcpy(out, &length, 8);
  std::memcpy(static_cast<BYTE*>(out) + 8, kV1Values, 8);
}

// The common part of the two streams: counted live, one reference count
// for all interfaces (`Extra` ones are answered by the stream itself).
template <class Current, class Old, class... Extra>
class StreamBase : public Current, public Old, public Extra... {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWuReadStream) ||
        IsEqualGUID(iid, currentIid_))
      *object = static_cast<Current*>(this);
    else if (IsEqualGUID(iid, oldIid_))
      *object = static_cast<Old*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT GetClass(IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT GetFile(IWuReadFile**) override { return E_NOTIMPL; }
  HRESULT GetStreamType(DWORD* type) override {
    *type = type_;
    return S_OK;
  }
  HRESULT GetStreamIndex(LONG* stream) override {
    *stream = type_ == WUFILESTREAMTYPE_AUDIO ? 0 : 1;
    return S_OK;
  }
  HRESULT GetLength(LONGLONG* length) override {
    *length = type_ == WUFILESTREAMTYPE_AUDIO ? kAudioLength : kVideoLength;
    return S_OK;
  }
  HRESULT Seek(LONGLONG) override { return E_NOTIMPL; }
  HRESULT GetPosition(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT Read(void*, DWORD, DWORD*) override { return E_NOTIMPL; }

 protected:
  StreamBase(DWORD type, const IID& current, const IID& old, DWORD waveBytes, char fail)
      : type_(type), currentIid_(current), oldIid_(old), waveBytes_(waveBytes), fail_(fail) {
    WuFioTestCount(kWuFioTestLive, 1);
  }
  virtual ~StreamBase() { WuFioTestCount(kWuFioTestLive, -1); }

  const DWORD type_;         // WUFILESTREAMTYPE_AUDIO or _VIDEO
  const IID currentIid_;     // the version-2 interface
  const IID oldIid_;         // the version-1 interface
  const DWORD waveBytes_;    // bytes of the version-1 wave record (16 or 18)
  const char fail_;          // the query that fails (kFail*), else none

 private:
  std::atomic<ULONG> references_{1};
};

class AudioStream final : public StreamBase<IWuReadAudioStream, IWuReadAudioStreamV1> {
 public:
  AudioStream(DWORD waveBytes, char fail)
      : StreamBase(WUFILESTREAMTYPE_AUDIO, IID_IWuReadAudioStream, IID_IWuReadAudioStreamV1,
                   waveBytes, fail) {}
  HRESULT ReadSamples(void*, LONGLONG, LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT GetSampleCount(LONGLONG* frames) override { return GetLength(frames); }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* record) override {
    return fail_ == kFailAudioFormat ? kStreamFailure : AnswerV2(record, type_);
  }
  HRESULT GetCompressedFormat(_WUFILESTREAMFORMATINFOv2* record) override {
    return fail_ == kFailAudioCompressed ? kStreamFailure : AnswerCompressed(record, type_);
  }
  HRESULT GetSampleType(DWORD*) override { return E_NOTIMPL; }
  HRESULT SetSampleType(DWORD) override { return E_NOTIMPL; }
  HRESULT GetChannelCount(LONG* channels) override {
    *channels = kStreamChannels;
    return S_OK;
  }
  HRESULT GetSampleRate(DWORD* rate) override {
    *rate = kStreamRate;
    return S_OK;
  }
  HRESULT GetLengthV1(void* out) override {
    LengthV1(type_, out);
    return S_OK;
  }
  HRESULT GetFormatV1(void* format, DWORD formatBytes, DWORD* formatNeeded, void* extension,
                      DWORD extensionBytes, DWORD* extensionNeeded) override {
    return AnswerV1(type_, waveBytes_, false, format, formatBytes, formatNeeded, extension,
                    extensionBytes, extensionNeeded);
  }

 private:
  ~AudioStream() override = default;
};

// The video stream also answers the video-format interface, whose format
// (12) is the same method as the current interface's.
class VideoStream final
    : public StreamBase<IWuReadVideoStream, IWuReadVideoStreamV1, IWuReadVideoStreamFormat> {
 public:
  explicit VideoStream(char fail)
      : StreamBase(WUFILESTREAMTYPE_VIDEO, IID_IWuReadVideoStream, IID_IWuReadVideoStreamV1,
                   18, fail) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object || !IsEqualGUID(iid, IID_IWuReadVideoStreamFormat))
      return StreamBase::QueryInterface(iid, object);
    *object = static_cast<IWuReadVideoStreamFormat*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT GetFrameCount(LONGLONG* frames) override { return GetLength(frames); }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* record) override {
    return fail_ == kFailVideoFormat ? kStreamFailure : AnswerV2(record, type_);
  }
  HRESULT GetFormatKinds(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetCompressedFormat(_WUFILESTREAMFORMATINFOv2* record) override {
    return fail_ == kFailVideoCompressed ? kStreamFailure : AnswerCompressed(record, type_);
  }
  HRESULT ReadFrame(LONGLONG, void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetFrameRate(double* rate) override {
    *rate = kVideoRate;
    return S_OK;
  }
  HRESULT GetFrameSize(LONG* width, LONG* height) override {
    *width = kVideoWidth;
    *height = kVideoHeight;
    return S_OK;
  }
  HRESULT GetPixelType(LONG*) override { return E_NOTIMPL; }
  HRESULT SetPixelType(LONG) override { return E_NOTIMPL; }
  HRESULT GetFieldOrder(LONG*) override { return E_NOTIMPL; }
  HRESULT GetAspectRatio(LONG*, LONG*) override { return E_NOTIMPL; }
  HRESULT GetKeyFrame(LONGLONG, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetFrameBytes(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetTimecode(LONGLONG, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetFrameCountV1(LONGLONG* frames) override { return GetLength(frames); }
  HRESULT ReadFrameV1(LONGLONG, void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetLengthV1(void* out) override {
    LengthV1(type_, out);
    return S_OK;
  }
  HRESULT GetFormatV1(void* format, DWORD formatBytes, DWORD* formatNeeded, void* extension,
                      DWORD extensionBytes, DWORD* extensionNeeded) override {
    return AnswerV1(type_, 40, false, format, formatBytes, formatNeeded, extension,
                    extensionBytes, extensionNeeded);
  }

 private:
  ~VideoStream() override = default;
};

}  // namespace fio_test
