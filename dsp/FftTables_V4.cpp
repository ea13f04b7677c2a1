// Variant 4 (up to SSE4.1): the FFT set-up table builders and size walks.
#include "dsp/FftTables.h"
#include "dsp/FftVariants.h"

namespace wuperf::v4 {

WU_DEFINE_FFT_TABLES_SIMD(V4, kComplexV4, kRealV4)

}  // namespace wuperf::v4
