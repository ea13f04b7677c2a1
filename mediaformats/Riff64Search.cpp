// RIFF64 on files: searching for chunks and lists, counting and seeking
// list entries, deleting a chunk.
#include "mediaformats/Riff64.h"
#include "mediaformats/Riff64Counter.h"
#include "mediaformats/RiffFile.h"

namespace {

constexpr ULONGLONG kTypeBytes = 16;

// Reads the form header from the start; *left receives the bytes of the
// form after its type.
HRESULT StartForm(HANDLE file, LONGLONG* left) {
  *left = 0;
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_READ;
  ULONGLONG size = 0;
  HRESULT hr = riff64_ReadFileID(file, &size, nullptr);
  *left = riff64counter::FromSize(size);
  return hr;
}

// Skips whole chunks (header and padded data): `index` of them, or with
// `count` set, all while the counter holds a header, counting them. The
// counter stops at 0.
HRESULT WalkEntries(HANDLE file, DWORD index, DWORD* count, LONGLONG* left) {
  for (DWORD i = 0; count || i < index; ++i) {
    if (left && *left < static_cast<LONGLONG>(kRiff64HeaderBytes))
      return count ? S_OK : RIFF_E_NOT_FOUND;
    ULONGLONG size = 0;
    if (HRESULT hr = riff64_ReadChunkHeader(file, nullptr, &size); FAILED(hr)) return hr;
    riff64counter::LowerToZero(left, kRiff64HeaderBytes);
    riff64counter::LowerToZero(left, riff64_SkipChunk(file, size));
    if (count) ++*count;
  }
  return S_OK;
}

}  // namespace

HRESULT riff64_FindChunkHeader(HANDLE file, GUID id, ULONGLONG* data_size, LONGLONG* bytes_left) {
  for (;;) {
    if (bytes_left && *bytes_left < static_cast<LONGLONG>(kRiff64HeaderBytes))
      return RIFF_E_NOT_FOUND;
    GUID found;
    ULONGLONG size = 0;
    if (HRESULT hr = riff64_ReadChunkHeader(file, &found, &size); FAILED(hr)) return hr;
    riff64counter::Lower(bytes_left, kRiff64HeaderBytes);
    if (found == id) {
      if (data_size) *data_size = size;
      return S_OK;
    }
    riff64counter::Lower(bytes_left, riff64_SkipChunk(file, size));
  }
}

HRESULT riff64_FindChunkHeaderInRIFF(HANDLE file, GUID id, ULONGLONG* data_size,
                                     LONGLONG* bytes_left) {
  LONGLONG left = 0;
  HRESULT hr = StartForm(file, &left);
  if (SUCCEEDED(hr)) hr = riff64_FindChunkHeader(file, id, data_size, &left);
  if (bytes_left) *bytes_left = left;
  return hr;
}

HRESULT riff64_FindListChunk(HANDLE file, GUID list_type, ULONGLONG* size, LONGLONG* bytes_left) {
  for (;;) {
    ULONGLONG list_size = 0;
    if (HRESULT hr = riff64_FindChunkHeader(file, kRiff64GuidList, &list_size, bytes_left);
        FAILED(hr))
      return hr;
    // The whole list type must lie in the bounded range.
    if (bytes_left && *bytes_left < static_cast<LONGLONG>(kTypeBytes)) return RIFF_E_NOT_FOUND;
    BYTE bytes[riffbytes::kGuidBytes];
    if (HRESULT hr = rifffile::ReadExact(file, bytes, sizeof bytes); FAILED(hr)) return hr;
    riff64counter::Lower(bytes_left, kTypeBytes);
    if (riffbytes::GetGuid(bytes) == list_type) {
      if (size) *size = list_size >= kTypeBytes ? list_size - kTypeBytes : 0;
      return S_OK;
    }
    ULONGLONG rest = riffbytes::Pad8(list_size);
    rest = rest > kTypeBytes ? rest - kTypeBytes : 0;
    rifffile::SkipForward(file, rest);
    riff64counter::Lower(bytes_left, rest);
  }
}

HRESULT riff64_FindListChunkFromStart(HANDLE file, GUID list_type, ULONGLONG* size) {
  LONGLONG left = 0;
  if (HRESULT hr = StartForm(file, &left); FAILED(hr)) return hr;
  return riff64_FindListChunk(file, list_type, size, &left);
}

HRESULT riff64_GetNumListEntries(HANDLE file, DWORD* count, LONGLONG* bytes_left) {
  if (!count) return E_INVALIDARG;
  *count = 0;
  LONGLONG mark = rifffile::Tell(file);
  HRESULT hr = WalkEntries(file, 0, count, bytes_left);
  if (mark >= 0) rifffile::SeekTo(file, static_cast<ULONGLONG>(mark));
  return hr;
}

HRESULT riff64_SeekListEntry(HANDLE file, DWORD index, LONGLONG* bytes_left) {
  return WalkEntries(file, index, nullptr, bytes_left);
}

HRESULT riff64_DeleteChunk(HANDLE file, GUID id, ULONGLONG* removed) {
  if (removed) *removed = 0;
  LONGLONG left = 0;
  if (HRESULT hr = StartForm(file, &left); FAILED(hr)) return hr;
  ULONGLONG size = 0;
  if (HRESULT hr = riff64_FindChunkHeader(file, id, &size, &left); FAILED(hr)) return hr;
  LONGLONG here = rifffile::Tell(file);
  if (here < static_cast<LONGLONG>(kRiff64HeaderBytes)) return RIFF_E_READ;
  // A chunk that claims more than its form holds would take bytes after
  // the form with it.
  if (left < 0 || size > static_cast<ULONGLONG>(left)) return RIFF_E_WRONG_FORM;
  ULONGLONG start = static_cast<ULONGLONG>(here) - kRiff64HeaderBytes;
  ULONGLONG span = riffbytes::Pad8(size) + kRiff64HeaderBytes;
  // The form loses the bytes of the chunk that it held (a last chunk's
  // padding may be held without the form counting it, or counted and
  // missing from the file).
  ULONGLONG gone = rifffile::SpanRemoved(span, kRiff64HeaderBytes + static_cast<ULONGLONG>(left));
  if (HRESULT hr = rifffile::MoveTailDown(file, start, start + span); FAILED(hr)) return hr;
  HRESULT hr = riff64_UpdateRIFFSize(file, -static_cast<LONGLONG>(gone));
  if (removed) *removed = gone;
  return hr;
}
