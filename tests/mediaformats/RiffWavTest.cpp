// A WAV and a Wave64 file built only with the chunk writers: their bytes,
// then walked, counted, searched and shrunk.
#include <gtest/gtest.h>

#include "tests/mediaformats/WavWriters.h"

using namespace rifftest;

namespace {

TEST(RiffWavTest, WrittenWalkedAndShrunk) {
  const std::string samples = StereoSine(5);
  TempFile file("");
  ASSERT_EQ(WriteWav(file.h(), samples), S_OK);
  const std::string bytes = WavBytes(samples);
  ASSERT_EQ(file.Contents(), bytes);

  struct {
    FOURCC id;
    DWORD size;
  } const kChunks[] = {
      {RiffId("fmt "), 16}, {RiffId("note"), 3}, {RiffId("LIST"), 34}, {RiffId("data"), 20}};
  for (const auto& c : kChunks) {
    DWORD size = 0;
    EXPECT_EQ(riff_FindChunkHeaderInRIFF(file.h(), c.id, &size, nullptr), S_OK) << c.size;
    EXPECT_EQ(size, c.size);
  }
  DWORD form = 0, count = 0;
  ASSERT_EQ(riff_GetFileSize(file.h(), &form), S_OK);
  EXPECT_EQ(form, bytes.size());
  ASSERT_EQ(riff_SeekDataStart(file.h()), S_OK);
  DWORD left = form - 12;
  ASSERT_EQ(riff_GetNumListEntries(file.h(), &count, &left), S_OK);
  EXPECT_EQ(count, 4u);

  DWORD list = 0;
  ASSERT_EQ(riff_FindListChunkFromStart(file.h(), RiffId("INFO"), &list), S_OK);
  left = list;
  ASSERT_EQ(riff_GetNumListEntries(file.h(), &count, &left), S_OK);
  EXPECT_EQ(count, 2u);
  DWORD size = 0;
  left = list;
  ASSERT_EQ(riff_FindChunkHeader(file.h(), RiffId("ISFT"), &size, &left), S_OK);
  char16_t text[16];
  ASSERT_EQ(riff_ReadANSIString(file.h(), text, 16, &size), S_OK);
  EXPECT_EQ(std::u16string(text), u"Talvene");
  FOURCC id = 0;
  ASSERT_EQ(riff_ReadChunkHeader(file.h(), &id, &size), S_OK);
  EXPECT_EQ(id, RiffId("data"));

  DWORD removed = 0;
  ASSERT_EQ(riff_DeleteChunk(file.h(), RiffId("note"), &removed, FALSE), S_OK);
  EXPECT_EQ(removed, 12u);
  ASSERT_EQ(riff_DeleteChunk(file.h(), RiffId("INFO"), &removed, TRUE), S_OK);
  EXPECT_EQ(removed, 42u);
  Bytes shrunk;
  shrunk.Id("RIFF").U32(4 + 24 + 8 + 20).Id("WAVE").Chunk("fmt ", PcmFormat()).Chunk("data", samples);
  EXPECT_EQ(file.Contents(), shrunk.s);
}

TEST(RiffWavTest, Wave64WrittenWalkedAndShrunk) {
  const std::string samples = StereoSine(5);
  TempFile file("");
  ASSERT_EQ(WriteWave64(file.h(), samples), S_OK);
  const std::string bytes = Wave64Bytes(samples);
  ASSERT_EQ(file.Contents(), bytes);

  struct {
    const GUID* id;
    ULONGLONG size;
  } const kChunks[] = {
      {&kRiff64GuidFmt, 16}, {&kW64Junk, 3}, {&kRiff64GuidList, 48}, {&kW64Data, 24}};
  for (const auto& c : kChunks) {
    ULONGLONG size = 0;
    LONGLONG left = 0;
    EXPECT_EQ(riff64_FindChunkHeaderInRIFF(file.h(), *c.id, &size, &left), S_OK);
    EXPECT_EQ(size, c.size);
  }
  ASSERT_EQ(riff64_SeekDataStart(file.h()), S_OK);
  DWORD count = 0;
  LONGLONG left = static_cast<LONGLONG>(bytes.size()) - 40;
  ASSERT_EQ(riff64_GetNumListEntries(file.h(), &count, &left), S_OK);
  EXPECT_EQ(count, 4u);
  ULONGLONG list = 0;
  ASSERT_EQ(riff64_FindListChunkFromStart(file.h(), kW64Notes, &list), S_OK);
  EXPECT_EQ(list, 32u);
  ULONGLONG size = 0;
  left = static_cast<LONGLONG>(list);
  ASSERT_EQ(riff64_FindChunkHeader(file.h(), kW64Name, &size, &left), S_OK);
  char name[8] = {};
  ASSERT_EQ(riff64_ReadData(file.h(), name, size), S_OK);
  EXPECT_EQ(std::string(name), "Sine");
  GUID id;
  ASSERT_EQ(riff64_ReadChunkHeader(file.h(), &id, &size), S_OK);
  EXPECT_EQ(id, kW64Data);

  ULONGLONG removed = 0;
  ASSERT_EQ(riff64_DeleteChunk(file.h(), kW64Junk, &removed), S_OK);
  EXPECT_EQ(removed, 32u);
  ASSERT_EQ(riff64_DeleteChunk(file.h(), kRiff64GuidList, &removed), S_OK);
  EXPECT_EQ(removed, 72u);
  Bytes body;
  body.Guid(kRiff64GuidWave).Guid(kRiff64GuidFmt).U64(40).Raw(PcmFormat());
  body.Guid(kW64Data).U64(48).Raw(samples).Zeros(4);
  EXPECT_EQ(file.Contents(), Bytes().Guid(kRiff64GuidRiff).U64(24 + body.size()).Raw(body.s).s);
}

}  // namespace
