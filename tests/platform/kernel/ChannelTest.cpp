// The connected channel: messages with descriptors both ways between two
// processes, several senders at once, bounds, bad frames from a raw peer,
// a peer that dies with its socket still open elsewhere, and endpoints left
// by processes that are gone.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/channel.h"
#include "platform/kernel/error.h"
#include "platform/kernel/state.h"
#include "platform/kernel/threads.h"
#include "tests/common/TestUtil.h"

extern char** environ;

namespace {

using platform::Channel;
using platform::ChannelListener;
using platform::ChannelMessage;
using platform::ChannelResult;

// The open descriptors of this process.
int OpenDescriptors() {
  int count = 0;
  DIR* d = opendir("/proc/self/fd");
  while (dirent* e = readdir(d)) count += e->d_name[0] != '.';
  closedir(d);
  return count - 1;  // the folder's own
}

// The child program running in `mode` against a fresh endpoint, accepted.
// Ends the child (and reaps it) when it goes.
class Peer {
 public:
  explicit Peer(const std::string& mode) {
    static int serial = 0;
    name_ = "ch-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    listener_ = ChannelListener::Listen(name_);
    EXPECT_TRUE(listener_) << GetLastError();
    if (!listener_) return;
    std::vector<std::string> args = {WU_CHANNEL_CHILD, mode, name_};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    channel = listener_->Accept(10000);
    EXPECT_TRUE(channel) << GetLastError();
    if (channel) {
      EXPECT_EQ(channel->PeerProcessId(), static_cast<DWORD>(pid_));
    }
  }
  ~Peer() {
    channel.reset();  // a grandchild holding the socket sees it close and ends
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // Its exit status, waiting for its end.
  int Status() {
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::unique_ptr<Channel> channel;

 private:
  std::string name_;
  std::unique_ptr<ChannelListener> listener_;
  pid_t pid_ = 0;
};

// A file under the state root holding `content`, opened for reading.
int FileWith(const std::string& content) {
  std::string path = wutest::MakeTempDir("chan") + "/f";
  wutest::WriteBytes(path, content);
  return open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

std::string ReadPipe(int fd) {
  std::string all;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) all.append(buffer, static_cast<size_t>(n));
  return all;
}

TEST(ChannelTest, CarriesMessagesAndDescriptorsBothWays) {
  Peer peer("echo");
  ASSERT_TRUE(peer.channel);
  int a = FileWith("first file");
  int b = FileWith(std::string("second\0file", 11));
  const int before = OpenDescriptors();
  // Every byte value, an empty payload, and two descriptors the peer reads.
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  ASSERT_EQ(peer.channel->Send(bytes, {a, b}), ChannelResult::kOk);
  ChannelMessage answer;
  ASSERT_EQ(peer.channel->Receive(&answer, 10000), ChannelResult::kOk) << GetLastError();
  EXPECT_EQ(answer.bytes, "echo:" + bytes + "|first file|" + std::string("second\0file", 11));
  ASSERT_EQ(answer.descriptors.size(), 1u);
  int piped = answer.TakeDescriptor(0);
  EXPECT_EQ(answer.TakeDescriptor(0), -1);
  EXPECT_EQ(fcntl(piped, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  EXPECT_EQ(ReadPipe(piped), "pipe:" + bytes);
  close(piped);

  ASSERT_EQ(peer.channel->Send("", {}), ChannelResult::kOk);
  ASSERT_EQ(peer.channel->Receive(&answer, 10000), ChannelResult::kOk);
  EXPECT_EQ(answer.bytes, "echo:");
  // The untaken pipe is closed with the message.
  answer = ChannelMessage();
  EXPECT_EQ(OpenDescriptors(), before);
  close(a);
  close(b);
}

TEST(ChannelTest, SeveralSendersEachMessageWhole) {
  Peer peer("echo");
  ASSERT_TRUE(peer.channel);
  constexpr int kThreads = 4, kEach = 25;
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        // Sizes past the socket's buffer, so messages are written in parts.
        std::string body(static_cast<size_t>(1000 + 30011 * i), static_cast<char>('a' + t));
        body = std::to_string(t) + ":" + std::to_string(i) + ":" + body;
        EXPECT_EQ(peer.channel->Send(body), ChannelResult::kOk);
      }
    });
  }
  std::map<std::string, int> seen;
  ChannelMessage answer;
  for (int n = 0; n < kThreads * kEach; ++n) {
    ASSERT_EQ(peer.channel->Receive(&answer, 20000), ChannelResult::kOk) << GetLastError();
    const std::string& b = answer.bytes;
    ASSERT_EQ(b.rfind("echo:", 0), 0u);
    size_t c1 = b.find(':', 5), c2 = b.find(':', c1 + 1);
    int t = std::stoi(b.substr(5, c1 - 5)), i = std::stoi(b.substr(c1 + 1, c2 - c1 - 1));
    EXPECT_EQ(b.size() - c2 - 1, static_cast<size_t>(1000 + 30011 * i));
    EXPECT_EQ(b.find_first_not_of(static_cast<char>('a' + t), c2 + 1), std::string::npos);
    ++seen[b.substr(5, c2 - 5)];
  }
  for (auto& s : senders) s.join();
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kEach));
}

TEST(ChannelTest, BoundsRefusedBeforeSendingAndTimeoutsKeepTheChannel) {
  Peer peer("echo");
  ASSERT_TRUE(peer.channel);
  ChannelMessage answer;
  EXPECT_EQ(peer.channel->Receive(&answer, 50), ChannelResult::kTimedOut);
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
  EXPECT_EQ(peer.channel->Send(std::string(platform::kMaxChannelMessage + 1, 'x')),
            ChannelResult::kRefused);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  std::vector<int> many(platform::kMaxChannelDescriptors + 1, 0);
  EXPECT_EQ(peer.channel->Send("x", many), ChannelResult::kRefused);
  EXPECT_EQ(peer.channel->Send("x", {100000}), ChannelResult::kRefused);  // not open
  // A message at the bound itself goes through.
  ASSERT_EQ(peer.channel->Send(std::string(platform::kMaxChannelMessage - 5, 'y')),
            ChannelResult::kOk);
  ASSERT_EQ(peer.channel->Receive(&answer, 30000), ChannelResult::kOk) << GetLastError();
  EXPECT_EQ(answer.bytes.size(), platform::kMaxChannelMessage);
  EXPECT_FALSE(peer.channel->IsClosed());
}

// Frames the platform never writes end the connection, and descriptors that
// came with them are closed.
TEST(ChannelTest, BadFramesEndTheChannelAndCloseTheirDescriptors) {
  for (const char* mode : {"truncated", "oversized", "extra"}) {
    SCOPED_TRACE(mode);
    const int before = OpenDescriptors();
    {
      Peer peer(mode);
      ASSERT_TRUE(peer.channel);
      const int with_channel = OpenDescriptors();
      ChannelMessage message;
      EXPECT_EQ(peer.channel->Receive(&message, 10000), ChannelResult::kClosed);
      EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
      EXPECT_TRUE(message.bytes.empty());
      EXPECT_TRUE(message.descriptors.empty());
      EXPECT_EQ(OpenDescriptors(), with_channel);
      // Later operations end at once, and the peer sees the close.
      EXPECT_EQ(peer.channel->Send("x"), ChannelResult::kClosed);
      EXPECT_EQ(peer.Status(), 0);
    }
    EXPECT_EQ(OpenDescriptors(), before);
  }
}

TEST(ChannelTest, DeadPeerEndsPendingAndLaterOperations) {
  Peer peer("die");
  ASSERT_TRUE(peer.channel);
  ChannelMessage message;
  std::thread second([&] {
    // A second receiver waits behind the first and ends too.
    ChannelMessage other;
    EXPECT_EQ(peer.channel->Receive(&other, INFINITE), ChannelResult::kClosed);
  });
  ASSERT_EQ(peer.channel->Send("call"), ChannelResult::kOk);
  // Its socket stays open in another process: only the watch can tell.
  EXPECT_EQ(peer.channel->Receive(&message, INFINITE), ChannelResult::kClosed);
  EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
  second.join();
  EXPECT_TRUE(peer.channel->IsClosed());
  EXPECT_EQ(peer.channel->Send("later"), ChannelResult::kClosed);
  EXPECT_EQ(peer.channel->Receive(&message, 0), ChannelResult::kClosed);
}

TEST(ChannelTest, CloseEndsAPendingReceiveAndThePeerSeesIt) {
  auto listener = ChannelListener::Listen("ch-close");
  ASSERT_TRUE(listener);
  auto client = Channel::Connect("ch-close", 1000);
  ASSERT_TRUE(client) << GetLastError();
  auto server = listener->Accept(1000);
  ASSERT_TRUE(server);
  EXPECT_EQ(server->PeerProcessId(), static_cast<DWORD>(getpid()));
  std::thread waiting([&] {
    ChannelMessage m;
    EXPECT_EQ(server->Receive(&m, INFINITE), ChannelResult::kClosed);
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  server->Close();
  waiting.join();
  ChannelMessage m;
  EXPECT_EQ(client->Receive(&m, 5000), ChannelResult::kClosed);
  EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);

  std::thread accepting([&] { EXPECT_FALSE(listener->Accept(INFINITE)); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  listener->Close();
  accepting.join();
}

TEST(ChannelTest, EndpointsOfTheUserOnlyAndStaleOnesReplaced) {
  const std::string path = platform::RuntimeDir() + "/ch-stale";
  {
    auto listener = ChannelListener::Listen("ch-stale");
    ASSERT_TRUE(listener);
    EXPECT_EQ(listener->Path(), path);
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Another listener under the name takes it over (the first one's
    // process would be gone).
    auto again = ChannelListener::Listen("ch-stale");
    ASSERT_TRUE(again);
    EXPECT_TRUE(Channel::Connect("ch-stale", 1000));
    // The first one's removal leaves the second's socket alone.
    listener.reset();
    EXPECT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(Channel::Connect("ch-stale", 1000));
  }
  // Removed with its listener; a missing endpoint is gone at once.
  bool gone = false;
  EXPECT_FALSE(Channel::Connect("ch-stale", 1000, &gone));
  EXPECT_TRUE(gone);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // A socket file nobody listens on is a dead process's: removed.
  ASSERT_TRUE(platform::MakeRuntimeDir());
  {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a = {};
    a.sun_family = AF_UNIX;
    std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    close(fd);
  }
  gone = false;
  EXPECT_FALSE(Channel::Connect("ch-stale", 1000, &gone));
  EXPECT_TRUE(gone);
  struct stat st;
  EXPECT_NE(lstat(path.c_str(), &st), 0);

  // Something that is no socket is refused and left alone.
  wutest::WriteBytes(path, "not a socket");
  gone = false;
  EXPECT_FALSE(Channel::Connect("ch-stale", 1000, &gone));
  EXPECT_FALSE(gone);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ChannelListener::Listen("ch-stale"));
  EXPECT_EQ(lstat(path.c_str(), &st), 0);
  unlink(path.c_str());
  EXPECT_FALSE(ChannelListener::Listen(std::string(200, 'n')));
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

}  // namespace
