// The display list: binary items keyed by clipboard-format number (1 text,
// 8 device-independent bitmap), stored as "DISP" chunks in RIFF files and as
// display-list GUID chunks in Wave64 files, and read from a stream.
//
// "DISP" chunk: id, size = 4 + data bytes, the u32 item id, the data and a
// zero pad byte when the size is odd. RIFF64 chunk: the display-list GUID,
// stored size = 24 + 4 + data + zeros up to a multiple of 8, the u32 item
// id, the data and the zeros. Stream: u32 count, then per entry u32 id,
// u32 size and the size bytes.
//
// Memory: the record and its array come from the runtime heap; each item's
// data is zero-filled movable global memory, locked.
#pragma once

#include "mediaformats/RiffBytes.h"
#include "mediaformats/RiffStatus.h"
#include "platform/com/com.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

struct WuDispItem {
  DWORD id;    // clipboard format number
  DWORD size;  // data bytes
  void* data;  // the data, or null
};

struct WuDispList {
  DWORD count;        // items in the array
  WuDispItem* items;  // the array
};

// Clipboard formats of the items of a new list.
constexpr DWORD kDispText = 1;
constexpr DWORD kDispBitmap = 8;
constexpr FOURCC kDispChunk = RiffId("DISP");
// 612CCA25-92BB-4C55-8408-7BDA2F15BD27
inline constexpr GUID kRiff64GuidDisp = {0x612CCA25, 0x92BB, 0x4C55,
                                         {0x84, 0x08, 0x7B, 0xDA, 0x2F, 0x15, 0xBD, 0x27}};

// A new list with the empty items 1 and 8, or null when memory runs out.
WuDispList* displist_Create();
// Frees the item data, the array and the record; null is ignored.
void displist_Destroy(WuDispList* list);
// Frees every item's data and nulls the pointers; the sizes stay. Returns 0.
HRESULT displist_Free(WuDispList* list);
// The item with `id`, or null (also for a null list).
WuDispItem* displist_GetItem(WuDispList* list, DWORD id);
// Sets item `id` to a copy of `size` bytes of `data`; with no data or size
// 0 it frees the item's data and clears its size. -1 for a null or empty
// list, an unknown id, or a block that cannot be had. Returns 0.
HRESULT displist_SetItem(WuDispList* list, DWORD id, DWORD size, const void* data);
// One chunk per item with data; *written (cleared first) receives the
// bytes written. RIFF_E_WRITE on a failed write.
HRESULT displist_Save(HANDLE file, const WuDispList* list, DWORD* written);
HRESULT displist64_Save(HANDLE file, const WuDispList* list, ULONGLONG* written);
// Reads the display chunks among the chunks from the position, under
// *bytes_left (lowered as chunks are consumed), into the items of known
// ids; other chunks and ids are skipped. The position is restored after
// the load; a failure frees all item data.
HRESULT displist_Load(HANDLE file, WuDispList* list, DWORD* bytes_left);
HRESULT displist64_Load(HANDLE file, WuDispList* list, ULONGLONG* bytes_left);
// Reads the display-list stream: at most as many entries as the list has
// items, entry i into item i (its id, size and data). A short entry leaves
// its item without data and the load goes on; a short count or entry
// header ends it with RIFF_E_READ. E_INVALIDARG for a null list or stream.
HRESULT displist_LoadFromStream(WuDispList* list, ISequentialStream* stream);
// A screen-compatible bitmap from the bitmap item of a RIFF file's display
// list, or null: when the file cannot be read, has no bitmap item, or the
// item's header, colour table (at most 256 entries) or pixels do not fit
// in the item. Both the 40-byte and the 12-byte (core) header are read.
HBITMAP displist_CreateBitmapFromFile(LPCWSTR path);
