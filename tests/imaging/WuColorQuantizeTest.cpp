// Inverse colour tables, palette building and fading.
#include "imaging/WuColorQuantize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/kernel/memory.h"
#include "tests/imaging/DibFixture.h"

namespace {

using wutest::FillPattern;
using wutest::MakeDib;
using wutest::Row;
using wutest::Snapshot;

RGBQUAD* Palette(BITMAPINFOHEADER* dib) {
  return reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(dib) + dib->biSize);
}

std::vector<BYTE> BuildTable(const BITMAPINFOHEADER* dib) {
  BYTE* table = nullptr;
  EXPECT_EQ(WuDibCreateColorQuantizer(&table, dib), S_OK);
  std::vector<BYTE> out(table, table + WU_COLOR_CELLS);
  WuDibFreeColorQuantizer(table);
  return out;
}

TEST(ColorQuantizer, BlackAndWhiteAndDuplicates) {
  // Black, a second entry in black's cell, white.
  RGBQUAD entries[3] = {{0, 0, 0, 0}, {5, 6, 7, 0}, {255, 255, 255, 0}};
  auto dib = MakeDib(WUPIXEL_PAL8, 2, 2, entries, 3);
  auto table = BuildTable(dib.get());
  EXPECT_EQ(table[WuColorCell(120, 120, 120)], 0);  // 15 + 15 + 15 = 45
  EXPECT_EQ(table[WuColorCell(128, 128, 128)], 2);  // 16 * 3 = 48
  for (int cell = 0; cell < WU_COLOR_CELLS; ++cell) {
    int sum = (cell >> 10) + ((cell >> 5) & 31) + (cell & 31);
    ASSERT_NE(table[cell], 1) << "the duplicate is never chosen";
    ASSERT_EQ(table[cell], sum < 46.5 ? 0 : 2) << cell;
  }
}

// 256 entries in distinct cells, entry 255 included: each maps to itself
// and every cell holds a real entry.
TEST(ColorQuantizer, FullPaletteMapsEachEntryToItself) {
  std::vector<RGBQUAD> entries(256);
  for (int i = 0; i < 256; ++i)
    entries[i] = {static_cast<BYTE>((i & 7) * 32 + 4), static_cast<BYTE>(((i >> 3) & 7) * 32 + 4),
                  static_cast<BYTE>((i >> 6) * 64 + 4), 0};
  auto dib = MakeDib(WUPIXEL_PAL8, 2, 2, entries.data(), 256);
  auto table = BuildTable(dib.get());
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(table[WuColorCell(entries[i].rgbRed, entries[i].rgbGreen, entries[i].rgbBlue)], i) << i;
  // Entry 255's neighbourhood stays its own: the cell next to it.
  const RGBQUAD& e = entries[255];
  EXPECT_EQ(table[WuColorCell(e.rgbRed, e.rgbGreen, static_cast<BYTE>(e.rgbBlue + 8))], 255);
}

TEST(ColorQuantizer, Errors) {
  auto dib = MakeDib(WUPIXEL_PAL8, 2, 2, nullptr, 4);
  dib->biClrUsed = 0;
  BYTE* table = reinterpret_cast<BYTE*>(1);
  EXPECT_EQ(WuDibCreateColorQuantizer(&table, dib.get()), E_INVALIDARG);
  EXPECT_EQ(table, nullptr);
  dib->biClrUsed = 4;
  size_t live = platform::LiveGlobalBlockCount();
  platform::FailNextAllocations(1);
  EXPECT_EQ(WuDibCreateColorQuantizer(&table, dib.get()), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), live);
}

TEST(QuantizePalette, OneColourAndTheStaircase) {
  // One colour into 16 entries: one entry written, the rest left.
  auto src = MakeDib(WUPIXEL_RGB24, 6, 3);
  for (LONG y = 0; y < 3; ++y)
    for (LONG x = 0; x < 6; ++x) {
      BYTE* p = Row(src.get(), y) + x * 3;
      p[0] = 200, p[1] = 100, p[2] = 50;  // blue, green, red
    }
  std::vector<RGBQUAD> marks(16, RGBQUAD{7, 7, 7, 7});
  auto dst = MakeDib(WUPIXEL_PAL4, 2, 2, marks.data(), 16);
  ASSERT_EQ(WuDibQuantizePalette(dst.get(), src.get(), nullptr, nullptr, 0, 0), S_OK);
  EXPECT_EQ(Palette(dst.get())[0].rgbBlue, (200 >> 3) * 8);
  EXPECT_EQ(Palette(dst.get())[0].rgbGreen, (100 >> 3) * 8);
  EXPECT_EQ(Palette(dst.get())[0].rgbRed, (50 >> 3) * 8);
  EXPECT_EQ(Palette(dst.get())[0].rgbReserved, 0);
  for (int i = 1; i < 16; ++i) EXPECT_EQ(Palette(dst.get())[i].rgbRed, 7) << i;
  EXPECT_EQ(dst->biClrUsed, 16u);

  // The staircase (8r, 248 - 8r, 248) never fits 16 boxes: the search ends
  // and at most 16 entries are written (entries 16 on stay).
  auto stairs = MakeDib(WUPIXEL_RGB24, 32, 1);
  for (LONG r = 0; r < 32; ++r) {
    BYTE* p = Row(stairs.get(), 0) + r * 3;
    p[0] = 248, p[1] = static_cast<BYTE>(248 - 8 * r), p[2] = static_cast<BYTE>(8 * r);
  }
  std::vector<RGBQUAD> many(256, RGBQUAD{7, 7, 7, 7});
  auto big = MakeDib(WUPIXEL_PAL8, 2, 2, many.data(), 256);
  big->biClrUsed = 16;
  ASSERT_EQ(WuDibQuantizePalette(big.get(), stairs.get(), nullptr, nullptr, 0, 0), S_OK);
  for (int i = 16; i < 256; ++i) ASSERT_EQ(Palette(big.get())[i].rgbRed, 7) << i;
  EXPECT_EQ(Palette(big.get())[15].rgbReserved, 0);

  // Checks, in order.
  RECT outside = {6, 0, 9, 3};
  EXPECT_EQ(WuDibQuantizePalette(dst.get(), src.get(), nullptr, &outside, 0, 0), S_OK);
  EXPECT_EQ(WuDibQuantizePalette(src.get(), src.get(), nullptr, nullptr, 0, 0), E_NOTIMPL);
  dst->biClrUsed = 0;
  EXPECT_EQ(WuDibQuantizePalette(dst.get(), src.get(), nullptr, nullptr, 0, 0), E_INVALIDARG);
}

// Fade: amounts 1.0, 0 and 1.5, keep-alpha, and Q14 edges.
TEST(FadeToColor, AmountsAlphaAndEdges) {
  const WURGBAFLOAT color = {0.5f, 1.0f, 0.0f, 0.2f};  // blue, green, red, alpha
  const BYTE bytes[4] = {127, 255, 0, 51};
  struct Case {
    float amount;
    BOOL keepAlpha;
    bool changes;
  } cases[] = {{1.0f, FALSE, true}, {1.5f, FALSE, true}, {1.0f, TRUE, true}, {0.0f, FALSE, false}};
  for (const auto& c : cases) {
    auto dib = MakeDib(WUPIXEL_RGBA32, 5, 3);
    FillPattern(dib.get(), 9);
    auto before = Snapshot(dib.get());
    ASSERT_EQ(WuDibFadeToColor(dib.get(), nullptr, nullptr, 0, &color, c.amount, c.keepAlpha, 0), S_OK);
    auto after = Snapshot(dib.get());
    for (LONG y = 0; y < 3; ++y)
      for (LONG x = 0; x < 5; ++x)
        for (int i = 0; i < 4; ++i) {
          size_t at = (Row(dib.get(), y) - WuDibGetBits(dib.get())) + x * 4 + i;
          BYTE want = before[at];
          if (c.changes && (i < 3 || !c.keepAlpha)) want = bytes[i];
          EXPECT_EQ(after[at], want) << c.amount << " " << i;
        }
  }
  // 0x2000..0x6000 horizontally: columns 0 and 1, each half covered.
  auto dib = MakeDib(WUPIXEL_RGBA32, 4, 1);
  std::memset(WuDibGetBits(dib.get()), 0, 16);
  const WURGBAFLOAT white = {1.0f, 1.0f, 1.0f, 1.0f};
  RECT rect = {0x2000, 0, 0x6000, 0x4000};
  ASSERT_EQ(WuDibFadeToColor(dib.get(), nullptr, &rect, 0, &white, 1.0f, FALSE, 0x1000000), S_OK);
  const BYTE* p = Row(dib.get(), 0);
  EXPECT_NEAR(p[0], 127, 1);
  EXPECT_NEAR(p[4], 127, 1);
  EXPECT_EQ(p[8], 0);
  // Float pixels: v + (c - v) * weight, the weight with its edge coverage.
  auto f = MakeDib(WUPIXEL_RGBA128F, 2, 1);
  float* fp = reinterpret_cast<float*>(Row(f.get(), 0));
  for (int i = 0; i < 8; ++i) fp[i] = 0.25f;
  RECT half = {0, 0, 0x6000, 0x4000};  // column 1 half covered
  ASSERT_EQ(WuDibFadeToColor(f.get(), nullptr, &half, 0, &color, 0.5f, TRUE, 0x1000000), S_OK);
  EXPECT_FLOAT_EQ(fp[0], 0.25f + (0.5f - 0.25f) * 0.5f);
  EXPECT_FLOAT_EQ(fp[5], 0.25f + (1.0f - 0.25f) * 0.25f);
  EXPECT_FLOAT_EQ(fp[7], 0.25f);  // alpha kept
  auto other = MakeDib(WUPIXEL_RGB24, 2, 2);
  EXPECT_EQ(WuDibFadeToColor(other.get(), nullptr, nullptr, 0, &color, 1.0f, FALSE, 0), E_NOTIMPL);
}

// A row of 2^31 bits (256 MiB) is a bitmap a block may hold: the natural
// stride must not overflow on its way from bits x width. Two rows, the
// first two pixels of each faded; the pages in between are never touched.
TEST(FadeToColor, RowsOfTwoToTheThirtyOneBits) {
  BITMAPINFOHEADER* dib = nullptr;
  ASSERT_EQ(WuDibAlloc(&dib, WUPIXEL_RGBA32, 1 << 26, 2, nullptr, 0, 0), S_OK);
  const SIZE_T stride = SIZE_T{1} << 28;
  BYTE* rows = WuDibGetBits(dib);
  std::memset(rows, 0, 8);
  std::memset(rows + stride, 0, 8);
  const WURGBAFLOAT white = {1.0f, 1.0f, 1.0f, 1.0f};
  RECT rect = {0, 0, 2, 2};
  ASSERT_EQ(WuDibFadeToColor(dib, nullptr, &rect, 0, &white, 1.0f, FALSE, 0), S_OK);
  for (const BYTE* row : {rows, rows + stride})
    for (int i = 0; i < 8; ++i) EXPECT_EQ(row[i], 255) << i;
  WuDibFree(dib, 0);
}

// Float pixels hold values outside 0..1: the fade takes the colour as given
// there, while the byte path clamps it where it becomes bytes.
TEST(FadeToColor, FloatColourOutsideTheUnitRangeIsKept) {
  const WURGBAFLOAT color = {1.5f, -1.0f, 2.0f, 3.0f};  // blue, green, red, alpha
  auto f = MakeDib(WUPIXEL_RGBA128F, 2, 2);
  float* fp = reinterpret_cast<float*>(WuDibGetBits(f.get()));
  for (int i = 0; i < 16; ++i) fp[i] = 0.5f;
  ASSERT_EQ(WuDibFadeToColor(f.get(), nullptr, nullptr, 0, &color, 1.0f, FALSE, 0), S_OK);
  for (int p = 0; p < 4; ++p) {
    EXPECT_EQ(fp[p * 4 + 0], 1.5f) << p;
    EXPECT_EQ(fp[p * 4 + 1], -1.0f) << p;
    EXPECT_EQ(fp[p * 4 + 2], 2.0f) << p;
    EXPECT_EQ(fp[p * 4 + 3], 3.0f) << p;
  }
  auto b = MakeDib(WUPIXEL_RGBA32, 2, 2);
  std::memset(WuDibGetBits(b.get()), 128, 16);
  ASSERT_EQ(WuDibFadeToColor(b.get(), nullptr, nullptr, 0, &color, 1.0f, FALSE, 0), S_OK);
  const BYTE want[4] = {255, 0, 255, 255};
  EXPECT_EQ(std::memcmp(Row(b.get(), 0), want, 4), 0);
  EXPECT_EQ(std::memcmp(Row(b.get(), 1) + 4, want, 4), 0);
}

}  // namespace
