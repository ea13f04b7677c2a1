// The library's own description of an audio format, `_wuwaveformat`, made
// from a platform WAVEFORMATEX or WAVEFORMATEXTENSIBLE and written back into
// either form under a copy mode.
//
// The record is self-sized: `cbStruct` is 32 when it holds no extra bytes
// and 32 + n when it holds n, which then occupy 34 + n bytes of memory
// (`cbExtra` at 32, `abExtra` at 34). Wherever the record is read, a
// `cbStruct` below 34 means there are no extra bytes, whatever `cbExtra`
// holds; such a record needs only 32 bytes of memory. At most 1,024 extra
// bytes.
//
// A typed record (SampleType not 0) names a plain sample format; its tag,
// bits and block align follow from the type and it has no extra bytes. A
// compressed record (SampleType 0, flag WUWAVEFORMAT_COMPRESSED) carries the
// platform tag, bits, byte rate and the codec's extra bytes.
#pragma once

#include <cstddef>

#include "audio/WuSampleType.h"
#include "platform/mmreg.h"
#include "platform/types.h"

// dwFlags bits.
constexpr DWORD WUWAVEFORMAT_COMPRESSED = 0x8;       // described by tag and bits
constexpr DWORD WUWAVEFORMAT_FROMEXTENSIBLE = 0x10;  // made from a WAVEFORMATEXTENSIBLE

// How a record is written into a platform record (the size is the
// destination's size in bytes; n the record's extra count).
enum WUWAVEFORMAT_COPY_DEST : int32_t {
  // Extensible when the size is at least 40 and the record came from an
  // extensible one or has a mask that is not the default; else as mode 1.
  WUCOPYDEST_ASSOURCE = 0,
  // Typed: WuAudio_InitWfxFlex with the record's mask. Compressed:
  // extensible when the mask is neither 0 nor default and the size is at
  // least 40 + n.
  WUCOPYDEST_PLAINUNLESSMASK = 1,
  // Typed: always plain. Compressed: as mode 1.
  WUCOPYDEST_PLAIN = 2,
  // Extensible above two channels; else as mode 1.
  WUCOPYDEST_EXTENSIBLEMULTICHANNEL = 3,
  // Always extensible.
  WUCOPYDEST_EXTENSIBLE = 4,
};

// Sizes of the record's parts.
constexpr UINT kWuWaveFormatFieldBytes = 32;   // the ten fields before cbExtra
constexpr UINT kWuWaveFormatExtraOffset = 34;  // where abExtra starts
constexpr UINT kWuWaveFormatMaxExtra = 1024;   // most extra bytes a record holds

struct _wuwaveformat {
  DWORD cbStruct;          // 32, or 32 + n with n extra bytes
  WUSAMPLETYPE SampleType; // plain sample format; 0 when described by tag
  DWORD nSamplesPerSec;    // frames per second
  WORD nChannels;          // channels per frame
  WORD nBlockAlign;        // bytes per frame
  DWORD dwChannelMask;     // speaker mask; 0 means the default mask
  DWORD dwFlags;           // WUWAVEFORMAT_COMPRESSED, WUWAVEFORMAT_FROMEXTENSIBLE
  WORD wFormatTag;         // platform tag; only with WUWAVEFORMAT_COMPRESSED
  WORD wBitsPerSample;     // bits per sample; only with WUWAVEFORMAT_COMPRESSED
  DWORD nAvgBytesPerSec;   // bytes per second
  WORD cbExtra;            // n extra bytes; only when cbStruct >= 34
  BYTE abExtra[2];         // first of the n extra bytes (more follow in memory)

  // Makes the record from a platform record of either form; `size` is the
  // room the caller provides (below 32 counts as 32).
  void Init(DWORD size, const WAVEFORMATEX& wfx);
  // Makes a typed record.
  void Init(DWORD rate, WUSAMPLETYPE type, UINT channels, DWORD mask, DWORD size);
  // Makes a record from tag and bits (typed when they name a sample type).
  void InitAsWfx(WORD tag, DWORD rate, WORD bits, WORD channels, DWORD mask, DWORD size);
  // Init(32, wfx); returns the record.
  _wuwaveformat& InitFromWfx(const WAVEFORMATEX& wfx);

  // Typed: nBlockAlign = bytes of the type * nChannels, nAvgBytesPerSec =
  // nBlockAlign * rate. Returns nBlockAlign.
  DWORD UpdateBlockAlign();
  WORD FormatTag() const;
  WORD BitsPerSample() const;
  WORD BytesPerSample() const { return static_cast<WORD>(BitsPerSample() / 8); }
  bool IsCompressed() const { return (dwFlags & WUWAVEFORMAT_COMPRESSED) != 0; }
  // dwChannelMask, or the default mask of nChannels when it is 0.
  DWORD EffectiveChannelMask() const;
  // The mask is 0 or the default mask of nChannels.
  bool IsDefaultChannelMask() const;
  bool IsChannelMaskDefaultFor(UINT channels) const;
  // cbExtra when cbStruct is at least 34, else 0.
  UINT ExtraSize() const;
  // The extra bytes, or null when there are none.
  BYTE* ExtraBytes();
  const BYTE* ExtraBytes() const;
  // Room for extra bytes: cbStruct - 34, between 0 and 1,024.
  UINT ExtraRoom() const;
  // WuAudio_GeneralCopyWfx(dest, size, *this, mode).
  WAVEFORMATEX* CopyToWfx(WAVEFORMATEX* dest, UINT size, WUWAVEFORMAT_COPY_DEST mode) const;

  // Same format: type, rate, channels, compression, effective masks and,
  // for compressed records, tag, byte rate, bits and extra bytes.
  // nBlockAlign, cbStruct and WUWAVEFORMAT_FROMEXTENSIBLE are not compared.
  bool operator==(const _wuwaveformat& other) const;
  // Same format as a platform record of either form.
  bool operator==(const WAVEFORMATEX& wfx) const;
};
static_assert(offsetof(_wuwaveformat, cbStruct) == 0);
static_assert(offsetof(_wuwaveformat, SampleType) == 4);
static_assert(offsetof(_wuwaveformat, nSamplesPerSec) == 8);
static_assert(offsetof(_wuwaveformat, nChannels) == 12);
static_assert(offsetof(_wuwaveformat, nBlockAlign) == 14);
static_assert(offsetof(_wuwaveformat, dwChannelMask) == 16);
static_assert(offsetof(_wuwaveformat, dwFlags) == 20);
static_assert(offsetof(_wuwaveformat, wFormatTag) == 24);
static_assert(offsetof(_wuwaveformat, wBitsPerSample) == 26);
static_assert(offsetof(_wuwaveformat, nAvgBytesPerSec) == 28);
static_assert(offsetof(_wuwaveformat, cbExtra) == kWuWaveFormatFieldBytes);
static_assert(offsetof(_wuwaveformat, abExtra) == kWuWaveFormatExtraOffset);
static_assert(sizeof(_wuwaveformat) == 36);

// A record with room for extra bytes, 128 bytes in all (94 extra bytes);
// the functions that convert one platform record into another use one.
struct _wuwaveformat_plus : _wuwaveformat {
  BYTE abRoom[128 - sizeof(_wuwaveformat)];  // the rest of the extra bytes
  _wuwaveformat_plus() : _wuwaveformat(), abRoom() {}
  // Init(128, wfx).
  explicit _wuwaveformat_plus(const WAVEFORMATEX& wfx) : _wuwaveformat_plus() {
    Init(128, wfx);
  }
};
static_assert(sizeof(_wuwaveformat_plus) == 128);

// Copies the record: min(destSize, source length) bytes (32, or 34 + n with
// n extra bytes), the rest up to destSize zeroed; extra bytes that do not
// fit the destination's room (destSize - 34) are dropped whole. destSize 0
// means 32. The mode is not used. Returns dest.
_wuwaveformat* WuAudio_GeneralCopyWuWaveFormat(_wuwaveformat* dest, UINT destSize,
                                               const _wuwaveformat& src,
                                               WUWAVEFORMAT_COPY_DEST mode);

// Writes the record into a platform record of destSize bytes under the
// mode. Typed records get block align and byte rate from their type and
// never carry extra bytes; compressed records keep theirs, and extra bytes
// beyond destSize are cut. An extensible form is never written into fewer
// than 40 bytes (the record is then written plain). Returns dest.
WAVEFORMATEX* WuAudio_GeneralCopyWfx(WAVEFORMATEX* dest, UINT destSize, const _wuwaveformat& src,
                                     WUWAVEFORMAT_COPY_DEST mode);

// A new platform record in zero-filled, locked, movable global memory,
// 18 or 40 bytes by the mode plus the extra bytes; null when allocation
// fails. The caller unlocks and frees the block.
WAVEFORMATEX* WuAudio_AllocAndCopyWfx(const _wuwaveformat& src, WUWAVEFORMAT_COPY_DEST mode);
WAVEFORMATEX* WuAudio_AllocAndCopyWfx(const _wuwaveformat* src, WUWAVEFORMAT_COPY_DEST mode);
// The same from a platform record: mode 0, an extensible record in mode 4
// and a plain one in modes 1 and 2 are duplicated as they stand (18 +
// cbSize bytes); other cases go through a _wuwaveformat_plus.
WAVEFORMATEX* WuAudio_AllocAndCopyWfx(const WAVEFORMATEX* src, WUWAVEFORMAT_COPY_DEST mode);

// Converts a platform record into another under the mode, through a
// _wuwaveformat_plus. WuAudio_CopyWfExt writes 40 bytes.
WAVEFORMATEX* WuAudio_CopyWfx(WAVEFORMATEX* dest, UINT destSize, const WAVEFORMATEX* src,
                              WUWAVEFORMAT_COPY_DEST mode);
WAVEFORMATEX* WuAudio_CopyWfExt(WAVEFORMATEXTENSIBLE* dest, const WAVEFORMATEX* src,
                                WUWAVEFORMAT_COPY_DEST mode);

// An 18-byte platform record made from a record in mode 1.
struct _wuwaveformat_wfxcopyhelper : WAVEFORMATEX {
  explicit _wuwaveformat_wfxcopyhelper(const _wuwaveformat& record);
};
static_assert(sizeof(_wuwaveformat_wfxcopyhelper) == 18);

// A 40-byte extensible platform record made from a record in mode 0.
struct _wuwaveformat_wfxecopyhelper : WAVEFORMATEXTENSIBLE {
  explicit _wuwaveformat_wfxecopyhelper(const _wuwaveformat& record);
};
static_assert(sizeof(_wuwaveformat_wfxecopyhelper) == 40);

// A platform record with room for extra bytes, 136 bytes in all.
struct _wuwaveformat_wfxplus : WAVEFORMATEX {
  BYTE abRoom[136 - sizeof(WAVEFORMATEX)];  // extensible fields and extra bytes
  _wuwaveformat_wfxplus() : WAVEFORMATEX(), abRoom() {}
  // WuAudio_GeneralCopyWfx(this, 136, record, 0).
  explicit _wuwaveformat_wfxplus(const _wuwaveformat& record);
  // WuAudio_CopyWfx(this, 136, src, mode).
  void Init(const WAVEFORMATEX* src, WUWAVEFORMAT_COPY_DEST mode);
};
static_assert(sizeof(_wuwaveformat_wfxplus) == 136);
