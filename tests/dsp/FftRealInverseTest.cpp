// The inverse real double-precision FFT: the inverse fixed kernels and the
// 32-point inverse complex kernel, the export against the oracle in every
// variant, closed forms at the pre-pass's edges, round trips, bit
// identities and the export's statuses.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

#include "dsp/FftContext.h"
#include "dsp/FftReal.h"
#include "dsp/WuPerf.h"
#include "dsp/WuPerfTesting.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/FftRealTestSupport.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

using wuperf::FixedKernelSlot;

class FftRealInverseTest : public dsptest::FftVariantTest {};

WuPerfStatus Status(HRESULT hr) {
  return hr >= 0 ? static_cast<WuPerfStatus>(hr - 0x0004E600)
                 : -static_cast<WuPerfStatus>(static_cast<uint32_t>(hr) - 0x8004E600u);
}

using Driver = WuPerfStatus (*)(const double*, double*, const void*, uint8_t*);
constexpr Driver kInvDrivers[5] = {
    wuperf::v0::WuPerfFFTInv_PermToR64f_V0, wuperf::v1::WuPerfFFTInv_PermToR64f_V1,
    wuperf::v2::WuPerfFFTInv_PermToR64f_V2, wuperf::v3::WuPerfFFTInv_PermToR64f_V3,
    wuperf::v4::WuPerfFFTInv_PermToR64f_V4};

// How one inverse transform is reached.
enum class Route { kExport, kBuffer, kDriver, kDriverMisaligned };

// The inverse of `in` under a context made by `variant` (forced for set-up
// and call); kBuffer: the caller's buffer `offset` bytes past a 64-byte
// boundary; kDriver: the variant's driver out of place (source checked
// unchanged); kDriverMisaligned: the same into a destination 8 bytes off the
// 16-byte grid.
std::vector<double> Inverse(int variant, int order, int flag, const std::vector<double>& in,
                            Route route = Route::kExport, int offset = 0) {
  EXPECT_TRUE(WuPerf_ForceVariantForTesting(variant));
  void* ctx = nullptr;
  EXPECT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, order, flag, 0)), WuPerfOk);
  if (ctx == nullptr) return {};
  std::vector<double> out(in);
  switch (route) {
    case Route::kExport:
      EXPECT_EQ(Status(WuPerfsFFTInv_PermToR_64f_I(out.data(), ctx, nullptr)), WuPerfOk);
      break;
    case Route::kBuffer: {
      int32_t size = 0;
      EXPECT_EQ(Status(WuPerfsFFTGetBufSize_R_64f(ctx, &size)), WuPerfOk);
      dsptest::GuardedBuffer buf(static_cast<size_t>(size) + 1, static_cast<size_t>(offset));
      buf.FillPattern(static_cast<uint32_t>(offset));
      EXPECT_EQ(Status(WuPerfsFFTInv_PermToR_64f_I(out.data(), ctx, buf.data())), WuPerfOk);
      EXPECT_TRUE(buf.GuardsIntact());
      break;
    }
    case Route::kDriver:
    case Route::kDriverMisaligned: {
      std::vector<double> dst(in.size() + 2, 0.0);
      double* d = dst.data();
      const bool odd = (reinterpret_cast<uintptr_t>(d) & 15) != 0;
      if (odd != (route == Route::kDriverMisaligned)) ++d;
      EXPECT_EQ(kInvDrivers[variant](in.data(), d, ctx, nullptr), WuPerfOk);
      out.assign(d, d + in.size());
      break;
    }
  }
  EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(ctx)), WuPerfOk);
  return out;
}

long double FlagFactor(int flag, int order) {
  const long double n = static_cast<long double>(int64_t{1} << order);
  return flag == 2 ? 1.0L / n : flag == 4 ? 1.0L / std::sqrt(n) : 1.0L;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), 8 * a.size()) == 0;
}

// ---- Fixed kernels ---------------------------------------------------------------------

const FixedKernelSlot* InvRow(int variant) {
  return wuperf::WuPerfFFTInv64f_FixedKernels[wuperf::FixedKernelRow(variant)];
}

std::vector<double> Kernel(int variant, int order, const std::vector<double>& in, bool scaled,
                           double s = 1.0) {
  std::vector<double> out(in.size(), -7.0);
  if (scaled)
    InvRow(variant)[6 + order].scaled(in.data(), out.data(), s);
  else
    InvRow(variant)[order].plain(in.data(), out.data());
  return out;
}

TEST(FftRealInverseKernels, ClosedFormsOfTheSmallOrders) {
  const double r2 = std::sqrt(2.0);
  for (int v = 0; v < 5; ++v) {
    SCOPED_TRACE(testing::Message() << "row of variant " << v);
    EXPECT_EQ(Kernel(v, 1, {8, -2}, false), (std::vector<double>{6, 10}));
    EXPECT_EQ(Kernel(v, 2, {1, 0, 0, 0}, false), (std::vector<double>{1, 1, 1, 1}));
    EXPECT_EQ(Kernel(v, 2, {0, 1, 0, 0}, false), (std::vector<double>{1, -1, 1, -1}));
    // The worked case of the packed layout: [r0 + r1 + 2r2, r0 - r1 - 2r3, ...].
    EXPECT_EQ(Kernel(v, 2, {1, 2, 3, 4}, false), (std::vector<double>{9, -9, -3, 7}));
    std::vector<double> r1(8, 0.0);
    r1[2] = 1;
    const std::vector<double> got = Kernel(v, 3, r1, false);
    const double want[8] = {2, r2, 0, -r2, -2, -r2, 0, r2};
    for (int t = 0; t < 8; ++t) EXPECT_NEAR(got[t], want[t], 4e-16) << t;
    EXPECT_EQ(got[2], 0.0);
    EXPECT_EQ(got[6], 0.0);
    std::vector<double> i1(32, 0.0);
    i1[3] = 1;
    const std::vector<double> sine = Kernel(v, 5, i1, false);
    for (int t = 0; t < 32; ++t)
      EXPECT_NEAR(sine[t], static_cast<double>(-2 * std::sin(2 * std::numbers::pi_v<long double> * t / 32)),
                  1e-15)
          << t;
  }
}

TEST(FftRealInverseKernels, EveryOrderWithinTheBoundScaledInPlaceAndInEveryRowAlike) {
  for (int o = 0; o <= 5; ++o) {
    SCOPED_TRACE(testing::Message() << "order " << o);
    const std::vector<double>& in = dsptest::RealInput(o, 21);
    const std::vector<long double>& exact = dsptest::RealOracle(o, 21, true);
    const std::vector<double> first = Kernel(4, o, in, false);
    EXPECT_TRUE(dsptest::WithinFftBound(exact, first.data(), o));
    const double s = 1.0 / (1 << o);
    std::vector<long double> scaledExact(exact);
    for (long double& e : scaledExact) e *= s;
    for (int v = 0; v < 5; ++v) {
      EXPECT_TRUE(SameBits(Kernel(v, o, in, false), first)) << v;
      const std::vector<double> scaled = Kernel(v, o, in, true, s);
      EXPECT_TRUE(dsptest::WithinFftBound(scaledExact, scaled.data(), o));
      EXPECT_TRUE(SameBits(Kernel(v, o, in, true, 1.0), first)) << v;
      for (double z : Kernel(v, o, in, true, 0.0)) EXPECT_EQ(z, 0.0);
      std::vector<double> same(in);
      InvRow(v)[o].plain(same.data(), same.data());
      EXPECT_TRUE(SameBits(same, first));
      std::vector<double> sameScaled(in);
      InvRow(v)[6 + o].scaled(sameScaled.data(), sameScaled.data(), s);
      EXPECT_TRUE(SameBits(sameScaled, scaled));
    }
  }
}

TEST(FftRealInverseKernels, TheInverseComplex32PointKernel) {
  const FixedKernelSlot* row = InvRow(0);
  ASSERT_NE(row[17].plain, nullptr);
  ASSERT_NE(row[23].scaled, nullptr);
  // The other variants fill their complex columns too (no driver calls them).
  for (int v = 1; v < 5; ++v) {
    for (int col = 12; col < 24; ++col) {
      EXPECT_NE(col < 18 ? reinterpret_cast<const void*>(InvRow(v)[col].plain)
                         : reinterpret_cast<const void*>(InvRow(v)[col].scaled),
                nullptr)
          << v << " " << col;
    }
  }
  // x_m = 1 gives e^(+2 pi i m k / 32).
  for (int m : {1, 3, 7, 16, 31}) {
    std::vector<double> x(64, 0.0), y(64);
    x[2 * m] = 1.0;
    row[17].plain(x.data(), y.data());
    for (int k = 0; k < 32; ++k) {
      const long double a = 2 * std::numbers::pi_v<long double> * ((m * k) % 32) / 32;
      EXPECT_NEAR(y[2 * k], static_cast<double>(std::cos(a)), 1e-15) << m << " " << k;
      EXPECT_NEAR(y[2 * k + 1], static_cast<double>(std::sin(a)), 1e-15) << m << " " << k;
    }
  }
  // A constant gives exactly 32 c at 0 and exact zeros elsewhere.
  std::vector<double> c(64), cy(64);
  for (int j = 0; j < 32; ++j) c[2 * j] = 1.25, c[2 * j + 1] = -0.75;
  row[17].plain(c.data(), cy.data());
  EXPECT_EQ(cy[0], 40.0);
  EXPECT_EQ(cy[1], -24.0);
  for (int k = 2; k < 64; ++k) EXPECT_EQ(std::bit_cast<uint64_t>(cy[k] + 0.0), 0u) << k;
  // Random points: the oracle, in place, the scale 1.0 and the forward's
  // conjugate (the bit-for-bit form of the last is a kernel test).
  const std::vector<float>& inf = dsptest::ComplexInput(5, 13);
  std::vector<double> in(inf.begin(), inf.end()), out(64), same(in), one(64), fwd(64), conj(in);
  row[17].plain(in.data(), out.data());
  row[17].plain(same.data(), same.data());
  EXPECT_TRUE(SameBits(out, same));
  row[23].scaled(in.data(), one.data(), 1.0);
  EXPECT_TRUE(SameBits(out, one));
  std::vector<dsptest::ComplexLD> x(32);
  for (int i = 0; i < 32; ++i) x[i] = {in[2 * i], in[2 * i + 1]};
  const std::vector<dsptest::ComplexLD> exact = dsptest::DirectComplexDft(x, true);
  long double norm = 0;
  for (const auto& e : exact) norm += std::norm(e);
  const long double tol = 16 * 7 * 0x1p-53L * std::sqrt(norm / 32);
  for (int k = 0; k < 32; ++k) {
    EXPECT_LE(std::fabs(out[2 * k] - exact[k].real()), tol) << k;
    EXPECT_LE(std::fabs(out[2 * k + 1] - exact[k].imag()), tol) << k;
  }
  for (int i = 0; i < 32; ++i) conj[2 * i + 1] = -conj[2 * i + 1];
  wuperf::WuPerfFFTFwd64f_FixedKernels[4][17].plain(conj.data(), fwd.data());
  for (int k = 0; k < 32; ++k) {
    EXPECT_LE(std::fabs(fwd[2 * k] - out[2 * k]), 2 * tol) << k;
    EXPECT_LE(std::fabs(-fwd[2 * k + 1] - out[2 * k + 1]), 2 * tol) << k;
  }
  // The scaled kernel scales after the first stage: s = 0.5 halves exactly.
  std::vector<double> half(64);
  row[23].scaled(in.data(), half.data(), 0.5);
  for (int k = 0; k < 64; ++k) EXPECT_EQ(half[k], out[k] * 0.5) << k;
}

// The 32-point inverse kernel's arithmetic step by step, as the kernel's
// contract fixes it: first-stage sums and differences (scaled there),
// split radix with one complex multiplication per index, and the 8- and
// 4-point inverse DFTs.
struct Pt {
  double r, i;
};
double Bits(uint64_t b) { return std::bit_cast<double>(b); }
const double kC4 = Bits(0x3FE6A09E667F3BCD), kC2 = Bits(0x3FED906BCF328D46),
             kS2 = Bits(0x3FD87DE2A6AEA963), kC1 = Bits(0x3FEF6297CFF75CB0),
             kS1 = Bits(0x3FC8F8B83C69A60A), kC3 = Bits(0x3FEA9B66290EA1A3),
             kS3 = Bits(0x3FE1C73B39AE68C8), kC5 = Bits(0x3FE1C73B39AE68C9),
             kC7 = Bits(0x3FC8F8B83C69A60D);
// Factor forms: 0 one, 1 two-product (g, h), 2 one-product (c4, c4), 3
// one-product (-c4, c4), 4 times i.
struct Factor {
  int form;
  double g, h;
};
Pt Apply(Pt p, const Factor& f) {
  switch (f.form) {
    case 0: return p;
    case 1: return {p.r * f.g - p.i * f.h, p.i * f.g + p.r * f.h};
    case 2: return {(p.r - p.i) * kC4, (p.i + p.r) * kC4};
    case 3: return {-((p.r + p.i) * kC4), (p.r - p.i) * kC4};
    default: return {-p.i, p.r};
  }
}
void RefD4(const Pt q[4], Pt out[4]) {
  const Pt a = {q[0].r + q[2].r, q[0].i + q[2].i}, b = {q[1].r + q[3].r, q[1].i + q[3].i};
  const Pt c = {q[0].r - q[2].r, q[0].i - q[2].i}, d = {q[1].r - q[3].r, q[1].i - q[3].i};
  out[0] = {a.r + b.r, a.i + b.i};
  out[2] = {a.r - b.r, a.i - b.i};
  out[1] = {c.r - d.i, c.i + d.r};
  out[3] = {c.r + d.i, c.i - d.r};
}
void RefD8(const Pt t[8], Pt out[8]) {
  Pt p[4], e[4], d4[4];
  for (int j = 0; j < 4; ++j) {
    p[j] = {t[j].r + t[j + 4].r, t[j].i + t[j + 4].i};
    e[j] = {t[j].r - t[j + 4].r, t[j].i - t[j + 4].i};
  }
  RefD4(p, d4);
  for (int k = 0; k < 4; ++k) out[2 * k] = d4[k];
  const Pt f0 = {e[0].r - e[2].i, e[0].i + e[2].r};
  const Pt f1 = Apply({e[1].r - e[3].i, e[1].i + e[3].r}, {1, kC4, kC4});
  const Pt r0 = {e[0].r + e[2].i, e[0].i - e[2].r};
  const Pt r1 = Apply({e[1].r + e[3].i, e[1].i - e[3].r}, {1, -kC4, kC4});
  out[1] = {f0.r + f1.r, f0.i + f1.i};
  out[5] = {f0.r - f1.r, f0.i - f1.i};
  out[3] = {r0.r + r1.r, r0.i + r1.i};
  out[7] = {r0.r - r1.r, r0.i - r1.i};
}
void RefInverse32(const double* in, double* out, bool scaled, double s) {
  const Factor zF[8] = {{0, 0, 0},     {1, kC1, kS1}, {1, kC2, kS2}, {1, kC3, kS3},
                        {2, 0, 0},     {1, kC5, kC3}, {1, kS2, kC2}, {1, kC7, kC1}};
  const Factor zpF[8] = {{0, 0, 0},       {1, kC3, kS3},   {1, kS2, kC2},   {1, -kS1, kC1},
                         {3, 0, 0},       {1, -kC1, kC7},  {1, -kC2, -kS2}, {1, -kS3, -kC3}};
  const Factor yF[8] = {{0, 0, 0},      {1, kC2, kS2},  {2, 0, 0},      {1, kS2, kC2},
                        {4, 0, 0},      {1, -kS2, kC2}, {3, 0, 0},      {1, -kC2, kS2}};
  Pt u[16], a[16];
  for (int j = 0; j < 16; ++j) {
    u[j] = {in[2 * j] + in[2 * j + 32], in[2 * j + 1] + in[2 * j + 33]};
    a[j] = {in[2 * j] - in[2 * j + 32], in[2 * j + 1] - in[2 * j + 33]};
    if (scaled) u[j] = {u[j].r * s, u[j].i * s}, a[j] = {a[j].r * s, a[j].i * s};
  }
  Pt v[8], y[8], z[8], zp[8];
  for (int j = 0; j < 8; ++j) {
    v[j] = {u[j].r + u[j + 8].r, u[j].i + u[j + 8].i};
    y[j] = Apply({u[j].r - u[j + 8].r, u[j].i - u[j + 8].i}, yF[j]);
    const Pt b = a[j + 8];
    z[j] = Apply({a[j].r - b.i, a[j].i + b.r}, zF[j]);
    zp[j] = Apply({a[j].r + b.i, a[j].i - b.r}, zpF[j]);
  }
  Pt d[4][8];
  RefD8(v, d[0]);
  RefD8(z, d[1]);
  RefD8(y, d[2]);
  RefD8(zp, d[3]);
  for (int k = 0; k < 8; ++k)
    for (int c = 0; c < 4; ++c) out[2 * (4 * k + c)] = d[c][k].r, out[2 * (4 * k + c) + 1] = d[c][k].i;
}

TEST(FftRealInverseKernels, The32PointKernelRunsExactlyItsFixedArithmetic) {
  const FixedKernelSlot* row = InvRow(0);
  for (uint32_t seed : {1u, 2u, 3u}) {
    const std::vector<float>& inf = dsptest::ComplexInput(5, seed);
    std::vector<double> in(64), want(64), wantScaled(64), got(64), gotScaled(64);
    for (int i = 0; i < 64; ++i) in[i] = static_cast<double>(inf[i]) * (1.0 + i / 7.0);
    RefInverse32(in.data(), want.data(), false, 1.0);
    RefInverse32(in.data(), wantScaled.data(), true, 0.3);
    row[17].plain(in.data(), got.data());
    row[23].scaled(in.data(), gotScaled.data(), 0.3);
    EXPECT_TRUE(SameBits(got, want));
    EXPECT_TRUE(SameBits(gotScaled, wantScaled));
    std::vector<double> same(in);
    row[23].scaled(same.data(), same.data(), 0.3);
    EXPECT_TRUE(SameBits(same, wantScaled));
  }
}

// ---- Transforms ------------------------------------------------------------------------

TEST_F(FftRealInverseTest, ExportMatchesTheOracleInEveryVariantOrderAndFlag) {
  ForEachVariant([](int v) {
    for (int order = 0; order <= 22; ++order) {
      for (int flag : {2, 4, 8}) {
        SCOPED_TRACE(testing::Message() << "order " << order << " flag " << flag);
        const std::vector<double> got = Inverse(v, order, flag, dsptest::RealInput(order, 5));
        std::vector<long double> exact = dsptest::RealOracle(order, 5, true);
        const long double f = FlagFactor(flag, order);
        for (long double& e : exact) e *= f;
        ASSERT_TRUE(dsptest::WithinFftBound(exact, got.data(), order));
      }
    }
  });
}

TEST_F(FftRealInverseTest, SingleBinsGiveTheirClosedForms) {
  ForEachVariant([](int v) {
    for (int order = 6; order <= 12; ++order) {
      SCOPED_TRACE(testing::Message() << "order " << order);
      const int64_t n = int64_t{1} << order;
      std::vector<double> dc(n, 0.0), nyq(n, 0.0), quarter(n, 0.0);
      dc[0] = 1.0;
      nyq[1] = 1.0;
      quarter[n / 2] = 1.0;  // R(N/4)
      for (double y : Inverse(v, order, 8, dc)) ASSERT_EQ(y, 1.0);
      for (double y : Inverse(v, order, 2, dc)) ASSERT_EQ(y, 1.0 / static_cast<double>(n));
      const std::vector<double> alt = Inverse(v, order, 8, nyq);
      for (int64_t t = 0; t < n; ++t) ASSERT_EQ(alt[t], (t & 1) ? -1.0 : 1.0) << t;
      const std::vector<double> q = Inverse(v, order, 8, quarter);
      static constexpr double kQuarter[4] = {2, 0, -2, 0};
      for (int64_t t = 0; t < n; ++t) ASSERT_NEAR(q[t], kQuarter[t & 3], 1e-13) << t;
    }
  });
}

// Forward then inverse of RealInput(order, 17) at orders first..last with
// flags 1, 2, 4 (the signal) and 8 (N times it), within twice the
// foundations' per-component bound.
void RoundTrips(int v, int first, int last) {
  for (int order = first; order <= last; ++order) {
    const std::vector<double>& x = dsptest::RealInput(order, 17);
    long double norm = 0;
    for (double e : x) norm += static_cast<long double>(e) * e;
    const long double rms = std::sqrt(norm / static_cast<long double>(x.size()));
    for (int flag : {1, 2, 4, 8}) {
      SCOPED_TRACE(testing::Message() << "order " << order << " flag " << flag);
      const std::vector<double> spectrum = dsptest::RealFwdOf(v, order, flag, x);
      const std::vector<double> back = Inverse(v, order, flag, spectrum);
      const long double n = static_cast<long double>(int64_t{1} << order);
      const long double f = flag == 8 ? n : 1.0L;
      const long double tol = 2 * 16 * (order + 2) * 0x1p-53L * rms * f;
      for (size_t i = 0; i < x.size(); ++i) ASSERT_LE(std::fabs(back[i] - f * x[i]), tol) << i;
    }
  }
}

TEST_F(FftRealInverseTest, ForwardThenInverseGivesTheSignalBack) {
  ForEachVariant([](int v) { RoundTrips(v, 0, 20); });
}

TEST_F(FftRealInverseTest, ForwardThenInverseGivesTheSignalBackAtTheLargestCiOrders) {
  ForEachVariant([](int v) { RoundTrips(v, 21, 22); });
}

// The route edges: each order in place, out of place, into a destination
// off the 16-byte grid and with the caller's buffer equal bit for bit.
TEST_F(FftRealInverseTest, PlacementsAndBuffersGiveEqualBitsAtTheRouteEdges) {
  struct Edge {
    int variant;
    std::vector<int> orders;
  } edges[] = {{4, {6, 7, 12, 14, 15, 16, 17, 18, 19}},
               {3, {6, 12, 15, 16, 17, 18, 19}},
               {2, {10, 11, 12, 15, 16, 17}},
               {1, {14, 15, 16, 17}},
               {0, {6, 7, 11, 12, 13, 21, 22}}};
  for (const Edge& e : edges) {
    if (!dsptest::VariantSupported(e.variant)) continue;
    for (int order : e.orders) {
      SCOPED_TRACE(testing::Message() << "variant " << e.variant << " order " << order);
      const std::vector<double>& in = dsptest::RealInput(order, 9);
      const std::vector<double> base = Inverse(e.variant, order, 8, in);
      EXPECT_TRUE(SameBits(Inverse(e.variant, order, 8, in, Route::kDriver), base));
      EXPECT_TRUE(SameBits(Inverse(e.variant, order, 8, in, Route::kDriverMisaligned), base));
      for (int offset : {0, 8, 17, 31})
        EXPECT_TRUE(SameBits(Inverse(e.variant, order, 8, in, Route::kBuffer, offset), base));
      std::vector<long double> exact = dsptest::RealOracle(order, 9, true);
      ASSERT_TRUE(dsptest::WithinFftBound(exact, base.data(), order));
    }
  }
}

// The caller's buffer at every byte offset 0..31 gives the bits of no
// buffer, at orders on each side of the split.
TEST_F(FftRealInverseTest, EveryBufferOffsetGivesTheBitsOfNoBuffer) {
  ForEachVariant([](int v) {
    for (int order : {8, 13, 16}) {
      const std::vector<double>& in = dsptest::RealInput(order, 11);
      const std::vector<double> none = Inverse(v, order, 2, in);
      for (int offset = 0; offset < 32; ++offset) {
        SCOPED_TRACE(testing::Message() << "variant " << v << " order " << order << " offset "
                                        << offset);
        ASSERT_TRUE(SameBits(Inverse(v, order, 2, in, Route::kBuffer, offset), none));
      }
    }
  });
}

// The in-place export on an array off the 16-byte grid: the stages run in
// the work buffer where it holds them (the direct and passes routes, the
// split's leaves up to its size) and in place with unaligned accesses
// beyond (the leaves of variant 4 at order 19); the bits of an aligned
// array either way, nothing written outside.
TEST_F(FftRealInverseTest, ArrayOffTheSixteenByteGridGivesTheAlignedBits) {
  ForEachVariant([](int v) {
    for (int order : {6, 7, 12, 15, 16, 17, 18, 19}) {
      SCOPED_TRACE(testing::Message() << "variant " << v << " order " << order);
      const std::vector<double>& in = dsptest::RealInput(order, 13);
      const std::vector<double> aligned = Inverse(v, order, 4, in);
      EXPECT_TRUE(WuPerf_ForceVariantForTesting(v));
      void* ctx = nullptr;
      ASSERT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, order, 4, 0)), WuPerfOk);
      dsptest::GuardedBuffer buf(8 * in.size(), 8);
      double* data = reinterpret_cast<double*>(buf.data());
      std::memcpy(data, in.data(), 8 * in.size());
      ASSERT_EQ(Status(WuPerfsFFTInv_PermToR_64f_I(data, ctx, nullptr)), WuPerfOk);
      EXPECT_EQ(0, std::memcmp(aligned.data(), data, 8 * in.size()));
      EXPECT_TRUE(buf.GuardsIntact());
      EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(ctx)), WuPerfOk);
    }
  });
}

// Variant 3 = variant 4 and, in variant 4, out of place = in place at every
// order; the scale identities in every variant.
TEST_F(FftRealInverseTest, BitIdentitiesOfVariantsAndScaling) {
  for (int order = 0; order <= 22; ++order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const std::vector<double>& in = dsptest::RealInput(order, 31);
    if (dsptest::VariantSupported(4)) {
      const std::vector<double> four = Inverse(4, order, 8, in);
      EXPECT_TRUE(SameBits(Inverse(3, order, 8, in), four));
      EXPECT_TRUE(SameBits(Inverse(4, order, 8, in, Route::kDriver), four));
    }
    if (order > 20) continue;  // the scale rows up to 20 keep CI's share
    for (int v = 0; v < 5; ++v) {
      if (!dsptest::VariantSupported(v)) continue;
      const std::vector<double> plain = Inverse(v, order, 8, in);
      const double n = static_cast<double>(int64_t{1} << order);
      const std::vector<double> two = Inverse(v, order, 2, in);
      for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(two[i], plain[i] / n) << v << " " << i;
      if (order % 2 == 0) {
        const std::vector<double> four = Inverse(v, order, 4, in);
        const double f = 1.0 / std::sqrt(n);
        for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(four[i], plain[i] * f) << v << " " << i;
      }
    }
  }
}

TEST_F(FftRealInverseTest, AContextIsServedByTheVariantThatMadeIt) {
  for (int order : {5, 6, 12, 13, 18}) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const std::vector<double>& in = dsptest::RealInput(order, 3);
    const std::vector<double> v0 = Inverse(0, order, 2, in);
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(0));
    void* ctx = nullptr;
    ASSERT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, order, 2, 0)), WuPerfOk);
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(4));
    std::vector<double> got(in);
    ASSERT_EQ(Status(WuPerfsFFTInv_PermToR_64f_I(got.data(), ctx, nullptr)), WuPerfOk);
    EXPECT_TRUE(SameBits(got, v0));
    EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(ctx)), WuPerfOk);
  }
}

// ---- Statuses --------------------------------------------------------------------------

TEST_F(FftRealInverseTest, ErrorsComeInOrderAndLeaveTheArray) {
  ForEachVariant([](int) {
    alignas(32) uint8_t block[sizeof(wuperf::FftSpec)] = {};
    auto* complexHead = reinterpret_cast<wuperf::FftSpec*>(block);
    complexHead->contextId = wuperf::kFftContextComplex32fc;
    double data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(Status(WuPerfsFFTInv_PermToR_64f_I(data, block, nullptr)), WuPerfErrContextKind);
    EXPECT_EQ(Status(WuPerfsFFTInv_PermToR_64f_I(nullptr, block, nullptr)), WuPerfErrContextKind);
    EXPECT_EQ(Status(WuPerfsFFTInv_PermToR_64f_I(data, nullptr, nullptr)), WuPerfErrNullPointer);
    EXPECT_EQ(data[0], 1.0);
    void* ctx = nullptr;
    ASSERT_EQ(Status(WuPerfsFFTInitAlloc_R_64f(&ctx, 14, 2, 0)), WuPerfOk);
    EXPECT_EQ(Status(WuPerfsFFTInv_PermToR_64f_I(nullptr, ctx, nullptr)), WuPerfErrNullPointer);
    int32_t size = 0;
    ASSERT_EQ(Status(WuPerfsFFTGetBufSize_R_64f(ctx, &size)), WuPerfOk);
    std::vector<double> big(1 << 14, 1.5);
    if (size > 0) {
      dsptest::CountingAllocator alloc(1);
      EXPECT_EQ(Status(WuPerfsFFTInv_PermToR_64f_I(big.data(), ctx, nullptr)), WuPerfErrNoMemory);
      EXPECT_EQ(alloc.Outstanding(), 0);
    }
    for (double d : big) ASSERT_EQ(d, 1.5);
    EXPECT_EQ(Status(WuPerfsFFTFree_R_64f(ctx)), WuPerfOk);
  });
}

}  // namespace
