// Real packages, end to end: a package is made of the wusfx program, a
// payload with a stand-in setup program and a control archive, by the
// archive tool; it then runs as a child process (statuses are 8 bits) or
// in this process (where the run's 32-bit exit code is checked).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Sfx/SfxCommandLine.h"
#include "Sfx/SfxRun.h"
#include "Sfx/SfxRunState.h"
#include "platform/user/frontend.h"
#include "platform/kernel/module.h"
#include "tests/Sfx/ArchiveTestUtil.h"
#include "tests/Sfx/ChildProcess.h"
#include "tests/Sfx/SfxTestUtil.h"

namespace sfxtest {
namespace {

using archtest::Exists;
using archtest::GetFile;
using archtest::HandArchive;
using archtest::HandEntry;
using archtest::Noise;
using archtest::PutFile;
using archtest::Text;

// How a child run ended.
struct Ended {
  int status = -1;      // exit status, or -1
  int signal = 0;       // the signal that ended it, or 0
  std::string output;   // stdout and stderr
};

// What the stand-in setup program recorded.
struct Record {
  bool ran = false;
  int pid = 0;
  std::vector<std::string> args;
  std::string folder;
  std::vector<std::string> files;
};

class SfxEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = wutest::MakeTempDir("e2e");
    ASSERT_FALSE(dir_.empty());
    tmp_ = P("tmp");
    mkdir(tmp_.c_str(), 0755);
  }
  void TearDown() override {
    for (int pid : standIns_) kill(pid, SIGKILL);
  }
  std::string P(const std::string& name) const { return dir_ + "/" + name; }

  // A payload folder `name` holding `files` and the stand-in as "setup".
  std::string Payload(const std::string& name, const std::map<std::string, std::string>& files) {
    std::string folder = P(name);
    mkdir(folder.c_str(), 0755);
    for (const auto& [path, bytes] : files) {
      std::string full = folder + "/" + path;
      size_t slash = full.rfind('/');
      std::string parent = full.substr(0, slash);
      for (size_t at = folder.size() + 1; at < parent.size(); ++at)
        if (parent[at] == '/') mkdir(parent.substr(0, at).c_str(), 0755);
      mkdir(parent.c_str(), 0755);
      PutFile(full, bytes);
    }
    PutFile(folder + "/setup", GetFile(SETUP_STANDIN_PROGRAM));
    chmod((folder + "/setup").c_str(), 0644);  // the run makes it runnable
    return folder;
  }

  // The control archive of a settings text (section and keys).
  std::string Control(const std::string& name, const std::string& ini) {
    std::string folder = P(name + "-ctrl");
    mkdir(folder.c_str(), 0755);
    std::string setup = ini.find("SetupApp=") == std::string::npos ? "SetupApp=setup\n" : "";
    PutFile(folder + "/sfxinst.ini", "[Vorlundage]\n" + setup + ini);
    std::string archive = folder + "/sfxctrl.ach";
    EXPECT_EQ(0, Tool(WUARC_PROGRAM, {"create", archive, "-C", folder, "sfxinst.ini"}).status);
    return archive;
  }

  // A package of a payload folder (the entries matching `pattern` in it)
  // and settings, made by the archive tool with `options`.
  std::string Package(const std::string& name, const std::string& payload, const std::string& ini,
                      const std::vector<std::string>& options = {}, const std::string& pattern = "*.*") {
    std::string control = Control(name, ini);
    std::string out = P(name + ".run");
    size_t slash = control.rfind('/');
    std::vector<std::string> args = {"package", out, "--stub", WUSFX_PROGRAM};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"-C", payload, pattern, "-C", control.substr(0, slash), control.substr(slash + 1)});
    Ended made = Tool(WUARC_PROGRAM, args);
    EXPECT_EQ(0, made.status) << made.output;
    chmod(out.c_str(), 0755);
    return out;
  }

  // Runs a program with `env` as its whole environment (plus TMPDIR and the
  // state root unless `bare`), stdin from /dev/null, output captured. A run
  // still going after 60 s is killed and reported as a hang.
  Ended Run(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env = {}, bool bare = false) {
    int pid = Start(program, args, env, bare);
    return Wait(pid, 60);
  }
  Ended Tool(const std::string& program, const std::vector<std::string>& args) {
    return Run(program, args, {"PATH=/usr/bin:/bin"});
  }

  int Start(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env, bool bare) {
    std::vector<std::string> all = env;
    if (!bare) {
      all.push_back("TMPDIR=" + tmp_);
      all.push_back(std::string("WU_STATE_ROOT=") + wutest::StateRoot());
    }
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    outputPath_ = P("output." + std::to_string(++runs_));
    return StartChild(argv, all, outputPath_);
  }

  Ended Wait(int pid, int seconds) {
    Ended ended;
    int raw = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (waitpid(pid, &raw, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &raw, 0);
        ADD_FAILURE() << "the run hangs";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(raw)) ended.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) ended.signal = WTERMSIG(raw);
    ended.output = Exists(outputPath_) ? GetFile(outputPath_) : "";
    return ended;
  }

  Record Read(const std::string& path) {
    Record r;
    if (!Exists(path)) return r;
    r.ran = true;
    std::istringstream in(GetFile(path));
    std::string line;
    while (std::getline(in, line)) {
      size_t eq = line.find('=');
      std::string key = line.substr(0, eq), value = line.substr(eq + 1);
      if (key == "pid") r.pid = std::atoi(value.c_str());
      if (key == "arg") r.args.push_back(value);
      if (key == "folder") r.folder = value;
      if (key == "file") r.files.push_back(value);
    }
    if (r.pid) standIns_.push_back(r.pid);
    return r;
  }

  // Names left in the temporary path (the run's folder must be gone).
  std::vector<std::string> TmpLeft() {
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(tmp_))
      left.push_back(entry.path().filename().string());
    return left;
  }

  std::string dir_;
  std::string tmp_;
  std::string outputPath_;
  int runs_ = 0;
  std::vector<int> standIns_;
};

std::string RecordEnv(const std::string& path) { return "SFX_STANDIN_RECORD=" + path; }

TEST_F(SfxEndToEndTest, QuietNoTempExtractsIntoTheDefaultTargetAndRunsNoSetup) {
  std::string payload = Payload("quiet", {{"readme.txt", Text(5000)},
                                          {"bin/tool.dat", Noise(300000)},
                                          {"locked.cfg", "read-only"}});
  chmod((payload + "/locked.cfg").c_str(), 0444);
  archtest::SetMTime(payload + "/bin/tool.dat", 1000000000);
  // DefaultTarget is package data: its "%" must not be read as a format.
  std::string pkg = Package("quiet", payload,
                            "Name=Demo\nExtractToTemp=1\nDefaultTarget=" + P("out/100%s %d $(AppName)") + "\n");
  Ended r = Run(pkg, {"-quiet", "-notemp"}, {RecordEnv(P("record"))});
  EXPECT_EQ(0, r.status) << r.output;
  std::string target = P("out/100%s %d Demo");
  EXPECT_EQ(Text(5000), GetFile(target + "/readme.txt"));
  EXPECT_EQ(Noise(300000), GetFile(target + "/bin/tool.dat"));
  struct stat st;
  ASSERT_EQ(0, stat((target + "/bin/tool.dat").c_str(), &st));
  EXPECT_EQ(1000000000, st.st_mtime);
  ASSERT_EQ(0, stat((target + "/locked.cfg").c_str(), &st));
  EXPECT_EQ(0u, st.st_mode & 0222u) << "read-only stays read-only";
  EXPECT_FALSE(Read(P("record")).ran) << "a quiet run never launches the setup program";
  EXPECT_TRUE(TmpLeft().empty());
}

TEST_F(SfxEndToEndTest, TempModeLaunchesSetupWithExtrasAndPassesItsExitCode) {
  std::string payload = Payload("full", {{"data/one.txt", "1"}});
  std::string pkg = Package("full", payload, "Name=Demo\nSetupAppParams=/q\n");
  Ended r = Run(pkg, {"-l", "deu", "--nolaunch", "--ui", "full"},
                {RecordEnv(P("record")), "SFX_STANDIN_EXIT=42"});
  EXPECT_EQ(42, r.status) << r.output;
  Record rec = Read(P("record"));
  ASSERT_TRUE(rec.ran) << r.output;
  EXPECT_EQ((std::vector<std::string>{"/q", "-l", "deu", "--nolaunch", "--ui", "full"}), rec.args);
  EXPECT_EQ(tmp_ + "/OrvoInstall_1", rec.folder);
  EXPECT_EQ((std::vector<std::string>{"data/one.txt", "setup", "sfxctrl.ach", "sfxinst.ini"}), rec.files);
  EXPECT_TRUE(TmpLeft().empty()) << "the temporary folder is removed after the setup program";
}

TEST_F(SfxEndToEndTest, RunModeLaunchesFromTheGivenFolderWithoutExtracting) {
  std::string payload = Payload("runmode", {{"payload.txt", "p"}});
  std::string pkg = Package("runmode", payload, "Name=Demo\n");
  mkdir(P("installed").c_str(), 0755);
  PutFile(P("installed/setup"), GetFile(SETUP_STANDIN_PROGRAM));
  Ended r = Run(pkg, {"-run", P("installed"), "-post_install:x"}, {RecordEnv(P("record"))});
  EXPECT_EQ(0, r.status) << r.output;
  Record rec = Read(P("record"));
  ASSERT_TRUE(rec.ran) << r.output;
  EXPECT_EQ(P("installed"), rec.folder);
  EXPECT_EQ((std::vector<std::string>{"setup"}), rec.files) << "nothing was extracted";
  EXPECT_EQ((std::vector<std::string>{"--post_install"}), rec.args);
  EXPECT_TRUE(TmpLeft().empty());
}

TEST_F(SfxEndToEndTest, HelpAndSyntaxErrorsEndWithTheirStatus) {
  std::string pkg = Package("help", Payload("help", {}), "");
  struct Case {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"-?"}, 0x70},               // 0x8004E070 after the help box
      {{"-quiet:yes"}, 0x57},       // E_INVALIDARG: QUIET takes no value
      {{"-nosetup"}, 0x57},         // NOSETUP needs a value
      {{"stray"}, 0x57},            // a plain word
  };
  for (const Case& c : cases) {
    Ended r = Run(pkg, c.args, {RecordEnv(P("record"))});
    EXPECT_EQ(c.status, r.status) << c.args[0] << "\n" << r.output;
  }
  EXPECT_FALSE(Read(P("record")).ran);
  EXPECT_TRUE(TmpLeft().empty());
}

TEST_F(SfxEndToEndTest, DamagedPackagesFailWithoutWritingOutsideOrHanging) {
  std::string target = P("t/in/side");
  std::string control =
      GetFile(Control("damaged", "Name=Demo\nDefaultTarget=" + target + "\n"));
  std::string stub = GetFile(WUSFX_PROGRAM);
  std::string payloadData = Noise(200000, 9);
  auto package = [&](const std::function<void(HandArchive&)>& edit) {
    HandArchive h;
    h.Add(u"sfxctrl.ach", control);
    h.Add(u"big.bin", payloadData, 1);
    edit(h);
    return stub + h.Build(stub.size());
  };
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"corrupt data", package([](HandArchive& h) { h.entries[1].stored[5000] ^= 0x55; })},
      {"truncated deflate", package([](HandArchive& h) {
         HandEntry& e = h.entries[1];
         e.stored.resize(e.stored.size() / 2);
         e.storedCrc = archtest::Crc(e.stored);
       })},
      {"dot-dot name", package([](HandArchive& h) { h.Add(u"..\\..\\escaped.txt", "evil"); })},
      {"cut package", package([](HandArchive&) {}).substr(0, stub.size() + 150000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string pkg = P("damaged.run");
    PutFile(pkg, c.bytes);
    chmod(pkg.c_str(), 0755);
    Ended r = Run(pkg, {"-quiet", "-notemp"}, {RecordEnv(P("record"))});
    EXPECT_NE(0, r.status) << r.output;
    EXPECT_EQ(0, r.signal);
    for (const char* outside : {"t/in/escaped.txt", "t/escaped.txt", "escaped.txt"})
      EXPECT_FALSE(Exists(P(outside))) << outside;
    EXPECT_TRUE(TmpLeft().empty());
    EXPECT_FALSE(Read(P("record")).ran);
  }
}

// The run is stopped by a signal while its setup program runs: the
// temporary folder goes, and the package ends by that signal.
TEST_F(SfxEndToEndTest, TemporaryFolderIsRemovedOnSigintAndSigterm) {
  std::string pkg = Package("stop", Payload("stop", {{"a.txt", "a"}}), "Name=Demo\n");
  for (int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    std::string record = P("record." + std::to_string(sig));
    int pid = Start(pkg, {}, {RecordEnv(record), "SFX_STANDIN_SLEEP=30"}, false);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Exists(record) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Record rec = Read(record);
    ASSERT_TRUE(rec.ran);
    EXPECT_TRUE(Exists(rec.folder));
    kill(pid, sig);
    Ended r = Wait(pid, 30);
    EXPECT_EQ(sig, r.signal) << r.output;
    EXPECT_FALSE(Exists(rec.folder));
    EXPECT_TRUE(TmpLeft().empty());
  }
}

// A setup program may leave read-only folders behind (mode 555, as some
// tools' caches are made). For a user who is not root, where modes bind,
// the package's clean-up still removes its whole temporary folder, and the
// run ends with the setup program's status.
TEST_F(SfxEndToEndTest, CleanUpRemovesReadOnlyFoldersForAUserWhoIsNotRoot) {
  std::string pkg = Package("ro", Payload("ro", {{"a.txt", "a"}}), "Name=Demo\n");
  std::string state = P("state");  // a state root of that user's own
  mkdir(state.c_str(), 0755);
  std::vector<std::string> argv = {pkg};
  std::vector<std::string> env = {"TMPDIR=" + tmp_, "WU_STATE_ROOT=" + state,
                                  RecordEnv(P("record")), "SFX_STANDIN_READONLY=cache",
                                  "SFX_STANDIN_EXIT=7"};
  std::string errors = P("errors");
  int status = wutest::RunAsNonRoot(
      [&] {
        PipedRun run = RunPiped(argv, env, 60);
        std::string text = run.out + run.err;
        if (FILE* out = std::fopen(errors.c_str(), "w")) {
          std::fwrite(text.data(), 1, text.size(), out);
          std::fclose(out);
        }
        return run.hung || run.signal ? 255 : run.status;
      },
      dir_);
  EXPECT_EQ(7, status) << GetFile(errors);
  Record rec = Read(P("record"));
  ASSERT_TRUE(rec.ran) << GetFile(errors);
  EXPECT_FALSE(Exists(rec.folder));
  EXPECT_TRUE(TmpLeft().empty());
}

// Without a terminal the boxes still speak: the help goes to standard
// output, errors to standard error, in the language asked for, quiet or
// not.
TEST_F(SfxEndToEndTest, BoxesReachTheOutputStreamsWithoutATerminal) {
  std::string pkg = Package("streams", Payload("streams", {{"a.txt", "a"}}), "Name=Demo\n");
  std::vector<std::string> env = {"TMPDIR=" + tmp_, std::string("WU_STATE_ROOT=") + wutest::StateRoot()};
  PipedRun help = RunPiped({pkg, "-?"}, env, 60);
  EXPECT_EQ(112, help.status);
  // The help comes before the settings are read: the caption holds no name
  // and no raw token, in any language.
  EXPECT_EQ(0u, help.out.rfind("Help: Command-line usage:", 0)) << help.out;
  EXPECT_NE(std::string::npos, help.out.find("-nosetup")) << help.out;
  EXPECT_EQ(std::string::npos, help.err.find("usage")) << help.err;
  PipedRun germanHelp = RunPiped({pkg, "-l", "deu", "-?"}, env, 60);
  EXPECT_EQ(112, germanHelp.status);
  EXPECT_EQ(0u, germanHelp.out.rfind("Hilfe: ", 0)) << germanHelp.out;

  // A package cut short: the reason is in the error stream, once.
  std::string bytes = GetFile(pkg);
  std::string cut = P("cut.run");
  PutFile(cut, bytes.substr(0, bytes.size() - 300));
  chmod(cut.c_str(), 0755);
  const std::string reason = "There was an error reading this install package";
  for (bool quiet : {false, true}) {
    SCOPED_TRACE(quiet ? "quiet" : "wizard");
    std::vector<std::string> argv = {cut};
    if (quiet) argv.insert(argv.end(), {"-quiet", "-notemp"});
    PipedRun r = RunPiped(argv, env, 60);
    EXPECT_EQ(0xB0, r.status) << r.err;
    EXPECT_EQ("", r.out);
    size_t at = r.err.find(reason);
    ASSERT_NE(std::string::npos, at) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find(reason, at + reason.size())) << "one box, once";
  }
  PipedRun german = RunPiped({cut, "-l", "deu", "-quiet"}, env, 60);
  EXPECT_NE(std::string::npos, german.err.find("Beim Lesen dieses Installationspakets")) << german.err;
}

// A quiet run without a terminal that fails during extraction gives its
// reason on standard error, in the box's words, once; one that succeeds
// writes nothing. (A volume missing from the start stops the run at the
// control archive, with its own box; one lost while the worker runs is
// covered with the worker's tests.)
TEST_F(SfxEndToEndTest, QuietExtractionFailuresSayWhyOnStandardError) {
  std::string target = P("quiet-target");
  std::string control = GetFile(Control("why", "Name=Demo\nDefaultTarget=" + target + "\n"));
  std::string stub = GetFile(WUSFX_PROGRAM);
  auto package = [&](const std::function<void(HandArchive&)>& edit) {
    HandArchive h;
    h.Add(u"sfxctrl.ach", control);
    h.Add(u"docs\\readme.txt", Text(3000));
    edit(h);
    return stub + h.Build(stub.size());
  };
  const std::string abort = "\n\nAborting the installation.\n";
  struct Case {
    const char* name;
    std::string bytes;
    int status;
    std::string err;  // all of standard error
  } cases[] = {
      {"sound", package([](HandArchive&) {}), 0, ""},
      {"CRC mismatch", package([](HandArchive& h) { h.entries[1].stored[100] ^= 0x20; }), 66,
       "Error: Error: CRC mismatch." + abort},
      {"no room on the target", package([](HandArchive& h) { h.entries[1].size = 1ULL << 60; }), 66,
       "Error: Error: Out of disk space on /." + abort},
  };
  std::vector<std::string> env = {"TMPDIR=" + tmp_, std::string("WU_STATE_ROOT=") + wutest::StateRoot()};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(target);
    std::string pkg = P("why.run");
    PutFile(pkg, c.bytes);
    chmod(pkg.c_str(), 0755);
    PipedRun r = RunPiped({pkg, "-quiet", "-notemp"}, env, 60);
    EXPECT_FALSE(r.hung);
    EXPECT_EQ(c.status, r.status) << r.err;
    EXPECT_EQ("", r.out);
    EXPECT_EQ(c.err, r.err);
    if (c.status == 0) {
      EXPECT_EQ(Text(3000), GetFile(target + "/docs/readme.txt"));
    }
    EXPECT_TRUE(TmpLeft().empty());
  }
}

// A signal while the worker writes a large file: the worker is stopped
// and waited for before the temporary folder goes, so nothing is written
// into a tree being removed and no folder is left behind. The run is held
// (SIGSTOP) while its file is part-written, so the signal is pending
// before the extraction can end however loaded the machine is; each run
// starts with an empty temporary path and is judged on what it leaves.
TEST_F(SfxEndToEndTest, SignalDuringExtractionStopsTheWorkerAndLeavesNoFolder) {
  std::string payload = P("big");
  mkdir(payload.c_str(), 0755);
  const size_t size = 240u << 20;
  {
    std::ofstream big(payload + "/big.bin", std::ios::binary);
    std::string block(1 << 20, 'x');
    for (size_t done = 0; done < size; done += block.size()) big.write(block.data(), block.size());
  }
  std::string pkg = Package("big", payload, "Name=Big\nExtractToTemp=1\n", {"--store"}, "big.bin");
  unlink((payload + "/big.bin").c_str());
  auto partWritten = [&](const std::string& file) {
    struct stat st;
    return stat(file.c_str(), &st) == 0 && st.st_size > 0 && static_cast<size_t>(st.st_size) < size;
  };
  auto state = [](int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return 'X';
    size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 'X';
  };
  auto leftNames = [&] {
    std::string names;
    for (const std::string& name : TmpLeft()) {
      names += " " + name;
      std::error_code ec;
      for (const auto& e : std::filesystem::recursive_directory_iterator(tmp_ + "/" + name, ec))
        names += " " + name + "/" + e.path().lexically_relative(tmp_ + "/" + name).string();
    }
    return names;
  };
  auto clear = [&] {
    for (const std::string& name : TmpLeft()) std::filesystem::remove_all(tmp_ + "/" + name);
  };
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    clear();
    bool signalled = false;
    // A run whose extraction could not be caught under way is tried again.
    for (int attempt = 0; attempt < 5 && !signalled; ++attempt) {
      int pid = Start(pkg, {"-quiet"}, {}, false);
      // Wait until the run's own file is being written, then hold the run.
      std::string written;
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (written.empty() && std::chrono::steady_clock::now() < deadline) {
        for (const std::string& name : TmpLeft())
          if (partWritten(tmp_ + "/" + name + "/big.bin")) written = tmp_ + "/" + name + "/big.bin";
        if (written.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      if (!written.empty()) {
        kill(pid, SIGSTOP);
        char now = state(pid);
        while (now != 'T' && now != 'Z' && now != 'X' && std::chrono::steady_clock::now() < deadline) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
          now = state(pid);
        }
        signalled = now == 'T' && partWritten(written);
        if (signalled) kill(pid, sig);
        kill(pid, SIGCONT);
      }
      Ended r = Wait(pid, 30);
      if (!signalled) {
        clear();
        continue;
      }
      EXPECT_EQ(sig, r.signal) << r.output;
      EXPECT_TRUE(TmpLeft().empty()) << "the temporary folder is gone; left:" << leftNames();
    }
    ASSERT_TRUE(signalled) << "the extraction was not seen under way";
  }
}

// A signal sent to the package alone while its setup program runs (as a
// service manager or `timeout` sends it) reaches the setup program; the
// package waits for it, stops what it left running, removes its folder and
// ends by the same signal. A setup program that ignores the signal is
// killed after the bound.
TEST_F(SfxEndToEndTest, SignalWhileTheSetupRunsReachesItAndWhatItStarted) {
  // The script records the signals it gets and the pid of its long
  // command, which it leaves running when it ends (job control on, so
  // that its background command does not ignore SIGINT).
  const std::string script =
      "#!/bin/bash\n"
      "set -m\n"
      "log=\"$SIGNAL_LOG\"\n"
      "if [ -n \"$IGNORE_TERM\" ]; then trap '' TERM; fi\n"
      "sleep 30 &\n"
      "echo \"script $$\" >> \"$log\"\n"
      "echo \"sleep $!\" >> \"$log\"\n"
      "for s in TERM INT HUP; do trap \"echo got $s >> '$log'; exit 1\" $s; done\n"
      "if [ -n \"$IGNORE_TERM\" ]; then trap '' TERM; fi\n"
      "echo ready >> \"$log\"\n"
      "if [ -n \"$LEAVE\" ]; then exit 7; fi\n"
      "while :; do wait; done\n";
  std::string payload = P("sig");
  mkdir(payload.c_str(), 0755);
  PutFile(payload + "/setup.sh", script);
  std::string pkg = Package("sig", payload, "Name=Sig\nExtractToTemp=1\nSetupApp=setup.sh\n", {}, "setup.sh");

  auto alive = [](int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (pid <= 0 || !std::getline(in, line)) return false;
    size_t close = line.rfind(')');
    return close != std::string::npos && line[close + 2] != 'Z' && line[close + 2] != 'X';
  };
  struct Case {
    int sig;
    bool ignoreTerm;
    const char* logged;  // what the script records
  } cases[] = {
      {SIGTERM, false, "got TERM"},
      {SIGINT, false, "got INT"},
      {SIGHUP, false, "got HUP"},
      {SIGTERM, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sig) + (c.ignoreTerm ? " ignored" : ""));
    std::string log = P("signals." + std::to_string(c.sig) + (c.ignoreTerm ? ".ignored" : ""));
    std::vector<std::string> env = {"PATH=/usr/bin:/bin", "SIGNAL_LOG=" + log};
    if (c.ignoreTerm) env.push_back("IGNORE_TERM=1");
    int pid = Start(pkg, {}, env, false);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((!Exists(log) || GetFile(log).find("ready") == std::string::npos) &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::string before = Exists(log) ? GetFile(log) : "";
    ASSERT_NE(std::string::npos, before.find("ready")) << "the setup program did not start";
    int scriptPid = 0, sleepPid = 0;
    std::istringstream lines(before);
    std::string word;
    int value;
    while (lines >> word) {
      if (word == "script" && lines >> value) scriptPid = value;
      if (word == "sleep" && lines >> value) sleepPid = value;
    }
    standIns_.push_back(scriptPid);
    standIns_.push_back(sleepPid);
    ASSERT_TRUE(alive(scriptPid) && alive(sleepPid));

    auto sent = std::chrono::steady_clock::now();
    kill(pid, c.sig);
    Ended r = Wait(pid, 40);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
    EXPECT_EQ(c.sig, r.signal) << r.output;
    EXPECT_FALSE(alive(scriptPid)) << "the setup program is gone";
    EXPECT_FALSE(alive(sleepPid)) << "what it started is gone";
    EXPECT_TRUE(TmpLeft().empty()) << "the temporary folder is gone";
    std::string after = GetFile(log);
    if (c.logged) {
      EXPECT_NE(std::string::npos, after.find(c.logged)) << after;
      EXPECT_LT(seconds, 8.0) << "no wait for the bound when everything stops";
    } else {
      EXPECT_EQ(std::string::npos, after.find("got")) << after;
      EXPECT_GE(seconds, 9.0) << "killed at the bound";
      EXPECT_LT(seconds, 20.0) << "no hang";
    }
  }

  // Without a signal only the setup program is waited for: what it leaves
  // running (a service it started) neither holds the package nor is
  // stopped by it.
  std::string log = P("signals.none");
  Ended r = Run(pkg, {}, {"PATH=/usr/bin:/bin", "SIGNAL_LOG=" + log, "LEAVE=1"});
  EXPECT_EQ(7, r.status) << r.output;
  int sleepPid = 0;
  std::istringstream lines(Exists(log) ? GetFile(log) : "");
  std::string word;
  while (lines >> word)
    if (word == "sleep") lines >> sleepPid;
  standIns_.push_back(sleepPid);
  EXPECT_TRUE(alive(sleepPid)) << "left running";
}

// A quiet run on a terminal asks nothing either: its error box goes to
// standard error and the run ends without waiting for a key.
TEST_F(SfxEndToEndTest, QuietRunOnATerminalWritesItsBoxesAndWaitsForNobody) {
  std::string bytes = GetFile(Package("tty", Payload("tty", {{"a.txt", "a"}}), "Name=Demo\n"));
  std::string cut = P("tty-cut.run");
  PutFile(cut, bytes.substr(0, bytes.size() - 300));
  chmod(cut.c_str(), 0755);
  int master = -1, slave = -1, err[2];
  ASSERT_EQ(0, openpty(&master, &slave, nullptr, nullptr, nullptr));
  ASSERT_EQ(0, pipe(err));
  std::vector<std::string> argv = {cut, "-quiet", "-notemp"};
  std::vector<std::string> env = {"TMPDIR=" + tmp_, std::string("WU_STATE_ROOT=") + wutest::StateRoot()};
  int pid = fork();
  if (pid == 0) {
    setsid();
    dup2(slave, 0);
    dup2(slave, 1);
    dup2(err[1], 2);
    close(master);
    close(err[0]);
    ExecChild(argv, env);
  }
  close(slave);
  close(err[1]);
  std::string screen, errors;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int raw = 0;
  bool ended = false;
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    pollfd fds[2] = {{master, POLLIN, 0}, {err[0], POLLIN, 0}};
    if (poll(fds, 2, 50) > 0) {
      char buffer[4096];
      ssize_t n;
      if ((fds[0].revents & POLLIN) && (n = read(master, buffer, sizeof buffer)) > 0) screen.append(buffer, n);
      if ((fds[1].revents & POLLIN) && (n = read(err[0], buffer, sizeof buffer)) > 0) errors.append(buffer, n);
    }
    ended = waitpid(pid, &raw, WNOHANG) == pid;
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &raw, 0);
  }
  char buffer[4096];
  ssize_t n;
  while ((n = read(err[0], buffer, sizeof buffer)) > 0) errors.append(buffer, n);
  close(master);
  close(err[0]);
  EXPECT_TRUE(ended) << "the run waits for a key: " << screen;
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0xB0) << raw;
  EXPECT_NE(std::string::npos, errors.find("There was an error reading this install package")) << errors;
}

// A package copied to a fresh folder runs with nothing of ours around it:
// an empty environment and a new state root.
TEST_F(SfxEndToEndTest, RunsOnACleanMachine) {
  std::string pkg = Package("clean", Payload("clean", {{"x.txt", "x"}}), "Name=Demo\n");
  std::string fresh = wutest::MakeTempDir("clean-machine");
  std::string copy = fresh + "/package.run";
  PutFile(copy, GetFile(pkg));
  chmod(copy.c_str(), 0755);
  mkdir((fresh + "/state").c_str(), 0700);
  Ended r = Run(copy, {"-l", "fra"},
                {"WU_STATE_ROOT=" + fresh + "/state", RecordEnv(fresh + "/record"), "SFX_STANDIN_EXIT=7"},
                true);
  EXPECT_EQ(7, r.status) << r.output;
  Record rec = Read(fresh + "/record");
  ASSERT_TRUE(rec.ran) << r.output;
  EXPECT_EQ((std::vector<std::string>{"-l", "fra"}), rec.args);
  EXPECT_FALSE(Exists(rec.folder));
}


// ---- In this process: the run's 32-bit exit code ---------------------------------------

// A person at the wizard, by the dialogs' controls: on the destination page
// it types a folder (when given) and presses Next; it answers the
// file-exists question with `overwriteAnswer`, first asking to cancel on
// the progress page when `cancelAnswer` is set; it answers the cancel
// confirmation with `cancelAnswer` and presses Enter anywhere else.
class WizardPerson : public platform::FrontEnd {
 public:
  std::u16string typedFolder;   // destination page: folder to type (empty: keep)
  int overwriteAnswer = 2002;   // file-exists: the button to press
  int cancelAnswer = 0;         // IDYES / IDNO: cancel during the first question

  void ModalBegin(HWND dialog) override {
    std::lock_guard<std::mutex> hold(lock_);
    if (GetDlgItem(dialog, 1001)) progressPage_ = dialog;
    if (GetDlgItem(dialog, 2002)) ++questions_;
    if (!GetDlgItem(dialog, 1001) && !GetDlgItem(dialog, 1101) && !GetDlgItem(dialog, 2002)) ++boxes_;
  }
  void ModalIdle(HWND dialog) override {
    bool first;
    {
      std::lock_guard<std::mutex> hold(lock_);
      first = acted_.insert(dialog).second;
    }
    if (!first) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      return;
    }
    if (GetDlgItem(dialog, 1101)) {
      if (!typedFolder.empty()) platform::TypeIntoControl(GetDlgItem(dialog, 1101), typedFolder);
      platform::PressControl(GetDlgItem(dialog, 2000));
    } else if (GetDlgItem(dialog, 1001)) {
      std::lock_guard<std::mutex> hold(lock_);
      acted_.erase(dialog);  // the page ends by itself
    } else if (GetDlgItem(dialog, 2002)) {
      if (cancelAnswer && !cancelled_.exchange(true)) {
        // Cancel on the progress page (its own thread) while this question is open.
        PostMessageW(progressPage_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(progressPage_, IDCANCEL)));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
      }
      platform::PressControl(GetDlgItem(dialog, overwriteAnswer));
    } else if (GetDlgItem(dialog, IDYES) && cancelAnswer) {
      platform::PressControl(GetDlgItem(dialog, cancelAnswer));
    } else {
      platform::PressEnter(dialog);
    }
  }
  void ModalEnd(HWND, INT_PTR) override {}

  int questions() {
    std::lock_guard<std::mutex> hold(lock_);
    return questions_;
  }
  int boxes() {
    std::lock_guard<std::mutex> hold(lock_);
    return boxes_;
  }

 private:
  std::mutex lock_;
  std::set<HWND> acted_;               // dialogs already acted on
  HWND progressPage_ = nullptr;        // the open progress page
  std::atomic<bool> cancelled_{false}; // the cancel was asked for
  int questions_ = 0;                  // file-exists questions shown
  int boxes_ = 0;                      // message boxes shown
};

class SfxRunInProcessTest : public SfxEndToEndTest {
 protected:
  void SetUp() override {
    SfxEndToEndTest::SetUp();
    const char* old = getenv("TMPDIR");
    hadTmp_ = old != nullptr;
    oldTmp_ = old ? old : "";
    setenv("TMPDIR", tmp_.c_str(), 1);
    platform::SetFrontEnd(&person_);
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    SfxSetPackagePath(nullptr);
    unsetenv("SFX_STANDIN_RECORD");
    unsetenv("SFX_STANDIN_EXIT");
    if (hadTmp_) {
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    SfxEndToEndTest::TearDown();
  }
  // Runs `package` in this process with a command line; the run's code.
  DWORD RunHere(const std::string& package, const std::u16string& arguments, int setupExit = 0) {
    SfxSetPackagePath(U16(package).c_str());
    setenv("SFX_STANDIN_RECORD", P("record").c_str(), 1);
    setenv("SFX_STANDIN_EXIT", std::to_string(setupExit).c_str(), 1);
    std::u16string line = u"package.run " + arguments;
    return SfxWinMain(GetModuleHandleW(nullptr), nullptr, line.data(), 1);
  }
  // A destination-mode package whose target already holds `existing`.
  std::string TargetPackage(const std::string& name, const std::string& extraIni) {
    std::string payload = Payload(name, {{"aaa.txt", "new a"}, {"bbb.txt", "new b"},
                                         {"zzz.bin", Noise(6 << 20, 3)}});
    std::filesystem::remove_all(P("target"));
    mkdir(P("target").c_str(), 0755);
    PutFile(P("target/aaa.txt"), "old a");
    PutFile(P("target/bbb.txt"), "old b");
    return Package(name, payload,
                   "Name=Demo\nExtractToTemp=0\nDefaultTarget=" + P("target") + "\n" + extraIni);
  }

  WizardPerson person_;
  std::string oldTmp_;
  bool hadTmp_ = false;
};

TEST_F(SfxRunInProcessTest, TempModeRunReturnsTheSetupCodeWithTheExtras) {
  std::string pkg = Package("inproc", Payload("inproc", {{"f.txt", "f"}}), "Name=Demo\n");
  EXPECT_EQ(42u, RunHere(pkg, u"-l deu --nolaunch --ui full", 42));
  Record rec = Read(P("record"));
  ASSERT_TRUE(rec.ran);
  EXPECT_EQ((std::vector<std::string>{"-l", "deu", "--nolaunch", "--ui", "full"}), rec.args);
  EXPECT_EQ(tmp_ + "/OrvoInstall_1", rec.folder);
  EXPECT_TRUE(TmpLeft().empty());
}

TEST_F(SfxRunInProcessTest, DestinationPageTypedFolderIsCreatedAndUsed) {
  std::string pkg = Package("dest", Payload("dest", {{"d/e.txt", "e"}}),
                            "Name=Demo\nExtractToTemp=0\nDefaultTarget=" + P("unused") + "\n");
  person_.typedFolder = U16(P("typed/deep"));
  EXPECT_EQ(0u, RunHere(pkg, u""));
  Record rec = Read(P("record"));
  ASSERT_TRUE(rec.ran);
  EXPECT_EQ(P("typed/deep"), rec.folder);
  EXPECT_EQ("e", GetFile(P("typed/deep/d/e.txt")));
  EXPECT_FALSE(Exists(P("unused")));
  EXPECT_TRUE(TmpLeft().empty()) << "the temporary folder goes before the wizard";
}

TEST_F(SfxRunInProcessTest, CancelAnsweredYesEndsWith1602AndNoSetup) {
  std::string pkg = TargetPackage("cancel", "");
  person_.cancelAnswer = IDYES;
  person_.overwriteAnswer = 2004;  // No: keep aaa.txt
  EXPECT_EQ(SFX_EXIT_CANCELLED, RunHere(pkg, u""));
  EXPECT_FALSE(Read(P("record")).ran);
  EXPECT_EQ("old a", GetFile(P("target/aaa.txt")));
  EXPECT_TRUE(TmpLeft().empty());
}

TEST_F(SfxRunInProcessTest, CancelAnsweredNoLetsTheRunComplete) {
  std::string pkg = TargetPackage("goon", "");
  person_.cancelAnswer = IDNO;
  person_.overwriteAnswer = 2004;
  EXPECT_EQ(0u, RunHere(pkg, u""));
  EXPECT_TRUE(Read(P("record")).ran);
  EXPECT_EQ("old a", GetFile(P("target/aaa.txt")));
  EXPECT_EQ(Noise(6 << 20, 3), GetFile(P("target/zzz.bin")));
}

TEST_F(SfxRunInProcessTest, OverwriteAnswersTempextAndShowOverwrite) {
  struct Case {
    const char* name;
    std::string ini;
    std::u16string args;
    int answer;
    int questions;
    const char* a;
    const char* b;
  } cases[] = {
      {"no to all", "", u"", 2005, 1, "old a", "old b"},
      {"yes", "", u"", 2002, 2, "new a", "new b"},
      {"no", "", u"", 2004, 2, "old a", "old b"},
      {"tempext", "", u"-tempext", 2004, 0, "new a", "new b"},
      {"show overwrite off", "ShowOverwrite=0\n", u"", 2004, 0, "new a", "new b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WizardPerson person;
    person.overwriteAnswer = c.answer;
    platform::SetFrontEnd(&person);
    std::string pkg = TargetPackage("ow", c.ini);
    EXPECT_EQ(0u, RunHere(pkg, c.args));
    platform::SetFrontEnd(&person_);
    EXPECT_EQ(c.questions, person.questions());
    EXPECT_EQ(c.a, GetFile(P("target/aaa.txt")));
    EXPECT_EQ(c.b, GetFile(P("target/bbb.txt")));
  }
}

TEST_F(SfxRunInProcessTest, FailuresReturnTheirFullCodes) {
  std::string pkg = Package("codes", Payload("codes", {{"x.bin", Noise(1 << 20, 4)}}),
                            "Name=Demo\nSetupApp=missing\n");
  EXPECT_EQ(static_cast<DWORD>(SFX_E_HELP_SHOWN), RunHere(pkg, u"-help"));
  EXPECT_EQ(static_cast<DWORD>(E_INVALIDARG), RunHere(pkg, u"-quiet:1"));
  int boxes = person_.boxes();
  EXPECT_EQ(1u, RunHere(pkg, u"")) << "a setup program that cannot start";
  EXPECT_EQ(boxes + 1, person_.boxes()) << "the launch error box";
  // Damaged payload data: extraction fails.
  std::string bytes = GetFile(pkg);
  bytes[bytes.size() - (1 << 19)] ^= 0x40;  // inside x.bin's stored data
  PutFile(P("bad.run"), bytes);
  EXPECT_EQ(SFX_EXIT_CANCELLED, RunHere(P("bad.run"), u"-quiet"));
  EXPECT_TRUE(TmpLeft().empty());
}

}  // namespace
}  // namespace sfxtest
