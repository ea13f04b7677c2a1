// The processor and system model: CPUID through injected processors, the
// guarded MXCSR load, system information and the version record.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/kernel/cpu.h"
#include "platform/kernel/error.h"

namespace {

class CpuTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_mxcsr_ = platform::GetMxcsr(); }
  void TearDown() override {
    platform::SetProcessorSource(nullptr);
    platform::ResetSystemModel();
    platform::SetMxcsr(saved_mxcsr_);
  }
  DWORD saved_mxcsr_ = 0;
};

TEST_F(CpuTest, RealProcessorAnswersCpuid) {
  platform::CpuidRegs r;
  ASSERT_TRUE(platform::Cpuid(0, 0, &r));
  EXPECT_GE(r.eax, 1u);
  ASSERT_TRUE(platform::Cpuid(1, 0, &r));
  EXPECT_EQ((r.edx >> 26) & 1, __builtin_cpu_supports("sse2") ? 1u : 0u);
  ULONGLONG a = platform::ReadTimeStampCounter();
  ULONGLONG b = platform::ReadTimeStampCounter();
  EXPECT_GE(b, a);
}

TEST_F(CpuTest, FakeProcessorAnswersFromItsTable) {
  platform::FakeProcessor fake;
  fake.SetLeaf(1, {1, 2, 3, 4});
  fake.SetLeaf(1, {5, 6, 7, 8});  // replaces, does not add
  fake.tsc = 100;
  fake.tsc_step = 7;
  platform::SetProcessorSource(&fake);

  platform::CpuidRegs r;
  ASSERT_TRUE(platform::Cpuid(1, 0, &r));
  EXPECT_EQ(r.eax, 5u);
  EXPECT_EQ(r.edx, 8u);
  EXPECT_EQ(fake.leaf_count, 1);
  ASSERT_TRUE(platform::Cpuid(0x80000000, 0, &r));
  EXPECT_EQ(r.eax, 0u);  // absent leaves read as zeros
  EXPECT_EQ(platform::ReadTimeStampCounter(), 100u);
  EXPECT_EQ(platform::ReadTimeStampCounter(), 107u);

  fake.has_cpuid = false;
  r = {9, 9, 9, 9};
  EXPECT_FALSE(platform::Cpuid(1, 0, &r));
  EXPECT_EQ(r.eax | r.ebx | r.ecx | r.edx, 0u);
}

TEST_F(CpuTest, GuardedMxcsrLoadRefusesBitsOutsideTheMask) {
  constexpr DWORD kFtzDaz = 0x8040;
  platform::FakeProcessor fake;
  fake.mxcsr_mask = 0xFFBF;  // a processor without denormals-are-zero
  platform::SetProcessorSource(&fake);
  DWORD before = platform::GetMxcsr() & ~kFtzDaz;
  platform::SetMxcsr(before);

  EXPECT_FALSE(platform::TrySetMxcsr(before | kFtzDaz));
  EXPECT_EQ(platform::GetMxcsr(), before);
  EXPECT_TRUE(platform::TrySetMxcsr(before | 0x8000));
  EXPECT_EQ(platform::GetMxcsr(), before | 0x8000);

  fake.mxcsr_mask = 0xFFFF;
  EXPECT_TRUE(platform::TrySetMxcsr(before | kFtzDaz));
  EXPECT_EQ(platform::GetMxcsr(), before | kFtzDaz);
}

TEST_F(CpuTest, SystemInfoFollowsTheModel) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  EXPECT_EQ(info.dwProcessorType, PROCESSOR_INTEL_PENTIUM);
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
  EXPECT_EQ(info.dwNumberOfProcessors, static_cast<DWORD>(sysconf(_SC_NPROCESSORS_ONLN)));
  EXPECT_EQ(info.dwPageSize, static_cast<DWORD>(sysconf(_SC_PAGESIZE)));

  platform::SystemModel model;
  model.processor_type = PROCESSOR_AMD_X8664;
  model.processor_count = 3;
  platform::SetSystemModel(model);
  GetSystemInfo(&info);
  EXPECT_EQ(info.dwProcessorType, PROCESSOR_AMD_X8664);
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
  EXPECT_EQ(info.dwNumberOfProcessors, 3u);
  EXPECT_EQ(info.dwActiveProcessorMask, 0x7u);
}

TEST_F(CpuTest, VersionRecordFollowsTheModelAndNeedsItsSize) {
  OSVERSIONINFOW v = {};
  SetLastError(0);
  EXPECT_FALSE(GetVersionExW(&v));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  platform::SystemModel model;
  model.platform_id = VER_PLATFORM_WIN32_WINDOWS;
  model.major = 4;
  model.minor = 10;
  std::u16string sp = u" A ";
  sp.copy(model.service_pack, sp.size());
  model.service_pack[sp.size()] = 0;
  platform::SetSystemModel(model);

  v.dwOSVersionInfoSize = sizeof(v);
  ASSERT_TRUE(GetVersionExW(&v));
  EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(v.dwMajorVersion, 4u);
  EXPECT_EQ(v.dwMinorVersion, 10u);
  EXPECT_EQ(std::u16string(v.szCSDVersion), u" A ");
}

TEST_F(CpuTest, Wow64AnswerComesFromTheModel) {
  BOOL wow64 = TRUE;
  ASSERT_TRUE(IsWow64Process(nullptr, &wow64));
  EXPECT_FALSE(wow64);
  platform::SystemModel model;
  model.wow64 = true;
  platform::SetSystemModel(model);
  ASSERT_TRUE(IsWow64Process(nullptr, &wow64));
  EXPECT_TRUE(wow64);
  EXPECT_FALSE(IsWow64Process(nullptr, nullptr));
}

}  // namespace
