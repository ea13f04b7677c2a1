// The cache behind WuGetShellLink, for the library's own code only. It lives
// apart from the creation (WuShellLinkCache.cpp and WuShellLink.cpp): the
// kernel's process-exit step, linked into every program, releases the cache,
// and only a program that asks for the shared object links the shell-link
// class that makes it.
#pragma once

#include <mutex>

#include "platform/shell/shelllink.h"

// The lock that guards the cached object.
std::mutex& WuShellLink_CacheLock();
// The cached object (one reference held), or null; under the lock.
IShellLinkW*& WuShellLink_Cached();
