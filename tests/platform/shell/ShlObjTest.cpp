// Item lists over the file system, the shell library's version and the
// folder browser with its callback under the scripted driver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/TestUtil.h"
#include "platform/kernel/files.h"
#include "platform/user/frontend.h"
#include "platform/kernel/module.h"
#include "platform/shell/shlobj.h"

namespace {

using wutest::U16;

std::u16string PathOf(LPCITEMIDLIST list) {
  WCHAR path[MAX_PATH];
  return SHGetPathFromIDListW(list, path) ? std::u16string(path) : std::u16string(u"<none>");
}

TEST(ShlObjTest, ItemListsNameExistingFilesAndFolders) {
  std::string dir = wutest::MakeTempDir("shl");
  wutest::WriteBytes(dir + "/f.txt", "x");
  struct Case {
    std::u16string given;     // parsed path
    std::u16string expected;  // the list's path
  };
  const Case cases[] = {
      {U16(dir), U16(dir)},
      {U16(dir + "/"), U16(dir)},                  // a trailing separator is not a name
      {U16(dir + "\\f.txt"), U16(dir + "/f.txt")}, // either separator
      {u"/", u"/"},
      {u"c:" + U16(dir), u"C:" + U16(dir)},       // a drive (mapped to "/") keeps its letter
  };
  for (const Case& c : cases) {
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(SHParseDisplayName(c.given.c_str(), nullptr, &list, 0, nullptr), S_OK) << wutest::U8(c.given);
    EXPECT_EQ(PathOf(list), c.expected);
    LPITEMIDLIST copy = ILClone(list);
    EXPECT_TRUE(ILIsEqual(list, copy));
    EXPECT_EQ(ILGetSize(copy), ILGetSize(list));
    ILFree(copy);
    ILFree(list);
  }
  LPITEMIDLIST list = reinterpret_cast<LPITEMIDLIST>(1);
  EXPECT_EQ(SHParseDisplayName(U16(dir + "/missing").c_str(), nullptr, &list, 0, nullptr),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(ILCreateFromPathW(U16(dir + "/missing").c_str()), nullptr);

  // The desktop is the empty list; the computer has no path.
  LPITEMIDLIST desktop = nullptr, computer = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop), S_OK);
  EXPECT_EQ(ILGetSize(desktop), 2u);
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
  EXPECT_EQ(PathOf(computer), u"<none>");
  EXPECT_FALSE(ILIsEqual(desktop, computer));
  IMalloc* allocator = nullptr;
  ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
  allocator->Free(desktop);
  allocator->Free(computer);
  allocator->Release();
}

TEST(ShlObjTest, ShellLibraryReportsItsVersion) {
  HMODULE shell = GetModuleHandleW(u"SHELL32.DLL");
  ASSERT_NE(shell, nullptr);
  auto get_version = reinterpret_cast<DLLGETVERSIONPROC>(GetProcAddress(shell, "DllGetVersion"));
  ASSERT_NE(get_version, nullptr);
  DLLVERSIONINFO info{};
  EXPECT_EQ(get_version(&info), E_INVALIDARG);  // cbSize not set
  info.cbSize = sizeof(info);
  platform::SetShellVersion(4, 71);
  ASSERT_EQ(get_version(&info), S_OK);
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 71u);
  platform::SetShellVersion(6, 0);
}

// What the browser's callback heard.
struct Heard {
  std::vector<UINT> messages;         // in order
  std::vector<std::u16string> paths;  // the path of each BFFM_SELCHANGED
  std::vector<std::u16string> typed;  // the text of each BFFM_VALIDATEFAILEDW
  std::u16string start;               // selected at BFFM_INITIALIZED (empty: nothing)
  int keep_open = 0;                  // validation failures that keep the dialog open
};

int Callback(HWND dialog, UINT message, LPARAM lparam, LPARAM data) {
  auto* heard = reinterpret_cast<Heard*>(data);
  heard->messages.push_back(message);
  if (message == BFFM_INITIALIZED && !heard->start.empty())
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(heard->start.c_str()));
  if (message == BFFM_SELCHANGED) {
    heard->paths.push_back(PathOf(reinterpret_cast<LPCITEMIDLIST>(lparam)));
    SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(heard->paths.back().c_str()));
  }
  if (message == BFFM_VALIDATEFAILEDW) {
    heard->typed.push_back(reinterpret_cast<LPCWSTR>(lparam));
    if (heard->keep_open > 0) return heard->keep_open--;
  }
  return 0;
}

class BrowseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = wutest::MakeTempDir("browse");
    ASSERT_TRUE(CreateDirectoryW(U16(dir_ + "/sub").c_str(), nullptr));
    platform::SetFrontEnd(&script_);
    info_.pszDisplayName = name_;
    info_.lpszTitle = u"Pick a folder";
    info_.lpfn = Callback;
    info_.lParam = reinterpret_cast<LPARAM>(&heard_);
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &root_), S_OK);
    info_.pidlRoot = root_;
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    ILFree(root_);
    EXPECT_TRUE(script_.Done());
  }

  std::string dir_;
  platform::ScriptedFrontEnd script_;
  BROWSEINFOW info_{};
  WCHAR name_[MAX_PATH] = {};
  Heard heard_;
  LPITEMIDLIST root_ = nullptr;
};

TEST_F(BrowseTest, CallbackSelectsTheStartAndTheChosenFolderComesBack) {
  heard_.start = U16(dir_);
  std::u16string status;
  info_.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  script_.ChoosePath(U16(dir_ + "/sub"))
      .Run([&](HWND dialog) { status = platform::WindowText(GetDlgItem(dialog, IDC_BROWSE_STATUS)); })
      .Press(IDOK);
  LPITEMIDLIST chosen = SHBrowseForFolderW(&info_);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(PathOf(chosen), U16(dir_ + "/sub"));
  EXPECT_EQ(std::u16string(name_), u"sub");
  ILFree(chosen);
  EXPECT_TRUE(script_.errors().empty());
  ASSERT_GE(heard_.messages.size(), 3u);
  EXPECT_EQ(heard_.messages[0], static_cast<UINT>(BFFM_INITIALIZED));
  EXPECT_EQ(heard_.paths, (std::vector<std::u16string>{U16(dir_), U16(dir_ + "/sub")}));
  EXPECT_EQ(status, U16(dir_ + "/sub"));
  EXPECT_EQ(script_.shown().at(0).title, u"Browse For Folder");
}

TEST_F(BrowseTest, CancelAndFoldersWithoutAPath) {
  // The computer itself has no path: OK is disabled under
  // BIF_RETURNONLYFSDIRS and pressing it does nothing.
  info_.ulFlags = BIF_RETURNONLYFSDIRS;
  bool ok_enabled = true;
  script_.Run([&](HWND dialog) { ok_enabled = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE; })
      .Press(IDOK)
      .Escape();
  EXPECT_EQ(SHBrowseForFolderW(&info_), nullptr);
  EXPECT_FALSE(ok_enabled);
  ASSERT_EQ(script_.errors().size(), 1u);  // the disabled OK could not be pressed
  EXPECT_EQ(SHBrowseForFolderW(nullptr), nullptr);
}

TEST_F(BrowseTest, TypedNamesAreValidated) {
  heard_.start = U16(dir_);
  heard_.keep_open = 1;
  info_.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE;
  script_.Type(IDC_BROWSE_EDIT, u"nothing here").Press(IDOK)  // refused, kept open
      .Type(IDC_BROWSE_EDIT, u"sub").Press(IDOK);              // relative to the selection
  LPITEMIDLIST chosen = SHBrowseForFolderW(&info_);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(PathOf(chosen), U16(dir_ + "/sub"));
  ILFree(chosen);
  EXPECT_EQ(heard_.typed, std::vector<std::u16string>{u"nothing here"});

  // A failure the callback lets pass ends the dialog without a folder.
  heard_ = Heard{};
  heard_.start = U16(dir_);
  script_.Type(IDC_BROWSE_EDIT, u"/no/such/folder").Press(IDOK);
  EXPECT_EQ(SHBrowseForFolderW(&info_), nullptr);
  EXPECT_EQ(heard_.typed.size(), 1u);
}

TEST_F(BrowseTest, RenamingTheSelectedFolderInTheTreeRenamesItOnDisk) {
  heard_.start = U16(dir_ + "/sub");
  info_.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  LRESULT accepted = 0;
  script_.Run([&](HWND dialog) {
    HWND host = GetDlgItem(dialog, IDC_BROWSE_HOST);
    HWND tree = GetDlgItem(host, IDC_BROWSE_TREE);
    ASSERT_TRUE(tree);
    WCHAR text[] = u"renamed";
    NMTVDISPINFOW edit{};
    edit.hdr = {tree, IDC_BROWSE_TREE, TVN_ENDLABELEDITW};
    edit.item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    edit.item.pszText = text;
    accepted = SendMessageW(host, WM_NOTIFY, IDC_BROWSE_TREE, reinterpret_cast<LPARAM>(&edit));
  }).Press(IDOK);
  LPITEMIDLIST chosen = SHBrowseForFolderW(&info_);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(accepted, TRUE);
  EXPECT_EQ(PathOf(chosen), U16(dir_ + "/renamed"));
  ILFree(chosen);
  EXPECT_EQ(GetFileAttributesW(U16(dir_ + "/sub").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(U16(dir_ + "/renamed").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
