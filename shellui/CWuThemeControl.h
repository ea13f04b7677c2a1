// Classic theme painters: the theme parts of a control class drawn with
// classic drawing calls (DrawFrameControl, DrawEdge, pattern brushes,
// image lists) for when visual styles are off or missing.
//
// Part and state numbers are those of the visual-styles library for the
// class concerned. Every operation takes a null rectangle, text or output
// as bad input: E_INVALIDARG (FALSE for IsPartiallyTransparent), nothing
// drawn or written. The objects hold no data; one static instance of each
// painter stands in the table WuThemePainter reads.
#pragma once

#include "platform/comctl/commctrl.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// The base painter: draws nothing (E_NOTIMPL), passes rectangles through
// and measures text in UI font 100.
class CWuThemeControl {
 public:
  // Background of a part.
  virtual HRESULT PaintBackground(HDC dc, int part, int state, const RECT* rect,
                                  const RECT* clip);
  // Text of a part (count <= 0: the whole string); `flags` are DrawText
  // flags, `flags2` the extra flags (DTT_GRAYED).
  virtual HRESULT PaintText(HDC dc, int part, int state, LPCWSTR text, int count, DWORD flags,
                            DWORD flags2, const RECT* rect);
  // An image of a list in a part.
  virtual HRESULT PaintIcon(HDC dc, int part, int state, const RECT* rect, HIMAGELIST list,
                            int index);
  // The content area inside a part's bounds (base: the bounds, 0).
  virtual HRESULT ContentRect(HDC dc, int part, int state, const RECT* bounds, RECT* out);
  // The part's bounds around a content area (base: the content, 0).
  virtual HRESULT ExtentRect(HDC dc, int part, int state, const RECT* content, RECT* out);
  // Whether the part leaves pixels of what lies below (base: FALSE).
  virtual BOOL IsPartiallyTransparent(int part, int state);
  // The extent of a text in UI font 100: without `bounding` (0, 0, cx, cy)
  // of the text; with it, the rectangle DrawTextW computes from it for
  // `flags` | DT_CALCRECT. 0.
  virtual HRESULT TextExtent(HDC dc, int part, int state, LPCWSTR text, int count, DWORD flags,
                             const RECT* bounding, RECT* out);

 protected:
  ~CWuThemeControl() = default;
};

// "Button": push buttons (part 1) and check boxes (part 3).
class CWuButtonThemeControl final : public CWuThemeControl {
 public:
  HRESULT PaintBackground(HDC dc, int part, int state, const RECT* rect,
                          const RECT* clip) override;
  HRESULT PaintText(HDC dc, int part, int state, LPCWSTR text, int count, DWORD flags,
                    DWORD flags2, const RECT* rect) override;
  HRESULT PaintIcon(HDC dc, int part, int state, const RECT* rect, HIMAGELIST list,
                    int index) override;
  HRESULT ContentRect(HDC dc, int part, int state, const RECT* bounds, RECT* out) override;
  HRESULT ExtentRect(HDC dc, int part, int state, const RECT* content, RECT* out) override;
};

// "Toolbar": buttons, drop-down buttons, split buttons and their drop-downs
// (parts 1-4).
class CWuToolbarThemeControl final : public CWuThemeControl {
 public:
  HRESULT PaintBackground(HDC dc, int part, int state, const RECT* rect,
                          const RECT* clip) override;
  HRESULT PaintText(HDC dc, int part, int state, LPCWSTR text, int count, DWORD flags,
                    DWORD flags2, const RECT* rect) override;
  HRESULT PaintIcon(HDC dc, int part, int state, const RECT* rect, HIMAGELIST list,
                    int index) override;
  BOOL IsPartiallyTransparent(int part, int state) override;
};

// "Header": items (part 1), the right end (part 3) and the sort arrow
// (part 4).
class CWuHeaderThemeControl final : public CWuThemeControl {
 public:
  HRESULT PaintBackground(HDC dc, int part, int state, const RECT* rect,
                          const RECT* clip) override;
  HRESULT PaintText(HDC dc, int part, int state, LPCWSTR text, int count, DWORD flags,
                    DWORD flags2, const RECT* rect) override;
  // The library's sort arrow, centred in the rectangle in COLOR_BTNTEXT:
  // state 1 points down, state 2 up; other states E_INVALIDARG, nothing
  // drawn. Also drawn for themed headers.
  static HRESULT PaintSortArrow(HDC dc, int state, const RECT* rect);
};

// "TreeView": the border (part 0) and the expand glyph (part 2).
class CWuTreeViewThemeControl final : public CWuThemeControl {
 public:
  HRESULT PaintBackground(HDC dc, int part, int state, const RECT* rect,
                          const RECT* clip) override;
  // One 8-bit channel of the glyph colours: b + (((t >> 8) + t) >> 8) with
  // arithmetic shifts, clamped to 0..255.
  static int Mix(int b, int t);
  // The glyph's border and corner colours from the system colours.
  static void GlyphColors(COLORREF* border, COLORREF* corner);
};

// "Scrollbar": arrows, thumbs, tracks and grippers (parts 1-9).
class CWuScrollbarThemeControl final : public CWuThemeControl {
 public:
  HRESULT PaintBackground(HDC dc, int part, int state, const RECT* rect,
                          const RECT* clip) override;
  HRESULT PaintIcon(HDC dc, int part, int state, const RECT* rect, HIMAGELIST list,
                    int index) override;
};

// "ComboBox": the drop-down button.
class CWuComboBoxThemeControl final : public CWuThemeControl {
 public:
  HRESULT PaintBackground(HDC dc, int part, int state, const RECT* rect,
                          const RECT* clip) override;
};

// "Trackbar": the track (part 1) and the thumb (part 3).
class CWuTrackbarThemeControl final : public CWuThemeControl {
 public:
  HRESULT PaintBackground(HDC dc, int part, int state, const RECT* rect,
                          const RECT* clip) override;
};

// "Progress": the bar (part 1) and a chunk (part 3).
class CWuProgressThemeControl final : public CWuThemeControl {
 public:
  HRESULT PaintBackground(HDC dc, int part, int state, const RECT* rect,
                          const RECT* clip) override;
  HRESULT ContentRect(HDC dc, int part, int state, const RECT* bounds, RECT* out) override;
};

// The classic painter of a control class (WUXPTHEME_CONTROL value), or
// null for a class without one and for any value outside 0..16.
CWuThemeControl* WuThemePainter(int control);
