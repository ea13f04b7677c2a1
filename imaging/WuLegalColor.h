// Legal-colour check for broadcast composite video.
//
// Composite video limits how far luma plus chroma may swing: a colour
// whose composite peak Y + sqrt(C1^2 + C2^2) exceeds the standard's limit
// is "hot". The colour is one linear-light WURGBAFLOAT pixel; blue, green
// and red are first put through the Rec. 709 transfer curve, then through
// the standard's matrix (YIQ or YUV). Limits: NTSC 1.2162162, PAL 1.2.
//
// The pull-back forms reduce a hot colour's chroma, keeping its luma, until
// the peak sits at 1.15 (NTSC measures it on the scaled signal
// 0.925 * (Y + chroma) + 0.075), convert back to linear light, clamp blue,
// green and red to 0.0 .. 1.0 and keep alpha. All arithmetic is in 32-bit
// floats. The functions are pure and keep no state.
#pragma once

#include "imaging/WuColorRecords.h"
#include "platform/kernel/types.h"

// 1 when the colour is hot, 0 when it is legal; the pixel is not changed.
int HotCheckNTSCYIQ(const WURGBAFLOAT* pixel);
int HotCheckNTSCYUV(const WURGBAFLOAT* pixel);
int HotCheckPALYUV(const WURGBAFLOAT* pixel);

// 0 when the colour is legal (pixel unchanged); 1 when it was hot and has
// been pulled back in place.
int HotCheckNTSCYIQReturn(WURGBAFLOAT* pixel);
int HotCheckNTSCYUVReturn(WURGBAFLOAT* pixel);
int HotCheckPALYUVReturn(WURGBAFLOAT* pixel);

// ---- Building blocks ---------------------------------------------------------------
// Each maps blue, green and red of `in` into `out` (which may be `in`) and
// copies alpha.

// Rec. 709 transfer: 4.5 * L below 0.018, else 1.099 * L^0.45 - 0.099.
void HotLinearToVideo(WURGBAFLOAT* out, const WURGBAFLOAT* in);
// Its inverse: v / 4.5 below 0.081, else ((v + 0.099) / 1.099)^(1 / 0.45).
void HotVideoToLinear(WURGBAFLOAT* out, const WURGBAFLOAT* in);

// A 3 x 3 matrix: each output is m0 * first + m1 * second + m2 * third,
// accumulated left to right. Inputs and outputs are the first three floats
// of a pixel (blue, green, red on the RGB side; Y, C1, C2 on the other).
void HotMatrixApply(const float matrix[9], WURGBAFLOAT* out, const WURGBAFLOAT* in);
void HotRgbToYuv(WURGBAFLOAT* out, const WURGBAFLOAT* in);
void HotYuvToRgb(WURGBAFLOAT* out, const WURGBAFLOAT* in);
void HotRgbToYiq(WURGBAFLOAT* out, const WURGBAFLOAT* in);
void HotYiqToRgb(WURGBAFLOAT* out, const WURGBAFLOAT* in);
// Float square root.
float HotSqrtF(float x);
