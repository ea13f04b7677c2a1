// Variant 4 (up to SSE4.1):
// the forward real double-precision FFT (set-up, driver, transform
// routines, fixed kernels).
#include "dsp/FftRealSimd.h"

namespace wuperf::v4 {

namespace {
// Out of place: whole-array reversal by copy up to the fourth value's
// half-order, tiles gathered from the source up to the fifth's; the
// bit-reversal copy walks the source runs up to the sixth value's points;
// the last stage stores whole vectors from the seventh's; the eighth: the
// radix-8 first stage reads its second start from the next table word.
constexpr RealRouteTraits kRoutesV4 = {&kRealV4, 14, 1024, 16, 21, 32768, 256, false};
}  // namespace

WU_DEFINE_FFT_REAL_VARIANT_SIMD(V4, 4, kRoutesV4, kRealV4)

}  // namespace wuperf::v4
