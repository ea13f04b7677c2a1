// Test support of the FFT foundations and the FFT families.
#include "tests/dsp/FftTestSupport.h"

#include "tests/dsp/FftIdentity.h"

#include <cstring>
#include <random>
#include <string>

namespace dsptest {

namespace {

#define WU_TEST_FOUNDATION_TABLES(NS, V, PAIRS, TABLE2)                                      \
  NS::WuPerfFFT32fc_BaseTwiddle_##V, NS::WuPerfFFT_BitRevTable_##V, PAIRS, TABLE2,          \
      NS::WuPerfFFT32fc_RadixTwiddle_##V, NS::WuPerfFFT32fc_InitLarge_##V,                  \
      NS::WuPerfFFT32fc_GetSizesLarge_##V, NS::WuPerfFFT64f_BaseTwiddle_##V,                \
      NS::WuPerfFFT64f_RadixTwiddle_##V, NS::WuPerfFFTFwd64f_RealTwiddle_##V,               \
      NS::WuPerfFFTInv64f_RealTwiddle_##V, NS::WuPerfFFT64f_InitLarge_##V,                  \
      NS::WuPerfFFT64f_GetSizesLarge_##V
#define WU_TEST_FOUNDATION_SIMD(NS, V)                                                       \
  {NS::WuPerfZero8u_Kernel_##V, NS::WuPerfCopy8u_Kernel_##V, NS::WuPerfZero8u_##V,           \
   NS::WuPerfZero32f_##V, NS::WuPerfZero64f_##V, NS::WuPerfCopy8u_##V,                       \
   NS::WuPerfScale32f_Kernel_##V, NS::WuPerfScale64f_Kernel_##V,                             \
   WU_TEST_FOUNDATION_TABLES(NS, V, NS::WuPerfFFT_BitRevPairs_##V,                           \
                             NS::WuPerfFFT_BitRevTable2_##V),                                \
   NS::WuPerfFFT32fc_BlockGather_##V, NS::WuPerfFFT32fc_BlockScatter_##V,                    \
   NS::WuPerfFFT32fc_BlockBitRev_##V, NS::WuPerfFFTFwd32fc_Radix4Pass_##V,                   \
   NS::WuPerfFFTInv32fc_Radix4Pass_##V, NS::WuPerfFFTFwd32fc_Radix2Pass_##V,                 \
   NS::WuPerfFFTInv32fc_Radix2Pass_##V, NS::WuPerfFFT64f_BlockGather_##V,                    \
   NS::WuPerfFFT64f_BlockScatter_##V, NS::WuPerfFFT64f_BlockBitRev_##V,                      \
   NS::WuPerfFFTFwd64f_Radix4Pass_##V, NS::WuPerfFFTInv64f_Radix4Pass_##V,                   \
   NS::WuPerfFFTFwd64f_Radix2Pass_##V, NS::WuPerfFFTInv64f_Radix2Pass_##V}

const FoundationMembers kMembers[wuperf::kVariantCount] = {
    {wuperf::v0::WuPerfZero8u_Kernel_V0, nullptr, wuperf::v0::WuPerfZero8u_V0,
     wuperf::v0::WuPerfZero32f_V0, wuperf::v0::WuPerfZero64f_V0, nullptr, nullptr, nullptr,
     WU_TEST_FOUNDATION_TABLES(wuperf::v0, V0, nullptr, nullptr), nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr},
    WU_TEST_FOUNDATION_SIMD(wuperf::v1, V1),
    WU_TEST_FOUNDATION_SIMD(wuperf::v2, V2),
    WU_TEST_FOUNDATION_SIMD(wuperf::v3, V3),
    WU_TEST_FOUNDATION_SIMD(wuperf::v4, V4),
};

// "GenuineIntel" and another vendor's text in EBX, EDX, ECX.
constexpr platform::CpuidRegs kIntelLeaf0 = {2, 0x756E6547, 0x6C65746E, 0x49656E69};
constexpr platform::CpuidRegs kOtherLeaf0 = {2, 0x68747541, 0x444D4163, 0x69746E65};

}  // namespace

const FoundationMembers& Members(int variant) { return kMembers[variant]; }

void FftVariantTest::ForEachVariant(const std::function<void(int)>& body) {
  for (int v : SupportedVariants()) {
    SCOPED_TRACE(VariantName(v));
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(v));
    body(v);
  }
  WuPerf_ResetForTesting();
}

void FftVariantTest::ForEachSimdVariant(const std::function<void(int)>& body) {
  ForEachVariant([&](int v) {
    if (v != 0) body(v);
  });
}

GuardedBuffer::GuardedBuffer(size_t bytes, size_t misalignment)
    : storage_(bytes + 2 * kGuardBytes + 128, kGuardValue), size_(bytes) {
  uintptr_t p = reinterpret_cast<uintptr_t>(storage_.data()) + kGuardBytes;
  start_ = reinterpret_cast<uint8_t*>((p + 63) & ~uintptr_t{63}) + misalignment;
  std::memset(start_, 0, bytes);
}

void GuardedBuffer::FillPattern(uint32_t seed) {
  std::mt19937 gen(seed);
  for (size_t i = 0; i < size_; ++i) start_[i] = static_cast<uint8_t>(gen() | 1);
}

bool GuardedBuffer::GuardsIntact() const {
  for (const uint8_t* p = storage_.data(); p < start_; ++p)
    if (*p != kGuardValue) return false;
  for (const uint8_t* p = start_ + size_; p < storage_.data() + storage_.size(); ++p)
    if (*p != kGuardValue) return false;
  return true;
}

CacheProcessor::CacheProcessor(bool genuineIntel, DWORD eax, DWORD ebx, DWORD ecx, DWORD edx) {
  SetLeaf(0, genuineIntel ? kIntelLeaf0 : kOtherLeaf0);
  SetLeaf(1, {0, 0, 0, (1u << 23) | (1u << 25) | (1u << 26)});
  SetLeaf(2, {eax, ebx, ecx, edx});
}

platform::CpuidRegs CacheProcessor::Cpuid(DWORD leaf, DWORD subleaf) {
  if (leaf == 2) ++leaf2Queries;
  return FakeProcessor::Cpuid(leaf, subleaf);
}

ScopedProcessor::ScopedProcessor(platform::ProcessorSource* source) {
  platform::SetProcessorSource(source);
}
ScopedProcessor::~ScopedProcessor() { platform::SetProcessorSource(nullptr); }

std::vector<IdentityRow>& IdentityRows() {
  static std::vector<IdentityRow> rows;
  return rows;
}

IdentityRowRegistrar::IdentityRowRegistrar(IdentityRow row) {
  IdentityRows().push_back(std::move(row));
}

CacheProcessor MakeStreamingProcessor() { return CacheProcessor(true, 0x43000001, 0, 0, 0); }

}  // namespace dsptest
