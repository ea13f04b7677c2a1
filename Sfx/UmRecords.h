// Byte layouts of the "UM" archive: the 64-byte local header, the 84-byte
// central record and the 56-byte end record.
//
// All integers are unsigned little-endian; texts are UTF-16LE without a
// terminator, their lengths (in code units) standing in the record before
// them. Offsets count from the archive base (the first byte of the archive
// in the first volume file), never from the start of the file.
//
// The structs below mirror the layouts field by field (packed, so that
// their sizes can be checked against the format), but they are never copied
// to or from disk as a whole: UmEncode* and UmDecode* move each field
// explicitly in little-endian order.
#pragma once

#include "platform/kernel/types.h"

// Signatures ("U", "M", then two bytes).
constexpr DWORD kUmLocalSignature = 0x0A034D55;    // "UM" 0x03 0x0A
constexpr DWORD kUmCentralSignature = 0x0B014D55;  // "UM" 0x01 0x0B
constexpr DWORD kUmEndSignature = 0x0C054D55;      // "UM" 0x05 0x0C

// Record sizes on disk.
constexpr int kUmLocalHeaderSize = 64;
constexpr int kUmCentralRecordSize = 84;
constexpr int kUmEndRecordSize = 56;

// Compression methods.
constexpr DWORD kUmMethodStored = 0;   // bytes as they are
constexpr DWORD kUmMethodDeflate = 1;  // raw deflate (RFC 1951, window bits -15)

// Text limits: stored names and the archive name hold at most 259 units,
// the volume comment at most 1,023.
constexpr int kUmNameUnits = 260;      // buffer size, terminator included
constexpr int kUmCommentUnits = 1024;  // buffer size, terminator included
constexpr int kUmMaxNameLength = kUmNameUnits - 1;
constexpr int kUmMaxCommentLength = kUmCommentUnits - 1;

// The end record must start within this many bytes of the end of the file.
constexpr int kUmEndScanWindow = 32768;

#pragma pack(push, 1)

// Facts shared by the local header (offsets 4..51) and the central record
// (offsets 4..51), copied unchanged between the two.
struct tUMENTRYFACTS {
  DWORD reserved1;       // written 0
  DWORD reserved2;       // written 0
  DWORD method;          // kUmMethodStored or kUmMethodDeflate
  DWORD level;           // compression level asked for, 0..9 (informational)
  ULONGLONG fileTime;    // last-write time as a FILETIME value (100 ns since 1601)
  DWORD storedCrc;       // CRC-32 of the bytes as they lie in the archive
  DWORD dataCrc;         // CRC-32 of the uncompressed bytes
  ULONGLONG storedSize;  // bytes in the archive
  ULONGLONG size;        // uncompressed bytes
};
static_assert(sizeof(tUMENTRYFACTS) == 48);

// Local header: at the start of each entry, followed by the name, then the
// second text, then the stored data.
struct tUMLOCALHEADER {
  DWORD signature;       // kUmLocalSignature
  tUMENTRYFACTS facts;   // offsets 4..51
  DWORD attributes;      // Windows attribute bits; 0x10 marks a folder entry
  DWORD nameLength;      // name length in UTF-16 units
  DWORD secondLength;    // length of the second text (0 when written here)
};
static_assert(sizeof(tUMLOCALHEADER) == kUmLocalHeaderSize);

// Central record: one per entry, in entry order, followed by the name, the
// second text and the third text (each only when its length is above 0).
struct tUMCENTRALRECORD {
  DWORD signature;       // kUmCentralSignature
  tUMENTRYFACTS facts;   // offsets 4..51 of the local header
  DWORD nameLength;      // name length in UTF-16 units
  DWORD secondLength;    // length of the second text
  DWORD thirdLength;     // length of the third text
  DWORD reserved3;       // written 0
  DWORD attributes;      // file attributes
  DWORD reserved4;       // written 0
  ULONGLONG localOffset; // offset of the entry's local header
};
static_assert(sizeof(tUMCENTRALRECORD) == kUmCentralRecordSize);

// End record: after the central directory, followed by the volume comment,
// the archive name and the third text (each only when its length is above 0).
struct tUMENDRECORD {
  DWORD signature;        // kUmEndSignature
  DWORD volumeCount;      // number of volume files (1 for one file)
  DWORD reserved;         // written 0
  DWORD entryCount;       // number of entries
  DWORD entryCount2;      // the same again; readers take this one
  ULONGLONG dirSize;      // bytes of the central directory, texts included
  ULONGLONG dirOffset;    // offset of the central directory
  ULONGLONG baseOffset;   // file offset of the archive in the first volume file
  DWORD commentLength;    // volume comment length in units (at most 1,023)
  DWORD nameLength;       // archive name length in units (at most 259)
  DWORD thirdLength;      // third text length (0 when written here)
};
static_assert(sizeof(tUMENDRECORD) == kUmEndRecordSize);

#pragma pack(pop)

// Bytes a central record takes with its texts.
inline ULONGLONG UmCentralRecordBytes(const tUMCENTRALRECORD& r) {
  return kUmCentralRecordSize +
         2ULL * (static_cast<ULONGLONG>(r.nameLength) + r.secondLength + r.thirdLength);
}
// Bytes the end record takes with its texts.
inline ULONGLONG UmEndRecordBytes(const tUMENDRECORD& r) {
  return kUmEndRecordSize +
         2ULL * (static_cast<ULONGLONG>(r.commentLength) + r.nameLength + r.thirdLength);
}
// Archive offset of an entry's stored data. A local-header offset so large
// that the sum wraps around gives the largest offset (found in no volume),
// never a small one that would read another entry's bytes.
inline ULONGLONG UmDataOffset(const tUMCENTRALRECORD& r) {
  ULONGLONG offset;
  if (__builtin_add_overflow(r.localOffset,
                             kUmLocalHeaderSize + 2ULL * (static_cast<ULONGLONG>(r.nameLength) +
                                                          r.secondLength),
                             &offset))
    return ~0ULL;
  return offset;
}

// ---- Little-endian fields --------------------------------------------------------
inline DWORD UmGet32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
         (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}
inline ULONGLONG UmGet64(const BYTE* p) {
  return static_cast<ULONGLONG>(UmGet32(p)) | (static_cast<ULONGLONG>(UmGet32(p + 4)) << 32);
}
inline void UmPut32(BYTE* p, DWORD v) {
  p[0] = static_cast<BYTE>(v);
  p[1] = static_cast<BYTE>(v >> 8);
  p[2] = static_cast<BYTE>(v >> 16);
  p[3] = static_cast<BYTE>(v >> 24);
}
inline void UmPut64(BYTE* p, ULONGLONG v) {
  UmPut32(p, static_cast<DWORD>(v));
  UmPut32(p + 4, static_cast<DWORD>(v >> 32));
}

// ---- Records <-> bytes -------------------------------------------------------------
void UmEncodeLocalHeader(const tUMLOCALHEADER& h, BYTE out[kUmLocalHeaderSize]);
void UmDecodeLocalHeader(const BYTE in[kUmLocalHeaderSize], tUMLOCALHEADER* h);
void UmEncodeCentralRecord(const tUMCENTRALRECORD& r, BYTE out[kUmCentralRecordSize]);
void UmDecodeCentralRecord(const BYTE in[kUmCentralRecordSize], tUMCENTRALRECORD* r);
void UmEncodeEndRecord(const tUMENDRECORD& e, BYTE out[kUmEndRecordSize]);
void UmDecodeEndRecord(const BYTE in[kUmEndRecordSize], tUMENDRECORD* e);

// UTF-16 text <-> UTF-16LE bytes (2 bytes per unit, no terminator).
void UmEncodeText(const WCHAR* text, DWORD units, BYTE* out);
// Decodes `units` units, keeping at most size-1 of them in `text`, always
// terminated; returns the number kept.
int UmDecodeText(const BYTE* in, DWORD units, WCHAR* text, int size);
