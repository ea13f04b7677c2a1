// Variant 2 (up to SSE3): zero and copy kernels, their validating entries and the
// scale kernels.
#include "dsp/FftVariants.h"
#include "dsp/ScaleSimd.h"
#include "dsp/ZeroCopySimd.h"
#include "dsp/ZeroEntries.h"

namespace wuperf::v2 {

WU_DEFINE_ZERO_COPY_SIMD(V2, CopyTraitsV2, 0x40000, 0x20000)

}  // namespace wuperf::v2
