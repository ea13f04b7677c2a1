// Small helpers shared by the tests.
#pragma once

#include <ftw.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/kernel/locale.h"
#include "platform/kernel/state.h"

namespace wutest {

// The state root of this test process (set by the test main).
inline std::string StateRoot() {
  const char* r = getenv(platform::kStateRootVariable);
  return r ? r : "";
}

// A fresh folder under the state root, removed by the test main at exit.
inline std::string MakeTempDir(const char* tag = "dir") {
  std::string pattern = StateRoot() + "/" + tag + ".XXXXXX";
  char* p = mkdtemp(pattern.data());
  return p ? std::string(p) : std::string();
}

// Whole-file reads and writes of Linux paths (empty text for a missing
// file).
inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// While it lives, no file of the process may grow past `bytes`
// (RLIMIT_FSIZE, with SIGXFSZ ignored so that such a write fails with EFBIG
// instead of ending the process): a write that fails part-way, as on a
// full disk.
//
// With `signal_default` the signal keeps its default action instead, as a
// user's shell leaves it for the programs it starts after "ulimit -f": a
// program run then must itself see to it that it is not ended halfway.
// This process writes nothing large while such a limit lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes, bool signal_default = false) {
    getrlimit(RLIMIT_FSIZE, &old_);
    handler_ = std::signal(SIGXFSZ, signal_default ? SIG_DFL : SIG_IGN);
    const struct rlimit limit = {bytes, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit old_ = {};
  void (*handler_)(int) = SIG_DFL;
};

// Runs `body` in a child process as a user who is not root, so that file
// modes bind as they do for an ordinary user: as this user when the tests do
// not run as root; under root as "nobody" (uid and gid 65534), after the
// state root is made passable for others and every item of `owned_tree`
// (a Linux path; none when empty) is given to that user. Returns what
// `body` returned (0..255), or -1 when the child could not run or did not
// end normally. `body` must not use the test framework's assertions: they
// do not reach the parent.
inline int RunAsNonRoot(const std::function<int()>& body, const std::string& owned_tree = "") {
  constexpr uid_t kNobody = 65534;
  const bool root = geteuid() == 0;
  if (root) {
    if (chmod(StateRoot().c_str(), 0711) != 0) return -1;
    if (!owned_tree.empty() &&
        nftw(owned_tree.c_str(),
             [](const char* path, const struct stat*, int, struct FTW*) {
               return lchown(path, kNobody, kNobody) == 0 ? 0 : -1;
             },
             16, FTW_PHYS) != 0)
      return -1;
  }
  fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (root && (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
                 setresuid(kNobody, kNobody, kNobody) != 0))
      _exit(255);
    const int result = body();
    fflush(nullptr);
    _exit(result & 0xFF);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// UTF-8 <-> UTF-16 for readable assertions.
inline std::u16string U16(const std::string& s) { return platform::ToUtf16(s); }
inline std::string U8(const std::u16string& s) { return platform::ToUtf8(s); }

}  // namespace wutest
