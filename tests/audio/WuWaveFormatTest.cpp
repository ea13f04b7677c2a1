// The audio format record: made from platform records, compared, and
// written back under every copy mode.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/WuWaveFormat.h"
#include "audio/WuWfx.h"
#include "platform/memory.h"

namespace {

// A codec's platform record with `n` extra bytes 1, 2, 3, ...
struct CodecWfx {
  alignas(4) BYTE bytes[18 + 64] = {};
  CodecWfx(WORD tag, WORD n, WORD channels = 2) {
    WAVEFORMATEX h = {tag, channels, 44100, 16000, 1024, 4, n};
    std::memcpy(bytes, &h, sizeof(h));
    for (WORD i = 0; i < n; ++i) bytes[18 + i] = static_cast<BYTE>(i + 1);
  }
  const WAVEFORMATEX& wfx() const { return *reinterpret_cast<const WAVEFORMATEX*>(bytes); }
};

WAVEFORMATEXTENSIBLE Extensible(const GUID& sub, WORD bits, WORD valid, DWORD mask,
                                WORD channels = 2) {
  WAVEFORMATEXTENSIBLE ext = {};
  WuAudio_InitWfExt(&ext, sub, 48000, bits, channels, valid, mask);
  return ext;
}

// A destination filled with a marker.
struct Out {
  alignas(4) BYTE bytes[256];
  Out() { std::memset(bytes, 0xCD, sizeof(bytes)); }
  WAVEFORMATEX* wfx() { return reinterpret_cast<WAVEFORMATEX*>(bytes); }
  WAVEFORMATEXTENSIBLE* ext() { return reinterpret_cast<WAVEFORMATEXTENSIBLE*>(bytes); }
};

TEST(WuWaveFormatTest, InitFromPlainPcmFixesTwentyBits) {
  WAVEFORMATEX w = {1, 2, 44100, 220500, 5, 20, 0};
  _wuwaveformat f;
  f.Init(32, w);
  EXPECT_EQ(f.SampleType, WUSAMPLE_PCM24);
  EXPECT_EQ(f.nBlockAlign, 6);
  EXPECT_EQ(f.nAvgBytesPerSec, 220500u);  // as stored
  EXPECT_EQ(f.cbStruct, 32u);
  EXPECT_EQ(f.dwFlags, 0u);
  EXPECT_EQ(f.wFormatTag, 0);
  EXPECT_EQ(f.FormatTag(), 1);
  EXPECT_EQ(f.BitsPerSample(), 24);
  EXPECT_EQ(f.BytesPerSample(), 3);
}

TEST(WuWaveFormatTest, InitFromCodecKeepsExtraBytesWhenThereIsRoom) {
  CodecWfx codec(0x161, 10);
  _wuwaveformat small;
  small.Init(32, codec.wfx());
  EXPECT_TRUE(small.IsCompressed());
  EXPECT_EQ(small.wFormatTag, 0x161);
  EXPECT_EQ(small.wBitsPerSample, 4);
  EXPECT_EQ(small.nAvgBytesPerSec, 16000u);
  EXPECT_EQ(small.cbStruct, 32u);
  EXPECT_EQ(small.ExtraSize(), 0u);
  EXPECT_EQ(small.ExtraBytes(), nullptr);

  _wuwaveformat_plus plus(codec.wfx());
  EXPECT_EQ(plus.cbStruct, 42u);
  EXPECT_EQ(plus.cbExtra, 10);
  ASSERT_NE(plus.ExtraBytes(), nullptr);
  EXPECT_EQ(plus.ExtraBytes()[0], 1);
  EXPECT_EQ(plus.ExtraBytes()[9], 10);

  // Room for 4 extra bytes only.
  alignas(4) BYTE buffer[38];
  auto* cut = reinterpret_cast<_wuwaveformat*>(buffer);
  cut->Init(38, codec.wfx());
  EXPECT_EQ(cut->cbExtra, 4);
  EXPECT_EQ(cut->cbStruct, 36u);
}

TEST(WuWaveFormatTest, InitFromExtensibleRecords) {
  WAVEFORMATEXTENSIBLE e24 = Extensible(KSDATAFORMAT_SUBTYPE_PCM, 32, 24, 3);
  _wuwaveformat f;
  f.Init(32, e24.Format);
  EXPECT_EQ(f.SampleType, WUSAMPLE_PCM24IN32);
  EXPECT_EQ(f.dwFlags, WUWAVEFORMAT_FROMEXTENSIBLE);
  EXPECT_EQ(f.dwChannelMask, 3u);

  // A codec in extensible form: the sub-format's tag and the bytes after 40.
  alignas(4) BYTE bytes[40 + 6];
  WAVEFORMATEXTENSIBLE codec = Extensible(WuAudio_BaseGuid(0x161), 4, 4, 0x33);
  codec.Format.cbSize = 28;
  std::memcpy(bytes, &codec, 40);
  for (int i = 0; i < 6; ++i) bytes[40 + i] = static_cast<BYTE>(0x50 + i);
  _wuwaveformat_plus plus(*reinterpret_cast<WAVEFORMATEX*>(bytes));
  EXPECT_EQ(plus.dwFlags, WUWAVEFORMAT_COMPRESSED | WUWAVEFORMAT_FROMEXTENSIBLE);
  EXPECT_EQ(plus.wFormatTag, 0x161);
  EXPECT_EQ(plus.ExtraSize(), 6u);
  EXPECT_EQ(plus.ExtraBytes()[5], 0x55);
  EXPECT_EQ(plus.dwChannelMask, 0x33u);

  // A sub-format not of the base form: tag 0, compressed.
  WAVEFORMATEXTENSIBLE odd = Extensible(
      {0x00010001, 0, 0x10, {0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}}, 16, 16, 3);
  f.Init(32, odd.Format);
  EXPECT_TRUE(f.IsCompressed());
  EXPECT_EQ(f.wFormatTag, 0);
}

TEST(WuWaveFormatTest, NullSubFormatIsTypedByItsBitsWhenTheFieldsAgree) {
  struct Row {
    WORD bits, block;
    DWORD rate, avg;
    WORD cb_size;
    WUSAMPLETYPE type;
  } rows[] = {
      {8, 2, 8000, 16000, 22, WUSAMPLE_PCM8},     {16, 4, 8000, 32000, 22, WUSAMPLE_PCM16},
      {24, 6, 8000, 48000, 0, WUSAMPLE_PCM24},    {32, 8, 8000, 64000, 22, WUSAMPLE_FLOAT32},
      {64, 16, 8000, 128000, 22, WUSAMPLE_FLOAT64}, {16, 32, 8000, 256000, 22, WUSAMPLE_NONE},
      {16, 4, 8000, 32001, 22, WUSAMPLE_NONE},    {12, 2, 8000, 16000, 22, WUSAMPLE_NONE},
      {16, 4, 8000, 32000, 30, WUSAMPLE_NONE},
  };
  for (const Row& r : rows) {
    alignas(4) BYTE bytes[40 + 8] = {};
    WAVEFORMATEX h = {WAVE_FORMAT_EXTENSIBLE, 2, r.rate, r.avg, r.block, r.bits, r.cb_size};
    std::memcpy(bytes, &h, sizeof(h));
    _wuwaveformat f;
    f.Init(32, *reinterpret_cast<WAVEFORMATEX*>(bytes));
    EXPECT_EQ(f.SampleType, r.type) << r.bits << "/" << r.block << "/" << r.cb_size;
    EXPECT_EQ(f.IsCompressed(), r.type == WUSAMPLE_NONE);
  }
}

TEST(WuWaveFormatTest, ShortExtensibleRecordReadsOnlyItsEighteenBytes) {
  // Exactly 18 bytes on the heap: AddressSanitizer reports any read past.
  auto* wfx = static_cast<WAVEFORMATEX*>(::operator new(sizeof(WAVEFORMATEX)));
  *wfx = {WAVE_FORMAT_EXTENSIBLE, 2, 44100, 176400, 4, 16, 0};
  _wuwaveformat f;
  f.Init(32, *wfx);
  EXPECT_EQ(f.SampleType, WUSAMPLE_PCM16);  // typed by the null sub-format's rule
  EXPECT_EQ(f.dwChannelMask, 0u);
  EXPECT_EQ(f.dwFlags & WUWAVEFORMAT_FROMEXTENSIBLE, 0u);
  wfx->nAvgBytesPerSec = 1;  // no longer agrees: a record described by tag 0xFFFE
  _wuwaveformat_plus g(*wfx);
  EXPECT_TRUE(g.IsCompressed());
  EXPECT_EQ(g.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
  EXPECT_EQ(g.ExtraSize(), 0u);
  EXPECT_FALSE(g == *wfx);  // compares no extra bytes of a short extensible record
  WAVEFORMATEX* copy = WuAudio_AllocAndCopyWfx(wfx, WUCOPYDEST_EXTENSIBLE);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::memcmp(copy, wfx, 18), 0);
  HGLOBAL block = GlobalHandle(copy);
  GlobalUnlock(block);
  GlobalFree(block);
  ::operator delete(wfx);
}

TEST(WuWaveFormatTest, TypedAndTagInitialisers) {
  _wuwaveformat f;
  f.Init(48000, WUSAMPLE_PCM24, 6, 0x3F, 32);
  EXPECT_EQ(f.nBlockAlign, 18);
  EXPECT_EQ(f.nAvgBytesPerSec, 864000u);
  EXPECT_EQ(f.dwFlags, 0u);
  f.Init(48000, WUSAMPLE_FE03_16, 2, 0, 32);
  EXPECT_EQ(f.nBlockAlign, 0);

  f.InitAsWfx(1, 44100, 20, 2, 0, 32);
  EXPECT_EQ(f.SampleType, WUSAMPLE_PCM24);
  EXPECT_EQ(f.nBlockAlign, 6);
  f.InitAsWfx(0x11, 44100, 4, 3, 0, 32);
  EXPECT_TRUE(f.IsCompressed());
  EXPECT_EQ(f.wFormatTag, 0x11);
  EXPECT_EQ(f.wBitsPerSample, 4);
  EXPECT_EQ(f.nBlockAlign, 1);  // (3 * 4) / 8
  EXPECT_EQ(f.nAvgBytesPerSec, 44100u);

  f.Init(44100, WUSAMPLE_PCM16, 2, 0, 32);
  f.nBlockAlign = 99;
  EXPECT_EQ(f.UpdateBlockAlign(), 4u);
  EXPECT_EQ(f.nAvgBytesPerSec, 176400u);
  f.InitAsWfx(0x11, 44100, 4, 2, 0, 32);
  f.nBlockAlign = 99;
  EXPECT_EQ(f.UpdateBlockAlign(), 99u);
}

TEST(WuWaveFormatTest, CompareRecords) {
  _wuwaveformat a, b;
  a.Init(44100, WUSAMPLE_PCM16, 2, 0, 32);
  b.Init(44100, WUSAMPLE_PCM16, 2, 3, 32);
  b.nBlockAlign = 77;
  b.dwFlags = WUWAVEFORMAT_FROMEXTENSIBLE;
  EXPECT_TRUE(a == b);
  b.dwChannelMask = 0x30;
  EXPECT_FALSE(a == b);
  b.Init(48000, WUSAMPLE_PCM16, 2, 0, 32);
  EXPECT_FALSE(a == b);
  b.Init(44100, WUSAMPLE_PCM24, 2, 0, 32);
  EXPECT_FALSE(a == b);

  CodecWfx c1(0x161, 4), c2(0x161, 4), c3(0x161, 5);
  _wuwaveformat_plus p1(c1.wfx()), p2(c2.wfx()), p3(c3.wfx());
  EXPECT_TRUE(p1 == p2);
  EXPECT_FALSE(p1 == p3);  // extra counts differ
  p2.ExtraBytes()[3] ^= 1;
  EXPECT_FALSE(p1 == p2);
  p2.ExtraBytes()[3] ^= 1;
  p2.nAvgBytesPerSec++;
  EXPECT_FALSE(p1 == p2);
}

TEST(WuWaveFormatTest, CompareWithPlatformRecords) {
  _wuwaveformat f;
  f.Init(48000, WUSAMPLE_PCM16, 2, 0, 32);
  WAVEFORMATEX plain = {1, 2, 48000, 192000, 4, 16, 0};
  EXPECT_TRUE(f == plain);
  WAVEFORMATEXTENSIBLE ext = Extensible(KSDATAFORMAT_SUBTYPE_PCM, 16, 16, 3);
  EXPECT_TRUE(f == ext.Format);  // the default mask equals 0
  ext.dwChannelMask = 0x30;
  EXPECT_FALSE(f == ext.Format);
  plain.nChannels = 1;
  EXPECT_FALSE(f == plain);

  CodecWfx codec(0x161, 6);
  _wuwaveformat_plus p(codec.wfx());
  EXPECT_TRUE(p == codec.wfx());
  CodecWfx other(0x161, 6);
  other.bytes[18 + 2] = 0;
  EXPECT_FALSE(p == other.wfx());
  // Extensible: the tag must be 0xFFFE itself and the extra bytes follow 40.
  alignas(4) BYTE bytes[46];
  WAVEFORMATEXTENSIBLE codec_ext = Extensible(WuAudio_BaseGuid(0x161), 4, 4, 0);
  codec_ext.Format.nAvgBytesPerSec = 16000;
  codec_ext.Format.cbSize = 28;
  std::memcpy(bytes, &codec_ext, 40);
  std::memcpy(bytes + 40, codec.bytes + 18, 6);
  const auto& ew = *reinterpret_cast<const WAVEFORMATEX*>(bytes);
  _wuwaveformat_plus pe(ew);
  EXPECT_FALSE(pe == ew);  // the record holds 0x161, the platform record 0xFFFE
  pe.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  EXPECT_TRUE(pe == ew);
}

TEST(WuWaveFormatTest, TypedCopiesUnderEachMode) {
  struct Row {
    DWORD mask, flags;
    WORD channels;
    WUWAVEFORMAT_COPY_DEST mode;
    UINT size;
    bool extensible;
    DWORD written_mask;
  } rows[] = {
      {3, 0, 2, WUCOPYDEST_ASSOURCE, 40, false, 0},
      {0x33, 0, 2, WUCOPYDEST_ASSOURCE, 40, true, 0x33},
      {0x33, 0, 2, WUCOPYDEST_ASSOURCE, 18, false, 0},
      {0, WUWAVEFORMAT_FROMEXTENSIBLE, 2, WUCOPYDEST_ASSOURCE, 40, true, 3},
      {3, 0, 2, WUCOPYDEST_PLAIN, 40, false, 0},
      {0x33, 0, 2, WUCOPYDEST_PLAIN, 40, false, 0},
      {0x33, 0, 2, WUCOPYDEST_PLAINUNLESSMASK, 40, true, 3},  // 4 bits for 2 channels
      {0x30, 0, 2, WUCOPYDEST_PLAINUNLESSMASK, 40, true, 0x30},
      {0x33, 0, 2, WUCOPYDEST_PLAINUNLESSMASK, 18, false, 0},
      {0, 0, 2, WUCOPYDEST_EXTENSIBLEMULTICHANNEL, 40, false, 0},
      {0, 0, 6, WUCOPYDEST_EXTENSIBLEMULTICHANNEL, 40, true, 0x3F},
      {0, 0, 2, WUCOPYDEST_EXTENSIBLE, 40, true, 3},
      {0, 0, 2, WUCOPYDEST_EXTENSIBLE, 18, false, 0},  // never past the size
  };
  for (const Row& r : rows) {
    _wuwaveformat f;
    f.Init(48000, WUSAMPLE_PCM16, r.channels, r.mask, 32);
    f.dwFlags = r.flags;
    Out out;
    EXPECT_EQ(f.CopyToWfx(out.wfx(), r.size, r.mode), out.wfx());
    const WAVEFORMATEXTENSIBLE& e = *out.ext();
    EXPECT_EQ(e.Format.nBlockAlign, 2 * r.channels);
    EXPECT_EQ(e.Format.wBitsPerSample, 16);
    if (r.extensible) {
      EXPECT_EQ(e.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE) << r.mode << "/" << r.mask;
      EXPECT_EQ(e.Format.cbSize, 22);
      EXPECT_EQ(e.dwChannelMask, r.written_mask);
      EXPECT_TRUE(e.SubFormat == KSDATAFORMAT_SUBTYPE_PCM);
    } else {
      EXPECT_EQ(e.Format.wFormatTag, 1) << r.mode << "/" << r.mask;
      EXPECT_EQ(e.Format.cbSize, 0);
      EXPECT_EQ(out.bytes[18], 0xCD);  // nothing written past the header
    }
  }
}

TEST(WuWaveFormatTest, TwentyFourInThirtyTwoRoundTrip) {
  WAVEFORMATEXTENSIBLE e24 = Extensible(KSDATAFORMAT_SUBTYPE_PCM, 32, 24, 0);
  _wuwaveformat f;
  f.Init(32, e24.Format);
  _wuwaveformat_wfxecopyhelper back(f);
  EXPECT_EQ(back.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
  EXPECT_EQ(back.Format.wBitsPerSample, 32);
  EXPECT_EQ(back.Samples.wValidBitsPerSample, 32);
  EXPECT_TRUE(back.SubFormat == WuAudio_BaseGuid(0xFE00));
  EXPECT_EQ(back.dwChannelMask, 3u);
  EXPECT_TRUE(f == back.Format);
  _wuwaveformat_wfxcopyhelper plain(f);
  EXPECT_EQ(plain.wFormatTag, 0xFE00);
  EXPECT_EQ(plain.nBlockAlign, 8);
}

TEST(WuWaveFormatTest, CompressedCopiesUnderEachMode) {
  CodecWfx codec(0x161, 10);
  _wuwaveformat_plus p(codec.wfx());
  struct Row {
    DWORD mask;
    WUWAVEFORMAT_COPY_DEST mode;
    UINT size;
    bool extensible;
    WORD cb_size;
  } rows[] = {
      {0, WUCOPYDEST_PLAINUNLESSMASK, 22, false, 4},
      {0, WUCOPYDEST_PLAINUNLESSMASK, 18, false, 0},
      {0, WUCOPYDEST_PLAINUNLESSMASK, 60, false, 10},
      {0x33, WUCOPYDEST_PLAINUNLESSMASK, 50, true, 32},
      {0x33, WUCOPYDEST_PLAINUNLESSMASK, 49, false, 10},  // below 40 + n
      {0x33, WUCOPYDEST_PLAIN, 50, true, 32},
      {0x33, WUCOPYDEST_ASSOURCE, 44, true, 26},
      {0, WUCOPYDEST_ASSOURCE, 60, false, 10},
      {0, WUCOPYDEST_EXTENSIBLEMULTICHANNEL, 60, false, 10},
      {0, WUCOPYDEST_EXTENSIBLE, 45, true, 27},
      {0, WUCOPYDEST_EXTENSIBLE, 30, false, 10},  // never past the size
  };
  for (const Row& r : rows) {
    p.dwChannelMask = r.mask;
    Out out;
    WuAudio_GeneralCopyWfx(out.wfx(), r.size, p, r.mode);
    const WAVEFORMATEXTENSIBLE& e = *out.ext();
    EXPECT_EQ(e.Format.cbSize, r.cb_size) << r.mode << "/" << r.size;
    EXPECT_EQ(e.Format.nBlockAlign, 1024);
    EXPECT_EQ(e.Format.nAvgBytesPerSec, 16000u);
    EXPECT_EQ(e.Format.wBitsPerSample, 4);
    UINT header = r.extensible ? 40 : 18;
    if (r.extensible) {
      EXPECT_EQ(e.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
      EXPECT_TRUE(e.SubFormat == WuAudio_BaseGuid(0x161));
      EXPECT_EQ(e.Samples.wValidBitsPerSample, 4);
      EXPECT_EQ(e.dwChannelMask, r.mask);
    } else {
      EXPECT_EQ(e.Format.wFormatTag, 0x161) << r.mode << "/" << r.size;
    }
    UINT copied = r.cb_size - (header - 18);
    for (UINT i = 0; i < copied; ++i) EXPECT_EQ(out.bytes[header + i], i + 1);
    EXPECT_EQ(out.bytes[header + copied], 0xCD);
  }
}

TEST(WuWaveFormatTest, HandPlacedExtraBytesOfPcmFollowTheHeader) {
  _wuwaveformat_plus p;
  p.InitAsWfx(0x161, 44100, 4, 2, 0, 128);
  p.wFormatTag = 1;  // tag 1 made compressed by hand, with extra bytes
  p.cbExtra = 3;
  p.cbStruct = 35;
  p.ExtraBytes()[0] = 7;
  Out out;
  WuAudio_GeneralCopyWfx(out.wfx(), 40, p, WUCOPYDEST_PLAIN);
  EXPECT_EQ(out.wfx()->wFormatTag, 1);
  EXPECT_EQ(out.wfx()->cbSize, 3);
  EXPECT_EQ(out.bytes[18], 7);
}

TEST(WuWaveFormatTest, RecordCopies) {
  CodecWfx codec(0x161, 10);
  _wuwaveformat_plus p(codec.wfx());
  alignas(4) BYTE dest[64];
  std::memset(dest, 0xCD, sizeof(dest));
  auto* d = reinterpret_cast<_wuwaveformat*>(dest);
  WuAudio_GeneralCopyWuWaveFormat(d, 40, p, WUCOPYDEST_ASSOURCE);
  EXPECT_EQ(d->cbExtra, 0);
  EXPECT_EQ(d->cbStruct, 32u);
  EXPECT_EQ(dest[40], 0xCD);  // nothing past destSize
  for (int i = 34; i < 40; ++i) EXPECT_EQ(dest[i], 0);
  EXPECT_EQ(d->wFormatTag, 0x161);

  WuAudio_GeneralCopyWuWaveFormat(d, 44, p, WUCOPYDEST_ASSOURCE);
  EXPECT_EQ(d->cbExtra, 10);
  EXPECT_EQ(d->cbStruct, 42u);
  EXPECT_TRUE(*d == p);

  _wuwaveformat typed;
  typed.Init(44100, WUSAMPLE_PCM16, 2, 0, 32);
  std::memset(dest, 0xCD, sizeof(dest));
  WuAudio_GeneralCopyWuWaveFormat(d, 0, typed, WUCOPYDEST_ASSOURCE);
  EXPECT_EQ(d->cbStruct, 32u);
  EXPECT_EQ(dest[32], 0xCD);
  WuAudio_GeneralCopyWuWaveFormat(d, 64, typed, WUCOPYDEST_ASSOURCE);
  EXPECT_EQ(d->cbStruct, 32u);
  EXPECT_EQ(d->cbExtra, 0);
  EXPECT_EQ(dest[63], 0);
  EXPECT_TRUE(*d == typed);
}

void FreeLocked(WAVEFORMATEX* p) {
  HGLOBAL block = GlobalHandle(p);
  GlobalUnlock(block);
  GlobalFree(block);
}

TEST(WuWaveFormatTest, AllocAndCopySizesPerMode) {
  CodecWfx codec(0x161, 10);
  _wuwaveformat_plus p(codec.wfx());
  _wuwaveformat t;
  t.Init(44100, WUSAMPLE_PCM16, 2, 0, 32);
  _wuwaveformat masked;
  masked.Init(44100, WUSAMPLE_PCM16, 2, 0x30, 32);
  _wuwaveformat six;
  six.Init(44100, WUSAMPLE_PCM16, 6, 0, 32);
  struct Row {
    const _wuwaveformat* record;
    WUWAVEFORMAT_COPY_DEST mode;
    SIZE_T size;
    WORD tag;
  } rows[] = {
      {&t, WUCOPYDEST_ASSOURCE, 18, 1},
      {&masked, WUCOPYDEST_ASSOURCE, 40, 0xFFFE},
      {&masked, WUCOPYDEST_PLAINUNLESSMASK, 40, 0xFFFE},
      {&masked, WUCOPYDEST_PLAIN, 18, 1},
      {&six, WUCOPYDEST_EXTENSIBLEMULTICHANNEL, 40, 0xFFFE},
      {&t, WUCOPYDEST_EXTENSIBLEMULTICHANNEL, 18, 1},
      {&t, WUCOPYDEST_EXTENSIBLE, 40, 0xFFFE},
      {&p, WUCOPYDEST_PLAIN, 28, 0x161},
      {&p, WUCOPYDEST_EXTENSIBLE, 50, 0xFFFE},
  };
  for (const Row& r : rows) {
    WAVEFORMATEX* w = WuAudio_AllocAndCopyWfx(r.record, r.mode);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(GlobalSize(GlobalHandle(w)), r.size) << r.mode;
    EXPECT_EQ(w->wFormatTag, r.tag) << r.mode;
    EXPECT_EQ(18u + w->cbSize, r.size) << r.mode;
    FreeLocked(w);
  }
  EXPECT_EQ(WuAudio_AllocAndCopyWfx(static_cast<const _wuwaveformat*>(nullptr),
                                    WUCOPYDEST_PLAIN),
            nullptr);
}

TEST(WuWaveFormatTest, AllocAndCopyFromPlatformRecords) {
  // Mode 0 and a plain record in modes 1 and 2 duplicate the bytes as they
  // stand, even a block align the record would correct.
  WAVEFORMATEX odd = {1, 2, 44100, 1, 5, 20, 0};
  for (auto mode : {WUCOPYDEST_ASSOURCE, WUCOPYDEST_PLAINUNLESSMASK, WUCOPYDEST_PLAIN}) {
    WAVEFORMATEX* w = WuAudio_AllocAndCopyWfx(&odd, mode);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(std::memcmp(w, &odd, 18), 0);
    FreeLocked(w);
  }
  WAVEFORMATEX* w = WuAudio_AllocAndCopyWfx(&odd, WUCOPYDEST_EXTENSIBLE);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->wFormatTag, WAVE_FORMAT_EXTENSIBLE);
  EXPECT_EQ(w->nBlockAlign, 6);
  EXPECT_EQ(w->wBitsPerSample, 24);
  FreeLocked(w);
  WAVEFORMATEXTENSIBLE e = Extensible(KSDATAFORMAT_SUBTYPE_PCM, 16, 16, 0);
  w = WuAudio_AllocAndCopyWfx(&e.Format, WUCOPYDEST_PLAIN);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GlobalSize(GlobalHandle(w)), 18u);
  EXPECT_EQ(w->wFormatTag, 1);
  FreeLocked(w);
  w = WuAudio_AllocAndCopyWfx(&e.Format, WUCOPYDEST_EXTENSIBLE);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::memcmp(w, &e, 40), 0);
  FreeLocked(w);
}

TEST(WuWaveFormatTest, PlatformToPlatformCopies) {
  WAVEFORMATEX plain = {1, 6, 48000, 576000, 12, 16, 0};
  WAVEFORMATEXTENSIBLE ext;
  WuAudio_CopyWfExt(&ext, &plain, WUCOPYDEST_EXTENSIBLEMULTICHANNEL);
  EXPECT_EQ(ext.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
  EXPECT_EQ(ext.dwChannelMask, 0x3Fu);
  Out out;
  WuAudio_CopyWfx(out.wfx(), 40, &ext.Format, WUCOPYDEST_PLAIN);
  EXPECT_EQ(out.wfx()->wFormatTag, 1);
  EXPECT_EQ(out.wfx()->cbSize, 0);
  _wuwaveformat_wfxplus big;
  big.Init(&ext.Format, WUCOPYDEST_ASSOURCE);
  EXPECT_EQ(std::memcmp(&big, &ext, 40), 0);
  CodecWfx codec(0x161, 10);
  _wuwaveformat_plus p(codec.wfx());
  _wuwaveformat_wfxplus from_record(p);
  EXPECT_EQ(std::memcmp(&from_record, codec.bytes, 28), 0);
}

}  // namespace
