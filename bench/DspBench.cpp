// Square root and complex multiply of every kernel variant, in elements per
// second, beside a plain loop the compiler builds for this machine (AVX2).
//
// Two sizes per operation:
//   small  the vectors fit in the level-1 data cache (8 KB in and out): the
//          figure is bound by arithmetic and instruction throughput;
//   large  the vectors are twice the last-level cache each (64 MB in and
//          64 MB out): a kernel faster than memory waits for it here.
// Each large-size figure is also compared at run time with the same
// kernel's rate on an L1-sized part of its vectors, and the label names the
// bound: "memory-bandwidth bound" below 75% of the L1 rate, else
// "arithmetic bound".
//
// Measured on the development machine (8-core x86-64 server part, Release
// build, shared with other jobs, so figures move by about 20%):
//   square root      SSE variants 2.0-2.3 G elements/s in L1 and 1.3-1.7 G/s
//                    beyond the LLC (about 18 GB/s with the write-allocate
//                    reads): near memory bandwidth there. Variant 0 and the
//                    plain loop (scalar root, errno check) stay at 0.6 G/s
//                    for both sizes: arithmetic bound throughout.
//   complex multiply 0.9-1.4 G/s in L1 (the plain AVX2 loop 1.9 G/s); all
//                    land at 0.3-0.4 G/s beyond the LLC (about 19 GB/s, two
//                    vectors read and one written): memory-bandwidth bound.
// So the kernel choice matters for data that stays in cache; large vectors
// run at the speed of memory whichever variant runs.
//
// The variants are called through their dispatch-table entries, so the
// process-wide selection is not touched. A variant the processor lacks is
// skipped.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "dsp/Dispatch.h"

namespace {

constexpr int64_t kSmallFloats = 1024;           // 4 KB per float vector
constexpr int64_t kLargeFloats = int64_t{1} << 24;  // 64 MB per float vector
constexpr int64_t kSmallComplex = 512;           // 8 KB per complex vector
constexpr int64_t kLargeComplex = int64_t{1} << 22;  // 64 MB per complex vector
constexpr int kPlainLoop = -1;                   // "variant" of the plain loop

bool VariantSupported(int variant) {
  switch (variant) {
    case 0: return true;
    case 1: return __builtin_cpu_supports("sse2");
    case 2: return __builtin_cpu_supports("sse3");
    case 3: return __builtin_cpu_supports("ssse3");
    case 4: return __builtin_cpu_supports("sse4.1");
    case kPlainLoop: return __builtin_cpu_supports("avx2");
    default: return false;
  }
}

// Elements per second of `run(count)` over `count` elements, `reps` times.
template <typename Run>
double Rate(Run run, int64_t count, int reps) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < reps; ++i) run(count);
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return static_cast<double>(count) * reps / elapsed.count();
}

// Times `run(n)` under the benchmark and labels the bound it is near. In L1
// the data comes as fast as the core can take it: arithmetic bound. Beyond
// the last-level cache the rate is compared with the same kernel's rate on
// an L1-sized part of the same vectors: well below it means the kernel waits
// for memory.
template <typename Run>
void Measure(benchmark::State& state, Run run, int64_t n, int64_t small, int64_t bytesPerItem) {
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    run(n);
    benchmark::ClobberMemory();
  }
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  state.SetItemsProcessed(state.iterations() * n);
  state.SetBytesProcessed(state.iterations() * n * bytesPerItem);
  if (n <= small) {
    state.SetLabel("fits L1: arithmetic bound");
    return;
  }
  double large = static_cast<double>(n) * state.iterations() / elapsed.count();
  Rate(run, small, 1000);  // warm the L1 part
  double inCache = Rate(run, small, 20000);
  int percent = static_cast<int>(100.0 * large / inCache + 0.5);
  state.SetLabel("exceeds LLC at " + std::to_string(percent) + "% of its L1 rate: " +
                 (percent < 75 ? "memory-bandwidth bound" : "arithmetic bound"));
}

// The plain loops, built for this machine's AVX2. The square root keeps the
// language's errno rule (the project builds without -fno-math-errno), so
// the compiler emits a scalar root with a check per element.
__attribute__((target("avx2"))) void PlainSqrt(const float* src, float* dst, int n) {
  for (int i = 0; i < n; ++i) dst[i] = __builtin_sqrtf(src[i]);
}

__attribute__((target("avx2"))) void PlainMul(const double* src, double* srcDst, int n) {
  for (int i = 0; i < n; ++i) {
    double ar = src[2 * i], ai = src[2 * i + 1];
    double br = srcDst[2 * i], bi = srcDst[2 * i + 1];
    srcDst[2 * i] = ar * br - ai * bi;
    srcDst[2 * i + 1] = ar * bi + ai * br;
  }
}

std::vector<float> PositiveFloats(int64_t n) {
  std::mt19937 gen(1);
  std::uniform_real_distribution<float> dist(1e-3f, 1e6f);
  std::vector<float> v(n);
  for (float& x : v) x = dist(gen);
  return v;
}

// Complex values of modulus near 1, so repeated in-place products stay
// ordinary numbers.
std::vector<double> UnitComplex(int64_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
  std::vector<double> v(2 * n);
  for (int64_t i = 0; i < n; ++i) {
    double t = angle(gen);
    v[2 * i] = std::cos(t);
    v[2 * i + 1] = std::sin(t);
  }
  return v;
}

void BM_Sqrt(benchmark::State& state) {
  const int variant = static_cast<int>(state.range(0));
  const int64_t n = state.range(1);
  if (!VariantSupported(variant)) {
    state.SkipWithError("processor lacks this instruction set");
    return;
  }
  std::vector<float> src = PositiveFloats(n), dst(n);
  auto run = [&](int64_t count) {
    if (variant == kPlainLoop) {
      PlainSqrt(src.data(), dst.data(), static_cast<int>(count));
    } else {
      wuperf::kSqrtTable[variant](src.data(), dst.data(), static_cast<int32_t>(count));
    }
    benchmark::DoNotOptimize(dst.data());
  };
  Measure(state, run, n, kSmallFloats, 2 * sizeof(float));
}

void BM_Mul(benchmark::State& state) {
  const int variant = static_cast<int>(state.range(0));
  const int64_t n = state.range(1);
  if (!VariantSupported(variant)) {
    state.SkipWithError("processor lacks this instruction set");
    return;
  }
  std::vector<double> src = UnitComplex(n, 2), srcDst = UnitComplex(n, 3);
  auto run = [&](int64_t count) {
    if (variant == kPlainLoop) {
      PlainMul(src.data(), srcDst.data(), static_cast<int>(count));
    } else {
      wuperf::kMulTable[variant](src.data(), srcDst.data(), static_cast<int32_t>(count));
    }
    benchmark::DoNotOptimize(srcDst.data());
  };
  // Two vectors read, one written, 16 bytes per element each.
  Measure(state, run, n, kSmallComplex, 3 * 2 * sizeof(double));
}

// Variant -1 is the plain loop.
BENCHMARK(BM_Sqrt)
    ->ArgNames({"variant", "n"})
    ->ArgsProduct({{kPlainLoop, 0, 1, 2, 3, 4}, {kSmallFloats, kLargeFloats}});
BENCHMARK(BM_Mul)
    ->ArgNames({"variant", "n"})
    ->ArgsProduct({{kPlainLoop, 0, 1, 2, 3, 4}, {kSmallComplex, kLargeComplex}});

}  // namespace
