// The tagged field list: records of three texts keyed by a non-zero id,
// kept and copied in memory.
//
// Memory: the field array and every text are locked movable global blocks
// (texts may be null). WuBWFList_Free releases them all.
#pragma once

#include "mediaformats/RiffStatus.h"
#include "platform/kernel/types.h"

struct WuBWFField {
  DWORD dwWords[4];  // copied as they stand
  DWORD cchValue;    // characters of the value text
  DWORD dwId;        // the key; 0 is not a valid key
  DWORD dwWord6;     // copied as it stands
  LPWSTR pszFirst;   // first text, or null
  LPWSTR pszValue;   // value text, or null
  DWORD dwWord9;     // copied as it stands
  LPWSTR pszThird;   // third text, or null
};

struct WuBWFList {
  DWORD count;          // fields in the array
  WuBWFField* fields;  // the array, or null when there is none
};

// Frees the three texts, nulls them and sets the value length to 0; null
// is ignored. Returns 0.
HRESULT WuBWFField_Free(WuBWFField* field);
// Copies the id into `destination` (whose texts are not freed). When the
// source has a value text, the words, the value length and duplicates of
// the non-null texts follow; E_OUTOFMEMORY frees what was duplicated.
HRESULT WuBWFField_Copy(WuBWFField* destination, const WuBWFField* source);
// Frees every field and the array: count 0. Returns 0.
HRESULT WuBWFList_Free(WuBWFList* list);
// Index of the field with `id`, or RIFF_E_NOT_FOUND.
HRESULT WuBWFList_GetItemIndex(const WuBWFList* list, DWORD id);
// Deep copy into an empty destination; E_OUTOFMEMORY leaves it freed.
HRESULT WuBWFList_Copy(WuBWFList* destination, const WuBWFList* source);
// Id 0: E_INVALIDARG. An existing field takes a copy of a given value text
// (and its length); a field without a value text removes the existing one
// unless that had none either (removing the last frees the array). A new
// id is appended as a deep copy. E_OUTOFMEMORY on a failed allocation.
HRESULT WuBWFList_SetItem(WuBWFList* list, const WuBWFField* field);
// WuBWFList_SetItem with an empty field bearing `id`; an id the list
// lacks leaves it unchanged.
HRESULT WuBWFList_DeleteItem(WuBWFList* list, DWORD id);
