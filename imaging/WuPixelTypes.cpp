// Pixel-type codes: classification of headers and the attributes of codes.
#include "imaging/WuPixelTypes.h"

#include <cstring>

#include "foundation/WuNumber.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"

namespace {

// What the library knows of one code.
struct PixelTypeInfo {
  WUPIXELTYPE type;     // the code
  int bits;             // bits per pixel
  DWORD compression;    // biCompression
  DWORD masks[3];       // red, green, blue masks (BI_BITFIELDS only)
  BYTE channelBits[4];  // three colour channels, then the fourth
};

constexpr PixelTypeInfo kPixelTypes[] = {
    {WUPIXEL_PAL1, 1, BI_RGB, {0, 0, 0}, {0, 0, 0, 1}},
    {WUPIXEL_GREY1, 1, WU_FOURCC_WUGS, {0, 0, 0}, {0, 0, 0, 1}},
    {WUPIXEL_GREY2, 2, WU_FOURCC_WUGS, {0, 0, 0}, {0, 0, 0, 2}},
    {WUPIXEL_GREY4, 4, WU_FOURCC_WUGS, {0, 0, 0}, {0, 0, 0, 4}},
    {WUPIXEL_GREY8, 8, WU_FOURCC_WUGS, {0, 0, 0}, {0, 0, 0, 8}},
    {WUPIXEL_GREY16, 16, WU_FOURCC_WUGS, {0, 0, 0}, {0, 0, 0, 16}},
    {WUPIXEL_GREY32, 32, WU_FOURCC_WUGS, {0, 0, 0}, {0, 0, 0, 32}},
    {WUPIXEL_PAL4, 4, BI_RGB, {0, 0, 0}, {8, 8, 8, 0}},
    {WUPIXEL_PAL8, 8, BI_RGB, {0, 0, 0}, {8, 8, 8, 0}},
    {WUPIXEL_RGB555, 16, BI_RGB, {0, 0, 0}, {5, 5, 5, 1}},
    {WUPIXEL_RGB565, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {5, 6, 5, 0}},
    {WUPIXEL_RGB24, 24, BI_RGB, {0, 0, 0}, {8, 8, 8, 0}},
    {WUPIXEL_RGB32, 32, BI_RGB, {0, 0, 0}, {8, 8, 8, 8}},
    {WUPIXEL_RGBA32, 32, WU_FOURCC_WUDB, {0, 0, 0}, {8, 8, 8, 8}},
    {WUPIXEL_RGB101010, 32, BI_BITFIELDS, {0x3FF00000, 0x000FFC00, 0x000003FF}, {10, 10, 10, 2}},
    {WUPIXEL_RGBA64, 64, WU_FOURCC_WUDB, {0, 0, 0}, {16, 16, 16, 16}},
    {WUPIXEL_RGBA128F, 128, WU_FOURCC_WUDB, {0, 0, 0}, {32, 32, 32, 32}},
    // YUV layouts: no channel bit counts.
    {WUPIXEL_UYVY, 16, WU_FOURCC_UYVY, {0, 0, 0}, {0, 0, 0, 0}},
    {WUPIXEL_YUYV, 16, WU_FOURCC_YUYV, {0, 0, 0}, {0, 0, 0, 0}},
    {WUPIXEL_Y41B, 12, WU_FOURCC_Y41B, {0, 0, 0}, {0, 0, 0, 0}},
    {WUPIXEL_I420, 12, WU_FOURCC_I420, {0, 0, 0}, {0, 0, 0, 0}},
    {WUPIXEL_V210, 20, WU_FOURCC_V210, {0, 0, 0}, {0, 0, 0, 0}},
};

const PixelTypeInfo* FindPixelType(WUPIXELTYPE type) {
  for (const PixelTypeInfo& info : kPixelTypes)
    if (info.type == type) return &info;
  return nullptr;
}

bool IsYuvCode(WUPIXELTYPE type) { return type >= WUPIXEL_UYVY && type <= WUPIXEL_V210; }

// BI_BITFIELDS: the one-bit counts of the three masks decide the code.
WUPIXELTYPE BitFieldsPixelType(const BITMAPINFOHEADER* header) {
  DWORD masks[3];
  std::memcpy(masks, reinterpret_cast<const BYTE*>(header) + sizeof(BITMAPINFOHEADER), sizeof(masks));
  const int r = WuCountBits(masks[0]), g = WuCountBits(masks[1]), b = WuCountBits(masks[2]);
  if (header->biBitCount == 16) {
    if (r == 5 && g == 5 && b == 5) return WUPIXEL_RGB555;
    if (r == 5 && g == 6 && b == 5) return WUPIXEL_RGB565;
  } else if (header->biBitCount == 32) {
    if (r == 8 && g == 8 && b == 8) return WUPIXEL_RGB32;
    if (r == 10 && g == 10 && b == 10) return WUPIXEL_RGB101010;
  }
  return WUPIXEL_UNKNOWN;
}

}  // namespace

WUPIXELTYPE WuGetPixelType(const BITMAPINFOHEADER* header) {
  if (!header) return WUPIXEL_UNKNOWN;
  const int bits = header->biBitCount;
  switch (header->biCompression) {
    case BI_RGB:
      switch (bits) {
        case 1: return WUPIXEL_PAL1;
        case 4: return WUPIXEL_PAL4;
        case 8: return WUPIXEL_PAL8;
        case 16: return WUPIXEL_RGB555;
        case 24: return WUPIXEL_RGB24;
        case 32: return WUPIXEL_RGB32;
        default: return WUPIXEL_UNKNOWN;
      }
    case BI_BITFIELDS:
      return BitFieldsPixelType(header);
    case WU_FOURCC_WUGS:
      switch (bits) {
        case 1: return WUPIXEL_GREY1;
        case 2: return WUPIXEL_GREY2;
        case 4: return WUPIXEL_GREY4;
        case 8: return WUPIXEL_GREY8;
        case 16: return WUPIXEL_GREY16;
        case 32: return WUPIXEL_GREY32;
        default: return WUPIXEL_UNKNOWN;
      }
    case WU_FOURCC_WUDB:
      switch (bits) {
        case 24: return WUPIXEL_RGB24;
        case 32: return WUPIXEL_RGBA32;
        case 64: return WUPIXEL_RGBA64;
        case 128: return WUPIXEL_RGBA128F;
        default: return WUPIXEL_UNKNOWN;
      }
    case WU_FOURCC_UYVY: return WUPIXEL_UYVY;
    case WU_FOURCC_YUYV: return WUPIXEL_YUYV;
    case WU_FOURCC_Y41B: return WUPIXEL_Y41B;
    case WU_FOURCC_I420: return WUPIXEL_I420;
    case WU_FOURCC_V210: return WUPIXEL_V210;
    default: return WUPIXEL_UNKNOWN;
  }
}

int WuPixelTypeToBitAttribs(WUPIXELTYPE type, DWORD* compression, WUVIDEOFORMATINFO* format,
                            int formatSize, DWORD* masks) {
  if (format && formatSize < static_cast<int>(sizeof(WUVIDEOFORMATINFO))) return 0;
  const PixelTypeInfo* info = FindPixelType(type);
  if (compression) *compression = info ? info->compression : 0;
  if (masks) {
    for (int i = 0; i < 3; ++i) masks[i] = info ? info->masks[i] : 0;
  }
  if (format) {
    WuVideo_InitFormatInfo(format, 0.0, -1, 1.0);
    if (type >= WUPIXEL_GREY1 && type <= WUPIXEL_GREY32) format->attributes = WUVIDEO_ATTRIB_GREY;
  }
  return info ? info->bits : 0;
}

int WuGetPixelBitsPerChannel(WUPIXELTYPE type, BYTE* bits) {
  const PixelTypeInfo* info = FindPixelType(type);
  if (bits) {
    for (int i = 0; i < 4; ++i) bits[i] = info ? info->channelBits[i] : 0;
  }
  if (!info || IsYuvCode(type)) return 0;
  return info->bits;
}

int WuCountBits(DWORD value) {
  int count = 0;
  for (; value; value &= value - 1) ++count;
  return count;
}

DWORD WuCreateBitMask(int first, int count) {
  if (count <= 0 || first < 0 || first > 31) return 0;
  const DWORD ones = count >= 32 ? 0xFFFFFFFFu : ((1u << count) - 1);
  return ones << first;
}

BOOL WuVideo_IsCompressed(const BITMAPINFOHEADER* header) {
  if (!header) return TRUE;
  switch (header->biCompression) {
    case BI_RGB:
    case BI_BITFIELDS:
    case WU_FOURCC_WUDB:
    case WU_FOURCC_WUGS:
      return WuGetPixelType(header) == WUPIXEL_UNKNOWN ? TRUE : FALSE;
    default:
      return TRUE;
  }
}

void WuVideo_InitFormatInfo(WUVIDEOFORMATINFO* format, double frameRate, LONG interlace,
                            double pixelAspect) {
  if (!format) return;
  std::memset(format, 0, sizeof(*format));
  format->size = sizeof(WUVIDEOFORMATINFO);
  format->attributes = -1;
  format->interlace = interlace;
  format->frameRate = frameRate;
  format->pixelAspect = pixelAspect > 0.0 ? pixelAspect : 1.0;
}

HRESULT WuVideo_GetFormatText(DWORD compression, WCHAR* text, int size) {
  if (!text || size < 1) return S_OK;
  const WCHAR* fixed = nullptr;
  switch (compression) {
    case BI_RGB: fixed = u"RGB"; break;
    case BI_BITFIELDS: fixed = u"RGB (bitfields)"; break;
    case WU_FOURCC_WUDB: fixed = u"RGBA"; break;
    case WU_FOURCC_WUGS: fixed = u"Grayscale"; break;
    default: break;
  }
  // Any other code is shown as its four characters; they go through a local
  // buffer so that a short output is still bounded.
  WCHAR fourcc[5];
  if (!fixed) fixed = WuFourCCToString(compression, fourcc);
  WuStrCpyN(text, fixed, size);
  return S_OK;
}

HRESULT WuVideo_GetAttribsText(const BITMAPINFOHEADER* header, WCHAR* text, int unused) {
  if (header && text)
    WuPrintF(text, u"%dx%dx%d", header->biWidth, header->biHeight, static_cast<int>(header->biBitCount));
  return S_OK;
}

HRESULT WuVideo_GetAttribsTextEx(const BITMAPINFOHEADER* header, int unused1, WCHAR* text,
                                 int unused2, int unused3) {
  return WuVideo_GetAttribsText(header, text, 0);
}
