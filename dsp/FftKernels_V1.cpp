// Variant 1 (SSE and SSE2): block gather, scatter and bit reversal, and the radix-4
// and radix-2 passes of the split FFTs, complex floats and complex doubles.
#include "dsp/FftBlockSimd.h"
#include "dsp/FftVariants.h"

namespace wuperf::v1 {

WU_DEFINE_FFT_BLOCK_KERNELS(V1)

}  // namespace wuperf::v1
