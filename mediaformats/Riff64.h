// RIFF64 chunk input and output on open files (the chunk layer of Wave64).
//
// The counterparts of the riff_ functions (mediaformats/Riff.h) with the
// same conventions for the file position and status codes, plus chunks
// written in two steps (prepare, then complete once the size is known).
//
// Layout: a chunk header is 24 bytes, a 16-byte GUID id (stored as u32,
// u16, u16 little-endian, then 8 bytes) and a u64 size that counts the
// header itself (size = 24 + data bytes, not counting padding). Data is
// followed by zero bytes up to the next multiple of 8. Readers report a
// chunk's data size as size - 24, or 0 when the stored size is below 24.
// The form is a chunk with the riff GUID whose size counts the whole form,
// followed by the 16-byte form type; its chunks start at offset 40. A list
// is a chunk with the list GUID, then its 16-byte list type and entries.
// Positions and sizes are 64-bit.
//
// The bytes-left counter is signed: scans go on while it is at least 24
// (one header) and lower it by every byte consumed; a chunk that claims
// more than remains takes it below 0, which ends the scan. Without a
// counter a scan runs until a read fails at the end of the file.
#pragma once

#include "mediaformats/Riff.h"
#include "platform/kernel/types.h"

// GUIDs of the RIFF64 layer and of its users.
extern const GUID kRiff64GuidRiff;  // 66666972-912E-11CF-A5D6-28DB04C10000 "riff"
extern const GUID kRiff64GuidList;  // 7473696C-912F-11CF-A5D6-28DB04C10000 "list"
extern const GUID kRiff64GuidWave;  // 65766177-ACF3-11D3-8CD1-00C04F8EDB8A "wave" (form type)
extern const GUID kRiff64GuidFmt;   // 20746D66-ACF3-11D3-8CD1-00C04F8EDB8A "fmt "
extern const GUID kRiff64GuidBext;  // 74786562-ACF3-11D3-8CD1-00C04F8EDB8A "bext"

// Bytes of a chunk header, and the offset of the form's first chunk.
constexpr ULONGLONG kRiff64HeaderBytes = 24;
constexpr ULONGLONG kRiff64DataStart = 40;

// ---- Headers ---------------------------------------------------------------
HRESULT riff64_ReadChunkHeader(HANDLE file, GUID* id, ULONGLONG* data_size);
// RIFF_E_NOT_LIST when the id is not the list GUID; *size = stored size -
// 40 (the entries' bytes; 0 when smaller).
HRESULT riff64_ReadListHeader(HANDLE file, GUID* list_type, ULONGLONG* size);
// RIFF_E_NOT_RIFF when the id is not the riff GUID; *size = stored size -
// 40, the bytes after the form type.
HRESULT riff64_ReadFileID(HANDLE file, ULONGLONG* size, GUID* form_type);
// RIFF_E_BAD_SIZE when the size is not a multiple of 8 or has bit 35 set,
// RIFF_E_ZERO_SIZE when it is 0, else S_OK. The id is not examined.
HRESULT riff64_ValidateChunkHeader(GUID id, ULONGLONG size);
// Writes the id and data_size + 24.
HRESULT riff64_WriteChunkHeader(HANDLE file, GUID id, ULONGLONG data_size);
// A list header; `size` counts the 16-byte list type and the entries.
HRESULT riff64_WriteListHeader(HANDLE file, GUID list_type, ULONGLONG size);
// The form header; `size` counts the 16-byte form type and the chunks.
HRESULT riff64_WriteFileID(HANDLE file, GUID form_type, ULONGLONG size);

// ---- Data ------------------------------------------------------------------------
// Exactly `count` bytes (its low 32 bits), then on to the next multiple of 8.
HRESULT riff64_ReadData(HANDLE file, void* buffer, ULONGLONG count);
// min(buffer_size, chunk_size) bytes, then on to the end of the chunk's
// data rounded up to 8.
HRESULT riff64_ReadDataBounded(HANDLE file, void* buffer, DWORD buffer_size, ULONGLONG chunk_size);
HRESULT riff64_ReadDataAlloc(HANDLE file, tRIFFALLOCDATA* data);
// The data, then zero bytes up to a multiple of 8; *written = padded count.
HRESULT riff64_WriteData(HANDLE file, const void* data, ULONGLONG count, ULONGLONG* written);
// One plain write of `count` bytes (its low 32 bits).
HRESULT riff64_WriteToFile(HANDLE file, const void* data, ULONGLONG count);
// Header and padded data; the stored size counts header and data but not
// the padding; *written = padded size + 24.
HRESULT riff64_WriteChunk(HANDLE file, GUID id, const void* data, ULONGLONG size,
                          ULONGLONG* written);

// ---- Positions and sizes -----------------------------------------------------
HRESULT riff64_SaveLocation(HANDLE file, ULONGLONG* position);
HRESULT riff64_RestoreLocation(HANDLE file, DWORD position_low, LONG position_high);
// Moves forward by size rounded up to 8 and returns that amount.
ULONGLONG riff64_SkipChunk(HANDLE file, ULONGLONG size);
// To offset 40, the form's first chunk.
HRESULT riff64_SeekDataStart(HANDLE file);
// The position minus `start`.
LONGLONG riff64_AmountWritten(HANDLE file, ULONGLONG start);
// Zero bytes until (position - start) is a multiple of 8.
HRESULT riff64_Pad(HANDLE file, ULONGLONG start);
// Writes size + 24 as the form size and returns to the position.
HRESULT riff64_SetRIFFSize(HANDLE file, ULONGLONG size);
// Adds a signed delta to the form size and returns to the position. A
// result below 0 gives E_INVALIDARG with nothing written.
HRESULT riff64_UpdateRIFFSize(HANDLE file, LONGLONG delta);

// ---- Chunks written in two steps ---------------------------------------------
// Stores the position in *start and writes a header of data size 0.
HRESULT riff64_PrepareChunk(HANDLE file, GUID id, ULONGLONG* start);
// Stores the position in *start and writes a list header of size 0 and the
// list type.
HRESULT riff64_PrepareList(HANDLE file, GUID list_type, ULONGLONG* start);
// Pads from `start`, then writes the length from `start` to the position
// (header, data and padding) into the header and returns to the end.
HRESULT riff64_CompleteChunk(HANDLE file, ULONGLONG start);
// Prepare, one write of the data, complete. `unused` is not read.
HRESULT riff64_WriteChunkToFile(HANDLE file, GUID id, const void* data, DWORD count, DWORD unused);

// ---- Searching and enumerating -----------------------------------------------
HRESULT riff64_FindChunkHeader(HANDLE file, GUID id, ULONGLONG* data_size, LONGLONG* bytes_left);
HRESULT riff64_FindChunkHeaderInRIFF(HANDLE file, GUID id, ULONGLONG* data_size,
                                     LONGLONG* bytes_left);
// The next list of `list_type`; *size = its data size minus 16 (the
// entries' bytes) and the file stands at its first entry.
HRESULT riff64_FindListChunk(HANDLE file, GUID list_type, ULONGLONG* size, LONGLONG* bytes_left);
HRESULT riff64_FindListChunkFromStart(HANDLE file, GUID list_type, ULONGLONG* size);
// Counts whole chunks from the position and returns to it; an entry that
// claims more than the counter holds lowers it to 0 and is the last one
// counted.
HRESULT riff64_GetNumListEntries(HANDLE file, DWORD* count, LONGLONG* bytes_left);
HRESULT riff64_SeekListEntry(HANDLE file, DWORD index, LONGLONG* bytes_left);
// Removes the first chunk `id` of the form, moves the rest of the file
// down and lowers the form size by the bytes of the chunk the form held (a
// last chunk's padding may be missing or uncounted); *removed receives
// that count and the result is that of the size update. A chunk that runs past the form's
// end is refused with RIFF_E_WRONG_FORM before anything is written.
HRESULT riff64_DeleteChunk(HANDLE file, GUID id, ULONGLONG* removed);

// ---- Labels ------------------------------------------------------------------------
// No labels are kept: both return null and do nothing.
LPCSTR riff64_getGUIDLabel(GUID id);
LPCSTR riff64_getGUIDLabelProperly(GUID id, DWORD unused1, DWORD unused2);
