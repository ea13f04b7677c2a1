#include "foundation/WuList.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "platform/kernel/memory.h"

namespace {

// ---- Fixture helpers ------------------------------------------------------------

struct ListDeleter {
  void operator()(tWULIST* l) const { WuList_Destroy(l); }
};
using ListPtr = std::unique_ptr<tWULIST, ListDeleter>;

ListPtr Make(DWORD options, LONG itemSize = 0, LONG initial = 0, LONG step = 0) {
  tWULIST* l = nullptr;
  EXPECT_EQ(WuList_CreateExZ(&l, itemSize, initial, step, options), S_OK);
  return ListPtr(l);
}

void* P(intptr_t v) { return reinterpret_cast<void*>(v); }

// A pointer list holding small integers as its pointers.
ListPtr MakeInts(const std::vector<intptr_t>& values, DWORD options = 0, LONG step = 4) {
  ListPtr l = Make(options, 0, 0, step);
  for (intptr_t v : values) EXPECT_EQ(WuList_InsertItem(l.get(), -1, P(v)), S_OK);
  return l;
}

std::vector<intptr_t> Ints(const tWULIST* l) {
  std::vector<intptr_t> out;
  for (LONG i = 0; i < l->count; ++i)
    out.push_back(reinterpret_cast<intptr_t>(WuList_PointerAt(l, i)));
  return out;
}

// Ascending by value; a negative context sorts descending.
int CompareInts(INT_PTR context, const void* a, const void* b) {
  intptr_t x = reinterpret_cast<intptr_t>(a), y = reinterpret_cast<intptr_t>(b);
  int r = x < y ? -1 : (x > y ? 1 : 0);
  return context < 0 ? -r : r;
}

// In-place record of 10 bytes (stored as 12).
struct Rec {
  int32_t key;
  int32_t payload;
  int16_t tag;
};
int CompareRecs(INT_PTR, const void* a, const void* b) {
  int32_t x = static_cast<const Rec*>(a)->key, y = static_cast<const Rec*>(b)->key;
  return x < y ? -1 : (x > y ? 1 : 0);
}

std::vector<intptr_t> RandomValues(size_t n, unsigned seed, intptr_t range) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<intptr_t> dist(0, range);
  std::vector<intptr_t> v(n);
  for (auto& x : v) x = dist(rng);
  return v;
}

bool AllZero(const void* p, size_t bytes) {
  const BYTE* b = static_cast<const BYTE*>(p);
  return std::all_of(b, b + bytes, [](BYTE x) { return x == 0; });
}

// ---- Creation ------------------------------------------------------------------------

TEST(WuListCreate, ClampsStepAndRoundsCapacity) {
  struct Case {
    LONG initial, step, wantStep, wantCapacity;
  } cases[] = {
      {0, 2, 4, 16},             // step below 4
      {0, 100000, 66560, 66560}, // step above the maximum
      {20, 16, 16, 32},          // initial rounded up to the step
      {-5, -1, 16, 16},          // defaults
      {1, 0, 16, 16},            // initial at least 4, then rounded
      {5, 4, 4, 8},
  };
  for (const Case& c : cases) {
    ListPtr l = Make(0, 0, c.initial, c.step);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->growStep, c.wantStep) << c.initial << "/" << c.step;
    EXPECT_EQ(l->capacity, c.wantCapacity) << c.initial << "/" << c.step;
    EXPECT_EQ(l->count, 0);
    EXPECT_TRUE(AllZero(l->storage, size_t(l->capacity) * l->itemSize));
  }
}

TEST(WuListCreate, OptionsItemSizeAndSignature) {
  ListPtr owned = Make(WULIST_OWNITEMS);
  EXPECT_EQ(WuList_GetCreateOptions(owned.get()), 0x40000002u);
  EXPECT_EQ(owned->itemSize, LONG(sizeof(void*)));
  EXPECT_EQ(memcmp(&owned->signature, "CURT", 4), 0);
  EXPECT_EQ(owned->ownerThread, GetCurrentThreadId());

  ListPtr inplace = Make(WULIST_INPLACE, 10);
  EXPECT_EQ(inplace->itemSize, 12);

  tWULIST* l = reinterpret_cast<tWULIST*>(P(1));
  EXPECT_EQ(WuList_CreateExZ(&l, 0, 0, 0, WULIST_OWNITEMS | WULIST_INPLACE), E_FAIL);
  EXPECT_EQ(l, nullptr);
  EXPECT_EQ(WuList_CreateExZ(&l, 0, 0, 0, WULIST_INPLACE), E_FAIL);  // no item size
  EXPECT_EQ(WuList_CreateExZ(&l, 0, 0, 0, WULIST_CALLERHEADER), E_FAIL);  // no record
  EXPECT_EQ(WuList_CreateExZ(nullptr, 0, 0, 0, 0), E_POINTER);
}

TEST(WuListCreate, CallerHeaderIsClearedUsedAndKept) {
  size_t blocks = platform::LiveGlobalBlockCount();
  tWULIST record;
  memset(static_cast<void*>(&record), 0xAB, sizeof(record));
  tWULIST* l = &record;
  ASSERT_EQ(WuList_CreateExZ(&l, 0, 0, 0, WULIST_CALLERHEADER | WULIST_LOCKED), S_OK);
  EXPECT_EQ(l, &record);
  EXPECT_EQ(record.userData, 0);
  EXPECT_EQ(record.pending, nullptr);
  EXPECT_EQ(WuList_InsertItem(l, -1, P(7)), S_OK);
  EXPECT_EQ(WuList_Destroy(l), S_OK);
  EXPECT_FALSE(WuList_IsListFast(&record));
  EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks);
  EXPECT_EQ(WuList_Destroy(nullptr), S_OK);
}

TEST(WuListCreate, AllocationFailureLeavesNothingBehind) {
  size_t blocks = platform::LiveGlobalBlockCount();
  tWULIST* l = reinterpret_cast<tWULIST*>(P(1));
  platform::FailNextAllocations(1);  // the header
  EXPECT_EQ(WuList_CreateExZ(&l, 0, 0, 0, 0), E_OUTOFMEMORY);
  EXPECT_EQ(l, nullptr);

  tWULIST record;
  l = &record;
  platform::FailNextAllocations(1);  // the storage of a caller header
  EXPECT_EQ(WuList_CreateExZ(&l, 0, 0, 0, WULIST_CALLERHEADER), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_FALSE(WuList_IsListFast(&record));
  EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks);

  // A capacity past the 32-bit item count is refused, not wrapped.
  EXPECT_EQ(WuList_CreateExZ(&l, 0, 0x7FFFFFFE, 66560, 0), E_OUTOFMEMORY);
}

TEST(WuListCreate, IsListChecksSizeReadabilityAndSignature) {
  ListPtr l = Make(0);
  EXPECT_TRUE(WuList_IsList(l.get(), WULIST_HEADER_SIZE));
  EXPECT_FALSE(WuList_IsList(l.get(), WULIST_HEADER_SIZE + 4));
  EXPECT_FALSE(WuList_IsList(nullptr, WULIST_HEADER_SIZE));
  std::vector<BYTE> junk(WULIST_HEADER_SIZE, 0);
  EXPECT_FALSE(WuList_IsList(junk.data(), WULIST_HEADER_SIZE));
  EXPECT_FALSE(WuList_IsListFast(junk.data()));
  EXPECT_EQ(WuList_InsertItem(reinterpret_cast<tWULIST*>(junk.data()), 0, P(1)), E_POINTER);
}

// ---- Insertion and deletion -------------------------------------------------------------

TEST(WuListInsert, IndexOutOfRangeAppends) {
  ListPtr l = MakeInts({1, 2});
  EXPECT_EQ(WuList_InsertItem(l.get(), -1, P(3)), S_OK);
  EXPECT_EQ(WuList_InsertItem(l.get(), 3, P(4)), S_OK);     // at the count
  EXPECT_EQ(WuList_InsertItem(l.get(), 99, P(5)), S_OK);
  EXPECT_EQ(WuList_InsertItem(l.get(), 0, P(0)), S_OK);
  void* two[] = {P(8), P(9)};
  EXPECT_EQ(WuList_InsertList(l.get(), 2, two, 2), S_OK);
  EXPECT_EQ(Ints(l.get()), (std::vector<intptr_t>{0, 1, 8, 9, 2, 3, 4, 5}));
  EXPECT_EQ(WuList_InsertList(l.get(), 0, two, 0), S_OK);
  EXPECT_EQ(l->count, 8);
}

TEST(WuListInsert, GrowsInWholeSteps) {
  ListPtr l = MakeInts({}, 0, 4);  // capacity 16
  std::vector<intptr_t> v(17);
  for (size_t i = 0; i < v.size(); ++i) v[i] = intptr_t(i);
  ASSERT_EQ(WuList_InsertList(l.get(), -1, v.data(), 16), S_OK);
  EXPECT_EQ(l->capacity, 16);
  ASSERT_EQ(WuList_InsertItem(l.get(), -1, P(16)), S_OK);
  EXPECT_EQ(l->capacity, 20);
  EXPECT_EQ(Ints(l.get()), v);
}

TEST(WuListDelete, Table) {
  struct Case {
    LONG index, count;
    HRESULT hr;
    std::vector<intptr_t> want;
  } cases[] = {
      {2, -1, S_OK, {1, 2}},          // to the end
      {5, 1, E_FAIL, {1, 2, 3, 4, 5}},  // at the count
      {5, -1, S_OK, {1, 2, 3, 4, 5}}, // nothing from the end
      {-1, 1, E_FAIL, {1, 2, 3, 4, 5}},
      {3, 10, S_OK, {1, 2, 3}},       // clamped to the items left
      {1, 0, S_OK, {1, 2, 3, 4, 5}},
      {0, 2, S_OK, {3, 4, 5}},
  };
  for (const Case& c : cases) {
    ListPtr l = MakeInts({1, 2, 3, 4, 5});
    EXPECT_EQ(WuList_DeleteList(l.get(), c.index, c.count, FALSE), c.hr) << c.index;
    EXPECT_EQ(Ints(l.get()), c.want) << c.index << "," << c.count;
    // The vacated slots are zero again.
    EXPECT_TRUE(AllZero(WuList_ItemAt(l.get(), l->count), (5 - l->count) * sizeof(void*)));
  }
}

TEST(WuListDelete, ShrinkFlagReleasesUnusedSteps) {
  std::vector<intptr_t> v(30, 1);
  ListPtr l = MakeInts(v, 0, 4);  // capacity 32
  ASSERT_EQ(WuList_DeleteList(l.get(), 0, 25, TRUE), S_OK);
  EXPECT_EQ(l->count, 5);
  EXPECT_EQ(l->capacity, 8);  // 27 unused -> 24 released in whole steps
  ASSERT_EQ(WuList_DeleteList(l.get(), 0, 1, TRUE), S_OK);
  EXPECT_EQ(l->capacity, 8);  // 4 unused: not more than one step
}

// ---- Moves ------------------------------------------------------------------------------------

TEST(WuListMove, MatchesRotate) {
  struct Case {
    LONG from, to, count;
  } cases[] = {
      {0, 3, 1}, {3, 0, 1}, {0, 9, 1}, {9, 0, 1}, {2, 5, 3}, {5, 2, 3},
      {0, 1, 9}, {1, 0, 9}, {4, 4, 2}, {3, 6, -1}, {6, 3, -1}, {2, -5, 3},
  };
  for (const Case& c : cases) {
    std::vector<intptr_t> want = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ListPtr l = MakeInts(want);
    LONG to = std::max(c.to, 0);
    LONG n = c.count >= 0 ? c.count : 10 - std::max(c.from, to);
    if (c.from < to)
      std::rotate(want.begin() + c.from, want.begin() + c.from + n, want.begin() + to + n);
    else
      std::rotate(want.begin() + to, want.begin() + c.from, want.begin() + c.from + n);
    EXPECT_EQ(WuList_MoveRange(l.get(), c.from, c.to, c.count), S_OK);
    EXPECT_EQ(Ints(l.get()), want) << c.from << "->" << c.to << " x" << c.count;
  }
}

TEST(WuListMove, RefusesRangesOutsideTheList) {
  struct Case {
    LONG from, to, count;
    HRESULT hr;
  } cases[] = {
      {-1, 0, 1, E_INVALIDARG},
      {3, 0, 2, E_FAIL},        // from + count past the end
      {0, 4, 1, E_FAIL},        // to + count past the end
      {6, 0, -1, E_FAIL},       // negative count with from past the end
      {0, 7, -1, E_FAIL},       // negative count with to past the end
      {0x7FFFFFF0, 0, 0x7FFFFFF0, E_FAIL},  // no wrap-around
  };
  for (const Case& c : cases) {
    ListPtr l = MakeInts({0, 1, 2, 3});
    EXPECT_EQ(WuList_MoveRange(l.get(), c.from, c.to, c.count), c.hr) << c.from << "," << c.to;
    EXPECT_EQ(Ints(l.get()), (std::vector<intptr_t>{0, 1, 2, 3}));
  }
}

TEST(WuListMove, LargeBlockUsesGlobalMemory) {
  struct Big {
    int32_t v[16];  // 64 bytes: nine of them pass the stack buffer
  };
  ListPtr l = Make(WULIST_INPLACE, sizeof(Big));
  for (int i = 0; i < 10; ++i) {
    Big b{};
    std::fill(std::begin(b.v), std::end(b.v), i);
    ASSERT_EQ(WuList_InsertItem(l.get(), -1, &b), S_OK);
  }
  auto first = [&](LONG i) { return static_cast<Big*>(WuList_ItemAt(l.get(), i))->v[15]; };
  platform::FailNextAllocations(1);
  EXPECT_EQ(WuList_MoveRange(l.get(), 0, 1, 9), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_EQ(first(0), 0);
  ASSERT_EQ(WuList_MoveRange(l.get(), 0, 1, 9), S_OK);
  for (LONG i = 0; i < 10; ++i) EXPECT_EQ(first(i), (i + 9) % 10);
}

// ---- Search ------------------------------------------------------------------------------------

TEST(WuListSearch, SortedInsertIndex) {
  ListPtr l = MakeInts({10, 20, 30});
  struct Case {
    intptr_t key;
    LONG first, count, want;
  } cases[] = {
      {5, 0, -1, 0}, {15, 0, -1, 1}, {35, 0, -1, 3}, {20, 0, -1, 1},
      {5, 1, -1, 1},    // range starts at 1
      {35, 0, 2, 2},    // range ends before 30
      {5, 3, -1, 3},    // empty range: its start
      {5, 4, -1, -1},   // first beyond the end
      {5, -1, -1, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WuList_FindSortedInsertIndexRange(l.get(), P(c.key), c.first, c.count, CompareInts),
              c.want)
        << c.key << " from " << c.first;
  ListPtr empty = MakeInts({});
  EXPECT_EQ(WuList_FindSortedInsertIndexRange(empty.get(), P(1), 0, -1, CompareInts), 0);
  EXPECT_EQ(WuList_FindSortedItemRange(empty.get(), P(1), 0, -1, CompareInts), -1);
  EXPECT_EQ(WuList_FindSortedItemRange(l.get(), P(1), 0, -1, nullptr), -1);
}

// The probe takes the lower middle of an even range; this decides which of
// several equal items is found.
std::vector<intptr_t> g_probed;
int RecordingCompare(INT_PTR context, const void* a, const void* b) {
  g_probed.push_back(reinterpret_cast<intptr_t>(b));
  return CompareInts(context, a, b);
}

TEST(WuListSearch, ProbeOrder) {
  ListPtr l = MakeInts({0, 10, 20, 30, 40, 50, 60, 70});
  g_probed.clear();
  EXPECT_EQ(WuList_FindSortedInsertIndexRange(l.get(), P(35), 0, -1, RecordingCompare), 4);
  EXPECT_EQ(g_probed, (std::vector<intptr_t>{30, 50, 40}));
  g_probed.clear();
  EXPECT_EQ(WuList_FindSortedItemRange(l.get(), P(70), 0, -1, RecordingCompare), 7);
  EXPECT_EQ(g_probed, (std::vector<intptr_t>{30, 50, 60, 70}));

  ListPtr same = MakeInts({5, 5, 5, 5});
  EXPECT_EQ(WuList_FindSortedItemRange(same.get(), P(5), 0, -1, CompareInts), 1);
}

TEST(WuListSearch, SortedSearchMatchesLowerBound) {
  std::vector<intptr_t> values = RandomValues(500, 12345, 2000);
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  ListPtr l = MakeInts(values, 0, 64);
  const LONG n = LONG(values.size());
  for (intptr_t key : RandomValues(300, 777, 2100)) {
    for (LONG first : {LONG(0), n / 3}) {
      auto begin = values.begin() + first;
      auto it = std::lower_bound(begin, values.end(), key);
      LONG want = LONG(it - values.begin());
      EXPECT_EQ(WuList_FindSortedInsertIndexRange(l.get(), P(key), first, -1, CompareInts), want);
      LONG found = WuList_FindSortedItemRange(l.get(), P(key), first, -1, CompareInts);
      EXPECT_EQ(found, it != values.end() && *it == key ? want : -1) << key;
    }
  }
}

int MatchTag(const void* key, const void* item) {
  return static_cast<const Rec*>(item)->tag == *static_cast<const int16_t*>(key) ? 0 : 1;
}

TEST(WuListSearch, UnsortedSearches) {
  ListPtr l = MakeInts({4, 7, 4, 9});
  EXPECT_EQ(WuList_FindSpecificItemRange(l.get(), 0, -1, P(4)), 0);
  EXPECT_EQ(WuList_FindSpecificItemRange(l.get(), 1, -1, P(4)), 2);
  EXPECT_EQ(WuList_FindSpecificItemRange(l.get(), 1, 1, P(4)), -1);
  EXPECT_EQ(WuList_FindSpecificItemRange(l.get(), 4, -1, P(4)), -1);
  EXPECT_EQ(WuList_FindSpecificItemRange(nullptr, 0, -1, P(4)), -1);

  ListPtr recs = Make(WULIST_INPLACE, sizeof(Rec));
  Rec r[2];
  memset(r, 0, sizeof(r));  // whole-record compare: padding included
  for (int i = 0; i < 2; ++i) {
    r[i].key = 1;
    r[i].payload = 2;
    r[i].tag = int16_t(3 + i);
  }
  ASSERT_EQ(WuList_InsertList(recs.get(), -1, r, 2), S_OK);
  Rec probe;
  memcpy(&probe, &r[1], sizeof(probe));
  EXPECT_EQ(WuList_FindSpecificItemRange(recs.get(), 0, -1, &probe), 1);
  probe.payload = 3;
  EXPECT_EQ(WuList_FindSpecificItemRange(recs.get(), 0, -1, &probe), -1);
  int16_t tag = 4;
  EXPECT_EQ(WuList_FindItemRange(recs.get(), 0, -1, &tag, MatchTag), 1);
  EXPECT_EQ(WuList_FindItemRange(recs.get(), 0, 1, &tag, MatchTag), -1);
}

// ---- Sorting ------------------------------------------------------------------------------------

using SortFn = HRESULT (*)(tWULIST*, INT_PTR, WULISTCOMPAREPROC);

TEST(WuListSort, BothSortsMatchStdSort) {
  for (SortFn sort : {WuList_Sort, WuList_HeapSort}) {
    for (size_t n : {0, 1, 2, 3, 10, 257}) {
      std::vector<intptr_t> v = RandomValues(n, unsigned(n) + 1, 50);  // with duplicates
      ListPtr l = MakeInts(v);
      ASSERT_EQ(sort(l.get(), 1, CompareInts), S_OK);
      std::sort(v.begin(), v.end());
      EXPECT_EQ(Ints(l.get()), v) << n;
      ASSERT_EQ(sort(l.get(), -1, CompareInts), S_OK);  // the context reaches the callback
      EXPECT_EQ(WuList_GetSortCriteria(l.get()), -1);
      std::reverse(v.begin(), v.end());
      EXPECT_EQ(Ints(l.get()), v) << n;
    }
  }
}

TEST(WuListSort, InPlaceRecordsMoveWhole) {
  for (SortFn sort : {WuList_Sort, WuList_HeapSort}) {
    ListPtr l = Make(WULIST_INPLACE, sizeof(Rec));
    std::vector<intptr_t> keys = RandomValues(100, 99, 1000000);
    for (intptr_t k : keys) {
      Rec r{int32_t(k), int32_t(k * 3), int16_t(k % 1000)};
      ASSERT_EQ(WuList_InsertItem(l.get(), 0, &r), S_OK);
    }
    ASSERT_EQ(sort(l.get(), 0, CompareRecs), S_OK);
    std::sort(keys.begin(), keys.end());
    for (LONG i = 0; i < l->count; ++i) {
      const Rec* r = static_cast<const Rec*>(WuList_ItemAt(l.get(), i));
      EXPECT_EQ(r->key, keys[i]);
      EXPECT_EQ(r->payload, r->key * 3);
      EXPECT_EQ(r->tag, r->key % 1000);
    }
  }
}

TEST(WuListSort, SelectionSortKeepsFirstOfEqualMaxima) {
  // All items compare equal (same tens digit). A later item takes over as the
  // largest only when strictly greater, so each pass swaps the first item to
  // the end: [11, 12, 13] -> [13, 12, 11] -> [12, 13, 11]. A stable sort, or
  // a takeover on equal items, would leave the order alone.
  auto byTens = [](INT_PTR, const void* a, const void* b) {
    intptr_t x = reinterpret_cast<intptr_t>(a) / 10, y = reinterpret_cast<intptr_t>(b) / 10;
    return x < y ? -1 : (x > y ? 1 : 0);
  };
  ListPtr l = MakeInts({11, 12, 13});
  ASSERT_EQ(WuList_Sort(l.get(), 0, byTens), S_OK);
  EXPECT_EQ(Ints(l.get()), (std::vector<intptr_t>{12, 13, 11}));
  EXPECT_EQ(WuList_Sort(l.get(), 0, nullptr), S_OK);  // no callback: nothing happens
}

TEST(WuListSort, SortToInsertsInSortedOrder) {
  ListPtr dst = MakeInts({10, 30});
  ListPtr src = MakeInts({25, 5, 40, 10});
  ASSERT_EQ(WuList_SortTo(dst.get(), src.get(), 7, CompareInts), S_OK);
  EXPECT_EQ(Ints(dst.get()), (std::vector<intptr_t>{5, 10, 10, 25, 30, 40}));
  EXPECT_EQ(WuList_GetSortCriteria(dst.get()), 7);
  EXPECT_EQ(src->count, 4);

  ListPtr recs = Make(WULIST_INPLACE, 16);
  ListPtr owner = Make(WULIST_OWNITEMS);
  EXPECT_EQ(WuList_SortTo(recs.get(), src.get(), 0, CompareInts), E_FAIL);   // other item kind
  EXPECT_EQ(WuList_SortTo(owner.get(), src.get(), 0, CompareInts), E_FAIL);  // no shared blocks
  EXPECT_EQ(WuList_SortTo(src.get(), src.get(), 0, CompareInts), E_FAIL);
}

// ---- Storage ------------------------------------------------------------------------------------

TEST(WuListStorage, GrowAndShrinkNeverLoseItems) {
  std::vector<intptr_t> v = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ListPtr l = MakeInts(v, 0, 4);  // capacity 16
  ASSERT_EQ(WuList_GrowAllocated(l.get(), 5), S_OK);
  EXPECT_EQ(l->capacity, 24);
  ASSERT_EQ(WuList_GrowAllocated(l.get(), 0), S_OK);
  EXPECT_EQ(l->capacity, 28);

  struct Case {
    LONG items, wantCapacity;
  } cases[] = {
      {0, 28}, {5, 20}, {100, 12}, {-1, 12},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(WuList_ShrinkAllocated(l.get(), c.items), S_OK);
    EXPECT_EQ(l->capacity, c.wantCapacity) << c.items;
    EXPECT_EQ(Ints(l.get()), v);
  }
  ASSERT_EQ(WuList_DeleteList(l.get(), 0, -1, FALSE), S_OK);
  ASSERT_EQ(WuList_ShrinkAllocated(l.get(), -1), S_OK);
  EXPECT_EQ(l->capacity, 1);  // never below one item
  ASSERT_EQ(WuList_InsertItem(l.get(), -1, P(3)), S_OK);
  ASSERT_EQ(WuList_InsertItem(l.get(), -1, P(4)), S_OK);
  EXPECT_EQ(Ints(l.get()), (std::vector<intptr_t>{3, 4}));
}

TEST(WuListStorage, AllocationFailureLeavesTheListUnchanged) {
  ListPtr l = MakeInts({1, 2, 3, 4}, 0, 4);
  ASSERT_EQ(WuList_ShrinkAllocated(l.get(), -1), S_OK);
  ASSERT_EQ(l->capacity, 4);
  BYTE* storage = l->storage;
  void* two[] = {P(5), P(6)};
  platform::FailNextAllocations(1);
  EXPECT_EQ(WuList_InsertList(l.get(), 0, two, 2), E_OUTOFMEMORY);
  platform::FailNextAllocations(1);
  EXPECT_EQ(WuList_GrowAllocated(l.get(), 1), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_EQ(l->storage, storage);
  EXPECT_EQ(l->capacity, 4);
  EXPECT_EQ(Ints(l.get()), (std::vector<intptr_t>{1, 2, 3, 4}));
  // A count that would pass the 32-bit limit is refused, not wrapped.
  EXPECT_EQ(WuList_GrowAllocated(l.get(), 0x7FFFFFFF), E_OUTOFMEMORY);
  EXPECT_EQ(l->capacity, 4);
}

TEST(WuListStorage, ArrayForceItemCount) {
  ListPtr ptrs = Make(0);
  EXPECT_EQ(WuList_ArrayForceItemCount(ptrs.get(), 3, FALSE), E_FAIL);

  ListPtr l = Make(WULIST_INPLACE, sizeof(Rec), 4, 4);
  ASSERT_EQ(WuList_ArrayForceItemCount(l.get(), 10, FALSE), S_OK);
  EXPECT_EQ(l->count, 10);
  EXPECT_EQ(l->capacity, 12);
  EXPECT_TRUE(AllZero(l->storage, size_t(l->capacity) * l->itemSize));
  memset(l->storage, 0x5A, size_t(l->count) * l->itemSize);
  ASSERT_EQ(WuList_ArrayForceItemCount(l.get(), 2, TRUE), S_OK);
  EXPECT_EQ(l->capacity, 4);  // unused steps released
  ASSERT_EQ(WuList_ArrayForceItemCount(l.get(), 4, FALSE), S_OK);
  EXPECT_TRUE(AllZero(WuList_ItemAt(l.get(), 2), 2 * sizeof(Rec)));  // no stale records
  EXPECT_EQ(static_cast<BYTE*>(WuList_ItemAt(l.get(), 1))[0], 0x5A);
  EXPECT_EQ(WuList_ArrayForceItemCount(l.get(), -1, FALSE), E_FAIL);
}

TEST(WuListStorage, AllocSize) {
  ListPtr recs = Make(WULIST_INPLACE, 10, 4, 4);
  Rec r{};
  ASSERT_EQ(WuList_InsertItem(recs.get(), -1, &r), S_OK);
  EXPECT_EQ(WuList_AllocSize(recs.get(), 0), 12u);
  EXPECT_EQ(WuList_AllocSize(recs.get(), 1), 0u);
  EXPECT_EQ(WuList_AllocSize(recs.get(), -1), 4 * 12 + WULIST_HEADER_SIZE);

  ListPtr owned = Make(WULIST_OWNITEMS | WULIST_PRIVATEHEAP, 0, 4, 4);
  LONG at;
  ASSERT_EQ(WuList_AllocAndInsertItem(owned.get(), nullptr, 100, -1, &at), S_OK);
  ASSERT_EQ(WuList_AllocAndInsertItem(owned.get(), nullptr, 28, -1, &at), S_OK);
  EXPECT_EQ(WuList_AllocSize(owned.get(), 1), 28u);
  EXPECT_EQ(WuList_AllocSize(owned.get(), -1), 128 + 4 * sizeof(void*) + WULIST_HEADER_SIZE);
}

// ---- Owned items ---------------------------------------------------------------------------------

TEST(WuListOwned, RawPointersOnlyWithNegativeCount) {
  ListPtr l = Make(WULIST_OWNITEMS);
  void* block = malloc(8);
  EXPECT_EQ(WuList_InsertItem(l.get(), 0, block), E_FAIL);  // count 1 refused
  EXPECT_EQ(l->count, 0);
  ASSERT_EQ(WuList_InsertList(l.get(), 0, &block, -1), S_OK);  // ownership taken
  EXPECT_EQ(WuList_PointerAt(l.get(), 0), block);
  // The list frees the block; the sanitizer build's leak check notices if not.
}

TEST(WuListOwned, PendingItemRules) {
  ListPtr plain = Make(0);
  void* item = P(1);
  EXPECT_EQ(WuList_AllocItem(plain.get(), 8, &item), E_FAIL);
  EXPECT_EQ(item, nullptr);
  EXPECT_EQ(WuList_InsertList(plain.get(), 0, nullptr, -1), E_FAIL);

  ListPtr l = Make(WULIST_OWNITEMS);
  EXPECT_EQ(WuList_InsertList(l.get(), 0, nullptr, -1), E_FAIL);  // nothing pending
  EXPECT_EQ(WuList_DeleteList(l.get(), -1, -1, FALSE), E_FAIL);
  void* a = nullptr;
  ASSERT_EQ(WuList_AllocItem(l.get(), 16, &a), S_OK);
  EXPECT_TRUE(AllZero(a, 16));
  EXPECT_EQ(l->pending, a);
  void* b = nullptr;
  EXPECT_EQ(WuList_AllocItem(l.get(), 16, &b), E_FAIL);  // one at a time
  EXPECT_EQ(WuList_InsertList(l.get(), 0, nullptr, 1), E_FAIL);  // only count -1

  // Inserting some other block leaves the pending one pending.
  void* other = calloc(1, 4);
  ASSERT_EQ(WuList_InsertList(l.get(), -1, &other, -1), S_OK);
  EXPECT_EQ(l->pending, a);

  ASSERT_EQ(WuList_InsertList(l.get(), 0, nullptr, -1), S_OK);
  EXPECT_EQ(l->pending, nullptr);
  EXPECT_EQ(WuList_PointerAt(l.get(), 0), a);

  ASSERT_EQ(WuList_AllocItem(l.get(), 16, &b), S_OK);
  EXPECT_EQ(WuList_DeleteList(l.get(), -1, -1, FALSE), S_OK);  // frees the pending block
  EXPECT_EQ(l->pending, nullptr);
  EXPECT_EQ(l->count, 2);
  ASSERT_EQ(WuList_AllocItem(l.get(), 16, &b), S_OK);  // freed by WuList_Destroy
}

TEST(WuListOwned, AllocAndInsertItem) {
  ListPtr l = Make(WULIST_OWNITEMS | WULIST_PRIVATEHEAP);
  const char text[] = "hello";
  LONG at = 0;
  ASSERT_EQ(WuList_AllocAndInsertItem(l.get(), text, sizeof(text), 5, &at), S_OK);
  EXPECT_EQ(at, 0);  // out of range: appended
  ASSERT_EQ(WuList_AllocAndInsertItem(l.get(), "x", 2, 0, &at), S_OK);
  EXPECT_EQ(at, 0);
  EXPECT_STREQ(static_cast<const char*>(WuList_PointerAt(l.get(), 1)), "hello");
  EXPECT_EQ(l->pending, nullptr);

  platform::FailNextAllocations(1);
  EXPECT_EQ(WuList_AllocAndInsertItem(l.get(), text, sizeof(text), -1, &at), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_EQ(at, -1);
  EXPECT_EQ(l->count, 2);

  void* pending = nullptr;
  ASSERT_EQ(WuList_AllocItem(l.get(), 4, &pending), S_OK);
  EXPECT_EQ(WuList_AllocAndInsertItem(l.get(), text, sizeof(text), -1, &at), E_FAIL);
  EXPECT_EQ(at, -1);
  EXPECT_EQ(l->pending, pending);  // someone else's pending block is left alone

  ListPtr plain = Make(0);
  EXPECT_EQ(WuList_AllocAndInsertItem(plain.get(), text, 4, -1, &at), E_FAIL);
  EXPECT_EQ(at, -1);
}

TEST(WuListOwned, ReAllocItem) {
  for (DWORD heap : {DWORD(0), WULIST_PRIVATEHEAP}) {
    ListPtr l = Make(WULIST_OWNITEMS | heap);
    ASSERT_EQ(WuList_AllocAndInsertItem(l.get(), "abc", 4, -1, nullptr), S_OK);
    ASSERT_EQ(WuList_ReAllocItem(l.get(), 0, 4096), S_OK);
    EXPECT_STREQ(static_cast<const char*>(WuList_PointerAt(l.get(), 0)), "abc");
    EXPECT_GE(WuList_AllocSize(l.get(), 0), 4096u);
    EXPECT_EQ(WuList_ReAllocItem(l.get(), 1, 8), E_FAIL);
    if (heap) {
      void* before = WuList_PointerAt(l.get(), 0);
      platform::FailNextAllocations(1);
      EXPECT_EQ(WuList_ReAllocItem(l.get(), 0, 1 << 20), E_OUTOFMEMORY);
      platform::FailNextAllocations(0);
      EXPECT_EQ(WuList_PointerAt(l.get(), 0), before);
      EXPECT_STREQ(static_cast<const char*>(before), "abc");
    }
  }
  ListPtr plain = MakeInts({1});
  EXPECT_EQ(WuList_ReAllocItem(plain.get(), 0, 8), E_FAIL);
}

TEST(WuListOwned, MoveItemsBetweenHeapLists) {
  ListPtr a = Make(WULIST_OWNITEMS);
  ListPtr b = Make(WULIST_OWNITEMS);
  std::vector<void*> blocks;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(WuList_AllocAndInsertItem(a.get(), &i, sizeof(i), -1, nullptr), S_OK);
    blocks.push_back(WuList_PointerAt(a.get(), i));
  }
  ASSERT_EQ(WuList_AllocAndInsertItem(b.get(), nullptr, 4, -1, nullptr), S_OK);
  void* bFirst = WuList_PointerAt(b.get(), 0);

  ASSERT_EQ(WuList_MoveItemsBetweenHeapLists(b.get(), 0, a.get(), 1, 3), S_OK);
  EXPECT_EQ(a->count, 2);
  EXPECT_EQ(WuList_PointerAt(a.get(), 0), blocks[0]);
  EXPECT_EQ(WuList_PointerAt(a.get(), 1), blocks[4]);
  EXPECT_EQ(WuList_PointerAt(a.get(), 2), nullptr);  // vacated slot cleared
  ASSERT_EQ(b->count, 4);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(WuList_PointerAt(b.get(), i), blocks[1 + i]);
  EXPECT_EQ(WuList_PointerAt(b.get(), 3), bFirst);

  EXPECT_EQ(WuList_MoveItemsBetweenHeapLists(a.get(), -1, b.get(), 0, -1), S_OK);  // all
  EXPECT_EQ(a->count, 6);
  EXPECT_EQ(b->count, 0);
  EXPECT_EQ(WuList_PointerAt(a.get(), 5), bFirst);

  struct Case {
    LONG srcIndex, count;
    HRESULT hr;
  } cases[] = {{0, 0, S_OK}, {5, 2, E_FAIL}, {-1, 1, E_FAIL}, {1, -1, E_FAIL}};
  for (const Case& c : cases)
    EXPECT_EQ(WuList_MoveItemsBetweenHeapLists(b.get(), 0, a.get(), c.srcIndex, c.count), c.hr);
  EXPECT_EQ(a->count, 6);

  ListPtr plain = MakeInts({1});
  ListPtr privateHeap = Make(WULIST_OWNITEMS | WULIST_PRIVATEHEAP);
  EXPECT_EQ(WuList_MoveItemsBetweenHeapLists(plain.get(), 0, a.get(), 0, 1), E_FAIL);
  EXPECT_EQ(WuList_MoveItemsBetweenHeapLists(privateHeap.get(), 0, a.get(), 0, 1), E_FAIL);
  EXPECT_EQ(WuList_MoveItemsBetweenHeapLists(a.get(), 0, a.get(), 0, 1), E_FAIL);
  void* pending = nullptr;
  ASSERT_EQ(WuList_AllocItem(b.get(), 4, &pending), S_OK);
  EXPECT_EQ(WuList_MoveItemsBetweenHeapLists(b.get(), 0, a.get(), 0, 1), E_FAIL);
  EXPECT_EQ(a->count, 6);
}

// ---- Header conversion ---------------------------------------------------------------------------

TEST(WuListConvert, ConvertToInPlace) {
  size_t blocks = platform::LiveGlobalBlockCount();
  tWULIST record;
  EXPECT_EQ(WuList_ConvertToInPlace(nullptr, &record), E_INVALIDARG);
  std::vector<BYTE> junk(WULIST_HEADER_SIZE, 0);
  tWULIST* notList = reinterpret_cast<tWULIST*>(junk.data());
  EXPECT_EQ(WuList_ConvertToInPlace(&notList, &record), E_INVALIDARG);

  tWULIST* l = nullptr;
  ASSERT_EQ(WuList_CreateExZ(&l, 0, 0, 0, WULIST_LOCKED | WULIST_OWNITEMS), S_OK);
  ASSERT_EQ(WuList_AllocAndInsertItem(l, "a", 2, -1, nullptr), S_OK);
  EXPECT_EQ(WuList_ConvertToInPlace(&l, nullptr), E_INVALIDARG);
  ASSERT_EQ(WuList_ConvertToInPlace(&l, &record), S_OK);
  EXPECT_EQ(l, nullptr);
  EXPECT_EQ(WuList_GetCreateOptions(&record), WULIST_LOCKED | WULIST_OWNITEMS | WULIST_ANYTHREAD |
                                                  WULIST_CALLERHEADER);
  EXPECT_STREQ(static_cast<const char*>(WuList_PointerAt(&record, 0)), "a");
  ASSERT_EQ(WuList_AllocAndInsertItem(&record, "b", 2, -1, nullptr), S_OK);  // lock still works

  tWULIST* again = &record;
  tWULIST second;
  EXPECT_EQ(WuList_ConvertToInPlace(&again, &second), E_FAIL);  // already a caller record
  EXPECT_EQ(WuList_Destroy(&record), S_OK);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks);
}

// ---- Threads -----------------------------------------------------------------------------------------

// Runs two functions on two threads that start together.
template <class F1, class F2>
void RunTogether(F1 f1, F2 f2) {
  std::atomic<int> ready{0};
  auto start = [&ready] {
    ready.fetch_add(1);
    while (ready.load() < 2) {
    }
  };
  std::thread t1([&] { start(); f1(); });
  std::thread t2([&] { start(); f2(); });
  t1.join();
  t2.join();
}

TEST(WuListThreads, LockedListTakesConcurrentInserts) {
  ListPtr l = Make(WULIST_LOCKED, 0, 0, 4);
  constexpr int kPerThread = 20000;
  auto work = [&](intptr_t base) {
    for (int i = 0; i < kPerThread; ++i) WuList_InsertItem(l.get(), i % 16 ? -1 : 0, P(base + i));
  };
  RunTogether([&] { work(0); }, [&] { work(kPerThread); });
  std::vector<intptr_t> got = Ints(l.get());
  std::sort(got.begin(), got.end());
  std::vector<intptr_t> want(2 * kPerThread);
  for (size_t i = 0; i < want.size(); ++i) want[i] = intptr_t(i);
  EXPECT_EQ(got, want);
}

TEST(WuListThreads, OppositeMovesBetweenLockedListsDoNotDeadlock) {
  ListPtr a = Make(WULIST_LOCKED | WULIST_OWNITEMS);
  ListPtr b = Make(WULIST_LOCKED | WULIST_OWNITEMS);
  for (int i = 0; i < 8; ++i) {
    ASSERT_EQ(WuList_AllocAndInsertItem(a.get(), nullptr, 4, -1, nullptr), S_OK);
    ASSERT_EQ(WuList_AllocAndInsertItem(b.get(), nullptr, 4, -1, nullptr), S_OK);
  }
  auto mover = [](tWULIST* dst, tWULIST* src) {
    for (int i = 0; i < 20000; ++i)
      WuList_MoveItemsBetweenHeapLists(dst, -1, src, 0, WuList_IsValidIndexSlow(src, 0) ? 1 : 0);
  };
  RunTogether([&] { mover(a.get(), b.get()); }, [&] { mover(b.get(), a.get()); });
  EXPECT_EQ(a->count + b->count, 16);
}

TEST(WuListThreads, OwnerCheckAndUserData) {
  ListPtr l = MakeInts({1, 2});
  EXPECT_EQ(WuList_SetUserData(l.get(), 42), 0);
  EXPECT_EQ(WuList_SetUserData(l.get(), 43), 42);
  EXPECT_EQ(WuList_GetUserData(l.get()), 43);
  WCHAR buffer[4] = {u'x', u'y', 0, 0};
  EXPECT_EQ(WuList_GetFileAndLine(l.get(), buffer, 4), -1);
  EXPECT_EQ(buffer[0], 0);

  // Every list is usable from any thread...
  HRESULT other = S_FALSE;
  std::thread([&] { other = WuList_InsertItem(l.get(), -1, P(3)); }).join();
  EXPECT_EQ(other, S_OK);

  // ...unless the any-thread option is taken away: then only the owner may.
  l->options &= ~WULIST_ANYTHREAD;
  LONG found = 0, userData = 0;
  BOOL valid = TRUE;
  std::thread([&] {
    other = WuList_InsertItem(l.get(), -1, P(4));
    found = WuList_FindSpecificItemRange(l.get(), 0, -1, P(1));
    userData = LONG(WuList_GetUserData(l.get()));
    valid = WuList_IsValidIndex(l.get(), 0);
  }).join();
  EXPECT_EQ(other, E_FAIL);
  EXPECT_EQ(found, -1);
  EXPECT_EQ(userData, -1);
  EXPECT_FALSE(valid);
  EXPECT_EQ(WuList_InsertItem(l.get(), -1, P(4)), S_OK);  // the owner may

  DWORD otherId = 0;
  std::thread([&] {
    otherId = GetCurrentThreadId();
    WuList_SetThreadOwner(l.get(), 0);
    other = WuList_DeleteList(l.get(), 0, 1, FALSE);
  }).join();
  EXPECT_EQ(other, S_OK);
  EXPECT_EQ(WuList_GetThreadOwner(l.get()), otherId);
  EXPECT_EQ(WuList_DeleteList(l.get(), 0, 1, FALSE), E_FAIL);
  ASSERT_EQ(WuList_SetThreadOwner(l.get(), GetCurrentThreadId()), S_OK);
}

}  // namespace
