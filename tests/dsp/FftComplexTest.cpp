// The complex float FFT: set-up sizes and statuses, the fixed kernels, every
// route against the oracle in every variant, and the bit-identity rows.
#include <cmath>
#include <cstring>
#include <limits>
#include <initializer_list>
#include <string>
#include <vector>

#include "dsp/FftComplex.h"
#include "dsp/WuPerf.h"
#include "dsp/WuPerfTesting.h"
#include "tests/dsp/FftComplexTestSupport.h"
#include "tests/dsp/FftIdentity.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

using dsptest::CfftRun;
using dsptest::kCfftOk;
using dsptest::RunCfft;

class CfftTest : public dsptest::CfftVariantTest {};

// A heap that fails the allocation numbered `failAt` (0: none) and counts
// the blocks still out.
struct FailingHeap {
  static inline int calls = 0;
  static inline int failAt = 0;
  static inline int outstanding = 0;
  static void* Allocate(size_t n) {
    if (++calls == failAt) return nullptr;
    ++outstanding;
    return std::malloc(n);
  }
  static void* AllocateZeroed(size_t c, size_t n) {
    if (++calls == failAt) return nullptr;
    ++outstanding;
    return std::calloc(c, n);
  }
  static void* Resize(void* p, size_t n) { return std::realloc(p, n); }
  static void Release(void* p) {
    if (p) --outstanding;
    std::free(p);
  }
  static void Arm(int failAtCall) { calls = 0, failAt = failAtCall, outstanding = 0; }
};
const wuperf::WuPerfAllocFunctions kFailingHeap = {FailingHeap::Allocate,
                                                   FailingHeap::AllocateZeroed,
                                                   FailingHeap::Resize, FailingHeap::Release};

int32_t BufSize(int order, int flag = 8) {
  void* ctx = nullptr;
  EXPECT_EQ(WuPerfsFFTInitAlloc_C_32fc(&ctx, order, flag, 0), kCfftOk);
  int32_t size = -1;
  EXPECT_EQ(WuPerfsFFTGetBufSize_C_32fc(ctx, &size), kCfftOk);
  WuPerfsFFTFree_C_32fc(ctx);
  return size;
}

// ---- Set-up ----------------------------------------------------------------

TEST_F(CfftTest, SizesFollowTheRule) {
  ForEachVariant([](int v) {
    EXPECT_EQ(BufSize(6), v == 0 ? 0 : 544);
    if (v == 4) {
      EXPECT_EQ(BufSize(17), 1048608);
      EXPECT_EQ(BufSize(18), 131104);
    }
    if (v == 0) {
      EXPECT_EQ(BufSize(13), 1056);
    }
    int32_t ctx, init, work;
    auto sizes = wuperf::v0::WuPerfFFT32fc_GetSizes_V0;
    if (v == 4) sizes = wuperf::v4::WuPerfFFT32fc_GetSizes_V4;
    if (v == 3) sizes = wuperf::v3::WuPerfFFT32fc_GetSizes_V3;
    if (v == 2) sizes = wuperf::v2::WuPerfFFT32fc_GetSizes_V2;
    if (v == 1) sizes = wuperf::v1::WuPerfFFT32fc_GetSizes_V1;
    // Context bytes: round32(8N + 8) + round32(N + 4) + round32(head) + 32.
    ASSERT_EQ(sizes(6, 1, 0, &ctx, &init, &work), 0);
    EXPECT_EQ(ctx, 544 + 96 + wuperf::kFftSpecHeadBytes);
    EXPECT_EQ(init, 0);
    ASSERT_EQ(sizes(10, 1, 0, &ctx, &init, &work), 0);
    EXPECT_EQ(ctx, 8224 + 1056 + wuperf::kFftSpecHeadBytes);
    EXPECT_EQ(init, 0);
    ASSERT_EQ(sizes(11, 1, 0, &ctx, &init, &work), 0);
    EXPECT_EQ(init, 2112);
    ASSERT_EQ(sizes(3, 1, 0, &ctx, &init, &work), 0);
    EXPECT_EQ(ctx, static_cast<int32_t>(sizeof(wuperf::FftSpec)) + 32);
  });
}

TEST_F(CfftTest, OrderZeroWithSquareRootScaling) {
  ForEachVariant([](int v) {
    void* ctx = nullptr;
    ASSERT_EQ(WuPerfsFFTInitAlloc_C_32fc(&ctx, 0, 4, 0), kCfftOk);
    auto* s = static_cast<wuperf::FftSpec*>(ctx);
    EXPECT_EQ(s->scaleFactor, 1.0f);
    EXPECT_EQ(s->workSize, 0);
    EXPECT_EQ(s->variant, v);
    EXPECT_EQ(s->reserved, 0);
    int32_t size = -1;
    EXPECT_EQ(WuPerfsFFTGetBufSize_C_32fc(ctx, &size), kCfftOk);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(WuPerfsFFTFree_C_32fc(ctx), kCfftOk);
  });
}

TEST_F(CfftTest, StatusesInTheirOrder) {
  ForEachVariant([](int) {
    void* ctx = nullptr;
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInitAlloc_C_32fc(&ctx, 28, 1, 0)), 0x8004E60Fu);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInitAlloc_C_32fc(nullptr, -1, 1, 0)), 0x8004E608u);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInitAlloc_C_32fc(&ctx, 31, 1, 0)), 0x8004E60Fu);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInitAlloc_C_32fc(&ctx, 5, 3, 0)), 0x8004E610u);
    EXPECT_EQ(ctx, nullptr);
    // A real context: refused before src and dst are looked at.
    wuperf::FftSpecReal real{};
    real.contextId = wuperf::kFftContextReal64f;
    int32_t size;
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTGetBufSize_C_32fc(&real, &size)), 0x8004E611u);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTFree_C_32fc(&real)), 0x8004E611u);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTFwd_CToC_32fc(nullptr, nullptr, &real, nullptr)), 0x8004E611u);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInv_CToC_32fc(nullptr, nullptr, &real, nullptr)), 0x8004E611u);
    EXPECT_EQ(real.contextId, wuperf::kFftContextReal64f);
    ASSERT_EQ(WuPerfsFFTInitAlloc_C_32fc(&ctx, 6, 1, 0), kCfftOk);
    float data[128] = {};
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTFwd_CToC_32fc(nullptr, data, ctx, nullptr)), 0x8004E608u);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInv_CToC_32fc(data, nullptr, ctx, nullptr)), 0x8004E608u);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTGetBufSize_C_32fc(ctx, nullptr)), 0x8004E608u);
    EXPECT_EQ(WuPerfsFFTFree_C_32fc(ctx), kCfftOk);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTFree_C_32fc(nullptr)), 0x8004E608u);
  });
}

TEST_F(CfftTest, OrderTwentySevenIsAccepted) {
  ForEachVariant([](int v) {
    int32_t ctx, init, work;
    auto sizes = v == 0   ? wuperf::v0::WuPerfFFT32fc_GetSizes_V0
                 : v == 1 ? wuperf::v1::WuPerfFFT32fc_GetSizes_V1
                 : v == 2 ? wuperf::v2::WuPerfFFT32fc_GetSizes_V2
                 : v == 3 ? wuperf::v3::WuPerfFFT32fc_GetSizes_V3
                          : wuperf::v4::WuPerfFFT32fc_GetSizes_V4;
    EXPECT_EQ(sizes(27, 8, 0, &ctx, &init, &work), 0);
    EXPECT_GT(ctx, 8 << 27 / 2);
    EXPECT_EQ(sizes(28, 8, 0, &ctx, &init, &work), -15);
    EXPECT_EQ(sizes(27, 8, 0, nullptr, &init, &work), -8);
  });
}

TEST_F(CfftTest, FreeOnABlockOfTheCallersClearsTheIdOnly) {
  alignas(32) static uint8_t block[4096];
  wuperf::FftSpec* ctx = nullptr;
  ASSERT_EQ(wuperf::v0::WuPerfFFT32fc_InitSpec_V0(&ctx, 6, 2, 1, block, nullptr), 0);
  EXPECT_EQ(ctx->ownsBlock, 0);
  EXPECT_EQ(ctx->contextId, 4);
  EXPECT_EQ(WuPerfsFFTFree_C_32fc(ctx), kCfftOk);
  EXPECT_EQ(ctx->contextId, 0);
  // A refused flag leaves id 0 in the block.
  std::memset(block, 0xFF, sizeof block);
  EXPECT_EQ(wuperf::v4::WuPerfFFT32fc_InitSpec_V4(&ctx, 6, 3, 1, block, nullptr), -16);
  EXPECT_EQ(reinterpret_cast<wuperf::FftSpec*>(block)->contextId, 0);
  // Above order 10 the building needs the init buffer.
  EXPECT_EQ(wuperf::v4::WuPerfFFT32fc_InitSpec_V4(&ctx, 11, 1, 1, block, nullptr), -8);
}

TEST_F(CfftTest, FailingAllocationsLeakNothing) {
  ForEachVariant([](int) {
    for (int failAt = 1; failAt <= 2; ++failAt) {
      FailingHeap::Arm(failAt);
      WuPerf_SetAllocTableForTesting(&kFailingHeap);
      void* ctx = nullptr;
      EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInitAlloc_C_32fc(&ctx, 11, 1, 0)), 0x8004E609u);
      WuPerf_SetAllocTableForTesting(nullptr);
      EXPECT_EQ(ctx, nullptr);
      EXPECT_EQ(FailingHeap::outstanding, 0) << "fail at " << failAt;
    }
  });
}

TEST_F(CfftTest, NullBufferWithFailingAllocationLeavesTheDestination) {
  ForEachVariant([](int v) {
    const int order = v == 0 ? 13 : 8;
    void* ctx = nullptr;
    ASSERT_EQ(WuPerfsFFTInitAlloc_C_32fc(&ctx, order, 1, 0), kCfftOk);
    std::vector<float> src(2u << order, 1.0f), dst(2u << order, 7.0f);
    FailingHeap::Arm(1);
    WuPerf_SetAllocTableForTesting(&kFailingHeap);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTFwd_CToC_32fc(src.data(), dst.data(), ctx, nullptr)),
              0x8004E609u);
    WuPerf_SetAllocTableForTesting(nullptr);
    for (float f : dst) ASSERT_EQ(f, 7.0f);
    EXPECT_EQ(WuPerfsFFTFree_C_32fc(ctx), kCfftOk);
  });
}

TEST_F(CfftTest, HintsAreStored) {
  ForEachVariant([](int) {
    for (int hint = 0; hint <= 2; ++hint) {
      void* ctx = nullptr;
      ASSERT_EQ(WuPerfsFFTInitAlloc_C_32fc(&ctx, 7, 8, hint), kCfftOk);
      EXPECT_EQ(static_cast<wuperf::FftSpec*>(ctx)->hint, hint);
      WuPerfsFFTFree_C_32fc(ctx);
    }
  });
}

// A context made under variant 0 keeps meeting variant 0's routines after
// another variant is selected, and Free releases it.
TEST_F(CfftTest, ContextKeepsTheVariantThatBuiltIt) {
  if (!dsptest::VariantSupported(4)) GTEST_SKIP();
  for (int order : {3, 8, 11, 13}) {
    SCOPED_TRACE(order);
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(0));
    CfftRun run{order, 1, false};
    std::vector<uint8_t> v0 = RunCfft(run);
    int32_t specBytes, initBytes, workBytes;
    ASSERT_EQ(wuperf::v0::WuPerfFFT32fc_GetSizes_V0(order, 1, 0, &specBytes, &initBytes,
                                                    &workBytes), 0);
    FailingHeap::Arm(0);
    WuPerf_SetAllocTableForTesting(&kFailingHeap);
    void* ctx = nullptr;
    ASSERT_EQ(WuPerfsFFTInitAlloc_C_32fc(&ctx, order, 1, 0), kCfftOk);
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(4));
    int32_t size = -1;
    ASSERT_EQ(WuPerfsFFTGetBufSize_C_32fc(ctx, &size), kCfftOk);
    EXPECT_EQ(size, workBytes);
    const std::vector<float>& in = dsptest::ComplexInput(order, run.seed);
    std::vector<uint8_t> out(size_t{8} << order);
    std::vector<uint8_t> buf(static_cast<size_t>(size) + 32);
    ASSERT_EQ(WuPerfsFFTFwd_CToC_32fc(in.data(), out.data(), ctx, buf.data()), kCfftOk);
    EXPECT_EQ(out, v0);
    EXPECT_EQ(WuPerfsFFTFree_C_32fc(ctx), kCfftOk);
    WuPerf_SetAllocTableForTesting(nullptr);
    EXPECT_EQ(FailingHeap::outstanding, 0);
  }
}

// ---- Fixed kernels -----------------------------------------------------------

std::vector<float> Transform(int order, int flag, bool inverse, const std::vector<float>& x) {
  void* ctx = nullptr;
  EXPECT_EQ(WuPerfsFFTInitAlloc_C_32fc(&ctx, order, flag, 0), kCfftOk);
  std::vector<float> y(x.size());
  HRESULT hr = inverse ? WuPerfsFFTInv_CToC_32fc(x.data(), y.data(), ctx, nullptr)
                       : WuPerfsFFTFwd_CToC_32fc(x.data(), y.data(), ctx, nullptr);
  EXPECT_EQ(hr, kCfftOk);
  WuPerfsFFTFree_C_32fc(ctx);
  return y;
}

TEST_F(CfftTest, FourPointImpulse) {
  ForEachVariant([](int) {
    std::vector<float> x = {0, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(Transform(2, 8, false, x), (std::vector<float>{1, 0, 0, -1, -1, 0, 0, 1}));
    EXPECT_EQ(Transform(2, 8, true, x), (std::vector<float>{1, 0, 0, 1, -1, 0, 0, -1}));
    std::vector<float> first = {1, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Transform(2, 8, false, first), (std::vector<float>{1, 0, 1, 0, 1, 0, 1, 0}));
  });
}

TEST_F(CfftTest, OrderZeroCopiesBits) {
  ForEachVariant([](int) {
    std::vector<float> x = {dsptest::FloatFromBits(0x7FC12345u), -0.0f};
    std::vector<float> y = Transform(0, 8, false, x);
    EXPECT_EQ(dsptest::Bits(y[0]), 0x7FC12345u);
    EXPECT_EQ(dsptest::Bits(y[1]), 0x80000000u);
    y = Transform(0, 8, true, x);
    EXPECT_EQ(dsptest::Bits(y[0]), 0x7FC12345u);
  });
}

TEST_F(CfftTest, FixedKernelsScaleOfOneAndVariantsOneToFourAgree) {
  using wuperf::WuPerfFFT32fc_FixedKernels;
  for (int order = 0; order <= 5; ++order) {
    const std::vector<float>& x = dsptest::ComplexInput(order, 3);
    const size_t n = x.size();
    for (int dir = 0; dir < 2; ++dir) {
      std::vector<float> ref(n), got(n);
      WuPerfFFT32fc_FixedKernels[dir * 5 + 0].unscaled[order](x.data(), ref.data());
      for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(testing::Message() << "order " << order << " row " << dir * 5 + row);
        const auto& k = WuPerfFFT32fc_FixedKernels[dir * 5 + row];
        k.unscaled[order](x.data(), got.data());
        EXPECT_EQ(std::memcmp(got.data(), ref.data(), 4 * n), 0);
        k.scaled[order](x.data(), got.data(), 1.0f);
        EXPECT_EQ(std::memcmp(got.data(), ref.data(), 4 * n), 0);
        // In place and 4-byte-aligned arrays give the same bits.
        std::vector<float> shifted(n + 1);
        std::memcpy(shifted.data() + 1, x.data(), 4 * n);
        k.unscaled[order](shifted.data() + 1, shifted.data() + 1);
        EXPECT_EQ(std::memcmp(shifted.data() + 1, ref.data(), 4 * n), 0);
      }
      // Orders 0 and 1 are one kernel for both directions.
      if (order <= 1) {
        EXPECT_EQ(WuPerfFFT32fc_FixedKernels[dir * 5].unscaled[order],
                  WuPerfFFT32fc_FixedKernels[0].unscaled[order]);
      }
    }
  }
}

// ---- Transforms against the oracle --------------------------------------------

TEST_F(CfftTest, EveryOrderFlagAndDirectionMatchesTheOracle) {
  SweepAgainstTheOracle({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
}

// The orders where a variant changes route or method, in place and out of
// place, with and without a caller's buffer.
TEST_F(CfftTest, RouteEdgesMatchTheOracle) {
  const std::vector<int> edges[5] = {
      {10, 11, 12, 13, 21, 22},                  // chunked, split, chunked inside the split
      {7, 14, 15, 16, 17, 18, 19},               // 8-point first stage, passes, odd split
      {10, 11, 15, 16, 17, 18},                  // blocking, passes, odd split
      {11, 12, 16, 17, 18, 19, 20, 21},          // as variant 4
      {11, 12, 16, 17, 18, 19, 20, 21}};         // blocking, passes, bit reversals, odd split
  ForEachVariant([&](int v) {
    for (int order : edges[v])
      for (bool inPlace : {false, true}) {
        SCOPED_TRACE(testing::Message() << "order " << order << (inPlace ? " in place" : ""));
        CfftRun run{order, 1, false, inPlace};
        run.bufOffset = inPlace ? -1 : 5;
        ASSERT_TRUE(dsptest::MatchesOracle(run, RunCfft(run)));
        run.inverse = true;
        run.flag = 2;
        ASSERT_TRUE(dsptest::MatchesOracle(run, RunCfft(run)));
      }
  });
}

TEST_F(CfftTest, ForwardThenInverseReturnsTheInput) {
  ForEachVariant([](int) {
    for (int order : {0, 3, 6, 9, 12, 17, 18}) {
      for (int flag : {1, 2, 4, 8}) {
        SCOPED_TRACE(testing::Message() << "order " << order << " flag " << flag);
        const std::vector<float>& x = dsptest::ComplexInput(order, 9);
        std::vector<float> back = Transform(order, flag, true, Transform(order, flag, false, x));
        const float n = flag == 8 ? static_cast<float>(1 << order) : 1.0f;
        std::vector<dsptest::ComplexLD> exact(x.size() / 2);
        for (size_t k = 0; k < exact.size(); ++k)
          exact[k] = dsptest::ComplexLD(x[2 * k] * n, x[2 * k + 1] * n);
        // Twice the bound: scale the error down by half before comparing.
        std::vector<float> half(back.size());
        for (size_t k = 0; k < back.size(); ++k)
          half[k] = static_cast<float>((back[k] - x[k] * n) / 2 + x[k] * n);
        EXPECT_TRUE(dsptest::WithinFftBound(exact, half.data(), order));
      }
    }
  });
}

// ---- Bit identity -------------------------------------------------------------

// The result of a run under a variant.
dsptest::IdentityWay Way(int variant, CfftRun base) {
  return [variant, base](int order) {
    if (!dsptest::VariantSupported(variant)) return std::vector<uint8_t>{};
    WuPerf_ForceVariantForTesting(variant);
    CfftRun run = base;
    run.order = order;
    std::vector<uint8_t> out = RunCfft(run);
    WuPerf_ResetForTesting();
    return out;
  };
}

// The unscaled result times the flag's factor.
dsptest::IdentityWay ScaledWay(int variant, CfftRun base) {
  return [variant, base](int order) {
    CfftRun run = base;
    run.flag = 8;
    std::vector<uint8_t> out = Way(variant, run)(order);
    const float n = static_cast<float>(std::ldexp(1.0, order));
    const float f = base.flag == 4 ? static_cast<float>(1.0 / std::sqrt(static_cast<double>(n)))
                                   : static_cast<float>(1.0 / n);
    for (size_t i = 0; i + 4 <= out.size(); i += 4) {
      float v;
      std::memcpy(&v, out.data() + i, 4);
      v *= f;
      std::memcpy(out.data() + i, &v, 4);
    }
    return out;
  };
}

CfftRun Base(int flag, bool inverse, bool inPlace = false, size_t misalign = 0,
             int bufOffset = -1) {
  CfftRun run;
  run.flag = flag, run.inverse = inverse, run.inPlace = inPlace, run.dstMisalign = misalign,
  run.bufOffset = bufOffset;
  return run;
}

WU_FFT_IDENTITY_ROW({"complex: variant 3 = variant 4", 0, 20, Way(3, Base(1, false)),
                     Way(4, Base(1, false))});
WU_FFT_IDENTITY_ROW({"complex: variant 3 = variant 4, inverse", 0, 20, Way(3, Base(8, true)),
                     Way(4, Base(8, true))});

// Per variant: scaling, placement, misalignment, buffer offsets, over
// orders that reach every route of the variant; flag 4 at even orders,
// where 1/sqrt(N) is a power of two.
void RegisterVariantRows(int v, int maxOrder, std::initializer_list<int> sqrtOrders,
                         std::initializer_list<int> bufferOrders) {
  const std::string p = "complex V" + std::to_string(v) + ": ";
  auto add = [](dsptest::IdentityRow row) { dsptest::IdentityRowRegistrar{std::move(row)}; };
  add({p + "flag 1 = unscaled x 1/N", 0, maxOrder, Way(v, Base(1, false)),
       ScaledWay(v, Base(1, false))});
  add({p + "flag 2 inverse = unscaled x 1/N", 0, maxOrder, Way(v, Base(2, true)),
       ScaledWay(v, Base(2, true))});
  add({p + "in place = out of place", 0, maxOrder, Way(v, Base(8, false, true)),
       Way(v, Base(8, false))});
  add({p + "dst 4 bytes off = aligned", 0, maxOrder, Way(v, Base(1, true, false, 4)),
       Way(v, Base(1, true))});
  add({p + "dst 8 bytes off, in place = aligned", 0, maxOrder, Way(v, Base(1, false, true, 8)),
       Way(v, Base(1, false))});
  for (int offset : {0, 13, 31})
    add({p + "buffer at offset " + std::to_string(offset) + " = null buffer", 0, maxOrder,
         Way(v, Base(8, offset & 1, false, 0, offset)), Way(v, Base(8, offset & 1))});
  // Every offset of the caller's buffer at the orders whose routes use it.
  for (int order : bufferOrders)
    for (int offset = 0; offset < 32; ++offset)
      add({p + "order " + std::to_string(order) + ", buffer at offset " +
               std::to_string(offset) + " = null buffer",
           order, order,
           Way(v, Base(8, offset & 1, (offset & 2) != 0, (offset & 4) ? 4 : 0, offset)),
           Way(v, Base(8, offset & 1, (offset & 2) != 0, (offset & 4) ? 4 : 0))});
  for (int o : sqrtOrders)
    add({p + "flag 4 = unscaled x 1/sqrt N", o, o, Way(v, Base(4, false)),
         ScaledWay(v, Base(4, false))});
}

const bool kVariantRowsRegistered = [] {
  RegisterVariantRows(0, 22, {4, 12, 22}, {11, 13});
  RegisterVariantRows(1, 19, {4, 16, 18}, {7, 17});
  RegisterVariantRows(2, 18, {10, 16, 18}, {16, 18});
  RegisterVariantRows(3, 18, {12, 18}, {12, 18});
  RegisterVariantRows(4, 21, {12, 18, 20}, {6, 17, 19});
  return true;
}();

}  // namespace
