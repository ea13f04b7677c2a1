// The floating-point guards of the conversion kernels.
#include "audio/WuAudioCopy.h"
#include "foundation/WuSystem.h"
#include "foundation/WuSystemInternal.h"
#include "platform/kernel/cpu.h"

namespace {

constexpr WORD kX87RoundingBits = 0x0C00;   // x87 control word bits 10-11
constexpr DWORD kMxcsrRoundingBits = 0x6000;  // MXCSR bits 13-14
constexpr DWORD kMxcsrFtzDaz = 0x8040;        // flush-to-zero, denormals-are-zero

}  // namespace

WORD WuAudio_SetFpuRoundNearest(WORD control) {
  WORD previous = platform::GetX87ControlWord();
  platform::SetX87ControlWord(control != 0 ? control
                                           : static_cast<WORD>(previous & ~kX87RoundingBits));
  return previous;
}

DWORD WuAudio_SetSseRoundNearest(DWORD mxcsr) {
  // Read the caller's value first: the processor detection, should it run
  // now for the first time, sets bits of this thread's MXCSR itself.
  DWORD previous = platform::GetMxcsr();
  DWORD value = mxcsr & 0xFFFF;
  if (mxcsr == 0) {
    value = previous & ~kMxcsrRoundingBits;
    if (WuSystem_GetDetectedCPUSupport(WUCPU_FTZ_DAZ)) value |= kMxcsrFtzDaz;
  }
  platform::SetMxcsr(value);
  return previous;
}
