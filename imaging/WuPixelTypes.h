// Pixel-type codes: the small integers that name a bitmap or YUV layout.
//
// Scalers, the pixel-exchange pipeline, the PNG reader and writer and the
// shell and file-I/O callers pass a pixel-type code instead of the header
// fields. Codes 16 to 32 are bitmap layouts, 64 to 68 YUV layouts, 0 is an
// unknown layout. Each code maps to a bits-per-pixel count and a
// `biCompression` value; "WUGS" (grey) and "WUDB" (deep RGBA) are the
// library's private four-character codes, stored like every FOURCC as the
// four bytes in reading order (so read as a little-endian 32-bit value).
//
//   code  bits  biCompression  layout
//    16     1   BI_RGB         1-bit palette
//    17     1   "WUGS"         grey, 1 bit
//    18     2   "WUGS"         grey, 2 bits
//    19     4   "WUGS"         grey, 4 bits
//    20     8   "WUGS"         grey, 8 bits
//    21    16   "WUGS"         grey, 16 bits
//    22    32   "WUGS"         grey, 32 bits
//    23     4   BI_RGB         4-bit palette
//    24     8   BI_RGB         8-bit palette
//    25    16   BI_RGB         5:5:5
//    26    16   BI_BITFIELDS   5:6:5 (masks 0xF800, 0x07E0, 0x001F)
//    27    24   BI_RGB         blue, green, red bytes
//    28    32   BI_RGB         blue, green, red, unused byte
//    29    32   "WUDB"         blue, green, red, alpha bytes
//    30    32   BI_BITFIELDS   10:10:10 (masks 0x3FF00000, 0x000FFC00, 0x3FF)
//    31    64   "WUDB"         blue, green, red, alpha 16-bit LE words
//    32   128   "WUDB"         blue, green, red, alpha 32-bit floats
//    64    16   "UYVY"         packed 4:2:2
//    65    16   "YUYV"         packed 4:2:2
//    66    12   "Y41B"         planar
//    67    12   "I420"         planar 4:2:0
//    68    20   "v210"         packed 10-bit 4:2:2
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// A pixel-type code (see the table above).
typedef int WUPIXELTYPE;

constexpr WUPIXELTYPE WUPIXEL_UNKNOWN = 0;
constexpr WUPIXELTYPE WUPIXEL_PAL1 = 16;
constexpr WUPIXELTYPE WUPIXEL_GREY1 = 17;
constexpr WUPIXELTYPE WUPIXEL_GREY2 = 18;
constexpr WUPIXELTYPE WUPIXEL_GREY4 = 19;
constexpr WUPIXELTYPE WUPIXEL_GREY8 = 20;
constexpr WUPIXELTYPE WUPIXEL_GREY16 = 21;
constexpr WUPIXELTYPE WUPIXEL_GREY32 = 22;
constexpr WUPIXELTYPE WUPIXEL_PAL4 = 23;
constexpr WUPIXELTYPE WUPIXEL_PAL8 = 24;
constexpr WUPIXELTYPE WUPIXEL_RGB555 = 25;
constexpr WUPIXELTYPE WUPIXEL_RGB565 = 26;
constexpr WUPIXELTYPE WUPIXEL_RGB24 = 27;
constexpr WUPIXELTYPE WUPIXEL_RGB32 = 28;
constexpr WUPIXELTYPE WUPIXEL_RGBA32 = 29;
constexpr WUPIXELTYPE WUPIXEL_RGB101010 = 30;
constexpr WUPIXELTYPE WUPIXEL_RGBA64 = 31;
constexpr WUPIXELTYPE WUPIXEL_RGBA128F = 32;
constexpr WUPIXELTYPE WUPIXEL_UYVY = 64;
constexpr WUPIXELTYPE WUPIXEL_YUYV = 65;
constexpr WUPIXELTYPE WUPIXEL_Y41B = 66;
constexpr WUPIXELTYPE WUPIXEL_I420 = 67;
constexpr WUPIXELTYPE WUPIXEL_V210 = 68;

// A four-character code as stored in `biCompression`: first character in
// the low byte.
constexpr DWORD WuMakeFourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<BYTE>(a)) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
         (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) |
         (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}
constexpr DWORD WU_FOURCC_WUGS = WuMakeFourCC('W', 'U', 'G', 'S');  // grey
constexpr DWORD WU_FOURCC_WUDB = WuMakeFourCC('W', 'U', 'D', 'B');  // deep or alpha RGB
constexpr DWORD WU_FOURCC_UYVY = WuMakeFourCC('U', 'Y', 'V', 'Y');
constexpr DWORD WU_FOURCC_YUYV = WuMakeFourCC('Y', 'U', 'Y', 'V');
constexpr DWORD WU_FOURCC_Y41B = WuMakeFourCC('Y', '4', '1', 'B');
constexpr DWORD WU_FOURCC_I420 = WuMakeFourCC('I', '4', '2', '0');
constexpr DWORD WU_FOURCC_V210 = WuMakeFourCC('v', '2', '1', '0');

// Video format record: 64 bytes, filled by WuVideo_InitFormatInfo and
// WuPixelTypeToBitAttribs.
struct WUVIDEOFORMATINFO {
  DWORD size;          // 64
  LONG attributes;     // -1, or 0x1000 for the grey codes (WuPixelTypeToBitAttribs)
  DWORD reserved;      // 0
  LONG interlace;      // interlace kind (-1: not given)
  double frameRate;    // frames per second
  double pixelAspect;  // pixel aspect ratio, 1.0 when not above 0
  BYTE zero[32];       // zeros
};
static_assert(sizeof(WUVIDEOFORMATINFO) == 64);
constexpr LONG WUVIDEO_ATTRIB_GREY = 0x1000;  // attribute word of the grey codes

// ---- Classification -------------------------------------------------------------------

// The pixel-type code of a header, or 0 for a layout without one. For
// BI_BITFIELDS the three masks after the 40-byte header are read and only
// their one-bit counts decide: 16 bits with 5,5,5 is 25 and 5,6,5 is 26; 32
// bits with 8,8,8 is 28 and 10,10,10 is 30. A null header gives 0.
WUPIXELTYPE WuGetPixelType(const BITMAPINFOHEADER* header);

// Bits per pixel of a code (0 for an unknown code). When asked for, writes
// the code's compression value and its red, green and blue masks (all 0
// unless the compression is BI_BITFIELDS; all outputs 0 for an unknown
// code). A format record, when given, receives a 64-byte video format
// record (frame rate 0, interlace -1, aspect 1.0, attributes 0x1000 for
// codes 17 to 22, else -1); when `formatSize` is below 64 nothing at all is
// written and the result is 0.
int WuPixelTypeToBitAttribs(WUPIXELTYPE type, DWORD* compression, WUVIDEOFORMATINFO* format,
                            int formatSize, DWORD* masks);

// Bits per pixel of a code. `bits` (four bytes, may be null) receives the
// bit counts of the three colour channels, then that of the fourth channel
// (alpha, padding or grey level). Unknown codes, YUV codes included, give 0
// and four zero counts.
int WuGetPixelBitsPerChannel(WUPIXELTYPE type, BYTE* bits);

// Number of one-bits of a value.
int WuCountBits(DWORD value);
// `count` one-bits starting at bit `first` (0 when count is 0).
DWORD WuCreateBitMask(int first, int count);

// FALSE when the header is an uncompressed RGB, bit-field, "WUDB" or "WUGS"
// layout that WuGetPixelType recognises; TRUE otherwise (every other
// FOURCC, YUV codes included, and a null header).
BOOL WuVideo_IsCompressed(const BITMAPINFOHEADER* header);

// ---- Format record and texts ------------------------------------------------------------

// Zero-fills the record and writes size 64, attributes -1, reserved 0, the
// interlace kind, the frame rate and the pixel aspect (1.0 when the given
// aspect is not above 0). A null record is ignored.
void WuVideo_InitFormatInfo(WUVIDEOFORMATINFO* format, double frameRate, LONG interlace,
                            double pixelAspect);

// Short name of a compression value: "RGB", "RGB (bitfields)", "RGBA",
// "Grayscale", or the four characters of any other code. Bounded (at most
// size-1 characters, terminated); nothing for a null text or a size below
// 1. Returns 0.
HRESULT WuVideo_GetFormatText(DWORD compression, WCHAR* text, int size);

// "%dx%dx%d": width, height and bits per pixel of a header into `text`
// (which must hold 36 characters) when both are given. Return 0.
HRESULT WuVideo_GetAttribsText(const BITMAPINFOHEADER* header, WCHAR* text, int unused);
HRESULT WuVideo_GetAttribsTextEx(const BITMAPINFOHEADER* header, int unused1, WCHAR* text,
                                 int unused2, int unused3);
