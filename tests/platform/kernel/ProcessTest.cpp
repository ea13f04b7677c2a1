// Child processes, the command line and environment variables.
#include "platform/kernel/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/kernel/files.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/signals.h"
#include "platform/kernel/threads.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;
using wutest::U8;
using Args = std::vector<std::u16string>;

const std::u16string kChild = U16(WU_CHILD_PROGRAM);

// The child's report: working folder, WU_CHILD_EXTRA, then its argv.
std::vector<std::string> ReadReport(const std::string& path) {
  std::string all = wutest::ReadBytes(path);
  std::vector<std::string> fields;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    fields.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

// TRUE while some child of this process has ended without being reaped.
bool HasZombieChild() {
  siginfo_t info = {};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

// Every test leaves the handle table as it found it.
class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    open_at_start_ = platform::OpenHandleCount();
    dir_ = wutest::MakeTempDir("proc");
    report_ = dir_ + "/report";
    ASSERT_TRUE(SetEnvironmentVariableW(u"WU_CHILD_REPORT", U16(report_).c_str()));
  }
  void TearDown() override {
    SetEnvironmentVariableW(u"WU_CHILD_REPORT", nullptr);
    EXPECT_EQ(platform::OpenHandleCount(), open_at_start_);
    // Children are reaped, also those that failed to start.
    for (int i = 0; i < 2000 && HasZombieChild(); ++i) Sleep(1);
    EXPECT_FALSE(HasZombieChild());
  }

  // Starts the child with these arguments after its path; FALSE on failure.
  BOOL Run(const Args& args, PROCESS_INFORMATION* pi, DWORD flags = 0) {
    Args all = {kChild};
    all.insert(all.end(), args.begin(), args.end());
    std::u16string line = platform::JoinCommandLine(all);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                          &si, pi);
  }

  // Waits for the end of a process, closes its handles, returns its code.
  static DWORD Finish(const PROCESS_INFORMATION& pi) {
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
  }

  size_t open_at_start_ = 0;
  std::string dir_;
  std::string report_;
};

TEST(CommandLineTest, SplitFollowsTheRuntimeRules) {
  struct Case {
    std::u16string line;
    Args args;
  } cases[] = {
      {u"prog a b", {u"prog", u"a", u"b"}},
      {u"  prog \t a   b  ", {u"prog", u"a", u"b"}},
      {u"\"C:\\Program Files\\s.exe\" -l enu", {u"C:\\Program Files\\s.exe", u"-l", u"enu"}},
      // The program name has no escapes; its quotes only group.
      {u"\"C:\\dir\\\" x", {u"C:\\dir\\", u"x"}},
      {u"\"a b\"c d", {u"a bc", u"d"}},
      {u"p \"a b\" c", {u"p", u"a b", u"c"}},
      {u"p \"\" x \"\"", {u"p", u"", u"x", u""}},
      {u"p a\\\\b c\\", {u"p", u"a\\\\b", u"c\\"}},     // backslashes alone are literal
      {u"p a\\\"b", {u"p", u"a\"b"}},                   // \" is a quote
      {u"p a\\\\\\\"b", {u"p", u"a\\\"b"}},             // \\\" is \ and a quote
      {u"p \"a\\\\\" b", {u"p", u"a\\", u"b"}},         // \\" is \ and the closing quote
      {u"p \"a\"\"b\" c", {u"p", u"a\"b", u"c"}},       // "" inside quotes
      {u"p a\"b c\"d", {u"p", u"ab cd"}},
      {u"p \"open to the end", {u"p", u"open to the end"}},
      {u"", {}},
      {u"  \t ", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::SplitCommandLine(c.line), c.args) << U8(c.line);
}

TEST(CommandLineTest, JoinIsTheInverseOfSplit) {
  const Args cases[] = {
      {u"prog"},
      {u"/opt/my programs/setup", u"-l", u"enu"},
      {u"p", u"", u"a b", u"tab\there", u"new\nline"},
      {u"p", u"q\"uote", u"\"", u"\"\"", u"a\\", u"a\\\\", u"a\\\"", u"\\\\server\\share\\"},
      {u"p", u"x y\\", u"ends with space ", u"-ui:\"a b\""},
      {u""},
      {u"C:\\Program Files\\s.exe", u"--nolaunch"},
  };
  for (const Args& args : cases) {
    std::u16string line = platform::JoinCommandLine(args);
    EXPECT_EQ(platform::SplitCommandLine(line), args) << U8(line);
  }
  // Plain arguments stay plain; others are quoted as other programs expect.
  EXPECT_EQ(platform::JoinCommandLine({u"a b", u"x", u"y z\\", u"q\"t"}),
            u"\"a b\" x \"y z\\\\\" \"q\\\"t\"");
}

TEST(CommandLineTest, OwnCommandLineAndArgvBlock) {
  const char* argv[] = {"/usr/bin/wu test", "-run", "C:\\dir with space\\", "say \"hi\""};
  platform::SetCommandLineFromArgv(4, argv);
  int count = 0;
  LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
  ASSERT_NE(split, nullptr);
  ASSERT_EQ(count, 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(U8(split[i]), argv[i]);
  EXPECT_EQ(split[4], nullptr);
  EXPECT_EQ(LocalFree(split), nullptr);  // one block

  // An empty command line stands for this program.
  split = CommandLineToArgvW(u"", &count);
  ASSERT_NE(split, nullptr);
  ASSERT_EQ(count, 1);
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof(self) - 1), 0);
  EXPECT_EQ(U8(split[0]), self);
  LocalFree(split);

  EXPECT_EQ(CommandLineToArgvW(u"a b", nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  platform::FailNextAllocations(1);
  EXPECT_EQ(CommandLineToArgvW(u"a b", &count), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  platform::FailNextAllocations(0);
}

TEST_F(ProcessTest, ChildGetsItsArgumentsAndReturnsItsExitCode) {
  const Args args = {u"exit", u"7", u"a b", u"", u"q\"uote", u"back\\", u"\\\\x\\\"", u"€ ü"};
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(Run(args, &pi)) << GetLastError();
  EXPECT_NE(pi.dwProcessId, 0u);
  EXPECT_EQ(GetProcessId(pi.hProcess), pi.dwProcessId);
  EXPECT_EQ(GetThreadId(pi.hThread), pi.dwThreadId);
  EXPECT_EQ(WaitForInputIdle(pi.hProcess, INFINITE), 0u);
  // The thread handle is signalled with the process and carries its code.
  EXPECT_EQ(WaitForSingleObject(pi.hThread, INFINITE), WAIT_OBJECT_0);
  DWORD thread_code = 0;
  EXPECT_TRUE(GetExitCodeThread(pi.hThread, &thread_code));
  EXPECT_EQ(thread_code, 7u);
  EXPECT_EQ(Finish(pi), 7u);

  std::vector<std::string> report = ReadReport(report_);
  ASSERT_EQ(report.size(), args.size() + 3);
  EXPECT_EQ(report[2], WU_CHILD_PROGRAM);
  for (size_t i = 0; i < args.size(); ++i) EXPECT_EQ(report[3 + i], U8(args[i])) << i;
}

TEST_F(ProcessTest, ApplicationNameFolderAndEnvironmentBlock) {
  // The program comes from the application name; argv from the command line.
  std::u16string line = u"shown-name exit 3";
  std::u16string env = u"WU_CHILD_REPORT=" + U16(report_) + u'\0' + u"WU_CHILD_EXTRA=from block" +
                       u'\0' + u'\0';
  std::string work = wutest::MakeTempDir("work");
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(kChild.c_str(), line.data(), nullptr, nullptr, FALSE,
                             CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP, env.data(),
                             U16(work).c_str(), &si, &pi))
      << GetLastError();
  EXPECT_EQ(Finish(pi), 3u);
  std::vector<std::string> report = ReadReport(report_);
  ASSERT_EQ(report.size(), 5u);
  char real_work[4096];
  ASSERT_NE(realpath(work.c_str(), real_work), nullptr);
  EXPECT_EQ(report[0], real_work);
  EXPECT_EQ(report[1], "from block");
  EXPECT_EQ(report[2], "shown-name");

  // Without a command line the application name is argv[0].
  ASSERT_TRUE(CreateProcessW(kChild.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi));
  EXPECT_EQ(Finish(pi), 0u);
  report = ReadReport(report_);
  ASSERT_EQ(report.size(), 3u);
  EXPECT_EQ(report[2], WU_CHILD_PROGRAM);
}

TEST_F(ProcessTest, FailedStartsSayWhy) {
  std::string text_file = dir_ + "/notes.exe";
  std::ofstream(text_file) << "plain text, not a program\n";
  std::string runnable_text = dir_ + "/runnable.exe";
  std::ofstream(runnable_text) << "plain text, not a program\n";
  chmod(runnable_text.c_str(), 0755);
  struct Case {
    const char* what;
    std::u16string command;
    std::u16string directory;
    DWORD error;
  } cases[] = {
      {"missing program", u"\"" + U16(dir_) + u"/missing.exe\" a", u"", ERROR_FILE_NOT_FOUND},
      {"missing folder", U16(dir_) + u"/no/such/setup.exe", u"", ERROR_PATH_NOT_FOUND},
      {"bare name found nowhere", u"wu-no-such-program-anywhere", u"", ERROR_FILE_NOT_FOUND},
      {"not executable", U16(text_file), u"", ERROR_ACCESS_DENIED},
      {"a folder", U16(dir_), u"", ERROR_ACCESS_DENIED},
      {"not a program", U16(runnable_text), u"", ERROR_BAD_EXE_FORMAT},
      {"bad working folder", u"\"" + kChild + u"\"", U16(dir_) + u"/absent", ERROR_DIRECTORY},
      {"no program named", u"   ", u"", ERROR_INVALID_PARAMETER},
  };
  for (Case& c : cases) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    SetLastError(0);
    EXPECT_FALSE(CreateProcessW(nullptr, c.command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                c.directory.empty() ? nullptr : c.directory.c_str(), &si, &pi))
        << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
    EXPECT_EQ(pi.hProcess, nullptr) << c.what;
  }
  PROCESS_INFORMATION pi = {};
  EXPECT_FALSE(CreateProcessW(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              nullptr, &pi));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // A suspended start checks the program before the child exists.
  std::u16string missing = U16(dir_) + u"/missing.exe";
  EXPECT_FALSE(CreateProcessW(nullptr, missing.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                              nullptr, nullptr, nullptr, &pi));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(ProcessTest, TimeOutThenTerminate) {
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(Run({u"sleep", u"20000"}, &pi));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 100), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(95));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_TRUE(TerminateProcess(pi.hProcess, 1602));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
  EXPECT_FALSE(TerminateProcess(pi.hProcess, 5));  // already ended
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Finish(pi), 1602u);
}

TEST_F(ProcessTest, ChildEndedBySignal) {
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(Run({u"signal", u"15"}, &pi));
  EXPECT_EQ(Finish(pi), 0xC0000000u | 15u);
}

TEST_F(ProcessTest, SuspendedChildRunsOnlyAfterResume) {
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(Run({u"exit", u"5"}, &pi, CREATE_SUSPENDED));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 200), WAIT_TIMEOUT);
  EXPECT_FALSE(access(report_.c_str(), F_OK) == 0);  // the program has not run
  EXPECT_EQ(ResumeThread(pi.hThread), 1u);
  EXPECT_EQ(ResumeThread(pi.hThread), 0u);
  EXPECT_EQ(Finish(pi), 5u);
  EXPECT_EQ(ReadReport(report_).size(), 5u);

  // Closing the thread handle without a resume ends the child unstarted.
  unlink(report_.c_str());
  ASSERT_TRUE(Run({u"exit", u"5"}, &pi, CREATE_SUSPENDED));
  CloseHandle(pi.hThread);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_NE(code, 5u);
  EXPECT_FALSE(access(report_.c_str(), F_OK) == 0);
  CloseHandle(pi.hProcess);

  // A resume after the child was terminated is harmless.
  ASSERT_TRUE(Run({u"exit", u"5"}, &pi, CREATE_SUSPENDED));
  EXPECT_TRUE(TerminateProcess(pi.hProcess, 9));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
  ResumeThread(pi.hThread);
  EXPECT_EQ(Finish(pi), 9u);
}

TEST_F(ProcessTest, StandardHandlesGoToTheChild) {
  std::string out_path = dir_ + "/out.txt";
  HANDLE out = CreateFileW(U16(out_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  std::u16string line = u"\"" + kChild + u"\" print \"to the file\"";
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &si, &pi));
  EXPECT_EQ(Finish(pi), 0u);
  CloseHandle(out);
  EXPECT_EQ(wutest::ReadBytes(out_path), "to the file");
}

TEST_F(ProcessTest, CurrentProcessPseudoHandle) {
  HANDLE self = GetCurrentProcess();
  EXPECT_EQ(GetProcessId(self), static_cast<DWORD>(getpid()));
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(self, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(self, 0), WAIT_FAILED);  // could never end
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(GetProcessId(event), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForInputIdle(event, 0), WAIT_FAILED);
  CloseHandle(event);
}

TEST(EnvironmentTest, GetSetAndExpand) {
  ASSERT_TRUE(SetEnvironmentVariableW(u"WU_TEST_VAR", u"C:\\Program Files"));
  WCHAR buffer[64];
  EXPECT_EQ(GetEnvironmentVariableW(u"WU_TEST_VAR", buffer, 64), 16u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\Program Files");
  // Too small: the size needed, terminator included.
  EXPECT_EQ(GetEnvironmentVariableW(u"WU_TEST_VAR", buffer, 16), 17u);
  EXPECT_EQ(GetEnvironmentVariableW(u"WU_TEST_VAR", nullptr, 0), 17u);
  // Names also match without regard to case, and setting keeps one variable.
  EXPECT_EQ(GetEnvironmentVariableW(u"wu_test_var", buffer, 64), 16u);
  ASSERT_TRUE(SetEnvironmentVariableW(u"Wu_Test_Var", u"x"));
  EXPECT_EQ(GetEnvironmentVariableW(u"WU_TEST_VAR", buffer, 64), 1u);
  EXPECT_EQ(std::string(getenv("WU_TEST_VAR")), "x");
  EXPECT_EQ(getenv("Wu_Test_Var"), nullptr);
  ASSERT_TRUE(SetEnvironmentVariableW(u"WU_TEST_EMPTY", u""));
  SetLastError(99);
  EXPECT_EQ(GetEnvironmentVariableW(u"WU_TEST_EMPTY", buffer, 64), 0u);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  ASSERT_TRUE(SetEnvironmentVariableW(u"WU_TEST_EMPTY", nullptr));
  EXPECT_EQ(GetEnvironmentVariableW(u"WU_TEST_EMPTY", buffer, 64), 0u);
  EXPECT_EQ(GetLastError(), ERROR_ENVVAR_NOT_FOUND);
  EXPECT_FALSE(SetEnvironmentVariableW(u"A=B", u"x"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(SetEnvironmentVariableW(u"", u"x"));

  ASSERT_TRUE(SetEnvironmentVariableW(u"WU_TEST_VAR", u"C:\\Program Files"));
  struct Case {
    std::u16string in, out;
  } cases[] = {
      {u"%WU_TEST_VAR%\\Talvene", u"C:\\Program Files\\Talvene"},
      {u"%wu_test_var%", u"C:\\Program Files"},
      {u"%WU_NOT_SET_ANYWHERE%\\x", u"%WU_NOT_SET_ANYWHERE%\\x"},
      {u"100% sure", u"100% sure"},
      {u"%%", u"%%"},
      {u"50%%WU_TEST_VAR%", u"50%C:\\Program Files"},
      {u"%WU_NOT_SET_ANYWHERE%WU_TEST_VAR%", u"%WU_NOT_SET_ANYWHERE" u"C:\\Program Files"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    WCHAR out[128] = {};
    DWORD n = ExpandEnvironmentStringsW(c.in.c_str(), out, 128);
    EXPECT_EQ(std::u16string(out), c.out) << U8(c.in);
    EXPECT_EQ(n, c.out.size() + 1) << U8(c.in);
  }
  WCHAR small[4] = {u'z', u'z', u'z', u'z'};
  EXPECT_EQ(ExpandEnvironmentStringsW(u"%WU_TEST_VAR%", small, 4), 17u);
  EXPECT_EQ(small[0], 0);  // nothing half-written
  SetEnvironmentVariableW(u"WU_TEST_VAR", nullptr);
}

// Signals go to one process by id, never to a group or to ourselves; a
// child is signalled through its handle only while it has not been reaped;
// the tree below us is found through /proc.
TEST(ProcessTreeTest, SignalsReachOneProcessAndTheTreeIsFound) {
  for (DWORD id : {DWORD{0}, static_cast<DWORD>(-1), GetCurrentProcessId()}) {
    SetLastError(0);
    EXPECT_FALSE(platform::SendCtrlEventToProcessId(id, CTRL_CLOSE_EVENT)) << id;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(platform::KillProcessById(id)) << id;
  }

  std::string pidFile = wutest::MakeTempDir("tree") + "/sleep.pid";
  std::u16string command = u"/bin/sh -c \"sleep 30 & echo $! > " + U16(pidFile) + u"; wait\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  DWORD sleepPid = 0;
  for (int i = 0; i < 500 && !sleepPid; ++i) {
    std::ifstream in(pidFile);
    if (!(in >> sleepPid)) Sleep(10);
  }
  ASSERT_NE(sleepPid, 0u);
  std::vector<DWORD> tree = platform::DescendantProcessIds();
  EXPECT_NE(std::find(tree.begin(), tree.end(), info.dwProcessId), tree.end());
  EXPECT_NE(std::find(tree.begin(), tree.end(), sleepPid), tree.end()) << "a grandchild";

  EXPECT_TRUE(platform::SendCtrlEventToChild(info.hProcess, CTRL_CLOSE_EVENT));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  EXPECT_EQ(code, 0xC0000000u | SIGTERM);
  SetLastError(0);
  EXPECT_FALSE(platform::SendCtrlEventToChild(info.hProcess, CTRL_CLOSE_EVENT)) << "reaped";
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(platform::ReapAdoptedChildren(), 0) << "a watched child is its watcher's";
  EXPECT_TRUE(platform::KillProcessById(sleepPid));
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

}  // namespace
