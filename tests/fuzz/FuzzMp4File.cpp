// Fuzz target of the MPEG-4 classifier over a file: the input is the file.
// It is classified from the file alone, from its first 64 KiB with the
// file, and from those bytes alone; WuFindAtom walks it for "moov". The
// file must stay as it was, every answer must be one of the classifier's
// codes, and nothing may stay open.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "mediaformats/RiffBytes.h"
#include "mediaformats/WuFileId.h"
#include "mediaformats/WuMp4Classifier.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void CheckAnswer(DWORD code, const char* form) {
  if (code != WUFILEID_UNKNOWN && code != WUFILEID_MP4_AAC && code != WUFILEID_MP4_AVC &&
      code != WUFILEID_MP4 && code != WUFILEID_MP4_MPEG2)
    wufuzz::Fail("not a classifier code", form);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x100000) return 0;
  const std::string path = wufuzz::Root() + "/work/movie.mp4";
  if (!wufuzz::WriteFile(path, data, size)) wufuzz::Fail("cannot write", path);
  size_t handles = platform::OpenHandleCount();
  size_t blocks = platform::LiveGlobalBlockCount();
  std::u16string wide = platform::ToUtf16(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) wufuzz::Fail("cannot open", path);

  CheckAnswer(WuMp4ClassifyFile(file), "file");
  DWORD head = static_cast<DWORD>(size < WUFILEID_MAX_BYTES ? size : WUFILEID_MAX_BYTES);
  std::unique_ptr<BYTE[]> bytes(new BYTE[head ? head : 1]);
  if (head) std::memcpy(bytes.get(), data, head);
  CheckAnswer(WuMp4ClassifyBuffer(file, bytes.get(), head), "buffer with file");
  CheckAnswer(WuMp4ClassifyBuffer(INVALID_HANDLE_VALUE, bytes.get(), head), "buffer");
  ULONGLONG offset = 0, found = 0;
  if (WuFindAtom(file, RiffId("moov"), 0, size, &offset, &found) && offset + 8 > size)
    wufuzz::Fail("an atom found beyond the file", path);
  WUFILEID_IDENTIFIED_TYPE type;
  WuIsQuicklyIdentifiableMediaFileFormat(file, wide.c_str(), 0, &type);
  CloseHandle(file);

  if (head && std::memcmp(bytes.get(), data, head) != 0) wufuzz::Fail("the buffer changed", path);
  if (wufuzz::ListTree(wufuzz::Root() + "/work").size() != 1) wufuzz::Fail("a file appeared", path);
  if (platform::OpenHandleCount() != handles) wufuzz::Fail("a handle leaked", path);
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a data block leaked", path);
  return 0;
}
