// Lists of a renderer class's templates: all of them, or those a caller's
// filter keeps, optionally with a default template.
#pragma once

#include "fileio/WuFileIO.h"
#include "foundation/WuList.h"

// Whether a template goes into a filtered list.
typedef BOOL (*WUFIO_TEMPLATE_FILTER)(const tagWUTEMPLATExV2* record, LPVOID data);

// *out = a new owning list of copies of the class's merged templates
// (presets, folders) through a private cache over the class's global cache.
// E_POINTER, E_OUTOFMEMORY, or the cache's failure (*out NULL).
HRESULT WuFio_GetTemplateList(IWuRenderFileClass* cls, tWULIST** out);
// The same for the manager's renderer class of `key`.
HRESULT WuFio_GetTemplateList(IWuFileIOMgrForApp* manager, LONG key, tWULIST** out);
// *out = a new list (options `listOptions`) of the merged templates for
// which `filter` (NULL keeps all) returns TRUE; with `withDefault` first a
// "Default Template" (GUID all 0xFF) with the parts the class names. With
// WULIST_OWNITEMS the list holds the templates' bytes, else copies it owns
// through WuFio_ReleaseTemplateList. 1 (and NULL) when no template is
// listed, E_POINTER for a null out, else the first failure.
HRESULT WuFio_GetFilteredTemplateList(IWuFileIOManager* manager, IWuRenderFileClass* cls,
                                      tWULIST** out, DWORD listOptions,
                                      WUFIO_TEMPLATE_FILTER filter, LPVOID data,
                                      BOOL withDefault);
