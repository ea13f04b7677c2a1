// Fakes of the file-I/O manager and a reader for the launch tests: the
// manager opens no file (or hands out a given reader), the reader reports
// a file name and offers no metadata reader unless given one. Every other
// operation answers E_NOTIMPL.
#pragma once

#include <cstring>

#include "fileio/WuFileIO.h"

namespace wu_test {

class LaunchFakeManager final : public IWuFileIOMgrForApp {
 public:
  IWuReadFile* reader = nullptr;  // what OpenFile hands out (a new reference), or NULL
  int openCalls = 0;              // how often OpenFile ran

  HRESULT OpenFile(LPCWSTR, IWuReadFile** out, DWORD) override {
    ++openCalls;
    *out = reader;
    if (!reader) return E_FAIL;
    reader->AddRef();
    return S_OK;
  }
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetLanguageId(DWORD*, LONG) override { return E_NOTIMPL; }
  HRESULT Reserved4() override { return E_NOTIMPL; }
  HRESULT GetMetric(DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT SetMetric(DWORD, LONG) override { return E_NOTIMPL; }
  HRESULT GetMetricString(DWORD, LPWSTR, LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT SetMetricString(DWORD, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT DeleteMetric(DWORD, LONG) override { return E_NOTIMPL; }
  HRESULT GetMetricBinary(DWORD, void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT SetMetricBinary(DWORD, const void*, DWORD) override { return E_NOTIMPL; }
  HRESULT Reserved12() override { return E_NOTIMPL; }
  HRESULT GetReaderClassByTypeCode(IWuReadFileClass**, LONG) override { return E_NOTIMPL; }
  HRESULT GetReaderClassById(IWuReadFileClass**, GUID) override { return E_NOTIMPL; }
  HRESULT GetRendererClassById(IWuRenderFileClass**, GUID) override { return E_NOTIMPL; }
  HRESULT FindReaderClassByExtension(IWuReadFileClass**, LPCWSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT FindRendererClassByExtension(IWuRenderFileClass**, LPCWSTR, LONG*) override { return E_NOTIMPL; }
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
  void DeletingDestructor(LONG) override {}
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
};

// A reader whose file name is `name` (copied as 260 units, terminated or
// not) and whose metadata reader is `meta` (NULL: E_NOTIMPL).
class LaunchFakeReader final : public IWuReadFile {
 public:
  char16_t name[260] = {};
  IWuReadMeta* meta = nullptr;
  LONG refs = 1;

  HRESULT GetFileName(LPWSTR buffer) override {
    std::memcpy(buffer, name, sizeof(name));
    return S_OK;
  }
  HRESULT GetMetaReader(IWuReadMeta** out) override {
    *out = meta;
    if (!meta) return E_NOTIMPL;
    meta->AddRef();
    return S_OK;
  }
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG Release() override { return static_cast<ULONG>(--refs); }
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
  HRESULT GetDuration(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetStreamCount(LONG*) override { return E_NOTIMPL; }
  HRESULT FindStream(DWORD, LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2*, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT GetStreamIdentity(LONG, DWORD*, LONG*) override { return E_NOTIMPL; }
  HRESULT GetDefaultStream(DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT OpenStream(IWuReadStream**, LONG, DWORD, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT GetMetadataTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT Close() override { return E_NOTIMPL; }
};

}  // namespace wu_test
