#include "platform/locale.h"

#include <locale.h>
#include <wctype.h>

#include <atomic>
#include <climits>
#include <cstring>

#include "platform/error.h"

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
