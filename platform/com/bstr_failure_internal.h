// The BSTR allocator's side of the test switch in oleauto.h.
#pragma once

namespace platform {
// True when the BSTR allocation about to be made is to fail; takes one step
// of the plan set by FailNextBstrAllocations or FailBstrAllocationsAfter.
bool ShouldFailBstrAllocation();
}  // namespace platform
