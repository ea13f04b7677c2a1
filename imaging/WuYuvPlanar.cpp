// Planar YUV to 32-bit pixels: the plain 4:2:0 kernels, the kernel table,
// the exported converters, the 4:2:2 row kernel and the I420 entries of the
// frame conversion table.
#include "imaging/WuYuvPlanar.h"

#include <atomic>

#include "foundation/WuSystem.h"
#include "imaging/WuYuvKernels.h"
#include "imaging/WuYuvPlanarRows.h"

namespace wu_yuv420 {

HRESULT CheckSize(int width, int height, int wMultiple, int hMultiple) {
  if (width < 0 || height < 0) return E_INVALIDARG;
  if (width % wMultiple != 0 || height % hMultiple != 0) return E_INVALIDARG;
  if (width == 0 || height == 0) return S_FALSE;
  return S_OK;
}

namespace {

inline void StorePixel(BYTE* d, int b, int g, int r) {
  d[0] = Clamp255(b);
  d[1] = Clamp255(g);
  d[2] = Clamp255(r);
  d[3] = 255;
}

}  // namespace

void FullColumns(const Planes& p, int x0, int x1) {
  const int pairs = p.height / 2;
  for (int pp = 0; pp < pairs; ++pp) {
    const auto [y0, y1, u, v, d0, d1] = PairPointersAt(p, pp, pairs);
    for (int x = x0; x < x1; x += 2) {
      const int su = u[x / 2], sv = v[x / 2];
      const int tb = Term(p.coeffs, 0, su, sv, 1, 14);
      const int tg = Term(p.coeffs, 1, su, sv, 1, 14);
      const int tr = Term(p.coeffs, 2, su, sv, 1, 14);
      for (int i = 0; i < 2; ++i) {
        StorePixel(d0 + 4 * (x + i), y0[x + i] + tb, y0[x + i] + tg, y0[x + i] + tr);
        StorePixel(d1 + 4 * (x + i), y1[x + i] + tb, y1[x + i] + tg, y1[x + i] + tr);
      }
    }
  }
}

void HalfHorzColumns(const Planes& p, int x0, int x1) {
  const int pairs = p.height / 2;
  for (int pp = 0; pp < pairs; ++pp) {
    const PairRows pr = PairAt(pp, pairs, p.interlaced);
    const BYTE* u = p.u + pr.chromaRow * p.uStride;
    const BYTE* v = p.v + pr.chromaRow * p.vStride;
    const int lines[2] = {pr.line0, pr.line1};
    for (int line : lines) {
      const BYTE* yr = p.y + line * p.yStride;
      BYTE* d = p.dst + line * p.dstStride;
      for (int x = x0; x < x1; x += 2) {
        const int su = u[x / 2], sv = v[x / 2];
        const int ys = yr[x] + yr[x + 1];
        StorePixel(d + 2 * x, (ys + Term(p.coeffs, 0, su, sv, 1, 13)) >> 1,
                   (ys + Term(p.coeffs, 1, su, sv, 1, 13)) >> 1,
                   (ys + Term(p.coeffs, 2, su, sv, 1, 13)) >> 1);
      }
    }
  }
}

void HalfBlendColumns(const Planes& p, int x0, int x1) {
  const int pairs = p.height / 2;
  for (int r = 0; r < pairs; ++r) {
    const auto [ya, yb, ua, ub, va, vb, d] = BlendPointersAt(p, r, pairs);
    for (int x = x0; x < x1; x += 2) {
      const int cx = x / 2;
      const int su = ua[cx] + ub[cx], sv = va[cx] + vb[cx];
      const int ys = ya[x] + ya[x + 1] + yb[x] + yb[x + 1];
      StorePixel(d + 2 * x, (ys + Term(p.coeffs, 0, su, sv, 2, 13)) >> 2,
                 (ys + Term(p.coeffs, 1, su, sv, 2, 13)) >> 2,
                 (ys + Term(p.coeffs, 2, su, sv, 2, 13)) >> 2);
    }
  }
}

void QuarterHorzHalfVertColumns(const Planes& p, int x0, int x1) {
  const int pairs = p.height / 2;
  for (int r = 0; r < pairs; ++r) {
    const auto [ya, yb, ua, ub, va, vb, d] = BlendPointersAt(p, r, pairs);
    for (int x = x0; x < x1; x += 4) {
      const int cx = x / 2;
      const int su = ua[cx] + ua[cx + 1] + ub[cx] + ub[cx + 1];
      const int sv = va[cx] + va[cx + 1] + vb[cx] + vb[cx + 1];
      int ys = 0;
      for (int i = 0; i < 4; ++i) ys += ya[x + i] + yb[x + i];
      StorePixel(d + x, (ys + Term(p.coeffs, 0, su, sv, 4, 13)) >> 3,
                 (ys + Term(p.coeffs, 1, su, sv, 4, 13)) >> 3,
                 (ys + Term(p.coeffs, 2, su, sv, 4, 13)) >> 3);
    }
  }
}

void QuarterBlendColumns(const Planes& p, int x0, int x1) {
  const int rows = p.height / 4;
  for (int r = 0; r < rows; ++r) {
    const BYTE* y = p.y + 4 * r * p.yStride;
    const BYTE* ua = p.u + 2 * r * p.uStride;
    const BYTE* ub = ua + p.uStride;
    const BYTE* va = p.v + 2 * r * p.vStride;
    const BYTE* vb = va + p.vStride;
    BYTE* d = p.dst + r * p.dstStride;
    for (int x = x0; x < x1; x += 4) {
      const int cx = x / 2;
      const int su = ua[cx] + ua[cx + 1] + ub[cx] + ub[cx + 1];
      const int sv = va[cx] + va[cx + 1] + vb[cx] + vb[cx + 1];
      int ys = 0;
      for (int line = 0; line < 4; ++line)
        for (int i = 0; i < 4; ++i) ys += y[line * p.yStride + x + i];
      BYTE* px = d + x;
      for (int row = 0; row < 3; ++row) {
        const int s = ys + Term(p.coeffs, row, su, sv, 4, 12);
        px[row] = static_cast<BYTE>(s < 0 ? 0 : (s > 4095 ? 255 : s >> 4));
      }
      px[3] = 255;
    }
  }
}

void Line422Columns(const BYTE* y, const BYTE* u, const BYTE* v, BYTE* dst, int x0, int x1,
                    const WUYUVINTCOEFFS* c) {
  for (int x = x0; x < x1; x += 2) {
    const int su = u[x / 2], sv = v[x / 2];
    const int tb = Term(c, 0, su, sv, 1, 14);
    const int tg = Term(c, 1, su, sv, 1, 14);
    const int tr = Term(c, 2, su, sv, 1, 14);
    StorePixel(dst + 4 * x, y[x] + tb, y[x] + tg, y[x] + tr);
    StorePixel(dst + 4 * x + 4, y[x + 1] + tb, y[x + 1] + tg, y[x + 1] + tr);
  }
}

}  // namespace wu_yuv420

using namespace wu_yuv420;

namespace {

Planes MakePlanes(int width, int height, BYTE* dst, LONG dstStride, const BYTE* y, LONG yStride,
                  const BYTE* u, LONG uStride, const BYTE* v, LONG vStride,
                  WUINTERLACETYPE interlace, const WUYUVINTCOEFFS* coeffs) {
  return {width, height, dst,     dstStride, y, yStride, u, uStride, v,
          vStride, WuYUV_IsInterlaced(interlace) != FALSE, coeffs};
}

// The size rule of each kind: (width multiple, height multiple).
constexpr int kWidthMultiple[WUYUV420_KINDS] = {2, 2, 2, 4, 4};
constexpr int kHeightMultiple[WUYUV420_KINDS] = {2, 2, 2, 2, 4};

typedef void (*ColumnsFn)(const Planes&, int, int);
constexpr ColumnsFn kColumns[WUYUV420_KINDS] = {FullColumns, HalfHorzColumns, HalfBlendColumns,
                                                QuarterHorzHalfVertColumns,
                                                QuarterBlendColumns};

template <WUYUV420KIND kKind>
HRESULT PlainKernel(int width, int height, BYTE* dst, LONG dstStride, const BYTE* y,
                    LONG yStride, const BYTE* u, LONG uStride, const BYTE* v, LONG vStride,
                    WUINTERLACETYPE interlace, const WUYUVINTCOEFFS* coeffs) {
  const HRESULT hr = CheckSize(width, height, kWidthMultiple[kKind], kHeightMultiple[kKind]);
  if (hr != S_OK) return hr == S_FALSE ? S_OK : hr;
  const Planes p = MakePlanes(width, height, dst, dstStride, y, yStride, u, uStride, v, vStride,
                              interlace, coeffs);
  kColumns[kKind](p, 0, width);
  return S_OK;
}

constexpr WUYUV420KERNEL kPlainKernels[WUYUV420_KINDS] = {
    PlainKernel<WUYUV420_FULL>, PlainKernel<WUYUV420_HALFHORZ>, PlainKernel<WUYUV420_HALFBLEND>,
    PlainKernel<WUYUV420_QUARTERHORZ_HALFVERT>, PlainKernel<WUYUV420_QUARTERBLEND>};

// The published kernel table: null until chosen, then the plain or the SSE2
// row of kernels. Every thread stores the same value.
std::atomic<const WUYUV420KERNEL*> g_kernelTable{nullptr};

const WUYUV420KERNEL* KernelTable() {
  WuYUV420_InitKernels();
  return g_kernelTable.load(std::memory_order_acquire);
}

// Runs a kernel kind with the matrix picked from the code and height.
HRESULT Run(WUYUV420KIND kind, int width, int height, BYTE* dst, LONG dstStride, const BYTE* y,
            LONG yStride, const BYTE* u, LONG uStride, const BYTE* v, LONG vStride,
            WUINTERLACETYPE interlace, const WUYUVINTCOEFFS* coeffs) {
  return KernelTable()[kind](width, height, dst, dstStride, y, yStride, u, uStride, v, vStride,
                             interlace, coeffs);
}

// `_Half` and `_Quarter`: an interlaced frame runs the kernel on the first
// field only (half the lines, strides doubled, progressive); otherwise the
// blend kernel on the whole frame.
HRESULT RunReduced(WUYUV420KIND fieldKind, WUYUV420KIND blendKind, int width, int height,
                   BYTE* dst, LONG dstStride, const BYTE* y, LONG yStride, const BYTE* u,
                   LONG uStride, const BYTE* v, LONG vStride, WUINTERLACETYPE interlace,
                   const WUYUVINTCOEFFS* coeffs) {
  if (!WuYUV_IsInterlaced(interlace))
    return Run(blendKind, width, height, dst, dstStride, y, yStride, u, uStride, v, vStride,
               interlace, coeffs);
  const HRESULT hr = CheckSize(width, height, 2, 2);
  if (hr != S_OK) return hr == S_FALSE ? S_OK : hr;
  return Run(fieldKind, width, height / 2, dst, dstStride, y, 2 * yStride, u, 2 * uStride, v,
             2 * vStride, WUINTERLACE_PROGRESSIVE, coeffs);
}

}  // namespace

void WuYUV420_ResetKernels() { g_kernelTable.store(nullptr, std::memory_order_release); }

void WuYUV420_InitKernels() {
  if (g_kernelTable.load(std::memory_order_acquire)) return;
  g_kernelTable.store(WuGetCPUSupport(0x40) != 0 ? Sse2Kernels() : kPlainKernels,
                      std::memory_order_release);
}

WUYUV420KERNEL WuYUV420_GetKernel(WUYUV420KIND kind) { return KernelTable()[kind]; }

WUYUV420KERNEL WuYUV420_PlainKernel(WUYUV420KIND kind) { return kPlainKernels[kind]; }

WUYUV420KERNEL WuYUV420_Sse2Kernel(WUYUV420KIND kind) { return Sse2Kernels()[kind]; }

#define WUYUV420_PLANE_ARGS dst, dstStride, y, yStride, u, uStride, v, vStride

HRESULT WuYUV420ToRGBA(int width, int height, BYTE* dst, LONG dstStride, const BYTE* y,
                       LONG yStride, const BYTE* u, LONG uStride, const BYTE* v, LONG vStride,
                       WUINTERLACETYPE interlace, LONG matrixCode) {
  return Run(WUYUV420_FULL, width, height, WUYUV420_PLANE_ARGS, interlace,
             WuYUV_GetIntCoeffs(matrixCode, height));
}

HRESULT WuYUV420ToRGBA_HalfHorz(int width, int height, BYTE* dst, LONG dstStride,
                                const BYTE* y, LONG yStride, const BYTE* u, LONG uStride,
                                const BYTE* v, LONG vStride, WUINTERLACETYPE interlace,
                                LONG matrixCode) {
  return Run(WUYUV420_HALFHORZ, width, height, WUYUV420_PLANE_ARGS, interlace,
             WuYUV_GetIntCoeffs(matrixCode, height));
}

HRESULT WuYUV420ToRGBA_Half_BlendFields(int width, int height, BYTE* dst, LONG dstStride,
                                        const BYTE* y, LONG yStride, const BYTE* u,
                                        LONG uStride, const BYTE* v, LONG vStride,
                                        WUINTERLACETYPE interlace, LONG matrixCode) {
  return Run(WUYUV420_HALFBLEND, width, height, WUYUV420_PLANE_ARGS, interlace,
             WuYUV_GetIntCoeffs(matrixCode, height));
}

HRESULT WuYUV420ToRGBA_Half(int width, int height, BYTE* dst, LONG dstStride, const BYTE* y,
                            LONG yStride, const BYTE* u, LONG uStride, const BYTE* v,
                            LONG vStride, WUINTERLACETYPE interlace, LONG matrixCode) {
  return RunReduced(WUYUV420_HALFHORZ, WUYUV420_HALFBLEND, width, height, WUYUV420_PLANE_ARGS,
                    interlace, WuYUV_GetIntCoeffs(matrixCode, height));
}

HRESULT WuYUV420ToRGBA_QuarterHorz_HalfVert_BlendFields(int width, int height, BYTE* dst,
                                                        LONG dstStride, const BYTE* y,
                                                        LONG yStride, const BYTE* u,
                                                        LONG uStride, const BYTE* v,
                                                        LONG vStride,
                                                        WUINTERLACETYPE interlace,
                                                        LONG matrixCode) {
  return Run(WUYUV420_QUARTERHORZ_HALFVERT, width, height, WUYUV420_PLANE_ARGS, interlace,
             WuYUV_GetIntCoeffs(matrixCode, height));
}

HRESULT WuYUV420ToRGBA_Quarter_BlendFields(int width, int height, BYTE* dst, LONG dstStride,
                                           const BYTE* y, LONG yStride, const BYTE* u,
                                           LONG uStride, const BYTE* v, LONG vStride,
                                           WUINTERLACETYPE interlace, LONG matrixCode) {
  return Run(WUYUV420_QUARTERBLEND, width, height, WUYUV420_PLANE_ARGS, interlace,
             WuYUV_GetIntCoeffs(matrixCode, height));
}

HRESULT WuYUV420ToRGBA_Quarter(int width, int height, BYTE* dst, LONG dstStride,
                               const BYTE* y, LONG yStride, const BYTE* u, LONG uStride,
                               const BYTE* v, LONG vStride, WUINTERLACETYPE interlace,
                               LONG matrixCode) {
  return RunReduced(WUYUV420_QUARTERHORZ_HALFVERT, WUYUV420_QUARTERBLEND, width, height,
                    WUYUV420_PLANE_ARGS, interlace, WuYUV_GetIntCoeffs(matrixCode, height));
}

HRESULT WuYUV422PlanarToRGBA(int width, int height, BYTE* dst, LONG dstStride, const BYTE* y,
                             LONG yStride, const BYTE* u, LONG uStride, const BYTE* v,
                             LONG vStride, LONG matrixCode) {
  const HRESULT hr = CheckSize(width, height, 2, 1);
  if (hr != S_OK) return hr == S_FALSE ? S_OK : hr;
  const WUYUVINTCOEFFS* c = WuYUV_GetIntCoeffs(matrixCode, height);
  // SSE2 lines from the column width mod 8 on, as the 4:2:0 kernels do;
  // the bytes equal the plain line's.
  const int lead = WuGetCPUSupport(0x40) ? width % 8 : width;
  for (int line = 0; line < height; ++line) {
    const BYTE* yr = y + static_cast<ptrdiff_t>(line) * yStride;
    const BYTE* ur = u + static_cast<ptrdiff_t>(line) * uStride;
    const BYTE* vr = v + static_cast<ptrdiff_t>(line) * vStride;
    BYTE* d = dst + static_cast<ptrdiff_t>(line) * dstStride;
    if (lead) Line422Columns(yr, ur, vr, d, 0, lead, c);
    if (lead < width) Line422Wide(yr, ur, vr, d, lead, width, c);
  }
  return S_OK;
}

// ---- I420 entries of the frame conversion table ------------------------------------

namespace {

// The I420 call of a frame conversion: source row 0 into the last bitmap row
// in memory, stepping upward.
template <typename Fn>
HRESULT RunI420(const BITMAPINFOHEADER* rgbHeader, BYTE* bits, LONG stride,
                const BITMAPINFOHEADER* yuvHeader, const BYTE* yuv,
                const WUYUVPLANELAYOUT* layout, const WUYUVCONVERTOPTIONS* options, Fn run) {
  WuYUV420_InitKernels();
  BYTE* dst = bits + static_cast<ptrdiff_t>(rgbHeader->biHeight - 1) * stride;
  return run(yuvHeader->biWidth, yuvHeader->biHeight, dst, -stride, yuv, layout->lumaStride,
             yuv + layout->uOffset, layout->uStride, yuv + layout->vOffset, layout->vStride,
             options->interlaceType,
             WuYUV_GetIntCoeffs(options->matrixCode, rgbHeader->biHeight));
}

}  // namespace

HRESULT WuYUV_I420ToRGB_Full(WUYUV_DECODE_ARGS) {
  return RunI420(rgbHeader, bits, stride, yuvHeader, yuv, layout, options,
                 [](auto... a) { return Run(WUYUV420_FULL, a...); });
}

HRESULT WuYUV_I420ToRGB_Half(WUYUV_DECODE_ARGS) {
  return RunI420(rgbHeader, bits, stride, yuvHeader, yuv, layout, options, [](auto... a) {
    return RunReduced(WUYUV420_HALFHORZ, WUYUV420_HALFBLEND, a...);
  });
}

HRESULT WuYUV_I420ToRGB_Quarter(WUYUV_DECODE_ARGS) {
  return RunI420(rgbHeader, bits, stride, yuvHeader, yuv, layout, options, [](auto... a) {
    return RunReduced(WUYUV420_QUARTERHORZ_HALFVERT, WUYUV420_QUARTERBLEND, a...);
  });
}
