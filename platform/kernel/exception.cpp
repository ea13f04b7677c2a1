#include "platform/kernel/exception.h"

#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/kernel/error.h"
#include "platform/kernel/memory.h"

namespace {

uintptr_t PageSize() {
  static const uintptr_t size = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  return size;
}

// ---- Reading /proc files without allocating ------------------------------------------------
//
// The crash path reads the mapping list and the status file from a signal
// handler, so these readers use a fixed buffer and plain system calls only.

// Reads a file line by line through a fixed buffer. Lines longer than the
// line buffer are cut (the rest is skipped).
class LineReader {
 public:
  explicit LineReader(const char* path) : fd_(open(path, O_RDONLY | O_CLOEXEC)) {}
  ~LineReader() {
    if (fd_ >= 0) close(fd_);
  }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  bool ok() const { return fd_ >= 0; }

  // The next line without its '\n', or NULL at the end.
  const char* Next() {
    size_t used = 0;
    bool any = false;
    for (;;) {
      if (pos_ == end_) {
        ssize_t n = fd_ >= 0 ? read(fd_, buffer_, sizeof buffer_) : -1;
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pos_ = 0;
        end_ = static_cast<size_t>(n);
      }
      any = true;
      char c = buffer_[pos_++];
      if (c == '\n') break;
      if (used + 1 < sizeof line_) line_[used++] = c;
    }
    line_[used] = '\0';
    return any ? line_ : nullptr;
  }

 private:
  int fd_;               // the open file, or -1
  char buffer_[4096];    // bytes read ahead
  size_t pos_ = 0;       // next unread byte of buffer_
  size_t end_ = 0;       // bytes held in buffer_
  char line_[640];       // the current line
};

// Reads a hexadecimal number; *text moves past it.
uintptr_t ParseHex(const char** text) {
  uintptr_t value = 0;
  for (const char* p = *text;; ++p) {
    char c = *p;
    int digit = c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) {
      *text = p;
      return value;
    }
    value = value * 16 + static_cast<uintptr_t>(digit);
  }
}

const char* SkipField(const char* p) {
  while (*p && *p != ' ') ++p;
  while (*p == ' ') ++p;
  return p;
}

// One line of /proc/self/maps: "lo-hi perms offset dev inode path".
struct Mapping {
  uintptr_t lo;       // first address
  uintptr_t hi;       // one past the last address
  char perms[4];      // "rwxp" style
  bool has_inode;     // backed by a file
};

bool ParseMapping(const char* line, Mapping* m) {
  const char* p = line;
  m->lo = ParseHex(&p);
  if (*p != '-') return false;
  ++p;
  m->hi = ParseHex(&p);
  if (*p != ' ') return false;
  ++p;
  bool ended = false;
  for (int i = 0; i < 4; ++i) {
    ended = ended || !p[i];
    m->perms[i] = ended ? '-' : p[i];
  }
  p = SkipField(p);     // perms
  p = SkipField(p);     // offset
  p = SkipField(p);     // device
  m->has_inode = *p && *p != '0';
  return m->hi > m->lo;
}

DWORD ProtectionOf(const char perms[4]) {
  bool r = perms[0] == 'r', w = perms[1] == 'w', x = perms[2] == 'x';
  if (x) return w ? PAGE_EXECUTE_READWRITE : r ? PAGE_EXECUTE_READ : PAGE_EXECUTE;
  if (w) return PAGE_READWRITE;
  return r ? PAGE_READONLY : PAGE_NOACCESS;
}

int ProtFromPage(DWORD protect) {
  switch (protect) {
    case PAGE_READONLY: return PROT_READ;
    case PAGE_READWRITE: return PROT_READ | PROT_WRITE;
    case PAGE_EXECUTE: return PROT_EXEC;
    case PAGE_EXECUTE_READ: return PROT_READ | PROT_EXEC;
    case PAGE_EXECUTE_READWRITE: return PROT_READ | PROT_WRITE | PROT_EXEC;
    default: return PROT_NONE;
  }
}

// ---- Modules -------------------------------------------------------------------------------

struct ModuleSearch {
  uintptr_t address;            // what is looked for
  platform::ModuleSpan* span;   // filled on a hit
  bool found;                   // a module contains the address
};

bool IsSystemLibraryPath(const char* path) {
  static const char* const kPrefixes[] = {"/lib/", "/lib32/", "/lib64/", "/libx32/", "/usr/lib"};
  for (const char* prefix : kPrefixes)
    if (std::strncmp(path, prefix, std::strlen(prefix)) == 0) return true;
  return false;
}

void CopyPath(char* out, size_t size, const char* text) {
  size_t n = std::strlen(text);
  if (n >= size) n = size - 1;
  std::memcpy(out, text, n);
  out[n] = '\0';
}

int VisitModule(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<ModuleSearch*>(data);
  uintptr_t low = UINTPTR_MAX, high = 0;
  bool hit = false;
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    uintptr_t start = info->dlpi_addr + ph.p_vaddr;
    uintptr_t end = start + ph.p_memsz;
    if (start < low) low = start;
    if (end > high) high = end;
    if (search->address >= start && search->address < end) hit = true;
  }
  if (!hit) return 0;
  platform::ModuleSpan* span = search->span;
  span->base = reinterpret_cast<void*>(low & ~(PageSize() - 1));
  span->size = high - reinterpret_cast<uintptr_t>(span->base);
  const char* name = info->dlpi_name ? info->dlpi_name : "";
  if (!name[0]) {
    // The main program has no name in the loader's list.
    ssize_t n = readlink("/proc/self/exe", span->path, sizeof span->path - 1);
    span->path[n > 0 ? n : 0] = '\0';
    span->application = TRUE;
  } else {
    CopyPath(span->path, sizeof span->path, name);
    // A name that is no path (the kernel's shared page) has no file.
    if (name[0] != '/') span->path[0] = '\0';
    span->application = name[0] == '/' && !IsSystemLibraryPath(name) ? TRUE : FALSE;
  }
  search->found = true;
  return 1;
}

// ---- Alternate signal stacks ---------------------------------------------------------------

// The alternate stack a thread got from EnsureAltSignalStack.
struct AltStack {
  void* memory = nullptr;  // the mapping, guard page first
  size_t bytes = 0;        // its size
  stack_t previous{};      // the stack the thread had before
  ~AltStack() {
    if (!memory) return;
    stack_t restore = previous;
    if (!restore.ss_sp) restore.ss_flags = SS_DISABLE;
    // Fails while the thread runs on the stack: then it must stay mapped.
    if (sigaltstack(&restore, nullptr) == 0) munmap(memory, bytes);
  }
};
thread_local AltStack t_alt_stack;

// ---- The filter and the signal handlers -------------------------------------------------------

constexpr int kCaughtSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP};
constexpr int kCaughtCount = sizeof(kCaughtSignals) / sizeof(kCaughtSignals[0]);

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};  // the process's filter
std::atomic<int> g_in_filter{0};     // 1 while a filter call runs (any thread)
std::atomic<UINT> g_error_mode{0};   // SetErrorMode's word
std::mutex g_install_lock;           // guards the two below
bool g_handlers_installed = false;   // our handlers are in place
struct sigaction g_previous[kCaughtCount];  // the handlers they replaced

// Enters the filter unless it is already running; true when entered.
bool EnterFilter() {
  int expected = 0;
  return g_in_filter.compare_exchange_strong(expected, 1);
}

// Ends the process with the default action of `sig`: killed by that signal.
[[noreturn]] void DieBySignal(int sig) {
  struct sigaction dfl;
  std::memset(&dfl, 0, sizeof dfl);
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
  _exit(128 + sig);  // only when the signal did not end the process
}

// Runs the handler `sig` had before our filter was installed, if any. The
// table is not locked: it only changes while no filter is set.
void ChainPrevious(int sig, siginfo_t* info, void* uc) {
  for (int i = 0; i < kCaughtCount; ++i) {
    if (kCaughtSignals[i] != sig) continue;
    const struct sigaction& previous = g_previous[i];
    if (previous.sa_flags & SA_SIGINFO) {
      if (previous.sa_sigaction) previous.sa_sigaction(sig, info, uc);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
      previous.sa_handler(sig);
    }
  }
}

void FillContext(const ucontext_t* uc, CONTEXT* c) {
  const greg_t* g = uc->uc_mcontext.gregs;
  std::memset(c, 0, sizeof *c);
  c->ContextFlags = CONTEXT_FULL;
  c->Rax = static_cast<DWORD64>(g[REG_RAX]);
  c->Rcx = static_cast<DWORD64>(g[REG_RCX]);
  c->Rdx = static_cast<DWORD64>(g[REG_RDX]);
  c->Rbx = static_cast<DWORD64>(g[REG_RBX]);
  c->Rsp = static_cast<DWORD64>(g[REG_RSP]);
  c->Rbp = static_cast<DWORD64>(g[REG_RBP]);
  c->Rsi = static_cast<DWORD64>(g[REG_RSI]);
  c->Rdi = static_cast<DWORD64>(g[REG_RDI]);
  c->R8 = static_cast<DWORD64>(g[REG_R8]);
  c->R9 = static_cast<DWORD64>(g[REG_R9]);
  c->R10 = static_cast<DWORD64>(g[REG_R10]);
  c->R11 = static_cast<DWORD64>(g[REG_R11]);
  c->R12 = static_cast<DWORD64>(g[REG_R12]);
  c->R13 = static_cast<DWORD64>(g[REG_R13]);
  c->R14 = static_cast<DWORD64>(g[REG_R14]);
  c->R15 = static_cast<DWORD64>(g[REG_R15]);
  c->Rip = static_cast<DWORD64>(g[REG_RIP]);
  c->EFlags = static_cast<DWORD>(g[REG_EFL]);
  // CS, GS and FS in the low three 16-bit fields; SS in the fourth on
  // kernels that report it.
  uint64_t segments = static_cast<uint64_t>(g[REG_CSGSFS]);
  c->SegCs = static_cast<WORD>(segments);
  c->SegGs = static_cast<WORD>(segments >> 16);
  c->SegFs = static_cast<WORD>(segments >> 32);
  c->SegSs = static_cast<WORD>(segments >> 48);
  if (!c->SegSs) {
    WORD ss;
    __asm__ volatile("mov %%ss, %0" : "=r"(ss));
    c->SegSs = ss;
  }
}

void StoreContext(const CONTEXT* c, ucontext_t* uc) {
  greg_t* g = uc->uc_mcontext.gregs;
  g[REG_RAX] = static_cast<greg_t>(c->Rax);
  g[REG_RCX] = static_cast<greg_t>(c->Rcx);
  g[REG_RDX] = static_cast<greg_t>(c->Rdx);
  g[REG_RBX] = static_cast<greg_t>(c->Rbx);
  g[REG_RSP] = static_cast<greg_t>(c->Rsp);
  g[REG_RBP] = static_cast<greg_t>(c->Rbp);
  g[REG_RSI] = static_cast<greg_t>(c->Rsi);
  g[REG_RDI] = static_cast<greg_t>(c->Rdi);
  g[REG_R8] = static_cast<greg_t>(c->R8);
  g[REG_R9] = static_cast<greg_t>(c->R9);
  g[REG_R10] = static_cast<greg_t>(c->R10);
  g[REG_R11] = static_cast<greg_t>(c->R11);
  g[REG_R12] = static_cast<greg_t>(c->R12);
  g[REG_R13] = static_cast<greg_t>(c->R13);
  g[REG_R14] = static_cast<greg_t>(c->R14);
  g[REG_R15] = static_cast<greg_t>(c->R15);
  g[REG_RIP] = static_cast<greg_t>(c->Rip);
  g[REG_EFL] = static_cast<greg_t>(c->EFlags);
}

constexpr greg_t kPageFaultTrap = 14;     // x86 #PF
constexpr greg_t kBreakpointTrap = 3;     // x86 #BP (int3)
constexpr uintptr_t kStackOverflowReach = 64 * 1024;  // see the header

// The access kind and address of a memory fault.
void SetAccessParameters(const siginfo_t* info, const ucontext_t* uc, EXCEPTION_RECORD* r) {
  const greg_t* g = uc->uc_mcontext.gregs;
  ULONG_PTR kind = EXCEPTION_READ_FAULT;
  ULONG_PTR address = 0;
  if (info->si_code > 0) {  // raised by the processor, not sent
    address = reinterpret_cast<ULONG_PTR>(info->si_addr);
    if (g[REG_TRAPNO] == kPageFaultTrap) {
      greg_t err = g[REG_ERR];
      kind = (err & 0x10) ? EXCEPTION_EXECUTE_FAULT : (err & 0x2) ? EXCEPTION_WRITE_FAULT
                                                                  : EXCEPTION_READ_FAULT;
    } else if (info->si_code == SI_KERNEL) {
      address = ~static_cast<ULONG_PTR>(0);  // a protection fault names no address
    }
  }
  r->NumberParameters = 2;
  r->ExceptionInformation[0] = kind;
  r->ExceptionInformation[1] = address;
}

DWORD FpeCode(int si_code) {
  switch (si_code) {
    case FPE_INTDIV: return EXCEPTION_INT_DIVIDE_BY_ZERO;
    case FPE_INTOVF: return EXCEPTION_INT_OVERFLOW;
    case FPE_FLTDIV: return EXCEPTION_FLT_DIVIDE_BY_ZERO;
    case FPE_FLTOVF: return EXCEPTION_FLT_OVERFLOW;
    case FPE_FLTUND: return EXCEPTION_FLT_UNDERFLOW;
    case FPE_FLTRES: return EXCEPTION_FLT_INEXACT_RESULT;
    case FPE_FLTINV: return EXCEPTION_FLT_INVALID_OPERATION;
    case FPE_FLTSUB: return EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
    default: return EXCEPTION_FLT_INVALID_OPERATION;
  }
}

void FillRecord(int sig, const siginfo_t* info, const ucontext_t* uc, const CONTEXT* c,
                EXCEPTION_RECORD* r) {
  std::memset(r, 0, sizeof *r);
  r->ExceptionAddress = reinterpret_cast<void*>(c->Rip);
  switch (sig) {
    case SIGSEGV: {
      r->ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
      SetAccessParameters(info, uc, r);
      uintptr_t address = r->ExceptionInformation[1];
      if (info->si_code == SEGV_MAPERR && address + kStackOverflowReach >= c->Rsp &&
          address < c->Rsp + kStackOverflowReach)
        r->ExceptionCode = EXCEPTION_STACK_OVERFLOW;
      break;
    }
    case SIGBUS:
      if (info->si_code == BUS_ADRALN) {
        r->ExceptionCode = EXCEPTION_DATATYPE_MISALIGNMENT;
      } else {
        r->ExceptionCode = EXCEPTION_IN_PAGE_ERROR;
        SetAccessParameters(info, uc, r);
      }
      break;
    case SIGILL:
      r->ExceptionCode = info->si_code == ILL_PRVOPC || info->si_code == ILL_PRVREG
                             ? EXCEPTION_PRIV_INSTRUCTION
                             : EXCEPTION_ILLEGAL_INSTRUCTION;
      break;
    case SIGFPE:
      r->ExceptionCode = FpeCode(info->si_code);
      break;
    case SIGTRAP:
      if (info->si_code == TRAP_TRACE) {
        r->ExceptionCode = EXCEPTION_SINGLE_STEP;
      } else {
        r->ExceptionCode = EXCEPTION_BREAKPOINT;
        // After int3 the instruction pointer is past the one-byte instruction.
        if (uc->uc_mcontext.gregs[REG_TRAPNO] == kBreakpointTrap)
          r->ExceptionAddress = reinterpret_cast<void*>(c->Rip - 1);
      }
      break;
    default:
      r->ExceptionCode = EXCEPTION_NONCONTINUABLE_EXCEPTION;
      break;
  }
}

void CrashHandler(int sig, siginfo_t* info, void* context) {
  // A fault while the filter runs (here or on another thread) ends the
  // process at once: the filter is never entered twice.
  if (!EnterFilter()) DieBySignal(sig);
  auto* uc = static_cast<ucontext_t*>(context);
  CONTEXT registers;
  EXCEPTION_RECORD record;
  FillContext(uc, &registers);
  FillRecord(sig, info, uc, &registers, &record);
  EXCEPTION_POINTERS pointers = {&record, &registers};
  LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load();
  LONG answer = filter ? filter(&pointers) : EXCEPTION_CONTINUE_SEARCH;
  if (answer == EXCEPTION_CONTINUE_EXECUTION) {
    StoreContext(&registers, uc);
    g_in_filter.store(0);
    return;
  }
  if (answer != EXCEPTION_EXECUTE_HANDLER) ChainPrevious(sig, info, context);
  DieBySignal(sig);
}

void InstallHandlersLocked() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = &CrashHandler;
  sigemptyset(&action.sa_mask);
  // SA_NODEFER: a second fault in the filter re-enters the handler, which
  // then ends the process instead of hanging on a blocked signal.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  for (int i = 0; i < kCaughtCount; ++i) sigaction(kCaughtSignals[i], &action, &g_previous[i]);
  g_handlers_installed = true;
}

void RestoreHandlersLocked() {
  for (int i = 0; i < kCaughtCount; ++i) sigaction(kCaughtSignals[i], &g_previous[i], nullptr);
  g_handlers_installed = false;
}

// Copies bytes one by one, outside the sanitizer's view; the caller has
// made sure they are readable.
__attribute__((no_sanitize("address"))) void CopyUnchecked(const void* from, void* to,
                                                           size_t bytes) {
  const volatile unsigned char* s = static_cast<const volatile unsigned char*>(from);
  unsigned char* d = static_cast<unsigned char*>(to);
  for (size_t i = 0; i < bytes; ++i) d[i] = s[i];
}

}  // namespace

// ---- The unhandled-exception filter ------------------------------------------------------------

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
  std::lock_guard<std::mutex> guard(g_install_lock);
  LPTOP_LEVEL_EXCEPTION_FILTER previous = g_filter.exchange(filter);
  if (filter) {
    platform::EnsureAltSignalStack();
    if (!g_handlers_installed) InstallHandlersLocked();
  } else if (g_handlers_installed) {
    RestoreHandlersLocked();
  }
  return previous;
}

LONG UnhandledExceptionFilter(EXCEPTION_POINTERS* pointers) {
  LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load();
  if (!filter || !pointers) return EXCEPTION_CONTINUE_SEARCH;
  if (!EnterFilter()) return EXCEPTION_CONTINUE_SEARCH;
  LONG answer = filter(pointers);
  g_in_filter.store(0);
  return answer;
}

void RtlCaptureContext(CONTEXT* context) {
  if (!context) return;
  ucontext_t uc;
  std::memset(&uc, 0, sizeof uc);
  getcontext(&uc);
  // getcontext keeps neither the flags nor the segment registers.
  uint64_t flags;
  WORD cs, fs, gs, ss;
  __asm__ volatile("pushfq; popq %0" : "=r"(flags));
  __asm__ volatile("mov %%cs, %0" : "=r"(cs));
  __asm__ volatile("mov %%fs, %0" : "=r"(fs));
  __asm__ volatile("mov %%gs, %0" : "=r"(gs));
  __asm__ volatile("mov %%ss, %0" : "=r"(ss));
  uc.uc_mcontext.gregs[REG_EFL] = static_cast<greg_t>(flags);
  uc.uc_mcontext.gregs[REG_CSGSFS] =
      static_cast<greg_t>(cs | static_cast<uint64_t>(gs) << 16 | static_cast<uint64_t>(fs) << 32 |
                          static_cast<uint64_t>(ss) << 48);
  FillContext(&uc, context);
}

// ---- Process error mode and debugger --------------------------------------------------------

UINT SetErrorMode(UINT mode) { return g_error_mode.exchange(mode); }

UINT GetErrorMode() { return g_error_mode.load(); }

BOOL IsDebuggerPresent() {
  LineReader status("/proc/self/status");
  static const char kKey[] = "TracerPid:";
  while (const char* line = status.Next()) {
    if (std::strncmp(line, kKey, sizeof kKey - 1) != 0) continue;
    const char* p = line + sizeof kKey - 1;
    while (*p == ' ' || *p == '\t') ++p;
    return *p && *p != '0' ? TRUE : FALSE;
  }
  return FALSE;
}

// ---- Memory regions ---------------------------------------------------------------------------

SIZE_T VirtualQuery(LPCVOID address, MEMORY_BASIC_INFORMATION* info, SIZE_T length) {
  if (!info || length < sizeof *info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  LineReader maps("/proc/self/maps");
  if (!maps.ok()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  const uintptr_t page = reinterpret_cast<uintptr_t>(address) & ~(PageSize() - 1);
  constexpr uintptr_t kUserTop = uintptr_t{1} << 47;  // end of the user address space
  std::memset(info, 0, sizeof *info);
  info->BaseAddress = reinterpret_cast<void*>(page);
  info->State = MEM_FREE;
  info->Protect = PAGE_NOACCESS;
  info->RegionSize = page < kUserTop ? kUserTop - page : PageSize();
  Mapping m;
  while (const char* line = maps.Next()) {
    if (!ParseMapping(line, &m) || m.hi <= page) continue;
    if (m.lo > page) {  // the page lies in a gap before this mapping
      info->RegionSize = m.lo - page;
      return sizeof *info;
    }
    DWORD protect = ProtectionOf(m.perms);
    info->RegionSize = m.hi - page;
    info->AllocationBase = reinterpret_cast<void*>(m.lo);
    info->AllocationProtect = protect;
    info->State = protect == PAGE_NOACCESS ? MEM_RESERVE : MEM_COMMIT;
    info->Protect = protect == PAGE_NOACCESS ? 0 : protect;
    info->Type = m.has_inode ? MEM_MAPPED : MEM_PRIVATE;
    platform::ModuleSpan span;
    if (platform::FindModuleOfAddress(reinterpret_cast<void*>(page), &span)) {
      // Every part of a module, its zero-filled data too, belongs to the
      // module's allocation.
      info->AllocationBase = span.base;
      info->AllocationProtect = PAGE_EXECUTE_WRITECOPY;
      info->Type = MEM_IMAGE;
    }
    return sizeof *info;
  }
  return sizeof *info;
}

namespace platform {

BOOL EnsureAltSignalStack() {
  stack_t current;
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) &&
      current.ss_size >= WU_ALTSTACK_SIZE)
    return TRUE;
  if (t_alt_stack.memory) return TRUE;  // ours, already in place
  const size_t guard = PageSize();
  size_t bytes = WU_ALTSTACK_SIZE + guard;
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  mprotect(memory, guard, PROT_NONE);  // an overflow of the alternate stack faults
  stack_t fresh;
  fresh.ss_sp = static_cast<char*>(memory) + guard;
  fresh.ss_size = WU_ALTSTACK_SIZE;
  fresh.ss_flags = 0;
  stack_t previous;
  if (sigaltstack(&fresh, &previous) != 0) {
    munmap(memory, bytes);
    SetLastErrorFromErrno();
    return FALSE;
  }
  t_alt_stack.memory = memory;
  t_alt_stack.bytes = bytes;
  t_alt_stack.previous = (previous.ss_flags & SS_DISABLE) ? stack_t{} : previous;
  return TRUE;
}

BOOL GetCurrentThreadStack(void** low, void** high) {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return FALSE;
  void* base = nullptr;
  size_t size = 0;
  int rc = pthread_attr_getstack(&attr, &base, &size);
  pthread_attr_destroy(&attr);
  if (rc != 0) return FALSE;
  if (low) *low = base;
  if (high) *high = static_cast<char*>(base) + size;
  return TRUE;
}

BOOL FindModuleOfAddress(const void* address, ModuleSpan* span) {
  if (!span) return FALSE;
  ModuleSearch search = {reinterpret_cast<uintptr_t>(address), span, false};
  dl_iterate_phdr(&VisitModule, &search);
  return search.found ? TRUE : FALSE;
}

BOOL ReadMemory(const void* address, void* out, SIZE_T bytes) {
  if (bytes == 0) return TRUE;
  if (!address || !out) return FALSE;
  iovec local = {out, bytes};
  iovec remote = {const_cast<void*>(address), bytes};
  ssize_t got = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
  if (got == static_cast<ssize_t>(bytes)) return TRUE;
  if (got >= 0 || errno == EFAULT) return FALSE;
  // The call is not available here: check through the mapping list instead.
  if (IsBadReadPtr(address, bytes)) return FALSE;
  CopyUnchecked(address, out, bytes);
  return TRUE;
}

void* MapPages(SIZE_T bytes, DWORD protect) {
  if (bytes == 0) return nullptr;
  void* p = mmap(nullptr, bytes, ProtFromPage(protect), MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return p;
}

BOOL ProtectPages(void* address, SIZE_T bytes, DWORD protect) {
  if (mprotect(address, bytes, ProtFromPage(protect)) != 0) {
    SetLastErrorFromErrno();
    return FALSE;
  }
  return TRUE;
}

void UnmapPages(void* address, SIZE_T bytes) {
  if (address && bytes) munmap(address, bytes);
}

}  // namespace platform
