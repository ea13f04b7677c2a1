// Text and locales: UTF-16 <-> UTF-8 at the operating-system boundary, the
// "ANSI" code page, case mapping and comparison of UTF-16 text; locale and
// language identifiers, the regional values of the known locales
// (GetLocaleInfoW, GetNumberFormatW) and the user's, the system's and the
// thread's choice of locale and UI language.
//
// The library keeps all text in UTF-16 (WCHAR). Linux takes and gives UTF-8,
// so every call into the operating system converts here. The platform's
// "ANSI code page" is emulated: 1252 (Western European) by default, 65001
// (UTF-8) selectable for tests with platform::SetAnsiCodePage.
#pragma once

#include <string>
#include <string_view>

#include "platform/kernel/types.h"

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

// ---- Locale and language identifiers -----------------------------------------------
//
// A LANGID is a primary language (low 10 bits) and a sublanguage (high 6
// bits); an LCID is a LANGID and a sort id (bits 16..19).
constexpr LANGID MAKELANGID(WORD primary, WORD sub) {
  return static_cast<LANGID>((sub << 10) | primary);
}
constexpr WORD PRIMARYLANGID(LANGID lang) { return static_cast<WORD>(lang & 0x3FF); }
constexpr WORD SUBLANGID(LANGID lang) { return static_cast<WORD>(lang >> 10); }
constexpr LCID MAKELCID(LANGID lang, WORD sort) {
  return (static_cast<DWORD>(sort) << 16) | static_cast<DWORD>(lang);
}
constexpr LANGID LANGIDFROMLCID(LCID lcid) { return static_cast<LANGID>(lcid & 0xFFFF); }
constexpr WORD SORTIDFROMLCID(LCID lcid) { return static_cast<WORD>((lcid >> 16) & 0xF); }

constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD LANG_INVARIANT = 0x7F;
constexpr WORD LANG_ENGLISH = 0x09;
constexpr WORD LANG_SPANISH = 0x0A;
constexpr WORD SUBLANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
constexpr WORD SUBLANG_SYS_DEFAULT = 0x02;
constexpr WORD SORT_DEFAULT = 0x0;

constexpr LCID LOCALE_NEUTRAL = 0x0000;         // the user's default locale
constexpr LCID LOCALE_INVARIANT = 0x007F;       // culture-independent values
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;    // the user's default locale
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;  // the system's default locale

// ---- Locale information -------------------------------------------------------------
typedef DWORD LCTYPE;

// Flags combined with an item.
constexpr LCTYPE LOCALE_NOUSEROVERRIDE = 0x80000000;  // ignore the user's overrides
constexpr LCTYPE LOCALE_USE_CP_ACP = 0x40000000;      // accepted, no effect
constexpr LCTYPE LOCALE_RETURN_NUMBER = 0x20000000;   // numeric item as a DWORD

// Items. Numeric items ("I...") are decimal texts, except LOCALE_ILANGUAGE
// (four lower-case hex digits, "0409"); with LOCALE_RETURN_NUMBER they are
// returned as a DWORD in the first two WCHARs (the result is then 2).
constexpr LCTYPE LOCALE_ILANGUAGE = 0x0001;             // language id, hex
constexpr LCTYPE LOCALE_SLANGUAGE = 0x0002;             // display name, "German (Germany)"
constexpr LCTYPE LOCALE_SABBREVLANGNAME = 0x0003;       // three letters, "DEU"
constexpr LCTYPE LOCALE_ICOUNTRY = 0x0005;              // telephone country code
constexpr LCTYPE LOCALE_SCOUNTRY = 0x0006;              // country name
constexpr LCTYPE LOCALE_IDEFAULTCODEPAGE = 0x000B;      // OEM code page
constexpr LCTYPE LOCALE_SLIST = 0x000C;                 // list separator
constexpr LCTYPE LOCALE_IMEASURE = 0x000D;              // 0 metric, 1 US
constexpr LCTYPE LOCALE_SDECIMAL = 0x000E;              // decimal separator
constexpr LCTYPE LOCALE_STHOUSAND = 0x000F;             // thousands separator
constexpr LCTYPE LOCALE_SGROUPING = 0x0010;             // digit grouping, "3;0"
constexpr LCTYPE LOCALE_IDIGITS = 0x0011;               // decimal digits
constexpr LCTYPE LOCALE_ILZERO = 0x0012;                // 1: leading zero before decimals
constexpr LCTYPE LOCALE_STIME = 0x001E;                 // time separator
constexpr LCTYPE LOCALE_SLONGDATE = 0x0020;             // long-date pattern, "dddd, d. MMMM yyyy"
constexpr LCTYPE LOCALE_STIMEFORMAT = 0x1003;           // time pattern, "HH:mm:ss"
constexpr LCTYPE LOCALE_SPOSITIVESIGN = 0x0050;         // positive sign (empty)
constexpr LCTYPE LOCALE_SNEGATIVESIGN = 0x0051;         // negative sign
constexpr LCTYPE LOCALE_SISO639LANGNAME = 0x0059;       // "de"
constexpr LCTYPE LOCALE_SISO3166CTRYNAME = 0x005A;      // "DE"
constexpr LCTYPE LOCALE_SNAME = 0x005C;                 // "de-DE"
constexpr LCTYPE LOCALE_SENGLANGUAGE = 0x1001;          // English language name
constexpr LCTYPE LOCALE_SENGCOUNTRY = 0x1002;           // English country name
constexpr LCTYPE LOCALE_IDEFAULTANSICODEPAGE = 0x1004;  // ANSI code page (0: none)
constexpr LCTYPE LOCALE_INEGNUMBER = 0x1010;            // negative number order 0..4

// IsValidLocale flags.
constexpr DWORD LCID_INSTALLED = 0x1;
constexpr DWORD LCID_SUPPORTED = 0x2;

// The locales known: 0x409 English (US), 0x809 English (UK), 0x407 German,
// 0x40C French, 0x40A Spanish (traditional sort), 0xC0A Spanish (modern
// sort), 0x80A Spanish (Mexico), 0x410 Italian, 0x411 Japanese, 0x412
// Korean, 0x804 Chinese (PRC), 0x404 Chinese (Taiwan), 0x406 Danish, 0x40B
// Finnish, 0x413 Dutch, 0x414 Norwegian (Bokmål), 0x416 Portuguese (Brazil),
// 0x816 Portuguese (Portugal), 0x419 Russian, 0x41D Swedish, 0x439 Hindi
// (grouping "3;2;0") and the invariant locale 0x7F.
//
// An LCID names a locale by its language id (the sort id is ignored).
// LOCALE_USER_DEFAULT and LOCALE_NEUTRAL stand for the user's locale,
// LOCALE_SYSTEM_DEFAULT for the system's; a language with sublanguage 0
// ("German") stands for its first locale in the list above.
//
// GetLocaleInfoW returns the count written including the terminator; size
// 0 asks for that count. Failures return 0 and set the last error:
// ERROR_INVALID_PARAMETER (unknown locale, NULL data with a size, negative
// size), ERROR_INVALID_FLAGS (unknown item or flag, LOCALE_RETURN_NUMBER on
// a text item), ERROR_INSUFFICIENT_BUFFER (nothing is written then).
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int size);

// Number format record: overrides every locale value at once.
struct NUMBERFMTW {
  UINT NumDigits;        // decimals to show
  UINT LeadingZero;      // 1: "0.5", 0: ".5"
  UINT Grouping;         // group sizes as decimal digits, see below
  LPWSTR lpDecimalSep;   // decimal separator
  LPWSTR lpThousandSep;  // thousands separator
  UINT NegativeOrder;    // 0 "(1.1)", 1 "-1.1", 2 "- 1.1", 3 "1.1-", 4 "1.1 -"
};

// Formats a number text: optional '-', digits, at most one '.', with at
// least one digit (anything else is ERROR_INVALID_PARAMETER). Decimals
// beyond NumDigits are rounded half away from zero on the digits themselves
// (no binary floating point), so "0.125" with 2 decimals gives "0.13" and
// "9.995" gives "10.00". A value that rounds to zero shows no sign.
//
// Grouping: the locale's LOCALE_SGROUPING text ("3;0": threes throughout;
// "3": one group of three, the rest ungrouped; "3;2;0": three, then twos),
// or NUMBERFMTW.Grouping with the same sizes as digits (3, 30, 32): the
// last size repeats unless the list ends in 0.
//
// `flags` is 0, or LOCALE_NOUSEROVERRIDE without a format record. Returns
// the count written including the terminator (size 0: the count needed);
// failures return 0 with ERROR_INVALID_PARAMETER, ERROR_INVALID_FLAGS or
// ERROR_INSUFFICIENT_BUFFER.
int GetNumberFormatW(LCID locale, DWORD flags, LPCWSTR value, const NUMBERFMTW* format,
                     LPWSTR out, int size);

// The user's and the system's choices, and the calling thread's.
LANGID GetUserDefaultUILanguage();
LANGID GetSystemDefaultUILanguage();
LCID GetUserDefaultLCID();
LANGID GetUserDefaultLangID();
LCID GetSystemDefaultLCID();
LANGID GetSystemDefaultLangID();
// The thread locale starts as the user's default locale. SetThreadLocale
// records a known locale for the calling thread (TRUE), else FALSE with
// ERROR_INVALID_PARAMETER.
LCID GetThreadLocale();
BOOL SetThreadLocale(LCID locale);
// Records the thread's UI language and returns it; 0 goes back to the
// user's UI language. An unknown language returns 0 (ERROR_INVALID_PARAMETER).
LANGID SetThreadUILanguage(LANGID lang);
LANGID GetThreadUILanguage();
// TRUE for a known locale given by its language id (not the special values
// nor a neutral language); flags LCID_INSTALLED or LCID_SUPPORTED.
BOOL IsValidLocale(LCID locale, DWORD flags);

namespace platform {

// Where the user's choice comes from. Without an override:
//   UI language:        LC_ALL, else LC_MESSAGES, else LANG;
//   user locale:        LC_ALL, else LC_NUMERIC, else LANG;
//   system locale:      LC_ALL, else LANG (the system UI language follows it).
// A value "de_DE.UTF-8" names German (Germany); "pt_PT" 0x816; "zh_TW"
// 0x404; "es_ES" 0xC0A (the modern sort, the platform's default for Spain);
// a known language with an unknown country gives the language's first
// locale; "C", "POSIX", an unknown language or nothing set gives 0x409.
// An empty variable counts as unset.
LCID LocaleFromName(const char* name);

// Test seams. SetUserLocale fixes the user's default locale and UI language
// (0 for either: back to the environment); SetSystemLocale the system's.
// They return FALSE (nothing changed) for an unknown locale.
BOOL SetUserLocale(LCID user_default, LANGID ui_language);
BOOL SetSystemLocale(LCID system_default);

// Replaces one item of one locale, as the user's regional settings do (so
// that a test can present, say, equal thousands and decimal separators).
// The override applies wherever that locale is read (GetLocaleInfoW and
// GetNumberFormatW without a record), except with LOCALE_NOUSEROVERRIDE.
// A NULL text removes it. FALSE for an unknown locale or item.
BOOL SetLocaleOverride(LCID locale, LCTYPE type, const WCHAR* text);
void ClearLocaleOverrides();

}  // namespace platform
