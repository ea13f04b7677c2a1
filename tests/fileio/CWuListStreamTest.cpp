// The template list stream: its bytes, reading it back, seeking, and
// refusing bad sizes.
#include "fileio/CWuListStream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "fileio/WuFioTemplateList.h"
#include "tests/fileio/TemplateBytes.h"

namespace {

using fio_test::Append;
using fio_test::BytesOf;
using fio_test::MakeRecord;

// Everything the stream gives, read in pieces of `chunk` bytes.
std::vector<BYTE> Drain(IStream* s, ULONG chunk = 7) {
  std::vector<BYTE> all;
  std::vector<BYTE> buf(chunk);
  for (;;) {
    ULONG got = 0;
    HRESULT hr = s->Read(buf.data(), chunk, &got);
    if (hr != S_OK) {
      EXPECT_EQ(hr, E_INVALIDARG);
      EXPECT_EQ(got, 0u);
      break;
    }
    all.insert(all.end(), buf.begin(), buf.begin() + got);
  }
  return all;
}

// A memory stream holding `bytes`.
IStream* MemoryStream(const std::vector<BYTE>& bytes) {
  IStream* s = nullptr;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &s), S_OK);
  ULONG written = 0;
  s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  return s;
}

void PutWord(std::vector<BYTE>& v, DWORD w) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<BYTE>(w >> (8 * i)));
}

TEST(TemplateListStream, EmptyListIsTwelveBytesAndReadsBackToNothing) {
  tWULIST* list = fio_test::NewTemplateList();
  IStream* s = nullptr;
  ASSERT_EQ(WuFio_MakeTemplateListIStream(list, &s), S_OK);
  EXPECT_EQ(Drain(s), (std::vector<BYTE>{12, 0, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0}));
  tWULIST* back = fio_test::NewTemplateList();
  EXPECT_EQ(WuFio_AddTemplatesToListFromIStream(back, s), S_OK);
  EXPECT_EQ(back->count, 0);
  EXPECT_EQ(s->Release(), 0u);
  WuList_Destroy(back);
  WuList_Destroy(list);
}

TEST(TemplateListStream, RecordsRoundTripInOrderAndARepeatedPointerOnce) {
  tWULIST* list = fio_test::NewBorrowingList();
  tagWUTEMPLATExV2* a = MakeRecord(u"Alpha", u"first", 5, 1);
  tagWUTEMPLATExV2* b = MakeRecord(u"", u"", 0, 2);
  tagWUTEMPLATExV2* c = MakeRecord(u"Gamma", u"", 8, 3);
  for (void* r : {static_cast<void*>(a), static_cast<void*>(a), static_cast<void*>(b),
                  static_cast<void*>(c)})
    Append(list, r);
  IStream* s = nullptr;
  ASSERT_EQ(WuFio_MakeTemplateListIStream(list, &s), S_OK);
  std::vector<BYTE> expect{12, 0, 0, 0, 100, 0, 0, 0, 3, 0, 0, 0};
  for (void* r : {static_cast<void*>(a), static_cast<void*>(b), static_cast<void*>(c)}) {
    std::vector<BYTE> bytes = BytesOf(r);
    expect.insert(expect.end(), bytes.begin(), bytes.end());
  }
  EXPECT_EQ(Drain(s, 5), expect);

  tWULIST* back = fio_test::NewTemplateList();
  ASSERT_EQ(WuFio_AddTemplatesToListFromIStream(back, s), S_OK);
  ASSERT_EQ(back->count, 3);
  EXPECT_EQ(BytesOf(WuList_PointerAt(back, 0)), BytesOf(a));
  EXPECT_EQ(BytesOf(WuList_PointerAt(back, 1)), BytesOf(b));
  EXPECT_EQ(BytesOf(WuList_PointerAt(back, 2)), BytesOf(c));
  // The reader left the stream at its start: it reads the same again.
  EXPECT_EQ(Drain(s, 4096), expect);
  s->Release();
  WuList_Destroy(back);
  WuList_Destroy(list);
  for (void* r : {static_cast<void*>(a), static_cast<void*>(b), static_cast<void*>(c)})
    std::free(r);
}

TEST(TemplateListStream, SeekCountsRecordsAndNeverLeavesTheList) {
  tWULIST* list = fio_test::NewTemplateList();
  Append(list, MakeRecord(u"One"));
  Append(list, nullptr);  // passed over
  Append(list, MakeRecord(u"Two"));
  IStream* s = nullptr;
  ASSERT_EQ(WuFio_MakeTemplateListIStream(list, &s), S_OK);
  ULARGE_INTEGER pos{};
  LARGE_INTEGER move{};
  EXPECT_EQ(s->Seek(move, STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 3u);
  BYTE byte;
  EXPECT_EQ(s->Read(&byte, 1, nullptr), E_INVALIDARG);  // nothing left
  EXPECT_EQ(s->Seek(move, STREAM_SEEK_SET, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 0u);
  // From inside the header: finish it, then move through the first record.
  BYTE head[5];
  ASSERT_EQ(s->Read(head, 5, nullptr), S_OK);
  const DWORD first = WuTpl_Size(WuList_PointerAt(list, 0));
  move.QuadPart = 7 + first;
  EXPECT_EQ(s->Seek(move, STREAM_SEEK_CUR, &pos), S_OK);
  std::vector<BYTE> rest = Drain(s);
  EXPECT_EQ(rest, BytesOf(WuList_PointerAt(list, 2)));
  // Past the end is refused.
  EXPECT_EQ(s->Seek(move, STREAM_SEEK_SET, nullptr), S_OK);
  move.QuadPart = 100000;
  EXPECT_EQ(s->Seek(move, STREAM_SEEK_CUR, &pos), WUTPL_E_NO_LIST);
  EXPECT_EQ(pos.QuadPart, 3u);
  EXPECT_EQ(s->Read(nullptr, 1, nullptr), E_INVALIDARG);
  EXPECT_EQ(s->Write(head, 1, nullptr), E_NOTIMPL);
  s->Release();
  WuList_Destroy(list);
}

TEST(TemplateListStream, BadSizesAreRefusedAndEarlierRecordsStay) {
  tagWUTEMPLATExV2* good = MakeRecord(u"Good");
  const std::vector<BYTE> goodBytes = BytesOf(good);
  std::free(good);
  struct Case {
    const char* what;
    DWORD size;        // the second record's size word
    HRESULT expected;
  } cases[] = {
      {"too small", 535, WU_E_BAD_DATA},
      {"too large", 0x02000001, WU_E_BAD_DATA},
      {"huge", 0xFFFFFFF0, WU_E_BAD_DATA},
      {"short record", 600, WU_E_BAD_DATA},
  };
  for (const Case& c : cases) {
    std::vector<BYTE> bytes;
    PutWord(bytes, 12);
    PutWord(bytes, 100);
    PutWord(bytes, 2);
    bytes.insert(bytes.end(), goodBytes.begin(), goodBytes.end());
    PutWord(bytes, c.size);
    bytes.resize(bytes.size() + 100);
    IStream* s = MemoryStream(bytes);
    tWULIST* list = fio_test::NewTemplateList();
    EXPECT_EQ(WuFio_AddTemplatesToListFromIStream(list, s), c.expected) << c.what;
    ASSERT_EQ(list->count, 1) << c.what;
    EXPECT_EQ(BytesOf(WuList_PointerAt(list, 0)), goodBytes);
    s->Release();
    WuList_Destroy(list);
  }
  // A short header, and a missing size word.
  tWULIST* list = fio_test::NewTemplateList();
  IStream* s = MemoryStream({12, 0, 0, 0, 100});
  EXPECT_EQ(WuFio_AddTemplatesToListFromIStream(list, s), E_FAIL);
  s->Release();
  s = MemoryStream({12, 0, 0, 0, 100, 0, 0, 0, 1, 0, 0, 0, 9});
  EXPECT_EQ(WuFio_AddTemplatesToListFromIStream(list, s), E_FAIL);
  EXPECT_EQ(WuFio_AddTemplatesToListFromIStream(nullptr, s), E_POINTER);
  s->Release();
  EXPECT_EQ(list->count, 0);
  WuList_Destroy(list);
}

TEST(TemplateListStream, FindByNameIgnoresCase) {
  tWULIST* list = fio_test::NewTemplateList();
  Append(list, MakeRecord(u"Alpha"));
  Append(list, MakeRecord(u"Beta", u"notes", 3));
  LONG index = 0;
  EXPECT_EQ(WuFio_GetTemplateByNameNoCopy(list, u"bETA", &index), WuList_PointerAt(list, 1));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(WuFio_GetTemplateByNameNoCopy(list, u"Gamma", &index), nullptr);
  EXPECT_EQ(index, -2);
  tagWUTEMPLATExV2* copy = WuFio_GetTemplateByName(list, u"alpha");
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(static_cast<void*>(copy), WuList_PointerAt(list, 0));
  EXPECT_EQ(BytesOf(copy), BytesOf(WuList_PointerAt(list, 0)));
  std::free(copy);
  WuList_Destroy(list);
}

}  // namespace
