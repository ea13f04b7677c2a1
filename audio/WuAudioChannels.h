// Channel operations on interleaved sample buffers: fill, copy, swap, mix,
// extract, insert and mute channels in caller-owned memory.
//
// A frame holds one sample per channel; counts passed in are frames. A
// buffer is described by a platform WAVEFORMATEX (plain or extensible, its
// sample type from WuAudio_GetSampleType), a _wuwaveformat, or a bare
// sample type and channel count. Operations that only move samples work on
// any plain type by its width (1 byte: 16, 49; 2: 17, 64; 3: 18, 65; 4: 19,
// 32, 48, 66; 8: 33); those that compute handle a fixed set of types.
// Silence is 0x80 for WUSAMPLE_PCM8 and 0 for every other type.
//
// Integer results are clamped to the type's range and then rounded to
// nearest, ties to even. The operations that take a WAVEFORMATEX and work
// per channel use the sample size nBlockAlign / nChannels and the frame
// stride (nBlockAlign / nChannels) * nChannels.
//
// Every function returns S_OK on success. A channel index below 0 or at or
// above the channel count gives E_FAIL and writes nothing; a negative frame
// count gives E_INVALIDARG; 0 frames do nothing.
#pragma once

#include "audio/WuSampleType.h"
#include "audio/WuWaveFormat.h"
#include "platform/com/mmreg.h"
#include "platform/kernel/types.h"

// Fills frames * nBlockAlign bytes with the type's silence byte. E_FAIL for
// a type other than the eleven plain ones.
HRESULT WuAudio_FillSilence(const _wuwaveformat* format, void* buffer, LONG frames);
// The same decided by tag: tags 1 and 0xFE02 use 0x80 at 8 bits, else 0;
// tags 3, 0xFE00 and 0xFE01 use 0; an extensible record uses 0x80 for an
// 8-bit PCM sub-format, 0 for PCM or IEEE float, and writes nothing (S_OK)
// for any other sub-format. E_FAIL for any other tag.
HRESULT WuAudio_FillSilence(const WAVEFORMATEX* format, void* buffer, LONG frames);
// Silences one channel of every frame (stride nChannels * bits / 8); a
// mono format is filled whole. Tags 1 and 0xFE00..0xFE02 at 8, 16, 24 or
// 32 bits (0x80 at 8 bits except for 0xFE01), tag 3 at 32 or 64 bits;
// E_FAIL for extensible records and any other tag or size.
HRESULT WuAudio_FillSilenceChannel(const WAVEFORMATEX* format, void* buffer, LONG channel,
                                   LONG frames);

// Copies channel srcChannel over dstChannel in every frame (types 16-19,
// 32, 33; E_FAIL otherwise). Mono does nothing.
HRESULT WuAudio_CopyChannelToChannel(void* buffer, const WAVEFORMATEX* format, LONG srcChannel,
                                     LONG dstChannel, LONG frames);
// Exchanges channels 0 and 1 of every frame (types 16-19, 32, 33). Mono
// does nothing.
HRESULT WuAudio_SwapStereoChannels(void* buffer, const WAVEFORMATEX* format, LONG frames);
// dst channel 0 = src channel 1 and dst channel 1 = src channel 0 in every
// frame, same stride; other channels of dst are left alone. Mono does
// nothing.
HRESULT WuAudio_CopySwapStereoChannels(void* dst, const void* src, const WAVEFORMATEX* format,
                                       LONG frames);

// Fills every destination frame from one sample frame. Same sample type
// and block align: the frame is copied. Otherwise, for sample types 16-bit,
// 24-bit, float32, float64 and 24-in-32 into destination types 16-, 24-,
// 32-bit, float32, float64 and 24-in-32, the sample's left and right
// values (a mono sample gives L = R; a float64 sample is read as a double)
// are converted as the pair's kernel converts them at gain 1.0 and written
// into channels 0 and 1, silence into the others; a mono destination takes
// the rounded average of L and R. Any other pair fills the destination
// with silence. S_OK.
HRESULT WuAudio_FillWithSample(const WAVEFORMATEX* dstFormat, void* dst,
                               const WAVEFORMATEX* sampleFormat, const void* sample, LONG frames);

// Mono to n channels (every sample written into each channel of its frame,
// from the last frame backwards, so dst may be src) or n channels to mono,
// mixing by sum (ChannelChange) or by average (ChannelChangeAvg). Equal
// counts copy through WuAudio_Copy. The mix handles types 16-19, 32, 33,
// 49 and 64-66 (floats without clamping, big-endian types in their own
// order). E_FAIL when neither side is mono, or for another type in a mix.
HRESULT WuAudio_ChannelChange(void* dst, LONG dstChannels, const void* src,
                              const WAVEFORMATEX* srcFormat, LONG frames);
HRESULT WuAudio_ChannelChangeAvg(void* dst, LONG dstChannels, const void* src,
                                 const WAVEFORMATEX* srcFormat, LONG frames);
// Every channel of each frame receives the average of that frame's
// channels: types 16, 17, 19 by integer division of the raw sum
// (truncating), 18 rounded, 32 and 33 in floating point. Mono copies.
// E_FAIL for other types.
HRESULT WuAudio_MonoChannel(void* dst, const void* src, const WAVEFORMATEX* format, LONG frames);

// Writes source channel `channel` into every channel of each destination
// frame (from the last frame backwards when the destination frame is
// wider, so dst may overlay src). E_INVALIDARG for a type without a width
// or a channel count below 1.
HRESULT WuAudio_CopyChannelToMultiMono2(void* dst, LONG dstChannels, const void* src,
                                        LONG srcChannels, LONG channel, LONG frames,
                                        WUSAMPLETYPE type);
// The same with counts and type from the formats; E_INVALIDARG when the
// two sample types differ.
HRESULT WuAudio_CopyChannelToMultiMono(void* dst, const WAVEFORMATEX* dstFormat, const void* src,
                                       const WAVEFORMATEX* srcFormat, LONG channel, LONG frames);
// The same, always front to back; a mono destination is
// WuAudio_ExtractChannel. E_NOTIMPL when the types differ, E_FAIL for a
// type without a width.
HRESULT WuAudio_CopyChannelToAll(void* dst, const void* src, const WAVEFORMATEX* srcFormat,
                                 const WAVEFORMATEX* dstFormat, LONG channel, LONG frames);

// dst[i] = channel `channel` of source frame i. A mono source is copied
// with the type's same-type kernel at gain 1.0 (E_NOTIMPL without one).
// E_FAIL for a type without a width.
HRESULT WuAudio_ExtractChannel(void* dst, LONG channel, const void* src, WUSAMPLETYPE type,
                               LONG channels, LONG frames);
HRESULT WuAudio_ExtractChannel(void* dst, LONG channel, const void* src,
                               const WAVEFORMATEX* srcFormat, LONG frames);
// A stereo destination frame takes channels firstChannel and
// firstChannel + 1 (both must exist); a stereo source is copied whole with
// WuAudio_Copy. Types 16-19, 32, 33; E_FAIL otherwise.
HRESULT WuAudio_ExtractChannelPair(void* dst, LONG firstChannel, const void* src,
                                   const WAVEFORMATEX* srcFormat, LONG frames);
// Channel `channel` of destination frame i = src[i]; with one channel the
// frames are copied whole. E_FAIL for a type without a width.
HRESULT WuAudio_InsertChannel(void* dst, WUSAMPLETYPE type, LONG channels, LONG channel,
                              const void* src, LONG frames);
// Writes silence into one channel of every frame. E_FAIL for a type
// without a width.
HRESULT WuAudio_MuteChannel(void* buffer, WUSAMPLETYPE type, LONG channels, LONG channel,
                            LONG frames);
HRESULT WuAudio_MuteChannel(void* buffer, const WAVEFORMATEX* format, LONG channel, LONG frames);
HRESULT WuAudio_MuteChannel(void* buffer, const _wuwaveformat* format, LONG channel, LONG frames);
