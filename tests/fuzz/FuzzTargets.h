// The fuzz targets linked into the replay program. Each target's source
// defines LLVMFuzzerTestOneInput; the replay build renames it to the entry
// below (tests/fuzz/CMakeLists.txt), so that all of them fit one program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" {
int WuFuzzArchiveEntry(const uint8_t* data, size_t size);
int WuFuzzCommandLineEntry(const uint8_t* data, size_t size);
int WuFuzzSettingsEntry(const uint8_t* data, size_t size);
int WuFuzzPngEntry(const uint8_t* data, size_t size);
int WuFuzzLangModuleEntry(const uint8_t* data, size_t size);
int WuFuzzCursorEntry(const uint8_t* data, size_t size);
int WuFuzzRegistryEntry(const uint8_t* data, size_t size);
int WuFuzzProfileEntry(const uint8_t* data, size_t size);
int WuFuzzRiffFileEntry(const uint8_t* data, size_t size);
int WuFuzzRiffMemoryEntry(const uint8_t* data, size_t size);
int WuFuzzFileIdBufferEntry(const uint8_t* data, size_t size);
int WuFuzzMp4FileEntry(const uint8_t* data, size_t size);
int WuFuzzMetaBlocksEntry(const uint8_t* data, size_t size);
int WuFuzzWavFileEntry(const uint8_t* data, size_t size);
int WuFuzzBwfMetaEntry(const uint8_t* data, size_t size);
int WuFuzzMetaListsEntry(const uint8_t* data, size_t size);
int WuFuzzMetaStreamsEntry(const uint8_t* data, size_t size);
int WuFuzzProjectLinkEntry(const uint8_t* data, size_t size);
int WuFuzzShortcutEntry(const uint8_t* data, size_t size);
int WuFuzzTemplatesEntry(const uint8_t* data, size_t size);
int WuFuzzComMessageEntry(const uint8_t* data, size_t size);
int WuFuzzFilePropMetaEntry(const uint8_t* data, size_t size);
int WuFuzzDibCopyEntry(const uint8_t* data, size_t size);
int WuFuzzMediaWritersEntry(const uint8_t* data, size_t size);
}

namespace wufuzz {

struct Target {
  const char* name;                             // as on the command line
  int (*run)(const uint8_t* data, size_t size);  // the target's entry
};

inline const Target* FindTarget(const char* name) {
  static const Target kTargets[] = {
      {"archive", WuFuzzArchiveEntry},   {"commandline", WuFuzzCommandLineEntry},
      {"settings", WuFuzzSettingsEntry}, {"png", WuFuzzPngEntry},
      {"langmodule", WuFuzzLangModuleEntry}, {"cursor", WuFuzzCursorEntry},
      {"registry", WuFuzzRegistryEntry}, {"profile", WuFuzzProfileEntry},
      {"rifffile", WuFuzzRiffFileEntry}, {"riffmemory", WuFuzzRiffMemoryEntry},
      {"fileidbuffer", WuFuzzFileIdBufferEntry}, {"mp4file", WuFuzzMp4FileEntry},
      {"metablocks", WuFuzzMetaBlocksEntry},
      {"wavfile", WuFuzzWavFileEntry},   {"bwfmeta", WuFuzzBwfMetaEntry},
      {"metalists", WuFuzzMetaListsEntry}, {"metastreams", WuFuzzMetaStreamsEntry},
      {"projectlink", WuFuzzProjectLinkEntry},
      {"shortcut", WuFuzzShortcutEntry},
      {"templates", WuFuzzTemplatesEntry},
      {"commessage", WuFuzzComMessageEntry},
      {"filepropmeta", WuFuzzFilePropMetaEntry},
      {"dibcopy", WuFuzzDibCopyEntry},
      {"mediawriters", WuFuzzMediaWritersEntry},
  };
  for (const Target& target : kTargets)
    if (std::strcmp(target.name, name) == 0) return &target;
  return nullptr;
}

}  // namespace wufuzz
