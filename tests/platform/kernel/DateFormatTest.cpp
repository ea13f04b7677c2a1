#include "platform/kernel/date_format.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/error.h"

namespace {

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME st{};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  st.wDayOfWeek = 6;  // wrong on purpose: the day of the week is computed
  st.wHour = hour;
  st.wMinute = minute;
  st.wSecond = second;
  return st;
}

std::u16string Date(LCID locale, DWORD flags, const SYSTEMTIME& st, LPCWSTR format = nullptr) {
  WCHAR out[128] = {};
  int n = GetDateFormatW(locale, flags, &st, format, out, 128);
  EXPECT_EQ(n, n ? static_cast<int>(std::u16string(out).size()) + 1 : 0);
  return n ? std::u16string(out) : u"<failed>";
}

std::u16string Time(LCID locale, DWORD flags, const SYSTEMTIME& st, LPCWSTR format = nullptr) {
  WCHAR out[128] = {};
  int n = GetTimeFormatW(locale, flags, &st, format, out, 128);
  return n ? std::u16string(out) : u"<failed>";
}

TEST(DateFormat, LongDatesAndTimesOfTheLocales) {
  const SYSTEMTIME morning = At(2026, 1, 5, 9, 5, 7);      // a Monday
  const SYSTEMTIME afternoon = At(2026, 12, 10, 15, 4, 3);  // a Thursday
  const struct {
    LCID locale;
    const char16_t* morningDate;
    const char16_t* afternoonDate;
    const char16_t* morningTime;
    const char16_t* afternoonTime;
  } cases[] = {
      {0x409, u"Monday, January 5, 2026", u"Thursday, December 10, 2026", u"9:05:07 AM", u"3:04:03 PM"},
      {0x407, u"Montag, 5. Januar 2026", u"Donnerstag, 10. Dezember 2026", u"09:05:07", u"15:04:03"},
      {0x411, u"2026\u5E741\u67085\u65E5", u"2026\u5E7412\u670810\u65E5", u"9:05:07", u"15:04:03"},
      {0x40C, u"lundi 5 janvier 2026", u"jeudi 10 d\u00E9cembre 2026", u"09:05:07", u"15:04:03"},
      {0xC0A, u"lunes, 5 de enero de 2026", u"jueves, 10 de diciembre de 2026", u"9:05:07", u"15:04:03"},
      {0x419, u"5 \u044F\u043D\u0432\u0430\u0440\u044F 2026 \u0433.",
       u"10 \u0434\u0435\u043A\u0430\u0431\u0440\u044F 2026 \u0433.", u"9:05:07", u"15:04:03"},
      {0x40B, u"5. tammikuuta 2026", u"10. joulukuuta 2026", u"9.05.07", u"15.04.03"},
      {0x7F, u"Monday, 05 January 2026", u"Thursday, 10 December 2026", u"09:05:07", u"15:04:03"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Date(c.locale, DATE_LONGDATE, morning), c.morningDate) << std::hex << c.locale;
    EXPECT_EQ(Date(c.locale, DATE_LONGDATE, afternoon), c.afternoonDate) << std::hex << c.locale;
    EXPECT_EQ(Time(c.locale, 0, morning), c.morningTime) << std::hex << c.locale;
    EXPECT_EQ(Time(c.locale, 0, afternoon), c.afternoonTime) << std::hex << c.locale;
  }
  // Every known locale has both patterns and formats with them.
  for (LCID locale : {0x409, 0x809, 0x407, 0x40C, 0x40A, 0xC0A, 0x80A, 0x410, 0x411, 0x412, 0x804, 0x404,
                      0x406, 0x40B, 0x413, 0x414, 0x416, 0x816, 0x419, 0x41D, 0x439, 0x7F}) {
    WCHAR pattern[64];
    EXPECT_GT(GetLocaleInfoW(locale, LOCALE_SLONGDATE, pattern, 64), 1) << std::hex << locale;
    EXPECT_GT(GetLocaleInfoW(locale, LOCALE_STIMEFORMAT, pattern, 64), 1) << std::hex << locale;
    EXPECT_NE(Date(locale, DATE_LONGDATE, afternoon), u"<failed>") << std::hex << locale;
    EXPECT_NE(Time(locale, 0, afternoon), u"<failed>") << std::hex << locale;
  }
}

TEST(DateFormat, TimeFlagsAndMidnight) {
  const SYSTEMTIME midnight = At(2026, 12, 10, 0, 0, 9);
  const SYSTEMTIME noon = At(2026, 12, 10, 12, 30, 0);
  EXPECT_EQ(Time(0x409, 0, midnight), u"12:00:09 AM");
  EXPECT_EQ(Time(0x409, 0, noon), u"12:30:00 PM");
  EXPECT_EQ(Time(0x409, TIME_NOSECONDS, noon), u"12:30 PM");
  EXPECT_EQ(Time(0x409, TIME_NOMINUTESORSECONDS, noon), u"12 PM");
  EXPECT_EQ(Time(0x409, TIME_NOTIMEMARKER, noon), u"12:30:00");
  EXPECT_EQ(Time(0x409, TIME_FORCE24HOURFORMAT | TIME_NOTIMEMARKER, midnight), u"0:00:09");
  EXPECT_EQ(Time(0x412, TIME_NOTIMEMARKER, noon), u"12:30:00");  // the marker leads there
  EXPECT_EQ(Time(0x409, 0, noon, u"HH'h'mm ''t''"), u"12h30 'P'");
}

TEST(DateFormat, OverridesFormatsAndErrors) {
  const SYSTEMTIME day = At(2026, 12, 10, 15, 4, 3);
  ASSERT_TRUE(platform::SetLocaleOverride(0x407, LOCALE_SLONGDATE, u"d. MMM yy"));
  ASSERT_TRUE(platform::SetLocaleOverride(0x407, LOCALE_STIMEFORMAT, u"H 'Uhr' m"));
  EXPECT_EQ(Date(0x407, DATE_LONGDATE, day), u"10. Dez 26");
  EXPECT_EQ(Time(0x407, 0, day), u"15 Uhr 4");
  EXPECT_EQ(Date(0x407, DATE_LONGDATE | LOCALE_NOUSEROVERRIDE, day), u"Donnerstag, 10. Dezember 2026");
  WCHAR pattern[32];
  ASSERT_GT(GetLocaleInfoW(0x407, LOCALE_SLONGDATE, pattern, 32), 0);
  EXPECT_EQ(std::u16string(pattern), u"d. MMM yy");
  platform::ClearLocaleOverrides();

  EXPECT_EQ(Date(0x409, 0, day, u"yyyy-MM-dd ddd"), u"2026-12-10 Thu");

  // The needed count, a short buffer, bad arguments.
  EXPECT_EQ(GetDateFormatW(0x409, DATE_LONGDATE, &day, nullptr, nullptr, 0), 28);
  WCHAR small[5] = {u'x'};
  SetLastError(0);
  EXPECT_EQ(GetDateFormatW(0x409, DATE_LONGDATE, &day, nullptr, small, 5), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(small[0], u'x');
  WCHAR out[64];
  const struct {
    LCID locale;
    DWORD flags;
    SYSTEMTIME st;
    LPCWSTR format;
    DWORD error;
  } bad[] = {{0x409, DATE_SHORTDATE, day, nullptr, ERROR_INVALID_FLAGS},
             {0x409, 0, day, nullptr, ERROR_INVALID_FLAGS},
             {0x409, DATE_LONGDATE, day, u"yyyy", ERROR_INVALID_FLAGS},
             {0x1234, DATE_LONGDATE, day, nullptr, ERROR_INVALID_PARAMETER},
             {0x409, DATE_LONGDATE, At(2026, 2, 29, 0, 0, 0), nullptr, ERROR_INVALID_PARAMETER},
             {0x409, DATE_LONGDATE, At(2026, 13, 1, 0, 0, 0), nullptr, ERROR_INVALID_PARAMETER}};
  for (const auto& b : bad) {
    SetLastError(0);
    EXPECT_EQ(GetDateFormatW(b.locale, b.flags, &b.st, b.format, out, 64), 0);
    EXPECT_EQ(GetLastError(), b.error);
  }
  SYSTEMTIME late = At(2026, 12, 10, 24, 0, 0);
  EXPECT_EQ(GetTimeFormatW(0x409, 0, &late, nullptr, out, 64), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(GetTimeFormatW(0x409, 0x100, &day, nullptr, out, 64), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  // Without a time: now, in some text.
  EXPECT_GT(GetTimeFormatW(0x409, 0, nullptr, nullptr, out, 64), 1);
}

}  // namespace
