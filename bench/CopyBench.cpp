// Bitmap copy and PNG writing beside their peers, in the same run:
//   - 1920 x 1080 24-bit to 32-bit with alpha (the same-size fast path)
//     beside libyuv's RGB24ToARGB;
//   - the pipeline copy of a 1920 x 1080 24-bit image to 1280 x 720 at
//     quality 3 beside libyuv's ARGBScale with kFilterBilinear;
//   - the pipeline copy in 16-bit lanes, 1920 x 1080 64-bit to 24-bit at
//     quality 3, once to 1920 x 720 (every sample without a horizontal
//     fraction: the vertical fetch) and once to 1280 x 720; our time only;
//   - WuSaveDiskPngDib of a 1920 x 1080 frame beside plain libpng writing
//     the same pixels with the same settings (level 9, filters None, Sub and
//     Paeth) into the same folder.
// libyuv runs once forced to its C path (MaskCpuFlags(1)) and once with all
// its SIMD (MaskCpuFlags(-1)). Each *Ratio benchmark times every side in
// every iteration and reports the speed ratios (peer time / our time) as
// counters. Figures to watch, never a pass/fail limit.
// Run: build/bench/copy_bench
#include <benchmark/benchmark.h>
#include <libyuv.h>
#include <png.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/WuDib.h"
#include "imaging/WuDibCopy.h"
#include "imaging/WuPngWrite.h"

namespace {

constexpr LONG kWidth = 1920, kHeight = 1080;
constexpr LONG kSmallWidth = 1280, kSmallHeight = 720;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// A bitmap block with a picture-like pattern: gradients and some noise.
BITMAPINFOHEADER* Picture(WUPIXELTYPE type, LONG width, LONG height) {
  BITMAPINFOHEADER* dib = nullptr;
  WuDibAlloc(&dib, type, width, height, nullptr, 0, WUDIB_ZEROINIT);
  const LONG stride = WuDibGetStride(dib, 0);
  const int px = dib->biBitCount / 8;
  uint32_t x = 2463534242u;
  for (LONG y = 0; y < height; ++y) {
    BYTE* row = WuDibGetBits(dib) + static_cast<size_t>(y) * stride;
    for (LONG i = 0; i < width; ++i) {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      BYTE* p = row + i * px;
      p[0] = static_cast<BYTE>(i / 8 + (x & 7));
      p[1] = static_cast<BYTE>(y / 5 + ((x >> 3) & 3));
      p[2] = static_cast<BYTE>((i + y) / 12);
      if (px == 4) p[3] = 255;
    }
  }
  return dib;
}

void Report(benchmark::State& state, double ours, double peerC, double peerSimd) {
  libyuv::MaskCpuFlags(-1);
  if (ours <= 0.0) return;
  state.counters["speed_vs_c"] = peerC / ours;
  if (peerSimd > 0.0) state.counters["speed_vs_simd"] = peerSimd / ours;
}

void BM_Rgb24ToArgbRatio(benchmark::State& state) {
  BITMAPINFOHEADER* src = Picture(WUPIXEL_RGB24, kWidth, kHeight);
  BITMAPINFOHEADER* dst = nullptr;
  WuDibAlloc(&dst, WUPIXEL_RGBA32, kWidth, kHeight, nullptr, 0, WUDIB_ZEROINIT);
  std::vector<uint8_t> peer(static_cast<size_t>(kWidth) * 4 * kHeight);
  const int srcStride = WuDibGetStride(src, 0);
  double ours = 0, peerC = 0, peerSimd = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    WuDibCopy(dst, nullptr, nullptr, 0, src, nullptr, nullptr, 0, 0, 0.0, 0.0);
    auto t1 = Clock::now();
    libyuv::MaskCpuFlags(1);
    libyuv::RGB24ToARGB(WuDibGetBits(src), srcStride, peer.data(), kWidth * 4, kWidth, kHeight);
    auto t2 = Clock::now();
    libyuv::MaskCpuFlags(-1);
    libyuv::RGB24ToARGB(WuDibGetBits(src), srcStride, peer.data(), kWidth * 4, kWidth, kHeight);
    auto t3 = Clock::now();
    ours += Seconds(t0, t1), peerC += Seconds(t1, t2), peerSimd += Seconds(t2, t3);
    benchmark::DoNotOptimize(peer.data());
  }
  if (std::memcmp(WuDibGetBits(dst), peer.data(), peer.size()) != 0)
    state.SkipWithError("output differs from libyuv");
  Report(state, ours, peerC, peerSimd);
  WuDibFree(dst, 0);
  WuDibFree(src, 0);
}

void BM_ScaleRatio(benchmark::State& state) {
  BITMAPINFOHEADER* src = Picture(WUPIXEL_RGB24, kWidth, kHeight);
  BITMAPINFOHEADER* dst = nullptr;
  WuDibAlloc(&dst, WUPIXEL_RGB24, kSmallWidth, kSmallHeight, nullptr, 0, WUDIB_ZEROINIT);
  // The peer scales the same picture in its 4-byte layout.
  std::vector<uint8_t> argb(static_cast<size_t>(kWidth) * 4 * kHeight);
  std::vector<uint8_t> small(static_cast<size_t>(kSmallWidth) * 4 * kSmallHeight);
  libyuv::RGB24ToARGB(WuDibGetBits(src), WuDibGetStride(src, 0), argb.data(), kWidth * 4, kWidth, kHeight);
  double ours = 0, peerC = 0, peerSimd = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    WuDibCopy(dst, nullptr, nullptr, 0, src, nullptr, nullptr, 0, 3, 0.0, 0.0);
    auto t1 = Clock::now();
    libyuv::MaskCpuFlags(1);
    libyuv::ARGBScale(argb.data(), kWidth * 4, kWidth, kHeight, small.data(), kSmallWidth * 4, kSmallWidth,
                      kSmallHeight, libyuv::kFilterBilinear);
    auto t2 = Clock::now();
    libyuv::MaskCpuFlags(-1);
    libyuv::ARGBScale(argb.data(), kWidth * 4, kWidth, kHeight, small.data(), kSmallWidth * 4, kSmallWidth,
                      kSmallHeight, libyuv::kFilterBilinear);
    auto t3 = Clock::now();
    ours += Seconds(t0, t1), peerC += Seconds(t1, t2), peerSimd += Seconds(t2, t3);
    benchmark::DoNotOptimize(small.data());
  }
  Report(state, ours, peerC, peerSimd);
  WuDibFree(dst, 0);
  WuDibFree(src, 0);
}

// Scaled pipeline copy in 16-bit lanes (no peer has these layouts).
void BM_ScalePipeline16(benchmark::State& state) {
  BITMAPINFOHEADER* src = Picture(WUPIXEL_RGBA64, kWidth, kHeight);
  BITMAPINFOHEADER* dst = nullptr;
  const LONG width = state.range(0) == 0 ? kWidth : kSmallWidth;
  WuDibAlloc(&dst, WUPIXEL_RGB24, width, kSmallHeight, nullptr, 0, WUDIB_ZEROINIT);
  for (auto _ : state) {
    WuDibCopy(dst, nullptr, nullptr, 0, src, nullptr, nullptr, 0, 3, 0.0, 0.0);
    benchmark::DoNotOptimize(WuDibGetBits(dst));
  }
  WuDibFree(dst, 0);
  WuDibFree(src, 0);
}

// Plain libpng with the writer's settings, rows already red first.
bool PlainPng(const std::string& path, const std::vector<std::vector<uint8_t>>& rows, bool interlace) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, 0x98);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB_ALPHA,
               interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_flush(png, 50);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass)
    for (const auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return true;
}

void BM_PngWriteRatio(benchmark::State& state) {
  BITMAPINFOHEADER* src = Picture(WUPIXEL_RGBA32, kWidth, kHeight);
  const LONG stride = WuDibGetStride(src, 0);
  std::vector<std::vector<uint8_t>> rows(kHeight, std::vector<uint8_t>(kWidth * 4));
  for (LONG y = 0; y < kHeight; ++y) {
    const BYTE* in = WuDibGetBits(src) + static_cast<size_t>(kHeight - 1 - y) * stride;
    for (LONG x = 0; x < kWidth; ++x) {
      rows[y][x * 4] = in[x * 4 + 2];
      rows[y][x * 4 + 1] = in[x * 4 + 1];
      rows[y][x * 4 + 2] = in[x * 4];
      rows[y][x * 4 + 3] = in[x * 4 + 3];
    }
  }
  const std::string dir = std::filesystem::temp_directory_path().string();
  const std::string ourPath = dir + "/copy_bench_ours.png", peerPath = dir + "/copy_bench_peer.png";
  const std::u16string ourPath16(ourPath.begin(), ourPath.end());
  const WUPNGFILEOPTIONS options = {29, 0};
  double ours = 0, peer = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    HRESULT hr = WuSaveDiskPngDib(ourPath16.c_str(), src, nullptr, &options);
    auto t1 = Clock::now();
    bool ok = PlainPng(peerPath, rows, false);
    auto t2 = Clock::now();
    if (hr != 0 || !ok) {
      state.SkipWithError("a write failed");
      break;
    }
    ours += Seconds(t0, t1), peer += Seconds(t1, t2);
  }
  if (ours > 0.0) state.counters["speed_vs_libpng"] = peer / ours;
  std::filesystem::remove(ourPath);
  std::filesystem::remove(peerPath);
  WuDibFree(src, 0);
}

BENCHMARK(BM_Rgb24ToArgbRatio)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleRatio)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScalePipeline16)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngWriteRatio)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
