// Little-endian field codecs of the chunk layers. File bytes are never
// overlaid with records: every field is read and written byte by byte here.
#pragma once

#include <cstring>

#include "platform/kernel/types.h"

// A RIFF chunk identifier: four characters held as one 32-bit value whose
// low byte is the first character ("RIFF" is 0x46464952).
typedef DWORD FOURCC;

// The identifier of four characters, first character in the low byte.
constexpr FOURCC RiffId(const char (&text)[5]) {
  return static_cast<FOURCC>(static_cast<BYTE>(text[0])) |
         static_cast<FOURCC>(static_cast<BYTE>(text[1])) << 8 |
         static_cast<FOURCC>(static_cast<BYTE>(text[2])) << 16 |
         static_cast<FOURCC>(static_cast<BYTE>(text[3])) << 24;
}

namespace riffbytes {

inline WORD Get16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
inline DWORD Get32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 |
         static_cast<DWORD>(p[2]) << 16 | static_cast<DWORD>(p[3]) << 24;
}
inline ULONGLONG Get64(const BYTE* p) {
  return static_cast<ULONGLONG>(Get32(p)) | static_cast<ULONGLONG>(Get32(p + 4)) << 32;
}
inline void Put16(BYTE* p, WORD v) {
  p[0] = static_cast<BYTE>(v);
  p[1] = static_cast<BYTE>(v >> 8);
}
inline void Put32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}
inline void Put64(BYTE* p, ULONGLONG v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

// A GUID in its stored order: Data1, Data2 and Data3 little-endian, then the
// 8 bytes of Data4 as they stand.
constexpr size_t kGuidBytes = 16;
inline GUID GetGuid(const BYTE* p) {
  GUID g;
  g.Data1 = Get32(p);
  g.Data2 = Get16(p + 4);
  g.Data3 = Get16(p + 6);
  std::memcpy(g.Data4, p + 8, 8);
  return g;
}
inline void PutGuid(BYTE* p, const GUID& g) {
  Put32(p, g.Data1);
  Put16(p + 4, g.Data2);
  Put16(p + 6, g.Data3);
  std::memcpy(p + 8, g.Data4, 8);
}

// Sizes rounded up to the alignment of each layer, without wrapping (a
// RIFF size of 0xFFFFFFFF pads to 2^32).
constexpr ULONGLONG PadEven(ULONGLONG size) { return size + (size & 1); }
// RIFF64 sizes that cannot be padded within 64 bits saturate.
constexpr ULONGLONG Pad8(ULONGLONG size) {
  if (!(size & 7)) return size;
  return size > ~0ULL - 7 ? ~0ULL : size + (8 - (size & 7));
}

}  // namespace riffbytes
