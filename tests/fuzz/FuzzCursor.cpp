// Fuzz target of the cursor loaders: the input is handed to the loader of
// cursor bytes as a "gcur" container, a cursor resource or a .cur file
// would be, with the display's choice and with the first directory
// entries; every cursor made is destroyed again.
#include <cstdint>

#include "foundation/WuUICursor.h"
#include "platform/gdi/gdi.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wufuzz::Root();
  const DWORD length = static_cast<DWORD>(size);
  IsWuGroupCursorPtr(data, length);
  IsLikelyCursorRESPtr(data, length);
  IsLikelyCursorFilePtr(data, length);
  for (int index = -1; index < 3; ++index) {
    HCURSOR cursor = WuLoadCursorFromBits(data, length, index, 0);
    if (cursor) DestroyCursor(cursor);
  }
  return 0;
}
