// Console control handlers: what runs when the process is asked to stop.
//
// Linux asks with signals: SIGINT (Ctrl+C on the terminal) arrives as
// CTRL_C_EVENT, SIGTERM as CTRL_CLOSE_EVENT and SIGHUP (the terminal went
// away) as CTRL_LOGOFF_EVENT. The first SetConsoleCtrlHandler call installs
// catchers for those three signals and starts one watcher thread; the
// catcher only wakes the watcher, and the watcher calls the handlers in the
// reverse order of their registration, on its own thread (ordinary code may
// run there: allocate, lock, remove files). A handler that returns TRUE has
// dealt with the event and the process goes on; when none does, the
// process ends by that signal with the default action, as if it had never
// been caught (a shell sees 128 + the signal number).
//
// Child processes start with the default signal actions (platform/kernel/process.h),
// so a setup program run by us is stopped by Ctrl+C as any program is.
#pragma once

#include "platform/kernel/types.h"

// The events a handler receives.
constexpr DWORD CTRL_C_EVENT = 0;         // SIGINT
constexpr DWORD CTRL_BREAK_EVENT = 1;     // (never raised here)
constexpr DWORD CTRL_CLOSE_EVENT = 2;     // SIGTERM
constexpr DWORD CTRL_LOGOFF_EVENT = 5;    // SIGHUP
constexpr DWORD CTRL_SHUTDOWN_EVENT = 6;  // (never raised here)

// A handler: TRUE when it dealt with the event (the process goes on).
typedef BOOL (*PHANDLER_ROUTINE)(DWORD ctrl_type);

// Adds (`add` TRUE) or removes a handler. A NULL handler is refused with
// ERROR_INVALID_PARAMETER (this stand-in has no "ignore Ctrl+C" mode);
// removing one that is not registered fails with ERROR_INVALID_PARAMETER,
// and ERROR_NOT_ENOUGH_MEMORY when the watcher cannot be started. A
// handler may be added more than once; each removal takes one away.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);

namespace platform {

// Ends this process by the signal behind a control event (SIGINT, SIGTERM
// or SIGHUP), with the signal's default action, as if it had never been
// caught: the caller of the process sees the signal. Other events end it
// by SIGTERM.
[[noreturn]] void EndByCtrlEvent(DWORD ctrl_type);

// The signal number behind a control event (SIGINT, SIGTERM, SIGHUP;
// SIGTERM for the events never raised here).
int SignalOfCtrlEvent(DWORD ctrl_type);

// Sends the signal behind a control event to one process by its id, as a
// service manager would. Never to a group: ids 0 and below, and this
// process's own, are refused (ERROR_INVALID_PARAMETER). FALSE with the
// error when the process is gone (ERROR_INVALID_PARAMETER) or may not be
// signalled (ERROR_ACCESS_DENIED).
bool SendCtrlEventToProcessId(DWORD process_id, DWORD ctrl_type);

}  // namespace platform
