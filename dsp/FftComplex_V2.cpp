// Variant 2 (up to SSE3): the complex float FFT (set-up, drivers, fixed kernels,
// passes, direct and split transforms).
#include "dsp/FftComplex.h"
#include "dsp/FftComplexSetup.h"
#include "dsp/FftComplexSimd.h"
#include "dsp/FftSmallKernels.h"
#include "dsp/FftSplitTables.h"
#include "dsp/FftVariants.h"
#include "dsp/Variants.h"

namespace wuperf::v2 {

WU_DEFINE_FFT32FC_SIMD(V2, 2, kComplexV2, kComplexSplitV432, kComplexBlockV432, 1024)

}  // namespace wuperf::v2
