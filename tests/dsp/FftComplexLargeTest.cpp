// Complex transforms too long for CI (ctest label "large").
#include <gtest/gtest.h>

#include "tests/dsp/FftComplexTestSupport.h"

namespace {

class CfftLargeTest : public dsptest::CfftVariantTest {};

// Orders 21 and 22: a chunked or split route in every variant, the
// two-level bit reversal in place and block by block.
TEST_F(CfftLargeTest, OrdersTwentyOneAndTwentyTwoMatchTheOracle) { SweepAgainstTheOracle({21, 22}); }

}  // namespace
