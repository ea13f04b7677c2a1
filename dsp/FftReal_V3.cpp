// Variant 3 (up to SSSE3): the code of variant 4 under this variant's flags:
// the forward real double-precision FFT (set-up, driver, transform
// routines, fixed kernels).
#include "dsp/FftRealSimd.h"

namespace wuperf::v3 {

namespace {
// Out of place: whole-array reversal by copy up to the fourth value's
// half-order, tiles gathered from the source up to the fifth's; the
// bit-reversal copy walks the source runs up to the sixth value's points;
// the last stage stores whole vectors from the seventh's; the eighth: the
// radix-8 first stage reads its second start from the next table word.
constexpr RealRouteTraits kRoutesV3 = {&kRealV3, 14, 1024, 16, 21, 32768, 256, false};
}  // namespace

WU_DEFINE_FFT_REAL_VARIANT_SIMD(V3, 3, kRoutesV3, kRealV3)

}  // namespace wuperf::v3
