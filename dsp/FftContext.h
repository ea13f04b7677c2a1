// The FFT context heads: the complex single-precision head (context id 4)
// and the real double-precision head (context id 9).
//
// One context is one 32-byte-aligned block: the head, then the tables the
// set-up builds (dsp/FftTables.h), chained one after another. The head keeps
// the fields and order of the 32-bit design, each at its natural 64-bit size
// (pointers take 8 bytes), and ends with one field of our own: the variant
// whose builders laid the tables out, so that a context always meets the
// kernels that can read it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wuperf {

constexpr int32_t kFftContextComplex32fc = 4;  // contextId of a complex 32-bit context
constexpr int32_t kFftContextReal64f = 9;      // contextId of a real 64-bit context
constexpr int kFftSplitDepths = 3;             // split levels a large transform may have

// Complex single-precision context head.
struct FftSpec {
  int32_t contextId;     // 4; 0 after Free or a refused flag
  int32_t order;         // m, N = 2^m points
  int32_t scaleForward;  // 1: the forward transform multiplies by scaleFactor
  int32_t scaleInverse;  // 1: the inverse transform does
  float scaleFactor;     // 1/N, 1/sqrt(N) or 0.0
  int32_t hint;          // algorithm hint, stored unchanged
  int32_t workSize;      // scratch bytes of one transform; 0 = none
  int32_t ownsBlock;     // 1: the block was allocated by the set-up
  int32_t reserved;      // 0
  void* bitRevTable;     // bit-reversal table (orders >= 6)
  void* twiddleTable;    // radix twiddles of the direct order or of the leaf
  void* columnTwiddle;   // quarter-period pairs of the no-split path, else null
  int32_t zero[3];       // 0
  void* levelColumnTwiddle[kFftSplitDepths];  // V0: row radix table per depth
  void* levelTwiddle[kFftSplitDepths];        // level twiddle table per depth
  int32_t variant;       // the variant that built the tables (0..4)
};

// Real double-precision context head.
struct FftSpecReal {
  int32_t contextId;      // 9; 0 after Free or a refused flag
  int32_t order;          // m, N = 2^m real values
  int32_t scaleForward;   // 1: the forward transform multiplies by scaleFactor
  int32_t scaleInverse;   // 1: the inverse transform does
  double scaleFactor;     // 1/N, 1/sqrt(N) or 0.0
  int32_t hint;           // algorithm hint, stored unchanged
  int32_t workSize;       // scratch bytes of one transform; 0 = none
  int32_t ownsBlock;      // 1: the block was allocated by the set-up
  int32_t reserved;       // 0
  void* bitRevTable;      // bit-reversal table of the half-size transform
  void* twiddleTable;     // radix twiddles of the half-size transform or the leaf
  void* blockTwiddle;     // V0 without split entry: quarter-period pairs, else null
  void* chunkTwiddle;     // always null
  void* forwardRealTwiddle;  // forward post-pass table
  void* inverseRealTwiddle;  // inverse pre-pass table
  void* levelPassTwiddle[kFftSplitDepths];  // V0: row radix table per depth
  void* levelTwiddle[kFftSplitDepths];      // level twiddle table per depth
  int32_t variant;        // the variant that built the tables (0..4)
};

static_assert(offsetof(FftSpec, bitRevTable) == 40, "complex head: pointers after nine words");
static_assert(offsetof(FftSpec, levelColumnTwiddle) == 80, "complex head layout");
static_assert(sizeof(FftSpec) == 136, "complex head size");
static_assert(offsetof(FftSpecReal, scaleFactor) == 16, "real head: 64-bit factor");
static_assert(offsetof(FftSpecReal, bitRevTable) == 40, "real head: pointers after the words");
static_assert(sizeof(FftSpecReal) == 144, "real head size");

}  // namespace wuperf
