// sfx_bench: a self-extracting package run end to end, against a makeself
// package of the same payload and against the archive tool's plain
// extraction.
//
// The payload is the archive benchmark's mix (default about 200 MB: half
// incompressible data, 30% log-like text, the rest some 3,000 small files in
// 30 folders), made once in a temporary folder. Three wall times are taken,
// each a whole program run as a child process into a fresh folder:
//   - SfxPackageQuiet: "package.run -quiet -notemp" (start-up, control
//     archive, settings, the worker's extraction with CRC checks, clean-up);
//   - MakeselfExtract: the makeself package with "--noexec --target"
//     (extraction only; skipped when makeself is not installed);
//   - WuarcExtract: "wuarc extract" of the same "UM" archive.
// After the runs the ratios to the plain extraction are printed.
// Environment: SFX_BENCH_MB sets the payload size in MB.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchPayload.h"
#include "bench/BestTimes.h"

namespace fs = std::filesystem;

namespace {

void Put(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// The archive benchmark's mix, plus the setup program the package names.
void MakePayload(const fs::path& root, double megabytes) {
  for (const wubench::PayloadFile& f : wubench::MakePayload(megabytes)) Put(root / f.path, f.data);
  Put(root / "setup", "#!/bin/sh\nexit 0\n");
}

// Everything the runs share, made once.
struct Fixture {
  fs::path dir;        // the benchmark's temporary folder
  fs::path package;    // the "UM" package
  fs::path archive;    // the same payload as a plain archive
  fs::path makeself;   // the makeself package (empty when not available)
  bool ready = false;
};

int Shell(const std::string& command) { return std::system(command.c_str()); }

std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }

Fixture& Shared() {
  static Fixture f;
  if (f.ready) return f;
  const char* mbText = std::getenv("SFX_BENCH_MB");
  double mb = mbText ? std::atof(mbText) : 200.0;
  char pattern[] = "/tmp/sfxbench.XXXXXX";
  f.dir = mkdtemp(pattern);
  fs::path payload = f.dir / "payload";
  MakePayload(payload, mb);
  fs::create_directories(f.dir / "state");
  fs::create_directories(f.dir / "tmp");
  {
    std::ofstream ini(f.dir / "sfxinst.ini");
    ini << "[Vorlundage]\nSetupApp=setup\nName=Bench\nDefaultTarget=" << (f.dir / "out").string() << "\n";
  }
  f.archive = f.dir / "payload.ach";
  f.package = f.dir / "package.run";
  std::string wuarc = WUARC_PROGRAM;
  bool ok = Shell(wuarc + " create " + Q(f.dir / "sfxctrl.ach") + " -C " + Q(f.dir) + " sfxinst.ini >/dev/null") == 0 &&
            Shell(wuarc + " create " + Q(f.archive) + " -C " + Q(payload) + " '*.*' >/dev/null") == 0 &&
            Shell(wuarc + " package " + Q(f.package) + " --stub " + WUSFX_PROGRAM + " -C " + Q(payload) +
                  " '*.*' -C " + Q(f.dir) + " sfxctrl.ach >/dev/null") == 0;
  fs::permissions(f.package, fs::perms::owner_exec, fs::perm_options::add);
  if (Shell("command -v makeself >/dev/null 2>&1") == 0) {
    fs::path ms = f.dir / "makeself.run";
    if (Shell("makeself --quiet --nox11 " + Q(payload) + " " + Q(ms) + " bench ./setup >/dev/null 2>&1") == 0)
      f.makeself = ms;
  }
  f.ready = ok;
  return f;
}

// Runs `command` once per iteration into a fresh "out" folder.
void RunChild(benchmark::State& state, const std::string& name, const std::string& command) {
  Fixture& f = Shared();
  if (!f.ready || command.empty()) {
    state.SkipWithError("not available");
    return;
  }
  double best = 1e9;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(f.dir / "out");
    fs::remove_all(f.dir / "tmp");
    fs::create_directories(f.dir / "tmp");
    // Dirty pages of earlier runs are written back first, so that they do
    // not slow this run down.
    Shell("sync");
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    int status = Shell(command);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) state.SkipWithError("the run failed");
    best = std::min(best, seconds);
  }
  wubench::BestTimes()[name] = best;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(fs::file_size(f.archive)));
}

void SfxPackageQuiet(benchmark::State& state) {
  Fixture& f = Shared();
  RunChild(state, "package", "TMPDIR=" + Q(f.dir / "tmp") + " WU_STATE_ROOT=" + Q(f.dir / "state") + " " +
                                 Q(f.package) + " -quiet -notemp </dev/null");
}

void MakeselfExtract(benchmark::State& state) {
  Fixture& f = Shared();
  RunChild(state, "makeself",
           f.makeself.empty() ? std::string()
                              : Q(f.makeself) + " --noexec --nox11 --quiet --target " + Q(f.dir / "out") +
                                    " >/dev/null 2>&1");
}

void WuarcExtract(benchmark::State& state) {
  Fixture& f = Shared();
  RunChild(state, "wuarc", std::string(WUARC_PROGRAM) + " extract " + Q(f.archive) + " -d " + Q(f.dir / "out") +
                               " >/dev/null");
}

BENCHMARK(SfxPackageQuiet)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(MakeselfExtract)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(WuarcExtract)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  wubench::PrintBestTimes("wuarc", "wuarc extract");
  if (Shared().ready) fs::remove_all(Shared().dir);
  return 0;
}
