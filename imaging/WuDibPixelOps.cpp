// Pixel operations on bitmaps: vertical flip, red/blue swap, rectangle
// fill and single pixels.
#include "imaging/WuDibPixelOps.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/WuColorMath.h"
#include "imaging/WuColorQuantize.h"
#include "imaging/WuDib.h"
#include "imaging/WuXchg.h"

namespace {

// The image's rectangle: the given one intersected with the image. FALSE
// when it is empty.
BOOL ClipToImage(RECT* out, const BITMAPINFOHEADER* header, const RECT* rect) {
  RECT whole = {0, 0, header->biWidth, header->biHeight};
  if (rect == nullptr) {
    *out = whole;
    return whole.right > 0 && whole.bottom > 0;
  }
  return IntersectRect(out, rect, &whole);
}

inline BOOL IsPaletteType(WUPIXELTYPE type) {
  return type == WUPIXEL_PAL4 || type == WUPIXEL_PAL8;
}

inline BYTE GetNibble(const BYTE* row, LONG x) {
  BYTE b = row[x >> 1];
  return (x & 1) ? (b & 0x0F) : (b >> 4);
}

inline void SetNibble(BYTE* row, LONG x, BYTE v) {
  BYTE& b = row[x >> 1];
  b = (x & 1) ? static_cast<BYTE>((b & 0xF0) | v) : static_cast<BYTE>((b & 0x0F) | (v << 4));
}

}  // namespace

HRESULT WuDibFlip(const BITMAPINFOHEADER* header, void* rows, const RECT* rect, LONG stride,
                  BOOL horizontal, BOOL vertical) {
  WUPIXELTYPE type = WuGetPixelType(header);
  if (type < WUPIXEL_PAL4 || type > WUPIXEL_RGBA64 || type == WUPIXEL_RGB101010) return E_NOTIMPL;
  if (horizontal) return E_NOTIMPL;
  RECT r;
  if (!vertical || !ClipToImage(&r, header, rect)) return S_OK;
  BYTE* bits = WuDibGetBitsOrDefault(header, rows);
  stride = WuDibGetStride(header, stride);
  int bpp = header->biBitCount;
  for (LONG top = r.top, bottom = r.bottom - 1; top < bottom; ++top, --bottom) {
    BYTE* a = WuDibRowAt(bits, header, stride, top);
    BYTE* b = WuDibRowAt(bits, header, stride, bottom);
    if (bpp == 4) {
      for (LONG x = r.left; x < r.right; ++x) {
        BYTE va = GetNibble(a, x);
        SetNibble(a, x, GetNibble(b, x));
        SetNibble(b, x, va);
      }
    } else {
      size_t from = static_cast<size_t>(r.left) * (bpp / 8);
      size_t to = static_cast<size_t>(r.right) * (bpp / 8);
      std::swap_ranges(a + from, a + to, b + from);
    }
  }
  return S_OK;
}

HRESULT WuDibSwapRB(const BITMAPINFOHEADER* header, void* rows, const RECT* rect, LONG stride) {
  WUPIXELTYPE type = WuGetPixelType(header);
  if (type != WUPIXEL_RGB24 && type != WUPIXEL_RGB32 && type != WUPIXEL_RGBA32) return E_NOTIMPL;
  RECT r;
  if (!ClipToImage(&r, header, rect)) return S_OK;
  BYTE* bits = WuDibGetBitsOrDefault(header, rows);
  stride = WuDibGetStride(header, stride);
  int bytes = type == WUPIXEL_RGB24 ? 3 : 4;
  for (LONG y = r.top; y < r.bottom; ++y) {
    BYTE* p = WuDibRowAt(bits, header, stride, y) + static_cast<size_t>(r.left) * bytes;
    for (LONG x = r.left; x < r.right; ++x, p += bytes) std::swap(p[0], p[2]);
  }
  return S_OK;
}

HRESULT WuDibSet(const BITMAPINFOHEADER* header, void* rows, const RECT* rect, LONG stride,
                 float red, float green, float blue, float alpha, DWORD flags) {
  WUPIXELTYPE type = WuGetPixelType(header);
  if (type < 16 || type > 32) return E_NOTIMPL;
  RECT given;
  if (rect != nullptr && (flags & WUDIB_SUBPIXEL)) {
    given = {rect->left / 0x4000, rect->top / 0x4000, rect->right / 0x4000,
             rect->bottom / 0x4000};
    rect = &given;
  }
  RECT r;
  if (!ClipToImage(&r, header, rect)) return S_OK;
  BYTE* map = nullptr;
  if (IsPaletteType(type)) {
    HRESULT hr = WuDibCreateColorQuantizer(&map, header);
    if (FAILED(hr)) return hr;
  }
  WUXCHGFUNCS rec;
  HRESULT hr =
      WuXCHGGetFunctionPointers(type, type, flags & ~WUDIB_SUBPIXEL, &rec, nullptr, 0.0, 0.0);
  if (FAILED(hr)) {
    WuDibFreeColorQuantizer(map);
    return hr;
  }
  RGBQUAD table[WUDIB_MAX_COLORS];
  rec.inverseMap = map;
  rec.srcPalette = WuDibColorTable(header, table);
  rec.dstPalette = rec.srcPalette;
  // Slot order is blue, green, red, alpha.
  const float values[4] = {blue, green, red, alpha};
  for (int i = 0; i < 4; ++i) {
    float v = values[i];
    float c = WuClamp01(v);
    for (int s = 0; s < 4; ++s) {
      if (rec.laneMode == WUXCHG_LANESFLOAT) {
        rec.pixels.f[s][i] = v;
      } else if (rec.laneMode == WUXCHG_LANES8) {
        rec.pixels.b[s][i] = static_cast<BYTE>(c * 255.0f);
      } else {
        rec.pixels.w[s][i] = static_cast<WORD>(c * 65535.0f);
      }
    }
  }
  const WUXCHGPIXELS pixel = rec.pixels;
  BYTE* bits = WuDibGetBitsOrDefault(header, rows);
  stride = WuDibGetStride(header, stride);
  int bpp = header->biBitCount;
  for (LONG y = r.top; y < r.bottom; ++y) {
    int64_t bitPos = static_cast<int64_t>(r.left) * bpp;
    rec.dst = WuDibRowAt(bits, header, stride, y) + bitPos / 8;
    rec.dstBit = static_cast<DWORD>(bitPos % 8);
    LONG n = r.right - r.left;
    for (; n >= 4; n -= 4) {
      rec.pixels = pixel;
      rec.store4(&rec);
    }
    for (; n > 0; --n) {
      rec.pixels = pixel;
      rec.store(&rec);
    }
  }
  WuXCHGFreeCurves(&rec);
  WuDibFreeColorQuantizer(map);
  return S_OK;
}

HRESULT WuDibFillRect(const BITMAPINFOHEADER* header, void* rows, const RECT* rect, LONG stride,
                      const WURGBAFLOAT* color, DWORD flags) {
  return WuDibSet(header, rows, rect, stride, color->red, color->green, color->blue, color->alpha,
                  flags);
}

namespace {

constexpr DWORD kSinglePixelFlags = 19;  // quality 3 with 16-bit lanes forced

}  // namespace

HRESULT WuDibGetPixel(const BITMAPINFOHEADER* header, const void* rows, LONG stride, LONG x,
                      LONG y, BYTE pixel[8]) {
  WUPIXELTYPE type = WuGetPixelType(header);
  if (type < 16 || type > 32) return E_NOTIMPL;
  if (x < 0 || y < 0 || x >= header->biWidth || y >= header->biHeight) return E_NOTIMPL;
  WUXCHGFUNCS rec;
  HRESULT hr = WuXCHGGetFunctionPointers(type, type, kSinglePixelFlags, &rec, nullptr, 0.0, 0.0);
  if (FAILED(hr)) return hr;
  RGBQUAD table[WUDIB_MAX_COLORS];
  rec.srcPalette = WuDibColorTable(header, table);
  BYTE* bits = WuDibGetBitsOrDefault(header, const_cast<void*>(rows));
  int64_t bitPos = static_cast<int64_t>(x) * header->biBitCount;
  rec.src = WuDibRowAt(bits, header, WuDibGetStride(header, stride), y) + bitPos / 8;
  rec.srcBit = static_cast<DWORD>(bitPos % 8);
  rec.fetch(&rec);
  std::memcpy(pixel, rec.pixels.w[0], 8);
  WuXCHGFreeCurves(&rec);
  return S_OK;
}

HRESULT WuDibSetPixel(const BITMAPINFOHEADER* header, void* rows, LONG stride, LONG x, LONG y,
                      const BYTE pixel[8]) {
  WUPIXELTYPE type = WuGetPixelType(header);
  if (type < 16 || type > 32) return E_NOTIMPL;
  if (x < 0 || y < 0 || x >= header->biWidth || y >= header->biHeight) return E_INVALIDARG;
  BYTE* map = nullptr;
  if (IsPaletteType(type)) {
    HRESULT hr = WuDibCreateColorQuantizer(&map, header);
    if (FAILED(hr)) return hr;
  }
  WUXCHGFUNCS rec;
  HRESULT hr = WuXCHGGetFunctionPointers(type, type, kSinglePixelFlags, &rec, nullptr, 0.0, 0.0);
  if (FAILED(hr)) {
    WuDibFreeColorQuantizer(map);
    return hr;
  }
  rec.inverseMap = map;
  BYTE* bits = WuDibGetBitsOrDefault(header, rows);
  int64_t bitPos = static_cast<int64_t>(x) * header->biBitCount;
  rec.dst = WuDibRowAt(bits, header, WuDibGetStride(header, stride), y) + bitPos / 8;
  rec.dstBit = static_cast<DWORD>(bitPos % 8);
  std::memcpy(rec.pixels.w[0], pixel, 8);
  rec.store(&rec);
  WuXCHGFreeCurves(&rec);
  WuDibFreeColorQuantizer(map);
  return S_OK;
}
