// Allocation, name and notes, and release of render templates.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fileio/WuFioTemplate.h"
#include "foundation/WuList.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"

namespace {

// Whether `p` points into the text area of `record`.
bool PointsIntoText(const tagWUTEMPLATExV2* record, LPCWSTR p) {
  const WCHAR* text = record->Text();
  return p >= text && p < text + record->textLength;
}

}  // namespace

tagWUTEMPLATExV2* WuFio_NewTemplate(LPCWSTR name, LPCWSTR notes, LONG privateSize,
                                    const tagWUTEMPLATExV2* source) {
  if (privateSize < 0) return nullptr;
  size_t textLength =
      static_cast<size_t>(WuStrLenSafe(name)) + static_cast<size_t>(WuStrLenSafe(notes)) + 2;
  size_t padded = (static_cast<size_t>(privateSize) + 3u) & ~size_t{3};
  size_t total = WUTEMPLATE_FIXED_SIZE + padded + 2 * textLength;
  if (total > 0x7FFFFFFF) return nullptr;
  auto* record = static_cast<tagWUTEMPLATExV2*>(std::calloc(1, total));
  if (!record) return nullptr;
  record->totalSize = static_cast<DWORD>(total);
  record->textLength = static_cast<DWORD>(textLength);
  record->privateSize = privateSize;
  WuFio_SetTemplateNameAndNotes(record, name, notes ? notes : u"");
  if (privateSize != 0 && source) record->classId = source->classId;
  return record;
}

void WuFio_InitTemplateInPlace(tagWUTEMPLATExV2* record, DWORD textLength, LONG privateSize) {
  if (!record) return;
  std::memset(record, 0, WUTEMPLATE_MIN_SIZE);
  record->privateSize = privateSize;
  record->textLength = textLength;
  record->totalSize = WUTEMPLATE_FIXED_SIZE + record->PaddedPrivateSize() + 2 * textLength;
}

LPCWSTR WuFio_GetTemplateNotesPtr(const tagWUTEMPLATExV2* record) {
  if (!record || record->textLength == 0 || !record->HasValidLayout()) return u"";
  const WCHAR* text = record->Text();
  size_t nameLength = 0;
  while (nameLength < record->textLength && text[nameLength]) ++nameLength;
  if (nameLength + 1 < record->textLength) return text + nameLength + 1;
  return u"";
}

HRESULT WuFio_SetTemplateNameAndNotes(tagWUTEMPLATExV2* record, LPCWSTR name, LPCWSTR notes) {
  if (!record) return E_POINTER;
  if (!record->HasValidLayout()) {
    // A record whose texts run past its size cannot be written safely, but
    // a text area that merely lacks its final terminator can be rewritten.
    if (record->privateSize < 0) return WU_E_BAD_DATA;
    unsigned long long need = WUTEMPLATE_FIXED_SIZE +
                              static_cast<unsigned long long>(record->PaddedPrivateSize()) +
                              2ull * record->textLength;
    if (need > record->totalSize) return WU_E_BAD_DATA;
  }
  DWORD room = record->textLength;
  if (room == 0) return S_OK;
  WCHAR* text = record->Text();
  // The current notes are copied aside when they are kept; so is a name
  // that points into the text area.
  std::vector<WCHAR> keptNotes;
  if (!notes || PointsIntoText(record, notes)) {
    // Any pointer into the text area means the current notes, wherever it
    // points.
    const WCHAR* old = text + room;  // empty unless the current name leaves room
    size_t n = 0;
    while (n < room && text[n]) ++n;
    if (n + 1 < room) old = text + n + 1;
    const WCHAR* end = text + room;
    while (old < end && *old) keptNotes.push_back(*old++);
  } else {
    for (size_t i = 0; notes[i]; ++i) keptNotes.push_back(notes[i]);
  }
  std::vector<WCHAR> nameCopy;
  if (name) {
    const WCHAR* end = PointsIntoText(record, name) ? text + room : nullptr;
    for (const WCHAR* p = name; (!end || p < end) && *p; ++p) nameCopy.push_back(*p);
  }
  std::memset(text, 0, 2 * static_cast<size_t>(room));
  size_t nameUnits = std::min<size_t>(nameCopy.size(), room - 1);
  std::copy(nameCopy.begin(), nameCopy.begin() + static_cast<ptrdiff_t>(nameUnits), text);
  size_t left = room - (nameUnits + 1);  // units after the name's terminator
  if (left > 0) {
    size_t notesUnits = std::min<size_t>(keptNotes.size(), left - 1);
    std::copy(keptNotes.begin(), keptNotes.begin() + static_cast<ptrdiff_t>(notesUnits),
              text + nameUnits + 1);
  }
  return S_OK;
}

void WuFio_ReleaseTemplate(tagWUTEMPLATExV2* record) { std::free(record); }

void WuFio_ReleaseTemplate(IWuFileIOMgrForApp*, tagWUTEMPLATExV2* record) {
  WuFio_ReleaseTemplate(record);
}

void WuFio_ReleaseTemplate(IWuRenderFileClass*, tagWUTEMPLATExV2* record) {
  WuFio_ReleaseTemplate(record);
}

HRESULT WuFio_ReleaseTemplateList(tWULIST* list) {
  if (!list) return S_OK;
  // Records stored in place go with the list's storage.
  if (WuList_GetCreateOptions(list) & WULIST_INPLACE) {
    WuList_Destroy(list);
    return S_OK;
  }
  for (LONG i = list->count - 1; i >= 0; --i) {
    auto* record = static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(list, i));
    // Cleared first so that a list owning its items does not free it again.
    static_cast<void**>(static_cast<void*>(list->storage))[i] = nullptr;
    WuList_DeleteList(list, i, 1, FALSE);
    WuFio_ReleaseTemplate(record);
  }
  WuList_Destroy(list);
  return S_OK;
}

HRESULT WuFio_ReleaseTemplateList(IWuFileIOMgrForApp*, LONG, tWULIST* list) {
  return WuFio_ReleaseTemplateList(list);
}

HRESULT WuFio_ReleaseTemplateList(IWuFileIOMgrForApp*, IWuRenderFileClass*, tWULIST* list) {
  return WuFio_ReleaseTemplateList(list);
}
