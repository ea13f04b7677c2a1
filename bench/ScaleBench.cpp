// Scaling speed of 4-byte BGRA images: the bilinear, bicubic and area
// scalers beside swscale and libyuv, each peer in its plain C tier and with
// all its SIMD, in the same run. After the runs a table gives every ratio
// peer time / our time (above 1: we are faster). Figures to watch, not
// limits.
//
// Tiers: swscale through av_force_cpu_flags(0) and (-1) with a context made
// after each change; libyuv through MaskCpuFlags(1) and (-1). Our scalar
// bilinear tier hides SSE2 and MMX from the processor word.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}
#include <libyuv/cpu_id.h>
#include <libyuv/scale_argb.h>

#include "foundation/WuSystem.h"
#include "imaging/WuDibScale.h"

namespace {

struct Geometry {
  const char* name;
  int srcW, srcH, dstW, dstH;
};
constexpr Geometry kDown{"1080to720", 1920, 1080, 1280, 720};
constexpr Geometry kUp{"720to1080", 1280, 720, 1920, 1080};
constexpr Geometry kShrink{"1080to270", 1920, 1080, 480, 270};

// A photo-like picture: gradients with a little noise.
std::vector<uint8_t> Picture(int w, int h) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  uint32_t noise = 2463534242u;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      noise ^= noise << 13;
      noise ^= noise >> 17;
      noise ^= noise << 5;
      uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 4];
      const int n = static_cast<int>(noise >> 28);
      p[0] = static_cast<uint8_t>((x * 255 / w + n) & 0xFF);
      p[1] = static_cast<uint8_t>((y * 255 / h + n) & 0xFF);
      p[2] = static_cast<uint8_t>(((x + y) / 7 + n) & 0xFF);
      p[3] = static_cast<uint8_t>(255 - x * 255 / w);
    }
  }
  return px;
}

enum class Ours { Bilinear, BilinearScalar, Bicubic, Area };

void BM_Ours(benchmark::State& state, Geometry g, Ours kind) {
  const std::vector<uint8_t> src = Picture(g.srcW, g.srcH);
  std::vector<uint8_t> dst(static_cast<size_t>(g.dstW) * g.dstH * 4);
  const SIZE ss{g.srcW, g.srcH};
  const SIZE ds{g.dstW, g.dstH};
  const DWORD hidden = kind == Ours::BilinearScalar ? (WUCPU_SSE2 | WUCPU_MMX) : 0;
  WuDisallowCPUSupport(hidden);
  for (auto _ : state) {
    if (kind == Ours::Bicubic) {
      WuDibScale_BiCubic(dst.data(), &ds, g.dstW * 4, nullptr, src.data(), &ss, g.srcW * 4, nullptr,
                         4, 0, 0);
    } else {
      WuDibScale_Bilinear(dst.data(), &ds, g.dstW * 4, nullptr, src.data(), &ss, g.srcW * 4,
                          nullptr, 4, kind == Ours::Area ? 1 : 0, 0);
    }
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  WuAllowCPUSupport(hidden);
}

void BM_Swscale(benchmark::State& state, Geometry g, int swsFlags, bool simd) {
  av_force_cpu_flags(simd ? -1 : 0);
  SwsContext* ctx = sws_getContext(g.srcW, g.srcH, AV_PIX_FMT_BGRA, g.dstW, g.dstH,
                                   AV_PIX_FMT_BGRA, swsFlags, nullptr, nullptr, nullptr);
  if (!ctx) {
    state.SkipWithError("sws_getContext failed");
    return;
  }
  const std::vector<uint8_t> src = Picture(g.srcW, g.srcH);
  std::vector<uint8_t> dst(static_cast<size_t>(g.dstW) * g.dstH * 4);
  const uint8_t* srcPlanes[4] = {src.data(), nullptr, nullptr, nullptr};
  const int srcStrides[4] = {g.srcW * 4, 0, 0, 0};
  uint8_t* dstPlanes[4] = {dst.data(), nullptr, nullptr, nullptr};
  const int dstStrides[4] = {g.dstW * 4, 0, 0, 0};
  for (auto _ : state) {
    sws_scale(ctx, srcPlanes, srcStrides, 0, g.srcH, dstPlanes, dstStrides);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  sws_freeContext(ctx);
  av_force_cpu_flags(-1);
}

void BM_Libyuv(benchmark::State& state, Geometry g, libyuv::FilterMode filter, bool simd) {
  libyuv::MaskCpuFlags(simd ? -1 : 1);
  const std::vector<uint8_t> src = Picture(g.srcW, g.srcH);
  std::vector<uint8_t> dst(static_cast<size_t>(g.dstW) * g.dstH * 4);
  for (auto _ : state) {
    libyuv::ARGBScale(src.data(), g.srcW * 4, g.srcW, g.srcH, dst.data(), g.dstW * 4, g.dstW,
                      g.dstH, filter);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  libyuv::MaskCpuFlags(-1);
}

// One comparison: the names of our run and the peer's, and the target.
struct Ratio {
  std::string ours;
  std::string peer;
  double target;  // peer time / our time wished for
};
std::vector<Ratio> g_ratios;

void Register() {
  using benchmark::RegisterBenchmark;
  for (const Geometry& g : {kDown, kUp}) {
    const std::string n = g.name;
    RegisterBenchmark(("ours/bilinear_sse2/" + n).c_str(), BM_Ours, g, Ours::Bilinear);
    RegisterBenchmark(("ours/bilinear_scalar/" + n).c_str(), BM_Ours, g, Ours::BilinearScalar);
    RegisterBenchmark(("ours/bicubic/" + n).c_str(), BM_Ours, g, Ours::Bicubic);
    RegisterBenchmark(("swscale/bilinear_c/" + n).c_str(), BM_Swscale, g, SWS_BILINEAR, false);
    RegisterBenchmark(("swscale/bilinear_simd/" + n).c_str(), BM_Swscale, g, SWS_BILINEAR, true);
    RegisterBenchmark(("swscale/bicubic_c/" + n).c_str(), BM_Swscale, g, SWS_BICUBIC, false);
    RegisterBenchmark(("swscale/bicubic_simd/" + n).c_str(), BM_Swscale, g, SWS_BICUBIC, true);
    RegisterBenchmark(("libyuv/bilinear_c/" + n).c_str(), BM_Libyuv, g, libyuv::kFilterBilinear,
                      false);
    RegisterBenchmark(("libyuv/bilinear_simd/" + n).c_str(), BM_Libyuv, g,
                      libyuv::kFilterBilinear, true);
    g_ratios.push_back({"ours/bilinear_sse2/" + n, "swscale/bilinear_simd/" + n, 4.0});
    g_ratios.push_back({"ours/bilinear_sse2/" + n, "libyuv/bilinear_simd/" + n, 0.5});
    g_ratios.push_back({"ours/bilinear_scalar/" + n, "swscale/bilinear_c/" + n, 4.0});
    g_ratios.push_back({"ours/bilinear_scalar/" + n, "libyuv/bilinear_c/" + n, 1.0});
    g_ratios.push_back({"ours/bicubic/" + n, "swscale/bicubic_simd/" + n, 2.0});
  }
  const std::string n = kShrink.name;
  RegisterBenchmark(("ours/area/" + n).c_str(), BM_Ours, kShrink, Ours::Area);
  RegisterBenchmark(("swscale/area_c/" + n).c_str(), BM_Swscale, kShrink, SWS_AREA, false);
  RegisterBenchmark(("swscale/area_simd/" + n).c_str(), BM_Swscale, kShrink, SWS_AREA, true);
  RegisterBenchmark(("libyuv/box_c/" + n).c_str(), BM_Libyuv, kShrink, libyuv::kFilterBox, false);
  RegisterBenchmark(("libyuv/box_simd/" + n).c_str(), BM_Libyuv, kShrink, libyuv::kFilterBox, true);
  g_ratios.push_back({"ours/area/" + n, "swscale/area_simd/" + n, 2.0});
  g_ratios.push_back({"ours/area/" + n, "libyuv/box_c/" + n, 0.67});
}

// The console report, keeping each run's CPU time per iteration (steadier
// than wall time on a shared machine); with --benchmark_repetitions the
// ratios use the median of the repetitions.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
        times_[r.run_name.function_name].push_back(r.GetAdjustedCPUTime());
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // The median time of a benchmark, or 0 when it did not run.
  double Median(const std::string& name) const {
    const auto it = times_.find(name);
    if (it == times_.end() || it->second.empty()) return 0.0;
    std::vector<double> t = it->second;
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
  }

 private:
  std::map<std::string, std::vector<double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Register();
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nspeed ratios, peer time / our time (above 1: ours is faster)\n");
  std::printf("%-34s %-34s %8s %8s\n", "ours", "peer", "ratio", "target");
  for (const Ratio& r : g_ratios) {
    const double ours = reporter.Median(r.ours);
    const double peer = reporter.Median(r.peer);
    if (ours <= 0 || peer <= 0) continue;
    std::printf("%-34s %-34s %8.2f %8.2f\n", r.ours.c_str(), r.peer.c_str(), peer / ours, r.target);
  }
  benchmark::Shutdown();
  return 0;
}
