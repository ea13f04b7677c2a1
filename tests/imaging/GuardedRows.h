// A source bitmap whose every row sits against an inaccessible page, so
// that a read past a row's end (or before its start) faults in every
// build, not only under the address sanitizer; and a runner that turns such
// a fault into the number of the case that caused it.
#pragma once

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "imaging/WuDib.h"

namespace wutest {

class GuardedDib {
 public:
  // Rows of `type`, `width` x `height` (bottom row first, one row per two
  // pages): with `guardAfter` each row ends where its page ends, else it
  // starts where its page starts; the pages between are inaccessible.
  // Bytes follow a fixed pattern (floats 0..1); palette types get `colors`
  // entries.
  GuardedDib(WUPIXELTYPE type, LONG width, LONG height, bool guardAfter, int colors,
             uint32_t seed)
      : header_(sizeof(BITMAPINFOHEADER) + 4 * WUDIB_MAX_COLORS) {
    std::vector<RGBQUAD> palette;
    for (int i = 0; i < colors; ++i)
      palette.push_back({static_cast<BYTE>(i * 37 + 11), static_cast<BYTE>(i * 91 + 3),
                         static_cast<BYTE>(i * 53 + 29), 0});
    ok_ = WuVideo_InitBitmapInfo(header(), type, width, height, colors ? palette.data() : nullptr,
                                 colors, nullptr) == S_OK;
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t rowBytes = (static_cast<size_t>(header()->biBitCount) * width + 7) / 8;
    ok_ = ok_ && rowBytes <= page_ && height > 0;
    if (!ok_) return;
    length_ = (2 * static_cast<size_t>(height) + 1) * page_;
    void* map = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ok_ = map != MAP_FAILED;
    if (!ok_) return;
    base_ = static_cast<BYTE*>(map);
    for (size_t p = 0; p < length_ / page_; p += 2)
      ok_ = ok_ && mprotect(base_ + p * page_, page_, PROT_NONE) == 0;
    rows_ = base_ + page_ + (guardAfter ? page_ - rowBytes : 0);
    uint32_t x = seed * 2654435761u + 12345u;
    for (LONG y = 0; y < height; ++y) {
      BYTE* row = rows_ + static_cast<size_t>(y) * stride();
      for (size_t i = 0; i < rowBytes; ++i) {
        x = x * 1664525u + 1013904223u;
        row[i] = static_cast<BYTE>(x >> 24);
      }
      if (header()->biBitCount == 128) {
        for (size_t i = 0; i < rowBytes / 4; ++i) {
          x = x * 1664525u + 1013904223u;
          const float f = static_cast<float>(x >> 8) / 16777216.0f;
          std::memcpy(row + 4 * i, &f, 4);
        }
      }
    }
  }
  ~GuardedDib() {
    if (base_ != nullptr) munmap(base_, length_);
  }
  GuardedDib(const GuardedDib&) = delete;
  GuardedDib& operator=(const GuardedDib&) = delete;

  bool ok() const { return ok_; }
  BITMAPINFOHEADER* header() { return reinterpret_cast<BITMAPINFOHEADER*>(header_.data()); }
  const BYTE* rows() const { return rows_; }
  LONG stride() const { return static_cast<LONG>(2 * page_); }

 private:
  std::vector<BYTE> header_;
  size_t page_ = 0;
  size_t length_ = 0;
  BYTE* base_ = nullptr;
  BYTE* rows_ = nullptr;
  bool ok_ = false;
};

// Runs body(0) .. body(count - 1) in a child process and answers the case
// during which the child died (a fault, or a sanitizer's report), or -1
// when every case ran.
inline int CaseThatFaults(int count, const std::function<void(int)>& body) {
  int fds[2];
  if (pipe(fds) != 0) return -2;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    for (int i = 0; i < count; ++i) {
      if (write(fds[1], &i, sizeof i) != sizeof i) _exit(3);
      body(i);
    }
    _exit(0);
  }
  close(fds[1]);
  int last = -2, i;
  while (read(fds[0], &i, sizeof i) == sizeof i) last = i;
  close(fds[0]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -2;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? -1 : last;
}

}  // namespace wutest
