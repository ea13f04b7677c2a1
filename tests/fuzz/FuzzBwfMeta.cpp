// Fuzz target of the broadcast-wave load from a metadata reader: the input
// is cut at '\x1F' into the ten field streams of the broadcast-wave kind
// (missing ones are absent fields). Every stream handed out must come back
// released, the reader's references too, and a record left loaded must
// hold terminated texts.
#include <cstdint>
#include <string>
#include <vector>

#include "mediaformats/WuBwf.h"
#include "platform/kernel/memory.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/mediaformats/TestReadMeta.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wufuzz::Root();
  std::vector<std::string> parts = wufuzz::SplitInput(data, size, '\x1F', WUBWF_FIELD_COUNT);
  size_t blocks = platform::LiveGlobalBlockCount();
  {
    metatest::TestReadMeta reader;
    for (size_t i = 0; i < parts.size(); ++i) reader.fields[static_cast<int>(i)] = parts[i];
    _tagWUBWF_Chunk record;
    record.WuBWF_Clear();
    int loaded = 0;
    HRESULT hr = bwfmeta_LoadInfo(&reader, &record, &loaded);
    if (reader.refs() != 0 || reader.live() != 0) wufuzz::Fail("a reference was kept", "");
    if (loaded && FAILED(hr)) wufuzz::Fail("loaded after a failure", "");
    if (record.szDescription[256] || record.szOriginator[32] || record.szOriginationDate[10] ||
        record.szOriginationTime[8])
      wufuzz::Fail("a text field is not terminated", "");
    if (loaded) {
      DWORD chunk_size = 0;
      record.WuBWF_BuildChunk(nullptr, &chunk_size);
      std::string chunk(chunk_size, '\0');
      if (FAILED(record.WuBWF_BuildChunk(reinterpret_cast<BYTE*>(chunk.data()), &chunk_size)))
        wufuzz::Fail("a loaded record did not build", "");
    }
    record.WuBWFChunk_FreeCodingHistory();
  }
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a block leaked", "");
  return 0;
}
