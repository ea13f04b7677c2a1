#include <gtest/gtest.h>

#include <string>

#include "foundation/WuSmpte.h"
#include "tests/common/TestUtil.h"

namespace {

_smpteval Code(LONG type, DWORD h, DWORD m, DWORD s, DWORD f) { return {type, h, m, s, f}; }

std::string Show(const _smpteval& c) {
  char buf[64];
  snprintf(buf, sizeof buf, "t%d %02u:%02u:%02u:%02u", c.type, c.hours, c.minutes, c.seconds,
           c.frames);
  return buf;
}

// A code is valid for its type: fields in range, no dropped frame numbers.
bool IsValid(const _smpteval& c) {
  if (c.hours > 23 || c.minutes > 59 || c.seconds > 59) return false;
  if (c.frames >= WUSMPTE_NominalFps(c.type)) return false;
  if (c.type == WUSMPTE_TYPE_2997_DROP && c.seconds == 0 && c.frames < 2 && c.minutes % 10)
    return false;
  return true;
}

TEST(WuSmpte, FramesPerDayMatchesEachType) {
  const DWORD expected[7] = {2592000, 2592000, 2589408, 2160000, 2073600, 2592000, 2073600};
  for (LONG type = 0; type <= 6; ++type)
    EXPECT_EQ(WUSMPTE_FramesPerDay(type), expected[type]) << type;
}

// Every frame of a day, for every type: count -> code -> count, code ->
// 100-ns units -> code, and stepping forward and back visits exactly the
// neighbouring counts.
TEST(WuSmpte, EveryFrameOfADayRoundTrips) {
  for (LONG type = 1; type <= 6; ++type) {
    const DWORD day = WUSMPTE_FramesPerDay(type);
    _smpteval stepped = Code(type, 0, 0, 0, 0);
    int failures = 0;
    for (DWORD n = 0; n < day && failures < 5; ++n) {
      _smpteval c = Code(type, 99, 99, 99, 99);
      WUSMPTE_FrameCountToSMPTE(&c, n);
      bool ok = IsValid(c) && WUSMPTE_SMPTEToFrameCount(&c) == n &&
                WUSMPTE_SMPTECompare(&c, &stepped) == 0;
      _smpteval back = Code(type, 0, 0, 0, 0);
      WUSMPTE_NanoToSMPTE(WUSMPTE_SMPTEToNanos(&c), &back);
      ok = ok && WUSMPTE_SMPTECompare(&c, &back) == 0;
      _smpteval previous = c;
      WUSMPTE_DeccrementByFrame(&previous);
      ok = ok && WUSMPTE_SMPTEToFrameCount(&previous) == (n + day - 1) % day;
      if (!ok) {
        ++failures;
        ADD_FAILURE() << "count " << n << " gives " << Show(c) << ", stepped " << Show(stepped)
                      << ", from units " << Show(back) << ", previous " << Show(previous);
      }
      WUSMPTE_IncrementByFrame(&stepped);
    }
    // After a whole day of steps the code is back at midnight.
    EXPECT_EQ(Show(stepped), Show(Code(type, 0, 0, 0, 0)));
  }
}

TEST(WuSmpte, DropFrameMinuteBoundaries) {
  const LONG D = WUSMPTE_TYPE_2997_DROP;
  struct Case {
    _smpteval code;
    DWORD count;
  } cases[] = {
      {Code(D, 0, 0, 59, 29), 1799},  {Code(D, 0, 1, 0, 2), 1800},
      {Code(D, 0, 9, 59, 29), 17981}, {Code(D, 0, 10, 0, 0), 17982},
      {Code(D, 0, 10, 0, 1), 17983},  {Code(D, 0, 11, 0, 2), 17982 + 1800},
      {Code(D, 1, 0, 0, 0), 107892},  {Code(D, 23, 59, 59, 29), 2589407},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WUSMPTE_SMPTEToFrameCount(&c.code), c.count) << Show(c.code);
    _smpteval back = Code(D, 0, 0, 0, 0);
    WUSMPTE_FrameCountToSMPTE(&back, c.count);
    EXPECT_EQ(Show(back), Show(c.code));
  }
  // A dropped frame number entered counts as frame 2 of that second.
  _smpteval dropped = Code(D, 0, 1, 0, 0);
  EXPECT_EQ(WUSMPTE_SMPTEToFrameCount(&dropped), 1800u);
  // Stepping across a dropped minute skips 0 and 1, and back again.
  _smpteval c = Code(D, 0, 0, 59, 29);
  WUSMPTE_IncrementByFrame(&c);
  EXPECT_EQ(Show(c), Show(Code(D, 0, 1, 0, 2)));
  WUSMPTE_DeccrementByFrame(&c);
  EXPECT_EQ(Show(c), Show(Code(D, 0, 0, 59, 29)));
}

TEST(WuSmpte, AddAndSubtractWrapAtADay) {
  struct Case {
    _smpteval a, b;
    bool add;
    _smpteval expected;
  } cases[] = {
      {Code(1, 23, 59, 59, 29), Code(1, 0, 0, 0, 1), true, Code(1, 0, 0, 0, 0)},
      {Code(3, 0, 0, 0, 0), Code(3, 0, 0, 1, 0), false, Code(3, 23, 59, 59, 0)},
      {Code(3, 0, 0, 0, 0), Code(3, 24, 0, 0, 0), false, Code(3, 0, 0, 0, 0)},
      {Code(2, 0, 0, 59, 29), Code(2, 0, 0, 0, 1), true, Code(2, 0, 1, 0, 2)},
      {Code(2, 0, 1, 0, 2), Code(2, 0, 0, 0, 1), false, Code(2, 0, 0, 59, 29)},
      {Code(4, 12, 0, 0, 0), Code(4, 12, 0, 0, 0), true, Code(4, 0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    _smpteval r = c.a;
    if (c.add)
      WUSMPTE_AddSMPTE(&r, &c.b);
    else
      WUSMPTE_SubtractSMPTE(&r, &c.b);
    EXPECT_EQ(Show(r), Show(c.expected)) << Show(c.a) << (c.add ? " + " : " - ") << Show(c.b);
  }
}

TEST(WuSmpte, CompareOrdersFieldByField) {
  _smpteval a = Code(1, 1, 0, 0, 0), b = Code(1, 0, 59, 59, 29);
  EXPECT_EQ(WUSMPTE_SMPTECompare(&a, &b), 1);
  EXPECT_EQ(WUSMPTE_SMPTECompare(&b, &a), -1);
  EXPECT_EQ(WUSMPTE_SMPTECompare(&a, &a), 0);
  _smpteval f1 = Code(1, 0, 0, 0, 1), f2 = Code(1, 0, 0, 0, 2);
  EXPECT_EQ(WUSMPTE_SMPTECompare(&f1, &f2), -1);
}

TEST(WuSmpte, UnitsUseTheRealRate) {
  // 30 frames at 29.97 fps last 1.001 s.
  _smpteval one_second = Code(WUSMPTE_TYPE_2997_DROP, 0, 0, 1, 0);
  EXPECT_EQ(WUSMPTE_SMPTEToNanos(&one_second), 10010000);
  _smpteval nd = Code(WUSMPTE_TYPE_2997_NONDROP, 0, 0, 1, 0);
  EXPECT_EQ(WUSMPTE_SMPTEToNanos(&nd), 10010000);
  _smpteval film = Code(WUSMPTE_TYPE_23976, 0, 0, 1, 0);
  EXPECT_EQ(WUSMPTE_SMPTEToNanos(&film), 10010000);
  _smpteval pal = Code(WUSMPTE_TYPE_25, 0, 0, 0, 1);
  EXPECT_EQ(WUSMPTE_SMPTEToNanos(&pal), 400000);

  // Not a time code: no frame count; units convert at 30 fps.
  _smpteval clock = Code(WUSMPTE_TYPE_NONE, 1, 2, 3, 4);
  EXPECT_EQ(WUSMPTE_SMPTEToFrameCount(&clock), 0u);
  _smpteval other = Code(9, 0, 0, 0, 0);
  WUSMPTE_NanoToSMPTE(15000000, &other);
  EXPECT_EQ(Show(other), Show(Code(9, 0, 0, 1, 15)));

  // A negative time counts back from midnight.
  _smpteval before = Code(WUSMPTE_TYPE_25, 0, 0, 0, 0);
  WUSMPTE_NanoToSMPTE(-400000, &before);
  EXPECT_EQ(Show(before), Show(Code(3, 23, 59, 59, 24)));

  _smpteval like = Code(0, 0, 0, 1, 15);
  EXPECT_EQ(WUSMPTE_SmpteLikeToNanos(30.0, &like), 15000000);
  EXPECT_EQ(WUSMPTE_SmpteLikeToNanos(0.0, &like), 0);
}

TEST(WuSmpte, ReadsTextFromTheRight) {
  struct Case {
    const char* text;
    LONG type;
    _smpteval expected;
  } cases[] = {
      {"1:2:3:4", 1, Code(1, 1, 2, 3, 4)},
      {"10:00", 1, Code(1, 0, 0, 10, 0)},
      {"5:", 1, Code(1, 0, 0, 5, 0)},
      {"5", 1, Code(1, 0, 0, 0, 5)},
      {"01020304", 1, Code(1, 1, 2, 3, 4)},
      {"12345", 1, Code(1, 0, 1, 24, 15)},  // 45 frames carry one second
      {"00:01:00;00", 2, Code(2, 0, 1, 0, 2)},
      {"00:00:59:30", 3, Code(3, 0, 1, 0, 5)},
      {"25:00:00:00", 4, Code(4, 1, 0, 0, 0)},
      {"1:2:3:4:5", 1, Code(1, 1, 2, 3, 4)},
      {"", 1, Code(1, 0, 0, 0, 0)},
      {"ab", 3, Code(3, 0, 0, 0, 0)},
      {"1:99:99", 0, Code(0, 0, 1, 99, 99)},  // not a time code: not normalised
  };
  for (const Case& c : cases) {
    _smpteval r = Code(c.type, 7, 7, 7, 7);
    WUSMPTE_TextToSMPTE(wutest::U16(c.text).c_str(), &r);
    EXPECT_EQ(Show(r), Show(c.expected)) << c.text;
  }
}

}  // namespace
