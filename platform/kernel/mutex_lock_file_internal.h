// The lock file of a named mutex: what makes the mutex exclude the same
// user's other processes that use the name (platform/kernel/threads.h).
//
// Each name has one file in the runtime folder (platform/kernel/state.h),
// named after the mutex name with every character but ASCII letters, digits,
// '_' and '-' escaped, so that no name reaches outside the folder; a name too
// long for a file name keeps an escaped prefix and a hash of the whole name.
// The process whose thread owns the mutex holds an exclusive flock on the
// file; the lock goes with the process, so a process that ends frees it.
// Files stay behind (removing a lock file others may have open would split
// the lock).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/kernel/types.h"

namespace platform {

// The lock file's name (no folder) for a mutex name.
std::string MutexLockFileName(std::u16string_view name);

class MutexLockFile {
 public:
  // Opens (creating it and the runtime folder when needed) the lock file of
  // `name`; null with *error set to a Win32 error when that fails.
  static std::unique_ptr<MutexLockFile> Open(std::u16string_view name, DWORD* error);
  ~MutexLockFile();  // closes the file, which drops the lock
  MutexLockFile(const MutexLockFile&) = delete;
  MutexLockFile& operator=(const MutexLockFile&) = delete;

  // Takes the exclusive lock without waiting; TRUE when the process holds it
  // afterwards (also when it held it before).
  bool TryLock();
  // Gives the lock back (nothing when it is not held).
  void Unlock();
  bool held() const { return held_; }

 private:
  explicit MutexLockFile(int fd) : fd_(fd) {}
  int fd_;             // the open lock file (close-on-exec)
  bool held_ = false;  // the process holds the flock
};

}  // namespace platform
