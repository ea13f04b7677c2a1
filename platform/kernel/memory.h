// Global memory, private heaps and pointer checks.
//
// Global memory blocks are the library's allocation unit: fixed blocks
// (the handle is the pointer) and movable blocks (the handle is separate and
// GlobalLock gives the pointer). Every live block is registered, so a handle
// or pointer that is not a live block (never allocated, already freed, or
// pointing into the middle of a block) is refused (NULL, FALSE or 0 with
// ERROR_INVALID_HANDLE) instead of corrupting memory. Private heaps keep a
// registry of their blocks in the same way. All functions are thread-safe.
#pragma once

#include "platform/kernel/types.h"

// GlobalAlloc flags.
constexpr UINT GMEM_FIXED = 0x0000;     // the handle is the pointer
constexpr UINT GMEM_MOVEABLE = 0x0002;  // a separate handle; lock to get the pointer
constexpr UINT GMEM_ZEROINIT = 0x0040;  // zero-filled
constexpr UINT GMEM_MODIFY = 0x0080;    // GlobalReAlloc: change flags only
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GMEM_INVALID_HANDLE = 0x8000;  // GlobalFlags of a non-block
constexpr UINT GMEM_LOCKCOUNT = 0x00FF;       // GlobalFlags: the lock count

// A block of 0 bytes is a real (empty) block with its own pointer; blocks
// are never discarded. Failure: NULL, last error ERROR_NOT_ENOUGH_MEMORY.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Resizes a block and returns its (possibly new) handle; NULL with the block
// unchanged on failure. A block shrinks and grows in place while its
// allocation has room. Otherwise it moves: a fixed block only with
// GMEM_MOVEABLE in the flags (its handle, the pointer, then changes), a
// movable block when it is unlocked or GMEM_MOVEABLE is given (its handle
// stays). With GMEM_ZEROINIT the grown part is zeroed. With GMEM_MODIFY only
// the flags change: GMEM_MOVEABLE turns a fixed block into a movable one
// with a new handle; the size is ignored.
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
// NULL on success (and for NULL), the handle itself on failure. A locked
// block is freed too.
HGLOBAL GlobalFree(HGLOBAL mem);
// Pointer to the block's bytes (lock count +1 for movable blocks; fixed
// blocks have no lock count).
LPVOID GlobalLock(HGLOBAL mem);
// Lock count -1. TRUE while the block stays locked; FALSE once the count
// reaches 0 or for a fixed block (last error ERROR_SUCCESS then), for an
// unlocked movable block (ERROR_NOT_LOCKED) or a non-block
// (ERROR_INVALID_HANDLE).
BOOL GlobalUnlock(HGLOBAL mem);
// The handle of the block that starts at a pointer, or NULL.
HGLOBAL GlobalHandle(LPCVOID pointer);
// Requested size of a block, or 0.
SIZE_T GlobalSize(HGLOBAL mem);
// Lock count (at most 255) in the low byte, GMEM_INVALID_HANDLE for a
// non-block.
UINT GlobalFlags(HGLOBAL mem);

// Local memory: the same blocks as global memory (LMEM_* = GMEM_* values).
constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_MOVEABLE = 0x0002;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
// NULL on success, the handle itself on failure.
HLOCAL LocalFree(HLOCAL mem);

// Private heaps. A heap frees all its blocks at once when destroyed. Every
// heap is serialised (HEAP_NO_SERIALIZE is accepted and ignored); failures
// return NULL or FALSE and never raise (HEAP_GENERATE_EXCEPTIONS is ignored).
constexpr DWORD HEAP_NO_SERIALIZE = 0x00000001;
constexpr DWORD HEAP_GENERATE_EXCEPTIONS = 0x00000004;
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
constexpr DWORD HEAP_REALLOC_IN_PLACE_ONLY = 0x00000010;

// A maximum size above 0 caps the total of the heap's live block sizes; 0
// lets the heap grow without limit. The initial size is a hint only.
HANDLE HeapCreate(DWORD options, SIZE_T initial_size, SIZE_T maximum_size);
// FALSE for a handle that is not a heap (ERROR_INVALID_HANDLE) and for the
// process heap (ERROR_INVALID_PARAMETER).
BOOL HeapDestroy(HANDLE heap);
// The process's own heap; it lives until the process ends.
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
// NULL (block unchanged) on failure or for a block that is not one of the
// heap's; HEAP_ZERO_MEMORY zeroes the grown part.
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
// TRUE for a NULL block; FALSE (ERROR_INVALID_PARAMETER) for a block that is
// not one of the heap's, so a second free is refused.
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
// Size of a heap block, or (SIZE_T)-1 for a pointer that is not one.
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);

// TRUE when some byte of [pointer, pointer+bytes) cannot be read (or
// written). Never faults and never writes. A null pointer with bytes > 0 and
// a range that wraps around the address space are bad; bytes == 0 is never
// bad.
BOOL IsBadReadPtr(LPCVOID pointer, UINT_PTR bytes);
BOOL IsBadWritePtr(LPVOID pointer, UINT_PTR bytes);

// The machine's memory as the system reports it.
struct MEMORYSTATUSEX {
  DWORD dwLength;                   // sizeof(MEMORYSTATUSEX), set by the caller
  DWORD dwMemoryLoad;               // per cent of physical memory in use (0..100)
  ULONGLONG ullTotalPhys;           // physical memory, bytes
  ULONGLONG ullAvailPhys;           // physical memory available, bytes
  ULONGLONG ullTotalPageFile;       // commit limit: physical memory plus swap, bytes
  ULONGLONG ullAvailPageFile;       // of it still available, bytes
  ULONGLONG ullTotalVirtual;        // the process's user address space, bytes
  ULONGLONG ullAvailVirtual;        // of it not yet reserved, bytes (an estimate)
  ULONGLONG ullAvailExtendedVirtual;  // always 0
};
// Fills `status`; FALSE (ERROR_INVALID_PARAMETER) for NULL or a length that
// is not sizeof(MEMORYSTATUSEX).
BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status);

namespace platform {
// Test hook: GlobalMemoryStatusEx reports `status` (its dwLength ignored)
// instead of the machine's; NULL goes back to the machine's.
void SetMemoryStatus(const MEMORYSTATUSEX* status);
// Number of live global blocks (for leak checks in tests).
size_t LiveGlobalBlockCount();
// Test hook: the next `count` allocations fail as if memory were exhausted.
// Allocations are the calls of GlobalAlloc, LocalAlloc, GlobalReAlloc
// (except GMEM_MODIFY), HeapAlloc and HeapReAlloc. 0 turns failures off.
void FailNextAllocations(int count);
// Test hook: the next `skip` allocations succeed, then `count` fail; a
// later call replaces the plan. FailNextAllocations(n) is
// FailAllocationsAfter(0, n).
void FailAllocationsAfter(int skip, int count);
// Usable size of a block of the C runtime heap (malloc/calloc/realloc); 0
// for NULL. May exceed the size that was asked for.
SIZE_T RuntimeBlockSize(const void* block);
}  // namespace platform
