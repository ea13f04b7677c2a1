// The processor and the operating system as the library sees them: CPUID,
// the time-stamp counter, MXCSR, system information and the version record.
//
// Every answer goes through an injectable source, so tests can present any
// processor (an old 486 without CPUID, a part without SSE2...) and any
// platform version. Without an injected source the real processor answers
// and the platform reports itself as the NT platform, version 6.1, x86.
#pragma once

#include "platform/types.h"

namespace platform {

// The four registers CPUID writes.
struct CpuidRegs {
  DWORD eax;  // EAX after CPUID
  DWORD ebx;  // EBX after CPUID
  DWORD ecx;  // ECX after CPUID
  DWORD edx;  // EDX after CPUID
};

// A processor. The default one reads the real processor; tests derive from
// this class (or use FakeProcessor) to present another one.
class ProcessorSource {
 public:
  virtual ~ProcessorSource() = default;
  // FALSE when the processor has no CPUID instruction.
  virtual bool HasCpuid() { return true; }
  // CPUID of a leaf and sub-leaf. Only called when HasCpuid().
  virtual CpuidRegs Cpuid(DWORD leaf, DWORD subleaf) = 0;
  // The time-stamp counter.
  virtual ULONGLONG ReadTimeStampCounter() = 0;
  // FALSE when executing an SSE instruction would raise an illegal
  // instruction (the operating system does not save the SSE state).
  virtual bool SseEnabledByOs() { return true; }
  // The MXCSR bits the processor accepts; loading a value with any other
  // bit set raises a general-protection fault.
  virtual DWORD MxcsrMask() { return 0xFFFF; }
};

// A processor made of a table of leaves, for tests. Leaves not in the table
// answer zeros; the counter returns `tsc` and then adds `tsc_step`.
class FakeProcessor : public ProcessorSource {
 public:
  static constexpr int kMaxLeaves = 16;
  bool has_cpuid = true;            // FALSE: no CPUID instruction
  bool sse_enabled_by_os = true;    // FALSE: SSE probe faults
  ULONGLONG tsc = 0;                // next time-stamp counter value
  ULONGLONG tsc_step = 0;           // added after every read
  DWORD mxcsr_mask = 0xFFFF;        // MXCSR bits accepted (0xFFBF: no DAZ)
  int leaf_count = 0;               // rows used in `leaves`
  struct Leaf {
    DWORD leaf;      // CPUID leaf (EAX in)
    CpuidRegs regs;  // registers out
  } leaves[kMaxLeaves] = {};

  void SetLeaf(DWORD leaf, CpuidRegs regs);
  bool HasCpuid() override { return has_cpuid; }
  CpuidRegs Cpuid(DWORD leaf, DWORD subleaf) override;
  ULONGLONG ReadTimeStampCounter() override;
  bool SseEnabledByOs() override { return sse_enabled_by_os; }
  DWORD MxcsrMask() override { return mxcsr_mask; }
};

// Installs a processor (null: the real one again). The caller keeps it alive
// while it is installed. Not thread-safe: install before starting threads.
void SetProcessorSource(ProcessorSource* source);
ProcessorSource& CurrentProcessor();

// Shorthands over CurrentProcessor(). Cpuid returns FALSE (and zeros) when
// there is no CPUID instruction.
bool Cpuid(DWORD leaf, DWORD subleaf, CpuidRegs* out);
ULONGLONG ReadTimeStampCounter();

// MXCSR of the calling thread.
DWORD GetMxcsr();
void SetMxcsr(DWORD value);
// Loads MXCSR as a guarded load would: FALSE, and MXCSR unchanged, when the
// value has a bit outside the current processor's MXCSR mask (the load
// would fault).
bool TrySetMxcsr(DWORD value);

// The x87 control word of the calling thread (rounding in bits 10-11,
// precision in bits 8-9, exception masks in bits 0-5).
WORD GetX87ControlWord();
void SetX87ControlWord(WORD value);

}  // namespace platform

// ---- System information ----------------------------------------------------
constexpr DWORD PROCESSOR_INTEL_386 = 386;
constexpr DWORD PROCESSOR_INTEL_486 = 486;
constexpr DWORD PROCESSOR_INTEL_PENTIUM = 586;
constexpr DWORD PROCESSOR_AMD_X8664 = 8664;
constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;

struct SYSTEM_INFO {
  WORD wProcessorArchitecture;        // PROCESSOR_ARCHITECTURE_*
  WORD wReserved;                     // 0
  DWORD dwPageSize;                   // bytes per page
  LPVOID lpMinimumApplicationAddress; // lowest usable address
  LPVOID lpMaximumApplicationAddress; // highest usable address
  DWORD_PTR dwActiveProcessorMask;    // one bit per processor
  DWORD dwNumberOfProcessors;         // processors online
  DWORD dwProcessorType;              // PROCESSOR_INTEL_* / PROCESSOR_AMD_X8664
  DWORD dwAllocationGranularity;      // bytes
  WORD wProcessorLevel;               // family
  WORD wProcessorRevision;            // model and stepping
};
void GetSystemInfo(SYSTEM_INFO* info);

// ---- Version --------------------------------------------------------------------
constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;  // the 9x platform
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;  // sizeof(OSVERSIONINFOW), set by the caller
  DWORD dwMajorVersion;       // major version
  DWORD dwMinorVersion;       // minor version
  DWORD dwBuildNumber;        // build number
  DWORD dwPlatformId;         // VER_PLATFORM_*
  WCHAR szCSDVersion[128];    // service-pack text, e.g. "Service Pack 1"
};
// FALSE (ERROR_INVALID_PARAMETER) when the size field is not set.
BOOL GetVersionExW(OSVERSIONINFOW* info);

// Whether a process runs under the 32-bit emulation of a 64-bit system, as
// the system model says. Only the current process (any handle) is known.
// FALSE (ERROR_INVALID_PARAMETER) for a null result pointer.
BOOL IsWow64Process(HANDLE process, BOOL* wow64);

namespace platform {

// The system the process reports. Defaults: NT platform, 6.1, build 7601,
// "Service Pack 1", processor type 586 on a 32-bit x86 (the library was
// built for 32-bit x86), processor count from the machine, page size 4096.
struct SystemModel {
  DWORD platform_id = VER_PLATFORM_WIN32_NT;  // VER_PLATFORM_*
  DWORD major = 6;                            // major version
  DWORD minor = 1;                            // minor version
  DWORD build = 7601;                         // build number
  char16_t service_pack[128] = u"Service Pack 1";  // service-pack text
  DWORD processor_type = PROCESSOR_INTEL_PENTIUM;  // GetSystemInfo type
  DWORD processor_count = 0;                  // 0: the machine's count
  bool wow64 = false;                         // IsWow64Process answer
  bool has_is_wow64 = true;                   // FALSE: kernel32 lacks IsWow64Process
};

// Replaces the reported system (tests); ResetSystemModel restores defaults.
void SetSystemModel(const SystemModel& model);
void ResetSystemModel();
SystemModel CurrentSystemModel();

}  // namespace platform
