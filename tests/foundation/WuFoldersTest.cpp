#include "foundation/WuFolders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "platform/kernel/files.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "platform/user/windows.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;
using wutest::U8;

// A fresh folder with helpers to lay out files, folders and links in it.
class WuFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = wutest::MakeTempDir("folders");
    ASSERT_FALSE(dir_.empty());
  }

  std::string Linux(const std::string& name) const { return dir_ + "/" + name; }
  std::u16string Path(const std::string& name) const { return U16(Linux(name)); }

  void File(const std::string& name, size_t bytes = 1) {
    std::ofstream out(Linux(name), std::ios::binary);
    out << std::string(bytes, 'x');
  }
  void Folder(const std::string& name) { ASSERT_EQ(0, mkdir(Linux(name).c_str(), 0755)); }
  void Link(const std::string& target, const std::string& name) {
    ASSERT_EQ(0, symlink(target.c_str(), Linux(name).c_str()));
  }
  void ReadOnly(const std::string& name) {
    ASSERT_TRUE(SetFileAttributesW(Path(name).c_str(), FILE_ATTRIBUTE_READONLY));
  }
  bool Exists(const std::string& name) const {
    struct stat st;
    return lstat(Linux(name).c_str(), &st) == 0;
  }

  std::string dir_;
};

// ---- Creating and deleting ---------------------------------------------------------------

TEST_F(WuFoldersTest, CreateDirectoryMakesEveryComponent) {
  EXPECT_TRUE(WuCreateDirectory(Path("a/b\\c/").c_str(), nullptr));
  EXPECT_TRUE(WuIsDirectory(Path("a/b/c").c_str()));
  EXPECT_TRUE(WuCreateDirectory(Path("a/b").c_str(), nullptr));  // already there
  EXPECT_TRUE(WuCreateDirectory(u"/", nullptr));

  struct Refused {
    std::u16string path;
    const char* left_out;  // must not exist afterwards
  };
  File("file");
  const Refused refused[] = {
      {u"\\\\nosrv\\share\\x", nullptr},  // the share's root does not exist
      {u"relative/x", nullptr},           // no root
      {Path("d1//d2"), "d1"},             // doubled separator
      {Path("file/sub"), nullptr},        // a component is a file
  };
  for (const Refused& r : refused) {
    EXPECT_FALSE(WuCreateDirectory(r.path.c_str(), nullptr)) << U8(r.path);
    EXPECT_NE(ERROR_SUCCESS, GetLastError()) << U8(r.path);
    if (r.left_out) {
      EXPECT_FALSE(Exists(r.left_out)) << U8(r.path);
    }
  }
  EXPECT_FALSE(Exists("relative"));
}

TEST_F(WuFoldersTest, DeleteTreeRemovesReadOnlyEntriesButNeverFollowsLinks) {
  std::string outside = wutest::MakeTempDir("outside");
  std::ofstream(outside + "/keep.txt") << "keep";
  ASSERT_EQ(0, chmod((outside + "/keep.txt").c_str(), 0444));

  Folder("t");
  Folder("t/sub");
  Folder("t/sub/deep");
  File("t/a.txt");
  File("t/.hidden");
  File("t/sub/deep/b.txt");
  File("t/ro.txt");
  ReadOnly("t/ro.txt");
  ReadOnly("t/sub/deep");
  Link(outside, "t/sub/to-folder");
  Link(outside + "/keep.txt", "t/to-file");
  Link(outside + "/gone", "t/dangling");

  EXPECT_TRUE(WuDeleteDirectoryTree(Path("t").c_str(), FALSE));
  EXPECT_TRUE(Exists("t"));
  EXPECT_TRUE(WuIsDirectoryEmpty(Path("t").c_str()));
  // The outside folder and file are untouched, read-only bit included.
  struct stat st;
  ASSERT_EQ(0, stat((outside + "/keep.txt").c_str(), &st));
  EXPECT_EQ(0444u, st.st_mode & 0777);

  File("t/again.txt");
  EXPECT_TRUE(WuDeleteDirectoryTree(Path("t").c_str(), TRUE));
  EXPECT_FALSE(Exists("t"));

  // A folder given as a link loses only the link.
  Link(outside, "top-link");
  EXPECT_TRUE(WuDeleteDirectoryTree(Path("top-link").c_str(), TRUE));
  EXPECT_FALSE(Exists("top-link"));
  EXPECT_EQ(0, access((outside + "/keep.txt").c_str(), F_OK));

  EXPECT_FALSE(WuDeleteDirectoryTree(Path("missing").c_str(), TRUE));
}

// For a user who is not root a read-only folder (mode 555) keeps its
// entries: its attribute goes before anything in it is deleted. A folder
// that is kept (the top one without the flag, every folder for
// WuDeleteFiles) is read-only again afterwards.
TEST_F(WuFoldersTest, ReadOnlyFoldersAreEmptiedForAUserWhoIsNotRoot) {
  Folder("t");
  Folder("t/ro");
  Folder("t/ro/deeper");
  File("t/ro/a.txt");
  File("t/ro/deeper/b.txt");
  Folder("f");
  Folder("f/ro");
  File("f/x.log");
  File("f/ro/y.log");
  File("f/ro/z.txt");
  for (const char* name : {"t/ro/deeper", "t/ro", "t", "f/ro", "f"})
    ASSERT_EQ(0, chmod(Linux(name).c_str(), 0555));
  auto mode = [&](const std::string& name) {
    struct stat st;
    return lstat(Linux(name).c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
  };
  const std::u16string tree = Path("t");
  const std::u16string files = Path("f");
  int failed = wutest::RunAsNonRoot(
      [&] {
        if (!WuDeleteFiles(files.c_str(), u"*.log", TRUE)) return 1;
        if (!WuDeleteDirectoryTree(tree.c_str(), FALSE)) return 2;
        if (!WuIsDirectoryEmpty(tree.c_str())) return 3;
        if (!WuDeleteDirectoryTree(tree.c_str(), TRUE)) return 4;
        return 0;
      },
      dir_);
  EXPECT_EQ(0, failed);
  EXPECT_FALSE(Exists("t"));
  EXPECT_FALSE(Exists("f/x.log"));
  EXPECT_FALSE(Exists("f/ro/y.log"));
  EXPECT_TRUE(Exists("f/ro/z.txt"));
  EXPECT_EQ(0555u, mode("f"));
  EXPECT_EQ(0555u, mode("f/ro"));
}

// A link to a folder outside the tree, named with or without a trailing
// separator: only the link goes, and only with the flag.
TEST_F(WuFoldersTest, DeleteTreeOfALinkNamedWithASeparatorLosesOnlyTheLink) {
  std::string outside = wutest::MakeTempDir("outside");
  ASSERT_EQ(0, mkdir((outside + "/sub").c_str(), 0755));
  std::ofstream(outside + "/keep.txt") << "keep";
  std::ofstream(outside + "/sub/deep.txt") << "deep";
  for (const char* suffix : {"", "\\", "/"}) {
    SCOPED_TRACE(std::string("suffix '") + suffix + "'");
    Link(outside, "link");
    std::u16string link = Path("link") + U16(suffix);
    EXPECT_TRUE(WuDeleteDirectoryTree(link.c_str(), FALSE));
    EXPECT_TRUE(Exists("link"));
    EXPECT_TRUE(WuDeleteDirectoryTree(link.c_str(), TRUE));
    EXPECT_FALSE(Exists("link"));
    EXPECT_EQ("keep", wutest::ReadBytes(outside + "/keep.txt"));
    EXPECT_EQ("deep", wutest::ReadBytes(outside + "/sub/deep.txt"));
  }
}

TEST_F(WuFoldersTest, DeleteFilesByPattern) {
  std::string outside = wutest::MakeTempDir("outside");
  std::ofstream(outside + "/x.tmp") << "keep";
  Folder("sub");
  File("a.tmp");
  File("b.txt");
  File("sub/c.tmp");
  File("sub/ro.tmp");
  ReadOnly("sub/ro.tmp");
  Link(outside, "sub/link");

  EXPECT_TRUE(WuDeleteFiles(U16(dir_).c_str(), u"*.tmp", FALSE));
  EXPECT_FALSE(Exists("a.tmp"));
  EXPECT_TRUE(Exists("sub/c.tmp"));

  EXPECT_TRUE(WuDeleteFiles(U16(dir_).c_str(), u"*.tmp", TRUE));
  EXPECT_FALSE(Exists("sub/c.tmp"));
  EXPECT_FALSE(Exists("sub/ro.tmp"));
  EXPECT_TRUE(Exists("b.txt"));
  EXPECT_TRUE(Exists("sub/link"));
  EXPECT_EQ(0, access((outside + "/x.tmp").c_str(), F_OK));

  // A folder named through a link is searched as `rm link/*.tmp` would,
  // with or without a trailing separator; the link stays.
  for (const char* suffix : {"", "\\", "/"}) {
    SCOPED_TRACE(std::string("suffix '") + suffix + "'");
    std::ofstream(outside + "/x.tmp") << "gone";
    EXPECT_TRUE(WuDeleteFiles((Path("sub/link") + U16(suffix)).c_str(), u"*.tmp", FALSE));
    EXPECT_NE(0, access((outside + "/x.tmp").c_str(), F_OK));
    EXPECT_TRUE(Exists("sub/link"));
  }
}

TEST_F(WuFoldersTest, DirectoryEmpty) {
  Folder("empty");
  Folder("full");
  File("full/.x");
  EXPECT_TRUE(WuIsDirectoryEmpty(Path("empty").c_str()));
  EXPECT_FALSE(WuIsDirectoryEmpty(Path("full").c_str()));
  EXPECT_TRUE(WuIsDirectoryEmpty(Path("missing").c_str()));
  std::u16string too_long = u"/" + std::u16string(MAX_PATH, u'a');
  EXPECT_FALSE(WuIsDirectoryEmpty(too_long.c_str()));
}

// ---- Fresh names ------------------------------------------------------------------------------

TEST_F(WuFoldersTest, TemporaryFilesAreNumbered) {
  std::u16string folder = U16(dir_);
  WCHAR out[MAX_PATH];
  ASSERT_EQ(S_OK, WuCreateTempFileAndNameEx(folder.c_str(), u"x", u".tmp", nullptr, out, MAX_PATH));
  EXPECT_EQ(Path("x1.tmp"), out);
  ASSERT_EQ(S_OK, WuCreateTempFileAndNameEx(folder.c_str(), u"x", u".tmp", nullptr, out, MAX_PATH));
  EXPECT_EQ(Path("x2.tmp"), out);
  EXPECT_TRUE(Exists("x1.tmp"));
  ASSERT_EQ(S_OK, WuCreateTempFileAndNameEx(folder.c_str(), u"y", nullptr, u"%03d", out, MAX_PATH));
  EXPECT_EQ(Path("y001"), out);

  EXPECT_EQ(E_INVALIDARG,
            WuCreateTempFileAndNameEx(nullptr, nullptr, nullptr, nullptr, out, MAX_PATH));
  EXPECT_EQ(E_INVALIDARG,
            WuCreateTempFileAndNameEx(folder.c_str(), u"x", u".tmp", nullptr, nullptr, 0));
  out[0] = u'j';
  EXPECT_EQ(E_INVALIDARG,
            WuCreateTempFileAndNameEx(folder.c_str(), u"x", u".tmp", nullptr, out, 8));
  EXPECT_EQ(u"", std::u16string(out));
  EXPECT_EQ(WU_E_NOT_FOUND, WuCreateTempFileAndNameEx(Path("missing").c_str(), u"x", nullptr,
                                                      nullptr, out, MAX_PATH));
  EXPECT_EQ(u"", std::u16string(out));
  // A format without a number names one file only: the search ends.
  ASSERT_EQ(S_OK,
            WuCreateTempFileAndNameEx(folder.c_str(), u"z", nullptr, u"fixed", out, MAX_PATH));
  EXPECT_EQ(WU_E_FILE_EXISTS,
            WuCreateTempFileAndNameEx(folder.c_str(), u"z", nullptr, u"fixed", out, MAX_PATH));
}

TEST_F(WuFoldersTest, DirectoryWritable) {
  Folder("w");
  File("file");
  EXPECT_TRUE(WuIsDirectoryWritable(Path("w").c_str()));
  EXPECT_TRUE(WuIsDirectoryEmpty(Path("w").c_str()));  // the probe is gone
  EXPECT_FALSE(WuIsDirectoryWritable(Path("missing").c_str()));
  EXPECT_FALSE(WuIsDirectoryWritable(Path("file").c_str()));
}

TEST_F(WuFoldersTest, UniqueSubFolder) {
  std::u16string folder = U16(dir_);
  WCHAR out[MAX_PATH];
  ASSERT_EQ(S_OK, WuGetUniqueSubFolder(folder.c_str(), u"name", out, MAX_PATH));
  EXPECT_EQ(Path("name"), out);
  Folder("name");
  ASSERT_EQ(S_OK, WuGetUniqueSubFolder((folder + u"/").c_str(), u"name", out, MAX_PATH));
  EXPECT_EQ(Path("name1"), out);
  File("name1");  // a file takes the name as well
  ASSERT_EQ(S_OK, WuGetUniqueSubFolder(folder.c_str(), u"name", out, MAX_PATH));
  EXPECT_EQ(Path("name2"), out);
  EXPECT_EQ(E_INVALIDARG, WuGetUniqueSubFolder(folder.c_str(), u"name", out, MAX_PATH - 1));
}

// ---- Sizes and space ---------------------------------------------------------------------------

TEST_F(WuFoldersTest, DirectorySizeCountsFilesButNotLinkedFolders) {
  std::string outside = wutest::MakeTempDir("outside");
  std::ofstream(outside + "/big") << std::string(5000, 'x');
  Folder("sub");
  File("a", 10);
  File("sub/b", 20);
  Link(outside, "sub/link");
  ULONGLONG bytes = 99;
  EXPECT_EQ(S_OK, WuGetDirectorySize(U16(dir_).c_str(), &bytes));
  EXPECT_EQ(30u, bytes);
  EXPECT_EQ(S_OK, WuGetDirectorySize(Path("missing").c_str(), &bytes));
  EXPECT_EQ(0u, bytes);
  EXPECT_EQ(E_INVALIDARG, WuGetDirectorySize(U16(dir_).c_str(), nullptr));

  ULONGLONG size = 99;
  EXPECT_EQ(S_OK, WuGetFileSizeByName(Path("sub/b").c_str(), &size));
  EXPECT_EQ(20u, size);
  EXPECT_EQ(WU_E_OPEN_FILE, WuGetFileSizeByName(Path("missing").c_str(), &size));
  EXPECT_EQ(0u, size);
}

TEST_F(WuFoldersTest, DiskSpace) {
  std::u16string inside = Path("file.txt");
  ULARGE_INTEGER available, total;
  ASSERT_TRUE(GetDiskFreeSpaceExW(U16(dir_).c_str(), &available, &total, nullptr));
  EXPECT_EQ(static_cast<DWORD>(total.QuadPart / 1024 / 1024),
            WuGetDiskTotalSpace(inside.c_str(), 1024 * 1024));
  DWORD whole_bytes =
      total.QuadPart > 0xFFFFFFFFull ? 0xFFFFFFFF : static_cast<DWORD>(total.QuadPart);
  EXPECT_EQ(whole_bytes, WuGetDiskTotalSpace(inside.c_str(), 0));
  EXPECT_GT(WuGetDiskFreeSpace(inside.c_str(), 1), 0u);
  EXPECT_EQ(0u, WuGetDiskFreeSpace(u"relative/file", 1024));
  EXPECT_EQ(0u, WuGetDiskFreeSpace(u"", 1024));
  EXPECT_EQ(0xFFFFFFFFu, WuGetDiskFreeSpace(u"\\\\nosrv\\share\\f", 1024));
}

TEST_F(WuFoldersTest, FreeSpaceText) {
  WCHAR text[WU_DISKSPACE_TEXT_MAX];
  EXPECT_EQ(12, WuFormatDiskFreeSpace(u"", text));
  EXPECT_EQ(u"-- Megabytes", std::u16string(text));
  WuFormatDiskFreeSpace(u"relative/x", text);
  EXPECT_EQ(u"-- Megabytes", std::u16string(text));

  ASSERT_TRUE(platform::SetUserLocale(0x409, 0x409));
  WuLang_GetInternationals(nullptr, 0);  // the separators formatting uses
  ULARGE_INTEGER available;
  ASSERT_TRUE(GetDiskFreeSpaceExW(U16(dir_).c_str(), &available, nullptr, nullptr));
  WuFormatDiskFreeSpace(Path("x").c_str(), text);
  std::string shown = U8(text);
  bool gigabytes = available.QuadPart / 102400 >= 10000;
  std::string unit = gigabytes ? " Gigabytes" : " Megabytes";
  ASSERT_GE(shown.size(), unit.size() + 3) << shown;  // at least "d.d"
  EXPECT_EQ(unit, shown.substr(shown.size() - unit.size())) << shown;
  // One decimal: "<digits>.<digit> <unit>".
  EXPECT_EQ('.', shown[shown.size() - unit.size() - 2]) << shown;
  platform::SetUserLocale(0, 0);
  WuLang_GetInternationals(nullptr, 0);
}

// ---- Special and shared folders
// ------------------------------------------------------------------

TEST_F(WuFoldersTest, SpecialFoldersGetTheMakerFolderWhenHidden) {
  struct Case {
    int csidl;
    bool versioned;
    std::u16string tail;
  };
  const Case cases[] = {
      {CSIDL_APPDATA, true, u"/Orvo/App/7.1/"},
      {CSIDL_PERSONAL, true, u"/App/7.1/"},
      {CSIDL_LOCAL_APPDATA, false, u"/Orvo/App/"},
      {CSIDL_PERSONAL, false, u"/App/"},
  };
  for (const Case& c : cases) {
    WCHAR out[MAX_PATH];
    HRESULT hr = c.versioned ? WuGetSpecialFolderVer(out, MAX_PATH, c.csidl, u"App", 7, 1)
                             : WuGetSpecialFolderNoVer(out, MAX_PATH, c.csidl, u"App");
    ASSERT_EQ(S_OK, hr) << c.csidl;
    WCHAR shell[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, c.csidl, nullptr, SHGFP_TYPE_CURRENT, shell));
    EXPECT_EQ(std::u16string(shell) + c.tail, out) << c.csidl;
    EXPECT_TRUE(WuIsDirectory(out)) << c.csidl;
  }
  WCHAR out[MAX_PATH];
  EXPECT_EQ(E_INVALIDARG, WuGetSpecialFolderVer(out, 100, CSIDL_APPDATA, u"App", 1, 0));
  EXPECT_EQ(E_INVALIDARG, WuGetSpecialFolderNoVer(out, MAX_PATH, CSIDL_APPDATA, nullptr));
  EXPECT_TRUE(FAILED(WuGetSpecialFolderNoVer(out, MAX_PATH, CSIDL_INTERNET, u"App")));
}

TEST(WuSharedFoldersTest, ComeFromTheSharedInformationKey) {
  WCHAR out[MAX_PATH];
  EXPECT_EQ(WU_E_NOT_FOUND, WuGetSharedComponentsFolder(out, MAX_PATH));
  EXPECT_EQ(u"", std::u16string(out));
  EXPECT_TRUE(FAILED(WuGetSpecialOrvoFolder(out, MAX_PATH, 0)));

  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Talvene\\Shared Information", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  const std::u16string shared = u"C:\\Shared";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"SharedComponentsFolder", 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(shared.c_str()),
                                          static_cast<DWORD>((shared.size() + 1) * sizeof(WCHAR))));
  RegCloseKey(key);

  EXPECT_EQ(S_OK, WuGetSharedComponentsFolder(out, MAX_PATH));
  EXPECT_EQ(shared, out);
  EXPECT_EQ(S_OK, WuGetSpecialOrvoFolder(out, MAX_PATH, 0));
  EXPECT_EQ(u"C:\\Shared/Pellacord Themes/", std::u16string(out));
  EXPECT_EQ(S_OK, WuGetSpecialOrvoFolder(out, MAX_PATH, 1));
  EXPECT_EQ(u"C:\\Shared/Audio Transitions/", std::u16string(out));

  EXPECT_EQ(S_OK, WuSetSpecialOrvoFolder(u"/srv/themes", 0));
  EXPECT_EQ(S_OK, WuGetSpecialOrvoFolder(out, MAX_PATH, 0));
  EXPECT_EQ(u"/srv/themes", std::u16string(out));
  EXPECT_EQ(S_OK, WuGetSpecialOrvoFolder(out, MAX_PATH, 1));  // the other index is still default
  EXPECT_EQ(u"C:\\Shared/Audio Transitions/", std::u16string(out));

  EXPECT_EQ(E_INVALIDARG, WuGetSpecialOrvoFolder(out, MAX_PATH, 2));
  EXPECT_EQ(E_INVALIDARG, WuSetSpecialOrvoFolder(u"/x", 2));

  WCHAR name[6];
  EXPECT_EQ(S_OK, WuGetSpecialOrvoDefaultFolderName(name, 6, 1));
  EXPECT_EQ(u"Audio", std::u16string(name));
  EXPECT_EQ(E_INVALIDARG, WuGetSpecialOrvoDefaultFolderName(name, 6, 2));
  EXPECT_EQ(E_INVALIDARG, WuGetSpecialOrvoDefaultFolderName(name, 6, -1));
  EXPECT_EQ(E_INVALIDARG, WuGetSpecialOrvoDefaultFolderName(nullptr, 6, 0));
}

// ---- Moving and copying trees
// ----------------------------------------------------------------------

// Records the progress calls of a tree copy and answers with `answer` on
// call number `answer_at` (counting from 1).
struct Progress {
  std::vector<double> percents;
  std::vector<std::u16string> files;
  HRESULT answer = S_OK;
  size_t answer_at = 0;

  static HRESULT Callback(void* argument, double percent, LPCWSTR source) {
    auto* self = static_cast<Progress*>(argument);
    self->percents.push_back(percent);
    self->files.push_back(source ? source : u"(none)");
    return self->percents.size() == self->answer_at ? self->answer : S_OK;
  }
};

class WuMoveFolderTest : public WuFoldersTest {
 protected:
  // src/a (100 bytes), src/sub/b (300), src/sub/c (100), src/link -> outside
  void MakeSource(bool with_link) {
    Folder("src");
    Folder("src/sub");
    File("src/a", 100);
    File("src/sub/b", 300);
    File("src/sub/c", 100);
    if (with_link) {
      outside_ = wutest::MakeTempDir("outside");
      std::ofstream(outside_ + "/keep.txt") << "keep";
      Link(outside_, "src/link");
    }
  }
  std::string outside_;
};

TEST_F(WuMoveFolderTest, MovesOnOneVolumeAndKeepsLinksAsLinks) {
  MakeSource(true);
  Progress progress;
  DWORD moved = 99;
  EXPECT_EQ(S_OK, WuMoveFolder(Path("dst").c_str(), Path("src").c_str(), &moved,
                               &Progress::Callback, &progress));
  EXPECT_EQ(4u, moved);  // three files and the link
  EXPECT_FALSE(Exists("src"));
  EXPECT_TRUE(Exists("dst/a"));
  EXPECT_TRUE(Exists("dst/sub/b"));
  struct stat st;
  ASSERT_EQ(0, lstat(Linux("dst/link").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(0, access((outside_ + "/keep.txt").c_str(), F_OK));
  EXPECT_TRUE(progress.percents.empty());  // moves in place report no progress
}

// An old folder that is itself a link moves as the link, with or without
// a trailing separator: what it points at keeps its files. The tree walk
// never enters such a source.
TEST_F(WuMoveFolderTest, AnOldFolderThatIsALinkMovesAsTheLink) {
  MakeSource(true);
  std::ofstream(outside_ + "/other.txt") << "other";
  DWORD moved = 99;
  for (const char* suffix : {"", "\\", "/"}) {
    SCOPED_TRACE(std::string("suffix '") + suffix + "'");
    std::u16string link = Path("src/link") + U16(suffix);
    EXPECT_EQ(S_OK, WuCanMoveFolder(link.c_str()));
    Folder("walked");
    EXPECT_EQ(WU_E_WRITE, WuCopyMoveFolderTree(link.c_str(), Path("walked").c_str(), WU_TREE_MOVE,
                                               &moved, nullptr, 1, nullptr, nullptr));
    EXPECT_TRUE(WuIsDirectoryEmpty(Path("walked").c_str()));
    ASSERT_EQ(0, rmdir(Linux("walked").c_str()));

    EXPECT_EQ(S_OK, WuMoveFolder(Path("new/place").c_str(), link.c_str(), &moved, nullptr, nullptr));
    EXPECT_EQ(1u, moved);
    struct stat st;
    ASSERT_EQ(0, lstat(Linux("new/place").c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_FALSE(Exists("src/link"));
    EXPECT_EQ("keep", wutest::ReadBytes(outside_ + "/keep.txt"));
    EXPECT_EQ("other", wutest::ReadBytes(outside_ + "/other.txt"));
    // The new name must be free.
    Link(outside_, "src/link");
    EXPECT_EQ(WU_E_CREATE_FILE,
              WuMoveFolder(Path("new/place").c_str(), link.c_str(), &moved, nullptr, nullptr));
    EXPECT_TRUE(Exists("src/link"));
    ASSERT_EQ(0, unlink(Linux("new/place").c_str()));
  }
}

// A link moved to another folder still names the folder it named: a
// relative link's text is rewritten for its new place (and stays
// relative), an absolute one is kept. Links to links, and a link found in
// a folder named through a link, too.
TEST_F(WuMoveFolderTest, AMovedFolderLinkStillNamesItsFolder) {
  Folder("real");
  File("real/f.txt");
  Folder("deep");
  Folder("deep/deeper");
  Link("real", "lnk");  // as `ln -s real lnk` makes it
  Link("real", "lnk2");
  Link("lnk2", "chain");
  Link(Linux("real"), "abs");
  Link("deep/deeper", "via");
  Link("../../real", "deep/deeper/up2");
  struct Case {
    const char* to;
    const char* from;
    std::string text;  // the moved link's text
  } cases[] = {
      {"deep/new4", "lnk", "../real"},
      {"top", "deep/new4/", "real"},  // back up, named with a separator
      {"deep/deeper/x/y", "abs", Linux("real")},
      {"deep/c", "chain", "../lnk2"},
      {"new7", "via/up2", "real"},  // lies in deep/deeper, not beside via
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    DWORD moved = 0;
    EXPECT_EQ(S_OK,
              WuMoveFolder(Path(c.to).c_str(), Path(c.from).c_str(), &moved, nullptr, nullptr));
    EXPECT_EQ(1u, moved);
    EXPECT_FALSE(Exists(c.from));
    char text[4096] = {};
    ASSERT_LT(0, readlink(Linux(c.to).c_str(), text, sizeof text - 1));
    EXPECT_EQ(c.text, text);
    EXPECT_EQ("x", wutest::ReadBytes(Linux(c.to) + "/f.txt"));
  }
  EXPECT_TRUE(Exists("real/f.txt"));
}

// A link move that fails changes nothing: no new link, no folders made for
// it, the old link in place (its folder is read-only for a user who is not
// root; on another file system a link is not moved).
TEST_F(WuMoveFolderTest, AFailedFolderLinkMoveChangesNothing) {
  Folder("real");
  Folder("ro");
  Link("../real", "ro/lnk");
  ASSERT_EQ(0, chmod(Linux("ro").c_str(), 0555));
  std::u16string to = Path("made/for/it");
  std::u16string from = Path("ro/lnk");
  int answer = wutest::RunAsNonRoot(
      [&] {
        DWORD moved = 9;
        HRESULT hr = WuMoveFolder(to.c_str(), from.c_str(), &moved, nullptr, nullptr);
        return hr == WU_E_CREATE_FILE && moved == 0 ? 0 : 1;
      },
      dir_);
  chmod(Linux("ro").c_str(), 0755);
  EXPECT_EQ(0, answer);
  EXPECT_FALSE(Exists("made"));
  char text[64] = {};
  ASSERT_LT(0, readlink(Linux("ro/lnk").c_str(), text, sizeof text - 1));
  EXPECT_STREQ("../real", text);

  char pattern[] = "/dev/shm/wutest-link.XXXXXX";
  if (access("/dev/shm", W_OK) != 0 || !mkdtemp(pattern)) GTEST_SKIP() << "no /dev/shm";
  std::string other = pattern;
  struct stat here, there;
  bool same = stat(dir_.c_str(), &here) == 0 && stat(pattern, &there) == 0 &&
              here.st_dev == there.st_dev;
  HRESULT hr = WuMoveFolder(U16(other + "/made/lnk").c_str(), from.c_str(), nullptr, nullptr,
                            nullptr);
  bool made = access((other + "/made").c_str(), F_OK) == 0;
  WuDeleteDirectoryTree(U16(other).c_str(), TRUE);
  if (same) GTEST_SKIP() << "/dev/shm is on the same volume";
  EXPECT_EQ(WU_E_WRITE, hr);
  EXPECT_FALSE(made);
  EXPECT_TRUE(Exists("ro/lnk"));
}

// A copy from a source that is a link to a folder copies what that folder
// holds, with or without a trailing separator, and leaves link and folder
// as they were.
TEST_F(WuMoveFolderTest, CopyFromAFolderLinkCopiesWhatTheFolderHolds) {
  MakeSource(true);
  ASSERT_EQ(0, mkdir((outside_ + "/sub").c_str(), 0755));
  std::ofstream(outside_ + "/sub/deep.txt") << "deep";
  Folder("rel");
  Link("../src", "rel/link");  // relative, as `ln -s` makes it
  struct Case {
    const char* source;
    const char* suffix;
    HRESULT result;
    std::vector<std::string> copied;  // relative to the destination
    DWORD count;
  } cases[] = {
      {"src/link", "", S_OK, {"keep.txt", "sub/deep.txt"}, 2},
      {"src/link", "\\", S_OK, {"keep.txt", "sub/deep.txt"}, 2},
      {"src/link", "/", S_OK, {"keep.txt", "sub/deep.txt"}, 2},
      // A link inside the tree is still not copied (src/link here).
      {"rel/link", "/", WU_E_WRITE, {"a", "sub/b", "sub/c"}, 3},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string destination = "copy" + std::to_string(n++);
    SCOPED_TRACE(std::string(c.source) + c.suffix + " -> " + destination);
    Folder(destination);
    std::u16string source = Path(c.source) + U16(c.suffix);
    DWORD count = 0;
    ULONGLONG copied = 0;
    EXPECT_EQ(c.result, WuCopyMoveFolderTree(source.c_str(), Path(destination).c_str(),
                                             WU_TREE_COPY, &count, &copied, 1, nullptr, nullptr));
    EXPECT_EQ(c.count, count);
    for (const std::string& name : c.copied)
      EXPECT_TRUE(Exists(destination + "/" + name)) << name;
    struct stat st;
    ASSERT_EQ(0, lstat(Linux(c.source).c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
  }
  EXPECT_EQ("keep", wutest::ReadBytes(outside_ + "/keep.txt"));
  EXPECT_EQ("deep", wutest::ReadBytes(outside_ + "/sub/deep.txt"));
  EXPECT_TRUE(Exists("src/sub/b"));
}

TEST_F(WuMoveFolderTest, RefusesOnlyADestinationInsideTheSource) {
  MakeSource(false);
  DWORD moved = 99;
  EXPECT_EQ(WU_E_DEST_UNDER_SOURCE, WuMoveFolder(Path("src/sub/inner").c_str(), Path("src").c_str(),
                                                 &moved, nullptr, nullptr));
  EXPECT_EQ(0u, moved);
  EXPECT_EQ(WU_E_DEST_UNDER_SOURCE,
            WuMoveFolder(Path("src/./x").c_str(), Path("src/").c_str(), nullptr, nullptr, nullptr));
  EXPECT_EQ(S_OK,
            WuMoveFolder(Path("src").c_str(), Path("src/").c_str(), &moved, nullptr, nullptr));
  EXPECT_TRUE(Exists("src/a"));
  // A sibling whose name merely begins with the source's name is fine.
  EXPECT_EQ(S_OK,
            WuMoveFolder(Path("srcB").c_str(), Path("src").c_str(), &moved, nullptr, nullptr));
  EXPECT_EQ(3u, moved);
  EXPECT_TRUE(Exists("srcB/sub/c"));
  EXPECT_EQ(WU_E_NOT_FOUND, WuMoveFolder(Path("other").c_str(), Path("missing").c_str(), nullptr,
                                         nullptr, nullptr));
  EXPECT_EQ(E_FAIL,
            WuMoveFolder(u"\\\\nosrv\\share\\x", Path("srcB").c_str(), nullptr, nullptr, nullptr));
}

// Every entry under a folder, links not followed: "d" for a folder, the
// link's text for a link, the bytes for a file.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> entries;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
    std::string name = e.path().string().substr(folder.size());
    if (e.is_symlink())
      entries[name] = "link:" + fs::read_symlink(e.path()).string();
    else if (e.is_directory())
      entries[name] = "d";
    else
      entries[name] = wutest::ReadBytes(e.path().string());
  }
  return entries;
}

// A copy or move into the source itself or a folder inside it, however
// either path is named (through links too), is refused before anything is
// made or moved; WuMoveFolder refuses the same for a folder it walks (an
// old folder that is a link moves as the link, walking nothing).
TEST_F(WuMoveFolderTest, RefusesADestinationInsideTheSourceOnDisk) {
  MakeSource(false);
  Link("src", "lnk");         // lnk -> src
  Link("src/sub", "to-sub");  // to-sub -> src/sub
  struct Case {
    const char* source;
    const char* destination;
    HRESULT move_folder;  // WuMoveFolder's answer; S_FALSE: not asked
  } cases[] = {
      {"src", "src/sub", WU_E_DEST_UNDER_SOURCE},
      {"src", "src/new/deeper", WU_E_DEST_UNDER_SOURCE},
      {"src", "src", S_OK},  // equal paths
      {"src", "lnk", WU_E_DEST_UNDER_SOURCE},
      {"src", "lnk/sub", WU_E_DEST_UNDER_SOURCE},
      {"src", "lnk/new", WU_E_DEST_UNDER_SOURCE},
      {"src", "to-sub/new", WU_E_DEST_UNDER_SOURCE},  // a link into the tree further down
      {"lnk", "src/sub", S_FALSE},
      {"lnk", "src/new", S_FALSE},
      {"lnk/", "src", S_FALSE},
  };
  const std::map<std::string, std::string> before = Snapshot(dir_);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " -> " + c.destination);
    for (int mode : {WU_TREE_COPY, WU_TREE_MOVE}) {
      SCOPED_TRACE(mode == WU_TREE_COPY ? "copy" : "move");
      DWORD count = 99;
      EXPECT_EQ(WU_E_DEST_UNDER_SOURCE,
                WuCopyMoveFolderTree(Path(c.source).c_str(), Path(c.destination).c_str(), mode,
                                     &count, nullptr, 1, nullptr, nullptr));
      EXPECT_EQ(99u, count);
      EXPECT_EQ(before, Snapshot(dir_));
    }
    if (c.move_folder == S_FALSE) continue;
    DWORD moved = 99;
    EXPECT_EQ(c.move_folder, WuMoveFolder(Path(c.destination).c_str(), Path(c.source).c_str(),
                                          &moved, nullptr, nullptr));
    EXPECT_EQ(0u, moved);
    EXPECT_EQ(before, Snapshot(dir_));
  }

  // A sibling, also one whose name begins with the source's name, and a
  // source named through the link, are copied and moved as ever.
  const struct {
    const char* source;
    const char* destination;
  } ordinary[] = {{"src", "src2"}, {"src", "src-copy"}, {"lnk", "lnk-copy"}};
  for (const auto& c : ordinary) {
    SCOPED_TRACE(std::string(c.source) + " -> " + c.destination);
    Folder(c.destination);
    DWORD count = 0;
    EXPECT_EQ(S_OK, WuCopyMoveFolderTree(Path(c.source).c_str(), Path(c.destination).c_str(),
                                         WU_TREE_COPY, &count, nullptr, 1, nullptr, nullptr));
    EXPECT_EQ(3u, count);
    EXPECT_EQ(before.at("/src/sub/b"), wutest::ReadBytes(Linux(c.destination) + "/sub/b"));
  }
  EXPECT_EQ(before.at("/src/sub/b"), wutest::ReadBytes(Linux("src/sub/b")));
  ASSERT_EQ(0, unlink(Linux("to-sub").c_str()));
  Folder("src-moved");
  DWORD moved = 0;
  EXPECT_EQ(S_OK, WuCopyMoveFolderTree(Path("src").c_str(), Path("src-moved").c_str(),
                                       WU_TREE_MOVE, &moved, nullptr, 1, nullptr, nullptr));
  EXPECT_EQ(3u, moved);
  EXPECT_FALSE(Exists("src"));
  EXPECT_EQ(before.at("/src/sub/b"), wutest::ReadBytes(Linux("src-moved/sub/b")));
}

TEST_F(WuMoveFolderTest, CopyReportsProgressAndStopsOnCancel) {
  MakeSource(false);
  Folder("copy");
  Progress progress;
  DWORD count = 0;
  ULONGLONG copied = 0;
  EXPECT_EQ(S_OK, WuCopyMoveFolderTree(Path("src").c_str(), Path("copy").c_str(), WU_TREE_COPY,
                                       &count, &copied, 500, &Progress::Callback, &progress));
  EXPECT_EQ(3u, count);
  EXPECT_EQ(500u, copied);
  ASSERT_EQ(3u, progress.percents.size());
  EXPECT_DOUBLE_EQ(100.0, progress.percents.back());
  for (size_t i = 1; i < progress.percents.size(); ++i)
    EXPECT_GT(progress.percents[i], progress.percents[i - 1]);
  EXPECT_TRUE(Exists("src/sub/b"));  // a copy keeps the source
  EXPECT_TRUE(Exists("copy/sub/b"));

  // Cancel on the second file: the walk ends there.
  Folder("cancelled");
  Progress cancel;
  cancel.answer = WU_E_CANCELLED;
  cancel.answer_at = 2;
  count = 0;
  copied = 0;
  EXPECT_EQ(WU_E_CANCELLED,
            WuCopyMoveFolderTree(Path("src").c_str(), Path("cancelled").c_str(), WU_TREE_COPY,
                                 &count, &copied, 500, &Progress::Callback, &cancel));
  EXPECT_EQ(2u, cancel.percents.size());
  EXPECT_EQ(2u, count);

  // Another failure from the callback is recorded and the walk goes on.
  Folder("failed");
  Progress fail;
  fail.answer = E_ACCESSDENIED;
  fail.answer_at = 1;
  count = 0;
  EXPECT_EQ(E_ACCESSDENIED,
            WuCopyMoveFolderTree(Path("src").c_str(), Path("failed").c_str(), WU_TREE_COPY, &count,
                                 nullptr, 500, &Progress::Callback, &fail));
  EXPECT_EQ(3u, fail.percents.size());
  EXPECT_EQ(3u, count);
}

TEST_F(WuMoveFolderTest, CanMoveFolderFindsFilesInUse) {
  MakeSource(true);
  EXPECT_EQ(S_OK, WuCanMoveFolder(Path("src").c_str()));
  HANDLE held =
      CreateFileW(Path("src/sub/c").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_EQ(WU_E_FILES_IN_USE, WuCanMoveFolder(Path("src").c_str()));
  DWORD moved = 0;
  // Moving on one volume keeps going past the file in use and reports it.
  EXPECT_EQ(WU_E_WRITE,
            WuMoveFolder(Path("dst").c_str(), Path("src").c_str(), &moved, nullptr, nullptr));
  EXPECT_TRUE(Exists("src/sub/c"));
  EXPECT_TRUE(Exists("dst/sub/b"));
  CloseHandle(held);
}

// Moving across volumes needs a second file system: /dev/shm when it is one.
TEST_F(WuMoveFolderTest, MovesAcrossVolumesByCopying) {
  char pattern[] = "/dev/shm/wutest-move.XXXXXX";
  if (access("/dev/shm", W_OK) != 0 || !mkdtemp(pattern)) GTEST_SKIP() << "no /dev/shm";
  std::u16string other = U16(pattern);
  DWORD serial_here = 0;
  DWORD serial_there = 0;
  GetVolumeInformationW(U16(dir_).c_str(), nullptr, 0, &serial_here, nullptr, nullptr, nullptr, 0);
  GetVolumeInformationW(other.c_str(), nullptr, 0, &serial_there, nullptr, nullptr, nullptr, 0);
  if (serial_here == serial_there) {
    rmdir(pattern);
    GTEST_SKIP() << "/dev/shm is on the same volume";
  }
  MakeSource(false);
  Progress progress;
  DWORD moved = 0;
  std::u16string target = other + u"/moved";
  HRESULT hr =
      WuMoveFolder(target.c_str(), Path("src").c_str(), &moved, &Progress::Callback, &progress);
  bool copied = WuIsDirectory((target + u"/sub").c_str()) != FALSE;
  WuDeleteDirectoryTree(other.c_str(), TRUE);
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ(3u, moved);
  EXPECT_TRUE(copied);
  EXPECT_FALSE(Exists("src"));
  ASSERT_EQ(4u, progress.percents.size());  // 0 % first, then one call per file
  EXPECT_EQ(0.0, progress.percents.front());
  EXPECT_DOUBLE_EQ(100.0, progress.percents.back());
}

// ---- Paths fitted to a width
// ----------------------------------------------------------------------

// A font of the metric model whose characters are `width` pixels wide
// (every one of them for a fixed-pitch face).
HFONT MakeFont(const char16_t* face, int width) {
  LOGFONTW lf = {};
  lf.lfHeight = -16;
  lf.lfWidth = width;
  lf.lfWeight = 400;
  for (int i = 0; face[i] && i < 31; ++i) lf.lfFaceName[i] = face[i];
  return CreateFontIndirectW(&lf);
}

class WuPathEllipsisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dc_ = GetDC(nullptr);
    ASSERT_NE(nullptr, dc_);
    font_ = MakeFont(u"Courier New", 10);
    ASSERT_NE(nullptr, font_);
    previous_ = SelectObject(dc_, font_);
  }
  void TearDown() override {
    SelectObject(dc_, previous_);
    DeleteObject(font_);
    ReleaseDC(nullptr, dc_);
  }
  HDC dc_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

TEST_F(WuPathEllipsisTest, CutsTheFolderPartToFitTheWidth) {
  struct Case {
    const char16_t* path;
    int width;  // pixels; every character is 10 wide
    const char16_t* result;
  };
  const Case cases[] = {
      {u"C:\\dir\\file.txt", 200, u"C:\\dir\\file.txt"},
      {u"C:\\dir\\file.txt", 150, u"C:\\dir\\file.txt"},
      {u"/home/user/projects/file.txt", 200, u"/home/us.../file.txt"},
      {u"C:\\dir\\file.txt", 120, u"...\\file.txt"},
      {u"C:\\a/b\\c/dd", 100, u"C:\\a.../dd"},  // split at the last of either separator
      {u"a_long_file_name.txt", 50, u"a_long_file_name.txt"},
  };
  for (const Case& c : cases) {
    WCHAR out[MAX_PATH];
    EXPECT_EQ(0, WuCalcPathEllipsisEx(dc_, c.path, out, MAX_PATH, c.width)) << U8(c.path);
    EXPECT_EQ(std::u16string(c.result), out) << U8(c.path) << " in " << c.width;
  }
}

TEST_F(WuPathEllipsisTest, WritesAreBoundedBySize) {
  WCHAR out[12];
  for (WCHAR& c : out) c = u'#';
  WuCalcPathEllipsisEx(dc_, u"/home/user/projects/file.txt", out, 10, 200);
  EXPECT_EQ(u"/home/us.", std::u16string(out));
  EXPECT_EQ(u'#', out[10]);
  WuCalcPathEllipsisEx(dc_, u"/home/user/projects/file.txt", out, 10, 1000);
  EXPECT_EQ(u"/home/use", std::u16string(out));
  EXPECT_EQ(u'#', out[10]);
  EXPECT_EQ(E_INVALIDARG, WuCalcPathEllipsisEx(dc_, nullptr, out, 10, 100));

  // In place, a shortened path may not grow past its own length: here one
  // wide 'W' makes room for the narrow "...".
  HFONT proportional = MakeFont(u"Arial", 10);
  HGDIOBJ fixed = SelectObject(dc_, proportional);
  WCHAR path[8] = {u'/', u'W', u'W', u'/', u'x', 0, u'#', u'#'};
  SIZE extent;
  ASSERT_TRUE(GetTextExtentPoint32W(dc_, path, 5, &extent));
  EXPECT_TRUE(WuCalcPathEllipsis(dc_, path, extent.cx - 1));
  EXPECT_EQ(u"/W...", std::u16string(path));
  EXPECT_EQ(u'#', path[6]);
  SelectObject(dc_, fixed);
  DeleteObject(proportional);
}

TEST_F(WuPathEllipsisTest, ControlUsesItsFontAndClientWidth) {
  HWND window = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 130, 20, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), 0);
  WCHAR out[MAX_PATH];
  EXPECT_EQ(0, WuCalcPathEllipsisExCtl(window, u"C:\\dir\\file.txt", out, MAX_PATH, 10));
  EXPECT_EQ(u"...\\file.txt", std::u16string(out));
  EXPECT_EQ(0, WuCalcPathEllipsisExCtl(window, u"C:\\dir\\file.txt", out, MAX_PATH, -70));
  EXPECT_EQ(u"C:\\dir\\file.txt", std::u16string(out));  // 200 pixels: it fits
  EXPECT_EQ(0, WuCalcPathEllipsisExCtl(window, u"C:\\dir\\file.txt", out, MAX_PATH, 500));
  EXPECT_EQ(u"...\\file.txt", std::u16string(out));  // width 0 at least
  DestroyWindow(window);
}

// ---- File names fitted to a width --------------------------------------------------------

TEST(WuFilenameFormatTest, StylesOnADcWithAFont) {
  HDC dc = GetDC(nullptr);
  ASSERT_TRUE(dc);
  HFONT font = CreateFontW(-12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
  HGDIOBJ old = SelectObject(dc, font);
  const WCHAR path[] = u"C:\\Program Files\\Some Vendor\\a rather long file name.txt";
  auto width_of = [&](const std::u16string& t) {
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, t.data(), static_cast<int>(t.size()), &size);
    return static_cast<int>(size.cx);
  };
  const int narrow = width_of(u"a rather long") + 2;
  const int wide = width_of(path) + 10;

  struct Case {
    int style;
    int width;
    std::u16string expected;  // empty: checked below
  };
  // What the other functions make of the same input is the expectation.
  WCHAR ellipsis_name[64] = u"a rather long file name.txt";
  WuCalcStringEllipsis(dc, ellipsis_name, 64, narrow);
  WCHAR ellipsis_path[128];
  lstrcpynW(ellipsis_path, path, 128);
  WuCalcStringEllipsis(dc, ellipsis_path, 128, narrow);
  WCHAR path_ellipsis[128];
  WuCalcPathEllipsisEx(dc, path, path_ellipsis, 128, narrow);
  const Case cases[] = {
      {0, narrow, u"a rather long file name.txt"},
      {1, narrow, path_ellipsis},
      {1, wide, path},
      {2, narrow, ellipsis_name},
      {2, wide, u"a rather long file name.txt"},
      {3, wide, u""},
      {4, narrow, ellipsis_path},
      {4, wide, path},
  };
  for (const Case& c : cases) {
    WCHAR out[128] = u"junk";
    EXPECT_EQ(WuFilenameFormat(dc, c.width, path, out, 128, c.style), S_OK) << c.style;
    EXPECT_EQ(std::u16string(out), c.expected) << c.style << " " << c.width;
  }
  EXPECT_NE(std::u16string(ellipsis_name).find(u"..."), std::u16string::npos);

  // Bounded by the output size; errors.
  WCHAR small[6];
  EXPECT_EQ(WuFilenameFormat(dc, wide, path, small, 6, 0), S_OK);
  EXPECT_EQ(std::u16string(small), u"a rat");
  WCHAR out[16] = u"junk";
  EXPECT_EQ(WuFilenameFormat(dc, wide, u"", out, 16, 2), S_OK);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(WuFilenameFormat(dc, wide, path, out, 16, 5), E_INVALIDARG);
  EXPECT_EQ(WuFilenameFormat(dc, wide, nullptr, out, 16, 0), E_INVALIDARG);
  EXPECT_EQ(WuFilenameFormat(dc, wide, path, nullptr, 16, 0), E_INVALIDARG);

  // A name longer than 255 characters is cut to 255 before shortening.
  std::u16string long_name(400, u'x');
  std::vector<WCHAR> big(512);
  EXPECT_EQ(WuFilenameFormat(dc, 1 << 30, long_name.c_str(), big.data(), 512, 2), S_OK);
  EXPECT_EQ(std::u16string(big.data()).size(), 255u);

  // The same through a font on a screen DC.
  WCHAR by_font[128];
  EXPECT_EQ(WuFilenameFormatForWidth(font, narrow, path, by_font, 128, 2), S_OK);
  EXPECT_EQ(std::u16string(by_font), ellipsis_name);

  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
}

TEST(WuFilenameFormatTest, ForCtlUsesTheWindowsFontAndWidth) {
  HFONT font = CreateFontW(-12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
  HWND control = CreateWindowExW(0, u"STATIC", u"", WS_POPUP, 0, 0, 60, 20, nullptr, nullptr,
                                 nullptr, nullptr);
  ASSERT_TRUE(control);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  RECT client;
  GetClientRect(control, &client);
  const WCHAR path[] = u"/home/user/documents/a rather long file name.txt";
  WCHAR by_ctl[128], by_width[128];
  EXPECT_EQ(WuFilenameFormatForCtl(control, path, by_ctl, 128, 4), S_OK);
  EXPECT_EQ(WuFilenameFormatForWidth(font, client.right - client.left - 4, path, by_width, 128, 4),
            S_OK);
  EXPECT_EQ(std::u16string(by_ctl), std::u16string(by_width));
  EXPECT_NE(std::u16string(by_ctl), path);  // it was shortened
  // A missing window is a failure, not a success code.
  EXPECT_TRUE(FAILED(WuFilenameFormatForCtl(nullptr, path, by_ctl, 128, 4)));
  DestroyWindow(control);
  DeleteObject(font);
}

}  // namespace
