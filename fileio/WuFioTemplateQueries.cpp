// Lists of a renderer class's templates.
#include "fileio/WuFioTemplateQueries.h"

#include <cstring>

#include "fileio/CWuTemplateCache.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateMake.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"

HRESULT WuFio_GetTemplateList(IWuRenderFileClass* cls, tWULIST** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!cls) return E_POINTER;
  CWuGlobalTemplateCache* global = nullptr;
  HRESULT hr = WuFio_GetGlobalTemplateCacheFromClass(cls, &global);
  if (FAILED(hr)) return hr;
  CWuPrivateTemplateCache* cache = CWuPrivateTemplateCache::Create(global);
  if (!cache) {
    WuFio_ReleaseGlobalTemplateCache(global);
    return E_OUTOFMEMORY;
  }
  hr = cache->Rebuild(0);
  if (SUCCEEDED(hr)) hr = cache->CopyTemplates(out, 0, -1);
  cache->Close();
  WuFio_ReleaseGlobalTemplateCache(global);
  return hr;
}

HRESULT WuFio_GetTemplateList(IWuFileIOMgrForApp* manager, LONG key, tWULIST** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!manager) return E_POINTER;
  IWuRenderFileClass* cls = nullptr;
  HRESULT hr = manager->GetRendererClassByKey(&cls, key);
  if (FAILED(hr)) return hr;
  if (!cls) return E_FAIL;
  hr = WuFio_GetTemplateList(cls, out);
  cls->Release();
  return hr;
}

namespace {

// Adds one template to the caller's list: its bytes as an owned item, or a
// copy the list holds.
HRESULT AddToList(tWULIST* list, const tagWUTEMPLATExV2* record) {
  if (WuList_GetCreateOptions(list) & WULIST_OWNITEMS) {
    void* item = nullptr;
    HRESULT hr = WuList_AllocItem(list, record->totalSize, &item);
    if (FAILED(hr)) return hr;
    std::memcpy(item, record, record->totalSize);
    hr = WuList_InsertList(list, -1, nullptr, -1);
    if (FAILED(hr)) WuList_DeleteList(list, -1, -1, FALSE);
    return hr;
  }
  tagWUTEMPLATExV2* copy = nullptr;
  HRESULT hr = WuFio_CopyTemplate(&copy, record);
  if (FAILED(hr)) return hr;
  hr = WuList_InsertItem(list, -1, copy);
  if (FAILED(hr)) WuFio_ReleaseTemplate(copy);
  return hr;
}

}  // namespace

HRESULT WuFio_GetFilteredTemplateList(IWuFileIOManager* manager, IWuRenderFileClass* cls,
                                      tWULIST** out, DWORD listOptions,
                                      WUFIO_TEMPLATE_FILTER filter, LPVOID data,
                                      BOOL withDefault) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!cls) return E_POINTER;
  CWuPrivateTemplateCache* cache = nullptr;
  HRESULT hr = manager ? WuFio_CreatePrivateTemplateCache(manager, cls, &cache)
                       : WuFio_CreatePrivateTemplateCache(cls, &cache);
  if (FAILED(hr)) return hr;
  if (withDefault) {
    // Built on the stack with room for its name; the cache keeps a copy.
    LPCWSTR name = WuLangText(WuLangRow_FioTemplateDefaultName);
    size_t nameUnits = 0;
    while (name && name[nameUnits] && nameUnits < 259) ++nameUnits;
    const DWORD textLength = static_cast<DWORD>(nameUnits + 2);  // name, NUL, NUL
    alignas(8) BYTE block[WUTEMPLATE_FIXED_SIZE + 2 * 261] = {};
    auto* record = reinterpret_cast<tagWUTEMPLATExV2*>(block);
    WuFio_InitTemplateInPlace(record, textLength, 0);
    WuFio_SetTemplateNameAndNotes(record, name, u"");
    record->version = WUTEMPLATE_VERSION_V2;
    record->id = 0;
    std::memset(&record->guid, 0xFF, sizeof record->guid);
    DWORD mask = 0;
    if (FAILED(cls->GetPartMask(&mask))) mask = 0;
    if (mask & WUFIO_TEMPLATE_PART_AUDIO) {
      record->audio.blockSize = WUTEMPLATE_BLOCK_SIZE;
      record->audio.streamCount = 1;
    }
    if (mask & WUFIO_TEMPLATE_PART_VIDEO) {
      record->video.blockSize = WUTEMPLATE_BLOCK_SIZE;
      record->video.streamCount = 1;
    }
    hr = cache->AddPrivateTemplate(record, true);
  }
  if (SUCCEEDED(hr)) hr = cache->Rebuild(withDefault ? 1 : 0);
  tWULIST* merged = SUCCEEDED(hr) ? cache->GetTemplateList() : nullptr;
  if (SUCCEEDED(hr) && (!merged || merged->count == 0)) hr = 1;
  tWULIST* list = nullptr;
  if (hr == S_OK) hr = WuList_CreateExZ(&list, sizeof(void*), merged->count, 16, listOptions);
  if (hr == S_OK) {
    for (LONG i = 0; i < merged->count && hr == S_OK; ++i) {
      const auto* record = static_cast<const tagWUTEMPLATExV2*>(WuList_PointerAt(merged, i));
      if (!record || (filter && !filter(record, data))) continue;
      hr = AddToList(list, record);
    }
    if (FAILED(hr)) {
      WuFio_ReleaseTemplateList(list);
      list = nullptr;
    }
  }
  *out = list;
  cache->Close();
  return hr;
}
