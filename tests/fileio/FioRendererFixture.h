// A manager over fio_test_renderer alone and its renderer class, for the
// template tests; at the end nothing of the plug-in is left alive.
#pragma once

#include "tests/fileio/FioManagerFixture.h"
#include "tests/fileio/plugins/FioTestRenderer.h"

namespace fio_test {

class FioRendererTest : public FioManagerTest {
 protected:
  void SetUp() override {
    FioManagerTest::SetUp();
    WriteConfig("r.Fio2007-Config", {{"render", PluginPath("fio_test_renderer")}});
    app_ = Create(0);
    ASSERT_NE(app_, nullptr);
    ASSERT_EQ(app_->GetRendererClassById(&renderer_, kRendererClassId), S_OK);
  }
  void TearDown() override {
    if (renderer_) renderer_->Release();
    if (app_) app_->Release();
    wu_test::PluginCounts counts = PluginCountsOf("fio_test_renderer");
    EXPECT_EQ(counts[kWuFioTestLive], 0);
    EXPECT_EQ(counts[kWuFioTestLoads], counts[kWuFioTestUnloads]);
    FioManagerTest::TearDown();
  }
  // Calls of one slot of the renderer class so far.
  static LONG SlotCalls(int slot) {
    return PluginCountsOf(("fio_test_renderer/" + std::to_string(slot)).c_str())[kWuFioTestCalls];
  }

  IWuFileIOMgrForApp* app_ = nullptr;
  IWuRenderFileClass* renderer_ = nullptr;
};

}  // namespace fio_test
