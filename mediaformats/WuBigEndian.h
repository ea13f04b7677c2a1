// Big-endian field reads of the MPEG-4 box and QuickTime atom walkers
// (internal to the media formats).
#pragma once

#include "platform/kernel/types.h"

namespace bigendian {

inline DWORD Get32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) << 24 | static_cast<DWORD>(p[1]) << 16 |
         static_cast<DWORD>(p[2]) << 8 | p[3];
}
inline ULONGLONG Get64(const BYTE* p) { return static_cast<ULONGLONG>(Get32(p)) << 32 | Get32(p + 4); }

}  // namespace bigendian
