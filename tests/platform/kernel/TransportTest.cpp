// The local transport: framed requests and answers over sockets in the
// runtime folder, stale sockets of processes that are gone, callers that
// give up, and frames that are not ours.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/kernel/error.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/state.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/transport.h"
#include "tests/common/TestUtil.h"

namespace {

using platform::CallTransportEndpoint;
using platform::TransportListener;
using platform::TransportResult;

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// A raw connection to an endpoint, for frames the platform never writes.
int RawConnect(const std::string& name) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a = {};
  a.sun_family = AF_UNIX;
  std::string path = platform::TransportEndpointPath(name);
  std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  return fd;
}

TEST(TransportTest, AnswersRequestsAndRemovesItsSocketWhenStopped) {
  std::atomic<int> calls{0};
  auto listener = TransportListener::Start("t-echo-1", [&](const std::string& request) {
    ++calls;
    return "re:" + request;
  });
  ASSERT_TRUE(listener) << GetLastError();
  const std::string path = platform::TransportEndpointPath("t-echo-1");
  struct stat st;
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(path.rfind(platform::RuntimeDir() + "/", 0), 0u);

  // Bytes of every value, zeros included, and a large payload arrive whole.
  std::string binary("a\0b\xff\x01", 5);
  std::string large(0x8000, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7);
  for (const std::string& request : {std::string(), binary, large}) {
    std::string answer;
    ASSERT_EQ(CallTransportEndpoint("t-echo-1", request, &answer, 5000), TransportResult::kAnswered);
    EXPECT_EQ(answer, "re:" + request);
  }
  EXPECT_EQ(calls.load(), 3);

  // Only sockets with the prefix are listed.
  {
    FILE* f = fopen((platform::RuntimeDir() + "/t-echo-plain").c_str(), "w");
    ASSERT_TRUE(f);
    fclose(f);
  }
  std::vector<std::string> names = platform::ListTransportEndpoints("t-echo-");
  EXPECT_EQ(names, std::vector<std::string>{"t-echo-1"});

  listener.reset();
  EXPECT_FALSE(Exists(path));
  std::string answer = "stale";
  EXPECT_EQ(CallTransportEndpoint("t-echo-1", "x", &answer, 1000), TransportResult::kGone);
  EXPECT_TRUE(answer.empty());
}

TEST(TransportTest, SocketOfAProcessThatIsGoneIsRemoved) {
  // What a killed process leaves: a socket file nobody listens on.
  ASSERT_TRUE(platform::MakeRuntimeDir());
  const std::string path = platform::TransportEndpointPath("t-dead-1");
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a = {};
  a.sun_family = AF_UNIX;
  std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  close(fd);
  ASSERT_TRUE(Exists(path));
  EXPECT_EQ(platform::ListTransportEndpoints("t-dead-"), std::vector<std::string>{"t-dead-1"});

  std::string answer;
  EXPECT_EQ(CallTransportEndpoint("t-dead-1", "x", &answer, 1000), TransportResult::kGone);
  EXPECT_FALSE(Exists(path));

  // A new listener of a dead process's name replaces its socket.
  fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  close(fd);
  auto listener = TransportListener::Start("t-dead-1", [](const std::string&) { return std::string("up"); });
  ASSERT_TRUE(listener);
  EXPECT_EQ(CallTransportEndpoint("t-dead-1", "", &answer, 5000), TransportResult::kAnswered);
  EXPECT_EQ(answer, "up");
}

TEST(TransportTest, CallerGivesUpOnASlowHandler) {
  std::mutex lock;
  std::condition_variable cv;
  bool release = false;
  std::atomic<int> finished{0};
  auto listener = TransportListener::Start("t-slow-1", [&](const std::string& request) {
    if (request == "wait") {
      std::unique_lock<std::mutex> guard(lock);
      cv.wait(guard, [&] { return release; });
    }
    ++finished;
    return std::string("late");
  });
  ASSERT_TRUE(listener);
  std::string answer;
  EXPECT_EQ(CallTransportEndpoint("t-slow-1", "wait", &answer, 100), TransportResult::kTimedOut);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_TRUE(answer.empty());
  // Another caller is served while the first handler still waits.
  EXPECT_EQ(CallTransportEndpoint("t-slow-1", "now", &answer, 5000), TransportResult::kAnswered);
  EXPECT_EQ(answer, "late");
  {
    std::lock_guard<std::mutex> guard(lock);
    release = true;
  }
  cv.notify_all();
  // The stopped listener leaves the released handler to finish on its own.
  listener.reset();
  for (int i = 0; i < 500 && finished.load() < 2; ++i) usleep(10000);
  EXPECT_EQ(finished.load(), 2);
}

TEST(TransportTest, WaitForServedConnectionsIsBoundedAndSeesTheAnswerOut) {
  // What process exit relies on: the wait covers a connection whose
  // handler still runs, with the endpoint already gone, until its answer is
  // out; it gives up after its time; a handler's own connection is not
  // waited for.
  std::mutex lock;
  std::condition_variable cv;
  bool entered = false, release = false;
  std::atomic<int> own_wait{-1};
  auto listener = TransportListener::Start("t-drain-1", [&](const std::string& request) {
    if (request == "self") {
      own_wait = platform::WaitForTransportConnections(0) ? 1 : 0;
      return std::string("self");
    }
    std::unique_lock<std::mutex> guard(lock);
    entered = true;
    cv.notify_all();
    cv.wait(guard, [&] { return release; });
    return std::string("done");
  });
  ASSERT_TRUE(listener);
  std::string answer;
  EXPECT_EQ(CallTransportEndpoint("t-drain-1", "self", &answer, 5000), TransportResult::kAnswered);
  EXPECT_EQ(own_wait.load(), 1);

  TransportResult result = TransportResult::kFailed;
  std::thread caller([&] { result = CallTransportEndpoint("t-drain-1", "wait", &answer, 5000); });
  {
    std::unique_lock<std::mutex> guard(lock);
    cv.wait(guard, [&] { return entered; });
  }
  EXPECT_FALSE(platform::WaitForTransportConnections(50));
  listener.reset();
  {
    std::lock_guard<std::mutex> guard(lock);
    release = true;
  }
  cv.notify_all();
  EXPECT_TRUE(platform::WaitForTransportConnections(5000));
  caller.join();
  EXPECT_EQ(result, TransportResult::kAnswered);
  EXPECT_EQ(answer, "done");
}

TEST(TransportTest, CallersMeanwhileDoNotTakeAStartingListenerForADeadOne) {
  // A caller that reaches the endpoint's file while its listener starts
  // must not find it bound but refusing (what a dead process leaves) and
  // remove it: every listener started stays reachable.
  std::atomic<bool> stop{false};
  std::vector<std::thread> callers;
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([&] {
      std::string answer;
      while (!stop.load()) CallTransportEndpoint("t-start-1", "", &answer, 1000);
    });
  }
  const std::string path = platform::TransportEndpointPath("t-start-1");
  int lost = 0;
  for (int round = 0; round < 300; ++round) {
    auto listener = TransportListener::Start("t-start-1", [](const std::string&) { return std::string("up"); });
    if (!listener || !Exists(path)) ++lost;
  }
  stop = true;
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(lost, 0);
}

TEST(TransportTest, ForeignFramesAreDroppedUnread) {
  std::atomic<int> calls{0};
  auto listener = TransportListener::Start("t-frames-1", [&](const std::string&) {
    ++calls;
    return std::string("ok");
  });
  ASSERT_TRUE(listener);
  const std::string bad_frames[] = {
      std::string("XXXX\x01\x00\x00\x00!", 9),       // another magic
      std::string("WUTF\x01\x00\x10\x00", 8),        // over the size limit
      std::string("WUTF\x10\x00\x00\x00short", 13),  // cut off
  };
  for (const std::string& frame : bad_frames) {
    int fd = RawConnect("t-frames-1");
    ASSERT_EQ(write(fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
    shutdown(fd, SHUT_WR);
    char byte;
    EXPECT_LE(read(fd, &byte, 1), 0);  // closed (or reset) without an answer
    close(fd);
  }
  EXPECT_EQ(calls.load(), 0);
  std::string answer;
  EXPECT_EQ(CallTransportEndpoint("t-frames-1", "", &answer, 5000), TransportResult::kAnswered);
  EXPECT_EQ(calls.load(), 1);
}

TEST(TransportTest, RuntimeFolderGoesWithTheLastEndpointAndComesBack) {
  // A fresh state root of its own, so that the runtime folder starts absent.
  const std::string saved = wutest::StateRoot();
  setenv(platform::kStateRootVariable, wutest::MakeTempDir("root").c_str(), 1);
  platform::ReloadStateRoot();
  const std::string folder = platform::RuntimeDir();
  ASSERT_FALSE(Exists(folder));
  auto answer_nothing = [](const std::string&) { return std::string(); };

  auto first = TransportListener::Start("t-folder-1", answer_nothing);
  auto second = TransportListener::Start("t-folder-2", answer_nothing);
  ASSERT_TRUE(first && second);
  first.reset();
  EXPECT_TRUE(Exists(folder));  // still holds the second socket
  second.reset();
  EXPECT_FALSE(Exists(folder));

  // Whoever needs the folder next makes it again; a lock file keeps it.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, u"t-folder-mutex");
  EXPECT_TRUE(mutex);
  auto third = TransportListener::Start("t-folder-3", answer_nothing);
  EXPECT_TRUE(third);
  third.reset();
  EXPECT_TRUE(Exists(folder));
  if (mutex) CloseHandle(mutex);

  setenv(platform::kStateRootVariable, saved.c_str(), 1);
  platform::ReloadStateRoot();
}

TEST(TransportTest, NamesTooLongForASocketAreRefused) {
  std::string name(200, 'n');
  EXPECT_FALSE(TransportListener::Start(name, [](const std::string&) { return std::string(); }));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  std::string answer;
  EXPECT_EQ(CallTransportEndpoint(name, "", &answer, 100), TransportResult::kFailed);
}

}  // namespace
