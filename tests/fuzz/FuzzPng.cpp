// Fuzz target of the PNG reader: the input is decoded from memory into a
// bitmap block, which is then released; a failed decode must leave no
// bitmap behind.
#include <cstdint>

#include "imaging/WuDib.h"
#include "imaging/WuPngRead.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  wufuzz::Root();
  BITMAPINFOHEADER* bitmap = nullptr;
  HRESULT hr = WuDibFromPng(&bitmap, data, static_cast<LONG>(size));
  if (FAILED(hr) && bitmap) wufuzz::Fail("bitmap left after a failure", "WuDibFromPng");
  if (SUCCEEDED(hr)) {
    if (!bitmap) wufuzz::Fail("no bitmap after success", "WuDibFromPng");
    // Touch every byte of the pixel rows the header claims.
    const BYTE* rows = WuDibGetBits(bitmap);
    DWORD bytes = bitmap->biSizeImage;
    volatile BYTE sum = 0;
    for (DWORD i = 0; rows && i < bytes; ++i) sum = static_cast<BYTE>(sum + rows[i]);
    WuDibFree(bitmap, 0);
  }
  return 0;
}
