// Image sizes and plane layouts of the YUV pixel layouts.
//
// Sizes follow the four-character code in `biCompression` (w = biWidth,
// h = biHeight, signed division truncating toward zero):
//   "v210"          rows of ((w + 5) / 6) * 16 bytes (six pixels in four
//                   32-bit words, no further padding); h rows
//   "I420"          luma w * h, then U and V planes of (w * h) / 4 bytes,
//                   each with stride w / 2
//   "Y41B"          as I420 with chroma strides w / 4
//   "YUYV", "UYVY"  2 * w bytes per row; h rows
//   any other       0
// YUV planes are top-down.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// Where the planes of a YUV image lie: 20 bytes, five signed 32-bit fields.
// The three chroma fields are 0 for packed layouts.
struct WUYUVPLANELAYOUT {
  LONG lumaStride;  // bytes from one luma (or packed) row to the next
  LONG uOffset;     // byte offset of the U plane from the image start
  LONG uStride;     // bytes per U row
  LONG vOffset;     // byte offset of the V plane from the image start
  LONG vStride;     // bytes per V row
};
static_assert(sizeof(WUYUVPLANELAYOUT) == 20);

// The image size in bytes of a YUV header (0 for any other code or a null
// header; 0xFFFFFFFF for a size past 32 bits, which a header from a file may
// state). When `layout` is given it is zero-filled and receives the luma
// stride and, for the planar codes when (w * h) / 4 is not 0, the chroma
// offsets and strides.
DWORD WuYUVImageBytesAndOffsets(const BITMAPINFOHEADER* header, WUYUVPLANELAYOUT* layout);

// The same size for a width and height of any 32-bit value (a height's
// magnitude may be 2^31), computed without overflow: exact, or saturated at
// the 64-bit limits. 0 for a code that has no YUV size.
int64_t WuYUVImageBytes64(DWORD compression, int64_t width, int64_t height);
