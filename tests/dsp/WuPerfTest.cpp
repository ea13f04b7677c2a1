// The exported interface: status and hint mappings, processor detection and
// variant selection, dispatch, the clock, and the FFT exports reaching their
// variant entries.
#include "dsp/WuPerf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "dsp/CpuDetect.h"
#include "platform/kernel/cpu.h"
#include "tests/dsp/VariantTestUtil.h"

namespace {

using dsptest::Bits;
using dsptest::DspTest;

TEST(WuPerfMapStatusTest, MapsStatusesToHresultForm) {
  struct Case {
    int32_t status;
    uint32_t expected;
  } cases[] = {
      {0, 0x0004E600},      {3, 0x0004E603},      {20, 0x0004E614},     {36, 0x0004E624},
      {-6, 0x8004E606},     {-8, 0x8004E608},     {-9, 0x8004E609},     {-15, 0x8004E60F},
      {-16, 0x8004E610},    {-17, 0x8004E611},    {-9999, 0x8004E6FF},  {-9998, 0x8004E700},
      {-255, 0x8004E6FF},   {-256, 0x8004E700},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfMapStatus(c.status)), c.expected);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfStatusToHRESULT(c.status)), c.expected);
  }
  // Success maps to a nonzero success code; callers test the sign.
  EXPECT_TRUE(SUCCEEDED(WuPerfMapStatus(WuPerfOk)));
  EXPECT_NE(WuPerfMapStatus(WuPerfOk), S_OK);
  EXPECT_TRUE(FAILED(WuPerfMapStatus(WuPerfErrSize)));
}

TEST(WuPerfMapHintAlgorithmTest, KnownHintsMapToThemselvesOthersToZero) {
  struct Case {
    int32_t hint;
    int32_t expected;
  } cases[] = {{0, 0},  {1, 1},  {2, 2},  {3, 0},  {-1, 0},
               {std::numeric_limits<int32_t>::max(), 0}, {std::numeric_limits<int32_t>::min(), 0}};
  for (const Case& c : cases) EXPECT_EQ(WuPerfMapHintAlgorithm(c.hint), c.expected) << c.hint;
}

// ---- Processor detection and selection ------------------------------------

// CPUID leaf 1 bits.
constexpr DWORD kEdxMmx = 1u << 23, kEdxSse = 1u << 25, kEdxSse2 = 1u << 26;
constexpr DWORD kEcxSse3 = 1u << 0, kEcxSsse3 = 1u << 9, kEcxSse41 = 1u << 19;

// A processor with CPUID, a vendor string and leaf 1 feature words.
void MakeProcessor(platform::FakeProcessor* p, bool genuineIntel, DWORD ecx, DWORD edx) {
  // Leaf 0 spells the vendor in EBX, EDX, ECX.
  platform::CpuidRegs leaf0 = genuineIntel
                                  ? platform::CpuidRegs{1, 0x756E6547, 0x6C65746E, 0x49656E69}
                                  : platform::CpuidRegs{1, 0x656D6F53, 0x58586F64, 0x6E655672};
  p->SetLeaf(0, leaf0);
  p->SetLeaf(1, platform::CpuidRegs{0, 0, ecx, edx});
}

class WuPerfSelectTest : public DspTest {
 protected:
  void TearDown() override {
    platform::SetProcessorSource(nullptr);
    DspTest::TearDown();
  }
  platform::FakeProcessor cpu_;
};

TEST_F(WuPerfSelectTest, ChoosesVariantFromFeatureBits) {
  const DWORD base = kEdxMmx | kEdxSse;
  struct Case {
    const char* name;
    bool hasCpuid;
    bool genuineIntel;
    DWORD ecx;
    DWORD edx;
    int32_t variant;
    uint32_t result;
  } cases[] = {
      {"SSE4.1", true, true, kEcxSse41 | kEcxSsse3 | kEcxSse3, base | kEdxSse2, 4, 0x0004E600},
      {"SSE4.1 bit alone", true, true, kEcxSse41, base, 4, 0x0004E600},
      {"SSSE3", true, true, kEcxSsse3 | kEcxSse3, base | kEdxSse2, 3, 0x0004E600},
      {"SSE3", true, true, kEcxSse3, base | kEdxSse2, 2, 0x0004E600},
      {"SSE2", true, true, 0, base | kEdxSse2, 1, 0x0004E600},
      {"SSE only", true, true, 0, base, 0, 0x0004E600},
      {"other vendor, SSE3", true, false, kEcxSse3, base | kEdxSse2, 2, 0x0004E614},
      {"other vendor, SSE2", true, false, 0, base | kEdxSse2, 1, 0x0004E614},
      {"no CPUID", false, true, kEcxSse41, base | kEdxSse2, 0, 0x0004E614},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WuPerf_ResetForTesting();
    platform::FakeProcessor cpu;
    MakeProcessor(&cpu, c.genuineIntel, c.ecx, c.edx);
    cpu.has_cpuid = c.hasCpuid;
    platform::SetProcessorSource(&cpu);
    EXPECT_EQ(static_cast<uint32_t>(WuPerf_Initialize()), c.result);
    EXPECT_EQ(WuPerf_CurrentVariantForTesting(), c.variant);
    platform::SetProcessorSource(nullptr);
  }
}

TEST_F(WuPerfSelectTest, FeatureQueryReportsMissingCpuidAndNullOutput) {
  uint64_t mask = 0x1234;
  cpu_.has_cpuid = false;
  platform::SetProcessorSource(&cpu_);
  EXPECT_EQ(wuperf::WuPerfCpu_GetFeatures(&mask), WuPerfWarnNoCpuid);
  EXPECT_EQ(mask, 0x1234u);
  EXPECT_EQ(wuperf::WuPerfCpu_GetFeatures(nullptr), WuPerfWarnNoCpuid);

  // Without CPUID nothing was cached: a processor with CPUID is examined.
  cpu_.has_cpuid = true;
  MakeProcessor(&cpu_, true, 0xFFFFFFFF, 0xFFFFFFFF);
  EXPECT_EQ(wuperf::WuPerfCpu_GetFeatures(nullptr), WuPerfErrNullPointer);
  EXPECT_EQ(wuperf::WuPerfCpu_GetFeatures(&mask), WuPerfOk);
  EXPECT_EQ(mask, 0xFFu);  // eight bits, nothing above
}

TEST_F(WuPerfSelectTest, MaskIsBuiltOnceAndReselectionGivesSameVariant) {
  MakeProcessor(&cpu_, true, kEcxSse3, kEdxSse2);
  platform::SetProcessorSource(&cpu_);
  ASSERT_EQ(static_cast<uint32_t>(WuPerf_Initialize()), 0x0004E600u);
  ASSERT_EQ(WuPerf_CurrentVariantForTesting(), 2);

  // The cached mask wins over what CPUID would now say.
  MakeProcessor(&cpu_, true, kEcxSse41, kEdxSse2);
  EXPECT_EQ(static_cast<uint32_t>(WuPerf_Initialize()), 0x0004E600u);
  EXPECT_EQ(WuPerf_CurrentVariantForTesting(), 2);
  uint64_t mask = 0;
  EXPECT_EQ(wuperf::WuPerfCpu_GetFeatures(&mask), WuPerfOk);
  EXPECT_EQ(mask, wuperf::kFeatureSse2 | wuperf::kFeatureSse3);
}

TEST_F(WuPerfSelectTest, ClockReadsTheProcessorCounter) {
  cpu_.tsc = 1000;
  cpu_.tsc_step = 7;
  platform::SetProcessorSource(&cpu_);
  EXPECT_EQ(WuPerfGetCpuClocks(), 1000u);
  EXPECT_EQ(WuPerfGetCpuClocks(), 1007u);
}

// ---- Dispatch ------------------------------------------------------------------

// Variant 0 answers a NaN input of the square root with 0xFFC00000 and the
// warning; the SIMD variants give the NaN back, so the answer shows which
// variant ran.
TEST_F(DspTest, DispatchUsesGenericVariantUntilInitialised) {
  if (!dsptest::VariantSupported(4)) GTEST_SKIP() << "needs SSE4.1";
  const float nan = std::numeric_limits<float>::quiet_NaN();
  float out = 0;
  EXPECT_EQ(static_cast<uint32_t>(WuPerfsSqrt_32f(&nan, &out, 1)), 0x0004E603u);
  EXPECT_EQ(Bits(out), 0xFFC00000u);

  // On this processor the selection picks variant 4 whatever the vendor.
  EXPECT_TRUE(SUCCEEDED(WuPerf_Initialize()));
  EXPECT_EQ(WuPerf_CurrentVariantForTesting(), 4);
  EXPECT_EQ(static_cast<uint32_t>(WuPerfsSqrt_32f(&nan, &out, 1)), 0x0004E600u);
  EXPECT_TRUE(std::isnan(out));
  EXPECT_NE(Bits(out), 0xFFC00000u);
}

// The inverse real export reaches the entry of the selected variant, which
// serves a context through the variant that made it.
TEST_F(DspTest, InverseRealFftExportReachesEveryVariant) {
  for (int v = 0; v < wuperf::kVariantCount; ++v) {
    SCOPED_TRACE(dsptest::VariantName(v));
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(v));
    void* ctx = nullptr;
    ASSERT_TRUE(SUCCEEDED(WuPerfsFFTInitAlloc_R_64f(&ctx, 1, 8, 0)));
    double real[2] = {8, -2};
    EXPECT_TRUE(SUCCEEDED(WuPerfsFFTInv_PermToR_64f_I(real, ctx, nullptr)));
    EXPECT_EQ(real[0], 6.0);
    EXPECT_EQ(real[1], 10.0);
    EXPECT_TRUE(SUCCEEDED(WuPerfsFFTFree_R_64f(ctx)));
  }
}

// Every FFT export of every variant reaches an entry that checks its
// pointers: a null context (or result pointer) answers -8, mapped.
TEST_F(DspTest, EveryFftExportCallsItsVariantEntry) {
  for (int v = 0; v < wuperf::kVariantCount; ++v) {
    SCOPED_TRACE(dsptest::VariantName(v));
    if (!dsptest::VariantSupported(v)) continue;
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(v));
    float data[8] = {};
    double real[8] = {};
    int32_t size = 0;
    const uint32_t null = 0x8004E608u;
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInitAlloc_C_32fc(nullptr, 3, 8, 0)), null);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTGetBufSize_C_32fc(nullptr, &size)), null);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTFwd_CToC_32fc(data, data, nullptr, nullptr)), null);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInv_CToC_32fc(data, data, nullptr, nullptr)), null);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTFree_C_32fc(nullptr)), null);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInitAlloc_R_64f(nullptr, 3, 8, 0)), null);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTGetBufSize_R_64f(nullptr, &size)), null);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTFwd_RToPerm_64f_I(real, nullptr, nullptr)), null);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTInv_PermToR_64f_I(real, nullptr, nullptr)), null);
    EXPECT_EQ(static_cast<uint32_t>(WuPerfsFFTFree_R_64f(nullptr)), null);
  }
}

}  // namespace
