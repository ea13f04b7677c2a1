// Small helpers shared by the tests.
#pragma once

#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
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
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    handler_ = std::signal(SIGXFSZ, SIG_IGN);
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

// UTF-8 <-> UTF-16 for readable assertions.
inline std::u16string U16(const std::string& s) { return platform::ToUtf16(s); }
inline std::string U8(const std::u16string& s) { return platform::ToUtf8(s); }

}  // namespace wutest
