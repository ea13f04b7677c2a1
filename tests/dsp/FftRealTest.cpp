// The forward real double-precision FFT: set-up sizes and statuses, the
// fixed kernels, transforms through the export and the out-of-place drivers
// against the oracle in every variant, closed forms, and bit identities.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dsp/FftReal.h"
#include "dsp/FftContext.h"
#include "dsp/FftVariants.h"
#include "dsp/WuPerf.h"
#include "dsp/WuPerfTesting.h"
#include "tests/dsp/FftIdentity.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/FftRealTestSupport.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

using dsptest::RealCase;
using dsptest::RealFwd;
using dsptest::RealPlacement;
using wuperf::FftSpecReal;

class FftRealTest : public dsptest::FftVariantTest {};

WuPerfStatus Status(HRESULT hr) {
  return hr >= 0 ? static_cast<WuPerfStatus>(hr - 0x0004E600)
                 : -static_cast<WuPerfStatus>(static_cast<uint32_t>(hr) - 0x8004E600u);
}

// ---- Set-up -----------------------------------------------------------------

int32_t BufSize(int order, int flag = 8) {
  void* ctx = nullptr;
  EXPECT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, order, flag, 0)), WuPerfOk);
  int32_t size = -1;
  EXPECT_EQ(Status(WuPerfsFFTGetBufSize_R_64f(ctx, &size)), WuPerfOk);
  EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(ctx)), WuPerfOk);
  return size;
}

TEST_F(FftRealTest, SizeQueryAnswersByVariantAndOrder) {
  struct Row {
    int variant, order;
    int32_t size;
  } rows[] = {{4, 6, 544},     {4, 10, 8224},     {4, 11, 16416}, {4, 17, 1048608},
              {4, 18, 32800},  {3, 17, 1048608},  {0, 6, 0},      {0, 12, 0},
              {0, 13, 1056},   {2, 16, 32800},    {1, 15, 16416}, {4, 3, 0}};
  for (const Row& r : rows) {
    if (!dsptest::VariantSupported(r.variant)) continue;
    SCOPED_TRACE(testing::Message() << "variant " << r.variant << " order " << r.order);
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(r.variant));
    EXPECT_EQ(BufSize(r.order), r.size);
  }
}

TEST_F(FftRealTest, SizeRuleGivesInitSizesAndHeadBasedSpecSizes) {
  ForEachVariant([](int v) {
    auto sizes = dsptest::RealSizesFor(v);
    int32_t ctx = 0, init = 0, work = 0;
    ASSERT_EQ(sizes(11, 8, &ctx, &init, &work), WuPerfOk);
    EXPECT_EQ(init, 4160);
    if (v != 0) {  // variant 0's levels add their scratch
      ASSERT_EQ(sizes(17, 8, &ctx, &init, &work), WuPerfOk);
      EXPECT_EQ(init, 262208);
      ASSERT_EQ(sizes(18, 8, &ctx, &init, &work), WuPerfOk);
      EXPECT_EQ(init, 524352);
    }
    ASSERT_EQ(sizes(5, 8, &ctx, &init, &work), WuPerfOk);
    EXPECT_EQ(ctx, static_cast<int32_t>(sizeof(FftSpecReal)) + 32);
    // Order 6: the tables of the 32-bit layout plus the head's natural size.
    const int32_t headExtra = ((sizeof(FftSpecReal) + 31) & ~31u) + 32 - 128;
    ASSERT_EQ(sizes(6, 8, &ctx, &init, &work), WuPerfOk);
    EXPECT_EQ(ctx, (v == 0 ? 640 : 1248) + headExtra);
    ASSERT_EQ(sizes(10, 8, &ctx, &init, &work), WuPerfOk);
    if (v >= 3) {
      EXPECT_EQ(ctx, 17088 + headExtra);
      ASSERT_EQ(sizes(18, 8, &ctx, &init, &work), WuPerfOk);
      EXPECT_EQ(ctx, 4358336 + headExtra);
    }
  });
}

TEST_F(FftRealTest, SetUpStatusesComeInTheirOrder) {
  ForEachVariant([](int) {
    void* ctx = nullptr;
    EXPECT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, 27, 1, 0)), WuPerfErrFFTOrder);
    EXPECT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, 27, 3, 0)), WuPerfErrFFTFlag);
    EXPECT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, 31, 3, 0)), WuPerfErrFFTOrder);
    EXPECT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, -1, 1, 0)), WuPerfErrFFTOrder);
    EXPECT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(nullptr, 31, 3, 0)), WuPerfErrNullPointer);
    EXPECT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, 8, 0, 0)), WuPerfErrFFTFlag);
    EXPECT_EQ(ctx, nullptr);
    int32_t size = 0;
    EXPECT_EQ(Status(WuPerfsFFTGetBufSize_R_64f(nullptr, &size)), WuPerfErrNullPointer);
    EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(nullptr)), WuPerfErrNullPointer);
    EXPECT_EQ(Status(WuPerfsFFTFwd_RToPerm_64f_I(nullptr, nullptr, nullptr)), WuPerfErrNullPointer);
  });
}

TEST_F(FftRealTest, ContextOfAnotherKindIsRefusedAndKept) {
  ForEachVariant([](int) {
    // A head of the complex kind (context id 4), as the complex set-up leaves it.
    alignas(32) uint8_t block[sizeof(wuperf::FftSpec)] = {};
    auto* complexHead = reinterpret_cast<wuperf::FftSpec*>(block);
    complexHead->contextId = wuperf::kFftContextComplex32fc;
    complexHead->ownsBlock = 1;
    int32_t size = 0;
    double data[8] = {};
    EXPECT_EQ(Status(WuPerfsFFTGetBufSize_R_64f(block, &size)), WuPerfErrContextKind);
    EXPECT_EQ(Status(WuPerfsFFTFwd_RToPerm_64f_I(data, block, nullptr)), WuPerfErrContextKind);
    EXPECT_EQ(Status(WuPerfsFFTFwd_RToPerm_64f_I(nullptr, block, nullptr)), WuPerfErrContextKind);
    EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(block)), WuPerfErrContextKind);
    EXPECT_EQ(complexHead->contextId, wuperf::kFftContextComplex32fc);
    // A real context with a null array: -8 after the kind check.
    void* ctx = nullptr;
    ASSERT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, 3, 1, 0)), WuPerfOk);
    EXPECT_EQ(Status(WuPerfsFFTFwd_RToPerm_64f_I(nullptr, ctx, nullptr)), WuPerfErrNullPointer);
    EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(ctx)), WuPerfOk);
  });
}

TEST_F(FftRealTest, FailingAllocationOfEitherBlockLeaksNothing) {
  ForEachVariant([](int) {
    for (int failAt : {1, 2}) {
      dsptest::CountingAllocator alloc(failAt);
      void* ctx = reinterpret_cast<void*>(0x1);
      EXPECT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, 12, 1, 0)), WuPerfErrNoMemory);
      EXPECT_EQ(ctx, reinterpret_cast<void*>(0x1));
      EXPECT_EQ(alloc.Outstanding(), 0);
    }
    // The driver's own work buffer: -9 with the array untouched.
    void* ctx = nullptr;
    ASSERT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, 14, 8, 0)), WuPerfOk);
    std::vector<double> data(1 << 14, 1.5);
    {
      dsptest::CountingAllocator alloc(1);
      EXPECT_EQ(Status(WuPerfsFFTFwd_RToPerm_64f_I(data.data(), ctx, nullptr)), WuPerfErrNoMemory);
      EXPECT_EQ(alloc.Outstanding(), 0);
    }
    for (double d : data) ASSERT_EQ(d, 1.5);
    EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(ctx)), WuPerfOk);
  });
}

TEST_F(FftRealTest, HeadHoldsHintScalingAndTables) {
  ForEachVariant([](int v) {
    struct Row {
      int flag, fwd, inv;
      double factor;
    } rows[] = {{1, 1, 0, 1.0 / 64}, {2, 0, 1, 1.0 / 64}, {4, 1, 1, 0.125}, {8, 0, 0, 0.0}};
    for (const Row& r : rows) {
      void* p = nullptr;
      ASSERT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&p, 6, r.flag, 2)), WuPerfOk);
      auto* ctx = static_cast<FftSpecReal*>(p);
      EXPECT_EQ(ctx->contextId, 9);
      EXPECT_EQ(ctx->hint, 2);
      EXPECT_EQ(ctx->variant, v);
      EXPECT_EQ(ctx->ownsBlock, 1);
      EXPECT_EQ(ctx->scaleForward, r.fwd);
      EXPECT_EQ(ctx->scaleInverse, r.inv);
      EXPECT_EQ(ctx->scaleFactor, r.factor);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(ctx) % 32, 0u);
      EXPECT_EQ(ctx->bitRevTable == nullptr, v == 0);
      if (v == 4 && r.flag == 8) {
        // Eight post-pass records; the last Bh pair is Bh(15), Bh(16) = 0.
        const double* post = static_cast<const double*>(ctx->forwardRealTwiddle);
        EXPECT_EQ(static_cast<const uint8_t*>(ctx->inverseRealTwiddle) -
                      reinterpret_cast<const uint8_t*>(post), 8 * 32);
        EXPECT_NEAR(post[7 * 4 + 2], 0.5 - 0.5 * std::sin(2 * M_PI * 15 / 64), 1e-16);
        EXPECT_EQ(post[7 * 4 + 3], 0.0);
      }
      EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(p)), WuPerfOk);
    }
    void* p = nullptr;
    ASSERT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&p, 0, 4, 0)), WuPerfOk);
    EXPECT_EQ(static_cast<FftSpecReal*>(p)->scaleFactor, 1.0);
    EXPECT_EQ(BufSize(0, 4), 0);
    EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(p)), WuPerfOk);
  });
}

// ---- Fixed kernels --------------------------------------------------------------

TEST_F(FftRealTest, FixedKernelsGiveTheKnownSpectra) {
  for (int row = 0; row < 5; ++row) {
    SCOPED_TRACE(testing::Message() << "row " << row);
    const wuperf::FixedKernelSlot* k = wuperf::WuPerfFFTFwd64f_FixedKernels[row];
    double y[32];
    const double four[4] = {1, 2, 3, 4};
    k[2].plain(four, y);
    EXPECT_EQ(std::vector<double>(y, y + 4), (std::vector<double>{10, -2, -2, 2}));
    const double two[2] = {3, 5};
    k[1].plain(two, y);
    EXPECT_EQ(std::vector<double>(y, y + 2), (std::vector<double>{8, -2}));
    const double eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    k[3].plain(eight, y);
    std::vector<long double> exact = {36, -4, -4, 9.65685424949238019520L, -4, 4, -4,
                                      1.65685424949238019520L};
    EXPECT_TRUE(dsptest::WithinFftBound(exact, y, 3));
    for (int o = 2; o <= 5; ++o) {
      const int n = 1 << o;
      std::vector<double> impulse(n, 0.0), ones(n, 1.0);
      impulse[0] = 1;
      k[o].plain(impulse.data(), y);
      for (int i = 0; i < n; ++i) EXPECT_TRUE(y[i] == (i < 2 || i % 2 == 0 ? 1.0 : 0.0)) << o << " " << i;
      k[6 + o].scaled(ones.data(), y, 1.0 / n);
      for (int i = 0; i < n; ++i) EXPECT_TRUE(y[i] == (i == 0 ? 1.0 : 0.0)) << o << " " << i;
      // In place equals out of place, for every order against the oracle.
      const std::vector<double>& in = dsptest::RealInput(o, 7);
      std::vector<double> out(n), same(in);
      k[o].plain(in.data(), out.data());
      k[o].plain(same.data(), same.data());
      EXPECT_EQ(out, same);
      EXPECT_TRUE(dsptest::WithinFftBound(dsptest::RealOracle(o, 7, false), out.data(), o));
    }
  }
}

TEST_F(FftRealTest, FixedKernelColumnsAreEqualBitsInEveryRowAndTheComplexKernelIsADft) {
  for (int col = 0; col < 12; ++col) {
    const int o = col % 6;
    const std::vector<double>& in = dsptest::RealInput(o, 3);
    std::vector<double> first(in.size()), other(in.size());
    for (int row = 0; row < 5; ++row) {
      const wuperf::FixedKernelSlot& k = wuperf::WuPerfFFTFwd64f_FixedKernels[row][col];
      std::vector<double>& out = row == 0 ? first : other;
      if (col < 6) k.plain(in.data(), out.data());
      else k.scaled(in.data(), out.data(), 0.3);
      if (row > 0) {
        EXPECT_EQ(0, std::memcmp(first.data(), other.data(), 8 * in.size())) << col;
      }
    }
  }
  const wuperf::FixedKernelSlot* v0 = wuperf::WuPerfFFTFwd64f_FixedKernels[4];
  const std::vector<float>& inf = dsptest::ComplexInput(5, 11);
  std::vector<double> in(inf.begin(), inf.end()), out(64), scaled(64);
  v0[17].plain(in.data(), out.data());
  std::vector<dsptest::ComplexLD> x(32);
  for (int i = 0; i < 32; ++i) x[i] = {in[2 * i], in[2 * i + 1]};
  std::vector<dsptest::ComplexLD> exact = dsptest::DirectComplexDft(x, false);
  std::vector<long double> flat;
  for (auto& c : exact) flat.push_back(c.real()), flat.push_back(c.imag());
  EXPECT_TRUE(dsptest::WithinFftBound(flat, out.data(), 6));
  v0[23].scaled(in.data(), scaled.data(), 0.25);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(scaled[i], out[i] * 0.25);
}

// ---- Transforms against the oracle -------------------------------------------------

TEST_F(FftRealTest, ExportMatchesTheOracleInEveryVariantOrderAndFlag) {
  ForEachVariant([](int v) {
    for (int order = 0; order <= 22; ++order) {
      for (int flag : {1, 4, 8}) {
        SCOPED_TRACE(testing::Message() << "order " << order << " flag " << flag);
        std::vector<double> got = RealFwd(RealCase{v, order, flag, RealPlacement::kExport, 0, 5});
        std::vector<long double> exact = dsptest::RealOracle(order, 5, false);
        const long double f = flag == 1 ? 1.0L / (1 << order)
                                       : flag == 4 ? 1.0L / std::sqrt(static_cast<long double>(1 << order))
                                                   : 1.0L;
        for (long double& e : exact) e *= f;
        ASSERT_TRUE(dsptest::WithinFftBound(exact, got.data(), order));
      }
    }
  });
}

TEST_F(FftRealTest, OutOfPlaceDriversEqualInPlaceAtTheRouteEdges) {
  struct Edge {
    int variant;
    std::vector<int> orders;
  } edges[] = {{4, {6, 7, 11, 12, 15, 16, 17, 18, 19, 22}},
               {3, {6, 7, 11, 12, 15, 16, 17, 18, 19, 22}},
               {2, {10, 11, 15, 16, 17, 18, 19}},
               {1, {14, 15, 16, 17, 19}},
               {0, {6, 7, 8, 11, 12, 13, 21}}};
  for (const Edge& e : edges) {
    if (!dsptest::VariantSupported(e.variant)) continue;
    for (int order : e.orders) {
      for (int flag : {1, 8}) {
        SCOPED_TRACE(testing::Message() << "variant " << e.variant << " order " << order << " flag " << flag);
        std::vector<double> in = RealFwd(RealCase{e.variant, order, flag, RealPlacement::kExport, 0, 9});
        std::vector<double> out =
            RealFwd(RealCase{e.variant, order, flag, RealPlacement::kDriverOutOfPlace, 0, 9});
        ASSERT_EQ(in.size(), out.size());
        EXPECT_EQ(0, std::memcmp(in.data(), out.data(), 8 * in.size()));
        if (flag == 8) {
          ASSERT_TRUE(dsptest::WithinFftBound(dsptest::RealOracle(order, 9, false), out.data(), order));
        }
      }
    }
  }
}

// ---- Bit reversal and stage routines of variants 2 and 1 --------------------------------

TEST_F(FftRealTest, VariantTwoBitReversalCopyGivesVariantFourPermutation) {
  for (int h : {16, 17}) {
    const int32_t m = 1 << h;
    std::vector<uint32_t> table((m >> 2) + 16);
    wuperf::v4::WuPerfFFT_BitRevTable_V4(h, table.data());
    std::vector<double> src(2 * static_cast<size_t>(m));
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<double>(i);
    std::vector<double> a(src.size()), b(src.size()), c(src);
    wuperf::v2::WuPerfFFT64f_BitRevCopy_V2(src.data(), a.data(), m, table.data());
    wuperf::v4::WuPerfFFT64f_BitRevCopy_V4(src.data(), b.data(), m, table.data());
    EXPECT_EQ(a, b);
    wuperf::v2::WuPerfFFT64f_BitRevInPlace_V2(c.data(), m, table.data());
    EXPECT_EQ(a, c);
    // Point j lands at the reverse of j over h bits.
    for (int32_t j : {1, 3, m / 2 + 5, m - 2}) {
      uint32_t r = 0;
      for (int bit = 0; bit < h; ++bit) r |= ((static_cast<uint32_t>(j) >> bit) & 1u) << (h - 1 - bit);
      EXPECT_EQ(a[2 * r], 2.0 * j);
    }
  }
}

TEST_F(FftRealTest, ForwardThenInverseStageRoutinesReturnMTimesTheInput) {
  using Passes = void (*)(double*, int32_t, const double*, uint8_t*, int32_t);
  struct Row {
    int variant;
    Passes fwd, inv;
  } rows[] = {{2, wuperf::v2::WuPerfFFTFwd64f_Passes_V2, wuperf::v2::WuPerfFFTInv64f_Passes_V2},
              {1, wuperf::v1::WuPerfFFTFwd64f_Passes_V1, wuperf::v1::WuPerfFFTInv64f_Passes_V1}};
  for (const Row& row : rows) {
    for (int h : {4, 5, 10, 11, 14}) {
      SCOPED_TRACE(testing::Message() << "variant " << row.variant << " half-order " << h);
      const int32_t m = 1 << h;
      std::vector<double> base((m >> 2) + 8), tw(2 * static_cast<size_t>(m) + 8);
      std::vector<uint32_t> table((m >> 2) + 16);
      wuperf::v4::WuPerfFFT64f_BaseTwiddle_V4(h, base.data());
      wuperf::v4::WuPerfFFT64f_RadixTwiddle_V4(h, base.data(), h, tw.data());
      wuperf::v4::WuPerfFFT_BitRevTable_V4(h, table.data());
      const std::vector<float>& in = dsptest::ComplexInput(h, 4);
      std::vector<double> x(in.begin(), in.end()), y(x.size());
      wuperf::v2::WuPerfFFT64f_BitRevCopy_V2(x.data(), y.data(), m, table.data());
      row.fwd(y.data(), m, tw.data(), nullptr, 1);
      // Against the oracle, then back.
      const std::vector<dsptest::ComplexLD>& exact = dsptest::ComplexOracle(h, 4, false);
      std::vector<long double> flat;
      for (const auto& c : exact) flat.push_back(c.real()), flat.push_back(c.imag());
      EXPECT_TRUE(dsptest::WithinFftBound(flat, y.data(), h + 1));
      wuperf::v2::WuPerfFFT64f_BitRevInPlace_V2(y.data(), m, table.data());
      row.inv(y.data(), m, tw.data(), nullptr, 1);
      std::vector<long double> scaled(x.begin(), x.end());
      for (long double& v : scaled) v *= m;
      EXPECT_TRUE(dsptest::WithinFftBound(scaled, y.data(), h + 1));
    }
  }
}

// The members of variants 1 to 4 that the tests below call directly.
struct SimdMembers {
  int variant;
  void (*bitRevInPlace)(double*, int32_t, const uint32_t*);
  void (*bitRevCopy)(const double*, double*, int32_t, const uint32_t*);
  void (*fwdPasses)(double*, int32_t, const double*, uint8_t*, int32_t);
  void (*invPasses)(double*, int32_t, const double*, uint8_t*, int32_t);
};
const SimdMembers kSimdMembers[] = {
    {4, wuperf::v4::WuPerfFFT64f_BitRevInPlace_V4, wuperf::v4::WuPerfFFT64f_BitRevCopy_V4,
     wuperf::v4::WuPerfFFTFwd64f_Passes_V4, wuperf::v4::WuPerfFFTInv64f_Passes_V4},
    {3, wuperf::v3::WuPerfFFT64f_BitRevInPlace_V3, wuperf::v3::WuPerfFFT64f_BitRevCopy_V3,
     wuperf::v3::WuPerfFFTFwd64f_Passes_V3, wuperf::v3::WuPerfFFTInv64f_Passes_V3},
    {2, wuperf::v2::WuPerfFFT64f_BitRevInPlace_V2, wuperf::v2::WuPerfFFT64f_BitRevCopy_V2,
     wuperf::v2::WuPerfFFTFwd64f_Passes_V2, wuperf::v2::WuPerfFFTInv64f_Passes_V2},
    {1, wuperf::v1::WuPerfFFT64f_BitRevInPlace_V1, wuperf::v1::WuPerfFFT64f_BitRevCopy_V1,
     wuperf::v1::WuPerfFFTFwd64f_Passes_V1, wuperf::v1::WuPerfFFTInv64f_Passes_V1}};

uint32_t ReverseBits(uint32_t j, int bits) {
  uint32_t r = 0;
  for (int bit = 0; bit < bits; ++bit) r |= ((j >> bit) & 1u) << (bits - 1 - bit);
  return r;
}

// The 4 x 4 block moves, the small arrays below them, and both walks of the
// copy (source runs up to 32,768 points, 65,536 in variant 2; destination
// runs above), on arrays on and off the 16-byte grid.
TEST_F(FftRealTest, BitReversalsPermuteExactlyOnBothSidesOfTheirWalkLimits) {
  for (const SimdMembers& v : kSimdMembers) {
    if (!dsptest::VariantSupported(v.variant)) continue;
    for (int h : {2, 3, 4, 5, 6, 15, 16, 17}) {
      SCOPED_TRACE(testing::Message() << "variant " << v.variant << " half-order " << h);
      const int32_t m = 1 << h;
      std::vector<uint32_t> table((m >> 2) + 16);
      wuperf::v4::WuPerfFFT_BitRevTable_V4(h, table.data());
      for (int shift : {0, 1}) {
        std::vector<double> src(2 * static_cast<size_t>(m) + 1), dst(src.size(), -1.0);
        for (size_t i = 0; i + shift < src.size(); ++i) src[i + shift] = static_cast<double>(i);
        std::vector<double> inPlace(src);
        v.bitRevCopy(src.data() + shift, dst.data() + shift, m, table.data());
        v.bitRevInPlace(inPlace.data() + shift, m, table.data());
        for (uint32_t j = 0; j < static_cast<uint32_t>(m); ++j) {
          const size_t r = 2 * ReverseBits(j, h) + shift;
          ASSERT_EQ(dst[r], 2.0 * j) << j;
          ASSERT_EQ(dst[r + 1], 2.0 * j + 1) << j;
        }
        EXPECT_EQ(0, std::memcmp(dst.data() + shift, inPlace.data() + shift, 16 * static_cast<size_t>(m)));
        EXPECT_EQ(dst[shift ? 0 : dst.size() - 1], -1.0);  // nothing written outside
      }
    }
  }
}

// The stage routines off the 16-byte grid, with the work buffer and
// without, give the aligned bits in both layouts; the pair layout is the
// interleaved result with each two points regrouped. Half-orders 10 to 12
// cross the 512- and 1024-point blocks.
TEST_F(FftRealTest, StageRoutinesOffTheGridGiveTheAlignedBitsInBothLayouts) {
  for (const SimdMembers& v : kSimdMembers) {
    if (!dsptest::VariantSupported(v.variant)) continue;
    for (int h : {4, 5, 10, 11, 12}) {
      const int32_t m = 1 << h;
      const size_t bytes = 16 * static_cast<size_t>(m);
      std::vector<double> base((m >> 2) + 8), tw(2 * static_cast<size_t>(m) + 8);
      wuperf::v4::WuPerfFFT64f_BaseTwiddle_V4(h, base.data());
      wuperf::v4::WuPerfFFT64f_RadixTwiddle_V4(h, base.data(), h, tw.data());
      const std::vector<float>& in = dsptest::ComplexInput(h, 6);
      const std::vector<double> x(in.begin(), in.end());
      for (int inverse : {0, 1}) {
        auto passes = inverse ? v.invPasses : v.fwdPasses;
        std::vector<double> whole[2];
        for (int w : {0, 1}) {
          SCOPED_TRACE(testing::Message() << "variant " << v.variant << " half-order " << h
                                          << " inverse " << inverse << " whole " << w);
          dsptest::GuardedBuffer aligned(bytes, 0);
          std::memcpy(aligned.data(), x.data(), bytes);
          passes(reinterpret_cast<double*>(aligned.data()), m, tw.data(), nullptr, w);
          whole[w].assign(reinterpret_cast<double*>(aligned.data()),
                          reinterpret_cast<double*>(aligned.data()) + 2 * m);
          for (bool withWork : {true, false}) {
            dsptest::GuardedBuffer off(bytes, 8), work(bytes, 0);
            work.FillPattern(3);
            std::memcpy(off.data(), x.data(), bytes);
            passes(reinterpret_cast<double*>(off.data()), m, tw.data(),
                   withWork ? work.data() : nullptr, w);
            EXPECT_EQ(0, std::memcmp(off.data(), aligned.data(), bytes)) << withWork;
            EXPECT_TRUE(off.GuardsIntact() && work.GuardsIntact());
          }
        }
        for (int32_t j = 0; j < m; ++j) {
          const int32_t u = 2 * (j & ~1);  // pair unit of point j
          ASSERT_EQ(whole[0][u + (j & 1)], whole[1][2 * j]) << j;
          ASSERT_EQ(whole[0][u + 2 + (j & 1)], whole[1][2 * j + 1]) << j;
        }
      }
    }
  }
}

// Flag 4 at even orders scales by an exact power of two; any caller buffer
// offset gives the bits of no buffer.
TEST_F(FftRealTest, ExactScalingAndEveryBufferOffsetGiveEqualBits) {
  ForEachVariant([](int v) {
    for (int order = 0; order <= 18; order += 2) {
      SCOPED_TRACE(order);
      std::vector<double> plain = RealFwd(RealCase{v, order, 8, RealPlacement::kExport, 0, 23});
      std::vector<double> scaled = RealFwd(RealCase{v, order, 4, RealPlacement::kExport, 0, 23});
      const double f = std::ldexp(1.0, -order / 2);
      for (double& d : plain) d *= f;
      ASSERT_EQ(0, std::memcmp(plain.data(), scaled.data(), 8 * plain.size()));
    }
    for (int order : {8, 13, 16, 18}) {
      std::vector<double> none = RealFwd(RealCase{v, order, 1, RealPlacement::kExport, 0, 29});
      for (int offset = 0; offset < 32; ++offset) {
        SCOPED_TRACE(testing::Message() << "order " << order << " offset " << offset);
        std::vector<double> with =
            RealFwd(RealCase{v, order, 1, RealPlacement::kExportWithBuffer, offset, 29});
        ASSERT_EQ(0, std::memcmp(none.data(), with.data(), 8 * none.size()));
      }
    }
  });
}

// An array on an 8-byte (not 16-byte) boundary takes the same route and
// gives the same bits as an aligned one.
TEST_F(FftRealTest, ArrayOffTheSixteenByteGridGivesTheAlignedBits) {
  ForEachVariant([](int v) {
    for (int order : {6, 7, 12, 15, 16, 17, 18, 19}) {
      SCOPED_TRACE(order);
      const std::vector<double>& in = dsptest::RealInput(order, 31);
      std::vector<double> aligned = RealFwd(RealCase{v, order, 1, RealPlacement::kExport, 0, 31});
      void* ctx = nullptr;
      ASSERT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, order, 1, 0)), WuPerfOk);
      dsptest::GuardedBuffer buf(8 * in.size(), 8);
      double* data = reinterpret_cast<double*>(buf.data());
      std::memcpy(data, in.data(), 8 * in.size());
      ASSERT_EQ(Status(WuPerfsFFTFwd_RToPerm_64f_I(data, ctx, nullptr)), WuPerfOk);
      EXPECT_EQ(0, std::memcmp(aligned.data(), data, 8 * in.size()));
      EXPECT_TRUE(buf.GuardsIntact());
      EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(ctx)), WuPerfOk);
    }
  });
}

// ---- Closed forms ------------------------------------------------------------------------

TEST_F(FftRealTest, ClosedFormsOfConstantAlternatingAndCosineInputs) {
  ForEachVariant([](int v) {
    for (int order : {1, 4, 6, 9, 12, 16}) {
      SCOPED_TRACE(testing::Message() << "order " << order);
      const int n = 1 << order;
      const double tol = 64 * (order + 2) * 1.1e-16 * n;
      for (int flag : {8, 1, 4}) {
        std::vector<double> ones(n, 1.0);
        std::vector<double> y = dsptest::RealFwdOf(v, order, flag, ones);
        const double expect = flag == 8 ? n : flag == 1 ? 1.0 : std::sqrt(static_cast<double>(n));
        EXPECT_NEAR(y[0], expect, tol);
        for (int i = 1; i < n; ++i) ASSERT_NEAR(y[i], 0.0, tol) << i;
      }
      std::vector<double> alt(n);
      for (int j = 0; j < n; ++j) alt[j] = j % 2 ? -1.0 : 1.0;
      std::vector<double> y = dsptest::RealFwdOf(v, order, 8, alt);
      EXPECT_NEAR(y[1], n, tol);
      if (order >= 3) {
        const int k = n / 8 + 1;
        std::vector<double> cosine(n);
        for (int j = 0; j < n; ++j) cosine[j] = std::cos(2 * M_PI * static_cast<double>((int64_t{k} * j) % n) / n);
        y = dsptest::RealFwdOf(v, order, 8, cosine);
        EXPECT_NEAR(y[2 * k], n / 2.0, tol);
        EXPECT_NEAR(y[2 * k + 1], 0.0, tol);
        // The middle bin: Im X[N/4] of sin(2 pi j N/4 / N) is -N/2.
        std::vector<double> sine(n);
        for (int j = 0; j < n; ++j) sine[j] = (j % 4 == 1) ? 1.0 : (j % 4 == 3 ? -1.0 : 0.0);
        y = dsptest::RealFwdOf(v, order, 8, sine);
        EXPECT_NEAR(y[n / 2 + 1], -n / 2.0, tol);
      }
    }
  });
}

// ---- Context recorded variant (mended) ---------------------------------------------------

// A context made before initialisation (variant 0's layout) and used after
// another variant is selected is handed to variant 0's code: its bits.
TEST_F(FftRealTest, ContextMadeUnderVariantZeroKeepsItsBitsUnderVariantFour) {
  if (!dsptest::VariantSupported(4)) GTEST_SKIP();
  for (int order : {6, 9, 12, 13, 16}) {
    SCOPED_TRACE(order);
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(0));
    void* ctx = nullptr;
    ASSERT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, order, 1, 0)), WuPerfOk);
    int32_t size0 = 0;
    ASSERT_EQ(Status(WuPerfsFFTGetBufSize_R_64f(ctx, &size0)), WuPerfOk);
    std::vector<double> a = dsptest::RealInput(order, 2), b = a;
    ASSERT_EQ(Status(WuPerfsFFTFwd_RToPerm_64f_I(a.data(), ctx, nullptr)), WuPerfOk);
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(4));
    int32_t size4 = 0;
    ASSERT_EQ(Status(WuPerfsFFTGetBufSize_R_64f(ctx, &size4)), WuPerfOk);
    EXPECT_EQ(size4, size0);
    ASSERT_EQ(Status(WuPerfsFFTFwd_RToPerm_64f_I(b.data(), ctx, nullptr)), WuPerfOk);
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), 8 * a.size()));
    EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(ctx)), WuPerfOk);
  }
}

// ---- Identity rows ---------------------------------------------------------------------------

std::vector<uint8_t> Bytes(const std::vector<double>& v) {
  std::vector<uint8_t> out(8 * v.size());
  std::memcpy(out.data(), v.data(), out.size());
  return out;
}
dsptest::IdentityWay Way(int variant, int flag, RealPlacement placement, int offset) {
  return [=](int order) {
    return Bytes(RealFwd(RealCase{variant, order, flag, placement, offset, 21}));
  };
}
// Unscaled results times the flag's factor.
dsptest::IdentityWay ScaledAfter(int variant, int flag) {
  return [=](int order) {
    std::vector<double> y = RealFwd(RealCase{variant, order, 8, RealPlacement::kExport, 0, 21});
    const double n = static_cast<double>(1 << order);
    const double f = flag == 1 ? 1.0 / n : 1.0 / std::sqrt(n);
    for (double& d : y) d *= f;
    return Bytes(y);
  };
}

WU_FFT_IDENTITY_ROW({"real fwd: variant 3 = variant 4", 0, 22,
                     Way(3, 1, RealPlacement::kExport, 0), Way(4, 1, RealPlacement::kExport, 0)});
WU_FFT_IDENTITY_ROW({"real fwd: variant 4 out of place = in place", 0, 22,
                     Way(4, 8, RealPlacement::kDriverOutOfPlace, 0), Way(4, 8, RealPlacement::kExport, 0)});
WU_FFT_IDENTITY_ROW({"real fwd: variant 2 = variant 4 up to order 15", 0, 15,
                     Way(2, 8, RealPlacement::kExport, 0), Way(4, 8, RealPlacement::kExport, 0)});
WU_FFT_IDENTITY_ROW({"real fwd: variant 4 flag 1 = unscaled / N", 0, 18,
                     Way(4, 1, RealPlacement::kExport, 0), ScaledAfter(4, 1)});
WU_FFT_IDENTITY_ROW({"real fwd: variant 2 flag 1 = unscaled / N", 0, 18,
                     Way(2, 1, RealPlacement::kExport, 0), ScaledAfter(2, 1)});
WU_FFT_IDENTITY_ROW({"real fwd: variant 1 flag 1 = unscaled / N", 0, 18,
                     Way(1, 1, RealPlacement::kExport, 0), ScaledAfter(1, 1)});
WU_FFT_IDENTITY_ROW({"real fwd: variant 0 flag 1 = unscaled / N", 0, 18,
                     Way(0, 1, RealPlacement::kExport, 0), ScaledAfter(0, 1)});
WU_FFT_IDENTITY_ROW({"real fwd: variant 4 caller buffer at offset 7 = none", 0, 19,
                     Way(4, 8, RealPlacement::kExportWithBuffer, 7), Way(4, 8, RealPlacement::kExport, 0)});
WU_FFT_IDENTITY_ROW({"real fwd: variant 1 caller buffer at offset 31 = none", 0, 19,
                     Way(1, 8, RealPlacement::kExportWithBuffer, 31), Way(1, 8, RealPlacement::kExport, 0)});
WU_FFT_IDENTITY_ROW({"real fwd: variant 0 caller buffer at offset 16 = none", 0, 19,
                     Way(0, 8, RealPlacement::kExportWithBuffer, 16), Way(0, 8, RealPlacement::kExport, 0)});

// The members that make up a forward transform of the direct routine.
struct DirectMembers {
  int variant;
  int directOrder;  // the largest order of the direct routine
  int maxOrder;     // the largest order below the split
  WuPerfStatus (*forward)(const double*, double*, const void*, uint8_t*);
  void (*direct)(const double*, double*, int32_t, const double*, const uint32_t*, uint8_t*);
  WuPerfStatus (*scale)(double, double*, int32_t);
  void (*postPass)(double*, int32_t, int32_t, const double*);
};
const DirectMembers kDirectMembers[] = {
    {4, 15, 17, wuperf::v4::WuPerfFFTFwd_RToPerm64f_V4, wuperf::v4::WuPerfFFTFwd64f_Direct_V4,
     wuperf::v4::WuPerfFFT64f_Scale_V4, wuperf::v4::WuPerfFFTFwd64f_RealPostPass_V4},
    {3, 15, 17, wuperf::v3::WuPerfFFTFwd_RToPerm64f_V3, wuperf::v3::WuPerfFFTFwd64f_Direct_V3,
     wuperf::v3::WuPerfFFT64f_Scale_V3, wuperf::v3::WuPerfFFTFwd64f_RealPostPass_V3},
    {2, 15, 15, wuperf::v2::WuPerfFFTFwd_RToPerm64f_V2, wuperf::v2::WuPerfFFTFwd64f_Direct_V2,
     wuperf::v2::WuPerfFFT64f_Scale_V2, wuperf::v2::WuPerfFFTFwd64f_RealPostPass_V2},
    {1, 14, 14, wuperf::v1::WuPerfFFTFwd_RToPerm64f_V1, wuperf::v1::WuPerfFFTFwd64f_Direct_V1,
     wuperf::v1::WuPerfFFT64f_Scale_V1, wuperf::v1::WuPerfFFTFwd64f_RealPostPass_V1}};

// The forward driver below the split (whose last stage also runs the
// post-pass's steps) gives the bits of its parts run one after the other:
// the direct transform (above its orders the bit reversal and the stage
// routine), the scaling, point 0's fold and the post-pass; in place and out
// of place, scaled and not, across the orders of both routines.
TEST_F(FftRealTest, ForwardBelowTheSplitEqualsItsPassesRunApart) {
  for (const DirectMembers& v : kDirectMembers) {
    if (!dsptest::VariantSupported(v.variant)) continue;
    const SimdMembers& members = kSimdMembers[4 - v.variant];
    for (int order : {6, 7, 8, 11, 14, 15, 16, 17}) {
      if (order > v.maxOrder) continue;
      for (int flag : {1, 4, 8}) {
        SCOPED_TRACE(testing::Message() << "variant " << v.variant << " order " << order
                                        << " flag " << flag);
        ASSERT_TRUE(WuPerf_ForceVariantForTesting(v.variant));
        void* handle = nullptr;
        ASSERT_GE(WuPerfsFFTInitAlloc_R_64f(&handle, order, flag, 0), 0);
        const auto* ctx = static_cast<const FftSpecReal*>(handle);
        int32_t workBytes = 0;
        WuPerfsFFTGetBufSize_R_64f(handle, &workBytes);
        const int32_t n = 1 << order, m = n / 2;
        std::vector<double> work(static_cast<size_t>(workBytes) / 8 + 8);
        const std::vector<double> x = dsptest::RealInput(order, 9);
        std::vector<double> want(x.size()), apart(x.size()), inPlace(x);
        const auto* tw = static_cast<const double*>(ctx->twiddleTable);
        const auto* table = static_cast<const uint32_t*>(ctx->bitRevTable);
        if (order <= v.directOrder) {
          v.direct(x.data(), want.data(), m, tw, table, reinterpret_cast<uint8_t*>(work.data()));
        } else {
          members.bitRevCopy(x.data(), want.data(), m, table);
          members.fwdPasses(want.data(), m, tw, reinterpret_cast<uint8_t*>(work.data()), 1);
        }
        if (ctx->scaleForward) v.scale(ctx->scaleFactor, want.data(), n);
        const double a = want[0], b = want[1];
        want[0] = b + a, want[1] = a - b;
        v.postPass(want.data(), m, 1, static_cast<const double*>(ctx->forwardRealTwiddle));
        EXPECT_EQ(v.forward(x.data(), apart.data(), handle, reinterpret_cast<uint8_t*>(work.data())),
                  WuPerfOk);
        EXPECT_GE(WuPerfsFFTFwd_RToPerm_64f_I(inPlace.data(), handle, nullptr), 0);
        EXPECT_EQ(0, std::memcmp(want.data(), apart.data(), 8 * want.size()));
        EXPECT_EQ(0, std::memcmp(want.data(), inPlace.data(), 8 * want.size()));
        WuPerfsFFTFree_R_64f(handle);
      }
    }
  }
}

}  // namespace
