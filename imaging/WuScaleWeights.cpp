#include "imaging/WuScaleWeights.h"

#include <mutex>

namespace {

// K(x) for 0 <= x <= 1 and for 1 <= x <= 2, in Horner form.
double KernelNear(double x) { return ((1.5 * x - 2.5) * x + 0.0) * x + 1.0; }
double KernelFar(double x) { return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0; }

WUCUBICWEIGHTS g_weights;
std::once_flag g_weights_once;

void BuildWeights() {
  for (int p = 0; p < WU_CUBIC_PHASES; ++p) {
    const double t = static_cast<float>(p * (1.0 / 4096.0));
    const double taps[4] = {KernelFar(1.0 + t), KernelNear(t), KernelNear(1.0 - t),
                            KernelFar(2.0 - t)};
    for (int k = 0; k < 4; ++k) {
      const float w = static_cast<float>(taps[k]);
      g_weights.f[p][k] = w;
      g_weights.q[p][k] = static_cast<LONG>(w * 16384.0f);
    }
  }
}

}  // namespace

const WUCUBICWEIGHTS& WuCubicWeights() {
  std::call_once(g_weights_once, BuildWeights);
  return g_weights;
}
