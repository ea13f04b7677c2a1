#include "platform/com/msacm.h"

#include <gtest/gtest.h>

namespace {

// With no codecs every well-formed query fails as for an unknown tag and
// leaves the names untouched; malformed ones fail on their argument first.
TEST(MsAcmTest, QueriesFailWithoutCodecs) {
  ACMFORMATTAGDETAILSW tag{};
  tag.cbStruct = sizeof(tag);
  tag.dwFormatTag = 0x55;
  tag.szFormatTag[0] = u'x';
  EXPECT_EQ(acmFormatTagDetailsW(nullptr, &tag, ACM_FORMATTAGDETAILSF_FORMATTAG),
            ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(tag.szFormatTag[0], u'x');
  EXPECT_EQ(acmFormatTagDetailsW(nullptr, nullptr, ACM_FORMATTAGDETAILSF_FORMATTAG),
            MMSYSERR_INVALPARAM);
  tag.cbStruct = 8;
  EXPECT_EQ(acmFormatTagDetailsW(nullptr, &tag, 1), MMSYSERR_INVALPARAM);
  tag.cbStruct = sizeof(tag);
  EXPECT_EQ(acmFormatTagDetailsW(nullptr, &tag, 7), MMSYSERR_INVALFLAG);

  WAVEFORMATEX wfx{0x55, 2, 44100, 16000, 1, 0, 0};
  ACMFORMATDETAILSW fmt{};
  fmt.cbStruct = sizeof(fmt);
  fmt.pwfx = &wfx;
  fmt.cbwfx = 18;
  fmt.szFormat[0] = u'y';
  EXPECT_EQ(acmFormatDetailsW(nullptr, &fmt, ACM_FORMATDETAILSF_FORMAT), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(fmt.szFormat[0], u'y');
  fmt.pwfx = nullptr;
  EXPECT_EQ(acmFormatDetailsW(nullptr, &fmt, ACM_FORMATDETAILSF_FORMAT), MMSYSERR_INVALPARAM);
  fmt.pwfx = &wfx;
  fmt.cbwfx = 15;
  EXPECT_EQ(acmFormatDetailsW(nullptr, &fmt, ACM_FORMATDETAILSF_FORMAT), MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmFormatDetailsW(nullptr, nullptr, 0), MMSYSERR_INVALPARAM);
}

}  // namespace
