// The allocation-failure switch as the kernel's allocators read it.
#pragma once

namespace platform {

// Consumes one step of the switch set by FailAllocationsAfter (memory.h);
// true when the allocation asking must fail. Every allocator that the
// switch covers asks once per allocation, before it allocates.
bool ShouldFailAllocation();

}  // namespace platform
