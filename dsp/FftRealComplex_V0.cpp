// Variant 0 (generic): the complex DFTs of 1 to 16 points of the real FFT's
// fixed-kernel tables (columns 12 to 16 and 18 to 22), both directions,
// unscaled and scaled. No transform path calls them; the 32-point members
// (columns 17 and 23) live with the order-6 transforms that call them.
#include "dsp/FftReal.h"
#include "dsp/FftRealKernels.h"

namespace wuperf::v0 {

WU_DEFINE_FFT_COMPLEX_FIXED_SMALL(V0)

}  // namespace wuperf::v0
