// Threads and synchronisation: threads, critical sections, events,
// semaphores, mutexes, waits, thread-local slots, interlocked operations.
//
// Events, semaphores and mutexes may be named; a name is shared by every
// object of the process that opens it (there is one process-wide namespace,
// as the platform's local namespace of one session). Waits watch any mix of
// waitable handles (threads, processes, events, semaphores, mutexes) through
// the dispatcher of platform/handles.h.
#pragma once

#include "platform/handles.h"
#include "platform/types.h"

// ---- Threads ---------------------------------------------------------------
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);
constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD STILL_ACTIVE = 259;

// Starts a thread; the handle is signalled when it ends. With
// CREATE_SUSPENDED it waits for ResumeThread.
HANDLE CreateThread(void* security, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD thread_id);
DWORD ResumeThread(HANDLE thread);
[[noreturn]] void ExitThread(DWORD exit_code);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exit_code);
DWORD GetCurrentThreadId();
DWORD GetThreadId(HANDLE thread);
// Pseudo handle of the calling thread (valid for the calling thread only).
HANDLE GetCurrentThread();
void Sleep(DWORD milliseconds);
BOOL SwitchToThread();

// ---- Critical sections (recursive) ------------------------------------------
// The record is owned by the caller (it may live in zero-filled memory);
// InitializeCriticalSection builds the lock and DeleteCriticalSection frees
// it. Enter and Leave on a record that was never initialised do nothing.
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
// (WAIT_TIMEOUT = 258 is in platform/types.h.)

constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD EVENT_MODIFY_STATE = 0x0002;
constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003;
constexpr DWORD SEMAPHORE_MODIFY_STATE = 0x0002;
constexpr DWORD SEMAPHORE_ALL_ACCESS = 0x001F0003;
constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001;

// Events. Creating an existing name opens that object and sets last error
// ERROR_ALREADY_EXISTS; a name used by an object of another kind fails with
// ERROR_INVALID_HANDLE.
HANDLE CreateEventW(void* security, BOOL manual_reset, BOOL initial_state, LPCWSTR name);
HANDLE OpenEventW(DWORD access, BOOL inherit, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL PulseEvent(HANDLE event);

// Semaphores.
HANDLE CreateSemaphoreW(void* security, LONG initial_count, LONG maximum_count, LPCWSTR name);
HANDLE OpenSemaphoreW(DWORD access, BOOL inherit, LPCWSTR name);
// FALSE with ERROR_TOO_MANY_POSTS when the count would pass the maximum.
BOOL ReleaseSemaphore(HANDLE semaphore, LONG release_count, LONG* previous_count);

// Mutexes (recursive, owned by a thread; a mutex whose owner ends is
// abandoned and the next wait returns WAIT_ABANDONED).
HANDLE CreateMutexW(void* security, BOOL initial_owner, LPCWSTR name);
HANDLE OpenMutexW(DWORD access, BOOL inherit, LPCWSTR name);
// FALSE with ERROR_NOT_OWNER when the caller does not own it.
BOOL ReleaseMutex(HANDLE mutex);

// Waits. Results: WAIT_OBJECT_0 + i, WAIT_ABANDONED + i, WAIT_TIMEOUT, or
// WAIT_FAILED (last error set) for a bad handle or argument.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                             DWORD milliseconds);

// ---- Thread-local slots ------------------------------------------------------------
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
