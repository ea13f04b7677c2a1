// Fuzz target of the render-template readers. The first byte chooses the
// form of the rest of the input (its bit 2 the highest generation the
// stream readers accept: 2, or 1):
//   0  records back to back, read one by one (generation 2 as it stands,
//      generation 1 lifted);
//   1  older-generation records with their size and version words, read
//      into one reused record and each lifted;
//   2  a list stream, read into a list, streamed out again and read back;
//   3  a template file, loaded as an open file and by path.
// A reader either fails and hands back no record, or hands back a record
// of the size it stated; a record the reader checks or builds itself
// (a generation-2 file's, a lifted one) passes the layout check. Every record is read
// through the checking accessors, copied and freed, and a record that passes the
// layout check is also queried and described; LeakSanitizer and the global block
// count see that nothing stays behind.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/CWuListStream.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateDescription.h"
#include "fileio/WuFioTemplateFiles.h"
#include "fileio/WuFioTemplateLayout.h"
#include "fileio/WuFioTemplateList.h"
#include "fileio/WuFioTemplateMake.h"
#include "fileio/WuFioTemplateV1.h"
#include "foundation/WuList.h"
#include "foundation/WuStatus.h"
#include "platform/com/com.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The most records one input is read for.
constexpr int kMaxRecords = 8;

size_t Units(LPCWSTR text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

// Reads a record through the accessors that check its layout; with
// `mustHold` the layout check must pass. Frees nothing.
void CheckRecord(const tagWUTEMPLATExV2* record, bool mustHold, const char* where) {
  if (!record) wufuzz::Fail("success without a record", where);
  const DWORD size = WuTpl_Size(record);
  const bool valid = record->HasValidLayout();
  if (mustHold && !valid) wufuzz::Fail("a record fails its layout check", where);
  // The texts: a bad layout reads as empty, a good one ends within the record.
  LPCWSTR name = WuTpl_Name(record);
  LPCWSTR notes = WuFio_GetTemplateNotesPtr(record);
  if (!valid && (*name || *notes)) wufuzz::Fail("a bad record shows texts", where);
  Units(name);
  Units(WuFio_SkipDescriptionInTemplateNotesText(notes));
  WuFio_GetTemplateDataCRC32(record, TRUE);
  GUID guid{};
  const HRESULT hashed = WuFio_InitGUIDFromTemplateMD5DataHash(&guid, record, TRUE);
  if (valid != SUCCEEDED(hashed)) wufuzz::Fail("the hash disagrees with the layout check", where);
  tagWUTEMPLATExV2* copy = nullptr;
  const HRESULT copied = WuFio_CopyTemplate(&copy, record);
  if (valid != SUCCEEDED(copied) || (FAILED(copied) && copy))
    wufuzz::Fail("the copy disagrees with the layout check", where);
  if (copy && std::memcmp(copy, record, size) != 0) wufuzz::Fail("a copy differs", where);
  WuFio_ReleaseTemplate(copy);
  if (!valid) return;
  // The file's numbers as the typed queries, the bit rate and the
  // description text read them.
  BYTE info[64];
  for (DWORD type = 0; type <= 23; ++type) WuFio_GetTemplateInfo(record, 3, info, sizeof info, type);
  LONGLONG bits = 0;
  WuFio_GetTemplateBitrate(record, 3, &bits);
  WCHAR text[256];
  if (FAILED(WuFio_MakeTemplateDescription(record, 0, text, 256)) || Units(text) >= 256)
    wufuzz::Fail("a record is not described within the room", where);
}

// A record read from a stream states a size every reader accepts.
void CheckStreamed(const tagWUTEMPLATExV2* record, const char* where) {
  if (!record) wufuzz::Fail("success without a record", where);
  const DWORD size = WuTpl_Size(record);
  if (size < WUTPL_HEADER_BYTES || size > WUTPL_MAX_BYTES)
    wufuzz::Fail("a record of a size no reader accepts", where);
  CheckRecord(record, false, where);
}

// A record a reader built by lifting an older one.
void CheckLifted(const tagWUTEMPLATExV2* record, const char* where) {
  CheckRecord(record, true, where);
  if ((record->version >> 24) != 2) wufuzz::Fail("a lifted record is not of generation 2", where);
}

IStream* StreamOf(const uint8_t* data, size_t size) {
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
    wufuzz::Fail("no memory stream", "");
  ULONG written = 0;
  if (size) stream->Write(data, static_cast<ULONG>(size), &written);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return stream;
}

void RecordStream(const uint8_t* data, size_t size, DWORD highest) {
  IStream* stream = StreamOf(data, size);
  for (int i = 0; i < kMaxRecords; ++i) {
    LARGE_INTEGER none{};
    ULARGE_INTEGER before{};
    stream->Seek(none, STREAM_SEEK_CUR, &before);
    tagWUTEMPLATExV2* record = reinterpret_cast<tagWUTEMPLATExV2*>(1);
    const HRESULT hr = WuFio_LoadTemplateData(&record, stream, highest, nullptr);
    if (FAILED(hr)) {
      if (record) wufuzz::Fail("a failed load left a record", "record stream");
      break;
    }
    if (before.QuadPart + 8 > size) wufuzz::Fail("a record from past the stream's end", "");
    const DWORD version = WuTpl_Word(data + before.QuadPart, 4);
    if ((version >> 24) > (highest >> 24)) wufuzz::Fail("a generation above the highest", "");
    if ((version >> 24) == 1) {
      CheckLifted(record, "record stream, lifted");
    } else {
      // As it stands: the stated size and exactly the stream's bytes.
      CheckStreamed(record, "record stream");
      const DWORD stated = WuTpl_Word(data + before.QuadPart, 0);
      if (WuTpl_Size(record) != stated || before.QuadPart + stated > size ||
          std::memcmp(record, data + before.QuadPart, stated) != 0)
        wufuzz::Fail("a record differs from its stream bytes", "record stream");
    }
    WuFio_ReleaseTemplate(record);
  }
  if (stream->Release() != 0) wufuzz::Fail("the stream is still referenced", "record stream");
}

void OlderStream(const uint8_t* data, size_t size, DWORD highest) {
  IStream* stream = StreamOf(data, size);
  WUTEMPLATExV1 record{};
  for (int i = 0; i < kMaxRecords; ++i) {
    const HRESULT hr = WuFio_LoadTemplateDataV1(&record, stream, highest, FALSE);
    if (FAILED(hr)) {
      if (record.audio || record.video) wufuzz::Fail("a failed read kept its parts", "older");
      break;
    }
    if (record.name[WUTEMPLATEV1_TEXT_UNITS - 1] || record.notes[WUTEMPLATEV1_TEXT_UNITS - 1])
      wufuzz::Fail("an older text is not terminated", "older");
    if (record.audio && record.audio->formatLength && !record.audio->format)
      wufuzz::Fail("an audio format without its bytes", "older");
    if (record.video && (!record.video->source || !record.video->output))
      wufuzz::Fail("a video part without its headers", "older");
    tagWUTEMPLATExV2* lifted = reinterpret_cast<tagWUTEMPLATExV2*>(1);
    if (SUCCEEDED(WuFio_LiftTemplateV1(&lifted, &record, nullptr)))
      CheckLifted(lifted, "older, lifted");
    else if (lifted)
      wufuzz::Fail("a failed lift left a record", "older");
    WuFio_ReleaseTemplate(lifted);
  }
  WuFio_FreeTemplateDataV1(&record);
  if (record.audio || record.video) wufuzz::Fail("freeing kept parts", "older");
  stream->Release();
}

tWULIST* NewList() {
  tWULIST* list = nullptr;
  if (FAILED(WuList_CreateExZ(&list, 0, 4, 4, WULIST_OWNITEMS | WULIST_LOCKED)))
    wufuzz::Fail("no list", "");
  return list;
}

void ListStream(const uint8_t* data, size_t size) {
  IStream* stream = StreamOf(data, size);
  tWULIST* list = NewList();
  const HRESULT hr = WuFio_AddTemplatesToListFromIStream(list, stream);
  stream->Release();
  if (SUCCEEDED(hr) && size < WU_LISTSTREAM_HEADER_BYTES)
    wufuzz::Fail("a list from a short header", "list");
  for (LONG i = 0; i < list->count; ++i)
    CheckStreamed(static_cast<const tagWUTEMPLATExV2*>(WuList_PointerAt(list, i)), "list");
  if (list->count > 0) {
    const auto* first = static_cast<const tagWUTEMPLATExV2*>(WuList_PointerAt(list, 0));
    std::u16string name(WuTpl_Name(first));
    LONG index = -1;
    if (!WuFio_GetTemplateByNameNoCopy(list, name.c_str(), &index) || index < 0)
      wufuzz::Fail("a listed name is not found", "list");
    WuFio_ReleaseTemplate(WuFio_GetTemplateByName(list, name.c_str()));
  }
  // Out through a template stream and back: the same records, in order.
  IStream* out = nullptr;
  if (FAILED(WuFio_MakeTemplateListIStream(list, &out))) wufuzz::Fail("no list stream", "list");
  tWULIST* back = NewList();
  if (FAILED(WuFio_AddTemplatesToListFromIStream(back, out)) || back->count != list->count)
    wufuzz::Fail("a list does not read back", "list");
  for (LONG i = 0; i < list->count; ++i) {
    const void* a = WuList_PointerAt(list, i);
    const void* b = WuList_PointerAt(back, i);
    if (WuTpl_Size(a) != WuTpl_Size(b) || std::memcmp(a, b, WuTpl_Size(a)) != 0)
      wufuzz::Fail("a record changed on the way through a list stream", "list");
  }
  if (out->Release() != 0) wufuzz::Fail("the list stream is still referenced", "list");
  WuFio_ReleaseTemplateList(back);
  WuFio_ReleaseTemplateList(list);
}

void TemplateFile(const uint8_t* data, size_t size) {
  const std::string path = wufuzz::Root() + "/work/template.wut2";
  if (!wufuzz::WriteFile(path, data, size)) wufuzz::Fail("cannot write", path);
  std::u16string wide = platform::ToUtf16(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) wufuzz::Fail("cannot open", path);
  tagWUTEMPLATExV2* record = reinterpret_cast<tagWUTEMPLATExV2*>(1);
  HRESULT hr = WuFio_LoadTemplateData(&record, file);
  CloseHandle(file);
  if (FAILED(hr)) {
    if (record) wufuzz::Fail("a failed file load left a record", path);
  } else {
    // The whole file, at least 540 bytes, holding its stated size.
    const DWORD generation = record->version >> 24;
    if (size < WUTPL_MIN_FILE_BYTES || WuTpl_Size(record) > size || generation == 0 ||
        std::memcmp(record, data, size) != 0)
      wufuzz::Fail("a file record breaks the file checks", path);
    // Generation 2 is checked; newer ones come back unchecked, and read
    // as bad records when they do not fit.
    CheckRecord(record, generation == 2, "file");
    WuFio_ReleaseTemplate(record);
  }
  record = reinterpret_cast<tagWUTEMPLATExV2*>(1);
  hr = WuFio_LoadRawUserTemplate(nullptr, wide.c_str(), &record);
  if (FAILED(hr)) {
    if (record) wufuzz::Fail("a failed template load left a record", path);
  } else {
    // Generation 1 comes back lifted, 2 checked, newer ones unchecked.
    const DWORD generation = record->version >> 24;
    if (generation < 2) wufuzz::Fail("a template file not lifted", path);
    CheckRecord(record, generation == 2, "file by path");
    WuFio_ReleaseTemplate(record);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  wufuzz::Root();
  const size_t blocks = platform::LiveGlobalBlockCount();
  const DWORD highest = (data[0] & 4) ? 0x01000000 : 0x02000000;
  switch (data[0] & 3) {
    case 0: RecordStream(data + 1, size - 1, highest); break;
    case 1: OlderStream(data + 1, size - 1, highest); break;
    case 2: ListStream(data + 1, size - 1); break;
    default: TemplateFile(data + 1, size - 1); break;
  }
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a block leaked", "templates");
  return 0;
}
