// The conversion rule, one sample at a time: decode a source sample to a
// real value, multiply by the gain unless it is exactly 1.0, encode into the
// destination type. Arithmetic is binary64 (never long double, whose extra
// precision would round twice), with one rounding to integer in the
// rounding mode in force. Integer destinations saturate to [-F, F - 1] and
// take NaN as silence. Also the one load and store of an integer sample
// (LoadInt, StoreInt) and the one rounding (RoundClamped) of the library's
// sample code; audio/SampleIo.h chooses LoadInt and StoreInt at run time.
//
// Everything here has internal linkage: each kernel-variant file that
// includes this header gets its own copy, compiled for its own instruction
// set (see audio/KernelVariants.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "audio/SampleTypeTable.h"
#include "audio/WuAudioCopy.h"

namespace wuaudio {
namespace {

// The pairs whose gain-1.0 conversion is a reversal of each sample's bytes.
constexpr bool IsByteSwapPair(WUSAMPLETYPE d, WUSAMPLETYPE s) {
  return (d == WUSAMPLE_PCM16 && s == WUSAMPLE_PCM16BE) ||
         (d == WUSAMPLE_PCM16BE && s == WUSAMPLE_PCM16) ||
         (d == WUSAMPLE_PCM32 && s == WUSAMPLE_PCM32BE) ||
         (d == WUSAMPLE_PCM32BE && s == WUSAMPLE_PCM32);
}

// 1.5 * 2^52: adding it to a double below 2^51 in magnitude leaves the
// value rounded to an integer (in the current rounding mode) in the low
// bits of the sum.
constexpr double kRoundingConstant = 6755399441055744.0;

// The one rounding of a real value to an integer sample, for the kernels
// and the channel operations alike: w is taken on the scale of full scale
// F (fullScale). NaN is silence (0); any other w is clamped to [-F, F - 1]
// and rounded to the nearest integer in the rounding mode in force (ties
// to even unless a caller changed the mode).
inline int32_t RoundClamped(double w, double fullScale) {
  if (w != w) return 0;
  const double hi = fullScale - 1.0;
  if (w < -fullScale) w = -fullScale;
  if (w > hi) w = hi;
  const double r = w + kRoundingConstant;
  uint64_t bits;
  std::memcpy(&bits, &r, sizeof(bits));
  return static_cast<int32_t>(static_cast<uint32_t>(bits));
}

inline uint32_t Load32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline void Store32(unsigned char* p, uint32_t v) { std::memcpy(p, &v, 4); }

// The signed value of a sample of one of the nine integer types, read in
// its byte order: WUSAMPLE_PCM8 less its 128 offset, WUSAMPLE_PCM24IN32 as
// the whole 32-bit word.
template <WUSAMPLETYPE K>
inline int32_t LoadInt(const unsigned char* p) {
  if constexpr (K == WUSAMPLE_PCM8) {
    return static_cast<int32_t>(p[0]) - 128;
  } else if constexpr (K == WUSAMPLE_PCM8S) {
    return static_cast<int8_t>(p[0]);
  } else if constexpr (K == WUSAMPLE_PCM16) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
  } else if constexpr (K == WUSAMPLE_PCM16BE) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[1] | (p[0] << 8)));
  } else if constexpr (K == WUSAMPLE_PCM24) {
    uint32_t u = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
    return static_cast<int32_t>(u << 8) >> 8;
  } else if constexpr (K == WUSAMPLE_PCM24BE) {
    uint32_t u = p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16);
    return static_cast<int32_t>(u << 8) >> 8;
  } else if constexpr (K == WUSAMPLE_PCM32BE) {
    return static_cast<int32_t>(__builtin_bswap32(Load32(p)));
  } else {
    // WUSAMPLE_PCM32 and WUSAMPLE_PCM24IN32 (the whole word, as stored).
    return static_cast<int32_t>(Load32(p));
  }
}

// Stores a signed value within the type's range as LoadInt reads it
// (WUSAMPLE_PCM8 with its offset added); of a value beyond the range the
// low bits are stored.
template <WUSAMPLETYPE K>
inline void StoreInt(unsigned char* p, int32_t v) {
  if constexpr (K == WUSAMPLE_PCM8) {
    p[0] = static_cast<unsigned char>(v + 128);
  } else if constexpr (K == WUSAMPLE_PCM8S) {
    p[0] = static_cast<unsigned char>(v);
  } else if constexpr (K == WUSAMPLE_PCM16) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
  } else if constexpr (K == WUSAMPLE_PCM16BE) {
    p[1] = static_cast<unsigned char>(v);
    p[0] = static_cast<unsigned char>(v >> 8);
  } else if constexpr (K == WUSAMPLE_PCM24) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
  } else if constexpr (K == WUSAMPLE_PCM24BE) {
    p[2] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[0] = static_cast<unsigned char>(v >> 16);
  } else if constexpr (K == WUSAMPLE_PCM32BE) {
    Store32(p, __builtin_bswap32(static_cast<uint32_t>(v)));
  } else {
    Store32(p, static_cast<uint32_t>(v));
  }
}

// Step 1 of the rule: the real value of a sample.
template <WUSAMPLETYPE K>
inline double Decode(const unsigned char* p) {
  if constexpr (K == WUSAMPLE_FLOAT32) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
  } else if constexpr (K == WUSAMPLE_FLOAT64) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
  } else {
    constexpr double kScale = 1.0 / FullScale(K);
    return LoadInt<K>(p) * kScale;
  }
}

// Step 3 of the rule: encodes a real value.
template <WUSAMPLETYPE K>
inline void Encode(unsigned char* p, double v) {
  if constexpr (K == WUSAMPLE_FLOAT32) {
    float f = static_cast<float>(v);
    std::memcpy(p, &f, 4);
  } else if constexpr (K == WUSAMPLE_FLOAT64) {
    std::memcpy(p, &v, 8);
  } else {
    constexpr double kF = FullScale(K);
    StoreInt<K>(p, RoundClamped(v * kF, kF));
  }
}

// One sample by the rule. `scale` is false exactly when the gain is 1.0.
template <WUSAMPLETYPE D, WUSAMPLETYPE S>
inline void ConvertOne(unsigned char* d, const unsigned char* s, bool scale, double gain) {
  double v = Decode<S>(s);
  if (scale) v *= gain;
  Encode<D>(d, v);
}

// Reverses the bytes of each of `count` 2- or 4-byte samples; works in
// place.
template <size_t kBytes>
inline void ReverseEachSample(unsigned char* d, const unsigned char* s, int32_t count) {
  static_assert(kBytes == 2 || kBytes == 4);
  for (int32_t i = 0; i < count; ++i) {
    const size_t at = static_cast<size_t>(i) * kBytes;
    if constexpr (kBytes == 2) {
      uint16_t v;
      std::memcpy(&v, s + at, 2);
      v = __builtin_bswap16(v);
      std::memcpy(d + at, &v, 2);
    } else {
      uint32_t v;
      std::memcpy(&v, s + at, 4);
      v = __builtin_bswap32(v);
      std::memcpy(d + at, &v, 4);
    }
  }
}

// Integer to integer of the same or a larger full scale at gain 1.0: the
// rule's product s / F_S * F_D is the exact integer s * (F_D / F_S), so it
// is formed in integers (clamped, for 24-in-32 words beyond 24 bits).
template <WUSAMPLETYPE D, WUSAMPLETYPE S>
constexpr bool IsExactIntegerWidening() {
  return !IsFloat(D) && !IsFloat(S) && FullScale(D) >= FullScale(S);
}

template <WUSAMPLETYPE D, WUSAMPLETYPE S>
inline void WidenInteger(unsigned char* d, const unsigned char* s) {
  constexpr int64_t kFactor = static_cast<int64_t>(FullScale(D) / FullScale(S));
  constexpr int64_t kHigh = static_cast<int64_t>(FullScale(D)) - 1;
  int64_t w = static_cast<int64_t>(LoadInt<S>(s)) * kFactor;
  if (w > kHigh) w = kHigh;
  if (w < -kHigh - 1) w = -kHigh - 1;
  StoreInt<D>(d, static_cast<int32_t>(w));
}

// The kernel of a pair by the rule. A destination wider than the source is
// written from the last sample to the first and any other from the first
// to the last, so that a buffer can be converted in place.
template <WUSAMPLETYPE D, WUSAMPLETYPE S>
void ConvertByRule(void* dest, const void* src, int32_t count, float gain) {
  if (count <= 0) return;
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(src);
  constexpr size_t kDb = BytesOf(D);
  constexpr size_t kSb = BytesOf(S);
  if constexpr (D == S) {
    if (gain == 1.0f) {
      if (d != s) std::memmove(d, s, static_cast<size_t>(count) * kDb);
      return;
    }
  }
  if constexpr (IsByteSwapPair(D, S)) {
    if (gain == 1.0f) {
      ReverseEachSample<kDb>(d, s, count);
      return;
    }
  }
  if constexpr (IsExactIntegerWidening<D, S>()) {
    if (gain == 1.0f) {
      if constexpr (kDb > kSb) {
        for (int32_t i = count - 1; i >= 0; --i)
          WidenInteger<D, S>(d + static_cast<size_t>(i) * kDb, s + static_cast<size_t>(i) * kSb);
      } else {
        for (int32_t i = 0; i < count; ++i)
          WidenInteger<D, S>(d + static_cast<size_t>(i) * kDb, s + static_cast<size_t>(i) * kSb);
      }
      return;
    }
  }
  const bool scale = gain != 1.0f;
  const double g = gain;
  if constexpr (kDb > kSb) {
    for (int32_t i = count - 1; i >= 0; --i)
      ConvertOne<D, S>(d + static_cast<size_t>(i) * kDb, s + static_cast<size_t>(i) * kSb, scale, g);
  } else {
    for (int32_t i = 0; i < count; ++i)
      ConvertOne<D, S>(d + static_cast<size_t>(i) * kDb, s + static_cast<size_t>(i) * kSb, scale, g);
  }
}

// Samples [first, last) of a forward conversion by the rule: the scalar
// head and tail of the SIMD loops.
template <WUSAMPLETYPE D, WUSAMPLETYPE S>
inline void ConvertRange(unsigned char* d, const unsigned char* s, int32_t first, int32_t last,
                         float gain) {
  constexpr size_t kDb = BytesOf(D);
  constexpr size_t kSb = BytesOf(S);
  const bool scale = gain != 1.0f;
  const double g = gain;
  for (int32_t i = first; i < last; ++i)
    ConvertOne<D, S>(d + static_cast<size_t>(i) * kDb, s + static_cast<size_t>(i) * kSb, scale, g);
}

}  // namespace
}  // namespace wuaudio
