// RIFF64 on files: reading and checking headers, reading data, moving.
#include <algorithm>

#include "mediaformats/Riff64.h"
#include "mediaformats/RiffAllocData.h"
#include "mediaformats/RiffFile.h"

namespace {

constexpr ULONGLONG kTypeBytes = 16;

// Reads a header: the id and the stored size (which counts the header).
HRESULT ReadRawHeader(HANDLE file, GUID* id, ULONGLONG* stored) {
  BYTE bytes[kRiff64HeaderBytes];
  if (HRESULT hr = rifffile::ReadExact(file, bytes, sizeof bytes); FAILED(hr)) return hr;
  *id = riffbytes::GetGuid(bytes);
  *stored = riffbytes::Get64(bytes + 16);
  return S_OK;
}

HRESULT ReadGuid(HANDLE file, GUID* guid) {
  BYTE bytes[riffbytes::kGuidBytes];
  if (HRESULT hr = rifffile::ReadExact(file, bytes, sizeof bytes); FAILED(hr)) return hr;
  *guid = riffbytes::GetGuid(bytes);
  return S_OK;
}

// The bytes that follow a header and a 16-byte type.
ULONGLONG AfterType(ULONGLONG stored) {
  return stored >= kRiff64HeaderBytes + kTypeBytes ? stored - kRiff64HeaderBytes - kTypeBytes : 0;
}

}  // namespace

HRESULT riff64_ReadChunkHeader(HANDLE file, GUID* id, ULONGLONG* data_size) {
  GUID found;
  ULONGLONG stored = 0;
  if (HRESULT hr = ReadRawHeader(file, &found, &stored); FAILED(hr)) return hr;
  if (id) *id = found;
  if (data_size) *data_size = stored >= kRiff64HeaderBytes ? stored - kRiff64HeaderBytes : 0;
  return S_OK;
}

HRESULT riff64_ReadListHeader(HANDLE file, GUID* list_type, ULONGLONG* size) {
  GUID id;
  ULONGLONG stored = 0;
  if (HRESULT hr = ReadRawHeader(file, &id, &stored); FAILED(hr)) return hr;
  if (id != kRiff64GuidList) return RIFF_E_NOT_LIST;
  if (size) *size = AfterType(stored);
  GUID type;
  if (HRESULT hr = ReadGuid(file, &type); FAILED(hr)) return hr;
  if (list_type) *list_type = type;
  return S_OK;
}

HRESULT riff64_ReadFileID(HANDLE file, ULONGLONG* size, GUID* form_type) {
  if (size) *size = 0;
  GUID id;
  ULONGLONG stored = 0;
  if (HRESULT hr = ReadRawHeader(file, &id, &stored); FAILED(hr)) return hr;
  if (id != kRiff64GuidRiff) return RIFF_E_NOT_RIFF;
  if (size) *size = AfterType(stored);
  GUID type;
  if (HRESULT hr = ReadGuid(file, &type); FAILED(hr)) return hr;
  if (form_type) *form_type = type;
  return S_OK;
}

HRESULT riff64_ValidateChunkHeader(GUID, ULONGLONG size) {
  // Bit 35 of the size: value 8 of its high 32-bit half.
  constexpr ULONGLONG kBit35 = 1ull << 35;
  if ((size & 7) || (size & kBit35)) return RIFF_E_BAD_SIZE;
  if (size == 0) return RIFF_E_ZERO_SIZE;
  return S_OK;
}

HRESULT riff64_ReadData(HANDLE file, void* buffer, ULONGLONG count) {
  DWORD bytes = static_cast<DWORD>(count);
  if (bytes && !buffer) return E_INVALIDARG;
  if (HRESULT hr = rifffile::ReadExact(file, buffer, bytes); FAILED(hr)) return hr;
  rifffile::SkipForward(file, riffbytes::Pad8(bytes) - bytes);
  return S_OK;
}

HRESULT riff64_ReadDataBounded(HANDLE file, void* buffer, DWORD buffer_size, ULONGLONG chunk_size) {
  DWORD count = static_cast<DWORD>(std::min<ULONGLONG>(buffer_size, chunk_size));
  if (count && !buffer) return E_INVALIDARG;
  if (HRESULT hr = rifffile::ReadExact(file, buffer, count); FAILED(hr)) return hr;
  rifffile::SkipForward(file, riffbytes::Pad8(chunk_size) - count);
  return S_OK;
}

HRESULT riff64_ReadDataAlloc(HANDLE file, tRIFFALLOCDATA* data) {
  return riffalloc::Fill(data, [file](void* pointer, DWORD count) {
    return riff64_ReadData(file, pointer, count);
  });
}

HRESULT riff64_SaveLocation(HANDLE file, ULONGLONG* position) {
  LONGLONG here = rifffile::Tell(file);
  if (position) *position = here < 0 ? 0 : static_cast<ULONGLONG>(here);
  return S_OK;
}

HRESULT riff64_RestoreLocation(HANDLE file, DWORD position_low, LONG position_high) {
  rifffile::SeekTo(file, static_cast<ULONGLONG>(static_cast<DWORD>(position_high)) << 32 | position_low);
  return S_OK;
}

ULONGLONG riff64_SkipChunk(HANDLE file, ULONGLONG size) {
  ULONGLONG padded = riffbytes::Pad8(size);
  rifffile::SkipForward(file, padded);
  return padded;
}

HRESULT riff64_SeekDataStart(HANDLE file) {
  rifffile::SeekTo(file, kRiff64DataStart);
  return S_OK;
}

LONGLONG riff64_AmountWritten(HANDLE file, ULONGLONG start) {
  return static_cast<LONGLONG>(static_cast<ULONGLONG>(rifffile::Tell(file)) - start);
}
