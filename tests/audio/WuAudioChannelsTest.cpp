// Channel operations: the edge cases of each operation, refused channel
// indexes, and filling from one sample against the conversion kernels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/WuAudioChannels.h"
#include "audio/WuAudioCopyApi.h"
#include "audio/WuWfx.h"
#include "tests/audio/FormatTestUtil.h"

namespace {

using Bytes = std::vector<uint8_t>;

using audiotest::Record;
using audiotest::Wfx;

Bytes Le16(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return out;
}

Bytes Le24(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values)
    for (int b = 0; b < 3; ++b) out.push_back(static_cast<uint8_t>((v >> (8 * b)) & 0xFF));
  return out;
}

const WAVEFORMATEX kPcm8x2 = Wfx(WUSAMPLE_PCM8, 2);
const WAVEFORMATEX kPcm16x1 = Wfx(WUSAMPLE_PCM16, 1);
const WAVEFORMATEX kPcm16x2 = Wfx(WUSAMPLE_PCM16, 2);
const WAVEFORMATEX kPcm16x3 = Wfx(WUSAMPLE_PCM16, 3);
const WAVEFORMATEX kPcm16x4 = Wfx(WUSAMPLE_PCM16, 4);
const WAVEFORMATEX kPcm24x2 = Wfx(WUSAMPLE_PCM24, 2);
const WAVEFORMATEX kPcm16BEx2 = Wfx(WUSAMPLE_PCM16BE, 2);
const WAVEFORMATEX kFloatx2 = Wfx(WUSAMPLE_FLOAT32, 2);
const _wuwaveformat kRec8x2 = Record(WUSAMPLE_PCM8, 2);
const _wuwaveformat kRec8Sx2 = Record(WUSAMPLE_PCM8S, 2);

// One call on a destination of `out.size()` bytes (exactly that much heap,
// then a guard byte) first filled with `dst`, from a copy of `src` (also
// exactly sized). In place when `src` is empty: the destination is both.
struct Case {
  const char* name;
  std::function<HRESULT(uint8_t* dst, const uint8_t* src)> call;
  Bytes src;
  Bytes dst;
  HRESULT hr;
  Bytes out;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.dst.size(), c.out.size());
    auto dst = std::make_unique<uint8_t[]>(c.dst.size() + 1);
    std::memcpy(dst.get(), c.dst.data(), c.dst.size());
    dst[c.dst.size()] = 0xEE;
    auto src = std::make_unique<uint8_t[]>(c.src.size());
    if (!c.src.empty()) std::memcpy(src.get(), c.src.data(), c.src.size());
    EXPECT_EQ(c.call(dst.get(), c.src.empty() ? dst.get() : src.get()), c.hr);
    EXPECT_EQ(Bytes(dst.get(), dst.get() + c.dst.size()), c.out);
    EXPECT_EQ(dst[c.dst.size()], 0xEE);
  }
}

TEST(WuAudioChannelsTest, EdgeCases) {
  const Bytes six0(6, 0x11);
  WAVEFORMATEXTENSIBLE ext8{};
  WuAudio_InitWfExt(&ext8, KSDATAFORMAT_SUBTYPE_PCM, 48000, 8, 2, 8, 0);
  WAVEFORMATEXTENSIBLE extOther{};
  WuAudio_InitWfExt(&extOther, WuAudio_BaseGuid(0x55), 48000, 8, 2, 8, 0);
  WAVEFORMATEX codec = kPcm16x2;
  codec.wFormatTag = 0x55;
  const auto& e8 = ext8.Format;
  const auto& eo = extOther.Format;
  RunCases({
      // Silence.
      {"silence type 16",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_FillSilence(&kRec8x2, d, 3); },
       {},
       six0,
       S_OK,
       Bytes(6, 0x80)},
      {"silence type 49",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_FillSilence(&kRec8Sx2, d, 3); },
       {},
       six0,
       S_OK,
       Bytes(6, 0)},
      {"silence by tag, 8-bit PCM",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_FillSilence(&kPcm8x2, d, 3); },
       {},
       six0,
       S_OK,
       Bytes(6, 0x80)},
      {"silence, extensible 8-bit PCM",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_FillSilence(&e8, d, 3); },
       {},
       six0,
       S_OK,
       Bytes(6, 0x80)},
      {"silence, other sub-format",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_FillSilence(&eo, d, 3); },
       {},
       six0,
       S_OK,
       six0},
      {"silence, codec tag",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_FillSilence(&codec, d, 1); },
       {},
       Bytes(4, 0x11),
       E_FAIL,
       Bytes(4, 0x11)},
      {"silence of one channel",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_FillSilenceChannel(&kPcm8x2, d, 1, 3); },
       {},
       six0,
       S_OK,
       {0x11, 0x80, 0x11, 0x80, 0x11, 0x80}},
      {"silence of a mono channel fills all",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_FillSilenceChannel(&kPcm16x1, d, 0, 3); },
       {},
       six0,
       S_OK,
       Bytes(6, 0)},
      // Mixing by sum and by average.
      {"sum clamps",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_ChannelChange(d, 1, s, &kPcm16x2, 1); },
       Le16({20000, 20000}), Le16({0}), S_OK, Le16({32767})},
      {"average",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_ChannelChangeAvg(d, 1, s, &kPcm16x2, 2);
       },
       Le16({20000, 20000, -3, 0}), Le16({0, 0}), S_OK, Le16({20000, -2})},  // -1.5 to even
      {"8-bit average on the 16-bit scale",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_ChannelChangeAvg(d, 1, s, &kPcm8x2, 1); },
       {0x00, 0xFF},
       {0},
       S_OK,
       {0x80}},
      {"8-bit sum",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_ChannelChange(d, 1, s, &kPcm8x2, 2); },
       {0xC0, 0xC0, 0x00, 0x10},
       {0, 0},
       S_OK,
       {0xFF, 0x00}},
      {"big-endian mixed in its own order",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_ChannelChange(d, 1, s, &kPcm16BEx2, 2); },
       {0x10, 0x00, 0x20, 0x01, 0x70, 0x00, 0x70, 0x00},
       {0, 0, 0, 0},
       S_OK,
       {0x30, 0x01, 0x7F, 0xFF}},
      {"big-endian average",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_ChannelChangeAvg(d, 1, s, &kPcm16BEx2, 1);
       },
       {0x10, 0x00, 0x20, 0x00},
       {0, 0},
       S_OK,
       {0x18, 0x00}},
      {"24-bit sum",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_ChannelChange(d, 1, s, &kPcm24x2, 1); },
       Le24({-8000000, -8000000}), Le24({0}), S_OK, Le24({-8388608})},
      {"float sum without clamping",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_ChannelChange(d, 1, s, &kFloatx2, 1); },
       [] {
         float f[2] = {0.75f, 0.75f};
         return Bytes((uint8_t*)f, (uint8_t*)f + 8);
       }(),
       Bytes(4, 0), S_OK,
       [] {
         float f = 1.5f;
         return Bytes((uint8_t*)&f, (uint8_t*)&f + 4);
       }()},
      {"mono to 6 channels in one buffer",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_ChannelChange(d, 6, d, &kPcm16x1, 3); },
       {},
       Le16({1, 2, 3, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}),
       S_OK,
       Le16({1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3})},
      {"stereo to 4 channels",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_ChannelChange(d, 4, s, &kPcm16x2, 1); },
       Le16({1, 2}), Le16({7, 7, 7, 7}), E_FAIL, Le16({7, 7, 7, 7})},
      {"4 channels to stereo",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_ChannelChangeAvg(d, 2, s, &kPcm16x4, 1);
       },
       Le16({1, 2, 3, 4}), Le16({7, 7}), E_FAIL, Le16({7, 7})},
      {"equal counts copy",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_ChannelChange(d, 2, s, &kPcm16x2, 1); },
       Le16({1, 2}), Le16({7, 7}), S_OK, Le16({1, 2})},
      // Average into every channel.
      {"mono channel, 16-bit truncates",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_MonoChannel(d, s, &kPcm16x2, 2); },
       Le16({1, 2, -1, -2}), Le16({0, 0, 0, 0}), S_OK, Le16({1, 1, -1, -1})},
      {"mono channel, 24-bit rounds",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_MonoChannel(d, s, &kPcm24x2, 2); },
       Le24({1, 2, 2, 3}), Le24({0, 0, 0, 0}), S_OK, Le24({2, 2, 2, 2})},
      {"mono channel, 8-bit on unsigned bytes",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_MonoChannel(d, s, &kPcm8x2, 1); },
       {0x00, 0xFF},
       {0, 0},
       S_OK,
       {0x7F, 0x7F}},
      // Moves.
      {"swap on mono",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_SwapStereoChannels(d, &kPcm16x1, 2); },
       {},
       Le16({1, 2}),
       S_OK,
       Le16({1, 2})},
      {"swap",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_SwapStereoChannels(d, &kPcm16x3, 2); },
       {},
       Le16({1, 2, 3, 4, 5, 6}),
       S_OK,
       Le16({2, 1, 3, 5, 4, 6})},
      {"copy swap",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_CopySwapStereoChannels(d, s, &kPcm16x2, 2);
       },
       Le16({1, 2, 3, 4}), Le16({0, 0, 0, 0}), S_OK, Le16({2, 1, 4, 3})},
      {"channel to channel",
       [&](uint8_t* d, const uint8_t*) {
         return WuAudio_CopyChannelToChannel(d, &kPcm16x3, 2, 0, 2);
       },
       {},
       Le16({1, 2, 3, 4, 5, 6}),
       S_OK,
       Le16({3, 2, 3, 6, 5, 6})},
      {"extract",
       [&](uint8_t* d, const uint8_t* s) { return WuAudio_ExtractChannel(d, 2, s, &kPcm16x3, 2); },
       Le16({1, 2, 3, 4, 5, 6}), Le16({0, 0}), S_OK, Le16({3, 6})},
      {"extract from mono",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_ExtractChannel(d, 0, s, WUSAMPLE_PCM24, 1, 2);
       },
       Le24({5, -5}), Le24({0, 0}), S_OK, Le24({5, -5})},
      {"extract pair",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_ExtractChannelPair(d, 1, s, &kPcm16x3, 2);
       },
       Le16({1, 2, 3, 4, 5, 6}), Le16({0, 0, 0, 0}), S_OK, Le16({2, 3, 5, 6})},
      {"insert",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_InsertChannel(d, WUSAMPLE_PCM16, 3, 1, s, 2);
       },
       Le16({8, 9}), Le16({1, 2, 3, 4, 5, 6}), S_OK, Le16({1, 8, 3, 4, 9, 6})},
      {"mute 8-bit",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_MuteChannel(d, &kRec8x2, 0, 3); },
       {},
       six0,
       S_OK,
       {0x80, 0x11, 0x80, 0x11, 0x80, 0x11}},
      {"mute by record",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_MuteChannel(d, &kPcm16x2, 1, 1); },
       {},
       Le16({5, 6}),
       S_OK,
       Le16({5, 0})},
      {"multi-mono widening in place",
       [&](uint8_t* d, const uint8_t*) {
         return WuAudio_CopyChannelToMultiMono2(d, 4, d, 2, 1, 2, WUSAMPLE_PCM16);
       },
       {},
       Le16({1, 2, 3, 4, 0, 0, 0, 0}),
       S_OK,
       Le16({2, 2, 2, 2, 4, 4, 4, 4})},
      {"multi-mono 16 against 24",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_CopyChannelToMultiMono(d, &kPcm24x2, s, &kPcm16x2, 0, 1);
       },
       Le16({1, 2}), Le24({7, 7}), E_INVALIDARG, Le24({7, 7})},
      {"to all 16 against 24",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_CopyChannelToAll(d, s, &kPcm16x2, &kPcm24x2, 0, 1);
       },
       Le16({1, 2}), Le24({7, 7}), E_NOTIMPL, Le24({7, 7})},
      {"to all",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_CopyChannelToAll(d, s, &kPcm16x2, &kPcm16x3, 1, 2);
       },
       Le16({1, 2, 3, 4}), Le16({0, 0, 0, 0, 0, 0}), S_OK, Le16({2, 2, 2, 4, 4, 4})},
      {"to all into mono extracts",
       [&](uint8_t* d, const uint8_t* s) {
         return WuAudio_CopyChannelToAll(d, s, &kPcm16x2, &kPcm16x1, 1, 2);
       },
       Le16({1, 2, 3, 4}), Le16({0, 0}), S_OK, Le16({2, 4})},
      {"type without a width",
       [&](uint8_t* d, const uint8_t*) {
         return WuAudio_MuteChannel(d, WUSAMPLE_FE03_16, 2, 0, 1);
       },
       {},
       Le16({5, 6}),
       E_FAIL,
       Le16({5, 6})},
      {"negative frames",
       [&](uint8_t* d, const uint8_t*) { return WuAudio_MuteChannel(d, &kPcm16x2, 0, -1); },
       {},
       Le16({5, 6}),
       E_INVALIDARG,
       Le16({5, 6})},
  });
}

// The 16-bit stereo average agrees with the rounding rule (half-sums
// rounded to even) over the edges and a spread of pairs, and with the
// general path of three channels.
TEST(WuAudioChannelsTest, StereoAverageRoundsHalvesToEven) {
  std::vector<int> pairs = {-32768, -32767, 32767, 32766, -1,     0,      1, 0,  3,  0,
                            -3,     0,      32767, 32767, -32768, -32768, 5, -2, -5, 2};
  for (int i = 0; i < 4000; ++i) pairs.push_back(static_cast<int16_t>(i * 7919 + i * i * 31));
  const LONG frames = static_cast<LONG>(pairs.size() / 2);
  std::vector<int16_t> src(pairs.begin(), pairs.end());
  std::vector<int16_t> out(frames, 0x1234);
  ASSERT_EQ(WuAudio_ChannelChangeAvg(out.data(), 1, src.data(), &kPcm16x2, frames), S_OK);
  std::vector<int16_t> three;
  for (LONG i = 0; i < frames; ++i) {
    const double half = (src[2 * i] + src[2 * i + 1]) / 2.0;
    EXPECT_EQ(out[i], static_cast<int16_t>(std::nearbyint(half)))
        << src[2 * i] << " " << src[2 * i + 1];
    three.insert(three.end(), {src[2 * i], src[2 * i + 1],
                               static_cast<int16_t>(half * 3 - src[2 * i] - src[2 * i + 1])});
  }
  // Three channels whose third is the pair's mean when that is whole.
  std::vector<int16_t> out3(frames, 0);
  ASSERT_EQ(WuAudio_ChannelChangeAvg(out3.data(), 1, three.data(), &kPcm16x3, frames), S_OK);
  for (LONG i = 0; i < frames; ++i) {
    const double mean = (three[3 * i] + three[3 * i + 1] + three[3 * i + 2]) / 3.0;
    EXPECT_EQ(out3[i],
              static_cast<int16_t>(std::nearbyint(std::fmin(32767, std::fmax(-32768, mean)))));
  }
}

// Every operation that takes a channel refuses one outside 0..count-1 and
// writes nothing (AddressSanitizer watches the exact-size buffers).
TEST(WuAudioChannelsTest, ChannelOutsideTheFrameIsRefused) {
  const Bytes in = Le16({1, 2, 3, 4});  // two stereo frames
  std::vector<Case> cases;
  for (LONG bad : {-1, 2, 1000}) {
    auto add = [&](const char* name, std::function<HRESULT(uint8_t*, const uint8_t*)> call) {
      cases.push_back({name, call, in, Le16({7, 7, 7, 7}), E_FAIL, Le16({7, 7, 7, 7})});
    };
    add("silence channel", [=](uint8_t* d, const uint8_t*) {
      return WuAudio_FillSilenceChannel(&kPcm16x2, d, bad, 2);
    });
    add("channel to channel, source", [=](uint8_t* d, const uint8_t*) {
      return WuAudio_CopyChannelToChannel(d, &kPcm16x2, bad, 0, 2);
    });
    add("channel to channel, destination", [=](uint8_t* d, const uint8_t*) {
      return WuAudio_CopyChannelToChannel(d, &kPcm16x2, 0, bad, 2);
    });
    add("extract", [=](uint8_t* d, const uint8_t* s) {
      return WuAudio_ExtractChannel(d, bad, s, &kPcm16x2, 2);
    });
    add("extract by type", [=](uint8_t* d, const uint8_t* s) {
      return WuAudio_ExtractChannel(d, bad, s, WUSAMPLE_PCM16, 2, 2);
    });
    add("extract pair", [=](uint8_t* d, const uint8_t* s) {
      return WuAudio_ExtractChannelPair(d, bad, s, &kPcm16x2, 2);
    });
    add("insert", [=](uint8_t* d, const uint8_t* s) {
      return WuAudio_InsertChannel(d, WUSAMPLE_PCM16, 2, bad, s, 2);
    });
    add("mute by type", [=](uint8_t* d, const uint8_t*) {
      return WuAudio_MuteChannel(d, WUSAMPLE_PCM16, 2, bad, 2);
    });
    add("mute by WAVEFORMATEX",
        [=](uint8_t* d, const uint8_t*) { return WuAudio_MuteChannel(d, &kPcm16x2, bad, 2); });
    const _wuwaveformat rec = Record(WUSAMPLE_PCM16, 2);
    add("mute by record",
        [=](uint8_t* d, const uint8_t*) { return WuAudio_MuteChannel(d, &rec, bad, 2); });
    add("multi-mono by type", [=](uint8_t* d, const uint8_t* s) {
      return WuAudio_CopyChannelToMultiMono2(d, 2, s, 2, bad, 2, WUSAMPLE_PCM16);
    });
    add("multi-mono", [=](uint8_t* d, const uint8_t* s) {
      return WuAudio_CopyChannelToMultiMono(d, &kPcm16x2, s, &kPcm16x2, bad, 2);
    });
    add("to all", [=](uint8_t* d, const uint8_t* s) {
      return WuAudio_CopyChannelToAll(d, s, &kPcm16x2, &kPcm16x2, bad, 2);
    });
    add("to all into mono", [=](uint8_t* d, const uint8_t* s) {
      return WuAudio_CopyChannelToAll(d, s, &kPcm16x2, &kPcm16x1, bad, 2);
    });
  }
  // The pair's second channel must exist as well.
  cases.push_back({"extract pair at the last channel",
                   [](uint8_t* d, const uint8_t* s) {
                     return WuAudio_ExtractChannelPair(d, 2, s, &kPcm16x3, 1);
                   },
                   Le16({1, 2, 3}), Le16({7, 7}), E_FAIL, Le16({7, 7})});
  cases.push_back(
      {"silence channel at the count",
       [](uint8_t* d, const uint8_t*) { return WuAudio_FillSilenceChannel(&kPcm16x3, d, 3, 1); },
       {},
       Le16({7, 7, 7}),
       E_FAIL,
       Le16({7, 7, 7})});
  RunCases(cases);
}

// ---- Filling from one sample -----------------------------------------------------------

// Two values of a sample type: -0.3 and +0.6 of full scale (24-bit ties for
// the 16-bit destination included through the odd low byte).
Bytes SampleOf(WUSAMPLETYPE type, int channels) {
  const double values[2] = {-0.3000019, 0.6000061};
  Bytes out;
  for (int c = 0; c < channels; ++c) {
    uint8_t buf[8];
    double v = values[c];
    WuAudio_GetCopyFunction2(type, WUSAMPLE_FLOAT64)(buf, &v, 1, 1.0f);
    out.insert(out.end(), buf, buf + WuAudio_BytesFromSampleType(type));
  }
  return out;
}

// A value of an integer or float type as a double in its own units.
double Value(const uint8_t* p, WUSAMPLETYPE type) {
  double d = 0;
  WuAudio_GetCopyFunction2(WUSAMPLE_FLOAT64, type)(&d, p, 1, 1.0f);
  if (type == WUSAMPLE_FLOAT32 || type == WUSAMPLE_FLOAT64) return d;
  return std::ldexp(
      d, static_cast<int>(type == WUSAMPLE_PCM24IN32 ? 23 : WuAudio_BitsFromSampleType(type) - 1));
}

TEST(WuAudioChannelsTest, FillWithSampleAgreesWithTheKernels) {
  const WUSAMPLETYPE sampleTypes[] = {WUSAMPLE_PCM16, WUSAMPLE_PCM24, WUSAMPLE_FLOAT32,
                                      WUSAMPLE_FLOAT64, WUSAMPLE_PCM24IN32};
  const WUSAMPLETYPE destTypes[] = {WUSAMPLE_PCM16,   WUSAMPLE_PCM24,   WUSAMPLE_PCM32,
                                    WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64, WUSAMPLE_PCM24IN32};
  constexpr LONG kFrames = 3;
  for (WUSAMPLETYPE st : sampleTypes) {
    for (int sc : {1, 2}) {
      const WAVEFORMATEX sf = Wfx(st, sc);
      const Bytes sampleBytes = SampleOf(st, sc);
      // Exactly the sample's bytes on the heap: reading past them is caught.
      auto sample = std::make_unique<uint8_t[]>(sampleBytes.size());
      std::memcpy(sample.get(), sampleBytes.data(), sampleBytes.size());
      for (WUSAMPLETYPE dt : destTypes) {
        for (int dc : {1, 2, 6}) {
          SCOPED_TRACE(std::to_string(st) + "x" + std::to_string(sc) + " into " +
                       std::to_string(dt) + "x" + std::to_string(dc));
          const WAVEFORMATEX df = Wfx(dt, dc);
          const size_t w = WuAudio_BytesFromSampleType(dt);
          const size_t bytes = size_t(kFrames) * df.nBlockAlign;
          auto out = std::make_unique<uint8_t[]>(bytes + 1);
          std::memset(out.get(), 0x5A, bytes + 1);
          ASSERT_EQ(WuAudio_FillWithSample(&df, out.get(), &sf, sample.get(), kFrames), S_OK);
          EXPECT_EQ(out[bytes], 0x5A);

          // What the kernel of the pair makes of L and R (mono: L = R).
          uint8_t lr[16];
          const size_t sw = WuAudio_BytesFromSampleType(st);
          WuAudio_GetCopyFunction2(dt, st)(lr, sample.get(), 1, 1.0f);
          WuAudio_GetCopyFunction2(dt, st)(lr + w, sample.get() + (sc == 2 ? sw : 0), 1, 1.0f);
          Bytes frame(df.nBlockAlign, 0);
          if (dc == 1) {
            const double avg = (Value(lr, dt) + Value(lr + w, dt)) / 2;
            if (dt == WUSAMPLE_FLOAT32 || dt == WUSAMPLE_FLOAT64) {
              double v = avg;
              WuAudio_GetCopyFunction2(dt, WUSAMPLE_FLOAT64)(frame.data(), &v, 1, 1.0f);
            } else {
              // The same average rounded half to even, widened to 32 bits
              // and narrowed exactly by the kernel.
              const int shift = dt == WUSAMPLE_PCM16 ? 16 : (dt == WUSAMPLE_PCM32 ? 0 : 8);
              const int32_t v = static_cast<int32_t>(
                  static_cast<uint32_t>(static_cast<int32_t>(std::nearbyint(avg))) << shift);
              WuAudio_GetCopyFunction2(dt == WUSAMPLE_PCM24IN32 ? WUSAMPLE_PCM24 : dt,
                                       WUSAMPLE_PCM32)(frame.data(), &v, 1, 1.0f);
              if (dt == WUSAMPLE_PCM24IN32) {
                const int32_t raw = static_cast<int32_t>(std::nearbyint(avg));
                std::memcpy(frame.data(), &raw, 4);
              }
            }
          } else {
            std::memcpy(frame.data(), lr, 2 * w);
          }
          for (LONG f = 0; f < kFrames; ++f)
            EXPECT_EQ(Bytes(out.get() + f * df.nBlockAlign, out.get() + (f + 1) * df.nBlockAlign),
                      frame)
                << "frame " << f;
        }
      }
    }
  }
}

TEST(WuAudioChannelsTest, FillWithSampleCopiesOnlyMatchingFramesAndSilencesOtherPairs) {
  const WAVEFORMATEX s16x2 = Wfx(WUSAMPLE_PCM16, 2);
  const Bytes stereo = Le16({100, -200});
  Bytes out(8, 0x5A);
  EXPECT_EQ(WuAudio_FillWithSample(&s16x2, out.data(), &s16x2, stereo.data(), 2), S_OK);
  EXPECT_EQ(out, Le16({100, -200, 100, -200}));
  // 8-bit samples are not converted: silence.
  const WAVEFORMATEX s8 = Wfx(WUSAMPLE_PCM8, 2);
  const Bytes eight = {0x10, 0x20};
  EXPECT_EQ(WuAudio_FillWithSample(&s16x2, out.data(), &s8, eight.data(), 2), S_OK);
  EXPECT_EQ(out, Bytes(8, 0));
  Bytes out8(4, 0x5A);
  EXPECT_EQ(WuAudio_FillWithSample(&s8, out8.data(), &s16x2, stereo.data(), 2), S_OK);
  EXPECT_EQ(out8, Bytes(4, 0x80));
  EXPECT_EQ(WuAudio_FillWithSample(&s8, out8.data(), &s16x2, stereo.data(), 0), S_OK);
}

}  // namespace
