// IFF chunk input and output on open files, and the AIFF readers.
#include "mediaformats/Iff.h"

#include <cmath>

#include "foundation/WuString.h"
#include "mediaformats/RiffBytes.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/WuBigEndian.h"

namespace {

using bigendian::Get16;
using bigendian::Get32;

void PutBe32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (24 - 8 * i));
}
void PutBe16(BYTE* p, WORD v) {
  p[0] = static_cast<BYTE>(v >> 8);
  p[1] = static_cast<BYTE>(v);
}

WORD Swap16(WORD v) { return static_cast<WORD>(v << 8 | v >> 8); }
DWORD Swap32(DWORD v) {
  return v << 24 | (v & 0xFF00) << 8 | (v >> 8 & 0xFF00) | v >> 24;
}

// Offset of the form's first chunk.
constexpr DWORD kFormDataStart = 12;
// Bytes a chunk header takes.
constexpr DWORD kHeaderBytes = 8;
// Compression types of AIFF-C that hold plain samples.
constexpr DWORD kCompressionNone = IffId("NONE");
constexpr DWORD kCompressionSowt = IffId("sowt");
// The rate given to a negative 80-bit value.
constexpr DWORD kDefaultRate = 44100;
// Below the bias the value is doubled until it passes this.
constexpr long double kDoublingCeiling = 96000;

// The bytes of the form after the form type, for a search from offset 12.
DWORD FormBytesLeft(DWORD form_size) { return form_size >= 4 ? form_size - 4 : 0; }

}  // namespace

void iff_ByteSwap16(WORD* p, DWORD count) {
  for (DWORD i = 0; i < count; ++i) p[i] = Swap16(p[i]);
}
void iff_ByteSwap32(DWORD* p, DWORD count) {
  for (DWORD i = 0; i < count; ++i) p[i] = Swap32(p[i]);
}
void aiff_WriteByteSwap16(WORD* p, DWORD count) { iff_ByteSwap16(p, count); }
void aiff_WriteByteSwap32(DWORD* p, DWORD count) { iff_ByteSwap32(p, count); }

HRESULT iff_ReadChunkHdr(HANDLE file, DWORD hdr[2]) {
  BYTE bytes[kHeaderBytes];
  HRESULT hr = rifffile::ReadExact(file, bytes, kHeaderBytes);
  if (FAILED(hr)) return hr;
  hdr[0] = Get32(bytes);
  hdr[1] = Get32(bytes + 4);
  return S_OK;
}

HRESULT iff_ReadDWORD(HANDLE file, DWORD* value) {
  BYTE bytes[4];
  HRESULT hr = rifffile::ReadExact(file, bytes, 4);
  if (SUCCEEDED(hr)) *value = Get32(bytes);
  return hr;
}

HRESULT iff_ReadWORD(HANDLE file, WORD* value) {
  BYTE bytes[2];
  HRESULT hr = rifffile::ReadExact(file, bytes, 2);
  if (SUCCEEDED(hr)) *value = Get16(bytes);
  return hr;
}

HRESULT iff_WriteChunk(HANDLE file, const DWORD hdr[2]) {
  BYTE bytes[kHeaderBytes];
  PutBe32(bytes, hdr[0]);
  PutBe32(bytes + 4, hdr[1]);
  return rifffile::WriteExact(file, bytes, kHeaderBytes);
}

HRESULT iff_WriteDWORD(HANDLE file, DWORD value) {
  BYTE bytes[4];
  PutBe32(bytes, value);
  return rifffile::WriteExact(file, bytes, 4);
}

HRESULT iff_WriteWORD(HANDLE file, WORD value) {
  BYTE bytes[2];
  PutBe16(bytes, value);
  return rifffile::WriteExact(file, bytes, 2);
}

HRESULT iff_WriteFileID(HANDLE file, DWORD form_type, DWORD form_size) {
  const DWORD hdr[2] = {IffId("FORM"), form_size};
  HRESULT hr = iff_WriteChunk(file, hdr);
  if (SUCCEEDED(hr)) hr = iff_WriteDWORD(file, form_type);
  return hr;
}

HRESULT iff_ReadFormType(HANDLE file, DWORD hdr[2], DWORD* form_type) {
  HRESULT hr = iff_ReadChunkHdr(file, hdr);
  if (FAILED(hr)) return hr;
  if (hdr[0] != IffId("FORM")) return RIFF_E_WRONG_FORM;
  return iff_ReadDWORD(file, form_type);
}

DWORD iff_SkipChunk(HANDLE file, DWORD size) {
  ULONGLONG padded = riffbytes::PadEven(size);
  rifffile::SkipForward(file, padded);
  return static_cast<DWORD>(padded);
}

HRESULT iff_FindChunkHeader(HANDLE file, DWORD id, DWORD* size, DWORD* left) {
  DWORD remaining = left ? *left : 0;
  for (;;) {
    if (left && remaining < kHeaderBytes) {
      *left = remaining;
      return RIFF_E_NOT_FOUND;
    }
    DWORD hdr[2];
    HRESULT hr = iff_ReadChunkHdr(file, hdr);
    if (FAILED(hr)) {
      if (left) *left = remaining;
      return hr;
    }
    remaining -= kHeaderBytes;
    if (hdr[0] == id) {
      if (size) *size = hdr[1];
      if (left) *left = remaining;
      return S_OK;
    }
    ULONGLONG skipped = riffbytes::PadEven(hdr[1]);
    rifffile::SkipForward(file, skipped);
    remaining = skipped >= remaining ? 0 : remaining - static_cast<DWORD>(skipped);
  }
}

HRESULT iff_SeekChunkHeader(HANDLE file, DWORD id, DWORD* size) {
  return iff_FindChunkHeader(file, id, size, nullptr);
}

HRESULT iff_FindChunkFromStart(HANDLE file, DWORD id, DWORD* size) {
  if (size) *size = 0;
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_READ;
  DWORD hdr[2];
  HRESULT hr = iff_ReadChunkHdr(file, hdr);
  if (FAILED(hr)) return hr;
  if (hdr[0] != IffId("FORM")) return IFF_E_NOT_FORM;
  DWORD form_type;
  if (FAILED(iff_ReadDWORD(file, &form_type))) return IFF_E_NOT_FORM;
  DWORD left = FormBytesLeft(hdr[1]);
  return iff_FindChunkHeader(file, id, size, &left);
}

BOOL iff_IsAIFFFileEx(HANDLE file, DWORD* form_size, BOOL* is_aifc, BOOL* is_sowt) {
  if (is_aifc) *is_aifc = FALSE;
  if (is_sowt) *is_sowt = FALSE;
  if (!rifffile::SeekTo(file, 0)) return FALSE;
  DWORD hdr[2];
  DWORD form_type;
  if (FAILED(iff_ReadFormType(file, hdr, &form_type))) return FALSE;
  if (form_size) *form_size = hdr[1];
  if (form_type == IffId("AIFF")) return TRUE;
  if (form_type != IffId("AIFC")) return FALSE;
  if (is_aifc) *is_aifc = TRUE;
  BOOL result = FALSE;
  DWORD left = FormBytesLeft(hdr[1]);
  BYTE comm[kAifcCommBytes];
  if (SUCCEEDED(iff_FindChunkHeader(file, IffId("COMM"), nullptr, &left)) &&
      SUCCEEDED(rifffile::ReadExact(file, comm, kAifcCommBytes))) {
    DWORD compression = Get32(comm + kAiffCommBytes);
    if (compression == kCompressionNone) {
      result = TRUE;
    } else if (compression == kCompressionSowt) {
      result = TRUE;
      if (is_sowt) *is_sowt = TRUE;
    }
  }
  rifffile::SeekTo(file, kFormDataStart);
  return result;
}

BOOL iff_IsAIFFFile(HANDLE file, DWORD* form_size) {
  return iff_IsAIFFFileEx(file, form_size, nullptr, nullptr);
}

BOOL iff_IsAIFFForm(HANDLE file) {
  if (!rifffile::SeekTo(file, 0)) return FALSE;
  DWORD hdr[2];
  DWORD form_type;
  BOOL result = SUCCEEDED(iff_ReadFormType(file, hdr, &form_type)) &&
                (form_type == IffId("AIFF") || form_type == IffId("AIFC"));
  rifffile::SeekTo(file, kFormDataStart);
  return result;
}

HRESULT iff_GetAIFFWfx(HANDLE file, WAVEFORMATEX* wfx, DWORD* frames, DWORD* data_offset) {
  WAVEFORMATEX local = {};
  if (!wfx) wfx = &local;
  DWORD form_size = 0;
  BOOL is_aifc = FALSE;
  BOOL is_sowt = FALSE;
  if (!iff_IsAIFFFileEx(file, &form_size, &is_aifc, &is_sowt)) return RIFF_E_WRONG_FORM;

  DWORD left = FormBytesLeft(form_size);
  HRESULT hr = iff_FindChunkHeader(file, IffId("COMM"), nullptr, &left);
  if (FAILED(hr)) return hr;
  BYTE comm[kAifcCommBytes];
  hr = rifffile::ReadExact(file, comm, is_aifc ? kAifcCommBytes : kAiffCommBytes);
  if (FAILED(hr)) return hr;
  WORD channels = Get16(comm);
  DWORD comm_frames = Get32(comm + 2);
  WORD bits = Get16(comm + 6);
  const WORD mantissa[4] = {Get16(comm + 10), Get16(comm + 12), Get16(comm + 14), Get16(comm + 16)};
  DWORD rate = aiff_ConvertRate(Get16(comm + 8), mantissa);

  // Samples of 12 or 20 bits take 2 or 3 bytes.
  DWORD sample_bytes = (static_cast<DWORD>(bits) + 7) / 8;
  DWORD block_align = channels * sample_bytes;
  // A frame larger than a block align can say cannot be described.
  if (block_align > 0xFFFF) return RIFF_E_WRONG_FORM;
  wfx->wFormatTag = bits == 8 ? 0xFE01 : is_sowt ? WAVE_FORMAT_PCM : 0xFE02;
  wfx->nChannels = channels;
  wfx->nSamplesPerSec = rate;
  wfx->wBitsPerSample = bits;
  wfx->nAvgBytesPerSec = rate * block_align;
  wfx->nBlockAlign = static_cast<WORD>(block_align ? block_align : 1);

  if (!rifffile::SeekTo(file, kFormDataStart)) return RIFF_E_READ;
  left = FormBytesLeft(form_size);
  DWORD size = 0;
  hr = iff_FindChunkHeader(file, IffId("SSND"), &size, &left);
  if (FAILED(hr)) return hr;
  size = size >= 8 ? size - 8 : 0;
  DWORD offset = 0;
  DWORD block_size = 0;
  hr = iff_ReadDWORD(file, &offset);
  if (SUCCEEDED(hr)) hr = iff_ReadDWORD(file, &block_size);
  if (FAILED(hr)) return hr;
  // An offset beyond the chunk leaves no samples rather than wrapping.
  size = offset >= size ? 0 : size - offset;
  if (frames) {
    DWORD in_data = size / wfx->nBlockAlign;
    *frames = in_data < comm_frames ? in_data : comm_frames;
  }
  if (data_offset) *data_offset = static_cast<DWORD>(rifffile::Tell(file)) + offset;
  return S_OK;
}

DWORD aiff_ConvertRate(WORD exponent_word, const WORD mantissa[4]) {
  if (exponent_word & 0x8000) return kDefaultRate;
  ULONGLONG m = static_cast<ULONGLONG>(mantissa[0]) << 48 |
                static_cast<ULONGLONG>(mantissa[1]) << 32 |
                static_cast<ULONGLONG>(mantissa[2]) << 16 | mantissa[3];
  int exponent = exponent_word & 0x7FFF;
  if (exponent >= 16383) {
    // The exact integer part of m / 2^63 * 2^n.
    int n = exponent - 16383;
    if (n > 63) return m ? 0xFFFFFFFFu : 0;
    ULONGLONG whole = m >> (63 - n);
    return whole > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(whole);
  }
  // Below the bias the count wraps to a large number of doublings, which
  // stop once the value passes the ceiling. Long double holds 64-bit
  // mantissas exactly.
  unsigned n = static_cast<WORD>(exponent - 16383);
  long double value = std::ldexp(static_cast<long double>(m), -63);
  for (unsigned i = 0; i < n && value <= kDoublingCeiling && value != 0; ++i) value *= 2;
  return static_cast<DWORD>(value);
}

void aiff_CreateRate(DWORD rate, WORD* exponent_word, WORD mantissa[4]) {
  int halvings = 0;
  while ((rate >> halvings) >= 2) ++halvings;
  *exponent_word = static_cast<WORD>(16383 + halvings);
  ULONGLONG m = static_cast<ULONGLONG>(rate) << (63 - halvings);
  for (int i = 0; i < 4; ++i) mantissa[i] = static_cast<WORD>(m >> (48 - 16 * i));
}

HRESULT iff_FindMarker(HANDLE file, tIFFMARKER* marker, short marker_id) {
  DWORD size = 0;
  HRESULT hr = iff_FindChunkFromStart(file, IffId("MARK"), &size);
  if (FAILED(hr)) return hr;
  WORD count = 0;
  hr = iff_ReadWORD(file, &count);
  if (FAILED(hr)) return hr;
  if (count == 0) return RIFF_E_NOT_FOUND;
  LONGLONG remaining = static_cast<LONGLONG>(size) - 2;
  // The search stays inside the chunk: a count that claims more markers
  // than the chunk holds ends it, and so does a record that the chunk's
  // end cuts, without reading the bytes that follow the chunk.
  for (WORD i = 0; i < count && remaining >= static_cast<LONGLONG>(sizeof(tIFFMARKER)); ++i) {
    BYTE bytes[sizeof(tIFFMARKER)];
    if (FAILED(rifffile::ReadExact(file, bytes, sizeof bytes))) return IFF_E_NOT_FORM;
    marker->wId = Get16(bytes);
    marker->dwPosition = Get32(bytes + 2);
    marker->bNameLength = bytes[6];
    remaining -= static_cast<LONGLONG>(sizeof bytes);
    if (marker->wId == static_cast<WORD>(marker_id)) return S_OK;
    // The counted name with its count byte is padded to an even total.
    DWORD name = marker->bNameLength + ((marker->bNameLength & 1) ? 0 : 1);
    rifffile::SkipForward(file, name);
    remaining -= name;
  }
  return RIFF_E_NOT_FOUND;
}

HRESULT iff_DeleteChunk(HANDLE file, DWORD id, DWORD* removed) {
  if (removed) *removed = 0;
  LONGLONG file_size = rifffile::Size(file);
  // The chunks of an AIFF-C form do not depend on its compression.
  DWORD form_size = 0;
  if (file_size < 0 || !iff_IsAIFFForm(file)) return RIFF_E_WRONG_FORM;
  if (!rifffile::SeekTo(file, 4)) return RIFF_E_READ;
  if (HRESULT read = iff_ReadDWORD(file, &form_size); FAILED(read)) return read;
  if (!rifffile::SeekTo(file, kFormDataStart)) return RIFF_E_READ;
  DWORD left = FormBytesLeft(form_size);
  DWORD size = 0;
  HRESULT hr = iff_FindChunkHeader(file, id, &size, &left);
  if (FAILED(hr)) return hr;
  ULONGLONG body = static_cast<ULONGLONG>(rifffile::Tell(file));
  ULONGLONG start = body - kHeaderBytes;
  ULONGLONG span = kHeaderBytes + riffbytes::PadEven(size);
  // A body beyond the form's end or the file's is refused: its size cannot
  // say where it ends.
  if (size > left || body + size > static_cast<ULONGLONG>(file_size)) return RIFF_E_WRONG_FORM;
  // The form loses what it held of the chunk: a last chunk's pad byte may
  // be held without the form counting it, or counted and missing.
  ULONGLONG length = rifffile::SpanRemoved(span, kHeaderBytes + left);
  hr = rifffile::MoveTailDown(file, start, start + span);
  if (FAILED(hr)) return hr;
  if (!rifffile::SeekTo(file, 4)) return RIFF_E_READ;
  DWORD stored = 0;
  hr = iff_ReadDWORD(file, &stored);
  if (FAILED(hr)) return hr;
  stored = stored >= length ? stored - static_cast<DWORD>(length) : 0;
  if (!rifffile::SeekTo(file, 4)) return RIFF_E_WRITE;
  hr = iff_WriteDWORD(file, stored);
  if (FAILED(hr)) return hr;
  if (removed) *removed = static_cast<DWORD>(length);
  return S_OK;
}
