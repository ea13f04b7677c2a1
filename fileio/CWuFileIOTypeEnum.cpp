// The reader, renderer and plug-in enumerators.
#include "fileio/CWuFileIOTypeEnum.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "fileio/CWuFileIOManager.h"
#include "fileio/WuFioTypeTables.h"
#include "foundation/WuList.h"
#include "foundation/WuString.h"

namespace {

template <class T>
T* NewZeroed() {
  void* memory = WuGlobalNew(sizeof(T));
  return memory ? new (memory) T() : nullptr;
}

}  // namespace

// ---- CWuFileIOTypeEnum -----------------------------------------------------------------

CWuFileIOTypeEnum::~CWuFileIOTypeEnum() { WuList_Destroy(list_); }

HRESULT CWuFileIOTypeEnum::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualGUID(iid, IID_IWuFileIOTypeEnum) || IsEqualGUID(iid, IID_IUnknown)) {
    *object = static_cast<IWuFileIOTypeEnum*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CWuFileIOTypeEnum::AddRef() { return static_cast<ULONG>(++references_); }

ULONG CWuFileIOTypeEnum::Release() {
  LONG left = --references_;
  if (left == 0) DeletingDestructor(1);
  return static_cast<ULONG>(left);
}

HRESULT CWuFileIOTypeEnum::Next(ULONG count, IUnknown** out, ULONG* fetched) {
  HRESULT result = E_NOTIMPL;
  ULONG given = 0;
  if (out) {
    while (given < count) {
      LONG at = position_.load();
      if (!list_ || at >= list_->count) break;
      position_.store(at + 1);
      WUFIO_PLUGIN_RECORD* record = RecordAt(at);
      WUFIO_CLASS_PART* part = Part(record);
      if (WuFio_PartState(part) == WUFIO_CLASS_NOT_LOADED && manager_)
        manager_->LoadRecordClasses(record);
      if (WuFio_PartState(part) == WUFIO_CLASS_LOADED && part->object) {
        part->object->AddRef();
        out[given++] = part->object;
        result = S_OK;
      }
    }
  }
  if (fetched) *fetched = given;
  return given == 0 ? S_FALSE : result;
}

HRESULT CWuFileIOTypeEnum::Skip(ULONG count) {
  LONG length = GetCount();
  LONG at = position_.load();
  if (static_cast<LONGLONG>(at) + count < length) {
    position_.store(at + static_cast<LONG>(count));
    return S_OK;
  }
  position_.store(length);
  return E_NOTIMPL;
}

HRESULT CWuFileIOTypeEnum::Reset() {
  position_.store(0);
  return S_OK;
}

HRESULT CWuFileIOTypeEnum::Clone(IWuFileIOTypeEnum** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT CWuFileIOTypeEnum::Reserved7() { return E_NOTIMPL; }

LONG CWuFileIOTypeEnum::GetCount() { return list_ ? list_->count : 0; }

void CWuFileIOTypeEnum::DeletingDestructor(LONG flags) {
  this->~CWuFileIOTypeEnum();
  if (flags & 1) WuGlobalDelete(this);
}

WUFIO_PLUGIN_RECORD* CWuFileIOTypeEnum::RecordAt(LONG key) const {
  if (!list_ || key < 0 || key >= list_->count) return nullptr;
  return WuFio_PluginAt(list_, key);
}

HRESULT CWuFileIOTypeEnum::Build(CWuFileIOManager* manager, DWORD filterFlags,
                                 const GUID* filterList, LONG filterCount, tWULIST* pluginList) {
  WuList_Destroy(list_);
  list_ = nullptr;
  manager_ = manager;
  position_.store(0);
  tWULIST* list = nullptr;
  HRESULT hr = WuList_CreateExZ(&list, 0, 16, 16, 0);
  if (FAILED(hr)) return E_OUTOFMEMORY;
  std::vector<WUFIO_PLUGIN_RECORD*> taken;
  for (LONG i = 0; i < WuFio_PluginCount(pluginList); ++i) {
    WUFIO_PLUGIN_RECORD* record = WuFio_PluginAt(pluginList, i);
    if (record->flags & WUFIO_PLUGIN_UNUSABLE) continue;
    WUFIO_CLASS_PART* part = Part(record);
    bool loaded = part->object != nullptr;
    if (!loaded) WuFio_SetPartState(part, WUFIO_CLASS_UNAVAILABLE);
    if (!(record->access & AccessBit())) continue;
    if (!WuFio_GuidPassesFilterList(record->classId, filterList, filterCount,
                                    (filterFlags & 1) != 0))
      continue;
    bool duplicate = false;
    for (WUFIO_PLUGIN_RECORD* earlier : taken)
      duplicate = duplicate || IsEqualGUID(earlier->classId, record->classId);
    if (duplicate) continue;
    if (!loaded) WuFio_SetPartState(part, WUFIO_CLASS_NOT_LOADED);
    taken.push_back(record);
  }
  // Higher priority first; ties by the class part's id, the greater (in
  // memory byte order) first.
  std::stable_sort(taken.begin(), taken.end(),
                   [this](WUFIO_PLUGIN_RECORD* a, WUFIO_PLUGIN_RECORD* b) {
                     int pa = Priority(a->classId), pb = Priority(b->classId);
                     if (pa != pb) return pa > pb;
                     return std::memcmp(&Part(a)->classId, &Part(b)->classId, sizeof(GUID)) > 0;
                   });
  for (size_t i = 0; i < taken.size(); ++i) {
    if (FAILED(WuList_InsertItem(list, -1, taken[i]))) {
      WuList_Destroy(list);
      return E_OUTOFMEMORY;
    }
  }
  list_ = list;
  IID iid;
  InterfaceId(&iid);
  for (LONG key = 0; key < list_->count; ++key) {
    WUFIO_CLASS_PART* part = Part(RecordAt(key));
    part->key = key;
    if (part->object) TellKey(part->object, key);
  }
  return S_OK;
}

CWuReaderEnum* CWuReaderEnum::Create() { return NewZeroed<CWuReaderEnum>(); }
CWuRendererEnum* CWuRendererEnum::Create() { return NewZeroed<CWuRendererEnum>(); }

int CWuReaderEnum::Priority(const GUID& id) const { return WuFio_ReaderPriority(id); }

void CWuReaderEnum::TellKey(IUnknown* object, LONG key) {
  IWuReadFileClass* cls = nullptr;
  if (SUCCEEDED(object->QueryInterface(IID_IWuReadFileClass, reinterpret_cast<void**>(&cls)))) {
    cls->SetIndex(key);
    cls->Release();
  }
}

void CWuRendererEnum::TellKey(IUnknown* object, LONG key) {
  IWuRenderFileClass* cls = nullptr;
  if (SUCCEEDED(object->QueryInterface(IID_IWuRenderFileClass, reinterpret_cast<void**>(&cls)))) {
    cls->SetIndex(key);
    cls->Release();
  }
}
int CWuRendererEnum::Priority(const GUID& id) const { return WuFio_RendererPriority(id); }

// ---- CWuFIOPluginEnum ------------------------------------------------------------------

CWuFIOPluginEnum* CWuFIOPluginEnum::Create(CWuFileIOManager* manager, tWULIST* pluginList) {
  void* memory = WuGlobalNew(sizeof(CWuFIOPluginEnum));
  CWuFIOPluginEnum* made = memory ? new (memory) CWuFIOPluginEnum() : nullptr;
  if (!made) return nullptr;
  made->manager_ = manager;
  made->list_ = pluginList;
  return made;
}

HRESULT CWuFIOPluginEnum::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualGUID(iid, IID_IWuFIOPluginEnum) || IsEqualGUID(iid, IID_IUnknown)) {
    *object = static_cast<IWuFIOPluginEnum*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CWuFIOPluginEnum::AddRef() { return static_cast<ULONG>(++references_); }

ULONG CWuFIOPluginEnum::Release() {
  LONG left = --references_;
  if (left == 0) DeletingDestructor(1);
  return static_cast<ULONG>(left);
}

void CWuFIOPluginEnum::Fill(const WUFIO_PLUGIN_RECORD* record, WUFIO_PLUGIN_INFO* info) {
  info->classId = record->classId;
  info->readerClassId = record->reader.classId;
  info->rendererClassId = record->renderer.classId;
  std::memset(info->path, 0, sizeof(info->path));
  WuStrCpyN(info->path, record->path, 260);
  std::memset(info->zero, 0, sizeof(info->zero));
}

HRESULT CWuFIOPluginEnum::Next(ULONG count, WUFIO_PLUGIN_INFO* info, ULONG* fetched) {
  ULONG filled = 0;
  HRESULT status = S_OK;
  if (WuFio_PluginCount(list_) == 0) {
    if (fetched) *fetched = 0;
    return E_NOTIMPL;
  }
  while (info && filled < count) {
    LONG at = position_.load();
    while (at < list_->count && (WuFio_PluginAt(list_, at)->flags & WUFIO_PLUGIN_UNUSABLE)) ++at;
    position_.store(at);
    if (at >= list_->count) break;
    if (info[filled].size != WUFIO_PLUGIN_INFO_SIZE) {
      status = E_FAIL;
      break;
    }
    Fill(WuFio_PluginAt(list_, at), &info[filled]);
    position_.store(at + 1);
    ++filled;
  }
  if (fetched) *fetched = filled;
  if (status == S_OK && filled == 0) return S_FALSE;
  return status;
}

HRESULT CWuFIOPluginEnum::Skip(ULONG count) {
  LONG length = WuFio_PluginCount(list_);
  LONG at = position_.load();
  if (static_cast<LONGLONG>(at) + count < length) {
    position_.store(at + static_cast<LONG>(count));
    return S_OK;
  }
  position_.store(length);
  return E_NOTIMPL;
}

HRESULT CWuFIOPluginEnum::Reset() {
  position_.store(0);
  return S_OK;
}

HRESULT CWuFIOPluginEnum::FindById(REFCLSID id, WUFIO_PLUGIN_INFO* info) {
  if (!info || info->size != WUFIO_PLUGIN_INFO_SIZE) return E_FAIL;
  for (LONG i = 0; i < WuFio_PluginCount(list_); ++i) {
    const WUFIO_PLUGIN_RECORD* record = WuFio_PluginAt(list_, i);
    if (record->flags & WUFIO_PLUGIN_UNUSABLE) continue;
    if (!IsEqualGUID(record->classId, id)) continue;
    Fill(record, info);
    return S_OK;
  }
  return E_FAIL;
}

void CWuFIOPluginEnum::DeletingDestructor(LONG flags) {
  this->~CWuFIOPluginEnum();
  if (flags & 1) WuGlobalDelete(this);
}
