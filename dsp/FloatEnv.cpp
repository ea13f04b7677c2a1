// The SIMD floating-point environment around exact kernels.
#include "dsp/FloatEnv.h"

#include "platform/kernel/cpu.h"

namespace wuperf {

namespace {
constexpr DWORD kRoundingControl = 0x6000;  // bits 13-14: rounding mode
constexpr DWORD kAllExceptionMasks = 0x1F80;  // bits 7-12: every exception masked
}  // namespace

DWORD EnterExactFloatEnv() {
  DWORD saved = platform::GetMxcsr();
  DWORD working = (saved & kRoundingControl) | kAllExceptionMasks;
  if (working != saved) platform::SetMxcsr(working);
  return saved;
}

void LeaveExactFloatEnv(DWORD saved) {
  if (platform::GetMxcsr() != saved) platform::SetMxcsr(saved);
}

}  // namespace wuperf
