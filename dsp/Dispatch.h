// Variant dispatch: the sixteen tables that route each dispatched export to
// the selected variant's entry function (dsp/VariantIndex.h).
//
// Each table holds the entries of variants 0..4 in that order; every entry
// is filled, and the exports call through without a check. The tables are
// defined beside the dispatched exports that read them (dsp/Dispatch.cpp),
// so only a program that calls a dispatched export links the kernels.
#pragma once

#include <cstdint>

#include "dsp/VariantIndex.h"
#include "dsp/WuPerfStatus.h"

namespace wuperf {

// Entry signatures, one per table.
using MallocEntry = uint8_t* (*)(int32_t len);
using FreeEntry = void (*)(void* block);
using RandUniformEntry = WuPerfStatus (*)(float* dst, int32_t len, float low, float high,
                                          uint32_t* seed);
using SqrtEntry = WuPerfStatus (*)(const float* src, float* dst, int32_t len);
using MulEntry = WuPerfStatus (*)(const void* src, void* srcDst, int32_t len);
using FFTInitAllocEntry = WuPerfStatus (*)(void** ctx, int32_t order, int32_t flag,
                                           WuPerfHintAlgorithm hint);
using FFTGetBufSizeCEntry = WuPerfStatus (*)(const void* ctx, int32_t* size);
using FFTTransformCEntry = WuPerfStatus (*)(const void* src, void* dst, const void* ctx,
                                            uint8_t* work);
using FFTFreeEntry = WuPerfStatus (*)(void* ctx);
using FFTGetBufSizeREntry = WuPerfStatus (*)(void* ctx, int32_t* size);
using FFTTransformREntry = WuPerfStatus (*)(double* srcDst, const void* ctx, uint8_t* work);
using ConjEntry = WuPerfStatus (*)(void* srcDst, int32_t len);

// The tables, numbered as the exports know them.
extern const MallocEntry kMallocTable[kVariantCount];                   // 0
extern const FreeEntry kFreeTable[kVariantCount];                       // 1
extern const RandUniformEntry kRandUniformTable[kVariantCount];         // 2
extern const SqrtEntry kSqrtTable[kVariantCount];                       // 3
extern const MulEntry kMulTable[kVariantCount];                         // 4
extern const FFTInitAllocEntry kFFTInitAllocCTable[kVariantCount];      // 5
extern const FFTGetBufSizeCEntry kFFTGetBufSizeCTable[kVariantCount];   // 6
extern const FFTTransformCEntry kFFTFwdCTable[kVariantCount];           // 7
extern const FFTTransformCEntry kFFTInvCTable[kVariantCount];           // 8
extern const FFTFreeEntry kFFTFreeCTable[kVariantCount];                // 9
extern const FFTInitAllocEntry kFFTInitAllocRTable[kVariantCount];      // 10
extern const FFTGetBufSizeREntry kFFTGetBufSizeRTable[kVariantCount];   // 11
extern const FFTTransformREntry kFFTFwdRTable[kVariantCount];           // 12
extern const FFTTransformREntry kFFTInvRTable[kVariantCount];           // 13
extern const ConjEntry kConjTable[kVariantCount];                       // 14
extern const FFTFreeEntry kFFTFreeRTable[kVariantCount];                // 15

}  // namespace wuperf
