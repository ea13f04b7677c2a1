// BSTR blocks: [u32 byte length][text][u16 zero], from the C heap. The
// length prefix sits directly before the text so that a BSTR can be passed
// wherever a zero-terminated text is expected.
#include "platform/com/oleauto.h"

#include <cstdlib>
#include <cstring>

#include "platform/com/bstr_failure_internal.h"

namespace {

constexpr UINT kMaxBytes = 0x7FFFFFF0u;  // keeps the block size inside 32 bits

// The header before the text: the byte length, padded so that the text
// keeps the C heap's alignment for WCHAR.
struct BstrHeader {
  uint32_t bytes;  // text bytes, terminator not counted
};

BstrHeader* HeaderOf(BSTR text) {
  return reinterpret_cast<BstrHeader*>(reinterpret_cast<char*>(text) - sizeof(BstrHeader));
}

// A block for `bytes` bytes of text plus two zero bytes; the text is copied
// from `data` when given, else zero-filled. NULL when too long or out of
// memory.
BSTR AllocBytes(const void* data, UINT bytes) {
  if (bytes > kMaxBytes) return nullptr;
  if (platform::ShouldFailBstrAllocation()) return nullptr;
  size_t total = sizeof(BstrHeader) + static_cast<size_t>(bytes) + sizeof(WCHAR) + 1;
  char* block = static_cast<char*>(std::malloc(total));
  if (!block) return nullptr;
  reinterpret_cast<BstrHeader*>(block)->bytes = bytes;
  char* text = block + sizeof(BstrHeader);
  if (data)
    std::memcpy(text, data, bytes);
  else
    std::memset(text, 0, bytes);
  // Zero terminator, also for odd byte lengths.
  std::memset(text + bytes, 0, sizeof(WCHAR) + 1);
  return reinterpret_cast<BSTR>(text);
}

UINT LengthOf(const OLECHAR* text) {
  UINT n = 0;
  while (text[n]) ++n;
  return n;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, LengthOf(text));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > kMaxBytes / sizeof(WCHAR)) return nullptr;
  return AllocBytes(text, length * static_cast<UINT>(sizeof(WCHAR)));
}

BSTR SysAllocStringByteLen(const char* data, UINT bytes) { return AllocBytes(data, bytes); }

INT SysReAllocString(BSTR* text, const OLECHAR* with) {
  if (!text) return FALSE;
  return SysReAllocStringLen(text, with, with ? LengthOf(with) : 0);
}

INT SysReAllocStringLen(BSTR* text, const OLECHAR* with, UINT length) {
  if (!text) return FALSE;
  // Copy first: `with` may point into the old text.
  BSTR fresh = SysAllocStringLen(with, length);
  if (!fresh) return FALSE;
  SysFreeString(*text);
  *text = fresh;
  return TRUE;
}

void SysFreeString(BSTR text) {
  if (text) std::free(HeaderOf(text));
}

UINT SysStringLen(BSTR text) { return text ? HeaderOf(text)->bytes / sizeof(WCHAR) : 0; }

UINT SysStringByteLen(BSTR text) { return text ? HeaderOf(text)->bytes : 0; }
