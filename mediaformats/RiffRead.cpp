// RIFF on files: reading and checking headers, reading data, moving.
#include <algorithm>

#include "foundation/WuString.h"
#include "mediaformats/Riff.h"
#include "mediaformats/RiffAllocData.h"
#include "mediaformats/RiffFile.h"
#include "platform/kernel/files.h"

namespace {

constexpr FOURCC kRiff = RiffId("RIFF");
constexpr FOURCC kList = RiffId("LIST");

// Reads a 4-byte field.
HRESULT ReadTag(HANDLE file, DWORD* value) {
  BYTE bytes[4];
  if (HRESULT hr = rifffile::ReadExact(file, bytes, sizeof bytes); FAILED(hr)) return hr;
  *value = riffbytes::Get32(bytes);
  return S_OK;
}

}  // namespace

HRESULT riff_ReadChunkHeader(HANDLE file, FOURCC* id, DWORD* size) {
  BYTE header[8];
  if (HRESULT hr = rifffile::ReadExact(file, header, sizeof header); FAILED(hr)) return hr;
  if (id) *id = riffbytes::Get32(header);
  if (size) *size = riffbytes::Get32(header + 4);
  return S_OK;
}

HRESULT riff_ReadFileID(HANDLE file, DWORD* size, FOURCC* form_type) {
  if (size) *size = 0;
  FOURCC id = 0;
  DWORD form_size = 0;
  if (HRESULT hr = riff_ReadChunkHeader(file, &id, &form_size); FAILED(hr)) return hr;
  if (id != kRiff) return RIFF_E_NOT_RIFF;
  if (size) *size = form_size >= 4 ? form_size - 4 : 0;
  DWORD type = 0;
  if (HRESULT hr = ReadTag(file, &type); FAILED(hr)) return hr;
  if (form_type) *form_type = type;
  return S_OK;
}

HRESULT riff_ReadListHeader(HANDLE file, FOURCC* list_type, DWORD* size) {
  FOURCC id = 0;
  DWORD list_size = 0;
  if (HRESULT hr = riff_ReadChunkHeader(file, &id, &list_size); FAILED(hr)) return hr;
  if (id != kList) return RIFF_E_NOT_LIST;
  if (size) *size = list_size >= 4 ? list_size - 4 : 0;
  DWORD type = 0;
  if (HRESULT hr = ReadTag(file, &type); FAILED(hr)) return hr;
  if (list_type) *list_type = type;
  return S_OK;
}

HRESULT riff_ValidateChunkHeader(FOURCC, DWORD size) {
  if (size & 0x80000000u) return RIFF_E_BAD_SIZE;
  if (size == 0) return RIFF_E_ZERO_SIZE;
  return S_OK;
}

HRESULT riff_GetFileSize(HANDLE file, DWORD* size) {
  if (size) *size = 0;
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_READ;
  FOURCC id = 0;
  DWORD form_size = 0;
  if (HRESULT hr = riff_ReadChunkHeader(file, &id, &form_size); FAILED(hr)) return hr;
  if (id != kRiff) return RIFF_E_NOT_RIFF;
  DWORD type = 0;
  if (HRESULT hr = ReadTag(file, &type); FAILED(hr)) return hr;
  // A form size beyond the largest written one cannot be extended by its
  // header within 32 bits.
  if (size) *size = form_size > 0xFFFFFFFFu - 8 ? 0xFFFFFFFFu : form_size + 8;
  return S_OK;
}

HRESULT riff_ReadData(HANDLE file, void* buffer, DWORD count) {
  if (count && !buffer) return E_INVALIDARG;
  if (HRESULT hr = rifffile::ReadExact(file, buffer, count); FAILED(hr)) return hr;
  if (count & 1) rifffile::SkipForward(file, 1);
  return S_OK;
}

HRESULT riff_ReadDataBounded(HANDLE file, void* buffer, DWORD buffer_size, DWORD chunk_size) {
  DWORD count = std::min(buffer_size, chunk_size);
  if (count && !buffer) return E_INVALIDARG;
  if (HRESULT hr = rifffile::ReadExact(file, buffer, count); FAILED(hr)) return hr;
  rifffile::SkipForward(file, riffbytes::PadEven(chunk_size) - count);
  return S_OK;
}

HRESULT riff_ReadDataAlloc(HANDLE file, tRIFFALLOCDATA* data) {
  return riffalloc::Fill(data, [file](void* pointer, DWORD count) {
    return riff_ReadData(file, pointer, count);
  });
}

HRESULT riff_SaveLocation(HANDLE file, DWORD* position) {
  LONGLONG here = rifffile::Tell(file);
  if (position) *position = static_cast<DWORD>(here < 0 ? 0 : here);
  return S_OK;
}

HRESULT riff_RestoreLocation(HANDLE file, DWORD position) {
  rifffile::SeekTo(file, position);
  return S_OK;
}

DWORD riff_SkipChunk(HANDLE file, DWORD size) {
  ULONGLONG padded = riffbytes::PadEven(size);
  rifffile::SkipForward(file, padded);
  return static_cast<DWORD>(padded);
}

HRESULT riff_SeekDataStart(HANDLE file) {
  rifffile::SeekTo(file, kRiffDataStart);
  return S_OK;
}
