// A bound on what a chunk may claim (internal to the media formats): its
// data must still be in the file, whatever the sizes around it say, so that
// a lying size is never allocated.
#pragma once

#include "mediaformats/RiffFile.h"

namespace wubound {

// True when `count` bytes remain in the file after the position.
inline bool FitsInFile(HANDLE file, ULONGLONG count) {
  LONGLONG here = rifffile::Tell(file);
  LONGLONG size = rifffile::Size(file);
  return here >= 0 && size >= here && count <= static_cast<ULONGLONG>(size - here);
}

}  // namespace wubound
