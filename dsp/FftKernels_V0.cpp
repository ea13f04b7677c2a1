// Variant 0 (generic): in-place bit reversal of complex floats and complex
// doubles with the pair table.
#include <cstring>

#include "dsp/FftBitRevWalk.h"
#include "dsp/FftVariants.h"

namespace wuperf::v0 {

void WuPerfFFT32fc_BitRevInPlace_V0(void* data, int32_t count, const uint32_t* pairs) {
  uint8_t* p = static_cast<uint8_t*>(data);
  WalkBitRevPairs(count, pairs, [p](uint32_t i, uint32_t j) {
    float a[2], b[2];
    std::memcpy(a, p + 8 * size_t{i}, 8);
    std::memcpy(b, p + 8 * size_t{j}, 8);
    std::memcpy(p + 8 * size_t{i}, b, 8);
    std::memcpy(p + 8 * size_t{j}, a, 8);
  });
}

void WuPerfFFT64f_BitRevInPlace_V0(double* data, int32_t count, const uint32_t* pairs) {
  WalkBitRevPairs(count, pairs, [data](uint32_t i, uint32_t j) {
    double re = data[2 * size_t{i}], im = data[2 * size_t{i} + 1];
    data[2 * size_t{i}] = data[2 * size_t{j}];
    data[2 * size_t{i} + 1] = data[2 * size_t{j} + 1];
    data[2 * size_t{j}] = re;
    data[2 * size_t{j} + 1] = im;
  });
}

}  // namespace wuperf::v0
