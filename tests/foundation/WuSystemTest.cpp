// Platform, display and processor checks, under injected processors,
// system models and monitor lists; and the host-module lookup.
#include "foundation/WuSystem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/cpu.h"
#include "platform/kernel/error.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/module.h"

namespace {

constexpr HRESULT kErrNotFound = static_cast<HRESULT>(0x8004E00Au);

// CPUID leaf 1 bits.
constexpr DWORD kFpu = 1u << 0;
constexpr DWORD kTsc = 1u << 4;
constexpr DWORD kCmov = 1u << 15;
constexpr DWORD kMmx = 1u << 23;
constexpr DWORD kSse = 1u << 25;
constexpr DWORD kSse2 = 1u << 26;
constexpr DWORD kSse3 = 1u << 0;    // ECX
constexpr DWORD kSse41 = 1u << 19;  // ECX
constexpr DWORD kPentium4 = kFpu | kTsc | kCmov | kMmx | kSse | kSse2;

DWORD Reg(const char* four) {
  return static_cast<DWORD>(static_cast<unsigned char>(four[0])) |
         static_cast<DWORD>(static_cast<unsigned char>(four[1])) << 8 |
         static_cast<DWORD>(static_cast<unsigned char>(four[2])) << 16 |
         static_cast<DWORD>(static_cast<unsigned char>(four[3])) << 24;
}

// Every test starts from fresh caches, an injected processor and the
// default system, and puts MXCSR back afterwards (detection changes it).
class WuSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_mxcsr_ = platform::GetMxcsr();
    WuSystem_ResetForTesting();
    platform::SetProcessorSource(&cpu_);
    SetCpu(kPentium4, kSse3);
  }
  void TearDown() override {
    WuSystem_ResetForTesting();
    platform::SetProcessorSource(nullptr);
    platform::ResetSystemModel();
    platform::ResetMonitors();
    platform::SetMxcsr(saved_mxcsr_);
  }

  // A processor with CPUID leaves 0 and 1.
  void SetCpu(DWORD edx, DWORD ecx) {
    cpu_.SetLeaf(0, {1, Reg("Genu"), Reg("ntel"), Reg("ineI")});
    cpu_.SetLeaf(1, {0x0F29, 0, ecx, edx});
  }
  void SetModel(DWORD platform_id, DWORD major, DWORD minor, const char16_t* sp) {
    platform::SystemModel m;
    m.platform_id = platform_id;
    m.major = major;
    m.minor = minor;
    std::u16string text(sp);
    text.copy(m.service_pack, text.size());
    m.service_pack[text.size()] = 0;
    platform::SetSystemModel(m);
  }

  platform::FakeProcessor cpu_;
  DWORD saved_mxcsr_ = 0;
};

// ---- Processor detection -------------------------------------------------------------

TEST_F(WuSystemTest, ClassLadderAndFeatureWords) {
  const struct {
    const char* name;
    DWORD type;       // processor type of the system model
    bool has_cpuid;   // CPUID instruction present
    bool sse_os;      // the SSE probe passes
    DWORD edx, ecx;   // CPUID leaf 1
    DWORD support;    // expected CPU support word
    DWORD detected;   // expected detected-feature word
    DWORD os;         // expected operating-system support word
  } kCases[] = {
      {"no CPUID", 586, false, true, kPentium4, 0, 2, 0, 0},
      {"486 never asks CPUID", 486, true, true, kPentium4, 0, 1, 0, 0},
      {"586 with TSC", 586, true, true, kTsc, 0, 2 | 0x4000, 0x4000, 0},
      {"CMOV without FPU stays 586", 586, true, true, kCmov | kMmx, 0, 2 | 0x1010, 0x1010, 0x10},
      {"CMOV with FPU", 586, true, true, kCmov | kFpu, 0, 3 | 0x3000, 0x3000, 0},
      {"MMX", 586, true, true, kCmov | kFpu | kMmx, 0, 4 | 0x3010, 0x3010, 0x10},
      {"SSE", 586, true, true, kCmov | kFpu | kMmx | kSse, 0, 5 | 0x23030, 0x23030, 0x7B0},
      {"SSE2 and SSE4.1", 586, true, true, kCmov | kFpu | kMmx | kSse | kSse2, kSse41,
       6 | 0x23270, 0x23270, 0x7F0},
      {"SSE probe fails", 586, true, false, kPentium4, kSse3, 4 | 0x7010, 0x70F0, 0x10},
      {"x86-64 type climbs from 0", 8664, true, true, kPentium4, 0, 6 | 0x27070, 0x27070, 0x7F0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    platform::SystemModel m;
    m.processor_type = c.type;
    m.processor_count = 2;
    platform::SetSystemModel(m);
    cpu_.has_cpuid = c.has_cpuid;
    cpu_.sse_enabled_by_os = c.sse_os;
    SetCpu(c.edx, c.ecx);
    DWORD count = 0;
    DWORD detected = 0;
    DWORD os = 0;
    EXPECT_EQ(WuDetectCPUFeatures(&count, &detected, &os), c.support);
    EXPECT_EQ(detected, c.detected);
    EXPECT_EQ(os, c.os);
    EXPECT_EQ(count, 2u);
  }
}

TEST_F(WuSystemTest, DetectionSetsFlushToZeroUnlessTheProcessorRefusesIt) {
  platform::SetMxcsr(saved_mxcsr_ & ~0x8040u);
  EXPECT_TRUE(WuDetectCPUFeatures(nullptr, nullptr, nullptr) & WUCPU_FTZ_DAZ);
  EXPECT_EQ(platform::GetMxcsr() & 0x8040u, 0x8040u);

  platform::SetMxcsr(saved_mxcsr_ & ~0x8040u);
  cpu_.mxcsr_mask = 0xFFBF;  // no denormals-are-zero: the load would fault
  DWORD detected = 0;
  DWORD support = WuDetectCPUFeatures(nullptr, &detected, nullptr);
  EXPECT_EQ(support & WUCPU_FTZ_DAZ, 0u);
  EXPECT_EQ(detected & WUCPU_FTZ_DAZ, WUCPU_FTZ_DAZ);
  EXPECT_EQ(support & WUCPU_CLASS_MASK, 6u);
  EXPECT_EQ(platform::GetMxcsr() & 0x8040u, 0u);
}

TEST_F(WuSystemTest, DetectionRunsOnceAndIsCached) {
  platform::SystemModel m;
  m.processor_count = 3;
  platform::SetSystemModel(m);
  DWORD first = WuGetCPUSupport(0);
  EXPECT_EQ(first & WUCPU_CLASS_MASK, 6u);
  EXPECT_EQ(WuGetProcessorCount(), 3u);
  SetCpu(kTsc, 0);  // a different processor is not seen any more
  EXPECT_EQ(WuGetCPUSupport(0), first);
  WuSystem_ResetForTesting();
  EXPECT_EQ(WuGetCPUSupport(0), 2u | WUCPU_TSC);
}

TEST_F(WuSystemTest, MasksAndAllowedFeatures) {
  const DWORD all = WuGetCPUSupport(0);
  EXPECT_EQ(all & 0x7F, 6u | WUCPU_MMX | WUCPU_SSE | WUCPU_SSE2);
  EXPECT_EQ(WuGetCPUSupport(WUCPU_SSE2), WUCPU_SSE2);
  EXPECT_EQ(WuGetOSSupport(WUCPU_SSE41), WUCPU_SSE41);  // granted by the probe alone
  EXPECT_EQ(WuGetCPUFeatureMask(WUCPU_SSE41), 0u);

  EXPECT_TRUE(WuDisallowCPUSupport(WUCPU_SSE2));
  EXPECT_EQ(WuGetCPUSupport(WUCPU_SSE2), 0u);
  EXPECT_EQ(WuGetCPUFeatureMask(WUCPU_SSE2), 0u);
  EXPECT_TRUE(WuAllowCPUSupport(WUCPU_SSE2));
  EXPECT_EQ(WuGetCPUSupport(0), all);

  EXPECT_FALSE(WuOnlyAllowCPUSupport(0x1010));  // bit 0x1000 is outside 0xFF0
  EXPECT_EQ(WuGetCPUSupport(0), all);
  EXPECT_TRUE(WuOnlyAllowCPUSupport(WUCPU_MMX | WUCPU_SSE));
  EXPECT_EQ(WuGetCPUSupport(0), all & ~static_cast<DWORD>(0xFF0 & ~(WUCPU_MMX | WUCPU_SSE)));

  // The class follows what is allowed; the detected class is hidden.
  EXPECT_TRUE(WuSetCPUClassBySupport());
  EXPECT_EQ(WuGetCPUSupport(WUCPU_CLASS_MASK), 5u);
  EXPECT_TRUE(WuOnlyAllowCPUSupport(0));
  EXPECT_TRUE(WuSetCPUClassBySupport());
  EXPECT_EQ(WuGetCPUSupport(WUCPU_CLASS_MASK), 0u);
}

TEST_F(WuSystemTest, ClassBySupportNeverClaimsFeaturesTheProcessorLacks) {
  SetCpu(kCmov | kFpu | kMmx, 0);  // MMX only; the mask still allows everything
  EXPECT_TRUE(WuSetCPUClassBySupport());
  EXPECT_EQ(WuGetCPUSupport(WUCPU_CLASS_MASK), 4u);
}

TEST_F(WuSystemTest, RealProcessorReportsClassSixAndItsOwnFeatures) {
  platform::SetProcessorSource(nullptr);
  const DWORD support = WuGetCPUSupport(0);
  EXPECT_EQ(support & WUCPU_CLASS_MASK, 6u);
  const struct {
    DWORD flag;
    bool present;
  } kFeatures[] = {
      {WUCPU_MMX, __builtin_cpu_supports("mmx") != 0},
      {WUCPU_SSE, __builtin_cpu_supports("sse") != 0},
      {WUCPU_SSE2, __builtin_cpu_supports("sse2") != 0},
      {WUCPU_SSE3, __builtin_cpu_supports("sse3") != 0},
      {WUCPU_SSSE3, __builtin_cpu_supports("ssse3") != 0},
      {WUCPU_SSE41, __builtin_cpu_supports("sse4.1") != 0},
      {WUCPU_SSE42, __builtin_cpu_supports("sse4.2") != 0},
      {WUCPU_CMOV, __builtin_cpu_supports("cmov") != 0},
  };
  for (const auto& f : kFeatures) EXPECT_EQ((support & f.flag) != 0, f.present) << f.flag;
  EXPECT_EQ(support & WUCPU_SSE2, WUCPU_SSE2);
  WCHAR vendor[13];
  EXPECT_EQ(WuGetCPUVendorString(vendor, 13), S_OK);
  EXPECT_NE(vendor[0], 0);
}

// ---- Vendor and brand texts ---------------------------------------------------------------

TEST_F(WuSystemTest, VendorTextIsTrimmedAndNeedsThirteenCharacters) {
  cpu_.SetLeaf(0, {1, Reg("  Ve"), Reg("X   "), Reg("ndor")});  // EBX, EDX, ECX
  WCHAR text[20];
  EXPECT_EQ(WuGetCPUVendorString(text, 12), E_FAIL);
  ASSERT_EQ(WuGetCPUVendorString(text, 13), S_OK);
  EXPECT_EQ(std::u16string(text), u"VendorX");

  cpu_.has_cpuid = false;
  EXPECT_EQ(WuGetCPUVendorString(text, 20), E_FAIL);
  cpu_.has_cpuid = true;
  platform::SystemModel m;
  m.processor_type = PROCESSOR_INTEL_486;  // no CPUID on a 486
  platform::SetSystemModel(m);
  EXPECT_EQ(WuGetCPUVendorString(text, 20), E_FAIL);
}

TEST_F(WuSystemTest, BrandTextJoinsThreeLeavesAndIsTrimmed) {
  const char kBrand[49] = "        Fake CPU @ 1.00GHz";  // padded with zeros
  for (DWORD i = 0; i < 3; ++i) {
    const char* p = kBrand + 16 * i;
    cpu_.SetLeaf(0x80000002 + i, {Reg(p), Reg(p + 4), Reg(p + 8), Reg(p + 12)});
  }
  cpu_.SetLeaf(0x80000000, {0x80000004, 0, 0, 0});
  WCHAR text[64];
  EXPECT_EQ(WuGetCPUBrandString(text, 48), E_FAIL);
  ASSERT_EQ(WuGetCPUBrandString(text, 49), S_OK);
  EXPECT_EQ(std::u16string(text), u"Fake CPU @ 1.00GHz");

  cpu_.SetLeaf(0x80000000, {0x80000003, 0, 0, 0});
  EXPECT_EQ(WuGetCPUBrandString(text, 64), E_FAIL);
}

TEST_F(WuSystemTest, RegistersBecomePrintableCharacters) {
  const struct {
    DWORD value;
    std::u16string text;  // the four characters, non-printable ones as 0
  } kCases[] = {
      {Reg("abcd"), std::u16string(u"abcd", 4)},
      {0x0A202162, std::u16string(u"b! \0", 4)},   // 0x0A is not printable
      {0x7F7E1F20, std::u16string(u" \0~\0", 4)},  // 0x1F and 0x7F are not
  };
  for (const auto& c : kCases) {
    WCHAR out[5] = {1, 1, 1, 1, 1};
    WuFourCCToStringCPU(c.value, out);
    EXPECT_EQ(std::u16string(out, 4), c.text) << std::hex << c.value;
    EXPECT_EQ(out[4], 0);
  }
  WCHAR regs[17];
  WuCpuidRegsToString(Reg("abcd"), Reg("efgh"), Reg("ijkl"), Reg("mnop"), regs, 17);
  EXPECT_EQ(std::u16string(regs), u"abcdefghijklmnop");
  WuCpuidRegsToString(Reg("abcd"), Reg("efgh"), Reg("ijkl"), Reg("mnop"), regs, 6);
  EXPECT_EQ(std::u16string(regs), u"abcde");
}

// ---- Platform checks ---------------------------------------------------------------------

TEST_F(WuSystemTest, OsNames) {
  const struct {
    DWORD platform_id, major, minor;
    const char16_t* sp;
    const char16_t* name;
    BOOL result;
  } kCases[] = {
      {1, 3, 95, u"", u"Windows 95", TRUE},     {1, 4, 0, u"", u"Windows 95", TRUE},
      {1, 4, 10, u"", u"Windows 98", TRUE},     {1, 4, 10, u" A ", u"Windows 98 SE", TRUE},
      {1, 4, 90, u" A ", u"Windows Me", TRUE},  {1, 5, 0, u"", u"", TRUE},
      {2, 6, 1, u"", u"Windows Vista", TRUE},   {2, 5, 0, u"", u"Windows 2000", TRUE},
      {2, 5, 2, u"", u"Windows XP", TRUE},      {2, 4, 0, u"", u"Windows NT", TRUE},
      {0, 3, 1, u"", u"Unknown", FALSE},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.platform_id << " " << c.major << "." << c.minor);
    SetModel(c.platform_id, c.major, c.minor, c.sp);
    WCHAR text[32];
    for (WCHAR& ch : text) ch = u'#';  // a version without a name must still terminate
    EXPECT_EQ(WuGetOS(text, 32), c.result);
    EXPECT_EQ(std::u16string(text), c.name);
  }
}

TEST_F(WuSystemTest, OsNameIsBoundedAndSizeZeroWritesNothing) {
  SetModel(2, 5, 1, u"");
  WCHAR text[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
  EXPECT_TRUE(WuGetOS(text, 0));
  EXPECT_EQ(text[0], u'#');
  EXPECT_TRUE(WuGetOS(text, 5));
  EXPECT_EQ(std::u16string(text), u"Wind");
}

TEST_F(WuSystemTest, VersionKinds) {
  const struct {
    DWORD platform_id, major, minor;
    const char16_t* sp;
    int kind;
    UINT asked_sp;
    BOOL ok;
  } kCases[] = {
      {2, 5, 1, u"Service Pack 2", 6, 2, TRUE},
      {2, 5, 1, u"Service Pack 2", 6, 3, FALSE},
      {2, 5, 1, u"Service Pack 2", 6, 0x10002, TRUE},  // only the low 16 bits count
      {2, 5, 1, u"Service Pack 2", 5, 9, TRUE},        // a greater minor wins
      {2, 5, 1, u"Service Pack 2", 7, 0, FALSE},
      {2, 5, 1, u"Service Pack 2", 4, 0, TRUE},
      {2, 5, 1, u"Service Pack 2", 0, 0, FALSE},       // another platform
      {2, 5, 1, u"SP2", 6, 1, FALSE},                   // no "Service Pack %d": 0
      {1, 4, 1, u"Service Pack 1", 2, 5, TRUE},         // kind 2 asks for 1, not 5
      {1, 4, 1, u"", 2, 0, FALSE},
      {1, 4, 1, u"Service Pack 1", 1, 5, FALSE},
      {1, 4, 10, u"", 1, 5, TRUE},                      // minor 10 is above 1
      {1, 4, 10, u"", 0, 0, TRUE},
      {1, 4, 0, u"", 3, 0, TRUE},                       // kind 3: any 9x
      {1, 4, 0, u"", 99, 0, TRUE},
      {1, 4, 0, u"", 1, 0, FALSE},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " sp " << c.asked_sp << " on "
                                    << c.platform_id << " " << c.major << "." << c.minor);
    SetModel(c.platform_id, c.major, c.minor, c.sp);
    EXPECT_EQ(WuOSVersionOK(c.kind, c.asked_sp), c.ok);
  }
}

TEST_F(WuSystemTest, Is9xIsAskedOnce) {
  SetModel(1, 4, 10, u"");
  EXPECT_TRUE(WuIsWin95());
  SetModel(2, 6, 1, u"");
  EXPECT_TRUE(WuIsWin95());
  WuSystem_ResetForTesting();
  EXPECT_FALSE(WuIsWin95());
}

TEST_F(WuSystemTest, Os64BitKeepsTheLastAnswerWhenTheFunctionIsMissing) {
  EXPECT_FALSE(WuIsOS64Bit());
  platform::SystemModel m;
  m.wow64 = true;
  platform::SetSystemModel(m);
  EXPECT_TRUE(WuIsOS64Bit());
  m.wow64 = false;
  m.has_is_wow64 = false;
  platform::SetSystemModel(m);
  EXPECT_TRUE(WuIsOS64Bit());
  m.has_is_wow64 = true;
  platform::SetSystemModel(m);
  EXPECT_FALSE(WuIsOS64Bit());
}

// ---- Display --------------------------------------------------------------------------------

platform::MonitorConfig Monitor(const char16_t* device, LONG x, int bits) {
  return platform::MonitorConfig{device, RECT{x, 0, x + 1280, 1024}, bits};
}

TEST_F(WuSystemTest, HighColorOfTheScreenAndOfAllMonitors) {
  EXPECT_TRUE(WuIsHighColor());
  EXPECT_TRUE(WuIsAllMonitorsHighColor());

  platform::SetMonitors({Monitor(u"\\\\.\\DISPLAY1", 0, 32), Monitor(u"\\\\.\\DISPLAY2", 1280, 8)});
  EXPECT_TRUE(WuIsHighColor());
  EXPECT_TRUE(WuIsAllMonitorsHighColor());  // cached
  EXPECT_FALSE(WuRefreshAllMonitorsHighColor(TRUE));
  EXPECT_TRUE(WuRefreshHighColor(TRUE));  // the primary monitor has 32 bits

  platform::SetMonitors({Monitor(u"\\\\.\\DISPLAY1", 0, 15)});
  EXPECT_TRUE(WuRefreshHighColor(FALSE));
  EXPECT_FALSE(WuRefreshHighColor(TRUE));
  WuSystem_ResetForTesting();
  platform::SetMonitors({Monitor(u"\\\\.\\DISPLAY1", 0, 16)});
  EXPECT_TRUE(WuIsHighColor());
  EXPECT_TRUE(WuIsAllMonitorsHighColor());
}

TEST_F(WuSystemTest, DisplayModelMonitorsAndDeviceContexts) {
  platform::SetMonitors({Monitor(u"\\\\.\\DISPLAY1", 0, 32), Monitor(u"\\\\.\\DISPLAY2", 1280, 16)});
  std::vector<HMONITOR> seen;
  auto collect = [](HMONITOR m, HDC, RECT*, LPARAM data) -> BOOL {
    reinterpret_cast<std::vector<HMONITOR>*>(data)->push_back(m);
    return TRUE;
  };
  ASSERT_TRUE(EnumDisplayMonitors(nullptr, nullptr, collect, reinterpret_cast<LPARAM>(&seen)));
  ASSERT_EQ(seen.size(), 2u);
  MONITORINFOEXW info = {};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetMonitorInfoW(seen[1], &info));
  EXPECT_EQ(std::u16string(info.szDevice), u"\\\\.\\DISPLAY2");
  EXPECT_EQ(info.rcMonitor.left, 1280);
  EXPECT_EQ(info.dwFlags, 0u);

  HDC dc = CreateDCW(u"display", info.szDevice, nullptr, nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 16);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 1280);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 1024);
  EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0);  // not a GetDC DC
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);

  EXPECT_EQ(CreateDCW(u"DISPLAY", u"\\\\.\\DISPLAY9", nullptr, nullptr), nullptr);
  EXPECT_EQ(CreateDCW(u"PRINTER", nullptr, nullptr, nullptr), nullptr);

  // A clip keeps the monitors it touches; a FALSE from the callback stops.
  seen.clear();
  RECT clip = {1300, 10, 1400, 20};
  EnumDisplayMonitors(nullptr, &clip, collect, reinterpret_cast<LPARAM>(&seen));
  ASSERT_EQ(seen.size(), 1u);
  int calls = 0;
  auto stop = [](HMONITOR, HDC, RECT*, LPARAM data) -> BOOL {
    ++*reinterpret_cast<int*>(data);
    return FALSE;
  };
  EnumDisplayMonitors(nullptr, nullptr, stop, reinterpret_cast<LPARAM>(&calls));
  EXPECT_EQ(calls, 1);

  // Reconfiguring invalidates the old monitor handles.
  platform::ResetMonitors();
  EXPECT_FALSE(GetMonitorInfoW(seen[0], &info));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_MONITOR_HANDLE);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1920);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST_F(WuSystemTest, MulDivRoundsHalvesAwayFromZero) {
  const struct {
    int a, b, c, result;
  } kCases[] = {
      {10, 3, 4, 8},   {-10, 3, 4, -8}, {10, -3, 4, -8},          {10, 3, -4, -8},
      {-10, -3, 4, 8}, {5, 1, 3, 2},    {-5, 1, 3, -2},           {1, 1, 0, -1},
      {0x7FFFFFFF, 2, 1, -1},           {0x7FFFFFFF, 2, 2, 0x7FFFFFFF},
      {-12, 96, 72, -16},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
}

// ---- Host module ----------------------------------------------------------------------------

int g_kernel_calls = 0;      // how often the host's kernel function ran
HMODULE g_host_answer = nullptr;  // what it returns

HMODULE GetAppKernel() {
  ++g_kernel_calls;
  return g_host_answer;
}
int UiColor(int id) { return id + 1; }

class HostModuleTest : public WuSystemTest {
 protected:
  void TearDown() override {
    platform::RegisterMainModuleExport("_WuApp_GetAppKernel@0", nullptr);
    if (g_host_answer) FreeLibrary(g_host_answer);
    g_host_answer = nullptr;
    g_kernel_calls = 0;
    WuSystemTest::TearDown();
  }
  void RegisterHost(HMODULE answer) {
    g_host_answer = answer;
    platform::RegisterMainModuleExport("_WuApp_GetAppKernel@0",
                                       reinterpret_cast<void*>(&GetAppKernel));
  }
};

TEST_F(HostModuleTest, WithoutTheExportNothingIsImplemented) {
  WUAPPKERNELFUNC f = {nullptr, "_WuGetUIColor@4"};
  EXPECT_EQ(WuApp_ResolveKernelFunctions(&f, 1), E_NOTIMPL);
  EXPECT_EQ(WuApp_ResolveKernelFunctions(nullptr, 0), E_NOTIMPL);
}

TEST_F(HostModuleTest, AHostWithoutAModuleIsUnexpected) {
  RegisterHost(nullptr);
  EXPECT_EQ(WuApp_ResolveKernelFunctions(nullptr, 0), E_UNEXPECTED);
}

TEST_F(HostModuleTest, NamesResolveInTheHostModuleWhichIsAskedOnce) {
  const platform::ExportEntry kExports[] = {{"_WuGetUIColor@4", reinterpret_cast<void*>(&UiColor)}};
  RegisterHost(platform::CreateExportModule(u"AppKernel", kExports, 1));
  EXPECT_EQ(WuApp_ResolveKernelFunctions(nullptr, 0), S_OK);
  EXPECT_EQ(g_kernel_calls, 1);

  WUAPPKERNELFUNC f[2] = {{nullptr, "_WuGetUIColorAbsolute@4"}, {nullptr, "_WuGetUIColor@4"}};
  f[0].function = reinterpret_cast<FARPROC>(&UiColor);  // overwritten with NULL
  EXPECT_EQ(WuApp_ResolveKernelFunctions(f, 2), kErrNotFound);
  EXPECT_EQ(f[0].function, nullptr);
  ASSERT_NE(f[1].function, nullptr);
  EXPECT_EQ(reinterpret_cast<int (*)(int)>(f[1].function)(41), 42);
  EXPECT_EQ(WuApp_ResolveKernelFunctions(&f[1], 1), S_OK);
  EXPECT_EQ(g_kernel_calls, 1);
}

}  // namespace
