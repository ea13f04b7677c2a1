// Whether a path lies in a folder, judged by the folders on disk.
#include "platform/kernel/folder_identity.h"

#include "platform/kernel/files_internal.h"

namespace {

// Cuts the last name off a Linux path: "a/b" -> "a", "/a" -> "/",
// "a" -> ".". False when nothing is left to cut.
bool CutLastName(std::string* path) {
  std::string trimmed = WithoutTrailingSlashes(*path);
  if (trimmed == "/" || trimmed == ".") return false;
  size_t slash = trimmed.rfind('/');
  if (slash == std::string::npos)
    trimmed = ".";
  else
    trimmed.erase(slash == 0 ? 1 : slash);
  *path = std::move(trimmed);
  return true;
}

}  // namespace

namespace platform {

bool IsSameOrInsideFolder(LPCWSTR path, LPCWSTR folder) {
  return Guarded<bool>(false, [&]() -> bool {
    std::string outer = ToLinuxPath(folder);
    struct stat target;
    if (outer.empty() || stat(outer.c_str(), &target) != 0 || !S_ISDIR(target.st_mode))
      return false;
    std::string inner = ToLinuxPath(path);
    if (inner.empty()) return false;
    // The nearest part of the path that exists, as it lies on disk (links
    // resolved): its own folders above it are the real ancestors.
    std::string on_disk;
    while ((on_disk = RealPathOf(inner)).empty())
      if (!CutLastName(&inner)) return false;
    for (;;) {
      struct stat st;
      if (stat(on_disk.c_str(), &st) == 0 && st.st_dev == target.st_dev &&
          st.st_ino == target.st_ino)
        return true;
      if (!CutLastName(&on_disk)) return false;
    }
  });
}

}  // namespace platform
