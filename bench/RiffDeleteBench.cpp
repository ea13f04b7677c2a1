// riff_bench: deleting a small chunk from the front of a large RIFF and
// RIFF64 file (the whole tail moves down), against cp of the same file in
// the same folder, the floor for reading and writing those bytes.
//
// The files (default 256 MB of data behind a few small chunks) are made
// once in a temporary folder; each run deletes the first small chunk, and
// the files are made again when none is left. Dirty pages of earlier runs
// are written back before each run. After the runs the best times and
// their ratios to cp are printed.
// Environment: RIFF_BENCH_MB sets the data size in MB.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchPayload.h"
#include "bench/BestTimes.h"
#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"

namespace fs = std::filesystem;

namespace {

// Small chunks in front of the data: one is deleted per run.
constexpr int kFrontChunks = 4;
const GUID kJunk64 = {0x6B6E756A, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
const GUID kData64 = {0x61746164, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};


std::string Le(uint64_t value, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(value >> (8 * i)));
  return s;
}
std::string GuidBytes(const GUID& g) {
  return Le(g.Data1, 4) + Le(g.Data2, 2) + Le(g.Data3, 2) +
         std::string(reinterpret_cast<const char*>(g.Data4), 8);
}

struct Fixture {
  fs::path dir;
  fs::path riff, w64, copy;
  uint64_t data_bytes = 0;
  int riff_left = 0;  // small chunks still in front of the data
  int w64_left = 0;
};

// Writes a header, then data_bytes of incompressible data.
void WriteFile(const fs::path& path, const std::string& header, uint64_t data_bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(header.data(), static_cast<std::streamsize>(header.size()));
  const std::string block = wubench::Noise(16u << 20, 7);
  for (uint64_t written = 0; written < data_bytes; written += block.size())
    out.write(block.data(), static_cast<std::streamsize>(std::min<uint64_t>(block.size(), data_bytes - written)));
}

void MakeRiff(Fixture& f) {
  std::string front;
  for (int i = 0; i < kFrontChunks; ++i) front += "junk" + Le(10, 4) + std::string(10, 'j');
  std::string header = "RIFF" + Le(4 + front.size() + 8 + f.data_bytes, 4) + "WAVE" + front + "data" +
                       Le(f.data_bytes, 4);
  WriteFile(f.riff, header, f.data_bytes);
  f.riff_left = kFrontChunks;
}

void MakeW64(Fixture& f) {
  std::string front;
  for (int i = 0; i < kFrontChunks; ++i) front += GuidBytes(kJunk64) + Le(24 + 16, 8) + std::string(16, 'j');
  std::string header = GuidBytes(kRiff64GuidRiff) + Le(40 + front.size() + 24 + f.data_bytes, 8) +
                       GuidBytes(kRiff64GuidWave) + front + GuidBytes(kData64) + Le(24 + f.data_bytes, 8);
  WriteFile(f.w64, header, f.data_bytes);
  f.w64_left = kFrontChunks;
}

Fixture& Shared() {
  static Fixture f;
  if (!f.dir.empty()) return f;
  const char* mb = std::getenv("RIFF_BENCH_MB");
  f.data_bytes = static_cast<uint64_t>(mb ? std::atof(mb) : 256) << 20;
  std::string pattern = (fs::temp_directory_path() / "riffbench.XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  f.dir = pattern;
  f.riff = f.dir / "front.wav";
  f.w64 = f.dir / "front.w64";
  f.copy = f.dir / "copy.wav";
  MakeRiff(f);
  MakeW64(f);
  return f;
}

// Times `run` once per iteration after `prepare`, keeping the best time.
template <class Prepare, class Run>
void Timed(benchmark::State& state, const char* name, uint64_t bytes, Prepare prepare, Run run) {
  double best = 1e30;
  for (auto _ : state) {
    state.PauseTiming();
    prepare();
    std::system("sync");
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    if (!run()) state.SkipWithError("the run failed");
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  wubench::BestTimes()[name] = best;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

HANDLE Open(const fs::path& path) {
  return CreateFileW(platform::ToUtf16(path.string()).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

void RiffDeleteChunk(benchmark::State& state) {
  Fixture& f = Shared();
  HANDLE file = INVALID_HANDLE_VALUE;
  Timed(state, "riff_DeleteChunk", f.data_bytes,
        [&] {
          if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
          if (f.riff_left == 0) MakeRiff(f);
          file = Open(f.riff);
        },
        [&] {
          DWORD removed = 0;
          --f.riff_left;
          return riff_DeleteChunk(file, RiffId("junk"), &removed, FALSE) == S_OK && removed == 18;
        });
  CloseHandle(file);
}

void Riff64DeleteChunk(benchmark::State& state) {
  Fixture& f = Shared();
  HANDLE file = INVALID_HANDLE_VALUE;
  Timed(state, "riff64_DeleteChunk", f.data_bytes,
        [&] {
          if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
          if (f.w64_left == 0) MakeW64(f);
          file = Open(f.w64);
        },
        [&] {
          ULONGLONG removed = 0;
          --f.w64_left;
          return riff64_DeleteChunk(file, kJunk64, &removed) == S_OK && removed == 40;
        });
  CloseHandle(file);
}

void CpSameFolder(benchmark::State& state) {
  Fixture& f = Shared();
  std::string command = "cp '" + f.riff.string() + "' '" + f.copy.string() + "'";
  Timed(state, "cp", f.data_bytes, [&] { fs::remove(f.copy); },
        [&] { return std::system(command.c_str()) == 0; });
}

BENCHMARK(CpSameFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(RiffDeleteChunk)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(Riff64DeleteChunk)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  wubench::PrintBestTimes("cp", "cp");
  if (!Shared().dir.empty()) fs::remove_all(Shared().dir);
  return 0;
}
