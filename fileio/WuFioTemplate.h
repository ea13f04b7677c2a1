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
