// Variant 3 (up to SSSE3): the FFT set-up table builders and size walks.
#include "dsp/FftTables.h"
#include "dsp/FftVariants.h"

namespace wuperf::v3 {

WU_DEFINE_FFT_TABLES_SIMD(V3, kComplexV3, kRealV3)

}  // namespace wuperf::v3
