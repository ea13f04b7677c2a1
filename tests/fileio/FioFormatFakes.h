// Fakes for the helper tests: a manager whose metric operations answer
// what a test sets and record what they were given, and a stream and an
// open file that answer format requests in either record version.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/WuFileIO.h"

namespace fio_test {

// A manager of which only the metric operations work. Every metric
// operation answers `status`; the readers first write `value`, `text`
// (its length to *chars) or `bytes` (their count to *got) when `writes`.
// The writers record their arguments.
class FakeMetricManager final : public IWuFileIOManager {
 public:
  HRESULT status = S_OK;
  bool writes = true;
  LONG value = 0;
  std::u16string text;
  std::vector<BYTE> bytes;
  // The last call: its operation and arguments.
  std::string called;
  DWORD id = 0;
  LONG argument = 0;  // SetMetric's value, DeleteMetric's kind, a reader's size
  std::u16string textGiven;
  std::vector<BYTE> dataGiven;

  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetMetric(DWORD which, LONG* out) override {
    Note("GetMetric", which, 0);
    if (writes) *out = value;
    return status;
  }
  HRESULT SetMetric(DWORD which, LONG given) override {
    Note("SetMetric", which, given);
    return status;
  }
  HRESULT GetMetricString(DWORD which, LPWSTR buffer, LONG size, LONG* chars) override {
    Note("GetMetricString", which, size);
    if (writes) {
      if (size > 0) {
        size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
        std::memcpy(buffer, text.data(), n * sizeof(WCHAR));
        buffer[n] = 0;
      }
      *chars = static_cast<LONG>(text.size());
    }
    return status;
  }
  HRESULT SetMetricString(DWORD which, LPCWSTR given) override {
    Note("SetMetricString", which, 0);
    textGiven = given ? given : u"";
    return status;
  }
  HRESULT DeleteMetric(DWORD which, LONG kind) override {
    Note("DeleteMetric", which, kind);
    return status;
  }
  HRESULT GetMetricBinary(DWORD which, void* buffer, DWORD size, DWORD* got) override {
    Note("GetMetricBinary", which, static_cast<LONG>(size));
    if (writes) {
      if (!bytes.empty()) std::memcpy(buffer, bytes.data(), std::min<size_t>(bytes.size(), size));
      *got = static_cast<DWORD>(bytes.size());
    }
    return status;
  }
  HRESULT SetMetricBinary(DWORD which, const void* data, DWORD size) override {
    Note("SetMetricBinary", which, static_cast<LONG>(size));
    const BYTE* b = static_cast<const BYTE*>(data);
    dataGiven.assign(b, b + size);
    return status;
  }
  void DeletingDestructor(LONG) override {}
  HRESULT GetLanguageId(DWORD*, LONG) override { return E_NOTIMPL; }
  HRESULT Reserved4() override { return E_NOTIMPL; }
  HRESULT Reserved12() override { return E_NOTIMPL; }
  HRESULT GetReaderClassByTypeCode(IWuReadFileClass**, LONG) override { return E_NOTIMPL; }
  HRESULT GetReaderClassById(IWuReadFileClass**, GUID) override { return E_NOTIMPL; }
  HRESULT GetRendererClassById(IWuRenderFileClass**, GUID) override { return E_NOTIMPL; }
  HRESULT FindReaderClassByExtension(IWuReadFileClass**, LPCWSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT FindRendererClassByExtension(IWuRenderFileClass**, LPCWSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT OpenFile(LPCWSTR, IWuReadFile**, DWORD) override { return E_NOTIMPL; }
  HRESULT OpenFileWithClass(LPCWSTR, IWuReadFile**, GUID, DWORD) override { return E_NOTIMPL; }
  HRESULT EditTemplate(HWND, IWuRenderFileClass*, LONG, const void*, DWORD*, IStream*, tagWUTEMPLATExV2*, tagWUTEMPLATExV2**) override { return E_NOTIMPL; }
  HRESULT Initialize(DWORD) override { return E_NOTIMPL; }
  HRESULT Shutdown() override { return E_NOTIMPL; }
  HRESULT GetReaderEnum(IWuFileIOTypeEnum**) override { return E_NOTIMPL; }
  HRESULT GetRendererEnum(IWuFileIOTypeEnum**) override { return E_NOTIMPL; }
  LONG GetReaderCount() override { return 0; }
  LONG GetRendererCount() override { return 0; }
  HRESULT IdentifyReader(HANDLE, LPCWSTR, LONG*, DWORD) override { return E_NOTIMPL; }
  HRESULT FindReaderByFileName(LPCWSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT GetReaderClassByKey(IWuReadFileClass**, LONG) override { return E_NOTIMPL; }
  HRESULT GetRendererClassByKey(IWuRenderFileClass**, LONG) override { return E_NOTIMPL; }
  HRESULT FindRendererClassByDialogName(IWuRenderFileClass**, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT Reserved32() override { return E_NOTIMPL; }
  HRESULT FindLockingReaderClass(LPCWSTR, IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT NotifyReaderOfFile(LPCWSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT GetPluginCount(LONG*) override { return E_NOTIMPL; }
  HRESULT HasPlugin(GUID) override { return E_NOTIMPL; }
  HRESULT GetPluginEnum(IWuFIOPluginEnum**) override { return E_NOTIMPL; }
  HRESULT GetPluginInfo(GUID, WUFIO_PLUGIN_INFO*) override { return E_NOTIMPL; }
  HRESULT CreateFilterBuilder(IWuFioFilterBuilder2**, LONG, LONG, DWORD) override { return E_NOTIMPL; }
  HRESULT CreateFilterBuilderEx(IWuFioFilterBuilder2**, LONG, DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
  HRESULT InitializeEx(DWORD, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT LoadPluginsFromCache(tWULIST*, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT AddPluginCandidates(tWULIST**, const WCHAR* const*, LONG, DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT FindPlugins(tWULIST**, DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT Reserved46() override { return E_NOTIMPL; }
  HRESULT ApplyInitializationMetrics(const _WUFIO_INITIALIZATION_METRICS*) override { return E_NOTIMPL; }
  HRESULT SetPluginList(tWULIST*, DWORD, const GUID*, LONG) override { return E_NOTIMPL; }
  HRESULT SaveCache(DWORD) override { return E_NOTIMPL; }
  HRESULT GetReaderKeyByTypeCode(LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT GetLastUsedReaderClass(IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT NoteReaderClassUsed(IWuReadFileClass*) override { return E_NOTIMPL; }
  HRESULT GetLastUsedRendererClass(IWuRenderFileClass**) override { return E_NOTIMPL; }
  HRESULT NoteRendererClassUsed(IWuRenderFileClass*) override { return E_NOTIMPL; }

 private:
  void Note(const char* what, DWORD which, LONG arg) {
    called = what;
    id = which;
    argument = arg;
  }
};

// A stream that offers the audio and video interfaces of both versions
// (QueryInterface refuses those of `refused`). Format requests record the
// interface asked and answer `answer`: version 2 copies `v2` (184 bytes
// after the caller's size word) into the record, version 1 writes
// `formatNeeded`, `extensionNeeded` and the 16 bytes of `lengthBytes`.
class FakeFormatStream final : public IWuReadAudioStream,
                               public IWuReadAudioStreamV1,
                               public IWuReadVideoStream,
                               public IWuReadVideoStreamV1 {
 public:
  HRESULT answer = S_OK;
  IID refused{};
  _WUFILESTREAMFORMATINFOv2 v2{};
  DWORD formatNeeded = 0;
  DWORD extensionNeeded = 0;
  BYTE lengthBytes[16] = {};
  // What was asked: the interfaces queried, the operations called, and
  // the buffers GetFormatV1 was offered.
  std::vector<IID> queried;
  std::vector<std::string> calls;
  const void* formatOffered = nullptr;
  DWORD formatBytesOffered = 0;
  LONG refs = 0;

  HRESULT QueryInterface(REFIID iid, void** out) override {
    queried.push_back(iid);
    *out = nullptr;
    if (iid == refused) return E_NOINTERFACE;
    if (iid == IID_IUnknown || iid == IID_IWuReadStream || iid == IID_IWuReadAudioStream)
      *out = static_cast<IWuReadAudioStream*>(this);
    else if (iid == IID_IWuReadAudioStreamV1)
      *out = static_cast<IWuReadAudioStreamV1*>(this);
    else if (iid == IID_IWuReadVideoStream)
      *out = static_cast<IWuReadVideoStream*>(this);
    else if (iid == IID_IWuReadVideoStreamV1)
      *out = static_cast<IWuReadVideoStreamV1*>(this);
    else
      return E_NOINTERFACE;
    ++refs;
    return S_OK;
  }
  ULONG AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG Release() override { return static_cast<ULONG>(--refs); }

  // Version 2 (audio operation 13, video operation 12).
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* record) override {
    calls.push_back("GetStreamFormat");
    const DWORD size = record->size;
    std::memcpy(reinterpret_cast<BYTE*>(record) + 4, reinterpret_cast<const BYTE*>(&v2) + 4,
                sizeof(v2) - 4);
    record->size = size;
    return answer;
  }
  // Version 1 (audio 11 and 12, video 13 and 14).
  HRESULT GetLengthV1(void* out) override {
    calls.push_back("GetLengthV1");
    std::memcpy(out, lengthBytes, sizeof(lengthBytes));
    return E_FAIL;  // not used by the caller
  }
  HRESULT GetFormatV1(void* format, DWORD formatBytes, DWORD* formatNeededOut, void*, DWORD,
                      DWORD* extensionNeededOut) override {
    calls.push_back("GetFormatV1");
    formatOffered = format;
    formatBytesOffered = formatBytes;
    *formatNeededOut = formatNeeded;
    *extensionNeededOut = extensionNeeded;
    return answer;
  }

  HRESULT GetClass(IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT GetFile(IWuReadFile**) override { return E_NOTIMPL; }
  HRESULT GetStreamType(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetStreamIndex(LONG*) override { return E_NOTIMPL; }
  HRESULT GetLength(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT Seek(LONGLONG) override { return E_NOTIMPL; }
  HRESULT GetPosition(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT Read(void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT ReadSamples(void*, LONGLONG, LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT GetSampleCount(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetCompressedFormat(_WUFILESTREAMFORMATINFOv2*) override { return E_NOTIMPL; }
  HRESULT GetSampleType(DWORD*) override { return E_NOTIMPL; }
  HRESULT SetSampleType(DWORD) override { return E_NOTIMPL; }
  HRESULT GetChannelCount(LONG*) override { return E_NOTIMPL; }
  HRESULT GetSampleRate(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetFrameCount(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT ReadFrame(LONGLONG, void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetFrameRate(double*) override { return E_NOTIMPL; }
  HRESULT GetFrameSize(LONG*, LONG*) override { return E_NOTIMPL; }
  HRESULT GetPixelType(LONG*) override { return E_NOTIMPL; }
  HRESULT SetPixelType(LONG) override { return E_NOTIMPL; }
  HRESULT GetFieldOrder(LONG*) override { return E_NOTIMPL; }
  HRESULT GetAspectRatio(LONG*, LONG*) override { return E_NOTIMPL; }
  HRESULT GetKeyFrame(LONGLONG, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetFrameBytes(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetTimecode(LONGLONG, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetFrameCountV1(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT ReadFrameV1(LONGLONG, void*, DWORD, DWORD*) override { return E_NOTIMPL; }

  IWuReadStream* AsStream() { return static_cast<IWuReadAudioStream*>(this); }
};

// An open file whose stream format operation (17) answers a version-1
// request: it writes up to the offered room of `format` and `extension`,
// reports `formatWritten` and `extensionWritten` (the sizes it claims to
// have written), the stream type `type` and the 16 bytes of `lengthBytes`.
class FakeV1File final : public IWuReadFile {
 public:
  HRESULT answer = S_OK;
  DWORD type = WUFILESTREAMTYPE_AUDIO;
  std::vector<BYTE> format;
  std::vector<BYTE> extension;
  DWORD formatWritten = 0;
  DWORD extensionWritten = 0;
  BYTE lengthBytes[16] = {};
  int calls = 0;
  LONG streamAsked = -1;
  LONG flagAsked = -1;
  DWORD formatRoom = 0;
  DWORD extensionRoom = 0;

  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* record, LONG stream, LONG flag) override {
    ++calls;
    streamAsked = stream;
    flagAsked = flag;
    auto* v1 = reinterpret_cast<_WUFILESTREAMFORMATINFOv1*>(record);
    formatRoom = v1->formatBytes;
    extensionRoom = v1->extensionBytes;
    if (FAILED(answer)) return answer;
    v1->streamType = type;
    if (v1->format && !format.empty())
      std::memcpy(v1->format, format.data(), std::min<size_t>(format.size(), v1->formatBytes));
    if (v1->extension && !extension.empty())
      std::memcpy(v1->extension, extension.data(),
                  std::min<size_t>(extension.size(), v1->extensionBytes));
    v1->formatNeeded = formatWritten;
    v1->extensionNeeded = extensionWritten;
    std::memcpy(&v1->length, lengthBytes, sizeof(lengthBytes));
    return answer;
  }

  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetClass(IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT GetFileText(LPWSTR, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT GetStreamText(LPWSTR, LONG, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT GetFileValue(void*, DWORD, LONG) override { return E_NOTIMPL; }
  HRESULT GetStreamValue(void*, DWORD, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT Clone(IWuReadFile**) override { return E_NOTIMPL; }
  HRESULT GetFileSize(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetFlags(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
  HRESULT GetFileName(LPWSTR) override { return E_NOTIMPL; }
  HRESULT GetDuration(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetStreamCount(LONG*) override { return E_NOTIMPL; }
  HRESULT FindStream(DWORD, LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT GetStreamIdentity(LONG, DWORD*, LONG*) override { return E_NOTIMPL; }
  HRESULT GetDefaultStream(DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT OpenStream(IWuReadStream**, LONG, DWORD, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT GetMetadataTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetMetaReader(IWuReadMeta**) override { return E_NOTIMPL; }
  HRESULT Close() override { return E_NOTIMPL; }
};

}  // namespace fio_test
