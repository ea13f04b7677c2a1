// Icons and cursors: images from resource bytes (checked against their
// size before anything is read), group-directory lookup, icons from
// bitmaps, drawing, the built-in system cursors and icons, image files, and
// the current cursor.
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"

namespace platform::gdi {

namespace {

constexpr int kMaxIconSide = 1024;
constexpr int kDefaultIconSide = 32;

uint16_t Word(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Dword(const BYTE* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads one icon or cursor image (hotspot first for a cursor). Null when
// the bytes do not hold a whole image of a supported kind.
std::shared_ptr<Icon> ParseImage(const BYTE* bits, DWORD size, bool is_icon) {
  if (!bits) return nullptr;
  uint64_t offset = is_icon ? 0 : 4;
  if (size < offset + sizeof(BITMAPINFOHEADER)) return nullptr;
  POINT hotspot{0, 0};
  if (!is_icon) hotspot = POINT{Word(bits), Word(bits + 2)};
  BITMAPINFOHEADER h;
  std::memcpy(&h, bits + offset, sizeof(h));
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > size - offset) return nullptr;
  if (h.biWidth <= 0 || h.biWidth > kMaxIconSide || h.biHeight <= 0 || (h.biHeight & 1) ||
      h.biHeight / 2 > kMaxIconSide || h.biPlanes != 1)
    return nullptr;
  int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return nullptr;
  bool bitfields = h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32);
  if (h.biCompression != BI_RGB && !bitfields) return nullptr;
  if (bitfields && h.biSize != 40 && h.biSize < 52) return nullptr;  // masks would straddle the header
  int width = h.biWidth, height = h.biHeight / 2;
  uint64_t colors = bpp <= 8 ? (h.biClrUsed && h.biClrUsed < (1u << bpp) ? h.biClrUsed : (1u << bpp))
                             : h.biClrUsed;
  uint64_t table = offset + h.biSize + (bitfields && h.biSize == 40 ? 12 : 0);
  uint64_t xor_offset = table + colors * 4;
  uint64_t xor_bytes = static_cast<uint64_t>(DibStride(width, bpp)) * height;
  uint64_t and_bytes = static_cast<uint64_t>(DibStride(width, 1)) * height;
  if (colors > 0x10000 || xor_offset + xor_bytes + and_bytes > size) return nullptr;

  DibFormat f;
  f.width = width;
  f.height = height;
  f.bottom_up = true;
  f.bpp = bpp;
  f.stride = DibStride(width, bpp);
  f.bitfields = bitfields;
  if (bitfields) std::memcpy(f.masks, bits + offset + 40, 12);
  if (bpp <= 8)
    for (uint64_t i = 0; i < colors; ++i) {
      const BYTE* q = bits + table + i * 4;
      f.palette.push_back(RGBQUAD{q[0], q[1], q[2], 0});
    }
  Bitmap image = DibView(f, bits + xor_offset);
  DibFormat mf = f;
  mf.bpp = 1;
  mf.stride = DibStride(width, 1);
  mf.bitfields = false;
  mf.palette = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
  Bitmap mask = DibView(mf, bits + xor_offset + xor_bytes);

  auto icon = std::make_shared<Icon>();
  icon->is_icon = is_icon;
  icon->width = width;
  icon->height = height;
  icon->hotspot = is_icon ? POINT{width / 2, height / 2} : hotspot;
  icon->mono = bpp == 1;
  icon->color.resize(static_cast<size_t>(width) * height);
  icon->mask.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t raw = ReadRaw(image, x, y);
      COLORREF c = ColorFromRaw(image, raw);
      uint32_t alpha = (bpp == 32 && !bitfields) ? raw >> 24 : 0;
      if (alpha) icon->alpha = true;
      size_t i = static_cast<size_t>(y) * width + x;
      icon->color[i] = (alpha << 24) | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
      icon->mask[i] = static_cast<uint8_t>(ReadRaw(mask, x, y));
    }
  return icon;
}

// Resamples an icon to a new size (nearest neighbour).
void Resize(Icon& icon, int width, int height) {
  if (width == icon.width && height == icon.height) return;
  std::vector<uint32_t> color(static_cast<size_t>(width) * height);
  std::vector<uint8_t> mask(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int sx = static_cast<int>(static_cast<int64_t>(x) * icon.width / width);
      int sy = static_cast<int>(static_cast<int64_t>(y) * icon.height / height);
      size_t from = static_cast<size_t>(sy) * icon.width + sx;
      color[static_cast<size_t>(y) * width + x] = icon.color[from];
      mask[static_cast<size_t>(y) * width + x] = icon.mask[from];
    }
  icon.hotspot.x = static_cast<LONG>(static_cast<int64_t>(icon.hotspot.x) * width / icon.width);
  icon.hotspot.y = static_cast<LONG>(static_cast<int64_t>(icon.hotspot.y) * height / icon.height);
  icon.width = width;
  icon.height = height;
  icon.color.swap(color);
  icon.mask.swap(mask);
}

HICON Publish(std::shared_ptr<Icon> icon) { return reinterpret_cast<HICON>(Insert(std::move(icon))); }

// ---- Built-in shapes -----------------------------------------------------------------------
// A 32 x 32 drawing board: 0 transparent, else a colour | 0x01000000.
struct Board {
  uint32_t px[32][32] = {};
  void Set(int x, int y, COLORREF c) {
    if (x >= 0 && x < 32 && y >= 0 && y < 32) px[y][x] = c | 0x01000000u;
  }
  void Box(int l, int t, int r, int b, COLORREF c) {
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) Set(x, y, c);
  }
  // A polygon filled with `fill` and outlined with `line`.
  void Shape(const std::vector<std::pair<double, double>>& pts, COLORREF fill, COLORREF line) {
    auto inside = [&](int x, int y) {
      if (x < 0 || x >= 32 || y < 0 || y >= 32) return false;
      double px = x + 0.5, py = y + 0.5;
      bool in = false;
      for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
        auto [xi, yi] = pts[i];
        auto [xj, yj] = pts[j];
        if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) in = !in;
      }
      return in;
    };
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        if (!inside(x, y)) continue;
        bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
        Set(x, y, edge ? line : fill);
      }
  }
  void Ring(double cx, double cy, double r0, double r1, COLORREF c) {
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        if (d >= r0 && d <= r1) Set(x, y, c);
      }
  }
};

using Points = std::vector<std::pair<double, double>>;

const Points kArrow = {{0, 0}, {0, 17}, {4.5, 13}, {7.5, 20}, {10, 19}, {7, 12.5}, {12.5, 12.5}};

Points Rotated(const Points& pts, double degrees) {
  double a = degrees * 3.14159265358979 / 180.0;
  Points out;
  for (auto [x, y] : pts) {
    double dx = x - 16, dy = y - 16;
    out.emplace_back(16 + dx * std::cos(a) - dy * std::sin(a), 16 + dx * std::sin(a) + dy * std::cos(a));
  }
  return out;
}

const Points kSizeWE = {{2, 16}, {8, 10}, {8, 14}, {24, 14}, {24, 10}, {30, 16},
                        {24, 22}, {24, 18}, {8, 18}, {8, 22}};
const Points kHourglass = {{8, 2}, {24, 2}, {24, 5}, {18, 16}, {24, 27}, {24, 30},
                           {8, 30}, {8, 27}, {14, 16}, {8, 5}};

void QuestionMark(Board& b, int x, int y, COLORREF c) {
  b.Box(x, y, x + 5, y + 2, c);
  b.Box(x + 4, y, x + 6, y + 5, c);
  b.Box(x + 2, y + 4, x + 5, y + 6, c);
  b.Box(x + 2, y + 6, x + 4, y + 8, c);
  b.Box(x + 2, y + 9, x + 4, y + 11, c);
}

// Draws a system cursor; false for an id that is not one.
bool CursorShape(WORD id, Board& b, POINT* hotspot) {
  const COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255);
  *hotspot = POINT{15, 15};
  switch (id) {
    case OCR_NORMAL: b.Shape(kArrow, kWhite, kBlack); *hotspot = POINT{0, 0}; return true;
    case OCR_IBEAM:
      b.Box(12, 3, 20, 5, kBlack);
      b.Box(15, 4, 17, 28, kBlack);
      b.Box(12, 27, 20, 29, kBlack);
      return true;
    case OCR_WAIT: b.Shape(kHourglass, kWhite, kBlack); return true;
    case OCR_CROSS:
      b.Box(15, 4, 17, 28, kBlack);
      b.Box(4, 15, 28, 17, kBlack);
      return true;
    case OCR_UP:
      b.Shape({{16, 0}, {24, 9}, {19, 9}, {19, 29}, {13, 29}, {13, 9}, {8, 9}}, kWhite, kBlack);
      *hotspot = POINT{15, 0};
      return true;
    case OCR_SIZEWE: b.Shape(kSizeWE, kWhite, kBlack); return true;
    case OCR_SIZENS: b.Shape(Rotated(kSizeWE, 90), kWhite, kBlack); return true;
    case OCR_SIZENWSE: b.Shape(Rotated(kSizeWE, 45), kWhite, kBlack); return true;
    case OCR_SIZENESW: b.Shape(Rotated(kSizeWE, -45), kWhite, kBlack); return true;
    case OCR_SIZE:
    case OCR_SIZEALL:
      b.Shape(kSizeWE, kWhite, kBlack);
      b.Shape(Rotated(kSizeWE, 90), kWhite, kBlack);
      return true;
    case OCR_ICON:
      b.Box(8, 8, 24, 24, kBlack);
      b.Box(9, 9, 23, 23, kWhite);
      return true;
    case OCR_NO:
      b.Ring(16, 16, 9, 13, kBlack);
      for (int k = -8; k <= 8; ++k) b.Box(16 + k - 1, 16 + k - 1, 16 + k + 1, 16 + k + 1, kBlack);
      return true;
    case OCR_HAND:
      b.Shape({{11, 0}, {15, 0}, {15, 10}, {25, 12}, {25, 24}, {21, 31}, {11, 31}, {6, 22},
               {6, 15}, {11, 17}},
              kWhite, kBlack);
      *hotspot = POINT{12, 0};
      return true;
    case OCR_APPSTARTING: {
      b.Shape(kArrow, kWhite, kBlack);
      Points small;
      for (auto [x, y] : kHourglass) small.emplace_back(17 + x / 2.5, 17 + y / 2.5);
      b.Shape(small, kWhite, kBlack);
      *hotspot = POINT{0, 0};
      return true;
    }
    case OCR_HELP:
      b.Shape(kArrow, kWhite, kBlack);
      QuestionMark(b, 17, 2, kBlack);
      *hotspot = POINT{0, 0};
      return true;
    default: return false;
  }
}

// Draws a system icon; false for an id that is not one.
bool IconShape(WORD id, Board& b) {
  const COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);
  switch (id) {
    case 32512:  // application: a window
      b.Box(2, 4, 30, 28, kBlack);
      b.Box(3, 5, 29, 9, RGB(10, 36, 106));
      b.Box(3, 9, 29, 27, kWhite);
      return true;
    case 32513:  // error: a red disc with a cross
      b.Ring(16, 16, 0, 14, RGB(200, 0, 0));
      for (int k = -6; k <= 6; ++k) {
        b.Box(15 + k, 15 + k, 17 + k, 17 + k, kWhite);
        b.Box(15 + k, 15 - k, 17 + k, 17 - k, kWhite);
      }
      return true;
    case 32514:  // question: a blue disc with a question mark
      b.Ring(16, 16, 0, 14, RGB(0, 64, 192));
      QuestionMark(b, 13, 10, kWhite);
      return true;
    case 32515:  // warning: a yellow triangle with an exclamation mark
      b.Shape({{16, 1}, {31, 29}, {1, 29}}, RGB(255, 210, 0), kBlack);
      b.Box(15, 9, 17, 21, kBlack);
      b.Box(15, 23, 17, 25, kBlack);
      return true;
    case 32516:  // information: a blue disc with an "i"
      b.Ring(16, 16, 0, 14, RGB(0, 64, 192));
      b.Box(15, 8, 17, 10, kWhite);
      b.Box(15, 12, 17, 24, kWhite);
      return true;
    case 32517:  // the system logo: four coloured squares
      b.Box(4, 4, 15, 15, RGB(220, 40, 20));
      b.Box(17, 4, 28, 15, RGB(40, 170, 40));
      b.Box(4, 17, 15, 28, RGB(20, 90, 220));
      b.Box(17, 17, 28, 28, RGB(250, 190, 0));
      return true;
    case 32518:  // shield
      b.Shape({{16, 1}, {29, 5}, {28, 18}, {16, 31}, {4, 18}, {3, 5}}, RGB(20, 90, 220), kBlack);
      b.Box(16, 3, 27, 16, RGB(250, 190, 0));
      return true;
    default: return false;
  }
}

std::shared_ptr<Icon> FromBoard(const Board& b, bool is_icon, POINT hotspot) {
  auto icon = std::make_shared<Icon>();
  icon->is_icon = is_icon;
  icon->width = icon->height = 32;
  icon->hotspot = hotspot;
  icon->color.resize(32 * 32);
  icon->mask.resize(32 * 32);
  bool mono = true;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      uint32_t v = b.px[y][x];
      size_t i = static_cast<size_t>(y) * 32 + x;
      icon->mask[i] = v ? 0 : 1;
      COLORREF c = v & 0x00FFFFFF;
      if (c != 0 && c != RGB(255, 255, 255)) mono = false;
      icon->color[i] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
  icon->mono = mono;
  return icon;
}

struct SystemImages {
  std::map<WORD, std::shared_ptr<Icon>> cursors;  // shared system cursors by id
  std::map<WORD, std::shared_ptr<Icon>> icons;    // shared system icons by id
  std::map<std::tuple<uintptr_t, std::u16string, bool>, std::shared_ptr<Icon>> modules;  // shared module images
  uintptr_t current_cursor = 0;                   // SetCursor's cursor
};

SystemImages& Images() {
  static SystemImages* images = new SystemImages;  // lives to process exit
  return *images;
}

HICON SystemImage(WORD id, bool is_icon) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  auto& cache = is_icon ? Images().icons : Images().cursors;
  auto it = cache.find(id);
  if (it != cache.end()) return reinterpret_cast<HICON>(it->second->handle);
  Board board;
  POINT hotspot{16, 16};
  if (is_icon ? !IconShape(id, board) : !CursorShape(id, board, &hotspot)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  std::shared_ptr<Icon> icon = FromBoard(board, is_icon, hotspot);
  icon->stock = true;
  Insert(icon);
  cache[id] = icon;
  return reinterpret_cast<HICON>(icon->handle);
}

std::shared_ptr<Icon> FindIcon(HICON icon) {
  std::shared_ptr<Icon> i = FindAs<Icon>(icon, GdiKind::kIcon);
  if (!i) SetLastError(ERROR_INVALID_HANDLE);
  return i;
}

// A 1-bit device bitmap from a row-major array of bits.
std::shared_ptr<Bitmap> MaskBitmap(int width, int height, const std::vector<uint8_t>& bits) {
  std::shared_ptr<Bitmap> b = NewBitmap(width, height, 1, false);
  if (!b) return nullptr;
  b->device_mono = true;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) WriteRaw(*b, x, y, bits[static_cast<size_t>(y) * width + x]);
  return b;
}

// Best entry of a file or group directory for a size: the closest size,
// then the deepest colour.
int BestEntry(int count, int want_w, int want_h, const std::vector<std::array<int, 3>>& entries) {
  int best = 0;
  int64_t best_score = INT64_MAX;
  for (int i = 0; i < count; ++i) {
    int64_t score = (std::abs(entries[i][0] - want_w) + std::abs(entries[i][1] - want_h)) * 256 -
                    entries[i][2];
    if (score < best_score) {
      best_score = score;
      best = i;
    }
  }
  return best;
}

bool ReadWholeFile(LPCWSTR name, std::vector<BYTE>* out) {
  std::string path = platform::ToLinuxPath(name);
  if (path.empty()) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  BYTE chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0) {
    out->insert(out->end(), chunk, chunk + n);
    if (out->size() > (size_t{64} << 20)) break;  // no image is that large
  }
  std::fclose(f);
  return true;
}

}  // namespace

}  // namespace platform::gdi

using platform::GdiKind;
using namespace platform::gdi;

HICON CreateIconFromResourceEx(const BYTE* bits, DWORD size, BOOL icon, DWORD version, int width,
                               int height, UINT flags) {
  if (version != 0x00030000 || width < 0 || height < 0 || width > kMaxIconSide ||
      height > kMaxIconSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<Icon> image = ParseImage(bits, size, icon != FALSE);
  if (!image) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  if (width == 0) width = (flags & LR_DEFAULTSIZE) ? kDefaultIconSide : image->width;
  if (height == 0) height = (flags & LR_DEFAULTSIZE) ? kDefaultIconSide : image->height;
  Resize(*image, width, height);
  std::lock_guard<std::recursive_mutex> guard(Lock());
  return Publish(image);
}

HICON CreateIconFromResource(const BYTE* bits, DWORD size, BOOL icon, DWORD version) {
  return CreateIconFromResourceEx(bits, size, icon, version, 0, 0, LR_DEFAULTSIZE);
}

int LookupIconIdFromDirectoryEx(const BYTE* directory, BOOL icon, int width, int height,
                                UINT flags) {
  if (!directory || Word(directory) != 0 || Word(directory + 2) != (icon ? 1 : 2)) {
    SetLastError(ERROR_INVALID_DATA);
    return 0;
  }
  int count = Word(directory + 4);
  if (count == 0) {
    SetLastError(ERROR_INVALID_DATA);
    return 0;
  }
  if (width == 0) width = kDefaultIconSide;
  if (height == 0) height = kDefaultIconSide;
  std::vector<std::array<int, 3>> entries;
  for (int i = 0; i < count; ++i) {
    const BYTE* e = directory + 6 + 14 * i;
    int w, h;
    if (icon) {
      w = e[0] ? e[0] : 256;
      h = e[1] ? e[1] : 256;
    } else {
      w = Word(e);
      h = Word(e + 2) / 2;  // cursor heights count the mask too
    }
    entries.push_back({w, h, Word(e + 6)});
  }
  int best = BestEntry(count, width, height, entries);
  return Word(directory + 6 + 14 * best + 12);
}

HICON CreateIconIndirect(ICONINFO* info) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Bitmap> mask = info ? FindAs<Bitmap>(info->hbmMask, GdiKind::kBitmap) : nullptr;
  std::shared_ptr<Bitmap> color = info && info->hbmColor ? FindAs<Bitmap>(info->hbmColor, GdiKind::kBitmap) : nullptr;
  if (!mask || (info->hbmColor && !color)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int width = color ? color->width : mask->width;
  int height = color ? color->height : mask->height / 2;
  if (height <= 0 || mask->width < width || mask->height < height) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto icon = std::make_shared<Icon>();
  icon->is_icon = info->fIcon != FALSE;
  icon->width = width;
  icon->height = height;
  icon->hotspot = icon->is_icon ? POINT{width / 2, height / 2}
                                : POINT{static_cast<LONG>(info->xHotspot), static_cast<LONG>(info->yHotspot)};
  icon->mono = !color;
  icon->color.resize(static_cast<size_t>(width) * height);
  icon->mask.resize(static_cast<size_t>(width) * height);
  auto bit = [](const Bitmap& b, int x, int y) {
    return b.bpp == 1 ? static_cast<uint8_t>(ReadRaw(b, x, y))
                      : static_cast<uint8_t>(ColorFromRaw(b, ReadRaw(b, x, y)) == RGB(255, 255, 255));
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      size_t i = static_cast<size_t>(y) * width + x;
      icon->mask[i] = bit(*mask, x, y);
      if (color) {
        uint32_t raw = ReadRaw(*color, x, y);
        COLORREF c = ColorFromRaw(*color, raw);
        uint32_t alpha = color->bpp == 32 && !color->bitfields ? raw >> 24 : 0;
        if (alpha) icon->alpha = true;
        icon->color[i] = (alpha << 24) | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
      } else {
        icon->color[i] = bit(*mask, x, y + height) ? 0x00FFFFFF : 0;
      }
    }
  return Publish(icon);
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Icon> i = FindIcon(icon);
  if (!i || !info) return FALSE;
  int w = i->width, h = i->height;
  std::vector<uint8_t> mask_bits = i->mask;
  if (i->mono)
    for (uint32_t c : i->color) mask_bits.push_back((c & 0x00FFFFFF) ? 1 : 0);
  std::shared_ptr<Bitmap> mask = MaskBitmap(w, i->mono ? 2 * h : h, mask_bits);
  std::shared_ptr<Bitmap> color;
  if (!i->mono) {
    color = NewBitmap(w, h, 32, false);
    if (color)
      for (int y = 0; y < h; ++y)
        std::memcpy(Row(*color, y), &i->color[static_cast<size_t>(y) * w], static_cast<size_t>(w) * 4);
  }
  if (!mask || (!i->mono && !color)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  info->fIcon = i->is_icon ? TRUE : FALSE;
  info->xHotspot = static_cast<DWORD>(i->hotspot.x);
  info->yHotspot = static_cast<DWORD>(i->hotspot.y);
  info->hbmMask = reinterpret_cast<HBITMAP>(Insert(mask));
  info->hbmColor = color ? reinterpret_cast<HBITMAP>(Insert(color)) : nullptr;
  return TRUE;
}

HICON CopyIcon(HICON icon) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Icon> i = FindIcon(icon);
  if (!i) return nullptr;
  auto copy = std::make_shared<Icon>(*i);
  copy->stock = false;
  copy->selected = 0;
  return Publish(copy);
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step,
                HBRUSH flicker_free, UINT flags) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  std::shared_ptr<Icon> i = FindIcon(icon);
  if (!d || !i) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (width == 0) width = (flags & DI_DEFAULTSIZE) ? kDefaultIconSide : i->width;
  if (height == 0) height = (flags & DI_DEFAULTSIZE) ? kDefaultIconSide : i->height;
  if (width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (flicker_free) FillRect(dc, std::array<RECT, 1>{RECT{x, y, x + width, y + height}}.data(), flicker_free);
  Bitmap* s = Surface(*d);
  if (!s || !(flags & DI_NORMAL)) return TRUE;
  POINT origin = ToDevice(*d, x, y);
  RECT area{origin.x, origin.y, origin.x + width, origin.y + height};
  uint32_t all = RawMask(*s);
  bool use_mask = flags & DI_MASK, use_image = flags & DI_IMAGE;
  for (const RECT& r : ClipRects(*d, area))
    for (int py = r.top; py < r.bottom; ++py)
      for (int px = r.left; px < r.right; ++px) {
        int ix = static_cast<int>(static_cast<int64_t>(px - area.left) * i->width / width);
        int iy = static_cast<int>(static_cast<int64_t>(py - area.top) * i->height / height);
        size_t k = static_cast<size_t>(iy) * i->width + ix;
        uint32_t argb = i->color[k];
        COLORREF c = RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
        uint32_t dst = ReadRaw(*s, px, py);
        if (use_mask && use_image && i->alpha) {
          // Blend the colour over the destination by its alpha.
          uint32_t a = argb >> 24;
          COLORREF under = ColorFromRaw(*s, dst);
          auto mix = [a](int top, int bottom) { return static_cast<BYTE>((top * a + bottom * (255 - a) + 127) / 255); };
          COLORREF out = RGB(mix(GetRValue(c), GetRValue(under)), mix(GetGValue(c), GetGValue(under)),
                             mix(GetBValue(c), GetBValue(under)));
          WriteRaw(*s, px, py, RawFromColor(*s, out));
          continue;
        }
        uint32_t mask_raw = i->mask[k] ? all : 0;
        if (use_mask) dst = use_image ? (dst & mask_raw) : mask_raw;
        uint32_t image_raw = RawFromColor(*s, c);
        if (use_image) dst = use_mask ? (dst ^ image_raw) : image_raw;
        WriteRaw(*s, px, py, dst & all);
      }
  return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
  return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
}

BOOL DestroyIcon(HICON icon) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Icon> i = FindIcon(icon);
  if (!i) return FALSE;
  if (!i->stock) Remove(i->handle);
  if (Images().current_cursor == i->handle && !i->stock) Images().current_cursor = 0;
  return TRUE;
}

BOOL DestroyCursor(HCURSOR cursor) { return DestroyIcon(cursor); }

namespace {

// Reads a module's icon or cursor: the group directory, then the entry that
// fits the size best. Runs without the drawing lock (the resource layer has
// its own).
std::shared_ptr<Icon> ModuleImage(HMODULE module, LPCWSTR name, bool is_icon, int width,
                                  int height, UINT flags) {
  HRSRC group = FindResourceW(module, name, is_icon ? RT_GROUP_ICON : RT_GROUP_CURSOR);
  if (!group) return nullptr;
  DWORD size = SizeofResource(module, group);
  const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
  if (!dir || size < 6 || size < 6 + 14u * Word(dir + 4)) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  int id = LookupIconIdFromDirectoryEx(dir, is_icon, width, height, flags);
  if (!id) return nullptr;
  HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), is_icon ? RT_ICON : RT_CURSOR);
  if (!image) return nullptr;
  DWORD image_size = SizeofResource(module, image);
  const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, image)));
  std::shared_ptr<Icon> icon = ParseImage(bytes, image_size, is_icon);
  if (!icon) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  Resize(*icon, width ? width : kDefaultIconSide, height ? height : kDefaultIconSide);
  return icon;
}

// The shared icon or cursor of a module and name, loaded once.
HICON SharedModuleImage(HMODULE module, LPCWSTR name, bool is_icon) {
  std::u16string key = IS_INTRESOURCE(name)
                           ? u"#" + platform::ToUtf16(std::to_string(reinterpret_cast<ULONG_PTR>(name)))
                           : std::u16string(name);
  for (char16_t& c : key)
    if (c >= u'a' && c <= u'z') c -= 32;
  auto cache_key = std::make_tuple(reinterpret_cast<uintptr_t>(module), key, is_icon);
  {
    std::lock_guard<std::recursive_mutex> guard(Lock());
    auto it = Images().modules.find(cache_key);
    if (it != Images().modules.end()) return reinterpret_cast<HICON>(it->second->handle);
  }
  std::shared_ptr<Icon> icon = ModuleImage(module, name, is_icon, 0, 0, LR_DEFAULTSIZE);
  if (!icon) return nullptr;
  std::lock_guard<std::recursive_mutex> guard(Lock());
  auto it = Images().modules.find(cache_key);  // another thread may have been first
  if (it != Images().modules.end()) return reinterpret_cast<HICON>(it->second->handle);
  icon->stock = true;
  Insert(icon);
  Images().modules[cache_key] = icon;
  return reinterpret_cast<HICON>(icon->handle);
}

// A bitmap from a packed DIB: header, colour table, then the rows at
// `bits_offset` (0: right after the table). Every part is checked against
// `size` before it is read.
HBITMAP PackedBitmap(const BYTE* data, size_t size, size_t bits_offset, UINT flags) {
  if (!data || size < sizeof(BITMAPINFOHEADER)) return nullptr;
  // Zero padding past the end keeps ParseDib's reads inside the copy; what
  // it found is then checked against the real size.
  std::vector<uint32_t> words((size + 3) / 4 + (136 + 256 * 4) / 4);
  std::memcpy(words.data(), data, size);
  const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(words.data());
  DibFormat f;
  if (!ParseDib(info, DIB_RGB_COLORS, &f) || f.table_bytes > size) return nullptr;
  if (!bits_offset) bits_offset = f.table_bytes;
  if (bits_offset > size || static_cast<uint64_t>(f.stride) * f.height > size - bits_offset) return nullptr;
  const BYTE* bits = data + bits_offset;
  if (flags & LR_CREATEDIBSECTION) {
    void* pixels = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (b) std::memcpy(pixels, bits, static_cast<size_t>(f.stride) * f.height);
    return b;
  }
  HDC screen = GetDC(nullptr);
  HBITMAP b = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, bits, info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return b;
}

}  // namespace

HCURSOR LoadCursorW(HINSTANCE module, LPCWSTR name) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (module) return SharedModuleImage(module, name, false);
  if (!IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return SystemImage(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)), false);
}

HICON LoadIconW(HINSTANCE module, LPCWSTR name) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (module) return SharedModuleImage(module, name, true);
  if (!IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return SystemImage(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)), true);
}

namespace {

HANDLE LoadIconFile(const std::vector<BYTE>& file, bool is_icon, int width, int height, UINT flags) {
  if (file.size() < 6 || Word(&file[0]) != 0 || Word(&file[2]) != (is_icon ? 1 : 2)) return nullptr;
  int count = Word(&file[4]);
  if (count == 0 || file.size() < 6 + 16ull * count) return nullptr;
  std::vector<std::array<int, 3>> entries;
  for (int i = 0; i < count; ++i) {
    const BYTE* e = &file[6 + 16 * i];
    entries.push_back({e[0] ? e[0] : 256, e[1] ? e[1] : 256, is_icon ? Word(e + 6) : 0});
  }
  int want_w = width ? width : kDefaultIconSide, want_h = height ? height : kDefaultIconSide;
  const BYTE* e = &file[6 + 16 * BestEntry(count, want_w, want_h, entries)];
  uint64_t bytes = Dword(e + 8), offset = Dword(e + 12);
  if (offset > file.size() || bytes > file.size() - offset) return nullptr;
  std::vector<BYTE> image;
  if (!is_icon) image.insert(image.end(), e + 4, e + 8);  // a cursor resource starts with its hotspot
  image.insert(image.end(), file.begin() + static_cast<ptrdiff_t>(offset),
               file.begin() + static_cast<ptrdiff_t>(offset + bytes));
  return CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), is_icon, 0x00030000,
                                  width, height, flags);
}

}  // namespace

HANDLE LoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int width, int height, UINT flags) {
  if (type > IMAGE_CURSOR || !name || width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (flags & LR_LOADFROMFILE) {
    std::vector<BYTE> file;
    if (IS_INTRESOURCE(name) || !ReadWholeFile(name, &file)) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    HANDLE h = nullptr;
    if (type == IMAGE_BITMAP) {
      if (file.size() >= 14 && file[0] == 'B' && file[1] == 'M' && Dword(&file[10]) >= 14)
        h = PackedBitmap(&file[14], file.size() - 14, Dword(&file[10]) - 14, flags);
    } else {
      h = LoadIconFile(file, type == IMAGE_ICON, width, height, flags);
    }
    if (!h) SetLastError(ERROR_INVALID_DATA);
    return h;
  }
  if (type == IMAGE_BITMAP) {
    if (!module) {
      if (IS_INTRESOURCE(name))
        return platform::gdi::SystemBitmap(static_cast<WORD>(reinterpret_cast<uintptr_t>(name)));
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return nullptr;
    }
    HRSRC r = FindResourceW(module, name, RT_BITMAP);
    if (!r) return nullptr;
    DWORD size = SizeofResource(module, r);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, r)));
    HBITMAP b = PackedBitmap(data, size, 0, flags);
    if (!b) SetLastError(ERROR_INVALID_DATA);
    return b;
  }
  bool is_icon = type == IMAGE_ICON;
  bool default_size = (width == 0 || width == kDefaultIconSide) && (height == 0 || height == kDefaultIconSide);
  if (default_size) return is_icon ? LoadIconW(module, name) : LoadCursorW(module, name);
  // Another size: a new image of the caller's own.
  std::shared_ptr<Icon> icon;
  if (module) {
    icon = ModuleImage(module, name, is_icon, width, height, flags);
  } else {
    HICON shared = is_icon ? LoadIconW(nullptr, name) : LoadCursorW(nullptr, name);
    std::lock_guard<std::recursive_mutex> guard(Lock());
    std::shared_ptr<Icon> original = shared ? FindIcon(shared) : nullptr;
    if (original) {
      icon = std::make_shared<Icon>(*original);
      icon->stock = false;
      Resize(*icon, width ? width : kDefaultIconSide, height ? height : kDefaultIconSide);
    }
  }
  if (!icon) return nullptr;
  std::lock_guard<std::recursive_mutex> guard(Lock());
  return Publish(icon);
}

HCURSOR SetCursor(HCURSOR cursor) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  HCURSOR previous = reinterpret_cast<HCURSOR>(Images().current_cursor);
  if (cursor && !FindAs<Icon>(cursor, GdiKind::kIcon)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return previous;
  }
  Images().current_cursor = reinterpret_cast<uintptr_t>(cursor);
  return previous;
}

HCURSOR GetCursor() {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  return reinterpret_cast<HCURSOR>(Images().current_cursor);
}
