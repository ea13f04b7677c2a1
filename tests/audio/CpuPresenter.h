// Presents processors of each class (0..6) to the processor detection, for
// the tests of the kernel selection and the self test. Restores the real
// processor, the default system and MXCSR afterwards.
#pragma once

#include <gtest/gtest.h>

#include "foundation/WuSystem.h"
#include "platform/kernel/cpu.h"

namespace audiotest {

class CpuPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_mxcsr_ = platform::GetMxcsr();
    WuSystem_ResetForTesting();
  }
  void TearDown() override {
    WuSystem_ResetForTesting();
    platform::SetProcessorSource(nullptr);
    platform::ResetSystemModel();
    platform::SetMxcsr(saved_mxcsr_);
  }
  // A processor that the detection ranks as `cls` (0..6), with or without
  // SSE4.1.
  void PresentClass(int cls, bool sse41 = false) {
    constexpr DWORD kFpu = 1u << 0, kTsc = 1u << 4, kCmov = 1u << 15, kMmx = 1u << 23,
                    kSse = 1u << 25, kSse2 = 1u << 26, kSse41 = 1u << 19;
    const DWORD edx[7] = {0,
                          0,
                          kTsc,
                          kTsc | kCmov | kFpu,
                          kTsc | kCmov | kFpu | kMmx,
                          kTsc | kCmov | kFpu | kMmx | kSse,
                          kTsc | kCmov | kFpu | kMmx | kSse | kSse2};
    platform::SystemModel m;
    m.processor_type = cls == 0   ? PROCESSOR_INTEL_386
                       : cls == 1 ? PROCESSOR_INTEL_486
                                  : PROCESSOR_INTEL_PENTIUM;
    platform::SetSystemModel(m);
    cpu_ = platform::FakeProcessor();
    cpu_.has_cpuid = cls >= 2;
    cpu_.SetLeaf(0, {1, 0x756E6547, 0x6C65746E, 0x49656E69});  // "GenuineIntel"
    cpu_.SetLeaf(1, {0x0F29, 0, sse41 ? kSse41 : 0, edx[cls]});
    platform::SetProcessorSource(&cpu_);
    WuSystem_ResetForTesting();
    ASSERT_EQ(WuGetCPUSupport(WUCPU_CLASS_MASK), static_cast<DWORD>(cls));
  }

  platform::FakeProcessor cpu_;
  DWORD saved_mxcsr_ = 0;
};

}  // namespace audiotest
