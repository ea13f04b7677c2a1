#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "platform/kernel/error.h"
#include "platform/kernel/mutex_lock_file_internal.h"
#include "platform/kernel/state.h"

namespace platform {

namespace {

// Escaped names longer than this keep a prefix and a hash (file names may
// have 255 bytes).
constexpr size_t kMaxEscaped = 200;
constexpr size_t kKeptPrefix = 150;

bool Plain(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_' || c == u'-';
}

// FNV-1a over the name's UTF-16 units.
unsigned long long HashName(std::u16string_view name) {
  unsigned long long hash = 0xCBF29CE484222325ull;
  for (char16_t c : name) {
    hash = (hash ^ (c & 0xFF)) * 0x100000001B3ull;
    hash = (hash ^ (c >> 8)) * 0x100000001B3ull;
  }
  return hash;
}

void AppendHex(std::string& out, unsigned long long value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) out += kDigits[(value >> (4 * i)) & 15];
}

}  // namespace

std::string MutexLockFileName(std::u16string_view name) {
  std::string escaped;
  size_t cut = 0;  // length of the escaped prefix that ends on a whole character
  for (char16_t c : name) {
    if (Plain(c)) {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      AppendHex(escaped, c, 4);
    }
    if (escaped.size() <= kKeptPrefix) cut = escaped.size();
  }
  if (escaped.size() <= kMaxEscaped) return "mutex-" + escaped + ".lock";
  // Too long: a different prefix, so that no short name gives the same file.
  std::string file = "mutexh-" + escaped.substr(0, cut) + "-";
  AppendHex(file, HashName(name), 16);
  return file + ".lock";
}

std::unique_ptr<MutexLockFile> MutexLockFile::Open(std::u16string_view name, DWORD* error) {
  const std::string path = RuntimeDir() + "/" + MutexLockFileName(name);
  int fd = -1;
  // A process whose transport endpoint closes removes the runtime folder
  // when it is empty (platform/kernel/transport.h), so the folder may go
  // between its creation and the open: make it again.
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    errno = 0;
    if (!MakeRuntimeDir()) {
      if (errno == ENOENT) continue;  // removed again while it was made
      *error = errno ? ErrorFromErrno(errno) : ERROR_PATH_NOT_FOUND;
      return nullptr;
    }
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 && errno != ENOENT) break;
  }
  if (fd < 0) {
    *error = ErrorFromErrno(errno);
    return nullptr;
  }
  std::unique_ptr<MutexLockFile> file(new (std::nothrow) MutexLockFile(fd));
  if (!file) {
    close(fd);
    *error = ERROR_NOT_ENOUGH_MEMORY;
  }
  return file;
}

MutexLockFile::~MutexLockFile() { close(fd_); }

bool MutexLockFile::TryLock() {
  if (held_) return true;
  int r;
  do {
    r = flock(fd_, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  held_ = r == 0;
  return held_;
}

void MutexLockFile::Unlock() {
  if (!held_) return;
  flock(fd_, LOCK_UN);
  held_ = false;
}

}  // namespace platform
