// RIFF chunk input and output on open files.
//
// Flat functions over a file handle and its position; there is no buffering
// and no object. Every function takes the handle first, returns a status
// code (mediaformats/RiffStatus.h) and leaves the file where the next step
// of a parse expects it: after a header, at a chunk's data, or after a
// chunk's padded data. Searches that start at the beginning of the file
// (riff_FindChunkHeaderInRIFF, riff_FindListChunkFromStart,
// riff_DeleteChunk, riff_GetFileSize) move the position themselves;
// riff_GetNumListEntries, riff_SetRIFFSize and riff_UpdateRIFFSize put it
// back; a failed search leaves it where the scan stopped.
//
// Layout: a chunk is an id (four characters), a u32 size counting the data
// bytes only, the data and one zero pad byte when the size is odd. The form
// is "RIFF", a u32 size (everything after these 8 bytes), the form type and
// the form's chunks from offset 12. A list is "LIST", a u32 size counting
// the list type and entries, the list type, then the entries. All numbers
// are little-endian. Positions of this layer are 32-bit (files stay below
// 4 GB): saved and restored locations are the low 32 bits.
//
// The bytes-left counter: searches and enumerations take an optional
// pointer to the number of bytes of the enclosing form or list that remain
// from the position. They lower it by every byte consumed (8 per header, 4
// per list type, the padded data of a skipped chunk; never below 0) and
// scan only while a header still fits. Without a counter the scan runs
// until a read fails at the end of the file, so a missing chunk then shows
// as RIFF_E_READ rather than RIFF_E_NOT_FOUND.
#pragma once

#include "mediaformats/RiffBytes.h"
#include "mediaformats/RiffStatus.h"
#include "platform/kernel/types.h"

// The largest size written into a form header.
constexpr DWORD kRiffMaxFormSize = 0xFFFFFFF7;
// Offset of the form's first chunk.
constexpr DWORD kRiffDataStart = 12;

// Data read into a block of its own (riff_ReadDataAlloc,
// mriff_ReadDataAlloc).
struct tRIFFALLOCDATA {
  DWORD cbData;  // bytes to read, set by the caller
  void* pData;   // the data: zero-filled movable global memory, locked; the
                 // caller unlocks and frees it (null for 0 bytes or failure)
};

// The "fmt " body of a CD-audio track file (form "CDDA"), 24 bytes.
struct tRIFFCDDAFORMAT {
  WORD wVersion;          // format version
  WORD wTrack;            // track number
  DWORD dwSerial;         // volume serial number
  DWORD dwStartSector;    // first sector of the track
  DWORD dwLengthSectors;  // length in sectors
  BYTE bStartFrame;       // start time: frame (1/75 s)
  BYTE bStartSecond;      // start time: second
  BYTE bStartMinute;      // start time: minute
  BYTE bStartUnused;      // unused
  BYTE bLengthFrame;      // length: frame
  BYTE bLengthSecond;     // length: second
  BYTE bLengthMinute;     // length: minute
  BYTE bLengthUnused;     // unused
};
static_assert(sizeof(tRIFFCDDAFORMAT) == 24);
constexpr DWORD kRiffCddaFormatBytes = 24;

// ---- Reading and checking headers ---------------------------------------
// The form header: clears *size, reads "RIFF", the size and the form type.
// *size receives the form size minus 4 (the bytes after the form type).
// RIFF_E_NOT_RIFF when the id is not "RIFF", RIFF_E_READ when short.
HRESULT riff_ReadFileID(HANDLE file, DWORD* size, FOURCC* form_type);
// Id and size of the chunk at the position; RIFF_E_READ when short.
HRESULT riff_ReadChunkHeader(HANDLE file, FOURCC* id, DWORD* size);
// A list header: RIFF_E_NOT_LIST when the id is not "LIST"; *size receives
// the list size minus 4 (the entries' bytes; 0 when the list is smaller).
HRESULT riff_ReadListHeader(HANDLE file, FOURCC* list_type, DWORD* size);
// RIFF_E_BAD_SIZE when the size has its top bit set, RIFF_E_ZERO_SIZE
// when it is 0, else S_OK. The id is not examined.
HRESULT riff_ValidateChunkHeader(FOURCC id, DWORD size);
// The RIFF extent of the file (form size + 8), read from the start.
HRESULT riff_GetFileSize(HANDLE file, DWORD* size);

// ---- Reading data ---------------------------------------------------------
// Exactly `count` bytes, then the pad byte when count is odd.
HRESULT riff_ReadData(HANDLE file, void* buffer, DWORD count);
// min(buffer_size, chunk_size) bytes, then on to the end of the chunk's
// padded data.
HRESULT riff_ReadDataBounded(HANDLE file, void* buffer, DWORD buffer_size, DWORD chunk_size);
// Reads data->cbData bytes into a new block (see tRIFFALLOCDATA).
// E_INVALIDARG for a null record.
HRESULT riff_ReadDataAlloc(HANDLE file, tRIFFALLOCDATA* data);
// An ANSI string chunk body of *string_size bytes into a wide buffer of
// `buffer_chars` characters: at most buffer_chars - 1 bytes are taken and
// the text is always terminated (a buffer of 0 characters receives
// nothing); the file then stands after the padded body and *string_size
// is raised by one. E_INVALIDARG for a null buffer or size.
HRESULT riff_ReadANSIString(HANDLE file, LPWSTR buffer, DWORD buffer_chars, DWORD* string_size);

// ---- Moving -------------------------------------------------------------------
HRESULT riff_SaveLocation(HANDLE file, DWORD* position);
HRESULT riff_RestoreLocation(HANDLE file, DWORD position);
// Moves forward by size rounded up to even and returns that amount (modulo
// 2^32: a size of 0xFFFFFFFF moves 2^32 bytes and returns 0).
DWORD riff_SkipChunk(HANDLE file, DWORD size);
// To offset 12, the form's first chunk.
HRESULT riff_SeekDataStart(HANDLE file);

// ---- Searching and enumerating ---------------------------------------------
// The next chunk with `id` from the position; the file then stands at its
// data and *size holds its size.
HRESULT riff_FindChunkHeader(HANDLE file, FOURCC id, DWORD* size, DWORD* bytes_left);
// The same over the whole form, from the start; *bytes_left receives what
// remained when the search ended, found or not.
HRESULT riff_FindChunkHeaderInRIFF(HANDLE file, FOURCC id, DWORD* size, DWORD* bytes_left);
// The next "LIST" of `list_type`; the file then stands at its first entry
// and *size holds the entries' bytes (list size minus 4).
HRESULT riff_FindListChunk(HANDLE file, FOURCC list_type, DWORD* size, DWORD* bytes_left);
HRESULT riff_FindListChunkFromStart(HANDLE file, FOURCC list_type, DWORD* size);
// Counts the chunks from the position and returns to it. An entry that
// claims more than the counter holds ends the count after itself. Without
// a counter the count runs to the end of the file (RIFF_E_READ).
HRESULT riff_GetNumListEntries(HANDLE file, DWORD* count, DWORD* bytes_left);
// Skips `index` whole chunks; RIFF_E_NOT_FOUND when the counter runs out.
HRESULT riff_SeekListEntry(HANDLE file, DWORD index, DWORD* bytes_left);

// ---- Writing ------------------------------------------------------------------
// Every writer stops at its first failed write with RIFF_E_WRITE; nothing
// is rolled back.
HRESULT riff_WriteChunkHeader(HANDLE file, FOURCC id, DWORD size);
// Header, data and a zero pad byte when size is odd; *written = padded
// size + 8.
HRESULT riff_WriteChunk(HANDLE file, FOURCC id, const void* data, DWORD size, DWORD* written);
HRESULT riff_WriteListHeader(HANDLE file, FOURCC list_type, DWORD size);
HRESULT riff_WriteFileID(HANDLE file, FOURCC form_type, DWORD size);
// A wide text as an ANSI string chunk body: its bytes and a terminator,
// then a pad byte when that count is odd; *written receives the bytes
// written. A null or empty text writes the terminator and its pad.
HRESULT riff_WriteANSIString(HANDLE file, LPCWSTR text, DWORD* written);
// Writes the form size at offset 4 and returns to the position.
HRESULT riff_SetRIFFSize(HANDLE file, DWORD size);
// Adds a signed 64-bit delta to the form size and returns to the position.
// A result above kRiffMaxFormSize cuts the file at the old form's end and
// gives RIFF_E_TOO_LARGE; a result below 0 gives E_INVALIDARG with nothing
// written.
HRESULT riff_UpdateRIFFSize(HANDLE file, DWORD delta_low, LONG delta_high);
// Removes the first chunk `id` of the form (with `is_list`, the "LIST"
// chunk of list type `id`) and everything it holds, moves the rest of the
// file down and lowers the form size by the bytes of the chunk the form
// held (a last chunk's pad byte may be missing from the file, or held
// without the form counting it); *removed receives that count.
// A chunk that runs past the form's end is refused with RIFF_E_WRONG_FORM
// before anything is written. A failed move leaves the file partly moved.
HRESULT riff_DeleteChunk(HANDLE file, FOURCC id, DWORD* removed, BOOL is_list);

// ---- CD-audio track files -----------------------------------------------------
// The "fmt " record of a "CDDA" form: RIFF_E_WRONG_FORM for another form,
// RIFF_E_CDDA_FORMAT when the chunk is not 24 bytes. `record` may be null.
HRESULT riff_ReadRIFFCDDA(HANDLE file, tRIFFCDDAFORMAT* record);
// Opens a track file (RIFF_E_OPEN when it cannot) and reads its record.
// Every given out is filled, from a zeroed record when reading failed;
// start frames = minute x 4500 + second x 75 + frame.
HRESULT riff_ReadCDAFile(LPCWSTR path, DWORD* track, DWORD* start_sector, DWORD* start_frames,
                         DWORD* length_sectors, DWORD* serial);

// ---- Internal to the media formats ------------------------------------------
// Bytes of a wide text in the ANSI code page, without a terminator (0 for
// a null text). The ANSI string writer and the INFO writer size their
// buffers with it.
DWORD riff_AnsiByteLength(LPCWSTR text);
