// RIFF on files: ANSI string chunk bodies (INFO texts and the like).
#include "mediaformats/Riff.h"

#include <algorithm>
#include <memory>
#include <new>

#include "mediaformats/RiffFile.h"
#include "platform/kernel/locale.h"

DWORD riff_AnsiByteLength(LPCWSTR text) {
  if (!text || !*text) return 0;
  int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  return bytes > 0 ? static_cast<DWORD>(bytes - 1) : 0;
}

HRESULT riff_WriteANSIString(HANDLE file, LPCWSTR text, DWORD* written) {
  if (written) *written = 0;
  DWORD length = riff_AnsiByteLength(text);
  // The text, its terminator and the pad byte when that count is odd.
  DWORD total = length + 1 + ((length + 1) & 1);
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[total]());
  if (!bytes) return E_OUTOFMEMORY;
  if (length > 0 &&
      WideCharToMultiByte(CP_ACP, 0, text, -1, bytes.get(), static_cast<int>(length + 1),
                          nullptr, nullptr) <= 0)
    return E_FAIL;
  bytes[length] = 0;
  if (HRESULT hr = rifffile::WriteExact(file, bytes.get(), total); FAILED(hr)) return hr;
  if (written) *written = total;
  return S_OK;
}

HRESULT riff_ReadANSIString(HANDLE file, LPWSTR buffer, DWORD buffer_chars, DWORD* string_size) {
  if (!buffer || !string_size) return E_INVALIDARG;
  LONGLONG start = rifffile::Tell(file);
  if (start < 0) return RIFF_E_READ;
  DWORD stored = *string_size;
  // Room for the text and its terminator: a string stored without one
  // keeps its last character, and a buffer of 0 characters gets nothing.
  DWORD count = buffer_chars == 0 ? 0 : std::min(stored, buffer_chars - 1);
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[static_cast<size_t>(count) + 1]);
  if (!bytes) return E_OUTOFMEMORY;
  if (HRESULT hr = rifffile::ReadExact(file, bytes.get(), count); FAILED(hr)) return hr;
  bytes[count] = 0;
  if (buffer_chars > 0) {
    buffer[0] = 0;
    if (count > 0) {
      int chars = MultiByteToWideChar(CP_ACP, 0, bytes.get(), -1, buffer,
                                      static_cast<int>(std::min<DWORD>(buffer_chars, 0x7FFFFFFF)));
      if (chars <= 0) buffer[0] = 0;
    }
    buffer[buffer_chars - 1] = 0;
  }
  rifffile::SeekTo(file, static_cast<ULONGLONG>(start) + riffbytes::PadEven(stored));
  *string_size = stored + 1;
  return S_OK;
}
