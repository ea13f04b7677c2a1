// WuFindAtom: a flat walk over the atoms of a QuickTime / MPEG-4 file.
#include "mediaformats/RiffBytes.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/WuBigEndian.h"
#include "mediaformats/WuFileId.h"

namespace {

bool ReadBytes(HANDLE file, void* buffer, DWORD count) {
  return SUCCEEDED(rifffile::ReadExact(file, buffer, count));
}

}  // namespace

BOOL WuFindAtom(HANDLE file, DWORD atom_type, ULONGLONG start, ULONGLONG length,
                ULONGLONG* found_offset, ULONGLONG* found_size) {
  if (found_offset) *found_offset = 0;
  if (found_size) *found_size = 0;
  if (length == 0) return FALSE;
  ULONGLONG offset = start;
  ULONGLONG left = length;
  for (bool first = true;; first = false) {
    BYTE header[8];
    if (!rifffile::SeekTo(file, offset) || !ReadBytes(file, header, 8)) return FALSE;
    ULONGLONG size = bigendian::Get32(header);
    if (size == 0) return FALSE;
    ULONGLONG header_size = 8;
    if (size == 1) {
      BYTE wide[8];
      if (!ReadBytes(file, wide, 8)) return FALSE;
      size = bigendian::Get64(wide);
      header_size = 16;
    }
    // An atom smaller than its own header would not move the walk forward
    // (or would step inside the header): the file is damaged here.
    if (size < header_size) return FALSE;
    DWORD type = riffbytes::Get32(header + 4);
    if (type == atom_type) {
      if (found_offset) *found_offset = offset;
      if (found_size) *found_size = size;
      return TRUE;
    }
    if (first) {
      for (int i = 4; i < 8; ++i)
        if (header[i] != 0 && (header[i] < 0x20 || header[i] > 0x7E)) return FALSE;
    }
    if (size > left) return FALSE;
    offset += size;
    left -= size;
    if (left == 0) return FALSE;
  }
}
