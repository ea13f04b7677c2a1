// The settings store: small per-user settings ("metrics") of an application,
// kept in the registry under HKEY_CURRENT_USER.
//
// A store is opened for an application name and version (and optionally a
// sub-key) and addresses its settings by number and kind. Key paths:
//   with a version (above 0xFFFFFF)  "Software\<company>\<app>\<major>.<minor>\Metrics"
//                                    major = version >> 24,
//                                    minor = (version >> 16) & 0xFF
//   without                          "Software\<company>\<app>\Metrics"
// followed by "\<sub-key>" when one is given; the company is "Talvene" for
// the short forms. Value names use the number's absolute value, so n and -n
// are the same setting:
//   32-bit value  REG_DWORD     "<n>"
//   text          REG_SZ        "S<n>"
//   binary        REG_BINARY    "B<n>"
//   multi-text    REG_MULTI_SZ  "Z<n>"
// A store whose key could not be created still opens: its reads give their
// defaults and its writes E_FAIL. Handles are not locked; one handle is used
// by one thread at a time.
#pragma once

#include "platform/registry/registry.h"
#include "platform/kernel/types.h"

class IStream;  // platform/com/com.h

// An open settings store.
struct WUMETRIC {
  BYTE reserved[520];        // zero
  HKEY second_key;           // a further key closed with the store; NULL when unused
  WCHAR key_path[MAX_PATH];  // the key's path under HKEY_CURRENT_USER
  HKEY key;                  // the open key; NULL when it could not be created
};
typedef WUMETRIC* HWUMETRIC;

// The handle value that selects the process's default store. While no
// default store is set it behaves as a missing store.
#define WU_DEFAULT_METRIC (reinterpret_cast<HWUMETRIC>(static_cast<intptr_t>(-1)))

// Sets the process's default store (NULL: none) and returns the previous
// one. The caller keeps ownership; closing the default store clears it.
HWUMETRIC WuMetric_SetDefault(HWUMETRIC store);

// ---- Opening and closing ---------------------------------------------------------
// Opens (creating when needed) the store at `key_path` under
// HKEY_CURRENT_USER, with "\" + sub_key appended when sub_key is given and
// not empty (the whole path bounded to 259 characters). S_OK with a handle,
// also when the key cannot be created; E_OUTOFMEMORY; E_INVALIDARG for a
// null out or key path.
HRESULT WuMetric_OpenAppVersion(HWUMETRIC* out, LPCWSTR key_path, LPCWSTR sub_key);
// Builds the key path of `application`, `version` and `company` and opens it.
HRESULT WuMetric_OpenRegHiveAndVersion(HWUMETRIC* out, LPCWSTR application, DWORD version,
                                       LPCWSTR company, LPCWSTR sub_key);
// The same for the company "Talvene".
HRESULT WuMetric_Open(HWUMETRIC* out, LPCWSTR application, DWORD version, LPCWSTR sub_key);
// A store at the parent's path cut after its first "\Metrics", plus "\" and
// `sub_key`. E_FAIL without a parent.
HRESULT WuMetric_OpenSubKey(HWUMETRIC* out, HWUMETRIC parent, LPCWSTR sub_key);
// Closes both keys and frees the store. 0, also for NULL.
HRESULT WuMetric_Close(HWUMETRIC store);
// Closes the store, then deletes its key and everything below it. E_FAIL
// for NULL.
HRESULT WuMetric_CloseAndDeleteKey(HWUMETRIC store);
// Delete the store's key (with the sub-key when given) under both
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER; missing keys are no error.
// Return 0.
HRESULT WuMetric_DeleteKeyHiveAndVersion(LPCWSTR application, DWORD version, LPCWSTR company,
                                         LPCWSTR sub_key);
HRESULT WuMetric_DeleteKey(LPCWSTR application, DWORD version, LPCWSTR sub_key);
// Delete "Software\<company>\<app>\<major>.<minor>" (with a version) or
// "Software\<company>\<app>" under both hives. Return 0.
HRESULT WuMetric_DeleteAllHiveAndVersion(LPCWSTR application, DWORD version, LPCWSTR company);
HRESULT WuMetric_DeleteAll(LPCWSTR application, DWORD version);

// ---- 32-bit values --------------------------------------------------------------------
// The value; 0 when missing or not REG_DWORD.
LONG WuGetMetric(HWUMETRIC store, int number);
// The value, or `default_value` when missing, clamped to [minimum, maximum]
// unless minimum equals maximum.
LONG WuGetMetricEx(HWUMETRIC store, int number, LONG minimum, LONG maximum, LONG default_value);
// TRUE for a non-zero value; the default (as TRUE/FALSE) when missing.
BOOL WuGetMetricBool(HWUMETRIC store, int number, BOOL default_value);
// S_OK or E_FAIL.
HRESULT WuSetMetric(HWUMETRIC store, int number, LONG value);
// The same under a value name of the caller's choice; missing gives the
// default.
LONG WuGetMetricUsingName(HWUMETRIC store, LPCWSTR name, LONG default_value);
HRESULT WuSetMetricUsingName(HWUMETRIC store, LPCWSTR name, LONG value);

// ---- Texts and multi-texts -------------------------------------------------------------
// Reads a text into `buffer` (`size` characters, cut to fit). A missing or
// empty value copies `default_text` (bounded) instead, unless
// `keep_empty` is set and an empty value exists. The rest of the buffer is
// zero-filled. Returns the length of the text placed in the buffer.
int WuGetMetricStringEx(HWUMETRIC store, int number, LPWSTR buffer, int size, LPCWSTR default_text,
                        BOOL keep_empty);
// Stores the text with its terminator. S_OK or E_FAIL (also for the default
// store).
HRESULT WuSetMetricString(HWUMETRIC store, int number, LPCWSTR text);
// The multi-text forms: texts each ended by a terminator, then one more.
// The getter copies the stored characters (cut to fit, always ending in two
// terminators when cut) and zero-fills the rest; it returns the characters
// copied, or the default's length. The setter stores `length` characters
// as given (terminators included) and does not accept the default store.
int WuGetMetricMultiStringEx(HWUMETRIC store, int number, LPWSTR buffer, int size,
                             LPCWSTR default_text, BOOL keep_empty);
HRESULT WuSetMetricMultiString(HWUMETRIC store, int number, LPCWSTR texts, int length);

// ---- Binary blocks ------------------------------------------------------------------------
// Bytes read (0 when missing, of another type or larger than the buffer);
// the rest of the buffer is zero-filled.
int WuGetMetricBinary(HWUMETRIC store, int number, void* buffer, int size);
// S_OK with *bytes read; S_FALSE when missing; 0x8004E03C when the buffer
// is too small (*bytes = the size needed); 0x8004E00A without a store;
// E_INVALIDARG without `bytes`.
HRESULT WuGetMetricBinaryEx(HWUMETRIC store, int number, void* buffer, DWORD size, DWORD* bytes);
// S_OK or E_FAIL (also for the default store).
HRESULT WuSetMetricBinary(HWUMETRIC store, int number, const void* data, DWORD size);

// ---- Any kind -------------------------------------------------------------------------------
// Reads the setting of kind *type (REG_DWORD, REG_SZ, REG_BINARY or
// REG_MULTI_SZ, under that kind's value name) into `buffer` (`size` bytes)
// and sets *bytes. E_UNEXPECTED without a store or key (or without `type`
// or `bytes`); 0x8004E03C with the size needed when the buffer is too
// small; 0x8004E00A when the value is missing or of another kind; S_OK.
// A text is terminated inside the buffer: when it fills the buffer without
// a terminator, its last character becomes one, *bytes grows by 2 and the
// result is 0x8004E03C.
HRESULT WuGetMetricAny(HWUMETRIC store, int number, DWORD* type, void* buffer, DWORD size,
                       DWORD* bytes);
// S_OK when a value of that kind exists; S_FALSE otherwise (also without a
// store).
HRESULT WuDoesMetricExist(HWUMETRIC store, int number, DWORD type);
// Deletes the setting of that kind: S_OK, E_FAIL, or S_FALSE without a
// store.
HRESULT WuDeleteMetric(HWUMETRIC store, int number, DWORD type);
// Deletes the value of that name whatever it holds (`type` is accepted for
// symmetry with WuDeleteMetric): S_OK, E_FAIL, or S_FALSE without a store.
HRESULT WuDeleteMetricUsingName(HWUMETRIC store, LPCWSTR name, DWORD type);
// The value name of a number for a registry type as profile files name
// them: 1 "S<n>", 3 "B<n>", 4 "D<n>", any other "Z<n>". `out` holds at
// least 16 characters. Returns the characters written.
int WuMetricGetName(int number, DWORD type, LPWSTR out);

// A preferences record copied as a whole.
class CXMLPrefs {
 public:
  BYTE data[540];  // the record's bytes
};
static_assert(sizeof(CXMLPrefs) == 540);

// ---- Settings as streams ------------------------------------------------------------------
// The most bytes WuSetMetricStream stores.
constexpr DWORD WUMETRIC_MAX_STREAM = 2048;

// Writes a binary setting into the stream at its seek pointer and moves the
// pointer back to where the setting starts, so that the caller can read it
// at once. E_POINTER without a stream; E_UNEXPECTED when the setting is
// missing or empty or the stream takes fewer bytes; E_OUTOFMEMORY; the
// stream's error.
HRESULT WuGetMetricStream(HWUMETRIC store, int number, IStream* stream);
// Stores the whole stream (from its start, whatever its seek pointer) as a
// binary setting; the seek pointer ends after the bytes read. E_POINTER
// without a stream; E_INVALIDARG for a stream longer than 2,048 bytes;
// E_UNEXPECTED for an empty stream or a short read; E_FAIL when the
// setting cannot be written; the stream's error.
HRESULT WuSetMetricStream(HWUMETRIC store, int number, IStream* stream);
