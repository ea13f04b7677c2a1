// Main of every test program. Each test process gets its own state root (a
// fresh temporary folder, removed at the end), so registry stores, profiles
// and folder maps never leak between tests or into the user's home.
#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/kernel/state.h"

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  ::remove(path);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/wutest.XXXXXX";
  char* root = mkdtemp(pattern.data());
  if (!root) {
    std::perror("mkdtemp");
    return 2;
  }
  setenv(platform::kStateRootVariable, root, 1);
  platform::ReloadStateRoot();
  int result = RUN_ALL_TESTS();
  nftw(root, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  return result;
}
