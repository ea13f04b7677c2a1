// The manager's worker thread: posted calls run on the one worker, in order
// and one at a time, whatever threads post them.
#include "fileio/CWuFioCallThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/com/com.h"

namespace {

// What a posted call saw.
struct Probe {
  CWuFioCallThread* worker = nullptr;
  DWORD thread = 0;        // the thread it ran on
  int comInits = 0;        // the thread's COM initialisations
  DWORD innerThread = 0;   // the thread a nested call ran on
  HRESULT innerStatus = E_FAIL;
  HRESULT innerResult = E_FAIL;
};

HRESULT Record(void* data) {
  Probe* probe = static_cast<Probe*>(data);
  probe->thread = GetCurrentThreadId();
  probe->comInits = platform::ComInitCount();
  return 0x1234;
}

HRESULT RecordInner(void* data) {
  static_cast<Probe*>(data)->innerThread = GetCurrentThreadId();
  return 0x4321;
}

// A posted call that posts again, as a plug-in calling back into the
// manager while it is being loaded.
HRESULT PostAgain(void* data) {
  Probe* probe = static_cast<Probe*>(data);
  probe->thread = GetCurrentThreadId();
  probe->innerStatus = probe->worker->RunSync(&RecordInner, probe, &probe->innerResult);
  return S_OK;
}

TEST(CWuFioCallThreadTest, CallsRunOnTheWorkerAndNestedCallsRunInline) {
  CWuFioCallThread worker;
  EXPECT_FALSE(worker.Started());
  Probe probe;
  probe.worker = &worker;
  HRESULT result = E_FAIL;
  ASSERT_EQ(worker.RunSync(&Record, &probe, &result), S_OK);
  EXPECT_EQ(result, 0x1234);
  EXPECT_TRUE(worker.Started());
  EXPECT_NE(probe.thread, GetCurrentThreadId());
  EXPECT_EQ(probe.thread, worker.ThreadId());
  EXPECT_EQ(probe.comInits, 1);  // the worker is initialised for COM

  // Nested: the inner call runs on the worker itself instead of waiting on
  // it (which would never end).
  Probe nested;
  nested.worker = &worker;
  ASSERT_EQ(worker.RunSync(&PostAgain, &nested, &result), S_OK);
  EXPECT_EQ(nested.thread, worker.ThreadId());
  EXPECT_EQ(nested.innerStatus, S_OK);
  EXPECT_EQ(nested.innerResult, 0x4321);
  EXPECT_EQ(nested.innerThread, worker.ThreadId());

  worker.Stop();
  EXPECT_FALSE(worker.Started());
  EXPECT_EQ(worker.ThreadId(), 0u);
}

TEST(CWuFioCallThreadTest, StopBeforeStartOnlySetsTheFlag) {
  CWuFioCallThread worker;
  worker.Stop();
  EXPECT_TRUE(worker.StopRequested());
  EXPECT_FALSE(worker.Started());
  // A call after a stop starts a new worker, which runs it.
  Probe probe;
  HRESULT result = E_FAIL;
  ASSERT_EQ(worker.RunSync(&Record, &probe, &result), S_OK);
  EXPECT_EQ(result, 0x1234);
  EXPECT_EQ(probe.thread, worker.ThreadId());
  EXPECT_FALSE(worker.StopRequested());
}

HRESULT StopFromInside(void* data) {
  Probe* probe = static_cast<Probe*>(data);
  probe->thread = GetCurrentThreadId();
  probe->worker->Stop();  // cannot wait for itself: the worker ends after this call
  return 0x55;
}

TEST(CWuFioCallThreadTest, StopFromAPostedCallEndsTheWorkerAfterTheCall) {
  CWuFioCallThread worker;
  Probe probe;
  probe.worker = &worker;
  HRESULT result = E_FAIL;
  ASSERT_EQ(worker.RunSync(&StopFromInside, &probe, &result), S_OK);
  EXPECT_EQ(result, 0x55);
  EXPECT_TRUE(worker.StopRequested());
  // The next call gets a new worker rather than waiting on the ended one.
  Probe next;
  ASSERT_EQ(worker.RunSync(&Record, &next, &result), S_OK);
  EXPECT_EQ(result, 0x1234);
  EXPECT_NE(next.thread, probe.thread);
  EXPECT_EQ(next.thread, worker.ThreadId());
}

TEST(CWuFioCallThreadTest, BadArgumentsAreRefusedWithoutStarting) {
  CWuFioCallThread worker;
  Probe probe;
  HRESULT result = 77;
  EXPECT_EQ(worker.RunSync(nullptr, &probe, &result), E_INVALIDARG);
  EXPECT_EQ(worker.RunSync(&Record, &probe, nullptr), E_POINTER);
  EXPECT_EQ(result, 77);
  EXPECT_EQ(probe.thread, 0u);
  EXPECT_FALSE(worker.Started());
}

// One caller's call: its own number in, the number plus one out.
struct Call {
  std::atomic<int>* runs;
  int value;
};

HRESULT AddOne(void* data) {
  Call* call = static_cast<Call*>(data);
  call->runs->fetch_add(1);
  std::this_thread::yield();  // widen the window another caller could use
  return call->value + 1;
}

// Eight threads post at once: each gets its own result, every call runs
// exactly once, and the worker is started once.
TEST(CWuFioCallThreadTest, ConcurrentCallersEachGetTheirOwnResult) {
  CWuFioCallThread worker;
  constexpr int kThreads = 8;
  constexpr int kCalls = 1000;
  std::atomic<int> runs{0};
  std::atomic<int> wrong{0};
  std::atomic<int> failed{0};
  std::vector<DWORD> workerIds(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        Call call{&runs, t * 100000 + i};
        HRESULT result = 0;
        if (worker.RunSync(&AddOne, &call, &result) != S_OK) {
          failed.fetch_add(1);
        } else if (result != call.value + 1) {
          wrong.fetch_add(1);
        }
      }
      workerIds[t] = worker.ThreadId();
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(runs.load(), kThreads * kCalls);
  for (DWORD id : workerIds) EXPECT_EQ(id, workerIds[0]);
}

}  // namespace
