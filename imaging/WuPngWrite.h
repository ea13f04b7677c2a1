// Writing bitmaps as PNG files.
//
// The bitmap is converted to a working copy of the options' pixel type
// (28 or 29: four bytes a pixel) through WuDibCopy at quality 3, and written
// by libpng as an 8-bit RGBA image (colour type 6), rows top first, red
// first: filters None, Sub and Paeth, zlib level 9, optionally
// Adam7-interlaced, flushed every 50 rows.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// Options of WuSaveDiskPngDib.
struct WUPNGFILEOPTIONS {
  int32_t pixelType;  // pixel type of the working copy: 28 or 29
  int32_t interlace;  // non-zero: Adam7-interlaced file
};
static_assert(sizeof(WUPNGFILEOPTIONS) == 8);

// Writes the bitmap (rows null: the rows inside the block) to `path`, as
// a new file or in place of an existing one. 0; E_INVALIDARG for another
// pixel type in the options or a bitmap without pixels; the copy's
// failure; E_OUTOFMEMORY; 0x8004E006 when the file cannot be created or
// put in place of the existing one; E_FAIL for a libpng error or a write
// that fails part-way (a full disk). The whole file is encoded in memory
// first and written to a new file beside the target ("png" + digits +
// ".tmp"), which is renamed over the target once written whole: a failed
// save at any step leaves an existing file as it was and no new file
// behind. Every resource is released on every path.
HRESULT WuSaveDiskPngDib(LPCWSTR path, const BITMAPINFOHEADER* header, const void* rows,
                         const WUPNGFILEOPTIONS* options);
