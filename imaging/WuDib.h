// Bitmap blocks: device-independent bitmaps held in one block of global
// memory.
//
// A bitmap block is one movable global-memory block, locked for its whole
// life. The pointer handed out is the locked address of its header; the
// block holds, without gaps:
//   - the 40-byte BITMAPINFOHEADER (biSize 40, biPlanes 1, biSizeImage the
//     size of the rows, resolution and biClrImportant 0);
//   - the three 32-bit masks red, green, blue (BI_BITFIELDS, 12 bytes), or
//     biClrUsed palette entries of 4 bytes (RGBQUAD: blue, green, red, 0),
//     at most 256 of them;
//   - biSizeImage bytes of rows, bottom row first, each padded to a
//     multiple of 4 bytes.
// Image operations take a header, a rows pointer (null: the rows inside the
// block) and a stride in bytes (0: the natural stride). Whoever receives a
// block owns it and frees it with WuDibFree.
#pragma once

#include <cstdint>

#include "imaging/WuPixelTypes.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

constexpr int WUDIB_MAX_COLORS = 256;     // palette entries a bitmap may hold
constexpr DWORD WUDIB_ZEROINIT = 0x1;     // WuDibAlloc: zero-fill the block
constexpr DWORD WUDIB_RESERVED31 = 0x80000000u;  // WuDibAlloc: accepted, no effect
constexpr int WUDIB_FREE_CHECKED = -1;    // WuDibFree: flag of a checked release

// ---- Headers --------------------------------------------------------------------------

// Fills a header for a pixel-type code: width, height, compression, the
// fixed fields and biSizeImage (the YUV sizes of WuYUVImageBytesAndOffsets
// for v210, I420, YUYV and UYVY; height * (((bits * width + 31) >> 5) * 4)
// for every other code, with the height taken without its sign). Colours:
// BI_BITFIELDS writes the code's masks after the header and biClrUsed 0;
// otherwise biClrUsed is the count, or 2^bits for codes of at most 8 bits
// when no palette is given or its count is 0 (a negative count counts as
// 0), and a given palette's entries are copied after the header. The
// header buffer must hold 40 bytes plus the masks or palette. `imageSize`
// (may be null) is set to 0 first and to the image size on success.
// E_INVALIDARG for a null header, an unknown code, a negative width, more
// than 256 colours, or an image (or one row of it, even when the height is
// 0) larger than 2^31 - 1 bytes; the sizes are computed so that no width
// and height can overflow them. S_OK otherwise.
HRESULT WuVideo_InitBitmapInfo(BITMAPINFOHEADER* header, WUPIXELTYPE type, LONG width,
                               LONG height, const RGBQUAD* palette, int colors,
                               DWORD* imageSize);

// WuVideo_InitBitmapInfo into the caller's header, then the offset of the
// rows from the header (40 + 12 for BI_BITFIELDS, else 40 + 4 * biClrUsed)
// and the image size, each when its pointer is given. The first failure, or
// S_OK.
HRESULT WuDibInfo(DWORD* rowsOffset, DWORD* imageSize, BITMAPINFOHEADER* header,
                  WUPIXELTYPE type, LONG width, LONG height, const RGBQUAD* palette,
                  int colors);

// ---- Blocks -----------------------------------------------------------------------------

// Allocates a bitmap block for a code (header as WuVideo_InitBitmapInfo).
// The palette is copied when given; otherwise its entries are zero and the
// caller fills them. The rows are zero only with WUDIB_ZEROINIT. *bitmap is
// null on failure: E_POINTER (null out pointer), the header's
// E_INVALIDARG, or E_OUTOFMEMORY.
HRESULT WuDibAlloc(BITMAPINFOHEADER** bitmap, WUPIXELTYPE type, LONG width, LONG height,
                   const RGBQUAD* palette, int colors, DWORD flags);

// Releases a bitmap block. Null is ignored; a pointer that is not the start
// of a live, locked bitmap block is refused and left alone, whatever the
// flag. Always S_OK.
HRESULT WuDibFree(BITMAPINFOHEADER* bitmap, int flags);

// Address of the rows of a packed bitmap: header + 52 for BI_BITFIELDS;
// for BI_RGB with biClrUsed 0 and 1 to 8 bits per pixel header + biSize +
// 4 * 2^bits; otherwise header + biSize + 4 * biClrUsed. Null for null.
BYTE* WuDibGetBits(const BITMAPINFOHEADER* header);
// `rows` when it is not null, else WuDibGetBits(header).
BYTE* WuDibGetBitsOrDefault(const BITMAPINFOHEADER* header, void* rows);
// `stride` when it is not 0, else the natural stride
// ((biBitCount * biWidth + 31) >> 3) with the low two bits cleared.
LONG WuDibGetStride(const BITMAPINFOHEADER* header, LONG stride);

// Address of row y, counted from the top, of a bottom-up bitmap whose rows
// start at `rows` (its bottom row) with `stride` bytes from row to row.
inline BYTE* WuDibRowAt(BYTE* rows, const BITMAPINFOHEADER* header, LONG stride, int64_t y) {
  return rows + (static_cast<int64_t>(header->biHeight) - 1 - y) * stride;
}
inline const BYTE* WuDibRowAt(const BYTE* rows, const BITMAPINFOHEADER* header, LONG stride,
                              int64_t y) {
  return WuDibRowAt(const_cast<BYTE*>(rows), header, stride, y);
}

// ---- Palettes -----------------------------------------------------------------------------
// The colour table after a header, as the pixel fetches index it. Its
// entries are biClrUsed, or 2^bits for a BI_RGB header of 1 to 8 bits with
// biClrUsed 0 (the table WuDibGetBits steps over); a BI_BITFIELDS header
// and a header without entries have none and give null. When the entries
// do not reach every index a pixel of 1 to 8 bits can hold (biClrUsed below
// 2^bits) and `padded` is given, they are copied into `padded` (256
// entries), the missing ones black, and `padded` is returned: an index past
// biClrUsed then reads black instead of the bytes after the table. With
// `padded` null the bitmap's own entries come back in every case, for
// callers that read no more than biClrUsed of them.
const RGBQUAD* WuDibColorTable(const BITMAPINFOHEADER* header, RGBQUAD* padded);
// The same table of a bitmap the caller may write: its own entries.
inline RGBQUAD* WuDibColorTable(BITMAPINFOHEADER* header) {
  return const_cast<RGBQUAD*>(WuDibColorTable(header, nullptr));
}

// The RGBA palette form is four bytes red, green, blue, alpha.

// RGBQUAD entries to RGBA entries; alpha 0.
void WuVideo_PaletteRGBAFromEntry(BYTE* rgba, const RGBQUAD* entries, int count);
// RGBA entries to RGBQUAD entries; fourth byte 0.
void WuVideo_PaletteEntryFromRGBA(RGBQUAD* entries, const BYTE* rgba, int count);

// ---- Module ---------------------------------------------------------------------------------
void WuDib_Initialize();           // nothing to do
void WuVideoDSP_ForceExternRef();  // nothing to do
// Not supported: E_NOTIMPL.
HRESULT WuDibFillRectChannel(const BITMAPINFOHEADER* header, void* rows, const RECT* rect,
                             LONG stride, int channel, float value, DWORD flags);
