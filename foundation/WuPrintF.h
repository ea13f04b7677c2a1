// Formatted text with token substitution: the engine that produces every
// user-visible text of the library, the process-wide token table, the
// file-size formatter and the system-sound routine.
//
// The engine formats like printf for UTF-16 text, with three additions:
//
//  - '$' is a second conversion introducer: "$d", "$u", "$I64d", "$.2f",
//    "$.2z" format like their '%' forms and then group the number with the
//    user's locale ("$d" of -1234567 gives "-1,234,567" in English).
//    "$$" writes '$'; "%%" and "$%" write '%'.
//  - Conversions that insert locale texts and take no argument: '*' the
//    decimal separator, ',' the list separator, ':' the time separator;
//    "!:" "!." "!," the time-code separators (whole units, before non-drop
//    frames, before drop frames) and "&:" "&." the musical-time separators
//    (measures to beats, beats to ticks), as in "%02u$:%02u".
//  - "%.Nz" divides a 32-bit integer by 10^N and prints it with N decimals
//    and the locale decimal separator ("$.2z" of 123456789 gives
//    "1,234,567.89").
//  - References: "$(Name)" is replaced by the value of the token Name
//    (names compare without regard to case; an unknown name stays as
//    written); "$(1234567)" is the number grouped in the locale.
//
// Integer conversions take a 32-bit argument unless the conversion holds
// the size prefix "I64" (or "ll"); 'c' takes a character and 's' a UTF-16
// text ("%hs" a byte text). A conversion directive, a numeric
// conversion and a number reference each hold at most 259 characters;
// longer ones are written as they stand.
//
// Every output is bounded: the engine writes at most size-1 characters,
// always terminates the output (size >= 1) and never cuts a surrogate pair.
#pragma once

#include <cstdarg>

#include "platform/kernel/types.h"

typedef struct WULANG* HWULANG;  // language handle (foundation/WuLang.h)

// Size in characters, terminator included, of the output that the unbounded
// forms (WuVPrintF, WuPrintF) may write: the library's formatting buffer.
constexpr int WUPRINTF_MAX = 2048;

// The engine: formats into `out` of `size` characters. Returns the length
// of the result (characters written without the terminator). A NULL format
// gives an empty text; a NULL output or a size below 1 writes nothing and
// returns 0.
int WuVPrintFN(WCHAR* out, int size, const WCHAR* format, va_list args);
int WuPrintFN(WCHAR* out, int size, const WCHAR* format, ...);

// The same with an output of WUPRINTF_MAX (2,048) characters: the caller
// gives at least that much room, or uses the N forms.
int WuVPrintF(WCHAR* out, const WCHAR* format, va_list args);
int WuPrintF(WCHAR* out, const WCHAR* format, ...);

// ---- The token table ------------------------------------------------------------------
// One process-wide table, sorted by name without regard to case, guarded by
// its own lock; lookups copy the value while holding it, so any thread may
// format while others add or delete tokens.

// Creates the table (kernel start-up). S_OK also when it already exists;
// the list's failure code otherwise.
HRESULT WuPrintF_CreateTokens();
// Destroys the table and every token (kernel shut-down). Returns 0.
HRESULT WuPrintF_DestroyTokens();
// Adds a token, replacing one of the same name. A NULL value is stored as
// an empty text. FALSE when there is no table, the name is NULL or the new
// token cannot be allocated; the table then keeps any older value.
BOOL WuPrintF_AddToken(LPCWSTR name, LPCWSTR value);
// Removes a token; TRUE when one of that name existed.
BOOL WuPrintF_DeleteToken(LPCWSTR name);

// ---- Helpers --------------------------------------------------------------------------
// Formats a message with numbered text inserts (%1, %2, ...) taken from the
// arguments (the platform's message formatter on a string). Returns the
// characters written, 0 on failure (the output is then empty).
int WuComposeStr(WCHAR* out, int size, LPCWSTR message, ...);

// Writes a human-readable size ("998 B", "1.50 MB", "> 9 YB") into `out`
// of `size` characters (cut to fit). Negative sizes count as 0. With
// `longUnits` sizes below 999 bytes read "998 bytes". The message texts
// come from the kernel language handle.
void WuFormatFileSize(LONGLONG bytes, WCHAR* out, int size, BOOL longUnits);

// Plays a system sound asynchronously: 1 "SystemExclamation", 2
// "SystemAsterisk", 3 "SystemQuestion", 4 the application alias
// "Brisvanemoor_DoneProcessing", any other kind "SystemDefault". Returns
// the result of sndPlaySoundW.
BOOL WuBeep(int kind);

// TRUE when the text holds a '%' or a '$' (and so must go through the
// engine to be shown); FALSE for NULL.
BOOL WuHasFormatChars(LPCWSTR text);

// The first occurrence of a character, or the terminator; NULL for NULL.
const WCHAR* WuStrChrOrEnd(const WCHAR* text, WCHAR c);
inline WCHAR* WuStrChrOrEnd(WCHAR* text, WCHAR c) {
  return const_cast<WCHAR*>(WuStrChrOrEnd(static_cast<const WCHAR*>(text), c));
}

// ---- Formatting into windows ---------------------------------------------------------
// A text holding '%' or '$' goes through the engine (into WUPRINTF_MAX
// characters); any other text is used as it stands. The result is the
// length of the text set, 0 when the window call fails (or for a NULL
// format).

// Sets a window's text.
int WuSetWindowText(HWND window, LPCWSTR format, ...);
// The same with the handle's string resource `id` (WuGetString) as format.
int WuSetWindowTextId(HWULANG lang, HWND window, UINT id, ...);
// Sets the text of a dialog's item.
int WuSetDlgItemText(HWND dialog, int item, LPCWSTR format, ...);
// The same, but an item that already shows that text is left alone (no
// repaint); the result is then the current length. Items holding 8,192
// characters or more are always set.
int WuSetDlgItemTextNoFlash(HWND dialog, int item, LPCWSTR format, ...);
// WuSetDlgItemText with the handle's string resource `id` as format.
int WuSetDlgItemTextId(HWULANG lang, HWND dialog, int item, UINT id, ...);
// Appends a formatted line to a multi-line edit control: the text (always
// through the engine) and then "\r\n", both at the end without undo. Leading
// '~' characters are dropped and suppress the line break. A NULL format
// empties the control and returns 0. Returns the formatted length.
int WuMEditPrintF(HWND edit, LPCWSTR format, ...);

// ---- Fitting a text to a width ----------------------------------------------------------
// Both measure with the DC's current font and fit the text into width - 2
// pixels; `text` is a buffer of `size` characters. A surrogate pair is never
// split.
//
// Keeps the longest head of the text that fits with "..." after it and
// writes head + "..." (within `size`). 1 when the text was shortened; 0 when
// it already fits, when nothing fits or a measurement fails (text unchanged).
int WuCalcStringEllipsis(HDC dc, LPWSTR text, int size, int width);
// The mirror form: keeps the longest tail and writes "..." + tail. 1 when
// the text fits (as it was or shortened); 0 when nothing fits or a
// measurement fails (text unchanged).
int WuCalcStringEllipsisFromEnd(HDC dc, LPWSTR text, int size, int width);
