// Copying one bitmap into another with pixel-type conversion, clipping and
// optional scaling.
#include "imaging/WuDibCopy.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "imaging/WuColorMath.h"
#include "imaging/WuColorQuantize.h"
#include "imaging/WuDib.h"
#include "imaging/WuQ14Span.h"
#include "imaging/WuDibScale.h"
#include "imaging/WuXchg.h"

namespace {

constexpr int64_t kOne = 0x4000;           // one pixel in Q14
constexpr int64_t kMaxQ14 = 0x7FFFFFFF;    // largest Q14 value a step or position may take
constexpr DWORD kFadeSides = WUDIBCOPY_EDGES;

// Rectangle in 64 bits, for clipping arithmetic.
struct Rect64 {
  int64_t left, top, right, bottom;
};

Rect64 To64(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
RECT ToRect(const Rect64& r) {
  return {static_cast<LONG>(r.left), static_cast<LONG>(r.top), static_cast<LONG>(r.right),
          static_cast<LONG>(r.bottom)};
}

// Clips `r` to 0..width x 0..height, shrinking `other` on the same sides
// by each cut times other's extent over r's extent (both before the cut).
// FALSE when r misses the area.
bool ClipPair(Rect64* r, Rect64* other, int64_t width, int64_t height) {
  if (r->right <= 0 || r->bottom <= 0 || r->left >= width || r->top >= height ||
      r->left >= r->right || r->top >= r->bottom)
    return false;
  int64_t w = r->right - r->left, h = r->bottom - r->top;
  int64_t ow = other->right - other->left, oh = other->bottom - other->top;
  int64_t cutL = std::max<int64_t>(0, -r->left), cutR = std::max<int64_t>(0, r->right - width);
  int64_t cutT = std::max<int64_t>(0, -r->top), cutB = std::max<int64_t>(0, r->bottom - height);
  r->left += cutL;
  r->right -= cutR;
  r->top += cutT;
  r->bottom -= cutB;
  other->left += cutL * ow / w;
  other->right -= cutR * ow / w;
  if (h != 0) {
    other->top += cutT * oh / h;
    other->bottom -= cutB * oh / h;
  }
  return true;
}

inline bool IsPaletteType(WUPIXELTYPE t) { return t == WUPIXEL_PAL4 || t == WUPIXEL_PAL8; }
inline bool IsByteRgb(WUPIXELTYPE t) { return t == WUPIXEL_RGB32 || t == WUPIXEL_RGBA32; }

inline int SlotBytes(const WUXCHGFUNCS& rec) {
  return rec.laneMode == WUXCHG_LANESFLOAT ? 16 : 8;
}
inline BYTE* Slot(WUXCHGFUNCS* rec, int k) {
  return reinterpret_cast<BYTE*>(&rec->pixels) + k * SlotBytes(*rec);
}

// One side of the general copy.
struct CopySide {
  const BITMAPINFOHEADER* header;  // the bitmap
  WUPIXELTYPE type;                // pixel type
  int bits;                        // bits per pixel
  BYTE* rows;                      // rows (bottom row first)
  LONG stride;                     // stride in bytes
  const RGBQUAD* palette;          // colour table (WuDibColorTable)
  RGBQUAD paddedTable[WUDIB_MAX_COLORS];  // a short table padded to every index
  BYTE* firstRow;                  // the clipped rectangle's top row, at its left pixel's byte
  DWORD bitOffset;                 // bit of the left pixel in that byte, from the top
  RECT rect;                       // clipped rectangle
  SIZE size;                       // its size
};

// Parameters of the general copy.
struct CopyParam {
  bool scaling;     // the clipped sizes differ
  int64_t stepX;    // horizontal source step per destination pixel, Q14
  int64_t stepY;    // vertical step
  CopySide dst;     // destination
  CopySide src;     // source
  BYTE* inverseMap; // colour table of a palette destination
  DWORD flags;      // the copy's flags
  RECT deltas;      // how far clipping moved the source's edges inward
};

void InitSide(CopySide* s, const BITMAPINFOHEADER* h, WUPIXELTYPE type, void* rows, LONG stride,
              const RECT& rect) {
  s->header = h;
  s->type = type;
  s->bits = h->biBitCount;
  s->rows = WuDibGetBitsOrDefault(h, rows);
  s->stride = WuDibGetStride(h, stride);
  s->palette = WuDibColorTable(h, s->paddedTable);
  s->rect = rect;
  s->size = {rect.right - rect.left, rect.bottom - rect.top};
  int64_t bitPos = static_cast<int64_t>(rect.left) * s->bits;
  s->firstRow = WuDibRowAt(s->rows, h, s->stride, rect.top) + bitPos / 8;
  s->bitOffset = static_cast<DWORD>(bitPos % 8);
}

// Address of pixel (x, y) of a side's rectangle.
inline void PixelAt(const CopySide& s, int64_t x, int64_t y, BYTE** p, DWORD* bit) {
  int64_t bitPos = s.bitOffset + x * s.bits;
  *p = s.firstRow - y * static_cast<int64_t>(s.stride) + bitPos / 8;
  *bit = static_cast<DWORD>(bitPos % 8);
}

// Step of one direction: 0x4000 at equal sizes, else end to end.
int64_t StepOf(int64_t srcSize, int64_t dstSize) {
  if (srcSize == dstSize) return kOne;
  if (dstSize == 1) return srcSize * kOne - kOne;
  return (srcSize * kOne - kOne) / (dstSize - 1);
}

HRESULT PrepareCopy(CopyParam* p, const BITMAPINFOHEADER* dst, void* dstRows,
                    const RECT* dstRect, LONG dstStride, const BITMAPINFOHEADER* src,
                    const void* srcRows, const RECT* srcRect, LONG srcStride, DWORD flags,
                    WUPIXELTYPE dstType, WUPIXELTYPE srcType) {
  std::memset(p, 0, sizeof(*p));
  if (dstType < 16 || dstType > 32 || srcType < 16 || srcType > 32) return E_NOTIMPL;
  RECT d, s;
  WuDibPrepareRects(dst, &d, dstRect, src, &s, srcRect, &p->deltas);
  if (d.left >= d.right || d.top >= d.bottom || s.left >= s.right || s.top >= s.bottom)
    return S_FALSE;
  InitSide(&p->dst, dst, dstType, dstRows, dstStride, d);
  InitSide(&p->src, src, srcType, const_cast<void*>(srcRows), srcStride, s);
  p->flags = flags;
  p->scaling = p->src.size.cx != p->dst.size.cx || p->src.size.cy != p->dst.size.cy;
  p->stepX = p->stepY = kOne;
  if (p->scaling) {
    int64_t sw = p->src.size.cx, sh = p->src.size.cy;
    int64_t dw = p->dst.size.cx, dh = p->dst.size.cy;
    // Positions run up to the source size in Q14: they must fit 32 bits.
    if (sw * kOne > kMaxQ14 || sh * kOne > kMaxQ14) return E_INVALIDARG;
    if ((flags & WUDIBCOPY_QUALITY) < 3) {
      p->stepX = sw * kOne / dw;
      p->stepY = sh * kOne / dh;
    } else {
      p->stepX = StepOf(sw, dw);
      p->stepY = StepOf(sh, dh);
    }
    if (p->stepX <= 0 || p->stepY <= 0) return E_INVALIDARG;
  }
  if (IsPaletteType(dstType)) {
    HRESULT hr = WuDibCreateColorQuantizer(&p->inverseMap, dst);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// ---- Same-size fast paths ------------------------------------------------------------------

// b / 255 for every byte, built once.
const float* ByteToFloatTable() {
  static float table[256];
  static std::once_flag once;
  std::call_once(once, [] {
    for (int i = 0; i < 256; ++i) table[i] = static_cast<float>(i) / 255.0f;
  });
  return table;
}

// Ordered dither matrix, in 1/4080 steps.
constexpr BYTE kDither[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Rows of a pair that takes a fast path; false when the pair has none.
bool FastPath(CopyParam* p, WUXCHGFUNCS* rec) {
  WUPIXELTYPE s = p->src.type, d = p->dst.type;
  const LONG w = p->dst.size.cx, h = p->dst.size.cy;
  const int quality = static_cast<int>(p->flags & WUDIBCOPY_QUALITY);
  auto srcRow = [&](LONG y) { return p->src.firstRow - static_cast<int64_t>(y) * p->src.stride; };
  auto dstRow = [&](LONG y) { return p->dst.firstRow - static_cast<int64_t>(y) * p->dst.stride; };

  if (s == WUPIXEL_RGB24 && IsByteRgb(d)) {
    for (LONG y = 0; y < h; ++y) {
      const BYTE* in = srcRow(y);
      BYTE* out = dstRow(y);
      // Four pixels from three little-endian words, then the rest.
      static_assert(std::endian::native == std::endian::little);
      LONG x = 0;
      for (; x + 4 <= w; x += 4, in += 12, out += 16) {
        uint32_t a, b, c;
        std::memcpy(&a, in, 4);
        std::memcpy(&b, in + 4, 4);
        std::memcpy(&c, in + 8, 4);
        const uint32_t four[4] = {a | 0xFF000000u, (a >> 24) | (b << 8) | 0xFF000000u,
                                  (b >> 16) | (c << 16) | 0xFF000000u, (c >> 8) | 0xFF000000u};
        std::memcpy(out, four, 16);
      }
      for (; x < w; ++x, in += 3, out += 4) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = 255;
      }
    }
    return true;
  }
  if ((s == WUPIXEL_RGB24 || IsByteRgb(s)) && d == WUPIXEL_RGBA128F) {
    float curved[256];
    const float* table = ByteToFloatTable();
    if (WuGammaCurve_IsNonUnity(&rec->storeCurve)) {
      WuGammaCurve_BuildTable(&rec->storeCurve, 256);
      for (int i = 0; i < 256; ++i) curved[i] = WuGammaCurve_GetTableEntry(&rec->storeCurve, i);
      table = curved;
    }
    const int inBytes = s == WUPIXEL_RGB24 ? 3 : 4;
    for (LONG y = 0; y < h; ++y) {
      const BYTE* in = srcRow(y);
      float* out = reinterpret_cast<float*>(dstRow(y));
      for (LONG x = 0; x < w; ++x, in += inBytes, out += 4) {
        out[0] = table[in[0]];
        out[1] = table[in[1]];
        out[2] = table[in[2]];
        out[3] = inBytes == 3 ? 1.0f : table[in[3]];
      }
    }
    return true;
  }
  if (s == WUPIXEL_RGBA128F && (d == WUPIXEL_RGB24 || IsByteRgb(d))) {
    const int channels = d == WUPIXEL_RGB24 ? 3 : 4;
    WuGammaCurve* curve = &rec->fetchCurve;
    const bool curved = WuGammaCurve_IsNonUnity(curve);
    if (quality >= 3) {
      if (curved) WuGammaCurve_BuildTable(curve, 256);
      for (LONG y = 0; y < h; ++y) {
        const float* in = reinterpret_cast<const float*>(srcRow(y));
        BYTE* out = dstRow(y);
        for (LONG x = 0; x < w; ++x, in += 4, out += channels) {
          float dither = static_cast<float>(kDither[y & 3][x & 3]) / 4080.0f;
          for (int c = 0; c < channels; ++c) {
            float v = curved ? WuGammaCurve_Lookup(curve, in[c]) : in[c];
            out[c] = WuFloatToByte(v + dither);
          }
        }
      }
    } else if (curved) {
      WuGammaCurve_BuildByteTable(curve, 4096);
      for (LONG y = 0; y < h; ++y) {
        const float* in = reinterpret_cast<const float*>(srcRow(y));
        BYTE* out = dstRow(y);
        for (LONG x = 0; x < w; ++x, in += 4, out += channels)
          for (int c = 0; c < channels; ++c) out[c] = WuGammaCurve_LookupByte(curve, in[c]);
      }
    } else {
      for (LONG y = 0; y < h; ++y) {
        const float* in = reinterpret_cast<const float*>(srcRow(y));
        BYTE* out = dstRow(y);
        if (channels == 4) {
          WuFloatsToBytes(out, in, w * 4);
          continue;
        }
        for (LONG x = 0; x < w; ++x, in += 4, out += 3)
          for (int c = 0; c < 3; ++c) out[c] = WuFloatToByte(in[c] + 0.0019607844f);
      }
    }
    return true;
  }
  if (s == WUPIXEL_RGBA128F && d == WUPIXEL_RGBA128F) {
    WuGammaCurve* curve = &rec->fetchCurve;
    if (WuGammaCurve_IsNonUnity(curve)) {
      WuGammaCurve_BuildTable(curve, 2048);
      for (LONG y = 0; y < h; ++y) {
        const float* in = reinterpret_cast<const float*>(srcRow(y));
        float* out = reinterpret_cast<float*>(dstRow(y));
        for (LONG i = 0; i < w * 4; ++i) out[i] = WuGammaCurve_Lookup(curve, in[i]);
      }
      return true;
    }
  }
  if (s == d && p->src.bits > 8) {
    size_t bytes = static_cast<size_t>(w) * (p->src.bits / 8);
    for (LONG y = 0; y < h; ++y) std::memmove(dstRow(y), srcRow(y), bytes);
    return true;
  }
  return false;
}

// ---- Pipeline walks -----------------------------------------------------------------------

// Same size: runs of four, then single pixels.
void SameSizeWalk(CopyParam* p, WUXCHGFUNCS* rec) {
  for (LONG y = 0; y < p->dst.size.cy; ++y) {
    PixelAt(p->src, 0, y, const_cast<BYTE**>(&rec->src), &rec->srcBit);
    PixelAt(p->dst, 0, y, &rec->dst, &rec->dstBit);
    LONG n = p->dst.size.cx;
    for (; n >= 4; n -= 4) {
      rec->fetch4(rec);
      rec->store4(rec);
    }
    for (; n > 0; --n) {
      rec->fetch(rec);
      rec->store(rec);
    }
  }
}

// Sampling state of one destination row.
struct RowSampler {
  const CopyParam* p;
  WUXCHGFUNCS* rec;
  WUXCHGFUNC fetch;  // interpolating fetch of this geometry
  int64_t sy;        // source row
  LONG fy;           // its fraction

  // Source column of destination column x: (column, fraction).
  void Column(LONG x, int64_t* sx, LONG* fx) const {
    int64_t pos = static_cast<int64_t>(x) * p->stepX;
    *sx = pos >> 14;
    *fx = static_cast<LONG>(pos & 0x3FFF);
    if (x == p->dst.size.cx - 1 || *sx >= p->src.size.cx - 1) {
      *sx = p->src.size.cx - 1;
      *fx = 0;
    }
  }
  // Fetches the sample of destination column x into slot 0.
  void Fetch(LONG x, int64_t* sxOut = nullptr) {
    int64_t sx;
    LONG fx;
    Column(x, &sx, &fx);
    PixelAt(p->src, sx, sy, const_cast<BYTE**>(&rec->src), &rec->srcBit);
    rec->weightX = fx;
    rec->weightY = fy;
    // Without a horizontal fraction the right neighbour is not read: at the
    // image's last column it lies past the row.
    (fx == 0 ? rec->fetchVertical : fetch)(rec);
    if (sxOut != nullptr) *sxOut = sx;
  }
};

RowSampler StartRow(CopyParam* p, WUXCHGFUNCS* rec, LONG y) {
  RowSampler r{p, rec, p->src.size.cx == 1 ? rec->fetchVertical : rec->fetchBilinear, 0, 0};
  int64_t pos = static_cast<int64_t>(y) * p->stepY;
  r.sy = pos >> 14;
  r.fy = static_cast<LONG>(pos & 0x3FFF);
  if (y == p->dst.size.cy - 1 || r.sy >= p->src.size.cy - 1) {
    r.sy = p->src.size.cy - 1;
    r.fy = 0;
  }
  // The row below, for interpolation; none on the last source row.
  rec->srcStride = r.sy + 1 < p->src.size.cy ? -p->src.stride : 0;
  PixelAt(p->dst, 0, y, &rec->dst, &rec->dstBit);
  return r;
}

// Scaling: each destination pixel sampled at its source position. The
// columns' source offsets, bits and fractions are the same on every row.
void ScaleWalk(CopyParam* p, WUXCHGFUNCS* rec) {
  const int slot = SlotBytes(*rec);
  const LONG width = p->dst.size.cx;
  struct Column {
    int64_t offset;    // bytes from the row's left pixel
    DWORD bit;         // bit in that byte
    LONG fraction;     // horizontal weight
  };
  std::vector<Column> columns(static_cast<size_t>(width));
  RowSampler probe = {p, rec, nullptr, 0, 0};
  for (LONG x = 0; x < width; ++x) {
    int64_t sx;
    LONG fx;
    probe.Column(x, &sx, &fx);
    int64_t bitPos = p->src.bitOffset + sx * p->src.bits;
    columns[x] = {bitPos / 8, static_cast<DWORD>(bitPos % 8), fx};
  }
  BYTE four[64];
  for (LONG y = 0; y < p->dst.size.cy; ++y) {
    RowSampler row = StartRow(p, rec, y);
    const BYTE* base = p->src.firstRow - row.sy * static_cast<int64_t>(p->src.stride);
    rec->weightY = row.fy;
    auto fetchAt = [&](LONG x) {
      const Column& c = columns[x];
      rec->src = base + c.offset;
      rec->srcBit = c.bit;
      rec->weightX = c.fraction;
      // Without a horizontal fraction the right neighbour is not read: at
      // the image's last column it lies past the row.
      (c.fraction == 0 ? rec->fetchVertical : row.fetch)(rec);
    };
    LONG x = 0;
    for (; x + 4 <= width; x += 4) {
      for (int k = 0; k < 4; ++k) {
        fetchAt(x + k);
        std::memcpy(four + k * slot, Slot(rec, 0), slot);
      }
      std::memcpy(Slot(rec, 0), four, 4 * slot);
      rec->store4(rec);
    }
    for (; x < width; ++x) {
      fetchAt(x);
      rec->store(rec);
    }
  }
}

// Edge fade: near the enabled edges the new pixel is cross-faded into the
// one already in the destination, fetched through `back` (destination type
// to source type, op code 3).
void FadeWalk(CopyParam* p, WUXCHGFUNCS* rec, WUXCHGFUNCS* back) {
  int64_t b = rec->edgeWidth;
  if (p->scaling) b = b * std::max(p->stepX, p->stepY) / kOne;
  const DWORD sides = p->flags & kFadeSides;
  const int slot = SlotBytes(*rec);
  const int64_t sw = p->src.size.cx, sh = p->src.size.cy;
  const DWORD unit = b > 0 ? static_cast<DWORD>(0xFFFF / (b + 1)) : 0;
  for (LONG y = 0; y < p->dst.size.cy; ++y) {
    RowSampler row = StartRow(p, rec, y);
    int64_t rowAmount = 0;
    if (sides & WUDIBCOPY_FADE_TOP) rowAmount = std::max(rowAmount, b - (row.sy + p->deltas.top));
    if (sides & WUDIBCOPY_FADE_BOTTOM)
      rowAmount = std::max(rowAmount, b - (sh - 1 - row.sy + p->deltas.bottom));
    for (LONG x = 0; x < p->dst.size.cx; ++x) {
      BYTE* at = rec->dst;
      DWORD atBit = rec->dstBit;
      int64_t sx;
      row.Fetch(x, &sx);
      int64_t amount = rowAmount;
      if (sides & WUDIBCOPY_FADE_LEFT) amount = std::max(amount, b - (sx + p->deltas.left));
      if (sides & WUDIBCOPY_FADE_RIGHT)
        amount = std::max(amount, b - (sw - 1 - sx + p->deltas.right));
      if (amount > 0) {
        back->src = at;
        back->srcBit = atBit;
        back->fetch(back);
        std::memcpy(Slot(back, 1), Slot(back, 0), slot);
        std::memcpy(Slot(back, 0), Slot(rec, 0), slot);
        DWORD weight = static_cast<DWORD>(amount) * unit;
        back->options.amount = static_cast<WORD>(std::min<DWORD>(weight, 0xFFFF));
        back->options.amount8 = static_cast<BYTE>(std::min<DWORD>(weight / 256, 0xFF));
        back->op(back);
        std::memcpy(Slot(rec, 0), Slot(back, 0), slot);
      }
      rec->store(rec);
    }
  }
}

HRESULT RunCopy(CopyParam* p, double dstGamma, double srcGamma) {
  WUXCHGFUNCS rec;
  HRESULT hr = WuXCHGGetFunctionPointers(p->dst.type, p->src.type, p->flags, &rec, nullptr,
                                         dstGamma, srcGamma);
  if (FAILED(hr)) return hr;
  rec.srcPalette = p->src.palette;
  rec.dstPalette = p->dst.palette;
  rec.inverseMap = p->inverseMap;
  if (p->flags & kFadeSides) {
    WUXCHGOPTIONS options = {};
    options.opCode = 3;
    WUXCHGFUNCS back;
    hr = WuXCHGGetFunctionPointers(p->src.type, p->dst.type, p->flags, &back, &options, srcGamma,
                                   dstGamma);
    if (SUCCEEDED(hr) && back.laneMode != rec.laneMode) hr = E_NOTIMPL;
    if (SUCCEEDED(hr)) {
      back.srcPalette = p->dst.palette;
      FadeWalk(p, &rec, &back);
    }
    WuXCHGFreeCurves(&back);
  } else if (p->scaling) {
    ScaleWalk(p, &rec);
  } else if (!FastPath(p, &rec)) {
    SameSizeWalk(p, &rec);
  }
  WuXCHGFreeCurves(&rec);
  return hr;
}

// ---- Sub-pixel pipeline copy --------------------------------------------------------------


inline void SidePixel(const WUDIBSUBPIXELSIDE& s, int64_t x, int64_t y, BYTE** p, DWORD* bit) {
  int64_t bitPos = x * s.bits;
  *p = s.top + y * static_cast<int64_t>(s.stride) + bitPos / 8;
  *bit = static_cast<DWORD>(bitPos % 8);
}

HRESULT SubpixelCopy(WUDIBSUBPIXELPARAM* p) {
  WUXCHGFUNCS rec;
  HRESULT hr = WuXCHGGetFunctionPointers(p->dst.type, p->src.type, p->flags, &rec, nullptr,
                                         p->dst.gamma, p->src.gamma);
  if (FAILED(hr)) return hr;
  // The destination's own pixels come back in the same lanes.
  DWORD ownFlags = p->flags | (rec.laneMode == WUXCHG_LANES16 ? 0x10u : 0u);
  WUXCHGFUNCS own;
  hr = WuXCHGGetFunctionPointers(p->dst.type, p->dst.type, ownFlags, &own, nullptr, 0.0, 0.0);
  if (FAILED(hr)) {
    WuXCHGFreeCurves(&rec);
    return hr;
  }
  rec.srcPalette = p->src.palette;
  rec.dstPalette = p->dst.palette;
  rec.inverseMap = p->inverseMap;
  own.srcPalette = p->dst.palette;
  const BOOL overwrite = (p->flags & WUDIBCOPY_OVERWRITE) != 0;
  const RECT& d = p->dst.rect;
  const RECT& s = p->src.rect;
  const int64_t dw = d.right - d.left, dh = d.bottom - d.top;
  const int64_t sw = s.right - s.left, sh = s.bottom - s.top;
  const int64_t lastCol = ((static_cast<int64_t>(s.right) + 0x3FFF) >> 14) - 1;
  const int64_t lastRow = ((static_cast<int64_t>(s.bottom) + 0x3FFF) >> 14) - 1;
  const WuQ14Span cols = WuQ14SpanOf(d.left, d.right), lines = WuQ14SpanOf(d.top, d.bottom);
  const int slot = SlotBytes(rec);
  for (int64_t py = lines.first; py < lines.end; ++py) {
    int64_t y0 = std::max<int64_t>(py << 14, d.top);
    int64_t posY = s.top + (y0 - d.top) * sh / dh;
    int64_t sy = posY >> 14;
    LONG fy = static_cast<LONG>(posY & 0x3FFF);
    if (sy >= lastRow) {
      sy = lastRow;
      fy = 0;
    }
    rec.srcStride = sy < lastRow ? p->src.stride : 0;
    LONG coverY = WuQ14CoverAt(lines, py);
    for (int64_t px = cols.first; px < cols.end; ++px) {
      int64_t x0 = std::max<int64_t>(px << 14, d.left);
      int64_t posX = s.left + (x0 - d.left) * sw / dw;
      int64_t sx = posX >> 14;
      LONG fx = static_cast<LONG>(posX & 0x3FFF);
      if (sx >= lastCol) {
        sx = lastCol;
        fx = 0;
      }
      SidePixel(p->src, sx, sy, const_cast<BYTE**>(&rec.src), &rec.srcBit);
      rec.weightX = fx;
      rec.weightY = fy;
      (fx == 0 ? rec.fetchVertical : rec.fetchBilinear)(&rec);
      BYTE* at;
      DWORD atBit;
      SidePixel(p->dst, px, py, &at, &atBit);
      LONG cover = static_cast<LONG>(static_cast<int64_t>(coverY) * WuQ14CoverAt(cols, px) / 0x4000);
      if (cover < 0x4000 && !overwrite) {
        own.src = at;
        own.srcBit = atBit;
        own.fetch(&own);
        BYTE old[16];
        std::memcpy(old, Slot(&own, 0), slot);
        WuXCHGPixel_Blend(Slot(&rec, 0), old, cover, static_cast<int>(rec.laneMode), FALSE);
      }
      rec.dst = at;
      rec.dstBit = atBit;
      rec.store(&rec);
    }
  }
  WuXCHGFreeCurves(&own);
  WuXCHGFreeCurves(&rec);
  return S_OK;
}

void InitSubpixelSide(WUDIBSUBPIXELSIDE* s, const BITMAPINFOHEADER* h, WUPIXELTYPE type,
                      void* rows, LONG stride, double gamma) {
  s->header = h;
  s->type = type;
  s->bits = h->biBitCount;
  LONG st = WuDibGetStride(h, stride);
  s->top = WuDibRowAt(WuDibGetBitsOrDefault(h, rows), h, st, 0);
  s->stride = -st;
  s->palette = WuDibColorTable(h, s->paddedTable);
  s->gamma = gamma;
  s->size = {h->biWidth, h->biHeight};
}

bool FitsLong(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

}  // namespace

void WuDibPrepareRects(const BITMAPINFOHEADER* dst, RECT* dstOut, const RECT* dstRect,
                       const BITMAPINFOHEADER* src, RECT* srcOut, const RECT* srcRect,
                       RECT* deltas) {
  const RECT dstWhole = {0, 0, dst->biWidth, dst->biHeight};
  const RECT srcWhole = {0, 0, src->biWidth, src->biHeight};
  Rect64 d = To64(dstRect != nullptr ? *dstRect : dstWhole);
  Rect64 s = To64(srcRect != nullptr ? *srcRect : srcWhole);
  const Rect64 given = s;
  bool ok = ClipPair(&s, &d, src->biWidth, src->biHeight) &&
            ClipPair(&d, &s, dst->biWidth, dst->biHeight);
  if (!ok) d = s = {0, 0, 0, 0};
  *dstOut = ToRect(d);
  *srcOut = ToRect(s);
  RECT moved = {0, 0, 0, 0};
  if (ok) {
    moved = {static_cast<LONG>(s.left - given.left), static_cast<LONG>(s.top - given.top),
             static_cast<LONG>(given.right - s.right), static_cast<LONG>(given.bottom - s.bottom)};
  }
  if (srcRect == nullptr) {
    *srcOut = srcWhole;
    moved = {0, 0, 0, 0};
    if (!ok) *srcOut = {0, 0, 0, 0};
  }
  if (deltas != nullptr) *deltas = moved;
}

BOOL DibPrepareSubpixelParam(WUDIBSUBPIXELPARAM* param, const BITMAPINFOHEADER* dst,
                             double dstGamma, void* dstRows, const RECT* dstRect, LONG dstStride,
                             const BITMAPINFOHEADER* src, double srcGamma, const void* srcRows,
                             const RECT* srcRect, LONG srcStride, DWORD flags) {
  std::memset(param, 0, sizeof(*param));
  WUPIXELTYPE dstType = WuGetPixelType(dst), srcType = WuGetPixelType(src);
  if (dstType < 16 || dstType > 32 || srcType < 16 || srcType > 32) {
    param->status = E_NOTIMPL;
    return FALSE;
  }
  param->flags = flags;
  InitSubpixelSide(&param->dst, dst, dstType, dstRows, dstStride, dstGamma);
  InitSubpixelSide(&param->src, src, srcType, const_cast<void*>(srcRows), srcStride, srcGamma);
  const Rect64 dstWhole = {0, 0, static_cast<int64_t>(dst->biWidth) << 14,
                           static_cast<int64_t>(dst->biHeight) << 14};
  const Rect64 srcWhole = {0, 0, static_cast<int64_t>(src->biWidth) << 14,
                           static_cast<int64_t>(src->biHeight) << 14};
  const Rect64 dReq = dstRect != nullptr ? To64(*dstRect) : dstWhole;
  const Rect64 sReq = srcRect != nullptr ? To64(*srcRect) : srcWhole;
  auto intersect = [](Rect64 a, const Rect64& b) {
    a.left = std::max(a.left, b.left);
    a.top = std::max(a.top, b.top);
    a.right = std::min(a.right, b.right);
    a.bottom = std::min(a.bottom, b.bottom);
    return a;
  };
  auto onePixel = [](const Rect64& r) {
    return r.right - r.left > 0x3FFF && r.bottom - r.top > 0x3FFF;
  };
  Rect64 dClip = intersect(dReq, dstWhole), sClip = intersect(sReq, srcWhole);
  if (!onePixel(dClip) || !onePixel(sClip)) return FALSE;
  const int64_t fx = (dReq.right - dReq.left) * kOne / (sReq.right - sReq.left);
  const int64_t fy = (dReq.bottom - dReq.top) * kOne / (sReq.bottom - sReq.top);
  if (fx <= 0 || fy <= 0 || fx > kMaxQ14 || fy > kMaxQ14) {
    param->status = E_INVALIDARG;
    return FALSE;
  }
  // The clipped source onto the destination, intersected, and back.
  Rect64 mapped = {dReq.left + (sClip.left - sReq.left) * fx / kOne,
                   dReq.top + (sClip.top - sReq.top) * fy / kOne,
                   dReq.left + (sClip.right - sReq.left) * fx / kOne,
                   dReq.top + (sClip.bottom - sReq.top) * fy / kOne};
  dClip = intersect(mapped, dClip);
  sClip = {sReq.left + (dClip.left - dReq.left) * kOne / fx,
           sReq.top + (dClip.top - dReq.top) * kOne / fy,
           sReq.left + (dClip.right - dReq.left) * kOne / fx,
           sReq.top + (dClip.bottom - dReq.top) * kOne / fy};
  sClip = intersect(sClip, srcWhole);
  if (dClip.right <= dClip.left || dClip.bottom <= dClip.top || sClip.right <= sClip.left ||
      sClip.bottom <= sClip.top)
    return FALSE;
  const int64_t dw = dClip.right - dClip.left, dh = dClip.bottom - dClip.top;
  const int64_t sw = sClip.right - sClip.left, sh = sClip.bottom - sClip.top;
  int64_t rx = sw > 0x7FFF ? (dw - kOne) * kOne / (sw - kOne) : 0;
  int64_t ry = sh > 0x7FFF ? (dh - kOne) * kOne / (sh - kOne) : 0;
  if (!FitsLong(dClip.right) || !FitsLong(dClip.bottom) || !FitsLong(sClip.right) ||
      !FitsLong(sClip.bottom) || !FitsLong(rx) || !FitsLong(ry)) {
    param->status = E_INVALIDARG;
    return FALSE;
  }
  param->dst.rect = ToRect(dClip);
  param->src.rect = ToRect(sClip);
  param->factorX = static_cast<LONG>(fx);
  param->factorY = static_cast<LONG>(fy);
  param->ratioX = static_cast<LONG>(rx);
  param->ratioY = static_cast<LONG>(ry);
  if (IsPaletteType(dstType)) {
    HRESULT hr = WuDibCreateColorQuantizer(&param->inverseMap, dst);
    if (FAILED(hr)) {
      param->status = hr;
      return FALSE;
    }
  }
  return TRUE;
}

void DibCleanupSubpixelParam(WUDIBSUBPIXELPARAM* param) {
  WuDibFreeColorQuantizer(param->inverseMap);
  param->inverseMap = nullptr;
}

HRESULT WuDibCopy(const BITMAPINFOHEADER* dst, void* dstRows, const RECT* dstRect, LONG dstStride,
                  const BITMAPINFOHEADER* src, const void* srcRows, const RECT* srcRect,
                  LONG srcStride, DWORD flags, double dstGamma, double srcGamma) {
  const WUPIXELTYPE dstType = WuGetPixelType(dst), srcType = WuGetPixelType(src);
  const int srcBytes = src->biBitCount / 8;
  const int quality = static_cast<int>(flags & WUDIBCOPY_QUALITY);
  const bool bicubic = (flags & WUDIBCOPY_BICUBIC) != 0;
  const int area = (flags & WUDIBCOPY_AREA) ? 1 : 0;
  const int overwrite = (flags & WUDIBCOPY_OVERWRITE) ? 1 : 0;
  const bool bytePair = IsByteRgb(dstType) && IsByteRgb(srcType);
  const bool floatPair = dstType == WUPIXEL_RGBA128F && srcType == WUPIXEL_RGBA128F;

  // The scalers take the image's top row and a negative stride.
  const LONG dStride = WuDibGetStride(dst, dstStride), sStride = WuDibGetStride(src, srcStride);
  BYTE* dTop = WuDibRowAt(WuDibGetBitsOrDefault(dst, dstRows), dst, dStride, 0);
  const BYTE* sTop = WuDibRowAt(WuDibGetBitsOrDefault(src, const_cast<void*>(srcRows)), src,
                                sStride, 0);
  const SIZE dSize = {dst->biWidth, dst->biHeight}, sSize = {src->biWidth, src->biHeight};
  // Float rows go through float loads and stores: they need 4-byte
  // boundaries, as every bitmap row has.
  auto misaligned = [](WUPIXELTYPE type, const BYTE* rows, LONG stride) {
    const uintptr_t bits = reinterpret_cast<uintptr_t>(rows) | static_cast<uintptr_t>(stride);
    return type == WUPIXEL_RGBA128F && (bits & 3) != 0;
  };
  if (misaligned(dstType, dTop, dStride) || misaligned(srcType, sTop, sStride)) return E_INVALIDARG;

  RECT dWhole = {0, 0, dst->biWidth, dst->biHeight}, sWhole = {0, 0, src->biWidth, src->biHeight};
  RECT dRect = dstRect != nullptr ? *dstRect : dWhole;
  RECT sRect = srcRect != nullptr ? *srcRect : sWhole;
  bool dGiven = dstRect != nullptr, sGiven = srcRect != nullptr;
  if (flags & WUDIBCOPY_SUBPIXEL) {
    // The whole bitmaps in Q14 must fit 32 bits.
    constexpr LONG kMaxQ14Pixels = 0x1FFFF;
    if ((!dGiven && (dWhole.right > kMaxQ14Pixels || dWhole.bottom > kMaxQ14Pixels)) ||
        (!sGiven && (sWhole.right > kMaxQ14Pixels || sWhole.bottom > kMaxQ14Pixels)))
      return E_INVALIDARG;
    if (!dGiven) dRect = {0, 0, dWhole.right * 0x4000, dWhole.bottom * 0x4000};
    if (!sGiven) sRect = {0, 0, sWhole.right * 0x4000, sWhole.bottom * 0x4000};
    const LONG all[8] = {dRect.left, dRect.top, dRect.right, dRect.bottom,
                         sRect.left, sRect.top, sRect.right, sRect.bottom};
    bool fraction = std::any_of(all, all + 8, [](LONG v) { return (v & 0x3FFF) != 0; });
    if (!fraction || quality < 3) {
      dRect = {dRect.left / 0x4000, dRect.top / 0x4000, dRect.right / 0x4000,
               dRect.bottom / 0x4000};
      sRect = {sRect.left / 0x4000, sRect.top / 0x4000, sRect.right / 0x4000,
               sRect.bottom / 0x4000};
      dGiven = sGiven = true;
    } else if (bytePair || floatPair) {
      auto scaler = bicubic ? WuDibScale_BiCubicSubPixel : WuDibScale_BilinearSubPixel;
      return scaler(dTop, &dSize, -dStride, &dRect, sTop, &sSize, -sStride, &sRect, srcBytes,
                    area, overwrite);
    } else {
      WUDIBSUBPIXELPARAM param;
      HRESULT hr;
      if (DibPrepareSubpixelParam(&param, dst, dstGamma, dstRows, &dRect, dstStride, src,
                                  srcGamma, srcRows, &sRect, srcStride, flags)) {
        hr = SubpixelCopy(&param);
      } else {
        hr = param.status;
      }
      DibCleanupSubpixelParam(&param);
      return hr;
    }
  }
  if (quality >= 3) {
    // Extents in 64 bits: a rectangle may span more than LONG holds.
    const Rect64 d = To64(dRect), s = To64(sRect);
    const bool differ = d.right - d.left != s.right - s.left && d.bottom - d.top != s.bottom - s.top;
    if (bytePair || (floatPair && differ)) {
      auto scaler = bicubic ? WuDibScale_BiCubic : WuDibScale_Bilinear;
      return scaler(dTop, &dSize, -dStride, dGiven ? &dRect : nullptr, sTop, &sSize, -sStride,
                    sGiven ? &sRect : nullptr, srcBytes, area, overwrite);
    }
  }
  CopyParam param;
  HRESULT hr = PrepareCopy(&param, dst, dstRows, dGiven ? &dRect : nullptr, dstStride, src,
                           srcRows, sGiven ? &sRect : nullptr, srcStride, flags, dstType, srcType);
  if (hr == S_OK) hr = RunCopy(&param, dstGamma, srcGamma);
  if (hr == S_FALSE) hr = S_OK;
  WuDibFreeColorQuantizer(param.inverseMap);
  return hr;
}
