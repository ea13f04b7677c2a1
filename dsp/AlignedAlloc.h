// The 32-byte-aligned allocator behind every block of the primitives.
//
// A block is carved out of a larger raw block from the heap:
//
//   raw ... [raw address, 8 bytes][aligned block of `size` bytes] ... end
//                                 ^ multiple of 32
//
// The raw block is size + 40 bytes: 32 bytes of alignment slack and one
// pointer-sized word holding the raw address just below the aligned block.
// The aligned block starts 8 to 39 bytes above the raw address, so the word
// and the whole block always lie inside the raw block. All size arithmetic is
// in size_t; a size that cannot be served gives null.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wuperf {

// The heap operations the allocator uses, in table order.
struct WuPerfAllocFunctions {
  void* (*allocate)(size_t bytes);                   // 0: null on failure
  void* (*allocateZeroed)(size_t count, size_t size);  // 1: zero-filled
  void* (*resize)(void* block, size_t bytes);        // 2: resize a block
  void (*release)(void* block);                      // 3: null ignored
};

// The runtime heap: malloc, calloc, realloc, free.
extern const WuPerfAllocFunctions WuPerfAllocTable;

constexpr size_t kBlockAlignment = 32;                            // block start alignment
constexpr size_t kAllocSlack = kBlockAlignment + sizeof(void*);   // raw bytes beyond the block

// A 32-byte-aligned block of `size` bytes; null for a size of 0, for a size
// whose raw block would not fit in size_t, and when the heap is exhausted.
void* AlignedMallocBytes(size_t size);

// The same for a signed 32-bit count; null for zero or negative sizes.
void* WuPerfsAlignedMalloc(int32_t size);
// Releases a block of the allocator; null does nothing.
void WuPerfsAlignedFree(void* block);

// Replaces the heap operations (test seam; null restores the runtime heap).
void SetAllocFunctions(const WuPerfAllocFunctions* functions);

}  // namespace wuperf
