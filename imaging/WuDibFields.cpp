// Field operations on interlaced frames.
#include "imaging/WuDibFields.h"

#include <cstdint>
#include <cstring>

#include "imaging/WuColorMath.h"
#include "imaging/WuColorQuantize.h"
#include "imaging/WuDib.h"
#include "imaging/WuXchg.h"

namespace {

constexpr DWORD kSubpixel = 0x1000000;  // rectangles in Q14

// Both of one depth and size. A layout the depth table does not know (a
// YUV layout, an unknown compression) has depth 0 and no rows of bits x
// width bits: it is refused, not copied by that rule.
bool SameShape(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b) {
  const int bits = WuGetPixelBitsPerChannel(WuGetPixelType(a), nullptr);
  return bits != 0 && bits == WuGetPixelBitsPerChannel(WuGetPixelType(b), nullptr) &&
         a->biHeight == b->biHeight && a->biWidth == b->biWidth;
}

// Each lane of A's first `count` slots becomes the average of A's and B's.
void AverageSlots(WUXCHGFUNCS* a, const WUXCHGFUNCS* b, int count) {
  for (int s = 0; s < count; ++s) {
    for (int i = 0; i < 4; ++i) {
      if (a->laneMode == WUXCHG_LANESFLOAT) {
        a->pixels.f[s][i] = (a->pixels.f[s][i] + b->pixels.f[s][i]) * 0.5f;
      } else if (a->laneMode == WUXCHG_LANES8) {
        a->pixels.b[s][i] = static_cast<BYTE>((a->pixels.b[s][i] + b->pixels.b[s][i]) >> 1);
      } else {
        a->pixels.w[s][i] = static_cast<WORD>((a->pixels.w[s][i] + b->pixels.w[s][i]) >> 1);
      }
    }
  }
}

// The rectangle in pixels intersected with the image.
RECT ClipRect(const BITMAPINFOHEADER* h, const RECT* rect, DWORD flags) {
  RECT whole = {0, 0, h->biWidth, h->biHeight};
  if (rect == nullptr) return whole;
  RECT r = *rect;
  if (flags & kSubpixel) r = {r.left / 0x4000, r.top / 0x4000, r.right / 0x4000, r.bottom / 0x4000};
  RECT out;
  if (!IntersectRect(&out, &r, &whole)) out = {0, 0, 0, 0};
  return out;
}

}  // namespace

HRESULT WuDibMergeFields(const BITMAPINFOHEADER* dst, void* dstRows, LONG dstStride,
                         const BITMAPINFOHEADER* src, const void* srcRows, LONG srcStride,
                         int field, DWORD reserved) {
  if (!SameShape(dst, src)) return E_NOTIMPL;
  BYTE* d = WuDibGetBitsOrDefault(dst, dstRows);
  const BYTE* s = WuDibGetBitsOrDefault(src, const_cast<void*>(srcRows));
  dstStride = WuDibGetStride(dst, dstStride);
  srcStride = WuDibGetStride(src, srcStride);
  const LONG height = dst->biHeight;
  const size_t bytes = (static_cast<size_t>(dst->biBitCount) * dst->biWidth + 7) / 8;
  for (LONG row = (field == 1 - (height % 2)) ? 1 : 0; row < height; row += 2)
    std::memcpy(d + static_cast<int64_t>(row) * dstStride, s + static_cast<int64_t>(row) * srcStride,
                bytes);
  return S_OK;
}

HRESULT WuDibMergeFieldsRotated(const BITMAPINFOHEADER* dst, void* dstRows, LONG dstStride,
                                const BITMAPINFOHEADER* src, const void* srcRows, LONG srcStride,
                                int field, DWORD reserved) {
  if (!SameShape(dst, src)) return E_NOTIMPL;
  const int bits = dst->biBitCount;
  if (bits != 32 && bits != 128) return E_NOTIMPL;
  const size_t pixel = static_cast<size_t>(bits / 8);
  BYTE* d = WuDibGetBitsOrDefault(dst, dstRows);
  const BYTE* s = WuDibGetBitsOrDefault(src, const_cast<void*>(srcRows));
  dstStride = WuDibGetStride(dst, dstStride);
  srcStride = WuDibGetStride(src, srcStride);
  const LONG width = dst->biWidth;
  const LONG first = (field == 1 - (width % 2)) ? 1 : 0;
  for (LONG row = 0; row < dst->biHeight; ++row) {
    BYTE* dr = d + static_cast<int64_t>(row) * dstStride;
    const BYTE* sr = s + static_cast<int64_t>(row) * srcStride;
    for (LONG col = first; col < width; col += 2) std::memcpy(dr + col * pixel, sr + col * pixel, pixel);
  }
  return S_OK;
}

HRESULT WuDibCopyInterlace(const BITMAPINFOHEADER* dst, void* dstRows, const RECT* dstRect,
                           LONG dstStride, const BITMAPINFOHEADER* src, const void* srcRows,
                           const RECT* srcRect, LONG srcStride, int field, DWORD flags) {
  const WUPIXELTYPE srcType = WuGetPixelType(src);
  if (srcType < 16 || srcType > 32) return E_NOTIMPL;
  const RECT sr = ClipRect(src, srcRect, flags);
  if (sr.right <= sr.left || sr.bottom <= sr.top) return S_OK;
  const WUPIXELTYPE dstType = WuGetPixelType(dst);
  if (dstType < 16 || dstType > 32) return E_NOTIMPL;
  const RECT dr = ClipRect(dst, dstRect, flags);
  if (dr.right <= dr.left || dr.bottom <= dr.top) return S_OK;
  BYTE* map = nullptr;
  if (dstType == WUPIXEL_PAL4 || dstType == WUPIXEL_PAL8) {
    HRESULT hr = WuDibCreateColorQuantizer(&map, dst);
    if (FAILED(hr)) return hr;
  }
  const LONG width = sr.right - sr.left, height = sr.bottom - sr.top;
  if (width != dr.right - dr.left || height != dr.bottom - dr.top) {
    WuDibFreeColorQuantizer(map);
    return E_NOTIMPL;
  }
  const LONG dStride = WuDibGetStride(dst, dstStride), sStride = WuDibGetStride(src, srcStride);
  const int dBits = dst->biBitCount, sBits = src->biBitCount;
  // Row i counts from the rectangle's bottom line upward in memory.
  BYTE* dBase = WuDibRowAt(WuDibGetBitsOrDefault(dst, dstRows), dst, dStride, dr.bottom - 1) +
                static_cast<int64_t>(dr.left) * dBits / 8;
  const BYTE* sBase =
      WuDibRowAt(WuDibGetBitsOrDefault(src, const_cast<void*>(srcRows)), src, sStride,
                 sr.bottom - 1) +
      static_cast<int64_t>(sr.left) * sBits / 8;
  const DWORD dBit = static_cast<DWORD>((static_cast<int64_t>(dr.left) * dBits) % 8);
  const DWORD sBit = static_cast<DWORD>((static_cast<int64_t>(sr.left) * sBits) % 8);
  auto srcRow = [&](LONG i) { return sBase + static_cast<int64_t>(i) * sStride; };

  WUXCHGFUNCS a, b;
  HRESULT hr = WuXCHGGetFunctionPointers(dstType, srcType, flags, &a, nullptr, 0.0, 0.0);
  if (SUCCEEDED(hr)) {
    hr = WuXCHGGetFunctionPointers(dstType, srcType, flags, &b, nullptr, 0.0, 0.0);
    if (FAILED(hr)) WuXCHGFreeCurves(&a);
  }
  if (FAILED(hr)) {
    WuDibFreeColorQuantizer(map);
    return hr;
  }
  RGBQUAD table[WUDIB_MAX_COLORS];
  const RGBQUAD* srcTable = WuDibColorTable(src, table);
  for (WUXCHGFUNCS* r : {&a, &b}) {
    r->srcPalette = srcTable;
    r->dstPalette = WuDibColorTable(dst, nullptr);
    r->inverseMap = map;
  }
  for (LONG i = 0; i < height; ++i) {
    const LONG y = sr.bottom - 1 - i;
    a.dst = dBase + static_cast<int64_t>(i) * dStride;
    a.dstBit = dBit;
    if ((y + 1) % 2 == field) {
      a.src = srcRow(i);
      a.srcBit = sBit;
      LONG n = width;
      for (; n >= 4; n -= 4) {
        a.fetch4(&a);
        a.store4(&a);
      }
      for (; n > 0; --n) {
        a.fetch(&a);
        a.store(&a);
      }
      continue;
    }
    LONG below = i - 1, above = i + 1;
    if (height == 1) {
      below = above = i;
    } else if (i == 0) {
      below = above;
    } else if (i == height - 1) {
      above = below;
    }
    a.src = srcRow(below);
    b.src = srcRow(above);
    a.srcBit = b.srcBit = sBit;
    LONG n = width;
    for (; n >= 4; n -= 4) {
      a.fetch4(&a);
      b.fetch4(&b);
      AverageSlots(&a, &b, 4);
      a.store4(&a);
    }
    for (; n > 0; --n) {
      a.fetch(&a);
      b.fetch(&b);
      AverageSlots(&a, &b, 1);
      a.store(&a);
    }
  }
  WuXCHGFreeCurves(&a);
  WuXCHGFreeCurves(&b);
  WuDibFreeColorQuantizer(map);
  return S_OK;
}
