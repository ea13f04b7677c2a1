// Exceptions and the process error mode: the records that describe a
// processor exception, the unhandled-exception filter, and the questions a
// crash report asks about memory, modules, stacks and debuggers.
//
// The crash path. Once a filter is set (SetUnhandledExceptionFilter), the
// fatal signals of a fault - SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGTRAP -
// are caught on an alternate signal stack and turned into an exception
// record (code, address, parameters) and a CONTEXT with the registers of
// this machine (x86-64), taken from the signal's machine context. The
// filter then runs on the faulting thread:
//
//  - EXCEPTION_EXECUTE_HANDLER (1) and EXCEPTION_CONTINUE_SEARCH (0) both end
//    the process the way an unhandled fault ends it here: the handler the
//    signal had before the filter was set runs (when there was one; the
//    default action otherwise), and then the original signal is raised again
//    with its default action. The parent therefore sees the process killed
//    by that signal (WIFSIGNALED, WTERMSIG = SIGSEGV, ...), with a core
//    dump where the system makes one. With 1 the earlier handler is skipped:
//    the filter has reported the fault itself.
//  - EXCEPTION_CONTINUE_EXECUTION (-1) resumes the thread with the registers
//    of the CONTEXT (which the filter may have changed).
//  - A second fault on any thread while the filter runs never reaches the
//    filter again: it ends the process at once, killed by that signal.
//
// Signal to exception mapping:
//   SIGSEGV  EXCEPTION_ACCESS_VIOLATION; parameters [0] 0 read, 1 write,
//            8 instruction fetch (from the page-fault error code), [1] the
//            address (si_addr; all ones for a protection fault that has no
//            address, such as a non-canonical pointer).
//            EXCEPTION_STACK_OVERFLOW instead when an unmapped address lies
//            within 64 KiB of the stack pointer (same parameters).
//   SIGBUS   EXCEPTION_DATATYPE_MISALIGNMENT for BUS_ADRALN, else
//            EXCEPTION_IN_PAGE_ERROR (a mapped file that cannot be read);
//            parameters as for an access violation.
//   SIGILL   EXCEPTION_PRIV_INSTRUCTION for ILL_PRVOPC and ILL_PRVREG, else
//            EXCEPTION_ILLEGAL_INSTRUCTION.
//   SIGFPE   FPE_INTDIV EXCEPTION_INT_DIVIDE_BY_ZERO, FPE_INTOVF
//            EXCEPTION_INT_OVERFLOW, FPE_FLTDIV/OVF/UND/RES/INV the matching
//            EXCEPTION_FLT_ code, FPE_FLTSUB EXCEPTION_ARRAY_BOUNDS_EXCEEDED,
//            anything else EXCEPTION_FLT_INVALID_OPERATION.
//   SIGTRAP  EXCEPTION_SINGLE_STEP for TRAP_TRACE, else EXCEPTION_BREAKPOINT
//            (address: the breakpoint instruction).
//
// The alternate stack: setting a filter gives the calling thread an
// alternate signal stack of WU_ALTSTACK_SIZE bytes (kept when it already has
// one at least that large); other threads get one through
// platform::EnsureAltSignalStack (a fault on a thread without one is still
// caught, but a stack overflow there cannot be).
#pragma once

#include "platform/kernel/types.h"

// ---- Exception codes ---------------------------------------------------------------------
constexpr DWORD EXCEPTION_GUARD_PAGE = 0x80000001;
constexpr DWORD EXCEPTION_DATATYPE_MISALIGNMENT = 0x80000002;
constexpr DWORD EXCEPTION_BREAKPOINT = 0x80000003;
constexpr DWORD EXCEPTION_SINGLE_STEP = 0x80000004;
constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005;
constexpr DWORD EXCEPTION_IN_PAGE_ERROR = 0xC0000006;
constexpr DWORD EXCEPTION_INVALID_HANDLE = 0xC0000008;
constexpr DWORD STATUS_NO_MEMORY = 0xC0000017;
constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D;
constexpr DWORD EXCEPTION_NONCONTINUABLE_EXCEPTION = 0xC0000025;
constexpr DWORD EXCEPTION_INVALID_DISPOSITION = 0xC0000026;
constexpr DWORD EXCEPTION_ARRAY_BOUNDS_EXCEEDED = 0xC000008C;
constexpr DWORD EXCEPTION_FLT_DENORMAL_OPERAND = 0xC000008D;
constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008E;
constexpr DWORD EXCEPTION_FLT_INEXACT_RESULT = 0xC000008F;
constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090;
constexpr DWORD EXCEPTION_FLT_OVERFLOW = 0xC0000091;
constexpr DWORD EXCEPTION_FLT_STACK_CHECK = 0xC0000092;
constexpr DWORD EXCEPTION_FLT_UNDERFLOW = 0xC0000093;
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095;
constexpr DWORD EXCEPTION_PRIV_INSTRUCTION = 0xC0000096;
constexpr DWORD EXCEPTION_STACK_OVERFLOW = 0xC00000FD;
constexpr DWORD STATUS_CONTROL_C_EXIT = 0xC000013A;

// ExceptionInformation[0] of an access violation.
constexpr ULONG_PTR EXCEPTION_READ_FAULT = 0;     // the access read
constexpr ULONG_PTR EXCEPTION_WRITE_FAULT = 1;    // the access wrote
constexpr ULONG_PTR EXCEPTION_EXECUTE_FAULT = 8;  // an instruction fetch

// Filter results.
constexpr LONG EXCEPTION_EXECUTE_HANDLER = 1;      // handled: end the process
constexpr LONG EXCEPTION_CONTINUE_SEARCH = 0;      // not handled: default handling
constexpr LONG EXCEPTION_CONTINUE_EXECUTION = -1;  // resume with the CONTEXT

// ExceptionFlags.
constexpr DWORD EXCEPTION_NONCONTINUABLE = 0x1;  // resuming is not allowed

// ---- Records -----------------------------------------------------------------------------
constexpr DWORD EXCEPTION_MAXIMUM_PARAMETERS = 15;

// What happened.
struct EXCEPTION_RECORD {
  DWORD ExceptionCode;                  // EXCEPTION_ code
  DWORD ExceptionFlags;                 // EXCEPTION_NONCONTINUABLE or 0
  EXCEPTION_RECORD* ExceptionRecord;    // a nested record, or NULL
  void* ExceptionAddress;               // address of the faulting instruction
  DWORD NumberParameters;               // used entries of ExceptionInformation
  ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];  // code-specific
};

// ContextFlags: which parts of a CONTEXT are filled.
constexpr DWORD CONTEXT_AMD64 = 0x00100000;
constexpr DWORD CONTEXT_CONTROL = CONTEXT_AMD64 | 0x1;   // RIP, RSP, RBP, EFlags, CS, SS
constexpr DWORD CONTEXT_INTEGER = CONTEXT_AMD64 | 0x2;   // RAX..R15
constexpr DWORD CONTEXT_SEGMENTS = CONTEXT_AMD64 | 0x4;  // DS, ES, FS, GS
constexpr DWORD CONTEXT_FULL = CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_SEGMENTS;

// The registers of an x86-64 thread. Segment registers the system does not
// report (DS and ES in 64-bit mode) are 0.
struct CONTEXT {
  DWORD ContextFlags;  // CONTEXT_ parts filled
  DWORD EFlags;        // flags register
  WORD SegCs;          // code segment
  WORD SegDs;          // data segment
  WORD SegEs;          // extra segment
  WORD SegFs;          // FS segment
  WORD SegGs;          // GS segment
  WORD SegSs;          // stack segment
  DWORD64 Rax;         // general registers
  DWORD64 Rcx;
  DWORD64 Rdx;
  DWORD64 Rbx;
  DWORD64 Rsp;         // stack pointer
  DWORD64 Rbp;         // frame pointer
  DWORD64 Rsi;
  DWORD64 Rdi;
  DWORD64 R8;
  DWORD64 R9;
  DWORD64 R10;
  DWORD64 R11;
  DWORD64 R12;
  DWORD64 R13;
  DWORD64 R14;
  DWORD64 R15;
  DWORD64 Rip;         // instruction pointer
};

// What a filter receives.
struct EXCEPTION_POINTERS {
  EXCEPTION_RECORD* ExceptionRecord;  // the exception
  CONTEXT* ContextRecord;             // the thread's registers at the fault
};

typedef LONG (*LPTOP_LEVEL_EXCEPTION_FILTER)(EXCEPTION_POINTERS* pointers);

// ---- The unhandled-exception filter ------------------------------------------------------
// Sets the process's filter and returns the previous one (NULL: none).
// A filter installs the signal handlers described above; NULL gives the
// signals back the handlers they had before.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);
// Runs the process's filter for an exception and returns its answer;
// EXCEPTION_CONTINUE_SEARCH without a filter, and while the filter is
// already running (it is never entered twice).
LONG UnhandledExceptionFilter(EXCEPTION_POINTERS* pointers);
// The calling thread's registers at the call.
void RtlCaptureContext(CONTEXT* context);

// ---- Process error mode ------------------------------------------------------------------
constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;      // no box for critical errors
constexpr UINT SEM_NOGPFAULTERRORBOX = 0x0002;       // no box for faults
constexpr UINT SEM_NOALIGNMENTFAULTEXCEPT = 0x0004;  // fix misaligned accesses
constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;      // no box when a file is missing

// Sets the process error mode word and returns the previous one. The word
// is only kept: nothing on this system shows the boxes it suppresses.
UINT SetErrorMode(UINT mode);
UINT GetErrorMode();

// TRUE while a debugger (any tracer) is attached to the process.
BOOL IsDebuggerPresent();

// ---- Memory regions ----------------------------------------------------------------------
constexpr DWORD MEM_COMMIT = 0x00001000;   // mapped, accessible as Protect says
constexpr DWORD MEM_RESERVE = 0x00002000;  // mapped without any access
constexpr DWORD MEM_FREE = 0x00010000;     // not mapped
constexpr DWORD MEM_PRIVATE = 0x00020000;  // anonymous memory
constexpr DWORD MEM_MAPPED = 0x00040000;   // a mapped data file
constexpr DWORD MEM_IMAGE = 0x01000000;    // a mapped program or shared object

constexpr DWORD PAGE_NOACCESS = 0x01;
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD PAGE_EXECUTE = 0x10;
constexpr DWORD PAGE_EXECUTE_READ = 0x20;
constexpr DWORD PAGE_EXECUTE_READWRITE = 0x40;
constexpr DWORD PAGE_EXECUTE_WRITECOPY = 0x80;  // AllocationProtect of a module

// One region of the address space, as VirtualQuery describes it.
struct MEMORY_BASIC_INFORMATION {
  void* BaseAddress;       // the queried address rounded down to its page
  void* AllocationBase;    // start of the mapping; in a module, the module's base
  DWORD AllocationProtect; // protection of the mapping at AllocationBase
  SIZE_T RegionSize;       // bytes from BaseAddress to the region's end
  DWORD State;             // MEM_COMMIT, MEM_RESERVE or MEM_FREE
  DWORD Protect;           // PAGE_ protection (PAGE_NOACCESS when free, 0 when reserved)
  DWORD Type;              // MEM_PRIVATE, MEM_MAPPED or MEM_IMAGE (0 when free)
};

// Describes the region that holds `address` from the process's mapping
// list (read without allocating, so the crash path may call it). Returns the
// bytes written (sizeof(MEMORY_BASIC_INFORMATION)), or 0 with
// ERROR_INVALID_PARAMETER for a NULL record or a short length, and with
// ERROR_ACCESS_DENIED when the mapping list cannot be read. An unmapped
// address gives a MEM_FREE region reaching to the next mapping.
SIZE_T VirtualQuery(LPCVOID address, MEMORY_BASIC_INFORMATION* info, SIZE_T length);

namespace platform {

// Size of the alternate signal stack the crash path runs on.
constexpr SIZE_T WU_ALTSTACK_SIZE = 1024 * 1024;

// Gives the calling thread an alternate signal stack of WU_ALTSTACK_SIZE
// bytes unless it has one at least that large; it is released (and the
// earlier one given back) when the thread ends. FALSE when no memory.
BOOL EnsureAltSignalStack();

// The calling thread's stack: [*low, *high), high being where it starts
// (stacks grow down). FALSE when the system cannot say.
BOOL GetCurrentThreadStack(void** low, void** high);

// The loaded program or shared object that contains an address.
struct ModuleSpan {
  void* base;            // lowest address of its mappings
  SIZE_T size;           // bytes from base to the end of its last segment
  char path[260];        // its file, UTF-8, cut to fit (empty when it has none)
  BOOL application;      // the main program or a module of ours, not a
                         // system library (see FindModuleOfAddress)
};
// Finds the module that contains `address`. A module counts as a system
// library when its file lies under /lib, /lib32, /lib64, /libx32 or
// /usr/lib* or it has no file (the kernel's shared page); the main program
// and every other module (the build tree, the application's folder) are
// application modules. FALSE when no module contains the address.
BOOL FindModuleOfAddress(const void* address, ModuleSpan* span);

// Copies `bytes` bytes from any address of the process into `out` without
// ever faulting and without a sanitizer's checks of the source (a crash
// report reads stacks and code it does not own). FALSE when some byte cannot
// be read (what `out` then holds is unspecified).
BOOL ReadMemory(const void* address, void* out, SIZE_T bytes);

// Anonymous pages with a protection (PAGE_NOACCESS, PAGE_READONLY,
// PAGE_READWRITE), for tests and guard areas; NULL when they cannot be had.
void* MapPages(SIZE_T bytes, DWORD protect);
// Changes the protection of whole pages; FALSE on failure.
BOOL ProtectPages(void* address, SIZE_T bytes, DWORD protect);
// Unmaps pages of MapPages.
void UnmapPages(void* address, SIZE_T bytes);

}  // namespace platform
