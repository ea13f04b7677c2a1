#include "foundation/WuKernel.h"

#include <gtest/gtest.h>

#include "dsp/WuPerfTesting.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuShellLink.h"
#include "foundation/WuSystem.h"
#include "foundation/WuTimer.h"
#include "foundation/WuUIColor.h"
#include "platform/kernel/exception.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/module.h"
#include "tests/common/TestUtil.h"

namespace {

// Every test starts from a stopped kernel and stops it again.
class WuKernelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WuTimer_ResetForTesting();
    WuPerf_ResetForTesting();
  }
  void TearDown() override {
    platform::FailNextAllocations(0);
    WuKernel_LateTerminate(nullptr, 0);
    WuUIColor_SetHostKernel(FALSE);
  }
};

TEST_F(WuKernelTest, StartUpOpensLanguageAndTokensAndShutDownRemovesThem) {
  HMODULE self = GetModuleHandleW(nullptr);
  EXPECT_FALSE(WuPrintF_AddToken(u"KernelTestToken", u"x"));  // no table yet
  ASSERT_TRUE(WuKernel_EarlyInitialize(self, 0));

  EXPECT_EQ(WuKernel_GetAppKernel(), self);
  EXPECT_EQ(WuKernel_GetMainModule(), self);
  EXPECT_EQ(WuKernel_GetAppCursorBase(), 100u);
  EXPECT_NE(WuKernel_GetLangHandle(), nullptr);
  EXPECT_TRUE(WuPrintF_AddToken(u"KernelTestToken", u"x"));
  EXPECT_NE(WuPerf_CurrentVariantForTesting(), 0);  // every x86-64 has SSE2
  // The process error mode gained both bits.
  UINT mode = GetErrorMode();
  EXPECT_EQ(mode & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX),
            SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

  WCHAR path[MAX_PATH];
  ASSERT_EQ(WuKernel_GetAppKernelPathName(path, MAX_PATH), S_OK);
  WCHAR expected[MAX_PATH];
  GetModuleFileNameW(self, expected, MAX_PATH);
  EXPECT_EQ(std::u16string(path), std::u16string(expected));
  EXPECT_NE(WuKernel_GetAppKernelPathName(path, 3), S_OK);  // does not fit

  EXPECT_TRUE(WuKernel_LateTerminate(nullptr, 0));
  EXPECT_EQ(WuKernel_GetLangHandle(), nullptr);
  EXPECT_EQ(WuKernel_GetAppKernel(), nullptr);
  EXPECT_FALSE(WuPrintF_AddToken(u"KernelTestToken", u"y"));
}

TEST_F(WuKernelTest, FailedLanguageOpenStillStartsClockAndSignalProcessing) {
  ASSERT_EQ(WuPerf_CurrentVariantForTesting(), 0);
  platform::FailNextAllocations(1 << 20);  // the language buffer cannot be had
  EXPECT_FALSE(WuKernel_EarlyInitialize(GetModuleHandleW(nullptr), 0));
  platform::FailNextAllocations(0);
  EXPECT_EQ(WuKernel_GetLangHandle(), nullptr);
  EXPECT_NE(WuPerf_CurrentVariantForTesting(), 0);
}

TEST_F(WuKernelTest, HostColourOptionFollowsFlags) {
  struct Case {
    DWORD flags;
    int option;
    BOOL host;
  } cases[] = {{0, 0, FALSE}, {0x01, 1, FALSE}, {0x21, 1, FALSE}, {0x20, 2, TRUE}};
  for (const Case& c : cases) {
    WuUIColor_SetHostKernel(FALSE);
    WuKernel_EarlyInitialize(GetModuleHandleW(nullptr), c.flags);
    EXPECT_EQ(WuKernel_GetFlags(), c.flags);
    EXPECT_EQ(WuKernel_GetHostColorOption(), c.option) << c.flags;
    EXPECT_EQ(WuUIColor_GetHostKernel(), c.host) << c.flags;
    WuKernel_LateTerminate(nullptr, 0);
  }
}

TEST_F(WuKernelTest, UserPrefChangesPassesOtherMessagesThrough) {
  EXPECT_EQ(WuKernel_UserPrefChanges(nullptr, WM_SIZE, 0, 0), static_cast<LRESULT>(WM_SIZE));
  EXPECT_TRUE(WuKernel_UserPrefChanges(nullptr, WM_DISPLAYCHANGE, 0, 0));
  // A colour change drops overrides: the palette is the default again.
  WuKernel_EarlyInitialize(GetModuleHandleW(nullptr), 0);
  COLORREF before = WuGetUIColor(100);
  WuSetUIColor(100, before ^ 0x00FFFFFF);
  ASSERT_NE(WuGetUIColor(100), before);
  WuKernel_UserPrefChanges(nullptr, WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(WuGetUIColor(100), before);
}

TEST_F(WuKernelTest, BitRateUnitsAndSplash) {
  const char16_t* names[] = {u"bps", u"Kbps", u"Mbps", u"Gbps", u"Tbps"};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(std::u16string(WuKernel_BitRateUnits[i]->text[0]), names[i]);
  int object = 0;
  EXPECT_EQ(WuKernel_SetSplash(&object), &object);
  EXPECT_EQ(WuKernel_GetSplash(), &object);
}

TEST(WuShellLinkTest, OneCachedObjectHandedOutWithReferences) {
  EXPECT_EQ(WuGetShellLink(nullptr), E_INVALIDARG);
  IShellLinkW* a = nullptr;
  IShellLinkW* b = nullptr;
  ASSERT_EQ(WuGetShellLink(&a), S_OK);
  ASSERT_EQ(WuGetShellLink(&b), S_OK);
  EXPECT_EQ(a, b);
  a->SetDescription(u"shared");
  // Two references handed out plus the cache's own.
  EXPECT_EQ(a->AddRef(), 4u);
  a->Release();
  a->Release();
  b->Release();
  WuShellLink_ReleaseCache();
  WuShellLink_ReleaseCache();  // a second release does nothing
  IShellLinkW* c = nullptr;
  ASSERT_EQ(WuGetShellLink(&c), S_OK);
  WCHAR text[16];
  c->GetDescription(text, 16);
  EXPECT_EQ(text[0], 0);  // a new object
  c->Release();
}

}  // namespace
