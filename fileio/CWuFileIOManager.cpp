// The file-I/O manager object: lifetime, set-up, in-memory metrics, the
// class lookups by id, key and extension, and the enumerators.
#include "fileio/CWuFileIOManager.h"

#include "fileio/CWuFioFilterBuilder.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "fileio/CWuFileIOTypeEnum.h"
#include "fileio/CWuTemplateCache.h"
#include "fileio/WuFioPaths.h"
#include "fileio/WuFioSurrogate.h"
#include "foundation/WuList.h"
#include "foundation/WuString.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "platform/kernel/threads.h"

namespace {

// The live managers, for the lookups that are given a class and no
// manager. The lock also guards every manager's plug-in list pointer and
// the freeing of its records.
std::mutex g_managersLock;
std::vector<CWuFileIOManager*> g_managers;

}  // namespace

HRESULT CWuFileIOManager::FindRendererLibrary(const GUID& rendererId, LPWSTR out, DWORD size) {
  std::lock_guard<std::mutex> hold(g_managersLock);
  for (CWuFileIOManager* manager : g_managers) {
    for (LONG i = 0; i < WuFio_PluginCount(manager->plugins_); ++i) {
      const WUFIO_PLUGIN_RECORD* record = WuFio_PluginAt(manager->plugins_, i);
      if (!IsEqualGUID(record->renderer.classId, rendererId)) continue;
      WuStrCpyNLen2(out, record->path, static_cast<int>(std::min<DWORD>(size, 0x7FFFFFFF)));
      return S_OK;
    }
  }
  return WUFIO_E_ABSENT;
}

void CWuFileIOManager::ReplacePluginList(tWULIST* list) {
  std::lock_guard<std::mutex> hold(g_managersLock);
  if (plugins_ != list) WuFio_FreePluginList(plugins_);
  plugins_ = list;
}

CWuFileIOManager* CWuFileIOManager::Create() {
  void* memory = WuGlobalNew(sizeof(CWuFileIOManager));
  return memory ? new (memory) CWuFileIOManager() : nullptr;
}

CWuFileIOManager::CWuFileIOManager()
    : readers_(nullptr),
      renderers_(nullptr),
      pluginEnum_(nullptr),
      references_(0),
      lastReader_(-1),
      lastRenderer_(-1),
      initialisedCom_(0),
      plugins_(nullptr),
      metrics_(),
      mutex_(INVALID_HANDLE_VALUE),
      flags_(0),
      lockOwner_(0),
      lockDepth_(0),
      templateCache_(nullptr),
      surrogateProcessId_(0) {
  std::lock_guard<std::mutex> hold(g_managersLock);
  g_managers.push_back(this);
}

CWuFileIOManager::~CWuFileIOManager() {
  Shutdown();
  {
    std::lock_guard<std::mutex> hold(g_managersLock);
    g_managers.erase(std::find(g_managers.begin(), g_managers.end(), this));
  }
  WuFio_DisconnectSurrogate(this);
  WuFio_ForgetManager(this);
  // A manager that never got its mutex still owns what it was given.
  if (readers_) readers_->Release();
  if (renderers_) renderers_->Release();
  if (pluginEnum_) pluginEnum_->Release();
  ReplacePluginList(nullptr);
  ReleaseProbeHolds();
  worker_.Stop();
}

void CWuFileIOManager::DeletingDestructor(LONG flags) {
  this->~CWuFileIOManager();
  if (flags & 1) WuGlobalDelete(this);
}

HRESULT CWuFileIOManager::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualGUID(iid, IID_IWuFileIOManager) || IsEqualGUID(iid, IID_IWuFileIOMgrForApp) ||
      IsEqualGUID(iid, IID_IUnknown)) {
    *object = static_cast<IWuFileIOMgrForApp*>(this);
    AddRef();
    return S_OK;
  }
  // The object itself, for the library's own helpers (the template caches).
  if (IsEqualGUID(iid, IID_CWuFileIOManager)) {
    *object = this;
    AddRef();
    return S_OK;
  }
  // Every request for the builder's interface makes a new builder.
  if (IsEqualGUID(iid, IID_IWuFioFilterBuilder2)) {
    CWuFioFilterBuilder* builder = CWuFioFilterBuilder::Create(this);
    if (!builder) return E_OUTOFMEMORY;
    return builder->QueryInterface(iid, object);
  }
  return E_NOINTERFACE;
}

ULONG CWuFileIOManager::AddRef() { return static_cast<ULONG>(++references_); }

ULONG CWuFileIOManager::Release() {
  LONG left = --references_;
  if (left == 0) {
    DeletingDestructor(1);
    return 0;
  }
  return static_cast<ULONG>(left);
}

HRESULT CWuFileIOManager::GetLanguageId(DWORD* lcid, LONG reserved) {
  if (!lcid) return E_POINTER;
  *lcid = 0;
  if (reserved != 0) return E_INVALIDARG;
  *lcid = WuFio_CurrentLangId();
  return S_OK;
}

// ---- Metrics (see also WuFioManagerMetrics.cpp) ----------------------------------------------

HRESULT CWuFileIOManager::ApplyInitializationMetrics(const _WUFIO_INITIALIZATION_METRICS* metrics) {
  if (!metrics) return E_POINTER;
  for (int i = 0; i < 40; ++i)
    if (metrics->mask & (ULONGLONG{1} << i)) metrics_[i] = metrics->values[i];
  return S_OK;
}

// ---- Set-up and teardown --------------------------------------------------------------------

HRESULT CWuFileIOManager::Initialize(DWORD flags) { return InitializeEx(flags, nullptr); }

HRESULT CWuFileIOManager::InitializeEx(DWORD flags, LPCWSTR appFolderName) {
  metrics_[0] = static_cast<LONG>(flags & WUFIO_CREATE_IGNORE_CACHE);
  flags_ = flags;
  WCHAR made[260] = {};
  if (!appFolderName) {
    WuFio_GetAppFolderName(nullptr, made, 260);
    appFolderName = made;
  }
  if (mutex_ == INVALID_HANDLE_VALUE) {
    WCHAR name[260] = {};
    WuFio_MakeMutexName(appFolderName, name, 260);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (!mutex) return E_FAIL;
    mutex_ = mutex;
  }
  // A manager without cache paths probes every library and keeps no cache.
  WuFio_EnsureCachePaths(appFolderName, flags, nullptr);
  return S_OK;
}

void CWuFileIOManager::Lock() {
  if (mutex_ == INVALID_HANDLE_VALUE) return;
  WaitForSingleObject(mutex_, INFINITE);
  if (lockDepth_++ == 0) lockOwner_.store(GetCurrentThreadId());
}

void CWuFileIOManager::Unlock() {
  if (mutex_ == INVALID_HANDLE_VALUE) return;
  if (--lockDepth_ == 0) lockOwner_.store(0);
  ReleaseMutex(mutex_);
}

HRESULT CWuFileIOManager::Shutdown() {
  if (mutex_ == INVALID_HANDLE_VALUE) return S_OK;
  Lock();
  if (readers_) readers_->Release();
  if (renderers_) renderers_->Release();
  if (pluginEnum_) pluginEnum_->Release();
  readers_ = nullptr;
  renderers_ = nullptr;
  pluginEnum_ = nullptr;
  ReplacePluginList(nullptr);
  // The global template cache goes with the manager.
  WuFio_DropManagerTemplateCache(&templateCache_);
  WuFio_DisconnectSurrogate(this);
  surrogateProcessId_ = 0;
  HANDLE mutex = mutex_;
  Unlock();
  mutex_ = INVALID_HANDLE_VALUE;
  CloseHandle(mutex);
  return S_OK;
}

void CWuFileIOManager::ReleaseProbeHolds() {
  for (HMODULE module : probeHolds_) FreeLibrary(module);
  probeHolds_.clear();
}

// ---- Lists and enumerators ------------------------------------------------------------------

HRESULT CWuFileIOManager::SetPluginList(tWULIST* list, DWORD filterFlags, const GUID* filterList,
                                        LONG filterCount) {
  if (pluginEnum_) pluginEnum_->Release();
  if (readers_) readers_->Release();
  if (renderers_) renderers_->Release();
  pluginEnum_ = nullptr;
  readers_ = nullptr;
  renderers_ = nullptr;
  ReplacePluginList(list);
  pluginEnum_ = CWuFIOPluginEnum::Create(this, plugins_);
  if (!pluginEnum_) return E_OUTOFMEMORY;
  pluginEnum_->AddRef();
  HRESULT hr = E_OUTOFMEMORY;
  readers_ = CWuReaderEnum::Create();
  if (readers_) {
    readers_->AddRef();
    hr = readers_->Build(this, filterFlags, filterList, filterCount, plugins_);
  }
  if (SUCCEEDED(hr)) {
    hr = E_OUTOFMEMORY;
    renderers_ = CWuRendererEnum::Create();
    if (renderers_) {
      renderers_->AddRef();
      hr = renderers_->Build(this, filterFlags, filterList, filterCount, plugins_);
    }
  }
  if (FAILED(hr)) {
    if (readers_) readers_->Release();
    if (renderers_) renderers_->Release();
    readers_ = nullptr;
    renderers_ = nullptr;
  }
  return hr;
}

HRESULT CWuFileIOManager::GetReaderEnum(IWuFileIOTypeEnum** out) {
  if (!out || !readers_) return WUFIO_E_ABSENT;
  return readers_->QueryInterface(IID_IWuFileIOTypeEnum, reinterpret_cast<void**>(out));
}

HRESULT CWuFileIOManager::GetRendererEnum(IWuFileIOTypeEnum** out) {
  if (!out || !renderers_) return WUFIO_E_ABSENT;
  return renderers_->QueryInterface(IID_IWuFileIOTypeEnum, reinterpret_cast<void**>(out));
}

LONG CWuFileIOManager::GetReaderCount() { return readers_ ? readers_->GetCount() : 0; }
LONG CWuFileIOManager::GetRendererCount() { return renderers_ ? renderers_->GetCount() : 0; }

HRESULT CWuFileIOManager::GetPluginCount(LONG* count) {
  LONG n = WuFio_PluginCount(plugins_);
  if (count) *count = n;
  return n > 0 ? S_OK : S_FALSE;
}

HRESULT CWuFileIOManager::HasPlugin(GUID id) {
  if (!pluginEnum_) return E_FAIL;
  WUFIO_PLUGIN_INFO scratch = {};
  scratch.size = WUFIO_PLUGIN_INFO_SIZE;
  return pluginEnum_->FindById(id, &scratch) == S_OK ? S_OK : S_FALSE;
}

HRESULT CWuFileIOManager::GetPluginEnum(IWuFIOPluginEnum** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!pluginEnum_) return E_FAIL;
  pluginEnum_->AddRef();
  *out = pluginEnum_;
  return S_OK;
}

HRESULT CWuFileIOManager::GetPluginInfo(GUID id, WUFIO_PLUGIN_INFO* info) {
  if (!pluginEnum_) return E_FAIL;
  return pluginEnum_->FindById(id, info);
}

// ---- Classes by key, id and extension ---------------------------------------------------------

WUFIO_PLUGIN_RECORD* CWuFileIOManager::ReaderRecord(LONG key) const {
  return readers_ ? readers_->RecordAt(key) : nullptr;
}

WUFIO_PLUGIN_RECORD* CWuFileIOManager::RendererRecord(LONG key) const {
  return renderers_ ? renderers_->RecordAt(key) : nullptr;
}

HRESULT CWuFileIOManager::ClassOf(WUFIO_PLUGIN_RECORD* record, bool reader, void** out) {
  *out = nullptr;
  WUFIO_CLASS_PART* part = reader ? &record->reader : &record->renderer;
  HRESULT loaded = S_OK;
  if (WuFio_PartState(part) == WUFIO_CLASS_NOT_LOADED) loaded = LoadRecordClasses(record);
  if (WuFio_PartState(part) != WUFIO_CLASS_LOADED || !part->object)
    return loaded == WUFIO_E_DEPENDENCY ? loaded : E_NOINTERFACE;
  return part->object->QueryInterface(reader ? IID_IWuReadFileClass : IID_IWuRenderFileClass,
                                      out);
}

HRESULT CWuFileIOManager::GetReaderClassByKey(IWuReadFileClass** out, LONG key) {
  if (!out) return E_POINTER;
  *out = nullptr;
  WUFIO_PLUGIN_RECORD* record = ReaderRecord(key);
  if (!record) return E_NOINTERFACE;
  return ClassOf(record, true, reinterpret_cast<void**>(out));
}

HRESULT CWuFileIOManager::GetRendererClassByKey(IWuRenderFileClass** out, LONG key) {
  if (!out) return E_POINTER;
  *out = nullptr;
  WUFIO_PLUGIN_RECORD* record = RendererRecord(key);
  if (!record) return E_NOINTERFACE;
  return ClassOf(record, false, reinterpret_cast<void**>(out));
}

HRESULT CWuFileIOManager::GetReaderClassById(IWuReadFileClass** out, GUID id) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualGUID(id, GUID{})) return WUFIO_E_NOT_FOUND;
  for (LONG key = 0; key < GetReaderCount(); ++key) {
    WUFIO_PLUGIN_RECORD* record = ReaderRecord(key);
    if (IsEqualGUID(record->reader.classId, id))
      return ClassOf(record, true, reinterpret_cast<void**>(out));
  }
  return WUFIO_E_NOT_FOUND;
}

HRESULT CWuFileIOManager::GetRendererClassById(IWuRenderFileClass** out, GUID id) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualGUID(id, GUID{})) return WUFIO_E_NOT_FOUND;
  for (LONG key = 0; key < GetRendererCount(); ++key) {
    WUFIO_PLUGIN_RECORD* record = RendererRecord(key);
    if (IsEqualGUID(record->renderer.classId, id))
      return ClassOf(record, false, reinterpret_cast<void**>(out));
  }
  return WUFIO_E_NOT_FOUND;
}

namespace {

// Whether an upper-cased ";"-separated extension list has an entry that,
// without a leading "*" and a "." after it, equals `ext` (upper-cased).
bool ListClaims(LPCWSTR list, const std::u16string& ext) {
  if (!list) return false;
  const WCHAR* at = list;
  while (*at) {
    const WCHAR* end = at;
    while (*end && *end != u';') ++end;
    const WCHAR* entry = at;
    if (entry < end && *entry == u'*') ++entry;
    if (entry < end && *entry == u'.') ++entry;
    if (platform::CompareText(entry, static_cast<size_t>(end - entry), ext.data(), ext.size(),
                              true) == 0)
      return true;
    at = *end ? end + 1 : end;
  }
  return false;
}

}  // namespace

HRESULT CWuFileIOManager::FindByExtension(bool reader, LPCWSTR ext, LONG* key, void** out) {
  if (!ext) return WUFIO_E_NOT_FOUND;
  if (!out || !key || *key < -1) return E_INVALIDARG;
  *out = nullptr;
  std::u16string wanted(ext[0] == u'.' ? ext + 1 : ext);
  for (char16_t& c : wanted) c = platform::CharUpper(c);
  if (reader && wanted.size() > 4 && wanted.compare(0, 4, u"WUAP") == 0 && wanted[4] >= u'0' &&
      wanted[4] <= u'9')
    wanted = u"W64";
  LONG count = reader ? GetReaderCount() : GetRendererCount();
  for (LONG at = *key < 0 ? 0 : *key; at < count; ++at) {
    WUFIO_PLUGIN_RECORD* record = reader ? ReaderRecord(at) : RendererRecord(at);
    WUFIO_CLASS_PART* part = reader ? &record->reader : &record->renderer;
    if (!ListClaims(part->extensions, wanted)) continue;
    void* found = nullptr;
    if (FAILED(ClassOf(record, reader, &found))) continue;
    // The key is the place the class was found at, which is the key this
    // manager gave it. The class's own answer is not used: a class object
    // shared with another manager holds the key that one gave it, and a
    // class may answer anything; a caller continuing from such a key + 1
    // would scan the same place again, for ever.
    *key = at;
    *out = found;
    return S_OK;
  }
  return WUFIO_E_NOT_FOUND;
}

HRESULT CWuFileIOManager::FindReaderClassByExtension(IWuReadFileClass** out, LPCWSTR ext,
                                                     LONG* key) {
  void* found = nullptr;
  HRESULT hr = FindByExtension(true, ext, key, out ? &found : nullptr);
  if (out) *out = static_cast<IWuReadFileClass*>(found);
  return hr;
}

HRESULT CWuFileIOManager::FindRendererClassByExtension(IWuRenderFileClass** out, LPCWSTR ext,
                                                       LONG* key) {
  void* found = nullptr;
  HRESULT hr = FindByExtension(false, ext, key, out ? &found : nullptr);
  if (out) *out = static_cast<IWuRenderFileClass*>(found);
  return hr;
}

HRESULT CWuFileIOManager::GetLastUsedReaderClass(IWuReadFileClass** out) {
  return GetReaderClassByKey(out, lastReader_);
}

HRESULT CWuFileIOManager::NoteReaderClassUsed(IWuReadFileClass* cls) {
  if (!cls) return S_OK;
  GUID id = {};
  cls->GetClassId(&id);
  if (IsEqualGUID(id, CLSID_WuGenericReader)) return S_OK;
  LONG key = -1;
  cls->GetKey(&key);
  lastReader_ = key;
  return S_OK;
}
