// What the shell tells about a file: SHGetFileInfoW, for its type name.
#pragma once

#include "platform/kernel/types.h"

constexpr UINT SHGFI_TYPENAME = 0x000000400;  // fill szTypeName

struct SHFILEINFOW {
  HICON hIcon;                // icon (not filled here)
  int iIcon;                  // icon index (not filled here)
  DWORD dwAttributes;         // attributes (not filled here)
  WCHAR szDisplayName[260];   // display name (not filled here)
  WCHAR szTypeName[80];       // the type name
};

// With `flags` exactly SHGFI_TYPENAME and an existing path, fills
// info->szTypeName (cut to 79 characters) and returns non-zero:
// - a folder: "File folder";
// - a file whose extension (from the last '.' of its name) is registered
//   under HKEY_CLASSES_ROOT: the default value of the type that the
//   extension key's default value names, when both are non-empty;
// - any other extension: "<EXT> File", the extension in capitals without
//   its dot; no extension: "File".
// Other flags, a missing path, a NULL path or a NULL `info` (or a size
// below sizeof(SHFILEINFOW)) return 0. `attributes` is not used.
DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags);
