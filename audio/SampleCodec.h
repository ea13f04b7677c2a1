// The conversion rule, one sample at a time: decode a source sample to a
// real value, multiply by the gain unless it is exactly 1.0, encode into the
// destination type. Arithmetic is binary64 (never long double, whose extra
// precision would round twice), with one rounding to integer in the
// rounding mode in force. Integer destinations saturate to [-F, F - 1] and
// take NaN as silence.
//
// Everything here has internal linkage: each kernel-variant file that
// includes this header gets its own copy, compiled for its own instruction
// set (see audio/KernelVariants.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "audio/WuAudioCopy.h"

namespace wuaudio {
namespace {

// The storage kinds of the eleven plain sample types.
enum class Kind {
  kU8,       // WUSAMPLE_PCM8
  kS8,       // WUSAMPLE_PCM8S
  kS16,      // WUSAMPLE_PCM16
  kS16BE,    // WUSAMPLE_PCM16BE
  kS24,      // WUSAMPLE_PCM24
  kS24BE,    // WUSAMPLE_PCM24BE
  kS32,      // WUSAMPLE_PCM32
  kS24In32,  // WUSAMPLE_PCM24IN32
  kS32BE,    // WUSAMPLE_PCM32BE
  kF32,      // WUSAMPLE_FLOAT32
  kF64,      // WUSAMPLE_FLOAT64
};

constexpr size_t BytesOf(Kind k) {
  switch (k) {
    case Kind::kU8:
    case Kind::kS8: return 1;
    case Kind::kS16:
    case Kind::kS16BE: return 2;
    case Kind::kS24:
    case Kind::kS24BE: return 3;
    case Kind::kF64: return 8;
    default: return 4;
  }
}

constexpr bool IsFloat(Kind k) { return k == Kind::kF32 || k == Kind::kF64; }

// Full scale F of an integer kind.
constexpr double FullScale(Kind k) {
  switch (k) {
    case Kind::kU8:
    case Kind::kS8: return 128.0;
    case Kind::kS16:
    case Kind::kS16BE: return 32768.0;
    case Kind::kS24:
    case Kind::kS24BE:
    case Kind::kS24In32: return 8388608.0;
    default: return 2147483648.0;
  }
}

// The pairs whose gain-1.0 conversion is a reversal of each sample's bytes.
constexpr bool IsByteSwapPair(Kind d, Kind s) {
  return (d == Kind::kS16 && s == Kind::kS16BE) || (d == Kind::kS16BE && s == Kind::kS16) ||
         (d == Kind::kS32 && s == Kind::kS32BE) || (d == Kind::kS32BE && s == Kind::kS32);
}

// 1.5 * 2^52: adding it to a double below 2^51 in magnitude leaves the
// value rounded to an integer (in the current rounding mode) in the low
// bits of the sum.
constexpr double kRoundingConstant = 6755399441055744.0;

inline int32_t RoundToInt32(double w) {
  double r = w + kRoundingConstant;
  uint64_t bits;
  std::memcpy(&bits, &r, sizeof(bits));
  return static_cast<int32_t>(static_cast<uint32_t>(bits));
}

// w clamped to [lo, hi], NaN as 0.
inline double ClampOrZero(double w, double lo, double hi) {
  if (w != w) return 0.0;
  if (w < lo) return lo;
  if (w > hi) return hi;
  return w;
}

inline uint32_t Load32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline void Store32(unsigned char* p, uint32_t v) { std::memcpy(p, &v, 4); }

// The integer value of a sample of an integer kind.
template <Kind K>
inline int32_t LoadInt(const unsigned char* p) {
  if constexpr (K == Kind::kU8) {
    return static_cast<int32_t>(p[0]) - 128;
  } else if constexpr (K == Kind::kS8) {
    return static_cast<int8_t>(p[0]);
  } else if constexpr (K == Kind::kS16) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
  } else if constexpr (K == Kind::kS16BE) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[1] | (p[0] << 8)));
  } else if constexpr (K == Kind::kS24) {
    uint32_t u = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
    return static_cast<int32_t>(u << 8) >> 8;
  } else if constexpr (K == Kind::kS24BE) {
    uint32_t u = p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16);
    return static_cast<int32_t>(u << 8) >> 8;
  } else if constexpr (K == Kind::kS32BE) {
    return static_cast<int32_t>(__builtin_bswap32(Load32(p)));
  } else {
    // kS32 and kS24In32 (the whole word, as stored).
    return static_cast<int32_t>(Load32(p));
  }
}

// Stores an integer already within the kind's range.
template <Kind K>
inline void StoreInt(unsigned char* p, int32_t v) {
  if constexpr (K == Kind::kU8) {
    p[0] = static_cast<unsigned char>(v + 128);
  } else if constexpr (K == Kind::kS8) {
    p[0] = static_cast<unsigned char>(v);
  } else if constexpr (K == Kind::kS16) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
  } else if constexpr (K == Kind::kS16BE) {
    p[1] = static_cast<unsigned char>(v);
    p[0] = static_cast<unsigned char>(v >> 8);
  } else if constexpr (K == Kind::kS24) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
  } else if constexpr (K == Kind::kS24BE) {
    p[2] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[0] = static_cast<unsigned char>(v >> 16);
  } else if constexpr (K == Kind::kS32BE) {
    Store32(p, __builtin_bswap32(static_cast<uint32_t>(v)));
  } else {
    Store32(p, static_cast<uint32_t>(v));
  }
}

// Step 1 of the rule: the real value of a sample.
template <Kind K>
inline double Decode(const unsigned char* p) {
  if constexpr (K == Kind::kF32) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
  } else if constexpr (K == Kind::kF64) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
  } else {
    return LoadInt<K>(p) * (1.0 / FullScale(K));
  }
}

// Step 3 of the rule: encodes a real value.
template <Kind K>
inline void Encode(unsigned char* p, double v) {
  if constexpr (K == Kind::kF32) {
    float f = static_cast<float>(v);
    std::memcpy(p, &f, 4);
  } else if constexpr (K == Kind::kF64) {
    std::memcpy(p, &v, 8);
  } else {
    constexpr double kF = FullScale(K);
    StoreInt<K>(p, RoundToInt32(ClampOrZero(v * kF, -kF, kF - 1.0)));
  }
}

// One sample by the rule. `scale` is false exactly when the gain is 1.0.
template <Kind D, Kind S>
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
template <Kind D, Kind S>
constexpr bool IsExactIntegerWidening() {
  return !IsFloat(D) && !IsFloat(S) && FullScale(D) >= FullScale(S);
}

template <Kind D, Kind S>
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
template <Kind D, Kind S>
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
template <Kind D, Kind S>
inline void ConvertRange(unsigned char* d, const unsigned char* s, int32_t first, int32_t last,
                         float gain) {
  const bool scale = gain != 1.0f;
  const double g = gain;
  for (int32_t i = first; i < last; ++i)
    ConvertOne<D, S>(d + static_cast<size_t>(i) * BytesOf(D), s + static_cast<size_t>(i) * BytesOf(S),
                     scale, g);
}

}  // namespace
}  // namespace wuaudio
