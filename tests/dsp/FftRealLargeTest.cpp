// Real FFT cases too big for CI (ctest label "large"): the out-of-place
// copy-then-tiles route and the depth-1 splits of the largest orders.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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

}  // namespace
