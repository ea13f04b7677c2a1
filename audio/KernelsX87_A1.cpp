// x87 store variants of the integer-from-float pairs: the product is formed
// in the x87 unit, clamped there and stored as a 32-bit integer in the
// round-to-nearest mode that WuAudio_SetFpuRoundNearest sets for the loop.
#include <cstring>

#include "audio/KernelVariants.h"
#include "audio/SampleCodec.h"
#include "platform/kernel/cpu.h"

namespace wuaudio {
namespace a1 {

namespace {

// The x87 part of one sample, after the load of v: v * factor, NaN as 0,
// clamped to [lo, hi], stored as an integer rounded in the x87 rounding
// mode. Leaves the x87 stack empty.
#define WU_X87_SCALE_CLAMP_STORE   \
  "fmull %[k]\n\t"                \
  "fldz\n\t"                      \
  "fxch %%st(1)\n\t"              \
  "fucomi %%st(0), %%st\n\t"      \
  "fcmovu %%st(1), %%st\n\t"      \
  "fstp %%st(1)\n\t"              \
  "fldl %[hi]\n\t"                \
  "fxch %%st(1)\n\t"              \
  "fucomi %%st(1), %%st\n\t"      \
  "fcmovnbe %%st(1), %%st\n\t"    \
  "fstp %%st(1)\n\t"              \
  "fldl %[lo]\n\t"                \
  "fxch %%st(1)\n\t"              \
  "fucomi %%st(1), %%st\n\t"      \
  "fcmovb %%st(1), %%st\n\t"      \
  "fstp %%st(1)\n\t"              \
  "fistpl %[out]\n\t"

inline int32_t X87Scale(float v, const double& factor, const double& lo, const double& hi) {
  int32_t out;
  __asm__ volatile("flds %[v]\n\t" WU_X87_SCALE_CLAMP_STORE
                   : [out] "=m"(out)
                   : [v] "m"(v), [k] "m"(factor), [lo] "m"(lo), [hi] "m"(hi)
                   : "cc", "st", "st(1)");
  return out;
}

inline int32_t X87Scale(double v, const double& factor, const double& lo, const double& hi) {
  int32_t out;
  __asm__ volatile("fldl %[v]\n\t" WU_X87_SCALE_CLAMP_STORE
                   : [out] "=m"(out)
                   : [v] "m"(v), [k] "m"(factor), [lo] "m"(lo), [hi] "m"(hi)
                   : "cc", "st", "st(1)");
  return out;
}

#undef WU_X87_SCALE_CLAMP_STORE

// The loop: the factor gain * F formed once in double (also for gain 1.0),
// an odd first sample, then two samples per step, all under round to
// nearest; the caller's control word is reloaded after the loop.
template <WUSAMPLETYPE D, typename Source>
void X87Store(void* dest, const void* src, int32_t count, float gain) {
  if (count <= 0) return;
  auto* d = static_cast<unsigned char*>(dest);
  const auto* s = static_cast<const unsigned char*>(src);
  constexpr double kF = FullScale(D);
  constexpr size_t kDb = BytesOf(D);
  const double factor = static_cast<double>(gain) * kF;
  const double lo = -kF;
  const double hi = kF - 1.0;
  WORD saved = WuAudio_SetFpuRoundNearest(0);
  auto one = [&](int32_t i) {
    Source v;
    std::memcpy(&v, s + static_cast<size_t>(i) * sizeof(Source), sizeof(Source));
    StoreInt<D>(d + static_cast<size_t>(i) * kDb, X87Scale(v, factor, lo, hi));
  };
  int32_t i = 0;
  if (count & 1) one(i++);
  for (; i < count; i += 2) {
    one(i);
    one(i + 1);
  }
  platform::SetX87ControlWord(saved);
}

}  // namespace

void Pcm8FromFloat32_X87(void* dest, const void* src, int32_t count, float gain) {
  X87Store<WUSAMPLE_PCM8, float>(dest, src, count, gain);
}
void Pcm16FromFloat32_X87(void* dest, const void* src, int32_t count, float gain) {
  X87Store<WUSAMPLE_PCM16, float>(dest, src, count, gain);
}
void Pcm24FromFloat32_X87(void* dest, const void* src, int32_t count, float gain) {
  X87Store<WUSAMPLE_PCM24, float>(dest, src, count, gain);
}
void Pcm8FromFloat64_X87(void* dest, const void* src, int32_t count, float gain) {
  X87Store<WUSAMPLE_PCM8, double>(dest, src, count, gain);
}
void Pcm16FromFloat64_X87(void* dest, const void* src, int32_t count, float gain) {
  X87Store<WUSAMPLE_PCM16, double>(dest, src, count, gain);
}
void Pcm24FromFloat64_X87(void* dest, const void* src, int32_t count, float gain) {
  X87Store<WUSAMPLE_PCM24, double>(dest, src, count, gain);
}

}  // namespace a1
}  // namespace wuaudio
