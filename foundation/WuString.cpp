#include "foundation/WuString.h"

#include <cstring>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"

namespace {

// Length of a wide text, looking at no more than `limit` characters.
size_t BoundedLength(const WCHAR* text, size_t limit) {
  size_t n = 0;
  if (text)
    while (n < limit && text[n]) ++n;
  return n;
}

size_t BoundedLength(const CHAR* text, size_t limit) {
  size_t n = 0;
  if (text)
    while (n < limit && text[n]) ++n;
  return n;
}

// Copies at most max characters of a text (stopping at its end) and returns
// how many were copied; does not terminate.
template <class Char>
size_t CopyAtMost(Char* dest, const Char* source, size_t max) {
  size_t i = 0;
  if (source)
    for (; i < max && source[i]; ++i) dest[i] = source[i];
  return i;
}

// Appends to a terminated text in a buffer of `size` characters.
template <class Char>
void AppendBounded(Char* dest, const Char* source, int size) {
  if (!dest || size <= 0) return;
  size_t capacity = static_cast<size_t>(size);
  size_t length = BoundedLength(dest, capacity);
  if (length >= capacity) return;  // not terminated within the buffer: full
  size_t added = CopyAtMost(dest + length, source, capacity - length - 1);
  dest[length + added] = 0;
}

// Compares the first n characters of two texts.
int CompareN(LPCWSTR a, LPCWSTR b, int n, bool ignore_case) {
  if (n <= 0) return 0;
  size_t limit = static_cast<size_t>(n);
  return platform::CompareText(a, BoundedLength(a, limit), b, BoundedLength(b, limit),
                               ignore_case);
}

}  // namespace

// ---- Copy and append -----------------------------------------------------------------

LPWSTR WuStrCpy(LPWSTR dest, LPCWSTR source) {
  if (!dest) return dest;
  size_t n = CopyAtMost(dest, source, static_cast<size_t>(-1));
  dest[n] = 0;
  return dest;
}

LPWSTR WuStrCat(LPWSTR dest, LPCWSTR source) {
  if (!dest) return dest;
  WuStrCpy(dest + platform::WStrLen(dest), source);
  return dest;
}

LPWSTR WuStrCpyN(LPWSTR dest, LPCWSTR source, int size) {
  if (!dest || size <= 0) return dest;
  size_t last = static_cast<size_t>(size) - 1;
  size_t n = CopyAtMost(dest, source, last);
  for (; n <= last; ++n) dest[n] = 0;  // zero fill up to the terminator at size-1
  return dest;
}

int WuStrCpyNLen(LPWSTR dest, LPCWSTR source, int size) {
  if (size < 0) return 0;
  if (size > 0) WuStrCpyN(dest, source, size);
  return WuStrLenSafe(dest);
}

int WuStrCpyNLen2(LPWSTR dest, LPCWSTR source, int size) {
  return WuStrCpyNLen(dest, source, size);
}

void WuStrCatN(LPWSTR dest, LPCWSTR source, int size) { AppendBounded(dest, source, size); }

int WuStrLenSafe(LPCWSTR text) { return lstrlenW(text); }

// ---- Scanning and case ---------------------------------------------------------------

const WCHAR* WuSkipWhiteSpace(const WCHAR* text) {
  if (!text) return text;
  while (*text && platform::IsWhiteSpace(*text)) ++text;
  return text;
}

const WCHAR* WuStrNextChar(const WCHAR* at) {
  if (!at || !*at) return at;
  return at + 1;
}

LPWSTR WuStrUpper(LPWSTR text) {
  if (!text) return text;
  for (WCHAR* p = text; *p; ++p) *p = platform::CharUpper(*p);
  return text;
}

const WCHAR* WuStrRChrOrEnd(const WCHAR* text, WCHAR c) {
  if (!text) return text;
  const WCHAR* found = nullptr;
  const WCHAR* p = text;
  for (; *p; ++p)
    if (*p == c) found = p;
  return found ? found : p;
}

// ---- Comparison ------------------------------------------------------------------------
//
// The bounded comparisons compare the n-character prefixes in place, in the
// same order as lstrcmpiW and lstrcmpW on copies of those prefixes.

int WuStrCmpNI(LPCWSTR a, LPCWSTR b, int n) { return CompareN(a, b, n, true); }
int WuLstrCmpN(LPCWSTR a, LPCWSTR b, int n) { return CompareN(a, b, n, false); }

// ---- Byte texts -------------------------------------------------------------------------

int WuWideToMultiByte(LPSTR dest, LPCWSTR source, int size, UINT code_page) {
  if (!dest || size <= 0) return 0;
  // Zero first: a text that does not fit leaves the whole characters that
  // fitted, and nothing stale may follow them.
  std::memset(dest, 0, static_cast<size_t>(size));
  if (!source || !*source) return 0;
  int written = WideCharToMultiByte(code_page, 0, source, -1, dest, size, nullptr, nullptr);
  dest[size - 1] = 0;
  return written > 0 ? written - 1 : 0;  // the count included the terminator
}

LPSTR WuStrCpyNA(LPSTR dest, LPCSTR source, int size) {
  if (!dest || size <= 0) return dest;
  lstrcpynA(dest, source, size);
  dest[size - 1] = 0;
  return dest;
}

LPSTR WuStrCatNA(LPSTR dest, LPCSTR source, int size) {
  AppendBounded(dest, source, size);
  return dest;
}

// ---- Library allocator --------------------------------------------------------------------

void* WuGlobalNew(SIZE_T bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!block) return nullptr;
  void* pointer = GlobalLock(block);
  if (!pointer) GlobalFree(block);
  return pointer;
}

void WuGlobalDelete(void* pointer) {
  if (!pointer) return;
  HGLOBAL block = GlobalHandle(pointer);
  if (!block) return;
  GlobalUnlock(block);
  GlobalFree(block);
}

// ---- Files ----------------------------------------------------------------------------------

BOOL WuIsDirectory(LPCWSTR path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
             ? TRUE
             : FALSE;
}

LONGLONG WuSeekFile(HANDLE file, LONG distance_low, LONG distance_high, DWORD move_method) {
  LONG high = distance_high;
  SetLastError(ERROR_SUCCESS);
  DWORD low = SetFilePointer(file, distance_low, &high, move_method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return -1;
  return static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low);
}
