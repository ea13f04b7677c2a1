// Objects across processes: a class published by a child process and
// reached through a stream proxy, calls from several threads, the serving
// process dying mid-call, registrations and stale endpoints, and messages
// no proxy writes.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/remote.h"
#include "platform/kernel/channel.h"
#include "platform/kernel/state.h"
#include "tests/platform/com/RemoteFixture.h"

extern char** environ;

namespace {

using wutest::CLSID_RemoteTestStreams;

// The serving child, ended and reaped when it goes.
class Server {
 public:
  Server() {
    char* argv[] = {const_cast<char*>(WU_REMOTE_SERVER_CHILD), nullptr};
    EXPECT_EQ(posix_spawn(&pid_, argv[0], nullptr, nullptr, argv, environ), 0);
  }
  ~Server() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  // A stream proxy, once the child published its class (within 10 s).
  IStream* Stream() {
    for (int i = 0; i < 1000; ++i) {
      IStream* stream = nullptr;
      HRESULT hr = CoCreateInstance(CLSID_RemoteTestStreams, nullptr, CLSCTX_LOCAL_SERVER,
                                    IID_IStream, reinterpret_cast<void**>(&stream));
      if (SUCCEEDED(hr)) return stream;
      EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
      Sleep(10);
    }
    return nullptr;
  }

 private:
  pid_t pid_ = 0;
};

LARGE_INTEGER Li(LONGLONG v) {
  LARGE_INTEGER l;
  l.QuadPart = v;
  return l;
}

TEST(RemoteTest, StreamOperationsCrossToTheServingProcess) {
  Server server;
  IStream* stream = server.Stream();
  ASSERT_TRUE(stream);
  ULONG n = 0;
  EXPECT_EQ(stream->Write("hello world", 11, &n), S_OK);
  EXPECT_EQ(n, 11u);
  ULARGE_INTEGER at;
  EXPECT_EQ(stream->Seek(Li(-5), STREAM_SEEK_END, &at), S_OK);
  EXPECT_EQ(at.QuadPart, 6u);
  char buffer[32] = {};
  EXPECT_EQ(stream->Read(buffer, sizeof buffer, &n), S_OK);
  EXPECT_EQ(std::string(buffer, n), "world");
  // The serving stream's own errors come back as they are.
  EXPECT_EQ(stream->Seek(Li(-100), STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->SetSize(ULARGE_INTEGER{{3, 0}}), S_OK);
  STATSTG stat;
  std::memset(&stat, 0xAB, sizeof stat);
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, 3u);
  EXPECT_EQ(stat.type, STGTY_STREAM);
  EXPECT_EQ(stat.pwcsName, nullptr);
  // Null out pointers stay null; operations outside the table do not cross.
  EXPECT_EQ(stream->Seek(Li(0), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(stream->Read(buffer, 2, nullptr), S_OK);
  EXPECT_EQ(std::string(buffer, 2), "he");
  IStream* clone = nullptr;
  EXPECT_EQ(stream->Clone(&clone), E_NOTIMPL);
  EXPECT_EQ(stream->Commit(0), E_NOTIMPL);
  // A serving object that claims more than the buffer gives no more than it.
  n = 0;
  std::vector<char> big(wutest::kReadOverclaims + 16, 'z');
  EXPECT_EQ(stream->Read(big.data(), wutest::kReadOverclaims, &n), S_OK);
  EXPECT_EQ(n, wutest::kReadOverclaims);
  EXPECT_EQ(big[wutest::kReadOverclaims], 'z');
  EXPECT_EQ(stream->Release(), 0u);

  // An interface without a table does not cross.
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_RemoteTestStreams, nullptr, CLSCTX_LOCAL_SERVER,
                             IID_IClassFactory, &object),
            E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}

TEST(RemoteTest, CallsFromSeveralThreadsEachGetTheirOwnAnswer) {
  Server server;
  IStream* stream = server.Stream();
  ASSERT_TRUE(stream);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([stream, t] {
      for (int i = 0; i < 8; ++i) {
        // Each answer takes 20 ms and carries the call's own size and bytes.
        ULONG size = wutest::kReadPatternBase + static_cast<ULONG>(t * 10 + i);
        std::vector<BYTE> buffer(size + 1, 0xEE);
        ULONG n = 0;
        EXPECT_EQ(stream->Read(buffer.data(), size, &n), S_OK);
        EXPECT_EQ(n, size);
        EXPECT_EQ(buffer[0], static_cast<BYTE>(t * 10 + i));
        EXPECT_EQ(buffer[size - 1], static_cast<BYTE>(t * 10 + i));
        EXPECT_EQ(buffer[size], 0xEE);
      }
    });
  }
  for (auto& t : threads) t.join();
  stream->Release();
}

TEST(RemoteTest, DeadServerGivesDisconnectedAtOnce) {
  Server server;
  IStream* stream = server.Stream();
  ASSERT_TRUE(stream);
  IStream* second = server.Stream();
  ASSERT_TRUE(second);
  std::vector<char> buffer(wutest::kReadDies);
  EXPECT_EQ(stream->Read(buffer.data(), wutest::kReadDies, nullptr), RPC_E_DISCONNECTED);
  STATSTG stat;
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), RPC_E_DISCONNECTED);
  // Another connection to the same process ends too.
  EXPECT_EQ(second->Write("x", 1, nullptr), RPC_E_DISCONNECTED);
  stream->Release();
  second->Release();
  // The class is not served any more.
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_RemoteTestStreams, nullptr, CLSCTX_LOCAL_SERVER, IID_IStream,
                             &object),
            REGDB_E_CLASSNOTREG);
}

TEST(RemoteTest, RegistrationsRevokedRefusedAndStaleOnesReplaced) {
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_RemoteTestStreams, nullptr, CLSCTX_LOCAL_SERVER, IID_IStream,
                             &object),
            REGDB_E_CLASSNOTREG);
  auto* factory = new wutest::TestStreamFactory();
  DWORD cookie = 0, other = 0;
  EXPECT_EQ(CoRegisterClassObject(CLSID_RemoteTestStreams, factory, CLSCTX_INPROC_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            E_INVALIDARG);
  ASSERT_EQ(CoRegisterClassObject(CLSID_RemoteTestStreams, factory, CLSCTX_LOCAL_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  EXPECT_EQ(CoRegisterClassObject(CLSID_RemoteTestStreams, factory, CLSCTX_LOCAL_SERVER,
                                  REGCLS_MULTIPLEUSE, &other),
            CO_E_OBJISREG);
  // Served from this very process too; an in-process context does not reach it.
  IStream* stream = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_RemoteTestStreams, nullptr, CLSCTX_ALL, IID_IStream,
                             reinterpret_cast<void**>(&stream)),
            S_OK);
  EXPECT_EQ(stream->Write("abc", 3, nullptr), S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_RemoteTestStreams, nullptr, CLSCTX_INPROC_SERVER, IID_IStream,
                             &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
  // A connection made stays after the revocation.
  EXPECT_EQ(stream->Write("d", 1, nullptr), S_OK);
  stream->Release();
  EXPECT_EQ(CoCreateInstance(CLSID_RemoteTestStreams, nullptr, CLSCTX_LOCAL_SERVER, IID_IStream,
                             &object),
            REGDB_E_CLASSNOTREG);

  // The endpoint of a process that died without revoking is taken over.
  std::string name = "com-7E57C0DE123456780102030405060708";
  std::string path = platform::RuntimeDir() + "/" + name;
  ASSERT_TRUE(platform::MakeRuntimeDir());
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a = {};
  a.sun_family = AF_UNIX;
  std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  close(fd);
  ASSERT_EQ(CoRegisterClassObject(CLSID_RemoteTestStreams, factory, CLSCTX_LOCAL_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_RemoteTestStreams, nullptr, CLSCTX_LOCAL_SERVER, IID_IStream,
                             reinterpret_cast<void**>(&stream)),
            S_OK);
  stream->Release();
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  // Each served connection lets the class object go once its client closed.
  for (int i = 0; i < 500 && factory->Refs() > 1; ++i) Sleep(10);
  EXPECT_EQ(factory->Release(), 0u);
}

// Raw messages to a class served by this process: each bad one ends its
// connection, and the server goes on serving others.
TEST(RemoteTest, MalformedRequestsEndTheirConnectionOnly) {
  auto* factory = new wutest::TestStreamFactory();
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_RemoteTestStreams, factory, CLSCTX_LOCAL_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  const std::string name = "com-7E57C0DE123456780102030405060708";
  auto le = [](ULONGLONG v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
  };
  const std::string iid(reinterpret_cast<const char*>(&IID_IStream), sizeof(IID));
  // A creation request (object 0, operation 3) with `args`.
  auto create = [&](const std::string& args) {
    return le(1, 4) + le(1, 4) + le(0, 8) + le(3, 4) + args;
  };
  const std::string good = create(le(16, 8) + le(16, 4) + iid);
  struct Case {
    const char* what;
    std::string message;
    bool with_descriptor;
    bool answered;
  } cases[] = {
      {"a good request", good, false, true},
      {"truncated", good.substr(0, good.size() - 3), false, false},
      {"trailing bytes", good + "x", false, false},
      {"unknown object", le(1, 4) + le(1, 4) + le(99, 8) + le(3, 4), false, false},
      {"operation out of range", le(1, 4) + le(1, 4) + le(0, 8) + le(4, 4), false, false},
      {"in buffer and size disagree", create(le(16, 8) + le(8, 4) + iid.substr(0, 8)), false,
       false},
      {"buffer size past the message", create(le(16, 8) + le(1u << 30, 4) + iid), false, false},
      {"unknown kind", le(9, 4) + le(1, 4), false, false},
      {"answer to no call", le(2, 4) + le(5, 4) + le(0, 4), false, false},
      {"release of the class object", le(3, 4) + le(0, 4) + le(0, 8), false, false},
      {"a descriptor where none is due", good, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto channel = platform::Channel::Connect(name, 2000);
    ASSERT_TRUE(channel);
    std::vector<int> fds;
    if (c.with_descriptor) fds.push_back(0);
    ASSERT_EQ(channel->Send(c.message, fds), platform::ChannelResult::kOk);
    platform::ChannelMessage answer;
    platform::ChannelResult r = channel->Receive(&answer, 10000);
    if (c.answered) {
      ASSERT_EQ(r, platform::ChannelResult::kOk);
      EXPECT_EQ(answer.bytes.substr(0, 12), le(2, 4) + le(1, 4) + le(S_OK, 4));
    } else {
      EXPECT_EQ(r, platform::ChannelResult::kClosed);
    }
  }
  // Still serving.
  IStream* stream = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_RemoteTestStreams, nullptr, CLSCTX_LOCAL_SERVER, IID_IStream,
                             reinterpret_cast<void**>(&stream)),
            S_OK);
  stream->Release();
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  factory->Release();
}

}  // namespace
