// Shared helpers of the fuzz targets (see FuzzSupport.h).
#include "tests/fuzz/FuzzSupport.h"

#include <fcntl.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/kernel/files.h"
#include "platform/kernel/state.h"

namespace wufuzz {
namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  ::remove(path);
  return 0;
}

std::vector<std::string>* g_list = nullptr;  // ListTree's result while it walks
size_t g_prefix = 0;                         // length of the folder being walked

int ListEntry(const char* path, const struct stat*, int, struct FTW*) {
  if (std::strlen(path) > g_prefix) g_list->push_back(path + g_prefix);
  return 0;
}

std::string MakeRoot() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/wufuzz.XXXXXX";
  if (!mkdtemp(pattern.data())) Fail("mkdtemp", pattern);
  setenv(platform::kStateRootVariable, pattern.c_str(), 1);
  platform::ReloadStateRoot();
  for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
    std::string folder = pattern + "/drive/" + static_cast<char>(letter);
    if (!platform::MakeDirs(folder) || !platform::SetDriveRoot(letter, folder))
      Fail("cannot map drive", folder);
  }
  std::string work = pattern + "/work";
  if (!platform::MakeDirs(work) || chdir(work.c_str()) != 0) Fail("cannot enter", work);
  return pattern;
}

void RemoveRootAtExit() {
  if (chdir("/") == 0) RemoveTree(Root());
}

}  // namespace

const std::string& Root() {
  static const std::string root = [] {
    std::string made = MakeRoot();
    return made;
  }();
  static const bool registered = (atexit(RemoveRootAtExit), true);
  (void)registered;
  return root;
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n <= 0) {
      close(fd);
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return close(fd) == 0;
}

void RemoveTree(const std::string& path) {
  // Folders left without permission bits could not be entered.
  nftw(path.c_str(), [](const char* p, const struct stat* st, int, struct FTW*) {
    if (S_ISDIR(st->st_mode)) chmod(p, 0755);
    return 0;
  }, 16, FTW_PHYS);
  nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::vector<std::string> ListTree(const std::string& folder) {
  std::vector<std::string> list;
  g_list = &list;
  g_prefix = folder.size() + 1;
  nftw(folder.c_str(), ListEntry, 16, FTW_PHYS);
  g_list = nullptr;
  return list;
}

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "fuzz invariant broken: %s: %s\n", what, detail.c_str());
  std::fflush(stderr);
  abort();
}

std::vector<std::string> SplitInput(const uint8_t* data, size_t size, char separator, size_t max) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (static_cast<char>(data[i]) == separator && parts.size() < max)
      parts.emplace_back();
    else
      parts.back().push_back(static_cast<char>(data[i]));
  }
  return parts;
}

}  // namespace wufuzz
