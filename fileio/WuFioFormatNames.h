// Names of audio format tags and video compression codes: the lookup tables
// behind them, four-character code texts and canonical aliases.
#pragma once

#include <cstddef>

#include "platform/kernel/types.h"

// One row of a name table: a tag or four-character code (little-endian:
// the first character in the low byte) and its name.
struct WuFioNameRow {
  DWORD key;           // tag or code
  const WCHAR* text;   // name
};
// One row of an alias table: a tag or code and its canonical form.
struct WuFioAliasRow {
  DWORD key;    // tag or code
  DWORD value;  // canonical tag or code
};
// A table sorted by key as an unsigned number.
struct WuFioNameTable {
  const WuFioNameRow* rows;  // `count` rows
  size_t count;              // rows
};
struct WuFioAliasTable {
  const WuFioAliasRow* rows;  // `count` rows
  size_t count;               // rows
};

// The tables (exposed for their order checks).
extern const WuFioNameTable WuFio_AudioLongNames;
extern const WuFioNameTable WuFio_AudioShortNames;
extern const WuFioAliasTable WuFio_AudioCanonicalTags;
extern const WuFioAliasTable WuFio_VideoAliases;
extern const WuFioNameTable WuFio_VideoLongNames;
extern const WuFioNameTable WuFio_VideoShortNames;

// Binary search of a table; null or false when the key is not in it.
const WCHAR* WuFio_FindName(const WuFioNameTable& table, DWORD key);
bool WuFio_FindAlias(const WuFioAliasTable& table, DWORD key, DWORD* value);

// The code's characters: zero low-order bytes are dropped, then at most
// min(size - 1, 4) characters up to the first zero byte, control characters
// 1..31 as "?". Code 0 gives "". Size 0 (or a null out) writes nothing.
// Both forms write UTF-16. Return out.
LPWSTR WuVideo_FOURCCtoPrintStringW(DWORD code, LPWSTR out, int size);
LPWSTR WuVideo_FOURCCtoPrintString(DWORD code, LPWSTR out, int size);

// Codes 0..5 give the bitmap compression names ("BI_RGB" .. "BI_PNG"), 6 an
// empty text; other codes their four characters, or "FCC('YUY2')" when
// decorating and the buffer holds more than 12 characters. Returns out.
LPWSTR WuVideo_DebugPrintBiCompression(DWORD code, LPWSTR out, int size, BOOL decorate);

// The canonical form of a code ('YV12' -> 'I420'), else the code itself.
DWORD WuVideo_ConvertToCanonicalCompressionFormat(DWORD code);
// The canonical form of a tag (0x0014 -> 0x0002), else the tag itself.
DWORD WuAudio_ConvertToCanonicalWaveFormatTag(DWORD tag);

// The code's name: the long table unless `shortName`, the short table, the
// short table for the canonical code, else the four characters, wrapped as
// "'abcd' Compression" unless `shortName`. Returns 0.
int WuVideo_GetCompressionTypeName(DWORD code, LPWSTR out, int size, BOOL shortName);
// The tag's name, as for video; an unknown tag reads "0x" and its
// upper-case hexadecimal digits (at least four). Returns 0 when the tag has
// a name, 1 when not.
int WuAudio_GetCompressionTypeName(DWORD tag, LPWSTR out, int size, BOOL shortName);
