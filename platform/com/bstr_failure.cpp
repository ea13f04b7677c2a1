// Test switch that makes chosen BSTR allocations fail as if memory were
// exhausted (FailNextBstrAllocations and FailBstrAllocationsAfter in
// oleauto.h).
#include "platform/com/bstr_failure_internal.h"
#include "platform/com/oleauto.h"
#include "platform/kernel/failure_plan.h"

namespace {

platform::FailurePlan g_plan;

}  // namespace

namespace platform {

bool ShouldFailBstrAllocation() { return g_plan.Step(); }

void FailBstrAllocationsAfter(int skip, int count) { g_plan.Set(skip, count); }

void FailNextBstrAllocations(int count) { FailBstrAllocationsAfter(0, count); }

}  // namespace platform
