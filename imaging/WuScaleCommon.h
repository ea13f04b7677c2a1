// Pieces that the bicubic, bilinear and area-average scalers share: the
// destination rows and columns with their coverages, the source lines that
// may be read, edge blending and the whole-pixel row copy. Internal to the
// scalers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "imaging/WuSubpixelParam.h"
#include "platform/kernel/types.h"

namespace wuscale {

constexpr LONG kOne = 0x4000;  // one pixel, or 1.0, in Q14

// Floor and ceiling of a non-negative Q14 position, in whole pixels.
inline int64_t FloorPx(int64_t q) { return q >> 14; }
inline int64_t CeilPx(int64_t q) { return (q + (kOne - 1)) >> 14; }
// (a * b) >> 14 in 64 bits.
inline int64_t MulQ14(int64_t a, int64_t b) { return (a * b) >> 14; }

// The destination pixels of one direction: floor(lo) .. ceiling(hi) - 1 of
// the clipped destination, with the coverage of the first and the last.
struct Axis {
  LONG first;     // first destination pixel
  LONG count;     // number of destination pixels (at least 1)
  LONG covFirst;  // coverage of the first pixel, Q14
  LONG covLast;   // coverage of the last pixel, Q14

  Axis(LONG lo, LONG hi) {
    first = static_cast<LONG>(FloorPx(lo));
    count = static_cast<LONG>(CeilPx(hi) - first);
    covFirst = static_cast<LONG>((static_cast<int64_t>(first) + 1) * kOne - lo);
    covLast = static_cast<LONG>(hi - (CeilPx(hi) - 1) * kOne);
    if (count < 2) covFirst = hi - lo;
  }
  // Coverage of pixel k (0-based); the first wins over the last.
  LONG Coverage(LONG k) const {
    if (k == 0) return covFirst;
    if (k == count - 1) return covLast;
    return kOne;
  }
  bool Edge(LONG k) const { return k == 0 || k == count - 1; }
};

// The source lines a worker may read in one direction: floor(lo) to
// ceiling(hi) - 1 of srcUsed.
struct Lines {
  LONG lo;  // first line
  LONG hi;  // last line
  Lines(LONG qlo, LONG qhi)
      : lo(static_cast<LONG>(FloorPx(qlo))), hi(static_cast<LONG>(CeilPx(qhi) - 1)) {}
  LONG Clamp(int64_t v) const { return static_cast<LONG>(std::clamp<int64_t>(v, lo, hi)); }
};

inline const BYTE* SrcPixel(const WUSUBPIXELPARAM& p, int64_t row, int64_t col, int bpp) {
  return p.srcBits + static_cast<ptrdiff_t>(row) * p.srcStride + static_cast<ptrdiff_t>(col) * bpp;
}
inline BYTE* DstRow(const WUSUBPIXELPARAM& p, int64_t row) {
  return p.dstBits + static_cast<ptrdiff_t>(row) * p.dstStride;
}

// The byte blend factor of a partly covered pixel: Q14 multiply of the two
// coverages, scaled to 0..255 and truncated.
inline int BlendFactor8(LONG covX, LONG covY) {
  return static_cast<int>(MulQ14(covX, covY) * 255 / kOne);
}
// old moved toward new by f8 / 255, clamped to 0..255.
inline BYTE BlendByte(int oldValue, int newValue, int f8) {
  const int d = f8 * (newValue - oldValue) + 128;
  return static_cast<BYTE>(std::clamp(oldValue + ((d + (d >> 8)) >> 8), 0, 255));
}
// The float blend factor of a partly covered pixel.
inline double BlendFactorF(LONG covX, LONG covY) {
  return (covX / 16384.0) * (covY / 16384.0);
}
inline float BlendFloat(float oldValue, float newValue, double f) {
  return static_cast<float>(oldValue + (static_cast<double>(newValue) - oldValue) * f);
}

// Writes a 4-byte pixel: directly, or blended by f8 over what is there.
inline void PutByte4(BYTE* d, const int v[4], bool direct, int f8) {
  for (int c = 0; c < 4; ++c) {
    d[c] = direct ? static_cast<BYTE>(v[c]) : BlendByte(d[c], v[c], f8);
  }
}
// The same for a float pixel.
inline void PutFloat4(float* d, const float v[4], bool direct, double f) {
  for (int c = 0; c < 4; ++c) d[c] = direct ? v[c] : BlendFloat(d[c], v[c], f);
}

// Whole-pixel 1:1 copy of dstClip's rows from srcUsed.
void CopyRows(const WUSUBPIXELPARAM& p, int bytesPerPixel);

inline bool SupportedPixelSize(int bytesPerPixel) { return bytesPerPixel == 4 || bytesPerPixel == 16; }

// Refuses a pixel size other than 4 or 16 bytes and missing bits, then
// prepares the record;
// false when the call is to write nothing.
bool PrepareScaling(WUSUBPIXELPARAM* p, void* dstBits, const SIZE* dstSize, LONG dstStride,
                    const RECT* dstRect, const void* srcBits, const SIZE* srcSize, LONG srcStride,
                    const RECT* srcRect, int bytesPerPixel);

// Whether a one-direction box worker needs 64-bit sums: when 255 times the
// span, with room for the partial ends, could pass 2^29 (the column
// thresholds leave twice the room). Evaluated in double precision.
inline bool OneWayBoxNeedsWideSums(LONG ratio, bool boxVertical) {
  return (static_cast<double>(ratio) + 32768.0) * (boxVertical ? 255.0 : 510.0) >= 536870911.0;
}

// The sub-pixel entry of one scaler family.
using SubPixelScaler = HRESULT (*)(void*, const SIZE*, LONG, const RECT*, const void*,
                                   const SIZE*, LONG, const RECT*, int, int, int);

// The whole-pixel entry: converts the rectangles to Q14 (refusing any
// whose Q14 form does not fit 32 bits), copies rows at exactly 1:1 and
// hands anything else to `subPixel`. Always 0.
HRESULT ScaleWholePixels(SubPixelScaler subPixel, void* dstBits, const SIZE* dstSize,
                         LONG dstStride, const RECT* dstRect, const void* srcBits,
                         const SIZE* srcSize, LONG srcStride, const RECT* srcRect,
                         int bytesPerPixel, int areaFlag, int overwriteFlag);

}  // namespace wuscale
