// Variant 0 (generic): the FFT set-up table builders and size walks, with
// the variant's own layouts: the pair bit-reversal table, one radix table of
// six-value records per order, and split levels whose twiddles stand in
// bit-reversed row order.
#include <cstring>

#include "dsp/FftTables.h"
#include "dsp/FftVariants.h"

namespace wuperf::v0 {

namespace {

// Bytes of the built-in radix table and its reservation on the no-split path.
constexpr int64_t kComplexNoSplitExtra = 0x2020;
constexpr int64_t kRealNoSplitExtra = 0x4020;

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

void BitRevColumn32(float* col, int32_t count, const uint32_t* pairs) {
  WuPerfFFT32fc_BitRevInPlace_V0(col, count, pairs);
}
void BitRevColumn64(double* col, int32_t count, const uint32_t* pairs) {
  WuPerfFFT64f_BitRevInPlace_V0(col, count, pairs);
}

// The radix table of order 10 followed by the quarter-period pairs of
// order m (an order above 10 without split entry); returns their end.
template <class T>
uint8_t* NoSplitTables(void** twiddle, void** pairsSlot, int m, const T* s, int a, uint8_t* dst) {
  *twiddle = dst;
  T* pairs = RadixTwiddleSingle(kComplexDirectLimitV0, s, a, reinterpret_cast<T*>(dst));
  *pairsSlot = pairs;
  return reinterpret_cast<uint8_t*>(QuarterPeriodPairs(m, s, a, pairs));
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

uint8_t* WuPerfFFT32fc_InitLevel_V0(FftSpec* spec, int32_t order, const float* s, int32_t a,
                                    int32_t depth, uint8_t* dst, uint8_t* scratch) {
  const int c = kComplexSplitV0.v[order];
  const int d = order - c;
  uint8_t* t;
  if (d <= kComplexDirectLimitV0) {
    spec->twiddleTable = dst;
    t = reinterpret_cast<uint8_t*>(RadixTwiddleSingle(d, s, a, reinterpret_cast<float*>(dst)));
    spec->workSize = 0;
  } else if (kComplexSplitV0.v[d] != 0) {
    t = WuPerfFFT32fc_InitLevel_V0(spec, d, s, a, depth + 1, dst, scratch);
  } else {
    t = NoSplitTables(&spec->twiddleTable, &spec->columnTwiddle, d, s, a, dst);
    spec->workSize = 0;
  }
  CheckDepth(depth);
  spec->levelColumnTwiddle[depth] = t;
  float* level = RadixTwiddleSingle(c, s, a, reinterpret_cast<float*>(t));
  spec->levelTwiddle[depth] = level;
  LevelTableV0(order, c, s, a, level, scratch, BitRevColumn32);
  int64_t work = 32 * Pow2(c);
  if (spec->workSize < work) spec->workSize = static_cast<int32_t>(work);
  return reinterpret_cast<uint8_t*>(level) + kComplex32Bytes * Pow2(order);
}

uint8_t* WuPerfFFT32fc_InitLarge_V0(FftSpec* spec, int32_t order, const float* s, int32_t a,
                                    uint8_t* dst, uint8_t* scratch) {
  BitRevPairTable(order, static_cast<uint32_t*>(spec->bitRevTable));
  if (kComplexSplitV0.v[order] != 0)
    return WuPerfFFT32fc_InitLevel_V0(spec, order, s, a, 0, dst, scratch);
  spec->workSize = 0;
  return NoSplitTables(&spec->twiddleTable, &spec->columnTwiddle, order, s, a, dst);
}

void WuPerfFFT32fc_GetSizesLevel_V0(int32_t order, int64_t* spec, int64_t* init, int64_t* work) {
  const int c = kComplexSplitV0.v[order];
  const int d = order - c;
  const int64_t rows = Pow2(c);
  if (d > kComplexDirectLimitV0 && kComplexSplitV0.v[d] != 0) {
    WuPerfFFT32fc_GetSizesLevel_V0(d, spec, init, work);
  } else {
    *spec = d > kComplexDirectLimitV0
                ? Round32(kComplex32Bytes * Pow2(d) / 4) + kComplexNoSplitExtra
                : (kComplex32Bytes * Pow2(d) + 39) & ~int64_t{31};
    *init = 0;
    *work = 0;
  }
  *spec += ((rows * kComplex32Bytes + 39) & ~int64_t{31}) + kComplex32Bytes * Pow2(order);
  *init += ((rows / 4 * 4 + 35) & ~int64_t{31}) + rows * 32;
  if (*work < rows * 32) *work = rows * 32;
}

void WuPerfFFT32fc_GetSizesLarge_V0(int32_t order, int32_t* specBytes, int32_t* initBytes,
                                    int32_t* workBytes) {
  int64_t spec = 0, init = 0, work = 0;
  if (kComplexSplitV0.v[order] == 0)
    spec = Round32(kComplex32Bytes * Pow2(order) / 4) + kComplexNoSplitExtra;
  else
    WuPerfFFT32fc_GetSizesLevel_V0(order, &spec, &init, &work);
  StoreSizes(spec, init, work, specBytes, initBytes, workBytes);
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

uint8_t* WuPerfFFT64f_InitLevel_V0(FftSpecReal* spec, int32_t order, const double* s, int32_t a,
                                   int32_t depth, uint8_t* dst, uint8_t* scratch) {
  const int sp = kRealSplitV0.v[order];
  const int d = order - sp;
  uint8_t* t;
  if (d <= kRealDirectLimitV0) {
    spec->twiddleTable = dst;
    t = reinterpret_cast<uint8_t*>(RadixTwiddleSingle(d, s, a, reinterpret_cast<double*>(dst)));
  } else if (kRealSplitV0.v[d] != 0) {
    t = WuPerfFFT64f_InitLevel_V0(spec, d, s, a, depth + 1, dst, scratch);
  } else {
    t = NoSplitTables(&spec->twiddleTable, &spec->blockTwiddle, d, s, a, dst);
  }
  CheckDepth(depth);
  spec->levelPassTwiddle[depth] = t;
  double* level = RadixTwiddleSingle(sp, s, a, reinterpret_cast<double*>(t));
  spec->levelTwiddle[depth] = level;
  LevelTableV0(order, sp, s, a, level, scratch, BitRevColumn64);
  int64_t work = 64 * Pow2(sp);
  if (spec->workSize < work) spec->workSize = static_cast<int32_t>(work);
  return reinterpret_cast<uint8_t*>(level) + kComplex64Bytes * Pow2(order);
}

uint8_t* WuPerfFFT64f_InitLarge_V0(FftSpecReal* spec, int32_t h, const double* s, int32_t a,
                                   uint8_t* dst, uint8_t* scratch) {
  BitRevPairTable(h, static_cast<uint32_t*>(spec->bitRevTable));
  if (kRealSplitV0.v[h] != 0) return WuPerfFFT64f_InitLevel_V0(spec, h, s, a, 0, dst, scratch);
  spec->workSize = 0;
  return NoSplitTables(&spec->twiddleTable, &spec->blockTwiddle, h, s, a, dst);
}

void WuPerfFFT64f_GetSizesLevel_V0(int32_t order, int64_t* spec, int64_t* init, int64_t* work) {
  const int sp = kRealSplitV0.v[order];
  const int d = order - sp;
  const int64_t rows = Pow2(sp);
  if (d > kRealDirectLimitV0 && kRealSplitV0.v[d] != 0) {
    WuPerfFFT64f_GetSizesLevel_V0(d, spec, init, work);
  } else {
    *spec = d > kRealDirectLimitV0 ? Round32(kComplex64Bytes * Pow2(d) / 4) + kRealNoSplitExtra
                                   : Round32(kComplex64Bytes * Pow2(d) + 16);
    *init = 0;
    *work = 0;
  }
  *spec += kComplex64Bytes * Pow2(order) + Round32(kComplex64Bytes * rows + 16);
  *init += Round32(rows + 4) + 64 * rows;
  if (*work < 64 * rows) *work = 64 * rows;
}

void WuPerfFFT64f_GetSizesLarge_V0(int32_t h, int32_t* specBytes, int32_t* initBytes,
                                   int32_t* workBytes) {
  int64_t spec = 0, init = 0, work = 0;
  if (kRealSplitV0.v[h] == 0)
    spec = Round32(kComplex64Bytes * Pow2(h) / 4) + kRealNoSplitExtra;
  else
    WuPerfFFT64f_GetSizesLevel_V0(h, &spec, &init, &work);
  StoreSizes(spec, init, work, specBytes, initBytes, workBytes);
}

}  // namespace wuperf::v0
