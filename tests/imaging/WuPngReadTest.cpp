// PNG reading: every colour type and depth, transparency, gamma,
// interlacing, the three sources and their failures.
#include "imaging/WuPngRead.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/WuLang.h"
#include "foundation/WuStatus.h"
#include "imaging/WuDib.h"
#include "imaging/WuPngReadTesting.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/module.h"
#include "platform/kernel/resource.h"
#include "tests/common/TestUtil.h"
#include "tests/imaging/PngFixture.h"

namespace {

using wutest::EncodePng;
using wutest::FillSamples;
using wutest::PngChannels;
using wutest::PngImage;

// Releases a bitmap at the end of a test.
struct DibHolder {
  BITMAPINFOHEADER* dib = nullptr;
  ~DibHolder() { WuDibFree(dib, 0); }
};

HRESULT Decode(const std::string& bytes, BITMAPINFOHEADER** dib) {
  return WuDibFromPng(dib, bytes.data(), static_cast<LONG>(bytes.size()));
}

// Channel values of the bitmap pixel at (x, y), y counted from the top.
std::vector<int> ReadPixel(const BITMAPINFOHEADER* dib, int x, int y) {
  const LONG stride = WuDibGetStride(dib, 0);
  const BYTE* row = WuDibGetBits(dib) + static_cast<size_t>(dib->biHeight - 1 - y) * stride;
  const int bits = dib->biBitCount;
  switch (WuGetPixelType(dib)) {
    case WUPIXEL_GREY1:
    case WUPIXEL_GREY2:
    case WUPIXEL_GREY4:
    case WUPIXEL_PAL4: {
      const int bit = x * bits;
      return {(row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1)};
    }
    case WUPIXEL_GREY8:
    case WUPIXEL_PAL8:
      return {row[x]};
    case WUPIXEL_GREY16:
      return {row[2 * x] | (row[2 * x + 1] << 8)};
    case WUPIXEL_RGB24:
      return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
    case WUPIXEL_RGBA32:
      return {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
    case WUPIXEL_RGBA64: {
      const BYTE* p = row + 8 * x;
      return {p[0] | (p[1] << 8), p[2] | (p[3] << 8), p[4] | (p[5] << 8), p[6] | (p[7] << 8)};
    }
    default:
      return {};
  }
}

// What the bitmap should hold at (x, y) for an image without gamma.
std::vector<int> ExpectedPixel(const PngImage& image, WUPIXELTYPE type, int x, int y) {
  const int channels = PngChannels(image.colorType);
  const int* s = image.samples.data() + (static_cast<size_t>(y) * image.width + x) * channels;
  const int full = (1 << image.depth) - 1;
  const int wide = image.depth == 16 ? 65535 : 255;  // opaque alpha of the output
  auto widen = [&](int v) { return image.depth < 8 ? v * 255 / full : v; };
  switch (image.colorType) {
    case PNG_COLOR_TYPE_GRAY:
      if (type != WUPIXEL_RGBA32 && type != WUPIXEL_RGBA64) return {s[0]};
      return {widen(s[0]), widen(s[0]), widen(s[0]), s[0] == image.trnsValue[0] ? 0 : wide};
    case PNG_COLOR_TYPE_RGB: {
      const bool clear = image.trnsColor && s[0] == image.trnsValue[0] && s[1] == image.trnsValue[1] &&
                         s[2] == image.trnsValue[2];
      if (type == WUPIXEL_RGB24) return {s[2], s[1], s[0]};
      return {s[2], s[1], s[0], clear ? 0 : wide};
    }
    case PNG_COLOR_TYPE_PALETTE: {
      if (type != WUPIXEL_RGBA32) return {s[0]};
      const uint8_t* c = &image.palette[3 * s[0]];
      const int alpha = static_cast<size_t>(s[0]) < image.trnsAlpha.size() ? image.trnsAlpha[s[0]] : 255;
      return {c[2], c[1], c[0], alpha};
    }
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return {s[0], s[0], s[0], s[1]};
    default:
      return {s[2], s[1], s[0], s[3]};
  }
}

std::vector<uint8_t> MakePalette(int entries) {
  std::vector<uint8_t> palette;
  for (int i = 0; i < entries; ++i) {
    palette.push_back(static_cast<uint8_t>(i * 37 + 5));
    palette.push_back(static_cast<uint8_t>(255 - i * 11));
    palette.push_back(static_cast<uint8_t>(i * 101 + 60));
  }
  return palette;
}

// A 7 x 5 image (odd width, so sub-byte rows end inside a byte) of a colour
// type and depth, with or without tRNS. The transparent value is the first
// pixel's, so at least one pixel is transparent.
PngImage MakeImage(int colorType, int depth, bool transparent, uint32_t seed) {
  PngImage image;
  image.width = 7;
  image.height = 5;
  image.colorType = colorType;
  image.depth = depth;
  const int paletteSize = colorType == PNG_COLOR_TYPE_PALETTE ? (depth == 8 ? 200 : 1 << depth) : 0;
  FillSamples(&image, seed, paletteSize);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    image.palette = MakePalette(paletteSize);
    if (transparent) image.trnsAlpha = {0, 128};  // later entries stay opaque
  } else if (transparent) {
    image.trnsColor = true;
    for (int i = 0; i < PngChannels(colorType); ++i) image.trnsValue[i] = image.samples[i];
  }
  return image;
}

struct DecodeCase {
  int colorType;
  int depth;
  bool transparent;
  WUPIXELTYPE type;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
  *os << "colour type " << c.colorType << ", depth " << c.depth << (c.transparent ? ", tRNS" : "");
}

class PngDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

// Every colour type, depth and transparency of the reader's table, plain
// and interlaced: the bitmap type, every pixel, the palette, and the
// interlaced twin giving the same block byte for byte.
TEST_P(PngDecodeTest, DecodesEveryPixelAndMatchesTheInterlacedTwin) {
  const DecodeCase c = GetParam();
  PngImage image = MakeImage(c.colorType, c.depth, c.transparent, c.colorType * 100 + c.depth);
  DibHolder plain, interlaced;
  ASSERT_EQ(Decode(EncodePng(image), &plain.dib), S_OK);
  image.interlaced = true;
  ASSERT_EQ(Decode(EncodePng(image), &interlaced.dib), S_OK);

  const BITMAPINFOHEADER* dib = plain.dib;
  ASSERT_EQ(WuGetPixelType(dib), c.type);
  EXPECT_EQ(dib->biWidth, image.width);
  EXPECT_EQ(dib->biHeight, image.height);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      ASSERT_EQ(ReadPixel(dib, x, y), ExpectedPixel(image, c.type, x, y)) << "pixel " << x << "," << y;

  if (c.type == WUPIXEL_PAL4 || c.type == WUPIXEL_PAL8) {
    const int entries = static_cast<int>(image.palette.size() / 3);
    ASSERT_EQ(static_cast<int>(dib->biClrUsed), entries);
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(dib + 1);
    for (int i = 0; i < entries; ++i) {
      EXPECT_EQ(table[i].rgbRed, image.palette[3 * i]);
      EXPECT_EQ(table[i].rgbGreen, image.palette[3 * i + 1]);
      EXPECT_EQ(table[i].rgbBlue, image.palette[3 * i + 2]);
      EXPECT_EQ(table[i].rgbReserved, 255);
    }
  }

  const size_t bytes = GlobalSize(GlobalHandle(plain.dib));
  ASSERT_EQ(GlobalSize(GlobalHandle(interlaced.dib)), bytes);
  EXPECT_EQ(std::memcmp(plain.dib, interlaced.dib, bytes), 0);
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, PngDecodeTest,
    ::testing::Values(DecodeCase{PNG_COLOR_TYPE_GRAY, 1, false, WUPIXEL_GREY1},
                      DecodeCase{PNG_COLOR_TYPE_GRAY, 2, false, WUPIXEL_GREY2},
                      DecodeCase{PNG_COLOR_TYPE_GRAY, 4, false, WUPIXEL_GREY4},
                      DecodeCase{PNG_COLOR_TYPE_GRAY, 8, false, WUPIXEL_GREY8},
                      DecodeCase{PNG_COLOR_TYPE_GRAY, 16, false, WUPIXEL_GREY16},
                      DecodeCase{PNG_COLOR_TYPE_GRAY, 1, true, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_GRAY, 2, true, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_GRAY, 4, true, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_GRAY, 8, true, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_GRAY, 16, true, WUPIXEL_RGBA64},
                      DecodeCase{PNG_COLOR_TYPE_RGB, 8, false, WUPIXEL_RGB24},
                      DecodeCase{PNG_COLOR_TYPE_RGB, 8, true, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_RGB, 16, false, WUPIXEL_RGBA64},
                      DecodeCase{PNG_COLOR_TYPE_RGB, 16, true, WUPIXEL_RGBA64},
                      DecodeCase{PNG_COLOR_TYPE_PALETTE, 1, false, WUPIXEL_PAL8},
                      DecodeCase{PNG_COLOR_TYPE_PALETTE, 2, false, WUPIXEL_PAL4},
                      DecodeCase{PNG_COLOR_TYPE_PALETTE, 4, false, WUPIXEL_PAL4},
                      DecodeCase{PNG_COLOR_TYPE_PALETTE, 8, false, WUPIXEL_PAL8},
                      DecodeCase{PNG_COLOR_TYPE_PALETTE, 1, true, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_PALETTE, 2, true, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_PALETTE, 4, true, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_PALETTE, 8, true, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, WUPIXEL_RGBA64},
                      DecodeCase{PNG_COLOR_TYPE_RGB_ALPHA, 8, false, WUPIXEL_RGBA32},
                      DecodeCase{PNG_COLOR_TYPE_RGB_ALPHA, 16, false, WUPIXEL_RGBA64}));

// A palette image and its RGB twin carry the same gAMA: the kept palette
// must get the same correction that libpng gives the RGB samples, both for
// a gamma that needs correcting (1.0 on a 2.2 display) and for one that
// does not (1/2.2).
TEST(PngGamma, PaletteIsCorrectedLikeTheSamplesOfItsRgbTwin) {
  for (int gamma : {100000, 45455, 70000}) {
    PngImage indexed = MakeImage(PNG_COLOR_TYPE_PALETTE, 8, false, 7);
    indexed.gammaFixed = gamma;
    PngImage rgb = indexed;
    rgb.colorType = PNG_COLOR_TYPE_RGB;
    rgb.palette.clear();
    rgb.samples.clear();
    for (int index : indexed.samples)
      for (int k = 0; k < 3; ++k) rgb.samples.push_back(indexed.palette[3 * index + k]);

    DibHolder a, b;
    ASSERT_EQ(Decode(EncodePng(indexed), &a.dib), S_OK);
    ASSERT_EQ(Decode(EncodePng(rgb), &b.dib), S_OK);
    ASSERT_EQ(WuGetPixelType(a.dib), WUPIXEL_PAL8);
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(a.dib + 1);
    int changed = 0;
    for (int y = 0; y < indexed.height; ++y)
      for (int x = 0; x < indexed.width; ++x) {
        const RGBQUAD& entry = table[ReadPixel(a.dib, x, y)[0]];
        const std::vector<int> expected = ReadPixel(b.dib, x, y);
        ASSERT_EQ((std::vector<int>{entry.rgbBlue, entry.rgbGreen, entry.rgbRed}), expected)
            << "gamma " << gamma << " pixel " << x << "," << y;
        changed += entry.rgbRed != indexed.palette[3 * ReadPixel(a.dib, x, y)[0]];
      }
    EXPECT_EQ(changed > 0, gamma != 45455) << "gamma " << gamma;
  }
}

// Transparency is matched on the stored samples, before gamma changes them.
TEST(PngGamma, TransparentColourSurvivesGammaCorrection) {
  for (int depth : {8, 16}) {
    PngImage image = MakeImage(PNG_COLOR_TYPE_RGB, depth, true, 11);
    image.gammaFixed = 100000;
    DibHolder dib;
    ASSERT_EQ(Decode(EncodePng(image), &dib.dib), S_OK);
    EXPECT_EQ(ReadPixel(dib.dib, 0, 0)[3], 0) << depth;
  }
}

const std::string kSignature("\x89PNG\r\n\x1a\n", 8);

std::string BigEndian32(uint32_t value) {
  std::string out;
  for (int shift : {24, 16, 8, 0}) out += static_cast<char>((value >> shift) & 0xFF);
  return out;
}

// One PNG chunk: length, type, body and CRC.
std::string Chunk(const char* type, const std::string& body) {
  const std::string typed = std::string(type, 4) + body;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
  return BigEndian32(static_cast<uint32_t>(body.size())) + typed + BigEndian32(static_cast<uint32_t>(crc));
}

class PngFailureTest : public ::testing::Test {
 protected:
  void SetUp() override { blocks_ = platform::LiveGlobalBlockCount(); }
  // Nothing allocated by a failed decode may survive.
  void TearDown() override { EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks_); }
  size_t blocks_ = 0;
};

TEST_F(PngFailureTest, BadSignatureAndTruncatedStreams) {
  const std::string good = EncodePng(MakeImage(PNG_COLOR_TYPE_RGB_ALPHA, 8, false, 3));
  struct Case {
    std::string bytes;
    HRESULT expected;
  };
  const Case cases[] = {
      {"GIF89a-not-a-png", WU_E_BAD_DATA},
      {std::string(), WU_E_BAD_DATA},
      {good.substr(0, 5), E_FAIL},  // matches the signature, then delivers nothing
      {good.substr(0, 8), E_FAIL},
      {good.substr(0, 20), E_FAIL},  // inside IHDR
      {good.substr(0, 40), E_FAIL},  // inside the image data
      {good.substr(0, good.size() / 2), E_FAIL},
      {good.substr(0, good.size() - 6), E_FAIL},  // IEND cut short
  };
  for (const Case& c : cases) {
    BITMAPINFOHEADER* dib = reinterpret_cast<BITMAPINFOHEADER*>(&blocks_);  // must be reset
    EXPECT_EQ(Decode(c.bytes, &dib), c.expected) << c.bytes.size();
    EXPECT_EQ(dib, nullptr);
  }
  // A damaged data chunk fails its CRC.
  std::string damaged = good;
  damaged[good.size() - 20] ^= 0x55;
  BITMAPINFOHEADER* dib = nullptr;
  EXPECT_EQ(Decode(damaged, &dib), E_FAIL);
  EXPECT_EQ(dib, nullptr);
}

// A header that asks for rows beyond what a bitmap block may hold is
// refused before anything is allocated for them.
TEST_F(PngFailureTest, OversizedImageIsRefused) {
  // 40000 x 40000, 8-bit RGBA: 6.4 GB of rows.
  const std::string ihdr("\x00\x00\x9c\x40\x00\x00\x9c\x40\x08\x06\x00\x00\x00", 13);
  const std::string png = kSignature + Chunk("IHDR", ihdr) + Chunk("IDAT", "");
  BITMAPINFOHEADER* dib = nullptr;
  EXPECT_EQ(Decode(png, &dib), E_INVALIDARG);
  EXPECT_EQ(dib, nullptr);
}

// A chunk whose length field announces far more than the file holds is
// refused without libpng reserving that much: a 346-byte file once made it
// allocate 1.9 GB for an "sPLT" chunk.
TEST_F(PngFailureTest, AnnouncedChunkLengthReservesNoMemory) {
  const std::string head = kSignature +
                           Chunk("IHDR", std::string("\x00\x00\x00\x02\x00\x00\x00\x01\x08\x06\x00\x00\x00", 13)) +
                           Chunk("gAMA", BigEndian32(45455)) + Chunk("tRNS", std::string("\x00\x01", 2));
  // An announced chunk, then bytes up to 346 in all, as the fuzzer found it.
  auto announcing = [&](const char* type, uint32_t length) {
    std::string bytes = head + BigEndian32(length) + std::string(type, 4) + "pal" + std::string(1, '\0') + "\x08";
    for (int i = 0; bytes.size() < 346; ++i) bytes += static_cast<char>(i);
    return bytes;
  };
  const std::string dir = wutest::MakeTempDir("png-chunk");
  struct Case {
    const char* type;
    uint32_t length;
  };
  for (const Case& c : {Case{"sPLT", 1936946035u}, Case{"tEXt", 0x7FFFFFF0u}, Case{"iCCP", 0x40000000u},
                        Case{"prVt", 0x7FFFFFF0u}, Case{"IDAT", 0x7FFFFFF0u}}) {
    SCOPED_TRACE(c.type);
    const std::string bytes = announcing(c.type, c.length);
    WuPngRead_LargestRequestForTesting(true);
    BITMAPINFOHEADER* dib = nullptr;
    EXPECT_EQ(Decode(bytes, &dib), E_FAIL);
    EXPECT_EQ(dib, nullptr);
    // The same bytes from a file.
    wutest::WriteBytes(dir + "/chunk.png", bytes);
    EXPECT_EQ(WuLoadPngDib(wutest::U16(dir + "/chunk.png").c_str()), nullptr);
    EXPECT_LT(WuPngRead_LargestRequestForTesting(true), size_t{1} << 20);
  }
}

// Ancillary chunks the reader does not use are skipped: an image carrying
// them decodes as it does without them.
TEST_F(PngFailureTest, UnusedChunksAreSkipped) {
  const std::string plain = EncodePng(MakeImage(PNG_COLOR_TYPE_RGB_ALPHA, 8, false, 3));
  const size_t afterHeader = 8 + 25;  // signature and IHDR
  std::string extras = Chunk("tEXt", std::string("Title\0text", 10)) + Chunk("sPLT", std::string("p\0\x08\1\2\3\4\0\0", 10)) +
                       Chunk("prVt", "private");
  const std::string decorated = plain.substr(0, afterHeader) + extras + plain.substr(afterHeader);
  DibHolder a, b;
  ASSERT_EQ(Decode(plain, &a.dib), S_OK);
  ASSERT_EQ(Decode(decorated, &b.dib), S_OK);
  ASSERT_EQ(a.dib->biSizeImage, b.dib->biSizeImage);
  EXPECT_EQ(std::memcmp(WuDibGetBits(a.dib), WuDibGetBits(b.dib), a.dib->biSizeImage), 0);
}

TEST_F(PngFailureTest, BitmapAllocationFailureFreesEverything) {
  const std::string good = EncodePng(MakeImage(PNG_COLOR_TYPE_PALETTE, 4, false, 5));
  BITMAPINFOHEADER* dib = nullptr;
  platform::FailNextAllocations(1);
  EXPECT_EQ(Decode(good, &dib), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_EQ(dib, nullptr);
}

TEST_F(PngFailureTest, FileMode) {
  const std::string dir = wutest::MakeTempDir("png");
  const std::string good = EncodePng(MakeImage(PNG_COLOR_TYPE_RGB, 8, false, 9));
  wutest::WriteBytes(dir + "/good.png", good);
  wutest::WriteBytes(dir + "/short.png", good.substr(0, 7));
  wutest::WriteBytes(dir + "/cut.png", good.substr(0, good.size() / 2));
  wutest::WriteBytes(dir + "/text.png", "just some text, no image");

  BITMAPINFOHEADER* dib = WuLoadPngDib(wutest::U16(dir + "/good.png").c_str());
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(WuGetPixelType(dib), WUPIXEL_RGB24);
  WuDibFree(dib, 0);

  const struct {
    const char* name;
    HRESULT expected;
  } cases[] = {{"/missing.png", WU_E_OPEN_FILE},
               {"/short.png", WU_E_BAD_DATA},
               {"/text.png", WU_E_BAD_DATA},
               {"/cut.png", E_FAIL}};
  for (const auto& c : cases) {
    dib = reinterpret_cast<BITMAPINFOHEADER*>(&blocks_);
    EXPECT_EQ(WuLoadPngDib(nullptr, wutest::U16(dir + c.name).c_str(), WUPNG_FROM_FILE, &dib), c.expected)
        << c.name;
    EXPECT_EQ(dib, nullptr);
  }
  // A null file name is refused and leaves the out pointer alone.
  dib = reinterpret_cast<BITMAPINFOHEADER*>(&blocks_);
  EXPECT_EQ(WuLoadPngDib(nullptr, nullptr, WUPNG_FROM_FILE, &dib), E_INVALIDARG);
  EXPECT_EQ(dib, reinterpret_cast<BITMAPINFOHEADER*>(&blocks_));
}

// Resource mode finds the PNG under type 32 or "BINARY" in the module of a
// language handle; a missing or empty resource is 0x8004E00E.
TEST_F(PngFailureTest, ResourceMode) {
  static const std::string banner = EncodePng(MakeImage(PNG_COLOR_TYPE_RGB_ALPHA, 8, false, 21));
  static const std::string other = EncodePng(MakeImage(PNG_COLOR_TYPE_GRAY, 8, false, 22));
  const platform::ResourceItem items[] = {
      {MAKEINTRESOURCEW(WUPNG_RESOURCE_TYPE), MAKEINTRESOURCEW(107), 1033, banner.data(),
       static_cast<DWORD>(banner.size())},
      {u"BINARY", u"LOGO", 1033, other.data(), static_cast<DWORD>(other.size())},
      {u"BINARY", u"EMPTY", 1033, "", 0},
  };
  ASSERT_TRUE(platform::AddModuleResources(nullptr, items, 3));
  const size_t before = platform::LiveGlobalBlockCount();
  HWULANG lang = nullptr;
  ASSERT_EQ(WuLang_Open(&lang, GetModuleHandleW(nullptr), 0, 0), S_OK);

  BITMAPINFOHEADER* dib = nullptr;
  ASSERT_EQ(WuLoadPngDib(lang, MAKEINTRESOURCEW(107), &dib), S_OK);
  EXPECT_EQ(WuGetPixelType(dib), WUPIXEL_RGBA32);
  EXPECT_EQ(dib->biWidth, 7);
  WuDibFree(dib, 0);
  ASSERT_EQ(WuLoadPngDib(lang, u"LOGO", 0, &dib), S_OK);
  EXPECT_EQ(WuGetPixelType(dib), WUPIXEL_GREY8);
  WuDibFree(dib, 0);
  ASSERT_EQ(WuLoadPngDib(nullptr, u"LOGO", 0, &dib), S_OK);  // the main program
  WuDibFree(dib, 0);

  for (LPCWSTR name : {static_cast<LPCWSTR>(MAKEINTRESOURCEW(108)), static_cast<LPCWSTR>(u"EMPTY")}) {
    dib = reinterpret_cast<BITMAPINFOHEADER*>(&blocks_);
    EXPECT_EQ(WuLoadPngDib(lang, name, &dib), WU_E_RESOURCE_MISSING);
    EXPECT_EQ(dib, nullptr);
  }
  WuLang_Close(lang);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), before);
}

}  // namespace
