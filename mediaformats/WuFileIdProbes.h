// The probe table of quick identification and the helpers its probes share
// (internal to the media formats; WuFileId.cpp walks the table).
#pragma once

#include <cstddef>

#include "mediaformats/WuFileIdType.h"
#include "platform/kernel/types.h"

namespace fileid {

// A probe: TRUE to accept `n` bytes of `data`. `extension` is the file
// name's extension with its leading '.' (empty without one), or null when
// there is no name or it is to be ignored.
using Probe = BOOL (*)(const BYTE* data, DWORD n, const WCHAR* extension);

// One row of the table: its probe (null for the MPEG-4 classifier's row)
// and the code it gives.
struct ProbeRow {
  Probe probe;
  WUFILEID_IDENTIFIED_TYPE code;
};

constexpr int kProbeRowCount = 52;
// The row where the MPEG-4 classifier stands in place of a probe.
constexpr int kClassifierRow = 41;

// The 52 rows in their fixed order.
const ProbeRow* ProbeTable();

// TRUE when `extension` is non-null and equals `wanted` ("." and ASCII),
// ignoring ASCII case.
bool ExtensionIs(const WCHAR* extension, const char* wanted);

// Reads bits most significant first from 16-bit words taken as stored
// little-endian; at most 16 bits a read. Reads past the end give zeros.
class WordBitReader {
 public:
  WordBitReader(const BYTE* data, size_t bytes) : data_(data), bits_(bytes / 2 * 16) {}
  DWORD Read(int count);

 private:
  const BYTE* data_;
  // bits available and the next bit's index
  size_t bits_;
  size_t cursor_ = 0;
};

// Reads bits most significant first from bytes at a bit cursor; at most 25
// bits a read. Reads past the end give zeros.
class ByteBitReader {
 public:
  ByteBitReader(const BYTE* data, size_t bytes) : data_(data), bits_(bytes * 8) {}
  DWORD Read(int count);

 private:
  const BYTE* data_;
  size_t bits_;
  size_t cursor_ = 0;
};

// The fields of a 4-byte MPEG audio frame header, in stream order.
struct MpegAudioHeader {
  DWORD sync;         // 11 bits, all ones in a frame header
  DWORD version;      // 2 bits: 00 2.5, 01 reserved, 10 MPEG-2, 11 MPEG-1
  DWORD layer;        // 2 bits: 01 layer III, 10 layer II, 11 layer I
  DWORD protection;   // 1 bit: 0 when a CRC follows
  DWORD bitrate;      // 4 bits: index, 0 free, 15 bad
  DWORD sample_rate;  // 2 bits: index, 3 reserved
  DWORD padding;      // 1 bit
  DWORD private_bit;  // 1 bit
  DWORD mode;         // 2 bits: channel mode
  DWORD mode_ext;     // 2 bits
  DWORD copyright;    // 1 bit
  DWORD original;     // 1 bit
  DWORD emphasis;     // 2 bits
};
MpegAudioHeader UnpackMpegAudioHeader(const BYTE* four_bytes);
// TRUE for a usable header of the given layer bits (1 layer III, 2 layer II).
bool IsValidMpegAudioHeader(const MpegAudioHeader& header, DWORD layer);

// Compares the first `n` characters of two 8-bit texts (each cut at its
// NUL or at n): 0 when equal, else the sign of the first difference.
int BoundedCompare(const char* a, const char* b, size_t n);

// Swaps the bytes of `count` 16-bit or 32-bit words in place.
void SwapBytes16(BYTE* words, size_t count);
void SwapBytes32(BYTE* words, size_t count);

}  // namespace fileid
