#include "platform/kernel/memory.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

#include "platform/kernel/allocation_failure_internal.h"
#include "platform/kernel/error.h"

namespace {

// ---- Registries ------------------------------------------------------------------
//
// Data blocks come from malloc and are therefore 16-byte aligned; a fixed
// block's handle is its data pointer. Movable-block handles and heap handles
// are counters tagged in their low bits (4 and 8), so they never equal a data
// pointer and are never given out twice.

constexpr uintptr_t kMovableTag = 0x4;  // low bits of a movable-block handle
constexpr uintptr_t kHeapTag = 0x8;     // low bits of a heap handle

// One global (or local) memory block.
struct GlobalBlock {
  void* data;       // the bytes (malloc'd, at least one byte)
  SIZE_T size;      // size the caller asked for
  bool movable;     // true: the handle is separate from the data pointer
  UINT lock_count;  // locks of a movable block; fixed blocks stay at 0
};

// One private heap.
struct Heap {
  SIZE_T maximum = 0;                          // cap on `used`, 0 = none
  SIZE_T used = 0;                             // total size of live blocks
  std::unordered_map<void*, SIZE_T> blocks;    // live block -> its size
};

// Every live block and heap, behind one lock.
struct Registry {
  std::mutex lock;                                       // guards everything below
  std::unordered_map<uintptr_t, GlobalBlock> blocks;     // handle -> block
  std::unordered_map<const void*, uintptr_t> handle_of;  // data pointer -> handle
  uintptr_t next_movable = 0x1000;                       // counter of movable handles
  std::unordered_map<uintptr_t, Heap> heaps;             // handle -> heap
  uintptr_t next_heap = 0x1000;                          // counter of heap handles
  uintptr_t process_heap = 0;                            // handle of GetProcessHeap()
};

Registry& Reg() {
  static Registry* registry = new Registry;  // lives to process exit
  return *registry;
}

using platform::ShouldFailAllocation;

void* OutOfMemory() {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

// malloc of at least one byte, zero-filled on request.
void* AllocBytes(SIZE_T bytes, bool zero) {
  SIZE_T n = bytes ? bytes : 1;
  return zero ? std::calloc(n, 1) : std::malloc(n);
}

// The bytes a block can grow to without moving.
SIZE_T Capacity(void* data) { return malloc_usable_size(data); }

// Moves a block's bytes into a new allocation of `bytes`, zeroing the grown
// part on request. Returns the new data or NULL (old data kept).
void* MoveBytes(void* data, SIZE_T old_size, SIZE_T bytes, bool zero) {
  void* moved = AllocBytes(bytes, false);
  if (!moved) return nullptr;
  std::memcpy(moved, data, old_size < bytes ? old_size : bytes);
  if (zero && bytes > old_size)
    std::memset(static_cast<char*>(moved) + old_size, 0, bytes - old_size);
  return moved;
}

// Resizes in place when the allocation has room; zeroes the grown part on
// request. False when the block would have to move.
bool ResizeInPlace(void* data, SIZE_T old_size, SIZE_T bytes, bool zero) {
  if (bytes > Capacity(data)) return false;
  if (zero && bytes > old_size)
    std::memset(static_cast<char*>(data) + old_size, 0, bytes - old_size);
  return true;
}

// The live block of a handle, or null (last error ERROR_INVALID_HANDLE).
// Called with the registry lock held.
GlobalBlock* FindBlock(Registry& r, HGLOBAL mem) {
  auto it = r.blocks.find(reinterpret_cast<uintptr_t>(mem));
  if (it == r.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &it->second;
}

// Heap of a handle, or null (last error ERROR_INVALID_HANDLE). Lock held.
Heap* FindHeap(Registry& r, HANDLE heap) {
  auto it = r.heaps.find(reinterpret_cast<uintptr_t>(heap));
  if (it == r.heaps.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &it->second;
}

// Registers a block; false (nothing registered) when the maps cannot grow.
bool Register(Registry& r, uintptr_t handle, const GlobalBlock& block) {
  try {
    r.handle_of.emplace(block.data, handle);
    try {
      r.blocks.emplace(handle, block);
    } catch (const std::bad_alloc&) {
      r.handle_of.erase(block.data);
      throw;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Changes a registered block's handle and/or data pointer. The new keys are
// added before the old ones go, so a failure (false) leaves the registry as
// it was. Lock held.
bool Rekey(Registry& r, uintptr_t old_handle, uintptr_t new_handle, void* new_data) {
  GlobalBlock moved = r.blocks.at(old_handle);
  void* old_data = moved.data;
  moved.data = new_data;
  const bool data_changes = new_data != old_data;
  const bool handle_changes = new_handle != old_handle;
  try {
    if (data_changes) r.handle_of.emplace(new_data, new_handle);
    if (handle_changes) r.blocks.emplace(new_handle, moved);
  } catch (const std::bad_alloc&) {
    if (data_changes) r.handle_of.erase(new_data);
    return false;
  }
  // Nothing below allocates.
  if (data_changes) r.handle_of.erase(old_data);
  r.handle_of[new_data] = new_handle;
  if (handle_changes) r.blocks.erase(old_handle);
  r.blocks[new_handle].data = new_data;
  return true;
}

}  // namespace

// ---- Global and local memory -------------------------------------------------------

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  if (ShouldFailAllocation()) return OutOfMemory();
  void* data = AllocBytes(bytes, flags & GMEM_ZEROINIT);
  if (!data) return OutOfMemory();
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  GlobalBlock block = {data, bytes, (flags & GMEM_MOVEABLE) != 0, 0};
  uintptr_t handle = reinterpret_cast<uintptr_t>(data);
  if (block.movable) handle = (r.next_movable++ << 4) | kMovableTag;
  if (!Register(r, handle, block)) {
    std::free(data);
    return OutOfMemory();
  }
  return reinterpret_cast<HGLOBAL>(handle);
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  GlobalBlock* block = FindBlock(r, mem);
  if (!block) return nullptr;
  uintptr_t handle = reinterpret_cast<uintptr_t>(mem);

  if (flags & GMEM_MODIFY) {
    if (!(flags & GMEM_MOVEABLE) || block->movable) return mem;
    uintptr_t movable = (r.next_movable++ << 4) | kMovableTag;
    void* data = block->data;
    if (!Rekey(r, handle, movable, data)) return OutOfMemory();
    r.blocks.at(movable).movable = true;
    return reinterpret_cast<HGLOBAL>(movable);
  }

  if (ShouldFailAllocation()) return OutOfMemory();
  const bool zero = (flags & GMEM_ZEROINIT) != 0;
  if (ResizeInPlace(block->data, block->size, bytes, zero)) {
    block->size = bytes;
    return mem;
  }
  bool may_move = (flags & GMEM_MOVEABLE) || (block->movable && block->lock_count == 0);
  if (!may_move) return OutOfMemory();
  void* old_data = block->data;
  void* moved = MoveBytes(old_data, block->size, bytes, zero);
  if (!moved) return OutOfMemory();
  uintptr_t new_handle = block->movable ? handle : reinterpret_cast<uintptr_t>(moved);
  if (!Rekey(r, handle, new_handle, moved)) {
    std::free(moved);
    return OutOfMemory();
  }
  r.blocks.at(new_handle).size = bytes;
  std::free(old_data);
  return reinterpret_cast<HGLOBAL>(new_handle);
}

HGLOBAL GlobalFree(HGLOBAL mem) {
  if (!mem) return nullptr;
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  GlobalBlock* block = FindBlock(r, mem);
  if (!block) return mem;
  void* data = block->data;
  r.handle_of.erase(data);
  r.blocks.erase(reinterpret_cast<uintptr_t>(mem));
  std::free(data);
  return nullptr;
}

LPVOID GlobalLock(HGLOBAL mem) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  GlobalBlock* block = FindBlock(r, mem);
  if (!block) return nullptr;
  if (block->movable) ++block->lock_count;
  return block->data;
}

BOOL GlobalUnlock(HGLOBAL mem) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  GlobalBlock* block = FindBlock(r, mem);
  if (!block) return FALSE;
  if (block->movable && block->lock_count == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (block->movable && --block->lock_count > 0) return TRUE;
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}

HGLOBAL GlobalHandle(LPCVOID pointer) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.handle_of.find(pointer);
  if (it == r.handle_of.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return reinterpret_cast<HGLOBAL>(it->second);
}

SIZE_T GlobalSize(HGLOBAL mem) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  GlobalBlock* block = FindBlock(r, mem);
  return block ? block->size : 0;
}

UINT GlobalFlags(HGLOBAL mem) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  GlobalBlock* block = FindBlock(r, mem);
  if (!block) return GMEM_INVALID_HANDLE;
  return block->lock_count < GMEM_LOCKCOUNT ? block->lock_count : GMEM_LOCKCOUNT;
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) { return GlobalAlloc(flags, bytes); }
HLOCAL LocalFree(HLOCAL mem) { return GlobalFree(mem); }

// ---- Private heaps -------------------------------------------------------------------

namespace {

// Creates a heap and returns its handle, or 0. Lock held.
uintptr_t NewHeap(Registry& r, SIZE_T maximum) {
  uintptr_t handle = (r.next_heap++ << 4) | kHeapTag;
  try {
    r.heaps[handle].maximum = maximum;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return handle;
}

// True when a heap may grow from `from` to `to` bytes of live blocks.
bool HeapHasRoom(const Heap& heap, SIZE_T from, SIZE_T to) {
  return heap.maximum == 0 || to <= from || heap.used - from + to <= heap.maximum;
}

}  // namespace

HANDLE HeapCreate(DWORD options, SIZE_T initial_size, SIZE_T maximum_size) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  uintptr_t handle = NewHeap(r, maximum_size);
  if (!handle) return OutOfMemory();
  return reinterpret_cast<HANDLE>(handle);
}

BOOL HeapDestroy(HANDLE heap) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  Heap* h = FindHeap(r, heap);
  if (!h) return FALSE;
  if (reinterpret_cast<uintptr_t>(heap) == r.process_heap) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (auto& entry : h->blocks) std::free(entry.first);
  r.heaps.erase(reinterpret_cast<uintptr_t>(heap));
  return TRUE;
}

HANDLE GetProcessHeap() {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  if (!r.process_heap) r.process_heap = NewHeap(r, 0);
  if (!r.process_heap) return OutOfMemory();
  return reinterpret_cast<HANDLE>(r.process_heap);
}

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  Heap* h = FindHeap(r, heap);
  if (!h) return nullptr;
  if (ShouldFailAllocation() || !HeapHasRoom(*h, 0, bytes)) return OutOfMemory();
  void* data = AllocBytes(bytes, flags & HEAP_ZERO_MEMORY);
  if (!data) return OutOfMemory();
  try {
    h->blocks.emplace(data, bytes);
  } catch (const std::bad_alloc&) {
    std::free(data);
    return OutOfMemory();
  }
  h->used += bytes;
  return data;
}

LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  Heap* h = FindHeap(r, heap);
  if (!h) return nullptr;
  auto it = h->blocks.find(block);
  if (it == h->blocks.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const SIZE_T old_size = it->second;
  if (ShouldFailAllocation() || !HeapHasRoom(*h, old_size, bytes)) return OutOfMemory();
  const bool zero = (flags & HEAP_ZERO_MEMORY) != 0;
  void* data = block;
  if (!ResizeInPlace(block, old_size, bytes, zero)) {
    if (flags & HEAP_REALLOC_IN_PLACE_ONLY) return OutOfMemory();
    data = MoveBytes(block, old_size, bytes, zero);
    if (!data) return OutOfMemory();
    try {
      h->blocks.emplace(data, bytes);
    } catch (const std::bad_alloc&) {
      std::free(data);
      return OutOfMemory();
    }
    h->blocks.erase(block);
    std::free(block);
  }
  h->blocks[data] = bytes;
  h->used = h->used - old_size + bytes;
  return data;
}

BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  Heap* h = FindHeap(r, heap);
  if (!h) return FALSE;
  if (!block) return TRUE;
  auto it = h->blocks.find(block);
  if (it == h->blocks.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  h->used -= it->second;
  h->blocks.erase(it);
  std::free(block);
  return TRUE;
}

SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  Heap* h = FindHeap(r, heap);
  if (!h) return static_cast<SIZE_T>(-1);
  auto it = h->blocks.find(const_cast<void*>(block));
  if (it == h->blocks.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<SIZE_T>(-1);
  }
  return it->second;
}

// ---- Pointer checks ----------------------------------------------------------------------

namespace {

enum class Probe { kYes, kNo, kUnknown };

uintptr_t PageSize() {
  static const uintptr_t size = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  return size;
}

// Reads one byte of every page of [start, end) through process_vm_readv on
// our own process, which reports an unreadable page as an error instead of
// faulting. kUnknown when the call is not available.
Probe ProbeReadable(uintptr_t start, uintptr_t end) {
  constexpr size_t kBatch = 256;  // pages probed per call
  char sink[kBatch];
  iovec remote[kBatch];
  const uintptr_t page_size = PageSize();
  const uintptr_t first = start / page_size;
  const uintptr_t last = (end - 1) / page_size;
  for (uintptr_t page = first; page <= last;) {
    size_t count = 0;
    for (; count < kBatch && page <= last; ++count, ++page) {
      uintptr_t at = page == first ? start : page * page_size;
      remote[count] = {reinterpret_cast<void*>(at), 1};
    }
    iovec local = {sink, count};
    ssize_t got = process_vm_readv(getpid(), &local, 1, remote, count, 0);
    if (got < 0 && errno != EFAULT) return Probe::kUnknown;
    if (got != static_cast<ssize_t>(count)) return Probe::kNo;
  }
  return Probe::kYes;
}

// Whether [start, end) lies in mappings that all carry a permission
// ('r' or 'w'), from /proc/self/maps. kUnknown when the file cannot be read.
Probe MappedWith(uintptr_t start, uintptr_t end, char permission) {
  int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Probe::kUnknown;
  std::string maps;
  try {
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) maps.append(buffer, static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    close(fd);
    return Probe::kUnknown;
  }
  close(fd);
  // Mappings are listed in address order: "lo-hi perms ...".
  uintptr_t covered = start;
  const char* line = maps.c_str();
  while (*line) {
    char* rest;
    uintptr_t lo = std::strtoull(line, &rest, 16);
    uintptr_t hi = (*rest == '-') ? std::strtoull(rest + 1, &rest, 16) : 0;
    const char* perms = rest + (*rest == ' ' ? 1 : 0);
    if (hi > covered) {
      if (lo > covered) return Probe::kNo;
      if (perms[permission == 'w' ? 1 : 0] != permission) return Probe::kNo;
      covered = hi;
      if (covered >= end) return Probe::kYes;
    }
    const char* next = std::strchr(line, '\n');
    if (!next) break;
    line = next + 1;
  }
  return Probe::kNo;
}

// The end of [pointer, pointer+bytes), or 0 when the range wraps.
uintptr_t RangeEnd(const void* pointer, UINT_PTR bytes) {
  uintptr_t end;
  if (__builtin_add_overflow(reinterpret_cast<uintptr_t>(pointer), bytes, &end)) return 0;
  return end;
}

bool Readable(uintptr_t start, uintptr_t end) {
  Probe p = ProbeReadable(start, end);
  if (p == Probe::kUnknown) p = MappedWith(start, end, 'r');
  return p == Probe::kYes;
}

}  // namespace

BOOL IsBadReadPtr(LPCVOID pointer, UINT_PTR bytes) {
  if (bytes == 0) return FALSE;
  uintptr_t end = RangeEnd(pointer, bytes);
  if (!pointer || !end) return TRUE;
  return Readable(reinterpret_cast<uintptr_t>(pointer), end) ? FALSE : TRUE;
}

BOOL IsBadWritePtr(LPVOID pointer, UINT_PTR bytes) {
  if (bytes == 0) return FALSE;
  uintptr_t end = RangeEnd(pointer, bytes);
  if (!pointer || !end) return TRUE;
  uintptr_t start = reinterpret_cast<uintptr_t>(pointer);
  if (!Readable(start, end)) return TRUE;
  // Without the mapping list, a readable range is taken as writable.
  return MappedWith(start, end, 'w') == Probe::kNo ? TRUE : FALSE;
}

namespace platform {

size_t LiveGlobalBlockCount() {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.blocks.size();
}

SIZE_T RuntimeBlockSize(const void* block) {
  return block ? malloc_usable_size(const_cast<void*>(block)) : 0;
}

}  // namespace platform

// ---- Memory status ----------------------------------------------------------------------

namespace {

std::mutex g_status_lock;                 // guards the two below
bool g_status_set = false;                // a test replaced the machine's figures
MEMORYSTATUSEX g_status_override{};       // those figures

// One "Name:   123 kB" line of /proc/meminfo in bytes, or 0.
ULONGLONG MeminfoBytes(const std::string& text, const char* name) {
  std::string key = std::string("\n") + name + ":";
  size_t at = ("\n" + text).find(key);
  if (at == std::string::npos) return 0;
  return std::strtoull(text.c_str() + at + key.size() - 1, nullptr, 10) * 1024;
}

std::string ReadMeminfo() {
  std::string text;
  int fd = open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof(buffer))) > 0) text.append(buffer, static_cast<size_t>(n));
  close(fd);
  return text;
}

}  // namespace

BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status) {
  if (!status || status->dwLength != sizeof(MEMORYSTATUSEX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(g_status_lock);
    if (g_status_set) {
      *status = g_status_override;
      status->dwLength = sizeof(MEMORYSTATUSEX);
      return TRUE;
    }
  }
  std::string info = ReadMeminfo();
  ULONGLONG total = MeminfoBytes(info, "MemTotal");
  ULONGLONG avail = MeminfoBytes(info, "MemAvailable");
  if (!avail) avail = MeminfoBytes(info, "MemFree");
  if (!total) {
    long pages = sysconf(_SC_PHYS_PAGES);
    long page = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page > 0) total = static_cast<ULONGLONG>(pages) * static_cast<ULONGLONG>(page);
    long free_pages = sysconf(_SC_AVPHYS_PAGES);
    if (free_pages > 0 && page > 0) avail = static_cast<ULONGLONG>(free_pages) * static_cast<ULONGLONG>(page);
  }
  if (avail > total) avail = total;
  *status = MEMORYSTATUSEX{};
  status->dwLength = sizeof(MEMORYSTATUSEX);
  status->ullTotalPhys = total;
  status->ullAvailPhys = avail;
  status->dwMemoryLoad = total ? static_cast<DWORD>(100 - avail * 100 / total) : 0;
  status->ullTotalPageFile = total + MeminfoBytes(info, "SwapTotal");
  status->ullAvailPageFile = avail + MeminfoBytes(info, "SwapFree");
  // The user half of a 48-bit address space.
  status->ullTotalVirtual = ULONGLONG{1} << 47;
  status->ullAvailVirtual = status->ullTotalVirtual;
  return TRUE;
}

void platform::SetMemoryStatus(const MEMORYSTATUSEX* status) {
  std::lock_guard<std::mutex> guard(g_status_lock);
  g_status_set = status != nullptr;
  if (status) g_status_override = *status;
}
