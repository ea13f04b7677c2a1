// Sample types from tags and bit counts, from platform records, and back.
#include <gtest/gtest.h>

#include "audio/WuSampleType.h"
#include "audio/WuWfx.h"

namespace {

struct TagBits {
  UINT tag;
  UINT bits;
  WUSAMPLETYPE expected;
};

TEST(WuSampleTypeTest, TypeOfEveryTagAndBitCount) {
  const TagBits cases[] = {
      {1, 8, WUSAMPLE_PCM8},          {1, 16, WUSAMPLE_PCM16},
      {1, 20, WUSAMPLE_PCM24},        {1, 24, WUSAMPLE_PCM24},
      {1, 32, WUSAMPLE_PCM32},        {3, 32, WUSAMPLE_FLOAT32},
      {3, 64, WUSAMPLE_FLOAT64},      {0xFE00, 24, WUSAMPLE_PCM24IN32},
      {0xFE00, 32, WUSAMPLE_PCM24IN32}, {0xFE01, 8, WUSAMPLE_PCM8S},
      {0xFE01, 16, WUSAMPLE_PCM16},   {0xFE01, 20, WUSAMPLE_PCM24},
      {0xFE01, 24, WUSAMPLE_PCM24},   {0xFE01, 32, WUSAMPLE_PCM32},
      {0xFE02, 8, WUSAMPLE_PCM8},     {0xFE02, 16, WUSAMPLE_PCM16BE},
      {0xFE02, 24, WUSAMPLE_PCM24BE}, {0xFE02, 32, WUSAMPLE_PCM32BE},
      {0xFE03, 16, WUSAMPLE_FE03_16}, {0xFE03, 24, WUSAMPLE_FE03_24},
  };
  for (const TagBits& c : cases)
    EXPECT_EQ(WuAudio_GetSampleType2(c.tag, c.bits), c.expected) << c.tag << "/" << c.bits;
  // Every other bit count of these tags, and other tags, have no type.
  const UINT tags[] = {1, 3, 0xFE00, 0xFE01, 0xFE02, 0xFE03};
  for (UINT tag : tags) {
    for (UINT bits = 0; bits <= 72; ++bits) {
      bool listed = false;
      for (const TagBits& c : cases) listed |= c.tag == tag && c.bits == bits;
      if (!listed) {
        EXPECT_EQ(WuAudio_GetSampleType2(tag, bits), WUSAMPLE_NONE) << tag << "/" << bits;
      }
    }
  }
  EXPECT_EQ(WuAudio_GetSampleType2(2, 16), WUSAMPLE_NONE);
  EXPECT_EQ(WuAudio_GetSampleType2(0xFFFE, 16), WUSAMPLE_NONE);
  EXPECT_EQ(WuAudio_GetSampleType2(0xFE04, 16), WUSAMPLE_NONE);
}

TEST(WuSampleTypeTest, TagBitsAndBytesOfEachType) {
  struct Row {
    WUSAMPLETYPE type;
    UINT tag, bits, bytes;
  } rows[] = {
      {WUSAMPLE_NONE, 0, 0, 0},          {WUSAMPLE_PCM8, 1, 8, 1},
      {WUSAMPLE_PCM16, 1, 16, 2},        {WUSAMPLE_PCM24, 1, 24, 3},
      {WUSAMPLE_PCM32, 1, 32, 4},        {WUSAMPLE_FLOAT32, 3, 32, 4},
      {WUSAMPLE_FLOAT64, 3, 64, 8},      {WUSAMPLE_PCM24IN32, 0xFE00, 32, 4},
      {WUSAMPLE_PCM8S, 0xFE01, 8, 1},    {WUSAMPLE_PCM16BE, 0xFE02, 16, 2},
      {WUSAMPLE_PCM24BE, 0xFE02, 24, 3}, {WUSAMPLE_PCM32BE, 0xFE02, 32, 4},
      {WUSAMPLE_FE03_16, 0, 0, 0},       {WUSAMPLE_FE03_24, 0, 0, 0},
      {static_cast<WUSAMPLETYPE>(20), 0, 0, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(WuAudio_FormatTagFromSampleType(r.type), r.tag) << r.type;
    EXPECT_EQ(WuAudio_BitsFromSampleType(r.type), r.bits) << r.type;
    EXPECT_EQ(WuAudio_BytesFromSampleType(r.type), r.bytes) << r.type;
  }
}

TEST(WuSampleTypeTest, NormalizeFactorTakesBitCounts) {
  EXPECT_EQ(WuAudio_GetNormalizeFactor(8), 128.0);
  EXPECT_EQ(WuAudio_GetNormalizeFactor(16), 32768.0);
  EXPECT_EQ(WuAudio_GetNormalizeFactor(24), 8388608.0);
  EXPECT_EQ(WuAudio_GetNormalizeFactor(32), 2147483648.0);
  EXPECT_EQ(WuAudio_GetNormalizeFactor(17), 1.0);  // a sample type, not bits
  EXPECT_EQ(WuAudio_GetNormalizeFactor(0), 1.0);
  EXPECT_EQ(WuAudio_GetNormalizeFactor(64), 1.0);
}

WAVEFORMATEXTENSIBLE Extensible(const GUID& sub, WORD bits, WORD valid, WORD cb_size = 22) {
  WAVEFORMATEXTENSIBLE ext = {};
  ext.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  ext.Format.nChannels = 2;
  ext.Format.nSamplesPerSec = 48000;
  ext.Format.wBitsPerSample = bits;
  ext.Format.nBlockAlign = static_cast<WORD>(2 * bits / 8);
  ext.Format.nAvgBytesPerSec = 48000u * ext.Format.nBlockAlign;
  ext.Format.cbSize = cb_size;
  ext.Samples.wValidBitsPerSample = valid;
  ext.dwChannelMask = 3;
  ext.SubFormat = sub;
  return ext;
}

TEST(WuSampleTypeTest, ExtensibleRecordsByTheirSubFormat) {
  const GUID high = {0x00010001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  const GUID other = {0x00000001, 0x0000, 0x0011, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  struct Row {
    GUID sub;
    WORD bits, valid;
    WUSAMPLETYPE type;
    WORD tag;
  } rows[] = {
      {KSDATAFORMAT_SUBTYPE_PCM, 32, 24, WUSAMPLE_PCM24IN32, 1},
      {KSDATAFORMAT_SUBTYPE_PCM, 32, 32, WUSAMPLE_PCM32, 1},
      {KSDATAFORMAT_SUBTYPE_PCM, 24, 24, WUSAMPLE_PCM24, 1},
      {KSDATAFORMAT_SUBTYPE_PCM, 24, 20, WUSAMPLE_PCM24, 1},
      {KSDATAFORMAT_SUBTYPE_PCM, 16, 16, WUSAMPLE_PCM16, 1},
      {KSDATAFORMAT_SUBTYPE_IEEE_FLOAT, 32, 32, WUSAMPLE_FLOAT32, 3},
      {KSDATAFORMAT_SUBTYPE_IEEE_FLOAT, 64, 64, WUSAMPLE_FLOAT64, 3},
      {WuAudio_BaseGuid(0xFE02), 16, 16, WUSAMPLE_PCM16BE, 0xFE02},
      {WuAudio_BaseGuid(0xFE00), 32, 32, WUSAMPLE_PCM24IN32, 0xFE00},
      {WuAudio_BaseGuid(0x55), 16, 16, WUSAMPLE_NONE, 0x55},
      {high, 16, 16, WUSAMPLE_NONE, 0},
      {other, 16, 16, WUSAMPLE_NONE, 0},
      {GUID_NULL, 16, 16, WUSAMPLE_NONE, 0},
  };
  for (const Row& r : rows) {
    WAVEFORMATEXTENSIBLE ext = Extensible(r.sub, r.bits, r.valid);
    EXPECT_EQ(WuAudio_GetSampleType(&ext.Format), r.type) << r.sub.Data1 << "/" << r.bits;
    EXPECT_EQ(WuAudio_GetWaveFormatTag(&ext.Format), r.tag) << r.sub.Data1;
  }
}

TEST(WuSampleTypeTest, ShortExtensibleRecordIsNotReadPastItsHeader) {
  // An 18-byte heap block: AddressSanitizer reports any read beyond it.
  auto* wfx = static_cast<WAVEFORMATEX*>(::operator new(sizeof(WAVEFORMATEX)));
  *wfx = {WAVE_FORMAT_EXTENSIBLE, 2, 44100, 176400, 4, 16, 0};
  EXPECT_EQ(WuAudio_GetSampleType(wfx), WUSAMPLE_NONE);
  EXPECT_EQ(WuAudio_GetWaveFormatTag(wfx), WAVE_FORMAT_EXTENSIBLE);
  EXPECT_TRUE(WuAudio_IsCompressed(wfx));
  DWORD tag = 77;
  EXPECT_FALSE(WuAudio_GetFormatTagExtensible(reinterpret_cast<WAVEFORMATEXTENSIBLE*>(wfx), &tag));
  EXPECT_EQ(tag, 77u);
  ::operator delete(wfx);
}

}  // namespace
