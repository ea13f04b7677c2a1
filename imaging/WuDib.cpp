// Bitmap blocks: header set-up, allocation, release and addressing.
#include "imaging/WuDib.h"

#include <cstring>

#include "imaging/WuYuvLayout.h"
#include "platform/kernel/memory.h"

namespace {

constexpr DWORD kHeaderBytes = sizeof(BITMAPINFOHEADER);
constexpr DWORD kMaskBytes = 3 * sizeof(DWORD);
constexpr int64_t kMaxImageBytes = 0x7FFFFFFF;

// Codes whose size comes from the YUV layout rule.
bool UsesYuvSize(DWORD compression) {
  return compression == WU_FOURCC_V210 || compression == WU_FOURCC_I420 ||
         compression == WU_FOURCC_YUYV || compression == WU_FOURCC_UYVY;
}

// Image size of a header whose width (not negative), height and
// compression are written; -1 when it does not fit in 31 bits. Every
// product is formed where it cannot overflow: a 32-bit width and a height's
// magnitude (up to 2^31) at up to 128 bits a pixel reach 2^68 bytes. A
// single row must fit as well, even in an image of no rows, so that the
// stride of every accepted header is a 31-bit value.
int64_t ImageBytes(const BITMAPINFOHEADER& header, int bits) {
  const int64_t width = header.biWidth;
  const int64_t height = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
  if (UsesYuvSize(header.biCompression)) {
    const int64_t oneRow = WuYUVImageBytes64(header.biCompression, width, 1);
    const int64_t bytes = WuYUVImageBytes64(header.biCompression, width, height);
    return oneRow > kMaxImageBytes || bytes > kMaxImageBytes ? -1 : bytes;
  }
  const int64_t rowBytes = ((bits * width + 31) >> 5) * 4;  // at most 2^36
  if (rowBytes > kMaxImageBytes) return -1;
  if (rowBytes != 0 && height > kMaxImageBytes / rowBytes) return -1;
  return height * rowBytes;
}

// Bytes between the header and the rows.
DWORD TableBytes(const BITMAPINFOHEADER& header) {
  return header.biCompression == BI_BITFIELDS ? kMaskBytes : 4 * header.biClrUsed;
}

}  // namespace

HRESULT WuVideo_InitBitmapInfo(BITMAPINFOHEADER* header, WUPIXELTYPE type, LONG width,
                               LONG height, const RGBQUAD* palette, int colors,
                               DWORD* imageSize) {
  if (imageSize) *imageSize = 0;
  DWORD compression = 0;
  DWORD masks[3] = {0, 0, 0};
  const int bits = WuPixelTypeToBitAttribs(type, &compression, nullptr, 0, masks);
  if (!header || bits == 0) return E_INVALIDARG;
  // The block holds at most 256 palette entries; a negative width has no
  // meaning.
  if (colors > WUDIB_MAX_COLORS || width < 0) return E_INVALIDARG;

  header->biWidth = width;
  header->biHeight = height;
  header->biCompression = compression;
  const int64_t bytes = ImageBytes(*header, bits);
  if (bytes < 0) return E_INVALIDARG;

  if (colors < 0) colors = 0;
  // A palette with no entries is no palette: the rows then follow the
  // 2^bits entries that every reader of a small-depth header assumes.
  if (colors == 0) palette = nullptr;
  DWORD used = 0;
  if (compression != BI_BITFIELDS) {
    if (!palette && colors == 0 && bits <= 8)
      used = 1u << bits;
    else
      used = static_cast<DWORD>(colors);
  }

  header->biSize = kHeaderBytes;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bits);
  header->biSizeImage = static_cast<DWORD>(bytes);
  header->biXPelsPerMeter = 0;
  header->biYPelsPerMeter = 0;
  header->biClrUsed = used;
  header->biClrImportant = 0;
  if (imageSize) *imageSize = header->biSizeImage;

  BYTE* table = reinterpret_cast<BYTE*>(header) + kHeaderBytes;
  if (compression == BI_BITFIELDS)
    std::memcpy(table, masks, kMaskBytes);
  else if (palette)
    std::memcpy(table, palette, used * sizeof(RGBQUAD));
  return S_OK;
}

HRESULT WuDibInfo(DWORD* rowsOffset, DWORD* imageSize, BITMAPINFOHEADER* header,
                  WUPIXELTYPE type, LONG width, LONG height, const RGBQUAD* palette,
                  int colors) {
  DWORD size = 0;
  const HRESULT hr = WuVideo_InitBitmapInfo(header, type, width, height, palette, colors, &size);
  if (imageSize) *imageSize = size;
  if (FAILED(hr)) return hr;
  if (rowsOffset) *rowsOffset = kHeaderBytes + TableBytes(*header);
  return S_OK;
}

HRESULT WuDibAlloc(BITMAPINFOHEADER** bitmap, WUPIXELTYPE type, LONG width, LONG height,
                   const RGBQUAD* palette, int colors, DWORD flags) {
  if (!bitmap) return E_POINTER;
  *bitmap = nullptr;
  // The header and its largest colour table are built locally first.
  alignas(BITMAPINFOHEADER) BYTE local[kHeaderBytes + WUDIB_MAX_COLORS * sizeof(RGBQUAD)];
  BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(local);
  const HRESULT hr = WuVideo_InitBitmapInfo(header, type, width, height, palette, colors, nullptr);
  if (FAILED(hr)) return hr;

  const DWORD tableBytes = TableBytes(*header);
  const SIZE_T total = SIZE_T{kHeaderBytes} + tableBytes + header->biSizeImage;
  const UINT allocFlags = GMEM_MOVEABLE | ((flags & WUDIB_ZEROINIT) ? GMEM_ZEROINIT : 0);
  HGLOBAL block = GlobalAlloc(allocFlags, total);
  if (!block) return E_OUTOFMEMORY;
  BYTE* start = static_cast<BYTE*>(GlobalLock(block));
  if (!start) {
    GlobalFree(block);
    return E_OUTOFMEMORY;
  }
  // The header and its table; a palette the caller did not give is zeroed
  // so that it never carries stale memory.
  const bool tableGiven = header->biCompression == BI_BITFIELDS || (palette && colors > 0);
  std::memcpy(start, local, kHeaderBytes + (tableGiven ? tableBytes : 0));
  if (!tableGiven) std::memset(start + kHeaderBytes, 0, tableBytes);
  *bitmap = reinterpret_cast<BITMAPINFOHEADER*>(start);
  return S_OK;
}

HRESULT WuDibFree(BITMAPINFOHEADER* bitmap, int flags) {
  if (!bitmap) return S_OK;
  // Only the start of a live bitmap block is released: a movable block that
  // is still locked and begins with a 40-byte header. Anything else (a
  // stale pointer, a pointer into a block, another kind of block) is left
  // alone.
  HGLOBAL block = GlobalHandle(bitmap);
  if (!block || block == static_cast<HGLOBAL>(bitmap)) return S_OK;
  if ((GlobalFlags(block) & GMEM_LOCKCOUNT) == 0) return S_OK;
  if (GlobalSize(block) < kHeaderBytes || bitmap->biSize != kHeaderBytes) return S_OK;
  GlobalUnlock(block);
  GlobalFree(block);
  return S_OK;
}

BYTE* WuDibGetBits(const BITMAPINFOHEADER* header) {
  if (!header) return nullptr;
  BYTE* start = reinterpret_cast<BYTE*>(const_cast<BITMAPINFOHEADER*>(header));
  if (header->biCompression == BI_BITFIELDS) return start + kHeaderBytes + kMaskBytes;
  const int bits = header->biBitCount;
  if (header->biCompression == BI_RGB && header->biClrUsed == 0 && bits >= 1 && bits <= 8)
    return start + header->biSize + 4 * (SIZE_T{1} << bits);
  return start + header->biSize + 4 * SIZE_T{header->biClrUsed};
}

BYTE* WuDibGetBitsOrDefault(const BITMAPINFOHEADER* header, void* rows) {
  return rows ? static_cast<BYTE*>(rows) : WuDibGetBits(header);
}

LONG WuDibGetStride(const BITMAPINFOHEADER* header, LONG stride) {
  if (stride != 0 || !header) return stride;
  const int64_t bits = static_cast<int64_t>(header->biBitCount) * header->biWidth;
  return static_cast<LONG>(((bits + 31) >> 3) & ~int64_t{3});
}

const RGBQUAD* WuDibColorTable(const BITMAPINFOHEADER* header, RGBQUAD* padded) {
  if (!header || header->biCompression == BI_BITFIELDS) return nullptr;
  const RGBQUAD* entries = reinterpret_cast<const RGBQUAD*>(
      reinterpret_cast<const BYTE*>(header) + header->biSize);
  const int bits = header->biBitCount;
  const bool indexed = bits >= 1 && bits <= 8;
  const DWORD used = header->biClrUsed;
  if (used == 0) return indexed && header->biCompression == BI_RGB ? entries : nullptr;
  if (!indexed || padded == nullptr || used >= (DWORD{1} << bits)) return entries;
  std::memcpy(padded, entries, used * sizeof(RGBQUAD));
  std::memset(padded + used, 0, (WUDIB_MAX_COLORS - used) * sizeof(RGBQUAD));
  return padded;
}

void WuVideo_PaletteRGBAFromEntry(BYTE* rgba, const RGBQUAD* entries, int count) {
  for (int i = 0; i < count; ++i) {
    rgba[4 * i + 0] = entries[i].rgbRed;
    rgba[4 * i + 1] = entries[i].rgbGreen;
    rgba[4 * i + 2] = entries[i].rgbBlue;
    rgba[4 * i + 3] = 0;
  }
}

void WuVideo_PaletteEntryFromRGBA(RGBQUAD* entries, const BYTE* rgba, int count) {
  for (int i = 0; i < count; ++i) {
    entries[i].rgbRed = rgba[4 * i + 0];
    entries[i].rgbGreen = rgba[4 * i + 1];
    entries[i].rgbBlue = rgba[4 * i + 2];
    entries[i].rgbReserved = 0;
  }
}

void WuDib_Initialize() {}

void WuVideoDSP_ForceExternRef() {}

HRESULT WuDibFillRectChannel(const BITMAPINFOHEADER* header, void* rows, const RECT* rect,
                             LONG stride, int channel, float value, DWORD flags) {
  return E_NOTIMPL;
}
