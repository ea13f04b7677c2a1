// Helpers of the complex float FFT tests: one transform through the
// exports with a chosen placement, destination misalignment and work buffer,
// and the oracle comparison with the context's scaling.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/kernel/types.h"
#include "tests/dsp/FftTestSupport.h"

namespace dsptest {

// How one transform is run.
struct CfftRun {
  int order = 0;
  int flag = 8;
  bool inverse = false;
  bool inPlace = false;
  size_t dstMisalign = 0;   // bytes past a 64-byte boundary of the destination
  int bufOffset = -1;       // caller's work buffer at this offset; -1: none
  uint32_t seed = 1;
};

// The output of one transform of ComplexInput(order, seed) through the
// exports under the current variant, as bytes; the test fails on a status
// other than S_OK or on a touched guard byte.
std::vector<uint8_t> RunCfft(const CfftRun& run);

// The output compared with the oracle scaled as the flag scales the
// direction.
::testing::AssertionResult MatchesOracle(const CfftRun& run, const std::vector<uint8_t>& got);

// The variant fixture of the complex transforms.
class CfftVariantTest : public FftVariantTest {
 protected:
  // Every variant forced, the orders with flags 1, 4 and 8 in both
  // directions against the oracle (the caller's buffer at offset 0).
  void SweepAgainstTheOracle(std::initializer_list<int> orders);
};

// The HRESULT of success (status 0 mapped).
constexpr HRESULT kCfftOk = 0x4E600;

// An HRESULT of the primitives from a status.
uint32_t Mapped(int32_t status);

}  // namespace dsptest
