// Bitmaps: pixel storage in the DIB layouts, raw pixel access and colour
// conversion, device bitmaps, DIB sections, and the DIB transfer calls.
#include <cstdlib>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"

namespace platform::gdi {

namespace {

// Larger bitmaps are refused rather than allocated.
constexpr int64_t kMaxBitmapBytes = int64_t{1} << 30;
constexpr int kMaxDimension = 1 << 16;

int CountBits(uint32_t v) {
  int n = 0;
  for (; v; v &= v - 1) ++n;
  return n;
}

int LowBit(uint32_t v) {
  if (!v) return 0;
  int n = 0;
  while (!(v & 1)) {
    v >>= 1;
    ++n;
  }
  return n;
}

// Masks a 16- or 32-bit pixel value uses.
void ChannelMasks(const Bitmap& b, uint32_t masks[3]) {
  if (b.bitfields) {
    for (int i = 0; i < 3; ++i) masks[i] = b.masks[i];
  } else if (b.bpp == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else {
    masks[0] = 0xFF0000;
    masks[1] = 0x00FF00;
    masks[2] = 0x0000FF;
  }
}

uint32_t ChannelToRaw(uint32_t value8, uint32_t mask) {
  int bits = CountBits(mask);
  if (!bits) return 0;
  uint32_t maxv = (bits >= 32) ? 0xFFFFFFFFu : ((1u << bits) - 1);
  uint32_t v = static_cast<uint32_t>((static_cast<uint64_t>(value8) * maxv + 127) / 255);
  return (v << LowBit(mask)) & mask;
}

uint32_t RawToChannel(uint32_t raw, uint32_t mask) {
  int bits = CountBits(mask);
  if (!bits) return 0;
  uint64_t maxv = (uint64_t{1} << bits) - 1;
  uint64_t v = (raw & mask) >> LowBit(mask);
  return static_cast<uint32_t>((v * 255 + maxv / 2) / maxv);
}

}  // namespace

Bitmap::~Bitmap() {
  if (owns_bits) std::free(bits);
}

std::shared_ptr<Bitmap> NewBitmap(int width, int height, int bpp, bool bottom_up) {
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return nullptr;
  int64_t stride = DibStride(width, bpp);
  if (stride * height > kMaxBitmapBytes) return nullptr;
  auto b = std::make_shared<Bitmap>();
  b->width = width;
  b->height = height;
  b->bpp = bpp;
  b->stride = static_cast<int>(stride);
  b->bottom_up = bottom_up;
  b->bits = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(stride * height), 1));
  if (!b->bits) return nullptr;
  if (bpp == 1) b->palette = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
  return b;
}

uint8_t* Row(const Bitmap& b, int y) {
  int row = b.bottom_up ? b.height - 1 - y : y;
  return b.bits + static_cast<ptrdiff_t>(row) * b.stride;
}

uint32_t ReadRaw(const Bitmap& b, int x, int y) {
  const uint8_t* r = Row(b, y);
  switch (b.bpp) {
    case 1: return (r[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (r[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
    case 8: return r[x];
    case 16: return r[2 * x] | (r[2 * x + 1] << 8);
    case 24: return r[3 * x] | (r[3 * x + 1] << 8) | (static_cast<uint32_t>(r[3 * x + 2]) << 16);
    default: {
      uint32_t v;
      std::memcpy(&v, r + 4 * x, 4);
      return v;
    }
  }
}

void WriteRaw(Bitmap& b, int x, int y, uint32_t value) {
  uint8_t* r = Row(b, y);
  switch (b.bpp) {
    case 1: {
      uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      r[x >> 3] = (value & 1) ? (r[x >> 3] | bit) : (r[x >> 3] & ~bit);
      break;
    }
    case 4: {
      uint8_t& byte = r[x >> 1];
      byte = (x & 1) ? ((byte & 0xF0) | (value & 0xF)) : ((byte & 0x0F) | ((value & 0xF) << 4));
      break;
    }
    case 8: r[x] = static_cast<uint8_t>(value); break;
    case 16:
      r[2 * x] = static_cast<uint8_t>(value);
      r[2 * x + 1] = static_cast<uint8_t>(value >> 8);
      break;
    case 24:
      r[3 * x] = static_cast<uint8_t>(value);
      r[3 * x + 1] = static_cast<uint8_t>(value >> 8);
      r[3 * x + 2] = static_cast<uint8_t>(value >> 16);
      break;
    default: std::memcpy(r + 4 * x, &value, 4); break;
  }
}

uint32_t RawMask(const Bitmap& b) { return b.bpp >= 32 ? 0xFFFFFFFFu : ((1u << b.bpp) - 1); }

uint32_t RawFromColor(const Bitmap& b, COLORREF color) {
  int r = GetRValue(color), g = GetGValue(color), bl = GetBValue(color);
  if (b.bpp <= 8) {
    // The nearest palette entry; a bitmap without a palette uses grey levels.
    if (b.palette.empty()) {
      int level = (r * 30 + g * 59 + bl * 11) / 100;
      return static_cast<uint32_t>(level * static_cast<int>(RawMask(b)) / 255);
    }
    uint32_t best = 0;
    int best_distance = 1 << 30;
    for (size_t i = 0; i < b.palette.size() && i <= RawMask(b); ++i) {
      const RGBQUAD& p = b.palette[i];
      int dr = p.rgbRed - r, dg = p.rgbGreen - g, db = p.rgbBlue - bl;
      int distance = dr * dr + dg * dg + db * db;
      if (distance < best_distance) {
        best_distance = distance;
        best = static_cast<uint32_t>(i);
        if (!distance) break;
      }
    }
    return best;
  }
  if (b.bpp == 24 || (b.bpp == 32 && !b.bitfields))
    return (static_cast<uint32_t>(r) << 16) | (g << 8) | bl;
  uint32_t masks[3];
  ChannelMasks(b, masks);
  return ChannelToRaw(r, masks[0]) | ChannelToRaw(g, masks[1]) | ChannelToRaw(bl, masks[2]);
}

COLORREF ColorFromRaw(const Bitmap& b, uint32_t raw) {
  if (b.bpp <= 8) {
    if (raw < b.palette.size()) {
      const RGBQUAD& p = b.palette[raw];
      return RGB(p.rgbRed, p.rgbGreen, p.rgbBlue);
    }
    BYTE level = static_cast<BYTE>(raw * 255 / RawMask(b));
    return b.palette.empty() ? RGB(level, level, level) : 0;
  }
  if (b.bpp == 24 || (b.bpp == 32 && !b.bitfields))
    return RGB((raw >> 16) & 0xFF, (raw >> 8) & 0xFF, raw & 0xFF);
  uint32_t masks[3];
  ChannelMasks(b, masks);
  return RGB(RawToChannel(raw, masks[0]), RawToChannel(raw, masks[1]),
             RawToChannel(raw, masks[2]));
}

// ---- DIB headers -------------------------------------------------------------------------
bool ParseDib(const BITMAPINFO* info, UINT usage, DibFormat* out) {
  if (!info || usage != DIB_RGB_COLORS) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 124) return false;
  if (h.biWidth <= 0 || h.biWidth > kMaxDimension || h.biHeight == 0 ||
      h.biHeight < -kMaxDimension || h.biHeight > kMaxDimension || h.biPlanes != 1)
    return false;
  int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32)))
    return false;
  out->width = h.biWidth;
  out->height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  out->bottom_up = h.biHeight > 0;
  out->bpp = bpp;
  out->stride = DibStride(out->width, bpp);
  out->bitfields = h.biCompression == BI_BITFIELDS;
  const uint8_t* after = reinterpret_cast<const uint8_t*>(info) + h.biSize;
  // The masks sit at byte 40: right after a 40-byte header, inside the
  // longer headers.
  if (out->bitfields) {
    std::memcpy(out->masks, reinterpret_cast<const uint8_t*>(info) + 40, 12);
    if (!out->masks[0] || !out->masks[1] || !out->masks[2]) return false;
  }
  size_t colors = 0;
  if (bpp <= 8) {
    colors = h.biClrUsed ? h.biClrUsed : (size_t{1} << bpp);
    if (colors > (size_t{1} << bpp)) colors = size_t{1} << bpp;
  }
  const uint8_t* table = after + (out->bitfields && h.biSize == 40 ? 12 : 0);
  out->palette.assign(reinterpret_cast<const RGBQUAD*>(table),
                      reinterpret_cast<const RGBQUAD*>(table) + colors);
  for (RGBQUAD& q : out->palette) q.rgbReserved = 0;
  out->table_bytes = (table - after) + colors * 4 + h.biSize;
  return true;
}

void ApplyFormat(Bitmap& b, const DibFormat& f) {
  b.bitfields = f.bitfields;
  for (int i = 0; i < 3; ++i) b.masks[i] = f.masks[i];
  b.palette = f.palette;
  if (b.bpp <= 8) b.palette.resize(size_t{1} << b.bpp, RGBQUAD{0, 0, 0, 0});
}

Bitmap DibView(const DibFormat& f, const void* bits) {
  Bitmap v;
  v.width = f.width;
  v.height = f.height;
  v.bpp = f.bpp;
  v.stride = f.stride;
  v.bottom_up = f.bottom_up;
  v.bits = static_cast<uint8_t*>(const_cast<void*>(bits));
  v.owns_bits = false;
  v.dib = true;
  ApplyFormat(v, f);
  return v;
}

bool SameRawFormat(const Bitmap& a, const Bitmap& b) {
  if (a.bpp != b.bpp) return false;
  if (a.bpp <= 8) {
    size_t n = size_t{1} << a.bpp;
    if (a.palette.size() < n || b.palette.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
      if (std::memcmp(&a.palette[i], &b.palette[i], 3) != 0) return false;
    return true;
  }
  uint32_t ma[3], mb[3];
  ChannelMasks(a, ma);
  ChannelMasks(b, mb);
  return std::memcmp(ma, mb, sizeof(ma)) == 0;
}

void CopyPixels(const Bitmap& src, int sy, Bitmap& dst, int dy, int width) {
  if (SameRawFormat(src, dst)) {
    if (src.bpp >= 8) {
      std::memcpy(Row(dst, dy), Row(src, sy), static_cast<size_t>(width) * src.bpp / 8);
      return;
    }
    for (int x = 0; x < width; ++x) WriteRaw(dst, x, dy, ReadRaw(src, x, sy));
    return;
  }
  for (int x = 0; x < width; ++x) WriteRaw(dst, x, dy, RawFromColor(dst, ColorFromRaw(src, ReadRaw(src, x, sy))));
}

}  // namespace platform::gdi

using platform::GdiKind;
using namespace platform::gdi;

namespace {

// The standard colour table GetDIBits writes for a depth when the bitmap
// has none of its own at that depth.
void DefaultTable(int bpp, std::vector<RGBQUAD>* table) {
  table->clear();
  if (bpp == 1) {
    *table = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
  } else if (bpp == 4) {
    std::shared_ptr<Palette> p = std::static_pointer_cast<Palette>(Stock(DEFAULT_PALETTE));
    for (const PALETTEENTRY& e : p->entries) table->push_back(RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0});
  } else if (bpp == 8) {
    // A 6 x 6 x 6 colour cube, then 40 grey levels.
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b)
          table->push_back(RGBQUAD{static_cast<BYTE>(b * 51), static_cast<BYTE>(g * 51),
                                   static_cast<BYTE>(r * 51), 0});
    for (int i = 0; i < 40; ++i) {
      BYTE v = static_cast<BYTE>(i * 255 / 39);
      table->push_back(RGBQUAD{v, v, v, 0});
    }
  }
}

HBITMAP Publish(std::shared_ptr<Bitmap> b) {
  return reinterpret_cast<HBITMAP>(Insert(std::move(b)));
}

}  // namespace

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bits_per_pixel, const void* bits) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  if (width < 0 || height < 0 || planes != 1 || bits_per_pixel > 32 ||
      (bits && bits_per_pixel != 1 && bits_per_pixel != 32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (width == 0 || height == 0) return reinterpret_cast<HBITMAP>(Stock(9)->handle);
  bool mono = bits_per_pixel == 1;
  std::shared_ptr<Bitmap> b = NewBitmap(width, height, mono ? 1 : 32, false);
  if (!b) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  b->device_mono = mono;
  if (bits) {
    // Rows of the caller's data are padded to an even number of bytes.
    size_t row_bytes = ((static_cast<size_t>(width) * b->bpp + 15) / 16) * 2;
    const uint8_t* src = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < height; ++y)
      std::memcpy(Row(*b, y), src + row_bytes * y, (static_cast<size_t>(width) * b->bpp + 7) / 8);
  }
  return Publish(b);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d || width < 0 || height < 0) {
    SetLastError(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (width == 0 || height == 0) return reinterpret_cast<HBITMAP>(Stock(9)->handle);
  Bitmap* s = Surface(*d);
  bool mono = d->kind == Dc::kMemory && s && s->bpp == 1;
  std::shared_ptr<Bitmap> b = NewBitmap(width, height, mono ? 1 : 32, false);
  if (!b) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  b->device_mono = mono;
  return Publish(b);
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
  if (bits) *bits = nullptr;
  DibFormat f;
  if (section || !ParseDib(info, usage, &f)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Bitmap> b = NewBitmap(f.width, f.height, f.bpp, f.bottom_up);
  if (!b) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  b->dib = true;
  ApplyFormat(*b, f);
  if (bits) *bits = b->bits;
  return Publish(b);
}

int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage) {
  DibFormat f;
  if (!bits || !ParseDib(info, usage, &f)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Bitmap> b = FindAs<Bitmap>(bitmap, GdiKind::kBitmap);
  if (!b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  // The caller's buffer holds `lines` scan lines starting at scan line
  // `start` (scan lines count from the bottom of a bottom-up DIB).
  if (start >= static_cast<UINT>(f.height)) return 0;
  if (lines > static_cast<UINT>(f.height) - start) lines = static_cast<UINT>(f.height) - start;
  DibFormat part = f;
  part.height = static_cast<int>(lines);
  Bitmap src = DibView(part, bits);
  int width = f.width < b->width ? f.width : b->width;
  int copied = 0;
  for (UINT i = 0; i < lines; ++i) {
    // Scan line start + i of the whole DIB, as a row from its top.
    // Scan lines count from the bottom of a bottom-up DIB, which lines up
    // with the bitmap's bottom; a top-down DIB lines up with its top.
    int scan = static_cast<int>(start + i);
    int target = f.bottom_up ? b->height - 1 - scan : scan;
    if (target < 0 || target >= b->height) continue;
    int src_row = f.bottom_up ? static_cast<int>(lines) - 1 - static_cast<int>(i) : static_cast<int>(i);
    CopyPixels(src, src_row, *b, target, width);
    ++copied;
  }
  return copied;
}

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage) {
  if (!header || header->biWidth <= 0 || header->biHeight == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  HBITMAP b = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(Lock());
    HDC target = dc;
    if (!target || !FindDc(dc)) target = nullptr;
    b = target ? CreateCompatibleBitmap(target, header->biWidth, height)
               : CreateBitmap(header->biWidth, height, 1, 32, nullptr);
    if (!b) return nullptr;
    if ((init & CBM_INIT) && bits &&
        SetDIBits(dc, b, 0, static_cast<UINT>(height), bits, info, usage) == 0) {
      DeleteObject(b);
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
  }
  return b;
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info,
              UINT usage) {
  if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || usage != DIB_RGB_COLORS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Bitmap> b = FindAs<Bitmap>(bitmap, GdiKind::kBitmap);
  if (!b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biBitCount == 0) {
    // Describe the bitmap.
    h.biWidth = b->width;
    h.biHeight = b->height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(b->bpp);
    h.biCompression = b->bitfields ? BI_BITFIELDS : BI_RGB;
    h.biSizeImage = static_cast<DWORD>(DibStride(b->width, b->bpp)) * b->height;
    h.biClrUsed = 0;
    if (!bits) return 1;
  }
  bool top_down = h.biHeight < 0;
  h.biWidth = b->width;
  h.biHeight = top_down ? -b->height : b->height;
  h.biPlanes = 1;
  DibFormat f;
  if (!ParseDib(info, usage, &f)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  h.biSizeImage = static_cast<DWORD>(f.stride) * f.height;
  if (f.bpp <= 8) {
    // The bitmap's own table at its own depth, else the standard one.
    std::vector<RGBQUAD> table = b->bpp == f.bpp ? b->palette : std::vector<RGBQUAD>();
    if (table.empty()) DefaultTable(f.bpp, &table);
    table.resize(size_t{1} << f.bpp, RGBQUAD{0, 0, 0, 0});
    h.biClrUsed = 0;
    std::memcpy(info->bmiColors, table.data(), table.size() * sizeof(RGBQUAD));
    f.palette = table;
  } else if (f.bitfields) {
    std::memcpy(reinterpret_cast<uint8_t*>(info) + 40, f.masks, 12);
  }
  if (!bits) return 1;
  if (start >= static_cast<UINT>(f.height)) return 0;
  if (lines > static_cast<UINT>(f.height) - start) lines = static_cast<UINT>(f.height) - start;
  DibFormat part = f;
  part.height = static_cast<int>(lines);
  Bitmap out = DibView(part, bits);
  for (UINT i = 0; i < lines; ++i) {
    int row = f.bottom_up ? f.height - 1 - static_cast<int>(start + i) : static_cast<int>(start + i);
    int out_row = f.bottom_up ? static_cast<int>(lines) - 1 - static_cast<int>(i) : static_cast<int>(i);
    CopyPixels(*b, row, out, out_row, b->width);
  }
  return static_cast<int>(lines);
}

LONG GetBitmapBits(HBITMAP bitmap, LONG size, LPVOID bits) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Bitmap> b = FindAs<Bitmap>(bitmap, GdiKind::kBitmap);
  if (!b || size < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  size_t row_bytes = ((static_cast<size_t>(b->width) * b->bpp + 15) / 16) * 2;
  size_t total = row_bytes * b->height;
  if (!bits) return static_cast<LONG>(total);
  size_t limit = static_cast<size_t>(size) < total ? static_cast<size_t>(size) : total;
  uint8_t* out = static_cast<uint8_t*>(bits);
  size_t data_bytes = (static_cast<size_t>(b->width) * b->bpp + 7) / 8;
  for (int y = 0; y < b->height && row_bytes * y < limit; ++y) {
    size_t n = limit - row_bytes * y < data_bytes ? limit - row_bytes * y : data_bytes;
    std::memcpy(out + row_bytes * y, Row(*b, y), n);
  }
  return static_cast<LONG>(limit);
}

LONG SetBitmapBits(HBITMAP bitmap, DWORD size, const void* bits) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Bitmap> b = FindAs<Bitmap>(bitmap, GdiKind::kBitmap);
  if (!b || !bits) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  size_t row_bytes = ((static_cast<size_t>(b->width) * b->bpp + 15) / 16) * 2;
  size_t total = row_bytes * b->height;
  size_t limit = size < total ? size : total;
  const uint8_t* in = static_cast<const uint8_t*>(bits);
  size_t data_bytes = (static_cast<size_t>(b->width) * b->bpp + 7) / 8;
  for (int y = 0; y < b->height && row_bytes * y < limit; ++y) {
    size_t n = limit - row_bytes * y < data_bytes ? limit - row_bytes * y : data_bytes;
    std::memcpy(Row(*b, y), in + row_bytes * y, n);
  }
  return static_cast<LONG>(limit);
}

COLORREF GetPixel(HDC dc, int x, int y) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  Bitmap* s = d ? Surface(*d) : nullptr;
  if (!s) return CLR_INVALID;
  POINT p = ToDevice(*d, x, y);
  if (!Visible(*d, p.x, p.y)) return CLR_INVALID;
  return ColorFromRaw(*s, ReadRaw(*s, p.x, p.y));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  Bitmap* s = d ? Surface(*d) : nullptr;
  if (!s) return CLR_INVALID;
  POINT p = ToDevice(*d, x, y);
  if (!Visible(*d, p.x, p.y)) return CLR_INVALID;
  uint32_t raw = RawFromColor(*s, color);
  WriteRaw(*s, p.x, p.y, raw);
  return ColorFromRaw(*s, raw);
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF color) {
  return SetPixel(dc, x, y, color) != CLR_INVALID;
}
