// Reader and renderer classes of the test plug-ins, described by a table
// the plug-in defines, and the class-list class over that table.
//
// A plug-in defines:
//   const FioTestClassInfo g_fioTestInfos[] = {...};
//   const int g_fioTestInfoCount = N;
//   const WuFioTestClass g_wuFioTestClasses[] = {
//       {&CLSID_WuFileIOClassList, &fio_test::MakeClassList},
//       {&CLSID_Mine, &fio_test::MakeClass<0>}, ...};
// Each class counts its CheckFile and CheckPath calls under
// "<plug-in>/<tag>" (kWuFioTestCalls). Open gives a File that records what
// it was opened with. The class whose tag a plug-in defines as
// FIO_TEST_NOTIFY_TAG (before including this header) offers
// IWuReadFileNotify: NotifyFile notes its path under "<plug-in>/notify"
// and answers 5, or E_FAIL for a path that holds "nope". A plug-in may
// define FIO_TEST_KEY_ANSWER (before including this header) as a function
// (const FioTestClassInfo&, LONG key last set) -> LONG that chooses what
// its classes answer to GetKey; without it they answer the key last set.
#pragma once

#include <string>

#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "tests/fileio/kit/WuFioTestPlugin.h"
#include "tests/fileio/plugins/FioTestIds.h"
#include "tests/fileio/plugins/FioTestStreams.h"

// One plug-in class of a test plug-in.
struct FioTestClassInfo {
  const CLSID* pluginId;        // the plug-in class id
  const CLSID* readerId;        // its reader class id, NULL for none
  const CLSID* rendererId;      // its renderer class id, NULL for none
  const char16_t* name;         // display name
  const char16_t* extensions;   // text 4, the extension list
  const char16_t* dialog;       // text 5, the dialog name
  const char* tag;              // counter name after "<plug-in>/"
  // The CheckFile answer for a head and an extension (no dot).
  HRESULT (*check)(const BYTE* head, DWORD bytes, LPCWSTR ext);
  DWORD flagsValue;             // the class flags value
};

extern const FioTestClassInfo g_fioTestInfos[];
extern const int g_fioTestInfoCount;

#ifndef FIO_TEST_KEY_ANSWER
#define FIO_TEST_KEY_ANSWER(info, key) (key)
#endif

namespace fio_test {

inline void CountCall(const FioTestClassInfo& info) {
  std::string name = std::string(WU_FIO_TEST_PLUGIN_NAME) + "/" + info.tag;
  WuFioTestReport(name.c_str(), kWuFioTestCalls, 1);
}

inline BSTR Text(DWORD id, const FioTestClassInfo& info) {
  switch (id) {
    case 2: return SysAllocString(info.name);
    case 4: return SysAllocString(info.extensions);
    case 5: return SysAllocString(info.dialog);
    default: return nullptr;
  }
}

// An open test file: its path (the whole text Open got) through
// GetFileName, the process id and share flag through GetProperty; an
// audio stream 0 and a video stream 1, whose formats it answers in the
// version the fifth byte of its head picks (FioTestIds.h).
class File final : public WuFioTestObject<IWuReadFile> {
 public:
  File(IWuReadFileClass* cls, LPCWSTR path, DWORD processId, LONG shareFlag)
      : WuFioTestObject<IWuReadFile>(IID_IWuReadFile),
        class_(cls),
        path_(path ? path : u""),
        processId_(processId),
        shareFlag_(shareFlag) {
    class_->AddRef();
    // The head, read through the name part of the path.
    std::u16string name = path_.substr(0, path_.find(u'?'));
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD got = 0;
      ReadFile(file, head_, sizeof(head_), &got, nullptr);
      CloseHandle(file);
    }
  }
  HRESULT GetClass(IWuReadFileClass** out) override {
    class_->AddRef();
    *out = class_;
    return S_OK;
  }
  HRESULT GetFileText(LPWSTR, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT GetStreamText(LPWSTR, LONG, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT GetFileValue(void*, DWORD, LONG) override { return E_NOTIMPL; }
  HRESULT GetStreamValue(void*, DWORD, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT Clone(IWuReadFile**) override { return E_NOTIMPL; }
  HRESULT GetFileSize(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetFlags(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetProperty(DWORD id, LONGLONG* value) override {
    if (id == fio_test::kFileProcessId) *value = processId_;
    else if (id == fio_test::kFileShareFlag) *value = shareFlag_;
    else return E_INVALIDARG;
    return S_OK;
  }
  HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
  HRESULT GetFileName(LPWSTR buffer) override {
    size_t n = path_.size() < 259 ? path_.size() : 259;
    path_.copy(buffer, n);
    buffer[n] = 0;
    return S_OK;
  }
  HRESULT GetDuration(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetStreamCount(LONG* count) override {
    *count = 2;
    return S_OK;
  }
  HRESULT FindStream(DWORD, LONG, LONG*) override { return E_NOTIMPL; }
  // A version-1 plug-in takes the record for its own form: it writes the
  // stream type over the size word and the sizes it needs, and fills the
  // buffers only when asked for version 1.
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* record, LONG stream,
                          LONG version) override {
    if (stream != 0 && stream != 1) return E_INVALIDARG;
    DWORD type = stream == 0 ? WUFILESTREAMTYPE_AUDIO : WUFILESTREAMTYPE_VIDEO;
    char mode = static_cast<char>(head_[4]);
    if (mode != kAnswerV1 && mode != kAnswerV1Pcm16 && mode != kAnswerV1Huge)
      return AnswerV2(record, type);
    auto* v1 = reinterpret_cast<_WUFILESTREAMFORMATINFOv1*>(record);
    v1->streamType = type;
    bool buffers = version == 1;
    LengthV1(type, &v1->length);
    return AnswerV1(type, WaveBytes(), mode == kAnswerV1Huge, buffers ? v1->format : nullptr,
                    v1->formatBytes, &v1->formatNeeded, buffers ? v1->extension : nullptr,
                    v1->extensionBytes, &v1->extensionNeeded);
  }
  HRESULT GetStreamIdentity(LONG, DWORD*, LONG*) override { return E_NOTIMPL; }
  HRESULT GetDefaultStream(DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT OpenStream(IWuReadStream** out, LONG stream, DWORD, DWORD, void*) override {
    *out = nullptr;
    const char fail = static_cast<char>(head_[5]);
    if (stream == 0) *out = static_cast<IWuReadAudioStream*>(new AudioStream(WaveBytes(), fail));
    else if (stream == 1) *out = static_cast<IWuReadVideoStream*>(new VideoStream(fail));
    return *out ? S_OK : E_INVALIDARG;
  }
  HRESULT GetMetadataTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetMetaReader(IWuReadMeta**) override { return E_NOTIMPL; }
  HRESULT Close() override { return S_OK; }

 private:
  ~File() override { class_->Release(); }
  // Bytes of the version-1 wave record: 16 when the head asks for them.
  DWORD WaveBytes() const { return head_[4] == kAnswerV1Pcm16 ? 16 : 18; }
  IWuReadFileClass* class_;  // the class that opened the file (a reference)
  std::u16string path_;      // the whole text Open got
  DWORD processId_;          // the process id Open got
  LONG shareFlag_;           // the share flag Open got
  BYTE head_[8] = {};        // the file's first bytes
};

// The notification interface of a reader class (a tear-off object).
class Notifier final : public WuFioTestObject<IWuReadFileNotify> {
 public:
  Notifier() : WuFioTestObject<IWuReadFileNotify>(IID_IWuReadFileNotify) {}
  HRESULT NotifyFile(LPCWSTR path) override {
    std::string channel = std::string(WU_FIO_TEST_PLUGIN_NAME) + "/notify";
    WuFioTestNote(channel.c_str(), path);
    std::u16string text(path ? path : u"");
    return text.find(u"nope") != std::u16string::npos ? E_FAIL : 5;
  }

 private:
  ~Notifier() override = default;
};

class Reader final : public WuFioTestObject<IWuReadFileClass> {
 public:
  explicit Reader(const FioTestClassInfo& info)
      : WuFioTestObject<IWuReadFileClass>(IID_IWuReadFileClass), info_(info) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
#ifdef FIO_TEST_NOTIFY_TAG
    if (object && IsEqualGUID(iid, IID_IWuReadFileNotify) &&
        std::string(info_.tag) == FIO_TEST_NOTIFY_TAG) {
      *object = static_cast<IWuReadFileNotify*>(new Notifier());
      return S_OK;
    }
#endif
    return WuFioTestObject<IWuReadFileClass>::QueryInterface(iid, object);
  }
  HRESULT SetIndex(LONG key) override { key_ = key; return S_OK; }
  HRESULT GetKey(LONG* key) override {
    *key = FIO_TEST_KEY_ANSWER(info_, key_);
    return S_OK;
  }
  // The manager is not held: it owns this object.
  HRESULT Initialize(IWuFileIOManager*) override { return S_OK; }
  HRESULT GetManager(IWuFileIOManager** m) override { *m = nullptr; return E_NOTIMPL; }
  HRESULT GetClassId(GUID* id) override { *id = *info_.readerId; return S_OK; }
  HRESULT GetFlags(DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetStreamTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetRendererClass(IWuRenderFileClass**) override { return E_NOTIMPL; }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) override {
    for (LONG i = 0; i < count; ++i) out[i] = Text(ids[i], info_);
    return S_OK;
  }
  HRESULT CheckFile(HANDLE, const void* head, DWORD bytes, LPCWSTR ext) override {
    CountCall(info_);
    return info_.check(static_cast<const BYTE*>(head), bytes, ext);
  }
  HRESULT CheckPath(LPCWSTR path) override {
    CountCall(info_);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return E_FAIL;
    BYTE head[16] = {};
    DWORD got = 0;
    ReadFile(file, head, sizeof(head), &got, nullptr);
    CloseHandle(file);
    const WCHAR* dot = path;
    for (const WCHAR* at = path; *at; ++at)
      if (*at == u'.') dot = at + 1;
    return info_.check(head, got, dot == path ? u"" : dot);
  }
  HRESULT GetMetadataTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT Open(IWuReadFile** out, HANDLE, DWORD processId, LPCWSTR path,
               LONG shareFlag) override {
    *out = new File(this, path, processId, shareFlag);
    return S_OK;
  }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
  HRESULT GetState(HRESULT* status, BSTR* text) override {
    *status = S_OK;
    if (text) *text = nullptr;
    return S_OK;
  }

 private:
  ~Reader() override = default;
  const FioTestClassInfo& info_;
  LONG key_ = -1;
};

class Renderer : public WuFioTestObject<IWuRenderFileClass> {
 public:
  explicit Renderer(const FioTestClassInfo& info)
      : WuFioTestObject<IWuRenderFileClass>(IID_IWuRenderFileClass), info_(info) {}
  HRESULT SetIndex(LONG key) override { key_ = key; return S_OK; }
  HRESULT GetKey(LONG* key) override {
    *key = FIO_TEST_KEY_ANSWER(info_, key_);
    return S_OK;
  }
  HRESULT Initialize(IWuFileIOManager*) override { return S_OK; }
  HRESULT GetManager(IWuFileIOManager** m) override { *m = nullptr; return E_NOTIMPL; }
  HRESULT GetClassId(GUID* id) override { *id = *info_.rendererId; return S_OK; }
  HRESULT GetPartMask(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetFlags(DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetReaderClass(IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) override {
    for (LONG i = 0; i < count; ++i) out[i] = Text(ids[i], info_);
    return S_OK;
  }
  HRESULT CheckTemplate(const tagWUTEMPLATExV2*) override { return E_NOTIMPL; }
  HRESULT CreateRenderFile(IWuRenderFile**, LPCWSTR, const tagWUTEMPLATExV2*, HANDLE,
                           DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT GetPresetCount(LONG*) override { return E_NOTIMPL; }
  HRESULT GetPreset(tagWUTEMPLATExV2**, LONG) override { return E_NOTIMPL; }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
  HRESULT ConvertTemplate(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*, LONG) override {
    return E_NOTIMPL;
  }
  HRESULT TemplateOperation(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*,
                            const tagWUTEMPLATExV2*, LONG) override {
    return E_NOTIMPL;
  }
  HRESULT GetTemplateInfo(const tagWUTEMPLATExV2*, void*, DWORD, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT GetPageCount(LONG*, LONG*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetPage(LONG, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT PreparePages(HWND) override { return E_NOTIMPL; }
  HRESULT GetSettings(void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT SetSettings(const void*, DWORD) override { return E_NOTIMPL; }
  HRESULT GetState(HRESULT* status, BSTR* text) override {
    *status = S_OK;
    if (text) *text = nullptr;
    return S_OK;
  }

 protected:
  ~Renderer() override = default;

 private:
  const FioTestClassInfo& info_;
  LONG key_ = -1;
};

// The library's class list over g_fioTestInfos.
class ClassList final : public WuFioTestObject<IWuFileIOClassList> {
 public:
  ClassList() : WuFioTestObject<IWuFileIOClassList>(IID_IWuFileIOClassList) {}
  // Asks the manager for the first reader class of the table, as a plug-in
  // that looks at its installed classes would (the manager is probing it).
  HRESULT Initialize(IWuFileIOManager* manager) override {
    if (!manager) return S_OK;
    for (int i = 0; i < g_fioTestInfoCount; ++i) {
      if (!g_fioTestInfos[i].readerId) continue;
      IWuReadFileClass* cls = nullptr;
      if (manager->GetReaderClassById(&cls, *g_fioTestInfos[i].readerId) == S_OK) cls->Release();
      break;
    }
    return S_OK;
  }
  HRESULT GetCount(LONG* count) override {
    *count = g_fioTestInfoCount;
    return S_OK;
  }
  HRESULT Describe(LONG index, GUID* classId, LPWSTR name, LONG nameSize, DWORD* access,
                   DWORD* streamType, DWORD*, DWORD*, DWORD*, DWORD*, DWORD*,
                   DWORD* flags) override {
    if (index < 0 || index >= g_fioTestInfoCount) return E_INVALIDARG;
    const FioTestClassInfo& info = g_fioTestInfos[index];
    *classId = *info.pluginId;
    LONG i = 0;
    for (; i + 1 < nameSize && info.name[i]; ++i) name[i] = info.name[i];
    if (nameSize > 0) name[i] = 0;
    *access = (info.readerId ? 0x10u : 0u) | (info.rendererId ? 0x20u : 0u);
    *streamType = 1;
    *flags = info.flagsValue;
    return S_OK;
  }

 private:
  ~ClassList() override = default;
};

inline HRESULT MakeClassList(REFIID iid, void** object) {
  ClassList* made = new ClassList();
  HRESULT hr = made->QueryInterface(iid, object);
  made->Release();
  return hr;
}

template <int I>
HRESULT MakeClass(REFIID iid, void** object) {
  const FioTestClassInfo& info = g_fioTestInfos[I];
  IUnknown* made = nullptr;
  if (IsEqualGUID(iid, IID_IWuReadFileClass) && info.readerId)
    made = static_cast<IWuReadFileClass*>(new Reader(info));
  else if (IsEqualGUID(iid, IID_IWuRenderFileClass) && info.rendererId)
    made = static_cast<IWuRenderFileClass*>(new Renderer(info));
  if (!made) return E_NOINTERFACE;
  HRESULT hr = made->QueryInterface(iid, object);
  made->Release();
  return hr;
}

// Heads: "TST1"-style four-character starts.
inline bool HeadIs(const BYTE* head, DWORD bytes, const char* four) {
  if (bytes < 4) return false;
  for (int i = 0; i < 4; ++i)
    if (head[i] != static_cast<BYTE>(four[i])) return false;
  return true;
}

// An extension compared without regard to ASCII case.
inline bool ExtIs(LPCWSTR ext, const char16_t* want) {
  if (!ext) return false;
  for (; *ext && *want; ++ext, ++want) {
    char16_t a = *ext >= u'a' && *ext <= u'z' ? static_cast<char16_t>(*ext - 32) : *ext;
    char16_t b = *want >= u'a' && *want <= u'z' ? static_cast<char16_t>(*want - 32) : *want;
    if (a != b) return false;
  }
  return *ext == 0 && *want == 0;
}

}  // namespace fio_test
