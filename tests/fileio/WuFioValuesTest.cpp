#include "fileio/WuFioValues.h"

#include <gtest/gtest.h>

namespace {

TEST(WuFioValuesTest, CountSetBits) {
  EXPECT_EQ(WuFio_CountSetBits(0), 0);
  EXPECT_EQ(WuFio_CountSetBits(0x80000001u), 2);
  EXPECT_EQ(WuFio_CountSetBits(0xFFFFFFFFu), 32);
}

TEST(WuFioValuesTest, ConstrainValueToTable) {
  const DWORD table[] = {10, 20, 30};
  struct Case {
    DWORD value;
    LONG rounding;
    DWORD expected;
    LONG index;
  } cases[] = {
      {15, 0, 20, 1},   // a tie goes up
      {15, -1, 10, 0},  {15, 1, 20, 1},
      {15, 2, 10, 0},   // the lower distance halved (rounded up: 3 < 5)
      {15, -2, 20, 1},  // the upper distance halved
      {12, 0, 10, 0},   {18, 0, 20, 1},
      {19, 4, 20, 1},   // ceil(9 / 4) = 3 is not below 1
      {11, -4, 10, 0},  // the upper distance 9 becomes 3: still the lower
      {20, -1, 20, 1},  // an equal entry whatever the rounding
      {5, 1, 10, 0},    {10, 1, 10, 0},
      {40, -1, 30, 2},  {30, 0, 30, 2},
      {0x80000000u, 0, 30, 2},  // compared unsigned
  };
  for (const Case& c : cases) {
    LONG index = 99;
    EXPECT_EQ(WuFio_ConstrainValueToTable(c.value, table, 3, c.rounding, &index), c.expected)
        << c.value << " rounding " << c.rounding;
    EXPECT_EQ(index, c.index) << c.value << " rounding " << c.rounding;
  }
  // Divided distances round up: 5 / 2 counts as 3.
  const DWORD uneven[] = {10, 18};
  EXPECT_EQ(WuFio_ConstrainValueToTable(15, uneven, 2, 2, nullptr), 18u);  // 3 is not below 3
  const DWORD uneven2[] = {10, 17};
  EXPECT_EQ(WuFio_ConstrainValueToTable(12, uneven2, 2, -2, nullptr), 10u);  // 2 is below 3
  // The index is optional; a one-entry table gives its entry.
  EXPECT_EQ(WuFio_ConstrainValueToTable(25, table, 3, 0, nullptr), 30u);
  EXPECT_EQ(WuFio_ConstrainValueToTable(99, table, 1, 0, nullptr), 10u);
}

// Without entries nothing is read: the value comes back with index -1.
TEST(WuFioValuesTest, ConstrainValueToEmptyTable) {
  const DWORD table[] = {10, 20, 30};
  for (LONG count : {0, -1}) {
    LONG index = 5;
    EXPECT_EQ(WuFio_ConstrainValueToTable(15, table, count, 0, &index), 15u);
    EXPECT_EQ(index, -1);
  }
  LONG index = 5;
  EXPECT_EQ(WuFio_ConstrainValueToTable(15, nullptr, 3, 0, &index), 15u);
  EXPECT_EQ(index, -1);
}

}  // namespace
