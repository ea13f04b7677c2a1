#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuNanoTime.h"
#include "foundation/WuNumber.h"
#include "foundation/WuPrintF.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;
using wutest::U8;

// A kernel language handle, the token table and the internationals of a
// chosen user locale (English unless a test says otherwise).
class NumberTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WuPrintF_CreateTokens(), S_OK);
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), 0, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
    UseLocale(0x409);
  }
  void TearDown() override {
    platform::SetUserLocale(0, 0);
    WuLang_GetInternationals(nullptr, 0);
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(lang_);
    WuPrintF_DestroyTokens();
  }
  static void UseLocale(LCID lcid) {
    ASSERT_TRUE(platform::SetUserLocale(lcid, 0x409));
    WuLang_GetInternationals(nullptr, 0);
  }

  HWULANG lang_ = nullptr;
};

// ---- Grouping and number texts --------------------------------------------------------

std::string Group(const char* text, int style, int decimals = -1, int size = 64) {
  WCHAR out[64];
  std::u16string t = U16(text);
  if (style == 0)
    WuFormatNumber(t.c_str(), out, size);
  else if (style == 1)
    WuFormatDecimalNumber(t.c_str(), out, size);
  else
    WuFormatGroupDecimalNumber(t.c_str(), out, size, decimals);
  return U8(out);
}

TEST_F(NumberTest, GroupingKeepsPaddingAndFallsBackToTheText) {
  struct Case {
    const char* text;
    int style;
    int decimals;
    const char* english;
    const char* german;
  } cases[] = {
      {"1234567", 0, -1, "1,234,567", "1.234.567"},
      {"-1234567", 0, -1, "-1,234,567", "-1.234.567"},
      {"   42", 0, -1, "   42", "   42"},
      {"00042", 0, -1, "00042", "00042"},
      {"0", 0, -1, "0", "0"},
      {"1234567  ", 0, -1, "1,234,567  ", "1.234.567  "},
      {"inf", 0, -1, "inf", "inf"},
      {"-inf", 2, -1, "-inf", "-inf"},
      {"1234.5", 1, -1, "1234.5", "1234,5"},
      {"0.5", 1, -1, "0.5", "0,5"},
      {"1234.5", 2, -1, "1,234.5", "1.234,5"},
      {"1234.5", 2, 2, "1,234.50", "1.234,50"},
      {"1234.567", 2, 2, "1,234.57", "1.234,57"},
      {"-0.001", 2, 2, "0.00", "0,00"},
  };
  for (const Case& c : cases) EXPECT_EQ(Group(c.text, c.style, c.decimals), c.english) << c.text;
  UseLocale(0x407);
  for (const Case& c : cases) EXPECT_EQ(Group(c.text, c.style, c.decimals), c.german) << c.text;
  // Bounded by the size, always terminated.
  EXPECT_EQ(Group("1234567", 0, -1, 4), "1.2");
}

// Runs a writer into a fresh output guarded beyond WUNUMBER_TEXT_MAX.
std::string Written(const std::function<int(WCHAR*)>& write) {
  WCHAR out[WUNUMBER_TEXT_MAX + 4];
  for (WCHAR& c : out) c = u'#';
  int n = write(out);
  EXPECT_EQ(out[WUNUMBER_TEXT_MAX], u'#');
  EXPECT_EQ(n, static_cast<int>(std::u16string(out).size()));
  return U8(out);
}

TEST_F(NumberTest, IntegersToText) {
  const LONG min32 = std::numeric_limits<LONG>::min();
  const LONGLONG min64 = std::numeric_limits<LONGLONG>::min();
  struct Case {
    std::string actual;
    const char* expected;
  } cases[] = {
      {Written([](WCHAR* o) { return WuLongToText(0, o, FALSE); }), "0"},
      {Written([&](WCHAR* o) { return WuLongToText(min32, o, FALSE); }), "-2147483648"},
      {Written([](WCHAR* o) { return WuLongToText(-1234567, o, TRUE); }), "-1,234,567"},
      {Written([](WCHAR* o) { return WuDWordToText(4294967295u, o, TRUE); }), "4,294,967,295"},
      {Written([](WCHAR* o) { return WuDWordLongToText(~0ull, o, FALSE); }),
       "18446744073709551615"},
      {Written([&](WCHAR* o) { return WuLongLongToText(min64, o, TRUE); }),
       "-9,223,372,036,854,775,808"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST_F(NumberTest, DoublesToText) {
  struct Case {
    double value;
    int decimals;
    BOOL group;
    const char* expected;
  } cases[] = {
      {1234.5678, 2, FALSE, "1234.57"},
      {1234567.891, 2, TRUE, "1,234,567.89"},
      {2.5, 0, FALSE, "3"},
      {-0.004, 2, FALSE, "0.00"},
      {-0.005, 2, FALSE, "-0.01"},
      {0.05, 1, FALSE, "0.1"},
      {1.0, 12, FALSE, "1.000000000"},
      {-7.25, -3, FALSE, "-7"},
      {std::nan(""), 2, FALSE, "nan"},
  };
  for (const Case& c : cases) {
    WCHAR out[WUNUMBER_TEXT_MAX];
    int n = WuDoubleToText(out, c.value, c.decimals, c.group);
    EXPECT_EQ(U8(out), c.expected) << c.value;
    EXPECT_EQ(n, static_cast<int>(std::u16string(out).size()));
  }
  // A huge value is cut to the documented size, not written past it.
  WCHAR big[WUNUMBER_TEXT_MAX + 8];
  for (WCHAR& c : big) c = u'#';
  WuDoubleToText(big, 1e300, 2, TRUE);
  EXPECT_EQ(big[WUNUMBER_TEXT_MAX - 1], 0);
  EXPECT_EQ(big[WUNUMBER_TEXT_MAX], u'#');
}

TEST_F(NumberTest, NumberTokens) {
  const WCHAR* end = nullptr;
  EXPECT_EQ(WuTextToDWordTokenEx(u"abc", 7, 0, 100, &end), 7u);
  EXPECT_EQ(*end, u'a');
  EXPECT_EQ(WuTextToDWordTokenEx(u"  12,345", 0, 0, 99999, nullptr), 12345u);
  EXPECT_EQ(WuTextToDWordTokenEx(u"  12,345", 0, 0, 1000, nullptr), 1000u);
  EXPECT_EQ(WuTextToDWordTokenEx(u"3", 0, 10, 20, nullptr), 10u);
  EXPECT_EQ(WuTextToDWordToken(u"-5", nullptr), 0u);
  EXPECT_EQ(WuTextToDWordToken(u"99999999999", nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(WuTextToDWordToken(u"12abc", &end), 12u);
  EXPECT_EQ(*end, u'a');
  EXPECT_EQ(WuTextToLongToken(u"-12,345", nullptr), -12345);
  EXPECT_EQ(WuTextToLongToken(u"99999999999", nullptr), std::numeric_limits<LONG>::max());
  EXPECT_EQ(WuTextToLongTokenEx(u"x", -4, -10, 10, nullptr), -4);
  EXPECT_EQ(WuTextToLongLongToken(u"-9,223,372,036,854,775,808", nullptr),
            std::numeric_limits<LONGLONG>::min());
  EXPECT_EQ(WuTextToLongLongTokenEx(u"0", 5, 0, 10, nullptr), 0);
  EXPECT_DOUBLE_EQ(WuTextToDoubleToken(u"1,234.5", nullptr, FALSE), 1234.5);
  EXPECT_DOUBLE_EQ(WuTextToDoubleTokenEx(u"?", 2.5, 0, 10, nullptr, FALSE), 2.5);

  UseLocale(0x407);
  EXPECT_DOUBLE_EQ(WuTextToDoubleToken(u"1.234,5", &end, TRUE), 1234.5);
  EXPECT_EQ(*end, 0);
  EXPECT_EQ(WuTextToDWordToken(u"1.234", nullptr), 1234u);
}

TEST_F(NumberTest, HexTokens) {
  const WCHAR* end = nullptr;
  EXPECT_EQ(WuHexToDWordToken(u"0x1F", nullptr), 31u);
  EXPECT_EQ(WuHexToDWordToken(u"  0XfF zz", &end), 255u);
  EXPECT_EQ(*end, u' ');
  EXPECT_EQ(WuHexToDWordToken(u"123456789", nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(WuHexToDWordLongToken(u"123456789abcdef0", nullptr), 0x123456789abcdef0ull);
  EXPECT_EQ(WuHexToDWordTokenEx(u"zz", 9, 0, 100, nullptr), 9u);
  EXPECT_EQ(WuHexToDWordLongTokenEx(u"ff", 0, 0, 16, nullptr), 16u);
}

TEST_F(NumberTest, TextHelpers) {
  WCHAR out[16];
  EXPECT_EQ(U8(WuFourCCToString('R' | 'I' << 8 | 'F' << 16 | 0x01u << 24, out)), "RIF.");

  WCHAR text[32] = u"a-b-c";
  EXPECT_EQ(WuStringReplaceChars(text, u'-', u'+'), 5);
  EXPECT_EQ(U8(text), "a+b+c");

  WCHAR padded[32] = u" \t a b \n ";
  EXPECT_EQ(WuStripWhiteSpace(padded), 3);
  EXPECT_EQ(U8(padded), "a b");

  EXPECT_EQ(WuPrepareName(u"   ", out, 16), nullptr);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(WuPrepareName(u"  name  ", out, 16), out);
  EXPECT_EQ(U8(out), "name");
  WuPrepareName(u"  a long name ", out, 5);
  EXPECT_EQ(U8(out), "a lo");

  const WCHAR* t = u"ab  ";
  EXPECT_EQ(WuFindTrailingWhiteSpace(t), t + 2);
  const WCHAR* blank = u"   ";
  EXPECT_EQ(WuFindTrailingWhiteSpace(blank), blank);
  EXPECT_EQ(WuFindTrailingWhiteSpace(nullptr), nullptr);

  EXPECT_EQ(WuFixNameForMenu(out, u"A&B", 16), 4);
  EXPECT_EQ(U8(out), "A&&B");
  EXPECT_EQ(WuFixNameForMenu(out, u"A&B", 3), 1);  // a doubled '&' is never cut in half
  EXPECT_EQ(U8(out), "A");
}

TEST_F(NumberTest, LabeledValues) {
  EXPECT_EQ(U8(WuGetLabeledStringFixed(-123, 1, 0, u" dB")), "-12.3 dB");
  EXPECT_EQ(U8(WuGetLabeledStringFixed(-960, 1, -960, u" dB")), "-Inf. dB");
  EXPECT_EQ(U8(WuGetLabeledStringFixed(1234567, 0, 0, u" Hz")), "1,234,567 Hz");
  EXPECT_EQ(U8(WuGetLabeledStringFixed(5, 12, 0, u"")), "0.000000005");
  EXPECT_EQ(U8(WuGetLabeledStringFloat(3.14159, 2, 0, u" s")), "3.14 s");
  EXPECT_EQ(U8(WuGetLabeledStringFloat(-3.9, 0, 0, u" s")), "-3 s");
  EXPECT_EQ(U8(WuGetLabeledStringFloat(-100.0, 1, -96.0, u" dB")), "-Inf. dB");
  // Cut to the 24-character text.
  EXPECT_EQ(U8(WuGetLabeledStringFixed(1, 0, 0, u" a very long unit name indeed")),
            "1 a very long unit name");
  // Without a kernel language handle there is no temporary text.
  WuKernel_SetLangHandle(nullptr);
  EXPECT_EQ(U8(WuGetLabeledStringFixed(1, 0, 0, u"x")), "Err.");
}

TEST_F(NumberTest, StereoNames) {
  struct Case {
    const char* name;
    BOOL found;
    const char* left;
    const char* right;
  } cases[] = {
      {"Out 1/2", TRUE, "Out 1", "Out 2"},
      {"Input 3-4 Main", TRUE, "Input 3 Main", "Input 4 Main"},
      {"Main L/R Mix", TRUE, "Main L Mix", "Main R Mix"},
      {"S/PDIF 1/2", TRUE, "S/PDIF 1", "S/PDIF 2"},
      {"Mic 5/7", TRUE, "Mic 5", "Mic 7"},
      {"S/PDIF", FALSE, "S/PDIF - L", "S/PDIF - R"},
  };
  for (const Case& c : cases) {
    WCHAR left[64], right[64];
    EXPECT_EQ(WuChannelizeStereoName(U16(c.name).c_str(), left, 64, right, 64), c.found) << c.name;
    EXPECT_EQ(U8(left), c.left) << c.name;
    EXPECT_EQ(U8(right), c.right) << c.name;
  }
  WCHAR left[4], right[4];
  WuChannelizeStereoName(u"Output 1/2", left, 4, right, 4);
  EXPECT_EQ(U8(left), "Out");
  EXPECT_EQ(U8(right), "Out");
}

// ---- Time positions -------------------------------------------------------------------

_wuposfmt Format(LONG type) {
  _wuposfmt f{};
  f.formatType = type;
  f.sampleRate = 48000;
  f.frameRate = 24.0;
  f.tempo = 120.0;
  f.beatUnit = 4;
  f.beatsPerMeasure = 4;
  f.ticksPerQuarter = 960;
  return f;
}

std::string Time(LONG type, LONGLONG t, DWORD options = 0, LONGLONG offset = 0) {
  _wuposfmt f = Format(type);
  f.offset = offset;
  WCHAR out[WUNANOTIME_TEXT_MAX];
  int n = WuNanoTimeToTextEx(out, &f, t, options);
  EXPECT_EQ(n, static_cast<int>(std::u16string(out).size()));
  return U8(out);
}

constexpr LONGLONG kSecond = WUNANOTIME_SECOND;

TEST_F(NumberTest, TimePositionsInEnglish) {
  const LONGLONG hms = 37234560000LL;  // 1 h 2 min 3.456 s
  struct Case {
    std::string actual;
    const char* expected;
  } cases[] = {
      {Time(1, hms), "01:02:03.456"},
      {Time(1, hms, WUPOSFMT_ALTERNATIVE), "01:02:03"},
      {Time(1, -hms), "-01:02:03.456"},
      {Time(2, 597000000), "59.700"},
      {Time(2, 597000000, WUPOSFMT_ALTERNATIVE), "59"},
      {Time(0, kSecond), "48,000"},
      {Time(3, kSecond / 2), "00:00:00.12"},
      {Time(4, kSecond), "24.000"},
      {Time(5, 0), "1.1.000"},
      {Time(13, 0), "0.0.000"},
      {Time(5, kSecond * 5 / 4), "1.3.480"},
      {Time(5, 0, WUPOSFMT_LENGTH), "0.0.000"},
      {Time(7, kSecond), "00:00:01:00"},
      {Time(8, 600600000), "00:01:00;02"},
      {Time(11, 1234567), "1,234,567"},
      {Time(12, 1234567), "123,457"},
      {Time(14, kSecond), "2.000"},
      {Time(15, 100 * kSecond / 24), "2+20"},
      {Time(16, 100 * kSecond / 24), "6+4"},
      {Time(19, 65 * kSecond), "1:05"},
      {Time(19, 605 * kSecond), "10:05"},
      {Time(19, 3605 * kSecond), "1:00:05"},
      {Time(42, 77), "77"},
      {Time(11, 3 * kSecond, 0, kSecond), "20,000,000"},
      {Time(11, 3 * kSecond, WUPOSFMT_LENGTH, kSecond), "30,000,000"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected);

  _wuposfmt f = Format(1);
  WCHAR out[WUNANOTIME_TEXT_MAX];
  EXPECT_EQ(WuNanoTimeToText(out, &f, -hms, FALSE), 13);  // the '-' counts
}

TEST_F(NumberTest, TimePositionsInGerman) {
  UseLocale(0x407);
  EXPECT_EQ(Time(1, 37234560000LL), "01:02:03,456");
  EXPECT_EQ(Time(2, 12345670000LL), "1.234,567");
  EXPECT_EQ(Time(0, 100 * kSecond), "4.800.000");
}

// Every format, both sets, positive and negative times: the text read back
// formats to the same text, and the time read back is within the format's
// resolution of the time written.
TEST_F(NumberTest, TimePositionsReadBack) {
  const LONGLONG times[] = {0,
                            kSecond,
                            37234560000LL,
                            kSecond / 24 * 7,
                            (5 * 3600 + 3 * 60 + 7) * kSecond + kSecond / 4,
                            1250 * 60 * kSecond / 2 + 12345};
  for (LONG type = 0; type <= 19; ++type) {
    for (DWORD options : {0u, WUPOSFMT_ALTERNATIVE}) {
      for (LONGLONG t0 : times) {
        for (LONGLONG t : {t0, -t0}) {
          _wuposfmt f = Format(type);
          f.offset = 3 * kSecond;
          WCHAR text[WUNANOTIME_TEXT_MAX], again[WUNANOTIME_TEXT_MAX];
          WuNanoTimeToTextEx(text, &f, t, options);
          const WCHAR* end = nullptr;
          LONGLONG back = WuTextToNanoTimeToken(text, &f, options & WUPOSFMT_ALTERNATIVE, &end);
          WuNanoTimeToTextEx(again, &f, back, options);
          EXPECT_EQ(U8(again), U8(text)) << "type " << type << " options " << options << " t " << t;
          EXPECT_EQ(*end, 0);
        }
      }
    }
  }
}

TEST_F(NumberTest, TimeParsingRules) {
  _wuposfmt clock = Format(1);
  struct Case {
    const char* text;
    LONG type;
    DWORD options;
    LONGLONG expected;
  } cases[] = {
      {"90", 1, 0, 90 * kSecond},                // a single number is seconds
      {"1.5", 1, 0, 15 * kSecond / 10},          // one digit: tenths
      {"1.05", 1, 0, 105 * kSecond / 100},       // two digits: hundredths
      {"1.23456", 1, 0, 1234 * kSecond / 1000},  // more than three: cut
      {"1:02:03", 1, WUPOSFMT_ALTERNATIVE, 3723 * kSecond},
      {"5:", 7, 0, 5 * kSecond},  // a trailing separator stands for 0
      {"-00:00:01:00", 7, 0, -kSecond},
      {"1:0:0", 10, 0, 60 * kSecond},
      {"2+20", 15, 0, 41666667},        // 100 frames at 24 fps
      {"1,234+0", 15, 0, 20566666667},  // grouped feet read back
      {"2.1.000", 5, 0, 2 * kSecond},
      {"1,001.1.000", 5, 0, 2000 * kSecond},  // grouped measures read back
      {"480", 11, 0, 480},
      {"48", 12, 0, 480},
      {"48,000", 0, 0, kSecond},
      {"", 11, 0, 0},
  };
  for (const Case& c : cases) {
    _wuposfmt f = Format(c.type);
    EXPECT_EQ(
        WuTextToNanoTimeToken(U16(c.text).c_str(), &f, c.options & WUPOSFMT_ALTERNATIVE, nullptr),
        c.expected)
        << c.text << " type " << c.type;
  }
  // The offset is added, also to the default of an empty text; not for lengths.
  clock.offset = kSecond;
  EXPECT_EQ(WuTextToNanoTimeToken2(u"2", &clock, 0, 0, 0, 0, nullptr), 3 * kSecond);
  EXPECT_EQ(WuTextToNanoTimeToken2(u"2", &clock, 0, 0, 0, WUPOSFMT_LENGTH, nullptr), 2 * kSecond);
  EXPECT_EQ(WuTextToNanoTimeToken2(u"  ", &clock, 5, 0, 0, 0, nullptr), kSecond + 5);
  // With a range: unread text and a 0 take the default; the result is clamped.
  _wuposfmt raw = Format(11);
  const WCHAR* end = nullptr;
  EXPECT_EQ(WuTextToNanoTimeTokenEx(u"abc", &raw, FALSE, 77, 0, 100, &end), 77);
  EXPECT_EQ(*end, u'a');
  EXPECT_EQ(WuTextToNanoTimeTokenEx(u"500", &raw, FALSE, 77, 0, 100, nullptr), 100);
  EXPECT_EQ(WuTextToNanoTimeTokenEx(u"-500", &raw, FALSE, 77, 0, 100, nullptr), 0);
}

TEST_F(NumberTest, ClockTimeAndSamples) {
  _smpteval t = {0, 0, 0, 0, 0};
  WuNanoTimeToHMSF(37234560000LL, &t, 1000.0);
  EXPECT_EQ(t.hours * 10000000ull + t.minutes * 100000 + t.seconds * 1000 + t.frames, 10203456ull);
  WuNanoTimeToHMSF(25 * 3600 * kSecond, &t, 25.0);
  EXPECT_EQ(t.hours, 1u);  // hours wrap at 24
  _smpteval back = {0, 1, 2, 3, 12};
  EXPECT_EQ(WuHMSFToNanoTime(&back, 25.0), 3723 * kSecond + 12 * kSecond / 25);
  _smpteval huge = {0, 4000000000u, 0, 0, 0};
  EXPECT_EQ(WuHMSFToNanoTime(&huge, 25.0), std::numeric_limits<LONGLONG>::min());
  _smpteval code = {WUSMPTE_TYPE_2997_DROP, 0, 0, 1, 0};
  EXPECT_EQ(WuHMSFToNanoTime(&code, 0), 10010000);

  EXPECT_EQ(WuSamplesToNanoTime(48000, 48000), kSecond);
  EXPECT_EQ(WuSamplesToNanoTime(1, 3), 3333333);
  EXPECT_EQ(WuSamplesToNanoTime(5, 0), 0);
  EXPECT_EQ(WuNanoTimeToSamples(kSecond, 44100), 44100);
  EXPECT_EQ(WuNanoTimeToSamples(kSecond, 0), 0);
}

TEST_F(NumberTest, MusicalTime) {
  _wuposfmt f = Format(5);
  LONG m = 0, b = 0, k = 0;
  WuNanoTimeToMeasures(kSecond * 5 / 4, &f, &m, &b, &k);  // 2.5 beats at 120 bpm
  EXPECT_EQ(m, 0);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(k, 480);

  struct Case {
    LONG measures;
    LONGLONG ticks;
    int origin;
    BOOL short_form;
    LONG divisor;
    const char* expected;
  } cases[] = {
      {0, 0, 1, FALSE, 1, "1.1.000"},          {2, 960 * 5 + 7, 0, FALSE, 1, "3.1.007"},
      {0, -1, 1, FALSE, 1, "-1.4.959"},  // a negative tick count borrows a measure
      {0, 960 + 480, 1, FALSE, 10, "1.2.048"}, {0, 960 * 3, 1, TRUE, 1, "1.4"},
  };
  for (const Case& c : cases) {
    WCHAR out[WUNANOTIME_TEXT_MAX];
    WuMeasuresAndTicksToText(out, &f, c.measures, c.ticks, c.origin, c.short_form, c.divisor);
    EXPECT_EQ(U8(out), c.expected);
    // Read back (full form, no divisor): the same tick count.
    if (!c.short_form && c.divisor == 1) {
      EXPECT_EQ(WuTextToTicks(out, &f, c.origin, 1), c.measures * 3840 + c.ticks) << c.expected;
    }
  }
  LONG beat = 0, tick = 0;
  EXPECT_EQ(WuTextToBeatsTicks(u"-3.100", &f, 2, &beat, &tick), 3 * 960 + 200);
  EXPECT_EQ(beat, 3);
  EXPECT_EQ(tick, 100);
  LONG measure = 0;
  EXPECT_EQ(WuTextToMeasuresBeatsTicks(u"2.3.10", &f, 1, 1, &measure, &beat, &tick),
            (1 * 4 + 2) * 960 + 10);
  EXPECT_EQ(measure, 1);
  EXPECT_EQ(beat, 2);
}

// Musical texts at the limits of their inputs saturate: the measure shown
// stays at the 32-bit limit it was clamped to, whatever is added after the
// clamp (the origin of 1, the carry of a tick count near the 64-bit limits).
TEST_F(NumberTest, MusicalTimeSaturatesAtItsLimits) {
  constexpr LONGLONG kMax64 = std::numeric_limits<LONGLONG>::max();
  constexpr LONGLONG kMin64 = std::numeric_limits<LONGLONG>::min();
  constexpr LONG kMax32 = std::numeric_limits<LONG>::max();
  constexpr LONG kMin32 = std::numeric_limits<LONG>::min();
  // Time INT64_MAX at 120 beats a minute in 4/4: far beyond 2^31 measures.
  const std::string top = Time(5, kMax64);
  EXPECT_EQ(top.substr(0, top.find('.')), "2,147,483,647") << top;
  EXPECT_EQ(Time(5, kMin64), "-" + top);
  const std::string zeroBased = Time(13, kMax64);
  EXPECT_EQ(zeroBased.substr(0, zeroBased.find('.')), "2,147,483,647") << zeroBased;

  // Ticks per quarter note above 2^31 and a tempo that is not finite clamp
  // each part instead of converting out of range.
  _wuposfmt f = Format(5);
  f.ticksPerQuarter = 0xFFFFFFFF;
  LONG m = 0, b = 0, k = 0;
  WuNanoTimeToMeasures(kSecond * 7 / 8, &f, &m, &b, &k);  // 1.75 beats
  EXPECT_EQ(m, 0);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(k, kMax32);
  f = Format(5);
  f.tempo = std::numeric_limits<double>::infinity();
  WuNanoTimeToMeasures(kSecond, &f, &m, &b, &k);
  EXPECT_EQ(m, kMax32);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(k, 0);

  // Clock time at a frame rate past 2^32 frames a second: the frame count
  // saturates.
  for (double rate : {1e10, std::numeric_limits<double>::infinity()}) {
    _smpteval hmsf = {0, 0, 0, 0, 0};
    WuNanoTimeToHMSF(kSecond / 2, &hmsf, rate);
    EXPECT_EQ(hmsf.frames, 0xFFFFFFFFu) << rate;
    EXPECT_EQ(hmsf.seconds, 0u);
  }

  // One tick a measure: the carry is the whole tick count.
  _wuposfmt one = Format(5);
  one.ticksPerQuarter = 1;
  one.beatsPerMeasure = 1;
  struct Case {
    LONG measures;
    LONGLONG ticks;
    int origin;
    const char* expected;
  } cases[] = {
      {kMin32, kMin64 + 5, 1, "-2147483648.1.000"},
      {kMin32, kMin64, 0, "-2147483648.0.000"},
      {kMax32, kMax64, 1, "2147483647.1.000"},
      {kMax32, kMax64, 0, "2147483647.0.000"},
      {-1, kMax64, 1, "2147483647.1.000"},
      {kMax32, -1, 1, "2147483647.1.000"},  // borrows one measure: 2^31 - 2, then counted from 1
  };
  for (const Case& c : cases) {
    WCHAR out[WUNANOTIME_TEXT_MAX];
    WuMeasuresAndTicksToText(out, &one, c.measures, c.ticks, c.origin, FALSE, 1);
    EXPECT_EQ(U8(out), c.expected) << c.measures << " " << c.ticks;
  }
}

}  // namespace
