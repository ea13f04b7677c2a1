// Small numeric helpers of the image code.
#include "imaging/WuColorMath.h"

#include <cmath>
#include <cstring>

#include "imaging/WuPixelTypes.h"
#include "platform/gdi/gdi.h"

LONG WuFixedMulQ14(LONG a, LONG b) {
  return static_cast<LONG>((static_cast<int64_t>(a) * b) >> 14);
}

LONG WuFixedDivQ14(LONG a, LONG b) {
  if (b == 0) return 0;
  return static_cast<LONG>(static_cast<int64_t>(a) * WU_Q14_ONE / b);
}

LONG WuFixedCeilQ14(LONG a) {
  // In unsigned arithmetic so that the extremes wrap instead of overflowing.
  return static_cast<LONG>(((static_cast<uint32_t>(a) - 1u) | 0x3FFFu) + 1u);
}

LONG WuFixedFloorQ14(LONG a) { return static_cast<LONG>(static_cast<uint32_t>(a) & ~0x3FFFu); }

LONG WuFixedExtentQ14(LONG a, LONG b) {
  return static_cast<LONG>(static_cast<int64_t>(b) - a + WU_Q14_ONE);
}

LONG WuFixedExtentQ14Reversed(LONG a, LONG b) {
  return static_cast<LONG>(static_cast<int64_t>(a) - b + WU_Q14_ONE);
}

LONG WuMulDiv(LONG a, LONG b, LONG c) {
  if (c == 0) return 0;
  return static_cast<LONG>(static_cast<int64_t>(a) * b / c);
}

LONG WuRoundDoubleToInt(double x) {
  // Adding 1.5 * 2^52 leaves the rounded integer in the low bits of the
  // mantissa; the small bias first makes exact halves go up.
  const double biased = x + 0.000000015;
  const double sum = biased + 6755399441055744.0;
  uint64_t bits;
  std::memcpy(&bits, &sum, sizeof(bits));
  return static_cast<LONG>(static_cast<uint32_t>(bits));
}

double WuLinearMap(double value, const WULINEARMAP* map) { return value * map->scale + map->offset; }

BYTE WuBlendByte(BYTE a, BYTE b, BYTE weight) {
  const int d = (static_cast<int>(b) - a) * weight + 128;
  const int v = a + (((d >> 8) + d) >> 8);
  return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

float WuLerpFloat(float a, float b, float t) { return a + (b - a) * t; }

float WuPowFloat(float x, float y) { return std::pow(x, y); }

BYTE WuFloatToByte(float x) {
  if (!(x > 0.0f)) return 0;
  if (x > 1.0f) return 255;
  return static_cast<BYTE>(x * 255.0f);
}

void WuFloatsToBytes(BYTE* out, const float* in, int count) {
  for (int i = 0; i < count; ++i) {
    // Clamped before the conversion, which is undefined for large values;
    // the result is that of truncating first and clamping after.
    const float v = in[i] * 255.0f;
    if (!(v > 0.0f))
      out[i] = 0;
    else if (v >= 255.0f)
      out[i] = 255;
    else
      out[i] = static_cast<BYTE>(v);
  }
}

RECT* WuRectOffset(RECT* rect, LONG dx, LONG dy) {
  OffsetRect(rect, dx, dy);  // wraps at the limits
  return rect;
}

BOOL WuIsNonRGBCompression(DWORD compression) {
  return (compression == BI_RGB || compression == BI_BITFIELDS || compression == WU_FOURCC_WUDB ||
          compression == WU_FOURCC_WUGS)
             ? FALSE
             : TRUE;
}

BOOL WuIsYUVFourCC(DWORD compression) {
  return (compression == WU_FOURCC_UYVY || compression == WU_FOURCC_YUYV ||
          compression == WU_FOURCC_V210 || compression == WU_FOURCC_I420)
             ? TRUE
             : FALSE;
}

void WuXCHGPixel_Blend(void* pixel, const void* other, LONG weight, int laneMode, BOOL skip) {
  if (skip) return;
  if (laneMode == WUXCHG_LANES16) {
    WORD* p = static_cast<WORD*>(pixel);
    const WORD* o = static_cast<const WORD*>(other);
    const int64_t c = static_cast<uint16_t>(static_cast<int64_t>(weight) * 65535 / WU_Q14_ONE);
    for (int i = 0; i < 4; ++i)
      p[i] = static_cast<WORD>(o[i] + (((static_cast<int64_t>(p[i]) - o[i]) * c) >> 16));
  } else {
    BYTE* p = static_cast<BYTE*>(pixel);
    const BYTE* o = static_cast<const BYTE*>(other);
    const int c = static_cast<uint8_t>(static_cast<int64_t>(weight) * 255 / WU_Q14_ONE);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(o[i] + (p[i] - o[i]) * c / 256);
  }
}
