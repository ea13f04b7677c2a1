// Numbers and texts: integers and decimals grouped in the user's locale,
// number tokens read from edit fields, hexadecimal values, four-character
// codes, small text clean-ups and labelled values.
//
// Locale values (thousands and decimal separators, grouping, leading zero,
// negative sign) come from the internationals record of the language layer,
// as read at kernel start-up or by the last WuLang_GetInternationals(NULL,
// 0). Time positions are in foundation/WuNanoTime.h.
#pragma once

#include "platform/kernel/types.h"

// Output size, in characters with the terminator, that the integer and
// decimal writers below (which take no size) need at most: they never
// write more.
constexpr int WUNUMBER_TEXT_MAX = 64;

// ---- Grouping in the user's locale ----------------------------------------------------
// The number text is a plain C-locale number: optional '-', digits, one '.'.
// Leading characters that are not significant (anything but a digit, '-' or
// '.', and '0's not followed by '.') are kept as they are, so padding and
// leading zeros of a printf field survive. A text the locale formatter
// refuses (no digits, "inf") is copied unchanged. The output is bounded by
// `size` and always terminated; the result is its length.

// Groups the integer part with the locale thousands separator; no decimals.
int WuFormatNumber(LPCWSTR text, WCHAR* out, int size);
// Gives the text the locale decimal separator and keeps its decimals; no
// grouping.
int WuFormatDecimalNumber(LPCWSTR text, WCHAR* out, int size);
// Both: grouping and decimal separator, with `decimals` decimals (-1: as
// many as the text has; more than the text has are filled with 0, fewer
// round half away from zero).
int WuFormatGroupDecimalNumber(LPCWSTR text, WCHAR* out, int size, int decimals);

// ---- Integers and decimals to text ----------------------------------------------------
// Decimal text, signed ones with '-'; with `group` grouped in the locale.
// The output must hold WUNUMBER_TEXT_MAX characters. Return the length.
int WuLongToText(LONG value, WCHAR* out, BOOL group);
int WuDWordToText(DWORD value, WCHAR* out, BOOL group);
int WuDWordLongToText(ULONGLONG value, WCHAR* out, BOOL group);
int WuLongLongToText(LONGLONG value, WCHAR* out, BOOL group);
// Fixed-point text of a double with `decimals` decimals (0 to 9; more count
// as 9, fewer than 0 as 0), rounded half away from zero, '-' only when the
// rounded value is not zero. The output must hold WUNUMBER_TEXT_MAX
// characters; an integer part too long for it (beyond about 10^50) is cut.
// Not-a-number and infinities are written as the runtime spells them.
int WuDoubleToText(WCHAR* out, double value, int decimals, BOOL group);

// ---- Number tokens --------------------------------------------------------------------
// Reads one number from the start of a text: white space is skipped, at
// most 63 characters of the number are taken, and *end (when not NULL)
// receives the position after them. Integer tokens are read in locale mode:
// the locale negative sign reads as '-', thousands separators are skipped,
// the locale decimal separator ends an integer. Doubles read in locale mode
// when asked; otherwise a leading '-', digits and '.' are taken and ','
// skipped. Values beyond the type's range saturate.
//
// WuTextToDWordToken takes no sign: a text beginning with '-' reads as 0.
DWORD WuTextToDWordToken(LPCWSTR text, const WCHAR** end);
LONG WuTextToLongToken(LPCWSTR text, const WCHAR** end);
LONGLONG WuTextToLongLongToken(LPCWSTR text, const WCHAR** end);
double WuTextToDoubleToken(LPCWSTR text, const WCHAR** end, BOOL locale);

// The Ex forms: when the value is 0 and nothing could be read (the end
// position holds a character that is neither the terminator nor white
// space), the default is taken; the result is then raised to the minimum
// and lowered to the maximum.
DWORD WuTextToDWordTokenEx(LPCWSTR text, DWORD def, DWORD minimum, DWORD maximum,
                           const WCHAR** end);
LONG WuTextToLongTokenEx(LPCWSTR text, LONG def, LONG minimum, LONG maximum, const WCHAR** end);
LONGLONG WuTextToLongLongTokenEx(LPCWSTR text, LONGLONG def, LONGLONG minimum, LONGLONG maximum,
                                 const WCHAR** end);
double WuTextToDoubleTokenEx(LPCWSTR text, double def, double minimum, double maximum,
                             const WCHAR** end, BOOL locale);

// Hexadecimal: white space and an optional "0x" (either case) are skipped;
// 0-9, A-F and a-f accumulate (saturating); the first other character ends
// the value.
DWORD WuHexToDWordToken(LPCWSTR text, const WCHAR** end);
ULONGLONG WuHexToDWordLongToken(LPCWSTR text, const WCHAR** end);
DWORD WuHexToDWordTokenEx(LPCWSTR text, DWORD def, DWORD minimum, DWORD maximum, const WCHAR** end);
ULONGLONG WuHexToDWordLongTokenEx(LPCWSTR text, ULONGLONG def, ULONGLONG minimum, ULONGLONG maximum,
                                  const WCHAR** end);

// ---- Texts ----------------------------------------------------------------------------
// The four bytes of a code, low byte first, each outside 32..126 shown as
// '.'; `out` holds 5 characters. Returns out.
LPWSTR WuFourCCToString(DWORD code, WCHAR* out);
// Replaces every `from` by `to` in place; returns the length.
int WuStringReplaceChars(WCHAR* text, WCHAR from, WCHAR to);
// Trims white space at both ends in place; returns the new length.
int WuStripWhiteSpace(WCHAR* text);
// Copies the text without leading and trailing white space (bounded by
// size); returns out, or NULL (out emptied) when nothing is left.
LPWSTR WuPrepareName(LPCWSTR text, WCHAR* out, int size);
// The start of the trailing white space: just after the last character that
// is not white space; the text itself when it is empty or all white space;
// NULL for NULL.
const WCHAR* WuFindTrailingWhiteSpace(const WCHAR* text);
// Copies a name doubling every '&' so that it shows literally in a menu;
// bounded by size (a doubled '&' is never cut in half). Returns the length.
int WuFixNameForMenu(WCHAR* out, LPCWSTR text, int size);

// A value followed by its unit in a 24-character temporary text of the
// kernel language handle: with decimals N of 1 to 9 (above 9 count as 9)
// the integer divided by 10^N, or the float, with N decimals; with N of 0
// or less the integer (the float truncated). "-Inf." (and the unit) when a
// floor is given (not 0) and the value is at or below it; "Err." when no
// temporary text is available. The text is cut to fit the 24 characters.
LPCWSTR WuGetLabeledStringFixed(LONG value, int decimals, LONG floor, LPCWSTR unit);
LPCWSTR WuGetLabeledStringFloat(double value, int decimals, double floor, LPCWSTR unit);

// Derives the two channel names of a stereo pair. A name holding two
// consecutive numbers n and n + 1 (as in "Out 1/2") gives "Out 1" and
// "Out 2"; otherwise a name split at a '/' (not the one of "S/PDIF") keeps
// the words around the split on both sides ("Main L/R Mix" gives "Main L
// Mix" and "Main R Mix"); otherwise the names are "<name> - L" and
// "<name> - R". The name counts at most 259 characters; both outputs are
// bounded by their sizes. Returns TRUE when a pair or a split was found.
BOOL WuChannelizeStereoName(LPCWSTR stereo, WCHAR* left, int leftSize, WCHAR* right, int rightSize);
