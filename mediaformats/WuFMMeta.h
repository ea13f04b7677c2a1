// Metadata side files and metadata chunks by kind.
//
// A side file holds the metadata of a media file whose format cannot: a
// RIFF form "WUPL" with the metadata chunks, then one "WUPI" chunk naming
// the media file (its name without folder, ANSI code page, terminated, one
// zero pad byte for an even total). The side file's name is the media
// path with ".wul" in place of its extension (mode 0) or appended to the
// whole name (other modes); both forms are looked for, the replacing one
// first.
//
// Kinds are the WUFIO_TYPESOFMETADATA bits (mediaformats/WuReadMeta.h).
#pragma once

#include "mediaformats/RiffBytes.h"
#include "mediaformats/RiffStatus.h"
#include "mediaformats/WuReadMeta.h"
#include "platform/kernel/types.h"

constexpr FOURCC kMetaSideForm = RiffId("WUPL");
constexpr FOURCC kMetaSideName = RiffId("WUPI");
// Characters of a side file's "WUPI" name read back, terminator included.
constexpr DWORD kMetaSideNameChars = 260;

// The side-file name of `media_path` into `out` (`out_chars` characters):
// mode 0 replaces the extension by ".wul", other modes append ".wul".
// E_INVALIDARG when out_chars is below the path length + 5 or an argument
// is null.
HRESULT WuFMMeta_CreateMetaName(LPCWSTR media_path, LPWSTR out, DWORD out_chars, int mode);
// TRUE when `side_path` opens, holds a "WUPI" chunk in its RIFF form, and
// that name equals the file-name part of `media_path` (case-sensitive).
BOOL WuFMMeta_IsMetaFile(LPCWSTR media_path, LPCWSTR side_path);
// Writes the "WUPI" chunk for `media_path` into an open side file: as
// WuFMMeta_ReplaceAttachedNameChunk, so that a side file that named
// another media file names this one after S_OK (the first owner chunk is
// the one read) and the old one after a failure. The chunk goes after the
// form (mediaformats/FormAppend.h: at an even offset; a form whose size
// does not end its chunks is refused with 0x8004E00B). E_FAIL without a
// media path.
HRESULT WuFMMeta_WriteAttachedNameChunk(HANDLE side_file, LPCWSTR media_path);
// Writes only the chunk's bytes at the position (the form size untouched);
// *written receives their count.
HRESULT WuFMMeta_PutAttachedNameChunk(HANDLE side_file, LPCWSTR media_path, ULONGLONG* written);
// Replaces the "WUPI" chunk of a side file (a missing one is no error) by
// one for `new_media_path`. E_FAIL for a null argument; an open failure
// gives the translated Win32 error.
HRESULT WuFMMeta_ChangeAttachedFilename(LPCWSTR side_path, LPCWSTR new_media_path);
// The same on an open side file: one "WUPI" chunk for `media_path` is
// appended, then every older one deleted, so that it stands last after
// chunks written into the side file and the side file names the old media
// file or the new one after any failure. E_FAIL without a media path.
HRESULT WuFMMeta_ReplaceAttachedNameChunk(HANDLE side_file, LPCWSTR media_path);
// Creates (or truncates) `side_path` as an empty "WUPL" form open for
// reading and writing; INVALID_HANDLE_VALUE with *status set on failure
// (a file whose form header could not be written is removed again).
// A file there that holds a "WUPI" chunk is left as it is and refused with
// the translated ERROR_FILE_EXISTS: callers delete their own side file
// first, so such a file belongs to another media file.
HANDLE WuFMMeta_CreateSideFile(LPCWSTR side_path, HRESULT* status);

// Deletes the marker chunks (kind 0x4) from a RIFF file (as the Ex form).
HRESULT WuFMMeta_DeleteMetaChunks(LPCWSTR path);
// Deletes every chunk of the given kinds through the RIFF table, or the
// RIFF64 table with `riff64` set; from an AIFF file only "INST" and "MARK"
// (kind 0x200). A file that does not exist gives S_OK; one that exists and
// cannot be opened for writing gives the translated Win32 error.
HRESULT WuFMMeta_DeleteMetaChunksEx(LPCWSTR path, DWORD kinds, BOOL riff64);
// The same on an open file.
HRESULT WuFMMeta_DeleteKindsFromFile(HANDLE file, DWORD kinds, BOOL riff64);
// The kinds whose deletes take a RIFF chunk `id` (with `is_list`, a
// "LIST" of type `id`) or a RIFF64 chunk of GUID `id`; 0 for none.
DWORD WuFMMeta_KindOfChunk(FOURCC id, BOOL is_list);
DWORD WuFMMeta64_KindOfChunk(const GUID& id);
// Deletes every chunk `id` of an open RIFF file (with `is_list`, every
// "LIST" of that type) or every chunk `id` of an open RIFF64 file; none
// there is no error.
HRESULT WuFMMeta_DeleteEveryChunk(HANDLE file, FOURCC id, BOOL is_list);
HRESULT WuFMMeta64_DeleteEveryChunk(HANDLE file, const GUID& id);
// Deletes the first `count` chunks `id` of an open RIFF file (RIFF64: of
// GUID `id`); fewer there is no error. With WuFMMeta_CountChunks taken
// before a new chunk is appended, this retires the old ones only once the
// new one is written.
HRESULT WuFMMeta_DeleteFirstChunks(HANDLE file, FOURCC id, DWORD count);
HRESULT WuFMMeta64_DeleteFirstChunks(HANDLE file, const GUID& id, DWORD count);
// The number of chunks `id` in the form of an open RIFF file (RIFF64: of
// GUID `id`).
DWORD WuFMMeta_CountChunks(HANDLE file, FOURCC id);
DWORD WuFMMeta64_CountChunks(HANDLE file, const GUID& id);
// S_OK when the RIFF file has a "cue " chunk, else RIFF_E_NOT_FOUND (also
// when it cannot be opened).
HRESULT WuFMMeta_LookForMarkers(LPCWSTR path);

// ---- Writing a reader's metadata --------------------------------------------
// Into a RIFF media file and its side file. `media_kinds` go into the media
// file (opened only when given; unless `fresh`, its old chunks of those
// kinds are replaced), `side_kinds` into the appending-form side file
// (written only when the reader has content of those kinds; the other side
// files of this media, under either name, are deleted once it stands, all
// of them when there is no content). Marker times are converted at
// `sample_rate`.
//
// Each file is written all or nothing: the whole new set of chunks goes
// after the form's old chunks, the form grows once when the set is
// written whole, and only then are the old chunks it replaces (and, for a
// side file written anew, all of its old chunks) cut out. A failure while
// writing, a full disk above all, cuts the file back: it is byte for byte
// as it was, its old metadata readable. An existing side file is rewritten
// in place this way; one whose form takes no chunk is made new.
//
// Open failures give the translated Win32 error; stream faults
// RIFF_E_READ or 0x8004E038; failed writes RIFF_E_WRITE; a side file made
// here that could not be written whole is removed again. A side file that
// another media file's "WUPI" chunk holds under the name to be made is
// left whole: WU_E_FILE_EXISTS. A form whose chunks do not end at its size
// is refused (0x8004E00B) untouched. An AIFF or AIFF-C file (any
// compression) takes only the AIFF kind (its "INST" and "MARK", both or
// neither); other kinds leave it as it is.
HRESULT WuFMMeta_openAndWriteMetaStreamEx(LPCWSTR media_path, BOOL fresh, DWORD sample_rate,
                                          IWuReadMeta* reader, DWORD media_kinds,
                                          DWORD side_kinds);
// The Ex form, fresh, with INFO and markers (0x5) to the side file or to the
// media file.
HRESULT WuFMMeta_WriteMetaStream(LPCWSTR media_path, BOOL to_side, DWORD sample_rate,
                                 IWuReadMeta* reader);
HRESULT WuFMMeta_WriteMetaStreamEx(LPCWSTR media_path, BOOL to_side, DWORD sample_rate,
                                   IWuReadMeta* reader, DWORD kinds);
HRESULT WuFMMeta_openAndWriteMetaStream(LPCWSTR media_path, BOOL fresh, BOOL to_side,
                                        DWORD sample_rate, IWuReadMeta* reader);
// Updates an existing file pair: the side-file kinds replace those chunks
// in the existing side file (or make one), whose "WUPI" chunk then stands
// last again; the media kinds are replaced in the media file and, once it
// holds them, removed from the side file (a failed media write leaves them
// there). Each file all or nothing, as above.
HRESULT WuFMMeta_UpdateMetaStream2(LPCWSTR media_path, DWORD sample_rate, IWuReadMeta* reader,
                                   DWORD media_kinds, DWORD side_kinds);
HRESULT WuFMMeta_UpdateMetaStreamEx(LPCWSTR media_path, BOOL to_side, DWORD sample_rate,
                                    IWuReadMeta* reader, DWORD kinds);
// The update with markers only (0x4).
HRESULT WuFMMeta_UpdateMetaStream(LPCWSTR media_path, BOOL to_side, DWORD sample_rate,
                                  IWuReadMeta* reader);
// The same two operations for a Wave64 media file: its chunks go through
// the RIFF64 table and writers (no raw chunks, no AIFF step); the side file
// stays RIFF. The write form deletes an appending-form side file only when
// it names this media file, and makes the side file for `side_kinds` as
// given.
HRESULT WuFMMeta64_openAndWriteMetaStream(LPCWSTR media_path, BOOL fresh, DWORD sample_rate,
                                          IWuReadMeta* reader, DWORD media_kinds,
                                          DWORD side_kinds);
HRESULT WuFMMeta64_UpdateMetaStream(LPCWSTR media_path, DWORD sample_rate, IWuReadMeta* reader,
                                    DWORD media_kinds, DWORD side_kinds);
// The kinds of `mask` the reader has content for; in write mode streams
// without items do not count.
DWORD WuFMMeta_KindsPresent(IWuReadMeta* reader, DWORD mask, BOOL write_mode);
