// An interface with an operation for each kind of argument that crosses
// processes, its table and proxy, and the object that serves it (in the
// test program and in its child): texts, BSTRs, self-sized and allocated
// records, interfaces, handles pulled and copied, window handles.
#pragma once

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/com/classfactory.h"
#include "platform/com/com.h"
#include "platform/com/oleauto.h"
#include "platform/com/remote.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/process.h"
#include "tests/platform/com/RemoteFixture.h"

namespace wutest {

inline constexpr CLSID CLSID_RemoteTestKinds = {0x7E57C0DF, 0x1234, 0x5678,
                                                {1, 2, 3, 4, 5, 6, 7, 9}};
inline constexpr IID IID_IRemoteKinds = {0x7E57C0E0, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 10}};

// A record that says its own size in its first word.
struct SizedRecord {
  DWORD size;      // bytes of the whole record
  DWORD value;     // a number
  BYTE rest[8];    // more bytes, as far as `size` reaches
};

// The frame size of Frames, and its frame count that lies.
constexpr DWORD kFrameBytes = 3;
constexpr LONG kFramesLie = 5;

// MakeRecord's size that states more than a record may have.
constexpr LONG kRecordTooLarge = 64 * 1024 * 1024;

class IRemoteKinds : public IUnknown {
 public:
  // 3: copies `in` (NULL: "(null)") into `out` (`size` units), cut to fit.
  virtual HRESULT Echo(LPCWSTR in, LPWSTR out, LONG size) = 0;
  // 4: "#<id>" for each id, NULL for id 0; fails for id 99.
  virtual HRESULT Names(const DWORD* ids, LONG count, BSTR* out) = 0;
  // 5: a text with a NUL inside.
  virtual HRESULT Text(BSTR* out) = 0;
  // 6: a new record of `size` bytes (0: none; kRecordTooLarge: one that
  // states that size).
  virtual HRESULT MakeRecord(LONG size, SizedRecord** out) = 0;
  // 7: a record of 8 bytes is replaced by one of 16; others get value + 1.
  virtual HRESULT Grow(SizedRecord** record) = 0;
  // 8: adds 1 to `value` and sets rest[] as far as the record reaches;
  // *sum the size word of `in` plus its value.
  virtual HRESULT Fill(SizedRecord* inout, const SizedRecord* in, DWORD* sum) = 0;
  // 9: a new stream holding `bytes`.
  virtual HRESULT NewStream(LONG bytes, IStream** out) = 0;
  // 10: S_OK when `stream` is the object's last stream from NewStream, S_FALSE
  // for NULL; hands it back.
  virtual HRESULT Bounce(IStream* stream, IStream** out) = 0;
  // 11: pulls `file` from process `process` (which may be a handle number
  // that is no argument: `other`) and reads its first `bytes` bytes.
  virtual HRESULT ReadFile(HANDLE file, DWORD process, ULONGLONG other, void* head, DWORD bytes,
                           DWORD* got) = 0;
  // 12: the window handle as it came, the caller's process, the preset + 1.
  virtual HRESULT Window(HWND owner, ULONGLONG* seen, DWORD* caller, int* preset) = 0;
  // 13: closes a handle copied for the caller; *count the copies left.
  virtual HRESULT CloseCopy(ULONGLONG handle, DWORD* count) = 0;
  // 14: a stream of class `clsid` made by the process serving it (the
  // caller's, say), handed on as it came.
  virtual HRESULT Borrow(REFCLSID clsid, IStream** out) = 0;
  // 15: `frames` frames of kFrameBytes bytes, byte k of the read being k;
  // for kFramesLie frames it says it gave one more.
  virtual HRESULT Frames(void* buffer, LONG frames, LONG* got) = 0;

 protected:
  ~IRemoteKinds() = default;
};

namespace kinds {

using platform::ComArg;
using platform::ComArgKind;
using K = ComArgKind;
constexpr BYTE kNo = 0xFF;

inline const platform::ComOperationRow kRows[] = {
    /* 3 Echo */ {3, {{K::kInText, kNo, kNo, 0, nullptr}, {K::kOutText, 2, kNo, 0, nullptr},
                      {K::kValue, kNo, kNo, 0, nullptr}}},
    /* 4 Names */ {3, {{K::kInBuffer, 1, kNo, 4, nullptr}, {K::kValue, kNo, kNo, 0, nullptr},
                       {K::kOutBstrArray, 1, kNo, 0, nullptr}}},
    /* 5 Text */ {1, {{K::kOutBstr, kNo, kNo, 0, nullptr}}},
    /* 6 MakeRecord */ {2, {{K::kValue, kNo, kNo, 0, nullptr}, {K::kOutAlloc, kNo, kNo, 8, nullptr}}},
    /* 7 Grow */ {1, {{K::kInOutAlloc, kNo, kNo, 8, nullptr}}},
    /* 8 Fill */ {3, {{K::kInOutSized, kNo, kNo, 8, nullptr}, {K::kInSized, kNo, kNo, 8, nullptr},
                      {K::kOutValue, kNo, kNo, 4, nullptr}}},
    /* 9 NewStream */ {2, {{K::kValue, kNo, kNo, 0, nullptr}, {K::kOutInterface, kNo, kNo, 0, &IID_IStream}}},
    /* 10 Bounce */ {2, {{K::kInInterface, kNo, kNo, 0, &IID_IStream},
                        {K::kOutInterface, kNo, kNo, 0, &IID_IStream}}},
    /* 11 ReadFile */ {6, {{K::kHandle, kNo, kNo, 0, nullptr}, {K::kValue, kNo, kNo, 0, nullptr},
                          {K::kValue, kNo, kNo, 0, nullptr}, {K::kOutBuffer, 4, 5, 0, nullptr},
                          {K::kValue, kNo, kNo, 0, nullptr}, {K::kOutValue, kNo, kNo, 4, nullptr}}},
    /* 12 Window */ {4, {{K::kWindow, kNo, kNo, 0, nullptr}, {K::kOutValue, kNo, kNo, 8, nullptr},
                        {K::kOutValue, kNo, kNo, 4, nullptr}, {K::kInOutValue, kNo, kNo, 4, nullptr}}},
    /* 13 CloseCopy */ {2, {{K::kValue, kNo, kNo, 0, nullptr}, {K::kOutValue, kNo, kNo, 4, nullptr}}},
    /* 14 Borrow */ {2, {{K::kInRecord, kNo, kNo, 16, nullptr},
                         {K::kOutInterface, kNo, kNo, 0, &IID_IStream}}},
    /* 15 Frames */ {3, {{K::kOutFrames, 1, 2, 0, nullptr}, {K::kValue, kNo, kNo, 0, nullptr},
                         {K::kOutValue, kNo, kNo, 4, nullptr}}},
};

class Proxy final : public IRemoteKinds {
 public:
  explicit Proxy(std::shared_ptr<platform::ComRemoteObject> remote) : remote_(std::move(remote)) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IRemoteKinds) return E_NOINTERFACE;
    *object = static_cast<IRemoteKinds*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (!left) delete this;
    return left;
  }
  HRESULT Echo(LPCWSTR in, LPWSTR out, LONG size) override {
    ComArg a[3];
    a[0].in = in;
    a[1].out = out;
    a[2].value = static_cast<ULONGLONG>(size);
    return remote_->Call(3, a);
  }
  HRESULT Names(const DWORD* ids, LONG count, BSTR* out) override {
    ComArg a[3];
    a[0].in = ids;
    a[1].value = static_cast<ULONGLONG>(count);
    a[2].out = out;
    return remote_->Call(4, a);
  }
  HRESULT Text(BSTR* out) override {
    ComArg a[1];
    a[0].out = out;
    return remote_->Call(5, a);
  }
  HRESULT MakeRecord(LONG size, SizedRecord** out) override {
    ComArg a[2];
    a[0].value = static_cast<ULONGLONG>(size);
    a[1].out = out;
    return remote_->Call(6, a);
  }
  HRESULT Grow(SizedRecord** record) override {
    ComArg a[1];
    a[0].out = record;
    return remote_->Call(7, a);
  }
  HRESULT Fill(SizedRecord* inout, const SizedRecord* in, DWORD* sum) override {
    ComArg a[3];
    a[0].out = inout;
    a[1].in = in;
    a[2].out = sum;
    return remote_->Call(8, a);
  }
  HRESULT NewStream(LONG bytes, IStream** out) override {
    ComArg a[2];
    a[0].value = static_cast<ULONGLONG>(bytes);
    a[1].out = out;
    return remote_->Call(9, a);
  }
  HRESULT Bounce(IStream* stream, IStream** out) override {
    ComArg a[2];
    a[0].in = stream;
    a[1].out = out;
    return remote_->Call(10, a);
  }
  HRESULT ReadFile(HANDLE file, DWORD process, ULONGLONG other, void* head, DWORD bytes,
                   DWORD* got) override {
    ComArg a[6];
    a[0].value = reinterpret_cast<ULONG_PTR>(file);
    a[1].value = process;
    a[2].value = other;
    a[3].out = head;
    a[4].value = bytes;
    a[5].out = got;
    return remote_->Call(11, a);
  }
  HRESULT Window(HWND owner, ULONGLONG* seen, DWORD* caller, int* preset) override {
    ComArg a[4];
    a[1].out = seen;
    a[2].out = caller;
    a[3].out = preset;
    return remote_->Call(12, a);
  }
  HRESULT CloseCopy(ULONGLONG handle, DWORD* count) override {
    ComArg a[2];
    a[0].value = handle;
    a[1].out = count;
    return remote_->Call(13, a);
  }
  HRESULT Borrow(REFCLSID clsid, IStream** out) override {
    ComArg a[2];
    a[0].in = &clsid;
    a[1].out = out;
    return remote_->Call(14, a);
  }
  HRESULT Frames(void* buffer, LONG frames, LONG* got) override {
    ComArg a[3];
    a[0].out = buffer;
    a[0].value = kFrameBytes;  // as a proxy that learned it would
    a[1].value = static_cast<ULONGLONG>(frames);
    a[2].out = got;
    return remote_->Call(15, a);
  }

 private:
  std::shared_ptr<platform::ComRemoteObject> remote_;
  std::atomic<ULONG> refs_{1};
};

// The serving object.
class Object final : public IRemoteKinds {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IRemoteKinds) return E_NOINTERFACE;
    *object = static_cast<IRemoteKinds*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (!left) {
      if (last_) last_->Release();
      delete this;
    }
    return left;
  }
  HRESULT Echo(LPCWSTR in, LPWSTR out, LONG size) override {
    if (!in) in = u"(null)";
    LONG n = 0;
    for (; n + 1 < size && in[n]; ++n) out[n] = in[n];
    if (size > 0) out[n] = 0;
    return in[n] ? S_FALSE : S_OK;
  }
  HRESULT Names(const DWORD* ids, LONG count, BSTR* out) override {
    for (LONG i = 0; i < count; ++i) {
      if (ids[i] == 99) return E_INVALIDARG;
      WCHAR text[16] = u"#";
      DWORD v = ids[i], at = 1;
      char digits[12];
      int d = 0;
      do digits[d++] = static_cast<char>('0' + v % 10); while (v /= 10);
      while (d) text[at++] = static_cast<WCHAR>(digits[--d]);
      out[i] = ids[i] ? SysAllocString(text) : nullptr;
    }
    return S_OK;
  }
  HRESULT Text(BSTR* out) override {
    *out = SysAllocStringLen(u"a\0b", 3);
    return S_OK;
  }
  HRESULT MakeRecord(LONG size, SizedRecord** out) override {
    *out = nullptr;
    if (size == 0) return S_FALSE;
    auto* r = static_cast<SizedRecord*>(std::calloc(1, sizeof(SizedRecord)));
    r->size = size == kRecordTooLarge ? static_cast<DWORD>(size) : sizeof(SizedRecord);
    r->value = 7;
    *out = r;
    return S_OK;
  }
  HRESULT Grow(SizedRecord** record) override {
    if (!*record) return E_POINTER;
    if ((*record)->size == 8) {
      auto* r = static_cast<SizedRecord*>(std::calloc(1, sizeof(SizedRecord)));
      r->size = sizeof(SizedRecord);
      r->value = (*record)->value * 10;
      std::free(*record);
      *record = r;
    } else {
      ++(*record)->value;
    }
    return S_OK;
  }
  HRESULT Fill(SizedRecord* inout, const SizedRecord* in, DWORD* sum) override {
    if (inout) {
      ++inout->value;
      for (DWORD i = 8; i < inout->size; ++i) reinterpret_cast<BYTE*>(inout)[i] = static_cast<BYTE>(i);
    }
    *sum = in ? in->size + in->value : 0;
    return S_OK;
  }
  HRESULT NewStream(LONG bytes, IStream** out) override {
    auto* stream = new TestStream();
    std::string fill(static_cast<size_t>(bytes), 's');
    stream->Write(fill.data(), static_cast<ULONG>(bytes), nullptr);
    if (last_) last_->Release();
    last_ = stream;
    stream->AddRef();
    *out = stream;
    return S_OK;
  }
  HRESULT Bounce(IStream* stream, IStream** out) override {
    *out = stream;
    if (!stream) return S_FALSE;
    stream->AddRef();
    return stream == last_ ? S_OK : E_UNEXPECTED;
  }
  HRESULT ReadFile(HANDLE file, DWORD process, ULONGLONG other, void* head, DWORD bytes,
                   DWORD* got) override {
    HANDLE copy = nullptr;
    DWORD error = platform::ComPullHandle(other ? other : reinterpret_cast<ULONG_PTR>(file), process, &copy);
    if (error) return HRESULT_FROM_WIN32(error);
    SetFilePointer(copy, 0, nullptr, FILE_BEGIN);
    BOOL ok = ::ReadFile(copy, head, bytes, got, nullptr);
    CloseHandle(copy);
    return ok ? S_OK : E_FAIL;
  }
  HRESULT Window(HWND owner, ULONGLONG* seen, DWORD* caller, int* preset) override {
    *seen = reinterpret_cast<ULONG_PTR>(owner);
    *caller = platform::ComCallerProcessId();
    ++*preset;
    return S_OK;
  }
  HRESULT CloseCopy(ULONGLONG handle, DWORD* count) override {
    DWORD error = handle ? platform::ComCloseCopiedHandle(handle) : 0;
    *count = static_cast<DWORD>(platform::ComCopiedHandleCount());
    return error ? E_INVALIDARG : S_OK;
  }
  HRESULT Borrow(REFCLSID clsid, IStream** out) override {
    return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IStream,
                            reinterpret_cast<void**>(out));
  }
  HRESULT Frames(void* buffer, LONG frames, LONG* got) override {
    for (LONG k = 0; k < frames * static_cast<LONG>(kFrameBytes); ++k)
      static_cast<BYTE*>(buffer)[k] = static_cast<BYTE>(k);
    *got = frames == kFramesLie ? frames + 1 : frames;
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  IStream* last_ = nullptr;
};

inline HRESULT MakeProxy(std::shared_ptr<platform::ComRemoteObject> remote, void** object) {
  *object = static_cast<IRemoteKinds*>(new Proxy(std::move(remote)));
  return S_OK;
}

inline HRESULT Invoke(IUnknown* object, DWORD operation, ComArg* a) {
  auto* o = static_cast<IRemoteKinds*>(object);
  switch (operation) {
    case 3: return o->Echo(static_cast<LPCWSTR>(a[0].in), static_cast<LPWSTR>(a[1].out), static_cast<LONG>(a[2].value));
    case 4: return o->Names(static_cast<const DWORD*>(a[0].in), static_cast<LONG>(a[1].value), static_cast<BSTR*>(a[2].out));
    case 5: return o->Text(static_cast<BSTR*>(a[0].out));
    case 6: return o->MakeRecord(static_cast<LONG>(a[0].value), static_cast<SizedRecord**>(a[1].out));
    case 7: return o->Grow(static_cast<SizedRecord**>(a[0].out));
    case 8: return o->Fill(static_cast<SizedRecord*>(a[0].out), static_cast<const SizedRecord*>(a[1].in), static_cast<DWORD*>(a[2].out));
    case 9: return o->NewStream(static_cast<LONG>(a[0].value), static_cast<IStream**>(a[1].out));
    case 10: return o->Bounce(static_cast<IStream*>(const_cast<void*>(a[0].in)), static_cast<IStream**>(a[1].out));
    case 11: return o->ReadFile(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(a[0].value)), static_cast<DWORD>(a[1].value), a[2].value, a[3].out, static_cast<DWORD>(a[4].value), static_cast<DWORD*>(a[5].out));
    case 12: return o->Window(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(a[0].value)), static_cast<ULONGLONG*>(a[1].out), static_cast<DWORD*>(a[2].out), static_cast<int*>(a[3].out));
    case 13: return o->CloseCopy(a[0].value, static_cast<DWORD*>(a[1].out));
    case 14: return o->Borrow(*static_cast<const CLSID*>(a[0].in), static_cast<IStream**>(a[1].out));
    case 15: return o->Frames(a[0].out, static_cast<LONG>(a[1].value), static_cast<LONG*>(a[2].out));
  }
  return E_NOTIMPL;
}

inline HRESULT FrameBytes(IUnknown*, DWORD, DWORD* bytes) {
  *bytes = kFrameBytes;
  return S_OK;
}

inline const platform::ComInterfaceTable kTable = {3, 13, kRows, MakeProxy, Invoke, FrameBytes};

}  // namespace kinds

// Registers the table (both sides do, as a proxy library would).
inline void RegisterKindsTable() { platform::RegisterComInterfaceTable(IID_IRemoteKinds, &kinds::kTable); }

// The class object of the kinds object.
class KindsFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (!left) delete this;
    return left;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    auto* made = new kinds::Object();
    HRESULT hr = made->QueryInterface(iid, object);
    made->Release();
    return hr;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace wutest
