// Copies, replacement in a slot, the settings span, the notes without
// their description and the project default of render templates.
#include <cstdlib>
#include <cstring>

#include "fileio/WuFioTemplate.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"

HRESULT WuFio_CopyTemplate(tagWUTEMPLATExV2** out, const tagWUTEMPLATExV2* record) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!record) return E_POINTER;
  if (!record->HasValidLayout()) return WU_E_BAD_DATA;
  auto* copy = static_cast<tagWUTEMPLATExV2*>(std::malloc(record->totalSize));
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, record, record->totalSize);
  *out = copy;
  return S_OK;
}

tagWUTEMPLATExV2* WuFio_DuplicateTemplate(const tagWUTEMPLATExV2* record) {
  tagWUTEMPLATExV2* copy = nullptr;
  if (record) WuFio_CopyTemplate(&copy, record);
  return copy;
}

HRESULT WuFio_SetTemplate(tagWUTEMPLATExV2** slot, tagWUTEMPLATExV2* record, DWORD flags) {
  if (!slot) return E_POINTER;
  tagWUTEMPLATExV2* old = *slot;
  HRESULT result = S_OK;
  if (flags & WUFIO_SETTEMPLATE_COMPARE) {
    bool equal = old == record ||
                 (old && record && old->totalSize == record->totalSize &&
                  std::memcmp(old, record, record->totalSize) == 0);
    result = equal ? TRUE : FALSE;
  }
  tagWUTEMPLATExV2* taken = record;
  if ((flags & WUFIO_SETTEMPLATE_COPY) && record && record != old) {
    if (!record->HasValidLayout()) return WU_E_BAD_DATA;
    if (old && old->totalSize >= record->totalSize) {
      std::memmove(old, record, record->totalSize);
      return result;
    }
    taken = static_cast<tagWUTEMPLATExV2*>(std::malloc(record->totalSize));
    if (!taken) return E_OUTOFMEMORY;
    std::memcpy(taken, record, record->totalSize);
  }
  if (old != taken) WuFio_ReleaseTemplate(old);
  *slot = taken;
  return result;
}

const BYTE* WuFio_GetTemplateDataSpan(const tagWUTEMPLATExV2* record, DWORD* length) {
  if (length) *length = record ? WUTEMPLATE_SETTINGS_SIZE : 0;
  return record ? reinterpret_cast<const BYTE*>(record) + WUTEMPLATE_SETTINGS_OFFSET : nullptr;
}

BYTE* WuFio_GetTemplateDataSpan(tagWUTEMPLATExV2* record, DWORD* length) {
  return const_cast<BYTE*>(
      WuFio_GetTemplateDataSpan(static_cast<const tagWUTEMPLATExV2*>(record), length));
}

namespace {

bool StartsWith(LPCWSTR text, const char16_t* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (*text != *prefix) return false;
  return true;
}

}  // namespace

LPCWSTR WuFio_SkipDescriptionInTemplateNotesText(LPCWSTR notes) {
  if (!notes) return u"";
  LPCWSTR at = WuSkipWhiteSpace(notes);
  while (StartsWith(at, u"Audio:") || StartsWith(at, u"Video:") ||
         StartsWith(at, u"Pixel Aspect Ratio:")) {
    while (*at && *at != u'\r' && *at != u'\n') ++at;
    at = WuSkipWhiteSpace(at);
  }
  return at;
}

HRESULT WuFio_MakeProjectDefaultTemplate(IWuRenderFileClass* cls, const tagWUTEMPLATExV2* record,
                                         tagWUTEMPLATExV2** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!cls) return E_POINTER;
  return cls->ConvertTemplate(out, record, 2);
}
