// Lists of render templates as streams: the list stream of a tWULIST of
// records, reading one back into a list, and finding a record by name.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/kernel/types.h"

// A new template stream over `list` (reference count 1). The list must
// stay alive and unchanged until the stream's last Release. E_POINTER
// without `out`, E_OUTOFMEMORY.
HRESULT WuFio_MakeTemplateListIStream(tWULIST* list, IStream** out);
// Appends the records of a list stream to `list` (which takes them),
// seeking the stream to its start before and after. E_POINTER for a null
// list or stream; E_FAIL for a short header or size word; 0x8004E00B for a
// record size of 535 or less or above 0x02000000, or a short record;
// E_OUTOFMEMORY. Records appended before a failure stay in the list.
HRESULT WuFio_AddTemplatesToListFromIStream(tWULIST* list, IStream* stream);
// The first record whose name equals `name` ignoring case, and its index
// (-2 when none); the record stays in the list.
tagWUTEMPLATExV2* WuFio_GetTemplateByNameNoCopy(tWULIST* list, LPCWSTR name, LONG* index);
// The same as a new copy (the caller frees it), NULL when none.
tagWUTEMPLATExV2* WuFio_GetTemplateByName(tWULIST* list, LPCWSTR name);
