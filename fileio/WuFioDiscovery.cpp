// Plug-in discovery: the configuration files that name plug-in libraries,
// the cache profile that remembers what each library offers, and the
// probe that asks a library for its classes when the cache cannot tell.
//
// The cache has three kinds of sections: per library (named after its
// file name without extension: "Path", "ModTime" and one key per class
// with its display name), per class of a library (library name + "." +
// class id: "Access", "Flags", "StreamType") and per class (named after
// the class id: "DialogName", "LangID", "ModTime", "PreloadModules",
// "Reader", "ExtReader", "Renderer", "ExtRenderer").
#include <string>
#include <vector>

#include "fileio/CWuFileIOManager.h"
#include "fileio/CWuProfile.h"
#include "fileio/WuFioPaths.h"
#include "fileio/WuFioTypeTables.h"
#include "foundation/WuList.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuRegistry.h"
#include "foundation/WuString.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "platform/registry/profile.h"
#include "platform/shell/shell_path.h"

namespace {

constexpr WCHAR kConfigPattern[] = u"*.Fio2007-Config";
constexpr WCHAR kPluginSection[] = u"FileIO Plug-Ins";
constexpr WCHAR kForceKey[] = u"ForceOutOfProcess";

// A class id in registry form: braces, upper-case hexadecimal.
std::u16string RegistryForm(const GUID& id) {
  WCHAR text[40] = {};
  WuGuidToString(id, text, 40);
  CharUpperW(text);
  return u"{" + std::u16string(text) + u"}";
}

// The library's section name: its file name without extension.
std::u16string LibrarySection(const WUFIO_PLUGIN_RECORD* record) {
  WCHAR name[260] = {};
  WuGetFileNameWithoutPathOrExtension(record->path, name, 260);
  return name;
}

// A text value of the profile's section; false when absent.
bool ReadText(CWuProfile& profile, LPCWSTR key, std::u16string* out) {
  std::vector<WCHAR> buffer(1024);
  for (;;) {
    bool present = profile.GetString(key, nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::u16string text(buffer.data());
    if (text.size() + 1 < buffer.size()) {
      *out = present ? text : std::u16string();
      return present;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// The key names of a profile section, read whole.
std::vector<std::u16string> SectionKeys(LPCWSTR section, LPCWSTR file) {
  std::vector<WCHAR> buffer(8320);
  for (;;) {
    DWORD got = GetPrivateProfileStringW(section, nullptr, u"", buffer.data(),
                                         static_cast<DWORD>(buffer.size()), file);
    if (got + 2 < buffer.size()) break;
    buffer.resize(buffer.size() * 2);
  }
  std::vector<std::u16string> keys;
  for (const WCHAR* at = buffer.data(); *at; at += lstrlenW(at) + 1) keys.emplace_back(at);
  return keys;
}

// A profile value read whole, "" when missing.
std::u16string ProfileValue(LPCWSTR section, LPCWSTR key, LPCWSTR file) {
  std::vector<WCHAR> buffer(520);
  for (;;) {
    DWORD got = GetPrivateProfileStringW(section, key, u"", buffer.data(),
                                         static_cast<DWORD>(buffer.size()), file);
    if (got + 1 < buffer.size()) return buffer.data();
    buffer.resize(buffer.size() * 2);
  }
}

// Reads one class of a library from the cache into `record`. False when
// the cache's description is incomplete or out of date.
bool ReadCachedClass(CWuProfile& cache, const std::u16string& library, WUFIO_PLUGIN_RECORD* record,
                     const GUID& id, DWORD libraryTime) {
  record->classId = id;
  if (WuFio_IsBlockedClass(id)) {
    record->flags |= WUFIO_PLUGIN_UNUSABLE | WUFIO_PLUGIN_BLOCKED;
    return true;
  }
  std::u16string key = RegistryForm(id);
  std::u16string text;
  cache.SetSection(library.c_str());
  ReadText(cache, key.c_str(), &text);
  WuStrCpyN(record->name, text.c_str(), 260);
  cache.SetSection((library + u"." + key).c_str());
  int access = cache.GetInt(u"Access", -1);
  int flagsValue = cache.GetInt(u"Flags", -1);
  int streamType = cache.GetInt(u"StreamType", -1);
  if (access == -1 || flagsValue == -1 || streamType == -1) return false;
  record->access = static_cast<DWORD>(access);
  record->classFlags = record->refresh = static_cast<DWORD>(flagsValue);
  record->streamType = static_cast<DWORD>(streamType);
  cache.SetSection(key.c_str());
  DWORD classTime = static_cast<DWORD>(cache.GetInt(u"ModTime", 0));
  DWORD langId = static_cast<DWORD>(cache.GetInt(u"LangID", 0));
  bool ok = classTime == libraryTime && langId == WuFio_CurrentLangId();
  if (ok) {
    bool anyId = false;
    if (ReadText(cache, u"PreloadModules", &text)) WuFio_SetText(&record->preloads, text.c_str());
    if (record->access & WUFIO_ACCESS_READER) {
      GUID reader = {};
      if (cache.GetGuids(u"Reader", &reader, 1) == 1) {
        record->reader.classId = reader;
        anyId = true;
      } else {
        WuFio_SetPartState(&record->reader, WUFIO_CLASS_UNAVAILABLE);
      }
      if (ReadText(cache, u"ExtReader", &text)) WuFio_SetText(&record->reader.extensions, text.c_str());
    }
    if (record->access & WUFIO_ACCESS_RENDERER) {
      GUID renderer = {};
      if (cache.GetGuids(u"Renderer", &renderer, 1) == 1) {
        record->renderer.classId = renderer;
        anyId = true;
      } else {
        WuFio_SetPartState(&record->renderer, WUFIO_CLASS_UNAVAILABLE);
      }
      if (ReadText(cache, u"ExtRenderer", &text))
        WuFio_SetText(&record->renderer.extensions, text.c_str());
      else
        ok = false;
    }
    bool hasDialog = ReadText(cache, u"DialogName", &text);
    if (hasDialog) WuFio_SetText(&record->dialogName, text.c_str());
    if (anyId && !hasDialog) ok = false;
  }
  if (!ok) {
    record->flags |= WUFIO_PLUGIN_CHANGED;
    record->refresh |= 1;
  }
  if (WuFio_IsAlwaysRefreshedClass(id) && !(record->classFlags & 2)) record->refresh |= 1;
  return ok;
}

}  // namespace

bool CWuFileIOManager::ReadCache(tWULIST* list) {
  WCHAR folder[260] = {}, name[260] = {};
  bool haveCache = WuFio_GetCacheProfile(folder, name) != FALSE;
  CWuProfile cache(folder, name);
  if (!haveCache || !cache.Exists()) {
    for (LONG i = 0; i < WuFio_PluginCount(list); ++i)
      WuFio_PluginAt(list, i)->flags |= WUFIO_PLUGIN_STALE;
    return false;
  }
  bool allFresh = true;
  for (LONG i = 0; i < WuFio_PluginCount(list);) {
    WUFIO_PLUGIN_RECORD* record = WuFio_PluginAt(list, i);
    if (!(record->flags & WUFIO_PLUGIN_FIRST)) {  // a class found before: not a library
      ++i;
      continue;
    }
    std::u16string library = LibrarySection(record);
    cache.SetSection(library.c_str());
    DWORD modTime = static_cast<DWORD>(cache.GetInt(u"ModTime", 0));
    std::u16string path;
    ReadText(cache, u"Path", &path);
    if (modTime != record->modTime || WuFio_ComparePaths(path.c_str(), record->path) != 0) {
      record->flags |= WUFIO_PLUGIN_STALE;
      allFresh = false;
      ++i;
      continue;
    }
    // Every class key, however many there are.
    int count = cache.GetGuids(nullptr, nullptr, 0);
    std::vector<GUID> ids(static_cast<size_t>(count > 0 ? count : 0));
    if (count > 0) count = cache.GetGuids(nullptr, ids.data(), count);
    if (count <= 0) {
      // Cached as a library without classes: it stays unusable.
      record->flags = (record->flags | WUFIO_PLUGIN_UNUSABLE) & ~WUFIO_PLUGIN_STALE;
      ++i;
      continue;
    }
    std::vector<WUFIO_PLUGIN_RECORD*> made{record};
    bool failed = false;
    for (int k = 1; k < count && !failed; ++k) {
      WUFIO_PLUGIN_RECORD* copy = WuFio_CopyPluginRecord(record);
      if (!copy) failed = true;
      else {
        copy->flags &= ~WUFIO_PLUGIN_FIRST;
        made.push_back(copy);
      }
    }
    for (int k = 0; k < count && !failed; ++k)
      failed = !ReadCachedClass(cache, library, made[k], ids[k], record->modTime);
    for (int k = 1; k < count && !failed; ++k)
      failed = FAILED(WuList_InsertItem(list, i + k, made[k]));
    if (failed) {
      // Remove what was inserted, free the copies and probe the library.
      for (LONG at = WuFio_PluginCount(list) - 1; at > i; --at)
        for (size_t k = 1; k < made.size(); ++k)
          if (WuFio_PluginAt(list, at) == made[k]) WuList_DeleteList(list, at, 1, FALSE);
      for (size_t k = 1; k < made.size(); ++k) WuFio_FreePluginRecord(made[k]);
      record->flags |= WUFIO_PLUGIN_STALE;
      allFresh = false;
      ++i;
      continue;
    }
    for (WUFIO_PLUGIN_RECORD* done : made) done->flags &= ~WUFIO_PLUGIN_STALE;
    i += count;
  }
  return allFresh;
}

LONG CWuFileIOManager::Probe(tWULIST* list, LONG index) {
  WUFIO_PLUGIN_RECORD* library = WuFio_PluginAt(list, index);
  // A library already marked unusable is asked all the same: the mark may
  // come from the cache (a first class on the blocked list) while its other
  // classes are usable. One that is not an image fails to load below and
  // is cached with its path and time only.
  WUFIO_PLUGIN_RECORD* templ = WuFio_CopyPluginRecord(library);
  if (!templ) return 0;
  templ->classId = CLSID_WuFileIOClassList;
  library->flags &= ~WUFIO_PLUGIN_CHANGED;
  void* made = nullptr;
  HRESULT hr = CreateClass(templ, IID_IWuFileIOClassList, &made);
  if (FAILED(hr) || !made) {
    if (hr != E_OUTOFMEMORY) library->flags |= WUFIO_PLUGIN_CHANGED | WUFIO_PLUGIN_UNUSABLE;
    WuFio_FreePluginRecord(templ);
    return 0;
  }
  auto* classes = static_cast<IWuFileIOClassList*>(made);
  classes->Initialize(this);
  LONG count = 0;
  if (FAILED(classes->GetCount(&count))) count = 0;
  library->flags |= WUFIO_PLUGIN_CHANGED | WUFIO_PLUGIN_UNUSABLE;
  LONG added = 0;
  bool usable = false;
  bool first = true;
  for (LONG i = 0; i < count; ++i) {
    GUID id = {};
    WCHAR name[260] = {};
    DWORD access = 0, streamType = 0, v1 = 0, v2 = 0, v3 = 0, v4 = 0, reserved = 0, flagsValue = 0;
    if (FAILED(classes->Describe(i, &id, name, 260, &access, &streamType, &v1, &v2, &v3, &v4,
                                 &reserved, &flagsValue)))
      continue;
    name[259] = 0;  // a text the plug-in wrote ends at the buffer's last unit
    WUFIO_PLUGIN_RECORD* record = first ? library : WuFio_CopyPluginRecord(templ);
    if (!record) break;
    DWORD keep = library->flags & (WUFIO_PLUGIN_FORCED_OUT | WUFIO_PLUGIN_FOREIGN);
    if (first) keep |= WUFIO_PLUGIN_FIRST;
    record->flags = WUFIO_PLUGIN_CHANGED | keep | (templ->flags & WUFIO_PLUGIN_IN_SURROGATE);
    record->classId = id;
    WuStrCpyN(record->name, name, 260);
    record->access = access;
    record->streamType = streamType;
    record->refresh = record->classFlags = flagsValue;
    record->langId = WuFio_CurrentLangId();
    record->module = nullptr;
    record->factory = nullptr;
    for (WUFIO_CLASS_PART* part : {&record->reader, &record->renderer}) {
      part->classId = GUID{};
      part->key = -1;
      WuFio_SetText(&part->extensions, nullptr);
      WuFio_SetPartState(part, WUFIO_CLASS_NOT_LOADED);
    }
    WuFio_SetText(&record->dialogName, nullptr);
    if (WuFio_IsBlockedClass(id)) {
      record->flags |= WUFIO_PLUGIN_UNUSABLE | WUFIO_PLUGIN_BLOCKED;
    } else {
      record->refresh |= 1;
      usable = true;
    }
    if (!first) {
      if (FAILED(WuList_InsertItem(list, index + 1 + added, record))) {
        WuFio_FreePluginRecord(record);
        break;
      }
      ++added;
    }
    first = false;
  }
  classes->Release();
  // A library with usable classes stays loaded until the refresh has made them.
  if (usable && templ->module) {
    probeHolds_.push_back(templ->module);
    templ->module = nullptr;
  }
  WuFio_FreePluginRecord(templ);
  return added;
}

HRESULT CWuFileIOManager::LoadPluginsFromCache(tWULIST* list, DWORD flags, void* context) {
  (void)context;
  if (WuFio_PluginCount(list) == 0) return S_OK;
  const bool bypass = (flags & (WUFIO_CREATE_NO_CACHE_WRITE | WUFIO_CREATE_IGNORE_CACHE)) != 0;
  if (!bypass && ReadCache(list)) return S_OK;
  for (LONG i = 0; i < WuFio_PluginCount(list);) {
    WUFIO_PLUGIN_RECORD* record = WuFio_PluginAt(list, i);
    // Libraries only: every one when the cache was bypassed, else the stale.
    if ((record->flags & WUFIO_PLUGIN_FIRST) && (bypass || (record->flags & WUFIO_PLUGIN_STALE))) {
      record->flags &= ~WUFIO_PLUGIN_STALE;
      i += 1 + Probe(list, i);
    } else {
      ++i;
    }
  }
  return S_OK;
}

HRESULT CWuFileIOManager::SearchFolders(tWULIST* list) {
  WCHAR folder[260] = {};
  if (!WuFio_GetManagerModuleFolder(folder, 260)) return S_OK;
  std::u16string pattern = std::u16string(folder) + kConfigPattern;
  WIN32_FIND_DATAW found = {};
  HANDLE find = FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return S_OK;
  HRESULT hr = S_OK;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::u16string config = std::u16string(folder) + found.cFileName;
    int force = static_cast<int>(GetPrivateProfileIntW(u"Default", kForceKey, 0, config.c_str()));
    for (const std::u16string& key : SectionKeys(kPluginSection, config.c_str())) {
      std::u16string value = ProfileValue(kPluginSection, key.c_str(), config.c_str());
      WCHAR combined[MAX_PATH] = {};
      // A joined path too long for MAX_PATH would name another file: skipped.
      if (!PathCombineW(combined, folder, value.c_str())) continue;
      LONG before = WuFio_PluginCount(list);
      hr = WuFio_AddPluginCandidate(list, combined);
      if (FAILED(hr)) break;
      if (WuFio_PluginCount(list) > before &&
          GetPrivateProfileIntW(key.c_str(), kForceKey, force, config.c_str()) != 0)
        WuFio_PluginAt(list, before)->flags |= WUFIO_PLUGIN_FORCED_OUT;
    }
  } while (SUCCEEDED(hr) && FindNextFileW(find, &found));
  FindClose(find);
  return FAILED(hr) ? hr : S_OK;
}

HRESULT CWuFileIOManager::AddPluginCandidates(tWULIST** out, const WCHAR* const* paths, LONG count,
                                              DWORD flags, LONG* reserved) {
  if (reserved) *reserved = 0;
  if (!out) return E_POINTER;
  *out = nullptr;
  Lock();
  // Without cache paths every library is probed.
  WuFio_EnsureCachePaths(nullptr, flags, nullptr);
  HRESULT hr = WuFio_SetPluginCandidateDLLs(out, paths, count);
  if (SUCCEEDED(hr) && WuFio_PluginCount(*out) > 0) hr = LoadPluginsFromCache(*out, flags, nullptr);
  Unlock();
  return hr;
}

HRESULT CWuFileIOManager::FindPlugins(tWULIST** out, DWORD flags, LONG* reserved) {
  if (reserved) *reserved = 0;
  if (!out) return E_POINTER;
  *out = nullptr;
  Lock();
  // Without cache paths every library is probed.
  WuFio_EnsureCachePaths(nullptr, flags, nullptr);
  *out = WuFio_NewPluginList();
  HRESULT hr = *out ? SearchFolders(*out) : E_OUTOFMEMORY;
  if (SUCCEEDED(hr)) hr = LoadPluginsFromCache(*out, flags, nullptr);
  Unlock();
  return hr;
}

HRESULT CWuFileIOManager::SaveCache(DWORD flags) {
  if (WuFio_PluginCount(plugins_) == 0) return S_OK;
  if (!WuFio_CachePathsSet()) WuFio_EnsureCachePaths(nullptr, flags_, nullptr);
  WCHAR folder[260] = {}, name[260] = {};
  if (!WuFio_GetCacheProfile(folder, name)) return E_FAIL;
  CWuProfile cache(folder, name);
  if (!cache.IsValid()) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  if (flags & 2) cache.DeleteFile();
  HRESULT result = S_OK;
  auto keep = [&result](HRESULT hr) {
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  };
  // A library's first record clears the library's section; the library's
  // other records are then written too, so that no class key is lost.
  bool wholeLibrary = false;
  for (LONG i = 0; i < WuFio_PluginCount(plugins_); ++i) {
    WUFIO_PLUGIN_RECORD* record = WuFio_PluginAt(plugins_, i);
    if (record->flags & WUFIO_PLUGIN_FIRST)
      wholeLibrary = (flags & 1) || (record->flags & WUFIO_PLUGIN_CHANGED);
    if (!(flags & 1) && !wholeLibrary && !(record->flags & WUFIO_PLUGIN_CHANGED)) continue;
    std::u16string library = LibrarySection(record);
    cache.SetSection(library.c_str());
    if (record->flags & WUFIO_PLUGIN_FIRST) {
      keep(cache.ClearSection());
      keep(cache.WriteString(u"Path", record->path));
      keep(cache.WriteInt(u"ModTime", static_cast<int>(record->modTime)));
    }
    if (!(record->flags & WUFIO_PLUGIN_UNUSABLE)) {
      std::u16string key = RegistryForm(record->classId);
      keep(cache.WriteGuid(nullptr, record->classId, record->name));
      cache.SetSection((library + u"." + key).c_str());
      keep(cache.WriteInt(u"Access", static_cast<int>(record->access)));
      keep(cache.WriteInt(u"Flags", static_cast<int>(record->classFlags)));
      keep(cache.WriteInt(u"StreamType", static_cast<int>(record->streamType)));
      cache.SetSection(key.c_str());
      keep(cache.ClearSection());
      keep(cache.WriteString(u"DialogName", record->dialogName));
      keep(cache.WriteInt(u"LangID", static_cast<int>(record->langId)));
      keep(cache.WriteInt(u"ModTime", static_cast<int>(record->modTime)));
      keep(cache.WriteString(u"PreloadModules", record->preloads));
      if ((record->access & WUFIO_ACCESS_READER) && !IsEqualGUID(record->reader.classId, GUID{})) {
        keep(cache.WriteGuid(u"Reader", record->reader.classId, nullptr));
        keep(cache.WriteString(u"ExtReader", record->reader.extensions));
      }
      if ((record->access & WUFIO_ACCESS_RENDERER) &&
          !IsEqualGUID(record->renderer.classId, GUID{})) {
        keep(cache.WriteGuid(u"Renderer", record->renderer.classId, nullptr));
        keep(cache.WriteString(u"ExtRenderer", record->renderer.extensions));
      }
    }
    record->flags &= ~WUFIO_PLUGIN_CHANGED;
  }
  return result;
}
