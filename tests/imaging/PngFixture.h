// PNG images made in the test with libpng's writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wutest {

// One PNG image to encode. Samples are given unpacked, one int per channel
// of each pixel, rows top-down; the encoder packs them for the depth.
struct PngImage {
  int width = 0;
  int height = 0;
  int colorType = 0;         // PNG colour type (0, 2, 3, 4, 6)
  int depth = 8;             // bits per sample
  bool interlaced = false;   // Adam7
  std::vector<int> samples;  // width * height * channels values
  std::vector<uint8_t> palette;    // colour type 3: red, green, blue per entry
  std::vector<uint8_t> trnsAlpha;  // colour type 3 with tRNS: alpha per entry
  bool trnsColor = false;          // colour types 0 and 2: a transparent value
  int trnsValue[3] = {0, 0, 0};    // grey level, or red, green, blue
  int gammaFixed = 0;              // gAMA in 1/100000, 0 for none
};

// Channels per pixel of a PNG colour type.
int PngChannels(int colorType);
// The encoded file.
std::string EncodePng(const PngImage& image);
// Fills the samples with a fixed pseudo-random pattern within the depth
// (palette indexes below `paletteSize` for colour type 3).
void FillSamples(PngImage* image, uint32_t seed, int paletteSize = 0);

}  // namespace wutest
