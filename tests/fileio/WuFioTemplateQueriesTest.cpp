// Lists of a renderer class's templates, plain and filtered.
#include "fileio/WuFioTemplateQueries.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fileio/WuFioTemplate.h"
#include "tests/fileio/FakeRenderClass.h"
#include "tests/fileio/FioManagerFixture.h"

namespace {

using fio_test::FakeRenderClass;

std::vector<std::u16string> Names(tWULIST* list) {
  std::vector<std::u16string> names;
  for (LONG i = 0; i < list->count; ++i)
    names.emplace_back(static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(list, i))->GetName());
  return names;
}

BOOL SkipNamed(const tagWUTEMPLATExV2* r, LPVOID data) {
  return std::u16string(r->GetName()) != static_cast<const char16_t*>(data);
}

class TemplateQueriesTest : public fio_test::FioManagerTest {
 protected:
  void SetUp() override {
    FioManagerTest::SetUp();
    app_ = Create(WUFIO_CREATE_NO_SEARCH | WUFIO_CREATE_NO_CACHE_WRITE);
    ASSERT_NE(app_, nullptr);
    cls_.manager = app_;
    cls_.AddPreset(u"Project Default", 0, 5);
    cls_.AddPreset(u"Preset", 1, 5);
  }
  void TearDown() override {
    if (app_) app_->Release();
    FioManagerTest::TearDown();
  }
  IWuFileIOMgrForApp* app_ = nullptr;
  FakeRenderClass cls_;
};

TEST_F(TemplateQueriesTest, WholeList) {
  tWULIST* list = nullptr;
  ASSERT_EQ(WuFio_GetTemplateList(&cls_, &list), S_OK);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"Project Default", u"Preset"}));
  WuFio_ReleaseTemplateList(list);
  EXPECT_EQ(WuFio_GetTemplateList(&cls_, nullptr), E_POINTER);
  // A failing class leaves the out list empty.
  cls_.presetFailure = E_ACCESSDENIED;
  FakeRenderClass other;
  other.manager = app_;
  other.id.Data1 = 0x99;
  other.AddPreset(u"P", 0);
  other.presetFailure = E_ACCESSDENIED;
  list = reinterpret_cast<tWULIST*>(1);
  EXPECT_LT(WuFio_GetTemplateList(&other, &list), 0);
  EXPECT_EQ(list, nullptr);
}

TEST_F(TemplateQueriesTest, FilteredListWithDefault) {
  cls_.partMaskStatus = S_OK;
  cls_.partMask = 2;
  tWULIST* list = nullptr;
  ASSERT_EQ(WuFio_GetFilteredTemplateList(app_, &cls_, &list, 0, nullptr, nullptr, TRUE), S_OK);
  // The default stands in for the first preset.
  ASSERT_EQ(Names(list), (std::vector<std::u16string>{u"Default Template", u"Preset"}));
  const auto* def = static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(list, 0));
  EXPECT_EQ(def->version, WUTEMPLATE_VERSION_V2);
  EXPECT_EQ(def->guid.Data1, 0xFFFFFFFFu);
  EXPECT_EQ(def->guid.Data4[7], 0xFF);
  EXPECT_EQ(def->audio.blockSize, 0u);
  EXPECT_EQ(def->video.blockSize, 200u);
  EXPECT_EQ(def->video.streamCount, 1u);
  EXPECT_EQ(std::u16string(WuFio_GetTemplateNotesPtr(def)), u"");
  WuFio_ReleaseTemplateList(list);

  // The filter decides; owned items hold the bytes.
  char16_t skip[] = u"Default Template";
  ASSERT_EQ(WuFio_GetFilteredTemplateList(app_, &cls_, &list, WULIST_OWNITEMS, &SkipNamed, skip,
                                          TRUE),
            S_OK);
  EXPECT_EQ(Names(list), std::vector<std::u16string>{u"Preset"});
  EXPECT_TRUE(WuList_GetCreateOptions(list) & WULIST_OWNITEMS);
  WuFio_ReleaseTemplateList(list);

  // Without the default every template is listed.
  ASSERT_EQ(WuFio_GetFilteredTemplateList(nullptr, &cls_, &list, 0, nullptr, nullptr, FALSE),
            S_OK);
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"Project Default", u"Preset"}));
  WuFio_ReleaseTemplateList(list);
  EXPECT_EQ(WuFio_GetFilteredTemplateList(app_, &cls_, nullptr, 0, nullptr, nullptr, TRUE),
            E_POINTER);
}

TEST_F(TemplateQueriesTest, FilteredListEmpty) {
  FakeRenderClass empty;
  empty.manager = app_;
  empty.id.Data1 = 0x55;
  tWULIST* list = reinterpret_cast<tWULIST*>(1);
  EXPECT_EQ(WuFio_GetFilteredTemplateList(app_, &empty, &list, 0, nullptr, nullptr, FALSE), 1);
  EXPECT_EQ(list, nullptr);
}

}  // namespace
