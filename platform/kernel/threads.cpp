// Threads, critical sections, events, semaphores, mutexes, waits and
// thread-local slots.
//
// Every thread that asks for its id gets a ThreadRecord: its id, its thread
// object (what a thread handle stands for) and its thread-local slots. A
// pthread key frees the record when the thread ends, after marking the
// thread object ended under the dispatcher lock, so thread handles become
// signalled and mutexes the thread still owns become abandoned.
#include "platform/kernel/threads.h"

#include "platform/kernel/exception.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/mutex_lock_file_internal.h"

namespace platform {

namespace {

// ---- Thread records ---------------------------------------------------------

// A thread of this process, as its handles see it. State under the
// dispatcher lock.
class LocalThread : public ThreadHandleObject {
 public:
  explicit LocalThread(DWORD id) : id_(id) {}
  DWORD ThreadId() const override { return id_; }
  bool IsSignaledLocked(DWORD) const override { return ended; }
  DWORD ExitCode() const override {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    return ended ? exit_code : STILL_ACTIVE;
  }
  DWORD Resume() override {
    DWORD before;
    {
      std::lock_guard<std::mutex> guard(DispatcherLock());
      before = suspend_count;
      if (suspend_count > 0) --suspend_count;
    }
    DispatcherWake();
    return before;
  }

  bool ended = false;           // the thread has finished
  DWORD exit_code = 0;          // valid once ended
  DWORD suspend_count = 0;      // > 0 while a suspended thread waits to start

 private:
  const DWORD id_;  // never 0
};

// Thread-local slot values of one thread.
constexpr DWORD kTlsSlots = 1088;
struct TlsCell {
  uint32_t generation;  // the slot's generation when the value was set
  void* value;          // the thread's value
};

// Everything the platform keeps per thread.
struct ThreadRecord {
  std::shared_ptr<LocalThread> object;  // the thread's object
  DWORD exit_code = 0;                  // set by the start routine or ExitThread
  TlsCell* tls = nullptr;               // kTlsSlots cells, made on first TlsSetValue
};

thread_local DWORD t_thread_id = 0;           // this thread's id, 0 until asked
thread_local ThreadRecord* t_record = nullptr;  // this thread's record

std::atomic<DWORD> g_next_thread_id{1};

// Runs when a thread with a record ends.
void OnThreadEnd(void* data) {
  ThreadRecord* record = static_cast<ThreadRecord*>(data);
  {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    record->object->exit_code = record->exit_code;
    record->object->ended = true;
  }
  DispatcherWake();
  if (t_record == record) t_record = nullptr;
  std::free(record->tls);
  delete record;
}

pthread_key_t RecordKey() {
  static pthread_key_t key = [] {
    pthread_key_t k;
    if (pthread_key_create(&k, OnThreadEnd) != 0) std::abort();
    return k;
  }();
  return key;
}

DWORD CurrentId() {
  if (t_thread_id == 0) t_thread_id = NewThreadId();
  return t_thread_id;
}

// Makes the calling thread's record when it has none; null only when memory
// is exhausted.
ThreadRecord* CurrentRecord() {
  if (t_record) return t_record;
  ThreadRecord* record = new (std::nothrow) ThreadRecord;
  if (!record) return nullptr;
  try {
    record->object = std::make_shared<LocalThread>(CurrentId());
  } catch (const std::bad_alloc&) {
    delete record;
    return nullptr;
  }
  if (pthread_setspecific(RecordKey(), record) != 0) {
    delete record;
    return nullptr;
  }
  t_record = record;
  return record;
}

// What a new thread needs to start.
struct StartBlock {
  ThreadRecord* record;           // the new thread's record, made by CreateThread
  LPTHREAD_START_ROUTINE start;   // the caller's routine
  LPVOID parameter;               // its argument
};

void* ThreadMain(void* data) {
  StartBlock block = *static_cast<StartBlock*>(data);
  delete static_cast<StartBlock*>(data);
  ThreadRecord* record = block.record;
  t_thread_id = record->object->ThreadId();
  t_record = record;
  pthread_setspecific(RecordKey(), record);  // cannot fail: the key exists
  // A stack of its own for fault handling, so that a stack overflow on this
  // thread still reaches the unhandled-exception filter.
  EnsureAltSignalStack();
  {
    std::unique_lock<std::mutex> lock(DispatcherLock());
    DispatcherCondition().wait(lock, [&] { return record->object->suspend_count == 0; });
  }
  record->exit_code = block.start(block.parameter);
  return nullptr;
}

// ---- Named objects ----------------------------------------------------------

// An event, semaphore or mutex: waitable, and possibly named.
class SyncObject : public KernelObject {
 public:
  ~SyncObject() override;
  bool IsWaitable() const override { return true; }
  std::u16string name;  // empty when unnamed
};

struct NameEntry {
  SyncObject* raw;               // the object that holds the name
  std::weak_ptr<SyncObject> object;
};

struct NameSpace {
  std::mutex lock;
  std::unordered_map<std::u16string, NameEntry> names;
};

NameSpace& Names() {
  static NameSpace* names = new NameSpace;  // lives to process exit
  return *names;
}

SyncObject::~SyncObject() {
  if (name.empty()) return;
  NameSpace& ns = Names();
  std::lock_guard<std::mutex> guard(ns.lock);
  auto it = ns.names.find(name);
  if (it != ns.names.end() && it->second.raw == this) ns.names.erase(it);
}

// Checks a name; FALSE (last error set) when it is too long.
bool NameIsValid(LPCWSTR name) {
  if (!name) return true;
  for (int n = 0; name[n]; ++n) {
    if (n == MAX_PATH) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return false;
    }
  }
  return true;
}

// Creates an object of kind T, or opens the existing object of that name.
// `make` returns the new object (null when memory is exhausted). Objects are
// declared before the name lock so that they are released after it: a
// released object may take the name lock to give up its name.
template <class T, class Make>
HANDLE CreateSync(LPCWSTR name, Make make) {
  if (!NameIsValid(name)) return nullptr;
  std::shared_ptr<T> object;
  std::shared_ptr<SyncObject> found;
  bool existed = false;
  if (name && *name) {
    NameSpace& ns = Names();
    std::lock_guard<std::mutex> guard(ns.lock);
    try {
      std::u16string key(name);
      auto it = ns.names.find(key);
      if (it != ns.names.end()) found = it->second.object.lock();
      if (found) {
        object = std::dynamic_pointer_cast<T>(found);
        if (!object) {
          SetLastError(ERROR_INVALID_HANDLE);
          return nullptr;
        }
        existed = true;
      } else {
        object = make();
        if (object) {
          object->name = key;
          ns.names[key] = NameEntry{object.get(), object};
        }
      }
    } catch (const std::bad_alloc&) {
      if (object) object->name.clear();  // it never held the name
      object.reset();
    }
  } else {
    object = make();
  }
  if (!object) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HANDLE h = AllocHandle(object);
  if (h) SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

// Opens the object of kind T that holds a name.
template <class T>
HANDLE OpenSync(LPCWSTR name) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!NameIsValid(name)) return nullptr;
  std::shared_ptr<SyncObject> found;
  {
    NameSpace& ns = Names();
    std::lock_guard<std::mutex> guard(ns.lock);
    try {
      auto it = ns.names.find(std::u16string(name));
      if (it != ns.names.end()) found = it->second.object.lock();
    } catch (const std::bad_alloc&) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
  }
  if (!found) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  std::shared_ptr<T> object = std::dynamic_pointer_cast<T>(found);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return AllocHandle(object);
}

template <class T, class... Args>
std::shared_ptr<T> MakeNoThrow(Args... args) {
  try {
    return std::make_shared<T>(args...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// ---- Events, semaphores, mutexes -------------------------------------------

class Event : public SyncObject {
 public:
  Event(bool manual_reset, bool initial) : manual(manual_reset), signaled(initial) {}
  bool IsSignaledLocked(DWORD thread_id) const override {
    return signaled || std::find(pulsed.begin(), pulsed.end(), thread_id) != pulsed.end();
  }
  bool AcquireLocked(DWORD thread_id) override {
    auto it = std::find(pulsed.begin(), pulsed.end(), thread_id);
    if (it != pulsed.end())
      pulsed.erase(it);
    else if (!manual)
      signaled = false;
    return false;
  }
  void AddWaiterLocked(DWORD thread_id) override { waiters.push_back(thread_id); }
  void RemoveWaiterLocked(DWORD thread_id) override {
    auto it = std::find(waiters.begin(), waiters.end(), thread_id);
    if (it != waiters.end()) waiters.erase(it);
    it = std::find(pulsed.begin(), pulsed.end(), thread_id);
    if (it != pulsed.end()) pulsed.erase(it);
  }

  const bool manual;           // stays signalled until ResetEvent
  bool signaled;               // the signal state
  std::vector<DWORD> waiters;  // threads waiting now, in arrival order
  std::vector<DWORD> pulsed;   // waiting threads that PulseEvent released
};

class Semaphore : public SyncObject {
 public:
  Semaphore(LONG initial, LONG maximum) : count(initial), maximum(maximum) {}
  bool IsSignaledLocked(DWORD) const override { return count > 0; }
  bool AcquireLocked(DWORD) override {
    --count;
    return false;
  }

  LONG count;          // 0..maximum
  const LONG maximum;  // at least 1
};

// A named mutex also holds its lock file (lock_file) while a thread of the
// process owns it, so the same user's other processes that use the name are
// excluded too: the lock is taken with the outermost hold, in the same step
// as the in-process ownership, and dropped by the release that ends it.
class Mutex : public SyncObject {
 public:
  bool IsSignaledLocked(DWORD thread_id) const override {
    if (count > 0) return owner == thread_id || OwnerEnded();
    // Free in the process: free everywhere once the lock file is ours.
    return !lock_file || lock_file->TryLock();
  }
  bool PollLocked() override {
    if (!lock_file || count > 0) return false;  // a release here wakes the waiters
    lock_file->Unlock();  // taken for a wait for all that goes on
    return true;
  }
  // Called by the thread that takes the mutex.
  bool AcquireLocked(DWORD thread_id) override {
    bool abandoned = false;
    if (count > 0 && owner != thread_id) {  // the owner ended without releasing
      abandoned = true;
      count = 0;
    }
    if (count == 0) {
      owner = thread_id;
      owner_object = t_record ? t_record->object : nullptr;
    }
    ++count;
    return abandoned;
  }
  bool OwnerEnded() const { return owner_object && owner_object->ended; }

  // Drops the lock file's lock when the process holds no ownership.
  void ReleaseLockFileLocked() {
    if (lock_file && count == 0) lock_file->Unlock();
  }

  DWORD owner = 0;                            // owning thread id, 0 when free
  std::shared_ptr<LocalThread> owner_object;  // its object, to see it end
  DWORD count = 0;                            // recursion count of the owner
  std::unique_ptr<MutexLockFile> lock_file;   // named mutexes: the cross-process lock
};

// ---- Waits -----------------------------------------------------------------------

// How often a wait looks again at objects that another process may free.
constexpr std::chrono::milliseconds kPollInterval{5};

// Takes the objects when the wait is satisfied; returns the wait result or
// WAIT_TIMEOUT when it is not.
DWORD TrySatisfyLocked(std::shared_ptr<KernelObject>* objects, DWORD count, bool wait_all,
                       DWORD thread_id) {
  if (!wait_all) {
    for (DWORD i = 0; i < count; ++i) {
      if (objects[i]->IsSignaledLocked(thread_id))
        return (objects[i]->AcquireLocked(thread_id) ? WAIT_ABANDONED : WAIT_OBJECT_0) + i;
    }
    return WAIT_TIMEOUT;
  }
  for (DWORD i = 0; i < count; ++i)
    if (!objects[i]->IsSignaledLocked(thread_id)) return WAIT_TIMEOUT;
  DWORD result = WAIT_OBJECT_0;
  for (DWORD i = 0; i < count; ++i) {
    if (objects[i]->AcquireLocked(thread_id) && result == WAIT_OBJECT_0)
      result = WAIT_ABANDONED + i;
  }
  return result;
}

}  // namespace

DWORD NewThreadId() {
  DWORD id = g_next_thread_id.fetch_add(1);
  while (id == 0) id = g_next_thread_id.fetch_add(1);  // after 2^32 ids
  return id;
}

std::shared_ptr<KernelObject> CurrentThreadObject() {
  ThreadRecord* record = CurrentRecord();
  if (!record) return nullptr;
  return record->object;
}

}  // namespace platform

using platform::DispatcherLock;
using platform::DispatcherWake;

// ---- Threads -----------------------------------------------------------------------

HANDLE CreateThread(void* security, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD thread_id) {
  using platform::ThreadRecord;
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  platform::RecordKey();  // made before the thread needs it
  ThreadRecord* record = new (std::nothrow) ThreadRecord;
  auto* block = new (std::nothrow) platform::StartBlock{record, start, parameter};
  if (record) record->object = platform::MakeNoThrow<platform::LocalThread>(platform::NewThreadId());
  if (!record || !block || !record->object) {
    delete record;
    delete block;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  record->object->suspend_count = (flags & CREATE_SUSPENDED) ? 1 : 0;
  const DWORD id = record->object->ThreadId();
  HANDLE h = platform::AllocHandle(record->object);
  if (!h) {
    delete record;
    delete block;
    return nullptr;
  }

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stack_size > 0) {
    SIZE_T size = std::max<SIZE_T>(stack_size, PTHREAD_STACK_MIN);
    pthread_attr_setstacksize(&attr, size);
  }
  pthread_t thread;
  int rc = pthread_create(&thread, &attr, platform::ThreadMain, block);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    platform::FreeHandle(h);
    delete record;
    delete block;
    SetLastError(rc == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : platform::ErrorFromErrno(rc));
    return nullptr;
  }
  if (thread_id) *thread_id = id;
  return h;
}

DWORD ResumeThread(HANDLE thread) {
  auto object = platform::LookupHandleAs<platform::ThreadHandleObject>(thread);
  if (!object) return static_cast<DWORD>(-1);
  return object->Resume();
}

void ExitThread(DWORD exit_code) {
  if (platform::ThreadRecord* record = platform::CurrentRecord()) record->exit_code = exit_code;
  pthread_exit(nullptr);
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exit_code) {
  auto object = platform::LookupHandleAs<platform::ThreadHandleObject>(thread);
  if (!object) return FALSE;
  if (!exit_code) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *exit_code = object->ExitCode();
  return TRUE;
}

DWORD GetCurrentThreadId() {
  platform::CurrentRecord();  // so that the thread's end is seen
  return platform::CurrentId();
}

DWORD GetThreadId(HANDLE thread) {
  auto object = platform::LookupHandleAs<platform::ThreadHandleObject>(thread);
  return object ? object->ThreadId() : 0;
}

HANDLE GetCurrentThread() { return platform::CurrentThreadPseudoHandle(); }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  if (milliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

BOOL SwitchToThread() {
  sched_yield();
  return TRUE;
}

// ---- Critical sections -------------------------------------------------------------

namespace {

struct SectionLock {
  std::mutex mutex;  // held while some thread owns the section
};

SectionLock* LockOf(CRITICAL_SECTION* cs) {
  if (!cs) return nullptr;
  return static_cast<SectionLock*>(__atomic_load_n(&cs->LockImpl, __ATOMIC_ACQUIRE));
}

DWORD OwnerOf(CRITICAL_SECTION* cs) { return __atomic_load_n(&cs->OwningThread, __ATOMIC_RELAXED); }

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* cs) {
  InitializeCriticalSectionAndSpinCount(cs, 0);
}

BOOL InitializeCriticalSectionAndSpinCount(CRITICAL_SECTION* cs, DWORD spin_count) {
  if (!cs) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  cs->OwningThread = 0;
  cs->RecursionCount = 0;
  cs->SpinCount = spin_count;
  SectionLock* lock = new (std::nothrow) SectionLock;
  __atomic_store_n(&cs->LockImpl, lock, __ATOMIC_RELEASE);
  if (!lock) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}

void DeleteCriticalSection(CRITICAL_SECTION* cs) {
  SectionLock* lock = LockOf(cs);
  if (!lock) return;
  DWORD owner = OwnerOf(cs);
  if (owner == GetCurrentThreadId()) {
    lock->mutex.unlock();
    owner = 0;
  }
  // A section that another thread still holds cannot be destroyed safely; its
  // lock is left behind instead.
  if (owner == 0) delete lock;
  cs->LockImpl = nullptr;
  cs->OwningThread = 0;
  cs->RecursionCount = 0;
  cs->SpinCount = 0;
}

void EnterCriticalSection(CRITICAL_SECTION* cs) {
  SectionLock* lock = LockOf(cs);
  if (!lock) return;
  const DWORD me = GetCurrentThreadId();
  if (OwnerOf(cs) == me) {
    ++cs->RecursionCount;
    return;
  }
  lock->mutex.lock();
  __atomic_store_n(&cs->OwningThread, me, __ATOMIC_RELAXED);
  cs->RecursionCount = 1;
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs) {
  SectionLock* lock = LockOf(cs);
  if (!lock) return TRUE;
  const DWORD me = GetCurrentThreadId();
  if (OwnerOf(cs) == me) {
    ++cs->RecursionCount;
    return TRUE;
  }
  if (!lock->mutex.try_lock()) return FALSE;
  __atomic_store_n(&cs->OwningThread, me, __ATOMIC_RELAXED);
  cs->RecursionCount = 1;
  return TRUE;
}

void LeaveCriticalSection(CRITICAL_SECTION* cs) {
  SectionLock* lock = LockOf(cs);
  if (!lock) return;
  if (OwnerOf(cs) != GetCurrentThreadId()) return;
  if (--cs->RecursionCount > 0) return;
  __atomic_store_n(&cs->OwningThread, DWORD{0}, __ATOMIC_RELAXED);
  lock->mutex.unlock();
}

// ---- Events, semaphores, mutexes -------------------------------------------------

HANDLE CreateEventW(void* security, BOOL manual_reset, BOOL initial_state, LPCWSTR name) {
  return platform::CreateSync<platform::Event>(name, [&] {
    return platform::MakeNoThrow<platform::Event>(manual_reset != FALSE, initial_state != FALSE);
  });
}

HANDLE OpenEventW(DWORD access, BOOL inherit, LPCWSTR name) {
  return platform::OpenSync<platform::Event>(name);
}

namespace {

// Changes an event under the dispatcher lock and wakes the waiters.
template <class Change>
BOOL ChangeEvent(HANDLE event, Change change) {
  auto object = platform::LookupHandleAs<platform::Event>(event);
  if (!object) return FALSE;
  {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    change(*object);
  }
  DispatcherWake();
  return TRUE;
}

}  // namespace

BOOL SetEvent(HANDLE event) {
  return ChangeEvent(event, [](platform::Event& e) { e.signaled = true; });
}

BOOL ResetEvent(HANDLE event) {
  return ChangeEvent(event, [](platform::Event& e) { e.signaled = false; });
}

BOOL PulseEvent(HANDLE event) {
  return ChangeEvent(event, [](platform::Event& e) {
    e.signaled = false;
    // A release list never holds more entries than there are waiters, so
    // its room is reserved before any entry is added.
    for (DWORD waiter : e.waiters) {
      if (std::find(e.pulsed.begin(), e.pulsed.end(), waiter) != e.pulsed.end()) continue;
      if (e.pulsed.capacity() == e.pulsed.size()) {
        try {
          e.pulsed.reserve(e.waiters.size());
        } catch (const std::bad_alloc&) {
          return;
        }
      }
      e.pulsed.push_back(waiter);
      if (!e.manual) break;
    }
  });
}

HANDLE CreateSemaphoreW(void* security, LONG initial_count, LONG maximum_count, LPCWSTR name) {
  if (maximum_count <= 0 || initial_count < 0 || initial_count > maximum_count) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return platform::CreateSync<platform::Semaphore>(name, [&] {
    return platform::MakeNoThrow<platform::Semaphore>(initial_count, maximum_count);
  });
}

HANDLE OpenSemaphoreW(DWORD access, BOOL inherit, LPCWSTR name) {
  return platform::OpenSync<platform::Semaphore>(name);
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG release_count, LONG* previous_count) {
  auto object = platform::LookupHandleAs<platform::Semaphore>(semaphore);
  if (!object) return FALSE;
  if (release_count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    if (int64_t{object->count} + release_count > object->maximum) {
      SetLastError(ERROR_TOO_MANY_POSTS);
      return FALSE;
    }
    if (previous_count) *previous_count = object->count;
    object->count += release_count;
  }
  DispatcherWake();
  return TRUE;
}

HANDLE CreateMutexW(void* security, BOOL initial_owner, LPCWSTR name) {
  const DWORD me = GetCurrentThreadId();
  DWORD file_error = ERROR_SUCCESS;  // why the lock file could not be opened
  bool held_elsewhere = false;       // another process owns the name
  HANDLE handle = platform::CreateSync<platform::Mutex>(name, [&] {
    std::shared_ptr<platform::Mutex> mutex = platform::MakeNoThrow<platform::Mutex>();
    if (!mutex) return mutex;
    if (name && *name) {
      mutex->lock_file = platform::MutexLockFile::Open(name, &file_error);
      if (!mutex->lock_file) return std::shared_ptr<platform::Mutex>();
    }
    if (initial_owner) {
      std::lock_guard<std::mutex> guard(DispatcherLock());
      if (mutex->IsSignaledLocked(me))
        mutex->AcquireLocked(me);
      else
        held_elsewhere = true;
    }
    return mutex;
  });
  if (!handle && file_error != ERROR_SUCCESS) SetLastError(file_error);
  // As for a name that exists: the mutex is opened, not owned.
  if (handle && held_elsewhere) SetLastError(ERROR_ALREADY_EXISTS);
  return handle;
}

HANDLE OpenMutexW(DWORD access, BOOL inherit, LPCWSTR name) {
  return platform::OpenSync<platform::Mutex>(name);
}

BOOL ReleaseMutex(HANDLE mutex) {
  auto object = platform::LookupHandleAs<platform::Mutex>(mutex);
  if (!object) return FALSE;
  const DWORD me = GetCurrentThreadId();
  std::shared_ptr<platform::LocalThread> former_owner;  // dropped outside the lock
  {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    if (object->count == 0 || object->owner != me) {
      SetLastError(ERROR_NOT_OWNER);
      return FALSE;
    }
    if (--object->count == 0) {
      object->owner = 0;
      former_owner = std::move(object->owner_object);
      object->ReleaseLockFileLocked();
    }
  }
  DispatcherWake();
  return TRUE;
}

// ---- Waits -----------------------------------------------------------------------------

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                             DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::shared_ptr<platform::KernelObject> objects[MAXIMUM_WAIT_OBJECTS];
  for (DWORD i = 0; i < count; ++i) {
    objects[i] = platform::LookupHandle(handles[i]);
    if (!objects[i] || !objects[i]->IsWaitable()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    if (wait_all) {
      for (DWORD j = 0; j < i; ++j) {
        if (objects[j] == objects[i]) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return WAIT_FAILED;
        }
      }
    }
  }
  const DWORD me = GetCurrentThreadId();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);

  std::unique_lock<std::mutex> lock(DispatcherLock());
  DWORD added = 0;
  try {
    for (; added < count; ++added) objects[added]->AddWaiterLocked(me);
  } catch (const std::bad_alloc&) {
    for (DWORD i = 0; i < added; ++i) objects[i]->RemoveWaiterLocked(me);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return WAIT_FAILED;
  }
  DWORD result;
  for (;;) {
    result = platform::TrySatisfyLocked(objects, count, wait_all != FALSE, me);
    if (result != WAIT_TIMEOUT) break;
    // Objects another process may free are looked at again every few
    // milliseconds (never blocking on them).
    bool poll = false;
    for (DWORD i = 0; i < count; ++i) poll = objects[i]->PollLocked() || poll;
    const auto now = std::chrono::steady_clock::now();
    if (milliseconds != INFINITE && now >= deadline) break;
    if (poll) {
      const auto next = now + platform::kPollInterval;
      platform::DispatcherCondition().wait_until(
          lock, milliseconds != INFINITE && deadline < next ? deadline : next);
    } else if (milliseconds == INFINITE) {
      platform::DispatcherCondition().wait(lock);
    } else {
      platform::DispatcherCondition().wait_until(lock, deadline);
    }
  }
  for (DWORD i = 0; i < count; ++i) objects[i]->RemoveWaiterLocked(me);
  lock.unlock();  // the objects are released after the lock
  return result;
}

// ---- Thread-local slots ---------------------------------------------------------------

namespace {

struct TlsTable {
  std::mutex lock;                                             // serialises alloc and free
  std::atomic<bool> used[platform::kTlsSlots] = {};            // allocated slots
  std::atomic<uint32_t> generation[platform::kTlsSlots] = {};  // +1 on alloc and free
};

TlsTable& Tls() {
  static TlsTable* table = new TlsTable;  // lives to process exit
  return *table;
}

bool TlsIndexIsValid(DWORD index) {
  if (index < platform::kTlsSlots && Tls().used[index].load()) return true;
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

}  // namespace

DWORD TlsAlloc() {
  TlsTable& t = Tls();
  std::lock_guard<std::mutex> guard(t.lock);
  for (DWORD i = 0; i < platform::kTlsSlots; ++i) {
    if (!t.used[i]) {
      t.used[i] = true;
      t.generation[i].fetch_add(1);
      return i;
    }
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return TLS_OUT_OF_INDEXES;
}

BOOL TlsFree(DWORD index) {
  if (!TlsIndexIsValid(index)) return FALSE;
  TlsTable& t = Tls();
  std::lock_guard<std::mutex> guard(t.lock);
  t.used[index] = false;
  t.generation[index].fetch_add(1);
  return TRUE;
}

LPVOID TlsGetValue(DWORD index) {
  if (!TlsIndexIsValid(index)) return nullptr;
  SetLastError(ERROR_SUCCESS);
  platform::ThreadRecord* record = platform::t_record;
  if (!record || !record->tls) return nullptr;
  const platform::TlsCell& cell = record->tls[index];
  return cell.generation == Tls().generation[index].load() ? cell.value : nullptr;
}

BOOL TlsSetValue(DWORD index, LPVOID value) {
  if (!TlsIndexIsValid(index)) return FALSE;
  platform::ThreadRecord* record = platform::CurrentRecord();
  if (record && !record->tls)
    record->tls = static_cast<platform::TlsCell*>(
        std::calloc(platform::kTlsSlots, sizeof(platform::TlsCell)));
  if (!record || !record->tls) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  record->tls[index] = platform::TlsCell{Tls().generation[index].load(), value};
  return TRUE;
}
