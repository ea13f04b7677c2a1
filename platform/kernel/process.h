// Processes, the command line of this process, and environment variables.
//
// A child process is a Linux program started with fork and execve (never
// through a shell). Its command line is split into argv by the platform's
// C-runtime rules (CommandLineToArgvW below); only the program path goes
// through the path mapping of platform/kernel/files.h. The child stays in this
// process's process group and session and inherits no descriptors but the
// standard ones. A process handle is signalled when the child ends; a
// watcher thread reaps every child, so none is left as a zombie.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/handles.h"
#include "platform/kernel/types.h"

// ---- Creating processes ---------------------------------------------------------
// Creation flags. Only CREATE_SUSPENDED and CREATE_UNICODE_ENVIRONMENT change
// anything; the others are accepted and ignored.
constexpr DWORD DEBUG_PROCESS = 0x00000001;
constexpr DWORD DETACHED_PROCESS = 0x00000008;
constexpr DWORD CREATE_NEW_CONSOLE = 0x00000010;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr DWORD CREATE_NEW_PROCESS_GROUP = 0x00000200;
constexpr DWORD CREATE_UNICODE_ENVIRONMENT = 0x00000400;
constexpr DWORD CREATE_NO_WINDOW = 0x08000000;
// (CREATE_SUSPENDED = 4 is in platform/kernel/threads.h.)

// STARTUPINFOW flags.
constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
constexpr DWORD STARTF_USESTDHANDLES = 0x00000100;

// How a child's window and standard handles start. Only the standard
// handles are used: with STARTF_USESTDHANDLES, each of hStdInput, hStdOutput
// and hStdError that is a file handle (platform/kernel/files.h) becomes the child's
// descriptor 0, 1 or 2; the others stay this process's.
struct STARTUPINFOW {
  DWORD cb;               // size of the record in bytes
  LPWSTR lpReserved;      // unused
  LPWSTR lpDesktop;       // unused
  LPWSTR lpTitle;         // unused (console title)
  DWORD dwX;              // unused (window position)
  DWORD dwY;              // unused
  DWORD dwXSize;          // unused (window size)
  DWORD dwYSize;          // unused
  DWORD dwXCountChars;    // unused (console size)
  DWORD dwYCountChars;    // unused
  DWORD dwFillAttribute;  // unused (console colours)
  DWORD dwFlags;          // STARTF_* bits
  WORD wShowWindow;       // unused (show state)
  WORD cbReserved2;       // unused
  LPBYTE lpReserved2;     // unused
  HANDLE hStdInput;       // standard input with STARTF_USESTDHANDLES
  HANDLE hStdOutput;      // standard output with STARTF_USESTDHANDLES
  HANDLE hStdError;       // standard error with STARTF_USESTDHANDLES
};
typedef STARTUPINFOW* LPSTARTUPINFOW;

// What CreateProcessW returns. Both handles must be closed by the caller.
struct PROCESS_INFORMATION {
  HANDLE hProcess;    // the process: waitable, signalled when it ends
  HANDLE hThread;     // its main thread: signalled with the process, resumes it
  DWORD dwProcessId;  // the Linux process id
  DWORD dwThreadId;   // a thread id of this process's numbering
};
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;

// Starts a program.
// - application_name, when given, is the program (a path, mapped with
//   platform::ToLinuxPath; no search); the child's argv is then the split
//   command_line, or the application name alone without a command line.
// - Without application_name the program is the first token of
//   command_line: a token with a path separator is mapped as a path, a bare
//   name is looked for in the current folder and then in PATH. An unquoted
//   path with spaces is never guessed at: the first token is the program.
// - current_directory (mapped) becomes the child's working folder;
//   ERROR_DIRECTORY when it is not a folder.
// - environment, when given, is the child's whole environment: a block of
//   "name=value" texts, each terminated, ended by an empty text; UTF-16 with
//   CREATE_UNICODE_ENVIRONMENT, else ANSI code page bytes.
// - CREATE_SUSPENDED: the child waits before it runs the program until
//   ResumeThread(hThread). The program is checked before (it must be an
//   executable file), but a failure of the start itself then shows only as
//   exit code 127. Closing every handle to the thread without resuming ends
//   the child without running the program.
// Failures: ERROR_FILE_NOT_FOUND (no such program), ERROR_PATH_NOT_FOUND (a
// folder of its path is missing), ERROR_ACCESS_DENIED (not executable, or a
// folder), ERROR_BAD_EXE_FORMAT (not a program Linux can run),
// ERROR_DIRECTORY, ERROR_INVALID_PARAMETER (no program named, no
// process_information). Handle inheritance, security, the window fields of
// startup_info and the other creation flags are ignored.
BOOL CreateProcessW(LPCWSTR application_name, LPWSTR command_line, void* process_security,
                    void* thread_security, BOOL inherit_handles, DWORD creation_flags,
                    LPVOID environment, LPCWSTR current_directory,
                    LPSTARTUPINFOW startup_info, LPPROCESS_INFORMATION process_information);

// STILL_ACTIVE while the process runs; then its exit status (0..255), the
// code given to TerminateProcess, or 0xC0000000 | N when signal N ended it
// otherwise. The current-process pseudo handle gives STILL_ACTIVE.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exit_code);
// Ends a child with SIGKILL; its exit code becomes `exit_code`. FALSE with
// ERROR_ACCESS_DENIED when it has already ended. For the current process it
// is ExitProcess.
BOOL TerminateProcess(HANDLE process, UINT exit_code);
// Linux programs have no input queue to wait for: returns 0 at once for a
// process handle, WAIT_FAILED (ERROR_INVALID_HANDLE) for anything else.
DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds);
// Pseudo handle of this process (-1). Not waitable: this process cannot
// outlive itself.
HANDLE GetCurrentProcess();
DWORD GetCurrentProcessId();
// The process id of a process handle; 0 (ERROR_INVALID_HANDLE) otherwise.
DWORD GetProcessId(HANDLE process);
// Flushes the C streams and ends the process at once, without running
// destructors of static objects (other threads may still use them). Linux
// keeps only the low 8 bits of the code.
[[noreturn]] void ExitProcess(UINT exit_code);

// ---- Opening processes ------------------------------------------------------------
// Access rights of a process handle. Handles from CreateProcessW and the
// pseudo handle hold every right; OpenProcess holds those it asked for.
constexpr DWORD PROCESS_TERMINATE = 0x0001;
constexpr DWORD PROCESS_VM_OPERATION = 0x0008;
constexpr DWORD PROCESS_VM_READ = 0x0010;
constexpr DWORD PROCESS_VM_WRITE = 0x0020;
constexpr DWORD PROCESS_DUP_HANDLE = 0x0040;
constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
constexpr DWORD PROCESS_ALL_ACCESS = 0x001FFFFF;

// A handle to any running process by its id (this one included), holding
// `access`. The handle names the process by its id: it is not waitable,
// TerminateProcess refuses it, and GetExitCodeProcess answers STILL_ACTIVE
// while a process of that id runs, else 0. NULL with
// ERROR_INVALID_PARAMETER when no such process runs, ERROR_ACCESS_DENIED
// when Linux refuses to signal it.
HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD process_id);

namespace platform {
// ---- Process trees --------------------------------------------------------------
// Makes this process the subreaper of its descendants (Linux's
// PR_SET_CHILD_SUBREAPER): a process that a child of ours leaves behind
// when it ends becomes our child, never init's, so that it can still be
// found (DescendantProcessIds) and stopped. FALSE (last error set) when
// Linux refuses.
bool BecomeChildSubreaper();
// The ids of the live processes below this one: its children, theirs, and
// so on (ended ones that wait to be reaped are left out), read from /proc.
std::vector<DWORD> DescendantProcessIds();
// Reaps the ended children of this process that were not started by
// CreateProcessW (whose own watchers reap them): descendants adopted as
// subreaper. Returns how many were reaped. Call it while no other thread
// is in CreateProcessW.
int ReapAdoptedChildren();
// Ends one process by its id at once (SIGKILL). Never a group: ids 0 and
// below and this process's own are refused (ERROR_INVALID_PARAMETER).
bool KillProcessById(DWORD process_id);
// Sends the signal behind a control event (platform/signals.h) to a child
// started by CreateProcessW, through its handle: never to a process that
// has ended and been reaped, whose id may belong to another by now. FALSE
// with ERROR_INVALID_HANDLE for a handle that is not such a child, or
// ERROR_ACCESS_DENIED when it has ended.
bool SendCtrlEventToChild(HANDLE process, DWORD ctrl_type);

// The process id behind a process handle when the handle holds every right
// of `rights`. FALSE with ERROR_INVALID_HANDLE for a handle that is not a
// process, ERROR_ACCESS_DENIED when a right is missing.
bool ProcessIdWithAccess(HANDLE process, DWORD rights, DWORD* process_id);
}  // namespace platform

// ---- The command line --------------------------------------------------------------
// The command line of this process. Set by platform::SetCommandLineFromArgv;
// without it, made once from the arguments Linux gave the process. The text
// stays valid until the next SetCommandLineFromArgv.
LPWSTR GetCommandLineW();

// Splits a command line by the platform's C-runtime rules:
// - arguments are separated by spaces and tabs outside quotes;
// - the first argument (the program) ends at the first space or tab, or,
//   when it begins with a quote, at the next quote; it has no escapes;
// - in the others, 2n backslashes before a quote give n backslashes and the
//   quote opens or closes a quoted part; 2n+1 backslashes before a quote give
//   n backslashes and a literal quote; inside quotes two quotes in a row give
//   one literal quote; other backslashes are literal.
// An empty command line gives the path of this program. Returns one block
// from LocalAlloc holding the NULL-terminated pointer array and the texts;
// free it with LocalFree. NULL (last error set) when `count` is null or
// memory is exhausted.
LPWSTR* CommandLineToArgvW(LPCWSTR command_line, int* count);

namespace platform {

// The command line that CommandLineToArgvW splits back into exactly these
// arguments (quotes in the first argument, which cannot be written there,
// are dropped).
std::u16string JoinCommandLine(const std::vector<std::u16string>& args);
// The arguments of a command line, as CommandLineToArgvW gives them (an
// empty command line gives no arguments).
std::vector<std::u16string> SplitCommandLine(std::u16string_view command_line);

// Makes GetCommandLineW() the join of argv (UTF-8 texts; call it from main).
void SetCommandLineFromArgv(int argc, const char* const* argv);

}  // namespace platform

// ---- Environment variables -----------------------------------------------------------
// Names match exactly first and otherwise without regard to case, as the
// platform's names do.
//
// Copies a variable's value; returns its length without the terminator, or,
// when `size` is too small, the size needed with the terminator (nothing
// copied). 0 with ERROR_ENVVAR_NOT_FOUND when the variable is not set (an
// empty value gives 0 with ERROR_SUCCESS).
DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size);
// Sets a variable, or removes it when `value` is NULL. FALSE with
// ERROR_INVALID_PARAMETER for an empty name or one with '='.
BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value);
// Replaces each %name% of a set variable by its value; unknown references
// stay as written. Returns the size of the result with its terminator; when
// that is more than `size` nothing is written (but a terminator at dest[0])
// and the caller retries with the size returned. 0 on failure.
DWORD ExpandEnvironmentStringsW(LPCWSTR source, LPWSTR dest, DWORD size);
