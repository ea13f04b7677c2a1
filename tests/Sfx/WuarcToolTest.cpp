// The wuarc tool, run as a process: a package from a folder and a stub,
// listed, extracted and tested; bad input gives clear errors.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>

#include "Sfx/CArchive2.h"
#include "tests/Sfx/ArchiveTestUtil.h"

namespace archtest {
namespace {

struct ToolRun {
  int status;          // exit status
  std::string output;  // stdout and stderr
};

// Runs the tool with `arguments`, in `folder` when one is given.
ToolRun Wuarc(const std::string& arguments, const std::string& folder = {}) {
  std::string command = (folder.empty() ? "" : "cd '" + folder + "' && ") + WUARC_PROGRAM + " " +
                        arguments + " 2>&1 </dev/null";
  ToolRun run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

class WuarcToolTest : public ArchiveTest {};

TEST_F(WuarcToolTest, BuildsListsExtractsAndTestsAPackage) {
  MakeDir("payload");
  MakeDir("payload/bin");
  PutFile(P("payload/readme.txt"), Text(20000));
  PutFile(P("payload/bin/tool.dat"), Noise(700000));
  PutFile(P("stub.bin"), Noise(4096, 5));

  ToolRun r = Wuarc("package " + P("setup.exe") + " --stub " + P("stub.bin") + " -C " + P("") + " payload");
  ASSERT_EQ(0, r.status) << r.output;
  EXPECT_EQ(Noise(4096, 5), GetFile(P("setup.exe")).substr(0, 4096));
  EXPECT_FALSE(Exists(P("setup.exe.wuarc-tmp"))) << "the scratch archive is removed";

  r = Wuarc("list " + P("setup.exe"));
  ASSERT_EQ(0, r.status) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("payload\\bin\\tool.dat"));
  EXPECT_NE(std::string::npos, r.output.find("4 entries, self-extracting package"));

  r = Wuarc("extract " + P("setup.exe") + " -d " + P("out/nested"));
  ASSERT_EQ(0, r.status) << r.output;
  EXPECT_EQ(Text(20000), GetFile(P("out/nested/payload/readme.txt")));
  EXPECT_EQ(Noise(700000), GetFile(P("out/nested/payload/bin/tool.dat")));

  // Existing files: no silent overwrite without a terminal to ask on.
  r = Wuarc("extract " + P("setup.exe") + " -d " + P("out/nested"));
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.output.find("exists (use --overwrite or --skip-existing)"));
  EXPECT_EQ(0, Wuarc("extract " + P("setup.exe") + " -d " + P("out/nested") + " --overwrite").status);

  r = Wuarc("test " + P("setup.exe"));
  EXPECT_EQ(0, r.status) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("4 entries OK"));

  // A damaged byte in the stored data of tool.dat.
  std::string bytes = GetFile(P("setup.exe"));
  bytes[bytes.size() / 2] ^= 0x10;
  PutFile(P("bad.exe"), bytes);
  r = Wuarc("test " + P("bad.exe"));
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.output.find("CRC mismatch")) << r.output;
}

TEST_F(WuarcToolTest, BadInputGivesClearErrors) {
  struct Case {
    std::string arguments;
    int status;
    const char* message;
  } cases[] = {
      {"", 2, "Usage:"},
      {"frobnicate x", 2, "unknown command frobnicate"},
      {"create", 2, "usage: wuarc create"},
      {"extract " + P("missing.um"), 1, "no such file"},
      {"split " + P("missing.um") + " 12q", 2, "bad volume size"},
      {"create " + P("x.um") + " --level 12 " + P("x"), 2, "level must be 0 to 9"},
      {"create " + P("x.um") + " " + P("nothing-here"), 1, "not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    ToolRun r = Wuarc(c.arguments);
    EXPECT_EQ(c.status, r.status);
    EXPECT_NE(std::string::npos, r.output.find(c.message)) << r.output;
  }
  EXPECT_FALSE(Exists(P("x.um"))) << "a failed create leaves no archive";
  ToolRun help = Wuarc("--help");
  EXPECT_EQ(0, help.status);
  EXPECT_NE(std::string::npos, help.output.find("wuarc unpackage PACKAGE FOLDER"));
}

// Entries are named by the paths as given, for create and add alike, so
// that adding a changed file replaces its entry.
TEST_F(WuarcToolTest, PathsAreStoredAsGivenAndAddReplacesThem) {
  MakeDir("work");
  MakeDir("work/s");
  MakeDir("work/s/deep");
  PutFile(P("work/s/f2.txt"), "old");
  PutFile(P("work/s/deep/f3.txt"), "three");
  PutFile(P("work/top.txt"), "top");
  auto run = [&](const std::string& arguments) { return Wuarc(arguments, P("work")); };
  ASSERT_EQ(0, run("create a.ach s ./top.txt").status);
  PutFile(P("work/s/f2.txt"), "new");
  ToolRun r = run("add a.ach s/f2.txt ./s/deep/f3.txt");
  ASSERT_EQ(0, r.status) << r.output;
  r = run("list a.ach");
  EXPECT_NE(std::string::npos, r.output.find(" s\\f2.txt\n")) << r.output;
  EXPECT_NE(std::string::npos, r.output.find(" s\\deep\\f3.txt\n")) << r.output;
  EXPECT_NE(std::string::npos, r.output.find(" top.txt\n")) << r.output;
  EXPECT_EQ(std::string::npos, r.output.find(" f2.txt\n")) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("5 entries")) << r.output;
  ASSERT_EQ(0, run("extract a.ach -d out").status);
  EXPECT_EQ("new", GetFile(P("work/out/s/f2.txt"))) << "the changed file replaced its entry";
  EXPECT_EQ("three", GetFile(P("work/out/s/deep/f3.txt")));

  // ".." is refused before anything is written; the archive stays as it was.
  std::string before = GetFile(P("work/a.ach"));
  r = run("add a.ach top.txt s/../top.txt");
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.output.find("s/../top.txt: a path with \"..\" cannot name an entry"))
      << r.output;
  EXPECT_EQ(before, GetFile(P("work/a.ach")));
  EXPECT_EQ(1, run("create b.ach ..").status);
  EXPECT_FALSE(Exists(P("work/b.ach")));

  // An absolute path is stored without its root, with one notice; -C takes
  // the paths after it from a folder.
  r = run("create c.ach " + P("work/top.txt") + " " + P("work/s/f2.txt") + " -C s deep");
  ASSERT_EQ(0, r.status) << r.output;
  size_t notice = r.output.find("removing the leading '/'");
  EXPECT_NE(std::string::npos, notice) << r.output;
  EXPECT_EQ(std::string::npos, r.output.find("removing", notice + 1)) << "one notice";
  r = run("list c.ach");
  std::string rooted = P("work/top.txt").substr(1);
  for (char& c : rooted)
    if (c == '/') c = '\\';
  EXPECT_NE(std::string::npos, r.output.find(" " + rooted + "\n")) << r.output;
  EXPECT_NE(std::string::npos, r.output.find(" deep\\f3.txt\n")) << r.output;
}

// A comment that a failing disk cuts short leaves the archive readable as
// it was, also for the tool's own test and for unpacking the package.
TEST_F(WuarcToolTest, AFailedCommentLeavesAWorkingArchive) {
  PutFile(P("a.txt"), Text(3000));
  PutFile(P("stub.bin"), Noise(4096, 5));
  ASSERT_EQ(0, Wuarc("package pkg.run --stub stub.bin --comment old a.txt", dir).status);
  std::string before = GetFile(P("pkg.run"));
  {
    wutest::FileSizeLimit limit(before.size() + 200);
    ToolRun r = Wuarc("comment pkg.run '" + std::string(1000, 'c') + "'", dir);
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.output.find("comment failed (0x8004E009)")) << r.output;
  }
  EXPECT_EQ(before, GetFile(P("pkg.run")));
  ToolRun r = Wuarc("test pkg.run", dir);
  EXPECT_EQ(0, r.status) << r.output;
  r = Wuarc("comment pkg.run", dir);
  EXPECT_EQ("old\n", r.output);
  EXPECT_EQ(0, Wuarc("unpackage pkg.run parts", dir).status);
  EXPECT_EQ(0, Wuarc("comment pkg.run 'a new one'", dir).status);
  EXPECT_EQ("a new one\n", Wuarc("comment pkg.run", dir).output);
}

// Rewrites keep the file's permission bits: a package stays runnable, a
// private archive private. A create cut short leaves the old file.
TEST_F(WuarcToolTest, RewritesKeepTheFilesMode) {
  PutFile(P("x.txt"), Noise(3000, 1));
  PutFile(P("y.txt"), Noise(3000, 2));
  PutFile(P("stub.bin"), Noise(4096, 5));
  ASSERT_EQ(0, Wuarc("package pkg.run --stub stub.bin x.txt", dir).status);
  EXPECT_EQ(0755u, ModeOf(P("pkg.run")) & 0755u) << "made runnable";
  ASSERT_EQ(0, chmod(P("pkg.run").c_str(), 0755));
  ASSERT_EQ(0, Wuarc("add pkg.run y.txt", dir).status);
  EXPECT_EQ(0755u, ModeOf(P("pkg.run")));

  ASSERT_EQ(0, Wuarc("create a.um x.txt y.txt", dir).status);
  ASSERT_EQ(0, chmod(P("a.um").c_str(), 0600));
  for (const char* command : {"delete a.um y.txt", "split a.um 1k", "merge a.um", "add a.um y.txt",
                              "create a.um x.txt"}) {
    ToolRun r = Wuarc(command, dir);
    EXPECT_EQ(0, r.status) << command << r.output;
    EXPECT_EQ(0600u, ModeOf(P("a.um"))) << command;
  }

  PutFile(P("big.bin"), Noise(300000, 3));
  std::string before = GetFile(P("a.um"));
  // A disk that fills part-way; then a shell's "ulimit -f", whose signal
  // must not end the tool before it removes its work copy.
  for (bool signal_default : {false, true}) {
    {
      wutest::FileSizeLimit limit(100000, signal_default);
      EXPECT_EQ(1, Wuarc("create a.um big.bin", dir).status) << signal_default;
    }
    EXPECT_EQ(before, GetFile(P("a.um")));
    EXPECT_FALSE(Exists(P("~a.um")));
  }
}

// Work copies are made under a name that was free: a user's own "~NAME"
// files (one read-only, one a folder) beside an archive, a package or an
// unpacked stub are never removed, replaced or in the way, for any command.
TEST_F(WuarcToolTest, WorkCopiesNeverTakeAUsersFile) {
  PutFile(P("a.txt"), Text(3000));
  PutFile(P("b.txt"), Noise(3000, 2));
  PutFile(P("stub.bin"), Noise(4096, 5));
  MakeDir("parts");
  MakeDir("~dir.ach");
  const char* mine[] = {"~data.ach",          "~setup.run",       "~ro.ach",
                        "parts/~Seastub.exe", "parts/~setup.ach", "parts/~a.txt"};
  for (const char* f : mine) PutFile(P(f), std::string("mine: ") + f);
  ASSERT_EQ(0, chmod(P("~ro.ach").c_str(), 0444));
  const char* commands[] = {"create data.ach a.txt",
                            "create data.ach a.txt b.txt",
                            "add data.ach stub.bin",
                            "delete data.ach b.txt",
                            "split data.ach 2k",
                            "merge data.ach",
                            "create ro.ach a.txt",
                            "create dir.ach a.txt",
                            "package setup.run --stub stub.bin a.txt",
                            "package setup.run --stub stub.bin a.txt b.txt",
                            "unpackage setup.run parts",
                            "unpackage setup.run parts --overwrite",
                            "extract data.ach -d parts",
                            "extract data.ach -d parts --overwrite"};
  for (const char* command : commands) {
    ToolRun r = Wuarc(command, dir);
    EXPECT_EQ(0, r.status) << command << "\n" << r.output;
  }
  for (const char* f : mine) EXPECT_EQ(std::string("mine: ") + f, GetFile(P(f))) << f;
  EXPECT_EQ("a.txt b.txt data.ach dir.ach parts ro.ach setup.run stub.bin "
            "~data.ach ~dir.ach ~ro.ach ~setup.run",
            Names(dir));
  EXPECT_EQ("Seastub.exe a.txt setup.ach stub.bin ~Seastub.exe ~a.txt ~setup.ach",
            Names(P("parts")));
  EXPECT_EQ(Text(3000), GetFile(P("parts/a.txt")));
  for (const char* archive : {"data.ach", "ro.ach", "dir.ach", "setup.run", "parts/setup.ach"})
    EXPECT_EQ(0, Wuarc(std::string("test ") + archive, dir).status) << archive;
}

// The same for a user who is not root, for whom a read-only file binds:
// such a "~NAME" is passed over, and the rewritten archive keeps its mode.
TEST_F(WuarcToolTest, AReadOnlyWorkNameIsPassedOverByAUserWhoIsNotRoot) {
  PutFile(P("a.txt"), Text(3000));
  PutFile(P("~ro.ach"), "mine");
  ASSERT_EQ(0, chmod(P("~ro.ach").c_str(), 0444));
  int failed = wutest::RunAsNonRoot(
      [&] {
        for (const char* command : {"create ro.ach a.txt", "create ro.ach a.txt", "add ro.ach a.txt"})
          if (Wuarc(command, dir).status != 0) return 1;
        if (chmod(P("ro.ach").c_str(), 0640) != 0 || Wuarc("delete ro.ach a.txt", dir).status != 0)
          return 2;
        if (GetFile(P("~ro.ach")) != "mine" || ModeOf(P("ro.ach")) != 0640) return 3;
        return Names(dir) == "a.txt ro.ach ~ro.ach" ? 0 : 4;
      },
      dir);
  EXPECT_EQ(0, failed);
}

// An output that is a symbolic link stands for the file it names: that file
// is replaced, with the work copy beside it, and the link stays.
TEST_F(WuarcToolTest, OutputsThatAreLinksReplaceTheFileTheyName) {
  PutFile(P("a.txt"), Text(3000));
  PutFile(P("b.txt"), Noise(3000, 2));
  PutFile(P("stub.bin"), Noise(4096, 5));
  MakeDir("real");
  MakeDir("parts");
  PutFile(P("real/r.ach"), "old archive");
  PutFile(P("real/p.run"), "old package");
  PutFile(P("real/stub.out"), "old stub");
  ASSERT_EQ(0, symlink("real/r.ach", P("link.ach").c_str()));
  ASSERT_EQ(0, symlink("real/p.run", P("link.run").c_str()));
  ASSERT_EQ(0, symlink(P("real/stub.out").c_str(), P("parts/Seastub.exe").c_str()));
  ASSERT_EQ(0, symlink("../real/a.ach", P("parts/link.ach").c_str()));  // dangling
  for (const char* command :
       {"create link.ach a.txt b.txt", "add link.ach stub.bin", "delete link.ach b.txt",
        "package link.run --stub stub.bin a.txt", "unpackage link.run parts --overwrite"}) {
    ToolRun r = Wuarc(command, dir);
    EXPECT_EQ(0, r.status) << command << "\n" << r.output;
  }
  struct stat st;
  for (const char* link : {"link.ach", "link.run", "parts/Seastub.exe", "parts/link.ach"})
    EXPECT_TRUE(lstat(P(link).c_str(), &st) == 0 && S_ISLNK(st.st_mode)) << link << " stays a link";
  ToolRun r = Wuarc("list real/r.ach", dir);
  EXPECT_EQ(0, r.status) << r.output;
  EXPECT_NE(std::string::npos, r.output.find(" stub.bin\n")) << r.output;
  EXPECT_EQ(std::string::npos, r.output.find(" b.txt\n")) << r.output;
  EXPECT_EQ(Noise(4096, 5), GetFile(P("real/p.run")).substr(0, 4096));
  EXPECT_EQ(0755u, ModeOf(P("real/p.run")) & 0755u) << "the package is made runnable";
  EXPECT_EQ(Noise(4096, 5), GetFile(P("real/stub.out")));
  EXPECT_EQ("a.ach p.run r.ach stub.out", Names(P("real"))) << "nothing is left beside them";
}

// Names the file system takes are rewritten: a ':' inside a name, an
// archive name of 255 bytes (its work copy needs a shorter name), and an
// entry six folders of 40 characters deep extracted over itself.
TEST_F(WuarcToolTest, LongNamesAndNamesWithAColonAreRewritten) {
  PutFile(P("a.txt"), Text(3000));
  PutFile(P("stub.bin"), Noise(4096, 5));
  std::string deep = "";
  for (char c = 'a'; c < 'g'; ++c) {
    deep += std::string(40, c) + "/";
    MakeDir(deep);
  }
  PutFile(P(deep + "f.txt"), Text(500));
  PutFile(P("12:31.txt"), "colon");
  std::string longName = std::string(251, 'n') + ".ach";
  for (const std::string& command :
       {"create " + longName + " a.txt", "create " + longName + " a.txt " + deep + "f.txt",
        "add " + longName + " stub.bin", "delete " + longName + " a.txt",
        "extract " + longName + " -d out", "extract " + longName + " -d out --overwrite",
        std::string("create 12:30.ach a.txt"), std::string("create 12:30.ach a.txt 12:31.txt"),
        std::string("extract 12:30.ach -d out:1"),
        std::string("extract 12:30.ach -d out:1 --overwrite"),
        std::string("package 12:30.run --stub stub.bin a.txt"),
        std::string("unpackage 12:30.run parts:1")}) {
    ToolRun r = Wuarc(command, dir);
    EXPECT_EQ(0, r.status) << command << "\n" << r.output;
  }
  EXPECT_EQ(Text(500), GetFile(P("out/" + deep + "f.txt")));
  EXPECT_EQ("f.txt", Names(P("out/" + deep)));
  EXPECT_EQ("12:30.ach Seastub.exe", Names(P("parts:1")));
  EXPECT_EQ("12:31.txt a.txt", Names(P("out:1")));
  EXPECT_EQ("colon", GetFile(P("out:1/12:31.txt")));
  EXPECT_EQ("12:30.ach 12:30.run 12:31.txt a.txt " + std::string(40, 'a') + " " + longName +
                " out out:1 parts:1 stub.bin",
            Names(dir));
}

// A damaged central directory fails listing and testing, as it fails
// extraction: no partial listing reads as the whole archive.
TEST_F(WuarcToolTest, DamagedDirectoryFailsListAndTest) {
  std::string corpus = std::string(SFX_HOSTILE_CORPUS) + "/";
  for (const char* name : {"damaged-record-signature.pkg", "damaged-record-name-length.pkg",
                           "damaged-record-third-length.pkg"}) {
    SCOPED_TRACE(name);
    for (const char* command : {"list ", "test "}) {
      ToolRun r = Wuarc(command + corpus + name);
      EXPECT_EQ(1, r.status) << r.output;
      EXPECT_NE(std::string::npos, r.output.find("not an archive")) << r.output;
    }
  }
}

}  // namespace
}  // namespace archtest
