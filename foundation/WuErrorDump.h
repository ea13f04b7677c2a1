// Crash reports: hex dumps of memory, a text dump of an exception (code,
// module, thread, registers, code bytes and stack) and the unhandled-
// exception filter that puts such a dump into the error details and shows
// the error box.
//
// Dumps are 8-bit text, each line ending "\r\n", always terminated (for a
// size of at least 1) and never longer than the output; every function
// returns the bytes written without the terminator. Memory that cannot be
// read is shown as such and never faults.
//
// Layout on this machine (64-bit): addresses and other pointer-sized values
// print as 16 upper-case hex digits; words of the word dump stay 32-bit;
// stack words are 64-bit.
//
// Application modules: the stack dump tells the main program and modules of
// ours (hits that count towards the scan's limit) from system libraries
// (those under /lib* or /usr/lib*), see platform::FindModuleOfAddress.
#pragma once

#include "platform/kernel/exception.h"
#include "platform/kernel/types.h"

// Section flags of WuErrorHandler_DumpExceptionRecord (0 = all), written in
// this order: exception, module, thread, registers, code bytes, stack.
constexpr DWORD WUDUMP_EXCEPTION = 0x01;  // code, name, address, access
constexpr DWORD WUDUMP_MODULE = 0x02;     // the module of the faulting address
constexpr DWORD WUDUMP_REGISTERS = 0x04;  // the register lines
constexpr DWORD WUDUMP_CODE = 0x08;       // 16 bytes at the instruction pointer
constexpr DWORD WUDUMP_STACK = 0x10;      // stack words and the module scan
constexpr DWORD WUDUMP_THREAD = 0x20;     // thread label, id and stack region

// Room a line needs: a dump stops before a line when less is left. A hex
// line " <16 digits>: " + 8 groups + 8 characters + "\r\n" is 53 bytes.
constexpr int WUDUMP_HEX_LINE_ROOM = 58;
// A stack line (before the module name) is 75 bytes.
constexpr int WUDUMP_STACK_LINE_ROOM = 80;

// Size of the filter's dump buffer in bytes.
constexpr int WUDUMP_FILTER_BUFFER = 4096;

// Lines of up to 8 bytes: " %p: ", "%02X " per byte (".. " when unreadable,
// three blanks past the end), then the bytes as characters (32..126 as
// they are, others and unreadable ones as '.').
int WuErrorHandler_DumpHex(char* out, int size, const void* address, int count);
// Lines of up to 4 32-bit words: " %p: ", then "%08X " per word ("........ "
// when unreadable). 0 for a count of 0 or less.
int WuErrorHandler_DumpHexDWords(char* out, int size, const void* address, int count);
// The dump of an exception: first offered to the crash-report module
// "ErrorReport" when it is loaded (its answer is ignored), then the sections
// chosen by `flags` (0 = all). `thread_label` may be NULL. 0 for NULL
// pointers or a NULL record.
int WuErrorHandler_DumpExceptionRecord(char* out, int size, LPCSTR thread_label,
                                       EXCEPTION_POINTERS* pointers, DWORD flags);

// The unhandled-exception filter: a datatype misalignment is passed on (0).
// Otherwise it writes a full dump; with a debugger attached it passes the
// exception on (0); else it clears the error details, adds the default
// caption and the dump as two lines with code WU_E_EXCEPTION (0x8004E017), shows the
// composed message for that code in the error box (exclamation, OK, no
// owner) and answers 1 (execute handler). A call made while the filter
// already runs (a fault inside it) is passed on at once (0).
LONG WuErrorHandler_ExceptionFilter(EXCEPTION_POINTERS* pointers, LPCSTR thread_label);
