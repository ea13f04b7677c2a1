// Path strings and file facts: pure operations on path texts (file-name and
// extension pointers, slashes, extensions, folder and root parts, wildcard
// matching, relative base paths) and small queries about single files
// (existence, writability, executable kind, DOS time stamps, size texts).
//
// Path rules of the whole library apply: when a path is parsed, both '\'
// and '/' separate its names (and ':' ends a drive); "X:\", a UNC prefix
// "\\server\share\" and "/" are roots; when a path is built, '/' is written
// (platform::kPathSeparator). Sizes are in characters, terminator included.
// No function writes past the size it is given.
#pragma once

#include "platform/kernel/types.h"

// TRUE for the characters that separate names: '\' and '/'.
constexpr bool WuIsPathSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

// ---- Name and extension pointers ----------------------------------------------
// The file-name part: the text after the last separator or drive colon
// (the whole path when there is neither). A ':' ends a drive only as "X:"
// at the start of the path, as the path mapping reads it: "shots/12:30.png"
// names "12:30.png". Null for null.
const WCHAR* WuGetFileNamePtrW(const WCHAR* path);
inline WCHAR* WuGetFileNamePtrW(WCHAR* path) {
  return const_cast<WCHAR*>(WuGetFileNamePtrW(static_cast<const WCHAR*>(path)));
}
// The byte-text twin (ANSI or UTF-8 text: separators are single bytes in
// both, so the text is stepped byte by byte).
const CHAR* WuGetFileNamePtrA(const CHAR* path);
inline CHAR* WuGetFileNamePtrA(CHAR* path) {
  return const_cast<CHAR*>(WuGetFileNamePtrA(static_cast<const CHAR*>(path)));
}

// The extension: the last '.' of the file-name part, provided no white-space
// character follows it; otherwise (and without a '.') the terminator. A dot
// in a folder name is never taken for the file's extension. Null for null.
const WCHAR* WuGetFileNameExtensionPtrW(const WCHAR* path);
inline WCHAR* WuGetFileNameExtensionPtrW(WCHAR* path) {
  return const_cast<WCHAR*>(WuGetFileNameExtensionPtrW(static_cast<const WCHAR*>(path)));
}
// The byte-text twin (white space as the C runtime's isspace in the "C"
// locale).
const CHAR* WuGetFileNameExtensionPtrA(const CHAR* path);
inline CHAR* WuGetFileNameExtensionPtrA(CHAR* path) {
  return const_cast<CHAR*>(WuGetFileNameExtensionPtrA(static_cast<const CHAR*>(path)));
}

// Copies the file-name part into `buffer` (bounded) and cuts it at its
// extension. Returns the position of the cut in `buffer` (its terminator);
// null when there is no buffer or size < 1.
WCHAR* WuGetFileNameWithoutPathOrExtension(LPCWSTR path, LPWSTR buffer, int size);

// ---- Editing (results always terminated) --------------------------------------
// Appends '/' unless the path is empty or already ends in a separator.
// Returns the new length; 0 for an empty path, when there is no room
// (length + 2 > size) or when no terminator lies within the size.
int WuAddSlashToPathName(LPWSTR path, int size);
// Removes one trailing separator (the root "/" is kept). Returns the new
// length; 0 for an empty path or when no terminator lies within the size.
int WuRemoveSlashFromPathNameEnd(LPWSTR path, int size);
// When the path has a file-name part, replaces its extension (or appends at
// its end) with `ext`, putting a '.' first when `ext` lacks one; an empty
// or null `ext` removes the extension. Bounded by the size. Returns the
// path's length.
int WuReplaceExtensionOnPathName(LPWSTR path, int size, LPCWSTR ext);
// Gives the file name the extension `ext` (with or without its '.'): when
// the current extension differs from "." + ext (without regard to case),
// "." + ext is written over it, bounded by the size. Returns the length.
int WuAddExtensionToPathName(LPWSTR path, int size, LPCWSTR ext);
// Adds a separator, appends `name` without its leading separators
// (bounded), then, when `ext` is given, replaces the extension of the
// appended part. Returns the total length.
int WuAppendToPathName(LPWSTR path, int size, LPCWSTR name, LPCWSTR ext);
// Scans a file name for the characters " * / : < > ? \ |. Without `fix`
// returns FALSE at the first one found; with `fix` replaces each by '_' and
// returns FALSE when any was found. TRUE for a clean name.
BOOL WuValidateFileName(LPWSTR name, BOOL fix);

// ---- Parts of a path ------------------------------------------------------------
// The folder part (up to and including the last separator or drive colon) of the
// path's first 519 characters, copied to `dest` only when it fits (dest may
// be the path itself). Returns its length; 0 for an empty path, a path
// without separator, or when it does not fit.
int WuGetPathNameFromFilePath(LPCWSTR path, LPWSTR dest, int size);
// The root of the path's first 259 characters: "\\server\share\" (up to
// and including the separator after the share name), "X:\" or "/". `dest`
// is cleared first and receives the root only when it fits. Returns its
// length; 0 for a path without such a root (relative paths, "C:name",
// "\\server\share" without a separator after the share).
int WuGetRootPathFromFilePath(LPCWSTR path, LPWSTR dest, int size);
// For a path of 4 to 259 characters: drops a trailing separator, then cuts
// after the last separator (keeping it). FALSE when no separator remains
// or the length is out of range; TRUE after writing back (bounded).
BOOL WuDirectoryUpOneLevel(LPWSTR path, int size);
// The start of the longest tail of `path` made of whole names that `base`
// ends with too (compared without regard to case, '\' equal to '/').
// Returns a pointer into `path`; null when either is null.
const WCHAR* WuGetFileNamePtrRelative(LPCWSTR base, LPCWSTR path);
// `path` cut where its common tail with `base` begins, ending in a
// separator. E_FAIL when it does not fit (or for null arguments), S_OK.
HRESULT WuGetBasePathRelative(LPCWSTR base, LPCWSTR path, LPWSTR buffer, int size);
// When `path` begins with the folder `old_base` (whole names, without
// regard to case), the result is `new_base` followed by the rest of `path`,
// provided it holds at most 259 characters and fits the buffer: S_OK.
// Otherwise the buffer is cleared and E_FAIL returned.
HRESULT WuReplaceBasePathRelative(LPCWSTR path, LPCWSTR old_base, LPCWSTR new_base, LPWSTR buffer,
                                  int size);
// Wildcard match of a name against a pattern by the library's rules: "*"
// alone matches every name; '*' stops at a '.'; '?' is any one character;
// other characters must be equal (case counts); a name ending in "." may
// omit it; a pattern ending in "." or ".*" also matches a name without
// extension.
BOOL WuIsMatchWildCard(LPCWSTR pattern, LPCWSTR name);
// Compares two file names as people read them: runs of digits compare by
// their value, other characters without regard to case. -1, 0 or 1.
int WuFilenameLogicalCompare(LPCWSTR a, LPCWSTR b);

// TRUE when the full long form of `name` (WuGetFullPathName) fits
// `buffer` of `size` characters; FALSE for size 0 or a failure.
BOOL WuQualifyPath(LPCWSTR name, LPWSTR buffer, int size);

// ---- Single files -----------------------------------------------------------------
// TRUE when the attributes can be read and show none of folder, hidden (a
// name starting with '.') and device.
BOOL WuDoesFileExist(LPCWSTR path);
// TRUE when the existing file opens for writing (sharing writes).
BOOL WuIsFileWritable(LPCWSTR path);
// Appends `count` bytes to a file opened for appending (or whose pointer
// stands at its end). When they do not all go out (a full disk), the file
// is cut back to its old size, so that it never ends in a fragment, and the
// result is FALSE with the last error of the write.
BOOL WuAppendFileWhole(HANDLE file, const void* bytes, DWORD count);

// Machine numbers reported for executable images.
constexpr WORD WU_MACHINE_UNKNOWN = 0x0000;
constexpr WORD WU_MACHINE_I386 = 0x014C;
constexpr WORD WU_MACHINE_ARM = 0x01C0;
constexpr WORD WU_MACHINE_AMD64 = 0x8664;
constexpr WORD WU_MACHINE_ARM64 = 0xAA64;
// Characteristics reported for ELF images (the image-header bits they
// stand for).
constexpr WORD WU_IMAGE_EXECUTABLE = 0x0002;
constexpr WORD WU_IMAGE_LARGE_ADDRESS_AWARE = 0x0020;
constexpr WORD WU_IMAGE_32BIT_MACHINE = 0x0100;

// TRUE when the open file is an executable image: a platform image ("MZ",
// the header offset at byte 60, "PE\0\0" there; the machine is the 16-bit
// value 4 bytes after it and the characteristics the one 22 bytes after),
// or an ELF executable or shared object of this system (machine numbers
// mapped to the WU_MACHINE_* values, x86-64 as WU_MACHINE_AMD64, and the
// WU_IMAGE_* characteristics). `machine` and `characteristics` may be null.
// The file position is left at 0.
BOOL WuIsFileExecutable(HANDLE file, WORD* machine, WORD* characteristics);
// Opens the file for reading and checks it: S_OK for an executable image,
// 0x8004E00B when it is not, the translated Win32 error when it cannot be
// opened.
HRESULT WuGetFileExecutableInfo(LPCWSTR path, WORD* machine, WORD* characteristics);

// The last-write time as a DOS date (high 16 bits) and time (low 16 bits),
// in local time; 0 when the file cannot be opened or its time has no DOS
// form (before 1980 or after 2107).
DWORD WuDosGetDateTime(LPCWSTR path);
// The same in UTC.
DWORD WuDosGetDateTimeUTC(LPCWSTR path);
// The current local date and time in two words: words[0] = (day | month <<
// 8) << 16 | year; words[1] = ((hour << 8 | minute) << 8 | second) << 8 |
// hundredths. Returns the hundredths.
DWORD WuGetDateTime(DWORD words[2]);

// Size in characters, terminator included, that the byte-size texts need.
constexpr int WU_BYTESIZE_TEXT_MAX = 32;
// A byte count as text in `buffer` (WU_BYTESIZE_TEXT_MAX characters):
// below 1,024 the plain number, then KB (units of 1,024), MB (units of
// 1,024,000) and GB (units of 1.024e9) with two decimals in the user's
// locale, without a space ("1.50KB"). Returns the length.
int WuGetByteSizeText(LONGLONG count, LPWSTR buffer);
// The same with a space and "bytes" for the plain number ("1023 bytes",
// "1.50 KB").
int WuGetByteSizeText2(LONGLONG count, LPWSTR buffer);

// FALSE for the shell folders a user sees and browses (documents, desktop,
// profile, shared documents, music, pictures, video: CSIDL 5, 12, 16, 25,
// 40, 46, 53, 54, 55; flag bits ignored), TRUE for every other.
BOOL WuIsHiddenFolderByDefault(int csidl);
