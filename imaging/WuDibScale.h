// The bitmap scalers: bicubic (four-tap cubic convolution) and bilinear,
// each with a whole-pixel and a sub-pixel entry, and area averaging for
// directions that shrink.
//
// Arguments, the same for all four:
// - dstBits, dstSize, dstStride, dstRect: the destination buffer (row r at
//   dstBits + r * dstStride, size in whole pixels) and the rectangle to
//   fill, or null for the whole image;
// - srcBits, srcSize, srcStride, srcRect: the source, likewise;
// - bytesPerPixel: 4 (blue, green, red, alpha bytes) or 16 (four floats in
//   the same order; rows and strides on 4-byte boundaries, else refused);
//   any other value is refused;
// - areaFlag: non-zero averages the covered source area in directions that
//   shrink instead of sampling it;
// - overwriteFlag: non-zero writes partly covered edge pixels instead of
//   blending them over the destination.
// The sub-pixel entries take rectangles in Q14 units (16,384 to a pixel),
// the others in whole pixels. The destination area written is the clipped
// destination rectangle rounded out to whole pixels. Every call returns 0;
// a refused geometry (see WuPrepareSubpixelParam) or pixel size writes
// nothing. Calls on disjoint destinations may run in parallel.
#pragma once

#include "imaging/WuSubpixelParam.h"
#include "platform/kernel/types.h"

HRESULT WuDibScale_BiCubic(void* dstBits, const SIZE* dstSize, LONG dstStride, const RECT* dstRect,
                           const void* srcBits, const SIZE* srcSize, LONG srcStride,
                           const RECT* srcRect, int bytesPerPixel, int areaFlag, int overwriteFlag);
HRESULT WuDibScale_BiCubicSubPixel(void* dstBits, const SIZE* dstSize, LONG dstStride,
                                   const RECT* dstRect, const void* srcBits, const SIZE* srcSize,
                                   LONG srcStride, const RECT* srcRect, int bytesPerPixel,
                                   int areaFlag, int overwriteFlag);
HRESULT WuDibScale_Bilinear(void* dstBits, const SIZE* dstSize, LONG dstStride, const RECT* dstRect,
                            const void* srcBits, const SIZE* srcSize, LONG srcStride,
                            const RECT* srcRect, int bytesPerPixel, int areaFlag, int overwriteFlag);
HRESULT WuDibScale_BilinearSubPixel(void* dstBits, const SIZE* dstSize, LONG dstStride,
                                    const RECT* dstRect, const void* srcBits, const SIZE* srcSize,
                                    LONG srcStride, const RECT* srcRect, int bytesPerPixel,
                                    int areaFlag, int overwriteFlag);
