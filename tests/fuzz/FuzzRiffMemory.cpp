// Fuzz target of RIFF over memory buffers: the input is the buffer, held
// in a block of exactly its size. Every search, count and reader walks it,
// the WAV header reader reads it, and a header for the format it found is
// written into a buffer of a size taken from the input. Nothing may be
// read or written outside the buffers, the input must stay as it was, and
// the cursor must stay within its buffer.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "audio/WuWaveFormat.h"
#include "mediaformats/MRiff.h"
#include "platform/kernel/memory.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void CheckCursor(const _tMRIFF& m, const char* after) {
  if (m.pCursor < m.pStart || m.pCursor > m.pDataEnd || m.pDataEnd > m.pCapacityEnd)
    wufuzz::Fail("cursor outside its buffer", after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFF) return 0;
  wufuzz::Root();
  DWORD n = static_cast<DWORD>(size);
  std::unique_ptr<BYTE[]> buffer(new BYTE[n ? n : 1]);
  if (n) std::memcpy(buffer.get(), data, n);
  size_t blocks = platform::LiveGlobalBlockCount();

  _tMRIFF m;
  mriff_Init(&m, buffer.get(), n, n);
  DWORD found = 0, left = n, count = 0;
  mriff_FindChunkHeaderInRIFF(&m, RiffId("data"), &found, &left);
  CheckCursor(m, "FindChunkHeaderInRIFF");
  mriff_RestoreLocation(&m, 0);
  mriff_FindChunkHeaderInRIFF(&m, RiffId("none"), &found, nullptr);
  if (SUCCEEDED(mriff_FindListChunkFromStart(&m, RiffId("INFO"), &found))) {
    left = found;
    mriff_GetNumListEntries(&m, &count, &left);
    CheckCursor(m, "GetNumListEntries");
  }
  mriff_SeekDataStart(&m);
  mriff_GetNumListEntries(&m, &count, nullptr);
  char text[48];
  for (const char* item : {"INAM", "IART", "ICMT"}) {
    mriff_SeekDataStart(&m);
    left = n;
    FOURCC id = static_cast<BYTE>(item[0]) | static_cast<BYTE>(item[1]) << 8 |
                static_cast<BYTE>(item[2]) << 16 | static_cast<DWORD>(static_cast<BYTE>(item[3])) << 24;
    mriff_GetInfoString(&m, id, text, sizeof text, &left);
    if (std::memchr(text, 0, sizeof text) == nullptr) wufuzz::Fail("INFO text not terminated", item);
    CheckCursor(m, "GetInfoString");
  }
  mriff_SeekDataStart(&m);
  if (SUCCEEDED(mriff_FindChunkHeader(&m, RiffId("fmt "), &found, nullptr))) {
    tRIFFALLOCDATA block = {found < 65536 ? found : 65536, nullptr};
    if (SUCCEEDED(mriff_ReadDataAlloc(&m, &block)) && block.pData) {
      HGLOBAL handle = GlobalHandle(block.pData);
      GlobalUnlock(handle);
      GlobalFree(handle);
    }
    CheckCursor(m, "ReadDataAlloc");
  }

  _wuwaveformat_plus format;
  DWORD data_size = 0;
  if (SUCCEEDED(mriff_GetWfx(&format, buffer.get(), n, &data_size))) {
    // A header for what was read, into as much room as the input's first
    // byte says: it fits whole or stops at the room's end.
    DWORD room = n ? buffer[0] : 0;
    std::unique_ptr<BYTE[]> out(new BYTE[room ? room : 1]);
    _tMRIFF w;
    mriff_Init(&w, out.get(), 0, room);
    mriff_WriteWaveHeader(&w, &format, data_size, 0);
    CheckCursor(w, "WriteWaveHeader");
  }
  if (n && std::memcmp(buffer.get(), data, n) != 0) wufuzz::Fail("the input changed", "mriff");
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a data block leaked", "mriff");
  return 0;
}
