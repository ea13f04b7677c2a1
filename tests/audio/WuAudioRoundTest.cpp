// The floating-point guards of the kernels and the x87 control word.
#include <gtest/gtest.h>

#include "audio/WuAudioCopy.h"
#include "foundation/WuSystem.h"
#include "platform/kernel/cpu.h"

namespace {

DWORD Reg(const char* four) {
  return static_cast<DWORD>(static_cast<unsigned char>(four[0])) |
         static_cast<DWORD>(static_cast<unsigned char>(four[1])) << 8 |
         static_cast<DWORD>(static_cast<unsigned char>(four[2])) << 16 |
         static_cast<DWORD>(static_cast<unsigned char>(four[3])) << 24;
}

class WuAudioRoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_mxcsr_ = platform::GetMxcsr();
    saved_control_ = platform::GetX87ControlWord();
    WuSystem_ResetForTesting();
  }
  void TearDown() override {
    WuSystem_ResetForTesting();
    platform::SetProcessorSource(nullptr);
    platform::SetMxcsr(saved_mxcsr_);
    platform::SetX87ControlWord(saved_control_);
  }
  // An SSE2 processor (FPU, CMOV, MMX, SSE, SSE2) whose MXCSR takes the
  // bits of `mxcsr_mask`.
  void UseSse2Processor(DWORD mxcsr_mask) {
    cpu_.SetLeaf(0, {1, Reg("Genu"), Reg("ntel"), Reg("ineI")});
    cpu_.SetLeaf(1, {0x0F29, 0, 0, (1u << 0) | (1u << 15) | (1u << 23) | (1u << 25) | (1u << 26)});
    cpu_.mxcsr_mask = mxcsr_mask;
    platform::SetProcessorSource(&cpu_);
  }
  platform::FakeProcessor cpu_;
  DWORD saved_mxcsr_ = 0;
  WORD saved_control_ = 0;
};

TEST_F(WuAudioRoundTest, X87ControlWordRoundTrips) {
  platform::SetX87ControlWord(0x0F7F);  // round toward zero, extended precision
  EXPECT_EQ(platform::GetX87ControlWord(), 0x0F7F);
  EXPECT_EQ(WuAudio_SetFpuRoundNearest(0), 0x0F7F);
  EXPECT_EQ(platform::GetX87ControlWord(), 0x037F);  // precision bits kept
  EXPECT_EQ(WuAudio_SetFpuRoundNearest(0x067F), 0x037F);
  EXPECT_EQ(platform::GetX87ControlWord(), 0x067F);
}

TEST_F(WuAudioRoundTest, SseRoundNearestAddsFlushToZeroWhenDetected) {
  UseSse2Processor(0xFFFF);
  // Hiding the bit from callers does not change what the guard reads.
  WuDisallowCPUSupport(WUCPU_FTZ_DAZ);
  WuSystem_ApplyCPUSupportMask();
  EXPECT_EQ(WuGetCPUSupport(WUCPU_FTZ_DAZ), 0u);
  platform::SetMxcsr(0x1F80 | 0x4000);
  EXPECT_EQ(WuAudio_SetSseRoundNearest(0), 0x1F80u | 0x4000);
  EXPECT_EQ(platform::GetMxcsr() & ~0x3Fu, 0x1F80u | 0x8040);
  EXPECT_EQ(WuAudio_SetSseRoundNearest(0x12345F80), 0x1F80u | 0x8040);
  EXPECT_EQ(platform::GetMxcsr() & ~0x3Fu, 0x5F80u);
}

TEST_F(WuAudioRoundTest, SseRoundNearestWithoutFlushToZero) {
  UseSse2Processor(0xFFBF);  // no denormals-are-zero: the flag is never usable
  platform::SetMxcsr(0x1F80 | 0x6000);
  // The first call runs the detection, which must not leak into the value
  // handed back for restoring.
  EXPECT_EQ(WuAudio_SetSseRoundNearest(0), 0x1F80u | 0x6000);
  EXPECT_EQ(platform::GetMxcsr() & ~0x3Fu, 0x1F80u);
}

}  // namespace
