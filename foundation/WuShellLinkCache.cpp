// The cache of the shared shell-link object and its release at process exit.
#include "foundation/WuShellLink.h"
#include "foundation/WuShellLinkInternal.h"

std::mutex& WuShellLink_CacheLock() {
  static std::mutex lock;
  return lock;
}

IShellLinkW*& WuShellLink_Cached() {
  static IShellLinkW* link = nullptr;
  return link;
}

void WuShellLink_ReleaseCache() {
  IShellLinkW* link = nullptr;
  {
    std::lock_guard<std::mutex> hold(WuShellLink_CacheLock());
    link = WuShellLink_Cached();
    WuShellLink_Cached() = nullptr;
  }
  if (link) link->Release();
}
