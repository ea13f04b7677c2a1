// Resources of modules: typed, named, per-language blocks of bytes.
//
// Every module may carry a resource directory, keyed by type, name and
// language:
//   - the main program and named resource modules: the resources compiled
//     into the program by the resource compiler (tools/wurc, through
//     wu_add_resources in cmake/Resources.cmake), registered before main()
//     with RegisterCompiledResources;
//   - resource files: a file in the resource file format below, loaded with
//     LoadLibraryW or LoadLibraryExW (for example the ".LNG" language
//     resource module beside a program);
//   - any module: resources added at run time with AddModuleResources.
//
// Types and names are ids (1..65535, passed as MAKEINTRESOURCEW(id)) or
// names, compared without regard to ASCII case; a name "#123" stands for
// the id 123. Enumerations give names first (in order), then ids in
// ascending order; languages in ascending order.
//
// Language choice:
//   FindResourceW, and FindResourceExW with language 0, try in turn the
//   thread's UI language, the neutral language (0), the user's default UI
//   language, 1033, and then take the first language present.
//   FindResourceExW with a language tries that language and then the
//   neutral sublanguage of its primary language (MAKELANGID(primary, 0)).
//
// String resources live in RT_STRING blocks of 16 entries: block id / 16 + 1
// holds ids 16*(block-1) .. 16*block-1, each entry a 16-bit count and that
// many UTF-16 units. The resource compiler stores a 0 unit after each text
// and counts it; a last counted unit 0 is a terminator, not part of the
// text.
//
// The bytes of a resource stay where they are while their module is loaded;
// those of a resource file stay valid until the process ends (texts read in
// place from a language module may be kept beyond its unloading).
//
// RESOURCE FILE FORMAT (version 1; every number little-endian)
//   header, 16 bytes
//     0  4  magic "WURM"
//     4  2  version, 1
//     6  2  header size, 16
//     8  4  number of entries n
//    12  4  size of the whole file in bytes
//   entry table, n entries of 20 bytes, from offset 16
//     0  4  type: an id (1..0xFFFF), or 0x80000000 | offset of a name
//     4  4  name: the same
//     8  2  language (LANGID)
//    10  2  0
//    12  4  offset of the data, a multiple of 4
//    16  4  size of the data in bytes
//   names: at an even offset, a 16-bit count (1..255) and that many UTF-16
//   units (no terminator, no 0 unit)
//   data: the bytes of each resource
// A file that breaks a rule (a bad magic, version or header size, a size
// field that differs from the file's size, an offset or size outside the
// file, a bad name or id, two entries with the same type, name and
// language) is refused as a whole: loading it fails with ERROR_BAD_FORMAT.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/kernel/module.h"
#include "platform/kernel/types.h"

// ---- Ids, names and types ----------------------------------------------------------
// An id as a resource name or type (only its low 16 bits count).
#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
// TRUE when a name or type is an id rather than a text.
#define IS_INTRESOURCE(p) ((reinterpret_cast<ULONG_PTR>(p) >> 16) == 0)

#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_FONTDIR MAKEINTRESOURCEW(7)
#define RT_FONT MAKEINTRESOURCEW(8)
#define RT_ACCELERATOR MAKEINTRESOURCEW(9)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_MESSAGETABLE MAKEINTRESOURCEW(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)
#define RT_VERSION MAKEINTRESOURCEW(16)
#define RT_HTML MAKEINTRESOURCEW(23)
#define RT_MANIFEST MAKEINTRESOURCEW(24)

// Error of an enumeration whose callback returned FALSE.
constexpr DWORD ERROR_RESOURCE_ENUM_USER_STOP = 15106;

// ---- Finding and loading ------------------------------------------------------------
// A resource of a module (NULL: the main program) in the language order
// above. NULL with ERROR_RESOURCE_DATA_NOT_FOUND (the module has no
// resources), ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND,
// or ERROR_MOD_NOT_FOUND for a handle that is not a module.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
// The same in a given language (see above); also
// ERROR_RESOURCE_LANG_NOT_FOUND. Note the order of type and name.
HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language);
// The resource's bytes as a handle for LockResource; NULL
// (ERROR_INVALID_HANDLE) when `resource` is not one of the module's.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The bytes of a loaded resource (the handle itself); NULL for NULL.
LPVOID LockResource(HGLOBAL data);
// Resources need no freeing; returns FALSE.
BOOL FreeResource(HGLOBAL data);
// Size in bytes; 0 (ERROR_INVALID_HANDLE) when `resource` is not one of
// the module's.
DWORD SizeofResource(HMODULE module, HRSRC resource);

// Copies string resource `id` into `buffer` of `size` characters (at most
// size-1, terminated) and returns the characters copied; 0 when the string
// is missing or empty. With size 0, *(const WCHAR**)buffer receives the
// text in place (not terminated) and the result is its length.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);

// ---- Enumeration -------------------------------------------------------------------------
// Callbacks return FALSE to stop; the enumeration then returns FALSE with
// ERROR_RESOURCE_ENUM_USER_STOP. Names and types given to a callback are ids
// or texts valid during the call. An enumeration that finds nothing returns
// FALSE with the error of FindResourceW.
typedef BOOL (*ENUMRESTYPEPROCW)(HMODULE module, LPWSTR type, LONG_PTR param);
typedef BOOL (*ENUMRESNAMEPROCW)(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param);
typedef BOOL (*ENUMRESLANGPROCW)(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language,
                                 LONG_PTR param);
BOOL EnumResourceTypesW(HMODULE module, ENUMRESTYPEPROCW callback, LONG_PTR param);
BOOL EnumResourceNamesW(HMODULE module, LPCWSTR type, ENUMRESNAMEPROCW callback, LONG_PTR param);
BOOL EnumResourceLanguagesW(HMODULE module, LPCWSTR type, LPCWSTR name,
                            ENUMRESLANGPROCW callback, LONG_PTR param);

namespace platform {

// ---- Compiled-in resources -------------------------------------------------------------
// One resource compiled into the program (rows written by the resource
// compiler). The data stays where it is; nothing is copied.
struct CompiledResource {
  WORD type_id;                // type id, or 0 when the type is named
  const char16_t* type_name;   // type name (capitals) when type_id is 0
  WORD name_id;                // resource id, or 0 when it is named
  const char16_t* name_name;   // resource name (capitals) when name_id is 0
  LANGID language;             // the resource's language
  const void* data;            // its bytes
  DWORD size;                  // their number
};

// Registers a table of compiled resources for the main program (module_name
// NULL) or for the named resource module `module_name`. Only records the
// table; modules take it up on their first resource lookup, so it may run
// in a static initialiser before anything else exists. The table must stay
// valid for the life of the process.
void RegisterCompiledResources(const char16_t* module_name, const CompiledResource* table,
                               int count);

// The name under which compiled resources were registered that matches
// `name` (ignoring ASCII case, with or without ".dll"), or empty. The
// module table makes such names modules of their own.
std::u16string FindCompiledResourceModule(std::u16string_view name);

// ---- Resources added at run time ---------------------------------------------------------
// One resource to add; its bytes are copied.
struct ResourceItem {
  LPCWSTR type;     // MAKEINTRESOURCEW(id) or a name
  LPCWSTR name;     // MAKEINTRESOURCEW(id) or a name
  LANGID language;  // its language
  const void* data; // its bytes
  DWORD size;       // their number
};
// Adds resources to a loaded module (NULL: the main program). A resource of
// the same type, name and language is replaced (bytes handed out before
// stay valid). FALSE with ERROR_INVALID_PARAMETER for a bad item (nothing is
// added then) or ERROR_MOD_NOT_FOUND for a bad module.
BOOL AddModuleResources(HMODULE module, const ResourceItem* items, int count);

// ---- Resource files ------------------------------------------------------------------------------
// TRUE when the file starts with the resource file magic.
bool IsResourceFile(const std::string& linux_path);
// Reads and checks a resource file and returns the resource directory that
// a module attaches, or null with *error set (ERROR_BAD_FORMAT for a file
// that breaks the format, or the error of reading it).
std::shared_ptr<ModuleExtension> LoadResourceFile(const std::string& linux_path, DWORD* error);

// ---- String blocks --------------------------------------------------------------------------------
// Entry `index` (0..15) of an RT_STRING block of `size` bytes. On success
// *text points at its first unit and *count holds its counted units (the
// stored terminator, when there is one, included). FALSE when the block
// ends before the entry.
bool StringBlockEntry(const void* block, DWORD size, UINT index, const WCHAR** text,
                      DWORD* count);

}  // namespace platform
