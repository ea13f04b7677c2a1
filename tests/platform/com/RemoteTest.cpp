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
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/remote.h"
#include "platform/kernel/channel.h"
#include "platform/kernel/state.h"
#include "tests/common/TestUtil.h"
#include "tests/platform/com/RemoteFixture.h"
#include "tests/platform/com/RemoteKindsFixture.h"

extern char** environ;

namespace {

using wutest::CLSID_RemoteTestStreams;

// A class this process serves to its child.
constexpr CLSID CLSID_RemoteHomeStream = {0x7E57C0E3, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 13}};

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
  // A proxy of the kinds class (once Stream() found the child serving).
  wutest::IRemoteKinds* Kinds() {
    wutest::RegisterKindsTable();
    wutest::IRemoteKinds* kinds = nullptr;
    EXPECT_EQ(CoCreateInstance(wutest::CLSID_RemoteTestKinds, nullptr, CLSCTX_LOCAL_SERVER,
                               wutest::IID_IRemoteKinds, reinterpret_cast<void**>(&kinds)),
              S_OK);
    return kinds;
  }
  DWORD Pid() const { return static_cast<DWORD>(pid_); }

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
      {"objects taken of no answer", le(6, 4) + le(1, 4), false, false},
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

// ---- Kinds of arguments ---------------------------------------------------------------------

// The child serves both classes; its kinds object through a proxy.
struct KindsServer {
  Server server;
  IStream* stream = server.Stream();  // waits for the child to publish
  wutest::IRemoteKinds* kinds = stream ? server.Kinds() : nullptr;
  ~KindsServer() {
    if (kinds) kinds->Release();
    if (stream) stream->Release();
  }
};

TEST(RemoteTest, TextsBstrsAndWindowsCrossChecked) {
  KindsServer child;
  ASSERT_TRUE(child.kinds);
  wutest::IRemoteKinds* k = child.kinds;
  struct EchoCase {
    const char16_t* in;
    LONG size;
    std::u16string out;  // what the buffer holds after ("~" untouched)
    HRESULT hr;
  } echoes[] = {
      {u"hello", 16, u"hello", S_OK},
      {u"hello", 3, u"he", S_FALSE},  // cut to fit, terminated
      {nullptr, 16, u"(null)", S_OK},  // NULL crosses as NULL
      {u"hello", 0, u"~", S_FALSE},    // no room: nothing written
      {u"hello", -1, u"~", E_INVALIDARG},  // refused before it crosses
  };
  for (const EchoCase& c : echoes) {
    SCOPED_TRACE(c.size);
    WCHAR buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), u'~');
    EXPECT_EQ(k->Echo(c.in, buffer, c.size), c.hr);
    EXPECT_EQ(std::u16string(buffer, c.out.size()), c.out);
    if (c.out != u"~") {
      EXPECT_EQ(buffer[c.out.size()], 0);
    }
  }

  BSTR names[3] = {};
  const DWORD ids[3] = {1, 0, 42};
  ASSERT_EQ(k->Names(ids, 3, names), S_OK);
  EXPECT_EQ(std::u16string(names[0]), u"#1");
  EXPECT_EQ(names[1], nullptr);
  EXPECT_EQ(std::u16string(names[2]), u"#42");
  for (BSTR b : names) SysFreeString(b);
  const DWORD bad[2] = {5, 99};
  EXPECT_EQ(k->Names(bad, 2, names), E_INVALIDARG);
  EXPECT_EQ(names[0], nullptr);  // a failed call gives nothing (the one made is freed there)
  EXPECT_EQ(k->Names(ids, -1, names), E_INVALIDARG);

  BSTR text = nullptr;
  ASSERT_EQ(k->Text(&text), S_OK);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(std::u16string(text, 3), std::u16string(u"a\0b", 3));
  SysFreeString(text);

  ULONGLONG seen = 77;
  DWORD caller = 0;
  int preset = 41;
  EXPECT_EQ(k->Window(reinterpret_cast<HWND>(0x1234), &seen, &caller, &preset), S_OK);
  EXPECT_EQ(seen, 0u);  // windows cross as null
  EXPECT_EQ(caller, GetCurrentProcessId());
  EXPECT_EQ(preset, 42);  // the preset crossed, and the answer came back
}

TEST(RemoteTest, FramesCrossWhole) {
  KindsServer child;
  ASSERT_TRUE(child.kinds);
  struct Case {
    LONG frames;
    HRESULT hr;
    LONG got;
  } cases[] = {
      {4, S_OK, 4},
      {0, S_OK, 0},
      {wutest::kFramesLie, E_UNEXPECTED, 0},  // a frame more than asked: nothing crosses
      {-1, E_INVALIDARG, -7},                 // refused before it crosses
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    std::vector<BYTE> buffer(32, 0xEE);
    LONG got = -7;
    EXPECT_EQ(child.kinds->Frames(buffer.data(), c.frames, &got), c.hr);
    EXPECT_EQ(got, c.got);
    size_t n = static_cast<size_t>(std::max<LONG>(c.got, 0)) * wutest::kFrameBytes;
    for (size_t k = 0; k < buffer.size(); ++k)
      EXPECT_EQ(buffer[k], k < n ? static_cast<BYTE>(k) : 0xEE) << k;
  }
}

TEST(RemoteTest, RecordsCrossWithinTheirStatedSizes) {
  KindsServer child;
  ASSERT_TRUE(child.kinds);
  wutest::IRemoteKinds* k = child.kinds;
  wutest::SizedRecord* made = nullptr;
  ASSERT_EQ(k->MakeRecord(16, &made), S_OK);
  ASSERT_TRUE(made);
  EXPECT_EQ(made->size, 16u);
  EXPECT_EQ(made->value, 7u);
  std::free(made);
  made = reinterpret_cast<wutest::SizedRecord*>(1);
  EXPECT_EQ(k->MakeRecord(0, &made), S_FALSE);
  EXPECT_EQ(made, nullptr);
  // A record stating more than a record may have never crosses.
  EXPECT_EQ(k->MakeRecord(wutest::kRecordTooLarge, &made), E_UNEXPECTED);
  EXPECT_EQ(made, nullptr);

  // Replaced: the caller's old record freed, the new one the caller's.
  auto* small = static_cast<wutest::SizedRecord*>(std::calloc(1, 8));
  small->size = 8;
  small->value = 3;
  ASSERT_EQ(k->Grow(&small), S_OK);
  EXPECT_EQ(small->size, 16u);
  EXPECT_EQ(small->value, 30u);
  // Changed in place: the same record.
  wutest::SizedRecord* kept = small;
  ASSERT_EQ(k->Grow(&small), S_OK);
  EXPECT_EQ(small, kept);
  EXPECT_EQ(small->value, 31u);
  std::free(small);

  // Sized by its own word: the callee writes no further than it says.
  wutest::SizedRecord inout = {12, 1, {}};
  std::memset(inout.rest, 0xEE, sizeof inout.rest);
  const wutest::SizedRecord in = {8, 5, {}};
  DWORD sum = 0;
  ASSERT_EQ(k->Fill(&inout, &in, &sum), S_OK);
  EXPECT_EQ(inout.value, 2u);
  EXPECT_EQ(inout.rest[3], 11);
  EXPECT_EQ(inout.rest[4], 0xEE);
  EXPECT_EQ(sum, 13u);
  ASSERT_EQ(k->Fill(nullptr, nullptr, &sum), S_OK);
  EXPECT_EQ(sum, 0u);
  inout.size = 4;  // below the record's least size
  EXPECT_EQ(k->Fill(&inout, &in, &sum), E_INVALIDARG);
}

TEST(RemoteTest, InterfacesCrossAndGoHome) {
  KindsServer child;
  ASSERT_TRUE(child.kinds);
  wutest::IRemoteKinds* k = child.kinds;
  IStream* stream = nullptr;
  ASSERT_EQ(k->NewStream(5, &stream), S_OK);
  ASSERT_TRUE(stream);
  EXPECT_EQ(platform::ComProxyProcessId(stream), child.server.Pid());
  EXPECT_EQ(platform::ComProxyProcessId(child.kinds), child.server.Pid());
  char bytes[8] = {};
  ULONG n = 0;
  stream->Seek(Li(0), STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(stream->Read(bytes, 8, &n), S_OK);
  EXPECT_EQ(std::string(bytes, n), "sssss");
  // The proxy goes back as the serving side's own object.
  IStream* back = nullptr;
  EXPECT_EQ(k->Bounce(stream, &back), S_OK);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Seek(Li(1), STREAM_SEEK_SET, nullptr), S_OK);
  back->Release();
  EXPECT_EQ(k->Bounce(nullptr, &back), S_FALSE);
  EXPECT_EQ(back, nullptr);
  // An object of this process does not cross.
  IStream* local = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &local), S_OK);
  EXPECT_EQ(platform::ComProxyProcessId(local), 0u);
  EXPECT_EQ(k->Bounce(local, &back), E_NOTIMPL);
  local->Release();
  EXPECT_EQ(stream->Release(), 0u);
}

// The class object of one stream of this process.
class OneStreamFactory final : public IClassFactory {
 public:
  explicit OneStreamFactory(IStream* stream) : stream_(stream) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    *object = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
    return *object ? S_OK : E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT CreateInstance(IUnknown*, REFIID iid, void** object) override {
    return stream_->QueryInterface(iid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  IStream* stream_;
};

// The child holds a proxy of a stream of this process, reached over its
// own connection to this one, and hands it back: it comes home as the
// stream itself, not as a proxy of the child's proxy.
TEST(RemoteTest, AnObjectOfTheCallerHandedBackComesHomeAsItself) {
  KindsServer child;
  ASSERT_TRUE(child.kinds);
  wutest::TestStream* mine = new wutest::TestStream();
  OneStreamFactory factory(mine);
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_RemoteHomeStream, &factory, CLSCTX_LOCAL_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  IStream* back = nullptr;
  ASSERT_EQ(child.kinds->Borrow(CLSID_RemoteHomeStream, &back), S_OK);
  EXPECT_EQ(back, static_cast<IStream*>(mine));
  EXPECT_EQ(platform::ComProxyProcessId(back), 0u);
  if (back) back->Release();
  // A proxy of the child's, held over another connection to it, crosses
  // as the child's own object (which is not the kinds object's stream).
  back = nullptr;
  EXPECT_EQ(child.kinds->Bounce(child.stream, &back), E_UNEXPECTED);
  EXPECT_EQ(back, nullptr);
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  // The child lets its proxy go: only this test's reference stays.
  for (int i = 0; i < 500 && mine->Refs() > 1; ++i) Sleep(10);
  EXPECT_EQ(mine->Release(), 0u);
}

// ---- Object code on serving threads --------------------------------------------------------

// What the stream's QueryInterface below calls back through, and saw.
wutest::IRemoteKinds* g_call_back_through = nullptr;
std::thread g_call_back;                    // the call back across
HRESULT g_called_back = E_FAIL;             // its result (E_ABORT: no answer within 5 s)
DWORD g_query_caller = 0;                   // the caller of the call it runs in

void CallBackAcross() {
  g_query_caller = platform::ComCallerProcessId();
  // The call waits on a thread of its own, 5 s at most: a reading thread
  // running this QueryInterface could not read the call's request.
  auto answered = std::make_shared<std::promise<HRESULT>>();
  std::future<HRESULT> result = answered->get_future();
  g_call_back = std::thread([answered] {
    WCHAR out[8];
    answered->set_value(g_call_back_through->Echo(u"back", out, 8));
  });
  g_called_back = result.wait_for(std::chrono::seconds(5)) == std::future_status::ready
                      ? result.get()
                      : E_ABORT;
}

// A stream of this process comes home through an operation, and asking it
// for its interface calls across the same connection before the operation
// runs: that runs on a serving thread, never on the reading one.
TEST(RemoteTest, QueryInterfaceOfAnObjectComingHomeMayCallAcross) {
  wutest::RegisterKindsTable();
  auto* factory = new wutest::KindsFactory();
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(wutest::CLSID_RemoteTestKinds, factory, CLSCTX_LOCAL_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  wutest::IRemoteKinds* k = nullptr;
  ASSERT_EQ(CoCreateInstance(wutest::CLSID_RemoteTestKinds, nullptr, CLSCTX_LOCAL_SERVER,
                             wutest::IID_IRemoteKinds, reinterpret_cast<void**>(&k)),
            S_OK);
  IStream* stream = nullptr;
  ASSERT_EQ(k->NewStream(2, &stream), S_OK);
  g_call_back_through = k;
  wutest::g_on_stream_query = CallBackAcross;
  IStream* back = nullptr;
  EXPECT_EQ(k->Bounce(stream, &back), S_OK);
  wutest::g_on_stream_query = nullptr;
  if (g_call_back.joinable()) g_call_back.join();
  EXPECT_EQ(g_called_back, S_OK);
  EXPECT_EQ(g_query_caller, GetCurrentProcessId());  // within the call it served
  if (back) back->Release();
  stream->Release();
  k->Release();
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  factory->Release();
}

// ---- Handles across processes -----------------------------------------------------------

TEST(RemoteTest, HandlesCrossOnlyWhereTheyAreDue) {
  std::string path = wutest::MakeTempDir("handles") + "/file.bin";
  wutest::WriteBytes(path, "0123456789");
  HANDLE file = CreateFileW(reinterpret_cast<LPCWSTR>(wutest::U16(path).c_str()), GENERIC_READ,
                            FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    KindsServer child;
    ASSERT_TRUE(child.kinds);
    wutest::IRemoteKinds* k = child.kinds;
    const DWORD me = GetCurrentProcessId();
    // The handle of a call in progress may be pulled by the callee...
    char head[8] = {};
    DWORD got = 0;
    ASSERT_EQ(k->ReadFile(file, me, 0, head, 4, &got), S_OK);
    EXPECT_EQ(std::string(head, got), "0123");
    // ...no other handle, and not from a process it has no call from.
    EXPECT_EQ(k->ReadFile(event, me, reinterpret_cast<ULONG_PTR>(file), head, 4, &got),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(k->ReadFile(file, 1, 0, head, 4, &got), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));

    // Copies pushed to the peer close only for their client, once.
    ULONGLONG copy = 0;
    ASSERT_EQ(platform::ComPushHandle(file, child.server.Pid(), &copy), ERROR_SUCCESS);
    EXPECT_NE(copy, 0u);
    DWORD count = 0;
    EXPECT_EQ(k->CloseCopy(0, &count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(k->CloseCopy(copy, &count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(k->CloseCopy(copy, &count), E_INVALIDARG);
    EXPECT_EQ(platform::ComPushHandle(event, child.server.Pid(), &copy), ERROR_INVALID_HANDLE);
    EXPECT_EQ(platform::ComPushHandle(file, 1, &copy), ERROR_ACCESS_DENIED);

    // Copies close when the connection they came over ends.
    ASSERT_EQ(platform::ComPushHandle(file, child.server.Pid(), &copy), ERROR_SUCCESS);
    ASSERT_EQ(platform::ComPushHandle(file, child.server.Pid(), &copy), ERROR_SUCCESS);
    EXPECT_EQ(k->CloseCopy(0, &count), S_OK);
    EXPECT_EQ(count, 2u);
    child.kinds->Release();
    child.kinds = nullptr;
    child.stream->Release();
    child.stream = nullptr;
    IStream* again = child.server.Stream();
    ASSERT_TRUE(again);
    wutest::IRemoteKinds* fresh = child.server.Kinds();
    ASSERT_TRUE(fresh);
    for (int i = 0; i < 500 && count; ++i) {
      EXPECT_EQ(fresh->CloseCopy(0, &count), S_OK);
      if (count) Sleep(10);
    }
    EXPECT_EQ(count, 0u);
    fresh->Release();
    again->Release();
  }
  CloseHandle(event);
  CloseHandle(file);
}

// ---- Malformed messages of every kind -------------------------------------------------------

std::string Le(ULONGLONG v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}
std::string Units(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), 2 * text.size());
}

// Requests no proxy writes, to the kinds object served by this process:
// each ends its connection, and so does a frame above the channel's bound.
TEST(RemoteTest, MalformedArgumentsOfEveryKindEndTheirConnection) {
  wutest::RegisterKindsTable();
  auto* factory = new wutest::KindsFactory();
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(wutest::CLSID_RemoteTestKinds, factory, CLSCTX_LOCAL_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  const std::string name = "com-7E57C0DF123456780102030405060709";
  const std::string iid(reinterpret_cast<const char*>(&wutest::IID_IRemoteKinds), sizeof(IID));
  // A request to the kinds object (id 1 stands for the id its creation answers).
  auto call = [&](DWORD operation, const std::string& args) {
    return Le(1, 4) + Le(2, 4) + Le(1, 8) + Le(operation, 4) + args;
  };
  std::string huge_record = Le(platform::kMaxChannelMessage / 2 + 8, 4);
  huge_record += Le(platform::kMaxChannelMessage / 2 + 8, 4) + Le(1, 4);
  huge_record.resize(4 + platform::kMaxChannelMessage / 2 + 8, '\0');
  struct Case {
    const char* what;
    std::string message;
    bool with_descriptor;
    bool answered;
  } cases[] = {
      {"a good text", call(3, Le(3, 4) + Units(u"ab") + Le(0, 2) + Le(16, 8)), false, true},
      {"an unterminated text", call(3, Le(2, 4) + Units(u"ab") + Le(16, 8)), false, false},
      {"a text past the message", call(3, Le(100, 4) + Units(u"ab") + Le(0, 2) + Le(16, 8)), false,
       false},
      {"a truncated request", call(3, Le(3, 4) + Units(u"ab")), false, false},
      {"an unknown object", Le(1, 4) + Le(2, 4) + Le(77777, 8) + Le(3, 4), false, false},
      {"an operation out of range", call(16, ""), false, false},
      {"an operation before the table", call(1, ""), false, false},
      {"a record whose size word disagrees",
       call(8, Le(12, 4) + Le(16, 4) + Le(1, 4) + Le(0, 4) + Le(0, 4)), false, false},
      {"a record below its least size", call(8, Le(4, 4) + Le(4, 4) + Le(0, 4)), false, false},
      {"a record above 32 MiB", call(8, huge_record + Le(0, 4)), false, false},
      {"an out buffer past the bound",
       call(11, Le(0, 8) + Le(0, 8) + Le(0, 8) + Le(0xFFFFFFFFu, 8)), false, false},
      {"a BSTR array past the bound", call(4, Le(4 * 5000, 4) + std::string(4 * 5000, '\1') + Le(5000, 8)),
       false, false},
      {"an element count that disagrees", call(4, Le(8, 4) + Le(0, 8) + Le(3, 8)), false, false},
      {"an interface of no object", call(10, Le(2, 4) + Le(99999, 8)), false, false},
      {"an interface tag no proxy sends", call(10, Le(1, 4) + Le(1, 8)), false, false},
      {"a descriptor where none is due", call(12, Le(0, 8)), true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto channel = platform::Channel::Connect(name, 2000);
    ASSERT_TRUE(channel);
    // The object first: creation answers id 1.
    ASSERT_EQ(channel->Send(Le(1, 4) + Le(1, 4) + Le(0, 8) + Le(3, 4) + Le(16, 8) + Le(16, 4) + iid),
              platform::ChannelResult::kOk);
    platform::ChannelMessage answer;
    ASSERT_EQ(channel->Receive(&answer, 10000), platform::ChannelResult::kOk);
    ASSERT_EQ(answer.bytes.substr(0, 12), Le(2, 4) + Le(1, 4) + Le(S_OK, 4));
    ASSERT_EQ(answer.bytes.size(), 20u);
    std::string message = c.message;
    if (message.substr(8, 8) == Le(1, 8)) message.replace(8, 8, answer.bytes.substr(12, 8));
    std::vector<int> fds;
    if (c.with_descriptor) fds.push_back(0);
    ASSERT_EQ(channel->Send(message, fds), platform::ChannelResult::kOk);
    platform::ChannelResult r = channel->Receive(&answer, 10000);
    if (c.answered) {
      ASSERT_EQ(r, platform::ChannelResult::kOk);
      EXPECT_EQ(answer.bytes.substr(0, 12), Le(2, 4) + Le(2, 4) + Le(S_OK, 4));
      EXPECT_EQ(answer.bytes.substr(12), Le(3, 4) + Units(u"ab") + Le(0, 2));
    } else {
      EXPECT_EQ(r, platform::ChannelResult::kClosed);
    }
  }
  // A frame stating more than a message may hold, written past the channel.
  {
    std::string path = platform::RuntimeDir() + "/" + name;
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a = {};
    a.sun_family = AF_UNIX;
    std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    std::string frame = "WUCH" + Le(platform::kMaxChannelMessage + 1, 4) + Le(0, 4) + "x";
    ASSERT_EQ(write(fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
    char byte;
    EXPECT_EQ(read(fd, &byte, 1), 0);  // closed without an answer
    close(fd);
  }
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  factory->Release();
}

// Answers no serving side writes, from a rogue server of the kinds class:
// each ends the connection, the call and later ones fail with
// RPC_E_DISCONNECTED, and nothing of the answer reaches the caller.
TEST(RemoteTest, MalformedAnswersEndTheConnectionAndLeaveTheCallerUntouched) {
  wutest::RegisterKindsTable();
  const std::string name = "com-7E57C0DF123456780102030405060709";
  using Calling = std::function<HRESULT(wutest::IRemoteKinds*)>;
  char head[8];
  WCHAR text[4];
  BSTR bstr = nullptr;
  wutest::SizedRecord* record = nullptr;
  IStream* stream = nullptr;
  ULONGLONG seen = 5;
  DWORD caller = 0;
  int preset = 1;
  Calling read = [&](wutest::IRemoteKinds* k) {
    DWORD got = 9;
    HRESULT hr = k->ReadFile(nullptr, 0, 0, head, 4, &got);
    EXPECT_EQ(got, 9u);
    return hr;
  };
  Calling echo = [&](wutest::IRemoteKinds* k) { return k->Echo(u"x", text, 4); };
  Calling window = [&](wutest::IRemoteKinds* k) { return k->Window(nullptr, &seen, &caller, &preset); };
  Calling frames = [&](wutest::IRemoteKinds* k) {
    LONG got = 9;
    HRESULT hr = k->Frames(head, 2, &got);  // 6 bytes of the 8
    EXPECT_EQ(got, 9);
    return hr;
  };
  const std::string ok = Le(S_OK, 4);
  struct Case {
    const char* what;
    Calling calling;
    std::string answer;  // after kind and call number
    bool with_descriptor;
    DWORD call;          // the call number answered
  } cases[] = {
      {"an out buffer overrun", read, ok + Le(8, 4) + "ABCDEFGH" + Le(8, 8), false, 2},
      {"more frames than asked", frames, ok + Le(9, 4) + "ABCDEFGHI" + Le(3, 8), false, 2},
      {"frames the count does not say", frames, ok + Le(6, 4) + "ABCDEF" + Le(1, 8), false, 2},
      {"bytes that are no whole frames", frames, ok + Le(4, 4) + "ABCD" + Le(1, 8), false, 2},
      {"an unterminated text", echo, ok + Le(2, 4) + Units(u"ab"), false, 2},
      {"a text beyond the room", echo, ok + Le(6, 4) + Units(u"abcde") + Le(0, 2), false, 2},
      {"a BSTR past the message", [&](wutest::IRemoteKinds* k) { return k->Text(&bstr); },
       ok + Le(100, 4) + "ab", false, 2},
      {"a record larger than it states",
       [&](wutest::IRemoteKinds* k) { return k->MakeRecord(16, &record); },
       ok + Le(16, 4) + Le(8, 4) + std::string(12, '\0'), false, 2},
      {"an interface tag no side sends",
       [&](wutest::IRemoteKinds* k) { return k->NewStream(1, &stream); }, ok + Le(7, 4) + Le(1, 8),
       false, 2},
      {"an object of the caller that is not there",
       [&](wutest::IRemoteKinds* k) { return k->NewStream(1, &stream); }, ok + Le(2, 4) + Le(55, 8),
       false, 2},
      {"a truncated answer", window, ok + Le(1, 8) + Le(1, 4), false, 2},
      {"trailing bytes", window, ok + Le(1, 8) + Le(1, 8) + Le(1, 8) + "x", false, 2},
      {"a descriptor with an answer", window, ok + Le(1, 8) + Le(1, 8) + Le(1, 8), true, 2},
      {"an answer to no call", window, ok + Le(1, 8) + Le(1, 8) + Le(1, 8), false, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto listener = platform::ChannelListener::Listen(name);
    ASSERT_TRUE(listener);
    bool closed = false;
    std::thread rogue([&] {
      auto channel = listener->Accept(10000);
      if (!channel) return;
      platform::ChannelMessage m;
      if (channel->Receive(&m, 10000) != platform::ChannelResult::kOk) return;
      channel->Send(Le(2, 4) + m.bytes.substr(4, 4) + Le(S_OK, 4) + Le(1, 8));  // object 1
      if (channel->Receive(&m, 10000) != platform::ChannelResult::kOk) return;
      std::vector<int> fds;
      if (c.with_descriptor) fds.push_back(0);
      channel->Send(Le(2, 4) + Le(c.call, 4) + c.answer, fds);
      closed = channel->Receive(&m, 10000) == platform::ChannelResult::kClosed;
    });
    wutest::IRemoteKinds* kinds = nullptr;
    ASSERT_EQ(CoCreateInstance(wutest::CLSID_RemoteTestKinds, nullptr, CLSCTX_LOCAL_SERVER,
                               wutest::IID_IRemoteKinds, reinterpret_cast<void**>(&kinds)),
              S_OK);
    std::memset(head, 0x5A, sizeof head);
    std::fill(std::begin(text), std::end(text), u'~');
    EXPECT_EQ(c.calling(kinds), RPC_E_DISCONNECTED);
    EXPECT_EQ(c.calling(kinds), RPC_E_DISCONNECTED);
    kinds->Release();
    rogue.join();
    EXPECT_TRUE(closed);
    EXPECT_EQ(head[0], 0x5A);
    EXPECT_EQ(text[0], u'~');
    EXPECT_EQ(bstr, nullptr);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(seen, 5u);
    EXPECT_EQ(preset, 1);
  }
}

}  // namespace
