// Quick media-format identification: names the format of a media file from
// its first 64 KiB and, where the content alone does not decide, from its
// file-name extension. The bytes run through a fixed, ordered table of 52
// probes (WuFileIdProbes.cpp); the first that accepts gives the code.
// Nothing is kept between calls: calls may run on any thread at once.
#pragma once

#include "mediaformats/WuFileIdType.h"
#include "platform/kernel/types.h"

// Flags of WUFILEIDINFO.
// The file name's extension is ignored: probes get none.
constexpr DWORD WUFILEID_FLAG_NO_EXTENSION = 0x1;
// A WAV file with a "scot" chunk (code 6) is reported as plain WAV (code 2).
constexpr DWORD WUFILEID_FLAG_SCOT_AS_WAV = 0x2;
// With any of the three below set, only probes whose code lies in a set
// range run: audio 2..4095, video and containers 4096..8191, still images
// 8192 and above.
constexpr DWORD WUFILEID_FLAG_AUDIO = 0x4;
constexpr DWORD WUFILEID_FLAG_VIDEO = 0x8;
constexpr DWORD WUFILEID_FLAG_IMAGE = 0x10;

// At most this many bytes from the start of a file or buffer are examined.
constexpr DWORD WUFILEID_MAX_BYTES = 65536;

// The request and its result. Six fields; 24 bytes where pointers and
// handles take 32 bits, its natural size here.
struct WUFILEIDINFO {
  // WUFILEID_FLAG_* bits.
  DWORD dwFlags;
  // An open file, or INVALID_HANDLE_VALUE (or null) for none.
  HANDLE hFile;
  // The file's path, or null. With no handle the file is opened by it;
  // with a handle it only supplies the extension.
  const WCHAR* pszFileName;
  // Caller-held bytes, used only when there is neither handle nor name.
  const BYTE* pBuffer;
  // Bytes in pBuffer.
  DWORD dwBufferSize;
  // Out: 0 when no data was examined, 1 when examined and not identified,
  // else the accepting probe's code.
  WUFILEID_IDENTIFIED_TYPE eIdentifiedType;
};
static_assert(sizeof(WUFILEIDINFO) == (sizeof(void*) == 4 ? 24 : 40),
              "WUFILEIDINFO: six fields at their natural size");

// Identifies the file or buffer the record names. E_INVALIDARG for a null
// record or identified pointer, or a record naming no source. A failed
// open, seek or read gives the converted Win32 error with type 0 (a file
// opened here is closed). Otherwise S_OK, whether or not a probe accepted;
// *identified tells which. A caller's handle is left after the bytes read.
HRESULT WuIsQuicklyIdentifiableMediaFileFormat(WUFILEIDINFO* info, BOOL* identified);

// Short forms: each fills a zeroed record, calls the form above and returns
// the identified flag (the status is dropped); `type` (optional) receives
// the record's type.
// An open file; no name, so no extension.
BOOL WuIsQuicklyIdentifiableMediaFileFormat(HANDLE file, DWORD flags,
                                            WUFILEID_IDENTIFIED_TYPE* type = nullptr);
// A file opened (and closed) by name.
BOOL WuIsQuicklyIdentifiableMediaFileFormat(const WCHAR* file_name, DWORD flags,
                                            WUFILEID_IDENTIFIED_TYPE* type = nullptr);
// An open file whose name supplies the extension; opened by name only when
// `file` is INVALID_HANDLE_VALUE.
BOOL WuIsQuicklyIdentifiableMediaFileFormat(HANDLE file, const WCHAR* file_name, DWORD flags,
                                            WUFILEID_IDENTIFIED_TYPE* type = nullptr);
// Bytes in memory: no handle, no name.
BOOL WuIsQuicklyIdentifiableMediaFileFormat(const BYTE* buffer, DWORD buffer_size, DWORD flags,
                                            WUFILEID_IDENTIFIED_TYPE* type = nullptr);

// Walks the atoms (boxes) of a QuickTime / MPEG-4 file from `start` for at
// most `length` bytes, looking for `atom_type` (its four characters in file
// order, as RiffId makes them). TRUE with the atom's offset and whole size
// (a 32-bit size of 1 takes the 64-bit size that follows). FALSE when the
// walk ends first: a size of 0, an atom smaller than its header (8 bytes,
// 16 with a 64-bit size) or larger than what is left to search, a first
// atom whose type is not printable, the end of the range, or a failed read
// or seek. Both outputs (optional) are 0 unless found.
BOOL WuFindAtom(HANDLE file, DWORD atom_type, ULONGLONG start, ULONGLONG length,
                ULONGLONG* found_offset, ULONGLONG* found_size);
