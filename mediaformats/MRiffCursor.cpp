// RIFF in memory: the cursor record, its positions and raw transfers.
#include <algorithm>
#include <cstring>

#include "mediaformats/MRiffCursor.h"

using namespace mriffcursor;

HRESULT mriff_Init(_tMRIFF* m, void* buffer, DWORD data_size, DWORD capacity) {
  if (!m) return E_POINTER;
  if (capacity < data_size) return E_INVALIDARG;
  if (!buffer && capacity > 0) return E_POINTER;
  BYTE* start = static_cast<BYTE*>(buffer);
  m->pStart = start;
  m->pCursor = start;
  m->pDataEnd = start + data_size;
  m->pCapacityEnd = start + capacity;
  m->cbData = data_size;
  m->cbCapacity = capacity;
  return S_OK;
}

BYTE* mriff_GetFilePointer(_tMRIFF* m) { return m ? m->pCursor : nullptr; }

LONGLONG mriff_WuSetFilePointer(_tMRIFF* m, LONG distance, DWORD method) {
  if (!m) return -1;
  LONGLONG base;
  switch (method) {
    case 0: base = 0; break;
    case 1: base = static_cast<LONGLONG>(Offset(m)); break;
    case 2: base = static_cast<LONGLONG>(DataLength(m)); break;
    default: base = static_cast<LONGLONG>(Offset(m)); distance = 0; break;
  }
  LONGLONG target = std::max<LONGLONG>(0, base + distance);
  MoveTo(m, static_cast<ULONGLONG>(target));
  return static_cast<LONGLONG>(Offset(m));
}

DWORD mriff_SetFilePointer(_tMRIFF* m, LONG distance, PLONG, DWORD method) {
  return static_cast<DWORD>(mriff_WuSetFilePointer(m, distance, method));
}

HRESULT mriff_SaveLocation(_tMRIFF* m, DWORD* offset) {
  if (!m) return E_POINTER;
  MoveTo(m, Offset(m));
  if (offset) *offset = static_cast<DWORD>(Offset(m));
  return S_OK;
}

HRESULT mriff_RestoreLocation(_tMRIFF* m, DWORD offset) {
  if (!m) return E_POINTER;
  MoveTo(m, offset);
  return S_OK;
}

DWORD mriff_SkipChunk(_tMRIFF* m, DWORD size) {
  ULONGLONG padded = riffbytes::PadEven(size);
  if (m) Skip(m, padded);
  return static_cast<DWORD>(padded);
}

HRESULT mriff_SeekDataStart(_tMRIFF* m) {
  if (!m) return E_POINTER;
  MoveTo(m, kRiffDataStart);
  return S_OK;
}

DWORD mriff_UpdateDataSize(_tMRIFF* m, DWORD count) {
  if (!m) return 0;
  size_t room = static_cast<size_t>(m->pCapacityEnd - m->pDataEnd);
  DWORD moved = static_cast<DWORD>(std::min<size_t>(count, room));
  m->pDataEnd += moved;
  return moved;
}

BOOL mriff_ReadFile(_tMRIFF* m, void* buffer, DWORD count, DWORD* read, void*) {
  if (read) *read = 0;
  if (!m || (count && !buffer)) return FALSE;
  size_t here = Offset(m);
  DWORD copied = static_cast<DWORD>(std::min<size_t>(count, DataLength(m) - here));
  if (copied) std::memcpy(buffer, m->pStart + here, copied);
  m->pCursor = m->pStart + here + copied;
  if (read) *read = copied;
  return copied == count ? TRUE : FALSE;
}

BOOL mriff_WriteFile(_tMRIFF* m, const void* data, DWORD count, DWORD* written, void*) {
  if (written) *written = 0;
  if (!m || (count && !data)) return TRUE;
  size_t here = Offset(m);
  DWORD copied = static_cast<DWORD>(std::min<size_t>(count, CapacityLength(m) - here));
  if (copied) std::memcpy(m->pStart + here, data, copied);
  m->pCursor = m->pStart + here + copied;
  if (m->pCursor > m->pDataEnd) m->pDataEnd = m->pCursor;
  if (written) *written = copied;
  return TRUE;
}
