// Offsets of a _tMRIFF cursor and its raw moves (internal to the media
// formats). Every position is computed as an offset from the buffer start
// and clamped before it becomes a pointer.
#pragma once

#include "mediaformats/MRiff.h"

namespace mriffcursor {

// Bytes from the start to the data end, the capacity end and the cursor
// (the cursor clamped to [start, data end]).
inline size_t DataLength(const _tMRIFF* m) { return static_cast<size_t>(m->pDataEnd - m->pStart); }
inline size_t CapacityLength(const _tMRIFF* m) {
  return static_cast<size_t>(m->pCapacityEnd - m->pStart);
}
inline size_t Offset(const _tMRIFF* m) {
  if (m->pCursor < m->pStart) return 0;
  size_t offset = static_cast<size_t>(m->pCursor - m->pStart);
  return offset > DataLength(m) ? DataLength(m) : offset;
}
// Puts the cursor at an offset, clamped to the data end.
inline void MoveTo(_tMRIFF* m, ULONGLONG offset) {
  size_t end = DataLength(m);
  m->pCursor = m->pStart + (offset > end ? end : static_cast<size_t>(offset));
}
// Moves forward, at most to the data end.
inline void Skip(_tMRIFF* m, ULONGLONG amount) {
  size_t here = Offset(m);
  MoveTo(m, amount > DataLength(m) - here ? DataLength(m) : here + amount);
}
// Reads a 4-byte field as far as bytes remain; RIFF_E_READ when short.
inline HRESULT ReadField(_tMRIFF* m, DWORD* value) {
  BYTE bytes[4] = {};
  DWORD read = 0;
  mriff_ReadFile(m, bytes, sizeof bytes, &read, nullptr);
  if (read > 0 && value) *value = riffbytes::Get32(bytes);
  return read == sizeof bytes ? S_OK : RIFF_E_READ;
}
// Writes a 4-byte field; RIFF_E_WRITE when it does not fit whole.
inline HRESULT WriteField(_tMRIFF* m, DWORD value) {
  BYTE bytes[4];
  riffbytes::Put32(bytes, value);
  DWORD written = 0;
  mriff_WriteFile(m, bytes, sizeof bytes, &written, nullptr);
  return written == sizeof bytes ? S_OK : RIFF_E_WRITE;
}

}  // namespace mriffcursor
