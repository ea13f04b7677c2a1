// The 32-byte-aligned allocator and its exports.
#include "dsp/AlignedAlloc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "dsp/Dispatch.h"
#include "dsp/WuPerf.h"
#include "tests/dsp/VariantTestUtil.h"

namespace {

// A heap that records what the allocator asks of it. Requests above
// `limit` fail; the others are served from malloc at `offset` bytes past
// the start of a larger block, to present raw blocks of any alignment.
struct RecordingHeap {
  static inline size_t limit = 1 << 20;   // larger requests fail
  static inline size_t offset = 0;        // bytes added to each raw address
  static inline int allocations = 0;      // allocate calls
  static inline int releases = 0;         // release calls
  static inline size_t lastRequest = 0;   // bytes of the last allocate call
  static inline void* lastRaw = nullptr;  // raw address last handed out
  static inline void* lastFreed = nullptr;  // raw address last released

  static void* Allocate(size_t bytes) {
    ++allocations;
    lastRequest = bytes;
    if (bytes > limit) return nullptr;
    uint8_t* base = static_cast<uint8_t*>(std::malloc(bytes + 64));
    lastRaw = base + offset;
    return lastRaw;
  }
  static void Release(void* raw) {
    ++releases;
    lastFreed = raw;
    std::free(static_cast<uint8_t*>(raw) - offset);
  }
  static void Reset() {
    limit = 1 << 20;
    offset = 0;
    allocations = releases = 0;
    lastRequest = 0;
    lastRaw = lastFreed = nullptr;
  }
};

const wuperf::WuPerfAllocFunctions kRecordingHeap = {RecordingHeap::Allocate, nullptr, nullptr,
                                                     RecordingHeap::Release};

class AlignedAllocTest : public dsptest::DspTest {
 protected:
  void SetUp() override {
    DspTest::SetUp();
    RecordingHeap::Reset();
    WuPerf_SetAllocTableForTesting(&kRecordingHeap);
  }
  void TearDown() override {
    WuPerf_SetAllocTableForTesting(nullptr);
    DspTest::TearDown();
  }
};

TEST_F(AlignedAllocTest, BlocksAreAlignedUsableAndFreeableUnderAnyVariant) {
  WuPerf_SetAllocTableForTesting(nullptr);  // the real heap, watched by the sanitizers
  std::vector<size_t> sizes;
  for (size_t n = 1; n <= 100; ++n) sizes.push_back(n);
  sizes.push_back(4096);
  sizes.push_back(100000);
  for (size_t n : sizes) {
    SCOPED_TRACE(n);
    int v = static_cast<int>(n % wuperf::kVariantCount);
    uint8_t* block = wuperf::kMallocTable[v](static_cast<int32_t>(n));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 32, 0u);
    std::memset(block, 0xA5, n);
    // A block from one variant is released by another's entry.
    wuperf::kFreeTable[(v + 3) % wuperf::kVariantCount](block);
  }
}

TEST_F(AlignedAllocTest, RejectsNonPositiveSizesWithoutCallingTheHeap) {
  for (int32_t n : {0, -1, -5, std::numeric_limits<int32_t>::min()}) {
    EXPECT_EQ(WuPerfsMalloc_8u(n), nullptr) << n;
    EXPECT_EQ(wuperf::WuPerfsAlignedMalloc(n), nullptr) << n;
  }
  WuPerfsFree(nullptr);
  EXPECT_EQ(RecordingHeap::allocations, 0);
  EXPECT_EQ(RecordingHeap::releases, 0);
}

// The raw request is the size plus 32 bytes of slack plus one pointer, in
// size_t: the largest 32-bit size asks for 2^31 + 39 bytes instead of
// wrapping, and a refusal comes back as null.
TEST_F(AlignedAllocTest, RequestsSizePlusSlackWithoutWrapping) {
  const size_t slack = 32 + sizeof(void*);
  for (int32_t n : {1, 1000, std::numeric_limits<int32_t>::max()}) {
    SCOPED_TRACE(n);
    uint8_t* block = WuPerfsMalloc_8u(n);
    EXPECT_EQ(RecordingHeap::lastRequest, static_cast<size_t>(n) + slack);
    if (static_cast<size_t>(n) + slack > RecordingHeap::limit) {
      EXPECT_EQ(block, nullptr);
      continue;
    }
    ASSERT_NE(block, nullptr);
    WuPerfsFree(block);
    EXPECT_EQ(RecordingHeap::lastFreed, RecordingHeap::lastRaw);
  }
  // Sizes whose raw block cannot be counted in size_t never reach the heap.
  int before = RecordingHeap::allocations;
  EXPECT_EQ(wuperf::AlignedMallocBytes(std::numeric_limits<size_t>::max() - 8), nullptr);
  EXPECT_EQ(wuperf::AlignedMallocBytes(0), nullptr);
  EXPECT_EQ(RecordingHeap::allocations, before);
}

// Whatever the raw address, the stored address word and the whole block lie
// inside the raw block, and release hands the raw address back.
TEST_F(AlignedAllocTest, BlockAndAddressWordStayInsideRawBlockAtAnyOffset) {
  const size_t n = 100;
  for (size_t offset = 0; offset < 32; ++offset) {
    SCOPED_TRACE(offset);
    RecordingHeap::offset = offset;
    uint8_t* block = static_cast<uint8_t*>(wuperf::WuPerfsAlignedMalloc(static_cast<int32_t>(n)));
    ASSERT_NE(block, nullptr);
    uint8_t* raw = static_cast<uint8_t*>(RecordingHeap::lastRaw);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 32, 0u);
    EXPECT_GE(block - sizeof(void*), raw);
    EXPECT_LE(block + n, raw + RecordingHeap::lastRequest);
    wuperf::WuPerfsAlignedFree(block);
    EXPECT_EQ(RecordingHeap::lastFreed, raw);
  }
}

}  // namespace
