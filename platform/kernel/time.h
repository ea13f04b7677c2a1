// Clocks and calendar time: tick count, performance counter, FILETIME and
// SYSTEMTIME conversions.
//
// The tick count and the performance counter go through an injectable
// source so that tests can present any counter rate (for example the
// 3,579,545 Hz counter of older machines). Without one, both read
// CLOCK_MONOTONIC and the counter runs at 10 MHz.
#pragma once

#include "platform/kernel/types.h"

namespace platform {

// A clock the platform reads. Tests derive from it.
class ClockSource {
 public:
  virtual ~ClockSource() = default;
  // Milliseconds since an arbitrary start (GetTickCount's low 32 bits wrap).
  virtual ULONGLONG TickCount64() = 0;
  // FALSE when the machine has no performance counter.
  virtual bool PerformanceFrequency(LONGLONG* counts_per_second) = 0;
  virtual bool PerformanceCounter(LONGLONG* counts) = 0;
};

// A clock that only moves when told to, for tests.
class FakeClock : public ClockSource {
 public:
  ULONGLONG ticks = 0;            // milliseconds returned by TickCount64
  LONGLONG frequency = 10000000;  // counts per second; 0: no counter
  LONGLONG counter = 0;           // returned by PerformanceCounter
  ULONGLONG TickCount64() override { return ticks; }
  bool PerformanceFrequency(LONGLONG* f) override;
  bool PerformanceCounter(LONGLONG* c) override;
};

// Installs a clock (null: the real one again). The caller keeps it alive
// while it is installed.
void SetClockSource(ClockSource* source);

// 100-nanosecond units between 1601-01-01 and 1970-01-01.
constexpr ULONGLONG kUnixEpochAsFileTime = 116444736000000000ULL;

// Unix time (seconds and nanoseconds since 1970, UTC) <-> FILETIME.
FILETIME UnixToFileTime(LONGLONG seconds, LONGLONG nanoseconds);
void FileTimeToUnix(const FILETIME& ft, LONGLONG* seconds, LONGLONG* nanoseconds);
ULONGLONG FileTimeToU64(const FILETIME& ft);
FILETIME U64ToFileTime(ULONGLONG value);

}  // namespace platform

DWORD GetTickCount();
ULONGLONG GetTickCount64();
BOOL QueryPerformanceCounter(LARGE_INTEGER* counter);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

void GetSystemTime(SYSTEMTIME* st);
void GetLocalTime(SYSTEMTIME* st);
void GetSystemTimeAsFileTime(FILETIME* ft);
BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);
BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft);
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc);
// -1, 0 or 1.
LONG CompareFileTime(const FILETIME* a, const FILETIME* b);
