// The handle table: closing, duplicating and the pseudo handles.
#include "platform/kernel/handles.h"

#include <gtest/gtest.h>

#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"

namespace {

TEST(HandlesTest, CloseAndDuplicate) {
  const size_t open_at_start = platform::OpenHandleCount();
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  HANDLE copy = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  EXPECT_NE(copy, event);
  EXPECT_EQ(platform::OpenHandleCount(), open_at_start + 2);

  // Both handles stand for one object, which outlives the first close.
  ASSERT_TRUE(CloseHandle(event));
  EXPECT_TRUE(SetEvent(copy));
  EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_OBJECT_0);

  // A closed handle is refused everywhere, also after new handles were made.
  HANDLE fresh = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_NE(fresh, event);  // never given out twice
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  // DUPLICATE_CLOSE_SOURCE moves the handle.
  HANDLE moved = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), copy, GetCurrentProcess(), &moved, 0, FALSE,
                              DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));
  EXPECT_FALSE(CloseHandle(copy));
  EXPECT_EQ(WaitForSingleObject(moved, 0), WAIT_OBJECT_0);

  HANDLE out = nullptr;
  EXPECT_FALSE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &out, 0, FALSE,
                               DUPLICATE_SAME_ACCESS));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(DuplicateHandle(GetCurrentProcess(), moved, GetCurrentProcess(), nullptr, 0,
                               FALSE, DUPLICATE_SAME_ACCESS));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  CloseHandle(moved);
  CloseHandle(fresh);
  EXPECT_EQ(platform::OpenHandleCount(), open_at_start);
}

TEST(HandlesTest, PseudoHandleOfTheThreadBecomesARealHandle) {
  HANDLE real = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &real,
                              0, FALSE, DUPLICATE_SAME_ACCESS));
  ASSERT_NE(real, GetCurrentThread());
  // Another thread sees this thread through it (the pseudo handle would
  // stand for the other thread itself).
  struct Probe {
    HANDLE target;
    DWORD id;
    DWORD wait;
  } probe = {real, 0, 0};
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* probe = static_cast<Probe*>(p);
        probe->id = GetThreadId(probe->target);
        probe->wait = WaitForSingleObject(probe->target, 10);
        return 0;
      },
      &probe, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  EXPECT_EQ(probe.id, GetCurrentThreadId());
  EXPECT_EQ(probe.wait, WAIT_TIMEOUT);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(real, &code));
  EXPECT_EQ(code, STILL_ACTIVE);

  // Pseudo handles are not in the table.
  EXPECT_FALSE(CloseHandle(GetCurrentThread()));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(real);
  CloseHandle(thread);
}

}  // namespace
