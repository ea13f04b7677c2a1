// Gamma transfer curves with optional sampled tables.
//
// A curve of gamma g is a power segment joined to a linear segment near 0,
// continuous where they meet and odd-symmetric about 0:
//   - encoding side (g at most 1.0, mode 1):  k * x below the threshold t,
//     (1 + a) * x^g - a above it (g = 1 is the identity);
//   - decoding side (g above 1.0, mode 0):    k * x below t,
//     ((x + a) * s)^g above it, passing through (1, 1).
// The parameters are derived from g alone (at g = 0.45: t near 0.018, k
// near 4.5, a near 0.099). All arithmetic is in single precision.
//
// Tables sample the curve over 0..1 at n + 1 points plus one entry past 1.0
// for interpolation at 1.0. Both are zero-filled global memory owned by the
// curve; changing the gamma drops them, so a table always matches its
// curve. A curve has no lock: one thread uses it at a time.
#pragma once

#include "platform/kernel/types.h"

struct WuGammaCurve {
  BYTE mode;         // 1 encoding side (g <= 1.0), 0 decoding side (g > 1.0)
  float gamma;       // g
  float threshold;   // t: below it the curve is linear
  float offset;      // a
  float scale;       // s (mode 0 only; 1.0 otherwise)
  float slope;       // k: slope of the linear part
  LONG last;         // n: the last sampled index (table size - 1)
  float* table;      // n + 2 floats, or null
  BYTE* byteTable;   // n + 2 bytes, or null
};

// n 0, no tables, gamma 1.0.
void WuGammaCurve_Init(WuGammaCurve* curve);
// Frees the tables.
void WuGammaCurve_Destroy(WuGammaCurve* curve);
// WuGammaCurve_Init / WuGammaCurve_Destroy for two consecutive curves (the
// store and fetch curves of a pixel-exchange record).
void WuGammaCurvePair_Init(WuGammaCurve* pair);
void WuGammaCurvePair_Free(WuGammaCurve* pair);

// Drops the tables and derives the parameters for gamma g. A gamma that is
// not above 0 (or not a number) has no curve and is taken as 1.0.
void WuGammaCurve_SetGamma(WuGammaCurve* curve, float gamma);
// The curve's value at x.
float WuGammaCurve_Apply(const WuGammaCurve* curve, float x);

// Replace both tables by a float table of `count` + 1 samples of
// Apply(i / (count - 1)), or by a byte table of the same samples * 255,
// rounded. Nothing is built for a count below 2 or one too large.
void WuGammaCurve_BuildTable(WuGammaCurve* curve, int count);
void WuGammaCurve_BuildByteTable(WuGammaCurve* curve, int count);

// Interpolated value from the float table: NaN gives 0, x outside 0..1
// gives Apply(x). Without a table the curve is evaluated directly.
float WuGammaCurve_Lookup(const WuGammaCurve* curve, float x);
// Byte from the byte table: NaN or x below 0 gives 0, x above 1 gives 255.
// Without a table the curve is evaluated directly.
BYTE WuGammaCurve_LookupByte(const WuGammaCurve* curve, float x);
// The float table's entry at an index; 0.0 without a table or outside it.
float WuGammaCurve_GetTableEntry(const WuGammaCurve* curve, int index);
// TRUE when the gamma lies outside 0.999 .. 1.001.
BOOL WuGammaCurve_IsNonUnity(const WuGammaCurve* curve);
// Frees both tables and sets their pointers to null.
void WuGammaCurve_FreeTables(WuGammaCurve* curve);
