// Modules as the library sees them: the main program, built-in system
// modules, shared objects loaded at run time and export tables that a host
// program hands out as modules.
//
// Every HMODULE stands for a platform::Module object in one process-wide
// table. A handle that is not in the table (never given out, or freed) is
// refused instead of reaching a wrong object; handles are never reused.
//
//  - The main program: GetModuleHandleW(NULL). Its exports are what a host
//    registered with platform::RegisterMainModuleExport, then the program's
//    own dynamic symbols (dlsym over the global scope).
//  - Built-in system modules, found by name ("kernel32", with or without
//    ".dll", any case). "kernel32" exports "IsWow64Process" only when the
//    system model (platform/kernel/cpu.h) says the system has it, and
//    "SetThreadPreferredUILanguages" from version 6.0 on (it accepts only a
//    reset: flags with bit 0 set and no list, answering TRUE), and always
//    "IsDebuggerPresent" (platform/kernel/exception.h). The help
//    control "hhctrl.ocx" exports "HtmlHelpW" (platform/shell/help.h).
//  - Named resource modules: resources compiled into the program for a
//    module name (platform/kernel/resource.h); GetModuleHandleW and LoadLibraryW
//    find them by that name. They are never unloaded and report the
//    program's file name.
//  - Shared objects: LoadLibraryW dlopens the path (platform::ToLinuxPath;
//    a bare name is searched for as dlopen searches) and counts references;
//    FreeLibrary closes the object when the last reference goes. Loading
//    the program's own file gives the main program's handle.
//
// Finding a loaded module by name (GetModuleHandleW, and LoadLibraryW for
// export modules): a bare name matches a module's base name, case ignored,
// with or without the extension ".dll" or platform::kSharedLibraryExtension
// on either side ("codec" finds "codec.dll" and "codec.so"). A name with a
// folder matches a module loaded from that very file (the same path, or the
// same file reached by another path), so same-named modules of two folders
// stay apart; modules without a file of their own (built-in system and
// named resource modules) still match by base name.
//  - Resource files (platform/kernel/resource.h): LoadLibraryW and LoadLibraryExW
//    load a file that starts with the resource file magic as a module
//    without code whose resources are the file's; a damaged resource file
//    fails with ERROR_BAD_FORMAT. With LOAD_LIBRARY_AS_DATAFILE any other
//    file loads as a module without code and without resources.
//  - Export modules: platform::CreateExportModule turns a table of named
//    functions into a module, for hosts that hand out their kernel that way
//    and for in-process stand-ins of libraries this system lacks (tests
//    register one under a library's name). LoadLibraryW finds such a module
//    while it exists and adds a reference: a bare name by the module's
//    name, a path by the module's file.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/kernel/types.h"

// A function found by GetProcAddress; cast it to its real type to call it
// (the generic function-pointer type, so such casts draw no warning).
typedef void (*FARPROC)();

// LoadLibraryExW flags.
constexpr DWORD LOAD_LIBRARY_AS_DATAFILE = 0x00000002;      // map for resources only
constexpr DWORD LOAD_WITH_ALTERED_SEARCH_PATH = 0x00000008;  // accepted; the path is used as given

namespace platform {

// The file extension of shared objects on this system; a bare module name
// matches it as it matches ".dll".
inline constexpr char16_t kSharedLibraryExtension[] = u".so";

// Data that a later layer attaches to a module (for example its resource
// directory). Derive from it; the module owns it.
class ModuleExtension {
 public:
  virtual ~ModuleExtension() = default;
};

// The object behind an HMODULE.
class Module {
 public:
  enum class Kind {
    kMain,      // the program itself
    kSystem,    // a built-in system module ("kernel32")
    kShared,    // a shared object opened with dlopen
    kExports,   // a table of named functions (CreateExportModule)
    kDataFile,  // a resource file, or a file loaded with LOAD_LIBRARY_AS_DATAFILE: no code
    kResources, // resources compiled in for a module name: no code
  };

  Module(Kind kind, std::u16string name, std::u16string file_name, std::string linux_path);
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  virtual ~Module();

  Kind kind() const { return kind_; }
  // The name the module was loaded or registered by, e.g. u"kernel32.dll".
  const std::u16string& name() const { return name_; }
  // Full file name as GetModuleFileNameW reports it ('/' separators).
  const std::u16string& file_name() const { return file_name_; }
  // The Linux path of the module's file (UTF-8), empty when it has none.
  const std::string& linux_path() const { return linux_path_; }

  // The extension a later layer attached, or null.
  std::shared_ptr<ModuleExtension> extension();
  // Attaches an extension unless one is there already; returns the one the
  // module keeps (so that two threads attaching at once agree).
  std::shared_ptr<ModuleExtension> AttachExtension(std::shared_ptr<ModuleExtension> extension);

 private:
  Kind kind_;                                 // what the handle stands for
  std::u16string name_;                       // name as loaded or registered
  std::u16string file_name_;                  // GetModuleFileNameW's answer
  std::string linux_path_;                    // file on disk (UTF-8), may be empty
  std::mutex extension_lock_;                 // guards extension_
  std::shared_ptr<ModuleExtension> extension_;  // attached by a later layer
};

// The module object of a handle (NULL: the main program), or null when the
// handle is not a loaded module.
std::shared_ptr<Module> LookupModule(HMODULE module);

// Makes `function` the main program's export `name` (null: removes it).
// GetProcAddress(GetModuleHandleW(NULL), name) then finds it before the
// program's own dynamic symbols.
void RegisterMainModuleExport(const char* name, void* function);

// One row of an export table.
struct ExportEntry {
  const char* name;  // exported name
  void* function;    // its address
};

// A new module whose exports are the rows of `table` (copied). `name` is
// what GetModuleHandleW finds it by; `file_name` what GetModuleFileNameW
// reports (null: the main program's file). One reference, released with
// FreeLibrary. NULL (ERROR_INVALID_PARAMETER) for a negative count or a
// null table with rows.
HMODULE CreateExportModule(LPCWSTR name, const ExportEntry* table, int count,
                           LPCWSTR file_name = nullptr);

// Number of modules loaded with LoadLibrary or made by CreateExportModule
// and not yet freed (for leak checks in tests).
size_t LoadedModuleCount();

// Whether the system's dynamic loader still holds the shared object `file`
// (a path, as LoadLibraryW takes it) in the process: after the last
// FreeLibrary of a module that nothing else uses it no longer does. For
// tests that check a module really went away.
bool DynamicLoaderHolds(LPCWSTR file);

// Answers an export of a built-in system module by name (null: not exported).
typedef void* (*SystemModuleExports)(const char* name);

// Registers the exports of the built-in help control module "hhctrl.ocx".
// The help viewers live in the shell area above this one, which registers
// them when the program starts (platform/shell/shell_hooks.cpp); until then
// the module loads but exports nothing.
void SetHelpControlExports(SystemModuleExports resolve);

}  // namespace platform

// The main program (NULL name) or a loaded or built-in module by name; no
// reference is added. NULL with ERROR_MOD_NOT_FOUND when none matches.
HMODULE GetModuleHandleW(LPCWSTR name);

// Loads a module and adds a reference. Built-in system modules are found by
// name and never unloaded. NULL with ERROR_MOD_NOT_FOUND when the file is
// missing, ERROR_BAD_EXE_FORMAT when it exists but cannot be loaded.
HMODULE LoadLibraryW(LPCWSTR name);
HMODULE LoadLibraryExW(LPCWSTR name, HANDLE reserved, DWORD flags);

// Drops a reference; FALSE (ERROR_INVALID_HANDLE) for a handle that is not a
// loaded module.
BOOL FreeLibrary(HMODULE module);

// An exported function by name (NULL module: the main program). Ordinals
// are not supported. A stdcall-decorated name "_Name@N" that is not
// exported as it stands is looked up as "Name" (ELF names carry no
// decoration). NULL with ERROR_MOD_NOT_FOUND for a bad module and
// ERROR_PROC_NOT_FOUND for a missing name.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);

// Full file name of a module (NULL: the main program) into a buffer of
// `size` characters. Returns the length without terminator; when it does
// not fit, size-1 characters and a terminator are written, the last error
// is ERROR_INSUFFICIENT_BUFFER and the result is `size`. 0 with
// ERROR_MOD_NOT_FOUND for a bad module.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
