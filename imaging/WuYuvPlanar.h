// Planar YUV to 32-bit pixels.
//
// 4:2:0 images (luma plus U and V planes of half width and half height)
// convert at full, half and quarter size, with or without blending the two
// fields of an interlaced frame; 4:2:2 planar images (chroma of half width,
// full height) at full size. Integer arithmetic only: each chroma term is
// (wU * sumU + wV * sumV + k * offset) >> shift with the 14-bit tables of
// WuYuvMatrix.h, and luma is not rescaled.
//
// Every function takes, in order: width, height (in luma pixels of the
// source), destination, destination stride (bytes, may be negative), Y, Y
// stride, U, U stride, V, V stride, then (4:2:0 only) the interlace type,
// then the matrix code (515, 516, else by the height argument). Output
// pixels are bytes blue, green, red, 255. Results: S_OK, or E_INVALIDARG
// with nothing written for a negative size or a size the function's rule
// refuses; a zero width or height converts nothing and returns S_OK.
//
//   function                                   output     size rule
//   WuYUV420ToRGBA                             W x H      W, H even
//   WuYUV420ToRGBA_HalfHorz                    W/2 x H    W, H even
//   WuYUV420ToRGBA_Half_BlendFields            W/2 x H/2  W, H even
//   WuYUV420ToRGBA_Half                        W/2 x H/2  W, H even; interlaced
//                                                         also H/2 even
//   WuYUV420ToRGBA_QuarterHorz_HalfVert_BlendFields
//                                              W/4 x H/2  W multiple of 4, H even
//   WuYUV420ToRGBA_Quarter_BlendFields         W/4 x H/4  W, H multiples of 4
//   WuYUV420ToRGBA_Quarter                     W/4 x H/4  W multiple of 4, H even;
//                                                         interlaced H/2 even,
//                                                         else H multiple of 4
//   WuYUV422PlanarToRGBA                       W x H      W even
//
// Interlaced frames pair lines within a field: lines 4g and 4g + 2 use
// chroma row 2g, lines 4g + 1 and 4g + 3 chroma row 2g + 1. When the frame
// has an odd number of row pairs the last pair is taken progressively. The
// plain `_Half` and `_Quarter` read only the first field of an interlaced
// frame (lines 0, 2, 4, ... and chroma rows 0, 2, 4, ...).
#pragma once

#include "imaging/WuYuvMatrix.h"
#include "platform/kernel/types.h"

HRESULT WuYUV420ToRGBA(int width, int height, BYTE* dst, LONG dstStride, const BYTE* y,
                       LONG yStride, const BYTE* u, LONG uStride, const BYTE* v, LONG vStride,
                       WUINTERLACETYPE interlace, LONG matrixCode);
HRESULT WuYUV420ToRGBA_HalfHorz(int width, int height, BYTE* dst, LONG dstStride,
                                const BYTE* y, LONG yStride, const BYTE* u, LONG uStride,
                                const BYTE* v, LONG vStride, WUINTERLACETYPE interlace,
                                LONG matrixCode);
HRESULT WuYUV420ToRGBA_Half_BlendFields(int width, int height, BYTE* dst, LONG dstStride,
                                        const BYTE* y, LONG yStride, const BYTE* u,
                                        LONG uStride, const BYTE* v, LONG vStride,
                                        WUINTERLACETYPE interlace, LONG matrixCode);
HRESULT WuYUV420ToRGBA_Half(int width, int height, BYTE* dst, LONG dstStride, const BYTE* y,
                            LONG yStride, const BYTE* u, LONG uStride, const BYTE* v,
                            LONG vStride, WUINTERLACETYPE interlace, LONG matrixCode);
HRESULT WuYUV420ToRGBA_QuarterHorz_HalfVert_BlendFields(int width, int height, BYTE* dst,
                                                        LONG dstStride, const BYTE* y,
                                                        LONG yStride, const BYTE* u,
                                                        LONG uStride, const BYTE* v,
                                                        LONG vStride,
                                                        WUINTERLACETYPE interlace,
                                                        LONG matrixCode);
HRESULT WuYUV420ToRGBA_Quarter_BlendFields(int width, int height, BYTE* dst, LONG dstStride,
                                           const BYTE* y, LONG yStride, const BYTE* u,
                                           LONG uStride, const BYTE* v, LONG vStride,
                                           WUINTERLACETYPE interlace, LONG matrixCode);
HRESULT WuYUV420ToRGBA_Quarter(int width, int height, BYTE* dst, LONG dstStride,
                               const BYTE* y, LONG yStride, const BYTE* u, LONG uStride,
                               const BYTE* v, LONG vStride, WUINTERLACETYPE interlace,
                               LONG matrixCode);
HRESULT WuYUV422PlanarToRGBA(int width, int height, BYTE* dst, LONG dstStride, const BYTE* y,
                             LONG yStride, const BYTE* u, LONG uStride, const BYTE* v,
                             LONG vStride, LONG matrixCode);

// A 4:2:0 kernel: the arguments of the functions above with the integer
// table in place of the matrix code. It checks its own size rule.
typedef HRESULT (*WUYUV420KERNEL)(int width, int height, BYTE* dst, LONG dstStride,
                                  const BYTE* y, LONG yStride, const BYTE* u, LONG uStride,
                                  const BYTE* v, LONG vStride, WUINTERLACETYPE interlace,
                                  const WUYUVINTCOEFFS* coeffs);

// Kernel slots: full, half-horizontal, half-blend,
// quarter-horizontal-half-vertical-blend, quarter-blend.
enum WUYUV420KIND {
  WUYUV420_FULL = 0,
  WUYUV420_HALFHORZ = 1,
  WUYUV420_HALFBLEND = 2,
  WUYUV420_QUARTERHORZ_HALFVERT = 3,
  WUYUV420_QUARTERBLEND = 4,
  WUYUV420_KINDS = 5
};

// Fills the process-wide kernel table once: the SSE2 kernels when
// WuGetCPUSupport reports SSE2 (0x40), else the plain ones. Every thread
// publishes the same table.
void WuYUV420_InitKernels();
// The kernel of a slot from the table (after WuYUV420_InitKernels).
WUYUV420KERNEL WuYUV420_GetKernel(WUYUV420KIND kind);
// The plain and SSE2 kernels themselves (the table's two possible rows).
WUYUV420KERNEL WuYUV420_PlainKernel(WUYUV420KIND kind);
WUYUV420KERNEL WuYUV420_Sse2Kernel(WUYUV420KIND kind);
