// Shared pieces of the metadata section writers: the line layout, little-
// endian reads from plug-in streams, and the bounded walk of the metadata
// stream enumerator.
#pragma once

#include <functional>
#include <memory>

#include "foundation/WuLangRows.h"
#include "shellui/WuFilePropMeta.h"
#include "shellui/WuShellUIText.h"

namespace fpropmeta {

// Label column widths: the usual one, and the one of the three statistics
// lines.
constexpr int kLabelWidth = 22;
constexpr int kWideLabelWidth = 24;
// The label buffer in characters.
constexpr int kLabelChars = 40;
// The enumerator walk ends after this many streams, whatever the plug-in
// keeps answering.
constexpr int kMaxWalkStreams = 1024;
// Elements (summary values, sensing blocks, pictures) above this many bytes
// are not read, whatever length the stream claims.
constexpr DWORD kMaxElementBytes = 64u << 20;

using shellui::YesNo;

// A section header: its text alone on a line.
void Header(HWND edit, LPCWSTR text);
// An empty line.
void EmptyLine(HWND edit);
// A labelled line: the label column of `width` characters, then the value.
void Line(HWND edit, LPCWSTR label, LPCWSTR value, int width = kLabelWidth);
// A labelled line with a formatted value (the library's format engine).
void LineF(HWND edit, LPCWSTR label, LPCWSTR format, ...);

// A zeroed byte buffer, null when memory runs out.
std::unique_ptr<BYTE[]> ZeroedBytes(size_t bytes);
// Reads exactly `bytes` bytes at the current position; false on a failing
// or short read.
bool ReadExact(IStream* stream, void* buffer, ULONG bytes);
// The bytes between the current position and the stream's end (a seek to
// the end and back); false when a seek fails.
bool BytesLeft(IStream* stream, ULONGLONG* left);
// Seeks to 0 and reads the 12-byte header of a region, command, summary or
// stretch-list stream: true with its item count (signed).
bool ReadItemCount(IStream* stream, LONG* count);

// Walks the enumerator: Reset, then each stream the enumerator hands out
// (at most kMaxWalkStreams) is given to `visit` with the data-size field
// and kind of its header, and released. The walk ends when the enumerator
// stops, when a header cannot be read, or when `visit` answers false.
void WalkMetaStreams(IWuEnumMetaStreams* streams,
                     const std::function<bool(IStream*, LONG, const GUID&)>& visit);

// The sections, in the order they are written.
void WriteSummary(const WUFILEPROPMETA& in);
void WriteCapture(const WUFILEPROPMETA& in);
void WriteVemp(const WUFILEPROPMETA& in);
void WriteOtherMetadata(const WUFILEPROPMETA& in);
void WriteMediaTags(const WUFILEPROPMETA& in);
void WriteSensingBlocks(const WUFILEPROPMETA& in);
void WritePictures(const WUFILEPROPMETA& in);
void WriteProjectLink(const WUFILEPROPMETA& in);
void WriteBwf(const WUFILEPROPMETA& in);

}  // namespace fpropmeta
