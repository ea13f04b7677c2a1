// Variant 4 (up to SSE4.1):
// the forward real double-precision FFT (set-up, driver, transform
// routines, fixed kernels).
#include "dsp/FftRealSimd.h"

namespace wuperf::v4 {

namespace {
// Out of place: whole-array reversal by copy up to the fourth value's
// half-order, tiles gathered from the source up to the fifth's.
constexpr RealRouteTraits kRoutesV4 = {&kRealV4, 14, 1024, 16, 21};
}  // namespace

WU_DEFINE_FFT_REAL_VARIANT_SIMD(V4, 4, kRoutesV4, kRealV4)

}  // namespace wuperf::v4
