// Complex multiply and conjugate in every variant this machine runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "dsp/Dispatch.h"
#include "dsp/WuPerf.h"
#include "tests/dsp/VariantTestUtil.h"

namespace {

using dsptest::Bits;
using dsptest::DoubleFromBits;
using dsptest::SupportedVariants;
using dsptest::VariantName;

// Complex doubles in a byte buffer, starting `offset` bytes past a 32-byte
// boundary, with one guard element after the last.
struct ComplexBuffer {
  ComplexBuffer(size_t count, size_t offset) : storage(16 * (count + 1) + offset + 32) {
    uintptr_t p = reinterpret_cast<uintptr_t>(storage.data());
    start = reinterpret_cast<uint8_t*>((p + 31) & ~uintptr_t{31}) + offset;
    n = count;
  }
  uint64_t Word(size_t i) const {  // 8-byte word i (real parts even, imaginary odd)
    uint64_t w;
    std::memcpy(&w, start + 8 * i, 8);
    return w;
  }
  void SetWord(size_t i, uint64_t w) { std::memcpy(start + 8 * i, &w, 8); }
  void Fill(const std::vector<uint64_t>& words) {
    for (size_t i = 0; i < words.size(); ++i) SetWord(i, words[i]);
  }
  std::vector<uint64_t> Words() const {  // the elements and the guard
    std::vector<uint64_t> out;
    for (size_t i = 0; i < 2 * (n + 1); ++i) out.push_back(Word(i));
    return out;
  }
  std::vector<uint8_t> storage;
  uint8_t* start;
  size_t n;
};

// Finite doubles of every size, so products overflow, underflow and land
// on denormals, plus zeros of both signs.
std::vector<uint64_t> FiniteWords(size_t count, uint32_t seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> mantissa(-2.0, 2.0);
  std::uniform_int_distribution<int> exponent(-1080, 1030);
  std::vector<uint64_t> out(count);
  for (size_t i = 0; i < count; ++i) {
    int e = exponent(gen);
    double d = std::ldexp(mantissa(gen), e % 3 == 0 ? e : e / 8);
    if (i % 97 == 0) d = (i % 2) ? -0.0 : 0.0;
    out[i] = Bits(d);
  }
  return out;
}

WuPerfStatus Mul(int v, const void* src, void* srcDst, int32_t len) {
  return wuperf::kMulTable[v](src, srcDst, len);
}
WuPerfStatus Conj(int v, void* srcDst, int32_t len) { return wuperf::kConjTable[v](srcDst, len); }

TEST(ComplexMulTest, ProductsRoundEachTermWithoutFusing) {
  // (1 + 2i)(3 + 4i) = -5 + 10i.
  // With a = b = 1 + 2^-30 and both imaginary parts 1 the real part is
  // round(a*a) - 1 = 2^-29; a fused multiply-add would give 2^-29 + 2^-60.
  const double a = 1.0 + std::ldexp(1.0, -30);
  struct Case {
    double src[2], srcDst[2], expected[2];
  } cases[] = {{{1, 2}, {3, 4}, {-5, 10}},
               {{a, 1}, {a, 1}, {std::ldexp(1.0, -29), 2 * a}}};
  for (int v : SupportedVariants()) {
    for (const Case& c : cases) {
      double data[2] = {c.srcDst[0], c.srcDst[1]};
      ASSERT_EQ(Mul(v, c.src, data, 1), WuPerfOk);
      EXPECT_EQ(data[0], c.expected[0]) << VariantName(v);
      EXPECT_EQ(data[1], c.expected[1]) << VariantName(v);
    }
  }
}

// Every variant gives the bits of variant 0 for aligned and unaligned
// vectors, odd and even lengths, and long vectors (streaming stores).
TEST(ComplexMulTest, VariantsAgreeBitForBit) {
  for (int32_t len : {1, 2, 3, 17, 32771}) {
    std::vector<uint64_t> a = FiniteWords(2 * len, 1), b = FiniteWords(2 * len, 2);
    ComplexBuffer expected(len, 0), src0(len, 0);
    src0.Fill(a);
    expected.Fill(b);
    ASSERT_EQ(Mul(0, src0.start, expected.start, len), WuPerfOk);
    for (int v : SupportedVariants()) {
      for (size_t srcOffset : {0u, 8u}) {
        for (size_t dstOffset : {0u, 8u}) {
          SCOPED_TRACE(testing::Message() << VariantName(v) << " len " << len << " offsets "
                                          << srcOffset << "/" << dstOffset);
          ComplexBuffer src(len, srcOffset), dst(len, dstOffset);
          src.Fill(a);
          dst.Fill(b);
          ASSERT_EQ(Mul(v, src.start, dst.start, len), WuPerfOk);
          ASSERT_EQ(dst.Words(), expected.Words());
          std::vector<uint64_t> srcAfter = src.Words();
          ASSERT_TRUE(std::equal(a.begin(), a.end(), srcAfter.begin()));  // source only read
        }
      }
    }
  }
}

TEST(ComplexMulTest, SameVectorAsBothOperandsSquares) {
  const int32_t len = 9;
  std::vector<uint64_t> a = FiniteWords(2 * len, 5);
  for (int v : SupportedVariants()) {
    SCOPED_TRACE(VariantName(v));
    ComplexBuffer copy(len, 0), squared(len, 0);
    copy.Fill(a);
    squared.Fill(a);
    ASSERT_EQ(Mul(v, squared.start, squared.start, len), WuPerfOk);
    ASSERT_EQ(Mul(v, a.data(), copy.start, len), WuPerfOk);
    EXPECT_EQ(squared.Words(), copy.Words());
  }
}

// The conjugate flips only the sign bit of each imaginary part, so that
// +0 becomes -0 and NaN payloads (signalling ones too) keep their bits;
// applying it twice restores every bit.
TEST(ComplexConjTest, FlipsImaginarySignsOnlyAndIsInvolutive) {
  const uint64_t specials[] = {0, 0x8000000000000000u, 0x7FF0000000000000u,
                               0x7FF8000000000001u, 0x7FF0000000000001u /* signalling */,
                               0x0000000000000001u, Bits(1.5)};
  for (int v : SupportedVariants()) {
    for (int32_t len : {1, 2, 3, 4, 5, 8, 9, 1000}) {
      for (size_t offset : {0u, 4u, 8u}) {
        SCOPED_TRACE(testing::Message() << VariantName(v) << " len " << len << " offset "
                                        << offset);
        std::vector<uint64_t> words = FiniteWords(2 * len, 9);
        for (size_t i = 0; i < words.size(); ++i)
          if (i % 3 == 0) words[i] = specials[(i / 3) % 7];
        ComplexBuffer data(len, offset);
        data.Fill(words);
        std::vector<uint64_t> before = data.Words();
        ASSERT_EQ(Conj(v, data.start, len), WuPerfOk);
        std::vector<uint64_t> once = data.Words();
        for (size_t i = 0; i < 2 * static_cast<size_t>(len); ++i)
          ASSERT_EQ(once[i], before[i] ^ (i % 2 ? 0x8000000000000000u : 0)) << i;
        ASSERT_EQ(once.back(), before.back());  // guard element untouched
        ASSERT_EQ(Conj(v, data.start, len), WuPerfOk);
        ASSERT_EQ(data.Words(), before);
      }
    }
  }
}

TEST(ComplexTest, ArgumentErrorsComeInOrderAndTouchNothing) {
  double in[2] = {1, 2};
  for (int v : SupportedVariants()) {
    SCOPED_TRACE(VariantName(v));
    double data[2] = {3, 4};
    EXPECT_EQ(Mul(v, nullptr, data, 1), WuPerfErrNullPointer);
    EXPECT_EQ(Mul(v, in, nullptr, 1), WuPerfErrNullPointer);
    EXPECT_EQ(Mul(v, nullptr, nullptr, -1), WuPerfErrNullPointer);
    EXPECT_EQ(Mul(v, in, data, 0), WuPerfErrSize);
    EXPECT_EQ(Mul(v, in, data, -2), WuPerfErrSize);
    EXPECT_EQ(Conj(v, nullptr, 0), WuPerfErrNullPointer);
    EXPECT_EQ(Conj(v, data, 0), WuPerfErrSize);
    EXPECT_EQ(Conj(v, data, -1), WuPerfErrSize);
    EXPECT_EQ(data[0], 3.0);
    EXPECT_EQ(data[1], 4.0);
  }
  EXPECT_EQ(static_cast<uint32_t>(WuPerfsMul_64fc_I(in, nullptr, 0)), 0x8004E608u);
  EXPECT_EQ(static_cast<uint32_t>(WuPerfsConj_64fc_I(in, 0)), 0x8004E606u);
}

}  // namespace
