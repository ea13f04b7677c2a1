// Variant 2 (up to SSE3): the FFT set-up table builders and size walks.
#include "dsp/FftTables.h"
#include "dsp/FftVariants.h"

namespace wuperf::v2 {

WU_DEFINE_FFT_TABLES_SIMD(V2, kComplexV2, kRealV2)

}  // namespace wuperf::v2
