// Vertical flip, red/blue swap, rectangle fill and single pixels.
#include "imaging/WuDibPixelOps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/WuColorQuantize.h"
#include "tests/imaging/DibFixture.h"

namespace {

using wutest::FillPattern;
using wutest::MakeDib;
using wutest::Row;
using wutest::Snapshot;

TEST(DibFlip, WholeImageSwapsRowsAndRefusals) {
  auto dib = MakeDib(WUPIXEL_RGB24, 5, 10);
  FillPattern(dib.get(), 1);
  auto before = Snapshot(dib.get());
  EXPECT_EQ(WuDibFlip(dib.get(), nullptr, nullptr, 0, FALSE, TRUE), S_OK);
  const LONG rowBytes = 15;
  for (LONG y = 0; y < 10; ++y) {
    auto fresh = MakeDib(WUPIXEL_RGB24, 5, 10);
    std::memcpy(WuDibGetBits(fresh.get()), before.data(), before.size());
    EXPECT_EQ(std::memcmp(Row(dib.get(), y), Row(fresh.get(), 9 - y), rowBytes), 0) << y;
  }
  // The horizontal flag is refused and nothing changes, with or without
  // the vertical one; types 30 and 32 are not flipped.
  auto flipped = Snapshot(dib.get());
  EXPECT_EQ(WuDibFlip(dib.get(), nullptr, nullptr, 0, TRUE, FALSE), E_NOTIMPL);
  EXPECT_EQ(WuDibFlip(dib.get(), nullptr, nullptr, 0, TRUE, TRUE), E_NOTIMPL);
  EXPECT_EQ(Snapshot(dib.get()), flipped);
  for (WUPIXELTYPE t : {WUPIXEL_RGB101010, WUPIXEL_RGBA128F, WUPIXEL_GREY8}) {
    auto other = MakeDib(t, 4, 4, nullptr, 0);
    EXPECT_EQ(WuDibFlip(other.get(), nullptr, nullptr, 0, FALSE, TRUE), E_NOTIMPL) << t;
  }
}

// A sub-rectangle reverses its own rows within its columns; every pixel
// outside stays. The 4-bit case starts and ends at odd columns.
TEST(DibFlip, SubRectangleLeavesEverythingOutside) {
  struct Case {
    WUPIXELTYPE type;
    RECT rect;
  } cases[] = {{WUPIXEL_PAL4, {1, 2, 6, 7}}, {WUPIXEL_RGBA32, {2, 1, 5, 4}},
               {WUPIXEL_RGBA64, {0, 3, 7, 8}}, {WUPIXEL_PAL8, {3, 0, 4, 9}}};
  for (const auto& c : cases) {
    auto dib = MakeDib(c.type, 7, 9, nullptr, c.type == WUPIXEL_PAL4 ? 16 : 256);
    FillPattern(dib.get(), 7);
    BYTE before[9][7][8];
    for (LONG y = 0; y < 9; ++y)
      for (LONG x = 0; x < 7; ++x) ASSERT_EQ(WuDibGetPixel(dib.get(), nullptr, 0, x, y, before[y][x]), S_OK);
    ASSERT_EQ(WuDibFlip(dib.get(), nullptr, &c.rect, 0, FALSE, TRUE), S_OK);
    for (LONG y = 0; y < 9; ++y) {
      for (LONG x = 0; x < 7; ++x) {
        BYTE now[8];
        WuDibGetPixel(dib.get(), nullptr, 0, x, y, now);
        bool inside = x >= c.rect.left && x < c.rect.right && y >= c.rect.top && y < c.rect.bottom;
        LONG from = inside ? c.rect.top + c.rect.bottom - 1 - y : y;
        EXPECT_EQ(std::memcmp(now, before[from][x], 8), 0) << c.type << " " << x << "," << y;
      }
    }
  }
}

TEST(DibSwapRB, SwapsOnlyTheRectanglesPixels) {
  for (WUPIXELTYPE t : {WUPIXEL_RGB24, WUPIXEL_RGB32, WUPIXEL_RGBA32}) {
    auto dib = MakeDib(t, 6, 5);
    FillPattern(dib.get(), 3);
    auto before = Snapshot(dib.get());
    RECT rect = {2, 1, 5, 3};
    ASSERT_EQ(WuDibSwapRB(dib.get(), nullptr, &rect, 0), S_OK);
    const int bytes = t == WUPIXEL_RGB24 ? 3 : 4;
    auto fresh = MakeDib(t, 6, 5);
    std::memcpy(WuDibGetBits(fresh.get()), before.data(), before.size());
    for (LONG y = 0; y < 5; ++y) {
      for (LONG x = 0; x < 6; ++x) {
        const BYTE* now = Row(dib.get(), y) + x * bytes;
        const BYTE* was = Row(fresh.get(), y) + x * bytes;
        bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
        EXPECT_EQ(now[0], inside ? was[2] : was[0]);
        EXPECT_EQ(now[2], inside ? was[0] : was[2]);
        EXPECT_EQ(now[1], was[1]);
        if (bytes == 4) {
          EXPECT_EQ(now[3], was[3]);
        }
      }
    }
  }
  for (WUPIXELTYPE t : {WUPIXEL_RGB101010, WUPIXEL_GREY8, WUPIXEL_PAL1, WUPIXEL_RGBA64}) {
    auto dib = MakeDib(t, 4, 4, nullptr, t == WUPIXEL_PAL1 ? 2 : 0);
    EXPECT_EQ(WuDibSwapRB(dib.get(), nullptr, nullptr, 0), E_NOTIMPL) << t;
  }
}

// Fill: each lane form, clamping in integer lanes, the rectangle's edges.
TEST(DibSet, FillsTheRectangleInEachLaneForm) {
  struct Case {
    WUPIXELTYPE type;
    DWORD flags;
    float rgba[4];
    std::vector<BYTE> pixel;  // bytes of one stored pixel
  };
  auto floats = [](float b, float g, float r, float a) {
    std::vector<BYTE> v(16);
    float f[4] = {b, g, r, a};
    std::memcpy(v.data(), f, 16);
    return v;
  };
  const Case cases[] = {
      // 8-bit lanes: x 255 truncated, out-of-range values clamped.
      {WUPIXEL_RGBA32, 0, {1.0f, 0.5f, 0.0f, 1.0f}, {0, 127, 255, 255}},
      {WUPIXEL_RGBA32, 1, {1.5f, -0.5f, 0.25f, 2.0f}, {63, 0, 255, 255}},
      {WUPIXEL_RGB24, 0, {0.2f, 0.4f, 0.6f, 1.0f}, {153, 102, 51}},
      // 16-bit lanes: x 65535 truncated.
      {WUPIXEL_RGBA64, 0, {0.5f, 1.0f, 0.0f, 1.0f}, {0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF}},
      // Float lanes keep the values as given.
      {WUPIXEL_RGBA128F, 0, {1.5f, -0.25f, 0.5f, 1.0f}, floats(0.5f, -0.25f, 1.5f, 1.0f)},
  };
  for (const auto& c : cases) {
    auto dib = MakeDib(c.type, 7, 4);
    FillPattern(dib.get(), 5);
    auto before = Snapshot(dib.get());
    auto fresh = MakeDib(c.type, 7, 4);
    std::memcpy(WuDibGetBits(fresh.get()), before.data(), before.size());
    RECT rect = {1, 1, 7, 3};  // six pixels a row: a run of four and two
    ASSERT_EQ(WuDibSet(dib.get(), nullptr, &rect, 0, c.rgba[0], c.rgba[1], c.rgba[2], c.rgba[3], c.flags),
              S_OK);
    const size_t bytes = c.pixel.size();
    for (LONG y = 0; y < 4; ++y) {
      for (LONG x = 0; x < 7; ++x) {
        bool inside = x >= 1 && y >= 1 && y < 3;
        const BYTE* expect = inside ? c.pixel.data() : Row(fresh.get(), y) + x * bytes;
        EXPECT_EQ(std::memcmp(Row(dib.get(), y) + x * bytes, expect, bytes), 0)
            << c.type << " " << x << "," << y;
      }
    }
  }
}

TEST(DibSet, SubpixelRectangleRecordPaletteAndErrors) {
  auto dib = MakeDib(WUPIXEL_RGB32, 4, 4);
  RECT q14 = {0x4000, 0x4000 + 0x1000, 0x8000 + 0x3FFF, 0xC000};  // pixels (1,1)-(2,3)
  WURGBAFLOAT color = {0.0f, 0.0f, 1.0f, 1.0f};                  // blue, green, red, alpha
  ASSERT_EQ(WuDibFillRect(dib.get(), nullptr, &q14, 0, &color, WUDIB_SUBPIXEL), S_OK);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 4; ++x)
      EXPECT_EQ(Row(dib.get(), y)[x * 4 + 2], (x == 1 && (y == 1 || y == 2)) ? 255 : 0) << x << y;

  // Palette bitmaps store the nearest entry.
  RGBQUAD bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  auto pal = MakeDib(WUPIXEL_PAL8, 5, 2, bw, 2);
  ASSERT_EQ(WuDibSet(pal.get(), nullptr, nullptr, 0, 0.9f, 0.8f, 0.9f, 1.0f, 0), S_OK);
  for (LONG x = 0; x < 5; ++x) EXPECT_EQ(Row(pal.get(), 1)[x], 1);
  pal->biClrUsed = 0;
  EXPECT_EQ(WuDibSet(pal.get(), nullptr, nullptr, 0, 0, 0, 0, 1, 0), E_INVALIDARG);
  // An empty rectangle is success; an unknown type is not provided.
  RECT outside = {5, 0, 9, 2};
  EXPECT_EQ(WuDibSet(pal.get(), nullptr, &outside, 0, 0, 0, 0, 1, 0), S_OK);
  BITMAPINFOHEADER yuv = *dib;
  yuv.biCompression = WU_FOURCC_UYVY;
  yuv.biBitCount = 16;
  EXPECT_EQ(WuDibSet(&yuv, nullptr, nullptr, 0, 0, 0, 0, 1, 0), E_NOTIMPL);
}

// Single pixels: 16-bit lanes whatever the type, the bounds, round trips.
TEST(DibPixel, GetAndSetThroughSixteenBitLanes) {
  struct Case {
    WUPIXELTYPE type;
    std::vector<BYTE> stored;  // a stored pixel
    WORD lanes[4];             // blue, green, red, alpha read back
  } cases[] = {
      {WUPIXEL_RGBA32, {0x10, 0x80, 0xFF, 0x40}, {0x1010, 0x8080, 0xFFFF, 0x4040}},
      {WUPIXEL_RGBA64, {1, 2, 3, 4, 5, 6, 0xFF, 0xFF}, {0x0201, 0x0403, 0x0605, 0xFFFF}},
      {WUPIXEL_GREY8, {0x80}, {0x8080, 0x8080, 0x8080, 0xFFFF}},
  };
  for (const auto& c : cases) {
    auto dib = MakeDib(c.type, 3, 2);
    const size_t bytes = c.stored.size();
    std::memcpy(Row(dib.get(), 1) + 2 * bytes, c.stored.data(), bytes);
    BYTE got[8];
    ASSERT_EQ(WuDibGetPixel(dib.get(), nullptr, 0, 2, 1, got), S_OK);
    EXPECT_EQ(std::memcmp(got, c.lanes, 8), 0) << c.type;
    // Writing the lanes elsewhere stores the same bytes.
    ASSERT_EQ(WuDibSetPixel(dib.get(), nullptr, 0, 0, 0, got), S_OK);
    EXPECT_EQ(std::memcmp(Row(dib.get(), 0), c.stored.data(), bytes), 0) << c.type;
    // x equal to the width, and negative coordinates.
    EXPECT_EQ(WuDibGetPixel(dib.get(), nullptr, 0, 3, 0, got), E_NOTIMPL);
    EXPECT_EQ(WuDibSetPixel(dib.get(), nullptr, 0, 3, 0, got), E_INVALIDARG);
    EXPECT_EQ(WuDibGetPixel(dib.get(), nullptr, 0, 0, -1, got), E_NOTIMPL);
    EXPECT_EQ(WuDibSetPixel(dib.get(), nullptr, 0, 0, 2, got), E_INVALIDARG);
  }
  // Sub-byte pixels are addressed by their bit offset.
  auto grey = MakeDib(WUPIXEL_GREY4, 5, 1);
  const WORD white[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
  ASSERT_EQ(WuDibSetPixel(grey.get(), nullptr, 0, 3, 0, reinterpret_cast<const BYTE*>(white)), S_OK);
  EXPECT_EQ(Row(grey.get(), 0)[0], 0x00);
  EXPECT_EQ(Row(grey.get(), 0)[1], 0x0F);
}

}  // namespace
