// The real double-precision FFT's set-up entries, size rule, building and
// forward driver, generic over one variant's members (struct Ops below).
// Each variant file instantiates them with WU_DEFINE_FFT_REAL_SETUP.
//
// Ops provides:
//   kVariant, kDirectLimit (T: largest half-order without split), kPairTables
//   (variant 0: pair bit-reversal table, six-value radix records, nothing at
//   half-order 5), Malloc, Free, Zero8u, BaseTwiddle, BitRevTable,
//   RadixTwiddle, InitLarge, GetSizesLarge, FwdRealTwiddle, InvRealTwiddle,
//   HalfTransform (the half-size complex transform of one driver call, with
//   the scaling), PostPass, PrePass and InvHalfTransform (the inverse
//   half-size transform in place on the destination, with the scaling).
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "dsp/Dispatch.h"
#include "dsp/FftReal.h"
#include "dsp/FftContext.h"
#include "dsp/FftTables.h"
#include "dsp/SineTables.h"

namespace wuperf {
namespace {

// The size rule's fixed parts with a head of its natural size: a context of
// orders 0..5 is the head and 32 bytes of alignment; larger orders add the
// head rounded to 32 and the same slack.
constexpr int32_t kRealSmallSpecBytes = static_cast<int32_t>(sizeof(FftSpecReal)) + 32;
constexpr int64_t kRealHeadReserve = ((static_cast<int64_t>(sizeof(FftSpecReal)) + 31) & ~31) + 32;
// Largest N a real context accepts.
constexpr int64_t kRealMaxPoints = 134217727;
constexpr int kRealMaxOrder = 30;

inline bool RealFlagValid(int32_t flag) { return flag == 1 || flag == 2 || flag == 4 || flag == 8; }

template <class Ops>
WuPerfStatus RealGetSizes(int32_t order, int32_t flag, int32_t* specBytes, int32_t* initBytes,
                          int32_t* workBytes) {
  if (order < 0 || order > kRealMaxOrder) return WuPerfErrFFTOrder;
  if (specBytes == nullptr || initBytes == nullptr || workBytes == nullptr)
    return WuPerfErrNullPointer;
  if (!RealFlagValid(flag)) return WuPerfErrFFTFlag;
  if (Pow2(order) > kRealMaxPoints) return WuPerfErrFFTOrder;
  if (order <= 5) {
    *specBytes = kRealSmallSpecBytes, *initBytes = 0, *workBytes = 0;
    return WuPerfOk;
  }
  const int h = order - 1;
  const int64_t m = Pow2(h), n = Pow2(order);
  int64_t spec = 0, init = 0, work = 0;
  bool bitRev = true;
  if (Ops::kPairTables && h == 5) {
    bitRev = false;
  } else if (h <= Ops::kDirectLimit) {
    spec = Round32(16 * m + 16);
    work = Ops::kPairTables ? 0 : Round32(16 * m);
  } else {
    int32_t s = 0, i = 0, w = 0;
    Ops::GetSizesLarge(h, &s, &i, &w);
    spec = s, init = i, work = w;
  }
  if (bitRev) spec += Round32(m + 4);
  spec += 2 * Round32(16 * n / 4) + kRealHeadReserve;
  init = order <= 10 ? 0 : Round32(8 * (n / 4 + 1)) + init + 32;
  if (work > 0) work += 32;
  StoreSizes(spec, init, work, specBytes, initBytes, workBytes);
  return WuPerfOk;
}

template <class Ops>
WuPerfStatus RealInitSpec(FftSpecReal** out, int32_t order, int32_t flag, WuPerfHintAlgorithm hint,
                          uint8_t* block, uint8_t* initBuffer) {
  if (out == nullptr) return WuPerfErrNullPointer;
  if (order < 0 || order > kRealMaxOrder || Pow2(order) > kRealMaxPoints) return WuPerfErrFFTOrder;
  if (block == nullptr) return WuPerfErrNullPointer;
  FftSpecReal* spec = reinterpret_cast<FftSpecReal*>(AlignUp32(block));
  Ops::Zero8u(spec, static_cast<int32_t>(sizeof(FftSpecReal)));
  spec->ownsBlock = 0;
  spec->order = order;
  spec->hint = static_cast<int32_t>(hint);
  spec->variant = Ops::kVariant;
  const double n = static_cast<double>(Pow2(order));
  switch (flag) {
    case 1: spec->scaleForward = 1, spec->scaleFactor = 1.0 / n; break;
    case 2: spec->scaleInverse = 1, spec->scaleFactor = 1.0 / n; break;
    case 4: spec->scaleForward = spec->scaleInverse = 1, spec->scaleFactor = 1.0 / std::sqrt(n); break;
    case 8: break;
    default: spec->contextId = 0; return WuPerfErrFFTFlag;
  }
  spec->contextId = kFftContextReal64f;
  if (order <= 5) {
    spec->workSize = 0;
    *out = spec;
    return WuPerfOk;
  }
  const double* base;
  int b;
  uint8_t* scratch = nullptr;
  if (order <= kSineTable1024Order) {
    base = kSineTable1024d;
    b = kSineTable1024Order;
  } else {
    if (initBuffer == nullptr) return WuPerfErrNullPointer;
    double* table = AlignUp32(reinterpret_cast<double*>(initBuffer));
    scratch = reinterpret_cast<uint8_t*>(Ops::BaseTwiddle(order, table));
    base = table;
    b = order;
  }
  const int h = order - 1;
  const int64_t m = Pow2(h);
  uint8_t* afterHead = reinterpret_cast<uint8_t*>(spec + 1);
  uint8_t* end;
  if (Ops::kPairTables && h == 5) {
    spec->workSize = 0;
    end = afterHead;
  } else if (h <= Ops::kDirectLimit) {
    spec->bitRevTable = afterHead;
    uint32_t* rev = Ops::BitRevTable(h, reinterpret_cast<uint32_t*>(afterHead));
    spec->twiddleTable = rev;
    end = reinterpret_cast<uint8_t*>(
        Ops::RadixTwiddle(h, base, b, reinterpret_cast<double*>(rev)));
    spec->workSize = Ops::kPairTables ? 0 : static_cast<int32_t>(Round32(16 * m));
  } else {
    spec->bitRevTable = afterHead;
    end = Ops::InitLarge(spec, h, base, b, AlignUp32(afterHead + Round32(m + 4)), scratch);
  }
  double* fwd = reinterpret_cast<double*>(AlignUp32(end));
  spec->forwardRealTwiddle = fwd;
  double* inv = Ops::FwdRealTwiddle(order, base, b, fwd);
  spec->inverseRealTwiddle = inv;
  Ops::InvRealTwiddle(order, base, b, inv);
  *out = spec;
  return WuPerfOk;
}

template <class Ops>
WuPerfStatus RealInitAlloc(void** out, int32_t order, int32_t flag, WuPerfHintAlgorithm hint) {
  if (out == nullptr) return WuPerfErrNullPointer;
  int32_t specBytes = 0, initBytes = 0, workBytes = 0;
  WuPerfStatus st = RealGetSizes<Ops>(order, flag, &specBytes, &initBytes, &workBytes);
  if (st != WuPerfOk) return st;
  uint8_t* block = Ops::Malloc(specBytes);
  if (block == nullptr) return WuPerfErrNoMemory;
  uint8_t* init = nullptr;
  if (initBytes > 0) {
    init = Ops::Malloc(initBytes);
    if (init == nullptr) {
      Ops::Free(block);
      return WuPerfErrNoMemory;
    }
  }
  FftSpecReal* spec = nullptr;
  st = RealInitSpec<Ops>(&spec, order, flag, hint, block, init);
  if (init != nullptr) Ops::Free(init);
  if (st != WuPerfOk) {
    Ops::Free(block);
    return st;
  }
  spec->ownsBlock = 1;
  *out = spec;
  return WuPerfOk;
}

// The recorded variant of a real context, or -1 when it names none.
inline int RecordedVariant(const FftSpecReal* spec) {
  return spec->variant >= 0 && spec->variant < kVariantCount ? spec->variant : -1;
}

template <class Ops>
WuPerfStatus RealGetBufSize(void* handle, int32_t* size) {
  if (size == nullptr || handle == nullptr) return WuPerfErrNullPointer;
  const FftSpecReal* spec = static_cast<const FftSpecReal*>(handle);
  if (spec->contextId != kFftContextReal64f) return WuPerfErrContextKind;
  const int v = RecordedVariant(spec);
  if (v < 0) return WuPerfErrContextKind;
  if (v != Ops::kVariant) return kFFTGetBufSizeRTable[v](handle, size);
  *size = spec->workSize > 0 ? spec->workSize + 32 : 0;
  return WuPerfOk;
}

template <class Ops>
WuPerfStatus RealFree(void* handle) {
  if (handle == nullptr) return WuPerfErrNullPointer;
  FftSpecReal* spec = static_cast<FftSpecReal*>(handle);
  if (spec->contextId != kFftContextReal64f) return WuPerfErrContextKind;
  const int v = RecordedVariant(spec);
  if (v < 0) return WuPerfErrContextKind;
  if (v != Ops::kVariant) return kFFTFreeRTable[v](handle);
  spec->contextId = 0;
  if (spec->ownsBlock == 1) Ops::Free(spec);
  return WuPerfOk;
}

// The drivers of both directions. The context is read only; a work buffer
// the driver allocates lives for the call. Orders 0..5 run the direction's
// fixed kernel; above, the forward runs the half-size transform, the fold
// and the post-pass, the inverse the unfold, the pre-pass and the inverse
// half-size transform.
template <class Ops, bool kInverse>
WuPerfStatus RealDriver(const double* src, double* dst, const void* handle, uint8_t* buf) {
  if (handle == nullptr) return WuPerfErrNullPointer;
  const FftSpecReal* spec = static_cast<const FftSpecReal*>(handle);
  if (spec->contextId != kFftContextReal64f) return WuPerfErrContextKind;
  if (src == nullptr || dst == nullptr) return WuPerfErrNullPointer;
  const int order = spec->order;
  const FixedKernelSlot* row = (kInverse ? WuPerfFFTInv64f_FixedKernels
                                         : WuPerfFFTFwd64f_FixedKernels)[FixedKernelRow(Ops::kVariant)];
  const bool scaled = kInverse ? spec->scaleInverse != 0 : spec->scaleForward != 0;
  if (order <= 5) {
    if (scaled)
      row[6 + order].scaled(src, dst, spec->scaleFactor);
    else
      row[order].plain(src, dst);
    return WuPerfOk;
  }
  uint8_t* work = nullptr;
  uint8_t* own = nullptr;
  if (spec->workSize > 0) {
    if (buf != nullptr) {
      work = AlignUp32(buf);
    } else {
      own = Ops::Malloc(spec->workSize);
      if (own == nullptr) return WuPerfErrNoMemory;
      work = own;
    }
  }
  const int h = order - 1;
  const int32_t m = static_cast<int32_t>(Pow2(h));
  if (kInverse) {
    const double a = src[0], b = src[1];
    dst[0] = a + b;
    dst[1] = a - b;
    Ops::PrePass(src, dst, m, -1, static_cast<const double*>(spec->inverseRealTwiddle));
    Ops::InvHalfTransform(spec, dst, h, work);
  } else {
    Ops::HalfTransform(spec, src, dst, h, work);
    const double a = dst[0], b = dst[1];
    dst[0] = b + a;
    dst[1] = a - b;
    Ops::PostPass(dst, m, 1, static_cast<const double*>(spec->forwardRealTwiddle));
  }
  if (own != nullptr) Ops::Free(own);
  return WuPerfOk;
}

// The exported in-place entries: checks, then the recorded variant's entry
// when the context is another variant's, else the driver in place.
template <class Ops, bool kInverse>
WuPerfStatus RealInPlace(double* data, const void* handle, uint8_t* buf) {
  if (handle == nullptr) return WuPerfErrNullPointer;
  const FftSpecReal* spec = static_cast<const FftSpecReal*>(handle);
  if (spec->contextId != kFftContextReal64f) return WuPerfErrContextKind;
  if (data == nullptr) return WuPerfErrNullPointer;
  const int v = RecordedVariant(spec);
  if (v < 0) return WuPerfErrContextKind;
  if (v != Ops::kVariant) return (kInverse ? kFFTInvRTable : kFFTFwdRTable)[v](data, handle, buf);
  return RealDriver<Ops, kInverse>(data, data, handle, buf);
}

}  // namespace
}  // namespace wuperf

// The set-up entries, size rule, building and both drivers of variant V.
#define WU_DEFINE_FFT_REAL_SETUP(V, OPS)                                                        \
  WuPerfStatus WuPerfFFT64f_GetSizes_##V(int32_t order, int32_t flag, WuPerfHintAlgorithm,      \
                                         int32_t* specBytes, int32_t* initBytes,                \
                                         int32_t* workBytes) {                                  \
    return RealGetSizes<OPS>(order, flag, specBytes, initBytes, workBytes);                     \
  }                                                                                             \
  WuPerfStatus WuPerfFFT64f_InitSpec_##V(FftSpecReal** spec, int32_t order, int32_t flag,       \
                                         WuPerfHintAlgorithm hint, uint8_t* block,              \
                                         uint8_t* init) {                                       \
    return RealInitSpec<OPS>(spec, order, flag, hint, block, init);                             \
  }                                                                                             \
  WuPerfStatus WuPerfsFFTInitAlloc_R_64f_##V(void** spec, int32_t order, int32_t flag,          \
                                             WuPerfHintAlgorithm hint) {                        \
    return RealInitAlloc<OPS>(spec, order, flag, hint);                                         \
  }                                                                                             \
  WuPerfStatus WuPerfsFFTGetBufSize_R_64f_##V(void* spec, int32_t* size) {                      \
    return RealGetBufSize<OPS>(spec, size);                                                     \
  }                                                                                             \
  WuPerfStatus WuPerfsFFTFree_R_64f_##V(void* spec) { return RealFree<OPS>(spec); }             \
  WuPerfStatus WuPerfFFTFwd_RToPerm64f_##V(const double* src, double* dst, const void* spec,    \
                                           uint8_t* work) {                                     \
    return RealDriver<OPS, false>(src, dst, spec, work);                                              \
  }                                                                                             \
  WuPerfStatus WuPerfsFFTFwd_RToPerm_64f_I_##V(double* srcDst, const void* spec,                \
                                               uint8_t* work) {                                 \
    return RealInPlace<OPS, false>(srcDst, spec, work);                                         \
  }                                                                                             \
  WuPerfStatus WuPerfFFTInv_PermToR64f_##V(const double* src, double* dst, const void* spec,    \
                                           uint8_t* work) {                                     \
    return RealDriver<OPS, true>(src, dst, spec, work);                                              \
  }                                                                                             \
  WuPerfStatus WuPerfsFFTInv_PermToR_64f_I_##V(double* srcDst, const void* spec,                \
                                               uint8_t* work) {                                 \
    return RealInPlace<OPS, true>(srcDst, spec, work);                                         \
  }
