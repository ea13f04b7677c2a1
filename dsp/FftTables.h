// The FFT set-up table builders and size walks, one generic family for both
// FFT families, parameterised by the variant constants of
// dsp/FftSplitTables.h.
//
// Every twiddle comes from one quarter-wave sine table S of order a (S[k] =
// sin(2*pi*k/2^a), k = 0 .. 2^a/4) by the quadrant symmetries, so equal
// angles give equal bits in every table, stage, level and variant. Only the
// base tables call the runtime's sin and cos. A twiddle W = e^(-i*theta) is
// stored as (cos theta, -sin theta).
//
// Every builder writes at dst and returns the address just past what it
// reserved, rounded up to a multiple of 32 bytes. Sizes are computed in
// 64-bit arithmetic.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "dsp/FftContext.h"
#include "dsp/FftSplitTables.h"
#include "dsp/SineTables.h"

namespace wuperf {
namespace {

// 2*pi as the double the base tables start from.
constexpr double kTwoPi = 6.283185307179586;
// Bytes of a complex float and of a complex double.
constexpr int64_t kComplex32Bytes = 8;
constexpr int64_t kComplex64Bytes = 16;

inline int64_t Round32(int64_t bytes) { return (bytes + 31) & ~int64_t{31}; }
template <class T>
T* AlignUp32(T* p) {
  return reinterpret_cast<T*>((reinterpret_cast<uintptr_t>(p) + 31) & ~uintptr_t{31});
}
template <class T>
T* AddBytes(T* p, int64_t bytes) {
  return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(p) + bytes);
}
inline int64_t Pow2(int e) { return int64_t{1} << e; }

// The split tables nest at most three levels for every order up to 30.
inline void CheckDepth(int depth) {
  assert(depth >= 0 && depth < kFftSplitDepths);
  if (depth < 0 || depth >= kFftSplitDepths) __builtin_unreachable();
}

// A stored twiddle: cos theta and -sin theta.
template <class T>
struct Twiddle {
  T c;   // cos theta
  T ns;  // -sin theta
};

// The twiddle of angle 2*pi*m/2^l (l <= a) read from the sine table of
// order a: the angle index is taken at the table's own period (the stride
// 2^(a - l)) and reduced to one period, then the quadrant rules apply.
template <class T>
Twiddle<T> TwiddleAt(const T* s, int a, int l, uint64_t m) {
  const uint64_t q = uint64_t{1} << (a - 2);  // a quarter period of the table
  uint64_t k = (m << (a - l)) & (4 * q - 1);
  if (k <= q) return {s[q - k], -s[k]};
  if (k <= 2 * q) return {-s[k - q], -s[2 * q - k]};
  if (k <= 3 * q) return {-s[3 * q - k], s[k - 2 * q]};
  return {s[k - 3 * q], s[4 * q - k]};
}

// ---- Base tables -------------------------------------------------------------

// The quarter-wave sine table of an order: above 10 from the runtime's sin
// and cos (each argument k*step formed in extended precision and rounded to
// double), up to 10 every 2^(10 - order)-th entry of the built-in table.
// Returns the 32-byte boundary after the 2^order/4 + 1 entries.
template <class T>
T* BaseTwiddle(int order, T* dst, const T* builtIn) {
  const int64_t quarter = Pow2(order) / 4;
  if (order <= kSineTable1024Order) {
    const int64_t stride = Pow2(kSineTable1024Order - order);
    for (int64_t k = 0; k < quarter; ++k) dst[k] = builtIn[k * stride];
    dst[quarter] = T(1);
  } else {
    const double step = kTwoPi / static_cast<double>(Pow2(order));
    const int64_t eighth = quarter / 2;
    for (int64_t k = 0; k <= eighth; ++k) {
      double angle = static_cast<double>(static_cast<long double>(k) * step);
      dst[k] = static_cast<T>(std::sin(angle));
    }
    for (int64_t k = eighth + 1; k <= quarter; ++k) {
      double angle = static_cast<double>(static_cast<long double>(quarter - k) * step);
      dst[k] = static_cast<T>(std::cos(angle));
    }
  }
  return AlignUp32(dst + quarter + 1);
}

// ---- Bit-reversal tables -------------------------------------------------------

// The bit-reversed counter over `bits` bits (half = 2^bits / 2): one step
// from rev(k) to rev(k + 1).
inline uint32_t NextReversed(uint32_t r, uint32_t half) {
  uint32_t h = half;
  while (h != 0 && h <= r) {
    r -= h;
    h /= 2;
  }
  return r + h;
}

// Index table: M = 2^(m-2); word k = 2*rev(k) over m - 2 bits, words 0 and
// M = 0. Nothing for m < 2.
inline uint32_t* BitRevIndexTable(int m, uint32_t* dst) {
  if (m < 2) return dst;
  const uint32_t count = uint32_t{1} << (m - 2);
  uint32_t r = 0;
  dst[0] = 0;
  for (uint32_t k = 1; k < count; ++k) {
    r = NextReversed(r, count / 2);
    dst[k] = 2 * r;
  }
  dst[count] = 0;
  return AlignUp32(dst + count + 1);
}

// Pair table: the pairs (4k, 4 rev k) for k < rev k from the front, a 0,
// then the self-reversed 4k from word M - 1 downward, and word M = 0.
inline uint32_t* BitRevPairTable(int m, uint32_t* dst) {
  if (m < 2) return dst;
  const uint32_t count = uint32_t{1} << (m - 2);
  uint32_t front = 0;
  uint32_t back = count - 1;
  uint32_t r = 0;
  for (uint32_t k = 1; k < count; ++k) {
    r = NextReversed(r, count / 2);
    if (k < r) {
      dst[front++] = 4 * k;
      dst[front++] = 4 * r;
    } else if (k == r) {
      dst[back--] = 4 * k;
    }
  }
  assert(front == back);
  dst[front] = 0;
  dst[count] = 0;
  return AlignUp32(dst + count + 1);
}

// Two-level table: 2^(m - 2b) row words rev(i) << b (rev over m - 2b bits),
// then directly the pair table of order 2b.
inline uint32_t* BitRevTwoLevelTable(int m, int b, uint32_t* dst) {
  const uint32_t rows = uint32_t{1} << (m - 2 * b);
  uint32_t r = 0;
  dst[0] = 0;
  for (uint32_t i = 1; i < rows; ++i) {
    r = NextReversed(r, rows / 2);
    dst[i] = r << b;
  }
  uint32_t* pairs = dst + rows;
  if (2 * b < 2) return AlignUp32(pairs);
  return BitRevPairTable(2 * b, pairs);
}

// ---- Complex radix twiddle tables ------------------------------------------------

// One 4-lane record of a twiddle table: for each factor f of `factors`,
// the cos of angles f*p_t then their -sin, p_t = p + t, t = 0..3, at period
// 2^l. Returns the position after it.
template <class T>
T* FourLaneRecord(T* out, const T* s, int a, int l, uint64_t p, int firstFactor,
                  int lastFactor) {
  for (int f = firstFactor; f <= lastFactor; ++f) {
    for (int t = 0; t < 4; ++t) out[t] = TwiddleAt(s, a, l, f * (p + t)).c;
    for (int t = 0; t < 4; ++t) out[4 + t] = TwiddleAt(s, a, l, f * (p + t)).ns;
    out += 8;
  }
  return out;
}

// Radix twiddle table of variants 1 to 4: 24-float records of the radix-4
// stages (spans 16, 64, ... or, for odd orders in variant 1, 32, 128, ...
// N), then for odd orders in variants 2 to 4 a radix-2 run of 8-float
// records over span N. Nothing below order 4; reserves 8*N bytes.
inline float* RadixTwiddle32fc(bool oddRadix4Only, int m, const float* s, int a, float* dst) {
  if (m < 4) return dst;
  float* out = dst;
  const bool odd = (m & 1) != 0;
  int firstSpan = (odd && oddRadix4Only) ? 5 : 4;
  int lastSpan = (odd && !oddRadix4Only) ? m - 1 : m;
  for (int l = firstSpan; l <= lastSpan; l += 2)
    for (uint64_t k = 0; k < (uint64_t{1} << l) / 4; k += 4) out = FourLaneRecord(out, s, a, l, k, 1, 3);
  if (odd && !oddRadix4Only)
    for (uint64_t k = 0; k < (uint64_t{1} << m) / 2; k += 4) out = FourLaneRecord(out, s, a, m, k, 1, 1);
  return AlignUp32(AddBytes(dst, kComplex32Bytes * Pow2(m)));
}

// Radix twiddle table of variant 0: N/4 + 1 records (W^k, W^2k, W^3k) as
// interleaved (cos, -sin), W = e^(-2*pi*i/N). Works for both element types.
template <class T>
T* RadixTwiddleSingle(int m, const T* s, int a, T* dst) {
  const uint64_t records = (uint64_t{1} << m) / 4 + 1;
  T* out = dst;
  for (uint64_t k = 0; k < records; ++k) {
    for (int f = 1; f <= 3; ++f) {
      Twiddle<T> w = TwiddleAt(s, a, m, f * k);
      *out++ = w.c;
      *out++ = w.ns;
    }
  }
  return AlignUp32(out);
}

// Quarter-period pairs of order m: N/4 interleaved (cos, -sin)(2*pi*k/N).
template <class T>
T* QuarterPeriodPairs(int m, const T* s, int a, T* dst) {
  T* out = dst;
  for (uint64_t k = 0; k < (uint64_t{1} << m) / 4; ++k) {
    Twiddle<T> w = TwiddleAt(s, a, m, k);
    *out++ = w.c;
    *out++ = w.ns;
  }
  return AlignUp32(out);
}

// ---- Complex split levels, variants 1 to 4 -----------------------------------------

// Level twiddle table of a level of order l: per column block, the
// four-column records of every radix-4 stage across the rows, then for an
// odd split the radix-2 stage over span 2^l.
inline void LevelTable32fc(const ComplexFftTraits& tr, int l, const float* s, int a, float* out) {
  const int c = tr.split[l];
  const int d = l - c;
  const uint64_t columns = uint64_t{1} << d;
  const uint64_t perBlock = uint64_t{1} << (tr.block[l] - c);
  for (uint64_t first = 0; first < columns; first += perBlock) {
    for (int i = d + 2; i <= l; i += 2)
      for (uint64_t j = 0; j < (uint64_t{1} << (i - d - 2)); ++j)
        for (uint64_t q = 0; q < perBlock; q += 4)
          out = FourLaneRecord(out, s, a, i, first + columns * j + q, 1, 3);
    if (c & 1)
      for (uint64_t j = 0; j < (uint64_t{1} << (c - 1)); ++j)
        for (uint64_t q = 0; q < perBlock; q += 4)
          out = FourLaneRecord(out, s, a, l, first + columns * j + q, 1, 1);
  }
}

// ---- Real tables, variants 1 to 4 --------------------------------------------------

// One pair record of the real tables: for each factor f, cos of f*p and
// f*(p+1), then their -sin, at period 2^l.
inline double* PairRecord(double* out, const double* s, int a, int l, uint64_t p, int firstFactor,
                          int lastFactor) {
  for (int f = firstFactor; f <= lastFactor; ++f) {
    Twiddle<double> w0 = TwiddleAt(s, a, l, f * p);
    Twiddle<double> w1 = TwiddleAt(s, a, l, f * (p + 1));
    out[0] = w0.c, out[1] = w1.c, out[2] = w0.ns, out[3] = w1.ns;
    out += 4;
  }
  return out;
}

// Radix twiddle table of half-order h: 12-double records of the radix-4
// stages of span 2^4 or 2^5, then every second order up to h. Nothing for
// h <= 3; reserves 16 * 2^h bytes.
inline double* RadixTwiddle64f(int h, const double* s, int a, double* dst) {
  if (h <= 3) return dst;
  double* out = dst;
  for (int l = (h & 1) ? 5 : 4; l <= h; l += 2)
    for (uint64_t p = 0; p < (uint64_t{1} << l) / 4; p += 2) out = PairRecord(out, s, a, l, p, 1, 3);
  return AlignUp32(AddBytes(dst, kComplex64Bytes * Pow2(h)));
}

// Post-pass tables of order n, variants 1 to 4: N/8 blocks for k = 2j+1 and
// 2j+2. Forward: 0.5 cos, 0.5 cos, 0.5 - 0.5 sin, 0.5 - 0.5 sin; inverse:
// cos, cos, -sin, -sin.
inline double* RealTwiddlePairs(bool forward, int n, const double* s, int a, double* dst) {
  double* out = dst;
  for (uint64_t k = 1; k <= (uint64_t{1} << n) / 4; k += 2) {
    Twiddle<double> w0 = TwiddleAt(s, a, n, k);
    Twiddle<double> w1 = TwiddleAt(s, a, n, k + 1);
    if (forward) {
      out[0] = 0.5 * w0.c, out[1] = 0.5 * w1.c;
      out[2] = 0.5 + 0.5 * w0.ns, out[3] = 0.5 + 0.5 * w1.ns;
    } else {
      out[0] = w0.c, out[1] = w1.c, out[2] = w0.ns, out[3] = w1.ns;
    }
    out += 4;
  }
  return AlignUp32(AddBytes(dst, kComplex64Bytes * Pow2(n) / 4));
}

// Level twiddle table of a real split level of order l.
inline void LevelTable64f(const RealFftTraits& tr, int l, const double* s, int a, double* out) {
  const int sp = tr.split[l];
  const int d = l - sp;
  const uint64_t columns = uint64_t{1} << d;
  const uint64_t perBlock = uint64_t{1} << (tr.block[l] - sp);
  for (uint64_t first = 0; first < columns; first += perBlock) {
    for (int i = d + 2; i <= l; i += 2)
      for (uint64_t j = 0; j < (uint64_t{1} << (i - d - 2)); ++j)
        for (uint64_t q = first; q < first + perBlock; q += 2)
          out = PairRecord(out, s, a, i, q + columns * j, 1, 3);
    if (sp & 1)
      for (uint64_t j = 0; j < (uint64_t{1} << (sp - 1)); ++j)
        for (uint64_t q = first; q < first + perBlock; q += 2)
          out = PairRecord(out, s, a, l, q + columns * j, 1, 1);
  }
}

// ---- Split levels of both families, variants 1 to 4 ----------------------------------

// The two families as the split-level builders see them.
struct ComplexFamily {
  using Value = float;
  using Spec = FftSpec;
  using Traits = ComplexFftTraits;
  static constexpr int64_t kPointBytes = kComplex32Bytes;
  static Value* Radix(const Traits& tr, int order, const Value* s, int a, Value* dst) {
    return RadixTwiddle32fc(tr.oddRadix4Only, order, s, a, dst);
  }
  static void Level(const Traits& tr, int l, const Value* s, int a, Value* out) {
    LevelTable32fc(tr, l, s, a, out);
  }
};
struct RealFamily {
  using Value = double;
  using Spec = FftSpecReal;
  using Traits = RealFftTraits;
  static constexpr int64_t kPointBytes = kComplex64Bytes;
  static Value* Radix(const Traits&, int order, const Value* s, int a, Value* dst) {
    return RadixTwiddle64f(order, s, a, dst);
  }
  static void Level(const Traits& tr, int l, const Value* s, int a, Value* out) {
    LevelTable64f(tr, l, s, a, out);
  }
};

// One split level of order l at `depth`: the sub-order's tables first (the
// direct radix table, which becomes the context's radix table and sets the
// work size, or the next level), then this level's twiddle table, stored in
// the depth's slot; the work size is raised to the level's column block.
// Returns the end of the level table.
template <class F>
uint8_t* InitSplitLevel(const typename F::Traits& tr, typename F::Spec* ctx, int l,
                        const typename F::Value* s, int a, int depth, uint8_t* dst) {
  using Value = typename F::Value;
  const int d = l - tr.split[l];
  uint8_t* table;
  if (d <= tr.directLimit) {
    ctx->twiddleTable = dst;
    table = reinterpret_cast<uint8_t*>(F::Radix(tr, d, s, a, reinterpret_cast<Value*>(dst)));
    ctx->workSize = static_cast<int32_t>(Round32(F::kPointBytes * Pow2(d)));
  } else {
    table = InitSplitLevel<F>(tr, ctx, d, s, a, depth + 1, dst);
  }
  CheckDepth(depth);
  ctx->levelTwiddle[depth] = table;
  F::Level(tr, l, s, a, reinterpret_cast<Value*>(table));
  int64_t blockWork = F::kPointBytes * Pow2(tr.block[l]);
  if (ctx->workSize < blockWork) ctx->workSize = static_cast<int32_t>(blockWork);
  return table + F::kPointBytes * Pow2(l);
}

// The sizes a split level of order l adds: the direct sub-order's radix
// table (its reservation and 32 bytes; for the complex family that is
// (8 * 2^d + 39) with the low five bits cleared) and work, or the next
// level's; then this level's table and its column block's work.
template <class F>
void GetSplitLevelSizes(const typename F::Traits& tr, int l, int64_t* ctx, int64_t* init,
                        int64_t* work) {
  const int d = l - tr.split[l];
  if (d <= tr.directLimit) {
    *ctx = Round32(F::kPointBytes * Pow2(d) + 16);
    *init = 0;
    *work = Round32(F::kPointBytes * Pow2(d));
  } else {
    GetSplitLevelSizes<F>(tr, d, ctx, init, work);
  }
  *ctx += F::kPointBytes * Pow2(l);
  int64_t blockWork = F::kPointBytes * Pow2(tr.block[l]);
  if (*work < blockWork) *work = blockWork;
}

inline uint8_t* InitLarge32fc(const ComplexFftTraits& tr, FftSpec* ctx, int m, const float* s,
                              int a, uint8_t* dst) {
  uint32_t* bitRev = static_cast<uint32_t*>(ctx->bitRevTable);
  if (m < tr.twoLevelFrom)
    BitRevIndexTable(m, bitRev);
  else
    BitRevTwoLevelTable(m, 6, bitRev);
  uint8_t* end;
  if (tr.split[m] == 0) {
    // No split entry: the radix table of the direct limit and the
    // quarter-period pairs of the whole order.
    ctx->twiddleTable = dst;
    float* pairs = RadixTwiddle32fc(tr.oddRadix4Only, tr.directLimit, s, a,
                                    reinterpret_cast<float*>(dst));
    ctx->columnTwiddle = pairs;
    end = reinterpret_cast<uint8_t*>(QuarterPeriodPairs(m, s, a, pairs));
    ctx->workSize = static_cast<int32_t>(kComplex32Bytes * Pow2(tr.directLimit));
  } else {
    end = InitSplitLevel<ComplexFamily>(tr, ctx, m, s, a, 0, dst);
  }
  if (m >= tr.twoLevelFrom && ctx->workSize < tr.minLargeWork) ctx->workSize = tr.minLargeWork;
  return end;
}

// Stores 64-bit sizes into the int32 out-parameters; the order limits keep
// them in range.
inline void StoreSizes(int64_t ctx, int64_t init, int64_t work, int32_t* specBytes,
                       int32_t* initBytes, int32_t* workBytes) {
  assert(ctx <= INT32_MAX && init <= INT32_MAX && work <= INT32_MAX);
  *specBytes = static_cast<int32_t>(ctx);
  *initBytes = static_cast<int32_t>(init);
  *workBytes = static_cast<int32_t>(work);
}

inline void GetSizesLarge32fc(const ComplexFftTraits& tr, int m, int32_t* specBytes,
                              int32_t* initBytes, int32_t* workBytes) {
  int64_t ctx = 0, init = 0, work = 0;
  if (tr.split[m] == 0) {
    ctx = Round32(kComplex32Bytes * Pow2(m) / 4) + kComplex32Bytes * Pow2(tr.directLimit) + 32;
    work = kComplex32Bytes * Pow2(tr.directLimit);
  } else {
    GetSplitLevelSizes<ComplexFamily>(tr, m, &ctx, &init, &work);
  }
  if (m >= tr.twoLevelFrom && work < tr.minLargeWork) work = tr.minLargeWork;
  StoreSizes(ctx, init, work, specBytes, initBytes, workBytes);
}

inline uint8_t* InitLarge64f(const RealFftTraits& tr, FftSpecReal* ctx, int h, const double* s,
                             int a, uint8_t* dst) {
  uint32_t* bitRev = static_cast<uint32_t*>(ctx->bitRevTable);
  if (h < tr.twoLevelFrom)
    BitRevIndexTable(h, bitRev);
  else
    BitRevTwoLevelTable(h, 5, bitRev);
  assert(tr.split[h] != 0);  // every half-order above the direct limit splits
  uint8_t* end = InitSplitLevel<RealFamily>(tr, ctx, h, s, a, 0, dst);
  if (h >= tr.twoLevelFrom && ctx->workSize < tr.minLargeWork) ctx->workSize = tr.minLargeWork;
  return end;
}

inline void GetSizesLarge64f(const RealFftTraits& tr, int h, int32_t* specBytes, int32_t* initBytes,
                             int32_t* workBytes) {
  int64_t ctx = 0, init = 0, work = 0;
  GetSplitLevelSizes<RealFamily>(tr, h, &ctx, &init, &work);
  if (h >= tr.twoLevelFrom && work < tr.minLargeWork) work = tr.minLargeWork;
  StoreSizes(ctx, init, work, specBytes, initBytes, workBytes);
}

}  // namespace
}  // namespace wuperf

// The table builders and size walks of SIMD variant V over its constants
// (ComplexFftTraits CT, RealFftTraits RT).
#define WU_DEFINE_FFT_TABLES_SIMD(V, CT, RT)                                                    \
  float* WuPerfFFT32fc_BaseTwiddle_##V(int32_t order, float* dst) {                             \
    return BaseTwiddle(order, dst, kSineTable1024f);                                            \
  }                                                                                             \
  uint32_t* WuPerfFFT_BitRevTable_##V(int32_t order, uint32_t* dst) {                           \
    return BitRevIndexTable(order, dst);                                                        \
  }                                                                                             \
  uint32_t* WuPerfFFT_BitRevPairs_##V(int32_t order, uint32_t* dst) {                           \
    return BitRevPairTable(order, dst);                                                         \
  }                                                                                             \
  uint32_t* WuPerfFFT_BitRevTable2_##V(int32_t order, int32_t b, uint32_t* dst) {               \
    return BitRevTwoLevelTable(order, b, dst);                                                  \
  }                                                                                             \
  float* WuPerfFFT32fc_RadixTwiddle_##V(int32_t order, const float* s, int32_t a, float* dst) { \
    return RadixTwiddle32fc(CT.oddRadix4Only, order, s, a, dst);                                \
  }                                                                                             \
  uint8_t* WuPerfFFT32fc_InitLarge_##V(FftSpec* ctx, int32_t order, const float* s, int32_t a, \
                                       uint8_t* dst, uint8_t* scratch) {                        \
    return InitLarge32fc(CT, ctx, order, s, a, dst);                                           \
  }                                                                                             \
  uint8_t* WuPerfFFT32fc_InitLevel_##V(FftSpec* ctx, int32_t order, const float* s, int32_t a, \
                                       int32_t depth, uint8_t* dst, uint8_t* scratch) {         \
    return InitSplitLevel<ComplexFamily>(CT, ctx, order, s, a, depth, dst);                                    \
  }                                                                                             \
  void WuPerfFFT32fc_GetSizesLarge_##V(int32_t order, int32_t* specBytes, int32_t* initBytes,   \
                                       int32_t* workBytes) {                                    \
    GetSizesLarge32fc(CT, order, specBytes, initBytes, workBytes);                              \
  }                                                                                             \
  void WuPerfFFT32fc_GetSizesLevel_##V(int32_t order, int64_t* specBytes, int64_t* initBytes,   \
                                       int64_t* workBytes) {                                    \
    GetSplitLevelSizes<ComplexFamily>(CT, order, specBytes, initBytes, workBytes);                              \
  }                                                                                             \
  double* WuPerfFFT64f_BaseTwiddle_##V(int32_t order, double* dst) {                            \
    return BaseTwiddle(order, dst, kSineTable1024d);                                            \
  }                                                                                             \
  double* WuPerfFFT64f_RadixTwiddle_##V(int32_t h, const double* s, int32_t a, double* dst) {   \
    return RadixTwiddle64f(h, s, a, dst);                                                       \
  }                                                                                             \
  double* WuPerfFFTFwd64f_RealTwiddle_##V(int32_t n, const double* s, int32_t a,                \
                                          double* dst) {                                        \
    return RealTwiddlePairs(true, n, s, a, dst);                                                \
  }                                                                                             \
  double* WuPerfFFTInv64f_RealTwiddle_##V(int32_t n, const double* s, int32_t a,                \
                                          double* dst) {                                        \
    return RealTwiddlePairs(false, n, s, a, dst);                                               \
  }                                                                                             \
  uint8_t* WuPerfFFT64f_InitLarge_##V(FftSpecReal* ctx, int32_t h, const double* s, int32_t a, \
                                      uint8_t* dst, uint8_t* scratch) {                         \
    return InitLarge64f(RT, ctx, h, s, a, dst);                                                \
  }                                                                                             \
  uint8_t* WuPerfFFT64f_InitLevel_##V(FftSpecReal* ctx, int32_t order, const double* s,        \
                                      int32_t a, int32_t depth, uint8_t* dst,                   \
                                      uint8_t* scratch) {                                       \
    return InitSplitLevel<RealFamily>(RT, ctx, order, s, a, depth, dst);                                     \
  }                                                                                             \
  void WuPerfFFT64f_GetSizesLarge_##V(int32_t h, int32_t* specBytes, int32_t* initBytes,        \
                                      int32_t* workBytes) {                                     \
    GetSizesLarge64f(RT, h, specBytes, initBytes, workBytes);                                   \
  }                                                                                             \
  void WuPerfFFT64f_GetSizesLevel_##V(int32_t order, int64_t* specBytes, int64_t* initBytes,    \
                                      int64_t* workBytes) {                                     \
    GetSplitLevelSizes<RealFamily>(RT, order, specBytes, initBytes, workBytes);                               \
  }
