// Resource pools: compiled resource (.res) images carried as data and
// searched for a resource by type, name and language.
//
// An image is a run of entries, each on a 4-byte boundary: DataSize and
// HeaderSize (32-bit), TYPE and NAME (0xFFFF and an ordinal, or a terminated
// UTF-16 string), padding to 4 bytes, DataVersion (32-bit), MemoryFlags and
// LanguageId (16-bit), Version and Characteristics (32-bit), then DataSize
// bytes of data padded to 4 bytes. The first entry is an empty one.
#pragma once

#include "foundation/WuKernelState.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// A resource pool.
struct _WURESPOOL {
  DWORD reserved;     // zero; not read by the search
  DWORD size;         // byte length of the image (below 32: nothing is found)
  const BYTE* data;   // the image
};

// The shell-integration pages' dialogs and the about box's pages and bitmaps.
extern _WURESPOOL WuShellUIResPool;
extern _WURESPOOL WuAboutResPool;

// The data of the resource `name` of `type` (each an ordinal below 0x10000
// or a UTF-16 string, compared exactly) in the pool, or NULL. The language
// is `lcid` (0: the kernel handle's) after conditioning; when no entry has
// it, the entry in the kernel handle's language, else the first entry with
// that type and name. *size and *found (when given) receive the data size
// and the entry's language, 0 and 0 when nothing was found.
const void* WuFindResourceInResPool(const _WURESPOOL* pool, DWORD* size, LPCWSTR name,
                                    LPCWSTR type, LCID lcid, LCID* found);
// The same for a dialog template (RT_DIALOG).
const DLGTEMPLATE* WuFindDialogTemplateInResPool(const _WURESPOOL* pool, DWORD* size,
                                                 LPCWSTR name, LCID lcid);
// Runs the pool's dialog `name` modally in the handle's language (1033 when
// it has none). -1 when the template is missing or cannot be copied;
// otherwise what WuDialogBoxIndirectParam returns.
INT_PTR WuResPoolDialogBox(const _WURESPOOL* pool, HWULANG lang, LPCWSTR name, HWND parent,
                           DLGPROC proc, LPARAM param);

// The size in bytes of a packed bitmap's colour table: 3-byte entries after
// a 12-byte core header (by bit count), 4-byte entries after an info header
// (biClrUsed, or by bit count: 1 -> 2, 4 -> 16, 8 -> 256, else 0). -1 for a
// biClrUsed above 256, which no colour table holds.
int WuDibColorTableBytes(const void* header);
// Where a packed bitmap's bits start: after the header, the three masks a
// 40-byte header with BI_BITFIELDS is followed by, and the colour table. -1
// for a null bitmap, a header size other than 12 or 40 to 124 and a colour
// table refused above.
int WuPackedDibBitsOffset(const void* packed);
// A device bitmap made on the screen DC from a packed bitmap (header,
// colour table, bits; see WuPackedDibBitsOffset), or NULL, also for a
// bitmap that WuPackedDibBitsOffset refuses.
HBITMAP WuCreateBitmapFromPackedDib(const void* packed);
