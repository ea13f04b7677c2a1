// Packed 4:2:2 converters between UYVY and 24-bit or 32-bit RGB, v210 to
// UYVY, the RGBA to YUYV row workers and the gamma-ratio helper.
//
// UYVY holds two pixels in four bytes U, Y0, V, Y1 (YUYV: Y0, U, Y1, V).
// The converters treat a UYVY image as rows of exactly 2 * width bytes back
// to back; the RGB side has its own stride (bytes, may be negative). RGB
// pixels are bytes blue, green, red (and a fourth byte for 32-bit).
//
// The floating-point weights of the chosen WUYUVMATRIX are rounded to
// integers at each call (x 4096 for luma and the inverse weights, x 2048 for
// chroma). Luma is not offset: RGB and Y share one range. RGB to UYVY
// averages each pair's chroma and clamps every sample to 1..254; UYVY to RGB
// repeats the chroma for both pixels and clamps to 0..255.
//
// Matrix codes: 1 BT.601-type, 2 BT.709-type, anything else by height
// (below 720 lines BT.601-type). Checks, in order: a null pointer gives
// E_POINTER; a height or width that is not positive, an odd width, or an
// absolute stride below 4 * width (3 * width for 24-bit) E_INVALIDARG.
// Nothing is written on failure. The SSE2 rows are used when WuGetCPUSupport
// reports SSE2, tested on every call; both forms give the same bytes.
#pragma once

#include "platform/kernel/types.h"

HRESULT WuUYVY2RGBA(BYTE* dst, const BYTE* uyvy, LONG stride, int width, int height,
                    LONG matrixCode);
HRESULT WuUYVY2RGB(BYTE* dst, const BYTE* uyvy, LONG stride, int width, int height,
                   LONG matrixCode);
HRESULT WuRGBA2UYVY(BYTE* uyvy, const BYTE* src, LONG stride, int width, int height,
                    LONG matrixCode);
HRESULT WuRGB2UYVY(BYTE* uyvy, const BYTE* src, LONG stride, int width, int height,
                   LONG matrixCode);

// v210 rows (six pixels in four little-endian 32-bit words) to 8-bit UYVY
// by dropping each sample's two low bits. E_POINTER for a null pointer;
// E_INVALIDARG for a stride that is not positive, a destination stride
// below 2 * width, a source stride below ((width + 5) / 6) * 16, a width
// that is not positive or odd, or a height that is not positive. A partial
// last group reads only the words its pixels need.
HRESULT WuYUV_v210_TO_UYVY(BYTE* dst, const BYTE* v210, LONG dstStride, LONG srcStride,
                           int width, int height);

// Integer RGBA to YUYV rows (weights in 1/16384; BT.601-type chroma with a
// gain of 1.05). For each of `rows` rows, width / 2 pairs from the source
// row (which then advances by srcStride, may be negative) to the
// destination, written back to back, 2 * width bytes a row. Width at least
// 2 and rows at least 1.
void WuYUV_RGBAToYUYVRows(BYTE* dst, int width, int rows, const BYTE* src, LONG srcStride);
void WuYUV_RGBAToYUYVRows709(BYTE* dst, int width, int rows, const BYTE* src, LONG srcStride);

// Stores a / b after taking an exact 0 as 1 / 0.45 and limiting each gamma
// to 0.5 .. 4.0. TRUE when the ratio lies outside 0.999 .. 1.001 (a
// correction is needed).
BOOL WuYUV_GetGammaRatio(double a, double b, double* ratio);
