// Path and entry-name helpers of the archive code.
#include "Sfx/ArchivePath.h"

#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"

namespace {

int Length(LPCWSTR text) { return text ? static_cast<int>(platform::WStrLen(text)) : 0; }

}  // namespace

bool ArcCopy(WCHAR* dst, int size, LPCWSTR src) {
  if (!dst || size <= 0) return false;
  dst[0] = 0;
  return ArcAppend(dst, size, src);
}

bool ArcAppend(WCHAR* dst, int size, LPCWSTR src, int n) {
  if (!dst || size <= 0) return false;
  int have = Length(dst);
  int add = Length(src);
  if (n >= 0 && n < add) add = n;
  if (have + add >= size) return false;
  for (int i = 0; i < add; ++i) dst[have + i] = src[i];
  dst[have + add] = 0;
  return true;
}

bool ArcJoin(WCHAR* dst, int size, LPCWSTR folder, LPCWSTR relative) {
  if (!ArcCopy(dst, size, folder)) return false;
  int have = Length(dst);
  if (have > 0 && !ArcIsSeparator(dst[have - 1])) {
    const WCHAR sep[2] = {platform::kPathSeparator, 0};
    if (!ArcAppend(dst, size, sep)) return false;
    ++have;
  }
  if (!ArcAppend(dst, size, relative)) return false;
  for (WCHAR* p = dst + have; *p; ++p)
    if (*p == u'\\') *p = platform::kPathSeparator;
  return true;
}

LPCWSTR ArcFileNamePart(LPCWSTR path) {
  if (!path) return path;
  // A drive "X:" is one only at the start of a path, as the path mapping
  // takes it; elsewhere ':' is an ordinary character of a name.
  LPCWSTR part = platform::StartsWithDrive(path) ? path + 2 : path;
  for (LPCWSTR p = part; *p; ++p)
    if (ArcIsSeparator(*p)) part = p + 1;
  return part;
}

int ArcFolderPartLength(LPCWSTR path) {
  return path ? static_cast<int>(ArcFileNamePart(path) - path) : 0;
}

void ArcStripTrailingSeparators(WCHAR* path) {
  int n = Length(path);
  while (n > 1 && ArcIsSeparator(path[n - 1]) && path[n - 2] != u':') path[--n] = 0;
}

void ArcToStoredSeparators(WCHAR* name) {
  for (WCHAR* p = name; p && *p; ++p)
    if (*p == u'/') *p = u'\\';
}

bool ArcFullPath(LPCWSTR path, WCHAR* out, int size) {
  if (!path || !*path || !out || size <= 0) return false;
  DWORD n = GetFullPathNameW(path, static_cast<DWORD>(size), out, nullptr);
  return n > 0 && n < static_cast<DWORD>(size);
}

bool ArcIsSafeRelativeName(LPCWSTR name, bool allow_trailing) {
  int n = Length(name);
  if (n == 0 || ArcIsSeparator(name[0])) return false;
  if (n >= 2 && name[1] == u':') return false;  // a drive
  int end = n;
  if (allow_trailing && ArcIsSeparator(name[n - 1])) --end;
  int start = 0;
  for (int i = 0; i <= end; ++i) {
    if (i < end && !ArcIsSeparator(name[i])) continue;
    int len = i - start;
    if (len == 0) return false;  // empty component (or a name of separators only)
    if (len == 2 && name[start] == u'.' && name[start + 1] == u'.') return false;
    start = i + 1;
  }
  return true;
}

bool ArcVolumeName(WCHAR* dst, int size, LPCWSTR archive_path, LPCWSTR stored_name, DWORD n) {
  if (!ArcCopy(dst, size, archive_path)) return false;
  dst[ArcFolderPartLength(dst)] = 0;
  LPCWSTR file = ArcFileNamePart(stored_name && *stored_name ? stored_name : archive_path);
  int stem = Length(file);
  for (int i = stem - 1; i >= 0; --i)
    if (file[i] == u'.') {
      stem = i;
      break;
    }
  WCHAR number[16];
  int digits = 0;
  WCHAR reversed[16];
  do {
    reversed[digits++] = static_cast<WCHAR>(u'0' + n % 10);
    n /= 10;
  } while (n);
  for (int i = 0; i < digits; ++i) number[i] = reversed[digits - 1 - i];
  number[digits] = 0;
  return ArcAppend(dst, size, file, stem) && ArcAppend(dst, size, number) &&
         ArcAppend(dst, size, file + stem);
}
