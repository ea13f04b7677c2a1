// Removing folder trees and files by pattern. Neither function follows a
// symbolic link: a link is deleted itself, and its target (which may be
// anywhere, e.g. a user's folder) is left alone. Read-only attributes are
// cleared only on real files and folders, never through a link, and a
// folder's before anything in it is deleted: here a read-only folder (no
// write bit) keeps its entries from going.
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

// Clears the read-only attribute of a real folder before entries in it are
// deleted; true when it was set (RestoreReadOnly puts it back on a folder
// that stays).
bool OpenFolder(LPCWSTR folder, DWORD attributes) {
  if (IsLink(attributes) || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !(attributes & FILE_ATTRIBUTE_READONLY))
    return false;
  return SetFileAttributesW(folder, 0) != FALSE;
}

void RestoreReadOnly(LPCWSTR folder, bool wasReadOnly) {
  if (wasReadOnly) SetFileAttributesW(folder, FILE_ATTRIBUTE_READONLY);
}

}  // namespace

BOOL Sfx_WuDeleteDirectoryTree(LPCWSTR folder, BOOL removeSelf) {
  if (!folder || !folder[0]) return FALSE;
  DWORD self = GetFileAttributesW(folder);
  if (self == INVALID_FILE_ATTRIBUTES) return FALSE;
  if (IsLink(self)) return removeSelf ? RemoveLink(folder, self) : TRUE;

  WCHAR pattern[kPathUnits];
  if (!JoinPath(folder, u"*", pattern, kPathUnits)) return FALSE;
  bool wasReadOnly = OpenFolder(folder, self);
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
        // Clears the sub-folder's read-only attribute before entering it.
        if (!Sfx_WuDeleteDirectoryTree(path, TRUE)) ok = FALSE;
      } else if (!DeleteOneFile(path, attributes)) {
        ok = FALSE;
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  if (removeSelf) {
    if (!RemoveDirectoryW(folder)) ok = FALSE;
  } else {
    RestoreReadOnly(folder, wasReadOnly);
  }
  return ok;
}

BOOL Sfx_WuDeleteFiles(LPCWSTR folder, LPCWSTR pattern, BOOL recurse) {
  if (!folder || !pattern || !pattern[0]) return FALSE;
  BOOL ok = TRUE;
  WCHAR search[kPathUnits];
  if (!JoinPath(folder, pattern, search, kPathUnits)) return FALSE;
  // The folder stays as it was, read-only or not.
  bool wasReadOnly = OpenFolder(folder, GetFileAttributesW(folder));
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
  RestoreReadOnly(folder, wasReadOnly);
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
