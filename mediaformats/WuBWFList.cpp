// The tagged field list.
#include "mediaformats/WuBWFList.h"

#include <cstring>
#include <initializer_list>

#include "foundation/WuString.h"
#include "mediaformats/WuGlobalBlock.h"

HRESULT WuBWFField_Free(WuBWFField* field) {
  if (!field) return S_OK;
  for (LPWSTR* text : {&field->pszFirst, &field->pszValue, &field->pszThird}) {
    wublock::Free(*text);
    *text = nullptr;
  }
  field->cchValue = 0;
  return S_OK;
}

HRESULT WuBWFField_Copy(WuBWFField* destination, const WuBWFField* source) {
  if (!destination || !source) return E_INVALIDARG;
  destination->dwId = source->dwId;
  if (!source->pszValue) return S_OK;
  WuBWFField copy = *source;
  copy.pszFirst = wublock::DupText(source->pszFirst);
  copy.pszValue = wublock::DupText(source->pszValue);
  copy.pszThird = wublock::DupText(source->pszThird);
  if ((source->pszFirst && !copy.pszFirst) || !copy.pszValue ||
      (source->pszThird && !copy.pszThird)) {
    WuBWFField_Free(&copy);
    return E_OUTOFMEMORY;
  }
  *destination = copy;
  return S_OK;
}

HRESULT WuBWFList_Free(WuBWFList* list) {
  if (!list) return S_OK;
  if (list->fields) {
    for (DWORD i = 0; i < list->count; ++i) WuBWFField_Free(&list->fields[i]);
    wublock::Free(list->fields);
  }
  list->fields = nullptr;
  list->count = 0;
  return S_OK;
}

HRESULT WuBWFList_GetItemIndex(const WuBWFList* list, DWORD id) {
  if (list && list->fields)
    for (DWORD i = 0; i < list->count; ++i)
      if (list->fields[i].dwId == id) return static_cast<HRESULT>(i);
  return RIFF_E_NOT_FOUND;
}

namespace {

// A deep copy of every field: the texts whatever the value text holds.
HRESULT CopyField(WuBWFField* destination, const WuBWFField* source) {
  if (source->pszValue) return WuBWFField_Copy(destination, source);
  // A field without a value text keeps its other members too.
  WuBWFField copy = *source;
  copy.pszFirst = wublock::DupText(source->pszFirst);
  copy.pszThird = wublock::DupText(source->pszThird);
  if ((source->pszFirst && !copy.pszFirst) || (source->pszThird && !copy.pszThird)) {
    WuBWFField_Free(&copy);
    return E_OUTOFMEMORY;
  }
  *destination = copy;
  return S_OK;
}

}  // namespace

HRESULT WuBWFList_Copy(WuBWFList* destination, const WuBWFList* source) {
  if (!destination || !source) return E_INVALIDARG;
  destination->count = 0;
  destination->fields = nullptr;
  if (source->count == 0 || !source->fields) return S_OK;
  destination->fields =
      static_cast<WuBWFField*>(wublock::Alloc(source->count * sizeof(WuBWFField)));
  if (!destination->fields) return E_OUTOFMEMORY;
  destination->count = source->count;
  for (DWORD i = 0; i < source->count; ++i) {
    if (FAILED(CopyField(&destination->fields[i], &source->fields[i]))) {
      WuBWFList_Free(destination);
      return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}

HRESULT WuBWFList_SetItem(WuBWFList* list, const WuBWFField* field) {
  if (!list || !field || field->dwId == 0) return E_INVALIDARG;
  HRESULT index = WuBWFList_GetItemIndex(list, field->dwId);
  if (index >= 0) {
    WuBWFField& existing = list->fields[index];
    if (field->pszValue) {
      LPWSTR copy = wublock::DupText(field->pszValue);
      if (!copy) return E_OUTOFMEMORY;
      wublock::Free(existing.pszValue);
      existing.pszValue = copy;
      existing.cchValue = static_cast<DWORD>(WuStrLenSafe(copy));
      return S_OK;
    }
    if (!existing.pszValue) return S_OK;
    WuBWFField_Free(&existing);
    if (list->count == 1) return WuBWFList_Free(list);
    std::memmove(&existing, &existing + 1, (list->count - index - 1) * sizeof(WuBWFField));
    list->fields[--list->count] = {};
    return S_OK;
  }
  WuBWFField copy{};
  if (FAILED(CopyField(&copy, field))) return E_OUTOFMEMORY;
  void* fields = wublock::Resize(list->fields, list->count * sizeof(WuBWFField),
                                 (list->count + 1) * sizeof(WuBWFField));
  if (!fields) {
    WuBWFField_Free(&copy);
    return E_OUTOFMEMORY;
  }
  list->fields = static_cast<WuBWFField*>(fields);
  list->fields[list->count++] = copy;
  return S_OK;
}

HRESULT WuBWFList_DeleteItem(WuBWFList* list, DWORD id) {
  // Deleting an id the list lacks leaves it as it is rather than adding an
  // empty field.
  if (id != 0 && WuBWFList_GetItemIndex(list, id) < 0) return list ? S_OK : E_INVALIDARG;
  WuBWFField empty{};
  empty.dwId = id;
  return WuBWFList_SetItem(list, &empty);
}
