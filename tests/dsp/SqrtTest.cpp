// The vector square root in every variant this machine runs.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "dsp/Dispatch.h"
#include "dsp/WuPerf.h"
#include "platform/kernel/cpu.h"
#include "tests/dsp/VariantTestUtil.h"

namespace {

using dsptest::Bits;
using dsptest::FloatFromBits;
using dsptest::SupportedVariants;
using dsptest::VariantName;

constexpr uint32_t kNegativeRoot = 0xFFC00000u;

WuPerfStatus Sqrt(int variant, const float* src, float* dst, int32_t len) {
  return wuperf::kSqrtTable[variant](src, dst, len);
}

// The correctly rounded root of a non-negative float.
float ExactRoot(float x) { return static_cast<float>(std::sqrt(static_cast<double>(x))); }

// Distance in units in the last place between two non-negative floats.
int64_t UlpDistance(float a, float b) {
  return std::llabs(static_cast<int64_t>(Bits(a)) - static_cast<int64_t>(Bits(b)));
}

// A 16-byte-aligned buffer of floats with the data starting `shift`
// floats in, so each run can place the head, blocks and remainder anew.
struct FloatBuffer {
  explicit FloatBuffer(size_t n, size_t shift) : storage(n + shift + 4), data(nullptr) {
    uintptr_t p = reinterpret_cast<uintptr_t>(storage.data());
    data = reinterpret_cast<float*>((p + 15) & ~uintptr_t{15}) + shift;
  }
  std::vector<float> storage;
  float* data;
};

// Ordinary positive inputs of many magnitudes.
std::vector<float> OrdinaryInputs(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
  std::uniform_int_distribution<int> exponent(-120, 120);
  std::vector<float> v(n);
  for (float& x : v) x = std::ldexp(mantissa(gen), exponent(gen));
  return v;
}

// A special value placed at every position of a vector of ordinary values
// (so it goes through the head, a block and the remainder): it gives its own
// result, the warning exactly for negative inputs, and leaves the other
// roots within one unit in the last place.
TEST(SqrtTest, SpecialValuesOnEveryPathInEveryVariant) {
  struct Case {
    const char* name;
    uint32_t input;
    uint32_t expected;  // 0: the root of the input (within one ulp for normals)
    bool negative;
  } cases[] = {
      {"-1", Bits(-1.0f), kNegativeRoot, true},
      {"-inf", Bits(-INFINITY), kNegativeRoot, true},
      {"-denormal", 0x80000001u, kNegativeRoot, true},
      {"-0", 0x80000000u, 0x80000000u, false},
      {"+0", 0u, 0u, false},
      {"+inf", Bits(INFINITY), Bits(INFINITY), false},
      {"smallest denormal", 0x00000001u, 0, false},
      {"largest denormal", 0x007FFFFFu, 0, false},
      {"smallest normal", 0x00800000u, 0, false},
      {"largest float", Bits(FLT_MAX), 0, false},
  };
  const int32_t len = 40;
  std::vector<float> ordinary = OrdinaryInputs(len, 1);
  for (int v : SupportedVariants()) {
    for (const Case& c : cases) {
      for (size_t shift : {0u, 1u}) {
        for (int32_t pos = 0; pos < len; ++pos) {
          SCOPED_TRACE(testing::Message() << VariantName(v) << " " << c.name << " at " << pos
                                          << " shift " << shift);
          FloatBuffer src(len, shift), dst(len, shift);
          std::copy(ordinary.begin(), ordinary.end(), src.data);
          src.data[pos] = FloatFromBits(c.input);
          ASSERT_EQ(Sqrt(v, src.data, dst.data, len),
                    c.negative ? WuPerfWarnSqrtNegative : WuPerfOk);
          // Denormals are special inputs and always get exact roots.
          uint32_t want = c.expected;
          if (!want && std::fpclassify(src.data[pos]) == FP_SUBNORMAL)
            want = Bits(ExactRoot(src.data[pos]));
          for (int32_t i = 0; i < len; ++i) {
            if (i == pos && want) {
              ASSERT_EQ(Bits(dst.data[i]), want);
            } else {
              ASSERT_LE(UlpDistance(dst.data[i], ExactRoot(src.data[i])), 1) << i;
            }
          }
        }
      }
    }
  }
}

// Random non-negative finite inputs (denormals included), in place and out
// of place, at several alignments: within one unit in the last place of the
// exact root, nothing written past the end.
TEST(SqrtTest, RandomInputsWithinOneUlpInEveryVariant) {
  const int32_t len = 1 << 16;
  std::mt19937 gen(7);
  std::uniform_int_distribution<uint32_t> bits(0, 0x7F7FFFFFu);
  std::vector<float> input(len);
  for (float& x : input) x = FloatFromBits(bits(gen));
  for (int v : SupportedVariants()) {
    for (size_t shift : {0u, 1u, 2u, 3u}) {
      SCOPED_TRACE(testing::Message() << VariantName(v) << " shift " << shift);
      FloatBuffer src(len, shift), dst(len + 1, shift);
      std::copy(input.begin(), input.end(), src.data);
      dst.data[len] = 42.0f;
      ASSERT_EQ(Sqrt(v, src.data, dst.data, len), WuPerfOk);
      EXPECT_EQ(dst.data[len], 42.0f);
      int64_t worst = 0;
      for (int32_t i = 0; i < len; ++i)
        worst = std::max(worst, UlpDistance(dst.data[i], ExactRoot(input[i])));
      EXPECT_LE(worst, 1);
      // In place gives the same bits.
      ASSERT_EQ(Sqrt(v, src.data, src.data, len), WuPerfOk);
      for (int32_t i = 0; i < len; ++i) ASSERT_EQ(Bits(src.data[i]), Bits(dst.data[i])) << i;
    }
  }
}

// A full block of ordinary inputs gets Newton estimates, which differ from
// the exact roots in some lanes; one special input makes the whole block
// exact. Blocks are 16 floats at a 16-byte-aligned destination (variants
// 2 to 4) or 8 at a 16-byte-aligned source (variant 1).
TEST(SqrtTest, OneSpecialInputMakesItsWholeBlockExact) {
  for (int v : SupportedVariants()) {
    if (v == 0) continue;  // scalar and always exact
    SCOPED_TRACE(VariantName(v));
    const int32_t block = v == 1 ? 8 : 16;
    FloatBuffer src(block, 0), dst(block, 0);
    bool found = false;
    for (uint32_t seed = 0; seed < 1000 && !found; ++seed) {
      std::vector<float> in = OrdinaryInputs(block, seed);
      std::copy(in.begin(), in.end(), src.data);
      ASSERT_EQ(Sqrt(v, src.data, dst.data, block), WuPerfOk);
      for (int32_t i = 0; i < block; ++i)
        if (Bits(dst.data[i]) != Bits(ExactRoot(src.data[i]))) found = true;
    }
    ASSERT_TRUE(found) << "no block of estimates differed from the exact roots";
    for (int32_t pos = 0; pos < block; ++pos) {
      FloatBuffer withZero(block, 0);
      std::copy(src.data, src.data + block, withZero.data);
      withZero.data[pos] = 0.0f;
      ASSERT_EQ(Sqrt(v, withZero.data, dst.data, block), WuPerfOk);
      for (int32_t i = 0; i < block; ++i)
        ASSERT_EQ(Bits(dst.data[i]), Bits(ExactRoot(withZero.data[i]))) << pos << " " << i;
    }
  }
}

// Variant 0 treats every NaN as a negative input. The SIMD variants give the
// NaN back made quiet, without the warning, whatever path it takes.
TEST(SqrtTest, NanInputs) {
  const uint32_t nans[] = {0x7FC00000u, 0xFFC12345u, 0x7F800001u /* signalling */};
  const int32_t len = 37;
  std::vector<float> ordinary = OrdinaryInputs(len, 3);
  for (int v : SupportedVariants()) {
    for (uint32_t nan : nans) {
      for (int32_t pos : {0, 1, 5, 20, 35, 36}) {
        SCOPED_TRACE(testing::Message() << VariantName(v) << std::hex << " nan " << nan
                                        << std::dec << " at " << pos);
        FloatBuffer src(len, 1), dst(len, 1);
        std::copy(ordinary.begin(), ordinary.end(), src.data);
        src.data[pos] = FloatFromBits(nan);
        WuPerfStatus status = Sqrt(v, src.data, dst.data, len);
        if (v == 0) {
          EXPECT_EQ(status, WuPerfWarnSqrtNegative);
          EXPECT_EQ(Bits(dst.data[pos]), kNegativeRoot);
        } else {
          EXPECT_EQ(status, WuPerfOk);
          EXPECT_EQ(Bits(dst.data[pos]), nan | 0x00400000u);
        }
      }
    }
  }
}

// The caller's control word comes back exactly, whatever it was: with
// denormals-are-zero and flush-to-zero set, denormals still get true roots;
// with the invalid-operation exception unmasked, negative inputs do not
// trap; flags the caller had stay, flags the kernel raised do not appear.
TEST(SqrtTest, CallerControlWordIsHonouredAndRestored) {
  const DWORD kDaz = 0x0040, kFtz = 0x8000, kInexactFlag = 0x0020, kInvalidMask = 0x0080;
  const DWORD words[] = {0x1F80 | kDaz | kFtz, (0x1F80 & ~kInvalidMask) | kInexactFlag,
                         0x1F80 | kDaz | 0x6000 /* round toward zero */};
  const float inputs[] = {FloatFromBits(1), -1.0f, 4.0f, FloatFromBits(0x007FFFFF), 2.0f};
  const int32_t len = 5;
  const DWORD original = platform::GetMxcsr();
  for (int v : SupportedVariants()) {
    for (DWORD word : words) {
      SCOPED_TRACE(testing::Message() << VariantName(v) << std::hex << " mxcsr " << word);
      float out[len];
      platform::SetMxcsr(word);
      WuPerfStatus status = Sqrt(v, inputs, out, len);
      DWORD after = platform::GetMxcsr();
      platform::SetMxcsr(original);
      EXPECT_EQ(after, word);
      EXPECT_EQ(status, WuPerfWarnSqrtNegative);
      EXPECT_EQ(Bits(out[1]), kNegativeRoot);
      EXPECT_EQ(out[2], 2.0f);
      EXPECT_GT(out[0], 0.0f);
      EXPECT_GT(out[3], 0.0f);
      if ((word & 0x6000) == 0) {
        EXPECT_EQ(Bits(out[0]), Bits(ExactRoot(inputs[0])));
        EXPECT_EQ(Bits(out[3]), Bits(ExactRoot(inputs[3])));
      }
    }
  }
}

TEST(SqrtTest, ArgumentErrorsComeInOrderAndTouchNothing) {
  const float in[2] = {4.0f, 9.0f};
  for (int v : SupportedVariants()) {
    SCOPED_TRACE(VariantName(v));
    float out[2] = {7.0f, 7.0f};
    EXPECT_EQ(Sqrt(v, nullptr, out, 2), WuPerfErrNullPointer);
    EXPECT_EQ(Sqrt(v, in, nullptr, 2), WuPerfErrNullPointer);
    EXPECT_EQ(Sqrt(v, nullptr, nullptr, 0), WuPerfErrNullPointer);
    EXPECT_EQ(Sqrt(v, in, out, 0), WuPerfErrSize);
    EXPECT_EQ(Sqrt(v, in, out, -1), WuPerfErrSize);
    EXPECT_EQ(out[0], 7.0f);
  }
  EXPECT_EQ(static_cast<uint32_t>(WuPerfsSqrt_32f(in, nullptr, -1)), 0x8004E608u);
}

}  // namespace
