// The built-in cursor table: 57 small one-bit designs, each carried in a
// "gcur" container with a 32 x 32 and a 16 x 16 image. A design is one of
// four base shapes (arrow, cross-hair, horizontal and vertical sizer) with
// the cursor's id drawn as a row of dots in the lower right corner, so
// every id has its own picture. The containers are built once, on first
// use, into process-lifetime storage.
#include <array>
#include <cstring>
#include <vector>

#include "foundation/WuUICursor.h"

namespace {

constexpr int kSide = 32;  // side of the design board

// Table order of the ids.
constexpr std::array<UINT, WU_KERNEL_CURSOR_COUNT> kIds = {
    1,  2,  3,  53, 4,  5,  6,  7,  8,  57, 54, 55, 9,  10, 11, 12, 13, 14, 15,
    16, 17, 56, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33,
    34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52};

// One design: opaque (black) pixels and the hotspot.
struct Design {
  bool ink[kSide][kSide];  // [y][x], y = 0 at the top
  int hotX;                // hotspot x on the 32 x 32 board
  int hotY;                // hotspot y on the 32 x 32 board
};

void Box(Design& d, int x0, int y0, int x1, int y1) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) d.ink[y][x] = true;
}

Design Draw(UINT id) {
  Design d{};
  switch (id % 4) {
    case 0:  // arrow from the top-left corner
      for (int y = 0; y < 20; ++y) Box(d, 0, y, y / 2 + 1, y);
      Box(d, 3, 18, 5, 26);
      d.hotX = 0;
      d.hotY = 0;
      break;
    case 1:  // cross-hair
      Box(d, 15, 2, 16, 29);
      Box(d, 2, 15, 29, 16);
      d.hotX = d.hotY = 15;
      break;
    case 2:  // horizontal sizer
      Box(d, 4, 14, 27, 17);
      for (int i = 0; i < 6; ++i) Box(d, 2 + i, 15 - i, 2 + i, 16 + i), Box(d, 29 - i, 15 - i, 29 - i, 16 + i);
      d.hotX = d.hotY = 15;
      break;
    default:  // vertical sizer
      Box(d, 14, 4, 17, 27);
      for (int i = 0; i < 6; ++i) Box(d, 15 - i, 2 + i, 16 + i, 2 + i), Box(d, 15 - i, 29 - i, 16 + i, 29 - i);
      d.hotX = d.hotY = 15;
      break;
  }
  for (int bit = 0; bit < 6; ++bit)  // the id as six dots, lowest bit right
    if (id & (1u << bit)) Box(d, 28 - 2 * bit, 28, 28 - 2 * bit, 29);
  return d;
}

void Put16(std::vector<BYTE>& out, size_t at, DWORD v) {
  out[at] = static_cast<BYTE>(v);
  out[at + 1] = static_cast<BYTE>(v >> 8);
}
void Put32(std::vector<BYTE>& out, size_t at, DWORD v) {
  Put16(out, at, v & 0xFFFF);
  Put16(out, at + 2, v >> 16);
}

// Bytes of one image of side `side` (1 bit per pixel, rows of 4 bytes).
constexpr DWORD ImageBytes(int side) { return 40 + 8 + 2 * 4 * side; }

// Writes the image (header, palette, XOR rows, AND rows; bottom-up).
void PutImage(std::vector<BYTE>& out, size_t at, const Design& d, int side) {
  const int step = kSide / side;
  Put32(out, at, 40);
  Put32(out, at + 4, side);
  Put32(out, at + 8, 2 * side);
  Put16(out, at + 12, 1);
  Put16(out, at + 14, 1);
  Put32(out, at + 20, 2 * 4 * side);
  std::memset(&out[at + 44], 0xFF, 3);  // palette: black, white
  size_t xorRows = at + 48, andRows = xorRows + 4 * side;
  for (int row = 0; row < side; ++row) {
    int y = (side - 1 - row) * step;
    for (int col = 0; col < side; ++col) {
      bool ink = false;
      for (int dy = 0; dy < step; ++dy)
        for (int dx = 0; dx < step; ++dx) ink = ink || d.ink[y + dy][col * step + dx];
      if (!ink) out[andRows + 4 * row + col / 8] |= static_cast<BYTE>(0x80 >> (col % 8));
    }
  }
}

std::vector<BYTE> BuildContainer(UINT id) {
  static constexpr int kSides[2] = {32, 16};
  const Design d = Draw(id);
  const DWORD count = 2;
  const DWORD fileDir = WU_GCUR_HEADER_SIZE + WU_GROUP_DIR_HEADER_SIZE + count * WU_GROUP_DIR_ENTRY_SIZE;
  DWORD at = fileDir + WU_CUR_DIR_HEADER_SIZE + count * WU_CUR_DIR_ENTRY_SIZE;
  DWORD total = at;
  for (int side : kSides) total += 4 + ImageBytes(side);
  std::vector<BYTE> out(total, 0);
  std::memcpy(out.data(), "gcur", 4);
  Put32(out, 4, fileDir);
  Put16(out, 10, 2);
  Put16(out, 12, count);
  Put16(out, fileDir + 2, 2);
  Put16(out, fileDir + 4, count);
  for (DWORD i = 0; i < count; ++i) {
    const int side = kSides[i];
    const DWORD hx = d.hotX * side / kSide, hy = d.hotY * side / kSide;
    size_t g = WU_GCUR_HEADER_SIZE + WU_GROUP_DIR_HEADER_SIZE + i * WU_GROUP_DIR_ENTRY_SIZE;
    Put16(out, g, side);
    Put16(out, g + 2, 2 * side);
    Put16(out, g + 4, 1);
    Put16(out, g + 6, 1);
    Put32(out, g + 8, ImageBytes(side));
    Put16(out, g + 12, i + 1);
    size_t f = fileDir + WU_CUR_DIR_HEADER_SIZE + i * WU_CUR_DIR_ENTRY_SIZE;
    out[f] = out[f + 1] = static_cast<BYTE>(side);
    out[f + 2] = 2;
    Put16(out, f + 4, hx);
    Put16(out, f + 6, hy);
    Put32(out, f + 8, ImageBytes(side));
    Put32(out, f + 12, at + 4);
    Put16(out, at, hx);
    Put16(out, at + 2, hy);
    PutImage(out, at + 4, d, side);
    at += 4 + ImageBytes(side);
  }
  return out;
}

// The kernel cursor table: id, size and data of every container.
struct KernelCursorEntry {
  UINT id;            // cursor id 1..57
  DWORD size;         // bytes of the container
  const BYTE* data;   // the "gcur" container
};

struct KernelCursorTable {
  std::array<std::vector<BYTE>, WU_KERNEL_CURSOR_COUNT> storage;  // owns the bytes
  std::array<KernelCursorEntry, WU_KERNEL_CURSOR_COUNT> entries;  // in table order
  KernelCursorTable() {
    for (size_t i = 0; i < kIds.size(); ++i) {
      storage[i] = BuildContainer(kIds[i]);
      entries[i] = {kIds[i], static_cast<DWORD>(storage[i].size()), storage[i].data()};
    }
  }
};

const KernelCursorTable& Table() {
  static const KernelCursorTable table;
  return table;
}

}  // namespace

const BYTE* WuGetKernelCursorBits(UINT id, DWORD* size) {
  if (size) *size = 0;
  for (const KernelCursorEntry& e : Table().entries) {
    if (e.id != id) continue;
    if (size) *size = e.size;
    return e.data;
  }
  return nullptr;
}
