// Path and entry-name helpers of the archive code.
//
// Paths are parsed with both '\' and '/' as separators; paths the archive
// builds use '/' (platform::kPathSeparator). Entry names inside the archive
// keep '\' as their separator. Every helper is bounded: a result that does
// not fit its buffer is refused (false), never cut.
#pragma once

#include "platform/kernel/types.h"

// Units of the path buffers the archive code builds (Linux paths may be
// longer than the platform's MAX_PATH; stored names stay within 259).
constexpr int kArchivePathUnits = 1024;

inline bool ArcIsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

// dst = src. False (dst empty) when it does not fit in size units.
bool ArcCopy(WCHAR* dst, int size, LPCWSTR src);
// dst += the first n units of src (all of it for n < 0). False (dst
// unchanged) when the result does not fit.
bool ArcAppend(WCHAR* dst, int size, LPCWSTR src, int n = -1);
// dst = folder, a '/' unless the folder ends with a separator, then
// relative with every '\' turned into '/'.
bool ArcJoin(WCHAR* dst, int size, LPCWSTR folder, LPCWSTR relative);

// The file-name part: after the last '\' or '/', or after a drive "X:"
// at the start (elsewhere ':' belongs to a name).
LPCWSTR ArcFileNamePart(LPCWSTR path);
// Units of the folder part (up to and including the last '\' or '/', or
// a drive "X:" at the start).
int ArcFolderPartLength(LPCWSTR path);
// Removes trailing separators, keeping a lone root separator.
void ArcStripTrailingSeparators(WCHAR* path);
// Turns every '/' into '\' (the separator of stored names).
void ArcToStoredSeparators(WCHAR* name);
// The absolute form of a path (GetFullPathNameW); false when it cannot be
// made or does not fit.
bool ArcFullPath(LPCWSTR path, WCHAR* out, int size);

// True when an entry name may be joined to a target folder: not empty, no
// leading separator, no drive ("X:"), no ".." component and no empty
// component (both separators count). With allow_trailing a single trailing
// separator (a folder entry) is accepted.
bool ArcIsSafeRelativeName(LPCWSTR name, bool allow_trailing);

// Volume n's file name: the folder of `archive_path`, the stem of the file
// name of `stored_name`, n in decimal, and that file name's extension.
bool ArcVolumeName(WCHAR* dst, int size, LPCWSTR archive_path, LPCWSTR stored_name, DWORD n);
