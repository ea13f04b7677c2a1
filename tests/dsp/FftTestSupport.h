// Test support of the FFT foundations and the FFT families: the members of
// every variant in one table, a fixture that runs a case once per variant,
// byte buffers with guard bytes at a chosen misalignment, and a processor
// that reports chosen cache descriptors and counts its leaf-2 queries.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "dsp/FftVariants.h"
#include "platform/kernel/cpu.h"
#include "tests/dsp/VariantTestUtil.h"

namespace dsptest {

// The foundation members of one variant; null where the variant has none.
struct FoundationMembers {
  void* (*zeroKernel)(void*, int32_t);
  void* (*copyKernel)(const void*, void*, int32_t);
  WuPerfStatus (*zero8u)(void*, int32_t);
  WuPerfStatus (*zero32f)(float*, int32_t);
  WuPerfStatus (*zero64f)(double*, int32_t);
  WuPerfStatus (*copy8u)(const void*, void*, int32_t);
  void (*scale32f)(float, float*, int32_t);
  void (*scale64f)(double, double*, int32_t);
  // Table builders and size walks.
  float* (*baseTwiddle32fc)(int32_t, float*);
  uint32_t* (*bitRevTable)(int32_t, uint32_t*);
  uint32_t* (*bitRevPairs)(int32_t, uint32_t*);
  uint32_t* (*bitRevTable2)(int32_t, int32_t, uint32_t*);
  float* (*radixTwiddle32fc)(int32_t, const float*, int32_t, float*);
  uint8_t* (*initLarge32fc)(wuperf::FftSpec*, int32_t, const float*, int32_t, uint8_t*, uint8_t*);
  void (*getSizesLarge32fc)(int32_t, int32_t*, int32_t*, int32_t*);
  double* (*baseTwiddle64f)(int32_t, double*);
  double* (*radixTwiddle64f)(int32_t, const double*, int32_t, double*);
  double* (*realTwiddleFwd)(int32_t, const double*, int32_t, double*);
  double* (*realTwiddleInv)(int32_t, const double*, int32_t, double*);
  uint8_t* (*initLarge64f)(wuperf::FftSpecReal*, int32_t, const double*, int32_t, uint8_t*,
                           uint8_t*);
  void (*getSizesLarge64f)(int32_t, int32_t*, int32_t*, int32_t*);
  // Block kernels (variants 1 to 4).
  void (*gather32fc)(const void*, void*, int32_t, int32_t, int32_t);
  void (*scatter32fc)(void*, const void*, int32_t, int32_t, int32_t, int32_t);
  void (*blockBitRev32fc)(void*, int32_t, const uint32_t*);
  void (*radix4Fwd32fc)(const float*, float*, int32_t, int32_t, const float*);
  void (*radix4Inv32fc)(const float*, float*, int32_t, int32_t, const float*);
  void (*radix2Fwd32fc)(const float*, float*, int32_t, int32_t, const float*);
  void (*radix2Inv32fc)(const float*, float*, int32_t, int32_t, const float*);
  void (*gather64f)(const double*, double*, int32_t, int32_t, int32_t);
  void (*scatter64f)(double*, const double*, int32_t, int32_t, int32_t, int32_t);
  void (*blockBitRev64f)(double*, int32_t, const uint32_t*);
  void (*radix4Fwd64f)(const double*, double*, int32_t, int32_t, const double*);
  void (*radix4Inv64f)(const double*, double*, int32_t, int32_t, const double*);
  void (*radix2Fwd64f)(const double*, double*, int32_t, int32_t, const double*);
  void (*radix2Inv64f)(const double*, double*, int32_t, int32_t, const double*);
};

// The members of variant 0..4.
const FoundationMembers& Members(int variant);

// The FFT variant fixture: each case runs once per variant this processor
// runs (all five on the development and CI machines), with the dispatched
// exports forced to that variant, and the process is put back afterwards.
class FftVariantTest : public DspTest {
 protected:
  // Runs `body(variant)` for every variant, under a trace naming it.
  void ForEachVariant(const std::function<void(int variant)>& body);
  // The same for the SIMD variants 1 to 4 only.
  void ForEachSimdVariant(const std::function<void(int variant)>& body);
};

// A byte buffer whose usable bytes start `misalignment` bytes past a 64-byte
// boundary, with guard bytes of a known pattern on both sides.
class GuardedBuffer {
 public:
  static constexpr size_t kGuardBytes = 64;   // guard bytes on each side
  static constexpr uint8_t kGuardValue = 0xA5;  // their pattern

  GuardedBuffer(size_t bytes, size_t misalignment);
  uint8_t* data() { return start_; }
  const uint8_t* data() const { return start_; }
  size_t size() const { return size_; }
  // The usable bytes set to a pattern that differs from byte to byte.
  void FillPattern(uint32_t seed);
  // TRUE while no guard byte changed.
  bool GuardsIntact() const;

 private:
  std::vector<uint8_t> storage_;  // guards, slack and the usable bytes
  uint8_t* start_;                // first usable byte
  size_t size_;                   // usable bytes
};

// A processor for the cache probe: "GenuineIntel" or another vendor, leaf 2
// words as given, and a count of the leaf-2 queries.
class CacheProcessor : public platform::FakeProcessor {
 public:
  CacheProcessor(bool genuineIntel, DWORD eax, DWORD ebx, DWORD ecx, DWORD edx);
  platform::CpuidRegs Cpuid(DWORD leaf, DWORD subleaf) override;
  int leaf2Queries = 0;  // leaf-2 queries so far
};

// Installs a processor for the lifetime of the object.
class ScopedProcessor {
 public:
  explicit ScopedProcessor(platform::ProcessorSource* source);
  ~ScopedProcessor();
  ScopedProcessor(const ScopedProcessor&) = delete;
  ScopedProcessor& operator=(const ScopedProcessor&) = delete;
};

// A processor whose largest cache is 512 KiB (descriptor 0x43): blocks of
// at least that size stream.
CacheProcessor MakeStreamingProcessor();

}  // namespace dsptest
