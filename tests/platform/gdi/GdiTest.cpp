// The drawing layer: objects and their bookkeeping, raster operations,
// fills, lines and shapes, clipping, DIBs, frames and window surfaces.
#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "platform/kernel/error.h"

namespace {

// A memory DC over a fresh bitmap (32-bit colour or 1-bit monochrome).
class Canvas {
 public:
  Canvas(int width, int height, int bpp = 32) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = bpp == 1 ? CreateBitmap(width, height, 1, 1, nullptr)
                       : CreateBitmap(width, height, 1, 32, nullptr);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  void Clear(COLORREF color) {
    HBRUSH b = CreateSolidBrush(color);
    RECT all{0, 0, width_, height_};
    FillRect(dc_, &all, b);
    DeleteObject(b);
  }
  // Pixels of a colour, and their bounding box.
  int Count(COLORREF color, RECT* box = nullptr) const {
    int n = 0;
    RECT b{width_, height_, -1, -1};
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        if (GetPixel(dc_, x, y) == color) {
          ++n;
          b = RECT{std::min<LONG>(b.left, x), std::min<LONG>(b.top, y), std::max<LONG>(b.right, x + 1),
                   std::max<LONG>(b.bottom, y + 1)};
        }
    if (box) *box = b;
    return n;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

TEST(GdiTest, ObjectsAreCountedAndDeletedOnce) {
  const size_t start = platform::GdiObjectCount();
  {
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HBRUSH brush = CreateSolidBrush(kBlue);
    LOGFONTW lf{};
    lf.lfHeight = -11;
    HFONT font = CreateFontIndirectW(&lf);
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
    HRGN region = CreateRectRgn(0, 0, 2, 2);
    EXPECT_EQ(platform::GdiObjectCount(), start + 6);

    HGDIOBJ old_pen = SelectObject(dc, pen);
    HGDIOBJ old_brush = SelectObject(dc, brush);
    HGDIOBJ old_font = SelectObject(dc, font);
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
    // Objects in a DC, also in a saved state only, cannot be deleted.
    int level = SaveDC(dc);
    EXPECT_EQ(SelectObject(dc, old_pen), pen);
    for (HGDIOBJ o : {HGDIOBJ(pen), HGDIOBJ(brush), HGDIOBJ(font), HGDIOBJ(bitmap)})
      EXPECT_FALSE(DeleteObject(o));
    // A bitmap lives in one DC at a time.
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, bitmap), nullptr);
    DeleteDC(other);
    ASSERT_TRUE(RestoreDC(dc, level));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
    EXPECT_FALSE(RestoreDC(dc, 1));  // that level is gone

    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_font);
    SelectObject(dc, old_bitmap);
    for (HGDIOBJ o : {HGDIOBJ(pen), HGDIOBJ(brush), HGDIOBJ(font), HGDIOBJ(bitmap), HGDIOBJ(region)})
      EXPECT_TRUE(DeleteObject(o));
    // Twice, an invented handle, a DC: refused.
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(0x1234)));
    EXPECT_FALSE(DeleteObject(dc));
    // Stock objects: a harmless TRUE, and still usable.
    HGDIOBJ stock = GetStockObject(BLACK_BRUSH);
    EXPECT_TRUE(DeleteObject(stock));
    EXPECT_EQ(GetObjectType(stock), OBJ_BRUSH);
    EXPECT_EQ(GetObjectType(dc), OBJ_MEMDC);
    EXPECT_TRUE(DeleteDC(dc));
  }
  EXPECT_EQ(platform::GdiObjectCount(), start);
}

TEST(GdiTest, ObjectDescriptions) {
  HPEN pen = CreatePen(PS_DOT, 1, kRed);
  LOGPEN lp{};
  ASSERT_EQ(GetObjectW(pen, sizeof(lp), &lp), static_cast<int>(sizeof(lp)));
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_DOT));
  EXPECT_EQ(lp.lopnColor, kRed);
  LOGFONTW in{};
  in.lfHeight = -13;
  in.lfWeight = FW_BOLD;
  std::memcpy(in.lfFaceName, u"Tahoma", 14);
  HFONT font = CreateFontIndirectW(&in);
  LOGFONTW out{};
  ASSERT_EQ(GetObjectW(font, sizeof(out), &out), 92);
  EXPECT_EQ(std::memcmp(&in, &out, sizeof(in)), 0);
  HBITMAP bitmap = CreateBitmap(5, 3, 1, 1, nullptr);
  BITMAP bm{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
  EXPECT_EQ(bm.bmWidth, 5);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmWidthBytes, 2);  // device rows are even
  EXPECT_EQ(bm.bmBits, nullptr);
  EXPECT_EQ(GetObjectW(bitmap, 4, &bm), 0);  // too small
  for (HGDIOBJ o : {HGDIOBJ(pen), HGDIOBJ(font), HGDIOBJ(bitmap)}) DeleteObject(o);
}

// Each raster operation against a formula of its own.
TEST(GdiTest, RasterOperationsOn32BitBitmaps) {
  const COLORREF d = RGB(0x0F, 0x33, 0x55), s = RGB(0x00, 0xFF, 0x0F), p = RGB(0x3C, 0xAA, 0x66);
  struct Case {
    DWORD rop;
    uint32_t (*f)(uint32_t p, uint32_t s, uint32_t d);
  } kCases[] = {
      {SRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return s; }},
      {SRCPAINT, [](uint32_t, uint32_t s, uint32_t d) { return s | d; }},
      {SRCAND, [](uint32_t, uint32_t s, uint32_t d) { return s & d; }},
      {SRCINVERT, [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; }},
      {SRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; }},
      {NOTSRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return ~s; }},
      {NOTSRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return ~(s | d); }},
      {MERGECOPY, [](uint32_t p, uint32_t s, uint32_t) { return p & s; }},
      {MERGEPAINT, [](uint32_t, uint32_t s, uint32_t d) { return ~s | d; }},
      {PATCOPY, [](uint32_t p, uint32_t, uint32_t) { return p; }},
      {PATPAINT, [](uint32_t p, uint32_t s, uint32_t d) { return p | ~s | d; }},
      {PATINVERT, [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; }},
      {DSTINVERT, [](uint32_t, uint32_t, uint32_t d) { return ~d; }},
      {BLACKNESS, [](uint32_t, uint32_t, uint32_t) { return 0u; }},
      {WHITENESS, [](uint32_t, uint32_t, uint32_t) { return ~0u; }},
      {0x00B8074A, [](uint32_t p, uint32_t s, uint32_t d) { return (s & d) | (~s & p); }},
      {0x00E20746, [](uint32_t p, uint32_t s, uint32_t d) { return (s & p) | (~s & d); }},
  };
  Canvas src(4, 4), dst(4, 4);
  src.Clear(s);
  HBRUSH brush = CreateSolidBrush(p);
  HGDIOBJ old = SelectObject(dst.dc(), brush);
  for (const Case& c : kCases) {
    dst.Clear(d);
    ASSERT_TRUE(BitBlt(dst.dc(), 1, 1, 2, 2, src.dc(), 0, 0, c.rop));
    EXPECT_EQ(GetPixel(dst.dc(), 1, 2), c.f(p, s, d) & 0xFFFFFF) << std::hex << c.rop;
    EXPECT_EQ(GetPixel(dst.dc(), 0, 0), d) << "outside the rectangle";
    EXPECT_EQ(GetPixel(dst.dc(), 3, 3), d) << "outside the rectangle";
  }
  SelectObject(dst.dc(), old);
  DeleteObject(brush);
}

// On 1-bit bitmaps the eight pixels of a row carry every combination of
// pattern, source and destination bits, so each code is checked bit by bit
// against its truth table.
TEST(GdiTest, EveryTernaryCodeOn1BitBitmaps) {
  Canvas src(8, 1, 1), dst(8, 1, 1);
  BYTE pattern_rows[16] = {};
  for (int y = 0; y < 8; ++y) pattern_rows[2 * y] = 0x0F;  // pattern bit x>>2: 0000 1111
  HBITMAP pattern_bits = CreateBitmap(8, 8, 1, 1, pattern_rows);
  HBRUSH pattern = CreatePatternBrush(pattern_bits);
  DeleteObject(pattern_bits);  // the brush keeps its own copy
  HGDIOBJ old = SelectObject(dst.dc(), pattern);
  BYTE src_row[2] = {0x33, 0}, dst_row[2] = {0x55, 0};  // 0011 0011 and 0101 0101
  for (int code = 0; code < 256; ++code) {
    SetBitmapBits(src.bitmap(), 2, src_row);
    SetBitmapBits(dst.bitmap(), 2, dst_row);
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 8, 1, src.dc(), 0, 0, static_cast<DWORD>(code) << 16));
    int got = 0;
    for (int x = 0; x < 8; ++x)
      if (GetPixel(dst.dc(), x, 0) == kWhite) got |= 0x80 >> x;
    int expected = 0;
    for (int x = 0; x < 8; ++x) {
      int p = (0x0F >> (7 - x)) & 1, s = (0x33 >> (7 - x)) & 1, d = (0x55 >> (7 - x)) & 1;
      if ((code >> (p * 4 + s * 2 + d)) & 1) expected |= 0x80 >> x;
    }
    EXPECT_EQ(got, expected) << "code " << code;
  }
  SelectObject(dst.dc(), old);
  DeleteObject(pattern);
}

TEST(GdiTest, MonochromeConversionsInBlits) {
  Canvas color(4, 1), mono(4, 1, 1);
  color.Clear(kRed);
  SetPixel(color.dc(), 1, 0, kBlue);
  // Colour to mono: the source background colour becomes white.
  SetBkColor(color.dc(), kBlue);
  BitBlt(mono.dc(), 0, 0, 4, 1, color.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(mono.dc(), 1, 0), kWhite);
  EXPECT_EQ(GetPixel(mono.dc(), 0, 0), kBlack);
  // Mono to colour: 0 bits in the text colour, 1 bits in the background.
  SetTextColor(color.dc(), RGB(1, 2, 3));
  SetBkColor(color.dc(), RGB(4, 5, 6));
  BitBlt(color.dc(), 0, 0, 4, 1, mono.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(color.dc(), 1, 0), RGB(4, 5, 6));
  EXPECT_EQ(GetPixel(color.dc(), 0, 0), RGB(1, 2, 3));
}

// Offsets move every coordinate by the same amount and wrap past the
// 32-bit limits instead of overflowing.
TEST(GdiTest, OffsetAndInflateWrapAtTheLimits) {
  struct Case {
    RECT in;
    int dx, dy;
    RECT out;
  };
  const Case cases[] = {
      {{1, 2, 3, 4}, 10, -20, {11, -18, 13, -16}},
      {{INT_MAX - 1, INT_MIN, INT_MAX, INT_MIN + 1}, 2, -2,
       {INT_MIN, INT_MAX - 1, INT_MIN + 1, INT_MAX}},
      {{INT_MIN, INT_MAX, INT_MIN + 5, INT_MAX}, INT_MIN, INT_MAX, {0, -2, 5, -2}},
  };
  for (const Case& c : cases) {
    RECT r = c.in;
    EXPECT_TRUE(OffsetRect(&r, c.dx, c.dy));
    EXPECT_TRUE(EqualRect(&r, &c.out)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
  EXPECT_FALSE(OffsetRect(nullptr, 1, 1));
  const Case inflations[] = {
      {{1, 2, 3, 4}, 10, -1, {-9, 3, 13, 3}},
      {{INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX - 1}, 1, 2,
       {INT_MAX, INT_MAX, INT_MIN, INT_MIN}},
      {{0, 0, 0, 0}, INT_MIN, INT_MIN, {INT_MIN, INT_MIN, INT_MIN, INT_MIN}},
  };
  for (const Case& c : inflations) {
    RECT r = c.in;
    EXPECT_TRUE(InflateRect(&r, c.dx, c.dy));
    EXPECT_TRUE(EqualRect(&r, &c.out)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
  EXPECT_FALSE(InflateRect(nullptr, 1, 1));
}

TEST(GdiTest, FillsTouchExactlyTheirRectangles) {
  Canvas c(20, 20);
  c.Clear(kWhite);
  RECT r{3, 4, 9, 7};
  ASSERT_TRUE(FillRect(c.dc(), &r, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1)));
  RECT box;
  EXPECT_EQ(c.Count(GetSysColor(COLOR_HIGHLIGHT), &box), 6 * 3);
  EXPECT_TRUE(EqualRect(&box, &r));

  c.Clear(kWhite);
  FrameRect(c.dc(), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(c.Count(kBlack, &box), 2 * 6 + 2 * 1);
  EXPECT_TRUE(EqualRect(&box, &r));
  InvertRect(c.dc(), &r);
  EXPECT_EQ(c.Count(kBlack), 6 * 3 - 14);

  // PatBlt with the DC brush colour; negative sizes reach back.
  c.Clear(kWhite);
  SelectObject(c.dc(), GetStockObject(DC_BRUSH));
  SetDCBrushColor(c.dc(), kRed);
  ASSERT_TRUE(PatBlt(c.dc(), 10, 10, -4, -2, PATCOPY));
  EXPECT_EQ(c.Count(kRed, &box), 8);
  EXPECT_EQ(box.left, 6);
  EXPECT_EQ(box.top, 8);
  EXPECT_FALSE(PatBlt(c.dc(), 0, 0, 1, 1, SRCCOPY));  // needs a source
  SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
}

TEST(GdiTest, LinesLeaveOutTheirEndAndFollowThePenStyle) {
  Canvas c(20, 10);
  c.Clear(kWhite);
  HPEN red = CreatePen(PS_SOLID, 1, kRed);
  HGDIOBJ old = SelectObject(c.dc(), red);
  MoveToEx(c.dc(), 2, 1, nullptr);
  LineTo(c.dc(), 12, 1);
  RECT box;
  EXPECT_EQ(c.Count(kRed, &box), 10);
  EXPECT_EQ(box.right, 12);
  POINT at;
  GetCurrentPositionEx(c.dc(), &at);
  EXPECT_EQ(at.x, 12);
  LineTo(c.dc(), 17, 6);  // a diagonal: one pixel per step
  EXPECT_EQ(c.Count(kRed), 15);

  // A dotted pen: every other pixel; the gaps in the background colour
  // when the mode is OPAQUE, untouched when TRANSPARENT.
  HPEN dots = CreatePen(PS_DOT, 1, kRed);
  SelectObject(c.dc(), dots);
  for (int mode : {TRANSPARENT, OPAQUE}) {
    c.Clear(kWhite);
    SetBkMode(c.dc(), mode);
    SetBkColor(c.dc(), kBlue);
    MoveToEx(c.dc(), 0, 5, nullptr);
    LineTo(c.dc(), 10, 5);
    EXPECT_EQ(c.Count(kRed), 5);
    EXPECT_EQ(GetPixel(c.dc(), 0, 5), kRed);
    EXPECT_EQ(GetPixel(c.dc(), 1, 5), mode == OPAQUE ? kBlue : kWhite);
  }
  // A wide pen covers a band; the null pen nothing.
  HPEN wide = CreatePen(PS_SOLID, 3, kRed);
  SelectObject(c.dc(), wide);
  c.Clear(kWhite);
  MoveToEx(c.dc(), 5, 5, nullptr);
  LineTo(c.dc(), 10, 5);
  EXPECT_EQ(GetPixel(c.dc(), 7, 4), kRed);
  EXPECT_EQ(GetPixel(c.dc(), 7, 6), kRed);
  EXPECT_EQ(GetPixel(c.dc(), 7, 3), kWhite);
  const int wide_pixels = c.Count(kRed);
  SelectObject(c.dc(), GetStockObject(NULL_PEN));
  LineTo(c.dc(), 10, 9);
  EXPECT_EQ(c.Count(kRed), wide_pixels);
  // XOR pen mix twice restores.
  SelectObject(c.dc(), red);
  SetROP2(c.dc(), R2_XORPEN);
  MoveToEx(c.dc(), 0, 0, nullptr);
  LineTo(c.dc(), 5, 0);
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), RGB(0, 255, 255));
  MoveToEx(c.dc(), 0, 0, nullptr);
  LineTo(c.dc(), 5, 0);
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), kWhite);
  SelectObject(c.dc(), old);
  for (HPEN p : {red, dots, wide}) DeleteObject(p);
}

TEST(GdiTest, ShapesFillByPixelCentresAndOutlineWithThePen) {
  Canvas c(32, 32);
  HBRUSH blue = CreateSolidBrush(kBlue);
  HPEN red = CreatePen(PS_SOLID, 1, kRed);
  SelectObject(c.dc(), blue);
  SelectObject(c.dc(), red);
  c.Clear(kWhite);
  Rectangle(c.dc(), 2, 2, 8, 6);
  EXPECT_EQ(c.Count(kRed), 2 * 6 + 2 * 2);
  EXPECT_EQ(c.Count(kBlue), 4 * 2);
  EXPECT_EQ(GetPixel(c.dc(), 8, 6), kWhite);

  // A five-pointed star drawn in one stroke: its centre is inside under
  // WINDING and outside under ALTERNATE.
  const POINT star[5] = {{16, 1}, {25, 29}, {2, 11}, {30, 11}, {7, 29}};
  SelectObject(c.dc(), GetStockObject(NULL_PEN));
  for (int mode : {ALTERNATE, WINDING}) {
    c.Clear(kWhite);
    SetPolyFillMode(c.dc(), mode);
    Polygon(c.dc(), star, 5);
    EXPECT_EQ(GetPixel(c.dc(), 16, 16), mode == WINDING ? kBlue : kWhite);
    EXPECT_EQ(GetPixel(c.dc(), 16, 5), kBlue);  // the top arm
    EXPECT_EQ(GetPixel(c.dc(), 2, 28), kWhite);
  }
  c.Clear(kWhite);
  Ellipse(c.dc(), 0, 0, 20, 10);
  EXPECT_EQ(GetPixel(c.dc(), 10, 5), kBlue);
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), kWhite);
  EXPECT_EQ(GetPixel(c.dc(), 19, 9), kWhite);
  SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
  SelectObject(c.dc(), GetStockObject(BLACK_PEN));
  DeleteObject(blue);
  DeleteObject(red);
}

TEST(GdiTest, ClippingAndOrigins) {
  Canvas c(20, 20);
  c.Clear(kWhite);
  RECT all{0, 0, 20, 20}, box;
  HBRUSH red = CreateSolidBrush(kRed);
  int level = SaveDC(c.dc());
  EXPECT_EQ(IntersectClipRect(c.dc(), 5, 5, 15, 15), SIMPLEREGION);
  EXPECT_EQ(ExcludeClipRect(c.dc(), 8, 8, 10, 10), COMPLEXREGION);
  EXPECT_EQ(GetClipBox(c.dc(), &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 5);
  EXPECT_EQ(box.right, 15);
  FillRect(c.dc(), &all, red);
  EXPECT_EQ(c.Count(kRed), 100 - 4);
  EXPECT_EQ(GetPixel(c.dc(), 8, 8), CLR_INVALID);  // clipped away
  RestoreDC(c.dc(), level);
  EXPECT_EQ(GetPixel(c.dc(), 8, 8), kWhite);

  // A clip region is a copy: changing the region later changes nothing.
  HRGN region = CreateRectRgn(0, 0, 2, 2);
  SelectClipRgn(c.dc(), region);
  SetRectRgn(region, 0, 0, 20, 20);
  c.Clear(kBlue);
  EXPECT_EQ(c.Count(kBlue), 4);
  SelectClipRgn(c.dc(), nullptr);
  DeleteObject(region);

  // Moving the origins moves drawing; the clip stays in device units.
  c.Clear(kWhite);
  SetViewportOrgEx(c.dc(), 10, 0, nullptr);
  SetWindowOrgEx(c.dc(), 0, -3, nullptr);
  RECT r{0, 0, 1, 1};
  FillRect(c.dc(), &r, red);
  SetViewportOrgEx(c.dc(), 0, 0, nullptr);
  SetWindowOrgEx(c.dc(), 0, 0, nullptr);
  EXPECT_EQ(GetPixel(c.dc(), 10, 3), kRed);
  DeleteObject(red);

  HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15), out = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(out, a, b, RGN_OR), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(out, 14, 14));
  EXPECT_FALSE(PtInRegion(out, 14, 2));
  EXPECT_EQ(CombineRgn(out, a, b, RGN_AND), SIMPLEREGION);
  EXPECT_EQ(GetRgnBox(out, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 5);
  EXPECT_EQ(box.right, 10);
  EXPECT_EQ(CombineRgn(out, a, a, RGN_DIFF), NULLREGION);
  for (HRGN h : {a, b, out}) DeleteObject(h);
}

// A 2 x 2 image, red blue over green white, as a bottom-up and a top-down
// 32-bit DIB.
struct TinyDib {
  BITMAPINFO info{};
  uint32_t pixels[4];
  explicit TinyDib(bool top_down) {
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = top_down ? -2 : 2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    const uint32_t top[2] = {0xFF0000, 0x0000FF}, bottom[2] = {0x00FF00, 0xFFFFFF};
    const uint32_t* first = top_down ? top : bottom;
    const uint32_t* second = top_down ? bottom : top;
    pixels[0] = first[0];
    pixels[1] = first[1];
    pixels[2] = second[0];
    pixels[3] = second[1];
  }
};

TEST(GdiTest, StretchDIBitsShowsBothRowOrdersUpright) {
  for (bool top_down : {false, true}) {
    TinyDib dib(top_down);
    Canvas c(4, 4);
    c.Clear(kBlack);
    ASSERT_EQ(StretchDIBits(c.dc(), 0, 0, 4, 4, 0, 0, 2, 2, dib.pixels, &dib.info, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(GetPixel(c.dc(), 0, 0), kRed) << top_down;
    EXPECT_EQ(GetPixel(c.dc(), 1, 1), kRed) << top_down;  // doubled
    EXPECT_EQ(GetPixel(c.dc(), 3, 0), kBlue) << top_down;
    EXPECT_EQ(GetPixel(c.dc(), 0, 3), RGB(0, 255, 0)) << top_down;
    EXPECT_EQ(GetPixel(c.dc(), 3, 3), kWhite) << top_down;
    // One source row: row 0 is the bottom row of a bottom-up DIB and the
    // top row of a top-down one.
    c.Clear(kBlack);
    StretchDIBits(c.dc(), 0, 0, 2, 1, 0, 0, 2, 1, dib.pixels, &dib.info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(GetPixel(c.dc(), 0, 0), top_down ? kRed : RGB(0, 255, 0));
    // A negative width mirrors.
    StretchDIBits(c.dc(), 0, 2, 2, 2, 2, 0, -2, 2, dib.pixels, &dib.info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(GetPixel(c.dc(), 0, 2), kBlue);
  }
}

TEST(GdiTest, TransparentBltKeepsTheKeyColourOut) {
  Canvas src(4, 4), dst(8, 8);
  src.Clear(RGB(255, 0, 255));
  SetPixel(src.dc(), 1, 1, kRed);
  dst.Clear(kBlue);
  ASSERT_TRUE(TransparentBlt(dst.dc(), 0, 0, 8, 8, src.dc(), 0, 0, 4, 4, RGB(255, 0, 255)));
  EXPECT_EQ(dst.Count(kRed), 4);  // one pixel, doubled
  EXPECT_EQ(dst.Count(kBlue), 60);
  EXPECT_EQ(GetPixel(dst.dc(), 2, 3), kRed);
  // A monochrome source takes the destination's colours; keyed on the
  // background colour, its 1 bits stay out.
  Canvas mono(2, 1, 1);
  SetPixel(mono.dc(), 0, 0, kBlack);
  SetPixel(mono.dc(), 1, 0, kWhite);
  SetTextColor(dst.dc(), kRed);
  SetBkColor(dst.dc(), RGB(0, 128, 128));
  dst.Clear(kWhite);
  TransparentBlt(dst.dc(), 0, 0, 2, 1, mono.dc(), 0, 0, 2, 1, RGB(0, 128, 128));
  EXPECT_EQ(GetPixel(dst.dc(), 0, 0), kRed);
  EXPECT_EQ(GetPixel(dst.dc(), 1, 0), kWhite);
  EXPECT_FALSE(TransparentBlt(dst.dc(), 0, 0, -2, 1, mono.dc(), 0, 0, 2, 1, 0));
}

TEST(GdiTest, DibSectionsShareTheirBits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 3;
  info.bmiHeader.biHeight = 2;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  ASSERT_NE(bits, nullptr);
  uint32_t* px = static_cast<uint32_t*>(bits);
  px[0] = 0x00FF0000;  // first in memory: the bottom-left pixel
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dib);
  EXPECT_EQ(GetPixel(dc, 0, 1), kRed);
  SetPixel(dc, 2, 0, kBlue);  // top right: the last pixel in memory
  EXPECT_EQ(px[5], 0x000000FFu);
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectW(dib, sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
  EXPECT_EQ(ds.dsBm.bmBits, bits);
  EXPECT_EQ(ds.dsBmih.biBitCount, 32);
  SelectObject(dc, old);

  // GetDIBits reads the same pixels out in another layout: 24-bit top-down.
  BITMAPINFO want{};
  want.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  want.bmiHeader.biHeight = -1;
  want.bmiHeader.biPlanes = 1;
  want.bmiHeader.biBitCount = 24;
  BYTE rows[2][12] = {};
  ASSERT_EQ(GetDIBits(dc, dib, 0, 2, rows, &want, DIB_RGB_COLORS), 2);
  EXPECT_EQ(want.bmiHeader.biWidth, 3);
  EXPECT_EQ(want.bmiHeader.biSizeImage, 24u);
  EXPECT_EQ(rows[0][6], 0xFF);  // top row, third pixel: blue first
  EXPECT_EQ(rows[1][2], 0xFF);  // bottom row, first pixel: red third
  // SetDIBits writes back through a 1-bit DIB with its own colour table.
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colors[2];
  } mono{};
  mono.h = want.bmiHeader;
  mono.h.biBitCount = 1;
  mono.h.biHeight = 2;
  mono.colors[1] = RGBQUAD{0, 255, 0, 0};  // green
  const BYTE mono_rows[8] = {0x20, 0, 0, 0, 0x80, 0, 0, 0};
  EXPECT_EQ(SetDIBits(dc, dib, 0, 2, mono_rows, reinterpret_cast<BITMAPINFO*>(&mono), DIB_RGB_COLORS), 2);
  EXPECT_EQ(px[2], 0x0000FF00u);  // bottom row, third pixel
  EXPECT_EQ(px[3], 0x0000FF00u);  // top row, first pixel
  EXPECT_EQ(px[0], 0u);
  DeleteDC(dc);
  DeleteObject(dib);

  // Headers that do not describe a DIB are refused.
  for (auto breaks : {+[](BITMAPINFOHEADER& h) { h.biBitCount = 3; },
                      +[](BITMAPINFOHEADER& h) { h.biWidth = 0; },
                      +[](BITMAPINFOHEADER& h) { h.biCompression = 1; },
                      +[](BITMAPINFOHEADER& h) { h.biSize = 12; }}) {
    BITMAPINFO bad = info;
    breaks(bad.bmiHeader);
    EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
  }
}

TEST(GdiTest, SystemColoursAreConfigurable) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const int index = COLOR_BTNFACE;
  const COLORREF pink = RGB(255, 192, 203);
  HBRUSH brush = GetSysColorBrush(COLOR_BTNFACE);
  ASSERT_TRUE(SetSysColors(1, &index, &pink));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), pink);
  Canvas c(2, 2);
  RECT r{0, 0, 2, 2};
  FillRect(c.dc(), &r, brush);  // the brush follows the colour
  EXPECT_EQ(GetPixel(c.dc(), 1, 1), pink);
  const int bad[2] = {COLOR_WINDOW, 31};
  const COLORREF colors[2] = {kRed, kRed};
  EXPECT_FALSE(SetSysColors(2, bad, colors));
  EXPECT_NE(GetSysColor(COLOR_WINDOW), kRed);  // nothing changed
  EXPECT_TRUE(DeleteObject(brush));            // harmless
  platform::ResetSysColors();
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), face);
  EXPECT_EQ(GetSysColorBrush(31), nullptr);
}

// Distinct system colours so that every ring shows which one it took.
class EdgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const int indexes[6] = {COLOR_3DLIGHT, COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW,
                            COLOR_BTNFACE, COLOR_WINDOW};
    const COLORREF colors[6] = {kLight, kDark, kHighlight, kShadow, kFace, kWindow};
    SetSysColors(6, indexes, colors);
  }
  void TearDown() override { platform::ResetSysColors(); }
  static constexpr COLORREF kLight = RGB(1, 1, 1), kDark = RGB(2, 2, 2), kHighlight = RGB(3, 3, 3),
                            kShadow = RGB(4, 4, 4), kFace = RGB(5, 5, 5), kWindow = RGB(6, 6, 6);
};

TEST_F(EdgeTest, RaisedAndSunkenRings) {
  struct Case {
    UINT edge;
    COLORREF outer_tl, outer_br, inner_tl, inner_br;
  } kCases[] = {
      {EDGE_RAISED, kLight, kDark, kHighlight, kShadow},
      {EDGE_SUNKEN, kShadow, kHighlight, kDark, kLight},
      {EDGE_ETCHED, kShadow, kHighlight, kHighlight, kShadow},
  };
  for (const Case& k : kCases) {
    Canvas c(10, 10);
    c.Clear(kRed);
    RECT r{0, 0, 10, 10};
    ASSERT_TRUE(DrawEdge(c.dc(), &r, k.edge, BF_RECT | BF_ADJUST));
    EXPECT_EQ(GetPixel(c.dc(), 0, 5), k.outer_tl) << k.edge;
    EXPECT_EQ(GetPixel(c.dc(), 5, 0), k.outer_tl) << k.edge;
    EXPECT_EQ(GetPixel(c.dc(), 9, 5), k.outer_br) << k.edge;
    EXPECT_EQ(GetPixel(c.dc(), 5, 9), k.outer_br) << k.edge;
    EXPECT_EQ(GetPixel(c.dc(), 9, 0), k.outer_br) << "the dark side owns the corner";
    EXPECT_EQ(GetPixel(c.dc(), 1, 5), k.inner_tl) << k.edge;
    EXPECT_EQ(GetPixel(c.dc(), 8, 5), k.inner_br) << k.edge;
    EXPECT_EQ(GetPixel(c.dc(), 5, 5), kRed) << "no BF_MIDDLE";
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.bottom, 8);
  }
  // Only the sides asked for, and the middle.
  Canvas c(10, 10);
  c.Clear(kRed);
  RECT r{0, 0, 10, 10};
  DrawEdge(c.dc(), &r, BDR_RAISEDINNER, BF_LEFT | BF_TOP | BF_MIDDLE | BF_ADJUST);
  EXPECT_EQ(GetPixel(c.dc(), 9, 5), kFace);
  EXPECT_EQ(GetPixel(c.dc(), 0, 5), kHighlight);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.right, 10);
}

TEST_F(EdgeTest, FrameControls) {
  Canvas c(20, 20);
  c.Clear(kRed);
  RECT r{0, 0, 20, 20};
  ASSERT_TRUE(DrawFrameControl(c.dc(), &r, DFC_BUTTON, DFCS_BUTTONPUSH));
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), kLight);
  EXPECT_EQ(GetPixel(c.dc(), 10, 10), kFace);
  DrawFrameControl(c.dc(), &r, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);
  EXPECT_EQ(GetPixel(c.dc(), 0, 5), kShadow);

  // A check box: a well in the window colour, the mark only when checked.
  c.Clear(kRed);
  DrawFrameControl(c.dc(), &r, DFC_BUTTON, DFCS_BUTTONCHECK);
  const int unchecked = c.Count(GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_GT(c.Count(kWindow), 0);
  DrawFrameControl(c.dc(), &r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
  EXPECT_GT(c.Count(GetSysColor(COLOR_WINDOWTEXT)), unchecked + 5);
  // A scroll arrow puts its glyph in the button text colour.
  c.Clear(kRed);
  DrawFrameControl(c.dc(), &r, DFC_SCROLL, DFCS_SCROLLDOWN);
  EXPECT_GT(c.Count(GetSysColor(COLOR_BTNTEXT)), 3);
  EXPECT_FALSE(DrawFrameControl(c.dc(), &r, 99, 0));
}

// The client size the fake window layer reports for window 0x7000.
SIZE g_client_size{30, 20};

BOOL FakeClientSize(HWND window, SIZE* size) {
  if (reinterpret_cast<uintptr_t>(window) != 0x7000) return FALSE;
  *size = g_client_size;
  return TRUE;
}

TEST(GdiTest, WindowDcsDrawOnAKeptSurface) {
  platform::WindowClientSizeFunction previous = platform::SetWindowClientSizeFunction(FakeClientSize);
  g_client_size = SIZE{30, 20};
  HWND window = reinterpret_cast<HWND>(0x7000);
  HDC dc = GetDC(window);
  ASSERT_NE(dc, nullptr);
  RECT box;
  GetClipBox(dc, &box);
  EXPECT_EQ(box.right, 30);
  EXPECT_EQ(box.bottom, 20);
  SetPixel(dc, 5, 5, kRed);
  EXPECT_EQ(ReleaseDC(window, dc), 1);
  dc = GetDC(window);  // same size: the same pixels
  EXPECT_EQ(GetPixel(dc, 5, 5), kRed);
  ReleaseDC(window, dc);
  g_client_size = SIZE{40, 10};
  dc = GetDC(window);  // resized: what fits is kept
  GetClipBox(dc, &box);
  EXPECT_EQ(box.right, 40);
  EXPECT_EQ(GetPixel(dc, 5, 5), kRed);
  EXPECT_EQ(GetPixel(dc, 5, 15), CLR_INVALID);
  ReleaseDC(window, dc);
  platform::ReleaseWindowSurface(window);
  dc = GetDC(window);
  EXPECT_EQ(GetPixel(dc, 5, 5), kBlack);  // a fresh surface
  EXPECT_FALSE(DeleteDC(dc));             // GetDC's DCs are released, not deleted
  ReleaseDC(window, dc);
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x7004)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  platform::SetWindowClientSizeFunction(previous);
  platform::ReleaseWindowSurface(window);
}

TEST(GdiTest, ScreenDcsMeasureButKeepNoPixels) {
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(SetPixel(screen, 1, 1, kRed), CLR_INVALID);
  EXPECT_EQ(GetPixel(screen, 1, 1), CLR_INVALID);
  EXPECT_EQ(GetNearestColor(screen, RGB(1, 2, 3)), RGB(1, 2, 3));  // a 32-bit screen
  Canvas mono(1, 1, 1);
  EXPECT_EQ(GetNearestColor(mono.dc(), RGB(200, 200, 200)), kWhite);
  Canvas c(2, 2);
  c.Clear(kRed);
  BitBlt(c.dc(), 0, 0, 2, 2, screen, 0, 0, SRCCOPY);  // the screen reads black
  EXPECT_EQ(GetPixel(c.dc(), 1, 1), kBlack);
  ReleaseDC(nullptr, screen);
}

}  // namespace
