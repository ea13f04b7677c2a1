// Tools of the interoperability tests: finding a program on PATH, and
// what soxi and libsndfile say of a file (rate, channels, frames).
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#if WU_HAVE_SNDFILE
#include <sndfile.h>
#endif

namespace interop {

struct AudioFacts {
  long long rate = 0;
  long long channels = 0;
  long long frames = 0;
};

// The tool's full path on PATH, or empty.
inline std::string FindTool(const char* name) {
  const char* path = getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

// The first line that `command` prints, or empty.
inline std::string FirstLine(const std::string& command) {
  std::string line;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    if (fgets(buffer, sizeof buffer, pipe)) line = buffer;
    pclose(pipe);
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

// What soxi says of a file: rate (-r), channels (-c) and samples per
// channel (-s).
inline AudioFacts Soxi(const std::string& soxi, const std::string& path) {
  AudioFacts facts;
  facts.rate = atoll(FirstLine(soxi + " -r '" + path + "' 2>/dev/null").c_str());
  facts.channels = atoll(FirstLine(soxi + " -c '" + path + "' 2>/dev/null").c_str());
  facts.frames = atoll(FirstLine(soxi + " -s '" + path + "' 2>/dev/null").c_str());
  return facts;
}

#if WU_HAVE_SNDFILE
inline AudioFacts Sndfile(const std::string& path) {
  AudioFacts facts;
  SF_INFO info = {};
  if (SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info)) {
    facts = {info.samplerate, info.channels, static_cast<long long>(info.frames)};
    sf_close(file);
  }
  return facts;
}
#endif

}  // namespace interop
