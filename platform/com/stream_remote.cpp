// IStream across processes: its table (Read, Write, Seek, SetSize, Stat),
// the proxy that sends those operations, and the calls on the real stream.
#include <atomic>

#include "platform/com/com_internal.h"
#include "platform/com/remote.h"

namespace platform {

namespace {

// Operation numbers of IStream (after IUnknown's three).
constexpr DWORD kRead = 3, kWrite = 4, kSeek = 5, kSetSize = 6, kStat = 12;

// Both sides are the same build, so the record crosses as it lies in
// memory; its name pointer never crosses (the serving side frees it).
static_assert(sizeof(STATSTG) == 80, "STATSTG crosses processes byte for byte");

using K = ComArgKind;
const ComOperationRow kRows[] = {
    /* 3 Read */ {3, {{K::kOutBuffer, 1, 2, 0, nullptr}, {K::kValue, 0, 0, 0, nullptr}, {K::kOutValue, 0, 0, 4, nullptr}}},
    /* 4 Write */ {3, {{K::kInBuffer, 1, 0, 0, nullptr}, {K::kValue, 0, 0, 0, nullptr}, {K::kOutValue, 0, 0, 4, nullptr}}},
    /* 5 Seek */ {3, {{K::kValue, 0, 0, 0, nullptr}, {K::kValue, 0, 0, 0, nullptr}, {K::kOutValue, 0, 0, 8, nullptr}}},
    /* 6 SetSize */ {1, {{K::kValue, 0, 0, 0, nullptr}}},
    /* 7 CopyTo */ {0, {}},
    /* 8 Commit */ {0, {}},
    /* 9 Revert */ {0, {}},
    /* 10 LockRegion */ {0, {}},
    /* 11 UnlockRegion */ {0, {}},
    /* 12 Stat */ {2, {{K::kOutRecord, 0, 0, sizeof(STATSTG), nullptr}, {K::kValue, 0, 0, 0, nullptr}}},
    /* 13 Clone */ {0, {}},
};

class StreamProxy final : public IStream {
 public:
  explicit StreamProxy(std::shared_ptr<ComRemoteObject> remote) : remote_(std::move(remote)) {}

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream) {
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
    if (!left) delete this;
    return left;
  }

  HRESULT Read(void* buffer, ULONG bytes, ULONG* read) override {
    if (read) *read = 0;
    ComArg args[3];
    args[0].out = buffer;
    args[1].value = bytes;
    args[2].out = read;
    return remote_->Call(kRead, args);
  }
  HRESULT Write(const void* buffer, ULONG bytes, ULONG* written) override {
    if (written) *written = 0;
    ComArg args[3];
    args[0].in = buffer;
    args[1].value = bytes;
    args[2].out = written;
    return remote_->Call(kWrite, args);
  }
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    ComArg args[3];
    args[0].value = static_cast<ULONGLONG>(move.QuadPart);
    args[1].value = origin;
    args[2].out = position ? &position->QuadPart : nullptr;
    return remote_->Call(kSeek, args);
  }
  HRESULT SetSize(ULARGE_INTEGER size) override {
    ComArg args[1];
    args[0].value = size.QuadPart;
    return remote_->Call(kSetSize, args);
  }
  HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT Revert() override { return E_NOTIMPL; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(STATSTG* stat, DWORD flags) override {
    if (!stat) return STG_E_INVALIDPOINTER;
    ComArg args[2];
    args[0].out = stat;
    args[1].value = flags;
    HRESULT hr = remote_->Call(kStat, args);
    stat->pwcsName = nullptr;  // names do not cross
    return hr;
  }
  HRESULT Clone(IStream** stream) override {
    if (stream) *stream = nullptr;
    return E_NOTIMPL;
  }

 private:
  std::shared_ptr<ComRemoteObject> remote_;
  std::atomic<ULONG> refs_{1};
};

HRESULT MakeProxy(std::shared_ptr<ComRemoteObject> remote, void** object) {
  auto* proxy = new (std::nothrow) StreamProxy(std::move(remote));
  *object = proxy ? static_cast<IStream*>(proxy) : nullptr;
  return proxy ? S_OK : E_OUTOFMEMORY;
}

HRESULT Invoke(IUnknown* object, DWORD operation, ComArg* args) {
  IStream* stream = static_cast<IStream*>(object);
  switch (operation) {
    case kRead:
      return stream->Read(args[0].out, static_cast<ULONG>(args[1].value),
                          static_cast<ULONG*>(args[2].out));
    case kWrite:
      return stream->Write(args[0].in, static_cast<ULONG>(args[1].value),
                           static_cast<ULONG*>(args[2].out));
    case kSeek: {
      LARGE_INTEGER move;
      move.QuadPart = static_cast<LONGLONG>(args[0].value);
      return stream->Seek(move, static_cast<DWORD>(args[1].value),
                          static_cast<ULARGE_INTEGER*>(args[2].out));
    }
    case kSetSize: {
      ULARGE_INTEGER size;
      size.QuadPart = args[0].value;
      return stream->SetSize(size);
    }
    case kStat: {
      STATSTG* stat = static_cast<STATSTG*>(args[0].out);
      HRESULT hr = stream->Stat(stat, static_cast<DWORD>(args[1].value));
      if (stat->pwcsName) CoTaskMemFree(stat->pwcsName);
      stat->pwcsName = nullptr;
      return hr;
    }
  }
  return E_NOTIMPL;
}

}  // namespace

const ComInterfaceTable& StreamInterfaceTable() {
  static const ComInterfaceTable table = {3, 11, kRows, MakeProxy, Invoke};
  return table;
}

}  // namespace platform
