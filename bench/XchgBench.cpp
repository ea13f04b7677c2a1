// Pixel-exchange speed: a record driven over a 1920 x 1080 image with
// fetch4/store4 and a single-pixel tail, beside libyuv's converters of the
// same layouts in the same run, with libyuv once forced to its C path
// (MaskCpuFlags(1)) and once with all its SIMD (MaskCpuFlags(-1)).
//   - 32-bit with alpha to 24-bit in 8-bit lanes (quality 1) beside ARGBToRGB24;
//   - 24-bit to 32-bit with alpha in 16-bit lanes (quality 4) beside RGB24ToARGB.
// The *Ratio benchmarks time both sides in every iteration and report
// "speed_vs_c" and "speed_vs_simd": the pipeline's speed as a fraction of
// the peer's (peer time / pipeline time). Figures to watch, never a
// pass/fail limit.
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/WuXchg.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Rows of a 24-bit and a 32-bit image, padded to 4 bytes (both are exact here).
constexpr int kStride24 = (kWidth * 3 + 3) & ~3;
constexpr int kStride32 = kWidth * 4;

std::vector<uint8_t> Pattern(size_t bytes) {
  std::vector<uint8_t> v(bytes);
  uint32_t x = 2463534242u;
  for (auto& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return v;
}

// Converts a whole image through a record: runs of four, then the tail.
void Convert(WUXCHGFUNCS* r, const uint8_t* src, int srcStride, uint8_t* dst, int dstStride) {
  const int runs = kWidth / 4;
  const int tail = kWidth % 4;
  for (int y = 0; y < kHeight; ++y) {
    r->src = src + static_cast<size_t>(y) * srcStride;
    r->dst = dst + static_cast<size_t>(y) * dstStride;
    for (int i = 0; i < runs; ++i) {
      r->fetch4(r);
      r->store4(r);
    }
    for (int i = 0; i < tail; ++i) {
      r->fetch(r);
      r->store(r);
    }
  }
}

struct Case {
  WUPIXELTYPE srcType, dstType;
  DWORD flags;
  int srcStride, dstStride;
  // The peer's converter of the same layouts.
  int (*peer)(const uint8_t*, int, uint8_t*, int, int, int);
};

const Case kArgbToRgb24 = {WUPIXEL_RGBA32, WUPIXEL_RGB24, 1, kStride32, kStride24, &libyuv::ARGBToRGB24};
const Case kRgb24ToArgb = {WUPIXEL_RGB24, WUPIXEL_RGBA32, 4, kStride24, kStride32, &libyuv::RGB24ToARGB};

struct Images {
  std::vector<uint8_t> src, dst, peerDst;
  explicit Images(const Case& c)
      : src(Pattern(static_cast<size_t>(c.srcStride) * kHeight)),
        dst(static_cast<size_t>(c.dstStride) * kHeight),
        peerDst(static_cast<size_t>(c.dstStride) * kHeight) {}
};

bool Build(const Case& c, WUXCHGFUNCS* r) {
  return WuXCHGGetFunctionPointers(c.dstType, c.srcType, c.flags, r, nullptr, 0.0, 0.0) == 0;
}

void RunPipeline(const Case& c, WUXCHGFUNCS* r, Images& im) {
  Convert(r, im.src.data(), c.srcStride, im.dst.data(), c.dstStride);
}

void RunPeer(const Case& c, Images& im, int cpuFlags) {
  libyuv::MaskCpuFlags(cpuFlags);
  c.peer(im.src.data(), c.srcStride, im.peerDst.data(), c.dstStride, kWidth, kHeight);
}

void BM_Pipeline(benchmark::State& state, const Case& c) {
  Images im(c);
  WUXCHGFUNCS r;
  if (!Build(c, &r)) return state.SkipWithError("no record");
  for (auto _ : state) {
    RunPipeline(c, &r, im);
    benchmark::DoNotOptimize(im.dst.data());
  }
  // Same bytes as the peer, or the figures mean nothing.
  RunPeer(c, im, -1);
  if (im.dst != im.peerDst) state.SkipWithError("output differs from libyuv");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight);
}

void BM_Peer(benchmark::State& state, const Case& c, int cpuFlags) {
  Images im(c);
  for (auto _ : state) {
    RunPeer(c, im, cpuFlags);
    benchmark::DoNotOptimize(im.peerDst.data());
  }
  libyuv::MaskCpuFlags(-1);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight);
}

// All three in turn in every iteration; the counters are speed ratios.
void BM_Ratio(benchmark::State& state, const Case& c) {
  Images im(c);
  WUXCHGFUNCS r;
  if (!Build(c, &r)) return state.SkipWithError("no record");
  double ours = 0.0, peerC = 0.0, peerSimd = 0.0;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    RunPipeline(c, &r, im);
    const auto t1 = Clock::now();
    RunPeer(c, im, 1);
    const auto t2 = Clock::now();
    RunPeer(c, im, -1);
    const auto t3 = Clock::now();
    ours += std::chrono::duration<double>(t1 - t0).count();
    peerC += std::chrono::duration<double>(t2 - t1).count();
    peerSimd += std::chrono::duration<double>(t3 - t2).count();
    benchmark::DoNotOptimize(im.dst.data());
    benchmark::DoNotOptimize(im.peerDst.data());
  }
  libyuv::MaskCpuFlags(-1);
  if (ours > 0.0) {
    state.counters["speed_vs_c"] = peerC / ours;
    state.counters["speed_vs_simd"] = peerSimd / ours;
  }
}

BENCHMARK_CAPTURE(BM_Pipeline, Argb32ToRgb24_Lanes8, kArgbToRgb24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Peer, ARGBToRGB24_C, kArgbToRgb24, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Peer, ARGBToRGB24_SIMD, kArgbToRgb24, -1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Ratio, Argb32ToRgb24_Lanes8, kArgbToRgb24)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_Pipeline, Rgb24ToArgb32_Lanes16, kRgb24ToArgb)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Peer, RGB24ToARGB_C, kRgb24ToArgb, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Peer, RGB24ToARGB_SIMD, kRgb24ToArgb, -1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Ratio, Rgb24ToArgb32_Lanes16, kRgb24ToArgb)->Unit(benchmark::kMillisecond);

}  // namespace
