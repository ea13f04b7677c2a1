// Big-endian byte builders for AIFF files in the tests.
#pragma once

#include <cstdint>
#include <string>

#include "mediaformats/Iff.h"

namespace ifftest {

struct BeBytes {
  std::string s;
  BeBytes& Id(const char* four) {
    s.append(four, 4);
    return *this;
  }
  BeBytes& U16(unsigned v) {
    s.push_back(static_cast<char>(v >> 8));
    s.push_back(static_cast<char>(v));
    return *this;
  }
  BeBytes& U32(uint32_t v) {
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>(v >> (8 * i)));
    return *this;
  }
  BeBytes& Raw(const std::string& bytes) {
    s += bytes;
    return *this;
  }
  BeBytes& Zeros(size_t n) {
    s.append(n, '\0');
    return *this;
  }
  // id, size, body and the pad byte of an odd size.
  BeBytes& Chunk(const char* four, const std::string& body) {
    Id(four).U32(static_cast<uint32_t>(body.size())).Raw(body);
    if (body.size() & 1) s.push_back('\0');
    return *this;
  }
};

// The 80-bit rate as stored.
inline std::string Rate80(DWORD rate) {
  WORD e;
  WORD m[4];
  aiff_CreateRate(rate, &e, m);
  return BeBytes().U16(e).U16(m[0]).U16(m[1]).U16(m[2]).U16(m[3]).s;
}

// A "COMM" body; `compression` (AIFF-C) adds the type and an empty name.
inline std::string Comm(unsigned channels, uint32_t frames, unsigned bits, DWORD rate,
                        const char* compression = nullptr) {
  BeBytes b;
  b.U16(channels).U32(frames).U16(bits).Raw(Rate80(rate));
  if (compression) b.Id(compression).U16(0);
  return b.s;
}

// A "SSND" body: offset, block size 0, the offset's bytes, then `data`.
inline std::string Ssnd(uint32_t offset, const std::string& data) {
  return BeBytes().U32(offset).U32(0).Zeros(offset).Raw(data).s;
}

// A whole form of the given type around its chunks.
inline std::string Form(const char* type, const std::string& chunks) {
  return BeBytes().Id("FORM").U32(static_cast<uint32_t>(4 + chunks.size())).Id(type).Raw(chunks).s;
}

}  // namespace ifftest
