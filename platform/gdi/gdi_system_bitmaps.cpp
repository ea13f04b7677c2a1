// Built-in system bitmaps (LoadImageW with a null module): shared,
// monochrome images of our own drawing, made on first request and never
// deleted.
#include <map>
#include <mutex>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"

namespace platform {
namespace gdi {

namespace {

// The check mark: 13 x 13, black strokes (0 bits) on white (1 bits), a
// stroke three pixels high going down from the left and up to the right.
constexpr int kCheckSide = 13;
constexpr const char* kCheckRows[kCheckSide] = {
    ".............",  //
    ".............",  //
    "..........#..",  //
    ".........##..",  //
    "..#.....###..",  //
    "..##...###...",  //
    "..###.###....",  //
    "...#####.....",  //
    "....###......",  //
    ".....#.......",  //
    ".............",  //
    ".............",  //
    ".............",  //
};

std::shared_ptr<Bitmap> DrawCheck() {
  std::shared_ptr<Bitmap> b = NewBitmap(kCheckSide, kCheckSide, 1, false);
  if (!b) return nullptr;
  b->device_mono = true;
  for (int y = 0; y < kCheckSide; ++y) {
    uint8_t* row = b->bits + static_cast<size_t>(y) * static_cast<size_t>(b->stride);
    for (int x = 0; x < kCheckSide; ++x)
      if (kCheckRows[y][x] == '.') row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
  return b;
}

}  // namespace

HBITMAP SystemBitmap(WORD id) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  static std::map<WORD, uintptr_t>* made = new std::map<WORD, uintptr_t>;  // lives to exit
  auto it = made->find(id);
  if (it != made->end()) return reinterpret_cast<HBITMAP>(it->second);
  std::shared_ptr<Bitmap> b;
  if (id == OBM_CHECK) b = DrawCheck();
  if (!b) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  b->stock = true;  // shared: DeleteObject leaves it, it is not counted
  uintptr_t handle = Insert(b);
  (*made)[id] = handle;
  return reinterpret_cast<HBITMAP>(handle);
}

}  // namespace gdi
}  // namespace platform
