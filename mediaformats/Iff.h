// IFF chunk input and output on open files, and the AIFF / AIFF-C readers
// built on it.
//
// Every number in an IFF file is big-endian. A chunk is an id (four
// characters), a u32 size of the body, the body and one pad byte when the
// size is odd (the pad is not counted). The file is "FORM", a u32 form size
// (everything after this field), the form type ("AIFF" or "AIFC") and the
// form's chunks from offset 12.
//
// Ids are handled as 32-bit values whose big-endian bytes are the four
// characters ("FORM" is 0x464F524D, see IffId). Functions take the handle
// first, return a status code (mediaformats/RiffStatus.h) and leave the
// position where their description says.
//
// AIFF chunks read here:
// - "COMM": channels (u16), sample frames (u32), bits per sample (u16),
//   rate as an 80-bit extended value (u16 sign and exponent, bias 16,383,
//   u64 mantissa with an explicit integer bit); 18 bytes. AIFF-C adds the
//   compression type (four characters) and a counted name.
// - "SSND": offset (u32), block size (u32), then the samples; the audio
//   starts `offset` bytes after these 8 bytes.
// - "MARK": marker count (u16), then per marker: id (u16), position (u32),
//   name as a counted string padded to an even total.
#pragma once

#include "mediaformats/RiffStatus.h"
#include "platform/com/mmreg.h"
#include "platform/kernel/types.h"

// The IFF id of four characters, first character in the high byte.
constexpr DWORD IffId(const char (&text)[5]) {
  return static_cast<DWORD>(static_cast<BYTE>(text[0])) << 24 |
         static_cast<DWORD>(static_cast<BYTE>(text[1])) << 16 |
         static_cast<DWORD>(static_cast<BYTE>(text[2])) << 8 |
         static_cast<DWORD>(static_cast<BYTE>(text[3]));
}

// The file is not an IFF "FORM" (first-chunk search) or a marker is cut
// short by the end of the file.
constexpr HRESULT IFF_E_NOT_FORM = RIFF_E_NOT_RIFF;  // 0x8004E080

// Bytes of the "COMM" body read for AIFF and for AIFF-C.
constexpr DWORD kAiffCommBytes = 18;
constexpr DWORD kAifcCommBytes = 22;

// A marker found by iff_FindMarker, packed, numbers in host order.
#pragma pack(push, 1)
struct tIFFMARKER {
  WORD wId;           // marker id
  DWORD dwPosition;   // position in sample frames
  BYTE bNameLength;   // characters of the name that follows in the file
};
#pragma pack(pop)
static_assert(sizeof(tIFFMARKER) == 7);

// ---- Byte order -------------------------------------------------------------
// Swap the byte order of `count` items in place (count 0 does nothing).
void iff_ByteSwap16(WORD* p, DWORD count);
void iff_ByteSwap32(DWORD* p, DWORD count);
void aiff_WriteByteSwap16(WORD* p, DWORD count);
void aiff_WriteByteSwap32(DWORD* p, DWORD count);

// ---- Reading and writing at the position -----------------------------------
// hdr[0] = id, hdr[1] = size; RIFF_E_READ when fewer than 8 bytes come.
HRESULT iff_ReadChunkHdr(HANDLE file, DWORD hdr[2]);
HRESULT iff_ReadDWORD(HANDLE file, DWORD* value);
HRESULT iff_ReadWORD(HANDLE file, WORD* value);
// Writes hdr[0] and hdr[1] big-endian (the array is not changed);
// RIFF_E_WRITE when short.
HRESULT iff_WriteChunk(HANDLE file, const DWORD hdr[2]);
HRESULT iff_WriteDWORD(HANDLE file, DWORD value);
HRESULT iff_WriteWORD(HANDLE file, WORD value);
// "FORM", the size and the form type.
HRESULT iff_WriteFileID(HANDLE file, DWORD form_type, DWORD form_size);
// The 8-byte header (RIFF_E_WRONG_FORM when it is not "FORM"), then the
// form type.
HRESULT iff_ReadFormType(HANDLE file, DWORD hdr[2], DWORD* form_type);
// Moves forward by size rounded up to even and returns that amount.
DWORD iff_SkipChunk(HANDLE file, DWORD size);

// ---- Searching ----------------------------------------------------------------
// The next chunk `id` from the position; the file then stands at its body.
// `left`, when given, holds the bytes that remain in the range: the search
// stops with RIFF_E_NOT_FOUND once fewer than 8 remain and stores what
// remains (found or not). Without it the end of the file shows as
// RIFF_E_READ.
HRESULT iff_FindChunkHeader(HANDLE file, DWORD id, DWORD* size, DWORD* left);
// The same without a range.
HRESULT iff_SeekChunkHeader(HANDLE file, DWORD id, DWORD* size);
// From the first chunk after the form header: IFF_E_NOT_FORM when the file
// is not a "FORM" or too short for its header, RIFF_E_NOT_FOUND when the
// chunk is absent. *size is set to 0 first.
HRESULT iff_FindChunkFromStart(HANDLE file, DWORD id, DWORD* size);

// ---- AIFF ------------------------------------------------------------------------
// TRUE for form "AIFF", and for "AIFC" with compression "NONE" or "sowt"
// (then *is_sowt). Any output may be null.
BOOL iff_IsAIFFFileEx(HANDLE file, DWORD* form_size, BOOL* is_aifc, BOOL* is_sowt);
BOOL iff_IsAIFFFile(HANDLE file, DWORD* form_size);
// TRUE for a "FORM" of type "AIFF" or "AIFC" whatever its compression: the
// forms whose chunks (markers, instrument) are AIFF's own.
BOOL iff_IsAIFFForm(HANDLE file);
// The format of an AIFF file as an 18-byte record (cbSize untouched):
// tag 0xFE01 for 8 bits, 1 for "sowt", else 0xFE02; samples take (bits +
// 7) / 8 bytes. *frames = the smaller of the "SSND" frames and the "COMM"
// count; *data_offset = where the samples start. RIFF_E_WRONG_FORM for a
// file that is not an uncompressed AIFF. Any output may be null.
HRESULT iff_GetAIFFWfx(HANDLE file, WAVEFORMATEX* wfx, DWORD* frames, DWORD* data_offset);
// The rate of an 80-bit value (host-order words). A set sign bit reads as
// 44,100. From the bias up the result is the integer part, saturating at
// 0xFFFFFFFF; below it the value is doubled until it exceeds 96,000.
DWORD aiff_ConvertRate(WORD exponent_word, const WORD mantissa[4]);
// The 80-bit value of a rate (host-order words; the caller swaps them).
void aiff_CreateRate(DWORD rate, WORD* exponent_word, WORD mantissa[4]);
// The marker `marker_id` of the "MARK" chunk; the file then stands at its
// name's characters. RIFF_E_NOT_FOUND when absent, also when the chunk's
// bytes end before its count of markers does (nothing after the chunk is
// read); IFF_E_NOT_FORM when the file ends inside a marker.
HRESULT iff_FindMarker(HANDLE file, tIFFMARKER* marker, short marker_id);
// Removes the first chunk `id` of an AIFF or AIFF-C form (any compression)
// with its pad byte, moves the rest of the file down, cuts the file and
// lowers the form size by the bytes of the chunk the form held (*removed: 8
// + the padded body, or less for a last chunk whose pad byte the form or the
// file lacks). A chunk that runs past the end of the form or of the file is
// refused with RIFF_E_WRONG_FORM before anything is written.
HRESULT iff_DeleteChunk(HANDLE file, DWORD id, DWORD* removed);
