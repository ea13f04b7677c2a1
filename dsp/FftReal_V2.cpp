// Variant 2 (up to SSE3): 512-point stage blocks, split from half-order 15:
// the forward real double-precision FFT (set-up, driver, transform
// routines, fixed kernels).
#include "dsp/FftRealSimd.h"

namespace wuperf::v2 {

namespace {
// Out of place: whole-array reversal by copy up to the fourth value's
// half-order, tiles gathered from the source up to the fifth's; the
// bit-reversal copy walks the source runs up to the sixth value's points;
// the last stage stores whole vectors from the seventh's; the eighth: the
// radix-8 first stage reads its second start from the next table word.
constexpr RealRouteTraits kRoutesV2 = {&kRealV2, 14, 512, 15, 17, 65536, 32768, true};
}  // namespace

WU_DEFINE_FFT_REAL_VARIANT_SIMD(V2, 2, kRoutesV2, kRealV2)

}  // namespace wuperf::v2
