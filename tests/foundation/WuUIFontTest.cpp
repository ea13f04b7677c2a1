// UI fonts, standard glyphs and 3-D edges.
#include "foundation/WuUIFont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "foundation/WuUIColor.h"
#include "foundation/WuUIGlyph.h"
#include "platform/kernel/cpu.h"
#include "platform/gdi/gdi.h"
#include "platform/user/windows.h"

namespace {

class UIFontTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override {
    Reset();
    EXPECT_EQ(platform::GdiObjectCount(), 0u);
  }
  static void Reset() {
    WuKernel_ReleaseUIObjects();
    WuKernel_ResetUIColors(FALSE);
    platform::ResetSystemModel();
    platform::ResetUiFont();
    platform::ResetSysColors();
    WuSetDisabledGlyphGrey(TRUE);
  }
  static LOGFONTW FontOf(HFONT font) {
    LOGFONTW lf = {};
    EXPECT_EQ(GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    return lf;
  }
  static int Dpi() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
  }
};

TEST_F(UIFontTest, LibraryKindsAreCachedWithTheirDescriptions) {
  LONG gui_height = 0;
  int fixed_points = 0;
  ASSERT_TRUE(WuGetStockFontInfo(DEFAULT_GUI_FONT, nullptr, 0, &gui_height, nullptr));
  ASSERT_TRUE(WuGetStockFontInfo(ANSI_FIXED_FONT, nullptr, 0, nullptr, &fixed_points));
  EXPECT_LT(gui_height, 0);

  HFONT dialog = WuGetUIFont(WUFONT_DIALOG);
  EXPECT_EQ(WuGetUIFont(WUFONT_DIALOG), dialog);
  LOGFONTW lf = FontOf(dialog);
  EXPECT_EQ(std::u16string(lf.lfFaceName), u"MS Shell Dlg 2");
  EXPECT_EQ(lf.lfHeight, gui_height);
  EXPECT_EQ(lf.lfWeight, FW_NORMAL);
  EXPECT_EQ(lf.lfPitchAndFamily, 0x22);
  EXPECT_EQ(lf.lfOutPrecision, OUT_TT_ONLY_PRECIS);
  EXPECT_EQ(lf.lfCharSet, WuGetUIFontCharset());

  EXPECT_EQ(FontOf(WuGetUIFont(WUFONT_DIALOG_BOLD)).lfWeight, FW_BOLD);
  LOGFONTW italic = FontOf(WuGetUIFont(WUFONT_GUI_ITALIC_BOLD));
  EXPECT_TRUE(italic.lfItalic);
  EXPECT_EQ(italic.lfWeight, FW_BOLD);
  EXPECT_EQ(italic.lfQuality, PROOF_QUALITY);
  EXPECT_EQ(italic.lfOutPrecision, OUT_DEFAULT_PRECIS);

  LOGFONTW fixed = FontOf(WuGetUIFont(WUFONT_FIXED));
  EXPECT_EQ(std::u16string(fixed.lfFaceName), u"Courier New");
  EXPECT_EQ(fixed.lfHeight, MulDiv(-(fixed_points - 1), Dpi(), 72));
  EXPECT_EQ(FontOf(WuGetUIFont(WUFONT_FIXED_SMALL)).lfHeight,
            MulDiv(-(fixed_points - 2), Dpi(), 72));
  EXPECT_EQ(FontOf(WuGetUIFont(WUFONT_TITLE)).lfHeight, MulDiv(-16, Dpi(), 72));
  LOGFONTW console = FontOf(WuGetUIFont(WUFONT_CONSOLE));
  EXPECT_EQ(std::u16string(console.lfFaceName), u"Consolas");
  EXPECT_EQ(console.lfHeight, MulDiv(-10, Dpi(), 72));
  EXPECT_EQ(console.lfWeight, FW_MEDIUM);
}

TEST_F(UIFontTest, SystemFontKindsFollowTheNonClientMetrics) {
  LOGFONTW ui = {};
  ui.lfHeight = -15;
  ui.lfWeight = FW_BOLD;
  std::u16string face = u"Test Sans";
  face.copy(ui.lfFaceName, face.size());
  platform::SetUiFont(ui);
  for (int kind = WUFONT_CAPTION; kind <= WUFONT_ICON_TITLE; ++kind) {
    LOGFONTW lf = FontOf(WuGetUIFont(kind));
    EXPECT_EQ(lf.lfHeight, -15) << kind;
    EXPECT_EQ(std::u16string(lf.lfFaceName), face) << kind;
  }
  EXPECT_EQ(FontOf(WuGetUIFont(WUFONT_ICON_TITLE_BOLD)).lfWeight, 800);  // already bold
  WuKernel_ResetUIFonts();
  platform::ResetUiFont();
  EXPECT_EQ(FontOf(WuGetUIFont(WUFONT_ICON_TITLE_BOLD)).lfWeight, FW_BOLD);
}

TEST_F(UIFontTest, OlderPlatformsUseTheOlderDialogFace) {
  platform::SystemModel m;
  m.major = 5;
  m.minor = 0;
  platform::SetSystemModel(m);
  LOGFONTW lf = FontOf(WuGetUIFont(WUFONT_DIALOG));
  EXPECT_EQ(std::u16string(lf.lfFaceName), u"MS Shell Dlg");
  EXPECT_EQ(lf.lfOutPrecision, OUT_TT_PRECIS);
  EXPECT_EQ(lf.lfQuality, PROOF_QUALITY);
}

TEST_F(UIFontTest, StockKindsAreFreshCopiesAndOthersTheGuiFont) {
  HFONT a = WuGetUIFont(ANSI_FIXED_FONT);
  HFONT b = WuGetUIFont(ANSI_FIXED_FONT);
  EXPECT_NE(a, b);
  EXPECT_NE(a, GetStockObject(ANSI_FIXED_FONT));
  EXPECT_EQ(platform::GdiObjectCount(platform::GdiKind::kFont), 2u);
  DeleteObject(a);  // the copies belong to the caller
  DeleteObject(b);
  HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
  for (int kind : {0, 9, 15, 101, 148, -1}) EXPECT_EQ(WuGetUIFont(kind), gui) << kind;
}

TEST_F(UIFontTest, SizesAreMeasuredOnceAndResetWithTheFonts) {
  EXPECT_EQ(WuGetUIFontSize(18), nullptr);
  EXPECT_EQ(WuGetUIFontSize(99), nullptr);
  EXPECT_EQ(WuGetUIFontSize(148), nullptr);
  const SIZE* size = WuGetUIFontSize(WUFONT_TITLE);
  ASSERT_NE(size, nullptr);
  SIZE expected = {};
  ASSERT_TRUE(WuGetFontSize(WuGetUIFont(WUFONT_TITLE), &expected));
  EXPECT_EQ(size->cx, expected.cx);
  EXPECT_EQ(size->cy, expected.cy);
  const SIZE* small = WuGetUIFontSize(WUFONT_DIALOG_SMALL);
  EXPECT_GT(size->cy, small->cy);  // 16 points against the small dialog font
  ASSERT_NE(WuGetUIFontSize(SYSTEM_FONT), nullptr);
  EXPECT_GT(WuGetUIFontSize(SYSTEM_FONT)->cx, 0);
  EXPECT_EQ(platform::GdiObjectCount(platform::GdiKind::kFont), 2u);  // no stock copies kept

  WuKernel_ResetUIFonts();
  EXPECT_EQ(platform::GdiObjectCount(platform::GdiKind::kFont), 0u);
  EXPECT_EQ(WuGetUIFontSize(WUFONT_TITLE)->cy, expected.cy);  // measured again
}

TEST_F(UIFontTest, TextExtentMeasuresWholeStringsForCountsBelowOne) {
  HFONT font = WuGetUIFont(WUFONT_DIALOG);
  SIZE whole = {}, zero = {}, negative = {}, two = {};
  ASSERT_TRUE(WuGetTextExtent(font, u"Hello", 5, &whole));
  ASSERT_TRUE(WuGetTextExtent(font, u"Hello", 0, &zero));
  ASSERT_TRUE(WuGetTextExtent(font, u"Hello", -1, &negative));
  ASSERT_TRUE(WuGetTextExtent(font, u"Hello", 2, &two));
  EXPECT_EQ(zero.cx, whole.cx);
  EXPECT_EQ(negative.cx, whole.cx);
  EXPECT_LT(two.cx, whole.cx);
  EXPECT_FALSE(WuGetTextExtent(font, nullptr, 0, &whole));
}

// ---- Glyphs and edges ----

// A 32 x 32 colour surface filled with one colour.
class Canvas {
 public:
  explicit Canvas(COLORREF fill, int size = 32) : size_(size) {
    dc_ = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(screen, size, size);
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT all = {0, 0, size, size};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  // Bounding box of the pixels of one colour (empty when there are none).
  RECT Box(COLORREF color) const {
    RECT box = {size_, size_, -1, -1};
    for (int y = 0; y < size_; ++y)
      for (int x = 0; x < size_; ++x)
        if (At(x, y) == color) {
          box.left = std::min<LONG>(box.left, x);
          box.top = std::min<LONG>(box.top, y);
          box.right = std::max<LONG>(box.right, x + 1);
          box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    return box;
  }
  int CountColumn(int x, COLORREF color) const {
    int n = 0;
    for (int y = 0; y < size_; ++y) n += At(x, y) == color;
    return n;
  }
  int CountRow(int y, COLORREF color) const {
    int n = 0;
    for (int x = 0; x < size_; ++x) n += At(x, y) == color;
    return n;
  }

 private:
  int size_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

constexpr COLORREF kInk = 0x000000;
constexpr COLORREF kPaper = 0xFFFFFF;

TEST_F(UIFontTest, GlyphsPointTheRightWay) {
  struct Case {
    int index;
    bool horizontal;    // compare the first and last column (else row)
    bool narrow_first;  // the first column/row holds fewer pixels
  };
  const Case kCases[] = {
      {WUGLYPH_LEFT, true, true},          {WUGLYPH_RIGHT, true, false},
      {WUGLYPH_UP, false, true},           {WUGLYPH_DOWN, false, false},
      {WUGLYPH_SMALL_DOWN, false, false},  {WUGLYPH_SIZE_GRIP, true, true},
  };
  POINT centre = {16, 16};
  for (const Case& c : kCases) {
    Canvas canvas(kPaper);
    ASSERT_TRUE(WuDrawStandardUIGlyph(canvas.dc(), &centre, nullptr, c.index, 0, kInk, kPaper));
    RECT box = canvas.Box(kInk);
    ASSERT_LT(box.left, box.right) << c.index;
    int first = c.horizontal ? canvas.CountColumn(box.left, kInk) : canvas.CountRow(box.top, kInk);
    int last = c.horizontal ? canvas.CountColumn(box.right - 1, kInk)
                            : canvas.CountRow(box.bottom - 1, kInk);
    EXPECT_EQ(first < last, c.narrow_first) << c.index;
    EXPECT_NE(first, last) << c.index;
  }
}

TEST_F(UIFontTest, GlyphsAreCentredShiftedAndKeptInsideTheRectangle) {
  POINT centre = {16, 16};
  Canvas plain(kPaper), pushed(kPaper);
  ASSERT_TRUE(WuDrawStandardUIGlyph(plain.dc(), &centre, nullptr, WUGLYPH_PLUS, 0, kInk, kPaper));
  ASSERT_TRUE(WuDrawStandardUIGlyph(pushed.dc(), &centre, nullptr, WUGLYPH_PLUS, WUGLYPH_PUSHED,
                                    kInk, kPaper));
  RECT a = plain.Box(kInk), b = pushed.Box(kInk);
  EXPECT_EQ(a.right - a.left, 6);  // a plus 6 pixels wide
  EXPECT_LE(std::abs((a.left + a.right) - 2 * centre.x), 1);
  EXPECT_LE(std::abs((a.top + a.bottom) - 2 * centre.y), 1);
  EXPECT_EQ(b.left, a.left + 1);
  EXPECT_EQ(b.top, a.top + 1);

  // Centred on a rectangle when no point is given.
  RECT rect = {4, 4, 28, 28};
  Canvas on_rect(kPaper);
  ASSERT_TRUE(WuDrawStandardUIGlyph(on_rect.dc(), nullptr, &rect, WUGLYPH_PLUS, 0, kInk, kPaper));
  RECT c = on_rect.Box(kInk);
  EXPECT_EQ(c.left, a.left);
  EXPECT_EQ(c.top, a.top);

  // A point left of and above a small rectangle: the glyph starts at its
  // corner and is cut to its size.
  RECT small = {10, 10, 14, 14};
  POINT outside = {2, 2};
  Canvas clamped(0x00FF00);
  ASSERT_TRUE(WuDrawStandardUIGlyph(clamped.dc(), &outside, &small, WUGLYPH_MINUS, 0, kInk,
                                    kPaper));
  RECT d = clamped.Box(kPaper);
  EXPECT_EQ(d.left, 10);
  EXPECT_EQ(d.top, 10);
  EXPECT_EQ(d.right, 14);
  EXPECT_EQ(d.bottom, 14);

  EXPECT_FALSE(WuBltStandardUIGlyph(plain.dc(), &centre, nullptr, WUGLYPH_COUNT, 0));
  EXPECT_FALSE(WuBltStandardUIGlyph(plain.dc(), &centre, nullptr, -1, 0));
  EXPECT_FALSE(WuBltStandardUIGlyph(plain.dc(), nullptr, nullptr, WUGLYPH_PLUS, 0));
}

TEST_F(UIFontTest, SolidTrianglesShowAsChevronsOnVersions51And52) {
  POINT centre = {16, 16};
  Canvas chevron(kPaper);
  ASSERT_TRUE(WuDrawStandardUIGlyph(chevron.dc(), &centre, nullptr, WUGLYPH_CHEVRON_LEFT, 0,
                                    kInk, kPaper));
  platform::SystemModel m;
  m.major = 5;
  m.minor = 1;
  platform::SetSystemModel(m);
  Canvas left(kPaper);
  ASSERT_TRUE(WuDrawStandardUIGlyph(left.dc(), &centre, nullptr, WUGLYPH_LEFT, 0, kInk, kPaper));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(left.At(x, y), chevron.At(x, y)) << x << "," << y;
}

TEST_F(UIFontTest, TransparentBrushAndDisabledGlyphsKeepTheBackground) {
  const COLORREF ground = 0x00FF00;
  POINT centre = {16, 16};
  {  // Transparent: only the glyph's pixels change.
    Canvas canvas(ground);
    ASSERT_TRUE(WuDrawStandardUIGlyph(canvas.dc(), &centre, nullptr, WUGLYPH_PLUS,
                                      WUGLYPH_TRANSPARENT, kInk, kPaper));
    EXPECT_EQ(canvas.Box(kPaper).right, -1);
    EXPECT_EQ(canvas.Box(kInk).right - canvas.Box(kInk).left, 6);
  }
  {  // Through the DC brush: the foreground where the glyph is set, and the
     // DC's colours come back.
    Canvas canvas(ground);
    SetTextColor(canvas.dc(), 0x111111);
    SetBkColor(canvas.dc(), 0x222222);
    ASSERT_TRUE(WuDrawStandardUIGlyph(canvas.dc(), &centre, nullptr, WUGLYPH_PLUS, WUGLYPH_BRUSH,
                                      0xFF0000, kPaper));
    EXPECT_EQ(canvas.Box(0xFF0000).right - canvas.Box(0xFF0000).left, 6);
    EXPECT_EQ(canvas.CountRow(0, ground), 32);
    EXPECT_EQ(GetTextColor(canvas.dc()), 0x111111u);
    EXPECT_EQ(GetBkColor(canvas.dc()), 0x222222u);
  }
  {  // Disabled: the highlight one pixel right and down, the grey over it.
    Canvas canvas(ground);
    ASSERT_TRUE(WuDrawStandardUIGlyph(canvas.dc(), &centre, nullptr, WUGLYPH_MINUS,
                                      WUGLYPH_DISABLED, kInk, kPaper));
    RECT grey = canvas.Box(GetSysColor(COLOR_GRAYTEXT));
    RECT light = canvas.Box(GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(light.right, grey.right + 1);
    EXPECT_EQ(light.bottom, grey.bottom + 1);
    EXPECT_EQ(canvas.Box(kInk).right, -1);
    EXPECT_EQ(canvas.CountRow(0, ground), 32);
  }
  {  // Without the grey pass only the shifted highlight is drawn.
    WuSetDisabledGlyphGrey(FALSE);
    Canvas canvas(ground);
    ASSERT_TRUE(WuDrawStandardUIGlyph(canvas.dc(), &centre, nullptr, WUGLYPH_MINUS,
                                      WUGLYPH_DISABLED, kInk, kPaper));
    EXPECT_EQ(canvas.Box(GetSysColor(COLOR_GRAYTEXT)).right, -1);
    EXPECT_GT(canvas.Box(GetSysColor(COLOR_BTNHIGHLIGHT)).right, 0);
  }
}

TEST_F(UIFontTest, EdgesPutEachColourOnItsSide) {
  struct Set {
    UINT flags;
    COLORREF highlight, shadow, light, dark, face;
  };
  ASSERT_TRUE(WuSetUIColor(COLOR_3DLIGHT, 0x0A0A0A));  // the UI set sees overrides
  const Set kSets[] = {
      {WUEDGE_COLORS_WARM | WUEDGE_COLORS_UI, 0xBE7DFF, 0x6500CA, 0x7700EE, 0x480091, 0x8000FF},
      {WUEDGE_COLORS_WARM, 0x7BBDFF, 0x006BD7, 0x0078F0, 0x00478E, 0x0080FF},
      {WUEDGE_COLORS_UI, GetSysColor(20), GetSysColor(16), 0x0A0A0A, GetSysColor(21),
       GetSysColor(15)},
      {0, GetSysColor(20), GetSysColor(16), GetSysColor(22), GetSysColor(21), GetSysColor(15)},
  };
  for (const Set& s : kSets) {
    Canvas canvas(0x123456, 10);
    SetDCBrushColor(canvas.dc(), 0x0F0F0F);
    RECT r = {0, 0, 10, 10};
    const UINT flags = BF_RECT | BF_MIDDLE | BF_ADJUST | s.flags;
    ASSERT_TRUE(WuDrawEdge(canvas.dc(), &r, EDGE_RAISED, flags));
    EXPECT_EQ(canvas.At(0, 5), s.light) << std::hex << s.flags;      // outer left
    EXPECT_EQ(canvas.At(5, 9), s.dark) << std::hex << s.flags;       // outer bottom
    EXPECT_EQ(canvas.At(1, 5), s.highlight) << std::hex << s.flags;  // inner left
    EXPECT_EQ(canvas.At(8, 5), s.shadow) << std::hex << s.flags;     // inner right
    EXPECT_EQ(canvas.At(5, 5), s.face) << std::hex << s.flags;       // middle
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.bottom, 8);
    EXPECT_EQ(GetDCBrushColor(canvas.dc()), 0x0F0F0Fu);
  }
  // Sunken the other way round.
  Canvas sunk(0x123456, 10);
  RECT r = {0, 0, 10, 10};
  ASSERT_TRUE(WuDrawEdge(sunk.dc(), &r, EDGE_SUNKEN, BF_RECT | WUEDGE_COLORS_WARM));
  EXPECT_EQ(sunk.At(5, 0), 0x006BD7u);  // outer top: shadow
  EXPECT_EQ(sunk.At(9, 5), 0x7BBDFFu);  // outer right: highlight
  EXPECT_EQ(sunk.At(5, 1), 0x00478Eu);  // inner top: dark shadow
  EXPECT_EQ(sunk.At(5, 5), 0x123456u);  // no middle asked
  EXPECT_EQ(r.left, 0);                 // no adjustment asked
}

TEST_F(UIFontTest, EdgeRefusalsDrawWhatTheRulesAllow) {
  const COLORREF ground = 0x123456;
  {  // Both outer bits: nothing.
    Canvas canvas(ground, 10);
    RECT r = {0, 0, 10, 10};
    EXPECT_FALSE(WuDrawEdge(canvas.dc(), &r, BDR_OUTER | BDR_RAISEDINNER, BF_RECT | BF_MIDDLE));
    EXPECT_EQ(canvas.Box(ground).right - canvas.Box(ground).left, 10);
    EXPECT_EQ(canvas.CountRow(0, ground) + canvas.CountRow(5, ground), 20);
  }
  {  // Both inner bits: the outer ring only, no middle.
    Canvas canvas(ground, 10);
    RECT r = {0, 0, 10, 10};
    EXPECT_FALSE(WuDrawEdge(canvas.dc(), &r, BDR_RAISEDOUTER | BDR_INNER,
                            BF_RECT | BF_MIDDLE | WUEDGE_COLORS_WARM));
    EXPECT_EQ(canvas.At(0, 5), 0x0078F0u);
    EXPECT_EQ(canvas.At(1, 5), ground);
    EXPECT_EQ(canvas.At(5, 5), ground);
  }
  {  // Edge bits without sides or middle.
    Canvas canvas(ground, 10);
    RECT r = {0, 0, 10, 10};
    EXPECT_FALSE(WuDrawEdge(canvas.dc(), &r, EDGE_RAISED, 0));
    EXPECT_EQ(canvas.At(0, 0), ground);
  }
  {  // No edge bits: the middle only, TRUE.
    Canvas canvas(ground, 10);
    RECT r = {0, 0, 10, 10};
    EXPECT_TRUE(WuDrawEdge(canvas.dc(), &r, 0, BF_MIDDLE | BF_ADJUST | WUEDGE_COLORS_WARM));
    EXPECT_EQ(canvas.At(0, 0), 0x0080FFu);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 10);
  }
  {  // One side only: the ring on that side, the adjustment on that side.
    Canvas canvas(ground, 10);
    RECT r = {0, 0, 10, 10};
    EXPECT_TRUE(WuDrawEdge(canvas.dc(), &r, EDGE_RAISED, BF_LEFT | BF_ADJUST | WUEDGE_COLORS_WARM));
    EXPECT_EQ(canvas.At(0, 5), 0x0078F0u);
    EXPECT_EQ(canvas.At(5, 0), ground);
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.top, 0);
  }
}

}  // namespace
