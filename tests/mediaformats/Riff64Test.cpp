// RIFF64 chunk input and output on files.
#include "mediaformats/Riff64.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "tests/mediaformats/RiffTestUtil.h"

using rifftest::At64;
using rifftest::Bytes;
using rifftest::TempFile;

namespace {

const GUID kJunk = {0x6B6E756A, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
const GUID kData = {0x61746164, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
const GUID kInfo = {0x4F464E49, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};

// A form: fmt (16 bytes), junk (5 bytes, padded to 8), a list of one
// entry, data (12 bytes, padded to 16).
std::string List() { return Bytes().Guid(kInfo).Chunk64(kJunk, "entry").s; }
std::string Form() {
  Bytes body;
  body.Guid(kRiff64GuidWave).Chunk64(kRiff64GuidFmt, std::string(16, 'f'));
  body.Chunk64(kJunk, "abcde").Chunk64(kRiff64GuidList, List()).Chunk64(kData, "0123456789AB");
  return Bytes().Guid(kRiff64GuidRiff).U64(24 + body.size()).Raw(body.s).s;
}
// Offsets in Form(): fmt at 40, junk at 80, list at 112, data at 184.
constexpr LONGLONG kJunkAt = 80, kListAt = 112, kDataAt = 184;

TEST(Riff64Test, PadsAndSizes) {
  TempFile out("");
  ULONGLONG written = 0;
  ASSERT_EQ(riff64_WriteChunk(out.h(), kJunk, "abcde", 5, &written), S_OK);
  EXPECT_EQ(written, 32u);
  EXPECT_EQ(out.Contents(), Bytes().Guid(kJunk).U64(29).Raw("abcde").Zeros(3).s);

  // Written in two steps: the completed size counts the padding.
  TempFile two("");
  ULONGLONG start = 0;
  ASSERT_EQ(riff64_PrepareChunk(two.h(), kJunk, &start), S_OK);
  ASSERT_EQ(riff64_WriteToFile(two.h(), "abcde", 5), S_OK);
  ASSERT_EQ(riff64_CompleteChunk(two.h(), start), S_OK);
  EXPECT_EQ(two.Contents(), Bytes().Guid(kJunk).U64(32).Raw("abcde").Zeros(3).s);
  EXPECT_EQ(two.Position(), 32);

  TempFile file(Form());
  char buffer[16];
  file.Seek(kDataAt + 24);
  ASSERT_EQ(riff64_ReadData(file.h(), buffer, 12), S_OK);
  EXPECT_EQ(file.Position(), kDataAt + 24 + 16);
  file.Seek(kDataAt + 24);
  ASSERT_EQ(riff64_ReadData(file.h(), buffer, 16), S_OK);
  EXPECT_EQ(file.Position(), kDataAt + 24 + 16);
  file.Seek(kJunkAt + 24);
  ASSERT_EQ(riff64_ReadDataBounded(file.h(), buffer, 2, 5), S_OK);
  EXPECT_EQ(file.Position(), kListAt);
  file.Seek(kJunkAt + 24);
  EXPECT_EQ(riff64_SkipChunk(file.h(), 5), 8u);
  EXPECT_EQ(file.Position(), kListAt);

  // Stored sizes below 24 read as data size 0.
  TempFile small(Bytes().Guid(kJunk).U64(10).s);
  GUID id;
  ULONGLONG size = 1;
  ASSERT_EQ(riff64_ReadChunkHeader(small.h(), &id, &size), S_OK);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(id, kJunk);
}

TEST(Riff64Test, HeadersAndValidation) {
  TempFile file(Form());
  ULONGLONG size = 0;
  GUID type;
  ASSERT_EQ(riff64_ReadFileID(file.h(), &size, &type), S_OK);
  EXPECT_EQ(size, Form().size() - 40);
  EXPECT_EQ(type, kRiff64GuidWave);
  file.Seek(kListAt);
  ASSERT_EQ(riff64_ReadListHeader(file.h(), &type, &size), S_OK);
  EXPECT_EQ(type, kInfo);
  EXPECT_EQ(size, 32u);
  file.Seek(kJunkAt);
  EXPECT_EQ(riff64_ReadListHeader(file.h(), &type, &size), RIFF_E_NOT_LIST);
  TempFile riff32(Bytes().Id("RIFF").U32(4).Id("WAVE").Zeros(28).s);
  EXPECT_EQ(riff64_ReadFileID(riff32.h(), &size, &type), RIFF_E_NOT_RIFF);

  struct {
    ULONGLONG size;
    HRESULT expected;
  } const kSizes[] = {{12, RIFF_E_BAD_SIZE},     {1ull << 35, RIFF_E_BAD_SIZE},
                      {24, S_OK},                {0, RIFF_E_ZERO_SIZE},
                      {(1ull << 35) - 8, S_OK},  {1ull << 63, S_OK}};
  for (const auto& c : kSizes)
    EXPECT_EQ(riff64_ValidateChunkHeader(kJunk, c.size), c.expected) << c.size;
}

TEST(Riff64Test, SearchesAndTheirCounters) {
  TempFile file(Form());
  ULONGLONG size = 0;
  LONGLONG left = 0;
  ASSERT_EQ(riff64_FindChunkHeaderInRIFF(file.h(), kData, &size, &left), S_OK);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(left, 16);
  EXPECT_EQ(file.Position(), kDataAt + 24);

  file.Seek(40);
  left = 23;
  EXPECT_EQ(riff64_FindChunkHeader(file.h(), kData, &size, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(file.Position(), 40);
  EXPECT_EQ(left, 23);
  EXPECT_EQ(riff64_FindChunkHeader(file.h(), kInfo, &size, nullptr), RIFF_E_READ);
  // A chunk larger than the counter takes it below 0 and ends the scan.
  file.Seek(40);
  left = 30;
  EXPECT_EQ(riff64_FindChunkHeader(file.h(), kData, &size, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(left, -10);

  ASSERT_EQ(riff64_FindListChunkFromStart(file.h(), kInfo, &size), S_OK);
  EXPECT_EQ(size, 32u);
  EXPECT_EQ(file.Position(), kListAt + 40);
  DWORD count = 0;
  left = static_cast<LONGLONG>(size);
  ASSERT_EQ(riff64_GetNumListEntries(file.h(), &count, &left), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(file.Position(), kListAt + 40);
  left = 32;
  ASSERT_EQ(riff64_SeekListEntry(file.h(), 1, &left), S_OK);
  EXPECT_EQ(file.Position(), kDataAt);
  EXPECT_EQ(riff64_SeekListEntry(file.h(), 1, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(riff64_FindListChunkFromStart(file.h(), kJunk, &size), RIFF_E_NOT_FOUND);

  // A list type cut by the end of the bounded range is not read.
  std::string list = Bytes().Guid(kRiff64GuidList).U64(40).Guid(kInfo).s;
  TempFile cut(list + Bytes().Chunk64(kData, "x").s);
  left = 32;
  EXPECT_EQ(riff64_FindListChunk(cut.h(), kInfo, &size, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(cut.Position(), 24);

  // An entry that claims more than its list holds ends the count there.
  Bytes wrapped;
  wrapped.Chunk64(kJunk, "a").Guid(kJunk).U64(1ull << 40);
  for (int i = 0; i < 4; ++i) wrapped.Chunk64(kData, "b");
  TempFile entries(wrapped.s);
  left = 56;
  ASSERT_EQ(riff64_GetNumListEntries(entries.h(), &count, &left), S_OK);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(left, 0);
}

TEST(Riff64Test, SizesOfTheForm) {
  TempFile file(Form());
  file.Seek(100);
  ASSERT_EQ(riff64_UpdateRIFFSize(file.h(), -8), S_OK);
  EXPECT_EQ(At64(file.Contents(), 16), Form().size() - 8);
  EXPECT_EQ(file.Position(), 100);
  EXPECT_EQ(riff64_UpdateRIFFSize(file.h(), -static_cast<LONGLONG>(Form().size())), E_INVALIDARG);
  EXPECT_EQ(At64(file.Contents(), 16), Form().size() - 8);
  ASSERT_EQ(riff64_SetRIFFSize(file.h(), 1000), S_OK);
  EXPECT_EQ(At64(file.Contents(), 16), 1024u);
  EXPECT_EQ(file.Position(), 100);
  EXPECT_EQ(riff64_AmountWritten(file.h(), 60), 40);
  ASSERT_EQ(riff64_SeekDataStart(file.h()), S_OK);
  EXPECT_EQ(file.Position(), 40);
  ULONGLONG at = 0;
  riff64_SaveLocation(file.h(), &at);
  riff64_RestoreLocation(file.h(), 7, 0);
  EXPECT_EQ(file.Position(), 7);
  riff64_RestoreLocation(file.h(), static_cast<DWORD>(at), 0);
  EXPECT_EQ(file.Position(), 40);
  EXPECT_EQ(riff64_getGUIDLabel(kJunk), nullptr);
  EXPECT_EQ(riff64_getGUIDLabelProperly(kJunk, 1, 2), nullptr);
}

TEST(Riff64Test, DeleteChunks) {
  const std::string form = Form();
  {
    TempFile file(form);
    ULONGLONG removed = 0;
    ASSERT_EQ(riff64_DeleteChunk(file.h(), kJunk, &removed), S_OK);
    EXPECT_EQ(removed, 32u);
    std::string expected = form.substr(0, kJunkAt) + form.substr(kListAt);
    expected.replace(16, 8, Bytes().U64(form.size() - 32).s);
    EXPECT_EQ(file.Contents(), expected);
  }
  {
    // The last chunk: the file is cut at its start.
    TempFile file(form);
    ULONGLONG removed = 0;
    ASSERT_EQ(riff64_DeleteChunk(file.h(), kData, &removed), S_OK);
    EXPECT_EQ(removed, 40u);
    EXPECT_EQ(file.Contents().size(), static_cast<size_t>(kDataAt));
    EXPECT_EQ(At64(file.Contents(), 16), static_cast<uint64_t>(kDataAt));
  }
  {
    TempFile file(form);
    ULONGLONG removed = 1;
    EXPECT_EQ(riff64_DeleteChunk(file.h(), kInfo, &removed), RIFF_E_NOT_FOUND);
    EXPECT_EQ(removed, 0u);
    std::string oversized = Bytes().Guid(kRiff64GuidRiff).U64(72).Guid(kRiff64GuidWave)
                                .Guid(kData).U64(4096).Zeros(64).s;
    TempFile bad(oversized);
    EXPECT_EQ(riff64_DeleteChunk(bad.h(), kData, &removed), RIFF_E_WRONG_FORM);
    EXPECT_EQ(bad.Contents(), oversized);
    EXPECT_EQ(file.Contents(), form);
  }
}

// A last chunk whose data the file does not pad to 8, or pads without the
// form counting it, or whose padding the form counts and the file lacks:
// the form shrinks by what it held of the chunk and ends where the file
// does.
TEST(Riff64Test, DeleteALastChunkWithoutItsPadding) {
  const std::string head = Bytes().Chunk64(kJunk, "abcd").s;
  const std::string last = Bytes().Guid(kData).U64(24 + 11).Raw("hello world").s;
  struct Case {
    const char* name;
    size_t padding;  // zero bytes after the chunk's data
    size_t counted;  // padding bytes the form counts
    ULONGLONG removed;
  };
  const Case cases[] = {{"no padding", 0, 0, 35},
                        {"padding not counted", 5, 0, 35},
                        {"padding counted", 5, 5, 40},
                        {"padding counted, partly held", 3, 5, 40},
                        {"padding counted, not held", 0, 5, 40}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint64_t form_size = 40 + head.size() + last.size() + c.counted;
    TempFile file(Bytes().Guid(kRiff64GuidRiff).U64(form_size).Guid(kRiff64GuidWave).Raw(head)
                      .Raw(last).Zeros(c.padding).s);
    ULONGLONG removed = 0;
    ASSERT_EQ(riff64_DeleteChunk(file.h(), kData, &removed), S_OK);
    EXPECT_EQ(removed, c.removed);
    EXPECT_EQ(file.Contents(),
              Bytes().Guid(kRiff64GuidRiff).U64(form_size - c.removed).Guid(kRiff64GuidWave).Raw(head).s);
  }
}

TEST(Riff64Test, DeleteReportsAFailedSizeUpdate) {
  // The process may write no byte past offset 20: the last chunk's removal
  // only shortens the file, and the form size at offset 16 cannot be
  // written whole.
  TempFile file(Form());
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = {20, old_limit.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  ULONGLONG removed = 0;
  HRESULT hr = riff64_DeleteChunk(file.h(), kData, &removed);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(hr, RIFF_E_WRITE);
  EXPECT_EQ(removed, 40u);
  EXPECT_EQ(file.Contents().size(), static_cast<size_t>(kDataAt));
}

TEST(Riff64Test, TwoStepListsAndData) {
  TempFile out("");
  ULONGLONG list = 0, written = 0;
  ASSERT_EQ(riff64_PrepareList(out.h(), kInfo, &list), S_OK);
  ASSERT_EQ(riff64_WriteChunk(out.h(), kJunk, "entry", 5, &written), S_OK);
  ASSERT_EQ(riff64_CompleteChunk(out.h(), list), S_OK);
  ASSERT_EQ(riff64_WriteChunkToFile(out.h(), kData, "xyz", 3, 0), S_OK);
  ASSERT_EQ(riff64_WriteData(out.h(), "abcdefghi", 9, &written), S_OK);
  EXPECT_EQ(written, 16u);
  EXPECT_EQ(out.Contents(), Bytes().Chunk64(kRiff64GuidList, List()).Guid(kData).U64(32)
                                .Raw("xyz").Zeros(5).Raw("abcdefghi").Zeros(7).s);
  TempFile read_only(Form(), GENERIC_READ);
  EXPECT_EQ(riff64_WriteChunk(read_only.h(), kJunk, "a", 1, &written), RIFF_E_WRITE);
  EXPECT_EQ(riff64_PrepareList(read_only.h(), kInfo, &list), RIFF_E_WRITE);
  EXPECT_EQ(riff64_WriteFileID(read_only.h(), kRiff64GuidWave, 16), RIFF_E_WRITE);
}

}  // namespace
