// The fixed kernels of the real double-precision FFT in detail: the forward
// networks and the inverse straight-line forms against their written
// arithmetic, the identities between orders, closed forms and the oracle
// bound; variant 0's 32-point complex kernels in both directions; variant
// 0's pre-pass and post-pass steps and its radix passes.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/FftContext.h"
#include "dsp/FftReal.h"
#include "dsp/WuPerf.h"
#include "dsp/WuPerfTesting.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/VariantTestUtil.h"

namespace {

using wuperf::FixedKernelSlot;
using Vec = std::vector<double>;

constexpr long double kPi = std::numbers::pi_v<long double>;

const FixedKernelSlot* FwdRow(int row) { return wuperf::WuPerfFFTFwd64f_FixedKernels[row]; }
const FixedKernelSlot* InvRow(int row) { return wuperf::WuPerfFFTInv64f_FixedKernels[row]; }

bool SameBits(const Vec& a, const Vec& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), 8 * a.size()) == 0;
}

// n doubles of varied sign and magnitude.
Vec Noise(int n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(-1.0, 1.0);
  Vec v(n);
  for (int i = 0; i < n; ++i) v[i] = d(gen) * (1.0 + i / 3.0);
  return v;
}

// The real kernel of `order` in `row`, unscaled or with factor f.
Vec Kernel(const FixedKernelSlot* row, int order, const Vec& in, bool scaled, double f = 1.0) {
  Vec out(in.size(), -7.0);
  if (scaled)
    row[6 + order].scaled(in.data(), out.data(), f);
  else
    row[order].plain(in.data(), out.data());
  return out;
}

double Bits(uint64_t b) { return std::bit_cast<double>(b); }
const double kH = Bits(0x3FE6A09E667F3BCD);      // cos(pi/4)
const double kSqrt2 = Bits(0x3FF6A09E667F3BCD);  // sqrt(2)
const double kC8 = Bits(0x3FED906BCF328D46);     // cos(pi/8)
const double kS8 = Bits(0x3FD87DE2A6AEA963);     // sin(pi/8)

// ---- Forward ------------------------------------------------------------------------

// Orders 2 and 3 as written: first-stage sums and differences (scaled there
// and only there), then the network.
Vec RefForward4(const Vec& x, bool scaled, double f) {
  auto s = [&](double v) { return scaled ? v * f : v; };
  const double a = s(x[0] + x[2]), b = s(x[1] + x[3]), c = s(x[0] - x[2]), d = s(x[3] - x[1]);
  return {a + b, a - b, c, d};
}
Vec RefForward8(const Vec& x, bool scaled, double f) {
  auto s = [&](double v) { return scaled ? v * f : v; };
  const double a = s(x[0] - x[4]), b = s(x[2] - x[6]), u = s(x[1] - x[5]), v = s(x[3] - x[7]);
  const double p = s(x[0] + x[4]), q = s(x[2] + x[6]), r = s(x[1] + x[5]), t = s(x[3] + x[7]);
  return {(p + q) + (r + t), (p + q) - (r + t), a + (u - v) * kH, -(u + v) * kH - b,
          p - q,             t - r,             a - (u - v) * kH, b - (u + v) * kH};
}

TEST(FftRealKernels, ForwardOrdersTwoAndThreeRunTheirWrittenNetworks) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    for (int row = 0; row < 5; ++row) {
      const Vec x4 = Noise(4, seed), x8 = Noise(8, seed);
      EXPECT_TRUE(SameBits(Kernel(FwdRow(row), 2, x4, false), RefForward4(x4, false, 1)));
      EXPECT_TRUE(SameBits(Kernel(FwdRow(row), 2, x4, true, 0.3), RefForward4(x4, true, 0.3)));
      EXPECT_TRUE(SameBits(Kernel(FwdRow(row), 3, x8, false), RefForward8(x8, false, 1)));
      EXPECT_TRUE(SameBits(Kernel(FwdRow(row), 3, x8, true, 0.3), RefForward8(x8, true, 0.3)));
    }
  }
}

// Order n's even bins are order n - 1's network on the first-stage sums
// (scaled there), bit for bit; with x_j = x_(j+N/2) every odd bin is zero.
TEST(FftRealKernels, ForwardEvenBinsAreTheNextOrderDownOnTheSums) {
  for (int o = 2; o <= 5; ++o) {
    const int n = 1 << o, h = n / 2;
    for (bool scaled : {false, true}) {
      SCOPED_TRACE(testing::Message() << "order " << o << (scaled ? " scaled" : ""));
      const double f = scaled ? 0.3 : 1.0;
      Vec x = Noise(n, 10 + o), sums(h);
      for (int j = 0; j < h; ++j) sums[j] = scaled ? (x[j] + x[j + h]) * f : x[j] + x[j + h];
      const Vec down = Kernel(FwdRow(0), o - 1, sums, false);
      for (int row = 0; row < 5; ++row) {
        const Vec y = Kernel(FwdRow(row), o, x, scaled, f);
        EXPECT_EQ(std::bit_cast<uint64_t>(y[0]), std::bit_cast<uint64_t>(down[0]));
        EXPECT_EQ(std::bit_cast<uint64_t>(y[1]), std::bit_cast<uint64_t>(down[1]));
        for (int k = 1; k < h / 2; ++k) {
          EXPECT_EQ(std::bit_cast<uint64_t>(y[4 * k]), std::bit_cast<uint64_t>(down[2 * k])) << k;
          EXPECT_EQ(std::bit_cast<uint64_t>(y[4 * k + 1]), std::bit_cast<uint64_t>(down[2 * k + 1]))
              << k;
        }
      }
      for (int j = 0; j < h; ++j) x[j + h] = x[j];
      const Vec y = Kernel(FwdRow(0), o, x, scaled, f);
      for (int k = 0; k < h / 2; ++k) {
        EXPECT_EQ(y[4 * k + 2], 0.0) << k;
        EXPECT_EQ(y[4 * k + 3], 0.0) << k;
      }
    }
  }
}

// The exact packed spectrum of x (long double direct sums).
std::vector<long double> ExactSpectrum(const Vec& x) {
  const int n = static_cast<int>(x.size());
  std::vector<long double> y(n);
  for (int k = 0; k <= n / 2; ++k) {
    long double re = 0, im = 0;
    for (int j = 0; j < n; ++j) {
      const long double a = 2 * kPi * ((static_cast<int64_t>(j) * k) % n) / n;
      re += x[j] * std::cos(a), im -= x[j] * std::sin(a);
    }
    if (k == 0) y[0] = re;
    else if (k == n / 2) y[1] = re;
    else y[2 * k] = re, y[2 * k + 1] = im;
  }
  return y;
}

TEST(FftRealKernels, ForwardClosedFormsAndTheBound) {
  for (int o = 0; o <= 5; ++o) {
    const int n = 1 << o;
    SCOPED_TRACE(testing::Message() << "order " << o);
    // Random inputs against the oracle, unscaled and scaled by 1/N.
    for (uint32_t seed : {4u, 5u}) {
      const std::vector<long double>& exact = dsptest::RealOracle(o, seed, false);
      std::vector<long double> scaledExact(exact);
      for (long double& e : scaledExact) e /= n;
      const Vec& in = dsptest::RealInput(o, seed);
      EXPECT_TRUE(dsptest::WithinFftBound(exact, Kernel(FwdRow(4), o, in, false).data(), o));
      EXPECT_TRUE(dsptest::WithinFftBound(scaledExact, Kernel(FwdRow(4), o, in, true, 1.0 / n).data(), o));
    }
    // cos and sin of every bin k: N/2 at element 2k (cos) or -N/2 at 2k + 1
    // (sin); the Nyquist alternation gives N at element 1.
    for (int k = 1; k < n / 2; ++k) {
      Vec c(n), s(n);
      for (int j = 0; j < n; ++j) {
        const long double a = 2 * kPi * ((j * k) % n) / n;
        c[j] = static_cast<double>(std::cos(a)), s[j] = static_cast<double>(std::sin(a));
      }
      const Vec yc = Kernel(FwdRow(0), o, c, false), ys = Kernel(FwdRow(0), o, s, false);
      EXPECT_TRUE(dsptest::WithinFftBound(ExactSpectrum(c), yc.data(), o)) << k;
      EXPECT_TRUE(dsptest::WithinFftBound(ExactSpectrum(s), ys.data(), o)) << k;
      EXPECT_NEAR(yc[2 * k], n / 2.0, 1e-14) << k;
      EXPECT_NEAR(ys[2 * k + 1], -n / 2.0, 1e-14) << k;
    }
    if (n >= 2) {
      Vec alt(n);
      for (int j = 0; j < n; ++j) alt[j] = j % 2 ? -1.0 : 1.0;
      const Vec y = Kernel(FwdRow(0), o, alt, false);
      for (int i = 0; i < n; ++i) EXPECT_EQ(y[i], i == 1 ? n : 0.0) << i;
    }
  }
}

// ---- The 32-point complex kernels ---------------------------------------------------

Vec Conj(Vec v) {
  for (size_t i = 1; i < v.size(); i += 2) v[i] = -v[i];
  return v;
}

TEST(FftRealKernels, TheForward32PointKernelIsTheConjugatedInverse) {
  const FixedKernelSlot* fwd = FwdRow(4);
  const FixedKernelSlot* inv = InvRow(4);
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    const Vec x = Noise(64, 100 + seed);
    Vec y(64), mirror(64), ys(64), mirrorScaled(64);
    fwd[17].plain(x.data(), y.data());
    const Vec cx = Conj(x);
    inv[17].plain(cx.data(), mirror.data());
    EXPECT_TRUE(SameBits(y, Conj(mirror)));
    fwd[23].scaled(x.data(), ys.data(), 0.3);
    inv[23].scaled(cx.data(), mirrorScaled.data(), 0.3);
    EXPECT_TRUE(SameBits(ys, Conj(mirrorScaled)));
    Vec same(x);
    fwd[23].scaled(same.data(), same.data(), 0.3);
    EXPECT_TRUE(SameBits(same, ys));
    Vec one(64);
    fwd[23].scaled(x.data(), one.data(), 1.0);
    EXPECT_TRUE(SameBits(one, y));
    // Against the exact forward DFT.
    std::vector<dsptest::ComplexLD> pts(32);
    for (int j = 0; j < 32; ++j) pts[j] = {x[2 * j], x[2 * j + 1]};
    const std::vector<dsptest::ComplexLD> exact = dsptest::DirectComplexDft(pts, false);
    std::vector<long double> flat;
    for (const auto& e : exact) flat.push_back(e.real()), flat.push_back(e.imag());
    EXPECT_TRUE(dsptest::WithinFftBound(flat, y.data(), 6));
  }
  // x_m = 1 gives e^(-2 pi i mk/32); a constant c gives exactly 32c and zeros.
  for (int m : {1, 5, 16, 27}) {
    Vec x(64, 0.0), y(64);
    x[2 * m] = 1.0;
    fwd[17].plain(x.data(), y.data());
    for (int k = 0; k < 32; ++k) {
      const long double a = 2 * kPi * ((m * k) % 32) / 32;
      EXPECT_NEAR(y[2 * k], static_cast<double>(std::cos(a)), 1e-15) << m << " " << k;
      EXPECT_NEAR(y[2 * k + 1], static_cast<double>(-std::sin(a)), 1e-15) << m << " " << k;
    }
  }
  Vec c(64), y(64);
  for (int j = 0; j < 32; ++j) c[2 * j] = -0.625, c[2 * j + 1] = 1.5;
  fwd[17].plain(c.data(), y.data());
  EXPECT_EQ(y[0], -20.0);
  EXPECT_EQ(y[1], 48.0);
  for (int i = 2; i < 64; ++i) EXPECT_EQ(y[i], 0.0) << i;
}

// ---- Inverse ------------------------------------------------------------------------

// Orders 2 to 4 as written: the first-level values (R0 +/- R(N/2), the
// doubled middle bin, the mirrored sums and differences) scaled first,
// then the stated sums and products.
Vec RefInverse4(const Vec& p, bool scaled, double s) {
  auto m = [&](double v) { return scaled ? v * s : v; };
  const double a = m(p[0] + p[1]), b = m(p[0] - p[1]), r = m(2 * p[2]), i = m(2 * p[3]);
  return {a + r, b - i, a - r, b + i};
}
Vec RefInverse8(const Vec& p, bool scaled, double s) {
  auto m = [&](double v) { return scaled ? v * s : v; };
  const double R0 = p[0], R4 = p[1], R1 = p[2], I1 = p[3], R2 = p[4], I2 = p[5], R3 = p[6],
               I3 = p[7];
  const double h = m(R0 + R4), g = m(R0 - R4), P = m(2 * R2), q = m(2 * I2);
  const double s13 = m(R1 + R3), d13 = m(I1 - I3), dr = m(R1 - R3), si = m(I1 + I3);
  const double u = kSqrt2 * (dr - si), v = -kSqrt2 * (dr + si);
  Vec x(8);
  x[0] = h + P + 2 * s13, x[4] = h + P - 2 * s13;
  x[2] = h - P - 2 * d13, x[6] = h - P + 2 * d13;
  x[1] = g - q + u, x[5] = g - q - u;
  x[3] = g + q + v, x[7] = g + q - v;
  return x;
}
Vec RefInverse16(const Vec& p, bool scaled, double s) {
  auto m = [&](double v) { return scaled ? v * s : v; };
  auto R = [&](int k) { return p[2 * k]; };
  auto I = [&](int k) { return p[2 * k + 1]; };
  const double a = m(p[0] + p[1]), b = m(p[0] - p[1]), P = m(2 * R(4)), q = m(2 * I(4));
  const double SR1 = m(R(1) + R(7)), DR1 = m(R(1) - R(7)), SR3 = m(R(3) + R(5)),
               DR3 = m(R(5) - R(3)), SR2 = m(R(2) + R(6)), DR2 = m(R(2) - R(6));
  const double SI1 = m(I(1) + I(7)), DI1 = m(I(1) - I(7)), SI3 = m(I(3) + I(5)),
               DI3 = m(I(5) - I(3)), SI2 = m(I(2) + I(6)), DI2 = m(I(2) - I(6));
  Vec x(16);
  const double e0 = a + P + 2 * SR2, o0 = 2 * (SR1 + SR3);
  x[0] = e0 + o0, x[8] = e0 - o0;
  const double e4 = a + P - 2 * SR2, o4 = 2 * (DI1 + DI3);
  x[4] = e4 - o4, x[12] = e4 + o4;
  const double f = b - q, g = kSqrt2 * (DR2 - SI2);
  const double j = kC8 * (DR1 - SI3) - kS8 * (SI1 + DR3);
  const double k = kC8 * (SI1 + DR3) + kS8 * (DR1 - SI3);
  x[1] = f + g + 2 * j, x[9] = f + g - 2 * j, x[5] = f - g - 2 * k, x[13] = f - g + 2 * k;
  const double l = a - P - 2 * DI2, mu = kH * ((SR1 - SR3) - (DI1 - DI3));
  x[2] = l + 2 * mu, x[10] = l - 2 * mu;
  const double l2 = a - P + 2 * DI2, nu = kH * ((SR1 - SR3) + (DI1 - DI3));
  x[6] = l2 - 2 * nu, x[14] = l2 + 2 * nu;
  const double hh = b + q, u = -kSqrt2 * (DR2 + SI2);
  const double r = kS8 * (DR1 + SI3) - kC8 * (SI1 - DR3);
  const double v = kS8 * (SI1 - DR3) + kC8 * (DR1 + SI3);
  x[3] = hh + u + 2 * r, x[11] = hh + u - 2 * r, x[7] = hh - u - 2 * v, x[15] = hh - u + 2 * v;
  return x;
}

TEST(FftRealKernels, InverseOrdersTwoToFourRunTheirWrittenForms) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    for (int row = 0; row < 5; ++row) {
      SCOPED_TRACE(testing::Message() << "row " << row << " seed " << seed);
      const Vec p4 = Noise(4, seed), p8 = Noise(8, seed), p16 = Noise(16, seed);
      for (bool scaled : {false, true}) {
        EXPECT_TRUE(SameBits(Kernel(InvRow(row), 2, p4, scaled, 0.3), RefInverse4(p4, scaled, 0.3)));
        EXPECT_TRUE(SameBits(Kernel(InvRow(row), 3, p8, scaled, 0.3), RefInverse8(p8, scaled, 0.3)));
        EXPECT_TRUE(
            SameBits(Kernel(InvRow(row), 4, p16, scaled, 0.3), RefInverse16(p16, scaled, 0.3)));
      }
    }
  }
}

// With every odd bin zero, order n gives order n - 1's result on R0,
// R(N/2) and the even bins, twice over (scaled alike).
TEST(FftRealKernels, InverseEvenPartIsTheNextOrderDown) {
  for (int o = 2; o <= 5; ++o) {
    const int n = 1 << o, h = n / 2;
    Vec p = Noise(n, 20 + o), even(h);
    for (int k = 1; k < h; k += 2) p[2 * k] = 0, p[2 * k + 1] = 0;
    even[0] = p[0], even[1] = p[1];
    for (int k = 1; k < h / 2; ++k) even[2 * k] = p[4 * k], even[2 * k + 1] = p[4 * k + 1];
    for (bool scaled : {false, true}) {
      SCOPED_TRACE(testing::Message() << "order " << o << (scaled ? " scaled" : ""));
      const Vec down = Kernel(InvRow(0), o - 1, even, scaled, 0.3);
      for (int row = 0; row < 5; ++row) {
        const Vec x = Kernel(InvRow(row), o, p, scaled, 0.3);
        for (int t = 0; t < h; ++t) {
          EXPECT_EQ(x[t], down[t]) << t;
          EXPECT_EQ(x[t + h], down[t]) << t;
        }
      }
    }
  }
}

TEST(FftRealKernels, InverseClosedFormsRoundTripsAndTheBound) {
  for (int o = 0; o <= 5; ++o) {
    const int n = 1 << o;
    SCOPED_TRACE(testing::Message() << "order " << o);
    for (uint32_t seed : {6u, 7u}) {
      const std::vector<long double>& exact = dsptest::RealOracle(o, seed, true);
      const Vec& in = dsptest::RealInput(o, seed);
      const Vec x = Kernel(InvRow(4), o, in, false);
      EXPECT_TRUE(dsptest::WithinFftBound(exact, x.data(), o));
      std::vector<long double> scaledExact(exact);
      for (long double& e : scaledExact) e /= n;
      EXPECT_TRUE(dsptest::WithinFftBound(scaledExact, Kernel(InvRow(4), o, in, true, 1.0 / n).data(), o));
      EXPECT_TRUE(SameBits(Kernel(InvRow(4), o, in, true, 1.0), x));
      for (double z : Kernel(InvRow(4), o, in, true, 0.0)) EXPECT_EQ(z, 0.0);
      Vec same(in);
      InvRow(4)[o].plain(same.data(), same.data());
      EXPECT_TRUE(SameBits(same, x));
      // The inverse of the forward gives N x.
      const Vec back = Kernel(InvRow(4), o, Kernel(FwdRow(4), o, in, false), false);
      std::vector<long double> nx(in.begin(), in.end());
      for (long double& e : nx) e *= n;
      EXPECT_TRUE(dsptest::WithinFftBound(nx, back.data(), o));
    }
    // Only Rk = 1 gives 2 cos(2 pi kt/N); only Ik = 1 gives -2 sin(2 pi kt/N).
    for (int k = 1; k < n / 2; ++k) {
      for (int part = 0; part < 2; ++part) {
        Vec p(n, 0.0);
        p[2 * k + part] = 1.0;
        const Vec x = Kernel(InvRow(4), o, p, false);
        for (int t = 0; t < n; ++t) {
          const long double a = 2 * kPi * ((k * t) % n) / n;
          const double want = static_cast<double>(part == 0 ? 2 * std::cos(a) : -2 * std::sin(a));
          EXPECT_NEAR(x[t], want, 2e-15) << k << " " << part << " " << t;
        }
      }
    }
  }
}

// ---- Variant 0's pre-pass and post-pass -----------------------------------------------

class FftRealKernelsV0 : public dsptest::DspTest {
 protected:
  // A variant-0 context of `order` (flag 8: no scaling).
  wuperf::FftSpecReal* MakeContext(int order) {
    EXPECT_TRUE(WuPerf_ForceVariantForTesting(0));
    void* ctx = nullptr;
    EXPECT_GE(WuPerfsFFTInitAlloc_R_64f(&ctx, order, 8, 0), 0);
    ctx_ = ctx;
    return static_cast<wuperf::FftSpecReal*>(ctx);
  }
  void TearDown() override {
    if (ctx_ != nullptr) WuPerfsFFTFree_R_64f(ctx_);
    dsptest::DspTest::TearDown();
  }
  void* ctx_ = nullptr;
};

// One bin a step from the pair table (cos, -sin of 2 pi k/N at doubles 2k,
// 2k + 1): the middle point first, then bins k and N/2 - k.
TEST_F(FftRealKernelsV0, PrePassFoldsEachBinByItsPairRecord) {
  for (int order : {6, 9}) {
    wuperf::FftSpecReal* ctx = MakeContext(order);
    ASSERT_NE(ctx, nullptr);
    const int n = 1 << order, m = n / 2;
    const double* t = static_cast<const double*>(ctx->inverseRealTwiddle);
    const Vec src = Noise(n, 30 + order);
    Vec want(n, -7.0), got(n, -7.0);
    want[m] = 2 * src[m], want[m + 1] = -2 * src[m + 1];
    for (int k = 1; k < n / 4; ++k) {
      const int j = m - k;
      const double cs = t[2 * k], sn = -t[2 * k + 1];
      const double sr = src[2 * k] + src[2 * j], dr = src[2 * k] - src[2 * j];
      const double si = src[2 * k + 1] + src[2 * j + 1], di = src[2 * k + 1] - src[2 * j + 1];
      want[2 * k] = sr - sn * dr - cs * si;
      want[2 * k + 1] = di - sn * si + cs * dr;
      want[2 * j] = sr + sn * dr + cs * si;
      want[2 * j + 1] = -di - sn * si + cs * dr;
      EXPECT_NEAR(cs, static_cast<double>(std::cos(2 * kPi * k / n)), 2e-16) << k;
    }
    wuperf::v0::WuPerfFFTInv64f_RealPrePass_V0(src.data(), got.data(), m, -1, t);
    EXPECT_EQ(got[0], -7.0);  // point 0 is the driver's
    EXPECT_EQ(got[1], -7.0);
    got[0] = want[0], got[1] = want[1];
    EXPECT_TRUE(SameBits(got, want));
    Vec same(src);
    wuperf::v0::WuPerfFFTInv64f_RealPrePass_V0(same.data(), same.data(), m, -1, t);
    same[0] = want[0], same[1] = want[1];
    EXPECT_TRUE(SameBits(same, want));
    WuPerfsFFTFree_R_64f(ctx_);
    ctx_ = nullptr;
  }
}

// One k a step from the pair table (A_k, B_k at doubles 2k, 2k + 1), then
// the sign of the middle point's imaginary part.
TEST_F(FftRealKernelsV0, PostPassCombinesEachBinByItsPairRecord) {
  wuperf::FftSpecReal* ctx = MakeContext(8);
  ASSERT_NE(ctx, nullptr);
  const int m = 128;
  const double* t = static_cast<const double*>(ctx->forwardRealTwiddle);
  Vec want = Noise(2 * m, 40), got(want);
  for (int k = 1; k < m / 2; ++k) {
    const int j = m - k;
    const double a = t[2 * k], b = t[2 * k + 1];
    EXPECT_NEAR(a, static_cast<double>(0.5L * std::cos(2 * kPi * k / (2 * m))), 2e-16) << k;
    const double zr = want[2 * k], zi = want[2 * k + 1], wr = want[2 * j], wi = want[2 * j + 1];
    const double e = zr - wr, f = zi + wi;
    const double g = e * b + f * a, h = f * b - e * a;
    want[2 * k] = wr + g, want[2 * k + 1] = h - wi;
    want[2 * j] = zr - g, want[2 * j + 1] = h - zi;
  }
  want[m + 1] = -want[m + 1];
  wuperf::v0::WuPerfFFTFwd64f_RealPostPass_V0(got.data(), m, 1, t);
  EXPECT_TRUE(SameBits(got, want));
}

// The passes on bit-reversed points give the DFT in natural order; the
// inverse passes are the forward ones with every factor conjugated, so
// inverse(x) = conj(forward(conj(x))) bit for bit (odd and even half-orders).
TEST_F(FftRealKernelsV0, PassesGiveTheDftAndTheInverseIsTheirMirror) {
  for (int order : {8, 9}) {
    wuperf::FftSpecReal* ctx = MakeContext(order);
    ASSERT_NE(ctx, nullptr);
    const int c = order - 1, m = 1 << c;
    const double* tw = static_cast<const double*>(ctx->twiddleTable);
    const Vec x = Noise(2 * m, 50 + order);
    Vec rev(2 * m);
    for (int j = 0; j < m; ++j) {
      int r = 0;
      for (int b = 0; b < c; ++b) r |= ((j >> b) & 1) << (c - 1 - b);
      rev[2 * r] = x[2 * j], rev[2 * r + 1] = x[2 * j + 1];
    }
    Vec fwd(rev), inv(rev), mirror = Conj(rev);
    wuperf::v0::WuPerfFFTFwd64f_Passes_V0(fwd.data(), m, tw);
    wuperf::v0::WuPerfFFTInv64f_Passes_V0(inv.data(), m, tw);
    wuperf::v0::WuPerfFFTFwd64f_Passes_V0(mirror.data(), m, tw);
    EXPECT_TRUE(SameBits(inv, Conj(mirror))) << order;
    std::vector<dsptest::ComplexLD> pts(m);
    for (int j = 0; j < m; ++j) pts[j] = {x[2 * j], x[2 * j + 1]};
    for (bool inverse : {false, true}) {
      const std::vector<dsptest::ComplexLD> exact = dsptest::DirectComplexDft(pts, inverse);
      std::vector<long double> flat;
      for (const auto& e : exact) flat.push_back(e.real()), flat.push_back(e.imag());
      EXPECT_TRUE(dsptest::WithinFftBound(flat, (inverse ? inv : fwd).data(), order)) << order;
    }
    WuPerfsFFTFree_R_64f(ctx_);
    ctx_ = nullptr;
  }
}

}  // namespace
