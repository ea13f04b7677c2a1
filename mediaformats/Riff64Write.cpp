// RIFF64 on files: writing headers, data and chunks, chunks written in two
// steps, setting and updating the form size.
#include "mediaformats/Riff64.h"
#include "mediaformats/RiffFile.h"

namespace {

// Offset of the form size in the form header, and of a chunk's size in its
// header.
constexpr ULONGLONG kSizeOffset = 16;
constexpr BYTE kZeros[8] = {};

HRESULT WriteHeader(HANDLE file, const GUID& id, ULONGLONG stored) {
  BYTE bytes[kRiff64HeaderBytes];
  riffbytes::PutGuid(bytes, id);
  riffbytes::Put64(bytes + 16, stored);
  return rifffile::WriteExact(file, bytes, sizeof bytes);
}

// A header followed by a 16-byte type (form or list).
HRESULT WriteHeaderAndType(HANDLE file, const GUID& id, ULONGLONG stored, const GUID& type) {
  BYTE bytes[kRiff64HeaderBytes + riffbytes::kGuidBytes];
  riffbytes::PutGuid(bytes, id);
  riffbytes::Put64(bytes + 16, stored);
  riffbytes::PutGuid(bytes + kRiff64HeaderBytes, type);
  return rifffile::WriteExact(file, bytes, sizeof bytes);
}

// Writes a u64 at `offset` and returns to the position.
HRESULT WriteSizeAt(HANDLE file, ULONGLONG offset, ULONGLONG value) {
  LONGLONG here = rifffile::Tell(file);
  BYTE bytes[8];
  riffbytes::Put64(bytes, value);
  HRESULT hr = rifffile::SeekTo(file, offset) ? rifffile::WriteExact(file, bytes, sizeof bytes)
                                              : RIFF_E_WRITE;
  if (here >= 0) rifffile::SeekTo(file, static_cast<ULONGLONG>(here));
  return hr;
}

}  // namespace

HRESULT riff64_WriteChunkHeader(HANDLE file, GUID id, ULONGLONG data_size) {
  return WriteHeader(file, id, data_size + kRiff64HeaderBytes);
}

HRESULT riff64_WriteListHeader(HANDLE file, GUID list_type, ULONGLONG size) {
  return WriteHeaderAndType(file, kRiff64GuidList, size + kRiff64HeaderBytes, list_type);
}

HRESULT riff64_WriteFileID(HANDLE file, GUID form_type, ULONGLONG size) {
  return WriteHeaderAndType(file, kRiff64GuidRiff, size + kRiff64HeaderBytes, form_type);
}

HRESULT riff64_WriteToFile(HANDLE file, const void* data, ULONGLONG count) {
  DWORD bytes = static_cast<DWORD>(count);
  if (bytes && !data) return E_INVALIDARG;
  return rifffile::WriteExact(file, data, bytes);
}

HRESULT riff64_WriteData(HANDLE file, const void* data, ULONGLONG count, ULONGLONG* written) {
  if (written) *written = 0;
  if (count > 0xFFFFFFFFull) return E_INVALIDARG;
  if (HRESULT hr = riff64_WriteToFile(file, data, count); FAILED(hr)) return hr;
  ULONGLONG padded = riffbytes::Pad8(count);
  if (HRESULT hr = rifffile::WriteExact(file, kZeros, static_cast<DWORD>(padded - count)); FAILED(hr))
    return hr;
  if (written) *written = padded;
  return S_OK;
}

HRESULT riff64_WriteChunk(HANDLE file, GUID id, const void* data, ULONGLONG size,
                          ULONGLONG* written) {
  if (written) *written = 0;
  if (size > 0xFFFFFFFFull) return E_INVALIDARG;
  if (HRESULT hr = riff64_WriteChunkHeader(file, id, size); FAILED(hr)) return hr;
  ULONGLONG padded = 0;
  if (HRESULT hr = riff64_WriteData(file, data, size, &padded); FAILED(hr)) return hr;
  if (written) *written = padded + kRiff64HeaderBytes;
  return S_OK;
}

HRESULT riff64_Pad(HANDLE file, ULONGLONG start) {
  ULONGLONG amount = static_cast<ULONGLONG>(riff64_AmountWritten(file, start));
  DWORD pad = static_cast<DWORD>((8 - (amount & 7)) & 7);
  return rifffile::WriteExact(file, kZeros, pad);
}

HRESULT riff64_SetRIFFSize(HANDLE file, ULONGLONG size) {
  return WriteSizeAt(file, kSizeOffset, size + kRiff64HeaderBytes);
}

HRESULT riff64_UpdateRIFFSize(HANDLE file, LONGLONG delta) {
  LONGLONG here = rifffile::Tell(file);
  BYTE bytes[8];
  HRESULT hr = rifffile::SeekTo(file, kSizeOffset) ? rifffile::ReadExact(file, bytes, sizeof bytes)
                                                   : RIFF_E_READ;
  if (SUCCEEDED(hr)) {
    ULONGLONG old_size = riffbytes::Get64(bytes);
    ULONGLONG new_size = old_size + static_cast<ULONGLONG>(delta);
    // A size taken below 0 (or past 2^64) is refused; nothing is written.
    if (delta < 0 ? new_size > old_size : new_size < old_size) {
      hr = E_INVALIDARG;
    } else {
      riffbytes::Put64(bytes, new_size);
      hr = rifffile::SeekTo(file, kSizeOffset) ? rifffile::WriteExact(file, bytes, sizeof bytes)
                                               : RIFF_E_WRITE;
    }
  }
  if (here >= 0) rifffile::SeekTo(file, static_cast<ULONGLONG>(here));
  return hr;
}

HRESULT riff64_PrepareChunk(HANDLE file, GUID id, ULONGLONG* start) {
  riff64_SaveLocation(file, start);
  return riff64_WriteChunkHeader(file, id, 0);
}

HRESULT riff64_PrepareList(HANDLE file, GUID list_type, ULONGLONG* start) {
  riff64_SaveLocation(file, start);
  return riff64_WriteListHeader(file, list_type, 0);
}

HRESULT riff64_CompleteChunk(HANDLE file, ULONGLONG start) {
  if (HRESULT hr = riff64_Pad(file, start); FAILED(hr)) return hr;
  ULONGLONG length = static_cast<ULONGLONG>(riff64_AmountWritten(file, start));
  return WriteSizeAt(file, start + kSizeOffset, length);
}

HRESULT riff64_WriteChunkToFile(HANDLE file, GUID id, const void* data, DWORD count, DWORD) {
  ULONGLONG start = 0;
  if (HRESULT hr = riff64_PrepareChunk(file, id, &start); FAILED(hr)) return hr;
  if (HRESULT hr = riff64_WriteToFile(file, data, count); FAILED(hr)) return hr;
  return riff64_CompleteChunk(file, start);
}
