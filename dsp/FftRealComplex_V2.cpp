// Variant 2 (up to SSE3): the complex DFTs of 1 to 32 points of the real FFT's
// fixed-kernel tables (columns 12 to 23), both directions, unscaled and
// scaled. No transform path calls them.
#include "dsp/FftReal.h"
#include "dsp/FftRealKernels.h"

namespace wuperf::v2 {

WU_DEFINE_FFT_COMPLEX_FIXED_SMALL(V2)
WU_DEFINE_FFT_COMPLEX_FIXED_32(V2)

}  // namespace wuperf::v2
