// Registry and component-registration helpers: counting and deleting keys,
// the machine-wide write test, registering in-process servers, self-
// registration of modules that declare it, GUID texts, the shared locale
// and the shell's setting that hides file-name extensions.
//
// No helper shows anything; failures are the codes listed with each.
#pragma once

#include "platform/registry/registry.h"
#include "platform/kernel/types.h"

// Characters of the GUID text form, without terminator:
// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", lower-case hexadecimal.
constexpr int WUGUID_TEXT_LENGTH = 36;

// The number of subkeys of parent\sub_key; 0 when the key cannot be opened
// for reading. *longest (may be NULL) gets the longest subkey name length
// + 1 (1 when the key cannot be opened).
DWORD WuRegGetSubKeyCount(HKEY parent, LPCWSTR sub_key, DWORD* longest);
// Deletes parent\sub_key and everything below it. TRUE when the key is gone
// or was not there.
BOOL WuRegDeleteKey(HKEY parent, LPCWSTR sub_key);
// TRUE when a probe key below HKEY_LOCAL_MACHINE "SOFTWARE" can be created
// (it is deleted again at once).
BOOL WuIsPowerUser();

// S_OK when the file's version resource has the string "OLESelfRegister"
// for its first translation; E_NOTIMPL when it has not (or memory runs
// out); E_FAIL when the file has no version resource.
HRESULT WuSelfRegister_IsSupported(LPCWSTR path);
// Loads the module and calls its "DllRegisterServer", or with `unregister`
// its "DllUnregisterServer", and returns that call's result. The check
// above's failure; E_FAIL when the module cannot be loaded; E_NOTIMPL when
// it lacks the entry point.
HRESULT WuSelfRegister_Register(LPCWSTR path, BOOL unregister);
// Writes (`register_server` TRUE) or removes the in-process server entries
// of a class under "Software\Classes\CLSID": the machine store first, the
// user's store when that fails. Registering returns 0 or the converted
// Win32 error; unregistering removes the class from both stores and
// returns 1.
HRESULT WuRegisterServer(HMODULE module, const CLSID& clsid, LPCWSTR description,
                         BOOL register_server);

// Writes the 36-character text form of a GUID (at most size-1 characters,
// always terminated; nothing for a size of 0 or less). Returns 0.
HRESULT WuGuidToString(const GUID& guid, LPWSTR buffer, int size);
// Parses exactly the 36-character text form (hexadecimal of either case,
// dashes in place, no braces, nothing after it). S_OK, or E_FAIL with *guid
// untouched.
HRESULT WuGuidFromString(LPCWSTR text, GUID* guid);

// Stores the shared locale as "Locale" (REG_DWORD). S_OK or E_FAIL.
HRESULT WuSetLocale(DWORD locale);
// Always 0.
DWORD WuGetLocale();
// FALSE only when the shell's "HideFileExt" exists, is a REG_DWORD and is
// 0; TRUE otherwise.
BOOL WuIsExplorerFileExtHidden();
