// Loading plug-in classes: a record's class object made through its
// library's class factory (preload modules first), the reader and renderer
// parts initialised on the manager's worker thread under its mutex, and
// the refresh at creation.
//
// The current folder is left alone while a library loads: it is shared by
// every thread of the process. A plug-in that needs other libraries of its
// folder names them as preload modules; loaded first by their full paths,
// they satisfy the plug-in's needs by their shared-object names.
#include <cstring>
#include <string>

#include "fileio/CWuFileIOManager.h"
#include "fileio/CWuFileIOTypeEnum.h"
#include "fileio/WuFioSurrogate.h"
#include "fileio/WuFioTypeTables.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "platform/com/oleauto.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "platform/kernel/threads.h"

namespace {

typedef HRESULT (*DllGetClassObjectFn)(REFCLSID, REFIID, void**);

// Loads the record's preload modules from its library's folder. S_FALSE
// when there are none, 0x8004E03C for a list or a path too long; names
// outside the folder and missing files are skipped, load failures
// ignored. The modules loaded are kept with the record, which frees them;
// sets WUFIO_PLUGIN_PRELOADED.
HRESULT LoadPreloads(WUFIO_PLUGIN_RECORD* record) {
  if (!record->preloads || !*record->preloads) return S_FALSE;
  WCHAR folder[260] = {};
  WuStrCpyN(folder, record->path, 260);
  *WuGetFileNamePtrW(folder) = 0;
  if (!*folder) return S_FALSE;
  if (lstrlenW(record->preloads) > 259) return WUFIO_E_BUFFER_TOO_SMALL;
  // At most one module per name: the list's length bounds the count.
  LONG names = 1;
  for (const WCHAR* c = record->preloads; *c; ++c) names += *c == u';';
  auto* loaded = static_cast<HMODULE*>(WuGlobalNew(sizeof(HMODULE) * static_cast<SIZE_T>(names)));
  if (!loaded) return E_OUTOFMEMORY;
  LONG count = 0;
  HRESULT result = S_OK;
  const WCHAR* at = record->preloads;
  while (*at) {
    const WCHAR* end = at;
    while (*end && *end != u';') ++end;
    std::u16string name(at, static_cast<size_t>(end - at));
    at = *end ? end + 1 : end;
    if (name.empty()) continue;
    std::u16string full = std::u16string(folder) + name;
    if (!*WuGetFileNameExtensionPtrW(name.c_str())) full += platform::kSharedLibraryExtension;
    if (full.size() >= 260) {
      result = WUFIO_E_BUFFER_TOO_SMALL;
      break;
    }
    if (!WuFio_PathIsInside(full.c_str(), folder) || !WuDoesFileExist(full.c_str())) continue;
    HMODULE module = LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module && count < names) loaded[count++] = module;
  }
  // Kept with the record (also on failure, so that they are freed with it).
  if (count) {
    HMODULE* all = static_cast<HMODULE*>(
        WuGlobalNew(sizeof(HMODULE) * static_cast<SIZE_T>(record->preloadedCount + count)));
    if (!all) {
      for (LONG i = 0; i < count; ++i) FreeLibrary(loaded[i]);
      WuGlobalDelete(loaded);
      return E_OUTOFMEMORY;
    }
    for (LONG i = 0; i < record->preloadedCount; ++i) all[i] = record->preloaded[i];
    for (LONG i = 0; i < count; ++i) all[record->preloadedCount + i] = loaded[i];
    WuGlobalDelete(record->preloaded);
    record->preloaded = all;
    record->preloadedCount += count;
  }
  WuGlobalDelete(loaded);
  if (FAILED(result)) return result;
  record->flags |= WUFIO_PLUGIN_PRELOADED;
  return S_OK;
}

// The texts a class gives about itself: `ids` into `texts`.
template <class Class>
void AskTexts(Class* cls, const DWORD* ids, LONG count, BSTR* texts) {
  for (LONG i = 0; i < count; ++i) texts[i] = nullptr;
  if (FAILED(cls->GetStrings(ids, count, texts))) {
    for (LONG i = 0; i < count; ++i) {
      SysFreeString(texts[i]);
      texts[i] = nullptr;
    }
  }
}

// Initialises a new class object and fills the record's part from it.
template <class Class>
HRESULT SetUpPart(Class* cls, IWuFileIOManager* manager, WUFIO_PLUGIN_RECORD* record,
                  WUFIO_CLASS_PART* part, bool reader) {
  // A class hosted in the surrogate was initialised there with the
  // surrogate's manager (this one cannot cross).
  if (!(record->flags & WUFIO_PLUGIN_IN_SURROGATE)) {
    HRESULT hr = cls->Initialize(manager);
    if (FAILED(hr)) return hr;
  }
  GUID id = {};
  if (SUCCEEDED(cls->GetClassId(&id)) && !IsEqualGUID(id, part->classId)) {
    part->classId = id;
    record->flags |= WUFIO_PLUGIN_CHANGED;
  }
  if (!part->extensions || !record->dialogName) {
    static const DWORD kReaderTexts[] = {2, 5, 4};
    static const DWORD kRendererTexts[] = {4, 5};
    BSTR texts[3] = {};
    const LONG count = reader ? 3 : 2;
    AskTexts(cls, reader ? kReaderTexts : kRendererTexts, count, texts);
    BSTR extensions = reader ? texts[2] : texts[0];
    BSTR dialog = texts[1];
    record->flags |= WUFIO_PLUGIN_CHANGED;
    LPWSTR normalised = WuFio_NormaliseExtensionList(extensions);
    if (normalised) {
      WuFio_SetText(&part->extensions, normalised);
      WuGlobalDelete(normalised);
    }
    if (dialog && *dialog) WuFio_SetText(&record->dialogName, dialog);
    for (LONG i = 0; i < count; ++i) SysFreeString(texts[i]);
  }
  cls->SetIndex(part->key);
  return S_OK;
}

struct LoadRequest {
  CWuFileIOManager* manager;     // who asks
  WUFIO_PLUGIN_RECORD* record;   // the record to load
};

}  // namespace

HRESULT CWuFileIOManager::CreateClass(WUFIO_PLUGIN_RECORD* record, REFIID iid, void** out) {
  *out = nullptr;
  // Foreign and forced-out classes are made in the surrogate; a
  // surrogate's own manager makes every class here.
  if ((record->flags & (WUFIO_PLUGIN_FORCED_OUT | WUFIO_PLUGIN_FOREIGN)) &&
      !WuFio_IsSurrogateManager(this)) {
    Lock();
    HRESULT hr = WuFio_CreateInSurrogate(this, record, iid, out);
    Unlock();
    return hr;
  }
  record->flags &= ~WUFIO_PLUGIN_IN_SURROGATE;
  if (!record->module) {
    HRESULT preloaded = LoadPreloads(record);
    if (FAILED(preloaded)) return preloaded;
    HMODULE module = LoadLibraryExW(record->path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return E_UNEXPECTED;
    auto get = reinterpret_cast<DllGetClassObjectFn>(GetProcAddress(module, "DllGetClassObject"));
    if (!get) {
      FreeLibrary(module);
      return E_NOINTERFACE;
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = get(record->classId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || !factory) {
      if (factory) factory->Release();
      FreeLibrary(module);
      return FAILED(hr) ? hr : E_FAIL;
    }
    record->module = module;
    record->factory = factory;
  }
  if (!record->factory) return E_FAIL;
  return record->factory->CreateInstance(nullptr, iid, out);
}

HRESULT CWuFileIOManager::LoadPart(WUFIO_PLUGIN_RECORD* record, bool reader) {
  WUFIO_CLASS_PART* part = reader ? &record->reader : &record->renderer;
  void* made = nullptr;
  HRESULT hr = CreateClass(record, reader ? IID_IWuReadFileClass : IID_IWuRenderFileClass, &made);
  if (SUCCEEDED(hr) && !made) hr = E_FAIL;
  if (SUCCEEDED(hr)) {
    hr = reader ? SetUpPart(static_cast<IWuReadFileClass*>(made), this, record, part, true)
                : SetUpPart(static_cast<IWuRenderFileClass*>(made), this, record, part, false);
  }
  if (FAILED(hr)) {
    if (made) static_cast<IUnknown*>(made)->Release();
    WuFio_SetPartState(part, WUFIO_CLASS_UNAVAILABLE);
    return hr;
  }
  part->object = static_cast<IUnknown*>(made);
  WuFio_SetPartState(part, WUFIO_CLASS_LOADED);
  return S_OK;
}

HRESULT CWuFileIOManager::LoadOnWorker(void* data) {
  auto* request = static_cast<LoadRequest*>(data);
  CWuFileIOManager* self = request->manager;
  WUFIO_PLUGIN_RECORD* record = request->record;
  self->Lock();
  HRESULT renderer = S_OK, reader = S_OK;
  if (WuFio_PartState(&record->renderer) == WUFIO_CLASS_NOT_LOADED)
    renderer = self->LoadPart(record, false);
  if (WuFio_PartState(&record->reader) == WUFIO_CLASS_NOT_LOADED)
    reader = self->LoadPart(record, true);
  self->Unlock();
  return FAILED(reader) ? reader : renderer;
}

HRESULT CWuFileIOManager::LoadRecordClasses(WUFIO_PLUGIN_RECORD* record) {
  if (!record) return E_INVALIDARG;
  if (IsEqualGUID(record->classId, CLSID_WuFioDependentA) ||
      IsEqualGUID(record->classId, CLSID_WuFioDependentB)) {
    WUFIO_PLUGIN_RECORD* needed = nullptr;
    for (LONG key = 0; key < GetReaderCount() && !needed; ++key)
      if (IsEqualGUID(ReaderRecord(key)->classId, CLSID_WuFioRequiredByDependents)) needed = ReaderRecord(key);
    if (!needed) return WUFIO_E_DEPENDENCY;
    if (WuFio_PartState(&needed->reader) == WUFIO_CLASS_NOT_LOADED) {
      HRESULT hr = LoadRecordClasses(needed);
      if (FAILED(hr)) return hr;
    }
    if (WuFio_PartState(&needed->reader) == WUFIO_CLASS_UNAVAILABLE) return WUFIO_E_DEPENDENCY;
    if (IsEqualGUID(record->classId, CLSID_WuFioDependentB)) {
      for (LONG code : {0x7002L, 0x6000L}) {
        IWuReadFileClass* cls = nullptr;
        HRESULT hr = GetReaderClassByTypeCode(&cls, code);
        if (FAILED(hr)) return hr;
        cls->Release();
      }
    }
  }
  if (WuFio_PartState(&record->reader) != WUFIO_CLASS_NOT_LOADED &&
      WuFio_PartState(&record->renderer) != WUFIO_CLASS_NOT_LOADED)
    return S_OK;
  LoadRequest request{this, record};
  // A thread that holds the mutex (a plug-in asking for classes while its
  // library is probed) would wait for the worker, which waits for the
  // mutex: it loads the classes itself.
  if (lockOwner_.load() == GetCurrentThreadId()) return LoadOnWorker(&request);
  HRESULT result = E_FAIL;
  HRESULT hr = worker_.RunSync(&CWuFileIOManager::LoadOnWorker, &request, &result);
  return FAILED(hr) ? hr : result;
}

void CWuFileIOManager::Refresh() {
  auto refresh = [this](WUFIO_PLUGIN_RECORD* record) {
    if (!(record->refresh & 1)) return;
    LoadRecordClasses(record);
    record->refresh &= ~1u;
  };
  for (LONG key = 0; key < GetReaderCount(); ++key) refresh(ReaderRecord(key));
  for (LONG key = 0; key < GetRendererCount(); ++key) refresh(RendererRecord(key));
  for (LONG i = 0; i < WuFio_PluginCount(plugins_); ++i) refresh(WuFio_PluginAt(plugins_, i));
}
