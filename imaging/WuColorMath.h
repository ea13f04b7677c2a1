// Small numeric helpers of the image code: 14-bit fixed point (0x4000 is
// 1.0 and one pixel), rounding, byte and float blends, clamped float to
// byte conversion, rectangle offsets and tests of compression codes.
//
// Fixed-point values are signed 32-bit; products and quotients are formed
// in 64 bits and truncated back to 32.
#pragma once

#include "platform/kernel/types.h"

constexpr LONG WU_Q14_ONE = 0x4000;  // 1.0 or one pixel in Q14 units

// ---- Fixed point and rounding -------------------------------------------------------------

// (a * b) >> 14, the shift arithmetic.
LONG WuFixedMulQ14(LONG a, LONG b);
// a * 0x4000 / b, truncated toward zero; 0 when b is 0.
LONG WuFixedDivQ14(LONG a, LONG b);
// a rounded up to a multiple of 0x4000: ((a - 1) | 0x3FFF) + 1.
LONG WuFixedCeilQ14(LONG a);
// a with its low 14 bits cleared.
LONG WuFixedFloorQ14(LONG a);
// The Q14 extent from a to b counting both ends: b - a + 0x4000.
LONG WuFixedExtentQ14(LONG a, LONG b);
// The same with the arguments the other way: a - b + 0x4000.
LONG WuFixedExtentQ14Reversed(LONG a, LONG b);
// a * b / c, truncated toward zero; 0 when c is 0.
LONG WuMulDiv(LONG a, LONG b, LONG c);
// The nearest integer, exact halves going up (2.5 gives 3, -2.5 gives -2):
// x + 0.000000015 + 1.5 * 2^52 in double precision, low 32 bits of the
// sum's bit pattern.
LONG WuRoundDoubleToInt(double x);

// A linear mapping value * scale + offset.
struct WULINEARMAP {
  double scale;   // factor
  double offset;  // added after the factor
};
double WuLinearMap(double value, const WULINEARMAP* map);

// ---- Colour helpers ----------------------------------------------------------------------------

// Byte blend of a toward b by weight w (255 gives b, 0 gives a):
// d = (b - a) * w + 128; a + (((d >> 8) + d) >> 8), clamped to 0..255.
BYTE WuBlendByte(BYTE a, BYTE b, BYTE weight);
// a + (b - a) * t in single precision.
float WuLerpFloat(float a, float b, float t);
// x to the power y in single precision.
float WuPowFloat(float x, float y);
// 0 when x is not above 0 (NaN included), 255 when x is above 1, else
// x * 255 truncated.
BYTE WuFloatToByte(float x);
// Per value x * 255 truncated, clamped to 0..255 (NaN gives 0).
void WuFloatsToBytes(BYTE* out, const float* in, int count);
// x limited to 0.0 .. 1.0; NaN gives 0.0, as in WuFloatToByte. Inline:
// the scalers call it once a pixel.
inline float WuClamp01(float x) {
  if (!(x > 0.0f)) return 0.0f;
  return x < 1.0f ? x : 1.0f;
}
// Moves left and right by dx, top and bottom by dy; returns the rectangle.
// Coordinates wrap as 32-bit two's complement numbers past the limits, as
// OffsetRect moves them.
RECT* WuRectOffset(RECT* rect, LONG dx, LONG dy);
// FALSE for BI_RGB, BI_BITFIELDS, "WUDB" and "WUGS"; TRUE for any other.
BOOL WuIsNonRGBCompression(DWORD compression);
// TRUE for "UYVY", "YUYV", "v210" and "I420" (not "Y41B").
BOOL WuIsYUVFourCC(DWORD compression);

// ---- Working pixels ----------------------------------------------------------------------------
// A working pixel of the pixel-exchange pipeline is a slot of 8 bytes: four
// 16-bit lanes blue, green, red, alpha (lane mode 1), or four bytes in the
// same order followed by four unused bytes (lane mode 0).
constexpr int WUXCHG_LANES8 = 0;   // 8-bit lanes
constexpr int WUXCHG_LANES16 = 1;  // 16-bit lanes
constexpr int WUXCHG_LANESFLOAT = 2;  // float lanes: four 32-bit floats a slot (WuXchg.h)

// Moves `pixel` toward `other` so that it keeps the share `weight` (Q14) of
// itself: each lane becomes other + (pixel - other) * c, where c is
// weight * 65535 / 0x4000 kept to 16 bits, with the product shifted right
// by 16 (16-bit lanes), or c = weight * 255 / 0x4000 kept to 8 bits and the
// product divided by 256 truncating toward zero (8-bit lanes). Nothing
// happens when `skip` is non-zero.
void WuXCHGPixel_Blend(void* pixel, const void* other, LONG weight, int laneMode, BOOL skip);
