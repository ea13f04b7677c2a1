// Colour quantisation and fading.
#include "imaging/WuColorQuantize.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "imaging/WuColorMath.h"
#include "imaging/WuDib.h"
#include "imaging/WuQ14Span.h"
#include "imaging/WuXchg.h"
#include "platform/kernel/memory.h"

namespace {

constexpr BYTE kUnassigned = 0xFF;  // inverse table: cell not yet assigned (build only)
constexpr BYTE kGridEmpty = 0xFF;   // quantisation grid: colour not used
constexpr BYTE kGridUsed = 10;      // quantisation grid: colour used, no pass yet
constexpr BYTE kFinalMark = 5;      // mark of the pass that writes the palette
constexpr int kLastBoxSize = 33;    // from here every box reaches the cube's far side
constexpr int kSide = 32;           // cells along one channel

BYTE* AllocBlock(UINT flags) {
  return static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED | flags, WU_COLOR_CELLS));
}

// Counts the boxes of one shape, marking every used cell they cover. With
// `out`, also writes one palette entry per box (at most `outCount`).
int CountBoxes(BYTE* grid, int dr, int dg, int db, BYTE mark, RGBQUAD* out, int outCount) {
  int boxes = 0;
  for (int r = 0; r < kSide; ++r) {
    for (int g = 0; g < kSide; ++g) {
      for (int b = 0; b < kSide; ++b) {
        BYTE cell = grid[(r << 10) | (g << 5) | b];
        if (cell == kGridEmpty || cell == mark) continue;
        int f = 96 + r + g + b;
        // A box of extent e covers e cells counting its start cell.
        int r1 = std::min(kSide - 1, r + dr * f / 96 - 1);
        int g1 = std::min(kSide - 1, g + dg * f / 96 - 1);
        int b1 = std::min(kSide - 1, b + db * f / 96 - 1);
        int maxR = r, maxG = g, maxB = b;
        for (int rr = r; rr <= r1; ++rr) {
          for (int gg = g; gg <= g1; ++gg) {
            for (int bb = b; bb <= b1; ++bb) {
              BYTE& c = grid[(rr << 10) | (gg << 5) | bb];
              if (c == kGridEmpty) continue;
              c = mark;
              maxR = std::max(maxR, rr);
              maxG = std::max(maxG, gg);
              maxB = std::max(maxB, bb);
            }
          }
        }
        if (out != nullptr && boxes < outCount) {
          out[boxes].rgbRed = static_cast<BYTE>(((r + maxR) >> 1) * 8);
          out[boxes].rgbGreen = static_cast<BYTE>(((g + maxG) >> 1) * 8);
          out[boxes].rgbBlue = static_cast<BYTE>(((b + maxB) >> 1) * 8);
          out[boxes].rgbReserved = 0;
        }
        ++boxes;
      }
    }
  }
  return boxes;
}

}  // namespace

void WuDibFreeColorQuantizer(BYTE* table) {
  if (table != nullptr) GlobalFree(table);
}

HRESULT WuDibCreateColorQuantizer(BYTE** table, const BITMAPINFOHEADER* palette) {
  if (table == nullptr) return E_POINTER;
  *table = nullptr;
  if (palette == nullptr || palette->biClrUsed == 0) return E_INVALIDARG;
  const RGBQUAD* entries = WuDibColorTable(palette, nullptr);
  if (entries == nullptr) return E_INVALIDARG;  // masks, not a palette
  BYTE* map = AllocBlock(0);
  if (map == nullptr) return E_OUTOFMEMORY;
  // Generation of each cell; 0 is unassigned. The index byte cannot mark
  // assignment: 0xFF is also palette entry 255.
  BYTE* generation = AllocBlock(GMEM_ZEROINIT);
  if (generation == nullptr) {
    GlobalFree(map);
    return E_OUTOFMEMORY;
  }
  std::memset(map, kUnassigned, WU_COLOR_CELLS);
  int open = WU_COLOR_CELLS;
  int count = static_cast<int>(std::min<DWORD>(palette->biClrUsed, 256));
  for (int i = 0; i < count && open > 0; ++i) {
    int cell = WuColorCell(entries[i].rgbRed, entries[i].rgbGreen, entries[i].rgbBlue);
    if (generation[cell] != 0) continue;
    map[cell] = static_cast<BYTE>(i);
    generation[cell] = 1;
    --open;
  }
  // Grow: each generation passes its index to the unassigned neighbours.
  // Generations stay below 32 * 3 + 2, within a byte.
  for (int g = 1; open > 0; ++g) {
    int filled = 0;
    for (int cell = 0; cell < WU_COLOR_CELLS; ++cell) {
      if (generation[cell] != g) continue;
      int r = cell >> 10, gr = (cell >> 5) & 31, b = cell & 31;
      const int neighbours[6][2] = {{r > 0, cell - 1024},     {gr > 0, cell - 32},
                                    {b > 0, cell - 1},        {r < 31, cell + 1024},
                                    {gr < 31, cell + 32},     {b < 31, cell + 1}};
      for (const auto& n : neighbours) {
        if (!n[0] || generation[n[1]] != 0) continue;
        map[n[1]] = map[cell];
        generation[n[1]] = static_cast<BYTE>(g + 1);
        --open;
        ++filled;
      }
    }
    if (filled == 0) break;
  }
  GlobalFree(generation);
  *table = map;
  return S_OK;
}

HRESULT WuDibQuantizePalette(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src,
                             const void* srcRows, const RECT* srcRect, LONG srcStride,
                             DWORD flags) {
  WUPIXELTYPE srcType = WuGetPixelType(src);
  if (srcType < 16 || srcType > 32) return E_NOTIMPL;
  RECT whole = {0, 0, src->biWidth, src->biHeight};
  RECT rect;
  if (!IntersectRect(&rect, srcRect != nullptr ? srcRect : &whole, &whole)) return S_OK;
  WUPIXELTYPE dstType = WuGetPixelType(dst);
  if (dstType != WUPIXEL_PAL4 && dstType != WUPIXEL_PAL8) return E_NOTIMPL;
  if (dst->biClrUsed == 0) return E_INVALIDARG;
  BYTE* grid = AllocBlock(0);
  if (grid == nullptr) return E_OUTOFMEMORY;

  WUXCHGFUNCS rec;
  HRESULT hr = WuXCHGGetFunctionPointers(dstType, srcType, flags, &rec, nullptr, 0.0, 0.0);
  if (FAILED(hr)) {
    GlobalFree(grid);
    return hr;
  }
  RGBQUAD table[WUDIB_MAX_COLORS];
  rec.srcPalette = WuDibColorTable(src, table);
  std::memset(grid, kGridEmpty, WU_COLOR_CELLS);
  const BYTE* rows = WuDibGetBitsOrDefault(src, const_cast<void*>(srcRows));
  LONG stride = WuDibGetStride(src, srcStride);
  int bits = WuGetPixelBitsPerChannel(srcType, nullptr);
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    const BYTE* row = WuDibRowAt(rows, src, stride, y);
    int64_t bitPos = static_cast<int64_t>(rect.left) * bits;
    rec.src = row + bitPos / 8;
    rec.srcBit = static_cast<DWORD>(bitPos % 8);
    for (LONG x = rect.left; x < rect.right; ++x) {
      rec.fetch(&rec);
      int cell;
      if (rec.laneMode == WUXCHG_LANES8) {
        const BYTE* p = rec.pixels.b[0];
        cell = WuColorCell(p[2], p[1], p[0]);
      } else {
        const WORD* p = rec.pixels.w[0];
        cell = ((p[2] >> 11) << 10) | ((p[1] >> 11) << 5) | (p[0] >> 11);
      }
      if (grid[cell] == kGridEmpty) grid[cell] = kGridUsed;
    }
  }
  WuXCHGFreeCurves(&rec);

  // Search the box shapes by growing size; the first size where a shape
  // fits keeps the fitting shape with the most boxes. Past kLastBoxSize
  // boxes cannot grow further: the shape with the fewest boxes is kept.
  int limit = static_cast<int>(std::min<DWORD>(dst->biClrUsed, 256));
  int best[3] = {0, 0, 0};
  int bestCount = 0;
  int fewest[3] = {0, 0, 0};
  int fewestCount = -1;
  for (int h = 2; h <= kLastBoxSize && bestCount == 0; ++h) {
    int m = h - 1;
    const int shapes[7][4] = {{h, m, m, 1}, {m, h, m, 2}, {m, m, h, 3}, {h, h, m, 1},
                              {h, m, h, 2}, {m, h, h, 3}, {h, h, h, 4}};
    for (const auto& s : shapes) {
      int n = CountBoxes(grid, s[0], s[1], s[2], static_cast<BYTE>(s[3]), nullptr, 0);
      if (n <= limit && n > bestCount) {
        bestCount = n;
        std::copy(s, s + 3, best);
      }
      if (fewestCount < 0 || n < fewestCount) {
        fewestCount = n;
        std::copy(s, s + 3, fewest);
      }
    }
  }
  const int* shape = bestCount > 0 ? best : fewest;
  CountBoxes(grid, shape[0], shape[1], shape[2], kFinalMark, WuDibColorTable(dst), limit);
  GlobalFree(grid);
  return S_OK;
}

namespace {

// Byte v moved toward c by weight w8 (of 255), as the fade's tables hold it.
inline BYTE FadeByte(int v, int c, int w8) {
  int x = (c - v) * w8;
  int r = v + ((x + ((x + 128) >> 8) + 128) >> 8);
  return static_cast<BYTE>(std::clamp(r, 0, 255));
}

}  // namespace

HRESULT WuDibFadeToColor(const BITMAPINFOHEADER* header, void* rows, const RECT* rect,
                         LONG stride, const WURGBAFLOAT* color, float amount, BOOL keepAlpha,
                         DWORD flags) {
  WUPIXELTYPE type = WuGetPixelType(header);
  if (type != WUPIXEL_RGB32 && type != WUPIXEL_RGBA32 && type != WUPIXEL_RGBA128F)
    return E_NOTIMPL;
  // The natural stride in 64 bits: bits x width passes 2^31 for rows of
  // 256 MiB, which a bitmap block may hold.
  stride = WuDibGetStride(header, stride);
  int64_t width = static_cast<int64_t>(header->biWidth) << 14;
  int64_t height = static_cast<int64_t>(header->biHeight) << 14;
  int64_t l = 0, t = 0, r = width, b = height;
  if (rect != nullptr) {
    int64_t scale = (flags & 0x1000000) ? 1 : 0x4000;
    l = rect->left * scale;
    t = rect->top * scale;
    r = rect->right * scale;
    b = rect->bottom * scale;
  }
  l = std::max<int64_t>(l, 0);
  t = std::max<int64_t>(t, 0);
  r = std::min(r, width);
  b = std::min(b, height);
  if (l >= r || t >= b) return S_OK;
  BYTE* bits0 = WuDibGetBitsOrDefault(header, rows);
  WuQ14Span cols = WuQ14SpanOf(l, r), lines = WuQ14SpanOf(t, b);

  amount = WuClamp01(amount);
  const LONG W = static_cast<LONG>(amount * 16384.0f);
  // Float pixels take the colour as given: values outside 0..1 are legal
  // there. Only the byte path clamps, where the colour becomes bytes.
  const float c[4] = {color->blue, color->green, color->red, color->alpha};
  const int channels = keepAlpha ? 3 : 4;
  if (type == WUPIXEL_RGBA128F) {
    for (int64_t y = lines.first; y < lines.end; ++y) {
      float* row = reinterpret_cast<float*>(WuDibRowAt(bits0, header, stride, y));
      float wy = amount * static_cast<float>(WuQ14CoverAt(lines, y)) / 16384.0f;
      for (int64_t x = cols.first; x < cols.end; ++x) {
        float w = wy * static_cast<float>(WuQ14CoverAt(cols, x)) / 16384.0f;
        float* p = row + x * 4;
        for (int i = 0; i < channels; ++i) p[i] = p[i] + (c[i] - p[i]) * w;
      }
    }
    return S_OK;
  }
  int cb[4];
  for (int i = 0; i < 4; ++i) cb[i] = static_cast<int>(WuClamp01(c[i]) * 255.0f);
  const int w8 = static_cast<int>(255.0f * amount);
  BYTE table[4][256];
  for (int i = 0; i < 4; ++i)
    for (int v = 0; v < 256; ++v) table[i][v] = FadeByte(v, cb[i], w8);
  for (int64_t y = lines.first; y < lines.end; ++y) {
    BYTE* row = WuDibRowAt(bits0, header, stride, y);
    LONG wy = static_cast<LONG>(static_cast<int64_t>(W) * WuQ14CoverAt(lines, y) / 0x4000);
    for (int64_t x = cols.first; x < cols.end; ++x) {
      LONG w = static_cast<LONG>(static_cast<int64_t>(wy) * WuQ14CoverAt(cols, x) / 0x4000);
      BYTE* p = row + x * 4;
      if (w == W) {
        for (int i = 0; i < channels; ++i) p[i] = table[i][p[i]];
      } else {
        int pw = w * 255 / 0x4000;
        for (int i = 0; i < channels; ++i) p[i] = FadeByte(p[i], cb[i], pw);
      }
    }
  }
  return S_OK;
}
