// The application registered for a file type, and whether a program is one
// of the library's own applications.
#include <algorithm>

#include "foundation/WuAbout.h"
#include "foundation/WuString.h"
#include "platform/registry/registry.h"
#include "shellui/WuProjLinkLaunch.h"

namespace {

constexpr int kTypeNameChars = 260;  // a file type's name: at most 520 bytes
constexpr int kCommandChars = 520;   // an open command

HRESULT FromRegistry(LONG error) {
  return static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(error) & 0xFFFF));
}

// The default value of `subKey` under HKEY_CLASSES_ROOT as a text of at
// most `size` - 1 characters (terminated even when the stored value is not).
LONG ReadDefaultText(LPCWSTR subKey, WCHAR* out, int size) {
  out[0] = 0;
  HKEY key = nullptr;
  LONG error = RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey, 0, KEY_READ, &key);
  if (error != ERROR_SUCCESS) return error;
  DWORD type = 0;
  DWORD bytes = static_cast<DWORD>((size - 1) * sizeof(WCHAR));
  error = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes);
  RegCloseKey(key);
  if (error != ERROR_SUCCESS) {
    out[0] = 0;
    return error;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    out[0] = 0;
    return ERROR_BAD_FORMAT;
  }
  out[bytes / sizeof(WCHAR)] = 0;
  return ERROR_SUCCESS;
}

}  // namespace

HRESULT ProjLink_QueryOpenCommand(LPCWSTR ext, LPWSTR out, int size) {
  if (!ext || !out || size < 1) return E_INVALIDARG;
  out[0] = 0;
  // No extension names no type (an empty key name would be the root).
  if (!ext[0]) return FromRegistry(ERROR_FILE_NOT_FOUND);
  WCHAR typeName[kTypeNameChars];
  LONG error = ReadDefaultText(ext, typeName, kTypeNameChars);
  if (error != ERROR_SUCCESS) return FromRegistry(error);
  if (!typeName[0]) return FromRegistry(ERROR_FILE_NOT_FOUND);
  // "<type>\shell\open\command"
  constexpr WCHAR kSuffix[] = u"\\shell\\open\\command";
  constexpr int kSubKeyChars = kTypeNameChars + sizeof(kSuffix) / sizeof(WCHAR);
  WCHAR subKey[kSubKeyChars];
  WuStrCpyN(subKey, typeName, kSubKeyChars);
  WuStrCatN(subKey, kSuffix, kSubKeyChars);
  WCHAR command[kCommandChars];
  error = ReadDefaultText(subKey, command, kCommandChars);
  if (error != ERROR_SUCCESS) return FromRegistry(error);
  WuStrCpyN(out, command, size);
  return S_OK;
}

HRESULT WuLaunch_GetAppPathForExt(LPCWSTR ext, LPWSTR out, int size) {
  if (!ext || !out || size < 1) return E_INVALIDARG;
  out[0] = 0;
  WCHAR command[kCommandChars];
  HRESULT hr = ProjLink_QueryOpenCommand(ext, command, kCommandChars);
  if (FAILED(hr)) return hr;
  // The first token: inside the leading quotation marks (to the end of the
  // command when the closing one is missing), else up to the first blank.
  const WCHAR* start = command;
  WCHAR stop = u' ';
  if (*start == u'"') {
    ++start;
    stop = u'"';
  }
  const WCHAR* end = start;
  while (*end && *end != stop) ++end;
  WuStrCpyN(out, start, std::min(size, static_cast<int>(end - start) + 1));
  return S_OK;
}

BOOL WuIsKnownOrvoApp(LPCWSTR program) {
  if (!program) return FALSE;
  static const WCHAR* const kKeys[] = {u"WuCharSet", u"WuLangName", u"WuLangID"};
  for (const WCHAR* key : kKeys) {
    WCHAR value[260];
    value[0] = 0;
    if (FAILED(WuVersion_GetString(program, key, value, 260)) || !value[0]) return FALSE;
  }
  return TRUE;
}
