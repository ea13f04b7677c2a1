// Reading the metadata streams of a reader (internal to the media formats):
// their headers and items, checked against the stream's real size.
#pragma once

#include <string>
#include <vector>

#include "mediaformats/RiffStatus.h"
#include "mediaformats/WuReadMeta.h"
#include "platform/com/com.h"

namespace metastream {

// A stream whose records contradict its size or its own header.
constexpr HRESULT kBadStream = WuStatusCode(0x8004E038);

// An enumerator stream's header: seeks to 0 and reads the 28 bytes;
// RIFF_E_READ when short or when the size or version differ.
HRESULT ReadHeader(IStream* stream, DWORD* count, GUID* kind);
// The next item's bytes (after its 28-byte sub-header); RIFF_E_READ for a
// short read or a bad sub-header, kBadStream for an item larger than what
// the stream still holds.
HRESULT ReadItem(IStream* stream, std::string* bytes);
// Exactly `count` bytes; RIFF_E_READ when short.
HRESULT ReadExact(IStream* stream, void* buffer, ULONG count);
// What the stream holds after its position (0 when it cannot tell).
ULONGLONG Remaining(IStream* stream);
// The 12-byte header of the reader's region, command and summary streams
// (seeks to 0 first).
HRESULT ReadReaderHeader(IStream* stream, DWORD* count);

// One item of a reader stream: a record of `record_bytes` into `record`
// whose u32 at `text_bytes_at` counts the text that follows, read into
// *text; kBadStream when the text is longer than the stream.
HRESULT ReadReaderItem(IStream* stream, BYTE* record, DWORD record_bytes, DWORD text_bytes_at,
                       std::string* text);

// The kind bit of a stream GUID, or 0.
DWORD KindOf(const GUID& kind);

// Every stream of the reader's enumerator, in order (released by the
// holder). S_OK with none when the reader has no enumerator.
struct Streams {
  std::vector<IStream*> list;
  ~Streams() {
    for (IStream* s : list) s->Release();
  }
};
HRESULT CollectStreams(IWuReadMeta* reader, Streams* streams);

}  // namespace metastream
