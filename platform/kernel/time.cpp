#include "platform/kernel/time.h"

#include <time.h>

#include <atomic>

#include "platform/kernel/error.h"

namespace platform {

namespace {

// The machine's clock: CLOCK_MONOTONIC for both the tick count and the
// performance counter, which runs at 10 MHz (100 ns per count).
class RealClock : public ClockSource {
 public:
  ULONGLONG TickCount64() override {
    return static_cast<ULONGLONG>(MonotonicNanoseconds() / 1000000);
  }
  bool PerformanceFrequency(LONGLONG* f) override {
    *f = 10000000;
    return true;
  }
  bool PerformanceCounter(LONGLONG* c) override {
    *c = MonotonicNanoseconds() / 100;
    return true;
  }

 private:
  static LONGLONG MonotonicNanoseconds() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<LONGLONG>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
  }
};

RealClock g_real_clock;                          // used when nothing is installed
std::atomic<ClockSource*> g_clock{&g_real_clock};  // the installed clock

ClockSource& Clock() { return *g_clock.load(std::memory_order_acquire); }

constexpr ULONGLONG kUnitsPerSecond = 10000000;  // FILETIME units per second
constexpr ULONGLONG kUnitsPerDay = kUnitsPerSecond * 86400;
// FILETIME values from this one on are refused by the conversions.
constexpr ULONGLONG kFirstInvalidFileTime = 0x8000000000000000ULL;

bool IsLeapYear(LONGLONG y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(LONGLONG year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1601-01-01 of a proleptic Gregorian date (1601 is the first
// year of a 400-year cycle, which keeps the arithmetic simple).
LONGLONG DaysFromCivil(LONGLONG year, int month, int day) {
  LONGLONG y = year - 1601;
  LONGLONG days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

// The date of a day count since 1601-01-01 (days >= 0).
void CivilFromDays(LONGLONG days, LONGLONG* year, int* month, int* day) {
  constexpr LONGLONG kDaysPer400 = 146097;
  LONGLONG y = 1601 + (days / kDaysPer400) * 400;
  days %= kDaysPer400;
  while (days >= (IsLeapYear(y) ? 366 : 365)) {
    days -= IsLeapYear(y) ? 366 : 365;
    ++y;
  }
  int m = 1;
  while (days >= DaysInMonth(y, m)) {
    days -= DaysInMonth(y, m);
    ++m;
  }
  *year = y;
  *month = m;
  *day = static_cast<int>(days) + 1;
}

// Offset of local time from UTC, in seconds, at a Unix time.
LONGLONG LocalOffsetAt(LONGLONG unix_seconds) {
  time_t t = static_cast<time_t>(unix_seconds);
  struct tm local;
  if (!localtime_r(&t, &local)) return 0;
  return local.tm_gmtoff;
}

// Adds a signed number of seconds to a FILETIME value; FALSE when the result
// leaves the valid range.
bool ShiftFileTime(ULONGLONG value, LONGLONG seconds, ULONGLONG* out) {
  LONGLONG units = seconds * static_cast<LONGLONG>(kUnitsPerSecond);
  if (units < 0 && static_cast<ULONGLONG>(-units) > value) return false;
  ULONGLONG shifted = value + static_cast<ULONGLONG>(units);
  if (shifted >= kFirstInvalidFileTime) return false;
  *out = shifted;
  return true;
}

void FillSystemTime(const struct timespec& ts, bool local, SYSTEMTIME* st) {
  LONGLONG seconds = ts.tv_sec;
  if (local) seconds += LocalOffsetAt(ts.tv_sec);
  FILETIME ft = UnixToFileTime(seconds, ts.tv_nsec);
  FileTimeToSystemTime(&ft, st);
}

}  // namespace

bool FakeClock::PerformanceFrequency(LONGLONG* f) {
  *f = frequency;
  return frequency != 0;
}

bool FakeClock::PerformanceCounter(LONGLONG* c) {
  *c = frequency != 0 ? counter : 0;
  return frequency != 0;
}

void SetClockSource(ClockSource* source) {
  g_clock.store(source ? source : &g_real_clock, std::memory_order_release);
}

FILETIME UnixToFileTime(LONGLONG seconds, LONGLONG nanoseconds) {
  // Work in 100 ns units, with the nanoseconds folded into the seconds
  // first so that a negative remainder rounds toward the past.
  seconds += nanoseconds / 1000000000;
  nanoseconds %= 1000000000;
  if (nanoseconds < 0) {
    nanoseconds += 1000000000;
    seconds -= 1;
  }
  constexpr LONGLONG kEpochSeconds = static_cast<LONGLONG>(kUnixEpochAsFileTime / kUnitsPerSecond);
  constexpr LONGLONG kMaxSeconds =
      static_cast<LONGLONG>((kFirstInvalidFileTime - 1) / kUnitsPerSecond) - kEpochSeconds;
  if (seconds < -kEpochSeconds) return U64ToFileTime(0);
  if (seconds >= kMaxSeconds) return U64ToFileTime(kFirstInvalidFileTime - 1);
  ULONGLONG value = static_cast<ULONGLONG>(seconds + kEpochSeconds) * kUnitsPerSecond +
                    static_cast<ULONGLONG>(nanoseconds / 100);
  return U64ToFileTime(value);
}

void FileTimeToUnix(const FILETIME& ft, LONGLONG* seconds, LONGLONG* nanoseconds) {
  ULONGLONG value = FileTimeToU64(ft);
  LONGLONG s;
  LONGLONG ns;
  if (value >= kUnixEpochAsFileTime) {
    ULONGLONG d = value - kUnixEpochAsFileTime;
    s = static_cast<LONGLONG>(d / kUnitsPerSecond);
    ns = static_cast<LONGLONG>(d % kUnitsPerSecond) * 100;
  } else {
    ULONGLONG d = kUnixEpochAsFileTime - value;
    s = -static_cast<LONGLONG>(d / kUnitsPerSecond);
    ns = static_cast<LONGLONG>(d % kUnitsPerSecond) * 100;
    if (ns != 0) {  // keep the nanoseconds non-negative
      s -= 1;
      ns = 1000000000 - ns;
    }
  }
  if (seconds) *seconds = s;
  if (nanoseconds) *nanoseconds = ns;
}

ULONGLONG FileTimeToU64(const FILETIME& ft) {
  return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME U64ToFileTime(ULONGLONG value) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(value);
  ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return ft;
}

}  // namespace platform

// ---- Clocks ------------------------------------------------------------------

DWORD GetTickCount() { return static_cast<DWORD>(platform::Clock().TickCount64()); }

ULONGLONG GetTickCount64() { return platform::Clock().TickCount64(); }

BOOL QueryPerformanceCounter(LARGE_INTEGER* counter) {
  if (!counter) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LONGLONG value = 0;
  bool ok = platform::Clock().PerformanceCounter(&value);
  counter->QuadPart = value;
  if (!ok) SetLastError(ERROR_NOT_SUPPORTED);
  return ok ? TRUE : FALSE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LONGLONG value = 0;
  bool ok = platform::Clock().PerformanceFrequency(&value) && value > 0;
  frequency->QuadPart = ok ? value : 0;
  if (!ok) SetLastError(ERROR_NOT_SUPPORTED);
  return ok ? TRUE : FALSE;
}

// ---- Calendar time ---------------------------------------------------------------

void GetSystemTimeAsFileTime(FILETIME* ft) {
  if (!ft) return;
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  *ft = platform::UnixToFileTime(ts.tv_sec, ts.tv_nsec);
}

void GetSystemTime(SYSTEMTIME* st) {
  if (!st) return;
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  platform::FillSystemTime(ts, false, st);
}

void GetLocalTime(SYSTEMTIME* st) {
  if (!st) return;
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  platform::FillSystemTime(ts, true, st);
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
  if (!ft || !st) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ULONGLONG value = platform::FileTimeToU64(*ft);
  if (value >= platform::kFirstInvalidFileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LONGLONG days = static_cast<LONGLONG>(value / platform::kUnitsPerDay);
  ULONGLONG rest = value % platform::kUnitsPerDay;
  LONGLONG year;
  int month;
  int day;
  platform::CivilFromDays(days, &year, &month, &day);
  st->wYear = static_cast<WORD>(year);
  st->wMonth = static_cast<WORD>(month);
  st->wDay = static_cast<WORD>(day);
  st->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  ULONGLONG ms = rest / 10000;
  st->wMilliseconds = static_cast<WORD>(ms % 1000);
  st->wSecond = static_cast<WORD>(ms / 1000 % 60);
  st->wMinute = static_cast<WORD>(ms / 60000 % 60);
  st->wHour = static_cast<WORD>(ms / 3600000);
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
  if (!st || !ft || st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 ||
      st->wMonth > 12 || st->wDay < 1 || st->wDay > platform::DaysInMonth(st->wYear, st->wMonth) ||
      st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ULONGLONG days = static_cast<ULONGLONG>(platform::DaysFromCivil(st->wYear, st->wMonth, st->wDay));
  ULONGLONG ms = ((st->wHour * 60ULL + st->wMinute) * 60 + st->wSecond) * 1000 + st->wMilliseconds;
  *ft = platform::U64ToFileTime(days * platform::kUnitsPerDay + ms * 10000);
  return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  if (!utc || !local) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LONGLONG seconds;
  platform::FileTimeToUnix(*utc, &seconds, nullptr);
  ULONGLONG value;
  if (!platform::ShiftFileTime(platform::FileTimeToU64(*utc), platform::LocalOffsetAt(seconds),
                               &value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *local = platform::U64ToFileTime(value);
  return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc) {
  if (!local || !utc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The offset belongs to the UTC instant we are looking for: guess it from
  // the local value read as UTC, then correct once with the guess's offset
  // (enough unless the local time falls into a daylight-saving change).
  LONGLONG local_seconds;
  platform::FileTimeToUnix(*local, &local_seconds, nullptr);
  LONGLONG offset = platform::LocalOffsetAt(local_seconds);
  offset = platform::LocalOffsetAt(local_seconds - offset);
  ULONGLONG value;
  if (!platform::ShiftFileTime(platform::FileTimeToU64(*local), -offset, &value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *utc = platform::U64ToFileTime(value);
  return TRUE;
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
  ULONGLONG x = platform::FileTimeToU64(*a);
  ULONGLONG y = platform::FileTimeToU64(*b);
  return x < y ? -1 : (x > y ? 1 : 0);
}
