// Image lists: cutting bitmap strips into images, masks and drawing.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/comctl/commctrl.h"
#include "platform/kernel/error.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/resource.h"

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kBackground = RGB(10, 20, 30);

// A packed 24-bit DIB (an RT_BITMAP resource) `width` x 2 whose pixel
// (x, y), counted from the top, is colour(x, y).
template <typename F>
std::vector<BYTE> PackedDib(int width, F colour) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof(h);
  h.biWidth = width;
  h.biHeight = 2;  // bottom-up
  h.biPlanes = 1;
  h.biBitCount = 24;
  size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  std::vector<BYTE> bytes(sizeof(h) + stride * 2, 0);
  std::memcpy(bytes.data(), &h, sizeof(h));
  for (int y = 0; y < 2; ++y) {
    BYTE* row = bytes.data() + sizeof(h) + stride * static_cast<size_t>(1 - y);
    for (int x = 0; x < width; ++x) {
      COLORREF c = colour(x, y);
      row[x * 3] = GetBValue(c);
      row[x * 3 + 1] = GetGValue(c);
      row[x * 3 + 2] = GetRValue(c);
    }
  }
  return bytes;
}

// Three 2x2 images in a strip: image i is RGB(i*50+50, 0, 0) with its
// top-left pixel magenta.
std::vector<BYTE> Strip() {
  return PackedDib(7, [](int x, int y) {  // the 7th column is a partial image
    if (x % 2 == 0 && y == 0) return kMagenta;
    return RGB(static_cast<BYTE>((x / 2) * 50 + 50), 0, 0);
  });
}

// A 4x4 DIB section in a memory DC, filled with the background colour.
struct Canvas {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  Canvas() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = 4;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old = SelectObject(dc, bitmap);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) SetPixel(dc, x, y, kBackground);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

class ImageListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live_ = platform::LiveImageListCount();
    std::vector<BYTE> strip = Strip();
    platform::ResourceItem item{RT_BITMAP, MAKEINTRESOURCEW(500), 0x409, strip.data(),
                                static_cast<DWORD>(strip.size())};
    ASSERT_TRUE(platform::AddModuleResources(nullptr, &item, 1));
  }
  void TearDown() override { EXPECT_EQ(platform::LiveImageListCount(), live_); }
  HIMAGELIST Load(int cx, COLORREF mask, UINT type = IMAGE_BITMAP, UINT flags = 0) {
    return ImageList_LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(500), cx, 1, mask,
                                type, flags);
  }
  size_t live_ = 0;
};

TEST_F(ImageListTest, StripIsCutIntoMaskedImages) {
  for (UINT flags : {0u, LR_CREATEDIBSECTION}) {
    HIMAGELIST list = Load(2, kMagenta, IMAGE_BITMAP, flags);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);  // the partial column is dropped
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_EQ(cx, 2);
    EXPECT_EQ(cy, 2);

    Canvas canvas;
    ASSERT_TRUE(ImageList_Draw(list, 1, canvas.dc, 1, 1, ILD_TRANSPARENT));
    EXPECT_EQ(GetPixel(canvas.dc, 1, 1), kBackground);  // the masked pixel
    EXPECT_EQ(GetPixel(canvas.dc, 2, 1), RGB(100, 0, 0));
    EXPECT_EQ(GetPixel(canvas.dc, 2, 2), RGB(100, 0, 0));
    EXPECT_EQ(GetPixel(canvas.dc, 0, 0), kBackground);  // outside the image
    EXPECT_EQ(GetPixel(canvas.dc, 3, 3), kBackground);
    ASSERT_TRUE(ImageList_Draw(list, 2, canvas.dc, 0, 0, ILD_MASK));
    EXPECT_EQ(GetPixel(canvas.dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(canvas.dc, 1, 0), RGB(0, 0, 0));

    EXPECT_FALSE(ImageList_Draw(list, 3, canvas.dc, 0, 0, ILD_NORMAL));
    EXPECT_FALSE(ImageList_Draw(list, -1, canvas.dc, 0, 0, ILD_NORMAL));
    EXPECT_TRUE(ImageList_Destroy(list));
  }
}

TEST_F(ImageListTest, WithoutMaskColourEveryPixelIsDrawn) {
  HIMAGELIST list = Load(2, CLR_NONE);
  ASSERT_NE(list, nullptr);
  Canvas canvas;
  ASSERT_TRUE(ImageList_Draw(list, 0, canvas.dc, 0, 0, ILD_NORMAL));
  EXPECT_EQ(GetPixel(canvas.dc, 0, 0), kMagenta);
  EXPECT_TRUE(ImageList_Destroy(list));
}

TEST_F(ImageListTest, AddKeepsAppendingAndMaskBitmapWins) {
  HIMAGELIST list = ImageList_Create(2, 2, ILC_COLOR24 | ILC_MASK, 4, 4);
  ASSERT_NE(list, nullptr);
  HBITMAP strip = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(500), IMAGE_BITMAP, 0, 0, 0));
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(ImageList_AddMasked(list, strip, kMagenta), 0);
  // A monochrome mask whose white pixel is the bottom-right one.
  const BYTE mask_bits[] = {0x00, 0x00, 0x40, 0x00};  // rows of 2 bytes
  HBITMAP mask = CreateBitmap(2, 2, 1, 1, mask_bits);
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(ImageList_Add(list, strip, mask), 3);
  EXPECT_EQ(ImageList_GetImageCount(list), 6);
  Canvas canvas;
  ASSERT_TRUE(ImageList_Draw(list, 3, canvas.dc, 0, 0, ILD_NORMAL));
  EXPECT_EQ(GetPixel(canvas.dc, 0, 0), kMagenta);     // magenta is plain colour here
  EXPECT_EQ(GetPixel(canvas.dc, 1, 1), kBackground);  // the mask's white pixel
  EXPECT_EQ(ImageList_Add(list, nullptr, nullptr), -1);
  DeleteObject(mask);
  DeleteObject(strip);
  EXPECT_TRUE(ImageList_Destroy(list));
}

TEST_F(ImageListTest, BadArgumentsMakeNoList) {
  EXPECT_EQ(Load(8, CLR_NONE), nullptr);  // wider than the bitmap
  EXPECT_EQ(Load(0, CLR_NONE), nullptr);
  EXPECT_EQ(Load(2, CLR_NONE, IMAGE_ICON), nullptr);
  EXPECT_EQ(ImageList_LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(501), 2, 1, CLR_NONE,
                                 IMAGE_BITMAP, 0),
            nullptr);
  EXPECT_EQ(ImageList_Create(0, 16, ILC_COLOR32, 1, 1), nullptr);
  HIMAGELIST list = ImageList_Create(2, 2, ILC_COLOR32, 1, 1);
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(ImageList_Destroy(list));
  EXPECT_FALSE(ImageList_Destroy(list));
  EXPECT_EQ(ImageList_GetImageCount(list), 0);
}

}  // namespace
