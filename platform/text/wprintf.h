// Formatted output of UTF-16 text: the C runtime's wide printf family and
// the platform's message formatter, written for char16_t.
//
// Conversions follow the platform's wide-character runtime: in a wide format
// %s and %c take UTF-16 text and characters, %S and %C narrow (byte) ones,
// %hs/%hc are always narrow and %ls/%lc/%ws/%wc always wide. Narrow text is
// read in the ANSI code page (GetACP, platform/kernel/locale.h).
//
// Size prefixes, as on the platform: none, l and I32 read a 32-bit value (l
// is 32-bit, like LONG); h a 16-bit and hh an 8-bit value passed as int; ll,
// I64 and j a 64-bit value; I, z and t a pointer-sized value. L before a
// floating conversion reads a `long double`.
//
// Flags - + 0 space #, width and precision (also as '*', taken from the
// arguments; a negative width means '-', a negative precision none).
// Conversions d i u o x X c C s S e E f F g G a A p n and %%:
//   - integers and floating point give exactly the text of the C runtime's
//     printf for the same directive (digits, "inf", "nan", "-nan");
//   - %p prints the pointer as 16 upper-case hex digits without "0x";
//   - a NULL text prints "(null)" (cut by a precision like any text);
//   - the '0' flag pads texts and characters with zeros, as the platform's;
//   - a precision never cuts a surrogate pair: the pair is left out whole;
//   - %n consumes its pointer and writes nothing (it is not supported);
//   - an unknown conversion writes its directive as it stands, and a
//     directive cut short by the end of the format is written likewise.
//
// Every function is bounded by the size of its output and always terminates
// it (when the size is at least 1). A cut result never ends in the first
// half of a surrogate pair: the pair is dropped whole.
#pragma once

#include <cstdarg>

#include "platform/kernel/types.h"

namespace platform {

// The runtime's wide formatter (swprintf with a size). Formats into `out`
// (at most size-1 characters, then a terminator) and returns the length of
// the complete result, which may be larger than what was written: the
// output was cut when the result is >= size. `out` may be NULL with size 0
// to measure. Returns -1 (output terminated) for a NULL format, a NULL `out`
// with a size, a result longer than INT_MAX characters, or when memory for
// a conversion runs out.
int FormatV(WCHAR* out, size_t size, const WCHAR* format, va_list args);
int Format(WCHAR* out, size_t size, const WCHAR* format, ...);

}  // namespace platform

// The platform's window-system formatter: output of at most 1,024
// characters including the terminator; returns the length written (without
// the terminator). It knows no floating-point conversions: they consume
// their double and print nothing. A NULL output or format returns 0.
constexpr int WSPRINTF_LIMIT = 1024;
int wsprintfW(LPWSTR out, LPCWSTR format, ...);
int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args);

// ---- Message formatting ----------------------------------------------------------
//
// Message texts hold numbered inserts %1 .. %99 (two digits at most: "%100"
// is insert 10 followed by '0'), each optionally followed by a printf
// directive between exclamation marks ("%1!d!", "%2!08X!"; without one
// the insert is a wide text, "!s!"). A '*' width or precision takes the
// inserts in order: "%1!*.*s!" reads the width from insert 1, the precision
// from insert 2 and the text from insert 3. Escapes: %0 ends the output
// (and so suppresses the line break a message ends with), %n a line break
// "\r\n", %r a carriage return, %t a tab, %% %space %. %! the character;
// '%' before any other character writes that character, and a '%' that
// ends the text is kept.
constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

// Formats a message and returns the number of characters written without
// the terminator, or 0 with the last error set.
//
// Source: FROM_STRING takes `source` as the message text. FROM_SYSTEM knows
// the English texts of the Win32 error numbers of platform/kernel/types.h (each
// ending in "\r\n"), also in their HRESULT form 0x8007xxxx, and of the
// common COM codes; any language id gives the English text. An unknown
// number fails with ERROR_MR_MID_NOT_FOUND. FROM_HMODULE finds no message
// tables yet: it fails with ERROR_RESOURCE_TYPE_NOT_FOUND, or falls back to
// the system texts when FROM_SYSTEM is also given.
//
// Arguments: with FORMAT_MESSAGE_ARGUMENT_ARRAY `args` is really a DWORD_PTR
// array, one element per insert; otherwise a va_list* whose arguments are
// read in insert order with the types their directives name (an insert
// that the text does not use is read as a pointer-sized value). The caller's
// va_list is not advanced. IGNORE_INSERTS copies inserts unchanged; without
// it, a text with inserts and NULL `args` fails with ERROR_INVALID_PARAMETER,
// as does an insert whose "!spec!" is not closed.
//
// Line width (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK): 0 keeps the line
// breaks of the text. Any other value turns each line break of the text
// ("\r\n", "\r" or "\n") into one space and keeps only the breaks written
// with %n; lines are never wrapped at a width (a simplification of widths
// 1 to 254).
//
// Output: with ALLOCATE_BUFFER, `buffer` is really an LPWSTR* that receives
// a LocalAlloc'd block of at least `size` characters (free it with
// LocalFree); otherwise the text must fit in `size` characters with its
// terminator, else ERROR_INSUFFICIENT_BUFFER (the buffer then holds an empty
// text).
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD message_id, DWORD language_id,
                     LPWSTR buffer, DWORD size, va_list* args);
