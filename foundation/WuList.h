// The generic list: a growable array of items behind a fixed header.
//
// An item is either a pointer (sizeof(void*) bytes) or a fixed-size record
// stored in place (its size rounded up to a multiple of 4). A list may own
// the blocks its pointer items point to (allocating and freeing them itself,
// from the runtime heap or from a private heap), may carry its own lock, and
// offers unsorted and sorted search, sorted insertion, sorts, moves and range
// deletion. Every operation takes the list as its first argument and returns
// S_OK, E_FAIL for a violated precondition, or another failure code; no
// exception leaves these functions.
//
// Items are read directly from the header: for a pointer list
// WuList_PointerAt(list, i), for an in-place list WuList_ItemAt(list, i).
//
// Ownership: the blocks an owning list frees come from its own allocator.
// Without a private heap that is the runtime heap (malloc/calloc/realloc,
// released with free); a caller may hand such blocks to the list with a
// negative count in WuList_InsertList. With a private heap only blocks from
// WuList_AllocItem / WuList_AllocAndInsertItem may be inserted.
#pragma once

#include "platform/kernel/threads.h"
#include "platform/kernel/types.h"

// ---- Create options ---------------------------------------------------------
constexpr DWORD WULIST_OWNITEMS = 0x00000002;     // the list owns the blocks its pointers point to
constexpr DWORD WULIST_INPLACE = 0x00000004;      // items are records of a given size, stored in place
constexpr DWORD WULIST_CALLERHEADER = 0x00000008; // the header record belongs to the caller
constexpr DWORD WULIST_PRIVATEHEAP = 0x10000000;  // owned items come from a private heap
constexpr DWORD WULIST_ANYTHREAD = 0x40000000;    // usable from any thread (always set at creation)
constexpr DWORD WULIST_LOCKED = 0x80000000;       // every operation runs under the list's lock

// The header's signature, the bytes "CURT" in memory order.
constexpr DWORD WULIST_SIGNATURE = 0x54525543;

// Grow step limits and defaults, in items.
constexpr LONG WULIST_MIN_GROW_STEP = 4;
constexpr LONG WULIST_MAX_GROW_STEP = 66560;
constexpr LONG WULIST_DEFAULT_GROW_STEP = 16;
constexpr LONG WULIST_DEFAULT_INITIAL_COUNT = 16;
constexpr LONG WULIST_MIN_INITIAL_COUNT = 4;

// ---- The header -----------------------------------------------------------------
struct tWULIST {
  LONG count;              // items in use
  LONG itemSize;           // bytes per item: sizeof(void*), or the record size rounded up to 4
  BYTE* storage;           // the item array: zero-filled global memory kept locked
  CRITICAL_SECTION lock;   // the list's lock, initialised only with WULIST_LOCKED
  DWORD signature;         // WULIST_SIGNATURE while the list lives, 0 after destruction
  DWORD options;           // create options, always including WULIST_ANYTHREAD
  LONG_PTR userData;       // one value for the owner's use
  INT_PTR sortContext;     // context last given to a sort; passed to every compare callback
  DWORD ownerThread;       // id of the owner thread (the creator unless changed)
  LONG capacity;           // items the storage holds
  LONG growStep;           // items added per growth, 4..66,560
  HANDLE heap;             // private item heap (WULIST_OWNITEMS | WULIST_PRIVATEHEAP), else NULL
  DWORD heapAllocFlags;    // HeapAlloc / HeapReAlloc flags for the private heap
  DWORD heapFreeFlags;     // HeapFree flags for the private heap
  void* pending;           // owned block allocated by WuList_AllocItem but not yet inserted
};

// Size of the header record; a caller-supplied header must have this size.
constexpr SIZE_T WULIST_HEADER_SIZE = sizeof(tWULIST);

// Address of item `index` (no checks).
inline void* WuList_ItemAt(const tWULIST* list, LONG index) {
  return list->storage + static_cast<SIZE_T>(index) * static_cast<SIZE_T>(list->itemSize);
}
// The pointer stored in item `index` of a pointer list (no checks).
inline void* WuList_PointerAt(const tWULIST* list, LONG index) {
  return static_cast<void**>(static_cast<void*>(list->storage))[index];
}

// ---- Callbacks --------------------------------------------------------------------
// Compare callback of the sorted functions and the sorts: negative, 0 or
// positive when the first argument compares less than, equal to or greater
// than the second. For pointer lists the item arguments are the stored
// pointers; for in-place lists the items' addresses. `context` is the list's
// sort context.
typedef int (*WULISTCOMPAREPROC)(INT_PTR context, const void* keyOrItem, const void* item);
// Match callback of the unsorted search: 0 when the item matches the key.
typedef int (*WULISTMATCHPROC)(const void* key, const void* item);

// ---- Creation and destruction ------------------------------------------------------
// Creates a list. With WULIST_CALLERHEADER *list must point to a header
// record, which is cleared and used; otherwise *list receives a new header.
// itemSize counts only for WULIST_INPLACE. The last three arguments are
// accepted and ignored.
HRESULT WuList_CreateExZ(tWULIST** list, LONG itemSize, LONG initialCount, LONG growStep,
                         DWORD options, LPCVOID reserved1 = nullptr, LPCVOID reserved2 = nullptr,
                         LONG_PTR reserved3 = 0);
// Frees owned items, the storage, the lock and the header (unless supplied
// by the caller). NULL is ignored.
HRESULT WuList_Destroy(tWULIST* list);
// Moves a list's header into a caller record (adding WULIST_CALLERHEADER),
// frees the old header and clears *list.
HRESULT WuList_ConvertToInPlace(tWULIST** list, tWULIST* record);

// ---- Identity and properties ----------------------------------------------------------
// TRUE when size is WULIST_HEADER_SIZE, the header is readable and signed.
BOOL WuList_IsList(LPCVOID pointer, SIZE_T size);
// TRUE when the signature is present (the pointer must be readable).
BOOL WuList_IsListFast(LPCVOID pointer);
// TRUE when 0 <= index < count; a NULL list counts as empty.
BOOL WuList_IsValidIndex(const tWULIST* list, LONG index);
// The same under the list's lock.
BOOL WuList_IsValidIndexSlow(tWULIST* list, LONG index);
DWORD WuList_GetCreateOptions(const tWULIST* list);
INT_PTR WuList_GetSortCriteria(const tWULIST* list);
LONG_PTR WuList_GetUserData(const tWULIST* list);
// Exchanges the user data atomically; returns the previous value.
LONG_PTR WuList_SetUserData(tWULIST* list, LONG_PTR value);
DWORD WuList_GetThreadOwner(const tWULIST* list);
// threadId 0 means the calling thread.
HRESULT WuList_SetThreadOwner(tWULIST* list, DWORD threadId);
// No source position is kept: clears buffer[0] and returns -1.
LONG WuList_GetFileAndLine(const tWULIST* list, WCHAR* buffer, LONG_PTR reserved);

// ---- Storage ---------------------------------------------------------------------------
// Adds `items` rounded up to the grow step (one step for items <= 0).
HRESULT WuList_GrowAllocated(tWULIST* list, LONG items);
// Releases up to `items` unused items (rounded to whole grow steps; < 0 means
// all unused). Never drops below the count or below one item.
HRESULT WuList_ShrinkAllocated(tWULIST* list, LONG items);
// With an index: the item size (in-place or not owned) or the owned block's
// size. With index < 0: all owned blocks plus the storage plus the header.
SIZE_T WuList_AllocSize(tWULIST* list, LONG index);
// In-place lists only: sets the count, growing zero-filled storage as needed;
// with `shrink` releases unused capacity beyond one grow step.
HRESULT WuList_ArrayForceItemCount(tWULIST* list, LONG count, BOOL shrink);

// ---- Insertion, deletion, moves -----------------------------------------------------------
// Inserts |count| items read from `items` at `index` (< 0 or >= count
// appends). For pointer lists `items` is an array of pointers, for in-place
// lists an array of records. An owning list takes raw pointers only with a
// negative count (taking ownership); items NULL with count -1 inserts the
// pending item.
HRESULT WuList_InsertList(tWULIST* list, LONG index, LPCVOID items, LONG count);
// One item: for a pointer list `item` is the pointer stored, for an in-place
// list the address of the record copied in.
HRESULT WuList_InsertItem(tWULIST* list, LONG index, LPCVOID item);
// Deletes `count` items from `index` (< 0: to the end), freeing owned
// blocks. index < 0 with count < 0 frees the pending item instead.
HRESULT WuList_DeleteList(tWULIST* list, LONG index, LONG count, BOOL shrink);
// Moves the block [from, from + count) so that it starts at `to`.
HRESULT WuList_MoveRange(tWULIST* list, LONG from, LONG to, LONG count);

// ---- Owned items ------------------------------------------------------------------------------
// Allocates a zero-filled block as the pending item (one at a time).
HRESULT WuList_AllocItem(tWULIST* list, SIZE_T bytes, void** item);
// Allocates a block, copies `data` into it (when given) and inserts it at
// `index` (appending when out of range). *outIndex (optional) receives the
// position, or -1 on failure.
HRESULT WuList_AllocAndInsertItem(tWULIST* list, LPCVOID data, SIZE_T bytes, LONG index,
                                  LONG* outIndex);
// Resizes the owned block of item `index`, keeping its contents.
HRESULT WuList_ReAllocItem(tWULIST* list, LONG index, SIZE_T bytes);
// Moves owned blocks from one owning list to another without copying them.
// dstIndex < 0 appends; count < 0 means the source's whole count.
HRESULT WuList_MoveItemsBetweenHeapLists(tWULIST* dst, LONG dstIndex, tWULIST* src,
                                         LONG srcIndex, LONG count);

// ---- Search --------------------------------------------------------------------------------------
// Ranges are [first, first + count); count < 0 means to the end. Each
// returns an index or -1.
// First item equal to `item`: pointer compare, or a byte compare of the whole
// record that `item` points to for in-place lists.
LONG WuList_FindSpecificItemRange(tWULIST* list, LONG first, LONG count, LPCVOID item);
// First item for which match(key, item) returns 0.
LONG WuList_FindItemRange(tWULIST* list, LONG first, LONG count, LPCVOID key,
                          WULISTMATCHPROC match);
// Binary search for an item that compares equal to `key`.
LONG WuList_FindSortedItemRange(tWULIST* list, LPCVOID key, LONG first, LONG count,
                                WULISTCOMPAREPROC compare);
// Binary search for the index at which `key` belongs (an equal item's index
// when one is met); `first` for an empty range, -1 when first is beyond the end.
LONG WuList_FindSortedInsertIndexRange(tWULIST* list, LPCVOID key, LONG first, LONG count,
                                       WULISTCOMPAREPROC compare);

// ---- Sorting ------------------------------------------------------------------------------------------
// Selection sort, ascending (not stable). Stores the context.
HRESULT WuList_Sort(tWULIST* list, INT_PTR context, WULISTCOMPAREPROC compare);
// Heap sort, ascending. Stores the context.
HRESULT WuList_HeapSort(tWULIST* list, INT_PTR context, WULISTCOMPAREPROC compare);
// Inserts every item of `src`, in source order, into `dst` at its sorted
// insert index. Stores the context in `dst`.
HRESULT WuList_SortTo(tWULIST* dst, tWULIST* src, INT_PTR context, WULISTCOMPAREPROC compare);
