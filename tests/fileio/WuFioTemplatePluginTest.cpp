// The template caches over a real renderer plug-in: its presets, its
// template folder and the manager it was initialised with.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "fileio/CWuTemplateCache.h"
#include "fileio/WuFioTemplateFiles.h"
#include "fileio/WuFioTemplateLayout.h"
#include "foundation/WuList.h"
#include "tests/fileio/FioRendererFixture.h"
#include "tests/fileio/TemplateBytes.h"

namespace {

class TemplatePluginTest : public fio_test::FioRendererTest {};

TEST_F(TemplatePluginTest, PresetsAndUserFilesThroughTheClass) {
  WCHAR folder[260];
  ASSERT_GE(WuFio_GetRenderTemplateFolder(renderer_, folder, 260), 0);
  const std::string dir = fio_test::U8(folder);
  EXPECT_EQ(dir.substr(dir.size() - 30), "/Render Templates/test render/");
  std::filesystem::remove_all(dir);

  CWuPrivateTemplateCache* cache = nullptr;
  ASSERT_EQ(WuFio_CreatePrivateTemplateCache(renderer_, &cache), S_OK);
  ASSERT_EQ(cache->Rebuild(0), S_OK);
  tWULIST* list = cache->GetTemplateList();
  ASSERT_EQ(list->count, 3);
  EXPECT_EQ(std::u16string(WuTpl_Name(WuList_PointerAt(list, 0))), u"Project Default");

  tagWUTEMPLATExV2* preset = WuFio_GetTemplateByName(renderer_, u"PROJECT DEFAULT");
  ASSERT_NE(preset, nullptr);
  LONG id = 0;
  EXPECT_EQ(WuFio_IsTemplateAPreset(renderer_, preset, &id), 7u);
  std::free(preset);

  // A user template saved into the class folder shows after a refresh.
  WCHAR path[260];
  ASSERT_EQ(WuFio_GetUserTemplateFilePath(renderer_, u"Mine", path, 260, TRUE), 0);
  tagWUTEMPLATExV2* mine = fio_test::MakeRecord(u"Mine");
  wutest::WriteBytes(fio_test::U8(path),
                     std::string(reinterpret_cast<const char*>(mine), WuTpl_Size(mine)));
  std::free(mine);
  std::filesystem::last_write_time(
      dir, std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
  ASSERT_EQ(cache->Refresh(renderer_, 0), S_OK);
  LONG where = 0, index = 0;
  EXPECT_NE(cache->FindTemplateByName(u"mine", false, 0, 19, &where, &index, path, 260), nullptr);
  EXPECT_EQ(where, WUTPL_WHERE_CACHE);
  EXPECT_EQ(index, 3);
  cache->Close();
  std::filesystem::remove_all(dir);
}

}  // namespace
