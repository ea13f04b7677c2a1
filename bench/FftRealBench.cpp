// Rows of the forward real double-precision FFT in the FFT benchmark
// program: the in-place export forced to each variant, orders 6 to 22, with
// the caller's work buffer and with none (the driver allocates), beside
// FFTW's r2c ESTIMATE plan (out of place: its in-place form needs N + 2
// doubles) and KissFFT's kissfft<double>::transform_real, in the same run,
// ours and the peers' batches alternating, each figure a median.
//
// The transform runs with flag 4 (1/sqrt(N) on the forward side), so that
// repeated in-place calls keep the data's norm: no overflow and no
// subnormals however many calls a batch makes. Counters: fftw/ours and
// kiss/ours, the peer's time over ours (above 1: ours is faster). The
// targets: fftw/ours >= 1 from order 12 and kiss/ours >= 4 everywhere, for
// the fastest variant.
//
// Rows of the inverse (BM_RealInverse): the in-place export per variant,
// orders 6 to 22, with the caller's buffer and with none, on the packed
// spectrum of a signal, beside FFTW's c2r ESTIMATE plan (out of place; it
// overwrites its input as our export does)
// and KissFFT's forward transform_real standing in (its double template has
// no inverse real transform; the same work). Every call of ours and of
// FFTW's starts from a fresh copy of the spectrum; the time of that copy,
// measured in the same run, is taken off. Counters as above, and inv/fwd:
// our inverse's time over our forward's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/FftPeers.h"
#include "bench/FftSummary.h"
#include "dsp/WuPerf.h"
#include "dsp/WuPerfTesting.h"

namespace {

constexpr int kRealRepetitions = 7;          // batches per figure (median)
constexpr size_t kRealBatchBytes = 1 << 22;  // bytes a batch transforms at least

double* AlignedDoubles(size_t count) {
  return static_cast<double*>(std::aligned_alloc(32, ((count * 8) + 63) & ~size_t{31}));
}

// A real context of one order made under the forced variant, with its work
// buffer (used when `withBuffer`, else the transforms allocate their own).
struct RealContext {
  void* ctx = nullptr;
  std::vector<uint8_t> work;
  uint8_t* buf = nullptr;
  RealContext(int order, bool withBuffer) {
    WuPerfsFFTInitAlloc_R_64f(&ctx, order, 4, 0);
    int32_t workBytes = 0;
    WuPerfsFFTGetBufSize_R_64f(ctx, &workBytes);
    work.resize(static_cast<size_t>(workBytes) + 1);
    buf = withBuffer && workBytes > 0 ? work.data() : nullptr;
  }
  ~RealContext() { WuPerfsFFTFree_R_64f(ctx); }
};

// Calls of an N-point transform in one timed batch.
int BatchCalls(size_t n) { return static_cast<int>(std::max<size_t>(1, kRealBatchBytes / (8 * n))); }

// Mean nanoseconds of one call of `fn` over a batch of `calls`.
template <class F>
double TimeBatch(int calls, F&& fn) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) fn();
  benchmark::ClobberMemory();
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / calls;
}

// Arguments: variant, order, caller's buffer (0/1).
void BM_RealForward(benchmark::State& state) {
  const int variant = static_cast<int>(state.range(0));
  const int order = static_cast<int>(state.range(1));
  const bool withBuffer = state.range(2) != 0;
  const size_t n = size_t{1} << order;
  if (!WuPerf_ForceVariantForTesting(variant)) {
    state.SkipWithError("variant not available");
    return;
  }
  RealContext real(order, withBuffer);
  void* ctx = real.ctx;
  uint8_t* buf = real.buf;
  double* ours = AlignedDoubles(n);
  double* x = AlignedDoubles(n);
  double* y = AlignedDoubles(n + 2);
  for (size_t i = 0; i < n; ++i) x[i] = static_cast<double>((i * 37) % 101) / 50.0 - 1.0;
  fftbench::FftwReal fftw(order, false, x, y);
  fftbench::KissReal kiss(order);
  const int calls = BatchCalls(n);
  // The forward batches start from the same input.
  auto batch = [&](auto&& fn) {
    std::memcpy(ours, x, 8 * n);
    return TimeBatch(calls, fn);
  };
  for (auto _ : state) {
    std::vector<double> a, f, k;
    for (int r = 0; r < kRealRepetitions; ++r) {
      a.push_back(batch([&] { WuPerfsFFTFwd_RToPerm_64f_I(ours, ctx, buf); }));
      f.push_back(batch([&] { fftw.Run(); }));
      k.push_back(batch([&] { kiss.Run(x, reinterpret_cast<std::complex<double>*>(y)); }));
    }
    for (auto* v : {&a, &f, &k})
      std::nth_element(v->begin(), v->begin() + kRealRepetitions / 2, v->end());
    const double oursNs = a[kRealRepetitions / 2];
    state.SetIterationTime(oursNs * 1e-9);
    state.counters["ns"] = oursNs;
    state.counters["GFLOPs"] = fftbench::RealGflops(order, oursNs);
    state.counters["fftw/ours"] = f[kRealRepetitions / 2] / oursNs;
    state.counters["kiss/ours"] = k[kRealRepetitions / 2] / oursNs;
    if (withBuffer) {
      fftbench::RecordRow("real", "fwd", order,
                          {variant, oursNs, f[kRealRepetitions / 2] / oursNs,
                           k[kRealRepetitions / 2] / oursNs});
    }
  }
  std::free(ours);
  std::free(x);
  std::free(y);
  WuPerf_ResetForTesting();
}

BENCHMARK(BM_RealForward)->Apply([](benchmark::internal::Benchmark* b) {
  b->ArgNames({"variant", "order", "buffer"});
  for (int v : {4, 3, 2, 1, 0})
    for (int order = 6; order <= 22; ++order)
      for (int buffer : {1, 0}) b->Args({v, order, buffer});
  b->UseManualTime()->Iterations(1);
});

// Arguments: variant, order, caller's buffer (0/1).
void BM_RealInverse(benchmark::State& state) {
  const int variant = static_cast<int>(state.range(0));
  const int order = static_cast<int>(state.range(1));
  const bool withBuffer = state.range(2) != 0;
  const size_t n = size_t{1} << order;
  if (!WuPerf_ForceVariantForTesting(variant)) {
    state.SkipWithError("variant not available");
    return;
  }
  RealContext real(order, withBuffer);
  void* ctx = real.ctx;
  uint8_t* buf = real.buf;
  double* ours = AlignedDoubles(n);
  double* packed = AlignedDoubles(n);
  double* x = AlignedDoubles(n);
  double* y = AlignedDoubles(n + 2);
  double* y0 = AlignedDoubles(n + 2);
  for (size_t i = 0; i < n; ++i) x[i] = static_cast<double>((i * 37) % 101) / 50.0 - 1.0;
  std::memcpy(packed, x, 8 * n);
  WuPerfsFFTFwd_RToPerm_64f_I(packed, ctx, buf);
  // The same spectrum as FFTW's N/2 + 1 complex values.
  y0[0] = packed[0], y0[1] = 0.0, y0[n] = packed[1], y0[n + 1] = 0.0;
  for (size_t k = 2; k < n; ++k) y0[k] = packed[k];
  fftbench::FftwReal fftw(order, true, x, y);
  fftbench::KissReal kiss(order);
  const int calls = BatchCalls(n);
  auto batch = [&](auto&& fn) { return TimeBatch(calls, fn); };
  for (auto _ : state) {
    std::vector<double> a, fw, f, k, c, c2;
    for (int r = 0; r < kRealRepetitions; ++r) {
      c.push_back(batch([&] { std::memcpy(ours, packed, 8 * n); benchmark::ClobberMemory(); }));
      a.push_back(batch([&] {
        std::memcpy(ours, packed, 8 * n);
        WuPerfsFFTInv_PermToR_64f_I(ours, ctx, buf);
      }));
      std::memcpy(ours, x, 8 * n);
      fw.push_back(batch([&] { WuPerfsFFTFwd_RToPerm_64f_I(ours, ctx, buf); }));
      c2.push_back(batch([&] { std::memcpy(y, y0, 8 * (n + 2)); benchmark::ClobberMemory(); }));
      f.push_back(batch([&] {
        std::memcpy(y, y0, 8 * (n + 2));
        fftw.Run();
      }));
      k.push_back(batch([&] { kiss.Run(x, reinterpret_cast<std::complex<double>*>(y)); }));
    }
    const int mid = kRealRepetitions / 2;
    for (auto* v : {&a, &fw, &f, &k, &c, &c2}) std::nth_element(v->begin(), v->begin() + mid, v->end());
    const double oursNs = std::max(1.0, a[mid] - c[mid]);
    const double fftwNs = std::max(1.0, f[mid] - c2[mid]);
    state.SetIterationTime(oursNs * 1e-9);
    state.counters["ns"] = oursNs;
    state.counters["GFLOPs"] = fftbench::RealGflops(order, oursNs);
    state.counters["fftw/ours"] = fftwNs / oursNs;
    state.counters["kiss/ours"] = k[mid] / oursNs;
    state.counters["inv/fwd"] = oursNs / fw[mid];
    if (withBuffer)
      fftbench::RecordRow("real", "inv", order, {variant, oursNs, fftwNs / oursNs, k[mid] / oursNs});
  }
  for (double* p : {ours, packed, x, y, y0}) std::free(p);
  WuPerf_ResetForTesting();
}

BENCHMARK(BM_RealInverse)->Apply([](benchmark::internal::Benchmark* b) {
  b->ArgNames({"variant", "order", "buffer"});
  for (int v : {4, 3, 2, 1, 0})
    for (int order = 6; order <= 22; ++order)
      for (int buffer : {1, 0}) b->Args({v, order, buffer});
  b->UseManualTime()->Iterations(1);
});

}  // namespace
