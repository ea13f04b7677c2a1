// RIFF over memory buffers.
#include "mediaformats/MRiff.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/kernel/memory.h"
#include "tests/mediaformats/RiffTestUtil.h"

using rifftest::Bytes;

namespace {

constexpr FOURCC kInfo = RiffId("INFO");

// A reader's cursor over a copy of `bytes`.
struct Reader {
  std::string bytes;
  _tMRIFF m;
  explicit Reader(std::string b) : bytes(std::move(b)) {
    EXPECT_EQ(mriff_Init(&m, bytes.data(), static_cast<DWORD>(bytes.size()),
                         static_cast<DWORD>(bytes.size())),
              S_OK);
  }
  size_t Offset() const { return static_cast<size_t>(m.pCursor - m.pStart); }
};

std::string InfoList() {
  // INAM holds no terminator and is followed by ICMT.
  return Bytes().Id("INFO").Chunk("INAM", "Title").Chunk("ICMT", std::string("Note\0", 5)).s;
}
std::string Form() {
  Bytes body;
  body.Id("WAVE").Chunk("fmt ", std::string(16, 'f')).Chunk("odd ", "abcde");
  body.Chunk("LIST", InfoList()).Chunk("data", "1234");
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(body.size())).Raw(body.s).s;
}
constexpr size_t kOddAt = 36, kListAt = 50;

TEST(MRiffTest, CursorSetUpAndMoves) {
  BYTE buffer[16] = {};
  _tMRIFF m;
  EXPECT_EQ(mriff_Init(&m, buffer, 10, 8), E_INVALIDARG);
  EXPECT_EQ(mriff_Init(nullptr, buffer, 8, 8), E_POINTER);
  EXPECT_EQ(mriff_Init(&m, nullptr, 0, 8), E_POINTER);
  ASSERT_EQ(mriff_Init(&m, buffer, 10, 16), S_OK);

  struct {
    LONG distance;
    DWORD method;
    DWORD offset;
  } const kMoves[] = {
      {5, 2, 10},  // from the data end: clamped to it
      {4, 0, 4},   {3, 1, 7},  {-20, 1, 0}, {-3, 2, 7},
      {2, 9, 7},   // unknown method: the cursor stays
  };
  for (const auto& c : kMoves) {
    EXPECT_EQ(mriff_SetFilePointer(&m, c.distance, nullptr, c.method), c.offset)
        << c.distance << " " << c.method;
    EXPECT_EQ(mriff_GetFilePointer(&m), buffer + c.offset);
  }
  EXPECT_EQ(mriff_WuSetFilePointer(&m, 1, 0), 1);
  DWORD at = 0;
  mriff_SaveLocation(&m, &at);
  EXPECT_EQ(at, 1u);
  mriff_RestoreLocation(&m, 0xFFFFFFFF);
  EXPECT_EQ(m.pCursor, buffer + 10);
  mriff_RestoreLocation(&m, 3);
  EXPECT_EQ(mriff_SkipChunk(&m, 5), 6u);
  EXPECT_EQ(m.pCursor, buffer + 9);
  EXPECT_EQ(mriff_SkipChunk(&m, 0xFFFFFFFF), 0u);
  EXPECT_EQ(m.pCursor, buffer + 10);
  mriff_SeekDataStart(&m);
  EXPECT_EQ(m.pCursor, buffer + 10);
  EXPECT_EQ(mriff_UpdateDataSize(&m, 4), 4u);
  EXPECT_EQ(mriff_UpdateDataSize(&m, 4), 2u);
  EXPECT_EQ(m.pDataEnd, buffer + 16);
}

TEST(MRiffTest, RawTransfersStopAtTheEnds) {
  BYTE buffer[8] = {};
  _tMRIFF m;
  ASSERT_EQ(mriff_Init(&m, buffer, 0, 8), S_OK);
  mriff_WriteFile(&m, "12", 2, nullptr, nullptr);
  mriff_WuSetFilePointer(&m, 4, 0);  // clamped to the data end, 2
  DWORD written = 0;
  EXPECT_TRUE(mriff_WriteFile(&m, "abcdef", 6, &written, nullptr));
  EXPECT_EQ(written, 6u);
  EXPECT_TRUE(mriff_WriteFile(&m, "ghijkl", 6, &written, nullptr));  // 6 bytes into 0 of room
  EXPECT_EQ(written, 0u);
  mriff_WuSetFilePointer(&m, 4, 0);
  EXPECT_TRUE(mriff_WriteFile(&m, "ABCDEF", 6, &written, nullptr));  // 6 into 4 of room
  EXPECT_EQ(written, 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 8), "12abABCD");
  EXPECT_EQ(m.pDataEnd, buffer + 8);

  char out[8];
  DWORD read = 0;
  mriff_WuSetFilePointer(&m, 5, 0);
  EXPECT_FALSE(mriff_ReadFile(&m, out, 6, &read, nullptr));
  EXPECT_EQ(read, 3u);
  EXPECT_EQ(std::string(out, 3), "BCD");

  // A chunk header with 6 bytes of room: the id and 2 bytes of the size.
  BYTE small[6] = {};
  ASSERT_EQ(mriff_Init(&m, small, 0, 6), S_OK);
  EXPECT_EQ(mriff_WriteChunkHeader(&m, RiffId("data"), 0x04030201), RIFF_E_WRITE);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(small), 6), "data\x01\x02");
  EXPECT_EQ(m.pDataEnd, small + 6);

  BYTE header[12];
  ASSERT_EQ(mriff_Init(&m, header, 0, 12), S_OK);
  ASSERT_EQ(mriff_WriteFileID(&m, RiffId("WAVE"), 36), S_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(header), 12), Bytes().Id("RIFF").U32(36).Id("WAVE").s);
  ASSERT_EQ(mriff_Init(&m, header, 0, 12), S_OK);
  ASSERT_EQ(mriff_WriteListHeader(&m, kInfo, 4), S_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(header), 12), Bytes().Id("LIST").U32(4).Id("INFO").s);
}

TEST(MRiffTest, HeadersAndData) {
  Reader r(Form());
  DWORD size = 0;
  FOURCC type = 0;
  ASSERT_EQ(mriff_ReadFileID(&r.m, &size, &type), S_OK);
  EXPECT_EQ(size, r.bytes.size() - 12);
  EXPECT_EQ(type, RiffId("WAVE"));
  mriff_RestoreLocation(&r.m, kListAt);
  ASSERT_EQ(mriff_ReadListHeader(&r.m, &type, &size), S_OK);
  EXPECT_EQ(type, kInfo);
  mriff_RestoreLocation(&r.m, kOddAt);
  EXPECT_EQ(mriff_ReadListHeader(&r.m, &type, &size), RIFF_E_NOT_LIST);

  char buffer[8];
  mriff_RestoreLocation(&r.m, kOddAt + 8);
  ASSERT_EQ(mriff_ReadDataBounded(&r.m, buffer, 2, 5), S_OK);
  EXPECT_EQ(r.Offset(), kListAt);
  mriff_RestoreLocation(&r.m, kOddAt + 8);
  ASSERT_EQ(mriff_ReadData(&r.m, buffer, 5), S_OK);
  EXPECT_EQ(r.Offset(), kListAt);

  tRIFFALLOCDATA data = {5, nullptr};
  mriff_RestoreLocation(&r.m, kOddAt + 8);
  ASSERT_EQ(mriff_ReadDataAlloc(&r.m, &data), S_OK);
  EXPECT_EQ(std::string(static_cast<char*>(data.pData), 5), "abcde");
  HGLOBAL block = GlobalHandle(data.pData);
  GlobalUnlock(block);
  GlobalFree(block);

  // Cut anywhere: a short header or body copies what is there and fails.
  Reader cut(Form().substr(0, kOddAt + 6));
  mriff_RestoreLocation(&cut.m, kOddAt);
  FOURCC id = 0;
  EXPECT_EQ(mriff_ReadChunkHeader(&cut.m, &id, &size), RIFF_E_READ);
  EXPECT_EQ(id, RiffId("odd "));
  EXPECT_EQ(cut.Offset(), kOddAt + 6);
  Reader body(Form().substr(0, kOddAt + 10));
  mriff_RestoreLocation(&body.m, kOddAt + 8);
  EXPECT_EQ(mriff_ReadData(&body.m, buffer, 5), RIFF_E_READ);
  EXPECT_EQ(body.Offset(), kOddAt + 10);
  Reader not_riff(std::string("RIFX\x04\0\0\0WAVE", 12));
  EXPECT_EQ(mriff_ReadFileID(&not_riff.m, &size, &type), RIFF_E_NOT_RIFF);
}

TEST(MRiffTest, SearchesAndTheirCounters) {
  Reader r(Form());
  DWORD size = 0, left = 7;
  mriff_SeekDataStart(&r.m);
  EXPECT_EQ(mriff_FindChunkHeader(&r.m, RiffId("fmt "), &size, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(r.Offset(), 12u);
  EXPECT_EQ(mriff_FindChunkHeader(&r.m, RiffId("none"), &size, nullptr), RIFF_E_READ);
  mriff_SeekDataStart(&r.m);
  left = 20;
  EXPECT_EQ(mriff_FindChunkHeader(&r.m, RiffId("data"), &size, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(left, 0u);

  // In the form from the cursor: the counter counts from the cursor.
  mriff_RestoreLocation(&r.m, 0);
  left = 11;
  EXPECT_EQ(mriff_FindChunkHeaderInRIFF(&r.m, RiffId("data"), &size, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(r.Offset(), 0u);
  left = static_cast<DWORD>(r.bytes.size());
  ASSERT_EQ(mriff_FindChunkHeaderInRIFF(&r.m, RiffId("data"), &size, &left), S_OK);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(left, 4u);

  ASSERT_EQ(mriff_FindListChunkFromStart(&r.m, kInfo, &size), S_OK);
  EXPECT_EQ(size, InfoList().size() - 4);
  EXPECT_EQ(r.Offset(), kListAt + 12);
  DWORD count = 0;
  left = size;
  ASSERT_EQ(mriff_GetNumListEntries(&r.m, &count, &left), S_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(r.Offset(), kListAt + 12);
  EXPECT_EQ(mriff_FindListChunkFromStart(&r.m, RiffId("adtl"), &size), RIFF_E_NOT_FOUND);

  // An entry that claims more than its list holds ends the count there.
  std::string list = Bytes().Chunk("INAM", "ab").Id("IBIG").U32(0xFFFFFFF0).s;
  Reader wrapped(list + Bytes().Chunk("data", "xy").Chunk("data", "xy").s);
  left = static_cast<DWORD>(list.size());
  ASSERT_EQ(mriff_GetNumListEntries(&wrapped.m, &count, &left), S_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(wrapped.Offset(), 0u);
  EXPECT_EQ(mriff_GetNumListEntries(&wrapped.m, &count, nullptr), RIFF_E_READ);
  EXPECT_EQ(wrapped.Offset(), 0u);
}

TEST(MRiffTest, InfoStringsHoldOnlyTheirItem) {
  Reader r(Form());
  struct {
    FOURCC item;
    DWORD buffer_size;
    HRESULT expected;
    std::string text;
  } const kCases[] = {
      {RiffId("INAM"), 32, S_OK, "Title"},  // no NUL of its own; ICMT follows
      {RiffId("ICMT"), 32, S_OK, "Note"},
      {RiffId("INAM"), 4, S_OK, "Tit"},
      {RiffId("INAM"), 1, S_OK, ""},
      {RiffId("IART"), 32, RIFF_E_NOT_FOUND, ""},
  };
  for (const auto& c : kCases) {
    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    mriff_RestoreLocation(&r.m, 12);
    EXPECT_EQ(mriff_GetInfoString(&r.m, c.item, buffer, c.buffer_size, nullptr), c.expected)
        << c.text;
    EXPECT_EQ(std::string(buffer), c.text);
    EXPECT_EQ(r.Offset(), 12u);
  }
  char untouched = 'x';
  EXPECT_EQ(mriff_GetInfoString(&r.m, RiffId("INAM"), &untouched, 0, nullptr), S_OK);
  EXPECT_EQ(untouched, 'x');
  // An item that claims more than its list holds is cut at the list's end.
  std::string list = Bytes().Id("INFO").Id("INAM").U32(40).Raw("Short").s;
  Reader big(Bytes().Chunk("LIST", list).Chunk("ICMT", "outside of it").s);
  char buffer[64];
  ASSERT_EQ(mriff_GetInfoString(&big.m, RiffId("INAM"), buffer, sizeof buffer, nullptr), S_OK);
  EXPECT_EQ(std::string(buffer), "Short");
}

}  // namespace
