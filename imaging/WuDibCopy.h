// Copying one bitmap into another with pixel-type conversion, clipping and
// optional scaling.
//
// Headers, rows pointers (null: the rows inside the block) and strides (0:
// the natural stride) as everywhere in the image code; rows are bottom-up,
// rectangles top-down, right and bottom exclusive, in whole pixels or, with
// WUDIBCOPY_SUBPIXEL, in Q14 units (0x4000 a pixel).
//
// WuDibCopy picks one of four roads:
//   - scalers: at quality 3 or more, two bitmaps of type 28 or 29 (any
//     sizes), or two of type 32 whose rectangles differ in width and in
//     height, go to the bilinear scaler (bicubic with WUDIBCOPY_BICUBIC);
//     sub-pixel rectangles with fractions go to the scalers' sub-pixel
//     entries for those pairs;
//   - the general copy: one pixel-exchange pipeline from the source type to
//     the destination type, walking destination rows and sampling the
//     source (steps in Q14), with fast paths for same-size 8-bit and float
//     pairs;
//   - the edge-fade copy (any of flag bits 12 to 15): a second pipeline
//     fetches the pixel already in the destination and cross-fades the new
//     one into it near the enabled edges;
//   - the sub-pixel pipeline copy for other pairs: partly covered edge
//     pixels keep their uncovered share of the old pixel.
#pragma once

#include "imaging/WuDib.h"
#include "imaging/WuPixelTypes.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

constexpr DWORD WUDIBCOPY_QUALITY = 0x0000000F;     // quality level; below 3 whole pixels only
constexpr DWORD WUDIBCOPY_EDGES = 0x0000F000;       // any: the edge-fade copy
constexpr DWORD WUDIBCOPY_FADE_BOTTOM = 0x00001000; // fade the last rows
constexpr DWORD WUDIBCOPY_FADE_TOP = 0x00002000;    // fade the first rows
constexpr DWORD WUDIBCOPY_FADE_LEFT = 0x00004000;   // fade the first columns
constexpr DWORD WUDIBCOPY_FADE_RIGHT = 0x00008000;  // fade the last columns
constexpr DWORD WUDIBCOPY_SUBPIXEL = 0x01000000;    // rectangles in Q14 units
constexpr DWORD WUDIBCOPY_AREA = 0x02000000;        // scalers: average shrinking areas
constexpr DWORD WUDIBCOPY_BICUBIC = 0x04000000;     // bicubic scalers instead of bilinear
constexpr DWORD WUDIBCOPY_OVERWRITE = 0x08000000;   // no blending of partly covered edges

// Clips a destination and a source rectangle (null: the whole bitmap) to
// their bitmaps. The source is clipped first, then the destination; a
// rectangle that misses its bitmap empties both; cuts on one side shrink
// the other rectangle on the same side in proportion to the two
// rectangles' sizes. `deltas` (may be null) receives how far the source's
// left, top, right and bottom moved inward. Without a source rectangle the
// source comes back whole and the deltas 0.
void WuDibPrepareRects(const BITMAPINFOHEADER* dst, RECT* dstOut, const RECT* dstRect,
                       const BITMAPINFOHEADER* src, RECT* srcOut, const RECT* srcRect,
                       RECT* deltas);

// Copies the source rectangle into the destination rectangle (see above).
// `flags`: bits 0 to 3 quality, 12 to 15 edge-fade sides, 16 to 23 edge
// width, the constants above, and the whole word goes to the pipeline.
// Gammas (0.0: the default) are the destination's and the source's.
// 0, also for an empty rectangle; E_NOTIMPL for a type outside 16 to 32;
// E_INVALIDARG for a palette destination without a palette, a geometry
// past 32-bit Q14 arithmetic, or 128-bit float rows (type 32) whose rows
// pointer or stride is not a multiple of 4 (they are read as floats);
// E_OUTOFMEMORY.
HRESULT WuDibCopy(const BITMAPINFOHEADER* dst, void* dstRows, const RECT* dstRect, LONG dstStride,
                  const BITMAPINFOHEADER* src, const void* srcRows, const RECT* srcRect,
                  LONG srcStride, DWORD flags, double dstGamma, double srcGamma);

// One side of a sub-pixel copy.
struct WUDIBSUBPIXELSIDE {
  const BITMAPINFOHEADER* header;  // the bitmap
  WUPIXELTYPE type;                // its pixel type
  int bits;                        // bits per pixel
  BYTE* top;                       // the image's top row (the last row in memory)
  LONG stride;                     // from a row to the row below: minus the stride
  const RGBQUAD* palette;          // colour table (palette types; WuDibColorTable)
  RGBQUAD paddedTable[WUDIB_MAX_COLORS];  // a short colour table padded to every index
  double gamma;                    // gamma for the pipeline
  RECT rect;                       // clipped rectangle, Q14
  SIZE size;                       // the image's size in pixels
};

// Parameters of a sub-pixel pipeline copy.
struct WUDIBSUBPIXELPARAM {
  WUDIBSUBPIXELSIDE dst;  // destination
  WUDIBSUBPIXELSIDE src;  // source
  LONG factorX;           // destination width * 0x4000 / source width
  LONG factorY;           // the same vertically
  LONG ratioX;            // end-to-end ratio for sources wider than 0x7FFF units, else 0
  LONG ratioY;            // the same vertically
  BYTE* inverseMap;       // colour table of a palette destination, or null
  DWORD flags;            // the copy's flags
  HRESULT status;         // why preparation failed: 0 for an empty geometry
};

// Fills `param` from zero. FALSE when nothing is to be copied; `status`
// tells why: 0 (a rectangle under one pixel after clipping), E_NOTIMPL (a
// type outside 16 to 32), E_INVALIDARG (a factor of 0 or past 32 bits), or
// the colour table's failure.
BOOL DibPrepareSubpixelParam(WUDIBSUBPIXELPARAM* param, const BITMAPINFOHEADER* dst,
                             double dstGamma, void* dstRows, const RECT* dstRect, LONG dstStride,
                             const BITMAPINFOHEADER* src, double srcGamma, const void* srcRows,
                             const RECT* srcRect, LONG srcStride, DWORD flags);
// Frees the parameters' colour table.
void DibCleanupSubpixelParam(WUDIBSUBPIXELPARAM* param);
