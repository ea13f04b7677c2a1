// Classic theme painters.
#include "shellui/CWuThemeControl.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/WuUIColor.h"
#include "foundation/WuUIFont.h"

namespace {

// UI brush of the 8 x 8 checker pattern, and of the button face colour.
constexpr int kCheckerBrush = 10001;
constexpr int kFaceBrush = 15;

// A fill: an opaque ExtTextOutW without text, in the DC's background colour.
void Fill(HDC dc, int x, int y, int width, int height) {
  RECT r{x, y, x + width, y + height};
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// The same in a colour; the DC's background colour is restored.
void FillColor(HDC dc, int x, int y, int width, int height, COLORREF color) {
  COLORREF old = SetBkColor(dc, color);
  Fill(dc, x, y, width, height);
  SetBkColor(dc, old);
}

HRESULT FrameControl(HDC dc, const RECT* rect, UINT type, UINT state) {
  RECT r = *rect;
  DrawFrameControl(dc, &r, type, state);
  return S_OK;
}

HRESULT Edge(HDC dc, RECT r, UINT edge, UINT flags) {
  DrawEdge(dc, &r, edge, flags);
  return S_OK;
}

// The characters a text call draws: count <= 0 is the whole string, a
// null text none.
int TextLength(LPCWSTR text, int count) {
  if (!text) return 0;
  if (count > 0) return count;
  return static_cast<int>(std::char_traits<char16_t>::length(text));
}

// DrawTextW of a text in a colour with a transparent background; colour
// and mode are restored.
HRESULT PlainText(HDC dc, LPCWSTR text, int count, DWORD flags, const RECT* rect) {
  if (!rect) return E_INVALIDARG;
  int length = TextLength(text, count);
  if (length == 0) return S_OK;
  RECT r = *rect;
  int mode = SetBkMode(dc, TRANSPARENT);
  COLORREF color = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  DrawTextW(dc, text, length, &r, flags);
  SetTextColor(dc, color);
  SetBkMode(dc, mode);
  return S_OK;
}

CWuButtonThemeControl g_button;
CWuToolbarThemeControl g_toolbar;
CWuHeaderThemeControl g_header;
CWuProgressThemeControl g_progress;
CWuTrackbarThemeControl g_trackbar;
CWuTreeViewThemeControl g_tree_view;
CWuScrollbarThemeControl g_scrollbar;
CWuComboBoxThemeControl g_combo_box;

// The painters by control class.
CWuThemeControl* const g_painters[17] = {
    nullptr,     &g_button,    nullptr,    &g_toolbar,   nullptr,     nullptr,
    &g_header,   &g_progress,  nullptr,    &g_trackbar,  nullptr,     &g_tree_view,
    nullptr,     &g_scrollbar, nullptr,    &g_combo_box, nullptr,
};

}  // namespace

CWuThemeControl* WuThemePainter(int control) {
  if (control < 0 || control >= 17) return nullptr;
  return g_painters[control];
}

// ---- Base ---------------------------------------------------------------------------------

HRESULT CWuThemeControl::PaintBackground(HDC, int, int, const RECT*, const RECT*) {
  return E_NOTIMPL;
}

HRESULT CWuThemeControl::PaintText(HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT*) {
  return E_NOTIMPL;
}

HRESULT CWuThemeControl::PaintIcon(HDC, int, int, const RECT*, HIMAGELIST, int) {
  return E_NOTIMPL;
}

HRESULT CWuThemeControl::ContentRect(HDC, int, int, const RECT* bounds, RECT* out) {
  if (!bounds || !out) return E_INVALIDARG;
  *out = *bounds;
  return S_OK;
}

HRESULT CWuThemeControl::ExtentRect(HDC, int, int, const RECT* content, RECT* out) {
  if (!content || !out) return E_INVALIDARG;
  *out = *content;
  return S_OK;
}

BOOL CWuThemeControl::IsPartiallyTransparent(int, int) { return FALSE; }

HRESULT CWuThemeControl::TextExtent(HDC dc, int, int, LPCWSTR text, int count, DWORD flags,
                                    const RECT* bounding, RECT* out) {
  if (!out) return E_INVALIDARG;
  HFONT font = WuGetUIFont(WUFONT_DIALOG);
  int length = TextLength(text, count);
  if (!bounding) {
    SIZE size{0, 0};
    if (length > 0) WuGetTextExtent(font, text, length, &size);
    *out = RECT{0, 0, size.cx, size.cy};
    return S_OK;
  }
  *out = *bounding;
  HGDIOBJ old = SelectObject(dc, font);
  DrawTextW(dc, length > 0 ? text : u"", length, out, flags | DT_CALCRECT);
  if (old) SelectObject(dc, old);
  return S_OK;
}

// ---- Button -------------------------------------------------------------------------------

HRESULT CWuButtonThemeControl::PaintBackground(HDC dc, int part, int state, const RECT* rect,
                                               const RECT*) {
  if (part != 1 && part != 3) return E_NOTIMPL;
  if (!rect) return E_INVALIDARG;
  if (part == 1)
    return FrameControl(dc, rect, DFC_BUTTON, DFCS_BUTTONPUSH | (state == 3 ? DFCS_PUSHED : 0));
  // Check-box states 1..12: unchecked, checked and mixed, each normal, hot,
  // pressed and disabled.
  static const UINT kCheckFlags[12] = {
      DFCS_BUTTONCHECK, DFCS_HOT,  DFCS_PUSHED,       DFCS_INACTIVE,
      DFCS_CHECKED,     0x1400,    0x600,             0x500,
      DFCS_BUTTON3STATE, 0x1008,   0x208,             0x108,
  };
  if (state < 1 || state > 12) return S_OK;
  return FrameControl(dc, rect, DFC_BUTTON, kCheckFlags[state - 1]);
}

HRESULT CWuButtonThemeControl::PaintText(HDC dc, int part, int state, LPCWSTR text, int count,
                                         DWORD flags, DWORD flags2, const RECT* rect) {
  if (part != 1 && part != 3) return E_NOTIMPL;
  if (!rect) return E_INVALIDARG;
  int length = TextLength(text, count);
  if (length == 0) return S_OK;
  // DrawTextExW may write into its text (DT_MODIFYSTRING): give it a copy.
  std::u16string copy(text, static_cast<size_t>(length));
  int mode = SetBkMode(dc, TRANSPARENT);
  COLORREF color = GetTextColor(dc);
  RECT r = *rect;
  if ((flags2 & 1) || state == 4) {
    RECT shadow{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextExW(dc, copy.data(), length, &shadow, flags, nullptr);
    copy.assign(text, static_cast<size_t>(length));
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  } else {
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  }
  DrawTextExW(dc, copy.data(), length, &r, flags, nullptr);
  SetTextColor(dc, color);
  SetBkMode(dc, mode);
  return S_OK;
}

HRESULT CWuButtonThemeControl::PaintIcon(HDC dc, int part, int, const RECT* rect,
                                         HIMAGELIST list, int index) {
  if (part != 1) return E_NOTIMPL;
  if (!rect) return E_INVALIDARG;
  ImageList_DrawEx(list, index, dc, rect->left, rect->top, 0, 0, GetSysColor(COLOR_BTNFACE),
                   CLR_DEFAULT, ILD_NORMAL);
  return S_OK;
}

HRESULT CWuButtonThemeControl::ContentRect(HDC, int part, int, const RECT* bounds, RECT* out) {
  if (part != 1) return E_NOTIMPL;
  if (!bounds || !out) return E_INVALIDARG;
  *out = RECT{bounds->left + 4, bounds->top + 4, bounds->right - 4, bounds->bottom - 4};
  return S_OK;
}

HRESULT CWuButtonThemeControl::ExtentRect(HDC, int part, int, const RECT* content, RECT* out) {
  if (part != 1) return E_NOTIMPL;
  if (!content || !out) return E_INVALIDARG;
  *out = RECT{content->left - 4, content->top - 4, content->right + 4, content->bottom + 4};
  return S_OK;
}

// ---- Toolbar ------------------------------------------------------------------------------

HRESULT CWuToolbarThemeControl::PaintBackground(HDC dc, int part, int state, const RECT* rect,
                                                const RECT*) {
  if (part < 1 || part > 4) return E_NOTIMPL;
  if (!rect) return E_INVALIDARG;
  const RECT& r = *rect;
  if (state == 2) {
    Edge(dc, r, BDR_RAISEDINNER, BF_RECT);
  } else if (state == 5 || state == 6) {
    // Checked: the checker pattern in highlight and face, aligned to the
    // button, a face-coloured ring inside and a sunken edge.
    COLORREF text = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    COLORREF back = SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    POINT origin{};
    SetBrushOrgEx(dc, r.left, r.top, &origin);
    HGDIOBJ brush = SelectObject(dc, WuGetUIBrush(kCheckerBrush));
    PatBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, PATCOPY);
    if (brush) SelectObject(dc, brush);
    SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    SetBkColor(dc, back);
    SetTextColor(dc, text);
    RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    FrameRect(dc, &inner, WuGetUIBrush(kFaceBrush));
    Edge(dc, r, BDR_SUNKENOUTER, BF_RECT);
  } else if (state == 3) {
    Edge(dc, r, BDR_SUNKENOUTER, BF_RECT);
  }
  if (part == 2 || part == 4) {
    // The drop-down arrow: rows of 5, 3 and 1 pixels below the centre,
    // moved by one pixel while pressed or checked.
    COLORREF color = GetSysColor(state == 4 ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    int x = (r.left + r.right) / 2;
    int y = (r.top + r.bottom) / 2;
    if (state == 3 || state == 5 || state == 6) {
      ++x;
      ++y;
    }
    COLORREF old = SetBkColor(dc, color);
    Fill(dc, x - 2, y - 1, 5, 1);
    Fill(dc, x - 1, y, 3, 1);
    Fill(dc, x, y + 1, 1, 1);
    SetBkColor(dc, old);
  }
  return S_OK;
}

HRESULT CWuToolbarThemeControl::PaintText(HDC dc, int part, int, LPCWSTR text, int count,
                                          DWORD flags, DWORD, const RECT* rect) {
  if (part != 1 && part != 3) return E_NOTIMPL;
  return PlainText(dc, text, count, flags, rect);
}

HRESULT CWuToolbarThemeControl::PaintIcon(HDC dc, int part, int, const RECT* rect,
                                          HIMAGELIST list, int index) {
  if (part != 1 && part != 3) return E_NOTIMPL;
  if (!rect) return E_INVALIDARG;
  ImageList_Draw(list, index, dc, rect->left, rect->top, ILD_NORMAL);
  return S_OK;
}

BOOL CWuToolbarThemeControl::IsPartiallyTransparent(int, int) { return TRUE; }

// ---- Header -------------------------------------------------------------------------------

HRESULT CWuHeaderThemeControl::PaintBackground(HDC dc, int part, int state, const RECT* rect,
                                               const RECT*) {
  if (part != 1 && part != 3 && part != 4) return E_NOTIMPL;
  if (!rect) return E_INVALIDARG;
  if (part == 4) return PaintSortArrow(dc, state, rect);
  UINT flags = DFCS_BUTTONPUSH;
  if (part == 1 && state == 2) flags |= DFCS_HOT;
  if (part == 1 && state == 3) flags |= DFCS_PUSHED;
  return FrameControl(dc, rect, DFC_BUTTON, flags);
}

HRESULT CWuHeaderThemeControl::PaintText(HDC dc, int part, int, LPCWSTR text, int count,
                                         DWORD flags, DWORD, const RECT* rect) {
  if (part != 1) return E_NOTIMPL;
  return PlainText(dc, text, count, flags, rect);
}

HRESULT CWuHeaderThemeControl::PaintSortArrow(HDC dc, int state, const RECT* rect) {
  if (!rect) return E_INVALIDARG;
  if (state != 1 && state != 2) return E_INVALIDARG;
  int x = (rect->left + rect->right) / 2;
  int y = (rect->top + rect->bottom) / 2;
  COLORREF old = SetBkColor(dc, GetSysColor(COLOR_BTNTEXT));
  for (int i = 0; i < 5; ++i) {
    // Row i has 9 - 2i pixels; state 1 puts the widest row at the top
    // (pointing down), state 2 at the bottom (pointing up).
    int row = state == 1 ? y - 2 + i : y + 2 - i;
    Fill(dc, x + i - 4, row, 9 - 2 * i, 1);
  }
  SetBkColor(dc, old);
  return S_OK;
}

// ---- Tree view ----------------------------------------------------------------------------

int CWuTreeViewThemeControl::Mix(int b, int t) {
  // Shifts of signed values: right shifts are arithmetic here (C++20).
  return std::clamp(b + (((t >> 8) + t) >> 8), 0, 255);
}

void CWuTreeViewThemeControl::GlyphColors(COLORREF* border, COLORREF* corner) {
  COLORREF c1 = GetSysColor(COLOR_GRADIENTACTIVECAPTION);
  COLORREF c2 = GetSysColor(COLOR_ACTIVECAPTION);
  COLORREF w = GetSysColor(COLOR_WINDOW);
  int b[3], k[3];
  for (int ch = 0; ch < 3; ++ch) {
    int shift = 8 * ch;
    int a = static_cast<int>((c1 >> shift) & 0xFF);
    int z = static_cast<int>((c2 >> shift) & 0xFF);
    int win = static_cast<int>((w >> shift) & 0xFF);
    int q = Mix(a, (z - a + 2) * 64);
    b[ch] = Mix(q, (win - q) * 172 + 128);
    k[ch] = Mix(b[ch], (win - b[ch] + 1) * 128);
  }
  *border = RGB(static_cast<BYTE>(b[0]), static_cast<BYTE>(b[1]), static_cast<BYTE>(b[2]));
  *corner = RGB(static_cast<BYTE>(k[0]), static_cast<BYTE>(k[1]), static_cast<BYTE>(k[2]));
}

HRESULT CWuTreeViewThemeControl::PaintBackground(HDC dc, int part, int state, const RECT* rect,
                                                 const RECT*) {
  if (part != 0 && part != 2) return E_NOTIMPL;
  if (!rect) return E_INVALIDARG;
  const RECT& r = *rect;
  if (part == 0) return Edge(dc, r, EDGE_SUNKEN, BF_RECT | BF_MIDDLE);
  int width = r.right - r.left;
  int height = r.bottom - r.top;
  COLORREF border = 0, corner = 0;
  GlyphColors(&border, &corner);
  COLORREF old = SetBkColor(dc, border);
  Fill(dc, r.left, r.top, 1, height);
  Fill(dc, r.right - 1, r.top, 1, height);
  Fill(dc, r.left + 1, r.top, width - 2, 1);
  Fill(dc, r.left + 1, r.bottom - 1, width - 2, 1);
  SetBkColor(dc, corner);
  Fill(dc, r.left, r.top, 1, 1);
  Fill(dc, r.right - 1, r.top, 1, 1);
  Fill(dc, r.left, r.bottom - 1, 1, 1);
  Fill(dc, r.right - 1, r.bottom - 1, 1, 1);
  // A minus sign, with the bar of a plus while closed.
  SetBkColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  Fill(dc, r.left + 2, r.top + (height - 1) / 2, width - 4, 1);
  if (state == 1) Fill(dc, r.left + (width - 1) / 2, r.top + 2, 1, height - 4);
  SetBkColor(dc, old);
  return S_OK;
}

// ---- Scroll bar ---------------------------------------------------------------------------

HRESULT CWuScrollbarThemeControl::PaintBackground(HDC dc, int part, int state, const RECT* rect,
                                                  const RECT*) {
  if (part < 1 || part > 9) return E_NOTIMPL;
  if (!rect) return E_INVALIDARG;
  const RECT& r = *rect;
  if (part == 1) {
    // Arrow states 1..16: four per direction (up, down, left, right):
    // normal, hot, pressed, disabled. Hot draws as normal.
    UINT flags = DFCS_SCROLLUP;
    if (state >= 1 && state <= 16) {
      static const UINT kLook[4] = {0, DFCS_HOT, DFCS_PUSHED, DFCS_INACTIVE};
      flags = static_cast<UINT>((state - 1) / 4) | kLook[(state - 1) % 4];
    }
    return FrameControl(dc, rect, DFC_SCROLL, flags & 0xEFFF);
  }
  if (part <= 3) return Edge(dc, r, EDGE_RAISED, BF_RECT | BF_MIDDLE);
  if (part <= 7) {
    int saved = SaveDC(dc);
    SetBkColor(dc, GetSysColor(COLOR_SCROLLBAR));
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, WuGetUIBrush(kCheckerBrush));
    PatBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, PATCOPY);
    RestoreDC(dc, saved);
    return S_OK;
  }
  RECT g = r;
  if (part == 8) {
    g.left = (r.left + r.right) / 2 - 1;
    return Edge(dc, g, EDGE_ETCHED, BF_LEFT);
  }
  g.top = (r.top + r.bottom) / 2 - 1;
  return Edge(dc, g, EDGE_ETCHED, BF_TOP);
}

HRESULT CWuScrollbarThemeControl::PaintIcon(HDC dc, int, int state, const RECT* rect,
                                            HIMAGELIST list, int index) {
  if (!rect) return E_INVALIDARG;
  int d = state == 3 ? 1 : 0;
  ImageList_Draw(list, index, dc, rect->left + d, rect->top + d, ILD_TRANSPARENT);
  return S_OK;
}

// ---- Combo box ----------------------------------------------------------------------------

HRESULT CWuComboBoxThemeControl::PaintBackground(HDC dc, int, int state, const RECT* rect,
                                                 const RECT*) {
  if (!rect) return E_INVALIDARG;
  COLORREF old = SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  FrameControl(dc, rect, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | (state == 3 ? DFCS_FLAT : 0));
  // The column just left of the button joins it to the field in face colour.
  FillColor(dc, rect->left - 1, rect->top, 1, rect->bottom - rect->top,
            GetSysColor(COLOR_BTNFACE));
  SetBkColor(dc, old);
  return S_OK;
}

// ---- Trackbar -----------------------------------------------------------------------------

HRESULT CWuTrackbarThemeControl::PaintBackground(HDC dc, int part, int state, const RECT* rect,
                                                 const RECT* clip) {
  const RECT* use = clip ? clip : rect;
  if (part != 1 && part != 3) return S_OK;
  if (!use) return E_INVALIDARG;
  if (part == 1) {
    RECT r = *use;
    int k = static_cast<int>(std::trunc((r.bottom - r.top) / 3.0 + 0.5));
    r.top += k;
    r.bottom -= k;
    return Edge(dc, r, BDR_SUNKENOUTER, BF_RECT);
  }
  return FrameControl(dc, use, DFC_BUTTON, DFCS_BUTTONPUSH | (state == 3 ? DFCS_PUSHED : 0));
}

// ---- Progress -----------------------------------------------------------------------------

HRESULT CWuProgressThemeControl::PaintBackground(HDC dc, int part, int, const RECT* rect,
                                                 const RECT* clip) {
  if (part == 1 && rect) Edge(dc, *rect, EDGE_ETCHED, BF_RECT | BF_MIDDLE);
  // A chunk fills only the clip rectangle; without one nothing is painted.
  if (part == 3 && clip)
    FillRect(dc, clip, reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_HIGHLIGHT + 1)));
  return S_OK;
}

HRESULT CWuProgressThemeControl::ContentRect(HDC, int, int, const RECT* bounds, RECT* out) {
  if (!bounds || !out) return E_INVALIDARG;
  *out = RECT{bounds->left + 1, bounds->top + 1, bounds->right - 1, bounds->bottom - 1};
  return S_OK;
}
