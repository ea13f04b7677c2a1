// RIFF chunks in a memory buffer.
//
// The mriff_ functions mirror the riff_ functions (mediaformats/Riff.h)
// over a caller's buffer: a _tMRIFF cursor record stands in for the file
// handle and its position, so a chunk parser or writer can be written once
// against either. The record never owns the buffer; only
// mriff_ReadDataAlloc allocates.
//
// Reads stop at the data end; writes stop at the capacity end and move the
// data end forward. A read that finds fewer bytes than it needs copies
// those there, moves over them and gives RIFF_E_READ; a write that does not
// fit copies what fits, moves over it and gives RIFF_E_WRITE. No seek or
// skip takes the cursor outside [buffer start, data end]. Offsets handed in
// and out are byte offsets from the buffer start.
#pragma once

#include "mediaformats/Riff.h"
#include "platform/kernel/types.h"

// The cursor over a memory buffer. A plain value owned by its caller and
// valid as long as the buffer; only the cursor and the data end change
// after mriff_Init. Invariant: pStart <= pDataEnd <= pCapacityEnd.
struct _tMRIFF {
  BYTE* pStart;        // first byte of the buffer
  BYTE* pCursor;       // current byte: the stand-in for a file position
  BYTE* pDataEnd;      // one past the last valid byte; writes move it forward
  BYTE* pCapacityEnd;  // one past the last writable byte
  DWORD cbData;        // valid bytes given at initialisation
  DWORD cbCapacity;    // buffer size given at initialisation
};

// ---- Set-up and position -----------------------------------------------------
// A reader passes the bytes it holds as both sizes; a writer passes data
// size 0. E_POINTER for a null record (or a null buffer with a capacity),
// E_INVALIDARG when capacity < data_size.
HRESULT mriff_Init(_tMRIFF* m, void* buffer, DWORD data_size, DWORD capacity);
// The cursor itself (a pointer, not an offset).
BYTE* mriff_GetFilePointer(_tMRIFF* m);
// Method 0 from the buffer start, 1 from the cursor, 2 from the data end
// (any other leaves the cursor); the result is clamped to [start, data end]
// and its offset returned. `distance_high` is ignored.
DWORD mriff_SetFilePointer(_tMRIFF* m, LONG distance, PLONG distance_high, DWORD method);
LONGLONG mriff_WuSetFilePointer(_tMRIFF* m, LONG distance, DWORD method);
HRESULT mriff_SaveLocation(_tMRIFF* m, DWORD* offset);
HRESULT mriff_RestoreLocation(_tMRIFF* m, DWORD offset);
// Moves by size rounded up to even (clamped) and returns the rounded size.
DWORD mriff_SkipChunk(_tMRIFF* m, DWORD size);
HRESULT mriff_SeekDataStart(_tMRIFF* m);
// Moves the data end forward by min(count, room left) and returns that.
DWORD mriff_UpdateDataSize(_tMRIFF* m, DWORD count);

// ---- Raw transfer, shaped like the platform's file calls ---------------------
// Copies min(count, data end - cursor) bytes; TRUE only when all were there.
BOOL mriff_ReadFile(_tMRIFF* m, void* buffer, DWORD count, DWORD* read, void* unused);
// Copies min(count, capacity end - cursor) bytes and moves the data end up
// to the cursor; always TRUE (callers compare the count written).
BOOL mriff_WriteFile(_tMRIFF* m, const void* data, DWORD count, DWORD* written, void* unused);

// ---- Chunk operations (as their riff_ namesakes) -----------------------------
HRESULT mriff_ReadChunkHeader(_tMRIFF* m, FOURCC* id, DWORD* size);
HRESULT mriff_ReadListHeader(_tMRIFF* m, FOURCC* list_type, DWORD* size);
HRESULT mriff_ReadFileID(_tMRIFF* m, DWORD* size, FOURCC* form_type);
HRESULT mriff_ReadData(_tMRIFF* m, void* buffer, DWORD count);
HRESULT mriff_ReadDataBounded(_tMRIFF* m, void* buffer, DWORD buffer_size, DWORD chunk_size);
HRESULT mriff_ReadDataAlloc(_tMRIFF* m, tRIFFALLOCDATA* data);
HRESULT mriff_WriteChunkHeader(_tMRIFF* m, FOURCC id, DWORD size);
HRESULT mriff_WriteListHeader(_tMRIFF* m, FOURCC list_type, DWORD size);
HRESULT mriff_WriteFileID(_tMRIFF* m, FOURCC form_type, DWORD size);
HRESULT mriff_FindChunkHeader(_tMRIFF* m, FOURCC id, DWORD* size, DWORD* bytes_left);
// Reads a form header at the cursor (it does not rewind) and searches the
// form. With a counter, the counter is the byte count from the cursor:
// below 12 gives RIFF_E_NOT_FOUND before reading, and the header's 12
// bytes are taken from it. The form header's size is not used.
HRESULT mriff_FindChunkHeaderInRIFF(_tMRIFF* m, FOURCC id, DWORD* size, DWORD* bytes_left);
HRESULT mriff_FindListChunk(_tMRIFF* m, FOURCC list_type, DWORD* size, DWORD* bytes_left);
// From the buffer start, over the whole form.
HRESULT mriff_FindListChunkFromStart(_tMRIFF* m, FOURCC list_type, DWORD* size);
// Counts whole chunks from the cursor and puts it back; an entry that
// claims more than the counter holds is the last one counted.
HRESULT mriff_GetNumListEntries(_tMRIFF* m, DWORD* count, DWORD* bytes_left);
// Copies the text of item `item_id` of the "INFO" list found from the
// cursor into `buffer` (at most buffer_size - 1 bytes of the item, always
// terminated; nothing for a buffer of 0 bytes) and puts the cursor back.
HRESULT mriff_GetInfoString(_tMRIFF* m, FOURCC item_id, char* buffer, DWORD buffer_size,
                            DWORD* bytes_left);

// ---- A WAV header in memory ------------------------------------------------------
struct _wuwaveformat;
// Writes "RIFF" and "WAVE", the "fmt " chunk of the format (a 16-byte PCM
// body for tag 1, else the whole platform record of copy mode 0: 18 +
// cbSize bytes, padded to even) and the header of a "data" chunk of
// data_size bytes; the cursor then stands where the samples go. The form
// size counts the data and `extra_size` bytes of chunks the caller adds
// after it, rounded up to even. RIFF_E_WRITE when the header does not fit
// (what fitted stays written); E_POINTER for a null record or format;
// E_INVALIDARG when the form size would not fit 32 bits.
HRESULT mriff_WriteWaveHeader(_tMRIFF* m, const _wuwaveformat* format, DWORD data_size,
                              DWORD extra_size);
// Reads the WAV header at the start of `data` (length bytes): the format
// from the "fmt " chunk (its first 40 bytes at most) and the size of the
// "data" chunk. E_FAIL when the form is not "WAVE"; a missing chunk gives
// the search's status. Each out may be null and is written only on success.
HRESULT mriff_GetWfx(_wuwaveformat* format, const void* data, DWORD length, DWORD* data_size);
