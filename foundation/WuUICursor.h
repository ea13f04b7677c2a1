// The library's cursors: platform cursors, the 57 built-in ("kernel")
// cursors and the application's cursor resources, each loaded on first
// request and cached until kernel shut-down. Also the loaders of cursor
// bytes: the library's "gcur" container, a single cursor resource (hotspot
// followed by the image) and a .cur file.
//
// "gcur" container (little-endian):
//   0   "gcur"
//   4   offset of a .cur-style file directory (from the container's start)
//   8   group-cursor directory: reserved 0, type 2, count (16-bit each),
//       then count 14-byte entries {width, height (counting the mask),
//       planes, bit count (16-bit each), image bytes (32-bit), id 1..n}
// The file directory holds reserved 0, type 2, count, then 16-byte entries
// {width, height, colours, reserved (8-bit each), hotspot x, hotspot y
// (16-bit each), image bytes, image offset (32-bit each)}; every image is
// directly preceded by its two 16-bit hotspot values, so hotspot and image
// form a cursor resource in place.
//
// The caches are process-wide and unguarded: call from the UI thread.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// Number of built-in cursors (ids 1 .. WU_KERNEL_CURSOR_COUNT).
constexpr UINT WU_KERNEL_CURSOR_COUNT = 57;
// Number of application cursor slots (ids base .. base + 49).
constexpr UINT WU_APP_CURSOR_COUNT = 50;

// Sizes of the container records.
constexpr DWORD WU_GCUR_HEADER_SIZE = 8;      // "gcur" and the directory offset
constexpr DWORD WU_GROUP_DIR_HEADER_SIZE = 6;  // reserved, type, count
constexpr DWORD WU_GROUP_DIR_ENTRY_SIZE = 14;  // one group-directory entry
constexpr DWORD WU_CUR_DIR_HEADER_SIZE = 6;    // reserved, type, count
constexpr DWORD WU_CUR_DIR_ENTRY_SIZE = 16;    // one .cur directory entry

// The cached cursor for an id; never NULL (the platform arrow when the id
// is unknown or its cursor cannot be loaded). Id 0 gives the arrow.
HCURSOR WuGetUICursor(UINT id);
// A new cursor made from built-in cursor `id` (1..57); NULL for another id.
HCURSOR WuLoadKernelCursor(UINT id);
// The bytes of built-in cursor `id` ("gcur" container) and, when `size` is
// not NULL, their count; NULL (size 0) when the id is not in the table.
const BYTE* WuGetKernelCursorBits(UINT id, DWORD* size);
// A cursor from a "gcur" container, a single cursor resource or a .cur
// file. `index` < 0 picks the image best for the display; otherwise the
// directory entry of that index. NULL when the bytes are not a cursor, an
// offset, count or size lies outside them, or the index is out of range.
HCURSOR WuLoadCursorFromBits(const BYTE* data, DWORD size, int index, UINT flags);
// TRUE when size > 27 and the bytes start with "gcur".
BOOL IsWuGroupCursorPtr(const BYTE* data, DWORD size);
// TRUE when the bytes look like one cursor resource (hotspot, then a
// 40-byte BITMAPINFOHEADER whose image size is below `size` and whose
// width and height are at least the hotspot's x and y).
BOOL IsLikelyCursorRESPtr(const BYTE* data, DWORD size);
// TRUE when the bytes look like a .cur file (reserved 0, type 2, a count
// below size / 40, the first image inside the bytes with the directory's
// width).
BOOL IsLikelyCursorFilePtr(const BYTE* data, DWORD size);

// Records the application module whose cursor resources fill the
// application slots, and the first id of its range (kernel start-up).
void WuUICursor_SetAppCursors(HINSTANCE module, UINT baseId);
// Sets the arrow cursor, destroys every cached kernel and application
// cursor and empties the caches (kernel shut-down).
void WuUICursor_LateTerminate();
