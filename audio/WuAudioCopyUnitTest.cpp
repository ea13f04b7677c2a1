// The round-trip self test of the integer/float kernels.
#include "audio/WuAudioCopyUnitTest.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "audio/SampleIo.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuSystem.h"
#include "foundation/WuUICursor.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/memory.h"

namespace {

using V = WuAudioCopyVariant;

// A node as the table names it: types and the variants of its kernels.
struct NodeSpec {
  WUSAMPLETYPE intType;    // integer sample type
  WUSAMPLETYPE floatType;  // float sample type
  V toFloat;               // variant of (float from integer)
  V fromFloat;             // variant of (integer from float)
  int32_t minClass;        // minimum CPU class
  DWORD feature;           // feature bit required as well, or 0
};

constexpr WUSAMPLETYPE k8 = WUSAMPLE_PCM8, k8S = WUSAMPLE_PCM8S, k16 = WUSAMPLE_PCM16,
                       k16BE = WUSAMPLE_PCM16BE, k24 = WUSAMPLE_PCM24, k24BE = WUSAMPLE_PCM24BE,
                       k24In32 = WUSAMPLE_PCM24IN32, kF32 = WUSAMPLE_FLOAT32,
                       kF64 = WUSAMPLE_FLOAT64;

constexpr NodeSpec kNodes[kWuAudioCopyTestNodeCount] = {
    {k8, kF32, V::kScalar, V::kScalar, 0, 0},       // 0
    {k8S, kF32, V::kScalar, V::kScalar, 0, 0},      // 1
    {k16, kF32, V::kScalar, V::kScalar, 0, 0},      // 2
    {k16BE, kF32, V::kScalar, V::kScalar, 0, 0},    // 3
    {k24, kF32, V::kScalar, V::kScalar, 0, 0},      // 4
    {k24BE, kF32, V::kScalar, V::kScalar, 0, 0},    // 5
    {k24In32, kF32, V::kScalar, V::kScalar, 0, 0},  // 6
    {k8, kF64, V::kScalar, V::kScalar, 0, 0},       // 7
    {k8S, kF64, V::kScalar, V::kScalar, 0, 0},      // 8
    {k16, kF64, V::kScalar, V::kScalar, 0, 0},      // 9
    {k16BE, kF64, V::kScalar, V::kScalar, 0, 0},    // 10
    {k24, kF64, V::kScalar, V::kScalar, 0, 0},      // 11
    {k24BE, kF64, V::kScalar, V::kScalar, 0, 0},    // 12
    {k24In32, kF64, V::kScalar, V::kScalar, 0, 0},  // 13
    {k8, kF32, V::kScalar, V::kX87Store, 2, 0},     // 14
    {k16, kF32, V::kScalar, V::kX87Store, 2, 0},    // 15
    {k24, kF32, V::kScalar, V::kX87Store, 2, 0},    // 16
    {k8, kF64, V::kScalar, V::kX87Store, 2, 0},     // 17
    {k16, kF64, V::kScalar, V::kX87Store, 2, 0},    // 18
    {k24, kF64, V::kScalar, V::kX87Store, 2, 0},    // 19
    {k8, kF32, V::kScalar, V::kSse, 5, 0},          // 20
    {k16, kF32, V::kSse, V::kSse, 5, 0},            // 21
    {k24, kF32, V::kScalar, V::kSse, 5, 0},         // 22
    {k16, kF32, V::kSse2, V::kSse, 6, 0},           // 23
    {k8, kF64, V::kScalar, V::kSse2, 6, 0},         // 24
    {k16, kF64, V::kSse2, V::kSse2, 6, 0},          // 25
    // Gated by the SSE4.1 bit, the instruction set of its to-float kernel.
    {k16, kF32, V::kSse41, V::kSse, 0, WUCPU_SSE41},  // 26
};

// Test seams: the from-float overrides and the nodes of the last run.
std::atomic<WuAudioCopyFunc> g_fromFloatOverride[kWuAudioCopyTestNodeCount];
std::atomic<DWORD> g_lastNodesRun{0};

// Bits of an integer type as the test counts them (24 for 24-in-32).
UINT TestBits(WUSAMPLETYPE type) {
  return type == WUSAMPLE_PCM24IN32 ? 24 : WuAudio_BitsFromSampleType(type);
}

// The signed range of an integer type's bits.
void SignedRange(UINT bits, int64_t* lo, int64_t* hi) {
  *lo = -(int64_t{1} << (bits - 1));
  *hi = (int64_t{1} << (bits - 1)) - 1;
}

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// x truncated toward zero, moved one step away from zero when the dropped
// fraction reaches `half` (inclusive) or exceeds it.
int64_t RoundAway(double x, bool inclusive) {
  double t = std::trunc(x);
  double f = std::fabs(x - t);
  bool move = inclusive ? f >= 0.5 : f > 0.5;
  if (move) t += x < 0 ? -1.0 : 1.0;
  return static_cast<int64_t>(t);
}

// Three zero-filled, locked global blocks, released on every path.
class Buffers {
 public:
  ~Buffers() {
    for (HGLOBAL& h : handles_) {
      if (h != nullptr) {
        GlobalUnlock(h);
        GlobalFree(h);
      }
    }
  }
  // The locked pointer of a new block, or null.
  void* Add(SIZE_T bytes) {
    for (int i = 0; i < 3; ++i) {
      if (handles_[i] != nullptr) continue;
      handles_[i] = GlobalAlloc(GHND, bytes);
      if (handles_[i] == nullptr) return nullptr;
      void* p = GlobalLock(handles_[i]);
      if (p == nullptr) {
        GlobalFree(handles_[i]);
        handles_[i] = nullptr;
      }
      return p;
    }
    return nullptr;
  }

 private:
  HGLOBAL handles_[3] = {};  // reference, result, floats
};

// Runs one node. S_OK, E_OUTOFMEMORY (stop the test) or E_UNEXPECTED (the
// ramp could not be written).
HRESULT RunNode(int32_t i, const WuAudioCopyTestNode& node) {
  const UINT bits = TestBits(node.intType);
  const UINT intBytes = WuAudio_BytesFromSampleType(node.intType);
  const UINT floatBytes = WuAudio_BytesFromSampleType(node.floatType);
  const DWORD total =
      bits < 32 ? static_cast<DWORD>(std::pow(2.0, static_cast<double>(bits))) : 0xFFFFFFFFu;
  const DWORD chunk = total < 65536 ? total : 65536;

  Buffers blocks;
  auto* reference = static_cast<unsigned char*>(blocks.Add(SIZE_T{chunk} * intBytes));
  auto* result =
      reference ? static_cast<unsigned char*>(blocks.Add(SIZE_T{chunk} * intBytes)) : nullptr;
  void* floats = result ? blocks.Add(SIZE_T{chunk} * floatBytes) : nullptr;
  if (floats == nullptr) return E_OUTOFMEMORY;

  for (DWORD p = 0; p < total;) {
    const LONG n = static_cast<LONG>(total - p < chunk ? total - p : chunk);
    if (WuAudioCopy_UnitTest_FillRamp(node.intType, p, reference, n) == 0) return E_UNEXPECTED;
    node.toFloat(floats, reference, n, 1.0f);
    WuAudioCopy_UnitTest_Perturb(reference, node.intType, floats, node.floatType, n, 0.5);
    node.fromFloat(result, floats, n, 1.0f);
    if (std::memcmp(reference, result, SIZE_T(n) * intBytes) != 0) {
      WuErrorHandler_DetailsAddString(E_UNEXPECTED, u"WuAudioCopy_UnitTest node[%d] failed.", i);
      break;
    }
    if (total - p <= static_cast<DWORD>(n)) break;
    p += static_cast<DWORD>(n);
  }
  return S_OK;
}

}  // namespace

void WuAudioCopy_UnitTest_GetNode(int32_t i, WuAudioCopyTestNode* out) {
  const NodeSpec& spec = kNodes[i];
  out->intType = spec.intType;
  out->floatType = spec.floatType;
  out->toFloat = WuAudio_FindCopyKernel(spec.floatType, spec.intType, spec.toFloat);
  WuAudioCopyFunc override = g_fromFloatOverride[i].load();
  out->fromFloat = override != nullptr
                       ? override
                       : WuAudio_FindCopyKernel(spec.intType, spec.floatType, spec.fromFloat);
  out->minClass = spec.minClass;
  out->feature = spec.feature;
}

DWORD WuAudioCopy_UnitTest_LastNodesRun() { return g_lastNodesRun.load(); }

void WuAudioCopy_UnitTest_SetFromFloatForTesting(int32_t node, WuAudioCopyFunc kernel) {
  if (node >= 0 && node < kWuAudioCopyTestNodeCount) g_fromFloatOverride[node].store(kernel);
}

LONG WuAudioCopy_UnitTest_FillRamp(WUSAMPLETYPE type, DWORD start, void* buffer, LONG count) {
  // The type the values are first written in, and the pair of the in-place
  // kernel that turns them into the type's own encoding.
  static constexpr struct {
    WUSAMPLETYPE type, written, encodeDest, encodeSrc;
  } kRamps[] = {
      {WUSAMPLE_PCM8S, WUSAMPLE_PCM8S, WUSAMPLE_NONE, WUSAMPLE_NONE},
      {WUSAMPLE_PCM16, WUSAMPLE_PCM16, WUSAMPLE_NONE, WUSAMPLE_NONE},
      {WUSAMPLE_PCM24, WUSAMPLE_PCM24, WUSAMPLE_NONE, WUSAMPLE_NONE},
      {WUSAMPLE_PCM32, WUSAMPLE_PCM32, WUSAMPLE_NONE, WUSAMPLE_NONE},
      {WUSAMPLE_PCM24IN32, WUSAMPLE_PCM24IN32, WUSAMPLE_NONE, WUSAMPLE_NONE},
      {WUSAMPLE_PCM8, WUSAMPLE_PCM8S, WUSAMPLE_PCM8, WUSAMPLE_PCM8S},
      {WUSAMPLE_PCM16BE, WUSAMPLE_PCM16, WUSAMPLE_PCM16, WUSAMPLE_PCM16BE},
      {WUSAMPLE_PCM24BE, WUSAMPLE_PCM24, WUSAMPLE_PCM24BE, WUSAMPLE_PCM24},
      {WUSAMPLE_PCM32BE, WUSAMPLE_PCM32, WUSAMPLE_PCM32, WUSAMPLE_PCM32BE},
  };
  const auto* ramp = std::find_if(std::begin(kRamps), std::end(kRamps),
                                  [type](const auto& r) { return r.type == type; });
  if (ramp == std::end(kRamps)) return 0;
  const WUSAMPLETYPE written = ramp->written;
  const WuAudioCopyFunc encode =
      ramp->encodeDest == WUSAMPLE_NONE
          ? nullptr
          : WuAudio_FindCopyKernel(ramp->encodeDest, ramp->encodeSrc, V::kScalar);
  if (count <= 0) return count < 0 ? 0 : count;
  const UINT bits = TestBits(type);
  const UINT bytes = WuAudio_BytesFromSampleType(written);
  int64_t lo = 0;
  int64_t hi = 0;
  SignedRange(bits, &lo, &hi);
  auto* out = static_cast<unsigned char*>(buffer);
  if (bits == 8) {
    const int8_t first = static_cast<int8_t>(Clamp(lo + start, lo, hi));
    for (LONG k = 0; k < count; ++k)
      out[k] = static_cast<unsigned char>(static_cast<uint8_t>(first) + static_cast<uint8_t>(k));
  } else {
    for (LONG k = 0; k < count; ++k)
      wuaudio::WriteIntSample(out + SIZE_T(k) * bytes, written,
                              static_cast<int32_t>(Clamp(lo + start + k, lo, hi)));
  }
  if (encode != nullptr) encode(buffer, buffer, count, 1.0f);
  return count;
}

void WuAudioCopy_UnitTest_Perturb(void* intBuffer, WUSAMPLETYPE intType, void* floatBuffer,
                                  WUSAMPLETYPE floatType, LONG count, double x) {
  const UINT bits = TestBits(intType);
  const double lsb = 2.0 / (bits >= 32 ? 4294967295.0 : std::pow(2.0, static_cast<double>(bits)));
  if (floatType == WUSAMPLE_FLOAT32 || floatType == WUSAMPLE_FLOAT64) {
    auto* f = static_cast<unsigned char*>(floatBuffer);
    for (LONG k = 0; k < count; ++k) {
      if (floatType == WUSAMPLE_FLOAT32) {
        float v;
        std::memcpy(&v, f + SIZE_T(k) * 4, 4);
        double w = std::fmin(1.0, std::fmax(-1.0, v + x * lsb));
        v = static_cast<float>(w);
        std::memcpy(f + SIZE_T(k) * 4, &v, 4);
      } else {
        double v;
        std::memcpy(&v, f + SIZE_T(k) * 8, 8);
        v = std::fmin(1.0, std::fmax(-1.0, v + x * lsb));
        std::memcpy(f + SIZE_T(k) * 8, &v, 8);
      }
    }
  }
  const UINT bytes = WuAudio_BytesFromSampleType(intType);
  if (bits == 0 || bytes == 0 || floatType == intType) return;
  const int64_t upper = RoundAway(x, true);
  const int64_t lower = RoundAway(x, false);
  int64_t lo = 0;
  int64_t hi = 0;
  SignedRange(bits, &lo, &hi);
  auto* p = static_cast<unsigned char*>(intBuffer);
  for (LONG k = 0; k < count; ++k) {
    unsigned char* s = p + SIZE_T(k) * bytes;
    const int64_t v = wuaudio::ReadIntSample(s, intType);
    wuaudio::WriteIntSample(s, intType,
                            static_cast<int32_t>(Clamp(v + ((v & 1) ? upper : lower), lo, hi)));
  }
}

HRESULT WuAudioCopy_UnitTest(HWND owner) {
  HCURSOR previous = SetCursor(WuGetUICursor(OCR_WAIT));
  WuErrorHandler_DetailsInit();
  const int32_t cpuClass = static_cast<int32_t>(WuGetCPUSupport(WUCPU_CLASS_MASK));
  HRESULT hr = 1;
  DWORD ran = 0;
  for (int32_t i = 0; i < kWuAudioCopyTestNodeCount; ++i) {
    WuAudioCopyTestNode node;
    WuAudioCopy_UnitTest_GetNode(i, &node);
    if (cpuClass < node.minClass) continue;
    if (node.feature != 0 && WuGetCPUSupport(node.feature) == 0) continue;
    ran |= DWORD{1} << i;
    HRESULT nodeResult = RunNode(i, node);
    if (nodeResult == E_OUTOFMEMORY) {
      hr = E_OUTOFMEMORY;
      break;
    }
    if (FAILED(nodeResult)) hr = nodeResult;
  }
  g_lastNodesRun.store(ran);
  SetCursor(previous);

  if (hr >= 0) {
    hr = WuErrorHandler_GetLastError();
    if (hr >= 0) return hr;
  }
  if (owner == nullptr) return hr;
  // The text goes in as the box's context sentence: as a detail it would
  // have no place in the default context sentence and never be shown. The
  // failing nodes' lines ride along as the box's details.
  WuErrorHandler_MsgBox(owner, MB_ICONEXCLAMATION, u"INTERNAL: AudioCopy unit test failed!", hr,
                        nullptr, FALSE);
  return S_OK;
}
