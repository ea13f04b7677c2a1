#include "platform/cpu.h"

#include <unistd.h>

#include <atomic>
#include <mutex>

#include "platform/error.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define WU_HAVE_X86 1
#else
#define WU_HAVE_X86 0
#endif

namespace platform {

namespace {

// The processor the program runs on. On x86-64 CPUID always exists and the
// operating system always saves the SSE state.
class RealProcessor : public ProcessorSource {
 public:
  bool HasCpuid() override { return WU_HAVE_X86 != 0; }

  CpuidRegs Cpuid(DWORD leaf, DWORD subleaf) override {
    CpuidRegs r = {0, 0, 0, 0};
#if WU_HAVE_X86
    unsigned a, b, c, d;
    __cpuid_count(leaf, subleaf, a, b, c, d);
    r.eax = a;
    r.ebx = b;
    r.ecx = c;
    r.edx = d;
#endif
    return r;
  }

  ULONGLONG ReadTimeStampCounter() override {
#if WU_HAVE_X86
    return __rdtsc();
#else
    return 0;
#endif
  }

  bool SseEnabledByOs() override { return WU_HAVE_X86 != 0; }

  DWORD MxcsrMask() override {
#if WU_HAVE_X86
    // FXSAVE stores the mask at byte 28; 0 there means the original mask
    // of processors without denormals-are-zero.
    alignas(16) unsigned char area[512] = {};
    __asm__ volatile("fxsave %0" : "=m"(area));
    DWORD mask = static_cast<DWORD>(area[28]) | (static_cast<DWORD>(area[29]) << 8) |
                 (static_cast<DWORD>(area[30]) << 16) | (static_cast<DWORD>(area[31]) << 24);
    return mask != 0 ? mask : 0xFFBF;
#else
    return 0;
#endif
  }
};

RealProcessor g_real_processor;                              // used when nothing is installed
std::atomic<ProcessorSource*> g_processor{&g_real_processor};  // the installed processor

// The reported system, guarded by its own lock (it is a copyable record).
std::mutex g_model_lock;
SystemModel g_model;

}  // namespace

void FakeProcessor::SetLeaf(DWORD leaf, CpuidRegs regs) {
  for (int i = 0; i < leaf_count; ++i) {
    if (leaves[i].leaf == leaf) {
      leaves[i].regs = regs;
      return;
    }
  }
  if (leaf_count < kMaxLeaves) {
    leaves[leaf_count].leaf = leaf;
    leaves[leaf_count].regs = regs;
    ++leaf_count;
  }
}

CpuidRegs FakeProcessor::Cpuid(DWORD leaf, DWORD subleaf) {
  for (int i = 0; i < leaf_count; ++i)
    if (leaves[i].leaf == leaf) return leaves[i].regs;
  return CpuidRegs{0, 0, 0, 0};
}

ULONGLONG FakeProcessor::ReadTimeStampCounter() {
  ULONGLONG value = tsc;
  tsc += tsc_step;
  return value;
}

void SetProcessorSource(ProcessorSource* source) {
  g_processor.store(source ? source : &g_real_processor, std::memory_order_release);
}

ProcessorSource& CurrentProcessor() { return *g_processor.load(std::memory_order_acquire); }

bool Cpuid(DWORD leaf, DWORD subleaf, CpuidRegs* out) {
  ProcessorSource& p = CurrentProcessor();
  if (!p.HasCpuid()) {
    if (out) *out = CpuidRegs{0, 0, 0, 0};
    return false;
  }
  CpuidRegs r = p.Cpuid(leaf, subleaf);
  if (out) *out = r;
  return true;
}

ULONGLONG ReadTimeStampCounter() { return CurrentProcessor().ReadTimeStampCounter(); }

DWORD GetMxcsr() {
#if WU_HAVE_X86
  return _mm_getcsr();
#else
  return 0;
#endif
}

void SetMxcsr(DWORD value) {
#if WU_HAVE_X86
  _mm_setcsr(value);
#else
  (void)value;
#endif
}

WORD GetX87ControlWord() {
#if WU_HAVE_X86
  WORD word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
#else
  return 0;
#endif
}

void SetX87ControlWord(WORD value) {
#if WU_HAVE_X86
  __asm__ volatile("fldcw %0" : : "m"(value));
#else
  (void)value;
#endif
}

bool TrySetMxcsr(DWORD value) {
  if (value & ~CurrentProcessor().MxcsrMask()) return false;
  // The real processor must accept it too, whatever an installed one says.
  if (value & ~g_real_processor.MxcsrMask()) return false;
  SetMxcsr(value);
  return true;
}

void SetSystemModel(const SystemModel& model) {
  std::lock_guard<std::mutex> guard(g_model_lock);
  g_model = model;
}

void ResetSystemModel() { SetSystemModel(SystemModel()); }

SystemModel CurrentSystemModel() {
  std::lock_guard<std::mutex> guard(g_model_lock);
  return g_model;
}

}  // namespace platform

namespace {

// Family and model/stepping of the current processor, as the platform
// reports them in wProcessorLevel and wProcessorRevision.
void ProcessorLevel(DWORD type, WORD* level, WORD* revision) {
  platform::CpuidRegs r;
  if (!platform::Cpuid(0, 0, &r) || r.eax < 1) {
    *level = static_cast<WORD>(type == PROCESSOR_INTEL_486 ? 4 : (type == 386 ? 3 : 5));
    *revision = 0;
    return;
  }
  platform::Cpuid(1, 0, &r);
  DWORD family = (r.eax >> 8) & 0xF;
  DWORD model = (r.eax >> 4) & 0xF;
  if (family == 0xF) family += (r.eax >> 20) & 0xFF;
  if (family == 6 || family >= 0xF) model += ((r.eax >> 16) & 0xF) << 4;
  *level = static_cast<WORD>(family);
  *revision = static_cast<WORD>((model << 8) | (r.eax & 0xF));
}

}  // namespace

void GetSystemInfo(SYSTEM_INFO* info) {
  if (!info) return;
  platform::SystemModel model = platform::CurrentSystemModel();
  bool x64 = model.processor_type == PROCESSOR_AMD_X8664;
  DWORD count = model.processor_count;
  if (count == 0) {
    auto online = sysconf(_SC_NPROCESSORS_ONLN);
    count = online > 0 ? static_cast<DWORD>(online) : 1;
  }
  auto page = sysconf(_SC_PAGESIZE);

  *info = SYSTEM_INFO();
  info->wProcessorArchitecture = x64 ? PROCESSOR_ARCHITECTURE_AMD64 : PROCESSOR_ARCHITECTURE_INTEL;
  info->dwPageSize = page > 0 ? static_cast<DWORD>(page) : 4096;
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
  info->lpMaximumApplicationAddress =
      reinterpret_cast<LPVOID>(x64 ? 0x7FFFFFFEFFFFULL : 0x7FFEFFFFULL);
  DWORD mask_bits = count < 8 * sizeof(DWORD_PTR) ? count : 8 * sizeof(DWORD_PTR);
  info->dwActiveProcessorMask =
      mask_bits >= 8 * sizeof(DWORD_PTR) ? ~DWORD_PTR(0) : ((DWORD_PTR(1) << mask_bits) - 1);
  info->dwNumberOfProcessors = count;
  info->dwProcessorType = model.processor_type;
  info->dwAllocationGranularity = 65536;
  ProcessorLevel(model.processor_type, &info->wProcessorLevel, &info->wProcessorRevision);
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  platform::SystemModel model = platform::CurrentSystemModel();
  info->dwMajorVersion = model.major;
  info->dwMinorVersion = model.minor;
  info->dwBuildNumber = model.build;
  info->dwPlatformId = model.platform_id;
  // Bounded copy of the service-pack text; the record is always terminated.
  constexpr int kCap = sizeof(info->szCSDVersion) / sizeof(info->szCSDVersion[0]);
  int i = 0;
  for (; i < kCap - 1 && model.service_pack[i]; ++i) info->szCSDVersion[i] = model.service_pack[i];
  for (; i < kCap; ++i) info->szCSDVersion[i] = 0;
  return TRUE;
}

BOOL IsWow64Process(HANDLE process, BOOL* wow64) {
  if (!wow64) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *wow64 = platform::CurrentSystemModel().wow64 ? TRUE : FALSE;
  return TRUE;
}
