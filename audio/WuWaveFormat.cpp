#include "audio/WuWaveFormat.h"

#include <algorithm>
#include <cstring>

#include "audio/WuWfx.h"
#include "platform/memory.h"

namespace {

constexpr UINT kPlainSize = sizeof(WAVEFORMATEX);               // 18
constexpr UINT kExtensibleSize = sizeof(WAVEFORMATEXTENSIBLE);  // 40
constexpr UINT kExtensibleCbSize = kExtensibleSize - kPlainSize;  // 22

BYTE* Bytes(_wuwaveformat* record) { return reinterpret_cast<BYTE*>(record); }
const BYTE* Bytes(const _wuwaveformat* record) { return reinterpret_cast<const BYTE*>(record); }

// The common start of the initialisers: sizes up to 32 clear the fields
// after cbStruct and give cbStruct 32; larger sizes clear all `size` bytes.
void ClearRecord(_wuwaveformat* record, DWORD size) {
  if (size <= kWuWaveFormatFieldBytes) {
    std::memset(Bytes(record) + 4, 0, kWuWaveFormatFieldBytes - 4);
    record->cbStruct = kWuWaveFormatFieldBytes;
  } else {
    std::memset(Bytes(record), 0, size);
    record->cbStruct = size;
  }
}

// cbStruct from the extra count: 32 below 34, else 32 + cbExtra.
void SettleSize(_wuwaveformat* record) {
  if (record->cbStruct < kWuWaveFormatExtraOffset)
    record->cbStruct = kWuWaveFormatFieldBytes;
  else
    record->cbStruct = kWuWaveFormatFieldBytes + record->cbExtra;
}

// Takes an extensible record whose sub-format is GUID_NULL as typed by its
// bits when its block align and byte rate agree with its other fields
// (block align counted in bytes).
WUSAMPLETYPE TypeOfNullSubFormat(const WAVEFORMATEX& wfx) {
  DWORD block = static_cast<DWORD>(wfx.nChannels) * (wfx.wBitsPerSample / 8u);
  if (wfx.nBlockAlign != block) return WUSAMPLE_NONE;
  if (static_cast<uint64_t>(wfx.nBlockAlign) * wfx.nSamplesPerSec != wfx.nAvgBytesPerSec)
    return WUSAMPLE_NONE;
  switch (wfx.wBitsPerSample) {
    case 8: return WUSAMPLE_PCM8;
    case 16: return WUSAMPLE_PCM16;
    case 24: return WUSAMPLE_PCM24;
    case 32: return WUSAMPLE_FLOAT32;
    case 64: return WUSAMPLE_FLOAT64;
  }
  return WUSAMPLE_NONE;
}

// Whether the mode asks for the extensible form of this record, given the
// destination size.
bool WantsExtensible(const _wuwaveformat& src, UINT destSize, WUWAVEFORMAT_COPY_DEST mode) {
  switch (mode) {
    case WUCOPYDEST_ASSOURCE:
      return destSize >= kExtensibleSize &&
             ((src.dwFlags & WUWAVEFORMAT_FROMEXTENSIBLE) || !src.IsDefaultChannelMask());
    case WUCOPYDEST_EXTENSIBLEMULTICHANNEL:
      return src.nChannels > 2;
    case WUCOPYDEST_EXTENSIBLE:
      return true;
    default:
      return false;
  }
}

WAVEFORMATEX* DuplicateInGlobalMemory(const void* bytes, SIZE_T size) {
  HGLOBAL block = GlobalAlloc(GHND, size);
  if (!block) return nullptr;
  void* p = GlobalLock(block);
  if (!p) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(p, bytes, size);
  return static_cast<WAVEFORMATEX*>(p);
}

}  // namespace

// ---- Initialisers --------------------------------------------------------------------

void _wuwaveformat::Init(DWORD size, const WAVEFORMATEX& wfx) {
  ClearRecord(this, size);
  nSamplesPerSec = wfx.nSamplesPerSec;
  nChannels = wfx.nChannels;
  nBlockAlign = wfx.nBlockAlign;
  nAvgBytesPerSec = wfx.nAvgBytesPerSec;
  SampleType = WuAudio_GetSampleType(&wfx);

  const BYTE* wfx_bytes = reinterpret_cast<const BYTE*>(&wfx);
  const BYTE* extra = nullptr;
  UINT extra_count = 0;
  switch (wfx.wFormatTag) {
    case WAVE_FORMAT_PCM: {
      WAVEFORMATEX fixed;
      std::memcpy(&fixed, &wfx, sizeof(fixed));
      WuAudio_FixBadWfx(&fixed);
      nBlockAlign = fixed.nBlockAlign;
      break;
    }
    case WAVE_FORMAT_IEEE_FLOAT:
      break;
    case WAVE_FORMAT_EXTENSIBLE: {
      // The extensible fields exist only with cbSize 22 or more; a shorter
      // record has no mask and is not marked as extensible.
      WuWfxExtensibleFields ext;
      if (WuAudio_ReadExtensibleFields(&wfx, &ext)) {
        dwChannelMask = ext.mask;
        dwFlags |= WUWAVEFORMAT_FROMEXTENSIBLE;
      }
      if (SampleType == WUSAMPLE_NONE && ext.sub_format == GUID_NULL &&
          (wfx.cbSize == 0 || wfx.cbSize == kExtensibleCbSize))
        SampleType = TypeOfNullSubFormat(wfx);
      if (wfx.cbSize > kExtensibleCbSize) {
        extra = wfx_bytes + kExtensibleSize;
        extra_count = wfx.cbSize - kExtensibleCbSize;
      }
      break;
    }
    default:
      extra = wfx_bytes + kPlainSize;
      extra_count = wfx.cbSize;
      break;
  }

  if (SampleType != WUSAMPLE_NONE) {
    cbStruct = kWuWaveFormatFieldBytes;
    return;
  }
  dwFlags |= WUWAVEFORMAT_COMPRESSED;
  wFormatTag = WuAudio_GetWaveFormatTag(&wfx);
  wBitsPerSample = wfx.wBitsPerSample;
  if (extra_count != 0 && size >= kWuWaveFormatExtraOffset) {
    UINT n = std::min({extra_count, size - kWuWaveFormatExtraOffset, kWuWaveFormatMaxExtra});
    cbExtra = static_cast<WORD>(n);
    std::memcpy(Bytes(this) + kWuWaveFormatExtraOffset, extra, n);
  }
  SettleSize(this);
}

void _wuwaveformat::Init(DWORD rate, WUSAMPLETYPE type, UINT channels, DWORD mask, DWORD size) {
  ClearRecord(this, size);
  nSamplesPerSec = rate;
  SampleType = type;
  nChannels = static_cast<WORD>(channels);
  dwChannelMask = mask;
  nBlockAlign = static_cast<WORD>(WuAudio_BytesFromSampleType(type) * channels);
  nAvgBytesPerSec = static_cast<DWORD>(nBlockAlign) * rate;
}

void _wuwaveformat::InitAsWfx(WORD tag, DWORD rate, WORD bits, WORD channels, DWORD mask,
                              DWORD size) {
  ClearRecord(this, size);
  if (tag == WAVE_FORMAT_PCM && bits == 20) bits = 24;
  SampleType = WuAudio_GetSampleType2(tag, bits);
  if (SampleType == WUSAMPLE_NONE) {
    dwFlags |= WUWAVEFORMAT_COMPRESSED;
    wFormatTag = tag;
    wBitsPerSample = bits;
  }
  nChannels = channels;
  dwChannelMask = mask;
  nBlockAlign = static_cast<WORD>((static_cast<DWORD>(channels) * bits) / 8);
  nSamplesPerSec = rate;
  nAvgBytesPerSec = static_cast<DWORD>(nBlockAlign) * rate;
}

_wuwaveformat& _wuwaveformat::InitFromWfx(const WAVEFORMATEX& wfx) {
  Init(kWuWaveFormatFieldBytes, wfx);
  return *this;
}

// ---- Accessors --------------------------------------------------------------------------

DWORD _wuwaveformat::UpdateBlockAlign() {
  if (SampleType != WUSAMPLE_NONE) {
    nBlockAlign = static_cast<WORD>(WuAudio_BytesFromSampleType(SampleType) * nChannels);
    nAvgBytesPerSec = static_cast<DWORD>(nBlockAlign) * nSamplesPerSec;
  }
  return nBlockAlign;
}

WORD _wuwaveformat::FormatTag() const {
  if (IsCompressed()) return wFormatTag;
  return static_cast<WORD>(WuAudio_FormatTagFromSampleType(SampleType));
}

WORD _wuwaveformat::BitsPerSample() const {
  if (IsCompressed()) return wBitsPerSample;
  return static_cast<WORD>(WuAudio_BitsFromSampleType(SampleType));
}

DWORD _wuwaveformat::EffectiveChannelMask() const {
  return dwChannelMask != 0 ? dwChannelMask : WuAudio_DefaultChannelMask(nChannels);
}

bool _wuwaveformat::IsDefaultChannelMask() const { return IsChannelMaskDefaultFor(nChannels); }

bool _wuwaveformat::IsChannelMaskDefaultFor(UINT channels) const {
  return dwChannelMask == 0 || dwChannelMask == WuAudio_DefaultChannelMask(channels);
}

UINT _wuwaveformat::ExtraSize() const {
  return cbStruct >= kWuWaveFormatExtraOffset ? cbExtra : 0;
}

BYTE* _wuwaveformat::ExtraBytes() {
  return ExtraSize() != 0 ? Bytes(this) + kWuWaveFormatExtraOffset : nullptr;
}

const BYTE* _wuwaveformat::ExtraBytes() const {
  return ExtraSize() != 0 ? Bytes(this) + kWuWaveFormatExtraOffset : nullptr;
}

UINT _wuwaveformat::ExtraRoom() const {
  if (cbStruct < kWuWaveFormatExtraOffset) return 0;
  return std::min(cbStruct - kWuWaveFormatExtraOffset, kWuWaveFormatMaxExtra);
}

WAVEFORMATEX* _wuwaveformat::CopyToWfx(WAVEFORMATEX* dest, UINT size,
                                       WUWAVEFORMAT_COPY_DEST mode) const {
  return WuAudio_GeneralCopyWfx(dest, size, *this, mode);
}

// ---- Comparisons ------------------------------------------------------------------------

bool _wuwaveformat::operator==(const _wuwaveformat& other) const {
  if (SampleType != other.SampleType || nSamplesPerSec != other.nSamplesPerSec ||
      nChannels != other.nChannels)
    return false;
  if (IsCompressed() != other.IsCompressed()) return false;
  if (dwChannelMask != other.dwChannelMask &&
      EffectiveChannelMask() != other.EffectiveChannelMask())
    return false;
  if (!IsCompressed()) return true;
  if (wFormatTag != other.wFormatTag || nAvgBytesPerSec != other.nAvgBytesPerSec ||
      wBitsPerSample != other.wBitsPerSample)
    return false;
  UINT n = ExtraSize();
  if (n != other.ExtraSize()) return false;
  return n == 0 || std::memcmp(ExtraBytes(), other.ExtraBytes(), n) == 0;
}

bool _wuwaveformat::operator==(const WAVEFORMATEX& wfx) const {
  if (nSamplesPerSec != wfx.nSamplesPerSec || nChannels != wfx.nChannels) return false;
  if (IsCompressed()) {
    if (wFormatTag != wfx.wFormatTag || nAvgBytesPerSec != wfx.nAvgBytesPerSec ||
        wBitsPerSample != wfx.wBitsPerSample)
      return false;
  } else if (SampleType != WuAudio_GetSampleType(&wfx)) {
    return false;
  }
  WuWfxExtensibleFields ext;
  WuAudio_ReadExtensibleFields(&wfx, &ext);
  if (ext.mask != dwChannelMask) {
    DWORD wfx_mask = ext.mask != 0 ? ext.mask : WuAudio_DefaultChannelMask(wfx.nChannels);
    if (wfx_mask != EffectiveChannelMask()) return false;
  }
  if (!IsCompressed()) return true;
  bool extensible = wfx.wFormatTag == WAVE_FORMAT_EXTENSIBLE;
  UINT wfx_extra = extensible ? static_cast<WORD>(wfx.cbSize - kExtensibleCbSize) : wfx.cbSize;
  UINT n = ExtraSize();
  if (n != wfx_extra) return false;
  const BYTE* wfx_bytes =
      reinterpret_cast<const BYTE*>(&wfx) + (extensible ? kExtensibleSize : kPlainSize);
  return n == 0 || std::memcmp(ExtraBytes(), wfx_bytes, n) == 0;
}

// ---- Copies -----------------------------------------------------------------------------

_wuwaveformat* WuAudio_GeneralCopyWuWaveFormat(_wuwaveformat* dest, UINT destSize,
                                               const _wuwaveformat& src,
                                               WUWAVEFORMAT_COPY_DEST mode) {
  (void)mode;
  // Every record has its 32 bytes of fields.
  if (destSize < kWuWaveFormatFieldBytes) destSize = kWuWaveFormatFieldBytes;
  UINT n = src.ExtraSize();
  UINT source_length = n != 0 ? kWuWaveFormatExtraOffset + n : kWuWaveFormatFieldBytes;
  if (dest != &src) std::memmove(dest, &src, std::min(destSize, source_length));
  if (destSize > source_length) std::memset(Bytes(dest) + source_length, 0, destSize - source_length);
  dest->cbStruct = destSize;
  if (destSize >= kWuWaveFormatExtraOffset && n > dest->ExtraRoom()) {
    // Dropped whole: nothing of it stays behind in the destination.
    dest->cbExtra = 0;
    std::memset(Bytes(dest) + kWuWaveFormatExtraOffset, 0, destSize - kWuWaveFormatExtraOffset);
  }
  SettleSize(dest);
  return dest;
}

WAVEFORMATEX* WuAudio_GeneralCopyWfx(WAVEFORMATEX* dest, UINT destSize, const _wuwaveformat& src,
                                     WUWAVEFORMAT_COPY_DEST mode) {
  // An extensible record needs 40 bytes: a smaller destination gets the
  // plain form, as in mode 1.
  bool extensible = WantsExtensible(src, destSize, mode) && destSize >= kExtensibleSize;
  if (src.IsCompressed()) {
    UINT n = src.ExtraSize();
    WAVEFORMATEX header;
    header.wFormatTag = src.wFormatTag;
    header.nChannels = src.nChannels;
    header.nSamplesPerSec = src.nSamplesPerSec;
    header.wBitsPerSample = src.wBitsPerSample;
    header.nBlockAlign = src.nBlockAlign;
    header.nAvgBytesPerSec = src.nAvgBytesPerSec;
    header.cbSize = 0;
    if (extensible || (!src.IsDefaultChannelMask() && destSize >= kExtensibleSize + n)) {
      WAVEFORMATEXTENSIBLE ext;
      ext.Format = header;
      ext.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
      ext.Format.cbSize = kExtensibleCbSize;
      ext.Samples.wValidBitsPerSample = src.wBitsPerSample;
      ext.dwChannelMask = src.dwChannelMask;
      ext.SubFormat = WuAudio_BaseGuid(src.wFormatTag);
      std::memcpy(dest, &ext, sizeof(ext));
    } else {
      std::memcpy(dest, &header, sizeof(header));
    }
    if (n != 0) {
      int64_t room = static_cast<int64_t>(destSize) - dest->cbSize - kPlainSize;
      if (room > 0) {
        UINT count = static_cast<UINT>(std::min<int64_t>(room, n));
        std::memcpy(reinterpret_cast<BYTE*>(dest) + kPlainSize + dest->cbSize, src.ExtraBytes(),
                    count);
        dest->cbSize = static_cast<WORD>(dest->cbSize + count);
      }
    }
    return dest;
  }

  UINT tag = WuAudio_FormatTagFromSampleType(src.SampleType);
  UINT bits = WuAudio_BitsFromSampleType(src.SampleType);
  if (extensible) {
    WuAudio_InitWfExt(reinterpret_cast<WAVEFORMATEXTENSIBLE*>(dest), WuAudio_BaseGuid(tag),
                      src.nSamplesPerSec, bits, src.nChannels, bits, src.dwChannelMask);
    return dest;
  }
  DWORD mask = mode == WUCOPYDEST_PLAIN ? 0 : src.dwChannelMask;
  WuAudio_InitWfxFlex(dest, tag, src.nSamplesPerSec, bits, src.nChannels, mask, destSize);
  return dest;
}

WAVEFORMATEX* WuAudio_AllocAndCopyWfx(const _wuwaveformat& src, WUWAVEFORMAT_COPY_DEST mode) {
  bool large = false;
  switch (mode) {
    case WUCOPYDEST_ASSOURCE:
      large = (src.dwFlags & WUWAVEFORMAT_FROMEXTENSIBLE) || !src.IsDefaultChannelMask();
      break;
    case WUCOPYDEST_PLAINUNLESSMASK:
      large = !src.IsDefaultChannelMask();
      break;
    case WUCOPYDEST_EXTENSIBLEMULTICHANNEL:
      large = src.nChannels > 2;
      break;
    case WUCOPYDEST_EXTENSIBLE:
      large = true;
      break;
    default:
      break;
  }
  UINT size = (large ? kExtensibleSize : kPlainSize) + src.ExtraSize();
  HGLOBAL block = GlobalAlloc(GHND, size);
  if (!block) return nullptr;
  auto* dest = static_cast<WAVEFORMATEX*>(GlobalLock(block));
  if (!dest) {
    GlobalFree(block);
    return nullptr;
  }
  return WuAudio_GeneralCopyWfx(dest, size, src, mode);
}

WAVEFORMATEX* WuAudio_AllocAndCopyWfx(const _wuwaveformat* src, WUWAVEFORMAT_COPY_DEST mode) {
  if (!src) return nullptr;
  return WuAudio_AllocAndCopyWfx(*src, mode);
}

WAVEFORMATEX* WuAudio_AllocAndCopyWfx(const WAVEFORMATEX* src, WUWAVEFORMAT_COPY_DEST mode) {
  if (!src) return nullptr;
  bool extensible = src->wFormatTag == WAVE_FORMAT_EXTENSIBLE;
  if (mode == WUCOPYDEST_ASSOURCE || (extensible && mode == WUCOPYDEST_EXTENSIBLE) ||
      (!extensible && (mode == WUCOPYDEST_PLAINUNLESSMASK || mode == WUCOPYDEST_PLAIN)))
    return DuplicateInGlobalMemory(src, kPlainSize + src->cbSize);
  _wuwaveformat_plus record(*src);
  return WuAudio_AllocAndCopyWfx(record, mode);
}

WAVEFORMATEX* WuAudio_CopyWfx(WAVEFORMATEX* dest, UINT destSize, const WAVEFORMATEX* src,
                              WUWAVEFORMAT_COPY_DEST mode) {
  _wuwaveformat_plus record(*src);
  return WuAudio_GeneralCopyWfx(dest, destSize, record, mode);
}

WAVEFORMATEX* WuAudio_CopyWfExt(WAVEFORMATEXTENSIBLE* dest, const WAVEFORMATEX* src,
                                WUWAVEFORMAT_COPY_DEST mode) {
  return WuAudio_CopyWfx(&dest->Format, kExtensibleSize, src, mode);
}

// ---- Wrapper records --------------------------------------------------------------------

_wuwaveformat_wfxcopyhelper::_wuwaveformat_wfxcopyhelper(const _wuwaveformat& record)
    : WAVEFORMATEX() {
  WuAudio_GeneralCopyWfx(this, kPlainSize, record, WUCOPYDEST_PLAINUNLESSMASK);
}

_wuwaveformat_wfxecopyhelper::_wuwaveformat_wfxecopyhelper(const _wuwaveformat& record)
    : WAVEFORMATEXTENSIBLE() {
  WuAudio_GeneralCopyWfx(&Format, kExtensibleSize, record, WUCOPYDEST_ASSOURCE);
}

_wuwaveformat_wfxplus::_wuwaveformat_wfxplus(const _wuwaveformat& record)
    : _wuwaveformat_wfxplus() {
  WuAudio_GeneralCopyWfx(this, sizeof(*this), record, WUCOPYDEST_ASSOURCE);
}

void _wuwaveformat_wfxplus::Init(const WAVEFORMATEX* src, WUWAVEFORMAT_COPY_DEST mode) {
  WuAudio_CopyWfx(this, sizeof(*this), src, mode);
}
