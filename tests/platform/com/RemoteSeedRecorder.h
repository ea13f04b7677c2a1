// Records the messages a serving child receives as seeds of the message
// reader's fuzz target (tests/fuzz/FuzzComMessage.cpp), when the variable
// WU_COM_SEEDS names a folder: each message goes to a file named after its
// contents, as the target reads it (interface id, descriptor count, bytes).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "platform/com/remote.h"

namespace wutest {

inline void RecordSeed(const std::string& message, size_t descriptors, const IID* iid) {
  static const char* folder = std::getenv("WU_COM_SEEDS");
  if (!folder) return;
  std::string seed(sizeof(IID), '\0');
  if (iid) std::memcpy(seed.data(), iid, sizeof(IID));
  seed.push_back(static_cast<char>(descriptors));
  seed += message;
  char name[32];
  std::snprintf(name, sizeof name, "/seed-%016zx", std::hash<std::string>()(seed));
  std::ofstream(folder + std::string(name), std::ios::binary) << seed;
}

// Starts recording when WU_COM_SEEDS is set.
inline void RecordSeedsWhenAsked() {
  if (std::getenv("WU_COM_SEEDS")) platform::SetComMessageObserver(RecordSeed);
}

}  // namespace wutest
