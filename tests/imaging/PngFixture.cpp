// PNG images made in the test with libpng's writer.
#include "tests/imaging/PngFixture.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>

namespace wutest {
namespace {

void Append(png_structp png, png_bytep data, size_t count) {
  std::string* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), count);
}

void Flush(png_structp) {}

// One row packed for the depth: sub-byte samples MSB first, 16-bit samples
// big-endian.
std::vector<png_byte> PackRow(const PngImage& image, int y) {
  const int channels = PngChannels(image.colorType);
  const int values = image.width * channels;
  const int* in = image.samples.data() + static_cast<size_t>(y) * values;
  std::vector<png_byte> row((static_cast<size_t>(values) * image.depth + 7) / 8, 0);
  for (int i = 0; i < values; ++i) {
    const int v = in[i];
    if (image.depth == 16) {
      row[2 * i] = static_cast<png_byte>(v >> 8);
      row[2 * i + 1] = static_cast<png_byte>(v);
    } else if (image.depth == 8) {
      row[i] = static_cast<png_byte>(v);
    } else {
      const int bit = i * image.depth;
      row[bit / 8] |= static_cast<png_byte>(v << (8 - image.depth - bit % 8));
    }
  }
  return row;
}

}  // namespace

int PngChannels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
  }
}

void FillSamples(PngImage* image, uint32_t seed, int paletteSize) {
  const int channels = PngChannels(image->colorType);
  const uint32_t limit = image->colorType == PNG_COLOR_TYPE_PALETTE ? paletteSize : (1u << image->depth);
  image->samples.resize(static_cast<size_t>(image->width) * image->height * channels);
  uint32_t state = seed * 2654435761u + 1;
  for (int& v : image->samples) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<int>((state >> 8) % limit);
  }
}

std::string EncodePng(const PngImage& image) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<std::vector<png_byte>> rows;
  for (int y = 0; y < image.height; ++y) rows.push_back(PackRow(image, y));
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::abort();  // the fixture itself is wrong
  }
  png_set_write_fn(png, &out, Append, Flush);
  png_set_IHDR(png, info, image.width, image.height, image.depth, image.colorType,
               image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (size_t i = 0; i + 2 < image.palette.size(); i += 3)
    palette.push_back(png_color{image.palette[i], image.palette[i + 1], image.palette[i + 2]});
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!image.trnsAlpha.empty())
    png_set_tRNS(png, info, image.trnsAlpha.data(), static_cast<int>(image.trnsAlpha.size()), nullptr);
  if (image.trnsColor) {
    png_color_16 color = {};
    color.gray = static_cast<png_uint_16>(image.trnsValue[0]);
    color.red = static_cast<png_uint_16>(image.trnsValue[0]);
    color.green = static_cast<png_uint_16>(image.trnsValue[1]);
    color.blue = static_cast<png_uint_16>(image.trnsValue[2]);
    png_set_tRNS(png, info, nullptr, 0, &color);
  }
  if (image.gammaFixed) png_set_gAMA_fixed(png, info, image.gammaFixed);
  png_set_rows(png, info, pointers.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace wutest
