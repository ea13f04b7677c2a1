// Real FFT cases too big for CI (ctest label "large"): the out-of-place
// copy-then-tiles route and the depth-1 splits of the largest orders.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dsp/WuPerf.h"
#include "dsp/WuPerfTesting.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/FftRealTestSupport.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

using dsptest::RealCase;
using dsptest::RealFwd;
using dsptest::RealPlacement;

class FftRealLargeTest : public dsptest::DspTest {};

TEST_F(FftRealLargeTest, LargestRoutesMatchTheOracleInPlaceAndOutOfPlace) {
  struct Row {
    int variant, order;
  } rows[] = {{4, 23}, {3, 23}, {1, 23}, {2, 24}, {4, 26}};
  for (const Row& r : rows) {
    if (!dsptest::VariantSupported(r.variant)) continue;
    SCOPED_TRACE(testing::Message() << "variant " << r.variant << " order " << r.order);
    std::vector<double> in = RealFwd(RealCase{r.variant, r.order, 8, RealPlacement::kExport, 0, 13});
    ASSERT_TRUE(dsptest::WithinFftBound(dsptest::RealOracle(r.order, 13, false), in.data(), r.order));
    std::vector<double> out =
        RealFwd(RealCase{r.variant, r.order, 8, RealPlacement::kDriverOutOfPlace, 0, 13});
    ASSERT_EQ(in.size(), out.size());
    EXPECT_EQ(0, std::memcmp(in.data(), out.data(), 8 * in.size()));
  }
}

// The inverse's depth-1 splits: V1 at 23, V2 at 24, V4 and V0 at 26.
TEST_F(FftRealLargeTest, InverseDepthOneSplitsMatchTheOracle) {
  struct Row {
    int variant, order;
  } rows[] = {{1, 23}, {2, 24}, {4, 26}, {0, 26}};
  for (const Row& r : rows) {
    if (!dsptest::VariantSupported(r.variant)) continue;
    SCOPED_TRACE(testing::Message() << "variant " << r.variant << " order " << r.order);
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(r.variant));
    void* ctx = nullptr;
    ASSERT_TRUE(SUCCEEDED(WuPerfsFFTInitAlloc_R_64f(&ctx, r.order, 8, 0)));
    std::vector<double> data = dsptest::RealInput(r.order, 13);
    ASSERT_TRUE(SUCCEEDED(WuPerfsFFTInv_PermToR_64f_I(data.data(), ctx, nullptr)));
    EXPECT_TRUE(SUCCEEDED(WuPerfsFFTFree_R_64f(ctx)));
    ASSERT_TRUE(dsptest::WithinFftBound(dsptest::RealOracle(r.order, 13, true), data.data(), r.order));
  }
}

}  // namespace
