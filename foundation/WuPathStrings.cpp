#include "foundation/WuPathStrings.h"

#include <cstring>

#include "foundation/WuErrorHandler.h"
#include "foundation/WuPath.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/shell/shell.h"
#include "platform/kernel/time.h"

namespace {

// Length of a text, looking at no more than `limit` characters (so the
// result equals `limit` when no terminator lies within it).
template <class Char>
int BoundedLength(const Char* text, int limit) {
  int n = 0;
  if (text)
    while (n < limit && text[n]) ++n;
  return n;
}

// Length of a text within a buffer of `size` characters, or -1 when the
// buffer holds no terminator (or there is no buffer).
int TerminatedLength(const WCHAR* text, int size) {
  if (!text || size <= 0) return -1;
  int n = BoundedLength(text, size);
  return n < size ? n : -1;
}

// Two path characters are the same when they are equal without regard to
// case, and every separator equals every other.
bool SamePathChar(WCHAR a, WCHAR b) {
  if (WuIsPathSeparator(a) && WuIsPathSeparator(b)) return true;
  return platform::CharUpper(a) == platform::CharUpper(b);
}

bool IsAsciiLetter(WCHAR c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// TRUE when the ':' at `at` of a path ends a drive: "X:" at the very start,
// or just after a "\\?\" prefix, as the path mapping reads it. Any other
// ':' is a character of a name ("12:30.png").
template <class Char>
bool IsDriveColon(const Char* path, int at) {
  auto letter = [](Char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  auto sep = [](Char c) { return c == '\\' || c == '/'; };
  if (at == 1) return letter(path[0]);
  return at == 5 && sep(path[0]) && sep(path[1]) && path[2] == '?' && sep(path[3]) &&
         letter(path[4]);
}

bool IsByteSpace(CHAR c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Length of the root that begins the first n characters of a path:
// "\\server\share\", "X:\" or a single separator; 0 when there is none.
int RootLength(const WCHAR* p, int n) {
  if (n >= 2 && WuIsPathSeparator(p[0]) && WuIsPathSeparator(p[1])) {
    int server_end = 2;
    while (server_end < n && !WuIsPathSeparator(p[server_end])) ++server_end;
    if (server_end == 2 || server_end >= n) return 0;
    int share_end = server_end + 1;
    while (share_end < n && !WuIsPathSeparator(p[share_end])) ++share_end;
    if (share_end == server_end + 1 || share_end >= n) return 0;
    return share_end + 1;
  }
  if (n >= 3 && IsAsciiLetter(p[0]) && p[1] == u':' && WuIsPathSeparator(p[2])) return 3;
  if (n >= 1 && WuIsPathSeparator(p[0])) return 1;
  return 0;
}

// After the name is used up, the rest of a pattern still matches when it is
// made of stars around at most an ending "." or ".*" (so "abc" matches
// "abc*", "abc." and "abc.*" but not "abc*.txt").
bool PatternMatchesEmptyName(const WCHAR* p) {
  while (*p == u'*') ++p;
  if (*p == u'.') ++p;
  while (*p == u'*') ++p;
  return *p == 0;
}

bool IsDigit(WCHAR c) { return c >= u'0' && c <= u'9'; }

// Compares the digit runs at *a and *b by their values and moves both past
// their runs: -1, 0 or 1.
int CompareDigitRuns(const WCHAR** a, const WCHAR** b) {
  const WCHAR* pa = *a;
  const WCHAR* pb = *b;
  while (*pa == u'0' && IsDigit(pa[1])) ++pa;  // leading zeros do not count
  while (*pb == u'0' && IsDigit(pb[1])) ++pb;
  const WCHAR* ea = pa;
  const WCHAR* eb = pb;
  while (IsDigit(*ea)) ++ea;
  while (IsDigit(*eb)) ++eb;
  int result = 0;
  if (ea - pa != eb - pb) {
    result = ea - pa < eb - pb ? -1 : 1;  // more digits: the larger value
  } else {
    for (; pa < ea; ++pa, ++pb)
      if (*pa != *pb) {
        result = *pa < *pb ? -1 : 1;
        break;
      }
  }
  *a = ea;
  *b = eb;
  return result;
}

// Reads up to `count` bytes at the current position; the number read.
DWORD ReadSome(HANDLE file, BYTE* buffer, DWORD count) {
  DWORD read = 0;
  if (!ReadFile(file, buffer, count, &read, nullptr)) return 0;
  return read;
}

bool SeekTo(HANDLE file, ULONGLONG position) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

WORD Read16(const BYTE* p, bool big_endian) {
  return big_endian ? static_cast<WORD>(p[0] << 8 | p[1]) : static_cast<WORD>(p[1] << 8 | p[0]);
}

DWORD Read32LE(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
         static_cast<DWORD>(p[3]) << 24;
}

// Size of the block the executable check reads at a time.
constexpr DWORD kImageProbeSize = 4096;

// ELF identification and header fields used by the check.
constexpr int kElfMinimumHeader = 20;  // identification, type and machine
constexpr BYTE kElfClass32 = 1;
constexpr BYTE kElfClass64 = 2;
constexpr BYTE kElfDataLittle = 1;
constexpr BYTE kElfDataBig = 2;
constexpr WORD kElfTypeExec = 2;
constexpr WORD kElfTypeDyn = 3;

WORD MachineOfElf(WORD elf_machine) {
  switch (elf_machine) {
    case 3: return WU_MACHINE_I386;
    case 40: return WU_MACHINE_ARM;
    case 62: return WU_MACHINE_AMD64;
    case 183: return WU_MACHINE_ARM64;
    default: return WU_MACHINE_UNKNOWN;
  }
}

bool IsElf(const BYTE* bytes, DWORD count) {
  return count >= 4 && bytes[0] == 0x7F && bytes[1] == 'E' && bytes[2] == 'L' && bytes[3] == 'F';
}

// An ELF executable or shared object of a known layout.
bool CheckElf(const BYTE* bytes, DWORD count, WORD* machine, WORD* characteristics) {
  if (count < static_cast<DWORD>(kElfMinimumHeader)) return false;
  BYTE elf_class = bytes[4];
  BYTE data = bytes[5];
  if ((elf_class != kElfClass32 && elf_class != kElfClass64) ||
      (data != kElfDataLittle && data != kElfDataBig))
    return false;
  bool big = data == kElfDataBig;
  WORD type = Read16(bytes + 16, big);
  if (type != kElfTypeExec && type != kElfTypeDyn) return false;
  if (machine) *machine = MachineOfElf(Read16(bytes + 18, big));
  if (characteristics)
    *characteristics = static_cast<WORD>(
        WU_IMAGE_EXECUTABLE |
        (elf_class == kElfClass64 ? WU_IMAGE_LARGE_ADDRESS_AWARE : WU_IMAGE_32BIT_MACHINE));
  return true;
}

// The image check proper; the caller resets the file position.
bool CheckImage(HANDLE file, WORD* machine, WORD* characteristics) {
  BYTE buffer[kImageProbeSize];
  if (!SeekTo(file, 0)) return false;
  DWORD got = ReadSome(file, buffer, sizeof buffer);
  if (IsElf(buffer, got)) return CheckElf(buffer, got, machine, characteristics);
  if (got < 64 || buffer[0] != 'M' || buffer[1] != 'Z') return false;
  ULONGLONG offset = Read32LE(buffer + 60);
  const BYTE* header = buffer;
  if (offset + 24 <= got) {
    header = buffer + offset;
  } else {
    // The header (or part of it) lies beyond the first block: read again
    // from the header itself.
    if (!SeekTo(file, offset)) return false;
    got = ReadSome(file, buffer, sizeof buffer);
    if (got < 24) return false;
  }
  if (std::memcmp(header, "PE\0\0", 4) != 0) return false;
  if (machine) *machine = Read16(header + 4, false);
  if (characteristics) *characteristics = Read16(header + 22, false);
  return true;
}

// DOS date (high word) and time (low word) of a FILETIME; 0 outside the
// years 1980 to 2107 that the DOS form can hold.
DWORD DosDateTimeOf(const FILETIME& time) {
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&time, &st)) return 0;
  if (st.wYear < 1980 || st.wYear > 2107) return 0;
  DWORD date = static_cast<DWORD>((st.wYear - 1980) << 9 | st.wMonth << 5 | st.wDay);
  DWORD clock = static_cast<DWORD>(st.wHour << 11 | st.wMinute << 5 | st.wSecond / 2);
  return date << 16 | clock;
}

// The last-write time of a file, optionally in local time; 0 on failure.
DWORD DosLastWrite(LPCWSTR path, bool local) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  FILETIME written;
  BOOL ok = GetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  if (!ok) return 0;
  if (local) {
    FILETIME converted;
    if (!FileTimeToLocalFileTime(&written, &converted)) return 0;
    written = converted;
  }
  return DosDateTimeOf(written);
}

// The formats of one byte-size text style.
struct ByteSizeFormats {
  const WCHAR* negative;  // a negative count, whole
  const WCHAR* plain;     // below 1,024
  const WCHAR* kb;        // units of 1,024
  const WCHAR* mb;        // units of 1,024,000
  const WCHAR* gb;        // units of 1.024e9
};

constexpr ByteSizeFormats kCompactSizes = {u"%I64d", u"%u", u"$.2fKB", u"$.2fMB", u"$.2fGB"};
constexpr ByteSizeFormats kSpacedSizes = {u"%I64d bytes", u"%u bytes", u"$.2f KB", u"$.2f MB",
                                          u"$.2f GB"};

int FormatByteSize(LONGLONG count, LPWSTR buffer, const ByteSizeFormats& f) {
  if (!buffer) return 0;
  const int size = WU_BYTESIZE_TEXT_MAX;
  if (count < 0) return WuPrintFN(buffer, size, f.negative, count);
  if (count > 0xFFFFFFFFLL)
    return WuPrintFN(buffer, size, f.gb, static_cast<double>(count) / 1.024e9);
  // Counts up to 4 GB are unsigned 32-bit values: 2^31 and above are
  // ordinary sizes.
  DWORD n = static_cast<DWORD>(count);
  if (n < 1024) return WuPrintFN(buffer, size, f.plain, n);
  if (n < 1024000) return WuPrintFN(buffer, size, f.kb, n / 1024.0);
  if (n < 1024000000) return WuPrintFN(buffer, size, f.mb, n / 1024000.0);
  return WuPrintFN(buffer, size, f.gb, n / 1.024e9);
}

}  // namespace

// ---- Name and extension pointers ----------------------------------------------

const WCHAR* WuGetFileNamePtrW(const WCHAR* path) {
  if (!path) return nullptr;
  const WCHAR* name = path;
  for (const WCHAR* p = path; *p; ++p)
    if (WuIsPathSeparator(*p) || (*p == u':' && IsDriveColon(path, static_cast<int>(p - path))))
      name = p + 1;
  return name;
}

const CHAR* WuGetFileNamePtrA(const CHAR* path) {
  if (!path) return nullptr;
  const CHAR* name = path;
  for (const CHAR* p = path; *p; ++p)
    if (*p == '\\' || *p == '/' || (*p == ':' && IsDriveColon(path, static_cast<int>(p - path))))
      name = p + 1;
  return name;
}

const WCHAR* WuGetFileNameExtensionPtrW(const WCHAR* path) {
  const WCHAR* p = WuGetFileNamePtrW(path);
  if (!p) return nullptr;
  const WCHAR* dot = nullptr;
  for (; *p; ++p)
    if (*p == u'.') dot = p;
  if (!dot) return p;
  for (const WCHAR* q = dot + 1; *q; ++q)
    if (platform::IsWhiteSpace(*q)) return p;
  return dot;
}

const CHAR* WuGetFileNameExtensionPtrA(const CHAR* path) {
  const CHAR* p = WuGetFileNamePtrA(path);
  if (!p) return nullptr;
  const CHAR* dot = nullptr;
  for (; *p; ++p)
    if (*p == '.') dot = p;
  if (!dot) return p;
  for (const CHAR* q = dot + 1; *q; ++q)
    if (IsByteSpace(*q)) return p;
  return dot;
}

WCHAR* WuGetFileNameWithoutPathOrExtension(LPCWSTR path, LPWSTR buffer, int size) {
  if (!buffer || size < 1) return nullptr;
  lstrcpynW(buffer, path ? WuGetFileNamePtrW(path) : u"", size);
  WCHAR* cut = WuGetFileNameExtensionPtrW(buffer);
  *cut = 0;
  return cut;
}

// ---- Editing ----------------------------------------------------------------------

int WuAddSlashToPathName(LPWSTR path, int size) {
  int length = TerminatedLength(path, size);
  if (length <= 0) return 0;
  if (WuIsPathSeparator(path[length - 1])) return length;
  if (length + 2 > size) return 0;
  path[length] = platform::kPathSeparator;
  path[length + 1] = 0;
  return length + 1;
}

int WuRemoveSlashFromPathNameEnd(LPWSTR path, int size) {
  int length = TerminatedLength(path, size);
  if (length <= 0) return 0;
  if (length > 1 && WuIsPathSeparator(path[length - 1])) path[--length] = 0;
  return length;
}

int WuReplaceExtensionOnPathName(LPWSTR path, int size, LPCWSTR ext) {
  int length = TerminatedLength(path, size);
  if (length < 0) return 0;
  if (!*WuGetFileNamePtrW(path)) return length;
  int at = static_cast<int>(WuGetFileNameExtensionPtrW(path) - path);
  if (!ext || !*ext) {
    path[at] = 0;
    return at;
  }
  if (ext[0] != u'.' && at + 1 < size) path[at++] = u'.';
  lstrcpynW(path + at, ext, size - at);
  return BoundedLength(path, size);
}

int WuAddExtensionToPathName(LPWSTR path, int size, LPCWSTR ext) {
  int length = TerminatedLength(path, size);
  if (length < 0) return 0;
  if (!ext) return length;
  if (ext[0] == u'.') ++ext;
  if (!*ext) return length;
  WCHAR dotted[MAX_PATH];
  dotted[0] = u'.';
  lstrcpynW(dotted + 1, ext, MAX_PATH - 1);
  WCHAR* current = WuGetFileNameExtensionPtrW(path);
  if (lstrcmpiW(current, dotted) == 0) return length;
  // The room left from the extension's position on is what bounds it.
  int at = static_cast<int>(current - path);
  lstrcpynW(current, dotted, size - at);
  return BoundedLength(path, size);
}

int WuAppendToPathName(LPWSTR path, int size, LPCWSTR name, LPCWSTR ext) {
  if (TerminatedLength(path, size) < 0) return 0;
  WuAddSlashToPathName(path, size);
  int start = BoundedLength(path, size);
  if (name)
    while (WuIsPathSeparator(*name)) ++name;
  WuStrCatN(path, name, size);
  if (ext) WuReplaceExtensionOnPathName(path + start, size - start, ext);
  return BoundedLength(path, size);
}

BOOL WuValidateFileName(LPWSTR name, BOOL fix) {
  if (!name) return FALSE;
  static constexpr WCHAR kInvalid[] = u"\"*/:<>?\\|";
  BOOL clean = TRUE;
  for (WCHAR* p = name; *p; ++p) {
    bool bad = false;
    for (const WCHAR* c = kInvalid; *c; ++c)
      if (*p == *c) bad = true;
    if (!bad) continue;
    if (!fix) return FALSE;
    *p = u'_';
    clean = FALSE;
  }
  return clean;
}

// ---- Parts of a path ------------------------------------------------------------

int WuGetPathNameFromFilePath(LPCWSTR path, LPWSTR dest, int size) {
  if (!path) return 0;
  int n = BoundedLength(path, 519);
  int last = -1;
  for (int i = 0; i < n; ++i)
    if (WuIsPathSeparator(path[i]) || (path[i] == u':' && IsDriveColon(path, i))) last = i;
  if (last < 0) return 0;
  int count = last + 1;
  if (!dest || count + 1 > size) return 0;
  std::memmove(dest, path, static_cast<size_t>(count) * sizeof(WCHAR));
  dest[count] = 0;
  return count;
}

int WuGetRootPathFromFilePath(LPCWSTR path, LPWSTR dest, int size) {
  if (dest && size > 0) dest[0] = 0;
  if (!path) return 0;
  int count = RootLength(path, BoundedLength(path, MAX_PATH - 1));
  if (count == 0 || !dest || count + 1 > size) return 0;
  std::memmove(dest, path, static_cast<size_t>(count) * sizeof(WCHAR));
  dest[count] = 0;
  return count;
}

BOOL WuDirectoryUpOneLevel(LPWSTR path, int size) {
  int length = TerminatedLength(path, size);
  if (length < 4 || length > MAX_PATH - 1) return FALSE;
  WCHAR work[MAX_PATH];
  std::memcpy(work, path, static_cast<size_t>(length + 1) * sizeof(WCHAR));
  if (WuIsPathSeparator(work[length - 1])) work[--length] = 0;
  int last = length - 1;
  while (last >= 0 && !WuIsPathSeparator(work[last])) --last;
  if (last < 0) return FALSE;
  work[last + 1] = 0;
  lstrcpynW(path, work, size);
  return TRUE;
}

const WCHAR* WuGetFileNamePtrRelative(LPCWSTR base, LPCWSTR path) {
  if (!base || !path) return nullptr;
  int i = lstrlenW(path);
  int j = lstrlenW(base);
  while (i > 0 && j > 0 && SamePathChar(path[i - 1], base[j - 1])) --i, --j;
  // The common tail begins at path + i. It is made of whole names when it
  // starts a name in both texts; otherwise it starts after the next
  // separator.
  bool whole =
      (i == 0 || WuIsPathSeparator(path[i - 1])) && (j == 0 || WuIsPathSeparator(base[j - 1]));
  const WCHAR* p = path + i;
  if (!whole)
    while (*p && !WuIsPathSeparator(*p)) ++p;
  while (WuIsPathSeparator(*p)) ++p;
  return p;
}

HRESULT WuGetBasePathRelative(LPCWSTR base, LPCWSTR path, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return E_FAIL;
  const WCHAR* tail = WuGetFileNamePtrRelative(base, path);
  if (!tail) {
    buffer[0] = 0;
    return E_FAIL;
  }
  int count = static_cast<int>(tail - path);
  bool add_separator = count > 0 && !WuIsPathSeparator(path[count - 1]);
  int needed = count + (add_separator ? 1 : 0);
  if (needed + 1 > size) {
    lstrcpynW(buffer, path, size);  // bounded copy of what fits
    return E_FAIL;
  }
  std::memmove(buffer, path, static_cast<size_t>(count) * sizeof(WCHAR));
  if (add_separator) buffer[count] = platform::kPathSeparator;
  buffer[needed] = 0;
  return S_OK;
}

HRESULT WuReplaceBasePathRelative(LPCWSTR path, LPCWSTR old_base, LPCWSTR new_base, LPWSTR buffer,
                                  int size) {
  if (!buffer || size <= 0) return E_FAIL;
  buffer[0] = 0;
  if (!path || !old_base) return E_FAIL;
  int old_length = lstrlenW(old_base);
  for (int i = 0; i < old_length; ++i)
    if (!path[i] || !SamePathChar(path[i], old_base[i])) return E_FAIL;
  const WCHAR* rest = path + old_length;
  // The old base must end at a name boundary: "C:\a" is not the base of
  // "C:\ab".
  bool boundary = old_length == 0 || WuIsPathSeparator(old_base[old_length - 1]) || !*rest ||
                  WuIsPathSeparator(*rest);
  if (!boundary) return E_FAIL;

  WCHAR result[MAX_PATH];
  int length = WuStrCpyNLen(result, new_base ? new_base : u"", MAX_PATH);
  bool base_ends_in_separator = length > 0 && WuIsPathSeparator(result[length - 1]);
  if (base_ends_in_separator)
    while (WuIsPathSeparator(*rest)) ++rest;
  else if (length > 0 && *rest && !WuIsPathSeparator(*rest) && length < MAX_PATH - 1)
    result[length++] = platform::kPathSeparator;
  result[length] = 0;
  int total = length + lstrlenW(rest);
  if (total > MAX_PATH - 1 || total + 1 > size) return E_FAIL;
  lstrcpynW(result + length, rest, MAX_PATH - length);
  lstrcpynW(buffer, result, size);
  return S_OK;
}

BOOL WuIsMatchWildCard(LPCWSTR pattern, LPCWSTR name) {
  if (!pattern || !name) return FALSE;
  if (pattern[0] == u'*' && pattern[1] == 0) return TRUE;
  const WCHAR* p = pattern;
  const WCHAR* n = name;
  while (*n) {
    if (!*p) return n[0] == u'.' && n[1] == 0;
    if (*p == u'*') {
      ++p;
      // A star takes the name up to a '.', the pattern's next character or
      // the end of the name: it never crosses into the extension.
      while (*n && *n != u'.' && *n != *p) ++n;
      continue;
    }
    if (*p != u'?' && *p != *n) return FALSE;
    ++p;
    ++n;
  }
  return PatternMatchesEmptyName(p) ? TRUE : FALSE;
}

int WuFilenameLogicalCompare(LPCWSTR a, LPCWSTR b) {
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  while (*a && *b) {
    if (IsDigit(*a) && IsDigit(*b)) {
      int result = CompareDigitRuns(&a, &b);
      if (result) return result;
      continue;
    }
    WCHAR ca = platform::CharLower(*a);
    WCHAR cb = platform::CharLower(*b);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++a;
    ++b;
  }
  if (*a == *b) return 0;
  return *a ? 1 : -1;
}

BOOL WuQualifyPath(LPCWSTR name, LPWSTR buffer, int size) {
  if (!name || !buffer || size <= 0) return FALSE;
  DWORD length = WuGetFullPathName(name, static_cast<DWORD>(size), buffer, nullptr);
  return length > 0 && length < static_cast<DWORD>(size) ? TRUE : FALSE;
}

// ---- Single files -----------------------------------------------------------------

BOOL WuDoesFileExist(LPCWSTR path) {
  DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  constexpr DWORD kNotAFile =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DEVICE;
  return (attributes & kNotAFile) ? FALSE : TRUE;
}

BOOL WuIsFileWritable(LPCWSTR path) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(file);
  return TRUE;
}

BOOL WuAppendFileWhole(HANDLE file, const void* bytes, DWORD count) {
  LARGE_INTEGER before{};
  const bool sized = GetFileSizeEx(file, &before) != FALSE;
  DWORD written = 0;
  if (WriteFile(file, bytes, count, &written, nullptr) && written == count) return TRUE;
  DWORD error = GetLastError();
  if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
  if (sized && SetFilePointerEx(file, before, nullptr, FILE_BEGIN)) SetEndOfFile(file);
  SetLastError(error);
  return FALSE;
}

BOOL WuIsFileExecutable(HANDLE file, WORD* machine, WORD* characteristics) {
  if (machine) *machine = 0;
  if (characteristics) *characteristics = 0;
  bool executable = CheckImage(file, machine, characteristics);
  SeekTo(file, 0);
  return executable ? TRUE : FALSE;
}

HRESULT WuGetFileExecutableInfo(LPCWSTR path, WORD* machine, WORD* characteristics) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    HRESULT hr = WuErrorHandler_TranslateWin32Error(GetLastError());
    return FAILED(hr) ? hr : E_FAIL;
  }
  BOOL executable = WuIsFileExecutable(file, machine, characteristics);
  CloseHandle(file);
  return executable ? S_OK : WU_E_BAD_DATA;
}

DWORD WuDosGetDateTime(LPCWSTR path) { return DosLastWrite(path, true); }

DWORD WuDosGetDateTimeUTC(LPCWSTR path) { return DosLastWrite(path, false); }

DWORD WuGetDateTime(DWORD words[2]) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  DWORD hundredths = st.wMilliseconds / 10u;
  if (words) {
    words[0] = static_cast<DWORD>(st.wDay | st.wMonth << 8) << 16 | st.wYear;
    words[1] =
        ((static_cast<DWORD>(st.wHour) << 8 | st.wMinute) << 8 | st.wSecond) << 8 | hundredths;
  }
  return hundredths;
}

int WuGetByteSizeText(LONGLONG count, LPWSTR buffer) {
  return FormatByteSize(count, buffer, kCompactSizes);
}

int WuGetByteSizeText2(LONGLONG count, LPWSTR buffer) {
  return FormatByteSize(count, buffer, kSpacedSizes);
}

BOOL WuIsHiddenFolderByDefault(int csidl) {
  switch (csidl & ~CSIDL_FLAG_MASK) {
    case CSIDL_PERSONAL:
    case CSIDL_MYDOCUMENTS:
    case CSIDL_DESKTOPDIRECTORY:
    case CSIDL_COMMON_DESKTOPDIRECTORY:
    case CSIDL_PROFILE:
    case CSIDL_COMMON_DOCUMENTS:
    case CSIDL_COMMON_MUSIC:
    case CSIDL_COMMON_PICTURES:
    case CSIDL_COMMON_VIDEO: return FALSE;
    default: return TRUE;
  }
}
