// Variant 0 (generic): the complex float FFT in scalar C++ on interleaved
// points: set-up and drivers, the fixed kernels, bit reversal with the pair
// table, the radix passes over one table of six-value records, and the
// split and chunked transforms of orders above 10.
#include <cassert>
#include <cstring>

#include "dsp/FftComplex.h"
#include "dsp/FftComplexSetup.h"
#include "dsp/FftSmallKernels.h"
#include "dsp/FftSplitTables.h"
#include "dsp/FftVariants.h"
#include "dsp/Variants.h"

namespace wuperf::v0 {
namespace {

inline Cx Load(const float* p, size_t i) { return {p[2 * i], p[2 * i + 1]}; }
inline void Store(float* p, size_t i, Cx v) { p[2 * i] = v.re, p[2 * i + 1] = v.im; }
// a * w, or a * conj(w) for the inverse.
template <bool kInv>
Cx MulW(Cx a, float c, float ns) {
  return kInv ? CxMul(a, c, -ns) : CxMul(a, c, ns);
}

// One radix-4 pass of span `span` over n points, butterfly k reading
// record k * n / (4 * span). kSpan: the span as a constant (a separate,
// unrolled loop per pass size), 0 for any span.
template <bool kInv, size_t kSpan>
void Radix4PassV0(float* p, size_t n, size_t span, const float* tw) {
  if (kSpan != 0) span = kSpan;
  const size_t stride = n / (4 * span);
  for (size_t g = 0; g < n; g += 4 * span) {
#pragma GCC unroll 4
    for (size_t k = 0; k < span; ++k) {
      const float* w = tw + 6 * k * stride;
      Cx a = Load(p, g + k);
      Cx b = MulW<kInv>(Load(p, g + k + span), w[2], w[3]);
      Cx c = MulW<kInv>(Load(p, g + k + 2 * span), w[0], w[1]);
      Cx d = MulW<kInv>(Load(p, g + k + 3 * span), w[4], w[5]);
      Cx s1 = CxAdd(a, b), d1 = CxSub(a, b), s2 = CxAdd(c, d), d2 = RotW4<kInv>(CxSub(c, d));
      Store(p, g + k, CxAdd(s1, s2));
      Store(p, g + k + span, CxAdd(d1, d2));
      Store(p, g + k + 2 * span, CxSub(s1, s2));
      Store(p, g + k + 3 * span, CxSub(d1, d2));
    }
  }
}

// All passes in place over n >= 8 points in bit-reversed order; the table
// holds records (W^k, W^2k, W^3k), W = e^(-2*pi*i/n), k = 0 .. n/4.
template <bool kInv>
void PassesV0(float* p, size_t n, const float* tw) {
  for (size_t g = 0; g < n; g += 4) {
    Cx a = Load(p, g), b = Load(p, g + 1), c = Load(p, g + 2), d = Load(p, g + 3);
    Cx s1 = CxAdd(a, b), d1 = CxSub(a, b), s2 = CxAdd(c, d), d2 = RotW4<kInv>(CxSub(c, d));
    Store(p, g, CxAdd(s1, s2));
    Store(p, g + 1, CxAdd(d1, d2));
    Store(p, g + 2, CxSub(s1, s2));
    Store(p, g + 3, CxSub(d1, d2));
  }
  size_t span = 4;
  if (Log2(n) & 1) {
    const float c = tw[6 * (n / 8)], ns = tw[6 * (n / 8) + 1];
    for (size_t g = 0; g < n; g += 8) {
      for (size_t q = 0; q < 4; ++q) {
        Cx a = Load(p, g + q), b = Load(p, g + q + 4);
        if (q == 1) b = MulW<kInv>(b, c, ns);
        if (q == 2) b = RotW4<kInv>(b);
        if (q == 3) b = MulW<kInv>(b, -c, ns);
        Store(p, g + q, CxAdd(a, b));
        Store(p, g + q + 4, CxSub(a, b));
      }
    }
    span = 8;
  }
  for (; span <= n / 4; span *= 4) {
    switch (span) {
      case 4: Radix4PassV0<kInv, 4>(p, n, 4, tw); break;
      case 8: Radix4PassV0<kInv, 8>(p, n, 8, tw); break;
      case 16: Radix4PassV0<kInv, 16>(p, n, 16, tw); break;
      case 32: Radix4PassV0<kInv, 32>(p, n, 32, tw); break;
      case 64: Radix4PassV0<kInv, 64>(p, n, 64, tw); break;
      case 128: Radix4PassV0<kInv, 128>(p, n, 128, tw); break;
      case 256: Radix4PassV0<kInv, 256>(p, n, 256, tw); break;
      default: Radix4PassV0<kInv, 0>(p, n, span, tw); break;
    }
  }
}

// Combines consecutive transforms of `size` points into one of n points;
// the table holds n/4 pairs (cos, -sin)(2*pi*k/n).
template <bool kInv>
void SplitTwiddlePassV0(float* p, size_t n, size_t size, const float* tw) {
  for (size_t m = size; m < n; m *= 2) {
    const size_t stride = n / (2 * m);
    for (size_t g = 0; g < n; g += 2 * m) {
      for (size_t k = 0; k < m; ++k) {
        Cx b = Load(p, g + m + k);
        if (k < m / 2) {
          b = MulW<kInv>(b, tw[2 * k * stride], tw[2 * k * stride + 1]);
        } else {
          size_t j = (k - m / 2) * stride;
          b = RotW4<kInv>(MulW<kInv>(b, tw[2 * j], tw[2 * j + 1]));
        }
        Cx a = Load(p, g + k);
        Store(p, g + k, CxAdd(a, b));
        Store(p, g + m + k, CxSub(a, b));
      }
    }
  }
}

constexpr size_t kChunkPoints = 1024;  // block of the chunked path

void ScaleIf(bool scaled, float f, float* p, size_t points) {
  if (scaled) WuPerfFFT32fc_Scale_V0(f, p, static_cast<int32_t>(2 * points));
}

// The chunked path on a bit-reversed block of order 11 or 12: 1024-point
// transforms from the last block to the first, then the combining passes.
template <bool kInv>
void ChunkedV0(const FftSpec* s, float* p, int order, bool scaled) {
  const size_t n = size_t{1} << order;
  const float* tw = static_cast<const float*>(s->twiddleTable);
  for (size_t b = n / kChunkPoints; b-- > 0;) {
    PassesV0<kInv>(p + 2 * b * kChunkPoints, kChunkPoints, tw);
    ScaleIf(scaled, s->scaleFactor, p + 2 * b * kChunkPoints, kChunkPoints);
  }
  SplitTwiddlePassV0<kInv>(p, n, kChunkPoints, static_cast<const float*>(s->columnTwiddle));
}

// One split level on a bit-reversed block of order m at `depth`.
template <bool kInv>
void SplitLevelV0(const FftSpec* s, float* p, int m, int depth, float* work, bool scaled) {
  const int split = kComplexSplitV0.v[m];
  const int sub = m - split;
  // The split tables never nest deeper than the context has level tables;
  // saying so keeps the optimiser from unrolling the recursion past them.
  assert(depth < kFftSplitDepths);
  if (depth >= kFftSplitDepths) __builtin_unreachable();
  const size_t b = size_t{1} << sub, r = size_t{1} << split;
  for (size_t t = 0; t < r; ++t) {
    float* row = p + 2 * t * b;
    if (sub <= kComplexDirectLimitV0) {
      PassesV0<kInv>(row, b, static_cast<const float*>(s->twiddleTable));
      ScaleIf(scaled, s->scaleFactor, row, b);
    } else if (kComplexSplitV0.v[sub] != 0) {
      SplitLevelV0<kInv>(s, row, sub, depth + 1, work, scaled);
    } else {
      ChunkedV0<kInv>(s, row, sub, scaled);
    }
  }
  const float* et = static_cast<const float*>(s->levelTwiddle[depth]);
  const float* ct = static_cast<const float*>(s->levelColumnTwiddle[depth]);
  for (size_t c = 0; c < b; c += 4) {
    for (size_t j = 0; j < r; ++j, et += 8)
      for (size_t l = 0; l < 4; ++l)
        Store(work, l * r + j, MulW<kInv>(Load(p, j * b + c + l), et[2 * l], et[2 * l + 1]));
    for (size_t l = 0; l < 4; ++l) PassesV0<kInv>(work + 2 * l * r, r, ct);
    for (size_t j = 0; j < r; ++j)
      for (size_t l = 0; l < 4; ++l) Store(p, j * b + c + l, Load(work, l * r + j));
  }
}

template <bool kInv>
void LargeV0(const FftSpec* s, const void* src, void* dst, int order, uint8_t* work) {
  const int32_t n = int32_t{1} << order;
  WuPerfFFT32fc_BitRevCopy_V0(src, dst, n, static_cast<const uint32_t*>(s->bitRevTable));
  const bool scaled = (kInv ? s->scaleInverse : s->scaleForward) == 1;
  float* p = static_cast<float*>(dst);
  if (kComplexSplitV0.v[order] != 0)
    SplitLevelV0<kInv>(s, p, order, 0, reinterpret_cast<float*>(work), scaled);
  else
    ChunkedV0<kInv>(s, p, order, scaled);
}

struct TraitsV0 {
  static constexpr int32_t kVariant = 0;
  static constexpr int kDirectLimit = kComplexDirectLimitV0;
  static constexpr bool kGeneric = true;
  static uint8_t* Malloc(int32_t n) { return WuPerfsMalloc_V0(n); }
  static void Free(void* p) { WuPerfsFree_V0(p); }
  static float* BaseTwiddle(int32_t order, float* dst) { return WuPerfFFT32fc_BaseTwiddle_V0(order, dst); }
  static uint32_t* BitRevTable(int32_t order, uint32_t* dst) { return WuPerfFFT_BitRevTable_V0(order, dst); }
  static float* RadixTwiddle(int32_t order, const float* s, int32_t a, float* dst) {
    return WuPerfFFT32fc_RadixTwiddle_V0(order, s, a, dst);
  }
  static void InitLarge(FftSpec* ctx, int32_t order, const float* s, int32_t a, uint8_t* dst,
                        uint8_t* scratch) {
    WuPerfFFT32fc_InitLarge_V0(ctx, order, s, a, dst, scratch);
  }
  static void GetSizesLarge(int32_t order, int32_t* ctx, int32_t* init, int32_t* work) {
    WuPerfFFT32fc_GetSizesLarge_V0(order, ctx, init, work);
  }
  static void Scale(float f, float* p, int32_t count) { WuPerfFFT32fc_Scale_V0(f, p, count); }
  static void BitRevInPlace(void* p, int32_t n, const uint32_t* t) { WuPerfFFT32fc_BitRevInPlace_V0(p, n, t); }
  static void BitRevCopy(const void* src, void* dst, int32_t n, const uint32_t* t) {
    WuPerfFFT32fc_BitRevCopy_V0(src, dst, n, t);
  }
  template <bool kInv>
  static void Passes(void* p, int32_t n, const float* tw, uint8_t*) {
    if (kInv)
      WuPerfFFTInv32fc_Passes_V0(p, n, tw);
    else
      WuPerfFFTFwd32fc_Passes_V0(p, n, tw);
  }
  template <bool kInv>
  static void Large(const FftSpec* s, const void* src, void* dst, int32_t order, uint8_t* work) {
    if (kInv)
      WuPerfFFTInv32fc_Large_V0(s, src, dst, order, work);
    else
      WuPerfFFTFwd32fc_Large_V0(s, src, dst, order, work);
  }
};

}  // namespace

WU_DEFINE_FFT32FC_ENTRIES(V0, TraitsV0)
WU_FFT32FC_FIXED_KERNELS(V0, true)

void WuPerfFFT32fc_BitRevCopy_V0(const void* src, void* dst, int32_t n, const uint32_t* table) {
  if (src != dst) std::memcpy(dst, src, 8 * static_cast<size_t>(n));
  WuPerfFFT32fc_BitRevInPlace_V0(dst, n, table);
}

WuPerfStatus WuPerfFFT32fc_Scale_V0(float factor, float* data, int32_t count) {
  if (!data) return WuPerfErrNullPointer;
  if (count <= 0) return WuPerfErrSize;
  if (factor == 1.0f) return WuPerfOk;
  if (factor == 0.0f) return WuPerfZero32f_V0(data, count);
  for (int32_t i = 0; i < count; ++i) data[i] *= factor;
  return WuPerfOk;
}

#define WU_FFT32FC_V0_DIR_BODY(D, kInv)                                                         \
  void WuPerfFFT##D##32fc_Passes_V0(void* data, int32_t n, const float* twiddles) {            \
    PassesV0<kInv>(static_cast<float*>(data), static_cast<size_t>(n), twiddles);               \
  }                                                                                             \
  void WuPerfFFT##D##32fc_Large_V0(const FftSpec* ctx, const void* src, void* dst,             \
                                   int32_t order, uint8_t* work) {                              \
    LargeV0<kInv>(ctx, src, dst, order, work);                                                 \
  }                                                                                             \
  void WuPerfFFT##D##32fc_SplitRecurse_V0(const FftSpec* ctx, void* block, int32_t order,      \
                                          int32_t depth, uint8_t* work) {                       \
    SplitLevelV0<kInv>(ctx, static_cast<float*>(block), order, depth,                          \
                       reinterpret_cast<float*>(work),                                          \
                       (kInv ? ctx->scaleInverse : ctx->scaleForward) == 1);                  \
  }                                                                                             \
  void WuPerfFFT##D##32fc_SplitTwiddlePass_V0(void* data, int32_t n, int32_t size,              \
                                              const float* twiddles) {                          \
    SplitTwiddlePassV0<kInv>(static_cast<float*>(data), static_cast<size_t>(n),                 \
                             static_cast<size_t>(size), twiddles);                              \
  }
WU_FFT32FC_V0_DIR_BODY(Fwd, false)
WU_FFT32FC_V0_DIR_BODY(Inv, true)

}  // namespace wuperf::v0
