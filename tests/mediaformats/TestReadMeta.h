// A metadata reader for the tests: IWuReadMeta and the broadcast-wave kind
// over streams built in memory (CreateStreamOnHGlobal). Every stream it
// hands out is wrapped so that the tests see how many are still held; the
// reader counts its own references too.
#pragma once

#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "foundation/WuStatus.h"
#include "mediaformats/WuReadMeta.h"
#include "platform/com/com.h"
#include "platform/kernel/memory.h"

namespace metatest {

// An IStream that forwards to a memory stream and counts itself live.
class CountingStream final : public IStream {
 public:
  CountingStream(IStream* inner, int* live) : inner_(inner), live_(live) { ++*live_; }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_ISequentialStream) ||
        IsEqualGUID(iid, IID_IStream)) {
      *object = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) {
      inner_->Release();
      --*live_;
      delete this;
    }
    return left;
  }
  HRESULT Read(void* b, ULONG n, ULONG* r) override { return inner_->Read(b, n, r); }
  HRESULT Write(const void* b, ULONG n, ULONG* w) override { return inner_->Write(b, n, w); }
  HRESULT Seek(LARGE_INTEGER m, DWORD o, ULARGE_INTEGER* p) override {
    return inner_->Seek(m, o, p);
  }
  HRESULT SetSize(ULARGE_INTEGER s) override { return inner_->SetSize(s); }
  HRESULT CopyTo(IStream* t, ULARGE_INTEGER n, ULARGE_INTEGER* r, ULARGE_INTEGER* w) override {
    return inner_->CopyTo(t, n, r, w);
  }
  HRESULT Commit(DWORD f) override { return inner_->Commit(f); }
  HRESULT Revert() override { return inner_->Revert(); }
  HRESULT LockRegion(ULARGE_INTEGER o, ULARGE_INTEGER n, DWORD t) override {
    return inner_->LockRegion(o, n, t);
  }
  HRESULT UnlockRegion(ULARGE_INTEGER o, ULARGE_INTEGER n, DWORD t) override {
    return inner_->UnlockRegion(o, n, t);
  }
  HRESULT Stat(STATSTG* s, DWORD f) override { return inner_->Stat(s, f); }
  HRESULT Clone(IStream** s) override { return inner_->Clone(s); }

 private:
  ~CountingStream() = default;
  IStream* inner_;
  int* live_;
  ULONG refs_ = 1;
};

// A new stream holding `bytes`, counted in *live; null on failure.
inline IStream* MakeStream(const std::string& bytes, int* live) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!block) return nullptr;
  if (!bytes.empty()) {
    void* p = GlobalLock(block);
    std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  IStream* inner = nullptr;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, &inner))) {
    GlobalFree(block);
    return nullptr;
  }
  return new CountingStream(inner, live);
}

// UTF-16 text with its terminator, as a field stream carries it.
inline std::string Utf16Bytes(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
}

// The reader. Construct on the stack; tests check refs() and live() after
// the call under test. Fields absent from `fields` answer 0x8004E00A.
class TestReadMeta final : public IWuReadMeta, public IWuReadMetaBroadcastWave {
 public:
  std::map<int, std::string> fields;  // broadcast-wave field streams
  bool has_bwf = true;                // QueryInterface offers the kind

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWuReadMeta)) {
      *object = static_cast<IWuReadMeta*>(this);
    } else if (has_bwf && IsEqualGUID(iid, IID_IWuReadMetaBroadcastWave)) {
      *object = static_cast<IWuReadMetaBroadcastWave*>(this);
    } else {
      return E_NOINTERFACE;
    }
    ++refs_;
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }

  HRESULT GetRegionStream(IStream** stream) override { return Absent(stream); }
  HRESULT GetCommandStream(IStream** stream) override { return Absent(stream); }
  HRESULT ReservedOperation(void*) override { return E_NOTIMPL; }
  HRESULT GetTextValue(DWORD, LPWSTR buffer, int size) override {
    if (buffer && size > 0) buffer[0] = 0;
    return S_FALSE;
  }
  HRESULT GetSummaryStream(IStream** stream) override { return Absent(stream); }

  HRESULT GetFieldStream(IStream** stream, int field) override {
    if (!stream) return E_POINTER;
    *stream = nullptr;
    if (field < 0 || field > 9) return E_INVALIDARG;
    auto it = fields.find(field);
    if (it == fields.end()) return WuStatusCode(0x8004E00A);
    *stream = MakeStream(it->second, &live_);
    return *stream ? S_OK : E_OUTOFMEMORY;
  }

  // References held beyond the caller's own (0 when every one came back).
  ULONG refs() const { return refs_; }
  // Streams handed out and not yet released.
  int live() const { return live_; }

 private:
  HRESULT Absent(IStream** stream) {
    if (stream) *stream = nullptr;
    return WuStatusCode(0x8004E00A);
  }
  ULONG refs_ = 0;
  int live_ = 0;
};

}  // namespace metatest
