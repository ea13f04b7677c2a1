// Sample conversion kernels and the floating-point guards they use.
//
// A kernel converts `count` interleaved samples (frames times channels) of
// one plain sample type into another, multiplying by `gain` unless it is
// exactly 1.0. Every kernel follows one rule: decode the source sample to a
// real value (an integer s as s / F, F = 2^(bits - 1); floats unchanged),
// multiply by the gain, encode: floats without clamping, integers as v * F
// clamped to [-F, F - 1] and rounded to nearest, ties to even; NaN gives
// silence. Same type at gain 1.0 is a memory copy (nothing in place); the
// byte-order pairs at gain 1.0 reverse each sample's bytes. A kernel whose
// destination is wider than its source runs from the last sample, every
// other one from the first, so every kernel works in place (dest == src).
// Kernels take any alignment, check nothing and report nothing.
//
// There is one kernel for each of the 117 pairs of the eleven plain types
// (none for 16- and 24-bit big-endian destinations from 24-in-32 and 32-bit
// big-endian sources), and for ten pairs further variants written for a
// processor level. The kernel table below names them all; the dispatcher
// chooses among them.
#pragma once

#include <cstdint>

#include "audio/WuSampleType.h"
#include "platform/kernel/types.h"

// A conversion kernel.
typedef void (*WuAudioCopyFunc)(void* dest, const void* src, int32_t count, float gain);

// The variants of a pair. A pair with a single kernel has only kScalar.
enum class WuAudioCopyVariant : int32_t {
  kScalar = 0,    // portable code, binary64 arithmetic, the rounding mode in force
  kX87Store = 1,  // x87 arithmetic and integer store, under WuAudio_SetFpuRoundNearest
  kSse = 2,       // SSE / SSE2 loops for float32 sources (no MMX registers)
  kSse2 = 3,      // SSE2 loops
  kSse41 = 4,     // SSE4.1 loop
};

// One row of the kernel table.
struct WuAudioCopyKernel {
  WUSAMPLETYPE dest;           // destination sample type
  WUSAMPLETYPE src;            // source sample type
  WuAudioCopyVariant variant;  // which variant
  WuAudioCopyFunc function;    // the kernel
};

// Every kernel and variant: the 117 pairs' kernels (kScalar), then the
// other variants of the ten pairs. Constant for the life of the process.
const WuAudioCopyKernel* WuAudio_GetCopyKernelTable(int32_t* count);

// The kernel of a pair and variant, or null when there is none.
WuAudioCopyFunc WuAudio_FindCopyKernel(WUSAMPLETYPE dest, WUSAMPLETYPE src,
                                       WuAudioCopyVariant variant);

// Loads the calling thread's x87 control word and returns the previous
// one. 0 stands for the current word with rounding to nearest (bits 10-11
// cleared; precision control left as it is).
WORD WuAudio_SetFpuRoundNearest(WORD control);

// Loads the calling thread's MXCSR and returns the previous value. 0 stands
// for the current MXCSR with rounding to nearest (bits 13-14 cleared), and
// flush-to-zero with denormals-are-zero (0x8040) when the processor as
// detected supports them (WUCPU_FTZ_DAZ), whatever the allowed-feature mask
// says. Only the low 16 bits of a non-zero value are used.
DWORD WuAudio_SetSseRoundNearest(DWORD mxcsr);
