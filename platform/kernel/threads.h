// Threads and synchronisation: threads, critical sections, events,
// semaphores, mutexes, waits, thread-local slots, interlocked operations.
//
// Events, semaphores and mutexes may be named; a name is shared by every
// object of the process that opens it (there is one process-wide namespace,
// as the platform's local namespace of one session). A named mutex also
// excludes the same user's other processes that use the name (see
// CreateMutexW); events and semaphores stay within the process. Waits watch any mix of
// waitable handles (threads, processes, events, semaphores, mutexes) through
// the dispatcher of platform/kernel/handles.h.
#pragma once

#include "platform/kernel/handles.h"
#include "platform/kernel/types.h"

// ---- Threads ---------------------------------------------------------------
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);
constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD STILL_ACTIVE = 259;

// Starts a thread; the handle is signalled when it ends. With
// CREATE_SUSPENDED it waits for ResumeThread. A stack size of 0 takes the
// default; other sizes are raised to the system minimum.
HANDLE CreateThread(void* security, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD thread_id);
// Lowers the suspend count; returns the count before (0 for a running
// thread), or (DWORD)-1 with last error set. Also starts a child process
// created with CREATE_SUSPENDED, through its thread handle.
DWORD ResumeThread(HANDLE thread);
// Ends the calling thread with an exit code (stack objects are unwound).
[[noreturn]] void ExitThread(DWORD exit_code);
// STILL_ACTIVE while the thread runs, then its exit code (0 for a thread
// that was not started by CreateThread).
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exit_code);
// A small number, never 0, fixed for the life of the thread and never given
// to another thread of the process; every thread has one, also the main
// thread and threads that CreateThread did not start.
DWORD GetCurrentThreadId();
// The id of a thread handle's thread; 0 (ERROR_INVALID_HANDLE) for a handle
// that is not a thread.
DWORD GetThreadId(HANDLE thread);
// Pseudo handle of the calling thread (valid for the calling thread only).
// Waits, GetThreadId and GetExitCodeThread accept it; DuplicateHandle turns
// it into a real handle.
HANDLE GetCurrentThread();
// Sleep(0) gives the processor to another ready thread; INFINITE never
// returns.
void Sleep(DWORD milliseconds);
BOOL SwitchToThread();

namespace platform {

// What a thread handle stands for: a thread of this process, or the main
// thread of a child process (platform/kernel/process.cpp).
class ThreadHandleObject : public KernelObject {
 public:
  bool IsWaitable() const override { return true; }
  // The thread's id (never 0).
  virtual DWORD ThreadId() const = 0;
  // STILL_ACTIVE while the thread runs, else its exit code.
  virtual DWORD ExitCode() const = 0;
  // Lowers the suspend count; returns the count before.
  virtual DWORD Resume() = 0;
};

// A fresh thread id, for threads that are not threads of this process (the
// main thread of a child process).
DWORD NewThreadId();

}  // namespace platform

// ---- Critical sections (recursive) ------------------------------------------
// The record is owned by the caller (it may live in zero-filled memory) and
// must not move while it is initialised; InitializeCriticalSection builds the
// lock and DeleteCriticalSection frees it and zeroes the record. Enter, Try
// and Leave on a record that was never initialised (all zero) do nothing
// (TryEnter returns TRUE). Leave by a thread that does not own the section
// does nothing.
struct CRITICAL_SECTION {
  void* LockImpl;          // the lock, built by InitializeCriticalSection
  DWORD OwningThread;      // thread id of the owner, 0 when free
  LONG RecursionCount;     // how often the owner has entered
  DWORD SpinCount;         // kept for the platform's interface; unused
};
void InitializeCriticalSection(CRITICAL_SECTION* cs);
BOOL InitializeCriticalSectionAndSpinCount(CRITICAL_SECTION* cs, DWORD spin_count);
void DeleteCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);

// ---- Waitable objects -----------------------------------------------------------
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_ABANDONED = 0x00000080;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
// (WAIT_TIMEOUT = 258 is in platform/kernel/types.h.)

constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD EVENT_MODIFY_STATE = 0x0002;
constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003;
constexpr DWORD SEMAPHORE_MODIFY_STATE = 0x0002;
constexpr DWORD SEMAPHORE_ALL_ACCESS = 0x001F0003;
constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001;

// Named objects: a null or empty name makes an unnamed object. Names are
// compared exactly (case matters) and hold at most MAX_PATH characters
// (else ERROR_FILENAME_EXCED_RANGE). Creating an existing name opens that
// object (the other arguments are ignored) and sets last error
// ERROR_ALREADY_EXISTS; every other successful create sets ERROR_SUCCESS. A
// name used by an object of another kind fails with ERROR_INVALID_HANDLE.
// OpenXxx fails with ERROR_FILE_NOT_FOUND when no object has the name. A
// name is free again once the last handle to its object is closed.
//
// Events. PulseEvent releases the threads waiting at that moment (a
// manual-reset event all of them, an auto-reset event one) and leaves the
// event reset.
HANDLE CreateEventW(void* security, BOOL manual_reset, BOOL initial_state, LPCWSTR name);
HANDLE OpenEventW(DWORD access, BOOL inherit, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL PulseEvent(HANDLE event);

// Semaphores. ERROR_INVALID_PARAMETER unless 0 <= initial <= maximum and
// maximum > 0.
HANDLE CreateSemaphoreW(void* security, LONG initial_count, LONG maximum_count, LPCWSTR name);
HANDLE OpenSemaphoreW(DWORD access, BOOL inherit, LPCWSTR name);
// FALSE with ERROR_TOO_MANY_POSTS (count unchanged) when the count would
// pass the maximum, ERROR_INVALID_PARAMETER for a release count below 1.
BOOL ReleaseSemaphore(HANDLE semaphore, LONG release_count, LONG* previous_count);

// Mutexes (recursive, owned by a thread; a mutex whose owner thread ends is
// abandoned and the next wait in the process returns WAIT_ABANDONED).
//
// Across processes: while a thread owns a named mutex, its process holds an
// exclusive lock on a lock file named after the mutex name (every character
// but ASCII letters, digits, '_' and '-' escaped, so that any name stays in
// the folder) in the runtime folder (platform/kernel/state.h). The thread
// that takes the outermost hold takes the lock in the same step; the release
// that ends the hold drops it. A wait looks at a lock that another process
// holds every few milliseconds without blocking on it, so time limits hold.
// A process that ends frees its lock: the next owner gets WAIT_OBJECT_0 (no
// abandonment across processes). A mutex abandoned by a thread keeps its
// process's lock until another thread of the process takes it (with
// WAIT_ABANDONED) and releases it, or the process ends. CreateMutexW fails with the error of the
// lock file when it cannot be opened (for example an unwritable runtime
// folder). With `initial_owner` and the name held by another process, the
// mutex is opened but not owned and the last error is ERROR_ALREADY_EXISTS,
// as for a name that exists in the process. OpenMutexW finds only names of
// this process; another process's name is opened with CreateMutexW.
HANDLE CreateMutexW(void* security, BOOL initial_owner, LPCWSTR name);
HANDLE OpenMutexW(DWORD access, BOOL inherit, LPCWSTR name);
// FALSE with ERROR_NOT_OWNER when the caller does not own it.
BOOL ReleaseMutex(HANDLE mutex);

// Waits. Results: WAIT_OBJECT_0 + i, WAIT_ABANDONED + i, WAIT_TIMEOUT, or
// WAIT_FAILED (last error set): ERROR_INVALID_HANDLE for a handle that is
// not open or not waitable (files, and the current-process pseudo handle,
// which could never be signalled for its own threads),
// ERROR_INVALID_PARAMETER for a count of 0 or above MAXIMUM_WAIT_OBJECTS and
// for one object named twice in a wait for all. A wait for all takes every
// object at once, only when all are signalled; a wait for any takes the
// first signalled one in array order.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                             DWORD milliseconds);

// ---- Thread-local slots ------------------------------------------------------------
// Each slot holds one pointer per thread, NULL until the thread sets it. A
// freed slot that is allocated again starts NULL in every thread. Indexes
// that are not allocated give ERROR_INVALID_PARAMETER.
constexpr DWORD TLS_OUT_OF_INDEXES = 0xFFFFFFFF;
DWORD TlsAlloc();
BOOL TlsFree(DWORD index);
LPVOID TlsGetValue(DWORD index);  // sets last error ERROR_SUCCESS on success
BOOL TlsSetValue(DWORD index, LPVOID value);

// ---- Interlocked operations (sequentially consistent) ----------------------------
inline LONG InterlockedIncrement(LONG volatile* target) {
  return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* target) {
  return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchange(LONG volatile* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(LONG volatile* target, LONG value) {
  return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}
inline void* InterlockedExchangePointer(void* volatile* target, void* value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline void* InterlockedCompareExchangePointer(void* volatile* target, void* exchange,
                                               void* comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}
