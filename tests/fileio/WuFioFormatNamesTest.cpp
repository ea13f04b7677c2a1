#include "fileio/WuFioFormatNames.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/WuLang.h"
#include "platform/kernel/locale.h"

namespace {

constexpr DWORD Fcc(const char (&s)[5]) {
  return static_cast<DWORD>(static_cast<unsigned char>(s[0])) |
         static_cast<DWORD>(static_cast<unsigned char>(s[1])) << 8 |
         static_cast<DWORD>(static_cast<unsigned char>(s[2])) << 16 |
         static_cast<DWORD>(static_cast<unsigned char>(s[3])) << 24;
}

class WuFioFormatNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::SetUserLocale(0x409, 0x409));
    WuLang_GetInternationals(nullptr, 0);
  }
  void TearDown() override {
    platform::SetUserLocale(0, 0);
    WuLang_GetInternationals(nullptr, 0);
  }
};

template <typename Table>
void ExpectSortedAndFound(const Table& table, size_t count, const char* what) {
  ASSERT_EQ(table.count, count) << what;
  for (size_t i = 1; i < table.count; ++i)
    EXPECT_LT(table.rows[i - 1].key, table.rows[i].key) << what << " row " << i;
}

TEST_F(WuFioFormatNamesTest, TablesAreSortedAndEveryKeyIsFound) {
  ExpectSortedAndFound(WuFio_AudioLongNames, 19, "audio long");
  ExpectSortedAndFound(WuFio_AudioShortNames, 48, "audio short");
  ExpectSortedAndFound(WuFio_AudioCanonicalTags, 16, "audio canonical");
  ExpectSortedAndFound(WuFio_VideoAliases, 21, "video aliases");
  ExpectSortedAndFound(WuFio_VideoLongNames, 12, "video long");
  ExpectSortedAndFound(WuFio_VideoShortNames, 62, "video short");
  for (const WuFioNameTable* t : {&WuFio_AudioLongNames, &WuFio_AudioShortNames,
                                  &WuFio_VideoLongNames, &WuFio_VideoShortNames})
    for (size_t i = 0; i < t->count; ++i)
      EXPECT_EQ(WuFio_FindName(*t, t->rows[i].key), t->rows[i].text) << t->rows[i].key;
  for (const WuFioAliasTable* t : {&WuFio_AudioCanonicalTags, &WuFio_VideoAliases})
    for (size_t i = 0; i < t->count; ++i) {
      DWORD v = 0xDEAD;
      EXPECT_TRUE(WuFio_FindAlias(*t, t->rows[i].key, &v));
      EXPECT_EQ(v, t->rows[i].value);
    }
  // Keys above 0x7FFFFFFF sort as unsigned ('wdvp' > 'YUYV').
  EXPECT_EQ(std::u16string(WuFio_FindName(WuFio_VideoShortNames, Fcc("wdvp"))), u"PAL DV Wide");
  EXPECT_EQ(WuFio_FindName(WuFio_VideoShortNames, Fcc("zzzz")), nullptr);
  EXPECT_EQ(WuFio_FindName(WuFio_AudioShortNames, 0), nullptr);
  EXPECT_EQ(WuFio_FindName(WuFio_AudioShortNames, 0xFFFFFFFF), nullptr);
}

TEST_F(WuFioFormatNamesTest, FourCharacterCodeTexts) {
  struct Case {
    DWORD code;
    int size;
    const char16_t* text;
  } cases[] = {
      {0x31320000, 8, u"21"},        // zero low bytes dropped
      {0, 8, u""},                   // ends: nothing to shift out
      {Fcc("YUY2"), 8, u"YUY2"},
      {Fcc("YUY2"), 3, u"YU"},       // size - 1 characters
      {0x02014142, 8, u"BA??"},      // control characters
      {Fcc("imx_"), 5, u"imx_"},
  };
  for (const Case& c : cases) {
    WCHAR w[8];
    WCHAR a[8];
    EXPECT_EQ(std::u16string(WuVideo_FOURCCtoPrintStringW(c.code, w, c.size)), c.text) << c.code;
    EXPECT_EQ(std::u16string(WuVideo_FOURCCtoPrintString(c.code, a, c.size)), c.text) << c.code;
  }
  WCHAR untouched[2] = {u'x', u'y'};
  WuVideo_FOURCCtoPrintStringW(Fcc("YUY2"), untouched, 0);
  EXPECT_EQ(untouched[0], u'x');
}

TEST_F(WuFioFormatNamesTest, BitmapCompressionDebugText) {
  struct Case {
    DWORD code;
    int size;
    BOOL decorate;
    const char16_t* text;
  } cases[] = {
      {0, 32, TRUE, u"BI_RGB"},       {1, 32, TRUE, u"BI_RLE8"},
      {2, 32, TRUE, u"BI_RLE4"},      {3, 32, TRUE, u"BI_BITFIELDS"},
      {4, 32, TRUE, u"BI_JPEG"},      {5, 32, TRUE, u"BI_PNG"},
      {6, 32, TRUE, u""},             {Fcc("YUY2"), 13, TRUE, u"FCC('YUY2')"},
      {Fcc("YUY2"), 12, TRUE, u"YUY2"}, {Fcc("YUY2"), 32, FALSE, u"YUY2"},
  };
  for (const Case& c : cases) {
    WCHAR out[32];
    EXPECT_EQ(std::u16string(WuVideo_DebugPrintBiCompression(c.code, out, c.size, c.decorate)),
              c.text)
        << c.code << " " << c.size;
  }
}

TEST_F(WuFioFormatNamesTest, CanonicalForms) {
  EXPECT_EQ(WuVideo_ConvertToCanonicalCompressionFormat(Fcc("YV12")), Fcc("I420"));
  EXPECT_EQ(WuVideo_ConvertToCanonicalCompressionFormat(Fcc("Y8  ")), Fcc("GREY"));
  EXPECT_EQ(WuVideo_ConvertToCanonicalCompressionFormat(Fcc("None")), 0u);
  EXPECT_EQ(WuVideo_ConvertToCanonicalCompressionFormat(Fcc("abcd")), Fcc("abcd"));
  EXPECT_EQ(WuAudio_ConvertToCanonicalWaveFormatTag(0x0014), 0x0002u);
  EXPECT_EQ(WuAudio_ConvertToCanonicalWaveFormatTag(0x706D), 0xA106u);
  EXPECT_EQ(WuAudio_ConvertToCanonicalWaveFormatTag(0x1234), 0x1234u);
}

TEST_F(WuFioFormatNamesTest, CompressionNames) {
  struct Case {
    bool audio;
    DWORD key;
    BOOL shortName;
    int result;
    const char16_t* text;
  } cases[] = {
      {true, 0x1234, FALSE, 1, u"'0x1234' Compression"},
      {true, 0x1234, TRUE, 1, u"0x1234"},
      {true, 0x12, TRUE, 1, u"0x0012"},
      {true, 0x12345, TRUE, 1, u"0x12345"},
      {true, 0x0270, FALSE, 0, u"Audio Codec 0x0270"},
      {true, 0x1971, TRUE, 0, u"Audio Codec 0x1971"},
      {true, 0x0055, FALSE, 0, u"MPEG Layer 3"},
      {true, 0x0055, TRUE, 0, u"MP3"},
      {true, 0x0017, TRUE, 0, u"ADPCM"},            // through the canonical tag
      {true, 0x674F, TRUE, 0, u"Ogg"},
      {false, Fcc("YUY2"), TRUE, 0, u"YUV"},        // through the alias
      {false, Fcc("mp43"), TRUE, 0, u"MPEG 4"},
      {false, Fcc("abcd"), FALSE, 0, u"'abcd' Compression"},
      {false, Fcc("abcd"), TRUE, 0, u"abcd"},
      {false, 0, FALSE, 0, u"RGB (Uncompressed)"},
      {false, 0, TRUE, 0, u"RGB"},
      {false, Fcc("WMV3"), FALSE, 0, u"Windows Media Video 9"},
  };
  for (const Case& c : cases) {
    WCHAR out[64];
    const int r = c.audio ? WuAudio_GetCompressionTypeName(c.key, out, 64, c.shortName)
                          : WuVideo_GetCompressionTypeName(c.key, out, 64, c.shortName);
    EXPECT_EQ(r, c.result) << c.key;
    EXPECT_EQ(std::u16string(out), c.text) << c.key;
  }
  WCHAR small[6];
  WuAudio_GetCompressionTypeName(0x1234, small, 6, FALSE);
  EXPECT_EQ(std::u16string(small), u"'0x12");
}

}  // namespace
