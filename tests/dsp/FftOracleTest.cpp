// The FFT test oracle, the error bound and the bit-identity table.
#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "tests/dsp/FftIdentity.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

using dsptest::ComplexLD;

template <class T>
long double RelativeDistance(const std::vector<T>& a, const std::vector<T>& b) {
  long double d = 0, n = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    d += std::norm(ComplexLD(a[i]) - ComplexLD(b[i]));
    n += std::norm(ComplexLD(a[i]));
  }
  return sqrtl(d / n);
}

// The direct DFT and FFTW's long-double plans agree to 1e-17 at 1024 and
// 4096 points, complex and real, both directions.
TEST(FftOracleTest, DirectDftAndLongDoublePlansAgree) {
  for (int order : {10, 12}) {
    for (bool inverse : {false, true}) {
      SCOPED_TRACE(testing::Message() << "order " << order << " inverse " << inverse);
      const std::vector<float>& c = dsptest::ComplexInput(order, 1);
      std::vector<ComplexLD> x(c.size() / 2);
      for (size_t i = 0; i < x.size(); ++i) x[i] = {c[2 * i], c[2 * i + 1]};
      EXPECT_LT(RelativeDistance(dsptest::DirectComplexDft(x, inverse),
                                 dsptest::FftwComplexDft(x, inverse)),
                1e-17L);
      const std::vector<double>& r = dsptest::RealInput(order, 1);
      std::vector<long double> y(r.begin(), r.end());
      EXPECT_LT(RelativeDistance(dsptest::DirectRealDft(y, inverse), dsptest::FftwRealDft(y, inverse)),
                1e-17L);
    }
  }
}

// Known transforms: an impulse at 1 gives the roots; the packed real
// spectrum of a cosine has X[1] = N/2 only; the inverse of a packed DC
// spectrum is constant.
TEST(FftOracleTest, OracleGivesKnownTransforms) {
  std::vector<ComplexLD> impulse(16, 0);
  impulse[1] = 1;
  std::vector<ComplexLD> roots = dsptest::DirectComplexDft(impulse, false);
  const long double pi = 3.14159265358979323846264338327950288L;
  for (int k = 0; k < 16; ++k) {
    EXPECT_LT(fabsl(roots[k].real() - cosl(2 * pi * k / 16)), 1e-18L) << k;
    EXPECT_LT(fabsl(roots[k].imag() + sinl(2 * pi * k / 16)), 1e-18L) << k;
  }
  std::vector<long double> cosine(32);
  for (int j = 0; j < 32; ++j) cosine[j] = cosl(2 * pi * j / 32);
  std::vector<long double> packed = dsptest::DirectRealDft(cosine, false);
  for (int i = 0; i < 32; ++i) EXPECT_NEAR(static_cast<double>(packed[i]), i == 2 ? 16.0 : 0.0, 1e-17) << i;
  std::vector<long double> dc(32, 0);
  dc[0] = 3;
  for (long double v : dsptest::FftwRealDft(dc, true)) EXPECT_NEAR(static_cast<double>(v), 3.0, 1e-18);
}

// The bound accepts a careful single-precision FFT and refuses it with one
// value off by a few units more than the bound allows.
TEST(FftOracleTest, ErrorBoundAcceptsSinglePrecisionFftwAndRefusesAnError) {
  for (int order : {6, 10, 14}) {
    const int n = 1 << order;
    const std::vector<float>& in = dsptest::ComplexInput(order, 2);
    std::vector<float> out(2 * n), copy(in);
    fftwf_plan plan = fftwf_plan_dft_1d(n, reinterpret_cast<fftwf_complex*>(copy.data()),
                                        reinterpret_cast<fftwf_complex*>(out.data()),
                                        FFTW_FORWARD, FFTW_ESTIMATE);
    fftwf_execute(plan);
    fftwf_destroy_plan(plan);
    const std::vector<ComplexLD>& exact = dsptest::ComplexOracle(order, 2, false);
    EXPECT_TRUE(dsptest::WithinFftBound(exact, out.data(), order)) << order;
    long double norm = 0;
    for (const ComplexLD& e : exact) norm += std::norm(e);
    out[7] += static_cast<float>(32 * (order + 2) * std::ldexp(1.0, -24) * std::sqrt(static_cast<double>(norm) / n));
    EXPECT_FALSE(dsptest::WithinFftBound(exact, out.data(), order)) << order;
  }
  // Real doubles: the exact values rounded pass, a value 1e-12 off fails.
  const std::vector<long double>& exact = dsptest::RealOracle(8, 3, false);
  std::vector<double> rounded(exact.begin(), exact.end());
  EXPECT_TRUE(dsptest::WithinFftBound(exact, rounded.data(), 8));
  rounded[3] += 1e-12;
  EXPECT_FALSE(dsptest::WithinFftBound(exact, rounded.data(), 8));
}

// ---- Bit-identity rows of the foundations -------------------------------------------------

// 2^order bytes of a pattern, copied by a variant's kernel to a destination at an
// offset.
std::vector<uint8_t> CopyAt(int variant, size_t offset, int order) {
  const size_t n = size_t{1} << order;
  dsptest::GuardedBuffer src(n + 16, 0), dst(n, offset);
  src.FillPattern(order);
  dsptest::Members(variant).copyKernel(src.data() + 3, dst.data(), static_cast<int32_t>(n));
  return std::vector<uint8_t>(dst.data(), dst.data() + n);
}
WU_FFT_IDENTITY_ROW({"copy: variant 4 aligned, variant 1 at offset 7", 6, 20,
                     [](int o) { return CopyAt(4, 0, o); }, [](int o) { return CopyAt(1, 7, o); }});

// 2^order floats scaled by a variant at an offset.
std::vector<uint8_t> ScaleAt(int variant, size_t offset, int order) {
  const size_t n = size_t{1} << order;
  dsptest::GuardedBuffer b(4 * n, offset);
  float* f = reinterpret_cast<float*>(b.data());
  for (size_t i = 0; i < n; ++i) f[i] = static_cast<float>(i) * 0.37f - 5.0f;
  dsptest::Members(variant).scale32f(1.0f / 3.0f, f, static_cast<int32_t>(n));
  return std::vector<uint8_t>(b.data(), b.data() + 4 * n);
}
WU_FFT_IDENTITY_ROW({"scale floats: variant 4 aligned, variant 2 at offset 4", 0, 18,
                     [](int o) { return ScaleAt(4, 0, o); }, [](int o) { return ScaleAt(2, 4, o); }});

// The real base table of an order built by a variant.
std::vector<uint8_t> RealBase(int variant, int order) {
  std::vector<double> t((size_t{1} << order) / 4 + 8);
  dsptest::Members(variant).baseTwiddle64f(order, t.data());
  std::vector<uint8_t> out(((size_t{1} << order) / 4 + 1) * 8);
  std::memcpy(out.data(), t.data(), out.size());
  return out;
}
WU_FFT_IDENTITY_ROW({"real base table: variant 4, variant 0", 2, 20,
                     [](int o) { return RealBase(4, o); }, [](int o) { return RealBase(0, o); }});

// A table of an order built by a variant from its own base table, as bytes
// up to the builder's end.
template <class T, class Build>
std::vector<uint8_t> TableBytes(int order, T* (*base)(int32_t, T*), Build build) {
  const int a = order <= 10 ? 10 : order;
  std::vector<T> s((size_t{1} << a) / 4 + 8);
  base(a, s.data());
  dsptest::GuardedBuffer out(size_t{32} << order, 0);
  T* end = build(a, s.data(), reinterpret_cast<T*>(out.data()));
  return std::vector<uint8_t>(out.data(), reinterpret_cast<uint8_t*>(end));
}
std::vector<uint8_t> ComplexRadix(int variant, int order) {
  const dsptest::FoundationMembers& m = dsptest::Members(variant);
  return TableBytes<float>(order, m.baseTwiddle32fc, [&](int a, const float* s, float* dst) {
    return m.radixTwiddle32fc(order, s, a, dst);
  });
}
std::vector<uint8_t> RealTables(int variant, int order) {
  const dsptest::FoundationMembers& m = dsptest::Members(variant);
  return TableBytes<double>(order, m.baseTwiddle64f, [&](int a, const double* s, double* dst) {
    double* next = m.radixTwiddle64f(order - 1, s, a, dst);
    return m.realTwiddleInv(order, s, a, m.realTwiddleFwd(order, s, a, next));
  });
}
WU_FFT_IDENTITY_ROW({"complex radix table: variant 4, variant 2", 4, 16,
                     [](int o) { return ComplexRadix(4, o); },
                     [](int o) { return ComplexRadix(2, o); }});
WU_FFT_IDENTITY_ROW({"real radix and post-pass tables: variant 4, variant 1", 6, 16,
                     [](int o) { return RealTables(4, o); }, [](int o) { return RealTables(1, o); }});

TEST(FftIdentityTest, EveryRowGivesEqualBits) {
  ASSERT_FALSE(dsptest::IdentityRows().empty());
  for (const dsptest::IdentityRow& row : dsptest::IdentityRows()) {
    for (int order = row.minOrder; order <= row.maxOrder; ++order) {
      ASSERT_EQ(row.first(order), row.second(order)) << row.name << ", order " << order;
    }
  }
}

}  // namespace
