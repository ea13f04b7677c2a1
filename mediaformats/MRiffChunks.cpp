// RIFF in memory: reading and writing headers and data.
#include <algorithm>

#include "mediaformats/MRiffCursor.h"
#include "mediaformats/RiffAllocData.h"

using namespace mriffcursor;

namespace {

constexpr FOURCC kRiff = RiffId("RIFF");
constexpr FOURCC kList = RiffId("LIST");

}  // namespace

HRESULT mriff_ReadChunkHeader(_tMRIFF* m, FOURCC* id, DWORD* size) {
  if (!m) return E_POINTER;
  if (HRESULT hr = ReadField(m, id); FAILED(hr)) return hr;
  return ReadField(m, size);
}

HRESULT mriff_ReadListHeader(_tMRIFF* m, FOURCC* list_type, DWORD* size) {
  FOURCC id = 0;
  DWORD list_size = 0;
  if (HRESULT hr = mriff_ReadChunkHeader(m, &id, &list_size); FAILED(hr)) return hr;
  if (id != kList) return RIFF_E_NOT_LIST;
  if (size) *size = list_size >= 4 ? list_size - 4 : 0;
  return ReadField(m, list_type);
}

HRESULT mriff_ReadFileID(_tMRIFF* m, DWORD* size, FOURCC* form_type) {
  if (size) *size = 0;
  FOURCC id = 0;
  DWORD form_size = 0;
  if (HRESULT hr = mriff_ReadChunkHeader(m, &id, &form_size); FAILED(hr)) return hr;
  if (size) *size = form_size >= 4 ? form_size - 4 : 0;
  if (id != kRiff) return RIFF_E_NOT_RIFF;
  return ReadField(m, form_type);
}

HRESULT mriff_ReadData(_tMRIFF* m, void* buffer, DWORD count) {
  if (!m) return E_POINTER;
  if (count && !buffer) return E_INVALIDARG;
  if (!mriff_ReadFile(m, buffer, count, nullptr, nullptr)) return RIFF_E_READ;
  if (count & 1) Skip(m, 1);
  return S_OK;
}

HRESULT mriff_ReadDataBounded(_tMRIFF* m, void* buffer, DWORD buffer_size, DWORD chunk_size) {
  if (!m) return E_POINTER;
  DWORD count = std::min(buffer_size, chunk_size);
  if (count && !buffer) return E_INVALIDARG;
  if (!mriff_ReadFile(m, buffer, count, nullptr, nullptr)) return RIFF_E_READ;
  Skip(m, riffbytes::PadEven(chunk_size) - count);
  return S_OK;
}

HRESULT mriff_ReadDataAlloc(_tMRIFF* m, tRIFFALLOCDATA* data) {
  if (!m) return E_POINTER;
  return riffalloc::Fill(data, [m](void* pointer, DWORD count) {
    return mriff_ReadData(m, pointer, count);
  });
}

HRESULT mriff_WriteChunkHeader(_tMRIFF* m, FOURCC id, DWORD size) {
  if (!m) return E_POINTER;
  if (HRESULT hr = WriteField(m, id); FAILED(hr)) return hr;
  return WriteField(m, size);
}

HRESULT mriff_WriteListHeader(_tMRIFF* m, FOURCC list_type, DWORD size) {
  if (HRESULT hr = mriff_WriteChunkHeader(m, kList, size); FAILED(hr)) return hr;
  return WriteField(m, list_type);
}

HRESULT mriff_WriteFileID(_tMRIFF* m, FOURCC form_type, DWORD size) {
  if (HRESULT hr = mriff_WriteChunkHeader(m, kRiff, size); FAILED(hr)) return hr;
  return WriteField(m, form_type);
}
