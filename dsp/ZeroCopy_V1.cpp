// Variant 1 (SSE and SSE2): zero and copy kernels, their validating entries and the
// scale kernels.
#include "dsp/FftVariants.h"
#include "dsp/ScaleSimd.h"
#include "dsp/ZeroCopySimd.h"
#include "dsp/ZeroEntries.h"

namespace wuperf::v1 {

WU_DEFINE_ZERO_COPY_SIMD(V1, CopyTraitsV1, 0x20000, 0x10000)

}  // namespace wuperf::v1
