// Test switch that makes chosen BSTR allocations fail as if memory were
// exhausted (FailNextBstrAllocations and FailBstrAllocationsAfter in
// oleauto.h).
#include <atomic>
#include <cstdint>

#include "platform/com/bstr_failure_internal.h"
#include "platform/com/oleauto.h"

namespace {

// Allocations still to succeed (high 32 bits), then to fail (low 32
// bits). One word, so that a step is taken in a single exchange.
std::atomic<uint64_t> g_plan{0};

uint64_t Plan(uint32_t skip, uint32_t fail) { return (uint64_t{skip} << 32) | fail; }

}  // namespace

namespace platform {

bool ShouldFailBstrAllocation() {
  uint64_t plan = g_plan.load();
  for (;;) {
    const uint32_t skip = static_cast<uint32_t>(plan >> 32);
    const uint32_t fail = static_cast<uint32_t>(plan);
    if (fail == 0) return false;
    const uint64_t next = skip > 0 ? Plan(skip - 1, fail) : Plan(0, fail - 1);
    if (g_plan.compare_exchange_weak(plan, next)) return skip == 0;
  }
}

void FailBstrAllocationsAfter(int skip, int count) {
  g_plan.store(count > 0 ? Plan(skip > 0 ? static_cast<uint32_t>(skip) : 0u,
                                static_cast<uint32_t>(count))
                         : 0);
}

void FailNextBstrAllocations(int count) { FailBstrAllocationsAfter(0, count); }

}  // namespace platform
