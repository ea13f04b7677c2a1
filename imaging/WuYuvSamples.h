// Internal to the YUV conversions: reading and writing the samples of the
// packed layouts. v210 words are little-endian 32-bit values holding three
// 10-bit samples at bits 0-9, 10-19 and 20-29 (bits 30-31 unused).
#pragma once

#include "platform/kernel/types.h"

namespace wu_yuv {

inline DWORD ReadLE32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
         (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}
inline void WriteLE32(BYTE* p, DWORD v) {
  p[0] = static_cast<BYTE>(v);
  p[1] = static_cast<BYTE>(v >> 8);
  p[2] = static_cast<BYTE>(v >> 16);
  p[3] = static_cast<BYTE>(v >> 24);
}
// The 10-bit sample `index` (0, 1, 2) of a v210 word.
inline int Field10(DWORD word, int index) {
  return static_cast<int>((word >> (10 * index)) & 0x3FF);
}
// A v210 word of three samples, keeping bits 30 and 31 of `old`.
inline DWORD PackField10(DWORD old, int a, int b, int c) {
  return (old & 0xC0000000u) | static_cast<DWORD>(a) | (static_cast<DWORD>(b) << 10) |
         (static_cast<DWORD>(c) << 20);
}

// Byte positions of Y0, U, Y1, V within a packed pair.
struct PackedOrder {
  int y0, u, y1, v;
};
constexpr PackedOrder kUyvyOrder = {1, 0, 3, 2};
constexpr PackedOrder kYuyvOrder = {0, 1, 2, 3};

}  // namespace wu_yuv
