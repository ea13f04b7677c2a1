// Shortcut (".lnk") files: resolving one to its target through the shared
// shell-link object (foundation/WuShellLink.h).
#pragma once

#include <cstddef>

#include "platform/kernel/types.h"

// What WuIsLnkFile reads of a resolved shortcut (UTF-16 texts, each
// terminated within its field).
struct tWUSHORTCUTINFO {
  WCHAR targetPath[520];     // the target path (at most 519 characters)
  WCHAR workingDir[260];     // working folder of the started program
  WCHAR arguments[1024];     // its arguments
  WCHAR iconLocation[260];   // file holding the icon
  INT iconIndex;             // index of the icon within iconLocation
};
static_assert(sizeof(tWUSHORTCUTINFO) == 4132, "tWUSHORTCUTINFO is a 4,132-byte record");
static_assert(offsetof(tWUSHORTCUTINFO, workingDir) == 1040);
static_assert(offsetof(tWUSHORTCUTINFO, arguments) == 1560);
static_assert(offsetof(tWUSHORTCUTINFO, iconLocation) == 3608);
static_assert(offsetof(tWUSHORTCUTINFO, iconIndex) == 4128);

// Resolves the shortcut `path` when its file name ends in ".lnk" (any case):
// loads it into the shared shell link, resolves it without asking anyone
// and reads its target with GetPath `flags` (0 means SLGP_RAWPATH). TRUE
// when the target exists: `out` (`size` characters) holds the target path,
// and `info`, when given, the target (from `out`, unless `info` is `out`),
// arguments, icon location and index, and working folder. Otherwise FALSE
// with `path` copied into `out` (at most size - 1 characters and a
// terminator; nothing when `out` is `path` or `size` is below 1); `info` is
// then not written. Threads may call it at once: the shared link is held
// by one call from the load to its last read.
BOOL WuIsLnkFile(LPCWSTR path, LPWSTR out, int size, DWORD flags, tWUSHORTCUTINFO* info);
