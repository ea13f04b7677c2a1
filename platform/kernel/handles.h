// Kernel handles: the table that maps a HANDLE to the object it stands for,
// and the one dispatcher lock under which every waitable object changes
// state.
//
// A handle is a small number (a multiple of 4 from 0x1000 on) that is never
// given out twice in a process, so a closed or invented handle is refused
// with ERROR_INVALID_HANDLE instead of reaching a wrong object. Several
// handles may stand for one object (DuplicateHandle, named objects); the
// object lives until its last handle is closed and nothing else holds it.
//
// Waits (platform/kernel/threads.h) sleep on one condition variable shared by all
// objects. Every change of a signal state happens under DispatcherLock() and
// ends with DispatcherWake(), so one wait can watch objects of every kind.
//
// Two pseudo handles are not in the table but are understood by every
// lookup: GetCurrentProcess() (-1) stands for this process and
// GetCurrentThread() (-2) for the calling thread. CloseHandle refuses them.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/kernel/error.h"
#include "platform/kernel/types.h"

namespace platform {

// Base of everything a kernel handle stands for (files, threads, events...).
class KernelObject {
 public:
  KernelObject() = default;
  KernelObject(const KernelObject&) = delete;
  KernelObject& operator=(const KernelObject&) = delete;
  virtual ~KernelObject();

  // TRUE for objects that WaitForSingleObject accepts.
  virtual bool IsWaitable() const { return false; }
  // Called under DispatcherLock(): is the object signalled for this thread?
  // An object may take in advance what the acquisition needs (a named
  // mutex's lock file); PollLocked gives it back when the wait goes on.
  virtual bool IsSignaledLocked(DWORD thread_id) const { return false; }
  // Called under DispatcherLock() when a wait on the object could not be
  // satisfied yet: gives back what IsSignaledLocked took in advance and
  // returns TRUE when the object may become signalled without a
  // DispatcherWake (another process holds it), so the wait looks again
  // after a short interval.
  virtual bool PollLocked() { return false; }
  // Called under DispatcherLock() when a wait on the object is satisfied:
  // auto-reset events reset, semaphores count down, mutexes are taken.
  // Returns TRUE when the wait took an abandoned mutex.
  virtual bool AcquireLocked(DWORD thread_id) { return false; }
  // Called under DispatcherLock() when a thread starts and ends a wait on
  // the object (PulseEvent releases only the threads waiting at that time).
  virtual void AddWaiterLocked(DWORD thread_id) {}
  virtual void RemoveWaiterLocked(DWORD thread_id) {}
  // Called once when the handle table drops a handle to this object.
  virtual void OnHandleClosed() {}
};

// The pseudo handles of this process and of the calling thread.
inline HANDLE CurrentProcessPseudoHandle() { return reinterpret_cast<HANDLE>(intptr_t{-1}); }
inline HANDLE CurrentThreadPseudoHandle() { return reinterpret_cast<HANDLE>(intptr_t{-2}); }

// The objects the pseudo handles stand for (platform/kernel/process.cpp and
// platform/kernel/threads.cpp); null only when memory is exhausted.
std::shared_ptr<KernelObject> CurrentProcessObject();
std::shared_ptr<KernelObject> CurrentThreadObject();

// Enters an object into the handle table and returns its new handle, or
// NULL (last error ERROR_NOT_ENOUGH_MEMORY) when the table cannot grow.
HANDLE AllocHandle(std::shared_ptr<KernelObject> object);

// The object of a handle, or null when the handle is not open. The pseudo
// handles give the current process and the calling thread.
std::shared_ptr<KernelObject> LookupHandle(HANDLE h);

// The object of a handle when it is of type T, else null; sets the last
// error to ERROR_INVALID_HANDLE when it returns null.
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE h);

// Removes a handle from the table; FALSE when it was not open (pseudo
// handles are never open).
bool FreeHandle(HANDLE h);

// Number of open handles (for leak checks in tests).
size_t OpenHandleCount();

// The lock that guards every waitable object's signal state.
std::mutex& DispatcherLock();
// The condition every waiting thread sleeps on.
std::condition_variable& DispatcherCondition();
// Wakes all waiters so that they look at their objects again. Call it after
// a change of signal state, with or without the lock held.
void DispatcherWake();

}  // namespace platform

// Closes a kernel handle. FALSE (ERROR_INVALID_HANDLE) for a handle that is
// not open, and for the pseudo handles.
BOOL CloseHandle(HANDLE h);

// Gives a second handle to the object of an open handle (a pseudo handle
// gives a real handle to the current process or thread). The target process
// must be this one (ERROR_NOT_SUPPORTED otherwise). The source process is
// this one, or another process opened with PROCESS_DUP_HANDLE whose handle
// to a page-file mapping is wanted (platform/kernel/mapping.h). With
// DUPLICATE_CLOSE_SOURCE the source is closed even when the copy fails (in
// this process only: for another process it is ERROR_NOT_SUPPORTED).
// ERROR_INVALID_PARAMETER for a NULL target; a process handle without
// PROCESS_DUP_HANDLE fails with ERROR_ACCESS_DENIED.
constexpr DWORD DUPLICATE_CLOSE_SOURCE = 0x1;
constexpr DWORD DUPLICATE_SAME_ACCESS = 0x2;
BOOL DuplicateHandle(HANDLE source_process, HANDLE source, HANDLE target_process,
                     HANDLE* target, DWORD access, BOOL inherit, DWORD options);

// ---- template implementation ----------------------------------------------
template <class T>
std::shared_ptr<T> platform::LookupHandleAs(HANDLE h) {
  std::shared_ptr<T> typed = std::dynamic_pointer_cast<T>(LookupHandle(h));
  if (!typed) SetLastError(ERROR_INVALID_HANDLE);
  return typed;
}
