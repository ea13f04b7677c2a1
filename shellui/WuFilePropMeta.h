// The metadata sections of the file-properties text: what a media file's
// metadata reader holds (summary and capture fields, loop and stretch
// information, markers, media tags, sensing blocks, pictures), its project
// link and its broadcast-wave record, written line by line into the General
// page's edit control after the file and stream sections.
//
// Every stream the reader hands out is untrusted: sizes and counts are
// checked against the bytes actually read before anything is allocated or
// read, a refused header ends only its own walk, and the listing goes on
// with the next section.
#pragma once

#include "fileio/WuFileIO.h"
#include "mediaformats/WuReadMeta.h"
#include "platform/com/com.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

class CWuLinkProjectInfo;

// What the metadata sections read; every pointer may be null (a missing
// object only removes the lines that need it). Nothing is released or freed
// here: the caller owns every object.
struct WUFILEPROPMETA {
  HWND edit;                       // the multi-line edit control written to
  IWuReadMeta* meta;               // the file's metadata reader
  IWuReadMetaLoopInfo* loopInfo;   // its loop-info kind
  IWuEnumMetaStreams* streams;     // its metadata stream enumerator
  IWuReadMetaMediaTag* mediaTag;   // its media-tag kind
  BOOL mediaTagsUsable;            // the media-tag kind answered S_OK
  CWuLinkProjectInfo* link;        // the project-link record
  BOOL linkLoaded;                 // the record was loaded from the reader
  IWuFileIOMgrForApp* manager;     // names the renderer of the project link
  DWORD requestFlags;              // bit 0: write the broadcast-wave section
  BOOL diagnostic;                 // the diagnostic listing (Shift held)
};

// Request flag: add the broadcast-wave section.
constexpr DWORD WUFILEPROP_REQUEST_BWF = 0x1;

// Writes, in this order: Summary, Capture (with Statistics), VEMP
// information, Other metadata, Media tags, Sensing blocks, Pictures,
// Project link and BWF information. Reports nothing.
void WuFilePropWriteMetaSections(const WUFILEPROPMETA* in);

// Turns a capture time text ("<high> <low>", the two 32-bit halves of a
// FILETIME) into "<long date> <time>" in the user's default locale, not
// converted to local time. The text is first copied to `out` (cut to
// `outSize` - 1 characters); the copy stays when both numbers are 0 or the
// conversion fails.
void FormatCaptureTime(LPCWSTR text, LPWSTR out, int outSize);

// Seeks `stream` to 0 and reads its 28-byte metadata stream header. S_OK
// with the data-size field (a byte or item count by kind, as a signed
// value) in *dataSize and the kind in *kind (either may be null);
// WU_E_READ (0x8004E008) when the seek or read fails or comes back short.
HRESULT ReadMetaStreamHeader(IStream* stream, LONG* dataSize, GUID* kind);

// Seeks `stream` to 0 and reads the 28-byte header again, leaving the
// stream at its data. S_OK only when the header size equals the bytes read
// (28) and the version is 100; else WU_E_READ (0x8004E008).
HRESULT CheckMetaStreamHeader(IStream* stream);

// Reads the 28-byte sub-header of the next element at the current
// position. S_OK with the element size in *elementSize when the header
// size equals the bytes read, the version is 100 and the kind is `kind`;
// else WU_E_READ (0x8004E008).
HRESULT ReadMetaSubHeader(IStream* stream, const GUID& kind, DWORD* elementSize);
