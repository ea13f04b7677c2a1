// The complex float FFT's set-up and transform drivers, one body for the
// five variants, over a variant's traits `VT`:
//   kVariant, kDirectLimit (T), kGeneric (variant 0: no direct routine, no
//   work buffer up to order 10), Malloc/Free, the table builders
//   (BaseTwiddle, BitRevTable, RadixTwiddle, InitLarge, GetSizesLarge), the
//   scale routine, and per direction Direct/BitRev/Passes/Large.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <cstdint>
#include <cstring>

#include "dsp/Dispatch.h"
#include "dsp/FftComplex.h"
#include "dsp/FftContextSetup.h"
#include "dsp/SineTables.h"

namespace wuperf {
namespace {

inline int64_t CfftRound32(int64_t x) { return (x + 31) & ~int64_t{31}; }
template <class T>
T* CfftAlign32(T* p) {
  return reinterpret_cast<T*>((reinterpret_cast<uintptr_t>(p) + 31) & ~uintptr_t{31});
}

// The scaling of a flag; false for a flag other than 1, 2, 4 and 8.
inline bool CfftScaling(int32_t flag, int32_t order, FftSpec* s) {
  const double n = static_cast<double>(int64_t{1} << order);
  switch (flag) {
    case 1: s->scaleForward = 1, s->scaleInverse = 0, s->scaleFactor = static_cast<float>(1.0 / n); return true;
    case 2: s->scaleForward = 0, s->scaleInverse = 1, s->scaleFactor = static_cast<float>(1.0 / n); return true;
    case 4: s->scaleForward = 1, s->scaleInverse = 1;
            s->scaleFactor = static_cast<float>(1.0 / __builtin_sqrt(n)); return true;
    case 8: s->scaleForward = 0, s->scaleInverse = 0, s->scaleFactor = 0.0f; return true;
    default: return false;
  }
}

template <class VT>
WuPerfStatus CfftGetSizes(int32_t order, int32_t flag, int32_t* specSize, int32_t* initSize,
                          int32_t* workSize) {
  if (order < 0 || order > 30) return WuPerfErrFFTOrder;
  if (!specSize || !initSize || !workSize) return WuPerfErrNullPointer;
  if (flag != 1 && flag != 2 && flag != 4 && flag != 8) return WuPerfErrFFTFlag;
  const int64_t n = int64_t{1} << order;
  if (n > kFftMaxPoints32fc) return WuPerfErrFFTOrder;
  if (order <= 5) {
    *specSize = kFftSpecSmallBytes, *initSize = 0, *workSize = 0;
    return WuPerfOk;
  }
  int32_t ctx = 0, init = 0, work = 0;
  if (order <= VT::kDirectLimit) {
    ctx = static_cast<int32_t>(CfftRound32(8 * n + 8));
    work = VT::kGeneric ? 0 : static_cast<int32_t>(CfftRound32(8 * n));
  } else {
    VT::GetSizesLarge(order, &ctx, &init, &work);
  }
  ctx += static_cast<int32_t>(CfftRound32(n + 4)) + kFftSpecHeadBytes;
  init = order <= 10 ? 0 : init + static_cast<int32_t>(CfftRound32(n + 4)) + 32;
  if (work > 0) work += 32;
  *specSize = ctx, *initSize = init, *workSize = work;
  return WuPerfOk;
}

template <class VT>
WuPerfStatus CfftInitSpec(FftSpec** out, int32_t order, int32_t flag, int32_t hint,
                          uint8_t* block, uint8_t* init) {
  if (!out) return WuPerfErrNullPointer;
  if (order < 0 || order > 30 || (int64_t{1} << order) > kFftMaxPoints32fc)
    return WuPerfErrFFTOrder;
  if (!block) return WuPerfErrNullPointer;
  FftSpec* s = reinterpret_cast<FftSpec*>(CfftAlign32(block));
  std::memset(s, 0, sizeof *s);
  s->order = order;
  s->hint = hint;
  s->ownsBlock = 0;
  s->variant = VT::kVariant;
  if (!CfftScaling(flag, order, s)) {
    s->contextId = 0;
    return WuPerfErrFFTFlag;
  }
  s->contextId = kFftContextComplex32fc;
  if (order <= 5) {
    s->workSize = 0;
    *out = s;
    return WuPerfOk;
  }
  const int64_t n = int64_t{1} << order;
  const float* base = kSineTable1024f;
  int32_t a = 10;
  uint8_t* scratch = nullptr;
  if (order > 10) {
    if (!init) return WuPerfErrNullPointer;
    float* b = CfftAlign32(reinterpret_cast<float*>(init));
    scratch = reinterpret_cast<uint8_t*>(VT::BaseTwiddle(order, b));
    base = b;
    a = order;
  }
  uint8_t* head = reinterpret_cast<uint8_t*>(s);
  s->bitRevTable = head + sizeof(FftSpec);
  if (order <= VT::kDirectLimit) {
    uint32_t* end = VT::BitRevTable(order, static_cast<uint32_t*>(s->bitRevTable));
    s->twiddleTable = end;
    VT::RadixTwiddle(order, base, a, reinterpret_cast<float*>(end));
    s->workSize = VT::kGeneric ? 0 : static_cast<int32_t>(CfftRound32(8 * n));
  } else {
    uint8_t* tables = CfftAlign32(head + sizeof(FftSpec) + CfftRound32(n + 4));
    VT::InitLarge(s, order, base, a, tables, scratch);
  }
  *out = s;
  return WuPerfOk;
}

template <class VT>
WuPerfStatus CfftInitAlloc(void** ctx, int32_t order, int32_t flag, int32_t hint) {
  if (!ctx) return WuPerfErrNullPointer;
  int32_t specSize, initSize, workSize;
  WuPerfStatus st = CfftGetSizes<VT>(order, flag, &specSize, &initSize, &workSize);
  if (st != WuPerfOk) return st;
  FftSpec* s = nullptr;
  st = MakeOwnedContext<VT>(specSize, initSize, &s, [&](uint8_t* block, uint8_t* init, FftSpec** built) {
    return CfftInitSpec<VT>(built, order, flag, hint, block, init);
  });
  if (st != WuPerfOk) return st;
  *ctx = s;
  return WuPerfOk;
}

// The variant that built a context, or -1 when it is not a complex context.
inline int32_t CfftOwner(const void* ctx) {
  return ContextOwner(static_cast<const FftSpec*>(ctx), kFftContextComplex32fc);
}

template <class VT>
WuPerfStatus CfftGetBufSize(const void* ctx, int32_t* size) {
  if (!ctx || !size) return WuPerfErrNullPointer;
  const int32_t owner = CfftOwner(ctx);
  if (owner < 0) return WuPerfErrContextKind;
  if (owner != VT::kVariant) return kFFTGetBufSizeCTable[owner](ctx, size);
  const int32_t work = static_cast<const FftSpec*>(ctx)->workSize;
  *size = work > 0 ? work + 32 : 0;
  return WuPerfOk;
}

template <class VT>
WuPerfStatus CfftFree(void* ctx) {
  if (!ctx) return WuPerfErrNullPointer;
  const int32_t owner = CfftOwner(ctx);
  if (owner < 0) return WuPerfErrContextKind;
  if (owner != VT::kVariant) return kFFTFreeCTable[owner](ctx);
  FftSpec* s = static_cast<FftSpec*>(ctx);
  s->contextId = 0;
  if (s->ownsBlock == 1) VT::Free(s);
  return WuPerfOk;
}

template <class VT, bool kInv>
WuPerfStatus CfftTransform(const void* src, void* dst, const void* ctx, uint8_t* buf) {
  if (!ctx) return WuPerfErrNullPointer;
  const int32_t owner = CfftOwner(ctx);
  if (owner < 0) return WuPerfErrContextKind;
  if (!src || !dst) return WuPerfErrNullPointer;
  if (owner != VT::kVariant)
    return (kInv ? kFFTInvCTable : kFFTFwdCTable)[owner](src, dst, ctx, buf);
  const FftSpec* s = static_cast<const FftSpec*>(ctx);
  const int32_t m = s->order;
  const bool scaled = (kInv ? s->scaleInverse : s->scaleForward) == 1;
  const float* in = static_cast<const float*>(src);
  float* out = static_cast<float*>(dst);
  if (m <= 5) {
    const FftFixedKernelRow& row = WuPerfFFT32fc_FixedKernels[(kInv ? 9 : 4) - VT::kVariant];
    if (scaled)
      row.scaled[m](in, out, s->scaleFactor);
    else
      row.unscaled[m](in, out);
    return WuPerfOk;
  }
  uint8_t* work = nullptr;
  uint8_t* owned = nullptr;
  if (s->workSize > 0) {
    if (buf) {
      work = CfftAlign32(buf);
    } else {
      owned = VT::Malloc(s->workSize);
      if (!owned) return WuPerfErrNoMemory;
      work = owned;
    }
  }
  const int32_t n = int32_t{1} << m;
  // Routes: the direct routine below the threshold order T (variants 1 to
  // 4), bit reversal and passes at T (variant 0: orders 6 to 10), the large
  // routine above T, which scales by itself.
  bool direct = false;
  if constexpr (!VT::kGeneric) direct = m < VT::kDirectLimit;
  const float* twiddles = static_cast<const float*>(s->twiddleTable);
  const uint32_t* bitRev = static_cast<const uint32_t*>(s->bitRevTable);
  if (m > VT::kDirectLimit) {
    VT::template Large<kInv>(s, src, dst, m, work);
  } else {
    if constexpr (!VT::kGeneric) {
      if (direct) VT::template Direct<kInv>(src, dst, n, twiddles, bitRev, work);
    }
    if (!direct) {
      if (src == dst)
        VT::BitRevInPlace(dst, n, bitRev);
      else
        VT::BitRevCopy(src, dst, n, bitRev);
      VT::template Passes<kInv>(dst, n, twiddles, work);
    }
    if (scaled) VT::Scale(s->scaleFactor, out, 2 * n);
  }
  VT::Free(owned);
  return WuPerfOk;
}

}  // namespace
}  // namespace wuperf

// The set-up and driver entries of variant V over its traits VT.
#define WU_DEFINE_FFT32FC_ENTRIES(V, VT)                                                          \
  WuPerfStatus WuPerfFFT32fc_GetSizes_##V(int32_t order, int32_t flag, int32_t,                   \
                                          int32_t* specSize, int32_t* initSize,                   \
                                          int32_t* workSize) {                                    \
    return CfftGetSizes<VT>(order, flag, specSize, initSize, workSize);                           \
  }                                                                                               \
  WuPerfStatus WuPerfFFT32fc_InitSpec_##V(FftSpec** ctx, int32_t order, int32_t flag,            \
                                          int32_t hint, uint8_t* block, uint8_t* init) {          \
    return CfftInitSpec<VT>(ctx, order, flag, hint, block, init);                                \
  }                                                                                               \
  WuPerfStatus WuPerfsFFTInitAlloc_C_32fc_##V(void** ctx, int32_t order, int32_t flag,           \
                                              WuPerfHintAlgorithm hint) {                         \
    return CfftInitAlloc<VT>(ctx, order, flag, hint);                                            \
  }                                                                                               \
  WuPerfStatus WuPerfsFFTGetBufSize_C_32fc_##V(const void* ctx, int32_t* size) {                 \
    return CfftGetBufSize<VT>(ctx, size);                                                        \
  }                                                                                               \
  WuPerfStatus WuPerfsFFTFree_C_32fc_##V(void* ctx) { return CfftFree<VT>(ctx); }               \
  WuPerfStatus WuPerfsFFTFwd_CToC_32fc_##V(const void* src, void* dst, const void* ctx,          \
                                           uint8_t* buf) {                                        \
    return CfftTransform<VT, false>(src, dst, ctx, buf);                                         \
  }                                                                                               \
  WuPerfStatus WuPerfsFFTInv_CToC_32fc_##V(const void* src, void* dst, const void* ctx,          \
                                           uint8_t* buf) {                                        \
    return CfftTransform<VT, true>(src, dst, ctx, buf);                                          \
  }
