// Test support of the real FFT.
#include "tests/dsp/FftRealTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "dsp/AlignedAlloc.h"
#include "dsp/FftReal.h"
#include "dsp/WuPerf.h"
#include "dsp/WuPerfTesting.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/FftTestSupport.h"

namespace dsptest {

namespace {

using Driver = WuPerfStatus (*)(const double*, double*, const void*, uint8_t*);
constexpr Driver kDrivers[5] = {
    wuperf::v0::WuPerfFFTFwd_RToPerm64f_V0, wuperf::v1::WuPerfFFTFwd_RToPerm64f_V1,
    wuperf::v2::WuPerfFFTFwd_RToPerm64f_V2, wuperf::v3::WuPerfFFTFwd_RToPerm64f_V3,
    wuperf::v4::WuPerfFFTFwd_RToPerm64f_V4};

bool Ok(HRESULT hr) { return hr == static_cast<HRESULT>(0x0004E600); }

std::vector<double> Run(const RealCase& c, const std::vector<double>& input) {
  EXPECT_TRUE(WuPerf_ForceVariantForTesting(c.variant));
  void* ctx = nullptr;
  EXPECT_TRUE(Ok(WuPerfsFFTInitAlloc_R_64f(&ctx, c.order, c.flag, 0)));
  if (ctx == nullptr) return {};
  std::vector<double> out(input);
  switch (c.placement) {
    case RealPlacement::kExport:
      EXPECT_TRUE(Ok(WuPerfsFFTFwd_RToPerm_64f_I(out.data(), ctx, nullptr)));
      break;
    case RealPlacement::kExportWithBuffer: {
      int32_t size = 0;
      EXPECT_TRUE(Ok(WuPerfsFFTGetBufSize_R_64f(ctx, &size)));
      GuardedBuffer buf(static_cast<size_t>(size) + 1, static_cast<size_t>(c.bufferOffset));
      EXPECT_TRUE(Ok(WuPerfsFFTFwd_RToPerm_64f_I(out.data(), ctx, size ? buf.data() : nullptr)));
      EXPECT_TRUE(buf.GuardsIntact());
      break;
    }
    case RealPlacement::kDriverOutOfPlace: {
      const std::vector<double> src(input);
      EXPECT_EQ(kDrivers[c.variant](src.data(), out.data(), ctx, nullptr), WuPerfOk);
      EXPECT_TRUE(src == input) << "the source changed";
      break;
    }
  }
  EXPECT_TRUE(Ok(WuPerfsFFTFree_R_64f(ctx)));
  return out;
}

// The counting heap.
int g_failAt = 0;
int g_calls = 0;
int g_outstanding = 0;
void* CountAllocate(size_t bytes) {
  if (++g_calls == g_failAt) return nullptr;
  void* p = std::malloc(bytes);
  if (p != nullptr) ++g_outstanding;
  return p;
}
void* CountAllocateZeroed(size_t count, size_t size) {
  if (++g_calls == g_failAt) return nullptr;
  void* p = std::calloc(count, size);
  if (p != nullptr) ++g_outstanding;
  return p;
}
void* CountResize(void* block, size_t bytes) { return std::realloc(block, bytes); }
void CountRelease(void* block) {
  if (block != nullptr) --g_outstanding;
  std::free(block);
}
const wuperf::WuPerfAllocFunctions kCountingHeap = {CountAllocate, CountAllocateZeroed,
                                                    CountResize, CountRelease};

}  // namespace

std::vector<double> RealFwd(const RealCase& c) { return Run(c, RealInput(c.order, c.seed)); }

std::vector<double> RealFwdOf(int variant, int order, int flag, const std::vector<double>& in) {
  return Run(RealCase{variant, order, flag, RealPlacement::kExport, 0, 0}, in);
}

std::function<WuPerfStatus(int, int, int32_t*, int32_t*, int32_t*)> RealSizesFor(int variant) {
  using Sizes = WuPerfStatus (*)(int32_t, int32_t, WuPerfHintAlgorithm, int32_t*, int32_t*,
                                 int32_t*);
  static constexpr Sizes kSizes[5] = {
      wuperf::v0::WuPerfFFT64f_GetSizes_V0, wuperf::v1::WuPerfFFT64f_GetSizes_V1,
      wuperf::v2::WuPerfFFT64f_GetSizes_V2, wuperf::v3::WuPerfFFT64f_GetSizes_V3,
      wuperf::v4::WuPerfFFT64f_GetSizes_V4};
  Sizes f = kSizes[variant];
  return [f](int order, int flag, int32_t* s, int32_t* i, int32_t* w) {
    return f(order, flag, 0, s, i, w);
  };
}

CountingAllocator::CountingAllocator(int failAt) {
  g_failAt = failAt;
  g_calls = 0;
  g_outstanding = 0;
  WuPerf_SetAllocTableForTesting(&kCountingHeap);
}
CountingAllocator::~CountingAllocator() { WuPerf_SetAllocTableForTesting(nullptr); }
int CountingAllocator::Outstanding() const { return g_outstanding; }
int CountingAllocator::Calls() const { return g_calls; }

}  // namespace dsptest
