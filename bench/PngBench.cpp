// PNG decoding speed: WuDibFromPng beside plain libpng decoding of the same
// 1920 x 1080 RGBA image into a buffer. The image is made at run time. The
// "ratio" counter of BM_DibFromPngOverLibpng is the bitmap decoder's time
// divided by plain libpng's (a figure to watch, not a limit).
#include <benchmark/benchmark.h>
#include <png.h>

#include <chrono>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/WuDib.h"
#include "imaging/WuPngRead.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void AppendToString(png_structp png, png_bytep data, size_t count) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), count);
}
void NoFlush(png_structp) {}

// A photo-like RGBA image: smooth gradients with a little noise, and an
// alpha ramp.
const std::string& TestImage() {
  static const std::string encoded = [] {
    std::vector<png_byte> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        noise = noise * 1664525u + 1013904223u;
        png_byte* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
        const int n = static_cast<int>(noise >> 29);
        p[0] = static_cast<png_byte>((x * 255 / kWidth + n) & 0xFF);
        p[1] = static_cast<png_byte>((y * 255 / kHeight + n) & 0xFF);
        p[2] = static_cast<png_byte>(((x + y) / 12 + n) & 0xFF);
        p[3] = static_cast<png_byte>(x * 255 / kWidth);
      }
    }
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
      png_destroy_write_struct(&png, &info);
      return std::string();
    }
    png_set_write_fn(png, &out, AppendToString, NoFlush);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < kHeight; ++y) png_write_row(png, &pixels[static_cast<size_t>(y) * kWidth * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
  }();
  return encoded;
}

// Memory source of the plain libpng decoder.
struct Reader {
  const std::string* data;
  size_t offset;
};

void ReadFromReader(png_structp png, png_bytep out, size_t count) {
  Reader* reader = static_cast<Reader*>(png_get_io_ptr(png));
  if (reader->data->size() - reader->offset < count) png_error(png, "short");
  std::memcpy(out, reader->data->data() + reader->offset, count);
  reader->offset += count;
}

// Plain libpng: the same image into a top-down RGBA buffer.
bool DecodeWithLibpng(const std::string& data, std::vector<png_byte>* pixels) {
  Reader reader = {&data, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &reader, ReadFromReader);
  png_read_info(png, info);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  pixels->resize(rowBytes * height);
  for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, pixels->data() + y * rowBytes, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool DecodeWithDib(const std::string& data) {
  BITMAPINFOHEADER* dib = nullptr;
  const HRESULT hr = WuDibFromPng(&dib, data.data(), static_cast<LONG>(data.size()));
  benchmark::DoNotOptimize(dib);
  WuDibFree(dib, 0);
  return hr == S_OK;
}

void BM_WuDibFromPng(benchmark::State& state) {
  const std::string& data = TestImage();
  for (auto _ : state) {
    if (!DecodeWithDib(data)) state.SkipWithError("decode failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_WuDibFromPng)->Unit(benchmark::kMillisecond);

void BM_LibpngToBuffer(benchmark::State& state) {
  const std::string& data = TestImage();
  std::vector<png_byte> pixels;
  for (auto _ : state) {
    if (!DecodeWithLibpng(data, &pixels)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_LibpngToBuffer)->Unit(benchmark::kMillisecond);

// Both decoders in turn in every iteration; "ratio" is the bitmap
// decoder's share over plain libpng's.
void BM_DibFromPngOverLibpng(benchmark::State& state) {
  const std::string& data = TestImage();
  std::vector<png_byte> pixels;
  double dibSeconds = 0.0, libpngSeconds = 0.0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    DecodeWithDib(data);
    const auto t1 = std::chrono::steady_clock::now();
    DecodeWithLibpng(data, &pixels);
    const auto t2 = std::chrono::steady_clock::now();
    dibSeconds += std::chrono::duration<double>(t1 - t0).count();
    libpngSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  if (libpngSeconds > 0.0) state.counters["ratio"] = dibSeconds / libpngSeconds;
}
BENCHMARK(BM_DibFromPngOverLibpng)->Unit(benchmark::kMillisecond);

}  // namespace
