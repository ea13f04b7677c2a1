// Process-wide system checks: platform and version, screen colour depth,
// the processor's features, vendor and brand, and functions of an optional
// host module.
//
// Every check fills its own cache on first use, so all of them work before
// and after the kernel start-up; the caches last for the rest of the
// process. There are no locks: the kernel start-up fills the processor cache
// on the main thread before other threads use the library. Processor
// detection sets flush-to-zero and denormals-are-zero in the MXCSR of the
// thread that runs it.
#pragma once

#include "platform/kernel/module.h"
#include "platform/kernel/types.h"

// ---- CPU support word ------------------------------------------------------------
// The low four bits hold the processor class; the other bits are features.
constexpr DWORD WUCPU_CLASS_MASK = 0x0000000F;  // processor class, 0..6
constexpr DWORD WUCPU_CLASS_486 = 1;            // the platform reports a 486
constexpr DWORD WUCPU_CLASS_PENTIUM = 2;        // the platform reports a Pentium
constexpr DWORD WUCPU_CLASS_CMOV_FPU = 3;       // conditional moves and an FPU
constexpr DWORD WUCPU_CLASS_MMX = 4;            // ... and MMX
constexpr DWORD WUCPU_CLASS_SSE = 5;            // ... and usable SSE
constexpr DWORD WUCPU_CLASS_SSE2 = 6;           // ... and usable SSE2
constexpr DWORD WUCPU_MMX = 0x00000010;
constexpr DWORD WUCPU_SSE = 0x00000020;
constexpr DWORD WUCPU_SSE2 = 0x00000040;
constexpr DWORD WUCPU_SSE3 = 0x00000080;
constexpr DWORD WUCPU_SSSE3 = 0x00000100;
constexpr DWORD WUCPU_SSE41 = 0x00000200;
constexpr DWORD WUCPU_SSE42 = 0x00000400;
constexpr DWORD WUCPU_CMOV = 0x00001000;
constexpr DWORD WUCPU_CMOV_FPU = 0x00002000;
constexpr DWORD WUCPU_TSC = 0x00004000;
constexpr DWORD WUCPU_FTZ_DAZ = 0x00020000;  // flush-to-zero and denormals-are-zero set

// ---- Platform and display ----------------------------------------------------------

// TRUE on the 9x platform. Asked once, then cached.
BOOL WuIsWin95();

// TRUE when kernel32's IsWow64Process exists and says the process runs
// under the 32-bit emulation of a 64-bit system. Asked on every call; when
// the function is missing the last answer (initially FALSE) is returned.
BOOL WuIsOS64Bit();

// The platform's name into a buffer of `size` characters: TRUE and the name,
// or FALSE and "Unknown" on an unknown platform. A 9x version without a
// name gives an empty text (still TRUE). Bounded and terminated; a size
// below 1 writes nothing.
BOOL WuGetOS(WCHAR* buffer, int size);

// TRUE when the running system is the platform `platform_id` at version
// major.minor or later; at that exact version its service pack (read from
// the text "Service Pack %d", 0 otherwise) must be at least `service_pack`.
BOOL WuOSVersionAtLeast(DWORD platform_id, DWORD major, DWORD minor, int service_pack);

// TRUE when the running system is at least the version of a kind:
// 0 9x 4.0, 1 9x 4.1, 2 9x 4.1 with service pack 1 whatever is given,
// 4 NT 4.0, 5 NT 5.0, 6 NT 5.1, 7 NT 6.0, any other 9x 0.0. Only the low 16
// bits of the service pack are used.
BOOL WuOSVersionOK(int kind, UINT service_pack);

// TRUE when the screen has at least 16 bits per pixel / when no monitor has
// fewer. Each is measured once, then cached; the Refresh forms measure again
// when `refresh` is non-zero.
BOOL WuIsHighColor();
BOOL WuIsAllMonitorsHighColor();
BOOL WuRefreshHighColor(BOOL refresh);
BOOL WuRefreshAllMonitorsHighColor(BOOL refresh);

// ---- Processor -----------------------------------------------------------------------
// Masks of 0 mean all bits. The detection runs once, on the first call that
// needs it.

// (allowed-feature mask AND CPU support word AND mask) OR class override.
DWORD WuGetCPUSupport(DWORD mask);
// Allowed-feature mask AND detected-feature word AND mask.
DWORD WuGetCPUFeatureMask(DWORD mask);
// Operating-system support word AND mask.
DWORD WuGetOSSupport(DWORD mask);
// Processors reported by GetSystemInfo at detection.
DWORD WuGetProcessorCount();

// Edit the allowed-feature mask (initially all bits). WuOnlyAllowCPUSupport
// replaces bits 4..11 and refuses (FALSE, nothing changed) bits outside
// 0xFF0.
BOOL WuAllowCPUSupport(DWORD bits);
BOOL WuDisallowCPUSupport(DWORD bits);
BOOL WuOnlyAllowCPUSupport(DWORD bits);
// Hides the detected class (clears the mask's low four bits) and sets the
// class override from the features that are both allowed and usable: 6 for
// SSE2, else 5 for SSE, else 4 for MMX, else 0.
BOOL WuSetCPUClassBySupport();
// Runs the detection if it has not run, then narrows the cached CPU support
// word to (word AND allowed-feature mask) OR class override (kernel
// start-up).
void WuSystem_ApplyCPUSupportMask();

// The processor's vendor text (S_OK), or E_FAIL when the size is below 13
// or there is no CPUID.
HRESULT WuGetCPUVendorString(WCHAR* buffer, int size);
// The processor's brand text (S_OK), or E_FAIL when there is no CPUID, the
// size is 48 or less, or the processor has no brand leaves.
HRESULT WuGetCPUBrandString(WCHAR* buffer, int size);

// The four bytes of a register, lowest first, as characters (bytes outside
// 32..126 as 0), then a terminator: 5 characters written.
void WuFourCCToStringCPU(DWORD value, WCHAR* buffer);
// Four registers as 16 characters, bounded by `size` and terminated.
void WuCpuidRegsToString(DWORD eax, DWORD ebx, DWORD ecx, DWORD edx, WCHAR* buffer, int size);

// CPUID leaf 0's highest standard leaf, or -1 unless the platform reports a
// Pentium-class (586) or x86-64 (8664) processor with CPUID.
int WuCpuid_GetMaxLeaf();

// Detects the processor now (no cache). Returns the CPU support word
// (class and usable features) and writes the processor count, the
// detected-feature word and the operating-system support word (any out
// pointer may be null). Sets flush-to-zero and denormals-are-zero in this
// thread's MXCSR when SSE is usable.
DWORD WuDetectCPUFeatures(DWORD* processor_count, DWORD* detected, DWORD* os_support);

// ---- Host module ----------------------------------------------------------------------

// One function to find in the host's kernel module.
struct WUAPPKERNELFUNC {
  FARPROC function;  // out: the address, or NULL when not exported
  LPCSTR name;       // exported name, e.g. "_WuGetUIColor@4"
};

// Looks each name up in the module that the main program's
// "_WuApp_GetAppKernel@0" returns (asked once per process). S_OK;
// E_NOTIMPL without that export; E_UNEXPECTED when it returned no module;
// 0x8004E00A when some name was not found (the others are still filled).
HRESULT WuApp_ResolveKernelFunctions(WUAPPKERNELFUNC* functions, int count);

// Test seam: forgets every cache of this file (platform, display,
// processor, host module) and restores the allowed-feature mask and the
// class override. Not for library code.
void WuSystem_ResetForTesting();
