#include "platform/kernel/locale.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <optional>
#include <thread>
#include <vector>

#include "platform/kernel/error.h"

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

// ---- Locale information -------------------------------------------------------------

namespace {

// Puts the user's and the system's choice, the overrides and the locale
// variables back after each test.
class LocaleChoice : public ::testing::Test {
 protected:
  static constexpr const char* kVariables[] = {"LC_ALL", "LC_MESSAGES", "LC_NUMERIC", "LANG"};

  void SetUp() override {
    for (const char* name : kVariables) {
      const char* value = getenv(name);
      saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  void TearDown() override {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i])
        setenv(kVariables[i], saved_[i]->c_str(), 1);
      else
        unsetenv(kVariables[i]);
    }
    platform::SetUserLocale(0, 0);
    platform::SetSystemLocale(0);
    platform::ClearLocaleOverrides();
  }
  // Sets the four variables (null: unset).
  static void SetVariables(const char* all, const char* messages, const char* numeric,
                           const char* lang) {
    const char* values[] = {all, messages, numeric, lang};
    for (size_t i = 0; i < 4; ++i) {
      if (values[i])
        setenv(kVariables[i], values[i], 1);
      else
        unsetenv(kVariables[i]);
    }
  }

  std::vector<std::optional<std::string>> saved_;
};

std::u16string Info(LCID lcid, LCTYPE type) {
  WCHAR out[128];
  int n = GetLocaleInfoW(lcid, type, out, 128);
  if (n <= 0) return u"<fail>";
  EXPECT_EQ(static_cast<size_t>(n), std::char_traits<char16_t>::length(out) + 1);
  return out;
}

std::u16string Number(LCID lcid, const char16_t* value, const NUMBERFMTW* format = nullptr,
                      DWORD flags = 0) {
  WCHAR out[64];
  int n = GetNumberFormatW(lcid, flags, value, format, out, 64);
  if (n <= 0) return u"<fail>";
  EXPECT_EQ(n, GetNumberFormatW(lcid, flags, value, format, nullptr, 0));  // size query
  return out;
}

TEST_F(LocaleChoice, LocaleItemsOfTheKnownLanguages) {
  const struct {
    LCID lcid;
    LCTYPE item;
    const char16_t* expect;
  } cases[] = {
      {0x409, LOCALE_ILANGUAGE, u"0409"},
      {0x40A, LOCALE_ILANGUAGE, u"040a"},
      {0x409, LOCALE_SLANGUAGE, u"English (United States)"},
      {0x809, LOCALE_SCOUNTRY, u"United Kingdom"},
      {0x411, LOCALE_SENGLANGUAGE, u"Japanese"},
      {0x404, LOCALE_ICOUNTRY, u"886"},
      {0x407, LOCALE_STHOUSAND, u"."},
      {0x407, LOCALE_SDECIMAL, u","},
      {0x407, LOCALE_SLIST, u";"},
      {0x40C, LOCALE_STHOUSAND, u"\u00A0"},
      {0x41D, LOCALE_STHOUSAND, u"\u00A0"},
      {0x416, LOCALE_STHOUSAND, u"."},
      {0x412, LOCALE_SDECIMAL, u"."},
      {0x40B, LOCALE_STIME, u"."},
      {0x410, LOCALE_STIME, u":"},
      {0x409, LOCALE_SGROUPING, u"3;0"},
      {0x439, LOCALE_SGROUPING, u"3;2;0"},
      {0x409, LOCALE_IMEASURE, u"1"},
      {0x809, LOCALE_IMEASURE, u"0"},
      {0x419, LOCALE_IDEFAULTANSICODEPAGE, u"1251"},
      {0x419, LOCALE_IDEFAULTCODEPAGE, u"866"},
      {0x804, LOCALE_IDEFAULTANSICODEPAGE, u"936"},
      {0x413, LOCALE_SNEGATIVESIGN, u"-"},
      {0x407, LOCALE_IDIGITS, u"2"},
      {0x407, LOCALE_ILZERO, u"1"},
      {0x407, LOCALE_INEGNUMBER, u"1"},
      {0x816, LOCALE_SNAME, u"pt-PT"},
      {0x0A, LOCALE_SNAME, u"es-ES"},         // a neutral language: its first locale
      {0x10407, LOCALE_SNAME, u"de-DE"},      // the sort id does not matter
      {LOCALE_INVARIANT, LOCALE_SDECIMAL, u"."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(std::u16string(c.expect), Info(c.lcid, c.item))
        << std::hex << c.lcid << " item " << c.item;

  // The three-letter names of the string table's languages, in its order.
  const LCID columns[] = {0x409, 0x411, 0x407, 0x40A, 0x40C, 0x804, 0x404, 0x406, 0x40B,
                          0x410, 0x412, 0x413, 0x414, 0x416, 0x816, 0x419, 0x41D, 0xC0A, 0x809};
  const char16_t* abbrevs[] = {u"ENU", u"JPN", u"DEU", u"ESP", u"FRA", u"CHS", u"CHT",
                               u"DAN", u"FIN", u"ITA", u"KOR", u"NLD", u"NOR", u"PTB",
                               u"PTG", u"RUS", u"SVE", u"ESN", u"ENG"};
  for (size_t i = 0; i < std::size(columns); ++i) {
    EXPECT_EQ(std::u16string(abbrevs[i]), Info(columns[i], LOCALE_SABBREVLANGNAME));
    EXPECT_TRUE(IsValidLocale(columns[i], LCID_SUPPORTED)) << columns[i];
  }
}

TEST_F(LocaleChoice, LocaleInfoSizesNumbersAndErrors) {
  // "English (United States)": 23 characters and the terminator.
  EXPECT_EQ(24, GetLocaleInfoW(0x409, LOCALE_SLANGUAGE, nullptr, 0));
  WCHAR out[24];
  std::fill(std::begin(out), std::end(out), u'#');
  SetLastError(0);
  EXPECT_EQ(0, GetLocaleInfoW(0x409, LOCALE_SLANGUAGE, out, 23));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(u'#', out[0]);
  EXPECT_EQ(24, GetLocaleInfoW(0x409, LOCALE_SLANGUAGE, out, 24));

  // Numbers as a DWORD in the first two characters.
  const struct {
    LCID lcid;
    LCTYPE item;
    DWORD expect;
  } numbers[] = {{0x40A, LOCALE_ILANGUAGE, 0x40A},
                 {0x407, LOCALE_ICOUNTRY, 49},
                 {0x411, LOCALE_IDEFAULTANSICODEPAGE, 932},
                 {0x409, LOCALE_IMEASURE | LOCALE_NOUSEROVERRIDE, 1}};
  for (const auto& n : numbers) {
    DWORD value = 0;
    EXPECT_EQ(2, GetLocaleInfoW(n.lcid, n.item | LOCALE_RETURN_NUMBER,
                                reinterpret_cast<LPWSTR>(&value), 2));
    EXPECT_EQ(n.expect, value) << n.item;
  }
  EXPECT_EQ(2, GetLocaleInfoW(0x409, LOCALE_ICOUNTRY | LOCALE_RETURN_NUMBER, nullptr, 0));

  const struct {
    LCID lcid;
    LCTYPE type;
    LPWSTR data;
    int size;
    DWORD error;
  } failures[] = {
      {0x1234, LOCALE_SDECIMAL, out, 24, ERROR_INVALID_PARAMETER},  // unknown locale
      {0x409, 0x9999, out, 24, ERROR_INVALID_FLAGS},                // unknown item
      {0x409, LOCALE_SDECIMAL | LOCALE_RETURN_NUMBER, out, 24, ERROR_INVALID_FLAGS},
      {0x409, LOCALE_ICOUNTRY | LOCALE_RETURN_NUMBER, out, 1, ERROR_INSUFFICIENT_BUFFER},
      {0x409, LOCALE_SDECIMAL, nullptr, 24, ERROR_INVALID_PARAMETER},
      {0x409, LOCALE_SDECIMAL, out, -1, ERROR_INVALID_PARAMETER},
  };
  for (const auto& f : failures) {
    SetLastError(0);
    EXPECT_EQ(0, GetLocaleInfoW(f.lcid, f.type, f.data, f.size)) << f.type;
    EXPECT_EQ(f.error, GetLastError()) << f.type;
  }
  EXPECT_FALSE(IsValidLocale(0x1234, LCID_SUPPORTED));
  EXPECT_FALSE(IsValidLocale(LOCALE_USER_DEFAULT, LCID_SUPPORTED));
  EXPECT_FALSE(IsValidLocale(0x409, 0));
}

TEST_F(LocaleChoice, ChoiceFromTheEnvironment) {
  const struct {
    const char* all;
    const char* messages;
    const char* numeric;
    const char* lang;
    LANGID ui;
    LCID user;
  } cases[] = {
      {nullptr, nullptr, nullptr, nullptr, 0x409, 0x409},
      {nullptr, nullptr, nullptr, "de_DE.UTF-8", 0x407, 0x407},
      {nullptr, nullptr, nullptr, "pt_PT", 0x816, 0x816},
      {nullptr, nullptr, nullptr, "pt_BR.UTF-8", 0x416, 0x416},
      {nullptr, nullptr, nullptr, "zh_TW.Big5", 0x404, 0x404},
      {nullptr, nullptr, nullptr, "es_ES@euro", 0xC0A, 0xC0A},
      {nullptr, nullptr, nullptr, "nb_NO.UTF-8", 0x414, 0x414},
      {nullptr, nullptr, nullptr, "fr_CA.UTF-8", 0x40C, 0x40C},  // known language only
      {nullptr, nullptr, nullptr, "C", 0x409, 0x409},
      {nullptr, nullptr, nullptr, "POSIX", 0x409, 0x409},
      {nullptr, nullptr, nullptr, "xx_YY", 0x409, 0x409},
      {nullptr, nullptr, nullptr, "", 0x409, 0x409},
      {nullptr, "ja_JP.UTF-8", nullptr, "en_GB.UTF-8", 0x411, 0x809},
      {nullptr, nullptr, "ru_RU.UTF-8", "en_US.UTF-8", 0x409, 0x419},
      {"sv_SE.UTF-8", "ja_JP", "ru_RU", "de_DE", 0x41D, 0x41D},
      {"", "ja_JP", "ru_RU", "de_DE", 0x411, 0x419},  // an empty variable is unset
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.all ? c.all : "-") << " " << (c.messages ? c.messages : "-")
                                      << " " << (c.numeric ? c.numeric : "-") << " "
                                      << (c.lang ? c.lang : "-"));
    SetVariables(c.all, c.messages, c.numeric, c.lang);
    EXPECT_EQ(c.ui, GetUserDefaultUILanguage());
    EXPECT_EQ(c.user, GetUserDefaultLCID());
    EXPECT_EQ(LANGIDFROMLCID(c.user), GetUserDefaultLangID());
  }

  // The system's choice follows LC_ALL or LANG; the user default locale
  // feeds LOCALE_USER_DEFAULT.
  SetVariables(nullptr, nullptr, "de_DE", "ko_KR.UTF-8");
  EXPECT_EQ(0x412u, GetSystemDefaultLCID());
  EXPECT_EQ(0x412, GetSystemDefaultUILanguage());
  EXPECT_EQ(u"KOR", Info(LOCALE_SYSTEM_DEFAULT, LOCALE_SABBREVLANGNAME));
  EXPECT_EQ(u"DEU", Info(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME));
}

TEST_F(LocaleChoice, SeamsOverrideTheEnvironment) {
  SetVariables(nullptr, nullptr, nullptr, "de_DE.UTF-8");
  ASSERT_TRUE(platform::SetUserLocale(0x40C, 0x411));
  ASSERT_TRUE(platform::SetSystemLocale(0x419));
  EXPECT_EQ(0x40Cu, GetUserDefaultLCID());
  EXPECT_EQ(0x411, GetUserDefaultUILanguage());
  EXPECT_EQ(0x419u, GetSystemDefaultLCID());
  EXPECT_EQ(u"FRA", Info(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME));
  EXPECT_EQ(u"RUS", Info(LOCALE_SYSTEM_DEFAULT, LOCALE_SABBREVLANGNAME));

  EXPECT_FALSE(platform::SetUserLocale(0x1234, 0));
  EXPECT_FALSE(platform::SetUserLocale(LOCALE_USER_DEFAULT, 0));
  EXPECT_EQ(0x40Cu, GetUserDefaultLCID());  // unchanged by the refusals
  ASSERT_TRUE(platform::SetUserLocale(0, 0));
  ASSERT_TRUE(platform::SetSystemLocale(0));
  EXPECT_EQ(0x407u, GetUserDefaultLCID());
  EXPECT_EQ(0x407u, GetSystemDefaultLCID());

  // A user override of one item, e.g. equal separators; LOCALE_NOUSEROVERRIDE
  // reads the table.
  ASSERT_TRUE(platform::SetLocaleOverride(0x407, LOCALE_STHOUSAND, u","));
  EXPECT_EQ(u",", Info(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND));
  EXPECT_EQ(u".", Info(0x407, LOCALE_STHOUSAND | LOCALE_NOUSEROVERRIDE));
  EXPECT_EQ(u"1,234,50", Number(0x407, u"1234.5", nullptr));
  EXPECT_EQ(u"1.234,50", Number(0x407, u"1234.5", nullptr, LOCALE_NOUSEROVERRIDE));
  ASSERT_TRUE(platform::SetLocaleOverride(0x407, LOCALE_IDIGITS, u"1"));
  DWORD digits = 0;
  GetLocaleInfoW(0x407, LOCALE_IDIGITS | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&digits),
                 2);
  EXPECT_EQ(1u, digits);
  ASSERT_TRUE(platform::SetLocaleOverride(0x407, LOCALE_STHOUSAND, nullptr));
  EXPECT_EQ(u".", Info(0x407, LOCALE_STHOUSAND));
  EXPECT_FALSE(platform::SetLocaleOverride(0x407, 0x9999, u"x"));
  EXPECT_FALSE(platform::SetLocaleOverride(0x1234, LOCALE_STHOUSAND, u"x"));
}

TEST_F(LocaleChoice, ThreadLocaleAndUILanguageBelongToTheThread) {
  ASSERT_TRUE(platform::SetUserLocale(0x407, 0x407));
  std::thread([] {
    EXPECT_EQ(0x407u, GetThreadLocale());
    EXPECT_TRUE(SetThreadLocale(0x10407));
    EXPECT_EQ(0x10407u, GetThreadLocale());  // kept with its sort id
    EXPECT_TRUE(SetThreadLocale(LOCALE_SYSTEM_DEFAULT));
    EXPECT_EQ(GetSystemDefaultLCID(), GetThreadLocale());
    SetLastError(0);
    EXPECT_FALSE(SetThreadLocale(0x1234));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());

    EXPECT_EQ(0x407, GetThreadUILanguage());
    EXPECT_EQ(0x411, SetThreadUILanguage(0x411));
    EXPECT_EQ(0x411, GetThreadUILanguage());
    std::thread([] {
      EXPECT_EQ(0x407u, GetThreadLocale());
      EXPECT_EQ(0x407, GetThreadUILanguage());
    }).join();
    EXPECT_EQ(0, SetThreadUILanguage(0x1234));
    EXPECT_EQ(0x411, GetThreadUILanguage());
    EXPECT_EQ(0x407, SetThreadUILanguage(0));  // back to the user's
    EXPECT_EQ(0x407, GetThreadUILanguage());
  }).join();
}

TEST_F(LocaleChoice, NumberFormatFromTheLocale) {
  const struct {
    LCID lcid;
    const char16_t* value;
    const char16_t* expect;
  } cases[] = {
      {0x409, u"1234567.891", u"1,234,567.89"},
      {0x409, u"-1234.5", u"-1,234.50"},
      {0x409, u"999", u"999.00"},
      {0x409, u"0.125", u"0.13"},      // half away from zero, on the digits
      {0x409, u"-0.125", u"-0.13"},
      {0x409, u"0.124999", u"0.12"},
      {0x409, u"9.995", u"10.00"},
      {0x409, u"999999.999", u"1,000,000.00"},
      {0x409, u"-0.001", u"0.00"},     // no sign on a zero result
      {0x409, u"-0", u"0.00"},
      {0x409, u".5", u"0.50"},
      {0x409, u"5.", u"5.00"},
      {0x409, u"000123", u"123.00"},
      {0x407, u"1234567.5", u"1.234.567,50"},
      {0x40C, u"-1234567", u"-1\u00A0234\u00A0567,00"},
      {0x439, u"123456789", u"12,34,56,789.00"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(std::u16string(c.expect), Number(c.lcid, c.value)) << platform::ToUtf8(c.value);

  // A grouping text without the final 0 makes one group only.
  ASSERT_TRUE(platform::SetLocaleOverride(0x409, LOCALE_SGROUPING, u"3"));
  EXPECT_EQ(u"123456,789.00", Number(0x409, u"123456789"));
}

TEST_F(LocaleChoice, NumberFormatFromARecord) {
  WCHAR point[] = u".", comma[] = u",", apostrophe[] = u"'", arrow[] = u"<>";
  const struct {
    NUMBERFMTW format;
    const char16_t* value;
    const char16_t* expect;
  } cases[] = {
      {{0, 1, 3, point, comma, 1}, u"1234.5", u"1,235"},
      {{2, 1, 0, point, comma, 1}, u"1234567", u"1234567.00"},
      {{0, 1, 32, point, comma, 1}, u"123456789", u"12,34,56,789"},
      {{0, 1, 30, point, comma, 1}, u"123456789", u"123456,789"},
      {{3, 1, 3, arrow, apostrophe, 1}, u"1234567.0005", u"1'234'567<>001"},
      {{2, 0, 3, point, comma, 1}, u"0.5", u".50"},
      {{2, 0, 3, point, comma, 1}, u"0", u".00"},
      {{0, 0, 3, point, comma, 1}, u"0.2", u"0"},
      {{1, 1, 3, point, comma, 0}, u"-1.5", u"(1.5)"},
      {{1, 1, 3, point, comma, 2}, u"-1.5", u"- 1.5"},
      {{1, 1, 3, point, comma, 3}, u"-1.5", u"1.5-"},
      {{1, 1, 3, point, comma, 4}, u"-1234.5", u"1,234.5 -"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(std::u16string(c.expect), Number(0x409, c.value, &c.format)) << platform::ToUtf8(c.value);
}

TEST_F(LocaleChoice, NumberFormatRefusesBadInput) {
  WCHAR point[] = u".", comma[] = u",";
  for (const char16_t* bad : {u"", u"-", u".", u"1.2.3", u"+1", u" 1", u"1e5", u"1,000", u"--1",
                              u"1-"}) {
    SetLastError(0);
    WCHAR out[32];
    EXPECT_EQ(0, GetNumberFormatW(0x409, 0, bad, nullptr, out, 32)) << platform::ToUtf8(bad);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError()) << platform::ToUtf8(bad);
  }
  const NUMBERFMTW good = {2, 1, 3, point, comma, 1};
  const NUMBERFMTW bad_order = {2, 1, 3, point, comma, 5};
  const NUMBERFMTW no_separator = {2, 1, 3, nullptr, comma, 1};
  WCHAR out[8];
  const struct {
    LCID lcid;
    DWORD flags;
    const WCHAR* value;
    const NUMBERFMTW* format;
    int size;
    DWORD error;
  } failures[] = {
      {0x409, 0, nullptr, nullptr, 8, ERROR_INVALID_PARAMETER},
      {0x1234, 0, u"1", nullptr, 8, ERROR_INVALID_PARAMETER},
      {0x409, 0, u"1", &bad_order, 8, ERROR_INVALID_PARAMETER},
      {0x409, 0, u"1", &no_separator, 8, ERROR_INVALID_PARAMETER},
      {0x409, LOCALE_NOUSEROVERRIDE, u"1", &good, 8, ERROR_INVALID_FLAGS},
      {0x409, 0x10, u"1", nullptr, 8, ERROR_INVALID_FLAGS},
      {0x409, 0, u"1234", nullptr, 8, ERROR_INSUFFICIENT_BUFFER},  // "1,234.00" + terminator
  };
  for (const auto& f : failures) {
    SetLastError(0);
    EXPECT_EQ(0, GetNumberFormatW(f.lcid, f.flags, f.value, f.format, out, f.size));
    EXPECT_EQ(f.error, GetLastError());
  }
  WCHAR fits[9];
  EXPECT_EQ(9, GetNumberFormatW(0x409, 0, u"1234", nullptr, fits, 9));
  EXPECT_EQ(u"1,234.00", std::u16string(fits));
}

}  // namespace
