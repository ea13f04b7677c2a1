// fio_test_oop: a reader and renderer class meant for the surrogate. Both
// report the process they live in; the reader's Open pulls the caller's
// file handle with DuplicateHandleFromProcessId and reads the file through
// it; a property call ends the process in the middle of the call, another
// makes the call take long. See FioTestOop.h. Built from the interface
// header alone, which declares the handle functions it calls.
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"
#include "tests/fileio/plugins/FioTestClasses.h"
#include "tests/fileio/plugins/FioTestOop.h"

// The surrogate reports to nobody: the counters of the kit go nowhere in a
// host that keeps none (a test program's own definitions come first).
extern "C" __attribute__((visibility("default"))) void WuFioTestReport(const char*, int, LONG) {}
extern "C" __attribute__((visibility("default"))) void WuFioTestNote(const char*, const char16_t*) {}

namespace {

using namespace fio_test;

HRESULT CheckOop(const BYTE* head, DWORD bytes, LPCWSTR) {
  return HeadIs(head, bytes, "OOP1") ? S_OK : E_FAIL;
}

// The class properties both classes share.
HRESULT ClassProperty(DWORD id, LONGLONG* value) {
  if (id != kOopProcessId) return E_INVALIDARG;
  *value = GetCurrentProcessId();
  return S_OK;
}

HRESULT SetClassProperty(DWORD id, LONGLONG value) {
  switch (id) {
    case kOopExit:
      ExitProcess(static_cast<UINT>(value));
    case kOopSleep:
      Sleep(static_cast<DWORD>(value));
      return S_OK;
    case kOopPull: {
      HANDLE copy = nullptr;
      HRESULT hr = DuplicateHandleFromProcessId(static_cast<DWORD>(value & 0xFFFFFFFF),
                                                static_cast<DWORD>(value >> 32), &copy);
      if (copy) CloseHandle(copy);
      return hr;
    }
    default:
      return E_INVALIDARG;
  }
}

// A file opened through a pulled handle.
class OopFile final : public WuFioTestObject<IWuReadFile> {
 public:
  OopFile(IWuReadFileClass* cls, ULONGLONG head, HRESULT pulled)
      : WuFioTestObject<IWuReadFile>(IID_IWuReadFile), class_(cls), head_(head), pulled_(pulled) {
    class_->AddRef();
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
    if (id == kOopFileHead) *value = static_cast<LONGLONG>(head_);
    else if (id == kOopFilePull) *value = pulled_;
    else return ClassProperty(id, value);
    return S_OK;
  }
  HRESULT SetProperty(DWORD id, LONGLONG value) override { return SetClassProperty(id, value); }
  HRESULT GetFileName(LPWSTR buffer) override {
    buffer[0] = 0;
    return S_OK;
  }
  HRESULT GetDuration(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetStreamCount(LONG* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT FindStream(DWORD, LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2*, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT GetStreamIdentity(LONG, DWORD*, LONG*) override { return E_NOTIMPL; }
  HRESULT GetDefaultStream(DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT OpenStream(IWuReadStream** out, LONG, DWORD, DWORD, void*) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetMetadataTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetMetaReader(IWuReadMeta**) override { return E_NOTIMPL; }
  HRESULT Close() override { return S_OK; }

 private:
  ~OopFile() override { class_->Release(); }
  IWuReadFileClass* class_;  // the class that opened the file (a reference)
  ULONGLONG head_;           // the file's first 8 bytes
  HRESULT pulled_;           // the status of the pull
};

class OopReader final : public WuFioTestObject<IWuReadFileClass> {
 public:
  explicit OopReader(const FioTestClassInfo& info)
      : WuFioTestObject<IWuReadFileClass>(IID_IWuReadFileClass), info_(info) {}
  HRESULT SetIndex(LONG key) override { key_ = key; return S_OK; }
  HRESULT GetKey(LONG* key) override { *key = key_; return S_OK; }
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
  HRESULT CheckFile(HANDLE file, const void* head, DWORD bytes, LPCWSTR ext) override {
    lastChecked_ = reinterpret_cast<ULONG_PTR>(file);
    return CheckOop(static_cast<const BYTE*>(head), bytes, ext);
  }
  HRESULT CheckPath(LPCWSTR path) override {
    const WCHAR* dot = nullptr;
    for (const WCHAR* at = path; at && *at; ++at)
      if (*at == u'.') dot = at + 1;
    return dot && ExtIs(dot, u"oop") ? S_OK : E_FAIL;
  }
  HRESULT GetMetadataTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT Open(IWuReadFile** out, HANDLE file, DWORD processId, LPCWSTR,
               LONG) override {
    HANDLE mine = nullptr;
    HRESULT pulled = DuplicateHandleFromProcessId(
        static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(file)), processId, &mine);
    ULONGLONG head = 0;
    if (SUCCEEDED(pulled)) {
      BYTE bytes[8] = {};
      DWORD got = 0;
      SetFilePointer(mine, 0, nullptr, FILE_BEGIN);
      ReadFile(mine, bytes, sizeof bytes, &got, nullptr);
      CloseHandle(mine);
      for (int i = 7; i >= 0; --i) head = (head << 8) | bytes[i];
    }
    *out = new OopFile(this, head, pulled);
    return S_OK;
  }
  HRESULT GetProperty(DWORD id, LONGLONG* value) override {
    if (id == kOopLastChecked) {
      *value = static_cast<LONGLONG>(lastChecked_);
      return S_OK;
    }
    return ClassProperty(id, value);
  }
  HRESULT SetProperty(DWORD id, LONGLONG value) override { return SetClassProperty(id, value); }
  HRESULT GetState(HRESULT* status, BSTR* text) override {
    *status = S_OK;
    if (text) *text = nullptr;
    return S_OK;
  }

 private:
  ~OopReader() override = default;
  const FioTestClassInfo& info_;
  LONG key_ = -1;
  ULONG_PTR lastChecked_ = 0;  // the handle CheckFile got last
};

class OopRenderer final : public Renderer {
 public:
  using Renderer::Renderer;
  HRESULT GetProperty(DWORD id, LONGLONG* value) override { return ClassProperty(id, value); }
  HRESULT SetProperty(DWORD id, LONGLONG value) override { return SetClassProperty(id, value); }

 private:
  ~OopRenderer() override = default;
};

HRESULT MakeOop(REFIID iid, void** object) {
  const FioTestClassInfo& info = g_fioTestInfos[0];
  IUnknown* made = nullptr;
  if (IsEqualGUID(iid, IID_IWuReadFileClass))
    made = static_cast<IWuReadFileClass*>(new OopReader(info));
  else if (IsEqualGUID(iid, IID_IWuRenderFileClass))
    made = static_cast<IWuRenderFileClass*>(new OopRenderer(info));
  if (!made) return E_NOINTERFACE;
  HRESULT hr = made->QueryInterface(iid, object);
  made->Release();
  return hr;
}

}  // namespace

const FioTestClassInfo g_fioTestInfos[] = {
    {&kOop, &kOopReader, &kOopRenderer, u"OOP", u"*.oop", u"OOP files", "OOP", &CheckOop, 0},
};
const int g_fioTestInfoCount = 1;

const WuFioTestClass g_wuFioTestClasses[] = {
    {&CLSID_WuFileIOClassList, &MakeClassList},
    {&kOop, &MakeOop},
};
const int g_wuFioTestClassCount = 2;
