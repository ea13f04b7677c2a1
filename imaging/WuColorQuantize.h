// Colour quantisation and fading.
//
// Colour cube: a colour is reduced to 5 bits per channel (the top 5 bits of
// each byte, or of each 16-bit lane); its cell is red * 1024 + green * 32 +
// blue, 32,768 cells in all.
//
// The inverse colour table holds one palette index per cell: the entry
// nearest to the cell along the cube's edges (city-block distance), ties
// going to whichever entry spreads first in the table's scan order. Palette
// bitmaps (types 23 and 24) are written through it by the copy, fill and
// interlaced-copy operations.
#pragma once

#include "imaging/WuColorRecords.h"
#include "imaging/WuPixelTypes.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

constexpr int WU_COLOR_CELLS = 32768;  // cells of the 5-bit colour cube

// The cell of a colour given as bytes.
inline int WuColorCell(BYTE red, BYTE green, BYTE blue) {
  return ((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3);
}

// Builds the inverse colour table for the bitmap's palette (biClrUsed
// entries after the header, at most 256). *table receives 32,768 bytes of
// global memory (GMEM_FIXED: the pointer is the handle) that the caller
// frees with WuDibFreeColorQuantizer. 0; E_INVALIDARG when biClrUsed is 0
// (or the header null); E_OUTOFMEMORY. *table is null on failure.
HRESULT WuDibCreateColorQuantizer(BYTE** table, const BITMAPINFOHEADER* palette);
// Frees a table of WuDibCreateColorQuantizer; null is ignored.
void WuDibFreeColorQuantizer(BYTE* table);

// Writes a palette for the colours used inside the source rectangle (whole
// pixels, null for the whole source) into the destination's palette
// entries: colours are grouped into boxes of the cube, growing toward bright
// colours, and each box gives one entry (its channels the middle of the
// box's used span, times 8; fourth byte 0). At most biClrUsed entries are
// written; the rest and biClrUsed stay. `flags` is the pipeline's flags
// word for fetching the source. 0 (also for an empty rectangle); E_NOTIMPL
// for a source type outside 16 to 32 or a destination that is not type 23
// or 24; E_INVALIDARG for biClrUsed 0; E_OUTOFMEMORY.
HRESULT WuDibQuantizePalette(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src,
                             const void* srcRows, const RECT* srcRect, LONG srcStride,
                             DWORD flags);

// Moves the pixels of a rectangle of a type 28, 29 or 32 bitmap toward a
// colour (blue, green, red, alpha floats, each taken as 0.0 to 1.0) by
// `amount` (clamped to 0.0 .. 1.0). The rectangle is in pixels, or in Q14
// units (0x4000 a pixel) with flag 0x1000000; partly covered edge pixels
// move by their coverage. Alpha stays when `keepAlpha` is non-zero. 0 (also
// for an empty rectangle); E_NOTIMPL for another type.
HRESULT WuDibFadeToColor(const BITMAPINFOHEADER* header, void* rows, const RECT* rect,
                         LONG stride, const WURGBAFLOAT* color, float amount, BOOL keepAlpha,
                         DWORD flags);
