// The global and private template caches and their exports.
#include "fileio/CWuTemplateCache.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "fileio/CWuFileIOManager.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateFiles.h"
#include "fileio/WuFioTemplateLayout.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuList.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"

namespace {

constexpr DWORD kPath = 260;
constexpr LONG kFileNameBytes = 2 * kPath;

// A copy of a record's stated size, NULL when out of memory. Records of a
// cache came from files and presets whose blocks hold their stated size;
// a record of a generation the cache does not check is copied as well.
tagWUTEMPLATExV2* CopyRecord(const void* record) {
  const DWORD size = WuTpl_Size(record);
  void* copy = std::malloc(size);
  if (copy) std::memcpy(copy, record, size);
  return static_cast<tagWUTEMPLATExV2*>(copy);
}

void SetPointer(tWULIST* list, LONG index, void* pointer) {
  reinterpret_cast<void**>(list->storage)[index] = pointer;
}

// Takes item `index` out of an owning list without freeing it.
void* TakeItem(tWULIST* list, LONG index) {
  void* item = WuList_PointerAt(list, index);
  SetPointer(list, index, nullptr);
  WuList_DeleteList(list, index, 1, FALSE);
  return item;
}

// Appends a record that `list` (owning) takes.
HRESULT AppendOwned(tWULIST* list, void* record) {
  return WuList_InsertList(list, -1, &record, -1);
}

bool NamesEqual(LPCWSTR a, LPCWSTR b, bool exact) {
  return (exact ? lstrcmpW(a, b) : lstrcmpiW(a, b)) == 0;
}

bool GuidOf(const void* record, GUID* guid) {
  if (!WuTpl_LayoutOk(record)) return false;
  std::memcpy(guid, static_cast<const BYTE*>(record) + WUTPL_OFFSET_GUID, sizeof(GUID));
  return true;
}

LONG IdOf(const void* record) {
  return static_cast<LONG>(WuTpl_Word(record, WUTPL_OFFSET_ID));
}

bool Later(const FILETIME& a, const FILETIME& b) {
  const ULONGLONG x = (static_cast<ULONGLONG>(a.dwHighDateTime) << 32) | a.dwLowDateTime;
  const ULONGLONG y = (static_cast<ULONGLONG>(b.dwHighDateTime) << 32) | b.dwLowDateTime;
  return x > y;
}

// Whether the folder part of `path` is `folder` (which ends with a
// separator); separators of either kind, letters in any case.
bool InFolder(LPCWSTR folder, LPCWSTR path) {
  const int folderLen = WuStrLenSafe(folder);
  LPCWSTR name = WuGetFileNamePtrW(path);
  const int pathFolderLen = static_cast<int>(name - path);
  if (folderLen == 0 || folderLen != pathFolderLen) return false;
  for (int i = 0; i < folderLen; ++i) {
    WCHAR a = folder[i], b = path[i];
    if (a == u'\\') a = u'/';
    if (b == u'\\') b = u'/';
    if (platform::CharLower(a) != platform::CharLower(b)) return false;
  }
  return true;
}

// The manager's global cache slot is guarded here: callers may ask on any
// thread.
std::mutex g_managerCacheLock;

// The CWuFileIOManager behind an interface, NULL for any other manager.
CWuFileIOManager* OurManager(IWuFileIOManager* manager) {
  if (!manager) return nullptr;
  void* self = nullptr;
  if (FAILED(manager->QueryInterface(IID_CWuFileIOManager, &self)) || !self) return nullptr;
  CWuFileIOManager* ours = static_cast<CWuFileIOManager*>(self);
  ours->Release();
  return ours;
}

}  // namespace

// ---- Groups --------------------------------------------------------------------------

WuTemplateGroup* WuFio_NewTemplateGroup(LPCWSTR folder, LONG kind) {
  void* memory = WuGlobalNew(sizeof(WuTemplateGroup));
  if (!memory) return nullptr;
  WuTemplateGroup* group = static_cast<WuTemplateGroup*>(memory);
  if (folder) WuStrCpyN(group->folder, folder, kPath);
  group->kind = kind;
  bool ok = SUCCEEDED(WuList_CreateExZ(&group->templates, 0, 4, 4, WULIST_OWNITEMS | WULIST_LOCKED));
  if (ok && kind >= WUTPL_KIND_FOLDER)
    ok = SUCCEEDED(WuList_CreateExZ(&group->fileNames, kFileNameBytes, 4, 4,
                                    WULIST_INPLACE | WULIST_LOCKED));
  if (!ok) {
    WuFio_FreeTemplateGroup(group);
    return nullptr;
  }
  return group;
}

void WuFio_FreeTemplateGroup(WuTemplateGroup* group) {
  if (!group) return;
  WuList_Destroy(group->templates);
  WuList_Destroy(group->fileNames);
  WuGlobalDelete(group);
}

namespace {

// Appends a record and its file name to a group; the group takes the
// record only on success.
HRESULT GroupAppend(WuTemplateGroup* group, tagWUTEMPLATExV2* record, LPCWSTR fileName) {
  if (group->fileNames) {
    WCHAR name[kPath] = {};
    if (fileName) WuStrCpyN(name, fileName, kPath);
    HRESULT hr = WuList_InsertItem(group->fileNames, -1, name);
    if (FAILED(hr)) return hr;
    hr = AppendOwned(group->templates, record);
    if (FAILED(hr)) WuList_DeleteList(group->fileNames, group->fileNames->count - 1, 1, FALSE);
    return hr;
  }
  return AppendOwned(group->templates, record);
}

// Removes item `index` (record freed, file name dropped).
void GroupRemove(WuTemplateGroup* group, LONG index) {
  WuList_DeleteList(group->templates, index, 1, FALSE);
  if (group->fileNames && index < group->fileNames->count)
    WuList_DeleteList(group->fileNames, index, 1, FALSE);
}

void GroupClear(WuTemplateGroup* group) {
  WuList_DeleteList(group->templates, 0, -1, FALSE);
  if (group->fileNames) WuList_DeleteList(group->fileNames, 0, -1, FALSE);
}

LPCWSTR GroupFileName(const WuTemplateGroup* group, LONG index) {
  if (!group->fileNames || index >= group->fileNames->count) return u"";
  return static_cast<LPCWSTR>(WuList_ItemAt(group->fileNames, index));
}

}  // namespace

// ---- The global cache ---------------------------------------------------------------------

CWuGlobalTemplateCache* CWuGlobalTemplateCache::Allocate() {
  void* memory = WuGlobalNew(sizeof(CWuGlobalTemplateCache));
  if (!memory) return nullptr;
  CWuGlobalTemplateCache* cache = new (memory) CWuGlobalTemplateCache();
  if (FAILED(WuList_CreateExZ(&cache->groups_, 0, 4, 4, WULIST_LOCKED))) {
    cache->Release();
    return nullptr;
  }
  return cache;
}

CWuGlobalTemplateCache::~CWuGlobalTemplateCache() {
  if (!groups_) return;
  for (LONG i = 0; i < groups_->count; ++i) WuFio_FreeTemplateGroup(Group(i));
  WuList_Destroy(groups_);
}

ULONG CWuGlobalTemplateCache::AddRef() { return static_cast<ULONG>(++references_); }

ULONG CWuGlobalTemplateCache::Release() {
  const LONG left = --references_;
  if (left == 0) {
    this->~CWuGlobalTemplateCache();
    WuGlobalDelete(this);
  }
  return static_cast<ULONG>(left);
}

WuTemplateGroup* CWuGlobalTemplateCache::Group(LONG index) const {
  return static_cast<WuTemplateGroup*>(WuList_PointerAt(groups_, index));
}

HRESULT WuFio_CreateGlobalTemplateCache(IWuRenderFileClass* cls, CWuGlobalTemplateCache** out) {
  return CWuGlobalTemplateCache::Create(cls, out);
}

HRESULT CWuGlobalTemplateCache::Create(IWuRenderFileClass* cls, CWuGlobalTemplateCache** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!cls) return E_INVALIDARG;
  CWuGlobalTemplateCache* cache = Allocate();
  if (!cache) return E_OUTOFMEMORY;
  cls->GetClassId(&cache->classId_);
  // The class's current templates (listed whether the folder exists or
  // not; a plain file in its place goes), then its legacy templates when
  // their folder exists.
  WCHAR folder[kPath];
  HRESULT state = WuFio_GetRenderTemplateFolder(cls, folder, kPath);
  bool ok = true;
  if (SUCCEEDED(state)) {
    if (state == 1) {
      WCHAR plain[kPath];
      WuStrCpyN(plain, folder, kPath);
      int len = WuStrLenSafe(plain);
      if (len > 1) plain[len - 1] = 0;
      const DWORD attributes = GetFileAttributesW(plain);
      if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW(plain);
    }
    WuTemplateGroup* group = WuFio_NewTemplateGroup(folder, WUTPL_KIND_FOLDER);
    ok = group && SUCCEEDED(WuList_InsertItem(cache->groups_, -1, group));
    if (!ok) WuFio_FreeTemplateGroup(group);
  }
  if (ok && WuFio_GetLegacyTemplateFolder(cls, folder, kPath) == 0) {
    WuTemplateGroup* group = WuFio_NewTemplateGroup(folder, WUTPL_KIND_FOLDER);
    ok = group && SUCCEEDED(WuList_InsertItem(cache->groups_, -1, group));
    if (!ok) WuFio_FreeTemplateGroup(group);
  }
  if (!ok) {
    cache->Release();
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = cache->Scan(cls, 0);
  if (FAILED(hr)) {
    cache->Release();
    return hr;
  }
  *out = cache;
  return S_OK;
}

HRESULT CWuGlobalTemplateCache::LoadPresets(IWuRenderFileClass* cls) {
  WuTemplateGroup* presets = nullptr;
  for (LONG i = 0; i < groups_->count && !presets; ++i)
    if (Group(i)->kind == WUTPL_KIND_PRESETS) presets = Group(i);
  if (!presets) {
    presets = WuFio_NewTemplateGroup(nullptr, WUTPL_KIND_PRESETS);
    if (!presets) return E_OUTOFMEMORY;
    if (FAILED(WuList_InsertItem(groups_, 0, presets))) {
      WuFio_FreeTemplateGroup(presets);
      return E_OUTOFMEMORY;
    }
  }
  if (presets->templates->count == 0) {
    LONG count = 0;
    HRESULT hr = cls->GetPresetCount(&count);
    if (FAILED(hr)) return hr;
    for (LONG i = 0; i < count; ++i) {
      tagWUTEMPLATExV2* preset = nullptr;
      hr = cls->GetPreset(&preset, i);
      if (FAILED(hr)) return hr;
      if (!preset) continue;
      hr = GroupAppend(presets, preset, nullptr);
      if (FAILED(hr)) {
        std::free(preset);
        return hr;
      }
    }
  }
  cls->GetClassId(&classId_);
  return S_OK;
}

void CWuGlobalTemplateCache::ScanFolder(WuTemplateGroup* group, IWuRenderFileClass* cls) {
  GroupClear(group);
  WCHAR pattern[kPath];
  WuStrCpyN(pattern, group->folder, kPath);
  WuStrCatN(pattern, WuLangText(WuLangRow_FioTemplatePattern), kPath);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return;
  LONG bits = 0;
  do {
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM)) continue;
    LPCWSTR ext = WuGetFileNameExtensionPtrW(data.cFileName);
    HWULANG lang = WuKernel_GetLangHandle();
    if (lstrcmpiW(ext, WuGetString(lang, &WuLangRow_FioTemplateLegacyExtension)) == 0)
      bits |= 1;
    else if (lstrcmpiW(ext, WuGetString(lang, &WuLangRow_FioTemplateExtension)) == 0)
      bits |= 2;
    WCHAR path[kPath];
    if (WuStrLenSafe(group->folder) + WuStrLenSafe(data.cFileName) + 1 > static_cast<int>(kPath))
      continue;
    WuStrCpyN(path, group->folder, kPath);
    WuStrCatN(path, data.cFileName, kPath);
    tagWUTEMPLATExV2* record = nullptr;
    const HRESULT hr = WuFio_LoadRawUserTemplate(cls, path, &record);
    if (hr == WU_E_BAD_DATA) continue;
    if (FAILED(hr)) break;
    WCHAR bare[kPath];
    WuGetFileNameWithoutPathOrExtension(data.cFileName, bare, kPath);
    if (WuFio_IsUntitledTemplateName(WuTpl_Name(record)) || WuFio_IsUntitledTemplateName(bare) ||
        FAILED(GroupAppend(group, record, data.cFileName)))
      std::free(record);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  if (bits) group->kind = WUTPL_KIND_FOLDER | bits;
}

HRESULT CWuGlobalTemplateCache::Scan(IWuRenderFileClass* cls, LONG callerShares) {
  if (sharing_.load() - callerShares >= 1) return WUTPL_E_SHARED;
  if (cls) {
    const HRESULT hr = LoadPresets(cls);
    if (FAILED(hr)) return hr;
  }
  for (LONG i = 0; i < groups_->count; ++i)
    if (Group(i)->kind >= WUTPL_KIND_FOLDER) ScanFolder(Group(i), cls);
  folderTime_ = NewestFolderTime();
  return S_OK;
}

FILETIME CWuGlobalTemplateCache::NewestFolderTime() const {
  FILETIME newest{};
  for (LONG i = 0; i < groups_->count; ++i) {
    const WuTemplateGroup* group = Group(i);
    if (!group->folder[0]) continue;
    HANDLE folder = CreateFileW(group->folder, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) continue;
    FILETIME written{};
    if (GetFileTime(folder, nullptr, nullptr, &written) && Later(written, newest)) newest = written;
    CloseHandle(folder);
  }
  return newest;
}

HRESULT CWuGlobalTemplateCache::Clone(bool withTemplates, CWuGlobalTemplateCache** out) const {
  *out = nullptr;
  CWuGlobalTemplateCache* copy = Allocate();
  if (!copy) return E_OUTOFMEMORY;
  copy->classId_ = classId_;
  if (withTemplates) copy->folderTime_ = folderTime_;
  for (LONG g = 0; g < groups_->count; ++g) {
    const WuTemplateGroup* group = Group(g);
    WuTemplateGroup* mine = WuFio_NewTemplateGroup(group->folder, group->kind);
    if (!mine || FAILED(WuList_InsertItem(copy->groups_, -1, mine))) {
      WuFio_FreeTemplateGroup(mine);
      copy->Release();
      return E_OUTOFMEMORY;
    }
    if (!withTemplates) continue;
    for (LONG i = 0; i < group->templates->count; ++i) {
      tagWUTEMPLATExV2* record = CopyRecord(WuList_PointerAt(group->templates, i));
      if (!record || FAILED(GroupAppend(mine, record, GroupFileName(group, i)))) {
        std::free(record);
        copy->Release();
        return E_OUTOFMEMORY;
      }
    }
  }
  *out = copy;
  return S_OK;
}

tagWUTEMPLATExV2* CWuGlobalTemplateCache::FindByName(LPCWSTR name, bool exact, LONG low,
                                                     LONG high, LONG* group, LONG* item) const {
  if (!name) return nullptr;
  for (LONG g = 0; g < groups_->count; ++g) {
    const WuTemplateGroup* grp = Group(g);
    if (grp->kind < low || grp->kind > high) continue;
    for (LONG i = 0; i < grp->templates->count; ++i) {
      void* record = WuList_PointerAt(grp->templates, i);
      if (NamesEqual(WuTpl_Name(record), name, exact)) {
        if (group) *group = g;
        if (item) *item = i;
        return static_cast<tagWUTEMPLATExV2*>(record);
      }
    }
  }
  return nullptr;
}

tagWUTEMPLATExV2* CWuGlobalTemplateCache::FindByGuid(const GUID& guid, LONG low, LONG high,
                                                     LONG* group, LONG* item) const {
  for (LONG g = 0; g < groups_->count; ++g) {
    const WuTemplateGroup* grp = Group(g);
    if (grp->kind < low || grp->kind > high) continue;
    for (LONG i = 0; i < grp->templates->count; ++i) {
      void* record = WuList_PointerAt(grp->templates, i);
      GUID id;
      if (GuidOf(record, &id) && IsEqualGUID(id, guid)) {
        if (group) *group = g;
        if (item) *item = i;
        return static_cast<tagWUTEMPLATExV2*>(record);
      }
    }
  }
  return nullptr;
}

bool CWuGlobalTemplateCache::FindRecord(const void* record, LONG* group, LONG* item) const {
  for (LONG g = 0; g < groups_->count; ++g) {
    const LONG i = WuList_FindSpecificItemRange(Group(g)->templates, 0, -1, record);
    if (i >= 0) {
      if (group) *group = g;
      if (item) *item = i;
      return true;
    }
  }
  return false;
}

bool CWuGlobalTemplateCache::RemoveRecord(const void* record) {
  bool removed = false;
  for (LONG g = 0; g < groups_->count; ++g) {
    WuTemplateGroup* group = Group(g);
    for (LONG i = group->templates->count - 1; i >= 0; --i) {
      if (WuList_PointerAt(group->templates, i) != record) continue;
      if (!removed) {
        GroupRemove(group, i);  // frees the record
        removed = true;
      } else {
        TakeItem(group->templates, i);  // already freed
        if (group->fileNames && i < group->fileNames->count)
          WuList_DeleteList(group->fileNames, i, 1, FALSE);
      }
    }
  }
  return removed;
}

// ---- The private cache ---------------------------------------------------------------------

CWuPrivateTemplateCache* CWuPrivateTemplateCache::Create(CWuGlobalTemplateCache* global) {
  if (!global) return nullptr;
  void* memory = WuGlobalNew(sizeof(CWuPrivateTemplateCache));
  if (!memory) return nullptr;
  CWuPrivateTemplateCache* cache = new (memory) CWuPrivateTemplateCache();
  if (FAILED(WuList_CreateExZ(&cache->merged_, 0, 16, 16, WULIST_LOCKED))) {
    WuGlobalDelete(memory);
    return nullptr;
  }
  global->AddRef();
  cache->global_ = global;
  return cache;
}

void CWuPrivateTemplateCache::Close() {
  WuList_Destroy(merged_);
  WuFio_FreeTemplateGroup(private_);
  std::free(current_);
  Unshare();
  if (global_) global_->Release();
  this->~CWuPrivateTemplateCache();
  WuGlobalDelete(this);
}

void CWuPrivateTemplateCache::Unshare() {
  if (shared_ && global_) global_->DropShare();
  shared_ = false;
}

bool CWuPrivateTemplateCache::AddMerged(tagWUTEMPLATExV2* record) {
  if (!record) return false;
  LPCWSTR name = WuTpl_Name(record);
  for (LONG i = 0; i < merged_->count; ++i)
    if (lstrcmpiW(WuTpl_Name(WuList_PointerAt(merged_, i)), name) == 0) return false;
  return SUCCEEDED(WuList_InsertItem(merged_, -1, record));
}

HRESULT CWuPrivateTemplateCache::Rebuild(DWORD flags) {
  flags_ = flags;
  WuList_DeleteList(merged_, 0, -1, FALSE);
  Unshare();
  if (current_) AddMerged(current_);
  if (private_)
    for (LONG i = 0; i < private_->templates->count; ++i)
      AddMerged(static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(private_->templates, i)));
  global_->AddShare();
  shared_ = true;
  bool added = false;
  tWULIST* groups = global_->Groups();
  for (LONG g = 0; g < groups->count; ++g) {
    const WuTemplateGroup* group = global_->Group(g);
    for (LONG i = 0; i < group->templates->count; ++i) {
      if ((flags & 1) && group->kind == WUTPL_KIND_PRESETS && i == 0) continue;
      if (AddMerged(static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(group->templates, i))))
        added = true;
    }
  }
  if (!added) Unshare();
  return S_OK;
}

LONG CWuPrivateTemplateCache::LocateTemplate(const tagWUTEMPLATExV2* record) const {
  if (!record) return -1;
  return WuList_FindSpecificItemRange(merged_, 0, -1, record);
}

LONG CWuPrivateTemplateCache::GetCurrentTemplateIndex() const { return LocateTemplate(current_); }

LONG CWuPrivateTemplateCache::SetCurrentTemplate(tagWUTEMPLATExV2* record, DWORD flags) {
  if (!record) return -2;
  const LONG at = LocateTemplate(current_);
  if (FAILED(WuFio_SetTemplate(&current_, record, flags))) return -1;
  if (at >= 0) SetPointer(merged_, at, current_);
  return at;
}

bool CWuPrivateTemplateCache::IsCurrentTemplateNamed(LPCWSTR name, bool exact) const {
  return current_ && name && NamesEqual(WuTpl_Name(current_), name, exact);
}

HRESULT CWuPrivateTemplateCache::AddPrivateTemplate(tagWUTEMPLATExV2* record, bool copy) {
  if (!record) return E_POINTER;
  if (!private_) {
    private_ = WuFio_NewTemplateGroup(nullptr, WUTPL_KIND_PRIVATE);
    if (!private_) return E_OUTOFMEMORY;
  }
  tagWUTEMPLATExV2* mine = copy ? CopyRecord(record) : record;
  if (!mine) return E_OUTOFMEMORY;
  const HRESULT hr = GroupAppend(private_, mine, nullptr);
  if (FAILED(hr) && copy) std::free(mine);
  return hr;
}

tagWUTEMPLATExV2* CWuPrivateTemplateCache::GetFirstPrivateTemplate() const {
  if (!private_ || private_->templates->count == 0) return nullptr;
  return static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(private_->templates, 0));
}

HRESULT CWuPrivateTemplateCache::SetPrivateTemplates(tWULIST* list, bool copy) {
  if (private_) GroupClear(private_);
  if (!list) return S_OK;
  const bool owning = (WuList_GetCreateOptions(list) & WULIST_OWNITEMS) != 0;
  while (list->count > 0) {
    void* record = copy ? WuList_PointerAt(list, 0) : (owning ? TakeItem(list, 0) : WuList_PointerAt(list, 0));
    if (!copy && !owning) WuList_DeleteList(list, 0, 1, FALSE);
    const HRESULT hr = AddPrivateTemplate(static_cast<tagWUTEMPLATExV2*>(record), copy);
    if (FAILED(hr)) {
      if (!copy) std::free(record);
      return hr;
    }
    if (copy) {
      // Copies leave the list as it is: walk it by index instead.
      for (LONG i = 1; i < list->count; ++i) {
        const HRESULT more =
            AddPrivateTemplate(static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(list, i)), true);
        if (FAILED(more)) return more;
      }
      break;
    }
  }
  return S_OK;
}

HRESULT CWuPrivateTemplateCache::RemovePrivateGroup(const tagWUTEMPLATExV2* record, BOOL* wasIn) {
  if (wasIn) *wasIn = FALSE;
  if (!private_) return S_OK;
  if (!record) {
    if (wasIn) *wasIn = private_->templates->count > 0;
    for (LONG i = 0; i < private_->templates->count; ++i) {
      const LONG at = LocateTemplate(
          static_cast<const tagWUTEMPLATExV2*>(WuList_PointerAt(private_->templates, i)));
      if (at >= 0) WuList_DeleteList(merged_, at, 1, FALSE);
    }
    WuFio_FreeTemplateGroup(private_);
    private_ = nullptr;
    return S_OK;
  }
  const LONG i = WuList_FindSpecificItemRange(private_->templates, 0, -1, record);
  if (i < 0) return S_OK;
  const LONG at = LocateTemplate(record);
  if (at >= 0) WuList_DeleteList(merged_, at, 1, FALSE);
  GroupRemove(private_, i);
  if (wasIn) *wasIn = TRUE;
  return S_OK;
}

HRESULT CWuPrivateTemplateCache::CopyTemplates(tWULIST** out, LONG start, LONG count) const {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (start < 0) start = 0;
  LONG end = count < 0 ? merged_->count : std::min(merged_->count, start + count);
  tWULIST* list = nullptr;
  HRESULT hr = WuList_CreateExZ(&list, 0, 4, 4, WULIST_OWNITEMS | WULIST_LOCKED);
  if (FAILED(hr)) return hr;
  for (LONG i = start; i < end; ++i) {
    tagWUTEMPLATExV2* copy = CopyRecord(WuList_PointerAt(merged_, i));
    if (!copy || FAILED(AppendOwned(list, copy))) {
      std::free(copy);
      WuList_Destroy(list);
      return E_OUTOFMEMORY;
    }
  }
  *out = list;
  return S_OK;
}

namespace {

LONG WhereOfKind(LONG kind) {
  if (kind == WUTPL_KIND_LEGACY) return WUTPL_WHERE_LEGACY;
  if (kind == WUTPL_KIND_BOTH) return WUTPL_WHERE_MIXED;
  return WUTPL_WHERE_CACHE;
}

}  // namespace

const tagWUTEMPLATExV2* CWuPrivateTemplateCache::FindTemplateByName(
    LPCWSTR name, bool exact, LONG low, LONG high, LONG* where, LONG* index, LPWSTR path,
    DWORD pathSize) const {
  if (where) *where = WUTPL_WHERE_NONE;
  if (index) *index = -1;
  if (path && pathSize) path[0] = 0;
  if (!name) return nullptr;
  const tagWUTEMPLATExV2* found = nullptr;
  if (low <= 0 && high >= 0 && current_ && NamesEqual(WuTpl_Name(current_), name, exact))
    found = current_;
  if (!found && private_ && low <= 1 && high > 0) {
    for (LONG i = 0; i < private_->templates->count && !found; ++i) {
      void* record = WuList_PointerAt(private_->templates, i);
      if (NamesEqual(WuTpl_Name(record), name, exact))
        found = static_cast<tagWUTEMPLATExV2*>(record);
    }
  }
  if (found) {
    if (where) *where = WUTPL_WHERE_CACHE;
  } else {
    LONG g = 0, i = 0;
    found = global_->FindByName(name, exact, low, high, &g, &i);
    if (!found) return nullptr;
    const WuTemplateGroup* group = global_->Group(g);
    if (where) *where = WhereOfKind(group->kind);
    if (path && pathSize && group->kind >= WUTPL_KIND_FOLDER) {
      WuStrCpyN(path, group->folder, static_cast<int>(pathSize));
      WuStrCatN(path, GroupFileName(group, i), static_cast<int>(pathSize));
    }
  }
  if (index) *index = LocateTemplate(found);
  return found;
}

const tagWUTEMPLATExV2* CWuPrivateTemplateCache::FindTemplateByGuid(const GUID& guid, LONG low,
                                                                    LONG high, LONG* where,
                                                                    LONG* index) const {
  if (where) *where = WUTPL_WHERE_NONE;
  if (index) *index = -1;
  GUID id;
  const tagWUTEMPLATExV2* found = nullptr;
  if (low <= 0 && high >= 0 && current_ && GuidOf(current_, &id) && IsEqualGUID(id, guid))
    found = current_;
  if (!found && private_ && low <= 1 && high > 0) {
    for (LONG i = 0; i < private_->templates->count && !found; ++i) {
      void* record = WuList_PointerAt(private_->templates, i);
      if (GuidOf(record, &id) && IsEqualGUID(id, guid))
        found = static_cast<tagWUTEMPLATExV2*>(record);
    }
  }
  if (found) {
    if (where) *where = WUTPL_WHERE_CACHE;
  } else {
    LONG g = 0;
    found = global_->FindByGuid(guid, low, high, &g, nullptr);
    if (!found) return nullptr;
    if (where) *where = WhereOfKind(global_->Group(g)->kind);
  }
  if (index) *index = LocateTemplate(found);
  return found;
}

HRESULT CWuPrivateTemplateCache::PrepareChange(bool withTemplates, bool* copied) {
  *copied = false;
  const LONG others = global_->Sharing() - (shared_ ? 1 : 0);
  if (others < 1) return S_OK;
  CWuGlobalTemplateCache* copy = nullptr;
  const HRESULT hr = global_->Clone(withTemplates, &copy);
  if (FAILED(hr)) return hr;
  if (shared_) {
    global_->DropShare();
    copy->AddShare();
  }
  global_->Release();
  global_ = copy;
  *copied = true;
  return S_OK;
}

HRESULT CWuPrivateTemplateCache::DeleteTemplate(const tagWUTEMPLATExV2* record) {
  if (!record) return E_POINTER;
  bool changed = false;
  // Taken out of the global groups first, while the record is still alive
  // to be named.
  if (global_->FindRecord(record, nullptr, nullptr)) {
    WCHAR name[kPath];
    WuStrCpyN(name, WuTpl_Name(record), kPath);
    bool copied = false;
    const HRESULT hr = PrepareChange(true, &copied);
    if (FAILED(hr)) return hr;
    const LONG at = LocateTemplate(record);
    if (at >= 0) WuList_DeleteList(merged_, at, 1, FALSE);
    if (copied) {
      // The copy holds its own record of that name; the original belongs
      // to the cache the other private caches still use.
      LONG g = 0, i = 0;
      const tagWUTEMPLATExV2* mine = global_->FindByName(name, true, 0, WUTPL_KIND_BOTH, &g, &i);
      if (mine) global_->RemoveRecord(mine);
    } else {
      global_->RemoveRecord(record);
    }
    changed = true;
  } else {
    const LONG at = LocateTemplate(record);
    if (at >= 0) {
      WuList_DeleteList(merged_, at, 1, FALSE);
      changed = true;
    }
    if (record == current_) {
      std::free(current_);
      current_ = nullptr;
      changed = true;
    } else if (private_) {
      const LONG i = WuList_FindSpecificItemRange(private_->templates, 0, -1, record);
      if (i >= 0) {
        GroupRemove(private_, i);
        changed = true;
      }
    }
  }
  if (!changed) return S_FALSE;
  return Rebuild(flags_);
}

HRESULT CWuPrivateTemplateCache::StoreTemplate(tagWUTEMPLATExV2* record, BOOL store, LPCWSTR path,
                                               LONG* index) {
  if (index) *index = -2;
  if (!store) return FALSE;
  if (!record) return E_POINTER;
  // A record the global cache holds already is stored.
  if (global_->FindRecord(record, nullptr, nullptr)) {
    if (index) *index = LocateTemplate(record);
    return TRUE;
  }
  // The cache's own current or private record is stored as a copy, so that
  // one owner holds each block.
  const bool ownedHere =
      record == current_ ||
      (private_ && WuList_FindSpecificItemRange(private_->templates, 0, -1, record) >= 0);
  if (ownedHere) {
    tagWUTEMPLATExV2* copy = CopyRecord(record);
    if (!copy) return E_OUTOFMEMORY;
    LONG at = -2;
    const HRESULT hr = StoreTemplate(copy, store, path, &at);
    if (at == -2) std::free(copy);  // not stored
    if (index) *index = at;
    return hr;
  }
  bool copied = false;
  HRESULT hr = PrepareChange(true, &copied);
  if (FAILED(hr)) return hr;
  const bool withPath = path && *path;
  LPCWSTR fileName = withPath ? WuGetFileNamePtrW(path) : nullptr;
  LPCWSTR name = WuTpl_Name(record);
  bool replaced = false, stored = false;
  tWULIST* groups = global_->Groups();
  // A record for a path replaces the same-named record of that path's
  // group whatever its kind: a folder that was empty or missing at the last
  // scan keeps its first kind while saves append to it. Without a path the
  // groups of current templates are searched.
  for (LONG g = 0; g < groups->count && !stored; ++g) {
    WuTemplateGroup* group = global_->Group(g);
    if (withPath ? !InFolder(group->folder, path)
                 : group->kind != WUTPL_KIND_CURRENT && group->kind != WUTPL_KIND_BOTH)
      continue;
    for (LONG i = 0; i < group->templates->count; ++i) {
      void* old = WuList_PointerAt(group->templates, i);
      if (lstrcmpiW(WuTpl_Name(old), name) != 0) continue;
      if (old != record) {
        SetPointer(group->templates, i, record);
        if (fileName && group->fileNames && i < group->fileNames->count &&
            lstrcmpW(GroupFileName(group, i), fileName) != 0)
          WuStrCpyN(static_cast<LPWSTR>(WuList_ItemAt(group->fileNames, i)), fileName, kPath);
        const LONG at = LocateTemplate(static_cast<tagWUTEMPLATExV2*>(old));
        if (at >= 0) SetPointer(merged_, at, record);
        std::free(old);
      }
      replaced = stored = true;
      break;
    }
  }
  if (!stored) {
    WuTemplateGroup* target = nullptr;
    for (LONG g = 0; g < groups->count && !target; ++g) {
      WuTemplateGroup* group = global_->Group(g);
      if (withPath ? InFolder(group->folder, path) : group->kind == WUTPL_KIND_CURRENT)
        target = group;
    }
    // No group takes it: the record stays with the caller.
    if (!target) {
      if (copied) Rebuild(flags_);
      return FALSE;
    }
    hr = GroupAppend(target, record, fileName);
    if (FAILED(hr)) {
      if (copied) Rebuild(flags_);
      return hr;
    }
    stored = true;
  }
  if (!replaced || copied) Rebuild(flags_);
  if (index) *index = LocateTemplate(record);
  return replaced ? TRUE : FALSE;
}

HRESULT CWuPrivateTemplateCache::Refresh(IWuRenderFileClass* cls, DWORD flags) {
  if (Later(global_->NewestFolderTime(), global_->FolderTime())) {
    WuList_DeleteList(merged_, 0, -1, FALSE);
    Unshare();
    bool copied = false;
    HRESULT hr = PrepareChange(false, &copied);
    if (FAILED(hr)) {
      Rebuild(flags_);
      return hr;
    }
    hr = global_->Scan(cls, 0);
    if (FAILED(hr)) {
      Rebuild(flags_);
      return hr;
    }
  }
  return Rebuild(flags);
}

// ---- Exports --------------------------------------------------------------------------------

void WuFio_DropManagerTemplateCache(void** slot) {
  std::lock_guard<std::mutex> hold(g_managerCacheLock);
  CWuGlobalTemplateCache* cache = static_cast<CWuGlobalTemplateCache*>(*slot);
  *slot = nullptr;
  if (cache) cache->Release();
}

HRESULT WuFio_GetGlobalTemplateCache(IWuFileIOManager* manager, IWuRenderFileClass* cls,
                                     CWuGlobalTemplateCache** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!cls) return E_INVALIDARG;
  CWuFileIOManager* ours = OurManager(manager);
  if (!ours) return E_NOINTERFACE;
  std::lock_guard<std::mutex> hold(g_managerCacheLock);
  void** slot = ours->TemplateCacheSlot();
  CWuGlobalTemplateCache* cache = static_cast<CWuGlobalTemplateCache*>(*slot);
  GUID id{};
  const bool known = SUCCEEDED(cls->GetClassId(&id));
  if (cache && known && IsEqualGUID(id, cache->ClassId())) {
    if (Later(cache->NewestFolderTime(), cache->FolderTime())) {
      if (cache->Sharing() >= 1) {
        // Private caches borrow its records: scan into a fresh cache and
        // switch to it; the borrowers keep the old one alive.
        CWuGlobalTemplateCache* fresh = nullptr;
        const HRESULT hr = CWuGlobalTemplateCache::Create(cls, &fresh);
        if (FAILED(hr)) return hr;
        cache->Release();
        *slot = cache = fresh;
      } else {
        const HRESULT hr = cache->Scan(cls, 0);
        if (FAILED(hr)) return hr;
      }
    }
  } else {
    if (cache) cache->Release();
    *slot = cache = nullptr;
    const HRESULT hr = CWuGlobalTemplateCache::Create(cls, &cache);
    if (FAILED(hr)) return hr;
    *slot = cache;
  }
  cache->AddRef();
  *out = cache;
  return S_OK;
}

HRESULT WuFio_GetGlobalTemplateCacheFromClass(IWuRenderFileClass* cls,
                                              CWuGlobalTemplateCache** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!cls) return E_INVALIDARG;
  IWuFileIOManager* manager = nullptr;
  HRESULT hr = cls->GetManager(&manager);
  if (FAILED(hr)) return hr;
  if (!manager) return E_UNEXPECTED;
  hr = WuFio_GetGlobalTemplateCache(manager, cls, out);
  manager->Release();
  return hr;
}

HRESULT WuFio_ReleaseGlobalTemplateCache(CWuGlobalTemplateCache* cache) {
  if (cache) cache->Release();
  return 0;
}

HRESULT WuFio_CreatePrivateTemplateCache(IWuFileIOManager* manager, IWuRenderFileClass* cls,
                                         CWuPrivateTemplateCache** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  CWuGlobalTemplateCache* global = nullptr;
  const HRESULT hr = WuFio_GetGlobalTemplateCache(manager, cls, &global);
  if (FAILED(hr)) return hr;
  *out = CWuPrivateTemplateCache::Create(global);
  global->Release();
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT WuFio_CreatePrivateTemplateCache(IWuRenderFileClass* cls, CWuPrivateTemplateCache** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  CWuGlobalTemplateCache* global = nullptr;
  const HRESULT hr = WuFio_GetGlobalTemplateCacheFromClass(cls, &global);
  if (FAILED(hr)) return hr;
  *out = CWuPrivateTemplateCache::Create(global);
  global->Release();
  return *out ? S_OK : E_OUTOFMEMORY;
}

tagWUTEMPLATExV2* WuFio_GetTemplateByName(IWuRenderFileClass* cls, LPCWSTR name) {
  CWuGlobalTemplateCache* global = nullptr;
  if (FAILED(WuFio_GetGlobalTemplateCacheFromClass(cls, &global))) return nullptr;
  const tagWUTEMPLATExV2* found = global->FindByName(name, false, 0, WUTPL_KIND_BOTH, nullptr, nullptr);
  tagWUTEMPLATExV2* copy = found ? CopyRecord(found) : nullptr;
  global->Release();
  return copy;
}

tagWUTEMPLATExV2* WuFio_GetTemplateByGuid(IWuRenderFileClass* cls, const GUID& guid) {
  CWuGlobalTemplateCache* global = nullptr;
  if (FAILED(WuFio_GetGlobalTemplateCacheFromClass(cls, &global))) return nullptr;
  const tagWUTEMPLATExV2* found = global->FindByGuid(guid, 0, WUTPL_KIND_BOTH, nullptr, nullptr);
  tagWUTEMPLATExV2* copy = found ? CopyRecord(found) : nullptr;
  global->Release();
  return copy;
}

DWORD WuFio_IsTemplateAPreset(IWuRenderFileClass* cls, const tagWUTEMPLATExV2* record, LONG* id) {
  if (id) *id = -2;
  if (!record) return 0;
  CWuGlobalTemplateCache* global = nullptr;
  if (FAILED(WuFio_GetGlobalTemplateCacheFromClass(cls, &global))) return 0;
  DWORD result = 0;
  LONG g = 0;
  if (global->FindRecord(record, &g, nullptr) && global->Group(g)->kind < WUTPL_KIND_FOLDER) {
    result = 255;
    if (id) *id = IdOf(record);
  } else if (const tagWUTEMPLATExV2* found = global->FindByName(
                 WuTpl_Name(record), false, WUTPL_KIND_PRIVATE, WUTPL_KIND_PRESETS, nullptr,
                 nullptr)) {
    if (id) *id = IdOf(found);
    const DWORD size = WuTpl_Size(record);
    const LONG priv = static_cast<LONG>(WuTpl_Word(record, WUTPL_OFFSET_PRIVSIZE));
    if (found == record) {
      result = 255;
    } else if (size == WuTpl_Size(found) && std::memcmp(found, record, size) == 0) {
      result = 7;
    } else if (priv >= 0 && priv == static_cast<LONG>(WuTpl_Word(found, WUTPL_OFFSET_PRIVSIZE)) &&
               WUTPL_HEADER_BYTES + static_cast<ULONGLONG>(priv) <= size &&
               WUTPL_HEADER_BYTES + static_cast<ULONGLONG>(priv) <= WuTpl_Size(found) &&
               std::memcmp(found, record, WUTPL_HEADER_BYTES + priv) == 0) {
      result = 5;
    } else {
      result = 1;
    }
  }
  global->Release();
  return result;
}
