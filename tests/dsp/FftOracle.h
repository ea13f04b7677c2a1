// The FFT test oracle and error bound.
//
// Inputs are seeded and uniform in [-1, 1). The exact transforms are made in
// long double: a direct DFT (roots indexed by j*k mod N) up to 1024 points,
// FFTW's long-double plans above (complex orders above 22: FFTW's double
// plans, far more accurate than the single-precision bound). Each result is
// made once per order, seed and direction and reused across variants, flags
// and placements.
//
// Conventions: forward X[k] = sum x[j] e^(-2 pi i jk/N), inverse with
// e^(+2 pi i jk/N), neither scaled. A real transform's spectrum is packed:
// element 0 = X[0], element 1 = X[N/2], elements 2k, 2k+1 = Re, Im X[k].
#pragma once

#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <vector>

namespace dsptest {

using ComplexLD = std::complex<long double>;

// 2^order complex floats (interleaved re, im), or 2^order doubles.
const std::vector<float>& ComplexInput(int order, uint32_t seed);
const std::vector<double>& RealInput(int order, uint32_t seed);

// The exact transform of ComplexInput(order, seed).
const std::vector<ComplexLD>& ComplexOracle(int order, uint32_t seed, bool inverse);
// Forward: the packed spectrum of RealInput(order, seed). Inverse: the real
// signal whose packed spectrum is RealInput(order, seed) (the inverse of the
// packed form, unscaled).
const std::vector<long double>& RealOracle(int order, uint32_t seed, bool inverse);

// The two methods of the oracle, for comparing them with each other.
std::vector<ComplexLD> DirectComplexDft(const std::vector<ComplexLD>& x, bool inverse);
std::vector<ComplexLD> FftwComplexDft(const std::vector<ComplexLD>& x, bool inverse);
std::vector<long double> DirectRealDft(const std::vector<long double>& x, bool inverse);
std::vector<long double> FftwRealDft(const std::vector<long double>& x, bool inverse);

// The error bound of every variant: with L = log2 N and u the unit
// roundoff (2^-24 for complex floats, 2^-53 for real doubles), the relative
// RMS error is at most 2 (L + 2) u and each component's error at most
// 16 (L + 2) u ||y|| / sqrt(N). `got` holds 2N (complex) or N (real) values.
::testing::AssertionResult WithinFftBound(const std::vector<ComplexLD>& exact,
                                          const float* got, int order);
::testing::AssertionResult WithinFftBound(const std::vector<long double>& exact,
                                          const double* got, int order);

// The largest complex orders, where long-double copies would not fit: the
// transform of ComplexInput(order, seed) by FFTW's double plan, as
// interleaved doubles (not cached), and the same bound against it.
std::vector<double> ComplexOracleDouble(int order, uint32_t seed, bool inverse);
::testing::AssertionResult WithinFftBound(const std::vector<double>& exact, const float* got,
                                          int order, long double factor);

}  // namespace dsptest
