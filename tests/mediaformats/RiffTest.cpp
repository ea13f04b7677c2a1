// RIFF chunk input and output on files.
#include "mediaformats/Riff.h"

#include <gtest/gtest.h>

#include "platform/kernel/memory.h"
#include "tests/mediaformats/RiffTestUtil.h"

using rifftest::At32;
using rifftest::Bytes;
using rifftest::TempFile;

namespace {

constexpr FOURCC kFmt = RiffId("fmt ");
constexpr FOURCC kData = RiffId("data");
constexpr FOURCC kInfo = RiffId("INFO");

// A form with a fmt chunk, an odd-sized chunk, an INFO list and data.
std::string InfoList() {
  return Bytes().Id("INFO").Chunk("INAM", std::string("Hello\0", 6)).Chunk("ICMT", "xyz").s;
}
std::string Form() {
  Bytes body;
  body.Id("WAVE").Chunk("fmt ", std::string(16, 'f')).Chunk("odd ", "abcde");
  body.Chunk("LIST", InfoList()).Chunk("data", "1234");
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(body.size())).Raw(body.s).s;
}
// Offsets in Form(): fmt at 12, odd at 36, LIST at 50, data at 88.
constexpr LONGLONG kOddAt = 36, kListAt = 50, kDataAt = 88;

TEST(RiffTest, PadsAndSizesOfOddChunks) {
  TempFile file(Form());
  file.Seek(kOddAt + 8);
  EXPECT_EQ(riff_SkipChunk(file.h(), 5), 6u);
  EXPECT_EQ(file.Position(), kListAt);

  TempFile out("");
  DWORD written = 0;
  ASSERT_EQ(riff_WriteChunk(out.h(), RiffId("odd "), "abcde", 5, &written), S_OK);
  EXPECT_EQ(written, 14u);
  EXPECT_EQ(out.Contents(), Bytes().Chunk("odd ", "abcde").s);

  // Data reads skip the pad byte of an odd count; a bounded read into a
  // small buffer still ends at the next header.
  char buffer[8] = {};
  file.Seek(kOddAt + 8);
  ASSERT_EQ(riff_ReadData(file.h(), buffer, 5), S_OK);
  EXPECT_EQ(file.Position(), kListAt);
  file.Seek(kOddAt + 8);
  ASSERT_EQ(riff_ReadDataBounded(file.h(), buffer, 2, 5), S_OK);
  EXPECT_EQ(std::string(buffer, 2), "ab");
  EXPECT_EQ(file.Position(), kListAt);
  file.Seek(kDataAt + 8);
  EXPECT_EQ(riff_ReadData(file.h(), buffer, 5), RIFF_E_READ);
}

TEST(RiffTest, HeadersAndValidation) {
  TempFile file(Form());
  DWORD size = 1;
  FOURCC type = 0;
  ASSERT_EQ(riff_ReadFileID(file.h(), &size, &type), S_OK);
  EXPECT_EQ(size, Form().size() - 12);
  EXPECT_EQ(type, RiffId("WAVE"));
  ASSERT_EQ(riff_GetFileSize(file.h(), &size), S_OK);
  EXPECT_EQ(size, Form().size());

  file.Seek(kListAt);
  ASSERT_EQ(riff_ReadListHeader(file.h(), &type, &size), S_OK);
  EXPECT_EQ(type, kInfo);
  EXPECT_EQ(size, InfoList().size() - 4);
  file.Seek(kOddAt);
  EXPECT_EQ(riff_ReadListHeader(file.h(), &type, &size), RIFF_E_NOT_LIST);

  TempFile not_riff(Bytes().Id("RIFX").U32(4).Id("WAVE").s);
  EXPECT_EQ(riff_ReadFileID(not_riff.h(), &size, &type), RIFF_E_NOT_RIFF);
  EXPECT_EQ(size, 0u);
  TempFile short_file("RIFF\x04");
  EXPECT_EQ(riff_ReadFileID(short_file.h(), &size, &type), RIFF_E_READ);

  struct {
    DWORD size;
    HRESULT expected;
  } const kSizes[] = {{0x80000000u, RIFF_E_BAD_SIZE}, {0xFFFFFFFFu, RIFF_E_BAD_SIZE},
                      {0, RIFF_E_ZERO_SIZE}, {1, S_OK}, {0x7FFFFFFF, S_OK}};
  for (const auto& c : kSizes)
    EXPECT_EQ(riff_ValidateChunkHeader(kData, c.size), c.expected) << std::hex << c.size;
}

TEST(RiffTest, SearchesAndTheirCounters) {
  TempFile file(Form());
  DWORD size = 0, left = 0;
  // Found across the form, with what remained.
  ASSERT_EQ(riff_FindChunkHeaderInRIFF(file.h(), kData, &size, &left), S_OK);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(left, 4u);
  EXPECT_EQ(file.Position(), kDataAt + 8);
  EXPECT_EQ(riff_FindChunkHeaderInRIFF(file.h(), RiffId("none"), &size, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(left, 0u);

  // 7 bytes left: nothing read, nothing moved.
  file.Seek(12);
  left = 7;
  EXPECT_EQ(riff_FindChunkHeader(file.h(), kFmt, &size, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(file.Position(), 12);
  EXPECT_EQ(left, 7u);
  // No counter: a missing chunk runs into the end of the file.
  EXPECT_EQ(riff_FindChunkHeader(file.h(), RiffId("none"), &size, nullptr), RIFF_E_READ);
  // A chunk larger than the counter lowers it to 0, not below.
  file.Seek(12);
  left = 20;
  EXPECT_EQ(riff_FindChunkHeader(file.h(), kData, &size, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(left, 0u);

  // Lists: found by type, the position at the first entry.
  ASSERT_EQ(riff_FindListChunkFromStart(file.h(), kInfo, &size), S_OK);
  EXPECT_EQ(size, InfoList().size() - 4);
  EXPECT_EQ(file.Position(), kListAt + 12);
  EXPECT_EQ(riff_FindListChunkFromStart(file.h(), RiffId("adtl"), &size), RIFF_E_NOT_FOUND);
}

TEST(RiffTest, ListEntriesAreCountedAndSoughtWithinTheList) {
  TempFile file(Form());
  DWORD size = 0;
  ASSERT_EQ(riff_FindListChunkFromStart(file.h(), kInfo, &size), S_OK);
  DWORD count = 0, left = size;
  ASSERT_EQ(riff_GetNumListEntries(file.h(), &count, &left), S_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(file.Position(), kListAt + 12);
  left = size;
  ASSERT_EQ(riff_SeekListEntry(file.h(), 1, &left), S_OK);
  FOURCC id = 0;
  ASSERT_EQ(riff_ReadChunkHeader(file.h(), &id, &size), S_OK);
  EXPECT_EQ(id, RiffId("ICMT"));
  left = 0;
  EXPECT_EQ(riff_SeekListEntry(file.h(), 1, &left), RIFF_E_NOT_FOUND);

  // An entry that claims more than its list holds ends the count there:
  // the chunks after the list are not counted.
  std::string list = Bytes().Id("INFO").Chunk("INAM", "ab").Id("IBIG").U32(0x7FFFFFF0).s;
  Bytes form;
  form.Id("RIFF").U32(0).Id("WAVE").Chunk("LIST", list);
  for (int i = 0; i < 5; ++i) form.Chunk("data", "xy");
  TempFile wrapped(form.s);
  ASSERT_EQ(riff_FindListChunkFromStart(wrapped.h(), kInfo, &size), RIFF_E_NOT_FOUND);
  wrapped.Seek(24);
  left = static_cast<DWORD>(list.size() - 4);
  ASSERT_EQ(riff_GetNumListEntries(wrapped.h(), &count, &left), S_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(left, 0u);
  EXPECT_EQ(wrapped.Position(), 24);
}

TEST(RiffTest, UpdateRiffSize) {
  const std::string form = Bytes().Id("RIFF").U32(100).Id("WAVE").Zeros(96).Raw("tail").s;
  struct {
    LONGLONG delta;
    HRESULT expected;
    uint32_t size_after;
    size_t length_after;
  } const kCases[] = {
      {0xFFFFFFF7ll - 100, S_OK, 0xFFFFFFF7u, 112},
      {0xFFFFFFF8ll - 100, RIFF_E_TOO_LARGE, 100, 108},  // cut at the old form's end
      {-100, S_OK, 0, 112},
      {-101, E_INVALIDARG, 100, 112},
      {-0x200000000ll, E_INVALIDARG, 100, 112},
  };
  for (const auto& c : kCases) {
    TempFile file(form);
    file.Seek(30);
    EXPECT_EQ(riff_UpdateRIFFSize(file.h(), static_cast<DWORD>(c.delta),
                                  static_cast<LONG>(c.delta >> 32)),
              c.expected)
        << c.delta;
    EXPECT_EQ(file.Position(), 30) << c.delta;
    EXPECT_EQ(At32(file.Contents(), 4), c.size_after) << c.delta;
    EXPECT_EQ(file.Contents().size(), c.length_after) << c.delta;
  }
  TempFile file(form);
  ASSERT_EQ(riff_SetRIFFSize(file.h(), 44), S_OK);
  EXPECT_EQ(At32(file.Contents(), 4), 44u);
  EXPECT_EQ(file.Position(), 0);
}

TEST(RiffTest, DeleteChunksAndLists) {
  const std::string form = Form();
  {
    TempFile file(form);
    DWORD removed = 0;
    ASSERT_EQ(riff_DeleteChunk(file.h(), kInfo, &removed, TRUE), S_OK);
    EXPECT_EQ(removed, 8 + InfoList().size());
    std::string expected = form.substr(0, kListAt) + form.substr(kDataAt);
    expected.replace(4, 4, Bytes().U32(At32(form, 4) - removed).s);
    EXPECT_EQ(file.Contents(), expected);
  }
  {
    TempFile file(form);
    DWORD removed = 0;
    ASSERT_EQ(riff_DeleteChunk(file.h(), RiffId("odd "), &removed, FALSE), S_OK);
    EXPECT_EQ(removed, 14u);
    EXPECT_EQ(file.Contents().size(), form.size() - 14);
    EXPECT_EQ(At32(file.Contents(), 4), At32(form, 4) - 14);
    EXPECT_EQ(file.Contents().substr(kOddAt, 8), form.substr(kListAt, 8));
  }
  {
    // Missing, and a chunk that claims more than its form: nothing changes.
    TempFile file(form);
    DWORD removed = 7;
    EXPECT_EQ(riff_DeleteChunk(file.h(), RiffId("none"), &removed, FALSE), RIFF_E_NOT_FOUND);
    EXPECT_EQ(removed, 0u);
    std::string oversized = Bytes().Id("RIFF").U32(24).Id("WAVE").Id("data").U32(64).Zeros(72).s;
    TempFile bad(oversized);
    EXPECT_EQ(riff_DeleteChunk(bad.h(), kData, &removed, FALSE), RIFF_E_WRONG_FORM);
    EXPECT_EQ(file.Contents(), form);
    EXPECT_EQ(bad.Contents(), oversized);
  }
}

// A last chunk of odd size whose pad byte the file lacks, or holds without
// the form counting it: the form shrinks by what it held of the chunk and
// ends where the file does.
TEST(RiffTest, DeleteALastChunkWithoutItsPadByte) {
  const std::string head = Bytes().Id("fmt ").U32(4).Raw("abcd").s;
  const std::string last = Bytes().Id("data").U32(11).Raw("hello world").s;
  struct Case {
    const char* name;
    std::string tail;      // after the chunk's 11 bytes
    uint32_t counted;      // of the tail, in the form
    DWORD removed;
  };
  const Case cases[] = {{"no pad byte", "", 0, 19},
                        {"pad byte not counted", std::string(1, '\0'), 0, 19},
                        {"pad byte counted", std::string(1, '\0'), 1, 20},
                        {"pad byte counted, not held", "", 1, 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint32_t form_size = static_cast<uint32_t>(4 + head.size() + last.size() + c.counted);
    TempFile file(Bytes().Id("RIFF").U32(form_size).Id("WAVE").Raw(head).Raw(last).Raw(c.tail).s);
    DWORD removed = 0;
    ASSERT_EQ(riff_DeleteChunk(file.h(), kData, &removed, FALSE), S_OK);
    EXPECT_EQ(removed, c.removed);
    EXPECT_EQ(file.Contents(), Bytes().Id("RIFF").U32(form_size - c.removed).Id("WAVE").Raw(head).s);
  }
}

TEST(RiffTest, DeleteMovesTailsLongerThanOneBlock) {
  std::string tail(9 << 20, '\0');
  for (size_t i = 0; i < tail.size(); ++i) tail[i] = static_cast<char>(i * 7 + i / 4093);
  Bytes body;
  body.Id("WAVE").Chunk("junk", "12345").Chunk("data", tail);
  std::string form = Bytes().Id("RIFF").U32(static_cast<uint32_t>(body.size())).Raw(body.s).s;
  TempFile file(form);
  DWORD removed = 0;
  ASSERT_EQ(riff_DeleteChunk(file.h(), RiffId("junk"), &removed, FALSE), S_OK);
  std::string expected = form.substr(0, 12) + form.substr(26);
  expected.replace(4, 4, Bytes().U32(At32(form, 4) - 14).s);
  EXPECT_TRUE(file.Contents() == expected);
}

TEST(RiffTest, AnsiStrings) {
  struct {
    std::string stored;  // the string chunk body as stored (without pad)
    DWORD buffer_chars;
    std::u16string expected;
  } const kCases[] = {
      {std::string("Hello\0", 6), 10, u"Hello"},
      {"Hello", 10, u"Hello"},  // no terminator: the last character stays
      {std::string("Hello\0", 6), 3, u"He"},
      {"", 10, u""},
      {"Hello", 0, u"unchanged"},
      {std::string("W\xE4rme\0", 6), 10, u"W\u00E4rme"},
  };
  for (const auto& c : kCases) {
    std::string body = c.stored + std::string(c.stored.size() & 1, '\0');
    TempFile file(body + "NEXT");
    char16_t buffer[16];
    std::u16string(u"unchanged").copy(buffer, 9);
    buffer[9] = 0;
    DWORD size = static_cast<DWORD>(c.stored.size());
    ASSERT_EQ(riff_ReadANSIString(file.h(), buffer, c.buffer_chars, &size), S_OK);
    EXPECT_EQ(std::u16string(buffer), c.expected) << c.stored;
    EXPECT_EQ(size, c.stored.size() + 1);
    EXPECT_EQ(file.Position(), static_cast<LONGLONG>(body.size())) << c.stored;
  }
  TempFile file("abc");
  DWORD size = 3;
  EXPECT_EQ(riff_ReadANSIString(file.h(), nullptr, 4, &size), E_INVALIDARG);
  char16_t buffer[4];
  EXPECT_EQ(riff_ReadANSIString(file.h(), buffer, 4, nullptr), E_INVALIDARG);
  size = 9;
  EXPECT_EQ(riff_ReadANSIString(file.h(), buffer, 16, &size), RIFF_E_READ);

  struct {
    const char16_t* text;
    std::string bytes;
  } const kWrites[] = {
      {u"Hi", std::string("Hi\0\0", 4)},
      {u"Hey", std::string("Hey\0", 4)},
      {u"", std::string(2, '\0')},
      {nullptr, std::string(2, '\0')},
  };
  for (const auto& w : kWrites) {
    TempFile out("");
    DWORD written = 0;
    ASSERT_EQ(riff_WriteANSIString(out.h(), w.text, &written), S_OK);
    EXPECT_EQ(out.Contents(), w.bytes);
    EXPECT_EQ(written, w.bytes.size());
  }
  EXPECT_EQ(riff_AnsiByteLength(u"W\u00E4rme"), 5u);
  EXPECT_EQ(riff_AnsiByteLength(nullptr), 0u);
}

TEST(RiffTest, DataIntoItsOwnBlock) {
  TempFile file(Form());
  size_t blocks = platform::LiveGlobalBlockCount();
  tRIFFALLOCDATA data = {0, reinterpret_cast<void*>(1)};
  ASSERT_EQ(riff_ReadDataAlloc(file.h(), &data), S_OK);
  EXPECT_EQ(data.pData, nullptr);
  file.Seek(kOddAt + 8);
  data.cbData = 5;
  ASSERT_EQ(riff_ReadDataAlloc(file.h(), &data), S_OK);
  ASSERT_NE(data.pData, nullptr);
  EXPECT_EQ(std::string(static_cast<char*>(data.pData), 5), "abcde");
  EXPECT_EQ(file.Position(), kListAt);
  HGLOBAL block = GlobalHandle(data.pData);
  GlobalUnlock(block);
  GlobalFree(block);
  file.Seek(kDataAt + 8);
  data.cbData = 50;
  EXPECT_EQ(riff_ReadDataAlloc(file.h(), &data), RIFF_E_READ);
  EXPECT_EQ(data.pData, nullptr);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks);
  EXPECT_EQ(riff_ReadDataAlloc(file.h(), nullptr), E_INVALIDARG);
}

TEST(RiffTest, FailedWritesAreReported) {
  TempFile file(Form(), GENERIC_READ);
  DWORD written = 1;
  EXPECT_EQ(riff_WriteChunk(file.h(), kData, "ab", 2, &written), RIFF_E_WRITE);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(riff_WriteFileID(file.h(), RiffId("WAVE"), 4), RIFF_E_WRITE);
  EXPECT_EQ(riff_WriteANSIString(file.h(), u"x", &written), RIFF_E_WRITE);
  EXPECT_EQ(riff_SetRIFFSize(file.h(), 4), RIFF_E_WRITE);
  EXPECT_EQ(riff_DeleteChunk(file.h(), RiffId("odd "), &written, FALSE), RIFF_E_WRITE);
}

}  // namespace
