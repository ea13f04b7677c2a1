// Per-pixel operations of the pixel-exchange pipeline in 16-bit and 8-bit
// lanes, reached through records from the builder (24-bit to 24-bit: flag
// 0x10 gives 16-bit lanes, none 8-bit lanes; 0x40 the second row, 0x80 the
// alternate set).
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "imaging/WuColorMath.h"
#include "imaging/WuXchg.h"

namespace {

using Px = std::array<int, 4>;

constexpr DWORD kWide = 0x10;
constexpr DWORD kRow2 = 0x40;
constexpr DWORD kAlt = 0x80;

// Options with the same meaning in both lane forms where the values fit.
WUXCHGOPTIONS Options(DWORD code, LONG amount = 0, LONG param2 = 0, LONG tolerance = 0,
                      Px key = {0, 0, 0, 0}) {
  WUXCHGOPTIONS o = {};
  o.opCode = code;
  o.amount = static_cast<WORD>(amount);
  o.amount8 = static_cast<BYTE>(amount);
  o.param2 = static_cast<WORD>(param2);
  o.param28 = static_cast<BYTE>(param2);
  o.tolerance = tolerance;
  o.tolerance8 = static_cast<SHORT>(tolerance);
  for (int c = 0; c < 3; ++c) {
    o.key[c] = static_cast<WORD>(key[c]);
    o.key8[c] = static_cast<BYTE>(key[c]);
  }
  return o;
}

WUXCHGFUNCS Record(DWORD flags, const WUXCHGOPTIONS& o) {
  WUXCHGFUNCS r;
  EXPECT_EQ(WuXCHGGetFunctionPointers(27, 27, flags, &r, &o, 0, 0), 0);
  return r;
}

bool Wide(const WUXCHGFUNCS& r) { return r.laneMode == WUXCHG_LANES16; }

void SetSlot(WUXCHGFUNCS& r, int slot, const Px& p) {
  for (int c = 0; c < 4; ++c) {
    if (Wide(r))
      r.pixels.w[slot][c] = static_cast<WORD>(p[c]);
    else
      r.pixels.b[slot][c] = static_cast<BYTE>(p[c]);
  }
}

Px GetSlot(const WUXCHGFUNCS& r, int slot) {
  Px p;
  for (int c = 0; c < 4; ++c) p[c] = Wide(r) ? r.pixels.w[slot][c] : r.pixels.b[slot][c];
  return p;
}

struct OpCase {
  const char* name;
  DWORD flags;
  WUXCHGOPTIONS options;
  Px a, b, expected;
};

// Runs `op` on (A, B) and `op4` on four copies of the pair, which must agree
// for op codes 0 to 14 and 19.
void RunCases(const std::vector<OpCase>& cases) {
  for (const auto& c : cases) {
    WUXCHGFUNCS r = Record(c.flags, c.options);
    ASSERT_NE(r.op, nullptr) << c.name;
    SetSlot(r, 0, c.a);
    SetSlot(r, 1, c.b);
    r.op(&r);
    EXPECT_EQ(GetSlot(r, 0), c.expected) << c.name;

    const DWORD code = c.options.opCode;
    if (code >= 15 && code <= 18) continue;
    WUXCHGFUNCS a = Record(c.flags, WUXCHGOPTIONS{}), b = Record(c.flags, c.options);
    for (int i = 0; i < 4; ++i) {
      SetSlot(a, i, c.a);
      SetSlot(b, i, c.b);
    }
    r.op4(&a, &b);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(GetSlot(a, i), c.expected) << c.name << " op4 slot " << i;
  }
}

TEST(XchgOps, Vectors) {
  const Px key = {100, 200, 300, 0};
  const Px key8 = {10, 20, 30, 0};
  RunCases({
      {"copy 16", kWide, Options(0), {1, 2, 3, 4}, {5, 6, 7, 8}, {5, 6, 7, 8}},
      {"copy 9, 8-bit", 0, Options(9), {1, 2, 3, 4}, {5, 6, 7, 8}, {5, 6, 7, 8}},
      {"alpha 0", kWide, Options(1), {10, 20, 30, 40}, {65535, 65535, 65535, 0}, {10, 20, 30, 40}},
      {"alpha full", kWide, Options(1), {0, 65535, 1000, 500}, {65535, 0, 2000, 65535},
       {65534, 0, 1999, 65534}},
      {"alpha 8", 0, Options(1), {0, 255, 100, 0}, {255, 0, 200, 128}, {127, 128, 150, 64}},
      {"difference 16", kWide, Options(8), {10, 200, 30, 255}, {20, 100, 30, 0}, {10, 100, 0, 255}},
      {"difference 8", 0, Options(8), {10, 200, 30, 255}, {20, 100, 30, 0}, {10, 100, 0, 255}},
      {"accumulate half", kWide, Options(19, 0x8000), {65535, 65535, 65535, 65535},
       {65535, 65535, 65535, 65535}, {32766, 32766, 32766, 32766}},
      {"accumulate full", kWide, Options(19, 65535), {0, 0, 0, 0}, {65535, 65535, 65535, 65535},
       {65534, 65534, 65534, 65534}},
      {"accumulate 8", 0, Options(19, 128), {255, 0, 1, 2}, {255, 255, 0, 4}, {126, 127, 1, 4}},
      {"key copy inside", kWide, Options(4, 0, 0, 0, key), {1, 2, 3, 4}, {100, 200, 300, 9},
       {1, 2, 3, 4}},
      {"key copy outside", kWide, Options(4, 0, 0, 0, key), {1, 2, 3, 4}, {100, 200, 301, 9},
       {100, 200, 301, 9}},
      {"key copy 8 inside", 0, Options(4, 0, 0, 2, key8), {1, 2, 3, 4}, {11, 21, 30, 9}, {1, 2, 3, 4}},
      {"key copy 8 outside", 0, Options(4, 0, 0, 2, key8), {1, 2, 3, 4}, {11, 21, 31, 9},
       {11, 21, 31, 9}},
      {"key fade outside", kWide, Options(5, 0x8000, 0, 0, key), {0, 0, 0, 0}, {1000, 2000, 3000, 4000},
       {500, 1000, 1500, 2000}},
      {"key shade outside", kWide, Options(6, 0x8000, 0, 0, key), {0, 0, 0, 0}, {1000, 2000, 3000, 4000},
       {500, 1000, 1500, 2000}},
      {"key shade inside", kWide, Options(6, 0, 0x8000, 0, key), {30000, 1000, 0, 7}, {100, 200, 300, 9},
       {15068, 502, 0, 7}},
      {"key colourise inside", kWide, Options(7, 0, 65535, 0, key), {1, 2, 3, 4}, {100, 200, 300, 9},
       {1, 2, 3, 4}},
      {"key colourise darker", kWide, Options(7, 0, 0x8000, 0, key), {1000, 2000, 0, 4},
       {4000, 8000, 0, 9}, {2125, 4250, 0, 4}},
      {"tint", kWide, Options(11, 0x8000, 0, 0, key), {1, 2, 3, 4}, {1000, 2000, 3000, 9},
       {550, 1100, 1650, 4}},
      {"inverse", kWide, Options(12, 65535), {0, 65535, 0, 0}, {0, 0, 65535, 65535},
       {65534, 65535, 0, 0}},
      {"grey", kWide, Options(13, 0x8000), {0, 0, 0, 0}, {3000, 6000, 9000, 1000},
       {3000, 3000, 3000, 500}},
      {"offset from key", kWide, Options(14, 0, 0, 0, key), {1100, 200, 0, 7}, {5000, 5000, 10, 0x8000},
       {5500, 5000, 0, 7}},
      {"offset from key 8", 0, Options(14, 0, 0, 0, key8), {255, 10, 20, 7}, {250, 5, 0, 128},
       {255, 0, 0, 7}},
      {"matte at key", kWide, Options(15, 0, 0, 0, key), {100, 200, 300, 7}, {0, 0, 0, 0},
       {0, 0, 0, 7}},
      {"matte distance", kWide, Options(15, 0, 0, 0, {0, 0, 0, 0}), {1000, 1000, 1000, 7},
       {0, 0, 0, 0}, {1000, 1000, 1000, 7}},
      {"matte full distance", kWide, Options(15, 0, 0, 0, {0, 0, 0, 0}), {65535, 65535, 65535, 7},
       {0, 0, 0, 0}, {65535, 65535, 65535, 7}},
      {"offset, products past 2^31", kWide, Options(14, 0, 0, 0, {65535, 65535, 65535, 0}), {0, 0, 0, 7},
       {100, 0, 65535, 65535}, {99, 0, 65534, 7}},
      {"matte 8", 0, Options(15, 0, 0, 0, key8), {10, 20, 30, 7}, {0, 0, 0, 0}, {0, 0, 0, 7}},
      {"none 16", kWide, Options(16), {1, 2, 3, 4}, {5, 6, 7, 8}, {1, 2, 3, 4}},
      {"none 18", 0, Options(18), {1, 2, 3, 4}, {5, 6, 7, 8}, {1, 2, 3, 4}},
  });
}

// Op 3 in every set and row: 16-bit lanes always mix; 8-bit lanes take
// the 4-bit blend, mix8 or the floor mix by set and row.
TEST(XchgOps, CrossFadeVariants) {
  RunCases({
      {"16 W 0", kWide, Options(3, 0), {1, 2, 3, 4}, {9, 9, 9, 9}, {1, 2, 3, 4}},
      {"16 equal", kWide | kAlt, Options(3, 65535), {7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}},
      {"16 floor", kWide | kRow2, Options(3, 65535), {0, 0, 0, 0}, {65535, 65535, 65535, 65535},
       {65534, 65534, 65534, 65534}},
      {"16 alt second", kWide | kRow2 | kAlt, Options(3, 65535), {0, 0, 0, 0},
       {65535, 65535, 65535, 65535}, {65534, 65534, 65534, 65534}},
      // Plain set, first 8-bit row: the 4-bit blend; a white pair gives 225.
      {"blend4 white", 0, Options(3, 255), {255, 255, 255, 255}, {255, 255, 255, 255},
       {225, 225, 225, 225}},
      {"blend4", 0, Options(3, 100), {10, 255, 0, 160}, {0, 0, 255, 96}, {0, 135, 90, 126}},
      // Plain set, second row: mix8 (toward zero).
      {"mix8", kRow2, Options(3, 100), {10, 255, 0, 160}, {0, 0, 255, 96}, {7, 156, 99, 135}},
  });
  // The alternate set's one-pixel forms take the floor mix; its four-pixel
  // form keeps the 4-bit blend in the first row.
  const struct {
    DWORD flags;
    int op, op4;
  } rows[] = {{0, 0, 0}, {kRow2, 7, 7}, {kAlt, 6, 0}, {kAlt | kRow2, 6, 6}};
  for (const auto& row : rows) {
    WUXCHGFUNCS a = Record(row.flags, Options(3, 100)), b = a;
    SetSlot(a, 0, {10, 0, 0, 0});
    SetSlot(a, 1, {0, 0, 0, 0});
    a.op(&a);
    EXPECT_EQ(GetSlot(a, 0)[0], row.op) << row.flags;
    SetSlot(a, 2, {10, 0, 0, 0});
    SetSlot(b, 2, {0, 0, 0, 0});
    a.op4(&a, &b);
    EXPECT_EQ(GetSlot(a, 2)[0], row.op4) << row.flags;
  }
}

// Mended faults: full-scale shade, 64-bit attenuation, clamped rescaling,
// a ramp without division by zero.
TEST(XchgOps, MendedCases) {
  const Px white = {65535, 65535, 65535, 0};
  RunCases({
      {"shade white", kWide, Options(6, 0, 65535, 0, white), {65535, 65535, 65535, 9}, white,
       {65535, 65535, 65535, 9}},
      {"shade white 8", 0, Options(6, 0, 255, 0, {255, 255, 255, 0}), {255, 255, 255, 9},
       {255, 255, 255, 0}, {255, 255, 255, 9}},
      {"attenuate near 2^31", kWide, Options(2), {65535, 65535, 65535, 65535}, {0, 65535, 1000, 32767},
       {32768, 32769, 32768, 32768}},
      {"attenuate none", kWide, Options(2), {1234, 65535, 0, 7}, {9, 9, 9, 0}, {1234, 65535, 0, 7}},
      {"attenuate 8", 0, Options(2), {255, 200, 0, 255}, {255, 0, 255, 128}, {128, 100, 0, 128}},
      {"colourise brighter", kWide, Options(7, 0, 65535, 0, {9, 9, 9, 0}), {60000, 60000, 60000, 4},
       {1000, 2000, 3000, 9}, {65534, 65534, 65534, 4}},
      {"colourise brighter 8", 0, Options(7, 0, 128, 0, {9, 9, 9, 0}), {250, 250, 250, 4},
       {10, 20, 30, 9}, {132, 137, 142, 4}},
      // Op 17: v 0 below lo, full above lo + T, (g - lo) * full / T between.
      {"ramp T = lo", kWide, Options(17, 0, 1000, 1000), {1500, 1500, 1500, 7}, {}, {32767, 32767, 32767, 7}},
      {"ramp top", kWide, Options(17, 0, 1000, 1000), {2000, 2000, 2000, 7}, {}, {65535, 65535, 65535, 7}},
      {"ramp below", kWide, Options(17, 0, 1000, 1000), {999, 999, 999, 7}, {}, {0, 0, 0, 7}},
      {"step T = 0 at lo", kWide, Options(17, 0, 1000, 0), {1000, 1000, 1000, 7}, {}, {65535, 65535, 65535, 7}},
      {"step T = 0 below", kWide, Options(17, 0, 1000, 0), {999, 1000, 1000, 7}, {}, {0, 0, 0, 7}},
      {"step T < 0", kWide, Options(17, 0, 0, -5), {0, 0, 0, 7}, {}, {65535, 65535, 65535, 7}},
      {"ramp 8", 0, Options(17, 0, 10, 20), {20, 20, 20, 7}, {}, {127, 127, 127, 7}},
  });
}

TEST(XchgOps, ResultTablesAndFourPixelMattes) {
  std::vector<WORD> table2(65536);
  for (int i = 0; i < 65536; ++i) table2[i] = static_cast<WORD>(65535 - i);
  BYTE table1[256];
  for (int i = 0; i < 256; ++i) table1[i] = static_cast<BYTE>(255 - i);
  for (DWORD flags : {kWide, 0u}) {
    for (DWORD code : {15u, 17u}) {
      WUXCHGFUNCS r = Record(flags, Options(code, 0, 0, 10));
      r.opTable1 = table1;
      r.opTable2 = table2.data();
      SetSlot(r, 0, {0, 0, 0, 3});
      r.op(&r);
      const int full = flags ? 65535 : 255;
      // Op 15 at the key and op 17 at g = lo both give 0, through the table.
      EXPECT_EQ(GetSlot(r, 0), (Px{full, full, full, 3})) << flags << " " << code;
      // The four-pixel forms do nothing.
      WUXCHGFUNCS b = r;
      for (int i = 0; i < 4; ++i) SetSlot(r, i, {1, 2, 3, 4});
      r.op4(&r, &b);
      for (int i = 0; i < 4; ++i) EXPECT_EQ(GetSlot(r, i), (Px{1, 2, 3, 4}));
    }
  }
}

TEST(XchgOps, KeyMaskAndKeyed2x2) {
  const Px key = {100, 200, 300, 0};
  for (DWORD flags : {kWide, 0u}) {
    const Px k = flags ? key : Px{10, 20, 30, 0};
    const int full = flags ? 65535 : 255;
    for (DWORD code : {4u, 5u}) {
      WUXCHGFUNCS r = Record(flags, Options(code, 0, 0, 0, k));
      ASSERT_NE(r.opKeyMask, nullptr);
      SetSlot(r, 0, {9, 9, 9, 9});
      SetSlot(r, 1, {k[0], k[1], k[2] + 1, 5});
      r.opKeyMask(&r);
      EXPECT_EQ(GetSlot(r, 0), (Px{full, full, 0, 0}));
      SetSlot(r, 1, {k[0], k[1], k[2], 5});
      r.opKeyMask(&r);
      EXPECT_EQ(GetSlot(r, 0), (Px{0, 0, 0, 0}));

      // Keyed 2x2: the first slot inside the key wins whatever the weights.
      const struct {
        int insideSlot;  // -1: none
        LONG wx, wy;
        Px expected;
      } cases[] = {
          {2, 0, 0, {k[0], k[1], k[2], 77}},
          {2, 0x3FFF, 0x3FFF, {k[0], k[1], k[2], 77}},
          {0, 0x2000, 0x2000, {k[0], k[1], k[2], 77}},
          {-1, 0x2000, 0x2000, {20, 40, 60, 80}},
          {-1, 0, 0, {0, 0, 0, 0}},
      };
      for (const auto& c : cases) {
        const Px far[4] = {{0, 0, 0, 0}, {40, 80, 120, 160}, {0, 0, 0, 0}, {40, 80, 120, 160}};
        for (int i = 0; i < 4; ++i) SetSlot(r, i, i == c.insideSlot ? Px{k[0], k[1], k[2], 77} : far[i]);
        r.weightX = c.wx;
        r.weightY = c.wy;
        r.opKey2x2(&r);
        EXPECT_EQ(GetSlot(r, 0), c.expected) << flags << " inside " << c.insideSlot;
      }
    }
  }
}

TEST(XchgOps, FloatCrossFade) {
  WUXCHGOPTIONS o = Options(3, 0x8000);
  WUXCHGFUNCS a, b;
  ASSERT_EQ(WuXCHGGetFunctionPointers(32, 32, 1, &a, &o, 0, 0), 0);
  const float pa[4] = {0.0f, 1.0f, 0.5f, 2.0f}, pb[4] = {1.0f, 0.0f, 0.5f, 0.0f};
  std::memcpy(a.pixels.f[0], pa, 16);
  std::memcpy(a.pixels.f[1], pb, 16);
  a.op(&a);
  EXPECT_EQ(a.pixels.f[0][0], 0.5f);
  EXPECT_EQ(a.pixels.f[0][1], 0.5f);
  EXPECT_EQ(a.pixels.f[0][2], 0.5f);
  EXPECT_EQ(a.pixels.f[0][3], 1.0f);

  b = a;
  b.options.amount = 0x4000;
  for (int i = 0; i < 4; ++i) {
    std::memcpy(a.pixels.f[i], pa, 16);
    std::memcpy(b.pixels.f[i], pb, 16);
  }
  a.op4(&a, &b);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(a.pixels.f[i][0], 0.25f);
    EXPECT_EQ(a.pixels.f[i][3], 1.5f);
  }
}

}  // namespace
