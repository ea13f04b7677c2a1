#include "foundation/WuFolders.h"


#include <cstring>

#include "foundation/WuErrorHandler.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuNumber.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/folder_identity.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/links.h"
#include "platform/kernel/locale.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "platform/user/windows.h"

namespace {

// The shared-information key under HKEY_LOCAL_MACHINE and its values.
constexpr WCHAR kSharedInfoKey[] = u"Software\\Talvene\\Shared Information";
constexpr WCHAR kSharedComponentsValue[] = u"SharedComponentsFolder";

// One special shared folder: its value and its default folder name.
struct SpecialFolderEntry {
  const WCHAR* value;         // value name in the shared-information key
  const WCHAR* default_name;  // sub-folder of the shared components folder
};
constexpr SpecialFolderEntry kSpecialFolders[] = {
    {u"PellacordThemesFolder", u"Pellacord Themes"},
    {u"AudioTransitionsFolder", u"Audio Transitions"},
};

// The maker's folder inside hidden shell folders.
constexpr WCHAR kMakerFolder[] = u"Orvo";

// The highest number tried for a fresh name.
constexpr DWORD kMaxNameNumber = 65536;

bool IsDots(const WCHAR* name) {
  return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}

// Appends `text` to the terminated text in `out` (`size` characters);
// false (nothing appended) when it does not fit whole.
bool Append(LPWSTR out, int size, LPCWSTR text) {
  int length = lstrlenW(out);
  int add = lstrlenW(text);
  if (length + add + 1 > size) return false;
  std::memcpy(out + length, text, static_cast<size_t>(add) * sizeof(WCHAR));
  out[length + add] = 0;
  return true;
}

// Appends a separator unless the text is empty or ends in one.
bool AppendSeparator(LPWSTR out, int size) {
  int length = lstrlenW(out);
  if (length == 0 || WuIsPathSeparator(out[length - 1])) return true;
  const WCHAR separator[] = {platform::kPathSeparator, 0};
  return Append(out, size, separator);
}

bool AppendNumber(LPWSTR out, int size, DWORD value) {
  WCHAR text[12];
  WuDWordToText(value, text, FALSE);
  return Append(out, size, text);
}

// folder + separator + name into `out` (MAX_PATH characters); false when
// it does not fit.
bool JoinPath(LPWSTR out, LPCWSTR folder, LPCWSTR name) {
  out[0] = 0;
  return Append(out, MAX_PATH, folder) && AppendSeparator(out, MAX_PATH) &&
         Append(out, MAX_PATH, name);
}

// Removes a file or a link found by a search: read-only files get the
// attribute cleared first (never through a link, whose target is not ours).
bool DeleteFound(LPCWSTR path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path) != FALSE
                                                   : DeleteFileW(path) != FALSE;
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path) != FALSE;
}

// A real folder (not a link to one) found by a search.
bool IsRealFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Here a read-only folder keeps its entries from being deleted (it has no
// write bit): a folder's attribute (`attributes`) is cleared before entries
// in it are deleted. True when it was read-only; KeepReadOnly puts it back
// on a folder that stays. Never through a link.
bool OpenReadOnlyFolder(LPCWSTR folder, DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES || !IsRealFolder(attributes) ||
      !(attributes & FILE_ATTRIBUTE_READONLY))
    return false;
  return SetFileAttributesW(folder, FILE_ATTRIBUTE_NORMAL) != FALSE;
}

void KeepReadOnly(LPCWSTR folder, bool was_read_only) {
  if (was_read_only) SetFileAttributesW(folder, FILE_ATTRIBUTE_READONLY);
}

bool DeleteContents(LPCWSTR folder);

// Deletes one entry found in a folder, sub-trees included.
bool DeleteEntry(LPCWSTR path, DWORD attributes) {
  if (!IsRealFolder(attributes)) return DeleteFound(path, attributes);
  OpenReadOnlyFolder(path, attributes);  // before it is entered
  bool ok = DeleteContents(path);
  return RemoveDirectoryW(path) && ok;
}

bool DeleteContents(LPCWSTR folder) {
  WCHAR pattern[MAX_PATH];
  if (!JoinPath(pattern, folder, u"*.*")) return false;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool ok = true;
  do {
    if (IsDots(found.cFileName)) continue;
    WCHAR path[MAX_PATH];
    if (!JoinPath(path, folder, found.cFileName) || !DeleteEntry(path, found.dwFileAttributes))
      ok = false;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return ok;
}

HRESULT AddFolderSize(LPCWSTR folder, ULONGLONG* total) {
  WCHAR pattern[MAX_PATH];
  if (!JoinPath(pattern, folder, u"*.*")) return E_FAIL;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return S_OK;
  HRESULT hr = S_OK;
  do {
    if (IsDots(found.cFileName)) continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;  // a link: no bytes
      WCHAR path[MAX_PATH];
      hr = JoinPath(path, folder, found.cFileName) ? AddFolderSize(path, total) : E_FAIL;
      if (FAILED(hr)) break;
      continue;
    }
    *total += static_cast<ULONGLONG>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return hr;
}

bool StartsWithTwoSeparators(LPCWSTR path) {
  return path && WuIsPathSeparator(path[0]) && WuIsPathSeparator(path[1]);
}

// Bytes free to the caller (or in total) on the volume of a path's folder.
bool VolumeBytes(LPCWSTR path, bool free_space, ULONGLONG* bytes) {
  if (!path || !*path) return false;
  WCHAR folder[MAX_PATH];
  if (!WuGetRootPathFromFilePath(path, folder, MAX_PATH)) return false;
  WuGetPathNameFromFilePath(path, folder, MAX_PATH);  // the path's folder when it fits
  ULARGE_INTEGER available, total;
  if (!GetDiskFreeSpaceExW(folder, &available, &total, nullptr)) return false;
  *bytes = free_space ? available.QuadPart : total.QuadPart;
  return true;
}

DWORD SpaceInUnits(LPCWSTR path, DWORD unit, bool free_space) {
  ULONGLONG bytes = 0;
  if (!VolumeBytes(path, free_space, &bytes)) return StartsWithTwoSeparators(path) ? 0xFFFFFFFF : 0;
  double units = static_cast<double>(bytes) / (unit ? unit : 1);
  return units > 4294967295.0 ? 0xFFFFFFFF : static_cast<DWORD>(units);
}

HRESULT SpecialFolder(LPWSTR out, int size, int csidl, LPCWSTR name, bool versioned, int major,
                      int minor) {
  if (!out || !name || size < MAX_PATH) return E_INVALIDARG;
  out[0] = 0;
  WCHAR shell[MAX_PATH];
  HRESULT hr =
      SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, shell);
  if (FAILED(hr)) return hr;
  WCHAR version[32] = u"";
  if (versioned) WuPrintFN(version, 32, u"%d.%d", major, minor);
  bool fits = Append(out, size, shell) && AppendSeparator(out, size);
  if (fits && WuIsHiddenFolderByDefault(csidl))
    fits = Append(out, size, kMakerFolder) && AppendSeparator(out, size);
  fits = fits && Append(out, size, name) && AppendSeparator(out, size);
  if (fits && versioned) fits = Append(out, size, version) && AppendSeparator(out, size);
  if (!fits || !WuCreateDirectory(out, nullptr)) {
    out[0] = 0;
    return E_FAIL;
  }
  return S_OK;
}

// Reads a folder value of the shared-information key into `out`.
HRESULT ReadSharedValue(LPCWSTR value, LPWSTR out, int size) {
  if (!out || size <= 0) return E_INVALIDARG;
  out[0] = 0;
  HKEY key = nullptr;
  LONG error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedInfoKey, 0, KEY_QUERY_VALUE, &key);
  if (error != ERROR_SUCCESS) return WuErrorHandler_TranslateWin32Error(error);
  WCHAR data[MAX_PATH + 1] = {};
  DWORD type = 0;
  DWORD bytes = MAX_PATH * sizeof(WCHAR);
  error = RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
  RegCloseKey(key);
  if (error == ERROR_MORE_DATA) return WU_E_BUFFER_TOO_SMALL;
  if (error != ERROR_SUCCESS) return WuErrorHandler_TranslateWin32Error(error);
  data[bytes / sizeof(WCHAR)] = 0;  // a value stored without its terminator
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || !data[0]) return WU_E_NOT_FOUND;
  if (lstrlenW(data) + 1 > size) return WU_E_BUFFER_TOO_SMALL;
  lstrcpynW(out, data, size);
  return S_OK;
}

// Compares two full paths as the file system does (case counts), every
// separator equal to every other; `prefix_only` asks whether `a` begins
// with `b`.
bool SamePathText(LPCWSTR a, LPCWSTR b, bool prefix_only) {
  for (; *b; ++a, ++b) {
    if (!*a) return false;
    if (WuIsPathSeparator(*a) && WuIsPathSeparator(*b)) continue;
    if (*a != *b) return false;
  }
  return prefix_only || !*a;
}

// The absolute form of a folder path, without a trailing separator unless
// it is a root. False when it does not fit MAX_PATH.
bool FullFolderPath(LPCWSTR path, LPWSTR out) {
  DWORD length = GetFullPathNameW(path, MAX_PATH, out, nullptr);
  if (length == 0 || length >= static_cast<DWORD>(MAX_PATH)) return false;
  WCHAR root_text[MAX_PATH];
  int root = WuGetRootPathFromFilePath(out, root_text, MAX_PATH);
  int n = static_cast<int>(length);
  while (n > root && n > 1 && WuIsPathSeparator(out[n - 1])) out[--n] = 0;
  return true;
}

// True when `inner` lies inside `outer`: outer + separator begins
// inner + separator.
bool IsInsideFolder(LPCWSTR inner, LPCWSTR outer) {
  WCHAR a[MAX_PATH + 1];
  WCHAR b[MAX_PATH + 1];
  lstrcpynW(a, inner, MAX_PATH);
  lstrcpynW(b, outer, MAX_PATH);
  AppendSeparator(a, MAX_PATH + 1);
  AppendSeparator(b, MAX_PATH + 1);
  return SamePathText(a, b, true);
}

// True when two folders lie on different volumes: different roots, or
// volumes the file layer tells apart.
bool OnDifferentVolumes(LPCWSTR a, LPCWSTR b) {
  WCHAR root_a[MAX_PATH];
  WCHAR root_b[MAX_PATH];
  WuGetRootPathFromFilePath(a, root_a, MAX_PATH);
  WuGetRootPathFromFilePath(b, root_b, MAX_PATH);
  if (!SamePathText(root_a, root_b, false) && lstrcmpiW(root_a, root_b) != 0) return true;
  DWORD serial_a = 0;
  DWORD serial_b = 0;
  if (GetVolumeInformationW(a, nullptr, 0, &serial_a, nullptr, nullptr, nullptr, 0) &&
      GetVolumeInformationW(b, nullptr, 0, &serial_b, nullptr, nullptr, nullptr, 0))
    return serial_a != serial_b;
  return false;
}

// One file of a tree walk in the given mode. Returns S_OK, an error to
// record, or an error that ends the walk (set in *stop).
HRESULT HandleFile(LPCWSTR source, LPCWSTR destination, const WIN32_FIND_DATAW& found, int mode,
                   DWORD* count, ULONGLONG* copied, ULONGLONG total, WuFolderProgressProc callback,
                   void* argument, bool* stop) {
  bool folder_link = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (mode == WU_TREE_CHECK) {
    if (folder_link) return S_OK;  // moves as a link
    HANDLE file = CreateFileW(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      *stop = true;
      return WU_E_FILES_IN_USE;
    }
    CloseHandle(file);
    return S_OK;
  }
  if (mode == WU_TREE_MOVE) {
    if (!MoveFileExW(source, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
      return WU_E_WRITE;
    if (count) ++*count;
    return S_OK;
  }
  // A copy cannot make a link anew, and following a link to a folder would
  // copy what lies outside the tree.
  if (folder_link) return WU_E_WRITE;
  HRESULT result = S_OK;
  if (CopyFileW(source, destination, FALSE)) {
    if (count) ++*count;
  } else {
    result = WU_E_WRITE;
  }
  if (!callback) return result;
  ULONGLONG done = (copied ? *copied : 0) +
                   (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32 | found.nFileSizeLow);
  if (copied) *copied = done;
  double percent = total ? static_cast<double>(done) * 100.0 / static_cast<double>(total) : 100.0;
  if (percent > 100.0) percent = 100.0;
  HRESULT answer = callback(argument, percent, source);
  if (answer == WU_E_CANCELLED) {
    *stop = true;
    return answer;
  }
  return FAILED(result) ? result : (FAILED(answer) ? answer : S_OK);
}

// Cuts a folder path back to its parent, which keeps its trailing
// separator; false when no more than the root is left.
bool CutToParent(LPWSTR path) {
  WCHAR root_text[MAX_PATH];
  int root = WuGetRootPathFromFilePath(path, root_text, MAX_PATH);
  int n = lstrlenW(path);
  while (n > root && WuIsPathSeparator(path[n - 1])) --n;
  if (n <= root) return false;
  while (n > root && !WuIsPathSeparator(path[n - 1])) --n;
  path[n] = 0;
  return true;
}

// Moves an old folder that is itself a link: the link takes the new name
// (whose folder is created) and still names the same folder, and what it
// points at stays where it is. The new name must be free; a link is not
// made anew on another volume. On failure the folders made for the new
// name go again.
HRESULT MoveFolderLink(LPCWSTR to, LPCWSTR from, DWORD* moved) {
  WCHAR parent[MAX_PATH];
  if (WuGetPathNameFromFilePath(to, parent, MAX_PATH) == 0) return WU_E_CREATE_FILE;
  int missing = 0;
  WCHAR up[MAX_PATH];
  lstrcpynW(up, parent, MAX_PATH);
  while (!WuIsDirectory(up) && CutToParent(up)) ++missing;
  if (!WuCreateDirectory(parent, nullptr)) return WU_E_CREATE_FILE;
  if (platform::MoveSymbolicLink(from, to)) {
    if (moved) *moved = 1;
    return S_OK;
  }
  HRESULT hr = GetLastError() == ERROR_NOT_SAME_DEVICE ? WU_E_WRITE : WU_E_CREATE_FILE;
  for (int i = 0; i < missing; ++i)
    if (!RemoveDirectoryW(parent) || !CutToParent(parent)) break;
  return hr;
}

// Width in pixels of `count` characters in the DC's font (0 on failure).
int TextWidth(HDC dc, LPCWSTR text, int count) {
  SIZE extent = {0, 0};
  if (count <= 0 || !GetTextExtentPoint32W(dc, text, count, &extent)) return 0;
  return extent.cx;
}

// Appends `count` characters of `text` to `out` (`size` characters) at
// *length, bounded; keeps `out` terminated.
void AppendCount(LPWSTR out, int size, int* length, LPCWSTR text, int count) {
  for (int i = 0; i < count && *length + 1 < size; ++i) out[(*length)++] = text[i];
  out[*length] = 0;
}

// The copy of a path that WuCalcPathEllipsis shortens.
constexpr int kEllipsisCopy = 1300;

}  // namespace

// ---- Creating and deleting ---------------------------------------------------------

BOOL WuCreateDirectory(LPCWSTR path, void* security) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int length = lstrlenW(path);
  if (length >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  WCHAR work[MAX_PATH];
  int root = WuGetRootPathFromFilePath(path, work, MAX_PATH);
  if (root == 0 || !WuIsDirectory(work)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  for (int i = root - 1; i + 1 < length; ++i)
    if (WuIsPathSeparator(path[i]) && WuIsPathSeparator(path[i + 1])) {
      SetLastError(ERROR_INVALID_NAME);
      return FALSE;
    }
  std::memcpy(work, path, static_cast<size_t>(length + 1) * sizeof(WCHAR));
  for (int at = root; at < length;) {
    int end = at;
    while (end < length && !WuIsPathSeparator(work[end])) ++end;
    WCHAR kept = work[end];
    work[end] = 0;
    if (!WuIsDirectory(work) && !CreateDirectoryW(work, security)) {
      // Someone else may have created it meanwhile.
      if (GetLastError() != ERROR_ALREADY_EXISTS || !WuIsDirectory(work)) return FALSE;
    }
    work[end] = kept;
    at = end + 1;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WuDeleteDirectoryTree(LPCWSTR folder, BOOL remove_folder) {
  if (!folder || !*folder) return FALSE;
  DWORD attributes = GetFileAttributesW(folder);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return remove_folder ? (DeleteFound(folder, attributes) ? TRUE : FALSE) : TRUE;
  // The folder's own read-only attribute goes before its entries do; a
  // folder that is kept gets it back.
  bool was_read_only = OpenReadOnlyFolder(folder, attributes);
  bool ok = DeleteContents(folder);
  if (remove_folder) {
    if (!RemoveDirectoryW(folder)) ok = false;
  } else {
    KeepReadOnly(folder, was_read_only);
  }
  return ok ? TRUE : FALSE;
}

BOOL WuDeleteFiles(LPCWSTR folder, LPCWSTR pattern, BOOL recurse) {
  if (!folder) return FALSE;
  if (!pattern || !*pattern) pattern = u"*.*";
  bool ok = true;
  WCHAR search_path[MAX_PATH];
  WIN32_FIND_DATAW found;
  if (!JoinPath(search_path, folder, pattern)) return FALSE;
  // Folders stay as they were, read-only ones included.
  bool was_read_only = OpenReadOnlyFolder(folder, GetFileAttributesW(folder));
  HANDLE search = FindFirstFileW(search_path, &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;  // folders stay
      WCHAR path[MAX_PATH];
      if (!JoinPath(path, folder, found.cFileName) || !DeleteFound(path, found.dwFileAttributes))
        ok = false;
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  KeepReadOnly(folder, was_read_only);
  if (!recurse) return ok ? TRUE : FALSE;
  if (!JoinPath(search_path, folder, u"*.*")) return FALSE;
  search = FindFirstFileW(search_path, &found);
  if (search == INVALID_HANDLE_VALUE) return ok ? TRUE : FALSE;
  do {
    if (IsDots(found.cFileName) || !IsRealFolder(found.dwFileAttributes)) continue;
    WCHAR path[MAX_PATH];
    if (!JoinPath(path, folder, found.cFileName) || !WuDeleteFiles(path, pattern, TRUE)) ok = false;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return ok ? TRUE : FALSE;
}

BOOL WuIsDirectoryEmpty(LPCWSTR folder) {
  if (!folder || lstrlenW(folder) >= MAX_PATH) return FALSE;
  WCHAR pattern[MAX_PATH];
  if (!JoinPath(pattern, folder, u"*.*")) return FALSE;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return TRUE;
  BOOL empty = TRUE;
  do {
    if (!IsDots(found.cFileName)) empty = FALSE;
  } while (empty && FindNextFileW(search, &found));
  FindClose(search);
  return empty;
}

// ---- Fresh names ----------------------------------------------------------------------

HRESULT WuCreateTempFileAndNameEx(LPCWSTR folder, LPCWSTR prefix, LPCWSTR suffix,
                                  LPCWSTR number_format, LPWSTR out, int size) {
  if (!out || size <= 0 || (!folder && !prefix && !suffix)) return E_INVALIDARG;
  out[0] = 0;
  if (!number_format) number_format = u"%d";
  // folder + separator + prefix stays the same for every number.
  if (!Append(out, size, folder ? folder : u"") || !AppendSeparator(out, size) ||
      !Append(out, size, prefix ? prefix : u"")) {
    out[0] = 0;
    return E_INVALIDARG;
  }
  int head = lstrlenW(out);
  for (DWORD n = 1; n <= kMaxNameNumber; ++n) {
    WCHAR number[64];
    WuPrintFN(number, 64, number_format, static_cast<int>(n));
    out[head] = 0;
    if (!Append(out, size, number) || !Append(out, size, suffix ? suffix : u"")) {
      out[0] = 0;
      return E_INVALIDARG;
    }
    HANDLE file =
        CreateFileW(out, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return S_OK;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
        error == ERROR_SHARING_VIOLATION)
      continue;
    out[0] = 0;
    HRESULT hr = WuErrorHandler_TranslateWin32Error(error);
    return FAILED(hr) ? hr : E_FAIL;
  }
  // Every number was taken (or the format holds no number at all).
  out[0] = 0;
  return WU_E_FILE_EXISTS;
}

HRESULT WuCreateTempFileAndName(LPCWSTR prefix, LPCWSTR suffix, LPWSTR out, int size) {
  return WuCreateTempFileAndNameEx(nullptr, prefix, suffix, nullptr, out, size);
}

BOOL WuIsDirectoryWritable(LPCWSTR folder) {
  if (!folder || !WuIsDirectory(folder)) return FALSE;
  WCHAR name[MAX_PATH];
  if (FAILED(WuCreateTempFileAndNameEx(folder, u"", u"", nullptr, name, MAX_PATH))) return FALSE;
  DeleteFileW(name);
  return TRUE;
}

HRESULT WuGetUniqueSubFolder(LPCWSTR folder, LPCWSTR name, LPWSTR out, int size) {
  if (!out || !folder || !name || size < MAX_PATH) return E_INVALIDARG;
  out[0] = 0;
  if (!Append(out, size, folder) || !AppendSeparator(out, size) || !Append(out, size, name)) {
    out[0] = 0;
    return E_FAIL;
  }
  int base = lstrlenW(out);
  for (DWORD n = 0; n <= kMaxNameNumber; ++n) {
    out[base] = 0;
    if (n > 0 && !AppendNumber(out, size, n)) break;
    // A file of that name blocks the folder as much as a folder does.
    if (GetFileAttributesW(out) == INVALID_FILE_ATTRIBUTES) return S_OK;
  }
  out[0] = 0;
  return E_FAIL;
}

// ---- Sizes and space -------------------------------------------------------------------

HRESULT WuGetDirectorySize(LPCWSTR folder, ULONGLONG* bytes) {
  if (!bytes) return E_INVALIDARG;
  *bytes = 0;
  if (!folder) return E_INVALIDARG;
  return AddFolderSize(folder, bytes);
}

HRESULT WuGetFileSizeByName(LPCWSTR path, ULONGLONG* size) {
  if (size) *size = 0;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WU_E_OPEN_FILE;
  LARGE_INTEGER length;
  BOOL ok = GetFileSizeEx(file, &length);
  CloseHandle(file);
  if (!ok) return WU_E_READ;
  if (size) *size = static_cast<ULONGLONG>(length.QuadPart);
  return S_OK;
}

DWORD WuGetDiskFreeSpace(LPCWSTR path, DWORD unit) { return SpaceInUnits(path, unit, true); }

DWORD WuGetDiskTotalSpace(LPCWSTR path, DWORD unit) { return SpaceInUnits(path, unit, false); }

int WuFormatDiskFreeSpace(LPCWSTR path, LPWSTR out) {
  if (!out) return 0;
  HWULANG lang = WuKernel_GetLangHandle();
  ULONGLONG bytes = 0;
  if (!path || !*path || !VolumeBytes(path, true, &bytes))
    return WuStrCpyNLen(out, WuGetString(lang, &WuLangRow_DiskFreeUnknown), WU_DISKSPACE_TEXT_MAX);
  // Units of 102,400 bytes, printed in tenths: 10 units are 1,024,000 bytes.
  ULONGLONG units = bytes / 102400;
  if (units > 0xFFFFFFFF) units = 0xFFFFFFFF;
  if (units < 10000)
    return WuPrintFN(out, WU_DISKSPACE_TEXT_MAX, WuGetString(lang, &WuLangRow_DiskFreeMegabytes),
                     static_cast<int>(units));
  return WuPrintFN(out, WU_DISKSPACE_TEXT_MAX, WuGetString(lang, &WuLangRow_DiskFreeGigabytes),
                   static_cast<int>(units / 1024));
}

// ---- Special and shared folders ------------------------------------------------------------

HRESULT WuGetSpecialFolderVer(LPWSTR out, int size, int csidl, LPCWSTR name, int major, int minor) {
  return SpecialFolder(out, size, csidl, name, true, major, minor);
}

HRESULT WuGetSpecialFolderNoVer(LPWSTR out, int size, int csidl, LPCWSTR name) {
  return SpecialFolder(out, size, csidl, name, false, 0, 0);
}

HRESULT WuGetSharedComponentsFolder(LPWSTR out, int size) {
  return ReadSharedValue(kSharedComponentsValue, out, size);
}

HRESULT WuGetSpecialOrvoFolder(LPWSTR out, int size, int index) {
  if (index != WU_SPECIAL_FOLDER_THEMES && index != WU_SPECIAL_FOLDER_TRANSITIONS)
    return E_INVALIDARG;
  const SpecialFolderEntry& entry = kSpecialFolders[index];
  if (SUCCEEDED(ReadSharedValue(entry.value, out, size))) return S_OK;
  HRESULT hr = WuGetSharedComponentsFolder(out, size);
  if (FAILED(hr)) return hr;
  if (!AppendSeparator(out, size) || !Append(out, size, entry.default_name) ||
      !AppendSeparator(out, size)) {
    out[0] = 0;
    return WU_E_BUFFER_TOO_SMALL;
  }
  return S_OK;
}

HRESULT WuSetSpecialOrvoFolder(LPCWSTR path, int index) {
  if (!path || (index != WU_SPECIAL_FOLDER_THEMES && index != WU_SPECIAL_FOLDER_TRANSITIONS))
    return E_INVALIDARG;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSharedInfoKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return WU_E_NEEDS_ADMIN;
  DWORD bytes = static_cast<DWORD>((lstrlenW(path) + 1) * sizeof(WCHAR));
  LONG error = RegSetValueExW(key, kSpecialFolders[index].value, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(path), bytes);
  RegCloseKey(key);
  return error == ERROR_SUCCESS ? S_OK : WU_E_NEEDS_ADMIN;
}

HRESULT WuGetSpecialOrvoDefaultFolderName(LPWSTR out, int size, int index) {
  if (!out || size <= 0 || static_cast<unsigned>(index) > 1) return E_INVALIDARG;
  lstrcpynW(out, kSpecialFolders[index].default_name, size);
  return S_OK;
}

// ---- Moving and copying trees ----------------------------------------------------------------

namespace {

// The walk of WuCopyMoveFolderTree, recursing into each sub-folder; the
// arguments are checked by the caller.
HRESULT WalkTree(LPCWSTR source, LPCWSTR destination, int mode, DWORD* count, ULONGLONG* copied,
                 ULONGLONG total, WuFolderProgressProc callback, void* argument) {
  // A source that is itself a link is not moved through: the files of the
  // folder it names stay there (it would move as the link). A copy reads
  // through the link the caller named, as copying from that folder does.
  if (mode != WU_TREE_COPY) {
    DWORD self = GetFileAttributesW(source);
    if (self != INVALID_FILE_ATTRIBUTES && (self & FILE_ATTRIBUTE_REPARSE_POINT))
      return mode == WU_TREE_CHECK ? S_OK : WU_E_WRITE;
  }
  WCHAR pattern[MAX_PATH];
  if (!JoinPath(pattern, source, u"*.*")) return WU_E_WRITE;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) {
    HRESULT hr = WuErrorHandler_TranslateWin32Error(GetLastError());
    return FAILED(hr) ? hr : E_FAIL;
  }
  HRESULT first = S_OK;
  bool stop = false;
  do {
    if (IsDots(found.cFileName)) continue;
    WCHAR from[MAX_PATH];
    WCHAR to[MAX_PATH] = u"";
    HRESULT hr = S_OK;
    if (!JoinPath(from, source, found.cFileName) ||
        (mode != WU_TREE_CHECK && !JoinPath(to, destination, found.cFileName))) {
      hr = WU_E_WRITE;
    } else if (IsRealFolder(found.dwFileAttributes)) {
      if (mode != WU_TREE_CHECK && !WuCreateDirectory(to, nullptr)) {
        hr = WU_E_WRITE;
      } else {
        hr = WalkTree(from, to, mode, count, copied, total, callback, argument);
        stop = hr == WU_E_CANCELLED || (mode == WU_TREE_CHECK && FAILED(hr));
      }
    } else {
      hr = HandleFile(from, to, found, mode, count, copied, total, callback, argument, &stop);
    }
    if (stop) {
      FindClose(search);
      return hr;
    }
    if (FAILED(hr) && first == S_OK) first = hr;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  if (mode == WU_TREE_MOVE && first == S_OK) RemoveDirectoryW(source);
  return first;
}

}  // namespace

HRESULT WuCopyMoveFolderTree(LPCWSTR source, LPCWSTR destination, int mode, DWORD* count,
                             ULONGLONG* copied, ULONGLONG total, WuFolderProgressProc callback,
                             void* argument) {
  if (!source || mode < WU_TREE_MOVE || mode > WU_TREE_CHECK ||
      (mode != WU_TREE_CHECK && !destination))
    return E_INVALIDARG;
  // A destination that is the source or lies inside it (by the folders on
  // disk, links followed) would take in the copies the walk makes and nest
  // them without end: refused before anything is made.
  if (mode != WU_TREE_CHECK && platform::IsSameOrInsideFolder(destination, source))
    return WU_E_DEST_UNDER_SOURCE;
  return WalkTree(source, destination, mode, count, copied, total, callback, argument);
}

HRESULT WuCanMoveFolder(LPCWSTR folder) {
  return WuCopyMoveFolderTree(folder, nullptr, WU_TREE_CHECK, nullptr, nullptr, 0, nullptr,
                              nullptr);
}

HRESULT WuMoveFolder(LPCWSTR new_folder, LPCWSTR old_folder, DWORD* moved,
                     WuFolderProgressProc callback, void* argument) {
  if (moved) *moved = 0;
  if (!new_folder || !old_folder) return E_INVALIDARG;
  WCHAR to[MAX_PATH];
  WCHAR from[MAX_PATH];
  if (!FullFolderPath(new_folder, to) || !FullFolderPath(old_folder, from)) return E_INVALIDARG;
  if (SamePathText(to, from, false)) return S_OK;
  if (IsInsideFolder(to, from)) return WU_E_DEST_UNDER_SOURCE;

  WCHAR root[MAX_PATH];
  if (!WuGetRootPathFromFilePath(to, root, MAX_PATH) || !WuIsDirectory(root)) return E_FAIL;
  if (!WuGetRootPathFromFilePath(from, root, MAX_PATH) || !WuIsDirectory(root)) return E_FAIL;
  if (!WuIsDirectory(from)) return WU_E_NOT_FOUND;
  DWORD self = GetFileAttributesW(from);
  if (self != INVALID_FILE_ATTRIBUTES && (self & FILE_ATTRIBUTE_REPARSE_POINT))
    return MoveFolderLink(to, from, moved);
  // The tree is walked: a new folder inside it reached through a link (on
  // either path) is judged by the folders on disk as well, before anything
  // is made.
  if (platform::IsSameOrInsideFolder(to, from)) return WU_E_DEST_UNDER_SOURCE;
  if (!WuCreateDirectory(to, nullptr)) return WU_E_CREATE_FILE;

  bool across = OnDifferentVolumes(to, from);
  ULONGLONG size = 0;
  if (across) {
    double free_mib = WuGetDiskFreeSpace(to, 1024 * 1024);
    HRESULT hr = WuGetDirectorySize(from, &size);
    if (FAILED(hr)) return hr;
    if ((static_cast<double>(size) / (1024.0 * 1024.0) + 1.0) * 1.05 > free_mib)
      return WU_E_DISK_FULL;
  }
  if (!WuCreateDirectory(to, nullptr)) return WU_E_CREATE_FILE;
  if (!WuIsDirectoryWritable(to)) return WU_E_WRITE;
  if (across && callback) {
    HRESULT hr = callback(argument, 0.0, nullptr);
    if (FAILED(hr)) return hr;
  }

  DWORD count = 0;
  ULONGLONG copied = 0;
  HRESULT hr = WuCopyMoveFolderTree(from, to, across ? WU_TREE_COPY : WU_TREE_MOVE, &count, &copied,
                                    size ? size : 1, callback, argument);
  if (across) {
    if (FAILED(hr))
      count = 0;  // what was copied stays; the old tree is untouched
    else
      WuDeleteDirectoryTree(from, TRUE);
  }
  if (moved) *moved = count;
  return hr;
}

// ---- Paths fitted to a width
// ---------------------------------------------------------------------

HRESULT WuCalcPathEllipsisEx(HDC dc, LPCWSTR path, LPWSTR out, int size, int width) {
  if (!path || !out || size <= 0) return E_INVALIDARG;
  out[0] = 0;
  int length = lstrlenW(path);
  int split = length - 1;
  while (split >= 0 && !WuIsPathSeparator(path[split])) --split;
  int full = TextWidth(dc, path, length);
  int written = 0;
  if (split < 0 || full <= width) {
    AppendCount(out, size, &written, path, length);
    return 0;
  }
  // Cut the folder part from its end until what was cut is at least as
  // wide as the overflow plus the "...".
  static constexpr WCHAR kDots[] = u"...";
  int needed = full - width + TextWidth(dc, kDots, 3);
  int keep = split;
  while (keep > 0 && TextWidth(dc, path + keep, split - keep) < needed) --keep;
  AppendCount(out, size, &written, path, keep);
  AppendCount(out, size, &written, kDots, 3);
  AppendCount(out, size, &written, path + split, length - split);
  return 0;
}

HRESULT WuCalcPathEllipsisExCtl(HWND window, LPCWSTR path, LPWSTR out, int size, int margin) {
  HDC dc = GetDC(nullptr);
  if (!dc) return E_FAIL;
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  int width = client.right - client.left - margin;
  HRESULT hr = WuCalcPathEllipsisEx(dc, path, out, size, width > 0 ? width : 0);
  if (previous) SelectObject(dc, previous);
  ReleaseDC(nullptr, dc);
  return hr;
}

BOOL WuCalcPathEllipsis(HDC dc, LPWSTR path, int width) {
  if (!path) return TRUE;
  WCHAR* copy = static_cast<WCHAR*>(WuGlobalNew(kEllipsisCopy * sizeof(WCHAR)));
  if (!copy) return TRUE;
  lstrcpynW(copy, path, kEllipsisCopy);
  // The path's own buffer holds at least its text: never write past it.
  WuCalcPathEllipsisEx(dc, copy, path, lstrlenW(copy) + 1, width);
  WuGlobalDelete(copy);
  return TRUE;
}

// ---- File names fitted to a width ------------------------------------------------------

namespace {

// Characters of the work copy that styles 2 and 4 shorten: 255 and the
// terminator.
constexpr int kFilenameWork = 256;

// Formats with `font` (NULL: the DC's own) selected into a screen DC.
HRESULT FormatOnScreen(HFONT font, int width, LPCWSTR path, LPWSTR out, int size, int style) {
  HDC dc = GetDC(nullptr);
  if (!dc) return E_FAIL;
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  HRESULT hr = WuFilenameFormat(dc, width, path, out, size, style);
  if (previous) SelectObject(dc, previous);
  ReleaseDC(nullptr, dc);
  return hr;
}

}  // namespace

HRESULT WuFilenameFormat(HDC dc, int width, LPCWSTR path, LPWSTR out, int size, int style) {
  if (!path || !out || size < 1) return E_INVALIDARG;
  if (style < 0 || style > 4) return E_INVALIDARG;
  out[0] = 0;
  if (!path[0] || style == 3) return S_OK;
  if (style == 1) return WuCalcPathEllipsisEx(dc, path, out, size, width) == 0 ? S_OK : E_INVALIDARG;
  LPCWSTR source = style == 4 ? path : WuGetFileNamePtrW(path);
  if (style == 0) {
    lstrcpynW(out, source, size);
    return S_OK;
  }
  WCHAR work[kFilenameWork];
  lstrcpynW(work, source, kFilenameWork);
  WuCalcStringEllipsis(dc, work, kFilenameWork, width);
  lstrcpynW(out, work, size);
  return S_OK;
}

HRESULT WuFilenameFormatForCtl(HWND window, LPCWSTR path, LPWSTR out, int size, int style) {
  if (!window) return E_INVALIDARG;
  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  int client_width = client.right - client.left;
  int width = client_width < 5 ? 0 : client_width - 4;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  return FormatOnScreen(font, width, path, out, size, style);
}

HRESULT WuFilenameFormatForWidth(HFONT font, int width, LPCWSTR path, LPWSTR out, int size,
                                 int style) {
  return FormatOnScreen(font, width, path, out, size, style);
}
