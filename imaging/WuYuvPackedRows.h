// Internal to the packed converters: the integer weights of one call and the
// plain and SSE2 row converters (rows of `width` pixels, width even).
#pragma once

#include <emmintrin.h>

#include "imaging/WuYuvMatrix.h"
#include "platform/kernel/types.h"

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
inline __m128i WeightsBgr0(int b, int g, int r) {
  const short sb = static_cast<short>(b), sg = static_cast<short>(g), sr = static_cast<short>(r);
  return _mm_setr_epi16(sb, sg, sr, 0, sb, sg, sr, 0);
}

// Four 32-bit pixels as 16-bit lanes B, G, R, 0 (pixels 0, 1 and 2, 3).
inline void LoadBgr4(const BYTE* s, __m128i* p01, __m128i* p23) {
  const __m128i raw = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)),
                                    _mm_set1_epi32(0x00FFFFFF));
  *p01 = _mm_unpacklo_epi8(raw, _mm_setzero_si128());
  *p23 = _mm_unpackhi_epi8(raw, _mm_setzero_si128());
}

// Adds the (B, G) and (R, 0) halves of each pixel's weighted sum: lanes
// a's two pixels, then b's.
inline __m128i AddWeighedHalves(__m128i a, __m128i b) {
  const __m128 fa = _mm_castsi128_ps(a), fb = _mm_castsi128_ps(b);
  return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(2, 0, 2, 0))),
                       _mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(3, 1, 3, 1))));
}

// The weighted sums of four pixels: `luma` gets the four pixels' sums
// under wY (32-bit lanes), `chroma` the two pairs' summed pixels under wU
// and wV (lanes U of pair 0, U of pair 1, V of pair 0, V of pair 1).
inline void WeighPixels4(__m128i p01, __m128i p23, __m128i wY, __m128i wU, __m128i wV,
                         __m128i* luma, __m128i* chroma) {
  *luma = AddWeighedHalves(_mm_madd_epi16(p01, wY), _mm_madd_epi16(p23, wY));
  const __m128i pairs = _mm_unpacklo_epi64(_mm_add_epi16(p01, _mm_srli_si128(p01, 8)),
                                           _mm_add_epi16(p23, _mm_srli_si128(p23, 8)));
  *chroma = AddWeighedHalves(_mm_madd_epi16(pairs, wU), _mm_madd_epi16(pairs, wV));
}

}  // namespace wu_yuvpacked
