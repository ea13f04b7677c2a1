// Variant 3 (up to SSSE3): the complex float FFT (set-up, drivers, fixed kernels,
// passes, direct and split transforms).
#include "dsp/FftComplex.h"
#include "dsp/FftComplexSetup.h"
#include "dsp/FftComplexSimd.h"
#include "dsp/FftSmallKernels.h"
#include "dsp/FftSplitTables.h"
#include "dsp/FftVariants.h"
#include "dsp/Variants.h"

namespace wuperf::v3 {

WU_DEFINE_FFT32FC_SIMD(V3, 3, kComplexV3, kComplexSplitV432, kComplexBlockV432, 2048)

}  // namespace wuperf::v3
