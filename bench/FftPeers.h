// The peers of the FFT benchmark, each over buffers the caller owns:
// FFTW (ESTIMATE plans: fftwf_plan_dft_1d for complex floats,
// fftw_plan_dft_r2c_1d / fftw_plan_dft_c2r_1d for real doubles) and KissFFT
// (the C library's float kiss_fft; the C++ template kissfft<double> with
// transform_real). FFTW and KissFFT serve the benchmarks and tests only.
#pragma once

#include <fftw3.h>
#include <kissfft/kiss_fft.h>
#include <kissfft/kissfft.hh>

#include <complex>
#include <cstdint>

namespace fftbench {

// FFTW complex single precision, out of place.
class FftwComplex {
 public:
  FftwComplex(int order, bool inverse, float* in, float* out)
      : plan_(fftwf_plan_dft_1d(1 << order, reinterpret_cast<fftwf_complex*>(in),
                                reinterpret_cast<fftwf_complex*>(out),
                                inverse ? FFTW_BACKWARD : FFTW_FORWARD, FFTW_ESTIMATE)) {}
  ~FftwComplex() { fftwf_destroy_plan(plan_); }
  FftwComplex(const FftwComplex&) = delete;
  FftwComplex& operator=(const FftwComplex&) = delete;
  void Run() { fftwf_execute(plan_); }

 private:
  fftwf_plan plan_;  // plan over the caller's buffers
};

// FFTW real double precision: forward r2c (N doubles to N/2 + 1 complex) or
// inverse c2r, out of place.
class FftwReal {
 public:
  FftwReal(int order, bool inverse, double* real, double* spectrum)
      : plan_(inverse ? fftw_plan_dft_c2r_1d(1 << order, reinterpret_cast<fftw_complex*>(spectrum),
                                             real, FFTW_ESTIMATE)
                      : fftw_plan_dft_r2c_1d(1 << order, real,
                                             reinterpret_cast<fftw_complex*>(spectrum),
                                             FFTW_ESTIMATE)) {}
  ~FftwReal() { fftw_destroy_plan(plan_); }
  FftwReal(const FftwReal&) = delete;
  FftwReal& operator=(const FftwReal&) = delete;
  void Run() { fftw_execute(plan_); }

 private:
  fftw_plan plan_;  // plan over the caller's buffers
};

// KissFFT complex single precision (the C library).
class KissComplex {
 public:
  KissComplex(int order, bool inverse) : cfg_(kiss_fft_alloc(1 << order, inverse, nullptr, nullptr)) {}
  ~KissComplex() { kiss_fft_free(cfg_); }
  KissComplex(const KissComplex&) = delete;
  KissComplex& operator=(const KissComplex&) = delete;
  void Run(const float* in, float* out) {
    kiss_fft(cfg_, reinterpret_cast<const kiss_fft_cpx*>(in), reinterpret_cast<kiss_fft_cpx*>(out));
  }

 private:
  kiss_fft_cfg cfg_;  // allocated configuration
};

// KissFFT real double precision (the C++ template, N/2-point transform and
// its real post-processing).
class KissReal {
 public:
  explicit KissReal(int order) : fft_(std::size_t{1} << (order - 1), false) {}
  void Run(const double* in, std::complex<double>* out) { fft_.transform_real(in, out); }

 private:
  kissfft<double> fft_;  // half-size complex plan
};

// GFLOP/s by the usual counts: 5 N log2 N (complex), 2.5 N log2 N (real).
inline double ComplexGflops(int order, double ns) { return 5.0 * (1 << order) * order / ns; }
inline double RealGflops(int order, double ns) { return 2.5 * (1 << order) * order / ns; }

}  // namespace fftbench
