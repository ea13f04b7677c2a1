// The built-in system bitmaps: OBM_CHECK from a null module.
#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/user/windows.h"

namespace {

TEST(SystemBitmap, CheckMarkIsSharedMonochromeAndSurvivesDelete) {
  size_t objects = platform::GdiObjectCount();
  auto check = static_cast<HBITMAP>(
      LoadImageW(nullptr, MAKEINTRESOURCEW(OBM_CHECK), IMAGE_BITMAP, 0, 0, 0));
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(OBM_CHECK), IMAGE_BITMAP, 0, 0, 0), check);
  EXPECT_EQ(platform::GdiObjectCount(), objects);  // shared: not counted
  BITMAP info{};
  ASSERT_EQ(GetObjectW(check, sizeof(info), &info), static_cast<int>(sizeof(info)));
  EXPECT_EQ(info.bmBitsPixel, 1);
  EXPECT_EQ(info.bmWidth, 13);
  EXPECT_EQ(info.bmHeight, 13);

  // Copied onto colour: the mark in the text colour on the background
  // colour; it has marked pixels and a clear border.
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 13, -13, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP canvas = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HDC source = CreateCompatibleDC(nullptr);
  HGDIOBJ old_canvas = SelectObject(dc, canvas);
  HGDIOBJ old_source = SelectObject(source, check);
  SetTextColor(dc, RGB(0, 0, 255));
  SetBkColor(dc, RGB(0, 255, 0));
  ASSERT_TRUE(BitBlt(dc, 0, 0, 13, 13, source, 0, 0, SRCCOPY));
  int marked = 0;
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 13; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      EXPECT_TRUE(c == RGB(0, 0, 255) || c == RGB(0, 255, 0));
      if (c == RGB(0, 0, 255)) ++marked;
      if (x == 0 || y == 0 || x == 12 || y == 12) {
        EXPECT_EQ(c, RGB(0, 255, 0));
      }
    }
  EXPECT_GT(marked, 15);
  SelectObject(source, old_source);
  SelectObject(dc, old_canvas);
  DeleteDC(source);
  DeleteDC(dc);
  DeleteObject(canvas);

  EXPECT_TRUE(DeleteObject(check));  // a shared bitmap stays
  ASSERT_EQ(GetObjectW(check, sizeof(info), &info), static_cast<int>(sizeof(info)));
  // Another system id, or a named bitmap without a module: nothing.
  EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(0x7FF7), IMAGE_BITMAP, 0, 0, 0), nullptr);
  EXPECT_EQ(LoadImageW(nullptr, u"CHECK", IMAGE_BITMAP, 0, 0, 0), nullptr);
}

}  // namespace
