// The geometry record that every scaler shares, and the function that
// fills it from a destination and a source buffer description.
//
// Each side of a scaling call is described by its bits (the address of row
// 0, row r at bits + r * stride), its size in whole pixels, its signed
// stride in bytes and an optional rectangle in Q14 units (16,384 to a
// pixel; right and bottom exclusive; null for the whole image).
#pragma once

#include "platform/kernel/types.h"

// The scaling geometry of one call, in Q14 units.
struct WUSUBPIXELPARAM {
  BYTE* dstBits;        // destination bits, as passed
  LONG dstStride;       // destination stride, as passed
  RECT dstClip;         // destination rectangle clipped to the destination image
  RECT dstRect;         // destination rectangle as requested (whole image when none)
  const BYTE* srcBits;  // source bits, as passed
  LONG srcStride;       // source stride, as passed
  RECT srcUsed;         // the part of the source that maps onto dstClip
  RECT srcClip;         // source rectangle clipped to the source image
  LONG stepX;           // (source span - 1 px) / (destination span - 1 px); 0 under 2 px
  LONG stepY;           // the same vertically
  LONG ratioX;          // source length per destination length; 0x4000 is 1:1
  LONG ratioY;          // the same vertically
};

// Zero-fills `param`, then fills it. Returns 1 when the record is usable
// and 0 when the geometry is rejected: the clipped source under one pixel
// wide or high, the requested or the clipped destination under 1/16 pixel,
// an image whose bounds do not fit Q14 in 32 bits, a ratio that is 0 or
// does not fit 32 bits, or a mapping that leaves no source to read.
int WuPrepareSubpixelParam(WUSUBPIXELPARAM* param, void* dstBits, const SIZE* dstSize,
                           LONG dstStride, const RECT* dstRect, const void* srcBits,
                           const SIZE* srcSize, LONG srcStride, const RECT* srcRect);

// Converts a rectangle in whole pixels to Q14. FALSE, with `out` zeroed,
// when a coordinate's Q14 form does not fit a signed 32-bit value.
BOOL WuRectPixelsToQ14(RECT* out, const RECT* pixels);
