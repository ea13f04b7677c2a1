// Variant 1 (SSE2): split from half-order 14, stages without cache blocking:
// the forward real double-precision FFT (set-up, driver, transform
// routines, fixed kernels).
#include "dsp/FftRealSimd.h"

namespace wuperf::v1 {

namespace {
// Out of place: whole-array reversal by copy up to the fourth value's
// half-order, tiles gathered from the source up to the fifth's; the
// bit-reversal copy walks the source runs up to the sixth value's points;
// the last stage stores whole vectors from the seventh's; the eighth: the
// radix-8 first stage reads its second start from the next table word.
constexpr RealRouteTraits kRoutesV1 = {&kRealV1, 13, int64_t{1} << 40, 14, 16, 32768, 128, false};
}  // namespace

WU_DEFINE_FFT_REAL_VARIANT_SIMD(V1, 1, kRoutesV1, kRealV1)

}  // namespace wuperf::v1
