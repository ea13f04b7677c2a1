#include "foundation/WuTimer.h"

#include <cstring>

#include "platform/kernel/cpu.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/time.h"

namespace {

// The six clock functions of one source. The first three leave the stamp
// alone; the last three store the current counter value in it.
struct ClockFunctions {
  DWORD (*elapsed_raw)(const ULONGLONG* stamp);  // raw counts since the stamp
  DWORD (*elapsed_us)(const ULONGLONG* stamp);   // microseconds since the stamp
  DWORD (*elapsed_ms)(const ULONGLONG* stamp);   // milliseconds since the stamp
  void (*reset)(ULONGLONG* stamp);               // stamp := now
  DWORD (*delta_us)(ULONGLONG* stamp);           // microseconds since, stamp := now
  DWORD (*delta_ms)(ULONGLONG* stamp);           // milliseconds since, stamp := now
};

// Clock source modes.
constexpr int kModeTickCount = 0;
constexpr int kModePerformanceCounter = 1;
constexpr int kModeTimeStampCounter = 5;

// Calibration runs for this long, and is cancelled when the clock shows
// less than the minimum afterwards.
constexpr DWORD kCalibrationMs = 500;
constexpr DWORD kCalibrationMinimumMs = 450;
// Two back-to-back counter reads further apart than this mean the counter
// is not usable (or the thread was interrupted): no calibration.
constexpr ULONGLONG kMaxBackToBackCycles = 1000;

extern const ClockFunctions kTickFunctions;

// The process-wide clock source. Written during start-up on one thread;
// afterwards only read.
struct ClockState {
  int mode = kModeTickCount;                         // 0 tick count, 1 counter, 5 TSC
  DWORD counts_per_ms = 1;                           // counter counts per millisecond
  DWORD counts_per_us = 0;                           // counter counts per microsecond
  DWORD correction = 0;                              // microsecond correction divisor, 0 none
  ULONGLONG default_stamp = 0;                       // WuGetMillisec/WuGetMicrosec measure from it
  const ClockFunctions* functions = &kTickFunctions; // the chosen source
  bool calibrating = false;                          // a TSC calibration is running
  ULONGLONG calibration_stamp = 0;                   // its stamp in the current source
  ULONGLONG calibration_tsc = 0;                     // TSC at its start
  bool initialized = false;                          // WuTimer_LateInitialize ran
};
ClockState g_clock;

// ---- Tick count (only the first 4 bytes of a stamp) --------------------------
DWORD TickStamp(const ULONGLONG* stamp) {
  DWORD value;
  std::memcpy(&value, stamp, sizeof(value));
  return value;
}
void TickStore(ULONGLONG* stamp, DWORD value) { std::memcpy(stamp, &value, sizeof(value)); }

DWORD TickElapsedMs(const ULONGLONG* stamp) { return GetTickCount() - TickStamp(stamp); }
DWORD TickElapsedUs(const ULONGLONG* stamp) { return (GetTickCount() - TickStamp(stamp)) * 1000; }
void TickReset(ULONGLONG* stamp) { TickStore(stamp, GetTickCount()); }
DWORD TickDeltaMs(ULONGLONG* stamp) {
  DWORD now = GetTickCount();
  DWORD elapsed = now - TickStamp(stamp);
  TickStore(stamp, now);
  return elapsed;
}
DWORD TickDeltaUs(ULONGLONG* stamp) { return TickDeltaMs(stamp) * 1000; }

const ClockFunctions kTickFunctions = {TickElapsedMs, TickElapsedUs, TickElapsedMs,
                                       TickReset,     TickDeltaUs,   TickDeltaMs};

// ---- Performance counter ------------------------------------------------------
ULONGLONG CounterNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<ULONGLONG>(now.QuadPart);
}

// Counter counts to microseconds: a 64-by-32 division (quotient modulo
// 2^32), then, for a rate that is not a whole number of megahertz, the
// correction value * 1,000,000 / divisor rounded to the nearest. The
// correction is done unsigned in 64 bits: a signed 32-bit scaling would
// turn quotients of 2^31 and above into negative, meaningless results.
DWORD CounterToUs(ULONGLONG counts) {
  DWORD us = static_cast<DWORD>(counts / g_clock.counts_per_us);
  if (g_clock.correction == 0) return us;
  return static_cast<DWORD>((static_cast<ULONGLONG>(us) * 1000000 + g_clock.correction / 2) /
                            g_clock.correction);
}
DWORD CounterToMs(ULONGLONG counts) {
  return static_cast<DWORD>(counts / g_clock.counts_per_ms);
}

DWORD CounterElapsedRaw(const ULONGLONG* stamp) { return static_cast<DWORD>(CounterNow() - *stamp); }
DWORD CounterElapsedUs(const ULONGLONG* stamp) { return CounterToUs(CounterNow() - *stamp); }
DWORD CounterElapsedMs(const ULONGLONG* stamp) { return CounterToMs(CounterNow() - *stamp); }
void CounterReset(ULONGLONG* stamp) { *stamp = CounterNow(); }
DWORD CounterDeltaUs(ULONGLONG* stamp) {
  ULONGLONG now = CounterNow();
  DWORD elapsed = CounterToUs(now - *stamp);
  *stamp = now;
  return elapsed;
}
DWORD CounterDeltaMs(ULONGLONG* stamp) {
  ULONGLONG now = CounterNow();
  DWORD elapsed = CounterToMs(now - *stamp);
  *stamp = now;
  return elapsed;
}

const ClockFunctions kCounterFunctions = {CounterElapsedRaw, CounterElapsedUs, CounterElapsedMs,
                                          CounterReset,      CounterDeltaUs,   CounterDeltaMs};

// ---- Time-stamp counter ----------------------------------------------------------
// A divisor of 0 (a counter slower than 1 MHz) gives the raw difference.
DWORD TscDivide(ULONGLONG cycles, DWORD divisor) {
  return static_cast<DWORD>(divisor != 0 ? cycles / divisor : cycles);
}

DWORD TscElapsedRaw(const ULONGLONG* stamp) {
  return static_cast<DWORD>(platform::ReadTimeStampCounter() - *stamp);
}
DWORD TscElapsedUs(const ULONGLONG* stamp) {
  return TscDivide(platform::ReadTimeStampCounter() - *stamp, g_clock.counts_per_us);
}
DWORD TscElapsedMs(const ULONGLONG* stamp) {
  return TscDivide(platform::ReadTimeStampCounter() - *stamp, g_clock.counts_per_ms);
}
void TscReset(ULONGLONG* stamp) { *stamp = platform::ReadTimeStampCounter(); }
DWORD TscDeltaUs(ULONGLONG* stamp) {
  ULONGLONG now = platform::ReadTimeStampCounter();
  DWORD elapsed = TscDivide(now - *stamp, g_clock.counts_per_us);
  *stamp = now;
  return elapsed;
}
DWORD TscDeltaMs(ULONGLONG* stamp) {
  ULONGLONG now = platform::ReadTimeStampCounter();
  DWORD elapsed = TscDivide(now - *stamp, g_clock.counts_per_ms);
  *stamp = now;
  return elapsed;
}

const ClockFunctions kTscFunctions = {TscElapsedRaw, TscElapsedUs, TscElapsedMs,
                                      TscReset,      TscDeltaUs,   TscDeltaMs};

// ---- Choosing a source -------------------------------------------------------------

// Switches to the performance counter when there is one of at least 1 MHz.
// A slower counter has no whole count per microsecond, so it is left alone
// and the tick count stays.
void ChoosePerformanceCounter() {
  LARGE_INTEGER frequency;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return;
  ULONGLONG per_ms = static_cast<ULONGLONG>(frequency.QuadPart) / 1000;
  ULONGLONG per_us = per_ms / 1000;
  if (per_us == 0 || per_ms > 0xFFFFFFFFULL) return;
  ULONGLONG correction = static_cast<ULONGLONG>(frequency.QuadPart) / per_us;
  g_clock.counts_per_ms = static_cast<DWORD>(per_ms);
  g_clock.counts_per_us = static_cast<DWORD>(per_us);
  g_clock.correction = correction == 1000000 ? 0 : static_cast<DWORD>(correction);
  g_clock.mode = kModePerformanceCounter;
  g_clock.functions = &kCounterFunctions;
}

// Starts measuring the time-stamp counter against the current source. Only
// Pentium-class processors on the 9x platform are calibrated.
void StartCalibration() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExW(&version);
  if (info.dwProcessorType != PROCESSOR_INTEL_PENTIUM ||
      version.dwPlatformId == VER_PLATFORM_WIN32_NT)
    return;
  g_clock.functions->reset(&g_clock.calibration_stamp);
  ULONGLONG first = platform::ReadTimeStampCounter();
  ULONGLONG second = platform::ReadTimeStampCounter();
  if (second - first > kMaxBackToBackCycles) return;
  g_clock.calibration_tsc = first;
  g_clock.calibrating = true;
}

// Ends a running calibration. FALSE when it was cancelled (the clock showed
// too little time); otherwise the counts per microsecond, rounded to the
// nearest, go to `per_us`.
bool FinishCalibration(DWORD* per_us) {
  g_clock.calibrating = false;
  DWORD ms = g_clock.functions->elapsed_ms(&g_clock.calibration_stamp);
  DWORD cycles = static_cast<DWORD>(platform::ReadTimeStampCounter() - g_clock.calibration_tsc);
  if (ms < kCalibrationMs) {
    Sleep(kCalibrationMs - ms);
    ms = g_clock.functions->elapsed_ms(&g_clock.calibration_stamp);
    cycles = static_cast<DWORD>(platform::ReadTimeStampCounter() - g_clock.calibration_tsc);
  }
  if (ms < kCalibrationMinimumMs) return false;
  *per_us = static_cast<DWORD>((static_cast<ULONGLONG>(cycles) + static_cast<ULONGLONG>(ms) * 500) /
                               (static_cast<ULONGLONG>(ms) * 1000));
  return true;
}

}  // namespace

DWORD WuGetMillisec() { return g_clock.functions->elapsed_ms(&g_clock.default_stamp); }
DWORD WuGetMicrosec() { return g_clock.functions->elapsed_us(&g_clock.default_stamp); }
DWORD WuGetMillisecEx(const ULONGLONG* stamp) { return g_clock.functions->elapsed_ms(stamp); }
DWORD WuGetMicrosecEx(const ULONGLONG* stamp) { return g_clock.functions->elapsed_us(stamp); }
DWORD WuDeltaMillisecEx(ULONGLONG* stamp) { return g_clock.functions->delta_ms(stamp); }
DWORD WuDeltaMicrosecEx(ULONGLONG* stamp) { return g_clock.functions->delta_us(stamp); }

void WuTimer_SetupClock(int level) {
  if (level < 1 || g_clock.mode != kModeTickCount) return;
  ChoosePerformanceCounter();
  g_clock.functions->reset(&g_clock.default_stamp);
  if (level >= 5) StartCalibration();
}

ULONGLONG WuTimer_LateInitialize() {
  ULONGLONG counts_per_second = 0;
  if (g_clock.calibrating) {
    DWORD per_us = 0;
    if (FinishCalibration(&per_us)) {
      g_clock.counts_per_us = per_us;
      g_clock.counts_per_ms = per_us * 1000;
      g_clock.correction = 0;
      g_clock.mode = kModeTimeStampCounter;
      g_clock.functions = &kTscFunctions;
      // The old default stamp belongs to the old source.
      g_clock.functions->reset(&g_clock.default_stamp);
      counts_per_second = static_cast<ULONGLONG>(per_us) * 1000000;
    }
  }
  g_clock.initialized = true;
  return counts_per_second;
}

void WuTimer_ResetForTesting() { g_clock = ClockState(); }
