// Frame conversion entry points: the checks, and the kernel tables by
// layout, bitmap kind and reduction step.
#include "imaging/WuYuvConvert.h"

#include <cstdlib>

#include "imaging/WuDib.h"
#include "imaging/WuPixelTypes.h"
#include "imaging/WuYuvKernels.h"

namespace {

// Blocks of eight slots: 32-bit bitmap at steps 0..3, then the
// floating-point bitmap at steps 0..3.
constexpr int kSlotsPerBlock = 8;
constexpr int kBlocks = 4;

constexpr WUYUVDECODEKERNEL kDecodeTable[kBlocks * kSlotsPerBlock] = {
    // "UYVY"
    WuYUV_UYVYToRGB32, WuYUV_UYVYToRGB32_Reduced, WuYUV_UYVYToRGB32_Reduced,
    WuYUV_UYVYToRGB32_Reduced, WuYUV_UYVYToRGBFloat, WuYUV_UYVYToRGBFloat_Reduced,
    WuYUV_UYVYToRGBFloat_Reduced, WuYUV_UYVYToRGBFloat_Reduced,
    // "YUYV"
    WuYUV_YUYVToRGB32, WuYUV_YUYVToRGB32_Reduced, WuYUV_YUYVToRGB32_Reduced,
    WuYUV_YUYVToRGB32_Reduced, WuYUV_YUYVToRGBFloat, WuYUV_YUYVToRGBFloat_Reduced,
    WuYUV_YUYVToRGBFloat_Reduced, WuYUV_YUYVToRGBFloat_Reduced,
    // "v210"
    WuYUV_v210ToRGB32, WuYUV_v210ToRGB32_Half, WuYUV_v210ToRGB32_Quarter,
    WuYUV_v210ToRGB32_Eighth, WuYUV_v210ToRGBFloat, WuYUV_v210ToRGBFloat_Half,
    WuYUV_v210ToRGBFloat_Quarter, WuYUV_v210ToRGBFloat_Eighth,
    // "I420"
    WuYUV_I420ToRGB_Full, WuYUV_I420ToRGB_Half, WuYUV_I420ToRGB_Quarter,
    WuYUV_I420ToRGB32_Eighth, WuYUV_I420ToRGBFloat, WuYUV_I420ToRGBFloat_Reduced,
    WuYUV_I420ToRGBFloat_Reduced, WuYUV_I420ToRGBFloat_Reduced};

constexpr WUYUVENCODEKERNEL kEncodeTable[kBlocks * kSlotsPerBlock] = {
    WuYUV_RGB32ToUYVY, nullptr, nullptr, nullptr, WuYUV_RGBFloatToUYVY, nullptr, nullptr, nullptr,
    WuYUV_RGB32ToYUYV, nullptr, nullptr, nullptr, WuYUV_RGBFloatToYUYV, nullptr, nullptr, nullptr,
    WuYUV_RGB32Tov210, nullptr, nullptr, nullptr, WuYUV_RGBFloatTov210, nullptr, nullptr, nullptr,
    WuYUV_RGB32ToI420, nullptr, nullptr, nullptr, WuYUV_RGBFloatToI420, nullptr, nullptr, nullptr};

constexpr int kBlockUyvy = 0, kBlockYuyv = 1, kBlockV210 = 2, kBlockI420 = 3;

int BlockOf(DWORD fourcc) {
  if (fourcc == WU_FOURCC_UYVY) return kBlockUyvy;
  if (fourcc == WU_FOURCC_YUYV) return kBlockYuyv;
  if (fourcc == WU_FOURCC_V210) return kBlockV210;
  if (fourcc == WU_FOURCC_I420) return kBlockI420;
  return -1;
}

// Whether the kernel of a slot reads the plane layout: all but the 32-bit
// full-size "UYVY" kernels and the 32-bit "YUYV" encoder, whose rows are
// packed back to back.
bool ReadsLayout(int block, int slot, bool encoding) {
  if (slot != 0) return true;
  if (block == kBlockUyvy) return false;
  if (block == kBlockYuyv && encoding) return false;
  return true;
}

// Bytes of one YUV row (the luma row for "I420").
long long YuvRowBytes(int block, long long w) {
  if (block == kBlockV210) return ((w + 5) / 6) * 16;
  if (block == kBlockI420) return w;
  return 2 * w;
}

// Check 5 of the header comment.
HRESULT CheckShapes(const BITMAPINFOHEADER* rgb, const BITMAPINFOHEADER* yuv, int block,
                    int step, LONG stride, const WUYUVPLANELAYOUT* layout, bool readsLayout) {
  const WUPIXELTYPE type = WuGetPixelType(rgb);
  if (type != WUPIXEL_RGB32 && type != WUPIXEL_RGBA32 && type != WUPIXEL_RGBA128F)
    return E_INVALIDARG;
  const long long w = yuv->biWidth, h = yuv->biHeight;
  if (w <= 0 || h <= 0 || rgb->biWidth <= 0 || rgb->biHeight <= 0) return E_INVALIDARG;
  if (rgb->biWidth != (w >> step) || rgb->biHeight != (h >> step)) return E_INVALIDARG;
  if (block != kBlockI420 && (w & 1) != 0) return E_INVALIDARG;
  const long long multiple = 1LL << (block == kBlockI420 ? step + 1 : step);
  if (w % multiple != 0 || h % multiple != 0) return E_INVALIDARG;
  const long long pixelBytes = type == WUPIXEL_RGBA128F ? 16 : 4;
  if (std::llabs(static_cast<long long>(stride)) < pixelBytes * rgb->biWidth) return E_INVALIDARG;
  if (readsLayout) {
    if (layout->lumaStride < YuvRowBytes(block, w)) return E_INVALIDARG;
    if (block == kBlockI420 && (layout->uStride < w / 2 || layout->vStride < w / 2))
      return E_INVALIDARG;
  }
  return S_OK;
}

// Checks 1 to 5; on success the slot's index in the table.
HRESULT Check(const BITMAPINFOHEADER* rgb, const BITMAPINFOHEADER* yuv,
              const WUYUVCONVERTOPTIONS* options, const void* buffer,
              const WUYUVPLANELAYOUT* layout, int step, LONG stride, bool encoding,
              int* index) {
  if (!rgb || !yuv || !options || !buffer) return E_POINTER;
  const int block = BlockOf(yuv->biCompression);
  const bool isFloat = WuGetPixelType(rgb) == WUPIXEL_RGBA128F;
  const int slot = (step >= 0 && step <= 3) ? step + (isFloat ? 4 : 0) : 0;
  if (block >= 0 && !layout && ReadsLayout(block, slot, encoding)) return E_POINTER;
  if (block < 0) return E_FAIL;
  if (step < 0 || step > 3) return E_INVALIDARG;
  *index = block * kSlotsPerBlock + slot;
  if (encoding ? !kEncodeTable[*index] : !kDecodeTable[*index]) return E_FAIL;
  return CheckShapes(rgb, yuv, block, step, stride, layout, ReadsLayout(block, slot, encoding));
}

}  // namespace

HRESULT WuYUV_YUVToRGB(const BITMAPINFOHEADER* rgbHeader, double gamma, void* bits, LONG stride,
                       const BITMAPINFOHEADER* yuvHeader, const WUYUVCONVERTOPTIONS* options,
                       const void* yuv, const WUYUVPLANELAYOUT* layout, int step,
                       DWORD reserved) {
  if (rgbHeader) {
    if (!bits) bits = WuDibGetBits(rgbHeader);
    stride = WuDibGetStride(rgbHeader, stride);
  }
  int index = 0;
  const HRESULT hr =
      Check(rgbHeader, yuvHeader, options, yuv, layout, step, stride, false, &index);
  if (FAILED(hr)) return hr;
  return kDecodeTable[index](rgbHeader, gamma, static_cast<BYTE*>(bits), stride, yuvHeader,
                             static_cast<const BYTE*>(yuv), layout, options, step, reserved);
}

HRESULT WuYUV_RGBToYUV(const BITMAPINFOHEADER* yuvHeader, const WUYUVCONVERTOPTIONS* options,
                       void* yuv, const WUYUVPLANELAYOUT* layout,
                       const BITMAPINFOHEADER* rgbHeader, double gamma, const void* bits,
                       LONG stride, int step, DWORD reserved) {
  if (rgbHeader) {
    if (!bits) bits = WuDibGetBits(rgbHeader);
    stride = WuDibGetStride(rgbHeader, stride);
  }
  int index = 0;
  const HRESULT hr =
      Check(rgbHeader, yuvHeader, options, yuv, layout, step, stride, true, &index);
  if (FAILED(hr)) return hr;
  return kEncodeTable[index](yuvHeader, static_cast<BYTE*>(yuv), layout, options, rgbHeader,
                             gamma, static_cast<const BYTE*>(bits), stride, step, reserved);
}
