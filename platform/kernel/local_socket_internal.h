// Socket files of the runtime folder, shared by the local transport and the
// connected channel.
#pragma once

#include <sys/stat.h>
#include <sys/un.h>

#include <string>

namespace platform {

// Fills a Unix socket address for `path`; false when the path does not fit.
bool MakeLocalSocketAddress(const std::string& path, sockaddr_un* address);

// Removes the socket file at `path` unless another one took its place since
// `seen` was taken (a stale endpoint, or our own as bound).
void RemoveLocalSocketIfSame(const std::string& path, const struct stat& seen);

}  // namespace platform
