#include "fileio/WuFioDayNumber.h"

#include <gtest/gtest.h>

#include "platform/kernel/time.h"

namespace {

TEST(WuFioDayNumberTest, DateToDayNumber) {
  struct Case {
    LONG year, month, day, expected;
  } cases[] = {
      {1997, 1, 1, 1},       {1997, 12, 31, 365},  {1998, 1, 1, 366},
      {2000, 2, 28, 1154},   {2000, 2, 29, 1155},  {2000, 3, 1, 1156},
      {2001, 3, 1, 1521},    // a common year adds no leap day
      {2024, 12, 31, 10227},
  };
  for (const Case& c : cases) {
    LONG n = -1;
    EXPECT_EQ(WuFio_DateToDayNumber(&n, c.year, c.month, c.day), S_OK) << c.year;
    EXPECT_EQ(n, c.expected) << c.year << "-" << c.month << "-" << c.day;
  }
  LONG n = 77;
  EXPECT_EQ(WuFio_DateToDayNumber(&n, 1996, 12, 31), E_FAIL);
  EXPECT_EQ(n, 0);
  // Month numbers beyond 12 add no more than eleven months.
  EXPECT_EQ(WuFio_DateToDayNumber(&n, 1997, 13, 1), S_OK);
  EXPECT_EQ(n, 335);
  EXPECT_EQ(WuFio_DateToDayNumber(nullptr, 2000, 1, 1), E_POINTER);
}

TEST(WuFioDayNumberTest, TodayIsTheUtcDate) {
  SYSTEMTIME before, after;
  GetSystemTime(&before);
  LONG today = 0;
  ASSERT_EQ(WuFio_GetTodayDayNumber(&today), S_OK);
  GetSystemTime(&after);
  LONG first = 0, last = 0;
  WuFio_DateToDayNumber(&first, before.wYear, before.wMonth, before.wDay);
  WuFio_DateToDayNumber(&last, after.wYear, after.wMonth, after.wDay);
  EXPECT_GE(today, first);
  EXPECT_LE(today, last);
  EXPECT_GT(today, 10227);  // after 2024
}

}  // namespace
