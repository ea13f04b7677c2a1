// Out-of-line string and memory helpers used by the whole library.
//
// Wide texts are UTF-16, ended by a 0 unit; byte texts are ended by a 0 byte.
// A "size" is the capacity of a destination in characters (bytes for byte
// texts) including room for the terminator. Every bounded copy writes at most
// size-1 characters and always terminates; a size of 0 or below writes
// nothing. Null pointers are accepted everywhere: a null source reads as an
// empty text, a null destination is never written.
#pragma once

#include "platform/kernel/types.h"

// Copies the whole source, terminator included; no bound. Returns dest.
LPWSTR WuStrCpy(LPWSTR dest, LPCWSTR source);
// Appends the whole source after dest's text; no bound. Returns dest.
LPWSTR WuStrCat(LPWSTR dest, LPCWSTR source);

// size > 0: copies at most size-1 characters, zero-fills the rest of the
// first size-1 positions and stores the terminator at size-1, so the whole
// buffer is written. size <= 0: nothing. Returns dest.
LPWSTR WuStrCpyN(LPWSTR dest, LPCWSTR source, int size);
// As WuStrCpyN, returning dest's length afterwards. size < 0: nothing
// written, 0. size 0: nothing written, dest's existing length (0 for null).
int WuStrCpyNLen(LPWSTR dest, LPCWSTR source, int size);
// The same as WuStrCpyNLen (a second entry point).
int WuStrCpyNLen2(LPWSTR dest, LPCWSTR source, int size);
// When dest's text is shorter than size-1, appends at most
// size - length - 1 characters and terminates; otherwise nothing changes.
// The length of dest is measured only within the first size characters.
void WuStrCatN(LPWSTR dest, LPCWSTR source, int size);
// Length in characters; 0 for null.
int WuStrLenSafe(LPCWSTR text);

// First character that is not white space (platform::IsWhiteSpace); the
// terminator is not white space. Null for null.
const WCHAR* WuSkipWhiteSpace(const WCHAR* text);
inline WCHAR* WuSkipWhiteSpace(WCHAR* text) {
  return const_cast<WCHAR*>(WuSkipWhiteSpace(static_cast<const WCHAR*>(text)));
}
// The next character, or the same pointer on the terminator. Null for null.
const WCHAR* WuStrNextChar(const WCHAR* at);
inline WCHAR* WuStrNextChar(WCHAR* at) {
  return const_cast<WCHAR*>(WuStrNextChar(static_cast<const WCHAR*>(at)));
}
// Upper-cases every character in place (platform::CharUpper). Returns text.
LPWSTR WuStrUpper(LPWSTR text);
// The last occurrence of a character, or the terminator when there is none
// (the text itself when it is empty). Null for null.
const WCHAR* WuStrRChrOrEnd(const WCHAR* text, WCHAR c);
inline WCHAR* WuStrRChrOrEnd(WCHAR* text, WCHAR c) {
  return const_cast<WCHAR*>(WuStrRChrOrEnd(static_cast<const WCHAR*>(text), c));
}

// Compares the first n characters of both texts (fewer when a text ends
// earlier) in the order of lstrcmpiW (case-insensitive) or lstrcmpW
// (case-sensitive): -1, 0 or 1. n <= 0 gives 0. Null reads as empty.
int WuStrCmpNI(LPCWSTR a, LPCWSTR b, int n);
int WuLstrCmpN(LPCWSTR a, LPCWSTR b, int n);

// Converts a terminated wide text into a code page (WideCharToMultiByte, no
// flags, no default character). Returns the bytes written without the
// terminator, 0 on failure. With size > 0 the result is always terminated:
// an empty (or null) source writes a lone terminator, and the byte at
// size-1 is always 0, so a text that does not fit leaves the whole
// characters that fit, terminated. size <= 0 writes nothing.
int WuWideToMultiByte(LPSTR dest, LPCWSTR source, int size, UINT code_page);
// size > 0: lstrcpynA and a terminator at size-1; size <= 0: nothing.
LPSTR WuStrCpyNA(LPSTR dest, LPCSTR source, int size);
// Byte form of WuStrCatN. Returns dest.
LPSTR WuStrCatNA(LPSTR dest, LPCSTR source, int size);

// Zero-filled global memory, kept locked for its whole life: the allocator
// of the library's own objects. NULL when memory is exhausted.
void* WuGlobalNew(SIZE_T bytes);
// Unlocks and frees a block from WuGlobalNew; NULL and pointers that are not
// such blocks are ignored.
void WuGlobalDelete(void* pointer);

// TRUE when the path exists and is a folder.
BOOL WuIsDirectory(LPCWSTR path);
// Moves a file pointer by a 64-bit distance given as low and high halves
// (move method FILE_BEGIN, FILE_CURRENT or FILE_END) and returns the new
// position, or -1 (low half 0xFFFFFFFF) on failure with the last error set.
LONGLONG WuSeekFile(HANDLE file, LONG distance_low, LONG distance_high, DWORD move_method);
