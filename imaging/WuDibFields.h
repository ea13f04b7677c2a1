// Field operations on interlaced frames held as bitmap blocks.
//
// Lines are counted from the top, from 0. Field 1 holds lines 0, 2, 4, ...
// (the top line), field 0 lines 1, 3, 5, .... In the rotated form the
// fields are alternate columns counted from the right edge; field 1 holds
// the rightmost column. Bitmaps are bottom-up (positive height).
#pragma once

#include "imaging/WuPixelTypes.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// Copies the rows of one field from the source into the destination (same
// depth, width and height, of a type the depth table knows: 16 to 32; else
// E_NOTIMPL). Each row copies
// (bits * width + 7) / 8 bytes. 0, also when no row is copied.
HRESULT WuDibMergeFields(const BITMAPINFOHEADER* dst, void* dstRows, LONG dstStride,
                         const BITMAPINFOHEADER* src, const void* srcRows, LONG srcStride,
                         int field, DWORD reserved);

// The same for a frame turned by 90 degrees: the field's columns. Depths 32
// and 128 only; any other gives E_NOTIMPL and copies nothing.
HRESULT WuDibMergeFieldsRotated(const BITMAPINFOHEADER* dst, void* dstRows, LONG dstStride,
                                const BITMAPINFOHEADER* src, const void* srcRows, LONG srcStride,
                                int field, DWORD reserved);

// De-interlacing copy of a rectangle through the pixel-exchange pipeline
// (flags go to it unchanged; 0x1000000: rectangles in Q14, truncated to
// pixels). Lines of the kept field are converted as they are; the others
// become the average of the source lines next to them inside the
// rectangle. Each rectangle is intersected with its image first. 0 (also
// for an empty rectangle); E_NOTIMPL for a type outside 16 to 32 or
// rectangles of different sizes; the colour table's failure for a palette
// destination.
HRESULT WuDibCopyInterlace(const BITMAPINFOHEADER* dst, void* dstRows, const RECT* dstRect,
                           LONG dstStride, const BITMAPINFOHEADER* src, const void* srcRows,
                           const RECT* srcRect, LONG srcStride, int field, DWORD flags);
