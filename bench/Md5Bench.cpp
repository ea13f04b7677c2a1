// Our MD5 over a 64 MiB buffer beside nettle's MD5 on the same bytes in the
// same run. At the end the time ratio ours / nettle is printed (the target
// is at most 1.25). Run: build/bench/md5_bench
#include <benchmark/benchmark.h>
#include <nettle/md5.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "fileio/WuMd5.h"

namespace {

constexpr size_t kBytes = 64u << 20;

const std::vector<unsigned char>& Buffer() {
  static const std::vector<unsigned char> buffer = [] {
    std::vector<unsigned char> b(kBytes);
    unsigned x = 12345;
    for (auto& c : b) {
      x = x * 1103515245u + 12345u;
      c = static_cast<unsigned char>(x >> 16);
    }
    return b;
  }();
  return buffer;
}

double g_ours = 0, g_nettle = 0;

void Ours(benchmark::State& state) {
  const auto& b = Buffer();
  BYTE digest[16];
  for (auto _ : state) {
    WuMd5_Digest(b.data(), b.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.size()));
}

void Nettle(benchmark::State& state) {
  const auto& b = Buffer();
  uint8_t digest[MD5_DIGEST_SIZE];
  for (auto _ : state) {
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, b.size(), b.data());
    md5_digest(&ctx, MD5_DIGEST_SIZE, digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.size()));
}

// Keeps each run's real time per iteration to print the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      double t = run.GetAdjustedRealTime();
      if (run.benchmark_name().find("Ours") != std::string::npos) g_ours = t;
      if (run.benchmark_name().find("Nettle") != std::string::npos) g_nettle = t;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

BENCHMARK(Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(Nettle)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  // The digests must agree before the times mean anything.
  BYTE ours[16];
  uint8_t theirs[MD5_DIGEST_SIZE];
  WuMd5_Digest(Buffer().data(), Buffer().size(), ours);
  md5_ctx ctx;
  md5_init(&ctx);
  md5_update(&ctx, Buffer().size(), Buffer().data());
  md5_digest(&ctx, MD5_DIGEST_SIZE, theirs);
  if (std::memcmp(ours, theirs, 16) != 0) {
    std::fprintf(stderr, "md5_bench: the digests differ\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (g_nettle > 0) std::printf("ours / nettle time: %.3f (target <= 1.25)\n", g_ours / g_nettle);
  benchmark::Shutdown();
  return 0;
}
