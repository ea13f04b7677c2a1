// What the tests of objects across processes serve, in the test program and
// in its child: a class object making memory streams with a few marked read
// sizes that misbehave on purpose.
#pragma once

#include <unistd.h>

#include <atomic>
#include <mutex>

#include "platform/com/classfactory.h"
#include "platform/com/com.h"
#include "platform/kernel/threads.h"

namespace wutest {

inline constexpr CLSID CLSID_RemoteTestStreams = {0x7E57C0DE, 0x1234, 0x5678,
                                                  {1, 2, 3, 4, 5, 6, 7, 8}};

// Read sizes with their own behaviour.
constexpr ULONG kReadDies = 7777;         // the serving process ends mid-call
constexpr ULONG kReadOverclaims = 7779;   // claims to have read 0xFFFFFFFF bytes
constexpr ULONG kReadPatternBase = 1000;  // 1000..1099: bytes of value size-1000, after 20 ms

// Called whenever a TestStream is asked for IStream, when set (object code
// that calls across from QueryInterface).
inline std::atomic<void (*)()> g_on_stream_query{nullptr};

// A thread-safe stream over a memory stream.
class TestStream final : public IStream {
 public:
  TestStream() { CreateStreamOnHGlobal(nullptr, TRUE, &inner_); }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_ISequentialStream && iid != IID_IStream)
      return E_NOINTERFACE;
    if (auto hook = g_on_stream_query.load(); hook && iid == IID_IStream) hook();
    *object = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (!left) {
      inner_->Release();
      delete this;
    }
    return left;
  }
  ULONG Refs() const { return refs_; }
  HRESULT Read(void* buffer, ULONG bytes, ULONG* read) override {
    if (bytes == kReadDies) _exit(0);
    if (bytes == kReadOverclaims) {
      if (read) *read = 0xFFFFFFFFu;
      return S_OK;
    }
    if (bytes >= kReadPatternBase && bytes < kReadPatternBase + 100) {
      Sleep(20);
      for (ULONG i = 0; i < bytes; ++i) static_cast<BYTE*>(buffer)[i] = static_cast<BYTE>(bytes - kReadPatternBase);
      if (read) *read = bytes;
      return S_OK;
    }
    std::lock_guard<std::mutex> hold(lock_);
    return inner_->Read(buffer, bytes, read);
  }
  HRESULT Write(const void* buffer, ULONG bytes, ULONG* written) override {
    std::lock_guard<std::mutex> hold(lock_);
    return inner_->Write(buffer, bytes, written);
  }
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    std::lock_guard<std::mutex> hold(lock_);
    return inner_->Seek(move, origin, position);
  }
  HRESULT SetSize(ULARGE_INTEGER size) override {
    std::lock_guard<std::mutex> hold(lock_);
    return inner_->SetSize(size);
  }
  HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(STATSTG* stat, DWORD flags) override {
    std::lock_guard<std::mutex> hold(lock_);
    return inner_->Stat(stat, flags);
  }
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }

 private:
  IStream* inner_ = nullptr;
  std::mutex lock_;
  std::atomic<ULONG> refs_{1};
};

// The class object; counts what it made and what is still alive.
class TestStreamFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
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
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* stream = new TestStream();
    HRESULT hr = stream->QueryInterface(iid, object);
    stream->Release();
    return hr;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
  ULONG Refs() const { return refs_; }

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace wutest
