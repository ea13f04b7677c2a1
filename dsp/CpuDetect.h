// Processor detection and variant selection.
//
// The processor is the one platform::CurrentProcessor() presents, so tests
// can inject any CPUID answers. The feature mask copies eight bits of CPUID
// leaf 1 and is built once per process; the selection maps it to a kernel
// variant (dsp/VariantIndex.h).
#pragma once

#include <cstdint>

#include "dsp/WuPerfStatus.h"
#include "platform/kernel/cpu.h"
#include "platform/kernel/types.h"

namespace wuperf {

// Feature mask bits (bits 8..63 are always zero).
constexpr uint64_t kFeatureMmx = 0x01;     // leaf 1 EDX bit 23
constexpr uint64_t kFeatureSse = 0x02;     // leaf 1 EDX bit 25
constexpr uint64_t kFeatureSse2 = 0x04;    // leaf 1 EDX bit 26
constexpr uint64_t kFeatureSse3 = 0x08;    // leaf 1 ECX bit 0
constexpr uint64_t kFeatureSsse3 = 0x10;   // leaf 1 ECX bit 9
constexpr uint64_t kFeatureMovbe = 0x20;   // leaf 1 ECX bit 22
constexpr uint64_t kFeatureSse41 = 0x40;   // leaf 1 ECX bit 19
constexpr uint64_t kFeatureSse42 = 0x80;   // leaf 1 ECX bit 20

// 1 when the processor has the CPUID instruction, else 0.
BOOL WuPerfCpu_HasCpuid();
// Runs CPUID with a leaf and sub-leaf into `record` (EAX, EBX, ECX, EDX).
void WuPerfCpu_Cpuid(platform::CpuidRegs* record, DWORD leaf, DWORD subleaf);
// 1 when leaf 0 names the vendor "GenuineIntel". Only after HasCpuid gave 1.
BOOL WuPerfCpu_IsGenuineIntel();
// 1 and the mask in *mask (built on first use, then cached); 0 and nothing
// written when there is no CPUID, in which case a later call tries again.
BOOL WuPerfCpu_InitFeatureMask(uint64_t* mask);
// 36 without CPUID (output untouched), -8 for a null output, else 0 and
// the mask written.
WuPerfStatus WuPerfCpu_GetFeatures(uint64_t* mask);
// Sets the variant index from the feature mask; 0, or 20 when the processor
// has no CPUID or another vendor. The status never changes the variant.
WuPerfStatus WuPerfCpu_SelectVariant();
// The time-stamp counter, one unserialised read.
uint64_t WuPerfCpu_ReadTsc();

// The variant a feature mask selects: the newest of SSE4.1 (4), SSSE3 (3),
// SSE3 (2), SSE2 (1), else 0.
int32_t VariantForFeatures(uint64_t mask);

// Forgets the cached feature mask (test seam).
void ResetFeatureMask();

}  // namespace wuperf
