#include "foundation/WuNumber.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"

namespace {

// ---- Locale values --------------------------------------------------------------------

// The number settings of the internationals record.
struct NumberLocale {
  WCHAR thousand[8];  // thousands separator
  WCHAR decimal[8];   // decimal separator
  WCHAR negative[8];  // negative sign
  UINT grouping;      // first group size (3 for the usual three-digit groups)
  UINT leadingZero;   // 1: "0.5", 0: ".5"
};

NumberLocale ReadNumberLocale() {
  WUINTERNATIONALS inat;
  WuLang_GetInternationals(&inat, sizeof inat);
  NumberLocale loc;
  WuStrCpyN(loc.thousand, inat.thousandSep, 8);
  WuStrCpyN(loc.decimal, inat.decimalSep, 8);
  WuStrCpyN(loc.negative, inat.negativeSign, 8);
  loc.grouping = inat.grouping;
  loc.leadingZero = inat.leadingZero;
  return loc;
}

bool IsDigit(WCHAR c) { return c >= u'0' && c <= u'9'; }

bool IsNumberChar(WCHAR c) { return IsDigit(c) || c == u'-' || c == u'.'; }

// Copies a text into a bounded output; returns the length written.
int CopyOut(const WCHAR* text, size_t length, WCHAR* out, int size) {
  if (!out || size <= 0) return 0;
  size_t n = length < static_cast<size_t>(size - 1) ? length : static_cast<size_t>(size - 1);
  for (size_t i = 0; i < n; ++i) out[i] = text[i];
  out[n] = 0;
  return static_cast<int>(n);
}

int CopyOut(const std::u16string& text, WCHAR* out, int size) {
  return CopyOut(text.data(), text.size(), out, size);
}

// How a number text is to be localised.
enum class NumberStyle {
  kGroup,         // grouping, no decimals
  kDecimal,       // decimal separator, no grouping
  kGroupDecimal,  // both
};

// Runs the locale number formatter over the significant part of `text`
// (leading padding and zeros, and any trailing characters, kept as they
// are). Returns false when the formatter refuses the number.
bool LocaliseNumber(const WCHAR* text, NumberStyle style, int decimals, std::u16string* result) {
  const WCHAR* p = text;
  // Leading characters that are not significant: anything but a digit, '-'
  // or '.', and '0's not followed by '.'.
  while (*p && (!IsNumberChar(*p) || (*p == u'0' && p[1] != u'.'))) ++p;
  const WCHAR* start = p;
  while (IsNumberChar(*p)) ++p;
  std::u16string number(start, p);
  std::u16string head(text, start);
  std::u16string tail(p);
  if (number.empty()) {
    *result = head + tail;
    return true;
  }

  NumberLocale loc = ReadNumberLocale();
  if (decimals < 0) {
    size_t point = number.find(u'.');
    decimals = point == std::u16string::npos ? 0 : static_cast<int>(number.size() - point - 1);
  }
  WCHAR empty[1] = {0};
  NUMBERFMTW fmt;
  fmt.NumDigits = style == NumberStyle::kGroup ? 0 : static_cast<UINT>(decimals);
  fmt.LeadingZero = loc.leadingZero;
  fmt.Grouping = style == NumberStyle::kDecimal ? 0 : loc.grouping;
  fmt.lpDecimalSep = style == NumberStyle::kGroup ? empty : loc.decimal;
  fmt.lpThousandSep = loc.thousand;
  fmt.NegativeOrder = 1;

  WCHAR local[512];
  std::u16string formatted;
  int n = GetNumberFormatW(LOCALE_USER_DEFAULT, 0, number.c_str(), &fmt, local, 512);
  if (n > 0) {
    formatted.assign(local, static_cast<size_t>(n - 1));
  } else if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    int need = GetNumberFormatW(LOCALE_USER_DEFAULT, 0, number.c_str(), &fmt, nullptr, 0);
    if (need <= 0) return false;
    formatted.resize(static_cast<size_t>(need));
    n = GetNumberFormatW(LOCALE_USER_DEFAULT, 0, number.c_str(), &fmt, formatted.data(), need);
    if (n <= 0) return false;
    formatted.resize(static_cast<size_t>(n - 1));
  } else {
    return false;
  }
  // The locale's negative sign becomes a plain '-'.
  std::u16string negative(loc.negative);
  if (!negative.empty() && negative != u"-" && formatted.compare(0, negative.size(), negative) == 0)
    formatted.replace(0, negative.size(), u"-");
  *result = head + formatted + tail;
  return true;
}

int FormatStyled(LPCWSTR text, WCHAR* out, int size, NumberStyle style, int decimals) {
  if (!out || size <= 0) return 0;
  if (!text) {
    out[0] = 0;
    return 0;
  }
  std::u16string result;
  if (!LocaliseNumber(text, style, decimals, &result)) result = text;
  return CopyOut(result, out, size);
}

// ---- Integers -------------------------------------------------------------------------

// Writes the decimal digits of a magnitude, with '-' when asked, then
// groups them when asked.
int UnsignedToText(ULONGLONG magnitude, bool negative, WCHAR* out, BOOL group) {
  if (!out) return 0;
  WCHAR digits[24];
  int at = 23;
  digits[at] = 0;
  do {
    digits[--at] = static_cast<WCHAR>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (negative) digits[--at] = u'-';
  if (group) return WuFormatNumber(digits + at, out, WUNUMBER_TEXT_MAX);
  return CopyOut(digits + at, static_cast<size_t>(23 - at), out, WUNUMBER_TEXT_MAX);
}

// ---- Number tokens --------------------------------------------------------------------

constexpr int kTokenBuffer = 64;  // characters of a number token, terminator included

bool StartsWith(const WCHAR* text, const WCHAR* prefix) {
  if (!*prefix) return false;
  while (*prefix)
    if (*text++ != *prefix++) return false;
  return true;
}

// Copies the number at the start of `text` (after white space) into `buf`
// as plain ASCII ('-', digits, '.'); returns the position after it.
const WCHAR* ScanNumber(const WCHAR* text, char* buf, bool locale) {
  int n = 0;
  buf[0] = 0;
  if (!text) return text;
  const WCHAR* p = WuSkipWhiteSpace(text);
  if (locale) {
    NumberLocale loc = ReadNumberLocale();
    size_t neg = static_cast<size_t>(WuStrLenSafe(loc.negative));
    size_t thousand = static_cast<size_t>(WuStrLenSafe(loc.thousand));
    size_t decimal = static_cast<size_t>(WuStrLenSafe(loc.decimal));
    if (StartsWith(p, loc.negative)) {
      buf[n++] = '-';
      p += neg;
    } else if (*p == u'-') {
      buf[n++] = '-';
      ++p;
    }
    while (n < kTokenBuffer - 1) {
      if (IsDigit(*p)) {
        buf[n++] = static_cast<char>(*p++);
      } else if (StartsWith(p, loc.decimal)) {
        buf[n++] = '.';
        p += decimal;
      } else if (StartsWith(p, loc.thousand)) {
        p += thousand;
      } else {
        break;
      }
    }
  } else {
    if (*p == u'-') {
      buf[n++] = '-';
      ++p;
    }
    while (n < kTokenBuffer - 1) {
      if (IsDigit(*p) || *p == u'.')
        buf[n++] = static_cast<char>(*p++);
      else if (*p == u',')
        ++p;
      else
        break;
    }
  }
  buf[n] = 0;
  return p;
}

// TRUE when a token read nothing: it stopped at a character that is
// neither the terminator nor white space.
bool ReadNothing(const WCHAR* end) { return end && *end && !platform::IsWhiteSpace(*end); }

void StoreEnd(const WCHAR** out, const WCHAR* end) {
  if (out) *out = end;
}

template <typename T>
T Clamp(T value, T minimum, T maximum) {
  if (value < minimum) value = minimum;
  if (value > maximum) value = maximum;
  return value;
}

// Hexadecimal digits after white space and an optional "0x", saturating.
ULONGLONG ScanHex(const WCHAR* text, ULONGLONG limit, const WCHAR** end) {
  if (!text) {
    StoreEnd(end, text);
    return 0;
  }
  const WCHAR* p = WuSkipWhiteSpace(text);
  if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) p += 2;
  ULONGLONG value = 0;
  for (;; ++p) {
    unsigned digit;
    if (IsDigit(*p))
      digit = *p - u'0';
    else if (*p >= u'a' && *p <= u'f')
      digit = *p - u'a' + 10;
    else if (*p >= u'A' && *p <= u'F')
      digit = *p - u'A' + 10;
    else
      break;
    value = value > (limit - digit) / 16 ? limit : value * 16 + digit;
  }
  StoreEnd(end, p);
  return value;
}

// ---- Stereo names ---------------------------------------------------------------------

// A digit run: where it starts, where it ends and its value (saturated).
struct DigitRun {
  size_t start, end;
  ULONGLONG value;
};

std::u16string Cut(const std::u16string& s, size_t from, size_t to) {
  return s.substr(from, to - from);
}

bool IsWordBreak(WCHAR c) { return c == u' ' || c == u'\t'; }

// Characters that may stand between the two numbers of a pair ("1/2", "3-4").
bool IsPairSeparator(WCHAR c) {
  return c == u'/' || c == u'-' || c == u'&' || c == u'+' || c == u',' || c == u' ';
}

// Position of the split '/' of a name, skipping the one of "S/PDIF".
size_t FindSplitSlash(const std::u16string& name) {
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] != u'/') continue;
    bool spdif = i >= 1 && (name[i - 1] == u'S' || name[i - 1] == u's') &&
                 WuStrCmpNI(name.c_str() + i + 1, u"PDIF", 4) == 0;
    if (!spdif) return i;
  }
  return std::u16string::npos;
}

}  // namespace

// ---- Grouping -------------------------------------------------------------------------

int WuFormatNumber(LPCWSTR text, WCHAR* out, int size) {
  return FormatStyled(text, out, size, NumberStyle::kGroup, 0);
}

int WuFormatDecimalNumber(LPCWSTR text, WCHAR* out, int size) {
  return FormatStyled(text, out, size, NumberStyle::kDecimal, -1);
}

int WuFormatGroupDecimalNumber(LPCWSTR text, WCHAR* out, int size, int decimals) {
  return FormatStyled(text, out, size, NumberStyle::kGroupDecimal, decimals < 0 ? -1 : decimals);
}

// ---- Integers and decimals ------------------------------------------------------------

int WuLongToText(LONG value, WCHAR* out, BOOL group) {
  LONGLONG v = value;
  return UnsignedToText(static_cast<ULONGLONG>(v < 0 ? -v : v), v < 0, out, group);
}

int WuDWordToText(DWORD value, WCHAR* out, BOOL group) {
  return UnsignedToText(value, false, out, group);
}

int WuDWordLongToText(ULONGLONG value, WCHAR* out, BOOL group) {
  return UnsignedToText(value, false, out, group);
}

int WuLongLongToText(LONGLONG value, WCHAR* out, BOOL group) {
  ULONGLONG magnitude =
      value < 0 ? 0 - static_cast<ULONGLONG>(value) : static_cast<ULONGLONG>(value);
  return UnsignedToText(magnitude, value < 0, out, group);
}

int WuDoubleToText(WCHAR* out, double value, int decimals, BOOL group) {
  if (!out) return 0;
  if (decimals > 8) decimals = 9;
  if (decimals < 0) decimals = 0;
  char text[WUNUMBER_TEXT_MAX + 8];
  if (!std::isfinite(value)) {
    snprintf(text, sizeof text, "%f", value);
  } else {
    double scale = std::pow(10.0, decimals);
    double x = std::fabs(value) + 0.5 / scale;
    double whole = std::floor(x);
    double fraction = std::floor((x - whole) * scale);
    if (fraction >= scale) fraction = scale - 1;  // guards against rounding of (x - whole)
    bool negative = value < 0 && (whole > 0 || fraction > 0);
    int n = snprintf(text, sizeof text, "%s%.0f", negative ? "-" : "", whole);
    if (decimals > 0 && n > 0 && n < static_cast<int>(sizeof text))
      snprintf(text + n, sizeof text - static_cast<size_t>(n), ".%0*.0f", decimals, fraction);
  }
  std::u16string wide = platform::ToUtf16(text);
  if (group) return WuFormatGroupDecimalNumber(wide.c_str(), out, WUNUMBER_TEXT_MAX, decimals);
  return CopyOut(wide, out, WUNUMBER_TEXT_MAX);
}

// ---- Number tokens --------------------------------------------------------------------

DWORD WuTextToDWordToken(LPCWSTR text, const WCHAR** end) {
  char buf[kTokenBuffer];
  StoreEnd(end, ScanNumber(text, buf, true));
  ULONGLONG value = 0;
  for (const char* p = buf; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + static_cast<ULONGLONG>(*p - '0');
    if (value > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  }
  return static_cast<DWORD>(value);
}

LONG WuTextToLongToken(LPCWSTR text, const WCHAR** end) {
  LONGLONG value = WuTextToLongLongToken(text, end);
  return static_cast<LONG>(
      Clamp<LONGLONG>(value, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

LONGLONG WuTextToLongLongToken(LPCWSTR text, const WCHAR** end) {
  char buf[kTokenBuffer];
  StoreEnd(end, ScanNumber(text, buf, true));
  return std::strtoll(buf, nullptr, 10);  // saturates at the 64-bit limits
}

double WuTextToDoubleToken(LPCWSTR text, const WCHAR** end, BOOL locale) {
  char buf[kTokenBuffer];
  StoreEnd(end, ScanNumber(text, buf, locale != FALSE));
  return std::strtod(buf, nullptr);
}

DWORD WuTextToDWordTokenEx(LPCWSTR text, DWORD def, DWORD minimum, DWORD maximum,
                           const WCHAR** end) {
  const WCHAR* stop = nullptr;
  DWORD value = WuTextToDWordToken(text, &stop);
  if (value == 0 && ReadNothing(stop)) value = def;
  StoreEnd(end, stop);
  return Clamp(value, minimum, maximum);
}

LONG WuTextToLongTokenEx(LPCWSTR text, LONG def, LONG minimum, LONG maximum, const WCHAR** end) {
  const WCHAR* stop = nullptr;
  LONG value = WuTextToLongToken(text, &stop);
  if (value == 0 && ReadNothing(stop)) value = def;
  StoreEnd(end, stop);
  return Clamp(value, minimum, maximum);
}

LONGLONG WuTextToLongLongTokenEx(LPCWSTR text, LONGLONG def, LONGLONG minimum, LONGLONG maximum,
                                 const WCHAR** end) {
  const WCHAR* stop = nullptr;
  LONGLONG value = WuTextToLongLongToken(text, &stop);
  if (value == 0 && ReadNothing(stop)) value = def;
  StoreEnd(end, stop);
  return Clamp(value, minimum, maximum);
}

double WuTextToDoubleTokenEx(LPCWSTR text, double def, double minimum, double maximum,
                             const WCHAR** end, BOOL locale) {
  const WCHAR* stop = nullptr;
  double value = WuTextToDoubleToken(text, &stop, locale);
  if (value == 0 && ReadNothing(stop)) value = def;
  StoreEnd(end, stop);
  return Clamp(value, minimum, maximum);
}

DWORD WuHexToDWordToken(LPCWSTR text, const WCHAR** end) {
  return static_cast<DWORD>(ScanHex(text, 0xFFFFFFFFull, end));
}

ULONGLONG WuHexToDWordLongToken(LPCWSTR text, const WCHAR** end) {
  return ScanHex(text, ~0ull, end);
}

DWORD WuHexToDWordTokenEx(LPCWSTR text, DWORD def, DWORD minimum, DWORD maximum,
                          const WCHAR** end) {
  const WCHAR* stop = nullptr;
  DWORD value = WuHexToDWordToken(text, &stop);
  if (value == 0 && ReadNothing(stop)) value = def;
  StoreEnd(end, stop);
  return Clamp(value, minimum, maximum);
}

ULONGLONG WuHexToDWordLongTokenEx(LPCWSTR text, ULONGLONG def, ULONGLONG minimum, ULONGLONG maximum,
                                  const WCHAR** end) {
  const WCHAR* stop = nullptr;
  ULONGLONG value = WuHexToDWordLongToken(text, &stop);
  if (value == 0 && ReadNothing(stop)) value = def;
  StoreEnd(end, stop);
  return Clamp(value, minimum, maximum);
}

// ---- Texts ----------------------------------------------------------------------------

LPWSTR WuFourCCToString(DWORD code, WCHAR* out) {
  if (!out) return out;
  for (int i = 0; i < 4; ++i) {
    DWORD byte = (code >> (8 * i)) & 0xFF;
    out[i] = (byte >= 32 && byte <= 126) ? static_cast<WCHAR>(byte) : u'.';
  }
  out[4] = 0;
  return out;
}

int WuStringReplaceChars(WCHAR* text, WCHAR from, WCHAR to) {
  if (!text) return 0;
  int n = 0;
  for (; text[n]; ++n)
    if (text[n] == from) text[n] = to;
  return n;
}

int WuStripWhiteSpace(WCHAR* text) {
  if (!text) return 0;
  const WCHAR* start = WuSkipWhiteSpace(text);
  const WCHAR* stop = WuFindTrailingWhiteSpace(start);
  int n = static_cast<int>(stop - start);
  for (int i = 0; i < n; ++i) text[i] = start[i];
  text[n] = 0;
  return n;
}

LPWSTR WuPrepareName(LPCWSTR text, WCHAR* out, int size) {
  if (!out || size <= 0) return nullptr;
  out[0] = 0;
  if (!text) return nullptr;
  const WCHAR* start = WuSkipWhiteSpace(text);
  const WCHAR* stop = WuFindTrailingWhiteSpace(start);
  if (stop == start) return nullptr;
  CopyOut(start, static_cast<size_t>(stop - start), out, size);
  return out;
}

const WCHAR* WuFindTrailingWhiteSpace(const WCHAR* text) {
  if (!text) return nullptr;
  const WCHAR* after_last = text;
  for (const WCHAR* p = text; *p; ++p)
    if (!platform::IsWhiteSpace(*p)) after_last = p + 1;
  return after_last;
}

int WuFixNameForMenu(WCHAR* out, LPCWSTR text, int size) {
  if (!out || size <= 0) return 0;
  int n = 0;
  for (const WCHAR* p = text ? text : u""; *p; ++p) {
    int need = *p == u'&' ? 2 : 1;
    if (n + need > size - 1) break;
    out[n++] = *p;
    if (*p == u'&') out[n++] = u'&';
  }
  out[n] = 0;
  return n;
}

// ---- Labelled values ------------------------------------------------------------------

namespace {

constexpr int kLabelSize = 24;  // characters of a labelled-value text, terminator included

// A fresh temporary text of the kernel language handle, or NULL.
WCHAR* LabelBuffer() {
  WCHAR* buffer = WuGetTempStringBuffer(WuKernel_GetLangHandle(), kLabelSize);
  if (buffer) buffer[0] = 0;
  return buffer;
}

LPCWSTR FinishLabel(WCHAR* buffer, LPCWSTR unit) {
  WuStrCatN(buffer, unit, kLabelSize);
  return buffer;
}

}  // namespace

LPCWSTR WuGetLabeledStringFixed(LONG value, int decimals, LONG floor, LPCWSTR unit) {
  WCHAR* buffer = LabelBuffer();
  if (!buffer) return u"Err.";
  if (floor != 0 && value <= floor) {
    WuStrCpyNLen(buffer, u"-Inf.", kLabelSize);
  } else if (decimals <= 0) {
    WuPrintFN(buffer, kLabelSize, u"$d", value);
  } else {
    WCHAR format[8] = {u'$', u'.', static_cast<WCHAR>(u'0' + (decimals > 9 ? 9 : decimals)), u'z',
                       0};
    WuPrintFN(buffer, kLabelSize, format, value);
  }
  return FinishLabel(buffer, unit);
}

LPCWSTR WuGetLabeledStringFloat(double value, int decimals, double floor, LPCWSTR unit) {
  WCHAR* buffer = LabelBuffer();
  if (!buffer) return u"Err.";
  if (floor != 0 && value <= floor) {
    WuStrCpyNLen(buffer, u"-Inf.", kLabelSize);
  } else if (decimals <= 0) {
    double t = std::trunc(value);
    LONG whole = !(t == t)                               ? 0
                 : t <= std::numeric_limits<LONG>::min() ? std::numeric_limits<LONG>::min()
                 : t >= std::numeric_limits<LONG>::max() ? std::numeric_limits<LONG>::max()
                                                         : static_cast<LONG>(t);
    WuPrintFN(buffer, kLabelSize, u"$d", whole);
  } else {
    WCHAR format[8] = {u'$', u'.', static_cast<WCHAR>(u'0' + (decimals > 9 ? 9 : decimals)), u'f',
                       0};
    WuPrintFN(buffer, kLabelSize, format, value);
  }
  return FinishLabel(buffer, unit);
}

// ---- Stereo names ---------------------------------------------------------------------

BOOL WuChannelizeStereoName(LPCWSTR stereo, WCHAR* left, int leftSize, WCHAR* right,
                            int rightSize) {
  std::u16string name(stereo ? stereo : u"");
  if (name.size() > 259) name.resize(259);

  // Digit runs of the name.
  std::vector<DigitRun> runs;
  for (size_t i = 0; i < name.size();) {
    if (!IsDigit(name[i])) {
      ++i;
      continue;
    }
    DigitRun run{i, i, 0};
    for (; run.end < name.size() && IsDigit(name[run.end]); ++run.end)
      if (run.value < 100000000000ull) run.value = run.value * 10 + (name[run.end] - u'0');
    i = run.end;
    runs.push_back(run);
  }
  // Two consecutive numbers n, n + 1, separated by at most three separators.
  for (size_t r = 0; r + 1 < runs.size(); ++r) {
    const DigitRun& a = runs[r];
    const DigitRun& b = runs[r + 1];
    bool joined = b.value == a.value + 1 && b.start - a.end <= 3;
    for (size_t k = a.end; joined && k < b.start; ++k) joined = IsPairSeparator(name[k]);
    if (!joined) continue;
    CopyOut(Cut(name, 0, a.end) + name.substr(b.end), left, leftSize);
    CopyOut(Cut(name, 0, a.start) + name.substr(b.start), right, rightSize);
    return TRUE;
  }

  size_t slash = FindSplitSlash(name);
  if (slash != std::u16string::npos) {
    size_t word_start = slash;
    while (word_start > 0 && !IsWordBreak(name[word_start - 1])) --word_start;
    size_t word_end = slash + 1;
    while (word_end < name.size() && !IsWordBreak(name[word_end])) ++word_end;
    std::u16string head = Cut(name, 0, word_start);
    std::u16string tail = name.substr(word_end);
    CopyOut(head + Cut(name, word_start, slash) + tail, left, leftSize);
    CopyOut(head + Cut(name, slash + 1, word_end) + tail, right, rightSize);
    return TRUE;
  }

  WCHAR joined_name[MAX_PATH + 8];
  WuPrintFN(joined_name, MAX_PATH + 8, u"%s - %s", name.c_str(), u"L");
  CopyOut(joined_name, static_cast<size_t>(WuStrLenSafe(joined_name)), left, leftSize);
  WuPrintFN(joined_name, MAX_PATH + 8, u"%s - %s", name.c_str(), u"R");
  CopyOut(joined_name, static_cast<size_t>(WuStrLenSafe(joined_name)), right, rightSize);
  return FALSE;
}
