#include "platform/com/globaltable.h"

#include <atomic>
#include <mutex>
#include <new>
#include <unordered_map>

#include "platform/com/com_internal.h"

namespace {

std::atomic<size_t> g_get_calls{0};

// The process's one table. Registrations hold one reference each; a lookup
// takes its own reference under the lock and calls the object outside it,
// so an object may use the table from its own methods (or its destructor).
class GlobalInterfaceTable final : public IGlobalInterfaceTable {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IGlobalInterfaceTable) {
      *object = static_cast<IGlobalInterfaceTable*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Counted for the callers' sake; the table lives as long as the process.
  ULONG AddRef() override { return refs_.fetch_add(1) + 1; }
  ULONG Release() override {
    ULONG count = refs_.load();
    while (count > 1 && !refs_.compare_exchange_weak(count, count - 1)) {
    }
    return count > 1 ? count - 1 : 1;
  }

  HRESULT RegisterInterfaceInGlobal(IUnknown* object, REFIID iid, DWORD* cookie) override {
    if (cookie) *cookie = 0;
    if (!object || !cookie) return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(lock_);
    if (next_cookie_ == 0) return E_OUTOFMEMORY;  // every cookie has been given out
    try {
      entries_.emplace(next_cookie_, Entry{object, iid});
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    object->AddRef();
    *cookie = next_cookie_++;
    return S_OK;
  }

  HRESULT RevokeInterfaceFromGlobal(DWORD cookie) override {
    IUnknown* object = nullptr;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto found = entries_.find(cookie);
      if (found == entries_.end()) return E_INVALIDARG;
      object = found->second.object;
      entries_.erase(found);
    }
    object->Release();
    return S_OK;
  }

  HRESULT GetInterfaceFromGlobal(DWORD cookie, REFIID iid, void** object) override {
    g_get_calls.fetch_add(1);
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    IUnknown* registered = nullptr;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto found = entries_.find(cookie);
      if (found == entries_.end()) return E_INVALIDARG;
      registered = found->second.object;
      registered->AddRef();  // kept alive across a concurrent revoke
    }
    HRESULT hr = registered->QueryInterface(iid, object);
    if (FAILED(hr)) *object = nullptr;
    registered->Release();
    return hr;
  }

 private:
  struct Entry {
    IUnknown* object;   // the registered pointer (one reference held)
    IID iid;            // the interface it was registered as
  };
  std::atomic<ULONG> refs_{1};
  std::mutex lock_;                                // guards the two fields below
  std::unordered_map<DWORD, Entry> entries_;       // registrations by cookie
  DWORD next_cookie_ = 1;                          // 0 once the cookies run out
};

GlobalInterfaceTable& Table() {
  static GlobalInterfaceTable* table = new GlobalInterfaceTable();  // lives to exit
  return *table;
}

}  // namespace

namespace platform {

HRESULT CreateGlobalInterfaceTable(REFIID iid, void** object) {
  return Table().QueryInterface(iid, object);
}

size_t GlobalInterfaceTableGetCount() { return g_get_calls.load(); }

}  // namespace platform
