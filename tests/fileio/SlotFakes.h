// Fakes of the file-I/O interfaces for layout tests: every operation
// records which method the call reached and on which object, and does
// nothing else.
#pragma once

#include "fileio/WuFileIO.h"

namespace wu_test {

// The method and object of the last call into any fake.
struct SlotHit {
  const char* method = nullptr;
  const void* object = nullptr;
};
inline SlotHit g_slotHit;

inline HRESULT Hit(const void* object, const char* method) {
  g_slotHit = {method, object};
  return S_OK;
}

class FakeWuFileIOMgrForApp final : public IWuFileIOMgrForApp {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetLanguageId(DWORD*, LONG) override { return Hit(this, __func__); }
  HRESULT Reserved4() override { return Hit(this, __func__); }
  HRESULT GetMetric(DWORD, LONG*) override { return Hit(this, __func__); }
  HRESULT SetMetric(DWORD, LONG) override { return Hit(this, __func__); }
  HRESULT GetMetricString(DWORD, LPWSTR, LONG, LONG*) override { return Hit(this, __func__); }
  HRESULT SetMetricString(DWORD, LPCWSTR) override { return Hit(this, __func__); }
  HRESULT DeleteMetric(DWORD, LONG) override { return Hit(this, __func__); }
  HRESULT GetMetricBinary(DWORD, void*, DWORD, DWORD*) override { return Hit(this, __func__); }
  HRESULT SetMetricBinary(DWORD, const void*, DWORD) override { return Hit(this, __func__); }
  HRESULT Reserved12() override { return Hit(this, __func__); }
  HRESULT GetReaderClassByTypeCode(IWuReadFileClass**, LONG) override { return Hit(this, __func__); }
  HRESULT GetReaderClassById(IWuReadFileClass**, GUID) override { return Hit(this, __func__); }
  HRESULT GetRendererClassById(IWuRenderFileClass**, GUID) override { return Hit(this, __func__); }
  HRESULT FindReaderClassByExtension(IWuReadFileClass**, LPCWSTR, LONG*) override { return Hit(this, __func__); }
  HRESULT FindRendererClassByExtension(IWuRenderFileClass**, LPCWSTR, LONG*) override { return Hit(this, __func__); }
  HRESULT OpenFile(LPCWSTR, IWuReadFile**, DWORD) override { return Hit(this, __func__); }
  HRESULT OpenFileWithClass(LPCWSTR, IWuReadFile**, GUID, DWORD) override { return Hit(this, __func__); }
  HRESULT EditTemplate(HWND, IWuRenderFileClass*, LONG, const void*, DWORD*, IStream*, tagWUTEMPLATExV2*, tagWUTEMPLATExV2**) override { return Hit(this, __func__); }
  HRESULT Initialize(DWORD) override { return Hit(this, __func__); }
  HRESULT Shutdown() override { return Hit(this, __func__); }
  HRESULT GetReaderEnum(IWuFileIOTypeEnum**) override { return Hit(this, __func__); }
  HRESULT GetRendererEnum(IWuFileIOTypeEnum**) override { return Hit(this, __func__); }
  LONG GetReaderCount() override { return static_cast<LONG>(Hit(this, __func__)); }
  LONG GetRendererCount() override { return static_cast<LONG>(Hit(this, __func__)); }
  HRESULT IdentifyReader(HANDLE, LPCWSTR, LONG*, DWORD) override { return Hit(this, __func__); }
  HRESULT FindReaderByFileName(LPCWSTR, LONG*) override { return Hit(this, __func__); }
  HRESULT GetReaderClassByKey(IWuReadFileClass**, LONG) override { return Hit(this, __func__); }
  HRESULT GetRendererClassByKey(IWuRenderFileClass**, LONG) override { return Hit(this, __func__); }
  HRESULT FindRendererClassByDialogName(IWuRenderFileClass**, LPCWSTR) override { return Hit(this, __func__); }
  HRESULT Reserved32() override { return Hit(this, __func__); }
  HRESULT FindLockingReaderClass(LPCWSTR, IWuReadFileClass**) override { return Hit(this, __func__); }
  HRESULT NotifyReaderOfFile(LPCWSTR, DWORD) override { return Hit(this, __func__); }
  HRESULT GetPluginCount(LONG*) override { return Hit(this, __func__); }
  HRESULT HasPlugin(GUID) override { return Hit(this, __func__); }
  HRESULT GetPluginEnum(IWuFIOPluginEnum**) override { return Hit(this, __func__); }
  HRESULT GetPluginInfo(GUID, WUFIO_PLUGIN_INFO*) override { return Hit(this, __func__); }
  HRESULT CreateFilterBuilder(IWuFioFilterBuilder2**, LONG, LONG, DWORD) override { return Hit(this, __func__); }
  HRESULT CreateFilterBuilderEx(IWuFioFilterBuilder2**, LONG, DWORD, DWORD, DWORD) override { return Hit(this, __func__); }
  void DeletingDestructor(LONG) override { Hit(this, __func__); }
  HRESULT InitializeEx(DWORD, LPCWSTR) override { return Hit(this, __func__); }
  HRESULT LoadPluginsFromCache(tWULIST*, DWORD, void*) override { return Hit(this, __func__); }
  HRESULT AddPluginCandidates(tWULIST**, const WCHAR* const*, LONG, DWORD, LONG*) override { return Hit(this, __func__); }
  HRESULT FindPlugins(tWULIST**, DWORD, LONG*) override { return Hit(this, __func__); }
  HRESULT Reserved46() override { return Hit(this, __func__); }
  HRESULT ApplyInitializationMetrics(const _WUFIO_INITIALIZATION_METRICS*) override { return Hit(this, __func__); }
  HRESULT SetPluginList(tWULIST*, DWORD, const GUID*, LONG) override { return Hit(this, __func__); }
  HRESULT SaveCache(DWORD) override { return Hit(this, __func__); }
  HRESULT GetReaderKeyByTypeCode(LONG, LONG*) override { return Hit(this, __func__); }
  HRESULT GetLastUsedReaderClass(IWuReadFileClass**) override { return Hit(this, __func__); }
  HRESULT NoteReaderClassUsed(IWuReadFileClass*) override { return Hit(this, __func__); }
  HRESULT GetLastUsedRendererClass(IWuRenderFileClass**) override { return Hit(this, __func__); }
  HRESULT NoteRendererClassUsed(IWuRenderFileClass*) override { return Hit(this, __func__); }
};

class FakeWuReadFileClass final : public IWuReadFileClass {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT SetIndex(LONG) override { return Hit(this, __func__); }
  HRESULT GetKey(LONG*) override { return Hit(this, __func__); }
  HRESULT Initialize(IWuFileIOManager*) override { return Hit(this, __func__); }
  HRESULT GetManager(IWuFileIOManager**) override { return Hit(this, __func__); }
  HRESULT GetClassId(GUID*) override { return Hit(this, __func__); }
  HRESULT GetFlags(DWORD*, DWORD*) override { return Hit(this, __func__); }
  HRESULT GetStreamTypes(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetRendererClass(IWuRenderFileClass**) override { return Hit(this, __func__); }
  HRESULT GetStrings(const DWORD*, LONG, BSTR*) override { return Hit(this, __func__); }
  HRESULT CheckFile(HANDLE, const void*, DWORD, LPCWSTR) override { return Hit(this, __func__); }
  HRESULT CheckPath(LPCWSTR) override { return Hit(this, __func__); }
  HRESULT GetMetadataTypes(DWORD*) override { return Hit(this, __func__); }
  HRESULT Open(IWuReadFile**, HANDLE, DWORD, LPCWSTR, LONG) override { return Hit(this, __func__); }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return Hit(this, __func__); }
  HRESULT SetProperty(DWORD, LONGLONG) override { return Hit(this, __func__); }
  HRESULT GetState(HRESULT*, BSTR*) override { return Hit(this, __func__); }
};

class FakeWuRenderFileClass final : public IWuRenderFileClass {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT SetIndex(LONG) override { return Hit(this, __func__); }
  HRESULT GetKey(LONG*) override { return Hit(this, __func__); }
  HRESULT Initialize(IWuFileIOManager*) override { return Hit(this, __func__); }
  HRESULT GetManager(IWuFileIOManager**) override { return Hit(this, __func__); }
  HRESULT GetClassId(GUID*) override { return Hit(this, __func__); }
  HRESULT GetPartMask(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetFlags(DWORD*, DWORD*) override { return Hit(this, __func__); }
  HRESULT GetReaderClass(IWuReadFileClass**) override { return Hit(this, __func__); }
  HRESULT GetStrings(const DWORD*, LONG, BSTR*) override { return Hit(this, __func__); }
  HRESULT CheckTemplate(const tagWUTEMPLATExV2*) override { return Hit(this, __func__); }
  HRESULT CreateRenderFile(IWuRenderFile**, LPCWSTR, const tagWUTEMPLATExV2*, HANDLE, DWORD) override { return Hit(this, __func__); }
  HRESULT GetPresetCount(LONG*) override { return Hit(this, __func__); }
  HRESULT GetPreset(tagWUTEMPLATExV2**, LONG) override { return Hit(this, __func__); }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return Hit(this, __func__); }
  HRESULT SetProperty(DWORD, LONGLONG) override { return Hit(this, __func__); }
  HRESULT ConvertTemplate(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*, LONG) override { return Hit(this, __func__); }
  HRESULT TemplateOperation(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*, const tagWUTEMPLATExV2*, LONG) override { return Hit(this, __func__); }
  HRESULT GetTemplateInfo(const tagWUTEMPLATExV2*, void*, DWORD, DWORD) override { return Hit(this, __func__); }
  HRESULT GetPageCount(LONG*, LONG*, DWORD*) override { return Hit(this, __func__); }
  HRESULT GetPage(LONG, REFIID, void**) override { return Hit(this, __func__); }
  HRESULT PreparePages(HWND) override { return Hit(this, __func__); }
  HRESULT GetSettings(void*, DWORD, DWORD*) override { return Hit(this, __func__); }
  HRESULT SetSettings(const void*, DWORD) override { return Hit(this, __func__); }
  HRESULT GetState(HRESULT*, BSTR*) override { return Hit(this, __func__); }
};

class FakeWuReadFile final : public IWuReadFile {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetClass(IWuReadFileClass**) override { return Hit(this, __func__); }
  HRESULT GetFileText(LPWSTR, LONG, LONG) override { return Hit(this, __func__); }
  HRESULT GetStreamText(LPWSTR, LONG, LONG, LONG) override { return Hit(this, __func__); }
  HRESULT GetFileValue(void*, DWORD, LONG) override { return Hit(this, __func__); }
  HRESULT GetStreamValue(void*, DWORD, LONG, LONG) override { return Hit(this, __func__); }
  HRESULT Clone(IWuReadFile**) override { return Hit(this, __func__); }
  HRESULT GetFileSize(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT GetFlags(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return Hit(this, __func__); }
  HRESULT SetProperty(DWORD, LONGLONG) override { return Hit(this, __func__); }
  HRESULT GetFileName(LPWSTR) override { return Hit(this, __func__); }
  HRESULT GetDuration(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT GetStreamCount(LONG*) override { return Hit(this, __func__); }
  HRESULT FindStream(DWORD, LONG, LONG*) override { return Hit(this, __func__); }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2*, LONG, LONG) override { return Hit(this, __func__); }
  HRESULT GetStreamIdentity(LONG, DWORD*, LONG*) override { return Hit(this, __func__); }
  HRESULT GetDefaultStream(DWORD, LONG*) override { return Hit(this, __func__); }
  HRESULT OpenStream(IWuReadStream**, LONG, DWORD, DWORD, void*) override { return Hit(this, __func__); }
  HRESULT GetMetadataTypes(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetMetaReader(IWuReadMeta**) override { return Hit(this, __func__); }
  HRESULT Close() override { return Hit(this, __func__); }
};

class FakeWuRenderFile final : public IWuRenderFile {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetClass(IWuRenderFileClass**) override { return Hit(this, __func__); }
  HRESULT AddStream(const _WUFILESTREAMFORMATINFOv2*, LONG*) override { return Hit(this, __func__); }
  HRESULT GetStreamCount(LONG*) override { return Hit(this, __func__); }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2*, LONG) override { return Hit(this, __func__); }
  HRESULT Begin() override { return Hit(this, __func__); }
  HRESULT WriteAudio(LONG, const void*, DWORD, DWORD*) override { return Hit(this, __func__); }
  HRESULT WriteVideoFrame(LONG, const void*, DWORD, LONGLONG) override { return Hit(this, __func__); }
  HRESULT End() override { return Hit(this, __func__); }
  HRESULT Abort() override { return Hit(this, __func__); }
  HRESULT SetMetaStream(REFIID, IStream*) override { return Hit(this, __func__); }
  HRESULT GetFileName(LPWSTR, LONG) override { return Hit(this, __func__); }
  HRESULT GetTemplate(tagWUTEMPLATExV2**) override { return Hit(this, __func__); }
  HRESULT GetBytesWritten(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return Hit(this, __func__); }
  HRESULT SetProperty(DWORD, LONGLONG) override { return Hit(this, __func__); }
};

class FakeWuReadStream final : public IWuReadStream {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetClass(IWuReadFileClass**) override { return Hit(this, __func__); }
  HRESULT GetFile(IWuReadFile**) override { return Hit(this, __func__); }
  HRESULT GetStreamType(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetStreamIndex(LONG*) override { return Hit(this, __func__); }
  HRESULT GetLength(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Seek(LONGLONG) override { return Hit(this, __func__); }
  HRESULT GetPosition(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Read(void*, DWORD, DWORD*) override { return Hit(this, __func__); }
};

class FakeWuReadAudioStream final : public IWuReadAudioStream {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetClass(IWuReadFileClass**) override { return Hit(this, __func__); }
  HRESULT GetFile(IWuReadFile**) override { return Hit(this, __func__); }
  HRESULT GetStreamType(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetStreamIndex(LONG*) override { return Hit(this, __func__); }
  HRESULT GetLength(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Seek(LONGLONG) override { return Hit(this, __func__); }
  HRESULT GetPosition(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Read(void*, DWORD, DWORD*) override { return Hit(this, __func__); }
  HRESULT ReadSamples(void*, LONGLONG, LONG, LONG*) override { return Hit(this, __func__); }
  HRESULT GetSampleCount(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2*) override { return Hit(this, __func__); }
  HRESULT GetCompressedFormat(_WUFILESTREAMFORMATINFOv2*) override { return Hit(this, __func__); }
  HRESULT GetSampleType(DWORD*) override { return Hit(this, __func__); }
  HRESULT SetSampleType(DWORD) override { return Hit(this, __func__); }
  HRESULT GetChannelCount(LONG*) override { return Hit(this, __func__); }
  HRESULT GetSampleRate(DWORD*) override { return Hit(this, __func__); }
};

class FakeWuReadVideoStream final : public IWuReadVideoStream {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetClass(IWuReadFileClass**) override { return Hit(this, __func__); }
  HRESULT GetFile(IWuReadFile**) override { return Hit(this, __func__); }
  HRESULT GetStreamType(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetStreamIndex(LONG*) override { return Hit(this, __func__); }
  HRESULT GetLength(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Seek(LONGLONG) override { return Hit(this, __func__); }
  HRESULT GetPosition(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Read(void*, DWORD, DWORD*) override { return Hit(this, __func__); }
  HRESULT GetFrameCount(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2*) override { return Hit(this, __func__); }
  HRESULT ReadFrame(LONGLONG, void*, DWORD, DWORD*) override { return Hit(this, __func__); }
  HRESULT GetFrameRate(double*) override { return Hit(this, __func__); }
  HRESULT GetFrameSize(LONG*, LONG*) override { return Hit(this, __func__); }
  HRESULT GetPixelType(LONG*) override { return Hit(this, __func__); }
  HRESULT SetPixelType(LONG) override { return Hit(this, __func__); }
  HRESULT GetFieldOrder(LONG*) override { return Hit(this, __func__); }
  HRESULT GetAspectRatio(LONG*, LONG*) override { return Hit(this, __func__); }
  HRESULT GetKeyFrame(LONGLONG, LONGLONG*) override { return Hit(this, __func__); }
  HRESULT GetFrameBytes(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetTimecode(LONGLONG, DWORD*) override { return Hit(this, __func__); }
};

class FakeWuReadVideoStreamFormat final : public IWuReadVideoStreamFormat {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetClass(IWuReadFileClass**) override { return Hit(this, __func__); }
  HRESULT GetFile(IWuReadFile**) override { return Hit(this, __func__); }
  HRESULT GetStreamType(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetStreamIndex(LONG*) override { return Hit(this, __func__); }
  HRESULT GetLength(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Seek(LONGLONG) override { return Hit(this, __func__); }
  HRESULT GetPosition(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Read(void*, DWORD, DWORD*) override { return Hit(this, __func__); }
  HRESULT GetFormatKinds(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2*) override { return Hit(this, __func__); }
  HRESULT GetCompressedFormat(_WUFILESTREAMFORMATINFOv2*) override { return Hit(this, __func__); }
};

class FakeWuReadAudioStreamV1 final : public IWuReadAudioStreamV1 {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetClass(IWuReadFileClass**) override { return Hit(this, __func__); }
  HRESULT GetFile(IWuReadFile**) override { return Hit(this, __func__); }
  HRESULT GetStreamType(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetStreamIndex(LONG*) override { return Hit(this, __func__); }
  HRESULT GetLength(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Seek(LONGLONG) override { return Hit(this, __func__); }
  HRESULT GetPosition(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Read(void*, DWORD, DWORD*) override { return Hit(this, __func__); }
  HRESULT GetLengthV1(void*) override { return Hit(this, __func__); }
  HRESULT GetFormatV1(void*, DWORD, DWORD*, void*, DWORD, DWORD*) override { return Hit(this, __func__); }
};

class FakeWuReadVideoStreamV1 final : public IWuReadVideoStreamV1 {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetClass(IWuReadFileClass**) override { return Hit(this, __func__); }
  HRESULT GetFile(IWuReadFile**) override { return Hit(this, __func__); }
  HRESULT GetStreamType(DWORD*) override { return Hit(this, __func__); }
  HRESULT GetStreamIndex(LONG*) override { return Hit(this, __func__); }
  HRESULT GetLength(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Seek(LONGLONG) override { return Hit(this, __func__); }
  HRESULT GetPosition(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT Read(void*, DWORD, DWORD*) override { return Hit(this, __func__); }
  HRESULT GetFrameCountV1(LONGLONG*) override { return Hit(this, __func__); }
  HRESULT ReadFrameV1(LONGLONG, void*, DWORD, DWORD*) override { return Hit(this, __func__); }
  HRESULT GetLengthV1(void*) override { return Hit(this, __func__); }
  HRESULT GetFormatV1(void*, DWORD, DWORD*, void*, DWORD, DWORD*) override { return Hit(this, __func__); }
};

class FakeWuRenderPostSave final : public IWuRenderPostSave {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT PostSaveDialog(HWND, LPWSTR, DWORD, const tagWUTEMPLATExV2*, tagWUTEMPLATExV2**) override { return Hit(this, __func__); }
};

class FakeWuReadFileNotify final : public IWuReadFileNotify {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT NotifyFile(LPCWSTR) override { return Hit(this, __func__); }
};

class FakeWuReadFileChain final : public IWuReadFileChain {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetNextFile(IWuReadFile*, LPWSTR, DWORD) override { return Hit(this, __func__); }
};

class FakeWuFileIOClassList final : public IWuFileIOClassList {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT Initialize(IWuFileIOManager*) override { return Hit(this, __func__); }
  HRESULT GetCount(LONG*) override { return Hit(this, __func__); }
  HRESULT Describe(LONG, GUID*, LPWSTR, LONG, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*) override { return Hit(this, __func__); }
};

class FakeWuFileIOTypeEnum final : public IWuFileIOTypeEnum {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT Next(ULONG, IUnknown**, ULONG*) override { return Hit(this, __func__); }
  HRESULT Skip(ULONG) override { return Hit(this, __func__); }
  HRESULT Reset() override { return Hit(this, __func__); }
  HRESULT Clone(IWuFileIOTypeEnum**) override { return Hit(this, __func__); }
  HRESULT Reserved7() override { return Hit(this, __func__); }
  LONG GetCount() override { return static_cast<LONG>(Hit(this, __func__)); }
};

class FakeWuFIOPluginEnum final : public IWuFIOPluginEnum {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT Next(ULONG, WUFIO_PLUGIN_INFO*, ULONG*) override { return Hit(this, __func__); }
  HRESULT Skip(ULONG) override { return Hit(this, __func__); }
  HRESULT Reset() override { return Hit(this, __func__); }
  HRESULT Reserved6() override { return Hit(this, __func__); }
  HRESULT FindById(REFCLSID, WUFIO_PLUGIN_INFO*) override { return Hit(this, __func__); }
  HRESULT Reserved8() override { return Hit(this, __func__); }
  HRESULT Reserved9() override { return Hit(this, __func__); }
};

class FakeWuFileIOSurrogate final : public IWuFileIOSurrogate {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetProcessId(DWORD*) override { return Hit(this, __func__); }
  HRESULT CreatePluginClass(LPCWSTR, REFCLSID, REFIID, void**) override { return Hit(this, __func__); }
  HRESULT CloseCopiedHandle(ULONGLONG) override { return Hit(this, __func__); }
  HRESULT GetManager(IWuFileIOMgrForApp**) override { return Hit(this, __func__); }
  HRESULT Ping() override { return Hit(this, __func__); }
  HRESULT Quit() override { return Hit(this, __func__); }
  HRESULT EditTemplate(HWND, IWuRenderFileClass*, LONG, const void*, DWORD*, IStream*, tagWUTEMPLATExV2*, tagWUTEMPLATExV2**) override { return Hit(this, __func__); }
};

class FakeWuFioFilterBuilder2 final : public IWuFioFilterBuilder2 {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT AddFileTypes(const GUID*, LONG, LONG, DWORD) override { return Hit(this, __func__); }
  HRESULT AddFileTypesAnyKind(const GUID*, LONG, LONG, DWORD) override { return Hit(this, __func__); }
  HRESULT SetClassFilter(BOOL, DWORD) override { return Hit(this, __func__); }
  HRESULT SetClassMask(DWORD, DWORD, DWORD) override { return Hit(this, __func__); }
  HRESULT SetRequiredKind(LONG) override { return Hit(this, __func__); }
  HRESULT SetPatternMode(BOOL) override { return Hit(this, __func__); }
  HRESULT AddEntry(LPCWSTR, LPCWSTR, DWORD, LONG, DWORD, const GUID*) override { return Hit(this, __func__); }
  HRESULT AddAllPatternsEntry(LPCWSTR, DWORD, LONG, DWORD, const GUID*) override { return Hit(this, __func__); }
  HRESULT AddAllPatternsEntryEx(LPCWSTR, DWORD, LONG, DWORD, const GUID*, const GUID*, LONG) override { return Hit(this, __func__); }
  HRESULT Sort(BOOL) override { return Hit(this, __func__); }
  HRESULT GetFilterString(LPWSTR, DWORD*, DWORD*, LONG*) override { return Hit(this, __func__); }
  HRESULT GetFilterStringEx(LPWSTR, DWORD*, DWORD*, LONG*, const GUID*, LONG, DWORD) override { return Hit(this, __func__); }
  HRESULT Clear() override { return Hit(this, __func__); }
  HRESULT GetEntryCount(LONG*) override { return Hit(this, __func__); }
  HRESULT GetEntry(WUFIO_FILTER_ENTRY*, LONG) override { return Hit(this, __func__); }
  HRESULT SetEntryHidden(LONG, BOOL) override { return Hit(this, __func__); }
  HRESULT FindEntryByKey(LONG*, const GUID*) override { return Hit(this, __func__); }
  HRESULT SelectEntries(const GUID*, LONG, DWORD, DWORD) override { return Hit(this, __func__); }
  HRESULT RefreshFilterString(const GUID*, LONG, DWORD) override { return Hit(this, __func__); }
  HRESULT RefreshPatternList(const GUID*, LONG, DWORD) override { return Hit(this, __func__); }
  HRESULT GetLengths(LONG*, LONG*, LONG*) override { return Hit(this, __func__); }
  HRESULT CopyFilterString(LPWSTR, LONG) override { return Hit(this, __func__); }
  HRESULT CopyIds(DWORD*, LONG) override { return Hit(this, __func__); }
  HRESULT CopyPatternList(LPWSTR, LONG, WCHAR) override { return Hit(this, __func__); }
  LPCWSTR GetFilterStringPointer() override { Hit(this, __func__);
    return nullptr; }
  LONG GetFilterStringLength() override { return static_cast<LONG>(Hit(this, __func__)); }
  LPCWSTR GetPatternListPointer() override { Hit(this, __func__);
    return nullptr; }
  LONG GetPatternListLength() override { return static_cast<LONG>(Hit(this, __func__)); }
  const DWORD* GetIdArray() override { Hit(this, __func__);
    return nullptr; }
  LONG GetIdCount() override { return static_cast<LONG>(Hit(this, __func__)); }
  void DeletingDestructor(LONG) override { Hit(this, __func__); }
};

class FakeWuFileIOPropertyPage final : public IWuFileIOPropertyPage {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT SetPageSite(IPropertyPageSite*) override { return Hit(this, __func__); }
  HRESULT Activate(HWND, const RECT*, BOOL) override { return Hit(this, __func__); }
  HRESULT Deactivate() override { return Hit(this, __func__); }
  HRESULT GetPageInfo(PROPPAGEINFO*) override { return Hit(this, __func__); }
  HRESULT SetObjects(ULONG, IUnknown**) override { return Hit(this, __func__); }
  HRESULT Show(UINT) override { return Hit(this, __func__); }
  HRESULT Move(const RECT*) override { return Hit(this, __func__); }
  HRESULT IsPageDirty() override { return Hit(this, __func__); }
  HRESULT Apply() override { return Hit(this, __func__); }
  HRESULT Help(LPCWSTR) override { return Hit(this, __func__); }
  HRESULT TranslateAccelerator(MSG*) override { return Hit(this, __func__); }
  HRESULT SetTemplate(const tagWUTEMPLATExV2*) override { return Hit(this, __func__); }
  HRESULT Refresh() override { return Hit(this, __func__); }
};

class FakeWuFileIOTemplateEditHolder final : public IWuFileIOTemplateEditHolder {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetTemplate(tagWUTEMPLATExV2**) override { return Hit(this, __func__); }
  HRESULT SetTemplate(const tagWUTEMPLATExV2*) override { return Hit(this, __func__); }
  HRESULT GetProjectTemplate(tagWUTEMPLATExV2**) override { return Hit(this, __func__); }
  HRESULT GetMetric(DWORD, LONG*) override { return Hit(this, __func__); }
  HRESULT SetMetric(DWORD, LONG) override { return Hit(this, __func__); }
};

class FakeWuReadMetaProjectLink final : public IWuReadMetaProjectLink {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetProjectPath(IStream**) override { return Hit(this, __func__); }
  HRESULT GetCommandLine(IStream**) override { return Hit(this, __func__); }
  HRESULT GetRendererGuid(IStream**) override { return Hit(this, __func__); }
  HRESULT GetTemplateName(IStream**) override { return Hit(this, __func__); }
  HRESULT GetTemplateData(IStream**) override { return Hit(this, __func__); }
  HRESULT GetAppTemplateData(IStream**) override { return Hit(this, __func__); }
  HRESULT GetProjectData(IStream**) override { return Hit(this, __func__); }
  HRESULT GetCreatorAppInfo(IStream**) override { return Hit(this, __func__); }
  HRESULT GetCreatorWindowClassName(IStream**) override { return Hit(this, __func__); }
};

class FakeWuReadMetaVersion final : public IWuReadMetaVersion {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetVersion(IStream**, DWORD) override { return Hit(this, __func__); }
};

class FakeWuReadMetaLoopInfo final : public IWuReadMetaLoopInfo {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetLoopRecord(WuMetaLoopRecord*) override { return Hit(this, __func__); }
  HRESULT GetStretchRecord(void*, DWORD) override { return Hit(this, __func__); }
  HRESULT GetStretchList(IStream**) override { return Hit(this, __func__); }
};

class FakeWuReadMetaMediaTag final : public IWuReadMetaMediaTag {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return Hit(this, __func__); }
  ULONG AddRef() override { return static_cast<ULONG>(Hit(this, __func__)); }
  ULONG Release() override { return static_cast<ULONG>(Hit(this, __func__)); }
  HRESULT GetTagStream(IStream**) override { return Hit(this, __func__); }
  HRESULT GetInfo(WuMetaMediaTagInfo*) override { return Hit(this, __func__); }
};

}  // namespace wu_test
