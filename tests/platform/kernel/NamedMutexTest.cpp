// Named mutexes across processes: a child program on the platform opens the
// name and waits with a limit; its exit status tells what it saw. Also where
// the lock files go, whatever the name, and the runtime folder's place.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/process.h"
#include "platform/kernel/state.h"
#include "platform/kernel/threads.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;

// Child exit statuses (tests/platform/kernel/MutexChild.cpp).
constexpr DWORD kObtained = 0;
constexpr DWORD kBusy = 1;
constexpr DWORD kNotFinished = 999;  // the test ended it

// A started child program; ended by the destructor if still running.
class Child {
 public:
  explicit Child(const std::vector<std::string>& args) {
    std::vector<std::u16string> all = {U16(WU_MUTEX_CHILD)};
    for (const std::string& a : args) all.push_back(U16(a));
    std::u16string line = platform::JoinCommandLine(all);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &pi_) != FALSE;
    EXPECT_TRUE(started_) << GetLastError();
  }
  ~Child() { Finish(0); }
  // Whether it is still running after `ms` milliseconds.
  bool Running(DWORD ms) { return started_ && WaitForSingleObject(pi_.hProcess, ms) == WAIT_TIMEOUT; }
  // Waits up to `ms` for its end (then ends it) and gives its exit status.
  DWORD Finish(DWORD ms = 10000) {
    if (!started_) return kNotFinished;
    DWORD code = kNotFinished;
    if (WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0) {
      GetExitCodeProcess(pi_.hProcess, &code);
    } else {
      TerminateProcess(pi_.hProcess, kNotFinished);
      WaitForSingleObject(pi_.hProcess, INFINITE);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
    started_ = false;
    return code;
  }

 private:
  PROCESS_INFORMATION pi_ = {};
  bool started_ = false;
};

DWORD ChildWait(const std::string& name, int limit) {
  return Child({"wait", name, std::to_string(limit)}).Finish();
}

// The manager's kind of name: a namespace prefix, a space, a backslash.
const char kName[] = "Local\\Talvene test app";

TEST(NamedMutexTest, ChildSeesTheParentsHoldsAndReleases) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, U16(kName).c_str());
  ASSERT_NE(mutex, nullptr);
  const auto wait = [&] { EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); };
  const auto release = [&] { EXPECT_TRUE(ReleaseMutex(mutex)); };
  const auto nothing = [] {};
  // A wait for all that cannot finish (the event stays unset) must not keep
  // the lock it looked at.
  HANDLE unset = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const auto unfinished_wait_for_all = [&] {
    HANDLE both[2] = {mutex, unset};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 20), WAIT_TIMEOUT);
  };
  const struct {
    const char* what;
    std::function<void()> parent;  // done before the child starts
    const char* name;              // the child's name
    int limit;                     // the child's limit
    DWORD expected;                // the child's exit status
  } steps[] = {
      {"free before anyone holds it", nothing, kName, 0, kObtained},
      {"free after a wait for all that did not finish", unfinished_wait_for_all, kName, 0,
       kObtained},
      {"busy while the parent holds it", wait, kName, 0, kBusy},
      {"a limit bounds the wait", nothing, kName, 150, kBusy},
      {"another name is free", nothing, "Local\\Talvene other app", 0, kObtained},
      {"a second hold on the same thread", wait, kName, 0, kBusy},
      {"one release of two leaves it held", release, kName, 0, kBusy},
      {"free after the last release", release, kName, 0, kObtained},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    step.parent();
    EXPECT_EQ(ChildWait(step.name, step.limit), step.expected);
  }
  // The child's holds never showed in the parent.
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_TRUE(CloseHandle(mutex));
  CloseHandle(unset);
}

TEST(NamedMutexTest, AWaitingChildGetsItWhenTheParentReleases) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, U16(kName).c_str());
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  Child child({"wait", kName, "20000"});
  EXPECT_TRUE(child.Running(200));  // blocked by the parent's hold
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(child.Finish(), kObtained);
  CloseHandle(mutex);
}

TEST(NamedMutexTest, AChildThatEndsHoldingItLeavesItFree) {
  const std::string marker = wutest::MakeTempDir("mutex") + "/held";
  Child child({"hold", kName, marker});
  for (int i = 0; i < 1000 && !std::filesystem::exists(marker); ++i) Sleep(10);
  ASSERT_TRUE(std::filesystem::exists(marker));

  // Asked for as its first owner while the child holds it: opened, not owned.
  HANDLE mutex = CreateMutexW(nullptr, TRUE, U16(kName).c_str());
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT);
  // The child ends without releasing: the parent gets it, not abandoned.
  EXPECT_EQ(WaitForSingleObject(mutex, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(child.Finish(), 0u);
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
}

// Every file below a folder, as paths relative to it.
std::set<std::string> FilesBelow(const std::string& folder) {
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    files.insert(std::filesystem::relative(entry.path(), folder).string());
  return files;
}

TEST(NamedMutexTest, LockFilesStayInThePrivateRuntimeFolderWhateverTheName) {
  const std::string root = wutest::StateRoot();
  const std::string run = platform::RuntimeDir();
  EXPECT_EQ(run, root + "/run");
  const std::set<std::string> before = FilesBelow(root);
  // Names as long as names go, that differ only in their last character.
  std::u16string long_name(MAX_PATH - 1, u'\u00E9');
  std::u16string long_twin = long_name;
  long_twin.back() = u'2';
  const std::u16string names[] = {
      u"../escape", u"/absolute", u"a/b", u".", u"..", u"a b", u"a%0020b", u"A B",
      u"Local\\x", long_name, long_twin,
  };
  std::vector<HANDLE> held;
  for (const std::u16string& name : names) {
    SCOPED_TRACE(platform::ToUtf8(name));
    HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
    ASSERT_NE(mutex, nullptr) << GetLastError();
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);  // owned: no two names share a lock file
    held.push_back(mutex);
  }
  // New files only in the runtime folder, one per name, none below it.
  std::set<std::string> added;
  for (const std::string& file : FilesBelow(root))
    if (!before.count(file)) added.insert(file);
  added.erase("run");  // new unless an earlier test of the process made it
  EXPECT_EQ(added.size(), std::size(names));
  for (const std::string& file : added) {
    EXPECT_EQ(file.rfind("run/", 0), 0u) << file;
    EXPECT_EQ(file.find('/', 4), std::string::npos) << file;
    EXPECT_LE(file.size() - 4, 255u) << file;
  }
  struct stat st;
  ASSERT_EQ(stat(run.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  for (HANDLE mutex : held) {
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
  }
}

// Sets (or with null unsets) an environment variable until the end of the
// scope, and rereads the state root both times.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
    platform::ReloadStateRoot();
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
    platform::ReloadStateRoot();
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(NamedMutexTest, RuntimeFolderPlaceAndAnUnusableOne) {
  const std::string root = wutest::StateRoot();
  {
    ScopedEnv no_root(platform::kStateRootVariable, nullptr);
    {
      ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/4242/");
      EXPECT_EQ(platform::RuntimeDir(), "/run/user/4242/talvene");
    }
    {
      ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
      EXPECT_EQ(platform::RuntimeDir(), platform::UserStateDir() + "/run");
    }
  }
  // A state root whose runtime folder cannot be made: named mutexes fail
  // with the reason, unnamed ones still work.
  const std::string file_root = root + "/plain-file";
  wutest::WriteBytes(file_root, "not a folder");
  {
    ScopedEnv bad_root(platform::kStateRootVariable, file_root.c_str());
    SetLastError(0);
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, u"cannot lock"), nullptr);
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_NE(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    HANDLE unnamed = CreateMutexW(nullptr, TRUE, nullptr);
    EXPECT_NE(unnamed, nullptr);
    CloseHandle(unnamed);
  }
  // The name was not kept by the failed create.
  SetLastError(0);
  EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, u"cannot lock"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
