#include "imaging/WuSubpixelParam.h"

#include <cstdint>
#include <limits>

#include "imaging/WuColorMath.h"
#include "platform/gdi/gdi.h"

namespace {

constexpr int64_t kMaxLong = std::numeric_limits<LONG>::max();
constexpr int64_t kMinLong = std::numeric_limits<LONG>::min();
// The smallest destination extent accepted: 1/16 pixel.
constexpr int64_t kMinDestExtent = 0x400;

bool FitsLong(int64_t v) { return v >= kMinLong && v <= kMaxLong; }

LONG SaturateLong(int64_t v) {
  if (v > kMaxLong) return static_cast<LONG>(kMaxLong);
  if (v < kMinLong) return static_cast<LONG>(kMinLong);
  return static_cast<LONG>(v);
}

int64_t Width(const RECT& r) { return static_cast<int64_t>(r.right) - r.left; }
int64_t Height(const RECT& r) { return static_cast<int64_t>(r.bottom) - r.top; }

// (0, 0, width, height) in Q14; false for a negative size or one whose Q14
// form does not fit 32 bits.
bool ImageBoundsQ14(RECT* out, const SIZE* size) {
  const int64_t w = static_cast<int64_t>(size->cx) * WU_Q14_ONE;
  const int64_t h = static_cast<int64_t>(size->cy) * WU_Q14_ONE;
  if (size->cx < 0 || size->cy < 0 || w > kMaxLong || h > kMaxLong) return false;
  *out = RECT{0, 0, static_cast<LONG>(w), static_cast<LONG>(h)};
  return true;
}

// Q14 divide a * 16384 / b in 64 bits, truncated toward zero (b > 0).
int64_t DivQ14(int64_t a, int64_t b) { return a * WU_Q14_ONE / b; }
// Q14 multiply (a * b) >> 14 in 64 bits.
int64_t MulQ14(int64_t a, int64_t b) { return (a * b) >> 14; }

// End-to-end step for one direction: (source span - 1 px) / (destination
// span - 1 px), never negative; 0 for a destination under 2 pixels.
LONG EndToEndStep(int64_t srcSpan, int64_t dstSpan) {
  if (dstSpan < 2 * WU_Q14_ONE) return 0;
  const int64_t step = DivQ14(srcSpan - WU_Q14_ONE, dstSpan - WU_Q14_ONE);
  return step > 0 ? static_cast<LONG>(step) : 0;
}

}  // namespace

BOOL WuRectPixelsToQ14(RECT* out, const RECT* pixels) {
  const int64_t l = static_cast<int64_t>(pixels->left) * WU_Q14_ONE;
  const int64_t t = static_cast<int64_t>(pixels->top) * WU_Q14_ONE;
  const int64_t r = static_cast<int64_t>(pixels->right) * WU_Q14_ONE;
  const int64_t b = static_cast<int64_t>(pixels->bottom) * WU_Q14_ONE;
  if (!FitsLong(l) || !FitsLong(t) || !FitsLong(r) || !FitsLong(b)) {
    *out = RECT{0, 0, 0, 0};
    return FALSE;
  }
  *out = RECT{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r),
              static_cast<LONG>(b)};
  return TRUE;
}

int WuPrepareSubpixelParam(WUSUBPIXELPARAM* param, void* dstBits, const SIZE* dstSize,
                           LONG dstStride, const RECT* dstRect, const void* srcBits,
                           const SIZE* srcSize, LONG srcStride, const RECT* srcRect) {
  if (!param) return 0;
  *param = WUSUBPIXELPARAM{};
  if (!dstSize || !srcSize) return 0;

  RECT dstBounds;
  RECT srcBounds;
  if (!ImageBoundsQ14(&dstBounds, dstSize) || !ImageBoundsQ14(&srcBounds, srcSize)) return 0;
  const RECT dst = dstRect ? *dstRect : dstBounds;
  const RECT src = srcRect ? *srcRect : srcBounds;

  // The source actually present, at least one pixel each way.
  RECT srcClip;
  IntersectRect(&srcClip, &src, &srcBounds);
  if (Width(srcClip) < WU_Q14_ONE || Height(srcClip) < WU_Q14_ONE) return 0;

  // The requested destination, at least 1/16 pixel each way. Its extent is
  // formed in 64 bits; one that does not fit 32 bits is refused.
  const int64_t dstW = Width(dst);
  const int64_t dstH = Height(dst);
  if (dstW < kMinDestExtent || dstH < kMinDestExtent) return 0;
  if (dstW > kMaxLong || dstH > kMaxLong) return 0;

  // Ratios: a ratio of 0 (a huge enlargement) would divide by zero below,
  // one past 32 bits would wrap; both are refused.
  const int64_t ratioX = DivQ14(Width(srcClip), dstW);
  const int64_t ratioY = DivQ14(Height(srcClip), dstH);
  if (ratioX <= 0 || ratioY <= 0 || ratioX > kMaxLong || ratioY > kMaxLong) return 0;

  RECT dstClip;
  IntersectRect(&dstClip, &dst, &dstBounds);
  if (Width(dstClip) < kMinDestExtent || Height(dstClip) < kMinDestExtent) return 0;

  // Map srcClip into destination space and keep what lies on dstClip.
  const RECT mapped{dst.left, dst.top, SaturateLong(DivQ14(Width(srcClip), ratioX) + dst.left),
                    SaturateLong(DivQ14(Height(srcClip), ratioY) + dst.top)};
  RECT onDst;
  IntersectRect(&onDst, &mapped, &dstClip);

  // Map that back into the source.
  const RECT back{
      SaturateLong(MulQ14(static_cast<int64_t>(onDst.left) - dst.left, ratioX) + srcClip.left),
      SaturateLong(MulQ14(static_cast<int64_t>(onDst.top) - dst.top, ratioY) + srcClip.top),
      SaturateLong(MulQ14(static_cast<int64_t>(onDst.right) - dst.left, ratioX) + srcClip.left),
      SaturateLong(MulQ14(static_cast<int64_t>(onDst.bottom) - dst.top, ratioY) + srcClip.top)};
  RECT srcUsed;
  // Nothing of the source maps onto the clipped destination: the workers
  // would have no row or column to read.
  if (!IntersectRect(&srcUsed, &back, &srcClip)) return 0;

  param->dstBits = static_cast<BYTE*>(dstBits);
  param->dstStride = dstStride;
  param->dstClip = dstClip;
  param->dstRect = dst;
  param->srcBits = static_cast<const BYTE*>(srcBits);
  param->srcStride = srcStride;
  param->srcUsed = srcUsed;
  param->srcClip = srcClip;
  param->stepX = EndToEndStep(Width(srcUsed), Width(dstClip));
  param->stepY = EndToEndStep(Height(srcUsed), Height(dstClip));
  param->ratioX = static_cast<LONG>(ratioX);
  param->ratioY = static_cast<LONG>(ratioY);
  return 1;
}
