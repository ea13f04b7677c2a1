// Variant 0 (generic): the FFT set-up table builders and size walks, with
// the variant's own layouts: the pair bit-reversal table, one radix table of
// six-value records per order, and split levels whose twiddles stand in
// bit-reversed row order.
#include <cstring>

#include "dsp/FftTables.h"
#include "dsp/FftVariants.h"

namespace wuperf::v0 {

namespace {

// Bytes an order without split entry reserves beyond its quarter-period pairs
// (the order-10 radix table and slack), complex and real.
constexpr int64_t kComplexNoSplitExtra = 0x2020;
constexpr int64_t kRealNoSplitExtra = 0x4020;
// Order of the radix table that an order without split entry uses.
constexpr int kNoSplitRadixOrder = 10;

// Level table of a variant-0 split level of order l with R = 2^c rows and
// 2^d columns: for each group of four columns and each row r, the four
// twiddles W^(rev(r)*(q+t)), W = e^(-2*pi*i/2^l). Each column is formed in
// the scratch area and put in bit-reversed order with the pair table of
// order c, then the four columns are written out row by row. T is the
// element type; bitRev permutes one column of complex values in place.
template <class T, class BitRev>
T* LevelTableV0(int l, int c, const T* s, int a, T* out, uint8_t* scratch, BitRev bitRev) {
  const uint64_t rows = uint64_t{1} << c;
  const uint64_t columns = uint64_t{1} << (l - c);
  T* cols = reinterpret_cast<T*>(scratch);  // 4 columns of R complex values
  uint32_t* pairs = reinterpret_cast<uint32_t*>(scratch + 4 * rows * 2 * sizeof(T));
  BitRevPairTable(c, pairs);
  for (uint64_t q = 0; q < columns; q += 4) {
    for (int t = 0; t < 4; ++t) {
      T* col = cols + t * rows * 2;
      for (uint64_t r = 0; r < rows; ++r) {
        Twiddle<T> w = TwiddleAt(s, a, l, r * (q + t));
        col[2 * r] = w.c;
        col[2 * r + 1] = w.ns;
      }
      bitRev(col, static_cast<int32_t>(rows), pairs);
    }
    for (uint64_t r = 0; r < rows; ++r) {
      for (int t = 0; t < 4; ++t) {
        *out++ = cols[t * rows * 2 + 2 * r];
        *out++ = cols[t * rows * 2 + 2 * r + 1];
      }
    }
  }
  return out;
}

// The radix table of order 10 followed by the quarter-period pairs of
// order m (an order above 10 without split entry); returns their end.
template <class T>
uint8_t* NoSplitTables(void** twiddle, void** pairsSlot, int m, const T* s, int a, uint8_t* dst) {
  *twiddle = dst;
  T* pairs = RadixTwiddleSingle(kNoSplitRadixOrder, s, a, reinterpret_cast<T*>(dst));
  *pairsSlot = pairs;
  return reinterpret_cast<uint8_t*>(QuarterPeriodPairs(m, s, a, pairs));
}

// The two families as the variant-0 split builders see them: element type,
// head, split table, the slots of the quarter-period pairs and of the row
// radix tables, and the in-place bit reversal of one column.
struct ComplexFamilyV0 {
  using Value = float;
  using Spec = FftSpec;
  static constexpr int64_t kPointBytes = kComplex32Bytes;
  static constexpr int64_t kNoSplitExtra = kComplexNoSplitExtra;
  static constexpr int kDirectLimit = kComplexDirectLimitV0;
  static const uint8_t* Split() { return kComplexSplitV0.v; }
  static void** QuarterPairsSlot(Spec* ctx) { return &ctx->columnTwiddle; }
  static void** RowTableSlot(Spec* ctx, int depth) { return &ctx->levelColumnTwiddle[depth]; }
  static void BitRevColumn(Value* col, int32_t count, const uint32_t* pairs) {
    WuPerfFFT32fc_BitRevInPlace_V0(col, count, pairs);
  }
};
struct RealFamilyV0 {
  using Value = double;
  using Spec = FftSpecReal;
  static constexpr int64_t kPointBytes = kComplex64Bytes;
  static constexpr int64_t kNoSplitExtra = kRealNoSplitExtra;
  static constexpr int kDirectLimit = kRealDirectLimitV0;
  static const uint8_t* Split() { return kRealSplitV0.v; }
  static void** QuarterPairsSlot(Spec* ctx) { return &ctx->blockTwiddle; }
  static void** RowTableSlot(Spec* ctx, int depth) { return &ctx->levelPassTwiddle[depth]; }
  static void BitRevColumn(Value* col, int32_t count, const uint32_t* pairs) {
    WuPerfFFT64f_BitRevInPlace_V0(col, count, pairs);
  }
};

// One variant-0 split level of order l at `depth` (2^c rows): the sub-order's
// tables (a direct radix table, the next level, or the no-split tables),
// then the radix table of order c for the transforms along the rows (its
// start in the depth's row slot), then the level table (its start in the
// depth's level slot). The work size is raised to four columns of rows.
template <class F>
uint8_t* InitLevelV0(typename F::Spec* ctx, int l, const typename F::Value* s, int a, int depth,
                     uint8_t* dst, uint8_t* scratch) {
  using Value = typename F::Value;
  const int c = F::Split()[l];
  const int d = l - c;
  uint8_t* t;
  if (d <= F::kDirectLimit) {
    ctx->twiddleTable = dst;
    t = reinterpret_cast<uint8_t*>(RadixTwiddleSingle(d, s, a, reinterpret_cast<Value*>(dst)));
  } else if (F::Split()[d] != 0) {
    t = InitLevelV0<F>(ctx, d, s, a, depth + 1, dst, scratch);
  } else {
    t = NoSplitTables(&ctx->twiddleTable, F::QuarterPairsSlot(ctx), d, s, a, dst);
  }
  CheckDepth(depth);
  *F::RowTableSlot(ctx, depth) = t;
  Value* level = RadixTwiddleSingle(c, s, a, reinterpret_cast<Value*>(t));
  ctx->levelTwiddle[depth] = level;
  LevelTableV0(l, c, s, a, level, scratch, F::BitRevColumn);
  int64_t work = 4 * F::kPointBytes * Pow2(c);
  if (ctx->workSize < work) ctx->workSize = static_cast<int32_t>(work);
  return reinterpret_cast<uint8_t*>(level) + F::kPointBytes * Pow2(l);
}

// The sizes of a variant-0 split level of order l: the sub-order's (direct
// radix table and 32 bytes, the next level, or the no-split tables), plus
// the row radix table and 32 bytes, the level table; in the init buffer the
// pair table of c bits and four columns of rows, which are also the work.
template <class F>
void GetLevelSizesV0(int l, int64_t* ctx, int64_t* init, int64_t* work) {
  const int c = F::Split()[l];
  const int d = l - c;
  const int64_t rows = Pow2(c);
  if (d > F::kDirectLimit && F::Split()[d] != 0) {
    GetLevelSizesV0<F>(d, ctx, init, work);
  } else {
    *ctx = d > F::kDirectLimit ? Round32(F::kPointBytes * Pow2(d) / 4) + F::kNoSplitExtra
                                      : Round32(F::kPointBytes * Pow2(d) + 16);
    *init = 0;
    *work = 0;
  }
  *ctx += Round32(F::kPointBytes * rows + 16) + F::kPointBytes * Pow2(l);
  *init += Round32(rows + 4) + 4 * F::kPointBytes * rows;
  if (*work < 4 * F::kPointBytes * rows) *work = 4 * F::kPointBytes * rows;
}

// Sizes of an order above the direct limit.
template <class F>
void GetLargeSizesV0(int m, int32_t* specBytes, int32_t* initBytes, int32_t* workBytes) {
  int64_t ctx = 0, init = 0, work = 0;
  if (F::Split()[m] == 0)
    ctx = Round32(F::kPointBytes * Pow2(m) / 4) + F::kNoSplitExtra;
  else
    GetLevelSizesV0<F>(m, &ctx, &init, &work);
  StoreSizes(ctx, init, work, specBytes, initBytes, workBytes);
}

}  // namespace

float* WuPerfFFT32fc_BaseTwiddle_V0(int32_t order, float* dst) {
  return BaseTwiddle(order, dst, kSineTable1024f);
}

uint32_t* WuPerfFFT_BitRevTable_V0(int32_t order, uint32_t* dst) {
  return BitRevPairTable(order, dst);
}

float* WuPerfFFT32fc_RadixTwiddle_V0(int32_t order, const float* s, int32_t a, float* dst) {
  return RadixTwiddleSingle(order, s, a, dst);
}

uint8_t* WuPerfFFT32fc_InitLevel_V0(FftSpec* ctx, int32_t order, const float* s, int32_t a,
                                    int32_t depth, uint8_t* dst, uint8_t* scratch) {
  return InitLevelV0<ComplexFamilyV0>(ctx, order, s, a, depth, dst, scratch);
}

uint8_t* WuPerfFFT32fc_InitLarge_V0(FftSpec* ctx, int32_t order, const float* s, int32_t a,
                                    uint8_t* dst, uint8_t* scratch) {
  BitRevPairTable(order, static_cast<uint32_t*>(ctx->bitRevTable));
  if (kComplexSplitV0.v[order] != 0)
    return WuPerfFFT32fc_InitLevel_V0(ctx, order, s, a, 0, dst, scratch);
  ctx->workSize = 0;
  return NoSplitTables(&ctx->twiddleTable, &ctx->columnTwiddle, order, s, a, dst);
}

void WuPerfFFT32fc_GetSizesLevel_V0(int32_t order, int64_t* ctx, int64_t* init, int64_t* work) {
  GetLevelSizesV0<ComplexFamilyV0>(order, ctx, init, work);
}

void WuPerfFFT32fc_GetSizesLarge_V0(int32_t order, int32_t* specBytes, int32_t* initBytes,
                                    int32_t* workBytes) {
  GetLargeSizesV0<ComplexFamilyV0>(order, specBytes, initBytes, workBytes);
}

double* WuPerfFFT64f_BaseTwiddle_V0(int32_t order, double* dst) {
  return BaseTwiddle(order, dst, kSineTable1024d);
}

double* WuPerfFFT64f_RadixTwiddle_V0(int32_t h, const double* s, int32_t a, double* dst) {
  return RadixTwiddleSingle(h, s, a, dst);
}

// N/4 pairs (0.5 cos, 0.5 - 0.5 sin), each formed in extended precision and
// rounded once.
double* WuPerfFFTFwd64f_RealTwiddle_V0(int32_t n, const double* s, int32_t a, double* dst) {
  const uint64_t pairs = (uint64_t{1} << n) / 4;
  for (uint64_t k = 0; k < pairs; ++k) {
    Twiddle<double> w = TwiddleAt(s, a, n, k);
    dst[2 * k] = static_cast<double>(0.5L * w.c);
    dst[2 * k + 1] = static_cast<double>(0.5L + 0.5L * w.ns);
  }
  return AlignUp32(AddBytes(dst, pairs == 0 ? 16 : static_cast<int64_t>(pairs) * 16));
}

double* WuPerfFFTInv64f_RealTwiddle_V0(int32_t n, const double* s, int32_t a, double* dst) {
  const uint64_t pairs = (uint64_t{1} << n) / 4;
  for (uint64_t k = 0; k < pairs; ++k) {
    Twiddle<double> w = TwiddleAt(s, a, n, k);
    dst[2 * k] = w.c;
    dst[2 * k + 1] = w.ns;
  }
  return AlignUp32(AddBytes(dst, pairs == 0 ? 16 : static_cast<int64_t>(pairs) * 16));
}

uint8_t* WuPerfFFT64f_InitLevel_V0(FftSpecReal* ctx, int32_t order, const double* s, int32_t a,
                                   int32_t depth, uint8_t* dst, uint8_t* scratch) {
  return InitLevelV0<RealFamilyV0>(ctx, order, s, a, depth, dst, scratch);
}

uint8_t* WuPerfFFT64f_InitLarge_V0(FftSpecReal* ctx, int32_t h, const double* s, int32_t a,
                                   uint8_t* dst, uint8_t* scratch) {
  BitRevPairTable(h, static_cast<uint32_t*>(ctx->bitRevTable));
  if (kRealSplitV0.v[h] != 0) return WuPerfFFT64f_InitLevel_V0(ctx, h, s, a, 0, dst, scratch);
  ctx->workSize = 0;
  return NoSplitTables(&ctx->twiddleTable, &ctx->blockTwiddle, h, s, a, dst);
}

void WuPerfFFT64f_GetSizesLevel_V0(int32_t order, int64_t* ctx, int64_t* init, int64_t* work) {
  GetLevelSizesV0<RealFamilyV0>(order, ctx, init, work);
}

void WuPerfFFT64f_GetSizesLarge_V0(int32_t h, int32_t* specBytes, int32_t* initBytes,
                                   int32_t* workBytes) {
  GetLargeSizesV0<RealFamilyV0>(h, specBytes, initBytes, workBytes);
}

}  // namespace wuperf::v0
