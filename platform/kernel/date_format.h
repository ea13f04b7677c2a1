// Dates and times as text in a locale's patterns: GetDateFormatW and
// GetTimeFormatW.
#pragma once

#include "platform/kernel/locale.h"
#include "platform/kernel/time.h"

// GetDateFormatW flags.
constexpr DWORD DATE_SHORTDATE = 0x00000001;  // the short-date pattern (not in the table: refused)
constexpr DWORD DATE_LONGDATE = 0x00000002;   // the locale's LOCALE_SLONGDATE
// GetTimeFormatW flags.
constexpr DWORD TIME_NOMINUTESORSECONDS = 0x00000001;  // hours only
constexpr DWORD TIME_NOSECONDS = 0x00000002;           // no seconds
constexpr DWORD TIME_NOTIMEMARKER = 0x00000004;        // no AM/PM marker
constexpr DWORD TIME_FORCE24HOURFORMAT = 0x00000008;   // 24-hour clock whatever the pattern

// Pattern letters (quoted text '...' is copied, '' gives one quote; other
// characters are copied):
//   d dd      day of the month, without or with a leading zero
//   ddd dddd  day of the week: first three characters of its name, the name
//   M MM      month number; MMM MMMM: first three characters of its name,
//             the name (for Russian the genitive form a long date uses)
//   y yy      year in two digits (y without a leading zero); yyy, yyyy: all digits
//   g gg      era: nothing
//   h hh H HH hours on the 12- and 24-hour clock; m mm minutes; s ss seconds
//   t tt      first character of the AM/PM marker, the whole marker
// Names and markers come in the locale's language (English for the
// invariant locale).
//
// Both write the text into `out` and return its count including the
// terminator; `size` 0 asks for that count. `time` NULL: the local time
// now. `format` NULL: the locale's pattern, with the user's overrides
// (platform::SetLocaleOverride) unless LOCALE_NOUSEROVERRIDE is among the
// flags. Failures return 0 and set the last error: ERROR_INVALID_PARAMETER
// (unknown locale, invalid date or time, NULL `out` with a size, negative
// size), ERROR_INVALID_FLAGS (unknown flags, a format together with
// DATE_LONGDATE, no format and no DATE_LONGDATE), ERROR_INSUFFICIENT_BUFFER
// (nothing is written then).
int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR out, int size);
// The minutes and seconds and their separators before them go with
// TIME_NOSECONDS / TIME_NOMINUTESORSECONDS, the marker and the space next to
// it with TIME_NOTIMEMARKER.
int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR out, int size);
