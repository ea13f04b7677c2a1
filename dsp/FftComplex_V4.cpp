// Variant 4 (up to SSE4.1): the complex float FFT (set-up, drivers, fixed kernels,
// passes, direct and split transforms).
#include "dsp/FftComplex.h"
#include "dsp/FftComplexSetup.h"
#include "dsp/FftComplexSimd.h"
#include "dsp/FftSmallKernels.h"
#include "dsp/FftSplitTables.h"
#include "dsp/FftVariants.h"
#include "dsp/Variants.h"

namespace wuperf::v4 {

WU_DEFINE_FFT32FC_SIMD(V4, 4, kComplexV4, kComplexSplitV432, kComplexBlockV432, 2048)

}  // namespace wuperf::v4
