#include "platform/locale.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/error.h"

namespace {

// Converters through the platform functions, with a size query first.
std::u16string Widen(UINT cp, const std::string& bytes, DWORD flags = 0) {
  int n = MultiByteToWideChar(cp, flags, bytes.c_str(), -1, nullptr, 0);
  if (n <= 0) return u"<fail>";
  std::u16string out(static_cast<size_t>(n), u'#');
  EXPECT_EQ(n, MultiByteToWideChar(cp, flags, bytes.c_str(), -1, out.data(), n));
  EXPECT_EQ(u'\0', out.back());
  out.pop_back();
  return out;
}

std::string Narrow(UINT cp, const std::u16string& text, BOOL* used = nullptr) {
  int n = WideCharToMultiByte(cp, 0, text.c_str(), -1, nullptr, 0, nullptr, used);
  if (n <= 0) return "<fail>";
  std::string out(static_cast<size_t>(n), '#');
  EXPECT_EQ(n, WideCharToMultiByte(cp, 0, text.c_str(), -1, out.data(), n, nullptr, used));
  EXPECT_EQ('\0', out.back());
  out.pop_back();
  return out;
}

// Restores the default ANSI code page after tests that change it.
class AnsiCodePage : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetAnsiCodePage(1252); }
};

TEST(Locale, Utf8RoundTripKeepsSurrogatePairs) {
  const std::u16string text = u"A\u00E9\u20AC\U0001F600z";  // 1, 2, 3 and 4 UTF-8 bytes
  const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";
  EXPECT_EQ(utf8, Narrow(CP_UTF8, text));
  EXPECT_EQ(text, Widen(CP_UTF8, utf8));
  EXPECT_EQ(utf8, platform::ToUtf8(text));
  EXPECT_EQ(text, platform::ToUtf16(utf8));
}

TEST(Locale, InvalidUtf8IsReplacedOrRefused) {
  const struct {
    const char* bytes;
    const char16_t* replaced;
  } cases[] = {
      {"a\xC3", u"a\uFFFD"},                     // cut short
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},   // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},   // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xFFx", u"\uFFFDx"},                     // never a lead byte
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(std::u16string(c.replaced), Widen(CP_UTF8, c.bytes));
    EXPECT_EQ(std::u16string(c.replaced), platform::ToUtf16(c.bytes));
    WCHAR out[8];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes, -1, out, 8));
    EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
  }
  // Unpaired surrogates on the way out.
  const std::u16string lone = {u'a', 0xD800, u'b', 0xDC00};
  EXPECT_EQ("a\xEF\xBF\xBD" "b\xEF\xBF\xBD", Narrow(CP_UTF8, lone));
  char bytes[16];
  EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.c_str(), -1, bytes,
                                   16, nullptr, nullptr));
  EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
}

TEST(Locale, Cp1252MapsEveryByteBothWays) {
  const struct {
    unsigned char byte;
    char16_t unit;
  } known[] = {{0x41, u'A'},      {0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160},
               {0x9D, 0x009D},    {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE9, 0x00E9},
               {0xFF, 0x00FF}};
  for (const auto& k : known) {
    char in[2] = {static_cast<char>(k.byte), 0};
    EXPECT_EQ(std::u16string(1, k.unit), Widen(1252, in)) << int(k.byte);
  }
  // Every byte decodes to a distinct character that encodes back to it.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::u16string wide = Widen(1252, all);
  ASSERT_EQ(255u, wide.size());
  BOOL used = TRUE;
  EXPECT_EQ(all, Narrow(1252, wide, &used));
  EXPECT_FALSE(used);
}

TEST(Locale, Cp1252UnmappableUsesDefaultChar) {
  // CJK, a surrogate pair (one character) and U+0080 (1252 puts the euro there).
  const std::u16string text = u"a\u4E2Db\U0001F600c\u0080";
  BOOL used = FALSE;
  EXPECT_EQ("a?b?c?", Narrow(1252, text, &used));
  EXPECT_TRUE(used);
  char out[8];
  EXPECT_EQ(4, WideCharToMultiByte(1252, 0, u"x\u4E2Dy", -1, out, 8, "*", &used));
  EXPECT_STREQ("x*y", out);
}

TEST_F(AnsiCodePage, DefaultIs1252AndUtf8IsSelectable) {
  EXPECT_EQ(1252u, GetACP());
  EXPECT_EQ(u"\u20AC", Widen(CP_ACP, "\x80"));
  ASSERT_TRUE(platform::SetAnsiCodePage(CP_UTF8));
  EXPECT_EQ(CP_UTF8, GetACP());
  EXPECT_EQ(u"\u20AC", Widen(CP_ACP, "\xE2\x82\xAC"));
  EXPECT_EQ("\xE2\x82\xAC", Narrow(CP_OEMCP, u"\u20AC"));
  EXPECT_FALSE(platform::SetAnsiCodePage(437));
  EXPECT_EQ(CP_UTF8, GetACP());
}

TEST(Locale, SizesAndInsufficientBuffers) {
  // "a" + U+1F600: 4 units and 6 UTF-8 bytes with the terminator.
  const WCHAR* text = u"a\U0001F600";
  EXPECT_EQ(6, WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(5, WideCharToMultiByte(CP_UTF8, 0, text, 3, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "a\xF0\x9F\x98\x80", -1, nullptr, 0));

  char bytes[6];
  std::fill(std::begin(bytes), std::end(bytes), '#');
  SetLastError(0);
  EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, 4, nullptr, nullptr));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ('a', bytes[0]);
  EXPECT_EQ('#', bytes[1]);  // the 4-byte character is never split
  EXPECT_EQ(6, WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, 6, nullptr, nullptr));

  WCHAR units[3] = {u'#', u'#', u'#'};
  EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "a\xF0\x9F\x98\x80", -1, units, 2));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(u'#', units[1]);  // nor is the surrogate pair
  // An explicit count converts exactly that much, without a terminator.
  EXPECT_EQ(2, MultiByteToWideChar(1252, 0, "xyz", 2, units, 3));
  EXPECT_EQ(u'y', units[1]);
  EXPECT_EQ(u'#', units[2]);
}

TEST(Locale, ConverterArgumentErrors) {
  static WCHAR w[4];
  static char b[4];
  const struct {
    const char* what;
    int (*call)();
    DWORD error;
  } cases[] = {
      {"null source", [] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, w, 4); },
       ERROR_INVALID_PARAMETER},
      {"zero count", [] { return MultiByteToWideChar(CP_UTF8, 0, "a", 0, w, 4); },
       ERROR_INVALID_PARAMETER},
      {"count -2", [] { return MultiByteToWideChar(CP_UTF8, 0, "a", -2, w, 4); },
       ERROR_INVALID_PARAMETER},
      {"null dest", [] { return MultiByteToWideChar(CP_UTF8, 0, "a", -1, nullptr, 4); },
       ERROR_INVALID_PARAMETER},
      {"code page 437", [] { return MultiByteToWideChar(437, 0, "a", -1, w, 4); },
       ERROR_INVALID_PARAMETER},
      {"utf-8 default char",
       [] { return WideCharToMultiByte(CP_UTF8, 0, u"a", -1, b, 4, "?", nullptr); },
       ERROR_INVALID_PARAMETER},
      {"utf-8 flags",
       [] {
         return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, u"a", -1, b, 4, nullptr,
                                    nullptr);
       },
       ERROR_INVALID_FLAGS},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(0, c.call()) << c.what;
    EXPECT_EQ(c.error, GetLastError()) << c.what;
  }
}

TEST(Locale, ComparisonOrderAndNulls) {
  const struct {
    const char16_t* a;
    const char16_t* b;
    int cmp;   // lstrcmpW
    int cmpi;  // lstrcmpiW
  } cases[] = {
      {u"abc", u"abc", 0, 0},
      {u"\u00C4BC", u"\u00E4bc", -1, 0},  // non-ASCII letters fold
      {u"\u0416", u"\u0436", -1, 0},      // Cyrillic
      {u"a", u"ab", -1, -1},             // a prefix sorts first
      {u"B", u"a", -1, 1},               // case decides only without folding
      {u"_", u"A", 1, -1},               // '_' sorts before the letters folded to lower case
      {u"a", u"z", -1, -1},              // results are -1/0/1, not differences
      {nullptr, u"", -1, -1},
      {u"", nullptr, 1, 1},
      {nullptr, nullptr, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.a ? platform::ToUtf8(c.a) : "(null)") << " vs "
                                      << (c.b ? platform::ToUtf8(c.b) : "(null)"));
    EXPECT_EQ(c.cmp, lstrcmpW(c.a, c.b));
    EXPECT_EQ(c.cmpi, lstrcmpiW(c.a, c.b));
  }
  // The A forms read the ANSI code page: 0xC4/0xE4 are Ä/ä in 1252.
  EXPECT_EQ(0, lstrcmpiA("\xC4" "bc", "\xE4" "BC"));
  EXPECT_EQ(-1, lstrcmpA("\xC4", "\xE4"));
  EXPECT_EQ(1, lstrcmpA("\x80", "\xFF"));  // the euro sign U+20AC sorts after U+00FF
}

TEST(Locale, CaseMappingAndWhiteSpace) {
  const struct {
    char16_t lower;
    char16_t upper;
  } pairs[] = {{u'a', u'A'}, {0x00E9, 0x00C9}, {0x00FF, 0x0178}, {0x03C3, 0x03A3},
               {0x0436, 0x0416}, {u'5', u'5'}, {0x00DF, 0x00DF}, {0xD83D, 0xD83D}};
  for (const auto& p : pairs) {
    EXPECT_EQ(p.upper, platform::CharUpper(p.lower)) << int(p.lower);
    if (p.lower != 0x00DF) {
      EXPECT_EQ(p.lower, platform::CharLower(p.upper)) << int(p.upper);
    }
  }
  for (char16_t c : {u' ', u'\t', u'\n', char16_t(0x3000), char16_t(0x2028)})
    EXPECT_TRUE(platform::IsWhiteSpace(c)) << int(c);
  for (char16_t c : {u'a', u'\0', u'_'}) EXPECT_FALSE(platform::IsWhiteSpace(c)) << int(c);

  std::u16string text = u"Stra\u00DFe \u00E9t\u00E9";
  EXPECT_EQ(text.data(), CharUpperW(text.data()));
  EXPECT_EQ(u"STRA\u00DFE \u00C9T\u00C9", text);
  CharLowerW(text.data());
  EXPECT_EQ(u"stra\u00DFe \u00E9t\u00E9", text);
  // A value below 0x10000 is one character, as on the platform.
  EXPECT_EQ(u'Q', static_cast<WCHAR>(reinterpret_cast<uintptr_t>(
                      CharUpperW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(u'q'))))));
}

TEST(Locale, BoundedCopies) {
  const struct {
    const char16_t* source;
    int size;
    const char16_t* expect;  // buffer text afterwards; "####" = untouched
  } cases[] = {
      {u"abc", -1, u"####"}, {u"abc", 0, u"####"}, {u"abc", 1, u""},
      {u"abc", 4, u"abc"},   {u"abcdef", 4, u"abc"}, {nullptr, 3, u""},
  };
  for (const auto& c : cases) {
    WCHAR buffer[5] = {u'#', u'#', u'#', u'#', 0};
    EXPECT_EQ(buffer, lstrcpynW(buffer, c.source, c.size));
    EXPECT_EQ(std::u16string(c.expect), std::u16string(buffer)) << c.size;
    char bytes[5] = {'#', '#', '#', '#', 0};
    std::string source = c.source ? platform::ToUtf8(c.source) : "";
    lstrcpynA(bytes, c.source ? source.c_str() : nullptr, c.size);
    EXPECT_EQ(platform::ToUtf8(c.expect), std::string(bytes)) << c.size;
  }
  EXPECT_EQ(0, lstrlenW(nullptr));
  EXPECT_EQ(3, lstrlenW(u"abc"));
  EXPECT_EQ(0, lstrlenA(nullptr));
}

}  // namespace
