// Image sizes and plane layouts of the YUV pixel layouts.
#include "imaging/WuYuvLayout.h"

#include <cstring>

#include "imaging/WuPixelTypes.h"

DWORD WuYUVImageBytesAndOffsets(const BITMAPINFOHEADER* header, WUYUVPLANELAYOUT* layout) {
  if (layout) std::memset(layout, 0, sizeof(*layout));
  if (!header) return 0;
  // Products are formed in 64 bits; callers that need the size to fit
  // check the dimensions first (see WuVideo_InitBitmapInfo).
  const int64_t w = header->biWidth;
  const int64_t h = header->biHeight;
  int64_t stride = 0;
  int64_t bytes = 0;
  int64_t quarter = 0;  // bytes of one chroma plane of the planar codes
  int64_t chromaStride = 0;
  switch (header->biCompression) {
    case WU_FOURCC_V210:
      stride = ((w + 5) / 6) * 16;
      bytes = stride * h;
      break;
    case WU_FOURCC_I420:
    case WU_FOURCC_Y41B:
      stride = w;
      quarter = (w * h) / 4;
      bytes = w * h + 2 * quarter;
      chromaStride = header->biCompression == WU_FOURCC_I420 ? w / 2 : w / 4;
      break;
    case WU_FOURCC_YUYV:
    case WU_FOURCC_UYVY:
      stride = 2 * w;
      bytes = stride * h;
      break;
    default:
      return 0;
  }
  if (layout) {
    layout->lumaStride = static_cast<LONG>(stride);
    if (quarter != 0) {
      layout->uOffset = static_cast<LONG>(w * h);
      layout->uStride = static_cast<LONG>(chromaStride);
      layout->vOffset = static_cast<LONG>(w * h + quarter);
      layout->vStride = static_cast<LONG>(chromaStride);
    }
  }
  return static_cast<DWORD>(bytes);
}
