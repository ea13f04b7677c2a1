#include "tests/dsp/FftComplexTestSupport.h"

#include <cmath>
#include <cstring>

#include "dsp/WuPerf.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/FftTestSupport.h"

namespace dsptest {

uint32_t Mapped(int32_t status) { return static_cast<uint32_t>(WuPerfMapStatus(status)); }

std::vector<uint8_t> RunCfft(const CfftRun& run) {
  const size_t bytes = size_t{8} << run.order;
  const std::vector<float>& input = ComplexInput(run.order, run.seed);
  void* ctx = nullptr;
  EXPECT_EQ(WuPerfsFFTInitAlloc_C_32fc(&ctx, run.order, run.flag, 0), kCfftOk);
  if (!ctx) return {};
  GuardedBuffer dst(bytes, run.dstMisalign);
  GuardedBuffer src(bytes, 0);
  std::memcpy(run.inPlace ? dst.data() : src.data(), input.data(), bytes);
  int32_t bufSize = 0;
  EXPECT_EQ(WuPerfsFFTGetBufSize_C_32fc(ctx, &bufSize), kCfftOk);
  std::vector<uint8_t> buf;
  uint8_t* work = nullptr;
  if (run.bufOffset >= 0) {
    buf.assign(static_cast<size_t>(bufSize) + 64, 0);
    work = buf.data() + run.bufOffset;
  }
  const void* from = run.inPlace ? dst.data() : src.data();
  HRESULT hr = run.inverse ? WuPerfsFFTInv_CToC_32fc(from, dst.data(), ctx, work)
                           : WuPerfsFFTFwd_CToC_32fc(from, dst.data(), ctx, work);
  EXPECT_EQ(hr, kCfftOk);
  EXPECT_TRUE(dst.GuardsIntact());
  EXPECT_EQ(WuPerfsFFTFree_C_32fc(ctx), kCfftOk);
  return std::vector<uint8_t>(dst.data(), dst.data() + bytes);
}

::testing::AssertionResult MatchesOracle(const CfftRun& run, const std::vector<uint8_t>& got) {
  std::vector<ComplexLD> exact = ComplexOracle(run.order, run.seed, run.inverse);
  const bool scaled = run.flag == 4 || run.flag == (run.inverse ? 2 : 1);
  if (scaled) {
    const long double n = std::ldexp(1.0L, run.order);
    const long double f = run.flag == 4 ? 1.0L / std::sqrt(n) : 1.0L / n;
    for (ComplexLD& e : exact) e *= f;
  }
  if (got.size() != exact.size() * 8) return ::testing::AssertionFailure() << "no output";
  return WithinFftBound(exact, reinterpret_cast<const float*>(got.data()), run.order);
}

void CfftVariantTest::SweepAgainstTheOracle(std::initializer_list<int> orders) {
  ForEachVariant([orders](int) {
    for (int order : orders)
      for (int flag : {1, 4, 8})
        for (bool inverse : {false, true}) {
          SCOPED_TRACE(testing::Message() << "order " << order << " flag " << flag
                                          << (inverse ? " inverse" : " forward"));
          CfftRun run{order, flag, inverse};
          run.bufOffset = 0;
          ASSERT_TRUE(MatchesOracle(run, RunCfft(run)));
        }
  });
}

}  // namespace dsptest
