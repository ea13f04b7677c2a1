// Pixel-type codes: classification, attributes, YUV sizes and texts.
#include "imaging/WuPixelTypes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imaging/WuDib.h"
#include "imaging/WuYuvLayout.h"
#include "tests/common/TestUtil.h"

namespace {

// A header followed by its three masks.
struct HeaderWithMasks {
  BITMAPINFOHEADER header;
  DWORD masks[3];
};

HeaderWithMasks MakeHeader(DWORD compression, int bits, DWORD r = 0, DWORD g = 0, DWORD b = 0) {
  HeaderWithMasks h = {};
  h.header.biSize = sizeof(BITMAPINFOHEADER);
  h.header.biWidth = 4;
  h.header.biHeight = 4;
  h.header.biPlanes = 1;
  h.header.biBitCount = static_cast<WORD>(bits);
  h.header.biCompression = compression;
  h.masks[0] = r;
  h.masks[1] = g;
  h.masks[2] = b;
  return h;
}

TEST(PixelType, ClassifiesHeaders) {
  const DWORD unknownFourCC = WuMakeFourCC('A', 'B', 'C', 'D');
  const struct {
    HeaderWithMasks h;
    WUPIXELTYPE expected;
  } cases[] = {
      {MakeHeader(BI_RGB, 1), 16},
      {MakeHeader(BI_RGB, 2), 0},
      {MakeHeader(BI_RGB, 4), 23},
      {MakeHeader(BI_RGB, 8), 24},
      {MakeHeader(BI_RGB, 16), 25},
      {MakeHeader(BI_RGB, 24), 27},
      {MakeHeader(BI_RGB, 32), 28},
      // Bit fields: only the one-bit counts matter, not their positions.
      {MakeHeader(BI_BITFIELDS, 16, 0x7C00, 0x03E0, 0x001F), 25},
      {MakeHeader(BI_BITFIELDS, 16, 0xF800, 0x07E0, 0x001F), 26},
      {MakeHeader(BI_BITFIELDS, 16, 0x001F, 0x07E0, 0xF800), 26},
      {MakeHeader(BI_BITFIELDS, 16, 0x0F00, 0x00F0, 0x000F), 0},
      {MakeHeader(BI_BITFIELDS, 32, 0xFF0000, 0xFF00, 0xFF), 28},
      {MakeHeader(BI_BITFIELDS, 32, 0x3FF00000, 0x000FFC00, 0x000003FF), 30},
      {MakeHeader(BI_BITFIELDS, 24, 0xFF0000, 0xFF00, 0xFF), 0},
      {MakeHeader(WU_FOURCC_WUGS, 1), 17},
      {MakeHeader(WU_FOURCC_WUGS, 2), 18},
      {MakeHeader(WU_FOURCC_WUGS, 3), 0},
      {MakeHeader(WU_FOURCC_WUGS, 16), 21},
      {MakeHeader(WU_FOURCC_WUGS, 32), 22},
      {MakeHeader(WU_FOURCC_WUDB, 24), 27},
      {MakeHeader(WU_FOURCC_WUDB, 32), 29},
      {MakeHeader(WU_FOURCC_WUDB, 64), 31},
      {MakeHeader(WU_FOURCC_WUDB, 128), 32},
      {MakeHeader(WU_FOURCC_WUDB, 16), 0},
      {MakeHeader(WU_FOURCC_UYVY, 0), 64},
      {MakeHeader(WU_FOURCC_YUYV, 7), 65},
      {MakeHeader(WU_FOURCC_Y41B, 12), 66},
      {MakeHeader(WU_FOURCC_I420, 12), 67},
      {MakeHeader(WU_FOURCC_V210, 99), 68},
      {MakeHeader(unknownFourCC, 32), 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WuGetPixelType(&c.h.header), c.expected)
        << std::hex << c.h.header.biCompression << std::dec << " bits " << c.h.header.biBitCount;
  }
  EXPECT_EQ(WuGetPixelType(nullptr), 0);
  const HeaderWithMasks badGrey = MakeHeader(WU_FOURCC_WUGS, 3);
  const HeaderWithMasks yuv = MakeHeader(WU_FOURCC_UYVY, 16);
  EXPECT_TRUE(WuVideo_IsCompressed(&badGrey.header));
  EXPECT_TRUE(WuVideo_IsCompressed(&yuv.header));
}

// Every code survives the trip through a header and back, and reports a
// consistent bit count everywhere.
TEST(PixelType, EveryCodeRoundTripsThroughAHeader) {
  for (WUPIXELTYPE type = 0; type <= 70; ++type) {
    alignas(4) BYTE buffer[sizeof(BITMAPINFOHEADER) + 1024] = {};
    BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(buffer);
    const bool known = (type >= 16 && type <= 32) || (type >= 64 && type <= 68);
    const int bits = WuPixelTypeToBitAttribs(type, nullptr, nullptr, 0, nullptr);
    ASSERT_EQ(WuVideo_InitBitmapInfo(header, type, 6, 2, nullptr, 0, nullptr), known ? S_OK : E_INVALIDARG)
        << type;
    if (!known) {
      EXPECT_EQ(bits, 0);
      continue;
    }
    EXPECT_EQ(WuGetPixelType(header), type);
    EXPECT_EQ(header->biBitCount, bits) << type;
    EXPECT_EQ(WuVideo_IsCompressed(header), type >= 64) << type;
    BYTE channels[4];
    EXPECT_EQ(WuGetPixelBitsPerChannel(type, channels), type >= 64 ? 0 : bits) << type;
  }
}

TEST(PixelType, AttributesOfCodes) {
  DWORD compression = 0, masks[3] = {1, 1, 1};
  EXPECT_EQ(WuPixelTypeToBitAttribs(26, &compression, nullptr, 0, masks), 16);
  EXPECT_EQ(compression, BI_BITFIELDS);
  EXPECT_EQ(masks[0], 0xF800u);
  EXPECT_EQ(masks[1], 0x07E0u);
  EXPECT_EQ(masks[2], 0x001Fu);
  EXPECT_EQ(WuPixelTypeToBitAttribs(29, &compression, nullptr, 0, masks), 32);
  EXPECT_EQ(compression, WU_FOURCC_WUDB);
  EXPECT_EQ(masks[0] | masks[1] | masks[2], 0u);

  WUVIDEOFORMATINFO format;
  std::memset(&format, 0xAB, sizeof(format));
  EXPECT_EQ(WuPixelTypeToBitAttribs(20, nullptr, &format, 63, nullptr), 0);  // too small a record
  EXPECT_EQ(format.size, 0xABABABABu);
  EXPECT_EQ(WuPixelTypeToBitAttribs(20, nullptr, &format, 64, nullptr), 8);
  EXPECT_EQ(format.size, 64u);
  EXPECT_EQ(format.attributes, WUVIDEO_ATTRIB_GREY);
  EXPECT_EQ(format.interlace, -1);
  EXPECT_EQ(format.pixelAspect, 1.0);
  EXPECT_EQ(WuPixelTypeToBitAttribs(27, nullptr, &format, 64, nullptr), 24);
  EXPECT_EQ(format.attributes, -1);

  const struct {
    WUPIXELTYPE type;
    int bits;
    BYTE channels[4];
  } table[] = {{16, 1, {0, 0, 0, 1}}, {21, 16, {0, 0, 0, 16}}, {23, 4, {8, 8, 8, 0}},
               {25, 16, {5, 5, 5, 1}}, {26, 16, {5, 6, 5, 0}},   {30, 32, {10, 10, 10, 2}},
               {32, 128, {32, 32, 32, 32}}, {66, 0, {0, 0, 0, 0}}, {99, 0, {0, 0, 0, 0}}};
  for (const auto& c : table) {
    BYTE channels[4] = {9, 9, 9, 9};
    EXPECT_EQ(WuGetPixelBitsPerChannel(c.type, channels), c.bits) << c.type;
    EXPECT_EQ(std::memcmp(channels, c.channels, 4), 0) << c.type;
  }
}

TEST(PixelType, BitCountsAndMasks) {
  EXPECT_EQ(WuCountBits(0), 0);
  EXPECT_EQ(WuCountBits(0xFFFFFFFFu), 32);
  EXPECT_EQ(WuCountBits(0x3FF00000u), 10);
  EXPECT_EQ(WuCreateBitMask(0, 0), 0u);
  EXPECT_EQ(WuCreateBitMask(5, 6), 0x07E0u);
  EXPECT_EQ(WuCreateBitMask(20, 10), 0x3FF00000u);
  EXPECT_EQ(WuCreateBitMask(0, 32), 0xFFFFFFFFu);
}

TEST(PixelType, FormatRecordAndTexts) {
  WUVIDEOFORMATINFO format;
  std::memset(&format, 0xCD, sizeof(format));
  WuVideo_InitFormatInfo(&format, 29.97, 2, 0.0);
  EXPECT_EQ(format.size, 64u);
  EXPECT_EQ(format.attributes, -1);
  EXPECT_EQ(format.reserved, 0u);
  EXPECT_EQ(format.interlace, 2);
  EXPECT_EQ(format.frameRate, 29.97);
  EXPECT_EQ(format.pixelAspect, 1.0);  // not above 0
  for (BYTE b : format.zero) EXPECT_EQ(b, 0);
  WuVideo_InitFormatInfo(&format, 25.0, 0, 1.4587);
  EXPECT_EQ(format.pixelAspect, 1.4587);

  const struct {
    DWORD compression;
    int size;
    const char* expected;
  } texts[] = {{BI_RGB, 32, "RGB"},
               {BI_BITFIELDS, 32, "RGB (bitfields)"},
               {WU_FOURCC_WUDB, 32, "RGBA"},
               {WU_FOURCC_WUGS, 32, "Grayscale"},
               {WU_FOURCC_WUGS, 3, "Gr"},
               {WU_FOURCC_UYVY, 32, "UYVY"},
               {WU_FOURCC_UYVY, 3, "UY"},  // other codes are bounded too
               {0x01003031, 32, "10.."}};
  for (const auto& t : texts) {
    WCHAR out[40];
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(WuVideo_GetFormatText(t.compression, out, t.size), S_OK);
    EXPECT_EQ(wutest::U8(out), t.expected);
    EXPECT_EQ(out[t.size], u'#');  // nothing written past the size
  }

  alignas(4) BYTE buffer[sizeof(BITMAPINFOHEADER) + 12];
  BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(buffer);
  ASSERT_EQ(WuVideo_InitBitmapInfo(header, 27, 640, 480, nullptr, 0, nullptr), S_OK);
  WCHAR out[40];
  WuVideo_GetAttribsText(header, out, 0);
  EXPECT_EQ(wutest::U8(out), "640x480x24");
  WuVideo_GetAttribsTextEx(header, 0, out, 0, 0);
  EXPECT_EQ(wutest::U8(out), "640x480x24");
}

TEST(YuvLayout, SizesAndPlanes) {
  const struct {
    DWORD compression;
    LONG width, height;
    DWORD bytes;
    WUYUVPLANELAYOUT layout;
  } cases[] = {
      {WU_FOURCC_I420, 720, 576, 622080, {720, 414720, 360, 518400, 360}},
      {WU_FOURCC_Y41B, 720, 576, 622080, {720, 414720, 180, 518400, 180}},
      {WU_FOURCC_V210, 1920, 1080, 5529600, {5120, 0, 0, 0, 0}},
      {WU_FOURCC_V210, 1, 2, 32, {16, 0, 0, 0, 0}},
      {WU_FOURCC_UYVY, 5, 3, 30, {10, 0, 0, 0, 0}},
      {WU_FOURCC_YUYV, 4, 2, 16, {8, 0, 0, 0, 0}},
      {WU_FOURCC_I420, 1, 3, 3, {1, 0, 0, 0, 0}},  // (w * h) / 4 is 0: no chroma fields
      {WU_FOURCC_WUDB, 8, 8, 0, {0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    BITMAPINFOHEADER header = {};
    header.biWidth = c.width;
    header.biHeight = c.height;
    header.biCompression = c.compression;
    WUYUVPLANELAYOUT layout;
    std::memset(&layout, 0x5A, sizeof(layout));
    EXPECT_EQ(WuYUVImageBytesAndOffsets(&header, &layout), c.bytes) << c.width << "x" << c.height;
    EXPECT_EQ(std::memcmp(&layout, &c.layout, sizeof(layout)), 0) << c.width << "x" << c.height;
    EXPECT_EQ(WuYUVImageBytesAndOffsets(&header, nullptr), c.bytes);
  }
}

}  // namespace
