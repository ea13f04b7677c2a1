// The child program of the memory-token tests. It fills a block of its own
// memory with the text "child block", prints the token that describes it as
// 80 hex digits and a line feed, waits for a line on standard input, then
// prints the block's text and a line feed and ends with 0. argv[1] says
// where the block lives:
//   heap      in ordinary memory (the receiver reads a private copy)
//   mapping   at offset 16 of a page-file mapping
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/WuMemoryToken.h"
#include "platform/kernel/mapping.h"
#include "platform/kernel/process.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string mode = argv[1];
  constexpr uint32_t kSize = 64;
  static char heap_block[kSize];
  _wumemorytoken token{};
  token.dwProcessId = GetCurrentProcessId();
  token.dwSize = kSize;
  char* block = heap_block;
  if (mode == "mapping") {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                       nullptr);
    void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr;
    if (!view) return 3;
    token.hMapping = reinterpret_cast<uintptr_t>(mapping);
    token.qwBase = reinterpret_cast<uintptr_t>(view);
    token.qwOffset = 16;
    token.bIsMapping = 1;
    block = static_cast<char*>(view) + 16;
  } else {
    token.qwBase = reinterpret_cast<uintptr_t>(heap_block);
  }
  std::strcpy(block, "child block");
  // Any process of this user may reach the block (needed where Yama allows
  // tracing only by ancestors and the receiver is not one).
  platform::AllowMemoryAccessFrom(0);

  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&token);
  for (size_t i = 0; i < sizeof(token); ++i) std::printf("%02x", bytes[i]);
  std::printf("\n");
  std::fflush(stdout);
  char line[64];
  if (!std::fgets(line, sizeof(line), stdin)) return 4;
  block[kSize - 1] = 0;
  std::printf("%s\n", block);
  return 0;
}
