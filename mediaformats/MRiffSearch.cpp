// RIFF in memory: searching for chunks and lists, counting entries,
// reading INFO texts.
#include <algorithm>

#include "mediaformats/MRiffCursor.h"
#include "mediaformats/RiffScan.h"

using namespace mriffcursor;

namespace {

constexpr FOURCC kInfo = RiffId("INFO");
// The form header: "RIFF", size and form type.
constexpr DWORD kFormHeaderBytes = 12;

// The buffer as the chunk scans see it.
struct MemoryIo {
  _tMRIFF* m;
  HRESULT ReadHeader(FOURCC* id, DWORD* size) { return mriff_ReadChunkHeader(m, id, size); }
  HRESULT ReadTag(FOURCC* tag) { return ReadField(m, tag); }
  void Skip(ULONGLONG amount) { mriffcursor::Skip(m, amount); }
  size_t Mark() { return Offset(m); }
  void Back(size_t mark) { MoveTo(m, mark); }
};

}  // namespace

HRESULT mriff_FindChunkHeader(_tMRIFF* m, FOURCC id, DWORD* size, DWORD* bytes_left) {
  if (!m) return E_POINTER;
  MemoryIo io{m};
  return riffscan::FindChunk(io, id, size, bytes_left);
}

HRESULT mriff_FindChunkHeaderInRIFF(_tMRIFF* m, FOURCC id, DWORD* size, DWORD* bytes_left) {
  if (!m) return E_POINTER;
  if (bytes_left && *bytes_left < kFormHeaderBytes) return RIFF_E_NOT_FOUND;
  if (HRESULT hr = mriff_ReadFileID(m, nullptr, nullptr); FAILED(hr)) return hr;
  if (bytes_left) *bytes_left -= kFormHeaderBytes;
  return mriff_FindChunkHeader(m, id, size, bytes_left);
}

HRESULT mriff_FindListChunk(_tMRIFF* m, FOURCC list_type, DWORD* size, DWORD* bytes_left) {
  if (!m) return E_POINTER;
  MemoryIo io{m};
  return riffscan::FindList(io, list_type, size, bytes_left);
}

HRESULT mriff_FindListChunkFromStart(_tMRIFF* m, FOURCC list_type, DWORD* size) {
  if (!m) return E_POINTER;
  MoveTo(m, 0);
  DWORD left = 0;
  if (HRESULT hr = mriff_ReadFileID(m, &left, nullptr); FAILED(hr)) return hr;
  return mriff_FindListChunk(m, list_type, size, &left);
}

HRESULT mriff_GetNumListEntries(_tMRIFF* m, DWORD* count, DWORD* bytes_left) {
  if (!m) return E_POINTER;
  MemoryIo io{m};
  return riffscan::CountEntries(io, count, bytes_left);
}

HRESULT mriff_GetInfoString(_tMRIFF* m, FOURCC item_id, char* buffer, DWORD buffer_size,
                            DWORD* bytes_left) {
  if (!m) return E_POINTER;
  if (!buffer && buffer_size) return E_INVALIDARG;
  if (buffer_size) buffer[0] = 0;
  MoveTo(m, Offset(m));
  size_t mark = Offset(m);
  DWORD list_left = 0;
  HRESULT hr = mriff_FindListChunk(m, kInfo, &list_left, bytes_left);
  DWORD item_size = 0;
  if (SUCCEEDED(hr)) hr = mriff_FindChunkHeader(m, item_id, &item_size, &list_left);
  if (SUCCEEDED(hr) && buffer_size) {
    // The item's own bytes, within its list, and room for the terminator.
    DWORD count = std::min({item_size, list_left, buffer_size - 1});
    DWORD copied = 0;
    if (!mriff_ReadFile(m, buffer, count, &copied, nullptr)) hr = RIFF_E_READ;
    buffer[copied] = 0;
  }
  MoveTo(m, mark);
  return hr;
}
