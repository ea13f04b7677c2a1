// The split tables and limits of both FFT families, per processor variant.
//
// A transform above its variant's direct limit is split into 2^split rows
// of 2^(order - split) columns, recursively; the block order sets how many
// points one column block of a level holds, and so the work buffer. The set-up
// builders, the size walks and the transforms all read these tables.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <cstdint>

namespace wuperf {
namespace {

constexpr int kFftMaxOrder = 30;  // largest order the tables cover

// A table indexed by order 0..30 from {first order, value} runs: each run
// sets the orders from its first order on, up to the next run.
struct OrderRun {
  int from;      // first order of the run
  uint8_t value; // value from that order on
};
template <int kRuns>
constexpr auto MakeOrderTable(const OrderRun (&runs)[kRuns]) {
  struct Table {
    uint8_t v[kFftMaxOrder + 1];
  } t{};
  for (int r = 0; r < kRuns; ++r)
    for (int o = runs[r].from; o <= kFftMaxOrder; ++o) t.v[o] = runs[r].value;
  return t;
}

// ---- Complex single precision ----------------------------------------------

// Variants 2 to 4 (variant 4 and 3 also share the limits).
constexpr auto kComplexSplitV432 =
    MakeOrderTable<4>({{17, 3}, {18, 4}, {21, 5}, {22, 8}});
constexpr auto kComplexBlockV432 =
    MakeOrderTable<4>({{17, 9}, {18, 10}, {21, 13}, {22, 15}});
constexpr auto kComplexSplitV1 =
    MakeOrderTable<4>({{16, 4}, {19, 5}, {20, 6}, {22, 8}});
constexpr auto kComplexBlockV1 =
    MakeOrderTable<4>({{16, 9}, {17, 10}, {19, 13}, {22, 14}});
constexpr auto kComplexSplitV0 =
    MakeOrderTable<7>({{13, 5}, {14, 6}, {15, 7}, {16, 8}, {19, 10}, {23, 8}, {25, 10}});

// The constants of one variant's complex set-up.
struct ComplexFftTraits {
  int directLimit;        // T: largest order of the direct path
  int twoLevelFrom;       // two-level bit reversal and the work minimum from here
  int32_t minLargeWork;   // work minimum of large orders
  bool oddRadix4Only;     // odd orders: radix-4 stages from span 32, no radix-2 run
  const uint8_t* split;   // split order per order
  const uint8_t* block;   // block order per order
};
constexpr ComplexFftTraits kComplexV4 = {17, 19, 0x10000, false, kComplexSplitV432.v,
                                         kComplexBlockV432.v};
constexpr ComplexFftTraits kComplexV3 = kComplexV4;
constexpr ComplexFftTraits kComplexV2 = {16, 18, 0x10000, false, kComplexSplitV432.v,
                                         kComplexBlockV432.v};
constexpr ComplexFftTraits kComplexV1 = {15, 17, 0x10000, true, kComplexSplitV1.v,
                                         kComplexBlockV1.v};
constexpr int kComplexDirectLimitV0 = 10;  // V0: largest order of the direct path

// ---- Real double precision (tables by half-order) --------------------------

constexpr auto kRealSplitV43 = MakeOrderTable<2>({{17, 6}, {21, 8}});
constexpr auto kRealBlockV43 = MakeOrderTable<2>({{17, 10}, {21, 13}});
constexpr auto kRealSplitV2 = MakeOrderTable<3>({{15, 4}, {19, 6}, {21, 8}});
constexpr auto kRealBlockV2 = MakeOrderTable<4>({{15, 8}, {16, 10}, {19, 13}, {21, 14}});
constexpr auto kRealSplitV1 = MakeOrderTable<10>({{14, 4}, {18, 5}, {19, 6}, {20, 7}, {21, 8},
                                                  {22, 4}, {23, 5}, {24, 6}, {25, 7}, {26, 8}});
constexpr auto kRealBlockV1 = MakeOrderTable<7>(
    {{14, 8}, {16, 10}, {18, 12}, {19, 13}, {22, 10}, {23, 12}, {24, 13}});
constexpr auto kRealSplitV0 = MakeOrderTable<8>(
    {{12, 4}, {13, 5}, {14, 6}, {15, 7}, {17, 8}, {18, 9}, {21, 8}, {23, 9}});

// The constants of one variant's real set-up.
struct RealFftTraits {
  int directLimit;        // largest half-order without split
  int twoLevelFrom;       // two-level bit reversal and the work minimum from here
  int32_t minLargeWork;   // work minimum from twoLevelFrom
  const uint8_t* split;   // split order per half-order
  const uint8_t* block;   // block order per half-order
};
constexpr RealFftTraits kRealV4 = {16, 18, 0x8000, kRealSplitV43.v, kRealBlockV43.v};
constexpr RealFftTraits kRealV3 = kRealV4;
constexpr RealFftTraits kRealV2 = {14, 17, 0x8000, kRealSplitV2.v, kRealBlockV2.v};
constexpr RealFftTraits kRealV1 = {13, 16, 0x8000, kRealSplitV1.v, kRealBlockV1.v};
constexpr int kRealDirectLimitV0 = 10;  // V0: largest half-order of the direct path

}  // namespace
}  // namespace wuperf
