// Sorted insert and sorted find in a generic list of 100,000 items, beside
// std::vector with std::lower_bound on the same data.
//
// The insert figures time one sorted insert followed by the erase of the
// same item, so the container stays at 100,000 items; both containers do
// the same memory moves.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "foundation/WuList.h"

namespace {

constexpr size_t kItems = 100000;  // items held by the container
constexpr size_t kProbes = 4096;   // keys looked up or inserted, cycled

// Sorted, distinct base values and random probe keys (fixed seeds).
struct Data {
  std::vector<intptr_t> base;
  std::vector<intptr_t> probes;
};

const Data& TheData() {
  static const Data data = [] {
    Data d;
    std::mt19937_64 rng(20240601);
    std::uniform_int_distribution<intptr_t> dist(0, intptr_t(1) << 40);
    while (d.base.size() < kItems) {
      for (size_t i = d.base.size(); i < kItems; ++i) d.base.push_back(dist(rng));
      std::sort(d.base.begin(), d.base.end());
      d.base.erase(std::unique(d.base.begin(), d.base.end()), d.base.end());
    }
    for (size_t i = 0; i < kProbes; ++i)
      d.probes.push_back(i % 2 ? d.base[size_t(dist(rng)) % kItems] : dist(rng));
    return d;
  }();
  return data;
}

int CompareValues(INT_PTR, const void* a, const void* b) {
  intptr_t x = reinterpret_cast<intptr_t>(a), y = reinterpret_cast<intptr_t>(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

void* AsItem(intptr_t v) { return reinterpret_cast<void*>(v); }

// A pointer list holding the base values in order.
tWULIST* MakeList() {
  tWULIST* list = nullptr;
  if (FAILED(WuList_CreateExZ(&list, 0, LONG(kItems) + 16, 4096, 0))) return nullptr;
  WuList_InsertList(list, -1, TheData().base.data(), LONG(kItems));
  return list;
}

void BM_WuListSortedInsert(benchmark::State& state) {
  tWULIST* list = MakeList();
  if (!list) return state.SkipWithError("list creation failed");
  const std::vector<intptr_t>& probes = TheData().probes;
  size_t i = 0;
  for (auto _ : state) {
    void* key = AsItem(probes[i++ % kProbes]);
    LONG at = WuList_FindSortedInsertIndexRange(list, key, 0, -1, CompareValues);
    WuList_InsertItem(list, at, key);
    WuList_DeleteList(list, at, 1, FALSE);
  }
  state.SetItemsProcessed(state.iterations());
  WuList_Destroy(list);
}
BENCHMARK(BM_WuListSortedInsert);

void BM_VectorSortedInsert(benchmark::State& state) {
  std::vector<intptr_t> v = TheData().base;
  v.reserve(kItems + 16);
  const std::vector<intptr_t>& probes = TheData().probes;
  size_t i = 0;
  for (auto _ : state) {
    intptr_t key = probes[i++ % kProbes];
    auto it = v.insert(std::lower_bound(v.begin(), v.end(), key), key);
    v.erase(it);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VectorSortedInsert);

void BM_WuListSortedFind(benchmark::State& state) {
  tWULIST* list = MakeList();
  if (!list) return state.SkipWithError("list creation failed");
  const std::vector<intptr_t>& probes = TheData().probes;
  size_t i = 0;
  for (auto _ : state) {
    LONG at = WuList_FindSortedItemRange(list, AsItem(probes[i++ % kProbes]), 0, -1, CompareValues);
    benchmark::DoNotOptimize(at);
  }
  state.SetItemsProcessed(state.iterations());
  WuList_Destroy(list);
}
BENCHMARK(BM_WuListSortedFind);

void BM_VectorLowerBound(benchmark::State& state) {
  const std::vector<intptr_t>& v = TheData().base;
  const std::vector<intptr_t>& probes = TheData().probes;
  size_t i = 0;
  for (auto _ : state) {
    intptr_t key = probes[i++ % kProbes];
    auto it = std::lower_bound(v.begin(), v.end(), key);
    ptrdiff_t at = (it != v.end() && *it == key) ? it - v.begin() : -1;
    benchmark::DoNotOptimize(at);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VectorLowerBound);

}  // namespace
