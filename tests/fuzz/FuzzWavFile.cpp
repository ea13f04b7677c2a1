// Fuzz target of the WAV, Wave64 and AIFF header readers and of the bext
// file loaders: the input is a file. The testers, WuGetFileWfx, the AIFF
// reader and marker search, and both bext loaders (whole and quick) read
// it; none may change the file, and every format block and coding history
// is released.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mediaformats/Iff.h"
#include "mediaformats/WavHeaders.h"
#include "mediaformats/WuBwf.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

LONGLONG SizeOf(HANDLE file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

void LoadBoth(HANDLE file) {
  for (auto load : {bwfriff_LoadInfo, bwfriff64_LoadInfo}) {
    _tagWUBWF_Chunk record;
    record.WuBWF_Clear();
    int loaded = 0;
    if (SUCCEEDED(load(file, &record, &loaded)) && loaded) {
      DWORD size = 0;
      record.WuBWF_BuildChunk(nullptr, &size);
      std::string chunk(size, '\0');
      record.WuBWF_BuildChunk(reinterpret_cast<BYTE*>(chunk.data()), &size);
      record.WuBWF_CheckLoaded();
    }
    record.WuBWFChunk_FreeCodingHistory();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = wufuzz::Root() + "/work/header.bin";
  if (!wufuzz::WriteFile(path, data, size)) wufuzz::Fail("cannot write", path);
  std::u16string wide = platform::ToUtf16(path);
  size_t blocks = platform::LiveGlobalBlockCount();

  WuFileIsWave(wide.c_str(), TRUE);
  WuFileIsWave64(wide.c_str(), FALSE);
  WuFileIsAiff(wide.c_str());
  ULONGLONG frames = 0;
  ULONGLONG offset = 0;
  if (WAVEFORMATEX* wfx = WuGetFileWfx(wide.c_str(), &frames, &offset)) {
    if (wfx->nBlockAlign == 0) wufuzz::Fail("a format without block align", path);
    std::free(wfx);
  }
  for (BOOL w64 : {FALSE, TRUE}) {
    _tagWUBWF_Chunk record;
    record.WuBWF_Clear();
    int loaded = 0;
    bwfriff_LoadTimestampInfoQuick(wide.c_str(), &record, &loaded, w64);
    record.WuBWFChunk_FreeCodingHistory();
  }

  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) wufuzz::Fail("cannot open", path);
  WAVEFORMATEX wfx = {};
  DWORD frames32 = 0;
  DWORD offset32 = 0;
  iff_GetAIFFWfx(file, &wfx, &frames32, &offset32);
  tIFFMARKER marker;
  iff_FindMarker(file, &marker, 1);
  LoadBoth(file);
  if (SizeOf(file) != static_cast<LONGLONG>(size)) wufuzz::Fail("a reader changed the file", path);
  CloseHandle(file);
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a block leaked", path);
  return 0;
}
