// Keeps one interface pointer registered in the process's Global Interface
// Table and hands each calling thread a pointer valid on it: the first call
// of a thread fetches its own reference from the table into a per-thread
// map (CWuThreadMap.h); later calls find it there. A holder with the cached
// pair also remembers the last thread served from the map, so that thread
// skips the lookup.
//
// The host has no apartments, so every thread's pointer is the object
// itself; the holder keeps the book all the same, so that objects hosted
// elsewhere are reached the same way.
#pragma once

#include "fileio/CWuThreadMap.h"
#include "platform/com/com.h"
#include "platform/kernel/threads.h"

class CWuGitHolder {
 public:
  // `iid` is the interface registered and fetched; `cachedPair` false
  // gives a holder that always looks in its map.
  explicit CWuGitHolder(REFIID iid, bool cachedPair = true) : iid_(iid), cachedPair_(cachedPair) {}
  ~CWuGitHolder() { Revoke(); }
  CWuGitHolder(const CWuGitHolder&) = delete;
  CWuGitHolder& operator=(const CWuGitHolder&) = delete;

  // Registers `ptr` (the table takes its own reference), revoking an
  // earlier registration first; NULL only revokes. The registering thread
  // becomes the cached pair. When the table refuses, nothing is
  // registered.
  void Register(IUnknown* ptr);
  // Releases every thread's reference, revokes the registration and
  // frees the map; nothing happens without a registration.
  void Revoke();
  // The pointer for the calling thread, without a new reference (the
  // caller must not release it); NULL when nothing is registered or the
  // table gives no pointer for this thread.
  IUnknown* GetForThread();

  // For tests and the owner: the registration's cookie (0 none), the
  // cached thread (0 none) and the map.
  DWORD Cookie() const { return cookie_; }
  DWORD CachedThreadId() const { return cachedThread_; }
  const CWuThreadMap& Map() const { return map_; }

 private:
  IID iid_;                          // the interface registered
  bool cachedPair_;                  // whether the cached pair is kept
  DWORD cookie_ = 0;                 // the table's cookie, 0 when nothing is registered
  CWuThreadMap map_;                 // thread id -> pointer, all in bucket 0
  CRITICAL_SECTION lock_{};          // guards the map, the cached pair and the table calls
  DWORD cachedThread_ = 0;           // the cached pair's thread...
  IUnknown* cachedPtr_ = nullptr;    // ...and pointer
};
