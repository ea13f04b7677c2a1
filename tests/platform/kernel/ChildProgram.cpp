// The child program of the process tests. When the environment variable
// WU_CHILD_REPORT names a file, it writes there, each text followed by a
// zero byte: its working folder, the value of WU_CHILD_EXTRA (empty when
// unset), then every argument including argv[0]. Then argv[1] says what to
// do:
//   exit N     end with exit status N
//   sleep MS   sleep MS milliseconds, then end with 0
//   signal N   end by signal N
//   print T    write T to standard output, then end with 0
// Anything else ends with 0.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (const char* report = std::getenv("WU_CHILD_REPORT")) {
    std::FILE* f = std::fopen(report, "wb");
    if (!f) return 100;
    char cwd[4096];
    if (!getcwd(cwd, sizeof(cwd))) cwd[0] = 0;
    const char* extra = std::getenv("WU_CHILD_EXTRA");
    std::string all = std::string(cwd) + '\0' + (extra ? extra : "") + '\0';
    for (int i = 0; i < argc; ++i) all += std::string(argv[i]) + '\0';
    std::fwrite(all.data(), 1, all.size(), f);
    std::fclose(f);
  }
  if (argc < 3) return 0;
  const std::string mode = argv[1];
  const int value = std::atoi(argv[2]);
  if (mode == "exit") return value;
  if (mode == "sleep") {
    usleep(static_cast<useconds_t>(value) * 1000);
    return 0;
  }
  if (mode == "signal") {
    signal(value, SIG_DFL);
    raise(value);
    return 101;
  }
  if (mode == "print") {
    std::fputs(argv[2], stdout);
    return 0;
  }
  return 0;
}
