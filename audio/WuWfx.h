// Helpers that fill, test, compare and repair platform wave-format records.
// None keeps state. "Plain" means an 18-byte WAVEFORMATEX with cbSize 0;
// "extensible" a 40-byte WAVEFORMATEXTENSIBLE with cbSize 22.
#pragma once

#include "audio/WuSampleType.h"
#include "platform/mmreg.h"
#include "platform/types.h"

// The default speaker mask of n channels: (1 << n) - 1 in 64 bits, cut to
// 32 (all bits from 32 channels on).
DWORD WuAudio_DefaultChannelMask(DWORD channels);

// Writes a plain header for a sample type: tag and bits of the type,
// nBlockAlign = (bits / 8) * channels (16 bits), nAvgBytesPerSec =
// nBlockAlign * rate, cbSize 0.
void WuAudio_InitWfx(WAVEFORMATEX* wfx, DWORD rate, WUSAMPLETYPE type, DWORD channels);

// Writes a plain header from tag and bits, or an extensible one when a mask
// is given, `room` is at least 40 and either there are more than two
// channels or the mask is not the default one. A mask with more bits set
// than channels is written as 0 (the default mask).
void WuAudio_InitWfxFlex(WAVEFORMATEX* wfx, DWORD tag, DWORD rate, DWORD bits, DWORD channels,
                         DWORD mask, UINT room);

// Fills a 40-byte extensible record: tag 0xFFFE, cbSize 22, nBlockAlign =
// (bits / 8) * channels (16 bits), nAvgBytesPerSec = nBlockAlign * rate, the
// mask (0: the default mask of `channels`) and the sub-format.
void WuAudio_InitWfExt(WAVEFORMATEXTENSIBLE* dest, const GUID& sub_format, DWORD rate,
                       DWORD bits, DWORD channels, DWORD valid_bits, DWORD mask);

// TRUE when channels, rate, tag and bits are equal (nothing else compared).
BOOL WuAudio_IsEqualFormat(const WAVEFORMATEX* a, const WAVEFORMATEX* b);

// TRUE when the record is not a plain sample format: an extensible record
// as WuAudio_IsCompressedExtensible says; tags 1, 3, 0xFE00..0xFE02 when
// nBlockAlign is not nChannels * (wBitsPerSample / 8); every other tag.
BOOL WuAudio_IsCompressed(const WAVEFORMATEX* wfx);
// TRUE when cbSize is below 22 or the sub-format is neither PCM nor float.
BOOL WuAudio_IsCompressedExtensible(const WAVEFORMATEXTENSIBLE* wfext);

// The format tag a record stands for: 0 for null; the tag itself unless it
// is 0xFFFE with cbSize at least 22; else the sub-format's tag when the
// sub-format has the base form, 0 otherwise.
WORD WuAudio_GetWaveFormatTag(const WAVEFORMATEX* wfx);

// TRUE and 1 or 3 in *tag for an extensible record (cbSize at least 22)
// whose sub-format is PCM or float; FALSE (and *tag untouched) otherwise.
BOOL WuAudio_GetFormatTagExtensible(const WAVEFORMATEXTENSIBLE* wfext, DWORD* tag);

// Repairs a PCM header: 20 bits become 24, and nBlockAlign becomes
// nChannels * (wBitsPerSample / 8). TRUE when something changed; other tags
// are left alone (FALSE). nAvgBytesPerSec is not touched.
BOOL WuAudio_FixBadWfx(WAVEFORMATEX* wfx);

// The extensible fields of a record, read only when the record has them
// (tag 0xFFFE and cbSize at least 22); otherwise the mask and valid bits
// are 0 and the sub-format is GUID_NULL. TRUE when they were read.
struct WuWfxExtensibleFields {
  WORD valid_bits;  // wValidBitsPerSample
  DWORD mask;       // dwChannelMask
  GUID sub_format;  // SubFormat
};
bool WuAudio_ReadExtensibleFields(const WAVEFORMATEX* wfx, WuWfxExtensibleFields* out);
