// Variant 0 (generic): the zero kernel and the validating zero entries.
#include <cstdint>

#include "dsp/FftVariants.h"
#include "dsp/ZeroEntries.h"

namespace wuperf::v0 {

// Single bytes up to a 4-byte boundary, then 32 bytes a step as eight 4-byte
// stores, then the last bytes one at a time. No probe, no streaming.
void* WuPerfZero8u_Kernel_V0(void* dst, int32_t n) {
  uint8_t* p = static_cast<uint8_t*>(dst);
  int32_t left = n;
  for (; left > 0 && (reinterpret_cast<uintptr_t>(p) & 3) != 0; --left) *p++ = 0;
  if (left <= 0) return dst;
  uint32_t* w = reinterpret_cast<uint32_t*>(p);
  for (int32_t blocks = left / 32; blocks > 0; --blocks, w += 8) {
    w[0] = 0, w[1] = 0, w[2] = 0, w[3] = 0;
    w[4] = 0, w[5] = 0, w[6] = 0, w[7] = 0;
  }
  p = reinterpret_cast<uint8_t*>(w);
  for (left %= 32; left > 0; --left) *p++ = 0;
  return dst;
}

WU_DEFINE_ZERO_ENTRIES(V0)

}  // namespace wuperf::v0
