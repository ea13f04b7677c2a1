// Helpers of the wizard and worker tests: a run state with a package file
// of the test's own making, the scripted front end, a disk-facts source
// that can hold the worker at its space check, and a run of the wizard
// that waits for the worker's end.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "Sfx/ArchiveIo.h"
#include "Sfx/CSfxExtractProgress.h"
#include "Sfx/SfxRun.h"
#include "Sfx/SfxRunState.h"
#include "Sfx/SfxWizard.h"
#include "platform/user/frontend.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/threads.h"
#include "tests/Sfx/ArchiveTestUtil.h"
#include "tests/Sfx/SfxTestUtil.h"

namespace sfxtest {

using archtest::Exists;
using archtest::GetFile;
using archtest::HandArchive;
using archtest::PutFile;

// The wizard's title in these tests (the pages' caption).
constexpr char16_t kTitle[] = u"Demo - Unpacking Wizard";
// Captions of the file-exists question and of the cancel confirmation.
constexpr char16_t kFileExists[] = u"File Exists";
constexpr char16_t kConfirmCaption[] = u"Unpacking Wizard";

// Disk facts for the archive's space checks: the free bytes the test sets,
// optionally held until the test releases them (the worker then waits at
// its space check, before the first entry).
struct DiskFacts {
  static inline ULONGLONG freeBytes = 1ULL << 40;
  static inline HANDLE release = nullptr;  // manual-reset event, or NULL: never held

  static BOOL Source(LPCWSTR, tARCDISKINFO* info) {
    if (release) WaitForSingleObject(release, 60000);
    info->freeBytes = freeBytes;
    const char16_t fs[] = u"ext4";
    for (int i = 0; fs[i]; ++i) info->fileSystem[i] = fs[i];
    return TRUE;
  }
};

class WizardTest : public RunStateTest {
 protected:
  void SetUp() override {
    RunStateTest::SetUp();
    platform::SetFrontEnd(&script_);
    WuPrintF_AddToken(u"AppName.Title", u"Demo");
    dir_ = wutest::MakeTempDir("wizard");
    package_ = dir_ + "/package.um";
    out_ = dir_ + "/out";
    SfxSetPackagePath(U16(package_).c_str());
    DiskFacts::freeBytes = 1ULL << 40;
    DiskFacts::release = nullptr;
    ArcSetDiskInfoSource(DiskFacts::Source);
    SetFolder(out_);
    CopyText(g_SfxRunState.windowTitle, kTitle);
    g_SfxRunState.wizardX = -1;
    g_SfxRunState.wizardY = -1;
    g_SfxRunState.showOverwrite = TRUE;
    g_SfxRunState.endEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }

  void TearDown() override {
    if (DiskFacts::release) SetEvent(DiskFacts::release);
    JoinWorker();
    if (DiskFacts::release) CloseHandle(DiskFacts::release);
    DiskFacts::release = nullptr;
    ArcSetDiskInfoSource(nullptr);
    SfxSetPackagePath(nullptr);
    delete g_SfxRunState.progress;
    g_SfxRunState.progress = nullptr;
    if (g_SfxRunState.endEvent) CloseHandle(g_SfxRunState.endEvent);
    if (g_SfxRunState.banner) DeleteObject(g_SfxRunState.banner);
    EXPECT_TRUE(script_.errors().empty()) << script_.errors().front();
    RunStateTest::TearDown();
  }

  static void CopyText(WCHAR* to, const std::u16string& text) {
    size_t n = text.size() < SFX_PATH_SIZE - 1 ? text.size() : SFX_PATH_SIZE - 1;
    text.copy(to, n);
    to[n] = 0;
  }
  static void SetFolder(const std::string& folder) { CopyText(g_SfxRunState.extractFolder, U16(folder)); }

  void WritePackage(const HandArchive& archive) { PutFile(package_, archive.Build()); }

  // Waits for the worker (started by the progress page) to end.
  void JoinWorker() {
    if (!g_SfxRunState.workerThread) return;
    EXPECT_EQ(WaitForSingleObject(g_SfxRunState.workerThread, 60000), WAIT_OBJECT_0);
    CloseHandle(g_SfxRunState.workerThread);
    g_SfxRunState.workerThread = nullptr;
  }

  // Runs the wizard and waits for the worker, when one was started.
  BOOL RunWizard(BOOL startOnProgress) {
    BOOL ok = SfxRunWizard(startOnProgress);
    JoinWorker();
    return ok;
  }

  // The records of the dialogs shown with this title.
  std::vector<platform::ScriptedFrontEnd::Shown> ShownTitled(const std::u16string& title) {
    std::vector<platform::ScriptedFrontEnd::Shown> out;
    for (const auto& s : script_.shown())
      if (s.title == title) out.push_back(s);
    return out;
  }
  // The texts of the message boxes shown, in order.
  std::vector<std::u16string> BoxTexts() {
    std::vector<std::u16string> out;
    for (const auto& s : script_.shown())
      if (s.message_box) {
        std::u16string text;
        for (const std::u16string& t : s.texts) text += t;
        out.push_back(text);
      }
    return out;
  }

  platform::ScriptedFrontEnd script_;
  std::string dir_;
  std::string package_;
  std::string out_;
};

}  // namespace sfxtest
