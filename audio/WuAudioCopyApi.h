// Finding the conversion kernel of a pair of sample formats, and copying
// blocks of interleaved samples from one format into another.
//
// A pair (destination type, source type) of the eleven plain sample types
// has a kernel unless the destination is WUSAMPLE_PCM16BE or
// WUSAMPLE_PCM24BE and the source WUSAMPLE_PCM24IN32 or WUSAMPLE_PCM32BE;
// any other code on either side (0, 128, 129, ...) has none. For ten pairs
// the kernel is one of several variants, chosen from the processor class
// (WuGetCPUSupport(WUCPU_CLASS_MASK)) and feature bits on every lookup;
// nothing is cached. A caller converting many blocks looks the kernel up
// once and calls it directly.
#pragma once

#include <cstdint>

#include "audio/WuAudioCopy.h"
#include "audio/WuSampleType.h"
#include "audio/WuWaveFormat.h"
#include "platform/com/mmreg.h"
#include "platform/kernel/types.h"

// The kernel of a pair after the variant selection, or null.
WuAudioCopyFunc WuAudio_GetCopyFunction2(WUSAMPLETYPE dest, WUSAMPLETYPE src);

// The same with the types of two records: a WAVEFORMATEX through
// WuAudio_GetSampleType, a _wuwaveformat by its stored SampleType (a record
// described by tag has type 0 and so no kernel).
WuAudioCopyFunc WuAudio_GetCopyFunction(const WAVEFORMATEX* dest, const WAVEFORMATEX* src);
WuAudioCopyFunc WuAudio_GetCopyFunction(const WAVEFORMATEX* dest, const _wuwaveformat* src);
WuAudioCopyFunc WuAudio_GetCopyFunction(const _wuwaveformat* dest, const WAVEFORMATEX* src);

// Converts `frames` frames from src into dest with the kernel of the pair,
// multiplying by `gain` unless it is exactly 1.0. The sample count is
// frames times the SOURCE record's nChannels: the destination's channel
// count is not consulted, the two are taken to have the same layout.
// 0 frames: S_OK at once (no type is looked up). No kernel: E_NOTIMPL. A
// negative frame count, or a sample count beyond the 32-bit signed range:
// E_INVALIDARG. Nothing is written on any failure.
HRESULT WuAudio_Copy(const WAVEFORMATEX* destFormat, void* dest, const WAVEFORMATEX* srcFormat,
                     const void* src, LONG frames, float gain);
HRESULT WuAudio_Copy(const _wuwaveformat* destFormat, void* dest, const WAVEFORMATEX* srcFormat,
                     const void* src, LONG frames, float gain);
HRESULT WuAudio_Copy(const WAVEFORMATEX* destFormat, void* dest, const _wuwaveformat* srcFormat,
                     const void* src, LONG frames, float gain);
HRESULT WuAudio_Copy(const _wuwaveformat* destFormat, void* dest, const _wuwaveformat* srcFormat,
                     const void* src, LONG frames, float gain);

// The selection itself, for any processor class and feature word (the
// WuGetCPUSupport bits WUCPU_SSE, WUCPU_SSE2, WUCPU_SSE41). A class above 6
// counts as 6, a negative one as 0. WuAudio_GetCopyFunction2 passes
// WuGetCPUSupport's answers.
WuAudioCopyFunc WuAudio_SelectCopyFunction(WUSAMPLETYPE dest, WUSAMPLETYPE src, int32_t cpuClass,
                                           DWORD features);
