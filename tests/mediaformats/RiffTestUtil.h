// Helpers of the chunk-layer tests: little-endian byte builders and files
// opened through the platform's file calls.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "foundation/WuString.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "tests/common/TestUtil.h"

namespace rifftest {

// Builds a byte string field by field, little-endian.
struct Bytes {
  std::string s;
  Bytes& Id(const char* four) {
    s.append(four, 4);
    return *this;
  }
  Bytes& U16(unsigned v) {
    for (int i = 0; i < 2; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
    return *this;
  }
  Bytes& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
    return *this;
  }
  Bytes& U64(uint64_t v) {
    for (int i = 0; i < 8; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
    return *this;
  }
  Bytes& Guid(const GUID& g) {
    U32(g.Data1).U16(g.Data2).U16(g.Data3);
    s.append(reinterpret_cast<const char*>(g.Data4), 8);
    return *this;
  }
  Bytes& Raw(const std::string& bytes) {
    s += bytes;
    return *this;
  }
  Bytes& Zeros(size_t n) {
    s.append(n, '\0');
    return *this;
  }
  // A chunk: id, size, data and the pad byte of an odd size.
  Bytes& Chunk(const char* four, const std::string& data) {
    Id(four).U32(static_cast<uint32_t>(data.size())).Raw(data);
    if (data.size() & 1) s.push_back('\0');
    return *this;
  }
  // A RIFF64 chunk: GUID, size counting the header, data, zeros to 8.
  Bytes& Chunk64(const GUID& id, const std::string& data) {
    Guid(id).U64(24 + data.size()).Raw(data);
    Zeros((8 - data.size() % 8) % 8);
    return *this;
  }
  size_t size() const { return s.size(); }
};

// A file in a fresh folder, open for reading and writing through the
// platform (closed with the object).
class TempFile {
 public:
  explicit TempFile(const std::string& bytes, DWORD access = GENERIC_READ | GENERIC_WRITE) {
    path_ = wutest::MakeTempDir("riff") + "/file.bin";
    wutest::WriteBytes(path_, bytes);
    handle_ = CreateFileW(Wide().c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                          nullptr);
    EXPECT_NE(handle_, INVALID_HANDLE_VALUE);
  }
  ~TempFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  HANDLE h() const { return handle_; }
  // Gives up the handle (the caller closes it).
  HANDLE Release() {
    HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return h;
  }
  const std::string& path() const { return path_; }
  std::u16string Wide() const { return wutest::U16(path_); }
  std::string Contents() const { return wutest::ReadBytes(path_); }
  LONGLONG Position() const { return WuSeekFile(handle_, 0, 0, FILE_CURRENT); }
  void Seek(LONGLONG position) const {
    WuSeekFile(handle_, static_cast<LONG>(position), static_cast<LONG>(position >> 32), FILE_BEGIN);
  }

 private:
  std::string path_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The u32 / u64 stored at an offset of a byte string.
inline uint32_t At32(const std::string& s, size_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s.at(offset + i));
  return v;
}
inline uint64_t At64(const std::string& s, size_t offset) {
  return At32(s, offset) | static_cast<uint64_t>(At32(s, offset + 4)) << 32;
}

}  // namespace rifftest
