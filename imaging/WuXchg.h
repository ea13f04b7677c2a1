// Pixel-exchange pipeline: converts pixels between any two bitmap pixel
// types (16 to 32), one or four pixels at a time, with optional
// interpolation, area averaging, gamma correction and a per-pixel operation
// between fetch and store.
//
// A caller asks WuXCHGGetFunctionPointers for a WUXCHGFUNCS record that
// fits its destination type, source type and flags, then
//   1. sets `src`, `srcBit`, `dst`, `dstBit`, `srcStride`, the weights and,
//      for palette types, `srcPalette` and `inverseMap`;
//   2. per destination pixel calls one fetch (`fetch`, `fetchBilinear`,
//      `fetchVertical` or `fetchArea`; `fetch4` with `store4` for runs of
//      four), then `op` when an option record was given, then `store`;
//   3. calls WuXCHGFreeCurves at the end.
// The record is both the table of chosen functions and the working state
// they read and write. Each function takes the record's address: one
// indirect call per pixel, with no test of the pixel type inside the loop.
//
// Lanes. Between fetch and store a pixel lives in a slot of `pixels` in
// one of three forms (`laneMode`):
//   - 16-bit lanes (1): blue, green, red, alpha as 16-bit values, 0xFFFF full;
//   - 8-bit lanes (0): the same as bytes in the first four bytes of a slot;
//   - float lanes (2): four floats, nominal range 0.0 to 1.0.
// Weights and positions have 14 fraction bits (0x4000 is 1.0).
//
// Flags: the low four bits are a quality level (1 to 4 become 0x180,
// 0x1C0, 0x1E0, 0x1F0 after masking with 0x07FFF1F0; other values keep the
// flags as given); 0x10 forces 16-bit lanes; 0x20 chooses interpolating
// fetches and exact widening of bytes (x 257); 0x40 the second operation
// row; 0x80 the alternate operation tables; 0x1000 to 0x8000 the edge-fade
// sides and bits 16 to 23 the edge-fade width, read by the bitmap copy.
#pragma once

#include "imaging/WuColorMath.h"
#include "imaging/WuGammaCurve.h"
#include "imaging/WuPixelTypes.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

struct WUXCHGFUNCS;

// A fetch, store or one-record operation.
typedef void (*WUXCHGFUNC)(WUXCHGFUNCS* record);
// A four-pixel operation: slots 0 to 3 of `a` are A and receive the
// results, slots 0 to 3 of `b` are B; the parameters come from `b`.
typedef void (*WUXCHGOP4FUNC)(WUXCHGFUNCS* a, const WUXCHGFUNCS* b);

// Options of the per-pixel operation, filled by the caller in both lane
// forms (the builder decides which lanes the record uses).
struct WUXCHGOPTIONS {
  DWORD opCode;      // 0 to 19: the operation
  WORD key[3];       // reference colour blue, green, red (16-bit lanes)
  LONG tolerance;    // key tolerance: sum of |differences| of blue, green, red
  WORD amount;       // amount, fraction of 65,536
  WORD param2;       // second parameter (a low level, a shade amount)
  BYTE key8[3];      // reference colour in 8-bit lanes
  SHORT tolerance8;  // tolerance in 8-bit lanes
  BYTE amount8;      // amount for 8-bit lanes, fraction of 256
  BYTE param28;      // second parameter in 8-bit lanes
};

// Four working slots: four 16-bit lanes each (8-bit lanes use the first
// four bytes of a slot), or four floats each in float lanes.
union WUXCHGPIXELS {
  WORD w[4][4];   // 16-bit lanes, slots of 8 bytes (lanes 0..3 used)
  BYTE b[4][8];   // 8-bit lanes, bytes 0..3 of each 8-byte slot
  float f[4][4];  // float lanes, slots of 16 bytes
};
static_assert(sizeof(WUXCHGPIXELS) == 64);

struct WUXCHGFUNCS {
  DWORD flags;                // the effective flags
  WUPIXELTYPE srcType;        // source pixel-type code
  WUPIXELTYPE dstType;        // destination pixel-type code
  WUXCHGFUNC fetch;           // one pixel into slot 0, advances `src`
  WUXCHGFUNC store;           // slot 0 to `dst`, advances `dst`
  WUXCHGFUNC fetchBilinear;   // weighted 2x2 into slot 0, no advance
  WUXCHGFUNC fetch2x2;        // pixel, right, below, below-right into slots 0..3
  WUXCHGFUNC fetch4;          // four pixels into slots 0..3, advances by four
  WUXCHGFUNC store4;          // slots 0..3 as four pixels, advances by four
  WUXCHGFUNC fetchVertical;   // weighted pixel and pixel below into slot 0
  WUXCHGFUNC op;              // per-pixel operation: slot 0 = A (result), slot 1 = B
  WUXCHGOP4FUNC op4;          // the operation on slots 0..3 of two records
  WUXCHGFUNC opKeyMask;       // key mask (op codes 4 and 5 only)
  WUXCHGFUNC opKey2x2;        // key-aware 2x2 interpolation (op codes 4 and 5 only)
  WUXCHGFUNC fetchArea;       // area fetch for shrinking, into slot 0
  DWORD laneMode;             // WUXCHG_LANES16, WUXCHG_LANES8 or WUXCHG_LANESFLOAT
  WUXCHGPIXELS pixels;        // the working slots
  const BYTE* src;            // source cursor
  DWORD srcBit;               // bit in the source byte, from the top (sub-byte types)
  BYTE* dst;                  // destination cursor
  DWORD dstBit;               // bit in the destination byte, from the top
  LONG srcStride;             // bytes from a source row to the row below (0: last row)
  LONG weightX;               // horizontal weight or area start, Q14
  LONG weightY;               // vertical weight or area start, Q14
  LONG areaWidth;             // width of the averaged area, Q14
  LONG areaHeight;            // height of the averaged area, Q14
  DWORD edgeWidth;            // bits 16 to 23 of the flags: edge-fade width in pixels
  const RGBQUAD* srcPalette;  // source colour table (palette types)
  const RGBQUAD* dstPalette;  // destination colour table (not read by the pipeline)
  const BYTE* inverseMap;     // 32,768-byte inverse colour map for palette destinations
  WUXCHGOPTIONS options;      // copy of the caller's option record
  WuGammaCurve storeCurve;    // curve of float stores
  WuGammaCurve fetchCurve;    // curve of float fetches
  const BYTE* opTable1;       // 256 bytes for the results of ops 15 and 17 (8-bit), or null
  const WORD* opTable2;       // 65,536 values for the results of ops 15 and 17 (16-bit), or null
};

// Builds a record for a destination and a source type (16 to 32), the
// flags (above) and an optional option record. A gamma of 0.0 means
// 2.2222222222222223; gammas are clamped to 0.5 .. 4.0 and the curve of a
// float side (types 22 and 32) gets source / destination gamma. Results:
// 0; E_INVALIDARG for a type outside 16 to 32 (record zeroed, identity
// curves); E_NOTIMPL when the option record's op code is outside 0 to 19,
// or the pair runs in float lanes and the op code is not 3 (the record then
// holds the flags, types and options but no fetch or store).
HRESULT WuXCHGGetFunctionPointers(WUPIXELTYPE dstType, WUPIXELTYPE srcType, DWORD flags,
                                  WUXCHGFUNCS* record, const WUXCHGOPTIONS* options,
                                  double dstGamma, double srcGamma);

// Frees the tables of both curves of a record built above; the record's
// curves stay usable without tables.
void WuXCHGFreeCurves(WUXCHGFUNCS* record);

// 0 below 0.0 (and for NaN), 0xFFFF above 1.0, else x * 65535 + 0.5 truncated.
WORD WuXchgFloatTo16(float x);
// Sum of the absolute differences of blue, green and red.
LONG WuXchgRgbDistance16(const WORD* a, const WORD* b);
LONG WuXchgRgbDistance8(const BYTE* a, const BYTE* b);
