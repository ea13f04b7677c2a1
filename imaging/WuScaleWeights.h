// The cubic convolution weights (a = -0.5) of the bicubic scaler, in 4,096
// phases of four taps, as floats and as Q14 integers.
//
// Tap k of phase p weighs the source sample at distance 1 + t, t, 1 - t and
// 2 - t (k = 0..3) from the sampling point, with t = p / 4096. The tables
// are built exactly once per process, on the first request, under a
// one-time guard, so any thread may ask for them at any time.
#pragma once

#include "platform/kernel/types.h"

constexpr int WU_CUBIC_PHASES = 4096;  // phases per table

struct WUCUBICWEIGHTS {
  float f[WU_CUBIC_PHASES][4];  // float taps, each the kernel rounded to float
  LONG q[WU_CUBIC_PHASES][4];   // float taps * 16384, truncated (not renormalised)
};

// The tables, built on the first call.
const WUCUBICWEIGHTS& WuCubicWeights();
