// Classic theme painters: each case against the drawing call it stands for,
// made directly on a second canvas, and the painters' own fills pixel by
// pixel.
#include "shellui/CWuThemeControl.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/WuUIColor.h"
#include "foundation/WuUIFont.h"
#include "imaging/WuPngWrite.h"
#include "platform/kernel/locale.h"
#include "shellui/WuXPTheme.h"
#include "tests/shellui/TestCanvas.h"

namespace {

using wutest::Canvas;
using wutest::kPaper;

constexpr RECT kRect{6, 5, 30, 25};

CWuThemeControl* Painter(int control) {
  CWuThemeControl* p = WuThemePainter(control);
  EXPECT_NE(p, nullptr) << control;
  return p;
}

// ---- Painters that stand for DrawFrameControl ---------------------------------------------

struct FrameCase {
  int control;
  int part;
  int state;
  UINT type;   // DrawFrameControl type the painter must give
  UINT flags;  // and its state flags
};

TEST(ClassicPainters, FrameControlCasesEqualTheDirectCall) {
  std::vector<FrameCase> cases = {
      {WUXPTHEME_BUTTON, 1, 1, DFC_BUTTON, DFCS_BUTTONPUSH},
      {WUXPTHEME_BUTTON, 1, 3, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED},
      {WUXPTHEME_HEADER, 1, 1, DFC_BUTTON, DFCS_BUTTONPUSH},
      {WUXPTHEME_HEADER, 1, 2, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_HOT},
      {WUXPTHEME_HEADER, 1, 3, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED},
      {WUXPTHEME_HEADER, 3, 3, DFC_BUTTON, DFCS_BUTTONPUSH},
      {WUXPTHEME_TRACKBAR, 3, 1, DFC_BUTTON, DFCS_BUTTONPUSH},
      {WUXPTHEME_TRACKBAR, 3, 3, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED},
  };
  // Check boxes: states 1..12.
  const UINT check[12] = {0,     0x1000, 0x200, 0x100, 0x400, 0x1400,
                          0x600, 0x500,  0x8,   0x1008, 0x208, 0x108};
  for (int s = 1; s <= 12; ++s)
    cases.push_back({WUXPTHEME_BUTTON, 3, s, DFC_BUTTON, check[s - 1]});
  // Scroll arrows: four states per direction; hot draws as normal.
  const UINT look[4] = {0, 0, DFCS_PUSHED, DFCS_INACTIVE};
  for (int s = 1; s <= 16; ++s)
    cases.push_back({WUXPTHEME_SCROLLBAR, 1, s, DFC_SCROLL,
                     static_cast<UINT>((s - 1) / 4) | look[(s - 1) % 4]});
  // Any other arrow state: the plain up arrow.
  cases.push_back({WUXPTHEME_SCROLLBAR, 1, 0, DFC_SCROLL, DFCS_SCROLLUP});
  cases.push_back({WUXPTHEME_SCROLLBAR, 1, 21, DFC_SCROLL, DFCS_SCROLLUP});

  for (const FrameCase& c : cases) {
    Canvas painted, direct;
    EXPECT_EQ(Painter(c.control)->PaintBackground(painted.dc(), c.part, c.state, &kRect, nullptr),
              S_OK);
    RECT r = kRect;
    DrawFrameControl(direct.dc(), &r, c.type, c.flags);
    EXPECT_FALSE(direct.Blank());
    EXPECT_TRUE(painted.SameAs(direct))
        << "control " << c.control << " part " << c.part << " state " << c.state;
  }
}

TEST(ClassicPainters, CheckBoxOutOfRangeStatesAndScrollHoverDrawNothingNew) {
  for (int state : {0, 13, -1}) {
    Canvas c;
    EXPECT_EQ(Painter(WUXPTHEME_BUTTON)->PaintBackground(c.dc(), 3, state, &kRect, nullptr), S_OK);
    EXPECT_TRUE(c.Blank()) << state;
  }
  // Down arrow, hot (6) gives the plain down arrow's (5) pixels.
  Canvas hot, plain;
  Painter(WUXPTHEME_SCROLLBAR)->PaintBackground(hot.dc(), 1, 6, &kRect, nullptr);
  Painter(WUXPTHEME_SCROLLBAR)->PaintBackground(plain.dc(), 1, 5, &kRect, nullptr);
  EXPECT_TRUE(hot.SameAs(plain));
}

TEST(ClassicPainters, ComboBoxButtonJoinsTheFieldWithAFaceColumn) {
  for (int state : {1, 3}) {
    Canvas painted, direct;
    EXPECT_EQ(Painter(WUXPTHEME_COMBOBOX)->PaintBackground(painted.dc(), 1, state, &kRect, nullptr),
              S_OK);
    RECT r = kRect;
    DrawFrameControl(direct.dc(), &r, DFC_SCROLL,
                     DFCS_SCROLLCOMBOBOX | (state == 3 ? DFCS_FLAT : 0));
    for (int y = kRect.top; y < kRect.bottom; ++y)
      SetPixel(direct.dc(), kRect.left - 1, y, GetSysColor(COLOR_BTNFACE));
    EXPECT_TRUE(painted.SameAs(direct)) << state;
    EXPECT_EQ(GetBkColor(painted.dc()), RGB(255, 255, 255));
  }
}

// ---- Painters that stand for DrawEdge -----------------------------------------------------

struct EdgeCase {
  int control;
  int part;
  int state;
  RECT edge_rect;  // the rectangle DrawEdge must get
  UINT edge;
  UINT flags;
  const RECT* clip;
};

TEST(ClassicPainters, EdgeCasesEqualTheDirectCall) {
  static const RECT kTall{6, 5, 30, 15};   // height 10: inset trunc(3.33 + 0.5) = 3
  static const RECT kOdd{6, 5, 30, 16};    // height 11: inset trunc(3.67 + 0.5) = 4
  const EdgeCase cases[] = {
      {WUXPTHEME_TOOLBAR, 1, 2, kRect, BDR_RAISEDINNER, BF_RECT, nullptr},
      {WUXPTHEME_TOOLBAR, 3, 3, kRect, BDR_SUNKENOUTER, BF_RECT, nullptr},
      {WUXPTHEME_TREEVIEW, 0, 1, kRect, EDGE_SUNKEN, BF_RECT | BF_MIDDLE, nullptr},
      {WUXPTHEME_SCROLLBAR, 2, 1, kRect, EDGE_RAISED, BF_RECT | BF_MIDDLE, nullptr},
      {WUXPTHEME_SCROLLBAR, 3, 2, kRect, EDGE_RAISED, BF_RECT | BF_MIDDLE, nullptr},
      {WUXPTHEME_SCROLLBAR, 8, 1, {17, 5, 30, 25}, EDGE_ETCHED, BF_LEFT, nullptr},
      {WUXPTHEME_SCROLLBAR, 9, 1, {6, 14, 30, 25}, EDGE_ETCHED, BF_TOP, nullptr},
      {WUXPTHEME_PROGRESS, 1, 1, kRect, EDGE_ETCHED, BF_RECT | BF_MIDDLE, nullptr},
      {WUXPTHEME_TRACKBAR, 1, 1, {6, 8, 30, 12}, BDR_SUNKENOUTER, BF_RECT, &kTall},
      {WUXPTHEME_TRACKBAR, 1, 1, {6, 9, 30, 12}, BDR_SUNKENOUTER, BF_RECT, &kOdd},
  };
  for (const EdgeCase& c : cases) {
    Canvas painted, direct;
    // The trackbar draws in the clip rectangle when there is one.
    EXPECT_EQ(Painter(c.control)->PaintBackground(painted.dc(), c.part, c.state, &kRect, c.clip),
              S_OK);
    RECT r = c.edge_rect;
    DrawEdge(direct.dc(), &r, c.edge, c.flags);
    EXPECT_TRUE(painted.SameAs(direct))
        << "control " << c.control << " part " << c.part << " state " << c.state;
  }
  // Without a clip the trackbar track is inset from the rectangle.
  Canvas painted, direct;
  Painter(WUXPTHEME_TRACKBAR)->PaintBackground(painted.dc(), 1, 1, &kTall, nullptr);
  RECT r{6, 8, 30, 12};
  DrawEdge(direct.dc(), &r, BDR_SUNKENOUTER, BF_RECT);
  EXPECT_TRUE(painted.SameAs(direct));
}

// ---- Toolbar ------------------------------------------------------------------------------

TEST(ClassicPainters, ToolbarCheckedIsPatternFrameAndSunkenEdge) {
  COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  ASSERT_NE(light, face);
  COLORREF ring = WuGetUIColor(15);
  COLORREF first = 0;
  // The pattern starts at the rectangle's origin, wherever that lies.
  for (int shift : {0, 1}) {
    RECT at{kRect.left + shift, kRect.top, kRect.right + shift, kRect.bottom};
    for (int state : {5, 6}) {
      Canvas painted, edge;
      EXPECT_EQ(Painter(WUXPTHEME_TOOLBAR)->PaintBackground(painted.dc(), 1, state, &at, nullptr),
                S_OK);
      RECT r = at;
      DrawEdge(edge.dc(), &r, BDR_SUNKENOUTER, BF_RECT);
      for (int x = at.left; x < at.right; ++x) {
        EXPECT_EQ(painted.At(x, at.top), edge.At(x, at.top));
        EXPECT_EQ(painted.At(x, at.bottom - 1), edge.At(x, at.bottom - 1));
      }
      EXPECT_EQ(painted.At(at.left + 1, at.top + 1), ring);
      EXPECT_EQ(painted.At(at.right - 2, at.bottom - 2), ring);
      // Inside: a checker of highlight and face.
      COLORREF a = painted.At(at.left + 2, at.top + 2);
      COLORREF b = painted.At(at.left + 3, at.top + 2);
      EXPECT_TRUE((a == light && b == face) || (a == face && b == light));
      EXPECT_EQ(painted.At(at.left + 2, at.top + 3), b);
      EXPECT_EQ(painted.At(at.left + 3, at.top + 3), a);
      EXPECT_EQ(painted.At(at.left + 4, at.top + 4), a);
      if (shift == 0 && state == 5) first = a;
      EXPECT_EQ(a, first) << "shift " << shift;
      EXPECT_EQ(GetTextColor(painted.dc()), GetTextColor(edge.dc()));
      EXPECT_EQ(GetBkColor(painted.dc()), GetBkColor(edge.dc()));
      POINT origin{};
      GetBrushOrgEx(painted.dc(), &origin);
      EXPECT_EQ(origin.x, 0);
      EXPECT_EQ(origin.y, 0);
    }
  }
}

TEST(ClassicPainters, ToolbarDropDownArrowRowsAndPressedShift) {
  // Centre of kRect: (18, 15); rows of 5, 3 and 1 pixel from y - 1.
  struct Case {
    int state;
    int shift;
    int color;
  } cases[] = {{1, 0, COLOR_BTNTEXT}, {2, 0, COLOR_BTNTEXT}, {3, 1, COLOR_BTNTEXT},
               {4, 0, COLOR_GRAYTEXT}, {5, 1, COLOR_BTNTEXT}, {6, 1, COLOR_BTNTEXT}};
  for (int part : {2, 4}) {
    for (const Case& c : cases) {
      Canvas painted, expected;
      EXPECT_EQ(Painter(WUXPTHEME_TOOLBAR)->PaintBackground(painted.dc(), part, c.state, &kRect,
                                                            nullptr),
                S_OK);
      // The same button without an arrow, then the arrow's pixels.
      Painter(WUXPTHEME_TOOLBAR)->PaintBackground(expected.dc(), 1, c.state, &kRect, nullptr);
      int x = 18 + c.shift, y = 15 + c.shift;
      COLORREF color = GetSysColor(c.color);
      for (int i = 0; i < 3; ++i)
        for (int dx = -(2 - i); dx <= 2 - i; ++dx) SetPixel(expected.dc(), x + dx, y - 1 + i, color);
      EXPECT_TRUE(painted.SameAs(expected)) << "part " << part << " state " << c.state;
    }
  }
  Canvas c;
  EXPECT_EQ(Painter(WUXPTHEME_TOOLBAR)->PaintBackground(c.dc(), 5 /* not a toolbar part */, 1,
                                                        &kRect, nullptr),
            E_NOTIMPL);
  EXPECT_EQ(Painter(WUXPTHEME_TOOLBAR)->PaintBackground(c.dc(), 1, 1, nullptr, nullptr),
            E_INVALIDARG);
  EXPECT_TRUE(c.Blank());
}

// ---- Header sort arrow --------------------------------------------------------------------

TEST(ClassicPainters, SortArrowPointsDownOrUpAndRefusesOtherStates) {
  COLORREF text = GetSysColor(COLOR_BTNTEXT);
  for (int state : {1, 2}) {
    Canvas painted, expected;
    EXPECT_EQ(Painter(WUXPTHEME_HEADER)->PaintBackground(painted.dc(), 4, state, &kRect, nullptr),
              S_OK);
    // Widths 9, 7, 5, 3, 1 from the top (down) or from the bottom (up).
    for (int i = 0; i < 5; ++i) {
      int y = state == 1 ? 13 + i : 17 - i;
      for (int x = 14 + i; x < 14 + i + 9 - 2 * i; ++x) SetPixel(expected.dc(), x, y, text);
    }
    EXPECT_TRUE(painted.SameAs(expected)) << state;
    EXPECT_EQ(GetBkColor(painted.dc()), RGB(255, 255, 255));
  }
  for (int state : {0, 3}) {
    Canvas c;
    EXPECT_EQ(Painter(WUXPTHEME_HEADER)->PaintBackground(c.dc(), 4, state, &kRect, nullptr),
              E_INVALIDARG);
    EXPECT_TRUE(c.Blank());
  }
}

// ---- Tree-view glyph ----------------------------------------------------------------------

class TreeViewGlyph : public ::testing::Test {
 protected:
  void SetUp() override {
    // Per channel (red, green, blue): a rising, a falling (negative
    // differences, arithmetic shifts) and a flat caption gradient.
    const int indexes[3] = {COLOR_GRADIENTACTIVECAPTION, COLOR_ACTIVECAPTION, COLOR_WINDOW};
    const COLORREF colors[3] = {RGB(0, 200, 128), RGB(255, 0, 128), RGB(255, 0, 128)};
    ASSERT_TRUE(SetSysColors(3, indexes, colors));
  }
  void TearDown() override { platform::ResetSysColors(); }
};

TEST_F(TreeViewGlyph, BorderAndCornerColoursFollowTheMixingRule) {
  // Worked by hand: red 0/255/255 -> q 64, border 193, corner 224; green
  // 200/0/0 -> q 150, border 49, corner 24; blue stays 128.
  const COLORREF border = RGB(193, 49, 128);
  const COLORREF corner = RGB(224, 24, 128);
  COLORREF b = 0, k = 0;
  CWuTreeViewThemeControl::GlyphColors(&b, &k);
  EXPECT_EQ(b, border);
  EXPECT_EQ(k, corner);
  EXPECT_EQ(CWuTreeViewThemeControl::Mix(10, -100000), 0);
  EXPECT_EQ(CWuTreeViewThemeControl::Mix(250, 100000), 255);

  const RECT box{2, 2, 11, 11};  // 9 x 9
  COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
  for (int state : {1, 2}) {
    Canvas c;
    EXPECT_EQ(Painter(WUXPTHEME_TREEVIEW)->PaintBackground(c.dc(), 2, state, &box, nullptr), S_OK);
    for (POINT p : {POINT{2, 2}, POINT{10, 2}, POINT{2, 10}, POINT{10, 10}})
      EXPECT_EQ(c.At(p.x, p.y), corner);
    for (POINT p : {POINT{2, 3}, POINT{2, 9}, POINT{10, 6}, POINT{3, 2}, POINT{9, 10}})
      EXPECT_EQ(c.At(p.x, p.y), border);
    // The minus sign: row top + 4 from left + 2, 5 wide.
    for (int x = 4; x < 9; ++x) EXPECT_EQ(c.At(x, 6), ink);
    EXPECT_EQ(c.At(3, 6), kPaper);
    EXPECT_EQ(c.At(9, 6), kPaper);
    // The bar of the plus only while closed (state 1).
    for (int y = 4; y < 9; ++y) {
      if (y == 6) continue;
      EXPECT_EQ(c.At(6, y), state == 1 ? ink : kPaper) << y;
    }
    EXPECT_EQ(c.At(6, 3), kPaper);
    EXPECT_EQ(c.At(3, 3), kPaper);
    EXPECT_EQ(c.Count(corner), 4);
    EXPECT_EQ(c.Count(border), 28);
  }
  Canvas c;
  EXPECT_EQ(Painter(WUXPTHEME_TREEVIEW)->PaintBackground(c.dc(), 1, 1, &box, nullptr), E_NOTIMPL);
  EXPECT_TRUE(c.Blank());
}

// ---- Scroll-bar tracks and progress chunks ------------------------------------------------

TEST(ClassicPainters, ScrollTrackIsTheCheckerAndLeavesTheDcAsItWas) {
  COLORREF track = GetSysColor(COLOR_SCROLLBAR);
  COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  ASSERT_NE(track, light);
  for (int part = 4; part <= 7; ++part) {
    Canvas c;
    SetTextColor(c.dc(), RGB(9, 9, 9));
    EXPECT_EQ(Painter(WUXPTHEME_SCROLLBAR)->PaintBackground(c.dc(), part, 1, &kRect, nullptr),
              S_OK);
    COLORREF a = c.At(10, 10), b = c.At(11, 10);
    EXPECT_TRUE((a == track && b == light) || (a == light && b == track));
    EXPECT_EQ(c.At(10, 11), b);
    EXPECT_EQ(c.Count(track) + c.Count(light), 24 * 20);
    EXPECT_EQ(GetTextColor(c.dc()), RGB(9, 9, 9));
    EXPECT_EQ(GetBkColor(c.dc()), RGB(255, 255, 255));
  }
}

TEST(ClassicPainters, ProgressChunkFillsOnlyItsClip) {
  Canvas none;
  EXPECT_EQ(Painter(WUXPTHEME_PROGRESS)->PaintBackground(none.dc(), 3, 1, &kRect, nullptr), S_OK);
  EXPECT_TRUE(none.Blank());
  Canvas c;
  const RECT clip{8, 6, 12, 20};
  EXPECT_EQ(Painter(WUXPTHEME_PROGRESS)->PaintBackground(c.dc(), 3, 1, &kRect, &clip), S_OK);
  EXPECT_EQ(c.Count(GetSysColor(COLOR_HIGHLIGHT)), 4 * 14);
  EXPECT_EQ(c.At(8, 6), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(c.At(12, 6), kPaper);
  // Other parts draw nothing and still succeed.
  Canvas other;
  EXPECT_EQ(Painter(WUXPTHEME_PROGRESS)->PaintBackground(other.dc(), 2, 1, &kRect, &clip), S_OK);
  EXPECT_TRUE(other.Blank());
}

// ---- Which class overrides what -----------------------------------------------------------

// The base painter on its own.
class BasePainter final : public CWuThemeControl {};

TEST(ClassicPainters, OverrideMatrix) {
  constexpr HRESULT NI = E_NOTIMPL;
  constexpr RECT kBounds{10, 10, 40, 30};
  struct Row {
    const char* name;
    CWuThemeControl* painter;
    HRESULT background, text, icon;
    RECT content;  // ContentRect of kBounds, part 1
    RECT extent;   // ExtentRect of kBounds, part 1
    BOOL transparent;
  };
  static BasePainter base;
  const RECT same = kBounds;
  const Row rows[] = {
      {"base", &base, NI, NI, NI, same, same, FALSE},
      {"toolbar", WuThemePainter(3), S_OK, S_OK, S_OK, same, same, TRUE},
      {"header", WuThemePainter(6), S_OK, S_OK, NI, same, same, FALSE},
      {"treeview", WuThemePainter(11), NI, NI, NI, same, same, FALSE},
      {"scrollbar", WuThemePainter(13), S_OK, NI, S_OK, same, same, FALSE},
      {"combobox", WuThemePainter(15), S_OK, NI, NI, same, same, FALSE},
      {"trackbar", WuThemePainter(9), S_OK, NI, NI, same, same, FALSE},
      {"progress", WuThemePainter(7), S_OK, NI, NI, {11, 11, 39, 29}, same, FALSE},
      {"button", WuThemePainter(1), S_OK, S_OK, S_OK, {14, 14, 36, 26}, {6, 6, 44, 34}, FALSE},
  };
  HIMAGELIST list = ImageList_Create(2, 2, ILC_COLOR32, 1, 1);
  Canvas image(2, 2);
  HBITMAP bitmap = CreateCompatibleBitmap(image.dc(), 2, 2);
  ASSERT_EQ(ImageList_Add(list, bitmap, nullptr), 0);
  for (const Row& row : rows) {
    ASSERT_NE(row.painter, nullptr) << row.name;
    Canvas c;
    EXPECT_EQ(row.painter->PaintBackground(c.dc(), 1, 1, &kBounds, nullptr), row.background)
        << row.name;
    EXPECT_EQ(row.painter->PaintText(c.dc(), 1, 1, u"Ab", -1, 0, 0, &kBounds), row.text)
        << row.name;
    EXPECT_EQ(row.painter->PaintIcon(c.dc(), 1, 1, &kBounds, list, 0), row.icon) << row.name;
    RECT out{};
    EXPECT_EQ(row.painter->ContentRect(c.dc(), 1, 1, &kBounds, &out), S_OK) << row.name;
    EXPECT_TRUE(EqualRect(&out, &row.content)) << row.name;
    EXPECT_EQ(row.painter->ExtentRect(c.dc(), 1, 1, &kBounds, &out), S_OK) << row.name;
    EXPECT_TRUE(EqualRect(&out, &row.extent)) << row.name;
    EXPECT_EQ(row.painter->IsPartiallyTransparent(1, 1), row.transparent) << row.name;
    EXPECT_EQ(row.painter->TextExtent(c.dc(), 1, 1, u"Ab", -1, 0, nullptr, &out), S_OK)
        << row.name;
    // Null outputs are refused, never written.
    EXPECT_EQ(row.painter->ContentRect(c.dc(), 1, 1, &kBounds, nullptr), E_INVALIDARG);
    EXPECT_EQ(row.painter->ExtentRect(c.dc(), 1, 1, nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(row.painter->TextExtent(c.dc(), 1, 1, u"Ab", -1, 0, nullptr, nullptr),
              E_INVALIDARG);
  }
  // The button's rectangles are its push button's only.
  RECT out{};
  EXPECT_EQ(WuThemePainter(1)->ContentRect(nullptr, 3, 1, &kBounds, &out), NI);
  EXPECT_EQ(WuThemePainter(1)->ExtentRect(nullptr, 3, 1, &kBounds, &out), NI);
  // The table: eight painters, none elsewhere and none outside 0..16.
  int painters = 0;
  for (int i = -2; i < 20; ++i) painters += WuThemePainter(i) != nullptr;
  EXPECT_EQ(painters, 8);
  DeleteObject(bitmap);
  ImageList_Destroy(list);
}

TEST(ClassicPainters, TextExtentMeasuresInUiFont100) {
  HFONT font = WuGetUIFont(WUFONT_DIALOG);
  SIZE size{};
  ASSERT_TRUE(WuGetTextExtent(font, u"Hello", 5, &size));
  ASSERT_GT(size.cx, 0);
  Canvas c;
  RECT out{};
  for (int count : {-1, 0, 5}) {
    EXPECT_EQ(WuThemePainter(1)->TextExtent(c.dc(), 1, 1, u"Hello", count, 0, nullptr, &out), S_OK);
    EXPECT_EQ(out.left, 0);
    EXPECT_EQ(out.top, 0);
    EXPECT_EQ(out.right, size.cx) << count;
    EXPECT_EQ(out.bottom, size.cy);
  }
  // A null text measures nothing.
  EXPECT_EQ(WuThemePainter(1)->TextExtent(c.dc(), 1, 1, nullptr, -1, 0, nullptr, &out), S_OK);
  EXPECT_EQ(out.right, 0);
  // With a bound: DrawTextW's DT_CALCRECT from it in the font; the DC's font
  // is given back.
  HGDIOBJ before = GetCurrentObject(c.dc(), OBJ_FONT);
  const RECT bound{5, 7, 500, 100};
  EXPECT_EQ(WuThemePainter(1)->TextExtent(c.dc(), 1, 1, u"Hello", -1, DT_LEFT, &bound, &out), S_OK);
  EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_FONT), before);
  EXPECT_EQ(out.left, 5);
  EXPECT_EQ(out.top, 7);
  EXPECT_EQ(out.right, 5 + size.cx);
  EXPECT_EQ(out.bottom, 7 + size.cy);
}

// ---- Text and icons -----------------------------------------------------------------------

TEST(ClassicPainters, ButtonTextGreysWithShadowWhenDisabledOrGreyed) {
  struct Case {
    int state;
    DWORD flags2;
    bool grey;
  } cases[] = {{1, 0, false}, {4, 0, true}, {1, DTT_GRAYED, true}};
  const RECT at{4, 4, 44, 30};
  for (const Case& k : cases) {
    Canvas painted, direct;
    HFONT font = WuGetUIFont(WUFONT_DIALOG);
    SelectObject(painted.dc(), font);
    SelectObject(direct.dc(), font);
    SetTextColor(painted.dc(), RGB(7, 7, 7));
    EXPECT_EQ(WuThemePainter(1)->PaintText(painted.dc(), 1, k.state, u"Ok", -1, 0, k.flags2, &at),
              S_OK);
    SetBkMode(direct.dc(), TRANSPARENT);
    WCHAR text[] = u"Ok";
    if (k.grey) {
      RECT shadow{5, 5, 45, 31};
      SetTextColor(direct.dc(), GetSysColor(COLOR_BTNHIGHLIGHT));
      DrawTextExW(direct.dc(), text, 2, &shadow, 0, nullptr);
    }
    RECT r = at;
    SetTextColor(direct.dc(), GetSysColor(k.grey ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    DrawTextExW(direct.dc(), text, 2, &r, 0, nullptr);
    EXPECT_FALSE(direct.Blank());
    EXPECT_TRUE(painted.SameAs(direct)) << k.state << " " << k.flags2;
    EXPECT_EQ(GetTextColor(painted.dc()), RGB(7, 7, 7));
    EXPECT_EQ(GetBkMode(painted.dc()), OPAQUE);
  }
  Canvas c;
  EXPECT_EQ(WuThemePainter(1)->PaintText(c.dc(), 1, 1, nullptr, -1, 0, 0, &at), S_OK);
  EXPECT_EQ(WuThemePainter(1)->PaintText(c.dc(), 1, 1, u"Ok", -1, 0, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(WuThemePainter(1)->PaintText(c.dc(), 2, 1, u"Ok", -1, 0, 0, &at), E_NOTIMPL);
  EXPECT_TRUE(c.Blank());
}

TEST(ClassicPainters, IconsAsTheImageListCalls) {
  // A masked 2x2 image with a transparent top-left pixel.
  HIMAGELIST list = ImageList_Create(2, 2, ILC_COLOR32 | ILC_MASK, 1, 1);
  {
    Canvas source(2, 2);
    SetPixel(source.dc(), 0, 0, RGB(255, 0, 255));
    SetPixel(source.dc(), 1, 0, RGB(200, 0, 0));
    SetPixel(source.dc(), 0, 1, RGB(200, 0, 0));
    SetPixel(source.dc(), 1, 1, RGB(200, 0, 0));
    HBITMAP strip = CreateCompatibleBitmap(source.dc(), 2, 2);
    HDC copy = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(copy, strip);
    BitBlt(copy, 0, 0, 2, 2, source.dc(), 0, 0, SRCCOPY);
    SelectObject(copy, old);
    DeleteDC(copy);
    ASSERT_EQ(ImageList_AddMasked(list, strip, RGB(255, 0, 255)), 0);
    DeleteObject(strip);
  }
  const RECT at{3, 4, 20, 20};
  // Button: over the face colour.
  Canvas button;
  EXPECT_EQ(WuThemePainter(1)->PaintIcon(button.dc(), 1, 1, &at, list, 0), S_OK);
  EXPECT_EQ(button.At(3, 4), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(button.At(4, 4), RGB(200, 0, 0));
  // Toolbar: as drawn; scroll bar: one pixel down and right while pressed.
  struct Case {
    int control, state, d;
  } cases[] = {{3, 1, 0}, {13, 1, 0}, {13, 3, 1}};
  for (const Case& k : cases) {
    Canvas painted, direct;
    EXPECT_EQ(WuThemePainter(k.control)->PaintIcon(painted.dc(), 1, k.state, &at, list, 0), S_OK);
    ImageList_Draw(list, 0, direct.dc(), 3 + k.d, 4 + k.d, ILD_TRANSPARENT);
    EXPECT_TRUE(painted.SameAs(direct)) << k.control << " " << k.state;
  }
  ImageList_Destroy(list);
}

// ---- A picture of every part and state ----------------------------------------------------

TEST(ClassicPainters, SheetOfAllPartsAndStatesForPeople) {
  struct Row {
    int control;
    int part;
    int states;  // states 1..states (0 also drawn for the tree-view border)
    int first;
  } rows[] = {
      {WUXPTHEME_BUTTON, 1, 5, 1},   {WUXPTHEME_BUTTON, 3, 12, 1},
      {WUXPTHEME_TOOLBAR, 1, 6, 1},  {WUXPTHEME_TOOLBAR, 2, 6, 1},
      {WUXPTHEME_TOOLBAR, 3, 6, 1},  {WUXPTHEME_TOOLBAR, 4, 6, 1},
      {WUXPTHEME_HEADER, 1, 3, 1},   {WUXPTHEME_HEADER, 3, 1, 1},
      {WUXPTHEME_HEADER, 4, 2, 1},   {WUXPTHEME_TREEVIEW, 0, 1, 1},
      {WUXPTHEME_TREEVIEW, 2, 2, 1}, {WUXPTHEME_SCROLLBAR, 1, 20, 1},
      {WUXPTHEME_SCROLLBAR, 2, 4, 1}, {WUXPTHEME_SCROLLBAR, 3, 4, 1},
      {WUXPTHEME_SCROLLBAR, 4, 4, 1}, {WUXPTHEME_SCROLLBAR, 8, 1, 1},
      {WUXPTHEME_SCROLLBAR, 9, 1, 1}, {WUXPTHEME_COMBOBOX, 1, 4, 1},
      {WUXPTHEME_TRACKBAR, 1, 1, 1}, {WUXPTHEME_TRACKBAR, 3, 5, 1},
      {WUXPTHEME_PROGRESS, 1, 1, 1}, {WUXPTHEME_PROGRESS, 3, 1, 1},
  };
  constexpr int kCell = 22;
  const int width = 20 * kCell + 4;
  const int height = static_cast<int>(std::size(rows)) * kCell + 4;
  Canvas sheet(width, height);
  RECT all{0, 0, width, height};
  FillRect(sheet.dc(), &all, GetSysColorBrush(COLOR_BTNFACE));
  int y = 2;
  for (const Row& row : rows) {
    for (int s = row.first; s < row.first + row.states; ++s) {
      int x = 2 + (s - row.first) * kCell;
      RECT cell{x + 2, y + 2, x + kCell - 2, y + kCell - 2};
      if (row.control == WUXPTHEME_TREEVIEW && row.part == 2) cell = {x + 6, y + 6, x + 15, y + 15};
      WuThemePainter(row.control)->PaintBackground(sheet.dc(), row.part, s, &cell, &cell);
    }
    y += kCell;
  }
  std::u16string path =
      platform::ToUtf16(std::string(WU_SHELLUI_PICTURES_DIR) + "/theme_painters.png");
  // The file takes the rows bottom first.
  std::vector<uint32_t> rows_up(static_cast<size_t>(width) * static_cast<size_t>(height));
  const auto* top_down = static_cast<const uint32_t*>(sheet.bits());
  for (int r = 0; r < height; ++r)
    std::memcpy(&rows_up[static_cast<size_t>(height - 1 - r) * static_cast<size_t>(width)],
                top_down + static_cast<size_t>(r) * static_cast<size_t>(width),
                static_cast<size_t>(width) * 4);
  // The fourth byte becomes the file's alpha: opaque.
  for (uint32_t& pixel : rows_up) pixel |= 0xFF000000u;
  WUPNGFILEOPTIONS options{28, 0};
  BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  EXPECT_EQ(WuSaveDiskPngDib(path.c_str(), &header, rows_up.data(), &options), S_OK);
}

}  // namespace
