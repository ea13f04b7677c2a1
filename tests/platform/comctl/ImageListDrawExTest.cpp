// ImageList_DrawEx: the background colour under transparent pixels, the
// part drawn, and agreement with ImageList_Draw where the two agree.
#include <gtest/gtest.h>

#include "platform/comctl/commctrl.h"
#include "platform/gdi/gdi.h"

namespace {

constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr COLORREF kCanvas = RGB(10, 20, 30);
constexpr COLORREF kImage = RGB(200, 0, 0);
constexpr COLORREF kBk = RGB(1, 2, 3);

// A 4x4 memory DC over a 32-bit DIB section in the canvas colour.
struct Canvas {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  Canvas() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, -4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old = SelectObject(dc, bitmap);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) SetPixel(dc, x, y, kCanvas);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  bool SameAs(const Canvas& other) const {
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        if (GetPixel(dc, x, y) != GetPixel(other.dc, x, y)) return false;
    return true;
  }
};

// A masked list of one 2x2 image whose top-left pixel is transparent.
HIMAGELIST MaskedList() {
  Canvas source;
  HBITMAP image = CreateCompatibleBitmap(source.dc, 2, 2);
  HGDIOBJ old = SelectObject(source.dc, image);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) SetPixel(source.dc, x, y, x + y == 0 ? kKey : kImage);
  SelectObject(source.dc, old);
  HIMAGELIST list = ImageList_Create(2, 2, ILC_COLOR32 | ILC_MASK, 1, 1);
  EXPECT_EQ(ImageList_AddMasked(list, image, kKey), 0);
  DeleteObject(image);
  return list;
}

TEST(ImageListDrawEx, BackgroundFillsTransparentPixelsOnlyWithNormalStyle) {
  HIMAGELIST list = MaskedList();
  Canvas c;
  ASSERT_TRUE(ImageList_DrawEx(list, 0, c.dc, 1, 1, 0, 0, kBk, CLR_DEFAULT, ILD_NORMAL));
  EXPECT_EQ(GetPixel(c.dc, 1, 1), kBk);
  EXPECT_EQ(GetPixel(c.dc, 2, 1), kImage);
  EXPECT_EQ(GetPixel(c.dc, 2, 2), kImage);
  EXPECT_EQ(GetPixel(c.dc, 0, 0), kCanvas);
  EXPECT_EQ(GetPixel(c.dc, 3, 3), kCanvas);

  // No background colour, or a style that keeps transparency: as ImageList_Draw.
  struct Case {
    COLORREF bk;
    UINT style;
  } cases[] = {{CLR_NONE, ILD_NORMAL},       {CLR_DEFAULT, ILD_NORMAL},
               {kBk, ILD_TRANSPARENT},       {kBk, ILD_MASK}};
  for (const Case& k : cases) {
    Canvas ex, plain;
    ASSERT_TRUE(ImageList_DrawEx(list, 0, ex.dc, 1, 1, 0, 0, k.bk, CLR_NONE, k.style));
    ASSERT_TRUE(ImageList_Draw(list, 0, plain.dc, 1, 1, k.style));
    EXPECT_TRUE(ex.SameAs(plain)) << k.bk << " " << k.style;
  }
  ImageList_Destroy(list);
}

TEST(ImageListDrawEx, SizeLimitsThePartDrawnAndBadInputFails) {
  HIMAGELIST list = MaskedList();
  Canvas c;
  ASSERT_TRUE(ImageList_DrawEx(list, 0, c.dc, 0, 0, 1, 2, kBk, CLR_NONE, ILD_NORMAL));
  EXPECT_EQ(GetPixel(c.dc, 0, 0), kBk);
  EXPECT_EQ(GetPixel(c.dc, 0, 1), kImage);
  EXPECT_EQ(GetPixel(c.dc, 1, 0), kCanvas);
  EXPECT_EQ(GetPixel(c.dc, 1, 1), kCanvas);
  // The clip of the DC is left as it was.
  SetPixel(c.dc, 3, 3, kImage);
  EXPECT_EQ(GetPixel(c.dc, 3, 3), kImage);

  EXPECT_FALSE(ImageList_DrawEx(list, 1, c.dc, 0, 0, 0, 0, kBk, CLR_NONE, ILD_NORMAL));
  EXPECT_FALSE(ImageList_DrawEx(list, -1, c.dc, 0, 0, 0, 0, kBk, CLR_NONE, ILD_NORMAL));
  EXPECT_FALSE(ImageList_DrawEx(nullptr, 0, c.dc, 0, 0, 0, 0, kBk, CLR_NONE, ILD_NORMAL));
  ImageList_Destroy(list);
}

}  // namespace
