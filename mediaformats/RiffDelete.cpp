// RIFF on files: deleting a chunk or list from the form.
#include "mediaformats/Riff.h"
#include "mediaformats/RiffFile.h"

HRESULT riff_DeleteChunk(HANDLE file, FOURCC id, DWORD* removed, BOOL is_list) {
  if (removed) *removed = 0;
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_READ;
  DWORD left = 0;
  if (HRESULT hr = riff_ReadFileID(file, &left, nullptr); FAILED(hr)) return hr;
  DWORD size = 0;
  HRESULT hr = is_list ? riff_FindListChunk(file, id, &size, &left)
                       : riff_FindChunkHeader(file, id, &size, &left);
  if (FAILED(hr)) return hr;
  // The chunk's header (and list type) lie before the position; `left` is
  // what the form holds from here.
  ULONGLONG header = is_list ? 12 : 8;
  LONGLONG here = rifffile::Tell(file);
  if (here < static_cast<LONGLONG>(header)) return RIFF_E_READ;
  // A chunk that claims more than its form holds would take bytes after
  // the form with it.
  if (size > left) return RIFF_E_WRONG_FORM;
  ULONGLONG start = static_cast<ULONGLONG>(here) - header;
  ULONGLONG span = riffbytes::PadEven(size) + header;
  // The form loses the bytes of the chunk that it held: a last chunk's pad
  // byte may be held by the file without the form counting it, or counted
  // by the form and missing from the file.
  ULONGLONG gone = rifffile::SpanRemoved(span, header + left);
  hr = rifffile::MoveTailDown(file, start, start + span);
  if (FAILED(hr)) return hr;
  LONGLONG delta = -static_cast<LONGLONG>(gone);
  hr = riff_UpdateRIFFSize(file, static_cast<DWORD>(delta), static_cast<LONG>(delta >> 32));
  if (removed) *removed = static_cast<DWORD>(gone);
  return hr;
}
