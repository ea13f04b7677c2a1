// The destination page and the wizard's page sequence, driven through the
// scripted front end.
#include <gtest/gtest.h>

#include "Sfx/SfxUiIds.h"
#include "platform/kernel/files.h"
#include "tests/Sfx/SfxWizardTestUtil.h"

namespace {

using namespace sfxtest;

class DestinationPage : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    HandArchive h;
    h.Add(u"setup\\run.sh", "echo hi");
    h.Add(u"data.bin", archtest::Noise(8192));  // more than the 0 KB free of "no room"
    WritePackage(h);
  }
  void TearDown() override {
    platform::SetDriveRoot(u'Q', "");
    platform::SetDriveRoot(u'T', "");
    WizardTest::TearDown();
  }
  // Cancels the page (confirmed) once the actions before have been played.
  void ThenCancel() { script_.Press(IDCANCEL, kTitle).Answer(IDYES); }
};

// Each refused folder shows its message and keeps the page open.
TEST_F(DestinationPage, RefusedFoldersShowTheirMessage) {
  PutFile(dir_ + "/file", "a file, not a folder");
  ASSERT_TRUE(platform::SetDriveRoot(u'Q', dir_ + "/missing-drive-folder"));
  ASSERT_TRUE(platform::SetDriveRoot(u'T', dir_));
  struct Case {
    const char* name;
    std::u16string text;  // put into the folder field
    ULONGLONG freeBytes;  // space the disk reports
    std::u16string message;
  };
  const std::u16string k554 = u"Invalid directory!  Please enter a valid path.";
  const std::u16string k555 =
      u"The files cannot be extracted to the root directory.  Please enter a different path.";
  const Case cases[] = {
      {"question mark", U16(dir_) + u"/a?b", 1ULL << 40, k554},
      {"only blanks", u"   ", 1ULL << 40, k554},
      {"quote", u"\"" + U16(dir_) + u"\"", 1ULL << 40, k554},
      {"file-system root", u"/", 1ULL << 40, k555},
      {"drive root", u"C:\\", 1ULL << 40, k555},
      {"drive without separator", u"c:", 1ULL << 40, k555},
      {"below a file", U16(dir_) + u"/file/sub", 1ULL << 40,
       u"Unable to create the specified directory.\nCheck that you have write access to this location and "
       u"that you have local system administrator privileges."},
      {"missing drive", u"Q:\\setup", 1ULL << 40,
       u"The system cannot find the drive specified.\nPlease enter a new path on a valid drive."},
      {"name too long", u"T:\\" + std::u16string(256, u'n'), 1ULL << 40,
       u"Unable to create the specified directory because the path is too long.\nPlease enter a shorter "
       u"parth."},
      {"no room", U16(dir_) + u"/full", 0,
       u"The destination folder is full. Installation cannot continue. Please choose a new location."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DiskFacts::freeBytes = c.freeBytes;
    std::u16string text = c.text;
    // Set as text (not typed): the field's limit does not apply.
    script_.Run([text](HWND page) { SetDlgItemTextW(page, SFX_IDC_FOLDER_EDIT, text.c_str()); }, kTitle)
        .Press(SFX_IDC_NEXT, kTitle)
        .Answer(IDOK);
    ThenCancel();
    size_t before = BoxTexts().size();
    EXPECT_FALSE(RunWizard(FALSE));
    EXPECT_TRUE(script_.Done());
    std::vector<std::u16string> boxes = BoxTexts();
    ASSERT_EQ(boxes.size(), before + 2);
    EXPECT_EQ(boxes[before], c.message);
    EXPECT_EQ(boxes[before + 1], u"Do you wish to cancel the installation?");
    EXPECT_EQ(g_SfxRunState.workerThread, nullptr) << "no extraction started";
  }
}

// The field leaves room for the longest entry name below the folder, but
// always at least one character.
TEST_F(DestinationPage, FolderFieldLimit) {
  const struct {
    WORD longest;
    LRESULT limit;
  } cases[] = {{0, 210}, {60, 150}, {209, 1}, {210, 1}, {250, 1}};
  for (const auto& c : cases) {
    g_SfxRunState.longestEntryName = c.longest;
    LRESULT limit = -1;
    script_.Run(
        [&limit](HWND page) {
          limit = SendDlgItemMessageW(page, SFX_IDC_FOLDER_EDIT, EM_GETLIMITTEXT, 0, 0);
        },
        kTitle);
    ThenCancel();
    EXPECT_FALSE(RunWizard(FALSE));
    EXPECT_EQ(limit, c.limit) << c.longest;
  }
}

// Cancel declined stays on the page; Change puts the folder chosen in the
// folder dialog into the field; Back keeps the folder and shows the page again; Next creates the folder and
// goes on to the progress page, which extracts there and ends the wizard.
TEST_F(DestinationPage, PageSequence) {
  std::u16string folder = U16(dir_) + u"/chosen/place";
  g_SfxRunState.longestEntryName = 12;
  std::u16string picked = U16(dir_) + u"/picked";
  ASSERT_TRUE(CreateDirectoryW(picked.c_str(), nullptr));
  std::u16string seenAgain, browsed;
  script_.Press(IDCANCEL, kTitle)
      .Answer(IDNO)
      .Press(SFX_IDC_CHANGE, kTitle)
      .ChoosePath(picked)
      .Press(IDOK)
      .Run([&browsed](HWND page) { browsed = platform::WindowText(GetDlgItem(page, SFX_IDC_FOLDER_EDIT)); },
           kTitle)
      .Type(SFX_IDC_FOLDER_EDIT, u"  " + folder + u" ", kTitle)
      .Run([](HWND page) { SendMessageW(page, WM_COMMAND, SFX_IDC_BACK, 0); }, kTitle)
      .Run([&seenAgain](
               HWND page) { seenAgain = platform::WindowText(GetDlgItem(page, SFX_IDC_FOLDER_EDIT)); },
           kTitle)
      .Press(SFX_IDC_NEXT, kTitle);
  EXPECT_TRUE(RunWizard(FALSE));
  EXPECT_TRUE(script_.Done());
  EXPECT_EQ(browsed, picked + u"/");
  EXPECT_EQ(seenAgain, folder) << "the stripped folder was kept for the page shown again";
  EXPECT_EQ(std::u16string(g_SfxRunState.extractFolder), folder);
  EXPECT_EQ(GetFile(dir_ + "/chosen/place/setup/run.sh"), "echo hi");
  EXPECT_EQ(g_SfxRunState.extractResult, S_OK);
  EXPECT_NE(g_SfxRunState.wizardX, -1) << "the position was saved for the next page";
  auto pages = ShownTitled(kTitle);
  ASSERT_EQ(pages.size(), 3u) << "destination, destination again, progress";
  EXPECT_EQ(pages[0].result, SFX_IDC_BACK);
  EXPECT_EQ(pages[1].result, SFX_IDC_NEXT);
  EXPECT_EQ(pages[2].result, SFX_PAGE_DONE);
}

}  // namespace
