// Processor detection and variant selection.
#include "dsp/CpuDetect.h"

#include <atomic>

#include "dsp/VariantIndex.h"

namespace wuperf {

namespace {

// The cached feature mask. The mask is stored before the done flag is
// published (release), and read after the flag is seen (acquire), so no
// thread takes an unbuilt mask for a built one. Threads racing to build it
// all compute the same value.
std::atomic<uint64_t> g_featureMask{0};
std::atomic<uint32_t> g_featureMaskDone{0};

// "GenuineIntel" as CPUID leaf 0 spells it in EBX, EDX, ECX.
constexpr DWORD kVendorEbx = 0x756E6547;  // "Genu"
constexpr DWORD kVendorEdx = 0x49656E69;  // "ineI"
constexpr DWORD kVendorEcx = 0x6C65746E;  // "ntel"

// One mask bit per CPUID leaf 1 bit.
struct FeatureBit {
  bool inEcx;     // true: ECX, false: EDX
  int bit;        // bit number in that register
  uint64_t mask;  // mask bit it sets
};
constexpr FeatureBit kFeatureBits[] = {
    {false, 23, kFeatureMmx},  {false, 25, kFeatureSse},  {false, 26, kFeatureSse2},
    {true, 0, kFeatureSse3},   {true, 9, kFeatureSsse3},  {true, 22, kFeatureMovbe},
    {true, 19, kFeatureSse41}, {true, 20, kFeatureSse42},
};

uint64_t BuildFeatureMask() {
  platform::CpuidRegs leaf1{};
  WuPerfCpu_Cpuid(&leaf1, 1, 0);
  uint64_t mask = 0;
  for (const FeatureBit& f : kFeatureBits) {
    DWORD reg = f.inEcx ? leaf1.ecx : leaf1.edx;
    if ((reg >> f.bit) & 1u) mask |= f.mask;
  }
  return mask;
}

}  // namespace

BOOL WuPerfCpu_HasCpuid() { return platform::CurrentProcessor().HasCpuid() ? TRUE : FALSE; }

void WuPerfCpu_Cpuid(platform::CpuidRegs* record, DWORD leaf, DWORD subleaf) {
  platform::Cpuid(leaf, subleaf, record);
}

BOOL WuPerfCpu_IsGenuineIntel() {
  platform::CpuidRegs leaf0{};
  WuPerfCpu_Cpuid(&leaf0, 0, 0);
  return leaf0.ebx == kVendorEbx && leaf0.edx == kVendorEdx && leaf0.ecx == kVendorEcx;
}

BOOL WuPerfCpu_InitFeatureMask(uint64_t* mask) {
  if (g_featureMaskDone.load(std::memory_order_acquire)) {
    *mask = g_featureMask.load(std::memory_order_relaxed);
    return TRUE;
  }
  if (!WuPerfCpu_HasCpuid()) return FALSE;
  uint64_t built = BuildFeatureMask();
  g_featureMask.store(built, std::memory_order_relaxed);
  g_featureMaskDone.store(1, std::memory_order_release);
  *mask = built;
  return TRUE;
}

WuPerfStatus WuPerfCpu_GetFeatures(uint64_t* mask) {
  uint64_t built = 0;
  if (!WuPerfCpu_InitFeatureMask(&built)) return WuPerfWarnNoCpuid;
  if (!mask) return WuPerfErrNullPointer;
  *mask = built;
  return WuPerfOk;
}

int32_t VariantForFeatures(uint64_t mask) {
  if (mask & kFeatureSse41) return 4;
  if (mask & kFeatureSsse3) return 3;
  if (mask & kFeatureSse3) return 2;
  if (mask & kFeatureSse2) return 1;
  return 0;
}

WuPerfStatus WuPerfCpu_SelectVariant() {
  uint64_t mask = 0;
  int32_t variant = 0;
  if (WuPerfCpu_GetFeatures(&mask) == WuPerfOk) variant = VariantForFeatures(mask);
  StoreVariant(variant);
  if (WuPerfCpu_HasCpuid() && WuPerfCpu_IsGenuineIntel()) return WuPerfOk;
  return WuPerfWarnOtherCpu;
}

uint64_t WuPerfCpu_ReadTsc() { return platform::ReadTimeStampCounter(); }

void ResetFeatureMask() {
  g_featureMaskDone.store(0, std::memory_order_release);
  g_featureMask.store(0, std::memory_order_relaxed);
}

}  // namespace wuperf
