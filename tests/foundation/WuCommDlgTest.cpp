// The common file and folder dialogs under the scripted driver: start
// folders, the chosen folder with one trailing separator, cancelling and
// refused arguments, the browser's callback and subclass, and the library
// hook of the open and save dialogs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/WuCommDlg.h"
#include "foundation/WuFolders.h"
#include "platform/kernel/files.h"
#include "platform/user/frontend.h"
#include "platform/shell/help.h"
#include "platform/shell/shlobj.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;

class WuCommDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = U16(wutest::MakeTempDir("wucommdlg"));
    ASSERT_TRUE(CreateDirectoryW((dir_ + u"/sub").c_str(), nullptr));
    wutest::WriteBytes(wutest::U8(dir_) + "/take.aif", "FORM");
    platform::SetFrontEnd(&script_);
    platform::SetShellVersion(6, 0);
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    platform::SetShellVersion(6, 0);
    EXPECT_TRUE(script_.Done());
    EXPECT_TRUE(script_.errors().empty()) << script_.errors().front();
  }

  // The path the open dialog or browser has chosen so far.
  static std::u16string Current(HWND dialog) {
    const platform::PathChooser* chooser = platform::GetPathChooser(dialog);
    return chooser ? chooser->current(dialog) : u"<none>";
  }
  void Fill(WCHAR* buffer, const std::u16string& text) {
    text.copy(buffer, text.size());
    buffer[text.size()] = 0;
  }

  std::u16string dir_;
  platform::ScriptedFrontEnd script_;
};

// ---- Folders ------------------------------------------------------------------------------

TEST_F(WuCommDlgTest, FolderBrowserStartsAtTheNormalisedPathAndAddsOneSeparator) {
  struct Case {
    std::u16string given;     // the buffer's start path
    std::u16string selected;  // the folder selected at the start
    std::u16string result;    // what OK hands back
  };
  const Case cases[] = {
      {dir_ + u"/", dir_, dir_ + u"/"},
      {dir_ + u"\\", dir_, dir_ + u"/"},
      {u"c:", u"C:/", u"C:/"},  // a drive alone is its root
      {u"/", u"/", u"/"},
  };
  for (const Case& c : cases) {
    WCHAR path[MAX_PATH];
    Fill(path, c.given);
    std::u16string selected;
    script_.Run([&](HWND dialog) { selected = Current(dialog); }).Press(IDOK);
    EXPECT_EQ(WuSelectDirectoryDlgEx(nullptr, u"Destination", path, MAX_PATH, TRUE, TRUE), S_OK)
        << wutest::U8(c.given);
    EXPECT_EQ(selected, c.selected) << wutest::U8(c.given);
    EXPECT_EQ(std::u16string(path), c.result) << wutest::U8(c.given);
  }

  // A chosen folder, rooted at My Computer.
  WCHAR path[MAX_PATH];
  Fill(path, dir_);
  script_.ChoosePath(dir_ + u"/sub").Press(IDOK);
  EXPECT_EQ(WuSelectDirectoryDlgEx2(nullptr, u"Destination", path, MAX_PATH, WUSELDIR_STARTATPATH), S_OK);
  EXPECT_EQ(std::u16string(path), dir_ + u"/sub/");
}

TEST_F(WuCommDlgTest, FolderBrowserRefusesSmallBuffersBeforeTouchingThemAndCancels) {
  // Too small: refused before the path is normalised or anything is shown.
  WCHAR path[MAX_PATH];
  Fill(path, u"c:");
  EXPECT_EQ(WuSelectDirectoryDlgEx2(nullptr, u"t", path, MAX_PATH - 1, WUSELDIR_STARTATPATH), E_INVALIDARG);
  EXPECT_EQ(std::u16string(path), u"c:");
  EXPECT_EQ(WuSelectDirectoryDlg(nullptr, u"t", nullptr, MAX_PATH), E_INVALIDARG);
  EXPECT_TRUE(script_.shown().empty());

  // Cancelled: 0x8004E00C and the buffer as it was. Without the start bit
  // the browser starts at the current folder.
  WCHAR current[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
  Fill(path, u"keep");
  std::u16string selected;
  script_.Run([&](HWND dialog) { selected = Current(dialog); }).Escape();
  EXPECT_EQ(WuSelectDirectoryDlg(nullptr, u"t", path, MAX_PATH), WU_E_CANCELLED);
  EXPECT_EQ(std::u16string(path), u"keep");
  EXPECT_EQ(selected, std::u16string(current));
}

TEST_F(WuCommDlgTest, ShellVersionChoosesTheBrowserForm) {
  struct Case {
    DWORD major, minor;  // shell version
    DWORD mode;          // mode bits
    bool edit;           // an edit box is offered
    bool host;           // the new dialog style (the tree's host, id 0)
  };
  const Case cases[] = {
      {6, 0, 0, false, true},
      {6, 0, WUSELDIR_EDITBOX, true, true},
      {4, 71, 0, true, false},
      {4, 0, WUSELDIR_EDITBOX, false, false},
  };
  for (const Case& c : cases) {
    platform::SetShellVersion(c.major, c.minor);
    EXPECT_EQ(WuGetDllVersion(u"Shell32.dll"),
              (static_cast<ULONGLONG>(c.major) << 48) | (static_cast<ULONGLONG>(c.minor) << 32));
    bool edit = false, host = false;
    script_.Run([&](HWND dialog) {
      edit = GetDlgItem(dialog, IDC_BROWSE_EDIT) != nullptr;
      host = GetDlgItem(dialog, IDC_BROWSE_HOST) != nullptr;
    }).Escape();
    WCHAR path[MAX_PATH] = {};
    EXPECT_EQ(WuSelectDirectoryDlgEx2(nullptr, u"t", path, MAX_PATH, c.mode), WU_E_CANCELLED);
    EXPECT_EQ(edit, c.edit) << c.major << "." << c.minor;
    EXPECT_EQ(host, c.host) << c.major << "." << c.minor;
  }
  EXPECT_EQ(WuGetDllVersion(u"no-such-library.dll"), 0u);
}

TEST_F(WuCommDlgTest, TypedNameThatNamesNoFolderShowsAStopBoxAndStaysOpen) {
  WCHAR path[MAX_PATH];
  Fill(path, dir_);
  script_.Type(IDC_BROWSE_EDIT, u"no such").Press(IDOK).Answer(IDOK).Type(IDC_BROWSE_EDIT, u"sub").Press(IDOK);
  EXPECT_EQ(WuSelectDirectoryDlgEx2(nullptr, u"t", path, MAX_PATH, WUSELDIR_STARTATPATH | WUSELDIR_EDITBOX), S_OK);
  EXPECT_EQ(std::u16string(path), dir_ + u"/sub/");
  auto shown = script_.shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(shown[1].message_box);
  ASSERT_FALSE(shown[1].texts.empty());
  EXPECT_EQ(shown[1].texts.back(), u"The path is invalid.\n\nno such");
}

TEST_F(WuCommDlgTest, RenamedSelectedFolderIsTakenUpByTheDialog) {
  WCHAR path[MAX_PATH];
  Fill(path, dir_ + u"/sub");
  std::u16string status;
  script_
      .Run([&](HWND dialog) {
        HWND host = GetDlgItem(dialog, IDC_BROWSE_HOST);
        HWND tree = GetDlgItem(host, IDC_BROWSE_TREE);
        WCHAR text[] = u"renamed";
        NMTVDISPINFOW edit{};
        edit.hdr = {tree, IDC_BROWSE_TREE, TVN_ENDLABELEDITW};
        edit.item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        edit.item.pszText = text;
        SendMessageW(host, WM_NOTIFY, IDC_BROWSE_TREE, reinterpret_cast<LPARAM>(&edit));
      })
      // The posted reselection has run by the next action.
      .Run([&](HWND dialog) { status = platform::WindowText(GetDlgItem(dialog, IDC_BROWSE_STATUS)); })
      .Press(IDOK);
  EXPECT_EQ(WuSelectDirectoryDlgEx2(nullptr, u"t", path, MAX_PATH, WUSELDIR_STARTATPATH), S_OK);
  EXPECT_EQ(status, dir_ + u"/renamed");
  EXPECT_EQ(std::u16string(path), dir_ + u"/renamed/");
}

// ---- Files --------------------------------------------------------------------------------

constexpr WCHAR kTypes[] = u"Wave (*.wav;*.w64)\0*.wav;*.w64\0AIFF (*.aif)\0*.aif\0All files (*.*)\0*.*\0\0";

TEST_F(WuCommDlgTest, OpenDialogStartsInThePathsFolderAndHandsBackTheChoice) {
  WCHAR path[MAX_PATH];
  Fill(path, dir_ + u"/take.aif");
  DWORD index = 2;
  std::u16string start;
  bool list_hidden = false;
  script_
      .Run([&](HWND dialog) {
        start = Current(dialog);
        list_hidden = !IsWindowVisible(GetDlgItem(dialog, lst1));
      })
      .Escape();
  EXPECT_EQ(WuSelectFileDlg(nullptr, u"Open", path, MAX_PATH, kTypes, &index, nullptr, 0, nullptr, 0, TRUE),
            WU_E_CANCELLED);
  EXPECT_EQ(start, dir_ + u"/take.aif");
  EXPECT_TRUE(list_hidden);
  EXPECT_EQ(std::u16string(path), dir_ + u"/take.aif");  // untouched on cancel

  // No index pointer: the first type. The choice comes back bounded.
  LRESULT type = -1;
  script_.Run([&](HWND dialog) { type = SendDlgItemMessageW(dialog, cmb1, CB_GETCURSEL, 0, 0); })
      .Pick(cmb1, 1)
      .ChoosePath(dir_ + u"/take.aif")
      .Press(IDOK);
  EXPECT_EQ(WuSelectFileDlg(nullptr, u"Open", path, MAX_PATH, kTypes, nullptr, nullptr, 0, nullptr, 0, TRUE), S_OK);
  EXPECT_EQ(type, 0);
  EXPECT_EQ(std::u16string(path), dir_ + u"/take.aif");
  // With an index pointer the chosen type is written back.
  script_.Pick(cmb1, 2).ChoosePath(dir_ + u"/take.aif").Press(IDOK);
  EXPECT_EQ(WuSelectFileDlg(nullptr, u"Open", path, MAX_PATH, kTypes, &index, nullptr, 0, nullptr, 0, TRUE), S_OK);
  EXPECT_EQ(index, 3u);
}

TEST_F(WuCommDlgTest, FileDialogsRefuseBadArguments) {
  WCHAR path[MAX_PATH] = {};
  DWORD index = 1;
  struct Case {
    const char* what;
    LPCWSTR title;
    LPWSTR buffer;
    int size;
    LPCWSTR filter;
  };
  const Case cases[] = {
      {"no title", nullptr, path, MAX_PATH, kTypes},
      {"no buffer", u"Save", nullptr, MAX_PATH, kTypes},
      {"no filter", u"Save", path, MAX_PATH, nullptr},
      {"size 0", u"Save", path, 0, kTypes},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WuGetFileNameForWriteDlg(nullptr, c.title, c.buffer, c.size, c.filter, &index, nullptr, 0, nullptr, 0,
                                       TRUE, FALSE),
              E_INVALIDARG)
        << c.what;
  // The other two check the buffer too.
  EXPECT_EQ(WuGetFileNameForWriteDlgEx(nullptr, u"Save", nullptr, MAX_PATH, kTypes, &index, nullptr, 0, nullptr, 0,
                                       TRUE, nullptr, nullptr, nullptr, 0, 0, FALSE),
            E_INVALIDARG);
  EXPECT_EQ(WuSelectFileDlgEx(nullptr, u"Open", path, 0, kTypes, &index, nullptr, 0, nullptr, 0, TRUE,
                              WU_OPENDLG_FLAGS, nullptr, nullptr, nullptr, 0, 0),
            E_INVALIDARG);
  EXPECT_TRUE(script_.shown().empty());
}

TEST_F(WuCommDlgTest, SaveDialogReplacesTheExtensionAndCanHideTheTypeRow) {
  WCHAR path[MAX_PATH];
  Fill(path, dir_ + u"/");
  DWORD index = 2;
  std::vector<std::u16string> names;
  bool type_row = true;
  auto name_of = [&](HWND dialog) { names.push_back(platform::WindowText(GetDlgItem(dialog, cmb13))); };
  script_.Type(cmb13, u"mix.aif")
      .Pick(cmb1, 0)  // "Wave (*.wav;*.w64)": .wav
      .Run(name_of)
      .Pick(cmb1, 2)  // "All files (*.*)": left alone
      .Run(name_of)
      .Press(IDOK);
  EXPECT_EQ(WuGetFileNameForWriteDlg(nullptr, u"Save", path, MAX_PATH, kTypes, &index, nullptr, 0, nullptr, 0, TRUE,
                                     TRUE),
            S_OK);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"mix.wav", u"mix.wav"}));
  EXPECT_EQ(std::u16string(path), dir_ + u"/mix.wav");
  EXPECT_EQ(index, 3u);

  // Without the replace flag the name stays; show-file-type 0 hides the row.
  names.clear();
  script_.Run([&](HWND dialog) { type_row = IsWindowVisible(GetDlgItem(dialog, cmb1)) ||
                                            IsWindowVisible(GetDlgItem(dialog, stc2)); })
      .Type(cmb13, u"mix.aif")
      .Pick(cmb1, 0)
      .Run(name_of)
      .Escape();
  EXPECT_EQ(WuGetFileNameForWriteDlg(nullptr, u"Save", path, MAX_PATH, kTypes, &index, nullptr, 0, nullptr, 0, FALSE,
                                     FALSE),
            WU_E_CANCELLED);
  EXPECT_FALSE(type_row);
  EXPECT_EQ(names, std::vector<std::u16string>{u"mix.aif"});
}

// The hook fills the folder and free-space fields when the dialog has them,
// opens the help file on the Help button and centres the dialog on its
// owner a third of the way down.
TEST_F(WuCommDlgTest, HookShowsFolderFreeSpaceAndHelp) {
  HWND owner = CreateWindowExW(0, WC_DIALOG, u"Owner", WS_POPUP | WS_VISIBLE | WS_CAPTION, 100, 100, 800, 600,
                               nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(owner);
  WCHAR path[MAX_PATH];
  Fill(path, dir_ + u"/take.aif");
  std::u16string folder, space;
  // The disk's free space as the test sees it just before the folder is
  // chosen and just after the dialog shows it: other programs may write to
  // the disk meanwhile, so the dialog's text is either.
  WCHAR spaceBefore[WU_DISKSPACE_TEXT_MAX] = {};
  WCHAR spaceAfter[WU_DISKSPACE_TEXT_MAX] = {};
  RECT placed{}, around{};
  GetWindowRect(owner, &around);
  platform::ClearHelpRequests();
  script_
      .Run([&](HWND dialog) {
        GetWindowRect(dialog, &placed);
        WuFormatDiskFreeSpace((dir_ + u"/sub").c_str(), spaceBefore);
        // Supply the two fields: one on the file dialog, one in the hook dialog.
        CreateWindowExW(0, WC_STATICW, u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, dialog,
                        reinterpret_cast<HMENU>(static_cast<intptr_t>(WUFILEDLG_IDC_FOLDER)), nullptr, nullptr);
        HWND hook = FindWindowExW(dialog, nullptr, WC_DIALOG, nullptr);
        ASSERT_TRUE(hook);
        CreateWindowExW(0, WC_STATICW, u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hook,
                        reinterpret_cast<HMENU>(static_cast<intptr_t>(WUFILEDLG_IDC_FREESPACE)), nullptr, nullptr);
      })
      .ChoosePath(dir_ + u"/sub")
      .Run([&](HWND dialog) {
        folder = platform::WindowText(GetDlgItem(dialog, WUFILEDLG_IDC_FOLDER));
        HWND hook = FindWindowExW(dialog, nullptr, WC_DIALOG, nullptr);
        space = platform::WindowText(GetDlgItem(hook, WUFILEDLG_IDC_FREESPACE));
        WuFormatDiskFreeSpace((dir_ + u"/sub").c_str(), spaceAfter);
      })
      .Press(pshHelp)
      .Escape();
  EXPECT_EQ(WuSelectFileDlgEx(owner, u"Open", path, MAX_PATH, kTypes, nullptr, nullptr, 77, u"guide.CHM", 0, TRUE,
                              WU_OPENDLG_FLAGS | OFN_SHOWHELP, nullptr, nullptr, nullptr, 0, 0),
            WU_E_CANCELLED);
  EXPECT_EQ(folder, dir_ + u"/sub");
  EXPECT_TRUE(space == std::u16string(spaceBefore) || space == std::u16string(spaceAfter))
      << platform::ToUtf8(space) << " / " << platform::ToUtf8(spaceBefore) << " / "
      << platform::ToUtf8(spaceAfter);
  // Centred across the owner, a third of the way down.
  LONG width = placed.right - placed.left, height = placed.bottom - placed.top;
  EXPECT_EQ(placed.left, (around.left + around.right - width) / 2);
  EXPECT_EQ(placed.top, around.top + (around.bottom - around.top) / 3 - height / 3);
  std::vector<platform::HelpRequest> requests = platform::HelpRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, platform::HelpRequest::Kind::kHtmlHelp);
  EXPECT_EQ(requests[0].command, 1u);
  EXPECT_EQ(requests[0].data, 77u);
  DestroyWindow(owner);
}

}  // namespace
