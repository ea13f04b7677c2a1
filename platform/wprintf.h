// Formatted output of UTF-16 text: the C runtime's wide printf family and
// the platform's message formatter, written for char16_t.
//
// Conversions follow the platform's wide-character runtime: in a wide format
// %s and %c take UTF-16 text and characters, %S and %C narrow (byte) ones,
// %hs/%hc are always narrow and %ls/%lc/%ws always wide; the size prefixes
// h, l, ll, I32, I64 and I are understood; flags - + 0 space #, width and
// precision (also as '*'); d i u o x X c s e E f g G a A p and %%. %n is not
// supported and writes nothing. A NULL text argument prints "(null)".
//
// Every function is bounded by the size of its output and always terminates
// it (when the size is at least 1).
#pragma once

#include <cstdarg>

#include "platform/types.h"

namespace platform {

// The runtime's wide formatter (swprintf with a size). Formats into `out` (at most size-1 characters, then a terminator) and
// returns the length of the complete result, which may be larger than what
// was written: the output was cut when the result is >= size. Returns -1 for
// a NULL format.
int FormatV(WCHAR* out, size_t size, const WCHAR* format, va_list args);
int Format(WCHAR* out, size_t size, const WCHAR* format, ...);

}  // namespace platform

// The platform's window-system formatter: output of at most 1,024
// characters including the terminator; returns the length written. It knows
// no floating-point conversions (they print nothing), as the platform's.
int wsprintfW(LPWSTR out, LPCWSTR format, ...);
int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args);

// Message formatting with numbered inserts (%1 .. %99, optionally with a
// printf conversion between exclamation marks, as "%1!d!"), %0 ends the
// output without a line break, %n %r %t %% %space %. %! escapes.
constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;
// Returns the number of characters written without the terminator, or 0
// with the last error set. With FORMAT_MESSAGE_ARGUMENT_ARRAY `args` is
// really a DWORD_PTR array; otherwise a va_list*. FROM_SYSTEM knows the
// texts of the Win32 error numbers of platform/types.h.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD message_id, DWORD language_id,
                     LPWSTR buffer, DWORD size, va_list* args);
