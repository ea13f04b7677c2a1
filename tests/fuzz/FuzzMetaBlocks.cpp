// Fuzz target of the metadata and picture block getters: the input is a
// block, held in memory of exactly its size, with its stored total size
// cut to that size (the total is the block's own promise about its
// memory). Every getter must point inside the block, texts must end in NUL
// inside it, and blocks made from the input must read back what went in.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "mediaformats/RiffBytes.h"
#include "mediaformats/WuPicture.h"
#include "mediaformats/WuSmfmf.h"
#include "platform/kernel/memory.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void Inside(const BYTE* block, DWORD total, const void* part, ULONGLONG bytes, const char* what) {
  if (part == nullptr) return;
  const BYTE* p = static_cast<const BYTE*>(part);
  if (p < block + 16 || static_cast<ULONGLONG>(p - block) + bytes > total) wufuzz::Fail("a part outside the block", what);
}

void Release(void* block) {
  HGLOBAL handle = GlobalHandle(block);
  GlobalUnlock(handle);
  GlobalFree(handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 24 || size > 0x100000) return 0;
  DWORD n = static_cast<DWORD>(size);
  std::unique_ptr<BYTE[]> block(new BYTE[n]);
  std::memcpy(block.get(), data, n);
  if (riffbytes::Get32(block.get()) > n) riffbytes::Put32(block.get(), n);
  const DWORD total = riffbytes::Get32(block.get());
  size_t blocks = platform::LiveGlobalBlockCount();

  // As a flat metadata block.
  Inside(block.get(), total, WuSmfmf_GetData(block.get()), WuSmfmf_GetDataSize(block.get()), "smfmf data");

  // As a picture block.
  const WCHAR* mime = WuPicture_GetMimeType(block.get());
  const WCHAR* description = WuPicture_GetDescription(block.get());
  Inside(block.get(), total, mime, WuPicture_GetMimeTypeByteCount(block.get()), "mime");
  Inside(block.get(), total, description, WuPicture_GetDescriptionByteCount(block.get()), "description");
  for (const WCHAR* text : {mime, description}) {
    if (text == nullptr) continue;
    size_t i = 0;
    while (text[i] != 0) ++i;  // must end inside the block
    Inside(block.get(), total, text, 2 * (i + 1), "text end");
  }
  const void* picture = WuPicture_GetPictureData(block.get());
  Inside(block.get(), total, picture, WuPicture_GetPictureDataSize(block.get()), "picture");
  if (picture == nullptr && WuPicture_GetPictureType(block.get()) != PICTUREMETADATATYPE_NONE)
    wufuzz::Fail("a picture type without picture bytes", "picture");

  // Blocks made from the input read back what went in.
  DWORD payload = n - 24;
  void* flat = WuSmfmf_CreateMeta(payload, block.get() + 24);
  if (flat == nullptr) wufuzz::Fail("no flat block", "create");
  if (WuSmfmf_GetDataSize(flat) != payload ||
      (payload && std::memcmp(WuSmfmf_GetData(flat), block.get() + 24, payload) != 0))
    wufuzz::Fail("flat block differs", "create");
  Release(flat);
  std::u16string text;
  for (DWORD i = 24; i + 1 < n && i < 88; i += 2) {
    char16_t c = static_cast<char16_t>(block[i] | block[i + 1] << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  void* made = WuPicture_CreateMeta(PICTUREMETADATATYPE_MEDIA, text.c_str(), nullptr, payload, block.get() + 24);
  if (made == nullptr) wufuzz::Fail("no picture block", "create");
  if (std::u16string(WuPicture_GetMimeType(made)) != text || WuPicture_GetPictureDataSize(made) != payload ||
      (payload && std::memcmp(WuPicture_GetPictureData(made), block.get() + 24, payload) != 0))
    wufuzz::Fail("picture block differs", "create");
  Release(made);
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a data block leaked", "blocks");
  return 0;
}
