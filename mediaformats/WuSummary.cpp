// The INFO summary in memory.
#include "mediaformats/WuSummary.h"

#include <cstring>

#include "mediaformats/WuGlobalBlock.h"
#include "platform/kernel/locale.h"

HRESULT WuSummary_Free(WuSummary* summary) {
  if (!summary || !summary->items) return S_OK;
  for (DWORD i = 0; i < summary->count; ++i) wublock::Free(summary->items[i].text);
  wublock::Free(summary->items);
  summary->items = nullptr;
  summary->count = 0;
  return S_OK;
}

HRESULT WuSummary_GetItemIndex(const WuSummary* summary, DWORD id) {
  if (summary && summary->items)
    for (DWORD i = 0; i < summary->count; ++i)
      if (summary->items[i].id == id) return static_cast<HRESULT>(i);
  return RIFF_E_NOT_FOUND;
}

LPWSTR WuSummary_GetItemText(const WuSummary* summary, DWORD id) {
  HRESULT index = WuSummary_GetItemIndex(summary, id);
  return index < 0 ? nullptr : summary->items[index].text;
}

namespace {

// Grows the array to `count` items (the new ones zeroed).
bool Grow(WuSummary* summary, DWORD count) {
  void* items = wublock::Resize(summary->items, summary->count * sizeof(WuSummaryItem),
                                count * sizeof(WuSummaryItem));
  if (!items) return false;
  summary->items = static_cast<WuSummaryItem*>(items);
  return true;
}

// Appends an item owning `text` (which may be null).
bool Append(WuSummary* summary, DWORD id, LPWSTR text) {
  if (!Grow(summary, summary->count + 1)) return false;
  summary->items[summary->count++] = {id, text};
  return true;
}

}  // namespace

HRESULT WuSummary_SetItem(WuSummary* summary, DWORD id, LPCWSTR text) {
  if (!summary || id == 0) return E_INVALIDARG;
  HRESULT index = WuSummary_GetItemIndex(summary, id);
  if (index >= 0) {
    WuSummaryItem& item = summary->items[index];
    if (text) {
      LPWSTR copy = wublock::DupText(text);
      if (!copy) return E_OUTOFMEMORY;
      wublock::Free(item.text);
      item.text = copy;
      return S_OK;
    }
    if (!item.text) return S_OK;
    wublock::Free(item.text);
    if (summary->count == 1) {
      wublock::Free(summary->items);
      summary->items = nullptr;
      summary->count = 0;
      return S_OK;
    }
    std::memmove(&item, &item + 1, (summary->count - index - 1) * sizeof(WuSummaryItem));
    summary->items[--summary->count] = {};
    return S_OK;
  }
  LPWSTR copy = wublock::DupText(text);
  if (text && !copy) return E_OUTOFMEMORY;
  if (!Append(summary, id, copy)) {
    wublock::Free(copy);
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT WuSummary_Copy(WuSummary* destination, const WuSummary* source) {
  if (!destination || !source) return E_INVALIDARG;
  destination->count = 0;
  destination->items = nullptr;
  if (source->count == 0 || !source->items) return S_OK;
  destination->items =
      static_cast<WuSummaryItem*>(wublock::Alloc(source->count * sizeof(WuSummaryItem)));
  if (!destination->items) return E_OUTOFMEMORY;
  destination->count = source->count;
  for (DWORD i = 0; i < source->count; ++i) {
    destination->items[i].id = source->items[i].id;
    destination->items[i].text = wublock::DupText(source->items[i].text);
    if (source->items[i].text && !destination->items[i].text) {
      WuSummary_Free(destination);
      return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}

int WuSummary_Compare(const WuSummary* a, const WuSummary* b) {
  if (!a || !b || a->count != b->count) return 0;
  for (DWORD i = 0; i < a->count; ++i) {
    LPCWSTR x = a->items[i].text;
    LPCWSTR y = b->items[i].text;
    if (!x && !y) continue;
    if (!x || !y || lstrcmpW(x, y) != 0) return 0;
  }
  return 1;
}

namespace {

HRESULT MergeMove(WuSummary* destination, WuSummary* source, BOOL replace) {
  if (destination->count == 0) {
    WuSummary_Free(destination);
    *destination = *source;
    *source = {};
    return S_OK;
  }
  DWORD added = 0;
  for (DWORD i = 0; i < source->count; ++i) {
    WuSummaryItem& item = source->items[i];
    HRESULT index = WuSummary_GetItemIndex(destination, item.id);
    if (index < 0) {
      ++added;
    } else if (replace) {
      wublock::Free(destination->items[index].text);
      destination->items[index].text = item.text;
      // Emptied: the text now belongs to the destination and the item is
      // not appended below.
      item = {};
    }
  }
  if (added > 0) {
    if (!Grow(destination, destination->count + added)) {
      WuSummary_Free(source);
      return E_OUTOFMEMORY;
    }
    DWORD existing = destination->count;
    for (DWORD i = 0; i < source->count; ++i) {
      WuSummaryItem& item = source->items[i];
      if (item.id == 0 && !item.text) continue;
      bool present = false;
      for (DWORD j = 0; j < existing && !present; ++j) present = destination->items[j].id == item.id;
      if (present) continue;
      destination->items[destination->count++] = item;
      item = {};
    }
  }
  WuSummary_Free(source);
  return S_OK;
}

}  // namespace

HRESULT WuSummary_Merge(WuSummary* destination, WuSummary* source, BOOL replace, BOOL move) {
  if (!destination || !source) return E_INVALIDARG;
  if (source->count == 0 || !source->items) return S_OK;
  if (move) return MergeMove(destination, source, replace);
  for (DWORD i = 0; i < source->count; ++i) {
    const WuSummaryItem& item = source->items[i];
    HRESULT hr = S_OK;
    if (WuSummary_GetItemIndex(destination, item.id) < 0) {
      LPWSTR copy = wublock::DupText(item.text);
      if ((item.text && !copy) || !Append(destination, item.id, copy)) {
        wublock::Free(copy);
        hr = E_OUTOFMEMORY;
      }
    } else if (replace) {
      hr = WuSummary_SetItem(destination, item.id, item.text);
    }
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}
