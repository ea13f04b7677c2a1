// The pair table, the variant selection and the copy API.
#include <cstdint>

#include "audio/SampleTypeTable.h"
#include "audio/WuAudioCopyApi.h"
#include "foundation/WuSystem.h"

namespace {

using V = WuAudioCopyVariant;

constexpr int kTypeCount = wuaudio::kSampleTypeCount;
constexpr int kVariantCount = 5;  // kScalar .. kSse41

// Every kernel and variant by (destination, source, variant): the kernel
// table laid out for direct indexing. Constant once built.
struct PairTable {
  WuAudioCopyFunc fn[kTypeCount][kTypeCount][kVariantCount];
  bool hasVariants[kTypeCount][kTypeCount];  // a kernel beside the scalar one
  PairTable() : fn(), hasVariants() {
    int32_t count = 0;
    const WuAudioCopyKernel* rows = WuAudio_GetCopyKernelTable(&count);
    for (int32_t i = 0; i < count; ++i) {
      int d = wuaudio::SampleTypeIndex(rows[i].dest);
      int s = wuaudio::SampleTypeIndex(rows[i].src);
      int v = static_cast<int>(rows[i].variant);
      if (d < 0 || s < 0 || v < 0 || v >= kVariantCount) continue;
      fn[d][s][v] = rows[i].function;
      if (v != 0) hasVariants[d][s] = true;
    }
  }
};

const PairTable& Pairs() {
  static const PairTable table;
  return table;
}

// The class-indexed selection tables.
constexpr V kFromFloat32ByClass[7] = {V::kScalar,   V::kScalar, V::kX87Store, V::kX87Store,
                                      V::kX87Store, V::kSse,    V::kSse};
constexpr V kFromFloat64ByClass[7] = {V::kScalar,   V::kScalar,   V::kX87Store, V::kX87Store,
                                      V::kX87Store, V::kX87Store, V::kSse2};
constexpr V kFloat32FromPcm16ByClass[7] = {V::kScalar, V::kScalar, V::kScalar, V::kScalar,
                                           V::kScalar, V::kSse,    V::kSse2};

V ChooseVariant(WUSAMPLETYPE dest, WUSAMPLETYPE src, int32_t cpuClass, DWORD features) {
  const int c = cpuClass < 0 ? 0 : (cpuClass > 6 ? 6 : cpuClass);
  const bool intDest = dest == WUSAMPLE_PCM8 || dest == WUSAMPLE_PCM16 || dest == WUSAMPLE_PCM24;
  if (intDest && src == WUSAMPLE_FLOAT32) return kFromFloat32ByClass[c];
  if (intDest && src == WUSAMPLE_FLOAT64) return kFromFloat64ByClass[c];
  if (dest == WUSAMPLE_FLOAT32 && src == WUSAMPLE_PCM16) {
    if (features & WUCPU_SSE41) return V::kSse41;
    return kFloat32FromPcm16ByClass[c];
  }
  if ((dest == WUSAMPLE_FLOAT32 && src == WUSAMPLE_FLOAT64) ||
      (dest == WUSAMPLE_FLOAT64 && src == WUSAMPLE_FLOAT32)) {
    const DWORD both = WUCPU_SSE | WUCPU_SSE2;
    return (features & both) == both ? V::kSse2 : V::kScalar;
  }
  if (dest == WUSAMPLE_FLOAT64 && src == WUSAMPLE_PCM16)
    return (features & WUCPU_SSE2) ? V::kSse2 : V::kScalar;
  return V::kScalar;
}

WUSAMPLETYPE TypeOf(const WAVEFORMATEX* wfx) { return WuAudio_GetSampleType(wfx); }
WUSAMPLETYPE TypeOf(const _wuwaveformat* record) { return record->SampleType; }

// The steps shared by the four forms of WuAudio_Copy.
template <typename D, typename S>
HRESULT CopyFrames(const D* destFormat, void* dest, const S* srcFormat, const void* src,
                   LONG frames, float gain) {
  if (frames == 0) return S_OK;
  if (frames < 0) return E_INVALIDARG;
  WuAudioCopyFunc kernel = WuAudio_GetCopyFunction2(TypeOf(destFormat), TypeOf(srcFormat));
  if (kernel == nullptr) return E_NOTIMPL;
  // Formed in 64 bits: frames times channels may exceed what a kernel's
  // 32-bit count holds.
  const int64_t count = static_cast<int64_t>(frames) * srcFormat->nChannels;
  if (count > INT32_MAX) return E_INVALIDARG;
  kernel(dest, src, static_cast<int32_t>(count), gain);
  return S_OK;
}

}  // namespace

WuAudioCopyFunc WuAudio_SelectCopyFunction(WUSAMPLETYPE dest, WUSAMPLETYPE src, int32_t cpuClass,
                                           DWORD features) {
  const int d = wuaudio::SampleTypeIndex(dest);
  const int s = wuaudio::SampleTypeIndex(src);
  if (d < 0 || s < 0) return nullptr;
  const auto& fn = Pairs().fn[d][s];
  if (fn[0] == nullptr) return nullptr;
  WuAudioCopyFunc chosen = fn[static_cast<int>(ChooseVariant(dest, src, cpuClass, features))];
  return chosen != nullptr ? chosen : fn[0];
}

WuAudioCopyFunc WuAudio_GetCopyFunction2(WUSAMPLETYPE dest, WUSAMPLETYPE src) {
  const int d = wuaudio::SampleTypeIndex(dest);
  const int s = wuaudio::SampleTypeIndex(src);
  if (d < 0 || s < 0) return nullptr;
  // A pair with a single kernel needs no processor description.
  if (!Pairs().hasVariants[d][s]) return Pairs().fn[d][s][0];
  return WuAudio_SelectCopyFunction(
      dest, src, static_cast<int32_t>(WuGetCPUSupport(WUCPU_CLASS_MASK)), WuGetCPUSupport(0));
}

WuAudioCopyFunc WuAudio_GetCopyFunction(const WAVEFORMATEX* dest, const WAVEFORMATEX* src) {
  return WuAudio_GetCopyFunction2(TypeOf(dest), TypeOf(src));
}
WuAudioCopyFunc WuAudio_GetCopyFunction(const WAVEFORMATEX* dest, const _wuwaveformat* src) {
  return WuAudio_GetCopyFunction2(TypeOf(dest), TypeOf(src));
}
WuAudioCopyFunc WuAudio_GetCopyFunction(const _wuwaveformat* dest, const WAVEFORMATEX* src) {
  return WuAudio_GetCopyFunction2(TypeOf(dest), TypeOf(src));
}

HRESULT WuAudio_Copy(const WAVEFORMATEX* destFormat, void* dest, const WAVEFORMATEX* srcFormat,
                     const void* src, LONG frames, float gain) {
  return CopyFrames(destFormat, dest, srcFormat, src, frames, gain);
}
HRESULT WuAudio_Copy(const _wuwaveformat* destFormat, void* dest, const WAVEFORMATEX* srcFormat,
                     const void* src, LONG frames, float gain) {
  return CopyFrames(destFormat, dest, srcFormat, src, frames, gain);
}
HRESULT WuAudio_Copy(const WAVEFORMATEX* destFormat, void* dest, const _wuwaveformat* srcFormat,
                     const void* src, LONG frames, float gain) {
  return CopyFrames(destFormat, dest, srcFormat, src, frames, gain);
}
HRESULT WuAudio_Copy(const _wuwaveformat* destFormat, void* dest, const _wuwaveformat* srcFormat,
                     const void* src, LONG frames, float gain) {
  return CopyFrames(destFormat, dest, srcFormat, src, frames, gain);
}
