// Pieces of the self-extractor's run that stand on their own: the private
// temporary folder, tree removal that never follows links, the setup
// command line, token expansion of package data, and the process status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Sfx/SfxRun.h"
#include "Sfx/SfxStop.h"
#include "foundation/WuString.h"
#include "tests/Sfx/ArchiveTestUtil.h"
#include "tests/Sfx/SfxTestUtil.h"

namespace sfxtest {
namespace {

using archtest::Exists;
using archtest::GetFile;
using archtest::PutFile;

class SfxRunStepsTest : public RunStateTest {
 protected:
  void SetUp() override {
    RunStateTest::SetUp();
    dir_ = wutest::MakeTempDir("run");
    ASSERT_FALSE(dir_.empty());
    const char* old = getenv("TMPDIR");
    oldTmp_ = old ? old : "";
    hadTmp_ = old != nullptr;
    setenv("TMPDIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (hadTmp_) {
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    RunStateTest::TearDown();
  }
  std::string P(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
  std::string oldTmp_;
  bool hadTmp_ = false;
};

TEST_F(SfxRunStepsTest, TempFolderIsNewAndPrivateAndNeverAdoptsAnExistingName) {
  // Names 1 and 2 are taken by a planted folder and a planted link to a
  // folder of someone else's choosing: both are passed over.
  mkdir(P("OrvoInstall_1").c_str(), 0777);
  mkdir(P("elsewhere").c_str(), 0777);
  ASSERT_EQ(0, symlink(P("elsewhere").c_str(), P("OrvoInstall_2").c_str()));
  WCHAR folder[SFX_PATH_SIZE] = {};
  ASSERT_EQ(S_OK, SfxCreateTempFolder(folder, SFX_PATH_SIZE));
  EXPECT_EQ(P("OrvoInstall_3"), U8(folder));
  struct stat st;
  ASSERT_EQ(0, lstat(P("OrvoInstall_3").c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(0700u, st.st_mode & 0777u) << "only this user may enter it";

  // A buffer too small for any candidate: the run stops after 100 tries.
  WCHAR tiny[8] = {u'x'};
  EXPECT_EQ(E_INVALIDARG, SfxCreateTempFolder(tiny, 8));
  EXPECT_EQ(0, tiny[0]);
}

// Only a folder is passed over: names held by files or links are
// candidates that could not be created, and 100 of them end the search
// with box 550 and E_INVALIDARG (never a name further on).
TEST_F(SfxRunStepsTest, HundredNamesInTheWayEndTheSearch) {
  for (int n = 1; n <= 100; ++n) {
    std::string name = P("OrvoInstall_" + std::to_string(n));
    if (n % 2)
      PutFile(name, "in the way");
    else
      ASSERT_EQ(0, symlink(P("nowhere").c_str(), name.c_str()));
  }
  WCHAR folder[SFX_PATH_SIZE] = {u'x'};
  EXPECT_EQ(E_INVALIDARG, SfxCreateTempFolder(folder, SFX_PATH_SIZE));
  EXPECT_EQ(0, folder[0]);
  EXPECT_FALSE(Exists(P("OrvoInstall_101")));
  EXPECT_EQ(1u, boxes_.boxes().size()) << "box 550";

  // With folders among them the search goes past the folders.
  unlink(P("OrvoInstall_7").c_str());
  mkdir(P("OrvoInstall_7").c_str(), 0700);
  unlink(P("OrvoInstall_100").c_str());
  ASSERT_EQ(S_OK, SfxCreateTempFolder(folder, SFX_PATH_SIZE));
  EXPECT_EQ(P("OrvoInstall_100"), U8(folder));
}

TEST_F(SfxRunStepsTest, UnwritableTempPathStopsWithItsCode) {
  setenv("TMPDIR", P("missing").c_str(), 1);
  WCHAR folder[SFX_PATH_SIZE] = {};
  EXPECT_EQ(SFX_E_TEMP_NOT_WRITABLE, SfxCreateTempFolder(folder, SFX_PATH_SIZE));
}

TEST_F(SfxRunStepsTest, TreeRemovalDeletesReadOnlyEntriesButNeverFollowsLinks) {
  // Outside the tree: a user's folder and file that links inside point at.
  mkdir(P("keep").c_str(), 0755);
  PutFile(P("keep/precious.txt"), "mine");
  chmod(P("keep/precious.txt").c_str(), 0444);
  mkdir(P("tree").c_str(), 0755);
  mkdir(P("tree/sub").c_str(), 0755);
  PutFile(P("tree/sub/ro.txt"), "x");
  chmod(P("tree/sub/ro.txt").c_str(), 0444);
  ASSERT_EQ(0, symlink(P("keep").c_str(), P("tree/folder-link").c_str()));
  ASSERT_EQ(0, symlink(P("keep/precious.txt").c_str(), P("tree/sub/file-link").c_str()));
  ASSERT_EQ(0, symlink(P("nowhere").c_str(), P("tree/dangling").c_str()));

  EXPECT_TRUE(Sfx_WuDeleteDirectoryTree(U16(P("tree")).c_str(), TRUE));
  EXPECT_FALSE(Exists(P("tree")));
  EXPECT_EQ("mine", GetFile(P("keep/precious.txt")));
  struct stat st;
  ASSERT_EQ(0, stat(P("keep/precious.txt").c_str(), &st));
  EXPECT_EQ(0444u, st.st_mode & 0777u) << "the link's target keeps its mode";

  // A tree that is itself a link loses only the link, whether or not its
  // name ends in a separator.
  for (const char* suffix : {"", "\\", "/"}) {
    SCOPED_TRACE(std::string("suffix '") + suffix + "'");
    ASSERT_EQ(0, symlink(P("keep").c_str(), P("top-link").c_str()));
    std::u16string link = U16(P("top-link") + suffix);
    EXPECT_TRUE(Sfx_WuDeleteDirectoryTree(link.c_str(), FALSE));
    EXPECT_TRUE(Exists(P("top-link")));
    EXPECT_TRUE(Sfx_WuDeleteDirectoryTree(link.c_str(), TRUE));
    EXPECT_FALSE(Exists(P("top-link")));
    EXPECT_EQ("mine", GetFile(P("keep/precious.txt")));
  }
}

// For a user who is not root a read-only folder (mode 555) keeps its
// entries: its attribute goes before anything in it is deleted. The
// package's clean-up (the folder included) leaves nothing; a folder that
// stays is read-only again.
TEST_F(SfxRunStepsTest, ReadOnlyFoldersAreEmptiedForAUserWhoIsNotRoot) {
  mkdir(P("tmp").c_str(), 0700);
  mkdir(P("tmp/cache").c_str(), 0755);
  mkdir(P("tmp/cache/deeper").c_str(), 0755);
  PutFile(P("tmp/cache/a.dat"), "a");
  PutFile(P("tmp/cache/deeper/b.dat"), "b");
  mkdir(P("f").c_str(), 0755);
  mkdir(P("f/ro").c_str(), 0755);
  PutFile(P("f/ro/x.log"), "x");
  PutFile(P("f/ro/y.txt"), "y");
  for (const char* name : {"tmp/cache/deeper", "tmp/cache", "f/ro"})
    ASSERT_EQ(0, chmod(P(name).c_str(), 0555));
  std::u16string files = U16(P("f"));
  std::u16string cache = U16(P("tmp/cache"));
  int failed = wutest::RunAsNonRoot(
      [&] {
        if (!Sfx_WuDeleteFiles(files.c_str(), u"*.log", TRUE)) return 1;
        if (!Sfx_WuDeleteDirectoryTree(cache.c_str(), FALSE)) return 2;
        WCHAR temp[SFX_PATH_SIZE];
        WuStrCpyN(temp, U16(P("tmp")).c_str(), SFX_PATH_SIZE);
        SfxRemoveTempFolder(temp);
        return 0;
      },
      dir_);
  EXPECT_EQ(0, failed);
  EXPECT_FALSE(Exists(P("tmp")));
  EXPECT_FALSE(Exists(P("f/ro/x.log")));
  EXPECT_TRUE(Exists(P("f/ro/y.txt")));
  struct stat st;
  ASSERT_EQ(0, stat(P("f/ro").c_str(), &st));
  EXPECT_EQ(0555u, st.st_mode & 0777u);
}

TEST_F(SfxRunStepsTest, DeleteFilesByPatternKeepsFoldersAndOtherNames) {
  mkdir(P("f").c_str(), 0755);
  mkdir(P("f/sub").c_str(), 0755);
  PutFile(P("f/a.log"), "1");
  PutFile(P("f/b.txt"), "2");
  PutFile(P("f/sub/c.log"), "3");
  chmod(P("f/sub/c.log").c_str(), 0444);
  EXPECT_TRUE(Sfx_WuDeleteFiles(U16(P("f")).c_str(), u"*.log", FALSE));
  EXPECT_FALSE(Exists(P("f/a.log")));
  EXPECT_TRUE(Exists(P("f/sub/c.log")));
  EXPECT_TRUE(Sfx_WuDeleteFiles(U16(P("f")).c_str(), u"*.log", TRUE));
  EXPECT_FALSE(Exists(P("f/sub/c.log")));
  EXPECT_TRUE(Exists(P("f/b.txt")));
  EXPECT_TRUE(Exists(P("f/sub")));

  // A folder named through a link is searched as `rm link/*.log` would,
  // with or without a trailing separator; the link stays.
  ASSERT_EQ(0, symlink(P("f/sub").c_str(), P("link").c_str()));
  for (const char* suffix : {"", "\\", "/"}) {
    SCOPED_TRACE(std::string("suffix '") + suffix + "'");
    PutFile(P("f/sub/d.log"), "4");
    EXPECT_TRUE(Sfx_WuDeleteFiles(U16(P("link") + suffix).c_str(), u"*.log", FALSE));
    EXPECT_FALSE(Exists(P("f/sub/d.log")));
    EXPECT_TRUE(Exists(P("link")));
  }
}

TEST_F(SfxRunStepsTest, SetupCommandLineOrderAndOverflowRefused) {
  WuStrCpyN(g_SfxRunState.extractFolder, u"/opt/My App", SFX_PATH_SIZE);
  WuStrCpyN(g_SfxRunState.extrasText, u" -l deu --nolaunch", SFX_EXTRAS_SIZE);
  WCHAR command[SFX_PATH_SIZE] = {};
  ASSERT_EQ(S_OK, SfxBuildSetupCommand(u"setup.sh", u"/q --post_install", command, SFX_PATH_SIZE));
  EXPECT_EQ(u"\"/opt/My App/setup.sh\" /q --post_install", std::u16string(command))
      << "extras only when asked for";
  g_SfxRunState.extras = TRUE;
  ASSERT_EQ(S_OK, SfxBuildSetupCommand(u"setup.sh", u"", command, SFX_PATH_SIZE));
  EXPECT_EQ(u"\"/opt/My App/setup.sh\" -l deu --nolaunch", std::u16string(command));

  // One unit too many is refused, never cut and launched.
  std::u16string params(SFX_PATH_SIZE, u'p');
  int room = SFX_PATH_SIZE - 1 - static_cast<int>(std::u16string(command).size()) - 1;
  EXPECT_EQ(S_OK, SfxBuildSetupCommand(u"setup.sh", params.substr(0, room).c_str(), command,
                                       SFX_PATH_SIZE));
  EXPECT_EQ(E_INVALIDARG, SfxBuildSetupCommand(u"setup.sh", params.substr(0, room + 1).c_str(),
                                               command, SFX_PATH_SIZE));
  EXPECT_EQ(0, command[0]);
}

TEST_F(SfxRunStepsTest, PackageTextsExpandOnlyTokenReferences) {
  WuPrintF_AddToken(u"AppName", u"Demo");
  struct Case {
    const char16_t* text;
    const char16_t* expected;
  } cases[] = {
      {u"/opt/$(AppName)", u"/opt/Demo"},
      {u"/opt/100%s %d %n$(AppName)", u"/opt/100%s %d %nDemo"},
      {u"/opt/$d$$x$", u"/opt/$d$$x$"},
      {u"/opt/$(Unknown)", u"/opt/$(Unknown)"},
  };
  for (const Case& c : cases) {
    WCHAR out[SFX_PATH_SIZE] = {};
    SfxExpandTokens(c.text, out, SFX_PATH_SIZE);
    EXPECT_EQ(std::u16string(c.expected), std::u16string(out)) << U8(c.text);
  }
  WCHAR small[5] = {};
  SfxExpandTokens(u"/opt/$(AppName)", small, 5);
  EXPECT_EQ(u"/opt", std::u16string(small));
}

TEST(SfxExitStatusTest, FailuresNeverReadAsSuccess) {
  struct Case {
    DWORD code;
    int status;
  } cases[] = {
      {0, 0}, {3, 3}, {255, 255}, {1602, 66}, {256, 1}, {512, 1},
      {0x8004E070, 0x70}, {static_cast<DWORD>(E_INVALIDARG), 0x57}, {0x80004000, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.status, SfxExitStatus(c.code)) << c.code;
}

}  // namespace
}  // namespace sfxtest
