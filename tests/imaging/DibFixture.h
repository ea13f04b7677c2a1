// Bitmap blocks for the image-operation tests: owned, filled with a fixed
// pseudo-random pattern, addressed by top-down rows.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/WuDib.h"

namespace wutest {

struct DibDeleter {
  void operator()(BITMAPINFOHEADER* dib) const { WuDibFree(dib, 0); }
};
using DibPtr = std::unique_ptr<BITMAPINFOHEADER, DibDeleter>;

// A zero-filled bitmap block; palette types get `colors` palette entries
// (a fixed pattern) unless `palette` is given.
inline DibPtr MakeDib(WUPIXELTYPE type, LONG width, LONG height, const RGBQUAD* palette = nullptr,
                      int colors = 0) {
  BITMAPINFOHEADER* dib = nullptr;
  std::vector<RGBQUAD> pattern;
  if (palette == nullptr && colors > 0) {
    for (int i = 0; i < colors; ++i)
      pattern.push_back({static_cast<BYTE>(i * 37 + 11), static_cast<BYTE>(i * 91 + 3),
                         static_cast<BYTE>(i * 53 + 29), 0});
    palette = pattern.data();
  }
  WuDibAlloc(&dib, type, width, height, palette, colors, WUDIB_ZEROINIT);
  return DibPtr(dib);
}

inline LONG Stride(const BITMAPINFOHEADER* dib) { return WuDibGetStride(dib, 0); }
inline BYTE* Row(const BITMAPINFOHEADER* dib, LONG y) {
  return WuDibGetBits(dib) + static_cast<int64_t>(dib->biHeight - 1 - y) * Stride(dib);
}
inline size_t ImageBytes(const BITMAPINFOHEADER* dib) {
  return static_cast<size_t>(Stride(dib)) * dib->biHeight;
}
inline std::vector<BYTE> Snapshot(const BITMAPINFOHEADER* dib) {
  const BYTE* bits = WuDibGetBits(dib);
  return std::vector<BYTE>(bits, bits + ImageBytes(dib));
}

// Fills every row byte with a pattern; float bitmaps get values 0..1.
inline void FillPattern(BITMAPINFOHEADER* dib, uint32_t seed) {
  uint32_t x = seed * 2654435761u + 12345u;
  BYTE* bits = WuDibGetBits(dib);
  if (dib->biBitCount == 128) {
    float* f = reinterpret_cast<float*>(bits);
    for (size_t i = 0; i < ImageBytes(dib) / 4; ++i) {
      x = x * 1664525u + 1013904223u;
      f[i] = static_cast<float>(x >> 8) / 16777216.0f;
    }
    return;
  }
  for (size_t i = 0; i < ImageBytes(dib); ++i) {
    x = x * 1664525u + 1013904223u;
    bits[i] = static_cast<BYTE>(x >> 24);
  }
}

}  // namespace wutest
