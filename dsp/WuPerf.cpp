// The exports that dispatch nothing: initialisation, the mappings and the
// clock. The dispatched exports live with their tables (dsp/Dispatch.cpp), so
// a program that only initialises links no kernel.
#include "dsp/WuPerf.h"

#include "dsp/CpuDetect.h"

// ---- Set-up and mappings ---------------------------------------------------

HRESULT WuPerf_Initialize() { return WuPerfMapStatus(wuperf::WuPerfCpu_SelectVariant()); }

HRESULT WuPerfMapStatus(int32_t status) {
  if (status == WuPerfStatusFoldedTo255) {
    status = -255;
  } else if (status == WuPerfStatusFoldedTo256) {
    status = -256;
  }
  // Unsigned 32-bit arithmetic throughout, so no status can overflow.
  uint32_t magnitude =
      status < 0 ? 0u - static_cast<uint32_t>(status) : static_cast<uint32_t>(status);
  uint32_t code = magnitude + 0x4E600u;
  code |= status < 0 ? 0x80040000u : 0x40000u;
  return static_cast<HRESULT>(code);
}

HRESULT WuPerfStatusToHRESULT(WuPerfStatus status) { return WuPerfMapStatus(status); }

int32_t WuPerfMapHintAlgorithm(WuPerfHintAlgorithm hint) {
  static const int32_t kHints[3] = {0, 1, 2};
  if (hint < 0 || hint > 2) return kHints[0];
  return kHints[hint];
}

uint64_t WuPerfGetCpuClocks() { return wuperf::WuPerfCpu_ReadTsc(); }
