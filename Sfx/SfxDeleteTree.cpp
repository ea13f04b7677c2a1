// Removing folder trees and files by pattern. Neither function follows a
// symbolic link: a link is deleted itself, and its target (which may be
// anywhere, e.g. a user's folder) is left alone. Read-only attributes are
// cleared only on real files and folders, never through a link.
#include "Sfx/SfxRun.h"

#include "foundation/WuString.h"
#include "platform/kernel/files.h"

namespace {

constexpr int kPathUnits = 1024;  // room for a path below the folder

bool IsDots(const WCHAR* name) {
  return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}

// folder + "/" + name into out; false when it does not fit.
bool JoinPath(LPCWSTR folder, LPCWSTR name, LPWSTR out, int size) {
  int len = WuStrLenSafe(folder);
  int nameLen = WuStrLenSafe(name);
  if (len + 1 + nameLen >= size) return false;
  WuStrCpyN(out, folder, size);
  if (len > 0 && out[len - 1] != u'/' && out[len - 1] != u'\\') out[len++] = u'/';
  WuStrCpyN(out + len, name, size - len);
  return true;
}

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// Removes a link, whichever kind of object it names.
bool RemoveLink(LPCWSTR path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryW(path) != FALSE;
  return DeleteFileW(path) != FALSE;
}

bool DeleteOneFile(LPCWSTR path, DWORD attributes) {
  if (IsLink(attributes)) return RemoveLink(path, attributes);
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path, 0);
  return DeleteFileW(path) != FALSE;
}

}  // namespace

BOOL Sfx_WuDeleteDirectoryTree(LPCWSTR folder, BOOL removeSelf) {
  if (!folder || !folder[0]) return FALSE;
  DWORD self = GetFileAttributesW(folder);
  if (self == INVALID_FILE_ATTRIBUTES) return FALSE;
  if (IsLink(self)) return removeSelf ? RemoveLink(folder, self) : TRUE;

  WCHAR pattern[kPathUnits];
  if (!JoinPath(folder, u"*", pattern, kPathUnits)) return FALSE;
  BOOL ok = TRUE;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern, &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (IsDots(data.cFileName)) continue;
      WCHAR path[kPathUnits];
      if (!JoinPath(folder, data.cFileName, path, kPathUnits)) {
        ok = FALSE;
        continue;
      }
      DWORD attributes = data.dwFileAttributes;
      if (IsLink(attributes)) {
        if (!RemoveLink(path, attributes)) ok = FALSE;
      } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!Sfx_WuDeleteDirectoryTree(path, TRUE)) ok = FALSE;
      } else if (!DeleteOneFile(path, attributes)) {
        ok = FALSE;
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  if (removeSelf) {
    if (self & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(folder, 0);
    if (!RemoveDirectoryW(folder)) ok = FALSE;
  }
  return ok;
}

BOOL Sfx_WuDeleteFiles(LPCWSTR folder, LPCWSTR pattern, BOOL recurse) {
  if (!folder || !pattern || !pattern[0]) return FALSE;
  BOOL ok = TRUE;
  WCHAR search[kPathUnits];
  if (!JoinPath(folder, pattern, search, kPathUnits)) return FALSE;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(search, &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      WCHAR path[kPathUnits];
      if (!JoinPath(folder, data.cFileName, path, kPathUnits) ||
          !DeleteOneFile(path, data.dwFileAttributes))
        ok = FALSE;
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  if (!recurse) return ok;
  if (!JoinPath(folder, u"*", search, kPathUnits)) return FALSE;
  find = FindFirstFileW(search, &data);
  if (find == INVALID_HANDLE_VALUE) return ok;
  do {
    DWORD attributes = data.dwFileAttributes;
    if (IsDots(data.cFileName) || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || IsLink(attributes))
      continue;
    WCHAR sub[kPathUnits];
    if (!JoinPath(folder, data.cFileName, sub, kPathUnits) ||
        !Sfx_WuDeleteFiles(sub, pattern, TRUE))
      ok = FALSE;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return ok;
}
