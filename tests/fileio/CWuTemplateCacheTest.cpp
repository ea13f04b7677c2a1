// Template caches: groups from presets and folders, merged lists, stores
// and deletes under sharing, the manager's cache and the class exports.
#include "fileio/CWuTemplateCache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/WuList.h"
#include "platform/shell/shell.h"
#include "tests/fileio/FakeRenderClass.h"
#include "tests/fileio/FioManagerFixture.h"

namespace {

using fio_test::BytesOf;
using fio_test::FakeRenderClass;
using fio_test::MakeRecord;

const GUID kMp3Class = {0xADFA6A4B, 0xA99B, 0x42E3, {0xAE, 0x1F, 0x08, 0x11, 0x23, 0xAD, 0xA0, 0x4B}};

std::string AppData() {
  WCHAR path[260] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
  return fio_test::U8(path);
}

void WriteRecord(const std::string& path, const tagWUTEMPLATExV2* r) {
  wutest::WriteBytes(path, std::string(reinterpret_cast<const char*>(r), WuTpl_Size(r)));
}

// The names of a merged list, in order.
std::vector<std::u16string> Names(tWULIST* list) {
  std::vector<std::u16string> names;
  for (LONG i = 0; i < list->count; ++i) names.emplace_back(WuTpl_Name(WuList_PointerAt(list, i)));
  return names;
}

// Every byte of every record of a merged list (reads them all: freed
// records show under AddressSanitizer).
std::vector<std::vector<BYTE>> Contents(tWULIST* list) {
  std::vector<std::vector<BYTE>> all;
  for (LONG i = 0; i < list->count; ++i) all.push_back(BytesOf(WuList_PointerAt(list, i)));
  return all;
}

class TemplateCacheTest : public fio_test::FioManagerTest {
 protected:
  void SetUp() override {
    FioManagerTest::SetUp();
    orvo_ = AppData() + "/Orvo";
    std::filesystem::remove_all(orvo_);
    app_ = Create(WUFIO_CREATE_NO_SEARCH | WUFIO_CREATE_NO_CACHE_WRITE);
    ASSERT_NE(app_, nullptr);
    cls_.manager = app_;
    cls_.AddPreset(u"Project Default", 0, 5);
    cls_.AddPreset(u"Preset", 1, 5);
    renderDir_ = orvo_ + "/Render Templates/test render/";
  }
  void TearDown() override {
    if (app_) app_->Release();
    std::filesystem::remove_all(orvo_);
    FioManagerTest::TearDown();
  }

  // A ".wut2" file in the class's folder.
  void AddUserFile(const std::u16string& name, const std::string& file = "",
                   DWORD fill = 0) {
    std::filesystem::create_directories(renderDir_);
    tagWUTEMPLATExV2* r = MakeRecord(name, u"", 0, fill);
    WriteRecord(renderDir_ + (file.empty() ? fio_test::U8(name) + ".wut2" : file), r);
    std::free(r);
  }

  IWuFileIOMgrForApp* app_ = nullptr;
  FakeRenderClass cls_;
  std::string orvo_;
  std::string renderDir_;
};

TEST_F(TemplateCacheTest, GroupsFromPresetsAndFolders) {
  AddUserFile(u"User");
  AddUserFile(u"(Untitled)");
  AddUserFile(u"Named", "(untitled).wut2");
  wutest::WriteBytes(renderDir_ + "broken.wut2", std::string(539, '\0'));
  CWuGlobalTemplateCache* global = nullptr;
  ASSERT_EQ(WuFio_GetGlobalTemplateCache(app_, &cls_, &global), S_OK);
  ASSERT_EQ(global->Groups()->count, 2);
  EXPECT_EQ(global->Group(0)->kind, WUTPL_KIND_PRESETS);
  EXPECT_EQ(global->Group(0)->templates->count, 2);
  EXPECT_EQ(global->Group(1)->kind, WUTPL_KIND_CURRENT);
  ASSERT_EQ(global->Group(1)->templates->count, 1);  // neither untitled one, nor the broken file
  EXPECT_EQ(std::u16string(WuTpl_Name(WuList_PointerAt(global->Group(1)->templates, 0))), u"User");

  // The manager keeps the cache while the class stays.
  CWuGlobalTemplateCache* again = nullptr;
  ASSERT_EQ(WuFio_GetGlobalTemplateCacheFromClass(&cls_, &again), S_OK);
  EXPECT_EQ(again, global);
  EXPECT_EQ(cls_.presetCalls, 2);
  WuFio_ReleaseGlobalTemplateCache(again);
  // Another class gets a new cache.
  FakeRenderClass other;
  other.manager = app_;
  other.id.Data1 = 0x77;
  ASSERT_EQ(WuFio_GetGlobalTemplateCache(app_, &other, &again), S_OK);
  EXPECT_NE(again, global);
  WuFio_ReleaseGlobalTemplateCache(again);
  WuFio_ReleaseGlobalTemplateCache(global);
  EXPECT_EQ(WuFio_ReleaseGlobalTemplateCache(nullptr), 0);
}

TEST_F(TemplateCacheTest, LegacyOnlyFolderAndFinds) {
  cls_.id = kMp3Class;
  const std::string legacy =
      orvo_ + "/File Templates/mp3plug/{ADFA6A4B-A99B-42E3-AE1F-081123ADA04B}/";
  std::filesystem::create_directories(legacy);
  tagWUTEMPLATExV2* old = MakeRecord(u"Old One");
  WriteRecord(legacy + "old.wut", old);
  std::free(old);
  AddUserFile(u"Mine", "mine.wut2");
  CWuPrivateTemplateCache* cache = nullptr;
  ASSERT_EQ(WuFio_CreatePrivateTemplateCache(&cls_, &cache), S_OK);
  ASSERT_EQ(cache->Rebuild(0), S_OK);
  EXPECT_EQ(cache->Global()->Group(2)->kind, WUTPL_KIND_LEGACY);
  struct Case {
    const char16_t* name;
    LONG low, high;
    LONG where;
    std::string path;
  } cases[] = {
      {u"old one", 0, 19, WUTPL_WHERE_LEGACY, legacy + "old.wut"},
      {u"MINE", 0, 19, WUTPL_WHERE_CACHE, renderDir_ + "mine.wut2"},
      {u"Preset", 0, 19, WUTPL_WHERE_CACHE, ""},
      {u"Preset", 9, 19, WUTPL_WHERE_NONE, ""},
      {u"nothing", 0, 19, WUTPL_WHERE_NONE, ""},
  };
  for (const Case& c : cases) {
    LONG where = -1, index = -5;
    WCHAR path[260];
    const tagWUTEMPLATExV2* found =
        cache->FindTemplateByName(c.name, false, c.low, c.high, &where, &index, path, 260);
    EXPECT_EQ(where, c.where) << fio_test::U8(c.name);
    EXPECT_EQ(fio_test::U8(path), c.path);
    EXPECT_EQ(index, found ? cache->LocateTemplate(found) : -1);
    if (found) {
      EXPECT_GE(index, 0);
    }
  }
  LONG where = 0;
  EXPECT_EQ(cache->FindTemplateByName(u"mine", true, 0, 19, &where, nullptr, nullptr, 0), nullptr);
  cache->Close();
}

TEST_F(TemplateCacheTest, MergedListTakesEachNameOnceInGroupOrder) {
  AddUserFile(u"preset", "", 99);  // the preset of that name comes first
  AddUserFile(u"Zed");
  CWuPrivateTemplateCache* cache = nullptr;
  ASSERT_EQ(WuFio_CreatePrivateTemplateCache(app_, &cls_, &cache), S_OK);
  ASSERT_EQ(cache->AddPrivateTemplate(MakeRecord(u"ZED", u"private"), false), S_OK);
  ASSERT_EQ(cache->Rebuild(0), S_OK);
  EXPECT_EQ(Names(cache->GetTemplateList()),
            (std::vector<std::u16string>{u"ZED", u"Project Default", u"Preset"}));
  EXPECT_EQ(WuTpl_Word(WuList_PointerAt(cache->GetTemplateList(), 2), 60), 7u);
  ASSERT_EQ(cache->Rebuild(1), S_OK);  // without the first preset
  EXPECT_EQ(Names(cache->GetTemplateList()), (std::vector<std::u16string>{u"ZED", u"Preset"}));
  // The current template leads the list; setting it again keeps its slot.
  EXPECT_EQ(cache->SetCurrentTemplate(nullptr, 0), -2);
  EXPECT_EQ(cache->SetCurrentTemplate(MakeRecord(u"Now"), 0), -1);  // the slot was empty
  ASSERT_EQ(cache->Rebuild(1), S_OK);
  EXPECT_EQ(cache->GetCurrentTemplateIndex(), 0);
  tagWUTEMPLATExV2* later = MakeRecord(u"Later");
  EXPECT_EQ(cache->SetCurrentTemplate(later, 0), 0);
  EXPECT_EQ(WuList_PointerAt(cache->GetTemplateList(), 0), later);
  EXPECT_TRUE(cache->IsCurrentTemplateNamed(u"LATER", false));
  EXPECT_FALSE(cache->IsCurrentTemplateNamed(u"LATER", true));
  EXPECT_EQ(cache->DeleteTemplate(later), S_OK);
  EXPECT_EQ(cache->CurrentTemplate(), nullptr);
  tWULIST* copies = nullptr;
  ASSERT_EQ(cache->CopyTemplates(&copies, 1, -1), S_OK);
  ASSERT_EQ(copies->count, 1);
  EXPECT_NE(WuList_PointerAt(copies, 0), WuList_PointerAt(cache->GetTemplateList(), 1));
  WuList_Destroy(copies);
  cache->Close();
}

TEST_F(TemplateCacheTest, StoreReplacesInPlaceOrLeavesTheRecordWithTheCaller) {
  AddUserFile(u"Keep");
  AddUserFile(u"Mix");
  CWuPrivateTemplateCache* cache = nullptr;
  ASSERT_EQ(WuFio_CreatePrivateTemplateCache(app_, &cls_, &cache), S_OK);
  ASSERT_EQ(cache->Rebuild(0), S_OK);
  LONG before = 0;
  cache->FindTemplateByName(u"mix", false, 0, 19, nullptr, &before, nullptr, 0);
  ASSERT_GE(before, 0);
  tagWUTEMPLATExV2* mix = MakeRecord(u"MIX", u"new", 0, 42);
  LONG index = 0;
  const std::u16string path = fio_test::U16(renderDir_ + "MIX.wut2");
  EXPECT_EQ(cache->StoreTemplate(mix, TRUE, path.c_str(), &index), TRUE);
  EXPECT_EQ(index, before);
  EXPECT_EQ(WuList_PointerAt(cache->GetTemplateList(), index), mix);
  // A new name is appended to the class folder's group.
  tagWUTEMPLATExV2* added = MakeRecord(u"Added");
  EXPECT_EQ(cache->StoreTemplate(added, TRUE, nullptr, &index), FALSE);
  EXPECT_EQ(WuList_PointerAt(cache->GetTemplateList(), index), added);
  // No group takes a file from another folder: the caller keeps it.
  tagWUTEMPLATExV2* stray = MakeRecord(u"Stray");
  EXPECT_EQ(cache->StoreTemplate(stray, TRUE, u"/elsewhere/Stray.wut2", &index), FALSE);
  EXPECT_EQ(index, -2);
  EXPECT_EQ(cache->StoreTemplate(stray, FALSE, nullptr, &index), FALSE);
  EXPECT_EQ(index, -2);
  std::free(stray);
  // A record the cache holds is not stored twice; the current one is
  // stored as a copy.
  EXPECT_EQ(cache->StoreTemplate(mix, TRUE, nullptr, &index), TRUE);
  EXPECT_EQ(WuList_PointerAt(cache->GetTemplateList(), index), mix);
  cache->SetCurrentTemplate(MakeRecord(u"Current"), 0);
  tagWUTEMPLATExV2* current = const_cast<tagWUTEMPLATExV2*>(cache->CurrentTemplate());
  EXPECT_EQ(cache->StoreTemplate(current, TRUE, nullptr, &index), FALSE);
  EXPECT_EQ(cache->CurrentTemplate(), current);
  EXPECT_NE(cache->Global()->FindByName(u"Current", true, 18, 18, nullptr, nullptr), current);
  EXPECT_NE(cache->Global()->FindByName(u"Current", true, 18, 18, nullptr, nullptr), nullptr);
  // Deleting a stored one takes it out everywhere.
  EXPECT_EQ(cache->DeleteTemplate(added), S_OK);
  EXPECT_EQ(cache->FindTemplateByName(u"Added", false, 0, 19, nullptr, nullptr, nullptr, 0),
            nullptr);
  cache->Close();
}

// A folder that was missing or empty at the scan keeps its first kind; a
// second store under the same name and file still replaces the first.
TEST_F(TemplateCacheTest, StoringANameTwiceInAFolderEmptyAtTheScanKeepsTheNewer) {
  for (bool folderExists : {false, true}) {
    SCOPED_TRACE(folderExists);
    std::filesystem::remove_all(orvo_);
    if (folderExists) std::filesystem::create_directories(renderDir_);
    app_->Release();  // a fresh manager scans again
    app_ = Create(WUFIO_CREATE_NO_SEARCH | WUFIO_CREATE_NO_CACHE_WRITE);
    ASSERT_NE(app_, nullptr);
    cls_.manager = app_;
    CWuPrivateTemplateCache* cache = nullptr;
    ASSERT_EQ(WuFio_CreatePrivateTemplateCache(app_, &cls_, &cache), S_OK);
    ASSERT_EQ(cache->Rebuild(0), S_OK);
    ASSERT_EQ(cache->Global()->Group(1)->kind, WUTPL_KIND_FOLDER);
    const std::u16string path = fio_test::U16(renderDir_ + "A.wut2");
    LONG first = -1, second = -1;
    EXPECT_EQ(cache->StoreTemplate(MakeRecord(u"A", u"", 0, 1), TRUE, path.c_str(), &first), FALSE);
    tagWUTEMPLATExV2* newer = MakeRecord(u"A", u"", 0, 2);
    EXPECT_EQ(cache->StoreTemplate(newer, TRUE, path.c_str(), &second), TRUE);
    EXPECT_EQ(second, first);
    EXPECT_EQ(Names(cache->GetTemplateList()),
              (std::vector<std::u16string>{u"Project Default", u"Preset", u"A"}));
    EXPECT_EQ(cache->Global()->Group(1)->templates->count, 1);
    EXPECT_EQ(cache->FindTemplateByName(u"a", false, 0, 19, nullptr, nullptr, nullptr, 0), newer);
    tagWUTEMPLATExV2* chosen = WuFio_GetTemplateByName(&cls_, u"A");
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(BytesOf(chosen), BytesOf(newer));
    std::free(chosen);
    cache->Close();
  }
}

TEST_F(TemplateCacheTest, ChangesNeverTouchRecordsAnotherCacheBorrows) {
  AddUserFile(u"Shared");
  AddUserFile(u"Gone");
  CWuPrivateTemplateCache* first = nullptr;
  CWuPrivateTemplateCache* second = nullptr;
  ASSERT_EQ(WuFio_CreatePrivateTemplateCache(app_, &cls_, &first), S_OK);
  ASSERT_EQ(WuFio_CreatePrivateTemplateCache(app_, &cls_, &second), S_OK);
  ASSERT_EQ(first->Rebuild(0), S_OK);
  ASSERT_EQ(second->Rebuild(0), S_OK);
  CWuGlobalTemplateCache* original = second->Global();
  EXPECT_EQ(original->Sharing(), 2);
  EXPECT_EQ(original->Scan(&cls_, 1), WUTPL_E_SHARED);
  const std::vector<std::vector<BYTE>> seen = Contents(second->GetTemplateList());

  // The first cache's store, delete and refresh work on its own copy.
  LONG index = 0;
  EXPECT_EQ(first->StoreTemplate(MakeRecord(u"Shared", u"changed"), TRUE, nullptr, &index), TRUE);
  EXPECT_NE(first->Global(), original);
  EXPECT_EQ(original->Sharing(), 1);
  const tagWUTEMPLATExV2* gone =
      first->FindTemplateByName(u"Gone", true, 0, 19, nullptr, nullptr, nullptr, 0);
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(first->DeleteTemplate(gone), S_OK);
  EXPECT_EQ(Contents(second->GetTemplateList()), seen);

  // The manager's rescan of a newer folder switches to a fresh cache.
  AddUserFile(u"Newer");
  std::filesystem::last_write_time(renderDir_, std::filesystem::file_time_type::clock::now() +
                                                   std::chrono::hours(1));
  CWuGlobalTemplateCache* fresh = nullptr;
  ASSERT_EQ(WuFio_GetGlobalTemplateCache(app_, &cls_, &fresh), S_OK);
  EXPECT_NE(fresh, original);
  EXPECT_NE(fresh->FindByName(u"Newer", true, 0, 19, nullptr, nullptr), nullptr);
  EXPECT_EQ(Contents(second->GetTemplateList()), seen);
  WuFio_ReleaseGlobalTemplateCache(fresh);

  // A store by the only borrower changes its cache in place.
  ASSERT_EQ(second->Refresh(&cls_, 0), S_OK);
  CWuGlobalTemplateCache* mine = second->Global();
  EXPECT_EQ(second->StoreTemplate(MakeRecord(u"Newer", u"again"), TRUE, nullptr, &index), TRUE);
  EXPECT_EQ(second->Global(), mine);
  first->Close();
  second->Close();
}

TEST_F(TemplateCacheTest, ACacheWithoutItsOwnCountCopiesWhenAnotherBorrows) {
  AddUserFile(u"Shared");
  AddUserFile(u"Gone");
  CWuPrivateTemplateCache* borrower = nullptr;
  CWuPrivateTemplateCache* changer = nullptr;
  ASSERT_EQ(WuFio_CreatePrivateTemplateCache(app_, &cls_, &borrower), S_OK);
  ASSERT_EQ(WuFio_CreatePrivateTemplateCache(app_, &cls_, &changer), S_OK);
  ASSERT_EQ(borrower->Rebuild(0), S_OK);  // the changer never rebuilds: it holds no count
  CWuGlobalTemplateCache* original = borrower->Global();
  ASSERT_EQ(original->Sharing(), 1);
  const std::vector<std::vector<BYTE>> seen = Contents(borrower->GetTemplateList());
  LONG index = 0;
  EXPECT_EQ(changer->StoreTemplate(MakeRecord(u"shared", u"x"), TRUE, nullptr, &index), TRUE);
  EXPECT_NE(changer->Global(), original);
  EXPECT_EQ(Contents(borrower->GetTemplateList()), seen);
  CWuPrivateTemplateCache* third = nullptr;
  ASSERT_EQ(WuFio_CreatePrivateTemplateCache(app_, &cls_, &third), S_OK);
  tagWUTEMPLATExV2* gone = third->Global()->FindByName(u"Gone", true, 0, 19, nullptr, nullptr);
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(third->DeleteTemplate(gone), S_OK);
  EXPECT_EQ(Contents(borrower->GetTemplateList()), seen);
  EXPECT_NE(original->FindByName(u"Gone", true, 0, 19, nullptr, nullptr), nullptr);
  third->Close();
  changer->Close();
  borrower->Close();
}

TEST_F(TemplateCacheTest, PresetTestAndClassLookups) {
  CWuGlobalTemplateCache* global = nullptr;
  ASSERT_EQ(WuFio_GetGlobalTemplateCache(app_, &cls_, &global), S_OK);
  tagWUTEMPLATExV2* preset =
      static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(global->Group(0)->templates, 1));
  tagWUTEMPLATExV2* same = fio_test::MakeRecord(u"Preset", u"", 5, 7);
  WuTpl_SetWord(same, WUTPL_OFFSET_ID, 1);
  tagWUTEMPLATExV2* renamed = fio_test::MakeRecord(u"PRESET", u"", 5, 7);
  WuTpl_SetWord(renamed, WUTPL_OFFSET_ID, 1);
  tagWUTEMPLATExV2* differs = fio_test::MakeRecord(u"preset", u"", 5, 8);
  tagWUTEMPLATExV2* stranger = fio_test::MakeRecord(u"Stranger");
  struct Case {
    const tagWUTEMPLATExV2* record;
    DWORD result;
    LONG id;
  } cases[] = {{preset, 255, 1}, {same, 7, 1}, {renamed, 5, 1}, {differs, 1, 1}, {stranger, 0, -2}};
  for (const Case& c : cases) {
    LONG id = 99;
    EXPECT_EQ(WuFio_IsTemplateAPreset(&cls_, c.record, &id), c.result);
    EXPECT_EQ(id, c.id);
  }
  // Class lookups hand out copies.
  tagWUTEMPLATExV2* byName = WuFio_GetTemplateByName(&cls_, u"project default");
  ASSERT_NE(byName, nullptr);
  EXPECT_NE(static_cast<void*>(byName), WuList_PointerAt(global->Group(0)->templates, 0));
  EXPECT_EQ(BytesOf(byName), BytesOf(WuList_PointerAt(global->Group(0)->templates, 0)));
  GUID guid = {0xA1, 0xB2, 0xC3, {1, 1, 1, 1, 1, 1, 1, 1}};
  std::memcpy(reinterpret_cast<BYTE*>(preset) + WUTPL_OFFSET_GUID, &guid, sizeof guid);
  tagWUTEMPLATExV2* byGuid = WuFio_GetTemplateByGuid(&cls_, guid);
  ASSERT_NE(byGuid, nullptr);
  EXPECT_EQ(BytesOf(byGuid), BytesOf(preset));
  guid.Data1 = 0;
  EXPECT_EQ(WuFio_GetTemplateByGuid(&cls_, guid), nullptr);
  EXPECT_EQ(WuFio_GetTemplateByName(&cls_, u"nothing"), nullptr);
  for (void* r : {static_cast<void*>(same), static_cast<void*>(renamed),
                  static_cast<void*>(differs), static_cast<void*>(stranger),
                  static_cast<void*>(byName), static_cast<void*>(byGuid)})
    std::free(r);
  // The manager releases its own reference at shutdown; this one stays
  // usable until released.
  app_->Release();
  app_ = nullptr;
  EXPECT_EQ(global->Group(0)->templates->count, 2);
  WuFio_ReleaseGlobalTemplateCache(global);
}

TEST_F(TemplateCacheTest, PresetFailureEndsTheBuild) {
  cls_.presetFailure = E_ACCESSDENIED;
  CWuGlobalTemplateCache* global = nullptr;
  EXPECT_EQ(WuFio_GetGlobalTemplateCache(app_, &cls_, &global), E_ACCESSDENIED);
  EXPECT_EQ(global, nullptr);
  fio_test::FakeRenderClass orphan;  // no manager
  EXPECT_LT(WuFio_GetGlobalTemplateCacheFromClass(&orphan, &global), 0);
  CWuPrivateTemplateCache* cache = nullptr;
  EXPECT_LT(WuFio_CreatePrivateTemplateCache(&orphan, &cache), 0);
  EXPECT_EQ(cache, nullptr);
}

}  // namespace
