// Quick identification from a buffer against libmagic's magic_buffer on the
// same bytes, in the same run: each fixture file of the identification
// tests, and the worst case (64 KiB that no probe accepts, so every scan
// runs). At the end the ratio libmagic / ours is printed per case (above 1:
// ours is faster). Run: build/bench/fileid_bench
#include <benchmark/benchmark.h>
#include <magic.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "mediaformats/WuFileId.h"

namespace {

namespace fs = std::filesystem;

struct Case {
  std::string name;
  std::string bytes;
};

// Bytes that pass every quick pre-check of the frame and key scans but
// never form a valid header or key: 0xFF 0xE0 starts a frame header of
// the reserved layer, 0x06 0x0E starts the container key.
std::string WorstCase() {
  std::string s;
  while (s.size() < WUFILEID_MAX_BYTES) s += std::string("\xFF\xE0\x06\x0E\x2B\x34\x02\x05\x00\x00", 10);
  s.resize(WUFILEID_MAX_BYTES);
  return s;
}

std::vector<Case> LoadCases() {
  std::vector<Case> cases;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(IDENT_FIXTURES)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".sh" && ext != ".txt") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& path : files) {
    std::ifstream in(path, std::ios::binary);
    cases.push_back({path.filename().string(), std::string(std::istreambuf_iterator<char>(in), {})});
  }
  cases.push_back({"worst-case-64k", WorstCase()});
  return cases;
}

void Ours(benchmark::State& state, const std::string* bytes) {
  const BYTE* data = reinterpret_cast<const BYTE*>(bytes->data());
  const DWORD n = static_cast<DWORD>(bytes->size());
  WUFILEID_IDENTIFIED_TYPE type = WUFILEID_NOT_EXAMINED;
  for (auto _ : state) {
    WuIsQuicklyIdentifiableMediaFileFormat(data, n, 0, &type);
    benchmark::DoNotOptimize(type);
  }
  state.counters["code"] = type;
}

void LibMagic(benchmark::State& state, const std::string* bytes) {
  magic_t cookie = magic_open(MAGIC_NONE);
  if (cookie == nullptr || magic_load(cookie, nullptr) != 0) {
    state.SkipWithError("libmagic has no database");
    if (cookie) magic_close(cookie);
    return;
  }
  const char* text = nullptr;
  for (auto _ : state) {
    text = magic_buffer(cookie, bytes->data(), bytes->size());
    benchmark::DoNotOptimize(text);
  }
  state.SetLabel(text ? std::string(text).substr(0, 40) : "?");
  magic_close(cookie);
}

// Keeps each run's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& times() const { return times_; }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  static const std::vector<Case> cases = LoadCases();
  for (const Case& c : cases) {
    benchmark::RegisterBenchmark(("ours/" + c.name).c_str(), Ours, &c.bytes);
    benchmark::RegisterBenchmark(("libmagic/" + c.name).c_str(), LibMagic, &c.bytes);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\n%-18s %12s %12s %10s\n", "case", "ours (ns)", "libmagic", "ratio");
  double worst = 1e30;
  for (const Case& c : cases) {
    auto ours = reporter.times().find("ours/" + c.name);
    auto magic = reporter.times().find("libmagic/" + c.name);
    if (ours == reporter.times().end() || magic == reporter.times().end() || ours->second <= 0) continue;
    double ratio = magic->second / ours->second;
    worst = std::min(worst, ratio);
    std::printf("%-18s %12.0f %12.0f %10.1f\n", c.name.c_str(), ours->second, magic->second, ratio);
  }
  if (worst < 1e30) std::printf("lowest ratio (libmagic / ours): %.1f\n", worst);
  return 0;
}
