// The progress page with its extraction worker: cancelling, the overwrite
// question and the ways extraction can fail, driven through the scripted
// front end.
#include <gtest/gtest.h>

#include "Sfx/ArchiveCodes.h"
#include "Sfx/SfxExtractWorker.h"
#include "Sfx/SfxUiIds.h"
#include "platform/comctl/commctrl.h"
#include "tests/Sfx/SfxWizardTestUtil.h"

namespace {

using namespace sfxtest;
using archtest::Noise;

class ProgressPage : public WizardTest {
 protected:
  // Two files; the first one spans several data blocks.
  void WriteTwoFiles() {
    HandArchive h;
    h.Add(u"a.bin", Noise(3 * 262144), 1);
    h.Add(u"b.bin", "second file");
    WritePackage(h);
  }
};

// Cancel while the worker extracts: "Yes" stops it with 0x8004E00C at its
// next poll, "No" lets it finish. The answer is given once while the worker
// runs on, and once before the worker reaches its first poll: it is picked
// up there and never lost.
TEST_F(ProgressPage, CancelAnsweredYesStopsAndNoContinues) {
  WriteTwoFiles();
  for (bool answeredBeforePoll : {false, true}) {
    for (int answer : {IDYES, IDNO}) {
      SCOPED_TRACE(testing::Message() << "before poll " << answeredBeforePoll << ", answer " << answer);
      std::string out = wutest::MakeTempDir("cancel");
      SetFolder(out);
      DiskFacts::release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      HANDLE release = DiskFacts::release;
      auto let_worker_go = [release](HWND) { SetEvent(release); };
      script_.Press(IDCANCEL, kTitle);
      if (answeredBeforePoll) {
        script_.Answer(answer).Run(let_worker_go, kTitle);
      } else {
        script_.WaitFor(kConfirmCaption).Run(let_worker_go, kConfirmCaption).Answer(answer);
      }
      EXPECT_TRUE(RunWizard(TRUE)) << "the archive ends the page when it stops";
      EXPECT_TRUE(script_.Done());
      if (answer == IDYES) {
        EXPECT_EQ(g_SfxRunState.extractResult, WU_E_CANCELLED);
        EXPECT_FALSE(Exists(out + "/b.bin"));
      } else {
        EXPECT_EQ(g_SfxRunState.extractResult, S_OK);
        EXPECT_EQ(GetFile(out + "/a.bin"), Noise(3 * 262144));
        EXPECT_EQ(GetFile(out + "/b.bin"), "second file");
      }
      EXPECT_EQ(WaitForSingleObject(g_SfxRunState.endEvent, 0), WAIT_OBJECT_0);
      ResetEvent(g_SfxRunState.endEvent);
      CloseHandle(DiskFacts::release);
      DiskFacts::release = nullptr;
      delete g_SfxRunState.progress;
      g_SfxRunState.progress = nullptr;
    }
  }
}

// Cancel pressed while the worker shows the file-exists question: the
// confirmation waits until that question is closed (never two prompts at
// once), and a "No" to the question survives a "No" to the cancel.
TEST_F(ProgressPage, CancelDuringTheOverwriteQuestionIsAskedAfterIt) {
  HandArchive h;
  h.Add(u"a.txt", "new a");
  h.Add(u"b.txt", "new b");
  WritePackage(h);
  for (int answer : {IDYES, IDNO}) {
    SCOPED_TRACE(answer);
    std::string out = wutest::MakeTempDir("during");
    SetFolder(out);
    PutFile(out + "/a.txt", "old a");
    bool questionOpenAtConfirm = true;
    script_.WaitFor(kFileExists)
        .Press(IDCANCEL, kTitle)
        .Press(SFX_IDC_NO, kFileExists)
        .Run(
            [&](HWND) {
              for (const auto& s : script_.shown())
                if (s.title == kFileExists) questionOpenAtConfirm = s.open;
            },
            kConfirmCaption)
        .Answer(answer);
    EXPECT_TRUE(RunWizard(TRUE));
    EXPECT_TRUE(script_.Done());
    EXPECT_FALSE(questionOpenAtConfirm);
    EXPECT_EQ(GetFile(out + "/a.txt"), "old a") << "the file was kept";
    if (answer == IDYES) {
      EXPECT_EQ(g_SfxRunState.extractResult, WU_E_CANCELLED);
      EXPECT_FALSE(Exists(out + "/b.txt"));
    } else {
      EXPECT_EQ(g_SfxRunState.extractResult, S_OK);
      EXPECT_EQ(GetFile(out + "/b.txt"), "new b");
    }
    delete g_SfxRunState.progress;
    g_SfxRunState.progress = nullptr;
  }
}

// Both files exist (b read-only in the first case: yes-to-all and
// no-to-all of ordinary files do not cover read-only ones); the answers of dialog 1200, and the ways
// of overwriting without a question.
TEST_F(ProgressPage, OverwriteAnswers) {
  HandArchive h;
  h.Add(u"a.txt", "new a");
  h.Add(u"b.txt", "new b");
  WritePackage(h);
  struct Case {
    const char* name;
    std::vector<int> buttons;  // pressed in the questions, in order
    bool tempExt;              // option TEMPEXT
    bool showOverwrite;        // setting ShowOverwrite
    bool ownTempFolder;        // the extraction folder is the run's temporary folder
    bool aNew, bNew;           // overwritten
    HRESULT result;
  };
  const Case cases[] = {
      {"yes, yes", {SFX_IDC_YES, SFX_IDC_YES}, false, true, false, true, true, S_OK},
      {"yes to all", {SFX_IDC_YES_ALL}, false, true, false, true, true, S_OK},
      {"no, yes", {SFX_IDC_NO, SFX_IDC_YES}, false, true, false, false, true, S_OK},
      {"no to all", {SFX_IDC_NO_ALL}, false, true, false, false, false, S_OK},
      {"cancel", {IDCANCEL}, false, true, false, false, false, WU_E_CANCELLED},
      {"TEMPEXT", {}, true, true, false, true, true, S_OK},
      {"ShowOverwrite=0", {}, false, false, false, true, true, S_OK},
      {"own temporary folder", {}, false, true, true, true, true, S_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out = wutest::MakeTempDir("overwrite");
    SetFolder(out);
    PutFile(out + "/a.txt", "old a");
    PutFile(out + "/b.txt", "old b");
    bool readOnly = c.buttons.size() == 2;
    if (readOnly) chmod((out + "/b.txt").c_str(), 0444);
    g_SfxRunState.overwriteAll = c.tempExt;
    g_SfxRunState.showOverwrite = c.showOverwrite;
    CopyText(g_SfxRunState.tempFolder, c.ownTempFolder ? U16(out + "/") : u"");
    for (int button : c.buttons) script_.Press(button, kFileExists);
    size_t asked_before = ShownTitled(kFileExists).size();
    EXPECT_TRUE(RunWizard(TRUE));
    EXPECT_TRUE(script_.Done());
    EXPECT_EQ(g_SfxRunState.extractResult, c.result);
    EXPECT_EQ(GetFile(out + "/a.txt"), c.aNew ? "new a" : "old a");
    EXPECT_EQ(GetFile(out + "/b.txt"), c.bNew ? "new b" : "old b");
    auto asked = ShownTitled(kFileExists);
    ASSERT_EQ(asked.size() - asked_before, c.buttons.size());
    if (!c.buttons.empty()) {
      const auto& first = asked[asked_before];
      ASSERT_GE(first.texts.size(), 2u);
      EXPECT_EQ(first.texts[0], u"The following file is already on your computer:\n\n" + U16(out + "/a.txt"));
      EXPECT_EQ(first.texts[1], u"Do you wish to overwrite this file?");
    }
    if (readOnly) {
      EXPECT_EQ(asked.back().texts[0],
                u"The following file is already on your computer and is marked Read-Only:\n\n" +
                    U16(out + "/b.txt"));
    }
    delete g_SfxRunState.progress;
    g_SfxRunState.progress = nullptr;
  }
  g_SfxRunState.tempFolder[0] = 0;
}

// Failures before or around the archive's own operation still end the page
// (the wizard does not wait for ever) and fail the run; without a progress
// object (quiet mode) they fail the extraction result the same way. Short
// space removes only the folders the worker created.
TEST_F(ProgressPage, FailuresEndThePageAndFailTheRun) {
  HandArchive one;
  one.Add(u"a.bin", Noise(8192));  // more than the 0 KB free of "no room"
  HandArchive twoVolumes = one;
  struct Case {
    const char* name;
    std::string package;  // package bytes
    ULONGLONG freeBytes;  // space the disk reports
    std::u16string box;   // the error box shown on the page (empty: none expected)
  };
  const Case cases[] = {
      {"not a package", "not an archive at all", 1ULL << 40,
       u"Error: Bad file signature.\n\nAborting the installation."},
      {"no room", one.Build(), 0, u""},
      {"missing volume", twoVolumes.Build(0, u"", u"package.um", 2), 1ULL << 40, u""},
  };
  for (const Case& c : cases) {
    for (bool quiet : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (quiet ? ", quiet" : ", wizard"));
      PutFile(package_, c.package);
      DiskFacts::freeBytes = c.freeBytes;
      std::string user = wutest::MakeTempDir("user");
      PutFile(user + "/mine.txt", "keep me");
      SetFolder(user + "/new/deeper");
      size_t boxes_before = BoxTexts().size();
      if (quiet) {
        SfxExtractThreadProc(nullptr);
      } else {
        script_.Answer(IDOK);
        EXPECT_FALSE(RunWizard(TRUE)) << "the page ended with 2";
        EXPECT_TRUE(script_.Done());
        std::vector<std::u16string> boxes = BoxTexts();
        ASSERT_EQ(boxes.size(), boxes_before + 1);
        if (!c.box.empty()) {
          EXPECT_EQ(boxes.back(), c.box);
        }
        delete g_SfxRunState.progress;
        g_SfxRunState.progress = nullptr;
      }
      EXPECT_LT(g_SfxRunState.extractResult, 0);
      EXPECT_EQ(WaitForSingleObject(g_SfxRunState.endEvent, 0), WAIT_OBJECT_0);
      ResetEvent(g_SfxRunState.endEvent);
      EXPECT_EQ(GetFile(user + "/mine.txt"), "keep me");
      if (c.freeBytes == 0) {
        EXPECT_FALSE(Exists(user + "/new")) << "made by the worker, removed again";
      }
    }
  }
}

// A quiet run's worker has a progress object without a page: each failure
// writes its box once to standard error through the non-interactive front
// end, existing files are overwritten unasked, and a sound extraction
// writes nothing.
TEST_F(ProgressPage, QuietWorkerWritesEachFailureOnceToStandardError) {
  HandArchive sound;
  sound.Add(u"docs\\a.txt", "new a");
  HandArchive crc = sound;
  crc.entries[0].stored[0] ^= 0x20;
  HandArchive big = sound;
  big.Add(u"big.bin", Noise(8192));
  const std::u16string abort = u"\n\nAborting the installation.\n";
  const struct {
    const char* name;
    std::string package;  // package bytes
    ULONGLONG freeBytes;  // space the disk reports
    std::u16string err;   // all of standard error
  } cases[] = {
      {"sound", sound.Build(), 1ULL << 40, u""},
      {"CRC mismatch", crc.Build(), 1ULL << 40, u"Error: Error: CRC mismatch." + abort},
      {"no room", big.Build(), 0, u"Error: Error: Out of disk space on /." + abort},
      {"missing volume", sound.Build(0, u"", u"package.um", 2), 1ULL << 40,
       u"Error: Error: Unable to find volume " + U16(dir_) + u"/package2.um." + abort},
  };
  g_SfxRunState.quiet = TRUE;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    platform::NonInteractiveFrontEnd quiet;
    platform::SetFrontEnd(&quiet);
    PutFile(package_, c.package);
    DiskFacts::freeBytes = c.freeBytes;
    std::string out = wutest::MakeTempDir("quiet");
    SetFolder(out);
    mkdir((out + "/docs").c_str(), 0755);
    PutFile(out + "/docs/a.txt", "old a");
    auto* progress = new CSfxExtractProgress(nullptr, nullptr, nullptr);
    testing::internal::CaptureStderr();
    SfxExtractThreadProc(progress);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(U8(c.err), err);
    EXPECT_EQ(c.err.empty(), g_SfxRunState.extractResult >= 0);
    if (c.err.empty()) {
      EXPECT_EQ(GetFile(out + "/docs/a.txt"), "new a");
    }
    EXPECT_EQ(WaitForSingleObject(g_SfxRunState.endEvent, 0), WAIT_OBJECT_0);
    ResetEvent(g_SfxRunState.endEvent);
    delete progress;
    platform::SetFrontEnd(&script_);
  }
}

// A complete extraction leaves the bar full: each file steps it, one left
// as it is too, and the folder entries (made without a report) count when
// the operation finishes.
TEST_F(ProgressPage, BarEndsFullWithFolderEntriesAndSkippedFiles) {
  HandArchive h;
  h.Add(u"docs\\", "", 0, 0, 0x10);
  h.Add(u"docs\\a.txt", "new a");
  h.Add(u"b.txt", "new b");
  h.Add(u"more\\", "", 0, 0, 0x10);
  WritePackage(h);
  std::string out = wutest::MakeTempDir("full");
  SetFolder(out);
  PutFile(out + "/b.txt", "old b");
  HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, u"", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(bar, nullptr);
  CSfxExtractProgress progress(nullptr, bar, nullptr);
  script_.Press(SFX_IDC_NO, kFileExists);
  SfxExtractThreadProc(&progress);
  EXPECT_TRUE(script_.Done());
  EXPECT_EQ(g_SfxRunState.extractResult, S_OK);
  EXPECT_EQ(GetFile(out + "/docs/a.txt"), "new a");
  EXPECT_EQ(GetFile(out + "/b.txt"), "old b");
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 4);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 4);
  DestroyWindow(bar);
}

// More entries than a 16-bit range holds: the bar's range is the entry count.
TEST_F(ProgressPage, ProgressRangeHoldsMoreThan65535Entries) {
  HandArchive h;
  const int folders = 65540;
  for (int i = 0; i < folders; ++i) h.Add(u"d\\", "", 0, 0, 0x10);
  h.Add(u"x.txt", "new");
  WritePackage(h);
  std::string out = wutest::MakeTempDir("range");
  SetFolder(out);
  PutFile(out + "/x.txt", "old");
  int range = 0;
  script_.WaitFor(kFileExists)
      .Run(
          [&](HWND page) {
            range = static_cast<int>(SendDlgItemMessageW(page, SFX_IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0));
          },
          kTitle)
      .Press(SFX_IDC_YES, kFileExists);
  EXPECT_TRUE(RunWizard(TRUE));
  EXPECT_EQ(range, folders + 1);
  EXPECT_EQ(GetFile(out + "/x.txt"), "new");
}

}  // namespace
