// Fakes of a media file's metadata for the metadata sections of the
// file-properties text: a metadata reader with text values, the loop-info
// and media-tag kinds, built on the test reader of tests/mediaformats (its
// region, command and summary streams, stream enumerator and broadcast-
// wave fields), and a file-I/O manager that answers renderer classes by id.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "fileio/WuFileIO.h"
#include "tests/mediaformats/TestReadMeta.h"
#include "tests/shellui/FioClassFakes.h"

namespace propmeta {

class FakeMeta final : public IWuReadMeta, public IWuReadMetaLoopInfo, public IWuReadMetaMediaTag {
 public:
  // Streams, enumerator and broadcast-wave fields.
  metatest::TestReadMeta base;
  // Text values by FOURCC text; a value as long as the buffer or longer
  // fills it without a terminator. Others answer S_FALSE.
  std::map<std::string, std::u16string> texts;
  // The loop-info kind.
  HRESULT loopResult = S_FALSE;
  HRESULT stretchResult = S_FALSE;
  std::optional<std::string> stretchList;  // absent: 0x8004E00A
  // The media-tag kind.
  HRESULT infoResult = S_OK;
  WuMetaMediaTagInfo info = {};

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWuReadMeta)) {
      *object = static_cast<IWuReadMeta*>(this);
    } else if (IsEqualGUID(iid, IID_IWuReadMetaLoopInfo)) {
      *object = static_cast<IWuReadMetaLoopInfo*>(this);
    } else if (IsEqualGUID(iid, IID_IWuReadMetaMediaTag)) {
      *object = static_cast<IWuReadMetaMediaTag*>(this);
    } else {
      return base.QueryInterface(iid, object);
    }
    ++refs_;
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }

  HRESULT GetRegionStream(IStream** s) override { return base.GetRegionStream(s); }
  HRESULT GetCommandStream(IStream** s) override { return base.GetCommandStream(s); }
  HRESULT ReservedOperation(void*) override { return E_NOTIMPL; }
  HRESULT GetTextValue(DWORD id, LPWSTR buffer, int size) override {
    std::string key(reinterpret_cast<const char*>(&id), 4);
    auto it = texts.find(key);
    if (it == texts.end()) {
      if (buffer && size > 0) buffer[0] = 0;
      return S_FALSE;
    }
    const std::u16string& value = it->second;
    const size_t room = static_cast<size_t>(size);
    const size_t n = value.size() < room ? value.size() : room;
    value.copy(buffer, n);
    if (n < room) buffer[n] = 0;
    return S_OK;
  }
  HRESULT GetSummaryStream(IStream** s) override { return base.GetSummaryStream(s); }

  HRESULT GetLoopRecord(WuMetaLoopRecord* record) override {
    *record = {};
    return loopResult;
  }
  HRESULT GetStretchRecord(void*, DWORD) override { return stretchResult; }
  HRESULT GetStretchList(IStream** stream) override {
    *stream = nullptr;
    if (!stretchList) return static_cast<HRESULT>(0x8004E00A);
    *stream = metatest::MakeStream(*stretchList, &live_);
    return *stream ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT GetTagStream(IStream**) override { return E_NOTIMPL; }
  HRESULT GetInfo(WuMetaMediaTagInfo* out) override {
    *out = info;
    return infoResult;
  }

  IWuEnumMetaStreams* streams() { return &base; }
  // References and streams still held beyond the test's own.
  ULONG refs() const { return refs_ + base.refs(); }
  int live() const { return live_ + base.live(); }

 private:
  ULONG refs_ = 0;
  int live_ = 0;
};

// A manager that hands out one renderer class for one id.
class RendererManager final : public IWuFileIOMgrForApp {
 public:
  GUID id = {};
  wu_test::FakeRenderClass* renderer = nullptr;

  HRESULT GetRendererClassById(IWuRenderFileClass** out, GUID asked) override {
    *out = nullptr;
    if (!renderer || !IsEqualGUID(asked, id)) return static_cast<HRESULT>(0x80070490);
    renderer->AddRef();
    *out = renderer;
    return S_OK;
  }
  HRESULT IdentifyReader(HANDLE, LPCWSTR, LONG*, DWORD) override { return E_NOTIMPL; }
  HRESULT FindReaderByFileName(LPCWSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT GetReaderClassByKey(IWuReadFileClass**, LONG) override { return E_NOTIMPL; }
  HRESULT GetRendererClassByKey(IWuRenderFileClass**, LONG) override { return E_NOTIMPL; }
  HRESULT FindLockingReaderClass(LPCWSTR, IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT OpenFile(LPCWSTR, IWuReadFile**, DWORD) override { return E_NOTIMPL; }
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
  HRESULT FindRendererClassByDialogName(IWuRenderFileClass**, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT Reserved32() override { return E_NOTIMPL; }
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

}  // namespace propmeta
