// Selection tables of the pixel-exchange pipeline (internal to imaging/).
//
// Fetch and store: two groups of pixel types, each with one table of six
// mode rows:
//   0: 16-bit lanes, plain        1: 16-bit lanes, interpolating
//   2: 8-bit lanes, plain         3: 8-bit lanes, interpolating
//   4: float lanes, plain         5: float lanes, interpolating
// The small group holds types 16 to 22 (column type - 16; rows 0 and 1
// only), the large group types 23 to 32 (column type - 23; rows 2 and 3 for
// 24, 27, 28 and 29; rows 4 and 5 for 32). An empty entry is null.
//
// Operations: two sets (plain, alternate) of four rows (16-bit lanes, its
// second variant, 8-bit lanes, its second variant) by 20 op codes. The sets
// differ only in op code 3 in 8-bit lanes.
#pragma once

#include "imaging/WuXchg.h"

constexpr int WUXCHG_MODE_COUNT = 6;
constexpr int WUXCHG_SMALL_FIRST = 16;  // first type of the small group
constexpr int WUXCHG_SMALL_COUNT = 7;
constexpr int WUXCHG_LARGE_FIRST = 23;  // first type of the large group
constexpr int WUXCHG_LARGE_COUNT = 10;
constexpr int WUXCHG_OP_ROWS = 4;
constexpr int WUXCHG_OP_CODES = 20;

// One entry of each of the eight slot tables, in the tables' order.
struct WuXchgSlots {
  WUXCHGFUNC store;
  WUXCHGFUNC fetch;
  WUXCHGFUNC fetchBilinear;
  WUXCHGFUNC fetchArea;
  WUXCHGFUNC fetchVertical;
  WUXCHGFUNC fetch2x2;
  WUXCHGFUNC fetch4;
  WUXCHGFUNC store4;
};

extern const WuXchgSlots g_wuXchgSmallSlots[WUXCHG_MODE_COUNT][WUXCHG_SMALL_COUNT];
extern const WuXchgSlots g_wuXchgLargeSlots[WUXCHG_MODE_COUNT][WUXCHG_LARGE_COUNT];

// One entry of each of the four operation tables of a set.
struct WuXchgOps {
  WUXCHGFUNC op;
  WUXCHGOP4FUNC op4;
  WUXCHGFUNC opKeyMask;
  WUXCHGFUNC opKey2x2;
};

// t[0] the plain set, t[1] the alternate set; [row][op code].
struct WuXchgOpTables {
  WuXchgOps t[2][WUXCHG_OP_ROWS][WUXCHG_OP_CODES];
};
extern const WuXchgOpTables g_wuXchgOpTables;

// Op code 3 on float lanes: each lane a + (b - a) * W / 65536 in float.
void WuXchgOpFloatCrossFade(WUXCHGFUNCS* record);
void WuXchgOp4FloatCrossFade(WUXCHGFUNCS* a, const WUXCHGFUNCS* b);
