// Arrays of texts handed between the file-I/O manager, its hosts and the
// plug-ins: BSTR arrays filled from string references, and their copies
// on the C runtime heap (freed with free()).
#pragma once

#include "fileio/WuFileIO.h"

typedef struct WULANG* HWULANG;  // language handle (foundation/WuLang.h)

// The string reference of the first entry of `map` (`count` entries) with
// info-text id `id`; NULL when none has it or the map is NULL.
LPCWSTR WuFio_MapInfoIdToStringId(DWORD id, const FILECLASS_INFO_STRING_MAP* map, LONG count);

// Frees each non-NULL entry and sets every entry to NULL. Returns 0.
HRESULT WuFio_FreeBstrArray(BSTR* array, LONG count);

// out[i] = a BSTR of the text of refs[i] (a string resource id below
// 0x10000, a multilingual row or plain text, resolved in `lang`); a NULL
// reference gives a NULL entry. Every entry is attempted: 0, or
// E_OUTOFMEMORY when any allocation failed (that entry is NULL).
HRESULT WuFio_FillBstrArrayFromStringResources(HWULANG lang, const LPCWSTR* refs, LONG count,
                                               BSTR* out);
// The same for info-text ids looked up in `map` (an id without an entry
// gives a NULL entry). For ids 2 and 5 a non-empty `suffix` follows the
// text directly.
HRESULT WuFio_FillBstrArrayFromStringResourceMap(HWULANG lang, const DWORD* ids, LONG count,
                                                 BSTR* out, const FILECLASS_INFO_STRING_MAP* map,
                                                 LONG mapCount, LPCWSTR suffix);

// Sets the `count` destination entries to NULL, then gives each a
// zero-terminated runtime-heap copy of its source text (a NULL source gives
// an empty text). The first failed allocation returns E_OUTOFMEMORY at once,
// the copies made before it kept; else 0. `unused` is not read.
HRESULT WuFio_CopyBstrArray(const BSTR* source, LONG count, LPWSTR* dest, DWORD unused);
// WuFio_CopyBstrArray, then WuFio_FreeBstrArray on the source whatever the
// copy gave; returns the copy's result.
HRESULT WuFio_CopyAndFreeBstrArray(BSTR* source, LONG count, LPWSTR* dest, DWORD unused);

// A zero-terminated runtime-heap copy of `text` (an empty text for NULL);
// NULL when memory runs out.
LPWSTR WuFio_AllocStringCopy(LPCWSTR text);
