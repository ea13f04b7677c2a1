// The plan of a test switch that makes chosen requests fail (the allocation
// switch of memory.h, the BSTR switch of com/oleauto.h): let a number of
// requests through, then fail a number of them, then let everything
// through again.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class FailurePlan {
 public:
  // Lets `skip` requests through, then fails the next `count`; a count of
  // 0 or less cancels the plan. Replaces any earlier plan.
  void Set(int skip, int count) {
    plan_.store(count > 0 ? Pack(skip > 0 ? static_cast<uint32_t>(skip) : 0u,
                                 static_cast<uint32_t>(count))
                          : 0);
  }

  // Takes one step of the plan for a request: true when it must fail.
  bool Step() {
    uint64_t plan = plan_.load();
    for (;;) {
      const uint32_t skip = static_cast<uint32_t>(plan >> 32);
      const uint32_t fail = static_cast<uint32_t>(plan);
      if (fail == 0) return false;
      const uint64_t next = skip > 0 ? Pack(skip - 1, fail) : Pack(0, fail - 1);
      if (plan_.compare_exchange_weak(plan, next)) return skip == 0;
    }
  }

 private:
  static uint64_t Pack(uint32_t skip, uint32_t fail) { return (uint64_t{skip} << 32) | fail; }

  // Requests still to pass (high 32 bits), then to fail (low 32 bits). One
  // word, so that a step is taken in a single exchange.
  std::atomic<uint64_t> plan_{0};
};

}  // namespace platform
