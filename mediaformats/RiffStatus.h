// Status codes of the chunk layers and of every media-format helper built on
// them. The values are fixed: stored files and callers test for them.
#pragma once

#include "foundation/WuStatus.h"
#include "platform/kernel/types.h"

// The file cannot be opened.
constexpr HRESULT RIFF_E_OPEN = WU_E_OPEN_FILE;  // 0x8004E007
// A read returned fewer bytes than asked (also the end of the file or buffer).
constexpr HRESULT RIFF_E_READ = WU_E_READ;  // 0x8004E008
// A write failed (or, in memory, did not fit).
constexpr HRESULT RIFF_E_WRITE = WU_E_WRITE;  // 0x8004E009
// The chunk, list or kind sought is not in the bounded range.
constexpr HRESULT RIFF_E_NOT_FOUND = WU_E_NOT_FOUND;  // 0x8004E00A
// The file is not of the expected form (CD-audio reader), or its sizes
// contradict each other.
constexpr HRESULT RIFF_E_WRONG_FORM = WU_E_BAD_DATA;  // 0x8004E00B
// The CD-audio "fmt " chunk is not 24 bytes long.
constexpr HRESULT RIFF_E_CDDA_FORMAT = WuStatusCode(0x8004E01C);
// The new RIFF form size would exceed 0xFFFFFFF7.
constexpr HRESULT RIFF_E_TOO_LARGE = WuStatusCode(0x8004E03A);
// The file does not begin with "RIFF" (RIFF64: with the riff GUID).
constexpr HRESULT RIFF_E_NOT_RIFF = WuStatusCode(0x8004E080);
// The chunk is not a "LIST" chunk (RIFF64: not the list GUID).
constexpr HRESULT RIFF_E_NOT_LIST = WuStatusCode(0x8004E081);
// A chunk size is zero.
constexpr HRESULT RIFF_E_ZERO_SIZE = WuStatusCode(0x8004E082);
// A chunk size is negative as a signed 32-bit number (RIFF64: not a
// multiple of 8, or bit 35 set).
constexpr HRESULT RIFF_E_BAD_SIZE = WuStatusCode(0x8004E083);
