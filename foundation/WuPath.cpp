#include "foundation/WuPath.h"

#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "platform/kernel/files.h"
#include "platform/kernel/module.h"

namespace {

bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

// The start of the last name of a path, or NULL when the path is empty or
// ends in a separator. A ':' ends only a drive ("X:" at the start); in a
// name it is a character.
LPWSTR LastName(LPWSTR path) {
  LPWSTR name = WuGetFileNamePtrW(path);
  return *name ? name : nullptr;
}

}  // namespace

DWORD WuGetLongPathName(LPCWSTR shortPath, LPWSTR longPath, DWORD size) {
  if (!shortPath) {
    if (longPath && size > 0) longPath[0] = 0;
    return 0;
  }
  DWORD n = GetLongPathNameW(shortPath, longPath, size);
  if ((n == 0 || n >= size) && longPath && longPath != shortPath && size > 0)
    WuStrCpyN(longPath, shortPath, static_cast<int>(size));
  return n;
}

DWORD WuGetFullPathName(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* filePart) {
  if (filePart) *filePart = nullptr;
  LPWSTR part = nullptr;
  DWORD n = GetFullPathNameW(name, size, buffer, &part);
  if (n == 0 || n >= size) return n;
  DWORD m = GetLongPathNameW(buffer, buffer, size);
  if (m > 0) n = m;  // the long form, or the size it needs
  if (filePart && n < size) *filePart = LastName(buffer);
  return n;
}

DWORD WuGetTempPath(DWORD size, LPWSTR buffer) {
  DWORD n = GetTempPathW(size, buffer);
  if (n == 0 || n >= size) return n;
  DWORD m = WuGetLongPathName(buffer, buffer, size);
  return m > 0 ? m : n;
}

DWORD WuGetModuleFileName(HMODULE module, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  WCHAR name[MAX_PATH];
  DWORD n = GetModuleFileNameW(module, name, MAX_PATH);
  if (n == 0) {
    buffer[0] = 0;
    return 0;
  }
  DWORD m = GetLongPathNameW(name, buffer, size);
  if (m > 0 && m < size) return m;
  // The name as the system gave it, cut to fit.
  WuStrCpyN(buffer, name, static_cast<int>(size));
  if (m >= size) return m;
  return n < size ? n : n + 1;
}

DWORD WuGetModulePath(HMODULE module, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  WCHAR name[MAX_PATH];
  DWORD n = WuGetModuleFileName(module, name, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 0;
  DWORD folder = 0;
  for (DWORD i = 0; i < n; ++i)
    if (IsSeparator(name[i])) folder = i + 1;
  if (folder == 0 || folder >= size) return 0;
  WuStrCpyN(buffer, name, static_cast<int>(folder + 1));
  return folder;
}
