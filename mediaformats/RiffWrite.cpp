// RIFF on files: writing headers and chunks, setting and updating the form
// size.
#include "mediaformats/Riff.h"
#include "mediaformats/RiffFile.h"

namespace {

constexpr FOURCC kRiff = RiffId("RIFF");
constexpr FOURCC kList = RiffId("LIST");
// Offset of the form size in the form header.
constexpr ULONGLONG kFormSizeOffset = 4;

// A header followed by a tag (form or list type): 12 bytes in one write.
HRESULT WriteHeaderAndTag(HANDLE file, FOURCC id, DWORD size, FOURCC tag) {
  BYTE bytes[12];
  riffbytes::Put32(bytes, id);
  riffbytes::Put32(bytes + 4, size);
  riffbytes::Put32(bytes + 8, tag);
  return rifffile::WriteExact(file, bytes, sizeof bytes);
}

}  // namespace

HRESULT riff_WriteChunkHeader(HANDLE file, FOURCC id, DWORD size) {
  BYTE bytes[8];
  riffbytes::Put32(bytes, id);
  riffbytes::Put32(bytes + 4, size);
  return rifffile::WriteExact(file, bytes, sizeof bytes);
}

HRESULT riff_WriteChunk(HANDLE file, FOURCC id, const void* data, DWORD size, DWORD* written) {
  if (written) *written = 0;
  if (size && !data) return E_INVALIDARG;
  if (HRESULT hr = riff_WriteChunkHeader(file, id, size); FAILED(hr)) return hr;
  if (HRESULT hr = rifffile::WriteExact(file, data, size); FAILED(hr)) return hr;
  if (size & 1) {
    const BYTE pad = 0;
    if (HRESULT hr = rifffile::WriteExact(file, &pad, 1); FAILED(hr)) return hr;
  }
  if (written) *written = static_cast<DWORD>(riffbytes::PadEven(size) + 8);
  return S_OK;
}

HRESULT riff_WriteListHeader(HANDLE file, FOURCC list_type, DWORD size) {
  return WriteHeaderAndTag(file, kList, size, list_type);
}

HRESULT riff_WriteFileID(HANDLE file, FOURCC form_type, DWORD size) {
  return WriteHeaderAndTag(file, kRiff, size, form_type);
}

HRESULT riff_SetRIFFSize(HANDLE file, DWORD size) {
  LONGLONG here = rifffile::Tell(file);
  HRESULT hr = RIFF_E_WRITE;
  if (rifffile::SeekTo(file, kFormSizeOffset)) {
    BYTE bytes[4];
    riffbytes::Put32(bytes, size);
    hr = rifffile::WriteExact(file, bytes, sizeof bytes);
  }
  if (here >= 0) rifffile::SeekTo(file, static_cast<ULONGLONG>(here));
  return hr;
}

HRESULT riff_UpdateRIFFSize(HANDLE file, DWORD delta_low, LONG delta_high) {
  LONGLONG here = rifffile::Tell(file);
  LONGLONG delta = static_cast<LONGLONG>(
      static_cast<ULONGLONG>(static_cast<DWORD>(delta_high)) << 32 | delta_low);
  BYTE bytes[4];
  HRESULT hr = rifffile::SeekTo(file, kFormSizeOffset)
                   ? rifffile::ReadExact(file, bytes, sizeof bytes)
                   : RIFF_E_READ;
  if (SUCCEEDED(hr)) {
    DWORD old_size = riffbytes::Get32(bytes);
    LONGLONG new_size = 0;
    bool overflow = __builtin_add_overflow(static_cast<LONGLONG>(old_size), delta, &new_size);
    if (overflow ? delta < 0 : new_size < 0) {
      hr = E_INVALIDARG;
    } else if (overflow || new_size > static_cast<LONGLONG>(kRiffMaxFormSize)) {
      // The form cannot grow past the largest size: what was appended
      // beyond the old form is cut off again (the file is never extended).
      ULONGLONG old_end = static_cast<ULONGLONG>(old_size) + 8;
      LONGLONG end = rifffile::Size(file);
      if (end > static_cast<LONGLONG>(old_end)) rifffile::CutAt(file, old_end);
      hr = RIFF_E_TOO_LARGE;
    } else {
      riffbytes::Put32(bytes, static_cast<DWORD>(new_size));
      hr = rifffile::SeekTo(file, kFormSizeOffset) ? rifffile::WriteExact(file, bytes, sizeof bytes)
                                                   : RIFF_E_WRITE;
    }
  }
  if (here >= 0) rifffile::SeekTo(file, static_cast<ULONGLONG>(here));
  return hr;
}
