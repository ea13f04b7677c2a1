// The fixed-kernel table of the complex float FFT: forward rows of variants
// 4..0, then inverse rows; orders 0 and 1 are the forward kernels in both.
#include "dsp/FftComplex.h"

namespace wuperf {

#define WU_FIXED_ROW(D, ns, V)                                                                 \
  {{ns::WuPerfFFT32fc_Order0_##V, ns::WuPerfFFT32fc_Order1_##V, ns::WuPerfFFT##D##32fc_Order2_##V, \
    ns::WuPerfFFT##D##32fc_Order3_##V, ns::WuPerfFFT##D##32fc_Order4_##V,                      \
    ns::WuPerfFFT##D##32fc_Order5_##V},                                                        \
   {ns::WuPerfFFT32fc_Order0Scaled_##V, ns::WuPerfFFT32fc_Order1Scaled_##V,                    \
    ns::WuPerfFFT##D##32fc_Order2Scaled_##V, ns::WuPerfFFT##D##32fc_Order3Scaled_##V,          \
    ns::WuPerfFFT##D##32fc_Order4Scaled_##V, ns::WuPerfFFT##D##32fc_Order5Scaled_##V}}

const FftFixedKernelRow WuPerfFFT32fc_FixedKernels[10] = {
    WU_FIXED_ROW(Fwd, v4, V4), WU_FIXED_ROW(Fwd, v3, V3), WU_FIXED_ROW(Fwd, v2, V2),
    WU_FIXED_ROW(Fwd, v1, V1), WU_FIXED_ROW(Fwd, v0, V0), WU_FIXED_ROW(Inv, v4, V4),
    WU_FIXED_ROW(Inv, v3, V3), WU_FIXED_ROW(Inv, v2, V2), WU_FIXED_ROW(Inv, v1, V1),
    WU_FIXED_ROW(Inv, v0, V0)};

#undef WU_FIXED_ROW

}  // namespace wuperf
