#include "platform/com/com.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/com/com_internal.h"
#include "platform/com/globaltable.h"

namespace {

// ---- Per-thread initialisation -----------------------------------------------------------
thread_local int t_init_count = 0;       // CoInitializeEx calls not yet taken back
thread_local DWORD t_init_model = 0;     // COINIT_APARTMENTTHREADED or COINIT_MULTITHREADED

// ---- The class table -----------------------------------------------------------------------
struct ClassEntry {
  CLSID clsid;                          // the class
  platform::ComClassFactory factory;    // makes its objects
};

std::mutex& ClassLock() {
  static std::mutex lock;
  return lock;
}
std::vector<ClassEntry>& Classes() {
  static std::vector<ClassEntry>* classes = new std::vector<ClassEntry>();  // lives to exit
  return *classes;
}
// The classes the platform itself offers: this area's own from the start,
// the higher areas' registered when the program starts.
std::vector<ClassEntry>& BuiltinClasses() {
  static std::vector<ClassEntry>* classes = new std::vector<ClassEntry>{
      {CLSID_StdGlobalInterfaceTable, &platform::CreateGlobalInterfaceTable},
  };  // lives to exit
  return *classes;
}

// Sets, replaces or (NULL factory) removes the row of `clsid` in a class
// table; the caller holds ClassLock().
void SetClass(std::vector<ClassEntry>& classes, REFCLSID clsid,
              platform::ComClassFactory factory) {
  for (size_t i = 0; i < classes.size(); ++i) {
    if (classes[i].clsid == clsid) {
      if (factory)
        classes[i].factory = factory;
      else
        classes.erase(classes.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
  if (!factory) return;
  try {
    classes.push_back({clsid, factory});
  } catch (const std::bad_alloc&) {
    // Out of memory: the class stays unregistered (CoCreateInstance then
    // answers REGDB_E_CLASSNOTREG).
  }
}

platform::ComClassFactory FindFactory(REFCLSID clsid) {
  {
    std::lock_guard<std::mutex> hold(ClassLock());
    for (const ClassEntry& entry : Classes())
      if (entry.clsid == clsid) return entry.factory;
  }
  // Classes the platform itself offers, unless a registration replaced them.
  std::lock_guard<std::mutex> hold(ClassLock());
  for (const ClassEntry& entry : BuiltinClasses())
    if (entry.clsid == clsid) return entry.factory;
  return nullptr;
}

// ---- The memory stream -----------------------------------------------------------------------
// The bytes that a stream and its clones share.
struct SharedBlock {
  std::atomic<ULONG> refs;   // streams over the block
  HGLOBAL block;             // the global memory block
  SIZE_T size;               // the stream's size in bytes (<= GlobalSize(block))
  BOOL delete_on_release;    // free the block with the last stream
};

void ReleaseShared(SharedBlock* shared) {
  if (shared->refs.fetch_sub(1) != 1) return;
  if (shared->delete_on_release) GlobalFree(shared->block);
  delete shared;
}

// The largest stream size: the global memory layer takes SIZE_T sizes, and
// counts in this interface are 32-bit per call, so any 63-bit size is safe
// to compute with.
constexpr ULONGLONG kMaxStreamSize = 0x7FFFFFFFFFFFFFFFull;

class HGlobalStream final : public IStream {
 public:
  HGlobalStream(SharedBlock* shared, ULONGLONG position) : shared_(shared), position_(position) {}

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
  ULONG AddRef() override { return refs_.fetch_add(1) + 1; }
  ULONG Release() override {
    ULONG left = refs_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
  }

  HRESULT Read(void* buffer, ULONG bytes, ULONG* read) override {
    if (read) *read = 0;
    if (!buffer && bytes) return STG_E_INVALIDPOINTER;
    ULONG count = 0;
    if (position_ < shared_->size) {
      ULONGLONG available = shared_->size - position_;
      count = available < bytes ? static_cast<ULONG>(available) : bytes;
    }
    if (count) {
      BYTE* base = static_cast<BYTE*>(GlobalLock(shared_->block));
      if (!base) return E_OUTOFMEMORY;
      std::memcpy(buffer, base + position_, count);
      GlobalUnlock(shared_->block);
    }
    position_ += count;
    if (read) *read = count;
    return S_OK;
  }

  HRESULT Write(const void* buffer, ULONG bytes, ULONG* written) override {
    if (written) *written = 0;
    if (!buffer && bytes) return STG_E_INVALIDPOINTER;
    if (!bytes) return S_OK;
    ULONGLONG end = position_ + bytes;
    if (end > kMaxStreamSize) return STG_E_MEDIUMFULL;
    if (end > shared_->size) {
      HRESULT hr = Resize(end);
      if (FAILED(hr)) return STG_E_MEDIUMFULL;
    }
    BYTE* base = static_cast<BYTE*>(GlobalLock(shared_->block));
    if (!base) return E_OUTOFMEMORY;
    std::memcpy(base + position_, buffer, bytes);
    GlobalUnlock(shared_->block);
    position_ = end;
    if (written) *written = bytes;
    return S_OK;
  }

  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    LONGLONG base = 0;
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = static_cast<LONGLONG>(position_); break;
      case STREAM_SEEK_END: base = static_cast<LONGLONG>(shared_->size); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    // Both values are within 63 bits, so the sum cannot overflow unless the
    // move is huge; check before adding.
    LONGLONG delta = move.QuadPart;
    if ((delta > 0 && base > static_cast<LONGLONG>(kMaxStreamSize) - delta) || base + delta < 0)
      return STG_E_INVALIDFUNCTION;
    position_ = static_cast<ULONGLONG>(base + delta);
    if (position) position->QuadPart = position_;
    return S_OK;
  }

  HRESULT SetSize(ULARGE_INTEGER size) override {
    if (size.QuadPart > kMaxStreamSize) return STG_E_MEDIUMFULL;
    return Resize(size.QuadPart);
  }

  HRESULT CopyTo(IStream* target, ULARGE_INTEGER bytes, ULARGE_INTEGER* read,
                 ULARGE_INTEGER* written) override {
    if (read) read->QuadPart = 0;
    if (written) written->QuadPart = 0;
    if (!target) return STG_E_INVALIDPOINTER;
    ULONGLONG left = bytes.QuadPart;
    ULONGLONG total_read = 0, total_written = 0;
    BYTE chunk[4096];
    HRESULT hr = S_OK;
    while (left > 0) {
      ULONG want = left < sizeof(chunk) ? static_cast<ULONG>(left) : sizeof(chunk);
      ULONG got = 0;
      hr = Read(chunk, want, &got);
      if (FAILED(hr) || got == 0) break;
      total_read += got;
      ULONG put = 0;
      hr = target->Write(chunk, got, &put);
      total_written += put;
      if (FAILED(hr)) break;
      if (put < got) {
        hr = STG_E_MEDIUMFULL;
        break;
      }
      left -= got;
    }
    if (read) read->QuadPart = total_read;
    if (written) written->QuadPart = total_written;
    return hr;
  }

  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }

  HRESULT Stat(STATSTG* stat, DWORD flags) override {
    if (!stat) return STG_E_INVALIDPOINTER;
    if (flags != STATFLAG_DEFAULT && flags != STATFLAG_NONAME) return STG_E_INVALIDFLAG;
    std::memset(stat, 0, sizeof(*stat));
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = shared_->size;
    stat->grfMode = STGM_READWRITE;
    return S_OK;
  }

  HRESULT Clone(IStream** stream) override {
    if (!stream) return STG_E_INVALIDPOINTER;
    *stream = nullptr;
    HGlobalStream* copy = new (std::nothrow) HGlobalStream(shared_, position_);
    if (!copy) return E_OUTOFMEMORY;
    shared_->refs.fetch_add(1);
    *stream = copy;
    return S_OK;
  }

  HGLOBAL Block() const { return shared_->block; }

 private:
  ~HGlobalStream() { ReleaseShared(shared_); }

  // Grows or shrinks the block to `size` bytes (keeping a grown block's
  // new bytes zeroed) and records the stream's size.
  HRESULT Resize(ULONGLONG size) {
    if (size > static_cast<ULONGLONG>(static_cast<SIZE_T>(-1))) return E_OUTOFMEMORY;
    SIZE_T bytes = static_cast<SIZE_T>(size);
    if (bytes != GlobalSize(shared_->block)) {
      HGLOBAL moved = GlobalReAlloc(shared_->block, bytes, GMEM_MOVEABLE | GMEM_ZEROINIT);
      if (!moved) return E_OUTOFMEMORY;
      shared_->block = moved;
    }
    shared_->size = bytes;
    return S_OK;
  }

  std::atomic<ULONG> refs_{1};   // references to this stream
  SharedBlock* shared_;          // the bytes, shared with clones
  ULONGLONG position_;           // the seek pointer
};

}  // namespace

// ---- Initialisation -----------------------------------------------------------------------

HRESULT CoInitializeEx(void* reserved, DWORD flags) {
  if (reserved) return E_INVALIDARG;
  DWORD model = (flags & COINIT_APARTMENTTHREADED) ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
  if (t_init_count > 0) {
    if (model != t_init_model) return RPC_E_CHANGED_MODE;
    ++t_init_count;
    return S_FALSE;
  }
  t_init_model = model;
  t_init_count = 1;
  return S_OK;
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
  if (t_init_count > 0) --t_init_count;
}

// ---- Creating objects ------------------------------------------------------------------------

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  // A context with an in-process part (or none named) tries the class table
  // first; the local server is another process's published class object.
  const bool local = (context & CLSCTX_LOCAL_SERVER) != 0;
  if (!local || (context & CLSCTX_INPROC)) {
    if (platform::ComClassFactory factory = FindFactory(clsid)) {
      HRESULT hr = factory(iid, object);
      if (FAILED(hr)) *object = nullptr;
      return hr;
    }
  }
  if (!local) return REGDB_E_CLASSNOTREG;
  HRESULT hr = platform::CreateLocalServerInstance(clsid, iid, object);
  if (FAILED(hr)) *object = nullptr;
  return hr;
}

// ---- Task memory ----------------------------------------------------------------------------

void* CoTaskMemAlloc(SIZE_T bytes) { return std::malloc(bytes ? bytes : 1); }
void* CoTaskMemRealloc(void* block, SIZE_T bytes) { return std::realloc(block, bytes ? bytes : 1); }
void CoTaskMemFree(void* block) { std::free(block); }

// ---- Streams ------------------------------------------------------------------------------------

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL delete_on_release, IStream** stream) {
  if (!stream) return E_INVALIDARG;
  *stream = nullptr;
  bool made = false;
  if (!block) {
    block = GlobalAlloc(GMEM_MOVEABLE, 0);
    if (!block) return E_OUTOFMEMORY;
    made = true;
  } else if (GlobalFlags(block) & GMEM_INVALID_HANDLE) {
    return E_INVALIDARG;
  }
  SharedBlock* shared = new (std::nothrow) SharedBlock{{1}, block, GlobalSize(block),
                                                        delete_on_release};
  HGlobalStream* created = shared ? new (std::nothrow) HGlobalStream(shared, 0) : nullptr;
  if (!created) {
    delete shared;
    if (made) GlobalFree(block);
    return E_OUTOFMEMORY;
  }
  *stream = created;
  return S_OK;
}

HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* block) {
  if (!block) return E_INVALIDARG;
  *block = nullptr;
  HGlobalStream* memory = dynamic_cast<HGlobalStream*>(stream);
  if (!memory) return E_INVALIDARG;
  *block = memory->Block();
  return S_OK;
}

int StringFromGUID2(const GUID& guid, LPWSTR buffer, int size) {
  constexpr int kLength = 38;  // braces, 32 digits, 4 dashes
  if (!buffer || size < kLength + 1) return 0;
  static const char kDigits[] = "0123456789ABCDEF";
  BYTE bytes[16];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(guid.Data1 >> (24 - 8 * i));
  bytes[4] = static_cast<BYTE>(guid.Data2 >> 8);
  bytes[5] = static_cast<BYTE>(guid.Data2);
  bytes[6] = static_cast<BYTE>(guid.Data3 >> 8);
  bytes[7] = static_cast<BYTE>(guid.Data3);
  std::memcpy(bytes + 8, guid.Data4, 8);
  int at = 0;
  buffer[at++] = u'{';
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) buffer[at++] = u'-';
    buffer[at++] = static_cast<WCHAR>(kDigits[bytes[i] >> 4]);
    buffer[at++] = static_cast<WCHAR>(kDigits[bytes[i] & 15]);
  }
  buffer[at++] = u'}';
  buffer[at++] = 0;
  return at;
}

namespace platform {

void RegisterComClass(REFCLSID clsid, ComClassFactory factory) {
  std::lock_guard<std::mutex> hold(ClassLock());
  SetClass(Classes(), clsid, factory);
}

void RegisterBuiltinComClass(REFCLSID clsid, ComClassFactory factory) {
  std::lock_guard<std::mutex> hold(ClassLock());
  SetClass(BuiltinClasses(), clsid, factory);
}

int ComInitCount() { return t_init_count; }

}  // namespace platform
