// Classic 3-D frames: DrawEdge rings and the DrawFrameControl shapes (push
// buttons, check boxes, radio buttons, scroll arrows, caption buttons and
// menu marks), painted in the system colours.
#include <algorithm>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"

namespace platform::gdi {

namespace {

// Fills a logical rectangle with a colour.
void Fill(Dc& dc, int left, int top, int right, int bottom, COLORREF color) {
  FillDevice(dc, ToDevice(dc, RECT{left, top, right, bottom}), color);
}

void Pixel(Dc& dc, int x, int y, COLORREF color) { Fill(dc, x, y, x + 1, y + 1, color); }

// One ring: light on the top and left, dark on the bottom and right (the
// dark sides own the two shared corners). Shrinks `r` past the sides drawn.
void Ring(Dc& dc, RECT& r, UINT sides, COLORREF light, COLORREF dark) {
  if (Empty(r)) return;
  if (sides & BF_LEFT) Fill(dc, r.left, r.top, r.left + 1, r.bottom, light);
  if (sides & BF_TOP) Fill(dc, r.left, r.top, r.right, r.top + 1, light);
  if (sides & BF_RIGHT) Fill(dc, r.right - 1, r.top, r.right, r.bottom, dark);
  if (sides & BF_BOTTOM) Fill(dc, r.left, r.bottom - 1, r.right, r.bottom, dark);
  if (sides & BF_LEFT) ++r.left;
  if (sides & BF_TOP) ++r.top;
  if (sides & BF_RIGHT) --r.right;
  if (sides & BF_BOTTOM) --r.bottom;
}

struct RingColors {
  COLORREF light;  // top and left
  COLORREF dark;   // bottom and right
};

bool EdgeDraw(Dc& dc, RECT* rect, UINT edge, UINT flags) {
  UINT outer = edge & BDR_OUTER;
  UINT inner = edge & BDR_INNER;
  if (outer == BDR_OUTER) outer = 0;  // raised and sunken at once: not drawn
  if (inner == BDR_INNER) inner = 0;
  RingColors o{}, i{};
  if (flags & BF_MONO) {
    o = {SysColor(COLOR_WINDOWFRAME), SysColor(COLOR_WINDOWFRAME)};
    i = {SysColor(COLOR_WINDOW), SysColor(COLOR_WINDOW)};
  } else if (flags & BF_FLAT) {
    o = {SysColor(COLOR_BTNSHADOW), SysColor(COLOR_BTNSHADOW)};
    i = {SysColor(COLOR_BTNFACE), SysColor(COLOR_BTNFACE)};
  } else {
    o = outer == BDR_RAISEDOUTER ? RingColors{SysColor(COLOR_3DLIGHT), SysColor(COLOR_3DDKSHADOW)}
                                 : RingColors{SysColor(COLOR_BTNSHADOW), SysColor(COLOR_BTNHIGHLIGHT)};
    i = inner == BDR_RAISEDINNER ? RingColors{SysColor(COLOR_BTNHIGHLIGHT), SysColor(COLOR_BTNSHADOW)}
                                 : RingColors{SysColor(COLOR_3DDKSHADOW), SysColor(COLOR_3DLIGHT)};
    if (flags & BF_SOFT) std::swap(o.light, i.light);
  }
  RECT r = *rect;
  UINT sides = flags & BF_RECT;
  if (outer) Ring(dc, r, sides, o.light, o.dark);
  if (inner) Ring(dc, r, sides, i.light, i.dark);
  if ((flags & BF_MIDDLE) && !Empty(r))
    Fill(dc, r.left, r.top, r.right, r.bottom,
         SysColor((flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE));
  if (flags & BF_ADJUST) *rect = r;
  return true;
}

// A solid triangle pointing in a direction (0 up, 1 down, 2 left, 3 right)
// centred on (cx, cy), `size` rows deep.
void Arrow(Dc& dc, int cx, int cy, int size, int direction, COLORREF color) {
  for (int k = 0; k < size; ++k) {
    int half = direction == 0 || direction == 2 ? k : size - 1 - k;
    int along = k - size / 2;
    if (direction <= 1)
      Fill(dc, cx - half, cy + along, cx + half + 1, cy + along + 1, color);
    else
      Fill(dc, cx + along, cy - half, cx + along + 1, cy + half + 1, color);
  }
}

// A check mark seven pixels square with its top-left at (x, y).
void CheckMark(Dc& dc, int x, int y, COLORREF color) {
  static const int kRise[7] = {2, 3, 4, 3, 2, 1, 0};  // top row of each column
  for (int c = 0; c < 7; ++c) Fill(dc, x + c, y + kRise[c], x + c + 1, y + kRise[c] + 3, color);
}

void Disc(Dc& dc, int cx2, int cy2, int r2, COLORREF color, const RECT& box) {
  // Pixels whose centre lies within the circle; coordinates are doubled so
  // that even sizes centre between pixels.
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) {
      int dx = 2 * x + 1 - cx2, dy = 2 * y + 1 - cy2;
      if (dx * dx + dy * dy <= r2 * r2) Pixel(dc, x, y, color);
    }
}

void ButtonFace(Dc& dc, RECT* r, UINT state) {
  UINT flags = BF_RECT | BF_MIDDLE | BF_ADJUST | ((state & DFCS_FLAT) ? BF_FLAT : 0) |
               ((state & DFCS_MONO) ? BF_MONO : 0);
  EdgeDraw(dc, r, (state & DFCS_PUSHED) ? EDGE_SUNKEN : EDGE_RAISED, flags);
}

void CheckBox(Dc& dc, const RECT& rect, UINT state) {
  int size = std::min<int>(13, std::min(rect.right - rect.left, rect.bottom - rect.top));
  if (size <= 0) return;
  int top = rect.top + (rect.bottom - rect.top - size) / 2;
  RECT box{rect.left, top, rect.left + size, top + size};
  UINT flags = BF_RECT | BF_ADJUST | ((state & DFCS_FLAT) ? BF_FLAT : 0) | ((state & DFCS_MONO) ? BF_MONO : 0);
  EdgeDraw(dc, &box, EDGE_SUNKEN, flags);
  bool grey = (state & (DFCS_PUSHED | DFCS_INACTIVE)) || ((state & DFCS_BUTTON3STATE) && (state & DFCS_CHECKED));
  Fill(dc, box.left, box.top, box.right, box.bottom, SysColor(grey ? COLOR_BTNFACE : COLOR_WINDOW));
  if (state & DFCS_CHECKED) {
    COLORREF ink = SysColor((state & (DFCS_INACTIVE | DFCS_BUTTON3STATE)) ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT);
    CheckMark(dc, box.left + (box.right - box.left - 7) / 2, box.top + (box.bottom - box.top - 7) / 2, ink);
  }
}

void RadioButton(Dc& dc, const RECT& rect, UINT state) {
  int size = std::min<int>(12, std::min(rect.right - rect.left, rect.bottom - rect.top));
  if (size <= 0) return;
  int top = rect.top + (rect.bottom - rect.top - size) / 2;
  RECT box{rect.left, top, rect.left + size, top + size};
  int cx2 = box.left + box.right, cy2 = box.top + box.bottom;
  // Dark upper-left half, light lower-right half, then the well.
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) {
      int dx = 2 * x + 1 - cx2, dy = 2 * y + 1 - cy2;
      if (dx * dx + dy * dy > size * size) continue;
      Pixel(dc, x, y, SysColor(dx + dy < 0 ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT));
    }
  bool grey = state & (DFCS_PUSHED | DFCS_INACTIVE);
  Disc(dc, cx2, cy2, size - 4, SysColor(grey ? COLOR_BTNFACE : COLOR_WINDOW), box);
  if (state & DFCS_CHECKED)
    Disc(dc, cx2, cy2, size / 3, SysColor((state & DFCS_INACTIVE) ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT), box);
}

// A push-button face with a glyph drawn by `mark` at its centre.
template <class Mark>
void GlyphButton(Dc& dc, RECT* rect, UINT state, Mark mark) {
  RECT r = *rect;
  ButtonFace(dc, &r, state);
  int shift = (state & DFCS_PUSHED) ? 1 : 0;
  int cx = (r.left + r.right) / 2 + shift, cy = (r.top + r.bottom) / 2 + shift;
  int size = std::max(1, std::min(r.right - r.left, r.bottom - r.top) / 3);
  if (state & DFCS_INACTIVE) {
    mark(cx + 1, cy + 1, size, SysColor(COLOR_BTNHIGHLIGHT));
    mark(cx, cy, size, SysColor(COLOR_BTNSHADOW));
  } else {
    mark(cx, cy, size, SysColor(COLOR_BTNTEXT));
  }
  if (state & DFCS_ADJUSTRECT) *rect = r;
}

bool FrameControl(Dc& dc, RECT* rect, UINT type, UINT state) {
  switch (type) {
    case DFC_BUTTON: {
      UINT kind = state & 0x1F;
      if (kind & DFCS_BUTTONPUSH) {
        RECT r = *rect;
        ButtonFace(dc, &r, state);
        if (state & DFCS_ADJUSTRECT) *rect = r;
      } else if (kind & DFCS_BUTTONRADIO) {
        RadioButton(dc, *rect, state);
      } else {
        CheckBox(dc, *rect, state);
      }
      return true;
    }
    case DFC_SCROLL: {
      UINT kind = state & 0xFF;
      if (kind == DFCS_SCROLLSIZEGRIP) {
        Fill(dc, rect->left, rect->top, rect->right, rect->bottom, SysColor(COLOR_BTNFACE));
        int n = std::min(rect->right - rect->left, rect->bottom - rect->top);
        for (int k = 3; k < n; k += 4)
          for (int j = 0; j < k; ++j) {
            Pixel(dc, rect->right - k + j, rect->bottom - 1 - j, SysColor(COLOR_BTNSHADOW));
            Pixel(dc, rect->right - k + j - 1, rect->bottom - 1 - j, SysColor(COLOR_BTNHIGHLIGHT));
          }
        return true;
      }
      int direction = kind == DFCS_SCROLLCOMBOBOX ? 1 : static_cast<int>(kind & 3);
      GlyphButton(dc, rect, state, [&](int x, int y, int size, COLORREF c) {
        Arrow(dc, x, y, (size + 1) / 2 + 1, direction, c);
      });
      return true;
    }
    case DFC_CAPTION: {
      UINT kind = state & 0xFF;
      GlyphButton(dc, rect, state, [&](int x, int y, int size, COLORREF c) {
        int h = size;
        switch (kind) {
          case DFCS_CAPTIONCLOSE:
            for (int k = -h; k <= h; ++k) {
              Fill(dc, x + k, y + k, x + k + 2, y + k + 1, c);
              Fill(dc, x + k, y - k, x + k + 2, y - k + 1, c);
            }
            break;
          case DFCS_CAPTIONMIN: Fill(dc, x - h, y + h - 1, x + h, y + h + 1, c); break;
          case DFCS_CAPTIONMAX:
          case DFCS_CAPTIONRESTORE: {
            int d = kind == DFCS_CAPTIONRESTORE ? h / 2 : 0;
            RECT box{x - h + d, y - h, x + h, y + h - d};
            Fill(dc, box.left, box.top, box.right, box.top + 2, c);
            Fill(dc, box.left, box.top, box.left + 1, box.bottom, c);
            Fill(dc, box.right - 1, box.top, box.right, box.bottom, c);
            Fill(dc, box.left, box.bottom - 1, box.right, box.bottom, c);
            break;
          }
          default:  // help: a dot under a short hook
            Fill(dc, x - 1, y - h, x + 2, y - h + 1, c);
            Fill(dc, x + 1, y - h, x + 2, y, c);
            Fill(dc, x, y, x + 1, y + h / 2, c);
            Fill(dc, x, y + h - 1, x + 1, y + h, c);
            break;
        }
      });
      return true;
    }
    case DFC_MENU: {
      // Menu marks are black on white, for use as masks.
      RECT r = *rect;
      Fill(dc, r.left, r.top, r.right, r.bottom, RGB(255, 255, 255));
      int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
      int size = std::max(1, std::min(r.right - r.left, r.bottom - r.top) / 3);
      switch (state & 0xFF) {
        case DFCS_MENUCHECK: CheckMark(dc, cx - 3, cy - 3, 0); break;
        case DFCS_MENUBULLET: Disc(dc, r.left + r.right, r.top + r.bottom, size, 0, r); break;
        default: Arrow(dc, cx, cy, size, 3, 0); break;
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

}  // namespace platform::gdi

using namespace platform::gdi;

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d || !rect) {
    SetLastError(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return EdgeDraw(*d, rect, edge, flags) ? TRUE : FALSE;
}

BOOL DrawFrameControl(HDC dc, RECT* rect, UINT type, UINT state) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d || !rect) {
    SetLastError(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!FrameControl(*d, rect, type, state)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
