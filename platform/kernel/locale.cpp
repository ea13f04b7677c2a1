#include "platform/kernel/locale.h"

#include <locale.h>
#include <wctype.h>

#include <atomic>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel/error.h"

namespace platform {

namespace {

// ---- UTF-8 and UTF-16 coding ------------------------------------------------

// Writes one code point as UTF-8 into out[0..3]; returns the byte count.
size_t EncodeUtf8(char32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

// Appends one code point as UTF-8.
void PutUtf8(std::string& out, char32_t cp) {
  char bytes[4];
  out.append(bytes, EncodeUtf8(cp, bytes));
}

// Writes one code point as UTF-16 into out[0..1]; returns the unit count.
size_t EncodeUtf16(char32_t cp, WCHAR* out) {
  if (cp < 0x10000) {
    out[0] = static_cast<WCHAR>(cp);
    return 1;
  }
  cp -= 0x10000;
  out[0] = static_cast<WCHAR>(0xD800 + (cp >> 10));
  out[1] = static_cast<WCHAR>(0xDC00 + (cp & 0x3FF));
  return 2;
}

void PutUtf16(std::u16string& out, char32_t cp) {
  WCHAR units[2];
  out.append(units, EncodeUtf16(cp, units));
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// One character decoded from UTF-8 or UTF-16.
struct Decoded {
  char32_t code_point;  // the character, U+FFFD for an invalid sequence
  size_t length;        // bytes or units consumed (1 for an invalid sequence)
  bool valid;           // false when the input was not a well-formed character
};

// Decodes the UTF-8 character at p (n > 0 bytes available). Overlong forms,
// surrogates and values past U+10FFFF are invalid; an invalid sequence
// consumes one byte so that decoding resumes at the next byte.
Decoded DecodeUtf8(const unsigned char* p, size_t n) {
  const Decoded bad = {0xFFFD, 1, false};
  unsigned char b = p[0];
  char32_t cp;
  size_t extra;
  if (b < 0x80) return {b, 1, true};
  if (b >= 0xC2 && b <= 0xDF) {
    cp = b & 0x1F;
    extra = 1;
  } else if (b >= 0xE0 && b <= 0xEF) {
    cp = b & 0x0F;
    extra = 2;
  } else if (b >= 0xF0 && b <= 0xF4) {
    cp = b & 0x07;
    extra = 3;
  } else {
    return bad;
  }
  if (extra >= n) return bad;
  for (size_t k = 1; k <= extra; ++k) {
    if ((p[k] & 0xC0) != 0x80) return bad;
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || IsSurrogate(cp) ||
      cp > 0x10FFFF)
    return bad;
  return {cp, 1 + extra, true};
}

// Decodes the UTF-16 character at p (n > 0 units available). An unpaired
// surrogate is invalid and stands for U+FFFD.
Decoded DecodeUtf16(const WCHAR* p, size_t n) {
  char32_t c = p[0];
  if (IsHighSurrogate(c) && n > 1 && IsLowSurrogate(p[1]))
    return {0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00u), 2, true};
  if (IsSurrogate(c)) return {0xFFFD, 1, false};
  return {c, 1, true};
}

// ---- Code page 1252 ------------------------------------------------------------

// Characters of the bytes 0x80..0x9F. The five unassigned bytes (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the C1 controls of the same value; every other
// byte of 1252 is the Latin-1 character of the same value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t DecodeCp1252(unsigned char b) {
  return (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : b;
}

// The 1252 byte of a character, or -1 when 1252 has no such character.
int EncodeCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] == cp) return 0x80 + i;
  return -1;
}

// ---- Code page selection -------------------------------------------------------

std::atomic<UINT> g_ansi_code_page{1252};  // the emulated ANSI code page

// The concrete code page (1252 or CP_UTF8) a caller's code page stands for,
// or 0 when it is not supported.
UINT ResolveCodePage(UINT code_page) {
  switch (code_page) {
    case CP_ACP:
    case CP_OEMCP: return g_ansi_code_page.load();
    case 1252:
    case CP_UTF8: return code_page;
    default: return 0;
  }
}

// Decodes the next character of a byte text in a concrete code page.
Decoded DecodeAnsi(UINT page, const unsigned char* p, size_t n) {
  if (page == CP_UTF8) return DecodeUtf8(p, n);
  return {DecodeCp1252(p[0]), 1, true};
}

// ---- Case mapping ------------------------------------------------------------------

// The Unicode-aware C locale used for wide case mapping, or 0 when it cannot
// be made (then only ASCII and Latin-1 letters are mapped).
locale_t CaseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

char32_t FallbackUpper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  return c;
}

char32_t FallbackLower(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x178) return 0xFF;
  return c;
}

// Lower case of a code point (any plane).
char32_t LowerCodePoint(char32_t c) {
  if (locale_t loc = CaseLocale()) return static_cast<char32_t>(towlower_l(c, loc));
  return FallbackLower(c);
}

// ---- Conversion helpers --------------------------------------------------------

// Checks the arguments shared by both converters; sets the last error.
bool CheckConvertArgs(const void* source, int source_count, const void* dest, int dest_size) {
  if (!source || source_count == 0 || source_count < -1 || dest_size < 0 ||
      (dest_size > 0 && !dest) || (dest_size > 0 && dest == source)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

// Result of a conversion that wrote (or measured) `count` output elements;
// fails when the count cannot be returned as an int.
int ConvertResult(size_t count) {
  if (count > static_cast<size_t>(INT_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return static_cast<int>(count);
}

// Comparison of two byte texts character by character in the ANSI code page.
int CompareAnsi(LPCSTR a, LPCSTR b, bool ignore_case) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  UINT page = g_ansi_code_page.load();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  size_t pn = std::strlen(a), qn = std::strlen(b);
  while (pn > 0 && qn > 0) {
    Decoded x = DecodeAnsi(page, p, pn);
    Decoded y = DecodeAnsi(page, q, qn);
    char32_t cx = ignore_case ? LowerCodePoint(x.code_point) : x.code_point;
    char32_t cy = ignore_case ? LowerCodePoint(y.code_point) : y.code_point;
    if (cx != cy) return cx < cy ? -1 : 1;
    p += x.length;
    pn -= x.length;
    q += y.length;
    qn -= y.length;
  }
  return pn > 0 ? 1 : (qn > 0 ? -1 : 0);
}

}  // namespace

// ---- UTF-8 at the operating-system boundary ------------------------------------

size_t WStrLen(const WCHAR* text) {
  if (!text) return 0;
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

std::string ToUtf8(const WCHAR* text) {
  return text ? ToUtf8(std::u16string_view(text, WStrLen(text))) : std::string();
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    PutUtf8(out, c);
  }
  return out;
}

std::u16string ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    Decoded c = DecodeUtf8(p + i, text.size() - i);
    PutUtf16(out, c.code_point);
    i += c.length;
  }
  return out;
}

// ---- Case and comparison -------------------------------------------------------

WCHAR CharUpper(WCHAR c) {
  if (IsSurrogate(c)) return c;
  locale_t loc = CaseLocale();
  char32_t r = loc ? static_cast<char32_t>(towupper_l(c, loc)) : FallbackUpper(c);
  return r <= 0xFFFF ? static_cast<WCHAR>(r) : c;
}

WCHAR CharLower(WCHAR c) {
  if (IsSurrogate(c)) return c;
  char32_t r = LowerCodePoint(c);
  return r <= 0xFFFF ? static_cast<WCHAR>(r) : c;
}

bool IsWhiteSpace(WCHAR c) {
  if (locale_t loc = CaseLocale()) return iswspace_l(c, loc) != 0;
  return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

int CompareText(const WCHAR* a, size_t a_count, const WCHAR* b, size_t b_count,
                bool ignore_case) {
  size_t n = a_count < b_count ? a_count : b_count;
  for (size_t i = 0; i < n; ++i) {
    WCHAR x = ignore_case ? CharLower(a[i]) : a[i];
    WCHAR y = ignore_case ? CharLower(b[i]) : b[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return a_count < b_count ? -1 : (a_count > b_count ? 1 : 0);
}

BOOL SetAnsiCodePage(UINT code_page) {
  if (code_page != 1252 && code_page != CP_UTF8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  g_ansi_code_page.store(code_page);
  return TRUE;
}

}  // namespace platform

using platform::Decoded;

// ---- Code pages --------------------------------------------------------------------

UINT GetACP() { return platform::g_ansi_code_page.load(); }
UINT GetOEMCP() { return platform::g_ansi_code_page.load(); }

int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR source, int source_count,
                        LPWSTR dest, int dest_size) {
  UINT page = platform::ResolveCodePage(code_page);
  if (!page) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!platform::CheckConvertArgs(source, source_count, dest, dest_size)) return 0;
  if (page == CP_UTF8 && (flags & ~MB_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const unsigned char* p = reinterpret_cast<const unsigned char*>(source);
  size_t n = source_count == -1 ? std::strlen(source) + 1 : static_cast<size_t>(source_count);
  size_t written = 0;
  for (size_t i = 0; i < n;) {
    Decoded c = platform::DecodeAnsi(page, p + i, n - i);
    if (!c.valid && (flags & MB_ERR_INVALID_CHARS)) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    WCHAR units[2];
    size_t count = platform::EncodeUtf16(c.code_point, units);
    if (dest_size > 0) {
      if (written + count > static_cast<size_t>(dest_size)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
      }
      std::memcpy(dest + written, units, count * sizeof(WCHAR));
    }
    written += count;
    i += c.length;
  }
  return platform::ConvertResult(written);
}

int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR source, int source_count,
                        LPSTR dest, int dest_size, LPCSTR default_char,
                        LPBOOL used_default_char) {
  UINT page = platform::ResolveCodePage(code_page);
  if (!page) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!platform::CheckConvertArgs(source, source_count, dest, dest_size)) return 0;
  if (page == CP_UTF8) {
    if (flags & ~WC_ERR_INVALID_CHARS) {
      SetLastError(ERROR_INVALID_FLAGS);
      return 0;
    }
    if (default_char || used_default_char) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  }
  const char fallback = default_char ? default_char[0] : '?';
  size_t n = source_count == -1 ? platform::WStrLen(source) + 1
                                : static_cast<size_t>(source_count);
  size_t written = 0;
  bool used_default = false;
  for (size_t i = 0; i < n;) {
    Decoded c = platform::DecodeUtf16(source + i, n - i);
    char bytes[4];
    size_t count;
    if (page == CP_UTF8) {
      if (!c.valid && (flags & WC_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      count = platform::EncodeUtf8(c.code_point, bytes);
    } else {
      int b = c.valid ? platform::EncodeCp1252(c.code_point) : -1;
      if (b < 0) used_default = true;
      bytes[0] = b < 0 ? fallback : static_cast<char>(b);
      count = 1;
    }
    if (dest_size > 0) {
      if (written + count > static_cast<size_t>(dest_size)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
      }
      std::memcpy(dest + written, bytes, count);
    }
    written += count;
    i += c.length;
  }
  if (used_default_char) *used_default_char = used_default ? TRUE : FALSE;
  return platform::ConvertResult(written);
}

// ---- Comparison, length and copy -------------------------------------------------

int lstrcmpW(LPCWSTR a, LPCWSTR b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  return platform::CompareText(a, platform::WStrLen(a), b, platform::WStrLen(b), false);
}

int lstrcmpiW(LPCWSTR a, LPCWSTR b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  return platform::CompareText(a, platform::WStrLen(a), b, platform::WStrLen(b), true);
}

int lstrlenW(LPCWSTR text) {
  size_t n = platform::WStrLen(text);
  return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

LPWSTR lstrcpynW(LPWSTR dest, LPCWSTR source, int size) {
  if (!dest || size <= 0) return dest;
  int i = 0;
  if (source)
    for (; i < size - 1 && source[i]; ++i) dest[i] = source[i];
  dest[i] = 0;
  return dest;
}

int lstrlenA(LPCSTR text) {
  size_t n = text ? std::strlen(text) : 0;
  return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

LPSTR lstrcpynA(LPSTR dest, LPCSTR source, int size) {
  if (!dest || size <= 0) return dest;
  int i = 0;
  if (source)
    for (; i < size - 1 && source[i]; ++i) dest[i] = source[i];
  dest[i] = 0;
  return dest;
}

int lstrcmpA(LPCSTR a, LPCSTR b) { return platform::CompareAnsi(a, b, false); }
int lstrcmpiA(LPCSTR a, LPCSTR b) { return platform::CompareAnsi(a, b, true); }

// ---- Case mapping of texts ----------------------------------------------------------

namespace {

// Applies a unit mapping to a text in place, or to the one character that a
// "pointer" below 0x10000 carries.
LPWSTR MapText(LPWSTR text, WCHAR (*map)(WCHAR)) {
  uintptr_t value = reinterpret_cast<uintptr_t>(text);
  if (value < 0x10000)
    return reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(map(static_cast<WCHAR>(value))));
  for (WCHAR* p = text; *p; ++p) *p = map(*p);
  return text;
}

}  // namespace

LPWSTR CharUpperW(LPWSTR text) { return MapText(text, platform::CharUpper); }
LPWSTR CharLowerW(LPWSTR text) { return MapText(text, platform::CharLower); }

// ---- Locale table ---------------------------------------------------------------------

namespace platform {
namespace {

// One locale's values, as the platform's regional tables give them.
struct LocaleInfo {
  LCID lcid;                   // language id (sort 0)
  const char* name;            // LOCALE_SNAME: "de-DE" ("" for the invariant locale)
  const char16_t* language;    // LOCALE_SLANGUAGE
  const char16_t* english;     // LOCALE_SENGLANGUAGE
  const char16_t* abbrev;      // LOCALE_SABBREVLANGNAME
  int country_code;            // LOCALE_ICOUNTRY
  const char16_t* country;     // LOCALE_SCOUNTRY and LOCALE_SENGCOUNTRY
  const char16_t* thousand;    // LOCALE_STHOUSAND
  const char16_t* decimal;     // LOCALE_SDECIMAL
  const char16_t* grouping;    // LOCALE_SGROUPING
  const char16_t* time;        // LOCALE_STIME
  const char16_t* list;        // LOCALE_SLIST
  int measure;                 // LOCALE_IMEASURE: 0 metric, 1 US
  int ansi_code_page;          // LOCALE_IDEFAULTANSICODEPAGE
  int oem_code_page;           // LOCALE_IDEFAULTCODEPAGE
};

// Values every known locale shares.
constexpr int kDigits = 2;           // LOCALE_IDIGITS
constexpr int kLeadingZero = 1;      // LOCALE_ILZERO
constexpr int kNegativeOrder = 1;    // LOCALE_INEGNUMBER: "-1.1"
constexpr char16_t kNbsp[] = u"\u00A0";

// The order matters where a neutral language ("es", 0x0A) or a bare
// language name picks its first locale.
constexpr LocaleInfo kLocales[] = {
    {0x0409, "en-US", u"English (United States)", u"English", u"ENU", 1, u"United States",
     u",", u".", u"3;0", u":", u",", 1, 1252, 437},
    {0x0809, "en-GB", u"English (United Kingdom)", u"English", u"ENG", 44,
     u"United Kingdom", u",", u".", u"3;0", u":", u",", 0, 1252, 850},
    {0x0411, "ja-JP", u"Japanese (Japan)", u"Japanese", u"JPN", 81, u"Japan", u",", u".",
     u"3;0", u":", u",", 0, 932, 932},
    {0x0407, "de-DE", u"German (Germany)", u"German", u"DEU", 49, u"Germany", u".", u",",
     u"3;0", u":", u";", 0, 1252, 850},
    {0x0C0A, "es-ES", u"Spanish (Spain, International Sort)", u"Spanish", u"ESN", 34,
     u"Spain", u".", u",", u"3;0", u":", u";", 0, 1252, 850},
    {0x040A, "es-ES_tradnl", u"Spanish (Spain, Traditional Sort)", u"Spanish", u"ESP", 34,
     u"Spain", u".", u",", u"3;0", u":", u";", 0, 1252, 850},
    {0x080A, "es-MX", u"Spanish (Mexico)", u"Spanish", u"ESM", 52, u"Mexico", u",", u".",
     u"3;0", u":", u",", 0, 1252, 850},
    {0x040C, "fr-FR", u"French (France)", u"French", u"FRA", 33, u"France", kNbsp, u",",
     u"3;0", u":", u";", 0, 1252, 850},
    {0x0804, "zh-CN", u"Chinese (Simplified, PRC)", u"Chinese", u"CHS", 86,
     u"People's Republic of China", u",", u".", u"3;0", u":", u",", 0, 936, 936},
    {0x0404, "zh-TW", u"Chinese (Traditional, Taiwan)", u"Chinese", u"CHT", 886, u"Taiwan",
     u",", u".", u"3;0", u":", u",", 0, 950, 950},
    {0x0406, "da-DK", u"Danish (Denmark)", u"Danish", u"DAN", 45, u"Denmark", u".", u",",
     u"3;0", u":", u";", 0, 1252, 850},
    {0x040B, "fi-FI", u"Finnish (Finland)", u"Finnish", u"FIN", 358, u"Finland", kNbsp,
     u",", u"3;0", u".", u";", 0, 1252, 850},
    {0x0410, "it-IT", u"Italian (Italy)", u"Italian", u"ITA", 39, u"Italy", u".", u",",
     u"3;0", u":", u";", 0, 1252, 850},
    {0x0412, "ko-KR", u"Korean (Korea)", u"Korean", u"KOR", 82, u"Korea", u",", u".", u"3;0",
     u":", u",", 0, 949, 949},
    {0x0413, "nl-NL", u"Dutch (Netherlands)", u"Dutch", u"NLD", 31, u"Netherlands", u".",
     u",", u"3;0", u":", u";", 0, 1252, 850},
    {0x0414, "nb-NO", u"Norwegian, Bokm\u00E5l (Norway)", u"Norwegian (Bokm\u00E5l)", u"NOR",
     47, u"Norway", kNbsp, u",", u"3;0", u":", u";", 0, 1252, 850},
    {0x0416, "pt-BR", u"Portuguese (Brazil)", u"Portuguese", u"PTB", 55, u"Brazil", u".",
     u",", u"3;0", u":", u";", 0, 1252, 850},
    {0x0816, "pt-PT", u"Portuguese (Portugal)", u"Portuguese", u"PTG", 351, u"Portugal",
     u".", u",", u"3;0", u":", u";", 0, 1252, 850},
    {0x0419, "ru-RU", u"Russian (Russia)", u"Russian", u"RUS", 7, u"Russia", kNbsp, u",",
     u"3;0", u":", u";", 0, 1251, 866},
    {0x041D, "sv-SE", u"Swedish (Sweden)", u"Swedish", u"SVE", 46, u"Sweden", kNbsp, u",",
     u"3;0", u":", u";", 0, 1252, 850},
    {0x0439, "hi-IN", u"Hindi (India)", u"Hindi", u"HIN", 91, u"India", u",", u".",
     u"3;2;0", u":", u",", 0, 0, 1},
    {0x007F, "", u"Invariant Language (Invariant Country)", u"Invariant Language", u"IVL", 1,
     u"Invariant Country", u",", u".", u"3;0", u":", u",", 0, 1252, 437},
};

// The long-date and time patterns of the locales above, in the same order
// (the pattern letters of GetDateFormatW and GetTimeFormatW).
struct DatePatterns {
  LCID lcid;                      // the locale
  const char16_t* long_date;      // LOCALE_SLONGDATE
  const char16_t* time_format;    // LOCALE_STIMEFORMAT
};
constexpr DatePatterns kDatePatterns[] = {
    {0x0409, u"dddd, MMMM d, yyyy", u"h:mm:ss tt"},
    {0x0809, u"dd MMMM yyyy", u"HH:mm:ss"},
    {0x0411, u"yyyy'\u5E74'M'\u6708'd'\u65E5'", u"H:mm:ss"},
    {0x0407, u"dddd, d. MMMM yyyy", u"HH:mm:ss"},
    {0x0C0A, u"dddd, d' de 'MMMM' de 'yyyy", u"H:mm:ss"},
    {0x040A, u"dddd, d' de 'MMMM' de 'yyyy", u"H:mm:ss"},
    {0x080A, u"dddd, d' de 'MMMM' de 'yyyy", u"hh:mm:ss tt"},
    {0x040C, u"dddd d MMMM yyyy", u"HH:mm:ss"},
    {0x0804, u"yyyy'\u5E74'M'\u6708'd'\u65E5'", u"H:mm:ss"},
    {0x0404, u"yyyy'\u5E74'M'\u6708'd'\u65E5' dddd", u"tt hh:mm:ss"},
    {0x0406, u"d. MMMM yyyy", u"HH:mm:ss"},
    {0x040B, u"d. MMMM'ta 'yyyy", u"H.mm.ss"},
    {0x0410, u"dddd d MMMM yyyy", u"HH:mm:ss"},
    {0x0412, u"yyyy'\uB144' M'\uC6D4' d'\uC77C' dddd", u"tt h:mm:ss"},
    {0x0413, u"dddd d MMMM yyyy", u"H:mm:ss"},
    {0x0414, u"d. MMMM yyyy", u"HH:mm:ss"},
    {0x0416, u"dddd, d' de 'MMMM' de 'yyyy", u"HH:mm:ss"},
    {0x0816, u"dddd, d' de 'MMMM' de 'yyyy", u"HH:mm:ss"},
    {0x0419, u"d MMMM yyyy '\u0433.'", u"H:mm:ss"},
    {0x041D, u"'den 'd MMMM yyyy", u"HH:mm:ss"},
    {0x0439, u"dd MMMM yyyy", u"tt hh:mm:ss"},
    {0x007F, u"dddd, dd MMMM yyyy", u"HH:mm:ss"},
};
static_assert(std::size(kDatePatterns) == std::size(kLocales));

constexpr bool DatePatternsFollowTheLocales() {
  for (size_t i = 0; i < std::size(kLocales); ++i)
    if (kDatePatterns[i].lcid != kLocales[i].lcid) return false;
  return true;
}
static_assert(DatePatternsFollowTheLocales());

const DatePatterns& PatternsOf(const LocaleInfo& info) {
  return kDatePatterns[static_cast<size_t>(&info - kLocales)];
}

constexpr LCID kFallbackLocale = 0x0409;

const LocaleInfo* FindLocale(LANGID lang) {
  for (const LocaleInfo& info : kLocales)
    if (LANGIDFROMLCID(info.lcid) == lang) return &info;
  return nullptr;
}

// The first locale of a primary language (for a neutral language id).
const LocaleInfo* FindLanguage(WORD primary) {
  for (const LocaleInfo& info : kLocales)
    if (PRIMARYLANGID(LANGIDFROMLCID(info.lcid)) == primary) return &info;
  return nullptr;
}

// ---- The user's and the system's choice -----------------------------------------------

std::atomic<LCID> g_user_locale{0};      // SetUserLocale: user default locale, 0 = environment
std::atomic<LANGID> g_ui_language{0};    // SetUserLocale: UI language, 0 = environment
std::atomic<LCID> g_system_locale{0};    // SetSystemLocale, 0 = environment
thread_local LCID t_thread_locale = 0;   // SetThreadLocale, 0 = the user's locale
thread_local LANGID t_thread_ui = 0;     // SetThreadUILanguage, 0 = the user's UI language

// The first of LC_ALL, `category` (may be null) and LANG that is set.
const char* LocaleVariable(const char* category) {
  const char* names[] = {"LC_ALL", category, "LANG"};
  for (const char* name : names) {
    if (!name) continue;
    const char* value = getenv(name);
    if (value && *value) return value;
  }
  return nullptr;
}

LCID ChosenLocale(const std::atomic<LCID>& seam, const char* category) {
  LCID lcid = seam.load();
  return lcid ? lcid : platform::LocaleFromName(LocaleVariable(category));
}

// ---- Overrides ------------------------------------------------------------------------

std::mutex g_override_lock;  // guards g_overrides
std::map<std::pair<LCID, LCTYPE>, std::u16string> g_overrides;  // (locale, item) -> text

// ---- Items ----------------------------------------------------------------------------

constexpr LCTYPE kItemFlags = LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP | LOCALE_RETURN_NUMBER;

bool IsNumericItem(LCTYPE item) {
  switch (item) {
    case LOCALE_ILANGUAGE:
    case LOCALE_ICOUNTRY:
    case LOCALE_IDEFAULTCODEPAGE:
    case LOCALE_IMEASURE:
    case LOCALE_IDIGITS:
    case LOCALE_ILZERO:
    case LOCALE_IDEFAULTANSICODEPAGE:
    case LOCALE_INEGNUMBER: return true;
    default: return false;
  }
}

std::u16string Decimal(int value) { return ToUtf16(std::to_string(value)); }

// The table's text of an item; false for an unknown item.
bool TableText(const LocaleInfo& info, LCTYPE item, std::u16string& text) {
  std::string_view name(info.name);
  switch (item) {
    case LOCALE_ILANGUAGE: {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(LANGIDFROMLCID(info.lcid)));
      text = ToUtf16(hex);
      return true;
    }
    case LOCALE_SLANGUAGE: text = info.language; return true;
    case LOCALE_SENGLANGUAGE: text = info.english; return true;
    case LOCALE_SABBREVLANGNAME: text = info.abbrev; return true;
    case LOCALE_ICOUNTRY: text = Decimal(info.country_code); return true;
    case LOCALE_SCOUNTRY:
    case LOCALE_SENGCOUNTRY: text = info.country; return true;
    case LOCALE_SPOSITIVESIGN: text.clear(); return true;
    case LOCALE_SNEGATIVESIGN: text = u"-"; return true;
    case LOCALE_STHOUSAND: text = info.thousand; return true;
    case LOCALE_SDECIMAL: text = info.decimal; return true;
    case LOCALE_SGROUPING: text = info.grouping; return true;
    case LOCALE_IDIGITS: text = Decimal(kDigits); return true;
    case LOCALE_ILZERO: text = Decimal(kLeadingZero); return true;
    case LOCALE_INEGNUMBER: text = Decimal(kNegativeOrder); return true;
    case LOCALE_STIME: text = info.time; return true;
    case LOCALE_SLONGDATE: text = PatternsOf(info).long_date; return true;
    case LOCALE_STIMEFORMAT: text = PatternsOf(info).time_format; return true;
    case LOCALE_SLIST: text = info.list; return true;
    case LOCALE_IMEASURE: text = Decimal(info.measure); return true;
    case LOCALE_IDEFAULTANSICODEPAGE: text = Decimal(info.ansi_code_page); return true;
    case LOCALE_IDEFAULTCODEPAGE: text = Decimal(info.oem_code_page); return true;
    case LOCALE_SNAME: text = ToUtf16(name); return true;
    case LOCALE_SISO639LANGNAME:
      text = info.lcid == LOCALE_INVARIANT ? u"iv" : ToUtf16(name.substr(0, name.find('-')));
      return true;
    case LOCALE_SISO3166CTRYNAME: {
      size_t dash = name.find('-');
      if (info.lcid == LOCALE_INVARIANT || dash == std::string_view::npos) {
        text = u"IV";
      } else {
        std::string_view country = name.substr(dash + 1);
        text = ToUtf16(country.substr(0, country.find('_')));
      }
      return true;
    }
    default: return false;
  }
}

// An item's text with the user's override unless `use_override` is false.
bool ItemText(const LocaleInfo& info, LCTYPE item, bool use_override, std::u16string& text) {
  if (!TableText(info, item, text)) return false;
  if (use_override) {
    std::lock_guard<std::mutex> lock(g_override_lock);
    auto it = g_overrides.find({info.lcid, item});
    if (it != g_overrides.end()) text = it->second;
  }
  return true;
}

// Leading digits of a text as a number (hex for LOCALE_ILANGUAGE).
DWORD ItemNumber(LCTYPE item, const std::u16string& text) {
  const unsigned base = item == LOCALE_ILANGUAGE ? 16 : 10;
  DWORD value = 0;
  for (char16_t c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    value = value * base + digit;
  }
  return value;
}

// ---- Number formatting ----------------------------------------------------------------

// Everything GetNumberFormatW needs, from a record or from the locale.
struct NumberStyle {
  size_t digits;                 // decimals
  bool leading_zero;             // "0.5" rather than ".5"
  std::vector<unsigned> groups;  // group sizes from the decimal point leftwards
  bool repeat_last;              // the last size repeats
  std::u16string decimal;        // decimal separator
  std::u16string thousand;       // thousands separator
  unsigned negative_order;       // 0..4
  std::u16string negative_sign;  // the locale's sign
};

// Group sizes of a NUMBERFMTW.Grouping value: its decimal digits in order;
// a final 0 ends the grouping, otherwise the last size repeats.
void GroupsFromNumber(UINT grouping, NumberStyle& style) {
  std::string digits = std::to_string(grouping);
  for (char c : digits) style.groups.push_back(static_cast<unsigned>(c - '0'));
  style.repeat_last = style.groups.back() != 0;
  if (!style.repeat_last) style.groups.pop_back();
}

// Group sizes of a LOCALE_SGROUPING text: sizes separated by ';'; a final 0
// makes the size before it repeat, otherwise the grouping ends.
void GroupsFromText(const std::u16string& text, NumberStyle& style) {
  unsigned size = 0;
  bool any = false;
  for (char16_t c : text) {
    if (c >= '0' && c <= '9') {
      size = size * 10 + (c - '0');
      any = true;
    } else if (c == ';') {
      style.groups.push_back(size);
      size = 0;
      any = false;
    }
  }
  if (any) style.groups.push_back(size);
  style.repeat_last = !style.groups.empty() && style.groups.back() == 0;
  if (style.repeat_last) style.groups.pop_back();
}

// The integer digits with thousands separators.
std::u16string GroupDigits(const std::u16string& digits, const NumberStyle& style) {
  std::vector<size_t> cuts;  // group lengths from the right
  size_t left = digits.size();
  for (size_t g = 0; left > 0;) {
    if (g >= style.groups.size() || style.groups[g] == 0 || style.groups[g] >= left) break;
    cuts.push_back(style.groups[g]);
    left -= style.groups[g];
    if (g + 1 < style.groups.size()) {
      ++g;
    } else if (!style.repeat_last) {
      break;
    }
  }
  std::u16string out = digits.substr(0, left);
  size_t at = left;
  for (size_t i = cuts.size(); i-- > 0;) {
    out += style.thousand;
    out.append(digits, at, cuts[i]);
    at += cuts[i];
  }
  return out;
}

// Splits "-123.45" into sign, integer and fraction digits; false when the
// text is not a plain number.
bool ParseNumber(const WCHAR* value, bool& negative, std::u16string& whole,
                 std::u16string& fraction) {
  const WCHAR* p = value;
  negative = *p == '-';
  if (negative) ++p;
  bool point = false;
  for (; *p; ++p) {
    if (*p >= '0' && *p <= '9') {
      (point ? fraction : whole).push_back(*p);
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return !whole.empty() || !fraction.empty();
}

// Cuts the fraction to `digits`, rounding half away from zero on the digit
// text, and pads it with zeros.
void RoundDigits(std::u16string& whole, std::u16string& fraction, size_t digits) {
  if (fraction.size() > digits) {
    const bool up = fraction[digits] >= '5';
    fraction.resize(digits);
    if (up) {
      std::u16string all = whole + fraction;
      size_t i = all.size();
      while (i > 0 && all[i - 1] == '9') all[--i] = '0';
      if (i == 0)
        all.insert(all.begin(), u'1');
      else
        ++all[i - 1];
      whole = all.substr(0, all.size() - digits);
      fraction = all.substr(all.size() - digits);
    }
  }
  fraction.append(digits - fraction.size(), u'0');
}

std::u16string FormatNumberText(bool negative, std::u16string whole, std::u16string fraction,
                                const NumberStyle& style) {
  RoundDigits(whole, fraction, style.digits);
  size_t first = whole.find_first_not_of(u'0');
  whole = first == std::u16string::npos ? std::u16string() : whole.substr(first);
  const bool zero = whole.empty() && fraction.find_first_not_of(u'0') == std::u16string::npos;
  if (whole.empty() && (style.leading_zero || style.digits == 0)) whole = u"0";

  std::u16string number = GroupDigits(whole, style);
  if (style.digits > 0) number += style.decimal + fraction;
  if (!negative || zero) return number;
  switch (style.negative_order) {
    case 0: return u"(" + number + u")";
    case 2: return style.negative_sign + u" " + number;
    case 3: return number + style.negative_sign;
    case 4: return number + u" " + style.negative_sign;
    default: return style.negative_sign + number;
  }
}

// Largest decimal count accepted (the text is built in memory).
constexpr UINT kMaxNumberDigits = 100;

bool StyleFromLocale(const LocaleInfo& info, bool use_override, NumberStyle& style) {
  std::u16string text;
  ItemText(info, LOCALE_IDIGITS, use_override, text);
  style.digits = ItemNumber(LOCALE_IDIGITS, text);
  if (style.digits > kMaxNumberDigits) style.digits = kMaxNumberDigits;
  ItemText(info, LOCALE_ILZERO, use_override, text);
  style.leading_zero = ItemNumber(LOCALE_ILZERO, text) != 0;
  ItemText(info, LOCALE_SGROUPING, use_override, text);
  GroupsFromText(text, style);
  ItemText(info, LOCALE_SDECIMAL, use_override, style.decimal);
  ItemText(info, LOCALE_STHOUSAND, use_override, style.thousand);
  ItemText(info, LOCALE_INEGNUMBER, use_override, text);
  style.negative_order = ItemNumber(LOCALE_INEGNUMBER, text);
  return true;
}

bool StyleFromRecord(const NUMBERFMTW& format, NumberStyle& style) {
  if (!format.lpDecimalSep || !format.lpThousandSep || format.NegativeOrder > 4 ||
      format.NumDigits > kMaxNumberDigits)
    return false;
  style.digits = format.NumDigits;
  style.leading_zero = format.LeadingZero != 0;
  GroupsFromNumber(format.Grouping, style);
  style.decimal = format.lpDecimalSep;
  style.thousand = format.lpThousandSep;
  style.negative_order = format.NegativeOrder;
  return true;
}

// Copies a result with its terminator the platform's way: size 0 asks for
// the count.
int ReturnText(const std::u16string& text, LPWSTR out, int size) {
  const size_t count = text.size() + 1;
  if (count > static_cast<size_t>(INT_MAX)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (size == 0) return static_cast<int>(count);
  if (static_cast<size_t>(size) < count) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, text.c_str(), count * sizeof(WCHAR));
  return static_cast<int>(count);
}

// The locale an LCID stands for, or nullptr.
const LocaleInfo* ResolveLocale(LCID lcid) {
  if (lcid & 0xFFF00000u) return nullptr;
  const LANGID lang = LANGIDFROMLCID(lcid);
  switch (lang) {
    case LOCALE_NEUTRAL:
    case LOCALE_USER_DEFAULT:
    case 0x0C00:  // the user's custom default
      return FindLocale(LANGIDFROMLCID(GetUserDefaultLCID()));
    case LOCALE_SYSTEM_DEFAULT: return FindLocale(LANGIDFROMLCID(GetSystemDefaultLCID()));
    case 0x1400:  // the user's UI language
      return FindLocale(GetUserDefaultUILanguage());
    default: break;
  }
  if (const LocaleInfo* info = FindLocale(lang)) return info;
  if (SUBLANGID(lang) == SUBLANG_NEUTRAL && PRIMARYLANGID(lang) != LANG_NEUTRAL)
    return FindLanguage(PRIMARYLANGID(lang));
  return nullptr;
}

// A concrete locale (not a special value) for the test seams.
const LocaleInfo* ConcreteLocale(LCID lcid) {
  const LANGID lang = LANGIDFROMLCID(lcid);
  if (PRIMARYLANGID(lang) == LANG_NEUTRAL) return nullptr;
  return ResolveLocale(lcid);
}

}  // namespace
}  // namespace platform

// ---- Locale information -------------------------------------------------------------

int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int size) {
  if (size < 0 || (!data && size > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const LCTYPE item = type & ~platform::kItemFlags;
  if (item & 0xF0000000u) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const platform::LocaleInfo* info = platform::ResolveLocale(locale);
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string text;
  if (!platform::ItemText(*info, item, !(type & LOCALE_NOUSEROVERRIDE), text)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (!(type & LOCALE_RETURN_NUMBER)) return platform::ReturnText(text, data, size);

  if (!platform::IsNumericItem(item)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  constexpr int kUnits = sizeof(DWORD) / sizeof(WCHAR);
  if (size == 0) return kUnits;
  if (size < kUnits) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  DWORD number = platform::ItemNumber(item, text);
  std::memcpy(data, &number, sizeof number);
  return kUnits;
}

int GetNumberFormatW(LCID locale, DWORD flags, LPCWSTR value, const NUMBERFMTW* format,
                     LPWSTR out, int size) {
  if (!value || size < 0 || (!out && size > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((flags & ~LOCALE_NOUSEROVERRIDE) || (format && flags)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const platform::LocaleInfo* info = platform::ResolveLocale(locale);
  bool negative;
  std::u16string whole, fraction;
  platform::NumberStyle style;
  if (!info || !platform::ParseNumber(value, negative, whole, fraction) ||
      (format ? !platform::StyleFromRecord(*format, style)
              : !platform::StyleFromLocale(*info, !(flags & LOCALE_NOUSEROVERRIDE), style))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  platform::ItemText(*info, LOCALE_SNEGATIVESIGN, !(flags & LOCALE_NOUSEROVERRIDE),
                     style.negative_sign);
  return platform::ReturnText(platform::FormatNumberText(negative, whole, fraction, style), out,
                              size);
}

// ---- The user's, the system's and the thread's choice -----------------------------------

LCID GetUserDefaultLCID() { return platform::ChosenLocale(platform::g_user_locale, "LC_NUMERIC"); }
LANGID GetUserDefaultLangID() { return LANGIDFROMLCID(GetUserDefaultLCID()); }

LANGID GetUserDefaultUILanguage() {
  LANGID lang = platform::g_ui_language.load();
  if (lang) return lang;
  return LANGIDFROMLCID(platform::LocaleFromName(platform::LocaleVariable("LC_MESSAGES")));
}

LCID GetSystemDefaultLCID() { return platform::ChosenLocale(platform::g_system_locale, nullptr); }
LANGID GetSystemDefaultLangID() { return LANGIDFROMLCID(GetSystemDefaultLCID()); }
LANGID GetSystemDefaultUILanguage() { return GetSystemDefaultLangID(); }

LCID GetThreadLocale() {
  return platform::t_thread_locale ? platform::t_thread_locale : GetUserDefaultLCID();
}

BOOL SetThreadLocale(LCID locale) {
  const platform::LocaleInfo* info = platform::ResolveLocale(locale);
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // A concrete locale is kept as given (with its sort id); a special value
  // is recorded as the locale it stands for.
  platform::t_thread_locale =
      LANGIDFROMLCID(locale) == LANGIDFROMLCID(info->lcid) ? locale : info->lcid;
  return TRUE;
}

LANGID SetThreadUILanguage(LANGID lang) {
  if (lang == 0) {
    platform::t_thread_ui = 0;
    return GetUserDefaultUILanguage();
  }
  const platform::LocaleInfo* info = platform::ResolveLocale(lang);
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  platform::t_thread_ui = LANGIDFROMLCID(info->lcid);
  return platform::t_thread_ui;
}

LANGID GetThreadUILanguage() {
  return platform::t_thread_ui ? platform::t_thread_ui : GetUserDefaultUILanguage();
}

BOOL IsValidLocale(LCID locale, DWORD flags) {
  if (flags != LCID_INSTALLED && flags != LCID_SUPPORTED) return FALSE;
  if (locale & 0xFFF00000u) return FALSE;
  return platform::FindLocale(LANGIDFROMLCID(locale)) ? TRUE : FALSE;
}

namespace platform {

LCID LocaleFromName(const char* name) {
  if (!name) return kFallbackLocale;
  std::string_view text(name);
  text = text.substr(0, text.find_first_of(".@"));
  size_t split = text.find_first_of("_-");
  std::string language(text.substr(0, split));
  std::string country(split == std::string_view::npos ? std::string_view()
                                                      : text.substr(split + 1));
  for (char& c : language) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  for (char& c : country) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  if (language == "no") language = "nb";
  if (language.empty()) return kFallbackLocale;

  const std::string full = language + "-" + country;
  for (const LocaleInfo& info : kLocales)
    if (full == info.name) return info.lcid;
  for (const LocaleInfo& info : kLocales) {
    std::string_view own(info.name);
    if (own.substr(0, own.find('-')) == language) return info.lcid;
  }
  return kFallbackLocale;
}

BOOL SetUserLocale(LCID user_default, LANGID ui_language) {
  const LocaleInfo* user = user_default ? ConcreteLocale(user_default) : nullptr;
  const LocaleInfo* ui = ui_language ? ConcreteLocale(ui_language) : nullptr;
  if ((user_default && !user) || (ui_language && !ui)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  g_user_locale.store(user ? user->lcid : 0);
  g_ui_language.store(ui ? LANGIDFROMLCID(ui->lcid) : 0);
  return TRUE;
}

BOOL SetSystemLocale(LCID system_default) {
  const LocaleInfo* info = system_default ? ConcreteLocale(system_default) : nullptr;
  if (system_default && !info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  g_system_locale.store(info ? info->lcid : 0);
  return TRUE;
}

BOOL SetLocaleOverride(LCID locale, LCTYPE type, const WCHAR* text) {
  const LocaleInfo* info = ConcreteLocale(locale);
  std::u16string known;
  if (!info || !TableText(*info, type, known)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(g_override_lock);
  if (text)
    g_overrides[{info->lcid, type}] = text;
  else
    g_overrides.erase({info->lcid, type});
  return TRUE;
}

void ClearLocaleOverrides() {
  std::lock_guard<std::mutex> lock(g_override_lock);
  g_overrides.clear();
}

}  // namespace platform
