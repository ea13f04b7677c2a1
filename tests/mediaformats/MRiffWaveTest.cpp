// A WAV header in memory, written and read back.
#include <gtest/gtest.h>

#include <cstring>

#include "audio/WuWaveFormat.h"
#include "mediaformats/MRiff.h"
#include "tests/mediaformats/RiffTestUtil.h"

using rifftest::Bytes;

namespace {

// Writes the header of `format` into a 256-byte buffer; returns its bytes.
std::string Header(const _wuwaveformat& format, DWORD data_size, DWORD extra = 0) {
  BYTE buffer[256] = {};
  _tMRIFF m;
  EXPECT_EQ(mriff_Init(&m, buffer, 0, sizeof buffer), S_OK);
  EXPECT_EQ(mriff_WriteWaveHeader(&m, &format, data_size, extra), S_OK);
  return std::string(reinterpret_cast<char*>(buffer), m.pDataEnd - m.pStart);
}

_wuwaveformat_plus ReadBack(const std::string& header, DWORD* data_size) {
  _wuwaveformat_plus read;
  EXPECT_EQ(mriff_GetWfx(&read, header.data(), static_cast<DWORD>(header.size()), data_size), S_OK);
  return read;
}

TEST(MRiffWaveTest, PcmHeaderIs44Bytes) {
  _wuwaveformat format;
  format.Init(44100, WUSAMPLE_PCM16, 2, 0, 32);
  std::string header = Header(format, 1000);
  std::string expected = Bytes().Id("RIFF").U32(1036).Id("WAVE").Id("fmt ").U32(16)
                             .U16(1).U16(2).U32(44100).U32(176400).U16(4).U16(16)
                             .Id("data").U32(1000).s;
  EXPECT_EQ(header, expected);
  DWORD data_size = 0;
  _wuwaveformat_plus read = ReadBack(header + std::string(1000, '\0'), &data_size);
  EXPECT_EQ(data_size, 1000u);
  EXPECT_TRUE(read == format);
  EXPECT_EQ(read.SampleType, WUSAMPLE_PCM16);
  // Chunks the caller adds after an odd amount of data are counted, padded.
  EXPECT_EQ(rifftest::At32(Header(format, 999, 10), 4), 1046u);
}

TEST(MRiffWaveTest, ExtensibleAndCompressedHeadersAreWrittenWhole) {
  // 24-bit 6 channels with a mask that is not the default: extensible.
  _wuwaveformat surround;
  surround.Init(48000, WUSAMPLE_PCM24, 6, 0x60F, 32);
  std::string header = Header(surround, 36);
  EXPECT_EQ(rifftest::At32(header, 16), 40u);
  EXPECT_EQ(rifftest::At32(header, 4), 4 + 48 + 8 + 36u);
  EXPECT_EQ(header.substr(20, 2), Bytes().U16(0xFFFE).s);
  EXPECT_EQ(header.substr(36, 2), Bytes().U16(22).s);
  DWORD data_size = 0;
  _wuwaveformat_plus read = ReadBack(header, &data_size);
  EXPECT_EQ(read.SampleType, WUSAMPLE_PCM24);
  EXPECT_EQ(read.dwChannelMask, 0x60Fu);
  EXPECT_EQ(read.nSamplesPerSec, 48000u);
  EXPECT_EQ(read.nAvgBytesPerSec, 48000u * 18);
  EXPECT_TRUE(read.dwFlags & WUWAVEFORMAT_FROMEXTENSIBLE);

  // A codec format with n bytes of its own: fmt size 18 + n (odd n padded).
  for (WORD n : {4, 3}) {
    BYTE wfx_bytes[64] = {};
    WAVEFORMATEX wfx = {0x0002, 1, 22050, 11155, 512, 4, n};
    std::memcpy(wfx_bytes, &wfx, sizeof wfx);
    std::memcpy(wfx_bytes + 18, "\xF4\x01\x07\x00", n);
    _wuwaveformat_plus codec(*reinterpret_cast<WAVEFORMATEX*>(wfx_bytes));
    ASSERT_EQ(codec.ExtraSize(), n);
    std::string coded = Header(codec, 512);
    EXPECT_EQ(rifftest::At32(coded, 16), 18u + n);
    EXPECT_EQ(coded.substr(20, 18 + n), std::string(reinterpret_cast<char*>(wfx_bytes), 18 + n));
    EXPECT_EQ(coded.size(), 12 + 8 + (18 + n + 1) / 2 * 2 + 8u);
    EXPECT_EQ(rifftest::At32(coded, 4), coded.size() - 8 + 512);
    _wuwaveformat_plus back = ReadBack(coded, &data_size);
    EXPECT_EQ(back.wFormatTag, 0x0002);
    EXPECT_EQ(back.wBitsPerSample, 4);
    EXPECT_EQ(back.nSamplesPerSec, 22050u);
    EXPECT_EQ(back.nAvgBytesPerSec, 11155u);
    EXPECT_EQ(data_size, 512u);
  }
}

TEST(MRiffWaveTest, HeadersThatCannotBeReadOrWritten) {
  _wuwaveformat format;
  format.Init(44100, WUSAMPLE_PCM16, 2, 0, 32);
  std::string header = Header(format, 0);
  std::string not_wave = header;
  not_wave.replace(8, 4, "AVI ");
  _wuwaveformat_plus untouched;
  std::memset(static_cast<void*>(&untouched), 0x5A, sizeof untouched);
  DWORD data_size = 7;
  EXPECT_EQ(mriff_GetWfx(&untouched, not_wave.data(), 44, &data_size), E_FAIL);

  struct {
    std::string bytes;
    HRESULT expected;
  } const kCases[] = {
      {header.substr(0, 36), RIFF_E_READ},  // no data chunk
      {Bytes().Id("RIFF").U32(16).Id("WAVE").Chunk("data", "1234").s, RIFF_E_NOT_FOUND},
      {Bytes().Id("RIFF").U32(28).Id("WAVE").Chunk("fmt ", std::string(16, 'x')).s,
       RIFF_E_NOT_FOUND},
      {"RIFF", RIFF_E_READ},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(mriff_GetWfx(&untouched, c.bytes.data(), static_cast<DWORD>(c.bytes.size()),
                           &data_size),
              c.expected);
    EXPECT_EQ(data_size, 7u);
    EXPECT_EQ(untouched.cbStruct, 0x5A5A5A5Au);
  }
  EXPECT_EQ(mriff_GetWfx(nullptr, header.data(), 44, nullptr), S_OK);

  BYTE small[30];
  _tMRIFF m;
  mriff_Init(&m, small, 0, sizeof small);
  EXPECT_EQ(mriff_WriteWaveHeader(&m, &format, 100, 0), RIFF_E_WRITE);
  EXPECT_EQ(m.pDataEnd, small + 30);
  EXPECT_EQ(mriff_WriteWaveHeader(&m, nullptr, 100, 0), E_POINTER);
  mriff_Init(&m, small, 0, sizeof small);
  EXPECT_EQ(mriff_WriteWaveHeader(&m, &format, 0xFFFFFFF0u, 0), E_INVALIDARG);
}

}  // namespace
