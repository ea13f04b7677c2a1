// Waiting for handles from component code: results as status codes, and
// refused waits that take nothing.
#include <gtest/gtest.h>

#include <thread>

#include "platform/com/cowait.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/threads.h"

namespace {

// Two auto-reset events, closed at the end.
struct TwoEvents {
  HANDLE h[2] = {CreateEventW(nullptr, FALSE, FALSE, nullptr),
                 CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  ~TwoEvents() {
    CloseHandle(h[0]);
    CloseHandle(h[1]);
  }
  // Whether event i is still set (takes it if so).
  bool Taken(int i) { return WaitForSingleObject(h[i], 0) == WAIT_OBJECT_0; }
};

TEST(CoWaitTest, SignalledHandleGivesItsIndexAndTheLimitGivesCallPending) {
  TwoEvents e;
  DWORD index = 77;
  // Nothing set: the limit passes (0 and a short one), the index stays.
  EXPECT_EQ(CoWaitForMultipleHandles(0, 0, 2, e.h, &index), RPC_S_CALLPENDING);
  EXPECT_EQ(CoWaitForMultipleHandles(COWAIT_ALERTABLE, 20, 2, e.h, &index), RPC_S_CALLPENDING);
  EXPECT_EQ(index, 77u);

  SetEvent(e.h[1]);
  EXPECT_EQ(CoWaitForMultipleHandles(COWAIT_ALERTABLE, INFINITE, 2, e.h, &index), S_OK);
  EXPECT_EQ(index, 1u);
  EXPECT_FALSE(e.Taken(1));  // the wait took the auto-reset event

  // Wait for all: one set is not enough (and is not taken); both are.
  SetEvent(e.h[0]);
  EXPECT_EQ(CoWaitForMultipleHandles(COWAIT_WAITALL, 0, 2, e.h, &index), RPC_S_CALLPENDING);
  SetEvent(e.h[1]);
  index = 77;
  EXPECT_EQ(CoWaitForMultipleHandles(COWAIT_WAITALL, 0, 2, e.h, &index), S_OK);
  EXPECT_EQ(index, 0u);
  EXPECT_FALSE(e.Taken(0));
  EXPECT_FALSE(e.Taken(1));

  // A wait without a limit wakes when another thread sets the event.
  std::thread setter([&] {
    Sleep(10);
    SetEvent(e.h[0]);
  });
  EXPECT_EQ(CoWaitForMultipleHandles(COWAIT_ALERTABLE, INFINITE, 2, e.h, &index), S_OK);
  EXPECT_EQ(index, 0u);
  setter.join();
}

TEST(CoWaitTest, AbandonedMutexIsReportedWithItsIndex) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
  std::thread([&] { EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); }).join();
  DWORD index = 0;
  EXPECT_EQ(CoWaitForMultipleHandles(0, 0, 1, &mutex, &index), S_OK);
  EXPECT_EQ(index, WAIT_ABANDONED);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

TEST(CoWaitTest, BadArgumentsAreRefusedAndTakeNothing) {
  TwoEvents e;
  SetEvent(e.h[0]);
  HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  CloseHandle(closed);
  HANDLE with_closed[2] = {e.h[0], closed};
  HANDLE twice[2] = {e.h[0], e.h[0]};
  HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
  for (HANDLE& h : many) h = e.h[0];
  DWORD index = 77;
  struct Case {
    const char* name;
    DWORD flags;
    ULONG count;
    const HANDLE* handles;
    LPDWORD index;
  } cases[] = {
      {"no handle array", 0, 1, nullptr, &index},
      {"no index pointer", 0, 1, e.h, nullptr},
      {"count 0", 0, 0, e.h, &index},
      {"count above the maximum", 0, MAXIMUM_WAIT_OBJECTS + 1, many, &index},
      {"unknown flag", 0x8, 1, e.h, &index},
      {"closed handle after a signalled one, wait for all", COWAIT_WAITALL, 2, with_closed,
       &index},
      {"closed handle after a signalled one", 0, 2, with_closed, &index},
      {"one handle twice in a wait for all", COWAIT_WAITALL, 2, twice, &index},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CoWaitForMultipleHandles(c.flags, 0, c.count, c.handles, c.index), E_INVALIDARG);
    EXPECT_EQ(index, 77u);
  }
  EXPECT_TRUE(e.Taken(0));  // still set: no refused wait took it
}

}  // namespace
