// The FFT test oracle and error bound.
#include "tests/dsp/FftOracle.h"

#include <fftw3.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <tuple>

namespace dsptest {

namespace {

constexpr int kDirectMaxOrder = 10;        // direct DFT up to 1024 points
constexpr int kLongDoubleMaxOrder = 22;    // complex: FFTW long double up to here
constexpr long double kPi = 3.141592653589793238462643383279502884L;

// e^(sign 2 pi i m/N) for m = 0..N-1. From 8 points on, each angle is
// reduced to an eighth of a period first, so no precision is lost near the
// values close to zero.
std::vector<ComplexLD> Roots(size_t n, int sign) {
  std::vector<ComplexLD> roots(n);
  auto at = [n](size_t k) { return 2 * kPi * static_cast<long double>(k) / n; };
  for (size_t m = 0; m < n; ++m) {
    long double c, s;
    if (n < 8) {
      c = cosl(at(m)), s = sinl(at(m));
    } else {
      size_t k = m;
      long double sinSign = 1, cosSign = 1;
      if (2 * k > n) k = n - k, sinSign = -1;
      if (4 * k > n) k = n / 2 - k, cosSign = -1;
      if (8 * k > n)
        c = sinl(at(n / 4 - k)), s = cosl(at(n / 4 - k));
      else
        c = cosl(at(k)), s = sinl(at(k));
      c *= cosSign, s *= sinSign;
    }
    roots[m] = {c, sign * s};
  }
  return roots;
}

// Packed spectrum <-> N/2 + 1 complex values.
std::vector<ComplexLD> Unpack(const std::vector<long double>& packed) {
  size_t n = packed.size();
  std::vector<ComplexLD> out(n / 2 + 1);
  out[0] = packed[0];
  if (n >= 2) out[n / 2] = packed[1];
  for (size_t k = 1; k < n / 2; ++k) out[k] = {packed[2 * k], packed[2 * k + 1]};
  return out;
}
std::vector<long double> Pack(const std::vector<ComplexLD>& spectrum, size_t n) {
  std::vector<long double> out(n);
  out[0] = spectrum[0].real();
  if (n >= 2) out[1] = spectrum[n / 2].real();
  for (size_t k = 1; k < n / 2; ++k) out[2 * k] = spectrum[k].real(), out[2 * k + 1] = spectrum[k].imag();
  return out;
}

template <class T>
using Cache = std::map<std::tuple<int, uint32_t, bool>, std::unique_ptr<T>>;

}  // namespace

const std::vector<float>& ComplexInput(int order, uint32_t seed) {
  static Cache<std::vector<float>> cache;
  auto& slot = cache[{order, seed, false}];
  if (!slot) {
    std::mt19937 gen(seed * 7919u + order);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    slot = std::make_unique<std::vector<float>>(size_t{2} << order);
    for (float& f : *slot) f = value(gen);
  }
  return *slot;
}

const std::vector<double>& RealInput(int order, uint32_t seed) {
  static Cache<std::vector<double>> cache;
  auto& slot = cache[{order, seed, false}];
  if (!slot) {
    std::mt19937_64 gen(seed * 104729u + order);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    slot = std::make_unique<std::vector<double>>(size_t{1} << order);
    for (double& d : *slot) d = value(gen);
  }
  return *slot;
}

std::vector<ComplexLD> DirectComplexDft(const std::vector<ComplexLD>& x, bool inverse) {
  const size_t n = x.size();
  std::vector<ComplexLD> roots = Roots(n, inverse ? 1 : -1);
  std::vector<ComplexLD> out(n);
  for (size_t k = 0; k < n; ++k) {
    ComplexLD sum = 0;
    for (size_t j = 0; j < n; ++j) sum += x[j] * roots[(j * k) % n];
    out[k] = sum;
  }
  return out;
}

std::vector<ComplexLD> FftwComplexDft(const std::vector<ComplexLD>& x, bool inverse) {
  const int n = static_cast<int>(x.size());
  fftwl_complex* in = fftwl_alloc_complex(n);
  fftwl_complex* out = fftwl_alloc_complex(n);
  fftwl_plan plan =
      fftwl_plan_dft_1d(n, in, out, inverse ? FFTW_BACKWARD : FFTW_FORWARD, FFTW_ESTIMATE);
  for (int i = 0; i < n; ++i) in[i][0] = x[i].real(), in[i][1] = x[i].imag();
  fftwl_execute(plan);
  std::vector<ComplexLD> result(n);
  for (int i = 0; i < n; ++i) result[i] = {out[i][0], out[i][1]};
  fftwl_destroy_plan(plan);
  fftwl_free(in);
  fftwl_free(out);
  return result;
}

// Complex orders above 22: FFTW's double plans.
static std::vector<ComplexLD> FftwDoubleComplexDft(const std::vector<float>& x, bool inverse) {
  const int n = static_cast<int>(x.size() / 2);
  fftw_complex* in = fftw_alloc_complex(n);
  fftw_complex* out = fftw_alloc_complex(n);
  fftw_plan plan = fftw_plan_dft_1d(n, in, out, inverse ? FFTW_BACKWARD : FFTW_FORWARD, FFTW_ESTIMATE);
  for (int i = 0; i < n; ++i) in[i][0] = x[2 * i], in[i][1] = x[2 * i + 1];
  fftw_execute(plan);
  std::vector<ComplexLD> result(n);
  for (int i = 0; i < n; ++i) result[i] = {out[i][0], out[i][1]};
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
  return result;
}

std::vector<long double> DirectRealDft(const std::vector<long double>& x, bool inverse) {
  const size_t n = x.size();
  if (!inverse) {
    std::vector<ComplexLD> c(x.begin(), x.end());
    return Pack(DirectComplexDft(c, false), n);
  }
  // Hermitian extension of the packed spectrum, then the inverse DFT.
  std::vector<ComplexLD> half = Unpack(x), full(n);
  for (size_t k = 0; k <= n / 2; ++k) full[k] = half[k];
  for (size_t k = n / 2 + 1; k < n; ++k) full[k] = std::conj(half[n - k]);
  std::vector<ComplexLD> t = DirectComplexDft(full, true);
  std::vector<long double> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = t[i].real();
  return out;
}

std::vector<long double> FftwRealDft(const std::vector<long double>& x, bool inverse) {
  const int n = static_cast<int>(x.size());
  long double* real = fftwl_alloc_real(n);
  fftwl_complex* spectrum = fftwl_alloc_complex(n / 2 + 1);
  std::vector<long double> result;
  if (!inverse) {
    fftwl_plan plan = fftwl_plan_dft_r2c_1d(n, real, spectrum, FFTW_ESTIMATE);
    for (int i = 0; i < n; ++i) real[i] = x[i];
    fftwl_execute(plan);
    std::vector<ComplexLD> s(n / 2 + 1);
    for (int k = 0; k <= n / 2; ++k) s[k] = {spectrum[k][0], spectrum[k][1]};
    result = Pack(s, n);
    fftwl_destroy_plan(plan);
  } else {
    fftwl_plan plan = fftwl_plan_dft_c2r_1d(n, spectrum, real, FFTW_ESTIMATE);
    std::vector<ComplexLD> s = Unpack(x);
    for (int k = 0; k <= n / 2; ++k) spectrum[k][0] = s[k].real(), spectrum[k][1] = s[k].imag();
    fftwl_execute(plan);
    result.assign(real, real + n);
    fftwl_destroy_plan(plan);
  }
  fftwl_free(real);
  fftwl_free(spectrum);
  return result;
}

const std::vector<ComplexLD>& ComplexOracle(int order, uint32_t seed, bool inverse) {
  static Cache<std::vector<ComplexLD>> cache;
  auto& slot = cache[{order, seed, inverse}];
  if (!slot) {
    const std::vector<float>& in = ComplexInput(order, seed);
    if (order > kLongDoubleMaxOrder) {
      slot = std::make_unique<std::vector<ComplexLD>>(FftwDoubleComplexDft(in, inverse));
    } else {
      std::vector<ComplexLD> x(in.size() / 2);
      for (size_t i = 0; i < x.size(); ++i) x[i] = {in[2 * i], in[2 * i + 1]};
      slot = std::make_unique<std::vector<ComplexLD>>(
          order <= kDirectMaxOrder ? DirectComplexDft(x, inverse) : FftwComplexDft(x, inverse));
    }
  }
  return *slot;
}

const std::vector<long double>& RealOracle(int order, uint32_t seed, bool inverse) {
  static Cache<std::vector<long double>> cache;
  auto& slot = cache[{order, seed, inverse}];
  if (!slot) {
    const std::vector<double>& in = RealInput(order, seed);
    std::vector<long double> x(in.begin(), in.end());
    slot = std::make_unique<std::vector<long double>>(
        order <= kDirectMaxOrder ? DirectRealDft(x, inverse) : FftwRealDft(x, inverse));
  }
  return *slot;
}

namespace {

// The bound over `count` points: exact(i) and got(i) as complex values.
template <class Exact, class Got>
::testing::AssertionResult Bound(size_t count, Exact exact, Got got, int order, long double u) {
  long double norm2 = 0, error2 = 0, worst = 0;
  size_t worstAt = 0;
  for (size_t i = 0; i < count; ++i) {
    ComplexLD e = exact(i), g = got(i);
    if (!std::isfinite(static_cast<double>(g.real())) || !std::isfinite(static_cast<double>(g.imag())))
      return ::testing::AssertionFailure() << "point " << i << " is not finite";
    long double d = std::abs(g - e);
    norm2 += std::norm(e);
    error2 += d * d;
    if (d > worst) worst = d, worstAt = i;
  }
  const long double l = order;
  const long double norm = sqrtl(norm2);
  const long double rms = norm > 0 ? sqrtl(error2) / norm : sqrtl(error2);
  const long double points = static_cast<long double>(uint64_t{1} << order);
  const long double each = 16 * (l + 2) * u * norm / sqrtl(points);
  if (rms > 2 * (l + 2) * u)
    return ::testing::AssertionFailure()
           << "relative RMS error " << static_cast<double>(rms) << " above "
           << static_cast<double>(2 * (l + 2) * u);
  if (worst > each)
    return ::testing::AssertionFailure() << "error " << static_cast<double>(worst) << " at point "
                                         << worstAt << " above " << static_cast<double>(each);
  return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult WithinFftBound(const std::vector<ComplexLD>& exact, const float* got,
                                          int order) {
  return Bound(
      exact.size(), [&](size_t i) { return exact[i]; },
      [&](size_t i) { return ComplexLD(got[2 * i], got[2 * i + 1]); }, order, ldexpl(1.0L, -24));
}

// Real values, each taken as one point.
::testing::AssertionResult WithinFftBound(const std::vector<long double>& exact, const double* got,
                                          int order) {
  return Bound(
      exact.size(), [&](size_t i) { return ComplexLD(exact[i]); },
      [&](size_t i) { return ComplexLD(got[i]); }, order, ldexpl(1.0L, -53));
}

std::vector<double> ComplexOracleDouble(int order, uint32_t seed, bool inverse) {
  const std::vector<float>& x = ComplexInput(order, seed);
  std::vector<double> data(x.begin(), x.end());
  fftw_complex* c = reinterpret_cast<fftw_complex*>(data.data());
  fftw_plan plan = fftw_plan_dft_1d(1 << order, c, c, inverse ? FFTW_BACKWARD : FFTW_FORWARD,
                                    FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  return data;
}

// Each exact value times `factor` (the scaling of the transform checked).
::testing::AssertionResult WithinFftBound(const std::vector<double>& exact, const float* got,
                                          int order, long double factor) {
  return Bound(
      exact.size() / 2,
      [&](size_t i) { return ComplexLD(exact[2 * i], exact[2 * i + 1]) * factor; },
      [&](size_t i) { return ComplexLD(got[2 * i], got[2 * i + 1]); }, order, ldexpl(1.0L, -24));
}

}  // namespace dsptest
