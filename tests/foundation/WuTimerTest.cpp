// The process-wide clock under an injected clock and processor: the three
// sources, the microsecond correction, the delta functions and the
// time-stamp-counter calibration.
#include "foundation/WuTimer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/kernel/cpu.h"
#include "platform/kernel/time.h"

namespace {

class WuTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WuTimer_ResetForTesting();
    platform::SetClockSource(&clock_);
    platform::SetProcessorSource(&cpu_);
    clock_.ticks = 1000;
    clock_.counter = 5000000;
    cpu_.tsc = 1000;
  }
  void TearDown() override {
    WuTimer_ResetForTesting();
    platform::SetClockSource(nullptr);
    platform::SetProcessorSource(nullptr);
    platform::ResetSystemModel();
  }
  // A 9x system on a Pentium-class processor: the only one calibrated.
  void Use9x() {
    platform::SystemModel m;
    m.platform_id = VER_PLATFORM_WIN32_WINDOWS;
    m.major = 4;
    m.minor = 10;
    platform::SetSystemModel(m);
  }

  platform::FakeClock clock_;
  platform::FakeProcessor cpu_;
};

TEST_F(WuTimerTest, TickCountSourceCountsWholeMilliseconds) {
  WuTimer_SetupClock(0);  // level 0 keeps the tick count, counter or not
  ULONGLONG stamp = 0;
  WuDeltaMillisecEx(&stamp);
  clock_.ticks += 7;
  clock_.counter += 123456789;
  EXPECT_EQ(WuGetMillisecEx(&stamp), 7u);
  EXPECT_EQ(WuGetMicrosecEx(&stamp), 7000u);
  EXPECT_EQ(WuGetMicrosec() % 1000, 0u);

  // Only the first 4 bytes of a stamp are used, and results wrap.
  stamp = 0xAAAAAAAA00000000ULL;
  clock_.ticks = 0xFFFFFFFE;
  WuDeltaMillisecEx(&stamp);
  EXPECT_EQ(stamp, 0xAAAAAAAAFFFFFFFEULL);
  clock_.ticks += 5;
  EXPECT_EQ(WuDeltaMicrosecEx(&stamp), 5000u);
  EXPECT_EQ(stamp, 0xAAAAAAAA00000003ULL);
}

TEST_F(WuTimerTest, PerformanceCounterRates) {
  const struct {
    LONGLONG frequency;   // counts per second
    bool counter_used;    // the source became the counter
    LONGLONG counts;      // counter advance checked
    DWORD ms;             // expected milliseconds for it (0: not checked)
  } kCases[] = {
      {3579545, true, 3579545, 1000},      // not whole MHz: corrected
      {3579545, true, 9000000000LL, 0},    // a quotient of 2^31 and more
      {10000000, true, 12345678901LL, 1234567},
      {2500000, true, 2500000, 1000},
      {500000, false, 0, 0},  // below 1 MHz: the tick count stays
      {999, false, 0, 0},
      {0, false, 0, 0},       // no counter at all
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.frequency << " Hz, " << c.counts << " counts");
    WuTimer_ResetForTesting();
    clock_.frequency = c.frequency;
    WuTimer_SetupClock(4);
    ULONGLONG stamp = 0;
    WuDeltaMicrosecEx(&stamp);
    if (!c.counter_used) {
      clock_.counter += 1000000;
      clock_.ticks += 3;
      EXPECT_EQ(WuGetMillisecEx(&stamp), 3u);
      EXPECT_EQ(WuGetMicrosecEx(&stamp), 3000u);
      continue;
    }
    clock_.counter += c.counts;
    clock_.ticks += 1;  // the tick count is not the source
    // Microseconds match the true elapsed time within rounding (1 ppm).
    double exact_us = static_cast<double>(c.counts) * 1e6 / static_cast<double>(c.frequency);
    EXPECT_NEAR(static_cast<double>(WuGetMicrosecEx(&stamp)), exact_us,
                std::max(1.0, exact_us * 1e-6));
    if (c.ms != 0) {
      EXPECT_EQ(WuGetMillisecEx(&stamp), c.ms);
      EXPECT_EQ(WuGetMillisec(), c.ms);  // the default stamp was reset at setup
    }
  }
}

TEST_F(WuTimerTest, SourceIsChosenOnlyOnce) {
  clock_.frequency = 3579545;
  WuTimer_SetupClock(4);
  clock_.frequency = 10000000;
  WuTimer_SetupClock(4);  // ignored: a source is chosen already
  ULONGLONG stamp = 0;
  WuDeltaMillisecEx(&stamp);
  clock_.counter += 3579545;
  EXPECT_EQ(WuGetMillisecEx(&stamp), 1000u);
}

TEST_F(WuTimerTest, DeltaMeasuresBetweenCallsAndMovesTheStamp) {
  WuTimer_SetupClock(4);  // 10 MHz counter
  ULONGLONG stamp = 0;
  WuDeltaMillisecEx(&stamp);  // starts the stamp; result ignored
  clock_.counter += 2500000;
  EXPECT_EQ(WuGetMillisecEx(&stamp), 250u);
  EXPECT_EQ(WuGetMillisecEx(&stamp), 250u);  // the Get forms leave the stamp
  EXPECT_EQ(WuDeltaMillisecEx(&stamp), 250u);
  clock_.counter += 30;
  EXPECT_EQ(WuDeltaMicrosecEx(&stamp), 3u);
  EXPECT_EQ(WuDeltaMicrosecEx(&stamp), 0u);
}

// ---- Time-stamp-counter calibration --------------------------------------------------------

TEST_F(WuTimerTest, CalibrationRoundsToTheNearestCountPerMicrosecond) {
  const struct {
    ULONGLONG cycles_per_ms;  // processor speed during the calibration
    DWORD per_us;             // expected counts per microsecond
  } kCases[] = {{2000400, 2000}, {2000600, 2001}, {300, 0}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.cycles_per_ms);
    WuTimer_ResetForTesting();
    Use9x();
    cpu_.tsc_step = 10;
    WuTimer_SetupClock(5);
    clock_.counter += 600 * 10000;  // 600 ms on the 10 MHz counter
    cpu_.tsc += 600 * c.cycles_per_ms;
    EXPECT_EQ(WuTimer_LateInitialize(), static_cast<ULONGLONG>(c.per_us) * 1000000);

    // From now on the processor's counter is the clock.
    ULONGLONG stamp = 0;
    WuDeltaMicrosecEx(&stamp);
    clock_.counter += 100000000;
    cpu_.tsc += 1234ULL * (c.per_us ? c.per_us : 1);
    EXPECT_EQ(WuGetMicrosecEx(&stamp), 1234u + (c.per_us ? 0 : cpu_.tsc_step));
  }
}

TEST_F(WuTimerTest, CalibrationOnlyOnPentium9x) {
  const struct {
    const char* name;
    DWORD platform_id;
    DWORD processor_type;
    int level;
    ULONGLONG tsc_step;
  } kCases[] = {
      {"NT platform", VER_PLATFORM_WIN32_NT, PROCESSOR_INTEL_PENTIUM, 5, 10},
      {"486", VER_PLATFORM_WIN32_WINDOWS, PROCESSOR_INTEL_486, 5, 10},
      {"start-up level 4", VER_PLATFORM_WIN32_WINDOWS, PROCESSOR_INTEL_PENTIUM, 4, 10},
      {"unsteady counter", VER_PLATFORM_WIN32_WINDOWS, PROCESSOR_INTEL_PENTIUM, 5, 1001},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    WuTimer_ResetForTesting();
    platform::SystemModel m;
    m.platform_id = c.platform_id;
    m.processor_type = c.processor_type;
    platform::SetSystemModel(m);
    cpu_.tsc_step = c.tsc_step;
    WuTimer_SetupClock(c.level);
    clock_.counter += 600 * 10000;
    cpu_.tsc += 600 * 2000000ULL;
    EXPECT_EQ(WuTimer_LateInitialize(), 0u);
    // The performance counter stays the clock.
    ULONGLONG stamp = 0;
    WuDeltaMillisecEx(&stamp);
    cpu_.tsc += 1000000000;
    clock_.counter += 420000;
    EXPECT_EQ(WuGetMillisecEx(&stamp), 42u);
  }
}

TEST_F(WuTimerTest, ShortCalibrationIsCancelled) {
  Use9x();
  WuTimer_SetupClock(5);
  // 440 ms pass; the sleep for the rest of the 500 ms does not move the
  // injected clock, so the calibration sees too little time.
  clock_.counter += 440 * 10000;
  cpu_.tsc += 440 * 2000000ULL;
  EXPECT_EQ(WuTimer_LateInitialize(), 0u);
  ULONGLONG stamp = 0;
  WuDeltaMillisecEx(&stamp);
  clock_.counter += 70000;
  EXPECT_EQ(WuGetMillisecEx(&stamp), 7u);
}

}  // namespace
