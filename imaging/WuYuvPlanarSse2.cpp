// The SSE2 4:2:0 kernels: the plain kernels' integer formulas with 16-bit
// lanes, eight source columns a step. The leftmost width mod 8 columns go
// through the plain kernel, so the output equals the plain path's.
#include <emmintrin.h>

#include <cstring>

#include "imaging/WuYuvPlanarRows.h"

namespace wu_yuv420 {
namespace {

// Four bytes widened to 16-bit lanes 0..3.
inline __m128i Load4(const BYTE* p) {
  int v;
  std::memcpy(&v, p, 4);
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), _mm_setzero_si128());
}
// Eight bytes widened to 16-bit lanes.
inline __m128i Load8(const BYTE* p) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                           _mm_setzero_si128());
}

// wU * su + wV * sv per lane for table row `row`, four chroma positions
// (su, sv in 16-bit lanes 0..3), as 32-bit lanes.
inline __m128i WeightedSums(const WUYUVINTCOEFFS* c, int row, __m128i su, __m128i sv) {
  const __m128i w = _mm_set1_epi32(static_cast<int>(
      static_cast<uint16_t>(c->weights[2 * row]) |
      (static_cast<uint32_t>(static_cast<uint16_t>(c->weights[2 * row + 1])) << 16)));
  return _mm_madd_epi16(_mm_unpacklo_epi16(su, sv), w);
}
// (sums + k * offset) >> shift, arithmetic.
inline __m128i Finish(const WUYUVINTCOEFFS* c, int row, __m128i sums, int k, int shift) {
  return _mm_sra_epi32(_mm_add_epi32(sums, _mm_set1_epi32(k * c->offsets[row])),
                       _mm_cvtsi32_si128(shift));
}
// Adds neighbouring 32-bit lanes: lane 0 = l0 + l1, lane 2 = l2 + l3.
inline __m128i PairAdd32(__m128i v) {
  return _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
}
// Lanes 0 and 2 of a 32-bit vector moved to lanes 0 and 1.
inline __m128i Lanes02(__m128i v) { return _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 1, 2, 0)); }

// Eight 16-bit blue, green, red lanes to eight BGRA pixels (saturated).
inline void Store8(BYTE* d, __m128i b, __m128i g, __m128i r) {
  const __m128i b8 = _mm_packus_epi16(b, b), g8 = _mm_packus_epi16(g, g);
  const __m128i r8 = _mm_packus_epi16(r, r), a8 = _mm_set1_epi8(-1);
  const __m128i bg = _mm_unpacklo_epi8(b8, g8), ra = _mm_unpacklo_epi8(r8, a8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi16(bg, ra));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_unpackhi_epi16(bg, ra));
}
// The first `count` (at most 4) pixels of 16-bit blue, green, red lanes.
inline void StoreN(BYTE* d, __m128i b, __m128i g, __m128i r, int count) {
  const __m128i b8 = _mm_packus_epi16(b, b), g8 = _mm_packus_epi16(g, g);
  const __m128i r8 = _mm_packus_epi16(r, r), a8 = _mm_set1_epi8(-1);
  const __m128i px = _mm_unpacklo_epi16(_mm_unpacklo_epi8(b8, g8), _mm_unpacklo_epi8(r8, a8));
  if (count == 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), px);
  else
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), px);
}

// Terms of four chroma positions at shift 14, each repeated for two columns.
inline void FullTerms(const WUYUVINTCOEFFS* c, const BYTE* u, const BYTE* v, __m128i t[3]) {
  const __m128i su = Load4(u), sv = Load4(v);
  for (int row = 0; row < 3; ++row) {
    const __m128i t32 = Finish(c, row, WeightedSums(c, row, su, sv), 1, 14);
    const __m128i t16 = _mm_packs_epi32(t32, t32);
    t[row] = _mm_unpacklo_epi16(t16, t16);
  }
}
inline void StoreLine8(BYTE* d, const BYTE* y, const __m128i t[3]) {
  const __m128i y16 = Load8(y);
  Store8(d, _mm_add_epi16(y16, t[0]), _mm_add_epi16(y16, t[1]), _mm_add_epi16(y16, t[2]));
}

}  // namespace

void Line422Wide(const BYTE* y, const BYTE* u, const BYTE* v, BYTE* dst, int x0, int x1,
                 const WUYUVINTCOEFFS* c) {
  for (int x = x0; x < x1; x += 8) {
    __m128i t[3];
    FullTerms(c, u + x / 2, v + x / 2, t);
    StoreLine8(dst + 4 * x, y + x, t);
  }
}

namespace {

// The full kernel over columns [x0, width).
void FullWide(const Planes& p, int x0) {
  const int pairs = p.height / 2;
  for (int pp = 0; pp < pairs; ++pp) {
    const auto [y0, y1, u, v, d0, d1] = PairPointersAt(p, pp, pairs);
    for (int x = x0; x < p.width; x += 8) {
      __m128i t[3];
      FullTerms(p.coeffs, u + x / 2, v + x / 2, t);
      StoreLine8(d0 + 4 * x, y0 + x, t);
      StoreLine8(d1 + 4 * x, y1 + x, t);
    }
  }
}

// The half-horizontal kernel over columns [x0, width).
void HalfHorzWide(const Planes& p, int x0) {
  const int pairs = p.height / 2;
  const __m128i ones = _mm_set1_epi16(1);
  for (int pp = 0; pp < pairs; ++pp) {
    const PairRows pr = PairAt(pp, pairs, p.interlaced);
    const BYTE* u = p.u + pr.chromaRow * p.uStride;
    const BYTE* v = p.v + pr.chromaRow * p.vStride;
    const int lines[2] = {pr.line0, pr.line1};
    for (int x = x0; x < p.width; x += 8) {
      const __m128i su = Load4(u + x / 2), sv = Load4(v + x / 2);
      __m128i t[3];
      for (int row = 0; row < 3; ++row)
        t[row] = Finish(p.coeffs, row, WeightedSums(p.coeffs, row, su, sv), 1, 13);
      for (int line : lines) {
        const __m128i ys = _mm_madd_epi16(Load8(p.y + line * p.yStride + x), ones);
        __m128i c[3];
        for (int row = 0; row < 3; ++row) {
          const __m128i s = _mm_srai_epi32(_mm_add_epi32(ys, t[row]), 1);
          c[row] = _mm_packs_epi32(s, s);
        }
        StoreN(p.dst + line * p.dstStride + 2 * x, c[0], c[1], c[2], 4);
      }
    }
  }
}

// The half-blend kernel over columns [x0, width).
void HalfBlendWide(const Planes& p, int x0) {
  const int pairs = p.height / 2;
  const __m128i ones = _mm_set1_epi16(1);
  for (int r = 0; r < pairs; ++r) {
    const auto [ya, yb, ua, ub, va, vb, d] = BlendPointersAt(p, r, pairs);
    for (int x = x0; x < p.width; x += 8) {
      const int cx = x / 2;
      const __m128i su = _mm_add_epi16(Load4(ua + cx), Load4(ub + cx));
      const __m128i sv = _mm_add_epi16(Load4(va + cx), Load4(vb + cx));
      const __m128i ys = _mm_madd_epi16(_mm_add_epi16(Load8(ya + x), Load8(yb + x)), ones);
      __m128i c[3];
      for (int row = 0; row < 3; ++row) {
        const __m128i t = Finish(p.coeffs, row, WeightedSums(p.coeffs, row, su, sv), 2, 13);
        const __m128i s = _mm_srai_epi32(_mm_add_epi32(ys, t), 2);
        c[row] = _mm_packs_epi32(s, s);
      }
      StoreN(d + 2 * x, c[0], c[1], c[2], 4);
    }
  }
}

// Chroma terms of two output pixels of the quarter kernels: lanes 0 and 2
// hold the weighted sums over chroma columns (cx, cx + 1) and (cx + 2,
// cx + 3) of two chroma rows, finished with k = 4.
inline __m128i QuarterTerm(const WUYUVINTCOEFFS* c, int row, __m128i su, __m128i sv,
                           int shift) {
  return Finish(c, row, PairAdd32(WeightedSums(c, row, su, sv)), 4, shift);
}

// The quarter-horizontal-half-vertical-blend kernel over columns [x0, width).
void QuarterHorzHalfVertWide(const Planes& p, int x0) {
  const int pairs = p.height / 2;
  const __m128i ones = _mm_set1_epi16(1);
  for (int r = 0; r < pairs; ++r) {
    const auto [ya, yb, ua, ub, va, vb, d] = BlendPointersAt(p, r, pairs);
    for (int x = x0; x < p.width; x += 8) {
      const int cx = x / 2;
      const __m128i su = _mm_add_epi16(Load4(ua + cx), Load4(ub + cx));
      const __m128i sv = _mm_add_epi16(Load4(va + cx), Load4(vb + cx));
      const __m128i ys =
          PairAdd32(_mm_madd_epi16(_mm_add_epi16(Load8(ya + x), Load8(yb + x)), ones));
      __m128i c[3];
      for (int row = 0; row < 3; ++row) {
        const __m128i s =
            _mm_srai_epi32(_mm_add_epi32(ys, QuarterTerm(p.coeffs, row, su, sv, 13)), 3);
        const __m128i s2 = Lanes02(s);
        c[row] = _mm_packs_epi32(s2, s2);
      }
      StoreN(d + x, c[0], c[1], c[2], 2);
    }
  }
}

// The quarter-blend kernel over columns [x0, width).
void QuarterBlendWide(const Planes& p, int x0) {
  const int rows = p.height / 4;
  const __m128i ones = _mm_set1_epi16(1);
  const __m128i top = _mm_set1_epi16(4095);
  for (int r = 0; r < rows; ++r) {
    const BYTE* y = p.y + 4 * r * p.yStride;
    const BYTE* ua = p.u + 2 * r * p.uStride;
    const BYTE* va = p.v + 2 * r * p.vStride;
    BYTE* d = p.dst + r * p.dstStride;
    for (int x = x0; x < p.width; x += 8) {
      const int cx = x / 2;
      const __m128i su = _mm_add_epi16(Load4(ua + cx), Load4(ua + p.uStride + cx));
      const __m128i sv = _mm_add_epi16(Load4(va + cx), Load4(va + p.vStride + cx));
      __m128i y16 = Load8(y + x);
      for (int line = 1; line < 4; ++line)
        y16 = _mm_add_epi16(y16, Load8(y + line * p.yStride + x));
      const __m128i ys = PairAdd32(_mm_madd_epi16(y16, ones));
      __m128i c[3];
      for (int row = 0; row < 3; ++row) {
        const __m128i s = Lanes02(_mm_add_epi32(ys, QuarterTerm(p.coeffs, row, su, sv, 12)));
        __m128i s16 = _mm_packs_epi32(s, s);
        s16 = _mm_min_epi16(_mm_max_epi16(s16, _mm_setzero_si128()), top);
        c[row] = _mm_srai_epi16(s16, 4);
      }
      StoreN(d + x, c[0], c[1], c[2], 2);
    }
  }
}

typedef void (*ColumnsFn)(const Planes&, int, int);
typedef void (*WideFn)(const Planes&, int);

template <ColumnsFn kPlain, WideFn kWide, int kWMultiple, int kHMultiple>
HRESULT WideKernel(int width, int height, BYTE* dst, LONG dstStride, const BYTE* y,
                   LONG yStride, const BYTE* u, LONG uStride, const BYTE* v, LONG vStride,
                   WUINTERLACETYPE interlace, const WUYUVINTCOEFFS* coeffs) {
  const HRESULT hr = CheckSize(width, height, kWMultiple, kHMultiple);
  if (hr != S_OK) return hr == S_FALSE ? S_OK : hr;
  const Planes p = {width,   height, dst,     dstStride, y,
                    yStride, u,      uStride, v,         vStride,
                    WuYUV_IsInterlaced(interlace) != FALSE, coeffs};
  const int lead = width % 8;
  if (lead) kPlain(p, 0, lead);
  kWide(p, lead);
  return S_OK;
}

constexpr WUYUV420KERNEL kSse2Kernels[WUYUV420_KINDS] = {
    WideKernel<FullColumns, FullWide, 2, 2>, WideKernel<HalfHorzColumns, HalfHorzWide, 2, 2>,
    WideKernel<HalfBlendColumns, HalfBlendWide, 2, 2>,
    WideKernel<QuarterHorzHalfVertColumns, QuarterHorzHalfVertWide, 4, 2>,
    WideKernel<QuarterBlendColumns, QuarterBlendWide, 4, 4>};

}  // namespace

const WUYUV420KERNEL* Sse2Kernels() { return kSse2Kernels; }

}  // namespace wu_yuv420
