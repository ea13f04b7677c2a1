// Fonts and text: the metric model's relations, text landing inside its
// extent, and DrawTextW's layout and ellipses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/gdi/gdi.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kInk = RGB(0, 0, 128);

HFONT MakeFont(LONG height, LONG weight = FW_NORMAL, BYTE pitch = VARIABLE_PITCH | FF_SWISS,
               const char16_t* face = u"MS Shell Dlg") {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfPitchAndFamily = pitch;
  std::memcpy(lf.lfFaceName, face, std::char_traits<char16_t>::length(face) * 2);
  return CreateFontIndirectW(&lf);
}

// A white 32-bit memory DC with a font selected, black-on-nothing text.
class TextCanvas {
 public:
  TextCanvas(int width, int height, HFONT font) : width_(width), height_(height), font_(font) {
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateBitmap(width, height, 1, 32, nullptr);
    old_bitmap_ = SelectObject(dc_, bitmap_);
    old_font_ = SelectObject(dc_, font);
    Clear();
    SetTextColor(dc_, kInk);
    SetBkMode(dc_, TRANSPARENT);
  }
  ~TextCanvas() {
    SelectObject(dc_, old_font_);
    SelectObject(dc_, old_bitmap_);
    DeleteObject(bitmap_);
    DeleteObject(font_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  void Clear() {
    RECT all{0, 0, width_, height_};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  // Bounding box of the pixels that are not white; empty when none.
  RECT Ink(int* count = nullptr) const {
    RECT box{width_, height_, 0, 0};
    int n = 0;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        if (GetPixel(dc_, x, y) != kWhite) {
          ++n;
          box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                     std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
        }
    if (count) *count = n;
    return n ? box : RECT{0, 0, 0, 0};
  }
  SIZE Extent(const std::u16string& text) const {
    SIZE s{};
    GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &s);
    return s;
  }

 private:
  int width_, height_;
  HFONT font_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_bitmap_, old_font_;
};

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST(GdiTextTest, MetricModelRelations) {
  TextCanvas t(8, 8, MakeFont(-11));
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(t.dc(), &tm));
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 11);  // negative: the character height
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
  EXPECT_EQ(t.Extent(u"0").cx, tm.tmAveCharWidth);
  EXPECT_EQ(t.Extent(u"Hello").cy, tm.tmHeight);
  // Extents add up, character by character.
  for (const char16_t* text : {u"ab", u"Wi lL", u"12,345.67", u"\u4e2d\u6587"}) {
    std::u16string s(text);
    int sum = 0;
    for (char16_t c : s) sum += t.Extent(std::u16string(1, c)).cx;
    EXPECT_EQ(t.Extent(s).cx, sum);
  }
  EXPECT_GT(t.Extent(u"W").cx, t.Extent(u"i").cx);  // proportional
  int widths[3];
  ASSERT_TRUE(GetCharWidth32W(t.dc(), 'a', 'c', widths));
  EXPECT_EQ(widths[1], t.Extent(u"b").cx);
  // How much fits, and the prefix extents.
  int fit = 0, dx[4];
  SIZE size;
  GetTextExtentExPointW(t.dc(), u"abcd", 4, t.Extent(u"ab").cx, &fit, dx, &size);
  EXPECT_EQ(fit, 2);
  EXPECT_EQ(dx[3], size.cx);
  WCHAR face[32];
  EXPECT_EQ(GetTextFaceW(t.dc(), 32, face), 13);
  EXPECT_EQ(std::u16string(face), u"MS Shell Dlg");

  // A positive height is the cell height; bold is wider; fixed pitch is
  // one width for all.
  TextCanvas cell(8, 8, MakeFont(16));
  GetTextMetricsW(cell.dc(), &tm);
  EXPECT_EQ(tm.tmHeight, 16);
  TextCanvas bold(8, 8, MakeFont(-11, FW_BOLD));
  EXPECT_GT(bold.Extent(u"Hello").cx, t.Extent(u"Hello").cx);
  TextCanvas fixed(8, 8, MakeFont(-11, FW_NORMAL, FIXED_PITCH | FF_MODERN, u"Courier New"));
  EXPECT_EQ(fixed.Extent(u"i").cx, fixed.Extent(u"W").cx);
  GetTextMetricsW(fixed.dc(), &tm);
  EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
  // The stock GUI font is an 8-point font at 96 dots per inch.
  HDC screen = GetDC(nullptr);
  SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
  GetTextMetricsW(screen, &tm);
  EXPECT_EQ(MulDiv(tm.tmHeight - tm.tmInternalLeading, 72, 96), 8);
  ReleaseDC(nullptr, screen);
}

TEST(GdiTextTest, TextLandsInsideItsExtent) {
  for (UINT align : {TA_LEFT | TA_TOP, TA_RIGHT | TA_BOTTOM, TA_CENTER | TA_BASELINE}) {
    TextCanvas t(120, 40, MakeFont(-11, FW_NORMAL, 0, u"Arial"));
    SetTextAlign(t.dc(), align);
    const std::u16string text = u"Hi, gjpq @ 9!";
    ASSERT_TRUE(TextOutW(t.dc(), 60, 20, text.c_str(), static_cast<int>(text.size())));
    SIZE e = t.Extent(text);
    TEXTMETRICW tm;
    GetTextMetricsW(t.dc(), &tm);
    int left = (align & TA_CENTER) == TA_CENTER ? 60 - e.cx / 2 : (align & TA_RIGHT) ? 60 - e.cx : 60;
    int top = (align & TA_BASELINE) == TA_BASELINE ? 20 - tm.tmAscent : (align & TA_BOTTOM) ? 20 - e.cy : 20;
    RECT cell{left, top, left + e.cx, top + e.cy};
    int n = 0;
    RECT ink = t.Ink(&n);
    EXPECT_GT(n, 20) << align;
    EXPECT_TRUE(Inside(ink, cell)) << align;
    EXPECT_GT(ink.right - ink.left, e.cx / 2) << align;
    EXPECT_GT(ink.bottom, top + tm.tmAscent) << "descenders reach below the baseline";
  }
  // A character without a glyph shows as a box.
  TextCanvas t(40, 20, MakeFont(-11));
  TextOutW(t.dc(), 0, 0, u"\u00e9", 1);
  int n = 0;
  t.Ink(&n);
  EXPECT_GT(n, 8);
}

TEST(GdiTextTest, OpaqueAndClippedOutput) {
  TextCanvas t(60, 20, MakeFont(-11));
  SetBkColor(t.dc(), RGB(0, 255, 0));
  RECT r{10, 2, 30, 12};
  // No text, ETO_OPAQUE: the rectangle in the background colour.
  ASSERT_TRUE(ExtTextOutW(t.dc(), 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr));
  EXPECT_EQ(GetPixel(t.dc(), 10, 2), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(t.dc(), 30, 12), kWhite);
  // ETO_CLIPPED keeps the glyphs inside the rectangle.
  t.Clear();
  ExtTextOutW(t.dc(), 0, 0, ETO_CLIPPED, &r, u"MMMMMMMMMM", 10, nullptr);
  int n = 0;
  RECT ink = t.Ink(&n);
  EXPECT_GT(n, 0);
  EXPECT_TRUE(Inside(ink, r));
  // OPAQUE mode paints the cells behind the text.
  t.Clear();
  SetBkMode(t.dc(), OPAQUE);
  TextOutW(t.dc(), 0, 0, u"a b", 3);
  EXPECT_EQ(GetPixel(t.dc(), 0, 0), RGB(0, 255, 0));
}

TEST(GdiTextTest, DrawTextLayout) {
  TextCanvas t(200, 100, MakeFont(-11));
  const std::u16string text = u"Name";
  SIZE e = t.Extent(text);
  TEXTMETRICW tm;
  GetTextMetricsW(t.dc(), &tm);
  RECT calc{5, 5, 6, 6};
  EXPECT_EQ(DrawTextW(t.dc(), text.c_str(), -1, &calc, DT_SINGLELINE | DT_CALCRECT), tm.tmHeight);
  EXPECT_EQ(calc.right - calc.left, e.cx);
  EXPECT_EQ(calc.bottom - calc.top, tm.tmHeight);
  EXPECT_EQ(t.Ink().right, 0) << "DT_CALCRECT draws nothing";

  struct Case {
    UINT format;
    int left, top;  // where the text's cell starts inside {0, 0, 200, 100}
  } kCases[] = {
      {DT_SINGLELINE, 0, 0},
      {DT_SINGLELINE | DT_RIGHT, 200 - e.cx, 0},
      {DT_SINGLELINE | DT_CENTER | DT_VCENTER, (200 - e.cx) / 2, (100 - tm.tmHeight) / 2},
      {DT_SINGLELINE | DT_BOTTOM, 0, 100 - tm.tmHeight},
  };
  for (const Case& c : kCases) {
    t.Clear();
    RECT r{0, 0, 200, 100};
    int height = DrawTextW(t.dc(), text.c_str(), -1, &r, c.format);
    EXPECT_EQ(height, c.top + tm.tmHeight) << c.format;
    RECT cell{c.left, c.top, c.left + e.cx, c.top + tm.tmHeight};
    RECT ink = t.Ink();
    EXPECT_TRUE(Inside(ink, cell)) << c.format;
    EXPECT_LT(ink.left - cell.left, 3) << c.format;
  }

  // Word breaks make lines of at most the width; line breaks always break.
  RECT narrow{0, 0, t.Extent(u"alpha beta").cx, 100};
  const std::u16string words = u"alpha beta alpha beta alpha";
  EXPECT_EQ(DrawTextW(t.dc(), words.c_str(), -1, &narrow, DT_WORDBREAK | DT_CALCRECT), 3 * tm.tmHeight);
  EXPECT_LE(narrow.right, t.Extent(u"alpha beta").cx);
  RECT lines{0, 0, 200, 100};
  EXPECT_EQ(DrawTextW(t.dc(), u"one\r\ntwo\nthree", -1, &lines, DT_CALCRECT), 3 * tm.tmHeight);

  // Prefixes: "&&" is one ampersand, "&x" underlines x and takes no room.
  RECT a{0, 0, 200, 100}, b{0, 0, 200, 100};
  DrawTextW(t.dc(), u"&Save", -1, &a, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(a.right, t.Extent(u"Save").cx);
  DrawTextW(t.dc(), u"&Save", -1, &b, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(b.right, t.Extent(u"&Save").cx);
  t.Clear();
  RECT full{0, 0, 200, 100};
  DrawTextW(t.dc(), u"&Save", -1, &full, DT_SINGLELINE | DT_PREFIXONLY);
  RECT underline = t.Ink();
  EXPECT_EQ(underline.bottom - underline.top, 1);
  EXPECT_EQ(underline.right, t.Extent(u"S").cx);
}

TEST(GdiTextTest, EllipsesFit) {
  TextCanvas t(300, 40, MakeFont(-11));
  struct Case {
    const char16_t* text;
    UINT flag;
    int width;
    const char16_t* keeps;  // a part the result must end with
  } kCases[] = {
      {u"A rather long title of a window", DT_END_ELLIPSIS, 80, u"..."},
      {u"C:\\Program Files\\Some Folder\\setup.exe", DT_PATH_ELLIPSIS, 120, u"\\setup.exe"},
      {u"/home/user/documents/report.txt", DT_PATH_ELLIPSIS, 110, u"/report.txt"},
      {u"Short", DT_END_ELLIPSIS, 200, u"Short"},
      {u"Anything at all", DT_END_ELLIPSIS, 3, u""},
  };
  for (const Case& c : kCases) {
    WCHAR buffer[128] = {};
    std::u16string original(c.text);
    original.copy(buffer, original.size());
    RECT r{0, 0, c.width, 40};
    DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), 0, 0, 0, 0};
    ASSERT_GT(DrawTextExW(t.dc(), buffer, -1, &r, DT_SINGLELINE | DT_MODIFYSTRING | c.flag, &params), 0);
    std::u16string result(buffer);
    EXPECT_LE(t.Extent(result).cx, c.width) << t.Extent(result).cx;
    std::u16string keeps(c.keeps);
    EXPECT_EQ(result.substr(result.size() - std::min(result.size(), keeps.size())), keeps);
    if (t.Extent(original).cx <= c.width) {
      EXPECT_EQ(result, original);
    }
    // What is drawn stays inside the width too.
    t.Clear();
    RECT draw{0, 0, c.width, 40};
    DrawTextW(t.dc(), c.text, -1, &draw, DT_SINGLELINE | DT_NOCLIP | c.flag);
    EXPECT_LE(t.Ink().right, c.width);
  }
}

}  // namespace
