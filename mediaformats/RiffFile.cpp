// File helpers shared by the RIFF and RIFF64 layers.
#include "mediaformats/RiffFile.h"

#include <algorithm>
#include <memory>
#include <new>

#include "foundation/WuString.h"
#include "mediaformats/RiffStatus.h"
#include "platform/kernel/files.h"

namespace rifffile {

namespace {

// Bytes moved per step of a tail move: large enough that the move runs at
// the speed of the disk, small enough to stay a modest allocation.
constexpr ULONGLONG kMoveBlock = 4u << 20;

// Largest position the platform accepts (a signed 64-bit file offset).
constexpr ULONGLONG kMaxPosition = 0x7FFFFFFFFFFFFFFFull;

LONG Low(ULONGLONG value) { return static_cast<LONG>(static_cast<DWORD>(value)); }
LONG High(ULONGLONG value) { return static_cast<LONG>(static_cast<DWORD>(value >> 32)); }

}  // namespace

HRESULT ReadExact(HANDLE file, void* buffer, DWORD count) {
  DWORD read = 0;
  if (!ReadFile(file, buffer, count, &read, nullptr) || read != count) return RIFF_E_READ;
  return S_OK;
}

HRESULT WriteExact(HANDLE file, const void* data, DWORD count) {
  DWORD written = 0;
  if (!WriteFile(file, data, count, &written, nullptr) || written != count) return RIFF_E_WRITE;
  return S_OK;
}

LONGLONG Tell(HANDLE file) { return WuSeekFile(file, 0, 0, FILE_CURRENT); }

bool SeekTo(HANDLE file, ULONGLONG position) {
  if (position > kMaxPosition) return false;
  return WuSeekFile(file, Low(position), High(position), FILE_BEGIN) >= 0;
}

void SkipForward(HANDLE file, ULONGLONG amount) {
  LONGLONG here = Tell(file);
  if (here < 0) return;
  ULONGLONG target = static_cast<ULONGLONG>(here) + amount;
  if (amount > kMaxPosition || target > kMaxPosition || !SeekTo(file, target))
    WuSeekFile(file, 0, 0, FILE_END);
}

LONGLONG Size(HANDLE file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return -1;
  return size.QuadPart;
}

bool CutAt(HANDLE file, ULONGLONG position) {
  return SeekTo(file, position) && SetEndOfFile(file);
}

ULONGLONG SpanRemoved(ULONGLONG span, ULONGLONG in_form) { return std::min(span, in_form); }

HRESULT MoveTailDown(HANDLE file, ULONGLONG destination, ULONGLONG source) {
  LONGLONG end = Size(file);
  if (end < 0) return RIFF_E_READ;
  ULONGLONG remaining = static_cast<ULONGLONG>(end) > source ? end - source : 0;
  if (remaining > 0) {
    ULONGLONG block = std::min(remaining, kMoveBlock);
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[block]);
    if (!buffer) return E_OUTOFMEMORY;
    while (remaining > 0) {
      DWORD step = static_cast<DWORD>(std::min(remaining, block));
      if (!SeekTo(file, source)) return RIFF_E_READ;
      if (HRESULT hr = ReadExact(file, buffer.get(), step); FAILED(hr)) return hr;
      if (!SeekTo(file, destination)) return RIFF_E_WRITE;
      if (HRESULT hr = WriteExact(file, buffer.get(), step); FAILED(hr)) return hr;
      source += step;
      destination += step;
      remaining -= step;
    }
  }
  if (!CutAt(file, destination)) return RIFF_E_WRITE;
  return S_OK;
}

}  // namespace rifffile
