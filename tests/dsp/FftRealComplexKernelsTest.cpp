// The complex columns (12 to 23) of the real FFT's fixed-kernel tables:
// DFTs of 1 to 32 interleaved complex doubles in every variant and both
// directions, scaled and unscaled, against a direct DFT in long double;
// and variant 0's 32-point kernels, which the order-6 drivers call, kept
// exactly as they were.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "dsp/FftReal.h"
#include "tests/dsp/FftOracle.h"

namespace {

using wuperf::FixedKernelSlot;
using Vec = std::vector<double>;

const FixedKernelSlot* Row(bool inverse, int variant) {
  const int row = wuperf::FixedKernelRow(variant);
  return inverse ? wuperf::WuPerfFFTInv64f_FixedKernels[row]
                 : wuperf::WuPerfFFTFwd64f_FixedKernels[row];
}

// n doubles in [-1, 1) times a magnitude growing along the array, from the
// standard 64-bit Mersenne twister's bits, so the values are the same with
// every library.
Vec Noise(int n, uint64_t seed) {
  std::mt19937_64 gen(seed);
  Vec v(n);
  for (int i = 0; i < n; ++i)
    v[i] = (static_cast<double>(gen() >> 11) * 0x1p-53 * 2.0 - 1.0) * (1.0 + i / 5.0);
  return v;
}

bool SameBits(const Vec& a, const Vec& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), 8 * a.size()) == 0;
}

// The kernel in `slot` on x (2^order complex points), factor f when scaled.
// The destination has guard values after its 2^(order+1) doubles, which the
// kernel must leave alone.
Vec RunKernel(const FixedKernelSlot& slot, const Vec& x, bool scaled, double f) {
  constexpr double kGuard = -1234.5;
  Vec out(x.size() + 4, kGuard);
  if (scaled)
    slot.scaled(x.data(), out.data(), f);
  else
    slot.plain(x.data(), out.data());
  for (size_t i = x.size(); i < out.size(); ++i) EXPECT_EQ(out[i], kGuard) << "wrote past the end";
  out.resize(x.size());
  return out;
}

// The exact DFT of x (interleaved), times f, as interleaved long doubles.
std::vector<long double> Exact(const Vec& x, bool inverse, long double f) {
  std::vector<dsptest::ComplexLD> pts(x.size() / 2);
  for (size_t j = 0; j < pts.size(); ++j) pts[j] = {x[2 * j], x[2 * j + 1]};
  std::vector<long double> flat;
  for (const dsptest::ComplexLD& y : dsptest::DirectComplexDft(pts, inverse))
    flat.push_back(y.real() * f), flat.push_back(y.imag() * f);
  return flat;
}

// Every complex column of both tables in every variant: filled, the shared
// columns the same member in both tables, within the bound of the exact
// DFT (scaled: times the factor), the same bits in every variant, in place
// as out of place, and with factor 1 as unscaled; a constant gives M times
// itself at point 0 and zeros elsewhere, scaled by 1/M exactly itself.
TEST(FftRealComplexKernels, EveryColumnInEveryVariantIsTheSmallDft) {
  for (bool inverse : {false, true}) {
    for (int col = 12; col < 24; ++col) {
      const bool scaled = col >= 18;
      const int order = (col - 12) % 6, m = 1 << order;
      const bool shared = order <= 1;  // orders 0 and 1 serve both directions
      SCOPED_TRACE(testing::Message() << (inverse ? "inverse" : "forward") << " column " << col);
      const double f = scaled ? 0.3 : 1.0;
      std::vector<Vec> inputs;
      for (uint64_t seed : {1, 2, 3}) inputs.push_back(Noise(2 * m, seed + 10 * col));
      std::vector<Vec> first;  // variant 4's results
      for (int v = 4; v >= 0; --v) {
        SCOPED_TRACE(testing::Message() << "variant " << v);
        const FixedKernelSlot& slot = Row(inverse, v)[col];
        const void* member = reinterpret_cast<const void*>(slot.plain);
        const void* other = reinterpret_cast<const void*>(slot.scaled);
        if (scaled) std::swap(member, other);
        ASSERT_NE(member, nullptr);
        EXPECT_EQ(other, nullptr);
        if (shared) {
          EXPECT_EQ(slot.plain, Row(!inverse, v)[col].plain);
          EXPECT_EQ(slot.scaled, Row(!inverse, v)[col].scaled);
        }
        for (size_t s = 0; s < inputs.size(); ++s) {
          const Vec& x = inputs[s];
          const Vec y = RunKernel(slot, x, scaled, f);
          EXPECT_TRUE(dsptest::WithinFftBound(Exact(x, inverse, f), y.data(), order + 1)) << s;
          if (v == 4)
            first.push_back(y);
          else
            EXPECT_TRUE(SameBits(y, first[s])) << s;
          Vec same(x);
          if (scaled)
            slot.scaled(same.data(), same.data(), f);
          else
            slot.plain(same.data(), same.data());
          EXPECT_TRUE(SameBits(same, y)) << s;
          if (scaled) {
            const Vec unscaled = RunKernel(Row(inverse, v)[col - 6], x, false, 1.0);
            EXPECT_TRUE(SameBits(RunKernel(slot, x, true, 1.0), unscaled)) << s;
          }
        }
        Vec c(2 * m);
        for (int j = 0; j < m; ++j) c[2 * j] = -0.625, c[2 * j + 1] = 1.5;
        const double g = scaled ? 1.0 / m : 1.0;
        const Vec y = RunKernel(slot, c, scaled, g);
        EXPECT_EQ(y[0], -0.625 * m * g);
        EXPECT_EQ(y[1], 1.5 * m * g);
        for (int i = 2; i < 2 * m; ++i) EXPECT_EQ(y[i], 0.0) << i;
      }
    }
  }
}

// FNV-1a over the bits of the doubles.
uint64_t Digest(uint64_t h, const Vec& v) {
  for (double d : v) {
    uint64_t b = std::bit_cast<uint64_t>(d);
    for (int i = 0; i < 8; ++i, b >>= 8) h = (h ^ (b & 0xFF)) * 0x100000001B3ull;
  }
  return h;
}

// Variant 0's columns 17 and 23 feed its order-6 transforms: their results
// are fixed bit for bit, as digests of their outputs on seeded inputs.
TEST(FftRealComplexKernels, VariantZeroThirtyTwoPointKernelsKeepTheirBits) {
  struct Case {
    bool inverse;
    int col;
    uint64_t digest;
  } cases[] = {{false, 17, 0xB5559B63C8D4B333ull},
               {false, 23, 0x6D59CD0A7CD00FD3ull},
               {true, 17, 0x776B036519C21922ull},
               {true, 23, 0x19C963EF5C8EAA12ull}};
  for (const Case& c : cases) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (uint64_t seed = 1; seed <= 4; ++seed) {
      const Vec x = Noise(64, 1000 + seed);
      h = Digest(h, RunKernel(Row(c.inverse, 0)[c.col], x, c.col == 23, 0.3));
    }
    EXPECT_EQ(h, c.digest) << (c.inverse ? "inverse" : "forward") << " column " << c.col
                           << std::hex << " digest 0x" << h;
  }
}

}  // namespace
