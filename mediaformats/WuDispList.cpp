// The display list in memory, in RIFF and RIFF64 files and from streams.
#include "mediaformats/WuDispList.h"

#include <cstring>
#include <new>
#include <vector>

#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/WuFileBound.h"
#include "mediaformats/WuGlobalBlock.h"

WuDispList* displist_Create() {
  auto* list = new (std::nothrow) WuDispList{};
  if (!list) return nullptr;
  list->items = new (std::nothrow) WuDispItem[2]{};
  if (!list->items) {
    delete list;
    return nullptr;
  }
  list->count = 2;
  list->items[0].id = kDispText;
  list->items[1].id = kDispBitmap;
  return list;
}

void displist_Destroy(WuDispList* list) {
  if (!list) return;
  displist_Free(list);
  delete[] list->items;
  delete list;
}

HRESULT displist_Free(WuDispList* list) {
  if (!list || !list->items) return S_OK;
  for (DWORD i = 0; i < list->count; ++i) {
    wublock::Free(list->items[i].data);
    list->items[i].data = nullptr;
  }
  return S_OK;
}

WuDispItem* displist_GetItem(WuDispList* list, DWORD id) {
  if (!list || !list->items) return nullptr;
  for (DWORD i = 0; i < list->count; ++i)
    if (list->items[i].id == id) return &list->items[i];
  return nullptr;
}

namespace {

// Replaces an item's data with a new zero-filled block of `size` bytes.
void* NewData(WuDispItem* item, DWORD size) {
  void* block = wublock::Alloc(size);
  if (!block) return nullptr;
  wublock::Free(item->data);
  item->data = block;
  item->size = size;
  return block;
}

}  // namespace

HRESULT displist_SetItem(WuDispList* list, DWORD id, DWORD size, const void* data) {
  if (!list || list->count == 0) return -1;
  WuDispItem* item = displist_GetItem(list, id);
  if (!item) return -1;
  if (data && size) {
    void* block = NewData(item, size);
    if (!block) return -1;
    std::memcpy(block, data, size);
    return S_OK;
  }
  wublock::Free(item->data);
  item->data = nullptr;
  item->size = 0;
  return S_OK;
}

namespace {

// The id and data of one item, as both chunk forms hold them.
std::vector<BYTE> Body(const WuDispItem& item) {
  std::vector<BYTE> body(4 + static_cast<size_t>(item.size));
  riffbytes::Put32(body.data(), item.id);
  std::memcpy(body.data() + 4, item.data, item.size);
  return body;
}

bool HasData(const WuDispItem& item) { return item.data && item.size; }

}  // namespace

HRESULT displist_Save(HANDLE file, const WuDispList* list, DWORD* written) {
  if (written) *written = 0;
  if (!list || !list->items) return S_OK;
  DWORD total = 0;
  for (DWORD i = 0; i < list->count; ++i) {
    const WuDispItem& item = list->items[i];
    // A chunk's size field cannot count more than 32 bits.
    if (!HasData(item) || item.size > kRiffMaxFormSize - 4) continue;
    std::vector<BYTE> body = Body(item);
    DWORD chunk = 0;
    HRESULT hr = riff_WriteChunk(file, kDispChunk, body.data(), static_cast<DWORD>(body.size()), &chunk);
    if (FAILED(hr)) return hr;
    total += chunk;
    if (written) *written = total;
  }
  return S_OK;
}

HRESULT displist64_Save(HANDLE file, const WuDispList* list, ULONGLONG* written) {
  if (written) *written = 0;
  if (!list || !list->items) return S_OK;
  ULONGLONG total = 0;
  for (DWORD i = 0; i < list->count; ++i) {
    const WuDispItem& item = list->items[i];
    if (!HasData(item)) continue;
    std::vector<BYTE> body = Body(item);
    // The stored size counts the padding too.
    ULONGLONG data_size = riffbytes::Pad8(body.size());
    body.resize(data_size);
    HRESULT hr = riff64_WriteChunkHeader(file, kRiff64GuidDisp, data_size);
    if (SUCCEEDED(hr)) hr = riff64_WriteToFile(file, body.data(), data_size);
    if (FAILED(hr)) return RIFF_E_WRITE;
    total += data_size + kRiff64HeaderBytes;
    if (written) *written = total;
  }
  return S_OK;
}

namespace {

// One known item's data of `size` bytes from the file.
HRESULT ReadItem(HANDLE file, WuDispItem* item, DWORD size) {
  void* block = wublock::Alloc(size);
  if (!block) return E_OUTOFMEMORY;
  HRESULT hr = rifffile::ReadExact(file, block, size);
  if (FAILED(hr)) {
    wublock::Free(block);
    return hr;
  }
  wublock::Free(item->data);
  item->data = block;
  item->size = size;
  return S_OK;
}

}  // namespace

HRESULT displist_Load(HANDLE file, WuDispList* list, DWORD* bytes_left) {
  if (!list || list->count == 0 || !list->items) return S_OK;
  if (!bytes_left) return E_INVALIDARG;
  DWORD start = 0;
  HRESULT hr = riff_SaveLocation(file, &start);
  if (FAILED(hr)) return hr;
  while (*bytes_left >= 8) {
    FOURCC id = 0;
    DWORD size = 0;
    hr = riff_ReadChunkHeader(file, &id, &size);
    if (FAILED(hr)) break;
    *bytes_left -= 8;
    ULONGLONG padded = riffbytes::PadEven(size);
    ULONGLONG here = static_cast<ULONGLONG>(rifffile::Tell(file));
    if (id == kDispChunk && size >= 4) {
      BYTE field[4];
      hr = rifffile::ReadExact(file, field, 4);
      if (FAILED(hr)) break;
      WuDispItem* item = displist_GetItem(list, riffbytes::Get32(field));
      // The data must lie inside the range: a size beyond it is never
      // allocated.
      if (item && size > 4) {
        if (size > *bytes_left || !wubound::FitsInFile(file, size - 4)) {
          hr = RIFF_E_READ;
          break;
        }
        hr = ReadItem(file, item, size - 4);
        if (FAILED(hr)) break;
      }
    }
    // Every chunk, read or not, ends at its padded size: a "DISP" chunk too
    // small for its id is skipped unread.
    rifffile::SeekTo(file, here + padded);
    *bytes_left -= static_cast<DWORD>(padded < *bytes_left ? padded : *bytes_left);
  }
  riff_RestoreLocation(file, start);
  if (FAILED(hr)) displist_Free(list);
  return hr;
}

HRESULT displist64_Load(HANDLE file, WuDispList* list, ULONGLONG* bytes_left) {
  if (!list || list->count == 0 || !list->items) return S_OK;
  if (!bytes_left) return E_INVALIDARG;
  ULONGLONG start = 0;
  HRESULT hr = riff64_SaveLocation(file, &start);
  if (FAILED(hr)) return hr;
  while (*bytes_left >= kRiff64HeaderBytes) {
    GUID id{};
    ULONGLONG size = 0;
    hr = riff64_ReadChunkHeader(file, &id, &size);
    if (FAILED(hr)) break;
    *bytes_left -= kRiff64HeaderBytes;
    ULONGLONG padded = riffbytes::Pad8(size);
    ULONGLONG here = static_cast<ULONGLONG>(rifffile::Tell(file));
    if (IsEqualGUID(id, kRiff64GuidDisp) && size >= 4) {
      BYTE field[4];
      hr = rifffile::ReadExact(file, field, 4);
      if (FAILED(hr)) break;
      WuDispItem* item = displist_GetItem(list, riffbytes::Get32(field));
      if (item && size > 4) {
        if (size > *bytes_left || size - 4 > 0xFFFFFFFFULL || !wubound::FitsInFile(file, size - 4)) {
          hr = RIFF_E_READ;
          break;
        }
        hr = ReadItem(file, item, static_cast<DWORD>(size - 4));
        if (FAILED(hr)) break;
      }
    }
    rifffile::SeekTo(file, here + padded);
    *bytes_left -= padded < *bytes_left ? padded : *bytes_left;
  }
  riff64_RestoreLocation(file, static_cast<DWORD>(start), static_cast<LONG>(start >> 32));
  if (FAILED(hr)) displist_Free(list);
  return hr;
}

namespace {

// Reads exactly `count` bytes; false on a failed or short read.
bool ReadStream(ISequentialStream* stream, void* buffer, ULONG count) {
  ULONG read = 0;
  return SUCCEEDED(stream->Read(buffer, count, &read)) && read == count;
}

// Reads `size` bytes in pieces, so that memory grows only with what the
// stream really holds; false when it runs short.
bool ReadGrowing(ISequentialStream* stream, DWORD size, std::vector<BYTE>* out) {
  constexpr DWORD kPiece = 1 << 20;
  out->clear();
  while (out->size() < size) {
    DWORD piece = static_cast<DWORD>(std::min<size_t>(kPiece, size - out->size()));
    size_t at = out->size();
    out->resize(at + piece);
    ULONG read = 0;
    if (FAILED(stream->Read(out->data() + at, piece, &read)) || read != piece) return false;
  }
  return true;
}

}  // namespace

HRESULT displist_LoadFromStream(WuDispList* list, ISequentialStream* stream) {
  if (!list || !stream) return E_INVALIDARG;
  BYTE field[8];
  if (!ReadStream(stream, field, 4)) return RIFF_E_READ;
  DWORD count = riffbytes::Get32(field);
  HRESULT hr = S_OK;
  for (DWORD i = 0; i < count && i < list->count; ++i) {
    if (!ReadStream(stream, field, 8)) return RIFF_E_READ;
    WuDispItem& item = list->items[i];
    item.id = riffbytes::Get32(field);
    DWORD size = riffbytes::Get32(field + 4);
    wublock::Free(item.data);
    item.data = nullptr;
    item.size = 0;
    hr = S_OK;
    if (size == 0) continue;
    std::vector<BYTE> bytes;
    if (!ReadGrowing(stream, size, &bytes)) {
      hr = RIFF_E_READ;
      continue;
    }
    void* block = wublock::Alloc(size);
    if (!block) return E_OUTOFMEMORY;
    std::memcpy(block, bytes.data(), size);
    item.data = block;
    item.size = size;
  }
  return hr;
}
