// Variant 1 (SSE and SSE2): the FFT set-up table builders and size walks.
#include "dsp/FftTables.h"
#include "dsp/FftVariants.h"

namespace wuperf::v1 {

WU_DEFINE_FFT_TABLES_SIMD(V1, kComplexV1, kRealV1)

}  // namespace wuperf::v1
