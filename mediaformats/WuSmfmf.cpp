// Flat metadata blocks: create, fill and read.
#include "mediaformats/WuSmfmf.h"

#include <cstring>

#include "mediaformats/RiffAllocData.h"
#include "mediaformats/RiffBytes.h"

namespace {

DWORD Field(const void* block, size_t offset) {
  return riffbytes::Get32(static_cast<const BYTE*>(block) + offset);
}
void PutField(void* block, size_t offset, DWORD value) {
  riffbytes::Put32(static_cast<BYTE*>(block) + offset, value);
}

// Writes the header and copies the payload (none for size 0).
void Fill(void* block, DWORD payload_size, const void* payload) {
  PutField(block, 0, payload_size + WUSMFMF_HEADER_SIZE);
  PutField(block, 4, WUSMFMF_BLOCK_VERSION);
  PutField(block, 8, WUSMFMF_STRUCT_VERSION);
  PutField(block, 12, payload_size);
  if (payload_size != 0)
    std::memcpy(static_cast<BYTE*>(block) + WUSMFMF_HEADER_SIZE, payload, payload_size);
}

}  // namespace

DWORD WuSmfmf_GetMetaSizeNeeded(DWORD payload_size) {
  if (payload_size > 0xFFFFFFFF - WUSMFMF_HEADER_SIZE) return 0;
  return payload_size + WUSMFMF_HEADER_SIZE;
}

void* WuSmfmf_CreateMeta(DWORD payload_size, const void* payload) {
  DWORD total = WuSmfmf_GetMetaSizeNeeded(payload_size);
  if (total == 0 || (payload == nullptr && payload_size != 0)) return nullptr;
  tRIFFALLOCDATA block = {total, nullptr};
  riffalloc::Fill(&block, [&](void* pointer, DWORD) {
    Fill(pointer, payload_size, payload);
    return S_OK;
  });
  return block.pData;
}

HRESULT WuSmfmf_SetMeta(void* block, DWORD payload_size, const void* payload) {
  if (block == nullptr || payload == nullptr || WuSmfmf_GetMetaSizeNeeded(payload_size) == 0)
    return E_INVALIDARG;
  Fill(block, payload_size, payload);
  return S_OK;
}

void* WuSmfmf_GetData(const void* block) {
  if (block == nullptr) return nullptr;
  DWORD size = Field(block, 12);
  // A payload that does not fit the block's own total size is damaged.
  if (size == 0 || static_cast<ULONGLONG>(size) + WUSMFMF_HEADER_SIZE > Field(block, 0)) return nullptr;
  return const_cast<BYTE*>(static_cast<const BYTE*>(block)) + WUSMFMF_HEADER_SIZE;
}

DWORD WuSmfmf_GetDataSize(const void* block) { return block ? Field(block, 12) : 0; }
DWORD WuSmfmf_GetTotalSize(const void* block) { return block ? Field(block, 0) : 0; }
DWORD WuSmfmf_GetSmfmfVersion(const void* block) { return block ? Field(block, 4) : 0; }
DWORD WuSmfmf_GetStructVersion(const void* block) { return block ? Field(block, 8) : 0; }
