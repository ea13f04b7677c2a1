// Whole-frame conversions between a bitmap and a YUV image.
//
// The YUV image is "UYVY", "YUYV", "v210" or "I420" (the FOURCC in its
// header's biCompression), described by a WUYUVPLANELAYOUT (WuYuvLayout.h).
// The bitmap is 32-bit (pixel types 28 and 29: bytes blue, green, red and a
// fourth byte, 255 when decoding) or floating-point (type 32: floats blue,
// green, red, alpha, 1.0 when decoding). Bitmaps are bottom-up, YUV rows
// top-down. Decoding can reduce the picture by 2, 4 or 8 in each direction
// (step 1, 2, 3): the bitmap is then (W >> step) by (H >> step). Encoding
// knows only step 0.
//
// Bits null means the rows inside the bitmap block (WuDibGetBits); stride 0
// the natural stride (WuDibGetStride). The matrix follows the options'
// code: 515 BT.601-type, 516 BT.709-type, else the height decides (below
// 720 lines BT.601-type; decoding compares the bitmap's, so the reduced
// height). The floating-point kernels re-gamma between the bitmap's gamma
// (0 also selects full-range scaling) and the options' image gamma.
//
// Checks, in this order; nothing is written on a refusal:
//   1. a null header, options record or YUV buffer, or a null layout where
//      the kernel reads it: E_POINTER;
//   2. an unknown FOURCC: E_FAIL;
//   3. a step outside 0..3: E_INVALIDARG;
//   4. no kernel for the step (encoding at steps 1..3): E_FAIL;
//   5. E_INVALIDARG for: a bitmap type other than 28, 29, 32; a size that is
//      not positive (top-down bitmaps included); a bitmap size other than
//      (W >> step, H >> step); an odd W for "UYVY", "YUYV", "v210"; W or H
//      not a multiple of 2^step (2^(step + 1) for "I420"); an RGB stride
//      (by absolute value) or a layout pitch shorter than its row.
// A gamma sample table that cannot be allocated gives E_OUTOFMEMORY.
#pragma once

#include "imaging/WuYuvLayout.h"
#include "imaging/WuYuvMatrix.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// Decodes a YUV image into a bitmap. `reserved` is passed on, never read.
HRESULT WuYUV_YUVToRGB(const BITMAPINFOHEADER* rgbHeader, double gamma, void* bits, LONG stride,
                       const BITMAPINFOHEADER* yuvHeader, const WUYUVCONVERTOPTIONS* options,
                       const void* yuv, const WUYUVPLANELAYOUT* layout, int step,
                       DWORD reserved);

// Encodes a bitmap into a YUV image.
HRESULT WuYUV_RGBToYUV(const BITMAPINFOHEADER* yuvHeader, const WUYUVCONVERTOPTIONS* options,
                       void* yuv, const WUYUVPLANELAYOUT* layout,
                       const BITMAPINFOHEADER* rgbHeader, double gamma, const void* bits,
                       LONG stride, int step, DWORD reserved);
