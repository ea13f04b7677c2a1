// ImageList_GetImageInfo and ImageList_DrawIndirect: the image rectangle,
// agreement with ImageList_DrawEx without a raster operation, and the
// raster operation painting a mask through the DC's brush.
#include <gtest/gtest.h>

#include "platform/comctl/commctrl.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/error.h"

namespace {

constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr COLORREF kCanvas = RGB(10, 20, 30);
constexpr COLORREF kImage = RGB(200, 0, 0);
constexpr COLORREF kBrush = RGB(0, 90, 180);

// A 6x6 memory DC over a 32-bit DIB section in the canvas colour.
struct Canvas {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  Canvas() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 6, -6, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old = SelectObject(dc, bitmap);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x) SetPixel(dc, x, y, kCanvas);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  bool SameAs(const Canvas& other) const {
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x)
        if (GetPixel(dc, x, y) != GetPixel(other.dc, x, y)) return false;
    return true;
  }
};

// A masked list of two 3x3 images; in each the top-left pixel is
// transparent.
HIMAGELIST MaskedList() {
  Canvas source;
  HBITMAP image = CreateCompatibleBitmap(source.dc, 6, 3);
  HGDIOBJ old = SelectObject(source.dc, image);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) SetPixel(source.dc, x, y, (x % 3) + y == 0 ? kKey : kImage);
  SelectObject(source.dc, old);
  HIMAGELIST list = ImageList_Create(3, 3, ILC_COLOR32 | ILC_MASK, 2, 1);
  EXPECT_EQ(ImageList_AddMasked(list, image, kKey), 0);
  DeleteObject(image);
  return list;
}

IMAGELISTDRAWPARAMS Params(HIMAGELIST list, HDC dc, UINT style) {
  IMAGELISTDRAWPARAMS p{};
  p.cbSize = sizeof(p);
  p.himl = list;
  p.i = 1;
  p.hdcDst = dc;
  p.x = 1;
  p.y = 1;
  p.rgbBk = CLR_NONE;
  p.rgbFg = CLR_NONE;
  p.fStyle = style;
  return p;
}

TEST(ImageListIndirect, ImageInfoGivesTheImageRectangle) {
  HIMAGELIST list = MaskedList();
  IMAGEINFO info{};
  ASSERT_TRUE(ImageList_GetImageInfo(list, 1, &info));
  EXPECT_EQ(info.rcImage.left, 3);
  EXPECT_EQ(info.rcImage.right, 6);
  EXPECT_EQ(info.rcImage.bottom - info.rcImage.top, 3);
  EXPECT_FALSE(ImageList_GetImageInfo(list, 2, &info));
  EXPECT_FALSE(ImageList_GetImageInfo(list, 0, nullptr));
  ImageList_Destroy(list);
  EXPECT_FALSE(ImageList_GetImageInfo(list, 0, &info));
}

TEST(ImageListIndirect, WithoutRopDrawsAsDrawEx) {
  HIMAGELIST list = MaskedList();
  struct Case {
    COLORREF bk;
    UINT style;
    int cx;
  } cases[] = {{CLR_NONE, ILD_NORMAL, 0}, {RGB(1, 2, 3), ILD_NORMAL, 0},
               {RGB(1, 2, 3), ILD_TRANSPARENT, 0}, {CLR_NONE, ILD_MASK, 0},
               {CLR_DEFAULT, ILD_NORMAL, 2}};
  for (const Case& k : cases) {
    Canvas indirect, ex;
    IMAGELISTDRAWPARAMS p = Params(list, indirect.dc, k.style);
    p.rgbBk = k.bk;
    p.cx = k.cx;
    ASSERT_TRUE(ImageList_DrawIndirect(&p));
    ASSERT_TRUE(ImageList_DrawEx(list, 1, ex.dc, 1, 1, k.cx, 0, k.bk, CLR_NONE, k.style));
    EXPECT_TRUE(indirect.SameAs(ex)) << k.bk << " " << k.style;
  }
  // And as ImageList_Draw where that agrees.
  Canvas indirect, plain;
  IMAGELISTDRAWPARAMS p = Params(list, indirect.dc, ILD_TRANSPARENT);
  ASSERT_TRUE(ImageList_DrawIndirect(&p));
  ASSERT_TRUE(ImageList_Draw(list, 1, plain.dc, 1, 1, ILD_TRANSPARENT));
  EXPECT_TRUE(indirect.SameAs(plain));
  ImageList_Destroy(list);
}

TEST(ImageListIndirect, RopPaintsTheMaskThroughTheBrush) {
  HIMAGELIST list = MaskedList();
  Canvas c;
  HBRUSH brush = CreateSolidBrush(kBrush);
  HGDIOBJ old = SelectObject(c.dc, brush);
  // P xor (S and (D xor P)): the brush where the mask is black (the
  // image), the destination where it is white (transparent).
  IMAGELISTDRAWPARAMS p = Params(list, c.dc, ILD_MASK | ILD_ROP);
  p.dwRop = 0xB8074A;
  ASSERT_TRUE(ImageList_DrawIndirect(&p));
  EXPECT_EQ(GetPixel(c.dc, 1, 1), kCanvas);  // the transparent pixel
  EXPECT_EQ(GetPixel(c.dc, 2, 1), kBrush);
  EXPECT_EQ(GetPixel(c.dc, 3, 3), kBrush);
  EXPECT_EQ(GetPixel(c.dc, 4, 4), kCanvas);  // outside the image
  // SRCCOPY of the colour image, from an offset within it.
  Canvas copy;
  p = Params(list, copy.dc, ILD_ROP);
  p.dwRop = SRCCOPY;
  p.xBitmap = 1;
  p.cx = 2;
  ASSERT_TRUE(ImageList_DrawIndirect(&p));
  EXPECT_EQ(GetPixel(copy.dc, 1, 1), kImage);
  EXPECT_EQ(GetPixel(copy.dc, 2, 1), kImage);
  EXPECT_EQ(GetPixel(copy.dc, 3, 1), kCanvas);
  SelectObject(c.dc, old);
  DeleteObject(brush);

  // Bad records draw nothing.
  IMAGELISTDRAWPARAMS bad = Params(list, c.dc, ILD_NORMAL);
  bad.cbSize = 8;
  EXPECT_FALSE(ImageList_DrawIndirect(&bad));
  bad = Params(list, c.dc, ILD_NORMAL);
  bad.i = 2;
  EXPECT_FALSE(ImageList_DrawIndirect(&bad));
  bad = Params(list, c.dc, ILD_NORMAL);
  bad.xBitmap = 1;  // an offset needs ILD_ROP
  EXPECT_FALSE(ImageList_DrawIndirect(&bad));
  EXPECT_FALSE(ImageList_DrawIndirect(nullptr));
  ImageList_Destroy(list);
}

}  // namespace
