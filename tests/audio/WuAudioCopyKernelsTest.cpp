// The conversion kernels against a reference of the rule, every variant
// against its pair's scalar kernel, in-place conversions, and the caller's
// floating-point state.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "audio/WuAudioCopy.h"
#include "platform/kernel/cpu.h"
#include "tests/audio/KernelTestUtil.h"

namespace {

using audiotest::AllKernels;
using audiotest::Desc;
using audiotest::Reference;
using audiotest::SourceCorpus;

const float kGains[] = {1.0f, 0.5f, 2.0f};

std::string Name(const WuAudioCopyKernel& k) {
  return std::to_string(k.dest) + " from " + std::to_string(k.src) + " variant " +
         std::to_string(static_cast<int>(k.variant));
}

TEST(WuAudioCopyKernelsTest, TableHasEveryPairAndVariant) {
  std::vector<WuAudioCopyKernel> kernels = AllKernels();
  std::set<std::pair<int, int>> pairs;
  int variants = 0;
  for (const WuAudioCopyKernel& k : kernels) {
    ASSERT_NE(k.function, nullptr) << Name(k);
    if (k.variant == WuAudioCopyVariant::kScalar)
      EXPECT_TRUE(pairs.insert({k.dest, k.src}).second) << Name(k);
    else
      ++variants;
  }
  EXPECT_EQ(pairs.size(), 117u);
  EXPECT_EQ(variants, 18);
  for (const auto& d : audiotest::kTypes) {
    for (const auto& s : audiotest::kTypes) {
      bool missing = (d.type == WUSAMPLE_PCM16BE || d.type == WUSAMPLE_PCM24BE) &&
                     (s.type == WUSAMPLE_PCM24IN32 || s.type == WUSAMPLE_PCM32BE);
      EXPECT_EQ(pairs.count({d.type, s.type}) == 1, !missing) << d.type << " from " << s.type;
    }
  }
  // Every variant has its pair's scalar kernel.
  for (const WuAudioCopyKernel& k : kernels)
    EXPECT_NE(WuAudio_FindCopyKernel(k.dest, k.src, WuAudioCopyVariant::kScalar), nullptr);
  EXPECT_EQ(WuAudio_FindCopyKernel(WUSAMPLE_PCM16BE, WUSAMPLE_PCM32BE, WuAudioCopyVariant::kScalar),
            nullptr);
  EXPECT_EQ(WuAudio_FindCopyKernel(WUSAMPLE_PCM16, WUSAMPLE_PCM24, WuAudioCopyVariant::kSse), nullptr);
}

// The edge list of the rule, through every variant of each pair.
TEST(WuAudioCopyKernelsTest, RuleVectors) {
  struct Vector {
    WUSAMPLETYPE dest, src;
    float gain;
    std::vector<uint8_t> in, out;
  };
  auto f32 = [](std::initializer_list<float> v) {
    std::vector<uint8_t> b(v.size() * 4);
    std::memcpy(b.data(), std::data(v), b.size());
    return b;
  };
  auto le16 = [](std::initializer_list<int> v) {
    std::vector<uint8_t> b;
    for (int x : v) {
      b.push_back(static_cast<uint8_t>(x));
      b.push_back(static_cast<uint8_t>(x >> 8));
    }
    return b;
  };
  auto le32 = [](std::initializer_list<uint32_t> v) {
    std::vector<uint8_t> b;
    for (uint32_t x : v)
      for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(x >> (8 * i)));
    return b;
  };
  const float lsb16 = 1.0f / 32768.0f;
  const Vector vectors[] = {
      {WUSAMPLE_PCM16, WUSAMPLE_FLOAT32, 1.0f,
       f32({1.0f, -1.0f, 0.5f * lsb16, 1.5f * lsb16, -0.5f * lsb16, 2.5f * lsb16, 1.5f, -1.5f}),
       le16({32767, -32768, 0, 2, 0, 2, 32767, -32768})},
      {WUSAMPLE_PCM8, WUSAMPLE_FLOAT32, 1.0f, f32({0.0f, -1.0f, 1.0f, -0.0f}),
       {0x80, 0x00, 0xFF, 0x80}},
      {WUSAMPLE_PCM24, WUSAMPLE_FLOAT32, 1.0f, f32({1.0f, -1.0f}),
       {0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80}},
      {WUSAMPLE_PCM24BE, WUSAMPLE_FLOAT32, 1.0f, f32({1.0f, -1.0f}),
       {0x7F, 0xFF, 0xFF, 0x80, 0x00, 0x00}},
      {WUSAMPLE_FLOAT32, WUSAMPLE_PCM8, 1.0f, {0x00, 0x80, 0xFF},
       f32({-1.0f, 0.0f, 127.0f / 128.0f})},
      {WUSAMPLE_PCM24IN32, WUSAMPLE_FLOAT32, 1.0f, f32({1.0f, -1.0f}),
       le32({0x007FFFFF, 0xFF800000})},
      {WUSAMPLE_FLOAT32, WUSAMPLE_PCM24IN32, 1.0f, le32({0x00400000}), f32({0.5f})},
      {WUSAMPLE_PCM16, WUSAMPLE_PCM32, 1.0f, le32({0x00018000, 0x00028000, 0x7FFF8000}),
       le16({2, 2, 32767})},
      {WUSAMPLE_PCM16, WUSAMPLE_PCM16, 0.5f, le16({3, 5, -3}), le16({2, 2, -2})},
      {WUSAMPLE_PCM8, WUSAMPLE_PCM16, 1.0f, le16({0x0180, 0x0280, 0x7FFF}), {0x82, 0x82, 0xFF}},
      {WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT32, 2.0f, f32({0.75f, -3.0f}), f32({1.5f, -6.0f})},
      {WUSAMPLE_PCM16, WUSAMPLE_PCM16BE, 1.0f, {0x12, 0x34}, {0x34, 0x12}},
  };
  for (const Vector& v : vectors) {
    int count = static_cast<int>(v.in.size()) / Desc(v.src).bytes;
    int variants = 0;
    for (const WuAudioCopyKernel& k : AllKernels()) {
      if (k.dest != v.dest || k.src != v.src) continue;
      ++variants;
      std::vector<uint8_t> out(v.out.size() + 1, 0xEE);
      k.function(out.data(), v.in.data(), count, v.gain);
      EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end() - 1), v.out) << Name(k);
      EXPECT_EQ(out.back(), 0xEE) << Name(k);
    }
    EXPECT_GE(variants, 1);
  }
}

// NaN has one answer: silence, in every kernel and variant with an integer
// destination, of either sign, quiet or signalling, at any gain, in the
// scalar heads and tails and in every lane of the SIMD blocks.
TEST(WuAudioCopyKernelsTest, NanIsSilenceInEveryIntegerDestination) {
  constexpr int kCount = 67;
  const uint32_t nan32[] = {0x7FC00000u, 0xFFC00000u, 0x7FA00001u, 0xFF800001u};
  const uint64_t nan64[] = {0x7FF8000000000000u, 0xFFF8000000000000u, 0x7FF4000000000001u,
                            0xFFF0000000000001u};
  int checked = 0;
  for (const WuAudioCopyKernel& k : AllKernels()) {
    const audiotest::TypeDesc& st = Desc(k.src);
    const audiotest::TypeDesc& dt = Desc(k.dest);
    if (!st.is_float || dt.is_float) continue;
    alignas(16) uint8_t src[kCount * 8];
    for (int i = 0; i < kCount; ++i) {
      if (st.bytes == 4)
        std::memcpy(src + 4 * i, &nan32[i % 4], 4);
      else
        std::memcpy(src + 8 * i, &nan64[i % 4], 8);
    }
    const std::vector<uint8_t> silence(static_cast<size_t>(kCount) * dt.bytes,
                                       dt.offset_binary ? 0x80 : 0x00);
    for (float gain : {1.0f, 0.5f}) {
      std::vector<uint8_t> out(silence.size(), 0x5A);
      k.function(out.data(), src, kCount, gain);
      EXPECT_EQ(out, silence) << Name(k) << " gain " << gain;
    }
    ++checked;
  }
  EXPECT_EQ(checked, 9 * 2 + 12);  // nine integer types from two floats, 12 other variants
}

// Every pair over every 8- and 16-bit value and a corpus of the others.
TEST(WuAudioCopyKernelsTest, EveryPairFollowsTheRule) {
  for (const WuAudioCopyKernel& k : AllKernels()) {
    if (k.variant != WuAudioCopyVariant::kScalar) continue;
    std::vector<uint8_t> src = SourceCorpus(k.src);
    const int count = static_cast<int>(src.size()) / Desc(k.src).bytes;
    const size_t out_bytes = static_cast<size_t>(count) * Desc(k.dest).bytes;
    for (float gain : kGains) {
      std::vector<uint8_t> expected(out_bytes), actual(out_bytes);
      Reference(k.dest, k.src, expected.data(), src.data(), count, gain);
      k.function(actual.data(), src.data(), count, gain);
      if (actual != expected) {
        size_t at = std::mismatch(actual.begin(), actual.end(), expected.begin()).first -
                    actual.begin();
        size_t sample = at / Desc(k.dest).bytes;
        ADD_FAILURE() << Name(k) << " gain " << gain << " differs at sample " << sample
                      << " (source bytes from " << sample * Desc(k.src).bytes << ")";
      }
    }
  }
}

// Every variant gives its pair's scalar bytes, for any alignment and count,
// and writes nothing past the last sample.
TEST(WuAudioCopyKernelsTest, VariantsMatchTheScalarKernel) {
  for (const WuAudioCopyKernel& k : AllKernels()) {
    if (k.variant == WuAudioCopyVariant::kScalar) continue;
    WuAudioCopyFunc scalar = WuAudio_FindCopyKernel(k.dest, k.src, WuAudioCopyVariant::kScalar);
    ASSERT_NE(scalar, nullptr);
    const int sb = Desc(k.src).bytes;
    const int db = Desc(k.dest).bytes;
    std::vector<uint8_t> corpus = SourceCorpus(k.src);
    const int corpus_count = static_cast<int>(corpus.size()) / sb;
    const int max_src_offset = sb == 8 ? 7 : 3;
    const int max_dest_offset = db == 8 ? 7 : 3;
    std::vector<int> counts;
    for (int c = 0; c <= 37; ++c) counts.push_back(c);
    counts.push_back(301);
    int failures = 0;
    for (float gain : kGains) {
      for (int so = 0; so <= max_src_offset; ++so) {
        for (int dof = 0; dof <= max_dest_offset; ++dof) {
          for (int count : counts) {
            alignas(64) uint8_t src[301 * 8 + 64];
            alignas(64) uint8_t want[301 * 8 + 64];
            alignas(64) uint8_t got[301 * 8 + 64];
            // The long run starts where the special values are densest, so
            // that they reach every lane of the SIMD blocks.
            int first = count == 301 ? 0
                                     : (so * 131 + dof * 37 + count * 11 +
                                        static_cast<int>(gain * 3)) % (corpus_count - count);
            std::memcpy(src + so, corpus.data() + static_cast<size_t>(first) * sb,
                        static_cast<size_t>(count) * sb);
            std::memset(want, 0x5A, sizeof(want));
            std::memset(got, 0x5A, sizeof(got));
            scalar(want + dof, src + so, count, gain);
            k.function(got + dof, src + so, count, gain);
            if (std::memcmp(want, got, dof + static_cast<size_t>(count) * db + 16) != 0 &&
                failures++ < 5)
              ADD_FAILURE() << Name(k) << " gain " << gain << " src+" << so << " dest+" << dof
                            << " count " << count;
          }
        }
      }
    }
  }
}

// In place: the same result as with two buffers, for widening and narrowing
// kernels alike.
TEST(WuAudioCopyKernelsTest, EveryKernelWorksInPlace) {
  for (const WuAudioCopyKernel& k : AllKernels()) {
    const int sb = Desc(k.src).bytes;
    const int db = Desc(k.dest).bytes;
    for (float gain : {1.0f, 0.5f}) {
      for (int count : {1, 5, 37, 301}) {
        std::vector<uint8_t> src = audiotest::CorpusSlice(k.src, 40, count);
        std::vector<uint8_t> two(static_cast<size_t>(count) * db);
        k.function(two.data(), src.data(), count, gain);
        std::vector<uint8_t> buffer(static_cast<size_t>(count) * std::max(sb, db) + 16, 0);
        std::memcpy(buffer.data(), src.data(), src.size());
        k.function(buffer.data(), buffer.data(), count, gain);
        EXPECT_EQ(std::memcmp(buffer.data(), two.data(), two.size()), 0)
            << Name(k) << " gain " << gain << " count " << count;
      }
    }
  }
}

TEST(WuAudioCopyKernelsTest, SameTypeInPlaceAndByteSwapsTwice) {
  for (const auto& t : audiotest::kTypes) {
    WuAudioCopyFunc same = WuAudio_FindCopyKernel(t.type, t.type, WuAudioCopyVariant::kScalar);
    ASSERT_NE(same, nullptr);
    std::vector<uint8_t> buffer = SourceCorpus(t.type);
    buffer.resize(static_cast<size_t>(t.bytes) * 500);
    std::vector<uint8_t> before = buffer;
    same(buffer.data(), buffer.data(), 500, 1.0f);
    EXPECT_EQ(buffer, before) << t.type;
    std::vector<uint8_t> copy(buffer.size());
    same(copy.data(), buffer.data(), 500, 1.0f);
    EXPECT_EQ(copy, before) << t.type;
  }
  const std::pair<WUSAMPLETYPE, WUSAMPLETYPE> swaps[] = {
      {WUSAMPLE_PCM16, WUSAMPLE_PCM16BE},
      {WUSAMPLE_PCM32, WUSAMPLE_PCM32BE},
  };
  for (auto [a, b] : swaps) {
    std::vector<uint8_t> buffer = SourceCorpus(a);
    buffer.resize(static_cast<size_t>(Desc(a).bytes) * 999);
    std::vector<uint8_t> before = buffer;
    WuAudio_FindCopyKernel(b, a, WuAudioCopyVariant::kScalar)(buffer.data(), buffer.data(), 999, 1.0f);
    EXPECT_NE(buffer, before);
    EXPECT_EQ(buffer[0], before[Desc(a).bytes - 1]);
    WuAudio_FindCopyKernel(a, b, WuAudioCopyVariant::kScalar)(buffer.data(), buffer.data(), 999, 1.0f);
    EXPECT_EQ(buffer, before);
  }
}

// The caller's MXCSR (control bits) and x87 control word survive every
// kernel, also with rounding toward +infinity and flush-to-zero off.
TEST(WuAudioCopyKernelsTest, FloatingPointStateIsRestored) {
  constexpr DWORD kMxcsrStatusFlags = 0x3F;
  const DWORD saved_mxcsr = platform::GetMxcsr();
  const WORD saved_control = platform::GetX87ControlWord();
  struct State {
    DWORD mxcsr;
    WORD control;
  } states[] = {
      {saved_mxcsr, saved_control},
      {0x1F80 | 0x4000, static_cast<WORD>(0x037F | 0x0800)},  // round up, no FTZ/DAZ
      {0x1F80 | 0x6000, static_cast<WORD>(0x027F | 0x0C00)},  // toward zero, double precision
  };
  for (const State& state : states) {
    for (const WuAudioCopyKernel& k : AllKernels()) {
      std::vector<uint8_t> src = audiotest::CorpusSlice(k.src, 0, 302);
      std::vector<uint8_t> dest(static_cast<size_t>(Desc(k.dest).bytes) * 301);
      for (int count : {0, 3, 301}) {
        platform::SetMxcsr(state.mxcsr);
        platform::SetX87ControlWord(state.control);
        k.function(dest.data(), src.data() + Desc(k.src).bytes, count, 0.5f);
        k.function(dest.data(), src.data(), count, 1.0f);
        DWORD mxcsr = platform::GetMxcsr();
        WORD control = platform::GetX87ControlWord();
        platform::SetMxcsr(saved_mxcsr);
        platform::SetX87ControlWord(saved_control);
        EXPECT_EQ(mxcsr & ~kMxcsrStatusFlags, state.mxcsr & ~kMxcsrStatusFlags) << Name(k);
        EXPECT_EQ(control, state.control) << Name(k);
      }
    }
  }
}

}  // namespace
