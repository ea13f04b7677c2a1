// Project links on disk: one chunk per field of CWuLinkProjectInfo, inside
// a media file's RIFF or RIFF64 (Wave64) form or in a side file of its own.
//
// The chunk set (RIFF id / RIFF64 GUID, content, presence bit):
//   "splv" {E4E76B7B-339F-4820-8AA9-6915A722024E} version, u32, exactly 4 bytes
//   "splp" {830AC81C-4C96-4F91-9975-C707E1736EC7} project path, UTF-16LE   0x1
//   "spcl" {CBE52EDB-C5D2-44BC-B5DC-EF55E946F073} command line, UTF-16LE   0x2
//   "sprg" {9F4A912F-9D66-426E-A781-F9E7E01524FE} renderer GUID, 16 bytes  0x4
//   "srtn" {B5EDD3A2-0673-4466-8446-CA87DD80A487} template name, UTF-16LE  0x8
//   "srtd" {7834233F-573A-475E-8F02-568D131BE2DF} template data           0x10
//   "srat" {29C90B65-D288-4F92-814F-1C67593A6860} app template data       0x20
//   "spca" {FCD163D0-D709-4568-9110-831D2C9455F2} creator app info        0x40
//   "spcc" {738F13D9-B70F-4309-988E-48425326F669} creator window class    0x100
//   "spem" {6D0BE4ED-C296-4596-9343-25EC043754ED} embedded project list   0x80
// A chunk holds exactly the field's buffer (texts count their NUL unit);
// RIFF chunks are padded to even, RIFF64 chunks to a multiple of 8. Written
// files carry version 0x01000100; loaders accept up to 0x01FFFFFF.
//
// A side file is named after the media file with ".wul" appended; it is a
// RIFF form "WUPL" whose first chunk names the media file ("WUPI").
//
// Loaders treat every file and stream as untrusted: sizes are checked
// against the form and the file before anything is allocated, a text
// without its NUL unit (or of odd size) gets one added, and a failed file
// load leaves the record freed. Writers change only the chunks of the set
// and the form size.
#pragma once

#include "mediaformats/RiffBytes.h"
#include "mediaformats/WuReadMeta.h"
#include "platform/kernel/types.h"
#include "shellui/CWuLinkProjectInfo.h"

// Chunk ids of the set.
constexpr FOURCC kProjectLinkVersionId = RiffId("splv");
inline constexpr GUID kProjectLinkGuidVersion = {
    0xE4E76B7B, 0x339F, 0x4820, {0x8A, 0xA9, 0x69, 0x15, 0xA7, 0x22, 0x02, 0x4E}};

// The version is above 0x01FFFFFF.
constexpr HRESULT WU_E_VERSION_TOO_HIGH = static_cast<HRESULT>(0x8004E01C);
// A metadata stream is 4 GB or larger, or was not read whole.
constexpr HRESULT WU_E_STREAM_UNREADABLE = static_cast<HRESULT>(0x8004E038);

// ---- Loading ---------------------------------------------------------------
// Loads the chunk set of an open RIFF file into `info` (reset first).
// "splv" must be there with 4 bytes (0x8004E00B) and at most 0x01FFFFFF
// (0x8004E01C); optional chunks too small for their field are skipped, and
// "srat" counts only with "srtd". A chunk running past the form or the
// file, or a failed read, gives 0x8004E008; a failed allocation
// E_OUTOFMEMORY. *loaded = 1 when any field bit ended up set. On failure
// the record is freed.
HRESULT ProjectLinkRiff_LoadInfo(HANDLE file, CWuLinkProjectInfo* info, int* loaded);
// The same over a RIFF64 file; the project path (at least 3 bytes) and the
// command line (at least 2) are required too (0x8004E00B), and a chunk of
// more than 0xFFFFFFFF bytes is refused (0x8004E008). *loaded = 1 on
// success.
HRESULT ProjectLinkRiff64_LoadInfo(HANDLE file, CWuLinkProjectInfo* info, int* loaded);
// Loads through a metadata reader's project-link kind into an initialised
// record: the kind's failure is returned, a reader without it answers its
// non-negative result; otherwise the result is the record's Validate, and
// *loaded = 1 when it passes. A failure leaves the fields read so far.
HRESULT ProjectLinkReadMeta_LoadInfo(IWuReadMeta* reader, CWuLinkProjectInfo* info, int* loaded);
// Reads the kind's fields into `info` (each stream into a block of its
// own, the renderer GUID only from a 16-byte stream; absent fields are
// skipped; an empty stream sets its field's bit with no bytes, so that the
// record does not validate) and the version (0x01000100 unless the
// version kind offers at least 4 bytes). Result: the first failure, else 1
// when no field was offered, else the record's Validate.
HRESULT ProjectLinkMeta_ReadFields(IWuReadMeta* reader, IWuReadMetaProjectLink* kind,
                                   CWuLinkProjectInfo* info);
// A stream's whole content in a new block (zero-filled movable global
// memory, locked; null for an empty stream) and its size. 0x8004E038 for
// a stream of 4 GB or more or a failed or short read.
HRESULT ReadStreamToGlobal(IStream* stream, void** block, DWORD* size);
// At most `capacity` bytes of a stream into `buffer`; *size receives the
// whole stream's size. 0x8004E038 as above.
HRESULT ReadStreamToBuffer(IStream* stream, void* buffer, DWORD capacity, ULONGLONG* size);

// ---- Writing ---------------------------------------------------------------
// Copies the project link a metadata reader offers into the RIFF file
// `path` or, with `side_file`, into its side file. 0 without a reader, a
// project-link kind or any field; an open failure gives the translated
// Win32 error. A target this call created is removed again when the write
// fails or writes nothing.
HRESULT ProjectLinkRiff_openAndWriteInfo(LPCWSTR path, IWuReadMeta* reader, BOOL side_file);
// The same into a RIFF64 file (no side-file form).
HRESULT ProjectLinkRiff64_openAndWriteInfo(LPCWSTR path, IWuReadMeta* reader);
// Writes a valid record (else 0x8004E05D) into an open form: every present
// field and then "splv" are appended at the form's end (after the padding a
// last chunk lacks, mediaformats/FormAppend.h) and the form grown, and only
// then is the old chunk set deleted, so that after a failed write the old
// link loads and the file is as it was. A record without any field only
// deletes the old set. A form whose chunks do not end exactly at its size
// (a chunk claiming more than the form, a size that ends before or inside
// the chunks, or bytes after the form) is refused (0x8004E00B) before
// anything is written.
HRESULT ProjectLinkRiff_WriteInfo(HANDLE file, const CWuLinkProjectInfo* info);
HRESULT ProjectLinkRiff64_WriteInfo(HANDLE file, const CWuLinkProjectInfo* info);
// Deletes every chunk of the set from an open form; *removed (may be null)
// receives the bytes removed.
HRESULT ProjectLinkRiff_DeleteInfo(HANDLE file, DWORD* removed);
HRESULT ProjectLinkRiff64_DeleteInfo(HANDLE file, ULONGLONG* removed);
// Puts one chunk into an open form: a chunk of that id with exactly `size`
// bytes of content is rewritten in place; otherwise the new chunk is
// appended at the form's end, as for WriteInfo, and only then one of
// another size retired (RIFF: renamed "JUNK"; RIFF64: its id zeroed).
// *added (may be null) receives the bytes appended (padding, header, data
// and its padding), by which the form size grows. A failed write gives
// 0x8004E009 with the file as it was.
HRESULT ProjectLinkRiff_PutChunk(HANDLE file, FOURCC id, const void* data, DWORD size,
                                 DWORD* added);
HRESULT ProjectLinkRiff64_PutChunk(HANDLE file, const GUID& id, const void* data, DWORD size,
                                   ULONGLONG* added);
// Writes one chunk at the file position: `id` into a RIFF file, or `guid`
// into a RIFF64 file with `riff64`. *written receives the bytes written
// (header, data and padding); a null data pointer writes nothing (0).
HRESULT ProjectLinkWriteChunkEither(HANDLE file, BOOL riff64, FOURCC id, const GUID& guid,
                                    const void* data, DWORD size, ULONGLONG* written);
