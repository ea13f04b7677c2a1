// Replays corpora through the fuzz targets without a fuzzing engine:
//   wu_fuzz_replay <target> <file or folder>...
// Every regular file (folders are read one level deep, in name order) is
// passed once to the target's entry point. A finding aborts the program,
// so the run fails; otherwise it prints how many inputs ran.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzTargets.h"

namespace {

std::vector<std::string> InputsOf(const std::string& path) {
  std::vector<std::string> files;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return files;
  if (S_ISREG(st.st_mode)) {
    files.push_back(path);
    return files;
  }
  if (DIR* dir = opendir(path.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      std::string file = path + "/" + entry->d_name;
      if (entry->d_name[0] != '.' && stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        files.push_back(file);
    }
    closedir(dir);
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <target> <file or folder>...\n", argv[0]);
    return 2;
  }
  const wufuzz::Target* target = wufuzz::FindTarget(argv[1]);
  if (!target) {
    std::fprintf(stderr, "unknown target %s\n", argv[1]);
    return 2;
  }
  int runs = 0;
  for (int i = 2; i < argc; ++i) {
    for (const std::string& file : InputsOf(argv[i])) {
      std::ifstream in(file, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
      std::fprintf(stderr, "%s\n", file.c_str());
      // A copy of exactly the input's size, so that reading past it is seen.
      uint8_t* copy = new uint8_t[bytes.size() ? bytes.size() : 1];
      std::copy(bytes.begin(), bytes.end(), copy);
      target->run(copy, bytes.size());
      delete[] copy;
      ++runs;
    }
  }
  std::printf("%s: %d inputs replayed\n", target->name, runs);
  return runs > 0 ? 0 : 1;
}
