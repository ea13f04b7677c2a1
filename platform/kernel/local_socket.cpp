// Socket files of the runtime folder (see local_socket_internal.h).
#include "platform/kernel/local_socket_internal.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace platform {

bool MakeLocalSocketAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

void RemoveLocalSocketIfSame(const std::string& path, const struct stat& seen) {
  struct stat now;
  if (lstat(path.c_str(), &now) == 0 && now.st_dev == seen.st_dev && now.st_ino == seen.st_ino)
    unlink(path.c_str());
}

}  // namespace platform
