// The 32-byte-aligned allocator.
#include "dsp/AlignedAlloc.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace wuperf {

namespace {

void* HeapAllocate(size_t bytes) { return std::malloc(bytes); }
void* HeapAllocateZeroed(size_t count, size_t size) { return std::calloc(count, size); }
void* HeapResize(void* block, size_t bytes) { return std::realloc(block, bytes); }
void HeapRelease(void* block) { std::free(block); }

// The table in use: the runtime heap unless a test installed another.
std::atomic<const WuPerfAllocFunctions*> g_functions{&WuPerfAllocTable};

}  // namespace

const WuPerfAllocFunctions WuPerfAllocTable = {HeapAllocate, HeapAllocateZeroed, HeapResize,
                                               HeapRelease};

void* AlignedMallocBytes(size_t size) {
  if (size == 0 || size > SIZE_MAX - kAllocSlack) return nullptr;
  const WuPerfAllocFunctions* heap = g_functions.load(std::memory_order_acquire);
  void* raw = heap->allocate(size + kAllocSlack);
  if (!raw) return nullptr;
  // Round raw + 8 up to 32: at least one address word above the raw start,
  // at most 39 bytes above it, so the block ends inside the raw block.
  uintptr_t base = reinterpret_cast<uintptr_t>(raw);
  uintptr_t aligned = (base + kAllocSlack - 1) & ~static_cast<uintptr_t>(kBlockAlignment - 1);
  std::memcpy(reinterpret_cast<void*>(aligned - sizeof(void*)), &raw, sizeof(void*));
  return reinterpret_cast<void*>(aligned);
}

void* WuPerfsAlignedMalloc(int32_t size) {
  if (size <= 0) return nullptr;
  return AlignedMallocBytes(static_cast<size_t>(size));
}

void WuPerfsAlignedFree(void* block) {
  if (!block) return;
  void* raw = nullptr;
  std::memcpy(&raw, static_cast<uint8_t*>(block) - sizeof(void*), sizeof(void*));
  g_functions.load(std::memory_order_acquire)->release(raw);
}

void SetAllocFunctions(const WuPerfAllocFunctions* functions) {
  g_functions.store(functions ? functions : &WuPerfAllocTable, std::memory_order_release);
}

}  // namespace wuperf
