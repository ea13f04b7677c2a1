// Standard UI glyphs from the one-bit strip, and 3-D edges drawn with the
// DC brush in custom colour sets.
#include "foundation/WuUIGlyph.h"

#include "foundation/WuUIColor.h"
#include "platform/kernel/cpu.h"

namespace {

constexpr int kCell = 16;          // strip cell width per glyph
constexpr int kGlyphWidth = 12;    // size of every glyph but the small arrow
constexpr int kGlyphHeight = 10;
constexpr int kSmallWidth = 7;     // size of WUGLYPH_SMALL_DOWN
constexpr int kSmallHeight = 6;
constexpr int kRowBytes = WUGLYPH_STRIP_WIDTH / 8;  // 28: an even row length
constexpr DWORD kRopBrushWhereSet = 0x00B8074A;     // PSDPxax: brush where the source is 0

// Glyph images, top row first: '#' is a glyph pixel (a 0 bit), '.' the
// background (a 1 bit). The small arrow uses the top-left 7 x 6 of its cell.
constexpr const char* kGlyphArt[WUGLYPH_COUNT][kGlyphHeight] = {
    // plus
    {"............", "............", ".....##.....", ".....##.....", "...######...",
     "...######...", ".....##.....", ".....##.....", "............", "............"},
    // minus
    {"............", "............", "............", "............", "...######...",
     "...######...", "............", "............", "............", "............"},
    // cross
    {"............", "..##....##..", "...##..##...", "....####....", ".....##.....",
     "....####....", "...##..##...", "..##....##..", "............", "............"},
    // small down
    {".......", "#######", ".#####.", "..###..", "...#...", ".......",
     "", "", "", ""},
    // left
    {"............", ".......#....", "......##....", ".....###....", "....####....",
     "....####....", ".....###....", "......##....", ".......#....", "............"},
    // right
    {"............", "....#.......", "....##......", "....###.....", "....####....",
     "....####....", "....###.....", "....##......", "....#.......", "............"},
    // chevron left
    {"............", ".......##...", "......##....", ".....##.....", "....##......",
     "....##......", ".....##.....", "......##....", ".......##...", "............"},
    // chevron right
    {"............", "...##.......", "....##......", ".....##.....", "......##....",
     "......##....", ".....##.....", "....##......", "...##.......", "............"},
    // up
    {"............", "............", "............", ".....##.....", "....####....",
     "...######...", "..########..", "............", "............", "............"},
    // down
    {"............", "............", "............", "..########..", "...######...",
     "....####....", ".....##.....", "............", "............", "............"},
    // chevron up
    {"............", "............", ".....##.....", "....####....", "...##..##...",
     "..##....##..", ".##......##.", "............", "............", "............"},
    // chevron down
    {"............", "............", ".##......##.", "..##....##..", "...##..##...",
     "....####....", ".....##.....", "............", "............", "............"},
    // left-right
    {"............", "............", "...#....#...", "..##....##..", ".###....###.",
     ".###....###.", "..##....##..", "...#....#...", "............", "............"},
    // size grip
    {"............", "..........#.", "............", "........#.#.", "............",
     "......#.#.#.", "............", "....#.#.#.#.", "............", "............"},
};

HDC g_glyph_dc = nullptr;          // memory DC holding the strip
HBITMAP g_glyph_bitmap = nullptr;  // the strip
HGDIOBJ g_glyph_old = nullptr;     // the DC's bitmap before the strip
BOOL g_disabled_grey = TRUE;       // the disabled look draws the grey glyph too

// The strip's row bytes, built from the glyph images.
void BuildStrip(BYTE (&bits)[WUGLYPH_STRIP_HEIGHT][kRowBytes]) {
  for (auto& row : bits)
    for (BYTE& b : row) b = 0xFF;
  for (int g = 0; g < WUGLYPH_COUNT; ++g) {
    for (int y = 0; y < kGlyphHeight; ++y) {
      const char* line = kGlyphArt[g][y];
      for (int x = 0; line[x]; ++x) {
        if (line[x] != '#') continue;
        int px = g * kCell + x;
        bits[y][px / 8] &= static_cast<BYTE>(~(0x80 >> (px % 8)));
      }
    }
  }
}

HDC GlyphDc() {
  if (g_glyph_dc) return g_glyph_dc;
  BYTE bits[WUGLYPH_STRIP_HEIGHT][kRowBytes];
  BuildStrip(bits);
  HBITMAP bitmap = CreateBitmap(WUGLYPH_STRIP_WIDTH, WUGLYPH_STRIP_HEIGHT, 1, 1, bits);
  HDC dc = bitmap ? CreateCompatibleDC(nullptr) : nullptr;
  HGDIOBJ old = dc ? SelectObject(dc, bitmap) : nullptr;
  if (!old) {
    if (dc) DeleteDC(dc);
    if (bitmap) DeleteObject(bitmap);
    return nullptr;
  }
  g_glyph_dc = dc;
  g_glyph_bitmap = bitmap;
  g_glyph_old = old;
  return dc;
}

// On the platform's versions 5.1 and 5.2 the solid triangles show as chevrons.
int SourceX(int index) {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (GetVersionExW(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
      info.dwMajorVersion == 5 && info.dwMinorVersion != 0) {
    switch (index) {
      case WUGLYPH_LEFT: return 96;
      case WUGLYPH_RIGHT: return 112;
      case WUGLYPH_UP: return 160;
      case WUGLYPH_DOWN: return 176;
      default: break;
    }
  }
  return index * kCell;
}

}  // namespace

BOOL WuBltStandardUIGlyph(HDC dc, const POINT* centre, const RECT* rect, int index, UINT flags) {
  if (!dc || index < 0 || index >= WUGLYPH_COUNT || (!centre && !rect)) return FALSE;
  HDC src = GlyphDc();
  if (!src) return FALSE;
  int w = index == WUGLYPH_SMALL_DOWN ? kSmallWidth : kGlyphWidth;
  int h = index == WUGLYPH_SMALL_DOWN ? kSmallHeight : kGlyphHeight;
  int cx = centre ? centre->x : (rect->left + rect->right) / 2;
  int cy = centre ? centre->y : (rect->top + rect->bottom) / 2;
  int x = cx - w / 2, y = cy - h / 2;
  if (flags & WUGLYPH_PUSHED) {
    ++x;
    ++y;
  }
  if (rect && x < rect->left) {
    x = rect->left;
    w = rect->right - rect->left;
  }
  if (rect && y < rect->top) {
    y = rect->top;
    h = rect->bottom - rect->top;
  }
  if (w <= 0 || h <= 0) return TRUE;  // nothing left to draw
  int sx = SourceX(index);
  if (flags & WUGLYPH_TRANSPARENT)
    return TransparentBlt(dc, x, y, w, h, src, sx, 0, w, h, GetBkColor(dc));
  return BitBlt(dc, x, y, w, h, src, sx, 0, (flags & WUGLYPH_BRUSH) ? kRopBrushWhereSet : SRCCOPY);
}

BOOL WuDrawStandardUIGlyph(HDC dc, const POINT* centre, const RECT* rect, int index, UINT flags,
                           COLORREF foreground, COLORREF background) {
  if (!dc) return FALSE;
  COLORREF old_text = GetTextColor(dc);
  COLORREF old_back = GetBkColor(dc);
  BOOL ok;
  if (flags & WUGLYPH_DISABLED) {
    UINT blit = (flags & ~(WUGLYPH_DISABLED | WUGLYPH_BRUSH)) | WUGLYPH_TRANSPARENT;
    SetBkColor(dc, 0x00C0C0);
    SetTextColor(dc, WuGetUIColor(COLOR_BTNHIGHLIGHT));
    ok = WuBltStandardUIGlyph(dc, centre, rect, index, blit | WUGLYPH_PUSHED);
    if (ok && g_disabled_grey) {
      SetTextColor(dc, WuGetUIColor(COLOR_GRAYTEXT));
      ok = WuBltStandardUIGlyph(dc, centre, rect, index, blit & ~WUGLYPH_PUSHED);
    }
  } else if ((flags & WUGLYPH_BRUSH) && !(flags & WUGLYPH_TRANSPARENT)) {
    // The strip's 0 bits become black, so the raster operation paints the
    // DC brush exactly there and keeps the destination elsewhere.
    SetTextColor(dc, 0x000000);
    SetBkColor(dc, 0xFFFFFF);
    COLORREF old_brush_color = SetDCBrushColor(dc, foreground);
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(DC_BRUSH));
    ok = WuBltStandardUIGlyph(dc, centre, rect, index, flags);
    if (old_brush) SelectObject(dc, old_brush);
    SetDCBrushColor(dc, old_brush_color);
  } else {
    SetTextColor(dc, foreground);
    SetBkColor(dc, background);
    ok = WuBltStandardUIGlyph(dc, centre, rect, index, flags);
  }
  SetTextColor(dc, old_text);
  SetBkColor(dc, old_back);
  return ok;
}

BOOL WuSetDisabledGlyphGrey(BOOL enabled) {
  BOOL previous = g_disabled_grey;
  g_disabled_grey = enabled ? TRUE : FALSE;
  return previous;
}

void WuUIGlyph_Release() {
  if (!g_glyph_dc) return;
  SelectObject(g_glyph_dc, g_glyph_old);
  DeleteDC(g_glyph_dc);
  DeleteObject(g_glyph_bitmap);
  g_glyph_dc = nullptr;
  g_glyph_bitmap = nullptr;
  g_glyph_old = nullptr;
}

// ---- 3-D edges ------------------------------------------------------------------------------

namespace {

// The five colours of an edge.
struct EdgeColors {
  COLORREF highlight;    // raised inner top-left
  COLORREF shadow;       // raised inner bottom-right
  COLORREF light;        // raised outer top-left
  COLORREF dark_shadow;  // raised outer bottom-right
  COLORREF face;         // middle
};

EdgeColors ChooseColors(UINT flags) {
  bool warm = (flags & WUEDGE_COLORS_WARM) != 0, ui = (flags & WUEDGE_COLORS_UI) != 0;
  if (warm && ui) return {0xBE7DFF, 0x6500CA, 0x7700EE, 0x480091, 0x8000FF};
  if (warm) return {0x7BBDFF, 0x006BD7, 0x0078F0, 0x00478E, 0x0080FF};
  if (ui)
    return {WuGetUIColor(20), WuGetUIColor(16), WuGetUIColor(22), WuGetUIColor(21),
            WuGetUIColor(15)};
  return {GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW),
          GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_BTNFACE)};
}

void Fill(HDC dc, int x, int y, int w, int h, COLORREF color) {
  if (w <= 0 || h <= 0) return;
  SetDCBrushColor(dc, color);
  PatBlt(dc, x, y, w, h, PATCOPY);
}

// Draws one ring on the sides flagged, top-left first, and moves those
// sides of `r` one pixel inwards.
void DrawRing(HDC dc, RECT* r, UINT sides, COLORREF top_left, COLORREF bottom_right) {
  int w = r->right - r->left, h = r->bottom - r->top;
  if (sides & BF_TOP) Fill(dc, r->left, r->top, w, 1, top_left);
  if (sides & BF_LEFT) Fill(dc, r->left, r->top, 1, h, top_left);
  if (sides & BF_BOTTOM) Fill(dc, r->left, r->bottom - 1, w, 1, bottom_right);
  if (sides & BF_RIGHT) Fill(dc, r->right - 1, r->top, 1, h, bottom_right);
  if (sides & BF_LEFT) ++r->left;
  if (sides & BF_TOP) ++r->top;
  if (sides & BF_RIGHT) --r->right;
  if (sides & BF_BOTTOM) --r->bottom;
}

}  // namespace

BOOL WuDrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
  if (!dc || !rect) return FALSE;
  UINT outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
  if (outer == BDR_OUTER) return FALSE;  // raised and sunken at once: nothing to draw
  BOOL result = TRUE;
  bool middle = (flags & BF_MIDDLE) != 0;
  if (inner == BDR_INNER) {
    inner = 0;
    middle = false;
    result = FALSE;
  }
  UINT sides = flags & BF_RECT;
  if ((edge & (BDR_OUTER | BDR_INNER)) && !sides && !(flags & BF_MIDDLE)) return FALSE;

  EdgeColors c = ChooseColors(flags);
  COLORREF outer_tl, outer_br, inner_tl, inner_br, face = c.face;
  if (flags & BF_MONO) {
    outer_tl = outer_br = inner_tl = inner_br = GetSysColor(COLOR_WINDOWFRAME);
    face = GetSysColor(COLOR_WINDOW);
  } else if (flags & BF_FLAT) {
    outer_tl = outer_br = c.shadow;
    inner_tl = inner_br = c.face;
  } else {
    bool raised_outer = outer == BDR_RAISEDOUTER, raised_inner = inner == BDR_RAISEDINNER;
    outer_tl = raised_outer ? c.light : c.shadow;
    outer_br = raised_outer ? c.dark_shadow : c.highlight;
    inner_tl = raised_inner ? c.highlight : c.dark_shadow;
    inner_br = raised_inner ? c.shadow : c.light;
    if (flags & BF_SOFT) {
      COLORREF t = outer_tl;
      outer_tl = inner_tl;
      inner_tl = t;
    }
  }

  COLORREF old_brush_color = GetDCBrushColor(dc);
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(DC_BRUSH));
  RECT r = *rect;
  if (outer) DrawRing(dc, &r, sides, outer_tl, outer_br);
  if (inner) DrawRing(dc, &r, sides, inner_tl, inner_br);
  if (middle) Fill(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, face);
  if (old_brush) SelectObject(dc, old_brush);
  SetDCBrushColor(dc, old_brush_color);
  if (flags & BF_ADJUST) *rect = r;
  return result;
}
