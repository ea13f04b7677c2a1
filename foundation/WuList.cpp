// The generic list (see foundation/WuList.h).
//
// Every public function checks the list (a NULL or unsigned header is
// refused), checks the owner thread, and then works under the list's lock
// when it has one. The *Locked helpers below assume both checks and the lock
// are done, so public functions may call each other's work without taking
// the (recursive) lock again.
//
// Sizes are computed in 64 bits: a count or capacity that would pass the
// 32-bit item count fails as E_OUTOFMEMORY instead of wrapping around.
#include "foundation/WuList.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>

#include "foundation/WuString.h"
#include "platform/kernel/memory.h"

namespace {

constexpr int64_t kMaxItems = 0x7FFFFFFF;      // largest item count or capacity
constexpr SIZE_T kMoveStackBytes = 512;        // moves up to this size need no allocation

// ---- Checks and locking ---------------------------------------------------------

bool IsLive(const tWULIST* l) { return l != nullptr && l->signature == WULIST_SIGNATURE; }
bool IsOwning(const tWULIST* l) { return (l->options & WULIST_OWNITEMS) != 0; }
bool IsInPlace(const tWULIST* l) { return (l->options & WULIST_INPLACE) != 0; }

// A list without WULIST_LOCKED and WULIST_ANYTHREAD serves its owner thread only.
bool OwnerOk(const tWULIST* l) {
  if (l->options & (WULIST_LOCKED | WULIST_ANYTHREAD)) return true;
  return l->ownerThread == GetCurrentThreadId();
}

// S_OK when the caller may use the list now.
HRESULT Check(const tWULIST* l) {
  if (!IsLive(l)) return E_POINTER;
  return OwnerOk(l) ? S_OK : E_FAIL;
}

// Holds a list's lock (when it has one) for the lifetime of the object.
class ListLock {
 public:
  explicit ListLock(tWULIST* l) : list_((l->options & WULIST_LOCKED) ? l : nullptr) {
    if (list_) EnterCriticalSection(&list_->lock);
  }
  ~ListLock() {
    if (list_) LeaveCriticalSection(&list_->lock);
  }
  ListLock(const ListLock&) = delete;
  ListLock& operator=(const ListLock&) = delete;

 private:
  tWULIST* list_;  // the locked list, or NULL when it has no lock
};

// Holds the locks of two lists, always taken in address order so that two
// threads working on the same pair in opposite roles cannot deadlock.
class PairLock {
 public:
  PairLock(tWULIST* a, tWULIST* b)
      : first_(std::less<tWULIST*>()(a, b) ? a : b), second_(std::less<tWULIST*>()(a, b) ? b : a) {}

 private:
  ListLock first_;   // the list at the lower address
  ListLock second_;  // the other list
};

// ---- Item access -------------------------------------------------------------------

SIZE_T Bytes(const tWULIST* l, int64_t items) {
  return static_cast<SIZE_T>(items) * static_cast<SIZE_T>(l->itemSize);
}

BYTE* Slot(const tWULIST* l, int64_t index) { return l->storage + Bytes(l, index); }

void*& PointerSlot(const tWULIST* l, int64_t index) {
  return static_cast<void**>(static_cast<void*>(l->storage))[index];
}

// What a compare callback sees of an item: the stored pointer, or the
// in-place item's address.
const void* ItemArg(const tWULIST* l, LONG index) {
  return IsInPlace(l) ? static_cast<const void*>(Slot(l, index)) : PointerSlot(l, index);
}

void SwapItems(const tWULIST* l, LONG a, LONG b) {
  if (!IsInPlace(l)) {
    std::swap(PointerSlot(l, a), PointerSlot(l, b));
    return;
  }
  // In-place items are whole multiples of 4 bytes: swap word by word.
  BYTE* pa = Slot(l, a);
  BYTE* pb = Slot(l, b);
  for (LONG off = 0; off < l->itemSize; off += 4) {
    DWORD wa, wb;
    memcpy(&wa, pa + off, 4);
    memcpy(&wb, pb + off, 4);
    memcpy(pa + off, &wb, 4);
    memcpy(pb + off, &wa, 4);
  }
}

int64_t RoundUp(int64_t n, int64_t step) { return (n + step - 1) / step * step; }

// ---- Owned blocks --------------------------------------------------------------------
// Owned blocks come from the private heap when the list has one, else from
// the runtime heap. Zero-byte requests get one byte so that a block exists.

void* AllocBlock(const tWULIST* l, SIZE_T bytes) {
  if (bytes == 0) bytes = 1;
  if (l->heap) return HeapAlloc(l->heap, l->heapAllocFlags, bytes);
  return calloc(1, bytes);
}

void FreeBlock(const tWULIST* l, void* block) {
  if (!block) return;
  if (l->heap)
    HeapFree(l->heap, l->heapFreeFlags, block);
  else
    free(block);
}

// NULL on failure, the old block then untouched.
void* ReAllocBlock(const tWULIST* l, void* block, SIZE_T bytes) {
  if (bytes == 0) bytes = 1;  // realloc(p, 0) would free the block
  if (!block) return AllocBlock(l, bytes);
  if (l->heap) return HeapReAlloc(l->heap, l->heapAllocFlags, block, bytes);
  return realloc(block, bytes);
}

SIZE_T BlockSize(const tWULIST* l, const void* block) {
  if (!block) return 0;
  if (l->heap) {
    SIZE_T size = HeapSize(l->heap, 0, block);
    return size == static_cast<SIZE_T>(-1) ? 0 : size;
  }
  return platform::RuntimeBlockSize(block);
}

void FreeAllOwned(tWULIST* l) {
  if (!IsOwning(l)) return;
  if (l->heap) {
    HeapDestroy(l->heap);  // every block of the list at once, the pending one too
    l->heap = nullptr;
  } else {
    for (LONG i = 0; i < l->count; ++i) FreeBlock(l, PointerSlot(l, i));
    FreeBlock(l, l->pending);
  }
  l->pending = nullptr;
}

// ---- Storage ------------------------------------------------------------------------------

// Replaces the storage by `capacity` zero-filled items holding the current
// ones. On failure the list is unchanged.
HRESULT Reallocate(tWULIST* l, int64_t capacity) {
  if (capacity > kMaxItems || capacity < l->count || capacity < 1) return E_OUTOFMEMORY;
  BYTE* storage = static_cast<BYTE*>(WuGlobalNew(Bytes(l, capacity)));
  if (!storage) return E_OUTOFMEMORY;
  if (l->count > 0) memcpy(storage, l->storage, Bytes(l, l->count));
  WuGlobalDelete(l->storage);
  l->storage = storage;
  l->capacity = static_cast<LONG>(capacity);
  return S_OK;
}

HRESULT GrowLocked(tWULIST* l, int64_t items) {
  int64_t add = items <= 0 ? l->growStep : RoundUp(items, l->growStep);
  return Reallocate(l, l->capacity + add);
}

// Releases whole grow steps of unused capacity, never more than is unused.
HRESULT ShrinkLocked(tWULIST* l, LONG items) {
  int64_t unused = static_cast<int64_t>(l->capacity) - l->count;
  int64_t whole = unused / l->growStep * l->growStep;
  int64_t release = items < 0 ? whole : std::min(RoundUp(items, l->growStep), whole);
  if (release <= 0) return S_OK;
  int64_t capacity = std::max<int64_t>(l->capacity - release, 1);
  if (capacity >= l->capacity) return S_OK;
  return Reallocate(l, capacity);
}

// Makes room for `more` items beyond the count, growing by `more` rounded up
// to the grow step.
HRESULT EnsureRoom(tWULIST* l, int64_t more) {
  if (l->count + more <= l->capacity) return S_OK;
  return GrowLocked(l, more);
}

// After a deletion: releases the unused capacity when it passes one step.
void ShrinkAfterDelete(tWULIST* l) {
  if (static_cast<int64_t>(l->capacity) - l->count > l->growStep) ShrinkLocked(l, -1);
}

// ---- Insertion, deletion, moves --------------------------------------------------------------

HRESULT InsertLocked(tWULIST* l, LONG index, LPCVOID items, LONG count) {
  void* pending = l->pending;
  int64_t n;
  if (!items) {
    if (count != -1 || !pending) return E_FAIL;
    items = &pending;
    n = 1;
  } else {
    if (count >= 0 && IsOwning(l)) return E_FAIL;  // owning lists take raw pointers with count < 0
    n = count < 0 ? -static_cast<int64_t>(count) : count;
  }
  if (n == 0) return S_OK;
  if (index < 0 || index >= l->count) index = l->count;
  HRESULT hr = EnsureRoom(l, n);
  if (FAILED(hr)) return hr;

  memmove(Slot(l, index + n), Slot(l, index), Bytes(l, l->count - index));
  memcpy(Slot(l, index), items, Bytes(l, n));
  l->count += static_cast<LONG>(n);

  // The pending item stops being pending once it is an element. Other
  // pointers inserted meanwhile leave it pending (it would leak otherwise).
  if (pending) {
    for (int64_t i = index; i < index + n; ++i) {
      if (PointerSlot(l, i) == pending) {
        l->pending = nullptr;
        break;
      }
    }
  }
  return S_OK;
}

HRESULT DeleteLocked(tWULIST* l, LONG index, LONG count, BOOL shrink) {
  if (index < 0 && count < 0) {
    if (!l->pending) return E_FAIL;
    FreeBlock(l, l->pending);
    l->pending = nullptr;
    return S_OK;
  }
  int64_t n = count < 0 ? static_cast<int64_t>(l->count) - index : count;
  if (n <= 0) return S_OK;
  if (index < 0 || index >= l->count) return E_FAIL;
  n = std::min<int64_t>(n, l->count - index);

  if (IsOwning(l))
    for (int64_t i = index; i < index + n; ++i) FreeBlock(l, PointerSlot(l, i));
  memmove(Slot(l, index), Slot(l, index + n), Bytes(l, l->count - index - n));
  memset(Slot(l, l->count - n), 0, Bytes(l, n));
  l->count -= static_cast<LONG>(n);
  if (shrink) ShrinkAfterDelete(l);
  return S_OK;
}

HRESULT MoveLocked(tWULIST* l, LONG from, LONG to, LONG count) {
  if (from < 0) return E_INVALIDARG;
  if (to < 0) to = 0;
  int64_t n = count >= 0 ? count : static_cast<int64_t>(l->count) - std::max(from, to);
  // A negative result means from or to lies past the end: not a range.
  if (n < 0 || from + n > l->count || to + n > l->count) return E_FAIL;
  if (n == 0 || from == to) return S_OK;

  SIZE_T bytes = Bytes(l, n);
  BYTE stack[kMoveStackBytes];
  BYTE* saved = bytes <= sizeof(stack) ? stack : static_cast<BYTE*>(WuGlobalNew(bytes));
  if (!saved) return E_OUTOFMEMORY;
  memcpy(saved, Slot(l, from), bytes);
  if (to < from)
    memmove(Slot(l, to + n), Slot(l, to), Bytes(l, from - to));
  else
    memmove(Slot(l, from), Slot(l, from + n), Bytes(l, to - from));
  memcpy(Slot(l, to), saved, bytes);
  if (saved != stack) WuGlobalDelete(saved);
  return S_OK;
}

HRESULT AllocItemLocked(tWULIST* l, SIZE_T bytes, void** item) {
  if (!IsOwning(l) || l->pending) return E_FAIL;
  void* block = AllocBlock(l, bytes);
  if (!block) return E_OUTOFMEMORY;
  l->pending = block;
  *item = block;
  return S_OK;
}

// ---- Search and sorting -----------------------------------------------------------------------

// Resolves [first, first + count) (count < 0: to the end) into an item
// number; false when first lies outside 0..count.
bool ResolveRange(const tWULIST* l, LONG first, LONG count, LONG* n) {
  if (first < 0 || first > l->count) return false;
  LONG left = l->count - first;
  *n = count < 0 ? left : std::min(count, left);
  return true;
}

// Binary search of [first, first + n). The probe halves the range, taking
// the lower middle for an even size. Returns the index of an equal item or
// -1; *insert receives the index at which the key belongs.
LONG BinarySearch(const tWULIST* l, LPCVOID key, LONG first, LONG n, WULISTCOMPAREPROC compare,
                  LONG* insert) {
  LONG after_smaller = first;  // position after the last item compared smaller
  while (n > 0) {
    bool odd = (n & 1) != 0;
    LONG probe = odd ? first + n / 2 : first + n / 2 - 1;
    int c = compare(l->sortContext, key, ItemArg(l, probe));
    if (c == 0) {
      *insert = probe;
      return probe;
    }
    if (c < 0) {
      n = odd ? n / 2 : n / 2 - 1;
    } else {
      first = probe + 1;
      after_smaller = first;
      n = n / 2;
    }
  }
  *insert = after_smaller;
  return -1;
}

int CompareItems(const tWULIST* l, WULISTCOMPAREPROC compare, LONG a, LONG b) {
  return compare(l->sortContext, ItemArg(l, a), ItemArg(l, b));
}

void SelectionSort(tWULIST* l, WULISTCOMPAREPROC compare) {
  for (LONG end = l->count - 1; end >= 1; --end) {
    LONG largest = 0;
    for (LONG i = 1; i <= end; ++i)
      if (CompareItems(l, compare, i, largest) > 0) largest = i;
    if (largest != end) SwapItems(l, largest, end);
  }
}

void SiftDown(tWULIST* l, WULISTCOMPAREPROC compare, int64_t root, int64_t end) {
  for (;;) {
    int64_t child = 2 * root + 1;
    if (child > end) return;
    if (child + 1 <= end &&
        CompareItems(l, compare, static_cast<LONG>(child), static_cast<LONG>(child + 1)) < 0)
      ++child;
    if (CompareItems(l, compare, static_cast<LONG>(root), static_cast<LONG>(child)) >= 0) return;
    SwapItems(l, static_cast<LONG>(root), static_cast<LONG>(child));
    root = child;
  }
}

void HeapSortLocked(tWULIST* l, WULISTCOMPAREPROC compare) {
  int64_t n = l->count;
  for (int64_t start = (n - 2) / 2; start >= 0; --start) SiftDown(l, compare, start, n - 1);
  for (int64_t end = n - 1; end > 0; --end) {
    SwapItems(l, 0, static_cast<LONG>(end));
    SiftDown(l, compare, 0, end - 1);
  }
}

// Frees what a half-made list holds (creation failure).
void UndoCreate(tWULIST* l, bool callerHeader) {
  if (l->heap) HeapDestroy(l->heap);
  WuGlobalDelete(l->storage);
  memset(static_cast<void*>(l), 0, sizeof(*l));
  if (!callerHeader) WuGlobalDelete(l);
}

}  // namespace

// ---- Creation and destruction ---------------------------------------------------------------------

HRESULT WuList_CreateExZ(tWULIST** list, LONG itemSize, LONG initialCount, LONG growStep,
                         DWORD options, LPCVOID, LPCVOID, LONG_PTR) {
  if (!list) return E_POINTER;
  const bool callerHeader = (options & WULIST_CALLERHEADER) != 0;
  tWULIST* l = nullptr;
  if (callerHeader) {
    l = *list;
    if (!l) return E_FAIL;
  } else {
    *list = nullptr;
  }
  if ((options & WULIST_OWNITEMS) && (options & WULIST_INPLACE)) return E_FAIL;

  int64_t size = sizeof(void*);
  if (options & WULIST_INPLACE) {
    if (itemSize < 1) return E_FAIL;
    size = RoundUp(itemSize, 4);
    if (size > kMaxItems) return E_OUTOFMEMORY;
  }
  LONG step = growStep < 1 ? WULIST_DEFAULT_GROW_STEP
                           : std::clamp(growStep, WULIST_MIN_GROW_STEP, WULIST_MAX_GROW_STEP);
  int64_t initial = initialCount < 1 ? WULIST_DEFAULT_INITIAL_COUNT
                                     : std::max(initialCount, WULIST_MIN_INITIAL_COUNT);
  int64_t capacity = RoundUp(initial, step);
  if (capacity > kMaxItems) return E_OUTOFMEMORY;

  if (callerHeader) {
    memset(static_cast<void*>(l), 0, sizeof(*l));
  } else {
    l = static_cast<tWULIST*>(WuGlobalNew(sizeof(tWULIST)));
    if (!l) return E_OUTOFMEMORY;
  }
  l->itemSize = static_cast<LONG>(size);
  l->signature = WULIST_SIGNATURE;
  l->options = options | WULIST_ANYTHREAD;
  l->ownerThread = GetCurrentThreadId();
  l->growStep = step;
  l->storage = static_cast<BYTE*>(WuGlobalNew(Bytes(l, capacity)));
  if (!l->storage) {
    UndoCreate(l, callerHeader);
    return E_OUTOFMEMORY;
  }
  l->capacity = static_cast<LONG>(capacity);
  if ((options & WULIST_OWNITEMS) && (options & WULIST_PRIVATEHEAP)) {
    l->heap = HeapCreate(HEAP_NO_SERIALIZE, 4096, 0);
    if (!l->heap) {
      UndoCreate(l, callerHeader);
      return E_OUTOFMEMORY;
    }
    l->heapAllocFlags = HEAP_ZERO_MEMORY;
    l->heapFreeFlags = 0;
  }
  if (options & WULIST_LOCKED) InitializeCriticalSection(&l->lock);
  if (!callerHeader) *list = l;
  return S_OK;
}

HRESULT WuList_Destroy(tWULIST* list) {
  if (!list) return S_OK;
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  const bool locked = (list->options & WULIST_LOCKED) != 0;
  if (locked) EnterCriticalSection(&list->lock);
  FreeAllOwned(list);
  WuGlobalDelete(list->storage);
  list->storage = nullptr;
  list->count = 0;
  list->capacity = 0;
  list->signature = 0;
  if (locked) {
    LeaveCriticalSection(&list->lock);
    DeleteCriticalSection(&list->lock);
  }
  if (!(list->options & WULIST_CALLERHEADER)) WuGlobalDelete(list);
  return S_OK;
}

HRESULT WuList_ConvertToInPlace(tWULIST** list, tWULIST* record) {
  if (!list || !record || !IsLive(*list)) return E_INVALIDARG;
  tWULIST* l = *list;
  if (!OwnerOk(l)) return E_FAIL;
  if (l->options & WULIST_CALLERHEADER) return E_FAIL;
  const bool locked = (l->options & WULIST_LOCKED) != 0;
  if (locked) EnterCriticalSection(&l->lock);
  memcpy(static_cast<void*>(record), l, sizeof(*l));
  record->options |= WULIST_CALLERHEADER;
  l->signature = 0;
  if (locked) {
    // A lock is never moved while it lives: the record gets a fresh one.
    LeaveCriticalSection(&l->lock);
    DeleteCriticalSection(&l->lock);
    record->lock = CRITICAL_SECTION{};
    InitializeCriticalSection(&record->lock);
  }
  WuGlobalDelete(l);
  *list = nullptr;
  return S_OK;
}

// ---- Identity and properties ------------------------------------------------------------------------

BOOL WuList_IsList(LPCVOID pointer, SIZE_T size) {
  if (size != WULIST_HEADER_SIZE || !pointer) return FALSE;
  if (IsBadReadPtr(pointer, size)) return FALSE;
  return WuList_IsListFast(pointer);
}

BOOL WuList_IsListFast(LPCVOID pointer) {
  return IsLive(static_cast<const tWULIST*>(pointer)) ? TRUE : FALSE;
}

BOOL WuList_IsValidIndex(const tWULIST* list, LONG index) {
  if (FAILED(Check(list))) return FALSE;
  return index >= 0 && index < list->count ? TRUE : FALSE;
}

BOOL WuList_IsValidIndexSlow(tWULIST* list, LONG index) {
  if (FAILED(Check(list))) return FALSE;
  ListLock lock(list);
  return index >= 0 && index < list->count ? TRUE : FALSE;
}

DWORD WuList_GetCreateOptions(const tWULIST* list) { return IsLive(list) ? list->options : 0; }

INT_PTR WuList_GetSortCriteria(const tWULIST* list) {
  return IsLive(list) ? list->sortContext : 0;
}

LONG_PTR WuList_GetUserData(const tWULIST* list) {
  if (FAILED(Check(list))) return -1;
  return __atomic_load_n(&list->userData, __ATOMIC_SEQ_CST);
}

LONG_PTR WuList_SetUserData(tWULIST* list, LONG_PTR value) {
  if (FAILED(Check(list))) return -1;
  return __atomic_exchange_n(&list->userData, value, __ATOMIC_SEQ_CST);
}

DWORD WuList_GetThreadOwner(const tWULIST* list) { return IsLive(list) ? list->ownerThread : 0; }

HRESULT WuList_SetThreadOwner(tWULIST* list, DWORD threadId) {
  if (!IsLive(list)) return E_POINTER;
  list->ownerThread = threadId ? threadId : GetCurrentThreadId();
  return S_OK;
}

LONG WuList_GetFileAndLine(const tWULIST*, WCHAR* buffer, LONG_PTR) {
  if (buffer) buffer[0] = 0;
  return -1;
}

// ---- Storage ----------------------------------------------------------------------------------------------

HRESULT WuList_GrowAllocated(tWULIST* list, LONG items) {
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  return GrowLocked(list, items);
}

HRESULT WuList_ShrinkAllocated(tWULIST* list, LONG items) {
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  return ShrinkLocked(list, items);
}

SIZE_T WuList_AllocSize(tWULIST* list, LONG index) {
  if (FAILED(Check(list))) return 0;
  ListLock lock(list);
  if (index >= 0) {
    if (index >= list->count) return 0;
    if (IsOwning(list)) return BlockSize(list, PointerSlot(list, index));
    return static_cast<SIZE_T>(list->itemSize);
  }
  SIZE_T total = Bytes(list, list->capacity) + WULIST_HEADER_SIZE;
  if (IsOwning(list))
    for (LONG i = 0; i < list->count; ++i) total += BlockSize(list, PointerSlot(list, i));
  return total;
}

HRESULT WuList_ArrayForceItemCount(tWULIST* list, LONG count, BOOL shrink) {
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  if (!IsInPlace(list) || count < 0) return E_FAIL;
  if (count > list->count) {
    if (count > list->capacity) {
      hr = GrowLocked(list, static_cast<int64_t>(count) - list->capacity);
      if (FAILED(hr)) return hr;
    }
    list->count = count;
  } else if (count < list->count) {
    // Slots past the count stay zero, so a later larger count shows empty items.
    memset(Slot(list, count), 0, Bytes(list, list->count - count));
    list->count = count;
    if (shrink) ShrinkAfterDelete(list);
  }
  return S_OK;
}

// ---- Insertion, deletion, moves -----------------------------------------------------------------------

HRESULT WuList_InsertList(tWULIST* list, LONG index, LPCVOID items, LONG count) {
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  return InsertLocked(list, index, items, count);
}

HRESULT WuList_InsertItem(tWULIST* list, LONG index, LPCVOID item) {
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  if (IsInPlace(list)) {
    if (!item) return E_POINTER;
    return WuList_InsertList(list, index, item, 1);
  }
  return WuList_InsertList(list, index, &item, 1);
}

HRESULT WuList_DeleteList(tWULIST* list, LONG index, LONG count, BOOL shrink) {
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  return DeleteLocked(list, index, count, shrink);
}

HRESULT WuList_MoveRange(tWULIST* list, LONG from, LONG to, LONG count) {
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  return MoveLocked(list, from, to, count);
}

// ---- Owned items --------------------------------------------------------------------------------------------

HRESULT WuList_AllocItem(tWULIST* list, SIZE_T bytes, void** item) {
  if (!item) return E_POINTER;
  *item = nullptr;
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  return AllocItemLocked(list, bytes, item);
}

HRESULT WuList_AllocAndInsertItem(tWULIST* list, LPCVOID data, SIZE_T bytes, LONG index,
                                  LONG* outIndex) {
  if (outIndex) *outIndex = -1;
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  void* block = nullptr;
  hr = AllocItemLocked(list, bytes, &block);
  if (FAILED(hr)) return hr;
  if (data && bytes) memcpy(block, data, bytes);
  LONG at = (index < 0 || index >= list->count) ? list->count : index;
  hr = InsertLocked(list, at, &block, -1);
  if (FAILED(hr)) {
    list->pending = nullptr;
    FreeBlock(list, block);
    return hr;
  }
  if (outIndex) *outIndex = at;
  return S_OK;
}

HRESULT WuList_ReAllocItem(tWULIST* list, LONG index, SIZE_T bytes) {
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  if (!IsOwning(list) || index < 0 || index >= list->count) return E_FAIL;
  void* block = ReAllocBlock(list, PointerSlot(list, index), bytes);
  if (!block) return E_OUTOFMEMORY;
  PointerSlot(list, index) = block;
  return S_OK;
}

HRESULT WuList_MoveItemsBetweenHeapLists(tWULIST* dst, LONG dstIndex, tWULIST* src,
                                         LONG srcIndex, LONG count) {
  HRESULT hr = Check(dst);
  if (SUCCEEDED(hr)) hr = Check(src);
  if (FAILED(hr)) return hr;
  if (dst == src) return E_FAIL;
  PairLock lock(dst, src);
  if (!IsOwning(dst) || !IsOwning(src) || dst->pending) return E_FAIL;
  // Blocks of a private heap die with that heap: they cannot change lists.
  if (dst->heap || src->heap) return E_FAIL;
  int64_t n = count < 0 ? src->count : count;
  if (n == 0) return S_OK;
  if (srcIndex < 0 || srcIndex + n > src->count) return E_FAIL;
  if (dstIndex < 0 || dstIndex > dst->count) dstIndex = dst->count;
  hr = EnsureRoom(dst, n);
  if (FAILED(hr)) return hr;

  memmove(Slot(dst, dstIndex + n), Slot(dst, dstIndex), Bytes(dst, dst->count - dstIndex));
  memcpy(Slot(dst, dstIndex), Slot(src, srcIndex), Bytes(src, n));
  dst->count += static_cast<LONG>(n);
  memmove(Slot(src, srcIndex), Slot(src, srcIndex + n), Bytes(src, src->count - srcIndex - n));
  memset(Slot(src, src->count - n), 0, Bytes(src, n));
  src->count -= static_cast<LONG>(n);
  return S_OK;
}

// ---- Search ------------------------------------------------------------------------------------------------------

LONG WuList_FindSpecificItemRange(tWULIST* list, LONG first, LONG count, LPCVOID item) {
  if (FAILED(Check(list))) return -1;
  ListLock lock(list);
  LONG n;
  if (!ResolveRange(list, first, count, &n)) return -1;
  if (IsInPlace(list) && !item) return -1;
  for (LONG i = first; i < first + n; ++i) {
    bool equal = IsInPlace(list) ? memcmp(Slot(list, i), item, Bytes(list, 1)) == 0
                                 : PointerSlot(list, i) == item;
    if (equal) return i;
  }
  return -1;
}

LONG WuList_FindItemRange(tWULIST* list, LONG first, LONG count, LPCVOID key,
                          WULISTMATCHPROC match) {
  if (!match || FAILED(Check(list))) return -1;
  ListLock lock(list);
  LONG n;
  if (!ResolveRange(list, first, count, &n)) return -1;
  for (LONG i = first; i < first + n; ++i)
    if (match(key, ItemArg(list, i)) == 0) return i;
  return -1;
}

LONG WuList_FindSortedItemRange(tWULIST* list, LPCVOID key, LONG first, LONG count,
                                WULISTCOMPAREPROC compare) {
  if (!compare || FAILED(Check(list))) return -1;
  ListLock lock(list);
  LONG n, insert;
  if (!ResolveRange(list, first, count, &n)) return -1;
  return BinarySearch(list, key, first, n, compare, &insert);
}

LONG WuList_FindSortedInsertIndexRange(tWULIST* list, LPCVOID key, LONG first, LONG count,
                                       WULISTCOMPAREPROC compare) {
  if (!compare || FAILED(Check(list))) return -1;
  ListLock lock(list);
  LONG n, insert;
  if (!ResolveRange(list, first, count, &n)) return -1;
  BinarySearch(list, key, first, n, compare, &insert);
  return insert;
}

// ---- Sorting ----------------------------------------------------------------------------------------------------------

HRESULT WuList_Sort(tWULIST* list, INT_PTR context, WULISTCOMPAREPROC compare) {
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  list->sortContext = context;
  if (compare && list->count >= 2) SelectionSort(list, compare);
  return S_OK;
}

HRESULT WuList_HeapSort(tWULIST* list, INT_PTR context, WULISTCOMPAREPROC compare) {
  HRESULT hr = Check(list);
  if (FAILED(hr)) return hr;
  ListLock lock(list);
  list->sortContext = context;
  if (compare && list->count >= 2) HeapSortLocked(list, compare);
  return S_OK;
}

HRESULT WuList_SortTo(tWULIST* dst, tWULIST* src, INT_PTR context, WULISTCOMPAREPROC compare) {
  HRESULT hr = Check(dst);
  if (SUCCEEDED(hr)) hr = Check(src);
  if (FAILED(hr)) return hr;
  if (dst == src) return E_FAIL;
  PairLock lock(dst, src);
  dst->sortContext = context;
  // Items are copied as they are: both lists must hold the same kind and
  // size of item, and the destination cannot take ownership of copies.
  if (IsInPlace(dst) != IsInPlace(src) || dst->itemSize != src->itemSize || IsOwning(dst))
    return E_FAIL;
  if (src->count == 0) return S_OK;
  hr = EnsureRoom(dst, src->count);  // all room first: the copy cannot stop half-way
  if (FAILED(hr)) return hr;
  for (LONG i = 0; i < src->count; ++i) {
    LONG at = -1;
    if (compare) BinarySearch(dst, ItemArg(src, i), 0, dst->count, compare, &at);
    InsertLocked(dst, at, Slot(src, i), 1);
  }
  return S_OK;
}
