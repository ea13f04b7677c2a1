// The fixed kernels of the complex float FFT, orders 0 to 5 (1 to 32
// points), as one template over order, direction, scaling and form.
//
// Each kernel reads all its points, computes the whole DFT with constants of
// its own and writes the points in natural order, so src == dst works. The
// structure: radix-4 butterflies over the columns x_j, x_(j+N/4), ...; the
// column twiddles W_N^(jm); then a radix-4 (order 4) or 8-point (order 5)
// transform of each row, or the 2-point combination (order 3).
//
// Two forms: variants 1 to 4 (kGeneric false) multiply each output by the
// scale factor just before storing it and multiply by W_8 and W_8^3 "adding
// first" at order 3 and through the general product at orders 4 and 5;
// variant 0 (kGeneric true) scales the first stage's sums and differences
// and uses the opposite W_8 forms. The 8-point transforms inside order 5
// use the general product in both. The two forms round differently.
// Variants 1 to 4 run orders 2 to 5 in vector registers (below), with the
// same operations and so the same bits as their scalar form.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace wuperf {
namespace {

// log2 of a power of two (a plain loop: the bit-scan builtins may encode
// instructions newer than a variant's set).
inline int Log2(size_t n) {
  int k = 0;
  while ((size_t{1} << k) < n) ++k;
  return k;
}

struct Cx {
  float re;  // real part
  float im;  // imaginary part
};
inline Cx CxAdd(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
inline Cx CxSub(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
inline Cx CxNeg(Cx a) { return {-a.re, -a.im}; }
inline Cx CxScale(Cx a, float f) { return {a.re * f, a.im * f}; }
// (a + bi)(c + ti), each product rounded, then the difference or sum.
inline Cx CxMul(Cx a, float c, float t) { return {a.re * c - a.im * t, a.re * t + a.im * c}; }

// Rotation by W_4 = -i (forward) or +i (inverse).
template <bool kInv>
Cx RotW4(Cx a) {
  if (kInv) return {-a.im, a.re};
  return {a.im, -a.re};
}

// cos(u*pi/16), u = 0..8, as the correctly rounded floats of the kernels.
constexpr uint32_t kCosPi16Bits[9] = {0x3F800000, 0x3F7B14BE, 0x3F6C835E, 0x3F54DB31, 0x3F3504F3,
                                      0x3F0E39DA, 0x3EC3EF15, 0x3E47C5C2, 0x00000000};
inline float FloatBits(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}
// cos(u*pi/16) for any u, by the quadrant symmetries (negation is exact).
inline float CosPi16(int u) {
  u &= 31;
  if (u <= 8) return FloatBits(kCosPi16Bits[u]);
  if (u <= 16) return -FloatBits(kCosPi16Bits[16 - u]);
  if (u <= 24) return -FloatBits(kCosPi16Bits[u - 16]);
  return FloatBits(kCosPi16Bits[32 - u]);
}
inline float SinPi16(int u) { return CosPi16(8 - u); }

// a * W_8^q (q odd) with the sum or difference formed first, then one
// multiplication by sqrt(1/2) per part.
template <bool kInv>
Cx W8AddFirst(Cx a, int q) {
  const float h = FloatBits(kCosPi16Bits[4]);
  Cx r;
  if (!kInv) {
    r = (q & 3) == 1 ? Cx{(a.re + a.im) * h, (a.im - a.re) * h}
                     : Cx{(a.im - a.re) * h, -((a.re + a.im) * h)};
  } else {
    r = (q & 3) == 1 ? Cx{(a.re - a.im) * h, (a.re + a.im) * h}
                     : Cx{-((a.re + a.im) * h), (a.re - a.im) * h};
  }
  return (q & 7) >= 4 ? CxNeg(r) : r;
}

// a * W_n^e, n <= 32: exact for multiples of n/4, W_8 forms by kAddFirst,
// else the general product with the table's constants.
template <bool kInv, bool kAddFirst>
Cx Twiddle(Cx a, int e, int n) {
  e &= n - 1;
  if (e == 0) return a;
  if ((4 * e) % n == 0) {
    int q = 4 * e / n;
    if (q == 2) return CxNeg(a);
    return q == 1 ? RotW4<kInv>(a) : CxNeg(RotW4<kInv>(a));
  }
  if ((8 * e) % n == 0 && kAddFirst) return W8AddFirst<kInv>(a, 8 * e / n);
  const int u = 32 * e / n;  // angle in units of pi/16
  const float c = CosPi16(u);
  const float s = SinPi16(u);
  return CxMul(a, c, kInv ? s : -s);
}

// Radix-4 butterfly of (z0, z1, z2, z3) into y; with kScale the sums and
// differences z0 +- z2, z1 +- z3 are scaled first.
template <bool kInv, bool kScale>
void Butterfly4(Cx z0, Cx z1, Cx z2, Cx z3, float f, Cx* y0, Cx* y1, Cx* y2, Cx* y3) {
  Cx t0 = CxAdd(z0, z2), t1 = CxSub(z0, z2), t2 = CxAdd(z1, z3), d = CxSub(z1, z3);
  if (kScale) t0 = CxScale(t0, f), t1 = CxScale(t1, f), t2 = CxScale(t2, f), d = CxScale(d, f);
  Cx t3 = RotW4<kInv>(d);
  *y0 = CxAdd(t0, t2);
  *y1 = CxAdd(t1, t3);
  *y2 = CxSub(t0, t2);
  *y3 = CxSub(t1, t3);
}

// An 8-point transform of v[0], v[s], .., v[7s] into out[0], out[o], ..:
// butterflies over (v_j, v_j+2, v_j+4, v_j+6), the W_8 twiddles of the
// second column, then sums and differences.
template <bool kInv, bool kAddFirst, bool kScale>
void Transform8(const Cx* v, int s, Cx* out, int o, float f) {
  Cx y[4][2];
  for (int j = 0; j < 2; ++j)
    Butterfly4<kInv, kScale>(v[j * s], v[(j + 2) * s], v[(j + 4) * s], v[(j + 6) * s], f, &y[0][j],
                             &y[1][j], &y[2][j], &y[3][j]);
  for (int m = 1; m < 4; ++m) y[m][1] = Twiddle<kInv, kAddFirst>(y[m][1], m, 8);
  for (int m = 0; m < 4; ++m) {
    out[m * o] = CxAdd(y[m][0], y[m][1]);
    out[(m + 4) * o] = CxSub(y[m][0], y[m][1]);
  }
}

template <int kOrder, bool kInv, bool kScaled, bool kGeneric>
void FixedKernel(const float* src, float* dst, float f) {
  constexpr int n = 1 << kOrder;
  if (kOrder == 0 && !kScaled) {
    std::memcpy(dst, src, 8);  // bit for bit
    return;
  }
  Cx x[n];
  Cx out[n];
  std::memcpy(x, src, sizeof x);
  constexpr bool kFirstScale = kScaled && kGeneric;
  if constexpr (kOrder == 0) {
    out[0] = x[0];
  } else if constexpr (kOrder == 1) {
    out[0] = CxAdd(x[0], x[1]);
    out[1] = CxSub(x[0], x[1]);
    if (kFirstScale) out[0] = CxScale(out[0], f), out[1] = CxScale(out[1], f);
  } else if constexpr (kOrder == 3) {
    Transform8<kInv, !kGeneric, kFirstScale>(x, 1, out, 1, f);
  } else {
    constexpr int q = n / 4;  // columns of the first stage
    Cx y[4][q];
    for (int j = 0; j < q; ++j)
      Butterfly4<kInv, kFirstScale>(x[j], x[j + q], x[j + 2 * q], x[j + 3 * q], f, &y[0][j],
                                    &y[1][j], &y[2][j], &y[3][j]);
    for (int m = 1; m < 4; ++m)
      for (int j = 1; j < q; ++j) y[m][j] = Twiddle<kInv, kGeneric>(y[m][j], j * m, n);
    for (int m = 0; m < 4; ++m) {
      if constexpr (kOrder == 2) {
        out[m] = y[m][0];
      } else if constexpr (kOrder == 4) {
        Butterfly4<kInv, false>(y[m][0], y[m][1], y[m][2], y[m][3], f, &out[m], &out[4 + m],
                                &out[8 + m], &out[12 + m]);
      } else {
        Transform8<kInv, false, false>(y[m], 1, out + m, 4, f);
      }
    }
  }
  if (kScaled && !kGeneric)
    for (int k = 0; k < n; ++k) out[k] = CxScale(out[k], f);
  std::memcpy(dst, out, sizeof out);
}

// ---- Vector form of orders 4 and 5 (variants 1 to 4) ------------------------------
//
// Two complex points a register (re0, im0, re1, im1); the same operations as
// the scalar form above, lane by lane, so both give the same bits. The
// columns x_j, x_(j+N/4), .. go pairwise (j, j + 1) through the first
// butterflies and the twiddles (the two lanes' twiddles differ); the rows
// are then paired (m, m + 1) for their radix-4 (order 4) or 8-point
// (order 5) transforms, whose outputs out[m + 4k], out[m + 1 + 4k] are
// adjacent. 16-byte aligned source and destination take aligned moves.

inline __m128 SignMask(bool re, bool im) {
  const int r = re ? INT32_MIN : 0, i = im ? INT32_MIN : 0;
  return _mm_castsi128_ps(_mm_set_epi32(i, r, i, r));
}
// Rotation by W_4 of both points: forward (a, b) -> (b, -a), inverse (-b, a).
template <bool kInv>
inline __m128 RotW4x2(__m128 a) {
  __m128 s = _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1));
  return _mm_xor_ps(s, SignMask(kInv, !kInv));
}
// a * (c + t i) for both points, each lane pair with its own c and t: the
// products a.re c and a.im c, a.im (-t) and a.re t, then their sums (x +
// (-y) is x - y to the bit).
inline __m128 MulX2(__m128 a, float c0, float t0, float c1, float t1) {
  __m128 cc = _mm_set_ps(c1, c1, c0, c0);
  __m128 tt = _mm_set_ps(t1, -t1, t0, -t0);
  __m128 sw = _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1));
  return _mm_add_ps(_mm_mul_ps(a, cc), _mm_mul_ps(sw, tt));
}
// a * W_n^e for both points, as Twiddle<kInv, false> does it.
template <bool kInv>
inline __m128 TwiddleAllX2(__m128 a, int e, int n) {
  e &= n - 1;
  if (e == 0) return a;
  if ((4 * e) % n == 0) {
    const int q = 4 * e / n;
    const __m128 neg = SignMask(true, true);
    if (q == 2) return _mm_xor_ps(a, neg);
    return q == 1 ? RotW4x2<kInv>(a) : _mm_xor_ps(RotW4x2<kInv>(a), neg);
  }
  const int u = 32 * e / n;
  const float c = CosPi16(u), s = SinPi16(u), t = kInv ? s : -s;
  return MulX2(a, c, t, c, t);
}
// Point 0 times W_n^e0, point 1 times W_n^e1.
template <bool kInv>
inline __m128 TwiddleX2(__m128 a, int e0, int e1, int n) {
  auto general = [n](int e) { return (e & (n - 1)) != 0 && (4 * e) % n != 0; };
  if (general(e0) && general(e1)) {
    const int u0 = 32 * (e0 & (n - 1)) / n, u1 = 32 * (e1 & (n - 1)) / n;
    const float s0 = SinPi16(u0), s1 = SinPi16(u1);
    return MulX2(a, CosPi16(u0), kInv ? s0 : -s0, CosPi16(u1), kInv ? s1 : -s1);
  }
  __m128 lo = TwiddleAllX2<kInv>(a, e0, n), hi = TwiddleAllX2<kInv>(a, e1, n);
  return _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 2, 1, 0));
}
template <bool kInv>
inline void Butterfly4X2(__m128 z0, __m128 z1, __m128 z2, __m128 z3, __m128* y0, __m128* y1,
                         __m128* y2, __m128* y3) {
  __m128 t0 = _mm_add_ps(z0, z2), t1 = _mm_sub_ps(z0, z2), t2 = _mm_add_ps(z1, z3);
  __m128 t3 = RotW4x2<kInv>(_mm_sub_ps(z1, z3));
  *y0 = _mm_add_ps(t0, t2);
  *y1 = _mm_add_ps(t1, t3);
  *y2 = _mm_sub_ps(t0, t2);
  *y3 = _mm_sub_ps(t1, t3);
}
template <bool kAligned>
inline __m128 LoadX2(const float* p) {
  return kAligned ? _mm_load_ps(p) : _mm_loadu_ps(p);
}
template <bool kAligned>
inline void StoreX2(float* p, __m128 v) {
  if (kAligned)
    _mm_store_ps(p, v);
  else
    _mm_storeu_ps(p, v);
}

template <int kOrder, bool kInv, bool kScaled, bool kAligned>
void FixedKernelX2(const float* src, float* dst, float f) {
  constexpr int n = 1 << kOrder, q = n / 4, pairs = q / 2;
  // First butterflies over the column pairs, then their twiddles:
  // y[m][p] holds rows m of columns 2p, 2p + 1.
  __m128 y[4][pairs];
  for (int p = 0; p < pairs; ++p) {
    const float* x = src + 4 * p;
    Butterfly4X2<kInv>(LoadX2<kAligned>(x), LoadX2<kAligned>(x + 2 * q),
                       LoadX2<kAligned>(x + 4 * q), LoadX2<kAligned>(x + 6 * q), &y[0][p],
                       &y[1][p], &y[2][p], &y[3][p]);
  }
  for (int m = 1; m < 4; ++m)
    for (int p = 0; p < pairs; ++p) y[m][p] = TwiddleX2<kInv>(y[m][p], 2 * p * m, (2 * p + 1) * m, n);
  const __m128 scale = _mm_set1_ps(f);
  auto store = [&](int k, __m128 v) { StoreX2<kAligned>(dst + 2 * k, kScaled ? _mm_mul_ps(v, scale) : v); };
  for (int m = 0; m < 4; m += 2) {
    // Rows m and m + 1 side by side: r[j] = (y[m][j], y[m + 1][j]).
    __m128 r[q];
    for (int p = 0; p < pairs; ++p) {
      r[2 * p] = _mm_movelh_ps(y[m][p], y[m + 1][p]);
      r[2 * p + 1] = _mm_movehl_ps(y[m + 1][p], y[m][p]);
    }
    if constexpr (kOrder == 4) {
      __m128 o0, o1, o2, o3;
      Butterfly4X2<kInv>(r[0], r[1], r[2], r[3], &o0, &o1, &o2, &o3);
      store(m, o0), store(4 + m, o1), store(8 + m, o2), store(12 + m, o3);
    } else {
      // The 8-point transform of each row, as Transform8<kInv, false, false>.
      __m128 z[4][2];
      for (int j = 0; j < 2; ++j)
        Butterfly4X2<kInv>(r[j], r[j + 2], r[j + 4], r[j + 6], &z[0][j], &z[1][j], &z[2][j],
                           &z[3][j]);
      for (int k = 1; k < 4; ++k) z[k][1] = TwiddleAllX2<kInv>(z[k][1], k, 8);
      for (int k = 0; k < 4; ++k) {
        store(m + 4 * k, _mm_add_ps(z[k][0], z[k][1]));
        store(m + 4 * (k + 4), _mm_sub_ps(z[k][0], z[k][1]));
      }
    }
  }
}

// Bitwise select: the floats of a where mask is set, else those of b.
inline __m128 SelectX2(__m128 mask, __m128 a, __m128 b) {
  return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}
// a * W_8 (q = 1) or a * W_8^3 (q = 3) for both points, adding first as
// W8AddFirst does: the sums a.re + a.im and differences formed in place,
// then one multiplication by sqrt(1/2) per part.
template <bool kInv>
inline __m128 W8AddFirstX2(__m128 a, int q) {
  const __m128 h = _mm_set1_ps(FloatBits(kCosPi16Bits[4]));
  const __m128 reLanes = _mm_castsi128_ps(_mm_set_epi32(0, -1, 0, -1));
  __m128 sw = _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1));  // (im, re)
  __m128 sum = _mm_add_ps(a, sw);                              // (re + im, im + re)
  __m128 diff = _mm_sub_ps(a, sw);                             // (re - im, im - re)
  __m128 rdiff = _mm_sub_ps(sw, a);                            // (im - re, re - im)
  if (!kInv) {
    if (q == 1) return _mm_mul_ps(SelectX2(reLanes, sum, diff), h);
    return _mm_xor_ps(_mm_mul_ps(SelectX2(reLanes, rdiff, sum), h), SignMask(false, true));
  }
  if (q == 1) return _mm_mul_ps(SelectX2(reLanes, diff, sum), h);
  return _mm_xor_ps(_mm_mul_ps(SelectX2(reLanes, sum, rdiff), h), SignMask(true, false));
}

// Orders 2 and 3 of variants 1 to 4 in vector registers (no alignment
// path: 32 and 64 bytes).
template <int kOrder, bool kInv, bool kScaled>
void FixedKernelSmallX2(const float* src, float* dst, float f) {
  const __m128 scale = _mm_set1_ps(f);
  auto store = [&](int k, __m128 v) { _mm_storeu_ps(dst + 2 * k, kScaled ? _mm_mul_ps(v, scale) : v); };
  // Lanes 0, 1 of lo and lanes 2, 3 of hi.
  auto halves = [](__m128 lo, __m128 hi) { return _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 2, 1, 0)); };
  if constexpr (kOrder == 2) {
    __m128 a = _mm_loadu_ps(src), b = _mm_loadu_ps(src + 4);      // (x0, x1), (x2, x3)
    __m128 s = _mm_add_ps(a, b), d = _mm_sub_ps(a, b);            // (t0, t2), (t1, x1 - x3)
    __m128 p = _mm_movelh_ps(s, d), q = _mm_movehl_ps(d, s);      // (t0, t1), (t2, x1 - x3)
    q = halves(q, RotW4x2<kInv>(q));
    store(0, _mm_add_ps(p, q));
    store(2, _mm_sub_ps(p, q));
  } else {
    __m128 y[4];  // y[m] = rows m of columns 0 and 1
    Butterfly4X2<kInv>(_mm_loadu_ps(src), _mm_loadu_ps(src + 4), _mm_loadu_ps(src + 8),
                       _mm_loadu_ps(src + 12), &y[0], &y[1], &y[2], &y[3]);
    for (int m = 0; m < 4; m += 2) {
      __m128 p = _mm_movelh_ps(y[m], y[m + 1]);   // (y[m][0], y[m+1][0])
      __m128 q = _mm_movehl_ps(y[m + 1], y[m]);   // (y[m][1], y[m+1][1])
      q = m == 0 ? halves(q, W8AddFirstX2<kInv>(q, 1))
                 : halves(RotW4x2<kInv>(q), W8AddFirstX2<kInv>(q, 3));
      store(m, _mm_add_ps(p, q));
      store(m + 4, _mm_sub_ps(p, q));
    }
  }
}

// Orders 4 and 5 of variants 1 to 4: the aligned or the unaligned path.
template <int kOrder, bool kInv, bool kScaled>
void FixedKernelVector(const float* src, float* dst, float f) {
  if (((reinterpret_cast<uintptr_t>(src) | reinterpret_cast<uintptr_t>(dst)) & 15) == 0)
    FixedKernelX2<kOrder, kInv, kScaled, true>(src, dst, f);
  else
    FixedKernelX2<kOrder, kInv, kScaled, false>(src, dst, f);
}

// The kernel of an order: the vector form for orders 2 to 5 of variants 1
// to 4, else the scalar form.
template <int kOrder, bool kInv, bool kScaled, bool kGeneric>
void FixedKernelOf(const float* src, float* dst, float f) {
  if constexpr (!kGeneric && kOrder >= 4)
    FixedKernelVector<kOrder, kInv, kScaled>(src, dst, f);
  else if constexpr (!kGeneric && kOrder >= 2)
    FixedKernelSmallX2<kOrder, kInv, kScaled>(src, dst, f);
  else
    FixedKernel<kOrder, kInv, kScaled, kGeneric>(src, dst, f);
}

}  // namespace
}  // namespace wuperf

// The fixed kernels of variant V; G: true for the variant-0 form.
#define WU_FFT32FC_FIXED_KERNELS_DIR(D, kInv, V, G)                                               \
  void WuPerfFFT##D##32fc_Order2_##V(const float* s, float* d) { FixedKernelOf<2, kInv, false, G>(s, d, 1.0f); } \
  void WuPerfFFT##D##32fc_Order3_##V(const float* s, float* d) { FixedKernelOf<3, kInv, false, G>(s, d, 1.0f); } \
  void WuPerfFFT##D##32fc_Order4_##V(const float* s, float* d) { FixedKernelOf<4, kInv, false, G>(s, d, 1.0f); } \
  void WuPerfFFT##D##32fc_Order5_##V(const float* s, float* d) { FixedKernelOf<5, kInv, false, G>(s, d, 1.0f); } \
  void WuPerfFFT##D##32fc_Order2Scaled_##V(const float* s, float* d, float f) { FixedKernelOf<2, kInv, true, G>(s, d, f); } \
  void WuPerfFFT##D##32fc_Order3Scaled_##V(const float* s, float* d, float f) { FixedKernelOf<3, kInv, true, G>(s, d, f); } \
  void WuPerfFFT##D##32fc_Order4Scaled_##V(const float* s, float* d, float f) { FixedKernelOf<4, kInv, true, G>(s, d, f); } \
  void WuPerfFFT##D##32fc_Order5Scaled_##V(const float* s, float* d, float f) { FixedKernelOf<5, kInv, true, G>(s, d, f); }

#define WU_FFT32FC_FIXED_KERNELS(V, G)                                                            \
  void WuPerfFFT32fc_Order0_##V(const float* s, float* d) { FixedKernel<0, false, false, G>(s, d, 1.0f); } \
  void WuPerfFFT32fc_Order1_##V(const float* s, float* d) { FixedKernel<1, false, false, G>(s, d, 1.0f); } \
  void WuPerfFFT32fc_Order0Scaled_##V(const float* s, float* d, float f) { FixedKernel<0, false, true, G>(s, d, f); } \
  void WuPerfFFT32fc_Order1Scaled_##V(const float* s, float* d, float f) { FixedKernel<1, false, true, G>(s, d, f); } \
  WU_FFT32FC_FIXED_KERNELS_DIR(Fwd, false, V, G)                                                 \
  WU_FFT32FC_FIXED_KERNELS_DIR(Inv, true, V, G)
