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
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;

UINT GetACP();
UINT GetOEMCP();

// The platform's converters. A count of -1 means "terminated, terminator
// included"; a destination size of 0 asks for the size needed. Failures set
// ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER or
// ERROR_NO_UNICODE_TRANSLATION and return 0.
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR source, int source_count,
                        LPWSTR dest, int dest_size);
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR source, int source_count,
                        LPSTR dest, int dest_size, LPCSTR default_char,
                        LPBOOL used_default_char);

// ---- Comparison and case ------------------------------------------------------
// Case-sensitive and case-insensitive comparison: negative, 0 or positive.
// Null pointers sort before every text.
int lstrcmpW(LPCWSTR a, LPCWSTR b);
int lstrcmpiW(LPCWSTR a, LPCWSTR b);
int lstrlenW(LPCWSTR text);
LPWSTR lstrcpynW(LPWSTR dest, LPCWSTR source, int size);
int lstrlenA(LPCSTR text);
LPSTR lstrcpynA(LPSTR dest, LPCSTR source, int size);
int lstrcmpA(LPCSTR a, LPCSTR b);
int lstrcmpiA(LPCSTR a, LPCSTR b);

// Case mapping of texts in place.
LPWSTR CharUpperW(LPWSTR text);
LPWSTR CharLowerW(LPWSTR text);

namespace platform {
// Case mapping and classification of one UTF-16 unit, as the platform's
// 16-bit wide-character runtime does it (towupper, towlower, iswspace).
WCHAR CharUpper(WCHAR c);
WCHAR CharLower(WCHAR c);
bool IsWhiteSpace(WCHAR c);

// Selects the emulated ANSI code page: 1252 or 65001. Returns FALSE for any
// other value.
BOOL SetAnsiCodePage(UINT code_page);
}  // namespace platform
