// Raster operations: brush patterns, the ternary raster-operation engine
// behind PatBlt, BitBlt, StretchBlt, StretchDIBits and TransparentBlt, and
// the rectangle fills.
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"

namespace platform::gdi {

namespace {

// The result of a ternary raster operation on raw pixel values: bit
// (p * 4 + s * 2 + d) of `code` decides each result bit.
inline uint32_t Rop3(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
  switch (code) {
    case 0x00: return 0;
    case 0xCC: return s;
    case 0xF0: return p;
    case 0x55: return ~d;
    case 0xFF: return 0xFFFFFFFFu;
    default: break;
  }
  uint32_t r = 0;
  for (int i = 0; i < 8; ++i)
    if ((code >> i) & 1) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  return r;
}

inline bool UsesSource(uint8_t code) { return (((code >> 2) ^ code) & 0x33) != 0; }
inline bool UsesPattern(uint8_t code) { return (((code >> 4) ^ code) & 0x0F) != 0; }

// A brush as raw pixel values of one destination, tiled from the brush
// origin.
struct Pattern {
  int width = 1;                  // tile width
  int height = 1;                 // tile height
  POINT origin{0, 0};             // device point where the tile starts
  std::vector<uint32_t> raw;      // tile pixels
  std::vector<uint8_t> skip;      // 1: leave the destination (transparent hatch gaps)
  uint32_t At(int x, int y, bool* skipped) const {
    int px = (x - origin.x) % width;
    int py = (y - origin.y) % height;
    if (px < 0) px += width;
    if (py < 0) py += height;
    size_t i = static_cast<size_t>(py) * width + px;
    *skipped = !skip.empty() && skip[i];
    return raw[i];
  }
};

bool HatchBit(int hatch, int x, int y) {
  switch (hatch) {
    case HS_HORIZONTAL: return y == 3;
    case HS_VERTICAL: return x == 3;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x + y == 7;
    case HS_CROSS: return x == 3 || y == 3;
    default: return x == y || x + y == 7;
  }
}

// False for the null brush (nothing to paint with).
bool MakePattern(const Dc& dc, const Bitmap& dst, const Brush& brush, Pattern* out) {
  out->origin = dc.state.brush_org;
  switch (brush.style) {
    case Brush::kNull: return false;
    case Brush::kHatch: {
      out->width = out->height = 8;
      uint32_t ink = RawFromColor(dst, brush.color);
      uint32_t paper = RawFromColor(dst, dc.state.bk_color);
      bool transparent = dc.state.bk_mode == TRANSPARENT;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
          bool on = HatchBit(brush.hatch, x, y);
          out->raw.push_back(on ? ink : paper);
          if (transparent) out->skip.push_back(on ? 0 : 1);
        }
      return true;
    }
    case Brush::kPattern: {
      const Bitmap& p = *brush.pattern;
      out->width = p.width;
      out->height = p.height;
      uint32_t text = RawFromColor(dst, dc.state.text_color);
      uint32_t bk = RawFromColor(dst, dc.state.bk_color);
      for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
          uint32_t v = ReadRaw(p, x, y);
          if (p.bpp == 1)
            out->raw.push_back(dst.bpp == 1 ? v : (v ? bk : text));
          else
            out->raw.push_back(RawFromColor(dst, ColorFromRaw(p, v)));
        }
      return true;
    }
    default:
      out->raw.push_back(RawFromColor(dst, BrushColor(dc, brush)));
      return true;
  }
}

// Where the pixels of a blit come from.
struct SourceSpec {
  const Bitmap* bitmap = nullptr;  // source pixels
  int x = 0, y = 0;                // top-left of the source rectangle
  int width = 0, height = 0;       // its size (positive)
  bool flip_x = false;             // mirrored horizontally
  bool flip_y = false;             // mirrored vertically
  bool mono_text_bk = true;        // 1-bit source: 0 = text colour, 1 = background
  COLORREF src_bk = 0;             // the source DC's background (colour to mono)
  const COLORREF* key = nullptr;   // transparent colour (TransparentBlt)
};

// Converts source pixels to destination raw values.
class SourceReader {
 public:
  SourceReader(const Dc& dst_dc, const Bitmap& dst, const SourceSpec& source)
      : dst_(dst), spec_(source), src_(*source.bitmap) {
    text_ = dst_dc.state.text_color;
    bk_ = dst_dc.state.bk_color;
    same_ = SameRawFormat(src_, dst_) && !(src_.bpp == 1 && dst_.bpp != 1);
    if (src_.bpp <= 8 && !same_) {
      for (uint32_t v = 0; v <= RawMask(src_); ++v) {
        COLORREF c = Color(v);
        table_.push_back(Convert(v, c));
        colors_.push_back(c);
      }
    }
  }
  // The source colour (for the transparent key).
  COLORREF Color(uint32_t v) const {
    if (src_.bpp == 1 && spec_.mono_text_bk) return v ? bk_ : text_;
    return ColorFromRaw(src_, v);
  }
  uint32_t Read(int x, int y, COLORREF* color) const {
    uint32_t v = ReadRaw(src_, x, y);
    if (color) *color = colors_.empty() ? Color(v) : colors_[v];
    if (same_) return v;
    if (!table_.empty()) return table_[v];
    return Convert(v, Color(v));
  }

 private:
  uint32_t Convert(uint32_t v, COLORREF c) const {
    if (dst_.bpp == 1) {
      if (src_.bpp == 1) return v;
      return c == (spec_.src_bk & 0x00FFFFFF) ? 1 : 0;
    }
    return RawFromColor(dst_, c);
  }
  const Bitmap& dst_;
  const SourceSpec& spec_;
  const Bitmap& src_;
  COLORREF text_ = 0, bk_ = 0;
  bool same_ = false;
  std::vector<uint32_t> table_;
  std::vector<COLORREF> colors_;
};

// Maps destination offset i of n onto a source extent of m (nearest
// neighbour at pixel centres).
inline int MapOffset(int i, int n, int m, bool flip) {
  int t = flip ? n - 1 - i : i;
  if (n == m) return t;
  return static_cast<int>((static_cast<int64_t>(2 * t + 1) * m) / (2 * static_cast<int64_t>(n)));
}

// Runs a raster operation over the device rectangle `area` of the DC.
void Run(Dc& dc, const RECT& area, const SourceSpec* src, const Brush* brush, uint8_t code) {
  Bitmap* dst = Surface(dc);
  if (!dst || Empty(area)) return;
  bool need_pattern = UsesPattern(code);
  Pattern pattern;
  if (need_pattern && (!brush || !MakePattern(dc, *dst, *brush, &pattern))) return;
  bool need_source = src && (UsesSource(code) || src->key);
  // A source that is the destination itself is read from a copy.
  std::shared_ptr<Bitmap> copy;
  SourceSpec spec;
  if (need_source) {
    spec = *src;
    if (spec.bitmap == dst) {
      copy = NewBitmap(dst->width, dst->height, dst->bpp, false);
      if (!copy) return;
      copy->palette = dst->palette;
      copy->bitfields = dst->bitfields;
      std::memcpy(copy->masks, dst->masks, sizeof(copy->masks));
      for (int y = 0; y < dst->height; ++y)
        std::memcpy(Row(*copy, y), Row(*dst, y), static_cast<size_t>(DibStride(dst->width, dst->bpp)));
      spec.bitmap = copy.get();
    }
  }
  std::optional<SourceReader> reader;
  if (need_source) reader.emplace(dc, *dst, spec);
  uint32_t mask = RawMask(*dst);
  int width = area.right - area.left;
  int height = area.bottom - area.top;
  for (const RECT& r : ClipRects(dc, area)) {
    for (int y = r.top; y < r.bottom; ++y) {
      int sy = 0;
      if (need_source) {
        sy = spec.y + MapOffset(y - area.top, height, spec.height, spec.flip_y);
        if (sy < 0 || sy >= spec.bitmap->height) continue;
      }
      for (int x = r.left; x < r.right; ++x) {
        uint32_t s = 0, p = 0;
        if (need_source) {
          int sx = spec.x + MapOffset(x - area.left, width, spec.width, spec.flip_x);
          if (sx < 0 || sx >= spec.bitmap->width) continue;
          COLORREF color = 0;
          s = reader->Read(sx, sy, spec.key ? &color : nullptr);
          if (spec.key && color == (*spec.key & 0x00FFFFFF)) continue;
        }
        if (need_pattern) {
          bool skipped = false;
          p = pattern.At(x, y, &skipped);
          if (skipped) continue;
        }
        uint32_t d = code == 0xCC || code == 0xF0 ? 0 : ReadRaw(*dst, x, y);
        WriteRaw(*dst, x, y, Rop3(code, p, s, d) & mask);
      }
    }
  }
}

inline uint8_t Code(DWORD rop) { return static_cast<uint8_t>(rop >> 16); }

// A device rectangle from a logical origin and size; negative sizes
// extend the other way and report a mirror.
RECT DeviceArea(const Dc& dc, int x, int y, int w, int h, bool* flip_x, bool* flip_y) {
  bool fx = w < 0, fy = h < 0;
  if (fx) {
    x += w;
    w = -w;
  }
  if (fy) {
    y += h;
    h = -h;
  }
  if (flip_x) *flip_x = fx;
  if (flip_y) *flip_y = fy;
  POINT p = ToDevice(dc, x, y);
  return RECT{p.x, p.y, p.x + w, p.y + h};
}

std::shared_ptr<Brush> BrushOf(HBRUSH brush) {
  uintptr_t v = reinterpret_cast<uintptr_t>(brush);
  if (v >= 1 && v <= 31) return SysColorBrush(static_cast<int>(v - 1));
  return FindAs<Brush>(brush, GdiKind::kBrush);
}

// A blit between two DCs; shared by BitBlt, StretchBlt and TransparentBlt.
BOOL DcBlit(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
            DWORD rop, const COLORREF* key) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dest);
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  uint8_t code = Code(rop);
  if (!UsesSource(code) && !key) {
    Run(*d, DeviceArea(*d, x, y, w, h, nullptr, nullptr), nullptr, d->state.brush.get(), code);
    return TRUE;
  }
  Dc* s = FindDc(src);
  if (!s) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  SourceSpec spec;
  bool fx = false, fy = false, sfx = false, sfy = false;
  RECT area = DeviceArea(*d, x, y, w, h, &fx, &fy);
  RECT from = DeviceArea(*s, sx, sy, sw, sh, &sfx, &sfy);
  spec.x = from.left;
  spec.y = from.top;
  spec.width = from.right - from.left;
  spec.height = from.bottom - from.top;
  spec.flip_x = fx != sfx;
  spec.flip_y = fy != sfy;
  spec.src_bk = s->state.bk_color;
  spec.key = key;
  if (spec.width == 0 || spec.height == 0) return TRUE;
  // A source without pixels (the screen) reads black.
  std::shared_ptr<Bitmap> black;
  spec.bitmap = Surface(*s);
  if (!spec.bitmap) {
    black = NewBitmap(spec.width, spec.height, 32, false);
    if (!black) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    }
    spec.bitmap = black.get();
    spec.x = spec.y = 0;
  }
  Run(*d, area, &spec, d->state.brush.get(), key ? 0xCC : code);
  return TRUE;
}

}  // namespace

void FillDevice(Dc& dc, const RECT& area, COLORREF color) {
  Bitmap* dst = Surface(dc);
  if (!dst) return;
  uint32_t raw = RawFromColor(*dst, color);
  for (const RECT& r : ClipRects(dc, area))
    for (int y = r.top; y < r.bottom; ++y) {
      if (dst->bpp == 32) {
        uint32_t* row = reinterpret_cast<uint32_t*>(Row(*dst, y));
        for (int x = r.left; x < r.right; ++x) row[x] = raw;
      } else {
        for (int x = r.left; x < r.right; ++x) WriteRaw(*dst, x, y, raw);
      }
    }
}

void PatDevice(Dc& dc, const RECT& area, const Brush* brush, DWORD rop) {
  Run(dc, area, nullptr, brush, Code(rop));
}

void PlotPen(Dc& dc, int x, int y, uint32_t raw, Bitmap& surface) {
  int table = dc.state.rop2 - 1;
  if (table == 12) {
    WriteRaw(surface, x, y, raw);
    return;
  }
  uint32_t d = ReadRaw(surface, x, y);
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i)
    if ((table >> i) & 1) r |= ((i & 2) ? raw : ~raw) & ((i & 1) ? d : ~d);
  WriteRaw(surface, x, y, r & RawMask(surface));
}

}  // namespace platform::gdi

using platform::GdiKind;
using namespace platform::gdi;

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (UsesSource(Code(rop))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Run(*d, DeviceArea(*d, x, y, width, height, nullptr, nullptr), nullptr, d->state.brush.get(),
      Code(rop));
  return TRUE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y,
            DWORD rop) {
  return DcBlit(dest, x, y, width, height, src, src_x, src_y, width, height, rop, nullptr);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y,
                int src_width, int src_height, DWORD rop) {
  return DcBlit(dest, x, y, width, height, src, src_x, src_y, src_width, src_height, rop, nullptr);
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x,
                    int src_y, int src_width, int src_height, UINT key) {
  if (width <= 0 || height <= 0 || src_width <= 0 || src_height <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  COLORREF k = key & 0x00FFFFFF;
  return DcBlit(dest, x, y, width, height, src, src_x, src_y, src_width, src_height, SRCCOPY, &k);
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int src_x, int src_y,
                  int src_width, int src_height, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop) {
  DibFormat f;
  if (!bits || !ParseDib(info, usage, &f)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  Bitmap view = DibView(f, bits);
  bool fx = false, fy = false;
  RECT area = DeviceArea(*d, x, y, width, height, &fx, &fy);
  SourceSpec spec;
  spec.bitmap = &view;
  spec.mono_text_bk = false;  // a DIB's own colour table gives its colours
  spec.src_bk = d->state.bk_color;
  if (src_width < 0) {
    src_x += src_width;
    src_width = -src_width;
    fx = !fx;
  }
  if (src_height < 0) {
    src_y += src_height;
    src_height = -src_height;
    fy = !fy;
  }
  spec.x = src_x;
  // Rows of a bottom-up DIB count from its bottom.
  spec.y = f.bottom_up ? f.height - (src_y + src_height) : src_y;
  spec.width = src_width;
  spec.height = src_height;
  spec.flip_x = fx;
  spec.flip_y = fy;
  if (src_width == 0 || src_height == 0) return 0;
  Run(*d, area, &spec, d->state.brush.get(), Code(rop));
  return src_height;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  std::shared_ptr<Brush> b = BrushOf(brush);
  if (!d || !b || !rect) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  Run(*d, ToDevice(*d, *rect), nullptr, b.get(), Code(PATCOPY));
  return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  std::shared_ptr<Brush> b = BrushOf(brush);
  if (!d || !b || !rect) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  RECT r = ToDevice(*d, *rect);
  if (Empty(r)) return 1;
  const RECT sides[4] = {{r.left, r.top, r.right, r.top + 1},
                         {r.left, r.bottom - 1, r.right, r.bottom},
                         {r.left, r.top + 1, r.left + 1, r.bottom - 1},
                         {r.right - 1, r.top + 1, r.right, r.bottom - 1}};
  for (const RECT& side : sides) Run(*d, side, nullptr, b.get(), Code(PATCOPY));
  return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d || !rect) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Run(*d, ToDevice(*d, *rect), nullptr, nullptr, Code(DSTINVERT));
  return TRUE;
}

BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  std::shared_ptr<Region> r = FindAs<Region>(region, GdiKind::kRegion);
  std::shared_ptr<Brush> b = BrushOf(brush);
  if (!d || !r || !b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  for (const RECT& part : r->rects) Run(*d, ToDevice(*d, part), nullptr, b.get(), Code(PATCOPY));
  return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d || !rect) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Bitmap* s = Surface(*d);
  RECT r = ToDevice(*d, *rect);
  if (!s || Empty(r)) return TRUE;
  auto invert = [&](int x, int y) {
    if (((x + y) & 1) == 0 && Visible(*d, x, y)) WriteRaw(*s, x, y, ~ReadRaw(*s, x, y) & RawMask(*s));
  };
  for (int x = r.left; x < r.right; ++x) {
    invert(x, r.top);
    if (r.bottom - 1 > r.top) invert(x, r.bottom - 1);
  }
  for (int y = r.top + 1; y < r.bottom - 1; ++y) {
    invert(r.left, y);
    if (r.right - 1 > r.left) invert(r.right - 1, y);
  }
  return TRUE;
}
