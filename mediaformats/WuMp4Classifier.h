// The MPEG-4 file classifier: reads the "ftyp" brands and walks the box
// tree (ISO base media boxes, QuickTime atoms) down to the first sample
// description of each track, and answers one identification code: 20 (AAC
// audio track, no video), 4110 (AVC video), 4116 (MPEG-2 video), 4111
// (other MPEG-4 / ISO media file) or 1 (not classified). Quick
// identification runs it in its table in place of a probe.
#pragma once

#include "mediaformats/WuFileIdType.h"
#include "platform/kernel/types.h"

// One box header as read. All sizes and offsets count bytes.
struct WUMP4BOXHEADER {
  // the size as stored (0 and 1 have their special meanings)
  DWORD dwStoredSize;
  // the type, its four characters read as a big-endian number
  DWORD dwType;
  // version (top 8 bits) and flags (low 24 bits) of a full box, else all ones
  DWORD dwVersionFlags;
  // the whole box, header included
  ULONGLONG qwSize;
  // file offset of the box's first byte (0 for the first box in memory)
  ULONGLONG qwOffset;
  // header bytes: 8, +8 for a 64-bit size, +16 for "uuid", +4 for version
  // and flags, +4 for an entry count
  DWORD dwHeaderSize;
  // the box may stand at file level
  BOOL bTopLevel;
  // the entry count of boxes that carry one, -1 for other containers, else 0
  LONG lEntryCount;
  // the user type of a "uuid" box
  BYTE userType[16];

  ULONGLONG PayloadStart() const { return qwOffset + dwHeaderSize; }
  ULONGLONG End() const { return qwOffset + qwSize; }
};

// A four-character code as a big-endian number ("moov" -> 0x6D6F6F76).
constexpr DWORD WuMp4Type(const char (&four)[5]) {
  return static_cast<DWORD>(static_cast<unsigned char>(four[0])) << 24 |
         static_cast<DWORD>(static_cast<unsigned char>(four[1])) << 16 |
         static_cast<DWORD>(static_cast<unsigned char>(four[2])) << 8 |
         static_cast<unsigned char>(four[3]);
}

// The first box of `size` bytes of memory. FALSE when fewer than 8 bytes,
// or a stored size below 8 (0 and 1 included) or above `size`; a "uuid" box
// needs 24 bytes. Version and flags and the entry count are taken when they
// fit. Types outside the known kinds are read with bTopLevel FALSE.
BOOL WuMp4ReadBoxHeaderFromMemory(const BYTE* data, DWORD size, WUMP4BOXHEADER* header);

// The box at the file's current position, which must lie before `limit`
// (the end of the enclosing box or of the file). A stored size of 0 runs to
// the limit; 1 takes the 64-bit size that follows. FALSE on a short read or
// when the size is below the header or the box passes the limit. The file
// is left after the header.
BOOL WuMp4ReadBoxHeader(HANDLE file, ULONGLONG limit, WUMP4BOXHEADER* header);

// Classifies from the first `size` bytes of a file (`data`), with the open
// file for the track walk or INVALID_HANDLE_VALUE for memory alone (the
// answer then rests on the brands). The handle's position is not kept.
WUFILEID_IDENTIFIED_TYPE WuMp4ClassifyBuffer(HANDLE file, const BYTE* data, DWORD size);

// Classifies an open file from its start (the position is not kept).
WUFILEID_IDENTIFIED_TYPE WuMp4ClassifyFile(HANDLE file);
// Opens the file by name for reading, classifies it and closes it; 1 when
// it cannot be opened.
WUFILEID_IDENTIFIED_TYPE WuMp4ClassifyFileW(const WCHAR* file_name);
