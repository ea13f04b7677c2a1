// Internal to the packed converters: the integer weights of one call and the
// plain and SSE2 row converters (rows of `width` pixels, width even).
#pragma once

#include <emmintrin.h>

#include "imaging/WuYuvMatrix.h"
#include "platform/types.h"

namespace wu_yuvpacked {

struct Weights {
  int yR, yG, yB;              // luma from R, G, B (x 4096)
  int uR, uG, uB;              // Cb from R, G, B (x 2048)
  int vR, vG, vB;              // Cr from R, G, B (x 2048)
  int vToR, vToG, uToG, uToB;  // inverse weights (x 4096)
};
Weights MakeWeights(const WUYUVMATRIX* m);

inline int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// UYVY to pixels of `bytesPerPixel` (3 or 4) and back.
void UyvyToRgbRow(const BYTE* uyvy, BYTE* dst, int width, int bytesPerPixel, const Weights& w);
void RgbToUyvyRow(const BYTE* src, BYTE* uyvy, int width, int bytesPerPixel, const Weights& w);
void UyvyToRgbRowSse2(const BYTE* uyvy, BYTE* dst, int width, int bytesPerPixel,
                      const Weights& w);
void RgbToUyvyRowSse2(const BYTE* src, BYTE* uyvy, int width, int bytesPerPixel,
                      const Weights& w);

// SSE2 helpers shared by the RGB to UYVY rows and the RGBA to YUYV rows.
// Weights (blue, green, red, 0) twice, for 16-bit lanes B, G, R, A of two
// pixels.
__m128i WeightsBgr0(int b, int g, int r);
// Four 32-bit pixels as 16-bit lanes B, G, R, 0 (pixels 0, 1 and 2, 3).
void LoadBgr4(const BYTE* s, __m128i* p01, __m128i* p23);
// The weighted sums of four pixels: `luma` gets the four pixels' sums
// under wY (32-bit lanes), `chroma` the two pairs' summed pixels under wU
// and wV (lanes U of pair 0, U of pair 1, V of pair 0, V of pair 1).
void WeighPixels4(__m128i p01, __m128i p23, __m128i wY, __m128i wU, __m128i wV, __m128i* luma,
                  __m128i* chroma);

}  // namespace wu_yuvpacked
