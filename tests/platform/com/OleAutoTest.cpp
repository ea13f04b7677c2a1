#include "platform/com/oleauto.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/common/TestUtil.h"

namespace {

TEST(OleAutoTest, LengthPrefixAndTerminator) {
  BSTR s = SysAllocString(u"abc");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(SysStringByteLen(s), 6u);
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 6u);
  EXPECT_EQ(s[3], 0);
  SysFreeString(s);

  // Embedded zeros are part of the text; NULL source gives zeros.
  BSTR z = SysAllocStringLen(u"a\0b", 3);
  EXPECT_EQ(SysStringLen(z), 3u);
  EXPECT_EQ(z[2], u'b');
  SysFreeString(z);
  BSTR blank = SysAllocStringLen(nullptr, 4);
  EXPECT_EQ(SysStringLen(blank), 4u);
  EXPECT_EQ(blank[0] | blank[3] | blank[4], 0);
  SysFreeString(blank);

  // An odd byte length still ends in a whole zero character.
  BSTR odd = SysAllocStringByteLen("xyz", 3);
  EXPECT_EQ(SysStringByteLen(odd), 3u);
  EXPECT_EQ(SysStringLen(odd), 1u);
  EXPECT_EQ(reinterpret_cast<char*>(odd)[3], 0);
  EXPECT_EQ(reinterpret_cast<char*>(odd)[4], 0);
  SysFreeString(odd);
}

TEST(OleAutoTest, NullAndReallocation) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFF), nullptr);

  BSTR s = SysAllocString(u"hello world");
  // Reallocating from a piece of itself copies before freeing.
  ASSERT_TRUE(SysReAllocStringLen(&s, s + 6, 5));
  EXPECT_EQ(std::u16string(s), u"world");
  ASSERT_TRUE(SysReAllocString(&s, u"x"));
  EXPECT_EQ(SysStringLen(s), 1u);
  EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
  SysFreeString(s);
}

// The failure hook: skipped calls succeed, then the planned ones fail
// (every allocating entry point counts), a failed reallocation keeps the
// old text, and calls refused for their arguments take no step.
TEST(OleAutoTest, FailureHook) {
  BSTR kept = SysAllocString(u"kept");
  platform::FailBstrAllocationsAfter(1, 4);
  BSTR first = SysAllocString(u"a");
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);  // no step
  EXPECT_EQ(SysAllocStringLen(u"b", 1), nullptr);
  EXPECT_EQ(SysAllocStringByteLen("c", 1), nullptr);
  EXPECT_FALSE(SysReAllocString(&kept, u"d"));
  EXPECT_EQ(std::u16string(kept), u"kept");
  EXPECT_EQ(SysAllocString(u"e"), nullptr);
  BSTR after = SysAllocString(u"f");
  EXPECT_NE(after, nullptr);

  platform::FailNextBstrAllocations(3);
  platform::FailNextBstrAllocations(0);  // a later call replaces the plan
  BSTR on = SysAllocString(u"g");
  EXPECT_NE(on, nullptr);
  for (BSTR b : {kept, first, after, on}) SysFreeString(b);
}

}  // namespace
