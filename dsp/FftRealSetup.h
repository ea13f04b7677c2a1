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
#include "dsp/FftContextSetup.h"
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
  int64_t ctx = 0, init = 0, work = 0;
  bool bitRev = true;
  if (Ops::kPairTables && h == 5) {
    bitRev = false;
  } else if (h <= Ops::kDirectLimit) {
    ctx = Round32(16 * m + 16);
    work = Ops::kPairTables ? 0 : Round32(16 * m);
  } else {
    int32_t s = 0, i = 0, w = 0;
    Ops::GetSizesLarge(h, &s, &i, &w);
    ctx = s, init = i, work = w;
  }
  if (bitRev) ctx += Round32(m + 4);
  ctx += 2 * Round32(16 * n / 4) + kRealHeadReserve;
  init = order <= 10 ? 0 : Round32(8 * (n / 4 + 1)) + init + 32;
  if (work > 0) work += 32;
  StoreSizes(ctx, init, work, specBytes, initBytes, workBytes);
  return WuPerfOk;
}

template <class Ops>
WuPerfStatus RealInitSpec(FftSpecReal** out, int32_t order, int32_t flag, WuPerfHintAlgorithm hint,
                          uint8_t* block, uint8_t* initBuffer) {
  if (out == nullptr) return WuPerfErrNullPointer;
  if (order < 0 || order > kRealMaxOrder || Pow2(order) > kRealMaxPoints) return WuPerfErrFFTOrder;
  if (block == nullptr) return WuPerfErrNullPointer;
  FftSpecReal* ctx = reinterpret_cast<FftSpecReal*>(AlignUp32(block));
  Ops::Zero8u(ctx, static_cast<int32_t>(sizeof(FftSpecReal)));
  ctx->ownsBlock = 0;
  ctx->order = order;
  ctx->hint = static_cast<int32_t>(hint);
  ctx->variant = Ops::kVariant;
  const double n = static_cast<double>(Pow2(order));
  switch (flag) {
    case 1: ctx->scaleForward = 1, ctx->scaleFactor = 1.0 / n; break;
    case 2: ctx->scaleInverse = 1, ctx->scaleFactor = 1.0 / n; break;
    case 4: ctx->scaleForward = ctx->scaleInverse = 1, ctx->scaleFactor = 1.0 / std::sqrt(n); break;
    case 8: break;
    default: ctx->contextId = 0; return WuPerfErrFFTFlag;
  }
  ctx->contextId = kFftContextReal64f;
  if (order <= 5) {
    ctx->workSize = 0;
    *out = ctx;
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
  uint8_t* afterHead = reinterpret_cast<uint8_t*>(ctx + 1);
  uint8_t* end;
  if (Ops::kPairTables && h == 5) {
    ctx->workSize = 0;
    end = afterHead;
  } else if (h <= Ops::kDirectLimit) {
    ctx->bitRevTable = afterHead;
    uint32_t* rev = Ops::BitRevTable(h, reinterpret_cast<uint32_t*>(afterHead));
    ctx->twiddleTable = rev;
    end = reinterpret_cast<uint8_t*>(
        Ops::RadixTwiddle(h, base, b, reinterpret_cast<double*>(rev)));
    ctx->workSize = Ops::kPairTables ? 0 : static_cast<int32_t>(Round32(16 * m));
  } else {
    ctx->bitRevTable = afterHead;
    end = Ops::InitLarge(ctx, h, base, b, AlignUp32(afterHead + Round32(m + 4)), scratch);
  }
  double* fwd = reinterpret_cast<double*>(AlignUp32(end));
  ctx->forwardRealTwiddle = fwd;
  double* inv = Ops::FwdRealTwiddle(order, base, b, fwd);
  ctx->inverseRealTwiddle = inv;
  Ops::InvRealTwiddle(order, base, b, inv);
  *out = ctx;
  return WuPerfOk;
}

template <class Ops>
WuPerfStatus RealInitAlloc(void** out, int32_t order, int32_t flag, WuPerfHintAlgorithm hint) {
  if (out == nullptr) return WuPerfErrNullPointer;
  int32_t specBytes = 0, initBytes = 0, workBytes = 0;
  WuPerfStatus st = RealGetSizes<Ops>(order, flag, &specBytes, &initBytes, &workBytes);
  if (st != WuPerfOk) return st;
  FftSpecReal* ctx = nullptr;
  st = MakeOwnedContext<Ops>(specBytes, initBytes, &ctx,
                             [&](uint8_t* block, uint8_t* init, FftSpecReal** built) {
                               return RealInitSpec<Ops>(built, order, flag, hint, block, init);
                             });
  if (st != WuPerfOk) return st;
  *out = ctx;
  return WuPerfOk;
}

// The variant that built a real context, or -1 when it is none or names
// no variant.
inline int RecordedVariant(const FftSpecReal* ctx) { return ContextOwner(ctx, kFftContextReal64f); }

template <class Ops>
WuPerfStatus RealGetBufSize(void* handle, int32_t* size) {
  if (size == nullptr || handle == nullptr) return WuPerfErrNullPointer;
  const FftSpecReal* ctx = static_cast<const FftSpecReal*>(handle);
  const int v = RecordedVariant(ctx);
  if (v < 0) return WuPerfErrContextKind;
  if (v != Ops::kVariant) return kFFTGetBufSizeRTable[v](handle, size);
  *size = ctx->workSize > 0 ? ctx->workSize + 32 : 0;
  return WuPerfOk;
}

template <class Ops>
WuPerfStatus RealFree(void* handle) {
  if (handle == nullptr) return WuPerfErrNullPointer;
  FftSpecReal* ctx = static_cast<FftSpecReal*>(handle);
  const int v = RecordedVariant(ctx);
  if (v < 0) return WuPerfErrContextKind;
  if (v != Ops::kVariant) return kFFTFreeRTable[v](handle);
  ctx->contextId = 0;
  if (ctx->ownsBlock == 1) Ops::Free(ctx);
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
  const FftSpecReal* ctx = static_cast<const FftSpecReal*>(handle);
  if (ctx->contextId != kFftContextReal64f) return WuPerfErrContextKind;
  if (src == nullptr || dst == nullptr) return WuPerfErrNullPointer;
  const int order = ctx->order;
  const FixedKernelSlot* row = (kInverse ? WuPerfFFTInv64f_FixedKernels
                                         : WuPerfFFTFwd64f_FixedKernels)[FixedKernelRow(Ops::kVariant)];
  const bool scaled = kInverse ? ctx->scaleInverse != 0 : ctx->scaleForward != 0;
  if (order <= 5) {
    if (scaled)
      row[6 + order].scaled(src, dst, ctx->scaleFactor);
    else
      row[order].plain(src, dst);
    return WuPerfOk;
  }
  uint8_t* work = nullptr;
  uint8_t* own = nullptr;
  if (ctx->workSize > 0) {
    if (buf != nullptr) {
      work = AlignUp32(buf);
    } else {
      own = Ops::Malloc(ctx->workSize);
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
    Ops::PrePass(src, dst, m, -1, static_cast<const double*>(ctx->inverseRealTwiddle));
    Ops::InvHalfTransform(ctx, dst, h, work);
  } else {
    Ops::HalfTransform(ctx, src, dst, h, work);
    const double a = dst[0], b = dst[1];
    dst[0] = b + a;
    dst[1] = a - b;
    Ops::PostPass(dst, m, 1, static_cast<const double*>(ctx->forwardRealTwiddle));
  }
  if (own != nullptr) Ops::Free(own);
  return WuPerfOk;
}

// The exported in-place entries: checks, then the recorded variant's entry
// when the context is another variant's, else the driver in place.
template <class Ops, bool kInverse>
WuPerfStatus RealInPlace(double* data, const void* handle, uint8_t* buf) {
  if (handle == nullptr) return WuPerfErrNullPointer;
  const FftSpecReal* ctx = static_cast<const FftSpecReal*>(handle);
  if (ctx->contextId != kFftContextReal64f) return WuPerfErrContextKind;
  if (data == nullptr) return WuPerfErrNullPointer;
  const int v = RecordedVariant(ctx);
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
  WuPerfStatus WuPerfFFT64f_InitSpec_##V(FftSpecReal** ctx, int32_t order, int32_t flag,       \
                                         WuPerfHintAlgorithm hint, uint8_t* block,              \
                                         uint8_t* init) {                                       \
    return RealInitSpec<OPS>(ctx, order, flag, hint, block, init);                             \
  }                                                                                             \
  WuPerfStatus WuPerfsFFTInitAlloc_R_64f_##V(void** ctx, int32_t order, int32_t flag,          \
                                             WuPerfHintAlgorithm hint) {                        \
    return RealInitAlloc<OPS>(ctx, order, flag, hint);                                         \
  }                                                                                             \
  WuPerfStatus WuPerfsFFTGetBufSize_R_64f_##V(void* ctx, int32_t* size) {                      \
    return RealGetBufSize<OPS>(ctx, size);                                                     \
  }                                                                                             \
  WuPerfStatus WuPerfsFFTFree_R_64f_##V(void* ctx) { return RealFree<OPS>(ctx); }             \
  WuPerfStatus WuPerfFFTFwd_RToPerm64f_##V(const double* src, double* dst, const void* ctx,    \
                                           uint8_t* work) {                                     \
    return RealDriver<OPS, false>(src, dst, ctx, work);                                              \
  }                                                                                             \
  WuPerfStatus WuPerfsFFTFwd_RToPerm_64f_I_##V(double* srcDst, const void* ctx,                \
                                               uint8_t* work) {                                 \
    return RealInPlace<OPS, false>(srcDst, ctx, work);                                         \
  }                                                                                             \
  WuPerfStatus WuPerfFFTInv_PermToR64f_##V(const double* src, double* dst, const void* ctx,    \
                                           uint8_t* work) {                                     \
    return RealDriver<OPS, true>(src, dst, ctx, work);                                              \
  }                                                                                             \
  WuPerfStatus WuPerfsFFTInv_PermToR_64f_I_##V(double* srcDst, const void* ctx,                \
                                               uint8_t* work) {                                 \
    return RealInPlace<OPS, true>(srcDst, ctx, work);                                         \
  }
