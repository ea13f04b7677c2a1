// The selected kernel variant.
#include "dsp/VariantIndex.h"

#include <atomic>

namespace wuperf {

namespace {
// The selected variant; 0 until selection runs. Written by the selection
// (and the test seam), read by every dispatched call.
std::atomic<int32_t> g_variant{0};
}  // namespace

int32_t CurrentVariant() { return g_variant.load(std::memory_order_acquire); }

void StoreVariant(int32_t variant) {
  if (variant < 0 || variant >= kVariantCount) return;
  g_variant.store(variant, std::memory_order_release);
}

}  // namespace wuperf
