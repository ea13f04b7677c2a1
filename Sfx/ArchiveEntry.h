// Internal records of CArchive2: a directory entry as walked, and a reading
// position in the data stream that runs across volume files.
#pragma once

#include "Sfx/UmRecords.h"
#include "platform/kernel/types.h"

// One central record as found while walking the directory.
struct tARCENTRY {
  tUMCENTRALRECORD record;   // the record's fields
  WCHAR name[kUmNameUnits];  // its name (at most 259 units kept), terminated
  ULONGLONG dirPos;          // offset of the record within the directory
  LONG index;                // its directory index
};

// A reading position in the archive's data stream.
struct tARCSTREAM {
  HANDLE file;         // the volume file being read (the archive itself for volume 1)
  DWORD volume;        // 1-based volume number
  ULONGLONG filePos;   // next file offset to read in it
  ULONGLONG left;      // data bytes left in this volume from filePos
};

inline bool IsFolderEntry(const tARCENTRY& e) {
  return (e.record.attributes & 0x10) != 0;
}
