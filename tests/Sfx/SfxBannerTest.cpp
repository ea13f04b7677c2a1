// The package banner: loading from the package's PNG file or the built-in
// resource, and its place on a page.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "Sfx/SfxWizard.h"
#include "tests/Sfx/SfxWizardTestUtil.h"

namespace {

using namespace sfxtest;

// A PNG of one colour (8-bit RGB).
std::string SolidPng(int width, int height, BYTE red, BYTE green, BYTE blue) {
  auto put32 = [](std::string& s, uint32_t v) {
    for (int i = 3; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
  };
  auto chunk = [&](std::string& out, const char* type, const std::string& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    put32(out, static_cast<uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
  };
  std::string header;
  put32(header, static_cast<uint32_t>(width));
  put32(header, static_cast<uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw += '\0';
    for (int x = 0; x < width; ++x)
      raw += {static_cast<char>(red), static_cast<char>(green), static_cast<char>(blue)};
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  packed.resize(size);
  std::string png("\x89PNG\r\n\x1a\n", 8);
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", packed);
  chunk(png, "IEND", "");
  return png;
}

// The colour of the banner's top-left pixel.
COLORREF BannerPixel() {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, g_SfxRunState.banner);
  COLORREF c = GetPixel(memory, 0, 0);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return c;
}

// The package's PNG when it loads, else the built-in resource 107 (a 24 x 6
// image of RGB(0x20, 0x40, 0xC0) in the test program).
TEST_F(WizardTest, BannerFromFileOrBuiltIn) {
  PutFile(dir_ + "/banner.png", SolidPng(10, 3, 200, 10, 20));
  PutFile(dir_ + "/broken.png", "not a picture");
  const struct {
    std::string path;
    int width, height;
    COLORREF colour;
  } cases[] = {
      {dir_ + "/banner.png", 10, 3, RGB(200, 10, 20)},
      {"", 24, 6, RGB(0x20, 0x40, 0xC0)},
      {dir_ + "/broken.png", 24, 6, RGB(0x20, 0x40, 0xC0)},
      {dir_ + "/missing.png", 24, 6, RGB(0x20, 0x40, 0xC0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_EQ(SfxLoadBanner(U16(c.path).c_str()), S_OK);
    ASSERT_NE(g_SfxRunState.banner, nullptr);
    EXPECT_EQ(g_SfxRunState.bannerWidth, c.width);
    EXPECT_EQ(g_SfxRunState.bannerHeight, c.height);
    EXPECT_EQ(BannerPixel(), c.colour);
  }
}

// x = client width - banner width: 20 when above 40, 0 when not above 0,
// else half of it; the banner's top is at 11.
TEST_F(WizardTest, BannerPlacement) {
  const int client = 200;
  HWND window =
      CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, client, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  RECT r{};
  GetClientRect(window, &r);
  ASSERT_EQ(r.right, client);
  const struct {
    int bannerWidth;
    int x;
  } cases[] = {{client - 20, 10}, {client - 41, 20}, {client - 30, 15}, {client + 5, 0}, {client, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bannerWidth);
    PutFile(dir_ + "/b.png", SolidPng(c.bannerWidth, 4, 255, 0, 0));
    ASSERT_EQ(SfxLoadBanner(U16(dir_ + "/b.png").c_str()), S_OK);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP surface = CreateCompatibleBitmap(screen, client, 40);
    HGDIOBJ old = SelectObject(dc, surface);
    RECT all{0, 0, client, 40};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SfxPaintBanner(window, dc);
    int first = -1;
    for (int x = 0; x < client && first < 0; ++x)
      if (GetPixel(dc, x, 11) == RGB(255, 0, 0)) first = x;
    EXPECT_EQ(first, c.x);
    EXPECT_EQ(GetPixel(dc, c.x, 10), RGB(255, 255, 255)) << "nothing above the banner";
    SelectObject(dc, old);
    DeleteObject(surface);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
  }
  DestroyWindow(window);
}

}  // namespace
