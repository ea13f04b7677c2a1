// The error handler: conversion of platform and common-dialog error numbers
// into the system's status codes, the tables that explain status codes and
// error contexts in the user's language, the process-wide error details
// that the next error box offers in its Details pane, and the boxes.
#pragma once

#include <cstdarg>

#include "platform/com/oleauto.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

typedef struct WULANG* HWULANG;  // language handle (foundation/WuLang.h)

// One entry of an application's error table: a status code and its text
// reference (anything WuGetStringSmart accepts: a string id below 0x10000,
// a multilingual row or a plain text).
struct _wuerror_table {
  HRESULT code;   // status code
  LPCWSTR text;   // text reference
};
typedef _wuerror_table _wuerror_table_rcid;  // the same with string ids

// Most tables an application may register.
constexpr int WUERROR_MAX_TABLES = 32;
// Size of the details text in characters, terminator included.
constexpr int WUERROR_DETAILS_SIZE = 8192;
// Size of the composed message in characters, terminator included.
constexpr int WUERROR_MESSAGE_SIZE = 2048;

// Registers an application table for the life of the process (the entries
// are kept, not copied), read through the kernel language handle (or the
// given one; NULL = the kernel's). S_OK; S_FALSE, storing nothing, when 32
// tables are registered already; E_POINTER for NULL entries with a count,
// E_INVALIDARG for a negative count.
HRESULT WuErrorHandler_AddErrorTable(const _wuerror_table* entries, int count);
HRESULT WuErrorHandler_AddErrorTable(HWULANG lang, const _wuerror_table_rcid* entries, int count);

// Maps a Win32 error number (GetLastError) to a status code through a fixed
// table: 0 stays 0, the numbers the library meets get their own codes
// (file not found -> 0x8004E00A, access denied -> E_ACCESSDENIED, disk full
// -> 0x8004E002, ...), and every other number, including those with the
// top bit set, becomes E_FAIL. Use HRESULT_FROM_WIN32 (platform/kernel/types.h)
// where the platform's own arithmetic conversion is wanted instead.
HRESULT WuErrorHandler_TranslateWin32Error(DWORD error);
// Maps a common-dialog extended error (CommDlgExtendedError) to a status code.
HRESULT WuErrorHandler_TranslateCommDlgError(DWORD error);

// The explanation of a status code: the registered tables in registration
// order (each read through its own language handle), then the built-in
// table; NULL when none has it.
LPCWSTR WuErrorHandler_GetHresultString(HRESULT code);
// A context id's sentence (context 0's for unknown ids); a value above
// 0xFFFF is itself a text and comes back unchanged (a multilingual row is
// read in the kernel handle's language).
LPCWSTR WuErrorHandler_GetContextString(LPCWSTR context);
// The composed message in the handler's shared message buffer: the context
// sentence formatted with the detail as its one argument ("%s"), then,
// unless that already fills 1,948 characters, the status code's text (or
// "Error 0x%08x (message missing)") with its "$(Name)" references replaced
// and every other '%' and '$' kept as it stands. Cut to fit the buffer.
LPCWSTR WuErrorHandler_GetErrorMessage(LPCWSTR context, HRESULT code, LPCWSTR detail);
// The composed message and, when details exist, the details in
// "\r\n<Details>\r\n" ... "\r\n</Details>", as a new BSTR (SysFreeString);
// NULL without a message or memory. The details stay.
BSTR WuErrorHandler_ComposeErrorText(LPCWSTR context, HRESULT code, LPCWSTR detail);
// Shows the composed message with WuErrorHandler_MsgBoxText (nothing for
// 0x8004E00C, answering 1).
int WuErrorHandler_MsgBox(HWND owner, UINT style, LPCWSTR context, HRESULT code,
                          LPCWSTR detail, BOOL warning);
// Shows `text` (after "Warning: " with the warning flag) as it stands in
// the custom box. The style's details bits are cleared and set again when
// details were collected; the details are taken and cleared before the box
// runs. The box shows at most 2,047 characters. Returns the button.
int WuErrorHandler_MsgBoxText(HWND owner, UINT style, LPCWSTR text, BOOL warning);

// Clears the whole details state; 0.
int WuErrorHandler_DetailsInit();
// Appends one line and "\r\n" (a format holding '%' or '$' goes through
// WuVPrintFN). The first thread to add a line after a clearing owns the
// details; another thread is refused unless it passes the last line's
// code. S_OK, E_POINTER for a NULL format, E_FAIL when the line does not fit
// in the 8,192 characters or the thread is refused (nothing is added).
HRESULT WuErrorHandler_DetailsAddString(HRESULT code, LPCWSTR format, ...);
HRESULT WuErrorHandler_DetailsAddStringV(HRESULT code, LPCWSTR format, va_list args);
// The details text (NULL without lines), valid until the details change;
// each out pointer may be NULL.
LPCWSTR WuErrorHandler_DetailsInfo(HRESULT* last_error, int* lines, DWORD* owner_thread);
// The status code given with the last details line.
HRESULT WuErrorHandler_GetLastError();

// A context id passed where a context text pointer is expected.
inline LPCWSTR WuErrorContextId(UINT id) {
  return reinterpret_cast<LPCWSTR>(static_cast<UINT_PTR>(id));
}
