// Permission bits: mkdir with mode 0700, chmod of a regular file that is
// not a symbolic link, files created with mode 0600, and the bits of one
// file given to another.
#include "platform/kernel/filemode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/files_internal.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/posix_io.h"

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

// The bits a new file gets: 0666 less the umask, read from the process's
// status (reading it with umask() would change it for other threads).
mode_t NewFileMode() {
  std::string status = ReadLinuxFile("/proc/self/status");
  size_t at = status.find("\nUmask:");
  mode_t mask = 022;
  if (at != std::string::npos)
    mask = static_cast<mode_t>(std::strtoul(status.c_str() + at + 7, nullptr, 8));
  return 0666 & ~mask;
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

namespace {

// CreatePrivateFile on `linux_path`, which `path` maps to exactly.
HANDLE CreatePrivateAt(const std::string& linux_path, LPCWSTR path, DWORD access,
                       DWORD share_mode) {
  // O_EXCL: nothing that is there already, a link included, is opened.
  int fd = open(linux_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    int err = errno;
    if (err == EEXIST)
      SetLastError(ERROR_FILE_EXISTS);
    else
      FailWith(err == ENOENT ? ENOTDIR : err);
    return INVALID_HANDLE_VALUE;
  }
  struct stat made;
  bool ok = fstat(fd, &made) == 0;
  close(fd);
  HANDLE h = ok ? CreateFileNoFollow(path, access, share_mode, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)
                : INVALID_HANDLE_VALUE;
  // The file opened must be the one made: a name swapped meanwhile is refused.
  BY_HANDLE_FILE_INFORMATION info;
  if (h != INVALID_HANDLE_VALUE &&
      (!GetFileInformationByHandle(h, &info) ||
       ((static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) != made.st_ino)) {
    CloseHandle(h);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (h == INVALID_HANDLE_VALUE) {
    DWORD error = ok ? GetLastError() : ERROR_ACCESS_DENIED;
    struct stat now;
    if (ok && lstat(linux_path.c_str(), &now) == 0 && now.st_ino == made.st_ino &&
        now.st_dev == made.st_dev)
      unlink(linux_path.c_str());
    SetLastError(error);
  }
  return h;
}

}  // namespace

HANDLE CreatePrivateFile(LPCWSTR path, DWORD access, DWORD share_mode) {
  std::string linux_path;
  if (!Map(path, &linux_path)) return INVALID_HANDLE_VALUE;
  return CreatePrivateAt(linux_path, path, access, share_mode);
}

BOOL GetReplacedFileName(LPCWSTR target, std::u16string* file) {
  if (!target || !file) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string path;
    if (!Map(target, &path)) return FALSE;
    int err = FollowFinalLinks(&path);
    if (err == ELOOP) {
      SetLastError(ERROR_CANT_RESOLVE_FILENAME);
      return FALSE;
    }
    if (err != 0) return FailWith(err == ENOENT ? ENOTDIR : err);
    std::u16string name = LibraryPathOf(path);
    if (name.empty()) {
      SetLastError(ERROR_INVALID_NAME);
      return FALSE;
    }
    *file = std::move(name);
    return TRUE;
  });
}

HANDLE CreatePrivateFileBeside(LPCWSTR file, LPCWSTR prefix, std::u16string* work,
                               DWORD access) {
  if (!file || !work) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return Guarded<HANDLE>(INVALID_HANDLE_VALUE, [&]() -> HANDLE {
    std::string path;
    if (!Map(file, &path)) return INVALID_HANDLE_VALUE;
    path = WithoutTrailingSlashes(std::move(path));
    const std::string pre = prefix ? ToUtf8(prefix) : std::string();
    std::string name(LastName(path));
    if (name.empty() || name == "." || name == ".." || pre.find('/') != std::string::npos ||
        pre.find('\\') != std::string::npos) {
      SetLastError(ERROR_INVALID_NAME);
      return INVALID_HANDLE_VALUE;
    }
    // `path` is the folder's part of the path up to and with its last '/'.
    size_t slash = path.rfind('/');
    path.resize(slash == std::string::npos ? 0 : slash + 1);
    const std::string folder = path.empty() ? std::string(".") : WithoutTrailingSlashes(path);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0) {
      FailWith(errno == ENOENT ? ENOTDIR : errno);
      return INVALID_HANDLE_VALUE;
    }
    if (!S_ISDIR(st.st_mode)) {
      SetLastError(ERROR_DIRECTORY);
      return INVALID_HANDLE_VALUE;
    }

    // Tries one name: TRUE made, FALSE taken or too long, or an error
    // that ends the search (last error set, `h` invalid).
    HANDLE h = INVALID_HANDLE_VALUE;
    auto attempt = [&](const std::string& candidate) -> bool {
      std::string linux_path = path + candidate;
      std::u16string library = LibraryPathOf(linux_path);
      if (library.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return true;
      }
      h = CreatePrivateAt(linux_path, library.c_str(), access, 0);
      if (h != INVALID_HANDLE_VALUE) {
        *work = std::move(library);
        return true;
      }
      DWORD error = GetLastError();
      return error != ERROR_FILE_EXISTS && error != ERROR_FILENAME_EXCED_RANGE;
    };
    const size_t limit = NameMaxIn(folder);
    if (pre.size() + name.size() <= limit && attempt(pre + name)) return h;
    // Numbered names: as much of the last name as leaves room for the
    // prefix and the number.
    for (unsigned number = 1; number < 1000000; ++number) {
      std::string suffix = "." + std::to_string(number);
      if (pre.size() + suffix.size() > limit) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
      }
      if (attempt(pre + Utf8Prefix(name, limit - pre.size() - suffix.size()) + suffix)) return h;
      // Every name within the length is too long here: the path itself is.
      if (GetLastError() == ERROR_FILENAME_EXCED_RANGE) return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
  });
}

HANDLE CreatePrivateTempFile(LPCWSTR folder, LPCWSTR prefix, LPWSTR out, DWORD access) {
  if (!folder || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  DWORD a = GetFileAttributesW(folder);
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_DIRECTORY);
    return INVALID_HANDLE_VALUE;
  }
  // Successive calls start at successive numbers, so that a busy folder
  // does not make every call walk the same taken names.
  static std::atomic<UINT> counter{static_cast<UINT>(std::random_device{}())};
  UINT start = counter.fetch_add(1);
  for (UINT i = 0; i < 0x10000; ++i) {
    UINT number = (start + i) & 0xFFFF;
    if (number == 0) continue;
    if (GetTempFileNameW(folder, prefix, number, out) == 0) return INVALID_HANDLE_VALUE;
    HANDLE h = CreatePrivateFile(out, access, 0);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

BOOL SetFileModeLike(HANDLE file, LPCWSTR model) {
  int fd = DescriptorOfFileHandle(file);
  if (fd < 0) return FALSE;
  std::string linux_model;
  if (!Map(model, &linux_model)) return FALSE;
  struct stat st;
  mode_t mode = NewFileMode();
  if (stat(linux_model.c_str(), &st) == 0) {
    if (S_ISREG(st.st_mode)) mode = st.st_mode & 07777;
  } else if (errno != ENOENT && errno != ENOTDIR) {
    return FailWith(errno);
  }
  return fchmod(fd, mode) == 0 ? TRUE : FailWith(errno);
}

}  // namespace platform
