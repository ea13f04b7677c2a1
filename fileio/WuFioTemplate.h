// Render templates (tagWUTEMPLATExV2, fileio/WuFileIO.h): allocation, the
// name and notes, release, copies and replacement in a slot, the checksum
// and the content GUID, the settings span, and the project default.
//
// Every function that reads a record checks its layout first
// (tagWUTEMPLATExV2::HasValidLayout): a record that fails reads with empty
// texts and no private data, and functions that return a status give
// WU_E_BAD_DATA for it.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/kernel/types.h"

// ---- Allocation, texts and release ---------------------------------------------------------
// A new zero-filled record (runtime heap) for `name` and `notes` (NULL counts
// as "") with `privateSize` bytes of private data: text length = name length
// + notes length + 2, total size = 536 + pad4(privateSize) + 2 x text length.
// With private data and a source record, the source's class id goes to
// offset 24. NULL when out of memory or for a negative size.
tagWUTEMPLATExV2* WuFio_NewTemplate(LPCWSTR name, LPCWSTR notes, LONG privateSize,
                                    const tagWUTEMPLATExV2* source = nullptr);
// Zeroes the first 540 bytes of a caller's record and sets its sizes.
void WuFio_InitTemplateInPlace(tagWUTEMPLATExV2* record, DWORD textLength, LONG privateSize);
// The notes: the text after the name's terminator; "" when the record has
// no text, when the name fills the text area, or when the layout is bad.
LPCWSTR WuFio_GetTemplateNotesPtr(const tagWUTEMPLATExV2* record);
// Writes the name (at most text length - 1 units, terminated) and the notes
// after it in the remaining room, the last unit always a terminator. NULL
// notes, or notes inside the record's own text area, keep the current notes.
// NULL name counts as "". WU_E_BAD_DATA for a bad layout, E_POINTER for no
// record.
HRESULT WuFio_SetTemplateNameAndNotes(tagWUTEMPLATExV2* record, LPCWSTR name, LPCWSTR notes);
// Frees a record (NULL is ignored). The manager and class forms are for
// callers that hold one; the record is freed the same way.
void WuFio_ReleaseTemplate(tagWUTEMPLATExV2* record);
void WuFio_ReleaseTemplate(IWuFileIOMgrForApp* manager, tagWUTEMPLATExV2* record);
void WuFio_ReleaseTemplate(IWuRenderFileClass* cls, tagWUTEMPLATExV2* record);
// Frees every record of a list of record pointers from the last to the
// first, removing each, then destroys the list. NULL is ignored. Returns 0.
HRESULT WuFio_ReleaseTemplateList(tWULIST* list);
HRESULT WuFio_ReleaseTemplateList(IWuFileIOMgrForApp* manager, LONG key, tWULIST* list);
HRESULT WuFio_ReleaseTemplateList(IWuFileIOMgrForApp* manager, IWuRenderFileClass* cls,
                                  tWULIST* list);

// ---- Copies and replacement ----------------------------------------------------------------
// *out = a new copy of exactly the record's total size. E_POINTER, E_OUTOFMEMORY,
// WU_E_BAD_DATA for a bad layout; *out is NULL on failure.
HRESULT WuFio_CopyTemplate(tagWUTEMPLATExV2** out, const tagWUTEMPLATExV2* record);
// A new copy, or NULL (NULL or bad input, out of memory).
tagWUTEMPLATExV2* WuFio_DuplicateTemplate(const tagWUTEMPLATExV2* record);

// Flags of WuFio_SetTemplate.
constexpr DWORD WUFIO_SETTEMPLATE_COMPARE = 0x10000;  // the result tells whether old equals new
constexpr DWORD WUFIO_SETTEMPLATE_COPY = 0x20000;     // copy the new record instead of taking it
// Replaces the record in *slot by `record` (NULL empties the slot). With
// COMPARE the result is TRUE when the slot's record and `record` are equal
// (both NULL, the same block, or the same size and bytes), else FALSE;
// without it 0. With COPY the new record is copied: into the slot's own
// block when that is at least as large, else into a new block; without it
// the slot takes `record` itself. The old record is freed unless it is the
// same block. E_OUTOFMEMORY and WU_E_BAD_DATA change nothing.
HRESULT WuFio_SetTemplate(tagWUTEMPLATExV2** slot, tagWUTEMPLATExV2* record, DWORD flags);

// ---- Identifiers and checksum --------------------------------------------------------------
// The zlib CRC-32 of the settings span, the private data when present and,
// with `includeTexts`, the name's and then the notes' code units without
// terminators. A record with a bad layout counts as having no private data
// and no texts.
DWORD WuFio_GetTemplateDataCRC32(const tagWUTEMPLATExV2* record, BOOL includeTexts);
// The template GUID: MD5 of the fixed text "Kavrel1993 Q4 Pattern Blobs"
// with its NUL, the settings span, the private data and, with
// `includeTexts`, the non-empty name and notes (without terminators); the
// digest's bytes in order, stamped as a version-3 GUID. E_POINTER,
// WU_E_BAD_DATA for a bad layout (the GUID is then untouched).
HRESULT WuFio_InitGUIDFromTemplateMD5DataHash(GUID* out, const tagWUTEMPLATExV2* record,
                                              BOOL includeTexts);
// The GUID of a template lifted from the older generation: Data1 the
// checksum without texts, Data2 0, Data3 0x1010, Data4 80 00 00 11 00 00 00 00.
GUID WuFio_MakeUpliftedV1TemplateGuid(const tagWUTEMPLATExV2* record);
// Bytes 6..15 of the GUID are those of a lifted template's GUID.
bool WuFio_IsUpliftedV1TemplateGuid(const GUID& guid);
// TRUE when the version is exactly 0x02000000 and the GUID has the lifted form.
BOOL WuFio_IsUpliftedV1Template(const tagWUTEMPLATExV2* record);
// *out = in with the version nibble set to 3 (or 5) and the variant bits
// to binary 10. Returns out.
GUID* WuGuid_StampVersion3(GUID* out, const GUID* in);
GUID* WuGuid_StampVersion5(GUID* out, const GUID* in);

// ---- Settings and notes --------------------------------------------------------------------
// The settings span: offset 56, 472 bytes (*length may be NULL).
const BYTE* WuFio_GetTemplateDataSpan(const tagWUTEMPLATExV2* record, DWORD* length);
BYTE* WuFio_GetTemplateDataSpan(tagWUTEMPLATExV2* record, DWORD* length);
// The notes without their generated description: leading white space, then
// every line beginning "Audio:", "Video:" or "Pixel Aspect Ratio:" with the
// white space after it, are skipped. NULL gives "".
LPCWSTR WuFio_SkipDescriptionInTemplateNotesText(LPCWSTR notes);
// Asks the renderer class to make the project default from `record`
// (conversion mode 2) and returns its status and record.
HRESULT WuFio_MakeProjectDefaultTemplate(IWuRenderFileClass* cls, const tagWUTEMPLATExV2* record,
                                         tagWUTEMPLATExV2** out);
