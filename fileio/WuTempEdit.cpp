#include "fileio/WuTempEdit.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "fileio/CFileIOTemplateHolder.h"
#include "fileio/CWuTempEditSite.h"
#include "fileio/CWuTemplateCache.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateLayout.h"
#include "fileio/WuTempEditState.h"
#include "foundation/WuList.h"
#include "foundation/WuString.h"
#include "platform/kernel/locale.h"

namespace {

constexpr WCHAR kMark[] = u" (*)";
constexpr int kMarkUnits = 4;

// Class flags of the page count.
constexpr DWORD kClassExtraPagesPrepare = 0x01;  // prepare the pages when extra pages exist
constexpr DWORD kClassExtraPagesCount = 0x04;    // extra pages are pages
constexpr DWORD kClassFirstPage = 0x10;          // bits 17..20 name the page that opens first

// Asks the class for its pages: 1 for E_NOTIMPL or no page at all, the
// failure as it came, 0x8004E086 when only uncounted extra pages exist.
HRESULT CountPages(WuTempEditState* state, LONG* count, DWORD* classFlags) {
  LONG pages = 0, extra = 0;
  DWORD flags = 0;
  HRESULT hr = state->cls->GetPageCount(&pages, &extra, &flags);
  if (hr == E_NOTIMPL) return S_FALSE;
  if (FAILED(hr)) return hr;
  if ((flags & kClassExtraPagesPrepare) && extra > 0) {
    HRESULT prepared = state->cls->PreparePages(state->owner);
    if (prepared == S_OK || prepared == E_NOTIMPL) {
      pages = extra = 0;
      flags = 0;
      hr = state->cls->GetPageCount(&pages, &extra, &flags);
      if (hr == E_NOTIMPL) return S_FALSE;
      if (FAILED(hr)) return hr;
    }
  }
  if (pages < 0) pages = 0;
  if (extra < 0) extra = 0;
  if (pages == 0 && extra == 0) return S_FALSE;
  if (flags & kClassExtraPagesCount) pages += extra;
  if (pages == 0) return WUTE_E_NO_PAGES;
  *count = pages;
  *classFlags = flags;
  return S_OK;
}

// Numbers the pages: the application page first or last, then the
// plug-in's pages; the plug-in page the class names opens first.
HRESULT BuildPages(WuTempEditState* state, LONG pluginPages, DWORD classFlags) {
  const bool app = (state->flags & FIOEDIT_APPPAGE) != 0;
  const LONG total = pluginPages + (app ? 1 : 0);
  state->pages = static_cast<WuTempEditPage*>(std::calloc(total, sizeof(WuTempEditPage)));
  if (!state->pages) return E_OUTOFMEMORY;
  state->pageCount = total;
  LONG at = 0;
  const bool appFirst = (state->flags & FIOEDIT_APPPAGEFIRST) != 0;
  if (app && appFirst) {
    state->pages[at].pluginNumber = -1;
    state->pages[at++].flags = WUTE_PAGE_APP;
  }
  const LONG first =
      (classFlags & kClassFirstPage) ? static_cast<LONG>((classFlags >> 17) & 0xF) : -1;
  for (LONG i = 0; i < pluginPages; ++i) {
    state->pages[at].pluginNumber = i;
    state->pages[at++].flags = i == first ? WUTE_PAGE_FIRST : 0;
  }
  if (app && !appFirst) {
    state->pages[at].pluginNumber = -1;
    state->pages[at++].flags = WUTE_PAGE_APP;
  }
  for (LONG i = 0; i < total; ++i) state->pages[i].number = i;
  state->activePage = -1;
  return S_OK;
}

// Whether the cache lists or holds `record` itself.
bool CacheHolds(const WuTempEditState* state, const tagWUTEMPLATExV2* record) {
  if (!record || !state->cache) return false;
  if (state->cache->LocateTemplate(record) >= 0) return true;
  if (record == state->cache->CurrentTemplate()) return true;
  return state->cache->Global() && state->cache->Global()->FindRecord(record, nullptr, nullptr);
}

// The template the caller gets on OK: the editor's own record, or a copy of
// a record the cache holds (the private group's too, before it goes), or
// the caller's own starting template as it was. FIOEDIT_OWNED tells which.
HRESULT HandOver(WuTempEditState* state) {
  _FIOEDITTEMPLATE* args = state->args;
  args->flags &= ~(FIOEDIT_OWNED | FIOEDIT_SAVED | FIOEDIT_MODIFIED);
  if (state->state & WUTE_SAVED) args->flags |= FIOEDIT_SAVED;
  if (state->state & WUTE_MODIFIED) args->flags |= FIOEDIT_MODIFIED;
  args->index = state->index;
  tagWUTEMPLATExV2* current = state->current;
  if (!current) {
    args->slot = nullptr;
    return S_OK;
  }
  if (state->state & WUTE_OWNED) {
    args->slot = current;
    args->flags |= FIOEDIT_OWNED;
    state->current = nullptr;
    state->state &= ~WUTE_OWNED;
    return S_OK;
  }
  if (CacheHolds(state, current)) {
    tagWUTEMPLATExV2* copy = nullptr;
    HRESULT hr = WuFio_CopyTemplate(&copy, current);
    if (FAILED(hr)) {
      args->slot = nullptr;
      return hr;
    }
    args->slot = copy;
    args->flags |= FIOEDIT_OWNED;
    return S_OK;
  }
  args->slot = current;  // the caller's own starting template
  return S_OK;
}

}  // namespace

// ---- The modified mark -------------------------------------------------------------------

void WuTempEdit_AddModifiedMark(LPWSTR name, int size) {
  if (!name || size <= kMarkUnits) return;
  int length = WuStrLenSafe(name);
  if (length >= size) length = size - 1;
  if (length >= kMarkUnits && std::memcmp(name + length - kMarkUnits, kMark, kMarkUnits * 2) == 0) {
    name[length] = 0;
    return;
  }
  if (length > size - 1 - kMarkUnits) length = size - 1 - kMarkUnits;
  std::memcpy(name + length, kMark, sizeof(kMark));
}

void WuTempEdit_StripModifiedMark(LPWSTR name) {
  if (!name) return;
  int length = WuStrLenSafe(name);
  if (length > kMarkUnits && std::memcmp(name + length - kMarkUnits, kMark, kMarkUnits * 2) == 0)
    name[length - kMarkUnits] = 0;
}

// ---- The current template ---------------------------------------------------------------

void WuTempEdit_ReplaceCurrent(WuTempEditState* state, tagWUTEMPLATExV2* record, DWORD bits) {
  tagWUTEMPLATExV2* old = state->current;
  const bool owned = (state->state & WUTE_OWNED) != 0;
  state->current = record;
  state->state = (state->state & ~(WUTE_MODIFIED | WUTE_OWNED | WUTE_SAVED)) | bits;
  if (owned && old && old != record) WuFio_ReleaseTemplate(old);
}

HRESULT WuTempEdit_SetCurrentFromPage(WuTempEditState* state, const tagWUTEMPLATExV2* record) {
  if (!WuTpl_LayoutOk(record) || record->totalSize > WUTPL_MAX_BYTES) return WUTE_E_BAD_TEMPLATE;
  const tagWUTEMPLATExV2* current = state->current;
  if (current && current->totalSize == record->totalSize &&
      std::memcmp(current, record, record->totalSize) == 0)
    return S_FALSE;
  tagWUTEMPLATExV2* copy = nullptr;
  HRESULT hr = WuFio_CopyTemplate(&copy, record);
  if (FAILED(hr)) return hr;
  WuTempEdit_ReplaceCurrent(state, copy, WUTE_OWNED | WUTE_MODIFIED);
  if (state->dialog) WuTempEdit_ShowCurrent(state, false);
  return S_OK;
}

// ---- Entries -----------------------------------------------------------------------------

HRESULT WuFioMgr_EditTemplate(IWuFileIOManager* manager, _FIOEDITTEMPLATE* args) {
  if (!args) return E_POINTER;
  if (!args->cls) return S_FALSE;
  LONG pages = 0, extra = 0;
  DWORD flags = 0;
  HRESULT hr = args->cls->GetPageCount(&pages, &extra, &flags);
  if (FAILED(hr)) return hr;
  const LONG counted = (flags & kClassExtraPagesPrepare) && extra > 0 ? extra : 0;
  const LONG total = (pages > 0 ? pages : 0) + counted;
  if (total <= 0) return hr;
  return WuTempEdit_Edit(args, manager);
}

HRESULT WuTempEdit_Edit(_FIOEDITTEMPLATE* args, IWuFileIOManager* manager) {
  if (!args || !manager) return E_POINTER;
  if (args->size != sizeof(_FIOEDITTEMPLATE)) return E_INVALIDARG;
  if (!args->cls) return E_POINTER;
  if (args->flags & FIOEDIT_OWNED) {
    if (!args->slot || args->slot == args->projectTemplate) return E_INVALIDARG;
  }
  if (args->slot && !WuTpl_LayoutOk(args->slot)) return E_INVALIDARG;

  WuTempEditState* state = static_cast<WuTempEditState*>(std::calloc(1, sizeof(WuTempEditState)));
  if (!state) return E_OUTOFMEMORY;
  state->args = args;
  state->owner = args->owner;
  state->flags = args->flags & ~FIOEDIT_OWNED;
  state->cls = args->cls;
  state->manager = manager;
  state->entryIndex = args->index;
  state->index = -1;
  state->notesLimit = 4096;
  state->activePage = -1;

  LONG pluginPages = 0;
  DWORD classFlags = 0;
  HRESULT hr = CountPages(state, &pluginPages, &classFlags);
  if (hr != S_OK) {
    std::free(state);
    return hr;
  }
  // The starting template passes to the editor with FIOEDIT_OWNED.
  state->current = args->slot;
  if (args->flags & FIOEDIT_OWNED) {
    state->state |= WUTE_OWNED;
    args->slot = nullptr;
    args->flags &= ~FIOEDIT_OWNED;
  }

  hr = BuildPages(state, pluginPages, classFlags);
  if (SUCCEEDED(hr)) {
    state->holder = CFileIOTemplateHolder::Create(state);
    state->site = CWuTempEditSite::Create();
    if (!state->holder || !state->site) hr = E_OUTOFMEMORY;
  }
  if (SUCCEEDED(hr)) hr = WuFio_CreatePrivateTemplateCache(manager, args->cls, &state->cache);
  if (SUCCEEDED(hr) && args->privateTemplates) {
    tWULIST* list = args->privateTemplates;
    for (LONG i = 0; i < list->count && SUCCEEDED(hr); ++i) {
      auto* record = static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(list, i));
      if (WuTpl_LayoutOk(record)) hr = state->cache->AddPrivateTemplate(record, true);
    }
  }
  if (SUCCEEDED(hr)) {
    // A starting template of a name listed nowhere is listed first.
    if (state->current) {
      LONG where = 0, index = -1;
      if (!state->cache->FindTemplateByName(WuTpl_Name(state->current), false, 0,
                                            WUTPL_KIND_BOTH, &where, &index, nullptr, 0))
        state->cache->SetCurrentTemplate(state->current, WUFIO_SETTEMPLATE_COPY);
    }
    hr = state->cache->Rebuild(1);
  }

  bool ran = false;
  if (SUCCEEDED(hr)) {
    ran = true;
    INT_PTR result = WuTempEdit_RunDialog(state);
    if (result == IDOK) {
      hr = HandOver(state);
    } else if (result == IDCANCEL) {
      args->index = state->entryIndex;
      args->slot = nullptr;
      hr = S_FALSE;
    } else {
      hr = WUTE_E_DIALOG;
    }
  }
  // When nothing ran, a template the caller handed over goes back to it.
  if (!ran && (state->state & WUTE_OWNED) && state->current) {
    args->slot = state->current;
    args->flags |= FIOEDIT_OWNED;
    state->current = nullptr;
    state->state &= ~WUTE_OWNED;
  }
  // Pages that were never shown are closed here.
  WuTempEdit_ClosePages(state);
  std::free(state->pages);
  if (state->state & WUTE_OWNED) WuFio_ReleaseTemplate(state->current);
  state->current = nullptr;
  if (state->holder) {
    state->holder->Detach();
    state->holder->Release();
  }
  if (state->site) CWuTempEditSite::Destroy(state->site);
  if (state->cache) state->cache->Close();
  std::free(state);
  return hr;
}
