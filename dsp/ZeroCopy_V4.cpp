// Variant 4 (up to SSE4.1): zero and copy kernels, their validating entries and the
// scale kernels.
#include "dsp/FftVariants.h"
#include "dsp/ScaleSimd.h"
#include "dsp/ZeroCopySimd.h"
#include "dsp/ZeroEntries.h"

namespace wuperf::v4 {

WU_DEFINE_ZERO_COPY_SIMD(V4, CopyTraitsV43, 0x40000, 0x20000)

}  // namespace wuperf::v4
