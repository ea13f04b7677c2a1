// A read-only stream over bytes for the template tests: it notes the
// largest Read request (a reader that trusts a stored length asks for it)
// and can fail every Read from a given offset on.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/com/com.h"

namespace fio_test {

class TestByteStream final : public IStream {
 public:
  explicit TestByteStream(std::vector<BYTE> bytes) : bytes_(std::move(bytes)) {}
  virtual ~TestByteStream() = default;

  HRESULT QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }   // lives on the caller's stack
  ULONG Release() override { return 1; }
  HRESULT Read(void* buffer, ULONG bytes, ULONG* read) override {
    largestRead = std::max(largestRead, bytes);
    if (read) *read = 0;
    if (position_ >= failFrom) return E_FAIL;
    size_t n = std::min<size_t>(bytes, bytes_.size() - std::min(position_, bytes_.size()));
    if (n) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    if (read) *read = static_cast<ULONG>(n);
    return S_OK;
  }
  HRESULT Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    long long base = origin == STREAM_SEEK_SET   ? 0
                     : origin == STREAM_SEEK_CUR ? static_cast<long long>(position_)
                                                 : static_cast<long long>(bytes_.size());
    long long at = base + move.QuadPart;
    if (at < 0) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<size_t>(at);
    if (position) position->QuadPart = position_;
    return S_OK;
  }
  HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }

  ULONG largestRead = 0;       // the largest Read request so far
  size_t failFrom = ~size_t{0}; // Reads at or after this offset fail

 private:
  std::vector<BYTE> bytes_;
  size_t position_ = 0;
};

}  // namespace fio_test
