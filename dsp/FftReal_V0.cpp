// Variant 0 (generic): the real double-precision FFT with scalar
// arithmetic in both directions: set-up and drivers, the pair-table bit
// reversals, radix passes on six-value twiddle records, the split with
// four-column transposition through the work buffer, the split twiddle
// pass, the post-pass and pre-pass, the fixed kernels and the 32-point
// complex kernels of order 6.
#include "dsp/FftReal.h"
#include "dsp/FftRealKernels.h"
#include "dsp/FftRealSetup.h"
#include "dsp/FftSplitTables.h"
#include "dsp/FftTables.h"
#include "dsp/FftVariants.h"
#include "dsp/Variants.h"

namespace wuperf::v0 {

namespace {

// Points of the two halves that a half-order without split entry joins.
constexpr int32_t kNoSplitHalf = 1024;
// Doubles of one chunk of the split twiddle pass.
constexpr int32_t kTwiddleChunk = 128;

// a * (c, s) as (re c - im s, im c + re s).
inline void MulTw(double& re, double& im, double c, double s) {
  const double r = re * c - im * s;
  im = im * c + re * s;
  re = r;
}

// The joining of a half-order without split entry (2048 points): both
// halves by the passes (the second first) with their scaling, then the
// split twiddle pass (kInverse: the inverse passes and pass).
template <bool kInverse>
void NoSplitHalves(const FftSpecReal* ctx, double* data) {
  const double* tw = static_cast<const double*>(ctx->twiddleTable);
  const double* quarter = static_cast<const double*>(ctx->blockTwiddle);
  for (int half = 1; half >= 0; --half) {
    double* part = data + 2 * static_cast<int64_t>(kNoSplitHalf) * half;
    if (kInverse) {
      WuPerfFFTInv64f_Passes_V0(part, kNoSplitHalf, tw);
      if (ctx->scaleInverse) WuPerfFFT64f_Scale_V0(ctx->scaleFactor, part, 2 * kNoSplitHalf);
    } else {
      WuPerfFFTFwd64f_Passes_V0(part, kNoSplitHalf, tw);
      if (ctx->scaleForward) WuPerfFFT64f_Scale_V0(ctx->scaleFactor, part, 2 * kNoSplitHalf);
    }
  }
  if (kInverse)
    WuPerfFFTInv64f_SplitTwiddlePass_V0(data, 2 * kNoSplitHalf, kNoSplitHalf, quarter,
                                        kTwiddleChunk);
  else
    WuPerfFFTFwd64f_SplitTwiddlePass_V0(data, 2 * kNoSplitHalf, kNoSplitHalf, quarter,
                                        kTwiddleChunk);
}

}  // namespace

WU_DEFINE_FFT_REAL_FIXED(V0)

void WuPerfFFTFwd64fc_Order5_V0(const double* src, double* dst) {
  ComplexDft32<false, false>(src, dst, 1.0);
}

void WuPerfFFTFwd64fc_Order5Scaled_V0(const double* src, double* dst, double factor) {
  ComplexDft32<false, true>(src, dst, factor);
}

void WuPerfFFTInv64fc_Order5_V0(const double* src, double* dst) {
  ComplexDft32<true, false>(src, dst, 1.0);
}

void WuPerfFFTInv64fc_Order5Scaled_V0(const double* src, double* dst, double factor) {
  ComplexDft32<true, true>(src, dst, factor);
}

void WuPerfFFT64f_BitRevCopy_V0(const double* src, double* dst, int32_t count,
                                const uint32_t* pairs) {
  auto move = [src, dst](uint32_t to, uint32_t from) {
    dst[2 * size_t{to}] = src[2 * size_t{from}];
    dst[2 * size_t{to} + 1] = src[2 * size_t{from} + 1];
  };
  const uint32_t half = static_cast<uint32_t>(count) / 2;
  const uint32_t* w = pairs;
  for (; *w >= 2; w += 2) {
    const uint32_t i = w[0] / 2, j = w[1] / 2;
    const uint32_t a[4] = {i, i + 1, half + i, half + i + 1};
    const uint32_t b[4] = {j, half + j, j + 1, half + j + 1};
    for (int t = 0; t < 4; ++t) move(a[t], b[t]), move(b[t], a[t]);
  }
  do {
    const uint32_t i = *w / 2;
    move(i, i);
    move(half + i + 1, half + i + 1);
    move(half + i, i + 1);
    move(i + 1, half + i);
    ++w;
  } while (*w >= 2);
}

WuPerfStatus WuPerfFFT64f_Scale_V0(double factor, double* data, int32_t n) {
  if (data == nullptr) return WuPerfErrNullPointer;
  if (n <= 0) return WuPerfErrSize;
  if (factor == 1.0) return WuPerfOk;
  if (factor == 0.0) return WuPerfZero64f_V0(data, n);
  for (int32_t i = 0; i < n; ++i) data[i] *= factor;
  return WuPerfOk;
}

namespace {

// All stages of a count-point transform on bit-reversed data; kInverse: the
// unnormalised inverse (conjugate factors, +i rotations).
template <bool kInverse>
void PassesV0(double* a, int32_t count, const double* tw) {
  const int64_t m = count;
  // First stage: radix 4 on groups of four points.
  for (int64_t g = 0; g < m; g += 4) {
    double* x = a + 2 * g;
    const double s0r = x[0] + x[2], s0i = x[1] + x[3], d0r = x[0] - x[2], d0i = x[1] - x[3];
    const double s1r = x[4] + x[6], s1i = x[5] + x[7], d1r = x[4] - x[6], d1i = x[5] - x[7];
    x[0] = s0r + s1r, x[1] = s0i + s1i;
    x[4] = s0r - s1r, x[5] = s0i - s1i;
    if (kInverse) {
      x[2] = d0r - d1i, x[3] = d0i + d1r;
      x[6] = d0r + d1i, x[7] = d0i - d1r;
    } else {
      x[2] = d0r + d1i, x[3] = d0i - d1r;
      x[6] = d0r - d1i, x[7] = d0i + d1r;
    }
  }
  int h = 0;
  while ((int64_t{1} << h) < m) ++h;
  if (h & 1) {
    // Radix 2 over groups of eight: w1 = (h, -h), w2 = -i, w3 = (g, g)
    // (inverse: their conjugates).
    const double* rec = tw + 6 * (m / 8);
    const double hc = rec[0], g = rec[1];
    for (int64_t q = 0; q < m; q += 8) {
      double* x = a + 2 * q;
      for (int p = 0; p < 4; ++p) {
        double re = x[2 * (p + 4)], im = x[2 * (p + 4) + 1];
        double vr, vi;
        if (kInverse) {
          switch (p) {
            case 0: vr = re, vi = im; break;
            case 1: vr = hc * (re - im), vi = hc * (im + re); break;
            case 2: vr = -im, vi = re; break;
            default: vr = g * (re + im), vi = g * (im - re); break;
          }
        } else {
          switch (p) {
            case 0: vr = re, vi = im; break;
            case 1: vr = hc * (re + im), vi = hc * (im - re); break;
            case 2: vr = im, vi = -re; break;
            default: vr = g * (re - im), vi = g * (re + im); break;
          }
        }
        const double ur = x[2 * p], ui = x[2 * p + 1];
        x[2 * p] = ur + vr, x[2 * p + 1] = ui + vi;
        x[2 * (p + 4)] = ur - vr, x[2 * (p + 4) + 1] = ui - vi;
      }
    }
  }
  for (int64_t span = (h & 1) ? 32 : 16; span <= m; span *= 4) {
    const int64_t q = span / 4;
    const int64_t stride = m / span;  // records per position step
    for (int64_t g = 0; g < m; g += span) {
      double* x = a + 2 * g;
      for (int64_t p = 0; p < q; ++p) {
        double a0r = x[2 * p], a0i = x[2 * p + 1];
        double a1r = x[2 * (q + p)], a1i = x[2 * (q + p) + 1];
        double a2r = x[2 * (2 * q + p)], a2i = x[2 * (2 * q + p) + 1];
        double a3r = x[2 * (3 * q + p)], a3i = x[2 * (3 * q + p) + 1];
        if (p != 0) {
          const double* r = tw + 6 * (p * stride);
          const double sg = kInverse ? -1.0 : 1.0;
          MulTw(a1r, a1i, r[2], sg * r[3]);
          MulTw(a2r, a2i, r[0], sg * r[1]);
          MulTw(a3r, a3i, r[4], sg * r[5]);
        }
        const double u0r = a0r + a1r, u0i = a0i + a1i, u1r = a0r - a1r, u1i = a0i - a1i;
        const double v0r = a2r + a3r, v0i = a2i + a3i, v1r = a2r - a3r, v1i = a2i - a3i;
        x[2 * p] = v0r + u0r, x[2 * p + 1] = v0i + u0i;
        x[2 * (2 * q + p)] = u0r - v0r, x[2 * (2 * q + p) + 1] = u0i - v0i;
        if (kInverse) {
          x[2 * (q + p)] = u1r - v1i, x[2 * (q + p) + 1] = u1i + v1r;
          x[2 * (3 * q + p)] = u1r + v1i, x[2 * (3 * q + p) + 1] = u1i - v1r;
        } else {
          x[2 * (q + p)] = u1r + v1i, x[2 * (q + p) + 1] = u1i - v1r;
          x[2 * (3 * q + p)] = u1r - v1i, x[2 * (3 * q + p) + 1] = u1i + v1r;
        }
      }
    }
  }
}

}  // namespace

void WuPerfFFTFwd64f_Passes_V0(double* a, int32_t count, const double* tw) {
  PassesV0<false>(a, count, tw);
}

void WuPerfFFTInv64f_Passes_V0(double* a, int32_t count, const double* tw) {
  PassesV0<true>(a, count, tw);
}

void WuPerfFFTFwd64f_SplitTwiddlePass_V0(double* data, int32_t total, int32_t block,
                                         const double* quarter, int32_t chunk) {
  SplitTwiddlePass(data, total, block, quarter, chunk);
}

void WuPerfFFTInv64f_SplitTwiddlePass_V0(double* data, int32_t total, int32_t block,
                                         const double* quarter, int32_t chunk) {
  SplitTwiddlePass<true>(data, total, block, quarter, chunk);
}

namespace {

// One split level in place: the rows (passes and scaling, a lower level or
// the two-halves join), then the columns four at a time. kInverse: the
// inverse passes, conjugate level factors and the inverse scaling flag.
template <bool kInverse>
void SplitRecurseV0(const FftSpecReal* ctx, double* data, int32_t l, int32_t depth,
                    uint8_t* work) {
  const bool scaled = kInverse ? ctx->scaleInverse != 0 : ctx->scaleForward != 0;
  const double sg = kInverse ? -1.0 : 1.0;
  const int s = kRealSplitV0.v[l];
  const int d = l - s;
  const int64_t rows = Pow2(s), k = Pow2(d);
  const double* tw = static_cast<const double*>(ctx->twiddleTable);
  for (int64_t r = 0; r < rows; ++r) {
    double* row = data + 2 * k * r;
    if (d <= kRealDirectLimitV0) {
      PassesV0<kInverse>(row, static_cast<int32_t>(k), tw);
      if (scaled)
        WuPerfFFT64f_Scale_V0(ctx->scaleFactor, row, static_cast<int32_t>(2 * k));
    } else if (kRealSplitV0.v[d] != 0) {
      SplitRecurseV0<kInverse>(ctx, row, d, depth + 1, work);
    } else {
      NoSplitHalves<kInverse>(ctx, row);
    }
  }
  // Columns four at a time: twiddled into the work buffer, transformed,
  // written back in natural order.
  CheckDepth(depth);
  const double* level = static_cast<const double*>(ctx->levelTwiddle[depth]);
  const double* rowTable = static_cast<const double*>(ctx->levelPassTwiddle[depth]);
  double* cols = reinterpret_cast<double*>(work);
  for (int64_t q0 = 0; q0 < k; q0 += 4) {
    for (int64_t r = 0; r < rows; ++r) {
      const double* p = data + 2 * (r * k + q0);
      for (int u = 0; u < 4; ++u, level += 2) {
        double re = p[2 * u], im = p[2 * u + 1];
        MulTw(re, im, level[0], sg * level[1]);
        cols[2 * (u * rows + r)] = re;
        cols[2 * (u * rows + r) + 1] = im;
      }
    }
    for (int u = 0; u < 4; ++u)
      PassesV0<kInverse>(cols + 2 * u * rows, static_cast<int32_t>(rows), rowTable);
    for (int64_t r = 0; r < rows; ++r) {
      double* p = data + 2 * (r * k + q0);
      for (int u = 0; u < 4; ++u) {
        p[2 * u] = cols[2 * (u * rows + r)];
        p[2 * u + 1] = cols[2 * (u * rows + r) + 1];
      }
    }
  }
}

}  // namespace

void WuPerfFFTFwd64f_SplitRecurse_V0(const FftSpecReal* ctx, double* data, int32_t l,
                                     int32_t depth, uint8_t* work) {
  SplitRecurseV0<false>(ctx, data, l, depth, work);
}

void WuPerfFFTInv64f_SplitRecurse_V0(const FftSpecReal* ctx, double* data, int32_t l,
                                     int32_t depth, uint8_t* work) {
  SplitRecurseV0<true>(ctx, data, l, depth, work);
}

namespace {

// The large transform: bit reversal, then the top split level or the
// two-halves join (kInverse: the inverse ones).
template <bool kInverse>
void LargeV0(const FftSpecReal* ctx, const double* src, double* dst, int32_t h, uint8_t* work) {
  const int32_t m = static_cast<int32_t>(Pow2(h));
  const uint32_t* pairs = static_cast<const uint32_t*>(ctx->bitRevTable);
  if (src == dst)
    WuPerfFFT64f_BitRevInPlace_V0(dst, m, pairs);
  else
    WuPerfFFT64f_BitRevCopy_V0(src, dst, m, pairs);
  if (kRealSplitV0.v[h] != 0)
    SplitRecurseV0<kInverse>(ctx, dst, h, 0, work);
  else
    NoSplitHalves<kInverse>(ctx, dst);
}

}  // namespace

void WuPerfFFTFwd64f_Large_V0(const FftSpecReal* ctx, const double* src, double* dst, int32_t h,
                              uint8_t* work) {
  LargeV0<false>(ctx, src, dst, h, work);
}

void WuPerfFFTInv64f_Large_V0(const FftSpecReal* ctx, const double* src, double* dst, int32_t h,
                              uint8_t* work) {
  LargeV0<true>(ctx, src, dst, h, work);
}

void WuPerfFFTInv64f_RealPrePass_V0(const double* src, double* dst, int32_t count, int32_t,
                                    const double* table) {
  InversePrePass(src, dst, count, [table](int64_t k, double& cs, double& ns) {
    cs = table[2 * k], ns = table[2 * k + 1];
  });
}

void WuPerfFFTFwd64f_RealPostPass_V0(double* z, int32_t count, int32_t, const double* table) {
  const int64_t m = count;
  for (int64_t k = 1; k < m / 2; ++k) {
    const int64_t j = m - k;
    const double ak = table[2 * k], bk = table[2 * k + 1];
    const double zr = z[2 * k], zi = z[2 * k + 1], wr = z[2 * j], wi = z[2 * j + 1];
    const double e = zr - wr, f = zi + wi;
    const double g = e * bk + f * ak;
    const double hh = f * bk - e * ak;
    z[2 * k] = wr + g, z[2 * k + 1] = hh - wi;
    z[2 * j] = zr - g, z[2 * j + 1] = hh - zi;
  }
  z[m + 1] = -z[m + 1];
}

namespace {

struct RealOpsV0 {
  static constexpr int kVariant = 0;
  static constexpr int kDirectLimit = kRealDirectLimitV0;
  static constexpr bool kPairTables = true;
  static uint8_t* Malloc(int32_t n) { return WuPerfsMalloc_V0(n); }
  static void Free(void* p) { WuPerfsFree_V0(p); }
  static void Zero8u(void* p, int32_t n) { WuPerfZero8u_Kernel_V0(p, n); }
  static double* BaseTwiddle(int32_t o, double* d) { return WuPerfFFT64f_BaseTwiddle_V0(o, d); }
  static uint32_t* BitRevTable(int32_t o, uint32_t* d) { return WuPerfFFT_BitRevTable_V0(o, d); }
  static double* RadixTwiddle(int32_t h, const double* s, int32_t a, double* d) {
    return WuPerfFFT64f_RadixTwiddle_V0(h, s, a, d);
  }
  static uint8_t* InitLarge(FftSpecReal* sp, int32_t h, const double* s, int32_t a, uint8_t* d,
                            uint8_t* scratch) {
    return WuPerfFFT64f_InitLarge_V0(sp, h, s, a, d, scratch);
  }
  static void GetSizesLarge(int32_t h, int32_t* s, int32_t* i, int32_t* w) {
    WuPerfFFT64f_GetSizesLarge_V0(h, s, i, w);
  }
  static double* FwdRealTwiddle(int32_t n, const double* s, int32_t a, double* d) {
    return WuPerfFFTFwd64f_RealTwiddle_V0(n, s, a, d);
  }
  static double* InvRealTwiddle(int32_t n, const double* s, int32_t a, double* d) {
    return WuPerfFFTInv64f_RealTwiddle_V0(n, s, a, d);
  }
  static void HalfTransform(const FftSpecReal* ctx, const double* src, double* dst, int h,
                            uint8_t* work) {
    const int32_t m = static_cast<int32_t>(Pow2(h));
    if (h == 5) {
      const FixedKernelSlot* row = WuPerfFFTFwd64f_FixedKernels[FixedKernelRow(kVariant)];
      if (ctx->scaleForward)
        row[23].scaled(src, dst, ctx->scaleFactor);
      else
        row[17].plain(src, dst);
      return;
    }
    if (h > kDirectLimit) {
      WuPerfFFTFwd64f_Large_V0(ctx, src, dst, h, work);
      return;
    }
    const uint32_t* pairs = static_cast<const uint32_t*>(ctx->bitRevTable);
    if (src == dst)
      WuPerfFFT64f_BitRevInPlace_V0(dst, m, pairs);
    else
      WuPerfFFT64f_BitRevCopy_V0(src, dst, m, pairs);
    WuPerfFFTFwd64f_Passes_V0(dst, m, static_cast<const double*>(ctx->twiddleTable));
    if (ctx->scaleForward) WuPerfFFT64f_Scale_V0(ctx->scaleFactor, dst, 2 * m);
  }
  static void PostPass(double* d, int32_t m, int32_t dir, const double* t) {
    WuPerfFFTFwd64f_RealPostPass_V0(d, m, dir, t);
  }
  static void PrePass(const double* s, double* d, int32_t m, int32_t sign, const double* t) {
    WuPerfFFTInv64f_RealPrePass_V0(s, d, m, sign, t);
  }
  static void InvHalfTransform(const FftSpecReal* ctx, double* dst, int h, uint8_t* work) {
    const int32_t m = static_cast<int32_t>(Pow2(h));
    if (h == 5) {
      const FixedKernelSlot* row = WuPerfFFTInv64f_FixedKernels[FixedKernelRow(kVariant)];
      if (ctx->scaleInverse)
        row[23].scaled(dst, dst, ctx->scaleFactor);
      else
        row[17].plain(dst, dst);
      return;
    }
    if (h > kDirectLimit) {
      WuPerfFFTInv64f_Large_V0(ctx, dst, dst, h, work);
      return;
    }
    WuPerfFFT64f_BitRevInPlace_V0(dst, m, static_cast<const uint32_t*>(ctx->bitRevTable));
    WuPerfFFTInv64f_Passes_V0(dst, m, static_cast<const double*>(ctx->twiddleTable));
    if (ctx->scaleInverse) WuPerfFFT64f_Scale_V0(ctx->scaleFactor, dst, 2 * m);
  }
};

}  // namespace

WU_DEFINE_FFT_REAL_SETUP(V0, RealOpsV0)

}  // namespace wuperf::v0
