// Flat metadata blocks: one contiguous, self-sized piece of memory that
// wraps an opaque byte payload, to hand across module boundaries or store
// as is. Little-endian layout:
//   0   total size in bytes (payload size + 16)
//   4   block version, always 0x00010041
//   8   structure version, always 2
//   12  payload size in bytes
//   16  the payload
// Accessors take the block as an untyped pointer and read a null block as
// empty. A block whose payload size does not fit its total size is damaged:
// its payload reads as absent.
#pragma once

#include "platform/kernel/types.h"

constexpr DWORD WUSMFMF_HEADER_SIZE = 16;
constexpr DWORD WUSMFMF_BLOCK_VERSION = 0x00010041;
constexpr DWORD WUSMFMF_STRUCT_VERSION = 2;

// payload size + 16; 0 when that does not fit in 32 bits.
DWORD WuSmfmf_GetMetaSizeNeeded(DWORD payload_size);
// A new block holding a copy of the payload (nothing copied for size 0), in
// zero-filled movable global memory, returned locked: its holder unlocks
// and frees it. Null when memory runs out, or when the payload is null with
// a non-zero size.
void* WuSmfmf_CreateMeta(DWORD payload_size, const void* payload);
// Writes the header and the payload into a caller's block of at least
// WuSmfmf_GetMetaSizeNeeded(payload_size) bytes. E_INVALIDARG for a null
// block or payload (also with size 0), or a size with no room for it.
HRESULT WuSmfmf_SetMeta(void* block, DWORD payload_size, const void* payload);

// The payload, or null for a null block, a payload size of 0 or a damaged
// block.
void* WuSmfmf_GetData(const void* block);
// The header fields; 0 for a null block.
DWORD WuSmfmf_GetDataSize(const void* block);
DWORD WuSmfmf_GetTotalSize(const void* block);
DWORD WuSmfmf_GetSmfmfVersion(const void* block);
DWORD WuSmfmf_GetStructVersion(const void* block);
