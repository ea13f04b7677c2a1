// Exceptions: real faults mapped to exception records and handed to the
// process's filter (resumed, or ending the process by the signal), the
// filter never entered twice, memory regions, modules and thread stacks.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/kernel/exception.h"

namespace {

const SIZE_T kPage = static_cast<SIZE_T>(sysconf(_SC_PAGESIZE));

// Pages that fault: one no-access page, unmapped at the end of the test.
class ExceptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page_ = platform::MapPages(kPage, PAGE_NOACCESS);
    ASSERT_NE(page_, nullptr);
  }
  void TearDown() override {
    SetUnhandledExceptionFilter(nullptr);
    platform::UnmapPages(page_, kPage);
  }
  void* page_ = nullptr;
};

// What the resuming filter saw.
struct Seen {
  int calls;                   // filter calls
  EXCEPTION_RECORD record;     // the last record
  void* page;                  // the page to make writable
};
Seen g_seen;

// Records the exception, opens the page and resumes the faulting write.
LONG OpenPageAndResume(EXCEPTION_POINTERS* pointers) {
  ++g_seen.calls;
  g_seen.record = *pointers->ExceptionRecord;
  platform::ProtectPages(g_seen.page, kPage, PAGE_READWRITE);
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST_F(ExceptionTest, WriteFaultReachesFilterWhichMayResume) {
  g_seen = {};
  g_seen.page = page_;
  EXPECT_EQ(SetUnhandledExceptionFilter(&OpenPageAndResume), nullptr);
  volatile int* target = static_cast<volatile int*>(page_) + 3;
  *target = 42;  // faults once; the filter opens the page and the write is redone
  EXPECT_EQ(*target, 42);
  EXPECT_EQ(g_seen.calls, 1);
  EXPECT_EQ(g_seen.record.ExceptionCode, EXCEPTION_ACCESS_VIOLATION);
  ASSERT_EQ(g_seen.record.NumberParameters, 2u);
  EXPECT_EQ(g_seen.record.ExceptionInformation[0], EXCEPTION_WRITE_FAULT);
  EXPECT_EQ(g_seen.record.ExceptionInformation[1], reinterpret_cast<ULONG_PTR>(target));
  platform::ModuleSpan span;
  ASSERT_TRUE(platform::FindModuleOfAddress(g_seen.record.ExceptionAddress, &span));
  EXPECT_TRUE(span.application);  // the faulting instruction is the test's own
  EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), &OpenPageAndResume);
}

TEST_F(ExceptionTest, ClearingTheFilterGivesTheSignalsTheirHandlersBack) {
  struct sigaction before, during, after;
  ASSERT_EQ(sigaction(SIGSEGV, nullptr, &before), 0);
  SetUnhandledExceptionFilter(&OpenPageAndResume);
  ASSERT_EQ(sigaction(SIGSEGV, nullptr, &during), 0);
  EXPECT_NE(during.sa_sigaction, before.sa_sigaction);
  EXPECT_TRUE(during.sa_flags & SA_ONSTACK);
  stack_t alt;
  ASSERT_EQ(sigaltstack(nullptr, &alt), 0);
  EXPECT_FALSE(alt.ss_flags & SS_DISABLE);
  EXPECT_GE(alt.ss_size, platform::WU_ALTSTACK_SIZE);
  SetUnhandledExceptionFilter(nullptr);
  ASSERT_EQ(sigaction(SIGSEGV, nullptr, &after), 0);
  EXPECT_EQ(after.sa_sigaction, before.sa_sigaction);
}

int g_direct_calls = 0;
LONG NestingFilter(EXCEPTION_POINTERS* pointers) {
  ++g_direct_calls;
  // A nested report while the filter runs is passed on, never re-entered.
  EXPECT_EQ(UnhandledExceptionFilter(pointers), EXCEPTION_CONTINUE_SEARCH);
  return EXCEPTION_EXECUTE_HANDLER;
}

TEST_F(ExceptionTest, DirectReportRunsTheFilterOnce) {
  EXCEPTION_RECORD record = {};
  record.ExceptionCode = EXCEPTION_BREAKPOINT;
  CONTEXT context;
  RtlCaptureContext(&context);
  EXCEPTION_POINTERS pointers = {&record, &context};
  EXPECT_EQ(UnhandledExceptionFilter(&pointers), EXCEPTION_CONTINUE_SEARCH);  // no filter
  g_direct_calls = 0;
  SetUnhandledExceptionFilter(&NestingFilter);
  EXPECT_EQ(UnhandledExceptionFilter(&pointers), EXCEPTION_EXECUTE_HANDLER);
  EXPECT_EQ(g_direct_calls, 1);
  EXPECT_EQ(UnhandledExceptionFilter(&pointers), EXCEPTION_EXECUTE_HANDLER);  // free again
  EXPECT_EQ(g_direct_calls, 2);
}

// ---- Faults that end the process -----------------------------------------------------------

// Prints the record to stderr and ends the process (execute handler).
LONG PrintAndEnd(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* r = pointers->ExceptionRecord;
  std::fprintf(stderr, "filter code=%08X params=%u kind=%llu address=%llx\n",
               static_cast<unsigned>(r->ExceptionCode), static_cast<unsigned>(r->NumberParameters),
               static_cast<unsigned long long>(r->ExceptionInformation[0]),
               static_cast<unsigned long long>(r->ExceptionInformation[1]));
  return EXCEPTION_EXECUTE_HANDLER;
}

void* g_fault_page;
void WriteFault() { *static_cast<volatile int*>(g_fault_page) = 1; }
void ReadFault() { (void)*static_cast<volatile int*>(g_fault_page); }
void DivideFault() {
  // In assembly: the compiler's own checks would catch a C division first.
  __asm__ volatile("xorl %%ecx, %%ecx\n\tmovl $1, %%eax\n\tcltd\n\tidivl %%ecx" ::
                       : "eax", "ecx", "edx");
}
void IllegalFault() { __builtin_trap(); }
void BreakpointFault() { __asm__ volatile("int3"); }
volatile int g_depth_limit = 1 << 30;  // never reached: the stack ends first
int Recurse(int depth, volatile char* previous) {
  volatile char frame[4096];
  frame[0] = previous ? previous[0] : 1;
  if (depth >= g_depth_limit) return frame[0];
  return Recurse(depth + 1, frame) + frame[1];
}
void StackOverflowFault() { Recurse(0, nullptr); }

TEST_F(ExceptionTest, FatalSignalsBecomeExceptionsAndEndTheProcessBySignal) {
  g_fault_page = page_;
  char address[32];
  std::snprintf(address, sizeof address, "%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(page_)));
  const struct {
    void (*fault)();
    int signal;
    std::string expected;  // what the filter printed
  } cases[] = {
      {&WriteFault, SIGSEGV, std::string("code=C0000005 params=2 kind=1 address=") + address},
      {&ReadFault, SIGSEGV, std::string("code=C0000005 params=2 kind=0 address=") + address},
      {&DivideFault, SIGFPE, "code=C0000094 params=0"},
      {&IllegalFault, SIGILL, "code=C000001D params=0"},
      {&BreakpointFault, SIGTRAP, "code=80000003 params=0"},
      // Caught on the alternate stack.
      {&StackOverflowFault, SIGSEGV, "code=C00000FD params=2 kind=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EXIT(
        {
          SetUnhandledExceptionFilter(&PrintAndEnd);
          c.fault();
        },
        ::testing::KilledBySignal(c.signal), c.expected);
  }
}

// A filter that faults itself.
LONG FaultingFilter(EXCEPTION_POINTERS*) {
  static int entries = 0;
  if (++entries > 1) _exit(3);  // entered twice: would end with code 3
  std::fprintf(stderr, "filter entered\n");
  WriteFault();
  return EXCEPTION_EXECUTE_HANDLER;
}

TEST_F(ExceptionTest, FaultInsideTheFilterEndsTheProcessAtOnce) {
  g_fault_page = page_;
  EXPECT_EXIT(
      {
        SetUnhandledExceptionFilter(&FaultingFilter);
        IllegalFault();
      },
      ::testing::KilledBySignal(SIGSEGV), "filter entered");
}

// A process that asks to be traced by its parent has a debugger attached.
// Exit code 2: the system refused the request (nothing to check then).
bool TracedOrRefused(int status) {
  return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 2);
}

TEST(ExceptionDeathTest, TracedProcessSeesADebugger) {
  EXPECT_EXIT(
      {
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(2);
        _exit(IsDebuggerPresent() ? 0 : 1);
      },
      TracedOrRefused, "");
}

// ---- Memory regions, modules, stacks ------------------------------------------------------------

int g_static_marker = 1;  // a module's writable data

TEST_F(ExceptionTest, VirtualQueryDescribesRegions) {
  MEMORY_BASIC_INFORMATION info;
  EXPECT_EQ(VirtualQuery(page_, nullptr, sizeof info), 0u);
  EXPECT_EQ(VirtualQuery(page_, &info, sizeof info - 1), 0u);

  // Stack memory: committed, private, read-write.
  int local = 0;
  ASSERT_EQ(VirtualQuery(&local, &info, sizeof info), sizeof info);
  EXPECT_EQ(info.State, MEM_COMMIT);
  EXPECT_EQ(info.Type, MEM_PRIVATE);
  EXPECT_EQ(info.Protect, PAGE_READWRITE);
  uintptr_t at = reinterpret_cast<uintptr_t>(&local);
  uintptr_t base = reinterpret_cast<uintptr_t>(info.BaseAddress);
  EXPECT_EQ(base, at & ~(kPage - 1));
  EXPECT_GT(base + info.RegionSize, at);

  // Code and data of the program: one image allocation at the module's base.
  platform::ModuleSpan span;
  ASSERT_TRUE(platform::FindModuleOfAddress(reinterpret_cast<void*>(&WriteFault), &span));
  ASSERT_EQ(VirtualQuery(reinterpret_cast<void*>(&WriteFault), &info, sizeof info), sizeof info);
  EXPECT_EQ(info.Type, MEM_IMAGE);
  EXPECT_EQ(info.AllocationBase, span.base);
  EXPECT_TRUE(info.Protect == PAGE_EXECUTE_READ || info.Protect == PAGE_EXECUTE_READWRITE);
  ASSERT_EQ(VirtualQuery(&g_static_marker, &info, sizeof info), sizeof info);
  EXPECT_EQ(info.AllocationBase, span.base);
  EXPECT_EQ(info.Protect, PAGE_READWRITE);

  // A no-access mapping is reserved; an unmapped page is free up to the
  // next mapping.
  ASSERT_EQ(VirtualQuery(page_, &info, sizeof info), sizeof info);
  EXPECT_EQ(info.State, MEM_RESERVE);
  EXPECT_EQ(info.AllocationBase, page_);
  char* two = static_cast<char*>(platform::MapPages(2 * kPage, PAGE_READWRITE));
  ASSERT_NE(two, nullptr);
  platform::UnmapPages(two, kPage);
  ASSERT_EQ(VirtualQuery(two, &info, sizeof info), sizeof info);
  EXPECT_EQ(info.State, MEM_FREE);
  EXPECT_EQ(info.AllocationBase, nullptr);
  EXPECT_GE(info.RegionSize, kPage);
  platform::UnmapPages(two + kPage, kPage);
}

TEST_F(ExceptionTest, ModulesAreTheProgramOrSystemLibraries) {
  platform::ModuleSpan span;
  ASSERT_TRUE(platform::FindModuleOfAddress(reinterpret_cast<void*>(&WriteFault), &span));
  char exe[sizeof span.path];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  exe[n] = 0;
  EXPECT_STREQ(span.path, exe);
  EXPECT_TRUE(span.application);
  EXPECT_LE(reinterpret_cast<uintptr_t>(span.base), reinterpret_cast<uintptr_t>(&WriteFault));
  EXPECT_GT(reinterpret_cast<uintptr_t>(span.base) + span.size,
            reinterpret_cast<uintptr_t>(&WriteFault));

  // The C library is a system library.
  ASSERT_TRUE(platform::FindModuleOfAddress(reinterpret_cast<void*>(&sigaltstack), &span));
  EXPECT_FALSE(span.application);
  EXPECT_TRUE(std::strncmp(span.path, "/lib", 4) == 0 ||
              std::strncmp(span.path, "/usr/lib", 8) == 0)
      << span.path;

  int local;
  EXPECT_FALSE(platform::FindModuleOfAddress(&local, &span));
  EXPECT_FALSE(platform::FindModuleOfAddress(page_, &span));
}

void ExpectOnOwnStack() {
  int local;
  void* low = nullptr;
  void* high = nullptr;
  ASSERT_TRUE(platform::GetCurrentThreadStack(&low, &high));
  EXPECT_LT(low, static_cast<void*>(&local));
  EXPECT_GT(high, static_cast<void*>(&local));
  CONTEXT context;
  RtlCaptureContext(&context);
  EXPECT_GE(context.Rsp, reinterpret_cast<uintptr_t>(low));
  EXPECT_LT(context.Rsp, reinterpret_cast<uintptr_t>(high));
  platform::ModuleSpan span;
  EXPECT_TRUE(platform::FindModuleOfAddress(reinterpret_cast<void*>(context.Rip), &span));
}

TEST_F(ExceptionTest, ThreadStackAndCapturedRegistersAreTheCallersOwn) {
  ExpectOnOwnStack();
  std::thread other(&ExpectOnOwnStack);
  other.join();
}

TEST_F(ExceptionTest, ReadMemoryNeverFaults) {
  char* pages = static_cast<char*>(platform::MapPages(2 * kPage, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  std::memcpy(pages + kPage - 4, "abcd", 4);
  ASSERT_TRUE(platform::ProtectPages(pages + kPage, kPage, PAGE_NOACCESS));
  char out[8] = {};
  EXPECT_TRUE(platform::ReadMemory(pages + kPage - 4, out, 4));
  EXPECT_EQ(std::string(out, 4), "abcd");
  EXPECT_FALSE(platform::ReadMemory(pages + kPage - 4, out, 8));  // runs into the closed page
  EXPECT_FALSE(platform::ReadMemory(nullptr, out, 1));
  platform::UnmapPages(pages, 2 * kPage);
}

}  // namespace
