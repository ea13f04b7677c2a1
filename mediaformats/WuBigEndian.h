// Big-endian field reads of the media formats (IFF and AIFF chunks, the
// MPEG-4 box and QuickTime atom walkers, the identification probes);
// internal to the media formats.
#pragma once

#include "platform/kernel/types.h"

namespace bigendian {

inline WORD Get16(const BYTE* p) { return static_cast<WORD>(p[0] << 8 | p[1]); }
inline DWORD Get32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) << 24 | static_cast<DWORD>(p[1]) << 16 |
         static_cast<DWORD>(p[2]) << 8 | p[3];
}
inline ULONGLONG Get64(const BYTE* p) { return static_cast<ULONGLONG>(Get32(p)) << 32 | Get32(p + 4); }

}  // namespace bigendian
