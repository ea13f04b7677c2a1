// The built-in quarter-wave sine tables of order 10 (generated data, see
// tools/sinetables): entry k = sin(2*pi*k/1024), k = 0..256, entry 0 = 0 and
// entry 256 = 1.0 exactly. The FFT set-ups of orders up to 10 read every
// twiddle from them.
#pragma once

#include <cstdint>

namespace wuperf {

constexpr int kSineTable1024Order = 10;      // the tables' order
constexpr int kSineTable1024Entries = 257;   // 1024/4 + 1

extern const float kSineTable1024f[kSineTable1024Entries];
extern const double kSineTable1024d[kSineTable1024Entries];

}  // namespace wuperf
