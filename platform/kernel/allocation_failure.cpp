// Test switch that makes chosen allocations fail as if memory were
// exhausted (FailNextAllocations and FailAllocationsAfter in memory.h).
#include "platform/kernel/allocation_failure_internal.h"

#include "platform/kernel/failure_plan.h"
#include "platform/kernel/memory.h"

namespace {

platform::FailurePlan g_plan;

}  // namespace

namespace platform {

bool ShouldFailAllocation() { return g_plan.Step(); }

void FailAllocationsAfter(int skip, int count) { g_plan.Set(skip, count); }

void FailNextAllocations(int count) { FailAllocationsAfter(0, count); }

}  // namespace platform
