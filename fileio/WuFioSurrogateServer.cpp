// The surrogate's side: its class object, and the object each client gets
// from it, which creates plug-in classes in this process through the
// surrogate's own manager.
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "fileio/CWuFileIOManager.h"
#include "fileio/WuFioRemoteTables.h"
#include "fileio/WuFioSurrogate.h"
#include "foundation/WuList.h"
#include "platform/com/classfactory.h"
#include "platform/com/remote.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"

namespace {

// The id under which a client object answers itself (this file only).
constexpr IID kIidSurrogateObject = {0x3B1C7E52, 0x6A0D, 0x4F8E,
                                     {0x9C, 0x21, 0x5D, 0x7E, 0x40, 0x13, 0xA8, 0x66}};

// What the class object and every client object share: the manager, the
// program to report to and the records of the classes made here.
class SurrogateState {
 public:
  SurrogateState(IWuFileIOMgrForApp* manager, IWuFioSurrogateHost* host)
      : manager_(manager), host_(host) {
    manager_->AddRef();
  }
  ~SurrogateState() {
    for (WUFIO_PLUGIN_RECORD* record : records_) WuFio_FreePluginRecord(record);
    manager_->Release();
  }

  IWuFileIOMgrForApp* Manager() const { return manager_; }

  void ClientCame() {
    std::lock_guard<std::mutex> hold(lock_);
    ++clients_;
    host_->ClientCame();
  }
  void ClientLeft() {
    std::lock_guard<std::mutex> hold(lock_);
    host_->ClientLeft(--clients_ == 0);
  }

  // Makes the class `clsid` of the library `path` in this process, asked
  // for `iid`, loading the ";"-separated `preloads` first (the record's
  // list when the class is made the first time); a reader or renderer
  // class is initialised with the manager.
  HRESULT Create(LPCWSTR path, LPCWSTR preloads, REFCLSID clsid, REFIID iid, void** out) {
    CWuFileIOManager* manager = nullptr;
    if (FAILED(manager_->QueryInterface(IID_CWuFileIOManager, reinterpret_cast<void**>(&manager))))
      return E_UNEXPECTED;
    HRESULT hr;
    {
      std::lock_guard<std::mutex> hold(lock_);
      WUFIO_PLUGIN_RECORD* record = nullptr;
      hr = RecordFor(path, preloads, clsid, &record);
      if (SUCCEEDED(hr)) hr = manager->CreateRecordClass(record, iid, out);
    }
    manager->Release();
    if (FAILED(hr)) return hr;
    if (!*out) return E_FAIL;
    if (IsEqualGUID(iid, IID_IWuReadFileClass))
      hr = static_cast<IWuReadFileClass*>(*out)->Initialize(manager_);
    else if (IsEqualGUID(iid, IID_IWuRenderFileClass))
      hr = static_cast<IWuRenderFileClass*>(*out)->Initialize(manager_);
    else if (IsEqualGUID(iid, IID_IWuFileIOClassList))
      hr = static_cast<IWuFileIOClassList*>(*out)->Initialize(manager_);
    if (FAILED(hr)) {
      static_cast<IUnknown*>(*out)->Release();
      *out = nullptr;
    }
    return hr;
  }

 private:
  // The record of (path, clsid), made on first use from the library path
  // as a candidate of the manager (lock held).
  HRESULT RecordFor(LPCWSTR path, LPCWSTR preloads, REFCLSID clsid, WUFIO_PLUGIN_RECORD** out) {
    for (WUFIO_PLUGIN_RECORD* record : records_) {
      if (IsEqualGUID(record->classId, clsid) && WuFio_ComparePaths(record->path, path) == 0) {
        *out = record;
        return S_OK;
      }
    }
    tWULIST* list = WuFio_NewPluginList();
    if (!list) return E_OUTOFMEMORY;
    HRESULT hr = WuFio_AddPluginCandidate(list, path);
    WUFIO_PLUGIN_RECORD* made = WuFio_PluginCount(list) == 1 ? WuFio_PluginAt(list, 0) : nullptr;
    if (made) WuList_DeleteList(list, 0, 1, FALSE);
    WuFio_FreePluginList(list);
    if (FAILED(hr)) {
      WuFio_FreePluginRecord(made);
      return hr;
    }
    if (!made) return REGDB_E_CLASSNOTREG;  // no such library
    made->classId = clsid;
    if (*preloads && FAILED(WuFio_SetText(&made->preloads, preloads))) {
      WuFio_FreePluginRecord(made);
      return E_OUTOFMEMORY;
    }
    try {
      records_.push_back(made);
    } catch (...) {
      WuFio_FreePluginRecord(made);
      return E_OUTOFMEMORY;
    }
    *out = made;
    return S_OK;
  }

  IWuFileIOMgrForApp* manager_;                 // the surrogate's manager (a reference)
  IWuFioSurrogateHost* host_;                   // the program
  std::mutex lock_;                             // guards what follows
  LONG clients_ = 0;                            // client objects alive
  std::vector<WUFIO_PLUGIN_RECORD*> records_;   // classes made here (owned)
};

// The object one client talks to.
class CWuFioSurrogateObject final : public IWuFileIOSurrogate {
 public:
  explicit CWuFioSurrogateObject(std::shared_ptr<SurrogateState> state) : state_(std::move(state)) {
    state_->ClientCame();
  }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IID_IWuFileIOSurrogate) &&
        !IsEqualGUID(iid, kIidSurrogateObject))
      return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IWuFileIOSurrogate*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // The renderer class `id` this client created (a new reference), or NULL.
  IWuRenderFileClass* RendererClass(const GUID& id) {
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& [created, cls] : renderers_) {
      GUID own = {};
      if (IsEqualGUID(created, id) || (SUCCEEDED(cls->GetClassId(&own)) && IsEqualGUID(own, id))) {
        cls->AddRef();
        return cls;
      }
    }
    return nullptr;
  }

  HRESULT GetProcessId(DWORD* processId) override {
    if (!processId) return E_POINTER;
    *processId = GetCurrentProcessId();
    return S_OK;
  }
  HRESULT CreatePluginClass(LPCWSTR libraryPath, REFCLSID clsid, REFIID iid,
                            void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!libraryPath) return E_INVALIDARG;
    // "path|preloads": split at the last '|'.
    std::u16string path = libraryPath, preloads;
    size_t bar = path.rfind(u'|');
    if (bar != std::u16string::npos) {
      preloads = path.substr(bar + 1);
      path.resize(bar);
    }
    HRESULT hr = state_->Create(path.c_str(), preloads.c_str(), clsid, iid, out);
    // Renderer classes are kept for the template editor, found by class id.
    if (SUCCEEDED(hr) && IsEqualGUID(iid, IID_IWuRenderFileClass)) {
      auto* cls = static_cast<IWuRenderFileClass*>(*out);
      std::lock_guard<std::mutex> hold(lock_);
      try {
        renderers_.emplace_back(clsid, cls);
        cls->AddRef();
      } catch (...) {
        cls->Release();
        *out = nullptr;
        return E_OUTOFMEMORY;
      }
    }
    return hr;
  }
  // Only a handle copied into this process for the client that asks.
  HRESULT CloseCopiedHandle(ULONGLONG handle) override {
    return platform::ComCloseCopiedHandle(handle) == ERROR_SUCCESS ? S_OK : E_INVALIDARG;
  }
  HRESULT GetManager(IWuFileIOMgrForApp** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT Ping() override { return E_NOTIMPL; }
  HRESULT Quit() override { return E_NOTIMPL; }
  // The surrogate manager's own template editor (slot 20), without an
  // owner window: its dialog runs under this process's front end.
  HRESULT EditTemplate(HWND, IWuRenderFileClass* cls, LONG pageWord, const void* settings,
                       DWORD* flags, IStream* templates, tagWUTEMPLATExV2* in,
                       tagWUTEMPLATExV2** out) override {
    return state_->Manager()->EditTemplate(nullptr, cls, pageWord, settings, flags, templates, in,
                                           out);
  }

 private:
  ~CWuFioSurrogateObject() {
    for (auto& kept : renderers_) kept.second->Release();
    state_->ClientLeft();
  }

  LONG volatile refs_ = 1;                 // reference count
  std::shared_ptr<SurrogateState> state_;  // shared with the class object
  std::mutex lock_;                        // guards what follows
  // The renderer classes made for this client, with the class ids they
  // were made under (a reference each).
  std::vector<std::pair<GUID, IWuRenderFileClass*>> renderers_;
};

// The class object the surrogate publishes.
class CWuFioSurrogateClassObject final : public IClassFactory {
 public:
  explicit CWuFioSurrogateClassObject(std::shared_ptr<SurrogateState> state)
      : state_(std::move(state)) {}

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IID_IClassFactory))
      return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* made = new (std::nothrow) CWuFioSurrogateObject(state_);
    if (!made) return E_OUTOFMEMORY;
    HRESULT hr = made->QueryInterface(iid, object);
    made->Release();
    return hr;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  ~CWuFioSurrogateClassObject() = default;

  LONG volatile refs_ = 1;                 // reference count
  std::shared_ptr<SurrogateState> state_;  // shared with the client objects
};

}  // namespace

HRESULT WuFio_NewSurrogateClassObject(IWuFileIOMgrForApp* manager, IWuFioSurrogateHost* host,
                                      IUnknown** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!manager || !host) return E_INVALIDARG;
  WuFio_RegisterRemoteTables();
  std::shared_ptr<SurrogateState> state;
  try {
    state = std::make_shared<SurrogateState>(manager, host);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  auto* made = new (std::nothrow) CWuFioSurrogateClassObject(std::move(state));
  if (!made) return E_OUTOFMEMORY;
  *out = made;
  return S_OK;
}

HRESULT WuFio_SurrogateClassById(IWuFileIOSurrogate* object, const GUID& id, IWuRenderFileClass** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!object) return E_INVALIDARG;
  IWuFileIOSurrogate* mine = nullptr;
  if (FAILED(object->QueryInterface(kIidSurrogateObject, reinterpret_cast<void**>(&mine))) || !mine)
    return E_NOINTERFACE;
  *out = static_cast<CWuFioSurrogateObject*>(mine)->RendererClass(id);
  mine->Release();
  return *out ? S_OK : E_INVALIDARG;
}
