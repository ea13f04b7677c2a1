// Damaged input: every walker of the chunk layers ends with a status on
// sizes of 0, 0xFFFFFFFF and with the top bit set, on RIFF64 sizes below
// 24 or beyond the file, and on files and buffers cut anywhere. Buffers are
// allocated to their exact size, so the sanitizers see any read past them.
#include <gtest/gtest.h>

#include <memory>

#include "audio/WuWaveFormat.h"
#include "mediaformats/MRiff.h"
#include "platform/kernel/memory.h"
#include "tests/mediaformats/WavWriters.h"

using namespace rifftest;

namespace {

constexpr FOURCC kData = RiffId("data");
constexpr FOURCC kInfo = RiffId("INFO");

// Offsets of the size fields in WavBytes(): form, fmt, note, LIST, INAM,
// ISFT, data.
constexpr size_t kWavSizes[] = {4, 16, 40, 52, 64, 78, 94};
// Offsets of the size fields in Wave64Bytes(): form, fmt, junk, list, its
// entry, data.
constexpr size_t kW64Sizes[] = {16, 56, 96, 128, 168, 200};

// Runs the memory walkers over exactly `bytes`.
void WalkMemory(const std::string& bytes) {
  DWORD n = static_cast<DWORD>(bytes.size());
  std::unique_ptr<BYTE[]> buffer(new BYTE[n ? n : 1]);
  std::copy(bytes.begin(), bytes.end(), buffer.get());
  _tMRIFF m;
  ASSERT_EQ(mriff_Init(&m, buffer.get(), n, n), S_OK);
  DWORD size = 0, left = n, count = 0;
  mriff_FindChunkHeaderInRIFF(&m, kData, &size, &left);
  mriff_RestoreLocation(&m, 0);
  mriff_FindChunkHeaderInRIFF(&m, kData, &size, nullptr);
  mriff_FindListChunkFromStart(&m, kInfo, &size);
  left = size;
  mriff_GetNumListEntries(&m, &count, &left);
  mriff_GetNumListEntries(&m, &count, nullptr);
  char text[64];
  mriff_RestoreLocation(&m, 12);
  left = n;
  mriff_GetInfoString(&m, RiffId("ISFT"), text, sizeof text, &left);
  mriff_RestoreLocation(&m, 12);
  mriff_GetInfoString(&m, RiffId("INAM"), text, sizeof text, nullptr);
  _wuwaveformat_plus format;
  mriff_GetWfx(&format, buffer.get(), n, &size);
  mriff_RestoreLocation(&m, 12);
  char data[16];
  mriff_FindChunkHeader(&m, RiffId("fmt "), &size, nullptr);
  mriff_ReadDataBounded(&m, data, sizeof data, size);
  tRIFFALLOCDATA alloc = {size, nullptr};
  mriff_RestoreLocation(&m, 36);
  if (SUCCEEDED(mriff_ReadDataAlloc(&m, &alloc)) && alloc.pData) {
    GlobalUnlock(GlobalHandle(alloc.pData));
    GlobalFree(GlobalHandle(alloc.pData));
  }
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.get()), n), bytes);
  EXPECT_GE(m.pCursor, m.pStart);
  EXPECT_LE(m.pCursor, m.pDataEnd);
  EXPECT_EQ(m.pDataEnd, m.pStart + n);
}

// Runs the RIFF file walkers; the reads leave the file as it was, and the
// delete never writes past its old end.
void WalkRiffFile(const std::string& bytes) {
  TempFile file(bytes);
  DWORD size = 0, left = 0, count = 0;
  riff_FindChunkHeaderInRIFF(file.h(), kData, &size, &left);
  riff_FindChunkHeaderInRIFF(file.h(), RiffId("none"), &size, nullptr);
  riff_FindListChunkFromStart(file.h(), kInfo, &size);
  left = size;
  riff_GetNumListEntries(file.h(), &count, &left);
  riff_GetNumListEntries(file.h(), &count, nullptr);
  riff_SeekDataStart(file.h());
  left = 200;
  riff_SeekListEntry(file.h(), 10, &left);
  riff_GetFileSize(file.h(), &size);
  riff_ReadRIFFCDDA(file.h(), nullptr);
  file.Seek(12);
  char16_t text[32];
  size = 0xFFFFFFFF;
  riff_ReadANSIString(file.h(), text, 32, &size);
  EXPECT_EQ(file.Contents(), bytes);
  riff_DeleteChunk(file.h(), RiffId("note"), &size, FALSE);
  riff_DeleteChunk(file.h(), kInfo, &size, TRUE);
  EXPECT_LE(file.Contents().size(), bytes.size());
}

void WalkRiff64File(const std::string& bytes) {
  TempFile file(bytes);
  ULONGLONG size = 0;
  LONGLONG left = 0;
  DWORD count = 0;
  riff64_FindChunkHeaderInRIFF(file.h(), kW64Data, &size, &left);
  riff64_FindChunkHeaderInRIFF(file.h(), kW64Name, &size, nullptr);
  riff64_FindListChunkFromStart(file.h(), kW64Notes, &size);
  left = static_cast<LONGLONG>(size);
  riff64_GetNumListEntries(file.h(), &count, &left);
  riff64_GetNumListEntries(file.h(), &count, nullptr);
  riff64_SeekDataStart(file.h());
  left = 200;
  riff64_SeekListEntry(file.h(), 10, &left);
  EXPECT_EQ(file.Contents(), bytes);
  riff64_DeleteChunk(file.h(), kW64Junk, &size);
  riff64_DeleteChunk(file.h(), kW64Data, &size);
  EXPECT_LE(file.Contents().size(), bytes.size());
}

std::string With32(std::string bytes, size_t offset, uint32_t value) {
  return bytes.replace(offset, 4, Bytes().U32(value).s);
}
std::string With64(std::string bytes, size_t offset, uint64_t value) {
  return bytes.replace(offset, 8, Bytes().U64(value).s);
}

TEST(RiffBadInputTest, DamagedSizes) {
  const std::string wav = WavBytes(StereoSine(3));
  for (size_t offset : kWavSizes)
    for (uint32_t value : {0u, 1u, 0xFFFFFFFFu, 0x80000000u, 0xFFFFFFF0u, 0x7FFFFFFFu}) {
      SCOPED_TRACE(testing::Message() << "offset " << offset << " size " << value);
      std::string bytes = With32(wav, offset, value);
      WalkMemory(bytes);
      WalkRiffFile(bytes);
    }
  const std::string w64 = Wave64Bytes(StereoSine(3));
  for (size_t offset : kW64Sizes)
    for (uint64_t value : {0ull, 10ull, 23ull, 24ull, 1ull << 40, ~0ull, 1ull << 63, ~0ull - 20}) {
      SCOPED_TRACE(testing::Message() << "offset " << offset << " size " << value);
      WalkRiff64File(With64(w64, offset, value));
    }
}

TEST(RiffBadInputTest, CutAnywhere) {
  const std::string wav = WavBytes(StereoSine(3));
  for (size_t length = 0; length <= wav.size(); ++length) {
    SCOPED_TRACE(length);
    WalkMemory(wav.substr(0, length));
    WalkRiffFile(wav.substr(0, length));
  }
  const std::string w64 = Wave64Bytes(StereoSine(3));
  for (size_t length = 0; length <= w64.size(); length += 3) {
    SCOPED_TRACE(length);
    WalkRiff64File(w64.substr(0, length));
  }
}

}  // namespace
