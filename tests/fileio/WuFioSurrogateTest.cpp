// The surrogate end to end: managers launching, reaching, sharing and
// leaving real FileIOSurrogate processes, with fio_test_oop forced out of
// process and the ErrorReport stand-in watching; the surrogate's own
// objects in process.
#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "fileio/WuFioSurrogate.h"
#include "foundation/WuErrorHandler.h"
#include "platform/com/remote.h"
#include "platform/com/com.h"
#include "platform/kernel/process.h"
#include "platform/kernel/state.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/time.h"
#include "tests/fileio/FioManagerFixture.h"
#include "tests/fileio/plugins/FioTestOop.h"

namespace fio_test {
namespace {

// Waits (at most 15 s) until no descendant process is left; true when none.
bool NoDescendantsLeft() {
  const ULONGLONG deadline = GetTickCount64() + 15000;
  while (!platform::DescendantProcessIds().empty()) {
    if (GetTickCount64() > deadline) return false;
    Sleep(20);
  }
  return true;
}

bool IsDescendant(DWORD pid) {
  std::vector<DWORD> all = platform::DescendantProcessIds();
  return std::find(all.begin(), all.end(), pid) != all.end();
}

class SurrogateTest : public FioManagerTest {
 protected:
  void SetUp() override {
    FioManagerTest::SetUp();
    ASSERT_TRUE(platform::DescendantProcessIds().empty());
    WriteConfig("oop.Fio2007-Config", {{"oop", PluginPath("fio_test_oop")}},
                "[oop]\nForceOutOfProcess=1\n");
  }

  void TearDown() override {
    WuFio_SetSurrogateFolder(nullptr);
    // Every surrogate ends by itself once its clients went; one that does
    // not is stopped so that no test leaves a process behind.
    bool clean = NoDescendantsLeft();
    for (DWORD pid : platform::DescendantProcessIds()) platform::KillProcessById(pid);
    EXPECT_TRUE(clean) << "a surrogate outlived its clients";
    if (errorReport_) FreeLibrary(errorReport_);
    FioManagerTest::TearDown();
  }

  // Loads the ErrorReport stand-in into this process.
  void WatchWithErrorReport() {
    errorReport_ = LoadLibraryW(U16(PluginPath("ErrorReport")).c_str());
    ASSERT_NE(errorReport_, nullptr);
    calls_ = reinterpret_cast<ErrorReportCallsFn>(GetProcAddress(errorReport_, "ErrorReport_Calls"));
    publishedAtStart_ = reinterpret_cast<ErrorReportPublishedAtStartFn>(
        GetProcAddress(errorReport_, "ErrorReport_PublishedAtStart"));
    ASSERT_TRUE(calls_ && publishedAtStart_);
  }

  // The process ids ErrorReport got: which 0 start, 1 stop.
  std::vector<DWORD> Calls(int which) const {
    DWORD pids[16] = {};
    int n = calls_(which, pids, 16);
    return std::vector<DWORD>(pids, pids + std::min(n, 16));
  }

  // The surrogate process a manager is connected to, 0 none.
  static DWORD SurrogateOf(IWuFileIOMgrForApp* app) {
    return WuFio_ManagerSurrogateProcessId(Impl(app));
  }

  // A manager over the configuration (whose forced-out library is probed
  // through the surrogate).
  IWuFileIOMgrForApp* Manager() {
    IWuFileIOMgrForApp* app = nullptr;
    EXPECT_EQ(WUFileIO_CreateInstance(&app, WUFIO_CREATE_NO_CACHE_WRITE), S_OK);
    return app;
  }

  // The first record of fio_test_oop's library in a manager.
  static WUFIO_PLUGIN_RECORD* OopRecord(IWuFileIOMgrForApp* app) {
    const std::u16string path = U16(PluginPath("fio_test_oop"));
    for (WUFIO_PLUGIN_RECORD* record : Records(app))
      if ((record->flags & WUFIO_PLUGIN_FIRST) && WuFio_ComparePaths(record->path, path.c_str()) == 0)
        return record;
    return nullptr;
  }

  HMODULE errorReport_ = nullptr;
  ErrorReportCallsFn calls_ = nullptr;
  ErrorReportPublishedAtStartFn publishedAtStart_ = nullptr;
};

// Two managers share one surrogate; ErrorReport hears of it once when it
// starts (before it runs) and once when the last manager leaves.
TEST_F(SurrogateTest, ManagersShareOneSurrogateWatchedOnce) {
  WatchWithErrorReport();
  IWuFileIOMgrForApp* first = Manager();
  ASSERT_NE(first, nullptr);
  const DWORD pid = WUFileIO_GetSurrogateProcessID();
  ASSERT_NE(pid, 0u);
  EXPECT_EQ(SurrogateOf(first), pid);
  EXPECT_EQ(platform::DescendantProcessIds(), std::vector<DWORD>{pid});

  IWuFileIOMgrForApp* second = Manager();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(SurrogateOf(second), pid);
  EXPECT_EQ(WUFileIO_GetSurrogateProcessID(), pid);
  EXPECT_EQ(platform::DescendantProcessIds(), std::vector<DWORD>{pid});
  EXPECT_EQ(Calls(0), std::vector<DWORD>{pid});
  EXPECT_EQ(publishedAtStart_(), 0) << "the surrogate ran before it was announced";

  // The surrogate answers its process id across the processes.
  IWuFileIOSurrogate* surrogate = nullptr;
  ASSERT_EQ(WuFio_ConnectSurrogate(Impl(second), &surrogate), S_OK);
  DWORD answered = 0;
  EXPECT_EQ(surrogate->GetProcessId(&answered), S_OK);
  EXPECT_EQ(answered, pid);
  // A handle that was never copied for this client is not closed.
  EXPECT_EQ(surrogate->CloseCopiedHandle(0x1234), E_INVALIDARG);
  surrogate->Release();

  first->Release();
  EXPECT_TRUE(Calls(1).empty());
  EXPECT_TRUE(IsDescendant(pid));
  second->Release();
  EXPECT_EQ(Calls(1), std::vector<DWORD>{pid});
  EXPECT_EQ(Calls(0).size(), 1u);
  EXPECT_TRUE(NoDescendantsLeft()) << "the surrogate stayed after its last client";
}

// Surrogates that publish late, never, or do not exist; each failure takes
// its count back, so the next manager launches anew.
TEST_F(SurrogateTest, LateNeverAndMissingSurrogates) {
  WatchWithErrorReport();
  const std::string missing = dir_ + "/no-surrogate-here";
  struct Case {
    const char* name;
    std::string folder;   // where the program is started from
    bool launched;        // ErrorReport hears of a start
    bool connected;       // the manager reaches it
  };
  const Case cases[] = {
      {"late", FIO_SURROGATE_LATE_DIR, true, true},
      {"never", FIO_SURROGATE_NEVER_DIR, true, false},
      {"missing", missing, false, false},
      {"next to the program", "", true, true},
  };
  size_t starts = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WuFio_SetSurrogateFolder(c.folder.empty() ? nullptr : U16(c.folder).c_str());
    IWuFileIOMgrForApp* app = Manager();
    ASSERT_NE(app, nullptr);
    if (c.launched) ++starts;
    EXPECT_EQ(Calls(0).size(), starts);
    if (c.connected) {
      EXPECT_EQ(SurrogateOf(app), Calls(0).back());
    } else {
      EXPECT_EQ(SurrogateOf(app), 0u);
    }
    // Without the surrogate the forced-out class is unusable.
    // Reached, the class lives there; else it is unusable.
    WUFIO_PLUGIN_RECORD* record = OopRecord(app);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->flags & (WUFIO_PLUGIN_IN_SURROGATE | WUFIO_PLUGIN_UNUSABLE),
              c.connected ? WUFIO_PLUGIN_IN_SURROGATE : WUFIO_PLUGIN_UNUSABLE);
    app->Release();
    // The one that never publishes ends by itself.
    EXPECT_TRUE(NoDescendantsLeft());
  }
}

// The surrogate killed: its proxies answer RPC_E_DISCONNECTED at once, a
// new manager cannot reach it and launches nothing while others are still
// connected; once every manager left, the next one launches a new one.
TEST_F(SurrogateTest, KilledSurrogateIsReplacedOnlyAfterEveryManagerLeft) {
  WatchWithErrorReport();
  IWuFileIOMgrForApp* first = Manager();
  ASSERT_NE(first, nullptr);
  const DWORD pid = SurrogateOf(first);
  ASSERT_NE(pid, 0u);
  ASSERT_TRUE(platform::KillProcessById(pid));
  ASSERT_TRUE(NoDescendantsLeft());

  IWuFileIOSurrogate* surrogate = nullptr;
  ASSERT_EQ(WuFio_ConnectSurrogate(Impl(first), &surrogate), S_OK);
  DWORD answered = 0;
  EXPECT_EQ(surrogate->GetProcessId(&answered), RPC_E_DISCONNECTED);
  surrogate->Release();

  IWuFileIOMgrForApp* second = Manager();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(SurrogateOf(second), 0u);
  ASSERT_NE(OopRecord(second), nullptr);
  EXPECT_TRUE(OopRecord(second)->flags & WUFIO_PLUGIN_UNUSABLE);
  EXPECT_EQ(Calls(0).size(), 1u);
  second->Release();
  first->Release();
  EXPECT_EQ(Calls(1), std::vector<DWORD>{pid});

  IWuFileIOMgrForApp* third = Manager();
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(Calls(0).size(), 2u);
  EXPECT_NE(SurrogateOf(third), 0u);
  EXPECT_NE(SurrogateOf(third), pid);
  third->Release();
}

// The endpoints published in this process's state root.
std::set<std::string> Endpoints() {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(platform::RuntimeDir(), error)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("com-", 0) == 0) names.insert(name);
  }
  return names;
}

// A surrogate nobody reaches ends by itself once its wait for a first
// client is over (30 s; 300 ms in this build), and its endpoints go.
// Endpoints that earlier tests of this process left (a killed serving
// child cannot remove its own) are not the surrogate's.
TEST_F(SurrogateTest, SurrogateWithoutClientsEndsAndLeavesNoEndpoint) {
  const std::set<std::string> before = Endpoints();
  std::u16string program = U16(std::string(FIO_SURROGATE_IDLE_DIR) + "/FileIOSurrogate.exe");
  std::u16string line = u"\"" + program + u"\" 1033";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info));
  CloseHandle(info.hThread);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  EXPECT_EQ(code, 0u) << "it did not publish its class";
  CloseHandle(info.hProcess);
  for (const std::string& name : Endpoints()) EXPECT_TRUE(before.count(name)) << name;
}

// A library built for another machine reaches the surrogate, cannot load
// there either, and ends unusable.
TEST_F(SurrogateTest, ForeignLibraryReachesTheSurrogateAndStaysUnusable) {
  std::string elf(64, '\0');
  const char head[] = {0x7F, 'E', 'L', 'F', 1, 1, 1, 0};
  elf.replace(0, sizeof head, head, sizeof head);
  elf[16] = 3;  // a shared object
  elf[18] = 3;  // machine: i386
  wutest::WriteBytes(dir_ + "/foreign.so", elf);
  WriteConfig("oop.Fio2007-Config", {{"foreign", "foreign"}});
  IWuFileIOMgrForApp* app = Manager();
  ASSERT_NE(app, nullptr);
  EXPECT_NE(SurrogateOf(app), 0u);
  std::vector<WUFIO_PLUGIN_RECORD*> records = Records(app);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->flags & (WUFIO_PLUGIN_FOREIGN | WUFIO_PLUGIN_UNUSABLE),
            WUFIO_PLUGIN_FOREIGN | WUFIO_PLUGIN_UNUSABLE);
  app->Release();
}

// A surrogate's own manager makes forced-out classes in its process and
// launches nothing.
TEST_F(SurrogateTest, SurrogateManagerCreatesInItsOwnProcess) {
  IWuFileIOMgrForApp* app = nullptr;
  WCHAR self[1024] = {};
  GetModuleFileNameW(nullptr, self, 1024);
  ASSERT_EQ(WUFileIO_CreateSurrogateManagerInstance(&app, WUFIO_CREATE_NO_SEARCH, nullptr, self),
            S_OK);
  tWULIST* list = nullptr;
  ASSERT_EQ(app->FindPlugins(&list, WUFIO_CREATE_NO_CACHE_WRITE, nullptr), S_OK);
  bool found = false;
  for (LONG i = 0; i < WuFio_PluginCount(list); ++i) {
    WUFIO_PLUGIN_RECORD* record = WuFio_PluginAt(list, i);
    if (!IsEqualGUID(record->classId, kOop)) continue;
    found = true;
    EXPECT_EQ(record->flags & (WUFIO_PLUGIN_FORCED_OUT | WUFIO_PLUGIN_UNUSABLE |
                               WUFIO_PLUGIN_IN_SURROGATE),
              WUFIO_PLUGIN_FORCED_OUT);
  }
  EXPECT_TRUE(found);
  WuFio_FreePluginList(list);
  EXPECT_TRUE(platform::DescendantProcessIds().empty());
  EXPECT_EQ(SurrogateOf(app), 0u);
  app->Release();
}

// The descriptors process `pid` holds open.
size_t OpenDescriptors(DWORD pid) {
  size_t n = 0;
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error))
    ++n;
  return n;
}

// fio_test_oop's classes made in a surrogate, used through their blankets.
class SurrogateClassTest : public SurrogateTest {
 protected:
  void SetUp() override {
    SurrogateTest::SetUp();
    if (HasFatalFailure()) return;
    samplePath_ = dir_ + "/take.oop";
    wutest::WriteBytes(samplePath_, "OOP1abcd and the rest of the file");
    app_ = Manager();
    ASSERT_NE(app_, nullptr);
    ASSERT_EQ(app_->GetReaderClassById(&reader_, kOopReader), S_OK);
  }
  void TearDown() override {
    if (reader_) reader_->Release();
    if (app_) app_->Release();
    SurrogateTest::TearDown();
  }

  HANDLE OpenSample() {
    return CreateFileW(U16(samplePath_).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  }

  std::string samplePath_;               // a file fio_test_oop accepts
  IWuFileIOMgrForApp* app_ = nullptr;
  IWuReadFileClass* reader_ = nullptr;   // the reader class, as the manager hands it out
};

// The class lives in the surrogate the manager launched: its record says
// so and the manager hands out a blanket, not the proxy itself.
TEST_F(SurrogateClassTest, ClassesLiveInTheSurrogate) {
  const DWORD pid = WUFileIO_GetSurrogateProcessID();
  ASSERT_NE(pid, 0u);
  WUFIO_PLUGIN_RECORD* record = OopRecord(app_);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->flags & (WUFIO_PLUGIN_IN_SURROGATE | WUFIO_PLUGIN_UNUSABLE),
            WUFIO_PLUGIN_IN_SURROGATE);
  EXPECT_EQ(platform::ComProxyProcessId(reader_), 0u) << "not wrapped in a blanket";
  LONGLONG where = 0;
  EXPECT_EQ(reader_->GetProperty(kOopProcessId, &where), S_OK);
  EXPECT_EQ(where, static_cast<LONGLONG>(pid));
  IWuRenderFileClass* renderer = nullptr;
  ASSERT_EQ(app_->GetRendererClassById(&renderer, kOopRenderer), S_OK);
  where = 0;
  EXPECT_EQ(renderer->GetProperty(kOopProcessId, &where), S_OK);
  EXPECT_EQ(where, static_cast<LONGLONG>(pid));
  renderer->Release();

  // Three threads at once through the same blanket.
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        LONGLONG value = 0;
        if (reader_->GetProperty(kOopProcessId, &value) != S_OK || value != pid) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

// Identification hands the surrogate's class a copy of the handle, made in
// its process, which the surrogate closes afterwards.
TEST_F(SurrogateClassTest, IdentificationUsesACopyThatIsClosedAfter) {
  const DWORD pid = WUFileIO_GetSurrogateProcessID();
  const size_t before = OpenDescriptors(pid);
  ASSERT_GT(before, 0u);
  HANDLE file = OpenSample();
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LONG key = -1, expected = -1;
  EXPECT_EQ(app_->IdentifyReader(file, U16(samplePath_).c_str(), &key, 0), S_OK);
  reader_->GetKey(&expected);
  EXPECT_EQ(key, expected);
  LONGLONG checked = 0;
  ASSERT_EQ(reader_->GetProperty(kOopLastChecked, &checked), S_OK);
  EXPECT_NE(checked, 0);
  EXPECT_NE(checked, static_cast<LONGLONG>(reinterpret_cast<ULONG_PTR>(file)));
  EXPECT_EQ(OpenDescriptors(pid), before);
  EXPECT_EQ(WuFio_CloseInSurrogate(Impl(app_), reinterpret_cast<HANDLE>(checked)), E_INVALIDARG);
  CloseHandle(file);
}

// Opening: the plug-in pulls the host's handle while Open is in progress
// and reads the file through it; a pull outside such a call is refused.
TEST_F(SurrogateClassTest, OpenPullsTheCallersHandleOnlyDuringTheCall) {
  IWuReadFile* file = nullptr;
  ASSERT_EQ(app_->OpenFile(U16(samplePath_).c_str(), &file, 0), S_OK);
  LONGLONG head = 0, pulled = -1;
  EXPECT_EQ(file->GetProperty(kOopFilePull, &pulled), S_OK);
  EXPECT_EQ(pulled, S_OK);
  EXPECT_EQ(file->GetProperty(kOopFileHead, &head), S_OK);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&head), 8), "OOP1abcd");
  file->Release();

  HANDLE mine = OpenSample();
  ASSERT_NE(mine, INVALID_HANDLE_VALUE);
  const LONGLONG ask = (static_cast<LONGLONG>(GetCurrentProcessId()) << 32) |
                       static_cast<LONGLONG>(reinterpret_cast<ULONG_PTR>(mine));
  EXPECT_EQ(reader_->SetProperty(kOopPull, ask),
            WuErrorHandler_TranslateWin32Error(ERROR_ACCESS_DENIED));
  CloseHandle(mine);
}

// The surrogate ending during a call, killed or by its plug-in: that call
// and later ones through the blankets answer RPC_E_DISCONNECTED at once.
TEST_F(SurrogateClassTest, SurrogateEndingMidCallDisconnects) {
  const DWORD pid = WUFileIO_GetSurrogateProcessID();
  HRESULT during = S_OK;
  std::thread call([&] { during = reader_->SetProperty(kOopSleep, 60000); });
  Sleep(200);  // the call is in the plug-in by now (or comes to a dead peer)
  ASSERT_TRUE(platform::KillProcessById(pid));
  call.join();
  EXPECT_EQ(during, RPC_E_DISCONNECTED);
  LONGLONG where = 0;
  EXPECT_EQ(reader_->GetProperty(kOopProcessId, &where), RPC_E_DISCONNECTED);
}

TEST_F(SurrogateClassTest, PlugInEndingItsProcessMidCallDisconnects) {
  EXPECT_EQ(reader_->SetProperty(kOopExit, 3), RPC_E_DISCONNECTED);
  LONGLONG where = 0;
  EXPECT_EQ(reader_->GetProperty(kOopProcessId, &where), RPC_E_DISCONNECTED);
}

// When the launched surrogate never publishes, the one that holds the
// plain id serves (here one started by hand, as another process would):
// the manager asks it for its process id, so that handles are copied to
// the process that hosts the classes.
TEST_F(SurrogateClassTest, PlainIdReachesAnotherSurrogate) {
  // The fixture's manager and its surrogate go first.
  reader_->Release();
  reader_ = nullptr;
  app_->Release();
  app_ = nullptr;
  ASSERT_TRUE(NoDescendantsLeft());

  WCHAR self[1024] = {};
  GetModuleFileNameW(nullptr, self, 1024);
  *WuGetFileNamePtrW(self) = 0;
  std::u16string program = std::u16string(self) + kWuFioSurrogateProgram;
  std::u16string line = u"\"" + program + u"\" 1033";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION other = {};
  ASSERT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &other));
  CloseHandle(other.hThread);
  // Until it publishes the plain id.
  const ULONGLONG deadline = GetTickCount64() + 10000;
  void* probe = nullptr;
  while (CoCreateInstance(CLSID_WuFileIOSurrogate, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                          &probe) == REGDB_E_CLASSNOTREG &&
         GetTickCount64() < deadline)
    Sleep(20);

  WuFio_SetSurrogateFolder(U16(FIO_SURROGATE_NEVER_DIR).c_str());
  app_ = Manager();
  ASSERT_NE(app_, nullptr);
  EXPECT_NE(WUFileIO_GetSurrogateProcessID(), other.dwProcessId);
  EXPECT_EQ(SurrogateOf(app_), other.dwProcessId);
  ASSERT_EQ(app_->GetReaderClassById(&reader_, kOopReader), S_OK);
  LONGLONG where = 0;
  EXPECT_EQ(reader_->GetProperty(kOopProcessId, &where), S_OK);
  EXPECT_EQ(where, static_cast<LONGLONG>(other.dwProcessId));
  HANDLE file = OpenSample();
  LONG key = -1;
  EXPECT_EQ(app_->IdentifyReader(file, U16(samplePath_).c_str(), &key, 0), S_OK);
  CloseHandle(file);
  reader_->Release();
  reader_ = nullptr;
  app_->Release();
  app_ = nullptr;
  EXPECT_EQ(WaitForSingleObject(other.hProcess, 10000), WAIT_OBJECT_0);
  CloseHandle(other.hProcess);
}

// What the surrogate serves, in process: each client's object creates and
// initialises classes through the surrogate's manager; the program hears
// of the first client and of the last one leaving.
class CountingHost final : public IWuFioSurrogateHost {
 public:
  void ClientCame() override { ++came; }
  void ClientLeft(bool last) override { lastLeft += last ? 1 : 0; }
  int came = 0;
  int lastLeft = 0;
};

TEST_F(SurrogateTest, ClientObjectsCreateClassesHere) {
  IWuFileIOMgrForApp* manager = nullptr;
  WCHAR self[1024] = {};
  GetModuleFileNameW(nullptr, self, 1024);
  ASSERT_EQ(WUFileIO_CreateSurrogateManagerInstance(&manager, WUFIO_CREATE_NO_SEARCH, nullptr,
                                                    self),
            S_OK);
  CountingHost host;
  IUnknown* classObject = nullptr;
  ASSERT_EQ(WuFio_NewSurrogateClassObject(manager, &host, &classObject), S_OK);
  manager->Release();
  IClassFactory* factory = nullptr;
  ASSERT_EQ(classObject->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  IWuFileIOSurrogate* a = nullptr;
  IWuFileIOSurrogate* b = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IWuFileIOSurrogate, reinterpret_cast<void**>(&a)),
            S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IWuFileIOSurrogate, reinterpret_cast<void**>(&b)),
            S_OK);
  EXPECT_EQ(host.came, 2);

  const std::u16string oop = U16(PluginPath("fio_test_oop"));
  struct Case {
    const char* name;
    std::u16string path;
    GUID clsid;
    IID iid;
    HRESULT expected;
  };
  const Case cases[] = {
      {"reader", oop, kOop, IID_IWuReadFileClass, S_OK},
      {"renderer", oop, kOop, IID_IWuRenderFileClass, S_OK},
      {"class the library lacks", oop, kBasicTst, IID_IWuReadFileClass, CLASS_E_CLASSNOTAVAILABLE},
      {"missing library", U16(dir_ + "/none.so"), kOop, IID_IWuReadFileClass, REGDB_E_CLASSNOTREG},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* made = nullptr;
    EXPECT_EQ(a->CreatePluginClass(c.path.c_str(), c.clsid, c.iid, &made), c.expected);
    if (c.expected != S_OK) {
      EXPECT_EQ(made, nullptr);
      continue;
    }
    ASSERT_NE(made, nullptr);
    LONGLONG pid = 0;
    if (IsEqualGUID(c.iid, IID_IWuReadFileClass))
      EXPECT_EQ(static_cast<IWuReadFileClass*>(made)->GetProperty(kOopProcessId, &pid), S_OK);
    else
      EXPECT_EQ(static_cast<IWuRenderFileClass*>(made)->GetProperty(kOopProcessId, &pid), S_OK);
    EXPECT_EQ(pid, static_cast<LONGLONG>(GetCurrentProcessId()));
    static_cast<IUnknown*>(made)->Release();
  }
  EXPECT_EQ(a->CloseCopiedHandle(0x10), E_INVALIDARG);
  DWORD pid = 0;
  EXPECT_EQ(a->GetProcessId(&pid), S_OK);
  EXPECT_EQ(pid, GetCurrentProcessId());

  a->Release();
  EXPECT_EQ(host.lastLeft, 0);
  b->Release();
  EXPECT_EQ(host.lastLeft, 1);
  factory->Release();
  classObject->Release();
}

}  // namespace
}  // namespace fio_test
