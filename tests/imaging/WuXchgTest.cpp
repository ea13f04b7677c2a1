// The pixel-exchange builder: effective flags, lane and mode choice,
// operation rows, gamma curves and failures.
#include "imaging/WuXchg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <utility>

#include "imaging/WuColorMath.h"
#include "imaging/WuXchgTables.h"

namespace {

const WuXchgSlots& SlotsAt(WUPIXELTYPE type, int mode) {
  return type < WUXCHG_LARGE_FIRST ? g_wuXchgSmallSlots[mode][type - WUXCHG_SMALL_FIRST]
                                   : g_wuXchgLargeSlots[mode][type - WUXCHG_LARGE_FIRST];
}

// The mode row whose source and destination entries the record holds, or -1.
int ModeOf(const WUXCHGFUNCS& r) {
  for (int m = 0; m < WUXCHG_MODE_COUNT; ++m) {
    const WuXchgSlots& from = SlotsAt(r.srcType, m);
    const WuXchgSlots& to = SlotsAt(r.dstType, m);
    if (from.fetch == r.fetch && from.fetchBilinear == r.fetchBilinear &&
        from.fetchArea == r.fetchArea && from.fetchVertical == r.fetchVertical &&
        from.fetch2x2 == r.fetch2x2 && from.fetch4 == r.fetch4 && to.store == r.store &&
        to.store4 == r.store4)
      return m;
  }
  return -1;
}

TEST(XchgBuilder, EffectiveFlagsAndEdgeWidth) {
  const struct {
    WUPIXELTYPE dst, src;
    DWORD flags, expected, edge;
  } cases[] = {
      {27, 27, 1, 0x180, 0},
      {27, 27, 0x13, 0x1F0, 0},
      {27, 27, 0x25, 0x25, 0},                  // quality 5: flags as given
      {20, 27, 0x25, 0x35, 0},                  // ... plus 0x10 for a pair that forces 16-bit lanes
      {27, 27, 0x00FF0003, 0x00FF01E0, 255},
      {20, 27, 0x00FF0003, 0x00FF01F0, 255},
      {27, 27, 0xF8000E02, 0x1C0, 0},           // the mask drops bits 9-11 and 27-31
  };
  for (const auto& c : cases) {
    WUXCHGFUNCS r;
    ASSERT_EQ(WuXCHGGetFunctionPointers(c.dst, c.src, c.flags, &r, nullptr, 0, 0), 0);
    EXPECT_EQ(r.flags, c.expected) << std::hex << c.flags;
    EXPECT_EQ(r.edgeWidth, c.edge) << std::hex << c.flags;
    EXPECT_EQ(r.srcType, c.src);
    EXPECT_EQ(r.dstType, c.dst);
    EXPECT_EQ(r.op, nullptr);
  }
}

TEST(XchgBuilder, LanesAndModes) {
  const struct {
    WUPIXELTYPE dst, src;
    DWORD flags;
    DWORD lanes;
    int mode;
  } cases[] = {
      {28, 27, 1, WUXCHG_LANES8, 2},       {28, 27, 4, WUXCHG_LANES16, 1},
      {29, 24, 3, WUXCHG_LANES8, 3},       {24, 24, 3, WUXCHG_LANES8, 3},
      {27, 20, 1, WUXCHG_LANES16, 0},      {27, 20, 2, WUXCHG_LANES16, 0},
      {27, 20, 3, WUXCHG_LANES16, 1},      {27, 20, 4, WUXCHG_LANES16, 1},
      {32, 32, 1, WUXCHG_LANESFLOAT, 4},   {32, 32, 3, WUXCHG_LANESFLOAT, 5},
      {32, 32, 4, WUXCHG_LANES16, 1},      {32, 20, 3, WUXCHG_LANES16, 1},
      {16, 31, 0, WUXCHG_LANES16, 0},      {27, 27, 0x20, WUXCHG_LANES8, 3},
  };
  for (const auto& c : cases) {
    WUXCHGFUNCS r;
    ASSERT_EQ(WuXCHGGetFunctionPointers(c.dst, c.src, c.flags, &r, nullptr, 0, 0), 0);
    EXPECT_EQ(r.laneMode, c.lanes) << c.src << "->" << c.dst << " flags " << c.flags;
    EXPECT_EQ(ModeOf(r), c.mode) << c.src << "->" << c.dst << " flags " << c.flags;
  }
}

// 27 -> 24 at quality 2: 0x1C0, 8-bit lanes, mode 2, and op row 3 of the
// alternate tables, whose cross-fade is the floor mix in both forms.
TEST(XchgBuilder, QualityTwoTakesTheAlternateSecondRow) {
  WUXCHGOPTIONS o = {};
  o.opCode = 3;
  o.amount8 = 100;
  WUXCHGFUNCS r, b;
  ASSERT_EQ(WuXCHGGetFunctionPointers(24, 27, 2, &r, &o, 0, 0), 0);
  EXPECT_EQ(r.flags, 0x1C0u);
  EXPECT_EQ(r.laneMode, DWORD(WUXCHG_LANES8));
  EXPECT_EQ(ModeOf(r), 2);
  EXPECT_EQ(r.op, g_wuXchgOpTables.t[1][3][3].op);
  EXPECT_EQ(r.op4, g_wuXchgOpTables.t[1][3][3].op4);
  // 10 -> 0 by 100/256: floor mix 10 + floor(-3.9) = 6 (mix8 would give 7,
  // the 4-bit blend 0).
  r.pixels.b[0][0] = 10;
  r.pixels.b[1][0] = 0;
  r.op(&r);
  EXPECT_EQ(r.pixels.b[0][0], 6);
  b = r;
  r.pixels.b[2][0] = 10;
  b.pixels.b[2][0] = 0;
  r.op4(&r, &b);
  EXPECT_EQ(r.pixels.b[2][0], 6);
}

TEST(XchgBuilder, GreyToFloatAtQualityThree) {
  WUXCHGFUNCS r;
  ASSERT_EQ(WuXCHGGetFunctionPointers(32, 20, 3, &r, nullptr, 2.2, 1.0), 0);
  EXPECT_EQ(r.flags, 0x1F0u);
  EXPECT_EQ(r.laneMode, DWORD(WUXCHG_LANES16));
  EXPECT_EQ(ModeOf(r), 1);
  EXPECT_FLOAT_EQ(r.storeCurve.gamma, static_cast<float>(1.0 / 2.2));
  EXPECT_EQ(r.fetchCurve.gamma, 1.0f);
}

TEST(XchgBuilder, GammaCurves) {
  const struct {
    WUPIXELTYPE dst, src;
    double dstGamma, srcGamma;
    float storeGamma, fetchGamma;
  } cases[] = {
      {32, 27, 0.0, 0.0, 1.0f, 1.0f},                              // both default: ratio 1
      {32, 27, 2.2, 1.0, static_cast<float>(1.0 / 2.2), 1.0f},     // only the store side
      {22, 27, 10.0, 0.1, 0.125f, 1.0f},                           // clamped to 4.0 and 0.5
      {27, 32, 1.0, 2.0, 1.0f, 2.0f},                              // only the fetch side
      {32, 32, 2.2, 1.0, 1.0f, static_cast<float>(1.0 / 2.2)},     // both: the fetch curve
      {22, 22, 1.0, 0.0, 1.0f, static_cast<float>(2.2222222222222223 / 1.0)},
      {28, 27, 2.2, 1.0, 1.0f, 1.0f},                              // no float side
  };
  for (const auto& c : cases) {
    WUXCHGFUNCS r;
    ASSERT_EQ(WuXCHGGetFunctionPointers(c.dst, c.src, 1, &r, nullptr, c.dstGamma, c.srcGamma), 0);
    EXPECT_FLOAT_EQ(r.storeCurve.gamma, c.storeGamma) << c.src << "->" << c.dst;
    EXPECT_FLOAT_EQ(r.fetchCurve.gamma, c.fetchGamma) << c.src << "->" << c.dst;
    EXPECT_EQ(r.storeCurve.table, nullptr);
    EXPECT_EQ(r.fetchCurve.table, nullptr);
    WuGammaCurve_FreeTables(&r.storeCurve);
    WuGammaCurve_FreeTables(&r.fetchCurve);
  }
  WUXCHGFUNCS r;
  ASSERT_EQ(WuXCHGGetFunctionPointers(32, 27, 1, &r, nullptr, 0.0, 0.0), 0);
  EXPECT_FALSE(WuGammaCurve_IsNonUnity(&r.storeCurve));
}

TEST(XchgBuilder, Failures) {
  WUXCHGFUNCS r;
  for (const auto& [dst, src] : {std::pair{15, 27}, {27, 33}, {64, 27}, {27, 64}, {33, 15}}) {
    std::memset(&r, 0xA5, sizeof(r));
    EXPECT_EQ(WuXCHGGetFunctionPointers(dst, src, 1, &r, nullptr, 0, 0), E_INVALIDARG);
    EXPECT_EQ(r.fetch, nullptr);
    EXPECT_EQ(r.store, nullptr);
    EXPECT_EQ(r.flags, 0u);
    EXPECT_EQ(r.src, nullptr);
    EXPECT_EQ(r.fetchCurve.gamma, 1.0f);
    EXPECT_EQ(r.storeCurve.gamma, 1.0f);
  }
  WUXCHGOPTIONS o = {};
  for (DWORD code : {20u, 21u, 0xFFFFFFFFu}) {
    o.opCode = code;
    EXPECT_EQ(WuXCHGGetFunctionPointers(27, 27, 1, &r, &o, 0, 0), E_NOTIMPL) << code;
    EXPECT_EQ(r.op, nullptr);
    EXPECT_EQ(r.fetch, nullptr);
    EXPECT_EQ(r.options.opCode, code);
    EXPECT_EQ(r.flags, 0x180u);
  }
  // Float lanes: only the cross-fade has a float form.
  o.opCode = 4;
  EXPECT_EQ(WuXCHGGetFunctionPointers(32, 32, 1, &r, &o, 0, 0), E_NOTIMPL);
  EXPECT_EQ(r.store, nullptr);
  o.opCode = 3;
  EXPECT_EQ(WuXCHGGetFunctionPointers(32, 32, 1, &r, &o, 0, 0), 0);
  EXPECT_EQ(r.op, &WuXchgOpFloatCrossFade);
  EXPECT_NE(r.store, nullptr);
  // Forced into 16-bit lanes the float pair takes the ordinary operations.
  o.opCode = 4;
  EXPECT_EQ(WuXCHGGetFunctionPointers(32, 32, 0x10, &r, &o, 0, 0), 0);
  EXPECT_NE(r.opKeyMask, nullptr);
}

TEST(XchgBuilder, OperationTablesAreFull) {
  for (int set = 0; set < 2; ++set)
    for (int row = 0; row < WUXCHG_OP_ROWS; ++row)
      for (int code = 0; code < WUXCHG_OP_CODES; ++code) {
        const WuXchgOps& e = g_wuXchgOpTables.t[set][row][code];
        EXPECT_NE(e.op, nullptr);
        EXPECT_NE(e.op4, nullptr);
        EXPECT_EQ(e.opKeyMask != nullptr, code == 4 || code == 5);
        EXPECT_EQ(e.opKey2x2 != nullptr, code == 4 || code == 5);
      }
  // The sets differ only in op code 3, and only in the 8-bit one-pixel
  // forms and the four-pixel form of the second 8-bit row.
  for (int row = 0; row < WUXCHG_OP_ROWS; ++row)
    for (int code = 0; code < WUXCHG_OP_CODES; ++code) {
      const WuXchgOps& p = g_wuXchgOpTables.t[0][row][code];
      const WuXchgOps& a = g_wuXchgOpTables.t[1][row][code];
      EXPECT_EQ(p.op == a.op, code != 3 || row < 2) << row << "," << code;
      EXPECT_EQ(p.op4 == a.op4, code != 3 || row != 3) << row << "," << code;
    }
}

TEST(XchgBuilder, EveryPairAndQualityHasFetchAndStore) {
  for (WUPIXELTYPE dst = 16; dst <= 32; ++dst)
    for (WUPIXELTYPE src = 16; src <= 32; ++src)
      for (DWORD q = 0; q <= 4; ++q) {
        WUXCHGFUNCS r;
        ASSERT_EQ(WuXCHGGetFunctionPointers(dst, src, q, &r, nullptr, 0, 0), 0);
        ASSERT_TRUE(r.fetch && r.store && r.fetch4 && r.store4 && r.fetchBilinear &&
                    r.fetchVertical && r.fetchArea && r.fetch2x2)
            << src << "->" << dst << " q" << q;
      }
}

TEST(XchgHelpers, FloatTo16AndDistances) {
  EXPECT_EQ(WuXchgFloatTo16(-0.25f), 0);
  EXPECT_EQ(WuXchgFloatTo16(1.5f), 0xFFFF);
  EXPECT_EQ(WuXchgFloatTo16(1.0f), 0xFFFF);
  EXPECT_EQ(WuXchgFloatTo16(0.5f), 32768);
  EXPECT_EQ(WuXchgFloatTo16(std::numeric_limits<float>::quiet_NaN()), 0);
  const WORD a[4] = {0, 65535, 100, 7}, b[4] = {65535, 0, 50, 9000};
  EXPECT_EQ(WuXchgRgbDistance16(a, b), 131120);
  const BYTE c[4] = {0, 255, 10, 0}, d[4] = {255, 0, 20, 255};
  EXPECT_EQ(WuXchgRgbDistance8(c, d), 520);
}

}  // namespace
