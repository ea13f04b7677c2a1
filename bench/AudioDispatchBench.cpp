// The copy API against calling the looked-up kernel directly (what
// selecting the kernel on every call costs), and the 16-bit stereo to mono
// average against a plain loop giving the same rounded values and against
// memcpy of the output bytes.
//
//   copy/N          WuAudio_Copy of N frames of 16-bit stereo into float32;
//                   x_direct = its time over the direct kernel call's
//                   (target: at most 1.1 at 1,024 frames).
//   channelavg      WuAudio_ChannelChangeAvg of 48 M 16-bit stereo frames
//                   to mono; x_plain = its time over the plain loop's
//                   (target: at most 1.5), x_memcpy over memcpy's of the
//                   96 MB written.
//
// The machine is shared, so each ratio comes from the subject and its peer
// timed in turns, the best of several rounds each. Every buffer is written
// before timing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "audio/WuAudioChannels.h"
#include "audio/WuAudioCopyApi.h"
#include "audio/WuWfx.h"

namespace {

constexpr int32_t kLargeFrames = 48 << 20;

WAVEFORMATEX Wfx(WUSAMPLETYPE type, DWORD channels) {
  WAVEFORMATEX wfx{};
  WuAudio_InitWfx(&wfx, 48000, type, channels);
  return wfx;
}

std::vector<int16_t> Samples(size_t count) {
  std::vector<int16_t> out(count);
  std::mt19937 rng(11);
  for (int16_t& v : out) v = static_cast<int16_t>(rng());
  return out;
}

// Seconds for `reps` calls of f.
template <typename F>
double Time(F&& f, int reps) {
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < reps; ++i) f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Best time of the subject over the best time of the peer, timed in turns.
template <typename S, typename P>
double Ratio(S&& subject, P&& peer, int reps, int rounds) {
  double best_s = 1e30;
  double best_p = 1e30;
  for (int r = 0; r < rounds; ++r) {
    best_s = std::min(best_s, Time(subject, reps));
    best_p = std::min(best_p, Time(peer, reps));
  }
  return best_s / best_p;
}

// A 16-bit stereo block, its float32 destination and the looked-up kernel.
struct CopyBlock {
  explicit CopyBlock(int32_t frames)
      : frames(frames),
        src_format(Wfx(WUSAMPLE_PCM16, 2)),
        dest_format(Wfx(WUSAMPLE_FLOAT32, 2)),
        src(Samples(size_t(frames) * 2)),
        dest(size_t(frames) * 2, 0.0f),
        kernel(WuAudio_GetCopyFunction(&dest_format, &src_format)) {}
  void Copy() {
    WuAudio_Copy(&dest_format, dest.data(), &src_format, src.data(), frames, 1.0f);
    benchmark::DoNotOptimize(dest.data());
  }
  void Direct() {
    kernel(dest.data(), src.data(), frames * 2, 1.0f);
    benchmark::DoNotOptimize(dest.data());
  }
  int32_t frames;            // frames per call
  WAVEFORMATEX src_format;   // 16-bit stereo
  WAVEFORMATEX dest_format;  // float32 stereo
  std::vector<int16_t> src;  // source samples
  std::vector<float> dest;   // destination samples
  WuAudioCopyFunc kernel;    // the kernel WuAudio_Copy selects
};

void BM_Copy(benchmark::State& state) {
  CopyBlock block(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) block.Copy();
  const int reps = std::max(1, (1 << 22) / block.frames);
  state.counters["x_direct"] = Ratio([&] { block.Copy(); }, [&] { block.Direct(); }, reps, 15);
  state.SetItemsProcessed(state.iterations() * block.frames);
}
BENCHMARK(BM_Copy)->Name("copy")->Arg(1024)->Arg(64);

void BM_Direct(benchmark::State& state) {
  CopyBlock block(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) block.Direct();
  state.SetItemsProcessed(state.iterations() * block.frames);
}
BENCHMARK(BM_Direct)->Name("direct")->Arg(1024)->Arg(64);

// The same rounded average as the library's: half-sums to nearest, ties to
// even.
void PlainAverage(int16_t* dst, const int16_t* src, int32_t frames) {
  for (int32_t i = 0; i < frames; ++i) {
    const int32_t s = src[2 * i] + src[2 * i + 1];
    const int32_t q = s >> 1;
    dst[i] = static_cast<int16_t>(q + (s & q & 1));
  }
}

void BM_ChannelAvg(benchmark::State& state) {
  const WAVEFORMATEX format = Wfx(WUSAMPLE_PCM16, 2);
  const std::vector<int16_t> src = Samples(size_t(kLargeFrames) * 2);
  std::vector<int16_t> dest(kLargeFrames, 1);
  std::vector<int16_t> copy_src(kLargeFrames, 2);
  auto subject = [&] {
    WuAudio_ChannelChangeAvg(dest.data(), 1, src.data(), &format, kLargeFrames);
    benchmark::DoNotOptimize(dest.data());
  };
  auto plain = [&] {
    PlainAverage(dest.data(), src.data(), kLargeFrames);
    benchmark::DoNotOptimize(dest.data());
  };
  auto copy = [&] {
    std::memcpy(dest.data(), copy_src.data(), dest.size() * sizeof(int16_t));
    benchmark::DoNotOptimize(dest.data());
  };
  // The library's values are the plain loop's.
  std::vector<int16_t> check(kLargeFrames);
  PlainAverage(check.data(), src.data(), kLargeFrames);
  subject();
  if (check != dest) state.SkipWithError("the average differs from the plain loop's");
  for (auto _ : state) subject();
  state.counters["x_plain"] = Ratio(subject, plain, 1, 7);
  state.counters["x_memcpy"] = Ratio(subject, copy, 1, 7);
  state.SetItemsProcessed(state.iterations() * kLargeFrames);
}
BENCHMARK(BM_ChannelAvg)->Name("channelavg")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
