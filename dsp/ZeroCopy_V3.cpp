// Variant 3 (up to SSSE3): zero and copy kernels, their validating entries and the
// scale kernels.
#include "dsp/FftVariants.h"
#include "dsp/ScaleSimd.h"
#include "dsp/ZeroCopySimd.h"
#include "dsp/ZeroEntries.h"

namespace wuperf::v3 {

WU_DEFINE_ZERO_COPY_SIMD(V3, CopyTraitsV43, 0x40000, 0x20000)

}  // namespace wuperf::v3
