// The pair table, the variant selection by class and feature bits, and the
// copy API.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <vector>

#include "audio/WuAudioCopyApi.h"
#include "audio/WuWfx.h"
#include "foundation/WuSystem.h"
#include "tests/audio/CpuPresenter.h"
#include "tests/audio/FormatTestUtil.h"

namespace {

using V = WuAudioCopyVariant;

constexpr WUSAMPLETYPE kCodes[] = {WUSAMPLE_PCM8,    WUSAMPLE_PCM8S,     WUSAMPLE_PCM16,
                                   WUSAMPLE_PCM16BE, WUSAMPLE_PCM24,     WUSAMPLE_PCM24BE,
                                   WUSAMPLE_PCM32,   WUSAMPLE_PCM24IN32, WUSAMPLE_PCM32BE,
                                   WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64};

using WuAudioCopyDispatchTest = audiotest::CpuPresenterTest;

TEST_F(WuAudioCopyDispatchTest, PairPresenceOverEveryCode) {
  std::vector<WUSAMPLETYPE> codes(std::begin(kCodes), std::end(kCodes));
  codes.insert(codes.end(),
               {WUSAMPLE_NONE, WUSAMPLE_FE03_16, WUSAMPLE_FE03_24, static_cast<WUSAMPLETYPE>(20)});
  int kernels = 0;
  for (WUSAMPLETYPE d : codes) {
    for (WUSAMPLETYPE s : codes) {
      const bool plain = std::find(std::begin(kCodes), std::end(kCodes), d) != std::end(kCodes) &&
                         std::find(std::begin(kCodes), std::end(kCodes), s) != std::end(kCodes);
      const bool hole = (d == WUSAMPLE_PCM16BE || d == WUSAMPLE_PCM24BE) &&
                        (s == WUSAMPLE_PCM24IN32 || s == WUSAMPLE_PCM32BE);
      WuAudioCopyFunc f = WuAudio_GetCopyFunction2(d, s);
      EXPECT_EQ(f != nullptr, plain && !hole) << d << " from " << s;
      if (f != nullptr) {
        ++kernels;
        // Whatever the variant, it is one of the pair's own kernels.
        bool own = false;
        for (int v = 0; v <= static_cast<int>(V::kSse41); ++v)
          own = own || WuAudio_FindCopyKernel(d, s, static_cast<V>(v)) == f;
        EXPECT_TRUE(own) << d << " from " << s;
      }
    }
  }
  EXPECT_EQ(kernels, 117);
}

// The seven rows of the selection table, class by class (no SSE4.1).
struct SelectionRow {
  WUSAMPLETYPE dest;
  WUSAMPLETYPE src;
  V byClass[7];
};
constexpr V S = V::kScalar, X = V::kX87Store, E = V::kSse, E2 = V::kSse2;
constexpr SelectionRow kSelection[] = {
    {WUSAMPLE_PCM8, WUSAMPLE_FLOAT32, {S, S, X, X, X, E, E}},
    {WUSAMPLE_PCM8, WUSAMPLE_FLOAT64, {S, S, X, X, X, X, E2}},
    {WUSAMPLE_PCM16, WUSAMPLE_FLOAT32, {S, S, X, X, X, E, E}},
    {WUSAMPLE_PCM16, WUSAMPLE_FLOAT64, {S, S, X, X, X, X, E2}},
    {WUSAMPLE_PCM24, WUSAMPLE_FLOAT32, {S, S, X, X, X, E, E}},
    {WUSAMPLE_PCM24, WUSAMPLE_FLOAT64, {S, S, X, X, X, X, E2}},
    {WUSAMPLE_FLOAT32, WUSAMPLE_PCM16, {S, S, S, S, S, E, E2}},
};

TEST_F(WuAudioCopyDispatchTest, SelectionByPresentedClass) {
  for (int cls = 0; cls <= 6; ++cls) {
    SCOPED_TRACE(cls);
    PresentClass(cls);
    for (const SelectionRow& row : kSelection) {
      EXPECT_EQ(WuAudio_GetCopyFunction2(row.dest, row.src),
                WuAudio_FindCopyKernel(row.dest, row.src, row.byClass[cls]))
          << row.dest << " from " << row.src;
    }
    // The feature-bit pairs follow the presented SSE and SSE2.
    const V fp = cls == 6 ? E2 : S;
    EXPECT_EQ(WuAudio_GetCopyFunction2(WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64),
              WuAudio_FindCopyKernel(WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64, fp));
    EXPECT_EQ(WuAudio_GetCopyFunction2(WUSAMPLE_FLOAT64, WUSAMPLE_FLOAT32),
              WuAudio_FindCopyKernel(WUSAMPLE_FLOAT64, WUSAMPLE_FLOAT32, fp));
    EXPECT_EQ(WuAudio_GetCopyFunction2(WUSAMPLE_FLOAT64, WUSAMPLE_PCM16),
              WuAudio_FindCopyKernel(WUSAMPLE_FLOAT64, WUSAMPLE_PCM16, fp));
  }
  // With SSE4.1 the class-6 processor takes the SSE4.1 variant of 32 from
  // 16, and loses it again when the bit is disallowed.
  PresentClass(6, true);
  EXPECT_EQ(WuAudio_GetCopyFunction2(WUSAMPLE_FLOAT32, WUSAMPLE_PCM16),
            WuAudio_FindCopyKernel(WUSAMPLE_FLOAT32, WUSAMPLE_PCM16, V::kSse41));
  ASSERT_TRUE(WuDisallowCPUSupport(WUCPU_SSE41));
  EXPECT_EQ(WuAudio_GetCopyFunction2(WUSAMPLE_FLOAT32, WUSAMPLE_PCM16),
            WuAudio_FindCopyKernel(WUSAMPLE_FLOAT32, WUSAMPLE_PCM16, V::kSse2));
  ASSERT_TRUE(WuDisallowCPUSupport(WUCPU_SSE2));
  EXPECT_EQ(WuAudio_GetCopyFunction2(WUSAMPLE_FLOAT64, WUSAMPLE_PCM16),
            WuAudio_FindCopyKernel(WUSAMPLE_FLOAT64, WUSAMPLE_PCM16, S));
  EXPECT_EQ(WuAudio_GetCopyFunction2(WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64),
            WuAudio_FindCopyKernel(WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64, S));
}

TEST_F(WuAudioCopyDispatchTest, SelectionBeyondTheClassRangeAndByFeatureWord) {
  // A class above 6 counts as 6, a negative one as 0.
  for (const SelectionRow& row : kSelection) {
    EXPECT_EQ(WuAudio_SelectCopyFunction(row.dest, row.src, 7, 0),
              WuAudio_FindCopyKernel(row.dest, row.src, row.byClass[6]));
    EXPECT_EQ(WuAudio_SelectCopyFunction(row.dest, row.src, -1, 0),
              WuAudio_FindCopyKernel(row.dest, row.src, row.byClass[0]));
  }
  const WuAudioCopyFunc sse41 = WuAudio_FindCopyKernel(WUSAMPLE_FLOAT32, WUSAMPLE_PCM16, V::kSse41);
  for (int cls = -1; cls <= 7; ++cls)
    EXPECT_EQ(WuAudio_SelectCopyFunction(WUSAMPLE_FLOAT32, WUSAMPLE_PCM16, cls, WUCPU_SSE41), sse41)
        << cls;
  const struct {
    WUSAMPLETYPE dest, src;
    DWORD features;
    V expected;
  } kFeatures[] = {
      {WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64, WUCPU_SSE, S},
      {WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64, WUCPU_SSE2, S},
      {WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64, WUCPU_SSE | WUCPU_SSE2, E2},
      {WUSAMPLE_FLOAT64, WUSAMPLE_FLOAT32, WUCPU_SSE2, S},
      {WUSAMPLE_FLOAT64, WUSAMPLE_FLOAT32, WUCPU_SSE | WUCPU_SSE2, E2},
      {WUSAMPLE_FLOAT64, WUSAMPLE_PCM16, WUCPU_SSE, S},
      {WUSAMPLE_FLOAT64, WUSAMPLE_PCM16, WUCPU_SSE2, E2},
  };
  for (const auto& c : kFeatures) {
    for (int cls : {0, 6}) {
      EXPECT_EQ(WuAudio_SelectCopyFunction(c.dest, c.src, cls, c.features),
                WuAudio_FindCopyKernel(c.dest, c.src, c.expected))
          << c.dest << " from " << c.src << " features " << c.features << " class " << cls;
    }
  }
}

// ---- WuAudio_Copy -------------------------------------------------------------------

using audiotest::Record;
using audiotest::Wfx;

constexpr float kSentinel = -12345.0f;

// 20 16-bit samples and what the 16-bit to float kernel makes of them.
struct Pcm16Block {
  int16_t samples[20];
  float expected[20];
  Pcm16Block() {
    for (int i = 0; i < 20; ++i) samples[i] = static_cast<int16_t>(i * 1000 - 9000);
    WuAudio_GetCopyFunction2(WUSAMPLE_FLOAT32, WUSAMPLE_PCM16)(expected, samples, 20, 1.0f);
  }
};

TEST_F(WuAudioCopyDispatchTest, CopyCountsSourceChannelsOnly) {
  const Pcm16Block block;
  const WAVEFORMATEX src = Wfx(WUSAMPLE_PCM16, 2);
  for (DWORD destChannels : {1u, 2u, 6u}) {
    const WAVEFORMATEX dest = Wfx(WUSAMPLE_FLOAT32, destChannels);
    float out[24];
    std::fill(std::begin(out), std::end(out), kSentinel);
    ASSERT_EQ(WuAudio_Copy(&dest, out, &src, block.samples, 10, 1.0f), S_OK);
    EXPECT_EQ(std::memcmp(out, block.expected, sizeof(block.expected)), 0) << destChannels;
    for (int i = 20; i < 24; ++i) EXPECT_EQ(out[i], kSentinel);
  }
}

TEST_F(WuAudioCopyDispatchTest, EveryFormReachesTheSameKernel) {
  const Pcm16Block block;
  const WAVEFORMATEX srcW = Wfx(WUSAMPLE_PCM16, 2);
  const WAVEFORMATEX destW = Wfx(WUSAMPLE_FLOAT32, 2);
  const _wuwaveformat srcR = Record(WUSAMPLE_PCM16, 2);
  const _wuwaveformat destR = Record(WUSAMPLE_FLOAT32, 2);
  const WuAudioCopyFunc f = WuAudio_GetCopyFunction2(WUSAMPLE_FLOAT32, WUSAMPLE_PCM16);
  EXPECT_EQ(WuAudio_GetCopyFunction(&destW, &srcW), f);
  EXPECT_EQ(WuAudio_GetCopyFunction(&destW, &srcR), f);
  EXPECT_EQ(WuAudio_GetCopyFunction(&destR, &srcW), f);

  float out[4][20];
  std::fill(&out[0][0], &out[0][0] + 80, kSentinel);
  EXPECT_EQ(WuAudio_Copy(&destW, out[0], &srcW, block.samples, 10, 1.0f), S_OK);
  EXPECT_EQ(WuAudio_Copy(&destR, out[1], &srcW, block.samples, 10, 1.0f), S_OK);
  EXPECT_EQ(WuAudio_Copy(&destW, out[2], &srcR, block.samples, 10, 1.0f), S_OK);
  EXPECT_EQ(WuAudio_Copy(&destR, out[3], &srcR, block.samples, 10, 1.0f), S_OK);
  for (auto& o : out) EXPECT_EQ(std::memcmp(o, block.expected, sizeof(o)), 0);

  // The gain reaches the kernel.
  float half[20];
  EXPECT_EQ(WuAudio_Copy(&destR, half, &srcR, block.samples, 10, 0.5f), S_OK);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(half[i], block.expected[i] * 0.5f);
}

TEST_F(WuAudioCopyDispatchTest, CopyRefusalsWriteNothing) {
  const Pcm16Block block;
  const WAVEFORMATEX src = Wfx(WUSAMPLE_PCM16, 2);
  const WAVEFORMATEX dest = Wfx(WUSAMPLE_FLOAT32, 2);
  WAVEFORMATEX compressed = Wfx(WUSAMPLE_PCM16, 2);
  compressed.wFormatTag = 0x0055;  // a codec's tag: no sample type

  // A record described by tag has type 0, even when tag and bits say PCM.
  _wuwaveformat byTag{};
  byTag.InitAsWfx(WAVE_FORMAT_PCM, 48000, 16, 2, 0, sizeof(byTag));
  byTag.SampleType = WUSAMPLE_NONE;
  byTag.dwFlags |= WUWAVEFORMAT_COMPRESSED;
  ASSERT_EQ(WuAudio_GetCopyFunction(&byTag, &src), nullptr);

  // Many frames of 8 channels: the 32-bit product would wrap to 8 samples.
  WAVEFORMATEX src8 = Wfx(WUSAMPLE_PCM16, 8);
  const struct {
    const char* name;
    HRESULT expected;
    std::function<HRESULT(float*)> call;
  } kCases[] = {
      {"0 frames without a kernel", S_OK,
       [&](float* out) { return WuAudio_Copy(&compressed, out, &compressed, nullptr, 0, 1.0f); }},
      {"no kernel", E_NOTIMPL,
       [&](float* out) { return WuAudio_Copy(&compressed, out, &src, block.samples, 10, 1.0f); }},
      {"destination by tag", E_NOTIMPL,
       [&](float* out) { return WuAudio_Copy(&byTag, out, &src, block.samples, 10, 1.0f); }},
      {"negative frames", E_INVALIDARG,
       [&](float* out) { return WuAudio_Copy(&dest, out, &src, block.samples, -1, 1.0f); }},
      {"count wraps", E_INVALIDARG,
       [&](float* out) {
         return WuAudio_Copy(&dest, out, &src8, block.samples, 0x20000001, 1.0f);
       }},
      {"count beyond 32 bits", E_INVALIDARG,
       [&](float* out) {
         return WuAudio_Copy(&dest, out, &src8, block.samples, 0x7FFFFFFF, 1.0f);
       }},
  };
  for (const auto& c : kCases) {
    float out[24];
    std::fill(std::begin(out), std::end(out), kSentinel);
    EXPECT_EQ(c.call(out), c.expected) << c.name;
    for (float v : out) ASSERT_EQ(v, kSentinel) << c.name;
  }
}

}  // namespace
