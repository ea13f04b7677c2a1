// The registry: a hierarchical store of keys and typed values.
//
// Two stores exist, each one file:
//   HKEY_LOCAL_MACHINE  platform::MachineStateDir() + "/registry.txt"
//   HKEY_CURRENT_USER   platform::UserStateDir() + "/registry.txt"
// HKEY_CLASSES_ROOT is the key "SOFTWARE\Classes" of the machine store.
// A store always holds its base keys ("SOFTWARE" and "SOFTWARE\Classes" in
// the machine store, "Software" and "Software\Classes" in the user store);
// they cannot be deleted.
//
// Key names are compared without regard to case and keep the case they were
// created with; '\' separates the names of a path. Subkeys enumerate in
// name order (ignoring case), values in the order they were first set.
//
// Access rights are checked per handle: writing through a handle opened
// for reading fails with ERROR_ACCESS_DENIED. A store whose folder or file
// this process cannot write refuses every request for write rights with
// ERROR_ACCESS_DENIED; by default the machine store lives in a folder only
// root may write, so only root may change machine-wide settings.
//
// Store file format (UTF-8 text, '\n' line ends):
//   talvene-registry 1
//   next <serial>                        next unused key serial
//   key <serial> <filetime> :<path>      one line per key, parents first;
//                                        the root key has the empty path
//   value <type> :<name> x<hex>          a value of the key above it;
//                                        the default value has an empty name
// Numbers are decimal. Names are UTF-8; a space, '%', ':', '\' inside a
// name, a control character, DEL or an unpaired surrogate is written as
// "%" and four hex digits of its UTF-16 unit. Data are the value's bytes in
// lower-case hex ("x" alone for no data).
//
// A store file is rewritten whole: to a temporary file in the same folder,
// flushed to disk and renamed over the old one, while holding an exclusive
// lock (flock) on "registry.lock" next to it. Each change reads the file
// again under that lock before applying itself, so two processes changing
// one store never lose each other's changes. Reads need no lock; they read
// the file again whenever its identity, size or times changed.
//
// A store file that cannot be parsed is never repaired or replaced: every
// operation on that store fails with ERROR_BADDB until the file is fixed or
// removed.
#pragma once

#include "platform/kernel/types.h"

typedef DWORD REGSAM;  // access rights asked for a key
typedef HKEY* PHKEY;

// ---- Predefined keys ----------------------------------------------------------
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002u)

// ---- Access rights ----------------------------------------------------------------
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;  // accepted and ignored
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;  // accepted and ignored
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_EXECUTE = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// ---- Value types ----------------------------------------------------------------
constexpr DWORD REG_NONE = 0;             // no type; bytes as given
constexpr DWORD REG_SZ = 1;               // UTF-16 text with its terminator
constexpr DWORD REG_EXPAND_SZ = 2;        // text with %variables%
constexpr DWORD REG_BINARY = 3;           // bytes
constexpr DWORD REG_DWORD = 4;            // 32-bit little-endian number
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5; // 32-bit big-endian number
constexpr DWORD REG_LINK = 6;             // symbolic link text (stored only)
constexpr DWORD REG_MULTI_SZ = 7;         // texts, each terminated, then one more terminator
constexpr DWORD REG_QWORD = 11;           // 64-bit little-endian number

// ---- Creation options and dispositions ----------------------------------------------
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_OPTION_VOLATILE = 1;  // accepted; such keys are kept like the others
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// ---- Functions ------------------------------------------------------------------
// All return a Win32 error number (ERROR_SUCCESS on success); handles that
// are not open give ERROR_INVALID_HANDLE, keys deleted since they were
// opened ERROR_KEY_DELETED, an unreadable store ERROR_BADDB.

// Opens an existing key below `key` (an empty or NULL name: the key itself).
// *result is NULL on failure.
LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM access, PHKEY result);
// Opens or creates a key and every missing key on its path. `disposition`
// (may be NULL) tells REG_CREATED_NEW_KEY from REG_OPENED_EXISTING_KEY.
// Creating needs KEY_CREATE_SUB_KEY on `key`.
LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class,
                     DWORD options, REGSAM access, void* security, PHKEY result,
                     LPDWORD disposition);
// The short forms: as many rights as the store grants.
LONG RegOpenKeyW(HKEY key, LPCWSTR sub_key, PHKEY result);
LONG RegCreateKeyW(HKEY key, LPCWSTR sub_key, PHKEY result);
// Closes a handle. Predefined keys need no closing (ERROR_SUCCESS).
LONG RegCloseKey(HKEY key);

// Reads a value (NULL or empty name: the default value). With `data` NULL
// only the type and size are reported. A buffer too small gives
// ERROR_MORE_DATA with *data_size set to the size needed; a missing value
// ERROR_FILE_NOT_FOUND. Stored bytes are returned as stored: a text value
// written without its terminator is read without one.
LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD data_size);
// Writes a value of any type; `size` bytes of `data` are kept as given.
LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegDeleteValueW(HKEY key, LPCWSTR name);
// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some).
LONG RegDeleteKeyW(HKEY key, LPCWSTR sub_key);

// Subkey `index` in name order. *name_size: characters of `name` on entry,
// characters written (without terminator) on return. Keys have no class:
// `key_class` receives an empty text. ERROR_NO_MORE_ITEMS past the end.
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_size, LPDWORD reserved,
                   LPWSTR key_class, LPDWORD class_size, FILETIME* last_write);
// Value `index` in creation order, with name, type and data as
// RegQueryValueExW gives them. ERROR_NO_MORE_ITEMS past the end.
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_size, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD data_size);
// Counts and maximum lengths of a key: names in characters without the
// terminator, data in bytes. Every out-parameter may be NULL.
LONG RegQueryInfoKeyW(HKEY key, LPWSTR key_class, LPDWORD class_size, LPDWORD reserved,
                      LPDWORD sub_keys, LPDWORD max_sub_key_len, LPDWORD max_class_len,
                      LPDWORD values, LPDWORD max_value_name_len, LPDWORD max_value_len,
                      LPDWORD security_descriptor_size, FILETIME* last_write);
// Every change is on disk when its call returns; this only checks the handle.
LONG RegFlushKey(HKEY key);

namespace platform {

// Forgets every store read into memory, so that the next call reads the
// files again (open handles stay valid). For tests and tools.
void RegistryForgetCache();

}  // namespace platform
