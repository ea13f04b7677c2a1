// The benchmark payload shared by the archive and package benchmarks: a
// mix of about half incompressible data, 30% log-like text and some 3,000
// small files (1 to 26 KB) in 30 folders, made the same way on every run.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace wubench {

struct PayloadFile {
  std::string path;  // relative to the payload folder
  std::string data;  // contents
};

// Incompressible bytes (xorshift), the same for the same seed.
inline std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  uint64_t x = 0x9E3779B97F4A7C15ULL * (seed + 1);
  for (size_t i = 0; i + 8 <= n; i += 8) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    for (int b = 0; b < 8; ++b) s[i + b] = static_cast<char>(x >> (8 * b));
  }
  return s;
}

// Log-like text: repetitive structure with varying numbers (deflates ~4-6x).
inline std::string LogText(size_t n, uint32_t seed) {
  static const char* words[] = {"request", "handled", "cache", "miss", "user", "session",
                                "update", "commit", "index", "query", "timeout", "retry"};
  std::string s;
  s.reserve(n + 128);
  uint32_t x = seed * 2654435761u + 12345;
  char line[160];
  while (s.size() < n) {
    x = x * 1664525u + 1013904223u;
    std::snprintf(line, sizeof line, "2024-05-%02u 12:%02u:%02u.%03u INFO %s %s id=%u took %ums\n",
                  1 + (x >> 27), (x >> 20) % 60, (x >> 14) % 60, (x >> 4) % 1000,
                  words[(x >> 8) % 12], words[(x >> 12) % 12], x % 100000, (x >> 16) % 5000);
    s += line;
  }
  s.resize(n);
  return s;
}

// The payload of about `megabytes` MB.
inline std::vector<PayloadFile> MakePayload(double megabytes) {
  std::vector<PayloadFile> files;
  const size_t mb = 1 << 20;
  size_t total = static_cast<size_t>(megabytes * mb);
  size_t noise = total / 2, text = total * 3 / 10, small = total - noise - text;
  for (int i = 0; i < 4; ++i) files.push_back({"media/blob" + std::to_string(i) + ".bin", Noise(noise / 4, i)});
  for (int i = 0; i < 4; ++i) files.push_back({"logs/app" + std::to_string(i) + ".log", LogText(text / 4, i)});
  // About 3,000 small files in 30 folders, 1 to 26 KB, half text, half noise.
  size_t count = std::max<size_t>(30, small / (13 * 1024));
  for (size_t i = 0; i < count; ++i) {
    size_t size = 1024 + (i * 7919) % (25 * 1024);
    std::string name = "small/d" + std::to_string(i % 30) + "/f" + std::to_string(i) +
                       (i % 2 ? ".txt" : ".dat");
    files.push_back({name, i % 2 ? LogText(size, static_cast<uint32_t>(i)) : Noise(size, static_cast<uint32_t>(i))});
  }
  return files;
}

}  // namespace wubench
