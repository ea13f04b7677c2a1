// Test seams of the signal-processing primitives.
#include "dsp/WuPerfTesting.h"

#include "dsp/CpuDetect.h"
#include "dsp/VariantIndex.h"

BOOL WuPerf_ForceVariantForTesting(int32_t variant) {
  if (variant < 0 || variant >= wuperf::kVariantCount) return FALSE;
  wuperf::StoreVariant(variant);
  return TRUE;
}

int32_t WuPerf_CurrentVariantForTesting() { return wuperf::CurrentVariant(); }

void WuPerf_ResetForTesting() {
  wuperf::ResetFeatureMask();
  wuperf::StoreVariant(0);
}

void WuPerf_SetAllocTableForTesting(const wuperf::WuPerfAllocFunctions* functions) {
  wuperf::SetAllocFunctions(functions);
}
