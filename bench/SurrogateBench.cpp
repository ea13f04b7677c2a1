// Calls to a plug-in class hosted by the surrogate against the same call in
// process and against the machine's floor: a plain round trip of as many
// bytes over a Unix socket pair to a child process (a request the size of
// the surrogate's, answered with one the size of its answer). The class is fio_test_oop's
// reader (CheckPath compares the extension only, so the call is all
// transport). At the end the ratios are printed; the surrogate's goal is at
// most 2x the floor. Run: build/bench/surrogate_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "fileio/CWuFileIOManager.h"
#include "fileio/WuFioHostExports.h"
#include "fileio/WuFioPaths.h"
#include "platform/com/classfactory.h"
#include "platform/kernel/module.h"
#include "platform/kernel/state.h"
#include "tests/fileio/plugins/FioTestOop.h"

namespace {

constexpr char16_t kPath[] = u"/media/projects/2026/session-a/take-01.oop";

// A call's bytes over the channel: frame head 12; request kind, call
// number, object id and operation 20; the path as a 4-byte size and its
// UTF-16 text with the terminator. The answer: frame head 12, kind, call
// number and status 12.
constexpr size_t kRequestBytes = 12 + 20 + 4 + sizeof(kPath);
constexpr size_t kAnswerBytes = 12 + 12;

IWuReadFileClass* g_local = nullptr;   // the reader in this process
IWuReadFileClass* g_remote = nullptr;  // the reader in the surrogate (a blanket)

void InProcess(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(g_local->CheckPath(kPath));
}

void Surrogate(benchmark::State& state) {
  if (!g_remote) {
    state.SkipWithError("the class could not be created in the surrogate");
    return;
  }
  if (g_remote->CheckPath(kPath) != S_OK) {
    state.SkipWithError("CheckPath failed through the surrogate");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(g_remote->CheckPath(kPath));
}

bool Move(int fd, char* bytes, size_t n, bool out) {
  while (n) {
    ssize_t done = out ? write(fd, bytes, n) : read(fd, bytes, n);
    if (done <= 0) return false;
    bytes += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

// The echo runs in a child process, as the surrogate does.
void SocketFloor(benchmark::State& state) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    state.SkipWithError("no socket pair");
    return;
  }
  pid_t child = fork();
  if (child < 0) {
    state.SkipWithError("no child process");
    return;
  }
  if (child == 0) {
    close(fds[0]);
    std::vector<char> request(kRequestBytes), answer(kAnswerBytes, 'a');
    while (Move(fds[1], request.data(), request.size(), false) &&
           Move(fds[1], answer.data(), answer.size(), true)) {
    }
    _exit(0);
  }
  close(fds[1]);
  std::vector<char> request(kRequestBytes, 'r'), answer(kAnswerBytes);
  for (auto _ : state) {
    Move(fds[0], request.data(), request.size(), true);
    Move(fds[0], answer.data(), answer.size(), false);
  }
  close(fds[0]);
  waitpid(child, nullptr, 0);
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  // A run's time per iteration; with repetitions, their median.
  double Time(const std::string& name) const {
    auto it = times_.find(name + "_median");
    if (it == times_.end()) it = times_.find(name);
    return it == times_.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> times_;
};

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// The reader made straight from the plug-in's class factory.
IWuReadFileClass* LocalReader(HMODULE* module) {
  *module = LoadLibraryW(U16(FIO_TEST_OOP).c_str());
  if (!*module) return nullptr;
  typedef HRESULT (*GetClassObject)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(GetProcAddress(*module, "DllGetClassObject"));
  IClassFactory* factory = nullptr;
  if (!get || FAILED(get(fio_test::kOop, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
    return nullptr;
  IWuReadFileClass* reader = nullptr;
  factory->CreateInstance(nullptr, IID_IWuReadFileClass, reinterpret_cast<void**>(&reader));
  factory->Release();
  return reader;
}

}  // namespace

int main(int argc, char** argv) {
  WuFio_KeepHostExports();
  // A state root of its own, and a module folder whose configuration
  // forces fio_test_oop out of process.
  char root[] = "/tmp/wubench.XXXXXX";
  if (!mkdtemp(root)) return 2;
  setenv(platform::kStateRootVariable, root, 1);
  platform::ReloadStateRoot();
  std::ofstream(std::string(root) + "/oop.Fio2007-Config")
      << "[FileIO Plug-Ins]\noop=" << FIO_TEST_OOP << "\n[oop]\nForceOutOfProcess=1\n";
  WuFio_SetManagerModuleFolder(U16(root).c_str());

  HMODULE module = nullptr;
  g_local = LocalReader(&module);
  if (!g_local) {
    std::fprintf(stderr, "cannot load %s\n", FIO_TEST_OOP);
    return 2;
  }
  IWuFileIOMgrForApp* manager = nullptr;
  if (SUCCEEDED(WUFileIO_CreateInstance(&manager, WUFIO_CREATE_NO_CACHE_WRITE)))
    manager->GetReaderClassById(&g_remote, fio_test::kOopReader);

  benchmark::RegisterBenchmark("CheckPath/in_process", InProcess);
  benchmark::RegisterBenchmark("CheckPath/surrogate", Surrogate);
  benchmark::RegisterBenchmark("round_trip/socket_pair", SocketFloor);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double local = reporter.Time("CheckPath/in_process");
  const double remote = reporter.Time("CheckPath/surrogate");
  const double floor = reporter.Time("round_trip/socket_pair");
  if (remote > 0 && floor > 0 && local > 0) {
    std::printf("\ncalls per second: in process %.0f, surrogate %.0f, socket pair %.0f\n",
                1e9 / local, 1e9 / remote, 1e9 / floor);
    std::printf("surrogate / socket pair: %.2fx (goal: at most 2x)\n", remote / floor);
    std::printf("surrogate / in process:  %.0fx\n", remote / local);
  }
  if (g_remote) g_remote->Release();
  if (manager) manager->Release();
  g_local->Release();
  FreeLibrary(module);
  std::filesystem::remove_all(root);
  return 0;
}
