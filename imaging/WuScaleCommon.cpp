#include "imaging/WuScaleCommon.h"

#include <cstdint>
#include <cstring>

namespace wuscale {

void CopyRows(const WUSUBPIXELPARAM& p, int bytesPerPixel) {
  const Axis ax(p.dstClip.left, p.dstClip.right);
  const Axis ay(p.dstClip.top, p.dstClip.bottom);
  const Lines sx(p.srcUsed.left, p.srcUsed.right);
  const Lines sy(p.srcUsed.top, p.srcUsed.bottom);
  // At 1:1 srcUsed is as large as dstClip; the bounds keep the copy inside
  // it all the same.
  const int64_t rows = std::min<int64_t>(ay.count, static_cast<int64_t>(sy.hi) - sy.lo + 1);
  const int64_t cols = std::min<int64_t>(ax.count, static_cast<int64_t>(sx.hi) - sx.lo + 1);
  const size_t bytes = static_cast<size_t>(cols) * bytesPerPixel;
  for (int64_t r = 0; r < rows; ++r) {
    std::memmove(DstRow(p, ay.first + r) + static_cast<ptrdiff_t>(ax.first) * bytesPerPixel,
                 SrcPixel(p, sy.lo + r, sx.lo, bytesPerPixel), bytes);
  }
}

bool PrepareScaling(WUSUBPIXELPARAM* p, void* dstBits, const SIZE* dstSize, LONG dstStride,
                    const RECT* dstRect, const void* srcBits, const SIZE* srcSize, LONG srcStride,
                    const RECT* srcRect, int bytesPerPixel) {
  if (!SupportedPixelSize(bytesPerPixel) || !dstBits || !srcBits) return false;
  // Float pixels are read and written as floats: their rows must start on
  // 4-byte boundaries, as every bitmap row does.
  if (bytesPerPixel == 16 &&
      ((reinterpret_cast<uintptr_t>(dstBits) | reinterpret_cast<uintptr_t>(srcBits) |
        static_cast<uintptr_t>(dstStride) | static_cast<uintptr_t>(srcStride)) & 3) != 0)
    return false;
  return WuPrepareSubpixelParam(p, dstBits, dstSize, dstStride, dstRect, srcBits, srcSize,
                                srcStride, srcRect) != 0;
}

HRESULT ScaleWholePixels(SubPixelScaler subPixel, void* dstBits, const SIZE* dstSize,
                         LONG dstStride, const RECT* dstRect, const void* srcBits,
                         const SIZE* srcSize, LONG srcStride, const RECT* srcRect,
                         int bytesPerPixel, int areaFlag, int overwriteFlag) {
  RECT dstQ14;
  RECT srcQ14;
  if (dstRect && !WuRectPixelsToQ14(&dstQ14, dstRect)) return 0;
  if (srcRect && !WuRectPixelsToQ14(&srcQ14, srcRect)) return 0;
  const RECT* dq = dstRect ? &dstQ14 : nullptr;
  const RECT* sq = srcRect ? &srcQ14 : nullptr;
  WUSUBPIXELPARAM param;
  if (!PrepareScaling(&param, dstBits, dstSize, dstStride, dq, srcBits, srcSize, srcStride, sq,
                      bytesPerPixel)) {
    return 0;
  }
  if (param.ratioX == kOne && param.ratioY == kOne) {
    CopyRows(param, bytesPerPixel);
    return 0;
  }
  return subPixel(dstBits, dstSize, dstStride, dq, srcBits, srcSize, srcStride, sq, bytesPerPixel,
                  areaFlag, overwriteFlag);
}

}  // namespace wuscale
