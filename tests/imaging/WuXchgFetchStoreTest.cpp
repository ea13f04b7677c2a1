// Fetch and store functions of the pixel-exchange pipeline, reached through
// records from the builder.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "imaging/WuColorMath.h"
#include "imaging/WuXchg.h"

namespace {

constexpr DWORD kForce16 = 0x10;
constexpr DWORD kInterp = 0x20;

int BitsOf(WUPIXELTYPE type) {
  static const int bits[] = {1, 1, 2, 4, 8, 16, 32, 4, 8, 16, 16, 24, 32, 32, 32, 64, 128};
  return bits[type - 16];
}

// A record for type -> type with the given flags and identity curves.
WUXCHGFUNCS Record(WUPIXELTYPE type, DWORD flags) {
  WUXCHGFUNCS r;
  EXPECT_EQ(WuXCHGGetFunctionPointers(type, type, flags, &r, nullptr, 1.0, 1.0), 0);
  return r;
}

// A palette whose every entry lies in its own cell of the inverse map, and
// the map that sends each entry's cell back to the entry.
struct PaletteFixture {
  RGBQUAD palette[256];
  std::vector<BYTE> map = std::vector<BYTE>(32768, 0);
  PaletteFixture() {
    for (int i = 0; i < 256; ++i) {
      palette[i] = {static_cast<BYTE>((i & 31) << 3 | 5), static_cast<BYTE>((i >> 5) << 3 | 2),
                    static_cast<BYTE>(0x40), 0};
      map[(8 << 10) | ((i >> 5) << 5) | (i & 31)] = static_cast<BYTE>(i);
    }
  }
  void Attach(WUXCHGFUNCS* r) const {
    r->srcPalette = palette;
    r->inverseMap = map.data();
  }
};

std::array<WORD, 4> Lanes(const WUXCHGFUNCS& r, int slot = 0) {
  return {r.pixels.w[slot][0], r.pixels.w[slot][1], r.pixels.w[slot][2], r.pixels.w[slot][3]};
}

TEST(XchgFetch, Vectors16) {
  PaletteFixture pal;
  const float f15 = 1.5f, fneg = -0.25f, fhalf = 0.5f;
  auto floats = [](float v) {
    std::array<BYTE, 16> b{};
    for (int c = 0; c < 4; ++c) std::memcpy(b.data() + 4 * c, &v, 4);
    return b;
  };
  const struct {
    WUPIXELTYPE type;
    DWORD flags;
    std::array<BYTE, 16> bytes;
    DWORD srcBit;
    std::array<WORD, 4> lanes;
    int advance;  // bytes moved
    DWORD bitAfter;
  } cases[] = {
      {20, kForce16, {0x80}, 0, {0x8000, 0x8000, 0x8000, 0xFFFF}, 1, 0},
      {20, kForce16 | kInterp, {0x80}, 0, {0x8080, 0x8080, 0x8080, 0xFFFF}, 1, 0},
      {27, kForce16 | kInterp, {1, 2, 3}, 0, {0x0101, 0x0202, 0x0303, 0xFFFF}, 3, 0},
      {29, kForce16, {1, 2, 3, 4}, 0, {0x0100, 0x0200, 0x0300, 0x0400}, 4, 0},
      {28, kForce16, {1, 2, 3, 4}, 0, {0x0100, 0x0200, 0x0300, 0x0400}, 4, 0},
      {26, kForce16, {0xFF, 0xFF}, 0, {0xF800, 0xFC00, 0xF800, 0xFFFF}, 2, 0},
      {25, kForce16, {0xFF, 0xFF}, 0, {0xF800, 0xF800, 0xF800, 0xFFFF}, 2, 0},
      {30, kForce16, {0, 0, 0, 0x80}, 0, {0, 0, 0, 0xAAAA}, 4, 0},
      {30, kForce16, {0xFF, 0x03, 0, 0x40}, 0, {0xFFC0, 0, 0, 0x5555}, 4, 0},
      {31, kForce16, {1, 2, 3, 4, 5, 6, 7, 8}, 0, {0x0201, 0x0403, 0x0605, 0x0807}, 8, 0},
      {21, kForce16, {0x34, 0x12}, 0, {0x1234, 0x1234, 0x1234, 0xFFFF}, 2, 0},
      {32, kForce16, floats(f15), 0, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 16, 0},
      {32, kForce16, floats(fneg), 0, {0, 0, 0, 0}, 16, 0},
      {32, kForce16, floats(fhalf), 0, {32768, 32768, 32768, 32768}, 16, 0},
      {22, kForce16, floats(fhalf), 0, {32768, 32768, 32768, 0xFFFF}, 4, 0},
      {16, kForce16, {0x40}, 1, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 0, 2},
      {17, kForce16, {0x01}, 7, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 1, 0},
      {18, kForce16, {0x24}, 4, {0x5555, 0x5555, 0x5555, 0xFFFF}, 0, 6},
      {18, kForce16, {0x02}, 6, {0xAAAA, 0xAAAA, 0xAAAA, 0xFFFF}, 1, 0},
      {19, kForce16, {0xA5}, 0, {0xAAAA, 0xAAAA, 0xAAAA, 0xFFFF}, 0, 4},
      // The 4-bit palette at bit 4 reads the low nibble and moves on a byte.
      {23, kForce16, {0x3A}, 4, {0x0500 | (10 << 11), 0x0200, 0x4000, 0xFFFF}, 1, 0},
      {23, kForce16, {0x3A}, 0, {0x0500 | (3 << 11), 0x0200, 0x4000, 0xFFFF}, 0, 4},
      {24, kForce16, {33}, 0, {0x0500 | (1 << 11), 0x0200 | (1 << 11), 0x4000, 0xFFFF}, 1, 0},
  };
  for (const auto& c : cases) {
    WUXCHGFUNCS r = Record(c.type, c.flags);
    pal.Attach(&r);
    r.src = c.bytes.data();
    r.srcBit = c.srcBit;
    r.fetch(&r);
    EXPECT_EQ(Lanes(r), c.lanes) << "type " << c.type << " flags " << c.flags;
    EXPECT_EQ(r.src - c.bytes.data(), c.advance) << "type " << c.type;
    EXPECT_EQ(r.srcBit, c.bitAfter) << "type " << c.type;
  }
}

TEST(XchgStore, Vectors16) {
  const struct {
    WUPIXELTYPE type;
    bool four;
    std::array<WORD, 4> lanes;
    DWORD dstBit;
    BYTE before;
    std::array<BYTE, 4> bytes;
  } cases[] = {
      {27, false, {0x80FF, 0x80FF, 0x80FF, 0}, 0, 0, {0x80, 0x80, 0x80, 0}},
      {26, false, {0xF800, 0xFC00, 0xF800, 0}, 0, 0, {0xFF, 0xFF, 0, 0}},
      {25, false, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 0, 0, {0xFF, 0x7F, 0, 0}},
      // 1-bit: the single store sets the bit from a sum of 98,303, the
      // four-pixel store from 98,304.
      {16, false, {0x7FFF, 0x7FFF, 0x7FFF, 0}, 0, 0xFF, {0x7F}},
      {16, false, {0x8000, 0x7FFF, 0x8000, 0}, 0, 0x00, {0x80}},
      {17, true, {0x8000, 0x7FFF, 0x8000, 0}, 0, 0x00, {0x00}},
      {17, true, {0x8000, 0x8000, 0x8000, 0}, 0, 0x00, {0xF0}},
      {18, false, {0xFFFF, 0xFFFF, 0xFFFF, 0}, 2, 0x00, {0x30}},
      {19, false, {0xFFFF, 0xFFFF, 0xFFFF, 0}, 4, 0x00, {0x0F}},
      {20, false, {0xFFFF, 0xFFFF, 0xFFFF, 0}, 0, 0x00, {0xFF}},
      {21, false, {3, 4, 5, 0}, 0, 0x00, {4, 0}},
      {28, false, {0x1234, 0x5678, 0x9ABC, 0xDEF0}, 0, 0, {0x12, 0x56, 0x9A, 0xDE}},
      {30, false, {0xFFFF, 0, 0x0040, 0x8000}, 0, 0, {0xFF, 0x03, 0x10, 0x80}},
  };
  for (const auto& c : cases) {
    WUXCHGFUNCS r = Record(c.type, kForce16);
    std::array<BYTE, 16> out{};
    out.fill(c.before);
    for (int s = 0; s < 4; ++s) std::memcpy(r.pixels.w[s], c.lanes.data(), 8);
    r.dst = out.data();
    r.dstBit = c.dstBit;
    if (c.four)
      r.store4(&r);
    else
      r.store(&r);
    const int n = c.four ? 1 : std::max(1, BitsOf(c.type) / 8);
    for (int i = 0; i < n; ++i)
      EXPECT_EQ(out[i], c.bytes[i]) << "type " << c.type << " byte " << i;
  }
}

TEST(XchgFloat, StoreAndCurve) {
  // A float store gives lane * 65,537 / 2^32, slightly below lane / 65,535.
  WUXCHGFUNCS r = Record(32, kForce16);
  float out[4];
  const WORD lanes[4] = {0xFFFF, 0, 32768, 1};
  std::memcpy(r.pixels.w[0], lanes, 8);
  r.dst = reinterpret_cast<BYTE*>(out);
  r.store(&r);
  EXPECT_EQ(out[0], static_cast<float>(65535 * 1.5259021893143654e-05));
  EXPECT_EQ(out[1], 0.0f);
  EXPECT_EQ(out[2], static_cast<float>(32768 * 1.5259021893143654e-05));

  // With a curve the fetch applies it before the conversion to 16 bits.
  WUXCHGFUNCS c;
  ASSERT_EQ(WuXCHGGetFunctionPointers(27, 32, 1, &c, nullptr, 1.0, 2.0), 0);
  const float in[4] = {0.5f, 0.25f, 1.0f, 0.75f};
  c.src = reinterpret_cast<const BYTE*>(in);
  c.fetch(&c);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(c.pixels.w[0][i], WuXchgFloatTo16(WuGammaCurve_Apply(&c.fetchCurve, in[i])));
    if (in[i] < 1.0f) {
      EXPECT_NE(c.pixels.w[0][i], WuXchgFloatTo16(in[i]));
    }
  }
  WuGammaCurve_FreeTables(&c.fetchCurve);
  WuGammaCurve_FreeTables(&c.storeCurve);
}

// Fetch then store on the same type is the identity for every integer type
// (palettes through a map that sends each entry's cell back to it), and
// within one 16-bit step for the float types.
TEST(XchgRoundTrip, FetchThenStoreKeepsPixels) {
  PaletteFixture pal;
  std::mt19937 rng(19);
  for (WUPIXELTYPE type = 16; type <= 32; ++type) {
    const int pixels = 16;
    const int bytes = pixels * BitsOf(type) / 8;
    std::vector<BYTE> in(bytes), out(bytes, 0);
    if (type == 22 || type == 32) {
      for (int i = 0; i < bytes / 4; ++i) {
        const float v = static_cast<float>(rng() % 100001) / 100000.0f;
        std::memcpy(in.data() + 4 * i, &v, 4);
      }
    } else {
      for (BYTE& b : in) b = static_cast<BYTE>(rng());
      if (type == 25)
        for (int i = 1; i < bytes; i += 2) in[i] &= 0x7F;  // bit 15 is written 0
    }
    WUXCHGFUNCS r = Record(type, kForce16);
    pal.Attach(&r);
    r.src = in.data();
    r.dst = out.data();
    for (int i = 0; i < pixels; ++i) {
      r.fetch(&r);
      r.store(&r);
    }
    EXPECT_EQ(r.src, in.data() + bytes) << "type " << type;
    EXPECT_EQ(r.dst, out.data() + bytes) << "type " << type;
    if (type == 22 || type == 32) {
      for (int i = 0; i < bytes / 4; ++i) {
        float a, b;
        std::memcpy(&a, in.data() + 4 * i, 4);
        std::memcpy(&b, out.data() + 4 * i, 4);
        EXPECT_NEAR(a, b, 1.0 / 65535) << "type " << type << " value " << i;
      }
    } else {
      EXPECT_EQ(in, out) << "type " << type;
    }
  }
}

// Through another type and back, with fetch4/store4 for runs and the
// single calls for the tail, keeps every pixel where the middle type holds
// at least the source's bits.
TEST(XchgRoundTrip, ThroughAnotherType) {
  const struct {
    WUPIXELTYPE a, b;
    DWORD flags;
  } cases[] = {
      {27, 29, 1}, {29, 28, 1}, {29, 31, 4}, {25, 27, 4}, {26, 31, 1},
      {20, 21, 4}, {30, 31, 4}, {19, 20, 4}, {27, 31, 4},
  };
  std::mt19937 rng(27);
  for (const auto& c : cases) {
    const int pixels = 7;  // one run of four and a tail of three
    const int bytesA = (pixels * BitsOf(c.a) + 7) / 8, bytesB = (pixels * BitsOf(c.b) + 7) / 8;
    std::vector<BYTE> in(bytesA), mid(bytesB), out(bytesA);
    for (BYTE& v : in) v = static_cast<BYTE>(rng());
    if (c.a == 25)
      for (int i = 1; i < bytesA; i += 2) in[i] &= 0x7F;
    if (c.a == 19) in.back() &= 0xF0;  // the unused half of the last byte
    WUXCHGFUNCS there, back;
    ASSERT_EQ(WuXCHGGetFunctionPointers(c.b, c.a, c.flags, &there, nullptr, 0, 0), 0);
    ASSERT_EQ(WuXCHGGetFunctionPointers(c.a, c.b, c.flags, &back, nullptr, 0, 0), 0);
    for (auto [r, from, to] : {std::tuple{&there, in.data(), mid.data()}, {&back, mid.data(), out.data()}}) {
      r->src = from;
      r->dst = to;
      r->fetch4(r);
      r->store4(r);
      for (int i = 4; i < pixels; ++i) {
        r->fetch(r);
        r->store(r);
      }
    }
    EXPECT_EQ(in, out) << c.a << " -> " << c.b << " -> " << c.a << " flags " << c.flags;
  }
}

// The four-pixel forms of the sub-byte types from every bit offset equal
// four single calls and keep the bits around them.
TEST(XchgRoundTrip, FourPixelFormsOfSubByteTypes) {
  PaletteFixture pal;
  std::mt19937 rng(4);
  for (WUPIXELTYPE type : {16, 17, 18, 19, 23}) {
    const int bits = BitsOf(type);
    for (DWORD start = 0; start < 8; start += bits) {
      BYTE in[4], fill[4];
      for (int i = 0; i < 4; ++i) {
        in[i] = static_cast<BYTE>(rng());
        fill[i] = static_cast<BYTE>(rng());
      }
      WUXCHGFUNCS four = Record(type, kForce16), one = Record(type, kForce16);
      pal.Attach(&four);
      pal.Attach(&one);
      four.src = in;
      four.srcBit = start;
      four.fetch4(&four);
      one.src = in;
      one.srcBit = start;
      for (int i = 0; i < 4; ++i) {
        one.fetch(&one);
        EXPECT_EQ(Lanes(four, i), Lanes(one)) << "type " << type << " start " << start << " pixel " << i;
      }
      EXPECT_EQ(four.src, one.src);
      EXPECT_EQ(four.srcBit, one.srcBit);

      BYTE outFour[4], outOne[4];
      std::memcpy(outFour, fill, 4);
      std::memcpy(outOne, fill, 4);
      four.dst = outFour;
      four.dstBit = start;
      four.store4(&four);
      one.dst = outOne;
      one.dstBit = start;
      for (int i = 0; i < 4; ++i) {
        std::memcpy(one.pixels.w[0], four.pixels.w[i], 8);
        one.store(&one);
      }
      EXPECT_EQ(0, std::memcmp(outFour, outOne, 4)) << "type " << type << " start " << start;
      EXPECT_EQ(four.dst - outFour, one.dst - outOne);
      EXPECT_EQ(four.dstBit, one.dstBit);
      // The stored pixels are the fetched ones; every other bit is the fill.
      for (int k = 0; k < 32; ++k) {
        const int byte = k / 8, bit = 7 - k % 8;
        const bool inside = k >= static_cast<int>(start) && k < static_cast<int>(start) + 4 * bits;
        const int expected = ((inside ? in[byte] : fill[byte]) >> bit) & 1;
        EXPECT_EQ((outFour[byte] >> bit) & 1, expected) << "type " << type << " start " << start << " bit " << k;
      }
    }
  }
}

// Interpolating fetches in 16-bit lanes.
TEST(XchgInterpolate, Bilinear16) {
  // Two rows of two pixels; row 1 is `stride` bytes after row 0.
  const struct {
    WUPIXELTYPE type;
    std::array<BYTE, 32> image;
    int stride;
    LONG wx, wy;
    bool vertical;
    std::array<WORD, 4> lanes;
  } cases[] = {
      // Zero weights return the pixel exactly (bytes x 257).
      {27, {1, 2, 3, 9, 9, 9, 0, 0, 7, 7, 7, 8, 8, 8}, 8, 0, 0, false, {0x0101, 0x0202, 0x0303, 0xFFFF}},
      {28, {1, 2, 3, 4, 9, 9, 9, 9, 7, 7, 7, 7, 8, 8, 8, 8}, 8, 0, 0, false, {0x0101, 0x0202, 0x0303, 0x0404}},
      {29, {1, 2, 3, 4, 9, 9, 9, 9, 7, 7, 7, 7, 8, 8, 8, 8}, 8, 0, 0, false, {0x0101, 0x0202, 0x0303, 0x0404}},
      // The row below contributes (below << 8) | above.
      {27, {0x12, 0x12, 0x12, 0, 0, 0, 0, 0, 0x34, 0x34, 0x34}, 8, 0, 0x4000, false, {0x3412, 0x3412, 0x3412, 0xFFFF}},
      {29, {0x12, 0x12, 0x12, 0x12, 0, 0, 0, 0, 0x34, 0x34, 0x34, 0x56}, 8, 0, 0x4000, true, {0x3412, 0x3412, 0x3412, 0x5612}},
      {27, {0x10, 0x10, 0x10, 0x30, 0x30, 0x30}, 0, 0x2000, 0, false, {0x2020, 0x2020, 0x2020, 0xFFFF}},
      // 64-bit interpolates horizontally only: the row below is never read.
      {31, {0, 0x10, 0, 0x10, 0, 0x10, 0, 0x10, 0, 0x30, 0, 0x30, 0, 0x30, 0, 0x30,
            0, 0xF0, 0, 0xF0, 0, 0xF0, 0, 0xF0}, 16, 0x2000, 0x4000, false, {0x2000, 0x2000, 0x2000, 0x2000}},
      {31, {0, 0x10, 0, 0x10, 0, 0x10, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0,
            0, 0xF0, 0, 0xF0, 0, 0xF0, 0, 0xF0}, 16, 0, 0x2000, true, {0x1000, 0x1000, 0x1000, 0x1000}},
      // 8-bit grey weights the bytes, then multiplies by 257.
      {20, {0x10, 0x30, 0, 0, 0x50, 0x70}, 4, 0x2000, 0x2000, false, {0x4040, 0x4040, 0x4040, 0xFFFF}},
      {20, {0x10, 0x30, 0, 0, 0x50, 0x70}, 4, 0, 0x1000, true, {0x2020, 0x2020, 0x2020, 0xFFFF}},
      // 5:6:5 with the plain fetch's lanes; alpha stays opaque.
      {26, {0x00, 0xF8, 0x00, 0x00}, 0, 0x2000, 0, false, {0, 0, 0x7C00, 0xFFFF}},
      // 2-bit grey: the right neighbour of the last pixel of a byte is the
      // first of the next byte.
      {18, {0x03, 0xC0}, 0, 0x2000, 0, false, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}},
  };
  for (const auto& c : cases) {
    WUXCHGFUNCS r = Record(c.type, kForce16 | kInterp);
    r.src = c.image.data();
    r.srcBit = c.type == 18 ? 6 : 0;
    r.srcStride = c.stride;
    r.weightX = c.wx;
    r.weightY = c.wy;
    if (c.vertical)
      r.fetchVertical(&r);
    else
      r.fetchBilinear(&r);
    EXPECT_EQ(Lanes(r), c.lanes) << "type " << c.type << " wx " << c.wx << " wy " << c.wy;
    EXPECT_EQ(r.src, c.image.data());
  }
}

TEST(XchgInterpolate, Fetch2x2Cursor) {
  const BYTE image[16] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12};
  WUXCHGFUNCS r = Record(27, kForce16);
  r.src = image;
  r.srcStride = 8;
  r.fetch2x2(&r);
  EXPECT_EQ(Lanes(r, 0), (std::array<WORD, 4>{0x0101, 0x0202, 0x0303, 0xFFFF}));
  EXPECT_EQ(Lanes(r, 1), (std::array<WORD, 4>{0x0404, 0x0505, 0x0606, 0xFFFF}));
  EXPECT_EQ(Lanes(r, 2), (std::array<WORD, 4>{0x0707, 0x0808, 0x0909, 0xFFFF}));
  EXPECT_EQ(Lanes(r, 3), (std::array<WORD, 4>{0x0A0A, 0x0B0B, 0x0C0C, 0xFFFF}));
  EXPECT_EQ(r.src, image + 8);  // left on the row below
  WUXCHGFUNCS g = Record(20, kForce16);
  g.src = image;
  g.srcStride = 8;
  g.fetch2x2(&g);
  EXPECT_EQ(Lanes(g, 3)[0], 0x0808);
  EXPECT_EQ(g.src, image);  // unchanged for the grey types
}

TEST(XchgLanes8, FetchStoreAndInterpolate) {
  PaletteFixture pal;
  const BYTE rgb[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  WUXCHGFUNCS r;
  ASSERT_EQ(WuXCHGGetFunctionPointers(29, 27, 1, &r, nullptr, 0, 0), 0);
  ASSERT_EQ(r.laneMode, DWORD(WUXCHG_LANES8));
  r.src = rgb;
  BYTE out[16] = {};
  r.dst = out;
  r.fetch4(&r);
  r.store4(&r);
  const BYTE expected[16] = {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255};
  EXPECT_EQ(0, std::memcmp(out, expected, 16));
  EXPECT_EQ(r.src, rgb + 12);
  EXPECT_EQ(r.dst, out + 16);

  // 32-bit with alpha to the 8-bit palette through the inverse map.
  ASSERT_EQ(WuXCHGGetFunctionPointers(24, 29, 1, &r, nullptr, 0, 0), 0);
  const BYTE px[4] = {(5 << 3) | 1, (3 << 3) | 4, 0x45, 0x99};
  r.src = px;
  BYTE index = 0;
  r.dst = &index;
  pal.Attach(&r);
  r.fetch(&r);
  r.store(&r);
  EXPECT_EQ(index, 3 * 32 + 5);

  // Palette to 24-bit: alpha 255 in the lane, bytes of the entry.
  ASSERT_EQ(WuXCHGGetFunctionPointers(27, 24, 1, &r, nullptr, 0, 0), 0);
  pal.Attach(&r);
  const BYTE idx = 33;
  r.src = &idx;
  r.fetch(&r);
  EXPECT_EQ(r.pixels.b[0][0], pal.palette[33].rgbBlue);
  EXPECT_EQ(r.pixels.b[0][2], 0x40);
  EXPECT_EQ(r.pixels.b[0][3], 255);

  // Interpolating (mode 3): plain bytes at every tap.
  ASSERT_EQ(WuXCHGGetFunctionPointers(27, 27, 3, &r, nullptr, 0, 0), 0);
  const BYTE img[14] = {10, 20, 30, 30, 40, 50, 0, 0, 50, 60, 70, 70, 80, 90};
  r.src = img;
  r.srcStride = 8;
  r.weightX = 0x2000;
  r.weightY = 0x2000;
  r.fetchBilinear(&r);
  EXPECT_EQ(r.pixels.b[0][0], 40);
  EXPECT_EQ(r.pixels.b[0][2], 60);
  EXPECT_EQ(r.pixels.b[0][3], 255);
  r.weightY = 0x1000;
  r.fetchVertical(&r);
  EXPECT_EQ(r.pixels.b[0][0], 20);
  EXPECT_EQ(r.src, img);
}

TEST(XchgLanes8, AreaAverage) {
  // 3 x 3 pixels of 24-bit, rows 9 bytes apart with no padding.
  const int w = 3, h = 3, stride = w * 3;
  std::unique_ptr<BYTE[]> image(new BYTE[stride * h]);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) image[y * stride + x * 3 + c] = static_cast<BYTE>(10 * (y * w + x) + c);
  WUXCHGFUNCS r;
  ASSERT_EQ(WuXCHGGetFunctionPointers(27, 27, 3, &r, nullptr, 0, 0), 0);
  r.src = image.get();
  r.srcStride = stride;
  const struct {
    LONG x, y, width, height;
    std::array<BYTE, 4> expected;
  } cases[] = {
      // The whole image: every sample lies inside the allocation.
      {0, 0, w << 14, h << 14, {40, 41, 42, 255}},
      // Columns 1..2, rows 1..2 (the start rounds up, the end down).
      {0x0001, 0x4000, 0x7FFF + 0x4000, 0x8000, {60, 61, 62, 255}},
      // Narrower than a whole pixel: black, opaque.
      {0x1000, 0, 0x2000, 0x8000, {0, 0, 0, 255}},
      {0, 0x1000, 0x8000, 0x2000, {0, 0, 0, 255}},
  };
  for (const auto& c : cases) {
    r.weightX = c.x;
    r.weightY = c.y;
    r.areaWidth = c.width;
    r.areaHeight = c.height;
    std::memset(r.pixels.b[0], 0x77, 4);
    r.fetchArea(&r);
    EXPECT_EQ((std::array<BYTE, 4>{r.pixels.b[0][0], r.pixels.b[0][1], r.pixels.b[0][2], r.pixels.b[0][3]}),
              c.expected)
        << c.x << "," << c.y;
  }
}

TEST(XchgFloatLanes, CopyAndInterpolate) {
  WUXCHGFUNCS r;
  ASSERT_EQ(WuXCHGGetFunctionPointers(32, 32, 0, &r, nullptr, 2.2, 1.0), 0);
  ASSERT_EQ(r.laneMode, DWORD(WUXCHG_LANESFLOAT));
  const float in[8] = {1.5f, -0.25f, 0.5f, 2.0f, 0.1f, 0.2f, 0.3f, 0.4f};
  float out[8] = {};
  r.src = reinterpret_cast<const BYTE*>(in);
  r.dst = reinterpret_cast<BYTE*>(out);
  r.fetch(&r);
  r.store(&r);
  r.fetch(&r);
  r.store(&r);
  EXPECT_EQ(0, std::memcmp(in, out, sizeof(in)));  // no curve, no clamping

  ASSERT_EQ(WuXCHGGetFunctionPointers(32, 32, 0x20, &r, nullptr, 0, 0), 0);
  const float img[16] = {0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 4, 4, 4, 4};
  r.src = reinterpret_cast<const BYTE*>(img);
  r.srcStride = 32;
  r.weightX = 0x2000;
  r.weightY = 0x2000;
  r.fetchBilinear(&r);
  EXPECT_EQ(r.pixels.f[0][0], 1.75f);
  r.weightY = 0x1000;
  r.fetchVertical(&r);
  EXPECT_EQ(r.pixels.f[0][3], 0.5f);
  r.fetch2x2(&r);
  EXPECT_EQ(r.pixels.f[3][0], 4.0f);
  EXPECT_EQ(r.src, reinterpret_cast<const BYTE*>(img) + 32);
}

}  // namespace
