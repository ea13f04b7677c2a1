// Fakes of plug-in classes and of the file-I/O manager for the front-end
// helpers: reader and renderer classes with a scripted state, string
// properties and an optional template validator, and a manager that hands
// them out by key and answers identification as told. Each counts its
// references and calls.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fileio/WuFileIO.h"
#include "platform/com/oleauto.h"

namespace wu_test {

// A template validator.
class FakeValidator final : public IWuFioTemplateValidate {
 public:
  BOOL applies = TRUE;          // what AppliesTo answers
  HRESULT result = S_OK;        // what Validate answers
  int answer1 = 7, answer2 = 9; // what Validate writes to its out values
  int appliesCalls = 0, validateCalls = 0;
  WUFIO_TEMPLATEVALIDATE lastKind = WUFIO_TEMPLATEVALIDATE_GENERAL;
  HWND lastParent = nullptr;
  const tagWUTEMPLATExV2* lastRecord = nullptr;
  int lastA = 0, lastB = 0;
  int seen1 = 0, seen2 = 0;     // the out values as Validate found them
  LONG refs = 1;

  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG Release() override { return static_cast<ULONG>(--refs); }
  BOOL AppliesTo(WUFIO_TEMPLATEVALIDATE kind) override {
    ++appliesCalls;
    lastKind = kind;
    return applies;
  }
  HRESULT Validate(HWND parent, const tagWUTEMPLATExV2* record, WUFIO_TEMPLATEVALIDATE kind, int a,
                   int b, int* out1, int* out2) override {
    ++validateCalls;
    lastParent = parent;
    lastRecord = record;
    lastKind = kind;
    lastA = a;
    lastB = b;
    seen1 = *out1;
    seen2 = *out2;
    *out1 = answer1;
    *out2 = answer2;
    return result;
  }
};

// What a fake class answers and what it was asked, shared by both kinds.
struct FakeClassScript {
  HRESULT status = S_OK;            // the state GetState reports
  std::u16string text;              // its explanation
  bool hasText = false;             // whether it gives one
  HRESULT stringsResult = S_OK;     // what GetStrings answers
  bool stringsOnFailure = false;    // fills the texts even when failing
  std::map<DWORD, std::u16string> strings;  // property id -> text
  FakeValidator* validator = nullptr;        // offered by QueryInterface
  int stateCalls = 0, stateTextCalls = 0, stringsCalls = 0;
  std::vector<DWORD> askedIds;
  LONG refs = 1;

  HRESULT QueryInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (validator && IsEqualGUID(iid, IID_IWuFioTemplateValidate)) {
      validator->AddRef();
      *out = validator;
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) {
    ++stringsCalls;
    for (LONG i = 0; i < count; ++i) {
      askedIds.push_back(ids[i]);
      out[i] = nullptr;
      auto it = strings.find(ids[i]);
      if (it != strings.end() && (SUCCEEDED(stringsResult) || stringsOnFailure))
        out[i] = SysAllocString(it->second.c_str());
    }
    return stringsResult;
  }
  HRESULT GetState(HRESULT* status_out, BSTR* text_out) {
    ++stateCalls;
    *status_out = status;
    if (text_out) {
      ++stateTextCalls;
      *text_out = hasText ? SysAllocString(text.c_str()) : nullptr;
    }
    return S_OK;
  }
};

class FakeReaderClass final : public IWuReadFileClass {
 public:
  FakeClassScript s;

  HRESULT QueryInterface(REFIID iid, void** out) override { return s.QueryInterface(iid, out); }
  ULONG AddRef() override { return static_cast<ULONG>(++s.refs); }
  ULONG Release() override { return static_cast<ULONG>(--s.refs); }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) override { return s.GetStrings(ids, count, out); }
  HRESULT GetState(HRESULT* status, BSTR* text) override { return s.GetState(status, text); }
  HRESULT SetIndex(LONG) override { return E_NOTIMPL; }
  HRESULT GetKey(LONG*) override { return E_NOTIMPL; }
  HRESULT Initialize(IWuFileIOManager*) override { return E_NOTIMPL; }
  HRESULT GetManager(IWuFileIOManager**) override { return E_NOTIMPL; }
  HRESULT GetClassId(GUID*) override { return E_NOTIMPL; }
  HRESULT GetFlags(DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetStreamTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetRendererClass(IWuRenderFileClass**) override { return E_NOTIMPL; }
  HRESULT CheckFile(HANDLE, const void*, DWORD, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT CheckPath(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT GetMetadataTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT Open(IWuReadFile**, HANDLE, DWORD, LPCWSTR, LONG) override { return E_NOTIMPL; }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
};

class FakeRenderClass final : public IWuRenderFileClass {
 public:
  FakeClassScript s;

  HRESULT QueryInterface(REFIID iid, void** out) override { return s.QueryInterface(iid, out); }
  ULONG AddRef() override { return static_cast<ULONG>(++s.refs); }
  ULONG Release() override { return static_cast<ULONG>(--s.refs); }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) override { return s.GetStrings(ids, count, out); }
  HRESULT GetState(HRESULT* status, BSTR* text) override { return s.GetState(status, text); }
  HRESULT SetIndex(LONG) override { return E_NOTIMPL; }
  HRESULT GetKey(LONG*) override { return E_NOTIMPL; }
  HRESULT Initialize(IWuFileIOManager*) override { return E_NOTIMPL; }
  HRESULT GetManager(IWuFileIOManager**) override { return E_NOTIMPL; }
  HRESULT GetClassId(GUID*) override { return E_NOTIMPL; }
  HRESULT GetPartMask(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetFlags(DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetReaderClass(IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT CheckTemplate(const tagWUTEMPLATExV2*) override { return E_NOTIMPL; }
  HRESULT CreateRenderFile(IWuRenderFile**, LPCWSTR, const tagWUTEMPLATExV2*, HANDLE, DWORD) override { return E_NOTIMPL; }
  HRESULT GetPresetCount(LONG*) override { return E_NOTIMPL; }
  HRESULT GetPreset(tagWUTEMPLATExV2**, LONG) override { return E_NOTIMPL; }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
  HRESULT ConvertTemplate(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*, LONG) override { return E_NOTIMPL; }
  HRESULT TemplateOperation(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*, const tagWUTEMPLATExV2*, LONG) override { return E_NOTIMPL; }
  HRESULT GetTemplateInfo(const tagWUTEMPLATExV2*, void*, DWORD, DWORD) override { return E_NOTIMPL; }
  HRESULT GetPageCount(LONG*, LONG*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetPage(LONG, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT PreparePages(HWND) override { return E_NOTIMPL; }
  HRESULT GetSettings(void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT SetSettings(const void*, DWORD) override { return E_NOTIMPL; }
};

// A manager handing out the classes it was given, by key.
class FioFakeManager final : public IWuFileIOMgrForApp {
 public:
  std::map<LONG, FakeReaderClass*> readers;    // key -> reader class
  std::map<LONG, FakeRenderClass*> renderers;  // key -> renderer class
  HRESULT identifyResult = E_FAIL;   // what IdentifyReader answers
  LONG identifyKey = -1;             // and the key it returns
  HRESULT extensionResult = E_FAIL;  // what FindReaderByFileName answers
  LONG extensionKey = -1;            // and its key
  HRESULT lockedResult = S_FALSE;    // what FindLockingReaderClass answers
  FakeReaderClass* locked = nullptr; // and its class
  int identifyCalls = 0, extensionCalls = 0, lockedCalls = 0;
  HANDLE identifiedFile = nullptr;   // the handle IdentifyReader was given
  std::u16string lastPath;

  HRESULT IdentifyReader(HANDLE file, LPCWSTR path, LONG* key, DWORD) override {
    ++identifyCalls;
    identifiedFile = file;
    lastPath = path ? path : u"";
    *key = identifyKey;
    return identifyResult;
  }
  HRESULT FindReaderByFileName(LPCWSTR path, LONG* key) override {
    ++extensionCalls;
    lastPath = path ? path : u"";
    *key = extensionKey;
    return extensionResult;
  }
  HRESULT GetReaderClassByKey(IWuReadFileClass** out, LONG key) override {
    *out = nullptr;
    auto it = readers.find(key);
    if (it == readers.end()) return static_cast<HRESULT>(0x80070490);  // not found
    it->second->AddRef();
    *out = it->second;
    return S_OK;
  }
  HRESULT GetRendererClassByKey(IWuRenderFileClass** out, LONG key) override {
    *out = nullptr;
    auto it = renderers.find(key);
    if (it == renderers.end()) return static_cast<HRESULT>(0x80070490);
    it->second->AddRef();
    *out = it->second;
    return S_OK;
  }
  HRESULT FindLockingReaderClass(LPCWSTR path, IWuReadFileClass** out) override {
    ++lockedCalls;
    lastPath = path ? path : u"";
    *out = locked;
    if (locked) locked->AddRef();
    return lockedResult;
  }
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

}  // namespace wu_test
