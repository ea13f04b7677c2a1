// The metadata-reader interfaces: what a file-format plug-in hands out to
// give a media file's metadata, one stream or value per kind. The media
// formats read them (broadcast-wave loader, metadata writers) and the
// file-I/O framework above passes them on; this header is their one
// declaration, and further kinds are added here.
//
// A kind is reached by QueryInterface on the reader with the kind's id.
// Streams handed out are new references the caller releases; they are read
// with Seek and Read (a Seek to the end gives the size).
#pragma once

#include "platform/com/com.h"
#include "platform/kernel/types.h"

// The metadata reader of an open media file.
inline constexpr IID IID_IWuReadMeta = {0x001420E1, 0x938C, 0x11D3,
                                        {0xA4, 0x83, 0x00, 0x10, 0x5A, 0x24, 0xAA, 0x37}};

class IWuReadMeta : public IUnknown {
 public:
  // The stream of regions and markers; 0x8004E00A when the file has none.
  virtual HRESULT GetRegionStream(IStream** stream) = 0;
  // The stream of command markers; 0x8004E00A when the file has none.
  virtual HRESULT GetCommandStream(IStream** stream) = 0;
  // An operation kept for its slot; the library's own readers answer
  // E_NOTIMPL and callers never rely on it.
  virtual HRESULT ReservedOperation(void* reserved) = 0;
  // The text of one value (such as "_tfs", "TAPE", "CMNT") into a buffer
  // of `size` characters, terminated: S_OK when the value exists, S_FALSE
  // when it is not set, negative on failure.
  virtual HRESULT GetTextValue(DWORD id, LPWSTR buffer, int size) = 0;
  // The INFO summary stream; 0x8004E00A when the file has none.
  virtual HRESULT GetSummaryStream(IStream** stream) = 0;

 protected:
  ~IWuReadMeta() = default;
};

// The broadcast-wave kind: one stream per field of the record (see
// mediaformats/WuBwf.h for the indices and contents).
inline constexpr IID IID_IWuReadMetaBroadcastWave = {
    0x8A4FB0C3, 0x0353, 0x4356, {0x95, 0x73, 0x4E, 0x16, 0x14, 0x3D, 0x62, 0x9C}};

class IWuReadMetaBroadcastWave : public IUnknown {
 public:
  // The stream of field `field` (0..9); E_INVALIDARG for another index.
  virtual HRESULT GetFieldStream(IStream** stream, int field) = 0;

 protected:
  ~IWuReadMetaBroadcastWave() = default;
};
