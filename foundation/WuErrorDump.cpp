// Hex dumps and the text dump of an exception.
#include "foundation/WuErrorDump.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/kernel/error.h"
#include "platform/kernel/module.h"
#include "platform/kernel/threads.h"

namespace {

// ---- Bounded text output ------------------------------------------------------------------

// Appends formatted text to a caller's buffer, never past its end; the text
// stays terminated.
class DumpWriter {
 public:
  DumpWriter(char* out, int size) : out_(out), size_(out && size > 0 ? size : 0) {
    if (size_) out_[0] = '\0';
  }

  // Bytes left, the terminator's included.
  int room() const { return size_ - length_; }
  int length() const { return length_; }

  __attribute__((format(printf, 2, 3))) void Add(const char* format, ...) {
    if (room() <= 1) return;
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(out_ + length_, static_cast<size_t>(room()), format, args);
    va_end(args);
    if (n < 0) {
      out_[length_] = '\0';
      return;
    }
    length_ += n < room() ? n : room() - 1;
  }

  // Lets a nested dump write at the end; `written` is what it reports.
  char* tail() { return out_ + length_; }
  void Advance(int written) {
    if (written > 0 && written < room()) length_ += written;
  }

 private:
  char* out_;        // the caller's buffer
  int size_;         // its size in bytes (0: nothing may be written)
  int length_ = 0;   // bytes written, without the terminator
};

// A 64-bit value as printf's %llX wants it.
unsigned long long U64(uint64_t value) { return static_cast<unsigned long long>(value); }

// ---- Hex dumps ----------------------------------------------------------------------------------

constexpr int kBytesPerLine = 8;
constexpr int kWordsPerLine = 4;

void HexLine(DumpWriter& w, uintptr_t at, int count) {
  char text[kBytesPerLine + 1];
  w.Add(" %016llX: ", U64(at));
  for (int i = 0; i < kBytesPerLine; ++i) {
    if (i >= count) {
      w.Add("   ");
      continue;
    }
    unsigned char byte;
    if (platform::ReadMemory(reinterpret_cast<const void*>(at + static_cast<uintptr_t>(i)), &byte,
                             1)) {
      w.Add("%02X ", byte);
      text[i] = byte >= 32 && byte <= 126 ? static_cast<char>(byte) : '.';
    } else {
      w.Add(".. ");
      text[i] = '.';
    }
  }
  text[count] = '\0';
  w.Add("%s\r\n", text);
}

void WordLine(DumpWriter& w, uintptr_t at, int count) {
  w.Add(" %016llX: ", U64(at));
  for (int i = 0; i < count; ++i) {
    DWORD word;
    if (platform::ReadMemory(reinterpret_cast<const void*>(at + 4u * static_cast<uintptr_t>(i)),
                             &word, sizeof word))
      w.Add("%08X ", word);
    else
      w.Add("........ ");
  }
  w.Add("\r\n");
}

// ---- Exception names ----------------------------------------------------------------------------

struct ExceptionName {
  DWORD code;        // exception code
  const char* name;  // its text in the dump
};
constexpr ExceptionName kExceptionNames[] = {
    {EXCEPTION_GUARD_PAGE, "guard page violation"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "datatype misalignment"},
    {EXCEPTION_BREAKPOINT, "breakpoint"},
    {EXCEPTION_SINGLE_STEP, "single step"},
    {EXCEPTION_ACCESS_VIOLATION, "access violation"},
    {EXCEPTION_IN_PAGE_ERROR, "in page error"},
    {EXCEPTION_INVALID_HANDLE, "invalid handle"},
    {STATUS_NO_MEMORY, "no memory"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction"},
    {EXCEPTION_NONCONTINUABLE_EXCEPTION, "noncontinuable exception"},
    {EXCEPTION_INVALID_DISPOSITION, "invalid disposition"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, "array bounds exceeded"},
    {EXCEPTION_FLT_DENORMAL_OPERAND, "float denormal operand"},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, "float divide by zero"},
    {EXCEPTION_FLT_INEXACT_RESULT, "float inexact result"},
    {EXCEPTION_FLT_INVALID_OPERATION, "float invalid operation"},
    {EXCEPTION_FLT_OVERFLOW, "float overflow"},
    {EXCEPTION_FLT_STACK_CHECK, "float stack check"},
    {EXCEPTION_FLT_UNDERFLOW, "float underflow"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "integer divide by zero"},
    {EXCEPTION_INT_OVERFLOW, "integer overflow"},
    {EXCEPTION_PRIV_INSTRUCTION, "privileged instruction"},
    {EXCEPTION_STACK_OVERFLOW, "stack overflow"},
    {STATUS_CONTROL_C_EXIT, "control+c exit"},
};

const char* NameOfException(DWORD code) {
  for (const ExceptionName& e : kExceptionNames)
    if (e.code == code) return e.name;
  return "Unknown Type";
}

const char* BaseName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  return base;
}

// ---- Sections -----------------------------------------------------------------------------------

void ExceptionSection(DumpWriter& w, const EXCEPTION_RECORD* r) {
  char access[48] = "";
  if (r->NumberParameters == 2)
    std::snprintf(access, sizeof access, " %s:0x%016llX",
                  r->ExceptionInformation[0] == EXCEPTION_WRITE_FAULT ? "WRITE" : "READ",
                  U64(r->ExceptionInformation[1]));
  w.Add("Exception 0x%X (%s)%s IP:0x%016llX\r\n", r->ExceptionCode,
        NameOfException(r->ExceptionCode), access,
        U64(reinterpret_cast<uintptr_t>(r->ExceptionAddress)));
}

void ModuleSection(DumpWriter& w, const EXCEPTION_RECORD* r) {
  platform::ModuleSpan span;
  if (!platform::FindModuleOfAddress(r->ExceptionAddress, &span)) return;
  uintptr_t base = reinterpret_cast<uintptr_t>(span.base);
  w.Add("In Module '%s' at Address 0x%016llX + 0x%016llX\r\n", span.path, U64(base),
        U64(reinterpret_cast<uintptr_t>(r->ExceptionAddress) - base));
}

void ThreadSection(DumpWriter& w, LPCSTR label) {
  char stack[48] = "";
  void* low;
  void* high;
  if (platform::GetCurrentThreadStack(&low, &high))
    std::snprintf(stack, sizeof stack, "0x%016llX-0x%016llX",
                  U64(reinterpret_cast<uintptr_t>(low)),
                  U64(reinterpret_cast<uintptr_t>(high)));
  w.Add("Thread: %s ID=0x%X Stack=%s\r\n", label ? label : "", GetCurrentThreadId(), stack);
}

void RegisterSection(DumpWriter& w, const CONTEXT* c) {
  w.Add("Registers:\r\n");
  w.Add(" RAX=%016llx CS=%04x RIP=%016llx EFLGS=%08x\r\n", U64(c->Rax), c->SegCs,
        U64(c->Rip), c->EFlags);
  w.Add(" RBX=%016llx SS=%04x RSP=%016llx RBP=%016llx\r\n", U64(c->Rbx), c->SegSs,
        U64(c->Rsp), U64(c->Rbp));
  w.Add(" RCX=%016llx DS=%04x RSI=%016llx FS=%04x\r\n", U64(c->Rcx), c->SegDs,
        U64(c->Rsi), c->SegFs);
  w.Add(" RDX=%016llx ES=%04x RDI=%016llx GS=%04x\r\n", U64(c->Rdx), c->SegEs,
        U64(c->Rdi), c->SegGs);
  w.Add(" R8=%016llx R9=%016llx R10=%016llx R11=%016llx\r\n", U64(c->R8), U64(c->R9),
        U64(c->R10), U64(c->R11));
  w.Add(" R12=%016llx R13=%016llx R14=%016llx R15=%016llx\r\n", U64(c->R12),
        U64(c->R13), U64(c->R14), U64(c->R15));
}

void CodeSection(DumpWriter& w, const CONTEXT* c) {
  w.Add("Bytes at CS:RIP:\r\n");
  w.Advance(WuErrorHandler_DumpHex(w.tail(), w.room(), reinterpret_cast<const void*>(c->Rip), 16));
}

// ---- The stack ----------------------------------------------------------------------------------

constexpr int kFirstStackWords = 16;     // words shown from the stack pointer
constexpr int kAllWordsBelow = 20;       // fewer left: show them all instead
constexpr int kTailWords = 4;            // words shown below the stack's end
constexpr int kMaxApplicationHits = 6;   // the scan stops at this many
constexpr int kContextWords = 4;         // plain words written after a hit
constexpr int kMaxContextLines = 16;     // context lines in all
constexpr uintptr_t kWord = sizeof(DWORD64);

// What a stack word is.
enum class StackWord {
  kUnreadable,   // the word itself cannot be read
  kApplication,  // points into the main program or a module of ours
  kSystem,       // points into a system library
  kPlain,        // anything else
};

StackWord Classify(uintptr_t at, DWORD64* value, platform::ModuleSpan* span) {
  if (!platform::ReadMemory(reinterpret_cast<const void*>(at), value, sizeof *value))
    return StackWord::kUnreadable;
  if (!platform::FindModuleOfAddress(reinterpret_cast<const void*>(*value), span))
    return StackWord::kPlain;
  return span->application ? StackWord::kApplication : StackWord::kSystem;
}

// One stack line for a word read once (a live stack may change under the
// dump): "<prefix><address>: <value> " then, for a value in committed
// memory, " <base> + <offset> " and "(<module>)" when the base is a
// module's.
void StackLine(DumpWriter& w, char prefix, uintptr_t at, StackWord kind, DWORD64 value,
               const platform::ModuleSpan& span) {
  w.Add("%c%016llX: ", prefix, U64(at));
  if (kind == StackWord::kUnreadable) {
    w.Add("................ \r\n");
    return;
  }
  w.Add("%016llX ", U64(value));
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(reinterpret_cast<const void*>(value), &info, sizeof info) &&
      info.State == MEM_COMMIT && info.AllocationBase) {
    uintptr_t base = reinterpret_cast<uintptr_t>(info.AllocationBase);
    w.Add(" %016llX + %llX ", U64(base), U64(value - base));
    if (kind != StackWord::kPlain && span.base == info.AllocationBase)
      w.Add("(%s)", BaseName(span.path));
  }
  w.Add("\r\n");
}

// Reads, classifies and writes one word.
StackWord StackLineAt(DumpWriter& w, char prefix, uintptr_t at) {
  DWORD64 value = 0;
  platform::ModuleSpan span;
  StackWord kind = Classify(at, &value, &span);
  StackLine(w, prefix, at, kind, value, span);
  return kind;
}

// The scan above the first words: module hits and unreadable words with
// '>', a few plain words after each application hit for context.
void ScanStack(DumpWriter& w, uintptr_t from, uintptr_t to, int* application_hits) {
  int context_left = 0;   // plain words still to show after the last hit
  int context_lines = 0;  // context lines written in all
  for (uintptr_t at = from; at < to; at += kWord) {
    if (w.room() < WUDUMP_STACK_LINE_ROOM) return;
    DWORD64 value;
    platform::ModuleSpan span;
    StackWord kind = Classify(at, &value, &span);
    if (kind == StackWord::kPlain) {
      if (context_left > 0 && context_lines < kMaxContextLines) {
        StackLine(w, ' ', at, kind, value, span);
        --context_left;
        ++context_lines;
      }
      continue;
    }
    StackLine(w, '>', at, kind, value, span);
    if (kind == StackWord::kUnreadable) return;
    if (kind == StackWord::kApplication) {
      context_left = kContextWords;
      if (++*application_hits >= kMaxApplicationHits) return;
    }
  }
}

void StackSection(DumpWriter& w, const CONTEXT* c) {
  w.Add("Stack Dump:\r\n");
  const uintptr_t sp = c->Rsp;
  void* low = nullptr;
  void* high = nullptr;
  // The scan and the tail need the stack's end; without it (a stack pointer
  // outside the calling thread's stack) only the first words are shown.
  bool known = platform::GetCurrentThreadStack(&low, &high) &&
               sp >= reinterpret_cast<uintptr_t>(low) && sp < reinterpret_cast<uintptr_t>(high);
  const uintptr_t end = known ? reinterpret_cast<uintptr_t>(high) : 0;
  uintptr_t first = kFirstStackWords;
  if (known) {
    uintptr_t left = (end - sp) / kWord;
    if (left >= kFirstStackWords && left < kAllWordsBelow) first = left;
  }
  int application_hits = 0;
  for (uintptr_t i = 0; i < first; ++i) {
    if (w.room() < WUDUMP_STACK_LINE_ROOM) return;
    if (StackLineAt(w, ' ', sp + i * kWord) == StackWord::kApplication) ++application_hits;
  }
  if (!known) return;
  const uintptr_t shown_end = sp + first * kWord;
  const uintptr_t tail = end - kTailWords * kWord;
  if (application_hits < kMaxApplicationHits)
    ScanStack(w, sp + kFirstStackWords * kWord, tail, &application_hits);
  if (end <= shown_end) return;
  if (w.room() < WUDUMP_STACK_LINE_ROOM) return;
  w.Add("- - -\r\n");
  for (uintptr_t at = tail; at < end; at += kWord) {
    if (w.room() < WUDUMP_STACK_LINE_ROOM) return;
    StackLineAt(w, ' ', at);
  }
}

// Offers the exception to the optional crash-report module.
void OfferToCrashReport(EXCEPTION_POINTERS* pointers) {
  typedef LONG (*ReportFunction)(EXCEPTION_POINTERS*);
  DWORD saved_error = GetLastError();
  HMODULE module = GetModuleHandleW(u"ErrorReport");
  auto report = module ? reinterpret_cast<ReportFunction>(
                             GetProcAddress(module, "_ErrorReport_UnmanagedException@4"))
                       : nullptr;
  SetLastError(saved_error);
  if (report) report(pointers);
}

}  // namespace

int WuErrorHandler_DumpHex(char* out, int size, const void* address, int count) {
  DumpWriter w(out, size);
  const uintptr_t start = reinterpret_cast<uintptr_t>(address);
  for (int done = 0; done < count; done += kBytesPerLine) {
    if (w.room() < WUDUMP_HEX_LINE_ROOM) break;
    int n = count - done < kBytesPerLine ? count - done : kBytesPerLine;
    HexLine(w, start + static_cast<uintptr_t>(done), n);
  }
  return w.length();
}

int WuErrorHandler_DumpHexDWords(char* out, int size, const void* address, int count) {
  DumpWriter w(out, size);
  const uintptr_t start = reinterpret_cast<uintptr_t>(address);
  for (int done = 0; done < count; done += kWordsPerLine) {
    if (w.room() < WUDUMP_HEX_LINE_ROOM) break;
    int n = count - done < kWordsPerLine ? count - done : kWordsPerLine;
    WordLine(w, start + 4u * static_cast<uintptr_t>(done), n);
  }
  return w.length();
}

int WuErrorHandler_DumpExceptionRecord(char* out, int size, LPCSTR thread_label,
                                       EXCEPTION_POINTERS* pointers, DWORD flags) {
  DumpWriter w(out, size);
  if (!pointers || !pointers->ExceptionRecord) return 0;
  OfferToCrashReport(pointers);
  if (flags == 0) flags = ~0u;
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  const CONTEXT* context = pointers->ContextRecord;
  if (flags & WUDUMP_EXCEPTION) ExceptionSection(w, record);
  if (flags & WUDUMP_MODULE) ModuleSection(w, record);
  if (flags & WUDUMP_THREAD) ThreadSection(w, thread_label);
  if (context) {
    if (flags & WUDUMP_REGISTERS) RegisterSection(w, context);
    if (flags & WUDUMP_CODE) CodeSection(w, context);
    if (flags & WUDUMP_STACK) StackSection(w, context);
  }
  return w.length();
}
