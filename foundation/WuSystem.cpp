#include "foundation/WuSystem.h"
#include "foundation/WuSystemInternal.h"

#include <cstdio>

#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "platform/cpu.h"
#include "platform/gdi.h"
#include "platform/locale.h"
#include "platform/process.h"

namespace {

// Status of a name the host module does not export.
constexpr HRESULT kErrNotFound = WU_E_NOT_FOUND;

// MXCSR flush-to-zero (bit 15) and denormals-are-zero (bit 6).
constexpr DWORD kMxcsrFtzDaz = 0x8040;
// Operating-system support bits that a passed SSE probe grants whatever
// the processor has.
constexpr DWORD kOsSupportAfterProbe = WUCPU_SSE3 | WUCPU_SSSE3 | WUCPU_SSE41 | WUCPU_SSE42;

// ---- Process-wide state (plain globals, no lock) ---------------------------------

// Platform checks.
bool g_is9x_asked = false;       // WuIsWin95 has asked
BOOL g_is9x = FALSE;             // its answer
BOOL g_is_wow64 = FALSE;         // last answer of IsWow64Process

// Display checks.
bool g_high_color_measured = false;   // WuIsHighColor has measured
BOOL g_high_color = FALSE;            // its answer
bool g_all_high_color_measured = false;  // WuIsAllMonitorsHighColor has measured
BOOL g_all_high_color = FALSE;           // its answer

// Processor detection cache.
bool g_cpu_detected = false;  // the fields below are filled
DWORD g_processor_count = 0;  // GetSystemInfo's count
DWORD g_cpu_detected_word = 0;  // features the processor reports
DWORD g_os_support = 0;         // features the operating system supports
DWORD g_cpu_support = 0;        // class and usable features
DWORD g_cpu_support_detected = 0;  // g_cpu_support as detected, never narrowed
DWORD g_allowed_mask = 0xFFFFFFFF;  // features callers allow
DWORD g_class_override = 0;         // 0, 4, 5 or 6, from WuSetCPUClassBySupport

// Host module cache.
bool g_host_asked = false;      // "_WuApp_GetAppKernel@0" was looked up
bool g_host_exported = false;   // ... and found
HMODULE g_host_module = nullptr;  // the module it returned

void EnsureCpuDetected() {
  if (g_cpu_detected) return;
  g_cpu_support = WuDetectCPUFeatures(&g_processor_count, &g_cpu_detected_word, &g_os_support);
  g_cpu_support_detected = g_cpu_support;
  g_cpu_detected = true;
}

DWORD AllBitsIfZero(DWORD mask) { return mask == 0 ? 0xFFFFFFFF : mask; }

bool Bit(DWORD value, int bit) { return (value >> bit) & 1; }

// Copies `text` with white space removed at both ends, bounded by `size`.
void CopyTrimmed(WCHAR* buffer, int size, const WCHAR* text) {
  const WCHAR* start = WuSkipWhiteSpace(text);
  int length = WuStrLenSafe(start);
  while (length > 0 && platform::IsWhiteSpace(start[length - 1])) --length;
  if (length + 1 < size) size = length + 1;
  WuStrCpyN(buffer, start, size);
}

bool ReadVersion(OSVERSIONINFOW* version) {
  *version = OSVERSIONINFOW();
  version->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  return GetVersionExW(version) != FALSE;
}

// The service-pack number of a text "Service Pack %d", 0 otherwise.
int ServicePackNumber(const WCHAR* text) {
  int number = 0;
  std::string utf8 = platform::ToUtf8(text);
  if (std::sscanf(utf8.c_str(), "Service Pack %d", &number) != 1) return 0;
  return number;
}

// The name of a 9x version, or empty when the version has none.
const WCHAR* Name9x(const OSVERSIONINFOW& v) {
  if (v.dwMajorVersion < 4) return u"Windows 95";
  if (v.dwMinorVersion >= 90) return u"Windows Me";
  if (v.dwMinorVersion != 0) return v.szCSDVersion[1] == u'A' ? u"Windows 98 SE" : u"Windows 98";
  if (v.dwMajorVersion == 4) return u"Windows 95";
  return u"";
}

const WCHAR* NameNt(const OSVERSIONINFOW& v) {
  if (v.dwMajorVersion >= 6) return u"Windows Vista";
  if (v.dwMajorVersion == 5) return v.dwMinorVersion == 0 ? u"Windows 2000" : u"Windows XP";
  return u"Windows NT";
}

BOOL MeasureHighColor() {
  HDC dc = GetDC(nullptr);
  if (!dc) return FALSE;
  int bits = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(nullptr, dc);
  return bits >= 16 ? TRUE : FALSE;
}

// Clears the flag at `data` when a monitor has fewer than 16 bits per pixel.
// A monitor that cannot be read or opened does not count.
BOOL CheckMonitorColor(HMONITOR monitor, HDC, RECT*, LPARAM data) {
  MONITORINFOEXW info = {};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoW(monitor, &info)) return TRUE;
  HDC dc = CreateDCW(u"DISPLAY", info.szDevice, nullptr, nullptr);
  if (!dc) return TRUE;
  if (GetDeviceCaps(dc, BITSPIXEL) < 16) *reinterpret_cast<BOOL*>(data) = FALSE;
  DeleteDC(dc);
  return TRUE;
}

BOOL MeasureAllMonitorsHighColor() {
  BOOL all = TRUE;
  EnumDisplayMonitors(nullptr, nullptr, CheckMonitorColor, reinterpret_cast<LPARAM>(&all));
  return all;
}

// Finds and calls the host's kernel function, once per process.
void EnsureHostLookedUp() {
  if (g_host_asked) return;
  g_host_asked = true;
  typedef HMODULE (*GetAppKernelFn)();
  auto get_kernel = reinterpret_cast<GetAppKernelFn>(
      GetProcAddress(GetModuleHandleW(nullptr), "_WuApp_GetAppKernel@0"));
  g_host_exported = get_kernel != nullptr;
  if (get_kernel) g_host_module = get_kernel();
}

}  // namespace

// ---- Platform and display ---------------------------------------------------------

BOOL WuIsWin95() {
  if (!g_is9x_asked) {
    OSVERSIONINFOW v;
    g_is9x = ReadVersion(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? TRUE : FALSE;
    g_is9x_asked = true;
  }
  return g_is9x;
}

BOOL WuIsOS64Bit() {
  typedef BOOL (*IsWow64ProcessFn)(HANDLE, BOOL*);
  HMODULE kernel = GetModuleHandleW(u"kernel32");
  auto is_wow64 = kernel ? reinterpret_cast<IsWow64ProcessFn>(GetProcAddress(kernel, "IsWow64Process"))
                         : nullptr;
  if (is_wow64) {
    BOOL answer = FALSE;
    if (is_wow64(GetCurrentProcess(), &answer)) g_is_wow64 = answer ? TRUE : FALSE;
  }
  return g_is_wow64;
}

BOOL WuGetOS(WCHAR* buffer, int size) {
  OSVERSIONINFOW v;
  const WCHAR* name = u"Unknown";
  BOOL known = FALSE;
  if (ReadVersion(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    // A 9x version without a name still gives a terminated (empty) text,
    // so the caller never reads an unterminated buffer.
    name = Name9x(v);
    known = TRUE;
  } else if (v.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    name = NameNt(v);
    known = TRUE;
  }
  if (buffer && size >= 1) WuStrCpyN(buffer, name, size);
  return known;
}

BOOL WuOSVersionAtLeast(DWORD platform_id, DWORD major, DWORD minor, int service_pack) {
  OSVERSIONINFOW v;
  if (!ReadVersion(&v) || v.dwPlatformId != platform_id) return FALSE;
  if (v.dwMajorVersion != major) return v.dwMajorVersion > major ? TRUE : FALSE;
  if (v.dwMinorVersion != minor) return v.dwMinorVersion > minor ? TRUE : FALSE;
  return ServicePackNumber(v.szCSDVersion) >= service_pack ? TRUE : FALSE;
}

BOOL WuOSVersionOK(int kind, UINT service_pack) {
  int sp = static_cast<int>(service_pack & 0xFFFF);
  switch (kind) {
    case 0: return WuOSVersionAtLeast(VER_PLATFORM_WIN32_WINDOWS, 4, 0, sp);
    case 1: return WuOSVersionAtLeast(VER_PLATFORM_WIN32_WINDOWS, 4, 1, sp);
    case 2: return WuOSVersionAtLeast(VER_PLATFORM_WIN32_WINDOWS, 4, 1, 1);
    case 4: return WuOSVersionAtLeast(VER_PLATFORM_WIN32_NT, 4, 0, sp);
    case 5: return WuOSVersionAtLeast(VER_PLATFORM_WIN32_NT, 5, 0, sp);
    case 6: return WuOSVersionAtLeast(VER_PLATFORM_WIN32_NT, 5, 1, sp);
    case 7: return WuOSVersionAtLeast(VER_PLATFORM_WIN32_NT, 6, 0, sp);
    default: return WuOSVersionAtLeast(VER_PLATFORM_WIN32_WINDOWS, 0, 0, sp);
  }
}

BOOL WuRefreshHighColor(BOOL refresh) {
  if (refresh || !g_high_color_measured) {
    g_high_color = MeasureHighColor();
    g_high_color_measured = true;
  }
  return g_high_color;
}

BOOL WuRefreshAllMonitorsHighColor(BOOL refresh) {
  if (refresh || !g_all_high_color_measured) {
    g_all_high_color = MeasureAllMonitorsHighColor();
    g_all_high_color_measured = true;
  }
  return g_all_high_color;
}

BOOL WuIsHighColor() { return WuRefreshHighColor(FALSE); }
BOOL WuIsAllMonitorsHighColor() { return WuRefreshAllMonitorsHighColor(FALSE); }

// ---- Processor --------------------------------------------------------------------

DWORD WuGetCPUSupport(DWORD mask) {
  EnsureCpuDetected();
  return (g_allowed_mask & g_cpu_support & AllBitsIfZero(mask)) | g_class_override;
}

DWORD WuGetCPUFeatureMask(DWORD mask) {
  EnsureCpuDetected();
  return g_allowed_mask & g_cpu_detected_word & AllBitsIfZero(mask);
}

DWORD WuGetOSSupport(DWORD mask) {
  EnsureCpuDetected();
  return g_os_support & AllBitsIfZero(mask);
}

DWORD WuGetProcessorCount() {
  EnsureCpuDetected();
  return g_processor_count;
}

DWORD WuSystem_GetDetectedCPUSupport(DWORD mask) {
  EnsureCpuDetected();
  return g_cpu_support_detected & AllBitsIfZero(mask);
}

BOOL WuAllowCPUSupport(DWORD bits) {
  g_allowed_mask |= bits;
  return TRUE;
}

BOOL WuDisallowCPUSupport(DWORD bits) {
  g_allowed_mask &= ~bits;
  return TRUE;
}

BOOL WuOnlyAllowCPUSupport(DWORD bits) {
  constexpr DWORD kFeatureBits = 0xFF0;
  if (bits & ~kFeatureBits) return FALSE;
  g_allowed_mask = (g_allowed_mask & ~kFeatureBits) | bits;
  return TRUE;
}

void WuSystem_ApplyCPUSupportMask() {
  EnsureCpuDetected();
  g_cpu_support = (g_cpu_support & g_allowed_mask) | g_class_override;
}

BOOL WuSetCPUClassBySupport() {
  EnsureCpuDetected();
  g_allowed_mask &= ~WUCPU_CLASS_MASK;
  // Only features the processor can actually run count: a class above what
  // it supports would send callers to kernels that fault.
  DWORD usable = g_allowed_mask & g_cpu_support;
  if (usable & WUCPU_SSE2)
    g_class_override = WUCPU_CLASS_SSE2;
  else if (usable & WUCPU_SSE)
    g_class_override = WUCPU_CLASS_SSE;
  else if (usable & WUCPU_MMX)
    g_class_override = WUCPU_CLASS_MMX;
  else
    g_class_override = 0;
  return TRUE;
}

void WuFourCCToStringCPU(DWORD value, WCHAR* buffer) {
  for (int i = 0; i < 4; ++i) {
    DWORD byte = (value >> (8 * i)) & 0xFF;
    buffer[i] = byte >= 32 && byte <= 126 ? static_cast<WCHAR>(byte) : 0;
  }
  buffer[4] = 0;
}

void WuCpuidRegsToString(DWORD eax, DWORD ebx, DWORD ecx, DWORD edx, WCHAR* buffer, int size) {
  WCHAR text[17];
  WuFourCCToStringCPU(eax, text);
  WuFourCCToStringCPU(ebx, text + 4);
  WuFourCCToStringCPU(ecx, text + 8);
  WuFourCCToStringCPU(edx, text + 12);
  WuStrCpyN(buffer, text, size);
}

int WuCpuid_GetMaxLeaf() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  if (info.dwProcessorType != PROCESSOR_INTEL_PENTIUM &&
      info.dwProcessorType != PROCESSOR_AMD_X8664)
    return -1;
  platform::CpuidRegs r;
  if (!platform::Cpuid(0, 0, &r)) return -1;
  return static_cast<int>(r.eax);
}

HRESULT WuGetCPUVendorString(WCHAR* buffer, int size) {
  if (!buffer || size < 13 || WuCpuid_GetMaxLeaf() < 0) return E_FAIL;
  platform::CpuidRegs r;
  platform::Cpuid(0, 0, &r);
  WCHAR text[13];
  WuFourCCToStringCPU(r.ebx, text);
  WuFourCCToStringCPU(r.edx, text + 4);
  WuFourCCToStringCPU(r.ecx, text + 8);
  CopyTrimmed(buffer, size, text);
  return S_OK;
}

HRESULT WuGetCPUBrandString(WCHAR* buffer, int size) {
  constexpr DWORD kFirstBrandLeaf = 0x80000002;
  constexpr DWORD kLastBrandLeaf = 0x80000004;
  if (!buffer || size <= 48 || WuCpuid_GetMaxLeaf() < 0) return E_FAIL;
  platform::CpuidRegs r;
  platform::Cpuid(0x80000000, 0, &r);
  if (r.eax < kLastBrandLeaf) return E_FAIL;
  WCHAR text[49] = {};
  for (DWORD leaf = kFirstBrandLeaf; leaf <= kLastBrandLeaf; ++leaf) {
    WCHAR part[17];
    platform::Cpuid(leaf, 0, &r);
    WuCpuidRegsToString(r.eax, r.ebx, r.ecx, r.edx, part, 17);
    WuStrCatN(text, part, 49);
  }
  CopyTrimmed(buffer, size, text);
  return S_OK;
}

DWORD WuDetectCPUFeatures(DWORD* processor_count, DWORD* detected, DWORD* os_support) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  DWORD cls = info.dwProcessorType == PROCESSOR_INTEL_486       ? WUCPU_CLASS_486
              : info.dwProcessorType == PROCESSOR_INTEL_PENTIUM ? WUCPU_CLASS_PENTIUM
                                                                : 0;
  DWORD edx = 0;
  DWORD ecx = 0;
  if (WuCpuid_GetMaxLeaf() >= 1) {
    platform::CpuidRegs r;
    platform::Cpuid(1, 0, &r);
    edx = r.edx;
    ecx = r.ecx;
  }

  DWORD found = 0;   // detected features
  DWORD usable = 0;  // features that can be used
  DWORD os = 0;      // operating-system support
  if (Bit(edx, 4)) {
    found |= WUCPU_TSC;
    usable |= WUCPU_TSC;
  }
  if (Bit(edx, 15)) {
    found |= WUCPU_CMOV;
    usable |= WUCPU_CMOV;
    if (Bit(edx, 0)) {
      found |= WUCPU_CMOV_FPU;
      usable |= WUCPU_CMOV_FPU;
      cls = WUCPU_CLASS_CMOV_FPU;
    }
  }
  if (Bit(edx, 23)) {
    found |= WUCPU_MMX;
    usable |= WUCPU_MMX;
    os |= WUCPU_MMX;
    if (cls == WUCPU_CLASS_CMOV_FPU) cls = WUCPU_CLASS_MMX;
  }

  // SSE needs the operating system to save its state: probe it once.
  bool probe_passed = false;
  if (Bit(edx, 25)) {
    found |= WUCPU_SSE;
    probe_passed = platform::CurrentProcessor().SseEnabledByOs();
    if (probe_passed) {
      usable |= WUCPU_SSE;
      os |= WUCPU_SSE | kOsSupportAfterProbe;
      if (cls == WUCPU_CLASS_MMX) cls = WUCPU_CLASS_SSE;
      // Flush-to-zero and denormals-are-zero for this thread; a processor
      // that refuses the bits keeps its MXCSR and loses the flag.
      found |= WUCPU_FTZ_DAZ;
      if (platform::TrySetMxcsr(platform::GetMxcsr() | kMxcsrFtzDaz)) usable |= WUCPU_FTZ_DAZ;
    }
  }

  if (Bit(edx, 26)) {
    found |= WUCPU_SSE2;
    if (probe_passed) {
      usable |= WUCPU_SSE2;
      os |= WUCPU_SSE2;
      if (cls == WUCPU_CLASS_SSE) cls = WUCPU_CLASS_SSE2;
    }
  }
  const struct {
    int bit;      // ECX bit of CPUID leaf 1
    DWORD flag;   // support word flag
  } kLaterSse[] = {{0, WUCPU_SSE3}, {9, WUCPU_SSSE3}, {19, WUCPU_SSE41}, {20, WUCPU_SSE42}};
  for (const auto& f : kLaterSse) {
    if (!Bit(ecx, f.bit)) continue;
    found |= f.flag;
    if (probe_passed) usable |= f.flag;
  }

  if (processor_count) *processor_count = info.dwNumberOfProcessors;
  if (detected) *detected = found;
  if (os_support) *os_support = os;
  return cls | usable;
}

// ---- Host module -------------------------------------------------------------------

HRESULT WuApp_ResolveKernelFunctions(WUAPPKERNELFUNC* functions, int count) {
  EnsureHostLookedUp();
  if (!g_host_exported) return E_NOTIMPL;
  if (!g_host_module) return E_UNEXPECTED;
  if (count > 0 && !functions) return E_POINTER;
  HRESULT result = S_OK;
  for (int i = 0; i < count; ++i) {
    functions[i].function = functions[i].name ? GetProcAddress(g_host_module, functions[i].name)
                                              : nullptr;
    if (!functions[i].function) result = kErrNotFound;
  }
  return result;
}

void WuSystem_ResetForTesting() {
  g_is9x_asked = false;
  g_is9x = FALSE;
  g_is_wow64 = FALSE;
  g_high_color_measured = false;
  g_high_color = FALSE;
  g_all_high_color_measured = false;
  g_all_high_color = FALSE;
  g_cpu_detected = false;
  g_processor_count = 0;
  g_cpu_detected_word = 0;
  g_os_support = 0;
  g_cpu_support = 0;
  g_cpu_support_detected = 0;
  g_allowed_mask = 0xFFFFFFFF;
  g_class_override = 0;
  g_host_asked = false;
  g_host_exported = false;
  g_host_module = nullptr;
}
