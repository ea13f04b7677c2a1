#include "platform/kernel/posix_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

bool ReadAllFd(int fd, std::string* out) {
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out->append(buf, static_cast<size_t>(n));
  }
}

std::string ReadLinuxFile(const std::string& path) {
  std::string bytes;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  if (!ReadAllFd(fd, &bytes)) bytes.clear();
  close(fd);
  return bytes;
}

bool WriteAllFd(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

size_t NameMaxIn(const std::string& folder) {
  long name_max = pathconf(folder.c_str(), _PC_NAME_MAX);
  return name_max > 0 ? static_cast<size_t>(name_max) : 255;
}

std::string Utf8Prefix(const std::string& name, size_t size) {
  if (name.size() <= size) return name;
  while (size > 0 && (static_cast<unsigned char>(name[size]) & 0xC0) == 0x80) --size;
  return name.substr(0, size);
}

int ReplaceFileAtomically(const std::string& path, const std::string& bytes, mode_t mode) {
  // The temporary file is the name + ".XXXXXX", with the name shortened
  // when that would pass the file system's name length.
  constexpr size_t kSuffix = 7;
  size_t slash = path.rfind('/');
  size_t name_at = slash == std::string::npos ? 0 : slash + 1;
  size_t name_max = NameMaxIn(name_at ? path.substr(0, name_at) : std::string("."));
  std::string temp = path.substr(0, name_at) +
                     Utf8Prefix(path.substr(name_at), name_max > kSuffix ? name_max - kSuffix : 0) +
                     ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return errno;
  int err = 0;
  if (fchmod(fd, mode) != 0 || !WriteAllFd(fd, bytes) || fsync(fd) != 0) err = errno ? errno : EIO;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(temp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) unlink(temp.c_str());
  return err;
}

LinuxPathKind KindOfLinuxPath(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return LinuxPathKind::kNone;
  if (S_ISREG(st.st_mode)) return LinuxPathKind::kFile;
  if (S_ISDIR(st.st_mode)) return LinuxPathKind::kFolder;
  return LinuxPathKind::kOther;
}

bool MayRunLinuxFile(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

}  // namespace platform
