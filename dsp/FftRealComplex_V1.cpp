// Variant 1 (SSE2): the complex DFTs of 1 to 32 points of the real FFT's
// fixed-kernel tables (columns 12 to 23), both directions, unscaled and
// scaled. No transform path calls them.
#include "dsp/FftReal.h"
#include "dsp/FftRealKernels.h"

namespace wuperf::v1 {

WU_DEFINE_FFT_COMPLEX_FIXED_SMALL(V1)
WU_DEFINE_FFT_COMPLEX_FIXED_32(V1)

}  // namespace wuperf::v1
