// Pixel operations on bitmaps: vertical flip, red/blue swap, rectangle
// fill and single pixels.
//
// Every operation takes a header, a rows pointer (null: the rows inside
// the block) and a stride (0: the natural stride). Rows are bottom-up; a
// rectangle is top-down in whole pixels, right and bottom exclusive, and
// is intersected with the image (null: the whole image). An empty
// rectangle is success with nothing done.
#pragma once

#include "imaging/WuColorRecords.h"
#include "imaging/WuPixelTypes.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

constexpr DWORD WUDIB_SUBPIXEL = 0x1000000;  // rectangles in Q14 units (0x4000 a pixel)

// Reverses the order of the rectangle's rows, touching only the pixels in
// its columns. Types 23 to 29 and 31. E_NOTIMPL for another type, and with
// the horizontal flag (horizontal flipping is not provided; nothing
// changes). 0 otherwise, also without the vertical flag.
HRESULT WuDibFlip(const BITMAPINFOHEADER* header, void* rows, const RECT* rect, LONG stride,
                  BOOL horizontal, BOOL vertical);

// Swaps bytes 0 and 2 of each pixel inside the rectangle (types 27, 28
// and 29); E_NOTIMPL for any other type.
HRESULT WuDibSwapRB(const BITMAPINFOHEADER* header, void* rows, const RECT* rect, LONG stride);

// Fills the rectangle (Q14 with WUDIB_SUBPIXEL, then taken in whole
// pixels) with one colour: red, green, blue, alpha from 0.0 to 1.0,
// converted through the pipeline with the image's type on both sides and
// `flags` (its quality bits decide the lanes). Integer lanes take each value
// clamped to 0..1 first; float lanes store the values as given. Palette
// types store the nearest palette entry. E_NOTIMPL for a type outside 16 to
// 32; the colour table's failure (E_INVALIDARG without a palette,
// E_OUTOFMEMORY).
HRESULT WuDibSet(const BITMAPINFOHEADER* header, void* rows, const RECT* rect, LONG stride,
                 float red, float green, float blue, float alpha, DWORD flags);
// WuDibSet with the record's red, green, blue and alpha.
HRESULT WuDibFillRect(const BITMAPINFOHEADER* header, void* rows, const RECT* rect, LONG stride,
                      const WURGBAFLOAT* color, DWORD flags);

// One pixel as four 16-bit lanes blue, green, red, alpha (0xFFFF full), 8
// bytes. Get: E_NOTIMPL for an unknown type or a coordinate outside the
// image. Set: E_NOTIMPL for an unknown type, E_INVALIDARG outside the
// image; palette types store the nearest entry (the table's failure is
// returned).
HRESULT WuDibGetPixel(const BITMAPINFOHEADER* header, const void* rows, LONG stride, LONG x,
                      LONG y, BYTE pixel[8]);
HRESULT WuDibSetPixel(const BITMAPINFOHEADER* header, void* rows, LONG stride, LONG x, LONG y,
                      const BYTE pixel[8]);
