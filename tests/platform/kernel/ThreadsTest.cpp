// Threads, events, semaphores, mutexes, waits, critical sections and
// thread-local slots.
#include "platform/kernel/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/kernel/handles.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Runs a callable on a thread made by CreateThread; the handle is returned.
template <class F>
HANDLE Start(F* f, DWORD flags = 0, DWORD* id = nullptr) {
  return CreateThread(nullptr, 0, [](LPVOID p) -> DWORD { return (*static_cast<F*>(p))(); }, f,
                      flags, id);
}

// Waits for a condition set by another thread (bounded, so a fault fails
// the test instead of hanging it).
template <class F>
bool Eventually(F condition) {
  for (int i = 0; i < 5000; ++i) {
    if (condition()) return true;
    Sleep(1);
  }
  return condition();
}

struct Unwound {
  bool* flag;
  ~Unwound() { *flag = true; }
};

void EndThreadFromDeepInside(bool* unwound) {
  Unwound guard{unwound};
  ExitThread(9);
}

TEST(ThreadsTest, ExitCodesIdsAndSuspendedStart) {
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD seen_id = 0;
  auto body = [&]() -> DWORD {
    seen_id = GetCurrentThreadId();
    WaitForSingleObject(gate, INFINITE);
    return 7;
  };
  DWORD id = 0;
  HANDLE thread = Start(&body, 0, &id);
  ASSERT_NE(thread, nullptr);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  SetEvent(gate);
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(seen_id, id);
  EXPECT_EQ(GetThreadId(thread), id);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(GetThreadId(GetCurrentThread()), GetCurrentThreadId());

  // ExitThread unwinds the stack and sets the code.
  bool unwound = false;
  auto exiting = [&]() -> DWORD {
    EndThreadFromDeepInside(&unwound);
    return 1;
  };
  HANDLE exited = Start(&exiting);
  ASSERT_EQ(WaitForSingleObject(exited, INFINITE), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(exited, &code));
  EXPECT_EQ(code, 9u);
  EXPECT_TRUE(unwound);

  // A suspended thread runs only after ResumeThread.
  std::atomic<bool> ran{false};
  auto suspended_body = [&]() -> DWORD {
    ran = true;
    return 0;
  };
  HANDLE suspended = Start(&suspended_body, CREATE_SUSPENDED);
  EXPECT_EQ(WaitForSingleObject(suspended, 50), WAIT_TIMEOUT);
  EXPECT_FALSE(ran);
  EXPECT_EQ(ResumeThread(suspended), 1u);
  ASSERT_EQ(WaitForSingleObject(suspended, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(ran);
  EXPECT_EQ(ResumeThread(suspended), 0u);

  for (HANDLE h : {gate, thread, exited, suspended}) CloseHandle(h);
}

TEST(ThreadsTest, ThreadsNotStartedByCreateThreadHaveStableIds) {
  DWORD first = 0, second = 0;
  std::thread other([&] {
    first = GetCurrentThreadId();
    second = GetCurrentThreadId();
  });
  other.join();
  EXPECT_NE(first, 0u);
  EXPECT_EQ(first, second);
  EXPECT_NE(first, GetCurrentThreadId());
  EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
}

TEST(ThreadsTest, ManualAndAutoResetEvents) {
  // Time-out on an event nobody sets.
  HANDLE idle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(WaitForSingleObject(idle, 60), WAIT_TIMEOUT);
  EXPECT_GE(MillisecondsSince(start), 55);

  for (BOOL manual : {TRUE, FALSE}) {
    SCOPED_TRACE(manual ? "manual reset" : "auto reset");
    HANDLE event = CreateEventW(nullptr, manual, FALSE, nullptr);
    std::atomic<int> released{0};
    auto waiter = [&]() -> DWORD {
      DWORD r = WaitForSingleObject(event, INFINITE);
      ++released;
      return r;
    };
    HANDLE a = Start(&waiter);
    HANDLE b = Start(&waiter);
    SetEvent(event);
    if (manual) {
      // Both waiters go, and the event stays signalled.
      HANDLE both[2] = {a, b};
      EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_OBJECT_0);
      EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
      ResetEvent(event);
      EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    } else {
      // One set releases exactly one waiter.
      ASSERT_TRUE(Eventually([&] { return released == 1; }));
      Sleep(30);
      EXPECT_EQ(released, 1);
      EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
      SetEvent(event);
      ASSERT_TRUE(Eventually([&] { return released == 2; }));
      EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    }
    HANDLE both[2] = {a, b};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_OBJECT_0);
    for (HANDLE h : {a, b, event}) CloseHandle(h);
  }
  CloseHandle(idle);
}

TEST(ThreadsTest, PulseReleasesWaitersAndLeavesTheEventReset) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_TRUE(PulseEvent(event));  // nobody waits: nothing stays signalled
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

  std::atomic<bool> released{false};
  auto waiter = [&]() -> DWORD {
    DWORD r = WaitForSingleObject(event, INFINITE);
    released = true;
    return r;
  };
  HANDLE thread = Start(&waiter);
  // The waiter may not be waiting yet when a pulse comes; pulse until it goes.
  ASSERT_TRUE(Eventually([&] {
    PulseEvent(event);
    return released.load();
  }));
  DWORD code = 1;
  WaitForSingleObject(thread, INFINITE);
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(thread);
  CloseHandle(event);
}

TEST(ThreadsTest, SemaphoreCountsAndLimits) {
  HANDLE sem = CreateSemaphoreW(nullptr, 2, 3, nullptr);
  ASSERT_NE(sem, nullptr);
  EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_TIMEOUT);

  LONG previous = -1;
  EXPECT_TRUE(ReleaseSemaphore(sem, 2, &previous));
  EXPECT_EQ(previous, 0);
  previous = -1;
  EXPECT_FALSE(ReleaseSemaphore(sem, 2, &previous));  // 2 + 2 > 3
  EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
  EXPECT_TRUE(ReleaseSemaphore(sem, 1, &previous));  // the failure changed nothing
  EXPECT_EQ(previous, 2);
  EXPECT_FALSE(ReleaseSemaphore(sem, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // A release from another thread wakes a waiter.
  HANDLE empty = CreateSemaphoreW(nullptr, 0, 1, nullptr);
  auto releaser = [&]() -> DWORD {
    Sleep(20);
    return ReleaseSemaphore(empty, 1, nullptr);
  };
  HANDLE thread = Start(&releaser);
  EXPECT_EQ(WaitForSingleObject(empty, INFINITE), WAIT_OBJECT_0);
  WaitForSingleObject(thread, INFINITE);

  struct {
    LONG initial, maximum;
  } bad[] = {{-1, 1}, {2, 1}, {0, 0}, {0, -5}};
  for (auto& b : bad) {
    SetLastError(0);
    EXPECT_EQ(CreateSemaphoreW(nullptr, b.initial, b.maximum, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << b.initial << "/" << b.maximum;
  }
  for (HANDLE h : {sem, empty, thread}) CloseHandle(h);
}

TEST(ThreadsTest, MutexOwnershipRecursionAndAbandonment) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);  // owner re-enters

  DWORD other_wait = 0;
  BOOL other_release = TRUE;
  DWORD other_error = 0;
  auto other = [&]() -> DWORD {
    other_wait = WaitForSingleObject(mutex, 0);
    other_release = ReleaseMutex(mutex);
    other_error = GetLastError();
    return 0;
  };
  HANDLE thread = Start(&other);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(other_wait, WAIT_TIMEOUT);
  EXPECT_FALSE(other_release);
  EXPECT_EQ(other_error, ERROR_NOT_OWNER);

  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);

  // A thread that ends while it owns the mutex abandons it.
  auto taker = [&]() -> DWORD { return WaitForSingleObject(mutex, INFINITE); };
  thread = Start(&taker);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(mutex));  // taken over normally
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));

  // A waiter blocked on the owner is woken by the owner's end.
  HANDLE owned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  auto holder = [&]() -> DWORD {
    WaitForSingleObject(mutex, INFINITE);
    SetEvent(owned);
    WaitForSingleObject(finish, INFINITE);
    return 0;
  };
  thread = Start(&holder);
  WaitForSingleObject(owned, INFINITE);
  EXPECT_EQ(WaitForSingleObject(mutex, 20), WAIT_TIMEOUT);
  SetEvent(finish);
  EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_ABANDONED);
  ReleaseMutex(mutex);
  for (HANDLE h : {thread, owned, finish, mutex}) CloseHandle(h);
}

TEST(ThreadsTest, WaitForManyObjectsOfMixedKinds) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE sem = CreateSemaphoreW(nullptr, 1, 1, nullptr);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
  HANDLE all[3] = {event, sem, mutex};

  // Wait for any: the first signalled object in array order, and only it.
  EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_TIMEOUT);
  ReleaseSemaphore(sem, 1, nullptr);

  // Wait for all takes nothing while one object is not signalled.
  EXPECT_EQ(WaitForMultipleObjects(3, all, TRUE, 30), WAIT_TIMEOUT);
  bool others_free = false;
  auto probe = [&]() -> DWORD {
    others_free = WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0;
    if (others_free) ReleaseMutex(mutex);
    return 0;
  };
  HANDLE thread = Start(&probe);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_TRUE(others_free);

  // ... and takes everything once another thread signals the last one.
  auto setter = [&]() -> DWORD {
    Sleep(20);
    return SetEvent(event);
  };
  thread = Start(&setter);
  EXPECT_EQ(WaitForMultipleObjects(3, all, TRUE, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(ReleaseMutex(mutex));  // owned by this thread now
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  // A thread handle among them: signalled when the thread ends.
  ResetEvent(event);
  auto quick = []() -> DWORD { return 0; };
  thread = Start(&quick);
  HANDLE pair[2] = {event, thread};
  EXPECT_EQ(WaitForMultipleObjects(2, pair, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
  CloseHandle(thread);

  // The calling thread's pseudo handle can be waited on (it never ends
  // while it waits).
  EXPECT_EQ(WaitForSingleObject(GetCurrentThread(), 10), WAIT_TIMEOUT);
  for (HANDLE h : {event, sem, mutex}) CloseHandle(h);
}

TEST(ThreadsTest, BadWaitsFail) {
  HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  CloseHandle(closed);
  HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
  for (HANDLE& h : many) h = event;
  HANDLE twice[2] = {event, event};
  HANDLE with_closed[2] = {event, closed};
  HANDLE null_handle = nullptr;
  HANDLE self = reinterpret_cast<HANDLE>(intptr_t{-1});  // GetCurrentProcess()
  struct Case {
    const char* what;
    DWORD count;
    const HANDLE* handles;
    BOOL wait_all;
    DWORD error;
  } cases[] = {
      {"no objects", 0, many, FALSE, ERROR_INVALID_PARAMETER},
      {"too many objects", MAXIMUM_WAIT_OBJECTS + 1, many, FALSE, ERROR_INVALID_PARAMETER},
      {"no array", 1, nullptr, FALSE, ERROR_INVALID_PARAMETER},
      {"one object twice in wait-all", 2, twice, TRUE, ERROR_INVALID_PARAMETER},
      {"closed handle", 2, with_closed, FALSE, ERROR_INVALID_HANDLE},
      {"null handle", 1, &null_handle, FALSE, ERROR_INVALID_HANDLE},
      {"current process", 1, &self, FALSE, ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, c.wait_all, 0), WAIT_FAILED) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  // The full count is allowed, and an object may appear twice in wait-any.
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
  CloseHandle(event);
}

TEST(ThreadsTest, NamedObjectsAreSharedByName) {
  // Two owners of one named semaphore, as two progress objects use it.
  SetLastError(12345);
  HANDLE first = CreateSemaphoreW(nullptr, 0, 1, u"WuArchive2.Semaphore");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  HANDLE second = CreateSemaphoreW(nullptr, 1, 5, u"WuArchive2.Semaphore");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_NE(first, second);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);  // first's count (0) holds
  EXPECT_TRUE(ReleaseSemaphore(first, 1, nullptr));
  EXPECT_FALSE(ReleaseSemaphore(second, 1, nullptr));  // first's maximum (1) holds
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);

  // The name belongs to a semaphore: other kinds are refused.
  EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, u"WuArchive2.Semaphore"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, u"WuArchive2.Semaphore"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE opened = OpenSemaphoreW(SEMAPHORE_ALL_ACCESS, FALSE, u"WuArchive2.Semaphore");
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(OpenSemaphoreW(SEMAPHORE_ALL_ACCESS, FALSE, u"wuarchive2.semaphore"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // The name is free once every handle is closed.
  for (HANDLE h : {first, second, opened}) CloseHandle(h);
  EXPECT_EQ(OpenSemaphoreW(SEMAPHORE_ALL_ACCESS, FALSE, u"WuArchive2.Semaphore"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, u"WuArchive2.Semaphore");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

  // A named event set through one handle is seen through another.
  HANDLE end = CreateEventW(nullptr, TRUE, FALSE, u"ArchiveEndEvent");
  HANDLE end_opened = OpenEventW(SYNCHRONIZE, FALSE, u"ArchiveEndEvent");
  ASSERT_NE(end_opened, nullptr);
  SetEvent(end_opened);
  EXPECT_EQ(WaitForSingleObject(end, 0), WAIT_OBJECT_0);

  // Creating an existing mutex with initial ownership does not take it.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, u"Local\\Talvene shared");
  HANDLE mutex2 = CreateMutexW(nullptr, TRUE, u"Local\\Talvene shared");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(ReleaseMutex(mutex2));

  std::u16string too_long(MAX_PATH + 1, u'n');
  EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, too_long.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  for (HANDLE h : {event, end, end_opened, mutex, mutex2}) CloseHandle(h);
}

TEST(ThreadsTest, CriticalSectionRecursionAndExclusion) {
  // A zero-filled record that was never initialised is a lock that does nothing.
  CRITICAL_SECTION zero;
  std::memset(&zero, 0, sizeof(zero));
  EnterCriticalSection(&zero);
  EXPECT_TRUE(TryEnterCriticalSection(&zero));
  LeaveCriticalSection(&zero);
  LeaveCriticalSection(&zero);
  DeleteCriticalSection(&zero);

  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EXPECT_TRUE(TryEnterCriticalSection(&cs));
  BOOL other_got_it = TRUE;
  auto try_from_other = [&]() -> DWORD {
    other_got_it = TryEnterCriticalSection(&cs);
    if (other_got_it) LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);  // not the owner: does nothing
    return 0;
  };
  HANDLE thread = Start(&try_from_other);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_FALSE(other_got_it);
  LeaveCriticalSection(&cs);
  thread = Start(&try_from_other);  // still held once
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_FALSE(other_got_it);
  LeaveCriticalSection(&cs);
  thread = Start(&try_from_other);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_TRUE(other_got_it);

  // Two threads adding under the section lose no update.
  int64_t total = 0;
  auto add = [&]() -> DWORD {
    for (int i = 0; i < 100000; ++i) {
      EnterCriticalSection(&cs);
      EnterCriticalSection(&cs);
      total = total + 1;
      LeaveCriticalSection(&cs);
      LeaveCriticalSection(&cs);
    }
    return 0;
  };
  HANDLE workers[2] = {Start(&add), Start(&add)};
  WaitForMultipleObjects(2, workers, TRUE, INFINITE);
  EXPECT_EQ(total, 200000);
  for (HANDLE h : workers) CloseHandle(h);

  DeleteCriticalSection(&cs);
  EXPECT_EQ(cs.LockImpl, nullptr);
  EnterCriticalSection(&cs);  // deleted: a no-op again
  LeaveCriticalSection(&cs);
}

TEST(ThreadsTest, ThreadLocalSlotsAreIsolated) {
  DWORD slot = TlsAlloc();
  ASSERT_NE(slot, TLS_OUT_OF_INDEXES);
  int mine = 1, theirs = 2;
  ASSERT_TRUE(TlsSetValue(slot, &mine));
  void* seen_before = &mine;
  void* seen_after = nullptr;
  auto other = [&]() -> DWORD {
    seen_before = TlsGetValue(slot);
    TlsSetValue(slot, &theirs);
    seen_after = TlsGetValue(slot);
    return 0;
  };
  HANDLE thread = Start(&other);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(seen_before, nullptr);
  EXPECT_EQ(seen_after, &theirs);
  SetLastError(99);
  EXPECT_EQ(TlsGetValue(slot), &mine);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

  // A freed slot given out again starts empty.
  ASSERT_TRUE(TlsFree(slot));
  EXPECT_EQ(TlsGetValue(slot), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  DWORD again = TlsAlloc();
  ASSERT_EQ(again, slot);  // the lowest free slot
  EXPECT_EQ(TlsGetValue(again), nullptr);
  EXPECT_FALSE(TlsFree(TLS_OUT_OF_INDEXES));
  EXPECT_FALSE(TlsSetValue(TLS_OUT_OF_INDEXES, &mine));
  TlsFree(again);
}

}  // namespace
