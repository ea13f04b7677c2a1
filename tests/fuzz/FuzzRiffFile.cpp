// Fuzz target of the chunk layers on files: the input is a RIFF or RIFF64
// file. Every search, count, seek and reader of both layers and the
// CD-audio reader walk it; then the deletes of both layers shrink it. The
// readers must leave the file as it was and no operation may make it grow.
#include <cstdint>
#include <string>

#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const GUID kData64 = {0x61746164, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
const GUID kJunk64 = {0x6B6E756A, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};

LONGLONG SizeOf(HANDLE file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

void FreeBlock(tRIFFALLOCDATA& data) {
  if (!data.pData) return;
  HGLOBAL block = GlobalHandle(data.pData);
  GlobalUnlock(block);
  GlobalFree(block);
  data.pData = nullptr;
}

void WalkRiff(HANDLE file) {
  DWORD size = 0, left = 0, count = 0;
  riff_GetFileSize(file, &size);
  riff_FindChunkHeaderInRIFF(file, RiffId("data"), &size, &left);
  riff_FindChunkHeaderInRIFF(file, RiffId("none"), &size, nullptr);
  if (SUCCEEDED(riff_FindListChunkFromStart(file, RiffId("INFO"), &size))) {
    DWORD list = size;
    left = list;
    riff_GetNumListEntries(file, &count, &left);
    left = list;
    FOURCC id = 0;
    DWORD item = 0;
    for (DWORD i = 0; i < 64 && left >= 8 && SUCCEEDED(riff_ReadChunkHeader(file, &id, &item)); ++i) {
      left -= 8;
      WCHAR text[40];
      DWORD stored = item;
      riff_ReadANSIString(file, text, 40, &stored);
      left = item + (item & 1) >= left ? 0 : left - item - (item & 1);
    }
  }
  riff_SeekDataStart(file);
  riff_GetNumListEntries(file, &count, nullptr);
  left = 0xFFFFFFFF;
  riff_SeekListEntry(file, 5, &left);
  riff_SeekDataStart(file);
  if (SUCCEEDED(riff_FindChunkHeader(file, RiffId("fmt "), &size, nullptr))) {
    tRIFFALLOCDATA data = {size < 65536 ? size : 65536, nullptr};
    riff_ReadDataAlloc(file, &data);
    FreeBlock(data);
  }
  riff_SeekDataStart(file);
  BYTE buffer[32];
  riff_ReadDataBounded(file, buffer, sizeof buffer, 0xFFFFFFFF);
  riff_SeekDataStart(file);
  riff_ReadRIFFCDDA(file, nullptr);
}

void WalkRiff64(HANDLE file) {
  ULONGLONG size = 0;
  LONGLONG left = 0;
  DWORD count = 0;
  riff64_FindChunkHeaderInRIFF(file, kData64, &size, &left);
  riff64_FindChunkHeaderInRIFF(file, kJunk64, &size, nullptr);
  if (SUCCEEDED(riff64_FindListChunkFromStart(file, kJunk64, &size))) {
    left = static_cast<LONGLONG>(size);
    riff64_GetNumListEntries(file, &count, &left);
  }
  riff64_SeekDataStart(file);
  riff64_GetNumListEntries(file, &count, nullptr);
  left = INT64_MAX;
  riff64_SeekListEntry(file, 5, &left);
  riff64_SeekDataStart(file);
  if (SUCCEEDED(riff64_FindChunkHeader(file, kRiff64GuidFmt, &size, nullptr))) {
    tRIFFALLOCDATA data = {size < 65536 ? static_cast<DWORD>(size) : 65536, nullptr};
    riff64_ReadDataAlloc(file, &data);
    FreeBlock(data);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = wufuzz::Root() + "/work/chunks.bin";
  if (!wufuzz::WriteFile(path, data, size)) wufuzz::Fail("cannot write", path);
  std::u16string wide = platform::ToUtf16(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) wufuzz::Fail("cannot open", path);
  size_t blocks = platform::LiveGlobalBlockCount();
  WalkRiff(file);
  WalkRiff64(file);
  if (SizeOf(file) != static_cast<LONGLONG>(size)) wufuzz::Fail("a reader changed the file", path);
  DWORD removed = 0;
  riff_DeleteChunk(file, RiffId("LIST"), &removed, FALSE);
  riff_DeleteChunk(file, RiffId("INFO"), &removed, TRUE);
  if (SizeOf(file) > static_cast<LONGLONG>(size)) wufuzz::Fail("a delete made the file grow", path);
  ULONGLONG removed64 = 0;
  riff64_DeleteChunk(file, kJunk64, &removed64);
  if (SizeOf(file) > static_cast<LONGLONG>(size)) wufuzz::Fail("a delete made the file grow", path);
  CloseHandle(file);
  DWORD track = 0;
  riff_ReadCDAFile(wide.c_str(), &track, nullptr, nullptr, nullptr, nullptr);
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a data block leaked", path);
  return 0;
}
