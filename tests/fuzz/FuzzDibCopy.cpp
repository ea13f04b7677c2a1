// Fuzz target of the pixel copy: each input picks a source and a
// destination (pixel type, width, height, a top-down height, palette size,
// stride), rectangles (none, in pixels or in Q14 units, at edges, empty or
// outside), flags, gammas and a field, and fills the source's rows from its
// remaining bytes. WuDibCopy runs, then the interlaced copy and the two
// field merges. Rows live in blocks of exactly the bytes their stride and
// height cover, so that any read or write outside them is caught; the
// source must come back unchanged and every status must be one the
// functions document.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "imaging/WuDib.h"
#include "imaging/WuDibCopy.h"
#include "imaging/WuDibFields.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// Reads the input from the front; past its end every byte is 0.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  uint32_t Dword() { return Word() | (static_cast<uint32_t>(Word()) << 16); }
  const uint8_t* Rest(size_t* n) const {
    *n = size_ - pos_;
    return data_ + pos_;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A type code: mostly 16 to 32, sometimes one the copies must refuse.
WUPIXELTYPE PickType(uint8_t b) {
  static const WUPIXELTYPE kOthers[] = {0, 15, 33, 64, 65, 66, 67, 68};
  if (b >= 0xF0) return kOthers[b & 7];
  return static_cast<WUPIXELTYPE>(16 + b % 17);
}

// Widths 0 to 3 often, else up to 64.
LONG PickWidth(uint8_t b) { return b < 0x80 ? b & 3 : b % 65; }

// One coordinate: pixels -8 to 71, an extreme value, or the same in Q14
// with a fraction.
LONG PickCoord(Reader& in, bool q14) {
  const uint8_t b = in.Byte();
  static const LONG kExtremes[] = {std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max(),
                                   -1, 0x7FFFC000, -0x7FFFC000, 0x20000, 0x1FFFF, 0x3FFF};
  if (b >= 0xF8) return kExtremes[b & 7];
  const LONG pixels = static_cast<LONG>(b % 80) - 8;
  if (!q14) return pixels;
  const uint8_t f = in.Byte();
  const LONG fraction = f < 0x80 ? 0 : f < 0xC0 ? 0x2000 : static_cast<LONG>(f & 0x3F) << 8;
  return pixels * 0x4000 + fraction;
}

// A bitmap of the fuzz: its header (with room for a palette) and rows in a
// block of exactly |stride| x |height| bytes.
struct FuzzDib {
  std::vector<BYTE> header;
  std::unique_ptr<BYTE[]> block;  // never null, even when empty
  size_t bytes = 0;
  BYTE* rows = nullptr;  // the bottom row, as the copies take it
  LONG stride = 0;       // as passed: 0 for the natural stride
  bool ok = false;

  BITMAPINFOHEADER* Header() { return reinterpret_cast<BITMAPINFOHEADER*>(header.data()); }

  void Build(Reader& in, WUPIXELTYPE type, LONG width, LONG height) {
    header.assign(sizeof(BITMAPINFOHEADER) + 4 * WUDIB_MAX_COLORS, 0);
    const uint8_t shape = in.Byte();
    // Palette entries: none (the depth's count, all black) or a few to 256.
    int colors = (shape & 3) == 0 ? 0 : (shape & 3) == 1 ? 2 : (shape & 3) == 2 ? 16 : 256;
    std::vector<RGBQUAD> palette(static_cast<size_t>(colors));
    for (size_t i = 0; i < palette.size(); ++i)
      palette[i] = {static_cast<BYTE>(i * 37), static_cast<BYTE>(i * 91), static_cast<BYTE>(i * 53), 0};
    WUPIXELTYPE made = type;
    // Unknown codes: a 24-bit header with a compression no reader knows.
    if (type == 0 || type == 15 || type == 33) made = WUPIXEL_RGB24;
    if (WuVideo_InitBitmapInfo(Header(), made, width, height, colors ? palette.data() : nullptr,
                               colors, nullptr) != S_OK)
      return;
    if (made != type) Header()->biCompression = 0x58585858;  // "XXXX"
    const int64_t bits = Header()->biBitCount;
    const int64_t lines = height < 0 ? -static_cast<int64_t>(height) : height;
    const int64_t tight = (bits * width + 7) / 8;
    const int64_t natural = ((bits * width + 31) >> 5) * 4;
    int64_t span = natural;  // bytes from row to row
    int64_t size = natural * lines;
    switch ((shape >> 2) & 3) {
      case 0:  // the natural stride, given as 0
        stride = 0;
        break;
      case 1:  // rows packed without padding
        span = tight;
        break;
      case 2:  // packed, top row first: a negative stride from the bottom row
        span = -tight;
        break;
      default:  // padded by a few bytes
        span = tight + (shape >> 4);
        break;
    }
    if ((shape >> 2) & 3) {
      stride = static_cast<LONG>(span);
      size = (span < 0 ? -span : span) * lines;
    }
    // A YUV layout's block holds the bytes its own rule gives.
    if (type >= 64) {
      stride = 0;
      span = natural;
      size = Header()->biSizeImage;
    }
    bytes = static_cast<size_t>(size);
    block.reset(new BYTE[bytes]);
    rows = block.get();
    if (span < 0 && lines > 0) rows += (lines - 1) * -span;
    ok = true;
  }
};

void Check(HRESULT hr, const char* what) {
  if (hr != S_OK && hr != E_NOTIMPL && hr != E_INVALIDARG && hr != E_OUTOFMEMORY)
    wufuzz::Fail("undocumented status", what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in(data, size);
  const WUPIXELTYPE srcType = PickType(in.Byte());
  const WUPIXELTYPE dstType = PickType(in.Byte());
  const uint8_t shape = in.Byte();
  LONG sw = PickWidth(in.Byte()), sh = in.Byte() % 65;
  LONG dw = PickWidth(in.Byte()), dh = in.Byte() % 65;
  if (shape & 1) sh = -sh;
  if (shape & 2) dh = -dh;
  if (shape & 4) {  // the same size, so that the field merges run
    dw = sw;
    dh = sh;
  }
  FuzzDib src, dst;
  src.Build(in, srcType, sw, sh);
  dst.Build(in, dstType, dw, dh);
  if (!src.ok || !dst.ok) return 0;

  // Rectangles: none, in pixels, or in Q14 units with the sub-pixel flag.
  const uint8_t rects = in.Byte();
  const bool q14 = (rects & 4) != 0;
  RECT sr, dr;
  for (LONG* c : {&sr.left, &sr.top, &sr.right, &sr.bottom}) *c = PickCoord(in, q14);
  for (LONG* c : {&dr.left, &dr.top, &dr.right, &dr.bottom}) *c = PickCoord(in, q14);
  const RECT* srcRect = (rects & 1) ? &sr : nullptr;
  const RECT* dstRect = (rects & 2) ? &dr : nullptr;

  // Flags: quality, lane and table choices, edge-fade sides and width,
  // sub-pixel, area, bicubic and overwrite.
  DWORD flags = in.Dword() & 0x0FFFF0FF;
  flags = q14 ? flags | WUDIBCOPY_SUBPIXEL : flags & ~WUDIBCOPY_SUBPIXEL;
  static const double kGammas[] = {0.0, 1.0, 2.2, 0.25, 9.0, -1.0,
                                   std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity()};
  const uint8_t g = in.Byte();
  const double dstGamma = kGammas[g & 7], srcGamma = kGammas[(g >> 3) & 7];
  const int field = (g >> 6) & 1;
  // Which operations run (all by default): each builds its own colour
  // table for a palette destination, the slowest step, so inputs may skip
  // some.
  const uint8_t skip = in.Byte();

  size_t n;
  const uint8_t* rest = in.Rest(&n);
  for (size_t i = 0; i < src.bytes; ++i) src.block[i] = n ? rest[i % n] : static_cast<BYTE>(i);
  for (size_t i = 0; i < dst.bytes; ++i) dst.block[i] = static_cast<BYTE>(i * 7);
  const std::vector<BYTE> before(src.block.get(), src.block.get() + src.bytes);

  if (!(skip & 1))
    Check(WuDibCopy(dst.Header(), dst.rows, dstRect, dst.stride, src.Header(), src.rows, srcRect,
                    src.stride, flags, dstGamma, srcGamma),
          "WuDibCopy");
  if (!(skip & 2))
    Check(WuDibCopyInterlace(dst.Header(), dst.rows, dstRect, dst.stride, src.Header(), src.rows,
                             srcRect, src.stride, field, flags),
          "WuDibCopyInterlace");
  if (!(skip & 4)) {
    Check(WuDibMergeFields(dst.Header(), dst.rows, dst.stride, src.Header(), src.rows, src.stride,
                           field, 0),
          "WuDibMergeFields");
    Check(WuDibMergeFieldsRotated(dst.Header(), dst.rows, dst.stride, src.Header(), src.rows,
                                  src.stride, field, 0),
          "WuDibMergeFieldsRotated");
  }
  if (!std::equal(before.begin(), before.end(), src.block.get())) wufuzz::Fail("the source changed", "a copy wrote to its source");
  return 0;
}
