// Permission bits: mkdir with mode 0700, and chmod of a regular file that
// is not a symbolic link.
#include "platform/kernel/filemode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"

namespace platform {

namespace {

// The Linux path of a library path; false (ERROR_PATH_NOT_FOUND) when it
// cannot be mapped.
bool Map(LPCWSTR path, std::string* out) {
  *out = path ? ToLinuxPath(path) : std::string();
  if (!out->empty()) return true;
  SetLastError(ERROR_PATH_NOT_FOUND);
  return false;
}

BOOL FailWith(int err) {
  if (err == EEXIST) {
    SetLastError(ERROR_ALREADY_EXISTS);
  } else if (err == ENOTDIR) {
    SetLastError(ERROR_PATH_NOT_FOUND);
  } else {
    SetLastErrorFromErrno(err);
  }
  return FALSE;
}

}  // namespace

BOOL CreatePrivateDirectory(LPCWSTR path) {
  std::string linux_path;
  if (!Map(path, &linux_path)) return FALSE;
  if (mkdir(linux_path.c_str(), 0700) == 0) return TRUE;
  return FailWith(errno == ENOENT ? ENOTDIR : errno);
}

BOOL MakeFileExecutable(LPCWSTR path) {
  std::string linux_path;
  if (!Map(path, &linux_path)) return FALSE;
  // O_NOFOLLOW: a link in the last component is refused, not followed.
  int fd = open(linux_path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return FailWith(errno == ELOOP ? EACCES : errno);
  struct stat st;
  BOOL ok = FALSE;
  if (fstat(fd, &st) != 0) {
    FailWith(errno);
  } else if (!S_ISREG(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
  } else {
    mode_t mode = st.st_mode & 07777;
    if (mode & S_IRUSR) mode |= S_IXUSR;
    if (mode & S_IRGRP) mode |= S_IXGRP;
    if (mode & S_IROTH) mode |= S_IXOTH;
    ok = fchmod(fd, mode) == 0 ? TRUE : FailWith(errno);
  }
  close(fd);
  return ok;
}

}  // namespace platform
