// Bitmap blocks: header set-up, allocation, addressing and release.
#include "imaging/WuDib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/WuYuvLayout.h"
#include "platform/kernel/memory.h"

namespace {

constexpr WUPIXELTYPE kAllTypes[] = {16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                                     29, 30, 31, 32, 64, 65, 66, 67, 68};

// The allocated size of a bitmap block.
SIZE_T BlockSize(const BITMAPINFOHEADER* dib) { return GlobalSize(GlobalHandle(dib)); }

TEST(DibHeader, SizesColoursAndMasks) {
  alignas(4) BYTE buffer[sizeof(BITMAPINFOHEADER) + 1024];
  BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(buffer);
  DWORD size = 0;

  ASSERT_EQ(WuVideo_InitBitmapInfo(h, 27, 3, 2, nullptr, 0, &size), S_OK);
  EXPECT_EQ(size, 24u);  // rows padded from 9 to 12 bytes
  EXPECT_EQ(h->biSizeImage, 24u);
  EXPECT_EQ(h->biClrUsed, 0u);
  EXPECT_EQ(h->biSize, 40u);
  EXPECT_EQ(h->biPlanes, 1);

  ASSERT_EQ(WuVideo_InitBitmapInfo(h, 24, 5, 5, nullptr, 0, &size), S_OK);
  EXPECT_EQ(h->biClrUsed, 256u);
  ASSERT_EQ(WuVideo_InitBitmapInfo(h, 18, 5, 5, nullptr, -3, &size), S_OK);
  EXPECT_EQ(h->biClrUsed, 4u);  // a negative count counts as 0

  const DWORD* masks = reinterpret_cast<const DWORD*>(h + 1);
  ASSERT_EQ(WuVideo_InitBitmapInfo(h, 26, 5, 5, nullptr, 0, nullptr), S_OK);
  EXPECT_EQ(h->biCompression, BI_BITFIELDS);
  EXPECT_EQ(masks[0], 0xF800u);
  EXPECT_EQ(masks[1], 0x07E0u);
  EXPECT_EQ(masks[2], 0x001Fu);
  ASSERT_EQ(WuVideo_InitBitmapInfo(h, 30, 5, 5, nullptr, 7, nullptr), S_OK);
  EXPECT_EQ(masks[0], 0x3FF00000u);
  EXPECT_EQ(h->biClrUsed, 0u);  // bit fields ignore a colour count

  // YUV codes take the YUV size rule, except "Y41B", which is sized as 12-bit rows.
  ASSERT_EQ(WuVideo_InitBitmapInfo(h, 68, 1920, 1080, nullptr, 0, &size), S_OK);
  EXPECT_EQ(size, 5529600u);
  ASSERT_EQ(WuVideo_InitBitmapInfo(h, 67, 720, 576, nullptr, 0, &size), S_OK);
  EXPECT_EQ(size, 622080u);
  ASSERT_EQ(WuVideo_InitBitmapInfo(h, 66, 8, 2, nullptr, 0, &size), S_OK);
  EXPECT_EQ(size, 24u);
  // A top-down header has the size of its bottom-up twin.
  ASSERT_EQ(WuVideo_InitBitmapInfo(h, 27, 3, -2, nullptr, 0, &size), S_OK);
  EXPECT_EQ(size, 24u);
  EXPECT_EQ(h->biHeight, -2);

  DWORD offset = 0;
  ASSERT_EQ(WuDibInfo(&offset, &size, h, 24, 4, 4, nullptr, 0), S_OK);
  EXPECT_EQ(offset, 40u + 1024u);
  ASSERT_EQ(WuDibInfo(&offset, &size, h, 26, 4, 4, nullptr, 0), S_OK);
  EXPECT_EQ(offset, 52u);
}

TEST(DibHeader, RefusesBadArguments) {
  alignas(4) BYTE buffer[sizeof(BITMAPINFOHEADER) + 1024];
  BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(buffer);
  std::vector<RGBQUAD> palette(300);
  DWORD size = 99;
  const struct {
    BITMAPINFOHEADER* header;
    WUPIXELTYPE type;
    LONG width, height;
    int colors;
  } cases[] = {
      {nullptr, 27, 4, 4, 0},
      {h, 0, 4, 4, 0},
      {h, 33, 4, 4, 0},
      {h, 24, 4, 4, 257},          // more than a block's palette holds
      {h, 27, -4, 4, 0},           // negative width
      {h, 32, 0x10000, 0x10000, 0} // rows beyond 2^31 bytes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WuVideo_InitBitmapInfo(c.header, c.type, c.width, c.height, palette.data(), c.colors, &size),
              E_INVALIDARG)
        << c.type;
    EXPECT_EQ(size, 0u);
    if (!c.header) continue;  // WuDibAlloc builds its header itself
    BITMAPINFOHEADER* dib = h;
    EXPECT_EQ(WuDibAlloc(&dib, c.type, c.width, c.height, palette.data(), c.colors, 0), E_INVALIDARG);
    EXPECT_EQ(dib, nullptr);
  }
  EXPECT_EQ(WuDibAlloc(nullptr, 27, 4, 4, nullptr, 0, 0), E_POINTER);
}

// Sizes at the limits of the 32-bit width and height: each is computed
// without overflow and refused above 2^31 - 1 bytes (a single row too, even
// when the height is 0) before anything is allocated; sizes just below the
// cap are exact.
TEST(DibHeader, SizesAtTheLimitsAreExactOrRefused) {
  alignas(4) BYTE buffer[sizeof(BITMAPINFOHEADER) + 1024];
  BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(buffer);
  constexpr LONG kMaxL = 0x7FFFFFFF;
  constexpr LONG kMinL = -kMaxL - 1;
  const struct {
    WUPIXELTYPE type;
    LONG width, height;
    DWORD bytes;  // 0: refused
  } cases[] = {
      {32, 1 << 30, 1 << 30, 0},        // 128-bit pixels: 2^68 bytes
      {32, 1 << 30, kMinL, 0},          // the height's magnitude is 2^31
      {64, kMaxL, kMaxL, 0},            // "UYVY"
      {67, kMaxL, kMinL, 0},            // "I420"
      {68, kMaxL, kMinL, 0},            // "v210"
      {65, 1 << 30, 1, 0},              // "YUYV": one row of 2^31 bytes
      {32, 1 << 27, 0, 0},              // a row of 2^31 bytes and no rows
      {20, kMaxL, 1, 0},                // rows padded to 2^31 bytes
      {20, kMaxL - 3, 1, 0x7FFFFFFCu},  // the widest 8-bit row that fits
      {32, 1, kMinL + 1, 0},            // 16 x (2^31 - 1) bytes
      {64, 0x3FFFFFFF, 1, 0x7FFFFFFEu},
      {64, 46340, 23170, 2147395600u},  // 2 x w x h, just below the cap
      {67, 46340, 46340, 0},            // 1.5 x w x h: above the cap
      {67, 37836, 37836, 2147344344u},  // 1.5 x w x h: just below it
  };
  for (const auto& c : cases) {
    DWORD size = 99;
    const HRESULT hr = WuVideo_InitBitmapInfo(h, c.type, c.width, c.height, nullptr, 0, &size);
    EXPECT_EQ(hr, c.bytes ? S_OK : E_INVALIDARG) << c.type << " " << c.width << "x" << c.height;
    EXPECT_EQ(size, c.bytes) << c.type << " " << c.width << "x" << c.height;
    if (c.bytes) {
      EXPECT_EQ(h->biSizeImage, c.bytes);
      continue;
    }
    BITMAPINFOHEADER* dib = h;
    const size_t blocks = platform::LiveGlobalBlockCount();
    EXPECT_EQ(WuDibAlloc(&dib, c.type, c.width, c.height, nullptr, 0, 0), E_INVALIDARG) << c.type;
    EXPECT_EQ(dib, nullptr);
    EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks);
  }
  // A "v210" header from a file whose size passes 32 bits saturates instead
  // of wrapping to a small size.
  BITMAPINFOHEADER yuv = {};
  yuv.biCompression = WU_FOURCC_V210;
  yuv.biWidth = kMaxL;
  yuv.biHeight = kMaxL;
  EXPECT_EQ(WuYUVImageBytesAndOffsets(&yuv, nullptr), 0xFFFFFFFFu);
}

// For every code: the block holds exactly header, table and rows; the rows
// pointer and stride address every row inside it.
TEST(DibBlock, EveryTypeLaysOutInsideItsBlock) {
  const size_t before = platform::LiveGlobalBlockCount();
  for (WUPIXELTYPE type : kAllTypes) {
    for (LONG width : {1, 7, 33}) {
      BITMAPINFOHEADER* dib = nullptr;
      ASSERT_EQ(WuDibAlloc(&dib, type, width, 3, nullptr, 0, WUDIB_ZEROINIT), S_OK) << type;
      ASSERT_NE(dib, nullptr);
      EXPECT_EQ(WuGetPixelType(dib), type);
      const BYTE* start = reinterpret_cast<const BYTE*>(dib);
      const BYTE* rows = WuDibGetBits(dib);
      const SIZE_T tableBytes = dib->biCompression == BI_BITFIELDS ? 12 : 4 * dib->biClrUsed;
      EXPECT_EQ(rows, start + 40 + tableBytes) << type;
      EXPECT_EQ(BlockSize(dib), 40 + tableBytes + dib->biSizeImage) << type;
      if (type < 64) {
        const LONG stride = WuDibGetStride(dib, 0);
        EXPECT_EQ(stride % 4, 0);
        EXPECT_GE(stride * 8, width * dib->biBitCount);
        EXPECT_EQ(static_cast<DWORD>(stride * 3), dib->biSizeImage) << type;
      }
      // Zero-filled rows and a zeroed (not stale) palette.
      for (SIZE_T i = 40; i < BlockSize(dib); ++i) {
        if (dib->biCompression == BI_BITFIELDS && i < 52) continue;  // the masks
        ASSERT_EQ(start[i], 0) << type << " at " << i;
      }
      WuDibFree(dib, 0);
    }
  }
  EXPECT_EQ(platform::LiveGlobalBlockCount(), before);
}

TEST(DibBlock, PaletteIsCopiedAndAnEmptyPaletteCountsAsNone) {
  RGBQUAD palette[16];
  for (int i = 0; i < 16; ++i) palette[i] = RGBQUAD{BYTE(i), BYTE(2 * i), BYTE(3 * i), 0};
  BITMAPINFOHEADER* dib = nullptr;
  ASSERT_EQ(WuDibAlloc(&dib, 23, 9, 4, palette, 16, 0), S_OK);
  EXPECT_EQ(dib->biClrUsed, 16u);
  EXPECT_EQ(std::memcmp(dib + 1, palette, sizeof(palette)), 0);
  EXPECT_EQ(WuDibGetBits(dib), reinterpret_cast<BYTE*>(dib) + 40 + 64);
  WuDibFree(dib, 0);

  // A palette pointer with no entries: the rows must still lie where every
  // reader of an 8-bit header looks for them, inside the block.
  ASSERT_EQ(WuDibAlloc(&dib, 24, 9, 4, palette, 0, 0), S_OK);
  EXPECT_EQ(dib->biClrUsed, 256u);
  EXPECT_EQ(WuDibGetBits(dib) + dib->biSizeImage, reinterpret_cast<BYTE*>(dib) + BlockSize(dib));
  std::memset(WuDibGetBits(dib), 0x77, dib->biSizeImage);
  WuDibFree(dib, 0);
}

TEST(DibBlock, AddressingOfForeignHeaders) {
  // A header followed by room for the largest colour table it can name.
  alignas(BITMAPINFOHEADER) BYTE block[40 + 1024 + 16] = {};
  BITMAPINFOHEADER& h = *reinterpret_cast<BITMAPINFOHEADER*>(block);
  h.biSize = 40;
  h.biWidth = 33;
  h.biBitCount = 1;
  h.biCompression = BI_RGB;
  const BYTE* start = reinterpret_cast<const BYTE*>(&h);
  EXPECT_EQ(WuDibGetBits(&h), start + 40 + 8);  // 2 entries assumed
  h.biBitCount = 8;
  EXPECT_EQ(WuDibGetBits(&h), start + 40 + 1024);
  h.biClrUsed = 10;
  EXPECT_EQ(WuDibGetBits(&h), start + 40 + 40);
  h.biCompression = WU_FOURCC_WUGS;
  h.biClrUsed = 0;
  EXPECT_EQ(WuDibGetBits(&h), start + 40);
  h.biCompression = BI_BITFIELDS;
  EXPECT_EQ(WuDibGetBits(&h), start + 52);
  BYTE other[4];
  EXPECT_EQ(WuDibGetBitsOrDefault(&h, other), other);
  EXPECT_EQ(WuDibGetBitsOrDefault(&h, nullptr), start + 52);

  h.biBitCount = 1;
  EXPECT_EQ(WuDibGetStride(&h, 0), 8);  // 33 bits round up to 8 bytes
  h.biBitCount = 24;
  h.biWidth = 3;
  EXPECT_EQ(WuDibGetStride(&h, 0), 12);
  EXPECT_EQ(WuDibGetStride(&h, -12), -12);
}

TEST(DibBlock, FreeRefusesWhatIsNotABitmapBlock) {
  BITMAPINFOHEADER* dib = nullptr;
  ASSERT_EQ(WuDibAlloc(&dib, 27, 4, 4, nullptr, 0, 0), S_OK);
  const size_t live = platform::LiveGlobalBlockCount();

  BITMAPINFOHEADER onStack = {};
  onStack.biSize = 40;
  HGLOBAL fixed = GlobalAlloc(GPTR, 64);
  reinterpret_cast<BITMAPINFOHEADER*>(fixed)->biSize = 40;
  HGLOBAL unlocked = GlobalAlloc(GHND, 64);

  EXPECT_EQ(WuDibFree(nullptr, 0), S_OK);
  for (int flag : {0, WUDIB_FREE_CHECKED}) {
    EXPECT_EQ(WuDibFree(&onStack, flag), S_OK);
    EXPECT_EQ(WuDibFree(reinterpret_cast<BITMAPINFOHEADER*>(reinterpret_cast<BYTE*>(dib) + 4), flag), S_OK);
    EXPECT_EQ(WuDibFree(static_cast<BITMAPINFOHEADER*>(fixed), flag), S_OK);
  }
  EXPECT_EQ(platform::LiveGlobalBlockCount(), live + 2);
  EXPECT_NE(GlobalSize(fixed), 0u);

  WuDibFree(dib, 0);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), live + 1);
  WuDibFree(dib, 0);  // a second release is refused, not a double free
  EXPECT_EQ(platform::LiveGlobalBlockCount(), live + 1);
  GlobalFree(fixed);
  GlobalFree(unlocked);
}

TEST(DibBlock, AllocationFailureLeavesNothing) {
  const size_t before = platform::LiveGlobalBlockCount();
  BITMAPINFOHEADER* dib = reinterpret_cast<BITMAPINFOHEADER*>(&dib);
  platform::FailNextAllocations(1);
  EXPECT_EQ(WuDibAlloc(&dib, 29, 64, 64, nullptr, 0, 0), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_EQ(dib, nullptr);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), before);
}

TEST(DibPalette, ConversionsSwapChannelOrder) {
  const RGBQUAD entries[2] = {{1, 2, 3, 4}, {10, 20, 30, 40}};
  BYTE rgba[8];
  WuVideo_PaletteRGBAFromEntry(rgba, entries, 2);
  const BYTE expected[8] = {3, 2, 1, 0, 30, 20, 10, 0};
  EXPECT_EQ(std::memcmp(rgba, expected, 8), 0);
  const BYTE input[8] = {7, 8, 9, 200, 70, 80, 90, 100};
  RGBQUAD back[2];
  WuVideo_PaletteEntryFromRGBA(back, input, 2);
  EXPECT_EQ(back[0].rgbRed, 7);
  EXPECT_EQ(back[0].rgbGreen, 8);
  EXPECT_EQ(back[0].rgbBlue, 9);
  EXPECT_EQ(back[0].rgbReserved, 0);
  EXPECT_EQ(back[1].rgbBlue, 90);
  EXPECT_EQ(WuDibFillRectChannel(nullptr, nullptr, nullptr, 0, 0, 0.0f, 0), E_NOTIMPL);
}

// The colour table a fetch indexes: the bitmap's own when its entries
// cover every index of its pixels (biClrUsed 0 standing for all of them),
// else a copy padded with black; none for masks and types without entries.
TEST(DibPalette, ColorTableHonoursClrUsed) {
  enum Want { kOwn, kPadded, kNone };
  const struct {
    WUPIXELTYPE type;
    int colors;       // entries given to WuDibAlloc
    bool clearCount;  // biClrUsed set to 0 afterwards
    Want want;
  } cases[] = {
      {WUPIXEL_PAL8, 2, false, kPadded}, {WUPIXEL_PAL8, 256, false, kOwn},
      {WUPIXEL_PAL4, 3, false, kPadded}, {WUPIXEL_PAL4, 16, false, kOwn},
      {WUPIXEL_PAL8, 256, true, kOwn},   {16, 0, false, kOwn},
      {WUPIXEL_RGB565, 0, false, kNone}, {WUPIXEL_RGB24, 0, false, kNone},
  };
  RGBQUAD given[256];
  for (int i = 0; i < 256; ++i) given[i] = {BYTE(i), BYTE(i + 1), BYTE(i + 2), 0};
  for (const auto& c : cases) {
    BITMAPINFOHEADER* dib = nullptr;
    ASSERT_EQ(WuDibAlloc(&dib, c.type, 2, 2, c.colors ? given : nullptr, c.colors, 0), S_OK);
    if (c.clearCount) dib->biClrUsed = 0;
    const RGBQUAD* own =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(dib) + dib->biSize);
    RGBQUAD padded[256];
    std::memset(padded, 0xAA, sizeof(padded));
    const RGBQUAD* table = WuDibColorTable(dib, padded);
    switch (c.want) {
      case kOwn:
        EXPECT_EQ(table, own) << c.type << " " << c.colors;
        break;
      case kNone:
        EXPECT_EQ(table, nullptr) << c.type;
        break;
      case kPadded:
        ASSERT_EQ(table, padded) << c.type << " " << c.colors;
        EXPECT_EQ(std::memcmp(padded, given, c.colors * sizeof(RGBQUAD)), 0);
        for (int i = c.colors; i < 256; ++i)
          EXPECT_EQ(padded[i].rgbBlue | padded[i].rgbGreen | padded[i].rgbRed, 0) << i;
        // Without a buffer the bitmap's own entries, for bounded readers.
        EXPECT_EQ(WuDibColorTable(dib, nullptr), own);
        break;
    }
    WuDibFree(dib, 0);
  }
}

}  // namespace
