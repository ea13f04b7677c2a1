// Fuzz target of the INFO summary and display-list loaders: the input is
// the entries of a list (and a RIFF file for the bitmap reader). The loads
// must leave the file as it was, keep no block on failure, and free every
// block they made.
#include <cstdint>
#include <string>

#include "mediaformats/WuDispList.h"
#include "mediaformats/WuSummary.h"
#include "platform/com/com.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/mediaformats/TestReadMeta.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wufuzz::Root();
  const std::string path = wufuzz::Root() + "/work/lists.bin";
  if (!wufuzz::WriteFile(path, data, size)) wufuzz::Fail("cannot write", path);
  std::u16string wide = platform::ToUtf16(path);
  size_t blocks = platform::LiveGlobalBlockCount();
  {
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) wufuzz::Fail("cannot open", path);
    for (bool unfo : {false, true}) {
      WuSummary summary{};
      HRESULT hr = (unfo ? WuSummary_LoadUNFO : WuSummary_Load)(file, &summary,
                                                                static_cast<DWORD>(size));
      if (FAILED(hr) && (summary.count || summary.items)) wufuzz::Fail("a failed load kept items", "");
      for (DWORD i = 0; i < summary.count; ++i)
        if (summary.items[i].text) lstrlenW(summary.items[i].text);
      WuSummary_Free(&summary);
      SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    }
    WCHAR text[16];
    DWORD left = static_cast<DWORD>(size);
    if (SUCCEEDED(WuSummary_GetStringFromFile(file, 0x4D414E49 /* "INAM" */, text, 16, &left)) &&
        text[15] != 0)
      wufuzz::Fail("text not terminated", "");
    WuDispList* list = displist_Create();
    left = static_cast<DWORD>(size);
    if (FAILED(displist_Load(file, list, &left)))
      for (DWORD i = 0; i < list->count; ++i)
        if (list->items[i].data) wufuzz::Fail("a failed load kept data", "");
    ULONGLONG left64 = size;
    displist64_Load(file, list, &left64);
    displist_Destroy(list);
    CloseHandle(file);
    int live = 0;
    IStream* stream = metatest::MakeStream(std::string(reinterpret_cast<const char*>(data), size), &live);
    WuDispList* from_stream = displist_Create();
    displist_LoadFromStream(from_stream, stream);
    displist_Destroy(from_stream);
    stream->Release();
    if (live != 0) wufuzz::Fail("a stream was kept", "");
    if (HBITMAP bitmap = displist_CreateBitmapFromFile(wide.c_str())) DeleteObject(bitmap);
  }
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a block leaked", path);
  return 0;
}
