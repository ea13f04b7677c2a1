#include "fileio/WuFioBstrArray.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/WuLang.h"
#include "foundation/WuString.h"

namespace {

// Info-text ids whose text takes the caller's suffix.
bool TakesSuffix(DWORD id) { return id == 2 || id == 5; }

// A zero-filled runtime-heap block for `length` characters and a
// terminator, holding a copy of `text`'s first `length` characters.
LPWSTR CopyOf(const WCHAR* text, size_t length) {
  auto* copy = static_cast<LPWSTR>(std::calloc(length + 1, sizeof(WCHAR)));
  if (copy && length) std::memcpy(copy, text, length * sizeof(WCHAR));
  return copy;
}

}  // namespace

LPCWSTR WuFio_MapInfoIdToStringId(DWORD id, const FILECLASS_INFO_STRING_MAP* map, LONG count) {
  if (!map) return nullptr;
  for (LONG i = 0; i < count; ++i)
    if (map[i].id == id) return map[i].ref;
  return nullptr;
}

HRESULT WuFio_FreeBstrArray(BSTR* array, LONG count) {
  if (!array) return 0;
  for (LONG i = 0; i < count; ++i) {
    SysFreeString(array[i]);
    array[i] = nullptr;
  }
  return 0;
}

HRESULT WuFio_FillBstrArrayFromStringResources(HWULANG lang, const LPCWSTR* refs, LONG count,
                                               BSTR* out) {
  if (count > 0 && (!refs || !out)) return E_POINTER;
  HRESULT hr = 0;
  for (LONG i = 0; i < count; ++i) {
    out[i] = nullptr;
    if (!refs[i]) continue;
    out[i] = SysAllocString(WuGetStringSmart(lang, refs[i]));
    if (!out[i]) hr = E_OUTOFMEMORY;
  }
  return hr;
}

HRESULT WuFio_FillBstrArrayFromStringResourceMap(HWULANG lang, const DWORD* ids, LONG count,
                                                 BSTR* out, const FILECLASS_INFO_STRING_MAP* map,
                                                 LONG mapCount, LPCWSTR suffix) {
  if (count > 0 && (!ids || !out)) return E_POINTER;
  HRESULT hr = 0;
  for (LONG i = 0; i < count; ++i) {
    out[i] = nullptr;
    LPCWSTR ref = WuFio_MapInfoIdToStringId(ids[i], map, mapCount);
    if (!ref) continue;
    std::u16string text(WuGetStringSmart(lang, ref));
    if (suffix && suffix[0] && TakesSuffix(ids[i])) text += suffix;
    out[i] = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!out[i]) hr = E_OUTOFMEMORY;
  }
  return hr;
}

HRESULT WuFio_CopyBstrArray(const BSTR* source, LONG count, LPWSTR* dest, DWORD /*unused*/) {
  if (count > 0 && (!source || !dest)) return E_POINTER;
  for (LONG i = 0; i < count; ++i) dest[i] = nullptr;
  for (LONG i = 0; i < count; ++i) {
    dest[i] = CopyOf(source[i], SysStringLen(source[i]));
    if (!dest[i]) return E_OUTOFMEMORY;
  }
  return 0;
}

HRESULT WuFio_CopyAndFreeBstrArray(BSTR* source, LONG count, LPWSTR* dest, DWORD unused) {
  HRESULT hr = WuFio_CopyBstrArray(source, count, dest, unused);
  WuFio_FreeBstrArray(source, count);
  return hr;
}

LPWSTR WuFio_AllocStringCopy(LPCWSTR text) { return CopyOf(text, static_cast<size_t>(WuStrLenSafe(text))); }
