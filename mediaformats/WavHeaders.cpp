// WAV, Wave64 and AIFF file headers.
#include "mediaformats/WavHeaders.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/WuWfx.h"
#include "foundation/WuString.h"
#include "mediaformats/Iff.h"
#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/WaveFmtBody.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"

const GUID kW64GuidData = {0x61746164, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
const GUID kW64GuidJunk = {0x6B6E756A, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};

namespace {

using riffbytes::Put16;
using riffbytes::Put32;

// The format chunk written by every writer.
constexpr DWORD kFmtBytes = wavefmt::kPlainBytes;
// Where a canonical header keeps its format and its stated size, and
// where the search for the data chunk starts after an 18-byte format.
constexpr DWORD kWavFmtOffset = 20;
constexpr DWORD kWavFmtSizeOffset = 16;
constexpr DWORD kWavAfterFmt = 38;
constexpr ULONGLONG kW64FmtOffset = 64;
constexpr ULONGLONG kW64FmtSizeOffset = 56;
constexpr ULONGLONG kW64AfterFmt = 88;
// The headers of a 16-byte format (the one most programs write), and where
// its data chunk starts: the repair writes them when the audio starts
// there.
constexpr DWORD kWavShortHeaderBytes = kWavHeaderBytes - 2;
constexpr DWORD kWavShortAfterFmt = kWavAfterFmt - 2;
constexpr ULONGLONG kW64ShortHeaderBytes = kW64HeaderBytes - 8;
constexpr ULONGLONG kW64ShortAfterFmt = kW64AfterFmt - 8;
// Bytes scanned per step of the repair scan.
constexpr DWORD kScanBlock = 4096;
// The size of the block WuGetFileWfx returns at least.
constexpr DWORD kFormatBlockBytes = wavefmt::kExtensibleBytes;

// Closes a handle on every exit.
struct FileCloser {
  HANDLE h;
  ~FileCloser() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

// Puts a handle's position back on every exit.
struct PositionKeeper {
  HANDLE h;
  LONGLONG at;
  explicit PositionKeeper(HANDLE file) : h(file), at(rifffile::Tell(file)) {}
  ~PositionKeeper() {
    if (at >= 0) rifffile::SeekTo(h, static_cast<ULONGLONG>(at));
  }
};

HANDLE OpenForReading(LPCWSTR path) {
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

HANDLE OpenForWriting(LPCWSTR path, DWORD disposition) {
  return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, 0,
                     nullptr);
}

// New files always start empty.
DWORD FreshDisposition(DWORD disposition) {
  if (disposition == OPEN_EXISTING) return TRUNCATE_EXISTING;
  if (disposition == OPEN_ALWAYS) return CREATE_ALWAYS;
  return disposition;
}

bool IsPcmTag(WORD tag) { return tag == WAVE_FORMAT_PCM; }

// The writers' check: no extra bytes; PCM of other than 20 bits with the
// block align its bits give.
HRESULT CheckWritable(const WAVEFORMATEX* wfx) {
  if (!wfx) return E_POINTER;
  if (wfx->cbSize != 0) return WAV_E_FORMAT;
  if (IsPcmTag(wfx->wFormatTag) &&
      (wfx->wBitsPerSample == 20 ||
       wfx->nBlockAlign != wfx->nChannels * (wfx->wBitsPerSample / 8)))
    return WAV_E_FORMAT;
  return S_OK;
}

// The 18 bytes of a plain format as they go to the file.
void EncodeFormat(const WAVEFORMATEX& wfx, BYTE out[kFmtBytes]) {
  Put16(out, wfx.wFormatTag);
  Put16(out + 2, wfx.nChannels);
  Put32(out + 4, wfx.nSamplesPerSec);
  Put32(out + 8, wfx.nAvgBytesPerSec);
  Put16(out + 12, wfx.nBlockAlign);
  Put16(out + 14, wfx.wBitsPerSample);
  Put16(out + 16, 0);
}

// A WAV header of header_size bytes at the position (46, or 54 and more),
// with a "fmt " chunk of fmt_bytes (18; the repair also writes the
// 16-byte form, whose headers are 2 bytes shorter).
HRESULT WriteWavHeader(HANDLE file, const WAVEFORMATEX& wfx, DWORD data_size, DWORD header_size,
                       DWORD fmt_bytes = kFmtBytes) {
  ULONGLONG riff_size = static_cast<ULONGLONG>(data_size) + header_size - 8;
  if (riff_size > kRiffMaxFormSize) return RIFF_E_TOO_LARGE;
  const DWORD shorter = kFmtBytes - fmt_bytes;
  BYTE format[kFmtBytes];
  EncodeFormat(wfx, format);
  HRESULT hr = riff_WriteFileID(file, RiffId("WAVE"), static_cast<DWORD>(riff_size));
  if (SUCCEEDED(hr)) hr = riff_WriteChunk(file, RiffId("fmt "), format, fmt_bytes, nullptr);
  if (SUCCEEDED(hr) && header_size > kWavHeaderBytes - shorter) {
    std::vector<BYTE> zeros(header_size - (kWavJunkHeaderBytes - shorter));
    hr = riff_WriteChunk(file, RiffId("JUNK"), zeros.data(), static_cast<DWORD>(zeros.size()),
                         nullptr);
  }
  if (SUCCEEDED(hr)) hr = riff_WriteChunkHeader(file, RiffId("data"), data_size);
  return hr;
}

// A Wave64 header of header_size bytes at the position (112, or 136 and
// more), with a fmt chunk of fmt_bytes (18; the repair also writes the
// 16-byte form, whose chunk needs no padding and whose headers are 8 bytes
// shorter).
HRESULT WriteW64Header(HANDLE file, const WAVEFORMATEX& wfx, ULONGLONG data_size,
                       ULONGLONG header_size, DWORD fmt_bytes = kFmtBytes) {
  const ULONGLONG shorter = riffbytes::Pad8(kFmtBytes) - riffbytes::Pad8(fmt_bytes);
  BYTE format[kFmtBytes];
  EncodeFormat(wfx, format);
  // The form size counts the form type and the chunks: the stored size,
  // the whole file, is this plus the 24-byte header.
  HRESULT hr = riff64_WriteFileID(file, kRiff64GuidWave, data_size + header_size - 24);
  if (SUCCEEDED(hr)) hr = riff64_WriteChunk(file, kRiff64GuidFmt, format, fmt_bytes, nullptr);
  if (SUCCEEDED(hr) && header_size > kW64HeaderBytes - shorter) {
    std::vector<BYTE> zeros(header_size - (kW64JunkHeaderBytes - shorter));
    hr = riff64_WriteChunkHeader(file, kW64GuidJunk, zeros.size());
    if (SUCCEEDED(hr) && !zeros.empty()) hr = riff64_WriteToFile(file, zeros.data(), zeros.size());
  }
  if (SUCCEEDED(hr)) hr = riff64_WriteChunkHeader(file, kW64GuidData, data_size);
  return hr;
}

// Creates the file and writes a header through `write`.
template <typename Write>
HRESULT CreateWithHeader(LPCWSTR path, DWORD disposition, Write write) {
  FileCloser file{OpenForWriting(path, FreshDisposition(disposition))};
  if (file.h == INVALID_HANDLE_VALUE) return RIFF_E_OPEN;
  return write(file.h);
}

// An 18-byte platform record of a record, as the record stands.
struct RecordFormat {
  _wuwaveformat_wfxplus plus;
  explicit RecordFormat(const _wuwaveformat* record) {
    if (record) WuAudio_GeneralCopyWfx(&plus, sizeof plus, *record, WUCOPYDEST_ASSOURCE);
  }
  const WAVEFORMATEX* get(const _wuwaveformat* record) const { return record ? &plus : nullptr; }
};

// Reads a "fmt " body of `size` bytes into a zero-filled block of at
// least 40 bytes from the runtime heap; null when the chunk is larger than
// the cap or cannot be read.
WAVEFORMATEX* ReadFormatBlock(HANDLE file, ULONGLONG size, bool wave64) {
  if (size > kWavMaxFmtBytes) return nullptr;
  DWORD count = static_cast<DWORD>(size);
  std::vector<BYTE> body(std::max<DWORD>(count, 1));
  HRESULT hr = wave64 ? riff64_ReadData(file, body.data(), count)
                      : riff_ReadData(file, body.data(), count);
  if (FAILED(hr)) return nullptr;
  DWORD block = std::max(count, kFormatBlockBytes);
  auto* out = static_cast<BYTE*>(std::calloc(1, block));
  if (!out) return nullptr;
  WAVEFORMATEXTENSIBLE decoded;
  wavefmt::DecodeBody(body.data(), count, &decoded);
  std::memcpy(out, &decoded, sizeof decoded);
  if (count > kFormatBlockBytes)
    std::memcpy(out + kFormatBlockBytes, body.data() + kFormatBlockBytes, count - kFormatBlockBytes);
  return reinterpret_cast<WAVEFORMATEX*>(out);
}

// The PCM repair, before the compression test: 20 bits are read as 24,
// and whole-byte samples get the block align their bits give. Other bit
// depths keep their block align, so the test refuses what cannot be read.
void RepairPcm(WAVEFORMATEX* wfx) {
  WORD tag = wfx->wFormatTag;
  if (tag != WAVE_FORMAT_PCM && tag != 0xFE01 && tag != 0xFE02) return;
  if (wfx->wBitsPerSample == 20) wfx->wBitsPerSample = 24;
  if (wfx->wBitsPerSample % 8 == 0) {
    WORD align = static_cast<WORD>(wfx->nChannels * (wfx->wBitsPerSample / 8));
    if (wfx->nBlockAlign != align) wfx->nBlockAlign = align;
  }
}

// Repairs and tests a format read from a file; frees it and gives null
// when it is compressed or has no block align.
WAVEFORMATEX* AcceptPlain(WAVEFORMATEX* wfx) {
  if (!wfx) return nullptr;
  RepairPcm(wfx);
  if (WuAudio_IsCompressed(wfx) || wfx->nBlockAlign == 0) {
    std::free(wfx);
    return nullptr;
  }
  return wfx;
}

// The fmt chunk of a WAV form from the start of the file: the file then
// stands after it and *left holds the rest of the form.
WAVEFORMATEX* ReadWavFormat(HANDLE file, DWORD* left) {
  DWORD form_bytes = 0;
  FOURCC form_type = 0;
  if (!rifffile::SeekTo(file, 0) || FAILED(riff_ReadFileID(file, &form_bytes, &form_type)) ||
      form_type != RiffId("WAVE"))
    return nullptr;
  *left = form_bytes;
  DWORD size = 0;
  if (FAILED(riff_FindChunkHeader(file, RiffId("fmt "), &size, left))) return nullptr;
  WAVEFORMATEX* wfx = ReadFormatBlock(file, size, false);
  ULONGLONG padded = riffbytes::PadEven(size);
  *left = padded >= *left ? 0 : *left - static_cast<DWORD>(padded);
  return wfx;
}

WAVEFORMATEX* ReadW64Format(HANDLE file, LONGLONG* left) {
  ULONGLONG form_bytes = 0;
  GUID form_type = {};
  if (!rifffile::SeekTo(file, 0) || FAILED(riff64_ReadFileID(file, &form_bytes, &form_type)) ||
      !IsEqualGUID(form_type, kRiff64GuidWave))
    return nullptr;
  *left = static_cast<LONGLONG>(std::min<ULONGLONG>(form_bytes, 0x7FFFFFFFFFFFFFFFull));
  ULONGLONG size = 0;
  if (FAILED(riff64_FindChunkHeader(file, kRiff64GuidFmt, &size, left))) return nullptr;
  WAVEFORMATEX* wfx = ReadFormatBlock(file, size, true);
  ULONGLONG used = riffbytes::Pad8(size);
  *left = *left <= 0 || used >= static_cast<ULONGLONG>(*left) ? 0 : *left - static_cast<LONGLONG>(used);
  return wfx;
}

// Bounds of the repair's defaults and checks.
constexpr DWORD kRepairMinRate = 2000;
constexpr DWORD kRepairMaxRate = 192000;
const WAVEFORMATEX kRepairDefaults = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};

// Reads the 18 bytes at `offset` and makes them a writable format;
// *extra_bytes is the cbSize they held.
HRESULT ReadRepairedFormat(HANDLE file, ULONGLONG offset, const WAVEFORMATEX* defaults,
                           WAVEFORMATEX* out, WORD* extra_bytes) {
  const WAVEFORMATEX& d = defaults ? *defaults : kRepairDefaults;
  BYTE bytes[kFmtBytes];
  if (!rifffile::SeekTo(file, offset)) return RIFF_E_READ;
  HRESULT hr = rifffile::ReadExact(file, bytes, kFmtBytes);
  if (FAILED(hr)) return hr;
  *extra_bytes = riffbytes::Get16(bytes + wavefmt::kPcmBytes);
  WAVEFORMATEXTENSIBLE decoded;
  wavefmt::DecodeBody(bytes, kFmtBytes, &decoded);
  WAVEFORMATEX f = decoded.Format;
  if (f.nSamplesPerSec < kRepairMinRate || f.nSamplesPerSec > kRepairMaxRate)
    f.nSamplesPerSec = d.nSamplesPerSec;
  if (f.nChannels != 1 && f.nChannels != 2) f.nChannels = d.nChannels;
  if (f.wFormatTag != WAVE_FORMAT_PCM && f.wFormatTag != WAVE_FORMAT_IEEE_FLOAT)
    f.wFormatTag = d.wFormatTag;
  WORD bits = f.wBitsPerSample;
  if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
    if (bits != 32 && bits != 64) f.wBitsPerSample = d.wBitsPerSample <= 32 ? 32 : 64;
  } else if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    f.wBitsPerSample = d.wBitsPerSample < 32 ? d.wBitsPerSample : 32;
  }
  f.nBlockAlign = static_cast<WORD>(f.nChannels * (f.wBitsPerSample / 8));
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  f.cbSize = 0;
  *out = f;
  return S_OK;
}

// Where the repair searches for the data chunk. The offsets of a
// canonical header assume an 18-byte format, but most programs write a
// 16-byte one and some a larger one (40 bytes for the extensible form):
// when the size the file states for its format chunk is that of a format
// (16, or 18 plus the cbSize the format holds), the search starts where
// that chunk ends. Otherwise the chunk search starts after an 18-byte
// format and the byte scan where a 16-byte one ends, so that a data chunk
// after either is found and never taken for audio.
struct RepairSearch {
  ULONGLONG chunks;    // where the chunk search starts
  ULONGLONG scan;      // where the byte scan starts
  ULONGLONG body = 0;  // the format chunk's stated body, 0 when not a format's
};

RepairSearch FindRepairSearch(HANDLE file, bool wave64, WORD extra_bytes) {
  const ULONGLONG size_at = wave64 ? kW64FmtSizeOffset : kWavFmtSizeOffset;
  const ULONGLONG body_at = wave64 ? kW64FmtOffset : kWavFmtOffset;
  RepairSearch fixed = wave64 ? RepairSearch{kW64AfterFmt, kW64ShortAfterFmt}
                              : RepairSearch{kWavAfterFmt, kWavShortAfterFmt};
  BYTE stated[8] = {};
  if (!rifffile::SeekTo(file, size_at) ||
      FAILED(rifffile::ReadExact(file, stated, wave64 ? 8 : 4)))
    return fixed;
  ULONGLONG body = wave64 ? riffbytes::Get64(stated) : riffbytes::Get32(stated);
  if (wave64) {
    // A Wave64 size counts the chunk's own header.
    if (body < kRiff64HeaderBytes) return fixed;
    body -= kRiff64HeaderBytes;
  }
  bool format = body == wavefmt::kPcmBytes ||
                (body >= kFmtBytes && body <= kWavMaxFmtBytes && extra_bytes == body - kFmtBytes);
  if (!format) return fixed;
  ULONGLONG end = body_at + (wave64 ? riffbytes::Pad8(body) : riffbytes::PadEven(body));
  return {end, end, body};
}

// Whether writing a header over the first `start` bytes keeps the audio
// of the data chunk that the form's own chunks lead to (walked from the
// first chunk, within the file): a file whose data comes first, or whose
// repair start lies past its data chunk, would have audio turned into
// header.
bool KeepsWalkedAudio(HANDLE file, bool wave64, ULONGLONG start) {
  LONGLONG size = rifffile::Size(file);
  ULONGLONG first = wave64 ? kRiff64DataStart : kRiffDataStart;
  if (size < 0 || static_cast<ULONGLONG>(size) < first || !rifffile::SeekTo(file, first)) return true;
  HRESULT hr;
  if (wave64) {
    LONGLONG left = size - static_cast<LONGLONG>(first);
    hr = riff64_FindChunkHeader(file, kW64GuidData, nullptr, &left);
  } else {
    DWORD left = static_cast<DWORD>(std::min<ULONGLONG>(size - first, 0xFFFFFFFFull));
    hr = riff_FindChunkHeader(file, RiffId("data"), nullptr, &left);
  }
  if (FAILED(hr)) return true;
  LONGLONG audio = rifffile::Tell(file);
  return audio < 0 || static_cast<ULONGLONG>(audio) >= start;
}

// Rewrites the header of a file whose own format chunk (a body of `body`
// bytes) and data chunk (its audio at `start`) the chunk search walked to:
// the form size, the format and the data size. The format goes over the
// start of the body, 16 bytes into a 16-byte one, else the 18 bytes and
// zeros to the body's stated end; the chunk keeps its size, and the chunks
// between it and the data ("LIST", "fact" and the like) stay as they are.
HRESULT RewriteFoundHeader(HANDLE file, bool wave64, const WAVEFORMATEX& wfx, ULONGLONG body,
                           ULONGLONG start, ULONGLONG data) {
  const DWORD format_bytes = body == wavefmt::kPcmBytes ? wavefmt::kPcmBytes : kFmtBytes;
  std::vector<BYTE> bytes(static_cast<size_t>(body), 0);
  BYTE format[kFmtBytes];
  EncodeFormat(wfx, format);
  std::memcpy(bytes.data(), format, format_bytes);
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_WRITE;
  HRESULT hr;
  if (wave64) {
    hr = riff64_WriteFileID(file, kRiff64GuidWave, start + data - kRiff64HeaderBytes);
    if (SUCCEEDED(hr)) hr = riff64_WriteChunkHeader(file, kRiff64GuidFmt, body);
  } else {
    ULONGLONG form = start + data - 8;
    if (form > kRiffMaxFormSize) return RIFF_E_TOO_LARGE;
    hr = riff_WriteFileID(file, RiffId("WAVE"), static_cast<DWORD>(form));
    if (SUCCEEDED(hr)) hr = riff_WriteChunkHeader(file, RiffId("fmt "), static_cast<DWORD>(body));
  }
  if (SUCCEEDED(hr)) hr = rifffile::WriteExact(file, bytes.data(), static_cast<DWORD>(body));
  if (FAILED(hr)) return hr;
  if (wave64) {
    if (!rifffile::SeekTo(file, start - kRiff64HeaderBytes)) return RIFF_E_WRITE;
    return riff64_WriteChunkHeader(file, kW64GuidData, data);
  }
  if (!rifffile::SeekTo(file, start - 8)) return RIFF_E_WRITE;
  return riff_WriteChunkHeader(file, RiffId("data"), static_cast<DWORD>(data));
}

// Scans the file from `from` for `pattern` in blocks, each next block
// starting the pattern's length before the end of the last. *start = the hit
// + `skip` (*hit set), or `limit` when a block reaches the limit without a
// hit. A hit whose header (`skip` bytes) the file does not hold whole is no
// chunk: the header written for it would run past the end of the file.
HRESULT ScanForData(HANDLE file, ULONGLONG from, ULONGLONG limit, const BYTE* pattern,
                    DWORD length, ULONGLONG skip, ULONGLONG* start, bool* hit) {
  *hit = false;
  LONGLONG size = rifffile::Size(file);
  if (size < 0) return RIFF_E_READ;
  std::vector<BYTE> block(kScanBlock);
  ULONGLONG at = from;
  for (;;) {
    if (!rifffile::SeekTo(file, at)) return RIFF_E_READ;
    DWORD got = 0;
    if (!ReadFile(file, block.data(), kScanBlock, &got, nullptr)) return RIFF_E_READ;
    for (DWORD i = 0; i + length <= got && at + i < limit; ++i) {
      if (at + i + skip <= static_cast<ULONGLONG>(size) &&
          std::memcmp(block.data() + i, pattern, length) == 0) {
        *start = at + i + skip;
        *hit = true;
        return S_OK;
      }
    }
    if (at + got >= limit) {
      *start = limit;
      return S_OK;
    }
    if (got < kScanBlock) return RIFF_E_NOT_FOUND;
    at += got - length;
  }
}

}  // namespace

BOOL WuFileIsWave(LPCWSTR path, BOOL allow_compressed) {
  FileCloser file{OpenForReading(path)};
  if (file.h == INVALID_HANDLE_VALUE) return FALSE;
  DWORD left = 0;
  WAVEFORMATEX* wfx = ReadWavFormat(file.h, &left);
  if (!wfx) return FALSE;
  BOOL result = allow_compressed || !WuAudio_IsCompressed(wfx);
  std::free(wfx);
  return result;
}

BOOL WuFileIsWave64(LPCWSTR path, BOOL allow_compressed) {
  FileCloser file{OpenForReading(path)};
  if (file.h == INVALID_HANDLE_VALUE) return FALSE;
  LONGLONG left = 0;
  WAVEFORMATEX* wfx = ReadW64Format(file.h, &left);
  if (!wfx) return FALSE;
  BOOL result = allow_compressed || !WuAudio_IsCompressed(wfx);
  std::free(wfx);
  return result;
}

BOOL WuFileIsAiff(LPCWSTR path) {
  FileCloser file{OpenForReading(path)};
  if (file.h == INVALID_HANDLE_VALUE) return FALSE;
  return iff_IsAIFFFile(file.h, nullptr);
}

HRESULT WuInitializeWav(LPCWSTR path, const WAVEFORMATEX* wfx, DWORD disposition) {
  HRESULT hr = CheckWritable(wfx);
  if (FAILED(hr)) return hr;
  return CreateWithHeader(path, disposition, [&](HANDLE file) {
    return WriteWavHeader(file, *wfx, 0, kWavHeaderBytes);
  });
}

HRESULT WuInitializeWav(LPCWSTR path, const _wuwaveformat* wfx, DWORD disposition) {
  RecordFormat format(wfx);
  return WuInitializeWav(path, format.get(wfx), disposition);
}

HRESULT WuInitializeWav64(LPCWSTR path, const WAVEFORMATEX* wfx, DWORD disposition) {
  HRESULT hr = CheckWritable(wfx);
  if (FAILED(hr)) return hr;
  return CreateWithHeader(path, disposition, [&](HANDLE file) {
    return WriteW64Header(file, *wfx, 0, kW64HeaderBytes);
  });
}

HRESULT WuInitializeWav64(LPCWSTR path, const _wuwaveformat* wfx, DWORD disposition) {
  RecordFormat format(wfx);
  return WuInitializeWav64(path, format.get(wfx), disposition);
}

HRESULT WuInitializeWavWithJunk(LPCWSTR path, const WAVEFORMATEX* wfx, DWORD disposition,
                                DWORD header_size) {
  HRESULT hr = CheckWritable(wfx);
  if (FAILED(hr)) return hr;
  // The size is checked before the file is created or truncated.
  ULONGLONG size = riffbytes::PadEven(header_size);
  if (size < kWavJunkHeaderBytes || size > kRiffMaxFormSize) return E_INVALIDARG;
  return CreateWithHeader(path, disposition, [&](HANDLE file) {
    return WriteWavHeader(file, *wfx, 0, static_cast<DWORD>(size));
  });
}

HRESULT WuInitializeWavWithJunk(LPCWSTR path, const _wuwaveformat* wfx, DWORD disposition,
                                DWORD header_size) {
  RecordFormat format(wfx);
  return WuInitializeWavWithJunk(path, format.get(wfx), disposition, header_size);
}

HRESULT WuInsertWavHeader(HANDLE file, const WAVEFORMATEX* wfx, DWORD data_size,
                          DWORD header_size) {
  PositionKeeper keep(file);
  LONGLONG file_size = rifffile::Size(file);
  HRESULT hr = CheckWritable(wfx);
  if (FAILED(hr)) return hr;
  if ((header_size & 1) || file_size < kWavHeaderBytes || header_size < kWavHeaderBytes ||
      (header_size > kWavHeaderBytes && header_size < kWavJunkHeaderBytes))
    return RIFF_E_BAD_SIZE;
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_WRITE;
  return WriteWavHeader(file, *wfx, data_size, header_size);
}

HRESULT WuInsertWavHeader(HANDLE file, const _wuwaveformat* wfx, DWORD data_size,
                          DWORD header_size) {
  RecordFormat format(wfx);
  return WuInsertWavHeader(file, format.get(wfx), data_size, header_size);
}

HRESULT WuInsertW64Header(HANDLE file, const WAVEFORMATEX* wfx, LONGLONG data_size,
                          LONGLONG header_size) {
  PositionKeeper keep(file);
  LONGLONG file_size = rifffile::Size(file);
  HRESULT hr = CheckWritable(wfx);
  if (FAILED(hr)) return hr;
  LONGLONG minimum = static_cast<LONGLONG>(kW64HeaderBytes);
  if ((header_size & 7) || file_size < minimum || header_size < minimum ||
      (header_size > minimum && header_size < static_cast<LONGLONG>(kW64JunkHeaderBytes)) ||
      data_size < 0)
    return RIFF_E_BAD_SIZE;
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_WRITE;
  return WriteW64Header(file, *wfx, static_cast<ULONGLONG>(data_size),
                        static_cast<ULONGLONG>(header_size));
}

HRESULT WuInsertW64Header(HANDLE file, const _wuwaveformat* wfx, LONGLONG data_size,
                          LONGLONG header_size) {
  RecordFormat format(wfx);
  return WuInsertW64Header(file, format.get(wfx), data_size, header_size);
}

HRESULT WuFixTrashedWav(HANDLE file, const WAVEFORMATEX* defaults, DWORD limit) {
  PositionKeeper keep(file);
  LONGLONG size64 = rifffile::Size(file);
  if (size64 < 0) return RIFF_E_READ;
  DWORD file_size = static_cast<DWORD>(size64);
  limit = std::min(limit, file_size);
  WAVEFORMATEX wfx;
  WORD extra_bytes = 0;
  HRESULT hr = ReadRepairedFormat(file, kWavFmtOffset, defaults, &wfx, &extra_bytes);
  if (FAILED(hr)) return hr;
  RepairSearch search = FindRepairSearch(file, false, extra_bytes);
  if (!rifffile::SeekTo(file, search.chunks)) return RIFF_E_READ;
  DWORD left = limit > search.chunks ? limit - static_cast<DWORD>(search.chunks) : 0;
  ULONGLONG start = 0;
  bool found = true;
  if (SUCCEEDED(riff_FindChunkHeader(file, RiffId("data"), nullptr, &left))) {
    start = static_cast<ULONGLONG>(rifffile::Tell(file));
    if (search.body) {
      if (!KeepsWalkedAudio(file, false, start)) return RIFF_E_BAD_SIZE;
      ULONGLONG data = file_size - start;
      return RewriteFoundHeader(file, false, wfx, search.body, start, data - data % wfx.nBlockAlign);
    }
  } else {
    static const BYTE kData[4] = {'d', 'a', 't', 'a'};
    hr = ScanForData(file, search.scan, limit, kData, 4, 8, &start, &found);
    if (FAILED(hr)) return hr;
  }
  if (!KeepsWalkedAudio(file, false, start)) return RIFF_E_BAD_SIZE;
  ULONGLONG data = start < file_size ? file_size - start : 0;
  data -= data % wfx.nBlockAlign;
  // A data chunk found where a 16-byte format's header puts it gets that
  // header; any other start below the smallest header is refused, the file
  // as it was.
  if (found && (start == kWavShortHeaderBytes || start == kWavShortHeaderBytes + 8)) {
    if (!rifffile::SeekTo(file, 0)) return RIFF_E_WRITE;
    return WriteWavHeader(file, wfx, static_cast<DWORD>(data), static_cast<DWORD>(start),
                          wavefmt::kPcmBytes);
  }
  if (start > 0xFFFFFFFFull) return RIFF_E_BAD_SIZE;
  return WuInsertWavHeader(file, &wfx, static_cast<DWORD>(data), static_cast<DWORD>(start));
}

HRESULT WuFixTrashedWav(HANDLE file, const _wuwaveformat* defaults, DWORD limit) {
  RecordFormat format(defaults);
  return WuFixTrashedWav(file, format.get(defaults), limit);
}

HRESULT WuFixTrashedW64(HANDLE file, const WAVEFORMATEX* defaults, LONGLONG limit) {
  PositionKeeper keep(file);
  LONGLONG file_size = rifffile::Size(file);
  if (file_size < 0) return RIFF_E_READ;
  limit = std::min<LONGLONG>(limit & ~7LL, file_size);
  if (limit < 0) limit = 0;
  WAVEFORMATEX wfx;
  WORD extra_bytes = 0;
  HRESULT hr = ReadRepairedFormat(file, kW64FmtOffset, defaults, &wfx, &extra_bytes);
  if (FAILED(hr)) return hr;
  RepairSearch search = FindRepairSearch(file, true, extra_bytes);
  if (!rifffile::SeekTo(file, search.chunks)) return RIFF_E_READ;
  LONGLONG from = static_cast<LONGLONG>(search.chunks);
  LONGLONG left = limit > from ? limit - from : 0;
  ULONGLONG start = 0;
  bool found = true;
  if (SUCCEEDED(riff64_FindChunkHeader(file, kW64GuidData, nullptr, &left))) {
    start = static_cast<ULONGLONG>(rifffile::Tell(file));
    if (search.body) {
      if (!KeepsWalkedAudio(file, true, start)) return RIFF_E_BAD_SIZE;
      ULONGLONG data = static_cast<ULONGLONG>(file_size) - start;
      return RewriteFoundHeader(file, true, wfx, search.body, start, data - data % wfx.nBlockAlign);
    }
  } else {
    BYTE guid[riffbytes::kGuidBytes];
    riffbytes::PutGuid(guid, kW64GuidData);
    hr = ScanForData(file, search.scan, static_cast<ULONGLONG>(limit), guid, sizeof guid,
                     kRiff64HeaderBytes, &start, &found);
    if (FAILED(hr)) return hr;
  }
  if (!KeepsWalkedAudio(file, true, start)) return RIFF_E_BAD_SIZE;
  ULONGLONG total = static_cast<ULONGLONG>(file_size);
  ULONGLONG data = start < total ? total - start : 0;
  data -= data % wfx.nBlockAlign;
  // A data chunk found where a 16-byte format's header puts it gets that
  // header; any other start below the smallest header is refused, the file
  // as it was.
  if (found &&
      (start == kW64ShortHeaderBytes || start == kW64ShortHeaderBytes + kRiff64HeaderBytes)) {
    if (!rifffile::SeekTo(file, 0)) return RIFF_E_WRITE;
    return WriteW64Header(file, wfx, data, start, wavefmt::kPcmBytes);
  }
  return WuInsertW64Header(file, &wfx, static_cast<LONGLONG>(data), static_cast<LONGLONG>(start));
}

HRESULT WuFixTrashedW64(HANDLE file, const _wuwaveformat* defaults, LONGLONG limit) {
  RecordFormat format(defaults);
  return WuFixTrashedW64(file, format.get(defaults), limit);
}

WAVEFORMATEX* WuGetWavFileWfx(HANDLE file, DWORD* frames, DWORD* data_offset) {
  PositionKeeper keep(file);
  if (frames) *frames = 0;
  if (data_offset) *data_offset = 0;
  DWORD left = 0;
  WAVEFORMATEX* wfx = AcceptPlain(ReadWavFormat(file, &left));
  if (!wfx) return nullptr;
  DWORD size = 0;
  if (FAILED(riff_FindChunkHeader(file, RiffId("data"), &size, &left))) {
    std::free(wfx);
    return nullptr;
  }
  if (frames) *frames = size / wfx->nBlockAlign;
  if (data_offset) *data_offset = static_cast<DWORD>(rifffile::Tell(file));
  return wfx;
}

WAVEFORMATEX* WuGetW64FileWfx(HANDLE file, ULONGLONG* frames, ULONGLONG* data_offset) {
  PositionKeeper keep(file);
  if (frames) *frames = 0;
  if (data_offset) *data_offset = 0;
  LONGLONG left = 0;
  WAVEFORMATEX* wfx = AcceptPlain(ReadW64Format(file, &left));
  if (!wfx) return nullptr;
  ULONGLONG size = 0;
  if (FAILED(riff64_FindChunkHeader(file, kW64GuidData, &size, &left))) {
    std::free(wfx);
    return nullptr;
  }
  if (frames) *frames = size / wfx->nBlockAlign;
  if (data_offset) *data_offset = static_cast<ULONGLONG>(rifffile::Tell(file));
  return wfx;
}

WAVEFORMATEX* WuGetAiffFileWfx(HANDLE file, DWORD* frames, DWORD* data_offset) {
  PositionKeeper keep(file);
  if (frames) *frames = 0;
  if (data_offset) *data_offset = 0;
  auto* wfx = static_cast<WAVEFORMATEX*>(std::calloc(1, kFormatBlockBytes));
  if (!wfx) return nullptr;
  DWORD count = 0;
  DWORD offset = 0;
  if (FAILED(iff_GetAIFFWfx(file, wfx, &count, &offset))) {
    std::free(wfx);
    return nullptr;
  }
  wfx = AcceptPlain(wfx);
  if (!wfx) return nullptr;
  if (frames) *frames = count;
  if (data_offset) *data_offset = offset;
  return wfx;
}

WAVEFORMATEX* WuGetFileWfx(LPCWSTR path, ULONGLONG* frames, ULONGLONG* data_offset) {
  FileCloser file{OpenForReading(path)};
  if (file.h == INVALID_HANDLE_VALUE) return nullptr;
  ULONGLONG count = 0;
  ULONGLONG offset = 0;
  DWORD count32 = 0;
  DWORD offset32 = 0;
  WAVEFORMATEX* wfx = WuGetWavFileWfx(file.h, &count32, &offset32);
  if (!wfx) wfx = WuGetW64FileWfx(file.h, &count, &offset);
  else count = count32, offset = offset32;
  if (!wfx) {
    wfx = WuGetAiffFileWfx(file.h, &count32, &offset32);
    count = count32;
    offset = offset32;
  }
  if (!wfx) return nullptr;
  if (frames) *frames = count;
  if (data_offset) *data_offset = offset;
  return wfx;
}

namespace {

// The WAV branch of WuSetFileWfx: rewrites the first "fmt " chunk of the
// form in place.
HRESULT SetWavFormat(HANDLE file, const WAVEFORMATEX& wfx) {
  DWORD size = 0;
  DWORD left = 0;
  HRESULT hr = riff_FindChunkHeaderInRIFF(file, RiffId("fmt "), &size, &left);
  if (FAILED(hr)) return hr;
  if (size < wavefmt::kPcmBytes) return WAV_E_FORMAT;
  ULONGLONG body = static_cast<ULONGLONG>(rifffile::Tell(file));
  BYTE format[kFmtBytes];
  EncodeFormat(wfx, format);
  if (size < kFmtBytes) return rifffile::WriteExact(file, format, wavefmt::kPcmBytes);
  // The old chunk's padded extent stays the same.
  ULONGLONG padded = riffbytes::PadEven(size);
  std::vector<BYTE> bytes(static_cast<size_t>(padded), 0);
  std::memcpy(bytes.data(), format, kFmtBytes);
  if (size >= kFmtBytes + 8) {
    Put32(bytes.data() + kFmtBytes, RiffId("JUNK"));
    Put32(bytes.data() + kFmtBytes + 4, static_cast<DWORD>(padded - kFmtBytes - 8));
    if (!rifffile::SeekTo(file, body - 4)) return RIFF_E_WRITE;
    BYTE new_size[4];
    Put32(new_size, kFmtBytes);
    hr = rifffile::WriteExact(file, new_size, 4);
    if (FAILED(hr)) return hr;
    // A chunk whose size was odd had its pad byte already; the new sizes
    // are even, so the padded extent is unchanged.
  } else {
    bytes.resize(size);
  }
  return rifffile::WriteExact(file, bytes.data(), static_cast<DWORD>(bytes.size()));
}

// The AIFF branch: rewrites the first 18 bytes of the "COMM" body.
HRESULT SetAiffFormat(HANDLE file, const WAVEFORMATEX& wfx) {
  DWORD frames = 0;
  HRESULT hr = iff_GetAIFFWfx(file, nullptr, &frames, nullptr);
  if (FAILED(hr)) return hr;
  if (wfx.wFormatTag != WAVE_FORMAT_PCM) return WAV_E_AIFF_NOT_PCM;
  WORD exponent = 0;
  WORD mantissa[4];
  aiff_CreateRate(wfx.nSamplesPerSec, &exponent, mantissa);
  BYTE comm[kAiffCommBytes];
  comm[0] = static_cast<BYTE>(wfx.nChannels >> 8);
  comm[1] = static_cast<BYTE>(wfx.nChannels);
  for (int i = 0; i < 4; ++i) comm[2 + i] = static_cast<BYTE>(frames >> (24 - 8 * i));
  comm[6] = static_cast<BYTE>(wfx.wBitsPerSample >> 8);
  comm[7] = static_cast<BYTE>(wfx.wBitsPerSample);
  const WORD rate[5] = {exponent, mantissa[0], mantissa[1], mantissa[2], mantissa[3]};
  for (int i = 0; i < 5; ++i) {
    comm[8 + 2 * i] = static_cast<BYTE>(rate[i] >> 8);
    comm[9 + 2 * i] = static_cast<BYTE>(rate[i]);
  }
  DWORD form_size = 0;
  if (!iff_IsAIFFFile(file, &form_size)) return RIFF_E_WRONG_FORM;
  if (!rifffile::SeekTo(file, 12)) return RIFF_E_READ;
  DWORD left = form_size >= 4 ? form_size - 4 : 0;
  DWORD comm_size = 0;
  hr = iff_FindChunkHeader(file, IffId("COMM"), &comm_size, &left);
  if (FAILED(hr)) return hr;
  // The 18 bytes go over the body only when the chunk and its form hold
  // them: a shorter body would have them run over the next chunk.
  if (comm_size < kAiffCommBytes || left < kAiffCommBytes) return RIFF_E_WRONG_FORM;
  return rifffile::WriteExact(file, comm, kAiffCommBytes);
}

}  // namespace

HRESULT WuSetFileWfx(LPCWSTR path, const WAVEFORMATEX* wfx) {
  HRESULT hr = CheckWritable(wfx);
  if (FAILED(hr)) return hr;
  FileCloser file{OpenForWriting(path, OPEN_EXISTING)};
  if (file.h == INVALID_HANDLE_VALUE) return RIFF_E_OPEN;
  if (WAVEFORMATEX* current = WuGetWavFileWfx(file.h, nullptr, nullptr)) {
    std::free(current);
    return SetWavFormat(file.h, *wfx);
  }
  return SetAiffFormat(file.h, *wfx);
}
