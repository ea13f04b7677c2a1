// The error handler: conversion of platform and common-dialog error numbers
// into the system's status codes, the tables that explain status codes and
// error contexts in the user's language, the process-wide error details
// that the next error box offers in its Details pane, and the boxes.
#pragma once

#include <cstdarg>

#include "platform/oleauto.h"
#include "platform/types.h"
#include "platform/windows.h"

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

// Registers an application table, read through the kernel language handle
// (or the given one); S_OK, S_FALSE when 32 tables are registered already.
HRESULT WuErrorHandler_AddErrorTable(const _wuerror_table* entries, int count);
HRESULT WuErrorHandler_AddErrorTable(HWULANG lang, const _wuerror_table_rcid* entries, int count);

// Maps a Win32 error number (GetLastError) to a status code through a fixed
// table: 0 stays 0, the numbers the library meets get their own codes
// (file not found -> 0x8004E00A, access denied -> E_ACCESSDENIED, disk full
// -> 0x8004E002, ...), and every other number, including those with the
// top bit set, becomes E_FAIL. Use HRESULT_FROM_WIN32 (platform/types.h)
// where the platform's own arithmetic conversion is wanted instead.
HRESULT WuErrorHandler_TranslateWin32Error(DWORD error);
// Maps a common-dialog extended error (CommDlgExtendedError) to a status code.
HRESULT WuErrorHandler_TranslateCommDlgError(DWORD error);

// The explanation of a status code: registered tables first, then the
// built-in table; NULL when none has it.
LPCWSTR WuErrorHandler_GetHresultString(HRESULT code);
// A context id's sentence (context 0's for unknown ids); a value above
// 0xFFFF is itself a text and comes back unchanged.
LPCWSTR WuErrorHandler_GetContextString(LPCWSTR context);
// The composed message (context sentence with the detail, then the status
// code's text) in the handler's shared message buffer.
LPCWSTR WuErrorHandler_GetErrorMessage(LPCWSTR context, HRESULT code, LPCWSTR detail);
// The composed message and, when details exist, the details in
// "<Details>" tags, as a new BSTR (SysFreeString); NULL without a message.
BSTR WuErrorHandler_ComposeErrorText(LPCWSTR context, HRESULT code, LPCWSTR detail);
// Shows the composed message (nothing for 0x8004E00C, answering 1).
int WuErrorHandler_MsgBox(HWND owner, UINT style, LPCWSTR context, HRESULT code,
                          LPCWSTR detail, BOOL warning);
// Shows `text` in the custom box, with Details when details were collected,
// then clears the details; returns the button.
int WuErrorHandler_MsgBoxText(HWND owner, UINT style, LPCWSTR text, BOOL warning);

// Clears the whole details state; 0.
int WuErrorHandler_DetailsInit();
// Appends one formatted line; S_OK, E_POINTER for a NULL format, E_FAIL when
// it does not fit or another thread owns the details.
HRESULT WuErrorHandler_DetailsAddString(HRESULT code, LPCWSTR format, ...);
HRESULT WuErrorHandler_DetailsAddStringV(HRESULT code, LPCWSTR format, va_list args);
// The details text (NULL without lines); each out pointer may be NULL.
LPCWSTR WuErrorHandler_DetailsInfo(HRESULT* last_error, int* lines, DWORD* owner_thread);
// The status code given with the last details line.
HRESULT WuErrorHandler_GetLastError();

// A context id passed where a context text pointer is expected.
inline LPCWSTR WuErrorContextId(UINT id) {
  return reinterpret_cast<LPCWSTR>(static_cast<UINT_PTR>(id));
}
