// Bounded reads of a render template record's byte layout, for the code
// that handles templates it did not build itself (list streams, files,
// caches). A record is a self-sized little-endian block: total size at 0,
// version at 4, Id at 12, class id at 24, template GUID at 40, the text
// length (UTF-16 units, both terminators included) at 528, the private
// size at 532, private data from 536 padded to 4 bytes, then the name and
// the notes. Every accessor checks the layout first; a record that fails
// reads with empty texts.
#pragma once

#include <cstring>

#include "fileio/WuFileIO.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/types.h"

// Offsets and bounds of the record.
constexpr DWORD WUTPL_OFFSET_VERSION = 4;        // version word
constexpr DWORD WUTPL_OFFSET_ID = 12;            // preset number
constexpr DWORD WUTPL_OFFSET_CLASS = 24;         // renderer class id
constexpr DWORD WUTPL_OFFSET_GUID = 40;          // template GUID
constexpr DWORD WUTPL_OFFSET_AUDIO = 56;         // audio settings block
constexpr DWORD WUTPL_OFFSET_VIDEO = 256;        // video settings block
constexpr DWORD WUTPL_OFFSET_TEXTLEN = 528;      // text length in units
constexpr DWORD WUTPL_OFFSET_PRIVSIZE = 532;     // private size in bytes
constexpr DWORD WUTPL_HEADER_BYTES = 536;        // bytes before the private data
constexpr DWORD WUTPL_MIN_FILE_BYTES = 540;      // smallest record on disk (empty texts)
constexpr DWORD WUTPL_MAX_BYTES = 0x02000000;    // largest record any reader accepts

// Status codes of the template code.
constexpr HRESULT WUTPL_E_SHARED = WuStatusCode(0x8004E16D);   // cache shared, cannot change
constexpr HRESULT WUTPL_E_NO_LIST = WuStatusCode(0x800A0026);  // stream without list, seek past end

// A little-endian 32-bit word of a record.
inline DWORD WuTpl_Word(const void* record, DWORD offset) {
  const BYTE* b = static_cast<const BYTE*>(record) + offset;
  return static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) |
         (static_cast<DWORD>(b[2]) << 16) | (static_cast<DWORD>(b[3]) << 24);
}
inline void WuTpl_SetWord(void* record, DWORD offset, DWORD value) {
  BYTE* b = static_cast<BYTE*>(record) + offset;
  b[0] = static_cast<BYTE>(value);
  b[1] = static_cast<BYTE>(value >> 8);
  b[2] = static_cast<BYTE>(value >> 16);
  b[3] = static_cast<BYTE>(value >> 24);
}
inline DWORD WuTpl_Size(const void* record) { return WuTpl_Word(record, 0); }
inline DWORD WuTpl_Pad4(DWORD n) { return (n + 3u) & ~3u; }

// Whether the stated sizes fit: private size not negative,
// 536 + pad4(private size) + 2 x text length <= total size, and a text
// area that ends with a terminator.
inline bool WuTpl_LayoutOk(const void* record) {
  return record && static_cast<const tagWUTEMPLATExV2*>(record)->HasValidLayout();
}

// The name: "" for a record without texts or with a bad layout.
inline LPCWSTR WuTpl_Name(const void* record) {
  return record ? static_cast<const tagWUTEMPLATExV2*>(record)->GetName() : u"";
}
