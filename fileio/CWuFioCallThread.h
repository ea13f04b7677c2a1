// The file-I/O manager's worker thread: one thread, started on first use,
// on which plug-in classes are loaded and created, whatever thread asks.
// A caller posts a function and waits for its result.
//
// Callers are serialised by the worker's own lock, held from the start
// check until the result is read, so two threads that post at once never
// overwrite each other's call. It is the outermost lock of the manager: the
// manager's mutex is taken inside posted calls, on the worker, and no
// caller may hold that mutex while calling RunSync. A posted call that
// calls RunSync again runs inline, without the lock.
#pragma once

#include <atomic>

#include "platform/kernel/threads.h"
#include "platform/kernel/types.h"

class CWuFioCallThread {
 public:
  // A posted call: its data in, a status out.
  typedef HRESULT (*Function)(void* data);

  CWuFioCallThread();
  // Stops the thread.
  ~CWuFioCallThread();
  CWuFioCallThread(const CWuFioCallThread&) = delete;
  CWuFioCallThread& operator=(const CWuFioCallThread&) = delete;

  // Creates the request and done events and starts the thread; a thread
  // already running is left as it is. Any failure closes what was made
  // and returns E_FAIL.
  HRESULT Start();

  // Runs function(data) on the worker thread, starting it when there is
  // none (its failure is returned), and waits for it: S_OK with
  // *result the function's result, E_FAIL when the wait fails. On the
  // worker thread itself the function runs inline. E_INVALIDARG for a
  // NULL function, E_POINTER for a NULL result.
  HRESULT RunSync(Function function, void* data, HRESULT* result);

  // Sets the stop flag; when the thread exists, wakes it, waits for its end
  // and closes the thread and both events. Waits for a call in progress
  // first. A later RunSync starts a new thread.
  void Stop();

  // Whether the stop flag is set (for tests).
  bool StopRequested() const { return stop_.load() != 0; }
  // Whether a thread was started and not yet closed (for tests).
  bool Started() const { return threadId_.load() != 0; }
  // The worker's thread id, 0 when none (for tests).
  DWORD ThreadId() const { return threadId_.load(); }

 private:
  static DWORD ThreadBody(LPVOID self);
  // The worker's loop; runs posted calls until the stop flag is set.
  void Run();
  // Start with the lock held.
  HRESULT StartLocked();
  // Closes the thread and event handles that are open.
  void CloseHandles();

  std::atomic<LONG> stop_;         // set by Stop; the worker ends at its next wake
  HANDLE thread_;                  // the worker, NULL when none
  std::atomic<DWORD> threadId_;    // its id, 0 when none
  HANDLE request_;                 // auto-reset: a call is posted (or Stop wakes)
  HANDLE done_;                    // auto-reset: the posted call has finished
  Function function_;              // the posted call, NULL when none
  void* data_;                     // its data
  HRESULT result_;                 // its result
  CRITICAL_SECTION lock_;          // callers' lock: one posted call at a time
};
