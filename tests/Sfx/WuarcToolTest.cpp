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
  {
    wutest::FileSizeLimit limit(100000);
    EXPECT_EQ(1, Wuarc("create a.um big.bin", dir).status);
  }
  EXPECT_EQ(before, GetFile(P("a.um")));
  EXPECT_FALSE(Exists(P("~a.um")));
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
