// Text: UTF-16 <-> UTF-8 at the operating-system boundary, the "ANSI" code
// page, case mapping and comparison of UTF-16 text.
//
// The library keeps all text in UTF-16 (WCHAR). Linux takes and gives UTF-8,
// so every call into the operating system converts here. The platform's
// "ANSI code page" is emulated: 1252 (Western European) by default, 65001
// (UTF-8) selectable for tests with platform::SetAnsiCodePage.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

namespace platform {

// UTF-16 -> UTF-8. Unpaired surrogates become U+FFFD. A null pointer gives
// an empty text.
std::string ToUtf8(const WCHAR* text);
std::string ToUtf8(std::u16string_view text);
// UTF-8 -> UTF-16. Invalid sequences become U+FFFD.
std::u16string ToUtf16(std::string_view text);

// Length of a terminated UTF-16 text (0 for null).
size_t WStrLen(const WCHAR* text);

}  // namespace platform

// ---- Code pages ---------------------------------------------------------------
constexpr UINT CP_ACP = 0;       // the process's ANSI code page
constexpr UINT CP_OEMCP = 1;     // the OEM code page (same as ANSI here)
constexpr UINT CP_UTF8 = 65001;  // UTF-8
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;   // UTF-8: fail on an unpaired surrogate
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;  // accepted; there is no best-fit mapping
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;    // UTF-8: fail on an invalid sequence

UINT GetACP();
UINT GetOEMCP();

// The platform's converters for CP_ACP, CP_OEMCP, 1252 and CP_UTF8.
//
// A source count of -1 means "terminated, terminator included" (the result
// then counts the terminator too); a destination size of 0 asks for the size
// needed and writes nothing. Failures return 0 and set the last error:
//   ERROR_INVALID_PARAMETER       unknown code page, null source, bad counts,
//                                 or (UTF-8) a default character was passed;
//   ERROR_INVALID_FLAGS           (UTF-8) flags other than the error flag;
//   ERROR_INSUFFICIENT_BUFFER     the result does not fit; the whole
//                                 characters that fit have been written;
//   ERROR_NO_UNICODE_TRANSLATION  invalid input under MB_ERR_INVALID_CHARS
//                                 or WC_ERR_INVALID_CHARS.
// Without the error flags, invalid UTF-8 and unpaired surrogates become
// U+FFFD. Every byte of code page 1252 has a character (its five unassigned
// bytes stand for the C1 controls of the same value); a character that 1252
// lacks becomes the default character (the first byte of `default_char`, or
// '?') and sets *used_default_char.
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR source, int source_count,
                        LPWSTR dest, int dest_size);
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR source, int source_count,
                        LPSTR dest, int dest_size, LPCSTR default_char,
                        LPBOOL used_default_char);

// ---- Comparison and case ------------------------------------------------------
// Comparison results are -1, 0 or 1. Null pointers sort before every text,
// the empty text included; two null pointers are equal.
//
// The order is ordinal, not linguistic: lstrcmpW compares UTF-16 units by
// value; lstrcmpiW compares the units after platform::CharLower, so "ÄBC"
// equals "äbc", and '_' (0x5F) sorts before both "Z" and "z" because they
// compare as 'z' (0x7A). A text that is a prefix of the other sorts first.
// The A forms decode both texts in the ANSI code page and compare the
// characters (code points) the same way.
int lstrcmpW(LPCWSTR a, LPCWSTR b);
int lstrcmpiW(LPCWSTR a, LPCWSTR b);
// Length in units, 0 for null.
int lstrlenW(LPCWSTR text);
// Copies at most size-1 units and terminates; size <= 0 writes nothing.
// A null source copies as an empty text. Returns dest (null for a null dest).
LPWSTR lstrcpynW(LPWSTR dest, LPCWSTR source, int size);
int lstrlenA(LPCSTR text);
LPSTR lstrcpynA(LPSTR dest, LPCSTR source, int size);
int lstrcmpA(LPCSTR a, LPCSTR b);
int lstrcmpiA(LPCSTR a, LPCSTR b);

// Case mapping of texts in place; returns the text. As on the platform, a
// "pointer" below 0x10000 is one character in the low word, and the mapped
// character is returned the same way.
LPWSTR CharUpperW(LPWSTR text);
LPWSTR CharLowerW(LPWSTR text);

namespace platform {
// Case mapping and classification of one UTF-16 unit with the Unicode rules
// of the C runtime's wide functions (towupper, towlower, iswspace).
// Surrogate units and characters without a one-unit mapping are unchanged.
WCHAR CharUpper(WCHAR c);
WCHAR CharLower(WCHAR c);
bool IsWhiteSpace(WCHAR c);

// Ordinal comparison of two counted texts in the order of lstrcmpW (or of
// lstrcmpiW with ignore_case): -1, 0 or 1. Bounded comparisons of prefixes
// use it so that they never copy. Null with a count of 0 is an empty text.
int CompareText(const WCHAR* a, size_t a_count, const WCHAR* b, size_t b_count,
                bool ignore_case);

// Selects the emulated ANSI code page: 1252 or 65001. Returns FALSE for any
// other value.
BOOL SetAnsiCodePage(UINT code_page);
}  // namespace platform
