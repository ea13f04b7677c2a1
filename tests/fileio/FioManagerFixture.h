// The fixture of the manager tests: a temporary folder as the manager's
// module folder (configuration files go there), a fresh cache, the test
// plug-ins' paths, and at the end a check that nothing of any plug-in is
// left alive.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fileio/CWuFileIOManager.h"
#include "fileio/WuFioPaths.h"
#include "fileio/WuFioPluginRecord.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "platform/kernel/files.h"
#include "platform/kernel/module.h"
#include "tests/common/TestUtil.h"
#include "tests/fileio/kit/WuFioTestCounters.h"
#include "tests/fileio/plugins/FioTestIds.h"

namespace fio_test {

using wu_test::PluginCountsOf;
using wutest::U16;
using wutest::U8;

// The Linux path of a test plug-in (".so" added).
inline std::string PluginPath(const char* name) {
  return std::string(FIO_TEST_PLUGIN_DIR) + "/" + name + ".so";
}

class FioManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wu_test::ResetPluginCounts();
    modulesBefore_ = platform::LoadedModuleCount();
    dir_ = wutest::MakeTempDir("fio");
    ASSERT_FALSE(dir_.empty());
    WuFio_SetManagerModuleFolder(U16(dir_).c_str());
    ASSERT_EQ(WuFio_EnsureCachePaths(nullptr, 0, nullptr), S_OK);
    WCHAR folder[260] = {}, name[260] = {};
    ASSERT_TRUE(WuFio_GetCacheProfile(folder, name));
    cachePath_ = U8(folder) + "/" + U8(name);
    std::remove(cachePath_.c_str());
    WuFio_SetManagerModuleFolder(U16(dir_).c_str());
  }

  void TearDown() override {
    for (const char* name : {"fio_test_basic", "fio_test_order", "fio_test_many",
                             "fio_test_preload", "fio_test_nolist", "fio_test_dep",
                             "fio_test_generic", "fio_test_keys"}) {
      wu_test::PluginCounts counts = PluginCountsOf(name);
      EXPECT_EQ(counts[kWuFioTestLive], 0) << name;
      EXPECT_EQ(counts[kWuFioTestLoads], counts[kWuFioTestUnloads]) << name;
    }
    EXPECT_EQ(platform::LoadedModuleCount(), modulesBefore_);
    WuFio_SetManagerModuleFolder(nullptr);
  }

  // Writes a configuration file into the module folder: `plugins` as the
  // "FileIO Plug-Ins" section, then `more` as it stands.
  void WriteConfig(const std::string& file,
                   const std::vector<std::pair<std::string, std::string>>& plugins,
                   const std::string& more = "") {
    std::string text = "[FileIO Plug-Ins]\n";
    for (const auto& [key, value] : plugins) text += key + "=" + value + "\n";
    wutest::WriteBytes(dir_ + "/" + file, text + more);
  }

  // A manager from the configuration files, or NULL (the test fails).
  IWuFileIOMgrForApp* Create(DWORD flags = 0, _WUFIO_KEYED_INFO* info = nullptr) {
    IWuFileIOMgrForApp* app = nullptr;
    HRESULT hr = info ? WUFileIO_CreateInstance(&app, flags, info)
                      : WUFileIO_CreateInstance(&app, flags);
    EXPECT_EQ(hr, S_OK);
    return app;
  }

  static CWuFileIOManager* Impl(IWuFileIOMgrForApp* app) {
    return static_cast<CWuFileIOManager*>(app);
  }

  // The plug-in records of a manager.
  static std::vector<WUFIO_PLUGIN_RECORD*> Records(IWuFileIOMgrForApp* app) {
    std::vector<WUFIO_PLUGIN_RECORD*> records;
    tWULIST* list = Impl(app)->PluginList();
    for (LONG i = 0; i < WuFio_PluginCount(list); ++i) records.push_back(WuFio_PluginAt(list, i));
    return records;
  }

  // The record of a plug-in class id, NULL when none.
  static WUFIO_PLUGIN_RECORD* RecordOf(IWuFileIOMgrForApp* app, const CLSID& id) {
    for (WUFIO_PLUGIN_RECORD* record : Records(app))
      if (IsEqualGUID(record->classId, id)) return record;
    return nullptr;
  }

  std::string CacheText() const { return wutest::ReadBytes(cachePath_); }

  std::string dir_;        // the module folder of this test
  std::string cachePath_;  // the cache profile
  size_t modulesBefore_ = 0;
};

}  // namespace fio_test
