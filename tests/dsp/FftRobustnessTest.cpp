// Both FFT families under a failing heap and under threads, in every variant:
// - every allocation of set-up and of a transform without the caller's
//   buffer failed in turn: the call answers -9 (mapped) or succeeds, no
//   block stays behind, a failed set-up hands out no context, and a failed
//   transform leaves its data as it was;
// - eight threads transform on one context at once, each on its own arrays
//   (half with the caller's buffer, half without), while another thread runs
//   the variant selection again and again: every result is the serial one.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "dsp/WuPerf.h"
#include "dsp/WuPerfTesting.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/FftRealTestSupport.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

constexpr HRESULT kOk = 0x0004E600;
constexpr HRESULT kNoMemory = static_cast<HRESULT>(0x8004E609u);

// One family's exports behind one shape: set-up, buffer size, the transform
// of a direction (source, destination; the real family runs in place and
// takes the destination only) and release.
struct Family {
  const char* name;
  size_t elementBytes;  // bytes per point
  HRESULT (*initAlloc)(void**, int32_t, int32_t, WuPerfHintAlgorithm);
  HRESULT (*bufSize)(void*, int32_t*);
  HRESULT (*transform)(bool inverse, const void* src, void* dst, void* ctx, uint8_t* work);
  HRESULT (*release)(void*);
  std::vector<int> orders;  // orders reaching each set-up and transform route
};

const Family kComplex = {
    "complex", 8, WuPerfsFFTInitAlloc_C_32fc,
    [](void* ctx, int32_t* size) { return WuPerfsFFTGetBufSize_C_32fc(ctx, size); },
    [](bool inverse, const void* src, void* dst, void* ctx, uint8_t* work) {
      return inverse ? WuPerfsFFTInv_CToC_32fc(src, dst, ctx, work)
                     : WuPerfsFFTFwd_CToC_32fc(src, dst, ctx, work);
    },
    WuPerfsFFTFree_C_32fc, {0, 3, 6, 11, 12, 17, 18}};

const Family kReal = {
    "real", 8, WuPerfsFFTInitAlloc_R_64f, WuPerfsFFTGetBufSize_R_64f,
    [](bool inverse, const void*, void* dst, void* ctx, uint8_t* work) {
      double* d = static_cast<double*>(dst);
      return inverse ? WuPerfsFFTInv_PermToR_64f_I(d, ctx, work)
                     : WuPerfsFFTFwd_RToPerm_64f_I(d, ctx, work);
    },
    WuPerfsFFTFree_R_64f, {0, 3, 5, 6, 12, 16, 17}};

// The input of an order as bytes: complex floats or real doubles.
std::vector<uint8_t> Input(const Family& f, int order, uint32_t seed) {
  std::vector<uint8_t> out(f.elementBytes << order);
  if (&f == &kComplex)
    std::memcpy(out.data(), dsptest::ComplexInput(order, seed).data(), out.size());
  else
    std::memcpy(out.data(), dsptest::RealInput(order, seed).data(), out.size());
  return out;
}

// A transform of `in` through the exports on `ctx`: out of place for the
// complex family, in place for the real one.
HRESULT Transform(const Family& f, bool inverse, void* ctx, const std::vector<uint8_t>& in,
                  std::vector<uint8_t>* out, uint8_t* work) {
  out->assign(in.begin(), in.end());
  if (&f == &kComplex) {
    std::vector<uint8_t> src(in);
    return f.transform(inverse, src.data(), out->data(), ctx, work);
  }
  return f.transform(inverse, nullptr, out->data(), ctx, work);
}

// The serial result of a direction without failures.
std::vector<uint8_t> Reference(const Family& f, int order, int flag, bool inverse,
                               const std::vector<uint8_t>& in) {
  void* ctx = nullptr;
  EXPECT_EQ(f.initAlloc(&ctx, order, flag, 0), kOk);
  std::vector<uint8_t> out;
  EXPECT_EQ(Transform(f, inverse, ctx, in, &out, nullptr), kOk);
  EXPECT_EQ(f.release(ctx), kOk);
  return out;
}

// Fails allocation k = 1, 2, ... of set-up followed by both transforms
// without a buffer, until a run asks for fewer than k allocations.
void SweepFailures(const Family& f) {
  for (int v = 0; v < wuperf::kVariantCount; ++v) {
    if (!dsptest::VariantSupported(v)) continue;
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(v));
    for (int order : f.orders) {
      const int flag = order % 2 == 0 ? 4 : 1;
      const std::vector<uint8_t> in = Input(f, order, 3);
      const std::vector<uint8_t> fwd = Reference(f, order, flag, false, in);
      const std::vector<uint8_t> inv = Reference(f, order, flag, true, in);
      int initFailures = 0, transformFailures = 0;
      int32_t workSize = 0;
      for (int k = 1;; ++k) {
        SCOPED_TRACE(testing::Message() << f.name << " variant " << v << " order " << order
                                        << " failing allocation " << k);
        dsptest::CountingAllocator heap(k);
        void* const sentinel = &heap;
        void* ctx = sentinel;
        const HRESULT init = f.initAlloc(&ctx, order, flag, 0);
        if (init == kNoMemory) {
          ++initFailures;
          EXPECT_EQ(ctx, sentinel) << "a failed set-up handed out a context";
          ASSERT_EQ(heap.Outstanding(), 0);
          continue;
        }
        ASSERT_EQ(init, kOk);
        ASSERT_EQ(f.bufSize(ctx, &workSize), kOk);
        bool failed = false;
        for (bool inverse : {false, true}) {
          std::vector<uint8_t> out;
          const HRESULT hr = Transform(f, inverse, ctx, in, &out, nullptr);
          if (hr == kNoMemory) {
            ++transformFailures, failed = true;
            EXPECT_EQ(out, in) << "a failed transform changed its data";
          } else {
            ASSERT_EQ(hr, kOk);
            EXPECT_EQ(out, inverse ? inv : fwd);
          }
        }
        ASSERT_EQ(f.release(ctx), kOk);
        ASSERT_EQ(heap.Outstanding(), 0);
        if (heap.Calls() < k) break;  // nothing failed: every allocation was tried
        EXPECT_TRUE(failed) << "a failed allocation was reported as success";
      }
      // Set-up allocates at least its context block; a transform that needs
      // a work buffer allocates it in each direction.
      EXPECT_GE(initFailures, 1);
      EXPECT_EQ(transformFailures, workSize > 0 ? 2 : 0);
    }
  }
}

class FftRobustnessTest : public dsptest::DspTest {};

TEST_F(FftRobustnessTest, ComplexFailingAllocationsAnswerNoMemoryAndLeaveNothing) {
  SweepFailures(kComplex);
}

TEST_F(FftRobustnessTest, RealFailingAllocationsAnswerNoMemoryAndLeaveNothing) {
  SweepFailures(kReal);
}

// ---- Threads ----------------------------------------------------------------------------

// Eight threads per context, each transforming its own input both ways a few
// times (even threads with their own buffer, odd ones with none), while the
// selection runs repeatedly; every result equals the serial one.
void RunThreads(const Family& f, int order) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 2;
  for (int v = 0; v < wuperf::kVariantCount; ++v) {
    if (!dsptest::VariantSupported(v)) continue;
    SCOPED_TRACE(testing::Message() << f.name << " variant " << v << " order " << order);
    ASSERT_TRUE(WuPerf_ForceVariantForTesting(v));
    void* ctx = nullptr;
    ASSERT_EQ(f.initAlloc(&ctx, order, 1, 0), kOk);
    int32_t size = 0;
    ASSERT_EQ(f.bufSize(ctx, &size), kOk);
    std::vector<std::vector<uint8_t>> inputs, fwd, inv;
    for (int t = 0; t < kThreads; ++t) {
      inputs.push_back(Input(f, order, 100 + t));
      fwd.emplace_back();
      inv.emplace_back();
      ASSERT_EQ(Transform(f, false, ctx, inputs[t], &fwd[t], nullptr), kOk);
      ASSERT_EQ(Transform(f, true, ctx, inputs[t], &inv[t], nullptr), kOk);
    }
    std::atomic<bool> done{false};
    std::atomic<int> mismatches{0};
    std::thread selector([&] {
      while (!done.load()) WuPerf_Initialize();
    });
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
      workers.emplace_back([&, t] {
        std::vector<uint8_t> buffer(static_cast<size_t>(size) + 1);
        uint8_t* work = t % 2 == 0 ? buffer.data() : nullptr;
        std::vector<uint8_t> out;
        for (int round = 0; round < kRounds; ++round) {
          if (Transform(f, false, ctx, inputs[t], &out, work) != kOk || out != fwd[t])
            ++mismatches;
          if (Transform(f, true, ctx, inputs[t], &out, work) != kOk || out != inv[t])
            ++mismatches;
        }
      });
    }
    for (std::thread& w : workers) w.join();
    done = true;
    selector.join();
    EXPECT_EQ(mismatches.load(), 0);
    WuPerf_ResetForTesting();
    EXPECT_EQ(f.release(ctx), kOk);
  }
}

TEST_F(FftRobustnessTest, ComplexThreadsOnOneContextGiveTheSerialResults) {
  for (int order : {6, 18}) RunThreads(kComplex, order);
}

TEST_F(FftRobustnessTest, RealThreadsOnOneContextGiveTheSerialResults) {
  for (int order : {6, 17}) RunThreads(kReal, order);
}

}  // namespace
