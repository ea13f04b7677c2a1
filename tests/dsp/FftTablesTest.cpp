// FFT set-up tables of both families in every variant: bit-reversal
// tables word for word, base tables, radix, post-pass and split-level
// twiddles against their layouts and exact values, and the size walks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dsp/FftContext.h"
#include "dsp/SineTables.h"
#include "tests/dsp/FftLayouts.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

using dsptest::BuiltSpec;
using dsptest::GuardedBuffer;
using dsptest::Members;
using dsptest::ReverseBits;
using dsptest::TableChecker;

class FftTablesTest : public dsptest::FftVariantTest {};

std::vector<uint32_t> Words(const uint32_t* p, size_t n) { return std::vector<uint32_t>(p, p + n); }
uint8_t* Bytes(void* p) { return static_cast<uint8_t*>(p); }

// ---- Bit-reversal tables --------------------------------------------------------------

TEST_F(FftTablesTest, BitReversalTablesHoldTheExactWords) {
  using W = std::vector<uint32_t>;
  const W pairs6 = {4, 32, 8, 16, 12, 48, 20, 40, 28, 56, 44, 52, 0, 60, 36, 24, 0};
  ForEachVariant([&](int v) {
    const dsptest::FoundationMembers& m = Members(v);
    alignas(32) uint32_t buffer[64];
    // Orders 0 and 1 write nothing and return the destination.
    for (int order : {0, 1}) {
      std::memset(buffer, 0xEE, sizeof buffer);
      EXPECT_EQ(m.bitRevTable(order, buffer), buffer);
      if (m.bitRevPairs) {
        EXPECT_EQ(m.bitRevPairs(order, buffer), buffer);
      }
      EXPECT_EQ(buffer[0], 0xEEEEEEEEu);
    }
    struct Case {
      int order;
      W index, pairs;
    } cases[] = {{2, {0, 0}, {0, 0}},
                 {3, {0, 2, 0}, {0, 4, 0}},
                 {4, {0, 4, 2, 6, 0}, {4, 8, 0, 12, 0}},
                 {6, {}, pairs6}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.order);
      std::memset(buffer, 0xEE, sizeof buffer);
      // Variant 0's bit-reversal table is the pair form.
      const W& expectedTable = v == 0 ? c.pairs : c.index;
      uint32_t* end = m.bitRevTable(c.order, buffer);
      if (!expectedTable.empty()) {
        EXPECT_EQ(Words(buffer, expectedTable.size()), expectedTable);
        EXPECT_EQ(end, buffer + ((expectedTable.size() + 7) & ~size_t{7}));
      }
      if (m.bitRevPairs) {
        std::memset(buffer, 0xEE, sizeof buffer);
        end = m.bitRevPairs(c.order, buffer);
        EXPECT_EQ(Words(buffer, c.pairs.size()), c.pairs);
        EXPECT_EQ(end, buffer + ((c.pairs.size() + 7) & ~size_t{7}));
      }
    }
    // Larger index tables: word k = 2 rev(k).
    if (v != 0) {
      std::vector<uint32_t> big((1 << 10) + 64);
      m.bitRevTable(12, big.data());
      for (uint32_t k = 1; k < 1024; ++k) ASSERT_EQ(big[k], 2 * ReverseBits(k, 10)) << k;
      EXPECT_EQ(big[1024], 0u);
    }
  });
}

TEST_F(FftTablesTest, TwoLevelTablesHoldRowWordsThenThePairTable) {
  ForEachSimdVariant([](int v) {
    const dsptest::FoundationMembers& m = Members(v);
    std::vector<uint32_t> pairs10(300), pairs12(1100);
    GuardedBuffer tableBytes(1400 * 4, 0);  // 32-byte aligned
    uint32_t* table = reinterpret_cast<uint32_t*>(tableBytes.data());
    m.bitRevPairs(10, pairs10.data());
    m.bitRevPairs(12, pairs12.data());
    // m = 2b: one row word 0, then the pair table of order 2b.
    uint32_t* end = m.bitRevTable2(12, 6, table);
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(Words(table + 1, 1025), Words(pairs12.data(), 1025));
    EXPECT_EQ(end, table + 1 + 1025 + 6);
    // m = 18, b = 5: 256 words rev over 8 bits shifted by 5, then the
    // 257-word pair table of order 10.
    end = m.bitRevTable2(18, 5, table);
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(table[i], ReverseBits(i, 8) << 5) << i;
    EXPECT_EQ(Words(table + 256, 257), Words(pairs10.data(), 257));
    EXPECT_EQ(end, table + 256 + 257 + 7);
    EXPECT_TRUE(tableBytes.GuardsIntact());
  });
}

// ---- Base tables -----------------------------------------------------------------------

TEST_F(FftTablesTest, BuiltInTablesAreCorrectlyRoundedWithTheFixedEntries) {
  const float* f = wuperf::kSineTable1024f;
  const double* d = wuperf::kSineTable1024d;
  for (int k = 0; k < 257; ++k) {
    long double exact = sinl(2 * dsptest::kPiL * k / 1024);
    // Correctly rounded: no neighbour is nearer.
    EXPECT_LE(std::fabs(f[k] - exact), std::fabs(std::nextafter(f[k], 2.0f) - exact)) << k;
    EXPECT_LE(std::fabs(f[k] - exact), std::fabs(std::nextafter(f[k], -2.0f) - exact)) << k;
    if (k == 128) continue;
    EXPECT_LE(std::fabs(d[k] - exact), std::fabs(std::nextafter(d[k], 2.0) - exact)) << k;
    EXPECT_LE(std::fabs(d[k] - exact), std::fabs(std::nextafter(d[k], -2.0) - exact)) << k;
  }
  EXPECT_EQ(dsptest::Bits(d[128]), 0x3FE6A09E667F3BCCull);
  EXPECT_EQ(f[0], 0.0f);
  EXPECT_EQ(f[256], 1.0f);
  EXPECT_EQ(d[256], 1.0);
}

// Up to order 10 every 2^(10-a)-th built-in entry; above, computed within 1
// ulp (floats) or 2 ulp (doubles), sin(pi/4) from its angle at N/8 and 1.0
// at N/4; equal in every variant.
TEST_F(FftTablesTest, BaseTablesCopyOrComputeTheQuarterWave) {
  std::vector<float> f0((1 << 18) / 4 + 64), f1(f0.size());
  std::vector<double> d0(f0.size()), d1(f0.size());
  ForEachVariant([&](int v) {
    for (int order = 2; order <= 18; ++order) {
      SCOPED_TRACE(order);
      const size_t quarter = (size_t{1} << order) / 4;
      float* fe = Members(v).baseTwiddle32fc(order, f1.data());
      double* de = Members(v).baseTwiddle64f(order, d1.data());
      EXPECT_EQ(reinterpret_cast<uintptr_t>(fe),
                (reinterpret_cast<uintptr_t>(f1.data() + quarter + 1) + 31) & ~uintptr_t{31});
      EXPECT_EQ(reinterpret_cast<uintptr_t>(de),
                (reinterpret_cast<uintptr_t>(d1.data() + quarter + 1) + 31) & ~uintptr_t{31});
      TableChecker<float> fc(f1.data(), nullptr, order, 1);
      TableChecker<double> dc(d1.data(), nullptr, order, order <= 10 ? 1 : 2);
      for (uint64_t k = 0; k <= quarter; ++k) {
        // Entry k is sin(2*pi*k/N) = -(-sin).
        dsptest::TwiddleSlot slot{(1ull << order) - k, order, true};
        fc(slot);
        dc(slot);
      }
      EXPECT_TRUE(fc.Result());
      EXPECT_TRUE(dc.Result());
      if (order <= 10) {
        for (size_t k = 0; k < quarter; ++k) {
          ASSERT_EQ(dsptest::Bits(f1[k]), dsptest::Bits(wuperf::kSineTable1024f[k << (10 - order)]));
          ASSERT_EQ(dsptest::Bits(d1[k]), dsptest::Bits(wuperf::kSineTable1024d[k << (10 - order)]));
        }
      } else {
        const double step = 6.283185307179586 / static_cast<double>(1ull << order);
        EXPECT_EQ(d1[quarter / 2], std::sin(static_cast<double>(quarter / 2) * step));
      }
      EXPECT_EQ(f1[quarter], 1.0f);
      EXPECT_EQ(d1[quarter], 1.0);
      if (v == 0) {
        std::copy(f1.begin(), f1.begin() + quarter + 1, f0.begin());
        std::copy(d1.begin(), d1.begin() + quarter + 1, d0.begin());
      }
    }
    // The last order's table equals variant 0's.
    EXPECT_EQ(std::memcmp(f0.data(), f1.data(), ((1 << 18) / 4 + 1) * 4), 0);
    EXPECT_EQ(std::memcmp(d0.data(), d1.data(), ((1 << 18) / 4 + 1) * 8), 0);
  });
}

// ---- Direct radix tables ------------------------------------------------------------------

// Every direct order (complex up to 17, real half-orders up to 17): the values of the layout from the base table, within
// 1 ulp of the exact value, equal angles equal; the builder ends where it
// says, and writes nothing beyond its reservation.
TEST_F(FftTablesTest, RadixTablesFollowTheirLayoutsWithinTheirReservation) {
  ForEachVariant([](int v) {
    const dsptest::FoundationMembers& m = Members(v);
    for (int order = 2; order <= 17; ++order) {
      SCOPED_TRACE(order);
      const int a = order <= 10 ? 10 : order;
      std::vector<float> fs((size_t{1} << a) / 4 + 64);
      std::vector<double> ds(fs.size());
      m.baseTwiddle32fc(a, fs.data());
      m.baseTwiddle64f(a, ds.data());
      const int64_t n = int64_t{1} << order;
      // Complex: 8N bytes in variants 1 to 4 (nothing below order 4),
      // (N/4 + 1) * 24 bytes in variant 0.
      const int64_t reserved32 = v == 0 ? (n / 4 + 1) * 24 : (order < 4 ? 0 : 8 * n);
      GuardedBuffer ct(((reserved32 + 31) & ~31) + 64, 0);
      ct.FillPattern(order);
      std::vector<uint8_t> before(ct.data(), ct.data() + ct.size());
      uint8_t* end = Bytes(m.radixTwiddle32fc(order, fs.data(), a,
                                              reinterpret_cast<float*>(ct.data())));
      EXPECT_EQ(end, ct.data() + ((reserved32 + 31) & ~31));
      TableChecker<float> fc(reinterpret_cast<float*>(ct.data()), fs.data(), a, 1);
      dsptest::ComplexRadixLayout(v, order, fc);
      EXPECT_TRUE(fc.Result());
      EXPECT_LE(static_cast<int64_t>(fc.count() * 4), reserved32);
      EXPECT_EQ(std::memcmp(ct.data() + fc.count() * 4, before.data() + fc.count() * 4,
                            ct.size() - fc.count() * 4),
                0);
      // Real half-order: 16 * 2^h bytes in variants 1 to 4, (2^h/4 + 1) * 48
      // in variant 0.
      const int64_t reserved64 = v == 0 ? (n / 4 + 1) * 48 : (order <= 3 ? 0 : 16 * n);
      GuardedBuffer rt(((reserved64 + 31) & ~31) + 64, 0);
      rt.FillPattern(order + 100);
      std::vector<uint8_t> rbefore(rt.data(), rt.data() + rt.size());
      end = Bytes(m.radixTwiddle64f(order, ds.data(), a, reinterpret_cast<double*>(rt.data())));
      EXPECT_EQ(end, rt.data() + ((reserved64 + 31) & ~31));
      TableChecker<double> dc(reinterpret_cast<double*>(rt.data()), ds.data(), a,
                              a <= 10 ? 1 : 2);
      dsptest::RealRadixLayout(v, order, dc);
      EXPECT_TRUE(dc.Result());
      EXPECT_EQ(std::memcmp(rt.data() + dc.count() * 8, rbefore.data() + dc.count() * 8,
                            rt.size() - dc.count() * 8),
                0);
      EXPECT_TRUE(ct.GuardsIntact());
      EXPECT_TRUE(rt.GuardsIntact());
    }
  });
}

// Known figures: the order-6 complex table fills 480 of its 512
// bytes in variants 2 to 4; order 7 has stages 16 and 64 and a radix-2 run
// of 16 records (variants 2 to 4) or stages 32 and 128 (variant 1); the real
// half-order 5 has one stage of 4 records (384 of 512 bytes).
TEST_F(FftTablesTest, RadixTableFiguresOfOrdersSixAndSeven) {
  ForEachSimdVariant([](int v) {
    const float* s = wuperf::kSineTable1024f;
    struct Counter {
      size_t n = 0;
      void operator()(const dsptest::TwiddleSlot&) { ++n; }
    };
    Counter six, seven, real5;
    dsptest::ComplexRadixLayout(v, 6, six);
    dsptest::ComplexRadixLayout(v, 7, seven);
    dsptest::RealRadixLayout(v, 5, real5);
    if (v >= 2) {
      EXPECT_EQ(six.n * 4, 480u);
      EXPECT_EQ(seven.n * 4, (1 + 4) * 96u + 16 * 32u);
    } else {
      EXPECT_EQ(seven.n * 4, (2 + 8) * 96u);
    }
    EXPECT_EQ(real5.n * 8, 384u);
    alignas(32) float table[256];
    EXPECT_EQ(Members(v).radixTwiddle32fc(6, s, 10, table), table + 128);
  });
}

// Post-pass tables: A = 0.5 cos and Bh = 0.5 - 0.5 sin of the stored cos and
// -sin (variant 0 rounded once from extended precision), the inverse table
// cos and -sin; the last block of variants 1 to 4 is (0, 0) forward and
// (0, -1) inverse for k = N/4.
TEST_F(FftTablesTest, PostPassTablesApplyTheirFormulasToTheTwiddles) {
  ForEachVariant([](int v) {
    for (int order = 6; order <= 14; ++order) {
      SCOPED_TRACE(order);
      const int a = order <= 10 ? 10 : order;
      std::vector<double> s((size_t{1} << a) / 4 + 64);
      Members(v).baseTwiddle64f(a, s.data());
      const uint64_t n = uint64_t{1} << order;
      GuardedBuffer fwd(n / 4 * 16, 0), inv(n / 4 * 16, 0);
      double* f = reinterpret_cast<double*>(fwd.data());
      double* i = reinterpret_cast<double*>(inv.data());
      EXPECT_EQ(Bytes(Members(v).realTwiddleFwd(order, s.data(), a, f)), fwd.data() + n / 4 * 16);
      EXPECT_EQ(Bytes(Members(v).realTwiddleInv(order, s.data(), a, i)), inv.data() + n / 4 * 16);
      for (uint64_t k = (v == 0 ? 0 : 1); k < n / 4 + (v == 0 ? 0 : 1); ++k) {
        // Slot of k: variant 0 interleaved pairs, variants 1 to 4 blocks of
        // two k.
        size_t cosAt = v == 0 ? 2 * k : 4 * ((k - 1) / 2) + (k - 1) % 2;
        size_t sinAt = v == 0 ? 2 * k + 1 : cosAt + 2;
        double c = dsptest::FromBaseTable(s.data(), a, {k, order, false});
        double ns = dsptest::FromBaseTable(s.data(), a, {k, order, true});
        EXPECT_EQ(dsptest::Bits(i[cosAt]), dsptest::Bits(c)) << k;
        EXPECT_EQ(dsptest::Bits(i[sinAt]), dsptest::Bits(ns)) << k;
        EXPECT_EQ(f[cosAt], 0.5 * c) << k;
        double bh = v == 0 ? static_cast<double>(0.5L - 0.5L * -static_cast<long double>(ns))
                           : 0.5 - 0.5 * -ns;
        EXPECT_EQ(f[sinAt], bh) << k;
      }
      if (v != 0) {
        EXPECT_EQ(f[n / 2 - 3], 0.0);
        EXPECT_EQ(f[n / 2 - 1], 0.0);
        EXPECT_EQ(i[n / 2 - 3], 0.0);
        EXPECT_EQ(i[n / 2 - 1], -1.0);
      } else {
        EXPECT_EQ(f[0], 0.5);
        EXPECT_EQ(f[1], 0.5);
      }
      EXPECT_TRUE(fwd.GuardsIntact());
      EXPECT_TRUE(inv.GuardsIntact());
    }
  });
}

// ---- Large orders: split levels and size walks --------------------------------------------

// Every large complex order up to 22 and real order up to 22 in every
// variant: tables from the base table in their layouts, within what the size
// walk reserved, the work size as the walk says. Orders up to 13 also
// against exact values.
TEST_F(FftTablesTest, LargeOrdersBuildWithinTheirSizes) {
  ForEachVariant([](int v) {
    for (int m = dsptest::ComplexSplit(v).directLimit + 1; m <= 22; ++m) {
      SCOPED_TRACE(testing::Message() << "complex order " << m);
      BuiltSpec b = dsptest::BuildComplexLarge(v, m, m <= 13 ? 1 : -1);
      EXPECT_TRUE(b.withinReservation);
      EXPECT_TRUE(b.guardsIntact);
      EXPECT_TRUE(b.tables);
    }
    for (int n = dsptest::RealSplit(v).directLimit + 2; n <= 22; ++n) {
      SCOPED_TRACE(testing::Message() << "real order " << n);
      BuiltSpec b = dsptest::BuildRealLarge(v, n, n <= 13 ? 2 : -1);
      EXPECT_TRUE(b.withinReservation);
      EXPECT_TRUE(b.guardsIntact);
      EXPECT_TRUE(b.tables);
    }
  });
}

wuperf::FftSpec ComplexHead(const BuiltSpec& b) {
  wuperf::FftSpec h;
  std::memcpy(&h, b.head.data(), sizeof h);
  return h;
}
wuperf::FftSpecReal RealHead(const BuiltSpec& b) {
  wuperf::FftSpecReal h;
  std::memcpy(&h, b.head.data(), sizeof h);
  return h;
}

// Known figures of the large layouts.
TEST_F(FftTablesTest, LargeLayoutFigures) {
  // Complex order 18, variant 4: 16 rows by 2^14 columns, radix table of
  // order 14, work 131,072, context bytes 131,104 + 2,097,152.
  BuiltSpec c18 = dsptest::BuildComplexLarge(4, 18, -1);
  EXPECT_EQ(c18.specBytes, 131104 + 2097152);
  EXPECT_EQ(c18.workBytes, 131072);
  EXPECT_EQ(c18.initBytes, 0);
  wuperf::FftSpec h18 = ComplexHead(c18);
  EXPECT_NE(h18.levelTwiddle[0], nullptr);
  EXPECT_EQ(h18.levelTwiddle[1], nullptr);
  EXPECT_EQ(Bytes(h18.levelTwiddle[0]), Bytes(h18.twiddleTable) + 131072);
  // Order 19 from the two-level limit: work at least 0x10000.
  EXPECT_GE(dsptest::BuildComplexLarge(4, 19, -1).workBytes, 0x10000);
  // Variant 0, orders 11 and 12: no split, order-10 radix table and the
  // quarter-period pairs, no work buffer.
  for (int m : {11, 12}) {
    BuiltSpec b = dsptest::BuildComplexLarge(0, m, -1);
    wuperf::FftSpec h = ComplexHead(b);
    EXPECT_EQ(h.workSize, 0);
    EXPECT_NE(h.columnTwiddle, nullptr);
    EXPECT_EQ(b.specBytes, (8 * (1 << m) / 4 + 31) / 32 * 32 + 0x2020);
  }
  // Variant 0, order 21: the level of order 21 over the sub-order 11, which
  // has no split entry: order-10 radix table and 512 quarter-period pairs.
  BuiltSpec c21 = dsptest::BuildComplexLarge(0, 21, -1);
  wuperf::FftSpec h21 = ComplexHead(c21);
  EXPECT_NE(h21.columnTwiddle, nullptr);
  EXPECT_EQ(h21.levelTwiddle[1], nullptr);
  EXPECT_EQ(Bytes(h21.columnTwiddle), Bytes(h21.twiddleTable) + (257 * 24 + 31) / 32 * 32);
  EXPECT_EQ(Bytes(h21.levelColumnTwiddle[0]), Bytes(h21.columnTwiddle) + 512 * 8);
  EXPECT_EQ(h21.workSize, 32 * 1024);
  // Real order 18 (half-order 17), variant 4: one level over sub-order 11,
  // work 32,768.
  BuiltSpec r18 = dsptest::BuildRealLarge(4, 18, -1);
  EXPECT_EQ(r18.workBytes, 32768);
  EXPECT_EQ(RealHead(r18).levelTwiddle[1], nullptr);
  // Real order 20 (half-order 19 >= 18): two-level table, work minimum.
  EXPECT_GE(dsptest::BuildRealLarge(4, 20, -1).workBytes, 0x8000);
  // Real order 13, variant 0 (half-order 12, split 4): work 64 * 16.
  EXPECT_EQ(dsptest::BuildRealLarge(0, 13, -1).workBytes, 64 * 16);
  // Real order 12, variant 0 (half-order 11, no split entry).
  wuperf::FftSpecReal r12 = RealHead(dsptest::BuildRealLarge(0, 12, -1));
  EXPECT_NE(r12.blockTwiddle, nullptr);
  EXPECT_EQ(r12.levelTwiddle[0], nullptr);
  EXPECT_EQ(r12.chunkTwiddle, nullptr);
}

}  // namespace
