// The fixed kernels of the real double-precision FFT: real forward
// transforms of 1 to 32 values into the packed spectrum and their inverses,
// scaled and unscaled, the forward and inverse complex DFTs of 32 points,
// and the inverse pre-pass shared by every variant. Straight-line code
// over local values with the constants below; every kernel reads its whole
// input before its first write, so source and destination may coincide.
// Every variant compiles the same operations in the same order, so their
// results are equal bit for bit.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <cstdint>
#include <cstring>

namespace wuperf {
namespace {

// The double with the bit pattern `bits`. Not std::bit_cast: an unoptimised
// build emits that template as a weak symbol, which variant objects must
// not define.
inline double DoubleFromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// cos(k*pi/16), k = 0..8, as the doubles the kernels use; the sines of
// pi/16 and 3*pi/16 have their own doubles for positive and negative uses
// (bit patterns in the table of constants).
inline double FixedCos(int k, bool negative) {
  switch (k) {
    case 0: return negative ? -1.0 : 1.0;
    case 1: return DoubleFromBits(negative ? 0xBFEF6297CFF75CB0ull : 0x3FEF6297CFF75CB0ull);
    case 2: return DoubleFromBits(negative ? 0xBFED906BCF328D46ull : 0x3FED906BCF328D46ull);
    case 3: return DoubleFromBits(negative ? 0xBFEA9B66290EA1A3ull : 0x3FEA9B66290EA1A3ull);
    case 4: return DoubleFromBits(negative ? 0xBFE6A09E667F3BCDull : 0x3FE6A09E667F3BCDull);
    case 5: return DoubleFromBits(negative ? 0xBFE1C73B39AE68C8ull : 0x3FE1C73B39AE68C9ull);
    case 6: return DoubleFromBits(negative ? 0xBFD87DE2A6AEA963ull : 0x3FD87DE2A6AEA963ull);
    case 7: return DoubleFromBits(negative ? 0xBFC8F8B83C69A60Aull : 0x3FC8F8B83C69A60Dull);
    default: return 0.0;
  }
}

// cos and -sin of the angle 2*pi*a/32: each as (magnitude index 0..8, sign).
struct FixedAngle {
  int ck;      // cos magnitude index (8: zero)
  bool cneg;   // cos negative
  int sk;      // -sin magnitude index
  bool sneg;   // -sin negative
};
inline FixedAngle AngleOf32(int a) {
  a &= 31;
  FixedAngle r{};
  // cos(a*pi/16)
  if (a <= 8) r.ck = a, r.cneg = false;
  else if (a <= 16) r.ck = 16 - a, r.cneg = true;
  else if (a <= 24) r.ck = a - 16, r.cneg = true;
  else r.ck = 32 - a, r.cneg = false;
  // -sin(a*pi/16) = -cos((8 - a)*pi/16)
  int b = (8 - a) & 31;
  int k;
  bool neg;
  if (b <= 8) k = b, neg = false;
  else if (b <= 16) k = 16 - b, neg = true;
  else if (b <= 24) k = b - 16, neg = true;
  else k = 32 - b, neg = false;
  r.sk = k, r.sneg = !neg;
  return r;
}

// acc += v * (constant k with sign), with exact steps for 0 and 1.
inline double AddTimes(double acc, double v, int k, bool negative) {
  if (k == 8) return acc;
  if (k == 0) return negative ? acc - v : acc + v;
  return acc + v * FixedCos(k, negative);
}

// Packed real spectrum of n values (n = 1 .. 32); with `scaled` the first
// stage's values are multiplied by the factor.
template <int kN>
void RealForwardFixed(const double* x, double* y, bool scaled, double f) {
  if constexpr (kN == 1) {
    y[0] = scaled ? x[0] * f : x[0];
  } else if constexpr (kN == 2) {
    double s = x[0] + x[1], d = x[0] - x[1];
    if (scaled) s *= f, d *= f;
    y[0] = s, y[1] = d;
  } else {
    constexpr int h = kN / 2;
    double a[h], b[h];
    for (int j = 0; j < h; ++j) {
      a[j] = x[j] + x[j + h];
      b[j] = x[j] - x[j + h];
      if (scaled) a[j] *= f, b[j] *= f;
    }
    // Even bins: the packed spectrum of the sums.
    double e[h];
    RealForwardFixed<h>(a, e, false, 1.0);
    // Odd bins X[2k+1] = sum b_j W^(j(2k+1)), W = e^(-2 pi i/N).
    double odd[h];
    for (int k = 0; k < h / 2; ++k) {
      double re = b[0], im = 0.0;
      for (int j = 1; j < h; ++j) {
        FixedAngle w = AngleOf32((j * (2 * k + 1) * (32 / kN)) & 31);
        re = AddTimes(re, b[j], w.ck, w.cneg);
        im = AddTimes(im, b[j], w.sk, w.sneg);
      }
      odd[2 * k] = re, odd[2 * k + 1] = im;
    }
    y[0] = e[0];
    y[1] = e[1];
    // Bin 2k+1 at elements 4k+2, 4k+3; bin 2k (k >= 1) at 4k, 4k+1.
    for (int k = 0; k < h / 2; ++k) {
      if (k > 0) y[4 * k] = e[2 * k], y[4 * k + 1] = e[2 * k + 1];
      y[4 * k + 2] = odd[2 * k];
      y[4 * k + 3] = odd[2 * k + 1];
    }
  }
}

// Forward complex DFT of 32 interleaved complex doubles, natural order in
// and out; radix-2 stages on the bit-reversed input, then the factor.
inline void ComplexForward32(const double* src, double* dst, bool scaled, double f) {
  double re[32], im[32];
  for (int j = 0; j < 32; ++j) {
    int r = 0;
    for (int bit = 0; bit < 5; ++bit) r |= ((j >> bit) & 1) << (4 - bit);
    re[r] = src[2 * j];
    im[r] = src[2 * j + 1];
  }
  for (int span = 2; span <= 32; span *= 2) {
    const int half = span / 2;
    for (int p = 0; p < half; ++p) {
      FixedAngle w = AngleOf32(p * (32 / span));
      const double c = w.ck == 8 ? 0.0 : FixedCos(w.ck, w.cneg);
      const double s = w.sk == 8 ? 0.0 : FixedCos(w.sk, w.sneg);
      for (int g = 0; g < 32; g += span) {
        const int i0 = g + p, i1 = i0 + half;
        double tr, ti;
        if (p == 0) {
          tr = re[i1], ti = im[i1];
        } else {
          tr = re[i1] * c - im[i1] * s;
          ti = re[i1] * s + im[i1] * c;
        }
        re[i1] = re[i0] - tr, im[i1] = im[i0] - ti;
        re[i0] = re[i0] + tr, im[i0] = im[i0] + ti;
      }
    }
  }
  for (int k = 0; k < 32; ++k) {
    dst[2 * k] = scaled ? re[k] * f : re[k];
    dst[2 * k + 1] = scaled ? im[k] * f : im[k];
  }
}

// Joins two transformed blocks of `block` points (E, then O) into one
// transform of total = 2 * block points: X[k] = E[k] + W^k O[k], X[k +
// block] = E[k] - W^k O[k], W = e^(-2 pi i/total) (kInverse: its
// conjugate). W^k for k below total/4 is quarter-period pair k; above,
// W^k = -i W^(k - total/4) (kInverse: +i). The points go in chunks of
// chunk/2 values of k, each chunk with its partners k + total/4.
template <bool kInverse = false>
inline void SplitTwiddlePass(double* data, int32_t total, int32_t block, const double* quarter,
                             int32_t chunk) {
  const int64_t q = total / 4;
  const int64_t step = chunk / 2 > 0 ? chunk / 2 : 1;
  double* e = data;
  double* o = data + 2 * static_cast<int64_t>(block);
  auto butterfly = [&](int64_t k, double c, double s, bool rotate) {
    if (kInverse) s = -s;
    const double orr = o[2 * k], oi = o[2 * k + 1];
    double vr = orr * c - oi * s, vi = orr * s + oi * c;
    if (rotate) {
      const double t = vr;
      if (kInverse)
        vr = -vi, vi = t;
      else
        vr = vi, vi = -t;
    }
    const double er = e[2 * k], ei = e[2 * k + 1];
    e[2 * k] = er + vr, e[2 * k + 1] = ei + vi;
    o[2 * k] = er - vr, o[2 * k + 1] = ei - vi;
  };
  for (int64_t base = 0; base < q; base += step) {
    for (int64_t k = base; k < base + step && k < q; ++k)
      butterfly(k, quarter[2 * k], quarter[2 * k + 1], false);
    for (int64_t k = base; k < base + step && k < q; ++k)
      butterfly(k + q, quarter[2 * k], quarter[2 * k + 1], true);
  }
}

// Unnormalised inverse real transform of a packed spectrum of kN = 1 .. 32
// values: outputs t and t + kN/2 are Ev(t) + Od(t) and Ev(t) - Od(t), Ev
// the inverse of the even bins one size down (with R0 and R(kN/2)), Od the
// odd bins, each doubled. With `scaled` every first-level value (the sum
// and difference of R0 and R(kN/2), the doubled odd bins) is multiplied by
// the factor before any product or further sum.
template <int kN>
void RealInverseFixed(const double* p, double* x, bool scaled, double f) {
  if constexpr (kN == 1) {
    x[0] = scaled ? p[0] * f : p[0];
  } else if constexpr (kN == 2) {
    double s = p[0] + p[1], d = p[0] - p[1];
    if (scaled) s *= f, d *= f;
    x[0] = s, x[1] = d;
  } else {
    constexpr int h = kN / 2;
    // Even bins 2k' as the packed spectrum of h values.
    double even[h];
    even[0] = p[0], even[1] = p[1];
    for (int k = 1; k < h / 2; ++k) even[2 * k] = p[4 * k], even[2 * k + 1] = p[4 * k + 1];
    // Odd bins, doubled (and scaled).
    double r2[h / 2], i2[h / 2];
    for (int k = 0; k < h / 2; ++k) {
      r2[k] = 2.0 * p[4 * k + 2], i2[k] = 2.0 * p[4 * k + 3];
      if (scaled) r2[k] *= f, i2[k] *= f;
    }
    double ev[h];
    RealInverseFixed<h>(even, ev, scaled, f);
    double od[h];
    for (int t = 0; t < h; ++t) {
      double acc = 0.0;
      for (int k = 0; k < h / 2; ++k) {
        // cos and -sin of 2 pi (2k + 1) t / kN
        const FixedAngle w = AngleOf32(((2 * k + 1) * t * (32 / kN)) & 31);
        acc = AddTimes(acc, r2[k], w.ck, w.cneg);
        acc = AddTimes(acc, i2[k], w.sk, w.sneg);
      }
      od[t] = acc;
    }
    for (int t = 0; t < h; ++t) {
      const double a = ev[t], b = od[t];
      x[t] = a + b;
      x[t + h] = a - b;
    }
  }
}

// A complex value of the 32-point inverse kernel.
struct Cx {
  double r, i;
};

inline Cx CxAdd(Cx a, Cx b) { return {a.r + b.r, a.i + b.i}; }
inline Cx CxSub(Cx a, Cx b) { return {a.r - b.r, a.i - b.i}; }
// a + i b and a - i b.
inline Cx CxAddI(Cx a, Cx b) { return {a.r - b.i, a.i + b.r}; }
inline Cx CxSubI(Cx a, Cx b) { return {a.r + b.i, a.i - b.r}; }
// (p + i q)(g + i h), each product rounded, then the sum or difference.
inline Cx CxMul2(Cx a, double g, double h) { return {a.r * g - a.i * h, a.i * g + a.r * h}; }

// The constants of the 32-point inverse kernel, by bit pattern.
struct Inv32Constants {
  double c4 = DoubleFromBits(0x3FE6A09E667F3BCDull);
  double c2 = DoubleFromBits(0x3FED906BCF328D46ull);
  double s2 = DoubleFromBits(0x3FD87DE2A6AEA963ull);
  double c1 = DoubleFromBits(0x3FEF6297CFF75CB0ull);
  double s1 = DoubleFromBits(0x3FC8F8B83C69A60Aull);
  double c3 = DoubleFromBits(0x3FEA9B66290EA1A3ull);
  double s3 = DoubleFromBits(0x3FE1C73B39AE68C8ull);
  double c5 = DoubleFromBits(0x3FE1C73B39AE68C9ull);
  double c7 = DoubleFromBits(0x3FC8F8B83C69A60Dull);
};

// Inverse DFT of four points into out[0], out[stride], ...
inline void Inv4(const Cx* q, Cx* out, int stride) {
  const Cx s02 = CxAdd(q[0], q[2]), d02 = CxSub(q[0], q[2]);
  const Cx s13 = CxAdd(q[1], q[3]), d13 = CxSub(q[1], q[3]);
  out[0] = CxAdd(s02, s13);
  out[2 * stride] = CxSub(s02, s13);
  out[stride] = CxAddI(d02, d13);
  out[3 * stride] = CxSubI(d02, d13);
}

// Inverse DFT of eight points into out[0], out[stride], ...
inline void Inv8(const Cx* t, Cx* out, int stride, const Inv32Constants& k) {
  Cx p[4], e[4];
  for (int j = 0; j < 4; ++j) p[j] = CxAdd(t[j], t[j + 4]), e[j] = CxSub(t[j], t[j + 4]);
  Inv4(p, out, 2 * stride);
  const Cx f0 = CxAddI(e[0], e[2]);
  const Cx f1 = CxMul2(CxAddI(e[1], e[3]), k.c4, k.c4);
  out[stride] = CxAdd(f0, f1);
  out[5 * stride] = CxSub(f0, f1);
  const Cx r0 = CxSubI(e[0], e[2]);
  const Cx r1 = CxMul2(CxSubI(e[1], e[3]), -k.c4, k.c4);
  out[3 * stride] = CxAdd(r0, r1);
  out[7 * stride] = CxSub(r0, r1);
}

// Unnormalised inverse DFT of 32 interleaved complex doubles (natural
// order in and out) by split-radix decimation in frequency; with `scaled`
// the first stage's values are multiplied by the factor. Reads all input
// before the first write.
inline void ComplexInverse32(const double* src, double* dst, bool scaled, double f) {
  const Inv32Constants k;
  Cx u[16], a[16];
  for (int j = 0; j < 16; ++j) {
    const Cx x0 = {src[2 * j], src[2 * j + 1]}, x1 = {src[2 * j + 32], src[2 * j + 33]};
    u[j] = CxAdd(x0, x1), a[j] = CxSub(x0, x1);
    if (scaled) {
      u[j].r *= f, u[j].i *= f;
      a[j].r *= f, a[j].i *= f;
    }
  }
  // (c4, c4) and (-c4, c4) in their one-product forms; i exactly.
  auto oneC4 = [&k](Cx v) { return Cx{(v.r - v.i) * k.c4, (v.i + v.r) * k.c4}; };
  auto oneMinusC4 = [&k](Cx v) { return Cx{-((v.r + v.i) * k.c4), (v.r - v.i) * k.c4}; };
  auto timesI = [](Cx v) { return Cx{-v.i, v.r}; };
  Cx v[8], y[8], z[8], zp[8];
  for (int j = 0; j < 8; ++j) {
    v[j] = CxAdd(u[j], u[j + 8]);
    const Cx d = CxSub(u[j], u[j + 8]);
    switch (j) {
      case 0: y[j] = d; break;
      case 1: y[j] = CxMul2(d, k.c2, k.s2); break;
      case 2: y[j] = oneC4(d); break;
      case 3: y[j] = CxMul2(d, k.s2, k.c2); break;
      case 4: y[j] = timesI(d); break;
      case 5: y[j] = CxMul2(d, -k.s2, k.c2); break;
      case 6: y[j] = oneMinusC4(d); break;
      default: y[j] = CxMul2(d, -k.c2, k.s2); break;
    }
    const Cx pz = CxAddI(a[j], a[j + 8]), pzp = CxSubI(a[j], a[j + 8]);
    switch (j) {
      case 0: z[j] = pz, zp[j] = pzp; break;
      case 1: z[j] = CxMul2(pz, k.c1, k.s1), zp[j] = CxMul2(pzp, k.c3, k.s3); break;
      case 2: z[j] = CxMul2(pz, k.c2, k.s2), zp[j] = CxMul2(pzp, k.s2, k.c2); break;
      case 3: z[j] = CxMul2(pz, k.c3, k.s3), zp[j] = CxMul2(pzp, -k.s1, k.c1); break;
      case 4: z[j] = oneC4(pz), zp[j] = oneMinusC4(pzp); break;
      case 5: z[j] = CxMul2(pz, k.c5, k.c3), zp[j] = CxMul2(pzp, -k.c1, k.c7); break;
      case 6: z[j] = CxMul2(pz, k.s2, k.c2), zp[j] = CxMul2(pzp, -k.c2, -k.s2); break;
      default: z[j] = CxMul2(pz, k.c7, k.c1), zp[j] = CxMul2(pzp, -k.s3, -k.c3); break;
    }
  }
  Cx out[32];
  Inv8(v, out, 4, k);
  Inv8(y, out + 2, 4, k);
  Inv8(z, out + 1, 4, k);
  Inv8(zp, out + 3, 4, k);
  for (int j = 0; j < 32; ++j) dst[2 * j] = out[j].r, dst[2 * j + 1] = out[j].i;
}

// The inverse pre-pass: folds the packed spectrum of N = 4 * half values
// ... into points 1 .. 2*half - 1 of Z' (twice the half-size spectrum of
// the interleaved signal); point 0 is the driver's. Table(k) gives cos and
// -sin of 2 pi k / N. Every step reads its inputs before writing, and the
// middle point (written first) is no input of the loop: src may be dst.
template <class Table>
inline void InversePrePass(const double* src, double* dst, int64_t m, Table table) {
  dst[m] = 2.0 * src[m];
  dst[m + 1] = -2.0 * src[m + 1];
  for (int64_t k = 1; k < m / 2; ++k) {
    const int64_t j = m - k;
    double cs, ns;
    table(k, cs, ns);
    const double sn = -ns;
    const double rk = src[2 * k], ik = src[2 * k + 1], rj = src[2 * j], ij = src[2 * j + 1];
    const double sr = rk + rj, dr = rk - rj, si = ik + ij, di = ik - ij;
    dst[2 * k] = sr - sn * dr - cs * si;
    dst[2 * k + 1] = di - sn * si + cs * dr;
    dst[2 * j] = sr + sn * dr + cs * si;
    dst[2 * j + 1] = -di - sn * si + cs * dr;
  }
}

}  // namespace
}  // namespace wuperf

// The fixed kernels of variant V.
#define WU_DEFINE_FFT_REAL_FIXED(V)                                                             \
  void WuPerfFFT64f_RealOrder0_##V(const double* s, double* d) { RealForwardFixed<1>(s, d, false, 1.0); } \
  void WuPerfFFT64f_RealOrder1_##V(const double* s, double* d) { RealForwardFixed<2>(s, d, false, 1.0); } \
  void WuPerfFFTFwd64f_RealOrder2_##V(const double* s, double* d) { RealForwardFixed<4>(s, d, false, 1.0); } \
  void WuPerfFFTFwd64f_RealOrder3_##V(const double* s, double* d) { RealForwardFixed<8>(s, d, false, 1.0); } \
  void WuPerfFFTFwd64f_RealOrder4_##V(const double* s, double* d) { RealForwardFixed<16>(s, d, false, 1.0); } \
  void WuPerfFFTFwd64f_RealOrder5_##V(const double* s, double* d) { RealForwardFixed<32>(s, d, false, 1.0); } \
  void WuPerfFFT64f_RealOrder0Scaled_##V(const double* s, double* d, double f) { RealForwardFixed<1>(s, d, true, f); } \
  void WuPerfFFT64f_RealOrder1Scaled_##V(const double* s, double* d, double f) { RealForwardFixed<2>(s, d, true, f); } \
  void WuPerfFFTFwd64f_RealOrder2Scaled_##V(const double* s, double* d, double f) { RealForwardFixed<4>(s, d, true, f); } \
  void WuPerfFFTFwd64f_RealOrder3Scaled_##V(const double* s, double* d, double f) { RealForwardFixed<8>(s, d, true, f); } \
  void WuPerfFFTFwd64f_RealOrder4Scaled_##V(const double* s, double* d, double f) { RealForwardFixed<16>(s, d, true, f); } \
  void WuPerfFFTFwd64f_RealOrder5Scaled_##V(const double* s, double* d, double f) { RealForwardFixed<32>(s, d, true, f); } \
  void WuPerfFFTInv64f_RealOrder2_##V(const double* s, double* d) { RealInverseFixed<4>(s, d, false, 1.0); } \
  void WuPerfFFTInv64f_RealOrder3_##V(const double* s, double* d) { RealInverseFixed<8>(s, d, false, 1.0); } \
  void WuPerfFFTInv64f_RealOrder4_##V(const double* s, double* d) { RealInverseFixed<16>(s, d, false, 1.0); } \
  void WuPerfFFTInv64f_RealOrder5_##V(const double* s, double* d) { RealInverseFixed<32>(s, d, false, 1.0); } \
  void WuPerfFFTInv64f_RealOrder2Scaled_##V(const double* s, double* d, double f) { RealInverseFixed<4>(s, d, true, f); } \
  void WuPerfFFTInv64f_RealOrder3Scaled_##V(const double* s, double* d, double f) { RealInverseFixed<8>(s, d, true, f); } \
  void WuPerfFFTInv64f_RealOrder4Scaled_##V(const double* s, double* d, double f) { RealInverseFixed<16>(s, d, true, f); } \
  void WuPerfFFTInv64f_RealOrder5Scaled_##V(const double* s, double* d, double f) { RealInverseFixed<32>(s, d, true, f); }
