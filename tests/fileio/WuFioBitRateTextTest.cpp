#include "fileio/WuFioBitRateText.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/WuLang.h"
#include "platform/kernel/locale.h"

namespace {

class WuFioBitRateTextTest : public ::testing::Test {
 protected:
  // Number texts follow the language layer's separators, read again from
  // the locale each time it is pinned.
  static void Pin(LCID lcid) {
    ASSERT_TRUE(platform::SetUserLocale(lcid, 0x409));
    WuLang_GetInternationals(nullptr, 0);
  }
  void SetUp() override { Pin(0x409); }
  void TearDown() override {
    platform::SetUserLocale(0, 0);
    WuLang_GetInternationals(nullptr, 0);
  }
};

TEST_F(WuFioBitRateTextTest, PicksUnitAndPrecision) {
  struct Case {
    LONGLONG bps;
    const char16_t* text;
  } cases[] = {
      {0, u"0 bps"},
      {1999, u"1,999 bps"},          // below 2,000: no step
      {2000, u"2 Kbps"},             // 2.0 written whole
      {64000, u"64 Kbps"},
      {96500, u"96.5 Kbps"},
      {99960, u"100 Kbps"},          // rounds to 100: written whole
      {1500000, u"1,500 Kbps"},      // whole units from 100 up
      {1999999, u"2,000 Kbps"},
      {2500000, u"2.5 Mbps"},
      {1440000000LL, u"1,440 Mbps"},
      {3000000000LL, u"3 Gbps"},
      {7250000000000LL, u"7.3 Tbps"},      // tenths rounded
      {5000000000000000LL, u"5,000 Tbps"},  // no unit beyond Tbps
  };
  for (const Case& c : cases) {
    WCHAR buffer[32];
    int n = WuFio_FormatScaledValueText(c.bps, buffer, 32);
    EXPECT_EQ(std::u16string(buffer), c.text) << c.bps;
    EXPECT_EQ(n, static_cast<int>(std::char_traits<char16_t>::length(c.text))) << c.bps;
  }
}

TEST_F(WuFioBitRateTextTest, BoundedCopyAndLocale) {
  WCHAR buffer[5];
  EXPECT_EQ(WuFio_FormatScaledValueText(1500000, buffer, 5), 4);
  EXPECT_EQ(std::u16string(buffer), u"1,50");

  Pin(0x407);  // German grouping and decimals
  WCHAR text[32];
  WuFio_FormatScaledValueText(1500000, text, 32);
  EXPECT_EQ(std::u16string(text), u"1.500 Kbps");
  WuFio_FormatScaledValueText(2500000, text, 32);
  EXPECT_EQ(std::u16string(text), u"2,5 Mbps");
}

}  // namespace
