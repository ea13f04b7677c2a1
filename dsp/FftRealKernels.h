// The fixed kernels of the real double-precision FFT: real forward
// transforms of 1 to 32 values into the packed spectrum, scaled and
// unscaled, and the forward complex DFT of 32 points. Straight-line code
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
// block] = E[k] - W^k O[k], W = e^(-2 pi i/total). W^k for k below
// total/4 is quarter-period pair k; above, W^k = -i W^(k - total/4). The
// points go in chunks of chunk/2 values of k, each chunk with its partners
// k + total/4.
inline void SplitTwiddlePass(double* data, int32_t total, int32_t block, const double* quarter,
                             int32_t chunk) {
  const int64_t q = total / 4;
  const int64_t step = chunk / 2 > 0 ? chunk / 2 : 1;
  double* e = data;
  double* o = data + 2 * static_cast<int64_t>(block);
  auto butterfly = [&](int64_t k, double c, double s, bool rotate) {
    const double orr = o[2 * k], oi = o[2 * k + 1];
    double vr = orr * c - oi * s, vi = orr * s + oi * c;
    if (rotate) {
      const double t = vr;
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
  void WuPerfFFTFwd64f_RealOrder5Scaled_##V(const double* s, double* d, double f) { RealForwardFixed<32>(s, d, true, f); }
