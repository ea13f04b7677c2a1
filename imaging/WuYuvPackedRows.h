// Internal to the packed converters: the integer weights of one call and the
// plain and SSE2 row converters (rows of `width` pixels, width even).
#pragma once

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

}  // namespace wu_yuvpacked
