// The broadcast-wave record (_tagWUBWF_Chunk) and its "bext" chunk: the
// record's accessors, the conversion into the chunk's bytes, the loaders
// from WAV and Wave64 files and from a plug-in's metadata reader, and the
// deletion and rewriting of the chunk in a file.
//
// The chunk's data (little-endian; ANSI code page text padded with zero
// bytes, a full field is not terminated):
//   0 description (256)     256 originator (32)   288 originator reference (32)
//   320 date "YYYY-MM-DD" (10)  330 time "hh:mm:ss" (8)
//   338 time reference low (4)  342 time reference high (4)  346 version (2)
//   348 UMID (64)   412 reserved (190)   602 coding history: lines ending
//   in "\r\n", then a zero byte.
// A WAV file holds it as "bext" (readers also take "BEXT"); a Wave64 file
// under the bext GUID.
#pragma once

#include "mediaformats/RiffStatus.h"
#include "mediaformats/WuReadMeta.h"
#include "platform/kernel/types.h"

// Bytes of the chunk's fixed part and of its fields.
constexpr DWORD kBwfFixedBytes = 602;
constexpr DWORD kBwfDescriptionBytes = 256;
constexpr DWORD kBwfOriginatorBytes = 32;
constexpr DWORD kBwfDateBytes = 10;
constexpr DWORD kBwfTimeBytes = 8;
constexpr DWORD kBwfUmidBytes = 64;
constexpr DWORD kBwfReservedBytes = 190;

// Record flags.
constexpr DWORD WUBWF_TEXTS_VALID = 0x1;      // description, originators, UMID, reserved
constexpr DWORD WUBWF_HISTORY_HELD = 0x2;     // a coding history is held
constexpr DWORD WUBWF_TIMES_VALID = 0x4;      // date, time, time reference
constexpr DWORD WUBWF_RATE_VALID = 0x8;       // sample rate

// A metadata stream shorter or longer than its field demands.
constexpr HRESULT BWF_E_STREAM_SIZE = WuStatusCode(0x8004E038);

// Field indices of the broadcast-wave kind's streams: texts are UTF-16
// with their terminator; the time reference is 8 bytes, the version 2, the
// UMID 64, the reserved bytes 190; the coding history is UTF-16 text.
enum WUBWF_FIELD : int {
  WUBWF_FIELD_DESCRIPTION = 0,
  WUBWF_FIELD_ORIGINATOR = 1,
  WUBWF_FIELD_ORIGINATOR_REFERENCE = 2,
  WUBWF_FIELD_DATE = 3,
  WUBWF_FIELD_TIME = 4,
  WUBWF_FIELD_TIME_REFERENCE = 5,
  WUBWF_FIELD_VERSION = 6,
  WUBWF_FIELD_UMID = 7,
  WUBWF_FIELD_RESERVED = 8,
  WUBWF_FIELD_CODING_HISTORY = 9,
  WUBWF_FIELD_COUNT = 10,
};

// The record. Clearing it zeroes every field; only the coding history
// (zero-filled movable global memory, locked) needs freeing.
struct _tagWUBWF_Chunk {
  DWORD dwFlags;                      // WUBWF_* flags
  WORD wVersion;                      // the chunk's version field
  WCHAR szDescription[257];           // at most 256 characters
  WCHAR szOriginator[33];             // at most 32 characters
  WCHAR szOriginatorReference[33];    // at most 32 characters
  WCHAR szOriginationDate[11];        // "YYYY-MM-DD"
  WCHAR szOriginationTime[9];         // "hh:mm:ss"
  ULONGLONG qwTimeReference;          // samples since midnight
  DWORD dwSampleRate;                 // rate of the file's "fmt " chunk
  BYTE abUMID[64];                    // as stored
  BYTE abReserved[190];               // as stored
  LPWSTR pszCodingHistory;            // owned text, or null
  DWORD cbCodingHistoryAlloc;         // bytes of that allocation
  DWORD cchCodingHistory;             // characters with the terminator

  void WuBWF_Clear();
  // Bounded copies (at most size - 1 characters, terminated): 0 under the
  // field's flag, else an empty buffer and E_FAIL.
  HRESULT WuBWF_GetDescription(LPWSTR buffer, int size) const;
  HRESULT WuBWF_GetOriginator(LPWSTR buffer, int size) const;
  HRESULT WuBWF_GetOriginatorReference(LPWSTR buffer, int size) const;
  HRESULT WuBWF_GetOriginationDate(LPWSTR buffer, int size) const;
  HRESULT WuBWF_GetOriginationTime(LPWSTR buffer, int size) const;
  // The value under flag 4, else E_FAIL with *value untouched.
  HRESULT WuBWF_GetTimeReference(ULONGLONG* value) const;
  WORD WuBWF_GetVersion() const;
  DWORD WuBWF_GetCodingHistorySize() const;
  // Under flags 1 and 2 with a text: a bounded copy, 0; else an empty
  // buffer and S_FALSE (flag 1 set) or E_FAIL.
  HRESULT WuBWFChunk_GetCodingHistory(LPWSTR buffer, int size) const;
  // Copy the 64 or 190 bytes; a smaller buffer gives E_INVALIDARG and
  // nothing is copied.
  HRESULT WuBWF_GetUMID(BYTE* buffer, DWORD size) const;
  HRESULT WuBWF_GetReserved(BYTE* buffer, DWORD size) const;
  // Set or clear flag 1 or 4 from bit 0.
  HRESULT WuBWF_SetTextsValid(DWORD on);
  HRESULT WuBWF_SetTimesValid(DWORD on);
  HRESULT WuBWF_SetTimeReference(ULONGLONG value);
  HRESULT WuBWF_SetVersion(WORD version);
  HRESULT WuBWF_SetUMID(const BYTE* umid);
  // A length other than 190 returns 1 and stores nothing.
  HRESULT WuBWF_SetReserved(const BYTE* bytes, DWORD length);
  // Fixed-width ANSI fields (256, 32, 32 bytes), converted to wide text.
  HRESULT WuBWF_SetDescriptionA(const char* field);
  HRESULT WuBWF_SetOriginatorA(const char* field);
  HRESULT WuBWF_SetOriginatorReferenceA(const char* field);
  // 10 and 8 ANSI bytes; a separator outside the allowed set becomes "-"
  // (date, positions 4 and 7) or ":" (time, positions 2 and 5).
  HRESULT WuBWF_SetOriginationDateA(const char* field);
  HRESULT WuBWF_SetOriginationTimeA(const char* field);
  // Replace the coding history; "\r\n" is appended to a text holding none.
  // A null or empty text leaves none. E_OUTOFMEMORY.
  HRESULT WuBWF_SetCodingHistoryA(const char* text);
  HRESULT WuBWF_SetCodingHistoryW(LPCWSTR text);
  void WuBWFChunk_FreeCodingHistory();
  // Normalise the date or time field in place: 0, or 0x8004E00B for a
  // malformed field (a non-empty one becomes "YYYY-MM-DD" / "hh:mm:ss").
  HRESULT WuBWF_NormalizeDate();
  HRESULT WuBWF_NormalizeTime();
  // Normalises date and time; 0 under flag 1, else 0x8004E00A.
  HRESULT WuBWF_CheckLoaded();
  // The chunk's data: 602 + the coding history's length bytes. A null
  // buffer only stores the size; a smaller *size stores it and gives
  // E_FAIL, as does a record without flag 1. E_OUTOFMEMORY when the
  // history cannot be converted.
  HRESULT WuBWF_BuildChunk(BYTE* buffer, DWORD* size) const;
};

// Load the record from an open WAV or Wave64 file (the position is not
// kept). Without a bext chunk: 0, *loaded 0, the record holding the
// sample rate and flag 8. A chunk claiming more than the rest of the form
// or shorter than 4 bytes gives 0x8004E00B.
HRESULT bwfriff_LoadInfo(HANDLE file, _tagWUBWF_Chunk* record, int* loaded);
HRESULT bwfriff64_LoadInfo(HANDLE file, _tagWUBWF_Chunk* record, int* loaded);
// Opens the file and loads only the times (flags 4 and 8); *loaded only
// when a record was loaded.
HRESULT bwfriff_LoadTimestampInfoQuick(LPCWSTR path, _tagWUBWF_Chunk* record, int* loaded,
                                       BOOL wave64);
// Load from a plug-in's metadata reader into a cleared record.
HRESULT bwfmeta_LoadInfo(IWuReadMeta* reader, _tagWUBWF_Chunk* record, int* loaded);
// Delete every "bext" and "BEXT" chunk (Wave64: every bext GUID chunk);
// *removed (cleared first) sums the bytes removed. None is no failure.
HRESULT bwfriff_DeleteAllChunks(HANDLE file, LONG* removed);
HRESULT bwfriff64_DeleteAllChunks(HANDLE file, ULONGLONG* removed);
// Write the chunk `id` with `data`: over the old chunk's data when it fits
// (the rest of the old data zeroed, *written 0), else appended to the form
// (mediaformats/FormAppend.h: at an even offset, refused with 0x8004E00B
// where the form's size does not end its chunks) and only then the old
// chunk renamed "JUNK"; *written = bytes added. An old chunk that claims
// more than its form or its file holds is refused with 0x8004E00B. A
// failed write leaves the file as it was.
HRESULT bwfriff_UpdateStreamChunk(HANDLE file, DWORD id, const void* data, DWORD size,
                                  DWORD* written);
// The same for Wave64 under the bext GUID (appended at a multiple of 8); an
// old chunk too small becomes a junk chunk once the new one is written.
HRESULT bwfriff64_UpdateStreamChunk(HANDLE file, const void* data, ULONGLONG size,
                                    ULONGLONG* written);
