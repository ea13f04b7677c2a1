#include "platform/kernel/memory.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/kernel/error.h"

namespace {

bool AllBytesAre(const void* p, size_t from, size_t to, unsigned char value) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  for (size_t i = from; i < to; ++i)
    if (b[i] != value) return false;
  return true;
}

// Every test leaves the global block count where it found it and turns the
// failure hook off again.
class Memory : public ::testing::Test {
 protected:
  void SetUp() override { live_ = platform::LiveGlobalBlockCount(); }
  void TearDown() override {
    platform::FailNextAllocations(0);
    EXPECT_EQ(live_, platform::LiveGlobalBlockCount());
  }
  size_t live_ = 0;
};

TEST_F(Memory, FixedAndMovableBlocks) {
  HGLOBAL fixed = GlobalAlloc(GPTR, 16);
  ASSERT_NE(nullptr, fixed);
  EXPECT_EQ(live_ + 1, platform::LiveGlobalBlockCount());
  void* p = GlobalLock(fixed);
  EXPECT_EQ(fixed, p);  // the handle is the pointer
  EXPECT_TRUE(AllBytesAre(p, 0, 16, 0));
  EXPECT_EQ(16u, GlobalSize(fixed));
  EXPECT_EQ(fixed, GlobalHandle(p));
  EXPECT_EQ(0u, GlobalFlags(fixed));  // fixed blocks have no lock count
  EXPECT_FALSE(GlobalUnlock(fixed));
  EXPECT_EQ(ERROR_SUCCESS, GetLastError());
  EXPECT_EQ(nullptr, GlobalFree(fixed));

  HGLOBAL movable = GlobalAlloc(GHND, 8);
  ASSERT_NE(nullptr, movable);
  void* q = GlobalLock(movable);
  ASSERT_NE(nullptr, q);
  EXPECT_NE(movable, q);
  EXPECT_EQ(q, GlobalLock(movable));
  EXPECT_EQ(2u, GlobalFlags(movable));
  EXPECT_EQ(movable, GlobalHandle(q));
  EXPECT_TRUE(GlobalUnlock(movable));  // still locked once
  EXPECT_FALSE(GlobalUnlock(movable));
  EXPECT_EQ(ERROR_SUCCESS, GetLastError());
  EXPECT_FALSE(GlobalUnlock(movable));
  EXPECT_EQ(ERROR_NOT_LOCKED, GetLastError());
  EXPECT_EQ(nullptr, LocalFree(movable));  // local and global blocks are one kind

  HLOCAL local = LocalAlloc(LPTR, 0);  // an empty block is still a block
  ASSERT_NE(nullptr, local);
  EXPECT_EQ(0u, GlobalSize(local));
  EXPECT_EQ(nullptr, GlobalFree(local));
}

TEST_F(Memory, BogusHandlesAndDoubleFreeAreRefused) {
  HGLOBAL live = GlobalAlloc(GMEM_FIXED, 8);
  HGLOBAL freed = GlobalAlloc(GMEM_MOVEABLE, 8);
  HGLOBAL freed_fixed = GlobalAlloc(GMEM_FIXED, 8);
  ASSERT_EQ(nullptr, GlobalFree(freed));
  ASSERT_EQ(nullptr, GlobalFree(freed_fixed));
  int on_stack = 0;
  const HGLOBAL bogus[] = {freed, freed_fixed, &on_stack, static_cast<char*>(live) + 1,
                           reinterpret_cast<HGLOBAL>(0x1234)};
  for (HGLOBAL h : bogus) {
    SCOPED_TRACE(h);
    SetLastError(0);
    EXPECT_EQ(h, GlobalFree(h));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_EQ(nullptr, GlobalLock(h));
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(0u, GlobalSize(h));
    EXPECT_EQ(GMEM_INVALID_HANDLE, GlobalFlags(h));
    EXPECT_EQ(nullptr, GlobalReAlloc(h, 64, GMEM_MOVEABLE));
    EXPECT_EQ(nullptr, GlobalHandle(h));
  }
  EXPECT_EQ(nullptr, GlobalFree(nullptr));
  EXPECT_EQ(nullptr, GlobalFree(live));
}

TEST_F(Memory, ReAllocKeepsDataAndZeroesGrownPart) {
  // Shrink, then grow again in place: the regrown bytes must be zeroed even
  // though the allocation never left them.
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 64);
  unsigned char* p = static_cast<unsigned char*>(GlobalLock(h));
  std::memset(p, 0xAB, 64);
  GlobalUnlock(h);
  ASSERT_EQ(h, GlobalReAlloc(h, 8, 0));
  ASSERT_EQ(h, GlobalReAlloc(h, 64, GMEM_ZEROINIT));
  EXPECT_EQ(64u, GlobalSize(h));
  p = static_cast<unsigned char*>(GlobalLock(h));
  EXPECT_TRUE(AllBytesAre(p, 0, 8, 0xAB));
  EXPECT_TRUE(AllBytesAre(p, 8, 64, 0));
  // A locked movable block cannot move unless asked to.
  EXPECT_EQ(nullptr, GlobalReAlloc(h, 1 << 20, GMEM_ZEROINIT));
  EXPECT_EQ(64u, GlobalSize(h));
  GlobalUnlock(h);
  // Unlocked it moves and keeps its handle.
  ASSERT_EQ(h, GlobalReAlloc(h, 1 << 20, GMEM_ZEROINIT));
  p = static_cast<unsigned char*>(GlobalLock(h));
  EXPECT_TRUE(AllBytesAre(p, 0, 8, 0xAB));
  EXPECT_TRUE(AllBytesAre(p, 64, 1 << 20, 0));
  EXPECT_EQ(h, GlobalHandle(p));
  GlobalFree(h);
}

TEST_F(Memory, FixedBlockMovesOnlyWhenAllowed) {
  HGLOBAL h = GlobalAlloc(GMEM_FIXED, 16);
  std::memset(h, 0x5A, 16);
  EXPECT_EQ(nullptr, GlobalReAlloc(h, 1 << 20, 0));
  EXPECT_EQ(16u, GlobalSize(h));  // unchanged
  HGLOBAL moved = GlobalReAlloc(h, 1 << 20, GMEM_MOVEABLE);
  ASSERT_NE(nullptr, moved);
  ASSERT_NE(h, moved);  // the handle is the new pointer
  EXPECT_EQ(0u, GlobalSize(h));
  EXPECT_EQ(moved, GlobalLock(moved));
  EXPECT_TRUE(AllBytesAre(moved, 0, 16, 0x5A));

  // GMEM_MODIFY turns it into a movable block at the same address.
  HGLOBAL handle = GlobalReAlloc(moved, 0, GMEM_MODIFY | GMEM_MOVEABLE);
  ASSERT_NE(nullptr, handle);
  EXPECT_NE(moved, handle);
  EXPECT_EQ(handle, GlobalHandle(moved));
  EXPECT_EQ(moved, GlobalLock(handle));
  EXPECT_EQ(moved, GlobalFree(moved));  // the old handle is gone
  EXPECT_EQ(nullptr, GlobalFree(handle));
}

TEST_F(Memory, PrivateHeaps) {
  HANDLE heap = HeapCreate(0, 0, 0);
  ASSERT_NE(nullptr, heap);
  void* blocks[3];
  for (void*& b : blocks) {
    b = HeapAlloc(heap, HEAP_ZERO_MEMORY, 100);
    ASSERT_NE(nullptr, b);
    EXPECT_TRUE(AllBytesAre(b, 0, 100, 0));
  }
  std::memset(blocks[0], 0x11, 100);
  void* grown = HeapReAlloc(heap, HEAP_ZERO_MEMORY, blocks[0], 1 << 20);
  ASSERT_NE(nullptr, grown);
  EXPECT_TRUE(AllBytesAre(grown, 0, 100, 0x11));
  EXPECT_TRUE(AllBytesAre(grown, 100, 1 << 20, 0));
  EXPECT_EQ(SIZE_T(1) << 20, HeapSize(heap, 0, grown));

  // Double free and blocks of other heaps are refused.
  EXPECT_TRUE(HeapFree(heap, 0, blocks[1]));
  EXPECT_FALSE(HeapFree(heap, 0, blocks[1]));
  EXPECT_EQ(static_cast<SIZE_T>(-1), HeapSize(heap, 0, blocks[1]));
  EXPECT_FALSE(HeapFree(GetProcessHeap(), 0, blocks[2]));
  EXPECT_TRUE(HeapFree(heap, 0, nullptr));

  // Destroying the heap frees the blocks still in it (the leak checker of the
  // sanitizer build sees it when it does not) and retires the handle.
  EXPECT_TRUE(HeapDestroy(heap));
  EXPECT_EQ(nullptr, HeapAlloc(heap, 0, 8));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_FALSE(HeapDestroy(heap));
  EXPECT_FALSE(HeapDestroy(GetProcessHeap()));
  EXPECT_EQ(GetProcessHeap(), GetProcessHeap());
}

TEST_F(Memory, HeapMaximumSize) {
  HANDLE heap = HeapCreate(0, 0, 1000);
  void* a = HeapAlloc(heap, 0, 800);
  ASSERT_NE(nullptr, a);
  EXPECT_EQ(nullptr, HeapAlloc(heap, 0, 300));
  EXPECT_EQ(nullptr, HeapReAlloc(heap, 0, a, 1001));
  void* b = HeapAlloc(heap, 0, 200);
  EXPECT_NE(nullptr, b);
  EXPECT_TRUE(HeapFree(heap, 0, a));
  EXPECT_NE(nullptr, HeapAlloc(heap, 0, 800));
  EXPECT_TRUE(HeapDestroy(heap));
}

TEST_F(Memory, FailureHook) {
  HANDLE heap = HeapCreate(0, 0, 0);
  HGLOBAL keep = GlobalAlloc(GMEM_MOVEABLE, 8);
  platform::FailNextAllocations(3);
  SetLastError(0);
  EXPECT_EQ(nullptr, GlobalAlloc(GHND, 8));
  EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GetLastError());
  EXPECT_EQ(nullptr, HeapAlloc(heap, 0, 8));
  EXPECT_EQ(nullptr, GlobalReAlloc(keep, 16, 0));
  EXPECT_EQ(8u, GlobalSize(keep));
  HGLOBAL later = GlobalAlloc(GHND, 8);  // the hook is used up
  EXPECT_NE(nullptr, later);
  GlobalFree(later);
  GlobalFree(keep);
  HeapDestroy(heap);
}

// Skipped allocations succeed, then the planned number fail, then
// allocation works again; a new plan replaces the old one.
TEST_F(Memory, FailureHookAfterSkips) {
  platform::FailAllocationsAfter(2, 1);
  HGLOBAL first = GlobalAlloc(GPTR, 8);
  HGLOBAL second = GlobalAlloc(GPTR, 8);
  EXPECT_NE(nullptr, first);
  EXPECT_NE(nullptr, second);
  EXPECT_EQ(nullptr, GlobalAlloc(GPTR, 8));
  HGLOBAL after = GlobalAlloc(GPTR, 8);
  EXPECT_NE(nullptr, after);
  platform::FailAllocationsAfter(5, 1);
  platform::FailAllocationsAfter(0, 0);  // cancels the plan
  HGLOBAL free = GlobalAlloc(GPTR, 8);
  EXPECT_NE(nullptr, free);
  for (HGLOBAL h : {first, second, after, free}) GlobalFree(h);
}

TEST_F(Memory, ConcurrentUse) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 500; ++i) {
        HGLOBAL h = GlobalAlloc(GHND, 32);
        void* p = GlobalLock(h);
        std::memset(p, i, 32);
        GlobalUnlock(h);
        HGLOBAL g = GlobalReAlloc(h, 4096, GMEM_MOVEABLE);
        GlobalFree(g ? g : h);
      }
    });
  for (auto& t : threads) t.join();
}

TEST(MemoryStatus, MachineFiguresAreConsistent) {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status) - 1;
  SetLastError(0);
  EXPECT_FALSE(GlobalMemoryStatusEx(&status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(GlobalMemoryStatusEx(nullptr));

  // A replaced figure set goes away again with NULL.
  MEMORYSTATUSEX fake{};
  fake.ullTotalPhys = 12345;
  platform::SetMemoryStatus(&fake);
  platform::SetMemoryStatus(nullptr);

  status.dwLength = sizeof(status);
  ASSERT_TRUE(GlobalMemoryStatusEx(&status));
  EXPECT_EQ(status.dwLength, sizeof(status));
  // Physical memory as the system counts its pages (within 1 %).
  const ULONGLONG pages = static_cast<ULONGLONG>(sysconf(_SC_PHYS_PAGES));
  const ULONGLONG physical = pages * static_cast<ULONGLONG>(sysconf(_SC_PAGESIZE));
  ASSERT_GT(physical, 0u);
  EXPECT_NE(status.ullTotalPhys, 12345u);
  EXPECT_GE(status.ullTotalPhys, physical - physical / 100);
  EXPECT_LE(status.ullTotalPhys, physical + physical / 100);
  EXPECT_GT(status.ullAvailPhys, 0u);
  EXPECT_LE(status.ullAvailPhys, status.ullTotalPhys);
  EXPECT_LE(status.dwMemoryLoad, 100u);
  EXPECT_EQ(status.dwMemoryLoad, 100 - status.ullAvailPhys * 100 / status.ullTotalPhys);
  // The commit limit holds physical memory and swap.
  EXPECT_GE(status.ullTotalPageFile, status.ullTotalPhys);
  EXPECT_GE(status.ullAvailPageFile, status.ullAvailPhys);
  EXPECT_LE(status.ullAvailPageFile, status.ullTotalPageFile);
  EXPECT_EQ(status.ullTotalVirtual, ULONGLONG{1} << 47);
  EXPECT_LE(status.ullAvailVirtual, status.ullTotalVirtual);
  EXPECT_EQ(status.ullAvailExtendedVirtual, 0u);
}

TEST(PointerChecks, ReadAndWriteProbes) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  char* map = static_cast<char*>(
      mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(MAP_FAILED, static_cast<void*>(map));
  char* writable = map;
  char* read_only = map + page;
  char* unmapped = map + 2 * page;
  ASSERT_EQ(0, mprotect(read_only, page, PROT_READ));
  ASSERT_EQ(0, munmap(unmapped, page));
  char local[64] = {};
  const struct {
    const char* what;
    const void* p;
    UINT_PTR n;
    BOOL bad_read;
    BOOL bad_write;
  } cases[] = {
      {"null", nullptr, 1, TRUE, TRUE},
      {"null, size 0", nullptr, 0, FALSE, FALSE},
      {"stack", local, sizeof local, FALSE, FALSE},
      {"writable page", writable, page, FALSE, FALSE},
      {"read-only page", read_only, page, FALSE, TRUE},
      {"into the read-only page", writable + page - 8, 16, FALSE, TRUE},
      {"unmapped page", unmapped, 1, TRUE, TRUE},
      {"unmapped, size 0", unmapped, 0, FALSE, FALSE},
      {"across into the unmapped page", read_only + page - 1, 2, TRUE, TRUE},
      {"wrapping range", writable, ~UINT_PTR(0), TRUE, TRUE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.bad_read, IsBadReadPtr(c.p, c.n)) << c.what;
    EXPECT_EQ(c.bad_write, IsBadWritePtr(const_cast<void*>(c.p), c.n)) << c.what;
  }
  munmap(map, 2 * page);
}

}  // namespace
