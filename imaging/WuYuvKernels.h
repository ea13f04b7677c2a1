// The kernels behind the frame conversions of WuYuvConvert.h: one per
// layout, bitmap kind and reduction step. They are reached through the two
// kernel tables; they are declared here for the tables and for tests.
//
// Kernels trust their arguments: the entry points have already checked the
// headers, sizes, strides and layout (see WuYuvConvert.h). Bits and stride
// arrive with their defaults applied. The bitmap is bottom-up: the picture's
// top row is at bits + stride * (rows - 1). YUV rows are top-down.
#pragma once

#include "imaging/WuYuvLayout.h"
#include "imaging/WuYuvMatrix.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// A decoding kernel: RGB header, gamma of the bitmap, RGB bits, RGB stride,
// YUV header, YUV buffer, plane layout, options, reduction step, reserved.
typedef HRESULT (*WUYUVDECODEKERNEL)(const BITMAPINFOHEADER* rgbHeader, double gamma, BYTE* bits,
                                     LONG stride, const BITMAPINFOHEADER* yuvHeader,
                                     const BYTE* yuv, const WUYUVPLANELAYOUT* layout,
                                     const WUYUVCONVERTOPTIONS* options, int step,
                                     DWORD reserved);
// An encoding kernel: YUV header, YUV buffer, plane layout, options, RGB
// header, gamma of the bitmap, RGB bits, RGB stride, reduction step,
// reserved.
typedef HRESULT (*WUYUVENCODEKERNEL)(const BITMAPINFOHEADER* yuvHeader, BYTE* yuv,
                                     const WUYUVPLANELAYOUT* layout,
                                     const WUYUVCONVERTOPTIONS* options,
                                     const BITMAPINFOHEADER* rgbHeader, double gamma,
                                     const BYTE* bits, LONG stride, int step, DWORD reserved);

#define WUYUV_DECODE_ARGS                                                               \
  const BITMAPINFOHEADER *rgbHeader, double gamma, BYTE *bits, LONG stride,             \
      const BITMAPINFOHEADER *yuvHeader, const BYTE *yuv, const WUYUVPLANELAYOUT *layout, \
      const WUYUVCONVERTOPTIONS *options, int step, DWORD reserved
#define WUYUV_ENCODE_ARGS                                                                \
  const BITMAPINFOHEADER *yuvHeader, BYTE *yuv, const WUYUVPLANELAYOUT *layout,          \
      const WUYUVCONVERTOPTIONS *options, const BITMAPINFOHEADER *rgbHeader, double gamma, \
      const BYTE *bits, LONG stride, int step, DWORD reserved

// ---- I420 to 32-bit through the planar kernels (WuYuvPlanar.h) ---------------------
// Source row 0 goes to the last bitmap row in memory. Matrix from the
// options' code and the bitmap's height.
HRESULT WuYUV_I420ToRGB_Full(WUYUV_DECODE_ARGS);     // full kernel
HRESULT WuYUV_I420ToRGB_Half(WUYUV_DECODE_ARGS);     // as WuYUV420ToRGBA_Half
HRESULT WuYUV_I420ToRGB_Quarter(WUYUV_DECODE_ARGS);  // as WuYUV420ToRGBA_Quarter

// ---- Decoding (WuYuvDecode.cpp) -------------------------------------------------------
// 32-bit family: bytes blue, green, red, 255.
HRESULT WuYUV_UYVYToRGB32(WUYUV_DECODE_ARGS);  // through WuUYVY2RGBA
HRESULT WuYUV_UYVYToRGB32_Reduced(WUYUV_DECODE_ARGS);
HRESULT WuYUV_YUYVToRGB32(WUYUV_DECODE_ARGS);
HRESULT WuYUV_YUYVToRGB32_Reduced(WUYUV_DECODE_ARGS);
HRESULT WuYUV_v210ToRGB32(WUYUV_DECODE_ARGS);
HRESULT WuYUV_v210ToRGB32_Half(WUYUV_DECODE_ARGS);
HRESULT WuYUV_v210ToRGB32_Quarter(WUYUV_DECODE_ARGS);
HRESULT WuYUV_v210ToRGB32_Eighth(WUYUV_DECODE_ARGS);
HRESULT WuYUV_I420ToRGB32_Eighth(WUYUV_DECODE_ARGS);
// Floating-point family: floats blue, green, red, 1.0 on a 0..1 scale.
HRESULT WuYUV_UYVYToRGBFloat(WUYUV_DECODE_ARGS);
HRESULT WuYUV_UYVYToRGBFloat_Reduced(WUYUV_DECODE_ARGS);
HRESULT WuYUV_YUYVToRGBFloat(WUYUV_DECODE_ARGS);
HRESULT WuYUV_YUYVToRGBFloat_Reduced(WUYUV_DECODE_ARGS);
HRESULT WuYUV_v210ToRGBFloat(WUYUV_DECODE_ARGS);
HRESULT WuYUV_v210ToRGBFloat_Half(WUYUV_DECODE_ARGS);
HRESULT WuYUV_v210ToRGBFloat_Quarter(WUYUV_DECODE_ARGS);
HRESULT WuYUV_v210ToRGBFloat_Eighth(WUYUV_DECODE_ARGS);
HRESULT WuYUV_I420ToRGBFloat(WUYUV_DECODE_ARGS);
HRESULT WuYUV_I420ToRGBFloat_Reduced(WUYUV_DECODE_ARGS);

struct WuGammaCurve;
// A 32-bit-family channel: clamped to 0..255, then 1.5e-8 added and rounded
// to nearest (so 127.5 gives 128).
BYTE WuYUV_ClampRoundByte(float value);
// Writes a pixel from 10-bit luma (times 0.25) plus the three terms.
void WuYUV_StoreBGRA8FromY10(int luma10, float redTerm, float greenTerm, float blueTerm,
                             BYTE* pixel);
// Writes a float pixel: L = (luma - offset) * scale, each channel L plus its
// term, through the curve's lookup when `curve` is not null; alpha 1.0.
void WuYUV_StoreBGRAFloat(float luma, float offset, float scale, float redTerm, float greenTerm,
                          float blueTerm, float* pixel, const WuGammaCurve* curve);

// ---- Encoding (WuYuvEncode.cpp) --------------------------------------------------------
HRESULT WuYUV_RGB32ToUYVY(WUYUV_ENCODE_ARGS);  // through WuRGBA2UYVY
HRESULT WuYUV_RGB32ToYUYV(WUYUV_ENCODE_ARGS);  // through the YUYV row kernels
HRESULT WuYUV_RGB32ToI420(WUYUV_ENCODE_ARGS);
HRESULT WuYUV_RGB32Tov210(WUYUV_ENCODE_ARGS);
HRESULT WuYUV_RGBFloatToUYVY(WUYUV_ENCODE_ARGS);
HRESULT WuYUV_RGBFloatToYUYV(WUYUV_ENCODE_ARGS);
HRESULT WuYUV_RGBFloatToI420(WUYUV_ENCODE_ARGS);
HRESULT WuYUV_RGBFloatTov210(WUYUV_ENCODE_ARGS);

// Floating-point RGBA to YUYV rows (the 32-bit YUYV encoder's choice
// without MMX): destination (rows back to back, 2 * width bytes each),
// width, rows, first source row, source stride (may be negative). Width / 2
// pairs per row. Y in double precision, rounded to nearest; chroma from the
// pair's sums of B - Y and R - Y.
void WuYUV_RGBAToYUYVRowsFPU(BYTE* dst, int width, int rows, const BYTE* src, LONG srcStride);
void WuYUV_RGBAToYUYVRowsFPU709(BYTE* dst, int width, int rows, const BYTE* src,
                                LONG srcStride);

// Builds the sampled table of a floating-point kernel's re-gamma curve
// (WuGammaCurve_BuildTable unless replaced). Tests replace the builder to
// see a table that cannot be allocated; null restores the default.
typedef void (*WUYUVTABLEBUILDER)(WuGammaCurve* curve, int count);
void WuYUV_BuildGammaTable(WuGammaCurve* curve, int count);
void WuYUV_SetGammaTableBuilder(WUYUVTABLEBUILDER builder);

// Forgets the published choices (the 4:2:0 kernel table and the BT.601-type
// YUYV row kernel) so that the next call chooses again; for tests that
// change the allowed CPU features.
void WuYUV_ResetKernelChoices();
