// Locked movable global blocks of the metadata collections (internal to the
// media formats): texts and arrays of the INFO summary, the display list and
// the tagged field list.
#pragma once

#include <cstring>

#include "foundation/WuString.h"
#include "mediaformats/RiffAllocData.h"
#include "platform/kernel/memory.h"

namespace wublock {

// A zero-filled locked block of `bytes` (at least one byte), or null.
inline void* Alloc(size_t bytes) {
  HGLOBAL block = GlobalAlloc(GHND, bytes ? bytes : 1);
  if (!block) return nullptr;
  void* pointer = GlobalLock(block);
  if (!pointer) GlobalFree(block);
  return pointer;
}

// Unlocks and frees a block from Alloc; null is ignored.
inline void Free(void* pointer) { riffalloc::Release(pointer); }

// A block of `bytes` holding the first `keep` bytes of `old` (which is
// freed on success and kept on failure), or null.
inline void* Resize(void* old, size_t keep, size_t bytes) {
  void* fresh = Alloc(bytes);
  if (!fresh) return nullptr;
  if (old && keep) std::memcpy(fresh, old, keep);
  Free(old);
  return fresh;
}

// A copy of a wide text in its own block; null for a null text or when
// memory runs out (tell them apart by the source).
inline LPWSTR DupText(LPCWSTR text) {
  if (!text) return nullptr;
  size_t chars = static_cast<size_t>(WuStrLenSafe(text)) + 1;
  auto* copy = static_cast<LPWSTR>(Alloc(chars * sizeof(WCHAR)));
  if (copy) std::memcpy(copy, text, chars * sizeof(WCHAR));
  return copy;
}

}  // namespace wublock
