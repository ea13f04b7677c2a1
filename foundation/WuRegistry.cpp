#include "foundation/WuRegistry.h"

#include <cstring>
#include <cwchar>

#include "foundation/WuPath.h"
#include "foundation/WuString.h"
#include "platform/com/com.h"
#include "platform/kernel/cpu.h"
#include "platform/kernel/error.h"
#include "platform/kernel/exception.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/module.h"
#include "platform/kernel/version.h"
#include "platform/text/wprintf.h"

namespace {

// Key names are at most this many characters (terminator included).
constexpr int kMaxKeyName = 260;

constexpr WCHAR kClsidKey[] = u"Software\\Classes\\CLSID";
constexpr WCHAR kInProcServer[] = u"InProcServer32";
constexpr WCHAR kSharedInfoKey[] = u"Software\\Talvene\\Shared Information";
constexpr WCHAR kExplorerAdvanced[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

// The platform's conversion of a Win32 error into a status code.
HRESULT FromWin32(LONG error) {
  if (error == ERROR_SUCCESS) return S_OK;
  return static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(error) & 0xFFFF));
}

DWORD TextBytes(LPCWSTR text) {
  return static_cast<DWORD>((std::char_traits<char16_t>::length(text) + 1) * sizeof(WCHAR));
}

// Writes the server entries of one class below an open CLSID key.
LONG WriteServerKeys(HKEY clsid_key, LPCWSTR class_name, HMODULE module, LPCWSTR description) {
  HKEY class_key = nullptr;
  LONG error = RegCreateKeyExW(clsid_key, class_name, 0, nullptr, 0, KEY_WRITE, nullptr,
                               &class_key, nullptr);
  if (error != ERROR_SUCCESS) return error;
  if (description)
    error = RegSetValueExW(class_key, nullptr, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(description), TextBytes(description));
  else
    error = RegSetValueExW(class_key, nullptr, 0, REG_SZ, nullptr, 0);
  HKEY server_key = nullptr;
  if (error == ERROR_SUCCESS)
    error = RegCreateKeyExW(class_key, kInProcServer, 0, nullptr, 0, KEY_WRITE, nullptr,
                            &server_key, nullptr);
  if (error == ERROR_SUCCESS) {
    WCHAR path[MAX_PATH] = {};
    if (WuGetModuleFileName(module, path, MAX_PATH) == 0) error = ERROR_MOD_NOT_FOUND;
    if (error == ERROR_SUCCESS)
      error = RegSetValueExW(server_key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                             TextBytes(path));
    if (error == ERROR_SUCCESS)
      error = RegSetValueExW(server_key, u"ThreadingModel", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(u"Both"), TextBytes(u"Both"));
    RegCloseKey(server_key);
  }
  RegCloseKey(class_key);
  return error;
}

// Registers or removes one class in one store.
HRESULT RegisterServerIn(HKEY root, HMODULE module, const CLSID& clsid, LPCWSTR description,
                         BOOL register_server) {
  WCHAR class_name[40];
  StringFromGUID2(clsid, class_name, 40);
  HKEY clsid_key = nullptr;
  LONG error = RegCreateKeyExW(root, kClsidKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               &clsid_key, nullptr);
  if (error != ERROR_SUCCESS) return FromWin32(error);
  if (!register_server) {
    WuRegDeleteKey(clsid_key, class_name);
  } else {
    error = WriteServerKeys(clsid_key, class_name, module, description);
    if (error != ERROR_SUCCESS) WuRegDeleteKey(clsid_key, class_name);  // nothing half-written
  }
  RegCloseKey(clsid_key);
  return FromWin32(error);
}

// The value of one hexadecimal digit, or -1.
int HexDigit(WCHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hexadecimal digits at `text`; false when one is not.
bool ReadHex(const WCHAR* text, int digits, DWORD* value) {
  DWORD v = 0;
  for (int i = 0; i < digits; ++i) {
    int d = HexDigit(text[i]);
    if (d < 0) return false;
    v = (v << 4) | static_cast<DWORD>(d);
  }
  *value = v;
  return true;
}

}  // namespace

DWORD WuRegGetSubKeyCount(HKEY parent, LPCWSTR sub_key, DWORD* longest) {
  if (longest) *longest = 1;
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, sub_key, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD count = 0, max_name = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, &max_name, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    count = 0;
    max_name = 0;
  }
  RegCloseKey(key);
  if (longest) *longest = max_name + 1;
  return count;
}

BOOL WuRegDeleteKey(HKEY parent, LPCWSTR sub_key) {
  if (RegDeleteKeyW(parent, sub_key) == ERROR_SUCCESS) return TRUE;
  HKEY key = nullptr;
  // Subkeys are deleted through this handle, so it needs write rights; a
  // store that refuses them may still simply lack the key.
  LONG error = RegOpenKeyExW(parent, sub_key, 0, KEY_ALL_ACCESS, &key);
  if (error == ERROR_ACCESS_DENIED) {
    HKEY probe = nullptr;
    LONG read_error = RegOpenKeyExW(parent, sub_key, 0, KEY_READ, &probe);
    if (read_error == ERROR_SUCCESS) RegCloseKey(probe);
    return read_error == ERROR_FILE_NOT_FOUND ? TRUE : FALSE;
  }
  if (error == ERROR_FILE_NOT_FOUND) return TRUE;
  if (error != ERROR_SUCCESS) return FALSE;
  // Always the first subkey: each deletion moves the next one to index 0.
  for (;;) {
    WCHAR name[kMaxKeyName];
    DWORD size = kMaxKeyName;
    if (RegEnumKeyExW(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    if (!WuRegDeleteKey(key, name)) break;
  }
  RegCloseKey(key);
  return RegDeleteKeyW(parent, sub_key) == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL WuIsPowerUser() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  bool nine_x = GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
  WCHAR probe[MAX_PATH];
  platform::Format(probe, MAX_PATH, u"SOFTWARE\\Microsoft\\%s\\CurrentVersion\\~WuTestLoginPrivilege",
                    nine_x ? u"Windows" : u"Windows NT");
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, probe, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return FALSE;
  RegCloseKey(key);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, probe);
  return TRUE;
}

HRESULT WuSelfRegister_IsSupported(LPCWSTR path) {
  DWORD handle = 0;
  DWORD size = path ? GetFileVersionInfoSizeW(path, &handle) : 0;
  if (size == 0) return E_FAIL;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!memory) return E_NOTIMPL;
  void* block = GlobalLock(memory);
  HRESULT result = E_NOTIMPL;
  if (block && GetFileVersionInfoW(path, handle, size, block)) {
    WORD* translation = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block, u"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                       &length) &&
        length >= 4) {
      WCHAR query[64];
      platform::Format(query, 64, u"\\StringFileInfo\\%04hX%04hX\\OLESelfRegister",
                        translation[0], translation[1]);
      void* value = nullptr;
      UINT value_length = 0;
      if (VerQueryValueW(block, query, &value, &value_length)) result = S_OK;
    }
  } else if (block) {
    result = E_FAIL;  // the block went away between the two calls
  }
  if (block) GlobalUnlock(memory);
  GlobalFree(memory);
  return result;
}

HRESULT WuSelfRegister_Register(LPCWSTR path, BOOL unregister) {
  HRESULT supported = WuSelfRegister_IsSupported(path);
  if (FAILED(supported)) return supported;
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (reinterpret_cast<uintptr_t>(module) < 32) return E_FAIL;
  typedef HRESULT (*EntryPoint)();
  EntryPoint entry = reinterpret_cast<EntryPoint>(
      GetProcAddress(module, unregister ? "DllUnregisterServer" : "DllRegisterServer"));
  HRESULT result = entry ? entry() : E_NOTIMPL;
  FreeLibrary(module);
  return result;
}

HRESULT WuRegisterServer(HMODULE module, const CLSID& clsid, LPCWSTR description,
                         BOOL register_server) {
  if (!register_server) {
    RegisterServerIn(HKEY_LOCAL_MACHINE, module, clsid, description, FALSE);
    RegisterServerIn(HKEY_CURRENT_USER, module, clsid, description, FALSE);
    return 1;
  }
  HRESULT result = RegisterServerIn(HKEY_LOCAL_MACHINE, module, clsid, description, TRUE);
  if (result >= 0) return result;
  return RegisterServerIn(HKEY_CURRENT_USER, module, clsid, description, TRUE);
}

HRESULT WuGuidToString(const GUID& guid, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  WCHAR text[WUGUID_TEXT_LENGTH + 1];
  platform::Format(text, WUGUID_TEXT_LENGTH + 1,
                    u"%08x-%04x-%04x-%04x-%02x%02x%02x%02x%02x%02x", guid.Data1,
                    static_cast<unsigned>(guid.Data2), static_cast<unsigned>(guid.Data3),
                    static_cast<unsigned>(guid.Data4[0] << 8 | guid.Data4[1]),
                    static_cast<unsigned>(guid.Data4[2]), static_cast<unsigned>(guid.Data4[3]),
                    static_cast<unsigned>(guid.Data4[4]), static_cast<unsigned>(guid.Data4[5]),
                    static_cast<unsigned>(guid.Data4[6]), static_cast<unsigned>(guid.Data4[7]));
  WuStrCpyN(buffer, text, size);
  return 0;
}

HRESULT WuGuidFromString(LPCWSTR text, GUID* guid) {
  if (!text || !guid) return E_FAIL;
  // Field widths and where each starts; dashes sit between the first five.
  static const int kStart[11] = {0, 9, 14, 19, 21, 24, 26, 28, 30, 32, 34};
  static const int kDigits[11] = {8, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2};
  for (int i = 0; i < WUGUID_TEXT_LENGTH; ++i)
    if (text[i] == 0) return E_FAIL;
  if (text[WUGUID_TEXT_LENGTH] != 0) return E_FAIL;
  if (text[8] != u'-' || text[13] != u'-' || text[18] != u'-' || text[23] != u'-') return E_FAIL;
  DWORD fields[11];
  for (int i = 0; i < 11; ++i)
    if (!ReadHex(text + kStart[i], kDigits[i], &fields[i])) return E_FAIL;
  GUID parsed;
  parsed.Data1 = fields[0];
  parsed.Data2 = static_cast<WORD>(fields[1]);
  parsed.Data3 = static_cast<WORD>(fields[2]);
  for (int i = 0; i < 8; ++i) parsed.Data4[i] = static_cast<BYTE>(fields[3 + i]);
  *guid = parsed;
  return S_OK;
}

HRESULT WuSetLocale(DWORD locale) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSharedInfoKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return E_FAIL;
  LONG error = RegSetValueExW(key, u"Locale", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&locale),
                              sizeof(locale));
  RegCloseKey(key);
  return error == ERROR_SUCCESS ? S_OK : E_FAIL;
}

DWORD WuGetLocale() { return 0; }

BOOL WuIsExplorerFileExtHidden() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kExplorerAdvanced, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return TRUE;
  DWORD type = REG_NONE, value = 1, size = sizeof(value);
  LONG error = RegQueryValueExW(key, u"HideFileExt", nullptr, &type,
                                reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  bool shown = error == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) && value == 0;
  return shown ? FALSE : TRUE;
}
