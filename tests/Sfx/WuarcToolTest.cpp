// The wuarc tool, run as a process: a package from a folder and a stub,
// listed, extracted and tested; bad input gives clear errors.
#include <gtest/gtest.h>
#include <stdio.h>
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

ToolRun Wuarc(const std::string& arguments) {
  std::string command = std::string(WUARC_PROGRAM) + " " + arguments + " 2>&1 </dev/null";
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

  ToolRun r = Wuarc("package " + P("setup.exe") + " --stub " + P("stub.bin") + " " + P("payload"));
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

}  // namespace
}  // namespace archtest
