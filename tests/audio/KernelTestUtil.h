// A reference of the conversion rule written independently of the kernels,
// sample sources for every type, and helpers for the kernel tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "audio/WuAudioCopy.h"

namespace audiotest {

// Storage of a sample type.
struct TypeDesc {
  WUSAMPLETYPE type;  // the code
  int bytes;          // bytes per sample
  bool is_float;      // IEEE float
  bool big_endian;    // stored most significant byte first
  bool offset_binary; // unsigned 8-bit: value + 128
  bool whole_word;    // 24-in-32: the whole 32-bit word is the value
  double full_scale;  // F
};

inline const TypeDesc kTypes[] = {
    {WUSAMPLE_PCM8, 1, false, false, true, false, 128.0},
    {WUSAMPLE_PCM8S, 1, false, false, false, false, 128.0},
    {WUSAMPLE_PCM16, 2, false, false, false, false, 32768.0},
    {WUSAMPLE_PCM16BE, 2, false, true, false, false, 32768.0},
    {WUSAMPLE_PCM24, 3, false, false, false, false, 8388608.0},
    {WUSAMPLE_PCM24BE, 3, false, true, false, false, 8388608.0},
    {WUSAMPLE_PCM32, 4, false, false, false, false, 2147483648.0},
    {WUSAMPLE_PCM24IN32, 4, false, false, false, true, 8388608.0},
    {WUSAMPLE_PCM32BE, 4, false, true, false, false, 2147483648.0},
    {WUSAMPLE_FLOAT32, 4, true, false, false, false, 1.0},
    {WUSAMPLE_FLOAT64, 8, true, false, false, false, 1.0},
};

inline const TypeDesc& Desc(WUSAMPLETYPE type) {
  for (const TypeDesc& t : kTypes)
    if (t.type == type) return t;
  return kTypes[0];
}

inline uint64_t LoadRaw(const TypeDesc& t, const uint8_t* p) {
  uint64_t u = 0;
  for (int b = 0; b < t.bytes; ++b) {
    if (t.big_endian)
      u = (u << 8) | p[b];
    else
      u |= static_cast<uint64_t>(p[b]) << (8 * b);
  }
  return u;
}

inline void StoreRaw(const TypeDesc& t, uint8_t* p, uint64_t u) {
  for (int b = 0; b < t.bytes; ++b) {
    int shift = t.big_endian ? 8 * (t.bytes - 1 - b) : 8 * b;
    p[b] = static_cast<uint8_t>(u >> shift);
  }
}

// Step 1: the real value of a sample.
inline double RefDecode(const TypeDesc& t, const uint8_t* p) {
  if (t.is_float && t.bytes == 4) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
  }
  if (t.is_float) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
  }
  uint64_t u = LoadRaw(t, p);
  int64_t s;
  if (t.offset_binary) {
    s = static_cast<int64_t>(u) - 128;
  } else {
    int bits = 8 * t.bytes;
    s = static_cast<int64_t>(u << (64 - bits)) >> (64 - bits);
  }
  return static_cast<double>(s) / t.full_scale;
}

// Step 3: floats as they are, integers scaled, clamped, rounded half to
// even (the test runs in the default rounding mode), NaN as silence.
inline void RefEncode(const TypeDesc& t, uint8_t* p, double v) {
  if (t.is_float && t.bytes == 4) {
    float f = static_cast<float>(v);
    std::memcpy(p, &f, 4);
    return;
  }
  if (t.is_float) {
    std::memcpy(p, &v, 8);
    return;
  }
  double w = v * t.full_scale;
  int64_t i = 0;
  if (!std::isnan(w)) {
    if (w < -t.full_scale) w = -t.full_scale;
    if (w > t.full_scale - 1) w = t.full_scale - 1;
    i = static_cast<int64_t>(std::nearbyint(w));
  }
  if (t.offset_binary) i += 128;
  StoreRaw(t, p, static_cast<uint64_t>(i));
}

inline void Reference(WUSAMPLETYPE dest, WUSAMPLETYPE src, uint8_t* d, const uint8_t* s,
                      int count, float gain) {
  const TypeDesc& dt = Desc(dest);
  const TypeDesc& st = Desc(src);
  if (dest == src && gain == 1.0f) {
    std::memcpy(d, s, static_cast<size_t>(count) * dt.bytes);
    return;
  }
  for (int i = 0; i < count; ++i) {
    double v = RefDecode(st, s + static_cast<size_t>(i) * st.bytes);
    if (gain != 1.0f) v *= static_cast<double>(gain);
    RefEncode(dt, d + static_cast<size_t>(i) * dt.bytes, v);
  }
}

// Source samples of a type: every value of the 8- and 16-bit types; for
// the others the edges, ties of every narrower destination and random
// values, spread so that special values reach every position of a block.
inline std::vector<uint8_t> SourceCorpus(WUSAMPLETYPE type) {
  const TypeDesc& t = Desc(type);
  std::vector<uint8_t> out;
  auto raw = [&](uint64_t u) {
    size_t at = out.size();
    out.resize(at + t.bytes);
    StoreRaw(t, out.data() + at, u);
  };
  if (t.bytes <= 2 && !t.is_float) {
    for (uint32_t n = 0; n < (1u << (8 * t.bytes)); ++n) raw(n);
    return out;
  }
  std::mt19937 rng(1234 + type);
  if (!t.is_float) {
    const uint32_t bits = 8 * t.bytes == 24 ? 24 : 32;
    const uint32_t top = bits == 24 ? 0x800000u : 0x80000000u;
    std::vector<uint32_t> specials = {0, 1, top - 1, top, top + 1, 0xFFFFFFFFu, 0xFFFFFFFEu,
                                      top >> 1, (top >> 1) + 0x80u, 0x7FFF8000u, 0x00018000u,
                                      0x00028000u, 0xFFFE8000u, 0x7FFFFF80u, 0x80000080u,
                                      0x00800000u, 0xFF7FFFFFu, 0x12345678u};
    for (uint32_t k = 0; k < 64; ++k) {
      specials.push_back((k << 8) | 0x80u);               // ties for 8-bit
      specials.push_back((k << 16) | 0x8000u);            // ties for 16-bit
      specials.push_back(((k << 24) | 0x800000u));        // ties for 24-bit
      specials.push_back(0u - ((k << 16) | 0x8000u));
    }
    for (size_t i = 0; i < 6000; ++i) {
      if (i % 3 == 0 && i / 3 < specials.size())
        raw(specials[i / 3]);
      else
        raw(rng() & (bits == 24 ? 0xFFFFFFu : 0xFFFFFFFFu));
    }
    return out;
  }
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> specials = {0.0, -0.0, 1.0, -1.0, 1.5, -1.5, 1e10, -1e10, 65536.0,
                                  -65536.0, 3e38, -3e38, inf, -inf, nan, -nan,
                                  1e-40, -1e-40, 1e-310, -1e-310, 0.999999, -0.999999,
                                  1.0 - 1.0 / 65536, 1.0 - 1.0 / 256, 1.0 - 1.0 / 16777216};
  for (double f : {128.0, 32768.0, 8388608.0, 2147483648.0}) {
    for (int k : {-129, -128, -127, -4, -3, -2, -1, 0, 1, 2, 3, 4, 125, 126, 127}) {
      specials.push_back((k + 0.5) / f);
      specials.push_back((f - 1 - k - 0.5) / f);
      specials.push_back(-(f - k - 0.5) / f);
    }
  }
  std::uniform_real_distribution<double> uniform(-1.2, 1.2);
  for (size_t i = 0; i < 6000; ++i) {
    double v;
    if (i % 3 == 0 && i / 3 < specials.size()) {
      v = specials[i / 3];
    } else if (i % 7 == 1) {
      // Any bit pattern, NaNs and denormals included.
      uint64_t bits = (static_cast<uint64_t>(rng()) << 32) | rng();
      size_t at = out.size();
      out.resize(at + t.bytes);
      std::memcpy(out.data() + at, &bits, t.bytes);
      continue;
    } else {
      v = uniform(rng);
    }
    size_t at = out.size();
    out.resize(at + t.bytes);
    if (t.bytes == 4) {
      float f = static_cast<float>(v);
      std::memcpy(out.data() + at, &f, 4);
    } else {
      std::memcpy(out.data() + at, &v, 8);
    }
  }
  return out;
}

// `count` samples of the corpus from sample `first` on, starting over at
// its end.
inline std::vector<uint8_t> CorpusSlice(WUSAMPLETYPE type, int first, int count) {
  std::vector<uint8_t> corpus = SourceCorpus(type);
  const int bytes = Desc(type).bytes;
  const int corpus_count = static_cast<int>(corpus.size()) / bytes;
  std::vector<uint8_t> out(static_cast<size_t>(count) * bytes);
  for (int i = 0; i < count; ++i)
    std::memcpy(out.data() + static_cast<size_t>(i) * bytes,
                corpus.data() + static_cast<size_t>((first + i) % corpus_count) * bytes, bytes);
  return out;
}

// The kernel table as a vector.
inline std::vector<WuAudioCopyKernel> AllKernels() {
  int32_t count = 0;
  const WuAudioCopyKernel* rows = WuAudio_GetCopyKernelTable(&count);
  return std::vector<WuAudioCopyKernel>(rows, rows + count);
}

}  // namespace audiotest
