// The chunk scans of the RIFF layer, written once for files (riff_) and
// memory buffers (mriff_); internal to the media formats.
//
// `Io` provides:
//   HRESULT ReadHeader(FOURCC* id, DWORD* size);  // 8 bytes, RIFF_E_READ when short
//   HRESULT ReadTag(FOURCC* tag);                 // 4 bytes, RIFF_E_READ when short
//   void Skip(ULONGLONG amount);                  // forward, at most to the end
//   Mark() / Back(mark)                           // save and restore the position
#pragma once

#include "mediaformats/RiffBytes.h"
#include "mediaformats/RiffStatus.h"

namespace riffscan {

constexpr DWORD kHeaderBytes = 8;
constexpr DWORD kTagBytes = 4;
constexpr FOURCC kList = RiffId("LIST");

// Lowers a bytes-left counter by `amount`, stopping at 0.
inline void Lower(DWORD* left, ULONGLONG amount) {
  if (left) *left = amount >= *left ? 0 : static_cast<DWORD>(*left - amount);
}

template <class Io>
HRESULT FindChunk(Io& io, FOURCC id, DWORD* size, DWORD* left) {
  while (!left || *left >= kHeaderBytes) {
    FOURCC found = 0;
    DWORD found_size = 0;
    if (HRESULT hr = io.ReadHeader(&found, &found_size); FAILED(hr)) return hr;
    Lower(left, kHeaderBytes);
    if (found == id) {
      if (size) *size = found_size;
      return S_OK;
    }
    ULONGLONG padded = riffbytes::PadEven(found_size);
    io.Skip(padded);
    Lower(left, padded);
  }
  return RIFF_E_NOT_FOUND;
}

template <class Io>
HRESULT FindList(Io& io, FOURCC list_type, DWORD* size, DWORD* left) {
  for (;;) {
    DWORD list_size = 0;
    if (HRESULT hr = FindChunk(io, kList, &list_size, left); FAILED(hr)) return hr;
    if (left && *left < kTagBytes) return RIFF_E_NOT_FOUND;
    FOURCC type = 0;
    if (HRESULT hr = io.ReadTag(&type); FAILED(hr)) return hr;
    Lower(left, kTagBytes);
    if (type == list_type) {
      if (size) *size = list_size >= kTagBytes ? list_size - kTagBytes : 0;
      return S_OK;
    }
    ULONGLONG rest = riffbytes::PadEven(list_size);
    rest = rest > kTagBytes ? rest - kTagBytes : 0;
    io.Skip(rest);
    Lower(left, rest);
  }
}

// Counts whole chunks from the position and returns to it. An entry whose
// padded data reaches past the counter lowers it to 0 and is the last one
// counted.
template <class Io>
HRESULT CountEntries(Io& io, DWORD* count, DWORD* left) {
  if (!count) return E_INVALIDARG;
  *count = 0;
  auto mark = io.Mark();
  HRESULT hr = S_OK;
  while (!left || *left >= kHeaderBytes) {
    FOURCC id = 0;
    DWORD size = 0;
    hr = io.ReadHeader(&id, &size);
    if (FAILED(hr)) break;
    Lower(left, kHeaderBytes);
    ULONGLONG padded = riffbytes::PadEven(size);
    io.Skip(padded);
    Lower(left, padded);
    ++*count;
  }
  io.Back(mark);
  return hr;
}

// Skips `index` whole chunks.
template <class Io>
HRESULT SeekEntry(Io& io, DWORD index, DWORD* left) {
  for (DWORD i = 0; i < index; ++i) {
    if (left && *left < kHeaderBytes) return RIFF_E_NOT_FOUND;
    FOURCC id = 0;
    DWORD size = 0;
    if (HRESULT hr = io.ReadHeader(&id, &size); FAILED(hr)) return hr;
    Lower(left, kHeaderBytes);
    ULONGLONG padded = riffbytes::PadEven(size);
    io.Skip(padded);
    Lower(left, padded);
  }
  return S_OK;
}

}  // namespace riffscan
