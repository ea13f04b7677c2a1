#include "foundation/WuUIBitmap.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuStatus.h"
#include "foundation/WuUIColor.h"
#include "platform/kernel/resource.h"
#include "tests/common/TestUtil.h"

namespace {

using Bytes = std::vector<BYTE>;

// A 4-bit bitmap of 8 x 1 pixels with the indexes 0, 7, 8, 15, 11, 10, 1, 2
// and a palette whose entry i is RGB(i, i, i). `colors` sets biClrUsed.
Bytes FourBit(DWORD colors = 0, int bits = 4) {
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = 8;
  h.biHeight = 1;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bits);
  h.biClrUsed = colors;
  Bytes out(sizeof h);
  std::memcpy(out.data(), &h, sizeof h);
  const DWORD entries = colors ? colors : 16;
  for (DWORD i = 0; i < entries; ++i) out.insert(out.end(), {BYTE(i), BYTE(i), BYTE(i), 0});
  out.insert(out.end(), {0x07, 0x8F, 0xBA, 0x12});
  return out;
}

void AddResource(LPCWSTR type, WORD id, const Bytes& bytes) {
  platform::ResourceItem item{type, MAKEINTRESOURCEW(id), 1033, bytes.data(),
                              static_cast<DWORD>(bytes.size())};  // the bytes are copied
  ASSERT_TRUE(platform::AddModuleResources(nullptr, &item, 1));
}

// A memory DC holding a new 32-bit bitmap of w x h filled with `fill`.
struct Canvas {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  Canvas(int w, int h, COLORREF fill) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateBitmap(w, h, 1, 32, nullptr);
    old = SelectObject(dc, bitmap);
    HBRUSH b = CreateSolidBrush(fill);
    RECT r{0, 0, w, h};
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
};

TEST(WuUIBitmap, LoadReplacesTheSixPaletteEntries) {
  AddResource(RT_BITMAP, 501, FourBit());
  const COLORREF c[6] = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200),
                         RGB(200, 200, 0), RGB(0, 200, 200), RGB(200, 0, 200)};
  HBITMAP bmp = WuLoadUIBitmapEx(nullptr, MAKEINTRESOURCEW(501), c[0], c[1], c[2], c[3], c[4], c[5]);
  ASSERT_NE(bmp, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  // Pixels hold indexes 0, 7, 8, 15, 11, 10 (the six arguments in order), then 1, 2.
  for (int x = 0; x < 6; ++x) EXPECT_EQ(GetPixel(dc, x, 0), c[x]) << x;
  EXPECT_EQ(GetPixel(dc, 6, 0), RGB(1, 1, 1));
  EXPECT_EQ(GetPixel(dc, 7, 0), RGB(2, 2, 2));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bmp);
}

TEST(WuUIBitmap, LoadRefusesBitmapsWithoutTheColourTable) {
  Bytes cut = FourBit();
  cut.pop_back();
  Bytes core(12, 0);  // an old-style 12-byte header
  core[0] = 12;
  struct Case {
    WORD id;
    Bytes bytes;
  } cases[] = {
      {510, FourBit(8)},      // 8 palette entries: entries 8..15 would be written past it
      {511, cut},             // rows end outside the resource
      {512, FourBit(0, 24)},  // no colour table at all
      {513, core},
  };
  const size_t before = platform::GdiObjectCount();
  for (const Case& k : cases) {
    SCOPED_TRACE(k.id);
    Bytes tight = k.bytes;
    AddResource(RT_BITMAP, k.id, tight);
    EXPECT_EQ(WuLoadUIBitmapEx(nullptr, MAKEINTRESOURCEW(k.id), 0, 0, 0, 0, 0, 0), nullptr);
  }
  EXPECT_EQ(WuLoadUIBitmapEx(nullptr, MAKEINTRESOURCEW(599), 0, 0, 0, 0, 0, 0), nullptr);
  EXPECT_EQ(platform::GdiObjectCount(), before);
}

TEST(WuUIBitmap, ColorTranslateReplacesOnlyTheBackground) {
  const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255), green = RGB(0, 255, 0);
  Canvas c(4, 3, red);
  SetPixel(c.dc, 2, 1, blue);
  BITMAP bm;
  GetObjectW(c.bitmap, sizeof bm, &bm);
  const size_t before = platform::GdiObjectCount();
  EXPECT_TRUE(WuBitmapColorTranslate(c.dc, &bm, green));
  EXPECT_EQ(c.At(0, 0), green);
  EXPECT_EQ(c.At(3, 2), green);
  EXPECT_EQ(c.At(2, 1), blue);
  // Already the colour: nothing changes.
  SetPixel(c.dc, 3, 2, red);
  EXPECT_TRUE(WuBitmapColorTranslate(c.dc, &bm, green));
  EXPECT_EQ(c.At(3, 2), red);
  EXPECT_EQ(platform::GdiObjectCount(), before);
}

TEST(WuUIBitmap, MaskMarksAndBlackensTheKey) {
  const COLORREF key = RGB(255, 0, 255), other = RGB(10, 20, 30);
  Canvas c(3, 2, other);
  SetPixel(c.dc, 1, 0, key);
  SetPixel(c.dc, 2, 1, key);
  SelectObject(c.dc, c.old);  // the bitmap must be free to select
  const size_t before = platform::GdiObjectCount();
  HBITMAP mask = WuCreateBitmapMask(nullptr, c.bitmap, key);
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(platform::GdiObjectCount(), before + 1);
  HDC m = CreateCompatibleDC(nullptr);
  HGDIOBJ oldMask = SelectObject(m, mask);
  SelectObject(c.dc, c.bitmap);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const bool isKey = (x == 1 && y == 0) || (x == 2 && y == 1);
      EXPECT_EQ(GetPixel(m, x, y), isKey ? RGB(255, 255, 255) : RGB(0, 0, 0)) << x << "," << y;
      EXPECT_EQ(c.At(x, y), isKey ? RGB(0, 0, 0) : other) << x << "," << y;
    }
  SelectObject(m, oldMask);
  DeleteDC(m);
  DeleteObject(mask);
}

TEST(WuUIBitmap, ExtractResourceToFile) {
  const std::string dir = wutest::MakeTempDir("extract");
  const std::string path = dir + "/out.bin";
  wutest::WriteBytes(path, std::string(100, 'x'));  // longer than the resource: cut
  Bytes data = {1, 2, 3, 0, 5};
  AddResource(RT_RCDATA, 520, data);
  EXPECT_EQ(WuExtractResourceToFile(nullptr, MAKEINTRESOURCEW(520), RT_RCDATA,
                                    wutest::U16(path).c_str()),
            S_OK);
  EXPECT_EQ(wutest::ReadBytes(path), std::string("\1\2\3\0\5", 5));
  EXPECT_EQ(WuExtractResourceToFile(nullptr, MAKEINTRESOURCEW(521), RT_RCDATA,
                                    wutest::U16(path).c_str()),
            WU_E_NOT_FOUND);
  EXPECT_EQ(WuExtractResourceToFile(nullptr, MAKEINTRESOURCEW(520), RT_RCDATA,
                                    wutest::U16(dir + "/missing/out.bin").c_str()),
            WU_E_OPEN_FILE);
  // A write that fails part-way leaves the old file; a replacing one keeps
  // its permission bits.
  AddResource(RT_RCDATA, 522, Bytes(8192, 7));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  {
    wutest::FileSizeLimit limit(1000);
    EXPECT_EQ(WuExtractResourceToFile(nullptr, MAKEINTRESOURCEW(522), RT_RCDATA,
                                      wutest::U16(path).c_str()),
              WU_E_WRITE);
  }
  EXPECT_EQ(wutest::ReadBytes(path), std::string("\1\2\3\0\5", 5));
  EXPECT_EQ(WuExtractResourceToFile(nullptr, MAKEINTRESOURCEW(522), RT_RCDATA,
                                    wutest::U16(path).c_str()),
            S_OK);
  EXPECT_EQ(wutest::ReadBytes(path), std::string(8192, 7));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(WuUIBitmap, ExtractResourceToFileTakesColonsDeepFoldersAndLinks) {
  const std::string dir = wutest::MakeTempDir("extract");
  AddResource(RT_RCDATA, 523, Bytes{9, 8, 7});
  std::string deep = dir;
  while (deep.size() < 256) {
    deep += "/" + std::string(40, 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir + "/real").c_str(), 0755), 0);
  wutest::WriteBytes(dir + "/real/r.bin", "old");
  ASSERT_EQ(symlink("real/r.bin", (dir + "/link.bin").c_str()), 0);
  for (const std::string& name : {dir + "/sub/12:30.bin", deep + "/out.bin", dir + "/link.bin"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(WuExtractResourceToFile(nullptr, MAKEINTRESOURCEW(523), RT_RCDATA,
                                      wutest::U16(name).c_str()),
              S_OK);
    EXPECT_EQ(wutest::ReadBytes(name), "\x09\x08\x07");
  }
  struct stat st;
  ASSERT_EQ(lstat((dir + "/link.bin").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(wutest::ReadBytes(dir + "/real/r.bin"), "\x09\x08\x07");
  // A name longer than the file system takes is a file that cannot be
  // opened, not a failed write.
  EXPECT_EQ(WuExtractResourceToFile(nullptr, MAKEINTRESOURCEW(523), RT_RCDATA,
                                    wutest::U16(dir + "/" + std::string(300, 'n')).c_str()),
            WU_E_OPEN_FILE);
}

TEST(WuUIBitmap, MarkerShapes) {
  const COLORREF bk = RGB(255, 255, 255), ink = RGB(0, 90, 150);
  const size_t before = platform::GdiObjectCount();
  // Rectangle 10 x 12 at (0, 0): R = 9, B = 11.
  const RECT r{0, 0, 10, 12};
  struct Case {
    int type, point;
    POINT painted, blank;  // a pixel inside the shape and one the point cuts away
  } cases[] = {
      {0, 6, {0, 11}, {9, 11}},   // point hangs at the bottom left
      {1, 6, {9, 11}, {0, 11}},   // point hangs at the bottom right
      {2, 6, {0, 1}, {9, 1}},     // top edge slopes down to the right
      {3, 6, {9, 1}, {0, 1}},     // top edge slopes up to the right
      {0, 40, {9, 11}, {10, 11}}, // point taller than the marker: four-sided
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.type * 100 + k.point);
    Canvas c(16, 16, bk);
    EXPECT_EQ(WuMarker_Create(c.dc, &r, k.type, ink, k.point), 0);
    EXPECT_NE(c.At(k.painted.x, k.painted.y), bk);
    EXPECT_EQ(c.At(k.blank.x, k.blank.y), bk);
  }
  {  // Types 4..7 add an inner rectangle of the face colour.
    Canvas c(16, 16, bk);
    WuMarker_Create(c.dc, &r, 4, ink, 40);
    EXPECT_EQ(c.At(4, 4), WuGetUIColor(15));
  }
  EXPECT_EQ(platform::GdiObjectCount(), before);
}

TEST(WuUIBitmap, FillRectWithBkColor) {
  Canvas c(8, 8, RGB(0, 0, 0));
  SetBkColor(c.dc, RGB(1, 2, 3));
  RECT r{2, 2, 5, 5};
  WuFillRectWithBkColor(c.dc, &r);
  EXPECT_EQ(c.At(2, 2), RGB(1, 2, 3));
  EXPECT_EQ(c.At(4, 4), RGB(1, 2, 3));
  EXPECT_EQ(c.At(5, 5), RGB(0, 0, 0));
}

}  // namespace
