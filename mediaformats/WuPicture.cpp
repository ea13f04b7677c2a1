// Picture blocks: create, fill and read.
#include "mediaformats/WuPicture.h"

#include <cstring>

#include "foundation/WuStatus.h"
#include "mediaformats/RiffAllocData.h"
#include "mediaformats/RiffBytes.h"

namespace {

DWORD Field(const void* block, size_t offset) {
  return riffbytes::Get32(static_cast<const BYTE*>(block) + offset);
}
void PutField(void* block, size_t offset, DWORD value) {
  riffbytes::Put32(static_cast<BYTE*>(block) + offset, value);
}

// Bytes of a text with its NUL; 0 for a null text.
ULONGLONG TextBytes(const WCHAR* text) {
  if (text == nullptr) return 0;
  ULONGLONG count = 0;
  while (text[count] != 0) ++count;
  return 2 * (count + 1);
}

ULONGLONG Needed(const WCHAR* mime_type, const WCHAR* description, DWORD data_size) {
  return WUPICTURE_HEADER_SIZE + TextBytes(mime_type) + TextBytes(description) + data_size;
}

// Writes the header and the three parts into a block of the needed size.
void Fill(void* block, _PICTUREMETADATATYPE_ type, const WCHAR* mime_type, const WCHAR* description,
          DWORD data_size, const void* data) {
  DWORD mime_bytes = static_cast<DWORD>(TextBytes(mime_type));
  DWORD description_bytes = static_cast<DWORD>(TextBytes(description));
  PutField(block, 0, WUPICTURE_HEADER_SIZE + mime_bytes + description_bytes + data_size);
  PutField(block, 4, WUPICTURE_STRUCT_VERSION);
  PutField(block, 8, type);
  PutField(block, 12, mime_bytes);
  PutField(block, 16, description_bytes);
  PutField(block, 20, data_size);
  BYTE* at = static_cast<BYTE*>(block) + WUPICTURE_HEADER_SIZE;
  if (mime_bytes) std::memcpy(at, mime_type, mime_bytes);
  at += mime_bytes;
  if (description_bytes) std::memcpy(at, description, description_bytes);
  at += description_bytes;
  if (data_size) std::memcpy(at, data, data_size);
}

// Where the part after `before` bytes of earlier parts begins and how long
// it is, or null when the block is null, the part is empty or it does not
// fit the block's total size.
const BYTE* Part(const void* block, ULONGLONG before, DWORD bytes) {
  if (block == nullptr || bytes == 0) return nullptr;
  if (WUPICTURE_HEADER_SIZE + before + bytes > Field(block, 0)) return nullptr;
  return static_cast<const BYTE*>(block) + WUPICTURE_HEADER_SIZE + before;
}

// A text part: whole UTF-16 characters ending in NUL, at an even offset.
const WCHAR* Text(const void* block, ULONGLONG before, DWORD bytes) {
  if (bytes % 2 != 0 || before % 2 != 0) return nullptr;
  const BYTE* p = Part(block, before, bytes);
  if (p == nullptr || p[bytes - 2] != 0 || p[bytes - 1] != 0) return nullptr;
  return reinterpret_cast<const WCHAR*>(p);
}

}  // namespace

DWORD WuPicture_GetMetaSizeNeeded(const WCHAR* mime_type, const WCHAR* description, DWORD data_size) {
  ULONGLONG needed = Needed(mime_type, description, data_size);
  return needed > 0xFFFFFFFF ? 0 : static_cast<DWORD>(needed);
}

void* WuPicture_CreateMeta(_PICTUREMETADATATYPE_ type, const WCHAR* mime_type,
                           const WCHAR* description, DWORD data_size, const void* data) {
  DWORD needed = WuPicture_GetMetaSizeNeeded(mime_type, description, data_size);
  if (needed == 0 || (data == nullptr && data_size != 0)) return nullptr;
  tRIFFALLOCDATA block = {needed, nullptr};
  riffalloc::Fill(&block, [&](void* pointer, DWORD) {
    Fill(pointer, type, mime_type, description, data_size, data);
    return S_OK;
  });
  return block.pData;
}

HRESULT WuPicture_SetMeta(void* block, DWORD capacity, _PICTUREMETADATATYPE_ type,
                          const WCHAR* mime_type, const WCHAR* description, DWORD data_size,
                          const void* data) {
  if (block == nullptr || capacity == 0 || (data == nullptr && data_size != 0)) return E_INVALIDARG;
  ULONGLONG needed = Needed(mime_type, description, data_size);
  if (needed > 0xFFFFFFFF) return E_INVALIDARG;
  if (capacity != WUPICTURE_CAPACITY_UNCHECKED && capacity < needed) return WU_E_BUFFER_TOO_SMALL;
  Fill(block, type, mime_type, description, data_size, data);
  return S_OK;
}

const WCHAR* WuPicture_GetMimeType(const void* block) {
  return block ? Text(block, 0, Field(block, 12)) : nullptr;
}

const WCHAR* WuPicture_GetDescription(const void* block) {
  if (block == nullptr) return nullptr;
  return Text(block, Field(block, 12), Field(block, 16));
}

const void* WuPicture_GetPictureData(const void* block) {
  if (block == nullptr) return nullptr;
  return Part(block, static_cast<ULONGLONG>(Field(block, 12)) + Field(block, 16), Field(block, 20));
}

_PICTUREMETADATATYPE_ WuPicture_GetPictureType(const void* block) {
  if (WuPicture_GetPictureData(block) == nullptr) return PICTUREMETADATATYPE_NONE;
  return static_cast<_PICTUREMETADATATYPE_>(Field(block, 8));
}

DWORD WuPicture_GetMimeTypeByteCount(const void* block) { return block ? Field(block, 12) : 0; }
DWORD WuPicture_GetDescriptionByteCount(const void* block) { return block ? Field(block, 16) : 0; }
DWORD WuPicture_GetPictureDataSize(const void* block) { return block ? Field(block, 20) : 0; }
DWORD WuPicture_GetPictureTotalSize(const void* block) { return block ? Field(block, 0) : 0; }
DWORD WuPicture_GetStructVersion(const void* block) { return block ? Field(block, 4) : 0; }
