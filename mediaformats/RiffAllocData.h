// The block of riff_ReadDataAlloc and mriff_ReadDataAlloc, shared by both
// (internal to the media formats).
#pragma once

#include "mediaformats/Riff.h"
#include "platform/kernel/memory.h"

namespace riffalloc {

// Unlocks and frees a block from Fill.
inline void Release(void* data) {
  if (!data) return;
  HGLOBAL block = GlobalHandle(data);
  GlobalUnlock(block);
  GlobalFree(block);
}

// Allocates data->cbData zero-filled bytes of locked movable global memory
// and fills them with read(pointer, count). A count of 0 gives a null
// pointer; on any failure the block is released and the pointer is null.
template <class Read>
HRESULT Fill(tRIFFALLOCDATA* data, Read read) {
  if (!data) return E_INVALIDARG;
  data->pData = nullptr;
  if (data->cbData == 0) return S_OK;
  HGLOBAL block = GlobalAlloc(GHND, data->cbData);
  void* pointer = block ? GlobalLock(block) : nullptr;
  if (!pointer) {
    if (block) GlobalFree(block);
    return E_OUTOFMEMORY;
  }
  HRESULT hr = read(pointer, data->cbData);
  if (FAILED(hr)) {
    GlobalUnlock(block);
    GlobalFree(block);
    return hr;
  }
  data->pData = pointer;
  return hr;
}

}  // namespace riffalloc
