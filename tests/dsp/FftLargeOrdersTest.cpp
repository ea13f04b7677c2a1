// The largest FFT orders against the oracle (ctest label "large"): complex
// orders 21 to 27 and real orders 21 to 26, in every variant, both
// directions, scaled by 1/N and by 1/sqrt(N); variant 3 gives variant 4's
// bits. One case per family, order and direction, so each process (ctest
// runs every case on its own) holds one oracle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/WuPerf.h"
#include "dsp/WuPerfTesting.h"
#include "tests/dsp/FftComplexTestSupport.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

constexpr HRESULT kOk = 0x0004E600;
constexpr uint32_t kSeed = 27;

// A 64-bit FNV-1a digest: variant 3's output is compared with variant 4's
// without holding a second gigabyte-sized copy.
uint64_t Digest(const void* data, size_t bytes) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  uint64_t h = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
  return h;
}

// The factor a flag applies to a direction.
long double Factor(int flag, bool inverse, int order) {
  const long double n = std::ldexp(1.0L, order);
  if (flag == 4) return 1.0L / std::sqrt(n);
  return flag == (inverse ? 2 : 1) ? 1.0L / n : 1.0L;
}

struct Param {
  bool complex;
  int order;
  bool inverse;
};

class FftLargeOrders : public dsptest::DspTest, public testing::WithParamInterface<Param> {};

// Flag 2 out of place with the caller's buffer at an odd offset; flag 4 in
// place (real: always in place) without a buffer.
TEST_P(FftLargeOrders, EveryVariantAndFlagWithinTheBound) {
  const Param p = GetParam();
  const size_t n = size_t{1} << p.order;
  // The oracle: complex orders up to 22 in long double, above in double.
  std::vector<double> exactDouble;
  if (p.complex && p.order > 22)
    exactDouble = dsptest::ComplexOracleDouble(p.order, kSeed, p.inverse);
  uint64_t digest4[2] = {0, 0};
  for (int v = 4; v >= 0; --v) {
    if (!dsptest::VariantSupported(v)) continue;
    for (int f = 0; f < 2; ++f) {
      const int flag = f == 0 ? 2 : 4;
      SCOPED_TRACE(testing::Message() << "variant " << v << " flag " << flag);
      ASSERT_TRUE(WuPerf_ForceVariantForTesting(v));
      const long double factor = Factor(flag, p.inverse, p.order);
      uint64_t digest = 0;
      if (p.complex) {
        dsptest::CfftRun run;
        run.order = p.order, run.flag = flag, run.inverse = p.inverse, run.seed = kSeed;
        run.inPlace = flag == 4;
        run.bufOffset = flag == 4 ? -1 : 13;
        const std::vector<uint8_t> got = dsptest::RunCfft(run);
        ASSERT_EQ(got.size(), 8 * n);
        const float* g = reinterpret_cast<const float*>(got.data());
        if (p.order > 22)
          EXPECT_TRUE(dsptest::WithinFftBound(exactDouble, g, p.order, factor));
        else
          EXPECT_TRUE(dsptest::MatchesOracle(run, got));
        digest = Digest(got.data(), got.size());
      } else {
        void* ctx = nullptr;
        ASSERT_EQ(WuPerfsFFTInitAlloc_R_64f(&ctx, p.order, flag, 0), kOk);
        int32_t size = 0;
        ASSERT_EQ(WuPerfsFFTGetBufSize_R_64f(ctx, &size), kOk);
        std::vector<uint8_t> buffer;
        if (flag == 2) buffer.resize(static_cast<size_t>(size) + 32);
        uint8_t* work = flag == 2 ? buffer.data() + 13 : nullptr;
        std::vector<double> data = dsptest::RealInput(p.order, kSeed);
        ASSERT_EQ(p.inverse ? WuPerfsFFTInv_PermToR_64f_I(data.data(), ctx, work)
                            : WuPerfsFFTFwd_RToPerm_64f_I(data.data(), ctx, work),
                  kOk);
        EXPECT_EQ(WuPerfsFFTFree_R_64f(ctx), kOk);
        std::vector<long double> exact = dsptest::RealOracle(p.order, kSeed, p.inverse);
        for (long double& e : exact) e *= factor;
        EXPECT_TRUE(dsptest::WithinFftBound(exact, data.data(), p.order));
        digest = Digest(data.data(), 8 * n);
      }
      if (v == 4) digest4[f] = digest;
      if (v == 3 && dsptest::VariantSupported(4)) {
        EXPECT_EQ(digest, digest4[f]) << "variant 3 differs from variant 4";
      }
      WuPerf_ResetForTesting();
    }
  }
}

std::vector<Param> Params() {
  std::vector<Param> out;
  for (int order = 21; order <= 27; ++order)
    for (bool inverse : {false, true}) out.push_back({true, order, inverse});
  for (int order = 21; order <= 26; ++order)
    for (bool inverse : {false, true}) out.push_back({false, order, inverse});
  return out;
}

INSTANTIATE_TEST_SUITE_P(Orders, FftLargeOrders, testing::ValuesIn(Params()),
                         [](const testing::TestParamInfo<Param>& info) {
                           return std::string(info.param.complex ? "Complex" : "Real") +
                                  std::to_string(info.param.order) +
                                  (info.param.inverse ? "Inverse" : "Forward");
                         });

}  // namespace
