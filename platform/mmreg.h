// Wave-format records: how a stream of audio samples is described between
// programs, files and drivers. The layouts are fixed (they are written into
// files and passed between processes), so both records are packed.
#pragma once

#include <cstddef>

#include "platform/types.h"

// Format tags of the platform.
constexpr WORD WAVE_FORMAT_PCM = 0x0001;         // integer PCM
constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 0x0003;  // IEEE floating point
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;  // a WAVEFORMATEXTENSIBLE follows

#pragma pack(push, 1)

// The common header of every format. `cbSize` extra bytes follow it.
struct WAVEFORMATEX {
  WORD wFormatTag;        // WAVE_FORMAT_* or a codec's tag
  WORD nChannels;         // channels per frame
  DWORD nSamplesPerSec;   // frames per second
  DWORD nAvgBytesPerSec;  // bytes per second
  WORD nBlockAlign;       // bytes per frame
  WORD wBitsPerSample;    // bits per sample (container size)
  WORD cbSize;            // bytes that follow this header
};

// The extensible form: tag WAVE_FORMAT_EXTENSIBLE, `cbSize` at least 22,
// and the real format named by `SubFormat`.
struct WAVEFORMATEXTENSIBLE {
  WAVEFORMATEX Format;  // header, wFormatTag 0xFFFE
  union {
    WORD wValidBitsPerSample;  // bits of precision in each sample
    WORD wSamplesPerBlock;     // compressed formats: samples per block
    WORD wReserved;            // 0
  } Samples;
  DWORD dwChannelMask;  // speaker positions present, one bit each
  GUID SubFormat;       // the format; PCM and float have their own GUIDs
};

#pragma pack(pop)

static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(offsetof(WAVEFORMATEX, wFormatTag) == 0);
static_assert(offsetof(WAVEFORMATEX, nChannels) == 2);
static_assert(offsetof(WAVEFORMATEX, nSamplesPerSec) == 4);
static_assert(offsetof(WAVEFORMATEX, nAvgBytesPerSec) == 8);
static_assert(offsetof(WAVEFORMATEX, nBlockAlign) == 12);
static_assert(offsetof(WAVEFORMATEX, wBitsPerSample) == 14);
static_assert(offsetof(WAVEFORMATEX, cbSize) == 16);
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);
static_assert(offsetof(WAVEFORMATEXTENSIBLE, Format) == 0);
static_assert(offsetof(WAVEFORMATEXTENSIBLE, Samples) == 18);
static_assert(offsetof(WAVEFORMATEXTENSIBLE, dwChannelMask) == 20);
static_assert(offsetof(WAVEFORMATEXTENSIBLE, SubFormat) == 24);

// The empty identifier.
inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
// Sub-formats of integer PCM and IEEE floating point: the tag in the first
// field of the base identifier 00000000-0000-0010-8000-00AA00389B71.
inline constexpr GUID KSDATAFORMAT_SUBTYPE_PCM = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID KSDATAFORMAT_SUBTYPE_IEEE_FLOAT = {
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
