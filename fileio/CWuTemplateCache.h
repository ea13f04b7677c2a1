// Template caches. A renderer class's templates come from three places:
// its presets, its current user templates (".wut2" files) and its legacy
// templates (".wut" files). The global cache gathers them in groups; the
// file-I/O manager keeps one for the renderer class it served last. Each
// client takes a private cache, which shows one merged list: its current
// template, its own private templates, then the global cache's templates,
// each name once (ignoring case).
//
// Private caches borrow the global cache's records. A private cache that
// borrows holds one sharing count on the global cache. Before a private
// cache changes a global cache that any other private cache borrows, it
// makes its own copy of the global cache and changes that, so records that
// another cache's merged list points at never change or go away.
#pragma once

#include <atomic>

#include "fileio/WuFileIO.h"
#include "platform/kernel/types.h"

// Group kinds.
constexpr LONG WUTPL_KIND_PRIVATE = 1;       // a private cache's own templates
constexpr LONG WUTPL_KIND_PRESETS = 8;       // the renderer class's presets
constexpr LONG WUTPL_KIND_FOLDER = 16;       // a folder not yet found to hold template files
constexpr LONG WUTPL_KIND_LEGACY = 17;       // a folder with ".wut" files only
constexpr LONG WUTPL_KIND_CURRENT = 18;      // a folder with ".wut2" files only
constexpr LONG WUTPL_KIND_BOTH = 19;         // a folder with both

// A group of templates (zero-filled global memory).
struct WuTemplateGroup {
  WCHAR folder[260];    // folder path with a trailing separator, empty when none
  tWULIST* templates;   // record pointers, owned
  tWULIST* fileNames;   // file names (260 characters each), parallel to templates; folder groups only
  LONG kind;            // WUTPL_KIND_*
};

// The global template cache of one renderer class.
class CWuGlobalTemplateCache {
 public:
  // Builds a cache for the class: a group per template folder, then a
  // scan. E_OUTOFMEMORY; the class's preset failure as it came.
  static HRESULT Create(IWuRenderFileClass* cls, CWuGlobalTemplateCache** out);

  ULONG AddRef();
  // Drops a reference; at zero destroys every group and frees the cache.
  ULONG Release();

  // Loads the presets group (when `cls` is given and the group is empty)
  // and every folder group again. 0x8004E16D when a private cache other
  // than the caller borrows (`callerShares` is the caller's own count).
  HRESULT Scan(IWuRenderFileClass* cls, LONG callerShares);
  // A new cache with the same class id and groups (path and kind); with
  // `withTemplates` copies of every template and file name and the folder
  // time. E_OUTOFMEMORY (nothing made).
  HRESULT Clone(bool withTemplates, CWuGlobalTemplateCache** out) const;

  // The first template of that name (exact or ignoring case) among the
  // groups whose kind lies in [low, high], in group order; its group and
  // item. NULL when none.
  tagWUTEMPLATExV2* FindByName(LPCWSTR name, bool exact, LONG low, LONG high, LONG* group,
                               LONG* item) const;
  // The same by template GUID (offset 40).
  tagWUTEMPLATExV2* FindByGuid(const GUID& guid, LONG low, LONG high, LONG* group,
                               LONG* item) const;
  // The group and item that hold `record` itself; false when none.
  bool FindRecord(const void* record, LONG* group, LONG* item) const;
  // Removes `record` (and its file name) from every group holding it,
  // freeing it; true when a group held it.
  bool RemoveRecord(const void* record);

  // The newest last-write time of the group folders now.
  FILETIME NewestFolderTime() const;

  tWULIST* Groups() const { return groups_; }
  WuTemplateGroup* Group(LONG index) const;
  const GUID& ClassId() const { return classId_; }
  const FILETIME& FolderTime() const { return folderTime_; }
  LONG Sharing() const { return sharing_.load(); }
  void AddShare() { ++sharing_; }
  void DropShare() { --sharing_; }

 private:
  CWuGlobalTemplateCache() = default;
  ~CWuGlobalTemplateCache();
  static CWuGlobalTemplateCache* Allocate();
  HRESULT LoadPresets(IWuRenderFileClass* cls);
  void ScanFolder(WuTemplateGroup* group, IWuRenderFileClass* cls);

  tWULIST* groups_ = nullptr;        // WuTemplateGroup pointers; presets first when present
  std::atomic<LONG> references_{1};  // reference count
  std::atomic<LONG> sharing_{0};     // private caches whose merged lists borrow records
  GUID classId_{};                   // the renderer class
  FILETIME folderTime_{};            // newest folder time at the last scan
};

// Group helpers.
WuTemplateGroup* WuFio_NewTemplateGroup(LPCWSTR folder, LONG kind);
void WuFio_FreeTemplateGroup(WuTemplateGroup* group);

// Builds a global cache for a class (the manager's build step).
HRESULT WuFio_CreateGlobalTemplateCache(IWuRenderFileClass* cls, CWuGlobalTemplateCache** out);

// Where a find reported a template.
constexpr LONG WUTPL_WHERE_NONE = 0;
constexpr LONG WUTPL_WHERE_LEGACY = 1;   // a legacy-only folder
constexpr LONG WUTPL_WHERE_CACHE = 2;    // current template, private group, or a group
constexpr LONG WUTPL_WHERE_MIXED = 3;    // a folder with both kinds of file

// A client's view of a renderer class's templates.
class CWuPrivateTemplateCache {
 public:
  // A new private cache over `global` (which gains a reference); NULL
  // when memory runs out.
  static CWuPrivateTemplateCache* Create(CWuGlobalTemplateCache* global);
  // Destroys the merged list and the private group, frees the current
  // template, drops the sharing count, releases the global cache and frees
  // the object.
  void Close();

  // Builds the merged list again (filter bit 0: leave out the first
  // preset).
  HRESULT Rebuild(DWORD flags);
  // The merged list (borrowed records).
  tWULIST* GetTemplateList() const { return merged_; }
  // The merged index of the current template, -1 when none.
  LONG GetCurrentTemplateIndex() const;
  // Puts `record` in the current slot (WuFio_SetTemplate flags): the
  // merged index, -1 when the slot was empty or not listed, -2 for NULL.
  LONG SetCurrentTemplate(tagWUTEMPLATExV2* record, DWORD flags);
  const tagWUTEMPLATExV2* CurrentTemplate() const { return current_; }
  // Whether the current template has that name.
  bool IsCurrentTemplateNamed(LPCWSTR name, bool exact) const;
  // Adds a record (or a copy of it) to the private group.
  HRESULT AddPrivateTemplate(tagWUTEMPLATExV2* record, bool copy);
  // The private group's first template, NULL when none.
  tagWUTEMPLATExV2* GetFirstPrivateTemplate() const;
  // Makes the private group hold the list's records (or copies); without
  // copying the list's records are taken and the list is emptied.
  HRESULT SetPrivateTemplates(tWULIST* list, bool copy);
  // Removes `record` from the private group (or the whole group when
  // NULL); *wasIn whether it was there.
  HRESULT RemovePrivateGroup(const tagWUTEMPLATExV2* record, BOOL* wasIn);
  // Copies of merged entries [start, start + count) (count < 0: to the
  // end) appended to a new owning list.
  HRESULT CopyTemplates(tWULIST** out, LONG start, LONG count) const;
  // Finds by name: the current template (kind range holds 0), the private
  // group (low <= 1 < high + 1), then the global groups in range. *where
  // as WUTPL_WHERE_*, *index its merged index (-1 when not there), `path`
  // the file for a folder group ("" otherwise).
  const tagWUTEMPLATExV2* FindTemplateByName(LPCWSTR name, bool exact, LONG low, LONG high,
                                             LONG* where, LONG* index, LPWSTR path,
                                             DWORD pathSize) const;
  const tagWUTEMPLATExV2* FindTemplateByGuid(const GUID& guid, LONG low, LONG high, LONG* where,
                                             LONG* index) const;
  // The merged index of a record, -1 when not listed.
  LONG LocateTemplate(const tagWUTEMPLATExV2* record) const;
  // Removes a record from the merged list, the current slot, the private
  // group and (after copy before change) every global group, freeing it;
  // files are not touched. S_FALSE when nothing held it.
  HRESULT DeleteTemplate(const tagWUTEMPLATExV2* record);
  // Stores a record into the global cache: TRUE when it replaced one of
  // its name (or was there), FALSE when appended, nothing stored (index
  // -2; the record stays with the caller) or `store` is 0; negative when
  // the copy before change failed. With a path, the group of the path's
  // folder takes it, replacing a record of its name whatever the group's
  // kind; without one, a record of its name in a group of current
  // templates is replaced, else the first group of kind 18 takes it.
  HRESULT StoreTemplate(tagWUTEMPLATExV2* record, BOOL store, LPCWSTR path, LONG* index);
  // Scans again when a folder changed since the last scan, then rebuilds.
  HRESULT Refresh(IWuRenderFileClass* cls, DWORD flags);

  CWuGlobalTemplateCache* Global() const { return global_; }

 private:
  CWuPrivateTemplateCache() = default;
  // Drops the sharing count when held.
  void Unshare();
  // Makes the global cache this cache's own when another borrows it;
  // *copied whether a copy was made.
  HRESULT PrepareChange(bool withTemplates, bool* copied);
  // Appends a record unless a record of its name is listed; true when added.
  bool AddMerged(tagWUTEMPLATExV2* record);

  CWuGlobalTemplateCache* global_ = nullptr;  // one reference held
  bool shared_ = false;                       // holds a sharing count on global_
  tWULIST* merged_ = nullptr;                 // borrowed record pointers
  tagWUTEMPLATExV2* current_ = nullptr;       // owned, or NULL
  WuTemplateGroup* private_ = nullptr;        // kind 1, or NULL
  DWORD flags_ = 0;                           // filter flags of the last rebuild
};

// ---- Exports --------------------------------------------------------------------------------
// The manager's global cache for the class, with a reference added: kept
// when it is the class's (scanned again when a folder is newer; while a
// private cache borrows it, a fresh cache is scanned and replaces it),
// else built anew.
HRESULT WuFio_GetGlobalTemplateCache(IWuFileIOManager* manager, IWuRenderFileClass* cls,
                                     CWuGlobalTemplateCache** out);
// The same with the manager the class was initialised with (its slot 6).
HRESULT WuFio_GetGlobalTemplateCacheFromClass(IWuRenderFileClass* cls,
                                              CWuGlobalTemplateCache** out);
// Drops one reference; NULL is ignored. Returns 0.
HRESULT WuFio_ReleaseGlobalTemplateCache(CWuGlobalTemplateCache* cache);
// A new private cache over the manager's global cache.
HRESULT WuFio_CreatePrivateTemplateCache(IWuFileIOManager* manager, IWuRenderFileClass* cls,
                                         CWuPrivateTemplateCache** out);
HRESULT WuFio_CreatePrivateTemplateCache(IWuRenderFileClass* cls, CWuPrivateTemplateCache** out);
// A copy of the first template of that name (ignoring case) or GUID among
// the class's global cache's groups; NULL when none.
tagWUTEMPLATExV2* WuFio_GetTemplateByName(IWuRenderFileClass* cls, LPCWSTR name);
tagWUTEMPLATExV2* WuFio_GetTemplateByGuid(IWuRenderFileClass* cls, const GUID& guid);
// Whether a record is a preset of the class: 255 the preset itself (or a
// record in a group below kind 16), 7 same bytes as the preset of its
// name, 5 same bytes up to the end of the private data, 1 same name only,
// 0 none. *id the preset's Id, -2 when none.
DWORD WuFio_IsTemplateAPreset(IWuRenderFileClass* cls, const tagWUTEMPLATExV2* record, LONG* id);

// The manager's side: releases a cache slot's reference (shutdown).
void WuFio_DropManagerTemplateCache(void** slot);
