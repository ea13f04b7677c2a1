// A bitmap from the bitmap item of a RIFF file's display list.
#include <cstring>
#include <vector>

#include "mediaformats/Riff.h"
#include "mediaformats/WuDispList.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"

namespace {

constexpr DWORD kCoreHeaderBytes = 12;
constexpr DWORD kInfoHeaderBytes = 40;
// The largest header the drawing layer reads.
constexpr DWORD kLargestHeaderBytes = 124;
constexpr DWORD kMaxColors = 256;

// Bytes of the rows of a bitmap, each row padded to 4 bytes; 0 when the
// dimensions cannot describe one.
ULONGLONG ImageBytes(LONGLONG width, LONGLONG height, WORD bits) {
  if (width <= 0 || height == 0) return 0;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;
  ULONGLONG rows = static_cast<ULONGLONG>(height < 0 ? -height : height);
  ULONGLONG stride = (static_cast<ULONGLONG>(width) * bits + 31) / 32 * 4;
  return stride * rows;
}

// The item as a BITMAPINFO (header, masks, colour table) in `info` and the
// offset of its pixels; false when any part does not fit in the item.
bool Describe(const BYTE* data, DWORD size, std::vector<BYTE>* info, DWORD* bits_offset) {
  if (size < 4) return false;
  DWORD header = riffbytes::Get32(data);
  if (header == kCoreHeaderBytes) {
    if (size < kCoreHeaderBytes) return false;
    WORD width = riffbytes::Get16(data + 4);
    WORD height = riffbytes::Get16(data + 6);
    WORD bits = riffbytes::Get16(data + 10);
    DWORD colors = bits == 1 || bits == 4 || bits == 8 ? 1u << bits : 0;
    ULONGLONG offset = kCoreHeaderBytes + 3ULL * colors;
    ULONGLONG image = ImageBytes(width, height, bits);
    if (image == 0 || offset + image > size) return false;
    // The drawing layer takes the 40-byte header with four-byte entries.
    info->assign(kInfoHeaderBytes + 4 * colors, 0);
    BITMAPINFOHEADER h{};
    h.biSize = kInfoHeaderBytes;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = BI_RGB;
    std::memcpy(info->data(), &h, sizeof h);
    for (DWORD i = 0; i < colors; ++i)
      std::memcpy(info->data() + kInfoHeaderBytes + 4 * i, data + kCoreHeaderBytes + 3 * i, 3);
    *bits_offset = static_cast<DWORD>(offset);
    return true;
  }
  if (header < kInfoHeaderBytes || header > kLargestHeaderBytes || header > size) return false;
  BITMAPINFOHEADER h;
  std::memcpy(&h, data, sizeof h);
  if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return false;
  DWORD colors = h.biClrUsed;
  if (colors == 0 && h.biBitCount <= 8) colors = 1u << h.biBitCount;
  if (colors > kMaxColors) return false;
  DWORD masks = h.biCompression == BI_BITFIELDS && header == kInfoHeaderBytes ? 12 : 0;
  ULONGLONG offset = static_cast<ULONGLONG>(header) + masks + 4ULL * colors;
  ULONGLONG image = ImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  if (image == 0 || offset + image > size) return false;
  info->assign(data, data + offset);
  *bits_offset = static_cast<DWORD>(offset);
  return true;
}

}  // namespace

HBITMAP displist_CreateBitmapFromFile(LPCWSTR path) {
  if (!path) return nullptr;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  DWORD left = 0;
  FOURCC form = 0;
  WuDispItem item{kDispBitmap, 0, nullptr};
  WuDispList list{1, &item};
  bool loaded = SUCCEEDED(riff_ReadFileID(file, &left, &form)) &&
                SUCCEEDED(displist_Load(file, &list, &left));
  CloseHandle(file);
  HBITMAP bitmap = nullptr;
  std::vector<BYTE> info;
  DWORD offset = 0;
  if (loaded && item.data &&
      Describe(static_cast<const BYTE*>(item.data), item.size, &info, &offset)) {
    HDC dc = GetDC(nullptr);
    if (dc) {
      HPALETTE old = SelectPalette(dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
      RealizePalette(dc);
      const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
      bitmap = CreateDIBitmap(dc, header, CBM_INIT, static_cast<const BYTE*>(item.data) + offset,
                              reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
      if (old) SelectPalette(dc, old, FALSE);
      ReleaseDC(nullptr, dc);
    }
  }
  displist_Free(&list);
  return bitmap;
}
