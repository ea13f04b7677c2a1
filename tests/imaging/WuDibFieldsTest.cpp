// Field merging and the de-interlacing copy.
#include "imaging/WuDibFields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/kernel/memory.h"
#include "tests/imaging/DibFixture.h"

namespace {

using wutest::FillPattern;
using wutest::MakeDib;
using wutest::Row;
using wutest::Snapshot;

// Field 1 holds lines 0, 2, ...; field 0 lines 1, 3, .... The last
// sub-byte pixels of a row are copied too.
TEST(MergeFields, CopiesTheFieldsLines) {
  struct Case {
    WUPIXELTYPE type;
    LONG width, height;
    int field;
    std::vector<LONG> lines;  // lines (from the top) taken from the source
  } cases[] = {{WUPIXEL_RGB24, 5, 4, 1, {0, 2}},  {WUPIXEL_RGB24, 5, 3, 1, {0, 2}},
               {WUPIXEL_RGB24, 5, 4, 0, {1, 3}},  {WUPIXEL_GREY8, 3, 1, 0, {}},
               {WUPIXEL_GREY8, 3, 1, 1, {0}},     {WUPIXEL_GREY1, 13, 4, 0, {1, 3}}};
  for (const auto& c : cases) {
    auto src = MakeDib(c.type, c.width, c.height);
    auto dst = MakeDib(c.type, c.width, c.height);
    FillPattern(src.get(), 1);
    FillPattern(dst.get(), 2);
    auto before = Snapshot(dst.get());
    ASSERT_EQ(WuDibMergeFields(dst.get(), nullptr, 0, src.get(), nullptr, 0, c.field, 0), S_OK);
    const LONG stride = wutest::Stride(dst.get());
    const size_t used = (static_cast<size_t>(dst->biBitCount) * c.width + 7) / 8;
    for (LONG y = 0; y < c.height; ++y) {
      bool taken = std::find(c.lines.begin(), c.lines.end(), y) != c.lines.end();
      const BYTE* was = before.data() + (c.height - 1 - y) * stride;
      EXPECT_EQ(std::memcmp(Row(dst.get(), y), taken ? Row(src.get(), y) : was, used), 0)
          << c.type << " h" << c.height << " line " << y;
      // Padding after the row's pixels is never touched.
      EXPECT_EQ(std::memcmp(Row(dst.get(), y) + used, was + used, stride - used), 0);
    }
  }
  auto a = MakeDib(WUPIXEL_RGB24, 4, 4), b = MakeDib(WUPIXEL_RGB24, 4, 5), c = MakeDib(WUPIXEL_RGB32, 4, 4);
  EXPECT_EQ(WuDibMergeFields(a.get(), nullptr, 0, b.get(), nullptr, 0, 1, 0), E_NOTIMPL);
  EXPECT_EQ(WuDibMergeFields(a.get(), nullptr, 0, c.get(), nullptr, 0, 1, 0), E_NOTIMPL);
}

TEST(MergeFieldsRotated, CopiesColumnsAtThirtyTwoAndOneTwentyEightBits) {
  for (WUPIXELTYPE t : {WUPIXEL_RGBA32, WUPIXEL_RGBA128F}) {
    for (LONG width : {4, 5}) {
      auto src = MakeDib(t, width, 3), dst = MakeDib(t, width, 3);
      FillPattern(src.get(), 3);
      FillPattern(dst.get(), 4);
      auto before = Snapshot(dst.get());
      ASSERT_EQ(WuDibMergeFieldsRotated(dst.get(), nullptr, 0, src.get(), nullptr, 0, 1, 0), S_OK);
      const size_t px = dst->biBitCount / 8;
      for (LONG y = 0; y < 3; ++y)
        for (LONG x = 0; x < width; ++x) {
          // Field 1 holds the rightmost column and every second one left of it.
          bool taken = (width - 1 - x) % 2 == 0;
          const BYTE* was = before.data() + (2 - y) * wutest::Stride(dst.get()) + x * px;
          EXPECT_EQ(std::memcmp(Row(dst.get(), y) + x * px, taken ? Row(src.get(), y) + x * px : was, px), 0)
              << t << " w" << width << " " << x;
        }
    }
  }
  auto a = MakeDib(WUPIXEL_RGB24, 4, 4), b = MakeDib(WUPIXEL_RGB24, 4, 4);
  FillPattern(b.get(), 5);
  auto before = Snapshot(a.get());
  EXPECT_EQ(WuDibMergeFieldsRotated(a.get(), nullptr, 0, b.get(), nullptr, 0, 1, 0), E_NOTIMPL);
  EXPECT_EQ(Snapshot(a.get()), before);
}

// Layouts the depth table does not know (YUV, an unknown compression) have
// no rows of bits x width: both merges refuse them and touch nothing, even
// when the two headers agree.
TEST(MergeFields, RefusesLayoutsWithoutADepth) {
  auto yuvSrc = MakeDib(WUPIXEL_YUYV, 1, 15), yuvDst = MakeDib(WUPIXEL_YUYV, 1, 15);
  const DWORD yuvBytes = yuvDst->biSizeImage;
  const std::vector<BYTE> yuvBefore(WuDibGetBits(yuvDst.get()), WuDibGetBits(yuvDst.get()) + yuvBytes);
  EXPECT_EQ(WuDibMergeFields(yuvDst.get(), nullptr, 0, yuvSrc.get(), nullptr, 0, 0, 0), E_NOTIMPL);
  EXPECT_EQ(std::memcmp(WuDibGetBits(yuvDst.get()), yuvBefore.data(), yuvBytes), 0);
  auto src = MakeDib(WUPIXEL_RGBA32, 4, 3), dst = MakeDib(WUPIXEL_RGBA32, 4, 3);
  FillPattern(src.get(), 6);
  src->biCompression = dst->biCompression = 0x58585858;  // "XXXX"
  auto before = Snapshot(dst.get());
  EXPECT_EQ(WuDibMergeFields(dst.get(), nullptr, 0, src.get(), nullptr, 0, 1, 0), E_NOTIMPL);
  EXPECT_EQ(WuDibMergeFieldsRotated(dst.get(), nullptr, 0, src.get(), nullptr, 0, 1, 0), E_NOTIMPL);
  EXPECT_EQ(Snapshot(dst.get()), before);
}

// Keeping field 1 of a 4-line image: lines 0 and 2 copied, line 1 the
// average of 0 and 2, line 3 a copy of line 2.
TEST(CopyInterlace, RebuildsTheOtherField) {
  auto src = MakeDib(WUPIXEL_RGBA32, 5, 4);
  const BYTE lines[4] = {10, 99, 50, 77};
  for (LONG y = 0; y < 4; ++y) std::memset(Row(src.get(), y), lines[y], 20);
  for (WUPIXELTYPE t : {WUPIXEL_RGBA32, WUPIXEL_RGBA64}) {
    auto dst = MakeDib(t, 5, 4);
    ASSERT_EQ(WuDibCopyInterlace(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 1, 0), S_OK);
    const size_t px = dst->biBitCount / 8;
    const BYTE want[4] = {10, 30, 50, 50};
    for (LONG y = 0; y < 4; ++y)
      for (LONG x = 0; x < 5; ++x)
        EXPECT_EQ(Row(dst.get(), y)[x * px + px - 1], want[y]) << t << " line " << y;  // high byte of red/alpha
  }
  auto a = MakeDib(WUPIXEL_RGB24, 10, 10), b = MakeDib(WUPIXEL_RGB24, 10, 11);
  RECT ra = {0, 0, 10, 10}, rb = {0, 0, 10, 11};
  EXPECT_EQ(WuDibCopyInterlace(a.get(), nullptr, &ra, 0, b.get(), nullptr, &rb, 0, 1, 0), E_NOTIMPL);
  BITMAPINFOHEADER yuv = *a;
  yuv.biCompression = WU_FOURCC_UYVY;
  yuv.biBitCount = 16;
  EXPECT_EQ(WuDibCopyInterlace(a.get(), nullptr, nullptr, 0, &yuv, WuDibGetBits(b.get()), nullptr, 0, 1, 0),
            E_NOTIMPL);
}

// A palette destination: pixels through the colour table, which is freed
// on every path; rectangles partly outside their images stay in bounds.
TEST(CopyInterlace, PaletteDestinationAndClippedRectangles) {
  const size_t live = platform::LiveGlobalBlockCount();
  RGBQUAD bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  auto pal = MakeDib(WUPIXEL_PAL8, 4, 4, bw, 2);
  auto src = MakeDib(WUPIXEL_RGB24, 4, 4);
  std::memset(WuDibGetBits(src.get()), 230, wutest::ImageBytes(src.get()));
  ASSERT_EQ(WuDibCopyInterlace(pal.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 0, 0), S_OK);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 4; ++x) EXPECT_EQ(Row(pal.get(), y)[x], 1);
  RECT three = {0, 0, 3, 3};
  EXPECT_EQ(WuDibCopyInterlace(pal.get(), nullptr, &three, 0, src.get(), nullptr, nullptr, 0, 0, 0), E_NOTIMPL);
  pal->biClrUsed = 0;
  EXPECT_EQ(WuDibCopyInterlace(pal.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 0, 0),
            E_INVALIDARG);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), live + 2);  // the two bitmaps only

  // Rectangles reaching past their images are clipped first.
  auto dst = MakeDib(WUPIXEL_RGB24, 4, 4);
  RECT far = {2, 2, 9, 9}, near = {-5, -5, 2, 2};
  ASSERT_EQ(WuDibCopyInterlace(dst.get(), nullptr, &far, 0, src.get(), nullptr, &far, 0, 1, 0), S_OK);
  EXPECT_EQ(Row(dst.get(), 3)[3 * 3], 230);
  EXPECT_EQ(Row(dst.get(), 1)[1 * 3], 0);
  EXPECT_EQ(WuDibCopyInterlace(dst.get(), nullptr, &near, 0, src.get(), nullptr, &near, 0, 1, 0), S_OK);
  EXPECT_EQ(Row(dst.get(), 1)[1 * 3], 230);
  RECT none = {4, 4, 8, 8};
  EXPECT_EQ(WuDibCopyInterlace(dst.get(), nullptr, &none, 0, src.get(), nullptr, &none, 0, 1, 0), S_OK);
}

}  // namespace
