// The fixed kernels of the real double-precision FFT: real forward
// transforms of 1 to 32 values into the packed spectrum and their inverses,
// scaled and unscaled, the forward and inverse complex DFTs of 1 to 32
// points, the split twiddle pass and the inverse pre-pass shared by the
// variants.
// Straight-line code over local values with the constants below; every
// kernel reads its whole input before its first write, so source and
// destination may coincide. Every variant compiles the same operations in
// the same order, so their results are equal bit for bit.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

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

// ---- Constants ----------------------------------------------------------------
// The doubles the kernels use. Some are not the doubles nearest their exact
// values (kC5, kC7, and kS1 is 0.71 units below sin(pi/16)); results depend
// on these exact bits. Negative uses are the negated patterns.
constexpr double kC4 = 0x1.6a09e667f3bcdp-1;    // cos(pi/4)
constexpr double kSqrt2 = 0x1.6a09e667f3bcdp+0; // sqrt(2) = 2 kC4 exactly
constexpr double kC2 = 0x1.d906bcf328d46p-1;    // cos(pi/8)
constexpr double kS2 = 0x1.87de2a6aea963p-2;    // sin(pi/8)
constexpr double kC1 = 0x1.f6297cff75cb0p-1;    // cos(pi/16)
constexpr double kS1 = 0x1.8f8b83c69a60ap-3;    // sin(pi/16)
constexpr double kC3 = 0x1.a9b66290ea1a3p-1;    // cos(3pi/16)
constexpr double kS3 = 0x1.1c73b39ae68c8p-1;    // sin(3pi/16)
constexpr double kC5 = 0x1.1c73b39ae68c9p-1;    // cos(5pi/16): one unit above kS3
constexpr double kC7 = 0x1.8f8b83c69a60dp-3;    // cos(7pi/16): three units above kS1
static_assert(std::bit_cast<uint64_t>(kC4) == 0x3FE6A09E667F3BCDull);
static_assert(std::bit_cast<uint64_t>(kSqrt2) == 0x3FF6A09E667F3BCDull);
static_assert(std::bit_cast<uint64_t>(kC2) == 0x3FED906BCF328D46ull);
static_assert(std::bit_cast<uint64_t>(kS2) == 0x3FD87DE2A6AEA963ull);
static_assert(std::bit_cast<uint64_t>(kC1) == 0x3FEF6297CFF75CB0ull);
static_assert(std::bit_cast<uint64_t>(kS1) == 0x3FC8F8B83C69A60Aull);
static_assert(std::bit_cast<uint64_t>(kC3) == 0x3FEA9B66290EA1A3ull);
static_assert(std::bit_cast<uint64_t>(kS3) == 0x3FE1C73B39AE68C8ull);
static_assert(std::bit_cast<uint64_t>(kC5) == 0x3FE1C73B39AE68C9ull);
static_assert(std::bit_cast<uint64_t>(kC7) == 0x3FC8F8B83C69A60Dull);

// ---- Complex steps, in either direction -----------------------------------------
// Each step is written for the inverse direction (factors e^(+i...)); the
// forward direction (kInverse false) is its mirror: every factor conjugated
// and every rotation by +i turned into -i. Conjugation only flips signs, so
// forward(x) is conj(inverse(conj(x))) bit for bit.

// A complex value: real part, imaginary part.
struct Cx {
  double r, i;
};

inline Cx CxAdd(Cx a, Cx b) { return {a.r + b.r, a.i + b.i}; }
inline Cx CxSub(Cx a, Cx b) { return {a.r - b.r, a.i - b.i}; }
// a + i b (forward: a - i b).
template <bool kInverse>
inline Cx CxPlusRot(Cx a, Cx b) {
  if constexpr (kInverse) return {a.r - b.i, a.i + b.r};
  else return {a.r + b.i, a.i - b.r};
}
// a - i b (forward: a + i b).
template <bool kInverse>
inline Cx CxMinusRot(Cx a, Cx b) {
  return CxPlusRot<!kInverse>(a, b);
}

// How a factor is applied.
enum FactorForm : uint8_t {
  kFactorOne,      // 1: no operation
  kFactorTwo,      // (g, h): two products, each rounded, then the sum or difference
  kFactorC4,       // (c4, c4): one product per part, after the sum or difference
  kFactorMinusC4,  // (-c4, c4): the same
  kFactorI,        // i: an exchange of the parts with one sign flip
};

// A factor as stated for the inverse direction.
struct Factor {
  FactorForm form;
  double g, h;  // kFactorTwo: real and imaginary part
};

// p times the factor F (forward: times its conjugate); the form is chosen
// at compile time, so every kernel is straight-line code.
template <bool kInverse, Factor F>
inline Cx Times(Cx p) {
  if constexpr (F.form == kFactorOne) {
    return p;
  } else if constexpr (F.form == kFactorTwo) {
    constexpr double h = kInverse ? F.h : -F.h;
    return {p.r * F.g - p.i * h, p.i * F.g + p.r * h};
  } else if constexpr (F.form == kFactorC4) {
    if constexpr (kInverse) return {(p.r - p.i) * kC4, (p.i + p.r) * kC4};
    else return {(p.r + p.i) * kC4, (p.i - p.r) * kC4};
  } else if constexpr (F.form == kFactorMinusC4) {
    if constexpr (kInverse) return {-((p.r + p.i) * kC4), (p.r - p.i) * kC4};
    else return {-((p.r - p.i) * kC4), -((p.r + p.i) * kC4)};
  } else {
    if constexpr (kInverse) return {-p.i, p.r};
    else return {p.i, -p.r};
  }
}

// A compile-time index that converts to int. Our own type rather than
// std::integral_constant: its conversion has internal linkage here, so an
// unoptimised build emits no weak copy that variants could share.
template <int J>
struct UnrollIndex {
  static constexpr int value = J;
  constexpr operator int() const { return J; }
};

// body(UnrollIndex<J>) for J = 0 .. kCount - 1, written out.
template <int kCount, class Body>
inline void Unroll(Body&& body) {
  [&]<int... J>(std::integer_sequence<int, J...>) {
    (body(UnrollIndex<J>{}), ...);
  }(std::make_integer_sequence<int, kCount>{});
}

constexpr Factor kOne = {kFactorOne, 0, 0};
constexpr Factor kTimesC4 = {kFactorC4, 0, 0};
constexpr Factor kTimesMinusC4 = {kFactorMinusC4, 0, 0};
constexpr Factor kTimesI = {kFactorI, 0, 0};
constexpr Factor Two(double g, double h) { return {kFactorTwo, g, h}; }

// DFT of four points q (inverse: e^(+2 pi i pr/4)) into out[0], out[stride], ...
template <bool kInverse>
inline void Dft4(const Cx* q, Cx* out, int stride) {
  const Cx s02 = CxAdd(q[0], q[2]), d02 = CxSub(q[0], q[2]);
  const Cx s13 = CxAdd(q[1], q[3]), d13 = CxSub(q[1], q[3]);
  out[0] = CxAdd(s02, s13);
  out[2 * stride] = CxSub(s02, s13);
  out[stride] = CxPlusRot<kInverse>(d02, d13);
  out[3 * stride] = CxMinusRot<kInverse>(d02, d13);
}

// DFT of eight points t into out[0], out[stride], ...: the even outputs from
// the sums t_j + t_(j+4), the odd ones from the differences, with (c4, c4)
// and (-c4, c4) in their two-product form.
template <bool kInverse>
inline void Dft8(const Cx* t, Cx* out, int stride) {
  Cx p[4], e[4];
  Unroll<4>([&](auto j) { p[j] = CxAdd(t[j], t[j + 4]), e[j] = CxSub(t[j], t[j + 4]); });
  Dft4<kInverse>(p, out, 2 * stride);
  const Cx f0 = CxPlusRot<kInverse>(e[0], e[2]);
  const Cx f1 = Times<kInverse, Two(kC4, kC4)>(CxPlusRot<kInverse>(e[1], e[3]));
  out[stride] = CxAdd(f0, f1);
  out[5 * stride] = CxSub(f0, f1);
  const Cx r0 = CxMinusRot<kInverse>(e[0], e[2]);
  const Cx r1 = Times<kInverse, Two(-kC4, kC4)>(CxMinusRot<kInverse>(e[1], e[3]));
  out[3 * stride] = CxAdd(r0, r1);
  out[7 * stride] = CxSub(r0, r1);
}

// Factors of the 32-point split radix (inverse direction, w = e^(2 pi i/32)):
// w^j of z_j, w^(3j) of z'_j and w^(2j) of y_j. kC5 and kC7 serve where the
// sine of pi/16 or 3 pi/16 stands as a cosine.
constexpr Factor kSplit32Z[8] = {kOne,          Two(kC1, kS1), Two(kC2, kS2), Two(kC3, kS3),
                                 kTimesC4,      Two(kC5, kC3), Two(kS2, kC2), Two(kC7, kC1)};
constexpr Factor kSplit32Zp[8] = {kOne,          Two(kC3, kS3),   Two(kS2, kC2),
                                  Two(-kS1, kC1), kTimesMinusC4,  Two(-kC1, kC7),
                                  Two(-kC2, -kS2), Two(-kS3, -kC3)};
constexpr Factor kSplit32Y[8] = {kOne,          Two(kC2, kS2),  kTimesC4, Two(kS2, kC2),
                                 kTimesI,       Two(-kS2, kC2), kTimesMinusC4, Two(-kC2, kS2)};

// DFT of 32 interleaved complex doubles, natural order in and out
// (kInverse: unnormalised inverse), by split-radix decimation in frequency:
// first-stage sums u and differences a of points j and j + 16 (with `scaled`
// multiplied by the factor there, once); even outputs from the sums, odd
// outputs from a_j -/+ i a_(j+8), each with one complex product, then four
// 8-point DFTs. Reads all input before the first write.
template <bool kInverse, bool kScaled>
inline void ComplexDft32(const double* src, double* dst, double f) {
  Cx u[16], a[16];
  Unroll<16>([&](auto j) {
    const Cx x0 = {src[2 * j], src[2 * j + 1]}, x1 = {src[2 * j + 32], src[2 * j + 33]};
    u[j] = CxAdd(x0, x1), a[j] = CxSub(x0, x1);
    if constexpr (kScaled) {
      u[j].r *= f, u[j].i *= f;
      a[j].r *= f, a[j].i *= f;
    }
  });
  Cx v[8], y[8], z[8], zp[8];
  Unroll<8>([&](auto j) {
    v[j] = CxAdd(u[j], u[j + 8]);
    y[j] = Times<kInverse, kSplit32Y[j]>(CxSub(u[j], u[j + 8]));
    z[j] = Times<kInverse, kSplit32Z[j]>(CxPlusRot<kInverse>(a[j], a[j + 8]));
    zp[j] = Times<kInverse, kSplit32Zp[j]>(CxMinusRot<kInverse>(a[j], a[j + 8]));
  });
  Cx out[32];
  Dft8<kInverse>(v, out, 4);
  Dft8<kInverse>(y, out + 2, 4);
  Dft8<kInverse>(z, out + 1, 4);
  Dft8<kInverse>(zp, out + 3, 4);
  Unroll<32>([&](auto j) { dst[2 * j] = out[j].r, dst[2 * j + 1] = out[j].i; });
}

// ---- Forward real kernels -------------------------------------------------------
// Packed spectrum of n = 1 .. 32 real values. A radix-2 first stage forms
// a_j = x_j + x_(j+n/2) and b_j = x_j - x_(j+n/2) (the scaled kernels
// multiply these n values by the factor, and only these); the even bins are
// the network one order down applied to the sums, the odd bins come from
// the rotated differences b_j - i b_(j+n/4) (bins 1 mod 4) and
// b_j + i b_(j+n/4) (bins 3 mod 4), each times its factor, then a DFT of
// n/4 points of which the first half is used. Orders 2 and 3 are written
// out (order 3's odd bins are that scheme with one product by (c4, -c4)
// each). Where a sine of pi/16 or 3 pi/16 is a positive factor part the
// kernels use kC7 or kC5, where it is negative -kS1 or -kS3.

template <bool kScaled>
inline double Scaled(double v, double f) {
  if constexpr (kScaled) return v * f;
  else return v;
}

template <bool kScaled>
inline void RealForward1(const double* x, double* y, double f) {
  y[0] = Scaled<kScaled>(x[0], f);
}

// Also the inverse of order 1: the sum and the difference.
template <bool kScaled>
inline void RealForward2(const double* x, double* y, double f) {
  const double s = Scaled<kScaled>(x[0] + x[1], f), d = Scaled<kScaled>(x[0] - x[1], f);
  y[0] = s, y[1] = d;
}

template <bool kScaled>
inline void RealForward4(const double* x, double* y, double f) {
  const double s0 = Scaled<kScaled>(x[0] + x[2], f), s1 = Scaled<kScaled>(x[1] + x[3], f);
  const double d0 = Scaled<kScaled>(x[0] - x[2], f), d1 = Scaled<kScaled>(x[3] - x[1], f);
  y[0] = s0 + s1;
  y[1] = s0 - s1;
  y[2] = d0;
  y[3] = d1;
}

template <bool kScaled>
inline void RealForward8(const double* x, double* y, double f) {
  const double p = Scaled<kScaled>(x[0] + x[4], f), q = Scaled<kScaled>(x[2] + x[6], f);
  const double r = Scaled<kScaled>(x[1] + x[5], f), t = Scaled<kScaled>(x[3] + x[7], f);
  const double a = Scaled<kScaled>(x[0] - x[4], f), b = Scaled<kScaled>(x[2] - x[6], f);
  const double u = Scaled<kScaled>(x[1] - x[5], f), v = Scaled<kScaled>(x[3] - x[7], f);
  const double pq = p + q, rt = r + t;
  const double uv = (u - v) * kC4, uvs = (u + v) * kC4;
  y[0] = pq + rt;
  y[1] = pq - rt;
  y[2] = a + uv;
  y[3] = -uvs - b;
  y[4] = p - q;
  y[5] = t - r;
  y[6] = a - uv;
  y[7] = b - uvs;
}

// Factors of the rotated differences, inverse-stated (the forward kernels
// apply their conjugates): 16 values: w^j and w^(3j), w = e^(2 pi i/16).
constexpr Factor kOdd16Z[4] = {kOne, Two(kC2, kS2), kTimesC4, Two(kS2, kC2)};
constexpr Factor kOdd16Zp[4] = {kOne, Two(kS2, kC2), kTimesMinusC4, Two(-kC2, -kS2)};
// 32 values: the 32-point split radix's factors, except that every
// negative sine of pi/16 in the forward direction is -kS1 (the 32-point
// complex kernel has -kC7 in z'_5).
constexpr Factor kOdd32Zp[8] = {kOne,          Two(kC3, kS3),   Two(kS2, kC2),
                                Two(-kS1, kC1), kTimesMinusC4,  Two(-kC1, kS1),
                                Two(-kC2, -kS2), Two(-kS3, -kC3)};

// The odd bins of a real transform of kN = 16 or 32 values from its
// (scaled) first-stage differences b: bin 4k + 1 at y[8k + 2], bin 4k + 3
// at y[8k + 6], k < kN/8.
template <int kN>
inline void RealForwardOddBins(const double* b, double* y) {
  constexpr int q = kN / 4;
  constexpr const Factor* zf = kN == 16 ? kOdd16Z : kSplit32Z;
  constexpr const Factor* zpf = kN == 16 ? kOdd16Zp : kOdd32Zp;
  Cx z[q], zp[q], oz[q], ozp[q];
  Unroll<q>([&](auto j) {
    z[j] = Times<false, zf[j]>(Cx{b[j], -b[j + q]});
    zp[j] = Times<false, zpf[j]>(Cx{b[j], b[j + q]});
  });
  if constexpr (q == 4) {
    Dft4<false>(z, oz, 1);
    Dft4<false>(zp, ozp, 1);
  } else {
    Dft8<false>(z, oz, 1);
    Dft8<false>(zp, ozp, 1);
  }
  Unroll<q / 2>([&](auto k) {
    y[8 * k + 2] = oz[k].r, y[8 * k + 3] = oz[k].i;
    y[8 * k + 6] = ozp[k].r, y[8 * k + 7] = ozp[k].i;
  });
}

// kN = 16 or 32: the first stage, the network of kN/2 on the sums for the
// even bins, the rotated differences for the odd ones.
template <int kN, bool kScaled>
inline void RealForwardSplit(const double* x, double* y, double f) {
  constexpr int h = kN / 2;
  double a[h], b[h], e[h];
  Unroll<h>([&](auto j) {
    a[j] = Scaled<kScaled>(x[j] + x[j + h], f);
    b[j] = Scaled<kScaled>(x[j] - x[j + h], f);
  });
  if constexpr (kN == 16) {
    RealForward8<false>(a, e, 1.0);
    RealForwardOddBins<16>(b, y);
  } else {
    RealForwardSplit<16, false>(a, e, 1.0);
    RealForwardOddBins<32>(b, y);
  }
  // Bin 0 and bin kN/2, then bin 2k at y[4k], y[4k + 1].
  y[0] = e[0], y[1] = e[1];
  Unroll<h / 2 - 1>([&](auto i) {
    constexpr int k = i + 1;
    y[4 * k] = e[2 * k], y[4 * k + 1] = e[2 * k + 1];
  });
}

// ---- Small complex DFTs ---------------------------------------------------------
// DFT of kM = 1 .. 16 interleaved complex doubles, natural order in and out
// (kInverse: unnormalised inverse, e^(+2 pi i jk/kM)). One point is copied,
// two give their sum and difference (the same in both directions), four
// and eight run the networks above; sixteen use the 32-point kernel's split
// radix one level down: first-stage sums u_j = x_j + x_(j+8) give the even
// outputs by an 8-point DFT; the differences a_j = x_j - x_(j+8) form
// a_j -/+ i a_(j+4) (inverse: +/-), times w^j or w^(3j) (the factors of the
// real order-4 kernel's odd bins), and 4-point DFTs give the outputs 1 and
// 3 mod 4. Products by -i (inverse: +i) are exchanges with one sign flip.
// The scaled forms multiply every output part by the factor. Reads all
// input before the first write.
template <int kM, bool kInverse, bool kScaled>
inline void ComplexDftSmall(const double* src, double* dst, double f) {
  Cx x[kM], out[kM];
  Unroll<kM>([&](auto j) { x[j] = {src[2 * j], src[2 * j + 1]}; });
  if constexpr (kM == 1) {
    out[0] = x[0];
  } else if constexpr (kM == 2) {
    out[0] = CxAdd(x[0], x[1]), out[1] = CxSub(x[0], x[1]);
  } else if constexpr (kM == 4) {
    Dft4<kInverse>(x, out, 1);
  } else if constexpr (kM == 8) {
    Dft8<kInverse>(x, out, 1);
  } else {
    static_assert(kM == 16, "32 points: ComplexDft32");
    Cx u[8], a[8], z[4], zp[4];
    Unroll<8>([&](auto j) { u[j] = CxAdd(x[j], x[j + 8]), a[j] = CxSub(x[j], x[j + 8]); });
    Unroll<4>([&](auto j) {
      z[j] = Times<kInverse, kOdd16Z[j]>(CxPlusRot<kInverse>(a[j], a[j + 4]));
      zp[j] = Times<kInverse, kOdd16Zp[j]>(CxMinusRot<kInverse>(a[j], a[j + 4]));
    });
    Dft8<kInverse>(u, out, 2);
    Dft4<kInverse>(z, out + 1, 4);
    Dft4<kInverse>(zp, out + 3, 4);
  }
  Unroll<kM>([&](auto j) {
    dst[2 * j] = Scaled<kScaled>(out[j].r, f);
    dst[2 * j + 1] = Scaled<kScaled>(out[j].i, f);
  });
}

// ---- Inverse real kernels -------------------------------------------------------
// Unnormalised inverse of a packed spectrum of n = 4 .. 32 values:
// x[t] = R0 + (-1)^t R(n/2) + 2 sum_k (Rk cos(2 pi kt/n) - Ik sin(2 pi kt/n)).
// Outputs t and t + n/2 are Ev(t) + 2 Od(t) and Ev(t) - 2 Od(t) (Ev from
// R0, R(n/2) and the even bins, Od from the odd bins); every bin enters
// through a sum or difference with its mirror n/2 - k. The scaled kernels
// multiply the first-level values (R0 +/- R(n/2), the doubled middle bin and
// the mirrored sums and differences) by the factor before anything else.

template <bool kScaled>
inline void RealInverse4(const double* p, double* x, double s) {
  const double sum = Scaled<kScaled>(p[0] + p[1], s), dif = Scaled<kScaled>(p[0] - p[1], s);
  const double r1 = Scaled<kScaled>(2.0 * p[2], s), i1 = Scaled<kScaled>(2.0 * p[3], s);
  x[0] = sum + r1;
  x[2] = sum - r1;
  x[1] = dif - i1;
  x[3] = dif + i1;
}

template <bool kScaled>
inline void RealInverse8(const double* p, double* x, double s) {
  const double r0 = p[0], r4 = p[1], r1 = p[2], i1 = p[3], r2 = p[4], i2 = p[5], r3 = p[6],
               i3 = p[7];
  const double h = Scaled<kScaled>(r0 + r4, s), g = Scaled<kScaled>(r0 - r4, s);
  const double pp = Scaled<kScaled>(2.0 * r2, s), q = Scaled<kScaled>(2.0 * i2, s);
  const double sr = Scaled<kScaled>(r1 + r3, s), di = Scaled<kScaled>(i1 - i3, s);
  const double dr = Scaled<kScaled>(r1 - r3, s), si = Scaled<kScaled>(i1 + i3, s);
  const double u = kSqrt2 * (dr - si);
  const double v = -kSqrt2 * (dr + si);
  x[0] = h + pp + 2.0 * sr;
  x[4] = h + pp - 2.0 * sr;
  x[2] = h - pp - 2.0 * di;
  x[6] = h - pp + 2.0 * di;
  x[1] = g - q + u;
  x[5] = g - q - u;
  x[3] = g + q + v;
  x[7] = g + q - v;
}

template <bool kScaled>
inline void RealInverse16(const double* p, double* x, double s) {
  auto re = [p](int k) { return p[2 * k]; };
  auto im = [p](int k) { return p[2 * k + 1]; };
  const double a = Scaled<kScaled>(p[0] + p[1], s), b = Scaled<kScaled>(p[0] - p[1], s);
  const double pp = Scaled<kScaled>(2.0 * re(4), s), q = Scaled<kScaled>(2.0 * im(4), s);
  const double sr1 = Scaled<kScaled>(re(1) + re(7), s), dr1 = Scaled<kScaled>(re(1) - re(7), s);
  const double sr3 = Scaled<kScaled>(re(3) + re(5), s), dr3 = Scaled<kScaled>(re(5) - re(3), s);
  const double sr2 = Scaled<kScaled>(re(2) + re(6), s), dr2 = Scaled<kScaled>(re(2) - re(6), s);
  const double si1 = Scaled<kScaled>(im(1) + im(7), s), di1 = Scaled<kScaled>(im(1) - im(7), s);
  const double si3 = Scaled<kScaled>(im(3) + im(5), s), di3 = Scaled<kScaled>(im(5) - im(3), s);
  const double si2 = Scaled<kScaled>(im(2) + im(6), s), di2 = Scaled<kScaled>(im(2) - im(6), s);
  const double e0 = a + pp + 2.0 * sr2, o0 = 2.0 * (sr1 + sr3);
  x[0] = e0 + o0;
  x[8] = e0 - o0;
  const double e4 = a + pp - 2.0 * sr2, o4 = 2.0 * (di1 + di3);
  x[4] = e4 - o4;
  x[12] = e4 + o4;
  const double f = b - q, g = kSqrt2 * (dr2 - si2);
  const double j = kC2 * (dr1 - si3) - kS2 * (si1 + dr3);
  const double k = kC2 * (si1 + dr3) + kS2 * (dr1 - si3);
  x[1] = f + g + 2.0 * j;
  x[9] = f + g - 2.0 * j;
  x[5] = f - g - 2.0 * k;
  x[13] = f - g + 2.0 * k;
  const double l = a - pp - 2.0 * di2, mu = kC4 * ((sr1 - sr3) - (di1 - di3));
  x[2] = l + 2.0 * mu;
  x[10] = l - 2.0 * mu;
  const double l2 = a - pp + 2.0 * di2, nu = kC4 * ((sr1 - sr3) + (di1 - di3));
  x[6] = l2 - 2.0 * nu;
  x[14] = l2 + 2.0 * nu;
  const double h = b + q, u = -kSqrt2 * (dr2 + si2);
  const double r = kS2 * (dr1 + si3) - kC2 * (si1 - dr3);
  const double v = kS2 * (si1 - dr3) + kC2 * (dr1 + si3);
  x[3] = h + u + 2.0 * r;
  x[11] = h + u - 2.0 * r;
  x[7] = h - u - 2.0 * v;
  x[15] = h - u + 2.0 * v;
}

// Factors of the order-5 odd part (w = e^(2 pi i/32)): before the 4-point
// DFT over the bins 1, 5, 9, 13 (with their mirrors 15, 11, 7, 3), w^(4m);
// after it, w^t for the even outputs t = 0, 2, 4, 6 and for the odd ones
// t = 1, 3, 5, 7 (output t + 8 is the same product times i).
constexpr Factor kInv32Pre[4] = {kOne, kTimesC4, kTimesI, kTimesMinusC4};
constexpr Factor kInv32PostEven[4] = {kOne, Two(kC2, kS2), kTimesC4, Two(kS2, kC2)};
constexpr Factor kInv32PostOdd[4] = {Two(kC1, kS1), Two(kC3, kS3), Two(kS3, kC3), Two(kS1, kC1)};

// Order 5: Ev is the order-4 kernel on R0, R16 and the even bins; Od(t) is
// the real part of sum_m C_m w^((1 + 4m) t) over bins k = 1 + 4m, with C_m =
// (Rk + Rk', Ik - Ik') for even t and (Rk - Rk', Ik + Ik') for odd t (k' =
// 16 - k), taken as a 4-point inverse DFT over m and one product by w^t.
template <bool kScaled>
inline void RealInverse32(const double* p, double* x, double s) {
  double even[16], ev[16];
  even[0] = p[0], even[1] = p[1];
  Unroll<7>([&](auto i) {
    constexpr int k = i + 1;
    even[2 * k] = p[4 * k], even[2 * k + 1] = p[4 * k + 1];
  });
  Cx ce[4], co[4];
  Unroll<4>([&](auto m) {
    constexpr int k = 1 + 4 * m, km = 16 - k;
    const double sr = Scaled<kScaled>(p[2 * k] + p[2 * km], s);
    const double dr = Scaled<kScaled>(p[2 * k] - p[2 * km], s);
    const double si = Scaled<kScaled>(p[2 * k + 1] + p[2 * km + 1], s);
    const double di = Scaled<kScaled>(p[2 * k + 1] - p[2 * km + 1], s);
    ce[m] = {sr, di};
    co[m] = Times<true, kInv32Pre[m]>(Cx{dr, si});
  });
  RealInverse16<kScaled>(even, ev, s);
  Cx pe[4], po[4];
  Dft4<true>(ce, pe, 1);
  Dft4<true>(co, po, 1);
  double t2[16];
  Unroll<4>([&](auto t) {
    const Cx qe = Times<true, kInv32PostEven[t]>(pe[t]);
    t2[2 * t] = 2.0 * qe.r, t2[2 * t + 8] = 2.0 * qe.i;
    const Cx qo = Times<true, kInv32PostOdd[t]>(po[t]);
    t2[2 * t + 1] = 2.0 * qo.r, t2[2 * t + 9] = 2.0 * qo.i;
  });
  // Outputs t < 8: Ev + T, Ev - T; outputs t >= 8 hold minus the
  // imaginary part: Ev - T, Ev + T.
  Unroll<8>([&](auto t) { x[t] = ev[t] + t2[t], x[t + 16] = ev[t] - t2[t]; });
  Unroll<8>([&](auto i) {
    constexpr int t = i + 8;
    x[t] = ev[t] - t2[t], x[t + 16] = ev[t] + t2[t];
  });
}

// ---- Shared passes --------------------------------------------------------------

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

// The fixed real kernels of variant V, both directions.
#define WU_DEFINE_FFT_REAL_FIXED(V)                                                             \
  void WuPerfFFT64f_RealOrder0_##V(const double* s, double* d) { RealForward1<false>(s, d, 1.0); } \
  void WuPerfFFT64f_RealOrder1_##V(const double* s, double* d) { RealForward2<false>(s, d, 1.0); } \
  void WuPerfFFTFwd64f_RealOrder2_##V(const double* s, double* d) { RealForward4<false>(s, d, 1.0); } \
  void WuPerfFFTFwd64f_RealOrder3_##V(const double* s, double* d) { RealForward8<false>(s, d, 1.0); } \
  void WuPerfFFTFwd64f_RealOrder4_##V(const double* s, double* d) { RealForwardSplit<16, false>(s, d, 1.0); } \
  void WuPerfFFTFwd64f_RealOrder5_##V(const double* s, double* d) { RealForwardSplit<32, false>(s, d, 1.0); } \
  void WuPerfFFT64f_RealOrder0Scaled_##V(const double* s, double* d, double f) { RealForward1<true>(s, d, f); } \
  void WuPerfFFT64f_RealOrder1Scaled_##V(const double* s, double* d, double f) { RealForward2<true>(s, d, f); } \
  void WuPerfFFTFwd64f_RealOrder2Scaled_##V(const double* s, double* d, double f) { RealForward4<true>(s, d, f); } \
  void WuPerfFFTFwd64f_RealOrder3Scaled_##V(const double* s, double* d, double f) { RealForward8<true>(s, d, f); } \
  void WuPerfFFTFwd64f_RealOrder4Scaled_##V(const double* s, double* d, double f) { RealForwardSplit<16, true>(s, d, f); } \
  void WuPerfFFTFwd64f_RealOrder5Scaled_##V(const double* s, double* d, double f) { RealForwardSplit<32, true>(s, d, f); } \
  void WuPerfFFTInv64f_RealOrder2_##V(const double* s, double* d) { RealInverse4<false>(s, d, 1.0); } \
  void WuPerfFFTInv64f_RealOrder3_##V(const double* s, double* d) { RealInverse8<false>(s, d, 1.0); } \
  void WuPerfFFTInv64f_RealOrder4_##V(const double* s, double* d) { RealInverse16<false>(s, d, 1.0); } \
  void WuPerfFFTInv64f_RealOrder5_##V(const double* s, double* d) { RealInverse32<false>(s, d, 1.0); } \
  void WuPerfFFTInv64f_RealOrder2Scaled_##V(const double* s, double* d, double f) { RealInverse4<true>(s, d, f); } \
  void WuPerfFFTInv64f_RealOrder3Scaled_##V(const double* s, double* d, double f) { RealInverse8<true>(s, d, f); } \
  void WuPerfFFTInv64f_RealOrder4Scaled_##V(const double* s, double* d, double f) { RealInverse16<true>(s, d, f); } \
  void WuPerfFFTInv64f_RealOrder5Scaled_##V(const double* s, double* d, double f) { RealInverse32<true>(s, d, f); }


// The complex fixed kernels of variant V of 1 to 16 points: orders 0 and 1
// (one member for both directions), forward and inverse orders 2 to 4,
// each unscaled and scaled.
#define WU_DEFINE_FFT_COMPLEX_FIXED_SMALL(V)                                                   \
  void WuPerfFFT64fc_Order0_##V(const double* s, double* d) { ComplexDftSmall<1, false, false>(s, d, 1.0); } \
  void WuPerfFFT64fc_Order1_##V(const double* s, double* d) { ComplexDftSmall<2, false, false>(s, d, 1.0); } \
  void WuPerfFFTFwd64fc_Order2_##V(const double* s, double* d) { ComplexDftSmall<4, false, false>(s, d, 1.0); } \
  void WuPerfFFTFwd64fc_Order3_##V(const double* s, double* d) { ComplexDftSmall<8, false, false>(s, d, 1.0); } \
  void WuPerfFFTFwd64fc_Order4_##V(const double* s, double* d) { ComplexDftSmall<16, false, false>(s, d, 1.0); } \
  void WuPerfFFTInv64fc_Order2_##V(const double* s, double* d) { ComplexDftSmall<4, true, false>(s, d, 1.0); } \
  void WuPerfFFTInv64fc_Order3_##V(const double* s, double* d) { ComplexDftSmall<8, true, false>(s, d, 1.0); } \
  void WuPerfFFTInv64fc_Order4_##V(const double* s, double* d) { ComplexDftSmall<16, true, false>(s, d, 1.0); } \
  void WuPerfFFT64fc_Order0Scaled_##V(const double* s, double* d, double f) { ComplexDftSmall<1, false, true>(s, d, f); } \
  void WuPerfFFT64fc_Order1Scaled_##V(const double* s, double* d, double f) { ComplexDftSmall<2, false, true>(s, d, f); } \
  void WuPerfFFTFwd64fc_Order2Scaled_##V(const double* s, double* d, double f) { ComplexDftSmall<4, false, true>(s, d, f); } \
  void WuPerfFFTFwd64fc_Order3Scaled_##V(const double* s, double* d, double f) { ComplexDftSmall<8, false, true>(s, d, f); } \
  void WuPerfFFTFwd64fc_Order4Scaled_##V(const double* s, double* d, double f) { ComplexDftSmall<16, false, true>(s, d, f); } \
  void WuPerfFFTInv64fc_Order2Scaled_##V(const double* s, double* d, double f) { ComplexDftSmall<4, true, true>(s, d, f); } \
  void WuPerfFFTInv64fc_Order3Scaled_##V(const double* s, double* d, double f) { ComplexDftSmall<8, true, true>(s, d, f); } \
  void WuPerfFFTInv64fc_Order4Scaled_##V(const double* s, double* d, double f) { ComplexDftSmall<16, true, true>(s, d, f); }

// The 32-point complex fixed kernels of variant V, forward and inverse,
// unscaled and scaled (the scaled ones scale the first-stage values).
#define WU_DEFINE_FFT_COMPLEX_FIXED_32(V)                                                      \
  void WuPerfFFTFwd64fc_Order5_##V(const double* s, double* d) { ComplexDft32<false, false>(s, d, 1.0); } \
  void WuPerfFFTFwd64fc_Order5Scaled_##V(const double* s, double* d, double f) { ComplexDft32<false, true>(s, d, f); } \
  void WuPerfFFTInv64fc_Order5_##V(const double* s, double* d) { ComplexDft32<true, false>(s, d, 1.0); } \
  void WuPerfFFTInv64fc_Order5Scaled_##V(const double* s, double* d, double f) { ComplexDft32<true, true>(s, d, f); }
