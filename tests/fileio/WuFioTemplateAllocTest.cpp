// Allocation, name and notes, and release of render templates.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fileio/WuFioTemplate.h"
#include "foundation/WuList.h"
#include "foundation/WuStatus.h"

namespace {

struct FreeRecord {
  void operator()(tagWUTEMPLATExV2* r) const { WuFio_ReleaseTemplate(r); }
};
using Record = std::unique_ptr<tagWUTEMPLATExV2, FreeRecord>;

std::u16string Text(LPCWSTR s) { return s; }

TEST(WuFioTemplateAlloc, NewTemplateSizesAndClassId) {
  tagWUTEMPLATExV2 source{};
  source.classId = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
  struct Case {
    LPCWSTR name, notes;
    LONG privateSize;
    const tagWUTEMPLATExV2* source;
    DWORD total, textLength, nameOffset;
    bool classIdSet;
  } cases[] = {
      {nullptr, nullptr, 0, nullptr, 540, 2, 536, false},
      {u"", u"", 0, &source, 540, 2, 536, false},        // no private bytes: no class id
      {nullptr, nullptr, 5, nullptr, 548, 2, 544, false}, // private bytes, no source
      {nullptr, nullptr, 5, &source, 548, 2, 544, true},
      {u"Abc", u"de", 8, &source, 536 + 8 + 2 * 7, 7, 544, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.total);
    Record r(WuFio_NewTemplate(c.name, c.notes, c.privateSize, c.source));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->totalSize, c.total);
    EXPECT_EQ(r->textLength, c.textLength);
    EXPECT_EQ(r->privateSize, c.privateSize);
    EXPECT_TRUE(r->HasValidLayout());
    EXPECT_EQ(reinterpret_cast<const BYTE*>(r->GetName()) - reinterpret_cast<const BYTE*>(r.get()),
              static_cast<ptrdiff_t>(c.nameOffset));
    EXPECT_EQ(Text(r->GetName()), Text(c.name ? c.name : u""));
    EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(r.get())), Text(c.notes ? c.notes : u""));
    EXPECT_EQ(IsEqualGUID(r->classId, source.classId), c.classIdSet);
  }
  EXPECT_EQ(WuFio_NewTemplate(u"a", u"b", -1), nullptr);
  // A record on the stack: the first 540 bytes zeroed, the sizes set.
  tagWUTEMPLATExV2 onStack;
  std::memset(&onStack, 0xCD, sizeof(onStack));
  WuFio_InitTemplateInPlace(&onStack, 2, 0);
  EXPECT_EQ(onStack.totalSize, 540u);
  EXPECT_EQ(onStack.version, 0u);
  EXPECT_EQ(std::u16string(onStack.GetName()), u"");
}

TEST(WuFioTemplateAlloc, NotesPointer) {
  // Text length 0: both texts empty.
  Record r(WuFio_NewTemplate(nullptr, nullptr, 0));
  r->textLength = 0;
  EXPECT_EQ(Text(r->GetName()), u"");
  EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(r.get())), u"");
  // A name that fills the text area leaves no notes.
  Record full(WuFio_NewTemplate(u"abcd", nullptr, 0));
  ASSERT_EQ(full->textLength, 6u);
  full->textLength = 5;  // "abcd" + NUL exactly
  EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(full.get())), u"");
  EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(nullptr)), u"");
}

TEST(WuFioTemplateAlloc, SetNameAndNotes) {
  Record r(WuFio_NewTemplate(u"name", u"notes", 0));  // text length 11
  // NULL notes keep the current ones.
  ASSERT_EQ(WuFio_SetTemplateNameAndNotes(r.get(), u"N", nullptr), S_OK);
  EXPECT_EQ(Text(r->GetName()), u"N");
  EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(r.get())), u"notes");
  // Notes that point into the record's own text are copied aside first,
  // even when the new name overwrites where they were.
  ASSERT_EQ(WuFio_SetTemplateNameAndNotes(r.get(), u"longer", WuFio_GetTemplateNotesPtr(r.get())),
            S_OK);
  EXPECT_EQ(Text(r->GetName()), u"longer");
  EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(r.get())), u"not");
  const WCHAR* text = r->Text();
  EXPECT_EQ(text[r->textLength - 1], 0);
  // A pointer anywhere into the text area (here the name) keeps the notes.
  ASSERT_EQ(WuFio_SetTemplateNameAndNotes(r.get(), u"ab", r->Text()), S_OK);
  EXPECT_EQ(Text(r->GetName()), u"ab");
  EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(r.get())), u"not");
  // Long texts are cut so that the last unit is a terminator.
  ASSERT_EQ(WuFio_SetTemplateNameAndNotes(r.get(), u"0123456789ABCDEF", u"zz"), S_OK);
  EXPECT_EQ(Text(r->GetName()), u"0123456789");
  EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(r.get())), u"");
  ASSERT_EQ(WuFio_SetTemplateNameAndNotes(r.get(), u"ab", u"0123456789"), S_OK);
  EXPECT_EQ(Text(r->GetName()), u"ab");
  EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(r.get())), u"0123456");
  EXPECT_EQ(text[r->textLength - 1], 0);
  EXPECT_EQ(WuFio_SetTemplateNameAndNotes(nullptr, u"a", u"b"), E_POINTER);
}

TEST(WuFioTemplateAlloc, TextPastTotalSizeReadsEmpty) {
  Record r(WuFio_NewTemplate(u"name", u"notes", 0));
  struct Case {
    DWORD textLength;
    LONG privateSize;
  } cases[] = {{r->textLength + 1, 0}, {0x80000000u, 0}, {r->textLength, -4}, {r->textLength, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.textLength);
    Record bad(static_cast<tagWUTEMPLATExV2*>(std::malloc(r->totalSize)));
    std::memcpy(bad.get(), r.get(), r->totalSize);
    bad->textLength = c.textLength;
    bad->privateSize = c.privateSize;
    EXPECT_FALSE(bad->HasValidLayout());
    EXPECT_EQ(Text(bad->GetName()), u"");
    EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(bad.get())), u"");
    EXPECT_EQ(WuFio_SetTemplateNameAndNotes(bad.get(), u"x", u"y"), WU_E_BAD_DATA);
  }
  // A text area without its final terminator reads empty too.
  r->Text()[r->textLength - 1] = u'!';
  EXPECT_EQ(Text(r->GetName()), u"");
}

TEST(WuFioTemplateAlloc, TextsBehindPrivateDataFoundFromTheRecordStart) {
  // The text area lies past the four bytes `data` names: reached through a
  // const record too, its terminator decides the layout check.
  for (LONG privateSize : {5, 9, 64}) {
    SCOPED_TRACE(privateSize);
    Record r(WuFio_NewTemplate(u"Name", u"Notes", privateSize));
    const tagWUTEMPLATExV2* record = r.get();
    const ptrdiff_t offset = reinterpret_cast<const BYTE*>(record->Text()) -
                             reinterpret_cast<const BYTE*>(record);
    EXPECT_EQ(offset, 536 + ((privateSize + 3) & ~3));
    EXPECT_EQ(Text(record->GetName()), u"Name");
    EXPECT_EQ(Text(WuFio_GetTemplateNotesPtr(record)), u"Notes");
    r->Text()[r->textLength - 1] = u'!';
    EXPECT_FALSE(record->HasValidLayout());
    EXPECT_EQ(Text(record->GetName()), u"");
  }
}

TEST(WuFioTemplateAlloc, ReleaseListFreesEveryRecordLastFirst) {
  // LeakSanitizer catches a record left behind.
  for (int form = 0; form < 3; ++form) {
    tWULIST* list = nullptr;
    ASSERT_EQ(WuList_CreateExZ(&list, sizeof(void*), 4, 4, 0), S_OK);
    for (int i = 0; i < 5; ++i) {
      tagWUTEMPLATExV2* r = i == 2 ? nullptr : WuFio_NewTemplate(u"t", nullptr, i);
      ASSERT_EQ(WuList_InsertItem(list, i, r), S_OK);
    }
    HRESULT hr = form == 0   ? WuFio_ReleaseTemplateList(list)
                 : form == 1 ? WuFio_ReleaseTemplateList(nullptr, 3, list)
                             : WuFio_ReleaseTemplateList(nullptr, static_cast<IWuRenderFileClass*>(nullptr), list);
    EXPECT_EQ(hr, S_OK);
  }
  // An owning list: the records are freed once.
  tWULIST* owning = nullptr;
  ASSERT_EQ(WuList_CreateExZ(&owning, sizeof(void*), 4, 4, WULIST_OWNITEMS), S_OK);
  tagWUTEMPLATExV2* r = WuFio_NewTemplate(u"o", nullptr, 0);
  ASSERT_EQ(WuList_InsertList(owning, 0, &r, -1), S_OK);
  EXPECT_EQ(WuFio_ReleaseTemplateList(owning), S_OK);
  EXPECT_EQ(WuFio_ReleaseTemplateList(nullptr), S_OK);
  WuFio_ReleaseTemplate(WuFio_NewTemplate(nullptr, nullptr, 0));
  WuFio_ReleaseTemplate(static_cast<IWuFileIOMgrForApp*>(nullptr), WuFio_NewTemplate(u"a", nullptr, 0));
  WuFio_ReleaseTemplate(static_cast<IWuRenderFileClass*>(nullptr), WuFio_NewTemplate(u"a", nullptr, 0));
  WuFio_ReleaseTemplate(nullptr);
}

}  // namespace
