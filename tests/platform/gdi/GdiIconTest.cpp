// Icons and cursors: images from resource bytes, hostile bytes refused
// without reading past them, drawing with masks, directories, system and
// module cursors, image files.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/gdi/gdi.h"
#include "tests/common/TestUtil.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);

void Put16(std::vector<BYTE>& v, WORD x) {
  v.push_back(static_cast<BYTE>(x));
  v.push_back(static_cast<BYTE>(x >> 8));
}
void Put32(std::vector<BYTE>& v, DWORD x) {
  Put16(v, static_cast<WORD>(x));
  Put16(v, static_cast<WORD>(x >> 16));
}

// An 8 x 8 monochrome cursor resource with hotspot (2, 3). Each row has
// columns 0-1 transparent (AND 1, XOR 0), 2-3 black (0, 0), 4-5 white
// (0, 1) and 6-7 inverting (1, 1).
std::vector<BYTE> CursorResource(bool with_hotspot = true) {
  std::vector<BYTE> v;
  if (with_hotspot) {
    Put16(v, 2);
    Put16(v, 3);
  }
  Put32(v, 40);  // biSize
  Put32(v, 8);   // biWidth
  Put32(v, 16);  // biHeight: XOR and AND
  Put16(v, 1);   // biPlanes
  Put16(v, 1);   // biBitCount
  for (int i = 0; i < 6; ++i) Put32(v, 0);
  Put32(v, 0x000000);  // black
  Put32(v, 0xFFFFFF);  // white
  for (int row = 0; row < 8; ++row) Put32(v, 0x0F);  // XOR
  for (int row = 0; row < 8; ++row) Put32(v, 0xC3);  // AND
  return v;
}

// Heap memory of exactly the bytes' size, so that a read past the end is
// caught under AddressSanitizer.
HICON FromExactCopy(const std::vector<BYTE>& bytes, size_t size, BOOL icon) {
  std::unique_ptr<BYTE[]> copy(new BYTE[size ? size : 1]);
  std::memcpy(copy.get(), bytes.data(), size);
  return CreateIconFromResourceEx(copy.get(), static_cast<DWORD>(size), icon, 0x00030000, 0, 0, 0);
}

class Canvas {
 public:
  Canvas(int w, int h) {
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateBitmap(w, h, 1, 32, nullptr);
    old_ = SelectObject(dc_, bitmap_);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT all{0, 0, w, h};
    FillRect(dc_, &all, red);
    DeleteObject(red);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

TEST(GdiIconTest, CursorFromResourceBytesDrawsThroughItsMask) {
  const size_t start = platform::GdiObjectCount(platform::GdiKind::kIcon);
  std::vector<BYTE> bytes = CursorResource();
  HCURSOR cursor = FromExactCopy(bytes, bytes.size(), FALSE);
  ASSERT_NE(cursor, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 2u);
  EXPECT_EQ(info.yHotspot, 3u);
  BITMAP mask{};
  GetObjectW(info.hbmMask, sizeof(mask), &mask);
  EXPECT_EQ(mask.bmHeight, 16);  // monochrome: AND over XOR
  EXPECT_EQ(info.hbmColor, nullptr);
  DeleteObject(info.hbmMask);

  Canvas c(16, 16);
  ASSERT_TRUE(DrawIconEx(c.dc(), 0, 0, cursor, 0, 0, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(GetPixel(c.dc(), 0, 4), kRed);                // transparent
  EXPECT_EQ(GetPixel(c.dc(), 2, 4), RGB(0, 0, 0));        // black
  EXPECT_EQ(GetPixel(c.dc(), 5, 4), RGB(255, 255, 255));  // white
  EXPECT_EQ(GetPixel(c.dc(), 7, 4), RGB(0, 255, 255));    // inverted
  EXPECT_EQ(GetPixel(c.dc(), 8, 4), kRed);                // outside
  // Twice the size: every image pixel covers four.
  DrawIconEx(c.dc(), 0, 0, cursor, 16, 16, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(GetPixel(c.dc(), 15, 15), RGB(0, 255, 255));
  EXPECT_EQ(GetPixel(c.dc(), 5, 9), RGB(0, 0, 0));

  // The same bytes without the hotspot make an icon.
  HICON icon = FromExactCopy(CursorResource(false), bytes.size() - 4, TRUE);
  ASSERT_NE(icon, nullptr);
  ASSERT_TRUE(GetIconInfo(icon, &info));
  EXPECT_TRUE(info.fIcon);
  DeleteObject(info.hbmMask);
  EXPECT_EQ(platform::GdiObjectCount(platform::GdiKind::kIcon), start + 2);
  EXPECT_TRUE(DestroyCursor(cursor));
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
  EXPECT_EQ(platform::GdiObjectCount(platform::GdiKind::kIcon), start);
}

TEST(GdiIconTest, HostileResourceBytesAreRefused) {
  std::vector<BYTE> good = CursorResource();
  // Every truncation.
  for (size_t size = 0; size < good.size(); ++size) {
    SetLastError(0);
    EXPECT_EQ(FromExactCopy(good, size, FALSE), nullptr) << size;
  }
  // Headers that lie. Offsets count from the start of the cursor bytes.
  struct Lie {
    size_t offset;
    DWORD value;
    int width;  // 2 or 4 bytes
  } kLies[] = {
      {4, 1000, 4},          // biSize beyond the data
      {4, 39, 4},            // biSize too small
      {8, 0, 4},             // no width
      {8, 100000, 4},        // absurd width
      {8, 0x7FFFFFFF, 4},    // width that overflows a row size
      {12, 15, 4},           // odd height: no room for two halves
      {12, 0x80000000, 4},   // negative height
      {16, 2, 2},            // two planes
      {18, 3, 2},            // three bits per pixel
      {18, 32, 2},           // deeper than the bytes hold
      {20, 1, 4},            // compressed
  };
  for (const Lie& lie : kLies) {
    std::vector<BYTE> bad = good;
    for (int i = 0; i < lie.width; ++i) bad[lie.offset + i] = static_cast<BYTE>(lie.value >> (8 * i));
    EXPECT_EQ(FromExactCopy(bad, bad.size(), FALSE), nullptr) << lie.offset << " " << lie.value;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  }
  EXPECT_EQ(CreateIconFromResourceEx(good.data(), static_cast<DWORD>(good.size()), FALSE, 0x20000, 0, 0, 0),
            nullptr);
  EXPECT_EQ(CreateIconFromResourceEx(nullptr, 100, FALSE, 0x30000, 0, 0, 0), nullptr);
}

TEST(GdiIconTest, IconFromBitmapsBlendsItsAlpha) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 2;
  bi.bmiHeader.biHeight = -1;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP color = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  static_cast<uint32_t*>(bits)[0] = 0xFF0000FF;  // opaque blue
  static_cast<uint32_t*>(bits)[1] = 0x800000FF;  // half blue
  HBITMAP mask = CreateBitmap(2, 1, 1, 1, nullptr);
  ICONINFO info{TRUE, 0, 0, mask, color};
  HICON icon = CreateIconIndirect(&info);
  ASSERT_NE(icon, nullptr);
  DeleteObject(color);  // the icon has its own copy
  DeleteObject(mask);
  Canvas c(2, 1);
  DrawIconEx(c.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), RGB(0, 0, 255));
  COLORREF half = GetPixel(c.dc(), 1, 0);
  EXPECT_NEAR(GetRValue(half), 127, 1);
  EXPECT_NEAR(GetBValue(half), 128, 1);
  DestroyIcon(icon);
}

TEST(GdiIconTest, GroupDirectoryLookup) {
  std::vector<BYTE> dir;
  Put16(dir, 0);
  Put16(dir, 1);  // icons
  Put16(dir, 3);
  for (int side : {16, 32, 48}) {
    dir.push_back(static_cast<BYTE>(side));
    dir.push_back(static_cast<BYTE>(side));
    dir.push_back(0);
    dir.push_back(0);
    Put16(dir, 1);
    Put16(dir, 32);
    Put32(dir, 100);
    Put16(dir, static_cast<WORD>(side / 16 + 6));  // ids 7, 8, 9
  }
  EXPECT_EQ(LookupIconIdFromDirectoryEx(dir.data(), TRUE, 0, 0, LR_DEFAULTSIZE), 8);
  EXPECT_EQ(LookupIconIdFromDirectoryEx(dir.data(), TRUE, 48, 48, 0), 9);
  EXPECT_EQ(LookupIconIdFromDirectoryEx(dir.data(), TRUE, 10, 10, 0), 7);
  EXPECT_EQ(LookupIconIdFromDirectoryEx(dir.data(), FALSE, 32, 32, 0), 0);  // not a cursor group
}

TEST(GdiIconTest, SystemAndModuleCursorsAreShared) {
  const size_t start = platform::GdiObjectCount(platform::GdiKind::kIcon);
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), arrow);
  EXPECT_TRUE(DestroyCursor(arrow));  // shared: kept
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(arrow, &info));
  EXPECT_EQ(info.xHotspot, 0u);
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  for (LPCWSTR id : {IDC_IBEAM, IDC_WAIT, IDC_CROSS, IDC_SIZEALL, IDC_NO, IDC_HAND, IDC_HELP})
    EXPECT_NE(LoadCursorW(nullptr, id), nullptr);
  EXPECT_NE(LoadIconW(nullptr, IDI_WARNING), nullptr);
  EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(123)), nullptr);
  EXPECT_EQ(platform::GdiObjectCount(platform::GdiKind::kIcon), start);

  // A module's cursor: its group directory, then the image it names.
  std::vector<BYTE> image = CursorResource();
  std::vector<BYTE> group;
  Put16(group, 0);
  Put16(group, 2);
  Put16(group, 1);
  Put16(group, 8);
  Put16(group, 16);
  Put16(group, 1);
  Put16(group, 1);
  Put32(group, static_cast<DWORD>(image.size()));
  Put16(group, 1);
  const platform::ResourceItem items[2] = {
      {RT_GROUP_CURSOR, MAKEINTRESOURCEW(700), 0, group.data(), static_cast<DWORD>(group.size())},
      {RT_CURSOR, MAKEINTRESOURCEW(1), 0, image.data(), static_cast<DWORD>(image.size())}};
  ASSERT_TRUE(platform::AddModuleResources(nullptr, items, 2));
  HMODULE self = GetModuleHandleW(nullptr);
  HCURSOR own = LoadCursorW(self, MAKEINTRESOURCEW(700));
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(LoadCursorW(self, MAKEINTRESOURCEW(700)), own);
  ASSERT_TRUE(GetIconInfo(own, &info));
  EXPECT_EQ(info.xHotspot, 8u);  // (2, 3) on 8 x 8, scaled to 32 x 32
  EXPECT_EQ(info.yHotspot, 12u);
  DeleteObject(info.hbmMask);
  EXPECT_EQ(LoadCursorW(self, MAKEINTRESOURCEW(701)), nullptr);

  HCURSOR before = GetCursor();
  EXPECT_EQ(SetCursor(own), before);
  EXPECT_EQ(GetCursor(), own);
  SetCursor(nullptr);
}

TEST(GdiIconTest, ImageFiles) {
  std::string dir = wutest::MakeTempDir("gdi");
  // A .cur file: directory entry with the hotspot, then the image.
  std::vector<BYTE> image = CursorResource(false);
  std::vector<BYTE> cur;
  Put16(cur, 0);
  Put16(cur, 2);
  Put16(cur, 1);
  cur.insert(cur.end(), {8, 8, 0, 0});
  Put16(cur, 5);
  Put16(cur, 6);
  Put32(cur, static_cast<DWORD>(image.size()));
  Put32(cur, 22);
  cur.insert(cur.end(), image.begin(), image.end());
  wutest::WriteBytes(dir + "/x.cur", std::string(cur.begin(), cur.end()));
  std::u16string path = platform::FromLinuxPath(dir + "/x.cur");
  HCURSOR cursor = static_cast<HCURSOR>(LoadImageW(nullptr, path.c_str(), IMAGE_CURSOR, 8, 8, LR_LOADFROMFILE));
  ASSERT_NE(cursor, nullptr);
  ICONINFO info{};
  GetIconInfo(cursor, &info);
  EXPECT_EQ(info.xHotspot, 5u);
  EXPECT_EQ(info.yHotspot, 6u);
  DeleteObject(info.hbmMask);
  DestroyCursor(cursor);
  // The same file cut short is refused.
  wutest::WriteBytes(dir + "/short.cur", std::string(cur.begin(), cur.end() - 1));
  path = platform::FromLinuxPath(dir + "/short.cur");
  EXPECT_EQ(LoadImageW(nullptr, path.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE), nullptr);

  // A .bmp file: a 2 x 1 24-bit picture.
  std::vector<BYTE> bmp = {'B', 'M'};
  Put32(bmp, 14 + 40 + 8);
  Put32(bmp, 0);
  Put32(bmp, 14 + 40);
  Put32(bmp, 40);
  Put32(bmp, 2);
  Put32(bmp, 1);
  Put16(bmp, 1);
  Put16(bmp, 24);
  for (int i = 0; i < 6; ++i) Put32(bmp, 0);
  bmp.insert(bmp.end(), {0, 0, 255, 255, 0, 0, 0, 0});  // red, blue, padding
  wutest::WriteBytes(dir + "/x.bmp", std::string(bmp.begin(), bmp.end()));
  path = platform::FromLinuxPath(dir + "/x.bmp");
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  ASSERT_NE(bitmap, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  EXPECT_EQ(GetPixel(dc, 0, 0), kRed);
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 255));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
}

}  // namespace
