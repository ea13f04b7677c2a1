#include "fileio/WuFioAudioText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/WuLang.h"
#include "platform/kernel/locale.h"

namespace {

class WuFioAudioTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::SetUserLocale(0x409, 0x409));
    WuLang_GetInternationals(nullptr, 0);
  }
  void TearDown() override {
    platform::SetUserLocale(0, 0);
    WuLang_GetInternationals(nullptr, 0);
  }
  static _wuwaveformat Typed(DWORD rate, WUSAMPLETYPE type, UINT channels, DWORD mask = 0) {
    _wuwaveformat f{};
    f.Init(rate, type, channels, mask, 32);
    return f;
  }
  // MP3 at 128 Kbps.
  static _wuwaveformat Mp3(WORD bits = 0) {
    _wuwaveformat f{};
    f.InitAsWfx(0x55, 44100, bits, 2, 0, 32);
    f.nBlockAlign = 1;
    f.nAvgBytesPerSec = 16000;
    return f;
  }
};

TEST_F(WuFioAudioTextTest, ChannelsSampleTypesAndBitDepths) {
  struct Ch {
    UINT channels;
    DWORD mask;
    const char16_t* text;
  } channels[] = {{6, 0, u"6 Channel"}, {6, 0x3F, u"5.1"}, {6, 0x60F, u"5.1"},
                  {8, 0x63F, u"7.1"},   {8, 0xFF, u"7.1"}, {2, 0x3F, u"Stereo"},
                  {1, 0x3F, u"Mono"},   {4, 0x33, u"4 Channel"}};
  for (const Ch& c : channels) {
    WCHAR out[32];
    EXPECT_EQ(std::u16string(WuAudio_GetChannelsText(c.channels, c.mask, out, 32)), c.text);
  }
  struct Ty {
    int type;
    const char16_t* sampleText;
    const char16_t* depth;
    const char16_t* precise;
  } types[] = {
      {0, u"", u"", u""},
      {16, u"8 Bit", u"8 Bit", u"8 Bit"},
      {19, u"32 Bit", u"32 Bit", u"32 Bit"},
      {32, u"32 Bit (IEEE Float)", u"32 Bit", u"24 Bit"},
      {33, u"64 Bit (IEEE Float)", u"64 Bit", u"53 Bit"},
      {48, u"24 Bit (Unpacked)", u"24 Bit", u"24 Bit"},
      {49, u"8 Bit (Signed)", u"8 Bit", u"8 Bit"},
      {65, u"24 Bit (MAC)", u"24 Bit", u"24 Bit"},
      {128, u"16 Bit (RA)", u"32 Bit", u"16 Bit"},
      {129, u"24 Bit (RA)", u"32 Bit", u"24 Bit"},
      {20, u"", u"", u""},
  };
  for (const Ty& t : types) {
    WCHAR out[32] = u"junk";
    const auto type = static_cast<WUSAMPLETYPE>(t.type);
    EXPECT_EQ(std::u16string(WuAudio_GetSampleTypeText(type, out, 32)), t.sampleText) << t.type;
    EXPECT_EQ(std::u16string(WuAudio_GetBitDepthText(type, out, 32, FALSE)), t.depth) << t.type;
    EXPECT_EQ(std::u16string(WuAudio_GetBitDepthText(type, out, 32, TRUE)), t.precise) << t.type;
  }
  EXPECT_EQ(std::u16string(WuVideo_GetInterlaceTypeName(0, FALSE)), u"Progressive");
  EXPECT_EQ(std::u16string(WuVideo_GetInterlaceTypeName(4, FALSE)), u"One field (doubled)");
  EXPECT_EQ(std::u16string(WuVideo_GetInterlaceTypeName(7, TRUE)), u"Undefined");
  EXPECT_EQ(WuVideo_GetInterlaceTypeName(7, FALSE), nullptr);
  EXPECT_EQ(WuVideo_GetInterlaceTypeName(-1, FALSE), nullptr);
}

TEST_F(WuFioAudioTextTest, FormatTextFlags) {
  const _wuwaveformat pcm = Typed(44100, WUSAMPLE_PCM16, 2);
  struct Case {
    _wuwaveformat format;
    DWORD flags;
    const char16_t* text;
  } cases[] = {
      {pcm, 0, u"44,100 Hz, 16 Bit, Stereo, PCM"},
      {pcm, 0x2, u"44,100 Hz, 16 Bit, Stereo"},
      {pcm, 0x4, u"44,100 Hz, 16 Bit, Stereo"},
      {Typed(48000, WUSAMPLE_FLOAT32, 2), 0x2, u"48,000 Hz, 24 Bit, Stereo"},
      {Typed(48000, WUSAMPLE_FLOAT32, 2), 0, u"48,000 Hz, 32 Bit (IEEE Float), Stereo, Float"},
      {Typed(48000, WUSAMPLE_PCM24, 6), 0x4, u"48,000 Hz, 24 Bit, 5.1"},  // mask 0: all channels
      {Mp3(), 0, u"44,100 Hz, Stereo, MP3"},
      {Mp3(), 0x8, u"44,100 Hz, Stereo, MPEG Layer 3"},
      {Mp3(), 0x20, u"128 Kbps, 44,100 Hz, Stereo, MP3"},
      {Mp3(), 0x1, u"44,100 Hz, 16 Bit, Stereo, PCM"},
      {Mp3(24), 0x1, u"44,100 Hz, 24 Bit, Stereo, PCM"},
      {Mp3(), 0x10, u"Unknown"},
  };
  for (const Case& c : cases) {
    WCHAR out[128];
    EXPECT_EQ(WuAudio_GetFormatText(c.format, out, 128, c.flags), 0);
    EXPECT_EQ(std::u16string(out), c.text) << c.flags;
  }
  _wuwaveformat unknown = Mp3(4);
  unknown.wFormatTag = 0x1234;
  WCHAR out[128];
  WuAudio_GetFormatText(unknown, out, 128, 0);
  EXPECT_EQ(std::u16string(out), u"44,100 Hz, 4 Bit, Stereo");  // an unknown tag adds nothing
  // A small buffer is cut cleanly and never overrun.
  WCHAR small[12];
  small[11] = u'#';
  WuAudio_GetFormatText(pcm, small, 11, 0);
  EXPECT_EQ(std::u16string(small), u"44,100 Hz,");
  EXPECT_EQ(small[11], u'#');
}

TEST_F(WuFioAudioTextTest, TagAndAttributeTexts) {
  struct Tag {
    DWORD tag;
    HRESULT hr;
    const char16_t* text;
  } tags[] = {{1, S_OK, u"PCM"},           {3, S_OK, u"PCM (float)"},
              {0xFE00, S_OK, u"PCM (unpacked)"}, {0xFE02, S_OK, u"PCM (big endian)"},
              {0xFE03, E_FAIL, u"Unknown"}, {0x55, E_FAIL, u"Unknown"}};
  for (const Tag& t : tags) {
    WCHAR out[32];
    EXPECT_EQ(WuAudio_GetTagText(t.tag, out, 32), t.hr) << t.tag;
    EXPECT_EQ(std::u16string(out), t.text) << t.tag;
  }
  WCHAR out[64];
  EXPECT_EQ(WuAudio_GetAttribsText(Typed(44100, WUSAMPLE_PCM16, 2), out, 64), S_OK);
  EXPECT_EQ(std::u16string(out), u"44,100 Hz, 16 Bit, Stereo");
  EXPECT_EQ(WuAudio_GetAttribsText(Typed(48000, WUSAMPLE_FLOAT32, 2), out, 64), S_OK);
  EXPECT_EQ(std::u16string(out), u"48,000 Hz, 32 Bit (IEEE Float), Stereo");
  EXPECT_EQ(WuAudio_GetAttribsText(Mp3(), out, 64), E_FAIL);
  EXPECT_EQ(std::u16string(out), u"Unknown");
  // 5.1 only from an extensible record carrying the mask.
  EXPECT_EQ(WuAudio_GetAttribsText(Typed(48000, WUSAMPLE_PCM24, 6, 0x60F), out, 64), S_OK);
  EXPECT_EQ(std::u16string(out), u"48,000 Hz, 24 Bit, 5.1");
  WAVEFORMATEX plain6{1, 6, 48000, 576000, 12, 16, 0};
  EXPECT_EQ(WuAudio_GetAttribsText(&plain6, out, 64), S_OK);
  EXPECT_EQ(std::u16string(out), u"48,000 Hz, 16 Bit, 6 Channel");
}

TEST_F(WuFioAudioTextTest, WaveRecordCopies) {
  // Plain record with n extra bytes: 18 + n below 23, the full 40 from 23.
  for (WORD extra : {0, 4, 22, 23, 30}) {
    BYTE src[64];
    for (int i = 0; i < 64; ++i) src[i] = static_cast<BYTE>(i + 1);
    reinterpret_cast<WAVEFORMATEX*>(src)->cbSize = extra;
    BYTE dst[64];
    std::memset(dst, 0xEE, sizeof(dst));
    WuAudio_CopyWfxToWfExt(reinterpret_cast<WAVEFORMATEX*>(src),
                           reinterpret_cast<WAVEFORMATEXTENSIBLE*>(dst));
    const size_t copied = extra < 23 ? 18u + extra : 40u;
    EXPECT_EQ(std::memcmp(dst, src, copied), 0) << extra;
    EXPECT_EQ(dst[copied], 0xEE) << extra;
  }
  WAVEFORMATEXTENSIBLE ext{};
  ext.Format = {WAVE_FORMAT_EXTENSIBLE, 2, 48000, 384000, 8, 32, 22};
  ext.SubFormat = KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;
  WAVEFORMATEX out{};
  out.cbSize = 99;
  WuAudio_CopyWfExtToWfx(&ext, &out);
  EXPECT_EQ(out.wFormatTag, 3);
  EXPECT_EQ(out.nSamplesPerSec, 48000u);
  EXPECT_EQ(out.wBitsPerSample, 32);
  EXPECT_EQ(out.cbSize, 0);
  ext.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  WuAudio_CopyWfExtToWfx(&ext, &out);
  EXPECT_EQ(out.wFormatTag, 1);
  WAVEFORMATEX before = out;
  ext.SubFormat = GUID_NULL;  // another sub-format: untouched
  WuAudio_CopyWfExtToWfx(&ext, &out);
  EXPECT_EQ(std::memcmp(&before, &out, sizeof(out)), 0);
  ext.Format = {0x55, 2, 44100, 16000, 1, 0, 12};  // another tag: the header as it stands
  WuAudio_CopyWfExtToWfx(&ext, &out);
  EXPECT_EQ(std::memcmp(&ext.Format, &out, sizeof(out)), 0);
}

}  // namespace
