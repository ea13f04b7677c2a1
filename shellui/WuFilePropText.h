// The file-properties text: everything the library can learn about one
// media file (file-system facts, the reader's streams, the file chain, the
// metadata blocks, the project link and the reading plug-in), written line
// by line into a read-only multi-line edit control.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/user/windows.h"

// Clears `edit`, sets its font to UI font 102 and writes the listing of the
// file at `path` (at most 259 characters; may be empty or NULL when `reader`
// is given). `reader` (optional) is an open reader of the file; without one,
// `manager` (optional) opens one for a non-empty path. Bit 0 of `flags` adds
// the broadcast-wave section. A non-zero `diagnostic` adds the sections of
// raw reader values. Reports nothing: what cannot be read only removes its
// lines. Every interface taken is released before the call returns; the
// caller's references are untouched.
void FillFilePropertiesText(HWND edit, LPCWSTR path, IWuReadFile* reader,
                            IWuFileIOMgrForApp* manager, DWORD flags, BOOL diagnostic);
