// Fuzz target of the metadata stream readers and writers: the input is cut
// at '\x1F' into the reader's region and summary streams and up to six
// enumerator streams, which are written into a small WAV file and into a
// side file. Every stream and reference must come back, no block may leak,
// and the WAV's own bytes (after the form size) must stand unchanged.
#include <cstdint>
#include <string>
#include <vector>

#include "mediaformats/WuFMMeta.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/mediaformats/TestReadMeta.h"

namespace {

std::string Wav() {
  using metatest::Le32;
  std::string fmt = std::string("\x01\x00\x01\x00", 4) + Le32(8000) + Le32(16000) +
                    std::string("\x02\x00\x10\x00", 4);
  std::string body = "WAVEfmt " + Le32(16) + fmt + "data" + Le32(8) + std::string(8, '\x01');
  return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wufuzz::Root();
  std::vector<std::string> parts = wufuzz::SplitInput(data, size, '\x1F', 8);
  const std::string media = wufuzz::Root() + "/work/m.wav";
  const std::string wav = Wav();
  if (!wufuzz::WriteFile(media, wav.data(), wav.size())) wufuzz::Fail("cannot write", media);
  std::u16string wide = platform::ToUtf16(media);
  size_t blocks = platform::LiveGlobalBlockCount();
  {
    metatest::TestReadMeta reader;
    if (parts.size() > 0) reader.region = parts[0];
    if (parts.size() > 1) reader.summary = parts[1];
    for (size_t i = 2; i < parts.size(); ++i) reader.meta_streams.push_back(parts[i]);
    WuFMMeta_openAndWriteMetaStreamEx(wide.c_str(), TRUE, 44100, &reader, 0xFFFFFFFF, 0);
    WuFMMeta_UpdateMetaStream2(wide.c_str(), 8000, &reader, 0, 0xFFFFFFFF);
    if (reader.refs() != 0 || reader.live() != 0) wufuzz::Fail("a reference was kept", "");
  }
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a block leaked", media);
  std::string after;
  {
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) wufuzz::Fail("cannot reopen", media);
    char buffer[64];
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer, &read, nullptr);
    after.assign(buffer, read);
    CloseHandle(file);
  }
  if (after.size() < wav.size() || after.compare(8, wav.size() - 8, wav, 8, wav.size() - 8) != 0)
    wufuzz::Fail("the audio or format changed", media);
  return 0;
}
