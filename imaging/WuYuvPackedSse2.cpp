// SSE2 rows of the packed converters: the plain rows' integer steps, four
// pixel pairs a step (UYVY to RGB) or two (RGB to UYVY); the pairs left at
// the end of a row go through the plain row.
#include <emmintrin.h>

#include <cstring>

#include "imaging/WuYuvPackedRows.h"

namespace wu_yuvpacked {

namespace {

// Two 16-bit weights (lo, hi) repeated in every 32-bit lane.
inline __m128i WeightPair(int lo, int hi) {
  return _mm_set1_epi32(static_cast<int>(static_cast<uint16_t>(lo) |
                                         (static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16)));
}

}  // namespace

// Channel = clamp(Y + ((term + 2048) >> 12)): the same value as
// (Y * 4096 + 2048 + term) >> 12, since Y * 4096 is a whole multiple of 4096.
void UyvyToRgbRowSse2(const BYTE* s, BYTE* d, int width, int bpp, const Weights& w) {
  const int steps = width / 8;
  const __m128i lowByte = _mm_set1_epi16(0x00FF);
  const __m128i bias = _mm_set1_epi16(128);
  const __m128i round = _mm_set1_epi32(2048);
  const __m128i wB = WeightPair(w.uToB, 0), wG = WeightPair(w.uToG, w.vToG);
  const __m128i wR = WeightPair(0, w.vToR);
  for (int i = 0; i < steps; ++i, s += 16, d += 8 * bpp) {
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i y = _mm_srli_epi16(words, 8);                         // Y0 .. Y7
    const __m128i uv = _mm_sub_epi16(_mm_and_si128(words, lowByte), bias);  // u0 v0 u1 v1 ...
    // Terms of the four pairs, each then repeated for the pair's two pixels.
    const __m128i tb = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(uv, wB), round), 12);
    const __m128i tg = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(uv, wG), round), 12);
    const __m128i tr = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(uv, wR), round), 12);
    const __m128i tbg = _mm_packs_epi32(tb, tg), trr = _mm_packs_epi32(tr, tr);
    const __m128i b = _mm_adds_epi16(y, _mm_unpacklo_epi16(tbg, tbg));
    const __m128i g = _mm_adds_epi16(y, _mm_unpackhi_epi16(tbg, tbg));
    const __m128i r = _mm_adds_epi16(y, _mm_unpacklo_epi16(trr, trr));
    const __m128i b8 = _mm_packus_epi16(b, b), g8 = _mm_packus_epi16(g, g);
    const __m128i r8 = _mm_packus_epi16(r, r), a8 = _mm_set1_epi8(-1);
    const __m128i bg = _mm_unpacklo_epi8(b8, g8), ra = _mm_unpacklo_epi8(r8, a8);
    if (bpp == 4) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi16(bg, ra));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_unpackhi_epi16(bg, ra));
    } else {
      alignas(16) BYTE px[32];
      _mm_store_si128(reinterpret_cast<__m128i*>(px), _mm_unpacklo_epi16(bg, ra));
      _mm_store_si128(reinterpret_cast<__m128i*>(px + 16), _mm_unpackhi_epi16(bg, ra));
      for (int p = 0; p < 8; ++p) std::memcpy(d + 3 * p, px + 4 * p, 3);
    }
  }
  if (width % 8) UyvyToRgbRow(s, d, width % 8, bpp, w);
}

void RgbToUyvyRowSse2(const BYTE* s, BYTE* d, int width, int bpp, const Weights& w) {
  const int steps = width / 4;
  const __m128i wY = WeightsBgr0(w.yB, w.yG, w.yR);
  const __m128i wU = WeightsBgr0(w.uB, w.uG, w.uR);
  const __m128i wV = WeightsBgr0(w.vB, w.vG, w.vR);
  const __m128i lo = _mm_set1_epi16(1), hi = _mm_set1_epi16(254);
  for (int i = 0; i < steps; ++i, s += 4 * bpp, d += 8) {
    // Pixels 0, 1 and 2, 3 as 16-bit B, G, R, 0 lanes.
    __m128i p01, p23;
    if (bpp == 4) {
      LoadBgr4(s, &p01, &p23);
    } else {
      p01 = _mm_setr_epi16(s[0], s[1], s[2], 0, s[3], s[4], s[5], 0);
      p23 = _mm_setr_epi16(s[6], s[7], s[8], 0, s[9], s[10], s[11], 0);
    }
    __m128i ySum, cSum;
    WeighPixels4(p01, p23, wY, wU, wV, &ySum, &cSum);
    const __m128i y = _mm_srai_epi32(_mm_add_epi32(ySum, _mm_set1_epi32(2048)), 12);
    const __m128i c = _mm_srai_epi32(_mm_add_epi32(cSum, _mm_set1_epi32(526336)), 12);
    // U0 U1 V0 V1 and Y0 .. Y3 in 16-bit lanes, clamped to 1..254.
    const __m128i c16 = _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(c, c), lo), hi);
    const __m128i y16 = _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(y, y), lo), hi);
    const __m128i uv = _mm_shufflelo_epi16(c16, _MM_SHUFFLE(3, 1, 2, 0));  // U0 V0 U1 V1
    const __m128i out = _mm_unpacklo_epi16(uv, y16);  // U0 Y0 V0 Y1 U1 Y2 V1 Y3
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(out, out));
  }
  if (width % 4) RgbToUyvyRow(s, d, width % 4, bpp, w);
}

}  // namespace wu_yuvpacked
