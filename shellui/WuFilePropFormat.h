// Formatters of the file-properties text: note names, four-character and
// language tags, the values of the diagnostic listing, attribute names,
// and the search of the plug-in records for a class id.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/kernel/types.h"

// The name of MIDI note `note` with its octave ("C4" for 60, "C#4" for 61;
// "H" for B in a German user interface) into `out` of `size` characters.
// Note 0 gives "None"; 128 or more gives "Error" and E_FAIL.
HRESULT FormatRootNoteName(LPWSTR out, int size, DWORD note);

// "[abcd]" of the code's four bytes in memory order (lowest first) when
// each is a digit, an ASCII letter or a space: TRUE. Otherwise "error"
// (cut to `size`) and FALSE.
BOOL FormatFourCCTag(int size, LPWSTR out, DWORD code);

// "[xy]" of the high and then the low byte of `code` when both are 'a'..'z':
// TRUE. Otherwise "error" (cut to `size`) and FALSE.
BOOL FormatLangCodeTag(int size, LPWSTR out, WORD code);

// Room of the diagnostic values: at most 127 characters and a terminator.
constexpr int WUFILEPROP_VALUE_CHARS = 128;

// Value texts of the diagnostic listing, made from one reader call's result
// `hr` and what it gave. Each returns `hr`; a negative `hr` leaves `out`
// empty (the caller writes no line). A positive `hr` gives "not set,
// hr=0x0000000n", with " (S_FALSE)" for 1. With S_OK:
//  - data rate: "<bytes> (bytes/sec)" grouped in the locale, and for a
//    positive rate "   =<n> Kbps (calc.)" with n = rate x 8 / 1000 rounded;
//  - quoted text: the text in single quotes (cut to 127 characters);
//  - FOURCC: "0x%08x" of the code, a blank and its FormatFourCCTag text.
HRESULT FormatDataRateValue(HRESULT hr, LONGLONG bytesPerSecond, LPWSTR out, int size);
HRESULT FormatQuotedTextValue(HRESULT hr, LPCWSTR text, LPWSTR out, int size);
HRESULT FormatFourCCValue(HRESULT hr, DWORD code, LPWSTR out, int size);

// The names of the set attribute bits joined by ", " (Read-only, Hidden,
// Archive, System, Subdirectory, in that order); "Normal" for 0 and for
// FILE_ATTRIBUTE_NORMAL alone. Other bits are not named.
void FormatFileAttributes(DWORD attributes, LPWSTR out, int size);

// Looks through the manager's plug-in records for the one whose GUID at
// the byte offset `selector` names (0: bytes 8-23, 16: 24-39, 32: 40-55,
// anything else: 576-591) equals `classId`. S_OK with `record` filled;
// E_FAIL without a manager or enumerator, when Reset fails or nothing
// matches. The enumerator is released.
HRESULT FindPluginInfoByClassId(IWuFileIOMgrForApp* manager, const GUID& classId, int selector,
                                WUFIO_PLUGIN_INFO* record);

// The module path of a plug-in record (UTF-16 from byte 56, read
// little-endian, at most 259 characters) into `out` of `size` characters.
void PluginInfoModulePath(const WUFIO_PLUGIN_INFO* record, LPWSTR out, int size);
