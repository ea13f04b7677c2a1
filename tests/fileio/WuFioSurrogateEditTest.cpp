// Classes hosted in a real FileIOSurrogate: the template editor of a
// forced-out renderer class runs there (fio_test_renderer), and a
// forced-out library that needs preload modules loads there
// (fio_test_preload).
#include <cstdlib>
#include <cstring>
#include <thread>

#include "fileio/WuFioSurrogate.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateList.h"
#include "foundation/WuPathStrings.h"
#include "platform/com/com.h"
#include "platform/kernel/files.h"
#include "platform/kernel/process.h"
#include "platform/kernel/time.h"
#include "platform/user/frontend.h"
#include "tests/fileio/FioManagerFixture.h"
#include "tests/fileio/TemplateBytes.h"
#include "tests/fileio/plugins/FioTestRenderer.h"

namespace fio_test {
namespace {

// Waits (at most 15 s) until no descendant process is left; true when none.
bool NoDescendantsLeft() {
  const ULONGLONG deadline = GetTickCount64() + 15000;
  while (!platform::DescendantProcessIds().empty()) {
    if (GetTickCount64() > deadline) return false;
    Sleep(20);
  }
  return true;
}

// Surrogates started with an empty file as their standard input, so that
// their dialogs never reach a terminal; none left behind.
class SurrogateHostTest : public FioManagerTest {
 protected:
  void SetUp() override {
    FioManagerTest::SetUp();
    ASSERT_TRUE(platform::DescendantProcessIds().empty());
    wutest::WriteBytes(dir_ + "/no-input", "");
    input_ = CreateFileW(U16(dir_ + "/no-input").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(input_, INVALID_HANDLE_VALUE);
    WuFio_SetSurrogateInput(input_);
  }
  void TearDown() override {
    bool clean = NoDescendantsLeft();
    for (DWORD pid : platform::DescendantProcessIds()) platform::KillProcessById(pid);
    EXPECT_TRUE(clean) << "a surrogate outlived its clients";
    WuFio_SetSurrogateInput(nullptr);
    if (input_ != INVALID_HANDLE_VALUE) CloseHandle(input_);
    FioManagerTest::TearDown();
  }

  HANDLE input_ = INVALID_HANDLE_VALUE;
};

// fio_test_renderer forced out of process, with a list stream of two
// private templates of the class; this process's front end is scripted,
// so that a dialog shown here would be seen.
class SurrogateEditTest : public SurrogateHostTest {
 protected:
  void SetUp() override {
    SurrogateHostTest::SetUp();
    if (HasFatalFailure()) return;
    // Escapes for the dialogs that must not show here (so that the test
    // fails rather than waits when they do).
    here_.Escape().Escape().Escape().Escape();
    platform::SetFrontEnd(&here_);
    WriteConfig("r.Fio2007-Config", {{"render", PluginPath("fio_test_renderer")}},
                "[render]\nForceOutOfProcess=1\n");
    app_ = Create(WUFIO_CREATE_NO_CACHE_WRITE);
    ASSERT_NE(app_, nullptr);
    ASSERT_EQ(app_->GetRendererClassById(&renderer_, kRendererClassId), S_OK);
    WUFIO_PLUGIN_RECORD* record = RecordOf(app_, kRendererPlugin);
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(record->flags & WUFIO_PLUGIN_IN_SURROGATE);
    pid_ = WuFio_ManagerSurrogateProcessId(Impl(app_));
    ASSERT_NE(pid_, 0u);

    list_ = NewTemplateList();
    tagWUTEMPLATExV2* preset = nullptr;
    ASSERT_EQ(renderer_->GetPreset(&preset, 1), S_OK);
    for (const char16_t* name : {u"Private One", u"Private Two"}) {
      tagWUTEMPLATExV2* named = WuFio_NewTemplate(name, u"", preset->privateSize, preset);
      std::memcpy(reinterpret_cast<BYTE*>(named) + 4, reinterpret_cast<BYTE*>(preset) + 4, 524);
      std::memcpy(named->PrivateData(), preset->PrivateData(), preset->PaddedPrivateSize());
      Append(list_, named);
    }
    std::free(preset);
    ASSERT_EQ(WuFio_MakeTemplateListIStream(list_, &stream_), S_OK);
  }
  void TearDown() override {
    if (stream_) stream_->Release();
    WuFio_ReleaseTemplateList(list_);
    if (renderer_) renderer_->Release();
    if (app_) app_->Release();
    platform::SetFrontEnd(nullptr);
    EXPECT_TRUE(here_.shown().empty()) << "the editor ran in this process";
    SurrogateHostTest::TearDown();
  }

  IWuFileIOMgrForApp* app_ = nullptr;
  IWuRenderFileClass* renderer_ = nullptr;
  DWORD pid_ = 0;  // the surrogate's process
  tWULIST* list_ = nullptr;
  IStream* stream_ = nullptr;
  platform::ScriptedFrontEnd here_;
};

// The editor runs in the surrogate under its non-interactive front end,
// which presses OK at once: with no template in, the list's first entry
// comes back, a record of the caller's; with one, nothing was chosen.
TEST_F(SurrogateEditTest, EditorRunsInTheSurrogate) {
  LONGLONG where = 0;
  ASSERT_EQ(renderer_->GetProperty(kRendererPropProcessId, &where), S_OK);
  EXPECT_EQ(where, static_cast<LONGLONG>(pid_));
  tagWUTEMPLATExV2* in = MakeRecord(u"Caller's");
  struct Case {
    const char* name;
    tagWUTEMPLATExV2* in;
    DWORD flags;           // in
    HRESULT hr;
    const char16_t* out;   // NULL: none
  };
  const Case cases[] = {
      {"no template in", nullptr, 0x18, S_OK, u"Private One"},
      {"the caller's template kept", in, 0, S_FALSE, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LARGE_INTEGER start = {};
    ASSERT_EQ(stream_->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
    tagWUTEMPLATExV2* out = reinterpret_cast<tagWUTEMPLATExV2*>(1);
    DWORD flags = c.flags;
    EXPECT_EQ(app_->EditTemplate(nullptr, renderer_, 0, nullptr, &flags, stream_, c.in, &out), c.hr);
    EXPECT_EQ(flags & 0x18, 0u);
    if (!c.out) {
      EXPECT_EQ(out, nullptr);
      continue;
    }
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(WuTpl_LayoutOk(out));
    EXPECT_EQ(std::u16string(out->GetName()), c.out);
    std::free(out);  // the caller's own
  }
  std::free(in);
  // The editor asked the pages of the class there: prepared without an
  // owner window.
  ASSERT_EQ(renderer_->SetProperty(kRendererPropPages, 0), S_OK);
  ASSERT_EQ(renderer_->SetProperty(kRendererPropExtraPages, 1), S_OK);
  ASSERT_EQ(renderer_->SetProperty(kRendererPropPageFlags, 0x1 | 0x4), S_OK);
  tagWUTEMPLATExV2* out = nullptr;
  DWORD flags = 0;
  EXPECT_EQ(app_->EditTemplate(nullptr, renderer_, 0, nullptr, &flags, nullptr, nullptr, &out), S_OK);
  EXPECT_NE(out, nullptr);
  std::free(out);
  LONGLONG owner = 0;
  ASSERT_EQ(renderer_->GetProperty(kRendererPropPreparedOwner, &owner), S_OK);
  EXPECT_EQ(owner, -1);
}

// A caller's record that fails its layout check does not cross.
TEST_F(SurrogateEditTest, BadRecordInIsRefused) {
  tagWUTEMPLATExV2* bad = MakeRecord(u"Bad");
  WuTpl_SetWord(bad, WUTPL_OFFSET_TEXTLEN, 1000);
  tagWUTEMPLATExV2* out = nullptr;
  DWORD flags = 0;
  EXPECT_EQ(app_->EditTemplate(nullptr, renderer_, 0, nullptr, &flags, stream_, bad, &out),
            static_cast<HRESULT>(0x8004E00B));
  EXPECT_EQ(out, nullptr);
  std::free(bad);
}

// The surrogate killed while its editor runs: the edit answers
// RPC_E_DISCONNECTED without hanging, and so do later calls.
TEST_F(SurrogateEditTest, SurrogateKilledDuringTheEdit) {
  ASSERT_EQ(renderer_->SetProperty(kRendererPropPageCountDelay, 60000), S_OK);
  HRESULT during = S_OK;
  tagWUTEMPLATExV2* out = reinterpret_cast<tagWUTEMPLATExV2*>(1);
  std::thread edit([&] {
    DWORD flags = 0;
    during = app_->EditTemplate(nullptr, renderer_, 0, nullptr, &flags, stream_, nullptr, &out);
  });
  Sleep(300);  // the editor waits in the page count by now (or the call meets a dead peer)
  ASSERT_TRUE(platform::KillProcessById(pid_));
  edit.join();
  EXPECT_EQ(during, RPC_E_DISCONNECTED);
  EXPECT_EQ(out, nullptr);
  DWORD flags = 0;
  EXPECT_EQ(app_->EditTemplate(nullptr, renderer_, 0, nullptr, &flags, nullptr, nullptr, &out),
            RPC_E_DISCONNECTED);
}

// fio_test_preload forced out of process: it loads in the surrogate only
// with the preload modules its record names (from the cache).
TEST_F(SurrogateHostTest, ForcedOutLibraryLoadsWithItsPreloadModules) {
  const std::string folder = dir_ + "/plug";
  ASSERT_TRUE(CreateDirectoryW(U16(folder).c_str(), nullptr));
  const std::string plugin = folder + "/fio_test_preload.so";
  ASSERT_TRUE(CopyFileW(U16(PluginPath("fio_test_preload")).c_str(), U16(plugin).c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(U16(std::string(FIO_TEST_PLUGIN_DIR) + "/libfio_test_dep.so").c_str(),
                        U16(folder + "/libfio_test_dep.so").c_str(), FALSE));
  WriteConfig("a.Fio2007-Config", {{"pre", plugin}}, "[pre]\nForceOutOfProcess=1\n");
  struct Case {
    const char* name;
    std::string preloads;
    HRESULT hr;  // of the reader class
  };
  const Case cases[] = {
      {"listed", "missing;libfio_test_dep", S_OK},
      {"not listed", "", E_NOINTERFACE},
  };
  const std::string stamp =
      std::to_string(static_cast<int>(WuDosGetDateTimeUTC(U16(plugin).c_str())));
  const std::string id = "{A0000000-0001-4000-8000-000000000001}";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wutest::WriteBytes(
        cachePath_,
        "[fio_test_preload]\nPath=" + plugin + "\nModTime=" + stamp + "\n" + id +
            "=PRE\n[fio_test_preload." + id + "]\nAccess=16\nFlags=0\nStreamType=1\n[" + id +
            "]\nDialogName=Preload\nLangID=" +
            std::to_string(static_cast<int>(WuFio_CurrentLangId())) + "\nModTime=" + stamp +
            "\nPreloadModules=" + c.preloads +
            "\nReader={A1000000-0001-4000-8000-000000000001}\nExtReader=*.pre\n");
    IWuFileIOMgrForApp* app = Create(0);
    ASSERT_NE(app, nullptr);
    IWuReadFileClass* cls = nullptr;
    EXPECT_EQ(app->GetReaderClassById(&cls, kPreloadReader), c.hr);
    if (cls) {
      WUFIO_PLUGIN_RECORD* record = RecordOf(app, kPreload);
      ASSERT_NE(record, nullptr);
      EXPECT_TRUE(record->flags & WUFIO_PLUGIN_IN_SURROGATE);
      EXPECT_EQ(cls->CheckPath(U16(plugin).c_str()), S_OK);  // calls into the needed library
      cls->Release();
    }
    app->Release();
    EXPECT_TRUE(NoDescendantsLeft());
  }
}

}  // namespace
}  // namespace fio_test
