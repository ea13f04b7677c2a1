// Small helpers shared by the sources of fileio.
#include "fileio/WuFioCommon.h"

#include <cstring>

#include "foundation/WuStatus.h"
#include "foundation/WuString.h"

bool WuFio_AppendText(LPWSTR out, DWORD size, DWORD* at, LPCWSTR text) {
  const DWORD length = static_cast<DWORD>(WuStrLenSafe(text));
  const DWORD room = *at + 1 < size ? size - *at - 1 : 0;
  const DWORD copied = length < room ? length : room;
  if (copied) std::memcpy(out + *at, text, 2 * static_cast<size_t>(copied));
  *at += copied;
  if (*at < size) out[*at] = 0;
  return copied == length;
}

HRESULT WuFio_ReadExact(IStream* stream, void* buffer, DWORD bytes) {
  if (bytes == 0) return S_OK;
  ULONG got = 0;
  const HRESULT hr = stream->Read(buffer, bytes, &got);
  return SUCCEEDED(hr) && got == bytes ? S_OK : WU_E_BAD_DATA;
}
