#include "fileio/CWuFioFilterBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fileio/CWuFileIOManager.h"
#include "fileio/WuFioPluginRecord.h"
#include "foundation/WuList.h"

namespace {

using std::u16string;

constexpr GUID Key(BYTE a, BYTE tail = 0) {
  return {static_cast<DWORD>(0x11110000u + a), 0x2222, 0x3333, {0x44, 0x55, 6, 7, 8, 9, tail, 1}};
}

// A literal with its embedded terminators (the final implicit one left out).
template <size_t N>
u16string Z(const char16_t (&text)[N]) {
  return u16string(text, N - 1);
}

// A builder without manager (one reference).
IWuFioFilterBuilder2* NewBuilder() {
  CWuFioFilterBuilder* object = CWuFioFilterBuilder::Create(nullptr);
  object->AddRef();
  return object;
}

u16string Patterns(IWuFioFilterBuilder2* b) {
  LPCWSTR text = b->GetPatternListPointer();
  return text ? u16string(text) : u16string();
}

u16string Filter(IWuFioFilterBuilder2* b) {
  LPCWSTR text = b->GetFilterStringPointer();
  return text ? u16string(text, static_cast<size_t>(b->GetFilterStringLength())) : u16string();
}

TEST(FilterBuilder, PatternListTakesFirstPatternsFirstAndSkipsWildcards) {
  IWuFioFilterBuilder2* b = NewBuilder();
  EXPECT_EQ(b->RefreshPatternList(nullptr, 0, 0), E_FAIL);
  EXPECT_EQ(b->RefreshFilterString(nullptr, 0, 0), E_FAIL);
  DWORD size = 100;
  EXPECT_EQ(b->GetFilterString(nullptr, &size, nullptr, nullptr), E_FAIL);
  LONG count = 0;
  EXPECT_EQ(b->GetEntryCount(&count), E_FAIL);

  ASSERT_EQ(b->AddEntry(u"*.a;*.b;*.*", u"One", 1, -1, 0, nullptr), S_OK);
  ASSERT_EQ(b->AddEntry(u";*.c;;*.a?;*.a", u"Two", 2, -1, 0, nullptr), S_OK);
  ASSERT_EQ(b->RefreshPatternList(nullptr, 0, 0), S_OK);
  EXPECT_EQ(Patterns(b), u"*.a;*.c;*.b");
  EXPECT_EQ(b->GetPatternListLength(), 12);

  // With flag 0x20 the list stops before the pattern passing 260 characters.
  b->Clear();
  u16string first = u"*." + u16string(250, u'x');  // 252 characters
  b->AddEntry((first + u";*.abcd;*.ef").c_str(), u"Long", 1, -1, 0, nullptr);
  ASSERT_EQ(b->RefreshPatternList(nullptr, 0, 0x20), S_OK);
  EXPECT_EQ(Patterns(b), first + u";*.abcd");  // 259; ";*.ef" would make 264
  b->AddEntry(u"*.g", u"Short", 2, 0, 0, nullptr);
  ASSERT_EQ(b->RefreshPatternList(nullptr, 0, 0x20), S_OK);
  EXPECT_EQ(Patterns(b), u"*.g;" + first);  // 256; "*.abcd" would make 263
  ASSERT_EQ(b->RefreshPatternList(nullptr, 0, 0), S_OK);
  EXPECT_EQ(Patterns(b), u"*.g;" + first + u";*.abcd;*.ef");
  b->Release();
}

TEST(FilterBuilder, FilterStringFormsAndIds) {
  IWuFioFilterBuilder2* b = NewBuilder();
  b->AddEntry(u"*.a;*.b", u"Alpha", 7, -1, 0, nullptr);
  ASSERT_EQ(b->RefreshFilterString(nullptr, 0, 0), S_OK);
  EXPECT_EQ(Filter(b), Z(u"Alpha (*.a;*.b)\0*.a;*.b\0\0"));
  EXPECT_EQ(b->GetIdCount(), 1);

  b->Clear();
  b->AddEntry(u"*.a;*.b", u"Alpha", 7, -1, 4, nullptr);
  b->AddEntry(u"", u"Empty", 8, -1, 0, nullptr);      // no patterns: not shown
  b->AddEntry(u"*.c;*.a", u"Gamma", 9, -1, 0, nullptr);
  ASSERT_EQ(b->RefreshFilterString(nullptr, 0, 0), S_OK);
  EXPECT_EQ(Filter(b), Z(u"Alpha\0*.a;*.b\0Gamma (*.c;*.a)\0*.c;*.a\0\0"));

  // Pattern mode: the unique patterns separated by terminators.
  b->SetPatternMode(TRUE);
  DWORD size = 0;
  ASSERT_EQ(b->GetFilterString(nullptr, &size, nullptr, nullptr), S_OK);
  EXPECT_EQ(size, 2u * 13u);
  std::vector<WCHAR> out(15, u'#');
  ASSERT_EQ(b->GetFilterString(out.data(), &size, nullptr, nullptr), S_OK);
  EXPECT_EQ(u16string(out.data(), 13), Z(u"*.a\0*.c\0*.b\0\0"));
  EXPECT_EQ(out[13], u'#');

  // Short of bytes: E_FAIL, nothing copied, the size written back; ids by selection.
  b->SetPatternMode(FALSE);
  GUID k = Key(1);
  b->AddEntry(u"*.k", u"Keyed", 10, 0, 0, &k);
  std::vector<WCHAR> small(8, u'#');
  size = 16;
  DWORD ids[4] = {0, 0, 0, 0};
  LONG idCount = 4;
  EXPECT_EQ(b->GetFilterStringEx(small.data(), &size, ids, &idCount, &k, 1, 1), E_FAIL);
  EXPECT_EQ(size, 2u * 17u);  // "Keyed (*.k)\0*.k\0\0"
  EXPECT_EQ(small[0], u'#');
  EXPECT_EQ(idCount, 1);
  EXPECT_EQ(ids[0], 10u);
  idCount = 4;
  ASSERT_EQ(b->GetFilterStringEx(nullptr, &size, ids, &idCount, &k, 1, 0), S_OK);
  EXPECT_EQ(idCount, 3);
  EXPECT_EQ(ids[0], 7u);
  EXPECT_EQ(ids[2], 9u);
  b->Release();
}

TEST(FilterBuilder, CopiesCutCleanly) {
  IWuFioFilterBuilder2* b = NewBuilder();
  b->AddEntry(u"*.aa;*.bb;*.cc", u"D", 3, -1, 0, nullptr);
  ASSERT_EQ(b->RefreshPatternList(nullptr, 0, 0), S_OK);  // "*.aa;*.bb;*.cc", 14 characters
  ASSERT_EQ(b->RefreshFilterString(nullptr, 0, 0), S_OK);
  struct Case {
    LONG size;
    WCHAR separator;
    u16string text;
    HRESULT hr;
  } cases[] = {
      {15, u'|', u"*.aa|*.bb|*.cc", S_OK},
      {12, u'|', u"*.aa|*.bb", WUFIO_E_BUFFER_TOO_SMALL},  // third pattern cut
      {10, u';', u"*.aa;*.bb", WUFIO_E_BUFFER_TOO_SMALL},  // second ends at the cut
      {9, u' ', u"*.aa", WUFIO_E_BUFFER_TOO_SMALL},
      {4, u';', u"", WUFIO_E_BUFFER_TOO_SMALL},            // not even the first fits
  };
  for (const Case& c : cases) {
    std::vector<WCHAR> out(static_cast<size_t>(c.size) + 1, u'#');
    EXPECT_EQ(b->CopyPatternList(out.data(), c.size, c.separator), c.hr) << c.size;
    EXPECT_EQ(u16string(out.data()), c.text) << c.size;
    EXPECT_EQ(out[static_cast<size_t>(c.size)], u'#') << c.size;
  }
  WCHAR one[2] = {u'#', u'#'};
  EXPECT_EQ(b->CopyPatternList(one, 1, u';'), E_INVALIDARG);
  EXPECT_EQ(b->CopyPatternList(nullptr, 10, u';'), E_INVALIDARG);
  EXPECT_EQ(b->CopyFilterString(one, 1), E_INVALIDARG);

  // "D (*.aa;*.bb;*.cc)\0*.aa;*.bb;*.cc\0\0": 35 characters.
  std::vector<WCHAR> filter(36, u'#');
  EXPECT_EQ(b->CopyFilterString(filter.data(), 35), S_OK);
  EXPECT_EQ(u16string(filter.data(), 35), Filter(b));
  std::fill(filter.begin(), filter.end(), u'#');
  EXPECT_EQ(b->CopyFilterString(filter.data(), 10), WUFIO_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(u16string(filter.data(), 10), Z(u"D (*.aa;*\0"));
  EXPECT_EQ(filter[10], u'#');

  DWORD ids[3] = {};
  EXPECT_EQ(b->CopyIds(ids, 0), E_INVALIDARG);
  EXPECT_EQ(b->CopyIds(nullptr, 2), E_INVALIDARG);
  ASSERT_EQ(b->CopyIds(ids, 3), S_OK);
  EXPECT_EQ(ids[0], 3u);
  EXPECT_EQ(ids[1], 0xFFFFFFFFu);
  EXPECT_EQ(ids[2], 0xFFFFFFFFu);
  b->Release();
}

TEST(FilterBuilder, EntriesKeysAndSelections) {
  IWuFioFilterBuilder2* b = NewBuilder();
  GUID a = Key(1), near = Key(1, 0x77), c = Key(3);
  u16string longText(300, u'p');
  b->AddEntry(longText.c_str(), longText.c_str(), 1, -1, 4, &a);
  b->AddEntry(u"*.c", u"Cee", 3, -1, 0, &c);
  b->AddEntry(u"*.b", u"Bee", 2, 1, 0, nullptr);  // inserted between

  WUFIO_FILTER_ENTRY entry;
  std::memset(&entry, 0x5A, sizeof(entry));
  ASSERT_EQ(b->GetEntry(&entry, 0), S_OK);
  EXPECT_TRUE(IsEqualGUID(entry.key, a));
  EXPECT_EQ(u16string(entry.description), longText.substr(0, 259));
  EXPECT_EQ(u16string(entry.patterns), longText.substr(0, 259));
  EXPECT_EQ(entry.id, 1u);
  EXPECT_EQ(entry.flags, 4u);
  for (BYTE byte : entry.reserved) EXPECT_EQ(byte, 0);
  ASSERT_EQ(b->GetEntry(&entry, 1), S_OK);
  EXPECT_EQ(entry.id, 2u);
  EXPECT_EQ(b->GetEntry(&entry, 3), E_FAIL);
  EXPECT_EQ(b->GetEntry(&entry, -1), E_FAIL);
  EXPECT_EQ(b->SetEntryHidden(3, TRUE), E_INVALIDARG);

  LONG index = 9;
  EXPECT_EQ(b->FindEntryByKey(&index, &near), S_OK);  // first 10 bytes match
  EXPECT_EQ(index, 0);
  GUID other = Key(9);
  EXPECT_EQ(b->FindEntryByKey(&index, &other), S_FALSE);

  // Marking: include mode marks the entries outside, exclude keeps earlier marks.
  ASSERT_EQ(b->SelectEntries(&c, 1, 0, 0x1001), S_OK);
  b->GetEntry(&entry, 0);
  EXPECT_EQ(entry.flags, 4u | 0x10000000u);
  b->GetEntry(&entry, 2);
  EXPECT_EQ(entry.flags, 0u);
  ASSERT_EQ(b->SelectEntries(&c, 1, 0, 0x1000), S_OK);
  b->GetEntry(&entry, 2);
  EXPECT_EQ(entry.flags, 0x10000000u);
  b->GetEntry(&entry, 0);
  EXPECT_EQ(entry.flags, 4u | 0x10000000u);
  ASSERT_EQ(b->SelectEntries(nullptr, 0, 0, 0x1000), S_OK);
  b->GetEntry(&entry, 0);
  EXPECT_EQ(entry.flags, 4u);

  // Hiding leaves the built outputs as they are until something else changes.
  ASSERT_EQ(b->RefreshPatternList(nullptr, 0, 0), S_OK);
  u16string before = Patterns(b);
  ASSERT_EQ(b->SetEntryHidden(1, TRUE), S_OK);
  ASSERT_EQ(b->RefreshPatternList(nullptr, 0, 0), S_OK);
  EXPECT_EQ(Patterns(b), before);
  b->Sort(FALSE);
  ASSERT_EQ(b->RefreshPatternList(nullptr, 0, 0), S_OK);
  EXPECT_EQ(Patterns(b).find(u"*.b"), u16string::npos);

  // Deleting: only the selected entry stays.
  EXPECT_EQ(b->SelectEntries(&near, 1, 0, 1), S_FALSE);
  LONG count = 0;
  ASSERT_EQ(b->GetEntryCount(&count), S_OK);
  EXPECT_EQ(count, 1);
  b->Release();
}

TEST(FilterBuilder, AllPatternsEntryAndLengths) {
  IWuFioFilterBuilder2* b = NewBuilder();
  GUID k = Key(5);
  b->AddEntry(u"*.a;*.b", u"A", 1, -1, 0, &k);
  b->AddEntry(u"*.c;*.a", u"C", 2, -1, 0, nullptr);
  ASSERT_EQ(b->AddAllPatternsEntry(u"All", 0, 0, 0, nullptr), S_OK);
  ASSERT_EQ(b->AddAllPatternsEntryEx(u"Keyed", 9, -1, 1, nullptr, &k, 1), S_OK);
  WUFIO_FILTER_ENTRY e;
  ASSERT_EQ(b->GetEntry(&e, 0), S_OK);
  EXPECT_EQ(u16string(e.patterns), u"*.a;*.c;*.b");
  ASSERT_EQ(b->GetEntry(&e, 3), S_OK);
  EXPECT_EQ(u16string(e.patterns), u"*.a;*.b");
  EXPECT_EQ(e.id, 9u);
  ASSERT_EQ(b->RefreshFilterString(nullptr, 0, 0), S_OK);
  ASSERT_EQ(b->RefreshPatternList(nullptr, 0, 0), S_OK);
  LONG filter = 0, patterns = 0, ids = 0;
  ASSERT_EQ(b->GetLengths(&filter, &patterns, nullptr), S_OK);
  ASSERT_EQ(b->GetLengths(nullptr, nullptr, &ids), S_OK);
  EXPECT_EQ(filter, b->GetFilterStringLength());
  EXPECT_EQ(patterns, 12);
  EXPECT_EQ(ids, 4);
  EXPECT_EQ(b->GetIdArray()[3], 9u);
  b->Release();
}

TEST(FilterBuilder, SortIgnoresCase) {
  IWuFioFilterBuilder2* b = NewBuilder();
  for (const char16_t* d : {u"beta", u"Alpha", u"gamma"}) b->AddEntry(u"*.x", d, 0, -1, 0, nullptr);
  WUFIO_FILTER_ENTRY e;
  b->Sort(FALSE);
  b->GetEntry(&e, 0);
  EXPECT_EQ(u16string(e.description), u"Alpha");
  b->Sort(TRUE);
  b->GetEntry(&e, 0);
  EXPECT_EQ(u16string(e.description), u"gamma");
  b->Release();
}

// ---- Over a manager's file types ----------------------------------------------------------

struct TypeSpec {
  const char16_t* name;
  DWORD access;
  DWORD classFlags;
  const char16_t* readerExt;
  const char16_t* rendererExt;
};

class FilterManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manager_ = CWuFileIOManager::Create();
    ASSERT_NE(manager_, nullptr);
    manager_->AddRef();
    tWULIST* list = WuFio_NewPluginList();
    const TypeSpec specs[] = {
        {u"Wave", 0x30, 0x1, u"*.WAV", u"*.wav"},
        {u"audio", 0x10, 0x3, u"*.aud;*.wav;*.*", nullptr},
        {u"Clip", 0x20, 0x10000004, nullptr, u"*.clp;*.c?p"},
        {u"Movie", 0x30, 0x4, u"*.mov;*.qt", u"*.mov"},
    };
    BYTE n = 0;
    for (const TypeSpec& s : specs) {
      WUFIO_PLUGIN_RECORD* r = WuFio_NewPluginRecord();
      ++n;
      r->classId = Key(n);
      r->access = s.access;
      r->classFlags = s.classFlags;
      WuFio_SetText(&r->dialogName, s.name);
      if (s.readerExt) {
        r->reader.classId = Key(static_cast<BYTE>(0x40 + n));
        WuFio_SetText(&r->reader.extensions, s.readerExt);
      }
      if (s.rendererExt) {
        r->renderer.classId = Key(static_cast<BYTE>(0x80 + n));
        WuFio_SetText(&r->renderer.extensions, s.rendererExt);
      }
      ASSERT_EQ(WuList_InsertItem(list, -1, r), S_OK);
    }
    ASSERT_EQ(manager_->SetPluginList(list, 0, nullptr, 0), S_OK);
  }
  void TearDown() override {
    if (manager_) {
      EXPECT_EQ(manager_->Release(), 0u);
    }
  }

  IWuFioFilterBuilder2* Builder() {
    IWuFioFilterBuilder2* b = nullptr;
    EXPECT_EQ(manager_->QueryInterface(IID_IWuFioFilterBuilder2, reinterpret_cast<void**>(&b)),
              S_OK);
    return b;
  }

  std::vector<u16string> Descriptions(IWuFioFilterBuilder2* b) {
    std::vector<u16string> out;
    LONG count = 0;
    b->GetEntryCount(&count);
    for (LONG i = 0; i < count; ++i) {
      WUFIO_FILTER_ENTRY e;
      b->GetEntry(&e, i);
      out.push_back(e.description);
    }
    return out;
  }

  CWuFileIOManager* manager_ = nullptr;
};

TEST_F(FilterManagerTest, QueryInterfaceMakesANewBuilderHoldingTheManager) {
  IWuFioFilterBuilder2* one = Builder();
  IWuFioFilterBuilder2* two = Builder();
  ASSERT_NE(one, nullptr);
  EXPECT_NE(one, two);
  IWuFileIOManager* back = nullptr;
  ASSERT_EQ(one->QueryInterface(IID_IWuFileIOManager, reinterpret_cast<void**>(&back)), S_OK);
  EXPECT_EQ(back, static_cast<IWuFileIOManager*>(manager_));
  back->Release();
  EXPECT_EQ(two->Release(), 0u);
  EXPECT_EQ(one->AddRef(), 2u);
  EXPECT_EQ(one->Release(), 1u);
  // The builder holds the manager: it outlives the caller's reference.
  EXPECT_EQ(manager_->Release(), 1u);
  manager_ = nullptr;
  EXPECT_EQ(one->Release(), 0u);  // releases the manager (AddressSanitizer sees a leak otherwise)
}

TEST_F(FilterManagerTest, ClassFlagTestsAndRequiredKind) {
  struct Case {
    const char* name;
    int how;  // 0 SetClassFilter, 1 SetClassMask
    DWORD a, b, c;
    LONG kind, required;
    std::vector<u16string> names;
  } cases[] = {
      {"inexact 0 passes all", 0, FALSE, 0, 0, 16, 0, {u"Wave", u"audio", u"Movie"}},
      {"exact value", 0, TRUE, 0x3, 0, 16, 0, {u"audio"}},
      {"any of the bits", 0, FALSE, 0x2 | 0x4, 0, 16, 0, {u"audio", u"Movie"}},
      {"mask and value", 1, 0x0FFFFFFF, 0x4, 0, 32, 0, {u"Clip", u"Movie"}},
      {"inverted mask", 1, 0x1, 0x1, 1, 32, 0, {u"Clip", u"Movie"}},
      {"renderers needing readers", 1, 0, 0, 0, 32, 16, {u"Wave", u"Movie"}},
  };
  for (const Case& c : cases) {
    IWuFioFilterBuilder2* b = Builder();
    if (c.how == 0) {
      b->SetClassFilter(c.a, c.b);
    } else {
      b->SetClassMask(c.a, c.b, c.c);
    }
    b->SetRequiredKind(c.required);
    ASSERT_EQ(b->AddFileTypes(nullptr, 0, c.kind, 0), S_OK) << c.name;
    EXPECT_EQ(Descriptions(b), c.names) << c.name;
    b->Release();
  }
  // A selection of class ids (either key) with include and exclude.
  IWuFioFilterBuilder2* b = Builder();
  GUID picks[] = {Key(0x44), Key(1)};  // Movie's reader, Wave's record
  b->AddFileTypes(picks, 2, 16, 1);
  EXPECT_EQ(Descriptions(b), (std::vector<u16string>{u"Wave", u"Movie"}));
  b->Clear();
  b->AddFileTypesAnyKind(picks, 2, 16, 0);
  EXPECT_EQ(Descriptions(b), (std::vector<u16string>{u"audio"}));
  // A part that cannot be had (state 2) adds nothing, as a reader or as the required kind.
  WuFio_SetPartState(&WuFio_PluginAt(manager_->PluginList(), 3)->reader, WUFIO_CLASS_UNAVAILABLE);
  b->Clear();
  b->AddFileTypes(nullptr, 0, 16, 0);
  EXPECT_EQ(Descriptions(b), (std::vector<u16string>{u"Wave", u"audio"}));
  b->Clear();
  b->SetRequiredKind(16);
  b->AddFileTypes(nullptr, 0, 32, 0);
  EXPECT_EQ(Descriptions(b), (std::vector<u16string>{u"Wave"}));
  b->Clear();
  b->AddFileTypesAnyKind(nullptr, 0, 32, 0);
  EXPECT_EQ(Descriptions(b), (std::vector<u16string>{u"Wave", u"Clip", u"Movie"}));
  b->Release();
}

TEST_F(FilterManagerTest, BuilderSlotsMakeSortedFilters) {
  IWuFioFilterBuilder2* b = nullptr;
  ASSERT_EQ(manager_->CreateFilterBuilder(&b, 16, 0, 0), S_OK);
  ASSERT_EQ(b->RefreshFilterString(nullptr, 0, 0), S_OK);
  EXPECT_EQ(Filter(b), Z(u"audio (*.aud;*.wav;*.*)\0*.aud;*.wav;*.*\0"
                         u"Movie (*.mov;*.qt)\0*.mov;*.qt\0"
                         u"Wave (*.WAV)\0*.WAV\0\0"));
  ASSERT_EQ(b->RefreshPatternList(nullptr, 0, 0), S_OK);
  EXPECT_EQ(Patterns(b), u"*.aud;*.mov;*.WAV;*.wav;*.qt");
  b->Release();

  struct Case {
    const char* name;
    bool ex;
    LONG kind;
    DWORD mask, value, flags;
    u16string patterns;
  } cases[] = {
      {"any bit of value", false, 32, 0x4, 0, 0, u"*.clp;*.mov"},
      {"any of two bits", false, 32, 0x5, 0, 0, u"*.clp;*.mov;*.wav"},
      {"0x400 matches the value under 0x0FFFFFFF", false, 32, 0x4, 0, 0x400, u"*.clp;*.mov"},
      {"0x400 with 0x800 ignored", false, 32, 0x1, 0, 0xC00, u"*.wav"},
      {"0x800 inverts", true, 32, 0x4, 0, 0x800, u"*.clp;*.mov"},
      {"0x200 wants both kinds", false, 32, 0, 0, 0x200, u"*.mov;*.wav"},
      {"mask 0 value 0", true, 16, 0, 0, 0, u"*.aud;*.mov;*.WAV;*.wav;*.qt"},
  };
  for (const Case& c : cases) {
    IWuFioFilterBuilder2* one = nullptr;
    HRESULT hr = c.ex ? manager_->CreateFilterBuilderEx(&one, c.kind, c.mask, c.value, c.flags)
                      : manager_->CreateFilterBuilder(&one, c.kind, static_cast<LONG>(c.mask),
                                                      c.flags);
    ASSERT_EQ(hr, S_OK) << c.name;
    ASSERT_EQ(one->RefreshPatternList(nullptr, 0, 0), S_OK) << c.name;
    EXPECT_EQ(Patterns(one), c.patterns) << c.name;
    one->Release();
  }
  // 0x100 adds nothing: the outputs fail until an entry comes.
  IWuFioFilterBuilder2* none = nullptr;
  ASSERT_EQ(manager_->CreateFilterBuilder(&none, 16, 0, 0x100), S_OK);
  EXPECT_EQ(none->RefreshPatternList(nullptr, 0, 0), E_FAIL);
  none->Release();
  EXPECT_EQ(manager_->CreateFilterBuilder(nullptr, 16, 0, 0), E_POINTER);
}

u16string Items(tWULIST* list) {
  u16string out;
  for (LONG i = 0; i < list->count; ++i) {
    if (i) out += u'|';
    out += static_cast<LPCWSTR>(WuList_PointerAt(list, i));
  }
  return out;
}

TEST_F(FilterManagerTest, UniqueExtensionLists) {
  tWULIST* list = nullptr;
  ASSERT_EQ(WuList_CreateExZ(&list, 0, 8, 8, WULIST_OWNITEMS), S_OK);
  EXPECT_EQ(WuFio_BuildUniqueExtensionList(nullptr, list, 16, 0, nullptr, 0, 0), E_INVALIDARG);
  EXPECT_EQ(WuFio_BuildUniqueExtensionList(manager_, nullptr, 16, 0, nullptr, 0, 0),
            E_INVALIDARG);
  EXPECT_EQ(WuFio_BuildUniqueExtensionList(list, nullptr, nullptr, 0, 0), E_INVALIDARG);

  ASSERT_EQ(WuFio_BuildUniqueExtensionList(manager_, list, 16, 0, nullptr, 0, 0), S_OK);
  EXPECT_EQ(Items(list), u".aud|.mov|.qt|.wav");  // "audio" sorts first: its ".wav" stays
  WuList_DeleteList(list, 0, list->count, TRUE);

  // Renderers limited to Clip's and Movie's records: "*.c?p" never comes.
  GUID only[] = {Key(3), Key(4)};
  ASSERT_EQ(WuFio_BuildUniqueExtensionList(manager_, list, 32, 0, only, 2, 1), S_OK);
  EXPECT_EQ(Items(list), u".clp|.mov");
  WuList_DeleteList(list, 0, list->count, TRUE);

  // A builder of the caller's: the marks are cleared afterwards.
  IWuFioFilterBuilder2* b = NewBuilder();
  GUID k = Key(7);
  b->AddEntry(u"*.B;*.a", u"x", 0, -1, 0, &k);
  b->AddEntry(u"*.z", u"y", 0, -1, 0, nullptr);
  b->AddEntry(u"*.WAV;*.*", u"w", 0, -1, 0, &k);
  b->AddEntry(u"*.wav", u"v", 0, -1, 0, &k);
  ASSERT_EQ(WuFio_BuildUniqueExtensionList(list, b, &k, 1, 1), S_OK);
  EXPECT_EQ(Items(list), u".a|.B|.WAV");
  WUFIO_FILTER_ENTRY e;
  b->GetEntry(&e, 1);
  EXPECT_EQ(e.flags, 0u);
  b->Release();
  WuList_Destroy(list);
}

}  // namespace
