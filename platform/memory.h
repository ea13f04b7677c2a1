// Global memory, private heaps and pointer checks.
//
// Global memory blocks are the library's allocation unit: fixed blocks
// (the handle is the pointer) and movable blocks (the handle is separate and
// GlobalLock gives the pointer). Every live block is registered, so a handle
// or pointer that is not a live block is refused (NULL or FALSE with
// ERROR_INVALID_HANDLE) instead of corrupting memory.
#pragma once

#include "platform/types.h"

// GlobalAlloc flags.
constexpr UINT GMEM_FIXED = 0x0000;     // the handle is the pointer
constexpr UINT GMEM_MOVEABLE = 0x0002;  // a separate handle; lock to get the pointer
constexpr UINT GMEM_ZEROINIT = 0x0040;  // zero-filled
constexpr UINT GMEM_MODIFY = 0x0080;    // GlobalReAlloc: change flags only
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GMEM_INVALID_HANDLE = 0x8000;  // GlobalFlags of a non-block

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Resizes a block; NULL (block unchanged) on failure. A fixed block may move
// only with GMEM_MOVEABLE in the flags; the new part is zeroed with
// GMEM_ZEROINIT.
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
// NULL on success, the handle itself on failure.
HGLOBAL GlobalFree(HGLOBAL mem);
// Pointer to the block's bytes (lock count +1 for movable blocks).
LPVOID GlobalLock(HGLOBAL mem);
// Lock count -1; FALSE once the count reaches 0 (last error NO_ERROR then).
BOOL GlobalUnlock(HGLOBAL mem);
// The handle of the block that starts at a pointer, or NULL.
HGLOBAL GlobalHandle(LPCVOID pointer);
// Requested size of a block, or 0.
SIZE_T GlobalSize(HGLOBAL mem);
// Lock count in the low byte, GMEM_INVALID_HANDLE for a non-block.
UINT GlobalFlags(HGLOBAL mem);

// Local memory: the same blocks as global memory (LMEM_* = GMEM_* values).
constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_MOVEABLE = 0x0002;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
// NULL on success, the handle itself on failure.
HLOCAL LocalFree(HLOCAL mem);

// Private heaps. A heap frees all its blocks at once when destroyed.
constexpr DWORD HEAP_NO_SERIALIZE = 0x00000001;
constexpr DWORD HEAP_GENERATE_EXCEPTIONS = 0x00000004;
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
constexpr DWORD HEAP_REALLOC_IN_PLACE_ONLY = 0x00000010;

HANDLE HeapCreate(DWORD options, SIZE_T initial_size, SIZE_T maximum_size);
BOOL HeapDestroy(HANDLE heap);
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
// Size of a heap block, or (SIZE_T)-1 for a pointer that is not one.
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);

// TRUE when some byte of [pointer, pointer+bytes) cannot be read (or
// written). Never faults.
BOOL IsBadReadPtr(LPCVOID pointer, UINT_PTR bytes);
BOOL IsBadWritePtr(LPVOID pointer, UINT_PTR bytes);

namespace platform {
// Number of live global blocks (for leak checks in tests).
size_t LiveGlobalBlockCount();
// Test hook: the next `count` allocations (global memory and heaps) fail as
// if memory were exhausted. 0 turns failures off.
void FailNextAllocations(int count);
}  // namespace platform
