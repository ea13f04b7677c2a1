// The fixed-kernel tables of the real double-precision FFT, one row per
// variant (V4, V3, V2, V1, V0), 24 columns each.
#include "dsp/FftReal.h"

namespace wuperf {

namespace {
constexpr FixedKernelSlot P(FixedKernel k) { return {k, nullptr}; }
constexpr FixedKernelSlot S(FixedKernelScaled k) { return {nullptr, k}; }
}  // namespace

#define WU_FWD_ROW(ns, V)                                                                       \
  {P(ns::WuPerfFFT64f_RealOrder0_##V), P(ns::WuPerfFFT64f_RealOrder1_##V),                      \
   P(ns::WuPerfFFTFwd64f_RealOrder2_##V), P(ns::WuPerfFFTFwd64f_RealOrder3_##V),                \
   P(ns::WuPerfFFTFwd64f_RealOrder4_##V), P(ns::WuPerfFFTFwd64f_RealOrder5_##V),                \
   S(ns::WuPerfFFT64f_RealOrder0Scaled_##V), S(ns::WuPerfFFT64f_RealOrder1Scaled_##V),          \
   S(ns::WuPerfFFTFwd64f_RealOrder2Scaled_##V), S(ns::WuPerfFFTFwd64f_RealOrder3Scaled_##V),    \
   S(ns::WuPerfFFTFwd64f_RealOrder4Scaled_##V), S(ns::WuPerfFFTFwd64f_RealOrder5Scaled_##V),    \
   P(ns::WuPerfFFT64fc_Order0_##V), P(ns::WuPerfFFT64fc_Order1_##V),                            \
   P(ns::WuPerfFFTFwd64fc_Order2_##V), P(ns::WuPerfFFTFwd64fc_Order3_##V),                      \
   P(ns::WuPerfFFTFwd64fc_Order4_##V), P(ns::WuPerfFFTFwd64fc_Order5_##V),                      \
   S(ns::WuPerfFFT64fc_Order0Scaled_##V), S(ns::WuPerfFFT64fc_Order1Scaled_##V),                \
   S(ns::WuPerfFFTFwd64fc_Order2Scaled_##V), S(ns::WuPerfFFTFwd64fc_Order3Scaled_##V),          \
   S(ns::WuPerfFFTFwd64fc_Order4Scaled_##V), S(ns::WuPerfFFTFwd64fc_Order5Scaled_##V)}

#define WU_INV_ROW(ns, V)                                                                       \
  {P(ns::WuPerfFFT64f_RealOrder0_##V), P(ns::WuPerfFFT64f_RealOrder1_##V),                      \
   P(ns::WuPerfFFTInv64f_RealOrder2_##V), P(ns::WuPerfFFTInv64f_RealOrder3_##V),                \
   P(ns::WuPerfFFTInv64f_RealOrder4_##V), P(ns::WuPerfFFTInv64f_RealOrder5_##V),                \
   S(ns::WuPerfFFT64f_RealOrder0Scaled_##V), S(ns::WuPerfFFT64f_RealOrder1Scaled_##V),          \
   S(ns::WuPerfFFTInv64f_RealOrder2Scaled_##V), S(ns::WuPerfFFTInv64f_RealOrder3Scaled_##V),    \
   S(ns::WuPerfFFTInv64f_RealOrder4Scaled_##V), S(ns::WuPerfFFTInv64f_RealOrder5Scaled_##V),    \
   P(ns::WuPerfFFT64fc_Order0_##V), P(ns::WuPerfFFT64fc_Order1_##V),                            \
   P(ns::WuPerfFFTInv64fc_Order2_##V), P(ns::WuPerfFFTInv64fc_Order3_##V),                      \
   P(ns::WuPerfFFTInv64fc_Order4_##V), P(ns::WuPerfFFTInv64fc_Order5_##V),                      \
   S(ns::WuPerfFFT64fc_Order0Scaled_##V), S(ns::WuPerfFFT64fc_Order1Scaled_##V),                \
   S(ns::WuPerfFFTInv64fc_Order2Scaled_##V), S(ns::WuPerfFFTInv64fc_Order3Scaled_##V),          \
   S(ns::WuPerfFFTInv64fc_Order4Scaled_##V), S(ns::WuPerfFFTInv64fc_Order5Scaled_##V)}

const FixedKernelSlot WuPerfFFTFwd64f_FixedKernels[5][kFixedKernelColumns] = {
    WU_FWD_ROW(v4, V4),
    WU_FWD_ROW(v3, V3),
    WU_FWD_ROW(v2, V2),
    WU_FWD_ROW(v1, V1),
    WU_FWD_ROW(v0, V0)};

const FixedKernelSlot WuPerfFFTInv64f_FixedKernels[5][kFixedKernelColumns] = {
    WU_INV_ROW(v4, V4),
    WU_INV_ROW(v3, V3),
    WU_INV_ROW(v2, V2),
    WU_INV_ROW(v1, V1),
    WU_INV_ROW(v0, V0)};

#undef WU_FWD_ROW
#undef WU_INV_ROW

}  // namespace wuperf
