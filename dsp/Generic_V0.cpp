// Variant 0: portable C++ for any processor, one element per step and no
// intrinsics. It is also the variant every call uses before the processor
// has been detected.
#include <cstdint>
#include <cstring>

#include "dsp/AlignedAlloc.h"
#include "dsp/ArgChecks.h"
#include "dsp/FloatEnv.h"
#include "dsp/RandCore.h"
#include "dsp/Variants.h"

namespace wuperf::v0 {

namespace {

// The result of a negative input: a quiet NaN with the sign bit set.
constexpr uint32_t kNegativeRootBits = 0xFFC00000u;
// The sign bit of a double.
constexpr uint64_t kDoubleSignBit = 0x8000000000000000ull;

// Complex vectors are untyped and need not be 8-byte aligned, so doubles
// are moved through memcpy.
double LoadDouble(const uint8_t* p) {
  double d;
  std::memcpy(&d, p, sizeof d);
  return d;
}
void StoreDouble(uint8_t* p, double d) { std::memcpy(p, &d, sizeof d); }

}  // namespace

uint8_t* WuPerfsMalloc_V0(int32_t len) {
  if (len <= 0) return nullptr;
  return static_cast<uint8_t*>(WuPerfsAlignedMalloc(len));
}

void WuPerfsFree_V0(void* block) { WuPerfsAlignedFree(block); }

WuPerfStatus WuPerfsRandUniform_Direct_32f_V0(float* dst, int32_t len, float low, float high,
                                              uint32_t* seed) {
  if (!dst || !seed) return WuPerfErrNullPointer;
  if (len <= 0) return WuPerfErrSize;
  LagState lags = SeedLags(*seed);
  RandRange range = MakeRandRange(low, high);
  uint32_t w = kRandFirstWord;
  uint32_t x = 0;
  for (int32_t k = 0; k < len; ++k) {
    x = NextLag(&lags);
    w = NextWord(w);
    int32_t u = static_cast<int32_t>(x + w);
    dst[k] = static_cast<float>(range.mid + static_cast<double>(u) * range.scale);
  }
  *seed = x;
  return WuPerfOk;
}

// Every element exactly: the double root of the input, rounded to single,
// which is the correctly rounded single root. Anything that does not compare
// >= 0, NaN included, gives the negative-input NaN and the warning.
WuPerfStatus WuPerfsSqrt_32f_V0(const float* src, float* dst, int32_t len) {
  WuPerfStatus status = CheckVectorArgs(src, dst, len);
  if (status != WuPerfOk) return status;
  DWORD saved = EnterExactFloatEnv();
  bool negative = false;
  for (int32_t i = 0; i < len; ++i) {
    float x = src[i];
    if (x >= 0.0f) {
      dst[i] = static_cast<float>(__builtin_sqrt(static_cast<double>(x)));
    } else {
      std::memcpy(&dst[i], &kNegativeRootBits, sizeof(float));
      negative = true;
    }
  }
  LeaveExactFloatEnv(saved);
  return negative ? WuPerfWarnSqrtNegative : WuPerfOk;
}

// Each product is rounded to double before the sum or difference, as in
// every other variant, so all variants give the same bits.
WuPerfStatus WuPerfsMul_64fc_I_V0(const void* src, void* srcDst, int32_t len) {
  WuPerfStatus status = CheckVectorArgs(src, srcDst, len);
  if (status != WuPerfOk) return status;
  const uint8_t* a = static_cast<const uint8_t*>(src);
  uint8_t* b = static_cast<uint8_t*>(srcDst);
  for (int32_t i = 0; i < len; ++i, a += 16, b += 16) {
    double are = LoadDouble(a), aim = LoadDouble(a + 8);
    double bre = LoadDouble(b), bim = LoadDouble(b + 8);
    double re = are * bre - aim * bim;
    double im = are * bim + aim * bre;
    StoreDouble(b, re);
    StoreDouble(b + 8, im);
  }
  return WuPerfOk;
}

// Flips the sign bit of each imaginary part as an integer, so every other
// bit (NaN payloads, signalling NaNs included) stays as it was.
WuPerfStatus WuPerfsConj_64fc_I_V0(void* srcDst, int32_t len) {
  WuPerfStatus status = CheckVectorArgs(srcDst, len);
  if (status != WuPerfOk) return status;
  uint8_t* p = static_cast<uint8_t*>(srcDst) + 8;
  for (int32_t i = 0; i < len; ++i, p += 16) {
    uint64_t bits;
    std::memcpy(&bits, p, sizeof bits);
    bits ^= kDoubleSignBit;
    std::memcpy(p, &bits, sizeof bits);
  }
  return WuPerfOk;
}

}  // namespace wuperf::v0
