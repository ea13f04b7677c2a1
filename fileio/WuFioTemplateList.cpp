// Template lists as streams and lookups by name.
#include "fileio/WuFioTemplateList.h"

#include <cstdlib>
#include <cstring>

#include "fileio/CWuListStream.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateLayout.h"
#include "foundation/WuList.h"
#include "platform/kernel/locale.h"

HRESULT WuFio_MakeTemplateListIStream(tWULIST* list, IStream** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  CWuTemplateStream* stream = CWuTemplateStream::Create(list);
  if (!stream) return E_OUTOFMEMORY;
  *out = stream;
  return S_OK;
}

namespace {

// Reads exactly `bytes`; *got the count.
HRESULT ReadAll(IStream* stream, void* buffer, ULONG bytes, ULONG* got) {
  *got = 0;
  return stream->Read(buffer, bytes, got);
}

HRESULT ReadRecords(tWULIST* list, IStream* stream) {
  BYTE head[WU_LISTSTREAM_HEADER_BYTES];
  ULONG got = 0;
  HRESULT hr = ReadAll(stream, head, sizeof head, &got);
  if (FAILED(hr) || got < sizeof head) return E_FAIL;
  const DWORD count = WuTpl_Word(head, 8);
  const bool owning = (WuList_GetCreateOptions(list) & WULIST_OWNITEMS) != 0;
  for (DWORD i = 0; i < count; ++i) {
    BYTE word[4];
    hr = ReadAll(stream, word, sizeof word, &got);
    if (FAILED(hr)) return hr;
    if (got < sizeof word) return E_FAIL;
    const DWORD size = WuTpl_Word(word, 0);
    if (size < WUTPL_HEADER_BYTES || size > WUTPL_MAX_BYTES) return WU_E_BAD_DATA;
    BYTE* record = static_cast<BYTE*>(std::calloc(1, size));
    if (!record) return E_OUTOFMEMORY;
    hr = ReadAll(stream, record + 4, size - 4, &got);
    if (FAILED(hr) || got < size - 4) {
      std::free(record);
      return WU_E_BAD_DATA;
    }
    WuTpl_SetWord(record, 0, size);
    void* item = record;
    hr = WuList_InsertList(list, -1, &item, owning ? -1 : 1);
    if (FAILED(hr)) {
      std::free(record);
      return hr;
    }
  }
  return S_OK;
}

}  // namespace

HRESULT WuFio_AddTemplatesToListFromIStream(tWULIST* list, IStream* stream) {
  if (!list || !stream) return E_POINTER;
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  const HRESULT hr = ReadRecords(list, stream);
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return hr;
}

tagWUTEMPLATExV2* WuFio_GetTemplateByNameNoCopy(tWULIST* list, LPCWSTR name, LONG* index) {
  if (index) *index = -2;
  if (!list || !name) return nullptr;
  for (LONG i = 0; i < list->count; ++i) {
    void* record = WuList_PointerAt(list, i);
    if (record && lstrcmpiW(WuTpl_Name(record), name) == 0) {
      if (index) *index = i;
      return static_cast<tagWUTEMPLATExV2*>(record);
    }
  }
  return nullptr;
}

tagWUTEMPLATExV2* WuFio_GetTemplateByName(tWULIST* list, LPCWSTR name) {
  const tagWUTEMPLATExV2* found = WuFio_GetTemplateByNameNoCopy(list, name, nullptr);
  if (!found) return nullptr;
  return WuFio_DuplicateTemplate(found);
}
