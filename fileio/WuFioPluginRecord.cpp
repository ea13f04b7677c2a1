// Plug-in records: making, copying and freeing them, candidate records for
// library paths, extension lists and class-id filters.
#include "fileio/WuFioPluginRecord.h"

#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuList.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"

namespace {

// The machine number of images this process can load.
#if defined(__x86_64__)
constexpr WORD kHostMachine = WU_MACHINE_AMD64;
#elif defined(__i386__)
constexpr WORD kHostMachine = WU_MACHINE_I386;
#elif defined(__aarch64__)
constexpr WORD kHostMachine = WU_MACHINE_ARM64;
#else
constexpr WORD kHostMachine = WU_MACHINE_UNKNOWN;
#endif

LPWSTR DupText(LPCWSTR text) {
  int length = lstrlenW(text);
  auto* copy = static_cast<LPWSTR>(WuGlobalNew((static_cast<SIZE_T>(length) + 1) * sizeof(WCHAR)));
  if (copy && length) std::memcpy(copy, text, static_cast<size_t>(length) * sizeof(WCHAR));
  return copy;
}

void ReleaseObject(IUnknown** object) {
  if (*object) (*object)->Release();
  *object = nullptr;
}

// The path with '/' separators and "." and ".." resolved, upper-cased.
std::u16string NormalisedPath(LPCWSTR path) {
  if (!path) return std::u16string();
  std::u16string text(path);
  bool absolute = !text.empty() && WuIsPathSeparator(text[0]);
  std::u16string word;
  std::u16string segments;
  std::vector<size_t> ends;  // where each name starts in `segments`
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !WuIsPathSeparator(text[i])) {
      word += platform::CharUpper(text[i]);
      continue;
    }
    if (word.empty() || word == u".") {
    } else if (word == u"..") {
      if (!ends.empty() && segments.compare(ends.back(), std::u16string::npos, u"/..") != 0) {
        segments.resize(ends.back());
        ends.pop_back();
      } else if (!absolute) {
        ends.push_back(segments.size());
        segments += u"/..";
      }
    } else {
      ends.push_back(segments.size());
      segments += u'/';
      segments += word;
    }
    word.clear();
  }
  if (absolute) return segments.empty() ? std::u16string(u"/") : segments;
  return segments.empty() ? segments : segments.substr(1);
}

}  // namespace

WUFIO_PLUGIN_RECORD* WuFio_NewPluginRecord() {
  auto* record = static_cast<WUFIO_PLUGIN_RECORD*>(WuGlobalNew(sizeof(WUFIO_PLUGIN_RECORD)));
  if (!record) return nullptr;
  record->size = WUFIO_PLUGIN_RECORD_SIZE;
  record->version = WUFIO_PLUGIN_RECORD_VERSION;
  record->langId = WuFio_CurrentLangId();
  record->reader.key = -1;
  record->renderer.key = -1;
  return record;
}

WUFIO_PLUGIN_RECORD* WuFio_CopyPluginRecord(const WUFIO_PLUGIN_RECORD* source) {
  auto* record = static_cast<WUFIO_PLUGIN_RECORD*>(WuGlobalNew(sizeof(WUFIO_PLUGIN_RECORD)));
  if (!record) return nullptr;
  std::memcpy(static_cast<void*>(record), source, sizeof(*record));
  record->module = nullptr;
  record->factory = nullptr;
  record->flags &= ~WUFIO_PLUGIN_PRELOADED;
  record->dialogName = nullptr;
  record->preloads = nullptr;
  record->preloaded = nullptr;
  record->preloadedCount = 0;
  record->reader.object = nullptr;
  record->reader.extensions = nullptr;
  record->renderer.object = nullptr;
  record->renderer.extensions = nullptr;
  if (FAILED(WuFio_SetText(&record->dialogName, source->dialogName)) ||
      FAILED(WuFio_SetText(&record->preloads, source->preloads)) ||
      FAILED(WuFio_SetText(&record->reader.extensions, source->reader.extensions)) ||
      FAILED(WuFio_SetText(&record->renderer.extensions, source->renderer.extensions))) {
    WuFio_FreePluginRecord(record);
    return nullptr;
  }
  return record;
}

void WuFio_FreePluginRecord(WUFIO_PLUGIN_RECORD* record) {
  if (!record) return;
  ReleaseObject(&record->reader.object);
  ReleaseObject(&record->renderer.object);
  if (record->factory) record->factory->Release();
  record->factory = nullptr;
  if (record->module) FreeLibrary(record->module);
  record->module = nullptr;
  // The preload modules this record loaded, each once.
  for (LONG i = 0; i < record->preloadedCount; ++i) FreeLibrary(record->preloaded[i]);
  WuGlobalDelete(record->preloaded);
  record->preloaded = nullptr;
  record->preloadedCount = 0;
  WuGlobalDelete(record->dialogName);
  WuGlobalDelete(record->preloads);
  WuGlobalDelete(record->reader.extensions);
  WuGlobalDelete(record->renderer.extensions);
  WuGlobalDelete(record);
}

tWULIST* WuFio_NewPluginList() {
  tWULIST* list = nullptr;
  if (FAILED(WuList_CreateExZ(&list, 0, 16, 16, 0))) return nullptr;
  return list;
}

void WuFio_FreePluginList(tWULIST* list) {
  if (!list) return;
  for (LONG i = 0; i < list->count; ++i) WuFio_FreePluginRecord(WuFio_PluginAt(list, i));
  WuList_Destroy(list);
}

WUFIO_PLUGIN_RECORD* WuFio_PluginAt(const tWULIST* list, LONG index) {
  return static_cast<WUFIO_PLUGIN_RECORD*>(WuList_PointerAt(list, index));
}

LONG WuFio_PluginCount(const tWULIST* list) { return list ? list->count : 0; }

HRESULT WuFio_SetText(LPWSTR* field, LPCWSTR text) {
  LPWSTR copy = nullptr;
  if (text && *text) {
    copy = DupText(text);
    if (!copy) return E_OUTOFMEMORY;
  }
  WuGlobalDelete(*field);
  *field = copy;
  return S_OK;
}

DWORD WuFio_CurrentLangId() {
  HWULANG lang = WuKernel_GetLangHandle();
  return lang ? static_cast<DWORD>(WuLang_GetLCID(lang)) : 0;
}

LPWSTR WuFio_NormaliseExtensionList(LPCWSTR list) {
  std::u16string out;
  const WCHAR* at = list ? list : u"";
  while (*at) {
    const WCHAR* end = at;
    while (*end && *end != u';') ++end;
    const WCHAR* entry = at;
    while (entry < end && platform::IsWhiteSpace(*entry)) ++entry;
    const WCHAR* stop = entry;
    while (stop < end && !platform::IsWhiteSpace(*stop)) ++stop;
    if (stop > entry) {
      if (!out.empty()) out += u';';
      out.append(entry, static_cast<size_t>(stop - entry));
    }
    at = *end ? end + 1 : end;
  }
  return DupText(out.c_str());
}

int WuFio_ComparePaths(LPCWSTR a, LPCWSTR b) {
  return NormalisedPath(a).compare(NormalisedPath(b)) == 0 ? 0 : 1;
}

bool WuFio_PathIsInside(LPCWSTR path, LPCWSTR folder) {
  std::u16string inner = NormalisedPath(path);
  std::u16string outer = NormalisedPath(folder);
  if (outer.empty() || inner.size() <= outer.size() + 1) return false;
  if (outer.back() != u'/') outer += u'/';
  return inner.compare(0, outer.size(), outer) == 0;
}

HRESULT WuFio_AddPluginCandidate(tWULIST* list, LPCWSTR path) {
  if (!list || !path) return E_INVALIDARG;
  // A path that does not fit would name another file once cut: refused.
  if (lstrlenW(path) >= 260) return S_FALSE;
  WCHAR full[260] = {};
  WuStrCpyN(full, path, 260);
  if (!*WuGetFileNameExtensionPtrW(full)) {
    if (lstrlenW(full) + lstrlenW(platform::kSharedLibraryExtension) >= 260) return S_FALSE;
    WuStrCatN(full, platform::kSharedLibraryExtension, 260);
  }
  for (LONG i = 0; i < list->count; ++i)
    if (WuFio_ComparePaths(WuFio_PluginAt(list, i)->path, full) == 0) return S_FALSE;
  DWORD modTime = WuDosGetDateTimeUTC(full);
  if (!modTime) return S_FALSE;
  WUFIO_PLUGIN_RECORD* record = WuFio_NewPluginRecord();
  if (!record) return E_OUTOFMEMORY;
  WuStrCpyN(record->path, full, 260);
  record->modTime = modTime;
  record->flags = WUFIO_PLUGIN_FIRST;
  WORD machine = 0;
  if (WuGetFileExecutableInfo(full, &machine, nullptr) != S_OK)
    record->flags |= WUFIO_PLUGIN_UNUSABLE;
  else if (machine != kHostMachine)
    record->flags |= WUFIO_PLUGIN_FOREIGN;
  if (FAILED(WuList_InsertItem(list, -1, record))) {
    WuFio_FreePluginRecord(record);
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT WuFio_SetPluginCandidateDLLs(tWULIST** out, const WCHAR* const* paths, LONG count) {
  if (!out) return E_POINTER;
  *out = WuFio_NewPluginList();
  if (!*out) return E_OUTOFMEMORY;
  for (LONG i = 0; paths && i < count; ++i) {
    if (!paths[i]) continue;
    HRESULT hr = WuFio_AddPluginCandidate(*out, paths[i]);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT WuFio_SetPluginCandidateDLLs(tWULIST** out, tWULIST* paths) {
  if (!out) return E_POINTER;
  if (!paths) return WuFio_SetPluginCandidateDLLs(out, nullptr, 0);
  return WuFio_SetPluginCandidateDLLs(
      out, reinterpret_cast<const WCHAR* const*>(paths->storage), paths->count);
}

bool WuFio_GuidMatches10(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, 10) == 0; }

bool WuFio_GuidPassesFilterList(const GUID& id, const GUID* list, LONG count, bool include) {
  if (!list || count <= 0) return true;
  bool listed = false;
  for (LONG i = 0; i < count && !listed; ++i) listed = WuFio_GuidMatches10(id, list[i]);
  return include ? listed : !listed;
}
