// Filling, testing and repairing platform wave-format records.
#include <gtest/gtest.h>

#include <cstring>

#include "audio/WuWfx.h"

namespace {

// A 40-byte destination filled with a marker, so that what a helper writes
// and what it leaves alone can both be seen.
struct Dest {
  WAVEFORMATEXTENSIBLE ext;
  Dest() { std::memset(&ext, 0xAB, sizeof(ext)); }
  WAVEFORMATEX* wfx() { return &ext.Format; }
};

TEST(WuWfxTest, InitWfxWritesPlainHeaderOfType) {
  Dest d;
  WuAudio_InitWfx(d.wfx(), 44100, WUSAMPLE_PCM24, 2);
  EXPECT_EQ(d.ext.Format.wFormatTag, 1);
  EXPECT_EQ(d.ext.Format.nChannels, 2);
  EXPECT_EQ(d.ext.Format.wBitsPerSample, 24);
  EXPECT_EQ(d.ext.Format.nBlockAlign, 6);
  EXPECT_EQ(d.ext.Format.nAvgBytesPerSec, 264600u);
  EXPECT_EQ(d.ext.Format.cbSize, 0);
  EXPECT_EQ(d.ext.Samples.wValidBitsPerSample, 0xABAB);  // nothing past 18 bytes
  WuAudio_InitWfx(d.wfx(), 44100, WUSAMPLE_FE03_16, 2);
  EXPECT_EQ(d.ext.Format.wFormatTag, 0);
  EXPECT_EQ(d.ext.Format.nBlockAlign, 0);
}

TEST(WuWfxTest, InitWfxFlexChoosesPlainOrExtensible) {
  struct Row {
    DWORD channels, mask;
    UINT room;
    bool extensible;
    DWORD written_mask;
  } rows[] = {
      {2, 3, 40, false, 0},     // the default mask of stereo
      {2, 7, 40, true, 3},      // three bits for two channels: default mask
      {6, 0, 40, false, 0},     // no mask: always plain
      {6, 0x3F, 18, false, 0},  // no room
      {6, 0x3F, 40, true, 0x3F},
      {2, 0x30, 40, true, 0x30},
      {1, 4, 40, true, 4},
  };
  for (const Row& r : rows) {
    Dest d;
    WuAudio_InitWfxFlex(d.wfx(), 1, 48000, 16, r.channels, r.mask, r.room);
    EXPECT_EQ(d.ext.Format.nChannels, r.channels);
    EXPECT_EQ(d.ext.Format.nBlockAlign, 2 * r.channels);
    EXPECT_EQ(d.ext.Format.nAvgBytesPerSec, 96000 * r.channels);
    EXPECT_EQ(d.ext.Format.wBitsPerSample, 16);
    if (r.extensible) {
      EXPECT_EQ(d.ext.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE) << r.channels << "/" << r.mask;
      EXPECT_EQ(d.ext.Format.cbSize, 22);
      EXPECT_EQ(d.ext.dwChannelMask, r.written_mask);
      EXPECT_EQ(d.ext.Samples.wValidBitsPerSample, 16);
      EXPECT_TRUE(d.ext.SubFormat == KSDATAFORMAT_SUBTYPE_PCM);
    } else {
      EXPECT_EQ(d.ext.Format.wFormatTag, 1) << r.channels << "/" << r.mask;
      EXPECT_EQ(d.ext.Format.cbSize, 0);
      EXPECT_EQ(d.ext.dwChannelMask, 0xABABABABu);
    }
  }
}

TEST(WuWfxTest, DefaultChannelMask) {
  EXPECT_EQ(WuAudio_DefaultChannelMask(0), 0u);
  EXPECT_EQ(WuAudio_DefaultChannelMask(2), 3u);
  EXPECT_EQ(WuAudio_DefaultChannelMask(31), 0x7FFFFFFFu);
  EXPECT_EQ(WuAudio_DefaultChannelMask(32), 0xFFFFFFFFu);
  EXPECT_EQ(WuAudio_DefaultChannelMask(65535), 0xFFFFFFFFu);
}

TEST(WuWfxTest, FixBadWfxRepairsPcmOnly) {
  WAVEFORMATEX w20 = {1, 2, 44100, 1234, 5, 20, 0};
  EXPECT_TRUE(WuAudio_FixBadWfx(&w20));
  EXPECT_EQ(w20.wBitsPerSample, 24);
  EXPECT_EQ(w20.nBlockAlign, 6);
  EXPECT_EQ(w20.nAvgBytesPerSec, 1234u);  // left as it was
  WAVEFORMATEX good = {1, 2, 44100, 176400, 4, 16, 0};
  EXPECT_FALSE(WuAudio_FixBadWfx(&good));
  WAVEFORMATEX block = {1, 2, 44100, 176400, 6, 16, 0};
  EXPECT_TRUE(WuAudio_FixBadWfx(&block));
  EXPECT_EQ(block.nBlockAlign, 4);
  WAVEFORMATEX flt = {3, 2, 44100, 0, 5, 20, 0};
  EXPECT_FALSE(WuAudio_FixBadWfx(&flt));
  EXPECT_EQ(flt.wBitsPerSample, 20);
  EXPECT_EQ(flt.nBlockAlign, 5);
}

TEST(WuWfxTest, IsCompressedByTagAndBlockAlign) {
  struct Row {
    WORD tag, block, bits;
    BOOL compressed;
  } rows[] = {
      {1, 4, 16, FALSE},      {1, 6, 16, TRUE},       {3, 8, 32, FALSE},
      {0xFE00, 8, 32, FALSE}, {0xFE01, 2, 8, FALSE},  {0xFE02, 6, 24, FALSE},
      {0xFE02, 5, 24, TRUE},  {0xFE03, 4, 16, TRUE},  {2, 4, 16, TRUE},
  };
  for (const Row& r : rows) {
    WAVEFORMATEX w = {r.tag, 2, 44100, 0, r.block, r.bits, 0};
    EXPECT_EQ(WuAudio_IsCompressed(&w), r.compressed) << r.tag << "/" << r.block;
  }
  WAVEFORMATEXTENSIBLE ext = {};
  ext.Format = {WAVE_FORMAT_EXTENSIBLE, 2, 44100, 0, 99, 16, 22};
  ext.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  EXPECT_FALSE(WuAudio_IsCompressed(&ext.Format));  // block align not looked at
  ext.SubFormat = KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;
  EXPECT_FALSE(WuAudio_IsCompressedExtensible(&ext));
  ext.SubFormat = WuAudio_BaseGuid(0xFE00);
  EXPECT_TRUE(WuAudio_IsCompressedExtensible(&ext));
  ext.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  ext.Format.cbSize = 21;
  EXPECT_TRUE(WuAudio_IsCompressedExtensible(&ext));
}

TEST(WuWfxTest, FormatTagOfExtensibleRecords) {
  WAVEFORMATEXTENSIBLE ext = {};
  ext.Format = {WAVE_FORMAT_EXTENSIBLE, 2, 44100, 0, 4, 16, 22};
  struct Row {
    GUID sub;
    WORD cb_size;
    BOOL ok;
    DWORD tag;
  } rows[] = {
      {KSDATAFORMAT_SUBTYPE_PCM, 22, TRUE, 1},
      {KSDATAFORMAT_SUBTYPE_IEEE_FLOAT, 30, TRUE, 3},
      {WuAudio_BaseGuid(0xFE02), 22, FALSE, 99},
      {KSDATAFORMAT_SUBTYPE_PCM, 21, FALSE, 99},
  };
  for (const Row& r : rows) {
    ext.SubFormat = r.sub;
    ext.Format.cbSize = r.cb_size;
    DWORD tag = 99;
    EXPECT_EQ(WuAudio_GetFormatTagExtensible(&ext, &tag), r.ok);
    EXPECT_EQ(tag, r.tag);
  }
  ext.Format.wFormatTag = 1;
  ext.Format.cbSize = 22;
  ext.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  DWORD tag = 99;
  EXPECT_FALSE(WuAudio_GetFormatTagExtensible(&ext, &tag));
  EXPECT_EQ(WuAudio_GetWaveFormatTag(nullptr), 0);
  EXPECT_EQ(WuAudio_GetWaveFormatTag(&ext.Format), 1);
}

TEST(WuWfxTest, IsEqualFormatComparesFourFields) {
  WAVEFORMATEX a = {1, 2, 44100, 176400, 4, 16, 0};
  WAVEFORMATEX b = {1, 2, 44100, 1, 9, 16, 7};
  EXPECT_TRUE(WuAudio_IsEqualFormat(&a, &b));
  b.nSamplesPerSec = 48000;
  EXPECT_FALSE(WuAudio_IsEqualFormat(&a, &b));
  b = a;
  b.wBitsPerSample = 24;
  EXPECT_FALSE(WuAudio_IsEqualFormat(&a, &b));
  b = a;
  b.nChannels = 1;
  EXPECT_FALSE(WuAudio_IsEqualFormat(&a, &b));
  b = a;
  b.wFormatTag = 3;
  EXPECT_FALSE(WuAudio_IsEqualFormat(&a, &b));
}

}  // namespace
