// The cache-size probe of the zero and copy kernels.
#include "dsp/CacheProbe.h"

#include "dsp/CpuDetect.h"

namespace wuperf {

namespace {

// One cache descriptor: its byte in the leaf-2 words and its size code,
// (high nibble) << (low nibble + 18) bytes.
struct CacheDescriptor {
  uint8_t descriptor;  // descriptor byte
  uint8_t sizeCode;    // encoded size
};

// Largest sizes first: the first entry whose byte the processor reports
// gives the size. Caches below 512 KiB have no entry.
constexpr CacheDescriptor kCacheDescriptors[] = {
    {0x4D, 0x16}, {0x4C, 0x34}, {0x4B, 0x15}, {0x47, 0x15}, {0x4E, 0x33}, {0x4A, 0x33},
    {0x49, 0x14}, {0x29, 0x14}, {0x46, 0x14}, {0x48, 0x32}, {0x25, 0x13}, {0x7D, 0x13},
    {0x85, 0x13}, {0x45, 0x13}, {0x23, 0x12}, {0x87, 0x12}, {0x7C, 0x12}, {0x78, 0x12},
    {0x84, 0x12}, {0x44, 0x12}, {0x22, 0x11}, {0x7B, 0x11}, {0x80, 0x11}, {0x86, 0x11},
    {0x3E, 0x11}, {0x7F, 0x11}, {0x83, 0x11}, {0x43, 0x11}, {0x00, 0x00},
};

}  // namespace

uint64_t WuPerfCpu_LargestCacheBytes() {
  if (!WuPerfCpu_HasCpuid() || !WuPerfCpu_IsGenuineIntel()) return 0;
  platform::CpuidRegs leaf2{};
  WuPerfCpu_Cpuid(&leaf2, 2, 0);
  if ((leaf2.eax & 0xFF) != 1) return 0;  // more than one round of descriptors
  // Sixteen descriptor bytes; words with bit 31 set carry none, and the low
  // byte of EAX is the round count.
  const DWORD words[4] = {leaf2.eax, leaf2.ebx, leaf2.ecx, leaf2.edx};
  uint8_t bytes[16] = {};
  int count = 0;
  for (int w = 0; w < 4; ++w) {
    if (words[w] & 0x80000000u) continue;
    for (int b = (w == 0 ? 1 : 0); b < 4; ++b) bytes[count++] = (words[w] >> (8 * b)) & 0xFF;
  }
  for (const CacheDescriptor* d = kCacheDescriptors; d->descriptor != 0; ++d) {
    for (int i = 0; i < count; ++i) {
      if (bytes[i] == d->descriptor)
        return static_cast<uint64_t>(d->sizeCode >> 4) << ((d->sizeCode & 0xF) + 18);
    }
  }
  return 0;
}

}  // namespace wuperf
