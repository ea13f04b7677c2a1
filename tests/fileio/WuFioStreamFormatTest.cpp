#include "fileio/WuFioStreamFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/WuWaveFormat.h"
#include "foundation/WuStatus.h"
#include "platform/com/mmreg.h"
#include "platform/gdi/gdi.h"
#include "tests/fileio/FioFormatFakes.h"

namespace {

using fio_test::FakeFormatStream;
using fio_test::FakeV1File;

constexpr DWORD kSize = WUFILESTREAMFORMATINFO_SIZE;

// A record full of 0xCC bytes: whatever a helper does not write shows.
_WUFILESTREAMFORMATINFOv2 Dirty() {
  _WUFILESTREAMFORMATINFOv2 r;
  std::memset(&r, 0xCC, sizeof(r));
  return r;
}

bool AllZero(const void* p, size_t n) {
  const BYTE* b = static_cast<const BYTE*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i]) return false;
  return true;
}

template <typename T>
std::vector<BYTE> BytesOf(const T& value, size_t n = sizeof(T)) {
  const BYTE* b = reinterpret_cast<const BYTE*>(&value);
  return std::vector<BYTE>(b, b + n);
}

// The 96-byte format area a platform wave record gives.
std::vector<BYTE> WaveArea(const WAVEFORMATEX& wfx) {
  alignas(8) BYTE area[96];
  reinterpret_cast<_wuwaveformat*>(area)->Init(96, wfx);
  return std::vector<BYTE>(area, area + 96);
}

std::vector<BYTE> Format(const _WUFILESTREAMFORMATINFOv2& r, size_t n = 96) {
  return std::vector<BYTE>(r.format, r.format + n);
}

WAVEFORMATEX Pcm() {
  WAVEFORMATEX wfx{};
  wfx.wFormatTag = WAVE_FORMAT_PCM;
  wfx.nChannels = 2;
  wfx.nSamplesPerSec = 44100;
  wfx.nBlockAlign = 4;
  wfx.nAvgBytesPerSec = 176400;
  wfx.wBitsPerSample = 16;
  return wfx;
}

// A compressed wave record (tag 0x55) with `extra` bytes 1, 2, 3...
std::vector<BYTE> Compressed(WORD extra) {
  WAVEFORMATEX wfx{};
  wfx.wFormatTag = 0x55;
  wfx.nChannels = 2;
  wfx.nSamplesPerSec = 48000;
  wfx.nBlockAlign = 1;
  wfx.nAvgBytesPerSec = 16000;
  wfx.cbSize = extra;
  std::vector<BYTE> bytes = BytesOf(wfx);
  for (WORD i = 0; i < extra; ++i) bytes.push_back(static_cast<BYTE>(i + 1));
  return bytes;
}

BITMAPINFOHEADER Header() {
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = 320;
  h.biHeight = 240;
  h.biPlanes = 1;
  h.biBitCount = 24;
  return h;
}

tWUVIDEOEXTENSION VideoExtension() {
  tWUVIDEOEXTENSION e{};
  e.size = 64;
  e.attributes = -1;
  e.interlace = 2;
  e.frameRate = 25.0;
  e.pixelAspect = 1.0;
  return e;
}

// ---- Records from the platform's formats ----------------------------------------------------

TEST(WuFioStreamFormatTest, SetFromEachSource) {
  tWUAUDIOEXTENSION audioExt;
  for (int i = 0; i < 32; ++i) audioExt.bytes[i] = static_cast<BYTE>(i + 1);

  // A wave record: copied into the 96 bytes, its extra bytes kept.
  std::vector<BYTE> mp3 = Compressed(12);
  _wuwaveformat_plus wave(*reinterpret_cast<const WAVEFORMATEX*>(mp3.data()));
  _WUFILESTREAMFORMATINFOv2 r = Dirty();
  WuFio_SetStreamFormatInfo(&r, static_cast<const _wuwaveformat*>(&wave), &audioExt, 1234);
  EXPECT_EQ(r.size, kSize);
  EXPECT_EQ(r.streamType, WUFILESTREAMTYPE_AUDIO);
  EXPECT_EQ(r.length, 1234);
  EXPECT_TRUE(AllZero(r.values, 8));
  EXPECT_EQ(Format(r), WaveArea(*reinterpret_cast<const WAVEFORMATEX*>(mp3.data())));
  EXPECT_EQ(BytesOf(r.extension.audio), BytesOf(audioExt));
  EXPECT_TRUE(AllZero(r.extension.bytes + 32, 32));

  // A platform wave record, built into the 96 bytes.
  WAVEFORMATEX pcm = Pcm();
  r = Dirty();
  WuFio_SetStreamFormatInfo(&r, &pcm, nullptr, -1);
  EXPECT_EQ(r.streamType, WUFILESTREAMTYPE_AUDIO);
  EXPECT_EQ(r.length, -1);
  EXPECT_EQ(Format(r), WaveArea(pcm));
  EXPECT_EQ(reinterpret_cast<const _wuwaveformat*>(r.format)->nSamplesPerSec, 44100u);
  EXPECT_TRUE(AllZero(&r.extension, 64));

  // A bitmap header and the video extension.
  BITMAPINFOHEADER h = Header();
  tWUVIDEOEXTENSION videoExt = VideoExtension();
  r = Dirty();
  WuFio_SetStreamFormatInfo(&r, &h, &videoExt, 250);
  EXPECT_EQ(r.size, kSize);
  EXPECT_EQ(r.streamType, WUFILESTREAMTYPE_VIDEO);
  EXPECT_EQ(r.length, 250);
  EXPECT_EQ(Format(r, 40), BytesOf(h));
  EXPECT_TRUE(AllZero(r.format + 40, 56));
  double rate;
  std::memcpy(&rate, reinterpret_cast<const BYTE*>(&r) + 24 + 16, sizeof(rate));
  EXPECT_EQ(rate, 25.0);

  r = Dirty();
  WuFio_SetStreamFormatInfo(&r, static_cast<const BITMAPINFOHEADER*>(nullptr), nullptr, 0);
  EXPECT_EQ(r.streamType, WUFILESTREAMTYPE_VIDEO);
  EXPECT_TRUE(AllZero(reinterpret_cast<const BYTE*>(&r) + 8, kSize - 8));
}

// ---- Asking a stream -------------------------------------------------------------------------

TEST(WuFioStreamFormatTest, FillVersion2) {
  struct Case {
    DWORD type;
    IID asked;
  } cases[] = {{WUFILESTREAMTYPE_AUDIO, IID_IWuReadAudioStream},
               {WUFILESTREAMTYPE_VIDEO, IID_IWuReadVideoStream}};
  for (const Case& c : cases) {
    FakeFormatStream s;
    s.v2.streamType = c.type;
    s.v2.length = 777;
    s.v2.format[0] = 0x5A;
    s.answer = S_FALSE;
    _WUFILESTREAMFORMATINFOv2 r = Dirty();
    r.size = 0;  // raised to 184
    EXPECT_EQ(WuFio_FillStreamFormatInfo(s.AsStream(), c.type, &r), S_FALSE);
    ASSERT_EQ(s.queried.size(), 1u);
    EXPECT_EQ(s.queried[0], c.asked);
    EXPECT_EQ(s.calls, std::vector<std::string>{"GetStreamFormat"});
    EXPECT_EQ(s.refs, 0);  // the interface was released
    EXPECT_EQ(r.size, kSize);
    EXPECT_EQ(r.length, 777);
    EXPECT_EQ(r.format[0], 0x5A);
  }

  // A larger record: its own size is kept and all of it zeroed first.
  struct Big {
    _WUFILESTREAMFORMATINFOv2 r;
    BYTE tail[32];
  } big;
  std::memset(&big, 0xCC, sizeof(big));
  big.r.size = kSize + 16;
  FakeFormatStream s;
  s.v2.streamType = WUFILESTREAMTYPE_AUDIO;
  s.v2.format[95] = 0;
  EXPECT_EQ(WuFio_FillStreamFormatInfo(s.AsStream(), WUFILESTREAMTYPE_AUDIO, &big.r), S_OK);
  EXPECT_EQ(big.r.size, kSize + 16);
  EXPECT_TRUE(AllZero(big.tail, 16));
  EXPECT_EQ(big.tail[16], 0xCC);
}

TEST(WuFioStreamFormatTest, FillErrors) {
  FakeFormatStream s;
  _WUFILESTREAMFORMATINFOv2 r{};
  _WUFILESTREAMFORMATINFOv1 v1{};
  EXPECT_EQ(WuFio_FillStreamFormatInfo(s.AsStream(), WUFILESTREAMTYPE_OTHER, &r), E_INVALIDARG);
  EXPECT_EQ(WuFio_FillStreamFormatInfo(s.AsStream(), WUFILESTREAMTYPE_OTHER, &v1), E_INVALIDARG);
  EXPECT_TRUE(s.queried.empty());
  // A refused interface: the query's status, nothing called.
  s.refused = IID_IWuReadVideoStream;
  EXPECT_EQ(WuFio_FillStreamFormatInfo(s.AsStream(), WUFILESTREAMTYPE_VIDEO, &r), E_NOINTERFACE);
  s.refused = IID_IWuReadAudioStreamV1;
  EXPECT_EQ(WuFio_FillStreamFormatInfo(s.AsStream(), WUFILESTREAMTYPE_AUDIO, &v1), E_NOINTERFACE);
  EXPECT_TRUE(s.calls.empty());
  EXPECT_EQ(WuFio_FillStreamFormatInfo(nullptr, WUFILESTREAMTYPE_AUDIO, &r), E_POINTER);
  EXPECT_EQ(WuFio_FillStreamFormatInfo(s.AsStream(), WUFILESTREAMTYPE_AUDIO,
                                       static_cast<_WUFILESTREAMFORMATINFOv2*>(nullptr)),
            E_POINTER);
}

// Version 1: the format first (its result is returned), then the length
// (its result is not used); the record is zeroed, so no buffer is offered.
TEST(WuFioStreamFormatTest, FillVersion1) {
  struct Case {
    DWORD type;
    IID asked;
  } cases[] = {{WUFILESTREAMTYPE_AUDIO, IID_IWuReadAudioStreamV1},
               {WUFILESTREAMTYPE_VIDEO, IID_IWuReadVideoStreamV1}};
  for (const Case& c : cases) {
    FakeFormatStream s;
    s.answer = S_FALSE;
    s.formatNeeded = 40;
    s.extensionNeeded = 64;
    for (int i = 0; i < 16; ++i) s.lengthBytes[i] = static_cast<BYTE>(i + 1);
    _WUFILESTREAMFORMATINFOv1 v1;
    std::memset(&v1, 0xCC, sizeof(v1));
    EXPECT_EQ(WuFio_FillStreamFormatInfo(s.AsStream(), c.type, &v1), S_FALSE);
    ASSERT_EQ(s.queried.size(), 1u);
    EXPECT_EQ(s.queried[0], c.asked);
    EXPECT_EQ(s.calls, (std::vector<std::string>{"GetFormatV1", "GetLengthV1"}));
    EXPECT_EQ(s.refs, 0);
    EXPECT_EQ(s.formatOffered, nullptr);
    EXPECT_EQ(s.formatBytesOffered, 0u);
    EXPECT_EQ(v1.streamType, c.type);
    EXPECT_EQ(v1.formatNeeded, 40u);
    EXPECT_EQ(v1.extensionNeeded, 64u);
    EXPECT_EQ(BytesOf(v1.length, 8), std::vector<BYTE>(s.lengthBytes, s.lengthBytes + 8));
    EXPECT_EQ(v1.values[1], 0x100F0E0Du);
  }
}

// ---- Converting a version-1 answer -----------------------------------------------------------

// The record as a plug-in that only knows version 1 leaves it: the type in
// word 0 and the sizes it needs in words 3 and 6.
_WUFILESTREAMFORMATINFOv2 V1Answer(DWORD type, DWORD formatNeeded, DWORD extensionNeeded) {
  _WUFILESTREAMFORMATINFOv2 r = Dirty();
  _WUFILESTREAMFORMATINFOv1 v1{};
  v1.streamType = type;
  v1.formatNeeded = formatNeeded;
  v1.extensionNeeded = extensionNeeded;
  std::memcpy(&r, &v1, sizeof(v1));
  return r;
}

TEST(WuFioStreamFormatTest, ConvertNothingToDo) {
  for (DWORD word0 : {kSize, 0u, 3u, 4u, 0xFFFFFFFFu}) {
    FakeV1File file;
    _WUFILESTREAMFORMATINFOv2 r = Dirty();
    r.size = word0;
    EXPECT_EQ(WuFio_ConvertToV2ifV1(&file, 0, &r, kSize), 1) << word0;
    EXPECT_EQ(file.calls, 0);
    EXPECT_EQ(r.size, word0);
  }
}

TEST(WuFioStreamFormatTest, ConvertVideo) {
  FakeV1File file;
  file.type = WUFILESTREAMTYPE_VIDEO;
  file.format = BytesOf(Header());
  file.formatWritten = 40;
  file.extension = BytesOf(VideoExtension());
  file.extensionWritten = 64;
  for (int i = 0; i < 16; ++i) file.lengthBytes[i] = static_cast<BYTE>(0x10 + i);
  _WUFILESTREAMFORMATINFOv2 r = V1Answer(WUFILESTREAMTYPE_VIDEO, 40, 64);
  ASSERT_EQ(WuFio_ConvertToV2ifV1(&file, 3, &r, 200), S_OK);
  EXPECT_EQ(file.calls, 1);
  EXPECT_EQ(file.streamAsked, 3);
  EXPECT_EQ(file.flagAsked, 1);
  EXPECT_EQ(file.formatRoom, 40u);
  EXPECT_EQ(file.extensionRoom, 64u);
  EXPECT_EQ(r.size, 200u);  // the expected size
  EXPECT_EQ(r.streamType, WUFILESTREAMTYPE_VIDEO);
  EXPECT_EQ(BytesOf(r.length), std::vector<BYTE>(file.lengthBytes, file.lengthBytes + 8));
  EXPECT_EQ(BytesOf(r.values), std::vector<BYTE>(file.lengthBytes + 8, file.lengthBytes + 16));
  EXPECT_EQ(Format(r, 40), file.format);
  EXPECT_TRUE(AllZero(r.format + 40, 56));
  EXPECT_EQ(BytesOf(r.extension.video), file.extension);
}

// Audio: a 16-byte PCM answer is read as 16 bytes (its buffer holds no
// more: AddressSanitizer watches the 16-byte heap block); a compressed one
// with its extra bytes; a short extension is zero-filled.
TEST(WuFioStreamFormatTest, ConvertAudio) {
  WAVEFORMATEX pcm = Pcm();
  pcm.cbSize = 0x7777;  // never read: PCM is a 16-byte record
  FakeV1File file;
  file.format = BytesOf(pcm, 16);
  file.formatWritten = 16;
  file.extension = {9, 8, 7, 6, 5, 4, 3, 2};
  file.extensionWritten = 8;
  _WUFILESTREAMFORMATINFOv2 r = V1Answer(WUFILESTREAMTYPE_AUDIO, 16, 8);
  ASSERT_EQ(WuFio_ConvertToV2ifV1(&file, 0, &r, kSize), S_OK);
  EXPECT_EQ(file.formatRoom, 16u);
  pcm.cbSize = 0;
  EXPECT_EQ(Format(r), WaveArea(pcm));
  EXPECT_EQ(std::vector<BYTE>(r.extension.bytes, r.extension.bytes + 8), file.extension);
  EXPECT_TRUE(AllZero(r.extension.bytes + 8, 56));

  FakeV1File mp3;
  mp3.format = Compressed(12);
  mp3.formatWritten = 30;
  r = V1Answer(WUFILESTREAMTYPE_AUDIO, 30, 0);
  ASSERT_EQ(WuFio_ConvertToV2ifV1(&mp3, 0, &r, kSize), S_OK);
  EXPECT_EQ(mp3.extensionRoom, 0u);
  EXPECT_EQ(Format(r), WaveArea(*reinterpret_cast<const WAVEFORMATEX*>(mp3.format.data())));
  EXPECT_EQ(reinterpret_cast<const _wuwaveformat*>(r.format)->ExtraSize(), 12u);
  EXPECT_TRUE(AllZero(&r.extension, 64));
}

// Other streams: 20 format bytes and 40 extension bytes, shorter answers
// zero-filled; an unknown type keeps only size, type and the 16 bytes.
TEST(WuFioStreamFormatTest, ConvertOtherAndUnknownTypes) {
  FakeV1File file;
  file.type = WUFILESTREAMTYPE_OTHER;
  file.format = std::vector<BYTE>(8, 0xAB);
  file.formatWritten = 8;
  file.extension = std::vector<BYTE>(64, 0xCD);
  file.extensionWritten = 64;
  _WUFILESTREAMFORMATINFOv2 r = V1Answer(WUFILESTREAMTYPE_AUDIO, 32, 64);
  ASSERT_EQ(WuFio_ConvertToV2ifV1(&file, 0, &r, kSize), S_OK);
  EXPECT_EQ(r.streamType, WUFILESTREAMTYPE_OTHER);
  EXPECT_EQ(Format(r, 8), file.format);
  EXPECT_TRUE(AllZero(r.format + 8, 88));
  EXPECT_EQ(std::vector<BYTE>(r.extension.bytes, r.extension.bytes + 40),
            std::vector<BYTE>(40, 0xCD));
  EXPECT_TRUE(AllZero(r.extension.bytes + 40, 24));

  file.type = 9;
  file.lengthBytes[0] = 5;
  r = V1Answer(WUFILESTREAMTYPE_VIDEO, 32, 64);
  ASSERT_EQ(WuFio_ConvertToV2ifV1(&file, 0, &r, kSize), S_OK);
  EXPECT_EQ(r.streamType, 9u);
  EXPECT_EQ(r.length, 5);
  EXPECT_TRUE(AllZero(&r.extension, 64 + 96));
}

// Answers that do not hold what they claim, sizes beyond reason and the
// plug-in's failure: nothing is read beyond what was written, and the size
// word is the expected size once the answer was seen as version 1.
TEST(WuFioStreamFormatTest, ConvertRefusesBadAnswers) {
  struct Case {
    const char* name;
    DWORD type;
    std::vector<BYTE> format;
    DWORD firstNeeded;   // word 3 of the first answer
    DWORD extensionNeeded;
    DWORD written;       // what the second answer claims
    HRESULT answer;
    HRESULT expected;
    int calls;
  } cases[] = {
      {"compressed wave shorter than 18 + extra", WUFILESTREAMTYPE_AUDIO, Compressed(12), 30, 0,
       29, S_OK, WU_E_BAD_DATA, 1},
      {"extra bytes claimed beyond the buffer", WUFILESTREAMTYPE_AUDIO, Compressed(12), 18, 0,
       30, S_OK, WU_E_BAD_DATA, 1},
      {"PCM shorter than 16", WUFILESTREAMTYPE_AUDIO, BytesOf(Pcm(), 16), 16, 0, 12, S_OK,
       WU_E_BAD_DATA, 1},
      {"video header of 20 bytes", WUFILESTREAMTYPE_VIDEO, BytesOf(Header()), 20, 0, 20, S_OK,
       WU_E_BAD_DATA, 1},
      {"a format of 1 GiB", WUFILESTREAMTYPE_AUDIO, {}, 1u << 30, 0, 0, S_OK, WU_E_BAD_DATA, 0},
      {"an extension above 1 MiB", WUFILESTREAMTYPE_VIDEO, {}, 40, (1u << 20) + 1, 0, S_OK,
       WU_E_BAD_DATA, 0},
      {"the plug-in fails", WUFILESTREAMTYPE_VIDEO, BytesOf(Header()), 40, 0, 40,
       static_cast<HRESULT>(0x8004E00A), static_cast<HRESULT>(0x8004E00A), 1},
  };
  for (const Case& c : cases) {
    FakeV1File file;
    file.type = c.type;
    file.format = c.format;
    file.formatWritten = c.written;
    file.answer = c.answer;
    _WUFILESTREAMFORMATINFOv2 r = V1Answer(c.type, c.firstNeeded, c.extensionNeeded);
    EXPECT_EQ(WuFio_ConvertToV2ifV1(&file, 0, &r, kSize), c.expected) << c.name;
    EXPECT_EQ(file.calls, c.calls) << c.name;
    EXPECT_EQ(r.size, kSize) << c.name;
  }
  // A format of exactly 1 MiB is still offered.
  FakeV1File file;
  _WUFILESTREAMFORMATINFOv2 r = V1Answer(WUFILESTREAMTYPE_VIDEO, 1u << 20, 0);
  file.type = WUFILESTREAMTYPE_VIDEO;
  EXPECT_EQ(WuFio_ConvertToV2ifV1(&file, 0, &r, kSize), S_OK);
  EXPECT_EQ(file.formatRoom, 1u << 20);
}

}  // namespace
