// Appending chunks at the end of a form of an open file, shared by every
// writer that grows a RIFF, RIFF64 or IFF form in place (the "bext"
// writers, the metadata and side-file writers, the AIFF chunk writer and
// the project-link writer).
//
// Where a chunk may go is found by walking the form's chunks, not by
// trusting its stated size alone: the chunks must end exactly at the form's
// end (the last one's padding aside, which writers of other programs often
// leave out of the form or out of the file), the file must hold them, and
// nothing may follow them. A form whose size ends before or inside its
// chunks, as an unfinished recording leaves it, or that claims more than
// the file holds, or that other bytes follow, is refused with
// RIFF_E_WRONG_FORM before anything is written: a chunk appended there
// would overwrite audio or be lost to every reader.
//
// The new chunk starts at the end of the last chunk rounded up to the
// form's alignment (2, RIFF64: 8); the padding between is counted in the
// form size, and written as zeros where the file does not hold it yet. The form size grows only once the chunks
// are written whole; a failed write, or a form that would grow past its
// largest size, cuts the file back to its old length, so that the file is
// left as it was.
#pragma once

#include <functional>
#include <vector>

#include "platform/kernel/types.h"

namespace formappend {

enum class Layout {
  kRiff,    // "RIFF", u32 little-endian size after it, chunks from 12, padded to 2
  kRiff64,  // riff GUID, u64 size of the whole form, chunks from 40, padded to 8
  kIff,     // "FORM", u32 big-endian size after it, chunks from 12, padded to 2
};

// An append point of a form.
struct Point {
  Layout layout = Layout::kRiff;
  ULONGLONG stored = 0;     // the form size as stored
  ULONGLONG form_end = 0;   // where that size ends the form
  ULONGLONG at = 0;         // where an appended chunk starts
  ULONGLONG file_size = 0;  // the file's length before the append
};

// Walks the form of `file` and finds where a chunk may be appended.
// RIFF_E_NOT_RIFF (IFF: RIFF_E_WRONG_FORM) when the file does not begin
// with the form's id, RIFF_E_READ when its header cannot be read,
// RIFF_E_WRONG_FORM as described above. Writes nothing.
HRESULT Find(HANDLE file, Layout layout, Point* point);

// Find, then the padding the file lacks; the file then stands where the
// chunk goes. On failure the file is as it was.
HRESULT Begin(HANDLE file, Layout layout, Point* point);

// Ends an append begun at `point`: when `hr` succeeded, grows the form by
// the padding and the `written` bytes after it; when `hr` failed, or the
// form would pass its largest size (RIFF_E_TOO_LARGE), or the size cannot
// be written, cuts the file back to its old length and keeps the form
// size. Returns `hr` or the failure met here.
HRESULT End(HANDLE file, const Point& point, HRESULT hr, ULONGLONG written);

// Begin, `write` (HRESULT(ULONGLONG* written): writes at the position and
// reports the bytes written), End.
template <class Write>
HRESULT Append(HANDLE file, Layout layout, Write write) {
  Point point;
  HRESULT hr = Begin(file, layout, &point);
  if (FAILED(hr)) return hr;
  ULONGLONG written = 0;
  hr = write(&written);
  return End(file, point, hr, written);
}

// After an append from `point`: overwrites the id (stored order, 4 bytes;
// RIFF64: 16) of every chunk of the old form whose id is `id` with `mark`,
// so that they stay as filler and none stands in front of the appended one.
HRESULT Retire(HANDLE file, const Point& point, const BYTE* id, const BYTE* mark);

// Calls visit(offset, header bytes) for every chunk of the form as `point`
// found it, that is for the chunks that stood before an append from it.
// The walk stops at the first failure `visit` returns.
HRESULT ForEachOld(HANDLE file, const Point& point,
                   const std::function<HRESULT(ULONGLONG at, const BYTE* header)>& visit);

// After an append from `point`: removes the chunks of the old form that
// start at `offsets` (as ForEachOld gives them, ascending), each with its
// padding, moving what follows down, and lowers the form size by the bytes
// of them the form held. Only moves down and cuts: a full disk cannot fail
// it.
HRESULT Remove(HANDLE file, const Point& point, const std::vector<ULONGLONG>& offsets);

}  // namespace formappend
