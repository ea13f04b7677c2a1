#include "platform/kernel/module.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <unordered_map>
#include <vector>

#include "platform/kernel/cpu.h"
#include "platform/kernel/error.h"
#include "platform/kernel/exception.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"

namespace platform {

Module::Module(Kind kind, std::u16string name, std::u16string file_name, std::string linux_path)
    : kind_(kind),
      name_(std::move(name)),
      file_name_(std::move(file_name)),
      linux_path_(std::move(linux_path)) {}

Module::~Module() = default;

std::shared_ptr<ModuleExtension> Module::extension() {
  std::lock_guard<std::mutex> guard(extension_lock_);
  return extension_;
}

std::shared_ptr<ModuleExtension> Module::AttachExtension(
    std::shared_ptr<ModuleExtension> extension) {
  std::lock_guard<std::mutex> guard(extension_lock_);
  if (!extension_) extension_ = std::move(extension);
  return extension_;
}

namespace {

// Answers a built-in system module's export by name (null: not exported).
typedef SystemModuleExports ExportResolver;

// kernel32's "SetThreadPreferredUILanguages": only the reset (flag bit 0,
// no list) is supported; the thread's UI language itself is set with
// SetThreadUILanguage.
BOOL SetThreadPreferredUILanguagesStandIn(DWORD flags, const WCHAR* languages, ULONG* count) {
  if ((flags & 1) && !languages) return TRUE;
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

void* ResolveKernel32(const char* name) {
  std::string_view n(name);
  SystemModel model = CurrentSystemModel();
  if (n == "IsWow64Process" && model.has_is_wow64)
    return reinterpret_cast<void*>(&::IsWow64Process);
  if (n == "SetThreadPreferredUILanguages" && model.major >= 6)
    return reinterpret_cast<void*>(&SetThreadPreferredUILanguagesStandIn);
  if (n == "IsDebuggerPresent") return reinterpret_cast<void*>(&::IsDebuggerPresent);
  return nullptr;
}

// The exports of "hhctrl.ocx", registered by the area that holds the help
// viewers (null until then: the module exports nothing).
std::atomic<ExportResolver> g_help_control_exports{nullptr};

void* ResolveHelpControl(const char* name) {
  ExportResolver resolve = g_help_control_exports.load(std::memory_order_acquire);
  return resolve ? resolve(name) : nullptr;
}

// The built-in system modules.
struct SystemModuleDef {
  const char16_t* name;    // file name, e.g. u"kernel32.dll"
  ExportResolver resolve;  // its exports
};
const SystemModuleDef kSystemModules[] = {
    {u"kernel32.dll", &ResolveKernel32},
    {u"hhctrl.ocx", &ResolveHelpControl},
};
constexpr size_t kSystemModuleCount = sizeof(kSystemModules) / sizeof(kSystemModules[0]);

// Handle values: the program sits at the classic image base, system modules
// just below it, named resource modules from 0x1000000, everything loaded
// from 0x10000000 on, all in 64 KiB steps.
constexpr uintptr_t kMainHandle = 0x400000;
constexpr uintptr_t kFirstSystemHandle = 0x100000;
constexpr uintptr_t kFirstResourceHandle = 0x1000000;
constexpr uintptr_t kFirstLoadedHandle = 0x10000000;
constexpr uintptr_t kHandleStep = 0x10000;

// One row of the module table: the public object and how it was loaded.
struct Entry {
  std::shared_ptr<Module> module;                // the object behind the handle
  LONG refs = 1;                                 // LoadLibrary references (loaded kinds)
  void* dl = nullptr;                            // dlopen handle (kShared)
  ExportResolver resolve = nullptr;              // export answers (kSystem)
  std::unordered_map<std::string, void*> exports;  // export table (kExports)
};

struct ModuleTable {
  std::mutex lock;
  std::unordered_map<uintptr_t, Entry> entries;          // by handle value
  std::unordered_map<std::string, void*> main_exports;  // registered by a host
  uintptr_t next = kFirstLoadedHandle;                   // next loaded handle
  uintptr_t next_resource = kFirstResourceHandle;        // next named resource module
  bool main_ready = false;                               // main entry created
  bool system_ready = false;                             // system entries created
};

ModuleTable& Table() {
  static ModuleTable* table = new ModuleTable;  // lives to process exit
  return *table;
}

HMODULE ToHandle(uintptr_t value) { return reinterpret_cast<HMODULE>(value); }
uintptr_t FromHandle(HMODULE h) { return reinterpret_cast<uintptr_t>(h); }

std::string ReadExePath() {
  std::string path(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) return std::string();
  path.resize(static_cast<size_t>(n));
  return path;
}

// The last component of a path ('/' or '\' separated).
std::u16string_view BaseName(std::u16string_view path) {
  size_t cut = path.find_last_of(u"/\\");
  return cut == std::u16string_view::npos ? path : path.substr(cut + 1);
}

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool EqualFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

// `name` without one of the module extensions (".dll", the shared-object
// extension) at its end, case ignored; `name` itself when it has none.
std::u16string_view WithoutModuleExtension(std::u16string_view name) {
  for (std::u16string_view extension : {std::u16string_view(u".dll"),
                                        std::u16string_view(kSharedLibraryExtension)}) {
    if (name.size() > extension.size() &&
        EqualFolded(name.substr(name.size() - extension.size()), extension))
      return name.substr(0, name.size() - extension.size());
  }
  return name;
}

// A name asked for matches a module name when the base names agree, case
// ignored, with or without a module extension on one side ("codec" and
// "codec.so" match; "codec.dll" and "codec.so" do not).
bool NameMatches(std::u16string_view asked, std::u16string_view module_name) {
  std::u16string_view a = BaseName(asked);
  std::u16string_view m = BaseName(module_name);
  if (a.empty() || m.empty()) return false;
  return EqualFolded(a, m) || EqualFolded(WithoutModuleExtension(a), m) ||
         EqualFolded(a, WithoutModuleExtension(m));
}

bool HasFolder(std::u16string_view name) {
  return name.find_first_of(u"/\\") != std::u16string_view::npos;
}

// TRUE when two Linux paths name one file: the same text, or the same
// device and inode.
bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  if (a == b) return true;
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Creates the main and system entries on first use. Called with the lock held.
void EnsureFixedEntriesLocked(ModuleTable& t) {
  if (!t.main_ready) {
    std::string exe = ReadExePath();
    std::u16string file = exe.empty() ? std::u16string() : FromLinuxPath(exe);
    Entry e;
    e.module = std::make_shared<Module>(Module::Kind::kMain, std::u16string(BaseName(file)),
                                        file, exe);
    t.entries.emplace(kMainHandle, std::move(e));
    t.main_ready = true;
  }
  if (!t.system_ready) {
    for (size_t i = 0; i < kSystemModuleCount; ++i) {
      Entry e;
      std::u16string name = kSystemModules[i].name;
      e.module = std::make_shared<Module>(Module::Kind::kSystem, name, name, std::string());
      e.resolve = kSystemModules[i].resolve;
      t.entries.emplace(kFirstSystemHandle + i * kHandleStep, std::move(e));
    }
    t.system_ready = true;
  }
}

// The entry of a handle (NULL: the main program), or null. Lock held.
Entry* FindLocked(ModuleTable& t, HMODULE h) {
  EnsureFixedEntriesLocked(t);
  auto it = t.entries.find(h ? FromHandle(h) : kMainHandle);
  return it == t.entries.end() ? nullptr : &it->second;
}

// The handle of the named resource module that matches, made on first
// use, or 0. Lock held.
uintptr_t FindResourceModuleLocked(ModuleTable& t, std::u16string_view name) {
  std::u16string registered = FindCompiledResourceModule(name);
  if (registered.empty()) return 0;
  for (auto& [value, entry] : t.entries)
    if (entry.module->kind() == Module::Kind::kResources && entry.module->name() == registered)
      return value;
  if (t.next_resource >= kFirstLoadedHandle) return 0;  // no handle values left
  const Module& main = *t.entries.at(kMainHandle).module;
  Entry e;
  e.module = std::make_shared<Module>(Module::Kind::kResources, registered, main.file_name(),
                                      main.linux_path());
  uintptr_t value = t.next_resource;
  t.next_resource += kHandleStep;
  t.entries.emplace(value, std::move(e));
  return value;
}

// The handle of a module whose name matches, or 0: a bare name by the
// module's name, a name with a folder by the module's file. Lock held.
uintptr_t FindByNameLocked(ModuleTable& t, std::u16string_view name) {
  EnsureFixedEntriesLocked(t);
  // System modules first: they cannot be shadowed by a loaded file.
  for (size_t i = 0; i < kSystemModuleCount; ++i)
    if (NameMatches(name, kSystemModules[i].name)) return kFirstSystemHandle + i * kHandleStep;
  const bool by_file = HasFolder(name);
  const std::string path = by_file ? ToLinuxPath(name) : std::string();
  uintptr_t found = 0;
  for (auto& [value, entry] : t.entries) {
    const Module::Kind kind = entry.module->kind();
    if (kind == Module::Kind::kSystem || kind == Module::Kind::kResources) continue;
    bool match = by_file ? SameFile(path, entry.module->linux_path())
                         : NameMatches(name, entry.module->name());
    // The earliest handle of the matches, so the answer does not depend on
    // the table's order (the main program's file also backs export modules).
    if (match && (!found || value < found)) found = value;
  }
  return found ? found : FindResourceModuleLocked(t, name);
}

uintptr_t AddEntryLocked(ModuleTable& t, Entry entry) {
  uintptr_t value = t.next;
  t.next += kHandleStep;
  t.entries.emplace(value, std::move(entry));
  return value;
}

// The full path of a dlopen handle's file.
std::string DlPath(void* dl, const std::string& fallback) {
  struct link_map* map = nullptr;
  if (dlinfo(dl, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0])
    return map->l_name;
  return fallback;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Another reference to a data file loaded from `path`, or NULL. Lock held.
HMODULE FindDataFileLocked(ModuleTable& t, const std::string& path) {
  for (auto& [value, entry] : t.entries) {
    if (entry.module->kind() == Module::Kind::kDataFile && entry.module->linux_path() == path) {
      ++entry.refs;
      return ToHandle(value);
    }
  }
  return nullptr;
}

// Loads a file as a module without code; a resource file brings its
// resources along.
HMODULE LoadDataFile(const std::u16string& name, const std::string& path) {
  if (!IsRegularFile(path)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  ModuleTable& t = Table();
  {
    std::lock_guard<std::mutex> guard(t.lock);
    if (HMODULE loaded = FindDataFileLocked(t, path)) return loaded;
  }
  // Read outside the lock: the file may be large.
  std::shared_ptr<ModuleExtension> resources;
  if (IsResourceFile(path)) {
    DWORD error = 0;
    resources = LoadResourceFile(path, &error);
    if (!resources) {
      SetLastError(error);
      return nullptr;
    }
  }
  std::lock_guard<std::mutex> guard(t.lock);
  if (HMODULE loaded = FindDataFileLocked(t, path)) return loaded;
  Entry e;
  e.module = std::make_shared<Module>(Module::Kind::kDataFile, std::u16string(BaseName(name)),
                                      FromLinuxPath(path), path);
  if (resources) e.module->AttachExtension(resources);
  return ToHandle(AddEntryLocked(t, std::move(e)));
}

// TRUE when `path` names the program's own file.
bool IsMainProgramFile(const std::string& path) {
  std::shared_ptr<Module> main = LookupModule(nullptr);
  if (!main || main->linux_path().empty()) return false;
  struct stat a, b;
  return stat(path.c_str(), &a) == 0 && stat(main->linux_path().c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Another reference to an export module that a load by `name` (mapped to
// `path`) finds, or NULL: a bare name matches the module's name, a path the
// module's file. Lock held.
HMODULE FindExportModuleLocked(ModuleTable& t, std::u16string_view name, const std::string& path) {
  bool bare = !HasFolder(name);
  for (auto& [value, entry] : t.entries) {
    if (entry.module->kind() != Module::Kind::kExports) continue;
    bool match = bare ? NameMatches(name, entry.module->name())
                      : SameFile(path, entry.module->linux_path());
    if (match) {
      ++entry.refs;
      return ToHandle(value);
    }
  }
  return nullptr;
}

HMODULE LoadSharedObject(const std::u16string& name, const std::string& path) {
  void* dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    bool has_folder = path.find('/') != std::string::npos;
    SetLastError(has_folder && IsRegularFile(path) ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ModuleTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  // dlopen hands out one handle per object: a second load of the same file
  // is another reference to the same module. Each reference keeps its own
  // dlopen reference, which FreeLibrary gives back.
  for (auto& [value, entry] : t.entries) {
    if (entry.dl == dl) {
      ++entry.refs;
      return ToHandle(value);
    }
  }
  std::string full = DlPath(dl, path);
  Entry e;
  e.module = std::make_shared<Module>(Module::Kind::kShared, std::u16string(BaseName(name)),
                                      FromLinuxPath(full), full);
  e.dl = dl;
  return ToHandle(AddEntryLocked(t, std::move(e)));
}

}  // namespace

std::shared_ptr<Module> LookupModule(HMODULE module) {
  ModuleTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  Entry* e = FindLocked(t, module);
  return e ? e->module : nullptr;
}

void RegisterMainModuleExport(const char* name, void* function) {
  if (!name) return;
  ModuleTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  if (function)
    t.main_exports[name] = function;
  else
    t.main_exports.erase(name);
}

HMODULE CreateExportModule(LPCWSTR name, const ExportEntry* table, int count, LPCWSTR file_name) {
  if (count < 0 || (count > 0 && !table)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Entry e;
  for (int i = 0; i < count; ++i)
    if (table[i].name && table[i].function) e.exports[table[i].name] = table[i].function;
  std::u16string file;
  std::string linux_path;
  if (file_name) {
    file = file_name;
    linux_path = ToLinuxPath(file_name);
  } else {
    std::shared_ptr<Module> main = LookupModule(nullptr);
    file = main->file_name();
    linux_path = main->linux_path();
  }
  e.module = std::make_shared<Module>(Module::Kind::kExports, name ? name : u"", file, linux_path);
  ModuleTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  return ToHandle(AddEntryLocked(t, std::move(e)));
}

bool DynamicLoaderHolds(LPCWSTR file) {
  if (!file || !file[0]) return false;
  // RTLD_NOLOAD opens nothing: it answers an object already loaded, with a
  // reference that is given back at once.
  void* dl = dlopen(ToLinuxPath(file).c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!dl) return false;
  dlclose(dl);
  return true;
}

size_t LoadedModuleCount() {
  ModuleTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  size_t n = 0;
  for (auto& [value, entry] : t.entries)
    if (value >= kFirstLoadedHandle) ++n;
  return n;
}

void SetHelpControlExports(SystemModuleExports resolve) {
  g_help_control_exports.store(resolve, std::memory_order_release);
}

}  // namespace platform

HMODULE GetModuleHandleW(LPCWSTR name) {
  platform::ModuleTable& t = platform::Table();
  std::lock_guard<std::mutex> guard(t.lock);
  if (!name) {
    platform::EnsureFixedEntriesLocked(t);
    return platform::ToHandle(platform::kMainHandle);
  }
  uintptr_t value = platform::FindByNameLocked(t, name);
  if (!value) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return platform::ToHandle(value);
}

HMODULE LoadLibraryW(LPCWSTR name) { return LoadLibraryExW(name, nullptr, 0); }

HMODULE LoadLibraryExW(LPCWSTR name, HANDLE reserved, DWORD flags) {
  if (!name || !name[0]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  {
    // Built-in system modules are always loaded; a load only finds them.
    platform::ModuleTable& t = platform::Table();
    std::lock_guard<std::mutex> guard(t.lock);
    platform::EnsureFixedEntriesLocked(t);
    for (size_t i = 0; i < platform::kSystemModuleCount; ++i)
      if (platform::NameMatches(name, platform::kSystemModules[i].name))
        return platform::ToHandle(platform::kFirstSystemHandle + i * platform::kHandleStep);
    // So are named resource modules.
    if (uintptr_t value = platform::FindResourceModuleLocked(t, name))
      return platform::ToHandle(value);
  }
  std::u16string text(name);
  std::string path = platform::ToLinuxPath(name);
  // The program's own file is the program, already loaded.
  if (platform::IsMainProgramFile(path)) return GetModuleHandleW(nullptr);
  if (!(flags & LOAD_LIBRARY_AS_DATAFILE)) {
    // A module made from an export table is loaded already: by its name, or
    // by its file when it was given one. (Its file's resources are still
    // read as a data file.)
    platform::ModuleTable& t = platform::Table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (HMODULE loaded = platform::FindExportModuleLocked(t, text, path)) return loaded;
  }
  if ((flags & LOAD_LIBRARY_AS_DATAFILE) || platform::IsResourceFile(path))
    return platform::LoadDataFile(text, path);
  return platform::LoadSharedObject(text, path);
}

BOOL FreeLibrary(HMODULE module) {
  void* dl_to_close = nullptr;
  {
    platform::ModuleTable& t = platform::Table();
    std::lock_guard<std::mutex> guard(t.lock);
    platform::Entry* e = module ? platform::FindLocked(t, module) : nullptr;
    if (!e) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    platform::Module::Kind kind = e->module->kind();
    if (kind == platform::Module::Kind::kMain || kind == platform::Module::Kind::kSystem ||
        kind == platform::Module::Kind::kResources)
      return TRUE;  // never unloaded
    dl_to_close = e->dl;
    if (--e->refs == 0) t.entries.erase(platform::FromHandle(module));
  }
  // Outside the lock: closing may run the object's destructors, which may
  // call back into this table.
  if (dl_to_close) dlclose(dl_to_close);
  return TRUE;
}

namespace platform {
namespace {

// The bare name of a decorated one, "_Name@N" (N decimal digits) -> "Name";
// empty for any other name.
std::string UndecoratedName(const char* name) {
  std::string s(name);
  size_t at = s.rfind('@');
  if (s.size() < 4 || s[0] != '_' || at == std::string::npos || at < 2 || at + 1 == s.size())
    return {};
  for (size_t i = at + 1; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return {};
  }
  return s.substr(1, at - 1);
}

// The symbol `name` of the module entry `e` (the table's lock held).
void* ResolveLocked(ModuleTable& t, Entry* e, const char* name) {
  switch (e->module->kind()) {
    case Module::Kind::kMain: {
      auto it = t.main_exports.find(name);
      return it != t.main_exports.end() ? it->second : dlsym(RTLD_DEFAULT, name);
    }
    case Module::Kind::kSystem:
      return e->resolve(name);
    case Module::Kind::kShared:
      return dlsym(e->dl, name);
    case Module::Kind::kExports: {
      auto it = e->exports.find(name);
      return it != e->exports.end() ? it->second : nullptr;
    }
    case Module::Kind::kDataFile:
    case Module::Kind::kResources:
      break;
  }
  return nullptr;
}

}  // namespace
}  // namespace platform

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<uintptr_t>(name) < 0x10000) {  // null or an ordinal
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* found = nullptr;
  {
    platform::ModuleTable& t = platform::Table();
    std::lock_guard<std::mutex> guard(t.lock);
    platform::Entry* e = platform::FindLocked(t, module);
    if (!e) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    found = platform::ResolveLocked(t, e, name);
    // ELF symbol names carry no stdcall decoration: a decorated name that
    // is absent as it stands is looked up by its bare name.
    if (!found) {
      std::string bare = platform::UndecoratedName(name);
      if (!bare.empty()) found = platform::ResolveLocked(t, e, bare.c_str());
    }
  }
  if (!found) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(found);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  std::shared_ptr<platform::Module> m = platform::LookupModule(module);
  if (!m) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (!buffer && size > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string& file = m->file_name();
  if (file.size() < size) {
    file.copy(buffer, file.size());
    buffer[file.size()] = 0;
    return static_cast<DWORD>(file.size());
  }
  // Does not fit: as much as fits, terminated, and the size as the result.
  if (size > 0) {
    file.copy(buffer, size - 1);
    buffer[size - 1] = 0;
  }
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}
