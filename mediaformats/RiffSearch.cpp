// RIFF on files: searching for chunks and lists, counting and seeking
// list entries.
#include "mediaformats/Riff.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/RiffScan.h"

namespace {

// The file as the chunk scans see it.
struct FileIo {
  HANDLE file;
  HRESULT ReadHeader(FOURCC* id, DWORD* size) { return riff_ReadChunkHeader(file, id, size); }
  HRESULT ReadTag(FOURCC* tag) {
    BYTE bytes[4];
    if (HRESULT hr = rifffile::ReadExact(file, bytes, sizeof bytes); FAILED(hr)) return hr;
    *tag = riffbytes::Get32(bytes);
    return S_OK;
  }
  void Skip(ULONGLONG amount) { rifffile::SkipForward(file, amount); }
  LONGLONG Mark() { return rifffile::Tell(file); }
  void Back(LONGLONG mark) {
    if (mark >= 0) rifffile::SeekTo(file, static_cast<ULONGLONG>(mark));
  }
};

// Reads the form header from the start; *left receives the bytes of the
// form after its type.
HRESULT StartForm(HANDLE file, DWORD* left) {
  *left = 0;
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_READ;
  return riff_ReadFileID(file, left, nullptr);
}

}  // namespace

HRESULT riff_FindChunkHeader(HANDLE file, FOURCC id, DWORD* size, DWORD* bytes_left) {
  FileIo io{file};
  return riffscan::FindChunk(io, id, size, bytes_left);
}

HRESULT riff_FindChunkHeaderInRIFF(HANDLE file, FOURCC id, DWORD* size, DWORD* bytes_left) {
  DWORD left = 0;
  HRESULT hr = StartForm(file, &left);
  if (SUCCEEDED(hr)) {
    FileIo io{file};
    hr = riffscan::FindChunk(io, id, size, &left);
  }
  if (bytes_left) *bytes_left = left;
  return hr;
}

HRESULT riff_FindListChunk(HANDLE file, FOURCC list_type, DWORD* size, DWORD* bytes_left) {
  FileIo io{file};
  return riffscan::FindList(io, list_type, size, bytes_left);
}

HRESULT riff_FindListChunkFromStart(HANDLE file, FOURCC list_type, DWORD* size) {
  DWORD left = 0;
  if (HRESULT hr = StartForm(file, &left); FAILED(hr)) return hr;
  FileIo io{file};
  return riffscan::FindList(io, list_type, size, &left);
}

HRESULT riff_GetNumListEntries(HANDLE file, DWORD* count, DWORD* bytes_left) {
  FileIo io{file};
  return riffscan::CountEntries(io, count, bytes_left);
}

HRESULT riff_SeekListEntry(HANDLE file, DWORD index, DWORD* bytes_left) {
  FileIo io{file};
  return riffscan::SeekEntry(io, index, bytes_left);
}
