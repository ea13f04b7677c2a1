// The phase scope's plotting beside memcpy of its image bytes, on a hosted
// scope of 512 x 512 bounds (a 505 x 505 image, 1,020,100 bytes).
//
//   setpos/<mode>/<math>  SCOPEM_SETPOS of 2,048 stereo frames with fade 0.9
//                         (fade, plot, overlay) in each plot mode and math
//                         set; x_memcpy = its time over memcpy's.
//   fade_overlay/<kind>   the fade and overlay passes alone on an image with
//                         a quarter of its pixels lit, scattered (every
//                         fourth pixel) or clustered (a disc); x_memcpy =
//                         their time over memcpy's (target: at most 5);
//                         fade_x_memcpy and overlay_x_memcpy each pass's;
//                         /sse2 with AVX2 withdrawn (the fade's SSE2 form).
//
// The machine is shared, so each ratio comes from the subject and memcpy
// timed in turns in the same run, the best of several rounds each.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/kernel/cpu.h"
#include "shellui/WuScope.h"
#include "shellui/WuScopeDraw.h"

namespace {

constexpr int kBounds = 512;
constexpr int kFrames = 2048;

template <typename F>
double Time(F&& f, int reps) {
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < reps; ++i) f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Best time of the subject over the best time of the peer, timed in turns.
template <typename S, typename P>
double Ratio(S&& subject, P&& peer, int reps, int rounds) {
  double best_s = 1e30, best_p = 1e30;
  for (int r = 0; r < rounds; ++r) {
    best_s = std::min(best_s, Time(subject, reps));
    best_p = std::min(best_p, Time(peer, reps));
  }
  return best_s / best_p;
}

struct Bench {
  tSCOPEINST inst;
  std::vector<BYTE> copy;
  explicit Bench(DWORD style) {
    ScopeInst_Init(&inst, style, nullptr, nullptr, 0);
    RECT r = {0, 0, kBounds, kBounds};
    ScopeInst_Move(&inst, &r);
    float fade = 0.81f;
    ScopeInst_SetFade(&inst, &fade);
    copy.resize(Bytes());
  }
  ~Bench() { ScopeInst_Deinit(&inst); }
  size_t Bytes() const { return static_cast<size_t>(-inst.rowStep) * inst.header.biHeight; }
  void Memcpy() {
    std::memcpy(copy.data(), inst.bits, copy.size());
    benchmark::DoNotOptimize(copy.data());
  }
};

// A stereo signal that wanders over the whole plane.
std::vector<float> Signal() {
  std::vector<float> xy(2 * kFrames);
  for (int i = 0; i < kFrames; ++i) {
    xy[2 * i] = 0.8f * std::sin(i * 0.0123f) * std::cos(i * 0.0011f);
    xy[2 * i + 1] = 0.8f * std::sin(i * 0.0171f + 0.4f);
  }
  return xy;
}

void BM_SetPos(benchmark::State& state, DWORD style) {
  Bench b(style);
  std::vector<float> xy = Signal();
  tSCOPEPLOT block = {xy.data(), kFrames, 0, 1, 2};
  auto plot = [&] { ScopeInst_SetPos(&b.inst, &block); };
  plot();
  for (auto _ : state) plot();
  state.counters["x_memcpy"] = Ratio(plot, [&] { b.Memcpy(); }, 5, 7);
  state.SetItemsProcessed(state.iterations() * kFrames);
}

// Lights a quarter of the pixels: every fourth pixel (scattered), or a
// disc of a quarter of the area around the centre (clustered, as a busy
// trace is).
void LightQuarter(Bench& b, bool clustered) {
  const int n = b.inst.header.biWidth;
  const double radius2 = n * n / (4 * M_PI);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      double dx = x - n / 2, dy = y - n / 2;
      bool lit = clustered ? dx * dx + dy * dy < radius2 : (y * n + x) % 4 == 0;
      if (!lit) continue;
      BYTE* p = b.inst.topRow + static_cast<ptrdiff_t>(y) * b.inst.rowStep + 4 * x;
      p[0] = 50;
      p[1] = 200;
      p[2] = 0;
      p[3] = 200;
    }
}

void BM_FadeOverlay(benchmark::State& state, bool clustered, bool sse2) {
  // sse2: a processor without AVX2 presented, so the fade takes its SSE2 form.
  platform::FakeProcessor narrow;
  if (sse2) platform::SetProcessorSource(&narrow);
  Bench b(0);
  LightQuarter(b, clustered);
  auto pass = [&] {
    ScopeFade(&b.inst);
    ScopeOverlay(&b.inst, true);
  };
  for (auto _ : state) pass();
  state.counters["x_memcpy"] = Ratio(pass, [&] { b.Memcpy(); }, 10, 9);
  state.counters["fade_x_memcpy"] = Ratio([&] { ScopeFade(&b.inst); }, [&] { b.Memcpy(); }, 10, 9);
  state.counters["overlay_x_memcpy"] = Ratio([&] { ScopeOverlay(&b.inst, true); }, [&] { b.Memcpy(); }, 10, 9);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(b.Bytes()));
  if (sse2) platform::SetProcessorSource(nullptr);
}

const struct {
  const char* name;
  DWORD style;
} kModes[] = {{"xy", 0},
              {"midside", SCOPES_MIDSIDE},
              {"fold", SCOPES_FOLD},
              {"halfplane", SCOPES_HALFPLANE},
              {"polar", SCOPES_POLAR}};

int Register() {
  for (const auto& mode : kModes) {
    for (DWORD math : {0u, SCOPES_FASTMATH}) {
      std::string name = std::string("setpos/") + mode.name + (math ? "/fast" : "/exact");
      benchmark::RegisterBenchmark(name.c_str(), BM_SetPos, mode.style | math)
          ->Unit(benchmark::kMicrosecond);
    }
  }
  for (bool sse2 : {false, true}) {
    for (bool clustered : {false, true}) {
      std::string name = std::string("fade_overlay/") + (clustered ? "clustered" : "scattered") +
                         (sse2 ? "/sse2" : "");
      benchmark::RegisterBenchmark(name.c_str(), BM_FadeOverlay, clustered, sse2)
          ->Unit(benchmark::kMicrosecond);
    }
  }
  return 0;
}
const int kRegistered = Register();

}  // namespace
