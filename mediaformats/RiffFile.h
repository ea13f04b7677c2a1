// File helpers shared by the RIFF and RIFF64 layers (internal to the media
// formats): exact reads and writes, 64-bit positions, forward skips that
// end at the end of the file rather than fail, and the tail move of the
// chunk deletes.
#pragma once

#include "platform/kernel/types.h"

namespace rifffile {

// Reads exactly `count` bytes: RIFF_E_READ when fewer arrive.
HRESULT ReadExact(HANDLE file, void* buffer, DWORD count);
// Writes exactly `count` bytes: RIFF_E_WRITE when fewer go out.
HRESULT WriteExact(HANDLE file, const void* data, DWORD count);

// The current position, or -1 when the handle has none.
LONGLONG Tell(HANDLE file);
// Moves to an absolute position; false when the position is refused.
bool SeekTo(HANDLE file, ULONGLONG position);
// Moves forward by `amount` bytes. A target beyond what a position can hold
// goes to the end of the file instead, so a following read fails there.
void SkipForward(HANDLE file, ULONGLONG amount);
// The file's size, or -1.
LONGLONG Size(HANDLE file);
// Cuts (or extends) the file at `position`; the file pointer stays there.
bool CutAt(HANDLE file, ULONGLONG position);

// The bytes a form loses when a chunk of `span` bytes (header and padded
// data) is cut out of it: those that the form held of them, `in_form` at
// most. Padding the file lacks still counts when the form counts it: the
// form then ends where the file does.
ULONGLONG SpanRemoved(ULONGLONG span, ULONGLONG in_form);

// Moves the bytes from `source` to the end of the file down to
// `destination` (below it) and cuts the file after them. Large blocks are
// used; a failed read gives RIFF_E_READ and a failed write RIFF_E_WRITE,
// with the file left partly moved and not cut. E_OUTOFMEMORY when no block
// can be had.
HRESULT MoveTailDown(HANDLE file, ULONGLONG destination, ULONGLONG source);

}  // namespace rifffile
