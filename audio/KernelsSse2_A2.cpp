// SSE and SSE2 variants (SSE registers only; no MMX registers).
//
// Integer-from-float loops multiply by gain * F in the precision of the
// source, take NaN as 0 and clamp in floating point, convert with MXCSR
// rounding (to nearest under WuAudio_SetSseRoundNearest) and narrow. The
// 8- and 16-bit loops (but 16-bit from float64) write with non-temporal
// stores and fence them before returning. Heads and tails that are not
// whole blocks run as the scalar rule.
#include <emmintrin.h>

#include <cstring>

#include "audio/KernelVariants.h"
#include "audio/SampleCodec.h"
#include "audio/Widen16Simd.h"
#include "platform/kernel/cpu.h"

namespace wuaudio {
namespace a2 {

namespace {

// NaN lanes as 0, then at most `hi`; the 24-bit loops then also raise
// them to at least -F (after the NaN test, which max would hide).
inline __m128 ZeroNanMin(__m128 x, __m128 hi) {
  return _mm_min_ps(_mm_and_ps(x, _mm_cmpord_ps(x, x)), hi);
}
inline __m128d ZeroNanMin(__m128d x, __m128d hi) {
  return _mm_min_pd(_mm_and_pd(x, _mm_cmpord_pd(x, x)), hi);
}

// Eight bytes written past the cache.
inline void StreamLow64(unsigned char* p, __m128i v) {
  _mm_stream_si64(reinterpret_cast<long long*>(p), _mm_cvtsi128_si64(v));
}
inline void Stream128(unsigned char* p, __m128i v) {
  if ((reinterpret_cast<uintptr_t>(p) & 15) == 0) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
  } else {
    StreamLow64(p, v);
    StreamLow64(p + 8, _mm_unpackhi_epi64(v, v));
  }
}

// Four 24-bit values (in 32-bit lanes) as 12 little-endian bytes in the
// low 12 bytes of the result (the top 4 bytes 0).
inline __m128i Pack24x4(__m128i v) {
  const __m128i low24 = _mm_set1_epi32(0x00FFFFFF);
  const __m128i low32 = _mm_set_epi32(0, -1, 0, -1);
  __m128i x = _mm_and_si128(v, low24);
  // Each 64-bit lane: 6 bytes, the second value joined to the first.
  __m128i pairs = _mm_or_si128(_mm_and_si128(x, low32), _mm_srli_epi64(_mm_andnot_si128(low32, x), 8));
  const __m128i lane0 = _mm_set_epi32(0, 0, 0x0000FFFF, -1);
  return _mm_or_si128(_mm_and_si128(pairs, lane0),
                      _mm_srli_si128(_mm_andnot_si128(lane0, pairs), 2));
}

// Writes blocks of four 24-bit samples from sample `i` on while `convert4`
// has them; returns the first sample not written. While at least eight
// samples remain, each block is one 16-byte store whose last 4 bytes the
// next block or the tail writes again (never past the destination, and in
// place never over a source sample not yet read).
template <typename Convert4>
inline int32_t Write24(unsigned char* d, int32_t i, int32_t count, Convert4 convert4) {
  for (; count - i >= 8; i += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * i), Pack24x4(convert4(i)));
  for (; count - i >= 4; i += 4) {
    __m128i packed = Pack24x4(convert4(i));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 3 * i), packed);
    int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
    std::memcpy(d + 3 * i + 8, &last, 4);
  }
  return i;
}

// ---- From float32 ---------------------------------------------------------------------
// Source 4-byte aligned: scalar up to its 16-byte boundary, SIMD blocks,
// scalar rest; otherwise all scalar.

template <WUSAMPLETYPE D>
void IntFromFloat32(void* dest, const void* src, int32_t count, float gain) {
  if (count <= 0) return;
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(src);
  const uintptr_t address = reinterpret_cast<uintptr_t>(s);
  if (address & 3) {
    ConvertRange<D, WUSAMPLE_FLOAT32>(d, s, 0, count, gain);
    return;
  }
  int32_t head = static_cast<int32_t>(((16 - (address & 15)) & 15) / 4);
  if (head > count) head = count;
  ConvertRange<D, WUSAMPLE_FLOAT32>(d, s, 0, head, gain);
  int32_t i = head;
  constexpr float kF = static_cast<float>(FullScale(D));
  const __m128 k = _mm_set1_ps(gain * kF);
  const __m128 hi = _mm_set1_ps(kF - 1.0f);
  DWORD saved = WuAudio_SetSseRoundNearest(0);
  auto convert4 = [&](int32_t at) {
    __m128 x = ZeroNanMin(_mm_mul_ps(_mm_loadu_ps(reinterpret_cast<const float*>(s + 4 * at)), k), hi);
    if constexpr (D == WUSAMPLE_PCM24) x = _mm_max_ps(x, _mm_set1_ps(-kF));
    return _mm_cvtps_epi32(x);
  };
  if constexpr (D == WUSAMPLE_PCM24) {
    i = Write24(d, i, count, convert4);
  } else {
    for (; count - i >= 16; i += 16) {
      __m128i a = _mm_packs_epi32(convert4(i), convert4(i + 4));
      __m128i b = _mm_packs_epi32(convert4(i + 8), convert4(i + 12));
      if constexpr (D == WUSAMPLE_PCM16) {
        Stream128(d + 2 * i, a);
        Stream128(d + 2 * i + 16, b);
      } else {
        Stream128(d + i, _mm_xor_si128(_mm_packs_epi16(a, b), _mm_set1_epi8(-128)));
      }
    }
    for (; count - i >= 4; i += 4) {
      __m128i a = _mm_packs_epi32(convert4(i), convert4(i));
      if constexpr (D == WUSAMPLE_PCM16) {
        StreamLow64(d + 2 * i, a);
      } else {
        __m128i b = _mm_xor_si128(_mm_packs_epi16(a, a), _mm_set1_epi8(-128));
        int32_t four = _mm_cvtsi128_si32(b);
        _mm_stream_si32(reinterpret_cast<int*>(d + i), four);
      }
    }
    _mm_sfence();
  }
  platform::SetMxcsr(saved);
  ConvertRange<D, WUSAMPLE_FLOAT32>(d, s, i, count, gain);
}

// ---- From float64 ---------------------------------------------------------------------
// One scalar sample when the source is 8- but not 16-byte aligned, SIMD
// blocks, scalar rest.

template <WUSAMPLETYPE D>
void IntFromFloat64(void* dest, const void* src, int32_t count, float gain) {
  if (count <= 0) return;
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(src);
  const uintptr_t address = reinterpret_cast<uintptr_t>(s);
  int32_t i = (address & 15) == 8 ? 1 : 0;
  if (i > count) i = count;
  ConvertRange<D, WUSAMPLE_FLOAT64>(d, s, 0, i, gain);
  constexpr double kF = FullScale(D);
  const __m128d k = _mm_set1_pd(static_cast<double>(gain) * kF);
  const __m128d hi = _mm_set1_pd(kF - 1.0);
  DWORD saved = WuAudio_SetSseRoundNearest(0);
  // Four samples as 32-bit integers.
  auto convert4 = [&](int32_t at) {
    const double* p = reinterpret_cast<const double*>(s + 8 * at);
    __m128d x = ZeroNanMin(_mm_mul_pd(_mm_loadu_pd(p), k), hi);
    __m128d y = ZeroNanMin(_mm_mul_pd(_mm_loadu_pd(p + 2), k), hi);
    if constexpr (D == WUSAMPLE_PCM24) {
      x = _mm_max_pd(x, _mm_set1_pd(-kF));
      y = _mm_max_pd(y, _mm_set1_pd(-kF));
    }
    return _mm_unpacklo_epi64(_mm_cvtpd_epi32(x), _mm_cvtpd_epi32(y));
  };
  if constexpr (D == WUSAMPLE_PCM24) {
    i = Write24(d, i, count, convert4);
  } else if constexpr (D == WUSAMPLE_PCM16) {
    for (; count - i >= 8; i += 8)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * i),
                       _mm_packs_epi32(convert4(i), convert4(i + 4)));
  } else {
    for (; count - i >= 16; i += 16) {
      __m128i a = _mm_packs_epi32(convert4(i), convert4(i + 4));
      __m128i b = _mm_packs_epi32(convert4(i + 8), convert4(i + 12));
      Stream128(d + i, _mm_xor_si128(_mm_packs_epi16(a, b), _mm_set1_epi8(-128)));
    }
    _mm_sfence();
  }
  platform::SetMxcsr(saved);
  ConvertRange<D, WUSAMPLE_FLOAT64>(d, s, i, count, gain);
}

// Sign-extends the four 16-bit values in the low half.
inline __m128i Widen16Sse2(__m128i raw) { return _mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16); }

}  // namespace

void Pcm8FromFloat32_Sse(void* dest, const void* src, int32_t count, float gain) {
  IntFromFloat32<WUSAMPLE_PCM8>(dest, src, count, gain);
}
void Pcm16FromFloat32_Sse(void* dest, const void* src, int32_t count, float gain) {
  IntFromFloat32<WUSAMPLE_PCM16>(dest, src, count, gain);
}
void Pcm24FromFloat32_Sse(void* dest, const void* src, int32_t count, float gain) {
  IntFromFloat32<WUSAMPLE_PCM24>(dest, src, count, gain);
}
void Pcm8FromFloat64_Sse2(void* dest, const void* src, int32_t count, float gain) {
  IntFromFloat64<WUSAMPLE_PCM8>(dest, src, count, gain);
}
void Pcm16FromFloat64_Sse2(void* dest, const void* src, int32_t count, float gain) {
  IntFromFloat64<WUSAMPLE_PCM16>(dest, src, count, gain);
}
void Pcm24FromFloat64_Sse2(void* dest, const void* src, int32_t count, float gain) {
  IntFromFloat64<WUSAMPLE_PCM24>(dest, src, count, gain);
}

// The SSE variant takes four samples per block, the SSE2 variant eight.
void Float32FromPcm16_Sse(void* dest, const void* src, int32_t count, float gain) {
  Float32FromPcm16Loop<4>(dest, src, count, gain, Widen16Sse2);
}
void Float32FromPcm16_Sse2(void* dest, const void* src, int32_t count, float gain) {
  Float32FromPcm16Loop<8>(dest, src, count, gain, Widen16Sse2);
}

void Float64FromPcm16_Sse2(void* dest, const void* src, int32_t count, float gain) {
  if (count <= 0) return;
  if (dest == src) {
    ConvertByRule<WUSAMPLE_FLOAT64, WUSAMPLE_PCM16>(dest, src, count, gain);
    return;
  }
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(src);
  const uintptr_t address = reinterpret_cast<uintptr_t>(s);
  // Up to the source's 16-byte boundary one at a time (all of them when the
  // source is not 2-byte aligned).
  int32_t head = (address & 1) ? count : static_cast<int32_t>(((16 - (address & 15)) & 15) / 2);
  if (head > count) head = count;
  DWORD saved = WuAudio_SetSseRoundNearest(0);
  ConvertRange<WUSAMPLE_FLOAT64, WUSAMPLE_PCM16>(d, s, 0, head, gain);
  int32_t i = head;
  const __m128d k = _mm_set1_pd(static_cast<double>(gain) / 32768.0);
  for (; count - i >= 8; i += 8) {
    __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * i));
    __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16);
    __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(raw, raw), 16);
    double* out = reinterpret_cast<double*>(d + 8 * i);
    _mm_storeu_pd(out, _mm_mul_pd(_mm_cvtepi32_pd(lo), k));
    _mm_storeu_pd(out + 2, _mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(lo, 8)), k));
    _mm_storeu_pd(out + 4, _mm_mul_pd(_mm_cvtepi32_pd(hi), k));
    _mm_storeu_pd(out + 6, _mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(hi, 8)), k));
  }
  ConvertRange<WUSAMPLE_FLOAT64, WUSAMPLE_PCM16>(d, s, i, count, gain);
  platform::SetMxcsr(saved);
}

void Float32FromFloat64_Sse2(void* dest, const void* src, int32_t count, float gain) {
  if (gain != 1.0f) {
    ConvertByRule<WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64>(dest, src, count, gain);
    return;
  }
  if (count <= 0) return;
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(src);
  int32_t i = 0;
  for (; count - i >= 4; i += 4) {
    const double* p = reinterpret_cast<const double*>(s + 8 * i);
    __m128 a = _mm_cvtpd_ps(_mm_loadu_pd(p));
    __m128 b = _mm_cvtpd_ps(_mm_loadu_pd(p + 2));
    _mm_storeu_ps(reinterpret_cast<float*>(d + 4 * i), _mm_movelh_ps(a, b));
  }
  ConvertRange<WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64>(d, s, i, count, gain);
}

void Float64FromFloat32_Sse2(void* dest, const void* src, int32_t count, float gain) {
  if (gain != 1.0f) {
    ConvertByRule<WUSAMPLE_FLOAT64, WUSAMPLE_FLOAT32>(dest, src, count, gain);
    return;
  }
  if (count <= 0) return;
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(src);
  auto convert4 = [&](int32_t at) {
    __m128 f = _mm_loadu_ps(reinterpret_cast<const float*>(s + 4 * at));
    double* out = reinterpret_cast<double*>(d + 8 * at);
    __m128d a = _mm_cvtps_pd(f);
    __m128d b = _mm_cvtps_pd(_mm_movehl_ps(f, f));
    _mm_storeu_pd(out, a);
    _mm_storeu_pd(out + 2, b);
  };
  const int32_t blocks = count / 4 * 4;
  if (dest != src) {
    for (int32_t i = 0; i < blocks; i += 4) convert4(i);
    ConvertRange<WUSAMPLE_FLOAT64, WUSAMPLE_FLOAT32>(d, s, blocks, count, gain);
    return;
  }
  // In place: from the last sample, so that no source is overwritten first.
  for (int32_t i = count - 1; i >= blocks; --i)
    ConvertRange<WUSAMPLE_FLOAT64, WUSAMPLE_FLOAT32>(d, s, i, i + 1, gain);
  for (int32_t i = blocks - 4; i >= 0; i -= 4) convert4(i);
}

}  // namespace a2
}  // namespace wuaudio
