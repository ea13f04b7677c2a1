// Internal to the planar converters: the plain 4:2:0 kernels over a range of
// source columns, shared by the plain kernels (all columns) and the SSE2
// kernels (the leftmost width mod 8 columns), and the row-pair walk.
#pragma once

#include <cstddef>

#include "imaging/WuYuvMatrix.h"
#include "imaging/WuYuvPlanar.h"
#include "platform/kernel/types.h"

namespace wu_yuv420 {

// One call's planes.
struct Planes {
  int width;                     // source luma width
  int height;                    // source luma height
  BYTE* dst;                     // first output row
  ptrdiff_t dstStride;           // bytes between output rows
  const BYTE* y;                 // luma plane
  ptrdiff_t yStride;
  const BYTE* u;                 // Cb plane
  ptrdiff_t uStride;
  const BYTE* v;                 // Cr plane
  ptrdiff_t vStride;
  bool interlaced;               // interlace type 1 or 2
  const WUYUVINTCOEFFS* coeffs;  // integer table
};

// The two lines and the chroma row of row pair p of P pairs (lines 2p and
// 2p + 1 progressively; within a field when interlaced, the last pair of an
// odd count progressively).
struct PairRows {
  int line0;
  int line1;
  int chromaRow;
};
inline PairRows PairAt(int p, int pairs, bool interlaced) {
  if (interlaced && p < (pairs & ~1)) {
    const int g = p >> 1;
    if ((p & 1) == 0) return {4 * g, 4 * g + 2, p};
    return {4 * g + 1, 4 * g + 3, p};
  }
  return {2 * p, 2 * p + 1, p};
}
// The two chroma rows blended into output row r of the half-vertical
// kernels (r read twice when progressive or in the odd last pair).
inline void BlendChromaRows(int r, int pairs, bool interlaced, int* c0, int* c1) {
  if (interlaced && r < (pairs & ~1)) {
    *c0 = r & ~1;
    *c1 = (r & ~1) + 1;
  } else {
    *c0 = r;
    *c1 = r;
  }
}

// The rows of row pair pp (of `pairs`) of the full-height kernels.
struct PairPointers {
  const BYTE* y0;  // luma of the pair's first and second line
  const BYTE* y1;
  const BYTE* u;   // the pair's chroma row
  const BYTE* v;
  BYTE* d0;        // output rows of the two lines
  BYTE* d1;
};
inline PairPointers PairPointersAt(const Planes& p, int pp, int pairs) {
  const PairRows pr = PairAt(pp, pairs, p.interlaced);
  return {p.y + pr.line0 * p.yStride,         p.y + pr.line1 * p.yStride,
          p.u + pr.chromaRow * p.uStride,     p.v + pr.chromaRow * p.vStride,
          p.dst + pr.line0 * p.dstStride,     p.dst + pr.line1 * p.dstStride};
}

// The rows of output row r of the half-vertical kernels: luma lines 2r and
// 2r + 1, the two chroma rows blended into it.
struct BlendPointers {
  const BYTE* ya;
  const BYTE* yb;
  const BYTE* ua;
  const BYTE* ub;
  const BYTE* va;
  const BYTE* vb;
  BYTE* d;
};
inline BlendPointers BlendPointersAt(const Planes& p, int r, int pairs) {
  int c0, c1;
  BlendChromaRows(r, pairs, p.interlaced, &c0, &c1);
  const BYTE* ya = p.y + 2 * r * p.yStride;
  return {ya,
          ya + p.yStride,
          p.u + c0 * p.uStride,
          p.u + c1 * p.uStride,
          p.v + c0 * p.vStride,
          p.v + c1 * p.vStride,
          p.dst + r * p.dstStride};
}

inline BYTE Clamp255(int v) { return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// (wU * su + wV * sv + k * offset) >> shift for table row `row` (0 blue,
// 1 green, 2 red).
inline int Term(const WUYUVINTCOEFFS* c, int row, int su, int sv, int k, int shift) {
  return (c->weights[2 * row] * su + c->weights[2 * row + 1] * sv + k * c->offsets[row]) >> shift;
}

// The plain kernels over source columns [x0, x1) (x0 and x1 multiples of
// 2, or of 4 for the quarter kernels), all rows.
void FullColumns(const Planes& p, int x0, int x1);
void HalfHorzColumns(const Planes& p, int x0, int x1);
void HalfBlendColumns(const Planes& p, int x0, int x1);
void QuarterHorzHalfVertColumns(const Planes& p, int x0, int x1);
void QuarterBlendColumns(const Planes& p, int x0, int x1);

// The size rule of a kernel: E_INVALIDARG for a negative size or one that is
// not a multiple of (wMultiple, hMultiple); S_FALSE for nothing to do (a
// zero size); S_OK to convert.
HRESULT CheckSize(int width, int height, int wMultiple, int hMultiple);

// One 4:2:2 line (chroma of the same line) over columns [x0, x1), plain
// and SSE2 (x1 - x0 a multiple of 8 for the SSE2 form).
void Line422Columns(const BYTE* y, const BYTE* u, const BYTE* v, BYTE* dst, int x0, int x1,
                    const WUYUVINTCOEFFS* c);
void Line422Wide(const BYTE* y, const BYTE* u, const BYTE* v, BYTE* dst, int x0, int x1,
                 const WUYUVINTCOEFFS* c);

// The five SSE2 kernels, in the order of WUYUV420KIND.
const WUYUV420KERNEL* Sse2Kernels();

}  // namespace wu_yuv420

// Forgets the published kernel table (tests).
void WuYUV420_ResetKernels();
