// Bitmap chores of the custom controls: recolouring a 16-colour UI bitmap
// on load, replacing a bitmap's background colour, transparency masks,
// extracting a resource to a file, and the marker (flag) shape.
// Bitmaps and masks returned belong to the caller.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

typedef struct WULANG* HWULANG;  // language handle (foundation/WuLang.h)

// The bitmap resource `name` (found through the language handle) as a
// device bitmap, with palette entries 0, 7, 8, 15, 11 and 10 replaced by
// c0, c7, c8, c15, c11 and c10. NULL when the resource is missing, is not a
// BITMAPINFOHEADER bitmap of 8 or fewer bits with a colour table of at
// least 16 entries, or its pixel rows do not fit in it.
HBITMAP WuLoadUIBitmapEx(HWULANG lang, LPCWSTR name, COLORREF c0, COLORREF c7, COLORREF c8,
                         COLORREF c15, COLORREF c11, COLORREF c10);
// Replaces every pixel of the background colour (the colour of pixel 0, 0)
// of the bitmap selected into `dc` (described by `bitmap`) with `color`.
// Monochrome bitmaps, and bitmaps whose pixel 0, 0 already has the colour,
// are left alone. TRUE.
BOOL WuBitmapColorTranslate(HDC dc, const BITMAP* bitmap, COLORREF color);
// A new one-bit mask, 1 where `bitmap` had the key colour; those pixels of
// the bitmap become black. `dc` NULL uses the screen. NULL on failure.
HBITMAP WuCreateBitmapMask(HDC dc, HBITMAP bitmap, COLORREF key);
// Writes the bytes of resource `name` of `type` as the whole file `path`
// (created when absent; an existing file is replaced only once the new one
// is written whole, and keeps its permission bits). 0; 0x8004E00A for a
// missing resource, E_UNEXPECTED for one that cannot be loaded or is
// empty, 0x8004E007 when the file cannot be created or replaced (a missing
// folder, a read-only file), 0x8004E009 for a failed write (the old file
// then stays as it was).
HRESULT WuExtractResourceToFile(HWULANG lang, LPCWSTR name, LPCWSTR type, LPCWSTR path);
// Draws a marker of `type` 0..7 in `rect`: a flag whose point, `pointHeight`
// pixels tall, hangs at the bottom left (0, 4) or right (1, 5), or whose top
// edge slopes down (2, 6) or up (3, 7) to the right; types 4..7 have a
// face-coloured inner rectangle. 0.
int WuMarker_Create(HDC dc, const RECT* rect, int type, COLORREF color, int pointHeight);
// Fills the rectangle with the DC's background colour.
void WuFillRectWithBkColor(HDC dc, const RECT* rect);
