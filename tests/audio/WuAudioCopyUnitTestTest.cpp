// The round-trip self test: which nodes run on which processor, how a
// failing node, an owner window and an allocation failure are reported, and
// its ramp and perturbation helpers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/WuAudioCopyUnitTest.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuUICursor.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/memory.h"
#include "platform/user/frontend.h"
#include "platform/user/windows.h"
#include "tests/audio/CpuPresenter.h"

namespace {

constexpr DWORD kNodes0To13 = (1u << 14) - 1;
constexpr DWORD kNodes0To19 = (1u << 20) - 1;
constexpr DWORD kNodes0To25 = (1u << 26) - 1;
constexpr DWORD kNodes0To26 = (1u << 27) - 1;

// The real from-float kernel of each node a broken one wraps.
WuAudioCopyFunc g_realKernels[kWuAudioCopyTestNodeCount];

// Node N's real kernel, then one sample of the chunk moved by one step.
template <int N>
void BrokenFromFloat(void* dest, const void* src, int32_t count, float gain) {
  g_realKernels[N](dest, src, count, gain);
  static_cast<unsigned char*>(dest)[count / 2] ^= 1;
}

class WuAudioCopyUnitTestTest : public audiotest::CpuPresenterTest {
 protected:
  void SetUp() override {
    CpuPresenterTest::SetUp();
    arrow_ = WuGetUICursor(32512);
    WuGetUICursor(OCR_WAIT);  // loaded now, not inside a measured run
    SetCursor(arrow_);
  }
  void TearDown() override {
    for (int32_t i = 0; i < kWuAudioCopyTestNodeCount; ++i)
      WuAudioCopy_UnitTest_SetFromFloatForTesting(i, nullptr);
    platform::FailNextAllocations(0);
    WuErrorHandler_DetailsInit();
    CpuPresenterTest::TearDown();
  }
  template <int N>
  void BreakNode() {
    WuAudioCopyTestNode n;
    WuAudioCopy_UnitTest_GetNode(N, &n);
    g_realKernels[N] = n.fromFloat;
    WuAudioCopy_UnitTest_SetFromFloatForTesting(N, &BrokenFromFloat<N>);
  }
  // Runs the test and checks that the cursor came back.
  HRESULT Run(HWND owner) {
    HRESULT hr = WuAudioCopy_UnitTest(owner);
    EXPECT_EQ(GetCursor(), arrow_);
    return hr;
  }

  HCURSOR arrow_ = nullptr;
};

TEST_F(WuAudioCopyUnitTestTest, EveryKernelOfThisMachinePasses) {
  EXPECT_EQ(Run(nullptr), S_OK);
  const bool sse41 = WuGetCPUSupport(WUCPU_SSE41) != 0;
  EXPECT_EQ(WuAudioCopy_UnitTest_LastNodesRun(), sse41 ? kNodes0To26 : kNodes0To25);
  int lines = -1;
  EXPECT_EQ(WuErrorHandler_DetailsInfo(nullptr, &lines, nullptr), nullptr);
}

TEST_F(WuAudioCopyUnitTestTest, NodesFollowThePresentedClass) {
  const bool realSse41 = WuGetCPUSupport(WUCPU_SSE41) != 0;
  const struct {
    int cls;
    DWORD nodes;
  } kCases[] = {{6, kNodes0To25}, {4, kNodes0To19}, {1, kNodes0To13}};
  for (const auto& c : kCases) {
    PresentClass(c.cls);
    EXPECT_EQ(Run(nullptr), S_OK) << c.cls;
    EXPECT_EQ(WuAudioCopy_UnitTest_LastNodesRun(), c.nodes) << c.cls;
  }
  // The SSE4.1 node follows the feature bit, not the class.
  PresentClass(6, true);
  ASSERT_NE(WuGetCPUSupport(WUCPU_SSE41), 0u);
  if (realSse41) {  // the kernel itself runs on the real processor
    EXPECT_EQ(Run(nullptr), S_OK);
    EXPECT_EQ(WuAudioCopy_UnitTest_LastNodesRun(), kNodes0To26);
  }
}

TEST_F(WuAudioCopyUnitTestTest, BrokenNodeIsReportedOnceAndTheOthersStillRun) {
  PresentClass(1);  // nodes 0-13
  BreakNode<12>();
  EXPECT_EQ(Run(nullptr), E_UNEXPECTED);
  EXPECT_EQ(WuAudioCopy_UnitTest_LastNodesRun(), kNodes0To13);
  HRESULT last = S_OK;
  int lines = 0;
  LPCWSTR details = WuErrorHandler_DetailsInfo(&last, &lines, nullptr);
  ASSERT_NE(details, nullptr);
  EXPECT_EQ(std::u16string(details), u"WuAudioCopy_UnitTest node[12] failed.\r\n");
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(last, E_UNEXPECTED);

  // Two broken nodes: one line each, in node order.
  BreakNode<3>();
  EXPECT_EQ(Run(nullptr), E_UNEXPECTED);
  details = WuErrorHandler_DetailsInfo(nullptr, &lines, nullptr);
  ASSERT_NE(details, nullptr);
  EXPECT_EQ(lines, 2);
  EXPECT_EQ(std::u16string(details),
            u"WuAudioCopy_UnitTest node[3] failed.\r\nWuAudioCopy_UnitTest node[12] failed.\r\n");
}

TEST_F(WuAudioCopyUnitTestTest, OwnerWindowGetsTheBoxAndSOk) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"WuAudioCopyOwner";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND owner = CreateWindowExW(0, wc.lpszClassName, u"Owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                               nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  platform::ScriptedFrontEnd script;
  platform::SetFrontEnd(&script);
  PresentClass(1);
  BreakNode<0>();
  script.Press(IDOK);
  EXPECT_EQ(Run(owner), S_OK);
  platform::SetFrontEnd(nullptr);
  const auto shown = script.shown();
  ASSERT_EQ(shown.size(), 1u);
  std::u16string all;
  for (const auto& t : shown[0].texts) all += t;
  EXPECT_NE(all.find(u"INTERNAL: AudioCopy unit test failed!"), std::u16string::npos)
      << std::string(all.begin(), all.end());
  // The failing node's line went to the box as its details.
  EXPECT_EQ(WuErrorHandler_DetailsInfo(nullptr, nullptr, nullptr), nullptr);
  EXPECT_TRUE(script.errors().empty());
  DestroyWindow(owner);
  UnregisterClassW(wc.lpszClassName, nullptr);

  // Without a failure there is no box.
  WuAudioCopy_UnitTest_SetFromFloatForTesting(0, nullptr);
  platform::SetFrontEnd(&script);
  EXPECT_EQ(Run(owner), S_OK);
  platform::SetFrontEnd(nullptr);
  EXPECT_EQ(script.shown().size(), 1u);
}

TEST_F(WuAudioCopyUnitTestTest, AllocationFailureStopsTheTestAndFreesEverything) {
  const size_t before = platform::LiveGlobalBlockCount();
  platform::FailNextAllocations(1);
  EXPECT_EQ(Run(nullptr), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_EQ(WuAudioCopy_UnitTest_LastNodesRun(), 1u);  // stopped in node 0
  EXPECT_EQ(platform::LiveGlobalBlockCount(), before);
}

// ---- Ramp and perturbation -------------------------------------------------------------

std::vector<uint8_t> Ramp(WUSAMPLETYPE type, DWORD start, LONG count, LONG* written) {
  std::vector<uint8_t> out(size_t(count) * 8 + 1, 0xAB);
  *written = WuAudioCopy_UnitTest_FillRamp(type, start, out.data(), count);
  out.resize(size_t(count) * WuAudio_BytesFromSampleType(type) + 1);
  return out;
}

TEST(WuAudioCopyUnitTestHelpers, RampInEachEncoding) {
  const struct {
    WUSAMPLETYPE type;
    DWORD start;
    LONG count;
    std::vector<uint8_t> bytes;  // then the untouched guard 0xAB
  } kCases[] = {
      {WUSAMPLE_PCM8, 0, 3, {0x00, 0x01, 0x02}},
      // 8-bit: the start clamps once, then the values wrap in 8 bits.
      {WUSAMPLE_PCM8, 254, 3, {0xFE, 0xFF, 0x00}},
      {WUSAMPLE_PCM8S, 1000, 2, {0x7F, 0x80}},
      {WUSAMPLE_PCM16, 1, 2, {0x01, 0x80, 0x02, 0x80}},
      {WUSAMPLE_PCM16BE, 65534, 3, {0x7F, 0xFE, 0x7F, 0xFF, 0x7F, 0xFF}},
      {WUSAMPLE_PCM24, 0, 1, {0x00, 0x00, 0x80}},
      {WUSAMPLE_PCM24BE, 0x800001, 1, {0x00, 0x00, 0x01}},
      {WUSAMPLE_PCM24IN32, 0xFFFFFF, 2, {0xFF, 0xFF, 0x7F, 0x00, 0xFF, 0xFF, 0x7F, 0x00}},
      {WUSAMPLE_PCM32, 2, 1, {0x02, 0x00, 0x00, 0x80}},
      {WUSAMPLE_PCM32BE, 2, 1, {0x80, 0x00, 0x00, 0x02}},
  };
  for (const auto& c : kCases) {
    LONG written = -1;
    std::vector<uint8_t> bytes = Ramp(c.type, c.start, c.count, &written);
    EXPECT_EQ(written, c.count) << c.type;
    std::vector<uint8_t> expected = c.bytes;
    expected.push_back(0xAB);
    EXPECT_EQ(bytes, expected) << c.type << " from " << c.start;
  }
  for (WUSAMPLETYPE other : {WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64, WUSAMPLE_NONE, WUSAMPLE_FE03_16}) {
    uint8_t guard[8] = {0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB};
    EXPECT_EQ(WuAudioCopy_UnitTest_FillRamp(other, 0, guard, 1), 0);
    EXPECT_EQ(guard[0], 0xAB);
  }
}

TEST(WuAudioCopyUnitTestHelpers, PerturbMovesOddReferencesAndFloatsByHalfAnLsb) {
  // 16-bit: 3 and 32767 are odd, 4 and -32768 even.
  int16_t ref[4] = {3, 4, 32767, -32768};
  float f[4] = {3 / 32768.0f, 4 / 32768.0f, 32767 / 32768.0f, -1.0f};
  WuAudioCopy_UnitTest_Perturb(ref, WUSAMPLE_PCM16, f, WUSAMPLE_FLOAT32, 4, 0.5);
  EXPECT_EQ(ref[0], 4);
  EXPECT_EQ(ref[1], 4);
  EXPECT_EQ(ref[2], 32767);  // clamped
  EXPECT_EQ(ref[3], -32768);
  EXPECT_EQ(f[0], 3.5f / 32768);
  EXPECT_EQ(f[2], 32767.5f / 32768);
  EXPECT_EQ(f[3], -32767.5f / 32768);

  // Negative and larger steps: upper rounding for odd values, lower for even.
  const struct {
    double x;
    int16_t odd, even;  // results for 5 and 6
  } kSteps[] = {{-0.5, 4, 6}, {1.5, 7, 7}, {-1.5, 3, 5}, {0.4, 5, 6}, {0.6, 6, 7}};
  for (const auto& s : kSteps) {
    int16_t r[2] = {5, 6};
    double d[2] = {0, 0};
    WuAudioCopy_UnitTest_Perturb(r, WUSAMPLE_PCM16, d, WUSAMPLE_FLOAT64, 2, s.x);
    EXPECT_EQ(r[0], s.odd) << s.x;
    EXPECT_EQ(r[1], s.even) << s.x;
    EXPECT_EQ(d[0], s.x / 32768) << s.x;
  }

  // The stored byte of unsigned 8-bit and the big-endian bytes are read in
  // their own encoding; floats of another type are left alone.
  uint8_t u8[2] = {0x81, 0xFF};
  int32_t untouched[2] = {7, 8};
  WuAudioCopy_UnitTest_Perturb(u8, WUSAMPLE_PCM8, untouched, WUSAMPLE_PCM32, 2, 0.5);
  EXPECT_EQ(u8[0], 0x82);
  EXPECT_EQ(u8[1], 0xFF);
  EXPECT_EQ(untouched[0], 7);
  uint8_t be[2] = {0x00, 0x03};  // 3
  float one = 0;
  WuAudioCopy_UnitTest_Perturb(be, WUSAMPLE_PCM16BE, &one, WUSAMPLE_FLOAT32, 1, 0.5);
  EXPECT_EQ(be[1], 0x04);
}

}  // namespace
