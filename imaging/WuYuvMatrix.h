// Colour matrices and conversion options of the YUV conversions.
//
// Two standards are known: BT.601-type (SD) and BT.709-type (HD). Each has
//   - a `WUYUVMATRIX` of 64-bit weights: RGB to Y, Cb, Cr with the chroma
//     rows scaled by 224/219, and the inverse weights scaled by 219/224, so
//     that luma keeps the range of RGB (16 stays 16, 235 stays 235);
//   - a `WUYUVMATRIXF`: the 14-bit integer table of the planar converters
//     followed by the plain four-decimal weights in single precision.
// The records are constant; every YUV converter reads them.
//
// Matrix codes: the planar and frame conversions take 515 (BT.601-type) and
// 516 (BT.709-type), the packed UYVY converters 1 and 2. Any other code
// chooses by frame height: below 720 lines BT.601-type, else BT.709-type.
#pragma once

#include <cstddef>

#include "platform/kernel/types.h"

// Interlace type: 1 and 2 (the two field orders) mean an interlaced frame
// whose 4:2:0 chroma rows alternate between the fields; any other value
// means progressive.
typedef LONG WUINTERLACETYPE;
constexpr WUINTERLACETYPE WUINTERLACE_PROGRESSIVE = 0;
constexpr WUINTERLACETYPE WUINTERLACE_FIELDS1 = 1;
constexpr WUINTERLACETYPE WUINTERLACE_FIELDS2 = 2;

// Matrix codes of the planar and frame conversions.
constexpr LONG WUYUV_MATRIX_BT601 = 515;
constexpr LONG WUYUV_MATRIX_BT709 = 516;

// Integer YUV to RGB table of the planar converters (32 bytes). Rows blue,
// green, red, alpha; weights in units of 1/16384. Each offset folds the
// -128 chroma bias and the rounding constant 8192 into one value.
struct WUYUVINTCOEFFS {
  SHORT weights[8];  // (U weight, V weight) for blue, green, red, alpha
  LONG offsets[4];   // per row: blue, green, red, alpha
};
static_assert(sizeof(WUYUVINTCOEFFS) == 32);

// Thirteen 64-bit weights (104 bytes).
struct WUYUVMATRIX {
  double rgbToYuv[9];  // rows Y, Cb, Cr; columns R, G, B
  double rFromCr;      // inverse weights on the centred chroma
  double gFromCr;
  double gFromCb;
  double bFromCb;
};
static_assert(sizeof(WUYUVMATRIX) == 104);
static_assert(offsetof(WUYUVMATRIX, rFromCr) == 72);

// The integer table, then sixteen floats (96 bytes): 0-8 RGB to Y, Cb, Cr
// (rows Y, Cb, Cr; columns R, G, B), 9-11 zero, 12 R from Cr, 13 G from Cb,
// 14 G from Cr, 15 B from Cb. The weights are the plain four-decimal ones
// without the 224/219 factors.
struct WUYUVMATRIXF {
  WUYUVINTCOEFFS ints;
  float weights[16];
};
static_assert(sizeof(WUYUVMATRIXF) == 96);
static_assert(offsetof(WUYUVMATRIXF, weights) == 32);

// Options of the frame conversions. The caller owns the record; the
// conversions only read it. Fields not named are set by the callers.
struct WUYUVCONVERTOPTIONS {
  DWORD reserved0;                // not read
  LONG matrixCode;                // 515, 516 or any other (by height)
  DWORD reserved1;                // not read
  WUINTERLACETYPE interlaceType;  // read by the I420 kernels only
  DWORD reserved2[4];             // not read
  double imageGamma;              // gamma of the YUV image; 0 stands for 1/0.45
};
static_assert(offsetof(WUYUVCONVERTOPTIONS, matrixCode) == 4);
static_assert(offsetof(WUYUVCONVERTOPTIONS, interlaceType) == 12);
static_assert(offsetof(WUYUVCONVERTOPTIONS, imageGamma) == 32);
static_assert(sizeof(WUYUVCONVERTOPTIONS) >= 40);

// The records of the two standards.
extern const WUYUVMATRIX g_WuYUVMatrix601;
extern const WUYUVMATRIX g_WuYUVMatrix709;
extern const WUYUVMATRIXF g_WuYUVMatrixF601;
extern const WUYUVMATRIXF g_WuYUVMatrixF709;

// TRUE for 720 lines or more.
BOOL WuYUV_IsHDHeight(LONG height);
// TRUE for interlace type 1 or 2.
BOOL WuYUV_IsInterlaced(WUINTERLACETYPE type);
// 515 becomes 1, 516 becomes 2, anything else 0.
LONG WuYUV_MatrixCodeToPacked(LONG code);
// TRUE when the frame code (515, 516, other) and height choose BT.709-type.
BOOL WuYUV_UsesBT709(LONG code, LONG height);
// The single-precision record chosen by a frame code and height.
const WUYUVMATRIXF* WuYUV_GetMatrixF(LONG code, LONG height);
// The integer table chosen by a frame code and height.
const WUYUVINTCOEFFS* WuYUV_GetIntCoeffs(LONG code, LONG height);
// The 64-bit record of the packed converters: code 1, or any code but 2
// with a height below 720, gives BT.601-type; otherwise BT.709-type.
const WUYUVMATRIX* WuYUV_GetMatrixTable(LONG code, LONG height);
