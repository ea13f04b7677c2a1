// A memory DC over a 32-bit top-down DIB section for drawing tests.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/gdi/gdi.h"

namespace wutest {

// The colour a canvas starts in: none of the system colours.
constexpr COLORREF kPaper = RGB(1, 99, 201);

class Canvas {
 public:
  Canvas(int width = 48, int height = 40) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    RECT all{0, 0, width, height};
    SetBkColor(dc_, kPaper);
    ExtTextOutW(dc_, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
    SetBkColor(dc_, RGB(255, 255, 255));
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const void* bits() const { return bits_; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  // Same pixels as another canvas of the same size.
  bool SameAs(const Canvas& other) const {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        if (At(x, y) != other.At(x, y)) return false;
    return true;
  }
  // Still all paper.
  bool Blank() const {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        if (At(x, y) != kPaper) return false;
    return true;
  }
  // Number of pixels of a colour.
  int Count(COLORREF c) const {
    int n = 0;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) n += At(x, y) == c;
    return n;
  }

 private:
  int width_;
  int height_;
  void* bits_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

}  // namespace wutest
