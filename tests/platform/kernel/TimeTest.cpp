// Clocks through injected sources, and the FILETIME / SYSTEMTIME / local
// time conversions.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "platform/kernel/error.h"
#include "platform/kernel/time.h"

namespace {

class TimeTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetClockSource(nullptr); }
};

TEST_F(TimeTest, FakeClockDrivesTickCountAndCounter) {
  platform::FakeClock clock;
  clock.ticks = 0x100000005ULL;
  clock.frequency = 3579545;
  clock.counter = 123456789012LL;
  platform::SetClockSource(&clock);

  EXPECT_EQ(GetTickCount(), 5u);  // the low 32 bits wrap
  EXPECT_EQ(GetTickCount64(), 0x100000005ULL);
  LARGE_INTEGER v;
  ASSERT_TRUE(QueryPerformanceFrequency(&v));
  EXPECT_EQ(v.QuadPart, 3579545);
  ASSERT_TRUE(QueryPerformanceCounter(&v));
  EXPECT_EQ(v.QuadPart, 123456789012LL);

  clock.frequency = 0;  // a machine without a counter
  EXPECT_FALSE(QueryPerformanceFrequency(&v));
  EXPECT_EQ(v.QuadPart, 0);
}

TEST_F(TimeTest, RealCounterRunsAtTenMegahertz) {
  LARGE_INTEGER f;
  LARGE_INTEGER a;
  LARGE_INTEGER b;
  ASSERT_TRUE(QueryPerformanceFrequency(&f));
  EXPECT_EQ(f.QuadPart, 10000000);
  ASSERT_TRUE(QueryPerformanceCounter(&a));
  ASSERT_TRUE(QueryPerformanceCounter(&b));
  EXPECT_GE(b.QuadPart, a.QuadPart);
}

struct CalendarCase {
  ULONGLONG file_time;  // 100 ns units since 1601
  SYSTEMTIME st;        // year, month, day of week, day, h, m, s, ms
};

TEST_F(TimeTest, FileTimeAndSystemTimeConvertBothWays) {
  const CalendarCase kCases[] = {
      {0, {1601, 1, 1, 1, 0, 0, 0, 0}},                          // a Monday
      {platform::kUnixEpochAsFileTime, {1970, 1, 4, 1, 0, 0, 0, 0}},  // a Thursday
      {125963012967890000ULL, {2000, 2, 2, 29, 12, 34, 56, 789}},     // a leap day
      {126227807999990000ULL, {2000, 12, 0, 31, 23, 59, 59, 999}},
  };
  for (const CalendarCase& c : kCases) {
    SCOPED_TRACE(c.file_time);
    FILETIME ft = platform::U64ToFileTime(c.file_time);
    SYSTEMTIME st = {};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(st.wYear, c.st.wYear);
    EXPECT_EQ(st.wMonth, c.st.wMonth);
    EXPECT_EQ(st.wDayOfWeek, c.st.wDayOfWeek);
    EXPECT_EQ(st.wDay, c.st.wDay);
    EXPECT_EQ(st.wHour, c.st.wHour);
    EXPECT_EQ(st.wMinute, c.st.wMinute);
    EXPECT_EQ(st.wSecond, c.st.wSecond);
    EXPECT_EQ(st.wMilliseconds, c.st.wMilliseconds);
    FILETIME back;
    ASSERT_TRUE(SystemTimeToFileTime(&c.st, &back));
    EXPECT_EQ(platform::FileTimeToU64(back), c.file_time);
  }

  // The last valid instant converts; the first invalid one is refused.
  SYSTEMTIME last = {30827, 12, 0, 31, 23, 59, 59, 999};
  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&last, &ft));
  EXPECT_LT(platform::FileTimeToU64(ft), 0x8000000000000000ULL);
  SYSTEMTIME st;
  ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
  EXPECT_EQ(st.wYear, 30827);
  ft = platform::U64ToFileTime(0x8000000000000000ULL);
  SetLastError(0);
  EXPECT_FALSE(FileTimeToSystemTime(&ft, &st));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(TimeTest, SystemTimeToFileTimeRefusesInvalidFields) {
  const SYSTEMTIME kBad[] = {
      {1600, 12, 0, 31, 0, 0, 0, 0},  // before 1601
      {30828, 1, 0, 1, 0, 0, 0, 0},   // after 30827
      {2001, 13, 0, 1, 0, 0, 0, 0},   {2001, 0, 0, 1, 0, 0, 0, 0},
      {2001, 4, 0, 31, 0, 0, 0, 0},   {2001, 1, 0, 0, 0, 0, 0, 0},
      {1900, 2, 0, 29, 0, 0, 0, 0},   // 1900 is not a leap year
      {2001, 1, 0, 1, 24, 0, 0, 0},   {2001, 1, 0, 1, 0, 60, 0, 0},
      {2001, 1, 0, 1, 0, 0, 60, 0},   {2001, 1, 0, 1, 0, 0, 0, 1000},
  };
  for (const SYSTEMTIME& st : kBad) {
    SCOPED_TRACE(testing::Message() << st.wYear << "-" << st.wMonth << "-" << st.wDay);
    FILETIME ft = {1, 1};
    SetLastError(0);
    EXPECT_FALSE(SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  SYSTEMTIME leap = {2000, 2, 0, 29, 0, 0, 0, 0};
  FILETIME ft;
  EXPECT_TRUE(SystemTimeToFileTime(&leap, &ft));
}

TEST_F(TimeTest, UnixTimeConvertsAroundTheEpoch) {
  struct {
    LONGLONG seconds;
    LONGLONG nanoseconds;
  } const kCases[] = {{0, 0}, {1700000000, 123456700}, {-1, 999999900}, {-11644473600LL, 0}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.seconds);
    FILETIME ft = platform::UnixToFileTime(c.seconds, c.nanoseconds);
    LONGLONG s;
    LONGLONG ns;
    platform::FileTimeToUnix(ft, &s, &ns);
    EXPECT_EQ(s, c.seconds);
    EXPECT_EQ(ns, c.nanoseconds);
  }
  // Negative nanoseconds borrow from the seconds; times before 1601 clamp.
  EXPECT_EQ(platform::FileTimeToU64(platform::UnixToFileTime(1, -100)),
            platform::kUnixEpochAsFileTime + 10000000 - 1);
  EXPECT_EQ(platform::FileTimeToU64(platform::UnixToFileTime(-20000000000LL, 0)), 0u);
}

// Runs a test body under a time zone and puts the previous one back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz) {
    const char* old = getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

TEST_F(TimeTest, LocalFileTimeUsesTheOffsetOfThatInstant) {
  ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  constexpr ULONGLONG kHour = 36000000000ULL;
  SYSTEMTIME winter = {2021, 1, 0, 15, 12, 0, 0, 0};
  SYSTEMTIME summer = {2021, 7, 0, 15, 12, 0, 0, 0};
  for (const auto& [st, offset] : {std::pair{winter, 1}, std::pair{summer, 2}}) {
    SCOPED_TRACE(st.wMonth);
    FILETIME utc;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &utc));
    FILETIME local;
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(platform::FileTimeToU64(local), platform::FileTimeToU64(utc) + offset * kHour);
    FILETIME back;
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(platform::FileTimeToU64(back), platform::FileTimeToU64(utc));
  }
}

TEST_F(TimeTest, CompareFileTimeOrdersWholeValues) {
  FILETIME a = {0xFFFFFFFF, 1};
  FILETIME b = {0, 2};
  EXPECT_EQ(CompareFileTime(&a, &b), -1);
  EXPECT_EQ(CompareFileTime(&b, &a), 1);
  EXPECT_EQ(CompareFileTime(&a, &a), 0);
}

}  // namespace
