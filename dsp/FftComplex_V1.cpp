// Variant 1 (SSE2): the complex float FFT (set-up, drivers, fixed kernels,
// passes, direct and split transforms).
#include "dsp/FftComplex.h"
#include "dsp/FftComplexSetup.h"
#include "dsp/FftComplexSimd.h"
#include "dsp/FftSmallKernels.h"
#include "dsp/FftSplitTables.h"
#include "dsp/FftVariants.h"
#include "dsp/Variants.h"

namespace wuperf::v1 {

WU_DEFINE_FFT32FC_SIMD(V1, 1, kComplexV1, kComplexSplitV1, kComplexBlockV1, 0)

}  // namespace wuperf::v1
