// The open and save dialogs under the scripted driver: the hook's messages,
// the chosen path, cancelling, the checks of OK and the refused records.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/TestUtil.h"
#include "platform/shell/commdlg.h"
#include "platform/kernel/files.h"
#include "platform/user/frontend.h"
#include "platform/shell/shlobj.h"
#include "platform/user/windows.h"

namespace {

using wutest::U16;

constexpr WCHAR kFilter[] = u"Wave (*.wav)\0*.wav\0Text (*.txt;*.log)\0*.txt;*.log\0\0";

// What the hook saw, in order.
struct HookLog {
  std::vector<UINT> codes;         // WM_INITDIALOG (0) and CDN_* codes
  LPARAM init_record = 0;          // WM_INITDIALOG's lParam
  std::vector<DWORD> type_indexes; // nFilterIndex at each CDN_TYPECHANGE
  std::u16string folder_at_change; // CDM_GETFOLDERPATH at the last CDN_FOLDERCHANGE
  int refuse = 0;                  // CDN_FILEOK answers to refuse
};

UINT_PTR RecordingHook(HWND hook, UINT message, WPARAM, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* record = reinterpret_cast<OPENFILENAMEW*>(lparam);
    auto* log = reinterpret_cast<HookLog*>(record->lCustData);
    SetWindowLongPtrW(hook, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(log));
    log->codes.push_back(0);
    log->init_record = lparam;
    return TRUE;
  }
  auto* log = reinterpret_cast<HookLog*>(GetWindowLongPtrW(hook, GWLP_USERDATA));
  if (message != WM_NOTIFY || !log) return FALSE;
  auto* notify = reinterpret_cast<const OFNOTIFYW*>(lparam);
  log->codes.push_back(notify->hdr.code);
  if (notify->hdr.code == CDN_TYPECHANGE) log->type_indexes.push_back(notify->lpOFN->nFilterIndex);
  if (notify->hdr.code == CDN_FOLDERCHANGE) {
    WCHAR folder[MAX_PATH] = {};
    SendMessageW(GetParent(hook), CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
    log->folder_at_change = folder;
  }
  if (notify->hdr.code == CDN_FILEOK && log->refuse > 0) {
    --log->refuse;
    SetWindowLongPtrW(hook, DWLP_MSGRESULT, 1);
  }
  return TRUE;
}

// The items of a dialog's list box.
std::vector<std::u16string> ListItems(HWND dialog, int id) {
  std::vector<std::u16string> items;
  HWND list = GetDlgItem(dialog, id);
  LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    WCHAR text[MAX_PATH] = {};
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

class CommDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = wutest::MakeTempDir("commdlg");
    ASSERT_FALSE(dir_.empty());
    wutest::WriteBytes(dir_ + "/a.wav", "RIFF");
    wutest::WriteBytes(dir_ + "/b.txt", "text");
    ASSERT_TRUE(CreateDirectoryW(U16(dir_ + "/sub").c_str(), nullptr));
    platform::SetFrontEnd(&script_);
    file_[0] = 0;
    record_ = OPENFILENAMEW{};
    record_.lStructSize = sizeof(record_);
    record_.lpstrFilter = kFilter;
    record_.nFilterIndex = 1;
    record_.lpstrFile = file_;
    record_.nMaxFile = MAX_PATH;
    record_.lpstrInitialDir = folder_.c_str();
    record_.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY;
    record_.lpfnHook = RecordingHook;
    record_.lCustData = reinterpret_cast<LPARAM>(&log_);
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    EXPECT_TRUE(script_.Done());
  }

  std::string dir_;
  std::u16string folder_ = U16(wutest::StateRoot());
  platform::ScriptedFrontEnd script_;
  WCHAR file_[MAX_PATH];
  OPENFILENAMEW record_;
  HookLog log_;
};

TEST_F(CommDlgTest, OpenRunsTheHookAndHandsBackTheChosenFile) {
  std::vector<std::u16string> entries;
  script_.ChoosePath(U16(dir_ + "/a.wav"))
      .Run([&](HWND dialog) { entries = ListItems(dialog, lst2); })
      .Press(IDOK);
  ASSERT_TRUE(GetOpenFileNameW(&record_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_TRUE(script_.errors().empty());
  std::u16string chosen = U16(dir_ + "/a.wav");
  EXPECT_EQ(std::u16string(file_), chosen);
  EXPECT_EQ(std::u16string(file_ + record_.nFileOffset), u"a.wav");
  EXPECT_EQ(std::u16string(file_ + record_.nFileExtension), u"wav");
  // The view lists folders and the files of the selected type only.
  EXPECT_EQ(entries, (std::vector<std::u16string>{u"..", u"sub/", u"a.wav"}));
  // Initialisation, the start folder, the chosen folder, the pick, then OK.
  EXPECT_EQ(log_.init_record, reinterpret_cast<LPARAM>(&record_));
  EXPECT_EQ(log_.codes, (std::vector<UINT>{0, CDN_INITDONE, CDN_FOLDERCHANGE, CDN_FOLDERCHANGE, CDN_SELCHANGE,
                                           CDN_FILEOK}));
  EXPECT_EQ(log_.folder_at_change, U16(dir_));
}

TEST_F(CommDlgTest, CancelTypeChangeAndRefusedNames) {
  // Escape cancels: FALSE without an error, the buffer untouched.
  script_.Escape();
  EXPECT_FALSE(GetOpenFileNameW(&record_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(file_[0], 0);

  // A type change reaches the hook with the new index and relists.
  std::vector<std::u16string> entries;
  log_ = HookLog{};
  log_.refuse = 1;  // the hook refuses the first OK
  record_.lpstrInitialDir = nullptr;
  std::u16string start = U16(dir_ + "/");
  start.copy(file_, start.size());
  file_[start.size()] = 0;
  script_.Pick(cmb1, 1)
      .Run([&](HWND dialog) { entries = ListItems(dialog, lst2); })
      .Type(cmb13, u"b.txt")
      .Press(IDOK)   // refused by the hook: still open
      .Press(IDOK);
  ASSERT_TRUE(GetOpenFileNameW(&record_));
  EXPECT_EQ(record_.nFilterIndex, 2u);
  EXPECT_EQ(log_.type_indexes, std::vector<DWORD>{2});
  EXPECT_EQ(entries, (std::vector<std::u16string>{u"..", u"sub/", u"b.txt"}));
  EXPECT_EQ(std::u16string(file_), U16(dir_ + "/b.txt"));
}

TEST_F(CommDlgTest, OkChecksMissingFilesOverwritesAndFolders) {
  // Open with OFN_FILEMUSTEXIST: a missing name shows a box and stays.
  record_.Flags |= OFN_FILEMUSTEXIST;
  record_.lpstrInitialDir = nullptr;
  std::u16string start = U16(dir_ + "/");
  start.copy(file_, start.size());
  file_[start.size()] = 0;
  script_.Type(cmb13, u"missing.wav").Press(IDOK).Answer(IDOK).Type(cmb13, u"sub").Press(IDOK).Escape();
  EXPECT_FALSE(GetOpenFileNameW(&record_));
  auto shown = script_.shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(shown[1].message_box);
  ASSERT_FALSE(shown[1].texts.empty());
  EXPECT_EQ(shown[1].texts.back(), u"missing.wav\nFile not found.\nCheck the file name and try again.");
  // Typing a folder's name went into it.
  EXPECT_EQ(log_.folder_at_change, U16(dir_ + "/sub"));

  // Save with OFN_OVERWRITEPROMPT: No keeps the dialog, Yes takes the file;
  // a name without extension gets the default one.
  record_.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT;
  record_.lpstrDefExt = u"wav";
  file_[0] = 0;
  std::u16string initial = U16(dir_);
  record_.lpstrInitialDir = initial.c_str();
  script_.Type(cmb13, u"a").Press(IDOK).Answer(IDNO).Press(IDOK).Answer(IDYES);
  ASSERT_TRUE(GetSaveFileNameW(&record_));
  EXPECT_EQ(std::u16string(file_), U16(dir_ + "/a.wav"));
  shown = script_.shown();
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown.back().texts.back(), u"a.wav already exists.\nDo you want to replace it?");
}

// A typed name with a ':' that is no drive ("1:30 take") is a name in the
// dialog's folder.
TEST_F(CommDlgTest, TypedNamesWithAColonStayInTheFolder) {
  record_.Flags = OFN_EXPLORER;
  record_.lpstrDefExt = u"wav";
  std::u16string initial = U16(dir_);
  record_.lpstrInitialDir = initial.c_str();
  script_.Type(cmb13, u"1:30 take").Press(IDOK);
  ASSERT_TRUE(GetSaveFileNameW(&record_));
  EXPECT_EQ(std::u16string(file_), U16(dir_ + "/1:30 take.wav"));
  EXPECT_EQ(std::u16string(file_ + record_.nFileOffset), u"1:30 take.wav");
}

TEST_F(CommDlgTest, RefusedRecordsAndSmallBuffers) {
  struct Case {
    const char* what;
    void (*spoil)(OPENFILENAMEW*);
    DWORD error;
  };
  const Case cases[] = {
      {"size", [](OPENFILENAMEW* r) { r->lStructSize = 88; }, CDERR_STRUCTSIZE},
      {"no buffer", [](OPENFILENAMEW* r) { r->lpstrFile = nullptr; }, CDERR_INITIALIZATION},
      {"size 0", [](OPENFILENAMEW* r) { r->nMaxFile = 0; }, CDERR_INITIALIZATION},
      {"no hook", [](OPENFILENAMEW* r) { r->lpfnHook = nullptr; }, CDERR_NOHOOK},
      {"no template", [](OPENFILENAMEW* r) { r->Flags |= OFN_ENABLETEMPLATE; }, CDERR_NOTEMPLATE},
  };
  for (const Case& c : cases) {
    OPENFILENAMEW record = record_;
    c.spoil(&record);
    EXPECT_FALSE(GetOpenFileNameW(&record)) << c.what;
    EXPECT_EQ(CommDlgExtendedError(), c.error) << c.what;
  }
  EXPECT_FALSE(GetSaveFileNameW(nullptr));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_INITIALIZATION);
  EXPECT_TRUE(script_.shown().empty());

  // A chosen path longer than the buffer: failure, the size needed first.
  record_.nMaxFile = 8;
  script_.ChoosePath(U16(dir_ + "/a.wav")).Press(IDOK);
  EXPECT_FALSE(GetOpenFileNameW(&record_));
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
  EXPECT_EQ(static_cast<size_t>(file_[0]), dir_.size() + 7);
}

TEST_F(CommDlgTest, PathRequestsAnswerTheSizeNeeded) {
  LRESULT small = 0, fits = 0;
  std::u16string got;
  script_.ChoosePath(U16(dir_ + "/b.txt")).Run([&](HWND dialog) {
    WCHAR buffer[MAX_PATH] = {u'x', 0};
    small = SendMessageW(dialog, CDM_GETFILEPATH, 4, reinterpret_cast<LPARAM>(buffer));
    EXPECT_EQ(buffer[0], u'x');  // nothing copied
    fits = SendMessageW(dialog, CDM_GETFILEPATH, MAX_PATH, reinterpret_cast<LPARAM>(buffer));
    got = buffer;
  }).Escape();
  EXPECT_FALSE(GetOpenFileNameW(&record_));
  std::u16string expected = U16(dir_ + "/b.txt");
  EXPECT_EQ(small, static_cast<LRESULT>(expected.size() + 1));
  EXPECT_EQ(fits, small);
  EXPECT_EQ(got, expected);
}

// A person at a terminal types a path; without a terminal a file dialog
// that nobody can fill is cancelled and the folder browser takes its start.
TEST_F(CommDlgTest, OtherFrontEndsTypeAPathOrGiveUp) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  platform::TerminalFrontEnd terminal(slave, slave);
  platform::SetFrontEnd(&terminal);
  std::string screen;
  auto wait_for = [&](const std::string& text, size_t from) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);  // a guard, not a timing
    for (;;) {
      size_t at = screen.find(text, from);
      if (at != std::string::npos) return at + text.size();
      if (std::chrono::steady_clock::now() > deadline) return std::string::npos;
      pollfd p{master, POLLIN, 0};
      char buffer[512];
      ssize_t n = poll(&p, 1, 50) > 0 ? read(master, buffer, sizeof(buffer)) : 0;
      if (n > 0) screen.append(buffer, static_cast<size_t>(n));
    }
  };
  auto type = [&](const std::string& text) { ASSERT_EQ(write(master, text.data(), text.size()), static_cast<ssize_t>(text.size())); };
  std::thread person([&] {
    size_t at = wait_for("p) Path: " + dir_, 0);
    ASSERT_NE(at, std::string::npos) << screen;
    at = wait_for("Choice: ", at);
    type("p\r");
    at = wait_for("Type a path", at);
    type(dir_ + "/new.wav\r");
    at = wait_for("p) Path: " + dir_ + "/new.wav", at);
    ASSERT_NE(at, std::string::npos) << screen;
    wait_for("Choice: ", at);
    type("\r");  // Enter alone: Save
  });
  record_.Flags = OFN_EXPLORER;
  std::u16string initial = U16(dir_);
  record_.lpstrInitialDir = initial.c_str();
  EXPECT_TRUE(GetSaveFileNameW(&record_));
  person.join();
  EXPECT_EQ(std::u16string(file_), U16(dir_ + "/new.wav"));
  close(master);
  close(slave);

  platform::NonInteractiveFrontEnd defaults;
  platform::SetFrontEnd(&defaults);
  file_[0] = 0;
  EXPECT_FALSE(GetOpenFileNameW(&record_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  BROWSEINFOW info{};
  LPITEMIDLIST start = nullptr;
  ASSERT_EQ(SHParseDisplayName(initial.c_str(), nullptr, &start, 0, nullptr), S_OK);
  info.pidlRoot = start;
  LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
  EXPECT_TRUE(ILIsEqual(chosen, start));
  ILFree(chosen);
  ILFree(start);
  platform::SetFrontEnd(&script_);
}

}  // namespace
