// Image sizes and plane layouts of the YUV pixel layouts.
#include "imaging/WuYuvLayout.h"

#include <cstdint>
#include <cstring>

#include "imaging/WuPixelTypes.h"

namespace {

constexpr int64_t kInt64Max = INT64_MAX;
constexpr int64_t kInt64Min = INT64_MIN;

// The quantities of one YUV layout, formed in 128 bits so that no product of
// 32-bit dimensions can overflow: the luma (or packed) stride, the bytes of
// one chroma plane (planar codes) and its stride, and the whole size. False
// for a code that has no YUV layout.
struct YuvSizes {
  __int128 stride = 0;
  __int128 quarter = 0;
  __int128 chromaStride = 0;
  __int128 bytes = 0;
};

bool ComputeYuvSizes(DWORD compression, int64_t w, int64_t h, YuvSizes* out) {
  const __int128 w128 = w;
  const __int128 h128 = h;
  switch (compression) {
    case WU_FOURCC_V210:
      out->stride = ((w128 + 5) / 6) * 16;
      out->bytes = out->stride * h128;
      return true;
    case WU_FOURCC_I420:
    case WU_FOURCC_Y41B:
      out->stride = w128;
      out->quarter = (w128 * h128) / 4;
      out->bytes = w128 * h128 + 2 * out->quarter;
      out->chromaStride = compression == WU_FOURCC_I420 ? w128 / 2 : w128 / 4;
      return true;
    case WU_FOURCC_YUYV:
    case WU_FOURCC_UYVY:
      out->stride = 2 * w128;
      out->bytes = out->stride * h128;
      return true;
    default:
      return false;
  }
}

int64_t SaturateToInt64(__int128 v) {
  return v > kInt64Max ? kInt64Max : v < kInt64Min ? kInt64Min : static_cast<int64_t>(v);
}

}  // namespace

int64_t WuYUVImageBytes64(DWORD compression, int64_t width, int64_t height) {
  YuvSizes sizes;
  if (!ComputeYuvSizes(compression, width, height, &sizes)) return 0;
  return SaturateToInt64(sizes.bytes);
}

DWORD WuYUVImageBytesAndOffsets(const BITMAPINFOHEADER* header, WUYUVPLANELAYOUT* layout) {
  if (layout) std::memset(layout, 0, sizeof(*layout));
  if (!header) return 0;
  YuvSizes sizes;
  if (!ComputeYuvSizes(header->biCompression, header->biWidth, header->biHeight, &sizes))
    return 0;
  if (layout) {
    layout->lumaStride = static_cast<LONG>(sizes.stride);
    if (sizes.quarter != 0) {
      const __int128 luma = static_cast<__int128>(header->biWidth) * header->biHeight;
      layout->uOffset = static_cast<LONG>(luma);
      layout->uStride = static_cast<LONG>(sizes.chromaStride);
      layout->vOffset = static_cast<LONG>(luma + sizes.quarter);
      layout->vStride = static_cast<LONG>(sizes.chromaStride);
    }
  }
  // A size past 32 bits saturates instead of wrapping to a small one.
  if (sizes.bytes > 0xFFFFFFFF) return 0xFFFFFFFF;
  return static_cast<DWORD>(SaturateToInt64(sizes.bytes));
}
