// Small helpers for the YUV conversion tests: bitmap and YUV headers,
// buffers with guard bytes around them, and seeded random bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/WuDib.h"
#include "imaging/WuPixelTypes.h"
#include "imaging/WuYuvLayout.h"
#include "imaging/WuYuvMatrix.h"
#include "imaging/WuYuvSamples.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

namespace yuvtest {

// A byte buffer with `kGuard` guard bytes of a known value before and after.
class Guarded {
 public:
  static constexpr size_t kGuard = 64;
  static constexpr BYTE kFill = 0xA5;
  explicit Guarded(size_t size, BYTE fill = kFill) : bytes_(size + 2 * kGuard, kFill), size_(size) {
    std::memset(data(), fill, size);
  }
  BYTE* data() { return bytes_.data() + kGuard; }
  const BYTE* data() const { return bytes_.data() + kGuard; }
  size_t size() const { return size_; }
  BYTE& operator[](size_t i) { return data()[i]; }
  // True when the guards still hold the fill byte.
  bool GuardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i)
      if (bytes_[i] != kFill || bytes_[kGuard + size_ + i] != kFill) return false;
    return true;
  }
  // True when the guards are intact and every byte inside holds `fill`.
  bool AllEqual(BYTE fill) const {
    for (size_t i = 0; i < size_; ++i)
      if (data()[i] != fill) return false;
    return GuardsIntact();
  }

 private:
  std::vector<BYTE> bytes_;
  size_t size_;
};

// A bitmap header of a pixel type (28, 29, 32, ...).
inline BITMAPINFOHEADER RgbHeader(WUPIXELTYPE type, LONG width, LONG height) {
  alignas(8) BYTE buffer[sizeof(BITMAPINFOHEADER) + 16] = {};
  auto* h = reinterpret_cast<BITMAPINFOHEADER*>(buffer);
  WuVideo_InitBitmapInfo(h, type, width, height, nullptr, 0, nullptr);
  return *h;
}

// A YUV header of a FOURCC.
inline BITMAPINFOHEADER YuvHeader(DWORD fourcc, LONG width, LONG height) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 16;
  h.biCompression = fourcc;
  return h;
}

// Deterministic pseudo-random bytes.
inline void FillRandom(BYTE* p, size_t n, uint32_t seed) {
  uint32_t s = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    s = s * 1664525u + 1013904223u;
    p[i] = static_cast<BYTE>(s >> 24);
  }
}

using wu_yuv::ReadLE32;
using wu_yuv::WriteLE32;
// A v210 word of three 10-bit samples.
inline DWORD V210Word(int a, int b, int c) { return wu_yuv::PackField10(0, a, b, c); }

// Conversion options with a matrix code, image gamma and interlace type.
inline WUYUVCONVERTOPTIONS Options(LONG code, double imageGamma = 0, WUINTERLACETYPE il = 0) {
  WUYUVCONVERTOPTIONS o{};
  o.matrixCode = code;
  o.imageGamma = imageGamma;
  o.interlaceType = il;
  return o;
}

}  // namespace yuvtest
