// YUV conversion speed at 1920 x 1080 beside libyuv, in one run: each of
// our conversions (default paths) against libyuv with every SIMD extension
// it detects (MaskCpuFlags(-1)) and forced to its C path (MaskCpuFlags(1)).
// After the runs the program prints, per row, libyuv's time divided by ours
// (above 1: ours is faster). Outputs differ by design (luma not rescaled,
// 224/219 chroma, 1..254 clamps); only time is compared.
// Run: build/bench/yuv_bench
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "imaging/WuDib.h"
#include "imaging/WuYuvConvert.h"
#include "imaging/WuYuvPacked.h"
#include "imaging/WuYuvPlanar.h"

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

// Source and destination planes, filled once with a smooth picture.
struct Frames {
  std::vector<BYTE> y, u, v, u422, v422, packed, argb, out;
  Frames()
      : y(kW * kH), u(kW * kH / 4), v(kW * kH / 4), u422(kW * kH / 2), v422(kW * kH / 2),
        packed(2 * kW * kH), argb(4 * kW * kH), out(4 * kW * kH) {
    for (int r = 0; r < kH; ++r)
      for (int x = 0; x < kW; ++x) {
        y[r * kW + x] = static_cast<BYTE>(16 + (x + r) % 220);
        BYTE* p = &argb[4 * (r * kW + x)];
        p[0] = static_cast<BYTE>(x * 255 / kW);
        p[1] = static_cast<BYTE>(r * 255 / kH);
        p[2] = static_cast<BYTE>((x + r) / 12);
        p[3] = 255;
      }
    for (size_t i = 0; i < u.size(); ++i) u[i] = static_cast<BYTE>(64 + i % 128);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<BYTE>(192 - i % 128);
    for (size_t i = 0; i < u422.size(); ++i) u422[i] = static_cast<BYTE>(64 + i % 128);
    for (size_t i = 0; i < v422.size(); ++i) v422[i] = static_cast<BYTE>(192 - i % 128);
    for (size_t i = 0; i < packed.size(); ++i) packed[i] = static_cast<BYTE>(40 + i % 180);
  }
};
Frames& F() {
  static Frames f;
  return f;
}

// Headers of the frame conversions.
struct Headers {
  BITMAPINFOHEADER rgb{};
  BITMAPINFOHEADER yuyv{}, i420{};
  WUYUVPLANELAYOUT yuyvLayout{}, i420Layout{};
  WUYUVCONVERTOPTIONS options{};
  Headers() {
    alignas(8) BYTE buffer[sizeof(BITMAPINFOHEADER) + 16] = {};
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(buffer);
    WuVideo_InitBitmapInfo(h, WUPIXEL_RGBA32, kW, kH, nullptr, 0, nullptr);
    rgb = *h;
    for (auto [hdr, cc] : {std::pair{&yuyv, WU_FOURCC_YUYV}, std::pair{&i420, WU_FOURCC_I420}}) {
      hdr->biSize = sizeof(BITMAPINFOHEADER);
      hdr->biWidth = kW;
      hdr->biHeight = kH;
      hdr->biPlanes = 1;
      hdr->biCompression = cc;
    }
    WuYUVImageBytesAndOffsets(&yuyv, &yuyvLayout);
    WuYUVImageBytesAndOffsets(&i420, &i420Layout);
  }
};
Headers& H() {
  static Headers h;
  return h;
}

void Count(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kW) * kH);
}

// ---- Ours ----------------------------------------------------------------------------------

void Ours_I420ToARGB(benchmark::State& state) {
  Frames& f = F();
  for (auto _ : state)
    WuYUV420ToRGBA(kW, kH, f.out.data(), 4 * kW, f.y.data(), kW, f.u.data(), kW / 2, f.v.data(),
                   kW / 2, 0, 516);
  Count(state);
}
void Ours_I422ToARGB(benchmark::State& state) {
  Frames& f = F();
  for (auto _ : state)
    WuYUV422PlanarToRGBA(kW, kH, f.out.data(), 4 * kW, f.y.data(), kW, f.u422.data(), kW / 2,
                         f.v422.data(), kW / 2, 516);
  Count(state);
}
void Ours_UYVYToARGB(benchmark::State& state) {
  Frames& f = F();
  for (auto _ : state) WuUYVY2RGBA(f.out.data(), f.packed.data(), 4 * kW, kW, kH, 2);
  Count(state);
}
void Ours_ARGBToUYVY(benchmark::State& state) {
  Frames& f = F();
  for (auto _ : state) WuRGBA2UYVY(f.out.data(), f.argb.data(), 4 * kW, kW, kH, 2);
  Count(state);
}
void Ours_YUY2ToARGB(benchmark::State& state) {
  Frames& f = F();
  Headers& h = H();
  for (auto _ : state)
    WuYUV_YUVToRGB(&h.rgb, 0, f.out.data(), 4 * kW, &h.yuyv, &h.options, f.packed.data(),
                   &h.yuyvLayout, 0, 0);
  Count(state);
}
void Ours_ARGBToYUY2(benchmark::State& state) {
  Frames& f = F();
  Headers& h = H();
  for (auto _ : state)
    WuYUV_RGBToYUV(&h.yuyv, &h.options, f.out.data(), &h.yuyvLayout, &h.rgb, 0, f.argb.data(),
                   4 * kW, 0, 0);
  Count(state);
}
void Ours_ARGBToI420(benchmark::State& state) {
  Frames& f = F();
  Headers& h = H();
  for (auto _ : state)
    WuYUV_RGBToYUV(&h.i420, &h.options, f.out.data(), &h.i420Layout, &h.rgb, 0, f.argb.data(),
                   4 * kW, 0, 0);
  Count(state);
}

// ---- libyuv, the CPU mask in the benchmark's argument ---------------------------------------

void Peer_I420ToARGB(benchmark::State& state) {
  Frames& f = F();
  libyuv::MaskCpuFlags(static_cast<int>(state.range(0)));
  for (auto _ : state)
    libyuv::I420ToARGB(f.y.data(), kW, f.u.data(), kW / 2, f.v.data(), kW / 2, f.out.data(),
                       4 * kW, kW, kH);
  Count(state);
}
void Peer_I422ToARGB(benchmark::State& state) {
  Frames& f = F();
  libyuv::MaskCpuFlags(static_cast<int>(state.range(0)));
  for (auto _ : state)
    libyuv::I422ToARGB(f.y.data(), kW, f.u422.data(), kW / 2, f.v422.data(), kW / 2,
                       f.out.data(), 4 * kW, kW, kH);
  Count(state);
}
void Peer_UYVYToARGB(benchmark::State& state) {
  Frames& f = F();
  libyuv::MaskCpuFlags(static_cast<int>(state.range(0)));
  for (auto _ : state) libyuv::UYVYToARGB(f.packed.data(), 2 * kW, f.out.data(), 4 * kW, kW, kH);
  Count(state);
}
void Peer_ARGBToUYVY(benchmark::State& state) {
  Frames& f = F();
  libyuv::MaskCpuFlags(static_cast<int>(state.range(0)));
  for (auto _ : state) libyuv::ARGBToUYVY(f.argb.data(), 4 * kW, f.out.data(), 2 * kW, kW, kH);
  Count(state);
}
void Peer_YUY2ToARGB(benchmark::State& state) {
  Frames& f = F();
  libyuv::MaskCpuFlags(static_cast<int>(state.range(0)));
  for (auto _ : state) libyuv::YUY2ToARGB(f.packed.data(), 2 * kW, f.out.data(), 4 * kW, kW, kH);
  Count(state);
}
void Peer_ARGBToYUY2(benchmark::State& state) {
  Frames& f = F();
  libyuv::MaskCpuFlags(static_cast<int>(state.range(0)));
  for (auto _ : state) libyuv::ARGBToYUY2(f.argb.data(), 4 * kW, f.out.data(), 2 * kW, kW, kH);
  Count(state);
}
void Peer_ARGBToI420(benchmark::State& state) {
  Frames& f = F();
  BYTE* y = f.out.data();
  BYTE* u = y + kW * kH;
  BYTE* v = u + kW * kH / 4;
  libyuv::MaskCpuFlags(static_cast<int>(state.range(0)));
  for (auto _ : state)
    libyuv::ARGBToI420(f.argb.data(), 4 * kW, y, kW, u, kW / 2, v, kW / 2, kW, kH);
  Count(state);
}

constexpr int kAllSimd = -1;
constexpr int kCOnly = 1;

#define WU_YUV_ROW(name)                                                              \
  BENCHMARK(Ours_##name)->Unit(benchmark::kMillisecond)->UseRealTime();              \
  BENCHMARK(Peer_##name)->Arg(kAllSimd)->Unit(benchmark::kMillisecond)->UseRealTime(); \
  BENCHMARK(Peer_##name)->Arg(kCOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

WU_YUV_ROW(I420ToARGB)
WU_YUV_ROW(I422ToARGB)
WU_YUV_ROW(UYVYToARGB)
WU_YUV_ROW(ARGBToUYVY)
WU_YUV_ROW(YUY2ToARGB)
WU_YUV_ROW(ARGBToYUY2)
WU_YUV_ROW(ARGBToI420)

// Keeps each run's time per iteration by name, to print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && !r.error_occurred)
        times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    static const char* const kRows[][2] = {
        {"I420ToARGB", "WuYUV420ToRGBA, progressive"},
        {"I422ToARGB", "WuYUV422PlanarToRGBA"},
        {"UYVYToARGB", "WuUYVY2RGBA"},
        {"ARGBToUYVY", "WuRGBA2UYVY"},
        {"YUY2ToARGB", "WuYUV_YUVToRGB, YUYV into type 29"},
        {"ARGBToYUY2", "WuYUV_RGBToYUV, type 29 into YUYV"},
        {"ARGBToI420", "WuYUV_RGBToYUV, type 29 into I420"},
    };
    std::printf("\nSpeed ratios, libyuv time / our time (targets: >= 0.4 SIMD, >= 3 C path)\n");
    std::printf("%-36s %-12s %10s %10s\n", "ours", "libyuv", "vs SIMD", "vs C");
    for (const auto& row : kRows) {
      const std::string base = row[0];
      const auto ours = times_.find("Ours_" + base + "/real_time");
      const auto simd = times_.find("Peer_" + base + "/-1/real_time");
      const auto c = times_.find("Peer_" + base + "/1/real_time");
      if (ours == times_.end() || simd == times_.end() || c == times_.end()) continue;
      std::printf("%-36s %-12s %10.2f %10.2f\n", row[1], row[0], simd->second / ours->second,
                  c->second / ours->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  libyuv::MaskCpuFlags(-1);
  return 0;
}
